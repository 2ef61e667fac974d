// Macroblock finish: neighbour samples, deblocking in the work area, store into the picture.
#include <cstring>

#include "h264/recon/deblock.h"

namespace {

bool any_strength(const uint8_t* bs) {
  return (bs[0] | bs[1] | bs[2] | bs[3]) != 0;
}

// Whether any of `count` strengths from bs on is non-zero.
bool any_strength_in(const uint8_t* bs, int count) {
  uint8_t any = 0;
  for (int i = 0; i < count; ++i) any |= bs[i];
  return any != 0;
}

struct EdgeParams {
  EdgeFilterParams luma;
  EdgeFilterParams cb;
  EdgeFilterParams cr;
};

// Luma thresholds, and the chroma ones only for edges that have chroma samples.
EdgeParams edge_params(const MbFinishContext* c, const MbInfo* p, const uint8_t* bs, bool chroma) {
  EdgeParams e;
  const MbInfo* q = c->cur;
  decoder_edge_filter_params(&e.luma, p->qp, q->qp, c->filter_offset_a, c->filter_offset_b, bs);
  if (chroma) {
    decoder_edge_filter_params(&e.cb, p->qp_cb, q->qp_cb, c->filter_offset_a, c->filter_offset_b,
                               bs);
    decoder_edge_filter_params(&e.cr, p->qp_cr, q->qp_cr, c->filter_offset_a, c->filter_offset_b,
                               bs);
  }
  return e;
}

// One luma edge of two 8-sample stretches (p0 and q0 rows of each) and, when chroma is set, the
// chroma edge with the same strengths. A stretch whose two strengths are 0 is skipped.
void filter_edge(const ReconKernels* k, const EdgeParams& e, const uint8_t* bs, uint8_t* const p[2],
                 uint8_t* const q[2], uint8_t* const chroma[4], bool strong) {
  for (int s = 0; s < 2; ++s) {
    if ((bs[2 * s] | bs[2 * s + 1]) == 0) continue;
    if (strong) {
      k->luma_strong(p[s], q[s], e.luma.alpha, e.luma.beta);
    } else {
      k->luma_normal(p[s], q[s], e.luma.alpha, e.luma.beta, e.luma.tc0 + 2 * s);
    }
  }
  if (chroma == nullptr) return;
  if (strong) {
    k->chroma_strong(chroma[0], chroma[1], chroma[2], chroma[3], &e.cb, &e.cr);
  } else {
    k->chroma_normal(chroma[0], chroma[1], chroma[2], chroma[3], &e.cb, &e.cr);
  }
}

// Internal edges 1..3 of one direction; the work area is arranged so that the edges are rows:
// quadrants a (upper or left half of the edge) and b (the other half) hold edges 1 and 3, and
// edge 2 lies between quadrants a / a_next and b / b_next.
void filter_internal(const MbFinishContext* c, MbWorkArea* wa, const uint8_t* bs, int qa, int qb,
                     int qa_next, int qb_next) {
  uint8_t* l = wa->luma;
  for (int edge = 1; edge <= 3; ++edge) {
    const uint8_t* s = bs + 4 * (edge - 1);
    if (!any_strength(s)) continue;
    const EdgeParams e = edge_params(c, c->cur, s, edge == 2);
    const int first = edge == 3 ? 1 : 0;  // edge 1 in quadrants a/b, edge 3 in the next ones
    uint8_t* p[2];
    uint8_t* q[2];
    if (edge == 2) {
      p[0] = l + 64 * qa + 56;
      q[0] = l + 64 * qa_next;
      p[1] = l + 64 * qb + 56;
      q[1] = l + 64 * qb_next;
    } else {
      const int a = first ? qa_next : qa, b = first ? qb_next : qb;
      p[0] = l + 64 * a + 24;
      q[0] = l + 64 * a + 32;
      p[1] = l + 64 * b + 24;
      q[1] = l + 64 * b + 32;
    }
    uint8_t* const chroma[4] = {wa->cb + 24, wa->cb + 32, wa->cr + 24, wa->cr + 32};
    filter_edge(c->kernels, e, s, p, q, edge == 2 ? chroma : nullptr, false);
  }
}

void transpose_all(const ReconKernels* k, MbWorkArea* wa) {
  for (int q = 0; q < 4; ++q) k->transpose8x8(wa->luma + 64 * q);
  k->transpose8x8(wa->cb);
  k->transpose8x8(wa->cr);
}

void store_mb(const MbFinishContext* c, const MbWorkArea* wa) {
  c->kernels->store_mb_luma(c->luma, c->luma_stride, wa->luma);
  c->kernels->store_mb_chroma(c->cb, c->cr, c->chroma_stride, wa->cb, wa->cr);
}

// Left and internal vertical edges, filtered as rows of the transposed macroblock.
void filter_vertical_edges(const MbFinishContext* c, MbWorkArea* wa) {
  const ReconKernels* k = c->kernels;
  const int ls = c->luma_stride, cs = c->chroma_stride;
  uint8_t* l = wa->luma;
  transpose_all(k, wa);
  const uint8_t* left = wa->bs + kBsLeft;
  if (any_strength(left)) {
    const EdgeParams e = edge_params(c, c->left, left, true);
    k->load_left_columns(wa->edge_luma, c->luma - 4, ls);
    k->load_left_columns(wa->edge_luma + 32, c->luma + 8 * ls - 4, ls);
    k->load_left_columns(wa->edge_cb, c->cb - 4, cs);
    k->load_left_columns(wa->edge_cr, c->cr - 4, cs);
    uint8_t* const p[2] = {wa->edge_luma + 24, wa->edge_luma + 56};
    uint8_t* const q[2] = {l, l + 128};
    uint8_t* const chroma[4] = {wa->edge_cb + 24, wa->cb, wa->edge_cr + 24, wa->cr};
    filter_edge(k, e, left, p, q, chroma, left[0] == 4);
    k->store_left_columns(wa->edge_luma, c->luma - 4, ls);
    k->store_left_columns(wa->edge_luma + 32, c->luma + 8 * ls - 4, ls);
    k->store_left_columns(wa->edge_cb, c->cb - 4, cs);
    k->store_left_columns(wa->edge_cr, c->cr - 4, cs);
  }
  filter_internal(c, wa, wa->bs + kBsVertical, 0, 2, 1, 3);
  transpose_all(k, wa);
}

}  // namespace

