// Edge filters, thresholds, boundary strengths and the copy kernels of the deblocking stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "h264/decoder/kernel_select.h"
#include "h264/recon/deblock.h"
#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

ReconKernels portable_kernels() {
  ReconKernels k;
  decoder_recon_kernels_portable(&k);
  return k;
}

// One line across an edge: s[0..3] = p3, p2, p1, p0 and s[4..7] = q0, q1, q2, q3.
using Line = std::array<int, 8>;

// Clauses 8.7.2.3 and 8.7.2.4 for one line; tc0 < 0 means bS 0, bs4 the strong filters.
Line reference_filter(Line s, bool chroma, bool bs4, int alpha, int beta, int tc0) {
  const int p0 = s[3], p1 = s[2], p2 = s[1], p3 = s[0];
  const int q0 = s[4], q1 = s[5], q2 = s[6], q3 = s[7];
  if (!bs4 && tc0 < 0) return s;
  if (!(std::abs(p0 - q0) < alpha && std::abs(p1 - p0) < beta && std::abs(q1 - q0) < beta))
    return s;
  const int ap = std::abs(p2 - p0), aq = std::abs(q2 - q0);
  auto clip1 = [](int v) { return std::min(255, std::max(0, v)); };
  auto clip3 = [](int lo, int hi, int v) { return std::min(hi, std::max(lo, v)); };
  if (!bs4) {
    const int tc = chroma ? tc0 + 1 : tc0 + (ap < beta) + (aq < beta);
    const int delta = clip3(-tc, tc, (((q0 - p0) << 2) + (p1 - q1) + 4) >> 3);
    s[3] = clip1(p0 + delta);
    s[4] = clip1(q0 - delta);
    if (!chroma && ap < beta)
      s[2] = p1 + clip3(-tc0, tc0, (p2 + ((p0 + q0 + 1) >> 1) - (p1 << 1)) >> 1);
    if (!chroma && aq < beta)
      s[5] = q1 + clip3(-tc0, tc0, (q2 + ((p0 + q0 + 1) >> 1) - (q1 << 1)) >> 1);
    return s;
  }
  const bool close = std::abs(p0 - q0) < ((alpha >> 2) + 2);
  if (!chroma && ap < beta && close) {
    s[3] = (p2 + 2 * p1 + 2 * p0 + 2 * q0 + q1 + 4) >> 3;
    s[2] = (p2 + p1 + p0 + q0 + 2) >> 2;
    s[1] = (2 * p3 + 3 * p2 + p1 + p0 + q0 + 4) >> 3;
  } else {
    s[3] = (2 * p1 + p0 + q1 + 2) >> 2;
  }
  if (!chroma && aq < beta && close) {
    s[4] = (p1 + 2 * p0 + 2 * q0 + 2 * q1 + q2 + 4) >> 3;
    s[5] = (p0 + q0 + q1 + q2 + 2) >> 2;
    s[6] = (2 * q3 + 3 * q2 + q1 + q0 + p0 + 4) >> 3;
  } else {
    s[4] = (2 * q1 + q0 + p1 + 2) >> 2;
  }
  return s;
}

// Sixteen lines across an edge with guard samples around them: lines are rows of a vertical edge
// or columns of a horizontal one.
struct EdgeBlock {
  static constexpr int kStride = 24;
  uint8_t s[kStride * kStride];
  bool vertical = true;

  uint8_t& at(int line, int k) {
    return vertical ? s[(4 + line) * kStride + 4 + k] : s[(4 + k) * kStride + 4 + line];
  }
  uint8_t* pix() { return &at(0, 4); }  // q0 of line 0
  void set_line(int i, const Line& l) {
    for (int k = 0; k < 8; ++k) at(i, k) = static_cast<uint8_t>(l[k]);
  }
  Line line(int i) {
    Line l;
    for (int k = 0; k < 8; ++k) l[k] = at(i, k);
    return l;
  }
  // Every sample outside lines 0 .. count - 1 still holds the guard value.
  bool guards_intact(int count) {
    EdgeBlock copy = *this;
    for (int i = 0; i < count; ++i)
      for (int k = 0; k < 8; ++k) copy.at(i, k) = 0xA5;
    return std::all_of(copy.s, copy.s + sizeof copy.s, [](uint8_t v) { return v == 0xA5; });
  }
};

