#include "h264/stream/cabac.h"

#include <algorithm>

namespace {

// ctxIdxOffset of the elements (Table 9-34).
constexpr uint32_t kMbTypeI = 3;
constexpr uint32_t kMbSkipFlagP = 11;
constexpr uint32_t kMbTypePPrefix = 14;
constexpr uint32_t kMbTypePSuffix = 17;
constexpr uint32_t kSubMbTypeP = 21;
constexpr uint32_t kMvdL0[2] = {40, 47};
constexpr uint32_t kRefIdxL0 = 54;
constexpr uint32_t kMbQpDelta = 60;
constexpr uint32_t kIntraChromaPredMode = 64;
constexpr uint32_t kPrevIntraPredModeFlag = 68;
constexpr uint32_t kRemIntraPredMode = 69;
constexpr uint32_t kCbpLuma = 73;
constexpr uint32_t kCbpChroma = 77;
constexpr uint32_t kTransformSize8x8Flag = 399;

// Residual contexts: [frame, field] offsets of significant_coeff_flag and
// last_significant_coeff_flag for categories 0..4, then category 5; ctxBlockCatOffset (Table 9-40).
constexpr uint32_t kSignificant[2] = {105, 277};
constexpr uint32_t kLast[2] = {166, 338};
constexpr uint32_t kSignificant8x8[2] = {402, 436};
constexpr uint32_t kLast8x8[2] = {417, 451};
constexpr uint32_t kAbsLevel = 227;
constexpr uint32_t kAbsLevel8x8 = 426;
constexpr uint32_t kMapCatOffset[5] = {0, 15, 29, 44, 47};
constexpr uint32_t kAbsLevelCatOffset[5] = {0, 10, 20, 30, 39};

// Longest unary codes accepted: ref_idx_l0 up to 31, and mb_qp_delta -52..52, which keeps
// QP + mb_qp_delta + 52 from going negative.
constexpr uint32_t kMaxRefIdx = 31;
constexpr uint32_t kMaxQpDeltaCode = 104;
// Exp-Golomb suffixes stop growing here; longer ones cannot give a value in 16 bits.
constexpr uint32_t kMaxExpGolombOrder = 17;

// Count of 1 bins before a 0, at most kLimit (3 or more): bin 0 on context `first`, bin 1 on
// `second`, the rest on `rest`. Inlined into each element: the first bin decides most values.
template <uint32_t kLimit>
[[gnu::always_inline]] inline uint32_t decode_unary(CabacDecoder& c, uint32_t first,
                                                    uint32_t second, uint32_t rest) {
  CabacRegisters r = cabac_registers(c);
  uint32_t value = 0;
  if (cabac_decision(r, c.state[first])) {
    value = 1;
    if (cabac_decision(r, c.state[second])) {
      uint8_t& ctx = c.state[rest];
      value = 2;
      while (value < kLimit && cabac_decision(r, ctx)) ++value;
    }
  }
  cabac_store_registers(c, r);
  return value;
}

// Bins 1.. of the Intra mb_type string (Table 9-36) after bin 0 equal to 1: the terminate bin,
// then bins b2 and b3 on ctx[0] and ctx[1], b4 on ctx[2] when b3 = 1, and the two bits of
// Intra16x16PredMode on ctx[3] and ctx[4].
uint32_t decode_intra_mb_type_rest(CabacDecoder& c, const uint32_t (&ctx)[5]) {
  if (cabac_decode_terminate(c)) return 25;
  uint32_t luma = cabac_decode_decision(c, ctx[0]);
  uint32_t chroma = cabac_decode_decision(c, ctx[1]);
  if (chroma) chroma += cabac_decode_decision(c, ctx[2]);
  uint32_t mode = cabac_decode_decision(c, ctx[3]) << 1;
  mode |= cabac_decode_decision(c, ctx[4]);
  return 1 + mode + 4 * chroma + 12 * luma;
}

// Scan indexes of the significant coefficients of a block of category kCat, increasing; returns
// their number. Category and field are constants, so every context sits at a fixed offset from
// the state array and the loop keeps its few pointers in registers.
template <int kCat, bool kField>
[[gnu::always_inline]] inline int decode_significance_map(CabacRegisters& r, uint8_t* state,
                                                          uint8_t* index) {
  constexpr int kMax = kCabacMaxNumCoeff[kCat];
  constexpr bool kIs8x8 = kCat == kCatLuma8x8;
  uint8_t* significant;
  uint8_t* last;
  if constexpr (kIs8x8) {
    significant = state + kSignificant8x8[kField];
    last = state + kLast8x8[kField];
  } else {
    significant = state + kSignificant[kField] + kMapCatOffset[kCat];
    last = state + kLast[kField] + kMapCatOffset[kCat];
  }
  uint8_t* out = index;
  for (int i = 0; i < kMax - 1; ++i) {
    if (!cabac_decision(r, significant[kIs8x8 ? kSignificantCoeffCtxInc8x8[kField][i] : i]))
      continue;
    *out++ = static_cast<uint8_t>(i);
    if (cabac_decision(r, last[kIs8x8 ? kLastCoeffCtxInc8x8[i] : i]))
      return static_cast<int>(out - index);
  }
  *out++ = static_cast<uint8_t>(kMax - 1);
  return static_cast<int>(out - index);
}

// The level of a coefficient whose unary prefix reached 14 (coeff_abs_level_minus1 >= 14):
// 15 plus the zeroth-order Exp-Golomb suffix, or 0 when the suffix is too long.
[[gnu::noinline]] int32_t decode_level_escape(CabacRegisters& r) {
  uint32_t suffix = 0;
  uint32_t k = 0;
  while (cabac_bypass(r)) {
    suffix += 1u << k;
    if (++k > kMaxExpGolombOrder) return 0;
  }
  while (k--) suffix += cabac_bypass(r) << k;
  return static_cast<int32_t>(15 + suffix);
}

// Significance map and levels of a block, placed as p says. A level outside -32768..32767 sets
// error and returns 0.
template <int kCat, bool kField>
[[gnu::always_inline]] inline int decode_residual_block(CabacRegisters& r, uint8_t* state,
                                                        const CoeffPlacement& p, uint32_t& error) {
  // A local copy: the context-state byte stores could otherwise alias the placement's fields.
  const CoeffPlacement place = p;
  uint8_t index[kCabacMaxNumCoeff[kCat]];
  const int count = decode_significance_map<kCat, kField>(r, state, index);
  uint8_t* abs_level;
  if constexpr (kCat == kCatLuma8x8) {
    abs_level = state + kAbsLevel8x8;
  } else {
    abs_level = state + kAbsLevel + kAbsLevelCatOffset[kCat];
  }
  constexpr uint32_t kMaxGt1Inc = kCat == kCatChromaDc ? 3 : 4;
  uint32_t num_eq1 = 0;
  uint32_t num_gt1 = 0;
  for (int j = count - 1; j >= 0; --j) {
    const uint32_t inc0 = num_gt1 ? 0 : std::min(4u, 1 + num_eq1);
    int32_t value;
    if (!cabac_decision(r, abs_level[inc0])) {
      ++num_eq1;
      value = cabac_bypass_sign(r, 1);
    } else {
      ++num_gt1;
      uint8_t& greater = abs_level[5 + std::min(kMaxGt1Inc, num_gt1 - 1)];
      value = 2;
      while (value < 15 && cabac_decision(r, greater)) ++value;
      if (value == 15) [[unlikely]] {
        // An Exp-Golomb suffix, and a level that may leave 16 bits. The call takes a copy of
        // the registers, which keeps r itself out of memory.
        CabacRegisters escape = r;
        value = decode_level_escape(escape);
        r = escape;
        if (value > 0 && cabac_bypass(r)) value = -value;
        if (value == 0 || value > 32767 || value < -32768) {
          error = 1;
          return 0;
        }
      } else {
        value = cabac_bypass_sign(r, value);
      }
    }
    decoder_place_level(place, index[j], value);
  }
  return count;
}

}  // namespace

