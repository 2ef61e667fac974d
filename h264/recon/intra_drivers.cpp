#include <algorithm>
#include <cstring>

#include "h264/recon/intra.h"
#include "h264/recon/recon_tables.h"

namespace {

struct Availability {
  bool a, b, c, d;
};

bool usable(const MbInfo* m, int constrained) {
  return m != nullptr && m->available && (!constrained || mb_is_intra(m->mb_type));
}

// Border fill: left columns from the previous macroblock's saved right column, top rows and
// corners from B and D, the top-right row from C or B's last sample, and the flags.
Availability fill_border(MbWorkArea* wa, const IntraNeighbours* n) {
  const int constrained = n->constrained_intra_pred_flag;
  const Availability av{usable(n->a, constrained), usable(n->b, constrained),
                        usable(n->c, constrained), usable(n->d, constrained)};
  uint8_t* l = wa->luma;
  std::memcpy(l + kLumaLeft, wa->right_luma, 16);
  std::memcpy(wa->cb + kChromaLeft, wa->right_cb, 8);
  std::memcpy(wa->cr + kChromaLeft, wa->right_cr, 8);
  if (n->b != nullptr) {
    std::memcpy(l + kLumaTop, n->b->bottom_luma, 16);
    std::memcpy(wa->cb + kChromaTop, n->b->bottom_cb, 8);
    std::memcpy(wa->cr + kChromaTop, n->b->bottom_cr, 8);
  }
  if (n->d != nullptr) {
    l[kLumaTopLeft] = n->d->bottom_luma[15];
    wa->cb[kChromaTopLeft] = n->d->bottom_cb[7];
    wa->cr[kChromaTopLeft] = n->d->bottom_cr[7];
  }
  if (av.c) {
    std::memcpy(l + kLumaTopRight, n->c->bottom_luma, 8);
  } else {
    std::memset(l + kLumaTopRight, l[kLumaTop + 15], 8);
  }
  l[kFlagOne] = 1;
  std::memset(l + kFlagLeft, av.a, 4);
  l[kFlagTop] = av.b;
  l[kFlagTopLeft] = av.d;
  return av;
}

// Mode of the neighbouring 4x4 block named by a mode table entry, or -1 when that block's
// macroblock is not available (dcPredModePredictedFlag).
int neighbour_mode(uint8_t entry, const MbInfo* cur, const MbInfo* nb, bool nb_available) {
  if ((entry & kNeighbourMb) == 0) return cur->intra_pred_mode[entry];
  if (!nb_available) return -1;
  return nb->mb_type == kMbINxN ? nb->intra_pred_mode[entry & 15] : 2;
}

int derive_mode(const MbWorkArea* wa, int syntax_index, int left, int top) {
  const int predicted = (left < 0 || top < 0) ? 2 : std::min(left, top);
  if (wa->prev_intra_pred_mode_flag[syntax_index]) return predicted;
  const int rem = wa->rem_intra_pred_mode[syntax_index] & 7;
  return rem < predicted ? rem : rem + 1;
}

bool needs_left(int mode) {
  return mode == 1 || mode == 4 || mode == 5 || mode == 6 || mode == 8;
}
bool needs_top(int mode) {
  return mode == 0 || mode == 3 || mode == 4 || mode == 5 || mode == 6 || mode == 7;
}

int predict_chroma(const ReconKernels* k, MbWorkArea* wa, const Availability& av, bool test_d) {
  const int mode = wa->intra_chroma_pred_mode & 3;
  k->intra_chroma[mode](wa, wa->cb, wa->cr, wa->residual + kResidualCb, wa->residual + kResidualCr,
                        wa->coded_block_pattern >> 4);
  return (mode == 1 && !av.a) || (mode == 2 && !av.b) || (test_d && mode == 3 && !av.d);
}

}  // namespace

int decoder_intra4x4_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                        const IntraNeighbours* n) {
  const Availability av = fill_border(wa, n);
  int error = 0;
  for (int blk = 0; blk < 16; ++blk) {
    const int left = neighbour_mode(decoder_intra4x4_mode_left[blk], cur, n->a, av.a);
    const int top = neighbour_mode(decoder_intra4x4_mode_top[blk], cur, n->b, av.b);
    const int mode = derive_mode(wa, blk, left, top);
    cur->intra_pred_mode[blk] = static_cast<int8_t>(mode);
    const Intra4x4Neighbours& nb = decoder_intra4x4_neighbours[blk];
    error |= (needs_left(mode) && !wa->luma[nb.flag_left]) ||
             (needs_top(mode) && !wa->luma[nb.flag_top]);
    k->intra4x4[mode](blk, wa->luma, wa->residual, wa->coded_block_pattern);
  }
  return error | predict_chroma(k, wa, av, true);
}

int decoder_intra8x8_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                        const IntraNeighbours* n) {
  const Availability av = fill_border(wa, n);
  for (int blk = 0; blk < 4; ++blk) {
    const int left = neighbour_mode(decoder_intra8x8_mode_left[blk], cur, n->a, av.a);
    const int top = neighbour_mode(decoder_intra8x8_mode_top[blk], cur, n->b, av.b);
    const int mode = derive_mode(wa, 4 * blk, left, top);
    std::memset(cur->intra_pred_mode + 4 * blk, mode, 4);
    k->intra8x8[mode](blk, wa->luma, wa->residual, wa->coded_block_pattern);
  }
  return predict_chroma(k, wa, av, false);
}

int decoder_intra16x16_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo*,
                          const IntraNeighbours* n) {
  const Availability av = fill_border(wa, n);
  const int mode = wa->intra16x16_pred_mode & 3;
  const int error = (mode == 0 && !av.b) || (mode == 1 && !av.a) || (mode == 3 && !av.d);
  k->intra16x16[mode](wa->luma, wa->residual);
  return error | predict_chroma(k, wa, av, true);
}

void decoder_pcm_mb(MbWorkArea* wa, MbInfo* cur, const uint8_t* samples, int chroma_qp_index_offset,
                    int second_chroma_qp_index_offset) {
  for (int y = 0; y < 16; ++y) {
    std::memcpy(wa->luma + luma_sample_offset(0, y), samples + 16 * y, 8);
    std::memcpy(wa->luma + luma_sample_offset(8, y), samples + 16 * y + 8, 8);
  }
  std::memcpy(wa->cb, samples + 256, 64);
  std::memcpy(wa->cr, samples + 320, 64);
  wa->transform_size_8x8_flag = 0;
  cur->transform_size_8x8_flag = 0;
  cur->qp = 0;
  cur->qp_cb = decoder_chroma_qp[std::clamp(chroma_qp_index_offset, 0, 51)];
  cur->qp_cr = decoder_chroma_qp[std::clamp(second_chroma_qp_index_offset, 0, 51)];
  std::memset(cur->total_coeff, 16, sizeof cur->total_coeff);
  cur->coded_blocks = 0xFFFF;
  cur->coded_block_flags = 0xFFFFFFFF;
}
