// A private folder below the temporary folder for targets whose code works on files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace scopemark::fuzz {

inline const std::filesystem::path& fuzz_folder() {
  static const std::filesystem::path folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "scopemark-fuzz.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

}  // namespace scopemark::fuzz
