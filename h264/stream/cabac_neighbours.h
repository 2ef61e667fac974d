// Context selection from the neighbour records: the condTermFlagN values and neighbour facts
// that the CABAC element decoders take, derived from MbInfo and MbMotion (clauses 6.4.11 and
// 9.3.3.1.1, 4:2:0, no MBAFF). A neighbour outside the picture or the slice is a record with
// `available` 0.
//
// What the records must hold: coded_block_pattern as luma bits + 16 x chroma (0 or 15 for the
// luma of Intra_16x16); ref_idx -1 for intra and 0 for P_Skip; mvd 0 for P_Skip and intra;
// coded_block_flags as laid out below.
#pragma once

#include <cstdint>

#include "h264/recon/mb_work_area.h"
#include "h264/stream/entropy_neighbours.h"

// Bits of MbInfo::coded_block_flags: set for every block whose coded_block_flag is 1, all four
// luma bits of an 8x8-transform block whose pattern bit is set, and every bit of an I_PCM
// macroblock; a skipped macroblock has none.
inline constexpr int kCbfBitLuma = 0;       // 16 bits by luma4x4BlkIdx (4x4 and AC blocks)
inline constexpr int kCbfBitChromaAc = 16;  // 4 Cb then 4 Cr bits by chroma4x4BlkIdx
inline constexpr int kCbfBitLumaDc = 24;
inline constexpr int kCbfBitChromaDc = 25;  // Cb, then Cr
inline constexpr uint32_t kCbfAllBlocks = (1u << 27) - 1;

struct CabacConds {
  bool a;
  bool b;
};

// mb_skip_flag: neighbour available and not skipped.
inline bool cabac_cond_skip(const MbInfo& n) {
  return n.available && n.mb_type != kMbPSkip;
}

// mb_type of I slices: neighbour available and not I_NxN.
inline bool cabac_cond_mb_type_i(const MbInfo& n) {
  return n.available && n.mb_type != kMbINxN;
}

// intra_chroma_pred_mode: neighbour available, intra but not I_PCM, with a mode other than DC.
inline bool cabac_cond_intra_chroma_pred_mode(const MbInfo& n) {
  return n.available && mb_is_intra(n.mb_type) && n.mb_type != kMbIPcm &&
         n.intra_chroma_pred_mode != 0;
}

inline bool cabac_cond_transform_size_8x8(const MbInfo& n) {
  return n.available && n.transform_size_8x8_flag;
}

// The neighbour value that cabac_decode_coded_block_pattern takes.
uint32_t cabac_cbp_neighbour(const MbInfo& n);

// ref_idx_l0 of the partition whose top-left 4x4 block is blk (luma4x4BlkIdx); cur_ref_idx holds
// the values already decoded for the current macroblock's 8x8 quadrants.
CabacConds cabac_ref_idx_conds(int blk, const int8_t* cur_ref_idx, const MbInfo& a,
                               const MbMotion& motion_a, const MbInfo& b, const MbMotion& motion_b);

// An inter partition of a neighbouring macroblock that is not skipped.
inline bool cabac_coded_inter(const MbInfo& n) {
  return n.available && n.mb_type != kMbPSkip && !mb_is_intra(n.mb_type);
}

// absMvdCompA + absMvdCompB of component comp for the partition whose top-left 4x4 block is blk;
// cur_mvd holds the current macroblock's mvd_l0 by luma4x4BlkIdx as far as decoded.
inline uint32_t cabac_abs_mvd_sum(int blk, int comp, const int16_t (*cur_mvd)[2], const MbInfo& a,
                                  const MbMotion& motion_a, const MbInfo& b,
                                  const MbMotion& motion_b) {
  const auto abs_mvd = [&](NeighbourBlock r, const MbInfo& n, const MbMotion& m) -> uint32_t {
    int32_t v = 0;
    if (r.inside) {
      v = cur_mvd[r.blk][comp];
    } else if (cabac_coded_inter(n)) {
      v = m.mvd[r.blk][comp];
    }
    return static_cast<uint32_t>(v < 0 ? -v : v);
  };
  return abs_mvd(kLuma4x4Left[blk], a, motion_a) + abs_mvd(kLuma4x4Up[blk], b, motion_b);
}

// Where the coded_block_flag context of a block looks: the block's own bit in
// coded_block_flags, and the bits of its left and upper neighbours, where 0..26 are bits of the
// current macroblock and 32 + k is bit k of the neighbouring macroblock (A for left, B for up).
struct CbfNeighbourBits {
  uint8_t own;
  uint8_t left;
  uint8_t up;
};

// By category 0..4 and blk as for cabac_coded_block_flag_conds.
const CbfNeighbourBits& cabac_cbf_neighbour_bits(int cat, int blk);

// A neighbouring macroblock's coded_block_flags as the context selection reads them, shifted
// to bit 32: an unavailable neighbour counts as coded for intra macroblocks only.
inline uint64_t cabac_cbf_neighbour_word(const MbInfo& n, bool cur_intra) {
  const uint32_t flags = n.available ? n.coded_block_flags : (cur_intra ? kCbfAllBlocks : 0);
  return uint64_t{flags} << 32;
}

// coded_block_flag of a block of category cat (0..4). blk is the luma4x4BlkIdx for categories
// 1 and 2, iCbCr for 3 and 4 * iCbCr + chroma4x4BlkIdx for 4. cur_flags holds the current
// macroblock's coded_block_flags so far; cur_intra its prediction mode.
CabacConds cabac_coded_block_flag_conds(int cat, int blk, uint32_t cur_flags, bool cur_intra,
                                        const MbInfo& a, const MbInfo& b);

// The coded_block_flags bits of a block with coefficients (for category 5, blk is the
// luma8x8BlkIdx and all four of its 4x4 bits are set).
uint32_t cabac_coded_block_bits(int cat, int blk);
