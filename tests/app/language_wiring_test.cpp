#include "app/language_wiring.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/viewer_app.h"
#include "i18n/default_tables.h"
#include "records/temp_folder.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

constexpr int kCommandItems[] = {32789, 32816, 32817, 32801, 32802, 32803,
                                 32804, 32805, 32806, 32808, 32810, 32792};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A program folder, the application after its settings step and the main window on a quiet
// camera.
class LanguageWiringTest : public ::testing::Test {
 protected:
  void write_settings(const std::string& language) {
    write_file(dir.path() / "setting.ini", "[Setting]\r\nLanguage=" + language + "\r\n");
  }
  void write_language_file(const std::string& file_name, const std::string& contents) {
    fs::create_directories(dir.path() / "Language");
    write_file(dir.path() / "Language" / file_name, contents);
  }
  MainDialog& open() {
    app.prepare_settings(dir.program_directory());
    session = std::make_unique<ViewerSession>(camera.options());
    dialog = std::make_unique<MainDialog>();
    connect_window(*dialog, *session, app);
    return *dialog;
  }
  std::string settings_language() const { return read_file(dir.path() / "setting.ini"); }

  QStringList top_level_texts() const {
    QStringList texts;
    for (QAction* item : dialog->menu_bar()->actions()) texts << item->text();
    return texts;
  }
  QString tooltip(int id) const { return dialog->control(id)->toolTip(); }
  QStringList tabs() const {
    auto* tab = static_cast<QTabBar*>(dialog->control(MainDialog::kTab));
    QStringList texts;
    for (int i = 0; i < tab->count(); ++i) texts << tab->tabText(i);
    return texts;
  }
  QComboBox* combo() const {
    return static_cast<QComboBox*>(dialog->control(MainDialog::kLanguageCombo));
  }
  void expect_english_texts() const {
    EXPECT_EQ(top_level_texts(), QStringList({"File", "Language", "Not found", "Help"}));
    for (int id : kCommandItems) EXPECT_EQ(dialog->menu_command(id)->text(), "Not found") << id;
    EXPECT_EQ(dialog->windowTitle(), "Scopemark");
  }

  testing::MessageBoxRecorder boxes;
  testing::TempFolder dir;
  ViewerApp app;
  testing::QuietCamera camera;
  std::unique_ptr<ViewerSession> session;
  std::unique_ptr<MainDialog> dialog;
};

TEST_F(LanguageWiringTest, EmbeddedTablesWithEnglish) {
  write_settings("English");
  open();
  expect_english_texts();
  EXPECT_EQ(static_cast<QPushButton*>(dialog->control(MainDialog::kSetButton))->text(), "Set")
      << "no key, text kept";
  EXPECT_EQ(tooltip(1004), "Snap");
  EXPECT_EQ(tooltip(1005), "Delete");
  EXPECT_EQ(tooltip(1006), "Compare");
  EXPECT_EQ(tooltip(1039), "Compare");
  EXPECT_EQ(tooltip(1007), "FullScreen");
  EXPECT_EQ(tabs(), QStringList{"Picture"});
  ASSERT_EQ(combo()->count(), 2);
  EXPECT_EQ(combo()->itemText(0), "Chinese");
  EXPECT_EQ(combo()->currentText(), "English");
}

TEST_F(LanguageWiringTest, FirstRunShowsEnglishTextsWithChineseTooltips) {
  open();
  EXPECT_EQ(app.language_name(), "Chinese");
  expect_english_texts();
  EXPECT_EQ(tooltip(1004), "拍照");
  EXPECT_EQ(tooltip(1039), "对比");
  EXPECT_EQ(tabs(), QStringList{"图片"});
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=English\r\n");
  EXPECT_EQ(combo()->currentText(), "English");
}

TEST_F(LanguageWiringTest, ChineseTableFromTheMenu) {
  write_settings("English");
  open();
  dialog->menu_command(MainDialog::kMenuChinese)->trigger();
  EXPECT_EQ(top_level_texts(), QStringList({"文件", "语言", "Not found", "帮助"}));
  EXPECT_EQ(dialog->windowTitle(), "Scopemark");
  EXPECT_EQ(static_cast<QPushButton*>(dialog->control(MainDialog::kCompareHidden))->text(), "关于");
  EXPECT_EQ(tooltip(1007), "全屏");
  EXPECT_EQ(tabs(), QStringList{"图片"}) << "the old tab is replaced, not added to";
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=Chinese\r\n");
  EXPECT_EQ(app.language_name(), "Chinese");
}

