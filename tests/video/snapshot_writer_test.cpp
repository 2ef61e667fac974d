#include "video/snapshot_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/file_size_limit.h"
#include "video/picture_of.h"
#include "video/yuv_convert.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

class SnapshotFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("scopemark_video_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "10000");
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string directory() const { return root_.string() + "/"; }

  fs::path root_;
};

// A uniform 4 x 2 picture in planes with a luma stride wider than the picture.
struct FakePicture {
  std::vector<uint8_t> luma = std::vector<uint8_t>(6 * 2);
  uint8_t cb[4], cr[4];
  DecodedPicture picture{};
  FakePicture(uint8_t y, uint8_t u, uint8_t v) {
    std::fill(luma.begin(), luma.end(), y);
    std::fill(std::begin(cb), std::end(cb), u);
    std::fill(std::begin(cr), std::end(cr), v);
    picture = picture_of(luma.data(), cb, cr, 4, 2, 6, 4);
  }
};

constexpr SnapshotTime kMarch2 = {2024, 3, 2, 9, 5, 3};

TEST_F(SnapshotFolder, WriteBmpHeaderAndPixels) {
  std::vector<uint8_t> pixels(4 * 2 * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i + 1);
  const std::string path = directory() + "a.bmp";
  ASSERT_EQ(write_bmp(path, pixels.data(), pixels.size(), 4, 2), path);
  const std::vector<uint8_t> file = read_file(path);
  ASSERT_EQ(file.size(), 54u + 24u);
  const std::vector<uint8_t> header(file.begin(), file.begin() + 54);
  std::vector<uint8_t> expected = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0,  0, 0, 40, 0, 0,
                                   0,   4,   0,  0, 0, 2, 0, 0, 0, 1, 0,  24, 0, 0, 0,  0, 0};
  expected.resize(54, 0);
  EXPECT_EQ(header, expected);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), file.begin() + 54));
}

TEST_F(SnapshotFolder, WriteBmpPadsRowsToFourBytes) {
  const uint8_t pixels[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::string path = directory() + "narrow.bmp";
  ASSERT_EQ(write_bmp(path, pixels, sizeof pixels, 2, 2), path);
  const std::vector<uint8_t> file = read_file(path);
  ASSERT_EQ(file.size(), 54u + 16u);
  EXPECT_EQ(le32(file, 2), 70u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.end()),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}));
}

TEST_F(SnapshotFolder, WriteBmpRefusesWhatItCannotWrite) {
  const uint8_t pixels[24] = {};
  EXPECT_EQ(write_bmp(directory() + "missing/a.bmp", pixels, 24, 4, 2), "");
  EXPECT_EQ(write_bmp(directory() + "short.bmp", pixels, 23, 4, 2), "");
  EXPECT_EQ(write_bmp(directory() + "empty.bmp", pixels, 24, 0, 2), "");
  EXPECT_FALSE(fs::exists(directory() + "short.bmp"));
  EXPECT_FALSE(fs::exists(directory() + "empty.bmp"));
}

TEST_F(SnapshotFolder, SnapshotIsTheBmpOfTheConvertedPicture) {
  std::vector<fs::path> saved;
  SnapshotWriter writer(
      RecordFolder(root_ / "10000"),
      [&](const StoreResult& result) { saved.push_back(result.path); }, [] { return kMarch2; });
  const FakePicture red(81, 90, 240);
  writer.save_snapshot(red.picture);

  const std::string path = directory() + "10000/20240302_090503.bmp";
  EXPECT_EQ(writer.last_snapshot_path(), path);
  EXPECT_EQ(saved, std::vector<fs::path>{path});

  const uint8_t luma[8] = {81, 81, 81, 81, 81, 81, 81, 81};
  const uint8_t cb[2] = {90, 90}, cr[2] = {240, 240};
  std::vector<uint8_t> bgr(24);
  yuv420_to_bgr24(bgr.data(), luma, cb, cr, 4, 2);
  const std::string reference = directory() + "reference.bmp";
  ASSERT_EQ(write_bmp(reference, bgr.data(), bgr.size(), 4, 2), reference);
  EXPECT_EQ(read_file(path), read_file(reference));
  EXPECT_EQ(read_file(path)[54 + 2], 254);
}

TEST_F(SnapshotFolder, SnapshotsInTheSameSecondGetFilesOfTheirOwn) {
  SnapshotWriter writer(RecordFolder(root_ / "10000"), nullptr, [] { return kMarch2; });
  writer.save_snapshot(FakePicture(235, 128, 128).picture);
  writer.save_snapshot(FakePicture(16, 128, 128).picture);
  const std::string second = directory() + "10000/20240302_090503_02.bmp";
  EXPECT_EQ(writer.last_snapshot_path(), second);
  EXPECT_EQ(read_file(directory() + "10000/20240302_090503.bmp").back(), 254) << "white kept";
  EXPECT_EQ(read_file(second).back(), 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "10000"), {}), 2);
}

// Deleted from outside, the record folder is made again; without its parent the snapshot
// says why it is missing and writes nothing.
TEST_F(SnapshotFolder, VanishedRecordFolderIsMadeAgainOrReported) {
  std::vector<StoreResult> saved;
  const auto keep = [&](const StoreResult& result) { saved.push_back(result); };
  fs::remove_all(root_ / "10000");
  SnapshotWriter writer(RecordFolder(root_ / "10000"), keep, [] { return kMarch2; });
  writer.save_snapshot(FakePicture(16, 128, 128).picture);
  EXPECT_TRUE(fs::exists(directory() + "10000/20240302_090503.bmp"));

  SnapshotWriter orphan(RecordFolder(root_ / "gone/20000"), keep, [] { return kMarch2; });
  orphan.save_snapshot(FakePicture(16, 128, 128).picture);
  EXPECT_EQ(orphan.last_snapshot_path(), "");
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[1].problem, StoreProblem::folder_missing);
  EXPECT_FALSE(fs::exists(root_ / "gone"));
}

// A full disk (here a file size limit) fails the snapshot with no partial file; the next one
// after space is freed works.
TEST_F(SnapshotFolder, FullDiskLeavesNoPartialFile) {
  std::vector<StoreResult> saved;
  SnapshotWriter writer(
      RecordFolder(root_ / "10000"), [&](const StoreResult& result) { saved.push_back(result); },
      [] { return kMarch2; });
  {
    const testing::FileSizeLimit full(60);
    writer.save_snapshot(FakePicture(16, 128, 128).picture);
  }

  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].problem, StoreProblem::disk_full);
  EXPECT_TRUE(fs::is_empty(root_ / "10000"));
  writer.save_snapshot(FakePicture(16, 128, 128).picture);
  EXPECT_EQ(saved[1].path, directory() + "10000/20240302_090503.bmp");
}

}  // namespace
}  // namespace scopemark