uint64_t cabac_tail_bytes(const uint8_t* data, uint32_t size, uint32_t next) {
  uint64_t bytes = 0;
  for (uint32_t i = 0; i < 6; ++i) {
    const uint64_t index = uint64_t{next} + i;
    bytes = bytes << 8 | (index < size ? data[index] : 0u);
  }
  return bytes;
}

void cabac_init_contexts(CabacDecoder& c, int slice_qp, int init_column) {
  int qp = std::clamp(slice_qp, 0, 51);
  for (int i = 0; i < kCabacContextCount; ++i) {
    const int8_t* mn = kCabacInitMn[i][init_column];
    int pre = std::clamp(((mn[0] * qp) >> 4) + mn[1], 1, 126);
    c.state[i] = static_cast<uint8_t>(pre <= 63 ? (63 - pre) << 1 : ((pre - 64) << 1) | 1);
  }
}

void cabac_start_engine(CabacDecoder& c, const uint8_t* data, uint32_t size, uint32_t byte_index) {
  c.data = data;
  c.size = size;
  c.next = byte_index;
  c.error = 0;
  CabacRegisters r = cabac_registers(c);
  r.range = 0;
  r.offset = 0;
  cabac_refill(r);
  cabac_store_registers(c, r);
  // 48 bits read: the 9 of codIOffset and 39 ahead.
  c.range = uint64_t{510} << 39;
  if (c.offset >= c.range) c.error = 1;
}

