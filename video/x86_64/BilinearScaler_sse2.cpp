// The scaler's inner loops on x86-64: SSE2, 16 samples a step; the row
// ends go to the portable loops.
#include <emmintrin.h>

#include <cstring>

#include "video/BilinearScaler.h"

namespace tevrano {
namespace {

// The weighted sum of two rows on 16-bit lanes: the products (at most
// 256 * 255) fit 16 unsigned bits.
void BlendRows(const uint8_t* a, const uint8_t* b, unsigned f, int n, uint8_t* out) {
  if (f == 0) {
    std::memcpy(out, a, n);
    return;
  }
  const uint16_t wa = static_cast<uint16_t>(256 - f), wb = static_cast<uint16_t>(f);
  int i = 0;
  const __m128i zero = _mm_setzero_si128();
  const __m128i va = _mm_set1_epi16(static_cast<short>(wa)),
                vb = _mm_set1_epi16(static_cast<short>(wb));
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i lo =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), va),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(y, zero), vb)),
                       8);
    const __m128i hi =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), va),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(y, zero), vb)),
                       8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
  if (i < n) PortableScalerKernels().blendRows(a + i, b + i, f, n - i, out + i);
}

// Even outputs copy a sample, odd ones are the mean of two neighbours
// rounded down: (a & b) + ((a ^ b) >> 1), bytewise.
int DoubleRow(const uint8_t* s, int src_w, uint8_t* out, int dst_w) {
  int i = 0;
  const __m128i low7 = _mm_set1_epi8(0x7F);
  for (; 2 * i + 32 <= dst_w && i + 17 <= src_w; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
    const __m128i mean = _mm_add_epi8(_mm_and_si128(a, b),
                                      _mm_and_si128(_mm_srli_epi16(_mm_xor_si128(a, b), 1), low7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(a, mean));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(a, mean));
  }
  return 2 * i + PortableScalerKernels().doubleRow(s + i, src_w - i, out + 2 * i, dst_w - 2 * i);
}

const ScalerKernels kSse2{BlendRows, DoubleRow};

}  // namespace

const ScalerKernels& CpuScalerKernels() {
  return kSse2;
}

}  // namespace tevrano
