#pragma once
#include <cstdint>

#include "video/AlignedBuffer.h"

namespace tevrano {

// Separable bilinear scaling of one 8-bit plane with 12-bit fixed-point
// steps: output sample i lies at p = i * step, takes source samples
// n = p >> 12 and n + 1 with the weight f = (p >> 4) & 255, and is
// ((256 - f) * s[n] + f * s[n + 1]) >> 8. Rows are scaled horizontally
// first, then the scaled rows vertically; the sample beyond the last row or
// column repeats the last one. Buffers are made once for the largest plane.
class BilinearScaler {
 public:
  static constexpr int kMaxWidth = 1024;  // output samples per row

  bool Allocate();

  // Scales `src` (src_w x src_h, `src_stride`) into `dst_w` x `dst_h` samples
  // of `dst` (`dst_stride`). Widths up to kMaxWidth.
  void Scale(const uint8_t* src, int src_stride, int src_w, int src_h, uint8_t* dst, int dst_stride,
             int dst_w, int dst_h, uint32_t step_x, uint32_t step_y);

 private:
  void ScaleRow(const uint8_t* src, int src_w, uint8_t* out, int dst_w, uint32_t step_x);
  void PrepareColumns(int src_w, int dst_w, uint32_t step_x);

  AlignedBuffer rows_;     // two horizontally scaled rows
  AlignedBuffer columns_;  // per output column: source index and weight
  int columnsSrcW_ = -1, columnsDstW_ = -1;
  uint32_t columnsStep_ = 0;
};

}  // namespace tevrano
