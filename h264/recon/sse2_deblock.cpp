// Edge filters and macroblock stores on 128-bit vectors. The filters take 16 lines across an edge
// (transposed in registers for vertical edges) in byte lanes, the strong ones in two halves of
// 16-bit lanes.
#include <utility>

#include "h264/recon/recon_tables.h"
#include "h264/recon/sse2_kernels.h"

namespace {

using namespace sse2;

__m128i abs_diff(__m128i a, __m128i b) {
  return _mm_max_epi16(_mm_sub_epi16(a, b), _mm_sub_epi16(b, a));
}
__m128i less(__m128i a, __m128i limit) {
  return _mm_cmplt_epi16(a, limit);
}
[[gnu::always_inline]] inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

[[gnu::always_inline]] inline __m128i widen_hi(__m128i bytes) {
  return _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
}
// Sixteen bytes, tc0[k] repeated over lines 4k .. 4k + 3.
[[gnu::always_inline]] inline __m128i luma_tc0_bytes(const int8_t* tc0) {
  const __m128i v = load32(tc0);
  const __m128i doubled = _mm_unpacklo_epi8(v, v);
  return _mm_unpacklo_epi16(doubled, doubled);
}
// Sixteen bytes: the Cb tC0 values over lines 0..7, then the Cr ones, each over two lines.
[[gnu::always_inline]] inline __m128i chroma_tc0_bytes(const EdgeFilterParams* cb,
                                                       const EdgeFilterParams* cr) {
  const __m128i b = load32(cb->tc0), r = load32(cr->tc0);
  return _mm_unpacklo_epi64(_mm_unpacklo_epi8(b, b), _mm_unpacklo_epi8(r, r));
}
__m128i splat(int v) {
  return _mm_set1_epi16(static_cast<int16_t>(v));
}

// |p0 - q0| < alpha, |p1 - p0| < beta and |q1 - q0| < beta, per lane.
__m128i sample_gate(__m128i p1, __m128i p0, __m128i q0, __m128i q1, __m128i alpha, __m128i beta) {
  return _mm_and_si128(less(abs_diff(p0, q0), alpha),
                       _mm_and_si128(less(abs_diff(p1, p0), beta), less(abs_diff(q1, q0), beta)));
}

// The four or eight lines across an edge (p3 .. q3 or p1 .. q1) as 16-byte vectors, one sample
// of 16 lines each.
struct Lines {
  __m128i p3, p2, p1, p0, q0, q1, q2, q3;
};

// Byte lanes: |a - b|, and the mask of lanes where x >= limit (unsigned).
[[gnu::always_inline]] inline __m128i abs_diff_u8(__m128i a, __m128i b) {
  return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}
[[gnu::always_inline]] inline __m128i at_least_u8(__m128i x, __m128i limit) {
  return _mm_cmpeq_epi8(_mm_max_epu8(x, limit), x);
}
// (a + b) >> 1 per byte lane.
[[gnu::always_inline]] inline __m128i floor_avg_u8(__m128i a, __m128i b) {
  return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// The delta of the normal filters, Clip3(-tc, tc, (((q0 - p0) << 2) + (p1 - q1) + 4) >> 3), of 16
// byte lanes (tc unsigned, at most 63, zero where the lane is off), as its positive part and its
// negated negative part. With A = q0 - p0 and B = p1 - q1 the unclipped delta is
// (A >> 1) + ((A & 1) + 1 + (B >> 2)) >> 1 (arithmetic shifts): averages against the complement
// give A >> 1 and B >> 1 offset by 128, and their saturated sum is the delta offset by 192, exact
// wherever it can pass the clip.
[[gnu::always_inline]] inline void normal_delta_u8(__m128i p1, __m128i p0, __m128i q0, __m128i q1,
                                                   __m128i tc, __m128i& plus, __m128i& minus) {
  const __m128i ones = _mm_set1_epi8(-1);
  const __m128i half_a = _mm_avg_epu8(q0, _mm_xor_si128(p0, ones));  // (A >> 1) + 128
  const __m128i half_b = _mm_avg_epu8(p1, _mm_xor_si128(q1, ones));  // (B >> 1) + 128
  const __m128i quarter_b = _mm_and_si128(_mm_srli_epi16(half_b, 1), _mm_set1_epi8(0x7f));
  const __m128i odd_a = _mm_and_si128(_mm_xor_si128(p0, q0), _mm_set1_epi8(1));
  const __m128i rest = _mm_add_epi8(_mm_avg_epu8(quarter_b, odd_a), _mm_set1_epi8(32));
  const __m128i delta = _mm_adds_epu8(half_a, rest);
  const __m128i bias = _mm_set1_epi8(static_cast<char>(192));
  plus = _mm_min_epu8(_mm_subs_epu8(delta, bias), tc);
  minus = _mm_min_epu8(_mm_subs_epu8(bias, delta), tc);
}

// p0 + delta and q0 - delta, clipped.
[[gnu::always_inline]] inline void apply_delta(__m128i& p0, __m128i& q0, __m128i plus,
                                               __m128i minus) {
  p0 = _mm_subs_epu8(_mm_adds_epu8(p0, plus), minus);
  q0 = _mm_subs_epu8(_mm_adds_epu8(q0, minus), plus);
}

// Lanes that pass |p0 - q0| < alpha, |p1 - p0| < beta and |q1 - q0| < beta and have tc0 >= 0.
[[gnu::always_inline]] inline __m128i normal_gate(const Lines& l, __m128i alpha, __m128i beta,
                                                  __m128i tc0) {
  const __m128i off = _mm_or_si128(_mm_or_si128(at_least_u8(abs_diff_u8(l.p0, l.q0), alpha),
                                                at_least_u8(abs_diff_u8(l.p1, l.p0), beta)),
                                   _mm_or_si128(at_least_u8(abs_diff_u8(l.q1, l.q0), beta),
                                                _mm_cmpgt_epi8(_mm_setzero_si128(), tc0)));
  return _mm_xor_si128(off, _mm_set1_epi8(-1));
}

// Normal luma filter of 16 lines in byte lanes; p1, p0, q0 and q1 are replaced. The side
// samples follow p1 + Clip3(-tc0, tc0, (p2 + h - 2 p1) >> 1) = Clip3(p1 - tc0, p1 + tc0,
// (p2 + h) >> 1), which saturating byte arithmetic gives exactly.
[[gnu::always_inline]] inline void luma_normal_lines(Lines& l, int alpha, int beta,
                                                     const int8_t* tc0) {
  const __m128i vb = _mm_set1_epi8(static_cast<char>(beta));
  const __m128i t = luma_tc0_bytes(tc0);
  const __m128i on = normal_gate(l, _mm_set1_epi8(static_cast<char>(alpha)), vb, t);
  // Lanes where |p2 - p0| or |q2 - q0| reaches beta: p1 or q1 stays.
  const __m128i steep_p = at_least_u8(abs_diff_u8(l.p2, l.p0), vb);
  const __m128i steep_q = at_least_u8(abs_diff_u8(l.q2, l.q0), vb);
  // tc = tc0 + 1 for each side that is not steep (the masks are -1 where it is).
  const __m128i tc =
      _mm_add_epi8(_mm_add_epi8(t, _mm_set1_epi8(2)), _mm_add_epi8(steep_p, steep_q));
  __m128i plus, minus;
  normal_delta_u8(l.p1, l.p0, l.q0, l.q1, _mm_and_si128(tc, on), plus, minus);
  const __m128i h = _mm_avg_epu8(l.p0, l.q0);
  const auto side = [&](__m128i s2, __m128i s1, __m128i steep) {
    const __m128i m = floor_avg_u8(s2, h);
    const __m128i v = _mm_min_epu8(_mm_max_epu8(m, _mm_subs_epu8(s1, t)), _mm_adds_epu8(s1, t));
    return select(_mm_andnot_si128(steep, on), v, s1);
  };
  l.p1 = side(l.p2, l.p1, steep_p);
  l.q1 = side(l.q2, l.q1, steep_q);
  apply_delta(l.p0, l.q0, plus, minus);
}

// New samples 0, 1, 2 of one side of a strong luma edge (s0..s3 on that side, t0 and t1 across
// the edge); `strong` selects the three-sample form, else only sample 0 changes.
void strong_side(__m128i& s0, __m128i& s1, __m128i& s2, __m128i s3, __m128i t0, __m128i t1,
                 __m128i on, __m128i strong) {
  const __m128i two = _mm_set1_epi16(2), four = _mm_set1_epi16(4);
  const __m128i s0t0 = _mm_add_epi16(s0, t0);
  const __m128i sum = _mm_add_epi16(s0t0, s1);  // s0 + s1 + t0
  const __m128i n0 = _mm_srli_epi16(
      _mm_add_epi16(_mm_add_epi16(s2, _mm_slli_epi16(sum, 1)), _mm_add_epi16(t1, four)), 3);
  const __m128i n1 = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(s2, sum), two), 2);
  const __m128i n2 = _mm_srli_epi16(
      _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(s3, 1), _mm_add_epi16(s2, _mm_slli_epi16(s2, 1))),
                    _mm_add_epi16(sum, four)),
      3);
  const __m128i weak0 = _mm_srli_epi16(
      _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(s1, 1), s0), _mm_add_epi16(t1, two)), 2);
  const __m128i strong_on = _mm_and_si128(on, strong);
  const __m128i new0 = select(on, select(strong, n0, weak0), s0);
  s1 = select(strong_on, n1, s1);
  s2 = select(strong_on, n2, s2);
  s0 = new0;
}

