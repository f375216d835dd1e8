// Little- and big-endian field access for wire records, and a reader that
// refuses instead of running past the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tevrano::sim {

inline uint32_t GetLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t GetLe16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
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
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
inline uint32_t GetBe32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The word of a four-character tag: its first character in the lowest byte.
constexpr uint32_t Tag(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}
inline std::string TagText(uint32_t tag) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = char(tag >> (8 * i));
    s += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return s;
}

// Text of a fixed-size, zero-terminated field; never reads past the field.
inline std::string FieldText(const uint8_t* p, size_t size) {
  size_t n = 0;
  while (n < size && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

// Bounds-checked view of received bytes.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  bool Has(size_t offset, size_t n) const { return offset <= size_ && n <= size_ - offset; }
  // False when the field lies outside the bytes.
  bool Le32(size_t offset, uint32_t& out) const {
    if (!Has(offset, 4)) return false;
    out = GetLe32(data_ + offset);
    return true;
  }
  uint32_t Le32Or(size_t offset, uint32_t fallback) const {
    uint32_t v;
    return Le32(offset, v) ? v : fallback;
  }
  bool Sub(size_t offset, size_t n, ByteReader& out) const {
    if (!Has(offset, n)) return false;
    out = ByteReader(data_ + offset, n);
    return true;
  }
  std::string Text(size_t offset, size_t n) const {
    if (!Has(offset, n)) return {};
    return FieldText(data_ + offset, n);
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

inline void AppendLe32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLe32(b, v);
  out.insert(out.end(), b, b + 4);
}

}  // namespace tevrano::sim
