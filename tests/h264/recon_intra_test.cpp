// Intra prediction kernels and neighbour tables. Expected blocks come from a separate
// implementation of the prediction equations of clauses 8.3.1.2 and 8.3.2.2.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

class ReconIntra : public ::testing::Test {
 protected:
  void SetUp() override {
    decoder_recon_kernels_portable(&k_);
    std::memset(&wa_, 0, sizeof wa_);
    std::memset(wa_.luma, 0xEE, sizeof wa_.luma);
    set_flags(1, 1, 1);
  }

  void set_flags(int left, int top, int top_left) {
    wa_.luma[kFlagOne] = 1;
    std::memset(wa_.luma + kFlagLeft, left, 4);
    wa_.luma[kFlagTop] = static_cast<uint8_t>(top);
    wa_.luma[kFlagTopLeft] = static_cast<uint8_t>(top_left);
  }

  // Sample (x, y) relative to the macroblock, border included.
  uint8_t& at(int x, int y) {
    if (x < 0) return wa_.luma[y < 0 ? kLumaTopLeft : kLumaLeft + y];
    if (y < 0) return wa_.luma[x < 16 ? kLumaTop + x : kLumaTopRight + x - 16];
    return wa_.luma[luma_sample_offset(x, y)];
  }

  // Writes the neighbours of the n x n block at (bx, by): top (2n samples, top-right included),
  // left (n samples) and the corner.
  void put_border(int bx, int by, int n, const std::vector<int>& top, const std::vector<int>& left,
                  int corner) {
    for (int i = 0; i < 2 * n; ++i)
      if (bx + i < 16 || by == 0) at(bx + i, by - 1) = static_cast<uint8_t>(top[i]);
    for (int i = 0; i < n; ++i) at(bx - 1, by + i) = static_cast<uint8_t>(left[i]);
    at(bx - 1, by - 1) = static_cast<uint8_t>(corner);
  }

  void expect_block(int bx, int by, int n, const std::vector<int>& expected) {
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x)
        ASSERT_EQ(at(bx + x, by + y), expected[n * y + x]) << "x " << x << " y " << y;
  }

  ReconKernels k_;
  MbWorkArea wa_;
};

const std::vector<int> kTop4 = {10, 40, 200, 90, 60, 250, 0, 120};
const std::vector<int> kLeft4 = {30, 180, 70, 220};
constexpr int kCorner4 = 100;
const std::vector<int> kExpected4x4[9] = {
    {10, 40, 200, 90, 10, 40, 200, 90, 10, 40, 200, 90, 10, 40, 200, 90},
    {30, 30, 30, 30, 180, 180, 180, 180, 70, 70, 70, 70, 220, 220, 220, 220},
    {105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 105},
    {73, 133, 110, 115, 133, 110, 115, 140, 110, 115, 140, 93, 115, 140, 93, 90},
    {60, 40, 73, 133, 85, 60, 40, 73, 115, 85, 60, 40, 135, 115, 85, 60},
    {55, 25, 120, 145, 60, 40, 73, 133, 85, 55, 25, 120, 115, 60, 40, 73},
    {65, 60, 40, 73, 105, 85, 65, 60, 125, 115, 105, 85, 145, 135, 125, 115},
    {25, 120, 145, 75, 73, 133, 110, 115, 120, 145, 75, 155, 133, 110, 115, 140},
    {105, 115, 125, 135, 125, 135, 145, 183, 145, 183, 220, 220, 220, 220, 220, 220},
};

TEST_F(ReconIntra, FourByFourModesAtBorderAndInsideTheMacroblock) {
  // Block 0 reads the border; block 6 reads blocks 3, 4, 5 and sample (7, 3); block 9 reads
  // blocks 3, 6 and 8.
  const struct { int blk, x, y; } blocks[] = {{0, 0, 0}, {6, 8, 4}, {9, 4, 8}};
  for (const auto& b : blocks) {
    for (int mode = 0; mode < 9; ++mode) {
      SCOPED_TRACE(testing::Message() << "block " << b.blk << " mode " << mode);
      put_border(b.x, b.y, 4, kTop4, kLeft4, kCorner4);
      k_.intra4x4[mode](b.blk, wa_.luma, wa_.residual, 0);
      expect_block(b.x, b.y, 4, kExpected4x4[mode]);
    }
  }
}

