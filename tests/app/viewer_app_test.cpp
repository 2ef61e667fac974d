#include "app/viewer_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "i18n/default_tables.h"
#include "link/adapters.h"
#include "records/record_dialog.h"
#include "records/temp_folder.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string table(int number) {
  return std::string(*default_table(number));
}

// A program folder with the given settings and one language file naming `language`; returns
// the application after its settings step.
ViewerApp prepare_with(const testing::TempFolder& dir, const std::string& settings,
                       const char* file_name, const char* language) {
  write_file(dir.path() / "setting.ini", settings);
  fs::create_directory(dir.path() / "Language");
  write_file(dir.path() / "Language" / file_name,
             std::string("[Setting]\r\nLanguage=") + language + "\r\n");
  ViewerApp app;
  app.prepare_settings(dir.program_directory());
  return app;
}

TEST(StartUpSettings, FirstStartInAnEmptyFolder) {
  testing::TempFolder dir;
  const fs::path settings = dir.path() / "setting.ini";
  EXPECT_TRUE(ensure_settings_file(settings.string()));
  EXPECT_EQ(read_file(settings), "[Setting]\r\nLanguage=Chinese\r\n");
  EXPECT_EQ(read_file(settings).size(), 29u);
  EXPECT_FALSE(ensure_settings_file(settings.string())) << "an existing file is kept";
  fs::remove(settings);

  ViewerApp app;
  app.prepare_settings(dir.program_directory());
  EXPECT_EQ(app.program_directory(), dir.program_directory());
  EXPECT_EQ(app.settings_path(), dir.program_directory() + "setting.ini");
  EXPECT_EQ(read_file(dir.path() / "Language" / "Multi_eng.ini"), table(kEnglishTable));
  EXPECT_EQ(read_file(dir.path() / "Language" / "Multi_ch.ini"), table(kChineseTable));
  EXPECT_EQ(table(kEnglishTable).size(), 616u);
  EXPECT_EQ(table(kChineseTable).size(), 524u);
  EXPECT_EQ(app.language_file(), dir.program_directory() + "Language/Chinese.ini");
  EXPECT_EQ(app.language_name(), "Chinese");
  EXPECT_EQ(read_file(settings), "[Setting]\r\nLanguage=Chinese\r\n");

  ViewerApp second_run;
  second_run.prepare_settings(dir.program_directory());
  EXPECT_EQ(second_run.language_name(), "Chinese");
  EXPECT_EQ(second_run.language_file(), app.language_file());
}

TEST(StartUpSettings, SettingsWithoutTheKeyMeanEnglish) {
  testing::TempFolder dir;
  const ViewerApp app = prepare_with(dir, "[Setting]\r\nOther=1\r\n", "en.ini", "English");
  EXPECT_EQ(app.language_name(), "English");
  EXPECT_EQ(app.language_file(), dir.program_directory() + "Language/en.ini");
}

TEST(StartUpSettings, UnreadableSettingsOrAMissingLanguageGiveDefaultsAndSaySo) {
  testing::MessageBoxRecorder boxes;
  testing::TempFolder unreadable;
  fs::create_directory(unreadable.path() / "setting.ini");
  ViewerApp app;
  app.prepare_settings(unreadable.program_directory());
  EXPECT_EQ(app.language_name(), "English");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "The settings file " + app.settings_path() +
                " could not be read; the viewer starts with its default settings.");

  testing::TempFolder dir;
  prepare_with(dir, "[Setting]\r\nLanguage=Klingon\r\n", "en.ini", "English");
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].text, "The Klingon language file is missing.");
  EXPECT_EQ(boxes.shown[1].caption, "Sorry");
  prepare_with(dir, read_file(dir.path() / "setting.ini"), "en.ini", "English");
  EXPECT_EQ(boxes.shown.size(), 2u) << "the settings now name the language in use";
}

TEST(StartUpSettings, AMatchingTableIsUsedAndOnlyMissingTablesAreWritten) {
  testing::TempFolder dir;
  const ViewerApp app = prepare_with(dir, "[Setting]\r\nLanguage=German\r\n", "de.ini", "German");
  EXPECT_EQ(app.language_name(), "German");
  EXPECT_EQ(app.language_file(), dir.program_directory() + "Language/de.ini");
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir.path() / "Language")) {
    files.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(files.size(), 11u) << "de.ini, the two embedded tables and the eight shipped files";
  EXPECT_EQ(read_file(dir.path() / "Language" / "de.ini"), "[Setting]\r\nLanguage=German\r\n");
  EXPECT_EQ(read_file(dir.path() / "setting.ini"), "[Setting]\r\nLanguage=German\r\n");
}

// Notes the adapter search of the main window's start-up, finds none and closes the window.
class NotingAdapters final : public AdapterSource {
 public:
  explicit NotingAdapters(bool& asked) : asked_(asked) {}
  std::optional<std::vector<AdapterInfo>> adapters() const override {
    asked_ = true;
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    return std::vector<AdapterInfo>{};
  }

 private:
  bool& asked_;
};

