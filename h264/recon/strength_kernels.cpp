// Boundary-strength derivation of clause 8.7.2.1.
#include <cstdlib>
#include <cstring>

#include "h264/recon/deblock.h"
#include "h264/recon/portable_kernels.h"

namespace {

constexpr int kInternalSize = kBsSize - kBsVertical;

// 4x4 blocks on both sides of the edges: [segment] for the left edge (current column 0, left
// macroblock column 3) and the top edge (current row 0, upper macroblock row 3).
constexpr uint8_t kLeftEdgeCur[4] = {0, 2, 8, 10};
constexpr uint8_t kLeftEdgeNb[4] = {5, 7, 13, 15};
constexpr uint8_t kTopEdgeCur[4] = {0, 1, 4, 5};
constexpr uint8_t kTopEdgeNb[4] = {10, 11, 14, 15};

constexpr int blk4x4_at(int x, int y) {
  return ((y >> 3) * 2 + (x >> 3)) * 4 + ((y >> 2) & 1) * 2 + ((x >> 2) & 1);
}

bool motion_differs(const MbMotion* a, int blk_a, const MbMotion* b, int blk_b, int mvy_limit) {
  if (a->ref_pic[blk_a >> 2] != b->ref_pic[blk_b >> 2]) return true;
  return std::abs(a->mv[blk_a][0] - b->mv[blk_b][0]) >= 4 ||
         std::abs(a->mv[blk_a][1] - b->mv[blk_b][1]) >= mvy_limit;
}

uint8_t inter_strength(const MbInfo* a, const MbMotion* ma, int blk_a, const MbInfo* b,
                       const MbMotion* mb, int blk_b, int mvy_limit) {
  if (((a->coded_blocks >> blk_a) | (b->coded_blocks >> blk_b)) & 1) return 2;
  return motion_differs(ma, blk_a, mb, blk_b, mvy_limit) ? 1 : 0;
}

void bs_left_edge(uint8_t* bs, const MbInfo* cur, const MbMotion* cur_motion, const MbInfo* nb,
                  const MbMotion* nb_motion, int mvy_limit) {
  for (int i = 0; i < 4; ++i)
    bs[i] =
        inter_strength(cur, cur_motion, kLeftEdgeCur[i], nb, nb_motion, kLeftEdgeNb[i], mvy_limit);
}

void bs_top_edge(uint8_t* bs, const MbInfo* cur, const MbMotion* cur_motion, const MbInfo* nb,
                 const MbMotion* nb_motion, int mvy_limit) {
  for (int i = 0; i < 4; ++i)
    bs[i] =
        inter_strength(cur, cur_motion, kTopEdgeCur[i], nb, nb_motion, kTopEdgeNb[i], mvy_limit);
}

void bs_clear_internal(uint8_t* bs, uint32_t) {
  std::memset(bs + kBsVertical, 0, kInternalSize);
}

// Sets every internal segment to strength(p, q) of the 4x4 blocks p and q on its two sides.
template <typename Strength>
void set_internal(uint8_t* bs, Strength strength) {
  for (int e = 1; e <= 3; ++e) {
    for (int i = 0; i < 4; ++i) {
      bs[kBsVertical + 4 * (e - 1) + i] =
          strength(blk4x4_at(4 * e - 4, 4 * i), blk4x4_at(4 * e, 4 * i));
      bs[kBsHorizontal + 4 * (e - 1) + i] =
          strength(blk4x4_at(4 * i, 4 * e - 4), blk4x4_at(4 * i, 4 * e));
    }
  }
}

void bs_internal_16x16(uint8_t* bs, uint32_t coded_blocks) {
  set_internal(bs, [coded_blocks](int p, int q) -> uint8_t {
    return (((coded_blocks >> p) | (coded_blocks >> q)) & 1) ? 2 : 0;
  });
}

void bs_internal_inter(uint8_t* bs, const MbInfo* cur, const MbMotion* motion, int mvy_limit) {
  set_internal(
      bs, [&](int p, int q) { return inter_strength(cur, motion, p, cur, motion, q, mvy_limit); });
}

}  // namespace

void decoder_install_portable_strengths(ReconKernels* kernels) {
  kernels->bs_left_edge = bs_left_edge;
  kernels->bs_top_edge = bs_top_edge;
  kernels->bs_clear_internal = bs_clear_internal;
  kernels->bs_internal_16x16 = bs_internal_16x16;
  kernels->bs_internal_inter = bs_internal_inter;
}

void decoder_bs_clear_transform_8x8_edges(uint8_t* bs) {
  for (int base : {kBsVertical, kBsHorizontal}) {
    std::memset(bs + base, 0, 4);
    std::memset(bs + base + 8, 0, 4);
  }
}

void decoder_bs_intra(uint8_t* bs, bool filter_left, bool filter_top, bool field,
                      bool transform_8x8) {
  std::memset(bs + kBsLeft, filter_left ? 4 : 0, 4);
  std::memset(bs + kBsTop, filter_top ? (field ? 3 : 4) : 0, 4);
  std::memset(bs + kBsVertical, 3, kInternalSize);
  if (transform_8x8) decoder_bs_clear_transform_8x8_edges(bs);
}

void decoder_bs_internal_inter(const ReconKernels* k, uint8_t* bs, const MbInfo* cur,
                               const MbMotion* motion, int mvy_limit) {
  k->bs_internal_inter(bs, cur, motion, mvy_limit);
  if (cur->transform_size_8x8_flag) decoder_bs_clear_transform_8x8_edges(bs);
}

void decoder_bs_inter_mb(const ReconKernels* k, uint8_t* bs, const MbInfo* cur,
                         const MbMotion* motion, const InterEdgeNeighbours* n) {
  const int mvy_limit = n->field ? 2 : 4;
  if (!n->filter_left) {
    std::memset(bs + kBsLeft, 0, 4);
  } else if (mb_is_intra(n->left->mb_type)) {
    std::memset(bs + kBsLeft, 4, 4);
  } else {
    k->bs_left_edge(bs + kBsLeft, cur, motion, n->left, n->left_motion, mvy_limit);
  }
  if (!n->filter_top) {
    std::memset(bs + kBsTop, 0, 4);
  } else if (mb_is_intra(n->top->mb_type)) {
    std::memset(bs + kBsTop, n->field ? 3 : 4, 4);
  } else {
    k->bs_top_edge(bs + kBsTop, cur, motion, n->top, n->top_motion, mvy_limit);
  }
  if (cur->mb_type == kMbPSkip) {
    k->bs_clear_internal(bs, 0);
  } else if (cur->mb_type == kMbP16x16) {
    k->bs_internal_16x16(bs, cur->coded_blocks);
    if (cur->transform_size_8x8_flag) decoder_bs_clear_transform_8x8_edges(bs);
  } else {
    decoder_bs_internal_inter(k, bs, cur, motion, mvy_limit);
  }
}