TEST_F(ReconIntra, FourByFourDcAvailability) {
  put_border(0, 0, 4, kTop4, kLeft4, kCorner4);
  set_flags(1, 0, 0);
  k_.intra4x4[2](0, wa_.luma, wa_.residual, 0);
  EXPECT_EQ(at(0, 0), 125);  // (30 + 180 + 70 + 220 + 2) >> 2
  set_flags(0, 1, 0);
  k_.intra4x4[2](0, wa_.luma, wa_.residual, 0);
  EXPECT_EQ(at(3, 3), 85);
  set_flags(0, 0, 0);
  k_.intra4x4[2](0, wa_.luma, wa_.residual, 0);
  expect_block(0, 0, 4, std::vector<int>(16, 128));
  // Neighbours inside the macroblock are always there, whatever the border flags say.
  put_border(4, 0, 4, kTop4, kLeft4, kCorner4);
  k_.intra4x4[2](1, wa_.luma, wa_.residual, 0);
  EXPECT_EQ(at(4, 0), 125);
  put_border(4, 4, 4, kTop4, kLeft4, kCorner4);
  k_.intra4x4[2](3, wa_.luma, wa_.residual, 0);
  EXPECT_EQ(at(4, 4), 105);
}

TEST_F(ReconIntra, TopRightSubstitutionOfBlocksThreeSevenElevenThirteenFifteen) {
  // Block 3: p[4..7, -1] would be block 6, not yet decoded; p[3, -1] = sample (7, 3) is used.
  put_border(4, 4, 4, kTop4, kLeft4, kCorner4);
  for (int x = 8; x < 12; ++x) at(x, 3) = 255;
  k_.intra4x4[3](3, wa_.luma, wa_.residual, 0);
  expect_block(4, 4, 4, {73, 133, 118, 90, 133, 118, 90, 90, 118, 90, 90, 90, 90, 90, 90, 90});
  put_border(4, 4, 4, kTop4, kLeft4, kCorner4);
  k_.intra4x4[7](3, wa_.luma, wa_.residual, 0);
  expect_block(4, 4, 4, {25, 120, 145, 90, 73, 133, 118, 90, 120, 145, 90, 90, 133, 118, 90, 90});

  const int substituted[] = {3, 7, 11, 13, 15};
  for (int blk = 0; blk < 16; ++blk) {
    const Intra4x4Neighbours& n = decoder_intra4x4_neighbours[blk];
    bool is_substituted = false;
    for (int s : substituted) is_substituted |= s == blk;
    for (int i = 0; i < 4; ++i) {
      if (is_substituted) {
        EXPECT_EQ(n.top_right[i], n.top[3]) << blk;
      } else {
        EXPECT_NE(n.top_right[i], n.top[3]) << blk;
      }
    }
  }
}

TEST_F(ReconIntra, BlockFiveTakesTopRightRow) {
  // The driver puts C's samples (or B's last sample replicated) at 288..291.
  put_border(12, 0, 4, kTop4, kLeft4, kCorner4);
  EXPECT_EQ(wa_.luma[kLumaTopRight], 60);
  k_.intra4x4[3](5, wa_.luma, wa_.residual, 0);
  expect_block(12, 0, 4, kExpected4x4[3]);
  std::memset(wa_.luma + kLumaTopRight, 90, 8);  // C not available: B(15, -1) replicated
  put_border(12, 0, 4, {10, 40, 200, 90, 90, 90, 90, 90}, kLeft4, kCorner4);
  k_.intra4x4[3](5, wa_.luma, wa_.residual, 0);
  expect_block(12, 0, 4, {73, 133, 118, 90, 133, 118, 90, 90, 118, 90, 90, 90, 90, 90, 90, 90});
}

