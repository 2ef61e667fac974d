#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "h264/entropy_levels.h"
#include "h264/front_bit_writer.h"
#include "h264/reference_tables.h"
#include "h264/stream/cavlc.h"
#include "h264/stream/entropy_tables.h"

using front_test::BitWriter;

namespace {

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

std::string code_text(const VlcCode& code) {
  std::string text;
  for (int i = code.length - 1; i >= 0; --i) text += ((code.bits >> i) & 1) ? '1' : '0';
  return text;
}

// The CAVLC code tables as bit strings ("" where there is no code), from the decoder's tables or
// from the reference files.
struct CodeTexts {
  std::string token[5][4][17];  // nC class, TrailingOnes, TotalCoeff
  std::string total_zeros[15][16];
  std::string total_zeros_dc[3][4];
  std::string run_before[7][15];
};

CodeTexts decoder_codes() {
  CodeTexts t;
  for (int c = 0; c < 5; ++c)
    for (int t1 = 0; t1 < 4; ++t1)
      for (int tc = 0; tc < 17; ++tc) t.token[c][t1][tc] = code_text(kCoeffTokenCodes[c][t1][tc]);
  for (int tc = 0; tc < 15; ++tc)
    for (int tz = 0; tz < 16; ++tz) t.total_zeros[tc][tz] = code_text(kTotalZerosCodes[tc][tz]);
  for (int tc = 0; tc < 3; ++tc)
    for (int tz = 0; tz < 4; ++tz)
      t.total_zeros_dc[tc][tz] = code_text(kTotalZerosChromaDcCodes[tc][tz]);
  for (int zl = 0; zl < 7; ++zl)
    for (int rb = 0; rb < 15; ++rb) t.run_before[zl][rb] = code_text(kRunBeforeCodes[zl][rb]);
  return t;
}

CodeTexts reference_codes() {
  auto cell = [](const std::string& text) { return text == "-" ? std::string() : text; };
  CodeTexts t;
  for (const auto& row : reference_tables::read_rows("cavlc_coeff_token.txt")) {
    const int t1 = std::stoi(row[0]), tc = std::stoi(row[1]);
    for (int c = 0; c < 5; ++c) t.token[c][t1][tc] = cell(row[2 + c]);
  }
  const auto tz = reference_tables::read_rows("cavlc_total_zeros_4x4.txt");
  for (int tc = 0; tc < 15; ++tc)
    for (int z = 0; z < 16; ++z) t.total_zeros[tc][z] = cell(tz[tc][1 + z]);
  const auto dc = reference_tables::read_rows("cavlc_total_zeros_chroma_dc.txt");
  for (int tc = 0; tc < 3; ++tc)
    for (int z = 0; z < 4; ++z) t.total_zeros_dc[tc][z] = cell(dc[tc][1 + z]);
  const auto run = reference_tables::read_rows("cavlc_run_before.txt");
  for (int zl = 0; zl < 7; ++zl)
    for (int rb = 0; rb < 15; ++rb) t.run_before[zl][rb] = cell(run[zl][1 + rb]);
  return t;
}

void put_text_code(BitWriter& w, const std::string& code) {
  ASSERT_FALSE(code.empty()) << "no code for this value";
  put_bits_text(w, code);
}

// residual_block_cavlc as an encoder writes it, with the given code tables.
void put_block(BitWriter& w, const std::vector<int>& coeff, int nC, const CodeTexts& codes) {
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
  put_text_code(w, codes.token[nc_class(nC)][trailing_ones][total_coeff]);
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
    put_text_code(w, max_num_coeff == 4 ? codes.total_zeros_dc[total_coeff - 1][zeros_left]
                                        : codes.total_zeros[total_coeff - 1][zeros_left]);
  }
  for (int i = 0; i + 1 < total_coeff && zeros_left > 0; ++i) {
    int run = position[i] - position[i + 1] - 1;
    put_text_code(w, codes.run_before[std::min(zeros_left, 7) - 1][run]);
    zeros_left -= run;
  }
}

