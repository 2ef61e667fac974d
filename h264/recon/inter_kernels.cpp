// Inter kernels: fractional sample interpolation (clause 8.4.2.2) and the residual addition.
#include <cstring>
#include <utility>

#include "h264/recon/inter.h"
#include "h264/recon/portable_kernels.h"

namespace {

void add_residual(uint8_t* dst, const int16_t* residual, int size) {
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      dst[8 * y + x] = clip_pixel(dst[8 * y + x] + residual[8 * y + x]);
}

void combine(MbWorkArea* wa) {
  for (int q = 0; q < 4; ++q)
    if ((wa->coded_block_pattern >> q) & 1)
      add_residual(wa->luma + 64 * q, wa->residual + 64 * q, 8);
  if (wa->coded_block_pattern >> 4) {
    add_residual(wa->cb, wa->residual + kResidualCb, 8);
    add_residual(wa->cr, wa->residual + kResidualCr, 8);
  }
}

// Six-tap sum of clause 8.4.2.2.1 between integer sample s and its right neighbour (step 1) or
// its lower neighbour (step = stride).
inline int tap6(const uint8_t* s, int step) {
  return s[-2 * step] - 5 * s[-step] + 20 * s[0] + 20 * s[step] - 5 * s[2 * step] + s[3 * step];
}

inline int half_sample(int sum) {
  return clip_pixel((sum + 16) >> 5);
}

inline int average(int a, int b) {
  return (a + b + 1) >> 1;
}

// Stores row y of a luma block: rows 8..15 belong to the quadrant below, columns 8..15 to the
// quadrant on the right.
template <int kWidth>
void put_luma_row(uint8_t* dst, int y, const uint8_t* row) {
  uint8_t* out = dst + 8 * y + (y >= 8 ? 64 : 0);
  std::memcpy(out, row, kWidth < 8 ? kWidth : 8);
  if constexpr (kWidth > 8) std::memcpy(out + 64, row + 8, kWidth - 8);
}

// Luma prediction of a kWidth x kHeight block at a fractional position (xFrac, yFrac) =
// (kIndex >> 2, kIndex & 3), the standard's positions a..s, into a local array, which the
// compiler knows the source cannot overlap. Half samples are computed once per block: b by rows,
// h by columns, and j from the unrounded horizontal sums of the block's rows -2..kHeight+2.
template <int kWidth, int kHeight, int kIndex>
void luma_fraction(const uint8_t* s, int stride, uint8_t (*pred)[kWidth]) {
  constexpr int kXFrac = kIndex >> 2, kYFrac = kIndex & 3;
  if constexpr (kYFrac == 0) {  // a, b, c
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* row = s + y * stride;
      uint8_t* out = pred[y];
      for (int x = 0; x < kWidth; ++x) {
        const int b = half_sample(tap6(row + x, 1));
        out[x] = static_cast<uint8_t>(kXFrac == 2 ? b : average(row[x + kXFrac / 2], b));
      }
    }
  } else if constexpr (kXFrac == 0) {  // d, h, n
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* row = s + y * stride;
      uint8_t* out = pred[y];
      for (int x = 0; x < kWidth; ++x) {
        const int h = half_sample(tap6(row + x, stride));
        out[x] = static_cast<uint8_t>(kYFrac == 2 ? h : average(row[x + kYFrac / 2 * stride], h));
      }
    }
  } else if constexpr (kXFrac != 2 && kYFrac != 2) {  // e, g, p, r: b of row y or y + 1 with h
    for (int y = 0; y < kHeight; ++y) {               // of column x or x + 1
      const uint8_t* row = s + y * stride;
      uint8_t* out = pred[y];
      for (int x = 0; x < kWidth; ++x) {
        const int b = half_sample(tap6(row + x + kYFrac / 2 * stride, 1));
        const int h = half_sample(tap6(row + x + kXFrac / 2, stride));
        out[x] = static_cast<uint8_t>(average(b, h));
      }
    }
  } else {  // j, and f, q, i, k averaging j with b or h
    int16_t sums[kHeight + 5][kWidth];
    for (int i = 0; i < kHeight + 5; ++i) {
      const uint8_t* row = s + (i - 2) * stride;
      for (int x = 0; x < kWidth; ++x) sums[i][x] = static_cast<int16_t>(tap6(row + x, 1));
    }
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* row = s + y * stride;
      uint8_t* out = pred[y];
      for (int x = 0; x < kWidth; ++x) {
        const int j1 = sums[y][x] - 5 * sums[y + 1][x] + 20 * sums[y + 2][x] + 20 * sums[y + 3][x] -
                       5 * sums[y + 4][x] + sums[y + 5][x];
        const int j = clip_pixel((j1 + 512) >> 10);
        if constexpr (kXFrac == 2 && kYFrac == 2) {
          out[x] = static_cast<uint8_t>(j);
        } else if constexpr (kXFrac == 2) {
          out[x] = static_cast<uint8_t>(average(j, half_sample(sums[y + 2 + kYFrac / 2][x])));
        } else {
          out[x] =
              static_cast<uint8_t>(average(j, half_sample(tap6(row + x + kXFrac / 2, stride))));
        }
      }
    }
  }
}