// Strong luma filter of 8 lines in 16-bit lanes held in l[0..7] (p3 .. q3).
void luma_strong_lanes(__m128i* l, __m128i alpha, __m128i beta, __m128i close_limit) {
  const __m128i p0 = l[3], p1 = l[2], p2 = l[1], q0 = l[4], q1 = l[5], q2 = l[6];
  const __m128i on = sample_gate(p1, p0, q0, q1, alpha, beta);
  const __m128i close = less(abs_diff(p0, q0), close_limit);
  const __m128i strong_p = _mm_and_si128(close, less(abs_diff(p2, p0), beta));
  const __m128i strong_q = _mm_and_si128(close, less(abs_diff(q2, q0), beta));
  strong_side(l[3], l[2], l[1], l[0], q0, q1, on, strong_p);
  strong_side(l[4], l[5], l[6], l[7], p0, p1, on, strong_q);
}

void luma_strong_lines(Lines& l, int alpha, int beta) {
  const __m128i va = splat(alpha), vb = splat(beta);
  const __m128i close = splat((alpha >> 2) + 2);
  __m128i* bytes[8] = {&l.p3, &l.p2, &l.p1, &l.p0, &l.q0, &l.q1, &l.q2, &l.q3};
  __m128i lo[8], hi[8];
  for (int i = 0; i < 8; ++i) {
    lo[i] = widen(*bytes[i]);
    hi[i] = widen_hi(*bytes[i]);
  }
  luma_strong_lanes(lo, va, vb, close);
  luma_strong_lanes(hi, va, vb, close);
  for (int i = 1; i < 7; ++i) *bytes[i] = _mm_packus_epi16(lo[i], hi[i]);
}

