#include "h264/stream/slice_data.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "h264/decoder/decoder_context.h"
#include "h264/recon/deblock.h"
#include "h264/recon/intra.h"
#include "h264/recon/recon_tables.h"
#include "h264/recon/residual_driver.h"
#include "h264/stream/cabac.h"
#include "h264/stream/cabac_neighbours.h"
#include "h264/stream/cavlc.h"
#include "h264/stream/entropy_neighbours.h"
#include "h264/stream/mb_pred.h"
#include "h264/stream/picture_store.h"

namespace {

const MbInfo kUnavailable{};
const MbMotion kNoMotion{};

// State of the slice being decoded and the neighbours of its current macroblock.
struct SliceRun {
  DecoderContext* ctx;
  const SliceDataParams* s;
  MbWorkArea* wa;
  int32_t size;  // PicSizeInMbs
  MbInfo* cur;
  MbMotion* motion;
  // Neighbours A, B, C, D: kUnavailable, or null in mv, when not available for prediction.
  const MbInfo* a;
  const MbInfo* b;
  const MbInfo* c;
  const MbInfo* d;
  MvNeighbours mv;
  // The same-picture records left and above whatever their slice, for deblocking.
  const MbInfo* left;
  const MbMotion* left_motion;
  const MbInfo* top;
  const MbMotion* top_motion;
  bool last_qp_delta_nonzero;
  InterSlice inter;
  EdgeThresholds thresholds[kQpavCount];  // of the slice's filter offsets
};

const MbMotion& motion_or_none(const MbMotion* m) {
  return m != nullptr ? *m : kNoMotion;
}

const MbInfo* available_or_null(const MbInfo* n) {
  return n->available ? n : nullptr;
}

void set_chroma_qp(MbWorkArea* wa, const SliceDataParams* s) {
  wa->qp_cb = decoder_chroma_qp[std::clamp(wa->qp + s->chroma_qp_index_offset, 0, 51)];
  wa->qp_cr = decoder_chroma_qp[std::clamp(wa->qp + s->second_chroma_qp_index_offset, 0, 51)];
}

uint32_t slice_begin(SliceRun& r, DecoderContext* ctx, const SliceDataParams* s) {
  r = SliceRun{};
  r.ctx = ctx;
  r.s = s;
  r.wa = &ctx->work_area;
  const int64_t width = s->pic_width_in_mbs;
  const int64_t height = s->pic_height_in_mbs << (s->field_pic_flag ? 1 : 0);
  if (width <= 0 || height <= 0 || width > ctx->max_width_mbs || height > ctx->max_height_mbs ||
      s->slice_qp < 0 || s->slice_qp > 51 || s->luma == nullptr)
    return kMbErrorSlice;
  r.size = s->pic_width_in_mbs * s->pic_height_in_mbs;
  r.wa->mb_count = 0;
  if (s->first_mb_in_slice < 0 || s->first_mb_in_slice >= r.size) return kSliceErrorPosition;
  for (uint32_t i = 0; i < 2 * ctx->max_width_mbs; ++i) ctx->mb_info_rows[i].available = 0;
  r.inter = {&ctx->kernels,  s->ref_list,      16 * s->pic_width_in_mbs, 16 * s->pic_height_in_mbs,
             s->luma_stride, s->chroma_stride, s->field_pic_flag,        s->bottom_field_flag};
  decoder_slice_thresholds(r.thresholds, s->filter_offset_a, s->filter_offset_b);
  r.wa->mb_addr = s->first_mb_in_slice;
  r.wa->qp = s->slice_qp;
  set_chroma_qp(r.wa, s);
  return 0;
}

// Points the run at the macroblock at wa->mb_addr and its neighbours.
void begin_mb(SliceRun& r) {
  MbWorkArea* wa = r.wa;
  const int width = r.s->pic_width_in_mbs;
  // After the slice's first macroblock the address only moves on by one.
  int x = wa->mb_x + 1, y = wa->mb_y;
  if (wa->mb_count == 0) {
    x = wa->mb_addr % width;
    y = wa->mb_addr / width;
  } else if (x == width) {
    x = 0;
    ++y;
  }
  wa->mb_x = x;
  wa->mb_y = y;
  const uint32_t stride = r.ctx->max_width_mbs;
  MbInfo* row = r.ctx->mb_info_rows + (y & 1) * stride;
  MbMotion* motion_row = r.ctx->mb_motion_rows + (y & 1) * stride;
  const MbInfo* above = r.ctx->mb_info_rows + ((y + 1) & 1) * stride;
  const MbMotion* motion_above = r.ctx->mb_motion_rows + ((y + 1) & 1) * stride;
  r.cur = row + x;
  r.motion = motion_row + x;
  r.left = x > 0 ? row + x - 1 : nullptr;
  r.left_motion = x > 0 ? motion_row + x - 1 : nullptr;
  r.top = y > 0 ? above + x : nullptr;
  r.top_motion = y > 0 ? motion_above + x : nullptr;
  const bool a = x > 0 && row[x - 1].available;
  const bool b = y > 0 && above[x].available;
  const bool c = y > 0 && x + 1 < width && above[x + 1].available;
  const bool d = y > 0 && x > 0 && above[x - 1].available;
  r.a = a ? row + x - 1 : &kUnavailable;
  r.b = b ? above + x : &kUnavailable;
  r.c = c ? above + x + 1 : &kUnavailable;
  r.d = d ? above + x - 1 : &kUnavailable;
  r.mv = {r.motion, a ? motion_row + x - 1 : nullptr, b ? motion_above + x : nullptr,
          c ? motion_above + x + 1 : nullptr, d ? motion_above + x - 1 : nullptr};
  r.cur->coded_block_flags = 0;
  r.cur->slice_num = r.s->slice_num;
}

void update_qp(SliceRun& r, int32_t mb_qp_delta) {
  const int64_t qp = (int64_t{r.wa->qp} + mb_qp_delta) % 52;
  r.wa->qp = static_cast<int32_t>(qp < 0 ? qp + 52 : qp);
  set_chroma_qp(r.wa, r.s);
  r.last_qp_delta_nonzero = mb_qp_delta != 0;
}

// Copies the parsed fields that later macroblocks and the deblocking filter read into cur.
void store_mb_fields(SliceRun& r) {
  const MbWorkArea* wa = r.wa;
  MbInfo* cur = r.cur;
  cur->mb_type = wa->mb_type;
  cur->coded_block_pattern = wa->coded_block_pattern;
  cur->transform_size_8x8_flag = static_cast<uint8_t>(wa->transform_size_8x8_flag);
  cur->intra_chroma_pred_mode = static_cast<uint8_t>(wa->intra_chroma_pred_mode);
  cur->qp = static_cast<uint8_t>(wa->qp);
  cur->qp_cb = static_cast<uint8_t>(wa->qp_cb);
  cur->qp_cr = static_cast<uint8_t>(wa->qp_cr);
}

void set_intra_motion(MbMotion* m) {
  std::memset(m->ref_idx, -1, sizeof m->ref_idx);
  std::fill(m->ref_pic, m->ref_pic + 4, -1);
  std::memset(m->mv, 0, sizeof m->mv);
}

// Motion-compensated prediction and residual by macroblock kind.
void reconstruct_inter(SliceRun& r) {
  const InterSlice* s = &r.inter;
  MbWorkArea* wa = r.wa;
  switch (wa->mb_type) {
    case kMbPSkip:
      decoder_inter_p_skip(s, wa);
      break;
    case kMbP16x16:
      decoder_inter_p16x16(s, wa);
      break;
    case kMbP16x8:
      decoder_inter_p16x8(s, wa);
      break;
    case kMbP8x16:
      decoder_inter_p8x16(s, wa);
      break;
    default:
      decoder_inter_p8x8(s, wa);
      break;
  }
}

// Strengths, deblocking or store, the per-macroblock array and the advance to the next address.
// Returns true past the last macroblock of the picture.
bool finish_mb(SliceRun& r) {
  const SliceDataParams* s = r.s;
  MbWorkArea* wa = r.wa;
  const int x = wa->mb_x, y = wa->mb_y;
  const int idc = s->disable_deblocking_filter_idc;
  if (idc != 1) {
    const bool filter_left = r.left != nullptr && (idc != 2 || r.a->available);
    const bool filter_top = r.top != nullptr && (idc != 2 || r.b->available);
    if (mb_is_intra(wa->mb_type)) {
      decoder_bs_intra(wa->bs, filter_left, filter_top, s->field_pic_flag != 0,
                       wa->transform_size_8x8_flag != 0);
    } else {
      const InterEdgeNeighbours n{
          r.left,     r.left_motion,         r.top, r.top_motion, filter_left,
          filter_top, s->field_pic_flag != 0};
      decoder_bs_inter_mb(&r.ctx->kernels, wa->bs, r.cur, r.motion, &n);
    }
  }
  const MbFinishContext fc{&r.ctx->kernels,
                           s->luma + 16 * (y * s->luma_stride + x),
                           s->cb + 8 * (y * s->chroma_stride + x),
                           s->cr + 8 * (y * s->chroma_stride + x),
                           s->luma_stride,
                           s->chroma_stride,
                           idc,
                           r.thresholds,
                           r.cur,
                           r.left,
                           r.top};
  decoder_finish_mb(&fc, wa);
  const int32_t words[3] = {wa->mb_type, wa->coded_block_pattern, wa->qp};
  const int64_t index = wa->mb_addr + int64_t{s->bottom_field_flag} * r.size;
  std::memcpy(r.ctx->mb_array + index * MB_ARRAY_BYTES_PER_MB, words, sizeof words);
  r.cur->available = 1;
  ++wa->mb_count;
  ++wa->mb_addr;
  return wa->mb_addr >= r.size;
}

uint32_t pack_vector(const int16_t v[2]) {
  uint32_t word;
  std::memcpy(&word, v, sizeof word);
  return word;
}

// Writes one vector, packed as by pack_vector, into the 4x4 blocks (luma4x4BlkIdx order) of the
// partition at (x4, y4), w4 x h4 in 4x4 blocks: whole 8x8 quadrants, or blocks of one quadrant.
[[gnu::always_inline]] inline void fill_partition(int16_t (*vectors)[2], int x4, int y4, int w4,
                                                  int h4, uint32_t word) {
  const int first = luma4x4_at(x4, y4);
  if (w4 >= 2 && h4 >= 2) {
    const uint32_t quadrant[4] = {word, word, word, word};
    std::memcpy(vectors[first], quadrant, sizeof quadrant);
    if (w4 == 4) std::memcpy(vectors[first + 4], quadrant, sizeof quadrant);
    if (h4 == 4) std::memcpy(vectors[first + 8], quadrant, sizeof quadrant);
    if (w4 == 4 && h4 == 4) std::memcpy(vectors[first + 12], quadrant, sizeof quadrant);
    return;
  }
  for (int y = 0; y < h4; ++y) {
    for (int x = 0; x < w4; ++x) std::memcpy(vectors[first + 2 * y + x], &word, sizeof word);
  }
}

uint32_t decode_p_skip(SliceRun& r) {
  const SliceRefPicture& ref = r.s->ref_list[0];
  if (ref.luma == nullptr) return kMbErrorSyntax;
  MbWorkArea* wa = r.wa;
  wa->mb_type = kMbPSkip;
  wa->coded_block_pattern = 0;
  wa->transform_size_8x8_flag = 0;
  wa->intra_chroma_pred_mode = 0;
  store_mb_fields(r);
  MbInfo* cur = r.cur;
  cur->coded_blocks = 0;
  std::memset(cur->total_coeff, 0, sizeof cur->total_coeff);
  MbMotion* m = r.motion;
  std::memset(m->ref_idx, 0, sizeof m->ref_idx);
  std::fill(m->ref_pic, m->ref_pic + 4, ref.id);
  int16_t mv[2];
  decoder_p_skip_mv(r.mv, mv);
  fill_partition(m->mv, 0, 0, 4, 4, pack_vector(mv));
  fill_partition(wa->mv_l0, 0, 0, 4, 4, pack_vector(mv));
  std::memset(wa->ref_idx_l0, 0, sizeof wa->ref_idx_l0);
  r.last_qp_delta_nonzero = false;
  reconstruct_inter(r);
  return 0;
}

// Residual blocks through the CAVLC block decoder, nC from the counts around the macroblock.
struct CavlcBlockReader {
  BitReader* br;
  CavlcCounts counts;

