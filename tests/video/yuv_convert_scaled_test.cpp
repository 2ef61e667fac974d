#include "video/yuv_convert_scaled.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace scopemark {
namespace {

// Random, all-0, all-255 or 0-or-255 bytes.
void fill(std::vector<uint8_t>& bytes, int kind, std::mt19937& rng) {
  for (uint8_t& v : bytes) {
    const uint8_t random = static_cast<uint8_t>(rng());
    v = kind == 0 ? random : kind == 1 ? 0 : kind == 2 ? 255 : (random & 1) * 255;
  }
}

#ifdef __SSE2__
// Both kernels against their portable twins over lengths around the vector steps, every weight
// edge and down- and upscaling taps; inputs are exactly as long as the taps may read, so a
// sanitizer build catches a step beyond.
TEST(ScaledConversion, Sse2KernelsMatchPortable) {
  std::mt19937 rng(25);
  for (int n : {1, 7, 15, 16, 17, 33, 1281}) {
    std::vector<uint8_t> a(n), b(n);
    for (int f : {0, 1, 127, 128, 255, 256, 77}) {
      for (int kinds = 0; kinds < 16; ++kinds) {
        fill(a, kinds % 4, rng);
        fill(b, kinds / 4, rng);
        std::vector<uint8_t> expected(n + 1, 0x5A), actual(n + 1, 0x5A);
        blend_rows_portable(expected.data(), a.data(), b.data(), f, n);
        blend_rows_sse2(actual.data(), a.data(), b.data(), f, n);
        ASSERT_EQ(actual, expected) << "blend of " << n << " with " << f;
      }
    }
  }
  const int sizes[][2] = {{1280, 903}, {640, 451}, {16, 40}, {7, 3}, {1, 9}, {33, 33}, {9, 17}};
  for (const auto& size : sizes) {
    const ScaleTaps taps = scale_taps(size[0], size[1]);
    std::vector<uint8_t> row(size[0] + 1);
    for (int kind = 0; kind < 4; ++kind) {
      fill(row, kind, rng);
      std::vector<uint8_t> expected(size[1] + 1, 0x5A), actual(size[1] + 1, 0x5A);
      resample_row_portable(expected.data(), row.data(), taps.index.data(), taps.weight.data(),
                            size[1]);
      resample_row_sse2(actual.data(), row.data(), taps.index.data(), taps.weight.data(), size[1]);
      ASSERT_EQ(actual, expected) << size[0] << " to " << size[1];
    }
  }
}
#endif

// The one-pass resampling against the two portable steps it fuses, then its SSSE3 and AVX2
// builds against it: down- and upscaling (blocks of taps spread wider than a vector too), odd
// widths, every weight edge; rows exactly source_width long, so a sanitizer build catches a read
// beyond.
TEST(ScaledConversion, OnePassResamplingMatchesBlendThenColumns) {
  std::mt19937 rng(26);
  const int sizes[][2] = {{1280, 904}, {640, 452}, {1280, 300}, {17, 40}, {31, 9},  {7, 3},
                          {1, 9},      {33, 33},   {16, 8},     {24, 16}, {40, 23}, {640, 1279}};
  for (const auto& [source_width, width] : sizes) {
    const ScaleTaps taps = scale_taps(source_width, width);
    std::vector<uint8_t> a(source_width), b(source_width), blended(source_width + 1);
    for (int f : {0, 1, 128, 255, 256, 93}) {
      for (int kinds = 0; kinds < 16; ++kinds) {
        fill(a, kinds % 4, rng);
        fill(b, kinds / 4, rng);
        std::vector<uint8_t> expected(width + 1, 0x5A), actual(width + 1, 0x5A);
        blend_rows_portable(blended.data(), a.data(), b.data(), f, source_width);
        blended[source_width] = blended[source_width - 1];
        resample_row_portable(expected.data(), blended.data(), taps.index.data(),
                              taps.weight.data(), width);
        scale_row_portable(actual.data(), a.data(), b.data(), f, source_width, taps.index.data(),
                           taps.weight.data(), width);
        ASSERT_EQ(actual, expected) << source_width << " to " << width << ", f " << f;
#if SCOPEMARK_VIDEO_X86_KERNELS
        for (const auto& [name, one_pass] :
             {std::pair{"SSSE3", video_ssse3_supported() ? scale_row_ssse3 : nullptr},
              std::pair{"AVX2", video_avx2_supported() ? scale_row_avx2 : nullptr}}) {
          if (one_pass == nullptr) continue;
          std::fill(actual.begin(), actual.end(), 0x5A);
          one_pass(actual.data(), a.data(), b.data(), f, source_width, taps.index.data(),
                   taps.weight.data(), taps.shuffle.data(), width);
          ASSERT_EQ(actual, expected) << name << " " << source_width << " to " << width;
        }
#endif
      }
    }
  }
}

TEST(ScaledConversion, SameSizeGivesTheDirectConversion) {
  constexpr int w = 34, h = 10;
  std::mt19937 rng(7);
  std::vector<uint8_t> luma(w * h), cb(w * h / 4), cr(w * h / 4);
  fill(luma, 0, rng);
  fill(cb, 0, rng);
  fill(cr, 0, rng);
  const Yuv420Planes planes{luma.data(), cb.data(), cr.data(), w, w / 2};
  std::vector<uint32_t> expected(w * h), actual(w * h);
  yuv420_to_xrgb32(expected.data(), planes, w, h);
  ScaledConversion scaled;
  scaled.prepare(w, h, w, h);
  scaled.convert(actual.data(), planes);
  EXPECT_EQ(actual, expected);
}

// A picture whose left half is red and right half dark red keeps both colours and the edge in
// the middle, neither mirrored nor shifted, when made smaller or larger.
TEST(ScaledConversion, ColoursAndLayoutSurviveScaling) {
  constexpr int w = 64, h = 32;
  std::vector<uint8_t> luma(w * h), cb(w * h / 4, 90), cr(w * h / 4, 240);
  for (int i = 0; i < w * h; ++i) luma[i] = i % w < w / 2 ? 81 : 16;
  const Yuv420Planes planes{luma.data(), cb.data(), cr.data(), w, w / 2};
  for (const auto& [to_width, to_height] : {std::pair{30, 18}, std::pair{100, 50}}) {
    ScaledConversion scaled;
    scaled.prepare(w, h, to_width, to_height);
    std::vector<uint32_t> out(to_width * to_height);
    scaled.convert(out.data(), planes);
    for (int y = 0; y < to_height; ++y) {
      EXPECT_EQ(out[y * to_width], 0xFFFE0000u) << y;
      EXPECT_EQ(out[y * to_width + to_width / 2 - 2], 0xFFFE0000u) << y;
      EXPECT_EQ(out[y * to_width + to_width / 2 + 1], 0xFFB20000u) << y;
      EXPECT_EQ(out[y * to_width + to_width - 1], 0xFFB20000u) << y;
    }
  }
}

}  // namespace
}  // namespace scopemark
