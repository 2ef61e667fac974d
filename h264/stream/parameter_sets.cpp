#include "h264/stream/parameter_sets.h"

#include <algorithm>
#include <cstring>

#include "h264/decoder/decoder_context.h"
#include "h264/stream/zigzag.h"

namespace {

constexpr uint8_t kDefault4x4Intra[16] = {
    6, 13, 13, 20, 20, 20, 28, 28, 28, 28, 32, 32, 32, 37, 37, 42,
};

constexpr uint8_t kDefault4x4Inter[16] = {
    10, 14, 14, 20, 20, 20, 24, 24, 24, 24, 27, 27, 27, 30, 30, 34,
};

constexpr uint8_t kDefault8x8Intra[64] = {
    6,  10, 10, 13, 11, 13, 16, 16, 16, 16, 18, 18, 18, 18, 18, 23, 23, 23, 23, 23, 23, 25,
    25, 25, 25, 25, 25, 25, 27, 27, 27, 27, 27, 27, 27, 27, 29, 29, 29, 29, 29, 29, 29, 31,
    31, 31, 31, 31, 31, 33, 33, 33, 33, 33, 36, 36, 36, 36, 38, 38, 38, 40, 40, 42,
};

constexpr uint8_t kDefault8x8Inter[64] = {
    9,  13, 13, 15, 13, 15, 17, 17, 17, 17, 19, 19, 19, 19, 19, 21, 21, 21, 21, 21, 21, 22,
    22, 22, 22, 22, 22, 22, 24, 24, 24, 24, 24, 24, 24, 24, 25, 25, 25, 25, 25, 25, 25, 27,
    27, 27, 27, 27, 27, 28, 28, 28, 28, 28, 30, 30, 30, 30, 32, 32, 32, 33, 33, 35,
};

// MaxDpbMbs of the levels whose buffer size is known; MaxDPB in bytes is 384 times it.
struct LevelLimit {
  uint32_t level_idc;
  uint32_t max_dpb_mbs;
};
constexpr LevelLimit kLevelLimits[] = {
    {10, 396},   {11, 900},   {12, 2376},  {13, 2376},   {20, 2376},
    {21, 4752},  {22, 8100},  {30, 8100},  {31, 18000},  {32, 20480},
    {40, 32768}, {41, 32768}, {42, 34816}, {50, 110400}, {51, 184320},
};

constexpr uint32_t kFlatScale = 16;

void fill_raster(uint8_t* raster, const uint8_t* zigzag_values, const uint8_t* scan, int size) {
  for (int i = 0; i < size; ++i) raster[scan[i]] = zigzag_values[i];
}

// scaling_list(): the list in raster order; false when the default list is to be used.
bool read_scaling_list(BitReader& br, uint8_t* raster, const uint8_t* scan, int size) {
  uint32_t last_scale = 8;
  uint32_t next_scale = 8;
  for (int j = 0; j < size; ++j) {
    if (next_scale != 0) {
      int32_t delta_scale = read_se(br);
      next_scale = (last_scale + static_cast<uint32_t>(delta_scale)) & 255;
      if (j == 0 && next_scale == 0) return false;
    }
    uint32_t scale = next_scale == 0 ? last_scale : next_scale;
    raster[scan[j]] = static_cast<uint8_t>(scale);
    last_scale = scale;
  }
  return true;
}

void set_flat(ScalingLists& lists) {
  std::memset(&lists, kFlatScale, sizeof lists);
}

// Reads `count` lists (six 4x4, then the 8x8 ones). A list that is not sent falls back to
// `fallback` for lists 0, 3 and the 8x8 lists, to the list before it for 1, 2, 4, 5; a list
// whose first delta gives 0 takes the default.
void read_scaling_matrix(BitReader& br, ScalingLists& lists, int count,
                         const ScalingLists& fallback) {
  for (int i = 0; i < count; ++i) {
    bool present = read_flag(br);
    if (i < 6) {
      const uint8_t* default_list = i < 3 ? kDefault4x4Intra : kDefault4x4Inter;
      if (present) {
        if (!read_scaling_list(br, lists.list4x4[i], kZigzag4x4, 16)) {
          fill_raster(lists.list4x4[i], default_list, kZigzag4x4, 16);
        }
      } else if (i == 0 || i == 3) {
        std::memcpy(lists.list4x4[i], fallback.list4x4[i], 16);
      } else {
        std::memcpy(lists.list4x4[i], lists.list4x4[i - 1], 16);
      }
    } else {
      const uint8_t* default_list = i == 6 ? kDefault8x8Intra : kDefault8x8Inter;
      uint8_t* list = lists.list8x8[i - 6];
      if (present) {
        if (!read_scaling_list(br, list, kZigzag8x8, 64)) {
          fill_raster(list, default_list, kZigzag8x8, 64);
        }
      } else {
        std::memcpy(list, fallback.list8x8[i - 6], 64);
      }
    }
  }
}

// Fall-back rule A: the default lists.
ScalingLists default_scaling_lists() {
  ScalingLists lists;
  for (int i = 0; i < 6; ++i) {
    fill_raster(lists.list4x4[i], i < 3 ? kDefault4x4Intra : kDefault4x4Inter, kZigzag4x4, 16);
  }
  fill_raster(lists.list8x8[0], kDefault8x8Intra, kZigzag8x8, 64);
  fill_raster(lists.list8x8[1], kDefault8x8Inter, kZigzag8x8, 64);
  return lists;
}

void skip_hrd_parameters(BitReader& br) {
  const uint32_t cpb_cnt_minus1 = read_ue(br);
  read_bits(br, 8);  // bit_rate_scale, cpb_size_scale
  for (uint32_t i = 0; i <= cpb_cnt_minus1 && i < 32; ++i) {
    read_ue(br);  // bit_rate_value_minus1
    read_ue(br);  // cpb_size_value_minus1
    read_flag(br);
  }
  read_bits(br, 20);  // four delay and offset lengths
}

// vui_parameters(): keeps bitstream_restriction alone, and only when it lies inside the unit and
// agrees with the other limits (a restriction a decoder cannot trust is no restriction).
void read_vui_parameters(BitReader& br, SequenceParameterSet& sps) {
  if (read_flag(br) && read_bits(br, 8) == 255) read_bits(br, 32);  // aspect ratio, sar
  if (read_flag(br)) read_flag(br);                                 // overscan
  if (read_flag(br)) {                                              // video signal type
    read_bits(br, 4);
    if (read_flag(br)) read_bits(br, 24);
  }
  if (read_flag(br)) {  // chroma sample locations
    read_ue(br);
    read_ue(br);
  }
  if (read_flag(br)) {  // timing
    read_bits(br, 32);
    read_bits(br, 32);
    read_flag(br);
  }
  const bool nal_hrd = read_flag(br);
  if (nal_hrd) skip_hrd_parameters(br);
  const bool vcl_hrd = read_flag(br);
  if (vcl_hrd) skip_hrd_parameters(br);
  if (nal_hrd || vcl_hrd) read_flag(br);  // low_delay_hrd_flag
  read_flag(br);                          // pic_struct_present_flag
  if (!read_flag(br)) return;
  read_flag(br);  // motion_vectors_over_pic_boundaries_flag
  for (int i = 0; i < 4; ++i) read_ue(br);
  const uint32_t reorder = read_ue(br);
  const uint32_t buffering = read_ue(br);
  if (br.position > br.rbsp_bits + 7 || reorder > buffering || buffering > MAX_REF_FRAMES ||
      buffering < sps.num_ref_frames) {
    return;
  }
  sps.bitstream_restriction_flag = 1;
  sps.max_num_reorder_frames = reorder;
  sps.max_dec_frame_buffering = buffering;
}

}  // namespace

