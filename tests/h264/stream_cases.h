// Whole streams through the public interface in 4096-byte pieces, as the viewer feeds them:
// the corpus and conformance streams with their expected per-picture MD5 lists.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "h264/decoder/cpu_features.h"
#include "h264/decoder/kernel_select.h"
#include "h264/front_decoder_fixture.h"
#include "h264/stream_files.h"
#include "tools/decode/md5.h"

namespace stream_cases {

namespace fs = std::filesystem;

struct StreamCase {
  fs::path stream;
  fs::path md5_list;
};

inline std::string picture_md5(const DecodedPicture& pic) {
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
inline std::vector<StreamCase> conformance_cases(const fs::path& folder) {
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

inline fs::path corpus_dir() {
  return fs::path(SCOPEMARK_SOURCE_DIR) / "tests/corpus";
}

inline std::vector<StreamCase> corpus_cases() {
  std::vector<StreamCase> cases;
  for (const auto& entry : fs::directory_iterator(corpus_dir())) {
    if (entry.path().extension() != ".264") continue;
    fs::path md5 = entry.path();
    md5.replace_extension(".md5");
    cases.push_back({entry.path(), md5});
  }
  std::sort(cases.begin(), cases.end(),
            [](const StreamCase& a, const StreamCase& b) { return a.stream < b.stream; });
  return cases;
}

// Decodes with the kernels the instance chose for this processor, or with the given build.
inline std::vector<std::string> decode_digests(const std::vector<uint8_t>& stream, uint32_t flags,
                                               int kernels = -1) {
  front_test::DecoderHandle decoder(front_test::make_config(120, 68, 16, flags));
  std::vector<std::string> digests;
  if (decoder.ctx == nullptr) return digests;
  if (kernels >= 0) {
    EXPECT_TRUE(decoder_select_kernels(decoder.ctx, kernels));
  }
  front_test::decode_all(decoder.ctx, stream, 4096,
                         [&](const DecodedPicture& pic) { digests.push_back(picture_md5(pic)); });
  return digests;
}

enum class Orders { both, display };

// Display order gives the oracle's list line for line; decoding order gives the same pictures,
// in the order they were decoded. `flags` joins both configurations. The display-order pass runs
// the processor's best kernel build; a decoding-order pass runs each other build it has (the
// portable build and the lesser vector levels).
inline void check_streams(const std::vector<StreamCase>& cases, uint32_t flags = 0,
                          Orders orders = Orders::both) {
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.stream.filename().string());
    const std::vector<uint8_t> stream = stream_files::read_file(c.stream);
    std::vector<std::string> expected = stream_files::read_md5_list(c.md5_list);
    ASSERT_FALSE(stream.empty());
    ASSERT_FALSE(expected.empty());
    const std::vector<std::string> digests = decode_digests(stream, flags | DECODER_DISPLAY_ORDER);
    ASSERT_EQ(digests.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(digests[i], expected[i]) << "picture " << i;
    }
    if (orders == Orders::display) continue;
    std::sort(expected.begin(), expected.end());
    const int best = decoder_kernel_build_for_level(decoder_cpu_level());
    for (int build = KERNELS_PORTABLE; build < best; ++build) {
      std::vector<std::string> decoding_order = decode_digests(stream, flags, build);
      std::sort(decoding_order.begin(), decoding_order.end());
      EXPECT_EQ(decoding_order, expected)
          << "decoding order, " << decoder_kernel_build_name(build) << " kernels";
    }
  }
}

}  // namespace stream_cases
