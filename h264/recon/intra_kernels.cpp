// Intra prediction kernels of clause 8.3 with the residual addition.
#include <cstring>
#include <utility>

#include "h264/recon/portable_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

int average2(int a, int b) {
  return (a + b + 1) >> 1;
}
int filter3(int a, int b, int c) {
  return (a + 2 * b + c + 2) >> 2;
}

// Writes an n x n prediction (row-major, stride n) to dst (stride 8), adding the residual
// (stride 8) when add is set.
void put_block(uint8_t* dst, const uint8_t* pred, int n, const int16_t* residual, bool add) {
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      dst[8 * y + x] = add ? clip_pixel(pred[n * y + x] + residual[8 * y + x]) : pred[n * y + x];
}

// Neighbour samples of an N x N block: top[x + 1] = p[x, -1] for x = -1..2N-1 and
// left[y + 1] = p[-1, y] for y = -1..N-1 (top[0] and left[0] both hold p[-1, -1]).
template <int N>
struct Edge {
  uint8_t top[2 * N + 1];
  uint8_t left[N + 1];
  bool has_left;
  bool has_top;

  int p(int x, int y) const { return y < 0 ? top[x + 1] : left[y + 1]; }
};

template <int N>
int sum_top(const Edge<N>& e) {
  int s = 0;
  for (int x = 0; x < N; ++x) s += e.p(x, -1);
  return s;
}

template <int N>
int sum_left(const Edge<N>& e) {
  int s = 0;
  for (int y = 0; y < N; ++y) s += e.p(-1, y);
  return s;
}

constexpr int log2_of(int n) {
  return n == 4 ? 2 : 3;
}

// The nine Intra_4x4 / Intra_8x8 prediction equations, mode numbering of the standard.
template <int N, int kMode>
int predict_sample(const Edge<N>& e, int x, int y, int dc) {
  if constexpr (kMode == 0) return e.p(x, -1);
  if constexpr (kMode == 1) return e.p(-1, y);
  if constexpr (kMode == 2) return dc;
  if constexpr (kMode == 3) {
    if (x == N - 1 && y == N - 1) return (e.p(2 * N - 2, -1) + 3 * e.p(2 * N - 1, -1) + 2) >> 2;
    return filter3(e.p(x + y, -1), e.p(x + y + 1, -1), e.p(x + y + 2, -1));
  }
  if constexpr (kMode == 4) {
    if (x > y) return filter3(e.p(x - y - 2, -1), e.p(x - y - 1, -1), e.p(x - y, -1));
    if (x < y) return filter3(e.p(-1, y - x - 2), e.p(-1, y - x - 1), e.p(-1, y - x));
    return filter3(e.p(0, -1), e.p(-1, -1), e.p(-1, 0));
  }
  if constexpr (kMode == 5) {
    const int z = 2 * x - y;
    const int xs = x - (y >> 1);
    if (z >= 0 && (z & 1) == 0) return average2(e.p(xs - 1, -1), e.p(xs, -1));
    if (z >= 0) return filter3(e.p(xs - 2, -1), e.p(xs - 1, -1), e.p(xs, -1));
    if (z == -1) return filter3(e.p(-1, 0), e.p(-1, -1), e.p(0, -1));
    return filter3(e.p(-1, y - 2 * x - 1), e.p(-1, y - 2 * x - 2), e.p(-1, y - 2 * x - 3));
  }
  if constexpr (kMode == 6) {
    const int z = 2 * y - x;
    const int ys = y - (x >> 1);
    if (z >= 0 && (z & 1) == 0) return average2(e.p(-1, ys - 1), e.p(-1, ys));
    if (z >= 0) return filter3(e.p(-1, ys - 2), e.p(-1, ys - 1), e.p(-1, ys));
    if (z == -1) return filter3(e.p(-1, 0), e.p(-1, -1), e.p(0, -1));
    return filter3(e.p(x - 2 * y - 1, -1), e.p(x - 2 * y - 2, -1), e.p(x - 2 * y - 3, -1));
  }
  if constexpr (kMode == 7) {
    const int xs = x + (y >> 1);
    if ((y & 1) == 0) return average2(e.p(xs, -1), e.p(xs + 1, -1));
    return filter3(e.p(xs, -1), e.p(xs + 1, -1), e.p(xs + 2, -1));
  }
  if constexpr (kMode == 8) {
    const int z = x + 2 * y;
    const int ys = y + (x >> 1);
    if (z > 2 * N - 3) return e.p(-1, N - 1);
    if (z == 2 * N - 3) return (e.p(-1, N - 2) + 3 * e.p(-1, N - 1) + 2) >> 2;
    if ((z & 1) == 0) return average2(e.p(-1, ys), e.p(-1, ys + 1));
    return filter3(e.p(-1, ys), e.p(-1, ys + 1), e.p(-1, ys + 2));
  }
  return 0;
}

