#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "camsim/access_units.h"
#include "camsim/demo_camera.h"

namespace scopemark::camsim {
namespace {

const std::string kDataDir = SCOPEMARK_SOURCE_DIR "/camsim/data/";

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// One NAL unit: its type and where its payload (after the header byte) starts.
struct Nal {
  int type;
  size_t payload;
};

std::vector<Nal> nal_units(const std::vector<uint8_t>& stream) {
  std::vector<Nal> units;
  for (size_t i = 0; i + 3 < stream.size(); ++i) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
      units.push_back({stream[i + 3] & 0x1F, i + 4});
      i += 3;
    }
  }
  return units;
}

// Reads unsigned Exp-Golomb codes from a NAL payload, skipping emulation prevention bytes.
class UeReader {
 public:
  UeReader(const std::vector<uint8_t>& bytes, size_t start) : bytes_(bytes), byte_(start) {}

  uint32_t ue() {
    int zeros = 0;
    while (bit() == 0) ++zeros;
    uint32_t value = 1;
    for (int i = 0; i < zeros; ++i) value = value << 1 | bit();
    return value - 1;
  }

 private:
  int bit() {
    if (bit_ == 0 && byte_ >= 2 && bytes_[byte_] == 3 && bytes_[byte_ - 1] == 0 &&
        bytes_[byte_ - 2] == 0) {
      ++byte_;
    }
    const int value = (bytes_.at(byte_) >> (7 - bit_)) & 1;
    if (++bit_ == 8) {
      bit_ = 0;
      ++byte_;
    }
    return value;
  }

  const std::vector<uint8_t>& bytes_;
  size_t byte_;
  int bit_ = 0;
};

std::vector<uint8_t> embedded() {
  const auto stream = demo_stream();
  return {stream.begin(), stream.end()};
}

TEST(DemoStream, EqualsTheCommittedFile) {
  const std::vector<uint8_t> file = read_file(kDataDir + "demo.264");
  ASSERT_FALSE(file.empty());
  EXPECT_LE(file.size(), 3'000'000u);
  EXPECT_EQ(embedded(), file);
}

TEST(DemoStream, OpensWithParameterSetsAndAnIdrPicture) {
  const std::vector<uint8_t> stream = embedded();
  const std::vector<Nal> units = nal_units(stream);
  ASSERT_GE(units.size(), 3u);
  EXPECT_EQ(units[0].type, 7);
  EXPECT_EQ(units[1].type, 8);
  const int profile_idc = stream[units[0].payload];
  EXPECT_TRUE(profile_idc == 66 || profile_idc == 77) << profile_idc;
  size_t first_slice = 2;
  while (first_slice < units.size() && units[first_slice].type == 6) ++first_slice;
  ASSERT_LT(first_slice, units.size());
  EXPECT_EQ(units[first_slice].type, 5);
}

// The decoder and the viewer's pacing take I and P slices only, one slice per picture.
TEST(DemoStream, HoldsOnlyIAndPSlices) {
  const std::vector<uint8_t> stream = embedded();
  int idr_pictures = 0;
  for (const Nal& unit : nal_units(stream)) {
    if (unit.type != 1 && unit.type != 5) continue;
    UeReader reader(stream, unit.payload);
    EXPECT_EQ(reader.ue(), 0u) << "first_mb_in_slice at " << unit.payload;
    const uint32_t slice_type = reader.ue() % 5;
    EXPECT_TRUE(slice_type == 0 || slice_type == 2) << slice_type << " at " << unit.payload;
    if (unit.type == 5) ++idr_pictures;
  }
  EXPECT_GT(idr_pictures, 1);
}

// The camera paces by the pictures it cuts from the stream; they must be the decoded ones,
// at kDemoFrameRate for about 10 s, looping from the first picture.
TEST(DemoStream, PicturesMatchTheChecksumList) {
  std::ifstream list(kDataDir + "demo.264.md5");
  ASSERT_TRUE(list);
  size_t lines = 0;
  size_t index = 0;
  std::string md5;
  for (; list >> index >> md5; ++lines) {
    EXPECT_EQ(index, lines);
    EXPECT_EQ(md5.size(), 32u) << md5;
  }
  const StreamPlan plan = plan_stream(embedded());
  EXPECT_EQ(plan.frame_starts.size(), lines);
  EXPECT_EQ(plan.loop_frame, 0u);
  EXPECT_NEAR(static_cast<double>(lines) / kDemoFrameRate, 10.0, 0.5);
}

}  // namespace
}  // namespace scopemark::camsim