void put_block(BitWriter& w, const std::vector<int>& coeff, int nC) {
  static const CodeTexts codes = decoder_codes();
  put_block(w, coeff, nC, codes);
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

// The coefficients of a block with the given shape: zeros below, then TotalCoeff levels of which
// the top trailing_ones are +-1 and the others at least 2 in magnitude, of every size class.
std::vector<int> shaped_block(int max_num_coeff, int total_coeff, int trailing_ones,
                              int total_zeros) {
  static const int kMagnitudes[] = {2, 3, 5, 9, 17, 40, 100, 300, 1000, 3000, 10000, 32767};
  std::vector<int> coeff(max_num_coeff, 0);
  for (int i = 0; i < total_coeff; ++i) {
    const int from_top = total_coeff - 1 - i;
    const int magnitude = from_top < trailing_ones ? 1 : kMagnitudes[i % 12];
    coeff[total_zeros + i] = (i & 1) ? -magnitude : magnitude;
  }
  return coeff;
}

// Decodes one block written alone and checks its coefficients and length.
void expect_decodes(const std::vector<int>& coeff, int nC, const CodeTexts& codes) {
  BitWriter w;
  put_block(w, coeff, nC, codes);
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  const size_t bits = w.bit_count();
  w.trailing();
  BitReader br = reader_over(w.bytes());
  std::vector<int> out;
  const int expected_total =
      static_cast<int>(std::count_if(coeff.begin(), coeff.end(), [](int c) { return c; }));
  ASSERT_EQ(decode_block(br, nC, static_cast<int>(coeff.size()), out), expected_total);
  EXPECT_EQ(out, coeff);
  EXPECT_EQ(br.position, bits);
}

TEST(EntropyCavlcBlock, EveryCoeffTokenAndTotalZerosCodeOfTheReferenceTablesDecodes) {
  SKIP_WITHOUT_SHARED_TABLES();
  const CodeTexts codes = reference_codes();
  const int kNcOfClass[5] = {0, 2, 4, 8, -1};
  for (int c = 0; c < 5; ++c) {
    for (int max_num_coeff : c == 4 ? std::vector<int>{4} : std::vector<int>{15, 16}) {
      for (int t1 = 0; t1 < 4; ++t1) {
        for (int tc = t1; tc <= max_num_coeff; ++tc) {
          if (codes.token[c][t1][tc].empty()) continue;
          for (int tz = 0; tz <= (tc > 0 ? max_num_coeff - tc : 0); ++tz) {
            SCOPED_TRACE(testing::Message() << "class " << c << " size " << max_num_coeff << " t1 "
                                            << t1 << " tc " << tc << " tz " << tz);
            expect_decodes(shaped_block(max_num_coeff, tc, t1, tz), kNcOfClass[c], codes);
          }
        }
      }
    }
  }
}

TEST(EntropyCavlcBlock, EveryRunBeforeCodeOfTheReferenceTablesDecodes) {
  SKIP_WITHOUT_SHARED_TABLES();
  const CodeTexts codes = reference_codes();
  // Two coefficients with zeros_left zeros below the upper one, run_before of them between both.
  for (int zeros_left = 1; zeros_left <= 14; ++zeros_left) {
    for (int run_before = 0; run_before <= zeros_left; ++run_before) {
      SCOPED_TRACE(testing::Message() << "zerosLeft " << zeros_left << " run " << run_before);
      std::vector<int> coeff(16, 0);
      coeff[zeros_left - run_before] = -7;
      coeff[zeros_left + 1] = 1;
      expect_decodes(coeff, 0, codes);
    }
  }
}

TEST(EntropyCavlcBlock, UnitsCutAnywhereNeverReadPastTheirEnd) {
  // Blocks far from the end of the unit are read without bounds checks, the last ones with them;
  // each cut copy lives in a heap block of exactly its size for AddressSanitizer.
  std::mt19937 rng(77);
  std::vector<Block> blocks;
  std::vector<size_t> ends;
  BitWriter w;
  for (int i = 0; i < 60; ++i) {
    static const int kSizes[3] = {4, 15, 16};
    const int max_num_coeff = kSizes[rng() % 3];
    const int nC = max_num_coeff == 4 ? -1 : static_cast<int>(rng() % 17);
    blocks.push_back({random_block(rng, max_num_coeff), nC});
    put_block(w, blocks.back().coeff, nC);
    ends.push_back(w.bit_count());
  }
  const std::vector<uint8_t> bytes = w.bytes();
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    std::unique_ptr<uint8_t[]> unit(new uint8_t[cut]);
    std::copy(bytes.begin(), bytes.begin() + cut, unit.get());
    BitReader br;
    bit_reader_init(br, unit.get(), static_cast<uint32_t>(cut));
    for (size_t i = 0; i < blocks.size(); ++i) {
      std::vector<int> out;
      const int total =
          decode_block(br, blocks[i].nC, static_cast<int>(blocks[i].coeff.size()), out);
      if (ends[i] > 8 * cut) break;
      ASSERT_GE(total, 0) << "cut " << cut << " block " << i;
      ASSERT_EQ(out, blocks[i].coeff) << "cut " << cut << " block " << i;
      ASSERT_EQ(br.position, ends[i]);
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
