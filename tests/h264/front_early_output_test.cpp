// An x264 stream fed one access unit at a time, as the camera sends it. With picture order
// count type 2, or type 0 with a VUI reorder limit, each picture comes out as soon as the start
// code of the next unit closes its last slice; without the limit pictures wait for a full
// buffer. Pictures and their order stay those of the oracle either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "h264/poc_rewrite.h"
#include "h264/stream_cases.h"

namespace {

struct Fed {
  std::vector<std::string> digests;
  std::vector<size_t> out_after_start_code;  // pictures out once unit k's start code was fed
  bool out_within_unit = false;              // a picture came out in the middle of a unit
};

Fed feed_access_units(const std::vector<uint8_t>& stream) {
  front_test::DecoderHandle d(front_test::make_config(120, 68, 16));
  Fed fed;
  auto feed = [&](const uint8_t* bytes, size_t length) {
    int result = decoder_decode(d.ctx, bytes, static_cast<uint32_t>(length), 0, 0, &d.out, 0);
    while (result == DECODE_PICTURE_READY) {
      fed.digests.push_back(stream_cases::picture_md5(d.out));
      result = decoder_decode(d.ctx, nullptr, 0, 0, 0, &d.out, 0);
    }
  };
  for (const std::vector<uint8_t>& unit : front_test::access_units(stream)) {
    feed(unit.data(), 4);
    fed.out_after_start_code.push_back(fed.digests.size());
    feed(unit.data() + 4, unit.size() - 4);
    fed.out_within_unit |= fed.digests.size() != fed.out_after_start_code.back();
  }
  while (d.end_of_stream() == DECODE_PICTURE_READY) {
    fed.digests.push_back(stream_cases::picture_md5(d.out));
  }
  return fed;
}

class FrontEarlyOutputStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto path = stream_cases::corpus_dir() / "qcif_cavlc_p_baseline_refs.264";
    stream_ = stream_files::read_file(path);
    expected_ = stream_files::read_md5_list(path.parent_path() / "qcif_cavlc_p_baseline_refs.md5");
    ASSERT_FALSE(stream_.empty());
    ASSERT_EQ(expected_.size(), 30u);
  }

  std::vector<uint8_t> stream_;
  std::vector<std::string> expected_;
};

TEST_F(FrontEarlyOutputStreams, EachPictureComesOutWithTheNextAccessUnitsStartCode) {
  // Order count type 2 as x264 writes it, then type 0 with the same VUI (reorder limit 0).
  for (bool type0 : {false, true}) {
    SCOPED_TRACE(type0 ? "type 0 with VUI" : "type 2");
    const Fed fed = feed_access_units(type0 ? front_test::to_poc_type0(stream_, true) : stream_);
    EXPECT_EQ(fed.digests, expected_);
    ASSERT_EQ(fed.out_after_start_code.size(), expected_.size());
    for (size_t k = 0; k < expected_.size(); ++k) EXPECT_EQ(fed.out_after_start_code[k], k);
    EXPECT_FALSE(fed.out_within_unit);
  }
}

TEST_F(FrontEarlyOutputStreams, WithoutReorderInformationPicturesWaitForAFullBuffer) {
  const Fed fed = feed_access_units(front_test::to_poc_type0(stream_, false));
  EXPECT_EQ(fed.digests, expected_);
  size_t largest_lag = 0;
  for (size_t k = 0; k < fed.out_after_start_code.size(); ++k) {
    largest_lag = std::max(largest_lag, k - fed.out_after_start_code[k]);
  }
  EXPECT_GE(largest_lag, 5u);  // five reference frames at least, more as the level allows
}

}  // namespace
