#include "h264/stream/mb_pred.h"

#include <algorithm>
#include <cstring>

#include "h264/stream/entropy_neighbours.h"

namespace {

// A neighbouring partition as prediction sees it.
struct MvCandidate {
  bool available;
  int ref_idx;
  int16_t mv[2];
};

[[gnu::always_inline]] inline MvCandidate from_block(const MbMotion* m, int blk) {
  if (m == nullptr) return {false, -1, {0, 0}};
  return {true, m->ref_idx[blk >> 2], {m->mv[blk][0], m->mv[blk][1]}};
}

// The 4x4 block at (x4, y4) relative to the current macroblock, -1 <= x4 <= 4, -1 <= y4 <= 3;
// first_blk is the first block of the partition being predicted.
[[gnu::always_inline]] inline MvCandidate candidate_at(const MvNeighbours& n, int x4, int y4,
                                                       int first_blk) {
  if (y4 < 0) {
    if (x4 < 0) return from_block(n.d, luma4x4_at(3, 3));
    if (x4 < 4) return from_block(n.b, luma4x4_at(x4, 3));
    return from_block(n.c, luma4x4_at(x4 - 4, 3));
  }
  if (x4 < 0) return from_block(n.a, luma4x4_at(3, y4));
  if (x4 >= 4) return {false, -1, {0, 0}};
  const int blk = luma4x4_at(x4, y4);
  return blk < first_blk ? from_block(n.cur, blk) : MvCandidate{false, -1, {0, 0}};
}

int16_t median(int16_t a, int16_t b, int16_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Both components in one store: the caller reads them back as one word.
void store_mv(int16_t x, int16_t y, int16_t mv[2]) {
  const int16_t both[2] = {x, y};
  std::memcpy(mv, both, sizeof both);
}

void copy_mv(const MvCandidate& from, int16_t mv[2]) {
  store_mv(from.mv[0], from.mv[1], mv);
}

[[gnu::always_inline]] inline void predict_mv(const MvNeighbours& n, int x4, int y4, int w4, int h4,
                                              int ref_idx, int16_t mvp[2]) {
  const int first = luma4x4_at(x4, y4);
  const MvCandidate a = candidate_at(n, x4 - 1, y4, first);
  const MvCandidate b = candidate_at(n, x4, y4 - 1, first);
  MvCandidate c = candidate_at(n, x4 + w4, y4 - 1, first);
  if (!c.available) c = candidate_at(n, x4 - 1, y4 - 1, first);

  if (w4 == 4 && h4 == 2) {
    const MvCandidate& pick = y4 == 0 ? b : a;
    if (pick.ref_idx == ref_idx) return copy_mv(pick, mvp);
  } else if (w4 == 2 && h4 == 4) {
    const MvCandidate& pick = x4 == 0 ? a : c;
    if (pick.ref_idx == ref_idx) return copy_mv(pick, mvp);
  }

  if (a.available && !b.available && !c.available) return copy_mv(a, mvp);
  const int matches = (a.ref_idx == ref_idx) + (b.ref_idx == ref_idx) + (c.ref_idx == ref_idx);
  if (matches == 1) {
    if (a.ref_idx == ref_idx) return copy_mv(a, mvp);
    if (b.ref_idx == ref_idx) return copy_mv(b, mvp);
    return copy_mv(c, mvp);
  }
  store_mv(median(a.mv[0], b.mv[0], c.mv[0]), median(a.mv[1], b.mv[1], c.mv[1]), mvp);
}

}  // namespace

// The 16x16 partition, the most frequent, gets its own copy with the positions folded in.
void decoder_predict_mv(const MvNeighbours& n, int x4, int y4, int w4, int h4, int ref_idx,
                        int16_t mvp[2]) {
  if (w4 == 4 && h4 == 4) return predict_mv(n, 0, 0, 4, 4, ref_idx, mvp);
  predict_mv(n, x4, y4, w4, h4, ref_idx, mvp);
}

void decoder_p_skip_mv(const MvNeighbours& n, int16_t mv[2]) {
  const MvCandidate a = candidate_at(n, -1, 0, 0);
  const MvCandidate b = candidate_at(n, 0, -1, 0);
  const bool a_zero = a.ref_idx == 0 && a.mv[0] == 0 && a.mv[1] == 0;
  const bool b_zero = b.ref_idx == 0 && b.mv[0] == 0 && b.mv[1] == 0;
  if (!a.available || !b.available || a_zero || b_zero) return store_mv(0, 0, mv);
  predict_mv(n, 0, 0, 4, 4, 0, mv);
}
