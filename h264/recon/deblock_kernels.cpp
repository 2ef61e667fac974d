// Edge filters of clause 8.7.2, transposes, neighbour loads and stores, macroblock stores.
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

void luma_normal(uint8_t* p, uint8_t* q, int alpha, int beta, const int8_t* tc0) {
  for (int i = 0; i < 8; ++i) {
    const int tc0_i = tc0[i >> 2];
    if (tc0_i < 0) continue;
    const int p0 = p[i], p1 = p[i - 8], p2 = p[i - 16];
    const int q0 = q[i], q1 = q[i + 8], q2 = q[i + 16];
    if (!samples_filtered(p1, p0, q0, q1, alpha, beta)) continue;
    const bool filter_p1 = std::abs(p2 - p0) < beta;
    const bool filter_q1 = std::abs(q2 - q0) < beta;
    const int tc = tc0_i + filter_p1 + filter_q1;
    const int delta = normal_delta(p1, p0, q0, q1, tc);
    p[i] = clip_pixel(p0 + delta);
    q[i] = clip_pixel(q0 - delta);
    const int half = (p0 + q0 + 1) >> 1;
    if (filter_p1)
      p[i - 8] = static_cast<uint8_t>(p1 + clip3(-tc0_i, tc0_i, (p2 + half - 2 * p1) >> 1));
    if (filter_q1)
      q[i + 8] = static_cast<uint8_t>(q1 + clip3(-tc0_i, tc0_i, (q2 + half - 2 * q1) >> 1));
  }
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

void luma_strong(uint8_t* p, uint8_t* q, int alpha, int beta) {
  for (int i = 0; i < 8; ++i) {
    const int p0 = p[i], p1 = p[i - 8], p2 = p[i - 16];
    const int q0 = q[i], q1 = q[i + 8], q2 = q[i + 16];
    if (!samples_filtered(p1, p0, q0, q1, alpha, beta)) continue;
    const bool close = std::abs(p0 - q0) < ((alpha >> 2) + 2);
    strong_side(p + i, -8, q0, q1, close && std::abs(p2 - p0) < beta);
    strong_side(q + i, 8, p0, p1, close && std::abs(q2 - q0) < beta);
  }
}

void chroma_normal_plane(uint8_t* p, uint8_t* q, const EdgeFilterParams* e) {
  for (int i = 0; i < 8; ++i) {
    const int tc0 = e->tc0[i >> 1];
    if (tc0 < 0) continue;
    const int p0 = p[i], p1 = p[i - 8], q0 = q[i], q1 = q[i + 8];
    if (!samples_filtered(p1, p0, q0, q1, e->alpha, e->beta)) continue;
    const int delta = normal_delta(p1, p0, q0, q1, tc0 + 1);
    p[i] = clip_pixel(p0 + delta);
    q[i] = clip_pixel(q0 - delta);
  }
}

void chroma_strong_plane(uint8_t* p, uint8_t* q, const EdgeFilterParams* e) {
  for (int i = 0; i < 8; ++i) {
    const int p0 = p[i], p1 = p[i - 8], q0 = q[i], q1 = q[i + 8];
    if (!samples_filtered(p1, p0, q0, q1, e->alpha, e->beta)) continue;
    p[i] = static_cast<uint8_t>((2 * p1 + p0 + q1 + 2) >> 2);
    q[i] = static_cast<uint8_t>((2 * q1 + q0 + p1 + 2) >> 2);
  }
}

void chroma_normal(uint8_t* p_cb, uint8_t* q_cb, uint8_t* p_cr, uint8_t* q_cr,
                   const EdgeFilterParams* cb, const EdgeFilterParams* cr) {
  chroma_normal_plane(p_cb, q_cb, cb);
  chroma_normal_plane(p_cr, q_cr, cr);
}

void chroma_strong(uint8_t* p_cb, uint8_t* q_cb, uint8_t* p_cr, uint8_t* q_cr,
                   const EdgeFilterParams* cb, const EdgeFilterParams* cr) {
  chroma_strong_plane(p_cb, q_cb, cb);
  chroma_strong_plane(p_cr, q_cr, cr);
}

void transpose8x8(uint8_t* block) {
  for (int y = 0; y < 8; ++y) {
    for (int x = y + 1; x < 8; ++x) {
      const uint8_t t = block[8 * y + x];
      block[8 * y + x] = block[8 * x + y];
      block[8 * x + y] = t;
    }
  }
}

void load_left_columns(uint8_t* edge, const uint8_t* pic, int stride) {
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 4; ++k) edge[8 * k + r] = pic[r * stride + k];
}

void store_left_columns(const uint8_t* edge, uint8_t* pic, int stride) {
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 4; ++k) pic[r * stride + k] = edge[8 * k + r];
}

void load_top_rows_luma(uint8_t* edge, const uint8_t* pic, int stride) {
  for (int r = 0; r < 4; ++r) {
    std::memcpy(edge + 8 * r, pic + r * stride, 8);
    std::memcpy(edge + 32 + 8 * r, pic + r * stride + 8, 8);
  }
}

void store_top_rows_luma(const uint8_t* edge, uint8_t* pic, int stride) {
  for (int r = 0; r < 4; ++r) {
    std::memcpy(pic + r * stride, edge + 8 * r, 8);
    std::memcpy(pic + r * stride + 8, edge + 32 + 8 * r, 8);
  }
}

void load_top_rows_chroma(uint8_t* edge, const uint8_t* pic, int stride) {
  for (int r = 0; r < 2; ++r) std::memcpy(edge + 16 + 8 * r, pic + r * stride, 8);
}

void store_top_rows_chroma(const uint8_t* edge, uint8_t* pic, int stride) {
  for (int r = 0; r < 2; ++r) std::memcpy(pic + r * stride, edge + 16 + 8 * r, 8);
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
  kernels->transpose8x8 = transpose8x8;
  kernels->luma_normal = luma_normal;
  kernels->luma_strong = luma_strong;
  kernels->chroma_normal = chroma_normal;
  kernels->chroma_strong = chroma_strong;
  kernels->load_left_columns = load_left_columns;
  kernels->store_left_columns = store_left_columns;
  kernels->load_top_rows_chroma = load_top_rows_chroma;
  kernels->store_top_rows_chroma = store_top_rows_chroma;
  kernels->load_top_rows_luma = load_top_rows_luma;
  kernels->store_top_rows_luma = store_top_rows_luma;
  kernels->store_mb_luma = store_mb_luma;
  kernels->store_mb_chroma = store_mb_chroma;
}
