#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "h264/decoder/cpu_features.h"
#include "h264/decoder/decoder_memory.h"
#include "h264/front_decoder_fixture.h"
#include "h264/front_stream_builder.h"

namespace {

using front_test::DecoderHandle;
using front_test::make_config;
using Bytes = std::vector<uint8_t>;

TEST(FrontDecoderInterface, LibraryInfo) {
  EXPECT_EQ(decoder_get_library_info(nullptr), -1);
  DecoderLibraryInfo info{};
  ASSERT_EQ(decoder_get_library_info(&info), 0);
  EXPECT_EQ(info.major_version, 2u);
  EXPECT_EQ(info.minor_version, 2u);
  EXPECT_EQ(info.build_number, 5u);
  EXPECT_EQ(info.revision, 0u);
  EXPECT_EQ(std::string(info.version_text), "V2.2.5.0");
  EXPECT_NE(info.notice_text, nullptr);
  EXPECT_EQ(info.info_code, 15909u);
  EXPECT_EQ(info.reserved0 | info.reserved1, 0u);
  EXPECT_EQ(info.info_max_width, 2048u);
  EXPECT_EQ(info.info_max_height, 2048u);
  EXPECT_EQ(info.info_max_refs, 16u);
  EXPECT_EQ(info.cpu_feature_mask, decoder_cpu_feature_mask());
}

TEST(FrontDecoderInterface, ProcessorFeaturesAndLevel) {
  EXPECT_EQ(cpu_feature_mask_from_edx(0), 0u);
  EXPECT_EQ(cpu_feature_mask_from_edx(1u << 23), CPU_MMX);
  EXPECT_EQ(cpu_feature_mask_from_edx(1u << 15), CPU_CMOV);
  EXPECT_EQ(cpu_feature_mask_from_edx(1u << 25), CPU_SSE);
  EXPECT_EQ(cpu_feature_mask_from_edx(1u << 26), CPU_SSE2);
  EXPECT_EQ(cpu_feature_mask_from_edx(0xFFFFFFFFu), CPU_MMX | CPU_SSE | CPU_SSE2 | CPU_CMOV);
  EXPECT_EQ(cpu_level_from_mask(CPU_CMOV | CPU_SSE | CPU_SSE2), 0u);
  EXPECT_EQ(cpu_level_from_mask(CPU_MMX | CPU_SSE | CPU_SSE2), 1u);
  EXPECT_EQ(cpu_level_from_mask(CPU_MMX | CPU_CMOV | CPU_SSE2), 2u);
  EXPECT_EQ(cpu_level_from_mask(CPU_MMX | CPU_CMOV | CPU_SSE), 3u);
  EXPECT_EQ(cpu_level_from_mask(CPU_MMX | CPU_CMOV | CPU_SSE | CPU_SSE2), 4u);
#if defined(__x86_64__)
  EXPECT_EQ(decoder_cpu_level(), 4u);  // every x86-64 processor has SSE2
#endif
}

TEST(FrontDecoderInterface, ConfigurationClamps) {
  EXPECT_EQ(decoder_create(nullptr), nullptr);
  struct Case {
    uint32_t width, height, refs;
    uint32_t want_width, want_height, want_refs;
  };
  const Case cases[] = {
      {1, 5, 0, 120, 68, 4},      {400, 300, 20, 120, 68, 16}, {2, 6, 1, 2, 6, 1},
      {352, 256, 1, 352, 256, 1}, {353, 257, 17, 120, 68, 16}, {80, 45, 16, 80, 45, 16},
  };
  for (const Case& c : cases) {
    DecoderHandle d(make_config(c.width, c.height, c.refs));
    ASSERT_NE(d.ctx, nullptr);
    EXPECT_EQ(d.ctx->max_width_mbs, c.want_width) << c.width;
    EXPECT_EQ(d.ctx->max_height_mbs, c.want_height) << c.height;
    EXPECT_EQ(d.ctx->max_ref_frames, c.want_refs) << c.refs;
    EXPECT_EQ(d.ctx->store_count, 2 * c.want_refs + 4);
    EXPECT_EQ(d.ctx->nal_capacity, c.want_width * c.want_height * 384 + 4096);
  }
}

bool aligned16(const void* p) {
  return (reinterpret_cast<uintptr_t>(p) & 15) == 0;
}

TEST(FrontDecoderInterface, InstanceMemoryIsAlignedAndPrepared) {
  DecoderHandle d(make_config(4, 6, 2, DECODER_DISPLAY_ORDER | DECODER_DEINTERLACE));
  DecoderContext& ctx = *d.ctx;
  const uint32_t mbs = 4 * 6;
  for (const void* p :
       {static_cast<const void*>(&ctx), static_cast<const void*>(ctx.sps_table),
        static_cast<const void*>(ctx.pps_table), static_cast<const void*>(ctx.nal_buffer),
        static_cast<const void*>(ctx.spare_frame),
        static_cast<const void*>(ctx.deinterlace_history), static_cast<const void*>(ctx.mb_array),
        static_cast<const void*>(ctx.mb_info_rows), static_cast<const void*>(ctx.mb_motion_rows),
        static_cast<const void*>(ctx.work_area.luma)}) {
    EXPECT_TRUE(aligned16(p));
  }
  for (uint32_t i = 0; i < ctx.store_count; ++i) {
    const uint8_t* frame = ctx.stores[i].buffer;
    ASSERT_TRUE(aligned16(frame));
    EXPECT_EQ(ctx.stores[i].status, STORE_FREE);
    for (uint32_t k = 0; k < mbs * 256; ++k) ASSERT_EQ(frame[k], 0);
  }
  EXPECT_EQ(ctx.scanner.window, SCAN_WINDOW_RESET);
  EXPECT_NE(ctx.kernels.idct4x4, nullptr);
  DecoderHandle plain(make_config(4, 6, 2));
  EXPECT_EQ(plain.ctx->deinterlace_history, nullptr);
}

TEST(FrontDecoderInterface, EveryAllocationFailureGivesNullAndLeaksNothing) {
  // Context, two tables, unit buffer, 6 stores, spare frame, history, array, two row blocks.
  EXPECT_EQ(front_test::allocations_of_create(make_config(2, 6, 1, DECODER_DEINTERLACE)), 15);
}

TEST(FrontDecoderInterface, ArgumentChecksAndCallingOrder) {
  DecoderHandle d(make_config(2, 6, 1));
  DecodedPicture out{};
  const Bytes bytes = {0, 0, 1, 0x09};
  EXPECT_EQ(decoder_decode(nullptr, bytes.data(), 4, 0, 0, &out, 0), DECODE_BAD_ARGUMENT);
  EXPECT_EQ(decoder_decode(d.ctx, bytes.data(), 4, 0, 0, nullptr, 0), DECODE_BAD_ARGUMENT);
  EXPECT_EQ(d.ctx->scanner.pending, nullptr);  // nothing changed

  d.out.luma = d.out.cb = d.out.cr = bytes.data();
  EXPECT_EQ(decoder_decode(d.ctx, nullptr, 0, 0, 0, &d.out, 0), DECODE_NEED_INPUT);
  EXPECT_EQ(d.out.luma, nullptr);
  EXPECT_EQ(d.out.cb, nullptr);
  EXPECT_EQ(d.out.cr, nullptr);
  EXPECT_EQ(decoder_decode(d.ctx, bytes.data(), 0, 0, 0, &d.out, 0), DECODE_NEED_INPUT);
}

TEST(FrontDecoderInterface, PartialUnitIsKeptUntilTheNextStartCode) {
  DecoderHandle d(make_config(2, 6, 1));
  front_test::SpsFields f;
  f.width_mbs_minus1 = 1;
  f.height_map_units_minus1 = 5;
  Bytes stream = front_test::annex_b({front_test::sps_unit(f)});
  EXPECT_EQ(d.feed(stream), DECODE_NEED_INPUT);
  EXPECT_EQ(d.ctx->sps_table[0].valid, 0u);
  EXPECT_EQ(d.feed({0, 0}), DECODE_NEED_INPUT);
  EXPECT_EQ(d.feed({1}), DECODE_NEED_INPUT);
  EXPECT_EQ(d.ctx->sps_table[0].valid, 1u);
}

TEST(FrontDecoderInterface, EndOfStreamOnAFreshInstanceAndAfterwards) {
  DecoderHandle d(make_config(2, 6, 1));
  EXPECT_EQ(d.end_of_stream(), DECODE_NO_PICTURE);
  EXPECT_EQ(d.end_of_stream(), DECODE_NO_PICTURE);
  EXPECT_EQ(d.ctx->end_of_stream, EOS_DONE);
}

TEST(FrontDecoderInterface, EndOfStreamClosesTheLastUnitAndNewBytesStartAgain) {
  DecoderHandle d(make_config(2, 6, 1));
  front_test::SpsFields f;
  f.width_mbs_minus1 = 1;
  f.height_map_units_minus1 = 5;
  EXPECT_EQ(d.feed(front_test::annex_b({front_test::sps_unit(f)})), DECODE_NEED_INPUT);
  EXPECT_EQ(d.end_of_stream(), DECODE_NO_PICTURE);
  EXPECT_EQ(d.ctx->sps_table[0].valid, 1u);
  EXPECT_EQ(d.ctx->scanner.window, SCAN_WINDOW_RESET);

  f.sps_id = 4;
  EXPECT_EQ(d.feed(front_test::annex_b({front_test::sps_unit(f)}), DECODE_END_OF_STREAM),
            DECODE_NEED_INPUT);  // the end-of-stream bit is ignored with new bytes
  EXPECT_EQ(d.ctx->end_of_stream, EOS_NONE);
  EXPECT_EQ(d.end_of_stream(), DECODE_NO_PICTURE);
  EXPECT_EQ(d.ctx->sps_table[4].valid, 1u);
}

// Marks store `index` as holding a picture and queues it.
void queue_picture(DecoderContext& ctx, uint32_t index, int32_t poc) {
  PictureStore& store = ctx.stores[index];
  store.status = STORE_QUEUED;
  store.frame = PictureRecord{};
  DecodedPicture& info = store.frame.info;
  info.width = 32;
  info.height = 96;
  info.luma_stride = 32;
  info.chroma_stride = 16;
  info.crop_bottom = 8;
  info.picture_order_count = poc;
  info.user0 = 100 + index;
  store.frame.statistics[0] = 1234;
  output_queue_put(ctx.output, index);
}

TEST(FrontOutputQueue, ReadingSideSkipsInvalidSlotsAndFreesTheStore) {
  DecoderHandle d(make_config(2, 6, 1));
  DecoderContext& ctx = *d.ctx;
  queue_picture(ctx, 3, 8);
  output_queue_put(ctx.output, 200);
  output_queue_put(ctx.output, ctx.store_count);
  queue_picture(ctx, 5, 4);
  DecodedPicture out{};
  ASSERT_TRUE(take_output_picture(ctx, out));
  EXPECT_EQ(out.store_index, 3);
  EXPECT_EQ(ctx.stores[3].status, STORE_FREE);
  EXPECT_EQ(out.luma, ctx.stores[3].buffer);
  EXPECT_EQ(out.cb, ctx.stores[3].buffer + 12 * 256);
  EXPECT_EQ(out.cr, ctx.stores[3].buffer + 12 * 320);
  EXPECT_EQ(out.width, 32u);
  EXPECT_EQ(out.height, 96u);
  EXPECT_EQ(out.chroma_stride, 16u);
  EXPECT_EQ(out.crop_bottom, 8u);
  EXPECT_EQ(out.picture_order_count, 8);
  EXPECT_EQ(out.user0, 103u);
  EXPECT_EQ(out.statistics[0], 1234u);
  ASSERT_TRUE(take_output_picture(ctx, out));
  EXPECT_EQ(out.store_index, 5);
  EXPECT_FALSE(take_output_picture(ctx, out));
  EXPECT_EQ(ctx.stores[5].status, STORE_FREE);
}

TEST(FrontOutputQueue, PositionsWrapAfterSixtyFourSlots) {
  DecoderHandle d(make_config(2, 6, 1));
  DecodedPicture out{};
  for (int round = 0; round < 150; ++round) {
    queue_picture(*d.ctx, round % 6, round);
    ASSERT_TRUE(take_output_picture(*d.ctx, out));
    EXPECT_EQ(out.picture_order_count, round);
  }
  EXPECT_EQ(d.ctx->output.read, 150u % 64);
  EXPECT_FALSE(take_output_picture(*d.ctx, out));
}

TEST(FrontOutputQueue, QueuedPicturesComeOutBeforeMoreInputIsScanned) {
  DecoderHandle d(make_config(2, 6, 1));
  queue_picture(*d.ctx, 0, 0);
  queue_picture(*d.ctx, 1, 2);
  EXPECT_EQ(decoder_decode(d.ctx, nullptr, 0, 0, 0, &d.out, 0), DECODE_PICTURE_READY);
  EXPECT_EQ(d.out.picture_order_count, 0);
  Bytes stream = {0, 0, 1, 0x09, 0xF0, 0, 0, 1, 0x0C, 0x80, 0, 0, 1};
  ASSERT_EQ(d.feed(stream), DECODE_PICTURE_READY);
  EXPECT_EQ(d.out.picture_order_count, 2);
  EXPECT_EQ(d.ctx->scanner.read_position, 0u);  // the new bytes wait behind the queued picture
  EXPECT_EQ(decoder_decode(d.ctx, nullptr, 0, 0, 0, &d.out, 0), DECODE_NEED_INPUT);
  EXPECT_EQ(d.ctx->scanner.pending, nullptr);
  EXPECT_EQ(d.end_of_stream(), DECODE_NO_PICTURE);
}

}  // namespace
