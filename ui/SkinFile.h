#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace tevrano::ui {

// Layout of a skin file: a 16-byte header (the image width is 2 × the 16-bit
// word at offset 2), then rows of packed YUYV pixels, top row first. The
// first 1024 bytes of each of the first 22 rows, laid end to end, are the
// metadata block that names the pieces (sprite sheets) and the elements.
namespace skin_format {
constexpr size_t kHeaderSize = 16;
constexpr size_t kBufferCapacity = 2293760;  // largest file accepted
constexpr int kMinWidth = 512;               // the block rows need 1024 bytes
constexpr int kMetaRows = 22;
constexpr size_t kMetaRowBytes = 1024;
constexpr size_t kMetaSize = kMetaRows * kMetaRowBytes;  // 22,528
constexpr size_t kPieceCountOffset = 8;
constexpr size_t kElementCountOffset = 10;
constexpr size_t kPieceOffset = 100;
constexpr size_t kPieceSize = 100;
constexpr size_t kElementOffset = 6500;
constexpr size_t kElementSize = 164;
constexpr int kMaxPieces = 64;
constexpr int kMaxElementRecords = 96;
constexpr int kNameSize = 16;  // a name may fill its field without a terminator
constexpr uint16_t kTransparent = 0xFFFF;
}  // namespace skin_format

// A name field: at most 16 characters, cut at the first NUL.
struct SkinName {
  char text[skin_format::kNameSize + 1] = {};
  bool Empty() const { return text[0] == 0; }
};

// Piece record (100 bytes): a named sprite sheet inside the same image.
struct PieceRecord {
  SkinName name;
  int cell_width = 0, cell_height = 0;  // 0..65535
  int sheet_x = 0, sheet_y = 0;         // sheet's top left in the image
  int cells_per_row = 0;                // 0 = not drawn cell-wise
  int state_rows = 0;
  int cell_step = 0;
  int kind = 0;
  int kind_param = 0;   // signed
  int click_level = 0;  // 0 = not clickable
};

// Element record (164 bytes).
struct ElementRecord {
  SkinName name, piece, parent;
  int offset_x = 0, offset_y = 0;  // signed, centre relative to the parent's centre
  int item_count = 0;
  int layout = 0;                    // 0 grid, 1 circle
  int radius = 0;                    // signed
  int spacing_x = 0, spacing_y = 0;  // signed
  int columns = 0, first_cell = 0;   // signed bytes
  int value_base = 0;                // signed
  SkinName source, target;
};

// A skin file checked for shape: every accessor stays inside `bytes`.
class SkinFile {
 public:
  // False when the file is too small, too large, narrower than 512 pixels,
  // shorter than 22 rows, or its width does not fit its size.
  bool Parse(std::span<const uint8_t> bytes);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Pixel word (Y | chroma << 8) at (x, y), both inside the image.
  uint16_t Pixel(int x, int y) const {
    const uint8_t* p = pixels_ + (static_cast<size_t>(y) * width_ + x) * 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  const uint8_t* Row(int y) const { return pixels_ + static_cast<size_t>(y) * width_ * 2; }

  // The metadata block (22,528 bytes), copied out of the first 22 rows.
  const uint8_t* Meta() const { return meta_; }
  int PieceCount() const;    // clamped to 0..64
  int ElementCount() const;  // clamped to 0..96
  PieceRecord Piece(int index) const;
  ElementRecord Element(int index) const;

 private:
  const uint8_t* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
  uint8_t meta_[skin_format::kMetaSize] = {};
};

}  // namespace tevrano::ui