EdgeBlock step_edge(int p, int q, bool vertical) {
  EdgeBlock b;
  b.vertical = vertical;
  std::memset(b.s, 0xA5, sizeof b.s);
  for (int i = 0; i < 16; ++i) b.set_line(i, {p, p, p, p, q, q, q, q});
  return b;
}

// The luma and chroma kernels of one edge direction.
struct EdgeKernels {
  LumaNormalFilter luma_normal;
  LumaStrongFilter luma_strong;
  ChromaFilter chroma_normal;
  ChromaFilter chroma_strong;
};

EdgeKernels edge_kernels(const ReconKernels& k, bool vertical) {
  if (vertical) return {k.luma_normal_v, k.luma_strong_v, k.chroma_normal_v, k.chroma_strong_v};
  return {k.luma_normal_h, k.luma_strong_h, k.chroma_normal_h, k.chroma_strong_h};
}

TEST(ReconDeblockFilter, HandComputedStepEdge) {
  for (bool vertical : {true, false}) {
    const EdgeKernels k = edge_kernels(portable_kernels(), vertical);
    constexpr int kStride = EdgeBlock::kStride;
    // indexA = indexB = 40: alpha 80, beta 13.
    EdgeBlock b = step_edge(100, 110, vertical);
    const int8_t tc0[4] = {2, -1, -1, 2};
    k.luma_normal(b.pix(), kStride, 80, 13, tc0);
    EXPECT_EQ(b.line(0), (Line{100, 100, 102, 104, 106, 108, 110, 110}));
    EXPECT_EQ(b.line(7), (Line{100, 100, 100, 100, 110, 110, 110, 110}));  // segment disabled
    EXPECT_EQ(b.line(8), (Line{100, 100, 100, 100, 110, 110, 110, 110}));
    EXPECT_EQ(b.line(15), (Line{100, 100, 102, 104, 106, 108, 110, 110}));
    EXPECT_TRUE(b.guards_intact(16));

    b = step_edge(100, 110, vertical);
    k.luma_strong(b.pix(), kStride, 80, 13);
    EXPECT_EQ(b.line(3), (Line{100, 101, 103, 104, 106, 108, 109, 110}));
    EXPECT_EQ(b.line(12), (Line{100, 101, 103, 104, 106, 108, 109, 110}));
    EXPECT_TRUE(b.guards_intact(16));

    EdgeBlock cr = step_edge(100, 110, vertical);
    b = step_edge(100, 110, vertical);
    const EdgeFilterParams params{80, 13, {2, 2, -1, 2}};
    k.chroma_normal(b.pix(), cr.pix(), kStride, &params, &params);
    EXPECT_EQ(b.line(1), (Line{100, 100, 100, 103, 107, 110, 110, 110}));
    EXPECT_EQ(cr.line(4), (Line{100, 100, 100, 100, 110, 110, 110, 110}));  // segment 2 off
    EXPECT_EQ(cr.line(6), (Line{100, 100, 100, 103, 107, 110, 110, 110}));
    EXPECT_EQ(cr.line(8), (Line{100, 100, 100, 100, 110, 110, 110, 110}));  // beyond 8 lines

    b = step_edge(100, 110, vertical);
    cr = step_edge(100, 110, vertical);
    k.chroma_strong(b.pix(), cr.pix(), kStride, &params, &params);
    EXPECT_EQ(cr.line(5), (Line{100, 100, 100, 103, 108, 110, 110, 110}));
    EXPECT_EQ(b.line(9), (Line{100, 100, 100, 100, 110, 110, 110, 110}));

    // A step of alpha or more is a real edge and stays.
    b = step_edge(100, 180, vertical);
    k.luma_strong(b.pix(), kStride, 80, 13);
    EXPECT_EQ(b.line(2), (Line{100, 100, 100, 100, 180, 180, 180, 180}));
  }
}

