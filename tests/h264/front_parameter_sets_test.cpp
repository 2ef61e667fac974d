#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "h264/front_decoder_fixture.h"
#include "h264/front_stream_builder.h"
#include "h264/stream/parameter_sets.h"

namespace {

using front_test::DecoderHandle;
using front_test::make_config;
using front_test::PpsFields;
using front_test::SpsFields;

uint32_t parse_sps(DecoderHandle& d, const SpsFields& f) {
  d.load_unit(front_test::sps_unit(f));
  return parse_sequence_parameter_set(*d.ctx);
}

uint32_t parse_pps(DecoderHandle& d, const PpsFields& f) {
  d.load_unit(front_test::pps_unit(f));
  return parse_picture_parameter_set(*d.ctx);
}

struct SpsCase {
  std::string name;
  std::function<void(SpsFields&)> change;
  uint32_t code;
};

TEST(FrontSequenceParameterSet, EveryCheckRejectsWithItsCodeAndLeavesTheTable) {
  const std::vector<SpsCase> cases = {
      {"id 32", [](SpsFields& f) { f.sps_id = 32; }, 0x20000001},
      {"log2_max_frame_num_minus4 13", [](SpsFields& f) { f.log2_max_frame_num_minus4 = 13; },
       0x20000002},
      {"num_ref_frames 17", [](SpsFields& f) { f.num_ref_frames = 17; }, 0x20000003},
      {"pic_order_cnt_type 3", [](SpsFields& f) { f.poc_type = 3; }, 0x20000004},
      {"poc cycle 257",
       [](SpsFields& f) {
         f.poc_type = 1;
         f.poc_cycle = 257;
       },
       0x20000005},
      {"crop left+right = width",
       [](SpsFields& f) {
         f.cropping = true;
         f.crop = {320, 320, 0, 0};
       },
       0x20000006},
      {"crop top+bottom = height",
       [](SpsFields& f) {
         f.cropping = true;
         f.crop = {0, 0, 180, 180};
       },
       0x20000006},
      {"field crop unit 4",
       [](SpsFields& f) {
         f.frame_mbs_only = 0;
         f.height_map_units_minus1 = 21;
         f.cropping = true;
         f.crop = {0, 0, 176, 0};
       },
       0x20000006},
      {"huge crop values do not wrap",
       [](SpsFields& f) {
         f.cropping = true;
         f.crop = {0x80000000u, 0x80000000u, 0, 0};
       },
       0x20000006},
      {"4:2:2",
       [](SpsFields& f) {
         f.profile_idc = 100;
         f.chroma_format_idc = 2;
       },
       0x20000007},
      {"4:4:4",
       [](SpsFields& f) {
         f.profile_idc = 100;
         f.chroma_format_idc = 3;
       },
       0x20000007},
      {"10-bit luma",
       [](SpsFields& f) {
         f.profile_idc = 100;
         f.bit_depth_luma_minus8 = 2;
       },
       0x20000007},
      {"10-bit chroma",
       [](SpsFields& f) {
         f.profile_idc = 100;
         f.bit_depth_chroma_minus8 = 2;
       },
       0x20000007},
      {"poc lsb 13", [](SpsFields& f) { f.log2_max_poc_lsb_minus4 = 13; }, 0x20000007},
      {"extended profile", [](SpsFields& f) { f.profile_idc = 88; }, 0x20000009},
      {"5 refs on 4", [](SpsFields& f) { f.num_ref_frames = 5; }, 0x2000000a},
      {"1920x1088",
       [](SpsFields& f) {
         f.width_mbs_minus1 = 119;
         f.height_map_units_minus1 = 67;
       },
       0x2000000c},
      {"81 wide", [](SpsFields& f) { f.width_mbs_minus1 = 80; }, 0x2000000c},
      {"46 high", [](SpsFields& f) { f.height_map_units_minus1 = 45; }, 0x2000000c},
      {"field pair 46 high",
       [](SpsFields& f) {
         f.frame_mbs_only = 0;
         f.height_map_units_minus1 = 22;
       },
       0x2000000c},
      {"one macroblock wide", [](SpsFields& f) { f.width_mbs_minus1 = 0; }, 0x2000000c},
      {"one map unit high", [](SpsFields& f) { f.height_map_units_minus1 = 0; }, 0x2000000c},
  };
  for (const SpsCase& c : cases) {
    DecoderHandle d(make_config(80, 45, 4));
    SpsFields f;
    c.change(f);
    EXPECT_EQ(parse_sps(d, f), c.code) << c.name;
    for (uint32_t id = 0; id < SPS_TABLE_SIZE; ++id) EXPECT_EQ(d.ctx->sps_table[id].valid, 0u);
    EXPECT_EQ(d.ctx->stream_state, 0u) << c.name;
  }
}

TEST(FrontSequenceParameterSet, AcceptedSetIsStoredWithItsDerivedValues) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  d.ctx->view_flag = 1;
  SpsFields f;
  f.sps_id = 7;
  f.log2_max_frame_num_minus4 = 2;
  f.cropping = true;
  f.crop = {1, 2, 3, 4};
  ASSERT_EQ(parse_sps(d, f), 0u);
  const SequenceParameterSet& sps = d.ctx->sps_table[7];
  EXPECT_TRUE(sps.valid && sps.changed);
  EXPECT_EQ(sps.seq_parameter_set_id, 7u);
  EXPECT_EQ(sps.width, 1280u);
  EXPECT_EQ(sps.height, 720u);
  EXPECT_EQ(sps.MaxFrameNum, 64u);
  EXPECT_EQ(sps.crop_left, 2u);
  EXPECT_EQ(sps.crop_right, 4u);
  EXPECT_EQ(sps.crop_top, 6u);
  EXPECT_EQ(sps.crop_bottom, 8u);
  EXPECT_EQ(sps.dpb_frames, 5u);  // level 3.1: 6912000 bytes / 1382400 a frame
  EXPECT_EQ(sps.scaling.list4x4[2][5], 16);
  EXPECT_EQ(d.ctx->stream_state, 1u);
  EXPECT_EQ(d.ctx->view_flag, 0u);
}

