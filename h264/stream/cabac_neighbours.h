// Context selection from the neighbour records: the condTermFlagN values and neighbour facts
// that the CABAC element decoders take, derived from MbInfo and MbMotion (clauses 6.4.11 and
// 9.3.3.1.1, 4:2:0, no MBAFF). A neighbour outside the picture or the slice is a record with
// `available` 0.
//
// What the records must hold: coded_block_pattern as luma bits + 16 x chroma (0 or 15 for the
// luma of Intra_16x16); ref_idx -1 for intra and 0 for P_Skip; mvd 0 for P_Skip and intra;
// coded_block_flags as laid out below.
#pragma once

#include <array>
#include <cstdint>

#include "h264/recon/mb_work_area.h"
#include "h264/stream/cabac.h"
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
inline uint32_t cabac_cbp_neighbour(const MbInfo& n) {
  if (!n.available) return kCabacCbpUnavailable;
  if (n.mb_type == kMbPSkip) return kCabacCbpSkip;
  if (n.mb_type == kMbIPcm) return kCabacCbpPcm;
  return static_cast<uint32_t>(n.coded_block_pattern);
}

// An inter partition of a neighbouring macroblock that is not skipped. Bitwise: the outcome
// follows the picture, and a jump on it would often be mispredicted.
inline bool cabac_coded_inter(const MbInfo& n) {
  return (n.available != 0) & (n.mb_type != kMbPSkip) & !mb_is_intra(n.mb_type);
}

// ref_idx_l0 of the partition whose top-left 4x4 block is blk (luma4x4BlkIdx); cur_ref_idx holds
// the values already decoded for the current macroblock's 8x8 quadrants.
inline CabacConds cabac_ref_idx_conds(int blk, const int8_t* cur_ref_idx, const MbInfo& a,
                                      const MbMotion& motion_a, const MbInfo& b,
                                      const MbMotion& motion_b) {
  const auto cond = [&](NeighbourBlock r, const MbInfo& n, const MbMotion& m) -> bool {
    const int8_t ref_idx = r.inside ? cur_ref_idx[r.blk >> 2] : m.ref_idx[r.blk >> 2];
    return (ref_idx > 0) & (r.inside | cabac_coded_inter(n));
  };
  return {cond(kLuma4x4Left[blk], a, motion_a), cond(kLuma4x4Up[blk], b, motion_b)};
}

// absMvdCompA + absMvdCompB of component comp for the partition whose top-left 4x4 block is blk;
// cur_mvd holds the current macroblock's mvd_l0 by luma4x4BlkIdx as far as decoded.
inline uint32_t cabac_abs_mvd_sum(int blk, int comp, const int16_t (*cur_mvd)[2], const MbInfo& a,
                                  const MbMotion& motion_a, const MbInfo& b,
                                  const MbMotion& motion_b) {
  const auto abs_mvd = [&](NeighbourBlock r, const MbInfo& n, const MbMotion& m) -> uint32_t {
    const int32_t v = (r.inside ? cur_mvd : m.mvd)[r.blk][comp];
    const uint32_t magnitude = static_cast<uint32_t>(v < 0 ? -v : v);
    return magnitude & (0u - static_cast<uint32_t>(r.inside | cabac_coded_inter(n)));
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

namespace cabac_detail {

inline constexpr int kCbfBitCount = 27;

// Bit of a neighbouring block: inside the current macroblock, or 32 up in the neighbour's.
constexpr uint8_t neighbour_bit(NeighbourBlock r, int base) {
  return static_cast<uint8_t>((r.inside ? 0 : 32) + base + r.blk);
}

// By own bit.
inline constexpr std::array<CbfNeighbourBits, kCbfBitCount> kCbfNeighbourBits = [] {
  std::array<CbfNeighbourBits, kCbfBitCount> t{};
  for (int blk = 0; blk < 16; ++blk) {
    t[kCbfBitLuma + blk] = {static_cast<uint8_t>(kCbfBitLuma + blk),
                            neighbour_bit(luma4x4_left(blk), kCbfBitLuma),
                            neighbour_bit(luma4x4_up(blk), kCbfBitLuma)};
  }
  for (int blk = 0; blk < 8; ++blk) {
    const int base = kCbfBitChromaAc + (blk & 4);
    t[kCbfBitChromaAc + blk] = {static_cast<uint8_t>(kCbfBitChromaAc + blk),
                                neighbour_bit(chroma4x4_left(blk & 3), base),
                                neighbour_bit(chroma4x4_up(blk & 3), base)};
  }
  t[kCbfBitLumaDc] = {kCbfBitLumaDc, 32 + kCbfBitLumaDc, 32 + kCbfBitLumaDc};
  for (int comp = 0; comp < 2; ++comp) {
    const auto bit = static_cast<uint8_t>(kCbfBitChromaDc + comp);
    t[bit] = {bit, static_cast<uint8_t>(32 + bit), static_cast<uint8_t>(32 + bit)};
  }
  return t;
}();

// Own bit of a block by category and blk.
constexpr int cbf_bit(int cat, int blk) {
  switch (cat) {
    case kCatLumaDc:
      return kCbfBitLumaDc;
    case kCatChromaDc:
      return kCbfBitChromaDc + (blk & 1);
    case kCatChromaAc:
      return kCbfBitChromaAc + (blk & 7);
    default:
      return kCbfBitLuma + (blk & 15);
  }
}

}  // namespace cabac_detail

// By category 0..4 and blk as for cabac_coded_block_flag_conds.
inline const CbfNeighbourBits& cabac_cbf_neighbour_bits(int cat, int blk) {
  return cabac_detail::kCbfNeighbourBits[cabac_detail::cbf_bit(cat, blk)];
}

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
inline uint32_t cabac_coded_block_bits(int cat, int blk) {
  switch (cat) {
    case kCatLumaDc:
      return 1u << kCbfBitLumaDc;
    case kCatChromaDc:
      return 1u << (kCbfBitChromaDc + blk);
    case kCatChromaAc:
      return 1u << (kCbfBitChromaAc + blk);
    case kCatLuma8x8:
      return 0xFu << (4 * blk);
    default:
      return 1u << (kCbfBitLuma + blk);
  }
}