TEST_F(ReconIntra, NeighbourTablesPointAtTheNamedSamples) {
  const Intra4x4Neighbours& b0 = decoder_intra4x4_neighbours[0];
  EXPECT_EQ(b0.left[3], kLumaLeft + 3);
  EXPECT_EQ(b0.top[0], kLumaTop);
  EXPECT_EQ(b0.top_right[0], kLumaTop + 4);
  EXPECT_EQ(b0.top_left, kLumaTopLeft);
  EXPECT_EQ(b0.flag_top_left, kFlagTopLeft);
  const Intra4x4Neighbours& b2 = decoder_intra4x4_neighbours[2];
  EXPECT_EQ(b2.top[0], 24);  // sample (0, 3)
  EXPECT_EQ(b2.top_left, kLumaLeft + 3);
  EXPECT_EQ(b2.flag_left, kFlagLeft + 1);
  EXPECT_EQ(b2.flag_top, kFlagOne);
  EXPECT_EQ(b2.flag_top_left, kFlagLeft);
  const Intra4x4Neighbours& b5 = decoder_intra4x4_neighbours[5];
  EXPECT_EQ(b5.top_right[3], kLumaTopRight + 3);
  EXPECT_EQ(b5.flag_left, kFlagOne);
  EXPECT_EQ(decoder_intra4x4_neighbours[10].flag_left, kFlagLeft + 3);
  const Intra8x8Neighbours& q1 = decoder_intra8x8_neighbours[1];
  EXPECT_EQ(q1.top_right[7], kLumaTopRight + 7);
  EXPECT_EQ(q1.top_left, kLumaTop + 7);
  EXPECT_EQ(q1.flag_top_left, kFlagTop);
  const Intra8x8Neighbours& q2 = decoder_intra8x8_neighbours[2];
  EXPECT_EQ(q2.top_right[0], luma_sample_offset(8, 7));
  EXPECT_EQ(q2.flag_left, kFlagLeft + 2);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(decoder_intra8x8_neighbours[3].top_right[i], luma_sample_offset(15, 7));
  // Mode prediction neighbours: block 0 looks at block 5 of A and block 10 of B.
  EXPECT_EQ(decoder_intra4x4_mode_left[0], kNeighbourMb + 5);
  EXPECT_EQ(decoder_intra4x4_mode_top[0], kNeighbourMb + 10);
  EXPECT_EQ(decoder_intra4x4_mode_left[13], 12);
  EXPECT_EQ(decoder_intra4x4_mode_top[13], 7);
  EXPECT_EQ(decoder_intra8x8_mode_left[2], kNeighbourMb + 13);
  EXPECT_EQ(decoder_intra8x8_mode_top[1], kNeighbourMb + 14);
}

TEST_F(ReconIntra, ResidualIsAddedOnlyWithTheQuadrantsCbpBit) {
  put_border(12, 0, 4, kTop4, kLeft4, kCorner4);
  for (int16_t& r : wa_.residual) r = 1000;        // stale values
  k_.intra4x4[0](5, wa_.luma, wa_.residual, 0xD);  // quadrant 1 bit clear
  expect_block(12, 0, 4, kExpected4x4[0]);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      wa_.residual[luma_sample_offset(12 + x, y)] = static_cast<int16_t>(x == 0 ? -20 : 60 * x);
  put_border(12, 0, 4, kTop4, kLeft4, kCorner4);
  k_.intra4x4[0](5, wa_.luma, wa_.residual, 0x2);
  // Vertical prediction 10, 40, 200, 90 plus -20, 60, 120, 180, clipped.
  expect_block(12, 0, 4, {0, 100, 255, 255, 0, 100, 255, 255, 0, 100, 255, 255, 0, 100, 255, 255});
}

const std::vector<int> kTop8 = {121, 66, 189, 242, 33,  6,  240, 132,
                                119, 98, 240, 243, 203, 77, 118, 77};
const std::vector<int> kLeft8 = {199, 7, 32, 81, 21, 154, 15, 137};
constexpr int kCorner8 = 77;

std::vector<int> rows_of(std::initializer_list<int> row) {
  std::vector<int> v;
  for (int i = 0; i < 8; ++i) v.insert(v.end(), row);
  return v;
}

