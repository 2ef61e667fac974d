#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace scopemark::testing {

// A fresh folder per test, removed afterwards; `dir()` ends with '/'.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "scopemark-i18n-XXXXXX");
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = made;
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string dir() const { return path_.string() + "/"; }
  std::string file(const std::string& name) const { return dir() + name; }

 private:
  std::filesystem::path path_;
};

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace scopemark::testing
