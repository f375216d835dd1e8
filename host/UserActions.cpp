#include "host/UserActions.h"

#include <algorithm>

#include "host/ControlCall.h"

namespace tevrano::host::UserActions {

namespace {
template <typename F, typename... Args>
void Run(const F& handler, Args... args) {
  if (handler) handler(args...);
}

// The part of UTF-8 `text` an edit box of `maxLength` takes, counted as the
// window's edit box counts (UTF-16 units: a character beyond the basic plane
// takes two) and never cut inside a character. 0 takes everything.
std::string_view LimitedText(std::string_view text, int maxLength) {
  if (maxLength <= 0) return text;
  size_t at = 0;
  int units = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    length = std::min(length, text.size() - at);
    const int cost = length == 4 ? 2 : 1;
    if (units + cost > maxLength) break;
    units += cost;
    at += length;
  }
  return text.substr(0, at);
}

bool TakesTyping(const Component& c) {
  return c.kind == ComponentKind::Edit || c.kind == ComponentKind::LabeledEdit;
}
}  // namespace

void Press(Component& c, int x, int y) {
  ControlCall call;
  Run(c.onMouseDown, x, y);
}

void Move(Component& c, int x, int y) {
  ControlCall call;
  Run(c.onMouseMove, x, y);
}

void Leave(Component& c) {
  ControlCall call;
  Run(c.onMouseLeave);
}

void Release(Component& c, int x, int y, bool inside) {
  ControlCall call;
  if (inside) Run(c.onClick);
  Run(c.onMouseUp, x, y);
}

void Click(Component& c) {
  if (c.kind == ComponentKind::Image) {
    Press(c, c.width / 2, c.height / 2);
    Release(c, c.width / 2, c.height / 2);
  } else if (c.kind == ComponentKind::CheckBox) {
    Check(c, !c.checked);
  } else {
    ControlCall call;
    Run(c.onClick);
  }
}

void SetText(Component& c, std::string_view text) {
  ControlCall call;
  c.SetText(TakesTyping(c) ? LimitedText(text, c.maxLength) : text);
  Run(c.onChange);
}

void Select(Component& c, int index) {
  ControlCall call;
  c.SetItemIndex(index);
  if (c.kind == ComponentKind::ComboBox && index >= 0 && index < static_cast<int>(c.items.size()))
    c.SetText(c.items[static_cast<size_t>(index)]);
  if (c.kind == ComponentKind::RadioGroup)
    Run(c.onClick);
  else
    Run(c.onChange);
}

void SelectTab(PageControl& pages, int index) {
  ControlCall call;
  pages.SetActivePageIndex(index);
  Run(pages.onChange);
}

void Check(Component& c, bool checked) {
  ControlCall call;
  c.SetChecked(checked);
  Run(c.onClick);
}

void Scroll(Component& c, int position) {
  ControlCall call;
  c.SetPosition(position);
  Run(c.onChange);
}

}  // namespace tevrano::host::UserActions
