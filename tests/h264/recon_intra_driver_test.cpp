// Intra macroblock drivers: border fill, mode derivation, availability errors, I_PCM, and the
// unfiltered samples that the finish step leaves for them.
#include <gtest/gtest.h>

#include <cstring>

#include "h264/recon/deblock.h"
#include "h264/recon/intra.h"
#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

class ReconIntraDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    decoder_recon_kernels_portable(&k_);
    std::memset(&wa_, 0, sizeof wa_);
    for (MbInfo* m : {&cur_, &a_, &b_, &c_, &d_}) {
      std::memset(m, 0, sizeof *m);
      m->available = 1;
      m->mb_type = kMbINxN;
    }
    cur_.available = 0;
    for (int i = 0; i < 16; ++i) {
      wa_.right_luma[i] = static_cast<uint8_t>(40 + i);
      a_.bottom_luma[i] = static_cast<uint8_t>(200 - i);
      b_.bottom_luma[i] = static_cast<uint8_t>(100 + 2 * i);
      c_.bottom_luma[i] = static_cast<uint8_t>(10 + i);
      d_.bottom_luma[i] = static_cast<uint8_t>(i == 15 ? 77 : 0);
    }
    for (int i = 0; i < 8; ++i) {
      wa_.right_cb[i] = wa_.right_cr[i] = 60;
      b_.bottom_cb[i] = b_.bottom_cr[i] = 20;
    }
    wa_.mb_type = kMbINxN;
    cur_.mb_type = kMbINxN;
    std::memset(wa_.prev_intra_pred_mode_flag, 1, 16);
    n_ = {&a_, &b_, &c_, &d_, 0};
  }

  uint8_t luma(int x, int y) const { return wa_.luma[luma_sample_offset(x, y)]; }

  ReconKernels k_;
  MbWorkArea wa_;
  MbInfo cur_, a_, b_, c_, d_;
  IntraNeighbours n_;
};

TEST_F(ReconIntraDriver, TopLeftCornerDcEverywherePredicts128) {
  const IntraNeighbours none{nullptr, nullptr, nullptr, nullptr, 0};
  for (int16_t& r : wa_.residual) r = 55;  // stale; cbp 0
  EXPECT_EQ(decoder_intra4x4_mb(&k_, &wa_, &cur_, &none), 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(luma(x, y), 128);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(wa_.cb[i], 128);
  for (int mode : cur_.intra_pred_mode) EXPECT_EQ(mode, 2);
}

TEST_F(ReconIntraDriver, PredictedModeIsTheSmallerNeighbourMode) {
  // Block 0: A's block 5 has mode 6, B's block 10 mode 4; predicted 4.
  a_.intra_pred_mode[5] = 6;
  b_.intra_pred_mode[10] = 4;
  // Block 1 (left: block 0, top: B's block 11 with mode 1); rem 0 < predicted 1 gives 0.
  b_.intra_pred_mode[11] = 1;
  wa_.prev_intra_pred_mode_flag[1] = 0;
  wa_.rem_intra_pred_mode[1] = 0;
  // Block 4 (left: block 1 = 0, top: B's block 14 = 3): predicted 0, rem 5 gives 6.
  b_.intra_pred_mode[14] = 3;
  wa_.prev_intra_pred_mode_flag[4] = 0;
  wa_.rem_intra_pred_mode[4] = 5;
  // Block 2 takes A's block 7 only through A's type: an I_16x16 neighbour counts as DC.
  EXPECT_EQ(decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_), 0);
  EXPECT_EQ(cur_.intra_pred_mode[0], 4);
  EXPECT_EQ(cur_.intra_pred_mode[1], 0);
  EXPECT_EQ(cur_.intra_pred_mode[4], 6);

  a_.mb_type = kMbI16x16First + 5;
  a_.intra_pred_mode[5] = 0;
  b_.intra_pred_mode[10] = 8;
  wa_.prev_intra_pred_mode_flag[1] = 1;
  decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_);
  EXPECT_EQ(cur_.intra_pred_mode[0], 2);
  EXPECT_EQ(cur_.intra_pred_mode[1], 1);  // min(block 0 = 2, B's block 11 = 1)
}

