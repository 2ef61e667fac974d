// CABAC (ITU-T H.264 clause 9.3) for I and P slices, 4:2:0, frame and field pictures: the
// arithmetic decoding engine, context initialisation and the syntax elements of the
// macroblock layer with their binarisations and context selection.
//
// Neighbour-dependent elements take the neighbour facts as plain arguments; "a" is the left
// neighbour (A), "b" the upper one (B). Decoding never fails loudly: a value the engine cannot
// produce sets `error` and the element returns 0, so the macroblock loop tests `error` once per
// macroblock.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "h264/stream/coeff_placement.h"
#include "h264/stream/entropy_tables.h"

struct CabacDecoder {
  const uint8_t* data;  // RBSP with the NAL unit header in front
  uint32_t size;        // bytes that may be read; bytes beyond read as zero
  uint32_t next;        // next byte to bring into the offset
  // codIRange and codIOffset of the standard, both shifted left by the bits read ahead
  // (the bits below the range's leading one minus 8, up to 55); range stays at least 256.
  uint64_t range;
  uint64_t offset;
  uint32_t error;                     // non-zero once a code could not be decoded
  uint8_t state[kCabacContextCount];  // pStateIdx << 1 | valMPS
};

// Context variables of a slice (clause 9.3.1.1); init_column 0 for I slices, 1 + cabac_init_idc
// for P slices.
void cabac_init_contexts(CabacDecoder& c, int slice_qp, int init_column);

// Starts the arithmetic decoder at byte `byte_index` of data[0..size) (clause 9.3.1.2). An
// initial codIOffset of 510 or 511 sets `error`.
void cabac_start_engine(CabacDecoder& c, const uint8_t* data, uint32_t size, uint32_t byte_index);

// Bits of data that the standard's engine has read so far (read-ahead excluded). After a
// terminate bin equal to 1 this is just past the last bit of the arithmetic codeword.
uint32_t cabac_bit_position(const CabacDecoder& c);

// The engine's moving parts. Residual decoding keeps them in locals: the context states are
// bytes, and a byte store could otherwise alias the decoder's own fields.
struct CabacRegisters {
  const uint8_t* data;
  uint32_t size;
  uint32_t next;
  uint64_t range;
  uint64_t offset;
};

inline CabacRegisters cabac_registers(const CabacDecoder& c) {
  return {c.data, c.size, c.next, c.range, c.offset};
}

inline void cabac_store_registers(CabacDecoder& c, const CabacRegisters& r) {
  c.next = r.next;
  c.range = r.range;
  c.offset = r.offset;
}

// The six bytes from data[next] on, zeros from data[size] on: the end of the data. By value, so
// that the engine's registers stay out of memory.
uint64_t cabac_tail_bytes(const uint8_t* data, uint32_t size, uint32_t next);

// Brings the next six bytes into the offset (range below 512 before: both stay below 2^57), so
// that a refill, whose moment the bins decide, comes once per 48 bits.
inline void cabac_refill(CabacRegisters& r) {
  uint64_t bytes;
  if (uint64_t{r.next} + 8 <= r.size) [[likely]] {
    std::memcpy(&bytes, r.data + r.next, sizeof bytes);
    if constexpr (std::endian::native == std::endian::little) bytes = __builtin_bswap64(bytes);
    bytes >>= 16;
  } else {
    bytes = cabac_tail_bytes(r.data, r.size, r.next);
  }
  r.next += 6;
  r.range <<= 48;
  r.offset = (r.offset << 48) | bytes;
}

// The bits read ahead: the range's leading one sits that far above bit 8. The range is never 0,
// so the leading-zero count needs no zero test (63 ^ clz is the bit scan's own result).
inline uint32_t cabac_lookahead_bits(uint64_t range) {
  return static_cast<uint32_t>(63 ^ __builtin_clzll(range)) - 8;
}

