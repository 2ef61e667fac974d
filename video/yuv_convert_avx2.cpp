// AVX2 build of the display conversion: the SSE2 build's arithmetic in 256-bit registers, 32
// pixels of a row pair at a time. Each 128-bit lane works as the SSE2 build does on 16 pixels
// (lane 0 on pixels 0..15, lane 1 on 16..31); the stores put the lanes' pixels back in order.
// Rows that start on a 32-byte boundary are written with non-temporal stores: the painting
// thread reads the frame much later, and the decoder's pictures stay in the cache meanwhile.
// Everything here but the entry point has internal linkage, so no VEX-encoded copy of a shared
// helper can reach the rest of the program.
#include "video/yuv_convert.h"
#include "video/yuv_convert_scaled.h"

#if SCOPEMARK_VIDEO_X86_KERNELS && defined(__AVX2__)

#include <immintrin.h>

namespace scopemark {
namespace {

inline __m256i pair(int16_t a, int16_t b) {
  return _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint16_t>(a)) |
                           static_cast<int32_t>(static_cast<uint16_t>(b)) << 16);
}

struct ChromaTerms {
  __m256i blue[2], green[2], red[2];
};

// In each lane, cb and cr hold four chroma samples minus 128 in their low 16-bit words; the
// factors are those of the SSE2 build.
inline ChromaTerms chroma_terms(__m256i cb, __m256i cr) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i luma_offset = _mm256_set1_epi32(-16 * 76309);
  const __m256i cb_high = _mm256_unpacklo_epi16(zero, cb);
  const __m256i cr_high = _mm256_unpacklo_epi16(zero, cr);
  const __m256i blue = _mm256_add_epi32(
      _mm256_add_epi32(_mm256_slli_epi32(cb_high, 1),
                       _mm256_madd_epi16(_mm256_unpacklo_epi16(cb, cb), pair(564, 565))),
      luma_offset);
  const __m256i green = _mm256_add_epi32(
      _mm256_sub_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(cb, cr), pair(-25675, -20511)),
                       _mm256_srai_epi32(cr_high, 1)),
      luma_offset);
  const __m256i red = _mm256_add_epi32(
      _mm256_add_epi32(cr_high,
                       _mm256_madd_epi16(_mm256_unpacklo_epi16(cr, cr), pair(19530, 19531))),
      luma_offset);
  return {{_mm256_unpacklo_epi32(blue, blue), _mm256_unpackhi_epi32(blue, blue)},
          {_mm256_unpacklo_epi32(green, green), _mm256_unpackhi_epi32(green, green)},
          {_mm256_unpacklo_epi32(red, red), _mm256_unpackhi_epi32(red, red)}};
}

inline __m256i colour16(const __m256i (&luma)[2], const __m256i (&term)[2]) {
  return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(luma[0], term[0]), 16),
                            _mm256_srai_epi32(_mm256_add_epi32(luma[1], term[1]), 16));
}

// 32 pixels of one row: luma bytes y, chroma terms of pixels 0..7 and 16..23 (left), 8..15 and
// 24..31 (right). kStream: d is 32-byte aligned and written past the cache.
template <bool kStream>
inline void convert32(const uint8_t* y, uint32_t* d, const ChromaTerms& left,
                      const ChromaTerms& right) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i luma_factor = pair(12309, 16000);
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
  const __m256i low = _mm256_unpacklo_epi8(bytes, zero);
  const __m256i high = _mm256_unpackhi_epi8(bytes, zero);
  const __m256i low4 = _mm256_slli_epi16(low, 2);
  const __m256i high4 = _mm256_slli_epi16(high, 2);
  const __m256i luma_low[2] = {_mm256_madd_epi16(_mm256_unpacklo_epi16(low, low4), luma_factor),
                               _mm256_madd_epi16(_mm256_unpackhi_epi16(low, low4), luma_factor)};
  const __m256i luma_high[2] = {_mm256_madd_epi16(_mm256_unpacklo_epi16(high, high4), luma_factor),
                                _mm256_madd_epi16(_mm256_unpackhi_epi16(high, high4), luma_factor)};
  const __m256i blue =
      _mm256_packus_epi16(colour16(luma_low, left.blue), colour16(luma_high, right.blue));
  const __m256i green =
      _mm256_packus_epi16(colour16(luma_low, left.green), colour16(luma_high, right.green));
  const __m256i red =
      _mm256_packus_epi16(colour16(luma_low, left.red), colour16(luma_high, right.red));
  const __m256i alpha = _mm256_set1_epi8(-1);
  const __m256i bg_low = _mm256_unpacklo_epi8(blue, green);
  const __m256i bg_high = _mm256_unpackhi_epi8(blue, green);
  const __m256i ra_low = _mm256_unpacklo_epi8(red, alpha);
  const __m256i ra_high = _mm256_unpackhi_epi8(red, alpha);
  // Pixels 0..3 | 16..19, 4..7 | 20..23, 8..11 | 24..27, 12..15 | 28..31.
  const __m256i p0 = _mm256_unpacklo_epi16(bg_low, ra_low);
  const __m256i p1 = _mm256_unpackhi_epi16(bg_low, ra_low);
  const __m256i p2 = _mm256_unpacklo_epi16(bg_high, ra_high);
  const __m256i p3 = _mm256_unpackhi_epi16(bg_high, ra_high);
  __m256i* out = reinterpret_cast<__m256i*>(d);
  const auto store = [](__m256i* at, __m256i pixels) {
    if constexpr (kStream) {
      _mm256_stream_si256(at, pixels);
    } else {
      _mm256_storeu_si256(at, pixels);
    }
  };
  store(out, _mm256_permute2x128_si256(p0, p1, 0x20));
  store(out + 1, _mm256_permute2x128_si256(p2, p3, 0x20));
  store(out + 2, _mm256_permute2x128_si256(p0, p1, 0x31));
  store(out + 3, _mm256_permute2x128_si256(p2, p3, 0x31));
}

