// Hand-made parameter sets and Annex B framing for decoder tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "h264/front_bit_writer.h"

namespace front_test {

// One scaling list as sent: the delta_scale values.
using SentList = std::optional<std::vector<int32_t>>;

struct SpsFields {
  uint32_t profile_idc = 66;
  uint32_t level_idc = 31;
  uint32_t sps_id = 0;
  uint32_t chroma_format_idc = 1;
  uint32_t bit_depth_luma_minus8 = 0;
  uint32_t bit_depth_chroma_minus8 = 0;
  bool scaling_matrix = false;
  std::array<SentList, 8> lists;
  uint32_t log2_max_frame_num_minus4 = 0;
  uint32_t poc_type = 0;
  uint32_t log2_max_poc_lsb_minus4 = 0;
  uint32_t poc_cycle = 0;
  uint32_t num_ref_frames = 1;
  uint32_t width_mbs_minus1 = 79;
  uint32_t height_map_units_minus1 = 44;
  uint32_t frame_mbs_only = 1;
  bool cropping = false;
  std::array<uint32_t, 4> crop = {0, 0, 0, 0};  // left, right, top, bottom as sent
  // A VUI with timing, NAL HRD and bitstream_restriction: max_num_reorder_frames,
  // max_dec_frame_buffering.
  std::optional<std::array<uint32_t, 2>> restriction;
};

struct PpsFields {
  uint32_t pps_id = 0;
  uint32_t sps_id = 0;
  uint32_t entropy_coding_mode = 0;
  uint32_t bottom_field_pic_order = 0;  // delta_pic_order_cnt_bottom in frame slice headers
  uint32_t num_slice_groups_minus1 = 0;
  uint32_t num_ref_idx_l0_minus1 = 0;
  uint32_t num_ref_idx_l1_minus1 = 0;
  uint32_t weighted_pred = 0;
  uint32_t weighted_bipred = 0;
  int32_t pic_init_qp_minus26 = 0;
  int32_t pic_init_qs_minus26 = 0;
  int32_t chroma_qp_index_offset = 0;
  bool extension = false;  // transform_8x8_mode_flag and what follows
  uint32_t transform_8x8_mode = 0;
  bool scaling_matrix = false;
  std::array<SentList, 8> lists;
  int32_t second_chroma_qp_index_offset = 0;
};

inline void write_lists(BitWriter& w, const std::array<SentList, 8>& lists, int count) {
  for (int i = 0; i < count; ++i) {
    w.bit(lists[i].has_value());
    if (lists[i]) {
      for (int32_t delta : *lists[i]) w.se(delta);
    }
  }
}

// NAL unit (header byte first) without emulation prevention.
inline std::vector<uint8_t> sps_unit(const SpsFields& f) {
  BitWriter w;
  w.bits(0x67, 8).bits(f.profile_idc, 8).bits(0, 8).bits(f.level_idc, 8).ue(f.sps_id);
  if (f.profile_idc == 100) {
    w.ue(f.chroma_format_idc);
    if (f.chroma_format_idc == 3) w.bit(0);
    w.ue(f.bit_depth_luma_minus8).ue(f.bit_depth_chroma_minus8).bit(0).bit(f.scaling_matrix);
    if (f.scaling_matrix) write_lists(w, f.lists, 8);
  }
  w.ue(f.log2_max_frame_num_minus4).ue(f.poc_type);
  if (f.poc_type == 0) w.ue(f.log2_max_poc_lsb_minus4);
  if (f.poc_type == 1) {
    w.bit(0).se(-1).se(1).ue(f.poc_cycle);
    for (uint32_t i = 0; i < f.poc_cycle && i < 300; ++i) w.se(2);
  }
  w.ue(f.num_ref_frames).bit(0).ue(f.width_mbs_minus1).ue(f.height_map_units_minus1);
  w.bit(f.frame_mbs_only);
  if (!f.frame_mbs_only) w.bit(0);
  w.bit(1).bit(f.cropping);
  if (f.cropping) {
    for (uint32_t c : f.crop) w.ue(c);
  }
  w.bit(f.restriction.has_value());
  if (f.restriction) {
    w.bit(1).bits(255, 8).bits(4, 16).bits(3, 16);  // aspect ratio, then no overscan,
    w.bit(0).bit(0).bit(0);                         // signal type or chroma locations
    w.bit(1).bits(1, 32).bits(50, 32).bit(1);       // timing
    w.bit(1).ue(1).bits(3, 4).bits(2, 4);           // NAL HRD with two schedules
    for (int i = 0; i < 2; ++i) w.ue(1000).ue(2000).bit(0);
    w.bits(23, 5).bits(23, 5).bits(23, 5).bits(24, 5);
    w.bit(0).bit(1).bit(0);  // no VCL HRD, low delay, no pic_struct
    w.bit(1).bit(1).ue(2).ue(1).ue(16).ue(16).ue((*f.restriction)[0]).ue((*f.restriction)[1]);
  }
  w.trailing();
  return w.bytes();
}

inline std::vector<uint8_t> pps_unit(const PpsFields& f) {
  BitWriter w;
  w.bits(0x68, 8).ue(f.pps_id).ue(f.sps_id).bit(f.entropy_coding_mode);
  w.bit(f.bottom_field_pic_order);
  w.ue(f.num_slice_groups_minus1);
  if (f.num_slice_groups_minus1) w.ue(0).ue(0).ue(0);
  w.ue(f.num_ref_idx_l0_minus1).ue(f.num_ref_idx_l1_minus1);
  w.bit(f.weighted_pred).bits(f.weighted_bipred, 2);
  w.se(f.pic_init_qp_minus26).se(f.pic_init_qs_minus26).se(f.chroma_qp_index_offset);
  w.bit(1).bit(0).bit(0);
  if (f.extension) {
    w.bit(f.transform_8x8_mode).bit(f.scaling_matrix);
    if (f.scaling_matrix) write_lists(w, f.lists, 6 + 2 * static_cast<int>(f.transform_8x8_mode));
    w.se(f.second_chroma_qp_index_offset);
  }
  w.trailing();
  return w.bytes();
}

// Inserts emulation prevention bytes.
inline std::vector<uint8_t> escape(const std::vector<uint8_t>& unit) {
  std::vector<uint8_t> out;
  int zeros = 0;
  for (uint8_t b : unit) {
    if (zeros >= 2 && b <= 3) {
      out.push_back(3);
      zeros = 0;
    }
    out.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return out;
}

// Annex B stream: a four-byte start code before every unit.
inline std::vector<uint8_t> annex_b(const std::vector<std::vector<uint8_t>>& units) {
  std::vector<uint8_t> out;
  for (const auto& unit : units) {
    out.insert(out.end(), {0, 0, 0, 1});
    auto escaped = escape(unit);
    out.insert(out.end(), escaped.begin(), escaped.end());
  }
  return out;
}

}  // namespace front_test

namespace front_test {

struct SliceFields {
  uint32_t nal_ref_idc = 1;
  bool idr = false;
  uint32_t first_mb = 0;
  uint32_t slice_type = 5;  // P (all slices of the picture)
  uint32_t pps_id = 0;
  uint32_t frame_num = 0;
  uint32_t structure = 0;  // 0 frame, 1 top, 2 bottom; written when frame_mbs_only is 0
  uint32_t idr_pic_id = 0;
  uint32_t poc_lsb = 0;
  std::optional<int64_t> delta_poc_bottom;  // with a PPS that has bottom_field_pic_order
  bool no_output_of_prior_pics = false;
  bool long_term_reference = false;
  bool adaptive = false;
  std::vector<std::vector<uint32_t>> mmco;  // operation and its values
  std::vector<std::pair<uint32_t, uint32_t>> reorder;
  std::optional<uint32_t> skip_run;  // P slice data: this many skipped macroblocks
  // From the sets in use.
  uint32_t log2_max_frame_num = 4;
  uint32_t log2_max_poc_lsb = 4;
  uint32_t poc_type = 0;  // 2 sends no order count
  bool frame_mbs_only = true;
};

// A slice NAL unit with an empty slice data part (PPS of pps_unit: CAVLC, deblocking control).
inline std::vector<uint8_t> slice_unit(const SliceFields& f) {
  BitWriter w;
  w.bits(f.nal_ref_idc << 5 | (f.idr ? 5 : 1), 8);
  w.ue(f.first_mb).ue(f.slice_type).ue(f.pps_id).bits(f.frame_num, f.log2_max_frame_num);
  if (!f.frame_mbs_only) {
    w.bit(f.structure != 0);
    if (f.structure) w.bit(f.structure == 2);
  }
  if (f.idr) w.ue(f.idr_pic_id);
  if (f.poc_type == 0) w.bits(f.poc_lsb, f.log2_max_poc_lsb);
  if (f.delta_poc_bottom) w.se(*f.delta_poc_bottom);
  if (f.slice_type % 5 == 0) {
    w.bit(0).bit(!f.reorder.empty());
    if (!f.reorder.empty()) {
      for (auto [idc, value] : f.reorder) w.ue(idc).ue(value);
      w.ue(3);
    }
  }
  if (f.nal_ref_idc) {
    if (f.idr) {
      w.bit(f.no_output_of_prior_pics).bit(f.long_term_reference);
    } else {
      w.bit(f.adaptive);
      if (f.adaptive) {
        for (const auto& op : f.mmco) {
          for (uint32_t v : op) w.ue(v);
        }
        w.ue(0);
      }
    }
  }
  w.se(0).ue(1);
  if (f.skip_run) w.ue(*f.skip_run);
  w.trailing();
  return w.bytes();
}

}  // namespace front_test
