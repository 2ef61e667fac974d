#include "i18n/language.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "i18n/code_page.h"
#include "i18n/default_tables.h"
#include "i18n/profile_file.h"

namespace scopemark {

namespace {

namespace fs = std::filesystem;

// Names as read from a language file for the list of the main window.
constexpr std::size_t kComboNameBufferSize = 100;

char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool less_nocase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(ascii_upper(x)) < static_cast<unsigned char>(ascii_upper(y));
  });
}

bool has_ini_extension(const std::string& file_name) {
  constexpr std::string_view kExtension = ".ini";
  return file_name.size() > kExtension.size() &&
         cp936_equal_nocase(
             std::string_view(file_name).substr(file_name.size() - kExtension.size()), kExtension);
}

std::string file_language(const std::string& path, std::size_t buffer_size) {
  return profile_find_string(read_language_file(path), kSettingSection, kLanguageKey, "",
                             buffer_size);
}

struct BuiltinFile {
  const char* file_name;
  int table;
};

std::vector<BuiltinFile> builtin_files() {
  std::vector<BuiltinFile> files = {{kEnglishFileName, kEnglishTable},
                                    {kChineseFileName, kChineseTable}};
  for (const ShippedLanguage& language : kShippedLanguages) {
    files.push_back({language.file_name, language.table});
  }
  return files;
}

std::optional<std::string> read_regular_file(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<std::string> language_files(const std::string& program_directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(program_directory + kLanguageFolder, error), end;
       !error && it != end; it.increment(error)) {
    std::error_code status_error;
    std::string file_name = it->path().filename().string();
    if (it->is_regular_file(status_error) && has_ini_extension(file_name)) {
      names.push_back(std::move(file_name));
    }
  }
  for (const BuiltinFile& file : builtin_files()) {
    if (std::find(names.begin(), names.end(), file.file_name) == names.end()) {
      names.emplace_back(file.file_name);
    }
  }
  std::stable_sort(names.begin(), names.end(), less_nocase);
  std::vector<std::string> paths;
  for (const std::string& file_name : names) {
    paths.push_back(program_directory + kLanguageFolder + "/" + file_name);
  }
  return paths;
}

std::string read_language_file(const std::string& path) {
  if (std::optional<std::string> bytes = read_regular_file(path)) return std::move(*bytes);
  const std::string file_name = fs::path(path).filename().string();
  for (const BuiltinFile& file : builtin_files()) {
    if (file.file_name == file_name) return std::string(default_table(file.table).value_or(""));
  }
  return {};
}

std::string settings_language(const std::string& settings_path) {
  return profile_get_string(settings_path, kSettingSection, kLanguageKey, kDefaultLanguage,
                            kProfileBufferSize);
}

void install_language_files(const std::string& program_directory) {
  const std::string folder = program_directory + kLanguageFolder + "/";
  std::error_code error;
  fs::create_directory(folder, error);
  for (const BuiltinFile& file : builtin_files()) {
    install_default_table(file.table, folder + file.file_name);
  }
}

std::optional<std::string> find_language_file(const std::string& program_directory,
                                              const std::string& name) {
  if (name.empty()) return std::nullopt;
  for (const std::string& path : language_files(program_directory)) {
    if (file_language(path, kProfileBufferSize) == name) return path;
  }
  return std::nullopt;
}

LanguageSelection select_language(const std::string& program_directory,
                                  const std::string& settings_path, const std::string& name) {
  std::string wanted = name.empty() ? settings_language(settings_path) : name;
  install_language_files(program_directory);
  LanguageSelection selection{wanted, find_language_file(program_directory, wanted).value_or("")};
  if (selection.language_file.empty()) {
    const std::string folder = program_directory + kLanguageFolder + "/";
    extract_default_table(kEnglishTable, folder + kEnglishFileName);
    extract_default_table(kChineseTable, folder + kChineseFileName);
    wanted = kDefaultLanguage;
    selection.language_file =
        find_language_file(program_directory, wanted).value_or(folder + kEnglishFileName);
  }
  profile_write_string(settings_path, kSettingSection, kLanguageKey, wanted);
  return selection;
}

LanguageCombo fill_language_combo(const std::string& program_directory,
                                  const std::string& settings_path) {
  LanguageCombo combo;
  for (const std::string& path : language_files(program_directory)) {
    std::string language = file_language(path, kComboNameBufferSize);
    if (!language.empty()) combo.entries.push_back(std::move(language));
  }
  std::stable_sort(combo.entries.begin(), combo.entries.end(), less_nocase);
  const std::string wanted = settings_language(settings_path);
  for (std::size_t i = 0; i < combo.entries.size(); ++i) {
    const std::string& entry = combo.entries[i];
    if (entry.size() >= wanted.size() &&
        cp936_equal_nocase(std::string_view(entry).substr(0, wanted.size()), wanted)) {
      combo.selected = static_cast<int>(i);
      break;
    }
  }
  return combo;
}

}  // namespace scopemark
