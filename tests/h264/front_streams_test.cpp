#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include "h264/decoder/decoder_memory.h"
#include "h264/front_decoder_fixture.h"
#include "h264/stream_files.h"

namespace {

namespace fs = std::filesystem;
using front_test::decode_all;
using front_test::DecoderHandle;
using front_test::make_config;
using Bytes = std::vector<uint8_t>;
using stream_files::read_file;

std::vector<fs::path> corpus_streams() {
  std::vector<fs::path> streams;
  for (const auto& entry :
       fs::directory_iterator(fs::path(SCOPEMARK_SOURCE_DIR) / "tests/corpus")) {
    if (entry.path().extension() == ".264") streams.push_back(entry.path());
  }
  std::sort(streams.begin(), streams.end());
  return streams;
}

TEST(FrontCorpus, EveryStreamHasItsExpectedChecksums) {
  auto streams = corpus_streams();
  ASSERT_GE(streams.size(), 8u);
  const std::regex line_format("([0-9]+) ([0-9a-f]{32})");
  for (const fs::path& stream : streams) {
    fs::path md5_path = stream;
    md5_path.replace_extension(".md5");
    std::ifstream md5(md5_path);
    ASSERT_TRUE(md5) << md5_path;
    std::string line;
    int expected_index = 0;
    while (std::getline(md5, line)) {
      std::smatch match;
      ASSERT_TRUE(std::regex_match(line, match, line_format)) << md5_path << ": " << line;
      EXPECT_EQ(std::stoi(match[1]), expected_index++) << md5_path;
    }
    EXPECT_GT(expected_index, 0) << md5_path;
  }
}

// Every returned picture lies inside one of the instance's stores.
void check_picture(const DecoderContext& ctx, const DecodedPicture& pic) {
  ASSERT_GE(pic.store_index, 0);
  ASSERT_LT(static_cast<uint32_t>(pic.store_index), ctx.store_count);
  EXPECT_LE(pic.width, ctx.max_width_mbs * 16);
  EXPECT_LE(pic.height, ctx.max_height_mbs * 16);
}

// Truncated, bit-flipped and spliced versions of every corpus stream decode without reading or
// writing outside the instance's buffers (the sanitizer build checks) and without hanging.
TEST(FrontCorpus, DamagedStreamsAreSurvived) {
  std::mt19937 rng(2024);
  for (const fs::path& path : corpus_streams()) {
    const Bytes stream = read_file(path);
    std::vector<Bytes> variants;
    for (size_t cut : {size_t{1}, size_t{5}, size_t{37}, stream.size() / 3, stream.size() / 2,
                       stream.size() - 1}) {
      variants.emplace_back(stream.begin(), stream.begin() + std::min(cut, stream.size()));
    }
    for (int flips : {1, 4, 32, 400}) {
      Bytes damaged = stream;
      for (int i = 0; i < flips; ++i) damaged[rng() % damaged.size()] ^= 1u << (rng() % 8);
      variants.push_back(damaged);
    }
    Bytes spliced(stream.begin() + stream.size() / 2, stream.end());
    spliced.insert(spliced.end(), stream.begin(), stream.end());
    variants.push_back(spliced);
    for (const Bytes& variant : variants) {
      DecoderHandle d(make_config(80, 45, 4));
      size_t calls = decode_all(d.ctx, variant, 4096,
                                [&](const DecodedPicture& pic) { check_picture(*d.ctx, pic); });
      EXPECT_LT(calls, variant.size() + 100) << path;
    }
  }
}

// The NAL units of a byte stream, each with its start code.
std::vector<Bytes> split_units(const Bytes& stream) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 2 < stream.size(); ++i) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) starts.push_back(i);
  }
  std::vector<Bytes> units;
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : stream.size();
    units.emplace_back(stream.begin() + starts[k], stream.begin() + end);
  }
  return units;
}

