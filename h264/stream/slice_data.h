// Slice data of I and P slices (ITU-T H.264 clauses 7.3.4 and 7.3.5): the macroblock loops of
// both entropy coders. Every macroblock is parsed into the work area and reconstructed, filtered
// and stored at once.
#pragma once

#include <cstdint>

#include "h264/recon/inter.h"
#include "h264/recon/residual.h"

struct DecoderContext;

// One entry of reference picture list 0.
using SliceRefPicture = InterReference;

inline constexpr int kMaxRefIdx = 32;

// The slice state the loops consume.
struct SliceDataParams {
  int32_t slice_type;  // slice_type mod 5: 0 P, 2 I; other types decode nothing
  int32_t first_mb_in_slice;
  int32_t slice_num;  // number of the slice in its picture
  int32_t pic_width_in_mbs;
  int32_t pic_height_in_mbs;  // of this picture: halved for a field
  int32_t field_pic_flag;
  int32_t bottom_field_flag;
  int32_t slice_qp;  // 26 + pic_init_qp_minus26 + slice_qp_delta
  int32_t cabac_init_idc;
  int32_t num_ref_idx_l0_active_minus1;
  int32_t disable_deblocking_filter_idc;
  int32_t filter_offset_a;  // slice_alpha_c0_offset_div2 x 2
  int32_t filter_offset_b;  // slice_beta_offset_div2 x 2
  int32_t transform_8x8_mode_flag;
  int32_t constrained_intra_pred_flag;
  int32_t chroma_qp_index_offset;
  int32_t second_chroma_qp_index_offset;
  const LevelScaleTables* level_scale;
  // First sample of the current picture in each plane (a bottom field starts one frame row
  // down) and the distance between its rows (twice the frame width for a field).
  uint8_t* luma;
  uint8_t* cb;
  uint8_t* cr;
  int32_t luma_stride;
  int32_t chroma_stride;
  SliceRefPicture ref_list[kMaxRefIdx];
};

// Error values of the loops (the macroblock marks are or-ed).
inline constexpr uint32_t kSliceErrorPosition = 1;  // first_mb_in_slice or a skip run past the end
inline constexpr uint32_t kSliceErrorPMbType = 0xFFFFFFFFu;  // P-slice mb_type above 30
inline constexpr uint32_t kMbErrorSyntax = 1u << 1;          // a syntax element out of its range
inline constexpr uint32_t kMbErrorResidual = 1u << 2;        // a residual block that did not decode
inline constexpr uint32_t kMbErrorIntra = 1u << 3;           // an intra mode without its neighbours
inline constexpr uint32_t kMbErrorSlice = 1u << 4;  // slice QP, picture size or planes unusable

// The loops' view of the context's current slice: header, active picture parameter set, level
// scale tables, current picture store and reference list 0. slice_num is the context's running
// number of the slice within its picture. Without a current picture, or with a size
// beyond the configured maximum, the planes stay null and the loops refuse the slice.
void slice_data_params_from_context(const DecoderContext& ctx, SliceDataParams* s);

// Both decode from ctx->reader, placed at the start of slice_data(), into s's picture, using the
// context's work area, neighbour rows, per-macroblock array and kernels. They return 0 or an
// error value; ctx->work_area.mb_count tells how many macroblocks were decoded.
uint32_t decode_slice_data_cavlc(DecoderContext* ctx, const SliceDataParams* s);
uint32_t decode_slice_data_cabac(DecoderContext* ctx, const SliceDataParams* s);

// The slice data of the context's current slice with the coder of its picture parameter set;
// adds the decoded macroblocks to the picture's count. Returns 0 or 0x40000000 + the loop's error.
uint32_t decode_slice_data(DecoderContext& ctx);
