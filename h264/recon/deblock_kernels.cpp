// Edge filters of clause 8.7.2 in the picture, and the macroblock stores.
#include <cstdlib>
#include <cstring>

#include "h264/recon/portable_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

int clip3(int lo, int hi, int v) {
  return v < lo ? lo : (v > hi ? hi : v);
}

bool samples_filtered(int p1, int p0, int q0, int q1, int alpha, int beta) {
  return std::abs(p0 - q0) < alpha && std::abs(p1 - p0) < beta && std::abs(q1 - q0) < beta;
}

int normal_delta(int p1, int p0, int q0, int q1, int tc) {
  return clip3(-tc, tc, (((q0 - p0) * 4) + (p1 - q1) + 4) >> 3);
}

// The filters below work on one line across an edge: s points at q0 and step leads from q0 to
// q1 (p0 is at s - step).
void luma_normal_line(uint8_t* s, int step, int alpha, int beta, int tc0) {
  const int p0 = s[-step], p1 = s[-2 * step], p2 = s[-3 * step];
  const int q0 = s[0], q1 = s[step], q2 = s[2 * step];
  if (!samples_filtered(p1, p0, q0, q1, alpha, beta)) return;
  const bool filter_p1 = std::abs(p2 - p0) < beta;
  const bool filter_q1 = std::abs(q2 - q0) < beta;
  const int tc = tc0 + filter_p1 + filter_q1;
  const int delta = normal_delta(p1, p0, q0, q1, tc);
  s[-step] = clip_pixel(p0 + delta);
  s[0] = clip_pixel(q0 - delta);
  const int half = (p0 + q0 + 1) >> 1;
  if (filter_p1)
    s[-2 * step] = static_cast<uint8_t>(p1 + clip3(-tc0, tc0, (p2 + half - 2 * p1) >> 1));
  if (filter_q1) s[step] = static_cast<uint8_t>(q1 + clip3(-tc0, tc0, (q2 + half - 2 * q1) >> 1));
}

// Strong filtering of one side: s points at sample 0 of that side, step leads away from the edge.
void strong_side(uint8_t* s, int step, int q0, int q1, bool strong) {
  const int p0 = s[0], p1 = s[step], p2 = s[2 * step], p3 = s[3 * step];
  if (strong) {
    s[0] = static_cast<uint8_t>((p2 + 2 * p1 + 2 * p0 + 2 * q0 + q1 + 4) >> 3);
    s[step] = static_cast<uint8_t>((p2 + p1 + p0 + q0 + 2) >> 2);
    s[2 * step] = static_cast<uint8_t>((2 * p3 + 3 * p2 + p1 + p0 + q0 + 4) >> 3);
  } else {
    s[0] = static_cast<uint8_t>((2 * p1 + p0 + q1 + 2) >> 2);
  }
}

void luma_strong_line(uint8_t* s, int step, int alpha, int beta) {
  const int p0 = s[-step], p1 = s[-2 * step], p2 = s[-3 * step];
  const int q0 = s[0], q1 = s[step], q2 = s[2 * step];
  if (!samples_filtered(p1, p0, q0, q1, alpha, beta)) return;
  const bool close = std::abs(p0 - q0) < ((alpha >> 2) + 2);
  strong_side(s - step, -step, q0, q1, close && std::abs(p2 - p0) < beta);
  strong_side(s, step, p0, p1, close && std::abs(q2 - q0) < beta);
}

void chroma_normal_line(uint8_t* s, int step, int alpha, int beta, int tc0) {
  const int p0 = s[-step], p1 = s[-2 * step], q0 = s[0], q1 = s[step];
  if (!samples_filtered(p1, p0, q0, q1, alpha, beta)) return;
  const int delta = normal_delta(p1, p0, q0, q1, tc0 + 1);
  s[-step] = clip_pixel(p0 + delta);
  s[0] = clip_pixel(q0 - delta);
}

void chroma_strong_line(uint8_t* s, int step, int alpha, int beta) {
  const int p0 = s[-step], p1 = s[-2 * step], q0 = s[0], q1 = s[step];
  if (!samples_filtered(p1, p0, q0, q1, alpha, beta)) return;
  s[-step] = static_cast<uint8_t>((2 * p1 + p0 + q1 + 2) >> 2);
  s[0] = static_cast<uint8_t>((2 * q1 + q0 + p1 + 2) >> 2);
}

// Edges of either direction: lines are `along` apart, their samples `across` apart.
template <bool kVertical>
void luma_normal(uint8_t* pix, int stride, int alpha, int beta, const int8_t* tc0) {
  const int across = kVertical ? 1 : stride, along = kVertical ? stride : 1;
  for (int i = 0; i < 16; ++i)
    if (tc0[i >> 2] >= 0) luma_normal_line(pix + i * along, across, alpha, beta, tc0[i >> 2]);
}

template <bool kVertical>
void luma_strong(uint8_t* pix, int stride, int alpha, int beta) {
  const int across = kVertical ? 1 : stride, along = kVertical ? stride : 1;
  for (int i = 0; i < 16; ++i) luma_strong_line(pix + i * along, across, alpha, beta);
}

// One chroma filter over the 8 lines of Cb and of Cr.
template <bool kVertical, bool kStrong>
void chroma_edge(uint8_t* cb, uint8_t* cr, int stride, const EdgeFilterParams* cb_params,
                 const EdgeFilterParams* cr_params) {
  const int across = kVertical ? 1 : stride, along = kVertical ? stride : 1;
  for (int plane = 0; plane < 2; ++plane) {
    uint8_t* pix = plane == 0 ? cb : cr;
    const EdgeFilterParams* e = plane == 0 ? cb_params : cr_params;
    for (int i = 0; i < 8; ++i) {
      if (kStrong) {
        chroma_strong_line(pix + i * along, across, e->alpha, e->beta);
      } else if (e->tc0[i >> 1] >= 0) {
        chroma_normal_line(pix + i * along, across, e->alpha, e->beta, e->tc0[i >> 1]);
      }
    }
  }
}

void store_mb_luma(uint8_t* pic, int stride, const uint8_t* luma) {
  for (int y = 0; y < 16; ++y) {
    std::memcpy(pic + y * stride, luma + luma_sample_offset(0, y), 8);
    std::memcpy(pic + y * stride + 8, luma + luma_sample_offset(8, y), 8);
  }
}

void store_mb_chroma(uint8_t* pic_cb, uint8_t* pic_cr, int stride, const uint8_t* cb,
                     const uint8_t* cr) {
  for (int y = 0; y < 8; ++y) {
    std::memcpy(pic_cb + y * stride, cb + 8 * y, 8);
    std::memcpy(pic_cr + y * stride, cr + 8 * y, 8);
  }
}

}  // namespace

void decoder_install_portable_deblock(ReconKernels* kernels) {
  kernels->luma_normal_v = luma_normal<true>;
  kernels->luma_normal_h = luma_normal<false>;
  kernels->luma_strong_v = luma_strong<true>;
  kernels->luma_strong_h = luma_strong<false>;
  kernels->chroma_normal_v = chroma_edge<true, false>;
  kernels->chroma_normal_h = chroma_edge<false, false>;
  kernels->chroma_strong_v = chroma_edge<true, true>;
  kernels->chroma_strong_h = chroma_edge<false, true>;
  kernels->store_mb_luma = store_mb_luma;
  kernels->store_mb_chroma = store_mb_chroma;
}
