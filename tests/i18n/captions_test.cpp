#include "i18n/captions.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "i18n/code_page.h"
#include "i18n/default_tables.h"
#include "i18n/profile_file.h"
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
  UiTexts texts(const std::string& bytes) const { return UiTexts(language_file(bytes)); }
  UiTexts table_texts(int table_number) const {
    return texts(std::string(*default_table(table_number)));
  }

  TempFolder folder_;
};

TEST_F(CaptionsTest, FileThenShippedTextsOfItsLanguageThenEnglish) {
  const UiTexts german = texts(
      "[Setting]\r\nLanguage=German\r\n[String]\r\nids_hue=Farbe\r\nIDS_CONTRAST=\r\n"
      "IDS_NEW=Neu\r\n[Other]\r\nIDS_BRIGHTNESS=x\r\n");
  EXPECT_EQ(german.language(), "German");
  EXPECT_EQ(german.text("IDS_HUE"), "Farbe");
  EXPECT_EQ(german.text("IDS_NEW"), "Neu");
  EXPECT_EQ(german.text("IDS_CONTRAST"), "Kontrast") << "an empty value counts as missing";
  EXPECT_EQ(german.text("IDS_BRIGHTNESS"), "Helligkeit");
  EXPECT_EQ(german.text("IDS_NONE"), "");

  const UiTexts unnamed = texts("[String]\r\nIDS_HUE=Tint\r\n");
  EXPECT_EQ(unnamed.text("IDS_HUE"), "Tint");
  EXPECT_EQ(unnamed.text("IDS_SATURATION"), "Saturation");
  EXPECT_EQ(UiTexts(folder_.file("missing.ini")).text("IDS_MENU_EXIT"), "Exit");
  EXPECT_EQ(UiTexts().text("IDS_MENU_EXIT"), "Exit");
}

TEST_F(CaptionsTest, CodePage936AndMarkedUtf8FilesGiveUtf8) {
  EXPECT_EQ(texts("[String]\r\nIDS_A=\xCE\xC4\xBC\xFE\r\n").text("IDS_A"), "文件");
  const UiTexts utf8 = texts(std::string(kUtf8Bom) + "[String]\r\n키=값\r\nIDS_B=Größe\r\n");
  EXPECT_EQ(utf8.text("키"), "값");
  EXPECT_EQ(utf8.text("IDS_B"), "Größe");
}

TEST_F(CaptionsTest, BackslashNBecomesALineFeed) {
  const UiTexts file =
      texts("[String]\r\nTWO=first\\nsecond\r\nEDGE=\\n\\\\n\\\r\nWIDE=\x90\x5Cn\r\n");
  EXPECT_EQ(file.text("TWO"), "first\nsecond");
  EXPECT_EQ(file.text("EDGE"), "\n\\\n\\");
  // 0x5C is the second byte of a two-byte character here, not a backslash.
  EXPECT_EQ(file.text("WIDE"), cp936_to_utf8("\x90\x5Cn"));
}

TEST_F(CaptionsTest, FormatPutsTheArgumentInPlaceOfPercentOne) {
  const UiTexts file = texts("[String]\r\nA=Datei %1 fehlt\r\nB=ohne\r\n");
  EXPECT_EQ(file.format("A", "de.ini"), "Datei de.ini fehlt");
  EXPECT_EQ(file.format("B", "x"), "ohne");
}

TEST_F(CaptionsTest, MenuKeysMissingFromTheFileKeepTheMenusOwnTexts) {
  // The embedded English table holds none of the command keys and names the Edit menu
  // "Language"; its own values still count.
  const std::vector<MenuText> texts = menu_texts(table_texts(kEnglishTable));
  ASSERT_EQ(texts.size(), 16u);
  std::vector<std::string> all;
  for (const MenuText& text : texts) all.push_back(text.text);
  EXPECT_EQ(
      all, (std::vector<std::string>{"File", "Exit", "Language", "FullScreen", "Capture",
                                     "Language", "Chinese", "English", "French", "German",
                                     "Russian", "Korean", "Japanese", "Spanish", "Help", "About"}));
  EXPECT_EQ(menu_texts(table_texts(kChineseTable)).at(1).text, "退出") << "shipped Chinese";
}

TEST_F(CaptionsTest, MenuTextsFollowTheTableOrderAndAddresses) {
  const std::vector<MenuText> texts =
      menu_texts(this->texts("[String]\r\nIDS_MENU_EXIT=Quit\r\nIDS_LANGUAGE_J=Nihongo\r\nIDS_HELP_"
                             "ABOUT=Info\\nmore\r\n"));
  ASSERT_EQ(texts.size(), kMenuLabels.size());
  EXPECT_EQ(texts[1].item, (MenuItemAddress{By::command, 32789}));
  EXPECT_EQ(texts[1].text, "Quit");
  EXPECT_EQ(texts[12].item, (MenuItemAddress{By::command, 32808}));
  EXPECT_EQ(texts[12].text, "Nihongo");
  EXPECT_EQ(texts[15].item, (MenuItemAddress{By::command, 32792}));
  EXPECT_EQ(texts[15].text, "Info\nmore");
}

