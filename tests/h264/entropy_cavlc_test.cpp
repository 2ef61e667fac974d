#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "h264/entropy_levels.h"
#include "h264/front_bit_writer.h"
#include "h264/stream/cavlc.h"
#include "h264/stream/entropy_tables.h"

using front_test::BitWriter;

namespace {

void put_code(BitWriter& w, const VlcCode& code) {
  ASSERT_NE(code.length, 0) << "no code for this value";
  w.bits(code.bits, code.length);
}

void put_bits_text(BitWriter& w, const std::string& text) {
  for (char c : text) w.bit(c == '1');
}

// level_prefix and level_suffix of one levelCode (the inverse of clause 9.2.2.1).
void put_level_code(BitWriter& w, uint32_t level_code, uint32_t suffix_length) {
  uint32_t escape_base;
  if (suffix_length == 0 && level_code < 14) {
    w.bits(1, level_code + 1);
    return;
  }
  if (suffix_length == 0 && level_code < 30) {
    w.bits(1, 15);
    w.bits(level_code - 14, 4);
    return;
  }
  if (suffix_length > 0 && level_code < (15u << suffix_length)) {
    w.bits(1, (level_code >> suffix_length) + 1);
    w.bits(level_code, static_cast<int>(suffix_length));
    return;
  }
  escape_base = level_code - (15u << suffix_length) - (suffix_length == 0 ? 15 : 0);
  if (escape_base < 4096) {
    w.bits(1, 16);
    w.bits(escape_base, 12);
    return;
  }
  uint32_t prefix = 16;
  while (escape_base - ((1u << (prefix - 3)) - 4096) >= (1u << (prefix - 3))) ++prefix;
  w.bits(1, static_cast<int>(prefix) + 1);
  w.bits(escape_base - ((1u << (prefix - 3)) - 4096), static_cast<int>(prefix) - 3);
}

int nc_class(int nC) {
  if (nC < 0) return 4;
  return nC < 2 ? 0 : nC < 4 ? 1 : nC < 8 ? 2 : 3;
}

// residual_block_cavlc as an encoder writes it.
void put_block(BitWriter& w, const std::vector<int>& coeff, int nC) {
  const int max_num_coeff = static_cast<int>(coeff.size());
  std::vector<int> level;
  std::vector<int> position;
  for (int i = max_num_coeff - 1; i >= 0; --i) {
    if (coeff[i] == 0) continue;
    level.push_back(coeff[i]);
    position.push_back(i);
  }
  const int total_coeff = static_cast<int>(level.size());
  int trailing_ones = 0;
  while (trailing_ones < std::min(3, total_coeff) && std::abs(level[trailing_ones]) == 1) {
    ++trailing_ones;
  }
  put_code(w, kCoeffTokenCodes[nc_class(nC)][trailing_ones][total_coeff]);
  if (total_coeff == 0) return;
  for (int i = 0; i < trailing_ones; ++i) w.bit(level[i] < 0);
  uint32_t suffix_length = (total_coeff > 10 && trailing_ones < 3) ? 1 : 0;
  for (int i = trailing_ones; i < total_coeff; ++i) {
    int v = level[i];
    uint32_t level_code = v > 0 ? 2 * v - 2 : -2 * v - 1;
    if (i == trailing_ones && trailing_ones < 3) level_code -= 2;
    put_level_code(w, level_code, suffix_length);
    if (suffix_length == 0) suffix_length = 1;
    if (std::abs(v) > (3 << (suffix_length - 1)) && suffix_length < 6) ++suffix_length;
  }
  int zeros_left = position[0] + 1 - total_coeff;
  if (total_coeff < max_num_coeff) {
    put_code(w, max_num_coeff == 4 ? kTotalZerosChromaDcCodes[total_coeff - 1][zeros_left]
                                   : kTotalZerosCodes[total_coeff - 1][zeros_left]);
  }
  for (int i = 0; i + 1 < total_coeff && zeros_left > 0; ++i) {
    int run = position[i] - position[i + 1] - 1;
    put_code(w, kRunBeforeCodes[std::min(zeros_left, 7) - 1][run]);
    zeros_left -= run;
  }
}

std::vector<int> random_block(std::mt19937& rng, int max_num_coeff) {
  std::vector<int> coeff(max_num_coeff, 0);
  int density = static_cast<int>(rng() % 101);
  for (int& c : coeff) {
    if (static_cast<int>(rng() % 100) >= density) continue;
    uint32_t kind = rng() % 10;
    int magnitude = kind < 5   ? 1
                    : kind < 8 ? 1 + static_cast<int>(rng() % 20)
                    : kind < 9 ? 1 + static_cast<int>(rng() % 5000)
                               : 1 + static_cast<int>(rng() % 32768);
    c = (rng() & 1) ? -magnitude : std::min(magnitude, 32767);
  }
  return coeff;
}

struct Block {
  std::vector<int> coeff;
  int nC;
};

BitReader reader_over(const std::vector<uint8_t>& bytes) {
  BitReader br;
  bit_reader_init(br, bytes.data(), static_cast<uint32_t>(bytes.size()));
  return br;
}

// Decodes one block and spreads its levels over a coefficient list (empty on an error).
int decode_block(BitReader& br, int nC, int max_num_coeff, std::vector<int>& coeff) {
  int32_t level[16];
  uint8_t run[16];
  int total = cavlc_decode_residual_block(br, nC, max_num_coeff, level, run);
  coeff.clear();
  if (total >= 0) coeff = entropy_test::expand_levels(level, run, total, max_num_coeff);
  return total;
}

int decode(const std::string& bits, int nC, int max_num_coeff, std::vector<int>& out,
           uint32_t* position = nullptr) {
  BitWriter w;
  put_bits_text(w, bits);
  w.trailing();
  BitReader br = reader_over(w.bytes());
  int result = decode_block(br, nC, max_num_coeff, out);
  if (position) *position = br.position;
  return result;
}

}  // namespace