uint32_t cabac_bit_position(const CabacDecoder& c) {
  return 8 * c.next - cabac_lookahead_bits(c.range);
}

uint32_t cabac_decode_terminate(CabacDecoder& c) {
  const uint64_t range = c.range - (uint64_t{2} << cabac_lookahead_bits(c.range));
  if (c.offset >= range) return 1;
  CabacRegisters r = cabac_registers(c);
  r.range = range;
  if (r.range < 256) cabac_refill(r);
  cabac_store_registers(c, r);
  return 0;
}

uint32_t cabac_decode_mb_skip_flag(CabacDecoder& c, bool a, bool b) {
  return cabac_decode_decision(c, kMbSkipFlagP + a + b);
}

uint32_t cabac_decode_mb_type_i(CabacDecoder& c, bool a, bool b) {
  if (!cabac_decode_decision(c, kMbTypeI + a + b)) return 0;
  return decode_intra_mb_type_rest(
      c, {kMbTypeI + 3, kMbTypeI + 4, kMbTypeI + 5, kMbTypeI + 6, kMbTypeI + 7});
}

uint32_t cabac_decode_mb_type_p(CabacDecoder& c) {
  if (cabac_decode_decision(c, kMbTypePPrefix)) {
    if (!cabac_decode_decision(c, kMbTypePSuffix)) return 5;
    return 5 +
           decode_intra_mb_type_rest(c, {kMbTypePSuffix + 1, kMbTypePSuffix + 2, kMbTypePSuffix + 2,
                                         kMbTypePSuffix + 3, kMbTypePSuffix + 3});
  }
  if (cabac_decode_decision(c, kMbTypePPrefix + 1)) {
    return cabac_decode_decision(c, kMbTypePPrefix + 3) ? 1 : 2;
  }
  return cabac_decode_decision(c, kMbTypePPrefix + 2) ? 3 : 0;
}

uint32_t cabac_decode_sub_mb_type_p(CabacDecoder& c) {
  if (cabac_decode_decision(c, kSubMbTypeP)) return 0;
  if (!cabac_decode_decision(c, kSubMbTypeP + 1)) return 1;
  return cabac_decode_decision(c, kSubMbTypeP + 2) ? 2 : 3;
}

uint32_t cabac_decode_ref_idx_l0(CabacDecoder& c, bool a, bool b) {
  const uint32_t value =
      decode_unary<kMaxRefIdx + 1>(c, kRefIdxL0 + a + 2 * b, kRefIdxL0 + 4, kRefIdxL0 + 5);
  if (value <= kMaxRefIdx) return value;
  c.error = 1;
  return 0;
}

int32_t cabac_decode_mvd_l0(CabacDecoder& c, int comp, uint32_t abs_mvd_sum) {
  uint8_t* ctx = c.state + kMvdL0[comp];
  const uint32_t inc = (abs_mvd_sum >= 3) + (abs_mvd_sum > 32);
  CabacRegisters r = cabac_registers(c);
  int32_t value = 0;
  if (cabac_decision(r, ctx[inc])) {
    // Prefix bins 1..8 use ctxIdxInc 3, 4, 5, 6, 6, 6, 6, 6; then a third-order Exp-Golomb
    // suffix and the sign, all in bypass bins.
    uint32_t magnitude = 1;
    while (magnitude < 9 && cabac_decision(r, ctx[std::min(magnitude + 2, 6u)])) ++magnitude;
    if (magnitude == 9) {
      uint32_t k = 3;
      while (cabac_bypass(r)) {
        magnitude += 1u << k;
        if (++k > kMaxExpGolombOrder) {
          cabac_store_registers(c, r);
          c.error = 1;
          return 0;
        }
      }
      while (k--) magnitude += cabac_bypass(r) << k;
    }
    value = cabac_bypass_sign(r, static_cast<int32_t>(magnitude));
  }
  cabac_store_registers(c, r);
  if (value >= -32768 && value <= 32767) return value;
  c.error = 1;
  return 0;
}

