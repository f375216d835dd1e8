// Loading skin files and building their elements.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <type_traits>

#include "base/Form.h"
#include "ui/Speed_dome_form.h"
#include "ui/Ui.h"

namespace tevrano::ui {

using namespace skin_format;

namespace {

constexpr size_t kPathCapacity = 512;  // a skin's path: folder, "/", file name, terminator
constexpr int kMaxCanvasSide = 4096;   // largest width and height of a composed skin picture
constexpr int kMaxFlagLetters = 3;     // flag letters after the "#" of a binding name
constexpr int kCircleLayout = 1;       // an element's layout: items on a circle (0: a grid)
constexpr int kCircleSteps = 256;      // steps of a full turn in the circle tables
constexpr int kFixedShift = 16;        // the circle tables are 16.16 fixed point
static_assert((kCircleSteps & (kCircleSteps - 1)) == 0, "angles wrap with a mask");

// The flag letters of a binding name: "Key_Split#SD" → S D 0,
// "IE_CH#ADN" → A D N, no "#" in place → 0 0 0. Two letters are looked
// for first, then three.
void FlagLetters(const SkinName& name, char flags[kMaxFlagLetters]) {
  const size_t n = std::strlen(name.text);
  for (int i = 0; i < kMaxFlagLetters; ++i) flags[i] = '0';
  for (size_t letters = 2; letters <= kMaxFlagLetters; ++letters) {
    if (n > letters && name.text[n - letters - 1] == '#') {
      std::memcpy(flags, name.text + n - letters, letters);
      return;
    }
  }
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// 16.16 fixed-point cosine and sine over the steps of a full turn.
struct CircleTables {
  int32_t cosine[kCircleSteps], sine[kCircleSteps];
  CircleTables() {
    constexpr double kOne = 1 << kFixedShift;
    for (int a = 0; a < kCircleSteps; ++a) {
      const double r = a * 2.0 * std::numbers::pi / kCircleSteps;
      cosine[a] = static_cast<int32_t>(std::lround(std::cos(r) * kOne));
      sine[a] = static_cast<int32_t>(std::lround(std::sin(r) * kOne));
    }
  }
};
const CircleTables kCircle;

// (table × radius) >> 16 with negative products rounded toward zero first.
int FixedScale(int32_t table, int radius) {
  const int64_t p = static_cast<int64_t>(table) * radius;
  return static_cast<int>(p < 0 ? -((-p) >> kFixedShift) : p >> kFixedShift);
}

}  // namespace

Ui::Ui(TTevranoX& form) : form_(form) {
  static_assert(std::extent_v<decltype(UiVariables::Dm_SCh)> == Speed_dome_form::kSlots &&
                std::extent_v<decltype(UiVariables::Dm_SPre)> == Speed_dome_form::kSlots);
  for (int i = 0; i < Speed_dome_form::kSlots; ++i) {
    vars.Dm_SPre[i] = 0;
    vars.Dm_SCh[i] = Speed_dome_form::kNoChannel;
  }
}

void Ui::ResetSkins() {
  for (SkinEntry& s : skins_) s = SkinEntry{};
  for (SkinElement& e : elements_) e = SkinElement{};
  elementTotal_ = 0;
  originX_ = originY_ = 0;
  level_ = 1;
  redrawPending_ = true;
}

int Ui::Skin_Load(platform::FileSystem& files, const std::string& folder, int x, int y, int type,
                  const char* file_name) {
  char path[kPathCapacity];
  const int length = std::snprintf(path, sizeof path, "%s/%s", folder.c_str(), file_name);
  // A path cut to the buffer would name another file.
  if (length < 0 || static_cast<size_t>(length) >= sizeof path) return -1;
  std::vector<uint8_t> bytes;
  if (platform::ReadWholeFile(files, path, kBufferCapacity, bytes) != platform::ReadFileResult::kOk)
    return -1;
  return Skin_LoadBytes(bytes, x, y, type, file_name);
}

int Ui::Skin_LoadBytes(std::span<const uint8_t> bytes, int x, int y, int type,
                       const char* file_name) {
  const bool pad = std::strstr(file_name, "Mouse_Preset") != nullptr;
  if (pad) x = kPadSkinX, type = kPadSkinType;
  int free = -1;
  for (int i = 0; i < kMaxSkins; ++i) {
    if (skins_[i].x == x && skins_[i].y == y) return -1;  // already registered
    if (free < 0 && skins_[i].x == -1) free = i;
  }
  if (free < 0) return -1;

  SkinEntry& s = skins_[free];
  s.bytes.assign(bytes.begin(), bytes.end());
  if (!s.file.Parse(s.bytes)) {
    s = SkinEntry{};
    return -1;
  }
  s.x = x;
  s.y = y;
  s.type = type;
  std::snprintf(s.file_name, sizeof s.file_name, "%s", file_name);
  s.first_element = elementTotal_;
  s.max_items = 0;
  for (int j = 0; j < kMaxElementRecords; ++j) {
    const int items = s.file.Element(j).item_count;
    if (items > s.max_items) s.max_items = items;
  }
  s.element_count = BuildElements(s, free);
  elementTotal_ += s.element_count;

  // The composed picture has the size of the first element's cell (the
  // background), cut to what the file holds.
  if (s.element_count > 0) {
    const SkinElement& bg = elements_[s.first_element];
    s.canvas_w = bg.cell_width & ~1;  // whole YUYV pairs
    s.canvas_h = bg.cell_height;
    if (s.canvas_w > kMaxCanvasSide) s.canvas_w = kMaxCanvasSide;
    if (s.canvas_h > kMaxCanvasSide) s.canvas_h = kMaxCanvasSide;
  }
  s.canvas.assign(static_cast<size_t>(s.canvas_w) * s.canvas_h, kTransparent);
  PlaceItems();
  redrawPending_ = true;
  return 0;
}

// Elements are created only when both their piece and their parent are
// named in the skin; a skipped record keeps its number, so the elements
// after it keep theirs. Returns the number of element slots the skin uses.
int Ui::BuildElements(SkinEntry& s, int skinIndex) {
  const SkinFile& f = s.file;
  const int pieces = f.PieceCount();
  const int records = f.ElementCount();
  PieceRecord piece[kMaxPieces];
  SkinName names[kMaxElementRecords];
  for (int i = 0; i < pieces; ++i) piece[i] = f.Piece(i);
  for (int j = 0; j < records; ++j) names[j] = f.Element(j).name;

  int used = 0;
  for (int j = 0; j < records; ++j) {
    const int number = s.first_element + j;
    if (number >= kMaxElements) break;
    const ElementRecord r = f.Element(j);
    int p = -1;
    for (int i = 0; i < pieces && p < 0; ++i)
      if (!r.piece.Empty() && std::strcmp(piece[i].name.text, r.piece.text) == 0) p = i;
    int parent = -2;
    if (std::strcmp(r.parent.text, "#Vout") == 0) {
      parent = -1;
    } else {
      for (int i = 0; i < records && parent == -2; ++i)
        if (!r.parent.Empty() && std::strcmp(names[i].text, r.parent.text) == 0)
          parent = s.first_element + i;
    }
    used = j + 1;
    SkinElement& e = elements_[number];
    e = SkinElement{};
    if (p < 0 || parent == -2) continue;
    // A parent beyond the global table was never created.
    if (parent >= kMaxElements) continue;

    const PieceRecord& pc = piece[p];
    e.created = true;
    e.name = r.name;
    e.source_name = r.source;
    e.target_name = r.target;
    FlagLetters(r.source, e.source_flags);
    FlagLetters(r.target, e.target_flags);
    const char s0 = Upper(e.source_flags[0]);
    if (s0 == 'S' || s0 == 'A') e.source = bindings_.Skin_Lookup(r.source.text);
    if (e.target_flags[0] != '0' && e.target_flags[1] != '0')
      e.target = bindings_.Skin_Lookup(r.target.text);
    e.cell_width = pc.cell_width;
    e.cell_height = pc.cell_height;
    e.sheet_x = pc.sheet_x;
    e.sheet_y = pc.sheet_y;
    e.cells_per_row = pc.cells_per_row;
    e.state_rows = pc.state_rows;
    e.cell_step = pc.cell_step;
    e.kind = pc.kind;
    e.kind_param = pc.kind_param;
    e.click_level = pc.click_level;
    e.parent = parent;
    e.offset_x = r.offset_x;
    e.offset_y = r.offset_y;
    e.item_count = r.item_count > kMaxItems ? kMaxItems : r.item_count;
    e.layout = r.layout;
    e.radius = r.radius;
    e.spacing_x = r.spacing_x;
    e.spacing_y = r.spacing_y;
    e.columns = r.columns;
    e.first_cell = r.first_cell;
    e.value_base = r.value_base;
    e.record = j;
    e.piece = p;
    e.skin = skinIndex;
  }
  // Slots past the table's end are not counted.
  if (s.first_element + used > kMaxElements) used = kMaxElements - s.first_element;
  return used < 0 ? 0 : used;
}

// Centres: a top-level element sits at its cell's centre less the origin; a
// child at its parent's centre plus its offset. Parents come before their
// children in a well-formed skin; a later parent is placed on a second pass.
void Ui::PlaceItems() {
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < elementTotal_; ++i) {
      SkinElement& e = elements_[i];
      if (!e.created) continue;
      if (e.parent < 0) {
        e.parent_x = originX_;
        e.parent_y = originY_;
        e.center_x = (e.cell_width >> 1) - originX_;
        e.center_y = (e.cell_height >> 1) - originY_;
        e.offset_x = originX_;
        e.offset_y = originY_;
      } else {
        const SkinElement& p = elements_[e.parent];
        e.parent_x = p.center_x;
        e.parent_y = p.center_y;
        e.center_x = p.center_x + e.offset_x;
        e.center_y = p.center_y + e.offset_y;
      }
    }
  }
}

