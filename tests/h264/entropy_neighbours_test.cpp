#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "h264/stream/cabac.h"
#include "h264/stream/cabac_neighbours.h"
#include "h264/stream/cavlc.h"

namespace {

// Neighbours of the 4x4 luma blocks by luma4x4BlkIdx: a block of the current macroblock, or
// 100 + the block of macroblock A (left) or B (above).
constexpr int kLeftOf[16] = {105, 0, 107, 2, 1, 4, 3, 6, 113, 8, 115, 10, 9, 12, 11, 14};
constexpr int kUpOf[16] = {110, 111, 0, 1, 114, 115, 4, 5, 2, 3, 8, 9, 6, 7, 12, 13};
// The same for chroma4x4BlkIdx of one component.
constexpr int kChromaLeftOf[4] = {101, 0, 103, 2};
constexpr int kChromaUpOf[4] = {102, 103, 0, 1};

MbInfo record(int32_t mb_type) {
  MbInfo n{};
  n.available = 1;
  n.mb_type = mb_type;
  return n;
}

const MbInfo kUnavailable{};
const MbInfo kSkip = record(kMbPSkip);
const MbInfo kInter = record(kMbP16x16);
const MbInfo kINxN = record(kMbINxN);
const MbInfo kI16x16 = record(kMbI16x16First + 5);

// nC of block blk with the current macroblock's counts cur and neighbours a and b.
int nc_at(int blk, const uint8_t* cur, const MbInfo& a, const MbInfo& b) {
  CavlcCounts counts;
  cavlc_counts_begin(&counts, a, b);
  std::memcpy(counts.count, cur, 24);
  return cavlc_nc_of(counts, blk);
}

MbInfo pcm() {
  MbInfo n = record(kMbIPcm);
  n.coded_block_flags = kCbfAllBlocks;
  return n;
}

}  // namespace

TEST(EntropyCabacNeighbours, SpecialNeighboursOfMacroblockElements) {
  EXPECT_FALSE(cabac_cond_skip(kUnavailable));
  EXPECT_FALSE(cabac_cond_skip(kSkip));
  EXPECT_TRUE(cabac_cond_skip(pcm()));
  EXPECT_TRUE(cabac_cond_skip(kInter));

  EXPECT_FALSE(cabac_cond_mb_type_i(kUnavailable));
  EXPECT_FALSE(cabac_cond_mb_type_i(kINxN));
  EXPECT_TRUE(cabac_cond_mb_type_i(kI16x16));
  EXPECT_TRUE(cabac_cond_mb_type_i(pcm()));

  MbInfo chroma_mode = kINxN;
  chroma_mode.intra_chroma_pred_mode = 2;
  EXPECT_TRUE(cabac_cond_intra_chroma_pred_mode(chroma_mode));
  EXPECT_FALSE(cabac_cond_intra_chroma_pred_mode(kINxN));
  MbInfo pcm_mode = pcm();
  pcm_mode.intra_chroma_pred_mode = 2;
  EXPECT_FALSE(cabac_cond_intra_chroma_pred_mode(pcm_mode));
  MbInfo inter_mode = kInter;
  inter_mode.intra_chroma_pred_mode = 1;
  EXPECT_FALSE(cabac_cond_intra_chroma_pred_mode(inter_mode));
  chroma_mode.available = 0;
  EXPECT_FALSE(cabac_cond_intra_chroma_pred_mode(chroma_mode));

  MbInfo t8 = kInter;
  t8.transform_size_8x8_flag = 1;
  EXPECT_TRUE(cabac_cond_transform_size_8x8(t8));
  t8.available = 0;
  EXPECT_FALSE(cabac_cond_transform_size_8x8(t8));

  MbInfo coded = kInter;
  coded.coded_block_pattern = 0x25;
  EXPECT_EQ(cabac_cbp_neighbour(coded), 0x25u);
  EXPECT_EQ(cabac_cbp_neighbour(kUnavailable), kCabacCbpUnavailable);
  EXPECT_EQ(cabac_cbp_neighbour(kSkip), kCabacCbpSkip);
  EXPECT_EQ(cabac_cbp_neighbour(pcm()), kCabacCbpPcm);
}

