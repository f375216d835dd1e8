// Composing skins from their elements and showing them as RGB.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/Form.h"
#include "base/RecorderTime.h"
#include "ui/Ui.h"

namespace tevrano::ui {

using namespace skin_format;

namespace {
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
bool IsArray(const SkinElement& e) {
  return Upper(e.source_flags[0]) == 'A';
}
bool Hidden(int32_t v) {
  return v == -1 || v == -2;
}

// The decimal number written before the "#" of a constant source ("16#CS",
// "-1#CS", "Ch3#CS" → 16, -1, 3).
int ConstantOf(const SkinName& name) {
  const char* hash = std::strchr(name.text, '#');
  const char* end = hash ? hash : name.text + std::strlen(name.text);
  const char* p = end;
  while (p > name.text && p[-1] >= '0' && p[-1] <= '9') --p;
  // A long run of digits stops at the limit instead of overflowing.
  int v = 0;
  for (const char* q = p; q < end && v < kConstantLimit; ++q) v = v * 10 + (*q - '0');
  if (v > kConstantLimit) v = kConstantLimit;
  if (p > name.text && p[-1] == '-') v = -v;
  return v;
}
}  // namespace

int ConstantSource(const SkinName& name) {
  return ConstantOf(name);
}

namespace {
inline uint32_t Pack(int y, int rv, int guv, int bu) {
  return static_cast<uint32_t>(std::clamp(y + rv, 0, 255) << 16 | std::clamp(y - guv, 0, 255) << 8 |
                               std::clamp(y + bu, 0, 255));
}
}  // namespace

// Our rules for the kinds whose visibility depends on the view.
bool Ui::ElementShown(const SkinElement& e) const {
  if (!e.created || !e.enabled) return false;
  if (e.parent >= 0 && !elements_[e.parent].visible) return false;
  const int requested = vars.IE_Page2;
  switch (e.kind) {
    case kKindModePanel:
    case kKindPagedList:
      return e.kind_param == vars.MOD;
    case kKindPagePanel: {
      const SkinEntry& s = skins_[e.skin];
      if (std::strstr(s.file_name, "TevranoKeyForm")) {
        switch (e.kind_param) {
          case 6:
            return vars.IE_PB_PS == 1;
          case 0:
            return requested == 0 && vars.IE_M_CH != 8;
          case 5:
            return requested == 0 && vars.IE_M_CH == 8;
          case 4:
            return vars.IE_Month_T == 0;
          case 3:
            return vars.IE_Month_T != 0;
          default:
            return e.kind_param == requested && requested >= 0 && requested <= 2;
        }
      }
      return std::strstr(s.file_name, "ToolBar_BK.YUV2") != nullptr ||
             e.kind_param == vars.Sys_State;
    }
    case kKindShownIfSet:
      return e.source.Get(0) != 0;
    case kKindShownIfClear:
      return e.source.Get(0) == 0;
    case kKindSetupPanel:
      return e.kind_param == requested;
    default:
      return true;
  }
}

// Hot and pressed items of clickable elements are drawn lighter.
int Ui::ItemWhitening(int element, int k) const {
  const SkinElement& e = elements_[element];
  if (e.click_level == 0 || e.source_flags[0] == '0') return 0;
  if ((mouseIsDown_ || buttonHeld_) && pressed_.element == element && pressed_.item == k + 1)
    return 2;
  if (hovered_.element == element && hovered_.item == k + 1) return 1;
  return 0;
}

int Ui::PagingOffset() const {
  return std::clamp(vars.A_Num, 0, kMaxItems);
}

// The split keys of a recorder with fewer channels: layouts it does not have
// are neither drawn nor clicked.
bool Ui::LayoutItemAbsent(const SkinElement& e, int item) const {
  if (e.target.data != &vars.IE_DOING || Upper(e.source_flags[0]) != 'C') return false;
  return !LayoutOffered(ConstantOf(e.source_name) + item - 1, vars.IE_M_CH);
}

void Ui::Skin_Redraw(int force) {
  if (!force && !redrawPending_) {
    if (elementTotal_ == 0) return;
    if (hovered_.element == lastDrawnHover_.element && hovered_.item == lastDrawnHover_.item)
      return;
  }
  redrawPending_ = false;
  lastDrawnHover_ = hovered_;
  for (int i = kMaxSkins - 1; i >= 0; --i) {
    if (skins_[i].x == -1) continue;
    // The pad is drawn while its window is open; opening it asks for a redraw.
    if (skins_[i].type == kPadSkinType && !form_.SpeedDome.visible) continue;
    Compose(i);
    Skin_Show(i);
  }
}

void Ui::Compose(int skin) {
  SkinEntry& s = skins_[skin];
  std::fill(s.canvas.begin(), s.canvas.end(), kTransparent);
  for (int i = s.first_element; i < s.first_element + s.element_count; ++i) {
    SkinElement& e = elements_[i];
    e.visible = ElementShown(e);
    if (e.visible) DrawElement(s, e, i);
  }
}

void Ui::DrawElement(SkinEntry& s, const SkinElement& e, int index) {
  const int n = e.item_count < 1 ? 1 : e.item_count;
  const bool array = IsArray(e);
  const int paging = e.kind == kKindPagedList ? PagingOffset() : 0;
  const int cpr = e.cells_per_row;

  if (e.kind == kKindSlider) {
    // One knob at the item that the target's value selects.
    const int at =
        static_cast<int>(std::clamp<int64_t>(int64_t{e.target.Get(0)} - e.value_base, 0, n - 1));
    int cx, cy;
    ItemCenter(e, at, cx, cy);
    DrawCell(s, e, 0, 0, cx, cy, ItemWhitening(index, at));
    return;
  }
  if (e.kind == kKindProgress) {
    const int percent = std::clamp(e.source.Get(0), 0, 100);
    DrawCell(s, e, 0, 0, e.center_x, e.center_y, 0, e.cell_width * percent / 100);
    return;
  }

  for (int k = 0; k < n; ++k) {
    const int item = k + paging;
    const int32_t value = array ? e.source.Get(item) : e.source.Get(0);
    if (array && (Hidden(value) || !e.source.InRange(item))) continue;
    if (LayoutItemAbsent(e, item + 1)) continue;
    int cx, cy;
    ItemCenter(e, k, cx, cy);
    const int whiten = ItemWhitening(index, k);
    char text[24];
    switch (e.kind) {
      case kKindDigitsItem:
      case kKindDigitsItem2:
        std::snprintf(text, sizeof text, e.kind == kKindDigitsItem2 ? "%02d" : "%d",
                      item + 1 + e.value_base);
        DrawNumber(s, e, text, cx, cy, array ? value : 0, whiten);
        continue;
      case kKindDigitsValue:
        std::snprintf(text, sizeof text, "%lld",
                      static_cast<long long>(int64_t{value} + e.value_base));
        DrawNumber(s, e, text, cx, cy, 0, whiten);
        continue;
      case kKindDigitsPadded:
        std::snprintf(text, sizeof text, "%0*lld", std::clamp(e.kind_param, 1, 10),
                      static_cast<long long>(int64_t{value} + e.value_base));
        DrawNumber(s, e, text, cx, cy, 0, whiten);
        continue;
      case kKindDateTime:
        FormatRecorderTime(static_cast<uint32_t>(value), e.kind_param, text, sizeof text);
        DrawNumber(s, e, text, cx, cy, 0, whiten);
        continue;
      case kKindCellByValue:
        if (!array) {
          const int per = cpr < 1 ? 1 : cpr;
          const int v = value < 0 ? 0 : value;
          DrawCell(s, e, v / per, v % per, cx, cy, whiten);
          continue;
        }
        break;
      default:
        break;
    }
    int state = value;
    if (e.kind == kKindRadio) {
      int mine = e.value_base + item;
      if (Upper(e.source_flags[0]) == 'C')
        mine = ConstantOf(e.source_name) + item;
      else if (array && Upper(e.source_flags[2]) == 'N')
        mine = item;
      state = e.target.Get(0) == mine ? 1 : 0;
    } else if (e.kind == kKindDayCell) {
      state = item < 42 ? vars.Mon_Data[item] : 0;
    }
    // A bound value can be any 32-bit number: the cell is worked out wide
    // and an item whose cell lies beyond any sheet is not drawn.
    int64_t row = 0, col = 0;
    if (e.cell_step >= 1 && cpr != 0) {
      const int64_t cell = int64_t{item} * e.cell_step;
      row = cell / cpr;
      col = cell % cpr;
    }
    if (cpr >= 2)
      col += state;
    else if (e.state_rows >= 2)
      row += state;
    if (row < 0 || col < 0 || row > INT32_MAX || col > INT32_MAX) continue;
    DrawCell(s, e, static_cast<int>(row), static_cast<int>(col), cx, cy, whiten);
  }
}

// Digits and the separators "-" and ":" of a number or time, one cell each,
// centred on (cx, cy); a blank advances without drawing.
void Ui::DrawNumber(SkinEntry& s, const SkinElement& e, const char* digits, int cx, int cy,
                    int state, int whiten) {
  const int len = static_cast<int>(std::strlen(digits));
  const int per = e.cells_per_row < 1 ? 1 : e.cells_per_row;
  const int step = e.cell_step < 1 ? 1 : e.cell_step;
  int x = cx - (len * e.cell_width) / 2 + e.cell_width / 2;
  for (int i = 0; i < len; ++i, x += e.cell_width) {
    int glyph;
    const char c = digits[i];
    if (c >= '0' && c <= '9')
      glyph = c - '0';
    else if (c == '-')
      glyph = 10;
    else if (c == ':')
      glyph = 11;
    else
      continue;
    const int64_t cell = int64_t{glyph} * step + (state > 0 ? state : 0);
    if (cell / per > INT32_MAX) continue;
    DrawCell(s, e, static_cast<int>(cell / per), static_cast<int>(cell % per), x, cy, whiten);
  }
}

// Copies one cell of the element's sheet centred on (cx, cy), leaving
// transparent pixels, clipped to the sheet's image and to the canvas.
// `clipWidth` >= 0 draws only that many columns from the left.
void Ui::DrawCell(SkinEntry& s, const SkinElement& e, int row, int col, int cx, int cy, int whiten,
                  int clipWidth) {
  const int cw = e.cell_width, ch = e.cell_height;
  if (cw <= 0 || ch <= 0 || row < 0 || col < 0) return;
  const int64_t sx64 = e.sheet_x + static_cast<int64_t>(col) * cw;
  const int64_t sy64 = e.sheet_y + static_cast<int64_t>(row) * ch;
  if (sx64 >= s.file.Width() || sy64 >= s.file.Height()) return;
  const int sx = static_cast<int>(sx64), sy = static_cast<int>(sy64);
  int dx = cx - cw / 2, dy = cy - ch / 2;
  // Keep a pair's chroma with its pixels: the cell lands on the sheet's parity.
  if ((dx ^ sx) & 1) --dx;
  int w = std::min(cw, s.file.Width() - sx);
  int h = std::min(ch, s.file.Height() - sy);
  if (clipWidth >= 0) w = std::min(w, clipWidth);
  int x0 = 0, y0 = 0;
  if (dx < 0) x0 = -dx;
  if (dy < 0) y0 = -dy;
  w = std::min(w, s.canvas_w - dx);
  h = std::min(h, s.canvas_h - dy);
  const uint16_t level = static_cast<uint16_t>((whiten & 3) << 8);
  for (int y = y0; y < h; ++y) {
    const uint8_t* src = s.file.Row(sy + y) + static_cast<size_t>(sx) * 2;
    uint16_t* dst = s.canvas.data() + static_cast<size_t>(dy + y) * s.canvas_w + dx;
    for (int x = x0; x < w; ++x) {
      uint16_t v = static_cast<uint16_t>(src[2 * x] | src[2 * x + 1] << 8);
      if (v == kTransparent) continue;
      // The whitening level lives in the low bits of the pair's U byte.
      if (level && !((sx + x) & 1) && ((v >> 8) & 3) < whiten) v = (v & ~0x0300) | level;
      dst[x] = v;
    }
  }
}

void Ui::Skin_Show(int skin) {
  SkinEntry& s = skins_[skin];
  Image& image = SkinImage(skin);
  const int w = s.canvas_w, h = s.canvas_h;
  if (&image == &form_.SpeedDome.Image5) {
    image.SetBounds(0, 0, w, h);
    ++form_.SpeedDome.revision;
  }
  if (image.picture.Width() != w || image.picture.Height() != h) image.picture.SetSize(w, h);
  const int pairs = w / 2;
  for (int y = 0; y < h; ++y) {
    const uint16_t* in = s.canvas.data() + static_cast<size_t>(y) * w;
    uint32_t* out = image.picture.Row(y);
    // Pass 1, branch-free: every pair as if unwhitened; a pair whose first
    // half is transparent comes out white.
    for (int i = 0; i < pairs; ++i) {
      const uint32_t w0 = in[2 * i], w1 = in[2 * i + 1];
      const uint32_t white = w0 == kTransparent ? 0x00FFFFFFu : 0u;
      const uint32_t a = w0 == kTransparent ? 0x8080u : w0;
      const uint32_t b = w1 == kTransparent ? 0x8080u : w1;
      const int u = static_cast<int>(a >> 8), v = static_cast<int>(b >> 8);
      const int rv = ((v * 292) >> 8) - 146;
      const int guv = ((v * 149 + u * 101) >> 8) - 125;
      const int bu = ((u * 516) >> 8) - 258;
      out[2 * i] = Pack(static_cast<int>(a & 0xFF), rv, guv, bu) | white;
      out[2 * i + 1] = Pack(static_cast<int>(b & 0xFF), rv, guv, bu) | white;
    }
    // Pass 2: the few pairs with a whitening level of 25, 50 or 75 %.
    for (int i = 0; i < pairs; ++i) {
      const uint16_t w0 = in[2 * i];
      if (w0 == kTransparent || ((w0 >> 8) & 3) == 0) continue;
      const uint16_t w1 = in[2 * i + 1] == kTransparent ? 0x8080 : in[2 * i + 1];
      const int p = ((w0 >> 8) & 3) * 25;
      out[2 * i] = YuvToRgb(w0 & 0xFF, w0 >> 8, w1 >> 8, p);
      out[2 * i + 1] = YuvToRgb(w1 & 0xFF, w0 >> 8, w1 >> 8, p);
    }
  }
  image.Invalidate();
}

uint32_t YuvToRgb(int y, int u, int v, int p) {
  const int q = 100 - p, white = 255 * p;
  const int r = ((((v * 292) >> 8) + y - 146) * q + white) / 100;
  const int g = ((y - ((v * 149 + u * 101) >> 8) + 125) * q + white) / 100;
  const int b = ((((u * 516) >> 8) + y - 258) * q + white) / 100;
  return static_cast<uint32_t>(std::clamp(r, 0, 255) << 16 | std::clamp(g, 0, 255) << 8 |
                               std::clamp(b, 0, 255));
}

}  // namespace tevrano::ui
