// Inter kernels on 128-bit vectors: luma interpolation (clause 8.4.2.2.1) in 16-bit lanes;
// chroma interpolation; the residual addition; the de-interlacing line.
#include <utility>

#include "h264/recon/deinterlace.h"
#include "h264/recon/sse2_kernels.h"

namespace {

using namespace sse2;

template <int W>
__m128i load_row(const uint8_t* s) {
  if constexpr (W == 8) {
    return load64(s);
  } else {
    return load32(s);
  }
}

template <int W>
void store_row(uint8_t* d, __m128i v) {
  if constexpr (W == 8) {
    store64(d, v);
  } else {
    store32(d, v);
  }
}

__m128i tap6(__m128i a, __m128i b, __m128i c, __m128i d, __m128i e, __m128i f) {
  const __m128i outer =
      _mm_sub_epi16(_mm_add_epi16(a, f), _mm_mullo_epi16(_mm_add_epi16(b, e), _mm_set1_epi16(5)));
  return _mm_add_epi16(outer, _mm_mullo_epi16(_mm_add_epi16(c, d), _mm_set1_epi16(20)));
}

// (sum + 16) >> 5 clipped, as bytes.
__m128i round_half(__m128i sum) {
  const __m128i v = _mm_srai_epi16(_mm_add_epi16(sum, _mm_set1_epi16(16)), 5);
  return _mm_packus_epi16(v, v);
}

// Unrounded horizontal sums of six samples from s[-2], for the W samples from s.
template <int W>
[[gnu::always_inline]] inline __m128i horizontal_sums(const uint8_t* s) {
  return tap6(widen(load_row<W>(s - 2)), widen(load_row<W>(s - 1)), widen(load_row<W>(s)),
              widen(load_row<W>(s + 1)), widen(load_row<W>(s + 2)), widen(load_row<W>(s + 3)));
}

// Horizontal half samples b of the row starting at s.
template <int W>
[[gnu::always_inline]] inline __m128i half_b(const uint8_t* s) {
  return round_half(horizontal_sums<W>(s));
}

// Calls f.template operator()<y>() for y = 0 .. H - 1.
template <int H, typename F>
[[gnu::always_inline]] inline void for_rows(F&& f) {
  [&]<int... y>(std::integer_sequence<int, y...>) __attribute__((always_inline)) {
    (f.template operator()<y>(), ...);
  }
  (std::make_integer_sequence<int, H>());
}

// Six consecutive rows (y - 2 .. y + 3) of widened samples from the block's column kOffset in a
// ring, one new row per output row. Callers index it with compile-time rows, so the ring stays in
// registers.
template <int W, int kOffset>
struct RowWindow {
  __m128i rows[6];

