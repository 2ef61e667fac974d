// decoder_reset: after any input, a reset instance decodes a stream exactly as a new one does.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "h264/front_decoder_fixture.h"
#include "h264/front_stream_builder.h"
#include "h264/stream_cases.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes corpus_stream(const char* name) {
  return stream_files::read_file(stream_cases::corpus_dir() / name);
}

// Feeds the bytes in 1000-byte pieces; with `end`, ends the stream. Returns picture digests.
std::vector<std::string> decode(DecoderContext* ctx, const Bytes& bytes, bool end) {
  std::vector<std::string> digests;
  DecodedPicture picture{};
  for (size_t at = 0; at < bytes.size(); at += 1000) {
    const uint32_t length = static_cast<uint32_t>(std::min<size_t>(1000, bytes.size() - at));
    int result = decoder_decode(ctx, bytes.data() + at, length, 0, 0, &picture, 0);
    while (result == DECODE_PICTURE_READY) {
      digests.push_back(stream_cases::picture_md5(picture));
      result = decoder_decode(ctx, nullptr, 0, 0, 0, &picture, 0);
    }
  }
  while (end && decoder_decode(ctx, nullptr, 0, 0, 0, &picture, DECODE_END_OF_STREAM) ==
                    DECODE_PICTURE_READY) {
    digests.push_back(stream_cases::picture_md5(picture));
  }
  return digests;
}

// Fuzz-like inputs: streams with bytes changed at random, cut off without an end of stream,
// so that pictures stay queued and referenced.
std::vector<Bytes> damaged_streams() {
  std::mt19937 random(26);
  std::vector<Bytes> inputs;
  for (const char* name : {"cif_cavlc_p_fakeinterlaced.264", "odd_cavlc_p_crop_far_mv.264",
                           "qcif_cavlc_p_baseline_refs.264"}) {
    Bytes stream = corpus_stream(name);
    for (int n = 0; n < 2; ++n) {
      Bytes damaged(stream.begin(), stream.begin() + random() % stream.size());
      for (size_t k = 200; k < damaged.size(); k += 50 + random() % 2000) {
        damaged[k] = static_cast<uint8_t>(random());
      }
      inputs.push_back(std::move(damaged));
    }
  }
  return inputs;
}

TEST(FrontReset, AResetInstanceDecodesLikeANewOne) {
  // Both streams end inside a picture, whose missing macroblocks show the store's content: the
  // first picture (a store a new instance has never used) or the last.
  const Bytes whole = corpus_stream("qcif_cabac_p_refs16_partitions.264");
  ASSERT_GT(whole.size(), 20000u);
  const Bytes streams[] = {Bytes(whole.begin(), whole.begin() + 3000),
                           Bytes(whole.begin(), whole.begin() + whole.size() * 9 / 10)};
  const std::vector<Bytes> inputs = damaged_streams();
  for (uint32_t flags : {DECODER_DISPLAY_ORDER, DECODER_DEINTERLACE | DECODER_WORKER_THREADS}) {
    const DecoderConfig config = front_test::make_config(22, 18, 16, flags);
    front_test::DecoderHandle reused(config);
    for (const Bytes& stream : streams) {
      front_test::DecoderHandle fresh(config);
      const std::vector<std::string> expected = decode(fresh.ctx, stream, true);
      ASSERT_FALSE(expected.empty());
      for (const Bytes& input : inputs) {
        decode(reused.ctx, input, false);
        decoder_reset(reused.ctx);
        EXPECT_EQ(decode(reused.ctx, stream, true), expected) << flags;
        decode(reused.ctx, input, true);
        decoder_reset(reused.ctx);
      }
    }
  }
  decoder_reset(nullptr);
}

}  // namespace