TEST(ReconDeblockFilter, RandomLinesMatchTheStandard) {
  std::mt19937 rng(87);
  std::uniform_int_distribution<int> byte(0, 255), noise(-12, 12), index(16, 51), tc(-1, 25);
  for (int round = 0; round < 4000; ++round) {
    const bool vertical = round % 4 < 2;
    const EdgeKernels k = edge_kernels(portable_kernels(), vertical);
    const int alpha = decoder_alpha[index(rng)];
    const int beta = decoder_beta[index(rng)];
    EdgeBlock luma;
    luma.vertical = vertical;
    std::memset(luma.s, 0xA5, sizeof luma.s);
    EdgeBlock cb = luma, cr = luma;
    const int base = byte(rng), step = noise(rng) * (round % 5);
    Line lines[3][16];
    for (int plane = 0; plane < 3; ++plane) {
      for (int i = 0; i < (plane == 0 ? 16 : 8); ++i) {
        for (int j = 0; j < 8; ++j)
          lines[plane][i][j] = std::min(255, std::max(0, base + (j >= 4 ? step : 0) + noise(rng)));
        (plane == 0 ? luma : plane == 1 ? cb : cr).set_line(i, lines[plane][i]);
      }
    }
    const bool strong = round % 2 == 1;
    const int8_t tc0[4] = {static_cast<int8_t>(tc(rng)), static_cast<int8_t>(tc(rng)),
                           static_cast<int8_t>(tc(rng)), static_cast<int8_t>(tc(rng))};
    const EdgeFilterParams cb_params{alpha, beta, {tc0[0], tc0[1], tc0[2], tc0[3]}};
    const EdgeFilterParams cr_params{alpha, beta, {tc0[3], tc0[2], tc0[1], tc0[0]}};
    constexpr int kStride = EdgeBlock::kStride;
    if (strong) {
      k.luma_strong(luma.pix(), kStride, alpha, beta);
      k.chroma_strong(cb.pix(), cr.pix(), kStride, &cb_params, &cr_params);
    } else {
      k.luma_normal(luma.pix(), kStride, alpha, beta, tc0);
      k.chroma_normal(cb.pix(), cr.pix(), kStride, &cb_params, &cr_params);
    }
    for (int i = 0; i < 16; ++i) {
      ASSERT_EQ(luma.line(i), reference_filter(lines[0][i], false, strong, alpha, beta, tc0[i / 4]))
          << round << " " << i;
    }
    for (int i = 0; i < 8; ++i) {
      ASSERT_EQ(cb.line(i),
                reference_filter(lines[1][i], true, strong, alpha, beta, cb_params.tc0[i / 2]));
      ASSERT_EQ(cr.line(i),
                reference_filter(lines[2][i], true, strong, alpha, beta, cr_params.tc0[i / 2]));
    }
    ASSERT_TRUE(luma.guards_intact(16) && cb.guards_intact(8) && cr.guards_intact(8));
  }
}

TEST(ReconDeblockFilter, EdgeParamsFromQpsOffsetsAndStrengths) {
  const uint8_t bs[4] = {0, 1, 3, 4};
  EdgeFilterParams e = decoder_edge_filter_params(decoder_edge_thresholds(26, 27, 0, 0), bs);
  EXPECT_EQ(e.alpha, 17);  // qPav rounds up to 27
  EXPECT_EQ(e.beta, 6);
  EXPECT_EQ(e.tc0[0], -1);
  EXPECT_EQ(e.tc0[1], 1);
  EXPECT_EQ(e.tc0[2], 2);
  EXPECT_GE(e.tc0[3], 0);
  e = decoder_edge_filter_params(decoder_edge_thresholds(30, 30, 6, -4), bs);  // indexA 36, B 26
  EXPECT_EQ(e.alpha, 50);
  EXPECT_EQ(e.beta, 6);
  EXPECT_EQ(e.tc0[2], 4);
  e = decoder_edge_filter_params(decoder_edge_thresholds(51, 51, 12, 12), bs);
  EXPECT_EQ(e.alpha, 255);
  EXPECT_EQ(e.beta, 18);
  EXPECT_EQ(e.tc0[1], 13);
  e = decoder_edge_filter_params(decoder_edge_thresholds(3, 4, -12, -12), bs);
  EXPECT_EQ(e.alpha, 0);
  EXPECT_EQ(e.beta, 0);
  EXPECT_EQ(e.tc0[2], 0);
}

// A 48 x 40 picture of distinct-ish samples with the macroblock at (16, 16).
struct Picture {
  static constexpr int kStride = 48;
  std::vector<uint8_t> samples = std::vector<uint8_t>(kStride * 40);
  Picture() {
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7 + i / 48);
  }
  uint8_t* at(int x, int y) { return samples.data() + y * kStride + x; }
};

