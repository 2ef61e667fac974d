// Residual decoding of one macroblock: blocks whose levels the entropy decoder places scaled at
// their raster positions, DC transforms and inverse transforms into the work area (clause 8.5),
// with DC-only blocks filled without a transform. For any reader with
// `int read(int kind, int index, const CoeffPlacement& p)` and `bool interleaved_8x8()` as
// ResidualReader describes them.
#pragma once

#include <cstring>

#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"
#include "h264/recon/residual.h"

namespace residual_detail {

// DC levels are placed unscaled: chroma DC in raster order c0..c3, luma DC in the 4x4 scan.
inline constexpr uint16_t kUnitScale[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
inline constexpr uint8_t kChromaDcScan[4] = {0, 1, 2, 3};

inline CoeffPlacement dc_placement(int16_t* dc, const uint8_t* scan) {
  return {dc, scan, kUnitScale, 1, 0, 0, 0};
}

// A 4x4 block from scan index start (1 for blocks without their DC):
// ((c x LevelScale4x4) << (qP / 6) + 8) >> 4.
inline CoeffPlacement placement_4x4(int16_t* coeff, const uint16_t (*scale)[16], int qp, int field,
                                    int start) {
  const int split = decoder_qp_split[qp];
  return {coeff, decoder_scan4x4[field] + start, scale[split & 15], 1, split >> 4, 8, 4};
}

// An 8x8 block, or one of its four interleaved lists (first index list, step 4):
// ((c x LevelScale8x8) << (qP / 6) + 32) >> 6.
inline CoeffPlacement placement_8x8(int16_t* coeff, const uint16_t (*scale)[64], int qp, int field,
                                    int list, int step) {
  const int split = decoder_qp_split[qp];
  return {coeff, decoder_scan8x8[field] + list, scale[split & 15], step, split >> 4, 32, 6};
}

// Reads one block; a failed block counts as empty and sets the error flag (the macroblock is
// then dropped, whatever the block left in its array).
template <typename Reader>
int read_block(Reader& r, int kind, int index, const CoeffPlacement& p, int* error) {
  const int n = r.read(kind, index, p);
  if (n < 0) *error = 1;
  return n < 0 ? 0 : n;
}

// Raster index of the 4x4 DC matrix entry that belongs to luma4x4BlkIdx blk.
inline int dc_index(int blk) {
  const int x = (blk & 4) * 2 + (blk & 1) * 4, y = (blk & 8) + (blk & 2) * 2;
  return y + x / 4;
}

inline void clear_4x4(MbWorkArea* wa) {
  std::memset(wa->coeff, 0, 16 * sizeof(int16_t));
}

template <typename Reader>
void luma_intra16x16(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur, const LevelScaleTables* t,
                     int field, Reader& r, int* error) {
  const uint16_t(*scale)[16] = t->scale4x4[0];
  int16_t dc[16] = {};
  read_block(r, kResidualLumaDc, 0, dc_placement(dc, decoder_scan4x4[field]), error);
  decoder_luma_dc_transform(dc, scale, wa->qp);
  const CoeffPlacement ac = placement_4x4(wa->coeff, scale, wa->qp, field, 1);
  for (int blk = 0; blk < 16; ++blk) {
    int16_t* dst = wa->residual + decoder_luma4x4_offset[blk];
    const bool coded = (wa->coded_block_pattern >> (blk >> 2)) & 1;
    int n = 0;
    if (coded) {
      clear_4x4(wa);
      n = read_block(r, kResidualLumaAc, blk, ac, error);
    }
    cur->total_coeff[blk] = static_cast<uint8_t>(n);
    if (n == 0) {
      decoder_fill_dc_block(dst, dc[dc_index(blk)]);
      continue;
    }
    wa->coeff[0] = dc[dc_index(blk)];
    k->idct4x4(wa->coeff, dst);
    cur->coded_blocks |= static_cast<uint16_t>(1 << blk);
  }
}

template <typename Reader>
void luma_4x4(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur, const uint16_t (*scale)[16],
              int field, Reader& r, int* error) {
  const CoeffPlacement p = placement_4x4(wa->coeff, scale, wa->qp, field, 0);
  for (int q = 0; q < 4; ++q) {
    std::memset(cur->total_coeff + 4 * q, 0, 4);
    if (((wa->coded_block_pattern >> q) & 1) == 0) continue;
    for (int blk = 4 * q; blk < 4 * q + 4; ++blk) {
      int16_t* dst = wa->residual + decoder_luma4x4_offset[blk];
      clear_4x4(wa);
      const int n = read_block(r, kResidualLuma4x4, blk, p, error);
      if (n == 0) {
        decoder_fill_dc_block(dst, 0);
        continue;
      }
      cur->total_coeff[blk] = static_cast<uint8_t>(n);
      cur->coded_blocks |= static_cast<uint16_t>(1 << blk);
      if (n == 1 && wa->coeff[0] != 0) {
        decoder_fill_dc_block(dst, wa->coeff[0]);
      } else {
        k->idct4x4(wa->coeff, dst);
      }
    }
  }
}

template <typename Reader>
void luma_8x8(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur, const uint16_t (*scale)[64],
              int field, Reader& r, int* error) {
  for (int q = 0; q < 4; ++q) {
    std::memset(cur->total_coeff + 4 * q, 0, 4);
    if (((wa->coded_block_pattern >> q) & 1) == 0) continue;
    std::memset(wa->coeff, 0, sizeof wa->coeff);
    int total = 0;
    if (r.interleaved_8x8()) {
      for (int list = 0; list < 4; ++list) {
        const int n = read_block(r, kResidualLuma8x8, 4 * q + list,
                                 placement_8x8(wa->coeff, scale, wa->qp, field, list, 4), error);
        cur->total_coeff[4 * q + list] = static_cast<uint8_t>(n);
        total += n;
      }
    } else {
      total = read_block(r, kResidualLuma8x8, q,
                         placement_8x8(wa->coeff, scale, wa->qp, field, 0, 1), error);
      std::memset(cur->total_coeff + 4 * q, total != 0 ? 1 : 0, 4);
    }
    int16_t* dst = wa->residual + 64 * q;
    if (total != 0) cur->coded_blocks |= static_cast<uint16_t>(0xF << (4 * q));
    if (total == 0 || (total == 1 && wa->coeff[0] != 0)) {
      decoder_fill_dc_block_8x8(dst, wa->coeff[0]);
    } else {
      k->idct8x8(wa->coeff, dst);
    }
  }
}

// The residual of a chroma component without AC coefficients: each 4x4 block its DC.
inline void fill_chroma_dc(int16_t* residual, const int16_t dc[4]) {
  for (int blk = 0; blk < 4; ++blk)
    decoder_fill_dc_block(residual + decoder_chroma4x4_offset[blk], dc[blk]);
}

template <typename Reader>
void chroma(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur, const LevelScaleTables* t,
            int field, Reader& r, int* error) {
  const int pattern = wa->coded_block_pattern >> 4;
  std::memset(cur->total_coeff + 16, 0, 8);
  if (pattern == 0) return;
  const int list_base = mb_is_intra(wa->mb_type) ? 1 : 4;
  const int qp[2] = {wa->qp_cb, wa->qp_cr};
  int16_t dc[2][4] = {};
  for (int comp = 0; comp < 2; ++comp) {
    if (read_block(r, kResidualChromaDc, comp, dc_placement(dc[comp], kChromaDcScan), error))
      decoder_chroma_dc_transform(dc[comp], t->scale4x4[list_base + comp], qp[comp]);
  }
  for (int comp = 0; comp < 2; ++comp) {
    int16_t* residual = wa->residual + (comp == 0 ? kResidualCb : kResidualCr);
    if (pattern == 1) {
      fill_chroma_dc(residual, dc[comp]);
      continue;
    }
    const CoeffPlacement ac =
        placement_4x4(wa->coeff, t->scale4x4[list_base + comp], qp[comp], field, 1);
    for (int blk = 0; blk < 4; ++blk) {
      int16_t* dst = residual + decoder_chroma4x4_offset[blk];
      clear_4x4(wa);
      const int n = read_block(r, kResidualChromaAc, 4 * comp + blk, ac, error);
      if (n == 0) {
        decoder_fill_dc_block(dst, dc[comp][blk]);
        continue;
      }
      wa->coeff[0] = dc[comp][blk];
      k->idct4x4(wa->coeff, dst);
      cur->total_coeff[16 + 4 * comp + blk] = static_cast<uint8_t>(n);
    }
  }
}

}  // namespace residual_detail

// decoder_residual_mb with the reader's calls inlined.
template <typename Reader>
int decoder_residual_mb_with(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur,
                             const LevelScaleTables* tables, int field, Reader& reader) {
  using namespace residual_detail;
  int error = 0;
  const bool intra = mb_is_intra(wa->mb_type);
  cur->coded_blocks = 0;
  if (wa->mb_type >= kMbI16x16First && wa->mb_type < kMbIPcm) {
    luma_intra16x16(k, wa, cur, tables, field, reader, &error);
  } else if (wa->transform_size_8x8_flag) {
    luma_8x8(k, wa, cur, tables->scale8x8[intra ? 0 : 1], field, reader, &error);
  } else {
    luma_4x4(k, wa, cur, tables->scale4x4[intra ? 0 : 3], field, reader, &error);
  }
  chroma(k, wa, cur, tables, field, reader, &error);
  return error;
}
