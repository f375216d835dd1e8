// Hit test, click transfer and mouse handling of the skins.
#include <cstring>

#include "ui/Ui.h"

namespace tevrano::ui {

namespace {
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
bool Hidden(int32_t v) {
  return v == -1 || v == -2;
}
}  // namespace

SkinHit Ui::Skin_Hit(int x, int y, std::string_view skin_name) const {
  SkinHit none;
  const int si = FindSkin(skin_name);
  if (si < 0) return none;
  const SkinEntry& s = skins_[si];
  none.skin = si;
  none.first = s.first_element;
  none.count = s.element_count;
  // Last to first: the element drawn on top takes the click.
  for (int i = s.first_element + s.element_count - 1; i >= s.first_element; --i) {
    const SkinElement& e = elements_[i];
    if (!e.created || !e.enabled || !e.visible || e.item_count == 0 || e.click_level == 0) continue;
    const bool circle = e.layout == 1;
    if (e.columns < 1 && !circle) continue;
    int found = -1;
    for (int k = 0; k < e.item_count && found < 0; ++k) {
      int cx, cy;
      ItemCenter(e, k, cx, cy);
      const int left = cx - e.cell_width / 2, top = cy - e.cell_height / 2;
      if (x >= left && x <= left + e.cell_width && y >= top && y <= top + e.cell_height) found = k;
    }
    if (found < 0) continue;
    if (e.source_flags[0] == '0') continue;  // decoration: what lies beneath may take it
    int item = found + 1;
    if (e.kind == kKindPagedList) item += PagingOffset();
    if (LayoutItemAbsent(e, item)) return none;
    if (Upper(e.source_flags[0]) == 'A') {
      if (!e.source.InRange(item - 1) || Hidden(e.source.Get(item - 1))) return none;
    }
    if (e.click_level < level_) return none;
    SkinHit hit = none;
    hit.element = i;
    hit.item = item;
    return hit;
  }
  return none;
}

// One element's share of a click on item `item` (1-based).
void Ui::Transfer(const SkinElement& e, int item) {
  if (!e.target.Bound()) return;
  const char s0 = Upper(e.source_flags[0]), s2 = Upper(e.source_flags[2]);
  const char t0 = Upper(e.target_flags[0]), t2 = Upper(e.target_flags[2]);
  const int i = item - 1;
  if (t2 == 'X') {
    e.target.Set(0, e.offset_x + originX_ + 640);
    return;
  }
  if (t2 == 'Y') {
    e.target.Set(0, e.offset_y + originY_ + 512);
    return;
  }
  if (s0 == 'C' && t0 == 'S') {
    e.target.Set(0, ConstantSource(e.source_name) + i);
  } else if (s0 == 'C' && t0 == 'A') {
    e.target.Set(i, ConstantSource(e.source_name));
  } else if (s0 == 'S' && t0 == 'S') {
    e.target.Set(0, e.source.Get(0));
    if (s2 == 'Z') e.source.Set(0, 0);
  } else if (s0 == 'S' && t0 == 'A') {
    e.target.Set(i, e.source.Get(0));
  } else if (s0 == 'A' && t0 == 'A') {
    if (e.source.InRange(i)) e.target.Set(i, e.source.Get(i));
  } else if (s0 == 'A' && t0 == 'S') {
    if (s2 == 'N')
      e.target.Set(0, i);
    else if (e.source.InRange(i))
      e.target.Set(0, e.source.Get(i));
  }
}

void Ui::Skin_Apply(int element, int item) {
  if (element < 0 || element >= elementTotal_ || !elements_[element].created) return;
  const SkinElement& e = elements_[element];
  Transfer(e, item);
  const SkinEntry& s = skins_[e.skin];
  for (int j = s.first_element; j < s.first_element + s.element_count; ++j)
    if (j != element && elements_[j].created && elements_[j].parent == element)
      Transfer(elements_[j], item);
}

void Ui::PreClick() {
  vars.Dm_Ch = layout_ >= 0 && layout_ < 16 ? layout_ : 16;
  // Only a real page is latched: a skin may write any number here, and the
  // latched page indexes the page buttons.
  if (vars.IE_Page2 >= 0 && vars.IE_Page2 <= 3) latchedPage_ = vars.IE_Page2;
}

void Ui::PostClick(int skin) {
  if (skins_[skin].type == kPadSkinType) {
    // The pad's close button (command 3) closes it; the rest is the pad's.
    if (vars.Dm_Cmd == 3) {
      vars.Dm_Cmd = -1;
      CloseSpeedDome();
      return;
    }
    if (hooks.padPostClick) hooks.padPostClick();
  } else {
    KeyFormStep();
  }
}

void Ui::Skin_Mouse(int event, int x, int y, std::string_view skin_name) {
  const int si = FindSkin(skin_name);
  if (si < 0) return;
  lastMouseSkin_ = si;
  const SkinHit hit = Skin_Hit(x, y, skin_name);
  if (event == 1) {
    buttonHeld_ = true;
    pressed_ = hit;
    if (hit.element < 0) return;
    PreClick();
    Skin_Apply(hit.element, hit.item);
    lastApplied_ = hit;
    if (elements_[hit.element].kind == kKindSlider) sliderDrag_ = true;
    PostClick(si);
    Skin_Redraw(1);
    return;
  }
  // Release.
  buttonHeld_ = false;
  bool redraw = redrawPending_ || pressed_.element >= 0;
  if (hit.element >= 0 && elements_[hit.element].target.Get(0) != 0) redraw = true;
  // Keys are momentary: a press shows while held and ends with the release.
  for (int32_t& key : vars.Keys)
    if (key) key = 0, redraw = true;
  keysActed_ = 0;
  pressed_ = SkinHit{};
  lastApplied_ = SkinHit{};
  if (skins_[si].type == kPadSkinType && hooks.padRelease) hooks.padRelease();
  if (redraw) Skin_Redraw(1);
  if (sliderDrag_) {
    sliderDrag_ = false;
    Skin_Redraw(1);
  }
}

// A move with the button held presses again only on a new element or item,
// or along a slider, so that a shaking hand does not repeat a step.
void Ui::Skin_Drag(int x, int y, std::string_view skin_name) {
  if (!buttonHeld_) return;  // a move without the button only hovers
  const SkinHit hit = Skin_Hit(x, y, skin_name);
  if (hit.element < 0) return;
  const bool slider = elements_[hit.element].kind == kKindSlider;
  if (!slider && hit.element == lastApplied_.element && hit.item == lastApplied_.item) return;
  if (!slider && pressed_.element < 0) return;  // the press began outside every element
  Skin_Mouse(1, x, y, skin_name);
}

std::optional<Ui::Target> Ui::FindTarget(std::string_view skin, std::string_view binding,
                                         int item) const {
  const int si = FindSkin(skin);
  if (si < 0 || item < 1) return std::nullopt;
  const SkinEntry& s = skins_[si];
  // Elements sharing a target count their items on from one to the next, so
  // "IE_DOING#SD" reaches the channel keys first and then the split keys.
  int left = item;
  for (int i = s.first_element; i < s.first_element + s.element_count; ++i) {
    const SkinElement& e = elements_[i];
    if (!e.created) continue;
    if (binding != e.target_name.text && binding != e.name.text) continue;
    const int n = e.item_count < 1 ? 1 : e.item_count;
    if (left > n) {
      left -= n;
      continue;
    }
    Target t;
    t.image = s.type == kPadSkinType ? "Image5" : "Image1";
    ItemCenter(e, left - 1, t.x, t.y);
    return t;
  }
  return std::nullopt;
}

}  // namespace tevrano::ui
