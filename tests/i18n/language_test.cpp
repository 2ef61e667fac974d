#include "i18n/language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>

#include "i18n/code_page.h"
#include "i18n/default_tables.h"
#include "i18n/profile_file.h"
#include "i18n/temp_folder.h"
#include "i18n/ui_texts.h"

namespace scopemark {
namespace {

using testing::read_bytes;
using testing::ReadOnlyFolder;
using testing::TempFolder;
using testing::write_bytes;

std::string crlf_lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

const std::string kSettingsBlock = "[Setting]\r\nLanguage=Chinese\r\n";

const std::string kEnglishText = crlf_lines({"[Setting]",
                                             "Language=English",
                                             "",
                                             "[String]",
                                             "IDS_MENU_FILE=File",
                                             "IDS_MENU_FILE_NEW=&New",
                                             "IDS_MENU_FILE_OPEN=&Open",
                                             "IDS_MENU_FILE_CLOSE=&Close",
                                             "IDS_MENU_FILE_EXIT=&Exit",
                                             "",
                                             "",
                                             "IDS_MENU_EDIT=Language",
                                             "IDS_MENU_EDIT_C=Chinese",
                                             "IDS_MENU_EDIT_E=English",
                                             "IDS_MENU_EDIT_F=French",
                                             "IDS_MENU_EDIT_G=German",
                                             "IDS_MENU_EDIT_R=Russian",
                                             "IDS_MENU_EDIT_K=Korean",
                                             "IDS_MENU_EDIT_J=Japenese",
                                             "IDS_MENU_EDIT_S=Spanish",
                                             "",
                                             "IDS_MENU_EDIT_COPY=&Copy",
                                             "IDS_MENU_EDIT_PASTE=&Paste",
                                             "",
                                             "",
                                             "IDS_MENU_HELP=Help",
                                             "IDS_MENU_HELP_HELP=&Help",
                                             "IDS_MENU_HELP_ABOUT=&About",
                                             "",
                                             "",
                                             "IDD102_Title=Scopemark",
                                             "IDD102_2=Exit",
                                             "IDD102_1000=Language:",
                                             "IDD102_1006=About",
                                             "",
                                             "",
                                             ""});

const std::string kChineseTextUtf8 = crlf_lines({"[Setting]",
                                                 "Language=Chinese",
                                                 "",
                                                 "[String]",
                                                 "IDS_MENU_FILE=文件",
                                                 "IDS_MENU_FILE_EXIT=退出(&E)",
                                                 "",
                                                 "IDS_MENU_EDIT=语言",
                                                 "IDS_MENU_EDIT_C=中文",
                                                 "IDS_MENU_EDIT_E=英文",
                                                 "IDS_MENU_EDIT_F=法语",
                                                 "IDS_MENU_EDIT_G=德语",
                                                 "IDS_MENU_EDIT_R=俄语",
                                                 "IDS_MENU_EDIT_K=韩语",
                                                 "IDS_MENU_EDIT_J=日语",
                                                 "IDS_MENU_EDIT_S=西班牙语",
                                                 "",
                                                 "IDS_MENU_EDIT_COPY=复制(&C)",
                                                 "IDS_MENU_EDIT_PASTE=粘贴(&P)",
                                                 "",
                                                 "",
                                                 "IDS_MENU_HELP=帮助",
                                                 "IDS_MENU_HELP_HELP=帮助(&H)",
                                                 "IDS_MENU_HELP_ABOUT=关于(&A)",
                                                 "",
                                                 "",
                                                 "IDD102_Title=Scopemark",
                                                 "IDD102_2=退出",
                                                 "IDD102_1000=语言:",
                                                 "IDD102_1006=关于",
                                                 "",
                                                 "",
                                                 "",
                                                 ""});

TEST(DefaultTables, BlocksHoldTheListedLines) {
  EXPECT_EQ(default_table(kSettingsTable), kSettingsBlock);
  EXPECT_EQ(default_table(kEnglishTable), kEnglishText);
  ASSERT_TRUE(default_table(kChineseTable));
  EXPECT_EQ(cp936_to_utf8(*default_table(kChineseTable)), kChineseTextUtf8);
  EXPECT_EQ(default_table(kSettingsTable)->size(), 29u);
  EXPECT_EQ(default_table(kEnglishTable)->size(), 616u);
  EXPECT_EQ(default_table(kChineseTable)->size(), 524u);
  EXPECT_FALSE(default_table(152));
}

TEST(DefaultTables, ExtractWritesOrReplacesTheFile) {
  TempFolder folder;
  const std::string path = folder.file("out.ini");
  write_bytes(path, std::string(2000, 'x'));
  EXPECT_TRUE(extract_default_table(kChineseTable, path));
  EXPECT_EQ(read_bytes(path), *default_table(kChineseTable));
}

TEST(DefaultTables, UnknownBlockWritesNothingAndUnwritableTargetStillCounts) {
  TempFolder folder;
  EXPECT_FALSE(extract_default_table(150, folder.file("none.ini")));
  EXPECT_FALSE(std::filesystem::exists(folder.file("none.ini")));
  EXPECT_TRUE(extract_default_table(kSettingsTable, folder.file("missing/setting.ini")));
}

class SelectLanguageTest : public ::testing::Test {
 protected:
  std::string language_path(const std::string& file_name) const {
    return folder_.dir() + kLanguageFolder + "/" + file_name;
  }
  void add_language_file(const std::string& file_name, const std::string& bytes) const {
    std::filesystem::create_directories(folder_.dir() + kLanguageFolder);
    write_bytes(language_path(file_name), bytes);
  }
  LanguageSelection select(const std::string& name) const {
    return select_language(folder_.dir(), settings_, name);
  }
  std::string settings_bytes() const { return read_bytes(settings_); }