TEST(ReconDeblockCopy, MacroblockStoresConvertTheQuadrantLayout) {
  const ReconKernels k = portable_kernels();
  Picture luma, cb, cr;
  const std::vector<uint8_t> before = luma.samples;
  uint8_t mb[256], cb_block[64], cr_block[64];
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) mb[luma_sample_offset(x, y)] = static_cast<uint8_t>(16 * y + x);
  for (int i = 0; i < 64; ++i) {
    cb_block[i] = static_cast<uint8_t>(i);
    cr_block[i] = static_cast<uint8_t>(200 - i);
  }
  k.store_mb_luma(luma.at(16, 16), Picture::kStride, mb);
  k.store_mb_chroma(cb.at(8, 8), cr.at(8, 8), Picture::kStride, cb_block, cr_block);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 48; ++x) {
      const uint8_t old = before[y * Picture::kStride + x];
      const bool in_mb = x >= 16 && x < 32 && y >= 16 && y < 32;
      ASSERT_EQ(*luma.at(x, y), in_mb ? 16 * (y - 16) + x - 16 : old);
      const bool in_chroma = x >= 8 && x < 16 && y >= 8 && y < 16;
      ASSERT_EQ(*cb.at(x, y), in_chroma ? 8 * (y - 8) + x - 8 : old);
      ASSERT_EQ(*cr.at(x, y), in_chroma ? 200 - (8 * (y - 8) + x - 8) : old);
    }
  }
}

class ReconStrength : public ::testing::Test {
 protected:
  void SetUp() override {
    decoder_recon_kernels_portable(&k_);
    std::memset(&cur_, 0, sizeof cur_);
    std::memset(&nb_, 0, sizeof nb_);
    std::memset(&cur_mv_, 0, sizeof cur_mv_);
    std::memset(&nb_mv_, 0, sizeof nb_mv_);
    cur_.mb_type = nb_.mb_type = kMbP16x16;
    std::memset(bs_, 0x77, sizeof bs_);
  }

  void set_mv(MbMotion* m, int first, int last, int x, int y) {
    for (int b = first; b <= last; ++b) {
      m->mv[b][0] = static_cast<int16_t>(x);
      m->mv[b][1] = static_cast<int16_t>(y);
    }
  }

  std::vector<int> edge(int base) const {
    return {bs_[base], bs_[base + 1], bs_[base + 2], bs_[base + 3]};
  }

  ReconKernels k_;
  MbInfo cur_, nb_;
  MbMotion cur_mv_, nb_mv_;
  uint8_t bs_[kBsSize];
};

TEST_F(ReconStrength, LeftEdgeCoefficientsReferencesAndVectors) {
  cur_.coded_blocks = 1 << 8;  // cur block 8: segment 2
  nb_.coded_blocks = 1 << 7;   // left block 7: segment 1
  nb_mv_.ref_pic[1] = 5;       // left quadrant 1 (blocks 5, 7) uses another picture
  set_mv(&cur_mv_, 10, 10, 4, 0);
  k_.bs_left_edge(bs_ + kBsLeft, &cur_, &cur_mv_, &nb_, &nb_mv_, 4);
  EXPECT_EQ(edge(kBsLeft), (std::vector<int>{1, 2, 2, 1}));
  EXPECT_EQ(bs_[kBsTop], 0x77);

  nb_mv_.ref_pic[1] = 0;
  cur_.coded_blocks = nb_.coded_blocks = 0;
  set_mv(&cur_mv_, 10, 10, 3, 0);
  set_mv(&cur_mv_, 8, 8, 0, -3);
  set_mv(&nb_mv_, 7, 7, 0, 2);
  k_.bs_left_edge(bs_ + kBsLeft, &cur_, &cur_mv_, &nb_, &nb_mv_, 4);
  EXPECT_EQ(edge(kBsLeft), (std::vector<int>{0, 0, 0, 0}));
  k_.bs_left_edge(bs_ + kBsLeft, &cur_, &cur_mv_, &nb_, &nb_mv_, 2);  // field: 2 vertically
  EXPECT_EQ(edge(kBsLeft), (std::vector<int>{0, 1, 1, 0}));
}

