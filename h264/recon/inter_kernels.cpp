// Inter kernels: fractional sample interpolation (clause 8.4.2.2), the residual addition, and
// the de-interlacing line.
#include <cstdlib>
#include <utility>

#include "h264/recon/portable_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

void add_residual(uint8_t* dst, const int16_t* residual, int size) {
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      dst[8 * y + x] = clip_pixel(dst[8 * y + x] + residual[8 * y + x]);
}

void combine(MbWorkArea* wa, int quadrant) {
  if ((wa->coded_block_pattern >> quadrant) & 1)
    add_residual(wa->luma + 64 * quadrant, wa->residual + 64 * quadrant, 8);
  if (wa->coded_block_pattern >> 4) {
    const int offset = decoder_chroma4x4_offset[quadrant];
    add_residual(wa->cb + offset, wa->residual + kResidualCb + offset, 4);
    add_residual(wa->cr + offset, wa->residual + kResidualCr + offset, 4);
  }
}

// Six-tap sum of clause 8.4.2.2.1 between integer sample s and its right neighbour (step 1) or
// its lower neighbour (step = stride).
int tap6(const uint8_t* s, int step) {
  return s[-2 * step] - 5 * s[-step] + 20 * s[0] + 20 * s[step] - 5 * s[2 * step] + s[3 * step];
}

int half_sample(int sum) {
  return clip_pixel((sum + 16) >> 5);
}

// The centre j from the unrounded vertical sums of the six columns around it.
int centre_sample(const uint8_t* s, int stride) {
  int h1[6];
  for (int i = 0; i < 6; ++i) h1[i] = tap6(s + i - 2, stride);
  return clip_pixel((h1[0] - 5 * h1[1] + 20 * h1[2] + 20 * h1[3] - 5 * h1[4] + h1[5] + 512) >> 10);
}

int average(int a, int b) {
  return (a + b + 1) >> 1;
}

// Luma prediction at fraction (xf, yf) of the block sample whose integer position is s: the
// standard's positions a..s, a quarter sample being the average of its two nearest integer or
// half samples.
template <int xf, int yf>
int luma_sample(const uint8_t* s, int stride) {
  const auto b = [](const uint8_t* p) { return half_sample(tap6(p, 1)); };
  const auto h = [stride](const uint8_t* p) { return half_sample(tap6(p, stride)); };
  const uint8_t* below = s + stride;
  if constexpr (xf == 0 && yf == 0) {
    return s[0];
  } else if constexpr (yf == 0) {  // a, b, c
    return xf == 2 ? b(s) : average(s[xf == 1 ? 0 : 1], b(s));
  } else if constexpr (xf == 0) {  // d, h, n
    return yf == 2 ? h(s) : average(yf == 1 ? s[0] : below[0], h(s));
  } else if constexpr (xf == 2) {  // f, j, q
    return yf == 2 ? centre_sample(s, stride)
                   : average(b(yf == 1 ? s : below), centre_sample(s, stride));
  } else if constexpr (yf == 2) {  // i, k
    return average(h(xf == 1 ? s : s + 1), centre_sample(s, stride));
  } else {  // e, g, p, r
    return average(b(yf == 1 ? s : below), h(xf == 1 ? s : s + 1));
  }
}

template <int kWidth, int kHeight, int kIndex>
void mc_luma(const McBlockRequest* r) {
  constexpr int kXFrac = kIndex >> 2, kYFrac = kIndex & 3;
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* dst = r->dst_luma + 8 * y + (y >= 8 ? 64 : 0);
    const uint8_t* src = r->src_luma + y * r->src_luma_stride;
    for (int x = 0; x < kWidth; ++x)
      dst[x] = static_cast<uint8_t>(luma_sample<kXFrac, kYFrac>(src + x, r->src_luma_stride));
  }
}

// Clause 8.4.2.2.2 for both chroma components; kIndex tells which fractions are nonzero, so a
// kernel reads the right column and the lower row only when it weights them.
template <int kWidth, int kHeight, int kIndex>
void mc_chroma(const McBlockRequest* r) {
  const int xf = (kIndex & 1) ? r->chroma_frac_x : 0, yf = (kIndex & 2) ? r->chroma_frac_y : 0;
  const int stride = r->src_chroma_stride;
  for (int plane = 0; plane < 2; ++plane) {
    const uint8_t* src = plane == 0 ? r->src_cb : r->src_cr;
    uint8_t* dst = plane == 0 ? r->dst_cb : r->dst_cr;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* s = src + y * stride + x;
        const int right = (kIndex & 1) ? s[1] : 0;
        const int below = (kIndex & 2) ? s[stride] : 0;
        const int diagonal = kIndex == 3 ? s[stride + 1] : 0;
        dst[8 * y + x] = static_cast<uint8_t>(((8 - xf) * (8 - yf) * s[0] + xf * (8 - yf) * right +
                                               (8 - xf) * yf * below + xf * yf * diagonal + 32) >>
                                              6);
      }
    }
  }
}

// Largest difference from the history at which a sample counts as still.
constexpr int kStillThreshold = 10;

void deinterlace_line(uint8_t* out_even, uint8_t* out_odd, const uint8_t* pic,
                      const uint8_t* history, const uint8_t*, int stride, int width) {
  for (int x = 0; x < width; ++x) {
    const int top = pic[x], bottom = pic[stride + x], next = pic[2 * stride + x];
    const bool still = std::abs(top - history[x]) <= kStillThreshold &&
                       std::abs(bottom - history[stride + x]) <= kStillThreshold;
    out_even[x] = static_cast<uint8_t>(top);
    out_odd[x] = static_cast<uint8_t>(still ? bottom : average(top, next));
  }
}

template <int... kIndex>
void fill_luma(ReconKernels* k, std::integer_sequence<int, kIndex...>) {
  ((k->mc_luma_4x4[kIndex] = mc_luma<4, 4, kIndex>), ...);
  ((k->mc_luma_4x8[kIndex] = mc_luma<4, 8, kIndex>), ...);
  ((k->mc_luma_8x16[kIndex] = mc_luma<8, 16, kIndex>), ...);
}

template <int... kIndex>
void fill_chroma(ReconKernels* k, std::integer_sequence<int, kIndex...>) {
  ((k->mc_chroma_4x2[kIndex] = mc_chroma<4, 2, kIndex>), ...);
  ((k->mc_chroma_8x4[kIndex] = mc_chroma<8, 4, kIndex>), ...);
}

}  // namespace

void decoder_install_portable_inter(ReconKernels* kernels) {
  fill_luma(kernels, std::make_integer_sequence<int, 16>());
  fill_chroma(kernels, std::make_integer_sequence<int, 4>());
  kernels->combine = combine;
  kernels->deinterlace_line = deinterlace_line;
}
