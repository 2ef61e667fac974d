// How the decoder fuzz target reads an input, shared with the regression tests of its
// findings. Input: four bytes of configuration, then the byte stream. Byte 0 picks the
// configuration flags, byte 1 the picture size limit and the reference count, bytes 2 and 3
// how the stream is cut into pieces; every piece is fed from a buffer of exactly its size,
// and every picture that comes out is checked in full.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "h264/decoder/decoder.h"

#if defined(__SANITIZE_ADDRESS__)
#define DECODER_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DECODER_FUZZ_ASAN 1
#endif
#endif
#if defined(DECODER_FUZZ_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace decoder_fuzz {

constexpr size_t kConfigBytes = 4;

struct SizeLimit {
  uint32_t width_mbs;
  uint32_t height_mbs;
};
constexpr SizeLimit kSizeLimits[] = {{22, 18}, {11, 9}, {4, 6}, {8, 8}};
constexpr uint32_t kRefFrames[] = {1, 2, 4, 16};

// The configuration that bytes 0 and 1 select; 128 in all (`config_key`).
inline DecoderConfig config_of(const uint8_t* data) {
  DecoderConfig config{};
  config.flags = (data[0] & 1 ? DECODER_DISPLAY_ORDER : 0) |
                 (data[0] & 2 ? DECODER_DEINTERLACE : 0) |
                 (data[0] & 4 ? DECODER_WORKER_THREADS : 0);
  config.max_width_mbs = kSizeLimits[data[1] & 3].width_mbs;
  config.max_height_mbs = kSizeLimits[data[1] & 3].height_mbs;
  config.max_ref_frames = kRefFrames[(data[1] >> 2) & 3];
  return config;
}

inline uint32_t config_key(const uint8_t* data) {
  return (data[0] & 7u) << 4 | (data[1] & 15u);
}

#if defined(__clang__)
#define DECODER_FUZZ_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define DECODER_FUZZ_NO_COVERAGE
#endif

// Proves a row of samples addressable. Under AddressSanitizer its shadow memory is checked
// (eight samples a shadow byte) and only a poisoned sample is read, so that the report names
// it; elsewhere every sample is read.
DECODER_FUZZ_NO_COVERAGE inline uint32_t read_row(const uint8_t* row, uint32_t length) {
#if defined(DECODER_FUZZ_ASAN)
  if (const void* bad = __asan_region_is_poisoned(const_cast<uint8_t*>(row), length)) {
    return *static_cast<const volatile uint8_t*>(bad);
  }
  return length ? row[0] + row[length - 1] : 0;
#else
  uint32_t sum = 0;
  for (uint32_t x = 0; x < length; ++x) sum += row[x];
  return sum;
#endif
}

// Reads every row the picture's geometry names, and its user data.
DECODER_FUZZ_NO_COVERAGE inline uint32_t read_picture(const DecodedPicture& picture) {
  uint32_t sum = 0;
  for (uint32_t y = 0; y < picture.height; ++y) {
    sum += read_row(picture.luma + size_t{y} * picture.luma_stride, picture.width);
  }
  for (const uint8_t* plane : {picture.cb, picture.cr}) {
    for (uint32_t y = 0; y < picture.height / 2; ++y) {
      sum += read_row(plane + size_t{y} * picture.chroma_stride, picture.width / 2);
    }
  }
  if (picture.user_data) sum += read_row(picture.user_data->bytes, picture.user_data->length);
  return sum;
}

// Piece lengths: the whole rest, or pseudo-random lengths up to a bound chosen by the input.
class Pieces {
 public:
  Pieces(uint8_t mode, uint8_t seed) : bound_(kBounds[mode & 3]), state_(seed * 2654435761u + 1) {}
  size_t next(size_t left) {
    if (bound_ == 0) return left;
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    const size_t length = 1 + state_ % bound_;
    return length < left ? length : left;
  }

 private:
  static constexpr uint32_t kBounds[] = {0, 7, 300, 5000};
  uint32_t bound_;
  uint32_t state_;
};

// Feeds the stream after the configuration bytes (size >= kConfigBytes) to a new or reset
// instance of that configuration, ends it, and returns a sum over every output sample.
inline uint32_t decode_input(DecoderContext* decoder, const uint8_t* data, size_t size) {
  Pieces pieces(data[2], data[3]);
  DecodedPicture picture{};
  uint32_t sum = 0;
  for (size_t offset = kConfigBytes; offset < size;) {
    const size_t length = pieces.next(size - offset);
    const std::unique_ptr<uint8_t[]> piece(new uint8_t[length]);
    std::copy(data + offset, data + offset + length, piece.get());
    offset += length;
    int result =
        decoder_decode(decoder, piece.get(), static_cast<uint32_t>(length), 0, 0, &picture, 0);
    while (result == DECODE_PICTURE_READY) {
      sum += read_picture(picture);
      result = decoder_decode(decoder, nullptr, 0, 0, 0, &picture, 0);
    }
  }
  while (decoder_decode(decoder, nullptr, 0, 0, 0, &picture, DECODE_END_OF_STREAM) ==
         DECODE_PICTURE_READY) {
    sum += read_picture(picture);
  }
  return sum;
}

}  // namespace decoder_fuzz
