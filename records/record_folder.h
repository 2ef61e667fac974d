// The folder of one record: where its pictures live, how they are named, listed and deleted.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace scopemark {

// Longest record number accepted (it names the record's folder).
inline constexpr std::size_t max_record_id_length = 19;

// A record number is 1 to max_record_id_length of the digits 0 to 9, leading zeros kept.
bool is_valid_record_id(std::string_view id);

// A picture name from the camera may become a file name: not empty, no path separator, no
// "..", no control characters.
bool is_safe_picture_name(std::string_view name);

// Removes one file; true when it is gone.
using FileRemover = std::function<bool(const std::filesystem::path&)>;

// Local date and time, to the second.
struct SnapshotTime {
  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
};

SnapshotTime local_time_now();

// A record's folder. Its pictures are the regular files named *.bmp (any case) directly in it.
// Holds no state beyond the path: every call looks at the disk.
class RecordFolder {
 public:
  RecordFolder() = default;
  explicit RecordFolder(std::filesystem::path path) : path_(std::move(path)) {}
  // The folder of record `id`: program_directory (ending with a separator) followed by `id`.
  static RecordFolder of_record(const std::string& program_directory, const std::string& id);

  const std::filesystem::path& path() const { return path_; }

  // True when any entry (folder, file or link) exists at the path.
  bool exists() const;
  // Creates the folder, one level only; an existing folder is left unchanged. True when a folder
  // exists afterwards.
  bool create() const;
  // Deletes the folder with everything in it, read-only entries included. Links are removed,
  // never followed. True when no entry is left at the path (also when there was none); a file
  // at the path is not a folder and stays. An empty path does nothing and fails.
  bool remove() const;

  // The pictures in list order (see lists_before).
  std::vector<std::filesystem::path> pictures() const;
  // Whether `path` is one of the pictures.
  bool holds_picture(const std::filesystem::path& path) const;
  // List order: by file name without regard to case.
  static bool lists_before(const std::filesystem::path& a, const std::filesystem::path& b);

  // Where a snapshot taken at `time` goes: YYYYMMDD_hhmmss.bmp; for the snapshots after the
  // first in the same second (`number` 2, 3, ...) YYYYMMDD_hhmmss_NN.bmp with at least two
  // digits, so that up to 99 in one second list in the order they were taken.
  std::filesystem::path snapshot_path(const SnapshotTime& time, int number = 1) const;
  // Where a picture the camera sent as `name` (a safe picture name) goes: name + ".bmp".
  std::filesystem::path received_picture_path(std::string_view name) const;

  // Deletes one picture file (a link is removed, not followed; a folder never). True when
  // something was deleted.
  bool delete_picture(const std::filesystem::path& picture) const;
  // Deletes every file in the folder and in all folders below it; the folders stay. Links to
  // folders are removed like files and never followed. Each file goes through `remove` when
  // it is set (the desktop trash), else through delete_picture.
  void delete_all_pictures(const FileRemover& remove = {}) const;

 private:
  std::filesystem::path path_;
};

}  // namespace scopemark