TEST_F(ReconIntraDriver, ConstrainedIntraTreatsInterNeighbourAsMissing) {
  a_.mb_type = kMbI16x16First;  // A counts as DC in the mode prediction
  b_.mb_type = kMbP16x16;
  n_.constrained_intra_pred_flag = 1;
  wa_.prev_intra_pred_mode_flag[0] = 0;
  wa_.rem_intra_pred_mode[0] = 0;  // predicted mode 2 (B missing), rem 0: Vertical
  EXPECT_NE(decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_), 0);
  EXPECT_EQ(cur_.intra_pred_mode[0], 0);

  std::memset(wa_.prev_intra_pred_mode_flag, 1, 16);
  EXPECT_EQ(decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_), 0);
  // DC of block 0 from the left samples 40..43 only.
  EXPECT_EQ(luma(0, 0), (40 + 41 + 42 + 43 + 2) >> 2);
  n_.constrained_intra_pred_flag = 0;
  decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_);
  EXPECT_EQ(luma(0, 0), (40 + 41 + 42 + 43 + 100 + 102 + 104 + 106 + 4) >> 3);
}

TEST_F(ReconIntraDriver, BlockFiveTopRightFromCOrReplicatedB) {
  for (int blk = 0; blk < 16; ++blk) {
    wa_.prev_intra_pred_mode_flag[blk] = 0;
    wa_.rem_intra_pred_mode[blk] = 2;  // predicted 2 everywhere: rem 2 gives mode 3
  }
  a_.mb_type = b_.mb_type = kMbI16x16First;
  decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_);
  ASSERT_EQ(cur_.intra_pred_mode[5], 3);
  // Diagonal down left at (3, 3) of block 5: (p[6, -1] + 3 p[7, -1] + 2) >> 2 with C's 12, 13.
  EXPECT_EQ(luma(15, 3), (12 + 3 * 13 + 2) >> 2);
  c_.available = 0;
  decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_);
  EXPECT_EQ(luma(15, 3), 130);  // B(15, -1) = 130 replicated
}

TEST_F(ReconIntraDriver, SixteenBySixteenAndChromaAvailabilityErrors) {
  wa_.intra16x16_pred_mode = 0;
  EXPECT_EQ(decoder_intra16x16_mb(&k_, &wa_, &cur_, &n_), 0);
  EXPECT_EQ(luma(7, 9), 114);
  b_.available = 0;
  EXPECT_NE(decoder_intra16x16_mb(&k_, &wa_, &cur_, &n_), 0);
  wa_.intra16x16_pred_mode = 1;
  EXPECT_EQ(decoder_intra16x16_mb(&k_, &wa_, &cur_, &n_), 0);
  EXPECT_EQ(luma(3, 9), 49);
  wa_.intra_chroma_pred_mode = 2;  // vertical without B
  EXPECT_NE(decoder_intra16x16_mb(&k_, &wa_, &cur_, &n_), 0);
  wa_.intra_chroma_pred_mode = 1;
  EXPECT_EQ(decoder_intra16x16_mb(&k_, &wa_, &cur_, &n_), 0);
  EXPECT_EQ(wa_.cb[9], 60);
  d_.available = 0;
  wa_.intra16x16_pred_mode = 3;
  EXPECT_NE(decoder_intra16x16_mb(&k_, &wa_, &cur_, &n_), 0);
  wa_.intra16x16_pred_mode = 2;
  wa_.intra_chroma_pred_mode = 3;
  EXPECT_NE(decoder_intra16x16_mb(&k_, &wa_, &cur_, &n_), 0);
  EXPECT_NE(decoder_intra4x4_mb(&k_, &wa_, &cur_, &n_), 0);
  EXPECT_EQ(decoder_intra8x8_mb(&k_, &wa_, &cur_, &n_), 0);  // 8x8 tests chroma modes 1, 2 only
}

