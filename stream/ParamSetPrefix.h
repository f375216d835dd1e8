#pragma once
#include <cstdint>

namespace tevrano {

// The SPS and PPS the recorder does not send, rebuilt from the picture size
// in macroblocks and written in front of every I-frame. Each NAL unit is
// preceded by its length in `lengthSize` bytes (4 for the decoder, 2 for a
// movie's avcC record), big-endian.
class ParamSetPrefix {
 public:
  // The largest picture the display's work buffers hold: 960 x 576.
  static constexpr uint32_t kMaxWidthMb = 60;
  static constexpr uint32_t kMaxHeightMb = 36;
  static constexpr uint32_t kMaxBytes = 64;

  // Writes the prefix into `out` (room for kMaxBytes) and returns its length;
  // 0 for a size outside 1..60 x 1..36 macroblocks (nothing written).
  static uint32_t Build(uint32_t widthMb, uint32_t heightMb, uint8_t* out, int lengthSize = 4);
};

}  // namespace tevrano
