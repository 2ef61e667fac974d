// Syntax elements written with the bin strings and ctxIdx lists of the binarisation tables and
// decoded back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "h264/entropy_cabac_writer.h"
#include "h264/stream/cabac.h"

using entropy_test::CabacWriter;

namespace {

// A residual block placed unscaled in scan order: one entry per coefficient of the block, one
// more when anything landed past the block's end.
std::vector<int> decode_block(CabacDecoder& d, int cat, bool field, int* count) {
  constexpr int kRoom = 80;
  std::array<uint8_t, kRoom> scan;
  std::array<uint16_t, kRoom> unit;
  for (int i = 0; i < kRoom; ++i) {
    scan[i] = static_cast<uint8_t>(i);
    unit[i] = 1;
  }
  int16_t coeff[kRoom] = {};
  *count =
      cabac_decode_residual_block(d, cat, field, {coeff, scan.data(), unit.data(), 1, 0, 0, 0});
  const int size = kCabacMaxNumCoeff[cat];
  std::vector<int> list(coeff, coeff + size);
  if (std::any_of(coeff + size, coeff + kRoom, [](int16_t c) { return c != 0; })) list.push_back(0);
  return list;
}

constexpr int T = -1;  // a terminate bin in a ctxIdx list

void put_bins(CabacWriter& w, const std::string& bins, const std::vector<int>& ctx) {
  ASSERT_EQ(bins.size(), ctx.size());
  for (size_t i = 0; i < bins.size(); ++i) {
    uint32_t bin = bins[i] == '1';
    if (ctx[i] == T) {
      w.terminate(bin);
    } else {
      w.decision(ctx[i], bin);
    }
  }
}

// Table 9-36: bin strings of I mb_type 0..25.
const char* const kIntraMbTypeBins[26] = {
    "0",       "100000",  "100001",  "100010",  "100011",  "1001000", "1001001",
    "1001010", "1001011", "1001100", "1001101", "1001110", "1001111", "101000",
    "101001",  "101010",  "101011",  "1011000", "1011001", "1011010", "1011011",
    "1011100", "1011101", "1011110", "1011111", "11"};

void put_mb_type_i(CabacWriter& w, int value, int inc) {
  std::string bins = kIntraMbTypeBins[value];
  std::vector<int> ctx = {3 + inc, T, 6, 7, 9, 10};
  if (bins.size() == 7) ctx = {3 + inc, T, 6, 7, 8, 9, 10};
  ctx.resize(bins.size());
  put_bins(w, bins, ctx);
}

void put_mb_type_p(CabacWriter& w, int value) {
  static const char* const kPrefix[4] = {"000", "011", "010", "001"};
  if (value < 4) {
    put_bins(
        w, kPrefix[value],
        value == 1 || value == 2 ? std::vector<int>{14, 15, 17} : std::vector<int>{14, 15, 16});
    return;
  }
  w.decision(14, 1);
  std::string bins = kIntraMbTypeBins[value - 5];
  std::vector<int> ctx = {17, T, 18, 19, 20, 20};
  if (bins.size() == 7) ctx = {17, T, 18, 19, 19, 20, 20};
  ctx.resize(bins.size());
  put_bins(w, bins, ctx);
}

void put_sub_mb_type(CabacWriter& w, int value) {
  static const char* const kBins[4] = {"1", "00", "011", "010"};
  static const std::vector<int> kCtx[4] = {{21}, {21, 22}, {21, 22, 23}, {21, 22, 23}};
  put_bins(w, kBins[value], kCtx[value]);
}

// Unary code of `value` with ctxIdx per bin from ctx (the last entry repeats).
void put_unary(CabacWriter& w, uint32_t value, const std::vector<int>& ctx) {
  for (uint32_t i = 0; i <= value; ++i) {
    w.decision(ctx[std::min<size_t>(i, ctx.size() - 1)], i < value);
  }
}

// UEGk without sign: TU prefix of Min(uCoff, value), then the k-th order Exp-Golomb suffix in
// bypass bins.
void put_ueg(CabacWriter& w, uint32_t value, uint32_t k, uint32_t u_coff,
             const std::vector<int>& prefix_ctx) {
  uint32_t prefix = std::min(u_coff, value);
  for (uint32_t i = 0; i < prefix; ++i) w.decision(prefix_ctx[std::min<size_t>(i, 13)], 1);
  if (prefix < u_coff) {
    w.decision(prefix_ctx[std::min<size_t>(prefix, 13)], 0);
    return;
  }
  uint32_t s = value - u_coff;
  while (s >= (1u << k)) {
    w.bypass(1);
    s -= 1u << k;
    ++k;
  }
  w.bypass(0);
  while (k--) w.bypass((s >> k) & 1);
}

void put_mvd(CabacWriter& w, int value, int comp, uint32_t abs_sum) {
  int base = comp ? 47 : 40;
  int inc0 = abs_sum < 3 ? 0 : abs_sum <= 32 ? 1 : 2;
  std::vector<int> ctx = {base + inc0, base + 3, base + 4, base + 5, base + 6,
                          base + 6,    base + 6, base + 6, base + 6};
  put_ueg(w, static_cast<uint32_t>(std::abs(value)), 3, 9, ctx);
  if (value) w.bypass(value < 0);
}

void put_mb_qp_delta(CabacWriter& w, int value, bool prev_nonzero) {
  uint32_t k = value > 0 ? 2 * value - 1 : -2 * value;
  put_unary(w, k, {60 + prev_nonzero, 62, 63});
}

// TU with cMax 3.
void put_intra_chroma_pred_mode(CabacWriter& w, int value, int inc0) {
  const int ctx[3] = {64 + inc0, 67, 67};
  for (int i = 0; i < std::min(value + 1, 3); ++i) w.decision(ctx[i], i < value);
}

// What coded_block_pattern's contexts see of a neighbouring macroblock.
struct CbpNeighbour {
  enum Kind { kUnavailable, kSkip, kPcm, kCoded } kind;
  uint32_t cbp;

