// Inter kernels: luma and chroma interpolation against the standard's equations, read
// rectangles, and the combine kernel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"
#include "h264/recon_inter_model.h"

namespace {

// Integer samples of a whole plane for the model.
struct PlaneSamples {
  const std::vector<uint8_t>& plane;
  int stride;

  int operator()(int x, int y) const { return plane[y * stride + x]; }
};

TEST(ReconInterpolation, LumaKernelsMatchTheStandardAndReadOnlyTheirRectangle) {
  ReconKernels k;
  decoder_recon_kernels_portable(&k);
  std::mt19937 rng(44);
  std::uniform_int_distribution<int> byte(0, 255);
  const struct {
    McKernel* table;
    int w, h;
  } shapes[] = {{k.mc_luma_4x4, 4, 4},
                {k.mc_luma_4x8, 4, 8},
                {k.mc_luma_8x16, 8, 16},
                {k.mc_luma_16x16, 16, 16}};
  for (const auto& shape : shapes) {
    for (int index = 0; index < 16; ++index) {
      const int xf = index >> 2, yf = index & 3;
      // The fetch rectangle: the block, 5 samples wider (taller) where the 6-tap filter applies.
      const int rw = shape.w + (xf ? 5 : 0), rh = shape.h + (yf ? 5 : 0);
      std::vector<uint8_t> rect(rw * rh);
      for (uint8_t& v : rect) v = static_cast<uint8_t>(byte(rng) / (index % 3 + 1));
      McBlockRequest r{};
      r.src_luma = rect.data() + (yf ? 2 : 0) * rw + (xf ? 2 : 0);
      r.src_luma_stride = rw;
      uint8_t dst[256];
      std::memset(dst, 0xCD, sizeof dst);
      r.dst_luma = dst;
      shape.table[index](&r);
      // A padded copy for the reference, which always reads the full neighbourhood.
      std::vector<uint8_t> padded((rw + 6) * (rh + 6), 0);
      for (int y = 0; y < rh; ++y)
        std::copy_n(rect.begin() + y * rw, rw, padded.begin() + (y + 3) * (rw + 6) + 3);
      const PlaneSamples samples{padded, rw + 6};
      for (int y = 0; y < shape.h; ++y) {
        for (int x = 0; x < shape.w; ++x) {
          const int out = dst[luma_sample_offset(x, y)];
          ASSERT_EQ(out,
                    inter_model::luma(samples, x + 3 + (xf ? 2 : 0), y + 3 + (yf ? 2 : 0), xf, yf))
              << shape.w << "x" << shape.h << " index " << index << " at " << x << "," << y;
        }
      }
      for (int y = 0; y < 16; ++y)
        for (int x = shape.w; x < 8; ++x)
          ASSERT_EQ(dst[y < 8 ? 8 * y + x : 128 + 8 * (y - 8) + x], 0xCD);
    }
  }
}

TEST(ReconInterpolation, ChromaKernelsWeightTheFourNeighbours) {
  ReconKernels k;
  decoder_recon_kernels_portable(&k);
  std::mt19937 rng(45);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int xf = 0; xf < 8; ++xf) {
    for (int yf = 0; yf < 8; ++yf) {
      const int index = (xf != 0) | ((yf != 0) << 1);
      for (int shape = 0; shape < 2; ++shape) {
        const int w = shape ? 8 : 4, h = shape ? 4 : 2;
        const int rw = w + (xf != 0), rh = h + (yf != 0);
        std::vector<uint8_t> cb(rw * rh), cr(rw * rh);
        for (size_t i = 0; i < cb.size(); ++i) {
          cb[i] = static_cast<uint8_t>(byte(rng));
          cr[i] = static_cast<uint8_t>(byte(rng));
        }
        uint8_t dst_cb[64], dst_cr[64];
        McBlockRequest r{};
        r.src_cb = cb.data();
        r.src_cr = cr.data();
        r.src_chroma_stride = rw;
        r.dst_cb = dst_cb;
        r.dst_cr = dst_cr;
        r.chroma_frac_x = static_cast<uint8_t>(xf);
        r.chroma_frac_y = static_cast<uint8_t>(yf);
        (shape ? k.mc_chroma_8x4 : k.mc_chroma_4x2)[index](&r);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            for (int plane = 0; plane < 2; ++plane) {
              const std::vector<uint8_t>& p = plane ? cr : cb;
              const auto at = [&](int dx, int dy) {
                return (x + dx < rw && y + dy < rh) ? p[(y + dy) * rw + x + dx] : 0;
              };
              const int expected = ((8 - xf) * (8 - yf) * at(0, 0) + xf * (8 - yf) * at(1, 0) +
                                    (8 - xf) * yf * at(0, 1) + xf * yf * at(1, 1) + 32) >>
                                   6;
              ASSERT_EQ((plane ? dst_cr : dst_cb)[8 * y + x], expected) << xf << "," << yf;
            }
          }
        }
      }
    }
  }
}