// The units of every corpus stream in random order, and in order with units dropped and
// repeated: pictures refer to missing or foreign references and slices arrive without their
// picture. Nothing is read or written outside the buffers, nothing hangs, and the decoder
// allocates nothing after creation.
TEST(FrontCorpus, ShuffledUnitsAreSurvived) {
  std::mt19937 rng(77);
  for (const fs::path& path : corpus_streams()) {
    std::vector<Bytes> units = split_units(read_file(path));
    ASSERT_GT(units.size(), 2u) << path;
    units.resize(std::min<size_t>(units.size(), 30));
    std::vector<Bytes> shuffled = units;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    std::vector<Bytes> edited;
    for (const Bytes& unit : units) {
      const uint32_t roll = rng() % 8;
      if (roll == 0) continue;
      edited.push_back(unit);
      if (roll == 1) edited.push_back(unit);
    }
    Bytes variant;
    for (const std::vector<Bytes>* order : {&shuffled, &edited})
      for (const Bytes& unit : *order) variant.insert(variant.end(), unit.begin(), unit.end());
    DecoderHandle d(make_config(80, 45, 2));
    // The next allocation fails; a probe afterwards tells whether the decoder used it up.
    decoder_alloc_fail_after(0);
    decode_all(d.ctx, variant, 65536,
               [&](const DecodedPicture& pic) { check_picture(*d.ctx, pic); });
    void* probe = decoder_alloc(1);
    decoder_alloc_fail_after(-1);
    EXPECT_EQ(probe, nullptr) << path << ": the decoder allocated while decoding";
    decoder_free(probe);
  }
}

TEST(FrontCorpus, NoiseIsSurvived) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20; ++round) {
    Bytes noise(20000 + rng() % 20000);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    // Dense start codes and escape sequences.
    for (size_t i = 0; i + 4 < noise.size(); i += 1 + rng() % 64) {
      noise[i] = 0;
      noise[i + 1] = 0;
      noise[i + 2] = static_cast<uint8_t>(rng() % 4);
      noise[i + 3] = static_cast<uint8_t>(0x60 + rng() % 16);
    }
    DecoderHandle d(make_config(20, 16, 2));
    decode_all(d.ctx, noise, 1 + rng() % 5000,
               [&](const DecodedPicture& pic) { check_picture(*d.ctx, pic); });
  }
}

struct ManifestRow {
  std::string file;
  uint32_t profile;
  std::string entropy;
  std::string features;
  uint32_t width;
  uint32_t height;
  std::string crop;
};

std::vector<ManifestRow> read_manifest(const fs::path& path) {
  std::vector<ManifestRow> rows;
  std::ifstream manifest(path);
  std::string line;
  std::getline(manifest, line);
  while (std::getline(manifest, line)) {
    std::vector<std::string> cells;
    std::stringstream split(line);
    std::string cell;
    while (std::getline(split, cell, '\t')) cells.push_back(cell);
    if (cells.size() < 10) continue;
    rows.push_back({cells[0], static_cast<uint32_t>(std::stoul(cells[2])), cells[3], cells[4],
                    static_cast<uint32_t>(std::stoul(cells[5])),
                    static_cast<uint32_t>(std::stoul(cells[6])), cells[9]});
  }
  return rows;
}

bool has_feature(const std::string& features, const std::string& word) {
  std::stringstream split(features);
  std::string item;
  while (std::getline(split, item, ',')) {
    if (item == word) return true;
  }
  return false;
}

