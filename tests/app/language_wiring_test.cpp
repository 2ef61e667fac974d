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

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/about_box.h"
#include "app/app_folders.h"
#include "app/viewer_app.h"
#include "controls/dialog_units.h"
#include "i18n/captions.h"
#include "i18n/default_tables.h"
#include "i18n/profile_file.h"
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

// The slider labels and the Auto, Set and Get buttons.
QList<QWidget*> fitted_controls(const MainDialog& window) {
  QList<QWidget*> controls;
  for (QLabel* label : window.client_area()->findChildren<QLabel*>()) {
    if (control_id(label) == -1) controls << label;
  }
  for (int id : {MainDialog::kAutoButton, MainDialog::kSetButton, MainDialog::kGetButton}) {
    controls << window.control(id);
  }
  return controls;
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

// Every text of the window that a language sets, with its key.
std::vector<std::pair<std::string, QString>> keyed_window_texts(const MainDialog& window) {
  std::vector<std::pair<std::string, QString>> texts;
  for (const MenuLabel& label : kMenuLabels) {
    const int value = label.item.value;
    texts.emplace_back(label.key, label.item.by == MenuItemAddress::By::position
                                      ? window.top_menu(value)->title()
                                      : window.menu_command(value)->text());
  }
  texts.emplace_back("IDD102_Title", window.windowTitle());
  for (int id : {MainDialog::kAutoButton, MainDialog::kSetButton, MainDialog::kGetButton}) {
    texts.emplace_back("IDD102_" + std::to_string(id),
                       static_cast<QPushButton*>(window.control(id))->text());
  }
  QList<QLabel*> sliders;
  for (QLabel* label : window.client_area()->findChildren<QLabel*>()) {
    if (control_id(label) == -1) sliders << label;
  }
  const char* slider_keys[] = {"IDS_BRIGHTNESS", "IDS_CONTRAST", "IDS_SATURATION", "IDS_HUE"};
  for (int i = 0; i < 4 && i < sliders.size(); ++i)
    texts.emplace_back(slider_keys[i], sliders[i]->text());
  const std::pair<int, const char*> tooltips[] = {{1004, "IDS_TIP_SNAP"},
                                                  {1005, "IDS_TIP_DELETE"},
                                                  {1006, "IDS_TIP_COMPARE"},
                                                  {1039, "IDS_TIP_COMPARE"},
                                                  {1007, "IDS_TIP_FULLSCREEN"}};
  for (const auto& [id, key] : tooltips) texts.emplace_back(key, window.control(id)->toolTip());
  texts.emplace_back("IDS_TAB_PICTURE",
                     static_cast<QTabBar*>(window.control(MainDialog::kTab))->tabText(0));
  return texts;
}

// Whether a text is written in the language's own script; any text for a Latin one.
bool in_script_of(const std::string& language, const QString& text) {
  auto any = [&text](char32_t first, char32_t last) {
    const QList<uint> points = text.toUcs4();
    return std::any_of(points.begin(), points.end(),
                       [=](uint c) { return c >= first && c <= last; });
  };
  const bool han = any(0x4E00, 0x9FFF);
  if (language == "Chinese") return han;
  if (language == "Japanese") return han || any(0x3040, 0x30FF);
  if (language == "Korean") return any(0xAC00, 0xD7A3);
  if (language == "Russian") return any(0x0400, 0x04FF);
  return true;
}

// The window in a shipped language: every text is that language's shipped text, none is
// empty or "Not found", non-Latin texts are in their script, and the four menus fit the bar.
void expect_window_in(const MainDialog& window, const ShippedLanguage& language) {
  const ProfileSection shipped(utf8_profile(*default_table(language.table)), "String");
  const ProfileSection english(std::string(*default_table(161)), "String");
  int translated = 0;
  for (const auto& [key, text] : keyed_window_texts(window)) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(text.isEmpty() || text == "Not found");
    EXPECT_EQ(text.toStdString(), shipped.find(key, 1000).value_or(""));
    if (text.toStdString() != english.find(key, 1000)) {
      ++translated;
      EXPECT_TRUE(in_script_of(language.name, text)) << text.toStdString();
    }
  }
  if (std::string(language.name) != "English") {
    EXPECT_GT(translated, 20);
  }

  const QMenuBar* bar = window.menu_bar();
  const auto* overflow = bar->findChild<QWidget*>("qt_menubar_ext_button");
  EXPECT_TRUE(overflow == nullptr || !overflow->isVisible()) << "no overflow button";
  for (QAction* item : bar->actions()) {
    const QRect place = bar->actionGeometry(item);
    EXPECT_TRUE(!place.isEmpty() && bar->rect().contains(place))
        << item->text().toStdString() << " fits the menu bar";
  }
  for (QWidget* control : fitted_controls(window)) {
    const QString text = control->property("text").toString();
    EXPECT_LE(control->fontMetrics().horizontalAdvance(text), control->width())
        << text.toStdString() << " fits its control";
  }
}

class EveryLanguage : public LanguageWiringTest,
                      public ::testing::WithParamInterface<ShippedLanguage> {};

TEST_P(EveryLanguage, FromTheMenuAndAfterARestart) {
  const ShippedLanguage& language = GetParam();
  write_settings(language.name == std::string("English") ? "Chinese" : "English");
  open();
  dialog->show();
  const QSize client_size = dialog->client_area()->size();
  const auto command =
      std::find_if(kLanguageCommands.begin(), kLanguageCommands.end(),
                   [&](const LanguageCommand& c) { return c.name == std::string(language.name); });
  dialog->menu_command(command->command_id)->trigger();
  expect_window_in(*dialog, language);
  EXPECT_EQ(dialog->client_area()->size(), client_size);
  EXPECT_EQ(settings_language(), "[Setting]\r\nLanguage=" + std::string(language.name) + "\r\n");
  EXPECT_TRUE(boxes.shown.empty());
  // Messages and the About box follow too.
  const UiTexts texts(app.language_file());
  emit session->message("bind error", "Error");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, texts.text("IDS_MSG_BIND_ERROR"));
  EXPECT_EQ(boxes.shown[0].caption, texts.text("IDS_CAPTION_ERROR"));
  EXPECT_EQ(AboutBox().windowTitle().toStdString(), texts.text("IDS_ABOUT_TITLE"));

  dialog.reset();
  session.reset();
  ViewerApp restarted;
  restarted.prepare_settings(dir.program_directory());
  ViewerSession restarted_session(camera.options());
  MainDialog restarted_window;
  connect_window(restarted_window, restarted_session, restarted);
  restarted_window.show();
  EXPECT_EQ(restarted.language_name(), language.name);
  expect_window_in(restarted_window, language);
}

INSTANTIATE_TEST_SUITE_P(ShippedLanguages, EveryLanguage, ::testing::ValuesIn(kShippedLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

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
