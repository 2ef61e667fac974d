// Inverse transforms, DC transforms and level placement against the standard's equations.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "h264/decoder/kernel_select.h"
#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"
#include "h264/recon/residual.h"
#include "h264/recon/residual_driver.h"

namespace {

ReconKernels portable_kernels() {
  ReconKernels k;
  decoder_recon_kernels_portable(&k);
  return k;
}

// Clause 8.5.12.2 in 32-bit arithmetic, written over whole matrices.
void reference_idct4x4(const int16_t* c, int* r) {
  int d[4][4], f[4][4], g[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) d[i][j] = c[4 * i + j];
  for (int i = 0; i < 4; ++i) {
    const int e0 = d[i][0] + d[i][2], e1 = d[i][0] - d[i][2];
    const int e2 = (d[i][1] >> 1) - d[i][3], e3 = d[i][1] + (d[i][3] >> 1);
    f[i][0] = e0 + e3;
    f[i][1] = e1 + e2;
    f[i][2] = e1 - e2;
    f[i][3] = e0 - e3;
  }
  for (int j = 0; j < 4; ++j) {
    const int g0 = f[0][j] + f[2][j], g1 = f[0][j] - f[2][j];
    const int g2 = (f[1][j] >> 1) - f[3][j], g3 = f[1][j] + (f[3][j] >> 1);
    g[0][j] = g0 + g3;
    g[1][j] = g1 + g2;
    g[2][j] = g1 - g2;
    g[3][j] = g0 - g3;
  }
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r[4 * i + j] = (g[i][j] + 32) >> 6;
}

// Clause 8.5.13.2 in 32-bit arithmetic.
void reference_idct8_line(const int* in, int* out) {
  int e[8], f[8];
  e[0] = in[0] + in[4];
  e[1] = -in[3] + in[5] - in[7] - (in[7] >> 1);
  e[2] = in[0] - in[4];
  e[3] = in[1] + in[7] - in[3] - (in[3] >> 1);
  e[4] = (in[2] >> 1) - in[6];
  e[5] = -in[1] + in[7] + in[5] + (in[5] >> 1);
  e[6] = in[2] + (in[6] >> 1);
  e[7] = in[3] + in[5] + in[1] + (in[1] >> 1);
  f[0] = e[0] + e[6];
  f[1] = e[1] + (e[7] >> 2);
  f[2] = e[2] + e[4];
  f[3] = e[3] + (e[5] >> 2);
  f[4] = e[2] - e[4];
  f[5] = (e[3] >> 2) - e[5];
  f[6] = e[0] - e[6];
  f[7] = e[7] - (e[1] >> 2);
  out[0] = f[0] + f[7];
  out[1] = f[2] + f[5];
  out[2] = f[4] + f[3];
  out[3] = f[6] + f[1];
  out[4] = f[6] - f[1];
  out[5] = f[4] - f[3];
  out[6] = f[2] - f[5];
  out[7] = f[0] - f[7];
}

void reference_idct8x8(const int16_t* c, int* r) {
  int rows[64];
  for (int i = 0; i < 8; ++i) {
    int in[8];
    for (int j = 0; j < 8; ++j) in[j] = c[8 * i + j];
    reference_idct8_line(in, rows + 8 * i);
  }
  for (int j = 0; j < 8; ++j) {
    int in[8], out[8];
    for (int i = 0; i < 8; ++i) in[i] = rows[8 * i + j];
    reference_idct8_line(in, out);
    for (int i = 0; i < 8; ++i) r[8 * i + j] = (out[i] + 32) >> 6;
  }
}

TEST(ReconTransform, Idct4x4MatchesStandardAndWritesStride8Only) {
  const ReconKernels k = portable_kernels();
  std::mt19937 rng(4);
  std::uniform_int_distribution<int> coeff(-2048, 2047);
  for (int round = 0; round < 2000; ++round) {
    int16_t c[16];
    for (int16_t& v : c) v = static_cast<int16_t>(round % 3 == 0 ? coeff(rng) / 64 : coeff(rng));
    int16_t dst[32];
    for (int16_t& v : dst) v = 0x5555;
    k.idct4x4(c, dst);
    int expected[16];
    reference_idct4x4(c, expected);
    for (int i = 0; i < 16; ++i) ASSERT_EQ(dst[8 * (i / 4) + i % 4], expected[i]) << i;
    for (int y = 0; y < 4; ++y)
      for (int x = 4; x < 8; ++x) ASSERT_EQ(dst[8 * y + x], 0x5555);
  }
}

TEST(ReconTransform, Idct4x4HandComputed) {
  const ReconKernels k = portable_kernels();
  int16_t c[16] = {};
  int16_t dst[32] = {};
  c[0] = 64;  // flat: (64 + 32) >> 6 = 1 everywhere
  k.idct4x4(c, dst);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst[8 * y + x], 1);
  // A first horizontal AC of 128: row pass gives 128, 64, -64, -128 in every row.
  c[0] = 0;
  c[1] = 128;
  k.idct4x4(c, dst);
  const int16_t row[4] = {2, 1, -1, -2};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst[8 * y + x], row[x]) << x << "," << y;
}

