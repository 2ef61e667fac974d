// Boundary-strength kernels on 128-bit vectors: four segments of a macroblock edge in 32-bit
// lanes, the internal edges of a one-partition macroblock in 16-bit lanes.
#include "h264/recon/sse2_kernels.h"

namespace {

using namespace sse2;

// Strengths 2 (coded), 1 (motion) or 0 from 32-bit lane masks, written as four bytes.
void store_strengths(uint8_t* bs, __m128i coded, __m128i moved) {
  const __m128i v = _mm_or_si128(_mm_and_si128(coded, _mm_set1_epi32(2)),
                                 _mm_andnot_si128(coded, _mm_and_si128(moved, _mm_set1_epi32(1))));
  const __m128i words = _mm_packs_epi32(v, v);
  store32(bs, _mm_packus_epi16(words, words));
}

// Lanes whose bit of `bits` under the lane's mask is set.
__m128i coded_lanes(uint32_t cur_bits, __m128i cur_masks, uint32_t nb_bits, __m128i nb_masks) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i cur = _mm_and_si128(_mm_set1_epi32(static_cast<int32_t>(cur_bits)), cur_masks);
  const __m128i nb = _mm_and_si128(_mm_set1_epi32(static_cast<int32_t>(nb_bits)), nb_masks);
  return _mm_xor_si128(_mm_cmpeq_epi32(_mm_or_si128(cur, nb), zero), _mm_set1_epi32(-1));
}

// Lanes whose vectors (x, y in each 32-bit lane) differ by 4 or more horizontally or by
// mvy_limit or more vertically, or whose reference pictures differ. Saturating differences keep
// the test exact for every 16-bit vector.
__m128i moved_lanes(__m128i mv_a, __m128i mv_b, __m128i ref_a, __m128i ref_b, int mvy_limit) {
  const __m128i diff = _mm_max_epi16(_mm_subs_epi16(mv_a, mv_b), _mm_subs_epi16(mv_b, mv_a));
  const __m128i limits = _mm_setr_epi16(
      3, static_cast<int16_t>(mvy_limit - 1), 3, static_cast<int16_t>(mvy_limit - 1), 3,
      static_cast<int16_t>(mvy_limit - 1), 3, static_cast<int16_t>(mvy_limit - 1));
  const __m128i far = _mm_cmpgt_epi16(diff, limits);
  const __m128i zero = _mm_setzero_si128();
  const __m128i any_far = _mm_xor_si128(_mm_cmpeq_epi32(far, zero), _mm_set1_epi32(-1));
  const __m128i other_ref = _mm_xor_si128(_mm_cmpeq_epi32(ref_a, ref_b), _mm_set1_epi32(-1));
  return _mm_or_si128(any_far, other_ref);
}

__m128i mv_pair(const MbMotion* m, int blk) {
  return load64(m->mv[blk]);
}
__m128i mv_single(const MbMotion* m, int blk) {
  return load32(m->mv[blk]);
}
__m128i ref_pics(const MbMotion* m) {
  return load128(m->ref_pic);
}

// Strengths of the four segments between current blocks cur_blk[i] and neighbour blocks
// nb_blk[i], whose vectors and reference pictures are already gathered into lanes.
void edge_strengths(uint8_t* bs, const MbInfo* cur, const MbInfo* nb, const int (&cur_blk)[4],
                    const int (&nb_blk)[4], __m128i mv_cur, __m128i mv_nb, __m128i ref_cur,
                    __m128i ref_nb, int mvy_limit) {
  const __m128i coded = coded_lanes(
      cur->coded_blocks,
      _mm_setr_epi32(1 << cur_blk[0], 1 << cur_blk[1], 1 << cur_blk[2], 1 << cur_blk[3]),
      nb->coded_blocks,
      _mm_setr_epi32(1 << nb_blk[0], 1 << nb_blk[1], 1 << nb_blk[2], 1 << nb_blk[3]));
  store_strengths(bs, coded, moved_lanes(mv_cur, mv_nb, ref_cur, ref_nb, mvy_limit));
}