inline uint32_t cabac_decision(CabacRegisters& r, uint8_t& context) {
  const uint32_t state = context;
  // The range's leading one sits at bit 8 + ahead; it and the two bits below it pick the LPS
  // range.
  const uint32_t top = static_cast<uint32_t>(63 ^ __builtin_clzll(r.range));
  const uint64_t lps = uint64_t{kCabacLpsByContext[state][r.range >> (top - 2)]} << (top - 8);
  const uint64_t mps_range = r.range - lps;
  // Branch-free: the bin is close to random, so a jump would often be mispredicted.
#if defined(__GNUC__) && defined(__x86_64__)
  // Two conditional moves on one comparison, which the compiler would spread over a mask.
  uint32_t is_lps = 0;
  uint64_t range = lps;
  uint64_t offset = r.offset;
  const uint64_t lps_offset = offset - mps_range;
  asm("cmpq %[mps_range], %[offset]\n\t"
      "cmovaeq %[lps_offset], %[offset]\n\t"
      "cmovbq %[mps_range], %[range]\n\t"
      "setae %b[is_lps]"
      : [offset] "+r"(offset), [range] "+r"(range), [is_lps] "+q"(is_lps)
      : [mps_range] "r"(mps_range), [lps_offset] "r"(lps_offset)
      : "cc");
  r.range = range;
  r.offset = offset;
#else
  const uint32_t is_lps = r.offset >= mps_range;
  const uint64_t lps_mask = 0u - uint64_t{is_lps};
  r.offset -= mps_range & lps_mask;
  r.range = mps_range + ((lps - mps_range) & lps_mask);
#endif
  context = kCabacNextContext[state][is_lps];
  if (r.range < 256) cabac_refill(r);
  return (state & 1) ^ is_lps;
}

// Branch-free too: bypass bins (suffixes and signs) are close to random.
inline uint32_t cabac_bypass(CabacRegisters& r) {
  if (r.range < 512) cabac_refill(r);
  r.range >>= 1;
  const uint32_t bin = r.offset >= r.range;
  r.offset -= r.range & (0u - uint64_t{bin});
  return bin;
}

// value negated when the next bypass bin (a sign) is 1.
inline int32_t cabac_bypass_sign(CabacRegisters& r, int32_t value) {
  const int32_t negate = -static_cast<int32_t>(cabac_bypass(r));
  return (value ^ negate) - negate;
}

inline uint32_t cabac_decode_decision(CabacDecoder& c, uint32_t ctx_idx) {
  CabacRegisters r = cabac_registers(c);
  const uint32_t bin = cabac_decision(r, c.state[ctx_idx]);
  cabac_store_registers(c, r);
  return bin;
}

inline uint32_t cabac_decode_bypass(CabacDecoder& c) {
  CabacRegisters r = cabac_registers(c);
  const uint32_t bin = cabac_bypass(r);
  cabac_store_registers(c, r);
  return bin;
}

// A bin equal to 1 leaves the engine as it was: decoding ends or the engine is restarted.
uint32_t cabac_decode_terminate(CabacDecoder& c);

inline uint32_t cabac_decode_end_of_slice_flag(CabacDecoder& c) {
  return cabac_decode_terminate(c);
}

// a, b: neighbour available and not skipped.
uint32_t cabac_decode_mb_skip_flag(CabacDecoder& c, bool a, bool b);

// I-slice mb_type 0..25 (25 = I_PCM). a, b: neighbour available and not I_NxN.
uint32_t cabac_decode_mb_type_i(CabacDecoder& c, bool a, bool b);

// P-slice mb_type 0..3 and 5..30 (30 = I_PCM; 4 has no CABAC code).
uint32_t cabac_decode_mb_type_p(CabacDecoder& c);

uint32_t cabac_decode_sub_mb_type_p(CabacDecoder& c);

// a, b: neighbouring partition available, inter, not skipped, with ref_idx_l0 above 0.
// Values above 31 set `error`.
uint32_t cabac_decode_ref_idx_l0(CabacDecoder& c, bool a, bool b);

// mvd_l0 component `comp` (0 horizontal, 1 vertical); abs_mvd_sum is absMvdCompA +
// absMvdCompB of the neighbouring partitions (0 for unavailable, skipped or intra ones).
// Values outside -32768..32767 set `error`.
int32_t cabac_decode_mvd_l0(CabacDecoder& c, int comp, uint32_t abs_mvd_sum);

// prev_nonzero: the previous macroblock of the slice decoded a non-zero mb_qp_delta. Values
// outside -52..52 set `error`.
int32_t cabac_decode_mb_qp_delta(CabacDecoder& c, bool prev_nonzero);