TEST_F(ReconIntraDriver, EightByEightModesFillTheirFourEntries) {
  a_.intra_pred_mode[5] = 7;   // A is a 4x4 macroblock: block 0 reads A's entry 5
  b_.intra_pred_mode[10] = 5;  // and B's entry 10
  wa_.prev_intra_pred_mode_flag[4] = 0;
  wa_.rem_intra_pred_mode[4] = 7;  // block 1: predicted min(5, B's entry 14 = 0) = 0, rem 7: 8
  EXPECT_EQ(decoder_intra8x8_mb(&k_, &wa_, &cur_, &n_), 0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(cur_.intra_pred_mode[i], 5);
    EXPECT_EQ(cur_.intra_pred_mode[4 + i], 8);
  }
  EXPECT_EQ(cur_.intra_pred_mode[8], 0);  // block 2: min(A's entry 13 = 0, block 0 = 5)
}

TEST_F(ReconIntraDriver, PcmSamplesAndQuantisers) {
  uint8_t samples[384];
  for (int i = 0; i < 384; ++i) samples[i] = static_cast<uint8_t>(i * 5);
  cur_.qp = 30;
  decoder_pcm_mb(&wa_, &cur_, samples, -3, 40);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(luma(x, y), samples[16 * y + x]);
  EXPECT_EQ(std::memcmp(wa_.cb, samples + 256, 64), 0);
  EXPECT_EQ(std::memcmp(wa_.cr, samples + 320, 64), 0);
  EXPECT_EQ(cur_.qp, 0);
  EXPECT_EQ(cur_.qp_cb, 0);
  EXPECT_EQ(cur_.qp_cr, decoder_chroma_qp[40]);
  for (uint8_t count : cur_.total_coeff) EXPECT_EQ(count, 16);
  EXPECT_EQ(cur_.coded_blocks, 0xFFFF);
}

TEST_F(ReconIntraDriver, NextMacroblocksSeeUnfilteredSamples) {
  // A macroblock with steps at every internal edge, finished with deblocking.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      wa_.luma[luma_sample_offset(x, y)] = static_cast<uint8_t>(100 + 4 * (y / 4) + 6 * (x / 4));
  for (int i = 0; i < 64; ++i) wa_.cb[i] = wa_.cr[i] = static_cast<uint8_t>(90 + i / 8);
  decoder_bs_intra(wa_.bs, false, false, false, false);
  uint8_t planes[3][32 * 32] = {};
  cur_.qp = 36;
  cur_.qp_cb = cur_.qp_cr = 34;
  EdgeThresholds thresholds[kQpavCount];
  decoder_slice_thresholds(thresholds, 0, 0);
  const MbFinishContext finish{&k_, planes[0],  planes[1], planes[2], 32,     16,
                               0,   thresholds, &cur_,     nullptr,   nullptr};
  decoder_finish_mb(&finish, &wa_);
  ASSERT_NE(planes[0][32 * 3 + 15], 118);  // the picture holds filtered samples
  // The macroblock to the right predicts horizontally from the unfiltered column.
  MbInfo right = cur_;
  const IntraNeighbours n{&cur_, nullptr, nullptr, nullptr, 0};
  wa_.intra16x16_pred_mode = 1;
  wa_.intra_chroma_pred_mode = 1;
  wa_.coded_block_pattern = 0;
  std::memset(wa_.residual, 0, sizeof wa_.residual);
  cur_.available = 1;
  EXPECT_EQ(decoder_intra16x16_mb(&k_, &wa_, &right, &n), 0);
  for (int y = 0; y < 16; ++y) EXPECT_EQ(luma(8, y), 118 + 4 * (y / 4)) << y;
  for (int y = 0; y < 8; ++y) EXPECT_EQ(wa_.cr[8 * y + 3], 90 + y);
  // The macroblock below predicts vertically from the unfiltered bottom row.
  const IntraNeighbours below{nullptr, &cur_, nullptr, nullptr, 0};
  wa_.intra16x16_pred_mode = 0;
  wa_.intra_chroma_pred_mode = 2;
  EXPECT_EQ(decoder_intra16x16_mb(&k_, &wa_, &right, &below), 0);
  EXPECT_EQ(luma(3, 0), 112);
  EXPECT_NE(planes[0][32 * 15 + 3], 112);
}

}  // namespace
