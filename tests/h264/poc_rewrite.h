// Access units of an Annex B stream, and a rewrite of an x264 stream with picture order count
// type 2 (CAVLC, frames only) into type 0 with the same order counts, with or without its VUI:
// x264 writes type 0 only for B pictures, which the decoder does not take.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "h264/front_bit_writer.h"
#include "h264/front_stream_builder.h"

namespace front_test {

using Unit = std::vector<uint8_t>;

// The units of an Annex B stream as sent (header first, emulation prevention kept).
inline std::vector<Unit> split_units(const std::vector<uint8_t>& stream) {
  std::vector<Unit> units;
  size_t zeros = 0;
  for (size_t i = 0; i < stream.size(); ++i) {
    const uint8_t b = stream[i];
    if (b == 1 && zeros >= 2) {
      if (!units.empty()) units.back().resize(units.back().size() - std::min<size_t>(zeros, 3));
      units.emplace_back();
      zeros = 0;
      continue;
    }
    zeros = b == 0 ? zeros + 1 : 0;
    if (!units.empty()) units.back().push_back(b);
  }
  return units;
}

inline bool is_slice(const Unit& unit) {
  const int type = unit[0] & 31;
  return type == 1 || type == 5;
}

// The stream cut before every access unit: before the first parameter set, SEI or delimiter
// after a slice, and before every slice with first_mb_in_slice 0 (a leading 1 bit).
inline std::vector<std::vector<uint8_t>> access_units(const std::vector<uint8_t>& stream) {
  std::vector<std::vector<uint8_t>> units;
  bool after_slice = true;
  for (const Unit& unit : split_units(stream)) {
    const bool slice = is_slice(unit);
    const bool starts = slice ? (unit[1] & 0x80) && after_slice : after_slice;
    if (starts || units.empty()) units.emplace_back();
    units.back().insert(units.back().end(), {0, 0, 0, 1});
    units.back().insert(units.back().end(), unit.begin(), unit.end());
    after_slice = slice;
  }
  return units;
}

inline Unit unescape(const Unit& unit) {
  Unit out;
  size_t zeros = 0;
  for (uint8_t b : unit) {
    if (zeros >= 2 && b == 3) {
      zeros = 0;
      continue;
    }
    out.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return out;
}

// Reads an RBSP and copies what it reads into a writer.
class RbspCopier {
 public:
  explicit RbspCopier(const Unit& rbsp) : rbsp_(rbsp) {
    stop_ = rbsp.size() * 8;
    while (stop_ > 0 && !bit_at(stop_ - 1)) --stop_;
    --stop_;  // the position of rbsp_stop_one_bit
  }
  uint32_t read(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = value << 1 | bit_at(position_++);
    return value;
  }
  uint32_t read_ue() {
    int zeros = 0;
    while (read(1) == 0) ++zeros;
    return (1u << zeros) - 1 + read(zeros);
  }
  uint32_t copy(int n) {
    const uint32_t value = read(n);
    out.bits(value, n);
    return value;
  }
  uint32_t copy_ue() {
    const uint32_t value = read_ue();
    out.ue(value);
    return value;
  }
  // Everything up to the stop bit, then the trailing bits.
  Unit finish() {
    while (position_ < stop_) out.bit(read(1));
    out.trailing();
    return out.bytes();
  }

  BitWriter out;

 private:
  uint32_t bit_at(size_t position) const { return rbsp_[position / 8] >> (7 - position % 8) & 1; }

  const Unit& rbsp_;
  size_t position_ = 0;
  size_t stop_ = 0;
};

inline std::vector<uint8_t> to_poc_type0(const std::vector<uint8_t>& stream, bool keep_vui) {
  std::vector<Unit> units;
  uint32_t log2_max_frame_num = 4;
  for (const Unit& unit : split_units(stream)) {
    const Unit rbsp = unescape(unit);
    const uint32_t type = rbsp[0] & 31;
    RbspCopier c(rbsp);
    if (type == 7) {
      c.copy(8);  // NAL unit header
      const uint32_t profile_idc = c.copy(8);
      c.copy(16);  // constraint flags, level_idc
      c.copy_ue();
      if (profile_idc == 100) {
        if (c.copy_ue() == 3) c.copy(1);
        c.copy_ue();
        c.copy_ue();
        c.copy(1);
        if (c.copy(1)) throw std::runtime_error("scaling matrices are not rewritten");
      }
      log2_max_frame_num = c.copy_ue() + 4;
      if (c.read_ue() != 2) throw std::runtime_error("not picture order count type 2");
      c.out.ue(0).ue(log2_max_frame_num + 1 - 4);
      if (!keep_vui) {
        c.copy_ue();  // max_num_ref_frames
        c.copy(1);
        c.copy_ue();  // the size in macroblocks
        c.copy_ue();
        if (!c.copy(1)) throw std::runtime_error("field streams are not rewritten");
        c.copy(1);
        if (c.copy(1)) {
          for (int i = 0; i < 4; ++i) c.copy_ue();
        }
        c.read(1);
        c.out.bit(0);  // vui_parameters_present_flag
        units.push_back(c.out.trailing().bytes());
        continue;
      }
    } else if (type == 1 || type == 5) {
      const bool reference = (rbsp[0] >> 5) != 0;
      c.copy(8);
      for (int i = 0; i < 3; ++i) c.copy_ue();
      const uint32_t frame_num = c.copy(static_cast<int>(log2_max_frame_num));
      if (type == 5) c.copy_ue();
      // PicOrderCnt of type 2 (2 FrameNumOffset is a multiple of the new MaxPicOrderCntLsb).
      const uint32_t poc = 2 * frame_num - (reference ? 0 : 1);
      c.out.bits(poc & ((2u << log2_max_frame_num) - 1), static_cast<int>(log2_max_frame_num) + 1);
    } else {
      units.push_back(rbsp);
      continue;
    }
    units.push_back(c.finish());
  }
  return annex_b(units);
}

}  // namespace front_test