TEST(FrontSequenceParameterSet, InterlacedSequenceDoublesTheHeightAndCropsInUnitsOfFour) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  SpsFields f;
  f.frame_mbs_only = 0;
  f.height_map_units_minus1 = 21;
  f.cropping = true;
  f.crop = {0, 0, 1, 2};
  ASSERT_EQ(parse_sps(d, f), 0u);
  const SequenceParameterSet& sps = d.ctx->sps_table[0];
  EXPECT_EQ(sps.height, 704u);
  EXPECT_EQ(sps.crop_top, 4u);
  EXPECT_EQ(sps.crop_bottom, 8u);
  EXPECT_EQ(sps.direct_8x8_inference_flag, 1u);
}

TEST(FrontSequenceParameterSet, PictureBufferSizeFollowsTheLevelTable) {
  EXPECT_EQ(level_dpb_frames(31, 1382400), 5u);
  EXPECT_EQ(level_dpb_frames(9, 1382400), 16u);
  EXPECT_EQ(level_dpb_frames(52, 1382400), 16u);
  EXPECT_EQ(level_dpb_frames(30, 396 * 384), 16u);  // 8100 / 396 = 20, capped
  EXPECT_EQ(level_dpb_frames(21, 396 * 384), 12u);
  EXPECT_EQ(level_dpb_frames(11, 99 * 384), 9u);  // level 1b is read as 1.1
  EXPECT_EQ(level_dpb_frames(10, 99 * 384), 4u);
  EXPECT_EQ(level_dpb_frames(42, 8160 * 384), 4u);  // 34816 MBs, not the 4.1 value
  EXPECT_EQ(level_dpb_frames(40, 8160 * 384), 4u);
  EXPECT_EQ(level_dpb_frames(51, 120 * 68 * 384), 16u);

  DecoderHandle d(make_config(80, 45, 2));
  SpsFields f;
  f.level_idc = 9;
  ASSERT_EQ(parse_sps(d, f), 0u);
  EXPECT_EQ(d.ctx->sps_table[0].dpb_frames, 4u);  // min(16, 2 x 2 configured)
  f.level_idc = 10;                               // 396 MBs: no full 1280x720 frame
  f.num_ref_frames = 2;
  ASSERT_EQ(parse_sps(d, f), 0u);
  EXPECT_EQ(d.ctx->sps_table[0].dpb_frames, 2u);  // never below num_ref_frames
}

// Delta values that send `values` (zig-zag order) as a scaling list.
std::vector<int32_t> deltas_for(const std::vector<int>& values) {
  std::vector<int32_t> deltas;
  int last = 8;
  for (int v : values) {
    int delta = v - last;
    if (delta > 127) delta -= 256;
    if (delta < -128) delta += 256;
    deltas.push_back(delta);
    last = v;
  }
  return deltas;
}

constexpr uint8_t kZigzag4x4[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};
constexpr uint8_t kDefault4x4IntraZigzag[16] = {6,  13, 13, 20, 20, 20, 28, 28,
                                                28, 28, 32, 32, 32, 37, 37, 42};
constexpr uint8_t kDefault4x4InterZigzag[16] = {10, 14, 14, 20, 20, 20, 24, 24,
                                                24, 24, 27, 27, 27, 30, 30, 34};

