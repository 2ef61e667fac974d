// The decoder fuzz target's findings and its seed corpus, read as the target reads them. Under
// the sanitizers every finding fails again if its fault comes back.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "h264/stream_files.h"
#include "tools/fuzz/decoder_input.h"

namespace {

namespace fs = std::filesystem;

void decode_inputs_of(const fs::path& folder, size_t expected_at_least) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::vector<uint8_t> input = stream_files::read_file(entry.path());
    if (input.size() < decoder_fuzz::kConfigBytes) continue;
    const DecoderConfig config = decoder_fuzz::config_of(input.data());
    DecoderContext* decoder = decoder_create(&config);
    ASSERT_NE(decoder, nullptr) << entry.path();
    decoder_fuzz::decode_input(decoder, input.data(), input.size());
    decoder_destroy(decoder);
    ++count;
  }
  EXPECT_GE(count, expected_at_least) << folder;
}

TEST(FrontFuzzInputs, FindingsAndTheSeedCorpusDecodeCleanly) {
  // slice_qp_delta near INT32_MAX: the slice QP sum overflowed. chroma_copy_past_store: a frame
  // slice continued a field picture whose refused first slice had started it, and predicted
  // from a field.
  decode_inputs_of(fs::path(SCOPEMARK_SOURCE_DIR) / "tests/h264/fuzz_findings", 3);
  decode_inputs_of(fs::path(SCOPEMARK_SOURCE_DIR) / "tools/fuzz/corpus/fuzz_decoder", 100);
}

}  // namespace