// Chroma filters of 16 lines, Cb in lanes 0..7 and Cr in lanes 8..15 (p1, p0, q0, q1 used).
[[gnu::always_inline]] inline void chroma_normal_lines(Lines& l, const EdgeFilterParams* cb,
                                                       const EdgeFilterParams* cr) {
  const auto split = [](int c, int r) {
    return _mm_unpacklo_epi64(_mm_set1_epi8(static_cast<char>(c)),
                              _mm_set1_epi8(static_cast<char>(r)));
  };
  const __m128i t = chroma_tc0_bytes(cb, cr);
  const __m128i on = normal_gate(l, split(cb->alpha, cr->alpha), split(cb->beta, cr->beta), t);
  __m128i plus, minus;
  normal_delta_u8(l.p1, l.p0, l.q0, l.q1, _mm_and_si128(_mm_add_epi8(t, _mm_set1_epi8(1)), on),
                  plus, minus);
  apply_delta(l.p0, l.q0, plus, minus);
}

void chroma_strong_lines(Lines& l, const EdgeFilterParams* cb, const EdgeFilterParams* cr) {
  const auto half = [&](__m128i p1, __m128i p0, __m128i q0, __m128i q1, const EdgeFilterParams* e,
                        __m128i& np0, __m128i& nq0) {
    const __m128i on = sample_gate(p1, p0, q0, q1, splat(e->alpha), splat(e->beta));
    const __m128i two = _mm_set1_epi16(2);
    const __m128i fp0 = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(p1, 1), p0), _mm_add_epi16(q1, two)), 2);
    const __m128i fq0 = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(q1, 1), q0), _mm_add_epi16(p1, two)), 2);
    np0 = select(on, fp0, p0);
    nq0 = select(on, fq0, q0);
  };
  __m128i p0, q0, p0h, q0h;
  half(widen(l.p1), widen(l.p0), widen(l.q0), widen(l.q1), cb, p0, q0);
  half(widen_hi(l.p1), widen_hi(l.p0), widen_hi(l.q0), widen_hi(l.q1), cr, p0h, q0h);
  l.p0 = _mm_packus_epi16(p0, p0h);
  l.q0 = _mm_packus_epi16(q0, q0h);
}

