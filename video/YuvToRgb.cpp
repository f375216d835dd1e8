#include "video/YuvToRgb.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TEVRANO_HAVE_AVX2_PATH 1
#endif

namespace tevrano {
namespace {

inline uint8_t AddPart(int o) {
  return static_cast<uint8_t>(std::clamp(o, 0, 255));
}
inline uint8_t SubPart(int o) {
  return static_cast<uint8_t>(std::clamp(-o, 0, 255));
}
inline uint8_t Apply(int y, uint8_t add, uint8_t sub) {
  const int up = std::min(y + add, 255);
  return static_cast<uint8_t>(std::max(up - sub, 0));
}

#if defined(__SSE2__)
// 8 offsets (16 bits) to 16 pixels of add and subtract bytes.
inline void Spread(__m128i o, uint8_t* add, uint8_t* sub) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i a = _mm_packus_epi16(o, zero);
  const __m128i s = _mm_packus_epi16(_mm_sub_epi16(zero, o), zero);
  _mm_store_si128(reinterpret_cast<__m128i*>(add), _mm_unpacklo_epi8(a, a));
  _mm_store_si128(reinterpret_cast<__m128i*>(sub), _mm_unpacklo_epi8(s, s));
}
#endif

}  // namespace

void ComputeChromaRow(const uint8_t* cb, const uint8_t* cr, int samples, ChromaRow& row) {
  int j = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; j + 8 <= samples; j += 8) {
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
    Spread(r, row.addR + 2 * j, row.subR + 2 * j);
    Spread(g, row.addG + 2 * j, row.subG + 2 * j);
    Spread(b, row.addB + 2 * j, row.subB + 2 * j);
  }
#endif
  for (; j < samples; ++j) {
    const ChromaOffset o = OffsetsFor(cb[j], cr[j]);
    row.addR[2 * j] = row.addR[2 * j + 1] = AddPart(o.r);
    row.subR[2 * j] = row.subR[2 * j + 1] = SubPart(o.r);
    row.addG[2 * j] = row.addG[2 * j + 1] = AddPart(o.g);
    row.subG[2 * j] = row.subG[2 * j + 1] = SubPart(o.g);
    row.addB[2 * j] = row.addB[2 * j + 1] = AddPart(o.b);
    row.subB[2 * j] = row.subB[2 * j + 1] = SubPart(o.b);
  }
}

#if defined(TEVRANO_HAVE_AVX2_PATH)
// 32 pixels a step on processors that have AVX2 (chosen at run time; the
// rest of the row goes through the SSE2 code).
__attribute__((target("avx2"))) static inline __m256i At256(const uint8_t* p, int x) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(p + x));
}

__attribute__((target("avx2"))) static int ConvertRowAvx2(const uint8_t* luma, const ChromaRow& c,
                                                          int width, uint32_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  auto at = At256;
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + x));
    const __m256i R = _mm256_subs_epu8(_mm256_adds_epu8(y, at(c.addR, x)), at(c.subR, x));
    const __m256i G = _mm256_subs_epu8(_mm256_adds_epu8(y, at(c.addG, x)), at(c.subG, x));
    const __m256i B = _mm256_subs_epu8(_mm256_adds_epu8(y, at(c.addB, x)), at(c.subB, x));
    const __m256i bgLo = _mm256_unpacklo_epi8(B, G), bgHi = _mm256_unpackhi_epi8(B, G);
    const __m256i r0Lo = _mm256_unpacklo_epi8(R, zero), r0Hi = _mm256_unpackhi_epi8(R, zero);
    // Within each 128-bit lane: p0 pixels 0-3 | 16-19, p1 4-7 | 20-23,
    // p2 8-11 | 24-27, p3 12-15 | 28-31.
    const __m256i p0 = _mm256_unpacklo_epi16(bgLo, r0Lo), p1 = _mm256_unpackhi_epi16(bgLo, r0Lo);
    const __m256i p2 = _mm256_unpacklo_epi16(bgHi, r0Hi), p3 = _mm256_unpackhi_epi16(bgHi, r0Hi);
    __m256i* o = reinterpret_cast<__m256i*>(out + x);
    _mm256_storeu_si256(o + 0, _mm256_permute2x128_si256(p0, p1, 0x20));
    _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(p2, p3, 0x20));
    _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(p0, p1, 0x31));
    _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(p2, p3, 0x31));
  }
  return x;
}

static const bool kUseAvx2 = __builtin_cpu_supports("avx2");
#endif

void ConvertRow(const uint8_t* luma, const ChromaRow& c, int width, uint32_t* out) {
  int x = 0;
#if defined(TEVRANO_HAVE_AVX2_PATH)
  if (kUseAvx2) x = ConvertRowAvx2(luma, c, width, out);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  auto at = [](const uint8_t* p, int x) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p + x));
  };
  for (; x + 16 <= width; x += 16) {
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
    const __m128i R = _mm_subs_epu8(_mm_adds_epu8(y, at(c.addR, x)), at(c.subR, x));
    const __m128i G = _mm_subs_epu8(_mm_adds_epu8(y, at(c.addG, x)), at(c.subG, x));
    const __m128i B = _mm_subs_epu8(_mm_adds_epu8(y, at(c.addB, x)), at(c.subB, x));
    const __m128i bgLo = _mm_unpacklo_epi8(B, G), bgHi = _mm_unpackhi_epi8(B, G);
    const __m128i r0Lo = _mm_unpacklo_epi8(R, zero), r0Hi = _mm_unpackhi_epi8(R, zero);
    __m128i* o = reinterpret_cast<__m128i*>(out + x);
    _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bgLo, r0Lo));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLo, r0Lo));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHi, r0Hi));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHi, r0Hi));
  }
#endif
  for (; x < width; ++x) {
    const int y = luma[x];
    out[x] = static_cast<uint32_t>(Apply(y, c.addB[x], c.subB[x])) |
             static_cast<uint32_t>(Apply(y, c.addG[x], c.subG[x])) << 8 |
             static_cast<uint32_t>(Apply(y, c.addR[x], c.subR[x])) << 16;
  }
}

void FillPixels(uint32_t* out, int count, uint32_t colour) {
  for (int i = 0; i < count; ++i) out[i] = colour;
}

void MergeOverlayRow(const uint32_t* overlay, int width, uint32_t* video) {
  int x = 0;
#if defined(__SSE2__)
  const __m128i clear = _mm_set1_epi32(static_cast<int>(kTransparentColour));
  for (; x + 4 <= width; x += 4) {
    const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(overlay + x));
    const __m128i keep = _mm_cmpeq_epi32(o, clear);
    if (_mm_movemask_epi8(keep) == 0xFFFF) continue;  // all transparent: nothing to write
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(video + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(video + x),
                     _mm_or_si128(_mm_and_si128(keep, v), _mm_andnot_si128(keep, o)));
  }
#endif
  for (; x < width; ++x) {
    if (overlay[x] != kTransparentColour) video[x] = overlay[x];
  }
}

}  // namespace tevrano