void bs_left_edge(uint8_t* bs, const MbInfo* cur, const MbMotion* cur_motion, const MbInfo* nb,
                  const MbMotion* nb_motion, int mvy_limit) {
  constexpr int kCur[4] = {0, 2, 8, 10}, kLeft[4] = {5, 7, 13, 15};
  const auto gather = [](const MbMotion* m, const int(&b)[4]) {
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(mv_single(m, b[0]), mv_single(m, b[1])),
                              _mm_unpacklo_epi32(mv_single(m, b[2]), mv_single(m, b[3])));
  };
  edge_strengths(bs, cur, nb, kCur, kLeft, gather(cur_motion, kCur), gather(nb_motion, kLeft),
                 _mm_shuffle_epi32(ref_pics(cur_motion), _MM_SHUFFLE(2, 2, 0, 0)),
                 _mm_shuffle_epi32(ref_pics(nb_motion), _MM_SHUFFLE(3, 3, 1, 1)), mvy_limit);
}

void bs_top_edge(uint8_t* bs, const MbInfo* cur, const MbMotion* cur_motion, const MbInfo* nb,
                 const MbMotion* nb_motion, int mvy_limit) {
  // Pairs of neighbouring blocks hold their vectors side by side.
  constexpr int kCur[4] = {0, 1, 4, 5}, kUp[4] = {10, 11, 14, 15};
  const auto gather = [](const MbMotion* m, const int(&b)[4]) {
    return _mm_unpacklo_epi64(mv_pair(m, b[0]), mv_pair(m, b[2]));
  };
  edge_strengths(bs, cur, nb, kCur, kUp, gather(cur_motion, kCur), gather(nb_motion, kUp),
                 _mm_shuffle_epi32(ref_pics(cur_motion), _MM_SHUFFLE(1, 1, 0, 0)),
                 _mm_shuffle_epi32(ref_pics(nb_motion), _MM_SHUFFLE(3, 3, 2, 2)), mvy_limit);
}

void bs_clear_internal(uint8_t* bs, uint32_t) {
  const __m128i zero = _mm_setzero_si128();
  store128(bs + kBsVertical, zero);
  store64(bs + kBsVertical + 16, zero);
}

constexpr int blk4x4_at(int x, int y) {
  return ((y >> 3) * 2 + (x >> 3)) * 4 + ((y >> 2) & 1) * 2 + ((x >> 2) & 1);
}

// Per internal segment (vertical edges 1..3, then horizontal edges 1..3, four segments each),
// the coded-block bits of the two 4x4 blocks on its sides.
struct SegmentMasks {
  alignas(16) uint16_t m[24];
};
constexpr SegmentMasks segment_masks() {
  SegmentMasks s{};
  for (int e = 1; e <= 3; ++e) {
    for (int i = 0; i < 4; ++i) {
      s.m[4 * (e - 1) + i] = static_cast<uint16_t>((1u << blk4x4_at(4 * e - 4, 4 * i)) |
                                                   (1u << blk4x4_at(4 * e, 4 * i)));
      s.m[12 + 4 * (e - 1) + i] = static_cast<uint16_t>((1u << blk4x4_at(4 * i, 4 * e - 4)) |
                                                        (1u << blk4x4_at(4 * i, 4 * e)));
    }
  }
  return s;
}
constexpr SegmentMasks kSegmentMasks = segment_masks();

// Per internal segment, the lanes of 2 (coefficients on either side) as 16-bit masks, in the
// order of the strength array.
void coded_segments(uint32_t coded_blocks, __m128i* coded) {
  const __m128i bits = _mm_set1_epi16(static_cast<int16_t>(coded_blocks));
  const __m128i zero = _mm_setzero_si128();
  for (int k = 0; k < 3; ++k) {
    const __m128i masks = _mm_load_si128(reinterpret_cast<const __m128i*>(kSegmentMasks.m + 8 * k));
    coded[k] = _mm_xor_si128(_mm_cmpeq_epi16(_mm_and_si128(bits, masks), zero), _mm_set1_epi16(-1));
  }
}