TEST(ReconInterpolation, HandComputedPositions) {
  ReconKernels k;
  decoder_recon_kernels_portable(&k);
  // A horizontal ramp of step 10: every half and quarter sample is the linear value.
  std::vector<uint8_t> ramp(13 * 13);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 13; ++x) ramp[y * 13 + x] = static_cast<uint8_t>(50 + 10 * x);
  uint8_t dst[64];
  McBlockRequest r{};
  r.src_luma = ramp.data() + 2 * 13 + 2;
  r.src_luma_stride = 13;
  r.dst_luma = dst;
  k.mc_luma_4x4[8](&r);  // b: (E - 5F + 20G + 20H - 5I + J + 16) >> 5 = G + 5
  EXPECT_EQ(dst[0], 75);
  k.mc_luma_4x4[4](&r);  // a: (G + b + 1) >> 1
  EXPECT_EQ(dst[1], 83);
  k.mc_luma_4x4[15](&r);           // r: (m + s + 1) >> 1
  EXPECT_EQ(dst[8 * 3 + 3], 108);  // G = 100 at x = 3: m = 110, s = 105
  // Chroma (4, 0) averages horizontal neighbours with rounding.
  const uint8_t cb[2 * 5] = {10, 13, 20, 21, 0, 7, 8, 9, 10, 11};
  r.src_cb = r.src_cr = cb;
  r.src_chroma_stride = 5;
  r.dst_cb = r.dst_cr = dst;
  r.chroma_frac_x = 4;
  r.chroma_frac_y = 0;
  k.mc_chroma_4x2[1](&r);
  EXPECT_EQ(dst[0], 12);  // (4 x 10 + 4 x 13 + 4) >> 3 = 12
  EXPECT_EQ(dst[2], 21);  // (20 + 21 + 1) >> 1
  r.chroma_frac_x = 0;
  k.mc_chroma_4x2[0](&r);
  EXPECT_EQ(dst[8], 7);
}

TEST(ReconCombine, AddsOnlyCodedQuadrantsAndChromaWithPattern) {
  ReconKernels k;
  decoder_recon_kernels_portable(&k);
  MbWorkArea wa;
  std::memset(&wa, 0, sizeof wa);
  std::memset(wa.luma, 200, 256);
  std::memset(wa.cb, 10, 64);
  std::memset(wa.cr, 20, 64);
  for (int i = 0; i < kResidualSize; ++i) wa.residual[i] = static_cast<int16_t>(i % 2 ? 100 : -30);
  wa.coded_block_pattern = 0x2 | 0x10;
  k.combine(&wa);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const int pos = luma_sample_offset(x, y);
      const int expected = x >= 8 && y < 8 ? (pos % 2 ? 255 : 170) : 200;
      ASSERT_EQ(wa.luma[pos], expected) << x << "," << y;
    }
  }
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(wa.cb[i], i % 2 ? 110 : 0);
    ASSERT_EQ(wa.cr[i], i % 2 ? 120 : 0);
  }
  wa.coded_block_pattern = 0;
  std::memset(wa.cb, 10, 64);
  k.combine(&wa);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(wa.cb[i], 10);
}

TEST(ReconKernelTable, PortableBuildFillsEverySlot) {
  ReconKernels k;
  std::memset(&k, 0, sizeof k);
  decoder_recon_kernels_portable(&k);
  static_assert(sizeof k % sizeof(uintptr_t) == 0);
  uintptr_t slots[sizeof k / sizeof(uintptr_t)];
  std::memcpy(slots, &k, sizeof k);
  for (size_t i = 0; i < std::size(slots); ++i) EXPECT_NE(slots[i], 0u) << "slot " << i;
}

}  // namespace
