// Macroblock finish: neighbour samples, store into the picture, deblocking in the picture.
#include <cstring>

#include "h264/recon/deblock.h"

namespace {

uint32_t strengths_of(const uint8_t* bs) {
  uint32_t v;
  std::memcpy(&v, bs, 4);
  return v;
}

// Thresholds of the three components for edges between p and the current macroblock.
struct PlaneThresholds {
  EdgeThresholds luma;
  EdgeThresholds cb;
  EdgeThresholds cr;
};

PlaneThresholds plane_thresholds(const MbFinishContext* c, const MbInfo* p) {
  const MbInfo* q = c->cur;
  const int a = c->filter_offset_a, b = c->filter_offset_b;
  return {decoder_edge_thresholds(p->qp, q->qp, a, b),
          decoder_edge_thresholds(p->qp_cb, q->qp_cb, a, b),
          decoder_edge_thresholds(p->qp_cr, q->qp_cr, a, b)};
}

// Filters one luma edge (16 lines from luma) and, when cb is set, the chroma edge with the same
// strengths; vertical selects the kernels of vertical edges.
void filter_edge(const MbFinishContext* c, const PlaneThresholds& t, const uint8_t* bs,
                 uint8_t* luma, uint8_t* cb, uint8_t* cr, bool vertical) {
  const ReconKernels* k = c->kernels;
  const int ls = c->luma_stride, cs = c->chroma_stride;
  if (bs[0] == 4) {
    (vertical ? k->luma_strong_v : k->luma_strong_h)(luma, ls, t.luma.alpha, t.luma.beta);
  } else {
    const EdgeFilterParams e = decoder_edge_filter_params(t.luma, bs);
    (vertical ? k->luma_normal_v : k->luma_normal_h)(luma, ls, e.alpha, e.beta, e.tc0);
  }
  if (cb == nullptr) return;
  const EdgeFilterParams ecb = decoder_edge_filter_params(t.cb, bs);
  const EdgeFilterParams ecr = decoder_edge_filter_params(t.cr, bs);
  if (bs[0] == 4) {
    (vertical ? k->chroma_strong_v : k->chroma_strong_h)(cb, cr, cs, &ecb, &ecr);
  } else {
    (vertical ? k->chroma_normal_v : k->chroma_normal_h)(cb, cr, cs, &ecb, &ecr);
  }
}

void store_mb(const MbFinishContext* c, const MbWorkArea* wa) {
  c->kernels->store_mb_luma(c->luma, c->luma_stride, wa->luma);
  c->kernels->store_mb_chroma(c->cb, c->cr, c->chroma_stride, wa->cb, wa->cr);
}

}  // namespace

void decoder_deblock_mb(const MbFinishContext* c, const uint8_t* bs) {
  const int ls = c->luma_stride, cs = c->chroma_stride;
  // Internal edges pair the macroblock with itself: their thresholds are made once.
  bool have_internal = false;
  PlaneThresholds internal;
  for (int vertical = 1; vertical >= 0; --vertical) {
    const uint8_t* outer = bs + (vertical ? kBsLeft : kBsTop);
    if (strengths_of(outer) != 0) {
      const PlaneThresholds t = plane_thresholds(c, vertical ? c->left : c->top);
      filter_edge(c, t, outer, c->luma, c->cb, c->cr, vertical);
    }
    const uint8_t* inner = bs + (vertical ? kBsVertical : kBsHorizontal);
    for (int edge = 1; edge <= 3; ++edge) {
      const uint8_t* s = inner + 4 * (edge - 1);
      if (strengths_of(s) == 0) continue;
      if (!have_internal) {
        internal = plane_thresholds(c, c->cur);
        have_internal = true;
      }
      const int luma_at = vertical ? 4 * edge : 4 * edge * ls;
      const int chroma_at = vertical ? 4 : 4 * cs;
      const bool chroma = edge == 2;
      filter_edge(c, internal, s, c->luma + luma_at, chroma ? c->cb + chroma_at : nullptr,
                  c->cr + chroma_at, vertical);
    }
  }
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
  store_mb(c, wa);
  if (c->disable_deblocking_filter_idc != 1) decoder_deblock_mb(c, wa->bs);
}
