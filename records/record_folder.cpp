#include "records/record_folder.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <system_error>

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

std::vector<fs::path> entries_of(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    entries.push_back(it->path());
  }
  return entries;
}

void delete_folder_contents(const fs::path& folder) {
  for (const fs::path& entry : entries_of(folder)) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(entry, ec);
    if (ec) continue;
    const bool is_folder = fs::is_directory(status);
    if (!fs::is_symlink(status)) make_writable(entry, is_folder);
    if (is_folder) delete_folder_contents(entry);
    fs::remove(entry, ec);
  }
}

// Byte order with A to Z read as a to z.
bool less_without_case(std::string_view a, std::string_view b) {
  const auto fold = [](char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  };
  return std::ranges::lexicographical_compare(a, b, std::less<>{}, fold, fold);
}

bool is_picture(const fs::path& path) {
  const std::string extension = path.extension().string();
  std::error_code ec;
  return extension.size() == 4 && !less_without_case(extension, ".bmp") &&
         !less_without_case(".bmp", extension) && fs::is_regular_file(path, ec);
}

}  // namespace

bool is_valid_record_id(std::string_view id) {
  return !id.empty() && id.size() <= max_record_id_length &&
         std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_safe_picture_name(std::string_view name) {
  if (name.empty() || name.find("..") != std::string_view::npos) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\') return false;
  }
  return true;
}

SnapshotTime local_time_now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

RecordFolder RecordFolder::of_record(const std::string& program_directory, const std::string& id) {
  return RecordFolder(program_directory + id);
}

bool RecordFolder::exists() const {
  if (path_.empty()) return false;
  std::error_code ec;
  return fs::exists(fs::symlink_status(path_, ec));
}

bool RecordFolder::create() const {
  if (path_.empty()) return false;
  std::error_code ec;
  fs::create_directory(path_, ec);
  return fs::is_directory(path_, ec);
}

bool RecordFolder::remove() const {
  if (path_.empty()) return false;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path_, ec);
  if (fs::is_symlink(status)) {
    fs::remove(path_, ec);
  } else if (fs::is_directory(status)) {
    make_writable(path_, true);
    delete_folder_contents(path_);
    fs::remove(path_, ec);
  }
  return !exists();
}

std::vector<fs::path> RecordFolder::pictures() const {
  std::vector<fs::path> pictures = entries_of(path_);
  std::erase_if(pictures, [](const fs::path& entry) { return !is_picture(entry); });
  std::sort(pictures.begin(), pictures.end(), lists_before);
  return pictures;
}

bool RecordFolder::holds_picture(const fs::path& path) const {
  return path.has_filename() && path.parent_path() == path_ && is_picture(path);
}

bool RecordFolder::lists_before(const fs::path& a, const fs::path& b) {
  return less_without_case(a.filename().string(), b.filename().string());
}

fs::path RecordFolder::snapshot_path(const SnapshotTime& time, int number) const {
  char name[48];
  const int stem = std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d", time.year,
                                 time.month, time.day, time.hour, time.minute, time.second);
  if (number > 1) {
    std::snprintf(name + stem, sizeof name - stem, "_%02d.bmp", number);
  } else {
    std::snprintf(name + stem, sizeof name - stem, ".bmp");
  }
  return path_ / name;
}

fs::path RecordFolder::received_picture_path(std::string_view name) const {
  return path_ / (std::string(name) + ".bmp");
}

bool RecordFolder::delete_picture(const fs::path& picture) const {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(picture, ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return false;
  return fs::remove(picture, ec);
}

void RecordFolder::delete_all_pictures(const FileRemover& remove) const {
  for (const fs::path& entry : entries_of(path_)) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(entry, ec))) {
      RecordFolder(entry).delete_all_pictures(remove);
    } else if (remove) {
      remove(entry);
    } else {
      delete_picture(entry);
    }
  }
}

}  // namespace scopemark
