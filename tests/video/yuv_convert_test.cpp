#include "video/yuv_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <random>
#include <vector>

namespace scopemark {
namespace {

struct AlignedDelete {
  void operator()(uint32_t* words) const { ::operator delete[](words, std::align_val_t{64}); }
};

struct Bgr {
  int b, g, r;
  bool operator==(const Bgr&) const = default;
};

// A 2 x 2 picture of one colour as BMP pixels.
Bgr bgr_of(uint8_t y, uint8_t cb, uint8_t cr) {
  const uint8_t luma[4] = {y, y, y, y};
  uint8_t out[12] = {};
  yuv420_to_bgr24(out, luma, &cb, &cr, 2, 2);
  for (int i = 3; i < 12; ++i) EXPECT_EQ(out[i], out[i % 3]) << "pixel byte " << i;
  return {out[0], out[1], out[2]};
}

TEST(YuvConvert, TableArithmeticTruncatesAndClamps) {
  EXPECT_EQ(bgr_of(16, 128, 128), (Bgr{0, 0, 0}));
  EXPECT_EQ(bgr_of(235, 128, 128), (Bgr{254, 254, 254}));
  EXPECT_EQ(bgr_of(81, 90, 240), (Bgr{0, 0, 254}));
  EXPECT_EQ(bgr_of(255, 255, 255), (Bgr{255, 125, 255}));
  EXPECT_EQ(bgr_of(0, 0, 0), (Bgr{0, 135, 0}));
}

// 4 x 4 picture: luma grows by row, chroma differs per 2 x 2 block.
struct Picture {
  std::array<uint8_t, 16> luma;
  std::array<uint8_t, 4> cb{100, 140, 160, 60};
  std::array<uint8_t, 4> cr{128, 128, 128, 128};
  Picture() {
    for (int i = 0; i < 16; ++i) luma[i] = static_cast<uint8_t>(40 + 40 * (i / 4) + i % 4);
  }
};

TEST(YuvConvert, BmpRowsAreBottomUpAndBlocksShareChroma) {
  const Picture p;
  std::vector<uint8_t> bgr(4 * 4 * 3);
  yuv420_to_bgr24(bgr.data(), p.luma.data(), p.cb.data(), p.cr.data(), 4, 4);
  std::vector<uint32_t> xrgb(16);
  yuv420_to_xrgb32(xrgb.data(), Yuv420Planes{p.luma.data(), p.cb.data(), p.cr.data(), 4, 2}, 4, 4);
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 4; ++x) {
      const uint8_t* px = &bgr[((3 - r) * 4 + x) * 3];
      const uint32_t word = xrgb[r * 4 + x];
      EXPECT_EQ(word, 0xFF000000u | px[2] << 16 | px[1] << 8 | px[0]) << r << "," << x;
      const int block = (r / 2) * 2 + x / 2;
      EXPECT_EQ(bgr_of(p.luma[r * 4 + x], p.cb[block], p.cr[block]), (Bgr{px[0], px[1], px[2]}))
          << r << "," << x;
    }
  }
}

#ifdef __SSE2__
// The SSE2 and AVX2 builds against the portable one, word for word, over shapes with and
// without a remainder of the 16- and 32-pixel steps, padded and odd strides, and every mix of
// random, all-0, all-255 and 0-or-255 planes. Every buffer is exactly as large as the conversion
// may touch, so a sanitizer build catches a step beyond; pixels left out must stay untouched.
TEST(YuvConvert, VectorBuildsMatchPortable) {
  struct Shape {
    int width, height, luma_pad, chroma_pad, destination_pad;
  };
  const Shape shapes[] = {{16, 2, 0, 0, 0}, {2, 2, 0, 0, 0},  {18, 6, 3, 1, 1},
                          {34, 3, 1, 5, 0}, {47, 9, 0, 0, 2}, {64, 4, 16, 8, 0},
                          {30, 2, 0, 0, 0}, {17, 1, 0, 0, 0}, {1282, 4, 7, 3, 5},
                          {32, 2, 0, 0, 0}, {96, 4, 5, 3, 1}, {904, 6, 376, 188, 0},
                          {64, 4, 0, 0, 8}};
  std::mt19937 rng(25);
  auto fill = [&](std::vector<uint8_t>& plane, int kind) {
    for (uint8_t& v : plane) {
      const uint8_t random = static_cast<uint8_t>(rng());
      v = kind == 0 ? random : kind == 1 ? 0 : kind == 2 ? 255 : (random & 1) * 255;
    }
  };
  for (const Shape& s : shapes) {
    const int luma_stride = s.width + s.luma_pad;
    const int chroma_stride = s.width / 2 + s.chroma_pad;
    const int destination_stride = s.width + s.destination_pad;
    const int chroma_rows = s.height / 2;
    std::vector<uint8_t> luma(size_t(s.height - 1) * luma_stride + s.width);
    std::vector<uint8_t> cb(chroma_rows ? size_t(chroma_rows - 1) * chroma_stride + s.width / 2
                                        : 0);
    std::vector<uint8_t> cr(cb.size());
    const size_t words = size_t(s.height - 1) * destination_stride + s.width;
    for (int kinds = 0; kinds < 64; ++kinds) {
      fill(luma, kinds % 4);
      fill(cb, kinds / 4 % 4);
      fill(cr, kinds / 16);
      const Yuv420Planes planes{luma.data(), cb.data(), cr.data(), luma_stride, chroma_stride};
      std::vector<uint32_t> expected(words, 0x12345678u), actual(words, 0x12345678u);
      yuv420_to_xrgb32_portable(expected.data(), destination_stride, planes, s.width, s.height);
      yuv420_to_xrgb32_sse2(actual.data(), destination_stride, planes, s.width, s.height);
      ASSERT_EQ(actual, expected) << s.width << "x" << s.height << " planes of kinds " << kinds;
#if SCOPEMARK_VIDEO_X86_KERNELS
      if (!video_avx2_supported()) continue;
      // Once into a 64-byte aligned buffer, where rows of a multiple of 8 words bypass the cache.
      std::unique_ptr<uint32_t[], AlignedDelete> aligned(
          static_cast<uint32_t*>(::operator new[](words * sizeof(uint32_t), std::align_val_t{64})));
      for (uint32_t* destination : {actual.data(), aligned.get()}) {
        std::fill_n(destination, words, 0x12345678u);
        yuv420_to_xrgb32_avx2(destination, destination_stride, planes, s.width, s.height);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), destination))
            << "AVX2 " << s.width << "x" << s.height << ", kinds " << kinds;
      }
#endif
    }
  }
}
#endif

}  // namespace
}  // namespace scopemark
