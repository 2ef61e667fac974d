// CAVLC residual blocks (ITU-T H.264 clause 9.2) and the other CAVLC-only mappings of the
// macroblock layer.
#pragma once

#include <array>
#include <cstdint>

#include "h264/recon/mb_work_area.h"
#include "h264/stream/bit_reader.h"
#include "h264/stream/entropy_neighbours.h"

// nC of a block from its neighbours' total coefficient counts (clause 9.2.1): the rounded mean
// of both when both are available, the one available count, else 0. Chroma DC uses nC -1.
inline int cavlc_nc(bool a_available, int total_coeff_a, bool b_available, int total_coeff_b) {
  if (a_available && b_available) return (total_coeff_a + total_coeff_b + 1) >> 1;
  if (a_available) return total_coeff_a;
  return b_available ? total_coeff_b : 0;
}

// Where the left and upper neighbours of a block (0..15 luma4x4BlkIdx, 16 + 4 x iCbCr +
// chroma4x4BlkIdx) keep their TotalCoeff: the index in a total_coeff array, and whether that array
// is the current macroblock's (else macroblock A's for left, B's for up).
struct CavlcNcSource {
  uint8_t left;
  uint8_t up;
  uint8_t left_inside;
  uint8_t up_inside;
};

constexpr CavlcNcSource cavlc_nc_source(int blk) {
  if (blk < 16) {
    const NeighbourBlock left = luma4x4_left(blk), up = luma4x4_up(blk);
    return {static_cast<uint8_t>(left.blk), static_cast<uint8_t>(up.blk), left.inside, up.inside};
  }
  const int base = 16 + ((blk - 16) & 4);
  const NeighbourBlock left = chroma4x4_left(blk & 3), up = chroma4x4_up(blk & 3);
  return {static_cast<uint8_t>(base + left.blk), static_cast<uint8_t>(base + up.blk), left.inside,
          up.inside};
}

inline constexpr auto kCavlcNcSources = [] {
  std::array<CavlcNcSource, 24> sources{};
  for (int blk = 0; blk < 24; ++blk) sources[blk] = cavlc_nc_source(blk);
  return sources;
}();

// nC of a luma block (0..15, luma4x4BlkIdx) or chroma AC block (16 + 4 x iCbCr +
// chroma4x4BlkIdx) from the TotalCoeff counts of MbInfo::total_coeff: cur_total_coeff holds
// the current macroblock's counts as far as decoded. The records must hold 16 for every block
// of an I_PCM macroblock and 0 for skipped ones; a neighbour with `available` 0 is left out.
inline int cavlc_nc_at(int blk, const uint8_t* cur_total_coeff, const MbInfo& a, const MbInfo& b) {
  const CavlcNcSource s = kCavlcNcSources[blk];
  const int available_a = s.left_inside | (a.available != 0);
  const int available_b = s.up_inside | (b.available != 0);
  const int count_a = (s.left_inside ? cur_total_coeff : a.total_coeff)[s.left] & -available_a;
  const int count_b = (s.up_inside ? cur_total_coeff : b.total_coeff)[s.up] & -available_b;
  const int both = available_a & available_b;
  return (count_a + count_b + both) >> both;
}

// residual_block_cavlc: decodes one block of max_num_coeff (4, 15 or 16) coefficients with the
// coeff_token table chosen by nC and returns TotalCoeff. The non-zero levels come out in
// increasing scan order, level[i] after run[i] zero coefficients (both arrays hold
// max_num_coeff entries). An invalid code, a TotalCoeff above max_num_coeff, zeros that do not
// fit the block or a level outside -32768..32767 return -1.
int cavlc_decode_residual_block(BitReader& br, int nC, int max_num_coeff, int32_t* level,
                                uint8_t* run);

// ref_idx_l0 as te(v) when more than one reference is active (range =
// num_ref_idx_l0_active_minus1 >= 1): one inverted bit for range 1, else ue(v) kept to its
// low 5 bits.
inline uint32_t cavlc_read_ref_idx(BitReader& br, uint32_t range) {
  if (range == 1) return read_bits(br, 1) ^ 1;
  return read_ue(br) & 31;
}

// coded_block_pattern of the me(v) code number (Table 9-4, 4:2:0); -1 for a code number above 47.
int cavlc_coded_block_pattern(uint32_t code_num, bool intra);
