#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "h264/reference_tables.h"
#include "h264/stream/cavlc.h"
#include "h264/stream/entropy_tables.h"

namespace {

using reference_tables::read_rows;
using reference_tables::Rows;

std::string code_text(const VlcCode& code) {
  if (code.length == 0) return "-";
  std::string text;
  for (int i = code.length - 1; i >= 0; --i) text += ((code.bits >> i) & 1) ? '1' : '0';
  return text;
}

// No code of the set is a prefix of another.
void expect_prefix_free(const std::vector<VlcCode>& codes, const std::string& what) {
  for (size_t i = 0; i < codes.size(); ++i) {
    for (size_t j = 0; j < codes.size(); ++j) {
      if (i == j) continue;
      const VlcCode& a = codes[i];
      const VlcCode& b = codes[j];
      if (a.length == 0 || b.length == 0 || a.length > b.length) continue;
      EXPECT_NE(a.bits, b.bits >> (b.length - a.length))
          << what << ": " << code_text(a) << " prefixes " << code_text(b);
    }
  }
}

// Sum of 2^-length over the codes, in units of 2^-16.
uint32_t kraft_sum(const std::vector<VlcCode>& codes) {
  uint32_t sum = 0;
  for (const VlcCode& c : codes) {
    if (c.length) sum += 1u << (16 - c.length);
  }
  return sum;
}

}  // namespace

TEST(EntropyTables, CavlcCodesMatchTheReferenceFiles) {
  SKIP_WITHOUT_SHARED_TABLES();
  Rows token = read_rows("cavlc_coeff_token.txt");
  ASSERT_EQ(token.size(), 4u * 17u);
  for (const auto& row : token) {
    int t1 = std::stoi(row[0]);
    int tc = std::stoi(row[1]);
    for (int c = 0; c < 5; ++c) {
      EXPECT_EQ(code_text(kCoeffTokenCodes[c][t1][tc]), row[2 + c]) << t1 << " " << tc << " " << c;
    }
  }
  Rows total_zeros = read_rows("cavlc_total_zeros_4x4.txt");
  ASSERT_EQ(total_zeros.size(), 15u);
  for (int tc = 0; tc < 15; ++tc) {
    for (int tz = 0; tz < 16; ++tz) {
      EXPECT_EQ(code_text(kTotalZerosCodes[tc][tz]), total_zeros[tc][1 + tz]);
    }
  }
  Rows chroma = read_rows("cavlc_total_zeros_chroma_dc.txt");
  ASSERT_EQ(chroma.size(), 3u);
  for (int tc = 0; tc < 3; ++tc) {
    for (int tz = 0; tz < 4; ++tz) {
      EXPECT_EQ(code_text(kTotalZerosChromaDcCodes[tc][tz]), chroma[tc][1 + tz]);
    }
  }
  Rows run = read_rows("cavlc_run_before.txt");
  ASSERT_EQ(run.size(), 7u);
  for (int zl = 0; zl < 7; ++zl) {
    for (int rb = 0; rb < 15; ++rb) EXPECT_EQ(code_text(kRunBeforeCodes[zl][rb]), run[zl][1 + rb]);
  }
}

TEST(EntropyTables, CavlcCodeSetsArePrefixFree) {
  for (int c = 0; c < 5; ++c) {
    std::vector<VlcCode> codes;
    for (const auto& by_t1 : kCoeffTokenCodes[c]) codes.insert(codes.end(), by_t1, by_t1 + 17);
    expect_prefix_free(codes, "coeff_token class " + std::to_string(c));
  }
  for (int tc = 0; tc < 15; ++tc) {
    expect_prefix_free({kTotalZerosCodes[tc], kTotalZerosCodes[tc] + 16}, "total_zeros");
    // Every code table of total_zeros fills its code space except TotalCoeff 1 (one spare code).
    EXPECT_EQ(kraft_sum({kTotalZerosCodes[tc], kTotalZerosCodes[tc] + 16}),
              tc == 0 ? 65536u - 128u : 65536u)
        << tc;
  }
  for (int tc = 0; tc < 3; ++tc) {
    expect_prefix_free({kTotalZerosChromaDcCodes[tc], kTotalZerosChromaDcCodes[tc] + 4}, "tz dc");
  }
  for (int zl = 0; zl < 7; ++zl) {
    expect_prefix_free({kRunBeforeCodes[zl], kRunBeforeCodes[zl] + 15}, "run_before");
  }
}

