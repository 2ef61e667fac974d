#include "video/yuv_convert_scaled.h"

#include <algorithm>

namespace scopemark {

ScaleTaps scale_taps(int source_size, int size) {
  ScaleTaps taps;
  taps.index.resize(static_cast<size_t>(size));
  taps.weight.resize(2 * static_cast<size_t>(size));
  const int64_t last = static_cast<int64_t>(source_size - 1) << 16;
  for (int i = 0; i < size; ++i) {
    // Centre of output sample i in source samples, 16.16 fixed point.
    const int64_t at = (2 * int64_t{i} + 1) * source_size * 65536 / (2 * int64_t{size}) - 32768;
    const int64_t position = std::clamp<int64_t>(at, 0, last);
    const int f = static_cast<int>(position >> 8 & 0xFF);
    taps.index[i] = static_cast<int32_t>(position >> 16);
    taps.weight[2 * i] = static_cast<int16_t>(256 - f);
    taps.weight[2 * i + 1] = static_cast<int16_t>(f);
  }
  taps.shuffle.assign(static_cast<size_t>(size / 8) * 16, 0);
  for (int block = 0; block < size / 8; ++block) {
    uint8_t* shuffle = &taps.shuffle[16 * static_cast<size_t>(block)];
    const int32_t* index = &taps.index[8 * static_cast<size_t>(block)];
    if (index[7] + 1 - index[0] > 15 || index[0] + 16 > source_size) {
      shuffle[0] = kBlockApart;
      continue;
    }
    for (int j = 0; j < 8; ++j) {
      shuffle[2 * j] = static_cast<uint8_t>(index[j] - index[0]);
      shuffle[2 * j + 1] = static_cast<uint8_t>(index[j] - index[0] + 1);
    }
  }
  return taps;
}

void blend_rows_portable(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int n) {
  for (int i = 0; i < n; ++i)
    out[i] = static_cast<uint8_t>((a[i] * (256 - f) + b[i] * f + 128) >> 8);
}

void resample_row_portable(uint8_t* out, const uint8_t* in, const int32_t* index,
                           const int16_t* weight, int n) {
  for (int i = 0; i < n; ++i) {
    const uint8_t* s = in + index[i];
    out[i] = static_cast<uint8_t>((s[0] * weight[2 * i] + s[1] * weight[2 * i + 1] + 128) >> 8);
  }
}

void scale_row_portable(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int source_width,
                        const int32_t* index, const int16_t* weight, int n) {
  const auto blended = [&](int k) { return (a[k] * (256 - f) + b[k] * f + 128) >> 8; };
  for (int i = 0; i < n; ++i) {
    const int k = index[i];
    const int next = std::min(k + 1, source_width - 1);
    out[i] = static_cast<uint8_t>(
        (blended(k) * weight[2 * i] + blended(next) * weight[2 * i + 1] + 128) >> 8);
  }
}

namespace {

void blend_rows(uint8_t* out, const uint8_t* a, const uint8_t* b, int f, int n) {
#ifdef __SSE2__
  blend_rows_sse2(out, a, b, f, n);
#else
  blend_rows_portable(out, a, b, f, n);
#endif
}

void resample_row(uint8_t* out, const uint8_t* in, const ScaleTaps& taps) {
  const int n = static_cast<int>(taps.index.size());
#ifdef __SSE2__
  resample_row_sse2(out, in, taps.index.data(), taps.weight.data(), n);
#else
  resample_row_portable(out, in, taps.index.data(), taps.weight.data(), n);
#endif
}

}  // namespace

bool ScaledConversion::prepared_for(int source_width, int source_height, int width,
                                    int height) const {
  return source_width == source_width_ && source_height == source_height_ && width == width_ &&
         height == height_;
}

void ScaledConversion::prepare(int source_width, int source_height, int width, int height) {
  if (prepared_for(source_width, source_height, width, height)) return;
  luma_columns_ = scale_taps(source_width, width);
  luma_rows_ = scale_taps(source_height, height);
  chroma_columns_ = scale_taps(source_width / 2, width / 2);
  chroma_rows_ = scale_taps(source_height / 2, height / 2);
  blended_.assign(static_cast<size_t>(source_width) + 1, 0);
  luma_.assign(2 * static_cast<size_t>(width), 0);
  cb_.assign(static_cast<size_t>(width) / 2, 0);
  cr_.assign(static_cast<size_t>(width) / 2, 0);
  source_width_ = source_width;
  source_height_ = source_height;
  width_ = width;
  height_ = height;
#if SCOPEMARK_VIDEO_X86_KERNELS
  one_pass_ = video_avx2_supported()    ? scale_row_avx2
              : video_ssse3_supported() ? scale_row_ssse3
                                        : nullptr;
#endif
}

void ScaledConversion::scale_row(uint8_t* out, const PlaneRows& plane, int row) {
  const int first = plane.rows.index[row];
  const int second = std::min(first + 1, plane.height - 1);
#if SCOPEMARK_VIDEO_X86_KERNELS
  if (one_pass_ != nullptr) {
    one_pass_(out, plane.start + static_cast<std::ptrdiff_t>(first) * plane.stride,
              plane.start + static_cast<std::ptrdiff_t>(second) * plane.stride,
              plane.rows.weight[2 * row + 1], plane.width, plane.columns.index.data(),
              plane.columns.weight.data(), plane.columns.shuffle.data(),
              static_cast<int>(plane.columns.index.size()));
    return;
  }
#endif
  blend_rows(blended_.data(), plane.start + static_cast<std::ptrdiff_t>(first) * plane.stride,
             plane.start + static_cast<std::ptrdiff_t>(second) * plane.stride,
             plane.rows.weight[2 * row + 1], plane.width);
  blended_[plane.width] = blended_[plane.width - 1];
  resample_row(out, blended_.data(), plane.columns);
}

void ScaledConversion::convert(uint32_t* destination, const Yuv420Planes& source) {
  const PlaneRows luma{source.luma,    source.luma_stride, source_width_,
                       source_height_, luma_rows_,         luma_columns_};
  PlaneRows chroma{source.cb,          source.chroma_stride, source_width_ / 2,
                   source_height_ / 2, chroma_rows_,         chroma_columns_};
  const Yuv420Planes rows{luma_.data(), cb_.data(), cr_.data(), width_, width_ / 2};
  for (int k = 0; k < height_ / 2; ++k) {
    scale_row(luma_.data(), luma, 2 * k);
    scale_row(luma_.data() + width_, luma, 2 * k + 1);
    chroma.start = source.cb;
    scale_row(cb_.data(), chroma, k);
    chroma.start = source.cr;
    scale_row(cr_.data(), chroma, k);
    yuv420_to_xrgb32(destination + static_cast<std::ptrdiff_t>(2 * k) * width_, width_, rows,
                     width_, 2);
  }
}

}  // namespace scopemark
