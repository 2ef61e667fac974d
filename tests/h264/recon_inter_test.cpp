// The combine kernel: residual addition per quadrant of an inter macroblock.
#include <gtest/gtest.h>

#include <cstring>

#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

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
  for (int q = 0; q < 4; ++q) k.combine(&wa, q);
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
  k.combine(&wa, 2);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(wa.cb[i], 10);
}

}  // namespace
