#include "i18n/captions.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "i18n/code_page.h"
#include "i18n/default_tables.h"
#include "i18n/temp_folder.h"

namespace scopemark {
namespace {

using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;
using By = MenuItemAddress::By;

// Control ids of the main window as a window enumerates them.
const std::vector<int> kMainControls{2, 1000, 1004, 1006, -1};

class CaptionsTest : public ::testing::Test {
 protected:
  std::string language_file(const std::string& bytes) const {
    const std::string path = folder_.file("lang.ini");
    write_bytes(path, bytes);
    return path;
  }
  std::string table_file(int table_number) const {
    return language_file(std::string(*default_table(table_number)));
  }

  TempFolder folder_;
};

TEST_F(CaptionsTest, LoadStringFallsBackToNotFound) {
  const std::string file = language_file("[String]\r\nIDS_A=Alpha\r\n[Other]\r\nIDS_B=Beta\r\n");
  EXPECT_EQ(load_string(file, "ids_a"), "Alpha");
  EXPECT_EQ(load_string(file, "IDS_B"), "Not found");
  EXPECT_EQ(load_string(folder_.file("missing.ini"), "IDS_A"), "Not found");
}

TEST_F(CaptionsTest, BackslashNBecomesALineFeed) {
  const std::string file =
      language_file("[String]\r\nTWO=first\\nsecond\r\nEDGE=\\n\\\\n\\\r\nWIDE=\x90\x5Cn\r\n");
  EXPECT_EQ(load_string(file, "TWO"), "first\nsecond");
  EXPECT_EQ(load_string(file, "EDGE"), "\n\\\n\\");
  // 0x5C is the second byte of a two-byte character here, not a backslash.
  EXPECT_EQ(load_string(file, "WIDE"), "\x90\x5Cn");
}

TEST_F(CaptionsTest, EnglishTableLeavesMostMenuItemsNotFound) {
  const std::vector<MenuText> texts = menu_texts(table_file(kEnglishTable));
  ASSERT_EQ(texts.size(), 16u);
  std::vector<std::string> top_level(4);
  for (const MenuText& text : texts) {
    if (text.item.by == By::position) {
      top_level.at(text.item.value) = text.text;
    } else {
      EXPECT_EQ(text.text, "Not found") << text.item.value;
    }
  }
  EXPECT_EQ(top_level, (std::vector<std::string>{"File", "Language", "Not found", "Help"}));
}

TEST_F(CaptionsTest, MenuTextsFollowTheTableOrderAndAddresses) {
  const std::string file = language_file(
      "[String]\r\nIDS_MENU_EXIT=Quit\r\nIDS_LANGUAGE_J=Nihongo\r\nIDS_HELP_ABOUT=Info\\nmore\r\n");
  const std::vector<MenuText> texts = menu_texts(file);
  ASSERT_EQ(texts.size(), kMenuLabels.size());
  EXPECT_EQ(texts[1].item, (MenuItemAddress{By::command, 32789}));
  EXPECT_EQ(texts[1].text, "Quit");
  EXPECT_EQ(texts[12].item, (MenuItemAddress{By::command, 32808}));
  EXPECT_EQ(texts[12].text, "Nihongo");
  EXPECT_EQ(texts[15].item, (MenuItemAddress{By::command, 32792}));
  EXPECT_EQ(texts[15].text, "Info\nmore");
}

TEST_F(CaptionsTest, MainWindowTitleIsScopemarkWithEitherTable) {
  for (const int table : {kEnglishTable, kChineseTable}) {
    EXPECT_EQ(dialog_captions(table_file(table), kMainDialogTemplate, {}).title, "Scopemark");
  }
}

TEST_F(CaptionsTest, ControlTextsByIdAndEmptyForMissingKeys) {
  const DialogCaptions english =
      dialog_captions(table_file(kEnglishTable), kMainDialogTemplate, kMainControls);
  EXPECT_EQ(english.control_texts,
            (std::vector<std::string>{"Exit", "Language:", "", "About", ""}));
  const DialogCaptions chinese =
      dialog_captions(table_file(kChineseTable), kMainDialogTemplate, kMainControls);
  EXPECT_EQ(cp936_to_utf8(chinese.control_texts[0]), "退出");
  EXPECT_EQ(cp936_to_utf8(chinese.control_texts[1]), "语言:");
}

TEST_F(CaptionsTest, ControlWithoutIdUsesMinusOne) {
  const std::string file =
      language_file("[String]\r\nIDD158_Title=Records\r\nIDD158_-1=Static\r\nIDD102_-1=Other\r\n");
  const DialogCaptions captions = dialog_captions(file, 158, {-1, 1});
  EXPECT_EQ(captions.title, "Records");
  EXPECT_EQ(captions.control_texts, (std::vector<std::string>{"Static", ""}));
  EXPECT_EQ(dialog_captions(file, 102, {}).title, "");
}

TEST(ButtonTooltipsTable, HoldsEightLanguagesInCodePage936) {
  struct Expected {
    const char* name;
    std::array<const char*, 5> texts;
  };
  const Expected rows[] = {
      {"English", {"Snap", "Delete", "Compare", "FullScreen", "Picture"}},
      {"Chinese", {"拍照", "删除", "对比", "全屏", "图片"}},
      {"German", {"Foto", "Delete", "Im Vergleich", "Vollbildansicht", "Bild"}},
      {"French", {"Capture d 'écran", "Vidéo", "Comparaison", "Plein écran", "Photo"}},
      {"Russian", {"снимок ", "Удалить", "контраст", "полный экран ", "картина"}},
      {"Korean", {"Snap", "Delete", "Compare", "FullScreen", "Picture"}},
      {"Japanese", {"抓图", "削除", "コントラスト", "フルスクリーン", "画像"}},
      {"Spanish", {"Captura de pantalla", "Borrar", "Contraste", "Pantalla completa", "Fotos"}},
  };
  for (const Expected& row : rows) {
    const std::optional<ButtonTooltips> tips = find_button_tooltips(row.name);
    ASSERT_TRUE(tips) << row.name;
    const std::array<std::string_view, 5> got{tips->snapshot, tips->remove, tips->compare,
                                              tips->full_screen, tips->tab};
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(cp936_to_utf8(got[i]), row.texts[i]) << row.name << " " << i;
    }
  }
}

TEST(ButtonTooltipsTable, OtherNamesHaveNone) {
  EXPECT_FALSE(find_button_tooltips("english"));
  EXPECT_FALSE(find_button_tooltips("Japenese"));
  EXPECT_FALSE(find_button_tooltips(""));
}

TEST(LanguageCommands, MenuSaysJapeneseButTheNameIsJapanese) {
  EXPECT_EQ(language_for_command(32808), "Japanese");
  EXPECT_EQ(language_for_command(32801), "Chinese");
  EXPECT_EQ(language_for_command(32810), "Spanish");
  EXPECT_FALSE(language_for_command(32807));
  EXPECT_FALSE(language_for_command(32811));
  EXPECT_STREQ(kLanguageCommands[6].menu_text, "Japenese");
}

class ChangeLanguageTest : public ::testing::Test {
 protected:
  std::string language_path(const std::string& file_name) const {
    return folder_.dir() + kLanguageFolder + "/" + file_name;
  }

