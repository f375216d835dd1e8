#include "stream/ParamSetPrefix.h"

#include <cstring>

namespace tevrano {
namespace {

// Appends bits most significant first into a zeroed byte buffer.
class BitWriter {
 public:
  BitWriter(uint8_t* out, uint32_t bitPos) : out_(out), pos_(bitPos) {}
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i, ++pos_)
      if ((value >> i) & 1) out_[pos_ >> 3] |= uint8_t(0x80 >> (pos_ & 7));
  }
  // Exp-Golomb ue(v): k zero bits, then v + 1 in k + 1 bits.
  void PutUe(uint32_t v) {
    int k = 0;
    while (((v + 1) >> (k + 1)) != 0) ++k;
    Put(0, k);
    Put(v + 1, k + 1);
  }
  uint32_t Bytes() const { return (pos_ + 7) / 8; }

 private:
  uint8_t* out_;
  uint32_t pos_;
};

// NAL type 7, Baseline, level 30, sps id 0, log2_max_frame_num 4, poc type 0,
// log2_max_poc_lsb 4, four reference frames, no gaps: bits up to the second
// bit of byte 9.
constexpr uint8_t kSpsStart[10] = {0x00, 0x00, 0x00, 0x01, 0x67, 0x42, 0x00, 0x1E, 0xF2, 0x80};
constexpr uint8_t kPps[5] = {0x68, 0xC9, 0x08, 0x38, 0x80};

}  // namespace

uint32_t ParamSetPrefix::Build(uint32_t widthMb, uint32_t heightMb, uint8_t* out, int lengthSize) {
  if (widthMb == 0 || heightMb == 0 || widthMb > kMaxWidthMb || heightMb > kMaxHeightMb) return 0;
  uint8_t sps[32] = {};
  std::memcpy(sps, kSpsStart + 4, 6);
  BitWriter bits(sps, 6 * 8 - 6);  // after the second bit of byte 9 (of the 10)
  bits.PutUe(widthMb - 1);
  bits.PutUe(heightMb - 1);
  bits.Put(0b11001, 5);  // frame_mbs_only, direct_8x8, no cropping, no VUI, stop bit
  const uint32_t spsLen = bits.Bytes();

  uint32_t n = 0;
  auto putLength = [&](uint32_t len) {
    if (lengthSize == 2) {
      out[n++] = uint8_t(len >> 8);
    } else {
      out[n++] = 0, out[n++] = 0, out[n++] = uint8_t(len >> 8);
    }
    out[n++] = uint8_t(len);
  };
  putLength(spsLen);
  std::memcpy(out + n, sps, spsLen);
  n += spsLen;
  putLength(sizeof kPps);
  std::memcpy(out + n, kPps, sizeof kPps);
  n += sizeof kPps;
  return n;
}

}  // namespace tevrano
