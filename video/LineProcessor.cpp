#include "video/LineProcessor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tevrano {
namespace {

constexpr int kMargin = 32;

// Repeats the edge pixels into the row's margins so that directed reads
// past either end see the nearest column.
void PadRow(uint8_t* row, int width) {
  std::memset(row - kMargin, row[0], kMargin);
  std::memset(row + width, row[width - 1], kMargin);
}

void CopyPaddedRow(const uint8_t* src, int width, uint8_t* out) {
  std::memcpy(out, src, width);
  PadRow(out, width);
}

// (a[i] + b[i]) / 2 rounded down for 8 pixels.
inline void MeanOf8(const uint8_t* a, const uint8_t* b, uint8_t* out) {
#if defined(__SSE2__)
  const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
  const __m128i y = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b));
  const __m128i mean =
      _mm_add_epi8(_mm_and_si128(x, y),
                   _mm_and_si128(_mm_srli_epi16(_mm_xor_si128(x, y), 1), _mm_set1_epi8(0x7F)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), mean);
#else
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>((a[i] + b[i]) >> 1);
#endif
}

}  // namespace

bool LineProcessor::Allocate() {
  return prev_.Allocate(static_cast<size_t>(kMaxWidth) * kMaxHeight);
}

// Cost of offset d for a group: 32 + 2|d| + the differences of four pixel
// pairs along the direction, kept to bits 4..10 and divided by 16.
int LineProcessor::Cost(int group, int d) {
  int8_t& memo = costs_[group * 15 + d + 7];
  if (memo >= 0) return memo;
  const uint8_t* a = above_ + group * 8 + d;
  const uint8_t* b = below_ + group * 8 - d;
  int sum = 32 + 2 * std::abs(d);
  for (int i = 0; i < 8; i += 2) sum += std::abs(a[i] - b[i]);
  memo = static_cast<int8_t>((sum & 0x7F0) >> 4);
  return memo;
}

// Picks the offset of one group from the tracker's neighbourhood and moves
// the tracker to it.
int LineProcessor::Choose(int group, int& t) {
  struct Candidate {
    int d;
    int rank;  // order that breaks ties: t - 1, t, t + 1, 0, -t
    bool reversed;
  };
  const Candidate tries[5] = {
      {t, 1, false}, {t - 1, 0, false}, {t + 1, 2, false}, {0, 3, false}, {-t, 4, true}};
  int best = -1, bestCost = 1 << 30, bestRank = 99, bestTry = -1;
  for (int k = 0; k < 5; ++k) {
    const Candidate& c = tries[k];
    if (c.d < -7 || c.d > 7) continue;
    // The opposite direction pays 64 before the division: 4 after it.
    const int cost = Cost(group, c.d) + (c.reversed ? 4 : 0);
    if (cost < bestCost || (cost == bestCost && c.rank < bestRank)) {
      best = c.d, bestCost = cost, bestRank = c.rank, bestTry = k;
    }
    if (cost < 8) break;
  }
  // A neighbour of the tracker that is still costly: follow the slope.
  if ((bestTry == 1 || bestTry == 2) && bestCost >= 9) {
    const int step = bestTry == 1 ? -1 : 1;
    for (int k = 0; k < 5; ++k) {
      const int next = best + step;
      if (next < -7 || next > 7) break;
      const int cost = Cost(group, next);
      if (cost >= bestCost) break;
      best = next, bestCost = cost;
      if (cost < 8) break;
    }
  }
  t = std::clamp(best, -7, 7);
  return t;
}

void LineProcessor::InterpolateRow(const uint8_t* above, const uint8_t* below, int width,
                                   uint8_t* out) {
  const int groups = (width + 7) / 8;
  above_ = above;
  below_ = below;
  std::memset(costs_, -1, static_cast<size_t>(groups) * 15);
  int t = 0;
  for (int g = 0; g < groups; ++g) forward_[g] = static_cast<int8_t>(Choose(g, t));
  t = 0;
  for (int g = groups - 1; g >= 0; --g) {
    const int back = Choose(g, t), fwd = forward_[g];
    int d = 0;
    if (fwd > 0 && back > 0) d = std::min(fwd, back);
    if (fwd < 0 && back < 0) d = std::max(fwd, back);
    MeanOf8(above + g * 8 + d, below + g * 8 - d, out + g * 8);
  }
}

