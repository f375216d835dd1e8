#include "base/BmpFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace tevrano {

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
constexpr long kMaxFileBytes = 64L << 20;
}  // namespace

bool LoadBmpFile(const std::string& path, Bitmap& out) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  std::fseek(f.get(), 0, SEEK_END);
  long size = std::ftell(f.get());
  std::fseek(f.get(), 0, SEEK_SET);
  if (size < 54 || size > kMaxFileBytes) return false;
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (std::fread(data.data(), 1, data.size(), f.get()) != data.size()) return false;
  if (data[0] != 'B' || data[1] != 'M') return false;

  const uint32_t pixelOffset = Le32(&data[10]);
  const uint32_t headerSize = Le32(&data[14]);
  if (headerSize < 40 || 14 + headerSize > data.size()) return false;
  const int32_t width = static_cast<int32_t>(Le32(&data[18]));
  const int32_t rawHeight = static_cast<int32_t>(Le32(&data[22]));
  const int bits = Le16(&data[28]);
  const uint32_t compression = Le32(&data[30]);
  if (width <= 0 || width > 8192 || rawHeight == 0 || rawHeight < -8192 || rawHeight > 8192)
    return false;
  if ((bits != 24 && bits != 32) || (compression != 0 && compression != 3)) return false;
  const int height = rawHeight < 0 ? -rawHeight : rawHeight;
  const size_t stride = (static_cast<size_t>(width) * bits / 8 + 3) & ~size_t{3};
  if (pixelOffset > data.size() || stride * height > data.size() - pixelOffset) return false;

  out.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    const int fileRow = rawHeight < 0 ? y : height - 1 - y;
    const uint8_t* src = &data[pixelOffset + stride * fileRow];
    uint32_t* dst = out.Row(y);
    const int step = bits / 8;
    for (int x = 0; x < width; ++x, src += step) dst[x] = src[0] | src[1] << 8 | src[2] << 16;
  }
  return true;
}

bool SaveBmpFile(const std::string& path, const Bitmap& picture) {
  const int w = picture.Width(), h = picture.Height();
  const uint32_t pixelBytes = static_cast<uint32_t>(w) * h * 4;
  std::vector<uint8_t> data(54 + pixelBytes);
  data[0] = 'B';
  data[1] = 'M';
  Put32(&data[2], static_cast<uint32_t>(data.size()));
  Put32(&data[10], 54);
  Put32(&data[14], 40);
  Put32(&data[18], static_cast<uint32_t>(w));
  Put32(&data[22], static_cast<uint32_t>(-h));
  Put16(&data[26], 1);
  Put16(&data[28], 32);
  Put32(&data[34], pixelBytes);
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = picture.Row(y);
    for (int x = 0; x < w; ++x) Put32(&data[54 + (static_cast<size_t>(y) * w + x) * 4], row[x]);
  }
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  return std::fwrite(data.data(), 1, data.size(), f.get()) == data.size();
}

}  // namespace tevrano
