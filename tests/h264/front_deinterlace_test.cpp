#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "h264/front_decoder_fixture.h"
#include "h264/recon/deinterlace.h"

namespace {

using front_test::DecoderHandle;
using front_test::make_config;

TEST(FrontDeinterlace, LineKernelWeavesStillOrProgressiveSamplesAndInterpolatesMotion) {
  const int w = 4;
  // Picture rows 2k, 2k + 1, 2k + 2 and the history at the same offsets.
  const uint8_t pic[3 * w] = {10, 10, 10, 10, 50, 50, 50, 50, 30, 30, 30, 31};
  const uint8_t history[3 * w] = {0, 0, 0, 0, 45, 90, 90, 0, 0, 0, 0, 0};
  const uint8_t counter[w] = {0, 0, 3, 2};
  uint8_t even[w], odd[w];
  deinterlace_line_portable(even, odd, pic, history, counter, w, w);
  EXPECT_EQ(std::vector<uint8_t>(even, even + w), (std::vector<uint8_t>{10, 10, 10, 10}));
  // Still (|50 - 45| < 10), moving, progressive, moving (rounded average of 10 and 31).
  EXPECT_EQ(std::vector<uint8_t>(odd, odd + w), (std::vector<uint8_t>{50, 20, 50, 21}));
}

class FrontDeinterlacedOutput : public ::testing::Test {
 protected:
  static constexpr uint32_t kWidth = 32, kHeight = 96, kPlane = 2 * 6;

  // Store 0 holds a 32x96 picture whose luma row y holds y and chroma row y holds 200 + y.
  void queue(uint32_t mark) {
    PictureStore& store = d.ctx->stores[0];
    for (uint32_t y = 0; y < kHeight; ++y) std::memset(store.buffer + y * kWidth, y, kWidth);
    for (uint32_t y = 0; y < kHeight / 2; ++y) {
      std::memset(store.buffer + kPlane * 256 + y * 16, 200 + y, 16);
      std::memset(store.buffer + kPlane * 320 + y * 16, 200 + y, 16);
    }
    store.frame = PictureRecord{};
    store.frame.info.width = kWidth;
    store.frame.info.height = kHeight;
    store.frame.info.luma_stride = kWidth;
    store.frame.info.chroma_stride = kWidth / 2;
    store.interlace_mark = mark;
    store.status = STORE_QUEUED;
    output_queue_put(d.ctx->output, 0);
  }

  DecodedPicture take() {
    DecodedPicture out{};
    EXPECT_TRUE(take_output_picture(*d.ctx, out));
    return out;
  }

  DecoderHandle d{make_config(2, 6, 1, DECODER_DISPLAY_ORDER | DECODER_DEINTERLACE)};
};

TEST_F(FrontDeinterlacedOutput, FieldPairIsConvertedIntoTheSpareFrame) {
  queue(2);
  std::memset(d.ctx->stores[0].buffer + 3 * kWidth, 77, kWidth);
  DecodedPicture out = take();
  ASSERT_EQ(out.luma, d.ctx->spare_frame);
  EXPECT_EQ(out.cb, d.ctx->spare_frame + kPlane * 256);
  EXPECT_EQ(out.luma_stride, kWidth);
  EXPECT_EQ(out.luma[0], 0);
  EXPECT_EQ(out.luma[kWidth], 0);  // row 1 copies row 0
  EXPECT_EQ(out.luma[2 * kWidth], 2);
  EXPECT_EQ(out.luma[(kHeight - 2) * kWidth], kHeight - 2);
  EXPECT_EQ(out.luma[(kHeight - 1) * kWidth], kHeight - 2);  // last row copies row h - 2
  // The history started at zero: every odd row moved, so it is interpolated from its field.
  EXPECT_EQ(out.luma[3 * kWidth], 3);
  EXPECT_EQ(out.luma[5 * kWidth], 5);
  EXPECT_EQ(out.cb[0], 200);
  EXPECT_EQ(out.cb[16], 200);
  EXPECT_EQ(out.cr[2 * 16], 202);
  EXPECT_EQ(out.cr[3 * 16], 202);
  EXPECT_EQ(d.ctx->deinterlace_history[50 * kWidth], 50);

  // The same picture again is still everywhere: the odd rows are woven.
  queue(2);
  std::memset(d.ctx->stores[0].buffer + 3 * kWidth, 77, kWidth);
  out = take();
  EXPECT_EQ(out.luma[3 * kWidth], 77);
}

TEST_F(FrontDeinterlacedOutput, FrameOfAnInterlacedSequenceCountsTowardsProgressive) {
  uint8_t* counter = d.ctx->deinterlace_history + kPlane * 256;
  for (int round = 0; round < 4; ++round) {
    queue(1);
    DecodedPicture out = take();
    ASSERT_EQ(out.luma, d.ctx->spare_frame);
    EXPECT_EQ(out.luma[7 * kWidth], 7);
    EXPECT_EQ(out.cr[5 * 16], 205);
  }
  EXPECT_EQ(counter[0], 0);
  EXPECT_EQ(counter[kWidth], 3);
  EXPECT_EQ(counter[kWidth + 1], 3);
  EXPECT_EQ(counter[kWidth * (kHeight / 2 - 1) - 1], 3);
  EXPECT_EQ(counter[kWidth * (kHeight / 2 - 1)], 0);
}

TEST_F(FrontDeinterlacedOutput, ProgressivePicturesAndPlainInstancesAreReturnedInPlace) {
  queue(0);
  EXPECT_EQ(take().luma, d.ctx->stores[0].buffer);
  DecoderHandle plain(make_config(2, 6, 1));
  PictureStore& store = plain.ctx->stores[1];
  store.interlace_mark = 2;
  store.frame.info.height = kHeight;
  output_queue_put(plain.ctx->output, 1);
  DecodedPicture out{};
  ASSERT_TRUE(take_output_picture(*plain.ctx, out));
  EXPECT_EQ(out.luma, store.buffer);
}

}  // namespace
