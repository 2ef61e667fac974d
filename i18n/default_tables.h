#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace scopemark {

// Numbers of the data blocks built into the program.
inline constexpr int kChineseTable = 151;   // "Multi_ch.ini", code page 936
inline constexpr int kEnglishTable = 154;   // "Multi_eng.ini"
inline constexpr int kSettingsTable = 155;  // default "setting.ini"

// The complete language files shipped with the program: every text of the user interface.
// English is ASCII and Chinese code page 936; the others are UTF-8 with a byte-order mark.
// Their file names sort before "Multi_*", so they are found before the two tables above.
struct ShippedLanguage {
  const char* name;  // [Setting] Language
  const char* file_name;
  int table;
};

inline constexpr std::array<ShippedLanguage, 8> kShippedLanguages = {{
    {"Chinese", "Chinese.ini", 160},
    {"English", "English.ini", 161},
    {"French", "French.ini", 162},
    {"German", "German.ini", 163},
    {"Russian", "Russian.ini", 164},
    {"Korean", "Korean.ini", 165},
    {"Japanese", "Japanese.ini", 166},
    {"Spanish", "Spanish.ini", 167},
}};

// The shipped language of that name (exact match), or nullptr.
const ShippedLanguage* find_shipped_language(std::string_view name);

// The bytes of a built-in block, or nullopt for an unknown number.
std::optional<std::string_view> default_table(int table_number);

// Writes the block's bytes to `path`, replacing the file. True whenever the block exists,
// also when the file could not be written; false for an unknown number.
bool extract_default_table(int table_number, const std::string& path);

// Writes the block's bytes to `path` only when nothing is there yet: an existing file is
// never touched. True when the file was written.
bool install_default_table(int table_number, const std::string& path);

}  // namespace scopemark
