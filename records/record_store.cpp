#include "records/record_store.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace scopemark {
namespace fs = std::filesystem;
namespace {

// Owner read/write (and search for folders), so that a read-only entry can be emptied and removed.
void make_writable(const fs::path& path, bool is_folder) {
  std::error_code ec;
  fs::permissions(path,
                  is_folder ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::add, ec);
}

void delete_folder_contents(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    entries.push_back(it->path());
  }
  for (const fs::path& entry : entries) {
    const fs::file_status status = fs::symlink_status(entry, ec);
    if (ec) continue;
    const bool is_folder = fs::is_directory(status);
    if (!fs::is_symlink(status)) make_writable(entry, is_folder);
    if (is_folder) delete_folder_contents(entry);
    fs::remove(entry, ec);
  }
}

}  // namespace

bool is_valid_record_id(std::string_view id) {
  return !id.empty() && id.size() <= max_record_id_length &&
         std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string record_path(const std::string& program_directory, const std::string& id) {
  return program_directory + id;
}

bool record_exists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool create_record(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directory(path, ec);
  return fs::is_directory(path, ec);
}

bool delete_folder_tree(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::is_symlink(status)) {
    fs::remove(path, ec);
  } else if (fs::is_directory(status)) {
    make_writable(path, true);
    delete_folder_contents(path);
    fs::remove(path, ec);
  }
  return !record_exists(path);
}

}  // namespace scopemark
