#include <gtest/gtest.h>

#include "h264/stream/mb_pred.h"

namespace {

// A neighbour whose every block has reference index ref and vector (x, y).
MbMotion uniform(int ref, int x, int y) {
  MbMotion m{};
  for (int q = 0; q < 4; ++q) m.ref_idx[q] = static_cast<int8_t>(ref);
  for (auto& mv : m.mv) {
    mv[0] = static_cast<int16_t>(x);
    mv[1] = static_cast<int16_t>(y);
  }
  return m;
}

struct Mv {
  int16_t v[2];
};

Mv predict(const MvNeighbours& n, int x4, int y4, int w4, int h4, int ref) {
  Mv mv{};
  decoder_predict_mv(n, x4, y4, w4, h4, ref, mv.v);
  return mv;
}

TEST(MbloopMvPred, MedianOfThreeNeighboursPerComponent) {
  MbMotion cur{}, a = uniform(0, 4, -8), b = uniform(0, 12, 2), c = uniform(0, -6, 30);
  const MvNeighbours n{&cur, &a, &b, &c, nullptr};
  const Mv mv = predict(n, 0, 0, 4, 4, 0);
  EXPECT_EQ(mv.v[0], 4);
  EXPECT_EQ(mv.v[1], 2);
}

TEST(MbloopMvPred, SingleMatchingReferenceWins) {
  MbMotion cur{}, a = uniform(1, 4, -8), b = uniform(0, 12, 2), c = uniform(1, -6, 30);
  const MvNeighbours n{&cur, &a, &b, &c, nullptr};
  const Mv mv = predict(n, 0, 0, 4, 4, 0);
  EXPECT_EQ(mv.v[0], 12);
  EXPECT_EQ(mv.v[1], 2);
}

TEST(MbloopMvPred, UnavailableCIsReplacedByD) {
  MbMotion cur{}, a = uniform(0, 1, 1), b = uniform(0, 3, 3), d = uniform(0, 100, -100);
  const MvNeighbours with_d{&cur, &a, &b, nullptr, &d};
  const Mv mv = predict(with_d, 0, 0, 4, 4, 0);
  EXPECT_EQ(mv.v[0], 3);
  EXPECT_EQ(mv.v[1], 1);
  // An intra C is available: D is not used and C counts as (0, 0).
  MbMotion intra_c = uniform(-1, 0, 0);
  const MvNeighbours with_intra_c{&cur, &a, &b, &intra_c, &d};
  const Mv mv2 = predict(with_intra_c, 0, 0, 4, 4, 0);
  EXPECT_EQ(mv2.v[0], 1);
  EXPECT_EQ(mv2.v[1], 1);
}

TEST(MbloopMvPred, OnlyLeftAvailableGivesItsVectorWhateverItsReference) {
  MbMotion cur{}, a = uniform(2, 7, -3);
  const MvNeighbours n{&cur, &a, nullptr, nullptr, nullptr};
  const Mv mv = predict(n, 0, 0, 4, 4, 0);
  EXPECT_EQ(mv.v[0], 7);
  EXPECT_EQ(mv.v[1], -3);
  // An intra B is available, so the median of A, (0, 0), (0, 0) applies.
  MbMotion intra_b = uniform(-1, 0, 0);
  const MvNeighbours n2{&cur, &a, &intra_b, nullptr, nullptr};
  const Mv mv2 = predict(n2, 0, 0, 4, 4, 0);
  EXPECT_EQ(mv2.v[0], 0);
  EXPECT_EQ(mv2.v[1], 0);
}

TEST(MbloopMvPred, DirectionalRulesOf16x8And8x16) {
  MbMotion cur{}, a = uniform(0, 10, 10), b = uniform(0, 20, 20), c = uniform(0, 30, 30);
  const MvNeighbours n{&cur, &a, &b, &c, nullptr};
  EXPECT_EQ(predict(n, 0, 0, 4, 2, 0).v[0], 20);  // upper 16x8 from B
  EXPECT_EQ(predict(n, 0, 2, 4, 2, 0).v[0], 10);  // lower 16x8 from A
  EXPECT_EQ(predict(n, 0, 0, 2, 4, 0).v[0], 10);  // left 8x16 from A
  EXPECT_EQ(predict(n, 2, 0, 2, 4, 0).v[0], 30);  // right 8x16 from C
  // Without a directional match: the upper 16x8 takes the median of A, B and C; the lower one
  // sees the upper partition as B, and D (in A) for C, so the only reference-0 neighbour is B.
  b = uniform(1, 20, 20);
  EXPECT_EQ(predict(n, 0, 0, 4, 2, 0).v[0], 20);
  a = uniform(1, 10, 10);
  cur = uniform(0, 40, 40);
  EXPECT_EQ(predict(n, 0, 2, 4, 2, 0).v[0], 40);
}

TEST(MbloopMvPred, BlocksOfTheCurrentMacroblockNotYetDecodedAreUnavailable) {
  // Lower 16x8: C lies right of the macroblock, so D (the left macroblock's block at y = 7) is
  // used; it is A's macroblock.
  MbMotion cur = uniform(0, 50, 50), a = uniform(0, 4, 4), b = uniform(0, 8, 8);
  const MvNeighbours n{&cur, &a, &b, nullptr, nullptr};
  // Reference 1 for the partition: no directional match, A/B/C(=D in A) all differ -> median.
  cur.ref_idx[2] = cur.ref_idx[3] = 1;
  const Mv lower = predict(n, 0, 2, 4, 2, 1);
  EXPECT_EQ(lower.v[0], 4);  // median of A 4, B (upper half of cur) 50, D 4
  // 4x4 block 3 (x4 = 1, y4 = 1): C is block 6 of quadrant 1, not decoded yet, so D (block 0)
  // stands in.
  MbMotion cur2{};
  cur2.ref_idx[0] = 0;
  cur2.mv[0][0] = 40;   // D: block 0
  cur2.mv[1][0] = 100;  // B: block 1
  cur2.mv[2][0] = 8;    // A: block 2
  cur2.mv[6][0] = -77;  // C if it were used
  const MvNeighbours n2{&cur2, nullptr, nullptr, nullptr, nullptr};
  EXPECT_EQ(predict(n2, 1, 1, 1, 1, 0).v[0], 40);
}

TEST(MbloopMvPred, PSkipZeroConditions) {
  MbMotion cur{}, a = uniform(0, 6, 6), b = uniform(0, 9, 9), c = uniform(0, 12, 12);
  int16_t mv[2];
  const MvNeighbours all{&cur, &a, &b, &c, nullptr};
  decoder_p_skip_mv(all, mv);
  EXPECT_EQ(mv[0], 9);
  const MvNeighbours no_b{&cur, &a, nullptr, &c, nullptr};
  decoder_p_skip_mv(no_b, mv);
  EXPECT_EQ(mv[0], 0);
  const MvNeighbours no_a{&cur, nullptr, &b, &c, nullptr};
  decoder_p_skip_mv(no_a, mv);
  EXPECT_EQ(mv[0], 0);
  MbMotion still = uniform(0, 0, 0);
  const MvNeighbours still_a{&cur, &still, &b, &c, nullptr};
  decoder_p_skip_mv(still_a, mv);
  EXPECT_EQ(mv[0], 0);
  // A zero vector with another reference does not force zero.
  MbMotion still_ref1 = uniform(1, 0, 0);
  const MvNeighbours other_ref{&cur, &still_ref1, &b, &c, nullptr};
  decoder_p_skip_mv(other_ref, mv);
  EXPECT_EQ(mv[0], 9);  // B is the only neighbour with reference 0
  // An intra A is available and not a zero-vector reference-0 neighbour.
  MbMotion intra = uniform(-1, 0, 0);
  const MvNeighbours intra_a{&cur, &intra, &b, &c, nullptr};
  decoder_p_skip_mv(intra_a, mv);
  EXPECT_EQ(mv[0], 9);
}

}  // namespace
