#include "h264/stream/slice_header.h"

#include <algorithm>
#include <cstring>

#include "h264/decoder/decoder_context.h"
#include "h264/decoder/decoder_workers.h"
#include "h264/stream/zigzag.h"

namespace {

// Activation of the slice's parameter sets (copies into the active sets when changed).
uint32_t activate_parameter_sets(DecoderContext& ctx, uint32_t pps_id) {
  PictureParameterSet& pps = ctx.pps_table[pps_id];
  if (pps.seq_parameter_set_id >= SPS_TABLE_SIZE ||
      !ctx.sps_table[pps.seq_parameter_set_id].valid) {
    return PS_MISSING_SPS;
  }
  if (pps.changed || ctx.active_pps_id != pps_id) {
    ctx.active_pps = pps;
    ctx.active_pps_id = pps_id;
    pps.changed = 0;
  }
  SequenceParameterSet& sps = ctx.sps_table[pps.seq_parameter_set_id];
  if (sps.changed || ctx.active_sps_id != sps.seq_parameter_set_id) {
    ctx.active_sps = sps;
    ctx.active_sps_id = sps.seq_parameter_set_id;
    sps.changed = 0;
    ctx.dpb.size = std::max(1u, std::min(sps.dpb_frames, DPB_ENTRIES));
    ctx.last_slice.idr_pic_id = -1;
  }
  return 0;
}

void read_reordering(BitReader& br, SliceHeader& h) {
  h.reorder_count = 0;
  if (!read_flag(br)) return;
  while (h.reorder_count < MAX_REORDER_COMMANDS) {
    uint32_t idc = read_ue(br);
    if (idc > 2) return;
    h.reorder[h.reorder_count++] = ReorderCommand{idc, read_ue(br)};
  }
}

void read_marking(BitReader& br, SliceHeader& h) {
  RefPicMarking& m = h.marking;
  m = RefPicMarking{};
  if (h.nal_unit_type == 5) {
    m.no_output_of_prior_pics_flag = read_flag(br);
    m.long_term_reference_flag = read_flag(br);
    return;
  }
  m.adaptive_ref_pic_marking_mode_flag = read_flag(br);
  if (!m.adaptive_ref_pic_marking_mode_flag) return;
  while (m.count < MAX_MMCO) {
    MmcoOperation op{};
    op.operation = read_ue(br);
    if (op.operation == 0 || op.operation > 6) return;
    if (op.operation == 1 || op.operation == 3) op.difference_of_pic_nums_minus1 = read_ue(br);
    if (op.operation == 2) op.long_term_pic_num = read_ue(br);
    if (op.operation == 3 || op.operation == 6) op.long_term_frame_idx = read_ue(br);
    if (op.operation == 4) op.max_long_term_frame_idx_plus1 = read_ue(br);
    m.operations[m.count++] = op;
  }
}

uint32_t parse_slice_header(DecoderContext& ctx) {
  BitReader& br = ctx.reader;
  SliceHeader& h = ctx.slice;
  h.nal_ref_idc = ctx.nal_ref_idc;
  h.nal_unit_type = ctx.nal_unit_type;
  const bool idr = h.nal_unit_type == 5;
  h.first_mb_in_slice = read_ue(br);
  uint32_t slice_type = read_ue(br);
  if (slice_type > 9) return SLICE_BAD_TYPE;
  h.slice_type = slice_type % 5;
  if (h.slice_type == SLICE_B) return SLICE_B_SLICE;
  h.pic_parameter_set_id = read_ue(br);
  if (h.pic_parameter_set_id >= PPS_TABLE_SIZE || !ctx.pps_table[h.pic_parameter_set_id].valid) {
    return SLICE_BAD_PPS;
  }
  if (uint32_t code = activate_parameter_sets(ctx, h.pic_parameter_set_id)) return code;
  const SequenceParameterSet& sps = ctx.active_sps;
  const PictureParameterSet& pps = ctx.active_pps;

  h.frame_num = read_bits(br, sps.log2_max_frame_num_minus4 + 4);
  if (idr) {
    if (h.frame_num != 0) return SLICE_IDR_FRAME_NUM;
    ctx.prev_ref_frame_num = 0;
  }
  h.field_pic_flag = 0;
  h.bottom_field_flag = 0;
  if (!sps.frame_mbs_only_flag) {
    if (sps.mb_adaptive_frame_field_flag) return SLICE_MBAFF;
    h.field_pic_flag = read_flag(br);
    if (h.field_pic_flag) h.bottom_field_flag = read_flag(br);
  }
  h.structure =
      h.field_pic_flag ? (h.bottom_field_flag ? PICTURE_BOTTOM : PICTURE_TOP) : PICTURE_FRAME;
  h.PicWidthInMbs = sps.pic_width_in_mbs_minus1 + 1;
  h.PicHeightInMbs =
      (sps.pic_height_in_map_units_minus1 + 1) * (2 - (h.field_pic_flag | sps.frame_mbs_only_flag));
  h.PicSizeInMbs = h.PicWidthInMbs * h.PicHeightInMbs;
  h.idr_pic_id = idr ? read_ue(br) : 65536;
  h.pic_order_cnt_lsb = 0;
  h.delta_pic_order_cnt_bottom = 0;
  h.delta_pic_order_cnt[0] = h.delta_pic_order_cnt[1] = 0;
  const bool bottom_present = pps.bottom_field_pic_order_in_frame_present_flag && !h.field_pic_flag;
  if (sps.pic_order_cnt_type == 0) {
    h.pic_order_cnt_lsb = read_bits(br, sps.log2_max_pic_order_cnt_lsb_minus4 + 4);
    if (bottom_present) h.delta_pic_order_cnt_bottom = read_se(br);
  } else if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
    h.delta_pic_order_cnt[0] = read_se(br);
    if (bottom_present) h.delta_pic_order_cnt[1] = read_se(br);
  }
  if (pps.redundant_pic_cnt_present_flag && read_ue(br) != 0) return SLICE_REDUNDANT;
  h.num_ref_idx_l0_active_minus1 = pps.num_ref_idx_l0_default_active_minus1;
  h.num_ref_idx_l1_active_minus1 = pps.num_ref_idx_l1_default_active_minus1;
  h.reorder_count = 0;
  const bool predicted = h.slice_type == SLICE_P || h.slice_type == SLICE_SP;
  if (predicted) {
    if (read_flag(br)) {
      h.num_ref_idx_l0_active_minus1 = read_ue(br);
      if (h.num_ref_idx_l0_active_minus1 > 31) return SLICE_BAD_NUM_REF_IDX_L0;
    }
    read_reordering(br, h);
  }
  h.marking = RefPicMarking{};
  if (h.nal_ref_idc) read_marking(br, h);
  h.cabac_init_idc = 0;
  if (pps.entropy_coding_mode_flag && h.slice_type != SLICE_I && h.slice_type != SLICE_SI) {
    h.cabac_init_idc = read_ue(br);
    if (h.cabac_init_idc > 2) return SLICE_BAD_CABAC_INIT_IDC;
  }
  // Bounded so that the slice QP sum cannot overflow; a QP outside 0..51 is refused either way.
  h.slice_qp_delta = std::clamp(read_se(br), -128, 128);
  h.disable_deblocking_filter_idc = 0;
  h.slice_alpha_c0_offset_div2 = 0;
  h.slice_beta_offset_div2 = 0;
  if (pps.deblocking_filter_control_present_flag) {
    h.disable_deblocking_filter_idc = read_ue(br);
    if (h.disable_deblocking_filter_idc != 1) {
      h.slice_alpha_c0_offset_div2 = read_se(br);
      h.slice_beta_offset_div2 = read_se(br);
      if (h.slice_alpha_c0_offset_div2 < -6 || h.slice_alpha_c0_offset_div2 > 6 ||
          h.slice_beta_offset_div2 < -6 || h.slice_beta_offset_div2 > 6) {
        return SLICE_BAD_DEBLOCKING_OFFSET;
      }
    }
  }
  // Slices on different workers are not filtered across their common edges.
  if (h.disable_deblocking_filter_idc == 0 && (ctx.flags & DECODER_WORKER_THREADS))
    h.disable_deblocking_filter_idc = 2;
  return 0;
}