TEST_F(ReconStrength, TopEdgePairsBottomRowOfTheUpperMacroblock) {
  nb_.coded_blocks = 1 << 14;  // upper block 14 sits above current block 4
  set_mv(&nb_mv_, 11, 11, -8, 0);
  k_.bs_top_edge(bs_ + kBsTop, &cur_, &cur_mv_, &nb_, &nb_mv_, 4);
  EXPECT_EQ(edge(kBsTop), (std::vector<int>{0, 1, 2, 0}));
}

TEST_F(ReconStrength, InternalKernels) {
  k_.bs_internal_16x16(bs_, 1 << 5);  // block 5 at (12, 0)
  for (int i = kBsVertical; i < kBsSize; ++i) {
    const bool next_to_5 = i == kBsVertical + 8 || i == kBsHorizontal + 3;
    EXPECT_EQ(bs_[i], next_to_5 ? 2 : 0) << i;
  }
  EXPECT_EQ(bs_[kBsLeft], 0x77);
  k_.bs_clear_internal(bs_, 0xFFFF);
  for (int i = kBsVertical; i < kBsSize; ++i) EXPECT_EQ(bs_[i], 0);
  EXPECT_EQ(bs_[kBsTop + 3], 0x77);
}

TEST_F(ReconStrength, IntraEdgesFieldRuleAndEightByEightTransform) {
  decoder_bs_intra(bs_, true, true, false, false);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bs_[i], 4);
  for (int i = 8; i < kBsSize; ++i) EXPECT_EQ(bs_[i], 3);
  decoder_bs_intra(bs_, false, true, true, true);
  EXPECT_EQ(edge(kBsLeft), (std::vector<int>(4, 0)));
  EXPECT_EQ(edge(kBsTop), (std::vector<int>(4, 3)));
  for (int base : {kBsVertical, kBsHorizontal}) {
    EXPECT_EQ(edge(base), (std::vector<int>(4, 0)));
    EXPECT_EQ(edge(base + 4), (std::vector<int>(4, 3)));
    EXPECT_EQ(edge(base + 8), (std::vector<int>(4, 0)));
  }
}

TEST_F(ReconStrength, InternalInterEdgesFollowPartitions) {
  // 16x8: the lower partition moves by one sample vertically.
  set_mv(&cur_mv_, 8, 15, 0, 4);
  decoder_bs_internal_inter(&k_, bs_, &cur_, &cur_mv_, 4);
  for (int i = kBsVertical; i < kBsSize; ++i)
    EXPECT_EQ(bs_[i], i >= kBsHorizontal + 4 && i < kBsHorizontal + 8 ? 1 : 0) << i;

  // 8x16 with another reference picture on the right, and coefficients in block 0.
  std::memset(&cur_mv_, 0, sizeof cur_mv_);
  cur_mv_.ref_pic[1] = cur_mv_.ref_pic[3] = 9;
  cur_.coded_blocks = 1;
  decoder_bs_internal_inter(&k_, bs_, &cur_, &cur_mv_, 4);
  EXPECT_EQ(edge(kBsVertical), (std::vector<int>{2, 0, 0, 0}));
  EXPECT_EQ(edge(kBsVertical + 4), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(edge(kBsHorizontal), (std::vector<int>{2, 0, 0, 0}));
  EXPECT_EQ(edge(kBsHorizontal + 4), (std::vector<int>{0, 0, 0, 0}));

  // With the 8x8 transform edges 1 and 3 carry no strength.
  cur_.transform_size_8x8_flag = 1;
  cur_.coded_blocks = 0x000F;
  decoder_bs_internal_inter(&k_, bs_, &cur_, &cur_mv_, 4);
  EXPECT_EQ(edge(kBsVertical), (std::vector<int>(4, 0)));
  EXPECT_EQ(edge(kBsVertical + 4), (std::vector<int>{2, 2, 1, 1}));
  EXPECT_EQ(edge(kBsHorizontal + 4), (std::vector<int>{2, 2, 0, 0}));
  EXPECT_EQ(edge(kBsHorizontal + 8), (std::vector<int>(4, 0)));
}

}  // namespace