  static constexpr int kMaxNumCoeff[6] = {16, 15, 16, 16, 4, 15};

  bool interleaved_8x8() const { return true; }
  int read(int kind, int index, const CoeffPlacement& p) {
    int32_t level[16];
    uint8_t run[16];
    const int blk = kind == kResidualChromaAc ? 16 + index : index;
    const int nc =
        kind == kResidualChromaDc ? -1 : cavlc_nc_of(counts, kind == kResidualLumaDc ? 0 : blk);
    const int n = cavlc_decode_residual_block(*br, nc, kMaxNumCoeff[kind], level, run);
    if (kind != kResidualChromaDc && kind != kResidualLumaDc)
      counts.count[blk] = static_cast<uint8_t>(n < 0 ? 0 : n);
    if (n > 0) decoder_place_levels(p, level, run, n, kMaxNumCoeff[kind]);
    return n;
  }
};

// Residual blocks through CABAC, with their coded_block_flag and its bits in cur.
struct CabacBlockReader {
  CabacDecoder* c;
  MbInfo* cur;
  uint64_t a_flags;  // cabac_cbf_neighbour_word of A and B
  uint64_t b_flags;
  bool field;

  bool interleaved_8x8() const { return false; }

  template <int kCat>
  int read_block(int index, const CoeffPlacement& p) {
    if constexpr (kCat == kCatLuma8x8) {
      const int n = cabac_decode_residual_block_of<kCat>(*c, field, p);
      cur->coded_block_flags |= cabac_coded_block_bits(kCat, index);
      return c->error ? -1 : n;
    } else {
      const CbfNeighbourBits& bits = cabac_cbf_neighbour_bits(kCat, index);
      const uint32_t flags = cur->coded_block_flags;
      const uint32_t a = ((flags | a_flags) >> bits.left) & 1;
      const uint32_t b = ((flags | b_flags) >> bits.up) & 1;
      const int n = cabac_decode_coded_block_of<kCat>(*c, a + 2 * b, field, p);
      if (n != 0) cur->coded_block_flags = flags | 1u << bits.own;
      return c->error ? -1 : n;
    }
  }