// Runs the whole start-up and notes whether the main window started.
class ViewerAppRun : public ::testing::Test {
 protected:
  int run(CommandLine options) {
    if (!options.program_dir) options.program_dir = dir.path().string();
    SessionOptions session;
    session.adapters = std::make_shared<NotingAdapters>(main_window_started);
    session.link_hooks.log = [](std::string_view) {};
    return app.run(options, std::move(session));
  }
  // Does `action` with the record dialog once it is shown.
  static void with_record_dialog(std::function<void(RecordDialog&)> action) {
    QTimer::singleShot(0, [action] {
      auto* dialog = qobject_cast<RecordDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      action(*dialog);
    });
  }

  testing::TempFolder dir;
  testing::MessageBoxRecorder boxes;
  ViewerApp app;
  bool main_window_started = false;
};

TEST_F(ViewerAppRun, CancelInTheRecordDialogEndsBeforeTheMainWindow) {
  with_record_dialog([](RecordDialog& dialog) {
    EXPECT_EQ(static_cast<QLineEdit*>(dialog.control(RecordDialog::kIdEdit))->text(), "10000");
    dialog.close();
  });
  EXPECT_EQ(run({}), 0);
  EXPECT_FALSE(main_window_started);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(app.record_id().empty());
  EXPECT_TRUE(fs::exists(dir.path() / "setting.ini"));
}

TEST_F(ViewerAppRun, AddThenEnterOpensTheMainWindowWithNoDevice) {
  with_record_dialog([](RecordDialog& dialog) {
    static_cast<QLineEdit*>(dialog.control(RecordDialog::kIdEdit))->setText("42");
    static_cast<QPushButton*>(dialog.control(RecordDialog::kAdd))->click();
    static_cast<QPushButton*>(dialog.control(RecordDialog::kEnter))->click();
  });
  EXPECT_EQ(run({}), 0);
  EXPECT_TRUE(main_window_started);
  EXPECT_EQ(app.record_id(), "42");
  EXPECT_EQ(app.record_folder(), dir.program_directory() + "42");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "未找到设备");
}

TEST_F(ViewerAppRun, RecordOnTheCommandLineIsCreatedWithoutTheDialog) {
  CommandLine options;
  options.record = "0815";
  EXPECT_EQ(run(options), 0);
  EXPECT_TRUE(main_window_started);
  EXPECT_TRUE(fs::is_directory(dir.path() / "0815"));
  EXPECT_EQ(app.record_id(), "0815");
  EXPECT_EQ(app.record_folder(), dir.program_directory() + "0815");
}

TEST_F(ViewerAppRun, RefusedRecordOrProgramFolderEndsAtOnceWithTheReasonOnStandardError) {
  CommandLine options;
  options.record = "12a";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run(options), 2);
  EXPECT_NE(
      ::testing::internal::GetCapturedStderr().find("--record 12a: a record number is 1 to 19"),
      std::string::npos);
  EXPECT_FALSE(main_window_started);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_FALSE(fs::exists(dir.path() / "12a"));

  write_file(dir.path() / "7", "a file in the record's way");
  options.record = "7";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run(options), 2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("File exists"), std::string::npos);

  options.record.reset();
  options.program_dir = (dir.path() / "7" / "sub").string();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run(options), 2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Not a directory"), std::string::npos);
  EXPECT_FALSE(main_window_started);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ViewerAppRun, MissingProgramFolderIsCreatedWithItsParents) {
  CommandLine options;
  options.program_dir = (dir.path() / "a" / "b").string();
  options.record = "5";
  EXPECT_EQ(run(options), 0);
  EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "b" / "5"));
  EXPECT_TRUE(fs::exists(dir.path() / "a" / "b" / "setting.ini"));
}

TEST(CommandLineOptions, Parsing) {
  CommandLine options = parse_command_line({"--program-dir", "/opt/x", "--record", "7"});
  EXPECT_TRUE(options.error.empty());
  EXPECT_EQ(options.program_dir, "/opt/x");
  EXPECT_EQ(options.record, "7");
  EXPECT_FALSE(options.help);

  EXPECT_TRUE(parse_command_line({"--help"}).help);
  EXPECT_TRUE(parse_command_line({"--version"}).version);
  EXPECT_FALSE(parse_command_line({"--record"}).error.empty());
  EXPECT_FALSE(parse_command_line({"--program-dir", ""}).error.empty());
  EXPECT_FALSE(parse_command_line({"--bogus"}).error.empty());
  EXPECT_EQ(parse_command_line({"--record", "abc"}).error,
            "--record abc: a record number is 1 to 19 digits (0-9)");
  EXPECT_FALSE(parse_command_line({"--record", std::string(20, '1')}).error.empty());
  EXPECT_TRUE(parse_command_line({}).error.empty());
}

TEST(CommandLineOptions, ProgramDirectoriesEndWithASeparator) {
  EXPECT_EQ(as_program_directory("/opt/scope"), "/opt/scope/");
  EXPECT_EQ(as_program_directory("/opt/scope/"), "/opt/scope/");
  EXPECT_EQ(as_program_directory("/opt/a/../scope"), "/opt/scope/");
  EXPECT_EQ(as_program_directory("rel"), (fs::current_path() / "rel").string() + "/");
}

}  // namespace
}  // namespace scopemark
