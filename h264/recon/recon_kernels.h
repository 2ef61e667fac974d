// The table of reconstruction kernels. Drivers reach every kernel through these slots; a build
// of the kernels is installed once per decoder instance and all builds give identical results.
#pragma once

#include <cstdint>

#include "h264/recon/mb_work_area.h"

// One block of motion-compensated prediction, filled by an inter driver.
struct McBlockRequest {
  // Integer sample of the block's top-left corner, in the reference picture or in a scratch
  // copy made by the fetch; the 6-tap kernels read 2 samples before and 3 after the block.
  const uint8_t* src_luma;
  int32_t src_luma_stride;
  const uint8_t* src_cb;  // integer chroma sample; the kernels read one more row and column
  const uint8_t* src_cr;
  int32_t src_chroma_stride;
  uint8_t* dst_luma;  // stride 8, quadrant layout
  uint8_t* dst_cb;    // stride 8
  uint8_t* dst_cr;
  uint8_t chroma_frac_x;  // eighth chroma samples, 0..7
  uint8_t chroma_frac_y;
  alignas(16) uint8_t scratch_luma[24 * 21];  // edge fetches, stride 24
  alignas(16) uint8_t scratch_cb[24 * 9];
  alignas(16) uint8_t scratch_cr[24 * 9];
};

// Filter thresholds of one edge for one colour component. tc0 holds tC0 per 4-sample luma
// segment (or per 2-sample chroma segment), at most 25 as the tables give; a negative value
// leaves the segment unfiltered.
struct EdgeFilterParams {
  int32_t alpha;
  int32_t beta;
  int8_t tc0[4];
};

// Inverse transforms: scaled coefficients in raster order; the residual is written with stride 8.
using InverseTransformKernel = void (*)(const int16_t* coeff, int16_t* dst);

// Boundary strengths of a macroblock edge between two inter macroblocks: four segment strengths
// from coefficients, reference pictures and motion vectors. mvy_limit is 4, or 2 for field
// macroblocks.
using EdgeStrengthKernel = void (*)(uint8_t* bs, const MbInfo* cur, const MbMotion* cur_motion,
                                    const MbInfo* nb, const MbMotion* nb_motion, int mvy_limit);
// Sets the internal strengths of the strength array (clearing ignores coded_blocks).
using InternalStrengthKernel = void (*)(uint8_t* bs, uint32_t coded_blocks);
// Internal strengths of an inter macroblock of any partition kind from its coefficients,
// reference pictures and vectors (edges 1 and 3 are left as computed with the 8x8 transform).
using InternalInterStrengthKernel = void (*)(uint8_t* bs, const MbInfo* cur, const MbMotion* motion,
                                             int mvy_limit);

// Edge filters in the picture. pix points at sample q0 of the first line across the edge; along
// a vertical edge the lines are rows (p_i = pix[-1 - i], q_i = pix[i], next line at pix + stride),
// along a horizontal edge columns (p_i = pix[-(i + 1) stride], q_i = pix[i stride], next line at
// pix + 1). Luma filters cover 16 lines, tc0[k] for lines 4k .. 4k + 3 (at most 25; negative:
// unfiltered).
using LumaNormalFilter = void (*)(uint8_t* pix, int stride, int alpha, int beta, const int8_t* tc0);
using LumaStrongFilter = void (*)(uint8_t* pix, int stride, int alpha, int beta);
// Chroma filters cover 8 lines of Cb and 8 of Cr, one tc0 per 2-line segment.
using ChromaFilter = void (*)(uint8_t* cb, uint8_t* cr, int stride,
                              const EdgeFilterParams* cb_params, const EdgeFilterParams* cr_params);

// Macroblock stores into the picture; pic points at the macroblock's first sample.
using StoreLumaKernel = void (*)(uint8_t* pic, int stride, const uint8_t* luma);
using StoreChromaKernel = void (*)(uint8_t* pic_cb, uint8_t* pic_cr, int stride, const uint8_t* cb,
                                   const uint8_t* cr);

// Intra_4x4 / Intra_8x8: predicts block blk of the luma array in place and adds its residual when
// the cbp bit of its quadrant is set.
using IntraBlockKernel = void (*)(int blk, uint8_t* luma, const int16_t* residual, int cbp);
// Intra_16x16: predicts the 16x16 block and adds the residual.
using Intra16x16Kernel = void (*)(uint8_t* luma, const int16_t* residual);
// Chroma: predicts both 8x8 blocks (availability from the work area's luma flags) and adds the
// residual when chroma_pattern is nonzero.
using IntraChromaKernel = void (*)(const MbWorkArea* wa, uint8_t* cb, uint8_t* cr,
                                   const int16_t* residual_cb, const int16_t* residual_cr,
                                   int chroma_pattern);

// Inter prediction of one block (clause 8.4.2.2) into the destinations at stride 8; the 8x16
// luma kernel puts rows 8..15 into the quadrant below (destination + 128), the 16x16 kernel fills
// all four quadrants (columns 8..15 at destination + 64). Chroma kernels take
// their fractions from the request. The combine kernel adds the residual of the luma quadrants
// and the chroma blocks that coded_block_pattern marks.
using McKernel = void (*)(const McBlockRequest* request);
using CombineKernel = void (*)(MbWorkArea* wa);

// One line pair of de-interlaced output from picture row 2k (rows 2k - 1 .. 2k + 2 readable),
// the history plane (the previous picture's luma) and the counter plane at the same offsets.
// The rule is at deinterlace_line_portable (h264/recon/deinterlace.cpp).
using DeinterlaceLineKernel = void (*)(uint8_t* out_even, uint8_t* out_odd, const uint8_t* pic,
                                       const uint8_t* history, const uint8_t* counter, int stride,
                                       int width);

struct ReconKernels {
  InverseTransformKernel idct4x4;
  InverseTransformKernel idct8x8;

  EdgeStrengthKernel bs_left_edge;
  EdgeStrengthKernel bs_top_edge;
  InternalStrengthKernel bs_clear_internal;
  InternalStrengthKernel bs_internal_16x16;
  InternalInterStrengthKernel bs_internal_inter;

  LumaNormalFilter luma_normal_v;
  LumaNormalFilter luma_normal_h;
  LumaStrongFilter luma_strong_v;
  LumaStrongFilter luma_strong_h;
  ChromaFilter chroma_normal_v;
  ChromaFilter chroma_normal_h;
  ChromaFilter chroma_strong_v;
  ChromaFilter chroma_strong_h;
  StoreLumaKernel store_mb_luma;
  StoreChromaKernel store_mb_chroma;

  IntraBlockKernel intra4x4[9];
  IntraBlockKernel intra8x8[9];
  Intra16x16Kernel intra16x16[4];
  IntraChromaKernel intra_chroma[4];

  McKernel mc_luma_4x4[16];  // indexed by (xFrac << 2) | yFrac
  McKernel mc_luma_4x8[16];
  McKernel mc_luma_8x8[16];
  McKernel mc_luma_8x16[16];
  McKernel mc_luma_16x16[16];
  McKernel mc_chroma_4x2[4];  // indexed by (xFracC != 0) | ((yFracC != 0) << 1)
  McKernel mc_chroma_4x4[4];
  McKernel mc_chroma_8x4[4];
  McKernel mc_chroma_8x8[4];
  CombineKernel combine;

  DeinterlaceLineKernel deinterlace_line;
};

// Fills every slot with the portable build.
void decoder_recon_kernels_portable(ReconKernels* kernels);