// The parameter sets of every conformance stream parse and agree with the manifest.
TEST(FrontConformance, ParameterSetsOfEveryStreamMatchTheManifest) {
  const fs::path root = fs::path(SCOPEMARK_SHARED_DIR) / "conformance";
  if (!fs::exists(root / "MANIFEST.tsv")) GTEST_SKIP() << "no conformance streams in " << root;
  int checked = 0;
  for (const fs::path& folder : {root, root / "supplemental"}) {
    for (const ManifestRow& row : read_manifest(folder / "MANIFEST.tsv")) {
      SCOPED_TRACE(row.file);
      Bytes stream = read_file(folder / "streams" / row.file);
      ASSERT_FALSE(stream.empty());
      // Exactly the stream's size: the largest the instance accepts.
      DecoderHandle d(make_config(row.width / 16, row.height / 16, 16));
      std::map<uint32_t, bool> seen_sps;
      bool any_8x8 = false, any_pps = false, entropy_ok = true;
      decode_all(d.ctx, stream, 4096, [](const DecodedPicture&) {});
      for (uint32_t id = 0; id < SPS_TABLE_SIZE; ++id) {
        const SequenceParameterSet& sps = d.ctx->sps_table[id];
        if (!sps.valid) continue;
        seen_sps[id] = true;
        EXPECT_EQ(sps.profile_idc, row.profile);
        EXPECT_EQ(sps.width, row.width);
        EXPECT_EQ(sps.height, row.height);
        std::string crop = std::to_string(sps.crop_left) + "," + std::to_string(sps.crop_right) +
                           "," + std::to_string(sps.crop_top) + "," +
                           std::to_string(sps.crop_bottom);
        EXPECT_EQ(crop, row.crop);
        EXPECT_EQ(sps.seq_scaling_matrix_present_flag != 0, has_feature(row.features, "cqm-sps"));
        EXPECT_EQ(sps.frame_mbs_only_flag == 0, has_feature(row.features, "field") ||
                                                    has_feature(row.features, "paff") ||
                                                    has_feature(row.features, "frame-mbs-only-0"));
      }
      for (uint32_t id = 0; id < PPS_TABLE_SIZE; ++id) {
        const PictureParameterSet& pps = d.ctx->pps_table[id];
        if (!pps.valid) continue;
        any_pps = true;
        EXPECT_TRUE(seen_sps.count(pps.seq_parameter_set_id));
        any_8x8 |= pps.transform_8x8_mode_flag != 0;
        entropy_ok &= pps.entropy_coding_mode_flag == (row.entropy == "CABAC" ? 1u : 0u);
      }
      EXPECT_FALSE(seen_sps.empty());
      EXPECT_TRUE(any_pps);
      EXPECT_TRUE(entropy_ok);
      // The feature lists of the reference-decoder-only streams omit 8x8.
      if (has_feature(row.features, "8x8")) {
        EXPECT_TRUE(any_8x8);
      }
      ++checked;
    }
  }
  EXPECT_EQ(checked, 70);
}

size_t count_lines(const fs::path& path) {
  std::ifstream file(path);
  size_t lines = 0;
  std::string line;
  while (std::getline(file, line)) ++lines;
  return lines;
}

// Every stream gives as many pictures as its expected list holds, in both output modes.
TEST(FrontPictureCounts, EveryStreamGivesItsExpectedNumberOfPictures) {
  std::vector<std::pair<fs::path, fs::path>> streams;  // stream, expected checksums
  for (const fs::path& stream : corpus_streams()) {
    fs::path md5 = stream;
    streams.emplace_back(stream, md5.replace_extension(".md5"));
  }
  const fs::path root = fs::path(SCOPEMARK_SHARED_DIR) / "conformance";
  for (const fs::path& folder : {root, root / "supplemental"}) {
    if (!fs::exists(folder / "MANIFEST.tsv")) continue;
    for (const ManifestRow& row : read_manifest(folder / "MANIFEST.tsv")) {
      streams.emplace_back(folder / "streams" / row.file,
                           folder / "framemd5" / (row.file + ".md5"));
    }
  }
  for (const auto& [stream, md5] : streams) {
    const Bytes bytes = read_file(stream);
    for (uint32_t flags : {DECODER_DISPLAY_ORDER, 0u}) {
      DecoderHandle d(make_config(80, 45, 16, flags));
      size_t pictures = 0;
      decode_all(d.ctx, bytes, 4096, [&](const DecodedPicture&) { ++pictures; });
      EXPECT_EQ(pictures, count_lines(md5)) << stream.filename() << " flags " << flags;
    }
  }
}

}  // namespace