  int read(int kind, int index, const CoeffPlacement& p) {
    switch (kind) {
      case kResidualLumaDc:
        return read_block<kCatLumaDc>(index, p);
      case kResidualLumaAc:
        return read_block<kCatLumaAc>(index, p);
      case kResidualLuma4x4:
        return read_block<kCatLuma4x4>(index, p);
      case kResidualLuma8x8:
        return read_block<kCatLuma8x8>(index, p);
      case kResidualChromaDc:
        return read_block<kCatChromaDc>(index, p);
      default:
        return read_block<kCatChromaAc>(index, p);
    }
  }
};

bool read_pcm_bytes(const BitReader& br, uint32_t byte, uint8_t* samples) {
  if (byte > br.size || br.size - byte < 384) return false;
  std::memcpy(samples, br.data + byte, 384);
  return true;
}

// The syntax elements of the macroblock layer as CAVLC codes them.
struct CavlcSyntax {
  static constexpr bool kKeepsMvd = false;
  BitReader& br;

  uint32_t transform_size_8x8_flag(SliceRun&) { return read_flag(br); }
  uint32_t prev_intra_pred_mode_flag() { return read_flag(br); }
  uint32_t rem_intra_pred_mode() { return read_bits(br, 3); }
  uint32_t intra_chroma_pred_mode(SliceRun&) { return read_ue(br); }
  int coded_block_pattern(SliceRun&, bool intra) {
    return cavlc_coded_block_pattern(read_ue(br), intra);
  }
  int32_t mb_qp_delta(SliceRun&) { return read_se(br); }
  uint32_t sub_mb_type() { return read_ue(br); }
  uint32_t ref_idx(SliceRun& r, int) {
    return cavlc_read_ref_idx(br, static_cast<uint32_t>(r.s->num_ref_idx_l0_active_minus1));
  }
  int32_t mvd(SliceRun&, int, int) { return read_se(br); }
  bool pcm(uint8_t* samples) {
    br.position = (br.position + 7) & ~7u;
    if (!read_pcm_bytes(br, br.position >> 3, samples)) return false;
    br.position += 384 * 8;
    return true;
  }
  bool failed() const { return false; }
  int residual(SliceRun& r) {
    CavlcBlockReader reader{&br, {}};
    cavlc_counts_begin(&reader.counts, *r.a, *r.b);
    return decoder_residual_mb_with(&r.ctx->kernels, r.wa, r.cur, r.s->level_scale,
                                    r.s->field_pic_flag, reader);
  }
};

// The same elements as CABAC decodes them, contexts chosen from the neighbour records.
struct CabacSyntax {
  static constexpr bool kKeepsMvd = true;  // context selection reads the neighbours' mvd_l0
  CabacDecoder& c;
  const BitReader& br;

