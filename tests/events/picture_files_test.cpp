#include "events/picture_files.h"

#include <gtest/gtest.h>

#include <string>

#include "server_harness.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::write_file;

TEST(PictureName, AcceptsPlainNames) {
  EXPECT_TRUE(is_safe_picture_name("20261207213045"));
  EXPECT_TRUE(is_safe_picture_name("a"));
  EXPECT_TRUE(is_safe_picture_name("pic.1"));
  EXPECT_TRUE(is_safe_picture_name("\xd5\xd5\xc6\xac"));  // code page 936 text
}

TEST(PictureName, RefusesNamesThatLeaveTheFolderOrHideCharacters) {
  EXPECT_FALSE(is_safe_picture_name(""));
  EXPECT_FALSE(is_safe_picture_name(".."));
  EXPECT_FALSE(is_safe_picture_name("a..b"));
  EXPECT_FALSE(is_safe_picture_name("../etc"));
  EXPECT_FALSE(is_safe_picture_name("/etc/passwd"));
  EXPECT_FALSE(is_safe_picture_name("a\\b"));
  EXPECT_FALSE(is_safe_picture_name("tab\there"));
  EXPECT_FALSE(is_safe_picture_name("line\n"));
  EXPECT_FALSE(is_safe_picture_name("del\x7f"));
}

TEST(DeleteFile, RemovesFilesAndLinksButNeverFolders) {
  TempFolder folder;
  const fs::path file = folder.path() / "a.bmp";
  const fs::path sub = folder.path() / "sub.bmp";
  write_file(file, "x");
  fs::create_directory(sub);
  EXPECT_TRUE(delete_file(file));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(delete_file(sub));
  EXPECT_TRUE(fs::is_directory(sub));
  EXPECT_FALSE(delete_file(folder.path() / "missing.bmp"));
}

TEST(DeleteAllPictures, EmptiesFoldersAndSubfoldersButKeepsThem) {
  TempFolder folder;
  const fs::path sub = folder.path() / "sub";
  const fs::path deeper = sub / "deeper";
  fs::create_directories(deeper);
  write_file(folder.path() / "1.bmp", "1");
  write_file(folder.path() / "notes.txt", "2");
  write_file(sub / "2.bmp", "3");
  write_file(deeper / "3.jpg", "4");

  delete_all_pictures(folder.path());

  EXPECT_TRUE(fs::is_directory(sub));
  EXPECT_TRUE(fs::is_directory(deeper));
  EXPECT_TRUE(fs::is_empty(deeper));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(sub), {}), 1);
}

TEST(DeleteAllPictures, NeverFollowsLinksOutOfTheFolder) {
  TempFolder record;
  TempFolder outside;
  write_file(outside.path() / "keep.bmp", "k");
  write_file(outside.path() / "target.bmp", "t");
  fs::create_directory_symlink(outside.path(), record.path() / "linked");
  fs::create_symlink(outside.path() / "target.bmp", record.path() / "link.bmp");

  delete_all_pictures(record.path());

  EXPECT_TRUE(fs::is_empty(record.path()));
  EXPECT_TRUE(fs::exists(outside.path() / "keep.bmp"));
  EXPECT_TRUE(fs::exists(outside.path() / "target.bmp"));
}

TEST(DeleteAllPictures, HandlesPathsLongerThan200Characters) {
  TempFolder folder;
  fs::path deep = folder.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  fs::create_directories(deep);
  const fs::path file = deep / "20261207213045.bmp";
  write_file(file, "x");
  ASSERT_GT(file.string().size(), 300u);

  delete_all_pictures(folder.path());

  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(fs::is_directory(deep));
}

TEST(DeleteAllPictures, MissingFolderIsHarmless) {
  TempFolder folder;
  delete_all_pictures(folder.path() / "absent");
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

}  // namespace
}  // namespace scopemark
