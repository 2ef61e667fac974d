#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace scopemark {

inline constexpr char kSettingSection[] = "Setting";
inline constexpr char kLanguageKey[] = "Language";
inline constexpr char kDefaultLanguage[] = "English";
inline constexpr char kLanguageFolder[] = "Language";
inline constexpr char kEnglishFileName[] = "Multi_eng.ini";
inline constexpr char kChineseFileName[] = "Multi_ch.ini";
inline constexpr std::size_t kProfileBufferSize = 1000;

struct LanguageSelection {
  std::string language_name;  // the name asked for, kept when the file falls back to English
  std::string language_file;  // full path of the language file in use
};

// The language files of `program_directory` (which ends with '/'): the regular files
// "Language/*.ini" and the built-in files missing there (the two embedded tables and the
// shipped languages, which may not have been written), in the order of the names compared
// without letter case.
std::vector<std::string> language_files(const std::string& program_directory);

// The bytes of a language file: the file's, or for a built-in file name whose file cannot be
// read, the built-in bytes. Empty for any other file that cannot be read.
std::string read_language_file(const std::string& path);

// [Setting] Language of the settings file, "English" when missing.
std::string settings_language(const std::string& settings_path);

// Creates the language folder and writes into it each built-in table and shipped language
// file that is missing there; files already present are kept as they are.
void install_language_files(const std::string& program_directory);

// The first language file (in the order of language_files) whose [Setting] Language equals
// `name` byte for byte; an empty name matches none.
std::optional<std::string> find_language_file(const std::string& program_directory,
                                              const std::string& name);

// Chooses the language file for `name` (an empty name means the one in the settings file),
// after install_language_files. Without a match the two built-in tables are written again
// and English is used. A shipped language is found also where its file could not be
// written: the built-in file serves. The settings file is left naming the language whose file is in
// use.
LanguageSelection select_language(const std::string& program_directory,
                                  const std::string& settings_path, const std::string& name);

// The language list of the main window: every language file's name, sorted without regard
// to letter case, and the first entry beginning with the settings name (letter case
// ignored), or -1.
struct LanguageCombo {
  std::vector<std::string> entries;
  int selected = -1;
};

LanguageCombo fill_language_combo(const std::string& program_directory,
                                  const std::string& settings_path);

}  // namespace scopemark
