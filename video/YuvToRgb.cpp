#include "video/YuvToRgb.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tevrano {

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
    _mm_store_si128(reinterpret_cast<__m128i*>(row.r + j), r);
    _mm_store_si128(reinterpret_cast<__m128i*>(row.g + j), g);
    _mm_store_si128(reinterpret_cast<__m128i*>(row.b + j), b);
  }
#endif
  for (; j < samples; ++j) {
    const ChromaOffset o = OffsetsFor(cb[j], cr[j]);
    row.r[j] = static_cast<int16_t>(o.r);
    row.g[j] = static_cast<int16_t>(o.g);
    row.b[j] = static_cast<int16_t>(o.b);
  }
}

void ConvertRow(const uint8_t* luma, const ChromaRow& c, int width, uint32_t* out) {
  int x = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; x + 16 <= width; x += 16) {
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
    const __m128i ylo = _mm_unpacklo_epi8(y, zero);
    const __m128i yhi = _mm_unpackhi_epi8(y, zero);
    const int j = x >> 1;
    // Each chroma offset serves two neighbouring pixels; the sums are
    // clamped to 0..255 by the packing with unsigned saturation.
    const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(c.r + j));
    const __m128i g = _mm_load_si128(reinterpret_cast<const __m128i*>(c.g + j));
    const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(c.b + j));
    const __m128i R = _mm_packus_epi16(_mm_add_epi16(ylo, _mm_unpacklo_epi16(r, r)),
                                       _mm_add_epi16(yhi, _mm_unpackhi_epi16(r, r)));
    const __m128i G = _mm_packus_epi16(_mm_add_epi16(ylo, _mm_unpacklo_epi16(g, g)),
                                       _mm_add_epi16(yhi, _mm_unpackhi_epi16(g, g)));
    const __m128i B = _mm_packus_epi16(_mm_add_epi16(ylo, _mm_unpacklo_epi16(b, b)),
                                       _mm_add_epi16(yhi, _mm_unpackhi_epi16(b, b)));
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
    const int y = luma[x], j = x >> 1;
    out[x] = Clamp255(y + c.b[j]) | Clamp255(y + c.g[j]) << 8 | Clamp255(y + c.r[j]) << 16;
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
