// Inter kernels on 128-bit vectors: luma interpolation (clause 8.4.2.2.1) in 16-bit lanes;
// chroma interpolation; the residual addition; the de-interlacing line.
#include "h264/recon/deinterlace.h"
#include "h264/recon/sse2_interp.h"

namespace {

// Horizontal six-tap sums on samples widened to 16 bits.
struct Sse2Taps : Sse2Rounding {
  template <int W>
  [[gnu::always_inline]] static __m128i sums(const uint8_t* s) {
    return tap6(widen(load_row<W>(s - 2)), widen(load_row<W>(s - 1)), widen(load_row<W>(s)),
                widen(load_row<W>(s + 1)), widen(load_row<W>(s + 2)), widen(load_row<W>(s + 3)));
  }
  [[gnu::always_inline]] static void sums16(const uint8_t* s, __m128i* lo, __m128i* hi) {
    const __m128i zero = _mm_setzero_si128();
    __m128i t[6];
    for (int k = 0; k < 6; ++k) t[k] = load128(s - 2 + k);
    const auto half = [&](auto unpack) {
      return tap6(unpack(t[0], zero), unpack(t[1], zero), unpack(t[2], zero), unpack(t[3], zero),
                  unpack(t[4], zero), unpack(t[5], zero));
    };
    *lo = half([](__m128i a, __m128i z) { return _mm_unpacklo_epi8(a, z); });
    *hi = half([](__m128i a, __m128i z) { return _mm_unpackhi_epi8(a, z); });
  }
};

// kWidth samples of rows y and, for 4-wide blocks, y + 1 (in the upper half of the vector).
template <int kWidth>
__m128i chroma_rows(const uint8_t* s, int stride) {
  if constexpr (kWidth == 8) {
    return load64(s);
  } else {
    return _mm_unpacklo_epi32(load32(s), load32(s + stride));
  }
}

// Rows of a chroma block weighted across: (8 - xFracC) s[x] + xFracC s[x + 1] when the kernel
// weights the right column, else s[x].
template <int kWidth, bool kAcross>
[[gnu::always_inline]] inline __m128i chroma_across(__m128i left, __m128i right, const uint8_t* s,
                                                    int stride) {
  const __m128i v = widen(chroma_rows<kWidth>(s, stride));
  if constexpr (kAcross) {
    return _mm_add_epi16(_mm_mullo_epi16(v, left),
                         _mm_mullo_epi16(widen(chroma_rows<kWidth>(s + 1, stride)), right));
  } else {
    return v;
  }
}

// (sum + 32) >> 6 as bytes.
inline __m128i chroma_round(__m128i sum) {
  const __m128i v = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(32)), 6);
  return _mm_packus_epi16(v, v);
}

// Without a vertical fraction each row is weighted on its own. With one, every source row is
// weighted across once and then shared by the output rows above and below it (the sum is the same
// four-weight sum: (8 - yFracC) and yFracC times the rows weighted across, the across weights 1
// for a zero xFracC folded into the vertical ones as 8).
template <int kWidth, int kHeight, int kIndex>
struct Chroma {
  static void run(const McBlockRequest* r);
};