  TempFolder folder_;
  std::string settings_ = folder_.file("setting.ini");
};

TEST_F(ChangeLanguageTest, FrenchWithoutAFrenchFileShowsEnglishWithFrenchTooltips) {
  std::filesystem::create_directories(folder_.dir() + kLanguageFolder);
  write_bytes(language_path("Multi_eng.ini"), "[Setting]\r\nLanguage=Old\r\n");
  write_bytes(settings_, "[Setting]\r\nLanguage=Chinese\r\n");

  const LanguageChange change = change_language(folder_.dir(), settings_, "French", kMainControls);
  EXPECT_EQ(read_bytes(language_path("Multi_eng.ini")), *default_table(kEnglishTable));
  EXPECT_EQ(read_bytes(language_path("Multi_ch.ini")), *default_table(kChineseTable));
  EXPECT_EQ(read_bytes(settings_), "[Setting]\r\nLanguage=English\r\n");
  EXPECT_EQ(change.selection.language_name, "French");
  EXPECT_EQ(change.texts.menu.at(0).text, "File");
  EXPECT_EQ(change.texts.captions.title, "Scopemark");
  EXPECT_EQ(change.texts.captions.control_texts.at(0), "Exit");
  ASSERT_TRUE(change.texts.tooltips);
  EXPECT_EQ(change.texts.tooltips->tab, "Photo");
}

TEST_F(ChangeLanguageTest, ChineseFileGivesChineseTexts) {
  std::filesystem::create_directories(folder_.dir() + kLanguageFolder);
  extract_default_table(kChineseTable, language_path("zh.ini"));
  const LanguageChange change = change_language(folder_.dir(), settings_, "Chinese", kMainControls);
  EXPECT_EQ(change.selection.language_file, language_path("zh.ini"));
  EXPECT_EQ(cp936_to_utf8(change.texts.menu.at(0).text), "文件");
  EXPECT_EQ(cp936_to_utf8(change.texts.tooltips->snapshot), "拍照");
  EXPECT_EQ(read_bytes(settings_), "[Setting]\r\nLanguage=Chinese\r\n");
}

TEST_F(ChangeLanguageTest, FirstRunKeepsChineseTooltipsWithEnglishTexts) {
  extract_default_table(kSettingsTable, settings_);
  const LanguageSelection selection = select_language(folder_.dir(), settings_, "");
  const WindowTexts texts =
      window_texts(selection.language_file, kMainControls, selection.language_name);
  EXPECT_EQ(selection.language_name, "Chinese");
  EXPECT_EQ(texts.menu.at(2).text, "Language");
  ASSERT_TRUE(texts.tooltips);
  EXPECT_EQ(cp936_to_utf8(texts.tooltips->full_screen), "全屏");
}

TEST_F(ChangeLanguageTest, UnknownLanguageLeavesTooltipsAlone) {
  const LanguageChange change = change_language(folder_.dir(), settings_, "Klingon", {});
  EXPECT_FALSE(change.texts.tooltips);
  EXPECT_EQ(change.selection.language_file, language_path("Multi_eng.ini"));
}

}  // namespace
}  // namespace scopemark
