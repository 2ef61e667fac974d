#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scopemark {

// Numbers of the data blocks built into the program.
inline constexpr int kChineseTable = 151;   // "Multi_ch.ini", code page 936
inline constexpr int kEnglishTable = 154;   // "Multi_eng.ini"
inline constexpr int kSettingsTable = 155;  // default "setting.ini"

// The bytes of a built-in block, or nullopt for an unknown number.
std::optional<std::string_view> default_table(int table_number);

// Writes the block's bytes to `path`, replacing the file. True whenever the block exists,
// also when the file could not be written; false for an unknown number.
bool extract_default_table(int table_number, const std::string& path);

}  // namespace scopemark