TEST_F(ReconStrength, InterMacroblockEdgesAndKinds) {
  MbInfo intra = nb_;
  intra.mb_type = kMbINxN;
  InterEdgeNeighbours n{&intra, &nb_mv_, &nb_, &nb_mv_, true, true, false};
  cur_.coded_blocks = 1;
  decoder_bs_inter_mb(&k_, bs_, &cur_, &cur_mv_, &n);
  EXPECT_EQ(edge(kBsLeft), (std::vector<int>(4, 4)));
  EXPECT_EQ(edge(kBsTop), (std::vector<int>{2, 0, 0, 0}));
  EXPECT_EQ(edge(kBsVertical), (std::vector<int>{2, 0, 0, 0}));

  n = {&nb_, &nb_mv_, &intra, &nb_mv_, false, true, true};  // field picture, first column
  cur_.mb_type = kMbPSkip;
  cur_.coded_blocks = 0;
  set_mv(&cur_mv_, 0, 15, 0, 2);
  decoder_bs_inter_mb(&k_, bs_, &cur_, &cur_mv_, &n);
  EXPECT_EQ(edge(kBsLeft), (std::vector<int>(4, 0)));
  EXPECT_EQ(edge(kBsTop), (std::vector<int>(4, 3)));
  for (int i = kBsVertical; i < kBsSize; ++i) EXPECT_EQ(bs_[i], 0);

  n = {&nb_, &nb_mv_, &nb_, &nb_mv_, true, false, true};
  decoder_bs_inter_mb(&k_, bs_, &cur_, &cur_mv_, &n);
  EXPECT_EQ(edge(kBsLeft), (std::vector<int>(4, 1)));  // vertical difference 2 in a field
  EXPECT_EQ(edge(kBsTop), (std::vector<int>(4, 0)));

  // 8x16 partitions with the 8x8 transform: only edge 2 carries the motion test.
  cur_.mb_type = kMbP8x16;
  cur_.transform_size_8x8_flag = 1;
  set_mv(&cur_mv_, 4, 7, 8, 2);
  set_mv(&cur_mv_, 12, 15, 8, 2);
  decoder_bs_inter_mb(&k_, bs_, &cur_, &cur_mv_, &n);
  EXPECT_EQ(edge(kBsVertical + 4), (std::vector<int>(4, 1)));
  EXPECT_EQ(edge(kBsVertical), (std::vector<int>(4, 0)));
  EXPECT_EQ(edge(kBsHorizontal + 4), (std::vector<int>(4, 0)));
}

// A picture of 3 x 3 macroblocks, deblocked by the finish step macroblock by macroblock and by a
// plain whole-picture implementation of clause 8.7 for comparison.
class ReconDeblockPicture : public ::testing::Test {
 protected:
  static constexpr int kMbs = 3;
  static constexpr int kW = 16 * kMbs;
  static constexpr int kCw = 8 * kMbs;

  void SetUp() override {
    decoder_recon_kernels_portable(&k_);
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> base(60, 190), offset(-9, 9), noise(-2, 2), qp(18, 51),
        weak(0, 2), internal(0, 3), coin(0, 3);
    source_[0].resize(kW * kW);
    source_[1].resize(kCw * kCw);
    source_[2].resize(kCw * kCw);
    for (int plane = 0; plane < 3; ++plane) {
      const int w = plane == 0 ? kW : kCw, blk = plane == 0 ? 4 : 2;
      std::vector<int> block_offset((w / blk) * (w / blk));
      for (int& o : block_offset) o = offset(rng);
      const int b = base(rng);
      for (int y = 0; y < w; ++y)
        for (int x = 0; x < w; ++x)
          source_[plane][y * w + x] =
              static_cast<uint8_t>(b + block_offset[(y / blk) * (w / blk) + x / blk] + noise(rng));
    }
    for (int mb = 0; mb < kMbs * kMbs; ++mb) {
      MbInfo& info = info_[mb];
      std::memset(&info, 0, sizeof info);
      info.qp = static_cast<uint8_t>(qp(rng));
      info.qp_cb = decoder_chroma_qp[qp(rng)];
      info.qp_cr = decoder_chroma_qp[qp(rng)];
      uint8_t* bs = bs_[mb];
      for (int edge = 0; edge < 2; ++edge) {
        const bool border = edge == 0 ? mb % kMbs == 0 : mb < kMbs;
        const bool intra = coin(rng) == 0;
        for (int s = 0; s < 4; ++s)
          bs[4 * edge + s] = static_cast<uint8_t>(border ? 0 : (intra ? 4 : weak(rng)));
      }
      for (int i = kBsVertical; i < kBsSize; ++i) bs[i] = static_cast<uint8_t>(internal(rng));
    }
  }

