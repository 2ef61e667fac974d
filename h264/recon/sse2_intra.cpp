// Intra prediction kernels on 128-bit vectors. Intra_4x4 and Intra_8x8 gather their neighbours
// into one line (left column bottom to top, corner, top row, top row's last sample repeated),
// filter and average the whole line at once, and read each predicted row from those arrays.
#include <utility>

#include "h264/recon/recon_tables.h"
#include "h264/recon/sse2_kernels.h"

namespace {

using namespace sse2;

int filter31(int a, int b) {
  return (3 * a + b + 2) >> 2;
}

int byte_sum(__m128i v) {
  const __m128i s = _mm_sad_epu8(v, _mm_setzero_si128());
  return _mm_cvtsi128_si32(s) + _mm_cvtsi128_si32(_mm_srli_si128(s, 8));
}

// Neighbours of an N x N block. line[N - k] = p[-1, k] (k = 0..N-1, line[0] repeats p[-1, N-1]),
// line[N + 1] = p[-1, -1], line[N + 2 + x] = p[x, -1] (x = 0..2N-1, then p[2N-1, -1] repeated).
// f[j] = filter3(line[j - 1], line[j], line[j + 1]), a[j] = average of line[j] and line[j + 1].
template <int N>
struct Line {
  static constexpr int kCorner = N + 1;
  static constexpr int kTop = N + 2;
  alignas(16) uint8_t line[64];
  alignas(16) uint8_t f[64];
  alignas(16) uint8_t a[64];
  bool has_left;
  bool has_top;

