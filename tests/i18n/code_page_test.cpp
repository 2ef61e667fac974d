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

}  // namespace
}  // namespace scopemark
