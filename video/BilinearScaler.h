#pragma once
#include <cstdint>

#include "video/AlignedBuffer.h"

namespace tevrano {

// The scaler's two inner loops, one set per processor.
struct ScalerKernels {
  // out[i] = ((256 - f) * a[i] + f * b[i]) >> 8 for i < n (f in 0..255).
  void (*blendRows)(const uint8_t* a, const uint8_t* b, unsigned f, int n, uint8_t* out);
  // Exact doubling of row `s` (src_w samples) into `out` (dst_w samples):
  // out[2k] = s[k], out[2k + 1] = (s[k] + s[k + 1]) >> 1. Does a leading
  // part of the row and returns how many outputs it wrote (even); the
  // scaler's general path does the rest.
  int (*doubleRow)(const uint8_t* s, int src_w, uint8_t* out, int dst_w);
};
// Plain C++ (BilinearScaler_portable.cpp).
const ScalerKernels& PortableScalerKernels();
// The processor's: from the file the build chose (video/x86_64/ or
// video/generic/); they give exactly the portable results.
const ScalerKernels& CpuScalerKernels();

// Separable bilinear scaling of one 8-bit plane with 12-bit fixed-point
// steps: output sample i lies at p = i * step, takes source samples
// n = p >> 12 and n + 1 with the weight f = (p >> 4) & 255, and is
// ((256 - f) * s[n] + f * s[n + 1]) >> 8. Rows are scaled horizontally
// first, then the scaled rows vertically; the sample beyond the last row or
// column repeats the last one. Buffers are made once for the largest plane.
class BilinearScaler {
 public:
  static constexpr int kMaxWidth = 1024;  // output samples per row

  explicit BilinearScaler(const ScalerKernels& kernels = CpuScalerKernels()) : kernels_(kernels) {}

  bool Allocate();

  // Scales `src` (src_w x src_h, `src_stride`) into `dst_w` x `dst_h` samples
  // of `dst` (`dst_stride`). Widths up to kMaxWidth.
  void Scale(const uint8_t* src, int src_stride, int src_w, int src_h, uint8_t* dst, int dst_stride,
             int dst_w, int dst_h, uint32_t step_x, uint32_t step_y);

 private:
  void ScaleRow(const uint8_t* src, int src_w, uint8_t* out, int dst_w, uint32_t step_x);
  void PrepareColumns(int src_w, int dst_w, uint32_t step_x);

  const ScalerKernels& kernels_;
  AlignedBuffer rows_;     // two horizontally scaled rows
  AlignedBuffer columns_;  // per output column: source index and weight
  int columnsSrcW_ = -1, columnsDstW_ = -1;
  uint32_t columnsStep_ = 0;
};

}  // namespace tevrano