  uint32_t transform_size_8x8_flag(SliceRun& r) {
    return cabac_decode_transform_size_8x8_flag(c, cabac_cond_transform_size_8x8(*r.a),
                                                cabac_cond_transform_size_8x8(*r.b));
  }
  uint32_t prev_intra_pred_mode_flag() { return cabac_decode_prev_intra_pred_mode_flag(c); }
  uint32_t rem_intra_pred_mode() { return cabac_decode_rem_intra_pred_mode(c); }
  uint32_t intra_chroma_pred_mode(SliceRun& r) {
    return cabac_decode_intra_chroma_pred_mode(c, cabac_cond_intra_chroma_pred_mode(*r.a),
                                               cabac_cond_intra_chroma_pred_mode(*r.b));
  }
  int coded_block_pattern(SliceRun& r, bool) {
    return static_cast<int>(
        cabac_decode_coded_block_pattern(c, cabac_cbp_neighbour(*r.a), cabac_cbp_neighbour(*r.b)));
  }
  int32_t mb_qp_delta(SliceRun& r) { return cabac_decode_mb_qp_delta(c, r.last_qp_delta_nonzero); }
  uint32_t sub_mb_type() { return cabac_decode_sub_mb_type_p(c); }
  uint32_t ref_idx(SliceRun& r, int blk) {
    const CabacConds conds = cabac_ref_idx_conds(
        blk, r.wa->ref_idx_l0, *r.a, motion_or_none(r.mv.a), *r.b, motion_or_none(r.mv.b));
    return cabac_decode_ref_idx_l0(c, conds.a, conds.b);
  }
  int32_t mvd(SliceRun& r, int blk, int comp) {
    const uint32_t sum = cabac_abs_mvd_sum(blk, comp, r.motion->mvd, *r.a, motion_or_none(r.mv.a),
                                           *r.b, motion_or_none(r.mv.b));
    return cabac_decode_mvd_l0(c, comp, sum);
  }
  // The samples follow the arithmetic codeword, byte aligned; the engine restarts after them.
  bool pcm(uint8_t* samples) {
    const uint32_t byte = (cabac_bit_position(c) + 7) >> 3;
    if (!read_pcm_bytes(br, byte, samples)) return false;
    cabac_start_engine(c, br.data, br.size, byte + 384);
    return c.error == 0;
  }
  bool failed() const { return c.error != 0; }
  int residual(SliceRun& r) {
    const bool intra = mb_is_intra(r.wa->mb_type);
    CabacBlockReader reader{&c, r.cur, cabac_cbf_neighbour_word(*r.a, intra),
                            cabac_cbf_neighbour_word(*r.b, intra), r.s->field_pic_flag != 0};
    return decoder_residual_mb_with(&r.ctx->kernels, r.wa, r.cur, r.s->level_scale,
                                    r.s->field_pic_flag, reader);
  }
};

template <typename Syntax>
uint32_t decode_pcm(SliceRun& r, Syntax& syntax) {
  uint8_t samples[384];
  if (!syntax.pcm(samples)) return kMbErrorSyntax;
  MbWorkArea* wa = r.wa;
  wa->coded_block_pattern = 0x2F;
  wa->intra_chroma_pred_mode = 0;
  wa->transform_size_8x8_flag = 0;
  MbInfo* cur = r.cur;
  cur->mb_type = kMbIPcm;
  cur->coded_block_pattern = 0x2F;
  cur->intra_chroma_pred_mode = 0;
  decoder_pcm_mb(wa, cur, samples, r.s->chroma_qp_index_offset, r.s->second_chroma_qp_index_offset);
  set_intra_motion(r.motion);
  r.last_qp_delta_nonzero = false;
  return 0;
}

template <typename Syntax>
uint32_t parse_intra_pred(SliceRun& r, Syntax& syntax) {
  MbWorkArea* wa = r.wa;
  if (wa->mb_type == kMbINxN) {
    if (r.s->transform_8x8_mode_flag)
      wa->transform_size_8x8_flag = static_cast<int32_t>(syntax.transform_size_8x8_flag(r));
    const int step = wa->transform_size_8x8_flag ? 4 : 1;
    for (int i = 0; i < 16; i += step) {
      wa->prev_intra_pred_mode_flag[i] = static_cast<uint8_t>(syntax.prev_intra_pred_mode_flag());
      if (!wa->prev_intra_pred_mode_flag[i])
        wa->rem_intra_pred_mode[i] = static_cast<uint8_t>(syntax.rem_intra_pred_mode());
    }
  } else {
    wa->intra16x16_pred_mode = (wa->mb_type - kMbI16x16First) & 3;
  }
  const uint32_t chroma = syntax.intra_chroma_pred_mode(r);
  if (chroma > 3) return kMbErrorSyntax;
  wa->intra_chroma_pred_mode = static_cast<int32_t>(chroma);
  set_intra_motion(r.motion);
  return 0;
}

// Reads ref_idx_l0 of the partition whose top-left block is blk and checks it against the list.
template <typename Syntax>
bool read_ref_idx(SliceRun& r, Syntax& syntax, int blk, bool inferred_zero, int8_t* ref_idx) {
  uint32_t value = 0;
  if (!inferred_zero && r.s->num_ref_idx_l0_active_minus1 > 0) value = syntax.ref_idx(r, blk);
  if (value > static_cast<uint32_t>(r.s->num_ref_idx_l0_active_minus1) ||
      r.s->ref_list[value].luma == nullptr)
    return false;
  *ref_idx = static_cast<int8_t>(value);
  return true;
}

// mvd_l0 of a partition (x4, y4, w4 x h4 in 4x4 blocks), its prediction and the resulting
// vector, stored for every 4x4 block of the partition.
template <typename Syntax>
void read_partition_mv(SliceRun& r, Syntax& syntax, int x4, int y4, int w4, int h4) {
  MbMotion* m = r.motion;
  const int first = luma4x4_at(x4, y4);
  int16_t mvd[2];
  mvd[0] = static_cast<int16_t>(syntax.mvd(r, first, 0));
  mvd[1] = static_cast<int16_t>(syntax.mvd(r, first, 1));
  int16_t mvp[2];
  decoder_predict_mv(r.mv, x4, y4, w4, h4, m->ref_idx[first >> 2], mvp);
  const int16_t mv[2] = {static_cast<int16_t>(static_cast<uint16_t>(mvp[0] + mvd[0])),
                         static_cast<int16_t>(static_cast<uint16_t>(mvp[1] + mvd[1]))};
  if constexpr (Syntax::kKeepsMvd) fill_partition(m->mvd, x4, y4, w4, h4, pack_vector(mvd));
  fill_partition(m->mv, x4, y4, w4, h4, pack_vector(mv));
  fill_partition(r.wa->mv_l0, x4, y4, w4, h4, pack_vector(mv));
}

void set_quadrant_refs(SliceRun& r) {
  for (int q = 0; q < 4; ++q) {
    r.motion->ref_idx[q] = r.wa->ref_idx_l0[q];
    r.motion->ref_pic[q] = r.s->ref_list[r.wa->ref_idx_l0[q]].id;
  }
}

// Sub-macroblock partitions of sub_mb_type 0..3: count, width and height in 4x4 blocks.
constexpr int kSubParts[4][3] = {{1, 2, 2}, {2, 2, 1}, {2, 1, 2}, {4, 1, 1}};

template <typename Syntax>
uint32_t parse_inter_pred(SliceRun& r, Syntax& syntax) {
  MbWorkArea* wa = r.wa;
  const int32_t type = wa->mb_type;
  if (type == kMbP8x8 || type == kMbP8x8Ref0) {
    for (int q = 0; q < 4; ++q) {
      const uint32_t sub = syntax.sub_mb_type();
      if (sub > 3) return kMbErrorSyntax;
      wa->sub_mb_type[q] = static_cast<uint8_t>(sub);
    }
    for (int q = 0; q < 4; ++q) {
      if (!read_ref_idx(r, syntax, 4 * q, type == kMbP8x8Ref0, &wa->ref_idx_l0[q]))
        return kMbErrorSyntax;
    }
    set_quadrant_refs(r);
    for (int q = 0; q < 4; ++q) {
      const int* part = kSubParts[wa->sub_mb_type[q]];
      for (int i = 0; i < part[0]; ++i) {
        const int x4 = 2 * (q & 1) + (part[1] == 1 ? i & 1 : 0);
        const int y4 = 2 * (q >> 1) + (part[2] == 1 ? (part[0] == 4 ? i >> 1 : i) : 0);
        read_partition_mv(r, syntax, x4, y4, part[1], part[2]);
      }
    }
    return 0;
  }
  // Partitions: 16x16, 16x8 (upper, lower), 8x16 (left, right).
  const int parts = type == kMbP16x16 ? 1 : 2;
  const int w4 = type == kMbP8x16 ? 2 : 4, h4 = type == kMbP16x8 ? 2 : 4;
  for (int p = 0; p < parts; ++p) {
    const int x4 = type == kMbP8x16 ? 2 * p : 0, y4 = type == kMbP16x8 ? 2 * p : 0;
    int8_t ref = 0;
    if (!read_ref_idx(r, syntax, luma4x4_at(x4, y4), false, &ref)) return kMbErrorSyntax;
    for (int q = 0; q < 4; ++q) {
      const bool covered = parts == 1 || (type == kMbP16x8 ? (q >> 1) == p : (q & 1) == p);
      if (covered) wa->ref_idx_l0[q] = ref;
    }
  }
  set_quadrant_refs(r);
  for (int p = 0; p < parts; ++p)
    read_partition_mv(r, syntax, type == kMbP8x16 ? 2 * p : 0, type == kMbP16x8 ? 2 * p : 0, w4,
                      h4);
  return 0;
}

uint32_t reconstruct_intra(SliceRun& r) {
  MbWorkArea* wa = r.wa;
  const IntraNeighbours n{available_or_null(r.a), available_or_null(r.b), available_or_null(r.c),
                          available_or_null(r.d), r.s->constrained_intra_pred_flag};
  const ReconKernels* k = &r.ctx->kernels;
  int error;
  if (wa->mb_type == kMbINxN) {
    error = wa->transform_size_8x8_flag ? decoder_intra8x8_mb(k, wa, r.cur, &n)
                                        : decoder_intra4x4_mb(k, wa, r.cur, &n);
  } else {
    error = decoder_intra16x16_mb(k, wa, r.cur, &n);
  }
  return error ? kMbErrorIntra : 0;
}

// One macroblock of internal type mb_type (not P_Skip): syntax, residual and reconstruction.
template <typename Syntax>
uint32_t decode_mb(SliceRun& r, Syntax& syntax, int32_t mb_type) {
  MbWorkArea* wa = r.wa;
  wa->mb_type = mb_type;
  wa->transform_size_8x8_flag = 0;
  wa->intra_chroma_pred_mode = 0;
  if (mb_type == kMbIPcm) return decode_pcm(r, syntax);
  const bool intra = mb_is_intra(mb_type);
  const bool i16x16 = mb_type >= kMbI16x16First && mb_type < kMbIPcm;
  const uint32_t error = intra ? parse_intra_pred(r, syntax) : parse_inter_pred(r, syntax);
  if (error) return error;
  if (i16x16) {
    const int t = mb_type - kMbI16x16First;
    wa->coded_block_pattern = (t >= 12 ? 15 : 0) | ((t >> 2) % 3) << 4;
  } else {
    const int cbp = syntax.coded_block_pattern(r, intra);
    if (cbp < 0) return kMbErrorSyntax;
    wa->coded_block_pattern = cbp;
    const bool sub_8x8 =
        (mb_type != kMbP8x8 && mb_type != kMbP8x8Ref0) ||
        (wa->sub_mb_type[0] | wa->sub_mb_type[1] | wa->sub_mb_type[2] | wa->sub_mb_type[3]) == 0;
    if (!intra && (cbp & 15) && r.s->transform_8x8_mode_flag && sub_8x8)
      wa->transform_size_8x8_flag = static_cast<int32_t>(syntax.transform_size_8x8_flag(r));
  }
  if (wa->coded_block_pattern != 0 || i16x16) {
    update_qp(r, syntax.mb_qp_delta(r));
  } else {
    r.last_qp_delta_nonzero = false;
  }
  if (syntax.failed()) return kMbErrorSyntax;
  store_mb_fields(r);
  if (syntax.residual(r)) return kMbErrorResidual;
  if (!intra) {
    reconstruct_inter(r);
    return 0;
  }
  return reconstruct_intra(r);
}

struct StorePlanes {
  uint8_t* y;
  uint8_t* cb;
  uint8_t* cr;
};

// First sample of each plane of a frame store, or of its bottom field (one frame row down).
StorePlanes store_planes(uint8_t* buffer, uint32_t plane, int32_t width, bool bottom) {
  const int32_t y = bottom ? width : 0, c = bottom ? width / 2 : 0;
  return {buffer + y, buffer + plane + c, buffer + plane * 5 / 4 + c};
}

}  // namespace

