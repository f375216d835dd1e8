#include "video/BilinearScaler.h"

#include <algorithm>
#include <cstddef>

namespace tevrano {
namespace {

struct Column {
  uint16_t index;   // n, already limited to the last sample
  uint16_t next;    // n + 1, limited to the last sample
  uint16_t weight;  // f
};

}  // namespace

bool BilinearScaler::Allocate() {
  return rows_.Allocate(2 * kMaxWidth + 64) && columns_.Allocate(sizeof(Column) * kMaxWidth);
}

void BilinearScaler::PrepareColumns(int src_w, int dst_w, uint32_t step_x) {
  if (src_w == columnsSrcW_ && dst_w == columnsDstW_ && step_x == columnsStep_) return;
  auto* cols = reinterpret_cast<Column*>(columns_.Data());
  const int last = src_w - 1;
  uint32_t p = 0;
  for (int i = 0; i < dst_w; ++i, p += step_x) {
    const int n = std::min(static_cast<int>(p >> 12), last);
    cols[i] = {static_cast<uint16_t>(n), static_cast<uint16_t>(std::min(n + 1, last)),
               static_cast<uint16_t>((p >> 4) & 255)};
  }
  columnsSrcW_ = src_w;
  columnsDstW_ = dst_w;
  columnsStep_ = step_x;
}

void BilinearScaler::ScaleRow(const uint8_t* s, int src_w, uint8_t* out, int dst_w,
                              uint32_t step_x) {
  // Exact doubling has a faster loop of its own for most of the row.
  int i = step_x == 2048 ? kernels_.doubleRow(s, src_w, out, dst_w) : 0;
  PrepareColumns(src_w, dst_w, step_x);
  const auto* cols = reinterpret_cast<const Column*>(columns_.Data());
  for (; i < dst_w; ++i) {
    const Column c = cols[i];
    out[i] = static_cast<uint8_t>(((256 - c.weight) * s[c.index] + c.weight * s[c.next]) >> 8);
  }
}

void BilinearScaler::Scale(const uint8_t* src, int src_stride, int src_w, int src_h, uint8_t* dst,
                           int dst_stride, int dst_w, int dst_h, uint32_t step_x, uint32_t step_y) {
  if (src_w <= 0 || src_h <= 0 || dst_w <= 0 || dst_h <= 0) return;
  dst_w = std::min(dst_w, kMaxWidth);
  // Two horizontally scaled rows are kept with the source row each holds.
  uint8_t* rows[2] = {rows_.Data(), rows_.Data() + kMaxWidth + 32};
  int held[2] = {-1, -1};
  auto scaled = [&](int n) -> const uint8_t* {
    n = std::min(n, src_h - 1);
    for (int k = 0; k < 2; ++k)
      if (held[k] == n) return rows[k];
    // Replace the row that is not the other tap of this output row.
    const int k = held[0] < held[1] ? 0 : 1;
    ScaleRow(src + static_cast<ptrdiff_t>(n) * src_stride, src_w, rows[k], dst_w, step_x);
    held[k] = n;
    return rows[k];
  };
  uint32_t p = 0;
  for (int j = 0; j < dst_h; ++j, p += step_y) {
    const int n = static_cast<int>(p >> 12);
    const unsigned f = (p >> 4) & 255;
    const uint8_t* a = scaled(n);
    const uint8_t* b = f ? scaled(n + 1) : a;
    if (f && a == b) {
      kernels_.blendRows(a, a, 0, dst_w, dst + static_cast<ptrdiff_t>(j) * dst_stride);
      continue;
    }
    // `scaled(n + 1)` may have replaced row n when both slots were older.
    if (f) a = scaled(n);
    kernels_.blendRows(a, b, f, dst_w, dst + static_cast<ptrdiff_t>(j) * dst_stride);
  }
}

}  // namespace tevrano