TEST_F(LanguageWiringTest, FrenchWithoutFileFallsBackButKeepsFrenchTooltips) {
  write_settings("English");
  open();
  const fs::path chinese = dir.path() / "Language" / "Multi_ch.ini";
  write_file(chinese, "[Setting]\r\nLanguage=Chinese\r\n");
  dialog->menu_command(MainDialog::kMenuFrench)->trigger();
  EXPECT_EQ(read_file(chinese), *default_table(kChineseTable)) << "tables written again";
  expect_english_texts();
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=English\r\n");
  EXPECT_EQ(app.language_name(), "French");
  EXPECT_EQ(tooltip(1004), "Capture d 'écran");
  EXPECT_EQ(tooltip(1005), "Vidéo");
  EXPECT_EQ(tooltip(1007), "Plein écran");
  EXPECT_EQ(tabs(), QStringList{"Photo"});
}

TEST_F(LanguageWiringTest, JapaneseCommandPassesJapanese) {
  write_settings("English");
  open();
  EXPECT_EQ(dialog->menu_command(MainDialog::kMenuJapanese)->text(), "Not found");
  dialog->menu_command(MainDialog::kMenuJapanese)->trigger();
  EXPECT_EQ(tooltip(1004), "抓图");
  EXPECT_EQ(tooltip(1006), "コントラスト");
  EXPECT_EQ(tooltip(1007), "フルスクリーン");
  EXPECT_EQ(tabs(), QStringList{"画像"});
}

TEST_F(LanguageWiringTest, LanguageFileRules) {
  write_settings("Test");
  write_language_file("test.ini",
                      "[Setting]\r\nLanguage=Test\r\n[String]\r\nIDS_MENU_FILE=Two\\nLines\r\n"
                      "IDS_HELP_ABOUT=About\r\nIDD102_1037=Send\r\nIDD102_-1=Label\r\n");
  write_language_file("upper.ini",
                      "[Setting]\r\nLanguage=FRENCH\r\n[String]\r\n"
                      "IDS_MENU_FILE=Fichier\r\nIDD102_Title=Visionneuse\r\n");
  open();
  EXPECT_EQ(dialog->top_menu(0)->title(), "Two\nLines");
  EXPECT_EQ(dialog->menu_command(MainDialog::kMenuAbout)->text(), "About");
  EXPECT_EQ(dialog->windowTitle(), "Vistrel") << "no title key: the template's title stays";
  EXPECT_EQ(static_cast<QPushButton*>(dialog->control(MainDialog::kSetButton))->text(), "Send");
  EXPECT_EQ(static_cast<QPushButton*>(dialog->control(MainDialog::kGetButton))->text(), "Get");
  int relabelled = 0;
  for (QLabel* label : dialog->client_area()->findChildren<QLabel*>()) {
    if (label->text() == "Label") ++relabelled;
  }
  EXPECT_EQ(relabelled, 4) << "the four slider labels have no id: key IDD102_-1";

  dialog->menu_command(MainDialog::kMenuFrench)->trigger();
  EXPECT_EQ(dialog->top_menu(0)->title(), "File") << "FRENCH is not French";
  EXPECT_EQ(dialog->windowTitle(), "Scopemark");
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=English\r\n");
}

TEST_F(LanguageWiringTest, ComboChangeRelabelsWithoutTooltips) {
  write_settings("English");
  // 中文 in code page 936, with texts of its own.
  write_language_file("zh.ini",
                      "[Setting]\r\nLanguage=\xD6\xD0\xCE\xC4\r\n[String]\r\n"
                      "IDS_MENU_HELP=\xB0\xEF\xD6\xFA\r\n");
  open();
  ASSERT_EQ(combo()->count(), 3) << "the tables were written for the unmatched name";
  EXPECT_EQ(combo()->itemText(2), "中文");
  EXPECT_EQ(combo()->currentText(), "English");
  EXPECT_EQ(tooltip(1004), "Snap");

  combo()->setCurrentIndex(2);
  emit combo()->activated(2);
  EXPECT_EQ(dialog->top_menu(3)->title(), "帮助");
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=\xD6\xD0\xCE\xC4\r\n");
  EXPECT_EQ(tooltip(1004), "Snap") << "the combo leaves the tooltips alone";

  combo()->setCurrentIndex(0);
  emit combo()->activated(0);
  EXPECT_EQ(dialog->top_menu(0)->title(), "文件");
  EXPECT_EQ(app.language_name(), "Chinese");
}

}  // namespace
}  // namespace scopemark
