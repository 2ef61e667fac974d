// The 128-bit vector build of the reconstruction kernels (SSE2 only) and the small vector
// helpers its kernel families share. The helpers have internal linkage: files of later levels
// include them too, and no copy compiled with their instructions may serve the SSE2 build.
#pragma once

#if !(defined(__x86_64__) || defined(__i386__))
#error "the SSE2 kernels are built for x86 targets only"
#endif
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "h264/recon/recon_kernels.h"

// Fills every slot with the SSE2 build: the portable table with every vectorised slot replaced.
void decoder_recon_kernels_sse2(ReconKernels* kernels);

// Installers of the SSE2 build, one per kernel family.
void decoder_install_sse2_transforms(ReconKernels* kernels);
void decoder_install_sse2_deblock(ReconKernels* kernels);
void decoder_install_sse2_strengths(ReconKernels* kernels);
void decoder_install_sse2_intra(ReconKernels* kernels);
void decoder_install_sse2_inter(ReconKernels* kernels);

namespace sse2 {

static inline __m128i load32(const void* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}
static inline void store32(void* p, __m128i v) {
  const int32_t x = _mm_cvtsi128_si32(v);
  std::memcpy(p, &x, 4);
}
static inline __m128i load64(const void* p) {
  return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
static inline void store64(void* p, __m128i v) {
  _mm_storel_epi64(static_cast<__m128i*>(p), v);
}
static inline __m128i load128(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
static inline void store128(void* p, __m128i v) {
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
}
// Eight bytes widened to eight 16-bit lanes.
static inline __m128i widen(__m128i bytes) {
  return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

// (a + 2 b + c + 2) >> 2 per byte: the rounded average of b with the truncated average of a, c.
static inline __m128i filter3(__m128i a, __m128i b, __m128i c) {
  const __m128i ac =
      _mm_sub_epi8(_mm_avg_epu8(a, c), _mm_and_si128(_mm_xor_si128(a, c), _mm_set1_epi8(1)));
  return _mm_avg_epu8(ac, b);
}

// Sixteen samples (two rows of 8) plus sixteen residual values, clipped to 0..255 (the saturating
// add keeps the clip exact for every 16-bit residual).
static inline __m128i add_residual_16(__m128i samples, const int16_t* residual) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_adds_epi16(_mm_unpacklo_epi8(samples, zero), load128(residual));
  const __m128i hi = _mm_adds_epi16(_mm_unpackhi_epi8(samples, zero), load128(residual + 8));
  return _mm_packus_epi16(lo, hi);
}

// An 8x8 prediction (row y in the low 8 bytes of rows[y]) written at stride 8, plus the residual
// (stride 8) when add is set.
static inline void put_block_8x8(uint8_t* dst, const __m128i* rows, const int16_t* residual,
                                 bool add) {
  for (int y = 0; y < 8; y += 2) {
    const __m128i pair = _mm_unpacklo_epi64(rows[y], rows[y + 1]);
    store128(dst + 8 * y, add ? add_residual_16(pair, residual + 8 * y) : pair);
  }
}

// A 4x4 block of stride 8 plus its residual (stride 8), in place.
static inline void add_residual_4x4(uint8_t* dst, const int16_t* residual) {
  for (int y = 0; y < 4; y += 2) {
    uint8_t* d = dst + 8 * y;
    const int16_t* res = residual + 8 * y;
    const __m128i samples = widen(_mm_unpacklo_epi32(load32(d), load32(d + 8)));
    const __m128i sum = _mm_adds_epi16(samples, _mm_unpacklo_epi64(load64(res), load64(res + 8)));
    const __m128i v = _mm_packus_epi16(sum, sum);
    store32(d, v);
    store32(d + 8, _mm_srli_si128(v, 4));
  }
}

}  // namespace sse2
