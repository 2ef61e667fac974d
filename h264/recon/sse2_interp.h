// Luma interpolation (clause 8.4.2.2.1) on 128-bit vectors in 16-bit lanes and the installers of
// the interpolation slots, shared by the vector levels. A level supplies the horizontal six-tap
// sums as a policy Taps with
//   template <int W> static __m128i sums(const uint8_t* s)  // W = 4, 8: unrounded, from s[-2]
//   static void sums16(const uint8_t* s, __m128i* lo, __m128i* hi)  // 16 samples from s
//   static __m128i shift5(__m128i v), shift6(__m128i v)  // (v + 16) >> 5, (v + 32) >> 6
// Everything here has internal linkage, so each level's file keeps its own copy.
#pragma once

#include <utility>

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

// Rounding shifts on SSE2.
struct Sse2Rounding {
  static __m128i shift5(__m128i v) {
    return _mm_srai_epi16(_mm_add_epi16(v, _mm_set1_epi16(16)), 5);
  }
  static __m128i shift6(__m128i v) {
    return _mm_srai_epi16(_mm_add_epi16(v, _mm_set1_epi16(32)), 6);
  }
};

// (sum + 16) >> 5 clipped, as bytes.
template <typename Taps>
[[gnu::always_inline]] inline __m128i round_half(__m128i sum) {
  const __m128i v = Taps::shift5(sum);
  return _mm_packus_epi16(v, v);
}

// Horizontal half samples b of the row starting at s.
template <typename Taps, int W>
[[gnu::always_inline]] inline __m128i half_b(const uint8_t* s) {
  return round_half<Taps>(Taps::template sums<W>(s));
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
template <typename Taps>
[[gnu::always_inline]] inline __m128i centre_j(const int16_t (*rows)[8]) {
  const __m128i af = _mm_add_epi16(load128(rows[0]), load128(rows[5]));
  const __m128i be = _mm_add_epi16(load128(rows[1]), load128(rows[4]));
  const __m128i cd = _mm_add_epi16(load128(rows[2]), load128(rows[3]));
  const __m128i quarter =
      _mm_adds_epi16(_mm_sub_epi16(_mm_srai_epi16(_mm_sub_epi16(af, be), 2), be), cd);
  const __m128i sixteenth = _mm_add_epi16(_mm_srai_epi16(quarter, 2), cd);
  const __m128i v = Taps::shift6(sixteenth);
  return _mm_packus_epi16(v, v);
}

// Prediction at fraction (xf, yf), as in the portable kernel: a, b, c from one row; every
// position with a vertical part from a window of six rows that moves down the block.
template <typename Taps, int W, int H, int xf, int yf>
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
        v = half_b<Taps, W>(s);
      } else {
        v = _mm_avg_epu8(load_row<W>(s + kHalfColumn), half_b<Taps, W>(s));
      }
      store_row<W>(row_out(y), v);
    }
  } else if constexpr (kCentre) {
    // Horizontal sums of rows -2 .. H + 2 once, then j of each row from six of them.
    alignas(16) int16_t sums[H + 5][8];
    for (int i = 0; i < H + 5; ++i)
      store128(sums[i], Taps::template sums<W>(src + (i - 2) * stride));
    if constexpr (xf == 2) {
      for (int y = 0; y < H; ++y) {
        const __m128i j = centre_j<Taps>(sums + y);
        if constexpr (yf == 2) {
          store_row<W>(row_out(y), j);
        } else {
          const __m128i b = round_half<Taps>(load128(sums[y + (yf == 3 ? 3 : 2)]));
          store_row<W>(row_out(y), _mm_avg_epu8(b, j));
        }
      }
    } else {
      RowWindow<W, kHalfColumn> window(src, stride);
      for_rows<H>([&]<int y>() __attribute__((always_inline)) {
        const __m128i h = round_half<Taps>(window.template sums<y>());
        store_row<W>(row_out(y), _mm_avg_epu8(h, centre_j<Taps>(sums + y)));
        if constexpr (y + 1 < H) window.template advance<y>(src + (y + 4) * stride);
      });
    }
  } else {
    RowWindow<W, kHalfColumn> window(src, stride);
    for_rows<H>([&]<int y>() __attribute__((always_inline)) {
      const uint8_t* s = src + y * stride;
      const __m128i h = round_half<Taps>(window.template sums<y>());
      __m128i v;
      if constexpr (xf == 0 && yf == 2) {
        v = h;
      } else if constexpr (xf == 0) {
        v = _mm_avg_epu8(load_row<W>(yf == 1 ? s : s + stride), h);
      } else {
        v = _mm_avg_epu8(half_b<Taps, W>(yf == 3 ? s + stride : s), h);  // b of row y or y + 1
      }
      store_row<W>(row_out(y), v);
      if constexpr (y + 1 < H) window.template advance<y>(s + 4 * stride);
    });
  }
}

