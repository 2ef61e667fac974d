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

#include "app/app_folders.h"
#include "app/viewer_app.h"
#include "controls/dialog_units.h"
#include "i18n/captions.h"
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
    return open_prepared();
  }
  MainDialog& open_prepared() {
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
  void expect_no_missing_menu_text() const {
    for (QAction* item : dialog->menu_bar()->actions()) EXPECT_FALSE(item->text().isEmpty());
    for (int id : kCommandItems) {
      EXPECT_NE(dialog->menu_command(id)->text(), "Not found") << id;
      EXPECT_FALSE(dialog->menu_command(id)->text().isEmpty()) << id;
    }
  }
  QStringList slider_texts() const {
    QStringList texts;
    for (QLabel* label : dialog->client_area()->findChildren<QLabel*>()) {
      if (control_id(label) == -1) texts << label->text();
    }
    return texts;
  }
  // The slider labels and the Auto, Set and Get buttons.
  QList<QWidget*> fitted_controls() const {
    QList<QWidget*> controls;
    for (QLabel* label : dialog->client_area()->findChildren<QLabel*>()) {
      if (control_id(label) == -1) controls << label;
    }
    for (int id : {MainDialog::kAutoButton, MainDialog::kSetButton, MainDialog::kGetButton}) {
      controls << dialog->control(id);
    }
    return controls;
  }
  QString button_text(int id) const {
    return static_cast<QPushButton*>(dialog->control(id))->text();
  }

  testing::MessageBoxRecorder boxes;
  testing::TempFolder dir;
  ViewerApp app;
  testing::QuietCamera camera;
  std::unique_ptr<ViewerSession> session;
  std::unique_ptr<MainDialog> dialog;
};

TEST_F(LanguageWiringTest, EnglishWindow) {
  write_settings("English");
  open();
  EXPECT_EQ(top_level_texts(), QStringList({"File", "Edit", "Language", "Help"}));
  expect_no_missing_menu_text();
  EXPECT_EQ(dialog->menu_command(MainDialog::kMenuExit)->text(), "Exit");
  EXPECT_EQ(dialog->windowTitle(), "Scopemark");
  EXPECT_EQ(button_text(MainDialog::kSetButton), "Set");
  EXPECT_EQ(tooltip(1004), "Snap");
  EXPECT_EQ(tooltip(1005), "Delete");
  EXPECT_EQ(tooltip(1006), "Compare");
  EXPECT_EQ(tooltip(1039), "Compare");
  EXPECT_EQ(tooltip(1007), "FullScreen");
  EXPECT_EQ(tabs(), QStringList{"Picture"});
  EXPECT_EQ(combo()->count(), 10) << "eight shipped files and the two embedded tables";
  EXPECT_EQ(combo()->currentText(), "English");
}

TEST_F(LanguageWiringTest, FirstRunIsChineseThroughout) {
  open();
  EXPECT_EQ(app.language_name(), "Chinese");
  EXPECT_EQ(top_level_texts(), QStringList({"文件", "编辑", "语言", "帮助"}));
  expect_no_missing_menu_text();
  EXPECT_EQ(button_text(MainDialog::kGetButton), "读取");
  EXPECT_EQ(tooltip(1004), "拍照");
  EXPECT_EQ(tooltip(1039), "对比");
  EXPECT_EQ(tabs(), QStringList{"图片"});
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=Chinese\r\n");
}