TEST(EntropyCabacNeighbours, RefIdxLooksAtTheQuadrantOfTheNeighbouringBlock) {
  MbMotion motion_a{};
  MbMotion motion_b{};
  int8_t cur[4] = {0, 0, 0, 0};
  for (int blk : {0, 4, 8, 12, 2, 3, 6, 10}) {
    for (int q = 0; q < 4; ++q) {
      int8_t one_hot[4] = {0, 0, 0, 0};
      one_hot[q] = 2;
      std::copy(one_hot, one_hot + 4, motion_a.ref_idx);
      std::copy(one_hot, one_hot + 4, motion_b.ref_idx);
      CabacConds outside = cabac_ref_idx_conds(blk, cur, kInter, motion_a, kInter, motion_b);
      CabacConds inside = cabac_ref_idx_conds(blk, one_hot, kInter, MbMotion{}, kInter, MbMotion{});
      EXPECT_EQ(outside.a, kLeftOf[blk] >= 100 && ((kLeftOf[blk] - 100) >> 2) == q) << blk;
      EXPECT_EQ(inside.a, kLeftOf[blk] < 100 && (kLeftOf[blk] >> 2) == q) << blk;
      EXPECT_EQ(inside.b, kUpOf[blk] < 100 && (kUpOf[blk] >> 2) == q) << blk;
      EXPECT_EQ(outside.b, kUpOf[blk] >= 100 && ((kUpOf[blk] - 100) >> 2) == q) << blk;
    }
  }
  // Skipped, intra and unavailable neighbours count as reference index 0.
  motion_a.ref_idx[1] = 3;
  for (const MbInfo& n : {kSkip, kINxN, pcm(), kUnavailable}) {
    EXPECT_FALSE(cabac_ref_idx_conds(0, cur, n, motion_a, n, motion_a).a);
  }
}

TEST(EntropyCabacNeighbours, MvdSumsTheNeighbouringBlocks) {
  MbMotion motion_a{};
  MbMotion motion_b{};
  int16_t cur[16][2] = {};
  for (int i = 0; i < 16; ++i) {
    motion_a.mvd[i][1] = static_cast<int16_t>(-(1 << i % 8) * (i < 8 ? 1 : 256));
    motion_b.mvd[i][0] = static_cast<int16_t>(3 * i + 1);
    cur[i][0] = static_cast<int16_t>(-1000 - i);
  }
  EXPECT_EQ(cabac_abs_mvd_sum(0, 0, cur, kInter, motion_a, kInter, motion_b), 0u + 31u);
  EXPECT_EQ(cabac_abs_mvd_sum(0, 1, cur, kInter, motion_a, kInter, motion_b), 32u + 0u);
  EXPECT_EQ(cabac_abs_mvd_sum(8, 1, cur, kInter, motion_a, kInter, motion_b), 8192u);
  EXPECT_EQ(cabac_abs_mvd_sum(8, 0, cur, kInter, motion_a, kInter, motion_b), 1002u);
  EXPECT_EQ(cabac_abs_mvd_sum(13, 0, cur, kInter, motion_a, kInter, motion_b), 1012u + 1007u);
  EXPECT_EQ(cabac_abs_mvd_sum(5, 0, cur, kInter, motion_a, kInter, motion_b), 1004u + 46u);
  for (const MbInfo& n : {kSkip, kINxN, kUnavailable}) {
    EXPECT_EQ(cabac_abs_mvd_sum(0, 1, cur, n, motion_a, n, motion_b), 0u);
  }
}

TEST(EntropyCabacNeighbours, CodedBlockFlagOfLumaBlocks) {
  for (int cat : {kCatLumaAc, kCatLuma4x4}) {
    for (int blk = 0; blk < 16; ++blk) {
      for (int k = 0; k < 16; ++k) {
        MbInfo a = kInter;
        MbInfo b = kInter;
        a.coded_block_flags = 1u << k;
        b.coded_block_flags = 1u << k;
        CabacConds outside = cabac_coded_block_flag_conds(cat, blk, 0, false, a, b);
        EXPECT_EQ(outside.a, kLeftOf[blk] == 100 + k) << blk << " " << k;
        EXPECT_EQ(outside.b, kUpOf[blk] == 100 + k) << blk << " " << k;
        CabacConds inside = cabac_coded_block_flag_conds(cat, blk, 1u << k, false, kInter, kInter);
        EXPECT_EQ(inside.a, kLeftOf[blk] == k) << blk << " " << k;
        EXPECT_EQ(inside.b, kUpOf[blk] == k) << blk << " " << k;
      }
    }
  }
}

