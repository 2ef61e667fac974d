// CAVLC residual blocks (ITU-T H.264 clause 9.2) and the other CAVLC-only mappings of the
// macroblock layer.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "h264/recon/mb_work_area.h"
#include "h264/stream/bit_reader.h"
#include "h264/stream/entropy_neighbours.h"

// nC of a block from its neighbours' total coefficient counts (clause 9.2.1): the rounded mean
// of both when both are available, the one available count, else 0. Chroma DC uses nC -1.
constexpr int cavlc_nc(bool a_available, int total_coeff_a, bool b_available, int total_coeff_b) {
  if (a_available && b_available) return (total_coeff_a + total_coeff_b + 1) >> 1;
  if (a_available) return total_coeff_a;
  return b_available ? total_coeff_b : 0;
}

// The TotalCoeff counts that the nC of the current macroblock's blocks are taken from: its own
// blocks as far as decoded (0..23, the layout of MbInfo::total_coeff), then the blocks of
// macroblocks A and B next to it (24..39), kCavlcNoCount where that macroblock is not available.
// Every count is 0..16.
inline constexpr uint8_t kCavlcNoCount = 17;
inline constexpr int kCavlcCountsSize = 40;

struct CavlcCounts {
  uint8_t count[kCavlcCountsSize];
};

namespace cavlc_detail {

// Entries 24..31: the left neighbours (luma rows 0..3, Cb rows 0..1, Cr rows 0..1) as blocks of
// A; entries 32..39: the upper ones (luma columns 0..3, Cb and Cr columns 0..1) as blocks of B.
inline constexpr uint8_t kLeftEdge[8] = {5, 7, 13, 15, 17, 19, 21, 23};
inline constexpr uint8_t kUpperEdge[8] = {10, 11, 14, 15, 18, 19, 22, 23};

inline void fill_edge(uint8_t* dst, const MbInfo& n, const uint8_t (&blocks)[8]) {
  if (!n.available) {
    std::memset(dst, kCavlcNoCount, 8);
    return;
  }
  for (int i = 0; i < 8; ++i) dst[i] = n.total_coeff[blocks[i]];
}

// Index in CavlcCounts of the left (left == true) or upper neighbour of block blk.
constexpr uint8_t neighbour_index(int blk, bool left) {
  if (blk < 16) {
    const NeighbourBlock n = left ? luma4x4_left(blk) : luma4x4_up(blk);
    if (n.inside) return static_cast<uint8_t>(n.blk);
    return static_cast<uint8_t>(left ? 24 + luma4x4_y(blk) : 32 + luma4x4_x(blk));
  }
  const int component = (blk - 16) >> 2, c = blk & 3;
  const NeighbourBlock n = left ? chroma4x4_left(c) : chroma4x4_up(c);
  if (n.inside) return static_cast<uint8_t>(16 + 4 * component + n.blk);
  return static_cast<uint8_t>(left ? 28 + 2 * component + (c >> 1) : 36 + 2 * component + c);
}

inline constexpr auto kNeighbours = [] {
  std::array<std::array<uint8_t, 2>, 24> table{};
  for (int blk = 0; blk < 24; ++blk)
    table[blk] = {neighbour_index(blk, true), neighbour_index(blk, false)};
  return table;
}();

// nC by the left and upper counts, kCavlcNoCount for a neighbour that is not available.
inline constexpr auto kNcByCounts = [] {
  std::array<std::array<uint8_t, 18>, 18> table{};
  for (int a = 0; a < 18; ++a) {
    for (int b = 0; b < 18; ++b) {
      table[a][b] = static_cast<uint8_t>(cavlc_nc(a != kCavlcNoCount, a, b != kCavlcNoCount, b));
    }
  }
  return table;
}();

}  // namespace cavlc_detail

// Starts the counts of a macroblock: its own blocks 0, the neighbours' from A and B (available 0:
// not available). The records must hold 16 for every block of an I_PCM macroblock and 0 for
// skipped ones.
inline void cavlc_counts_begin(CavlcCounts* counts, const MbInfo& a, const MbInfo& b) {
  std::memset(counts->count, 0, 24);
  cavlc_detail::fill_edge(counts->count + 24, a, cavlc_detail::kLeftEdge);
  cavlc_detail::fill_edge(counts->count + 32, b, cavlc_detail::kUpperEdge);
}

// nC of a luma block (0..15, luma4x4BlkIdx) or chroma AC block (16 + 4 x iCbCr +
// chroma4x4BlkIdx).
inline int cavlc_nc_of(const CavlcCounts& counts, int blk) {
  const auto& n = cavlc_detail::kNeighbours[blk];
  return cavlc_detail::kNcByCounts[counts.count[n[0]]][counts.count[n[1]]];
}

// residual_block_cavlc: decodes one block of max_num_coeff (4, 15 or 16) coefficients with the
// coeff_token table chosen by nC and returns TotalCoeff. The non-zero levels come out in
// increasing scan order, level[i] after run[i] zero coefficients (both arrays hold 16 entries;
// entries past TotalCoeff are left undefined). An invalid code, a TotalCoeff above max_num_coeff,
// zeros that do not fit the block or a level outside -32768..32767 return -1.
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
