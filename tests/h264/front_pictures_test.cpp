#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "h264/front_decoder_fixture.h"
#include "h264/front_stream_builder.h"

namespace {

using front_test::DecoderHandle;
using front_test::make_config;
using front_test::PpsFields;
using front_test::SliceFields;
using front_test::SpsFields;
using Bytes = std::vector<uint8_t>;

// A decoder fed one NAL unit at a time; every unit is closed by the next start code, so it is
// decoded by the call that feeds it.
class Stream {
 public:
  Stream(const DecoderConfig& config, const SpsFields& sps, const PpsFields& pps = {})
      : d(config), sps_(sps) {
    feed_raw({0, 0, 0, 1});
    unit(front_test::sps_unit(sps));
    unit(front_test::pps_unit(pps));
  }

  // Feeds the unit; returns the POCs of the pictures that came out.
  std::vector<int32_t> unit(const Bytes& bytes) {
    Bytes framed = front_test::escape(bytes);
    framed.insert(framed.end(), {0, 0, 0, 1});
    return feed_raw(framed);
  }

  std::vector<int32_t> slice(SliceFields f) {
    f.frame_mbs_only = sps_.frame_mbs_only != 0;
    f.log2_max_frame_num = sps_.log2_max_frame_num_minus4 + 4;
    f.log2_max_poc_lsb = sps_.log2_max_poc_lsb_minus4 + 4;
    f.poc_type = sps_.poc_type;
    return unit(front_test::slice_unit(f));
  }

  std::vector<int32_t> end() {
    std::vector<int32_t> pocs;
    while (d.end_of_stream() == DECODE_PICTURE_READY) take(pocs);
    return pocs;
  }

  // The store holding the last started picture.
  const PictureStore& current() const {
    int32_t index = d.ctx->current_store >= 0 ? d.ctx->current_store : d.ctx->previous_store;
    return d.ctx->stores[index];
  }

  // The buffered store of the reference frame with this frame_num, or null.
  const PictureStore* buffered(uint32_t frame_num) const {
    for (uint32_t k = 0; k < d.ctx->dpb.fullness; ++k) {
      const PictureStore& s = d.ctx->stores[d.ctx->dpb.entries[k]];
      if (s.frame_num == frame_num) return &s;
    }
    return nullptr;
  }

  DecoderHandle d;
  std::vector<DecodedPicture> pictures;

 private:
  std::vector<int32_t> feed_raw(const Bytes& bytes) {
    std::vector<int32_t> pocs;
    int result = d.feed(bytes);
    while (result == DECODE_PICTURE_READY) {
      take(pocs);
      result = decoder_decode(d.ctx, nullptr, 0, 0, 0, &d.out, 0);
    }
    EXPECT_EQ(result, DECODE_NEED_INPUT);
    return pocs;
  }

  void take(std::vector<int32_t>& pocs) {
    pocs.push_back(d.out.picture_order_count);
    pictures.push_back(d.out);
  }