  uint32_t decoder_value() const {
    switch (kind) {
      case kUnavailable:
        return kCabacCbpUnavailable;
      case kSkip:
        return kCabacCbpSkip;
      case kPcm:
        return kCabacCbpPcm;
      default:
        return cbp;
    }
  }
  // condTermFlagN of luma bin for 8x8 block b8 of this macroblock.
  int luma_cond(uint32_t b8) const {
    if (kind == kUnavailable || kind == kPcm) return 0;
    if (kind == kCoded && ((cbp >> b8) & 1)) return 0;
    return 1;
  }
  int chroma_cond(int bin) const {
    if (kind == kUnavailable || kind == kSkip) return 0;
    if (kind == kPcm) return 1;
    return bin == 0 ? (cbp >> 4) != 0 : (cbp >> 4) == 2;
  }
};

void put_coded_block_pattern(CabacWriter& w, uint32_t cbp, const CbpNeighbour& a,
                             const CbpNeighbour& b) {
  for (uint32_t b8 = 0; b8 < 4; ++b8) {
    int cond_a = (b8 & 1) ? !((cbp >> (b8 - 1)) & 1) : a.luma_cond(b8 + 1);
    int cond_b = (b8 & 2) ? !((cbp >> (b8 - 2)) & 1) : b.luma_cond(b8 + 2);
    w.decision(73 + cond_a + 2 * cond_b, (cbp >> b8) & 1);
  }
  uint32_t chroma = cbp >> 4;
  w.decision(77 + a.chroma_cond(0) + 2 * b.chroma_cond(0), chroma != 0);
  if (chroma) w.decision(81 + a.chroma_cond(1) + 2 * b.chroma_cond(1), chroma == 2);
}

// First ctxIdx per ctxBlockCat 0..4 of the residual elements (the ranges of the context map).
const int kSignificantFrame[5] = {105, 120, 134, 149, 152};
const int kSignificantField[5] = {277, 292, 306, 321, 324};
const int kLastFrame[5] = {166, 181, 195, 210, 213};
const int kLastField[5] = {338, 353, 367, 382, 385};
const int kAbsLevel[5] = {227, 237, 247, 257, 266};

void put_residual_block(CabacWriter& w, int cat, bool field, const std::vector<int>& coeff) {
  const int count = static_cast<int>(coeff.size());
  int last = count - 1;
  while (coeff[last] == 0) --last;
  for (int i = 0; i < count - 1; ++i) {
    int sig_ctx = cat == 5 ? (field ? 436 : 402) + kSignificantCoeffCtxInc8x8[field][i]
                           : (field ? kSignificantField : kSignificantFrame)[cat] + i;
    int last_ctx = cat == 5 ? (field ? 451 : 417) + kLastCoeffCtxInc8x8[i]
                            : (field ? kLastField : kLastFrame)[cat] + i;
    w.decision(sig_ctx, coeff[i] != 0);
    if (coeff[i] == 0) continue;
    w.decision(last_ctx, i == last);
    if (i == last) break;
  }
  int base = cat == 5 ? 426 : kAbsLevel[cat];
  int eq1 = 0;
  int gt1 = 0;
  for (int i = last; i >= 0; --i) {
    if (coeff[i] == 0) continue;
    uint32_t abs_minus1 = static_cast<uint32_t>(std::abs(coeff[i])) - 1;
    std::vector<int> ctx(14, base + 5 + std::min(cat == 3 ? 3 : 4, gt1));
    ctx[0] = base + (gt1 ? 0 : std::min(4, 1 + eq1));
    put_ueg(w, abs_minus1, 0, 14, ctx);
    w.bypass(coeff[i] < 0);
    if (abs_minus1) {
      ++gt1;
    } else {
      ++eq1;
    }
  }
}

enum Kind {
  kSkipFlag,
  kMbTypeI,
  kMbTypeP,
  kSubMbType,
  kRefIdx,
  kMvd,
  kQpDelta,
  kChromaPred,
  kPrevFlag,
  kRemMode,
  kCbp,
  kTransform8x8,
  kCodedBlockFlag,
  kResidual,
  kEndOfSlice,
  kKindCount
};

struct Op {
  Kind kind;
  bool a;
  bool b;
  int value;
  uint32_t arg;  // mvd: absMvdComp sum; residual: ctxBlockCat
  int comp;      // mvd component; residual: field flag
  CbpNeighbour na;
  CbpNeighbour nb;
  std::vector<int> coeff;
};

CbpNeighbour random_neighbour(std::mt19937& rng) {
  auto kind = static_cast<CbpNeighbour::Kind>(rng() % 4);
  return {kind,
          kind == CbpNeighbour::kCoded ? static_cast<uint32_t>(rng() % 16 + 16 * (rng() % 3)) : 0u};
}

std::vector<int> random_coefficients(std::mt19937& rng, int count) {
  std::vector<int> coeff(count, 0);
  int density = 1 + static_cast<int>(rng() % 100);
  for (int& c : coeff) {
    if (static_cast<int>(rng() % 100) >= density) continue;
    uint32_t kind = rng() % 8;
    int magnitude = kind < 4   ? 1
                    : kind < 7 ? 1 + static_cast<int>(rng() % 20)
                               : 1 + static_cast<int>(rng() % 32768);
    c = (rng() & 1) ? -magnitude : std::min(magnitude, 32767);
  }
  coeff[rng() % count] = (rng() & 1) ? 1 : -3;
  return coeff;
}

constexpr int kPcmBytes = 384;

uint8_t pcm_sample(int i) {
  return static_cast<uint8_t>(i * 37 + 11);
}

Op random_op(std::mt19937& rng) {
  Op op{};
  op.kind = static_cast<Kind>(rng() % kKindCount);
  op.a = rng() & 1;
  op.b = rng() & 1;
  switch (op.kind) {
    case kMbTypeI:
      op.value = static_cast<int>(rng() % 26);
      break;
    case kMbTypeP:
      op.value = static_cast<int>(rng() % 30);
      if (op.value == 4) op.value = 30;
      break;
    case kSubMbType:
      op.value = static_cast<int>(rng() % 4);
      break;
    case kRefIdx:
      op.value = static_cast<int>(rng() % 8 == 0 ? rng() % 32 : rng() % 3);
      break;
    case kMvd: {
      uint32_t range = rng() % 4 == 0 ? 32768 : 40;
      op.value = static_cast<int>(rng() % (2 * range)) - static_cast<int>(range);
      op.arg = rng() % 4 ? rng() % 40 : rng() % 1000;
      op.comp = rng() & 1;
      break;
    }
    case kQpDelta:
      op.value = static_cast<int>(rng() % 52) - 26;
      break;
    case kChromaPred:
      op.value = static_cast<int>(rng() % 4);
      break;
    case kRemMode:
      op.value = static_cast<int>(rng() % 8);
      break;
    case kCbp:
      op.value = static_cast<int>((rng() % 16) + 16 * (rng() % 3));
      op.na = random_neighbour(rng);
      op.nb = random_neighbour(rng);
      break;
    case kCodedBlockFlag:
      op.arg = rng() % 5;
      op.value = rng() & 1;
      break;
    case kResidual:
      op.arg = rng() % 6;
      op.comp = rng() & 1;
      op.coeff = random_coefficients(rng, kCabacMaxNumCoeff[op.arg]);
      break;
    default:
      op.value = rng() & 1;
      break;
  }
  if (op.kind == kEndOfSlice) op.value = 0;
  return op;
}

bool is_pcm(const Op& op) {
  return (op.kind == kMbTypeI && op.value == 25) || (op.kind == kMbTypeP && op.value == 30);
}

// I_PCM samples follow the flushed codeword at the next byte boundary; then a new codeword.
void put_pcm_samples(CabacWriter& w) {
  w.align_zero();
  for (int i = 0; i < kPcmBytes; ++i) w.out().bits(pcm_sample(i), 8);
  w.restart();
}

void expect_pcm_samples(CabacDecoder& d) {
  uint32_t pcm = (cabac_bit_position(d) + 7) / 8;
  ASSERT_LE(pcm + kPcmBytes, d.size);
  for (int i = 0; i < kPcmBytes; ++i) ASSERT_EQ(d.data[pcm + i], pcm_sample(i)) << i;
  cabac_start_engine(d, d.data, d.size, pcm + kPcmBytes);
}

void put_element(CabacWriter& w, const Op& op) {
  switch (op.kind) {
    case kSkipFlag:
      return w.decision(11 + op.a + op.b, op.value);
    case kMbTypeI:
      return put_mb_type_i(w, op.value, op.a + op.b);
    case kMbTypeP:
      return put_mb_type_p(w, op.value);
    case kSubMbType:
      return put_sub_mb_type(w, op.value);
    case kRefIdx:
      return put_unary(w, op.value, {54 + op.a + 2 * op.b, 58, 59});
    case kMvd:
      return put_mvd(w, op.value, op.comp, op.arg);
    case kQpDelta:
      return put_mb_qp_delta(w, op.value, op.a);
    case kChromaPred:
      return put_intra_chroma_pred_mode(w, op.value, op.a + op.b);
    case kPrevFlag:
      return w.decision(68, op.value);
    case kRemMode:
      for (int i = 0; i < 3; ++i) w.decision(69, (op.value >> i) & 1);
      return;
    case kCbp:
      return put_coded_block_pattern(w, op.value, op.na, op.nb);
    case kTransform8x8:
      return w.decision(399 + op.a + op.b, op.value);
    case kCodedBlockFlag:
      return w.decision(85 + 4 * op.arg + op.a + 2 * op.b, op.value);
    case kResidual:
      return put_residual_block(w, op.arg, op.comp, op.coeff);
    default:
      return w.terminate(0);
  }
}

void put_op(CabacWriter& w, const Op& op) {
  put_element(w, op);
  if (is_pcm(op)) put_pcm_samples(w);
}

void expect_op(CabacDecoder& d, const Op& op, size_t index) {
  int got = 0;
  switch (op.kind) {
    case kSkipFlag:
      got = cabac_decode_mb_skip_flag(d, op.a, op.b);
      break;
    case kMbTypeI:
      got = cabac_decode_mb_type_i(d, op.a, op.b);
      break;
    case kMbTypeP:
      got = cabac_decode_mb_type_p(d);
      break;
    case kSubMbType:
      got = cabac_decode_sub_mb_type_p(d);
      break;
    case kRefIdx:
      got = cabac_decode_ref_idx_l0(d, op.a, op.b);
      break;
    case kMvd:
      got = cabac_decode_mvd_l0(d, op.comp, op.arg);
      break;
    case kQpDelta:
      got = cabac_decode_mb_qp_delta(d, op.a);
      break;
    case kChromaPred:
      got = cabac_decode_intra_chroma_pred_mode(d, op.a, op.b);
      break;
    case kPrevFlag:
      got = cabac_decode_prev_intra_pred_mode_flag(d);
      break;
    case kRemMode:
      got = cabac_decode_rem_intra_pred_mode(d);
      break;
    case kCbp:
      got = cabac_decode_coded_block_pattern(d, op.na.decoder_value(), op.nb.decoder_value());
      break;
    case kTransform8x8:
      got = cabac_decode_transform_size_8x8_flag(d, op.a, op.b);
      break;
    case kCodedBlockFlag:
      got = cabac_decode_coded_block_flag(d, op.arg, op.a, op.b);
      break;
    case kResidual: {
      int count;
      const std::vector<int> coeff = decode_block(d, op.arg, op.comp, &count);
      ASSERT_EQ(count, std::count_if(op.coeff.begin(), op.coeff.end(), [](int c) { return c; }))
          << "op " << index;
      ASSERT_EQ(coeff, op.coeff) << "op " << index;
      return;
    }
    default:
      got = cabac_decode_end_of_slice_flag(d);
      break;
  }
  ASSERT_EQ(got, op.value) << "op " << index << " kind " << op.kind;
  ASSERT_EQ(d.error, 0u) << "op " << index;
  if (is_pcm(op)) expect_pcm_samples(d);
}

// Encodes the ops, ends the slice and decodes them back.
void round_trip(const std::vector<Op>& ops, int qp, int column) {
  CabacWriter w(qp, column);
  for (const Op& op : ops) {
    put_op(w, op);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
  }
  w.terminate(1);
  size_t end = w.out().bit_count();
  w.align_zero();
  const std::vector<uint8_t>& bytes = w.out().bytes();
  CabacDecoder d{};
  cabac_init_contexts(d, qp, column);
  cabac_start_engine(d, bytes.data(), static_cast<uint32_t>(bytes.size()), 0);
  for (size_t i = 0; i < ops.size(); ++i) {
    expect_op(d, ops[i], i);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
  }
  EXPECT_EQ(cabac_decode_end_of_slice_flag(d), 1u);
  EXPECT_EQ(cabac_bit_position(d), end);
}

Op single(Kind kind, int value) {
  Op op{};
  op.kind = kind;
  op.value = value;
  return op;
}

// Decodes one residual block written by the test encoder from raw (unchecked) coefficients.
uint32_t residual_error(int cat, const std::vector<int>& coeff) {
  CabacWriter w(26, 0);
  put_residual_block(w, cat, false, coeff);
  w.terminate(1);
  w.align_zero();
  CabacDecoder d{};
  cabac_init_contexts(d, 26, 0);
  cabac_start_engine(d, w.out().bytes().data(), static_cast<uint32_t>(w.out().bytes().size()), 0);
  int count;
  decode_block(d, cat, false, &count);
  return d.error;
}

}  // namespace