template <int N>
int dc_value(const Edge<N>& e) {
  const int shift = log2_of(N);
  if (e.has_left && e.has_top) return (sum_top(e) + sum_left(e) + N) >> (shift + 1);
  if (e.has_left) return (sum_left(e) + N / 2) >> shift;
  if (e.has_top) return (sum_top(e) + N / 2) >> shift;
  return 128;
}

template <int N, int kMode>
void predict_block(const Edge<N>& e, uint8_t* pred) {
  const int dc = kMode == 2 ? dc_value(e) : 0;
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x)
      pred[N * y + x] = static_cast<uint8_t>(predict_sample<N, kMode>(e, x, y, dc));
}

template <int N, typename Neighbours>
Edge<N> gather_edge(const uint8_t* luma, const Neighbours& n) {
  Edge<N> e;
  e.top[0] = e.left[0] = luma[n.top_left];
  for (int i = 0; i < N; ++i) {
    e.top[1 + i] = luma[n.top[i]];
    e.top[1 + N + i] = luma[n.top_right[i]];
    e.left[1 + i] = luma[n.left[i]];
  }
  e.has_left = luma[n.flag_left] != 0;
  e.has_top = luma[n.flag_top] != 0;
  return e;
}

template <int kMode>
void intra4x4(int blk, uint8_t* luma, const int16_t* residual, int cbp) {
  const Edge<4> e = gather_edge<4>(luma, decoder_intra4x4_neighbours[blk]);
  uint8_t pred[16];
  predict_block<4, kMode>(e, pred);
  const int offset = decoder_luma4x4_offset[blk];
  put_block(luma + offset, pred, 4, residual + offset, (cbp >> (blk >> 2)) & 1);
}

// Reference sample filtering of clause 8.3.2.2.1.
Edge<8> filter_edge(const Edge<8>& e, bool has_top_left) {
  Edge<8> f = e;
  if (e.has_top) {
    f.top[1] = has_top_left ? filter3(e.p(-1, -1), e.p(0, -1), e.p(1, -1))
                            : (3 * e.p(0, -1) + e.p(1, -1) + 2) >> 2;
    for (int x = 1; x < 15; ++x) f.top[1 + x] = filter3(e.p(x - 1, -1), e.p(x, -1), e.p(x + 1, -1));
    f.top[16] = (e.p(14, -1) + 3 * e.p(15, -1) + 2) >> 2;
  }
  if (has_top_left) {
    int corner = e.p(-1, -1);
    if (e.has_top && e.has_left) {
      corner = filter3(e.p(0, -1), e.p(-1, -1), e.p(-1, 0));
    } else if (e.has_top) {
      corner = (3 * e.p(-1, -1) + e.p(0, -1) + 2) >> 2;
    } else if (e.has_left) {
      corner = (3 * e.p(-1, -1) + e.p(-1, 0) + 2) >> 2;
    }
    f.top[0] = f.left[0] = static_cast<uint8_t>(corner);
  }
  if (e.has_left) {
    f.left[1] = has_top_left ? filter3(e.p(-1, -1), e.p(-1, 0), e.p(-1, 1))
                             : (3 * e.p(-1, 0) + e.p(-1, 1) + 2) >> 2;
    for (int y = 1; y < 7; ++y) f.left[1 + y] = filter3(e.p(-1, y - 1), e.p(-1, y), e.p(-1, y + 1));
    f.left[8] = (e.p(-1, 6) + 3 * e.p(-1, 7) + 2) >> 2;
  }
  return f;
}

template <int kMode>
void intra8x8(int blk, uint8_t* luma, const int16_t* residual, int cbp) {
  const Intra8x8Neighbours& n = decoder_intra8x8_neighbours[blk];
  const Edge<8> e = filter_edge(gather_edge<8>(luma, n), luma[n.flag_top_left] != 0);
  uint8_t pred[64];
  predict_block<8, kMode>(e, pred);
  const int offset = 64 * blk;
  put_block(luma + offset, pred, 8, residual + offset, (cbp >> blk) & 1);
}

// Intra_16x16 and chroma: the macroblock's own border, p(x, y) for x or y equal to -1.
struct MbBorder {
  const uint8_t* left;
  const uint8_t* top;
  int corner;
  int p(int x, int y) const { return y < 0 ? (x < 0 ? corner : top[x]) : left[y]; }
};

// Plane prediction of clauses 8.3.3.4 and 8.3.4.4 for a block of w x h samples.
void predict_plane(const MbBorder& b, int w, int h, int scale, uint8_t* pred) {
  int hs = 0, vs = 0;
  for (int i = 0; i < w / 2; ++i) hs += (i + 1) * (b.p(w / 2 + i, -1) - b.p(w / 2 - 2 - i, -1));
  for (int i = 0; i < h / 2; ++i) vs += (i + 1) * (b.p(-1, h / 2 + i) - b.p(-1, h / 2 - 2 - i));
  const int a = 16 * (b.p(-1, h - 1) + b.p(w - 1, -1));
  const int bb = (scale * hs + 32) >> 6;
  const int c = (scale * vs + 32) >> 6;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pred[w * y + x] = clip_pixel((a + bb * (x - (w / 2 - 1)) + c * (y - (h / 2 - 1)) + 16) >> 5);
}

