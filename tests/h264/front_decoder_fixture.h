// A decoder instance with direct access to its context, for tests of the front end.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "h264/decoder/decoder.h"
#include "h264/decoder/decoder_context.h"

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

}  // namespace front_test