  TempFolder folder_;
  std::string settings_ = folder_.file("setting.ini");
};

TEST_F(SelectLanguageTest, FirstStartInstallsEveryFileAndUsesTheSettingsLanguage) {
  ASSERT_TRUE(extract_default_table(kSettingsTable, settings_));
  EXPECT_EQ(settings_bytes(), kSettingsBlock);

  const LanguageSelection selection = select("");
  EXPECT_EQ(selection.language_name, "Chinese");
  EXPECT_EQ(selection.language_file, language_path("Chinese.ini"));
  EXPECT_EQ(read_bytes(language_path("Multi_eng.ini")), kEnglishText);
  EXPECT_EQ(read_bytes(language_path("Multi_ch.ini")), *default_table(kChineseTable));
  for (const ShippedLanguage& language : kShippedLanguages) {
    EXPECT_EQ(read_bytes(language_path(language.file_name)), *default_table(language.table));
  }
  EXPECT_EQ(settings_bytes(), kSettingsBlock);
  EXPECT_EQ(select("").language_file, language_path("Chinese.ini")) << "second start";
}

TEST_F(SelectLanguageTest, InstalledFilesAreKeptAsTheUserLeftThem) {
  const std::string edited = "[Setting]\r\nLanguage=German\r\n[String]\r\nIDS_HUE=Ton\r\n";
  add_language_file("German.ini", edited);
  add_language_file("Multi_ch.ini", "[Setting]\r\nLanguage=Custom\r\n");
  EXPECT_EQ(select("German").language_file, language_path("German.ini"));
  EXPECT_EQ(read_bytes(language_path("German.ini")), edited);
  EXPECT_EQ(read_bytes(language_path("Multi_ch.ini")), "[Setting]\r\nLanguage=Custom\r\n");
  EXPECT_EQ(read_bytes(language_path("Korean.ini")), *default_table(165));
}

TEST_F(SelectLanguageTest, InstallWritesOnlyMissingFiles) {
  TempFolder other;
  const std::string path = other.file("x.ini");
  EXPECT_TRUE(install_default_table(kSettingsTable, path));
  EXPECT_EQ(read_bytes(path), kSettingsBlock);
  write_bytes(path, "mine");
  EXPECT_FALSE(install_default_table(kEnglishTable, path));
  EXPECT_EQ(read_bytes(path), "mine");
  EXPECT_FALSE(install_default_table(150, other.file("none.ini")));
  EXPECT_FALSE(std::filesystem::exists(other.file("none.ini")));
}

TEST_F(SelectLanguageTest, SettingsWithoutTheKeyMeanEnglish) {
  write_bytes(settings_, "[Setting]\r\nColour=1\r\n");
  add_language_file("en.ini", "[Setting]\r\nLanguage=English\r\n");
  const LanguageSelection selection = select("");
  EXPECT_EQ(selection.language_name, "English");
  EXPECT_EQ(selection.language_file, language_path("en.ini"));
  EXPECT_EQ(settings_bytes(), "[Setting]\r\nColour=1\r\nLanguage=English\r\n");
}

TEST_F(SelectLanguageTest, NameWithoutAFileFallsBackToTheShippedEnglish) {
  add_language_file("kl.ini", "[Setting]\r\nLanguage=klingon\r\n");
  const LanguageSelection selection = select("Klingon");
  EXPECT_EQ(selection.language_name, "Klingon") << "letter case matters";
  EXPECT_EQ(selection.language_file, language_path("English.ini"));
  EXPECT_EQ(settings_bytes(), "[Setting]\r\nLanguage=English\r\n");
}

TEST_F(SelectLanguageTest, FallbackOverwritesEditedDefaultTables) {
  add_language_file("Multi_eng.ini", "[Setting]\r\nLanguage=Custom\r\n");
  select("Klingon");
  EXPECT_EQ(read_bytes(language_path("Multi_eng.ini")), kEnglishText);
}

TEST_F(SelectLanguageTest, ShippedLanguagesServeBuiltInWhereTheFolderCannotBeWritten) {
  write_bytes(folder_.file(kLanguageFolder), "a file where the folder belongs");
  LanguageSelection selection = select("German");
  EXPECT_EQ(selection.language_file, language_path("German.ini"));
  EXPECT_EQ(UiTexts(selection.language_file).text("IDS_MENU_FILE"), "Datei");
  EXPECT_EQ(settings_bytes(), "[Setting]\r\nLanguage=German\r\n");
  selection = select("Klingon");
  EXPECT_EQ(selection.language_file, language_path("English.ini"));
  EXPECT_EQ(settings_bytes(), "[Setting]\r\nLanguage=English\r\n");
}

TEST_F(SelectLanguageTest, ReadOnlyFolderOfAnOldInstallShowsTheShippedTexts) {
  add_language_file(kEnglishFileName, std::string(*default_table(kEnglishTable)));
  add_language_file(kChineseFileName, std::string(*default_table(kChineseTable)));
  const ReadOnlyFolder read_only(folder_.dir() + kLanguageFolder);
  if (!read_only.holds()) GTEST_SKIP() << "this file system lets the folder be written";

  const LanguageSelection selection = select("English");
  EXPECT_FALSE(std::filesystem::exists(language_path("English.ini")));
  EXPECT_EQ(selection.language_file, language_path("English.ini")) << "not Multi_eng.ini";
  const UiTexts texts(selection.language_file);
  EXPECT_EQ(texts.text("IDS_MENU_EDIT"), "Edit");
  EXPECT_EQ(texts.text("IDS_MENU_LANGUAGE"), "Language");
  EXPECT_EQ(UiTexts(select("Japanese").language_file).text("IDS_MENU_HELP"), "ヘルプ");
  EXPECT_EQ(fill_language_combo(folder_.dir(), settings_).entries.size(), 10u);
}

TEST_F(SelectLanguageTest, FirstMatchInNameOrderWinsAndOnlyIniFilesCount) {
  add_language_file("b.ini", "[Setting]\r\nLanguage=German\r\n");
  add_language_file("A.INI", "[Setting]\r\nLanguage=German\r\n");
  add_language_file("c.txt", "[Setting]\r\nLanguage=Klingon\r\n");
  std::filesystem::create_directories(language_path("dir.ini"));
  EXPECT_EQ(select("German").language_file, language_path("A.INI"));
  EXPECT_EQ(select("Klingon").language_file, language_path("English.ini"));
  EXPECT_EQ(select("English").language_file, language_path("English.ini"))
      << "before the embedded Multi_eng.ini";
}

TEST_F(SelectLanguageTest, FileWithoutANameNeverMatchesAnEmptySetting) {
  write_bytes(settings_, "[Setting]\r\nLanguage=\r\n");
  add_language_file("blank.ini", "[String]\r\n");
  const LanguageSelection selection = select("");
  EXPECT_EQ(selection.language_name, "");
  EXPECT_EQ(selection.language_file, language_path("English.ini"));
  EXPECT_EQ(settings_bytes(), "[Setting]\r\nLanguage=English\r\n");
}

TEST_F(SelectLanguageTest, ComboListsNamesSortedAndSelectsByPrefix) {
  write_bytes(settings_, "[Setting]\r\nLanguage=eng\r\n");
  add_language_file("1.ini", "[Setting]\r\nLanguage=German\r\n");
  add_language_file("2.ini", "[Setting]\r\nLanguage=English\r\n");
  add_language_file("3.ini", "[Setting]\r\nLanguage=chinese\r\n");
  add_language_file("4.ini", "[String]\r\n");
  add_language_file("5.ini", "[Setting]\r\nLanguage=" + std::string(150, 'z') + "\r\n");
  const LanguageCombo combo = fill_language_combo(folder_.dir(), settings_);
  // With the ten built-in files, written or not.
  const std::vector<std::string> expected{
      "chinese", "Chinese", "Chinese",  "English", "English", "English", "French",
      "German",  "German",  "Japanese", "Korean",  "Russian", "Spanish", std::string(99, 'z')};
  EXPECT_EQ(combo.entries, expected);
  EXPECT_EQ(combo.selected, 3);
}

TEST_F(SelectLanguageTest, ComboWithoutAMatchSelectsNothing) {
  write_bytes(settings_, "[Setting]\r\nLanguage=Klingon\r\n");
  EXPECT_EQ(fill_language_combo(folder_.dir(), settings_).selected, -1);
}

}  // namespace
}  // namespace scopemark
