// Inter macroblock drivers: motion-compensated prediction of P macroblocks (clause 8.4.2) from
// reference list 0, one driver per macroblock kind.
#pragma once

#include <cstdint>

#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"

// One picture of reference list 0, addressed like the current picture (a field inside its frame
// buffer: first row of the field, the stride doubled).
struct InterReference {
  const uint8_t* luma;  // first sample of the frame or field; null for an empty slot
  const uint8_t* cb;
  const uint8_t* cr;
  int32_t id;      // identity of the picture (or field) that the deblocking strengths compare
  int32_t bottom;  // 1 for a bottom field
};

// What the drivers need of the slice.
struct InterSlice {
  const ReconKernels* kernels;
  const InterReference* refs;  // by ref_idx_l0; the drivers do not test the entries
  int32_t width;               // luma samples of the current picture (a field's own height)
  int32_t height;
  int32_t luma_stride;  // of the reference planes, doubled for a field
  int32_t chroma_stride;
  int32_t field_pic_flag;
  int32_t bottom_field_flag;
};

// Each driver reads the macroblock position, ref_idx_l0, mv_l0 (and sub_mb_type) from the work
// area, writes the luma and chroma prediction of the whole macroblock into it and adds the
// residual through the combine kernel. Vectors may point any distance outside
// the picture: reads are clamped to its edge samples.
void decoder_inter_p16x16(const InterSlice* s, MbWorkArea* wa);
void decoder_inter_p16x8(const InterSlice* s, MbWorkArea* wa);
void decoder_inter_p8x16(const InterSlice* s, MbWorkArea* wa);
void decoder_inter_p8x8(const InterSlice* s, MbWorkArea* wa);  // P_8x8 and P_8x8ref0
// P_Skip: the P_L0_16x16 prediction with no residual.
void decoder_inter_p_skip(const InterSlice* s, MbWorkArea* wa);

// Chroma prediction of 2x2 blocks (Cb and Cr), indexed like the chroma tables of ReconKernels.
// Every kernel build shares these: the blocks are too small to gain from vector code.
extern const McKernel decoder_mc_chroma_2x2[4];
