#pragma once
#include <cstdint>
#include <cstring>

namespace tevrano {

// Wire integers are 32-bit little-endian; four-character tags are the
// little-endian word of their ASCII bytes ("ZELL" has 'Z' in the low byte).
constexpr uint32_t Tag(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 |
         uint32_t(uint8_t(name[2])) << 16 | uint32_t(uint8_t(name[3])) << 24;
}

inline uint32_t GetLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

// Copies a zero-terminated text into a fixed field of `fieldSize` bytes,
// cut so that the last byte is always zero; the rest of the field is zeroed.
inline void PutText(uint8_t* field, uint32_t fieldSize, const char* text) {
  std::memset(field, 0, fieldSize);
  if (!text || fieldSize == 0) return;
  const size_t n = strnlen(text, fieldSize - 1);
  std::memcpy(field, text, n);
}

}  // namespace tevrano