TEST(EntropyCabacSyntax, RandomElementSequencesRoundTrip) {
  std::mt19937 rng(777);
  for (int round = 0; round < 30; ++round) {
    std::vector<Op> ops;
    for (int i = 0; i < 400; ++i) ops.push_back(random_op(rng));
    round_trip(ops, static_cast<int>(rng() % 52), static_cast<int>(rng() % 4));
    ASSERT_FALSE(HasFatalFailure()) << "round " << round;
  }
}

TEST(EntropyCabacSyntax, EveryMacroblockTypeOfIAndPSlices) {
  std::vector<Op> ops;
  for (int inc = 0; inc < 3; ++inc) {
    for (int v = 0; v < 26; ++v) {
      Op op = single(kMbTypeI, v);
      op.a = inc > 0;
      op.b = inc > 1;
      ops.push_back(op);
    }
  }
  for (int v = 0; v <= 30; ++v) {
    if (v != 4) ops.push_back(single(kMbTypeP, v));
  }
  for (int v = 0; v < 4; ++v) ops.push_back(single(kSubMbType, v));
  round_trip(ops, 28, 1);
}

TEST(EntropyCabacSyntax, ResidualBlocksAtTheirLimits) {
  std::vector<Op> ops;
  for (int cat = 0; cat < 6; ++cat) {
    int count = kCabacMaxNumCoeff[cat];
    for (int field = 0; field < 2; ++field) {
      Op op = single(kResidual, 0);
      op.arg = cat;
      op.comp = field;
      op.coeff.assign(count, 0);
      op.coeff[count - 1] = -1;  // significant by inference only
      ops.push_back(op);
      op.coeff.assign(count, 0);
      op.coeff[0] = 15;  // the first level whose prefix has no terminating zero
      ops.push_back(op);
      for (int i = 0; i < count; ++i) op.coeff[i] = (i % 3 == 0 ? -1 : 1) * (1 + i * 517 % 32767);
      ops.push_back(op);
      op.coeff.assign(count, 0);
      op.coeff[count / 2] = -32768;
      op.coeff[count / 3] = 32767;
      ops.push_back(op);
    }
  }
  round_trip(ops, 40, 3);
}

