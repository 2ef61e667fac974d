#include "records/user_removal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "records/temp_folder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

fs::path fake_trash_folder;

// Moves into fake_trash_folder; refuses names starting with "stuck".
bool fake_trash(const fs::path& path) {
  if (path.filename().string().starts_with("stuck")) return false;
  std::error_code ec;
  fs::rename(path, fake_trash_folder / path.filename(), ec);
  return !ec;
}

class UserRemoval : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(record / "sub");
    std::ofstream(record / "a.bmp") << "a";
    std::ofstream(record / "sub" / "locked") << "x";
    fs::permissions(record / "sub", fs::perms::owner_read | fs::perms::owner_exec);
  }
  void TearDown() override { set_trash_function(previous); }

  testing::TempFolder dir;
  const fs::path record = dir.path() / "42";
  TrashFunction previous = set_trash_function(nullptr);
};

TEST_F(UserRemoval, WithoutATrashFilesAndRecordsAreRemovedForGood) {
  EXPECT_FALSE(removals_go_to_trash());
  EXPECT_TRUE(remove_user_entry(record / "a.bmp"));
  EXPECT_FALSE(fs::exists(record / "a.bmp"));
  EXPECT_TRUE(remove_user_entry(record));
  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(remove_user_entry(record)) << "nothing left at the path";
  EXPECT_FALSE(remove_user_entry({}));
  EXPECT_TRUE(fs::exists(dir.path()));
}

TEST_F(UserRemoval, WithATrashEntriesMoveThereAndARefusalKeepsThem) {
  fake_trash_folder = dir.path() / "trash";
  fs::create_directory(fake_trash_folder);
  set_trash_function(fake_trash);
  EXPECT_TRUE(removals_go_to_trash());
  std::ofstream(record / "stuck.bmp") << "s";
  EXPECT_FALSE(remove_user_entry(record / "stuck.bmp"));
  EXPECT_TRUE(fs::exists(record / "stuck.bmp")) << "never removed for good behind the user's back";

  EXPECT_TRUE(remove_user_entry(record / "a.bmp"));
  EXPECT_TRUE(remove_user_entry(record));
  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(fs::exists(fake_trash_folder / "a.bmp"));
  EXPECT_TRUE(fs::exists(fake_trash_folder / "42" / "sub" / "locked"));
}

}  // namespace
}  // namespace scopemark