// An 8x16 half of a 16x16 block, out of line: two inlined copies would compete for registers.
template <typename Taps, int xf, int yf>
[[gnu::noinline]] void luma_half_16(const uint8_t* src, int stride, uint8_t* dst) {
  luma_block<Taps, 8, 16, xf, yf>(src, stride, dst);
}

// 16x16 blocks: a, b, c on whole rows of 16 (the six loads of a row serve both halves); the
// positions with a vertical part as two 8x16 halves.
template <typename Taps, int xf, int yf>
void luma_block_16(const uint8_t* src, int stride, uint8_t* dst) {
  if constexpr (yf == 0) {
    for (int y = 0; y < 16; ++y) {
      const uint8_t* s = src + y * stride;
      __m128i v;
      if constexpr (xf == 0) {
        v = load128(s);
      } else {
        __m128i lo, hi;
        Taps::sums16(s, &lo, &hi);
        const __m128i b = _mm_packus_epi16(Taps::shift5(lo), Taps::shift5(hi));
        v = xf == 2 ? b : _mm_avg_epu8(load128(s + (xf == 3 ? 1 : 0)), b);
      }
      uint8_t* out = dst + 8 * y + (y >= 8 ? 64 : 0);
      store64(out, v);
      store64(out + 64, _mm_unpackhi_epi64(v, v));
    }
  } else {
    luma_half_16<Taps, xf, yf>(src, stride, dst);
    luma_half_16<Taps, xf, yf>(src + 8, stride, dst + 64);
  }
}

template <typename Taps, int kWidth, int kHeight, int kIndex>
void mc_luma(const McBlockRequest* r) {
  if constexpr (kWidth == 16) {
    luma_block_16<Taps, (kIndex >> 2), (kIndex & 3)>(r->src_luma, r->src_luma_stride, r->dst_luma);
  } else {
    luma_block<Taps, kWidth, kHeight, (kIndex >> 2), (kIndex & 3)>(r->src_luma, r->src_luma_stride,
                                                                   r->dst_luma);
  }
}

// Installs the luma interpolation slots built on Taps.
template <typename Taps, int... kIndex>
void fill_luma(ReconKernels* k, std::integer_sequence<int, kIndex...>) {
  ((k->mc_luma_4x4[kIndex] = mc_luma<Taps, 4, 4, kIndex>), ...);
  ((k->mc_luma_4x8[kIndex] = mc_luma<Taps, 4, 8, kIndex>), ...);
  ((k->mc_luma_8x8[kIndex] = mc_luma<Taps, 8, 8, kIndex>), ...);
  ((k->mc_luma_8x16[kIndex] = mc_luma<Taps, 8, 16, kIndex>), ...);
  ((k->mc_luma_16x16[kIndex] = mc_luma<Taps, 16, 16, kIndex>), ...);
}
template <typename Taps>
void install_luma_interpolation(ReconKernels* k) {
  fill_luma<Taps>(k, std::make_integer_sequence<int, 16>());
}

// Installs the chroma interpolation slots from Chroma<kWidth, kHeight, kIndex>::run.
template <template <int, int, int> class Chroma, int... kIndex>
void fill_chroma(ReconKernels* k, std::integer_sequence<int, kIndex...>) {
  ((k->mc_chroma_4x2[kIndex] = Chroma<4, 2, kIndex>::run), ...);
  ((k->mc_chroma_4x4[kIndex] = Chroma<4, 4, kIndex>::run), ...);
  ((k->mc_chroma_8x4[kIndex] = Chroma<8, 4, kIndex>::run), ...);
  ((k->mc_chroma_8x8[kIndex] = Chroma<8, 8, kIndex>::run), ...);
}
template <template <int, int, int> class Chroma>
void install_chroma_interpolation(ReconKernels* k) {
  fill_chroma<Chroma>(k, std::make_integer_sequence<int, 4>());
}

}  // namespace