// a, b: neighbour available, intra but not I_PCM, with intra_chroma_pred_mode not 0.
uint32_t cabac_decode_intra_chroma_pred_mode(CabacDecoder& c, bool a, bool b);

// prev_intra4x4_pred_mode_flag and prev_intra8x8_pred_mode_flag.
uint32_t cabac_decode_prev_intra_pred_mode_flag(CabacDecoder& c);
// rem_intra4x4_pred_mode and rem_intra8x8_pred_mode.
uint32_t cabac_decode_rem_intra_pred_mode(CabacDecoder& c);

// Neighbour values of coded_block_pattern as its context selection sees them: the
// neighbour's own pattern, or one of these.
inline constexpr uint32_t kCabacCbpUnavailable = 0x0F;
inline constexpr uint32_t kCabacCbpSkip = 0x00;
inline constexpr uint32_t kCabacCbpPcm = 0x2F;

// coded_block_pattern = CodedBlockPatternLuma + 16 * CodedBlockPatternChroma.
uint32_t cabac_decode_coded_block_pattern(CabacDecoder& c, uint32_t cbp_a, uint32_t cbp_b);

// a, b: neighbour available with transform_size_8x8_flag 1.
uint32_t cabac_decode_transform_size_8x8_flag(CabacDecoder& c, bool a, bool b);

// ctxBlockCat of residual blocks (Table 9-42).
enum CabacBlockCat : int {
  kCatLumaDc = 0,    // Intra16x16DCLevel, 16 coefficients
  kCatLumaAc = 1,    // Intra16x16ACLevel, 15
  kCatLuma4x4 = 2,   // LumaLevel4x4, 16
  kCatChromaDc = 3,  // ChromaDCLevel, 4
  kCatChromaAc = 4,  // ChromaACLevel, 15
  kCatLuma8x8 = 5,   // LumaLevel8x8, 64; coded_block_flag is not sent in 4:2:0
};

inline constexpr int kCabacMaxNumCoeff[6] = {16, 15, 16, 4, 15, 64};

// ctxIdxOffset of coded_block_flag for categories 0..4.
inline constexpr uint32_t kCabacCodedBlockFlagCtx = 85;

// coded_block_flag of categories 0..4; a, b: condTermFlagA and condTermFlagB of clause
// 9.3.3.1.1.9.
inline uint32_t cabac_decode_coded_block_flag(CabacDecoder& c, int cat, bool a, bool b) {
  return cabac_decode_decision(
      c, kCabacCodedBlockFlagCtx + 4 * static_cast<uint32_t>(cat) + a + 2 * b);
}

// The significance map and levels of a block of category kCat whose coded_block_flag is 1,
// placed as p says (scan index 0 is the block's first coded index). Returns the number of
// levels; a level outside -32768..32767 sets `error` and returns 0.
template <int kCat>
int cabac_decode_residual_block_of(CabacDecoder& c, bool field, const CoeffPlacement& p);

// The same after its coded_block_flag (categories 0..4; cbf_inc the flag's ctxIdxInc): 0 when
// the flag is 0. The flag is decoded inline: most blocks have none.
template <int kCat>
inline int cabac_decode_coded_block_of(CabacDecoder& c, uint32_t cbf_inc, bool field,
                                       const CoeffPlacement& p) {
  if (!cabac_decode_decision(c, kCabacCodedBlockFlagCtx + 4 * kCat + cbf_inc)) return 0;
  return cabac_decode_residual_block_of<kCat>(c, field, p);
}

inline int cabac_decode_residual_block(CabacDecoder& c, int cat, bool field,
                                       const CoeffPlacement& p) {
  switch (cat) {
    case kCatLumaDc:
      return cabac_decode_residual_block_of<kCatLumaDc>(c, field, p);
    case kCatLumaAc:
      return cabac_decode_residual_block_of<kCatLumaAc>(c, field, p);
    case kCatLuma4x4:
      return cabac_decode_residual_block_of<kCatLuma4x4>(c, field, p);
    case kCatChromaDc:
      return cabac_decode_residual_block_of<kCatChromaDc>(c, field, p);
    case kCatChromaAc:
      return cabac_decode_residual_block_of<kCatChromaAc>(c, field, p);
    default:
      return cabac_decode_residual_block_of<kCatLuma8x8>(c, field, p);
  }
}
