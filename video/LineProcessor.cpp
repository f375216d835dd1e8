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

// (a[i] + b[i]) / 2 rounded down for a row; may write up to 15 bytes past
// `n` (into the row's margin).
void MeanOfRow(const uint8_t* a, const uint8_t* b, int n, uint8_t* out) {
#if defined(__SSE2__)
  const __m128i low7 = _mm_set1_epi8(0x7F);
  for (int x = 0; x < n; x += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_add_epi8(_mm_and_si128(va, vb),
                                  _mm_and_si128(_mm_srli_epi16(_mm_xor_si128(va, vb), 1), low7)));
  }
#else
  for (int x = 0; x < n; ++x) out[x] = static_cast<uint8_t>((a[x] + b[x]) >> 1);
#endif
}

}  // namespace

bool LineProcessor::Allocate() {
  return prev_.Allocate(static_cast<size_t>(kMaxWidth) * kMaxHeight);
}

// Cost of offset d for the group at x: 32 + 2|d| + the differences of four
// pixel pairs along the direction, |above[x + d + i] - below[x - d + i]| for
// i = 0, 2, 4, 6, kept to bits 4..10 and divided by 16. Computed when first
// asked for and remembered for the row (both scans ask for most of the same
// ones; most groups need only one or two offsets).
int LineProcessor::ComputeCost(int group, int d) {
  uint16_t& memo = costs_[group * 16 + d + 7];
  const uint8_t* a = above_ + group * 8 + d;
  const uint8_t* b = below_ + group * 8 - d;
#if defined(__SSE2__)
  // The pairs are the even bytes of the two 8-byte runs; a sum of absolute
  // differences of the masked runs adds them up.
  const __m128i even = _mm_set1_epi16(0x00FF);
  const __m128i va = _mm_and_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)), even);
  const __m128i vb = _mm_and_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)), even);
  const int sum = 32 + 2 * std::abs(d) + _mm_cvtsi128_si32(_mm_sad_epu8(va, vb));
#else
  int sum = 32 + 2 * std::abs(d);
  for (int i = 0; i < 8; i += 2) sum += std::abs(a[i] - b[i]);
#endif
  const int cost = (sum & 0x7F0) >> 4;
  memo = static_cast<uint16_t>(generation_ << 8 | cost);
  return cost;
}

// The costs of offset 0 of every group, computed for two groups at a time,
// and which groups are hard (offset 0 costs 8 or more): everywhere else a
// tracker at 0 stays at 0.
void LineProcessor::SeedStraightCosts(int groups) {
  hard_[0] = hard_[1] = 0;
  int g = 0;
#if defined(__SSE2__)
  const __m128i even = _mm_set1_epi16(0x00FF);
  const __m128i base = _mm_set1_epi64x(32);
  const __m128i keep = _mm_set1_epi64x(0x7F0);
  const int tag = generation_ << 8;
  for (; g + 2 <= groups; g += 2) {
    const __m128i a =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(above_ + 8 * g)), even);
    const __m128i b =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(below_ + 8 * g)), even);
    const __m128i cost =
        _mm_srli_epi64(_mm_and_si128(_mm_add_epi64(_mm_sad_epu8(a, b), base), keep), 4);
    const int c0 = _mm_cvtsi128_si32(cost), c1 = _mm_extract_epi16(cost, 4);
    costs_[g * 16 + 7] = static_cast<uint16_t>(tag | c0);
    costs_[(g + 1) * 16 + 7] = static_cast<uint16_t>(tag | c1);
    if (c0 >= 8) hard_[g >> 6] |= uint64_t{1} << (g & 63);
    if (c1 >= 8) hard_[(g + 1) >> 6] |= uint64_t{1} << ((g + 1) & 63);
  }
#endif
  for (; g < groups; ++g) {
    if (Cost(g, 0) >= 8) hard_[g >> 6] |= uint64_t{1} << (g & 63);
  }
}

// The first hard group at or after `g` (or `groups`).
int LineProcessor::NextHard(int g, int groups) const {
  for (int w = g >> 6; w < 2; ++w) {
    uint64_t bits = hard_[w];
    if (w == g >> 6) bits &= ~uint64_t{0} << (g & 63);
    if (bits) return std::min(w * 64 + __builtin_ctzll(bits), groups);
  }
  return groups;
}

