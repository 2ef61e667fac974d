// Sequence and picture parameter sets: records, tables and parsers.
#pragma once

#include <cstdint>

struct DecoderContext;

constexpr uint32_t SPS_TABLE_SIZE = 32;
constexpr uint32_t PPS_TABLE_SIZE = 256;
constexpr uint32_t MAX_POC_CYCLE = 256;

// Scaling lists in raster order: 4x4 lists 0..5 (intra Y, Cb, Cr, inter Y, Cb, Cr),
// 8x8 lists 0..1 (intra Y, inter Y).
struct ScalingLists {
  uint8_t list4x4[6][16];
  uint8_t list8x8[2][64];
};

struct SequenceParameterSet {
  uint32_t profile_idc;
  uint32_t constraint_set0_flag;
  uint32_t constraint_set1_flag;
  uint32_t constraint_set2_flag;
  uint32_t constraint_set3_flag;
  uint32_t level_idc;
  uint32_t seq_parameter_set_id;
  uint32_t chroma_format_idc;
  uint32_t qpprime_y_zero_transform_bypass_flag;
  uint32_t seq_scaling_matrix_present_flag;
  ScalingLists scaling;
  uint32_t MaxFrameNum;
  uint32_t log2_max_frame_num_minus4;
  uint32_t pic_order_cnt_type;
  uint32_t log2_max_pic_order_cnt_lsb_minus4;
  uint32_t delta_pic_order_always_zero_flag;
  int32_t offset_for_non_ref_pic;
  int32_t offset_for_top_to_bottom_field;
  uint32_t num_ref_frames_in_pic_order_cnt_cycle;
  int32_t offset_for_ref_frame[MAX_POC_CYCLE];
  uint32_t num_ref_frames;
  uint32_t dpb_frames;  // picture buffer size
  // Pictures that may wait for a later-decoded one to be output first; dpb_frames when the
  // stream does not say (then only a full buffer outputs).
  uint32_t reorder_frames;
  uint32_t gaps_in_frame_num_value_allowed_flag;
  uint32_t pic_width_in_mbs_minus1;
  uint32_t pic_height_in_map_units_minus1;
  uint32_t frame_mbs_only_flag;
  uint32_t mb_adaptive_frame_field_flag;
  uint32_t direct_8x8_inference_flag;
  uint32_t frame_cropping_flag;
  uint32_t crop_left;  // crop values in luma samples
  uint32_t crop_right;
  uint32_t crop_top;
  uint32_t crop_bottom;
  uint32_t width;   // PicWidthInMbs x 16
  uint32_t height;  // FrameHeightInMbs x 16
  // VUI bitstream_restriction, when sent and consistent.
  uint32_t bitstream_restriction_flag;
  uint32_t max_num_reorder_frames;
  uint32_t max_dec_frame_buffering;
  uint32_t valid;  // 1 once a set with this id was stored
  uint32_t changed;
};

struct PictureParameterSet {
  uint32_t pic_parameter_set_id;
  uint32_t seq_parameter_set_id;
  uint32_t bottom_field_pic_order_in_frame_present_flag;
  uint32_t entropy_coding_mode_flag;
  uint32_t num_ref_idx_l0_default_active_minus1;
  uint32_t num_ref_idx_l1_default_active_minus1;
  uint32_t weighted_pred_flag;
  uint32_t weighted_bipred_idc;
  int32_t pic_init_qp_minus26;
  int32_t pic_init_qs_minus26;
  int32_t chroma_qp_index_offset;
  int32_t second_chroma_qp_index_offset;
  uint32_t deblocking_filter_control_present_flag;
  uint32_t constrained_intra_pred_flag;
  uint32_t redundant_pic_cnt_present_flag;
  uint32_t transform_8x8_mode_flag;
  uint32_t pic_scaling_matrix_present_flag;
  ScalingLists scaling;
  uint32_t valid;
  uint32_t changed;
};

// Result codes of this layer.
constexpr uint32_t PS_BAD_SPS_ID = 0x20000001;
constexpr uint32_t PS_BAD_LOG2_MAX_FRAME_NUM = 0x20000002;
constexpr uint32_t PS_TOO_MANY_REF_FRAMES = 0x20000003;
constexpr uint32_t PS_BAD_POC_TYPE = 0x20000004;
constexpr uint32_t PS_POC_CYCLE_TOO_LONG = 0x20000005;
constexpr uint32_t PS_BAD_CROPPING = 0x20000006;
constexpr uint32_t PS_UNSUPPORTED_FORMAT = 0x20000007;
constexpr uint32_t PS_UNSUPPORTED_PROFILE = 0x20000009;
constexpr uint32_t PS_REF_FRAMES_ABOVE_CONFIG = 0x2000000a;
constexpr uint32_t PS_BAD_PICTURE_SIZE = 0x2000000c;
constexpr uint32_t PS_BAD_PPS_ID = 0x20000011;
constexpr uint32_t PS_MISSING_SPS = 0x20000012;
constexpr uint32_t PS_BAD_PIC_INIT_QP = 0x20000013;
constexpr uint32_t PS_BAD_PIC_INIT_QS = 0x20000014;
constexpr uint32_t PS_BAD_CHROMA_QP_OFFSET = 0x20000015;
constexpr uint32_t PS_BAD_NUM_REF_IDX_L0 = 0x20000016;
constexpr uint32_t PS_BAD_NUM_REF_IDX_L1 = 0x20000017;
constexpr uint32_t PS_SLICE_GROUPS = 0x2000001a;
constexpr uint32_t PS_WEIGHTED_PREDICTION = 0x2000001c;

// Frames of MaxDPB that the level allows for a frame of `frame_bytes`, at most 16;
// 16 for a level_idc the table does not know.
uint32_t level_dpb_frames(uint32_t level_idc, uint64_t frame_bytes);

// Both parse the unit in the context's BitReader (placed after the NAL unit header) and
// return 0 or one of the codes above; a failed set leaves the tables unchanged.
uint32_t parse_sequence_parameter_set(DecoderContext& ctx);
uint32_t parse_picture_parameter_set(DecoderContext& ctx);