TEST_F(ReconIntra, EightByEightFiltersReferenceSamples) {
  const std::vector<int> expected[9] = {
      rows_of({96, 111, 172, 177, 79, 71, 155, 156}),
      {121, 121, 121, 121, 121, 121, 121, 121, 61,  61,  61,  61,  61,  61,  61,  61,
       38,  38,  38,  38,  38,  38,  38,  38,  54,  54,  54,  54,  54,  54,  54,  54,
       69,  69,  69,  69,  69,  69,  69,  69,  86,  86,  86,  86,  86,  86,  86,  86,
       80,  80,  80,  80,  80,  80,  80,  80,  107, 107, 107, 107, 107, 107, 107, 107},
      std::vector<int>(64, 102),
      {123, 158, 151, 102, 94,  134, 146, 132, 158, 151, 102, 94,  134, 146, 132, 150,
       151, 102, 94,  134, 146, 132, 150, 195, 102, 94,  134, 146, 132, 150, 195, 213,
       94,  134, 146, 132, 150, 195, 213, 179, 134, 146, 132, 150, 195, 213, 179, 130,
       146, 132, 150, 195, 213, 179, 130, 101, 132, 150, 195, 213, 179, 130, 101, 90},
      {114, 106, 123, 158, 151, 102, 94,  134, 106, 114, 106, 123, 158, 151, 102, 94,
       70,  106, 114, 106, 123, 158, 151, 102, 48,  70,  106, 114, 106, 123, 158, 151,
       54,  48,  70,  106, 114, 106, 123, 158, 70,  54,  48,  70,  106, 114, 106, 123,
       80,  70,  54,  48,  70,  106, 114, 106, 88,  80,  70,  54,  48,  70,  106, 114},
      {108, 104, 142, 175, 128, 75,  113, 156, 114, 106, 123, 158, 151, 102, 94,  134,
       106, 108, 104, 142, 175, 128, 75,  113, 70,  114, 106, 123, 158, 151, 102, 94,
       48,  106, 108, 104, 142, 175, 128, 75,  54,  70,  114, 106, 123, 158, 151, 102,
       70,  48,  106, 108, 104, 142, 175, 128, 80,  54,  70,  114, 106, 123, 158, 151},
      {120, 114, 106, 123, 158, 151, 102, 94,  91, 106, 120, 114, 106, 123, 158, 151,
       50,  70,  91,  106, 120, 114, 106, 123, 46, 48,  50,  70,  91,  106, 120, 114,
       62,  54,  46,  48,  50,  70,  91,  106, 78, 70,  62,  54,  46,  48,  50,  70,
       83,  80,  78,  70,  62,  54,  46,  48,  94, 88,  83,  80,  78,  70,  62,  54},
      {104, 142, 175, 128, 75,  113, 156, 137, 123, 158, 151, 102, 94,  134, 146, 132,
       142, 175, 128, 75,  113, 156, 137, 128, 158, 151, 102, 94,  134, 146, 132, 150,
       175, 128, 75,  113, 156, 137, 128, 172, 151, 102, 94,  134, 146, 132, 150, 195,
       128, 75,  113, 156, 137, 128, 172, 219, 102, 94,  134, 146, 132, 150, 195, 213},
      {91, 70,  50,  48,  46,  54,  62,  70,  50,  48,  46,  54,  62,  70,  78,  80,
       46, 54,  62,  70,  78,  80,  83,  88,  62,  70,  78,  80,  83,  88,  94,  100,
       78, 80,  83,  88,  94,  100, 107, 107, 83,  88,  94,  100, 107, 107, 107, 107,
       94, 100, 107, 107, 107, 107, 107, 107, 107, 107, 107, 107, 107, 107, 107, 107},
  };
  for (int mode = 0; mode < 9; ++mode) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    put_border(0, 0, 8, kTop8, kLeft8, kCorner8);
    k_.intra8x8[mode](0, wa_.luma, wa_.residual, 0);
    expect_block(0, 0, 8, expected[mode]);
  }
}