void expect_list4x4(const uint8_t* raster, const uint8_t* zigzag_values, const char* what) {
  for (int i = 0; i < 16; ++i) EXPECT_EQ(raster[kZigzag4x4[i]], zigzag_values[i]) << what << i;
}

TEST(FrontScalingLists, SequenceSetFallBackRuleAAndRasterOrder) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  SpsFields f;
  f.profile_idc = 100;
  f.scaling_matrix = true;
  std::vector<int> ramp(16);
  for (int i = 0; i < 16; ++i) ramp[i] = 10 + 3 * i;
  f.lists[1] = deltas_for(ramp);
  f.lists[4] = std::vector<int32_t>{-8};         // first delta gives 0: the default list
  f.lists[5] = std::vector<int32_t>{2, 1, -11};  // 10, 11, then repeated 11
  ASSERT_EQ(parse_sps(d, f), 0u);
  const ScalingLists& s = d.ctx->sps_table[0].scaling;
  std::vector<uint8_t> ramp_bytes(ramp.begin(), ramp.end());
  expect_list4x4(s.list4x4[0], kDefault4x4IntraZigzag, "list 0 ");
  expect_list4x4(s.list4x4[1], ramp_bytes.data(), "list 1 ");
  expect_list4x4(s.list4x4[2], ramp_bytes.data(), "list 2 copies 1 ");
  expect_list4x4(s.list4x4[3], kDefault4x4InterZigzag, "list 3 ");
  expect_list4x4(s.list4x4[4], kDefault4x4InterZigzag, "list 4 default ");
  EXPECT_EQ(s.list4x4[5][0], 10);
  EXPECT_EQ(s.list4x4[5][1], 11);
  EXPECT_EQ(s.list4x4[5][15], 11);
  EXPECT_EQ(s.list8x8[0][0], 6);  // Default_8x8_Intra
  EXPECT_EQ(s.list8x8[0][63], 42);
  EXPECT_EQ(s.list8x8[1][1], 13);   // Default_8x8_Inter, raster (1, 0)
  EXPECT_EQ(s.list8x8[1][16], 15);  // zig-zag index 3 is raster (0, 2)
}

TEST(FrontScalingLists, PictureSetFallsBackToTheSequenceListsByRuleB) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  SpsFields f;
  f.profile_idc = 100;
  f.scaling_matrix = true;
  f.lists[0] = deltas_for(std::vector<int>(16, 20));
  f.lists[6] = deltas_for(std::vector<int>(64, 30));
  ASSERT_EQ(parse_sps(d, f), 0u);
  PpsFields p;
  p.extension = true;
  p.transform_8x8_mode = 1;
  p.scaling_matrix = true;
  p.lists[3] = deltas_for(std::vector<int>(16, 40));
  ASSERT_EQ(parse_pps(d, p), 0u);
  const ScalingLists& s = d.ctx->pps_table[0].scaling;
  EXPECT_EQ(s.list4x4[0][7], 20);  // rule B: the sequence set's list 0
  EXPECT_EQ(s.list4x4[2][7], 20);  // copies list 1, which copied list 0
  EXPECT_EQ(s.list4x4[3][7], 40);
  EXPECT_EQ(s.list4x4[5][7], 40);
  EXPECT_EQ(s.list8x8[0][9], 30);  // the sequence set's 8x8 intra list
  EXPECT_EQ(s.list8x8[1][0], 9);   // the sequence set's list 7: Default_8x8_Inter by rule A
}

TEST(FrontScalingLists, PictureSetWithoutSequenceMatrixFallsBackToDefaults) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  SpsFields f;
  f.profile_idc = 100;
  ASSERT_EQ(parse_sps(d, f), 0u);
  PpsFields p;
  p.extension = true;
  p.scaling_matrix = true;
  ASSERT_EQ(parse_pps(d, p), 0u);
  const ScalingLists& s = d.ctx->pps_table[0].scaling;
  expect_list4x4(s.list4x4[0], kDefault4x4IntraZigzag, "rule A list 0 ");
  expect_list4x4(s.list4x4[4], kDefault4x4InterZigzag, "rule A list 4 ");
  EXPECT_EQ(s.list8x8[0][0], 6);
  p.scaling_matrix = false;
  ASSERT_EQ(parse_pps(d, p), 0u);
  EXPECT_EQ(d.ctx->pps_table[0].scaling.list4x4[0][0], 16);  // the sequence set's flat lists
}

