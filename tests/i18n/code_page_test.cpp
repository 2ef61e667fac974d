#include "i18n/code_page.h"

#include <gtest/gtest.h>

namespace scopemark {
namespace {

TEST(CodePage, ConvertsTwoByteCharactersToUtf8) {
  EXPECT_EQ(cp936_to_utf8("\xD6\xD0\xCE\xC4 ok"), "中文 ok");
  EXPECT_EQ(cp936_to_utf8("Capture d '\xA8\xA6"
                          "cran"),
            "Capture d 'écran");
  EXPECT_EQ(cp936_to_utf8("\x80"), "€");
  EXPECT_EQ(cp936_to_utf8(""), "");
}

TEST(CodePage, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(cp936_to_utf8("a\xFF"
                          "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(cp936_to_utf8("a\xD6"), "a\xEF\xBF\xBD");
}

TEST(CodePage, LongTextsConvertCompletely) {
  std::string text;
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    text += "\xD6\xD0";
    expected += "中";
  }
  EXPECT_EQ(cp936_to_utf8(text), expected);
}

TEST(CodePage, FindSkipsSecondBytes) {
  EXPECT_EQ(cp936_find("\x81\x5D]", ']'), 2u);
  EXPECT_EQ(cp936_find("\x81\x5D", ']'), std::string_view::npos);
  EXPECT_EQ(cp936_find("a]b]", ']', 2), 3u);
}

TEST(CodePage, PrefixKeepsWholeCharacters) {
  EXPECT_EQ(cp936_prefix("a\xD6\xD0", 2), "a");
  EXPECT_EQ(cp936_prefix("a\xD6\xD0", 3), "a\xD6\xD0");
  EXPECT_EQ(cp936_prefix("abc", 0), "");
}

TEST(CodePage, CaseFoldingOnlyTouchesAsciiLetters) {
  EXPECT_TRUE(cp936_equal_nocase("Language", "LANGUAGE"));
  EXPECT_FALSE(cp936_equal_nocase("\xA9\x61", "\xA9\x41"));
  EXPECT_TRUE(cp936_equal_nocase("\xA9\x61x", "\xA9\x61X"));
  EXPECT_FALSE(cp936_equal_nocase("ab", "abc"));
}

}  // namespace
}  // namespace scopemark
