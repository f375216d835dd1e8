#include "base/BmpFile.h"

#include "base/ByteReader.h"

namespace tevrano {

using namespace bmp_format;

bool ParseBmp(std::span<const uint8_t> bytes, Bitmap& out) {
  if (bytes.size() < kHeadersSize || bytes.size() > kMaxFileBytes) return false;
  ByteReader r(bytes);
  uint8_t b = 0, m = 0;
  uint32_t pixelOffset = 0, headerSize = 0, compression = 0;
  int32_t width = 0, rawHeight = 0;
  uint16_t planes = 0, bits = 0;
  r.U8(b), r.U8(m);
  r.Skip(8);  // file size and reserved words: not relied on
  r.Le32(pixelOffset);
  r.Le32(headerSize);
  r.Le32(width);
  r.Le32(rawHeight);
  r.Le16(planes);
  r.Le16(bits);
  r.Le32(compression);
  if (!r.Ok() || b != 'B' || m != 'M') return false;
  if (headerSize < kInfoHeaderSize || headerSize > bytes.size() - 14) return false;
  if (width <= 0 || width > kMaxSide || rawHeight == 0 || rawHeight < -kMaxSide ||
      rawHeight > kMaxSide)
    return false;
  if ((bits != 24 && bits != 32) || (compression != 0 && compression != 3)) return false;
  const int height = rawHeight < 0 ? -rawHeight : rawHeight;
  const size_t step = bits / 8;
  const size_t rowBytes = static_cast<size_t>(width) * step;
  const size_t stride = (rowBytes + 3) & ~size_t{3};
  ByteReader pixels;
  if (!r.Seek(pixelOffset) || !r.Sub(stride * height, pixels)) return false;

  out.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    const int fileRow = rawHeight < 0 ? y : height - 1 - y;
    std::span<const uint8_t> src;
    // Inside `pixels` by its size; checked all the same.
    if (!pixels.Seek(stride * fileRow) || !pixels.Span(rowBytes, src)) return false;
    uint32_t* dst = out.Row(y);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = src.data() + x * step;
      dst[x] = p[0] | p[1] << 8 | p[2] << 16;
    }
  }
  return true;
}

bool LoadBmpFile(platform::FileSystem& files, const std::string& path, Bitmap& out) {
  std::vector<uint8_t> bytes;
  if (platform::ReadWholeFile(files, path, kMaxFileBytes, bytes) != platform::ReadFileResult::kOk)
    return false;
  return ParseBmp(bytes, out);
}

std::vector<uint8_t> EncodeBmp(const Bitmap& picture) {
  const int w = picture.Width(), h = picture.Height();
  const uint32_t pixelBytes = static_cast<uint32_t>(w) * h * 4;
  std::vector<uint8_t> data(kHeadersSize + pixelBytes);
  ByteWriter out(data.data(), data.size());
  out.U8('B'), out.U8('M');
  out.Le32(static_cast<uint32_t>(data.size()));
  out.Le32(0);
  out.Le32(static_cast<uint32_t>(kHeadersSize));
  out.Le32(kInfoHeaderSize);
  out.Le32(static_cast<uint32_t>(w));
  out.Le32(static_cast<uint32_t>(-h));  // top-down rows
  out.Le16(1);
  out.Le16(32);
  out.Le32(0);  // no compression
  out.Le32(pixelBytes);
  out.Zeros(16);  // resolution and palette counts
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = picture.Row(y);
    for (int x = 0; x < w; ++x) out.Le32(row[x]);
  }
  return data;
}

bool SaveBmpFile(platform::FileSystem& files, const std::string& path, const Bitmap& picture) {
  return platform::WriteWholeFile(files, path, EncodeBmp(picture));
}

}  // namespace tevrano
