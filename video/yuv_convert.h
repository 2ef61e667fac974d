// Planar 4:2:0 to packed RGB with the 16.16 fixed-point tables of BT.601 video range.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scopemark {

// Entries are 16.16 fixed point, indexed by a sample value 0..255. A sum v is clamped to a
// byte by clamp[(v >> 16) + kClampBias].
struct YuvTables {
  int32_t luma[256];      // 1.164 x (Y - 16)
  int32_t red_cr[256];    // 1.596 x (Cr - 128)
  int32_t blue_cb[256];   // 2.017 x (Cb - 128)
  int32_t green_cb[256];  // 0.392 x (Cb - 128)
  int32_t green_cr[256];  // 0.813 x (Cr - 128)
  uint8_t clamp[1024];    // 384 zeros, 0..255, 384 x 255
};
inline constexpr int kClampBias = 384;

// The tables, built at compile time; read-only, so any thread may use them.
const YuvTables& yuv_tables();

// Three 4:2:0 planes with their row lengths in bytes.
struct Yuv420Planes {
  const uint8_t* luma;
  const uint8_t* cb;
  const uint8_t* cr;
  int luma_stride;
  int chroma_stride;
};

// Packed planes (luma rows of width bytes, chroma rows of width / 2) to a bottom-up 24-bit
// BMP pixel array: image row r goes to row height - 1 - r, pixels blue, green, red, rows of
// width x 3 bytes. Width and height are even.
void yuv420_to_bgr24(uint8_t* destination, const uint8_t* luma, const uint8_t* cb,
                     const uint8_t* cr, int width, int height);
void yuv420_to_bgr24(uint8_t* destination, const Yuv420Planes& source, int width, int height);

// The same arithmetic to top-down 0xFFRRGGBB words, rows of width words (or destination_stride).
// Runs the AVX2 build where the processor has it, else the SSE2 build where the compiler
// targets SSE2 (every x86-64), else the portable one; all give the same words. An odd last row
// or column is left out.
void yuv420_to_xrgb32(uint32_t* destination, const Yuv420Planes& source, int width, int height);
void yuv420_to_xrgb32(uint32_t* destination, std::ptrdiff_t destination_stride,
                      const Yuv420Planes& source, int width, int height);

// The builds, into rows of destination_stride words.
void yuv420_to_xrgb32_portable(uint32_t* destination, std::ptrdiff_t destination_stride,
                               const Yuv420Planes& source, int width, int height);
#ifdef __SSE2__
void yuv420_to_xrgb32_sse2(uint32_t* destination, std::ptrdiff_t destination_stride,
                           const Yuv420Planes& source, int width, int height);
#endif
#if SCOPEMARK_VIDEO_X86_KERNELS
void yuv420_to_xrgb32_avx2(uint32_t* destination, std::ptrdiff_t destination_stride,
                           const Yuv420Planes& source, int width, int height);
// Whether this processor runs the SSSE3 and the AVX2 builds (with the system saving the AVX
// registers).
bool video_ssse3_supported();
bool video_avx2_supported();
#endif

}  // namespace scopemark