template <int kMode>
void intra16x16(uint8_t* luma, const int16_t* residual) {
  const MbBorder b{luma + kLumaLeft, luma + kLumaTop, luma[kLumaTopLeft]};
  uint8_t pred[256];
  if constexpr (kMode == 3) {
    predict_plane(b, 16, 16, 5, pred);
  } else {
    int dc = 128;
    if constexpr (kMode == 2) {
      int top = 0, left = 0;
      for (int i = 0; i < 16; ++i) {
        top += b.p(i, -1);
        left += b.p(-1, i);
      }
      const bool has_left = luma[kFlagLeft] != 0, has_top = luma[kFlagTop] != 0;
      if (has_left && has_top) {
        dc = (top + left + 16) >> 5;
      } else if (has_left) {
        dc = (left + 8) >> 4;
      } else if (has_top) {
        dc = (top + 8) >> 4;
      }
    }
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        pred[16 * y + x] =
            static_cast<uint8_t>(kMode == 0 ? b.p(x, -1) : (kMode == 1 ? b.p(-1, y) : dc));
  }
  for (int q = 0; q < 4; ++q) {
    uint8_t quadrant[64];
    for (int y = 0; y < 8; ++y)
      std::memcpy(quadrant + 8 * y, pred + 16 * (8 * (q >> 1) + y) + 8 * (q & 1), 8);
    put_block(luma + 64 * q, quadrant, 8, residual + 64 * q, true);
  }
}

// Chroma DC of clause 8.3.4.1..3: 4x4 block (xo, yo) of an 8x8 chroma block.
int chroma_dc(const MbBorder& b, int xo, int yo, bool has_left, bool has_top) {
  int top = 0, left = 0;
  for (int i = 0; i < 4; ++i) {
    top += b.p(xo + i, -1);
    left += b.p(-1, yo + i);
  }
  const bool corner_block = (xo == 0) == (yo == 0);
  if (corner_block && has_left && has_top) return (top + left + 4) >> 3;
  const bool prefer_left = yo > 0 || corner_block;
  if (prefer_left && has_left) return (left + 2) >> 2;
  if (has_top) return (top + 2) >> 2;
  if (has_left) return (left + 2) >> 2;
  return 128;
}

template <int kMode>
void predict_chroma(const uint8_t* samples, bool has_left, bool has_top, uint8_t* pred) {
  const MbBorder b{samples + kChromaLeft, samples + kChromaTop, samples[kChromaTopLeft]};
  if constexpr (kMode == 3) {
    predict_plane(b, 8, 8, 34, pred);
  } else {
    int dc[4] = {};
    if constexpr (kMode == 0) {
      for (int blk = 0; blk < 4; ++blk)
        dc[blk] = chroma_dc(b, (blk & 1) * 4, (blk & 2) * 2, has_left, has_top);
    }
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        int v;
        if constexpr (kMode == 0) {
          v = dc[(y >> 2) * 2 + (x >> 2)];
        } else if constexpr (kMode == 1) {
          v = b.p(-1, y);
        } else {
          v = b.p(x, -1);
        }
        pred[8 * y + x] = static_cast<uint8_t>(v);
      }
    }
  }
}

template <int kMode>
void intra_chroma(const MbWorkArea* wa, uint8_t* cb, uint8_t* cr, const int16_t* residual_cb,
                  const int16_t* residual_cr, int chroma_pattern) {
  const bool has_left = wa->luma[kFlagLeft] != 0, has_top = wa->luma[kFlagTop] != 0;
  uint8_t pred[64];
  predict_chroma<kMode>(cb, has_left, has_top, pred);
  put_block(cb, pred, 8, residual_cb, chroma_pattern != 0);
  predict_chroma<kMode>(cr, has_left, has_top, pred);
  put_block(cr, pred, 8, residual_cr, chroma_pattern != 0);
}

template <int... kModes>
void fill_block_kernels(IntraBlockKernel* four, IntraBlockKernel* eight,
                        std::integer_sequence<int, kModes...>) {
  ((four[kModes] = intra4x4<kModes>, eight[kModes] = intra8x8<kModes>), ...);
}

}  // namespace

void decoder_install_portable_intra(ReconKernels* kernels) {
  fill_block_kernels(kernels->intra4x4, kernels->intra8x8, std::make_integer_sequence<int, 9>());
  kernels->intra16x16[0] = intra16x16<0>;
  kernels->intra16x16[1] = intra16x16<1>;
  kernels->intra16x16[2] = intra16x16<2>;
  kernels->intra16x16[3] = intra16x16<3>;
  kernels->intra_chroma[0] = intra_chroma<0>;
  kernels->intra_chroma[1] = intra_chroma<1>;
  kernels->intra_chroma[2] = intra_chroma<2>;
  kernels->intra_chroma[3] = intra_chroma<3>;
}
