// SSE2 build of the display conversion: the table arithmetic in 32-bit lanes, 16 pixels of a
// row pair at a time. Each table entry is a product c x (s - offset); pmaddwd forms it from
// 16-bit halves of the factor, so every sum and shift equals the portable one bit for bit.
#include "video/yuv_convert.h"
#include "video/yuv_convert_scaled.h"

#ifdef __SSE2__

#include <emmintrin.h>

#include <cstring>

namespace scopemark {
namespace {

// Factor pairs whose sum is the part of a table factor that pmaddwd multiplies.
inline __m128i pair(int16_t a, int16_t b) {
  return _mm_set1_epi32(static_cast<int32_t>(static_cast<uint16_t>(a)) |
                        static_cast<int32_t>(static_cast<uint16_t>(b)) << 16);
}

// The chroma terms of four 2 x 2 blocks, each twice (left and right pixel of its block):
// [0] for pixels 0..3, [1] for pixels 4..7. The luma table's - 16 x 76309 is folded in, so
// the luma term is 76309 x Y alone.
struct ChromaTerms {
  __m128i blue[2], green[2], red[2];
};

// cb and cr hold four chroma samples minus 128 in their low 16-bit lanes.
inline ChromaTerms chroma_terms(__m128i cb, __m128i cr) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma_offset = _mm_set1_epi32(-16 * 76309);
  const __m128i cb_high = _mm_unpacklo_epi16(zero, cb);  // cb x 65536
  const __m128i cr_high = _mm_unpacklo_epi16(zero, cr);  // cr x 65536
  // 132201 = 2 x 65536 + 1129
  const __m128i blue =
      _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(cb_high, 1),
                                  _mm_madd_epi16(_mm_unpacklo_epi16(cb, cb), pair(564, 565))),
                    luma_offset);
  // -(25675 cb + 53279 cr), 53279 = 32768 + 20511
  const __m128i green =
      _mm_add_epi32(_mm_sub_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), pair(-25675, -20511)),
                                  _mm_srai_epi32(cr_high, 1)),
                    luma_offset);
  // 104597 = 65536 + 39061
  const __m128i red = _mm_add_epi32(
      _mm_add_epi32(cr_high, _mm_madd_epi16(_mm_unpacklo_epi16(cr, cr), pair(19530, 19531))),
      luma_offset);
  return {{_mm_unpacklo_epi32(blue, blue), _mm_unpackhi_epi32(blue, blue)},
          {_mm_unpacklo_epi32(green, green), _mm_unpackhi_epi32(green, green)},
          {_mm_unpacklo_epi32(red, red), _mm_unpackhi_epi32(red, red)}};
}

// One colour of eight pixels: (luma + chroma term) >> 16, saturated to 16 bits (exact: the
// sums stay far inside).
inline __m128i colour8(const __m128i (&luma)[2], const __m128i (&term)[2]) {
  return _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(luma[0], term[0]), 16),
                         _mm_srai_epi32(_mm_add_epi32(luma[1], term[1]), 16));
}

// 16 pixels of one row: luma bytes y, chroma terms of pixels 0..7 and 8..15.
inline void convert16(const uint8_t* y, uint32_t* d, const ChromaTerms& left,
                      const ChromaTerms& right) {
  const __m128i zero = _mm_setzero_si128();
  // 76309 Y as 12309 Y + 16000 (4 Y): both factors fit pmaddwd's signed halves.
  const __m128i luma_factor = pair(12309, 16000);
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  const __m128i low = _mm_unpacklo_epi8(bytes, zero);
  const __m128i high = _mm_unpackhi_epi8(bytes, zero);
  const __m128i low4 = _mm_slli_epi16(low, 2);
  const __m128i high4 = _mm_slli_epi16(high, 2);
  const __m128i luma_low[2] = {_mm_madd_epi16(_mm_unpacklo_epi16(low, low4), luma_factor),
                               _mm_madd_epi16(_mm_unpackhi_epi16(low, low4), luma_factor)};
  const __m128i luma_high[2] = {_mm_madd_epi16(_mm_unpacklo_epi16(high, high4), luma_factor),
                                _mm_madd_epi16(_mm_unpackhi_epi16(high, high4), luma_factor)};
  // packus clamps to 0..255 like the clamp table.
  const __m128i blue =
      _mm_packus_epi16(colour8(luma_low, left.blue), colour8(luma_high, right.blue));
  const __m128i green =
      _mm_packus_epi16(colour8(luma_low, left.green), colour8(luma_high, right.green));
  const __m128i red = _mm_packus_epi16(colour8(luma_low, left.red), colour8(luma_high, right.red));
  const __m128i alpha = _mm_set1_epi8(-1);
  const __m128i bg_low = _mm_unpacklo_epi8(blue, green);
  const __m128i bg_high = _mm_unpackhi_epi8(blue, green);
  const __m128i ra_low = _mm_unpacklo_epi8(red, alpha);
  const __m128i ra_high = _mm_unpackhi_epi8(red, alpha);
  __m128i* out = reinterpret_cast<__m128i*>(d);
  _mm_storeu_si128(out, _mm_unpacklo_epi16(bg_low, ra_low));
  _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(bg_low, ra_low));
  _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(bg_high, ra_high));
  _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(bg_high, ra_high));
}

}  // namespace

