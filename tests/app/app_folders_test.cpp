#include "app/app_folders.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/viewer_app.h"
#include "records/temp_folder.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

// A fresh home folder: HOME points at it and the XDG folder variables are unset, so the
// standard locations fall back to their defaults inside it. Restores the variables at the end.
class FakeHome : public ::testing::Test {
 protected:
  FakeHome() {
    for (std::size_t i = 0; i < std::size(kVariables); ++i) {
      if (const char* value = std::getenv(kVariables[i])) saved_[i] = value;
      unsetenv(kVariables[i]);
    }
    setenv("HOME", home.path().c_str(), 1);
  }
  ~FakeHome() override {
    for (std::size_t i = 0; i < std::size(kVariables); ++i) {
      saved_[i] ? setenv(kVariables[i], saved_[i]->c_str(), 1) : unsetenv(kVariables[i]);
    }
  }
  std::string in_home(const std::string& relative) const {
    return home.program_directory() + relative;
  }

  static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
  testing::TempFolder home;

 private:
  std::optional<std::string> saved_[std::size(kVariables)];
};

TEST_F(FakeHome, UserFoldersFollowTheDesktopConventions) {
  AppFolders folders = choose_app_folders(std::nullopt);
  EXPECT_EQ(folders.settings, in_home(".config/scopemark/"));
  EXPECT_EQ(folders.languages, in_home(".local/share/scopemark/"));
  EXPECT_EQ(folders.records, in_home("Pictures/Scopemark/"));

  // XDG variables and a pictures folder named in the user's folder list are respected.
  setenv("XDG_CONFIG_HOME", in_home("conf").c_str(), 1);
  setenv("XDG_DATA_HOME", in_home("data").c_str(), 1);
  fs::create_directories(in_home("conf"));
  std::ofstream(in_home("conf/user-dirs.dirs")) << "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
  folders = choose_app_folders(std::nullopt);
  EXPECT_EQ(folders.settings, in_home("conf/scopemark/"));
  EXPECT_EQ(folders.languages, in_home("data/scopemark/"));
  EXPECT_EQ(folders.records, in_home("Bilder/Scopemark/"));

  folders = choose_app_folders(in_home("portable/../one"));
  EXPECT_EQ(folders.settings, in_home("one/"));
  EXPECT_EQ(folders.languages, folders.settings);
  EXPECT_EQ(folders.records, folders.settings);
}

// The whole start-up without --program-dir: everything lands in the user's folders.
TEST_F(FakeHome, StartUpWritesIntoTheUserFolders) {
  CommandLine options;
  options.record = "7";
  testing::MessageBoxRecorder boxes;
  ViewerApp app;
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  ASSERT_EQ(app.run(options, testing::without_device()), 0);
  EXPECT_TRUE(fs::is_regular_file(in_home(".config/scopemark/setting.ini")));
  EXPECT_TRUE(fs::is_regular_file(in_home(".local/share/scopemark/Language/Multi_eng.ini")));
  EXPECT_TRUE(fs::is_directory(in_home("Pictures/Scopemark/7")));
  EXPECT_EQ(app.record_folder(), in_home("Pictures/Scopemark/7"));
}

TEST_F(FakeHome, AFolderThatCannotBeMadeIsReported) {
  std::ofstream(in_home("Pictures")) << "a file where the pictures folder would be";
  testing::MessageBoxRecorder boxes;
  ViewerApp app;
  CommandLine options;
  options.record = "7";
  EXPECT_EQ(app.run(options, {}), 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "Cannot create the folder " + in_home("Pictures/Scopemark/") + ": Not a directory");
}

}  // namespace
}  // namespace scopemark
