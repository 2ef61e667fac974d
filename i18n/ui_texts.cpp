#include "i18n/ui_texts.h"

#include <mutex>
#include <optional>
#include <utility>

#include "i18n/default_tables.h"
#include "i18n/language.h"

namespace scopemark {

namespace {

constexpr std::string_view kArgument = "%1";

// Texts given to UiTexts::message by their English wording.
constexpr const char* kMessageKeys[] = {
    text_key::kCaptionError,       text_key::kCaptionSorry,       text_key::kCaptionOk,
    text_key::kMessageNoDevice,    text_key::kMessageSocketError, text_key::kMessageBindError,
    text_key::kMessageAdjustError, text_key::kMessageDecodeError, text_key::kMessageCompare,
    text_key::kMessageEnterNumber, text_key::kMessagePressAdd,    text_key::kMessageUserExists,
    text_key::kMessageNoUser,      text_key::kMessageDeleted,     text_key::kMessageDeleteFailed,
};

std::shared_ptr<const ProfileSection> string_section(std::string utf8_content) {
  return std::make_shared<const ProfileSection>(std::move(utf8_content), kStringSection);
}

// The shipped files' texts, read once.
std::shared_ptr<const ProfileSection> shipped_section(std::string_view language_name) {
  static const std::vector<std::shared_ptr<const ProfileSection>> sections = [] {
    std::vector<std::shared_ptr<const ProfileSection>> all;
    for (const ShippedLanguage& language : kShippedLanguages) {
      all.push_back(string_section(utf8_profile(*default_table(language.table))));
    }
    return all;
  }();
  const ShippedLanguage* language = find_shipped_language(language_name);
  return language ? sections[static_cast<std::size_t>(language - kShippedLanguages.data())]
                  : nullptr;
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

UiTexts::UiTexts() : sources_{shipped_section(kDefaultLanguage)} {}

UiTexts::UiTexts(const std::string& language_file) {
  std::string file = utf8_profile(read_language_file(language_file));
  language_ = profile_find_string(file, kSettingSection, kLanguageKey, "", kProfileBufferSize);
  sources_.push_back(string_section(std::move(file)));
  if (language_ != kDefaultLanguage) {
    if (auto shipped = shipped_section(language_)) sources_.push_back(std::move(shipped));
  }
  sources_.push_back(shipped_section(kDefaultLanguage));
}

std::string UiTexts::text(std::string_view key) const {
  for (const auto& source : sources_) {
    const std::optional<std::string> value = source->find(key, kProfileBufferSize);
    if (value && !value->empty()) return replace_line_feed_escapes(*value);
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

std::string UiTexts::message(std::string_view english) const {
  static const UiTexts kEnglish;
  for (const char* key : kMessageKeys) {
    if (!english.empty() && kEnglish.text(key) == english) return text(key);
  }
  return std::string(english);
}

namespace {

struct CurrentTexts {
  std::mutex mutex;
  std::shared_ptr<const UiTexts> texts = std::make_shared<const UiTexts>();
};

CurrentTexts& current() {
  static CurrentTexts texts;
  return texts;
}

}  // namespace

std::shared_ptr<const UiTexts> current_texts() {
  const std::lock_guard lock(current().mutex);
  return current().texts;
}

void set_current_texts(UiTexts texts) {
  auto next = std::make_shared<const UiTexts>(std::move(texts));
  const std::lock_guard lock(current().mutex);
  current().texts = std::move(next);
}

}  // namespace scopemark
