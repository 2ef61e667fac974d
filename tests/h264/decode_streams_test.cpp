// Whole streams through the public interface in 4096-byte pieces, as the viewer feeds them:
// the MD5 of every output picture against the oracle's list, with both kernel builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "h264/decoder/kernel_select.h"
#include "h264/front_decoder_fixture.h"
#include "tools/decode/md5.h"
#include "h264/stream_files.h"

namespace {

using stream_files::read_file;
using stream_files::read_md5_list;

namespace fs = std::filesystem;

struct StreamCase {
  fs::path stream;
  fs::path md5_list;
};

std::string picture_md5(const DecodedPicture& pic) {
  scopemark::Md5 md5;
  for (uint32_t y = 0; y < pic.height; ++y) md5.update(pic.luma + y * pic.luma_stride, pic.width);
  for (const uint8_t* plane : {pic.cb, pic.cr}) {
    for (uint32_t y = 0; y < pic.height / 2; ++y) {
      md5.update(plane + y * pic.chroma_stride, pic.width / 2);
    }
  }
  return md5.hex_digest();
}

// The streams listed in a conformance folder's MANIFEST.tsv.
std::vector<StreamCase> conformance_cases(const fs::path& folder) {
  std::vector<StreamCase> cases;
  std::ifstream manifest(folder / "MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);
  while (std::getline(manifest, line)) {
    const std::string name = line.substr(0, line.find('\t'));
    cases.push_back({folder / "streams" / name, folder / "framemd5" / (name + ".md5")});
  }
  return cases;
}

std::vector<StreamCase> corpus_cases() {
  std::vector<StreamCase> cases;
  for (const auto& entry : fs::directory_iterator(fs::path(SCOPEMARK_SOURCE_DIR) / "tests/corpus")) {
    if (entry.path().extension() != ".264") continue;
    fs::path md5 = entry.path();
    md5.replace_extension(".md5");
    cases.push_back({entry.path(), md5});
  }
  std::sort(cases.begin(), cases.end(),
            [](const StreamCase& a, const StreamCase& b) { return a.stream < b.stream; });
  return cases;
}

// Decodes with the kernels the instance chose for this processor, or with the portable build.
std::vector<std::string> decode_digests(const std::vector<uint8_t>& stream, uint32_t flags,
                                        bool portable_kernels) {
  front_test::DecoderHandle decoder(front_test::make_config(120, 68, 16, flags));
  std::vector<std::string> digests;
  if (decoder.ctx == nullptr) return digests;
  if (portable_kernels) {
    EXPECT_TRUE(decoder_select_kernels(decoder.ctx, KERNELS_PORTABLE));
  }
  front_test::decode_all(decoder.ctx, stream, 4096,
                         [&](const DecodedPicture& pic) { digests.push_back(picture_md5(pic)); });
  return digests;
}

// Display order gives the oracle's list line for line; decoding order gives the same pictures,
// in the order they were decoded. The display-order pass runs the processor's kernel build (SSE2
// on x86-64), the decoding-order pass the portable build, so every picture is checked with both.
void check_streams(const std::vector<StreamCase>& cases) {
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.stream.filename().string());
    const std::vector<uint8_t> stream = read_file(c.stream);
    std::vector<std::string> expected = read_md5_list(c.md5_list);
    ASSERT_FALSE(stream.empty());
    ASSERT_FALSE(expected.empty());
    const std::vector<std::string> digests = decode_digests(stream, DECODER_DISPLAY_ORDER, false);
    ASSERT_EQ(digests.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(digests[i], expected[i]) << "picture " << i;
    }
    std::vector<std::string> decoding_order = decode_digests(stream, 0, true);
    std::sort(decoding_order.begin(), decoding_order.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(decoding_order, expected) << "decoding order";
  }
}

TEST(DecodeStreams, EveryCorpusPictureIsExact) {
  check_streams(corpus_cases());
}

TEST(DecodeStreams, EveryConformancePictureIsExact) {
  const fs::path shared(SCOPEMARK_SHARED_DIR);
  for (const fs::path& folder : {shared / "conformance", shared / "conformance/supplemental"}) {
    if (!fs::exists(folder / "MANIFEST.tsv")) {
      GTEST_SKIP() << "conformance streams absent: " << folder;
    }
    check_streams(conformance_cases(folder));
  }
}

}  // namespace