void slice_data_params_from_context(const DecoderContext& ctx, SliceDataParams* s) {
  const SliceHeader& h = ctx.slice;
  const PictureParameterSet& pps = ctx.active_pps;
  *s = SliceDataParams{};
  s->slice_type = static_cast<int32_t>(h.slice_type);
  s->first_mb_in_slice = static_cast<int32_t>(std::min<uint32_t>(h.first_mb_in_slice, INT32_MAX));
  s->slice_num = static_cast<int32_t>(ctx.slice_num);
  s->pic_width_in_mbs = static_cast<int32_t>(h.PicWidthInMbs);
  s->pic_height_in_mbs = static_cast<int32_t>(h.PicHeightInMbs);
  s->field_pic_flag = static_cast<int32_t>(h.field_pic_flag);
  s->bottom_field_flag = static_cast<int32_t>(h.bottom_field_flag);
  s->slice_qp = 26 + pps.pic_init_qp_minus26 + h.slice_qp_delta;
  s->cabac_init_idc = static_cast<int32_t>(h.cabac_init_idc);
  s->num_ref_idx_l0_active_minus1 = static_cast<int32_t>(h.num_ref_idx_l0_active_minus1);
  s->disable_deblocking_filter_idc = static_cast<int32_t>(h.disable_deblocking_filter_idc);
  s->filter_offset_a = 2 * h.slice_alpha_c0_offset_div2;
  s->filter_offset_b = 2 * h.slice_beta_offset_div2;
  s->transform_8x8_mode_flag = static_cast<int32_t>(pps.transform_8x8_mode_flag);
  s->constrained_intra_pred_flag = static_cast<int32_t>(pps.constrained_intra_pred_flag);
  s->chroma_qp_index_offset = pps.chroma_qp_index_offset;
  s->second_chroma_qp_index_offset = pps.second_chroma_qp_index_offset;
  s->level_scale = &ctx.level_scale;
  if (ctx.current_store < 0 || h.PicWidthInMbs > ctx.max_width_mbs ||
      h.PicHeightInMbs > ctx.max_height_mbs)
    return;
  const uint32_t plane = ctx.max_width_mbs * ctx.max_height_mbs * 256;
  const int32_t width = s->pic_width_in_mbs * 16;
  const int field = s->field_pic_flag ? 1 : 0;
  const StorePlanes cur =
      store_planes(ctx.stores[ctx.current_store].buffer, plane, width, s->bottom_field_flag != 0);
  s->luma = cur.y;
  s->cb = cur.cb;
  s->cr = cur.cr;
  s->luma_stride = width << field;
  s->chroma_stride = (width / 2) << field;
  const uint32_t count = std::min<uint32_t>(ctx.ref_list0_size, kMaxRefIdx);
  for (uint32_t i = 0; i < count; ++i) {
    const RefPicture& ref = ctx.ref_list0[i];
    // A frame predicts from frames only, a field from fields only.
    if (ref.store < 0 || (ref.structure == PICTURE_FRAME) == (field != 0)) continue;
    const StorePlanes p =
        store_planes(ctx.stores[ref.store].buffer, plane, width, ref.structure == PICTURE_BOTTOM);
    SliceRefPicture& out = s->ref_list[i];
    out.luma = p.y;
    out.cb = p.cb;
    out.cr = p.cr;
    out.id = ref.store * 4 + static_cast<int32_t>(ref.structure);
    out.bottom = ref.structure == PICTURE_BOTTOM ? 1 : 0;
  }
}

