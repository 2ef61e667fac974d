#include "records/record_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "records/temp_folder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& path, const char* text = "x") {
  std::ofstream(path) << text;
}

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
  EXPECT_FALSE(
      is_valid_record_id(std::string("1\0"
                                     "2",
                                     3)));
  EXPECT_FALSE(is_valid_record_id(std::string(max_record_id_length + 1, '1')));
}

TEST(PictureName, AcceptsPlainNamesAndRefusesThoseThatLeaveTheFolderOrHideCharacters) {
  for (const char* name :
       {"20261207213045", "a", "pic.1", "\xd5\xd5\xc6\xac" /* code page 936 */}) {
    EXPECT_TRUE(is_safe_picture_name(name)) << name;
  }
  for (const char* name :
       {"", "..", "a..b", "../etc", "/etc/passwd", "a\\b", "tab\there", "line\n", "del\x7f"}) {
    EXPECT_FALSE(is_safe_picture_name(name)) << name;
  }
}

TEST(RecordFolder, CreateFindAndPathRules) {
  testing::TempFolder dir;
  const RecordFolder record = RecordFolder::of_record(dir.program_directory(), "42");
  EXPECT_EQ(record.path(), dir.program_directory() + "42");

  EXPECT_FALSE(record.exists());
  EXPECT_TRUE(record.create());
  EXPECT_TRUE(record.exists());
  write_file(record.path() / "a.bmp");
  EXPECT_TRUE(record.create()) << "an existing record is kept";
  EXPECT_TRUE(fs::exists(record.path() / "a.bmp"));

  EXPECT_FALSE(RecordFolder::of_record(dir.program_directory(), "1/2").create())
      << "only one level is created";
  EXPECT_FALSE(RecordFolder().exists());
  EXPECT_FALSE(RecordFolder().create());
}

TEST(RecordFolder, AFileOrDanglingLinkCountsAsAnExistingRecord) {
  testing::TempFolder dir;
  write_file(dir.path() / "7");
  EXPECT_TRUE(RecordFolder::of_record(dir.program_directory(), "7").exists());
  fs::create_symlink(dir.path() / "missing", dir.path() / "8");
  EXPECT_TRUE(RecordFolder::of_record(dir.program_directory(), "8").exists());
}

TEST(RecordFolder, PicturesAreRegularBmpFilesSortedWithoutRegardToCase) {
  testing::TempFolder dir;
  const RecordFolder record(dir.path());
  for (const char* name : {"b.bmp", "A.BMP", "c.Bmp", "notes.txt", "bmp", "x.bmpx"}) {
    write_file(dir.path() / name);
  }
  fs::create_directory(dir.path() / "folder.bmp");
  EXPECT_EQ(record.pictures(), (std::vector<fs::path>{dir.path() / "A.BMP", dir.path() / "b.bmp",
                                                      dir.path() / "c.Bmp"}));
  EXPECT_TRUE(RecordFolder(dir.path() / "absent").pictures().empty());
}

TEST(RecordFolder, SnapshotsAreNamedByTimeAndReceivedPicturesByTheirName) {
  const RecordFolder record("/opt/scope/10000");
  EXPECT_EQ(record.snapshot_path({2024, 3, 2, 9, 5, 3}), "/opt/scope/10000/20240302_090503.bmp");
  EXPECT_EQ(record.snapshot_path({2024, 12, 31, 23, 59, 59}),
            "/opt/scope/10000/20241231_235959.bmp");
  EXPECT_EQ(record.received_picture_path("20261207221500"), "/opt/scope/10000/20261207221500.bmp");
}

TEST(DeletePicture, RemovesFilesAndLinksButNeverFolders) {
  testing::TempFolder dir;
  const RecordFolder record(dir.path());
  const fs::path file = dir.path() / "a.bmp";
  const fs::path sub = dir.path() / "sub.bmp";
  write_file(file);
  fs::create_directory(sub);
  fs::create_symlink(sub, dir.path() / "link.bmp");
  EXPECT_TRUE(record.delete_picture(file));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(record.delete_picture(dir.path() / "link.bmp"));
  EXPECT_FALSE(record.delete_picture(sub));
  EXPECT_TRUE(fs::is_directory(sub));
  EXPECT_FALSE(record.delete_picture(dir.path() / "missing.bmp"));
}