  SpsFields sps_;
};

SpsFields small_sps(uint32_t refs, uint32_t level = 51) {
  SpsFields sps;
  sps.width_mbs_minus1 = 1;
  sps.height_map_units_minus1 = 5;
  sps.num_ref_frames = refs;
  sps.level_idc = level;
  return sps;
}

SliceFields idr(uint32_t poc_lsb, uint32_t idr_pic_id = 0) {
  SliceFields f;
  f.idr = true;
  f.slice_type = 7;
  f.poc_lsb = poc_lsb;
  f.idr_pic_id = idr_pic_id;
  return f;
}

SliceFields p(uint32_t frame_num, uint32_t poc_lsb, uint32_t nal_ref_idc = 1) {
  SliceFields f;
  f.frame_num = frame_num;
  f.poc_lsb = poc_lsb;
  f.nal_ref_idc = nal_ref_idc;
  return f;
}

using Pocs = std::vector<int32_t>;

TEST(FrontPictureStores, EveryStoreStartsBlackWithGreyChroma) {
  // Each picture of a one-frame buffer takes a fresh store until the buffer holds its frames.
  Stream s(make_config(2, 6, 1), small_sps(1));
  const uint32_t luma_bytes = 2 * 6 * 256;
  for (uint32_t n = 0; n < 3; ++n) {
    s.slice(n == 0 ? idr(0) : p(n, 2 * n));
    const uint8_t* frame = s.current().buffer;
    for (uint32_t k = 0; k < luma_bytes; ++k) ASSERT_EQ(frame[k], 0) << n;
    for (uint32_t k = luma_bytes; k < luma_bytes * 3 / 2; ++k) ASSERT_EQ(frame[k], 128) << n;
  }
}

TEST(FrontOutputOrder, DisplayOrderWithABufferOfOneFrame) {
  SpsFields sps;  // 1280x720 at level 1: not one frame fits, so the buffer holds num_ref_frames
  sps.level_idc = 10;
  Stream s(make_config(80, 45, 1), sps);
  EXPECT_EQ(s.d.ctx->sps_table[0].dpb_frames, 1u);
  EXPECT_EQ(s.slice(idr(0)), Pocs{});
  EXPECT_EQ(s.slice(p(1, 4)), Pocs{});
  EXPECT_EQ(s.slice(p(2, 2)), Pocs{0});
  EXPECT_EQ(s.slice(p(3, 6)), Pocs{4});
  EXPECT_EQ(s.end(), (Pocs{2, 6}));
  EXPECT_EQ(s.end(), Pocs{});
}

TEST(FrontOutputOrder, ImmediateOutputIsDecodingOrder) {
  Stream s(make_config(2, 6, 4, 0), small_sps(4));
  EXPECT_EQ(s.slice(idr(0)), Pocs{});
  EXPECT_EQ(s.slice(p(1, 8)), Pocs{0});
  EXPECT_EQ(s.slice(p(2, 4, 0)), Pocs{8});
  EXPECT_EQ(s.slice(p(2, 6)), Pocs{4});
  EXPECT_EQ(s.end(), Pocs{6});
  ASSERT_EQ(s.pictures.size(), 4u);
  EXPECT_EQ(s.pictures[0].idr, 1u);
  EXPECT_EQ(s.pictures[1].idr, 0u);
  EXPECT_EQ(s.pictures[1].incomplete, 1u);  // no macroblocks decoded
}

TEST(FrontOutputOrder, DisplayOrderIsPictureOrderCountOrder) {
  Stream s(make_config(2, 6, 4), small_sps(4));
  Pocs out;
  for (const SliceFields& f : {idr(0), p(1, 6), p(2, 2), p(3, 4), p(4, 12), p(5, 8), p(6, 10)}) {
    Pocs got = s.slice(f);
    out.insert(out.end(), got.begin(), got.end());
  }
  Pocs rest = s.end();
  out.insert(out.end(), rest.begin(), rest.end());
  EXPECT_EQ(out, (Pocs{0, 2, 4, 6, 8, 10, 12}));
}

TEST(FrontOutputOrder, IdrOutputsEveryWaitingPictureFirst) {
  Stream s(make_config(2, 6, 4), small_sps(4));
  s.slice(idr(0));
  s.slice(p(1, 6));
  s.slice(p(2, 2));
  EXPECT_EQ(s.slice(idr(4, 1)), Pocs{});
  EXPECT_EQ(s.end(), (Pocs{0, 2, 6, 4}));
}

TEST(FrontOutputOrder, IdrWithNoOutputOfPriorPicturesDropsThemAndFreesTheirStores) {
  Stream s(make_config(2, 6, 4), small_sps(4));
  s.slice(idr(0));
  s.slice(p(1, 6));
  s.slice(p(2, 2));
  SliceFields again = idr(4, 1);
  again.no_output_of_prior_pics = true;
  s.slice(again);
  EXPECT_EQ(s.end(), Pocs{4});
  for (uint32_t i = 0; i < s.d.ctx->store_count; ++i) {
    EXPECT_TRUE(store_is_free(s.d.ctx->stores[i])) << i;
  }
}

TEST(FrontOutputOrder, EarlyNonReferencePicturesBypassAFullBuffer) {
  Stream s(make_config(2, 6, 1), small_sps(1));  // buffer of 2 frames
  EXPECT_EQ(s.d.ctx->sps_table[0].dpb_frames, 2u);
  s.slice(idr(8));
  s.slice(p(1, 10));
  EXPECT_EQ(s.slice(p(2, 4, 0)), Pocs{});
  EXPECT_EQ(s.slice(p(2, 6, 0)), Pocs{4});
  EXPECT_EQ(s.end(), (Pocs{6, 8, 10}));
}

// Feeds the slices and lists, per slice, the POCs that came out.
std::vector<Pocs> outputs(Stream& s, const std::vector<SliceFields>& slices) {
  std::vector<Pocs> out;
  for (const SliceFields& f : slices) out.push_back(s.slice(f));
  out.push_back(s.end());
  return out;
}

TEST(FrontEarlyOutput, OrderCountType2OutputsEachPictureOnceItIsFinished) {
  SpsFields sps = small_sps(4);
  sps.poc_type = 2;
  Stream s(make_config(2, 6, 4), sps);
  // Slices without macroblocks: a picture is finished when the next one starts.
  EXPECT_EQ(outputs(s, {idr(0), p(1, 0), p(2, 0, 0), p(2, 0)}),
            (std::vector<Pocs>{{}, {0}, {2}, {3}, {4}}));
}

TEST(FrontEarlyOutput, VuiReorderLimitOutputsOnceMorePicturesWait) {
  SpsFields sps = small_sps(4);
  sps.restriction = {1, 4};
  Stream s(make_config(2, 6, 4), sps);
  EXPECT_EQ(outputs(s, {idr(0), p(1, 4), p(2, 2, 0), p(2, 8), p(3, 6, 0), p(3, 10)}),
            (std::vector<Pocs>{{}, {}, {0}, {2}, {4}, {6}, {8, 10}}));
  // Without the limit the pictures wait for the eight-frame buffer to fill.
  Stream late(make_config(2, 6, 4), small_sps(4));
  EXPECT_EQ(outputs(late, {idr(0), p(1, 4), p(2, 2, 0), p(2, 8), p(3, 6, 0), p(3, 10)}),
            (std::vector<Pocs>{{}, {}, {}, {}, {}, {}, {0, 2, 4, 6, 8, 10}}));
}

TEST(FrontEarlyOutput, VuiRestrictionBoundsTheBufferAndIsIgnoredWhenInconsistent) {
  SpsFields sps = small_sps(2);  // level 5.1 would allow 16 frames
  sps.restriction = {0, 3};
  Stream s(make_config(2, 6, 4), sps);
  const SequenceParameterSet& set = s.d.ctx->sps_table[0];
  EXPECT_EQ(set.dpb_frames, 3u);
  EXPECT_EQ(set.reorder_frames, 0u);
  for (std::array<uint32_t, 2> wrong : {std::array<uint32_t, 2>{3, 2}, {0, 1}, {0, 17}}) {
    sps.restriction = wrong;  // more reordering than buffering, fewer frames than references
    Stream t(make_config(2, 6, 4), sps);
    EXPECT_EQ(t.d.ctx->sps_table[0].bitstream_restriction_flag, 0u) << wrong[0] << wrong[1];
    EXPECT_EQ(t.d.ctx->sps_table[0].dpb_frames, 8u);
    EXPECT_EQ(t.d.ctx->sps_table[0].reorder_frames, 8u);
  }
}

TEST(FrontEarlyOutput, APictureIsFinishedAtItsLastMacroblockAndLaterSlicesOfItAreDropped) {
  SpsFields sps = small_sps(2);
  sps.poc_type = 2;
  Stream s(make_config(2, 6, 2), sps);
  s.slice(idr(0));
  SliceFields whole = p(1, 0);
  whole.skip_run = 12;
  EXPECT_EQ(s.slice(whole), (Pocs{0, 2}));
  SliceFields again = whole;
  again.first_mb = 6;
  again.skip_run = 6;
  EXPECT_EQ(s.slice(again), Pocs{});
  EXPECT_EQ(s.end(), Pocs{});
  EXPECT_EQ(s.pictures.back().incomplete, 0u);
}

TEST(FrontEarlyOutput, PicturesQueuedTogetherTellHowManyWaitBehindThem) {
  Stream s(make_config(2, 6, 4), small_sps(4));
  outputs(s, {idr(0), p(1, 6), p(2, 2), p(3, 4)});
  ASSERT_EQ(s.pictures.size(), 4u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(s.pictures[i].queued_after, 3 - i);
}

TEST(FrontPictures, SecondFieldSharesTheStoreOfTheFirstAndIsOutputOnce) {
  SpsFields sps = small_sps(2);
  sps.frame_mbs_only = 0;
  sps.height_map_units_minus1 = 2;
  Stream s(make_config(2, 6, 2), sps);
  SliceFields top = idr(0);
  top.structure = 1;
  s.slice(top);
  int32_t store = s.d.ctx->current_store;
  SliceFields bottom = p(0, 1);
  bottom.slice_type = 7;
  bottom.structure = 2;
  s.slice(bottom);
  EXPECT_EQ(s.d.ctx->current_store, store);
  EXPECT_EQ(s.d.ctx->current_second_field, 1u);
  SliceFields next = p(1, 4);
  next.structure = 1;
  s.slice(next);
  EXPECT_NE(s.d.ctx->current_store, store);
  EXPECT_EQ(s.d.ctx->stores[store].fields, BOTH_FIELDS);
  EXPECT_EQ(s.d.ctx->stores[store].short_term, BOTH_FIELDS);
  Pocs out = s.end();
  ASSERT_EQ(out.size(), 2u);  // the pair, and the lone top field as a frame
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(s.pictures[0].store_index, store);
  EXPECT_EQ(s.pictures[0].height, 96u);
}

TEST(FrontPictures, LoneTopFieldBeforeAnIdrFrameIsOutputAsAFrame) {
  SpsFields sps = small_sps(2);
  sps.frame_mbs_only = 0;
  sps.height_map_units_minus1 = 2;
  Stream s(make_config(2, 6, 2), sps);
  SliceFields top = idr(2);
  top.structure = 1;
  s.slice(top);
  s.slice(idr(0, 1));
  EXPECT_EQ(s.end(), (Pocs{2, 0}));
  EXPECT_EQ(s.pictures[0].height, 96u);
}

TEST(FrontPictures, SlicesOfOnePictureAndTheFirstSliceTest) {
  Stream s(make_config(2, 6, 2), small_sps(2));
  EXPECT_EQ(s.d.ctx->stream_state, 2u);
  s.slice(idr(0));
  int32_t store = s.d.ctx->current_store;
  SliceFields second = idr(0);
  second.first_mb = 4;
  s.slice(second);
  EXPECT_EQ(s.d.ctx->current_store, store);
  SliceFields other_poc = idr(2);
  other_poc.first_mb = 8;
  s.slice(other_poc);
  EXPECT_NE(s.d.ctx->current_store, store);
  EXPECT_EQ(s.end().size(), 2u);
}

TEST(FrontPictures, DecodingStartsAtTheFirstIntraSlice) {
  Stream s(make_config(2, 6, 2), small_sps(2));
  s.slice(p(3, 2));
  s.slice(p(4, 4));
  EXPECT_EQ(s.d.ctx->stream_state, 2u);
  EXPECT_EQ(s.d.ctx->current_store, -1);
  SliceFields intra = p(5, 6);
  intra.slice_type = 7;
  s.slice(intra);
  EXPECT_EQ(s.d.ctx->stream_state, 3u);
  s.slice(p(6, 8));
  EXPECT_EQ(s.end(), (Pocs{6, 8}));
}

TEST(FrontPictures, FrameNumGapWithoutAllowedGapsGoesOnAndBackwardsIsRefused) {
  Stream s(make_config(2, 6, 4), small_sps(4));
  s.slice(idr(0));
  s.slice(p(3, 2));  // frames 1 and 2 missing: decoding goes on
  EXPECT_EQ(s.d.ctx->stream_state, 3u);
  s.slice(p(1, 4));  // backwards: refused, wait for an intra slice
  EXPECT_EQ(s.d.ctx->stream_state, 2u);
  s.slice(p(2, 6));
  EXPECT_EQ(s.d.ctx->current_store, -1);
  EXPECT_EQ(s.end(), (Pocs{0, 2}));
}

TEST(FrontPictures, FrameNumGapWithAllowedGapsInfersNonOutputFrames) {
  SpsFields sps = small_sps(4);
  Stream s(make_config(2, 6, 4), sps);
  s.d.ctx->sps_table[0].gaps_in_frame_num_value_allowed_flag = 1;
  s.d.ctx->sps_table[0].changed = 1;
  s.slice(idr(0));
  s.slice(p(3, 6));
  s.slice(p(4, 8));
  for (uint32_t frame_num : {1u, 2u}) {
    const PictureStore* inferred = s.buffered(frame_num);
    ASSERT_NE(inferred, nullptr) << frame_num;
    EXPECT_EQ(inferred->non_existing, 1u);
    EXPECT_EQ(inferred->short_term, BOTH_FIELDS);
  }
  EXPECT_EQ(s.end(), (Pocs{0, 6, 8}));
}

TEST(FrontMarking, SlidingWindowKeepsLongTermReferences) {
  Stream s(make_config(2, 6, 3), small_sps(3));
  SliceFields first = idr(0);
  first.long_term_reference = true;
  s.slice(first);
  s.slice(p(1, 2));
  s.slice(p(2, 4));
  s.slice(p(3, 6));
  s.slice(p(4, 8));  // finishes frame 3: long 1 + short 2 reach 3, frame 1 leaves
  EXPECT_EQ(s.buffered(0)->long_term, BOTH_FIELDS);
  const PictureStore* one = s.buffered(1);
  EXPECT_TRUE(one == nullptr || one->short_term == 0);
  EXPECT_EQ(s.buffered(2)->short_term, BOTH_FIELDS);
  EXPECT_EQ(s.buffered(3)->short_term, BOTH_FIELDS);
}

struct Marks {
  uint32_t short_term, long_term;
};

// Marks of frames 0..3 after frame 3 carried `ops` (frames 0..2 are short-term).
std::vector<Marks> marks_after(const std::vector<std::vector<uint32_t>>& ops, bool long_first) {
  Stream s(make_config(2, 6, 4), small_sps(4));
  SliceFields first = idr(0);
  first.long_term_reference = long_first;
  s.slice(first);
  s.slice(p(1, 2));
  s.slice(p(2, 4));
  SliceFields marked = p(3, 6);
  marked.adaptive = true;
  marked.mmco = ops;
  s.slice(marked);
  s.slice(p(4, 8));
  std::vector<Marks> marks;
  for (uint32_t frame_num = 0; frame_num < 4; ++frame_num) {
    const PictureStore* store = s.buffered(frame_num);
    marks.push_back(store ? Marks{store->short_term, store->long_term} : Marks{0, 0});
  }
  return marks;
}

TEST(FrontMarking, MemoryManagementOperations) {
  // 1: picNumX = 3 - (1 + 1) = 1.
  auto m = marks_after({{1, 1}}, false);
  EXPECT_EQ(m[1].short_term, 0u);
  EXPECT_EQ(m[0].short_term, 3u);
  EXPECT_EQ(m[3].short_term, 3u);
  // 3 then 2: frame 2 becomes long-term index 0, then LongTermPicNum 0 is dropped.
  m = marks_after({{3, 0, 0}}, false);
  EXPECT_EQ(m[2].long_term, 3u);
  EXPECT_EQ(m[2].short_term, 0u);
  m = marks_after({{3, 0, 0}, {2, 0}}, false);
  EXPECT_EQ(m[2].long_term, 0u);
  // 3 on an index in use: the earlier long-term frame 0 gives way.
  m = marks_after({{4, 2}, {3, 0, 0}}, true);
  EXPECT_EQ(m[0].long_term, 0u);
  EXPECT_EQ(m[2].long_term, 3u);
  // 4: no long-term indices left.
  m = marks_after({{4, 0}}, true);
  EXPECT_EQ(m[0].long_term, 0u);
  // 6: the current picture becomes long-term.
  m = marks_after({{4, 2}, {6, 1}}, true);
  EXPECT_EQ(m[3].long_term, 3u);
  EXPECT_EQ(m[3].short_term, 0u);
  EXPECT_EQ(m[0].long_term, 3u);
}

TEST(FrontMarking, OperationsWithHugeValuesNameNoPicture) {
  auto m = marks_after({{1, 0x80000000u}, {2, 0xFFFFFFF0u}, {3, 0xFFFFFFFEu, 7}}, false);
  for (int frame = 0; frame < 4; ++frame) EXPECT_EQ(m[frame].short_term, 3u) << frame;
  m = marks_after({{4, 0xFFFFFFFEu}, {6, 0xFFFFFFFEu}}, true);
  EXPECT_EQ(m[0].long_term, 3u);
  EXPECT_EQ(m[3].long_term, 3u);
}

TEST(FrontMarking, OperationFiveEndsEveryReferenceAndRestartsTheCount) {
  Stream s(make_config(2, 6, 4), small_sps(4));
  s.slice(idr(0));
  s.slice(p(1, 4));
  SliceFields reset = p(2, 8);
  reset.adaptive = true;
  reset.mmco = {{5}};
  s.slice(reset);
  EXPECT_EQ(s.slice(p(1, 2)), (Pocs{0, 4}));  // earlier pictures are output first
  const PictureStore* reset_store = s.buffered(0);
  ASSERT_NE(reset_store, nullptr);
  EXPECT_EQ(reset_store->poc, 0);  // counts restart at the reset picture
  EXPECT_EQ(reset_store->short_term, BOTH_FIELDS);
  EXPECT_EQ(s.d.ctx->dpb.fullness, 1u);
  EXPECT_EQ(s.end(), (Pocs{0, 2}));
}

TEST(FrontMarking, OperationFiveOnOrderCountsAFullRangeApart) {
  // The bottom field's count wraps to -2147483643: moving it to 0 takes the top field's 6 past
  // INT32_MAX, which wraps like every order count sum.
  PpsFields pps;
  pps.bottom_field_pic_order = 1;
  Stream s(make_config(2, 6, 4), small_sps(4), pps);
  SliceFields first = idr(0);
  first.delta_poc_bottom = 0;
  s.slice(first);
  SliceFields reset = p(1, 6);
  reset.delta_poc_bottom = INT32_MAX;
  reset.adaptive = true;
  reset.mmco = {{5}};
  s.slice(reset);
  SliceFields next = p(1, 2);
  next.delta_poc_bottom = 0;
  EXPECT_EQ(s.slice(next), (Pocs{0}));
  const PictureStore* reset_store = s.buffered(0);
  ASSERT_NE(reset_store, nullptr);
  EXPECT_EQ(reset_store->bottom_poc, 0);
  EXPECT_EQ(reset_store->top_poc, -INT32_MAX);
  EXPECT_EQ(reset_store->poc, 0);
  EXPECT_EQ(s.end().size(), 2u);
}

}  // namespace
