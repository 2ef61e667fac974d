#include "h264/stream/cabac_neighbours.h"

#include <cstdlib>

#include "h264/stream/cabac.h"
#include "h264/stream/entropy_neighbours.h"

namespace {

// An inter partition of a neighbouring macroblock that is not skipped.
bool coded_inter(const MbInfo& n) {
  return n.available && n.mb_type != kMbPSkip && !mb_is_intra(n.mb_type);
}

bool ref_idx_cond(NeighbourBlock r, const int8_t* cur_ref_idx, const MbInfo& n, const MbMotion& m) {
  if (r.inside) return cur_ref_idx[r.blk >> 2] > 0;
  return coded_inter(n) && m.ref_idx[r.blk >> 2] > 0;
}

uint32_t abs_mvd(NeighbourBlock r, int comp, const int16_t (*cur_mvd)[2], const MbInfo& n,
                 const MbMotion& m) {
  if (r.inside) return static_cast<uint32_t>(std::abs(cur_mvd[r.blk][comp]));
  return coded_inter(n) ? static_cast<uint32_t>(std::abs(m.mvd[r.blk][comp])) : 0;
}

// Flag bit `bit` of a block in the current macroblock or in neighbour n; an unavailable
// neighbour counts as coded for intra macroblocks only.
bool flag_cond(NeighbourBlock r, int base, uint32_t cur_flags, bool cur_intra, const MbInfo& n) {
  int bit = base + r.blk;
  if (r.inside) return (cur_flags >> bit) & 1;
  if (!n.available) return cur_intra;
  return (n.coded_block_flags >> bit) & 1;
}

}  // namespace

uint32_t cabac_cbp_neighbour(const MbInfo& n) {
  if (!n.available) return kCabacCbpUnavailable;
  if (n.mb_type == kMbPSkip) return kCabacCbpSkip;
  if (n.mb_type == kMbIPcm) return kCabacCbpPcm;
  return static_cast<uint32_t>(n.coded_block_pattern);
}

CabacConds cabac_ref_idx_conds(int blk, const int8_t* cur_ref_idx, const MbInfo& a,
                               const MbMotion& motion_a, const MbInfo& b,
                               const MbMotion& motion_b) {
  return {ref_idx_cond(luma4x4_left(blk), cur_ref_idx, a, motion_a),
          ref_idx_cond(luma4x4_up(blk), cur_ref_idx, b, motion_b)};
}

uint32_t cabac_abs_mvd_sum(int blk, int comp, const int16_t (*cur_mvd)[2], const MbInfo& a,
                           const MbMotion& motion_a, const MbInfo& b, const MbMotion& motion_b) {
  return abs_mvd(luma4x4_left(blk), comp, cur_mvd, a, motion_a) +
         abs_mvd(luma4x4_up(blk), comp, cur_mvd, b, motion_b);
}

CabacConds cabac_coded_block_flag_conds(int cat, int blk, uint32_t cur_flags, bool cur_intra,
                                        const MbInfo& a, const MbInfo& b) {
  switch (cat) {
    case kCatLumaDc:
      return {flag_cond({false, 0}, kCbfBitLumaDc, cur_flags, cur_intra, a),
              flag_cond({false, 0}, kCbfBitLumaDc, cur_flags, cur_intra, b)};
    case kCatChromaDc:
      return {flag_cond({false, blk}, kCbfBitChromaDc, cur_flags, cur_intra, a),
              flag_cond({false, blk}, kCbfBitChromaDc, cur_flags, cur_intra, b)};
    case kCatChromaAc: {
      int base = kCbfBitChromaAc + (blk & 4);
      return {flag_cond(chroma4x4_left(blk & 3), base, cur_flags, cur_intra, a),
              flag_cond(chroma4x4_up(blk & 3), base, cur_flags, cur_intra, b)};
    }
    default:
      return {flag_cond(luma4x4_left(blk), kCbfBitLuma, cur_flags, cur_intra, a),
              flag_cond(luma4x4_up(blk), kCbfBitLuma, cur_flags, cur_intra, b)};
  }
}

uint32_t cabac_coded_block_bits(int cat, int blk) {
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
