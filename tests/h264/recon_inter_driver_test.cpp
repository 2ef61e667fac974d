// Inter drivers against a per-sample model of clause 8.4.2.2 that clamps every coordinate into
// the reference picture: all partition kinds, fractions, vectors far outside the picture, field
// references and the P_Skip strengths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "h264/recon/deblock.h"
#include "h264/recon/inter.h"
#include "h264/recon/recon_tables.h"
#include "h264/recon_inter_model.h"

namespace {

constexpr int kWidthMbs = 3;
constexpr int kHeightMbs = 2;
constexpr int kWidth = 16 * kWidthMbs;
constexpr int kHeight = 16 * kHeightMbs;  // of the frame or of each field

// One reference frame store: each plane its own exactly sized buffer, so that a read beyond it is
// caught by the sanitizer build.
struct RefStore {
  std::vector<uint8_t> luma, cb, cr;
  int width;
  int rows;  // frame rows: twice the field height when the store holds two fields

  RefStore(int frame_rows, std::mt19937& rng, bool extremes, int frame_width = kWidth)
      : width(frame_width), rows(frame_rows) {
    luma.resize(width * rows);
    cb.resize(width / 2 * rows / 2);
    cr.resize(cb.size());
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto* plane : {&luma, &cb, &cr})
      for (uint8_t& v : *plane)
        v = static_cast<uint8_t>(extremes ? (byte(rng) & 1) * 255 : byte(rng));
  }

  // The frame, or the field of the given parity inside the frame buffer.
  InterReference view(bool field, int bottom) const {
    const int luma_offset = field && bottom ? width : 0, chroma_offset = luma_offset / 2;
    return {luma.data() + luma_offset, cb.data() + chroma_offset, cr.data() + chroma_offset, 0,
            bottom};
  }
};

// Sample access of a reference as the standard sees it: coordinates clamped into the picture.
struct ClampedPlane {
  const uint8_t* first;
  int stride;
  int width;
  int height;

  int operator()(int x, int y) const {
    return first[std::clamp(y, 0, height - 1) * stride + std::clamp(x, 0, width - 1)];
  }
};

// Clause 8.4.2.2.2 at integer chroma position (x, y), fractions in eighths.
int chroma_model(const ClampedPlane& c, int x, int y, int xf, int yf) {
  return ((8 - xf) * (8 - yf) * c(x, y) + xf * (8 - yf) * c(x + 1, y) +
          (8 - xf) * yf * c(x, y + 1) + xf * yf * c(x + 1, y + 1) + 32) >>
         6;
}

int block_at(int x, int y) {
  return ((y >> 3) * 2 + (x >> 3)) * 4 + ((y >> 2) & 1) * 2 + ((x >> 2) & 1);
}

// The slice and work area of one inter macroblock.
struct InterCase {
  ReconKernels kernels;
  std::vector<InterReference> refs;
  InterSlice slice{};
  MbWorkArea wa;

  InterCase(std::vector<InterReference> list, bool field, int bottom, int width = kWidth,
            int height = kHeight)
      : refs(std::move(list)) {
    decoder_recon_kernels_portable(&kernels);
    const int field_shift = field ? 1 : 0;
    slice = {
        &kernels,    refs.data(), width, height, width << field_shift, (width / 2) << field_shift,
        field_shift, bottom};
    std::memset(&wa, 0, sizeof wa);
  }

  // Sets the vector of the 4x4 blocks in the w x h luma rectangle at (x, y).
  void set_mv(int x, int y, int w, int h, int mv_x, int mv_y) {
    for (int by = y; by < y + h; by += 4)
      for (int bx = x; bx < x + w; bx += 4) {
        wa.mv_l0[block_at(bx, by)][0] = static_cast<int16_t>(mv_x);
        wa.mv_l0[block_at(bx, by)][1] = static_cast<int16_t>(mv_y);
      }
  }

  void run() {
    switch (wa.mb_type) {
      case kMbPSkip:
        decoder_inter_p_skip(&slice, &wa);
        break;
      case kMbP16x16:
        decoder_inter_p16x16(&slice, &wa);
        break;
      case kMbP16x8:
        decoder_inter_p16x8(&slice, &wa);
        break;
      case kMbP8x16:
        decoder_inter_p8x16(&slice, &wa);
        break;
      default:
        decoder_inter_p8x8(&slice, &wa);
    }
  }

