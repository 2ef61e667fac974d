// SSSE3 build of the resampling: the row blend and the column taps of 8 outputs at once. One
// pshufb gathers their sample pairs from 16 source bytes of each row, so the blend touches only
// the samples used and no row is buffered. The arithmetic is the portable one, lane by lane.
#include "video/yuv_convert_scaled.h"

#if SCOPEMARK_VIDEO_X86_KERNELS && defined(__SSSE3__)

#include <tmmintrin.h>

namespace scopemark {

// Raw pointers only: an inline function of another header instantiated here could carry SSSE3
// code into the rest of the program.
void scale_row_ssse3(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int source_width,
                     const int32_t* index, const int16_t* weight, const uint8_t* shuffles, int n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i fa = _mm_set1_epi16(static_cast<int16_t>(256 - f));
  const __m128i fb = _mm_set1_epi16(static_cast<int16_t>(f));
  const __m128i round16 = _mm_set1_epi16(128);
  const __m128i round32 = _mm_set1_epi32(128);
  // Rows blended in unsigned 16-bit lanes: both products and the rounding stay below 65536.
  const auto blend = [&](__m128i a16, __m128i b16) {
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a16, fa), _mm_mullo_epi16(b16, fb)), round16),
        8);
  };
  const auto columns = [&](__m128i pairs16, const int16_t* w) {
    const __m128i sum =
        _mm_madd_epi16(pairs16, _mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
    return _mm_srli_epi32(_mm_add_epi32(sum, round32), 8);
  };
  for (int block = 0; block < n / 8; ++block) {
    const int i = 8 * block;
    const uint8_t* shuffle_bytes = shuffles + 16 * block;
    if (shuffle_bytes[0] == kBlockApart) {
      scale_row_portable(out + i, a, b, f, source_width, index + i, weight + 2 * i, 8);
      continue;
    }
    const __m128i shuffle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffle_bytes));
    const __m128i pa =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + index[i])), shuffle);
    __m128i low = _mm_unpacklo_epi8(pa, zero);
    __m128i high = _mm_unpackhi_epi8(pa, zero);
    if (f != 0) {
      const __m128i pb = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + index[i])), shuffle);
      low = blend(low, _mm_unpacklo_epi8(pb, zero));
      high = blend(high, _mm_unpackhi_epi8(pb, zero));
    }
    const __m128i words =
        _mm_packs_epi32(columns(low, weight + 2 * i), columns(high, weight + 2 * i + 8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words));
  }
  const int done = n & ~7;
  scale_row_portable(out + done, a, b, f, source_width, index + done, weight + 2 * done, n - done);
}

}  // namespace scopemark

#endif
