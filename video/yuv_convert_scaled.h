// Display conversion to another size: each 4:2:0 plane resampled bilinearly (rows blended, then
// columns), then the table conversion of yuv_convert.h, two rows at a time so that nothing but a
// few rows is buffered. With SSSE3 or AVX2 both resampling steps run in one pass over the source
// rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "video/yuv_convert.h"

namespace scopemark {

// Bilinear taps along one axis: output i mixes samples index[i] and index[i] + 1 with the
// 8-bit weights weight[2i] = 256 - f and weight[2i + 1] = f. Sample centres line up, and
// positions beyond the first or last sample take that sample alone.
// shuffle: for each block of 8 outputs (8j..8j + 7), the byte offsets of their sample pairs from
// index[8j] (pairs in output order), when all of them lie within the 16 bytes from there and
// inside the source; otherwise the block's first byte is kBlockApart.
struct ScaleTaps {
  std::vector<int32_t> index;
  std::vector<int16_t> weight;
  std::vector<uint8_t> shuffle;
};
inline constexpr uint8_t kBlockApart = 0x80;
ScaleTaps scale_taps(int source_size, int size);

// out[i] = (a[i] x (256 - f) + b[i] x f + 128) >> 8 for i < n; f in 0..256.
void blend_rows_portable(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int n);
// out[i] = (in[k] x weight[2i] + in[k + 1] x weight[2i + 1] + 128) >> 8, k = index[i], i < n.
void resample_row_portable(uint8_t* out, const uint8_t* in, const int32_t* index,
                           const int16_t* weight, int n);
// The blend of rows a and b (f as above), then the column taps, for outputs i < n; the pair of
// the last sample repeats it. The same bytes as blend_rows_portable over source_width samples
// followed by resample_row_portable.
void scale_row_portable(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int source_width,
                        const int32_t* index, const int16_t* weight, int n);
#if SCOPEMARK_VIDEO_X86_KERNELS
// scale_row_portable in one pass, with the shuffles of scale_taps(source_width, n).
void scale_row_ssse3(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int source_width,
                     const int32_t* index, const int16_t* weight, const uint8_t* shuffles, int n);
// The same with AVX2, 16 outputs at a time.
void scale_row_avx2(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int source_width,
                    const int32_t* index, const int16_t* weight, const uint8_t* shuffles, int n);
#endif
#ifdef __SSE2__
void blend_rows_sse2(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int n);
void resample_row_sse2(uint8_t* out, const uint8_t* in, const int32_t* index, const int16_t* weight,
                       int n);
#endif

// Converts pictures of one even size to 0xFFRRGGBB words of another (both even and positive).
// Holds the taps and row buffers, made once per pair of sizes; one thread at a time.
class ScaledConversion {
 public:
  // Makes the taps and buffers for these sizes unless they are the current ones.
  void prepare(int source_width, int source_height, int width, int height);
  bool prepared_for(int source_width, int source_height, int width, int height) const;
  // The prepared source size to width x height words, rows of width words.
  void convert(uint32_t* destination, const Yuv420Planes& source);

 private:
  // One source plane with its taps.
  struct PlaneRows {
    const uint8_t* start;
    int stride, width, height;
    const ScaleTaps& rows;
    const ScaleTaps& columns;
  };
  // Output row `row` of a plane into out: the vertical blend, then the horizontal taps.
  void scale_row(uint8_t* out, const PlaneRows& plane, int row);

  int source_width_ = 0, source_height_ = 0, width_ = 0, height_ = 0;
  // The one-pass resampling of this processor; null: blend, then columns.
  using ScaleRow = void (*)(uint8_t* out, const uint8_t* a, const uint8_t* b, int f,
                            int source_width, const int32_t* index, const int16_t* weight,
                            const uint8_t* shuffles, int n);
  ScaleRow one_pass_ = nullptr;
  ScaleTaps luma_columns_, luma_rows_, chroma_columns_, chroma_rows_;
  std::vector<uint8_t> blended_;  // one source row and the copy of its last sample
  std::vector<uint8_t> luma_, cb_, cr_;
};

}  // namespace scopemark
