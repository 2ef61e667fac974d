#include "records/desktop_trash.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <filesystem>
#include <fstream>

#include "records/temp_folder.h"
#include "records/user_removal.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

// The desktop trash of a home inside a temporary folder.
TEST(DesktopTrash, RemovedPicturesAndRecordsLandInTheUsersTrash) {
  testing::TempFolder home;
  const QByteArray old_home = qgetenv("HOME");
  const QByteArray old_data = qgetenv("XDG_DATA_HOME");
  qputenv("HOME", QByteArray::fromStdString(home.path().string()));
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString((home.path() / "data").string()));
  const TrashFunction previous = set_trash_function(nullptr);
  install_desktop_trash();

  const fs::path record = home.path() / "Pictures" / "42";
  fs::create_directories(record);
  std::ofstream(record / "a.bmp") << "picture";
  EXPECT_TRUE(removals_go_to_trash());
  EXPECT_TRUE(remove_user_entry(record / "a.bmp"));
  EXPECT_TRUE(remove_user_entry(record));
  const fs::path files = home.path() / "data" / "Trash" / "files";
  EXPECT_TRUE(fs::exists(files / "a.bmp"));
  EXPECT_TRUE(fs::is_directory(files / "42"));
  EXPECT_FALSE(fs::exists(record));

  set_trash_function(previous);
  qputenv("HOME", old_home);
  old_data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", old_data);
}

}  // namespace
}  // namespace scopemark