TEST_F(ReconIntra, EightByEightWithoutTopLeftOrOneSide) {
  // Without p[-1, -1] the first top and left samples use the two-tap edge rule.
  set_flags(1, 1, 0);
  put_border(0, 0, 8, kTop8, kLeft8, kCorner8);
  k_.intra8x8[0](0, wa_.luma, wa_.residual, 0);
  expect_block(0, 0, 8, rows_of({107, 111, 172, 177, 79, 71, 155, 156}));
  put_border(0, 0, 8, kTop8, kLeft8, kCorner8);
  k_.intra8x8[1](0, wa_.luma, wa_.residual, 0);
  EXPECT_EQ(at(5, 0), 151);
  EXPECT_EQ(at(0, 7), 107);
  put_border(0, 0, 8, kTop8, kLeft8, kCorner8);
  k_.intra8x8[2](0, wa_.luma, wa_.residual, 0);
  EXPECT_EQ(at(7, 7), 105);
  set_flags(1, 0, 0);
  put_border(0, 0, 8, kTop8, kLeft8, kCorner8);
  k_.intra8x8[2](0, wa_.luma, wa_.residual, 0);
  expect_block(0, 0, 8, std::vector<int>(64, 81));
  set_flags(0, 1, 0);
  put_border(0, 0, 8, kTop8, kLeft8, kCorner8);
  k_.intra8x8[2](0, wa_.luma, wa_.residual, 0);
  expect_block(0, 0, 8, std::vector<int>(64, 129));
  set_flags(0, 0, 0);
  put_border(0, 0, 8, kTop8, kLeft8, kCorner8);
  k_.intra8x8[2](0, wa_.luma, wa_.residual, 0xF);
  expect_block(0, 0, 8, std::vector<int>(64, 128));
}

TEST_F(ReconIntra, EightByEightBlockThreeSubstitutesTopRight) {
  // Block 3 reads row 7 of quadrant 1, column 7 of quadrant 2 and sample (7, 7).
  std::vector<int> top(16, 0);
  for (int i = 0; i < 8; ++i) top[i] = kTop8[i];
  put_border(8, 8, 8, top, kLeft8, kCorner8);
  k_.intra8x8[3](3, wa_.luma, wa_.residual, 0);
  expect_block(8, 8, 8,
               {123, 158, 151, 102, 94,  135, 151, 139, 158, 151, 102, 94,  135, 151, 139, 132,
                151, 102, 94,  135, 151, 139, 132, 132, 102, 94,  135, 151, 139, 132, 132, 132,
                94,  135, 151, 139, 132, 132, 132, 132, 135, 151, 139, 132, 132, 132, 132, 132,
                151, 139, 132, 132, 132, 132, 132, 132, 139, 132, 132, 132, 132, 132, 132, 132});
}

TEST_F(ReconIntra, EightByEightResidualPerQuadrant) {
  put_border(8, 0, 8, kTop8, kLeft8, kCorner8);
  for (int16_t& r : wa_.residual) r = -300;
  k_.intra8x8[0](1, wa_.luma, wa_.residual, 0x1);  // bit 1 clear: prediction only
  EXPECT_EQ(at(8, 7), 96);
  put_border(8, 0, 8, kTop8, kLeft8, kCorner8);
  k_.intra8x8[0](1, wa_.luma, wa_.residual, 0x2);
  expect_block(8, 0, 8, std::vector<int>(64, 0));
}

// The 16x16 and chroma borders sampled from a plane f(x, y) = base + gx x + gy y.
void put_plane_border(uint8_t* left, uint8_t* top, uint8_t* corner, int n, int base, int gx,
                      int gy) {
  for (int i = 0; i < n; ++i) {
    top[i] = static_cast<uint8_t>(base + gx * i - gy);
    left[i] = static_cast<uint8_t>(base - gx + gy * i);
  }
  *corner = static_cast<uint8_t>(base - gx - gy);
}

TEST_F(ReconIntra, SixteenBySixteenModes) {
  uint8_t* l = wa_.luma;
  put_plane_border(l + kLumaLeft, l + kLumaTop, l + kLumaTopLeft, 16, 100, 2, 3);
  for (int16_t& r : wa_.residual) r = 0;
  k_.intra16x16[3](wa_.luma, wa_.residual);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(at(x, y), 100 + 2 * x + 3 * y) << x << "," << y;
  k_.intra16x16[0](wa_.luma, wa_.residual);
  EXPECT_EQ(at(9, 15), 115);  // p[9, -1] = 100 + 18 - 3
  k_.intra16x16[1](wa_.luma, wa_.residual);
  EXPECT_EQ(at(15, 4), 110);  // p[-1, 4] = 100 - 2 + 12
  k_.intra16x16[2](wa_.luma, wa_.residual);
  // top sum 16 x 97 + 2 x 120, left sum 16 x 98 + 3 x 120: (3720 + 16) >> 5 = 116
  EXPECT_EQ(at(3, 3), 116);
  set_flags(0, 1, 0);
  k_.intra16x16[2](wa_.luma, wa_.residual);
  EXPECT_EQ(at(0, 15), (16 * 97 + 240 + 8) >> 4);
  set_flags(0, 0, 0);
  for (int16_t& r : wa_.residual) r = 7;
  k_.intra16x16[2](wa_.luma, wa_.residual);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(at(x, y), 135);
}

