// Macroblock finish: neighbour samples, store into the picture, deblocking in the picture.
#include <cstdint>
#include <cstring>

#include "h264/recon/deblock.h"

namespace {

uint32_t strengths_of(const uint8_t* bs) {
  uint32_t v;
  std::memcpy(&v, bs, 4);
  return v;
}

// Thresholds of the three components for edges between p and the current macroblock, in the
// slice's table; Cb and Cr share theirs when both sides have equal chroma QPs.
struct PlaneThresholds {
  const EdgeThresholds* luma;
  const EdgeThresholds* cb;
  const EdgeThresholds* cr;
};

PlaneThresholds plane_thresholds(const MbFinishContext* c, const MbInfo* p) {
  const MbInfo* q = c->cur;
  const EdgeThresholds* t = c->thresholds;
  return {t + ((p->qp + q->qp + 1) >> 1), t + ((p->qp_cb + q->qp_cb + 1) >> 1),
          t + ((p->qp_cr + q->qp_cr + 1) >> 1)};
}

// Filters one luma edge (16 lines from luma) and, with kChroma, the chroma edge with the same
// strengths.
template <bool kVertical, bool kChroma>
[[gnu::always_inline]] inline void filter_edge(const MbFinishContext* c, const PlaneThresholds& t,
                                               const uint8_t* bs, uint8_t* luma, uint8_t* cb,
                                               uint8_t* cr) {
  const ReconKernels* k = c->kernels;
  const int ls = c->luma_stride, cs = c->chroma_stride;
  if (bs[0] == 4) {
    (kVertical ? k->luma_strong_v : k->luma_strong_h)(luma, ls, t.luma->alpha, t.luma->beta);
  } else {
    const EdgeFilterParams e = decoder_edge_filter_params(*t.luma, bs);
    (kVertical ? k->luma_normal_v : k->luma_normal_h)(luma, ls, e.alpha, e.beta, e.tc0);
  }
  if constexpr (kChroma) {
    const bool same_chroma = t.cb == t.cr;
    const EdgeFilterParams ecb = decoder_edge_filter_params(*t.cb, bs);
    EdgeFilterParams ecr;
    if (!same_chroma) ecr = decoder_edge_filter_params(*t.cr, bs);
    const EdgeFilterParams* pcr = same_chroma ? &ecb : &ecr;
    if (bs[0] == 4) {
      (kVertical ? k->chroma_strong_v : k->chroma_strong_h)(cb, cr, cs, &ecb, pcr);
    } else {
      (kVertical ? k->chroma_normal_v : k->chroma_normal_h)(cb, cr, cs, &ecb, pcr);
    }
  }
}

// The edges of one direction: the macroblock edge against p (thresholds made here), then the
// internal edges with the macroblock's own thresholds.
template <bool kVertical>
void filter_direction(const MbFinishContext* c, const uint8_t* bs, const MbInfo* p,
                      const PlaneThresholds& internal) {
  const uint8_t* outer = bs + (kVertical ? kBsLeft : kBsTop);
  if (strengths_of(outer) != 0) {
    filter_edge<kVertical, true>(c, plane_thresholds(c, p), outer, c->luma, c->cb, c->cr);
  }
  const uint8_t* inner = bs + (kVertical ? kBsVertical : kBsHorizontal);
  const int luma_step = kVertical ? 4 : 4 * c->luma_stride;
  const int chroma_at = kVertical ? 4 : 4 * c->chroma_stride;
  if (strengths_of(inner) != 0) {
    filter_edge<kVertical, false>(c, internal, inner, c->luma + luma_step, nullptr, nullptr);
  }
  if (strengths_of(inner + 4) != 0) {
    filter_edge<kVertical, true>(c, internal, inner + 4, c->luma + 2 * luma_step, c->cb + chroma_at,
                                 c->cr + chroma_at);
  }
  if (strengths_of(inner + 8) != 0) {
    filter_edge<kVertical, false>(c, internal, inner + 8, c->luma + 3 * luma_step, nullptr,
                                  nullptr);
  }
}

// Asks for the picture lines of the macroblocks ahead in this row (64 bytes on, a whole cache
// line), so that their stores find them in cache instead of waiting on memory row by row. Only
// the macroblock whose line ahead differs from its left neighbour's asks: the others would
// request the same lines again. The addresses may pass the plane's end; a prefetch never faults.
void prefetch_ahead(const uint8_t* pic, int stride, int rows, int width) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(pic) + 64;
  if ((at >> 6) == ((at - static_cast<uintptr_t>(width)) >> 6)) return;
  for (int y = 0; y < rows; ++y) {
    __builtin_prefetch(reinterpret_cast<const void*>(at + static_cast<uintptr_t>(y * stride)), 1);
  }
}

void store_mb(const MbFinishContext* c, const MbWorkArea* wa) {
  prefetch_ahead(c->luma, c->luma_stride, 16, 16);
  prefetch_ahead(c->cb, c->chroma_stride, 8, 8);
  prefetch_ahead(c->cr, c->chroma_stride, 8, 8);
  c->kernels->store_mb_luma(c->luma, c->luma_stride, wa->luma);
  c->kernels->store_mb_chroma(c->cb, c->cr, c->chroma_stride, wa->cb, wa->cr);
}

}  // namespace

void decoder_deblock_mb(const MbFinishContext* c, const uint8_t* bs) {
  uint64_t words[kBsSize / 8];
  std::memcpy(words, bs, sizeof words);
  if ((words[0] | words[1] | words[2] | words[3]) == 0) return;
  // Internal edges pair the macroblock with itself.
  const MbInfo* q = c->cur;
  const EdgeThresholds* t = c->thresholds;
  const PlaneThresholds internal{t + q->qp, t + q->qp_cb, t + q->qp_cr};
  filter_direction<true>(c, bs, c->left, internal);
  filter_direction<false>(c, bs, c->top, internal);
}

void decoder_finish_mb(const MbFinishContext* c, MbWorkArea* wa) {
  MbInfo* cur = c->cur;
  // Column 15 lies in the right 8x8 blocks (1 and 3) of the luma array.
  for (int y = 0; y < 8; ++y) {
    wa->right_luma[y] = wa->luma[64 + 8 * y + 7];
    wa->right_luma[8 + y] = wa->luma[192 + 8 * y + 7];
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
