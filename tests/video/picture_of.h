#pragma once

#include "h264/decoder/decoder.h"

namespace scopemark {

// A DecodedPicture over the given planes; all other fields zero.
inline DecodedPicture picture_of(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr,
                                 uint32_t width, uint32_t height, uint32_t luma_stride,
                                 uint32_t chroma_stride) {
  DecodedPicture picture{};
  picture.luma = luma;
  picture.cb = cb;
  picture.cr = cr;
  picture.width = width;
  picture.height = height;
  picture.luma_stride = luma_stride;
  picture.chroma_stride = chroma_stride;
  return picture;
}

}  // namespace scopemark
