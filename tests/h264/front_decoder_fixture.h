// A decoder instance with direct access to its context, for tests of the front end.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "h264/decoder/decoder.h"
#include "h264/decoder/decoder_context.h"
#include "h264/decoder/decoder_memory.h"

namespace front_test {

inline DecoderConfig make_config(uint32_t width_mbs, uint32_t height_mbs, uint32_t refs,
                                 uint32_t flags = DECODER_DISPLAY_ORDER) {
  return DecoderConfig{0, 0, width_mbs, height_mbs, refs, flags, nullptr};
}

struct DecoderHandle {
  explicit DecoderHandle(const DecoderConfig& config) : ctx(decoder_create(&config)) {}
  ~DecoderHandle() { decoder_destroy(ctx); }
  DecoderHandle(const DecoderHandle&) = delete;
  DecoderHandle& operator=(const DecoderHandle&) = delete;

  // Feeds the bytes in one call; returns the result of that call.
  int feed(const std::vector<uint8_t>& bytes, uint32_t flags = 0) {
    return decoder_decode(ctx, bytes.data(), static_cast<uint32_t>(bytes.size()), 0, 0, &out,
                          flags);
  }
  int end_of_stream() { return decoder_decode(ctx, nullptr, 0, 0, 0, &out, DECODE_END_OF_STREAM); }

  // Places one NAL unit (header first) in the unit buffer with the reader after its header.
  void load_unit(const std::vector<uint8_t>& unit) {
    std::memcpy(ctx->nal_buffer, unit.data(), unit.size());
    bit_reader_init(ctx->reader, ctx->nal_buffer, static_cast<uint32_t>(unit.size()));
    ctx->reader.size = ctx->nal_capacity;
    ctx->reader.position = 8;
  }

  DecoderContext* ctx;
  DecodedPicture out{};
};

// Makes the first, second, ... allocation of decoder_create fail until creation succeeds;
// returns the number of allocations creation takes. Each failed creation must give null and
// release what it took (the sanitizer build sees leaks).
inline int allocations_of_create(const DecoderConfig& config) {
  for (int failing = 0;; ++failing) {
    decoder_alloc_fail_after(failing);
    DecoderContext* ctx = decoder_create(&config);
    decoder_alloc_fail_after(-1);
    if (ctx) {
      decoder_destroy(ctx);
      return failing;
    }
  }
}

}  // namespace front_test

namespace front_test {

// Feeds `stream` in pieces of `chunk` bytes, drains every picture, then ends the stream.
// Returns the number of decoder calls; `on_picture` sees every returned picture.
template <typename OnPicture>
size_t decode_all(DecoderContext* ctx, const std::vector<uint8_t>& stream, size_t chunk,
                  OnPicture&& on_picture) {
  DecodedPicture pic{};
  size_t calls = 0;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    uint32_t length = static_cast<uint32_t>(std::min(chunk, stream.size() - at));
    int result = decoder_decode(ctx, stream.data() + at, length, 0, 0, &pic, 0);
    ++calls;
    while (result == DECODE_PICTURE_READY) {
      on_picture(pic);
      result = decoder_decode(ctx, nullptr, 0, 0, 0, &pic, 0);
      ++calls;
    }
    EXPECT_EQ(result, DECODE_NEED_INPUT);
  }
  int result;
  while ((result = decoder_decode(ctx, nullptr, 0, 0, 0, &pic, DECODE_END_OF_STREAM)) ==
         DECODE_PICTURE_READY) {
    on_picture(pic);
    ++calls;
  }
  EXPECT_EQ(result, DECODE_NO_PICTURE);
  return calls + 1;
}

}  // namespace front_test