TEST(EntropyCabacNeighbours, CodedBlockFlagOfChromaBlocks) {
  for (int comp = 0; comp < 2; ++comp) {
    for (int c = 0; c < 4; ++c) {
      for (int k = 0; k < 4; ++k) {
        MbInfo a = kInter;
        a.coded_block_flags = cabac_coded_block_bits(kCatChromaAc, 4 * comp + k);
        CabacConds outside =
            cabac_coded_block_flag_conds(kCatChromaAc, 4 * comp + c, 0, false, a, a);
        EXPECT_EQ(outside.a, kChromaLeftOf[c] == 100 + k);
        EXPECT_EQ(outside.b, kChromaUpOf[c] == 100 + k);
        CabacConds inside = cabac_coded_block_flag_conds(
            kCatChromaAc, 4 * comp + c, a.coded_block_flags, false, kInter, kInter);
        EXPECT_EQ(inside.a, kChromaLeftOf[c] == k);
        EXPECT_EQ(inside.b, kChromaUpOf[c] == k);
        // The other component's blocks never count.
        a.coded_block_flags = cabac_coded_block_bits(kCatChromaAc, 4 * (1 - comp) + k);
        outside = cabac_coded_block_flag_conds(kCatChromaAc, 4 * comp + c, a.coded_block_flags,
                                               false, a, a);
        EXPECT_FALSE(outside.a || outside.b);
      }
    }
    MbInfo a = kInter;
    a.coded_block_flags = cabac_coded_block_bits(kCatChromaDc, comp);
    CabacConds dc = cabac_coded_block_flag_conds(kCatChromaDc, comp, 0, false, a, kInter);
    EXPECT_TRUE(dc.a);
    EXPECT_FALSE(dc.b);
    EXPECT_FALSE(cabac_coded_block_flag_conds(kCatChromaDc, 1 - comp, 0, false, a, a).a);
  }
}

TEST(EntropyCabacNeighbours, CodedBlockFlagOfSpecialNeighbours) {
  for (int cat = 0; cat < 5; ++cat) {
    // Blocks whose neighbours A and B both lie in other macroblocks (Cb and Cr for chroma).
    int second = cat == kCatChromaDc ? 1 : cat == kCatChromaAc ? 4 : 0;
    for (int blk : {0, second}) {
      CabacConds intra =
          cabac_coded_block_flag_conds(cat, blk, 0, true, kUnavailable, kUnavailable);
      CabacConds inter =
          cabac_coded_block_flag_conds(cat, blk, 0, false, kUnavailable, kUnavailable);
      EXPECT_TRUE(intra.a && intra.b) << cat;
      EXPECT_FALSE(inter.a || inter.b) << cat;
      CabacConds pcm_conds = cabac_coded_block_flag_conds(cat, blk, 0, false, pcm(), pcm());
      EXPECT_TRUE(pcm_conds.a && pcm_conds.b) << cat;
      CabacConds skip = cabac_coded_block_flag_conds(cat, blk, 0, true, kSkip, kSkip);
      EXPECT_FALSE(skip.a || skip.b) << cat;
    }
  }
  // The luma DC block of a neighbour counts only when it was coded (Intra_16x16).
  MbInfo dc = kI16x16;
  dc.coded_block_flags = cabac_coded_block_bits(kCatLumaDc, 0);
  EXPECT_TRUE(cabac_coded_block_flag_conds(kCatLumaDc, 0, 0, true, dc, kI16x16).a);
  EXPECT_FALSE(cabac_coded_block_flag_conds(kCatLumaDc, 0, 0, true, dc, kI16x16).b);
}

