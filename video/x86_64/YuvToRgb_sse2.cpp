// The conversion's entry points on x86-64: SSE2 (every x86-64 processor has
// it) 16 pixels a step, and 32 a step with AVX2 where the processor has it
// (chosen at run time); the row ends go to the portable code.
#include <emmintrin.h>
#include <immintrin.h>

#include "video/YuvToRgb.h"

namespace tevrano {
namespace {

// B, G, R bytes of 16 pixels to 16 words B | G << 8 | R << 16.
inline void Store16(__m128i B, __m128i G, __m128i R, uint32_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bgLo = _mm_unpacklo_epi8(B, G), bgHi = _mm_unpackhi_epi8(B, G);
  const __m128i r0Lo = _mm_unpacklo_epi8(R, zero), r0Hi = _mm_unpackhi_epi8(R, zero);
  __m128i* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bgLo, r0Lo));
  _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLo, r0Lo));
  _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHi, r0Hi));
  _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHi, r0Hi));
}

// 16 pixels a step: 8 chroma samples give the offsets of 16 pixels of each
// row.
int ConvertSse2(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                int x, int width, uint32_t* out0, uint32_t* out1) {
  const __m128i zero = _mm_setzero_si128();
  // 8 offsets (16 bits) to the bytes to add and to subtract, each spread
  // to the two pixels the sample serves.
  auto split = [zero](__m128i o, __m128i& add, __m128i& sub) {
    const __m128i a = _mm_packus_epi16(o, o);
    const __m128i s = _mm_packus_epi16(_mm_sub_epi16(zero, o), _mm_sub_epi16(zero, o));
    add = _mm_unpacklo_epi8(a, a);
    sub = _mm_unpacklo_epi8(s, s);
  };
  for (; x + 16 <= width; x += 16) {
    const int j = x >> 1;
    const __m128i u =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + j)), zero);
    const __m128i v =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + j)), zero);
    // (v * 292) >> 8 as the high half of (v << 8) * 292; the products of
    // the green term fit 16 unsigned bits (255 * 250 < 65536).
    const __m128i r = _mm_sub_epi16(_mm_mulhi_epu16(_mm_slli_epi16(v, 8), _mm_set1_epi16(292)),
                                    _mm_set1_epi16(146));
    const __m128i gsum = _mm_add_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(149)),
                                       _mm_mullo_epi16(u, _mm_set1_epi16(101)));
    const __m128i g = _mm_sub_epi16(_mm_set1_epi16(125), _mm_srli_epi16(gsum, 8));
    const __m128i b = _mm_sub_epi16(_mm_mulhi_epu16(_mm_slli_epi16(u, 8), _mm_set1_epi16(516)),
                                    _mm_set1_epi16(258));
    __m128i addR, subR, addG, subG, addB, subB;
    split(r, addR, subR);
    split(g, addG, subG);
    split(b, addB, subB);
    auto row = [&](const uint8_t* luma, uint32_t* out) {
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
      Store16(_mm_subs_epu8(_mm_adds_epu8(y, addB), subB),
              _mm_subs_epu8(_mm_adds_epu8(y, addG), subG),
              _mm_subs_epu8(_mm_adds_epu8(y, addR), subR), out + x);
    };
    row(luma0, out0);
    if (luma1) row(luma1, out1);
  }
  return x;
}

#define TEVRANO_AVX2 __attribute__((target("avx2")))

TEVRANO_AVX2 inline void Split256(__m256i o, __m256i& add, __m256i& sub) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i a = _mm256_packus_epi16(o, o);
  const __m256i n = _mm256_sub_epi16(zero, o);
  const __m256i s = _mm256_packus_epi16(n, n);
  // Lane 0 holds samples 0-7, lane 1 samples 8-15: spread, they give the
  // offsets of pixels 0-15 and 16-31, as a 32-byte load of luma has them.
  add = _mm256_unpacklo_epi8(a, a);
  sub = _mm256_unpacklo_epi8(s, s);
}