TEST(ReconTransform, Idct8x8MatchesStandard) {
  const ReconKernels k = portable_kernels();
  std::mt19937 rng(8);
  std::uniform_int_distribution<int> coeff(-1024, 1023);
  for (int round = 0; round < 1000; ++round) {
    int16_t c[64];
    for (int16_t& v : c) v = static_cast<int16_t>(coeff(rng) >> (round % 4));
    int16_t dst[64];
    k.idct8x8(c, dst);
    int expected[64];
    reference_idct8x8(c, expected);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(dst[i], expected[i]) << i;
  }
  int16_t c[64] = {};
  c[0] = -64;
  int16_t dst[64];
  k.idct8x8(c, dst);
  for (int16_t v : dst) EXPECT_EQ(v, -1);  // (-64 + 32) >> 6
}

TEST(ReconTransform, DcFillEqualsTransformOfDcOnlyBlock) {
  // The residual driver fills 4x4 and 8x8 blocks that hold only their DC instead of transforming
  // them, with either kernel build.
  for (int build : {KERNELS_PORTABLE, KERNELS_SSE2}) {
    ReconKernels k;
    ASSERT_TRUE(decoder_fill_kernels(&k, build));
    for (int dc = -32768; dc <= 32767; ++dc) {
      int16_t c[64] = {static_cast<int16_t>(dc)};
      int16_t by_kernel[64] = {}, by_fill[64] = {};
      k.idct4x4(c, by_kernel);
      decoder_fill_dc_block(by_fill, static_cast<int16_t>(dc));
      ASSERT_EQ(std::memcmp(by_kernel, by_fill, sizeof by_kernel), 0) << build << " " << dc;
      k.idct8x8(c, by_kernel);
      decoder_fill_dc_block_8x8(by_fill, static_cast<int16_t>(dc));
      ASSERT_EQ(std::memcmp(by_kernel, by_fill, sizeof by_kernel), 0) << build << " 8x8 " << dc;
    }
  }
}

// Flat lists (16 everywhere) for every list.
LevelScaleTables flat_tables() {
  uint8_t lists4[6][16], lists8[2][64];
  std::memset(lists4, 16, sizeof lists4);
  std::memset(lists8, 16, sizeof lists8);
  LevelScaleTables t;
  decoder_build_level_scale(&t, lists4, lists8);
  return t;
}

TEST(ReconLevelScale, FlatAndDefaultMatrices) {
  const LevelScaleTables flat = flat_tables();
  // normAdjust4x4 for m = 0: 10 at even/even, 16 at odd/odd, 13 elsewhere.
  EXPECT_EQ(flat.scale4x4[0][0][0], 160);
  EXPECT_EQ(flat.scale4x4[3][0][5], 256);
  EXPECT_EQ(flat.scale4x4[5][0][1], 208);
  EXPECT_EQ(flat.scale4x4[2][5][15], 16 * 29);
  // normAdjust8x8 for m = 3: positions of all six classes.
  EXPECT_EQ(flat.scale8x8[1][3][0], 16 * 28);
  EXPECT_EQ(flat.scale8x8[1][3][9], 16 * 25);
  EXPECT_EQ(flat.scale8x8[1][3][18], 16 * 45);
  EXPECT_EQ(flat.scale8x8[1][3][8], 16 * 26);
  EXPECT_EQ(flat.scale8x8[1][3][16], 16 * 35);
  EXPECT_EQ(flat.scale8x8[1][3][2 + 8], 16 * 33);

  uint8_t lists4[6][16], lists8[2][64];
  for (auto& l : lists4) std::memcpy(l, decoder_default_4x4_intra, 16);
  std::memcpy(lists8[0], decoder_default_8x8_intra, 64);
  std::memcpy(lists8[1], decoder_default_8x8_inter, 64);
  lists4[4][3] = 99;  // zig-zag index 3 is x = 0, y = 2
  LevelScaleTables t;
  decoder_build_level_scale(&t, lists4, lists8);
  EXPECT_EQ(t.scale4x4[0][0][0], 6 * 10);
  EXPECT_EQ(t.scale4x4[0][0][1], 13 * 13);  // zig-zag index 1 is x = 1, y = 0
  EXPECT_EQ(t.scale4x4[4][2][8], 99 * 13);
  EXPECT_EQ(t.scale4x4[0][2][8], 20 * 13);
  EXPECT_EQ(t.scale8x8[0][0][63], 42 * 18);
  EXPECT_EQ(t.scale8x8[1][0][8], 13 * 19);  // zig-zag index 2 is x = 0, y = 1
}