TEST(FrontPictureParameterSet, ShortSetGetsNoTransform8x8AndTheSequenceLists) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  SpsFields f;
  f.profile_idc = 100;
  f.scaling_matrix = true;
  f.lists[0] = deltas_for(std::vector<int>(16, 24));
  ASSERT_EQ(parse_sps(d, f), 0u);
  PpsFields p;
  p.pps_id = 255;
  p.chroma_qp_index_offset = -5;
  ASSERT_EQ(parse_pps(d, p), 0u);
  const PictureParameterSet& pps = d.ctx->pps_table[255];
  EXPECT_TRUE(pps.valid && pps.changed);
  EXPECT_EQ(pps.transform_8x8_mode_flag, 0u);
  EXPECT_EQ(pps.second_chroma_qp_index_offset, -5);
  EXPECT_EQ(pps.scaling.list4x4[0][3], 24);
  EXPECT_EQ(pps.scaling.list4x4[3][0], 10);
  EXPECT_EQ(d.ctx->stream_state, 2u);
}

struct PpsCase {
  std::string name;
  std::function<void(PpsFields&)> change;
  uint32_t code;
};

TEST(FrontPictureParameterSet, EveryCheckRejectsWithItsCodeAndLeavesTheTable) {
  const std::vector<PpsCase> cases = {
      {"id 256", [](PpsFields& p) { p.pps_id = 256; }, 0x20000011},
      {"sps id 32", [](PpsFields& p) { p.sps_id = 32; }, 0x20000012},
      {"sps never received", [](PpsFields& p) { p.sps_id = 3; }, 0x20000012},
      {"slice groups", [](PpsFields& p) { p.num_slice_groups_minus1 = 1; }, 0x2000001a},
      {"l0 32", [](PpsFields& p) { p.num_ref_idx_l0_minus1 = 32; }, 0x20000016},
      {"l1 32", [](PpsFields& p) { p.num_ref_idx_l1_minus1 = 32; }, 0x20000017},
      {"weighted_pred_flag", [](PpsFields& p) { p.weighted_pred = 1; }, 0x2000001c},
      {"weighted_bipred_idc", [](PpsFields& p) { p.weighted_bipred = 2; }, 0x2000001c},
      {"qp -27", [](PpsFields& p) { p.pic_init_qp_minus26 = -27; }, 0x20000013},
      {"qp 26", [](PpsFields& p) { p.pic_init_qp_minus26 = 26; }, 0x20000013},
      {"qs -27", [](PpsFields& p) { p.pic_init_qs_minus26 = -27; }, 0x20000014},
      {"qs 26", [](PpsFields& p) { p.pic_init_qs_minus26 = 26; }, 0x20000014},
      {"chroma offset 13", [](PpsFields& p) { p.chroma_qp_index_offset = 13; }, 0x20000015},
      {"chroma offset -13", [](PpsFields& p) { p.chroma_qp_index_offset = -13; }, 0x20000015},
      {"second offset -13",
       [](PpsFields& p) {
         p.extension = true;
         p.second_chroma_qp_index_offset = -13;
       },
       0x20000015},
  };
  for (const PpsCase& c : cases) {
    DecoderHandle d(make_config(80, 45, 4));
    ASSERT_EQ(parse_sps(d, SpsFields{}), 0u);
    PpsFields p;
    c.change(p);
    EXPECT_EQ(parse_pps(d, p), c.code) << c.name;
    for (uint32_t id = 0; id < PPS_TABLE_SIZE; ++id) EXPECT_EQ(d.ctx->pps_table[id].valid, 0u);
    EXPECT_EQ(d.ctx->stream_state, 1u) << c.name;
  }
}

TEST(FrontPictureParameterSet, RejectedSequenceSetCannotBeReferred) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  SpsFields f;
  f.profile_idc = 100;
  f.chroma_format_idc = 2;
  EXPECT_EQ(parse_sps(d, f), 0x20000007u);
  EXPECT_EQ(parse_pps(d, PpsFields{}), 0x20000012u);
}

TEST(FrontPictureParameterSet, ReplacingASetOverwritesItAtOnce) {
  DecoderHandle d(make_config(80, 45, 16, 0));
  ASSERT_EQ(parse_sps(d, SpsFields{}), 0u);
  PpsFields p;
  ASSERT_EQ(parse_pps(d, p), 0u);
  d.ctx->pps_table[0].changed = 0;
  p.entropy_coding_mode = 1;
  p.pic_init_qp_minus26 = -4;
  ASSERT_EQ(parse_pps(d, p), 0u);
  EXPECT_EQ(d.ctx->pps_table[0].entropy_coding_mode_flag, 1u);
  EXPECT_EQ(d.ctx->pps_table[0].pic_init_qp_minus26, -4);
  EXPECT_EQ(d.ctx->pps_table[0].changed, 1u);
}

}  // namespace