  int left(int y) const { return line[N - y]; }
  void repeat_ends() {
    line[0] = line[1];
    std::memset(line + kTop + 2 * N, line[kTop + 2 * N - 1], sizeof line - kTop - 2 * N);
  }
  void derive() {
    for (int c = 0; c < 48; c += 16) {
      const __m128i x0 = load128(line + c), x1 = load128(line + c + 1), x2 = load128(line + c + 2);
      store128(f + c + 1, filter3(x0, x1, x2));
      store128(a + c, _mm_avg_epu8(x0, x1));
    }
  }
  int dc() const {
    const int shift = N == 4 ? 2 : 3;
    const __m128i lefts = N == 4 ? load32(line + 1) : load64(line + 1);
    const __m128i tops = N == 4 ? load32(line + kTop) : load64(line + kTop);
    if (has_left && has_top) return (byte_sum(lefts) + byte_sum(tops) + N) >> (shift + 1);
    if (has_left) return (byte_sum(lefts) + N / 2) >> shift;
    if (has_top) return (byte_sum(tops) + N / 2) >> shift;
    return 128;
  }
};

template <int N, typename Neighbours>
Line<N> gather_line(const uint8_t* luma, const Neighbours& n) {
  Line<N> e;
  e.line[Line<N>::kCorner] = luma[n.top_left];
  for (int i = 0; i < N; ++i) {
    e.line[N - i] = luma[n.left[i]];
    e.line[Line<N>::kTop + i] = luma[n.top[i]];
    e.line[Line<N>::kTop + N + i] = luma[n.top_right[i]];
  }
  e.has_left = luma[n.flag_left] != 0;
  e.has_top = luma[n.flag_top] != 0;
  e.repeat_ends();
  return e;
}

// Reference sample filtering of clause 8.3.2.2.1: the [1 2 1] filter over the whole line, with
// the ends that lack a neighbour fixed up.
template <int N>
void filter_line(Line<N>& e, bool has_top_left) {
  constexpr int c = Line<N>::kCorner, t = Line<N>::kTop;
  const uint8_t* l = e.line;
  int corner = l[c];
  if (has_top_left) {
    if (e.has_top && e.has_left) {
      corner = e.f[c];
    } else if (e.has_top) {
      corner = filter31(l[c], l[t]);
    } else if (e.has_left) {
      corner = filter31(l[c], l[N]);
    }
  }
  const int top0 = has_top_left ? e.f[t] : filter31(l[t], l[t + 1]);
  const int left0 = has_top_left ? e.f[N] : filter31(l[N], l[N - 1]);
  if (e.has_top) {
    std::memcpy(e.line + t, e.f + t, 2 * N);
    e.line[t] = static_cast<uint8_t>(top0);
  }
  if (e.has_left) {
    std::memcpy(e.line + 1, e.f + 1, N);
    e.line[N] = static_cast<uint8_t>(left0);
  }
  e.line[c] = static_cast<uint8_t>(corner);
  e.repeat_ends();
}

// Row y of the N x N prediction in mode kMode, in the low N bytes.
template <int N, int kMode>
void predict_rows(const Line<N>& e, __m128i* rows) {
  constexpr int t = Line<N>::kTop;
  if constexpr (kMode == 0) {
    for (int y = 0; y < N; ++y) rows[y] = load64(e.line + t);
  } else if constexpr (kMode == 1) {
    for (int y = 0; y < N; ++y) rows[y] = _mm_set1_epi8(static_cast<char>(e.left(y)));
  } else if constexpr (kMode == 2) {
    const __m128i dc = _mm_set1_epi8(static_cast<char>(e.dc()));
    for (int y = 0; y < N; ++y) rows[y] = dc;
  } else if constexpr (kMode == 3) {
    for (int y = 0; y < N; ++y) rows[y] = load64(e.f + t + 1 + y);
  } else if constexpr (kMode == 4) {
    for (int y = 0; y < N; ++y) rows[y] = load64(e.f + N + 1 - y);
  } else if constexpr (kMode == 5) {
    rows[0] = load64(e.a + N + 1);
    rows[1] = load64(e.f + N + 1);
    for (int y = 2; y < N; ++y)
      rows[y] = _mm_or_si128(_mm_slli_si128(rows[y - 2], 1), _mm_cvtsi32_si128(e.f[N + 2 - y]));
  } else if constexpr (kMode == 6) {
    alignas(16) uint8_t k[48];
    store128(k, _mm_unpacklo_epi8(load128(e.a + 1), load128(e.f + 2)));
    store128(k + 2 * N, load128(e.f + N + 2));
    for (int y = 0; y < N; ++y) rows[y] = load64(k + 2 * (N - 1 - y));
  } else if constexpr (kMode == 7) {
    for (int y = 0; y < N; ++y) rows[y] = load64(((y & 1) ? e.f + 1 : e.a) + t + (y >> 1));
  } else {
    // Horizontal_Up: the left column top to bottom, its last sample repeated, averaged and
    // filtered; row y interleaves the averages from y and the filtered samples from y + 1.
    alignas(16) uint8_t u[32];
    for (int y = 0; y < N; ++y) u[y] = static_cast<uint8_t>(e.left(y));
    std::memset(u + N, e.left(N - 1), sizeof u - N);
    const __m128i u0 = load128(u), u1 = load128(u + 1), u2 = load128(u + 2);
    const __m128i averages = _mm_avg_epu8(u0, u1);
    const __m128i filtered = filter3(u0, u1, u2);  // centred on u[k + 1]
    alignas(16) uint8_t k[32];
    store128(k, _mm_unpacklo_epi8(averages, filtered));
    store128(k + 16, _mm_unpackhi_epi8(averages, filtered));
    for (int y = 0; y < N; ++y) rows[y] = load64(k + 2 * y);
  }
}

template <int kMode>
void intra4x4(int blk, uint8_t* luma, const int16_t* residual, int cbp) {
  Line<4> e = gather_line<4>(luma, decoder_intra4x4_neighbours[blk]);
  if constexpr (kMode >= 3) e.derive();
  __m128i rows[4];
  predict_rows<4, kMode>(e, rows);
  const int offset = decoder_luma4x4_offset[blk];
  for (int y = 0; y < 4; ++y) store32(luma + offset + 8 * y, rows[y]);
  if ((cbp >> (blk >> 2)) & 1) add_residual_4x4(luma + offset, residual + offset);
}

template <int kMode>
void intra8x8(int blk, uint8_t* luma, const int16_t* residual, int cbp) {
  const Intra8x8Neighbours& n = decoder_intra8x8_neighbours[blk];
  Line<8> e = gather_line<8>(luma, n);
  e.derive();
  filter_line(e, luma[n.flag_top_left] != 0);
  if constexpr (kMode >= 3) e.derive();
  __m128i rows[8];
  predict_rows<8, kMode>(e, rows);
  put_block_8x8(luma + 64 * blk, rows, residual + 64 * blk, (cbp >> blk) & 1);
}

// Sixteen predicted rows of 16 samples into the quadrant layout, plus the residual.
void put_mb(uint8_t* luma, const __m128i* rows, const int16_t* residual) {
  for (int q = 0; q < 4; ++q) {
    const __m128i* r = rows + 8 * (q >> 1);
    for (int y = 0; y < 8; y += 2) {
      const __m128i pair =
          (q & 1) ? _mm_unpackhi_epi64(r[y], r[y + 1]) : _mm_unpacklo_epi64(r[y], r[y + 1]);
      const int at = 64 * q + 8 * y;
      store128(luma + at, add_residual_16(pair, residual + at));
    }
  }
}

// Plane rows for a w-sample-wide block: (a + b (x - xc) + c (y - yc) + 16) >> 5, clipped; row y
// in the low w bytes of rows[y].
void plane_rows(int a, int b, int c, int w, int h, __m128i* rows) {
  const int xc = w / 2 - 1, yc = h / 2 - 1;
  const __m128i steps = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
  __m128i lo = _mm_add_epi16(_mm_set1_epi16(static_cast<int16_t>(a + 16 - b * xc - c * yc)),
                             _mm_mullo_epi16(steps, _mm_set1_epi16(static_cast<int16_t>(b))));
  __m128i hi = _mm_add_epi16(lo, _mm_set1_epi16(static_cast<int16_t>(8 * b)));
  const __m128i dy = _mm_set1_epi16(static_cast<int16_t>(c));
  for (int y = 0; y < h; ++y) {
    rows[y] = _mm_packus_epi16(_mm_srai_epi16(lo, 5), _mm_srai_epi16(hi, 5));
    lo = _mm_add_epi16(lo, dy);
    hi = _mm_add_epi16(hi, dy);
  }
}

// Plane gradient sum over (i + 1) (s[n + i] - s[n - 2 - i]), i < n, with s[-1] the corner.
int gradient(const uint8_t* s, int corner, int n) {
  int sum = 0;
  for (int i = 0; i < n; ++i) sum += (i + 1) * (s[n + i] - (n - 2 - i < 0 ? corner : s[n - 2 - i]));
  return sum;
}

template <int kMode>
void intra16x16(uint8_t* luma, const int16_t* residual) {
  const uint8_t* left = luma + kLumaLeft;
  const uint8_t* top = luma + kLumaTop;
  __m128i rows[16];
  if constexpr (kMode == 0) {
    for (int y = 0; y < 16; ++y) rows[y] = load128(top);
  } else if constexpr (kMode == 1) {
    for (int y = 0; y < 16; ++y) rows[y] = _mm_set1_epi8(static_cast<char>(left[y]));
  } else if constexpr (kMode == 2) {
    const bool has_left = luma[kFlagLeft] != 0, has_top = luma[kFlagTop] != 0;
    const int sum_top = byte_sum(load128(top)), sum_left = byte_sum(load128(left));
    int dc = 128;
    if (has_left && has_top) {
      dc = (sum_top + sum_left + 16) >> 5;
    } else if (has_left) {
      dc = (sum_left + 8) >> 4;
    } else if (has_top) {
      dc = (sum_top + 8) >> 4;
    }
    for (int y = 0; y < 16; ++y) rows[y] = _mm_set1_epi8(static_cast<char>(dc));
  } else {
    const int corner = luma[kLumaTopLeft];
    const int b = (5 * gradient(top, corner, 8) + 32) >> 6;
    const int c = (5 * gradient(left, corner, 8) + 32) >> 6;
    plane_rows(16 * (left[15] + top[15]), b, c, 16, 16, rows);
  }
  put_mb(luma, rows, residual);
}

// DC of chroma 4x4 block (bx, by) from the sums of its top and left neighbours.
int chroma_dc(int top, int left, int bx, int by, bool has_left, bool has_top) {
  const bool corner_block = bx == by;
  if (corner_block && has_left && has_top) return (top + left + 4) >> 3;
  if ((by > 0 || corner_block) && has_left) return (left + 2) >> 2;
  if (has_top) return (top + 2) >> 2;
  if (has_left) return (left + 2) >> 2;
  return 128;
}

template <int kMode>
void predict_chroma(uint8_t* samples, bool has_left, bool has_top, const int16_t* residual,
                    bool add) {
  const uint8_t* left = samples + kChromaLeft;
  const uint8_t* top = samples + kChromaTop;
  __m128i rows[8];
  if constexpr (kMode == 0) {
    int top_sum[2] = {}, left_sum[2] = {};
    for (int i = 0; i < 4; ++i) {
      top_sum[0] += top[i];
      top_sum[1] += top[4 + i];
      left_sum[0] += left[i];
      left_sum[1] += left[4 + i];
    }
    for (int by = 0; by < 2; ++by) {
      const int dc0 = chroma_dc(top_sum[0], left_sum[by], 0, by, has_left, has_top);
      const int dc1 = chroma_dc(top_sum[1], left_sum[by], 1, by, has_left, has_top);
      const __m128i row = _mm_unpacklo_epi32(_mm_set1_epi8(static_cast<char>(dc0)),
                                             _mm_set1_epi8(static_cast<char>(dc1)));
      for (int y = 0; y < 4; ++y) rows[4 * by + y] = row;
    }
  } else if constexpr (kMode == 1) {
    for (int y = 0; y < 8; ++y) rows[y] = _mm_set1_epi8(static_cast<char>(left[y]));
  } else if constexpr (kMode == 2) {
    for (int y = 0; y < 8; ++y) rows[y] = load64(top);
  } else {
    const int corner = samples[kChromaTopLeft];
    const int b = (34 * gradient(top, corner, 4) + 32) >> 6;
    const int c = (34 * gradient(left, corner, 4) + 32) >> 6;
    plane_rows(16 * (left[7] + top[7]), b, c, 8, 8, rows);
  }
  put_block_8x8(samples, rows, residual, add);
}

template <int kMode>
void intra_chroma(const MbWorkArea* wa, uint8_t* cb, uint8_t* cr, const int16_t* residual_cb,
                  const int16_t* residual_cr, int chroma_pattern) {
  const bool has_left = wa->luma[kFlagLeft] != 0, has_top = wa->luma[kFlagTop] != 0;
  predict_chroma<kMode>(cb, has_left, has_top, residual_cb, chroma_pattern != 0);
  predict_chroma<kMode>(cr, has_left, has_top, residual_cr, chroma_pattern != 0);
}

template <int... kModes>
void fill_block_kernels(IntraBlockKernel* four, IntraBlockKernel* eight,
                        std::integer_sequence<int, kModes...>) {
  ((four[kModes] = intra4x4<kModes>, eight[kModes] = intra8x8<kModes>), ...);
}

}  // namespace

void decoder_install_sse2_intra(ReconKernels* kernels) {
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
