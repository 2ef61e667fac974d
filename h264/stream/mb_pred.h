// Motion vector prediction of P macroblocks (ITU-T H.264 clause 8.4.1, frame and field pictures,
// no MBAFF).
#pragma once

#include <cstdint>

#include "h264/recon/mb_work_area.h"

// Motion records of the current macroblock and of its neighbours A (left), B (above), C (above
// right) and D (above left); a null neighbour is not available. Intra neighbours hold reference
// index -1 and zero vectors. Blocks of the current macroblock count as decoded when their
// luma4x4BlkIdx is below the first block of the partition being predicted.
struct MvNeighbours {
  const MbMotion* cur;
  const MbMotion* a;
  const MbMotion* b;
  const MbMotion* c;
  const MbMotion* d;
};

// mvpL0 of the partition at (x4, y4) of size w4 x h4, all in 4x4 blocks, with reference index
// ref_idx: the directional rules of 16x8 and 8x16 partitions, then the median rules.
void decoder_predict_mv(const MvNeighbours& n, int x4, int y4, int w4, int h4, int ref_idx,
                        int16_t mvp[2]);

// Vector of a P_Skip macroblock (clause 8.4.1.1): zero when A or B is not available or either
// of them has reference index 0 with a zero vector, else the 16x16 prediction for index 0.
void decoder_p_skip_mv(const MvNeighbours& n, int16_t mv[2]);
