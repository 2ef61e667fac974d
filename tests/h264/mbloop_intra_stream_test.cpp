// Intra pictures of the corpus streams through the macroblock loops, compared with the
// expected MD5 of every picture up to the first P slice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "h264/decoder/decoder_context.h"
#include "h264/stream/slice_data.h"
#include "h264/stream_files.h"
#include "tools/decode/md5.h"

namespace fs = std::filesystem;

namespace {

using stream_files::read_file;
using stream_files::read_md5_list;

// Decodes the stream's pictures while every slice is an I slice: units go through the
// dispatcher (parameter sets, slice header, picture start) and the slice data through the loops.
class IntraStreamDecoder {
 public:
  IntraStreamDecoder() {
    DecoderConfig config{};
    config.max_width_mbs = 80;
    config.max_height_mbs = 45;
    config.max_ref_frames = 16;
    ctx_ = decoder_create(&config);
  }
  ~IntraStreamDecoder() { decoder_destroy(ctx_); }

  // MD5 of every complete picture.
  std::vector<std::string> run(const std::vector<uint8_t>& stream) {
    scanner_set_input(ctx_->scanner, stream.data(), static_cast<uint32_t>(stream.size()));
    bool closing = false;
    uint32_t unit_bytes = 0;
    while (!stopped_) {
      const ScanResult result = scan_next_unit(*ctx_, unit_bytes);
      if (result == ScanResult::unit_ready) {
        unit(unit_bytes);
      } else if (result == ScanResult::input_used_up) {
        if (closing) break;
        closing = true;
        scanner_set_input(ctx_->scanner, ctx_->scanner.closing_start_code, 4);
      }
    }
    return digests_;
  }

  uint32_t errors() const { return errors_; }

 private:
  void unit(uint32_t unit_bytes) {
    const uint32_t result = dispatch_nal_unit(*ctx_, unit_bytes);
    if (result != NAL_RESULT_NEW_PICTURE && result != NAL_RESULT_SAME_PICTURE) return;
    if (ctx_->nal_unit_type != 1 && ctx_->nal_unit_type != 5) return;
    if (ctx_->slice.slice_type != SLICE_I) {
      stopped_ = true;
      return;
    }
    SliceDataParams s;
    slice_data_params_from_context(*ctx_, &s);
    const uint32_t error = ctx_->active_pps.entropy_coding_mode_flag
                               ? decode_slice_data_cabac(ctx_, &s)
                               : decode_slice_data_cavlc(ctx_, &s);
    if (error) ++errors_;
    ctx_->mb_count += static_cast<uint32_t>(ctx_->work_area.mb_count);
    if (ctx_->mb_count == ctx_->current_pic_size) picture_done(s);
  }

  // The frame in its store: planes at the picture's width, as the oracle writes them.
  void picture_done(const SliceDataParams& s) {
    const uint32_t width = 16 * static_cast<uint32_t>(s.pic_width_in_mbs);
    const uint32_t height = 16 * static_cast<uint32_t>(s.pic_height_in_mbs);
    const uint8_t* buffer = ctx_->stores[ctx_->current_store].buffer;
    const uint32_t plane = ctx_->max_width_mbs * ctx_->max_height_mbs * 256;
    scopemark::Md5 md5;
    md5.update(buffer, width * height);
    md5.update(buffer + plane, width * height / 4);
    md5.update(buffer + plane * 5 / 4, width * height / 4);
    digests_.push_back(md5.hex_digest());
  }

  DecoderContext* ctx_ = nullptr;
  std::vector<std::string> digests_;
  uint32_t errors_ = 0;
  bool stopped_ = false;
};

void check_stream(const fs::path& stream_path, const fs::path& md5_path) {
  const std::vector<uint8_t> stream = read_file(stream_path);
  const std::vector<std::string> expected = read_md5_list(md5_path);
  if (stream.empty() || expected.empty()) GTEST_SKIP() << "stream " << stream_path << " absent";
  IntraStreamDecoder decoder;
  const std::vector<std::string> digests = decoder.run(stream);
  EXPECT_EQ(decoder.errors(), 0u);
  ASSERT_FALSE(digests.empty());
  ASSERT_LE(digests.size(), expected.size());
  for (size_t i = 0; i < digests.size(); ++i) EXPECT_EQ(digests[i], expected[i]) << "picture " << i;
}

class MbloopIntraStream : public ::testing::TestWithParam<std::string> {};

TEST_P(MbloopIntraStream, PicturesMatchTheExpectedMd5) {
  const fs::path base = fs::path(SCOPEMARK_SOURCE_DIR) / "tests/corpus" / GetParam();
  check_stream(base.string() + ".264", base.string() + ".md5");
}

INSTANTIATE_TEST_SUITE_P(Corpus, MbloopIntraStream,
                         ::testing::Values("cif_cavlc_intra_baseline", "cif_cabac_intra_8x8",
                                           "cif_cavlc_p_8x8_slices", "cif_cabac_p_main_nodeblock",
                                           "qcif_cavlc_p_baseline_refs", "hd720_cabac_p_8x8",
                                           "crop_cabac_p_cqm", "cif_cavlc_p_fakeinterlaced"));

class MbloopIntraConformance : public ::testing::TestWithParam<std::string> {};

TEST_P(MbloopIntraConformance, PicturesMatchTheExpectedMd5) {
  const fs::path root = fs::path(SCOPEMARK_SHARED_DIR) / "conformance";
  check_stream(root / "streams" / GetParam(), root / "framemd5" / (GetParam() + ".md5"));
}

// Intra-only streams (all pictures) and streams whose first picture is intra.
INSTANTIATE_TEST_SUITE_P(Conformance, MbloopIntraConformance,
                         ::testing::Values("BA1_Sony_D.jsv", "BAMQ1_JVC_C.264", "BASQP1_Sony_C.jsv",
                                           "CABA1_SVA_B.264", "CANL1_SVA_B.264",
                                           "CANL1_TOSHIBA_G.264", "CANL2_SVA_B.264",
                                           "CVPCMNL1_SVA_C.264", "NL1_Sony_D.jsv",
                                           "NLMQ1_JVC_C.264", "SVA_BA1_B.264", "SVA_NL1_B.264",
                                           "BA1_FT_C.264", "CI1_FT_B.264", "CABA3_TOSHIBA_E.264",
                                           "SVA_CL1_E.264", "MR1_BT_A.h264", "test8b43.264"));

}  // namespace
