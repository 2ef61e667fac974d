// The residual driver: syntax order of the block reads, DC paths, stale quadrants, counts.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"
#include "h264/recon/residual.h"

namespace {

struct ScriptedBlock {
  std::vector<int32_t> level;
  std::vector<uint8_t> run;
  bool fail = false;
};

// Entropy decoder stand-in: answers every read from a script and records the order of reads.
struct ScriptedReader {
  std::map<std::pair<int, int>, ScriptedBlock> blocks;
  std::vector<std::pair<int, int>> calls;

  static int read(void* ctx, int kind, int index, const CoeffPlacement* p) {
    auto* self = static_cast<ScriptedReader*>(ctx);
    self->calls.emplace_back(kind, index);
    const auto it = self->blocks.find({kind, index});
    if (it == self->blocks.end()) return 0;
    if (it->second.fail) return -1;
    const int count = static_cast<int>(it->second.level.size());
    decoder_place_levels(*p, it->second.level.data(), it->second.run.data(), count, 16);
    return count;
  }
};

class ReconResidual : public ::testing::Test {
 protected:
  void SetUp() override {
    decoder_recon_kernels_portable(&k_);
    uint8_t lists4[6][16], lists8[2][64];
    std::memset(lists4, 16, sizeof lists4);
    std::memset(lists8, 16, sizeof lists8);
    decoder_build_level_scale(&tables_, lists4, lists8);
    std::memset(&wa_, 0, sizeof wa_);
    std::memset(&cur_, 0, sizeof cur_);
    for (int16_t& r : wa_.residual) r = 999;  // stale values
    wa_.qp = wa_.qp_cb = wa_.qp_cr = 24;
  }

  int run(int field = 0, int interleaved = 1) {
    const ResidualReader r{ScriptedReader::read, &reader_, interleaved};
    return decoder_residual_mb(&k_, &wa_, &cur_, &tables_, field, &r);
  }

  int16_t luma_residual(int x, int y) const { return wa_.residual[luma_sample_offset(x, y)]; }

  ReconKernels k_;
  LevelScaleTables tables_;
  MbWorkArea wa_;
  MbInfo cur_;
  ScriptedReader reader_;
};

using Calls = std::vector<std::pair<int, int>>;

TEST_F(ReconResidual, Intra16x16SingleDcLevelWithoutAc) {
  wa_.mb_type = kMbI16x16First;
  wa_.coded_block_pattern = 0;
  reader_.blocks[{kResidualLumaDc, 0}] = {{1}, {0}};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(reader_.calls, (Calls{{kResidualLumaDc, 0}}));
  for (int i = 0; i < 256; ++i) ASSERT_EQ(wa_.residual[i], 1);  // (40 + 32) >> 6
  for (int i = 256; i < 384; ++i) ASSERT_EQ(wa_.residual[i], 999);
  for (uint8_t n : cur_.total_coeff) EXPECT_EQ(n, 0);
}

TEST_F(ReconResidual, Intra16x16AcBlocksTakeTheirDcFromTheMatrix) {
  wa_.mb_type = kMbI16x16First + 12;
  wa_.coded_block_pattern = 15;
  // DC level 16 at matrix position 1 (row 0, column 1): dcY differs in sign between columns.
  reader_.blocks[{kResidualLumaDc, 0}] = {{16}, {1}};
  reader_.blocks[{kResidualLumaAc, 6}] = {{2}, {0}};  // block 6: first AC, scan index 1
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(reader_.calls.size(), 17u);
  for (int blk = 0; blk < 16; ++blk) EXPECT_EQ(reader_.calls[1 + blk], std::make_pair(1, blk));
  // f = c x H: columns 0..3 of every row get 16, 16, -16, -16; dcY = (f x 160 << 4 + 32) >> 6.
  EXPECT_EQ(luma_residual(0, 0), (640 + 32) >> 6);
  EXPECT_EQ(luma_residual(15, 15), (-640 + 32) >> 6);
  int16_t coeff[16] = {-640, 2 * 208};  // block 6 lies in matrix column 2
  int16_t expected[32];
  k_.idct4x4(coeff, expected);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(luma_residual(8 + x, 4 + y), expected[8 * y + x]);
  EXPECT_EQ(cur_.total_coeff[6], 1);
  EXPECT_EQ(cur_.total_coeff[7], 0);
}

TEST_F(ReconResidual, FourByFourQuadrantsAndCounts) {
  wa_.mb_type = kMbP16x16;
  wa_.coded_block_pattern = 0x01 | 0x08;
  reader_.blocks[{kResidualLuma4x4, 1}] = {{64}, {0}};
  reader_.blocks[{kResidualLuma4x4, 13}] = {{-3, 1}, {0, 2}};
  cur_.total_coeff[5] = 9;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(reader_.calls,
            (Calls{{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 12}, {2, 13}, {2, 14}, {2, 15}}));
  // Block 1: a DC of 64 x 160 = 10240: (10240 + 32) >> 6 = 160 everywhere.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(luma_residual(4 + x, y), 160);
      EXPECT_EQ(luma_residual(x, y), 0);        // coded quadrant, empty block: zero
      EXPECT_EQ(luma_residual(8 + x, y), 999);  // quadrant 1 not coded: untouched
    }
  EXPECT_EQ(cur_.total_coeff[1], 1);
  EXPECT_EQ(cur_.total_coeff[13], 2);
  EXPECT_EQ(cur_.total_coeff[5], 0);
  EXPECT_EQ(cur_.coded_blocks, (1 << 1) | (1 << 13));
}