// Clause 7.4.1.2.4 as the decoder tests it, without the first macroblock.
bool differs_from_last_slice(const DecoderContext& ctx) {
  const SliceHeader& h = ctx.slice;
  const LastSliceValues& last = ctx.last_slice;
  if (last.pic_parameter_set_id != h.pic_parameter_set_id || last.frame_num != h.frame_num ||
      last.field_pic_flag != h.field_pic_flag || last.nal_unit_type != h.nal_unit_type) {
    return true;
  }
  if (h.field_pic_flag && last.field_pic_flag && last.bottom_field_flag != h.bottom_field_flag) {
    return true;
  }
  // Slices of one picture share its structure: its reference lists are built for it.
  if (h.structure != ctx.current_structure) return true;
  if ((last.nal_ref_idc == 0) != (h.nal_ref_idc == 0)) return true;
  if (h.nal_unit_type == 5 && last.idr_pic_id != h.idr_pic_id) return true;
  if (ctx.active_sps.pic_order_cnt_type == 0) {
    return last.pic_order_cnt_lsb != h.pic_order_cnt_lsb ||
           last.delta_pic_order_cnt_bottom != h.delta_pic_order_cnt_bottom;
  }
  if (ctx.active_sps.pic_order_cnt_type == 1) {
    return last.delta_pic_order_cnt[0] != h.delta_pic_order_cnt[0] ||
           last.delta_pic_order_cnt[1] != h.delta_pic_order_cnt[1];
  }
  return false;
}

