#include "i18n/ui_texts.h"

#include "i18n/default_tables.h"
#include "i18n/language.h"
#include "i18n/profile_file.h"

namespace scopemark {

namespace {

constexpr std::string_view kArgument = "%1";

std::string shipped_profile(std::string_view language_name) {
  const ShippedLanguage* language = find_shipped_language(language_name);
  if (!language) return {};
  return utf8_profile(default_table(language->table).value_or(std::string_view()));
}

std::string replace_line_feed_escapes(std::string_view value) {
  std::string text;
  for (std::size_t pos = 0; pos < value.size(); ++pos) {
    if (value[pos] == '\\' && pos + 1 < value.size() && value[pos + 1] == 'n') {
      text += '\n';
      ++pos;
    } else {
      text += value[pos];
    }
  }
  return text;
}

}  // namespace

UiTexts::UiTexts() : sources_{shipped_profile(kDefaultLanguage)} {}

UiTexts::UiTexts(const std::string& language_file) {
  std::string file = read_utf8_profile(language_file);
  language_ = profile_find_string(file, kSettingSection, kLanguageKey, "", kProfileBufferSize);
  sources_.push_back(std::move(file));
  if (language_ != kDefaultLanguage) sources_.push_back(shipped_profile(language_));
  sources_.push_back(shipped_profile(kDefaultLanguage));
}

std::string UiTexts::text(std::string_view key) const {
  for (const std::string& source : sources_) {
    const std::string value =
        profile_find_string(source, kStringSection, key, "", kProfileBufferSize);
    if (!value.empty()) return replace_line_feed_escapes(value);
  }
  return {};
}

std::string UiTexts::format(std::string_view key, std::string_view argument) const {
  std::string text = this->text(key);
  if (const std::size_t at = text.find(kArgument); at != std::string::npos) {
    text.replace(at, kArgument.size(), argument);
  }
  return text;
}

}  // namespace scopemark
