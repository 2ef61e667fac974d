// Work area of the macroblock being reconstructed, and the per-macroblock neighbour records.
#pragma once

#include <cstdint>

// Luma sample array of MbWorkArea: the 16x16 block as four 8x8 quadrants (top-left, top-right,
// bottom-left, bottom-right), each row-major with stride 8, followed by the neighbour border and
// the availability flags that the intra kernels read.
inline constexpr int kLumaLeft = 256;      // x = -1, y = 0..15
inline constexpr int kLumaTop = 272;       // x = 0..15, y = -1
inline constexpr int kLumaTopRight = 288;  // x = 16..23, y = -1
inline constexpr int kLumaTopLeft = 296;   // x = -1, y = -1
inline constexpr int kFlagOne = 297;       // always 1: neighbours inside the macroblock
inline constexpr int kFlagLeft = 298;      // 4 bytes, one per 4x4 block row
inline constexpr int kFlagTop = 302;
inline constexpr int kFlagTopLeft = 303;
inline constexpr int kLumaArraySize = 304;

// Cb and Cr sample arrays: the 8x8 block (stride 8), then the border.
inline constexpr int kChromaLeft = 64;     // x = -1, y = 0..7
inline constexpr int kChromaTop = 72;      // x = 0..7, y = -1
inline constexpr int kChromaTopLeft = 80;  // x = -1, y = -1
inline constexpr int kChromaArraySize = 81;

// Residual array: 256 luma values in the quadrant layout, then 64 Cb and 64 Cr (stride 8).
inline constexpr int kResidualCb = 256;
inline constexpr int kResidualCr = 320;
inline constexpr int kResidualSize = 384;

// Boundary-strength array: 8 edges of 4 segments each (top to bottom on vertical edges, left to
// right on horizontal ones).
inline constexpr int kBsLeft = 0;      // left macroblock edge
inline constexpr int kBsTop = 4;       // top macroblock edge
inline constexpr int kBsVertical = 8;  // internal vertical edges 1..3 (x = 4, 8, 12): 8 + 4 (e - 1)
inline constexpr int kBsHorizontal = 20;  // internal horizontal edges 1..3 (y = 4, 8, 12)
inline constexpr int kBsSize = 32;

// Internal macroblock type codes (a code above 22 is intra).
inline constexpr int32_t kMbPSkip = -1;
inline constexpr int32_t kMbP16x16 = 18;
inline constexpr int32_t kMbP16x8 = 19;
inline constexpr int32_t kMbP8x16 = 20;
inline constexpr int32_t kMbP8x8 = 21;
inline constexpr int32_t kMbP8x8Ref0 = 22;
inline constexpr int32_t kMbINxN = 23;
inline constexpr int32_t kMbI16x16First = 24;
inline constexpr int32_t kMbIPcm = 48;

inline constexpr bool mb_is_intra(int32_t mb_type) {
  return mb_type > 22;
}

// Neighbour record of one macroblock (current row and the row above). Indexes "by block" run in
// luma4x4BlkIdx order.
struct MbInfo {
  uint8_t available;  // exists, is decoded and lies in the current slice
  uint8_t transform_size_8x8_flag;
  uint8_t intra_chroma_pred_mode;
  uint8_t qp;     // QP'Y as deblocking uses it (0 for I_PCM)
  uint8_t qp_cb;  // QP'C of Cb and Cr
  uint8_t qp_cr;
  uint16_t coded_blocks;  // bit n: the transform block holding 4x4 block n has coefficients
  int32_t mb_type;        // internal type code
  int32_t slice_num;      // slice the macroblock belongs to (deblocking across slice edges)
  int32_t coded_block_pattern;
  uint32_t coded_block_flags;  // CABAC coded_block_flag bits of the macroblock's blocks
  uint8_t total_coeff[24];     // CAVLC TotalCoeff: 16 luma blocks, 4 Cb, 4 Cr
  int8_t intra_pred_mode[16];  // Intra4x4PredMode / Intra8x8PredMode per 4x4 block
  // Unfiltered bottom row, for intra prediction of the row below; the last luma sample is also
  // the top-left corner of the macroblock below-right.
  uint8_t bottom_luma[16];
  uint8_t bottom_cb[8];
  uint8_t bottom_cr[8];
};

// Motion record of one macroblock.
struct MbMotion {
  int8_t ref_idx[4];   // per 8x8 quadrant, -1 for none (intra)
  int32_t ref_pic[4];  // identity of the reference picture (or field) per quadrant
  int16_t mv[16][2];   // per 4x4 block: x, y in quarter samples
  int16_t mvd[16][2];  // mvd_l0 per 4x4 block, kept in CABAC slices (context selection)
};

struct MbWorkArea {
  // Parsing fields.
  int32_t mb_x;
  int32_t mb_y;
  int32_t mb_addr;
  int32_t mb_count;  // macroblocks done in the slice
  int32_t mb_type;
  int32_t coded_block_pattern;  // bits 0..3 luma quadrants, >> 4 the chroma pattern 0..2
  int32_t intra_chroma_pred_mode;
  int32_t intra16x16_pred_mode;
  int32_t transform_size_8x8_flag;
  int32_t qp;
  int32_t qp_cb;
  int32_t qp_cr;
  uint8_t prev_intra_pred_mode_flag[16];  // 8x8 prediction uses entries 0, 4, 8, 12
  uint8_t rem_intra_pred_mode[16];
  uint8_t sub_mb_type[4];
  int8_t ref_idx_l0[4];
  int16_t mv_l0[16][2];

  // Samples, residual and strengths.
  alignas(16) uint8_t luma[kLumaArraySize];
  alignas(16) uint8_t cb[kChromaArraySize];
  alignas(16) uint8_t cr[kChromaArraySize];
  alignas(16) int16_t residual[kResidualSize];
  alignas(16) int16_t coeff[64];  // scaled coefficients of the block being transformed
  alignas(16) uint8_t bs[kBsSize];
  // Unfiltered right column of the previous macroblock.
  uint8_t right_luma[16];
  uint8_t right_cb[8];
  uint8_t right_cr[8];
};