TEST(EntropyCabacNeighbours, AnEightByEightBlockMarksItsFourLumaBlocks) {
  EXPECT_EQ(cabac_coded_block_bits(kCatLuma8x8, 0), 0x000Fu);
  EXPECT_EQ(cabac_coded_block_bits(kCatLuma8x8, 3), 0xF000u);
  MbInfo a = kInter;
  a.coded_block_flags = cabac_coded_block_bits(kCatLuma8x8, 1);                       // blocks 4..7
  EXPECT_TRUE(cabac_coded_block_flag_conds(kCatLuma4x4, 0, 0, false, a, kInter).a);   // A5
  EXPECT_TRUE(cabac_coded_block_flag_conds(kCatLuma4x4, 2, 0, false, a, kInter).a);   // A7
  EXPECT_FALSE(cabac_coded_block_flag_conds(kCatLuma4x4, 8, 0, false, a, kInter).a);  // A13
  EXPECT_EQ(cabac_coded_block_bits(kCatLumaDc, 0) | cabac_coded_block_bits(kCatChromaDc, 1) |
                cabac_coded_block_bits(kCatChromaAc, 7) | cabac_coded_block_bits(kCatLuma4x4, 15),
            (1u << 24) | (1u << 26) | (1u << 23) | (1u << 15));
}

TEST(EntropyCavlcNeighbours, NcRoundsTheMeanOfTheLeftAndUpperCounts) {
  for (int blk = 0; blk < 16; ++blk) {
    for (int k = 0; k < 16; ++k) {
      uint8_t cur[24] = {};
      cur[k] = 9;
      int inside = (kLeftOf[blk] == k ? 9 : 0) + (kUpOf[blk] == k ? 9 : 0);
      EXPECT_EQ(nc_at(blk, cur, kInter, kInter), (inside + 1) >> 1) << blk << " " << k;
      MbInfo a = kInter;
      MbInfo b = kInter;
      a.total_coeff[k] = 7;
      b.total_coeff[k] = 3;
      cur[k] = 0;
      int outside = (kLeftOf[blk] == 100 + k ? 7 : 0) + (kUpOf[blk] == 100 + k ? 3 : 0);
      EXPECT_EQ(nc_at(blk, cur, a, b), (outside + 1) >> 1) << blk << " " << k;
    }
  }
  for (int comp = 0; comp < 2; ++comp) {
    for (int c = 0; c < 4; ++c) {
      for (int k = 0; k < 4; ++k) {
        uint8_t cur[24] = {};
        cur[16 + 4 * comp + k] = 4;
        cur[16 + 4 * (1 - comp) + k] = 100;  // the other component never counts
        int inside = (kChromaLeftOf[c] == k ? 4 : 0) + (kChromaUpOf[c] == k ? 4 : 0);
        EXPECT_EQ(nc_at(16 + 4 * comp + c, cur, kInter, kInter), (inside + 1) >> 1);
        MbInfo a = kInter;
        a.total_coeff[16 + 4 * comp + k] = 11;
        int outside = (kChromaLeftOf[c] == 100 + k ? 11 : 0) + (kChromaUpOf[c] == 100 + k ? 11 : 0);
        std::fill(cur, cur + 24, 0);
        EXPECT_EQ(nc_at(16 + 4 * comp + c, cur, a, a), (outside + 1) >> 1);
      }
    }
  }
}

TEST(EntropyCavlcNeighbours, NcLeavesOutUnavailableNeighbours) {
  uint8_t cur[24] = {};
  MbInfo a = kInter;
  MbInfo b = kInter;
  a.total_coeff[5] = 6;
  b.total_coeff[10] = 5;
  EXPECT_EQ(nc_at(0, cur, a, b), 6);
  EXPECT_EQ(nc_at(0, cur, kUnavailable, b), 5);
  EXPECT_EQ(nc_at(0, cur, a, kUnavailable), 6);
  EXPECT_EQ(nc_at(0, cur, kUnavailable, kUnavailable), 0);
  // Block 1 keeps its available left neighbour inside the macroblock.
  cur[0] = 2;
  EXPECT_EQ(nc_at(1, cur, kUnavailable, kUnavailable), 2);
}
