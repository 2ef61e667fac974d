#include "video/yuv_convert.h"

#include <cstddef>

#if SCOPEMARK_VIDEO_X86_KERNELS
#include "h264/decoder/cpu_features.h"
#endif

namespace scopemark {
namespace {

constexpr YuvTables make_yuv_tables() {
  YuvTables t{};
  for (int i = 0; i < 256; ++i) {
    t.luma[i] = 76309 * (i - 16);
    t.red_cr[i] = 104597 * (i - 128);
    t.blue_cb[i] = 132201 * (i - 128);
    t.green_cb[i] = 25675 * (i - 128);
    t.green_cr[i] = 53279 * (i - 128);
  }
  for (int i = 0; i < 1024; ++i) {
    const int v = i - kClampBias;
    t.clamp[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  return t;
}

constexpr YuvTables kTables = make_yuv_tables();

// Walks the picture two rows and two pixels at a time; each 2 x 2 block shares one Cb and Cr
// sample. row(r) gives the destination of image row r; store(row, x, L, b, g, r) writes one
// pixel from its luma term and the three chroma terms (green's already negated).
template <typename RowOf, typename Store>
inline void convert_420(const Yuv420Planes& src, int width, int height, RowOf row, Store store) {
  const YuvTables& t = kTables;
  for (int k = 0; k < height / 2; ++k) {
    const uint8_t* y0 = src.luma + static_cast<std::ptrdiff_t>(2 * k) * src.luma_stride;
    const uint8_t* y1 = y0 + src.luma_stride;
    const uint8_t* cb = src.cb + static_cast<std::ptrdiff_t>(k) * src.chroma_stride;
    const uint8_t* cr = src.cr + static_cast<std::ptrdiff_t>(k) * src.chroma_stride;
    auto* d0 = row(2 * k);
    auto* d1 = row(2 * k + 1);
    for (int j = 0; j < width / 2; ++j) {
      const int32_t blue = t.blue_cb[cb[j]];
      const int32_t green = -t.green_cr[cr[j]] - t.green_cb[cb[j]];
      const int32_t red = t.red_cr[cr[j]];
      store(d0, 2 * j, t.luma[y0[2 * j]], blue, green, red);
      store(d0, 2 * j + 1, t.luma[y0[2 * j + 1]], blue, green, red);
      store(d1, 2 * j, t.luma[y1[2 * j]], blue, green, red);
      store(d1, 2 * j + 1, t.luma[y1[2 * j + 1]], blue, green, red);
    }
  }
}

inline uint8_t clamp16(int32_t v) {
  return kTables.clamp[(v >> 16) + kClampBias];
}

}  // namespace

const YuvTables& yuv_tables() {
  return kTables;
}

void yuv420_to_bgr24(uint8_t* destination, const uint8_t* luma, const uint8_t* cb,
                     const uint8_t* cr, int width, int height) {
  yuv420_to_bgr24(destination, Yuv420Planes{luma, cb, cr, width, width / 2}, width, height);
}

void yuv420_to_bgr24(uint8_t* destination, const Yuv420Planes& source, int width, int height) {
  const std::ptrdiff_t row_bytes = static_cast<std::ptrdiff_t>(width) * 3;
  convert_420(
      source, width, height, [&](int r) { return destination + (height - 1 - r) * row_bytes; },
      [](uint8_t* d, int x, int32_t l, int32_t b, int32_t g, int32_t r) {
        d[3 * x] = clamp16(l + b);
        d[3 * x + 1] = clamp16(l + g);
        d[3 * x + 2] = clamp16(l + r);
      });
}

void yuv420_to_xrgb32_portable(uint32_t* destination, std::ptrdiff_t destination_stride,
                               const Yuv420Planes& source, int width, int height) {
  convert_420(
      source, width, height, [&](int r) { return destination + r * destination_stride; },
      [](uint32_t* d, int x, int32_t l, int32_t b, int32_t g, int32_t r) {
        d[x] = 0xFF000000u | uint32_t{clamp16(l + r)} << 16 | uint32_t{clamp16(l + g)} << 8 |
               clamp16(l + b);
      });
}

#if SCOPEMARK_VIDEO_X86_KERNELS
bool video_ssse3_supported() {
  static const bool supported = (decoder_cpu_vector_extensions() & CPU_VEC_SSSE3) != 0;
  return supported;
}

bool video_avx2_supported() {
  static const bool supported = (decoder_cpu_vector_extensions() & CPU_VEC_AVX2) != 0;
  return supported;
}
#endif

void yuv420_to_xrgb32(uint32_t* destination, std::ptrdiff_t destination_stride,
                      const Yuv420Planes& source, int width, int height) {
#if SCOPEMARK_VIDEO_X86_KERNELS
  if (video_avx2_supported()) {
    yuv420_to_xrgb32_avx2(destination, destination_stride, source, width, height);
    return;
  }
#endif
#ifdef __SSE2__
  yuv420_to_xrgb32_sse2(destination, destination_stride, source, width, height);
#else
  yuv420_to_xrgb32_portable(destination, destination_stride, source, width, height);
#endif
}

void yuv420_to_xrgb32(uint32_t* destination, const Yuv420Planes& source, int width, int height) {
  yuv420_to_xrgb32(destination, width, source, width, height);
}

}  // namespace scopemark