  RowWindow(const uint8_t* s, int stride) {
    for (int k = 0; k < 6; ++k) rows[k] = widen(load_row<W>(s + (k - 2) * stride + kOffset));
  }
  // Vertical sums for output row y.
  template <int y>
  __m128i sums() const {
    return tap6(rows[y % 6], rows[(y + 1) % 6], rows[(y + 2) % 6], rows[(y + 3) % 6],
                rows[(y + 4) % 6], rows[(y + 5) % 6]);
  }
  // After output row y: the oldest row gives way to row y + 4; next is its first sample.
  template <int y>
  void advance(const uint8_t* next) {
    rows[y % 6] = widen(load_row<W>(next + kOffset));
  }
};

// Centre samples j from six rows of unrounded horizontal sums a .. f (each -2550 .. 10710):
// (a + f - 5 (b + e) + 20 (c + d) + 512) >> 10 in 16-bit lanes as the nested floors
// ((((af - be) >> 2) - be + cd) >> 2) + cd + 32) >> 6, which are exact. Only the sum with the
// second cd can leave 16 bits, beyond 32767 when cd > 21037 and below -32768 when cd < -4718;
// saturating it there still gives 255 (or 0), as the exact sum does.
[[gnu::always_inline]] inline __m128i centre_j(const int16_t (*rows)[8]) {
  const __m128i af = _mm_add_epi16(load128(rows[0]), load128(rows[5]));
  const __m128i be = _mm_add_epi16(load128(rows[1]), load128(rows[4]));
  const __m128i cd = _mm_add_epi16(load128(rows[2]), load128(rows[3]));
  const __m128i quarter =
      _mm_adds_epi16(_mm_sub_epi16(_mm_srai_epi16(_mm_sub_epi16(af, be), 2), be), cd);
  const __m128i sixteenth = _mm_add_epi16(_mm_srai_epi16(quarter, 2), cd);
  const __m128i v = _mm_srai_epi16(_mm_add_epi16(sixteenth, _mm_set1_epi16(32)), 6);
  return _mm_packus_epi16(v, v);
}

// Prediction at fraction (xf, yf), as in the portable kernel: a, b, c from one row; every
// position with a vertical part from a window of six rows that moves down the block.
template <int W, int H, int xf, int yf>
void luma_block(const uint8_t* src, int stride, uint8_t* dst) {
  constexpr bool kCentre = (xf == 2 && yf != 0) || (yf == 2 && xf != 0);
  constexpr int kHalfColumn = xf == 3 ? 1 : 0;  // column of h averaged with the quarter samples
  const auto row_out = [dst](int y) { return dst + 8 * y + (y >= 8 ? 64 : 0); };
  if constexpr (yf == 0) {
    for (int y = 0; y < H; ++y) {
      const uint8_t* s = src + y * stride;
      __m128i v;
      if constexpr (xf == 0) {
        v = load_row<W>(s);
      } else if constexpr (xf == 2) {
        v = half_b<W>(s);
      } else {
        v = _mm_avg_epu8(load_row<W>(s + kHalfColumn), half_b<W>(s));
      }
      store_row<W>(row_out(y), v);
    }
  } else if constexpr (kCentre) {
    // Horizontal sums of rows -2 .. H + 2 once, then j of each row from six of them.
    alignas(16) int16_t sums[H + 5][8];
    for (int i = 0; i < H + 5; ++i) store128(sums[i], horizontal_sums<W>(src + (i - 2) * stride));
    if constexpr (xf == 2) {
      for (int y = 0; y < H; ++y) {
        const __m128i j = centre_j(sums + y);
        if constexpr (yf == 2) {
          store_row<W>(row_out(y), j);
        } else {
          const __m128i b = round_half(load128(sums[y + (yf == 3 ? 3 : 2)]));
          store_row<W>(row_out(y), _mm_avg_epu8(b, j));
        }
      }
    } else {
      RowWindow<W, kHalfColumn> window(src, stride);
      for_rows<H>([&]<int y>() __attribute__((always_inline)) {
        const __m128i h = round_half(window.template sums<y>());
        store_row<W>(row_out(y), _mm_avg_epu8(h, centre_j(sums + y)));
        if constexpr (y + 1 < H) window.template advance<y>(src + (y + 4) * stride);
      });
    }
  } else {
    RowWindow<W, kHalfColumn> window(src, stride);
    for_rows<H>([&]<int y>() __attribute__((always_inline)) {
      const uint8_t* s = src + y * stride;
      const __m128i h = round_half(window.template sums<y>());
      __m128i v;
      if constexpr (xf == 0 && yf == 2) {
        v = h;
      } else if constexpr (xf == 0) {
        v = _mm_avg_epu8(load_row<W>(yf == 1 ? s : s + stride), h);
      } else {
        v = _mm_avg_epu8(half_b<W>(yf == 3 ? s + stride : s), h);  // b of row y or y + 1
      }
      store_row<W>(row_out(y), v);
      if constexpr (y + 1 < H) window.template advance<y>(s + 4 * stride);
    });
  }
}

// An 8x16 half of a 16x16 block, out of line: two inlined copies would compete for registers.
template <int xf, int yf>
[[gnu::noinline]] void luma_half_16(const uint8_t* src, int stride, uint8_t* dst) {
  luma_block<8, 16, xf, yf>(src, stride, dst);
}

// 16x16 blocks: a, b, c on whole rows of 16 (the six loads of a row serve both halves); the
// positions with a vertical part as two 8x16 halves.
template <int xf, int yf>
void luma_block_16(const uint8_t* src, int stride, uint8_t* dst) {
  if constexpr (yf == 0) {
    const __m128i zero = _mm_setzero_si128();
    for (int y = 0; y < 16; ++y) {
      const uint8_t* s = src + y * stride;
      __m128i v;
      if constexpr (xf == 0) {
        v = load128(s);
      } else {
        __m128i t[6];
        for (int k = 0; k < 6; ++k) t[k] = load128(s - 2 + k);
        const auto sums = [&](auto half) {
          return tap6(half(t[0], zero), half(t[1], zero), half(t[2], zero), half(t[3], zero),
                      half(t[4], zero), half(t[5], zero));
        };
        const __m128i lo = sums([](__m128i a, __m128i z) { return _mm_unpacklo_epi8(a, z); });
        const __m128i hi = sums([](__m128i a, __m128i z) { return _mm_unpackhi_epi8(a, z); });
        const __m128i round = _mm_set1_epi16(16);
        const __m128i b = _mm_packus_epi16(_mm_srai_epi16(_mm_add_epi16(lo, round), 5),
                                           _mm_srai_epi16(_mm_add_epi16(hi, round), 5));
        v = xf == 2 ? b : _mm_avg_epu8(load128(s + (xf == 3 ? 1 : 0)), b);
      }
      uint8_t* out = dst + 8 * y + (y >= 8 ? 64 : 0);
      store64(out, v);
      store64(out + 64, _mm_unpackhi_epi64(v, v));
    }
  } else {
    luma_half_16<xf, yf>(src, stride, dst);
    luma_half_16<xf, yf>(src + 8, stride, dst + 64);
  }
}

template <int kWidth, int kHeight, int kIndex>
void mc_luma(const McBlockRequest* r) {
  if constexpr (kWidth == 16) {
    luma_block_16<(kIndex >> 2), (kIndex & 3)>(r->src_luma, r->src_luma_stride, r->dst_luma);
  } else {
    luma_block<kWidth, kHeight, (kIndex >> 2), (kIndex & 3)>(r->src_luma, r->src_luma_stride,
                                                             r->dst_luma);
  }
}

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
void mc_chroma(const McBlockRequest* r) {
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

template <int... kIndex>
void fill_luma(ReconKernels* k, std::integer_sequence<int, kIndex...>) {
  ((k->mc_luma_4x4[kIndex] = mc_luma<4, 4, kIndex>), ...);
  ((k->mc_luma_4x8[kIndex] = mc_luma<4, 8, kIndex>), ...);
  ((k->mc_luma_8x8[kIndex] = mc_luma<8, 8, kIndex>), ...);
  ((k->mc_luma_8x16[kIndex] = mc_luma<8, 16, kIndex>), ...);
  ((k->mc_luma_16x16[kIndex] = mc_luma<16, 16, kIndex>), ...);
}

template <int... kIndex>
void fill_chroma(ReconKernels* k, std::integer_sequence<int, kIndex...>) {
  ((k->mc_chroma_4x2[kIndex] = mc_chroma<4, 2, kIndex>), ...);
  ((k->mc_chroma_4x4[kIndex] = mc_chroma<4, 4, kIndex>), ...);
  ((k->mc_chroma_8x4[kIndex] = mc_chroma<8, 4, kIndex>), ...);
  ((k->mc_chroma_8x8[kIndex] = mc_chroma<8, 8, kIndex>), ...);
}

}  // namespace

void decoder_install_sse2_inter(ReconKernels* kernels) {
  fill_luma(kernels, std::make_integer_sequence<int, 16>());
  fill_chroma(kernels, std::make_integer_sequence<int, 4>());
  kernels->combine = combine;
  kernels->deinterlace_line = deinterlace_line;
}