uint32_t level_dpb_frames(uint32_t level_idc, uint64_t frame_bytes) {
  for (const LevelLimit& limit : kLevelLimits) {
    if (limit.level_idc == level_idc) {
      uint64_t frames = uint64_t{limit.max_dpb_mbs} * 384 / std::max<uint64_t>(frame_bytes, 1);
      return static_cast<uint32_t>(std::min<uint64_t>(frames, 16));
    }
  }
  return 16;
}

uint32_t parse_sequence_parameter_set(DecoderContext& ctx) {
  BitReader& br = ctx.reader;
  SequenceParameterSet sps{};
  sps.profile_idc = read_bits(br, 8);
  sps.constraint_set0_flag = read_flag(br);
  sps.constraint_set1_flag = read_flag(br);
  sps.constraint_set2_flag = read_flag(br);
  sps.constraint_set3_flag = read_flag(br);
  read_bits(br, 4);
  sps.level_idc = read_bits(br, 8);
  sps.seq_parameter_set_id = read_ue(br);
  if (sps.seq_parameter_set_id >= SPS_TABLE_SIZE) return PS_BAD_SPS_ID;

  if (sps.profile_idc == 100) {
    sps.chroma_format_idc = read_ue(br);
    if (sps.chroma_format_idc == 3) read_flag(br);
    uint32_t bit_depth_luma_minus8 = read_ue(br);
    uint32_t bit_depth_chroma_minus8 = read_ue(br);
    if (sps.chroma_format_idc != 1 || bit_depth_luma_minus8 != 0 || bit_depth_chroma_minus8 != 0) {
      return PS_UNSUPPORTED_FORMAT;
    }
    sps.qpprime_y_zero_transform_bypass_flag = read_flag(br);
    sps.seq_scaling_matrix_present_flag = read_flag(br);
    if (sps.seq_scaling_matrix_present_flag) {
      read_scaling_matrix(br, sps.scaling, 8, default_scaling_lists());
    } else {
      set_flat(sps.scaling);
    }
  } else if (sps.profile_idc == 66 || sps.profile_idc == 77) {
    sps.chroma_format_idc = 1;
    set_flat(sps.scaling);
  } else {
    return PS_UNSUPPORTED_PROFILE;
  }

  sps.log2_max_frame_num_minus4 = read_ue(br);
  if (sps.log2_max_frame_num_minus4 > 12) return PS_BAD_LOG2_MAX_FRAME_NUM;
  sps.MaxFrameNum = 1u << (sps.log2_max_frame_num_minus4 + 4);
  sps.pic_order_cnt_type = read_ue(br);
  if (sps.pic_order_cnt_type > 2) return PS_BAD_POC_TYPE;
  if (sps.pic_order_cnt_type == 0) {
    sps.log2_max_pic_order_cnt_lsb_minus4 = read_ue(br);
    if (sps.log2_max_pic_order_cnt_lsb_minus4 > 12) return PS_UNSUPPORTED_FORMAT;
  } else if (sps.pic_order_cnt_type == 1) {
    sps.delta_pic_order_always_zero_flag = read_flag(br);
    sps.offset_for_non_ref_pic = read_se(br);
    sps.offset_for_top_to_bottom_field = read_se(br);
    sps.num_ref_frames_in_pic_order_cnt_cycle = read_ue(br);
    if (sps.num_ref_frames_in_pic_order_cnt_cycle > MAX_POC_CYCLE) return PS_POC_CYCLE_TOO_LONG;
    for (uint32_t i = 0; i < sps.num_ref_frames_in_pic_order_cnt_cycle; ++i) {
      sps.offset_for_ref_frame[i] = read_se(br);
    }
  }

  sps.num_ref_frames = read_ue(br);
  if (sps.num_ref_frames > MAX_REF_FRAMES) return PS_TOO_MANY_REF_FRAMES;
  if (sps.num_ref_frames > ctx.max_ref_frames) return PS_REF_FRAMES_ABOVE_CONFIG;
  sps.gaps_in_frame_num_value_allowed_flag = read_flag(br);
  sps.pic_width_in_mbs_minus1 = read_ue(br);
  sps.pic_height_in_map_units_minus1 = read_ue(br);
  sps.frame_mbs_only_flag = read_flag(br);
  if (!sps.frame_mbs_only_flag) sps.mb_adaptive_frame_field_flag = read_flag(br);
  sps.direct_8x8_inference_flag = read_flag(br) | (sps.frame_mbs_only_flag ^ 1);
  uint32_t field_factor = 2 - sps.frame_mbs_only_flag;
  if (sps.pic_width_in_mbs_minus1 >= ctx.max_width_mbs ||
      sps.pic_height_in_map_units_minus1 >= ctx.max_height_mbs / field_factor ||
      sps.pic_width_in_mbs_minus1 == 0 || sps.pic_height_in_map_units_minus1 == 0) {
    return PS_BAD_PICTURE_SIZE;
  }
  uint32_t width_mbs = sps.pic_width_in_mbs_minus1 + 1;
  uint32_t height_mbs = (sps.pic_height_in_map_units_minus1 + 1) * field_factor;
  sps.width = width_mbs * 16;
  sps.height = height_mbs * 16;

  sps.frame_cropping_flag = read_flag(br);
  if (sps.frame_cropping_flag) {
    uint64_t left = read_ue(br);
    uint64_t right = read_ue(br);
    uint64_t top = read_ue(br);
    uint64_t bottom = read_ue(br);
    uint64_t crop_unit_y = 2 * field_factor;
    if ((left + right) * 2 >= sps.width || (top + bottom) * crop_unit_y >= sps.height) {
      return PS_BAD_CROPPING;
    }
    sps.crop_left = static_cast<uint32_t>(left * 2);
    sps.crop_right = static_cast<uint32_t>(right * 2);
    sps.crop_top = static_cast<uint32_t>(top * crop_unit_y);
    sps.crop_bottom = static_cast<uint32_t>(bottom * crop_unit_y);
  }
  if (read_flag(br)) read_vui_parameters(br, sps);

  uint64_t frame_bytes = uint64_t{width_mbs} * height_mbs * 384;
  uint32_t buffer_frames =
      std::min(level_dpb_frames(sps.level_idc, frame_bytes), 2 * ctx.max_ref_frames);
  if (sps.bitstream_restriction_flag) {
    buffer_frames = std::min(buffer_frames, sps.max_dec_frame_buffering);
  }
  sps.dpb_frames = std::max(sps.num_ref_frames, buffer_frames);
  // Output order is decoding order with picture order count type 2.
  sps.reorder_frames = sps.pic_order_cnt_type == 2      ? 0
                       : sps.bitstream_restriction_flag ? sps.max_num_reorder_frames
                                                        : sps.dpb_frames;

  sps.valid = 1;
  sps.changed = 1;
  ctx.sps_table[sps.seq_parameter_set_id] = sps;
  if (ctx.stream_state == 0) ctx.stream_state = 1;
  ctx.view_flag = 0;
  return 0;
}

