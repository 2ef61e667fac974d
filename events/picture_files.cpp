#include "events/picture_files.h"

#include <system_error>
#include <vector>

namespace scopemark {

namespace fs = std::filesystem;

bool is_safe_picture_name(std::string_view name) {
  if (name.empty() || name.find("..") != std::string_view::npos) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\') return false;
  }
  return true;
}

bool delete_file(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error || !fs::exists(status) || fs::is_directory(status)) return false;
  return fs::remove(path, error);
}

void delete_all_pictures(const fs::path& folder) {
  std::error_code error;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(it->path());
  }
  for (const fs::path& entry : entries) {
    if (fs::is_directory(fs::symlink_status(entry, error))) {
      delete_all_pictures(entry);
    } else {
      delete_file(entry);
    }
  }
}

}  // namespace scopemark