TEVRANO_AVX2 inline void Store32(__m256i B, __m256i G, __m256i R, uint32_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i bgLo = _mm256_unpacklo_epi8(B, G), bgHi = _mm256_unpackhi_epi8(B, G);
  const __m256i r0Lo = _mm256_unpacklo_epi8(R, zero), r0Hi = _mm256_unpackhi_epi8(R, zero);
  // Within each 128-bit lane: p0 pixels 0-3 | 16-19, p1 4-7 | 20-23,
  // p2 8-11 | 24-27, p3 12-15 | 28-31.
  const __m256i p0 = _mm256_unpacklo_epi16(bgLo, r0Lo), p1 = _mm256_unpackhi_epi16(bgLo, r0Lo);
  const __m256i p2 = _mm256_unpacklo_epi16(bgHi, r0Hi), p3 = _mm256_unpackhi_epi16(bgHi, r0Hi);
  __m256i* o = reinterpret_cast<__m256i*>(out);
  _mm256_storeu_si256(o + 0, _mm256_permute2x128_si256(p0, p1, 0x20));
  _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(p2, p3, 0x20));
  _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(p0, p1, 0x31));
  _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(p2, p3, 0x31));
}

// 32 pixels a step on processors that have AVX2 (chosen at run time).
TEVRANO_AVX2 int ConvertAvx2(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb,
                             const uint8_t* cr, int width, uint32_t* out0, uint32_t* out1) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const int j = x >> 1;
    const __m256i u =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + j)));
    const __m256i v =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + j)));
    const __m256i r =
        _mm256_sub_epi16(_mm256_mulhi_epu16(_mm256_slli_epi16(v, 8), _mm256_set1_epi16(292)),
                         _mm256_set1_epi16(146));
    const __m256i gsum = _mm256_add_epi16(_mm256_mullo_epi16(v, _mm256_set1_epi16(149)),
                                          _mm256_mullo_epi16(u, _mm256_set1_epi16(101)));
    const __m256i g = _mm256_sub_epi16(_mm256_set1_epi16(125), _mm256_srli_epi16(gsum, 8));
    const __m256i b =
        _mm256_sub_epi16(_mm256_mulhi_epu16(_mm256_slli_epi16(u, 8), _mm256_set1_epi16(516)),
                         _mm256_set1_epi16(258));
    __m256i addR, subR, addG, subG, addB, subB;
    Split256(r, addR, subR);
    Split256(g, addG, subG);
    Split256(b, addB, subB);
    {
      const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma0 + x));
      Store32(_mm256_subs_epu8(_mm256_adds_epu8(y, addB), subB),
              _mm256_subs_epu8(_mm256_adds_epu8(y, addG), subG),
              _mm256_subs_epu8(_mm256_adds_epu8(y, addR), subR), out0 + x);
    }
    if (luma1) {
      const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma1 + x));
      Store32(_mm256_subs_epu8(_mm256_adds_epu8(y, addB), subB),
              _mm256_subs_epu8(_mm256_adds_epu8(y, addG), subG),
              _mm256_subs_epu8(_mm256_adds_epu8(y, addR), subR), out1 + x);
    }
  }
  return x;
}

const bool kUseAvx2 = __builtin_cpu_supports("avx2");

}  // namespace

void ConvertRows(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                 int width, uint32_t* out0, uint32_t* out1) {
  int x = 0;
  if (kUseAvx2) x = ConvertAvx2(luma0, luma1, cb, cr, width, out0, out1);
  x = ConvertSse2(luma0, luma1, cb, cr, x, width, out0, out1);
  // x is even here: the chroma of the rest starts at sample x / 2.
  if (x < width)
    portable::ConvertRows(luma0 + x, luma1 ? luma1 + x : nullptr, cb + x / 2, cr + x / 2, width - x,
                          out0 + x, out1 ? out1 + x : nullptr);
}

void MergeOverlayRow(const uint32_t* overlay, int width, uint32_t* video) {
  int x = 0;
  const __m128i clear = _mm_set1_epi32(static_cast<int>(kTransparentColour));
  for (; x + 4 <= width; x += 4) {
    const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(overlay + x));
    const __m128i keep = _mm_cmpeq_epi32(o, clear);
    if (_mm_movemask_epi8(keep) == 0xFFFF) continue;  // all transparent: nothing to write
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(video + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(video + x),
                     _mm_or_si128(_mm_and_si128(keep, v), _mm_andnot_si128(keep, o)));
  }
  if (x < width) portable::MergeOverlayRow(overlay + x, width - x, video + x);
}

}  // namespace tevrano