void yuv420_to_xrgb32_sse2(uint32_t* destination, std::ptrdiff_t destination_stride,
                           const Yuv420Planes& source, int width, int height) {
  const int simd_width = width & ~15;
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(128);
  for (int k = 0; k < height / 2; ++k) {
    const uint8_t* y0 = source.luma + static_cast<std::ptrdiff_t>(2 * k) * source.luma_stride;
    const uint8_t* y1 = y0 + source.luma_stride;
    const uint8_t* cb = source.cb + static_cast<std::ptrdiff_t>(k) * source.chroma_stride;
    const uint8_t* cr = source.cr + static_cast<std::ptrdiff_t>(k) * source.chroma_stride;
    uint32_t* d0 = destination + 2 * k * destination_stride;
    uint32_t* d1 = d0 + destination_stride;
    for (int x = 0; x < simd_width; x += 16) {
      const __m128i cb8 = _mm_sub_epi16(
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + x / 2)), zero),
          bias);
      const __m128i cr8 = _mm_sub_epi16(
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + x / 2)), zero),
          bias);
      const ChromaTerms left = chroma_terms(cb8, cr8);
      const ChromaTerms right =
          chroma_terms(_mm_unpackhi_epi64(cb8, cb8), _mm_unpackhi_epi64(cr8, cr8));
      convert16(y0 + x, d0 + x, left, right);
      convert16(y1 + x, d1 + x, left, right);
    }
  }
  if (simd_width < width) {
    const Yuv420Planes rest{source.luma + simd_width, source.cb + simd_width / 2,
                            source.cr + simd_width / 2, source.luma_stride, source.chroma_stride};
    yuv420_to_xrgb32_portable(destination + simd_width, destination_stride, rest,
                              width - simd_width, height);
  }
}

void blend_rows_sse2(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i fa = _mm_set1_epi16(static_cast<int16_t>(256 - f));
  const __m128i fb = _mm_set1_epi16(static_cast<int16_t>(f));
  const __m128i round = _mm_set1_epi16(128);
  // The sum of both products and the rounding stays below 65536: unsigned 16-bit lanes.
  auto blend8 = [&](__m128i a8, __m128i b8) {
    const __m128i sum =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a8, fa), _mm_mullo_epi16(b8, fb)), round);
    return _mm_srli_epi16(sum, 8);
  };
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i low = blend8(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero));
    const __m128i high = blend8(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
  if (i < n) blend_rows_portable(out + i, a + i, b + i, f, n - i);
}

void resample_row_sse2(uint8_t* out, const uint8_t* in, const int32_t* index, const int16_t* weight,
                       int n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i round = _mm_set1_epi32(128);
  auto pair_at = [in](int32_t k) {
    uint16_t v;
    std::memcpy(&v, in + k, sizeof v);
    return static_cast<int>(v);
  };
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i pairs = _mm_cvtsi32_si128(pair_at(index[i]));
    pairs = _mm_insert_epi16(pairs, pair_at(index[i + 1]), 1);
    pairs = _mm_insert_epi16(pairs, pair_at(index[i + 2]), 2);
    pairs = _mm_insert_epi16(pairs, pair_at(index[i + 3]), 3);
    pairs = _mm_insert_epi16(pairs, pair_at(index[i + 4]), 4);
    pairs = _mm_insert_epi16(pairs, pair_at(index[i + 5]), 5);
    pairs = _mm_insert_epi16(pairs, pair_at(index[i + 6]), 6);
    pairs = _mm_insert_epi16(pairs, pair_at(index[i + 7]), 7);
    const __m128i w_low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weight + 2 * i));
    const __m128i w_high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weight + 2 * i + 8));
    const __m128i low = _mm_srli_epi32(
        _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(pairs, zero), w_low), round), 8);
    const __m128i high = _mm_srli_epi32(
        _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(pairs, zero), w_high), round), 8);
    const __m128i words = _mm_packs_epi32(low, high);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words));
  }
  if (i < n) resample_row_portable(out + i, in, index + i, weight + 2 * i, n - i);
}

}  // namespace scopemark

#endif
