#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "h264/front_decoder_fixture.h"
#include "h264/front_stream_builder.h"

namespace {

using front_test::BitWriter;
using front_test::DecoderHandle;
using front_test::make_config;
using front_test::PpsFields;
using front_test::SpsFields;

// Header fields of a hand-written slice; the defaults give a valid IDR I slice.
struct Header {
  uint32_t nal = 0x65;
  uint32_t slice_type = 7;
  uint32_t pps_id = 0;
  uint32_t frame_num = 0;
  int32_t structure = -1;  // -1 frame-only sequence, 0 frame, 1 top, 2 bottom
  uint32_t redundant_pic_cnt = 0;
  int64_t num_ref_idx_override = -1;
  std::vector<std::pair<uint32_t, uint32_t>> reorder;
  uint32_t cabac_init_idc = 0;
  int32_t alpha = 0;
};

std::vector<uint8_t> slice_bits(const Header& h, const PpsFields& pps, bool cabac) {
  BitWriter w;
  const bool idr = (h.nal & 31) == 5;
  const bool predicted = h.slice_type % 5 == 0;
  w.bits(h.nal, 8).ue(0).ue(h.slice_type).ue(h.pps_id).bits(h.frame_num, 4);
  if (h.structure >= 0) w.bit(h.structure != 0);
  if (h.structure > 0) w.bit(h.structure == 2);
  if (idr) w.ue(0);
  w.bits(0, 4);  // pic_order_cnt_lsb
  if (pps.extension) w.ue(h.redundant_pic_cnt);
  if (predicted) {
    w.bit(h.num_ref_idx_override >= 0);
    if (h.num_ref_idx_override >= 0) w.ue(static_cast<uint64_t>(h.num_ref_idx_override));
    w.bit(!h.reorder.empty());
    for (auto [idc, value] : h.reorder) w.ue(idc).ue(value);
    if (!h.reorder.empty()) w.ue(3);
  }
  if (idr) {
    w.bit(0).bit(0);
  } else {
    w.bit(0);
  }
  if (cabac && predicted) w.ue(h.cabac_init_idc);
  w.se(0).ue(0).se(h.alpha).se(0).trailing();
  return w.bytes();
}

struct SliceCase {
  std::string name;
  std::function<void(Header&)> change;
  uint32_t code;
  bool cabac = false;
  bool redundant = false;
};

TEST(FrontSliceHeader, EveryCheckRefusesTheSliceWithItsCode) {
  const std::vector<SliceCase> cases = {
      {"slice_type 10", [](Header& h) { h.slice_type = 10; }, 0x30000001},
      {"B slice", [](Header& h) { h.slice_type = 6; }, 0x3000001a},
      {"pps 256", [](Header& h) { h.pps_id = 256; }, 0x30000002},
      {"pps never received", [](Header& h) { h.pps_id = 4; }, 0x30000002},
      {"IDR frame_num 1", [](Header& h) { h.frame_num = 1; }, 0x30000003},
      {"deblocking offset 7", [](Header& h) { h.alpha = 7; }, 0x3000000a},
      {"deblocking offset -7", [](Header& h) { h.alpha = -7; }, 0x3000000a},
      {"redundant slice", [](Header& h) { h.redundant_pic_cnt = 1; }, 0x3000001b, false, true},
  };
  for (const SliceCase& c : cases) {
    DecoderHandle d(make_config(2, 6, 2));
    SpsFields sps;
    sps.width_mbs_minus1 = 1;
    sps.height_map_units_minus1 = 5;
    d.load_unit(front_test::sps_unit(sps));
    ASSERT_EQ(parse_sequence_parameter_set(*d.ctx), 0u);
    PpsFields pps;
    pps.entropy_coding_mode = c.cabac;
    d.load_unit(front_test::pps_unit(pps));
    ASSERT_EQ(parse_picture_parameter_set(*d.ctx), 0u);
    d.ctx->pps_table[0].redundant_pic_cnt_present_flag = c.redundant;
    pps.extension = c.redundant;
    Header h;
    c.change(h);
    d.load_unit(slice_bits(h, pps, c.cabac));
    d.ctx->reader.position = 0;
    EXPECT_EQ(dispatch_nal_unit(*d.ctx, 10), c.code) << c.name;
    EXPECT_EQ(d.ctx->current_store, -1) << c.name;
  }
}

// A decoder with one decoded IDR picture (frame_num 0) and the sets of `pps`.
struct AfterIdr {
  explicit AfterIdr(const PpsFields& pps_fields, uint32_t refs = 2, bool interlaced = false)
      : d(make_config(2, 6, refs)) {
    SpsFields sps;
    sps.width_mbs_minus1 = 1;
    sps.height_map_units_minus1 = interlaced ? 2 : 5;
    sps.frame_mbs_only = !interlaced;
    sps.num_ref_frames = refs;
    pps = pps_fields;
    d.load_unit(front_test::sps_unit(sps));
    parse_sequence_parameter_set(*d.ctx);
    d.load_unit(front_test::pps_unit(pps));
    parse_picture_parameter_set(*d.ctx);
    Header idr;
    if (interlaced) idr.structure = 0;
    EXPECT_EQ(run(idr), 2u);
  }
  uint32_t run(const Header& h) {
    d.load_unit(slice_bits(h, pps, pps.entropy_coding_mode != 0));
    d.ctx->reader.position = 0;
    return dispatch_nal_unit(*d.ctx, 10);
  }
  DecoderHandle d;
  PpsFields pps;
};

Header p_slice(uint32_t frame_num) {
  Header h;
  h.nal = 0x41;
  h.slice_type = 5;
  h.frame_num = frame_num;
  return h;
}

TEST(FrontSliceHeader, PredictedSliceChecks) {
  AfterIdr a(PpsFields{});
  Header h = p_slice(1);
  h.num_ref_idx_override = 32;
  EXPECT_EQ(a.run(h), 0x30000007u);
  h.num_ref_idx_override = 31;
  EXPECT_EQ(a.run(h), 2u);
  EXPECT_EQ(a.d.ctx->ref_list0_size, 32u);
  EXPECT_EQ(a.d.ctx->ref_list0[0].store, a.d.ctx->previous_store);
  EXPECT_EQ(a.d.ctx->ref_list0[1].store, -1);

  Header missing = p_slice(2);
  missing.reorder = {{0, 5}};  // a picture that is not there
  EXPECT_EQ(a.run(missing), 0x30000005u);

  PpsFields cabac;
  cabac.entropy_coding_mode = 1;
  AfterIdr b(cabac);
  Header init = p_slice(1);
  init.cabac_init_idc = 3;
  EXPECT_EQ(b.run(init), 0x30000009u);
  init.cabac_init_idc = 2;
  EXPECT_EQ(b.run(init), 2u);
}

TEST(FrontSliceHeader, ReorderingMovesTheNamedPictureToTheFront) {
  AfterIdr a(PpsFields{}, 3);
  int32_t idr = a.d.ctx->current_store;
  EXPECT_EQ(a.run(p_slice(1)), 2u);
  int32_t first = a.d.ctx->current_store;
  EXPECT_EQ(a.run(p_slice(2)), 2u);
  int32_t second = a.d.ctx->current_store;
  Header h = p_slice(3);
  h.num_ref_idx_override = 2;
  EXPECT_EQ(a.run(h), 2u);
  EXPECT_EQ(a.d.ctx->ref_list0[0].store, second);  // descending PicNum
  EXPECT_EQ(a.d.ctx->ref_list0[1].store, first);
  EXPECT_EQ(a.d.ctx->ref_list0[2].store, idr);
  Header reordered = p_slice(3);
  reordered.num_ref_idx_override = 2;
  reordered.reorder = {{0, 1}};  // PicNum 3 - 2 = 1
  EXPECT_EQ(a.run(reordered), 3u);
  EXPECT_EQ(a.d.ctx->ref_list0[0].store, first);
  EXPECT_EQ(a.d.ctx->ref_list0[1].store, second);
  EXPECT_EQ(a.d.ctx->ref_list0[2].store, idr);
  EXPECT_EQ(a.d.ctx->ref_list0[3].store, -1);
}

TEST(FrontSliceHeader, RefusedFirstSliceStillDelimitsItsPicture) {
  AfterIdr a(PpsFields{}, 2, true);
  Header frame = p_slice(1);
  frame.structure = 0;
  EXPECT_EQ(a.run(frame), 2u);
  Header field = p_slice(1);
  field.structure = 2;
  field.reorder = {{0, 5}};  // a picture that is not there: refused after starting a picture
  EXPECT_EQ(a.run(field), 0x30000005u);
  // The same values as the frame before, but a frame cannot continue a field picture (its
  // reference list would hand it fields).
  EXPECT_EQ(a.run(frame), 2u);
  EXPECT_EQ(a.d.ctx->current_structure, PICTURE_FRAME);
  EXPECT_EQ(a.d.ctx->ref_list0[0].structure, PICTURE_FRAME);
  // The next slice of a refused first slice's picture continues the picture it started.
  EXPECT_EQ(a.run(field), 0x30000005u);
  field.reorder.clear();
  EXPECT_EQ(a.run(field), 3u);
  EXPECT_EQ(a.d.ctx->ref_list0[0].structure, PICTURE_BOTTOM);
}

TEST(FrontSliceHeader, NoFreeStoreRefusesThePictureUntilTheNextIntraSlice) {
  AfterIdr a(PpsFields{}, 1);
  for (uint32_t i = 0; i < a.d.ctx->store_count; ++i) a.d.ctx->stores[i].status = STORE_QUEUED;
  EXPECT_EQ(a.run(p_slice(1)), 0x30000006u);
  EXPECT_EQ(a.d.ctx->stream_state, 2u);
  for (uint32_t i = 0; i < a.d.ctx->store_count; ++i) a.d.ctx->stores[i].status = STORE_FREE;
  EXPECT_EQ(a.run(p_slice(1)), 0x10000004u);
  Header intra = p_slice(1);
  intra.slice_type = 7;
  EXPECT_EQ(a.run(intra), 2u);
  EXPECT_EQ(a.d.ctx->stream_state, 3u);
}

TEST(FrontSliceHeader, InterlacedSequenceWithMbaffIsRefused) {
  AfterIdr a(PpsFields{});
  SequenceParameterSet& sps = a.d.ctx->sps_table[0];
  sps.frame_mbs_only_flag = 0;
  sps.mb_adaptive_frame_field_flag = 1;
  sps.changed = 1;
  EXPECT_EQ(a.run(p_slice(1)), 0x2000000bu);
}

}  // namespace