TEST_F(CaptionsTest, ControlTextsByIdAndEmptyWhereNoFileHasTheKey) {
  for (const int table : {kEnglishTable, kChineseTable}) {
    EXPECT_EQ(dialog_captions(table_texts(table), kMainDialogTemplate, {}).title, "Scopemark");
  }
  const DialogCaptions english =
      dialog_captions(table_texts(kEnglishTable), kMainDialogTemplate, kMainControls);
  EXPECT_EQ(english.control_texts,
            (std::vector<std::string>{"Exit", "Language:", "", "About", ""}));
  const DialogCaptions chinese =
      dialog_captions(table_texts(kChineseTable), kMainDialogTemplate, {2, 1000, 1037});
  EXPECT_EQ(chinese.control_texts, (std::vector<std::string>{"退出", "语言:", "设置"}));

  const UiTexts file =
      texts("[String]\r\nIDD158_Title=Records\r\nIDD158_-1=Static\r\nIDD102_-1=Other\r\n");
  const DialogCaptions captions = dialog_captions(file, 158, {-1, 1});
  EXPECT_EQ(captions.title, "Records");
  EXPECT_EQ(captions.control_texts, (std::vector<std::string>{"Static", ""}));
  EXPECT_EQ(dialog_captions(file, 102, {}).title, "Scopemark");
}

TEST(LanguageCommands, MenuSaysJapeneseButTheNameIsJapanese) {
  EXPECT_EQ(language_for_command(32808), "Japanese");
  EXPECT_EQ(language_for_command(32801), "Chinese");
  EXPECT_EQ(language_for_command(32810), "Spanish");
  EXPECT_FALSE(language_for_command(32807));
  EXPECT_FALSE(language_for_command(32811));
  EXPECT_STREQ(kLanguageCommands[6].menu_text, "Japenese");
  EXPECT_EQ(language_display_name(UiTexts(), "Japanese"), "Japanese");
  EXPECT_EQ(language_display_name(UiTexts(), "Klingon"), "Klingon");
}

class ChangeLanguageTest : public ::testing::Test {
 protected:
  std::string language_path(const std::string& file_name) const {
    return folder_.dir() + kLanguageFolder + "/" + file_name;
  }
  UiTexts shipped(const char* name) const {
    return UiTexts(language_path(find_shipped_language(name)->file_name));
  }

  TempFolder folder_;
  std::string settings_ = folder_.file("setting.ini");
};

TEST_F(ChangeLanguageTest, ShippedLanguageIsSelectedAndRemembered) {
  write_bytes(settings_, "[Setting]\r\nLanguage=Chinese\r\n");
  const LanguageChange change = change_language(folder_.dir(), settings_, "French", UiTexts());
  ASSERT_TRUE(change.selection);
  EXPECT_EQ(change.selection->language_name, "French");
  EXPECT_EQ(change.selection->language_file, language_path("French.ini"));
  EXPECT_EQ(change.message, "");
  EXPECT_EQ(read_bytes(settings_), "[Setting]\r\nLanguage=French\r\n");
  const WindowTexts texts = window_texts(UiTexts(change.selection->language_file), {1037});
  EXPECT_EQ(texts.menu.at(0).text, "Fichier");
  EXPECT_EQ(texts.captions.control_texts, std::vector<std::string>{"Régler"});
  EXPECT_EQ(texts.tooltips.remove, "Supprimer");
  EXPECT_EQ(texts.slider_labels[0], "Luminosité");
}

TEST_F(ChangeLanguageTest, MissingFileKeepsTheLanguageAndSaysSoInIt) {
  write_bytes(settings_, "[Setting]\r\nLanguage=German\r\n");
  const LanguageChange change =
      change_language(folder_.dir(), settings_, "Klingon", shipped("German"));
  EXPECT_FALSE(change.selection);
  EXPECT_EQ(change.message, "Sprachdatei nicht gefunden: Klingon.");
  EXPECT_EQ(read_bytes(settings_), "[Setting]\r\nLanguage=German\r\n");
}

TEST_F(ChangeLanguageTest, ShippedFileThatCannotBePutBackServesBuiltIn) {
  install_language_files(folder_.dir());
  // A folder where the French file belongs.
  std::filesystem::remove(language_path("French.ini"));
  std::filesystem::create_directory(language_path("French.ini"));
  const LanguageChange change = change_language(folder_.dir(), settings_, "French", UiTexts());
  ASSERT_TRUE(change.selection);
  EXPECT_EQ(UiTexts(change.selection->language_file).text("IDS_MENU_FILE"), "Fichier");
  EXPECT_EQ(read_bytes(settings_), "[Setting]\r\nLanguage=French\r\n");
}

TEST_F(ChangeLanguageTest, DeletedShippedFileIsPutBack) {
  install_language_files(folder_.dir());
  std::filesystem::remove(language_path("Korean.ini"));
  const LanguageChange change = change_language(folder_.dir(), settings_, "Korean", UiTexts());
  ASSERT_TRUE(change.selection);
  EXPECT_EQ(read_bytes(language_path("Korean.ini")), *default_table(165));
}

}  // namespace
}  // namespace scopemark