[[gnu::always_inline]] inline void store_high64(uint8_t* p, __m128i v) {
  store64(p, _mm_unpackhi_epi64(v, v));
}

// Samples -4 .. 3 of 16 rows from s (s points at sample 0 of row 0) as the eight lines.
[[gnu::always_inline]] inline Lines load_columns(const uint8_t* s, int stride) {
  // Rows are addressed as a group base plus 0, 1, 2 or 3 strides.
  const std::ptrdiff_t st = stride, st3 = 3 * st;
  __m128i a[8];
  for (int g = 0; g < 4; ++g) {
    const uint8_t* r = s - 4 + 4 * g * st;
    a[2 * g] = _mm_unpacklo_epi8(load64(r), load64(r + st));
    a[2 * g + 1] = _mm_unpacklo_epi8(load64(r + 2 * st), load64(r + st3));
  }
  __m128i b[8];
  for (int i = 0; i < 4; ++i) {
    b[2 * i] = _mm_unpacklo_epi16(a[2 * i], a[2 * i + 1]);
    b[2 * i + 1] = _mm_unpackhi_epi16(a[2 * i], a[2 * i + 1]);
  }
  const __m128i d0 = _mm_unpacklo_epi32(b[0], b[2]), d1 = _mm_unpackhi_epi32(b[0], b[2]);
  const __m128i d2 = _mm_unpacklo_epi32(b[1], b[3]), d3 = _mm_unpackhi_epi32(b[1], b[3]);
  const __m128i e0 = _mm_unpacklo_epi32(b[4], b[6]), e1 = _mm_unpackhi_epi32(b[4], b[6]);
  const __m128i e2 = _mm_unpacklo_epi32(b[5], b[7]), e3 = _mm_unpackhi_epi32(b[5], b[7]);
  return {_mm_unpacklo_epi64(d0, e0), _mm_unpackhi_epi64(d0, e0), _mm_unpacklo_epi64(d1, e1),
          _mm_unpackhi_epi64(d1, e1), _mm_unpacklo_epi64(d2, e2), _mm_unpackhi_epi64(d2, e2),
          _mm_unpacklo_epi64(d3, e3), _mm_unpackhi_epi64(d3, e3)};
}

// The inverse of load_columns.
[[gnu::always_inline]] inline void store_columns(uint8_t* s, int stride, const Lines& l) {
  const __m128i c[8] = {l.p3, l.p2, l.p1, l.p0, l.q0, l.q1, l.q2, l.q3};
  const std::ptrdiff_t st = stride, st3 = 3 * st;
  for (int half = 0; half < 2; ++half) {
    __m128i w[4];
    for (int k = 0; k < 4; ++k) {
      w[k] = half == 0 ? _mm_unpacklo_epi8(c[2 * k], c[2 * k + 1])
                       : _mm_unpackhi_epi8(c[2 * k], c[2 * k + 1]);
    }
    const __m128i x[4] = {_mm_unpacklo_epi16(w[0], w[1]), _mm_unpackhi_epi16(w[0], w[1]),
                          _mm_unpacklo_epi16(w[2], w[3]), _mm_unpackhi_epi16(w[2], w[3])};
    for (int k = 0; k < 2; ++k) {
      uint8_t* r = s - 4 + (8 * half + 4 * k) * st;
      const __m128i rows01 = _mm_unpacklo_epi32(x[k], x[k + 2]);
      const __m128i rows23 = _mm_unpackhi_epi32(x[k], x[k + 2]);
      store64(r, rows01);
      store_high64(r + st, rows01);
      store64(r + 2 * st, rows23);
      store_high64(r + st3, rows23);
    }
  }
}

