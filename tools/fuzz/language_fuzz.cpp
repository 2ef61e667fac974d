// The language tables as the window loads them: the input is a language file beside the
// shipped ones, and the settings name "Fuzz".
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_folder.h"
#include "i18n/captions.h"
#include "i18n/language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopemark;
  const std::filesystem::path program = fuzz::fuzz_folder() / "program";
  std::filesystem::create_directories(program / kLanguageFolder);
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
  std::filesystem::remove(language_file);
  return 0;
}
