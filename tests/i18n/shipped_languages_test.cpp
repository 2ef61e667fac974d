#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "i18n/captions.h"
#include "i18n/code_page.h"
#include "i18n/default_tables.h"
#include "i18n/profile_file.h"
#include "i18n/temp_folder.h"

namespace scopemark {
namespace {

using testing::TempFolder;

std::u32string code_points(std::string_view utf8) {
  std::u32string result;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int i = 1; i < length && pos + i < utf8.size(); ++i) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[pos + i]) & 0x3F);
    }
    result += c;
    pos += length;
  }
  return result;
}

bool has_any(std::string_view text, std::function<bool(char32_t)> in_script) {
  const std::u32string points = code_points(text);
  return std::any_of(points.begin(), points.end(), in_script);
}

bool is_han(char32_t c) {
  return c >= 0x4E00 && c <= 0x9FFF;
}
bool is_kana(char32_t c) {
  return c >= 0x3040 && c <= 0x30FF;
}
bool is_hangul(char32_t c) {
  return c >= 0xAC00 && c <= 0xD7A3;
}
bool is_cyrillic(char32_t c) {
  return c >= 0x0400 && c <= 0x04FF;
}

// The [String] keys of a table, in their order.
std::vector<std::string> string_keys(std::string_view table) {
  std::vector<std::string> keys;
  bool in_strings = false;
  for (std::size_t begin = 0; begin < table.size();) {
    const std::size_t end = table.find("\r\n", begin);
    const std::string_view line = table.substr(begin, end - begin);
    if (line.starts_with("[")) in_strings = line == "[String]";
    if (in_strings && line.find('=') != std::string_view::npos) {
      keys.emplace_back(line.substr(0, line.find('=')));
    }
    begin = end == std::string_view::npos ? table.size() : end + 2;
  }
  return keys;
}

TEST(ShippedLanguages, EveryFileHasEveryKeyInItsEncoding) {
  const std::string_view english = *default_table(find_shipped_language("English")->table);
  const std::vector<std::string> keys = string_keys(english);
  EXPECT_GE(keys.size(), 60u);
  for (const ShippedLanguage& language : kShippedLanguages) {
    SCOPED_TRACE(language.name);
    const std::optional<std::string_view> table = default_table(language.table);
    ASSERT_TRUE(table);
    const std::string_view name = language.name;
    // Code page 936 holds neither Hangul nor the accented letters of the other languages.
    const bool marked = name != "English" && name != "Chinese";
    EXPECT_EQ(is_utf8_profile(*table), marked);
    const std::string utf8 = utf8_profile(*table);
    EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos) << "a byte that does not convert";
    EXPECT_EQ(string_keys(*table), keys);
    EXPECT_EQ(profile_find_string(*table, kSettingSection, kLanguageKey, "", 100), name);
  }
}

// What a window switched to each language shows.
class ShippedLanguagesInAFolder : public ::testing::Test {
 protected:
  void SetUp() override { install_language_files(folder_.dir()); }
  UiTexts texts(const char* name) const {
    const std::optional<std::string> file = find_language_file(folder_.dir(), name);
    EXPECT_TRUE(file) << name;
    return UiTexts(file.value_or(""));
  }
  // Menu items, control captions, tooltips and slider labels.
  std::vector<std::string> window_strings(const char* name) const {
    const WindowTexts window = window_texts(texts(name), {1003, 1037, 1038});
    std::vector<std::string> all;
    for (const MenuText& item : window.menu) all.push_back(item.text);
    all.insert(all.end(), window.captions.control_texts.begin(),
               window.captions.control_texts.end());
    const ButtonTooltips& tips = window.tooltips;
    all.insert(all.end(), {tips.snapshot, tips.remove, tips.compare, tips.full_screen, tips.tab});
    all.insert(all.end(), window.slider_labels.begin(), window.slider_labels.end());
    return all;
  }

  TempFolder folder_;
};

TEST_F(ShippedLanguagesInAFolder, EveryWindowTextIsInItsLanguage) {
  const std::vector<std::string> english = window_strings("English");
  struct Script {
    const char* name;
    std::function<bool(char32_t)> letters;  // every text has one; none for Latin scripts
  };
  const Script scripts[] = {
      {"Chinese", is_han},   {"Japanese", [](char32_t c) { return is_han(c) || is_kana(c); }},
      {"Korean", is_hangul}, {"Russian", is_cyrillic},
      {"French", nullptr},   {"German", nullptr},
      {"Spanish", nullptr},
  };
  for (const Script& script : scripts) {
    SCOPED_TRACE(script.name);
    const std::vector<std::string> texts = window_strings(script.name);
    ASSERT_EQ(texts.size(), english.size());
    std::size_t translated = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      EXPECT_FALSE(texts[i].empty()) << i;
      EXPECT_NE(texts[i], "Not found") << i;
      if (script.letters) {
        EXPECT_TRUE(has_any(texts[i], script.letters)) << texts[i];
      }
      if (texts[i] != english[i]) ++translated;
    }
    EXPECT_GE(translated, texts.size() - 3) << "Auto and the like may stay";
  }
  std::string japanese;
  for (const std::string& text : window_strings("Japanese")) japanese += text;
  EXPECT_TRUE(has_any(japanese, is_kana));
}

TEST_F(ShippedLanguagesInAFolder, TooltipsOfTheOldTableAreMended) {
  EXPECT_EQ(button_tooltips(texts("French")).snapshot, "Capture d'écran");
  EXPECT_EQ(button_tooltips(texts("French")).remove, "Supprimer");
  EXPECT_EQ(button_tooltips(texts("Japanese")).snapshot, "撮影");
  EXPECT_EQ(button_tooltips(texts("Japanese")).compare, "比較");
  EXPECT_EQ(button_tooltips(texts("Spanish")).compare, "Comparar");
  EXPECT_EQ(button_tooltips(texts("Russian")).compare, "Сравнить");
  EXPECT_EQ(button_tooltips(texts("Russian")).snapshot, "Снимок");
  EXPECT_EQ(button_tooltips(texts("German")).remove, "Löschen");
  EXPECT_EQ(button_tooltips(texts("German")).compare, "Vergleichen");
  EXPECT_EQ(button_tooltips(texts("Korean")).remove, "삭제");
}

}  // namespace
}  // namespace scopemark
