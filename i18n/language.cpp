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

struct BuiltinFile {
  const char* file_name;
  int table;
  const char* language;  // its [Setting] Language
};

const std::vector<BuiltinFile>& builtin_files() {
  static const std::vector<BuiltinFile> files = [] {
    std::vector<BuiltinFile> all = {{kEnglishFileName, kEnglishTable, kDefaultLanguage},
                                    {kChineseFileName, kChineseTable, "Chinese"}};
    for (const ShippedLanguage& language : kShippedLanguages) {
      all.push_back({language.file_name, language.table, language.name});
    }
    return all;
  }();
  return files;
}

const BuiltinFile* builtin_named(std::string_view file_name) {
  for (const BuiltinFile& file : builtin_files()) {
    if (file.file_name == file_name) return &file;
  }
  return nullptr;
}

// The built-in file that stands in for `path`: one of the built-in names that is no regular
// file.
const BuiltinFile* builtin_stand_in(const std::string& path) {
  const BuiltinFile* builtin = builtin_named(fs::path(path).filename().string());
  std::error_code error;
  return builtin && !fs::is_regular_file(path, error) ? builtin : nullptr;
}

// A file of the language folder, or the built-in file that stands in for a missing one.
struct LanguageEntry {
  std::string file_name;
  const BuiltinFile* stand_in;
};

std::vector<LanguageEntry> language_entries(const std::string& program_directory) {
  std::vector<LanguageEntry> entries;
  std::error_code error;
  for (fs::directory_iterator it(program_directory + kLanguageFolder, error), end;
       !error && it != end; it.increment(error)) {
    std::error_code status_error;
    std::string file_name = it->path().filename().string();
    if (it->is_regular_file(status_error) && has_ini_extension(file_name)) {
      entries.push_back({std::move(file_name), nullptr});
    }
  }
  for (const BuiltinFile& file : builtin_files()) {
    if (std::none_of(entries.begin(), entries.end(), [&](const LanguageEntry& entry) {
          return entry.file_name == file.file_name;
        })) {
      entries.push_back({file.file_name, &file});
    }
  }
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return less_nocase(a.file_name, b.file_name);
  });
  return entries;
}

std::string entry_path(const std::string& program_directory, const LanguageEntry& entry) {
  return program_directory + kLanguageFolder + "/" + entry.file_name;
}

std::string entry_language(const std::string& program_directory, const LanguageEntry& entry,
                           std::size_t buffer_size) {
  if (entry.stand_in) return entry.stand_in->language;
  return profile_get_string(entry_path(program_directory, entry), kSettingSection, kLanguageKey, "",
                            buffer_size);
}

}  // namespace

std::vector<std::string> language_files(const std::string& program_directory) {
  std::vector<std::string> paths;
  for (const LanguageEntry& entry : language_entries(program_directory)) {
    paths.push_back(entry_path(program_directory, entry));
  }
  return paths;
}

std::string read_language_file(const std::string& path) {
  if (const BuiltinFile* builtin = builtin_stand_in(path)) {
    return std::string(*default_table(builtin->table));
  }
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
  for (const LanguageEntry& entry : language_entries(program_directory)) {
    if (entry_language(program_directory, entry, kProfileBufferSize) == name) {
      return entry_path(program_directory, entry);
    }
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
  for (const LanguageEntry& entry : language_entries(program_directory)) {
    std::string language = entry_language(program_directory, entry, kComboNameBufferSize);
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