TEST(EntropyCavlcBlock, DecodesTheTextbookExample) {
  // Levels 0 3 -1 0 | 0 -1 1 0 | 1 0 ... in zig-zag order: TotalCoeff 5, three trailing ones,
  // total_zeros 3.
  std::vector<int> out;
  uint32_t position = 0;
  ASSERT_EQ(decode("000010001110010111101101", 0, 16, out, &position), 5);
  EXPECT_EQ(position, 24u);
  std::vector<int> expected = {0, 3, 0, 1, -1, -1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(out, expected);
}

TEST(EntropyCavlcBlock, EmptyBlocksWriteZeros) {
  std::vector<int> out;
  EXPECT_EQ(decode("1", 0, 16, out), 0);
  EXPECT_EQ(out, std::vector<int>(16, 0));
  EXPECT_EQ(decode("01", -1, 4, out), 0);
  EXPECT_EQ(out, std::vector<int>(4, 0));
  EXPECT_EQ(decode("000011", 8, 15, out), 0);
  EXPECT_EQ(out, std::vector<int>(15, 0));
}

TEST(EntropyCavlcBlock, RandomBlocksRoundTripForEveryTableAndBlockSize) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 30; ++round) {
    std::vector<Block> blocks;
    BitWriter w;
    for (int i = 0; i < 300; ++i) {
      static const int kSizes[3] = {4, 15, 16};
      int max_num_coeff = kSizes[rng() % 3];
      int nC = max_num_coeff == 4 ? -1 : static_cast<int>(rng() % 17);
      blocks.push_back({random_block(rng, max_num_coeff), nC});
      put_block(w, blocks.back().coeff, nC);
      ASSERT_FALSE(HasFatalFailure());
    }
    size_t bits = w.bit_count();
    w.trailing();
    BitReader br = reader_over(w.bytes());
    for (size_t i = 0; i < blocks.size(); ++i) {
      const Block& b = blocks[i];
      std::vector<int> out;
      int total = decode_block(br, b.nC, static_cast<int>(b.coeff.size()), out);
      int expected_total =
          static_cast<int>(std::count_if(b.coeff.begin(), b.coeff.end(), [](int c) { return c; }));
      ASSERT_EQ(total, expected_total) << "block " << i << " nC " << b.nC;
      ASSERT_EQ(out, b.coeff) << "block " << i;
    }
    EXPECT_EQ(br.position, bits);
  }
}

TEST(EntropyCavlcBlock, LevelEscapesAndSuffixLengthGrowth) {
  // Level magnitudes that need level_prefix 14 and 15 with suffixLength 0, level_prefix 16 and
  // above, and the 16-bit limits; alone and after large levels (suffixLength up to 6).
  const std::vector<std::vector<int>> cases = {
      {8, 0, 0, 0},      {-8, 0, 0, 0},      {9, 2, 0, 0},          {15, 3, 0, 0},
      {16, 1, 1, 1},     {-2063, 5, 0, 0},   {2064, -4000, 0, 0},   {32767, 0, 0, 0},
      {-32768, 1, 0, 0}, {3000, 100, 30, 7}, {-20000, 20000, -1, 1}};
  for (const auto& head : cases) {
    for (int size : {4, 16}) {
      std::vector<int> coeff(size, 0);
      std::copy(head.begin(), head.end(), coeff.begin());
      BitWriter w;
      put_block(w, coeff, size == 4 ? -1 : 3);
      w.trailing();
      BitReader br = reader_over(w.bytes());
      std::vector<int> out;
      ASSERT_GE(decode_block(br, size == 4 ? -1 : 3, size, out), 0);
      EXPECT_EQ(out, coeff) << head[0];
    }
  }
}