bool is_new_picture(const DecoderContext& ctx) {
  if (ctx.current_store < 0) return true;
  if (ctx.slice.first_mb_in_slice == 0 && ctx.mb_count >= ctx.current_pic_size) return true;
  return differs_from_last_slice(ctx);
}

// Picture order counts of clause 8.2.1 in wrapping 32-bit arithmetic.
void compute_poc(DecoderContext& ctx, uint32_t frame_num, uint32_t structure, bool idr,
                 uint32_t nal_ref_idc, int32_t& top, int32_t& bottom) {
  const SequenceParameterSet& sps = ctx.active_sps;
  const SliceHeader& h = ctx.slice;
  if (sps.pic_order_cnt_type == 0) {
    int32_t prev_msb = idr ? 0 : ctx.prev_poc_msb;
    uint32_t prev_lsb = idr ? 0 : ctx.prev_poc_lsb;
    uint32_t max_lsb = 1u << (sps.log2_max_pic_order_cnt_lsb_minus4 + 4);
    uint32_t lsb = h.pic_order_cnt_lsb;
    uint32_t msb = static_cast<uint32_t>(prev_msb);
    if (lsb < prev_lsb && prev_lsb - lsb >= max_lsb / 2) {
      msb += max_lsb;
    } else if (lsb > prev_lsb && lsb - prev_lsb > max_lsb / 2) {
      msb -= max_lsb;
    }
    ctx.current_poc_msb = static_cast<int32_t>(msb);
    ctx.current_poc_lsb = lsb;
    top = static_cast<int32_t>(msb + lsb);
    bottom =
        structure == PICTURE_FRAME
            ? static_cast<int32_t>(msb + lsb + static_cast<uint32_t>(h.delta_pic_order_cnt_bottom))
            : top;
    return;
  }
  uint32_t offset = 0;
  if (!idr) {
    offset = ctx.prev_frame_num_offset;
    if (ctx.prev_frame_num > frame_num) offset += sps.MaxFrameNum;
  }
  ctx.current_frame_num_offset = offset;
  if (sps.pic_order_cnt_type == 2) {
    uint32_t temp = idr ? 0 : 2 * (offset + frame_num) - (nal_ref_idc == 0 ? 1 : 0);
    top = bottom = static_cast<int32_t>(temp);
    return;
  }
  uint32_t cycle = sps.num_ref_frames_in_pic_order_cnt_cycle;
  uint32_t abs_frame_num = cycle != 0 ? offset + frame_num : 0;
  if (nal_ref_idc == 0 && abs_frame_num > 0) --abs_frame_num;
  uint32_t expected = 0;
  if (abs_frame_num > 0) {
    uint32_t delta_per_cycle = 0;
    for (uint32_t i = 0; i < cycle; ++i)
      delta_per_cycle += static_cast<uint32_t>(sps.offset_for_ref_frame[i]);
    uint32_t cycle_count = (abs_frame_num - 1) / cycle;
    uint32_t in_cycle = (abs_frame_num - 1) % cycle;
    expected = cycle_count * delta_per_cycle;
    for (uint32_t i = 0; i <= in_cycle; ++i)
      expected += static_cast<uint32_t>(sps.offset_for_ref_frame[i]);
  }
  if (nal_ref_idc == 0) expected += static_cast<uint32_t>(sps.offset_for_non_ref_pic);
  const uint32_t d0 = static_cast<uint32_t>(h.delta_pic_order_cnt[0]);
  const uint32_t t2b = static_cast<uint32_t>(sps.offset_for_top_to_bottom_field);
  if (structure == PICTURE_FRAME) {
    top = static_cast<int32_t>(expected + d0);
    bottom =
        static_cast<int32_t>(expected + d0 + t2b + static_cast<uint32_t>(h.delta_pic_order_cnt[1]));
  } else if (structure == PICTURE_TOP) {
    top = bottom = static_cast<int32_t>(expected + d0);
  } else {
    top = bottom = static_cast<int32_t>(expected + t2b + d0);
  }
}

