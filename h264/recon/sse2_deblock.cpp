// Edge filters, transposes, neighbour loads and stores and macroblock stores on 128-bit vectors.
// The filters work on eight samples widened to 16-bit lanes.
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
__m128i select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}
// tC0 values widened to 16-bit lanes, each repeated over the lanes of its segment: bytes whose
// low 8 lanes hold every value twice, doubled once more and sign-extended.
__m128i tc0_lanes(__m128i doubled_bytes) {
  const __m128i pairs = _mm_unpacklo_epi8(doubled_bytes, doubled_bytes);
  return _mm_srai_epi16(pairs, 8);
}
__m128i luma_tc0(const int8_t* tc0) {
  int16_t two;
  std::memcpy(&two, tc0, 2);
  const __m128i v = _mm_cvtsi32_si128(static_cast<uint16_t>(two));
  const __m128i doubled = _mm_unpacklo_epi8(v, v);  // t0 t0 t1 t1
  return tc0_lanes(_mm_unpacklo_epi16(doubled, doubled));
}
__m128i chroma_tc0(const int8_t* tc0) {
  const __m128i v = load32(tc0);
  return tc0_lanes(_mm_unpacklo_epi8(v, v));
}
__m128i row(const uint8_t* p) {
  return widen(load64(p));
}
void store_row(uint8_t* p, __m128i v) {
  store64(p, _mm_packus_epi16(v, v));
}

// |p0 - q0| < alpha, |p1 - p0| < beta and |q1 - q0| < beta, per lane.
__m128i sample_gate(__m128i p1, __m128i p0, __m128i q0, __m128i q1, __m128i alpha, __m128i beta) {
  return _mm_and_si128(less(abs_diff(p0, q0), alpha),
                       _mm_and_si128(less(abs_diff(p1, p0), beta), less(abs_diff(q1, q0), beta)));
}

// Clip3(-tc, tc, (((q0 - p0) << 2) + (p1 - q1) + 4) >> 3).
__m128i normal_delta(__m128i p1, __m128i p0, __m128i q0, __m128i q1, __m128i tc) {
  const __m128i sum = _mm_add_epi16(_mm_slli_epi16(_mm_sub_epi16(q0, p0), 2),
                                    _mm_add_epi16(_mm_sub_epi16(p1, q1), _mm_set1_epi16(4)));
  const __m128i d = _mm_srai_epi16(sum, 3);
  return _mm_max_epi16(_mm_min_epi16(d, tc), _mm_sub_epi16(_mm_setzero_si128(), tc));
}

void luma_normal(uint8_t* p, uint8_t* q, int alpha, int beta, const int8_t* tc0) {
  const __m128i p2 = row(p - 16), p1 = row(p - 8), p0 = row(p);
  const __m128i q0 = row(q), q1 = row(q + 8), q2 = row(q + 16);
  const __m128i vbeta = _mm_set1_epi16(static_cast<int16_t>(beta));
  const __m128i vtc0 = luma_tc0(tc0);
  const __m128i zero = _mm_setzero_si128();
  const __m128i on =
      _mm_and_si128(sample_gate(p1, p0, q0, q1, _mm_set1_epi16(static_cast<int16_t>(alpha)), vbeta),
                    _mm_cmpgt_epi16(vtc0, _mm_set1_epi16(-1)));
  const __m128i ap = less(abs_diff(p2, p0), vbeta);
  const __m128i aq = less(abs_diff(q2, q0), vbeta);
  const __m128i tc = _mm_sub_epi16(_mm_sub_epi16(vtc0, ap), aq);
  const __m128i delta = _mm_and_si128(on, normal_delta(p1, p0, q0, q1, tc));
  store_row(p, _mm_add_epi16(p0, delta));
  store_row(q, _mm_sub_epi16(q0, delta));
  const __m128i half = _mm_avg_epu16(p0, q0);
  const __m128i neg_tc0 = _mm_sub_epi16(zero, vtc0);
  const auto side = [&](__m128i s2, __m128i s1) {
    const __m128i d =
        _mm_srai_epi16(_mm_sub_epi16(_mm_add_epi16(s2, half), _mm_slli_epi16(s1, 1)), 1);
    return _mm_add_epi16(s1, _mm_max_epi16(_mm_min_epi16(d, vtc0), neg_tc0));
  };
  store_row(p - 8, select(_mm_and_si128(on, ap), side(p2, p1), p1));
  store_row(q + 8, select(_mm_and_si128(on, aq), side(q2, q1), q1));
}

// New samples 0, 1, 2 of one side of a strong luma edge (s0..s3 on that side, t0 and t1 across
// the edge); `strong` selects the three-sample form, else only sample 0 changes.
void strong_side(uint8_t* s, int step, __m128i s0, __m128i s1, __m128i s2, __m128i s3, __m128i t0,
                 __m128i t1, __m128i on, __m128i strong) {
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
  store_row(s, select(on, select(strong, n0, weak0), s0));
  store_row(s + step, select(strong_on, n1, s1));
  store_row(s + 2 * step, select(strong_on, n2, s2));
}

