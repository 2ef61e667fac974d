// Inverse transforms on eight 16-bit lanes, with the same wrapping 16-bit arithmetic as the
// portable kernels: rows first, then columns, (x + 32) >> 6.
#include "h264/recon/sse2_kernels.h"

namespace {

using namespace sse2;

// Transposes four rows of four 16-bit values held in the low halves of r[0..3].
void transpose4x4(__m128i* r) {
  const __m128i a = _mm_unpacklo_epi16(r[0], r[1]);
  const __m128i b = _mm_unpacklo_epi16(r[2], r[3]);
  const __m128i lo = _mm_unpacklo_epi32(a, b);
  const __m128i hi = _mm_unpackhi_epi32(a, b);
  r[0] = lo;
  r[1] = _mm_srli_si128(lo, 8);
  r[2] = hi;
  r[3] = _mm_srli_si128(hi, 8);
}

// One 4-point pass over the lanes: d[k] holds input k of every lane's transform.
void idct4_pass(__m128i* d) {
  const __m128i e = _mm_add_epi16(d[0], d[2]);
  const __m128i f = _mm_sub_epi16(d[0], d[2]);
  const __m128i g = _mm_sub_epi16(_mm_srai_epi16(d[1], 1), d[3]);
  const __m128i h = _mm_add_epi16(d[1], _mm_srai_epi16(d[3], 1));
  d[0] = _mm_add_epi16(e, h);
  d[1] = _mm_add_epi16(f, g);
  d[2] = _mm_sub_epi16(f, g);
  d[3] = _mm_sub_epi16(e, h);
}

void idct4x4(const int16_t* coeff, int16_t* dst) {
  __m128i r[4];
  for (int i = 0; i < 4; ++i) r[i] = load64(coeff + 4 * i);
  transpose4x4(r);
  idct4_pass(r);
  transpose4x4(r);
  idct4_pass(r);
  const __m128i round = _mm_set1_epi16(32);
  for (int i = 0; i < 4; ++i) store64(dst + 8 * i, _mm_srai_epi16(_mm_add_epi16(r[i], round), 6));
}

[[gnu::always_inline]] inline void transpose8x8(__m128i* r) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// One 8-point pass over the lanes, in the order of the portable pass.
[[gnu::always_inline]] inline void idct8_pass(__m128i* d) {
  const __m128i a0 = _mm_add_epi16(d[0], d[4]), a4 = _mm_sub_epi16(d[0], d[4]);
  const __m128i a2 = _mm_sub_epi16(_mm_srai_epi16(d[2], 1), d[6]);
  const __m128i a6 = _mm_add_epi16(d[2], _mm_srai_epi16(d[6], 1));
  const __m128i b0 = _mm_add_epi16(a0, a6), b2 = _mm_add_epi16(a4, a2);
  const __m128i b4 = _mm_sub_epi16(a4, a2), b6 = _mm_sub_epi16(a0, a6);
  const __m128i a1 =
      _mm_sub_epi16(_mm_sub_epi16(_mm_sub_epi16(d[5], d[3]), d[7]), _mm_srai_epi16(d[7], 1));
  const __m128i a3 =
      _mm_sub_epi16(_mm_sub_epi16(_mm_add_epi16(d[1], d[7]), d[3]), _mm_srai_epi16(d[3], 1));
  const __m128i a5 =
      _mm_add_epi16(_mm_add_epi16(_mm_sub_epi16(d[7], d[1]), d[5]), _mm_srai_epi16(d[5], 1));
  const __m128i a7 =
      _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(d[3], d[5]), d[1]), _mm_srai_epi16(d[1], 1));
  const __m128i b1 = _mm_add_epi16(a1, _mm_srai_epi16(a7, 2));
  const __m128i b7 = _mm_sub_epi16(a7, _mm_srai_epi16(a1, 2));
  const __m128i b3 = _mm_add_epi16(a3, _mm_srai_epi16(a5, 2));
  const __m128i b5 = _mm_sub_epi16(_mm_srai_epi16(a3, 2), a5);
  d[0] = _mm_add_epi16(b0, b7);
  d[1] = _mm_add_epi16(b2, b5);
  d[2] = _mm_add_epi16(b4, b3);
  d[3] = _mm_add_epi16(b6, b1);
  d[4] = _mm_sub_epi16(b6, b1);
  d[5] = _mm_sub_epi16(b4, b3);
  d[6] = _mm_sub_epi16(b2, b5);
  d[7] = _mm_sub_epi16(b0, b7);
}

void idct8x8(const int16_t* coeff, int16_t* dst) {
  __m128i r[8];
  for (int i = 0; i < 8; ++i) r[i] = load128(coeff + 8 * i);
  transpose8x8(r);
  idct8_pass(r);
  transpose8x8(r);
  idct8_pass(r);
  const __m128i round = _mm_set1_epi16(32);
  for (int i = 0; i < 8; ++i) store128(dst + 8 * i, _mm_srai_epi16(_mm_add_epi16(r[i], round), 6));
}

}  // namespace

void decoder_install_sse2_transforms(ReconKernels* kernels) {
  kernels->idct4x4 = idct4x4;
  kernels->idct8x8 = idct8x8;
}