TEST(DeleteAllPictures, EmptiesFoldersAndSubfoldersButKeepsThem) {
  testing::TempFolder dir;
  const fs::path sub = dir.path() / "sub";
  const fs::path deeper = sub / "deeper";
  fs::create_directories(deeper);
  write_file(dir.path() / "1.bmp");
  write_file(dir.path() / "notes.txt");
  write_file(sub / "2.bmp");
  write_file(deeper / "3.jpg");

  RecordFolder(dir.path()).delete_all_pictures();

  EXPECT_TRUE(fs::is_empty(deeper));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(sub), {}), 1);
  RecordFolder(dir.path() / "absent").delete_all_pictures();
}

TEST(DeleteAllPictures, NeverFollowsLinksOutOfTheFolderAndHandlesLongPaths) {
  testing::TempFolder record;
  testing::TempFolder outside;
  write_file(outside.path() / "keep.bmp");
  write_file(outside.path() / "target.bmp");
  fs::create_directory_symlink(outside.path(), record.path() / "linked");
  fs::create_symlink(outside.path() / "target.bmp", record.path() / "link.bmp");
  fs::path deep = record.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  fs::create_directories(deep);
  write_file(deep / "20261207213045.bmp");

  RecordFolder(record.path()).delete_all_pictures();

  EXPECT_TRUE(fs::is_empty(deep));
  EXPECT_EQ(std::distance(fs::directory_iterator(record.path()), {}), 1);
  EXPECT_TRUE(fs::exists(outside.path() / "keep.bmp"));
  EXPECT_TRUE(fs::exists(outside.path() / "target.bmp"));
}

TEST(RemoveRecord, RemovesPicturesSubfoldersAndReadOnlyEntries) {
  testing::TempFolder dir;
  const fs::path record = dir.path() / "42";
  fs::create_directories(record / "sub" / "deeper");
  write_file(record / "20240101_120000.bmp");
  write_file(record / "sub" / "locked.txt");
  write_file(record / "sub" / "deeper" / "more.bmp");
  fs::permissions(record / "sub" / "locked.txt", fs::perms::owner_read);
  fs::permissions(record / "sub" / "deeper", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(record / "sub", fs::perms::owner_read | fs::perms::owner_exec);

  EXPECT_TRUE(RecordFolder(record).remove());

  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(fs::exists(dir.path())) << "the program folder stays";
}

TEST(RemoveRecord, NeverLeavesItsFolderOrActsOnAnEmptyPath) {
  testing::TempFolder dir;
  const fs::path outside = dir.path() / "outside";
  fs::create_directories(outside);
  write_file(outside / "keep.bmp");
  const fs::path record = dir.path() / "42";
  fs::create_directories(record);
  fs::create_directory_symlink(outside, record / "link");
  write_file(dir.path() / "setting.ini");

  EXPECT_TRUE(RecordFolder(record).remove());
  EXPECT_FALSE(fs::exists(record));
  EXPECT_TRUE(fs::exists(outside / "keep.bmp")) << "a link inside the record is not followed";

  fs::create_directory_symlink(outside, dir.path() / "43");
  EXPECT_TRUE(RecordFolder(dir.path() / "43").remove());
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "43")));
  EXPECT_TRUE(fs::exists(outside / "keep.bmp")) << "a record that is a link loses only the link";

  EXPECT_FALSE(RecordFolder().remove());
  EXPECT_FALSE(RecordFolder(dir.path() / "setting.ini").remove()) << "a file is no folder";
  EXPECT_TRUE(RecordFolder(dir.path() / "missing").remove()) << "nothing left to delete";
  EXPECT_TRUE(fs::exists(dir.path() / "setting.ini"));
  EXPECT_TRUE(fs::exists(outside / "keep.bmp"));
}

}  // namespace
}  // namespace scopemark