  ClampedPlane plane(const InterReference& ref, int component) const {
    const uint8_t* first = component == 0 ? ref.luma : (component == 1 ? ref.cb : ref.cr);
    const int shift = component == 0 ? 0 : 1;
    return {first, component == 0 ? slice.luma_stride : slice.chroma_stride, slice.width >> shift,
            slice.height >> shift};
  }

  // Compares the whole prediction with the models; stops at the first difference.
  void expect_model(const char* what) const {
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const int blk = block_at(x, y);
        const int mv_x = wa.mv_l0[blk][0], mv_y = wa.mv_l0[blk][1];
        const int expected = inter_model::luma(plane(refs[wa.ref_idx_l0[blk >> 2]], 0),
                                               16 * wa.mb_x + x + (mv_x >> 2),
                                               16 * wa.mb_y + y + (mv_y >> 2), mv_x & 3, mv_y & 3);
        ASSERT_EQ(wa.luma[luma_sample_offset(x, y)], expected)
            << what << ": luma " << x << "," << y << " mv " << mv_x << "," << mv_y;
      }
    }
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        const int blk = block_at(2 * x, 2 * y);
        const InterReference& ref = refs[wa.ref_idx_l0[blk >> 2]];
        int mv_y = wa.mv_l0[blk][1];
        if (slice.field_pic_flag) mv_y += 2 * (slice.bottom_field_flag - ref.bottom);
        const int mv_x = wa.mv_l0[blk][0];
        for (int c = 1; c <= 2; ++c) {
          const int expected = chroma_model(plane(ref, c), 8 * wa.mb_x + x + (mv_x >> 3),
                                            8 * wa.mb_y + y + (mv_y >> 3), mv_x & 7, mv_y & 7);
          ASSERT_EQ((c == 1 ? wa.cb : wa.cr)[8 * y + x], expected)
              << what << ": chroma " << c << " at " << x << "," << y << " mv " << mv_x << ","
              << mv_y;
        }
      }
    }
  }
};

// Vectors in quarter samples: mostly near the picture, some far outside it.
int random_mv(std::mt19937& rng) {
  switch (rng() % 4) {
    case 0:
      return static_cast<int>(rng() % 16001) - 8000;
    case 1:
      return static_cast<int>(rng() % 33) - 16;
    default:
      return static_cast<int>(rng() % 321) - 160;
  }
}

// Every macroblock kind, sub-macroblock type, fraction and edge combination on random pictures,
// frames and fields of both parities.
TEST(ReconInterDrivers, RandomMacroblocksMatchTheClampedModel) {
  std::mt19937 rng(7001);
  constexpr int32_t kKinds[] = {kMbPSkip, kMbP16x16, kMbP16x8, kMbP8x16, kMbP8x8};
  for (int round = 0; round < 600; ++round) {
    const bool field = round % 3 == 2;
    // Every fourth picture is a single macroblock: read rectangles then cross opposite edges.
    const int width_mbs = round % 4 == 3 ? 1 : kWidthMbs,
              height_mbs = round % 4 == 3 ? 1 : kHeightMbs;
    const int height = 16 * height_mbs;
    const RefStore store0(field ? 2 * height : height, rng, round % 2 == 1, 16 * width_mbs);
    const RefStore store1(field ? 2 * height : height, rng, false, 16 * width_mbs);
    const int bottom = field ? static_cast<int>(rng() % 2) : 0;
    InterCase t({store0.view(field, 0), store1.view(field, field ? 1 : 0)}, field, bottom,
                16 * width_mbs, height);
    t.wa.mb_x = static_cast<int32_t>(rng() % width_mbs);
    t.wa.mb_y = static_cast<int32_t>(rng() % height_mbs);
    t.wa.mb_type = kKinds[round % 5];
    const int refs = t.wa.mb_type == kMbPSkip ? 1 : 2;
    for (int q = 0; q < 4; ++q) t.wa.ref_idx_l0[q] = static_cast<int8_t>(rng() % refs);
    switch (t.wa.mb_type) {
      case kMbPSkip:
      case kMbP16x16:
        std::fill(t.wa.ref_idx_l0, t.wa.ref_idx_l0 + 4, t.wa.ref_idx_l0[0]);
        t.set_mv(0, 0, 16, 16, random_mv(rng), random_mv(rng));
        break;
      case kMbP16x8:
        t.wa.ref_idx_l0[1] = t.wa.ref_idx_l0[0];
        t.wa.ref_idx_l0[3] = t.wa.ref_idx_l0[2];
        for (int p = 0; p < 2; ++p) t.set_mv(0, 8 * p, 16, 8, random_mv(rng), random_mv(rng));
        break;
      case kMbP8x16:
        t.wa.ref_idx_l0[2] = t.wa.ref_idx_l0[0];
        t.wa.ref_idx_l0[3] = t.wa.ref_idx_l0[1];
        for (int p = 0; p < 2; ++p) t.set_mv(8 * p, 0, 8, 16, random_mv(rng), random_mv(rng));
        break;
      default:
        for (int q = 0; q < 4; ++q) {
          const int sub = static_cast<int>(rng() % 4);
          t.wa.sub_mb_type[q] = static_cast<uint8_t>(sub);
          const int w = sub == 0 || sub == 1 ? 8 : 4, h = sub == 0 || sub == 2 ? 8 : 4;
          for (int y = 0; y < 8; y += h)
            for (int x = 0; x < 8; x += w)
              t.set_mv(8 * (q & 1) + x, 8 * (q >> 1) + y, w, h, random_mv(rng), random_mv(rng));
        }
    }
    t.run();
    t.expect_model(field ? "field" : "frame");
    if (HasFatalFailure()) return;
  }
}