  uint8_t& sample(std::vector<uint8_t>* planes, int plane, int x, int y) {
    return planes[plane][y * (plane == 0 ? kW : kCw) + x];
  }

  // Clause 8.7 over the whole picture.
  void reference_deblock(std::vector<uint8_t>* planes, int offset_a, int offset_b) {
    for (int mb = 0; mb < kMbs * kMbs; ++mb) {
      const int mx = mb % kMbs, my = mb / kMbs;
      for (int vertical = 1; vertical >= 0; --vertical) {
        for (int plane = 0; plane < 3; ++plane) {
          const int size = plane == 0 ? 16 : 8;
          for (int e = 0; e < (plane == 0 ? 4 : 2); ++e) {
            const int luma_edge = plane == 0 ? e : 2 * e;  // chroma edge 1 uses luma edge 2
            const uint8_t* s =
                bs_[mb] + (luma_edge == 0
                               ? (vertical ? kBsLeft : kBsTop)
                               : (vertical ? kBsVertical : kBsHorizontal) + 4 * (luma_edge - 1));
            if (luma_edge == 0 && (vertical ? mx : my) == 0) continue;  // picture border
            const MbInfo& q = info_[mb];
            const MbInfo& p = luma_edge == 0 ? info_[vertical ? mb - 1 : mb - kMbs] : q;
            const int qp_p = plane == 0 ? p.qp : plane == 1 ? p.qp_cb : p.qp_cr;
            const int qp_q = plane == 0 ? q.qp : plane == 1 ? q.qp_cb : q.qp_cr;
            for (int i = 0; i < size; ++i) {
              const int strength = s[plane == 0 ? i / 4 : i / 2];
              if (strength == 0) continue;
              const int qpav = (qp_p + qp_q + 1) >> 1;
              const int index_a = std::clamp(qpav + offset_a, 0, 51);
              const int index_b = std::clamp(qpav + offset_b, 0, 51);
              const int tc0 = strength < 4 ? decoder_tc0[index_a][strength - 1] : 0;
              Line line;
              for (int k = 0; k < 8; ++k) {
                const int along = size * (vertical ? my : mx) + i;
                const int across = size * (vertical ? mx : my) + 4 * e + k - 4;
                line[k] = vertical ? sample(planes, plane, across, along)
                                   : sample(planes, plane, along, across);
              }
              line = reference_filter(line, plane != 0, strength == 4, decoder_alpha[index_a],
                                      decoder_beta[index_b], tc0);
              for (int k = 0; k < 8; ++k) {
                const int along = size * (vertical ? my : mx) + i;
                const int across = size * (vertical ? mx : my) + 4 * e + k - 4;
                (vertical ? sample(planes, plane, across, along)
                          : sample(planes, plane, along, across)) = static_cast<uint8_t>(line[k]);
              }
            }
          }
        }
      }
    }
  }