// The residual driver's placements, filled from levels and runs as the CAVLC reader fills them.
void place_4x4(int16_t* c, const int32_t* level, const uint8_t* run, int count, int start,
               const uint16_t (*scale)[16], int qp, int field) {
  decoder_place_levels(residual_detail::placement_4x4(c, scale, qp, field, start), level, run,
                       count, 16 - start);
}
void place_8x8(int16_t* c, const int32_t* level, const uint8_t* run, int count, int first, int step,
               const uint16_t (*scale)[64], int qp, int field) {
  decoder_place_levels(residual_detail::placement_8x8(c, scale, qp, field, first, step), level, run,
                       count, 64 / step);
}
void place_luma_dc(int16_t* c, const int32_t* level, const uint8_t* run, int count, int field) {
  decoder_place_levels(residual_detail::dc_placement(c, decoder_scan4x4[field]), level, run, count,
                       16);
}
void place_chroma_dc(int16_t* c, const int32_t* level, const uint8_t* run, int count) {
  decoder_place_levels(residual_detail::dc_placement(c, residual_detail::kChromaDcScan), level, run,
                       count, 4);
}

// The level scaling of clause 8.5.12.1 with the standard's two branches.
int standard_scale_4x4(int c, int ls, int qp) {
  if (qp >= 24) return (c * ls) << (qp / 6 - 4);
  return (c * ls + (1 << (3 - qp / 6))) >> (4 - qp / 6);
}
int standard_scale_8x8(int c, int ls, int qp) {
  if (qp >= 36) return (c * ls) << (qp / 6 - 6);
  return (c * ls + (1 << (5 - qp / 6))) >> (6 - qp / 6);
}

TEST(ReconPlacement, Scaling4x4AtQp0And24) {
  const LevelScaleTables t = flat_tables();
  const int32_t level[1] = {1};
  const uint8_t run[1] = {0};
  int16_t c[16] = {};
  place_4x4(c, level, run, 1, 0, t.scale4x4[0], 0, 0);
  EXPECT_EQ(c[0], 10);  // (160 + 8) >> 4
  place_4x4(c, level, run, 1, 0, t.scale4x4[0], 24, 0);
  EXPECT_EQ(c[0], 160);
}

TEST(ReconPlacement, ScalingFollowsStandardForEveryQp) {
  uint8_t lists4[6][16], lists8[2][64];
  for (auto& l : lists4) std::memcpy(l, decoder_default_4x4_inter, 16);
  std::memcpy(lists8[0], decoder_default_8x8_intra, 64);
  std::memcpy(lists8[1], decoder_default_8x8_inter, 64);
  LevelScaleTables t;
  decoder_build_level_scale(&t, lists4, lists8);
  const int32_t levels[] = {1, -1, 3, -7, 25, -100, 255, -2063};
  for (int qp = 0; qp < 52; ++qp) {
    for (int32_t level : levels) {
      for (int idx = 0; idx < 16; ++idx) {
        int16_t c[16] = {};
        const uint8_t run[1] = {static_cast<uint8_t>(idx)};
        place_4x4(c, &level, run, 1, 0, t.scale4x4[3], qp, 0);
        const int pos = decoder_scan4x4[0][idx];
        const int expected = standard_scale_4x4(level, t.scale4x4[3][qp % 6][pos], qp);
        ASSERT_EQ(c[pos], static_cast<int16_t>(expected)) << qp << " " << idx;
      }
      for (int idx = 0; idx < 64; idx += 5) {
        int16_t c[64] = {};
        const uint8_t run[1] = {static_cast<uint8_t>(idx)};
        place_8x8(c, &level, run, 1, 0, 1, t.scale8x8[1], qp, 0);
        const int pos = decoder_scan8x8[0][idx];
        const int expected = standard_scale_8x8(level, t.scale8x8[1][qp % 6][pos], qp);
        ASSERT_EQ(c[pos], static_cast<int16_t>(expected)) << qp << " " << idx;
      }
    }
  }
}