// Order-count and frame_num state that the next picture derives from this one.
void remember_picture(DecoderContext& ctx, const PictureStore& s, bool reference) {
  if (reference) {
    if (s.mmco5) {
      ctx.prev_poc_msb = 0;
      ctx.prev_poc_lsb =
          ctx.current_structure == PICTURE_BOTTOM ? 0 : static_cast<uint32_t>(s.top_poc);
    } else {
      ctx.prev_poc_msb = ctx.current_poc_msb;
      ctx.prev_poc_lsb = ctx.current_poc_lsb;
    }
  }
  ctx.prev_frame_num = s.mmco5 ? 0 : ctx.current_frame_num;
  ctx.prev_frame_num_offset = s.mmco5 ? 0 : ctx.current_frame_num_offset;
  if (s.mmco5) ctx.prev_ref_frame_num = 0;
}

// The first free store, or -1. A buffer gets its initial content (luma 0, chroma 128) when it
// is first taken, so stores a stream never needs cost neither time nor memory.
int32_t find_free_store(DecoderContext& ctx) {
  for (uint32_t i = 0; i < ctx.store_count; ++i) {
    PictureStore& s = ctx.stores[i];
    if (!store_is_free(s)) continue;
    if (!s.prepared) {
      const uint32_t luma_bytes = ctx.max_width_mbs * ctx.max_height_mbs * 256;
      std::memset(s.buffer + luma_bytes, 128, luma_bytes / 2);
      s.prepared = 1;
    }
    return static_cast<int32_t>(i);
  }
  return -1;
}

void set_picture_attributes(DecoderContext& ctx, PictureStore& s) {
  const SequenceParameterSet& sps = ctx.active_sps;
  DecodedPicture& info = s.frame.info;
  info = DecodedPicture{};
  info.width = sps.width;
  info.height = sps.height;
  info.luma_stride = sps.width;
  info.chroma_stride = sps.width / 2;
  info.crop_left = sps.crop_left;
  info.crop_right = sps.crop_right;
  info.crop_top = sps.crop_top;
  info.crop_bottom = sps.crop_bottom;
  info.user0 = ctx.user0;
  info.user1 = ctx.user1;
  info.user_data = ctx.user_data_seen ? &ctx.user_data : nullptr;
  std::memset(s.frame.statistics, 0, sizeof s.frame.statistics);
}

// A frame inferred for a missing frame_num: a short-term reference that is never output.
bool infer_frame(DecoderContext& ctx, uint32_t frame_num) {
  int32_t index = find_free_store(ctx);
  if (index < 0) return false;
  PictureStore& s = ctx.stores[index];
  set_picture_attributes(ctx, s);
  s.status = STORE_FREE;  // free again once it leaves the buffer
  s.fields = BOTH_FIELDS;
  s.reference = 1;
  s.short_term = s.long_term = 0;
  s.frame_num = frame_num;
  s.non_existing = 1;
  s.output_needed = 0;
  s.idr = s.mmco5 = 0;
  s.marking = RefPicMarking{};
  ctx.current_structure = PICTURE_FRAME;
  ctx.current_frame_num = frame_num;
  compute_poc(ctx, frame_num, PICTURE_FRAME, false, 1, s.top_poc, s.bottom_poc);
  s.poc = std::min(s.top_poc, s.bottom_poc);
  store_inferred_frame(ctx, index);
  remember_picture(ctx, s, true);
  ctx.prev_ref_frame_num = frame_num;
  return true;
}