void LineProcessor::LineDouble(const uint8_t* src, int stride, int width, int height, uint8_t* out,
                               int out_stride) {
  if (width <= 0 || height <= 0) return;
  for (int y = 0; y < height; ++y) {
    CopyPaddedRow(src + static_cast<ptrdiff_t>(y) * stride, width,
                  out + static_cast<ptrdiff_t>(2 * y) * out_stride);
  }
  for (int y = 0; y < height; ++y) {
    const uint8_t* above = out + static_cast<ptrdiff_t>(2 * y) * out_stride;
    const uint8_t* below = y + 1 < height ? above + 2 * out_stride : above;
    InterpolateRow(above, below, width, out + static_cast<ptrdiff_t>(2 * y + 1) * out_stride);
  }
}

// Per block, the differences from the previous picture on every other
// column, summed separately over even and odd rows. A block's motion is its
// even-row sum plus the odd-row sum of the previous picture (the field that
// came just before).
void LineProcessor::UpdateMotion(const uint8_t* src, int stride, int width, int height) {
  const int bw = std::min((width + kBlock - 1) / kBlock, kBlocksPerRow);
  const int bh = std::min((height + kBlock - 1) / kBlock, kBlockRows);
  for (int by = 0; by < bh; ++by) {
    uint32_t even[kBlocksPerRow] = {}, odd[kBlocksPerRow] = {};
    const int y0 = by * kBlock, y1 = std::min(y0 + kBlock, height);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* cur = src + static_cast<ptrdiff_t>(y) * stride;
      const uint8_t* prev = prev_.Data() + static_cast<ptrdiff_t>(y) * kMaxWidth;
      uint32_t* sums = (y & 1) ? odd : even;
      for (int bx = 0; bx < bw; ++bx) {
        const int x0 = bx * kBlock, x1 = std::min(x0 + kBlock, width);
        uint32_t s = 0;
        for (int x = x0; x < x1; x += 2) s += static_cast<uint32_t>(std::abs(cur[x] - prev[x]));
        sums[bx] += s;
      }
    }
    for (int bx = 0; bx < bw; ++bx) {
      Block& b = motion_[by * kBlocksPerRow + bx];
      const uint32_t motion = std::min<uint32_t>(even[bx], 65535) + b.carried;
      if (motion > 1024)
        b.still = 0;
      else if (motion < 768 && b.still < 2)
        ++b.still;
      b.carried = static_cast<uint16_t>(std::min<uint32_t>(odd[bx], 65535));
    }
  }
}

void LineProcessor::Deinterlace(const uint8_t* src, int stride, int width, int height, uint8_t* out,
                                int out_stride) {
  if (width <= 0 || height <= 0) return;
  width = std::min(width, kMaxWidth);
  height = std::min(height, kMaxHeight);
  UpdateMotion(src, stride, width, height);
  for (int y = 0; y < height; y += 2) {
    CopyPaddedRow(src + static_cast<ptrdiff_t>(y) * stride, width,
                  out + static_cast<ptrdiff_t>(y) * out_stride);
  }
  const int bw = (width + kBlock - 1) / kBlock;
  for (int y = 1; y < height; y += 2) {
    uint8_t* row = out + static_cast<ptrdiff_t>(y) * out_stride;
    const uint8_t* above = row - out_stride;
    const uint8_t* below = y + 1 < height ? row + out_stride : above;
    InterpolateRow(above, below, width, row);
    // Still blocks take the second field's own pixels where they did not
    // change since the previous picture (weave).
    const uint8_t* cur = src + static_cast<ptrdiff_t>(y) * stride;
    const uint8_t* prev = prev_.Data() + static_cast<ptrdiff_t>(y) * kMaxWidth;
    const Block* blocks = motion_ + (y / kBlock) * kBlocksPerRow;
    for (int bx = 0; bx < bw; ++bx) {
      if (blocks[bx].still != 2) continue;
      const int x1 = std::min(bx * kBlock + kBlock, width);
      for (int x = bx * kBlock; x < x1; ++x) {
        if (std::abs(cur[x] - prev[x]) < 8) row[x] = cur[x];
      }
    }
  }
  for (int y = 0; y < height; ++y) {
    std::memcpy(prev_.Data() + static_cast<ptrdiff_t>(y) * kMaxWidth,
                src + static_cast<ptrdiff_t>(y) * stride, width);
  }
}

}  // namespace tevrano
