#include "h264/stream/cavlc.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "h264/stream/entropy_tables.h"

namespace {

// Lookup tables built from the code tables at compile time; building fails if two codes of a
// table overlap. A packed entry of 0 marks bits that start no code.

// coeff_token entry: length << 8 | TotalCoeff << 2 | TrailingOnes.
constexpr uint16_t pack_token(const VlcCode& code, int total_coeff, int trailing_ones) {
  return static_cast<uint16_t>(code.length << 8 | total_coeff << 2 | trailing_ones);
}

// Direct lookup on the next K bits for coeff_token classes 3 (nC >= 8) and 4 (chroma DC).
template <int K>
constexpr std::array<uint16_t, (1 << K)> coeff_token_direct(int nc_class) {
  std::array<uint16_t, (1 << K)> table{};
  for (int t1 = 0; t1 < 4; ++t1) {
    for (int tc = 0; tc <= 16; ++tc) {
      const VlcCode& code = kCoeffTokenCodes[nc_class][t1][tc];
      if (code.length == 0) continue;
      int spare = K - code.length;
      for (int i = 0; i < (1 << spare); ++i) {
        uint16_t& entry = table[(code.bits << spare) | i];
        if (entry != 0) throw "overlapping codes";
        entry = pack_token(code, tc, t1);
      }
    }
  }
  return table;
}

// Classes 0..2 (nC 0..7): entered by the count of leading zeros (0..15) and the three bits that
// follow the first one bit.
constexpr std::array<uint16_t, 16 * 8> coeff_token_by_zeros(int nc_class) {
  std::array<uint16_t, 16 * 8> table{};
  for (int t1 = 0; t1 < 4; ++t1) {
    for (int tc = 0; tc <= 16; ++tc) {
      const VlcCode& code = kCoeffTokenCodes[nc_class][t1][tc];
      if (code.length == 0) continue;
      int rest = std::bit_width(code.bits) - 1;
      int zeros = code.length - 1 - rest;
      if (rest > 3 || zeros > 15) throw "code does not fit the lookup";
      int spare = 3 - rest;
      int low = code.bits & ((1 << rest) - 1);
      for (int i = 0; i < (1 << spare); ++i) {
        uint16_t& entry = table[zeros * 8 + ((low << spare) | i)];
        if (entry != 0) throw "overlapping codes";
        entry = pack_token(code, tc, t1);
      }
    }
  }
  return table;
}

// Direct lookup on the next k bits of a code table indexed by value, written to table[0, 2^k):
// length << 4 | value.
constexpr void fill_value_direct(uint8_t* table, int k, const VlcCode* codes, int n) {
  for (int value = 0; value < n; ++value) {
    const VlcCode& code = codes[value];
    if (code.length == 0) continue;
    int spare = k - code.length;
    for (int i = 0; i < (1 << spare); ++i) {
      uint8_t& entry = table[(code.bits << spare) | i];
      if (entry != 0) throw "overlapping codes";
      entry = static_cast<uint8_t>(code.length << 4 | value);
    }
  }
}

template <int K, int N>
constexpr std::array<uint8_t, (1 << K)> value_direct(const VlcCode (&codes)[N]) {
  std::array<uint8_t, (1 << K)> table{};
  fill_value_direct(table.data(), K, codes, N);
  return table;
}

constexpr std::array<std::array<uint16_t, 16 * 8>, 3> kCoeffTokenByZeros = {
    coeff_token_by_zeros(0), coeff_token_by_zeros(1), coeff_token_by_zeros(2)};
constexpr std::array<uint16_t, 64> kCoeffTokenFixed = coeff_token_direct<6>(3);
constexpr std::array<uint16_t, 256> kCoeffTokenChromaDc = coeff_token_direct<8>(4);

// total_zeros of 4x4 blocks: the direct lookup of TotalCoeff t on the bits of its longest code
// at kTotalZerosRows[t - 1].offset of kTotalZeros, the rows one after the other (small enough to
// stay in the cache).
struct PackedRow {
  uint16_t offset;
  uint8_t bits;
};

constexpr auto kTotalZerosRows = [] {
  std::array<PackedRow, 15> rows{};
  int offset = 0;
  for (int tc = 0; tc < 15; ++tc) {
    int longest = 0;
    for (const VlcCode& code : kTotalZerosCodes[tc]) longest = std::max<int>(longest, code.length);
    rows[tc] = {static_cast<uint16_t>(offset), static_cast<uint8_t>(longest)};
    offset += 1 << longest;
  }
  return rows;
}();

constexpr auto kTotalZeros = [] {
  std::array<uint8_t, kTotalZerosRows[14].offset + (1 << kTotalZerosRows[14].bits)> table{};
  for (int tc = 0; tc < 15; ++tc) {
    fill_value_direct(table.data() + kTotalZerosRows[tc].offset, kTotalZerosRows[tc].bits,
                      kTotalZerosCodes[tc], 16);
  }
  return table;
}();

constexpr std::array<std::array<uint8_t, 8>, 3> kTotalZerosChromaDc = {
    value_direct<3>(kTotalZerosChromaDcCodes[0]), value_direct<3>(kTotalZerosChromaDcCodes[1]),
    value_direct<3>(kTotalZerosChromaDcCodes[2])};

template <std::size_t... I>
constexpr auto run_before_tables(std::index_sequence<I...>) {
  return std::array<std::array<uint8_t, 8>, sizeof...(I)>{value_direct<3>(kRunBeforeCodes[I])...};
}
constexpr auto kRunBeforeShort = run_before_tables(std::make_index_sequence<6>{});
constexpr std::array<uint8_t, 2048> kRunBeforeLong = value_direct<11>(kRunBeforeCodes[6]);

inline uint32_t count_leading_zeros(uint32_t window) {
  return static_cast<uint32_t>(std::countl_zero(window));
}

// coeff_token as length << 8 | TotalCoeff << 2 | TrailingOnes, 0 for no code; nothing is
// consumed.
uint32_t peek_coeff_token(uint32_t window, int nC) {
  if (nC < 0) return kCoeffTokenChromaDc[window >> 24];
  if (nC >= 8) return kCoeffTokenFixed[window >> 26];
  int nc_class = nC < 2 ? 0 : (nC < 4 ? 1 : 2);
  uint32_t zeros = count_leading_zeros(window);
  if (zeros > 15) return 0;
  uint32_t next3 = (window << zeros << 1) >> 29;
  return kCoeffTokenByZeros[nc_class][zeros * 8 + next3];
}

// Bytes from the byte of a block's first bit that its codes and their window loads can touch: a
// block takes at most 16 + 3 + 16 x 36 + 9 + 15 x 11 = 769 bits, and a window load reads 8 bytes.
constexpr uint32_t kBlockBytes = 112;

// The levels, total_zeros and run_before of a block after its coeff_token (`token` as
// peek_coeff_token gives it, TotalCoeff 1 or more), read from `window`, loaded at br.position.
// kInside: the kBlockBytes from br.position on lie inside the buffer.
template <bool kInside>
[[gnu::noinline]] int decode_levels_and_runs(BitReader& br, uint64_t window, uint32_t token,
                                             int max_num_coeff, int32_t* level, uint8_t* run) {
  // The window holds at least 57 valid bits from `position`, `used` of them consumed; it is
  // reloaded before a code could overrun it.
  const int total_coeff = (token >> 2) & 31;
  const int trailing_ones = token & 3;
  uint32_t position = br.position;
  uint32_t used = token >> 8;
  auto reload = [&] {
    position += used;
    used = 0;
    window =
        kInside ? bit_reader_window_unchecked(br, position) : bit_reader_window_at(br, position);
  };

  // The stream sends the levels from the highest frequency down: the i-th goes to
  // level[total_coeff - 1 - i]. Trailing ones are one sign bit each.
  int32_t* last = level + total_coeff - 1;
  const uint64_t signs = window << used;
  for (int i = 0; i < trailing_ones; ++i)
    last[-i] = 1 - 2 * static_cast<int32_t>((signs >> (63 - i)) & 1);
  used += trailing_ones;

  // level_prefix counts the zeros before a one bit. A prefix of 20 or more gives a level beyond
  // 16 bits, so a level takes at most 20 + 16 bits and fits the window after `used` <= 21.
  if (trailing_ones < total_coeff) {
    int32_t* next = last - trailing_ones;
    uint32_t suffix_length = (total_coeff > 10 && trailing_ones < 3) ? 1 : 0;
    for (int i = trailing_ones; i < total_coeff; ++i, --next) {
      if (used > 21) reload();
      const uint64_t bits = window << used;
      const uint32_t level_prefix = static_cast<uint32_t>(std::countl_zero(bits));
      if (level_prefix >= 20) return -1;
      uint32_t suffix_size = suffix_length;
      if (level_prefix == 14 && suffix_length == 0) suffix_size = 4;
      if (level_prefix >= 15) suffix_size = level_prefix - 3;
      const uint32_t suffix =
          static_cast<uint32_t>((bits << level_prefix << 1) >> 1 >> (63 - suffix_size));
      used += level_prefix + 1 + suffix_size;
      int32_t level_code =
          static_cast<int32_t>((std::min(15u, level_prefix) << suffix_length) + suffix);
      if (level_prefix >= 15 && suffix_length == 0) level_code += 15;
      if (level_prefix >= 16) level_code += (1 << (level_prefix - 3)) - 4096;
      if (i == trailing_ones && trailing_ones < 3) level_code += 2;
      const int32_t value = (level_code & 1) ? (-level_code - 1) >> 1 : (level_code + 2) >> 1;
      if (value < -32768 || value > 32767) return -1;
      *next = value;
      if (suffix_length == 0) suffix_length = 1;
      if ((value < 0 ? -value : value) > (3 << (suffix_length - 1)) && suffix_length < 6) {
        ++suffix_length;
      }
    }
  }

  // total_zeros takes at most 9 bits, run_before at most 11.
  int zeros_left = 0;
  if (total_coeff < max_num_coeff) {
    if (used > 48) reload();
    const uint64_t bits = window << used;
    const PackedRow row = kTotalZerosRows[total_coeff - 1];
    const uint8_t entry = max_num_coeff == 4 ? kTotalZerosChromaDc[total_coeff - 1][bits >> 61]
                                             : kTotalZeros[row.offset + (bits >> (64 - row.bits))];
    if (entry == 0) return -1;
    used += entry >> 4;
    zeros_left = entry & 15;
    if (total_coeff + zeros_left > max_num_coeff) return -1;
  }

  // run_before follows the same order; the lowest coefficient takes the zeros left.
  std::memset(run, 0, 16);
  for (int i = total_coeff - 1; i > 0 && zeros_left > 0; --i) {
    if (used > 46) reload();
    const uint64_t bits = window << used;
    const uint8_t entry =
        zeros_left <= 6 ? kRunBeforeShort[zeros_left - 1][bits >> 61] : kRunBeforeLong[bits >> 53];
    const int run_before = entry & 15;
    if (entry == 0 || run_before > zeros_left) return -1;
    used += entry >> 4;
    zeros_left -= run_before;
    run[i] = static_cast<uint8_t>(run_before);
  }
  run[0] = static_cast<uint8_t>(zeros_left);
  br.position = position + used;
  return total_coeff;
}

// The whole block from `window`, loaded at br.position.
template <bool kInside>
[[gnu::always_inline]] inline int decode_block(BitReader& br, uint64_t window, int nC,
                                               int max_num_coeff, int32_t* level, uint8_t* run) {
  const uint32_t token = peek_coeff_token(static_cast<uint32_t>(window >> 32), nC);
  if (token == 0) return -1;
  const int total_coeff = (token >> 2) & 31;
  if (total_coeff > max_num_coeff) return -1;
  if (total_coeff == 0) {
    br.position += token >> 8;
    return 0;
  }
  return decode_levels_and_runs<kInside>(br, window, token, max_num_coeff, level, run);
}

[[gnu::noinline]] int decode_block_near_end(BitReader& br, int nC, int max_num_coeff,
                                            int32_t* level, uint8_t* run) {
  return decode_block<false>(br, bit_reader_window(br), nC, max_num_coeff, level, run);
}

}  // namespace

int cavlc_decode_residual_block(BitReader& br, int nC, int max_num_coeff, int32_t* level,
                                uint8_t* run) {
  if (uint64_t{br.position >> 3} + kBlockBytes > br.size)
    return decode_block_near_end(br, nC, max_num_coeff, level, run);
  return decode_block<true>(br, bit_reader_window_unchecked(br, br.position), nC, max_num_coeff,
                            level, run);
}

int cavlc_coded_block_pattern(uint32_t code_num, bool intra) {
  if (code_num > 47) return -1;
  return kCodedBlockPatternFromCodeNum[code_num][intra ? 0 : 1];
}
