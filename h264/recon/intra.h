// Intra macroblock drivers: border fill, prediction-mode derivation and the intra kernels.
#pragma once

#include <cstdint>

#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"

// The neighbouring macroblocks A (left), B (above), C (above right) and D (above left). A null
// pointer or a record whose available flag is 0 (outside the picture, another slice, not yet
// decoded) is not available; with constrained_intra_pred_flag neither is an inter macroblock.
struct IntraNeighbours {
  const MbInfo* a;
  const MbInfo* b;
  const MbInfo* c;
  const MbInfo* d;
  int32_t constrained_intra_pred_flag;
};

// Each driver fills the border from the neighbours, predicts the luma and chroma of the current
// macroblock into the work area and adds the residual. The Intra_4x4 and Intra_8x8 drivers
// derive the prediction modes from the work area's prev/rem syntax and store them into cur.
// Result: 0, or 1 when a mode needs a neighbour that is not available (the block is predicted
// from the border as it stands).
int decoder_intra4x4_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                        const IntraNeighbours* n);
int decoder_intra8x8_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                        const IntraNeighbours* n);
int decoder_intra16x16_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                          const IntraNeighbours* n);

// I_PCM: 256 luma samples in raster order, then 64 Cb and 64 Cr, into the work area; cur gets
// QP'Y 0, the chroma QPs of QP 0, every block counted as coded with 16 coefficients.
void decoder_pcm_mb(MbWorkArea* wa, MbInfo* cur, const uint8_t* samples, int chroma_qp_index_offset,
                    int second_chroma_qp_index_offset);