TEST_F(LanguageWiringTest, EveryLanguageFromTheMenuAndAfterARestart) {
  write_settings("English");
  open();
  dialog->show();
  const QSize client_size = dialog->client_area()->size();
  for (const LanguageCommand& command : kLanguageCommands) {
    SCOPED_TRACE(command.name);
    dialog->menu_command(command.command_id)->trigger();
    const UiTexts texts(app.language_file());
    EXPECT_EQ(texts.language(), command.name);
    EXPECT_EQ(dialog->top_menu(2)->title(),
              QString::fromStdString(texts.text("IDS_MENU_LANGUAGE")));
    expect_no_missing_menu_text();
    for (QAction* item : dialog->menu_bar()->actions()) {
      const QRect place = dialog->menu_bar()->actionGeometry(item);
      EXPECT_TRUE(!place.isEmpty() && dialog->menu_bar()->rect().contains(place))
          << item->text().toStdString() << " fits the menu bar";
    }
    EXPECT_EQ(dialog->client_area()->size(), client_size);
    EXPECT_EQ(button_text(MainDialog::kSetButton),
              QString::fromStdString(texts.text("IDD102_1037")));
    EXPECT_EQ(slider_texts().back(), QString::fromStdString(texts.text("IDS_HUE")));
    for (QWidget* control : fitted_controls()) {
      const QString text = control->property("text").toString();
      EXPECT_LE(control->fontMetrics().horizontalAdvance(text), control->width())
          << text.toStdString() << " fits its control";
    }
    EXPECT_EQ(tooltip(1005), QString::fromStdString(texts.text("IDS_TIP_DELETE")));
    EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=" + std::string(command.name) + "\r\n");
    ViewerApp restarted;
    restarted.prepare_settings(dir.program_directory());
    EXPECT_EQ(restarted.language_file(), app.language_file());
  }
  dialog->menu_command(MainDialog::kMenuKorean)->trigger();
  EXPECT_EQ(top_level_texts(), QStringList({"파일", "편집", "언어", "도움말"}));
  EXPECT_EQ(slider_texts(), QStringList({"밝기", "대비", "채도", "색조"}));
  EXPECT_EQ(tooltip(1006), "비교");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LanguageWiringTest, MissingFileKeepsTheLanguageAndSaysSoInIt) {
  write_settings("German");
  open();
  emit dialog->language_chosen("Italian");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Sprachdatei nicht gefunden: Italian.");
  EXPECT_EQ(boxes.shown[0].caption, "Hinweis");
  EXPECT_EQ(top_level_texts(), QStringList({"Datei", "Bearbeiten", "Sprache", "Hilfe"}));
  EXPECT_EQ(tooltip(1004), "Foto");
  EXPECT_EQ(app.language_name(), "German");
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=German\r\n");
}

TEST_F(LanguageWiringTest, LanguagesInAFolderOfTheirOwn) {
  const std::string data = dir.program_directory() + "data/";
  fs::create_directory(data);
  app.prepare_settings(AppFolders{dir.program_directory(), data, dir.program_directory()});
  open_prepared();
  dialog->menu_command(MainDialog::kMenuGerman)->trigger();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(dialog->top_menu(0)->title(), "Datei");
  EXPECT_EQ(app.language_file(), data + "Language/German.ini");
  EXPECT_FALSE(fs::exists(dir.path() / "Language"));
}

TEST_F(LanguageWiringTest, LanguageFileRules) {
  write_settings("Test");
  write_language_file("test.ini",
                      "[Setting]\r\nLanguage=Test\r\n[String]\r\nIDS_MENU_FILE=Two\\nLines\r\n"
                      "IDS_HELP_ABOUT=Info\r\nIDD102_1037=Send\r\nIDS_HUE=Tint\r\n");
  write_language_file("upper.ini",
                      "[Setting]\r\nLanguage=KOREAN\r\n[String]\r\nIDS_MENU_FILE=Upper\r\n");
  open();
  EXPECT_EQ(dialog->top_menu(0)->title(), "Two\nLines");
  EXPECT_EQ(dialog->menu_command(MainDialog::kMenuAbout)->text(), "Info");
  EXPECT_EQ(dialog->menu_command(MainDialog::kMenuExit)->text(), "Exit") << "not in the file";
  EXPECT_EQ(dialog->windowTitle(), "Scopemark");
  EXPECT_EQ(button_text(MainDialog::kSetButton), "Send");
  EXPECT_EQ(button_text(MainDialog::kGetButton), "Get");
  EXPECT_EQ(slider_texts(), QStringList({"Brightness", "Contrast", "Saturation", "Tint"}));

  dialog->menu_command(MainDialog::kMenuKorean)->trigger();
  EXPECT_EQ(dialog->top_menu(0)->title(), "파일") << "KOREAN is not Korean";
}

TEST_F(LanguageWiringTest, ComboChoiceShowsItsLanguage) {
  write_settings("English");
  // 中文 in code page 936, with texts of its own.
  write_language_file("zh.ini",
                      "[Setting]\r\nLanguage=\xD6\xD0\xCE\xC4\r\n[String]\r\n"
                      "IDS_MENU_HELP=\xB0\xEF\xD6\xFA\r\n");
  open();
  const int own = combo()->findText("中文");
  ASSERT_GE(own, 0);
  EXPECT_EQ(combo()->currentText(), "English");

  combo()->setCurrentIndex(own);
  emit combo()->activated(own);
  EXPECT_EQ(dialog->top_menu(3)->title(), "帮助");
  EXPECT_EQ(dialog->top_menu(0)->title(), "File") << "a name outside the shipped ones";
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=\xD6\xD0\xCE\xC4\r\n");

  const int chinese = combo()->findText("Chinese");
  combo()->setCurrentIndex(chinese);
  emit combo()->activated(chinese);
  EXPECT_EQ(dialog->top_menu(0)->title(), "文件");
  EXPECT_EQ(tooltip(1004), "拍照");
  EXPECT_EQ(app.language_name(), "Chinese");
}

}  // namespace
}  // namespace scopemark