template <int kWidth, int kHeight, int kIndex>
void Chroma<kWidth, kHeight, kIndex>::run(const McBlockRequest* r) {
  constexpr bool kAcross = (kIndex & 1) != 0;
  const int xf = kAcross ? r->chroma_frac_x : 0, yf = (kIndex & 2) ? r->chroma_frac_y : 0;
  const __m128i left = _mm_set1_epi16(static_cast<int16_t>(8 - xf));
  const __m128i right = _mm_set1_epi16(static_cast<int16_t>(xf));
  const int down_scale = kAcross ? 1 : 8;
  const __m128i top = _mm_set1_epi16(static_cast<int16_t>((8 - yf) * down_scale));
  const __m128i bottom = _mm_set1_epi16(static_cast<int16_t>(yf * down_scale));
  const int stride = r->src_chroma_stride;
  for (int plane = 0; plane < 2; ++plane) {
    const uint8_t* src = plane == 0 ? r->src_cb : r->src_cr;
    uint8_t* dst = plane == 0 ? r->dst_cb : r->dst_cr;
    if constexpr (kIndex == 0) {
      for (int y = 0; y < kHeight; ++y)
        store_row<kWidth>(dst + 8 * y, load_row<kWidth>(src + y * stride));
    } else if constexpr (kIndex == 1) {
      for (int y = 0; y < kHeight; y += kWidth == 8 ? 1 : 2) {
        const __m128i v = chroma_round(
            _mm_slli_epi16(chroma_across<kWidth, true>(left, right, src + y * stride, stride), 3));
        store_row<kWidth>(dst + 8 * y, v);
        if constexpr (kWidth == 4) store32(dst + 8 * y + 8, _mm_srli_si128(v, 4));
      }
    } else if constexpr (kWidth == 8) {
      __m128i upper = chroma_across<8, kAcross>(left, right, src, stride);
      for (int y = 0; y < kHeight; ++y) {
        const __m128i lower =
            chroma_across<8, kAcross>(left, right, src + (y + 1) * stride, stride);
        store64(dst + 8 * y, chroma_round(_mm_add_epi16(_mm_mullo_epi16(upper, top),
                                                        _mm_mullo_epi16(lower, bottom))));
        upper = lower;
      }
    } else {
      // Rows y, y + 1 in one vector; the last step reads the block's last row alone.
      __m128i upper = chroma_across<4, kAcross>(left, right, src, stride);
      for (int y = 0; y < kHeight; y += 2) {
        const uint8_t* s = src + (y + 2) * stride;
        const __m128i next = y + 2 < kHeight ? chroma_across<4, kAcross>(left, right, s, stride)
                                             : chroma_across<4, kAcross>(left, right, s, 0);
        const __m128i lower =
            _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(upper), _mm_castsi128_pd(next), 1));
        const __m128i v = chroma_round(
            _mm_add_epi16(_mm_mullo_epi16(upper, top), _mm_mullo_epi16(lower, bottom)));
        store32(dst + 8 * y, v);
        store32(dst + 8 * y + 8, _mm_srli_si128(v, 4));
        upper = next;
      }
    }
  }
}

// 64 samples at stride 8 plus their residual, in place.
void add_residual_8x8(uint8_t* samples, const int16_t* residual) {
  for (int y = 0; y < 8; y += 2)
    store128(samples + 8 * y, add_residual_16(load128(samples + 8 * y), residual + 8 * y));
}

void combine(MbWorkArea* wa) {
  const int cbp = wa->coded_block_pattern;
  for (int q = 0; q < 4; ++q)
    if ((cbp >> q) & 1) add_residual_8x8(wa->luma + 64 * q, wa->residual + 64 * q);
  if (cbp >> 4) {
    add_residual_8x8(wa->cb, wa->residual + kResidualCb);
    add_residual_8x8(wa->cr, wa->residual + kResidualCr);
  }
}

// The rule of deinterlace_line_portable on 16 samples at a time; the portable kernel takes the
// last width % 16 samples.
void deinterlace_line(uint8_t* out_even, uint8_t* out_odd, const uint8_t* pic,
                      const uint8_t* history, const uint8_t* counter, int stride, int width) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i still_limit = _mm_set1_epi8(9);
  const __m128i progressive = _mm_set1_epi8(3);
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i even = load128(pic + x);
    const __m128i odd = load128(pic + stride + x);
    const __m128i next = load128(pic + 2 * stride + x);
    const __m128i seen = load128(history + stride + x);
    const __m128i count = load128(counter + x);
    const __m128i diff = _mm_or_si128(_mm_subs_epu8(odd, seen), _mm_subs_epu8(seen, odd));
    const __m128i still = _mm_cmpeq_epi8(_mm_subs_epu8(diff, still_limit), zero);
    const __m128i counted = _mm_cmpeq_epi8(_mm_max_epu8(count, progressive), count);
    const __m128i keep = _mm_or_si128(still, counted);
    const __m128i odd_out =
        _mm_or_si128(_mm_and_si128(keep, odd), _mm_andnot_si128(keep, _mm_avg_epu8(even, next)));
    store128(out_even + x, even);
    store128(out_odd + x, odd_out);
  }
  if (x < width) {
    deinterlace_line_portable(out_even + x, out_odd + x, pic + x, history + x, counter + x, stride,
                              width - x);
  }
}

}  // namespace

void decoder_install_sse2_inter(ReconKernels* kernels) {
  install_luma_interpolation<Sse2Taps>(kernels);
  install_chroma_interpolation<Chroma>(kernels);
  kernels->combine = combine;
  kernels->deinterlace_line = deinterlace_line;
}