TEST(ReconPlacement, RunsScansAndStartIndex) {
  const LevelScaleTables t = flat_tables();
  const int32_t level[3] = {1, 2, 3};
  const uint8_t run[3] = {1, 0, 2};  // scan indexes 1, 2, 5 (start 0) or 2, 3, 6 (start 1)
  int16_t frame[16] = {}, field[16] = {}, ac[16] = {};
  place_4x4(frame, level, run, 3, 0, t.scale4x4[0], 24, 0);
  place_4x4(field, level, run, 3, 0, t.scale4x4[0], 24, 1);
  place_4x4(ac, level, run, 3, 1, t.scale4x4[0], 24, 0);
  // Frame zig-zag: index 1 -> (1,0), 2 -> (0,1), 5 -> (2,0).
  const int16_t frame_expected[16] = {0, 208, 480, 0, 416, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // Field scan: index 1 -> (0,1), 2 -> (1,0), 5 -> (1,1).
  const int16_t field_expected[16] = {0, 416, 0, 0, 208, 768, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // Frame zig-zag from 1: index 2 -> (0,1), 3 -> (0,2), 6 -> (3,0).
  const int16_t ac_expected[16] = {0, 0, 0, 624, 208, 0, 0, 0, 320, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(frame[i], frame_expected[i]) << i;
    EXPECT_EQ(field[i], field_expected[i]) << i;
    EXPECT_EQ(ac[i], ac_expected[i]) << i;
  }
}

TEST(ReconPlacement, EightByEightInterleavedListsAndFieldScan) {
  const LevelScaleTables t = flat_tables();
  // CAVLC list j, entry k lands on 8x8 scan index 4k + j.
  const int32_t level[2] = {1, 1};
  const uint8_t run[2] = {0, 1};  // entries 0 and 2
  for (int field = 0; field < 2; ++field) {
    for (int list = 0; list < 4; ++list) {
      int16_t c[64] = {};
      place_8x8(c, level, run, 2, list, 4, t.scale8x8[0], 36, field);
      int nonzero = 0;
      for (int16_t v : c) nonzero += v != 0;
      EXPECT_EQ(nonzero, 2);
      EXPECT_NE(c[decoder_scan8x8[field][list]], 0);
      EXPECT_NE(c[decoder_scan8x8[field][8 + list]], 0);
    }
  }
  // Field 8x8 scan index 1 is (0, 1); at qP 36 a level scales to LevelScale8x8 exactly.
  int16_t c[64] = {};
  const uint8_t run1[1] = {1};
  place_8x8(c, level, run1, 1, 0, 1, t.scale8x8[0], 36, 1);
  EXPECT_EQ(c[8], 16 * 19);
}

TEST(ReconPlacement, CorruptRunsStayInsideTheBlock) {
  const LevelScaleTables t = flat_tables();
  int32_t level[16];
  uint8_t run[16];
  for (int i = 0; i < 16; ++i) {
    level[i] = 1000000 * (i + 1);
    run[i] = 200;
  }
  struct {
    int16_t guard_before[8];
    int16_t c[64];
    int16_t guard_after[8];
  } block = {};
  place_4x4(block.c, level, run, 16, 1, t.scale4x4[0], 51, 1);
  place_8x8(block.c, level, run, 16, 3, 4, t.scale8x8[0], 51, 0);
  place_luma_dc(block.c, level, run, 16, 0);
  place_chroma_dc(block.c, level, run, 16);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(block.guard_before[i], 0);
    EXPECT_EQ(block.guard_after[i], 0);
  }
}

TEST(ReconDcTransform, LumaDcMatchesMatrixFormForEveryQp) {
  const LevelScaleTables t = flat_tables();
  const int h[4][4] = {{1, 1, 1, 1}, {1, 1, -1, -1}, {1, -1, -1, 1}, {1, -1, 1, -1}};
  std::mt19937 rng(16);
  std::uniform_int_distribution<int> level(-300, 300);
  for (int qp = 0; qp < 52; ++qp) {
    int16_t c[16];
    for (int16_t& v : c) v = static_cast<int16_t>(level(rng));
    int f[16] = {};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        for (int a = 0; a < 4; ++a)
          for (int b = 0; b < 4; ++b) f[4 * i + j] += h[i][a] * c[4 * a + b] * h[b][j];
    int16_t dc[16];
    std::memcpy(dc, c, sizeof dc);
    decoder_luma_dc_transform(dc, t.scale4x4[0], qp);
    const int ls = t.scale4x4[0][qp % 6][0];
    for (int i = 0; i < 16; ++i) {
      const int expected = qp >= 36 ? (f[i] * ls) << (qp / 6 - 6)
                                    : (f[i] * ls + (1 << (5 - qp / 6))) >> (6 - qp / 6);
      ASSERT_EQ(dc[i], static_cast<int16_t>(expected)) << qp << " " << i;
    }
  }
}

TEST(ReconDcTransform, SingleLumaDcLevelGivesSixteenFlatBlocks) {
  const LevelScaleTables t = flat_tables();
  int16_t dc[16] = {};
  const int32_t level[1] = {1};
  const uint8_t run[1] = {0};
  place_luma_dc(dc, level, run, 1, 0);
  decoder_luma_dc_transform(dc, t.scale4x4[0], 24);
  int16_t residual[256];
  for (int blk = 0; blk < 16; ++blk) {
    EXPECT_EQ(dc[blk], 40);  // ((1 x 160) << 4 + 32) >> 6
    decoder_fill_dc_block(residual + decoder_luma4x4_offset[blk], dc[blk]);
  }
  for (int16_t v : residual) EXPECT_EQ(v, 1);  // (40 + 32) >> 6
}

TEST(ReconDcTransform, ChromaDcMatchesMatrixForm) {
  const LevelScaleTables t = flat_tables();
  const int16_t c[4] = {5, -3, 2, 7};
  // [1 1; 1 -1] c [1 1; 1 -1]
  const int f[4] = {5 - 3 + 2 + 7, 5 + 3 + 2 - 7, 5 - 3 - 2 - 7, 5 + 3 - 2 + 7};
  for (int qp = 0; qp < 52; ++qp) {
    int16_t dc[4];
    std::memcpy(dc, c, sizeof dc);
    decoder_chroma_dc_transform(dc, t.scale4x4[1], qp);
    const int ls = t.scale4x4[1][qp % 6][0];
    for (int i = 0; i < 4; ++i) ASSERT_EQ(dc[i], ((f[i] * ls) << (qp / 6)) >> 5) << qp;
  }
  // Chroma DC placement is in raster order for frames and fields alike.
  int16_t placed[4] = {};
  const int32_t level[2] = {4, -4};
  const uint8_t run[2] = {1, 1};
  place_chroma_dc(placed, level, run, 2);
  EXPECT_EQ(placed[1], 4);
  EXPECT_EQ(placed[3], -4);
}

TEST(ReconTables, QpSplitAndChromaQp) {
  for (int qp = 0; qp < 52; ++qp) {
    EXPECT_EQ(decoder_qp_split[qp] >> 4, qp / 6);
    EXPECT_EQ(decoder_qp_split[qp] & 15, qp % 6);
  }
  EXPECT_EQ(decoder_chroma_qp[29], 29);
  EXPECT_EQ(decoder_chroma_qp[30], 29);
  EXPECT_EQ(decoder_chroma_qp[51], 39);
}

TEST(ReconTables, ScansArePermutations) {
  for (int field = 0; field < 2; ++field) {
    bool seen4[16] = {}, seen8[64] = {};
    for (int i = 0; i < 16; ++i) seen4[decoder_scan4x4[field][i]] = true;
    for (int i = 0; i < 64; ++i) seen8[decoder_scan8x8[field][i]] = true;
    for (bool s : seen4) EXPECT_TRUE(s);
    for (bool s : seen8) EXPECT_TRUE(s);
  }
}

}  // namespace
