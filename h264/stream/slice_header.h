// Slice header, parameter-set activation and the first-slice-of-a-picture test.
#pragma once

#include <cstdint>

#include "h264/stream/picture_store.h"

struct DecoderContext;

constexpr uint32_t MAX_REORDER_COMMANDS = 33;

// StreamState
constexpr uint32_t STREAM_EMPTY = 0;
constexpr uint32_t STREAM_HAS_SPS = 1;
constexpr uint32_t STREAM_HAS_PPS = 2;
constexpr uint32_t STREAM_DECODING = 3;

constexpr uint32_t SLICE_P = 0;
constexpr uint32_t SLICE_B = 1;
constexpr uint32_t SLICE_I = 2;
constexpr uint32_t SLICE_SP = 3;
constexpr uint32_t SLICE_SI = 4;

// Result codes of this layer.
constexpr uint32_t SLICE_NOT_STARTED = 0x10000004;
constexpr uint32_t SLICE_MBAFF = 0x2000000b;
constexpr uint32_t SLICE_BAD_TYPE = 0x30000001;
constexpr uint32_t SLICE_BAD_PPS = 0x30000002;
constexpr uint32_t SLICE_IDR_FRAME_NUM = 0x30000003;
constexpr uint32_t SLICE_FRAME_NUM_BACKWARDS = 0x30000004;
constexpr uint32_t SLICE_MISSING_REFERENCE = 0x30000005;
constexpr uint32_t SLICE_NO_FREE_STORE = 0x30000006;
constexpr uint32_t SLICE_BAD_NUM_REF_IDX_L0 = 0x30000007;
constexpr uint32_t SLICE_BAD_NUM_REF_IDX_L1 = 0x30000008;
constexpr uint32_t SLICE_BAD_CABAC_INIT_IDC = 0x30000009;
constexpr uint32_t SLICE_BAD_DEBLOCKING_OFFSET = 0x3000000a;
constexpr uint32_t SLICE_B_SLICE = 0x3000001a;
constexpr uint32_t SLICE_REDUNDANT = 0x3000001b;
constexpr uint32_t SLICE_OF_FINISHED_PICTURE = 0x3000001c;

struct ReorderCommand {
  uint32_t reordering_of_pic_nums_idc;
  uint32_t value;  // abs_diff_pic_num_minus1 or long_term_pic_num
};

struct SliceHeader {
  uint32_t first_mb_in_slice;
  uint32_t slice_type;  // slice_type mod 5
  uint32_t pic_parameter_set_id;
  uint32_t frame_num;
  uint32_t field_pic_flag;
  uint32_t bottom_field_flag;
  uint32_t structure;
  uint32_t PicWidthInMbs;
  uint32_t PicHeightInMbs;
  uint32_t PicSizeInMbs;
  uint32_t idr_pic_id;  // 65536 for a non-IDR slice
  uint32_t pic_order_cnt_lsb;
  int32_t delta_pic_order_cnt_bottom;
  int32_t delta_pic_order_cnt[2];
  uint32_t num_ref_idx_l0_active_minus1;
  uint32_t num_ref_idx_l1_active_minus1;
  uint32_t reorder_count;
  ReorderCommand reorder[MAX_REORDER_COMMANDS];
  RefPicMarking marking;
  uint32_t cabac_init_idc;
  int32_t slice_qp_delta;
  uint32_t disable_deblocking_filter_idc;
  int32_t slice_alpha_c0_offset_div2;
  int32_t slice_beta_offset_div2;
  uint32_t nal_ref_idc;
  uint32_t nal_unit_type;
};

// Values of the last accepted slice that the first-slice test compares.
struct LastSliceValues {
  int64_t pic_parameter_set_id;  // -1 before any slice
  uint32_t frame_num;
  uint32_t nal_ref_idc;
  uint32_t nal_unit_type;
  uint32_t field_pic_flag;
  uint32_t bottom_field_flag;
  int64_t idr_pic_id;  // -1 forces a new picture
  uint32_t pic_order_cnt_lsb;
  int32_t delta_pic_order_cnt_bottom;
  int32_t delta_pic_order_cnt[2];
};

// Handles a NAL unit of type 1 or 5; returns 2 for a new picture, 3 for a further slice of the
// current one, or an error code.
uint32_t decode_slice_nal(DecoderContext& ctx, uint32_t unit_bytes);

// Finishes the picture in progress (incomplete mark, marking, storing, output).
void finish_current_picture(DecoderContext& ctx);

// Finishes the picture in progress once all its macroblocks are decoded, so that it can be
// output before the next access unit arrives. Further slices of it are then dropped.
void finish_complete_picture(DecoderContext& ctx);