TEST_F(ReconIntra, SixteenBySixteenPlaneClips) {
  uint8_t* l = wa_.luma;
  for (int i = 0; i < 16; ++i) {
    l[kLumaTop + i] = static_cast<uint8_t>(i < 8 ? 0 : 255);
    l[kLumaLeft + i] = static_cast<uint8_t>(i < 8 ? 0 : 255);
  }
  l[kLumaTopLeft] = 0;
  for (int16_t& r : wa_.residual) r = 0;
  k_.intra16x16[3](wa_.luma, wa_.residual);
  EXPECT_EQ(at(0, 0), 0);
  EXPECT_EQ(at(15, 15), 255);
}

TEST_F(ReconIntra, ChromaDcPerBlockAndAvailability) {
  for (uint8_t* c : {wa_.cb, wa_.cr}) {
    std::memset(c + kChromaTop, 10, 8);
    std::memset(c + kChromaLeft, 50, 8);
  }
  for (int16_t& r : wa_.residual) r = 99;
  const int16_t* res_cb = wa_.residual + kResidualCb;
  const int16_t* res_cr = wa_.residual + kResidualCr;
  k_.intra_chroma[0](&wa_, wa_.cb, wa_.cr, res_cb, res_cr, 0);
  // Blocks 0 and 3 average both sides, block 1 prefers the top, block 2 the left.
  const int expected[4] = {30, 10, 50, 30};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int blk = (y / 4) * 2 + x / 4;
      ASSERT_EQ(wa_.cb[8 * y + x], expected[blk]);
      ASSERT_EQ(wa_.cr[8 * y + x], expected[blk]);
    }
  }
  set_flags(0, 1, 0);
  k_.intra_chroma[0](&wa_, wa_.cb, wa_.cr, res_cb, res_cr, 0);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(wa_.cb[i], 10);
  set_flags(1, 0, 0);
  k_.intra_chroma[0](&wa_, wa_.cb, wa_.cr, res_cb, res_cr, 0);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(wa_.cr[i], 50);
  set_flags(0, 0, 0);
  k_.intra_chroma[0](&wa_, wa_.cb, wa_.cr, res_cb, res_cr, 1);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(wa_.cb[i], 128 + 99);
}

TEST_F(ReconIntra, ChromaDirectionalAndPlane) {
  put_plane_border(wa_.cb + kChromaLeft, wa_.cb + kChromaTop, wa_.cb + kChromaTopLeft, 8, 50, 3, 2);
  put_plane_border(wa_.cr + kChromaLeft, wa_.cr + kChromaTop, wa_.cr + kChromaTopLeft, 8, 200, -3,
                   1);
  for (int16_t& r : wa_.residual) r = 0;
  wa_.residual[kResidualCr + 9] = -5;
  const int16_t* res_cb = wa_.residual + kResidualCb;
  const int16_t* res_cr = wa_.residual + kResidualCr;
  k_.intra_chroma[3](&wa_, wa_.cb, wa_.cr, res_cb, res_cr, 2);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      ASSERT_EQ(wa_.cb[8 * y + x], 50 + 3 * x + 2 * y);
      ASSERT_EQ(wa_.cr[8 * y + x], 200 - 3 * x + y - (8 * y + x == 9 ? 5 : 0));
    }
  }
  k_.intra_chroma[1](&wa_, wa_.cb, wa_.cr, res_cb, res_cr, 0);
  EXPECT_EQ(wa_.cb[8 * 5 + 7], 50 - 3 + 10);
  k_.intra_chroma[2](&wa_, wa_.cb, wa_.cr, res_cb, res_cr, 0);
  EXPECT_EQ(wa_.cr[8 * 6 + 2], 200 - 6 - 1);
}

}  // namespace