uint32_t parse_picture_parameter_set(DecoderContext& ctx) {
  BitReader& br = ctx.reader;
  PictureParameterSet pps{};
  pps.pic_parameter_set_id = read_ue(br);
  if (pps.pic_parameter_set_id >= PPS_TABLE_SIZE) return PS_BAD_PPS_ID;
  pps.seq_parameter_set_id = read_ue(br);
  if (pps.seq_parameter_set_id >= SPS_TABLE_SIZE ||
      !ctx.sps_table[pps.seq_parameter_set_id].valid) {
    return PS_MISSING_SPS;
  }
  const SequenceParameterSet& sps = ctx.sps_table[pps.seq_parameter_set_id];
  pps.entropy_coding_mode_flag = read_flag(br);
  pps.bottom_field_pic_order_in_frame_present_flag = read_flag(br);
  if (read_ue(br) != 0) return PS_SLICE_GROUPS;
  pps.num_ref_idx_l0_default_active_minus1 = read_ue(br);
  if (pps.num_ref_idx_l0_default_active_minus1 > 31) return PS_BAD_NUM_REF_IDX_L0;
  pps.num_ref_idx_l1_default_active_minus1 = read_ue(br);
  if (pps.num_ref_idx_l1_default_active_minus1 > 31) return PS_BAD_NUM_REF_IDX_L1;
  pps.weighted_pred_flag = read_flag(br);
  pps.weighted_bipred_idc = read_bits(br, 2);
  if (pps.weighted_pred_flag || pps.weighted_bipred_idc) return PS_WEIGHTED_PREDICTION;
  pps.pic_init_qp_minus26 = read_se(br);
  if (pps.pic_init_qp_minus26 < -26 || pps.pic_init_qp_minus26 > 25) return PS_BAD_PIC_INIT_QP;
  pps.pic_init_qs_minus26 = read_se(br);
  if (pps.pic_init_qs_minus26 < -26 || pps.pic_init_qs_minus26 > 25) return PS_BAD_PIC_INIT_QS;
  pps.chroma_qp_index_offset = read_se(br);
  if (pps.chroma_qp_index_offset < -12 || pps.chroma_qp_index_offset > 12) {
    return PS_BAD_CHROMA_QP_OFFSET;
  }
  pps.second_chroma_qp_index_offset = pps.chroma_qp_index_offset;
  pps.deblocking_filter_control_present_flag = read_flag(br);
  pps.constrained_intra_pred_flag = read_flag(br);
  pps.redundant_pic_cnt_present_flag = read_flag(br);
  pps.scaling = sps.scaling;
  if (more_rbsp_data(br)) {
    pps.transform_8x8_mode_flag = read_flag(br);
    pps.pic_scaling_matrix_present_flag = read_flag(br);
    if (pps.pic_scaling_matrix_present_flag) {
      const ScalingLists fallback =
          sps.seq_scaling_matrix_present_flag ? sps.scaling : default_scaling_lists();
      read_scaling_matrix(br, pps.scaling, 6 + 2 * static_cast<int>(pps.transform_8x8_mode_flag),
                          fallback);
      if (!pps.transform_8x8_mode_flag) {
        std::memcpy(pps.scaling.list8x8, fallback.list8x8, sizeof pps.scaling.list8x8);
      }
    }
    pps.second_chroma_qp_index_offset = read_se(br);
    if (pps.second_chroma_qp_index_offset < -12 || pps.second_chroma_qp_index_offset > 12) {
      return PS_BAD_CHROMA_QP_OFFSET;
    }
  }
  pps.valid = 1;
  pps.changed = 1;
  ctx.pps_table[pps.pic_parameter_set_id] = pps;
  if (ctx.stream_state == 1) ctx.stream_state = 2;
  return 0;
}