TEST(EntropyTables, CabacTablesMatchTheReferenceFiles) {
  SKIP_WITHOUT_SHARED_TABLES();
  Rows mn = read_rows("cabac_init_mn.txt");
  ASSERT_EQ(mn.size(), static_cast<size_t>(kCabacContextCount));
  for (int ctx = 0; ctx < kCabacContextCount; ++ctx) {
    ASSERT_EQ(std::stoi(mn[ctx][0]), ctx);
    for (int col = 0; col < 4; ++col) {
      for (int k = 0; k < 2; ++k) {
        const std::string& field = mn[ctx][1 + 2 * col + k];
        int expected = field == "NA" ? 0 : std::stoi(field);
        EXPECT_EQ(kCabacInitMn[ctx][col][k], expected) << ctx << " " << col;
      }
    }
  }
  Rows lps = read_rows("cabac_range_tab_lps.txt");
  Rows trans = read_rows("cabac_trans_idx.txt");
  ASSERT_EQ(lps.size(), 64u);
  ASSERT_EQ(trans.size(), 64u);
  for (int p = 0; p < 64; ++p) {
    for (int q = 0; q < 4; ++q) EXPECT_EQ(kRangeTabLps[p][q], std::stoi(lps[p][1 + q]));
    EXPECT_EQ(kTransIdxLps[p], std::stoi(trans[p][1]));
    EXPECT_EQ(kTransIdxMps[p], std::stoi(trans[p][2]));
  }
  Rows sig = read_rows("cabac_sig_ctx_8x8.txt");
  ASSERT_EQ(sig.size(), 63u);
  for (int i = 0; i < 63; ++i) {
    EXPECT_EQ(kSignificantCoeffCtxInc8x8[0][i], std::stoi(sig[i][1]));
    EXPECT_EQ(kSignificantCoeffCtxInc8x8[1][i], std::stoi(sig[i][2]));
    EXPECT_EQ(kLastCoeffCtxInc8x8[i], std::stoi(sig[i][3]));
  }
}

TEST(EntropyTables, CabacSpotValues) {
  // rangeTabLPS corners, the MPS saturation at 62 and the LPS flip state.
  EXPECT_EQ(kRangeTabLps[0][0], 128);
  EXPECT_EQ(kRangeTabLps[0][3], 240);
  EXPECT_EQ(kRangeTabLps[62][0], 6);
  EXPECT_EQ(kTransIdxMps[62], 62);
  EXPECT_EQ(kTransIdxLps[0], 0);
  // mb_type I bin 2 (ctxIdx 6) and transform_size_8x8_flag (399) initial values.
  EXPECT_EQ(kCabacInitMn[6][0][0], -28);
  EXPECT_EQ(kCabacInitMn[6][0][1], 127);
  EXPECT_EQ(kCabacInitMn[399][0][0], 31);
  EXPECT_EQ(kCabacInitMn[399][0][1], 21);
}

TEST(EntropyTables, CodedBlockPatternAndChromaQp) {
  SKIP_WITHOUT_SHARED_TABLES();
  Rows cbp = read_rows("cbp_mapping.txt");
  ASSERT_EQ(cbp.size(), 48u);
  for (uint32_t k = 0; k < 48; ++k) {
    EXPECT_EQ(cavlc_coded_block_pattern(k, true), std::stoi(cbp[k][1]));
    EXPECT_EQ(cavlc_coded_block_pattern(k, false), std::stoi(cbp[k][2]));
  }
  EXPECT_EQ(cavlc_coded_block_pattern(48, true), -1);
  EXPECT_EQ(cavlc_coded_block_pattern(0xFFFFFFFFu, false), -1);
  Rows qp = read_rows("chroma_qp.txt");
  ASSERT_EQ(qp.size(), 52u);
  for (int i = 0; i < 52; ++i) EXPECT_EQ(kChromaQp[i], std::stoi(qp[i][1]));
}

TEST(EntropyTables, CodedBlockPatternMappingsArePermutations) {
  for (int intra = 0; intra < 2; ++intra) {
    std::vector<int> seen(48, 0);
    for (uint32_t k = 0; k < 48; ++k) ++seen[cavlc_coded_block_pattern(k, intra == 1)];
    for (int v = 0; v < 48; ++v) EXPECT_EQ(seen[v], 1) << v;
  }
  EXPECT_EQ(kChromaQp[29], 29);
  EXPECT_EQ(kChromaQp[30], 29);
  EXPECT_EQ(kChromaQp[51], 39);
}