// Writes p1 .. q1 of load_columns back (the normal filter changes no other sample).
[[gnu::always_inline]] inline void store_middle_columns(uint8_t* s, int stride, const Lines& l) {
  const __m128i p_lo = _mm_unpacklo_epi8(l.p1, l.p0), p_hi = _mm_unpackhi_epi8(l.p1, l.p0);
  const __m128i q_lo = _mm_unpacklo_epi8(l.q0, l.q1), q_hi = _mm_unpackhi_epi8(l.q0, l.q1);
  // Rows 4g .. 4g + 3, four samples each.
  const __m128i rows[4] = {_mm_unpacklo_epi16(p_lo, q_lo), _mm_unpackhi_epi16(p_lo, q_lo),
                           _mm_unpacklo_epi16(p_hi, q_hi), _mm_unpackhi_epi16(p_hi, q_hi)};
  const std::ptrdiff_t st = stride;
  for (int g = 0; g < 4; ++g) {
    uint8_t* r = s - 2 + 4 * g * st;
    store32(r, rows[g]);
    store32(r + st, _mm_shuffle_epi32(rows[g], 1));
    store32(r + 2 * st, _mm_shuffle_epi32(rows[g], 2));
    store32(r + 3 * st, _mm_shuffle_epi32(rows[g], 3));
  }
}

// Rows p3 .. q3 around a horizontal edge (s points at q0).
[[gnu::always_inline]] inline Lines load_rows(const uint8_t* s, int stride) {
  return {load128(s - 4 * stride),
          load128(s - 3 * stride),
          load128(s - 2 * stride),
          load128(s - stride),
          load128(s),
          load128(s + stride),
          load128(s + 2 * stride),
          load128(s + 3 * stride)};
}

void luma_normal_v(uint8_t* pix, int stride, int alpha, int beta, const int8_t* tc0) {
  Lines l = load_columns(pix, stride);
  luma_normal_lines(l, alpha, beta, tc0);
  store_middle_columns(pix, stride, l);
}

void luma_normal_h(uint8_t* pix, int stride, int alpha, int beta, const int8_t* tc0) {
  Lines l;
  l.p2 = load128(pix - 3 * stride);
  l.p1 = load128(pix - 2 * stride);
  l.p0 = load128(pix - stride);
  l.q0 = load128(pix);
  l.q1 = load128(pix + stride);
  l.q2 = load128(pix + 2 * stride);
  luma_normal_lines(l, alpha, beta, tc0);
  store128(pix - 2 * stride, l.p1);
  store128(pix - stride, l.p0);
  store128(pix, l.q0);
  store128(pix + stride, l.q1);
}

void luma_strong_v(uint8_t* pix, int stride, int alpha, int beta) {
  Lines l = load_columns(pix, stride);
  luma_strong_lines(l, alpha, beta);
  store_columns(pix, stride, l);
}

void luma_strong_h(uint8_t* pix, int stride, int alpha, int beta) {
  Lines l = load_rows(pix, stride);
  luma_strong_lines(l, alpha, beta);
  store128(pix - 3 * stride, l.p2);
  store128(pix - 2 * stride, l.p1);
  store128(pix - stride, l.p0);
  store128(pix, l.q0);
  store128(pix + stride, l.q1);
  store128(pix + 2 * stride, l.q2);
}

// Samples -2 .. 1 of 8 rows of Cb (lines 0..7) and of Cr (lines 8..15) as p1 .. q1.
[[gnu::always_inline]] inline Lines load_chroma_columns(const uint8_t* cb, const uint8_t* cr,
                                                        int stride) {
  const std::ptrdiff_t st = stride, st3 = 3 * st;
  __m128i x[8];
  for (int g = 0; g < 4; ++g) {
    const uint8_t* r = (g < 2 ? cb : cr) - 2 + 4 * (g & 1) * st;
    x[2 * g] = _mm_unpacklo_epi8(load32(r), load32(r + st));
    x[2 * g + 1] = _mm_unpacklo_epi8(load32(r + 2 * st), load32(r + st3));
  }
  __m128i y[4];
  for (int j = 0; j < 4; ++j) y[j] = _mm_unpacklo_epi16(x[2 * j], x[2 * j + 1]);
  const __m128i z0 = _mm_unpacklo_epi32(y[0], y[1]), z1 = _mm_unpackhi_epi32(y[0], y[1]);
  const __m128i w0 = _mm_unpacklo_epi32(y[2], y[3]), w1 = _mm_unpackhi_epi32(y[2], y[3]);
  Lines l;
  l.p1 = _mm_unpacklo_epi64(z0, w0);
  l.p0 = _mm_unpackhi_epi64(z0, w0);
  l.q0 = _mm_unpacklo_epi64(z1, w1);
  l.q1 = _mm_unpackhi_epi64(z1, w1);
  return l;
}