// A picture of one store for the edge cases below.
struct SingleRef {
  std::mt19937 rng{31};
  RefStore store{kHeight, rng, false};
  InterCase t{{store.view(false, 0)}, false, 0};
};

TEST(ReconInterDrivers, FarUpLeftVectorOnTheFirstMacroblockRepeatsTheCornerSample) {
  SingleRef f;
  f.t.wa.mb_type = kMbP16x16;
  f.t.set_mv(0, 0, 16, 16, -64, -64);
  f.t.run();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(f.t.wa.luma[i], f.store.luma[0]) << i;
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(f.t.wa.cb[i], f.store.cb[0]);
    ASSERT_EQ(f.t.wa.cr[i], f.store.cr[0]);
  }
}

TEST(ReconInterDrivers, BlockCrossingTheRightAndBottomEdgesReadsClampedSamples) {
  SingleRef f;
  f.t.wa.mb_x = kWidthMbs - 1;
  f.t.wa.mb_y = kHeightMbs - 1;
  for (const int32_t kind : {kMbP16x16, kMbP8x8}) {
    f.t.wa.mb_type = kind;
    // Fractions in both directions: the read rectangles reach 3 samples beyond the block.
    f.t.set_mv(0, 0, 16, 16, 4 * 7 + 1, 4 * 9 + 2);
    f.t.run();
    f.t.expect_model("bottom-right");
    // The last column and row of the picture stand for everything beyond them.
    f.t.set_mv(0, 0, 16, 16, 4 * 40, 4 * 40);
    f.t.run();
    const uint8_t corner = f.store.luma[kWidth * kHeight - 1];
    for (int i = 0; i < 256; ++i) ASSERT_EQ(f.t.wa.luma[i], corner) << i;
  }
}

// On a picture of one macroblock the 6-tap rectangle of a 16-wide partition is wider (taller)
// than the picture and crosses both opposite edges.
TEST(ReconInterDrivers, RectanglesLargerThanThePictureClampOnBothSides) {
  std::mt19937 rng(12);
  const RefStore store(16, rng, false, 16);
  InterCase t({store.view(false, 0)}, false, 0, 16, 16);
  for (const int32_t kind : {kMbP16x16, kMbP16x8}) {
    t.wa.mb_type = kind;
    for (const auto& [mv_x, mv_y] : {std::pair{1, 0}, {0, 3}, {6, 0}, {-2, 0}, {2, 1}}) {
      t.set_mv(0, 0, 16, 16, mv_x, mv_y);
      t.run();
      t.expect_model("one macroblock");
    }
  }
}

