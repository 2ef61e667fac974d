// The language tables as the window loads them: the input is a language file beside the
// built-in ones, and the settings name "Fuzz". The built-in files stay unwritten (folders
// hold their names), so that they are served from memory as in a read-only language folder
// and each input costs the reading of its own file only.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_folder.h"
#include "i18n/captions.h"
#include "i18n/default_tables.h"
#include "i18n/language.h"

namespace {

// Below the shared memory folder where there is one: the settings are rewritten for every
// input, and a disk file system writes a truncated file back at once.
std::filesystem::path shared_memory_folder;

void remove_shared_memory_folder() {
  std::error_code error;
  std::filesystem::remove_all(shared_memory_folder, error);
}

std::filesystem::path private_folder() {
  std::error_code error;
  if (!std::filesystem::is_directory("/dev/shm", error)) return scopemark::fuzz::fuzz_folder();
  std::string pattern = "/dev/shm/scopemark-fuzz.XXXXXX";
  if (!::mkdtemp(pattern.data())) std::abort();
  shared_memory_folder = pattern;
  std::atexit(remove_shared_memory_folder);
  return shared_memory_folder;
}

const std::filesystem::path& program_folder() {
  static const std::filesystem::path program = [] {
    using namespace scopemark;
    const std::filesystem::path folder = private_folder() / "program";
    const std::filesystem::path languages = folder / kLanguageFolder;
    for (const char* name : {kEnglishFileName, kChineseFileName}) {
      std::filesystem::create_directories(languages / name);
    }
    for (const ShippedLanguage& language : kShippedLanguages) {
      std::filesystem::create_directories(languages / language.file_name);
    }
    return folder;
  }();
  return program;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopemark;
  const std::filesystem::path& program = program_folder();
  const std::string program_directory = program.string() + "/";
  const std::string language_file = (program / kLanguageFolder / "Fuzz.ini").string();
  std::ofstream(language_file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const std::string settings = program_directory + "setting.ini";
  std::ofstream(settings, std::ios::binary | std::ios::trunc) << "[Setting]\r\nLanguage=Fuzz\r\n";

  const std::vector<int> controls = {1000, 1004, 1005, 1006, 1007, 1008, 1018, 1039};
  fill_language_combo(program_directory, settings);
  const LanguageSelection selection = select_language(program_directory, settings, "");
  window_texts(UiTexts(selection.language_file), controls);
  const UiTexts texts(language_file);
  window_texts(texts, controls);
  change_language(program_directory, settings, texts.language(), texts);
  texts.message(texts.text(text_key::kMessageNoDevice));
  return 0;
}
