// Residual decoding of one macroblock: levels from the entropy decoder, placed with folded
// scaling, DC transforms and inverse transforms into the work area (clause 8.5), for any reader
// with `int read(int kind, int index, int32_t* level, uint8_t* run)` and
// `bool interleaved_8x8()` as ResidualReader describes them.
#pragma once

#include <cstring>

#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"
#include "h264/recon/residual.h"

namespace residual_detail {

struct Levels {
  int32_t level[64];
  uint8_t run[64];
  int count;
};

// Reads one block; a failed block counts as empty and sets the error flag.
template <typename Reader>
bool read_block(Reader& r, int kind, int index, Levels* out, int* error) {
  const int n = r.read(kind, index, out->level, out->run);
  if (n < 0) *error = 1;
  out->count = n < 0 ? 0 : n;
  return out->count > 0;
}

// Raster index of the 4x4 DC matrix entry that belongs to luma4x4BlkIdx blk.
inline int dc_index(int blk) {
  const int x = (blk & 4) * 2 + (blk & 1) * 4, y = (blk & 8) + (blk & 2) * 2;
  return y + x / 4;
}

template <typename Reader>
void luma_intra16x16(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur, const LevelScaleTables* t,
                     int field, Reader& r, int* error) {
  const uint16_t(*scale)[16] = t->scale4x4[0];
  Levels lv;
  int16_t dc[16] = {};
  read_block(r, kResidualLumaDc, 0, &lv, error);
  decoder_place_levels_luma_dc(dc, lv.level, lv.run, lv.count, field);
  decoder_luma_dc_transform(dc, scale, wa->qp);
  for (int blk = 0; blk < 16; ++blk) {
    int16_t* dst = wa->residual + decoder_luma4x4_offset[blk];
    const bool coded = (wa->coded_block_pattern >> (blk >> 2)) & 1;
    if (coded && read_block(r, kResidualLumaAc, blk, &lv, error)) {
      std::memset(wa->coeff, 0, 16 * sizeof(int16_t));
      decoder_place_levels_4x4(wa->coeff, lv.level, lv.run, lv.count, 1, scale, wa->qp, field);
      wa->coeff[0] = dc[dc_index(blk)];
      k->idct4x4(wa->coeff, dst);
      cur->total_coeff[blk] = static_cast<uint8_t>(lv.count);
      cur->coded_blocks |= static_cast<uint16_t>(1 << blk);
    } else {
      decoder_fill_dc_block(dst, dc[dc_index(blk)]);
      cur->total_coeff[blk] = 0;
    }
  }
}

template <typename Reader>
void luma_4x4(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur, const uint16_t (*scale)[16],
              int field, Reader& r, int* error) {
  Levels lv;
  for (int q = 0; q < 4; ++q) {
    std::memset(cur->total_coeff + 4 * q, 0, 4);
    if (((wa->coded_block_pattern >> q) & 1) == 0) continue;
    for (int blk = 4 * q; blk < 4 * q + 4; ++blk) {
      int16_t* dst = wa->residual + decoder_luma4x4_offset[blk];
      if (!read_block(r, kResidualLuma4x4, blk, &lv, error)) {
        decoder_fill_dc_block(dst, 0);
        continue;
      }
      cur->total_coeff[blk] = static_cast<uint8_t>(lv.count);
      cur->coded_blocks |= static_cast<uint16_t>(1 << blk);
      if (lv.count == 1 && lv.run[0] == 0) {
        const int split = decoder_qp_split[wa->qp];
        decoder_fill_dc_block(
            dst, decoder_scale_level(lv.level[0], scale[split & 15][0], split >> 4, 8, 4));
        continue;
      }
      std::memset(wa->coeff, 0, 16 * sizeof(int16_t));
      decoder_place_levels_4x4(wa->coeff, lv.level, lv.run, lv.count, 0, scale, wa->qp, field);
      k->idct4x4(wa->coeff, dst);
    }
  }
}

template <typename Reader>
void luma_8x8(const ReconKernels* k, MbWorkArea* wa, MbInfo* cur, const uint16_t (*scale)[64],
              int field, Reader& r, int* error) {
  Levels lv;
  for (int q = 0; q < 4; ++q) {
    std::memset(cur->total_coeff + 4 * q, 0, 4);
    if (((wa->coded_block_pattern >> q) & 1) == 0) continue;
    std::memset(wa->coeff, 0, sizeof wa->coeff);
    bool coded = false;
    if (r.interleaved_8x8()) {
      for (int list = 0; list < 4; ++list) {
        coded |= read_block(r, kResidualLuma8x8, 4 * q + list, &lv, error);
        decoder_place_levels_8x8(wa->coeff, lv.level, lv.run, lv.count, list, 4, scale, wa->qp,
                                 field);
        cur->total_coeff[4 * q + list] = static_cast<uint8_t>(lv.count);
      }
    } else {
      coded = read_block(r, kResidualLuma8x8, q, &lv, error);
      decoder_place_levels_8x8(wa->coeff, lv.level, lv.run, lv.count, 0, 1, scale, wa->qp, field);
      std::memset(cur->total_coeff + 4 * q, coded ? 1 : 0, 4);
    }
    if (coded) cur->coded_blocks |= static_cast<uint16_t>(0xF << (4 * q));
    k->idct8x8(wa->coeff, wa->residual + 64 * q);
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
  Levels lv;
  int16_t dc[2][4] = {};
  for (int comp = 0; comp < 2; ++comp) {
    if (!read_block(r, kResidualChromaDc, comp, &lv, error)) continue;
    decoder_place_levels_chroma_dc(dc[comp], lv.level, lv.run, lv.count);
    decoder_chroma_dc_transform(dc[comp], t->scale4x4[list_base + comp], qp[comp]);
  }
  for (int comp = 0; comp < 2; ++comp) {
    int16_t* residual = wa->residual + (comp == 0 ? kResidualCb : kResidualCr);
    if (pattern == 1) {
      fill_chroma_dc(residual, dc[comp]);
      continue;
    }
    for (int blk = 0; blk < 4; ++blk) {
      int16_t* dst = residual + decoder_chroma4x4_offset[blk];
      if (!read_block(r, kResidualChromaAc, 4 * comp + blk, &lv, error)) {
        decoder_fill_dc_block(dst, dc[comp][blk]);
        continue;
      }
      std::memset(wa->coeff, 0, 16 * sizeof(int16_t));
      decoder_place_levels_4x4(wa->coeff, lv.level, lv.run, lv.count, 1,
                               t->scale4x4[list_base + comp], qp[comp], field);
      wa->coeff[0] = dc[comp][blk];
      k->idct4x4(wa->coeff, dst);
      cur->total_coeff[16 + 4 * comp + blk] = static_cast<uint8_t>(lv.count);
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