// Step 3 of a new picture; false when the picture is refused.
bool handle_frame_num_gap(DecoderContext& ctx) {
  const SliceHeader& h = ctx.slice;
  const SequenceParameterSet& sps = ctx.active_sps;
  if (h.nal_unit_type == 5) return true;
  uint32_t expected = (ctx.prev_ref_frame_num + 1) % sps.MaxFrameNum;
  if (h.frame_num == ctx.prev_ref_frame_num || h.frame_num == expected) return true;
  if (!sps.gaps_in_frame_num_value_allowed_flag) return h.frame_num > expected;
  for (uint32_t missing = expected; missing != h.frame_num;
       missing = (missing + 1) % sps.MaxFrameNum) {
    if (!infer_frame(ctx, missing)) break;
  }
  return true;
}

uint32_t start_picture(DecoderContext& ctx) {
  const SliceHeader& h = ctx.slice;
  const SequenceParameterSet& sps = ctx.active_sps;
  if (!handle_frame_num_gap(ctx)) {
    ctx.stream_state = STREAM_HAS_PPS;
    return SLICE_FRAME_NUM_BACKWARDS;
  }
  const bool reference = h.nal_ref_idc != 0;
  int32_t index = -1;
  bool second_field = false;
  if (h.field_pic_flag && ctx.previous_store >= 0) {
    const PictureStore& p = ctx.stores[ctx.previous_store];
    bool waiting = (p.in_buffer && p.output_needed) || ctx.dpb.pending_field == ctx.previous_store;
    if (p.fields == (BOTH_FIELDS ^ h.structure) && p.frame_num == h.frame_num &&
        (p.reference != 0) == reference && waiting && !p.non_existing) {
      index = ctx.previous_store;
      second_field = true;
    }
  }
  if (index < 0) index = find_free_store(ctx);
  if (index < 0) {
    ctx.stream_state = STREAM_HAS_PPS;
    return SLICE_NO_FREE_STORE;
  }
  PictureStore& s = ctx.stores[index];
  ctx.current_store = index;
  ctx.current_structure = h.structure;
  ctx.current_second_field = second_field;
  ctx.current_frame_num = h.frame_num;
  ctx.current_pic_size = h.PicSizeInMbs;
  ctx.mb_count = 0;
  int32_t top = 0, bottom = 0;
  compute_poc(ctx, h.frame_num, h.structure, h.nal_unit_type == 5, h.nal_ref_idc, top, bottom);
  if (!second_field) {
    set_picture_attributes(ctx, s);
    s.fields = 0;
    s.short_term = s.long_term = 0;
    s.in_buffer = 0;
    s.output_needed = 1;
    s.non_existing = 0;
    s.top_poc = top;
    s.bottom_poc = bottom;
  }
  if (h.structure != PICTURE_BOTTOM) s.top_poc = top;
  if (h.structure != PICTURE_TOP) s.bottom_poc = bottom;
  s.poc = h.structure == PICTURE_FRAME ? std::min(top, bottom)
          : second_field               ? std::min(s.top_poc, s.bottom_poc)
                                       : (h.structure == PICTURE_TOP ? top : bottom);
  s.fields |= h.structure == PICTURE_FRAME ? BOTH_FIELDS : h.structure;
  s.status = STORE_IN_USE;
  s.reference = reference;
  s.frame_num = h.frame_num;
  s.idr = h.nal_unit_type == 5;
  s.mmco5 = 0;
  s.marking = h.marking;
  s.interlace_mark = sps.frame_mbs_only_flag ? 0 : (h.field_pic_flag ? 2 : 1);
  DecodedPicture& info = s.frame.info;
  info.idr |= s.idr;
  info.picture_order_count = s.poc;
  info.view_flag = ctx.view_flag ? 1 + (h.frame_num & 1) : 0;
  if (reference) ctx.prev_ref_frame_num = h.frame_num;
  return 0;
}