// Eight rows from s, two samples each, from the 16-bit lanes of v.
template <int... kRow>
[[gnu::always_inline]] inline void store_pairs(uint8_t* s, std::ptrdiff_t stride, __m128i v,
                                               std::integer_sequence<int, kRow...>) {
  const auto one = [&](std::ptrdiff_t row, int pair) {
    const auto w = static_cast<uint16_t>(pair);
    std::memcpy(s + row * stride, &w, 2);
  };
  (one(kRow, _mm_extract_epi16(v, kRow)), ...);
}

// Writes p0 and q0 of load_chroma_columns back.
[[gnu::always_inline]] inline void store_chroma_columns(uint8_t* cb, uint8_t* cr, int stride,
                                                        const Lines& l) {
  const auto rows = std::make_integer_sequence<int, 8>{};
  store_pairs(cb - 1, stride, _mm_unpacklo_epi8(l.p0, l.q0), rows);
  store_pairs(cr - 1, stride, _mm_unpackhi_epi8(l.p0, l.q0), rows);
}

[[gnu::always_inline]] inline Lines load_chroma_rows(const uint8_t* cb, const uint8_t* cr,
                                                     int stride) {
  Lines l;
  l.p1 = _mm_unpacklo_epi64(load64(cb - 2 * stride), load64(cr - 2 * stride));
  l.p0 = _mm_unpacklo_epi64(load64(cb - stride), load64(cr - stride));
  l.q0 = _mm_unpacklo_epi64(load64(cb), load64(cr));
  l.q1 = _mm_unpacklo_epi64(load64(cb + stride), load64(cr + stride));
  return l;
}

[[gnu::always_inline]] inline void store_chroma_rows(uint8_t* cb, uint8_t* cr, int stride,
                                                     const Lines& l) {
  store64(cb - stride, l.p0);
  store_high64(cr - stride, l.p0);
  store64(cb, l.q0);
  store_high64(cr, l.q0);
}

// A chroma edge of either direction through one of the chroma filters.
template <bool kVertical, void (*kFilter)(Lines&, const EdgeFilterParams*, const EdgeFilterParams*)>
void chroma_edge(uint8_t* cb, uint8_t* cr, int stride, const EdgeFilterParams* cb_params,
                 const EdgeFilterParams* cr_params) {
  Lines l = kVertical ? load_chroma_columns(cb, cr, stride) : load_chroma_rows(cb, cr, stride);
  kFilter(l, cb_params, cr_params);
  if constexpr (kVertical) {
    store_chroma_columns(cb, cr, stride, l);
  } else {
    store_chroma_rows(cb, cr, stride, l);
  }
}

void store_mb_luma(uint8_t* pic, int stride, const uint8_t* luma) {
  for (int y = 0; y < 16; y += 2) {
    const __m128i left = load128(luma + luma_sample_offset(0, y));
    const __m128i right = load128(luma + luma_sample_offset(8, y));
    store128(pic + y * stride, _mm_unpacklo_epi64(left, right));
    store128(pic + (y + 1) * stride, _mm_unpackhi_epi64(left, right));
  }
}

void store_mb_chroma(uint8_t* pic_cb, uint8_t* pic_cr, int stride, const uint8_t* cb,
                     const uint8_t* cr) {
  for (int y = 0; y < 8; y += 2) {
    const __m128i b = load128(cb + 8 * y), r = load128(cr + 8 * y);
    store64(pic_cb + y * stride, b);
    store64(pic_cb + (y + 1) * stride, _mm_srli_si128(b, 8));
    store64(pic_cr + y * stride, r);
    store64(pic_cr + (y + 1) * stride, _mm_srli_si128(r, 8));
  }
}

}  // namespace

void decoder_install_sse2_deblock(ReconKernels* kernels) {
  kernels->luma_normal_v = luma_normal_v;
  kernels->luma_normal_h = luma_normal_h;
  kernels->luma_strong_v = luma_strong_v;
  kernels->luma_strong_h = luma_strong_h;
  kernels->chroma_normal_v = chroma_edge<true, chroma_normal_lines>;
  kernels->chroma_normal_h = chroma_edge<false, chroma_normal_lines>;
  kernels->chroma_strong_v = chroma_edge<true, chroma_strong_lines>;
  kernels->chroma_strong_h = chroma_edge<false, chroma_strong_lines>;
  kernels->store_mb_luma = store_mb_luma;
  kernels->store_mb_chroma = store_mb_chroma;
}