void decoder_deblock_mb(const MbFinishContext* c, MbWorkArea* wa) {
  const ReconKernels* k = c->kernels;
  const int ls = c->luma_stride, cs = c->chroma_stride;
  uint8_t* l = wa->luma;
  // Without a non-zero strength on the vertical edges the transposes are left out.
  if (any_strength(wa->bs + kBsLeft) ||
      any_strength_in(wa->bs + kBsVertical, kBsHorizontal - kBsVertical)) {
    filter_vertical_edges(c, wa);
  }
  const uint8_t* top = wa->bs + kBsTop;
  if (any_strength(top)) {
    const EdgeParams e = edge_params(c, c->top, top, true);
    k->load_top_rows_luma(wa->edge_luma, c->luma - 4 * ls, ls);
    k->load_top_rows_chroma(wa->edge_cb, c->cb - 2 * cs, cs);
    k->load_top_rows_chroma(wa->edge_cr, c->cr - 2 * cs, cs);
    uint8_t* const p[2] = {wa->edge_luma + 24, wa->edge_luma + 56};
    uint8_t* const q[2] = {l, l + 64};
    uint8_t* const chroma[4] = {wa->edge_cb + 24, wa->cb, wa->edge_cr + 24, wa->cr};
    filter_edge(k, e, top, p, q, chroma, top[0] == 4);
    k->store_top_rows_luma(wa->edge_luma, c->luma - 4 * ls, ls);
    k->store_top_rows_chroma(wa->edge_cb, c->cb - 2 * cs, cs);
    k->store_top_rows_chroma(wa->edge_cr, c->cr - 2 * cs, cs);
  }
  filter_internal(c, wa, wa->bs + kBsHorizontal, 0, 1, 2, 3);
  store_mb(c, wa);
}

void decoder_finish_mb(const MbFinishContext* c, MbWorkArea* wa) {
  MbInfo* cur = c->cur;
  for (int y = 0; y < 16; ++y)
    wa->right_luma[y] = wa->luma[64 * (y >> 3 << 1 | 1) + (y & 7) * 8 + 7];
  for (int y = 0; y < 8; ++y) {
    wa->right_cb[y] = wa->cb[8 * y + 7];
    wa->right_cr[y] = wa->cr[8 * y + 7];
  }
  std::memcpy(cur->bottom_luma, wa->luma + 128 + 56, 8);
  std::memcpy(cur->bottom_luma + 8, wa->luma + 192 + 56, 8);
  std::memcpy(cur->bottom_cb, wa->cb + 56, 8);
  std::memcpy(cur->bottom_cr, wa->cr + 56, 8);
  if (c->disable_deblocking_filter_idc == 1) {
    store_mb(c, wa);
  } else {
    decoder_deblock_mb(c, wa);
  }
}
