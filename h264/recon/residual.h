// Level-scale tables, DC transforms and the residual of DC-only blocks; the residual driver's
// view of the entropy decoder.
#pragma once

#include <cstdint>
#include <cstring>

#include "h264/recon/recon_tables.h"
#include "h264/stream/coeff_placement.h"

// LevelScale4x4 / LevelScale8x8 of clause 8.5.9 (weightScale x normAdjust), raster order.
struct LevelScaleTables {
  uint16_t scale4x4[6][6][16];  // list (Y, Cb, Cr intra; Y, Cb, Cr inter) x qP % 6
  uint16_t scale8x8[2][6][64];  // list (Y intra, Y inter) x qP % 6
};

// Builds the tables from the scaling lists of the slice, each in zig-zag order as sent (flat
// lists hold 16 everywhere).
void decoder_build_level_scale(LevelScaleTables* tables, const uint8_t lists4x4[6][16],
                               const uint8_t lists8x8[2][64]);

// Intra_16x16 luma DC: Hadamard transform and scaling of the 4x4 DC matrix in place; element
// (row r, column c) becomes the DC of the 4x4 block at (4c, 4r). scale is the Y intra list.
void decoder_luma_dc_transform(int16_t* dc, const uint16_t scale[6][16], int qp);
// Chroma DC: 2x2 transform and scaling in place; element n becomes the DC of chroma block n.
void decoder_chroma_dc_transform(int16_t* dc, const uint16_t scale[6][16], int qp);

// Residual of a 4x4 block that holds only its DC, exactly as the 4x4 inverse transform gives it,
// written as 4 rows of 4 values at stride 8.
inline void decoder_fill_dc_block(int16_t* dst, int16_t dc) {
  const int16_t rounded = static_cast<int16_t>(dc + 32);
  const uint64_t value = static_cast<uint16_t>(static_cast<int16_t>(rounded >> 6));
  const uint64_t row = value * 0x0001000100010001u;
  for (int y = 0; y < 4; ++y) std::memcpy(dst + 8 * y, &row, sizeof row);
}
// The same for an 8x8 block (the 8x8 transform of a lone DC gives the same value everywhere).
inline void decoder_fill_dc_block_8x8(int16_t* dst, int16_t dc) {
  decoder_fill_dc_block(dst, dc);
  decoder_fill_dc_block(dst + 4, dc);
  decoder_fill_dc_block(dst + 32, dc);
  decoder_fill_dc_block(dst + 36, dc);
}

// Kinds of residual blocks the residual driver asks the entropy decoder for.
enum ResidualBlockKind : int {
  kResidualLumaDc = 0,    // Intra_16x16 DC, index 0, up to 16 levels
  kResidualLumaAc = 1,    // Intra_16x16 AC, index luma4x4BlkIdx, up to 15 levels
  kResidualLuma4x4 = 2,   // index luma4x4BlkIdx, up to 16 levels
  kResidualLuma8x8 = 3,   // CAVLC: one of the four interleaved lists, index luma4x4BlkIdx, up
                          // to 16 levels; CABAC: index 8x8 block, up to 64 levels
  kResidualChromaDc = 4,  // index 0 Cb, 1 Cr, up to 4 levels
  kResidualChromaAc = 5,  // index 4 x component + chroma4x4BlkIdx, up to 15 levels
};

// The entropy decoder as the residual driver sees it: read decodes the next block of the given
// kind and places its levels as p says (scan from the block's first coded index, scale of the
// block's list and QP, into a cleared array). It returns the number of levels, or a negative
// value when the block cannot be decoded.
struct ResidualReader {
  int (*read)(void* ctx, int kind, int index, const CoeffPlacement* p);
  void* ctx;
  int32_t interleaved_8x8;  // 1 for CAVLC: 8x8 blocks come as four interleaved lists
};

struct ReconKernels;
struct MbWorkArea;
struct MbInfo;

// Residual of the current macroblock (type, coded_block_pattern, QPs and transform size from the
// work area; not for I_PCM and P_Skip, which have none) into the work area's residual array, in the
// syntax order of residual(). Stores the coefficient counts and coded-block bits into cur. field
// selects the field scans. Returns 0, or 1 when the entropy decoder failed on a block (decoding
// goes on to the macroblock's end).
int decoder_residual_mb(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                        const LevelScaleTables* tables, int field, const ResidualReader* reader);
