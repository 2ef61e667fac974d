#include "records/picture_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "records/temp_folder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

constexpr SnapshotTime kMarch2{2024, 3, 2, 9, 5, 3};

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SnapshotNames, LaterSnapshotsOfASecondListAfterTheEarlierOnes) {
  const RecordFolder record("/opt/scope/10000");
  EXPECT_EQ(record.snapshot_path(kMarch2, 2), "/opt/scope/10000/20240302_090503_02.bmp");
  std::vector<fs::path> taken;
  for (int number = 1; number <= 99; ++number)
    taken.push_back(record.snapshot_path(kMarch2, number));
  taken.push_back(record.snapshot_path({2024, 3, 2, 9, 5, 4}));
  EXPECT_TRUE(std::is_sorted(taken.begin(), taken.end(), RecordFolder::lists_before));
}

TEST(PlaceSnapshot, EverySnapshotOfOneSecondGetsItsOwnFile) {
  testing::TempFolder dir;
  const RecordFolder record(dir.path());
  write_file(record.snapshot_path(kMarch2, 2), "earlier second");
  std::vector<fs::path> placed;
  for (const char* content : {"one", "two", "three"}) {
    const fs::path temporary = temporary_picture_path(record, "snapshot");
    write_file(temporary, content);
    const StoreResult result = place_snapshot(temporary, record, kMarch2);
    EXPECT_EQ(result.problem, StoreProblem::none);
    placed.push_back(result.path);
  }
  EXPECT_EQ(placed, (std::vector<fs::path>{record.snapshot_path(kMarch2, 1),
                                           record.snapshot_path(kMarch2, 3),
                                           record.snapshot_path(kMarch2, 4)}));
  EXPECT_EQ(read_file(placed[2]), "three");
  EXPECT_EQ(read_file(record.snapshot_path(kMarch2, 2)), "earlier second");
  EXPECT_EQ(names_in(dir.path()).size(), 4u) << "no temporary file left";
}

TEST(PlaceReplacing, ReplacesTheOlderFileOrLeavesItAndRemovesTheTemporaryFile) {
  testing::TempFolder dir;
  const RecordFolder record(dir.path());
  const fs::path temporary = temporary_picture_path(record, "received");
  EXPECT_FALSE(record.holds_picture(temporary)) << "never listed in the album";
  write_file(record.received_picture_path("keep1"), "older");
  write_file(temporary, "newer");
  EXPECT_EQ(place_replacing(temporary, record.received_picture_path("keep1")).problem,
            StoreProblem::none);
  EXPECT_EQ(read_file(record.received_picture_path("keep1")), "newer");

  fs::create_directory(record.received_picture_path("folder"));
  write_file(temporary, "newer");
  EXPECT_NE(place_replacing(temporary, record.received_picture_path("folder")).problem,
            StoreProblem::none);
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"folder.bmp", "keep1.bmp"}));
}

TEST(PrepareFolder, MakesAVanishedRecordFolderAgainButNotItsParents) {
  testing::TempFolder dir;
  EXPECT_EQ(prepare_folder(RecordFolder(dir.path() / "42")), StoreProblem::none);
  EXPECT_TRUE(fs::is_directory(dir.path() / "42"));
  EXPECT_EQ(prepare_folder(RecordFolder(dir.path() / "gone" / "42")), StoreProblem::folder_missing);
  EXPECT_FALSE(fs::exists(dir.path() / "gone"));
  EXPECT_EQ(store_problem_of(ENOSPC), StoreProblem::disk_full);
}

}  // namespace
}  // namespace scopemark
