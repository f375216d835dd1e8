#include "ui/SkinFile.h"

#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"

namespace tevrano::ui {

using namespace skin_format;

namespace {
// Little-endian fields of the metadata block, read in order from a record.
int U16(ByteReader& r) {
  uint16_t v = 0;
  r.Le16(v);
  return v;
}
int S16(ByteReader& r) {
  return static_cast<int16_t>(U16(r));
}
int S8(ByteReader& r) {
  uint8_t v = 0;
  r.U8(v);
  return static_cast<int8_t>(v);
}
SkinName Name(ByteReader& r) {
  SkinName n;
  r.Text(kNameSize, n.text, sizeof n.text);
  return n;
}
// A reader over record `index` of `size` bytes at `offset` in the block.
ByteReader Record(const uint8_t* meta, size_t offset, size_t size, int index) {
  ByteReader block(meta, kMetaSize);
  ByteReader record;
  block.Seek(offset + static_cast<size_t>(index) * size) && block.Sub(size, record);
  return record;
}
}  // namespace

bool SkinFile::Parse(std::span<const uint8_t> bytes) {
  pixels_ = nullptr;
  width_ = height_ = 0;
  if (bytes.size() > kBufferCapacity) return false;
  ByteReader r(bytes);
  uint16_t halfWidth = 0;
  if (!r.Skip(2) || !r.Le16(halfWidth) || !r.Seek(kHeaderSize)) return false;
  const int width = 2 * halfWidth;
  if (width < kMinWidth) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 2;
  const size_t rows = r.Remaining() / rowBytes;
  if (rows < static_cast<size_t>(kMetaRows)) return false;
  std::span<const uint8_t> pixels;
  if (!r.Span(rows * rowBytes, pixels)) return false;
  ByteReader image(pixels);
  for (int row = 0; row < kMetaRows; ++row) {
    if (!image.Seek(row * rowBytes) || !image.Bytes(meta_ + row * kMetaRowBytes, kMetaRowBytes))
      return false;
  }
  pixels_ = pixels.data();
  width_ = width;
  height_ = static_cast<int>(rows);
  return true;
}

int SkinFile::PieceCount() const {
  ByteReader r(meta_, kMetaSize);
  r.Seek(kPieceCountOffset);
  return std::clamp(S16(r), 0, kMaxPieces);
}

int SkinFile::ElementCount() const {
  ByteReader r(meta_, kMetaSize);
  r.Seek(kElementCountOffset);
  return std::clamp(S16(r), 0, kMaxElementRecords);
}

// Fields in their record order; a record outside the block reads as zeros.
PieceRecord SkinFile::Piece(int index) const {
  ByteReader p = Record(meta_, kPieceOffset, kPieceSize, index);
  PieceRecord r;
  r.name = Name(p);
  r.cell_width = U16(p);
  r.cell_height = U16(p);
  r.sheet_x = U16(p);
  r.sheet_y = U16(p);
  r.cells_per_row = U16(p);
  r.state_rows = U16(p);
  r.cell_step = U16(p);
  r.kind = U16(p);
  r.kind_param = S16(p);
  r.click_level = U16(p);
  return r;
}

ElementRecord SkinFile::Element(int index) const {
  ByteReader p = Record(meta_, kElementOffset, kElementSize, index);
  ElementRecord r;
  r.name = Name(p);
  r.piece = Name(p);
  r.parent = Name(p);
  r.offset_x = S16(p);
  r.offset_y = S16(p);
  r.item_count = U16(p);
  p.Skip(2);
  r.layout = U16(p);
  r.radius = S16(p);
  r.spacing_x = S16(p);
  r.spacing_y = S16(p);
  r.columns = S8(p);
  r.first_cell = S8(p);
  r.value_base = S16(p);
  r.source = Name(p);
  r.target = Name(p);
  return r;
}

}  // namespace tevrano::ui
