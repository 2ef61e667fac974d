// Level placement with folded scaling, the DC transforms and the level-scale tables.
#pragma once

#include <cstdint>
#include <cstring>

#include "h264/recon/recon_tables.h"

// LevelScale4x4 / LevelScale8x8 of clause 8.5.9 (weightScale x normAdjust), raster order.
struct LevelScaleTables {
  uint16_t scale4x4[6][6][16];  // list (Y, Cb, Cr intra; Y, Cb, Cr inter) x qP % 6
  uint16_t scale8x8[2][6][64];  // list (Y intra, Y inter) x qP % 6
};

// Builds the tables from the scaling lists of the slice, each in zig-zag order as sent (flat
// lists hold 16 everywhere).
void decoder_build_level_scale(LevelScaleTables* tables, const uint8_t lists4x4[6][16],
                               const uint8_t lists8x8[2][64]);

// ((c x scale) << shift + round) >> bits with 32-bit two's-complement wrap-around, so corrupt
// levels cannot overflow.
inline int16_t decoder_scale_level(int32_t c, uint32_t scale, int shift, int32_t round, int bits) {
  const uint32_t product = (static_cast<uint32_t>(c) * scale) << shift;
  return static_cast<int16_t>(static_cast<int32_t>(product + static_cast<uint32_t>(round)) >> bits);
}

// Raster position of 4x4 scan index idx (0..15) in the frame (field 0) or field scan.
inline int decoder_scan4x4_position(int idx, int field) {
  return (decoder_scan4x4[idx & 15] >> (field * 4)) & 15;
}

// Level placement into a cleared coefficient block. The levels arrive in increasing scan order,
// each preceded by run[i] zeros; placement starts at scan index start (1 for blocks without their
// DC) and keeps every index inside the block. field selects the field scan. Scaling:
//   4x4: ((c x LevelScale4x4) << (qP / 6) + 8) >> 4
//   8x8: ((c x LevelScale8x8) << (qP / 6) + 32) >> 6
inline void decoder_place_levels_4x4(int16_t* coeff, const int32_t* level, const uint8_t* run,
                                     int count, int start, const uint16_t scale[6][16], int qp,
                                     int field) {
  const uint16_t* row = scale[decoder_qp_split[qp] & 15];
  const int shift = decoder_qp_split[qp] >> 4;
  int idx = start;
  for (int i = 0; i < count; ++i) {
    idx += run[i];
    const int pos = decoder_scan4x4_position(idx, field);
    coeff[pos] = decoder_scale_level(level[i], row[pos], shift, 8, 4);
    ++idx;
  }
}
// 8x8: the levels are scan indexes first, first + step, ...; CAVLC places its four interleaved
// lists with first 0..3 and step 4, CABAC one list with first 0 and step 1.
void decoder_place_levels_8x8(int16_t* coeff, const int32_t* level, const uint8_t* run, int count,
                              int first, int step, const uint16_t scale[6][64], int qp, int field);
// Unscaled placement of the Intra_16x16 luma DC (4x4 scan) and of a chroma DC (raster c0..c3).
void decoder_place_levels_luma_dc(int16_t* coeff, const int32_t* level, const uint8_t* run,
                                  int count, int field);
void decoder_place_levels_chroma_dc(int16_t* coeff, const int32_t* level, const uint8_t* run,
                                    int count);

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
// kind into level / run (increasing scan order) and returns the number of levels, or a negative
// value when the block cannot be decoded.
struct ResidualReader {
  int (*read)(void* ctx, int kind, int index, int32_t* level, uint8_t* run);
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