// The last hard group at or before `g` (or -1).
int LineProcessor::PreviousHard(int g) const {
  for (int w = g >> 6; w >= 0; --w) {
    uint64_t bits = hard_[w];
    if (w == g >> 6 && (g & 63) != 63) bits &= (uint64_t{1} << ((g & 63) + 1)) - 1;
    if (bits) return w * 64 + 63 - __builtin_clzll(bits);
  }
  return -1;
}

// Picks the offset of one group from the tracker's neighbourhood and moves
// the tracker to it. Offsets are tried in the order t, t - 1, t + 1, 0, -t,
// and trying stops at the first that costs less than 8; of those tried the
// cheapest wins, ties going to the order t - 1, t, t + 1, 0, -t.
int LineProcessor::Choose(int group, int& t) {
  auto costs = [this, group](int d) { return Cost(group, d); };
  // Most groups of a picture continue the direction of their neighbour.
  if (costs(t) < 8) return t;
  static constexpr int kRank[5] = {1, 0, 2, 3, 4};
  const int tries[5] = {t, t - 1, t + 1, 0, -t};
  int bestKey = costs(t) * 8 + kRank[0];
  for (int k = 1; k < 5; ++k) {
    const int d = tries[k];
    if (d < -7 || d > 7) continue;
    // The opposite direction pays 64 before the division: 4 after it.
    const int cost = costs(d) + (k == 4 ? 4 : 0);
    const int key = cost * 8 + kRank[k];
    if (key < bestKey) bestKey = key;
    if (cost < 8) break;
  }
  const int rank = bestKey & 7;
  int bestCost = bestKey >> 3;
  const int byRank[5] = {t - 1, t, t + 1, 0, -t};
  int best = byRank[rank];
  // A neighbour of the tracker that is still costly: follow the slope.
  if ((rank == 0 || rank == 2) && bestCost >= 9) {
    const int step = rank == 0 ? -1 : 1;
    for (int k = 0; k < 5; ++k) {
      const int next = best + step;
      if (next < -7 || next > 7) break;
      const int c = costs(next);
      if (c >= bestCost) break;
      best = next, bestCost = c;
      if (c < 8) break;
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
  // A new generation forgets the previous row's costs without clearing them.
  if (++generation_ == 256) {
    generation_ = 1;
    std::memset(costs_, 0, sizeof costs_);
  }
  SeedStraightCosts(groups);
  // The straight mean first: most groups keep it.
  MeanOfRow(above, below, groups * 8, out);

  // Left to right. Most groups continue the direction of their neighbour:
  // that test is done here, the full choice only when it fails; a tracker
  // at 0 passes over the easy groups untouched.
  int turned = 0;  // groups whose offset is not 0, in turned_
  int t = 0;
  for (int g = 0; g < groups; ++g) {
    if (t == 0) {
      g = NextHard(g, groups);
      if (g >= groups) break;
    }
    t = Cost(g, t) < 8 ? t : Choose(g, t);
    if (t != 0) {
      forward_[g] = static_cast<int8_t>(t);
      turned_[turned++] = static_cast<uint8_t>(g);
    }
  }
  if (turned == 0) return;  // the right-to-left scan cannot change a 0

  // Right to left, with a second tracker.
  ++backGeneration_;
  t = 0;
  for (int g = groups - 1; g >= 0; --g) {
    if (t == 0) {
      g = PreviousHard(g);
      if (g < 0) break;
    }
    t = Cost(g, t) < 8 ? t : Choose(g, t);
    back_[g] = static_cast<int8_t>(t);
    backStamp_[g] = backGeneration_;
  }
  for (int k = 0; k < turned; ++k) {
    const int g = turned_[k];
    const int fwd = forward_[g];
    const int back = backStamp_[g] == backGeneration_ ? back_[g] : 0;
    int d = 0;
    if (fwd > 0 && back > 0) d = std::min(fwd, back);
    if (fwd < 0 && back < 0) d = std::max(fwd, back);
    if (d != 0) MeanOf8(above + g * 8 + d, below + g * 8 - d, out + g * 8);
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

#if defined(__SSE2__)
namespace {
inline __m128i AbsDiff(__m128i a, __m128i b) {
  return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}
}  // namespace
#endif

// Per block, the differences from the previous picture on every other
// column, summed separately over even and odd rows. A block's motion is its
// even-row sum plus the odd-row sum of the previous picture (the field that
// came just before). Even rows of the previous picture are replaced as soon
// as they are used; odd rows are still needed for weaving.
void LineProcessor::UpdateMotion(const uint8_t* src, int stride, int width, int height) {
  const int bw = std::min((width + kBlock - 1) / kBlock, kBlocksPerRow);
  const int bh = std::min((height + kBlock - 1) / kBlock, kBlockRows);
  const int whole = width / kBlock;  // blocks with all 16 columns
  for (int by = 0; by < bh; ++by) {
    uint32_t even[kBlocksPerRow] = {}, odd[kBlocksPerRow] = {};
    const int y0 = by * kBlock, y1 = std::min(y0 + kBlock, height);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* cur = src + static_cast<ptrdiff_t>(y) * stride;
      uint8_t* prev = prev_.Data() + static_cast<ptrdiff_t>(y) * kMaxWidth;
      uint32_t* sums = (y & 1) ? odd : even;
      int bx = 0;
#if defined(__SSE2__)
      const __m128i evenColumns = _mm_set1_epi16(0x00FF);
      for (; bx < whole; ++bx) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + bx * kBlock));
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + bx * kBlock));
        const __m128i sad =
            _mm_sad_epu8(_mm_and_si128(AbsDiff(c, p), evenColumns), _mm_setzero_si128());
        sums[bx] += static_cast<uint32_t>(_mm_cvtsi128_si32(sad) + _mm_extract_epi16(sad, 4));
      }
#endif
      for (; bx < bw; ++bx) {
        const int x0 = bx * kBlock, x1 = std::min(x0 + kBlock, width);
        uint32_t s = 0;
        for (int x = x0; x < x1; x += 2) s += static_cast<uint32_t>(std::abs(cur[x] - prev[x]));
        sums[bx] += s;
      }
      if (!(y & 1)) std::memcpy(prev, cur, width);
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

// In blocks that have been still for two pictures, a rebuilt pixel takes the
// second field's own value where it changed by less than 8 since the
// previous picture.
void LineProcessor::Weave(const uint8_t* cur, const uint8_t* prev, int y, int width,
                          uint8_t* row) const {
  const Block* blocks = motion_ + (y / kBlock) * kBlocksPerRow;
  const int bw = (width + kBlock - 1) / kBlock;
  for (int bx = 0; bx < bw; ++bx) {
    if (blocks[bx].still != 2) continue;
    const int x0 = bx * kBlock, x1 = std::min(x0 + kBlock, width);
#if defined(__SSE2__)
    if (x1 - x0 == kBlock) {
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + x0));
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + x0));
      const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x0));
      const __m128i small =
          _mm_cmpeq_epi8(_mm_subs_epu8(AbsDiff(c, p), _mm_set1_epi8(7)), _mm_setzero_si128());
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x0),
                       _mm_or_si128(_mm_and_si128(small, c), _mm_andnot_si128(small, r)));
      continue;
    }
#endif
    for (int x = x0; x < x1; ++x) {
      if (std::abs(cur[x] - prev[x]) < 8) row[x] = cur[x];
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
  for (int y = 1; y < height; y += 2) {
    uint8_t* row = out + static_cast<ptrdiff_t>(y) * out_stride;
    const uint8_t* above = row - out_stride;
    const uint8_t* below = y + 1 < height ? row + out_stride : above;
    InterpolateRow(above, below, width, row);
    const uint8_t* cur = src + static_cast<ptrdiff_t>(y) * stride;
    uint8_t* prev = prev_.Data() + static_cast<ptrdiff_t>(y) * kMaxWidth;
    Weave(cur, prev, y, width, row);
    std::memcpy(prev, cur, width);
  }
}

}  // namespace tevrano