// j and its averages f, i, k, q on a picture of 0 and 255: the intermediate values leave 0..255,
// so both terms must be clipped before the average.
TEST(ReconInterDrivers, QuarterSamplesBesideTheCentreClipBothTerms) {
  std::mt19937 rng(5);
  const RefStore store(kHeight, rng, true);
  InterCase t({store.view(false, 0)}, false, 0);
  t.wa.mb_x = 1;
  t.wa.mb_y = 0;
  t.wa.mb_type = kMbP16x16;
  const ClampedPlane g = t.plane(t.refs[0], 0);
  for (const auto& [xf, yf] : {std::pair{2, 1}, {1, 2}, {3, 2}, {2, 3}}) {
    t.set_mv(0, 0, 16, 16, 4 * 3 + xf, 4 * 5 + yf);
    t.run();
    t.expect_model("f, i, k, q");
    // Averaging unclipped terms would differ somewhere on this picture.
    const auto tap = [](auto at) {
      return at(-2) - 5 * at(-1) + 20 * at(0) + 20 * at(1) - 5 * at(2) + at(3);
    };
    const auto b1 = [&](int x, int y) { return tap([&](int k) { return g(x + k, y); }); };
    const auto h1 = [&](int x, int y) { return tap([&](int k) { return g(x, y + k); }); };
    int differences = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const int px = 16 + x + 3, py = y + 5;
        const int j = (tap([&](int k) { return b1(px, py + k); }) + 512) >> 10;
        const int other =
            xf == 2 ? (b1(px, py + yf / 2) + 16) >> 5 : (h1(px + xf / 2, py) + 16) >> 5;
        if (((j + other + 1) >> 1) != inter_model::luma(g, px, py, xf, yf)) ++differences;
      }
    }
    EXPECT_GT(differences, 0);
  }
}

TEST(ReconInterDrivers, ChromaCopyAndHalfSampleAverage) {
  SingleRef f;
  f.t.wa.mb_x = 1;
  f.t.wa.mb_y = 1;
  f.t.wa.mb_type = kMbP16x16;
  const int cx = 8, cy = 8, stride = kWidth / 2;
  f.t.set_mv(0, 0, 16, 16, 0, 0);
  f.t.run();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      ASSERT_EQ(f.t.wa.cb[8 * y + x], f.store.cb[(cy + y) * stride + cx + x]);
      ASSERT_EQ(f.t.wa.cr[8 * y + x], f.store.cr[(cy + y) * stride + cx + x]);
    }
  f.t.set_mv(0, 0, 16, 16, 4, 0);  // chroma (4, 0)
  f.t.run();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const int a = f.store.cb[(cy + y) * stride + cx + x];
      const int b = f.store.cb[(cy + y) * stride + std::min(cx + x + 1, stride - 1)];
      ASSERT_EQ(f.t.wa.cb[8 * y + x], (4 * a + 4 * b + 4) >> 3) << x << "," << y;
    }
}

TEST(ReconInterDrivers, ResidualIsAddedExceptForSkip) {
  SingleRef f;
  f.t.wa.coded_block_pattern = 0x1F;
  std::fill(f.t.wa.residual, f.t.wa.residual + kResidualSize, int16_t{1000});
  f.t.wa.mb_type = kMbP16x16;
  f.t.run();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(f.t.wa.luma[i], 255) << i;
  f.t.wa.mb_type = kMbPSkip;
  f.t.run();
  f.t.expect_model("skip");
}

TEST(ReconInterDrivers, SkipHasZeroInternalStrengths) {
  ReconKernels k;
  decoder_recon_kernels_portable(&k);
  MbInfo cur{}, left{};
  cur.mb_type = kMbPSkip;
  left.mb_type = kMbP16x16;
  MbMotion motion{}, left_motion{};
  for (int blk = 0; blk < 16; ++blk) motion.mv[blk][0] = static_cast<int16_t>(blk * 9);
  uint8_t bs[kBsSize];
  std::memset(bs, 0xFF, sizeof bs);
  const InterEdgeNeighbours n{&left, &left_motion, nullptr, nullptr, true, false, false};
  decoder_bs_inter_mb(&k, bs, &cur, &motion, &n);
  for (int i = kBsVertical; i < kBsSize; ++i) EXPECT_EQ(bs[i], 0) << i;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bs[kBsTop + i], 0);
}

}  // namespace
