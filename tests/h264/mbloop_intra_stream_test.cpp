// Intra pictures of the corpus streams through the macroblock loops, compared with the
// expected MD5 of every picture up to the first P slice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "h264/decoder/decoder_context.h"
#include "h264/recon/recon_tables.h"
#include "h264/stream/slice_data.h"
#include "tools/decode/md5.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> read_md5_list(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> digests;
  std::string index, digest;
  while (in >> index >> digest) digests.push_back(digest);
  return digests;
}

// Decodes the stream's pictures while every slice is an I slice; the slice header is read here
// with just the fields that I slices of these streams carry.
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
        unit();
      } else if (result == ScanResult::input_used_up) {
        if (closing) break;
        closing = true;
        scanner_set_input(ctx_->scanner, ctx_->scanner.closing_start_code, 4);
      }
    }
    if (!stopped_ && mbs_ > 0) finish_picture();
    return digests_;
  }

  uint32_t errors() const { return errors_; }

 private:
  void unit() {
    const uint32_t type = ctx_->reader.data[0] & 31;
    if (type == 7 || type == 8) {
      dispatch_nal_unit(*ctx_);
      return;
    }
    if (type != 1 && type != 5) return;
    BitReader& br = ctx_->reader;
    read_bits(br, 1);
    const uint32_t nal_ref_idc = read_bits(br, 2);
    read_bits(br, 5);
    SliceDataParams s{};
    s.first_mb_in_slice = static_cast<int32_t>(read_ue(br));
    s.slice_type = static_cast<int32_t>(read_ue(br) % 5);
    const PictureParameterSet& pps = ctx_->pps_table[read_ue(br) & 255];
    const SequenceParameterSet& sps = ctx_->sps_table[pps.seq_parameter_set_id];
    if (s.first_mb_in_slice == 0 && mbs_ > 0) finish_picture();
    if (s.slice_type != 2) {
      stopped_ = true;
      return;
    }
    read_bits(br, sps.log2_max_frame_num_minus4 + 4);
    if (!sps.frame_mbs_only_flag && read_flag(br)) {
      ADD_FAILURE() << "field picture";
      stopped_ = true;
      return;
    }
    if (type == 5) read_ue(br);
    if (sps.pic_order_cnt_type == 0) {
      read_bits(br, sps.log2_max_pic_order_cnt_lsb_minus4 + 4);
      if (pps.bottom_field_pic_order_in_frame_present_flag) read_se(br);
    } else if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
      read_se(br);
      if (pps.bottom_field_pic_order_in_frame_present_flag) read_se(br);
    }
    if (pps.redundant_pic_cnt_present_flag) read_ue(br);
    if (nal_ref_idc != 0) {
      if (type == 5) {
        read_bits(br, 2);
      } else if (read_flag(br)) {
        for (uint32_t op = read_ue(br); op != 0; op = read_ue(br)) {
          if (op != 4) read_ue(br);
          if (op == 3) read_ue(br);
        }
      }
    }
    s.slice_qp = 26 + pps.pic_init_qp_minus26 + read_se(br);
    if (pps.deblocking_filter_control_present_flag) {
      s.disable_deblocking_filter_idc = static_cast<int32_t>(read_ue(br));
      if (s.disable_deblocking_filter_idc != 1) {
        s.filter_offset_a = 2 * read_se(br);
        s.filter_offset_b = 2 * read_se(br);
      }
    }
    width_ = sps.width;
    height_ = sps.height;
    s.pic_width_in_mbs = static_cast<int32_t>(width_ / 16);
    s.pic_height_in_mbs = static_cast<int32_t>(height_ / 16);
    s.transform_8x8_mode_flag = static_cast<int32_t>(pps.transform_8x8_mode_flag);
    s.constrained_intra_pred_flag = static_cast<int32_t>(pps.constrained_intra_pred_flag);
    s.chroma_qp_index_offset = pps.chroma_qp_index_offset;
    s.second_chroma_qp_index_offset = pps.second_chroma_qp_index_offset;
    uint8_t lists4x4[6][16], lists8x8[2][64];
    for (int l = 0; l < 6; ++l)
      for (int i = 0; i < 16; ++i) lists4x4[l][i] = pps.scaling.list4x4[l][decoder_scan4x4[i] & 15];
    for (int l = 0; l < 2; ++l)
      for (int i = 0; i < 64; ++i) lists8x8[l][i] = pps.scaling.list8x8[l][decoder_scan8x8[0][i]];
    decoder_build_level_scale(&scale_, lists4x4, lists8x8);
    s.level_scale = &scale_;
    frame_.resize(width_ * height_ * 3 / 2);
    s.luma = frame_.data();
    s.cb = frame_.data() + width_ * height_;
    s.cr = s.cb + width_ * height_ / 4;
    s.luma_stride = static_cast<int32_t>(width_);
    s.chroma_stride = static_cast<int32_t>(width_ / 2);
    const uint32_t error = pps.entropy_coding_mode_flag ? decode_slice_data_cabac(ctx_, &s)
                                                        : decode_slice_data_cavlc(ctx_, &s);
    if (error) ++errors_;
    mbs_ += static_cast<uint32_t>(ctx_->work_area.mb_count);
  }

  void finish_picture() {
    if (mbs_ != width_ * height_ / 256) ADD_FAILURE() << "picture " << digests_.size() << " has "
                                                      << mbs_ << " macroblocks";
    scopemark::Md5 md5;
    md5.update(frame_.data(), static_cast<uint32_t>(frame_.size()));
    digests_.push_back(md5.hex_digest());
    mbs_ = 0;
  }

  DecoderContext* ctx_ = nullptr;
  LevelScaleTables scale_{};
  std::vector<uint8_t> frame_;
  std::vector<std::string> digests_;
  uint32_t width_ = 0, height_ = 0, mbs_ = 0, errors_ = 0;
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
INSTANTIATE_TEST_SUITE_P(
    Conformance, MbloopIntraConformance,
    ::testing::Values("BA1_Sony_D.jsv", "BAMQ1_JVC_C.264", "BASQP1_Sony_C.jsv", "CABA1_SVA_B.264",
                      "CANL1_SVA_B.264", "CANL1_TOSHIBA_G.264", "CANL2_SVA_B.264",
                      "CVPCMNL1_SVA_C.264", "NL1_Sony_D.jsv", "NLMQ1_JVC_C.264", "SVA_BA1_B.264",
                      "SVA_NL1_B.264", "BA1_FT_C.264", "CI1_FT_B.264", "CABA3_TOSHIBA_E.264",
                      "SVA_CL1_E.264", "MR1_BT_A.h264", "test8b43.264"));

}  // namespace
