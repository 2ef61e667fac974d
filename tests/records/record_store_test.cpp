#include "records/record_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "records/temp_folder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& path, const char* text = "x") { std::ofstream(path) << text; }

TEST(RecordId, AcceptsDigitsOnlyUpToTheLimit) {
  EXPECT_TRUE(is_valid_record_id("10000"));
  EXPECT_TRUE(is_valid_record_id("0"));
  EXPECT_TRUE(is_valid_record_id("007"));
  EXPECT_TRUE(is_valid_record_id(std::string(max_record_id_length, '9')));

  EXPECT_FALSE(is_valid_record_id(""));
  EXPECT_FALSE(is_valid_record_id("12a"));
  EXPECT_FALSE(is_valid_record_id(" 12"));
  EXPECT_FALSE(is_valid_record_id("-1"));
  EXPECT_FALSE(is_valid_record_id("1.5"));
  EXPECT_FALSE(is_valid_record_id("../1"));
  EXPECT_FALSE(is_valid_record_id("\xef\xbc\x91"));  // full-width digit one
  EXPECT_FALSE(is_valid_record_id(std::string("1\0" "2", 3)));
  EXPECT_FALSE(is_valid_record_id(std::string(max_record_id_length + 1, '1')));
}

TEST(RecordFolder, CreateFindAndPathRules) {
  testing::TempFolder dir;
  const std::string path = record_path(dir.program_directory(), "42");
  EXPECT_EQ(path, dir.program_directory() + "42");

  EXPECT_FALSE(record_exists(path));
  EXPECT_TRUE(create_record(path));
  EXPECT_TRUE(record_exists(path));
  write_file(fs::path(path) / "a.bmp");
  EXPECT_TRUE(create_record(path)) << "an existing record is kept";
  EXPECT_TRUE(fs::exists(fs::path(path) / "a.bmp"));

  EXPECT_FALSE(create_record(record_path(dir.program_directory(), "1/2")))
      << "only one level is created";
  EXPECT_FALSE(record_exists(""));
  EXPECT_FALSE(create_record(""));
}

TEST(RecordFolder, AFileOrDanglingLinkCountsAsAnExistingRecord) {
  testing::TempFolder dir;
  write_file(dir.path() / "7");
  EXPECT_TRUE(record_exists(record_path(dir.program_directory(), "7")));
  fs::create_symlink(dir.path() / "missing", dir.path() / "8");
  EXPECT_TRUE(record_exists(record_path(dir.program_directory(), "8")));
}

TEST(DeleteFolderTree, RemovesPicturesSubfoldersAndReadOnlyEntries) {
  testing::TempFolder dir;
  const fs::path record = dir.path() / "42";
  fs::create_directories(record / "sub" / "deeper");
  write_file(record / "20240101_120000.bmp");
  write_file(record / "sub" / "locked.txt");
  write_file(record / "sub" / "deeper" / "more.bmp");
  fs::permissions(record / "sub" / "locked.txt", fs::perms::owner_read);
  fs::permissions(record / "sub" / "deeper", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(record / "sub", fs::perms::owner_read | fs::perms::owner_exec);

  EXPECT_TRUE(delete_folder_tree(record.string()));

  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(fs::exists(dir.path())) << "the program folder stays";
}

TEST(DeleteFolderTree, NeverLeavesItsFolderOrActsOnAnEmptyPath) {
  testing::TempFolder dir;
  const fs::path outside = dir.path() / "outside";
  fs::create_directories(outside);
  write_file(outside / "keep.bmp");
  const fs::path record = dir.path() / "42";
  fs::create_directories(record);
  fs::create_directory_symlink(outside, record / "link");
  write_file(dir.path() / "setting.ini");

  EXPECT_TRUE(delete_folder_tree(record.string()));
  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(fs::exists(outside / "keep.bmp")) << "a link inside the record is not followed";

  fs::create_directory_symlink(outside, dir.path() / "43");
  EXPECT_TRUE(delete_folder_tree((dir.path() / "43").string()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "43")));
  EXPECT_TRUE(fs::exists(outside / "keep.bmp")) << "a record that is a link loses only the link";

  EXPECT_FALSE(delete_folder_tree(""));
  EXPECT_FALSE(delete_folder_tree((dir.path() / "setting.ini").string())) << "a file is no folder";
  EXPECT_TRUE(delete_folder_tree((dir.path() / "missing").string())) << "nothing left to delete";
  EXPECT_TRUE(fs::exists(dir.path() / "setting.ini"));
  EXPECT_TRUE(fs::exists(outside / "keep.bmp"));
}

}  // namespace
}  // namespace scopemark
