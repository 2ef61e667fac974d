// Inter kernels with SSSE3's byte multiply-add: the luma six-tap filter across a row as three
// weighted pairs of neighbouring samples (1 -5, 20 20, -5 1), and chroma interpolation as two
// weighted pairs per output sample.
#include <tmmintrin.h>

#include "h264/recon/sse2_interp.h"
#include "h264/recon/ssse3_kernels.h"

namespace {

// Pairs (s[x], s[x + 1]) of the W samples from s, interleaved as bytes.
template <int W>
[[gnu::always_inline]] inline __m128i pairs(const uint8_t* s) {
  return _mm_unpacklo_epi8(load_row<W>(s), load_row<W>(s + 1));
}

// Byte weights (first, second) repeated over a vector.
inline __m128i weight_pair(int first, int second) {
  return _mm_set1_epi16(static_cast<int16_t>((second << 8) | (first & 0xFF)));
}

// a - 5 b + 20 c + 20 d - 5 e + f from pairs (a b), (c d), (e f); no sum leaves 16 bits.
[[gnu::always_inline]] inline __m128i tap6_pairs(__m128i ab, __m128i cd, __m128i ef) {
  const __m128i outer = _mm_add_epi16(_mm_maddubs_epi16(ab, weight_pair(1, -5)),
                                      _mm_maddubs_epi16(ef, weight_pair(-5, 1)));
  return _mm_add_epi16(outer, _mm_maddubs_epi16(cd, weight_pair(20, 20)));
}

struct Ssse3Taps {
  // (v + 16) >> 5 and (v + 32) >> 6 as rounding high multiplies by 2^10 and 2^9, exact for every
  // 16-bit v.
  static __m128i shift5(__m128i v) { return _mm_mulhrs_epi16(v, _mm_set1_epi16(1 << 10)); }
  static __m128i shift6(__m128i v) { return _mm_mulhrs_epi16(v, _mm_set1_epi16(1 << 9)); }
  template <int W>
  [[gnu::always_inline]] static __m128i sums(const uint8_t* s) {
    return tap6_pairs(pairs<W>(s - 2), pairs<W>(s), pairs<W>(s + 2));
  }
  [[gnu::always_inline]] static void sums16(const uint8_t* s, __m128i* lo, __m128i* hi) {
    __m128i t[6];
    for (int k = 0; k < 6; ++k) t[k] = load128(s - 2 + k);
    *lo = tap6_pairs(_mm_unpacklo_epi8(t[0], t[1]), _mm_unpacklo_epi8(t[2], t[3]),
                     _mm_unpacklo_epi8(t[4], t[5]));
    *hi = tap6_pairs(_mm_unpackhi_epi8(t[0], t[1]), _mm_unpackhi_epi8(t[2], t[3]),
                     _mm_unpackhi_epi8(t[4], t[5]));
  }
};

// (sum + 32) >> 6 as bytes.
inline __m128i chroma_round(__m128i sum) {
  const __m128i v = Ssse3Taps::shift6(sum);
  return _mm_packus_epi16(v, v);
}

// Pairs of one chroma row for kWidth outputs: across (s[x], s[x + 1]) or, for a kernel without a
// horizontal fraction, down (s[x], s[x + stride]). 4-wide rows fill the low half only.
template <int kWidth, bool kAcross>
[[gnu::always_inline]] inline __m128i chroma_pairs(const uint8_t* s, int stride) {
  return _mm_unpacklo_epi8(load_row<kWidth>(s), load_row<kWidth>(s + (kAcross ? 1 : stride)));
}

// The four-weight sum (8 - xFracC)(8 - yFracC) A + xFracC (8 - yFracC) B + (8 - xFracC) yFracC C
// + xFracC yFracC D with every weight below 65, so that each pair fits the byte multiply-add.
// With one fraction zero the sum has a single pair per output sample, weighted by 8 times the
// other fraction's weights.
template <int kWidth, int kHeight, int kIndex>
struct Chroma {
  static void run(const McBlockRequest* r);
};

template <int kWidth, int kHeight, int kIndex>
void Chroma<kWidth, kHeight, kIndex>::run(const McBlockRequest* r) {
  constexpr bool kAcross = (kIndex & 1) != 0, kDown = (kIndex & 2) != 0;
  const int xf = kAcross ? r->chroma_frac_x : 0, yf = kDown ? r->chroma_frac_y : 0;
  const int stride = r->src_chroma_stride;
  for (int plane = 0; plane < 2; ++plane) {
    const uint8_t* src = plane == 0 ? r->src_cb : r->src_cr;
    uint8_t* dst = plane == 0 ? r->dst_cb : r->dst_cr;
    if constexpr (kIndex == 0) {
      for (int y = 0; y < kHeight; ++y)
        store_row<kWidth>(dst + 8 * y, load_row<kWidth>(src + y * stride));
    } else if constexpr (kIndex != 3) {
      const int f = kAcross ? xf : yf;
      const __m128i w = weight_pair(8 * (8 - f), 8 * f);
      for (int y = 0; y < kHeight; y += kWidth == 8 ? 1 : 2) {
        const uint8_t* s = src + y * stride;
        __m128i p = chroma_pairs<kWidth, kAcross>(s, stride);
        if constexpr (kWidth == 4)
          p = _mm_unpacklo_epi64(p, chroma_pairs<4, kAcross>(s + stride, stride));
        const __m128i v = chroma_round(_mm_maddubs_epi16(p, w));
        store_row<kWidth>(dst + 8 * y, v);
        if constexpr (kWidth == 4) store32(dst + 8 * y + 8, _mm_srli_si128(v, 4));
      }
    } else {
      const __m128i top = weight_pair((8 - xf) * (8 - yf), xf * (8 - yf));
      const __m128i bottom = weight_pair((8 - xf) * yf, xf * yf);
      __m128i upper = chroma_pairs<kWidth, true>(src, stride);
      if constexpr (kWidth == 8) {
        for (int y = 0; y < kHeight; ++y) {
          const __m128i lower = chroma_pairs<8, true>(src + (y + 1) * stride, stride);
          store64(dst + 8 * y, chroma_round(_mm_add_epi16(_mm_maddubs_epi16(upper, top),
                                                          _mm_maddubs_epi16(lower, bottom))));
          upper = lower;
        }
      } else {
        // Rows y, y + 1 in one vector against rows y + 1, y + 2.
        for (int y = 0; y < kHeight; y += 2) {
          const __m128i middle = chroma_pairs<4, true>(src + (y + 1) * stride, stride);
          const __m128i next = chroma_pairs<4, true>(src + (y + 2) * stride, stride);
          const __m128i v = chroma_round(
              _mm_add_epi16(_mm_maddubs_epi16(_mm_unpacklo_epi64(upper, middle), top),
                            _mm_maddubs_epi16(_mm_unpacklo_epi64(middle, next), bottom)));
          store32(dst + 8 * y, v);
          store32(dst + 8 * y + 8, _mm_srli_si128(v, 4));
          upper = next;
        }
      }
    }
  }
}

}  // namespace

void decoder_install_ssse3_inter(ReconKernels* kernels) {
  install_luma_interpolation<Ssse3Taps>(kernels);
  install_chroma_interpolation<Chroma>(kernels);
}
