// Bit-level reading and writing of H.264 RBSP data, most significant bit
// first, with Exp-Golomb codes. The reader refuses (ok() turns false)
// instead of reading past its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tevrano::sim {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), bits_(size * 8) {}
  bool ok() const { return ok_; }
  size_t position() const { return pos_; }
  size_t bitsLeft() const { return pos_ <= bits_ ? bits_ - pos_ : 0; }
  uint32_t Bit() {
    if (pos_ >= bits_) {
      ok_ = false;
      return 0;
    }
    uint32_t b = (data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1;
    ++pos_;
    return b;
  }
  uint32_t Bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | Bit();
    return v;
  }
  uint32_t Ue() {
    int zeros = 0;
    while (ok_ && Bit() == 0) {
      if (++zeros > 31) {
        ok_ = false;
        return 0;
      }
    }
    if (!ok_) return 0;
    return uint32_t((uint64_t(1) << zeros) - 1 + Bits(zeros));
  }
  int32_t Se() {
    uint32_t k = Ue();
    return (k & 1) ? int32_t((k + 1) / 2) : -int32_t(k / 2);
  }

 private:
  const uint8_t* data_;
  size_t bits_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class BitWriter {
 public:
  void Bit(uint32_t b) {
    if ((count_ & 7) == 0) bytes_.push_back(0);
    if (b & 1) bytes_.back() |= uint8_t(0x80 >> (count_ & 7));
    ++count_;
  }
  void Bits(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) Bit(v >> i);
  }
  // Exp-Golomb ue(v): k zero bits, then v + 1 in k + 1 bits.
  void Ue(uint32_t v) {
    uint64_t x = uint64_t(v) + 1;
    int k = 0;
    while ((x >> (k + 1)) != 0) ++k;
    for (int i = 0; i < k; ++i) Bit(0);
    for (int i = k; i >= 0; --i) Bit(uint32_t(x >> i));
  }
  void Se(int32_t v) { Ue(v > 0 ? uint32_t(2 * v - 1) : uint32_t(-2 * int64_t(v))); }
  // The stop bit and zero bits up to the next byte boundary.
  void TrailingBits() {
    Bit(1);
    while (count_ & 7) Bit(0);
  }
  void PadToByte() {
    while (count_ & 7) Bit(0);
  }
  size_t bitCount() const { return count_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t count_ = 0;
};

}  // namespace tevrano::sim