// 16 chroma samples minus 128: samples 0..7 in lane 0, 8..15 in lane 1.
inline __m256i chroma16(const uint8_t* samples) {
  return _mm256_sub_epi16(
      _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples))),
      _mm256_set1_epi16(128));
}

}  // namespace

void yuv420_to_xrgb32_avx2(uint32_t* destination, std::ptrdiff_t destination_stride,
                           const Yuv420Planes& source, int width, int height) {
  const int simd_width = width & ~31;
  for (int k = 0; k < height / 2; ++k) {
    const uint8_t* y0 = source.luma + static_cast<std::ptrdiff_t>(2 * k) * source.luma_stride;
    const uint8_t* y1 = y0 + source.luma_stride;
    const uint8_t* cb = source.cb + static_cast<std::ptrdiff_t>(k) * source.chroma_stride;
    const uint8_t* cr = source.cr + static_cast<std::ptrdiff_t>(k) * source.chroma_stride;
    uint32_t* d0 = destination + 2 * k * destination_stride;
    uint32_t* d1 = d0 + destination_stride;
    const bool aligned =
        ((reinterpret_cast<uintptr_t>(d0) | reinterpret_cast<uintptr_t>(d1)) & 31) == 0;
    for (int x = 0; x < simd_width; x += 32) {
      const __m256i cb16 = chroma16(cb + x / 2);
      const __m256i cr16 = chroma16(cr + x / 2);
      const ChromaTerms left = chroma_terms(cb16, cr16);
      const ChromaTerms right =
          chroma_terms(_mm256_unpackhi_epi64(cb16, cb16), _mm256_unpackhi_epi64(cr16, cr16));
      if (aligned) {
        convert32<true>(y0 + x, d0 + x, left, right);
        convert32<true>(y1 + x, d1 + x, left, right);
      } else {
        convert32<false>(y0 + x, d0 + x, left, right);
        convert32<false>(y1 + x, d1 + x, left, right);
      }
    }
  }
  // Non-temporal stores are ordered before whatever publishes the rows.
  _mm_sfence();
  if (simd_width < width) {
    const Yuv420Planes rest{source.luma + simd_width, source.cb + simd_width / 2,
                            source.cr + simd_width / 2, source.luma_stride, source.chroma_stride};
    yuv420_to_xrgb32_portable(destination + simd_width, destination_stride, rest,
                              width - simd_width, height);
  }
}

// The one-pass resampling of the SSSE3 build on two blocks of 8 outputs at once, one per lane.
void scale_row_avx2(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int source_width,
                    const int32_t* index, const int16_t* weight, const uint8_t* shuffles, int n) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i fa = _mm256_set1_epi16(static_cast<int16_t>(256 - f));
  const __m256i fb = _mm256_set1_epi16(static_cast<int16_t>(f));
  const __m256i round16 = _mm256_set1_epi16(128);
  const __m256i round32 = _mm256_set1_epi32(128);
  // Two 16-byte pieces, the first in lane 0.
  const auto load2 = [](const void* low, const void* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(static_cast<const __m128i*>(low))),
        _mm_loadu_si128(static_cast<const __m128i*>(high)), 1);
  };
  const auto blend = [&](__m256i a16, __m256i b16) {
    return _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a16, fa), _mm256_mullo_epi16(b16, fb)),
                         round16),
        8);
  };
  const auto columns = [&](__m256i pairs16, __m256i w) {
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_madd_epi16(pairs16, w), round32), 8);
  };
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const uint8_t* shuffle_bytes = shuffles + 2 * i;
    if (shuffle_bytes[0] == kBlockApart || shuffle_bytes[16] == kBlockApart) {
      scale_row_portable(out + i, a, b, f, source_width, index + i, weight + 2 * i, 16);
      continue;
    }
    const __m256i shuffle = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shuffle_bytes));
    const __m256i pa = _mm256_shuffle_epi8(load2(a + index[i], a + index[i + 8]), shuffle);
    __m256i low = _mm256_unpacklo_epi8(pa, zero);
    __m256i high = _mm256_unpackhi_epi8(pa, zero);
    if (f != 0) {
      const __m256i pb = _mm256_shuffle_epi8(load2(b + index[i], b + index[i + 8]), shuffle);
      low = blend(low, _mm256_unpacklo_epi8(pb, zero));
      high = blend(high, _mm256_unpackhi_epi8(pb, zero));
    }
    const int16_t* w = weight + 2 * i;
    const __m256i words =
        _mm256_packs_epi32(columns(low, load2(w, w + 16)), columns(high, load2(w + 8, w + 24)));
    // Lane 0 holds outputs 0..7 in its low 8 bytes, lane 1 outputs 8..15.
    const __m256i bytes = _mm256_packus_epi16(words, words);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(bytes));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i + 8), _mm256_extracti128_si256(bytes, 1));
  }
  scale_row_portable(out + i, a, b, f, source_width, index + i, weight + 2 * i, n - i);
}

}  // namespace scopemark

#endif