TEST(EntropyCabacSyntax, MotionVectorDifferencesAtTheirLimits) {
  std::vector<Op> ops;
  for (int v : {0, 1, -1, 8, -9, 17, 32767, -32768, 100, -1000}) {
    for (uint32_t sum : {0u, 2u, 3u, 32u, 33u, 5000u}) {
      Op op = single(kMvd, v);
      op.arg = sum;
      op.comp = static_cast<int>(sum & 1);
      ops.push_back(op);
    }
  }
  round_trip(ops, 20, 2);
}

TEST(EntropyCabacSyntax, ValuesBeyondTheirRangesSetTheError) {
  EXPECT_NE(residual_error(2, {32768, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0u);
  EXPECT_NE(residual_error(3, {0, -32769, 0, 0}), 0u);
  EXPECT_NE(residual_error(5, std::vector<int>(64, 1 << 20)), 0u);
  EXPECT_EQ(residual_error(3, {0, -32768, 0, 32767}), 0u);

  CabacWriter w(26, 1);
  put_unary(w, 32, {54, 58, 59});  // ref_idx_l0 32
  put_mvd(w, 32768, 0, 0);
  put_mb_qp_delta(w, -52, true);
  put_mb_qp_delta(w, 52, false);
  put_mb_qp_delta(w, -53, false);
  w.terminate(1);
  w.align_zero();
  CabacDecoder d{};
  cabac_init_contexts(d, 26, 1);
  cabac_start_engine(d, w.out().bytes().data(), static_cast<uint32_t>(w.out().bytes().size()), 0);
  cabac_decode_ref_idx_l0(d, false, false);
  EXPECT_NE(d.error, 0u);
  d.error = 0;
  cabac_decode_decision(d, 59);  // the zero that ends the unary code
  EXPECT_EQ(cabac_decode_mvd_l0(d, 0, 0), 0);
  EXPECT_NE(d.error, 0u);
  d.error = 0;
  EXPECT_EQ(cabac_decode_mb_qp_delta(d, true), -52);
  EXPECT_EQ(cabac_decode_mb_qp_delta(d, false), 52);
  EXPECT_EQ(d.error, 0u);
  cabac_decode_mb_qp_delta(d, false);
  EXPECT_NE(d.error, 0u);
}

TEST(EntropyCabacSyntax, ArbitraryBytesStayInsideTheirBuffer) {
  std::mt19937 rng(31);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes(2 + rng() % 40);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng() % 3 ? rng() : 0xFF);
    CabacDecoder d{};
    cabac_init_contexts(d, static_cast<int>(rng() % 52), static_cast<int>(rng() % 4));
    cabac_start_engine(d, bytes.data(), static_cast<uint32_t>(bytes.size()), 0);
    for (int i = 0; i < 40; ++i) {
      int cat = static_cast<int>(rng() % 6);
      int count;
      ASSERT_EQ(decode_block(d, cat, rng() & 1, &count).size(),
                static_cast<size_t>(kCabacMaxNumCoeff[cat]));
      cabac_decode_mvd_l0(d, rng() & 1, rng() % 64);
      cabac_decode_mb_qp_delta(d, rng() & 1);
      cabac_decode_ref_idx_l0(d, rng() & 1, rng() & 1);
      cabac_decode_mb_type_p(d);
    }
  }
}
