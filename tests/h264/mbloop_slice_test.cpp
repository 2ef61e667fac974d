// The macroblock loops on synthesised slices of a 4x3-macroblock picture.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "h264/decoder/decoder_context.h"
#include "h264/entropy_cabac_writer.h"
#include "h264/front_bit_writer.h"
#include "h264/stream/slice_data.h"

namespace {

using front_test::BitWriter;

constexpr int kWidthMbs = 4;
constexpr int kHeightMbs = 3;
constexpr int kMbs = kWidthMbs * kHeightMbs;
constexpr int kWidth = 16 * kWidthMbs;
constexpr int kHeight = 16 * kHeightMbs;

uint8_t pcm_sample(int i) {
  return static_cast<uint8_t>(i * 7 + 3);
}

class MbloopSlice : public ::testing::Test {
 protected:
  void SetUp() override {
    DecoderConfig config{};
    config.max_width_mbs = 4;
    config.max_height_mbs = 6;
    ctx_ = decoder_create(&config);
    ASSERT_NE(ctx_, nullptr);
    uint8_t flat4x4[6][16], flat8x8[2][64];
    std::memset(flat4x4, 16, sizeof flat4x4);
    std::memset(flat8x8, 16, sizeof flat8x8);
    decoder_build_level_scale(&scale_, flat4x4, flat8x8);
    frame_.assign(kWidth * kHeight * 3 / 2, 0);
    reference_.assign(kWidth * kHeight * 3 / 2, 90);
    s_.slice_type = 2;
    s_.pic_width_in_mbs = kWidthMbs;
    s_.pic_height_in_mbs = kHeightMbs;
    s_.slice_qp = 26;
    s_.disable_deblocking_filter_idc = 1;
    s_.level_scale = &scale_;
    s_.luma = frame_.data();
    s_.cb = frame_.data() + kWidth * kHeight;
    s_.cr = s_.cb + kWidth * kHeight / 4;
    s_.luma_stride = kWidth;
    s_.chroma_stride = kWidth / 2;
    s_.ref_list[0] = {reference_.data(), reference_.data() + kWidth * kHeight,
                      reference_.data() + kWidth * kHeight * 5 / 4, 7, 0};
  }
  void TearDown() override { decoder_destroy(ctx_); }

  // Slice data after a one-byte NAL unit header.
  uint32_t decode(const std::vector<uint8_t>& data, bool cabac) {
    nal_.assign(1, 0x01);
    nal_.insert(nal_.end(), data.begin(), data.end());
    bit_reader_init(ctx_->reader, nal_.data(), static_cast<uint32_t>(nal_.size()));
    ctx_->reader.position = 8;
    return cabac ? decode_slice_data_cabac(ctx_, &s_) : decode_slice_data_cavlc(ctx_, &s_);
  }

  int32_t mb_word(int mb, int word) const {
    int32_t value;
    std::memcpy(&value, ctx_->mb_array + mb * MB_ARRAY_BYTES_PER_MB + 4 * word, 4);
    return value;
  }

  int mb_count() const { return ctx_->work_area.mb_count; }

  // The first macroblock holds the samples pcm_sample(0..383) in raster order per plane.
  void expect_pcm_at(int mb_x) const {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        ASSERT_EQ(frame_[y * kWidth + 16 * mb_x + x], pcm_sample(16 * y + x)) << x << "," << y;
    for (int c = 0; c < 2; ++c)
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          ASSERT_EQ(frame_[kWidth * kHeight * (4 + c) / 4 + y * kWidth / 2 + 8 * mb_x + x],
                    pcm_sample(256 + 64 * c + 8 * y + x));
  }