  // Runs the finish step over the picture; every macroblock comes from the unfiltered source.
  void finish_all(std::vector<uint8_t>* planes, int idc, int offset_a, int offset_b) {
    planes[0].assign(kW * kW, 0);
    planes[1].assign(kCw * kCw, 0);
    planes[2].assign(kCw * kCw, 0);
    for (int mb = 0; mb < kMbs * kMbs; ++mb) {
      const int mx = mb % kMbs, my = mb / kMbs;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
          wa_.luma[luma_sample_offset(x, y)] = sample(source_, 0, 16 * mx + x, 16 * my + y);
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          wa_.cb[8 * y + x] = sample(source_, 1, 8 * mx + x, 8 * my + y);
          wa_.cr[8 * y + x] = sample(source_, 2, 8 * mx + x, 8 * my + y);
        }
      }
      std::memcpy(wa_.bs, bs_[mb], kBsSize);
      EdgeThresholds thresholds[kQpavCount];
      decoder_slice_thresholds(thresholds, offset_a, offset_b);
      const MbFinishContext c{&k_,
                              &sample(planes, 0, 16 * mx, 16 * my),
                              &sample(planes, 1, 8 * mx, 8 * my),
                              &sample(planes, 2, 8 * mx, 8 * my),
                              kW,
                              kCw,
                              idc,
                              thresholds,
                              &info_[mb],
                              mx > 0 ? &info_[mb - 1] : nullptr,
                              my > 0 ? &info_[mb - kMbs] : nullptr};
      decoder_finish_mb(&c, &wa_);
      for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(wa_.right_luma[i], sample(source_, 0, 16 * mx + 15, 16 * my + i));
        ASSERT_EQ(info_[mb].bottom_luma[i], sample(source_, 0, 16 * mx + i, 16 * my + 15));
      }
      for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(wa_.right_cb[i], sample(source_, 1, 8 * mx + 7, 8 * my + i));
        ASSERT_EQ(wa_.right_cr[i], sample(source_, 2, 8 * mx + 7, 8 * my + i));
        ASSERT_EQ(info_[mb].bottom_cb[i], sample(source_, 1, 8 * mx + i, 8 * my + 7));
      }
    }
  }

  ReconKernels k_;
  MbWorkArea wa_{};
  MbInfo info_[kMbs * kMbs];
  uint8_t bs_[kMbs * kMbs][kBsSize];
  std::vector<uint8_t> source_[3];
};

TEST_F(ReconDeblockPicture, FinishStepMatchesWholePictureFilter) {
  for (int build : {KERNELS_PORTABLE, KERNELS_SSE2}) {
    ASSERT_TRUE(decoder_fill_kernels(&k_, build));
    for (int offsets : {0, 1, 2}) {
      const int offset_a = offsets == 1 ? 6 : (offsets == 2 ? -4 : 0);
      const int offset_b = offsets == 1 ? -2 : (offsets == 2 ? 8 : 0);
      std::vector<uint8_t> expected[3] = {source_[0], source_[1], source_[2]};
      reference_deblock(expected, offset_a, offset_b);
      std::vector<uint8_t> actual[3];
      finish_all(actual, 0, offset_a, offset_b);
      for (int plane = 0; plane < 3; ++plane)
        EXPECT_EQ(actual[plane], expected[plane]) << "build " << build << " plane " << plane;
      EXPECT_NE(expected[0], source_[0]);
    }
  }
}

TEST_F(ReconDeblockPicture, MacroblocksWithOnlyOuterOrOnlyInternalEdges) {
  // Macroblock by macroblock: internal strengths cleared, outer ones cleared, all cleared, or kept.
  for (int mb = 0; mb < kMbs * kMbs; ++mb) {
    if (mb % 4 == 0 || mb % 4 == 2) std::memset(bs_[mb] + kBsVertical, 0, kBsSize - kBsVertical);
    if (mb % 4 == 1 || mb % 4 == 2) std::memset(bs_[mb], 0, kBsVertical);
  }
  for (int build : {KERNELS_PORTABLE, KERNELS_SSE2}) {
    ASSERT_TRUE(decoder_fill_kernels(&k_, build));
    std::vector<uint8_t> expected[3] = {source_[0], source_[1], source_[2]};
    reference_deblock(expected, 0, 0);
    std::vector<uint8_t> actual[3];
    finish_all(actual, 0, 0, 0);
    for (int plane = 0; plane < 3; ++plane)
      EXPECT_EQ(actual[plane], expected[plane]) << "build " << build << " plane " << plane;
  }
}

TEST_F(ReconDeblockPicture, DisabledFilterStoresUnfilteredSamples) {
  std::vector<uint8_t> actual[3];
  finish_all(actual, 1, 0, 0);
  for (int plane = 0; plane < 3; ++plane) EXPECT_EQ(actual[plane], source_[plane]);
}

TEST_F(ReconDeblockPicture, ZeroStrengthEdgesKeepTheirSamples) {
  // With every strength 0 (a slice border under idc 2, or P_Skip next to P_Skip) nothing moves.
  for (auto& bs : bs_) std::memset(bs, 0, kBsSize);
  std::vector<uint8_t> actual[3];
  finish_all(actual, 2, 0, 0);
  for (int plane = 0; plane < 3; ++plane) EXPECT_EQ(actual[plane], source_[plane]);
}