template <int kWidth, int kHeight, int kIndex>
void mc_luma(const McBlockRequest* r) {
  const uint8_t* s = r->src_luma;
  const int stride = r->src_luma_stride;
  if constexpr (kIndex == 0) {
    for (int y = 0; y < kHeight; ++y) put_luma_row<kWidth>(r->dst_luma, y, s + y * stride);
  } else {
    uint8_t pred[kHeight][kWidth];
    luma_fraction<kWidth, kHeight, kIndex>(s, stride, pred);
    for (int y = 0; y < kHeight; ++y) put_luma_row<kWidth>(r->dst_luma, y, pred[y]);
  }
}

// Clause 8.4.2.2.2 for both chroma components; kIndex tells which fractions are nonzero, so a
// kernel reads the right column and the lower row only when it weights them.
template <int kWidth, int kHeight, int kIndex>
void mc_chroma(const McBlockRequest* r) {
  const int xf = (kIndex & 1) ? r->chroma_frac_x : 0, yf = (kIndex & 2) ? r->chroma_frac_y : 0;
  const int w00 = (8 - xf) * (8 - yf), w01 = xf * (8 - yf), w10 = (8 - xf) * yf, w11 = xf * yf;
  const int stride = r->src_chroma_stride;
  for (int plane = 0; plane < 2; ++plane) {
    const uint8_t* src = plane == 0 ? r->src_cb : r->src_cr;
    uint8_t* dst = plane == 0 ? r->dst_cb : r->dst_cr;
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* s = src + y * stride;
      uint8_t* out = dst + 8 * y;
      if constexpr (kIndex == 0) {
        std::memcpy(out, s, kWidth);
      } else {
        uint8_t pred[kWidth];
        for (int x = 0; x < kWidth; ++x) {
          int sum = w00 * s[x] + 32;
          if constexpr ((kIndex & 1) != 0) sum += w01 * s[x + 1];
          if constexpr ((kIndex & 2) != 0) sum += w10 * s[x + stride];
          if constexpr (kIndex == 3) sum += w11 * s[x + stride + 1];
          pred[x] = static_cast<uint8_t>(sum >> 6);
        }
        std::memcpy(out, pred, kWidth);
      }
    }
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

const McKernel decoder_mc_chroma_2x2[4] = {mc_chroma<2, 2, 0>, mc_chroma<2, 2, 1>,
                                           mc_chroma<2, 2, 2>, mc_chroma<2, 2, 3>};

void decoder_install_portable_inter(ReconKernels* kernels) {
  fill_luma(kernels, std::make_integer_sequence<int, 16>());
  fill_chroma(kernels, std::make_integer_sequence<int, 4>());
  kernels->combine = combine;
}
