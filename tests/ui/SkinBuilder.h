#pragma once
// Builds skin files in memory for tests: a packed YUYV image with the
// metadata block in its first 22 rows, laid out as the skin tools write it.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Specs are written with designated initializers naming only what matters.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tevrano::ui::test {

struct PieceSpec {
  std::string name;
  int cell_width = 0, cell_height = 0, sheet_x = 0, sheet_y = 0;
  int cells_per_row = 1, state_rows = 0, cell_step = 1, kind = 100, kind_param = 0;
  int click_level = 1;
};

struct ElementSpec {
  std::string name, piece, parent = "#Vout";
  int offset_x = 0, offset_y = 0, item_count = 1, layout = 0, radius = 0;
  int spacing_x = 0, spacing_y = 0, columns = 1, first_cell = 0, value_base = 0;
  std::string source, target;
};

class SkinBuilder {
 public:
  SkinBuilder(int width = 512, int height = 64) : width_(width), height_(height) {
    pixels_.assign(static_cast<size_t>(width) * height, 0x8080);
  }

  SkinBuilder& Piece(const PieceSpec& p) {
    pieces_.push_back(p);
    return *this;
  }
  SkinBuilder& Element(const ElementSpec& e) {
    elements_.push_back(e);
    return *this;
  }
  // Pixel word (Y | chroma << 8) at (x, y).
  void Pixel(int x, int y, uint16_t word) { pixels_[static_cast<size_t>(y) * width_ + x] = word; }
  void FillRect(int x, int y, int w, int h, uint16_t word) {
    for (int yy = y; yy < y + h; ++yy)
      for (int xx = x; xx < x + w; ++xx) Pixel(xx, yy, word);
  }
  // Overrides for damaged files.
  int16_t pieceCount = -1, elementCount = -1;  // -1: the real counts

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out(16 + pixels_.size() * 2);
    Put16(out.data() + 2, static_cast<uint16_t>(width_ / 2));
    for (size_t i = 0; i < pixels_.size(); ++i) Put16(out.data() + 16 + 2 * i, pixels_[i]);
    std::vector<uint8_t> meta(22 * 1024);
    Put16(meta.data() + 8, static_cast<uint16_t>(pieceCount >= 0 ? pieceCount : pieces_.size()));
    Put16(meta.data() + 10,
          static_cast<uint16_t>(elementCount >= 0 ? elementCount : elements_.size()));
    for (size_t i = 0; i < pieces_.size() && i < 64; ++i) {
      uint8_t* p = meta.data() + 100 + i * 100;
      const PieceSpec& s = pieces_[i];
      Name(p, s.name);
      const int fields[10] = {s.cell_width, s.cell_height, s.sheet_x, s.sheet_y,    s.cells_per_row,
                              s.state_rows, s.cell_step,   s.kind,    s.kind_param, s.click_level};
      for (int f = 0; f < 10; ++f) Put16(p + 16 + 2 * f, static_cast<uint16_t>(fields[f]));
    }
    for (size_t j = 0; j < elements_.size() && j < 96; ++j) {
      uint8_t* p = meta.data() + 6500 + j * 164;
      const ElementSpec& e = elements_[j];
      Name(p, e.name);
      Name(p + 16, e.piece);
      Name(p + 32, e.parent);
      Put16(p + 48, static_cast<uint16_t>(e.offset_x));
      Put16(p + 50, static_cast<uint16_t>(e.offset_y));
      Put16(p + 52, static_cast<uint16_t>(e.item_count));
      Put16(p + 56, static_cast<uint16_t>(e.layout));
      Put16(p + 58, static_cast<uint16_t>(e.radius));
      Put16(p + 60, static_cast<uint16_t>(e.spacing_x));
      Put16(p + 62, static_cast<uint16_t>(e.spacing_y));
      p[64] = static_cast<uint8_t>(e.columns);
      p[65] = static_cast<uint8_t>(e.first_cell);
      Put16(p + 66, static_cast<uint16_t>(e.value_base));
      Name(p + 68, e.source);
      Name(p + 84, e.target);
    }
    for (int r = 0; r < 22 && r < height_; ++r)
      std::memcpy(out.data() + 16 + static_cast<size_t>(r) * width_ * 2, meta.data() + r * 1024,
                  1024);
    return out;
  }

 private:
  static void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  static void Name(uint8_t* p, const std::string& s) {
    std::memcpy(p, s.data(), s.size() < 16 ? s.size() : 16);
  }

  int width_, height_;
  std::vector<uint16_t> pixels_;
  std::vector<PieceSpec> pieces_;
  std::vector<ElementSpec> elements_;
};

// The skin most tests start from, on a 512 x 100 image: a background piece
// "Bg" (backgroundWidth x 60 at (0, 30)) shown by the element "Back", and a
// sheet "Btn" of 20 x 10 buttons at (buttonSheetX, 30), two cells a row.
inline SkinBuilder BackgroundAndButtonSkin(int backgroundWidth, int buttonSheetX) {
  SkinBuilder b(512, 100);
  b.Piece({.name = "Bg",
           .cell_width = backgroundWidth,
           .cell_height = 60,
           .sheet_x = 0,
           .sheet_y = 30,
           .click_level = 0});
  b.Piece({.name = "Btn",
           .cell_width = 20,
           .cell_height = 10,
           .sheet_x = buttonSheetX,
           .sheet_y = 30,
           .cells_per_row = 2,
           .cell_step = 2});
  b.Element({.name = "Back", .piece = "Bg"});
  return b;
}

}  // namespace tevrano::ui::test