void luma_strong(uint8_t* p, uint8_t* q, int alpha, int beta) {
  const __m128i p3 = row(p - 24), p2 = row(p - 16), p1 = row(p - 8), p0 = row(p);
  const __m128i q0 = row(q), q1 = row(q + 8), q2 = row(q + 16), q3 = row(q + 24);
  const __m128i vbeta = _mm_set1_epi16(static_cast<int16_t>(beta));
  const __m128i on =
      sample_gate(p1, p0, q0, q1, _mm_set1_epi16(static_cast<int16_t>(alpha)), vbeta);
  const __m128i close =
      less(abs_diff(p0, q0), _mm_set1_epi16(static_cast<int16_t>((alpha >> 2) + 2)));
  const __m128i strong_p = _mm_and_si128(close, less(abs_diff(p2, p0), vbeta));
  const __m128i strong_q = _mm_and_si128(close, less(abs_diff(q2, q0), vbeta));
  strong_side(p, -8, p0, p1, p2, p3, q0, q1, on, strong_p);
  strong_side(q, 8, q0, q1, q2, q3, p0, p1, on, strong_q);
}

void chroma_normal_plane(uint8_t* p, uint8_t* q, const EdgeFilterParams* e) {
  const __m128i p1 = row(p - 8), p0 = row(p), q0 = row(q), q1 = row(q + 8);
  const __m128i vtc0 = chroma_tc0(e->tc0);
  const __m128i on =
      _mm_and_si128(sample_gate(p1, p0, q0, q1, _mm_set1_epi16(static_cast<int16_t>(e->alpha)),
                                _mm_set1_epi16(static_cast<int16_t>(e->beta))),
                    _mm_cmpgt_epi16(vtc0, _mm_set1_epi16(-1)));
  const __m128i tc = _mm_add_epi16(vtc0, _mm_set1_epi16(1));
  const __m128i delta = _mm_and_si128(on, normal_delta(p1, p0, q0, q1, tc));
  store_row(p, _mm_add_epi16(p0, delta));
  store_row(q, _mm_sub_epi16(q0, delta));
}

void chroma_strong_plane(uint8_t* p, uint8_t* q, const EdgeFilterParams* e) {
  const __m128i p1 = row(p - 8), p0 = row(p), q0 = row(q), q1 = row(q + 8);
  const __m128i on = sample_gate(p1, p0, q0, q1, _mm_set1_epi16(static_cast<int16_t>(e->alpha)),
                                 _mm_set1_epi16(static_cast<int16_t>(e->beta)));
  const __m128i two = _mm_set1_epi16(2);
  const __m128i np0 = _mm_srli_epi16(
      _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(p1, 1), p0), _mm_add_epi16(q1, two)), 2);
  const __m128i nq0 = _mm_srli_epi16(
      _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(q1, 1), q0), _mm_add_epi16(p1, two)), 2);
  store_row(p, select(on, np0, p0));
  store_row(q, select(on, nq0, q0));
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
  __m128i r[8];
  for (int i = 0; i < 8; ++i) r[i] = load64(block + 8 * i);
  const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
  const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
  const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
  store128(block, _mm_unpacklo_epi32(b0, b2));
  store128(block + 16, _mm_unpackhi_epi32(b0, b2));
  store128(block + 32, _mm_unpacklo_epi32(b1, b3));
  store128(block + 48, _mm_unpackhi_epi32(b1, b3));
}

void load_left_columns(uint8_t* edge, const uint8_t* pic, int stride) {
  __m128i r[8];
  for (int i = 0; i < 8; ++i) r[i] = load32(pic + i * stride);
  const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
  const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpacklo_epi16(a2, a3);
  store128(edge, _mm_unpacklo_epi32(b0, b1));
  store128(edge + 16, _mm_unpackhi_epi32(b0, b1));
}

void store_left_columns(const uint8_t* edge, uint8_t* pic, int stride) {
  const __m128i a0 = _mm_unpacklo_epi8(load64(edge), load64(edge + 8));
  const __m128i a1 = _mm_unpacklo_epi8(load64(edge + 16), load64(edge + 24));
  __m128i rows = _mm_unpacklo_epi16(a0, a1);
  for (int r = 0; r < 4; ++r, rows = _mm_srli_si128(rows, 4)) store32(pic + r * stride, rows);
  rows = _mm_unpackhi_epi16(a0, a1);
  for (int r = 4; r < 8; ++r, rows = _mm_srli_si128(rows, 4)) store32(pic + r * stride, rows);
}

void load_top_rows_luma(uint8_t* edge, const uint8_t* pic, int stride) {
  const __m128i r0 = load128(pic), r1 = load128(pic + stride);
  const __m128i r2 = load128(pic + 2 * stride), r3 = load128(pic + 3 * stride);
  store128(edge, _mm_unpacklo_epi64(r0, r1));
  store128(edge + 16, _mm_unpacklo_epi64(r2, r3));
  store128(edge + 32, _mm_unpackhi_epi64(r0, r1));
  store128(edge + 48, _mm_unpackhi_epi64(r2, r3));
}

void store_top_rows_luma(const uint8_t* edge, uint8_t* pic, int stride) {
  const __m128i a = load128(edge), b = load128(edge + 16);
  const __m128i c = load128(edge + 32), d = load128(edge + 48);
  store128(pic, _mm_unpacklo_epi64(a, c));
  store128(pic + stride, _mm_unpackhi_epi64(a, c));
  store128(pic + 2 * stride, _mm_unpacklo_epi64(b, d));
  store128(pic + 3 * stride, _mm_unpackhi_epi64(b, d));
}

void load_top_rows_chroma(uint8_t* edge, const uint8_t* pic, int stride) {
  store128(edge + 16, _mm_unpacklo_epi64(load64(pic), load64(pic + stride)));
}

void store_top_rows_chroma(const uint8_t* edge, uint8_t* pic, int stride) {
  const __m128i rows = load128(edge + 16);
  store64(pic, rows);
  store64(pic + stride, _mm_srli_si128(rows, 8));
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