// Vectors in raster order: rows[y] holds the four 4x4 blocks of block row y (x, y per lane),
// cols[x] the four of block column x; reference pictures likewise.
void bs_internal_inter(uint8_t* bs, const MbInfo* cur, const MbMotion* motion, int mvy_limit) {
  __m128i rows[4];
  for (int y = 0; y < 4; ++y) {
    const int first = (y >> 1) * 8 + (y & 1) * 2;  // block at (0, y); (2, y) is 4 further
    rows[y] = _mm_unpacklo_epi64(mv_pair(motion, first), mv_pair(motion, first + 4));
  }
  const __m128i a = _mm_unpacklo_epi32(rows[0], rows[1]), b = _mm_unpackhi_epi32(rows[0], rows[1]);
  const __m128i c = _mm_unpacklo_epi32(rows[2], rows[3]), d = _mm_unpackhi_epi32(rows[2], rows[3]);
  const __m128i cols[4] = {_mm_unpacklo_epi64(a, c), _mm_unpackhi_epi64(a, c),
                           _mm_unpacklo_epi64(b, d), _mm_unpackhi_epi64(b, d)};
  const __m128i refs = ref_pics(motion);
  const __m128i ref_rows[2] = {_mm_shuffle_epi32(refs, _MM_SHUFFLE(1, 1, 0, 0)),
                               _mm_shuffle_epi32(refs, _MM_SHUFFLE(3, 3, 2, 2))};
  const __m128i ref_cols[2] = {_mm_shuffle_epi32(refs, _MM_SHUFFLE(2, 2, 0, 0)),
                               _mm_shuffle_epi32(refs, _MM_SHUFFLE(3, 3, 1, 1))};
  __m128i moved[6];
  for (int e = 1; e <= 3; ++e) {
    moved[e - 1] =
        moved_lanes(cols[e - 1], cols[e], ref_cols[(e - 1) >> 1], ref_cols[e >> 1], mvy_limit);
    moved[e + 2] =
        moved_lanes(rows[e - 1], rows[e], ref_rows[(e - 1) >> 1], ref_rows[e >> 1], mvy_limit);
  }
  __m128i coded[3];
  coded_segments(cur->coded_blocks, coded);
  __m128i s[3];
  for (int k = 0; k < 3; ++k) {
    const __m128i m = _mm_packs_epi32(moved[2 * k], moved[2 * k + 1]);
    s[k] = _mm_or_si128(_mm_and_si128(coded[k], _mm_set1_epi16(2)),
                        _mm_andnot_si128(coded[k], _mm_and_si128(m, _mm_set1_epi16(1))));
  }
  store128(bs + kBsVertical, _mm_packus_epi16(s[0], s[1]));
  store64(bs + kBsVertical + 16, _mm_packus_epi16(s[2], s[2]));
}

void bs_internal_16x16(uint8_t* bs, uint32_t coded_blocks) {
  __m128i coded[3];
  coded_segments(coded_blocks, coded);
  const __m128i two = _mm_set1_epi16(2);
  store128(bs + kBsVertical,
           _mm_packus_epi16(_mm_and_si128(coded[0], two), _mm_and_si128(coded[1], two)));
  const __m128i last = _mm_and_si128(coded[2], two);
  store64(bs + kBsVertical + 16, _mm_packus_epi16(last, last));
}

}  // namespace

void decoder_install_sse2_strengths(ReconKernels* kernels) {
  kernels->bs_left_edge = bs_left_edge;
  kernels->bs_top_edge = bs_top_edge;
  kernels->bs_clear_internal = bs_clear_internal;
  kernels->bs_internal_16x16 = bs_internal_16x16;
  kernels->bs_internal_inter = bs_internal_inter;
}
