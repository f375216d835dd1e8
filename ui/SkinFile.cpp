#include "ui/SkinFile.h"

#include <algorithm>
#include <cstring>

namespace tevrano::ui {

using namespace skin_format;

namespace {
int U16(const uint8_t* p) {
  return p[0] | p[1] << 8;
}
int S16(const uint8_t* p) {
  return static_cast<int16_t>(U16(p));
}
int S8(const uint8_t* p) {
  return static_cast<int8_t>(p[0]);
}
SkinName Name(const uint8_t* p) {
  SkinName n;
  std::memcpy(n.text, p, kNameSize);
  n.text[kNameSize] = 0;
  return n;
}
}  // namespace

bool SkinFile::Parse(std::span<const uint8_t> bytes) {
  pixels_ = nullptr;
  width_ = height_ = 0;
  if (bytes.size() < kHeaderSize || bytes.size() > kBufferCapacity) return false;
  const int width = 2 * U16(bytes.data() + 2);
  if (width < kMinWidth) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 2;
  const size_t rows = (bytes.size() - kHeaderSize) / rowBytes;
  if (rows < static_cast<size_t>(kMetaRows)) return false;
  pixels_ = bytes.data() + kHeaderSize;
  width_ = width;
  height_ = static_cast<int>(rows);
  for (int r = 0; r < kMetaRows; ++r)
    std::memcpy(meta_ + r * kMetaRowBytes, pixels_ + r * rowBytes, kMetaRowBytes);
  return true;
}

int SkinFile::PieceCount() const {
  return std::clamp(S16(meta_ + kPieceCountOffset), 0, kMaxPieces);
}

int SkinFile::ElementCount() const {
  return std::clamp(S16(meta_ + kElementCountOffset), 0, kMaxElementRecords);
}

PieceRecord SkinFile::Piece(int index) const {
  const uint8_t* p = meta_ + kPieceOffset + static_cast<size_t>(index) * kPieceSize;
  PieceRecord r;
  r.name = Name(p);
  r.cell_width = U16(p + 16);
  r.cell_height = U16(p + 18);
  r.sheet_x = U16(p + 20);
  r.sheet_y = U16(p + 22);
  r.cells_per_row = U16(p + 24);
  r.state_rows = U16(p + 26);
  r.cell_step = U16(p + 28);
  r.kind = U16(p + 30);
  r.kind_param = S16(p + 32);
  r.click_level = U16(p + 34);
  return r;
}

ElementRecord SkinFile::Element(int index) const {
  const uint8_t* p = meta_ + kElementOffset + static_cast<size_t>(index) * kElementSize;
  ElementRecord r;
  r.name = Name(p);
  r.piece = Name(p + 16);
  r.parent = Name(p + 32);
  r.offset_x = S16(p + 48);
  r.offset_y = S16(p + 50);
  r.item_count = U16(p + 52);
  r.layout = U16(p + 56);
  r.radius = S16(p + 58);
  r.spacing_x = S16(p + 60);
  r.spacing_y = S16(p + 62);
  r.columns = S8(p + 64);
  r.first_cell = S8(p + 65);
  r.value_base = S16(p + 66);
  r.source = Name(p + 68);
  r.target = Name(p + 84);
  return r;
}

}  // namespace tevrano::ui