  DecoderContext* ctx_ = nullptr;
  LevelScaleTables scale_{};
  SliceDataParams s_{};
  std::vector<uint8_t> frame_, reference_, nal_;
};

TEST_F(MbloopSlice, SkipRunCoveringTheRestOfThePictureEndsCleanly) {
  s_.slice_type = 0;
  s_.first_mb_in_slice = 5;
  EXPECT_EQ(decode(BitWriter().ue(kMbs - 5).trailing().bytes(), false), 0u);
  EXPECT_EQ(mb_count(), kMbs - 5);
  for (int mb = 5; mb < kMbs; ++mb) EXPECT_EQ(mb_word(mb, 0), kMbPSkip);
}

TEST_F(MbloopSlice, SkipRunPastThePictureIsErrorOne) {
  s_.slice_type = 0;
  s_.first_mb_in_slice = 5;
  EXPECT_EQ(decode(BitWriter().ue(kMbs - 4).trailing().bytes(), false), kSliceErrorPosition);
  EXPECT_EQ(mb_count(), 0);
}

TEST_F(MbloopSlice, FirstMacroblockPastThePictureIsErrorOne) {
  s_.first_mb_in_slice = kMbs;
  EXPECT_EQ(decode(BitWriter().ue(3).trailing().bytes(), false), kSliceErrorPosition);
  s_.slice_type = 0;
  s_.first_mb_in_slice = -1;
  EXPECT_EQ(decode(BitWriter().ue(3).trailing().bytes(), false), kSliceErrorPosition);
}

TEST_F(MbloopSlice, UnusableSliceStateIsRefused) {
  const std::vector<uint8_t> data = BitWriter().ue(0).trailing().bytes();
  s_.slice_qp = 52;
  EXPECT_EQ(decode(data, false), kMbErrorSlice);
  s_.slice_qp = 26;
  s_.pic_width_in_mbs = 5;  // wider than the configured maximum
  EXPECT_EQ(decode(data, true), kMbErrorSlice);
  s_.pic_width_in_mbs = kWidthMbs;
  s_.luma = nullptr;
  EXPECT_EQ(decode(data, false), kMbErrorSlice);
}

TEST_F(MbloopSlice, MbTypesAboveTheTableAreErrors) {
  EXPECT_EQ(decode(BitWriter().ue(26).trailing().bytes(), false), kMbErrorSyntax);
  s_.slice_type = 0;
  EXPECT_EQ(decode(BitWriter().ue(0).ue(31).trailing().bytes(), false), kSliceErrorPMbType);
}

TEST_F(MbloopSlice, MbQpDeltaWrapsModulo52) {
  s_.slice_qp = 1;
  BitWriter w;
  // I_16x16 with DC prediction and no coded blocks: mb_type 3, chroma DC, mb_qp_delta, then
  // the luma DC block with no coefficients.
  for (int delta : {-3, -200, 53}) w.ue(3).ue(0).se(delta).bit(1);
  ASSERT_EQ(decode(w.trailing().bytes(), false), 0u);
  ASSERT_EQ(mb_count(), 3);
  EXPECT_EQ(mb_word(0, 2), 50);
  EXPECT_EQ(mb_word(1, 2), 6);  // 50 - 200 is -150, and -150 mod 52 is 6
  EXPECT_EQ(mb_word(2, 2), 7);
  EXPECT_EQ(mb_word(2, 0), kMbI16x16First + 2);
}

TEST_F(MbloopSlice, CavlcPcmSamplesStartAtTheNextByte) {
  BitWriter w;
  w.ue(25);  // 9 bits
  while (w.bit_count() % 8) w.bit(0);
  for (int i = 0; i < 384; ++i) w.bits(pcm_sample(i), 8);
  // Next to I_PCM (16 coefficients a block) nC is 16: TotalCoeff 0 is the 6-bit code 000011.
  w.ue(3).ue(0).se(0).bits(3, 6);
  ASSERT_EQ(decode(w.trailing().bytes(), false), 0u);
  EXPECT_EQ(mb_count(), 2);
  EXPECT_EQ(mb_word(0, 0), kMbIPcm);
  expect_pcm_at(0);
}

TEST_F(MbloopSlice, CavlcPcmCutShortIsAnError) {
  BitWriter w;
  w.ue(25);
  while (w.bit_count() % 8) w.bit(0);
  for (int i = 0; i < 100; ++i) w.bits(pcm_sample(i), 8);
  EXPECT_NE(decode(w.trailing().bytes(), false), 0u);
  EXPECT_EQ(mb_count(), 0);
}

// Two I_PCM macroblocks; end_of_slice_flag after the second ends the slice before the rest.
TEST_F(MbloopSlice, CabacPcmAndEndOfSlice) {
  entropy_test::CabacWriter w(s_.slice_qp, 0);
  for (int mb = 0; mb < 2; ++mb) {
    w.decision(3 + (mb == 1 ? 1 : 0), 1);  // mb_type prefix: not I_NxN; A is I_PCM for mb 1
    w.terminate(1);                        // I_PCM
    w.align_zero();
    for (int i = 0; i < 384; ++i) w.out().bits(pcm_sample(i), 8);
    w.restart();
    w.terminate(mb == 1 ? 1 : 0);
  }
  w.align_zero();
  std::vector<uint8_t> data = w.out().bytes();
  data.resize(data.size() + 64, 0xA5);  // more data that must not be decoded
  ASSERT_EQ(decode(data, true), 0u);
  EXPECT_EQ(mb_count(), 2);
  expect_pcm_at(0);
  expect_pcm_at(1);
}

TEST_F(MbloopSlice, CabacPSkipRunOverThePicture) {
  s_.slice_type = 0;
  entropy_test::CabacWriter w(s_.slice_qp, 1);
  for (int mb = 0; mb < kMbs; ++mb) {
    w.decision(11, 1);  // mb_skip_flag with skipped neighbours only
    w.terminate(mb == kMbs - 1 ? 1 : 0);
  }
  w.align_zero();
  ASSERT_EQ(decode(w.out().bytes(), true), 0u);
  EXPECT_EQ(mb_count(), kMbs);
  for (int mb = 0; mb < kMbs; ++mb) EXPECT_EQ(mb_word(mb, 0), kMbPSkip);
}

// Vectors through the loop: prediction from the decoded neighbours of this slice, and P_Skip.
TEST_F(MbloopSlice, CavlcMotionVectorsFromTheNeighbours) {
  s_.slice_type = 0;
  BitWriter w;
  w.ue(0).ue(0).se(5).se(-3).ue(0);  // MB 0: P_L0_16x16, mvd (5, -3), no residual
  w.ue(0).ue(0).se(0).se(0).ue(0);   // MB 1: A only, so (5, -3)
  w.ue(2);                           // MBs 2, 3: P_Skip without B, so (0, 0)
  w.ue(0).se(8).se(8).ue(0);         // MB 4: median of (0, 0), MB 0, MB 1 plus (8, 8)
  w.ue(kMbs - 5);                    // MB 5: P_Skip from MB 4, MB 1 and MB 2
  ASSERT_EQ(decode(w.trailing().bytes(), false), 0u);
  ASSERT_EQ(mb_count(), kMbs);
  const MbMotion* row1 = ctx_->mb_motion_rows + ctx_->max_width_mbs;
  EXPECT_EQ(row1[0].mv[15][0], 13);
  EXPECT_EQ(row1[0].mv[15][1], 5);
  EXPECT_EQ(row1[1].mv[0][0], 5);
  EXPECT_EQ(row1[1].mv[0][1], 0);
  EXPECT_EQ(row1[1].ref_pic[3], 7);
}

// Random slice data through both loops, both slice types and every filter mode: the loops end
// by themselves and never decode more macroblocks than the picture has (the sanitizer build
// checks the buffers).
TEST_F(MbloopSlice, RandomSliceDataEndsWithinThePicture) {
  std::mt19937 random(1234);
  s_.transform_8x8_mode_flag = 1;
  s_.num_ref_idx_l0_active_minus1 = 2;
  s_.ref_list[1] = s_.ref_list[0];
  s_.ref_list[1].id = 8;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> data(1 + random() % 700);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    s_.slice_type = (round & 1) ? 0 : 2;
    s_.disable_deblocking_filter_idc = (round >> 2) % 3;
    s_.constrained_intra_pred_flag = (round >> 3) & 1;
    s_.first_mb_in_slice = static_cast<int32_t>(random() % kMbs);
    s_.cabac_init_idc = round % 3;
    decode(data, (round & 2) != 0);
    EXPECT_LE(s_.first_mb_in_slice + mb_count(), kMbs);
  }
}

}  // namespace