uint32_t decode_slice_data_cavlc(DecoderContext* ctx, const SliceDataParams* s) {
  SliceRun r;
  if (uint32_t error = slice_begin(r, ctx, s)) return error;
  if (s->slice_type != 0 && s->slice_type != 2) return 0;
  BitReader& br = ctx->reader;
  CavlcSyntax syntax{br};
  for (;;) {
    if (s->slice_type == 0) {
      const uint32_t run = read_ue(br);
      if (run > static_cast<uint32_t>(r.size - r.wa->mb_addr)) return kSliceErrorPosition;
      for (uint32_t i = 0; i < run; ++i) {
        begin_mb(r);
        if (uint32_t error = decode_p_skip(r)) return error;
        if (finish_mb(r)) return 0;
      }
      if (!more_rbsp_data(br)) return 0;
    }
    const uint32_t mb_type = read_ue(br);
    const uint32_t limit = s->slice_type == 0 ? 30 : 25;
    if (mb_type > limit) return s->slice_type == 0 ? kSliceErrorPMbType : kMbErrorSyntax;
    begin_mb(r);
    const int32_t code = static_cast<int32_t>(mb_type) + (s->slice_type == 0 ? kMbP16x16 : kMbINxN);
    if (uint32_t error = decode_mb(r, syntax, code)) return error;
    if (finish_mb(r) || !more_rbsp_data(br)) return 0;
  }
}

