#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/Bitmap.h"
#include "platform/FileSystem.h"

namespace tevrano {

// Windows bitmap files: a 14-byte file header ("BM", size, reserved, pixel
// offset), an info header of at least 40 bytes (size, width, height: negative
// for top-down rows, planes, bits per pixel, compression), then rows padded
// to 4 bytes, bottom row first unless the height is negative.
namespace bmp_format {
constexpr size_t kHeadersSize = 54;  // file header and the 40-byte info header
constexpr uint32_t kInfoHeaderSize = 40;
constexpr int kMaxSide = 8192;                      // wider or taller pictures are refused
constexpr size_t kMaxFileBytes = size_t{64} << 20;  // larger files are refused
}  // namespace bmp_format

// Reads an uncompressed 24- or 32-bit bitmap into `out`. False (and `out`
// untouched) when the bytes are damaged or of another kind; never reads
// outside `bytes`.
bool ParseBmp(std::span<const uint8_t> bytes, Bitmap& out);

// ParseBmp on the file at `path`; false also when it is missing or larger
// than bmp_format::kMaxFileBytes.
bool LoadBmpFile(platform::FileSystem& files, const std::string& path, Bitmap& out);

// `picture` as a 32-bit top-down bitmap file.
std::vector<uint8_t> EncodeBmp(const Bitmap& picture);

// Writes EncodeBmp(picture) to `path`; false when it could not be written whole.
bool SaveBmpFile(platform::FileSystem& files, const std::string& path, const Bitmap& picture);

}  // namespace tevrano