TEST_F(ReconResidual, FieldScanPlacesTheSecondLevelBelowTheDc) {
  wa_.mb_type = kMbINxN;
  wa_.coded_block_pattern = 1;
  reader_.blocks[{kResidualLuma4x4, 0}] = {{8}, {1}};  // scan index 1
  run(1);
  int16_t coeff[16] = {};
  coeff[4] = static_cast<int16_t>(8 * 208);  // (0, 1) in the field scan
  int16_t expected[32];
  k_.idct4x4(coeff, expected);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(luma_residual(x, y), expected[8 * y + x]);
  EXPECT_NE(luma_residual(0, 0), luma_residual(0, 3));
}

TEST_F(ReconResidual, EightByEightFromInterleavedListsOrOneList) {
  wa_.mb_type = kMbINxN;
  wa_.transform_size_8x8_flag = 1;
  wa_.coded_block_pattern = 0x4;
  reader_.blocks[{kResidualLuma8x8, 9}] = {{5, 7}, {0, 0}};  // list 1: scan indexes 1 and 5
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(reader_.calls, (Calls{{3, 8}, {3, 9}, {3, 10}, {3, 11}}));
  int16_t coeff[64] = {};
  coeff[decoder_scan8x8[0][1]] =
      static_cast<int16_t>((5 * tables_.scale8x8[0][0][decoder_scan8x8[0][1]] + 2) >> 2);
  coeff[decoder_scan8x8[0][5]] =
      static_cast<int16_t>((7 * tables_.scale8x8[0][0][decoder_scan8x8[0][5]] + 2) >> 2);
  int16_t expected[64];
  k_.idct8x8(coeff, expected);
  EXPECT_EQ(std::memcmp(wa_.residual + 128, expected, sizeof expected), 0);
  EXPECT_EQ(cur_.total_coeff[9], 2);
  EXPECT_EQ(cur_.total_coeff[8], 0);
  EXPECT_EQ(cur_.coded_blocks, 0x0F00);

  reader_.calls.clear();
  reader_.blocks[{kResidualLuma8x8, 2}] = {{5, 7}, {1, 3}};  // one list: scan indexes 1 and 5
  run(0, 0);
  EXPECT_EQ(reader_.calls, (Calls{{3, 2}}));
  EXPECT_EQ(std::memcmp(wa_.residual + 128, expected, sizeof expected), 0);
  for (int i = 8; i < 12; ++i) EXPECT_EQ(cur_.total_coeff[i], 1);

  // A lone DC: the block is filled without the transform, with the same result.
  reader_.blocks[{kResidualLuma8x8, 2}] = {{-9}, {0}};
  run(0, 0);
  std::memset(coeff, 0, sizeof coeff);
  coeff[0] = static_cast<int16_t>((-9 * tables_.scale8x8[0][0][0] + 2) >> 2);
  k_.idct8x8(coeff, expected);
  EXPECT_EQ(std::memcmp(wa_.residual + 128, expected, sizeof expected), 0);
  EXPECT_EQ(cur_.coded_blocks, 0x0F00);
}

TEST_F(ReconResidual, ChromaPatternsAndSyntaxOrder) {
  wa_.mb_type = kMbP16x16;
  wa_.coded_block_pattern = 0x10;
  reader_.blocks[{kResidualChromaDc, 1}] = {{2}, {0}};  // Cr: f = 2 everywhere
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(reader_.calls, (Calls{{4, 0}, {4, 1}}));
  // dcC = (2 x 160 << 4) >> 5 = 160, flat value (160 + 32) >> 6 = 3.
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(wa_.residual[kResidualCb + i], 0);
    ASSERT_EQ(wa_.residual[kResidualCr + i], 3);
  }

  reader_.calls.clear();
  wa_.coded_block_pattern = 0x20;
  reader_.blocks[{kResidualChromaAc, 6}] = {{1}, {0}};
  cur_.total_coeff[20] = 7;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(
      reader_.calls,
      (Calls{{4, 0}, {4, 1}, {5, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 5}, {5, 6}, {5, 7}}));
  EXPECT_EQ(cur_.total_coeff[22], 1);
  EXPECT_EQ(cur_.total_coeff[20], 0);
  int16_t coeff[16] = {160, 208};
  int16_t expected[32];
  k_.idct4x4(coeff, expected);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(wa_.residual[kResidualCr + 32 + 8 * y + x], expected[8 * y + x]);
}

TEST_F(ReconResidual, FailedBlockIsReportedAndDecodingContinues) {
  wa_.mb_type = kMbINxN;
  wa_.coded_block_pattern = 0x2F;
  reader_.blocks[{kResidualLuma4x4, 3}].fail = true;
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(reader_.calls.size(), 16u + 2u + 8u);
}

}  // namespace