uint32_t decode_slice_data_cabac(DecoderContext* ctx, const SliceDataParams* s) {
  SliceRun r;
  if (uint32_t error = slice_begin(r, ctx, s)) return error;
  if (s->slice_type != 0 && s->slice_type != 2) return 0;
  BitReader& br = ctx->reader;
  br.position = (br.position + 7) & ~7u;
  CabacDecoder c;
  cabac_init_contexts(c, s->slice_qp, s->slice_type == 2 ? 0 : 1 + s->cabac_init_idc);
  cabac_start_engine(c, br.data, br.size, br.position >> 3);
  if (c.error) return kMbErrorSyntax;
  CabacSyntax syntax{c, br};
  for (;;) {
    begin_mb(r);
    std::memset(r.motion->mvd, 0, sizeof r.motion->mvd);
    uint32_t error;
    if (s->slice_type == 0 &&
        cabac_decode_mb_skip_flag(c, cabac_cond_skip(*r.a), cabac_cond_skip(*r.b))) {
      error = decode_p_skip(r);
    } else if (s->slice_type == 0) {
      error = decode_mb(r, syntax, static_cast<int32_t>(cabac_decode_mb_type_p(c)) + kMbP16x16);
    } else {
      const uint32_t mb_type =
          cabac_decode_mb_type_i(c, cabac_cond_mb_type_i(*r.a), cabac_cond_mb_type_i(*r.b));
      error = decode_mb(r, syntax, static_cast<int32_t>(mb_type) + kMbINxN);
    }
    if (error == 0 && c.error) error = kMbErrorSyntax;
    if (error) return error;
    const uint32_t end_of_slice = cabac_decode_end_of_slice_flag(c);
    if (finish_mb(r) || end_of_slice) return 0;
    if (cabac_bit_position(c) > br.rbsp_bits + 8) return 0;
  }
}

uint32_t decode_slice_data(DecoderContext& ctx) {
  SliceDataParams params;
  slice_data_params_from_context(ctx, &params);
  const uint32_t error = ctx.active_pps.entropy_coding_mode_flag
                             ? decode_slice_data_cabac(&ctx, &params)
                             : decode_slice_data_cavlc(&ctx, &params);
  ctx.mb_count += static_cast<uint32_t>(ctx.work_area.mb_count);
  return error ? 0x40000000u + error : 0;
}