TEST(EntropyCavlcBlock, RejectsCodesThatAreNotInTheTables) {
  std::vector<int> out;
  EXPECT_EQ(decode("0000000000000001", 0, 16, out), -1);  // 15 leading zeros
  EXPECT_EQ(decode("00000000000000001", 5, 16, out), -1);
  EXPECT_EQ(decode("000010", 8, 16, out), -1);  // TrailingOnes 2 with TotalCoeff 1
  EXPECT_EQ(decode("000111", 9, 16, out), -1);  // TrailingOnes 3 with TotalCoeff 2
  // All-zero bits where a level_prefix is due.
  EXPECT_EQ(decode("000101" + std::string(40, '0'), 0, 16, out), -1);
}

TEST(EntropyCavlcBlock, RejectsBlocksThatDoNotFit) {
  std::vector<int> out;
  // TotalCoeff 16 in a 15-coefficient block.
  EXPECT_EQ(decode("0000000000000100" + std::string(16, '1'), 0, 15, out), -1);
  // TotalCoeff 1 with total_zeros 15 in a 15-coefficient block: one past its end.
  EXPECT_EQ(decode("01"
                   "0"
                   "000000001",
                   0, 15, out),
            -1);
  EXPECT_EQ(decode("01"
                   "0"
                   "000000001",
                   0, 16, out),
            1);
  EXPECT_EQ(out[15], 1);
  // Two trailing ones, total_zeros 7, then a run_before of 8 with 7 zeros left.
  EXPECT_EQ(decode("001"
                   "00"
                   "0011"
                   "00001",
                   0, 16, out),
            -1);
}

TEST(EntropyCavlcBlock, RejectsLevelsBeyondSixteenBits) {
  std::vector<int> out;
  BitWriter w;
  put_bits_text(w, "000101");               // TotalCoeff 1, no trailing ones
  put_level_code(w, 2 * 32768 - 2 - 2, 0);  // +32768, sent as levelCode - 2
  w.trailing();
  BitReader br = reader_over(w.bytes());
  EXPECT_EQ(decode_block(br, 0, 16, out), -1);
}

TEST(EntropyCavlcBlock, ArbitraryBytesNeverBreakTheBlockInvariants) {
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> bytes(1 + rng() % 12);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng() % 4 ? rng() : 0);
    BitReader br = reader_over(bytes);
    for (int i = 0; i < 8; ++i) {
      static const int kSizes[3] = {4, 15, 16};
      int max_num_coeff = kSizes[rng() % 3];
      int nC = max_num_coeff == 4 ? -1 : static_cast<int>(rng() % 17);
      std::vector<int> out;
      int total = decode_block(br, nC, max_num_coeff, out);
      if (total < 0) break;
      ASSERT_EQ(static_cast<int>(out.size()), max_num_coeff);
      ASSERT_EQ(std::count_if(out.begin(), out.end(), [](int c) { return c != 0; }), total);
    }
  }
}

TEST(EntropyCavlcNc, AveragesAvailableNeighbours) {
  EXPECT_EQ(cavlc_nc(true, 3, true, 4), 4);
  EXPECT_EQ(cavlc_nc(true, 3, true, 2), 3);
  EXPECT_EQ(cavlc_nc(true, 0, true, 1), 1);
  EXPECT_EQ(cavlc_nc(true, 16, true, 16), 16);
  EXPECT_EQ(cavlc_nc(true, 7, false, 16), 7);
  EXPECT_EQ(cavlc_nc(false, 16, true, 9), 9);
  EXPECT_EQ(cavlc_nc(false, 16, false, 9), 0);
}

TEST(EntropyCavlcRefIdx, TruncatedCodeWithTwoReferencesElseExpGolomb) {
  BitWriter w;
  w.bit(1).bit(0).ue(0).ue(5).ue(31).ue(33);
  size_t bits = w.bit_count();
  w.trailing();
  BitReader br = reader_over(w.bytes());
  EXPECT_EQ(cavlc_read_ref_idx(br, 1), 0u);
  EXPECT_EQ(cavlc_read_ref_idx(br, 1), 1u);
  EXPECT_EQ(cavlc_read_ref_idx(br, 2), 0u);
  EXPECT_EQ(cavlc_read_ref_idx(br, 7), 5u);
  EXPECT_EQ(cavlc_read_ref_idx(br, 31), 31u);
  EXPECT_EQ(cavlc_read_ref_idx(br, 31), 1u);
  EXPECT_EQ(br.position, bits);
}
