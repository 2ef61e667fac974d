// Every corpus and conformance picture, bit-exact against the oracle's list, with both kernel
// builds.
#include <gtest/gtest.h>

#include "h264/stream_cases.h"

namespace {

using stream_cases::check_streams;
using stream_cases::conformance_cases;
using stream_cases::corpus_cases;

TEST(DecodeStreams, EveryCorpusPictureIsExact) {
  check_streams(corpus_cases());
}

TEST(DecodeStreams, EveryConformancePictureIsExact) {
  const stream_cases::fs::path shared(SCOPEMARK_SHARED_DIR);
  for (const auto& folder : {shared / "conformance", shared / "conformance/supplemental"}) {
    if (!stream_cases::fs::exists(folder / "MANIFEST.tsv")) {
      GTEST_SKIP() << "conformance streams absent: " << folder;
    }
    check_streams(conformance_cases(folder));
  }
}

}  // namespace