void Ui::ItemCenter(const SkinElement& e, int k, int& x, int& y) const {
  const int n = e.item_count;
  x = e.center_x;
  y = e.center_y;
  if (n < 2) return;
  if (e.layout == kCircleLayout) {
    const int a = ((kCircleSteps / n) * k) & (kCircleSteps - 1);
    x = e.center_x + FixedScale(kCircle.cosine[a], e.radius);
    y = e.center_y - FixedScale(kCircle.sine[a], e.radius);
    return;
  }
  int cols = e.columns < 1 ? 1 : e.columns;
  if (n < cols) cols = n;
  const int rows = (n + (e.first_cell > 0 ? e.first_cell : 0) + cols - 1) / cols;
  const int blockW = (cols - 1) * e.spacing_x + cols * e.cell_width;
  const int blockH = (rows - 1) * e.spacing_y + rows * e.cell_height;
  x = (e.cell_width + e.spacing_x) * (k % cols) + e.center_x - (blockW >> 1) + (e.cell_width >> 1);
  y = (e.cell_height + e.spacing_y) * (k / cols) + e.center_y - (blockH >> 1) +
      (e.cell_height >> 1);
}

int Ui::FindSkin(std::string_view name) const {
  for (int i = 0; i < kMaxSkins; ++i) {
    const SkinEntry& s = skins_[i];
    if (s.x == -1 || name.empty()) continue;
    if (std::string_view(s.file_name).find(name) != std::string_view::npos) return i;
  }
  return -1;
}

Image& Ui::SkinImage(int skin) {
  return std::strstr(skins_[skin].file_name, "Mouse_Preset") ? form_.SpeedDome.Image5
                                                             : form_.Image1;
}

}  // namespace tevrano::ui