int32_t cabac_decode_mb_qp_delta(CabacDecoder& c, bool prev_nonzero) {
  const uint32_t k = decode_unary<kMaxQpDeltaCode + 1>(c, kMbQpDelta + prev_nonzero, kMbQpDelta + 2,
                                                       kMbQpDelta + 3);
  if (k > kMaxQpDeltaCode) {
    c.error = 1;
    return 0;
  }
  int32_t half = static_cast<int32_t>((k + 1) >> 1);
  return (k & 1) ? half : -half;
}

uint32_t cabac_decode_intra_chroma_pred_mode(CabacDecoder& c, bool a, bool b) {
  const uint32_t ctx = kIntraChromaPredMode + 3;
  return decode_unary<3>(c, kIntraChromaPredMode + a + b, ctx, ctx);
}

uint32_t cabac_decode_prev_intra_pred_mode_flag(CabacDecoder& c) {
  return cabac_decode_decision(c, kPrevIntraPredModeFlag);
}

uint32_t cabac_decode_rem_intra_pred_mode(CabacDecoder& c) {
  uint32_t value = cabac_decode_decision(c, kRemIntraPredMode);
  value |= cabac_decode_decision(c, kRemIntraPredMode) << 1;
  return value | (cabac_decode_decision(c, kRemIntraPredMode) << 2);
}

uint32_t cabac_decode_coded_block_pattern(CabacDecoder& c, uint32_t cbp_a, uint32_t cbp_b) {
  // A luma bin counts a neighbouring 8x8 block whose bit is 0: blocks 1 and 3 look left inside
  // the macroblock, 0 and 2 at blocks 1 and 3 of A; blocks 2 and 3 look up inside, 0 and 1 at
  // blocks 2 and 3 of B.
  CabacRegisters r = cabac_registers(c);
  uint8_t* luma_ctx = c.state + kCbpLuma;
  const uint32_t b0 = cabac_decision(r, luma_ctx[(~cbp_a >> 1 & 1) + 2 * (~cbp_b >> 2 & 1)]);
  const uint32_t b1 = cabac_decision(r, luma_ctx[(~b0 & 1) + 2 * (~cbp_b >> 3 & 1)]);
  const uint32_t b2 = cabac_decision(r, luma_ctx[(~cbp_a >> 3 & 1) + 2 * (~b0 & 1)]);
  const uint32_t b3 = cabac_decision(r, luma_ctx[(~b2 & 1) + 2 * (~b1 & 1)]);
  uint32_t cbp = b0 | b1 << 1 | b2 << 2 | b3 << 3;
  const uint32_t chroma_a = cbp_a >> 4;
  const uint32_t chroma_b = cbp_b >> 4;
  uint8_t* chroma_ctx = c.state + kCbpChroma;
  if (cabac_decision(r, chroma_ctx[(chroma_a != 0) + 2 * (chroma_b != 0)])) {
    cbp += 16 * (1 + cabac_decision(r, chroma_ctx[4 + (chroma_a == 2) + 2 * (chroma_b == 2)]));
  }
  cabac_store_registers(c, r);
  return cbp;
}

uint32_t cabac_decode_transform_size_8x8_flag(CabacDecoder& c, bool a, bool b) {
  return cabac_decode_decision(c, kTransformSize8x8Flag + a + b);
}

template <int kCat>
int cabac_decode_residual_block_of(CabacDecoder& c, bool field, const CoeffPlacement& p) {
  CabacRegisters r = cabac_registers(c);
  const int count = field ? decode_residual_block<kCat, true>(r, c.state, p, c.error)
                          : decode_residual_block<kCat, false>(r, c.state, p, c.error);
  cabac_store_registers(c, r);
  return count;
}

template int cabac_decode_residual_block_of<kCatLumaDc>(CabacDecoder&, bool, const CoeffPlacement&);
template int cabac_decode_residual_block_of<kCatLumaAc>(CabacDecoder&, bool, const CoeffPlacement&);
template int cabac_decode_residual_block_of<kCatLuma4x4>(CabacDecoder&, bool,
                                                         const CoeffPlacement&);
template int cabac_decode_residual_block_of<kCatChromaDc>(CabacDecoder&, bool,
                                                          const CoeffPlacement&);
template int cabac_decode_residual_block_of<kCatChromaAc>(CabacDecoder&, bool,
                                                          const CoeffPlacement&);
template int cabac_decode_residual_block_of<kCatLuma8x8>(CabacDecoder&, bool,
                                                         const CoeffPlacement&);