// Records the current slice's values for the first-slice test of the next slice.
void save_last_slice_values(DecoderContext& ctx) {
  const SliceHeader& h = ctx.slice;
  LastSliceValues& last = ctx.last_slice;
  last.pic_parameter_set_id = h.pic_parameter_set_id;
  last.frame_num = h.frame_num;
  last.nal_ref_idc = h.nal_ref_idc;
  last.nal_unit_type = h.nal_unit_type;
  last.field_pic_flag = h.field_pic_flag;
  last.bottom_field_flag = h.bottom_field_flag;
  if (h.nal_unit_type == 5) last.idr_pic_id = h.idr_pic_id;
  last.pic_order_cnt_lsb = h.pic_order_cnt_lsb;
  last.delta_pic_order_cnt_bottom = h.delta_pic_order_cnt_bottom;
  last.delta_pic_order_cnt[0] = h.delta_pic_order_cnt[0];
  last.delta_pic_order_cnt[1] = h.delta_pic_order_cnt[1];
}

void build_level_scale(DecoderContext& ctx) {
  const ScalingLists& raster = ctx.active_pps.scaling;
  // Slices of a stream nearly always share their lists: the tables are built once for them.
  if (ctx.level_scale_built && std::memcmp(&ctx.level_scale_lists, &raster, sizeof raster) == 0)
    return;
  uint8_t lists4x4[6][16];
  uint8_t lists8x8[2][64];
  for (int list = 0; list < 6; ++list) {
    for (int i = 0; i < 16; ++i) lists4x4[list][i] = raster.list4x4[list][kZigzag4x4[i]];
  }
  for (int list = 0; list < 2; ++list) {
    for (int i = 0; i < 64; ++i) lists8x8[list][i] = raster.list8x8[list][kZigzag8x8[i]];
  }
  decoder_build_level_scale(&ctx.level_scale, lists4x4, lists8x8);
  ctx.level_scale_lists = raster;
  ctx.level_scale_built = 1;
}

}  // namespace

void finish_current_picture(DecoderContext& ctx) {
  wait_all_workers(ctx);
  if (ctx.current_store < 0) return;
  PictureStore& s = ctx.stores[ctx.current_store];
  if (ctx.mb_count < ctx.current_pic_size) s.frame.info.incomplete = 1;
  store_picture(ctx);
  remember_picture(ctx, s, s.reference != 0);
  ctx.previous_store = ctx.current_store;
  ctx.current_store = -1;
}

void finish_complete_picture(DecoderContext& ctx) {
  if (ctx.current_store < 0 || ctx.mb_count < ctx.current_pic_size) return;
  finish_current_picture(ctx);
  ctx.finished_complete = 1;
}

uint32_t decode_slice_nal(DecoderContext& ctx, uint32_t unit_bytes) {
  if (ctx.stream_state < STREAM_HAS_PPS) return SLICE_NOT_STARTED;
  if (ctx.stream_state == STREAM_HAS_PPS && ctx.nal_unit_type == 5)
    ctx.stream_state = STREAM_DECODING;
  if (uint32_t code = parse_slice_header(ctx)) return code;
  const SliceHeader& h = ctx.slice;
  if (ctx.stream_state == STREAM_HAS_PPS) {
    if (h.slice_type != SLICE_I) return SLICE_NOT_STARTED;
    ctx.stream_state = STREAM_DECODING;
  }
  // The test for a complete picture needs the macroblocks of every slice handed over.
  if (h.first_mb_in_slice == 0) wait_all_workers(ctx);
  if (ctx.finished_complete && h.first_mb_in_slice != 0 && !differs_from_last_slice(ctx)) {
    return SLICE_OF_FINISHED_PICTURE;
  }
  const bool new_picture = is_new_picture(ctx);
  if (new_picture) {
    ctx.finished_complete = 0;
    finish_current_picture(ctx);
    if (uint32_t code = start_picture(ctx)) return code;
  }
  // Recorded before the reference lists can refuse the slice: a refused first slice still
  // started the current picture, and the next slice is compared with it.
  save_last_slice_values(ctx);
  if (uint32_t code = init_reference_lists(ctx)) return code;
  if (uint32_t code = reorder_reference_lists(ctx)) return code;
  ctx.stores[ctx.current_store].frame.statistics[0] += unit_bytes;
  build_level_scale(ctx);
  ctx.slice_num = new_picture ? 0 : ctx.slice_num + 1;
  return new_picture ? NAL_RESULT_NEW_PICTURE : NAL_RESULT_SAME_PICTURE;
}
