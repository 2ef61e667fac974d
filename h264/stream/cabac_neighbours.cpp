#include "h264/stream/cabac_neighbours.h"

#include <array>
#include <cstdlib>

#include "h264/stream/cabac.h"
#include "h264/stream/entropy_neighbours.h"

namespace {

bool ref_idx_cond(NeighbourBlock r, const int8_t* cur_ref_idx, const MbInfo& n, const MbMotion& m) {
  if (r.inside) return cur_ref_idx[r.blk >> 2] > 0;
  return cabac_coded_inter(n) && m.ref_idx[r.blk >> 2] > 0;
}

constexpr int kCbfBitCount = 27;

// Bit of a neighbouring block: inside the current macroblock, or 32 up in the neighbour's.
constexpr uint8_t neighbour_bit(NeighbourBlock r, int base) {
  return static_cast<uint8_t>((r.inside ? 0 : 32) + base + r.blk);
}

constexpr std::array<CbfNeighbourBits, kCbfBitCount> make_cbf_neighbour_bits() {
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
}

constexpr std::array<CbfNeighbourBits, kCbfBitCount> kCbfNeighbourBits = make_cbf_neighbour_bits();

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
  return {ref_idx_cond(kLuma4x4Left[blk], cur_ref_idx, a, motion_a),
          ref_idx_cond(kLuma4x4Up[blk], cur_ref_idx, b, motion_b)};
}

const CbfNeighbourBits& cabac_cbf_neighbour_bits(int cat, int blk) {
  return kCbfNeighbourBits[cbf_bit(cat, blk)];
}

CabacConds cabac_coded_block_flag_conds(int cat, int blk, uint32_t cur_flags, bool cur_intra,
                                        const MbInfo& a, const MbInfo& b) {
  const CbfNeighbourBits& bits = cabac_cbf_neighbour_bits(cat, blk);
  return {((cur_flags | cabac_cbf_neighbour_word(a, cur_intra)) >> bits.left & 1) != 0,
          ((cur_flags | cabac_cbf_neighbour_word(b, cur_intra)) >> bits.up & 1) != 0};
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
