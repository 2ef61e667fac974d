#include "records/picture_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

namespace scopemark {
namespace fs = std::filesystem;
namespace {

// More snapshots than this in one second would mean something is wrong.
constexpr int kMaxSnapshotsPerSecond = 999;

StoreResult failed(const fs::path& temporary, int error) {
  std::error_code ignored;
  fs::remove(temporary, ignored);
  return {{}, store_problem_of(error)};
}

}  // namespace

StoreProblem store_problem_of(int error) {
  switch (error) {
    case 0:
      return StoreProblem::none;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return StoreProblem::disk_full;
    case ENOENT:
    case ENOTDIR:
      return StoreProblem::folder_missing;
    case EACCES:
    case EPERM:
    case EROFS:
      return StoreProblem::not_allowed;
    default:
      return StoreProblem::write_failed;
  }
}

int close_picture_file(std::FILE* file, bool written, const fs::path& path) {
  int error = written ? 0 : errno;
  if (std::fclose(file) != 0 && written) error = errno;
  written = written && error == 0;
  if (written) return 0;
  std::remove(path.c_str());
  return error != 0 ? error : EIO;
}

fs::path temporary_picture_path(const RecordFolder& folder, std::string_view writer) {
  return folder.path() /
         (".scopemark-" + std::string(writer) + "-" + std::to_string(::getpid()) + ".part");
}

StoreProblem prepare_folder(const RecordFolder& folder) {
  std::error_code ec;
  if (fs::is_directory(folder.path(), ec) || folder.create()) return StoreProblem::none;
  return StoreProblem::folder_missing;
}

StoreResult place_replacing(const fs::path& temporary, const fs::path& target) {
  if (std::rename(temporary.c_str(), target.c_str()) != 0) return failed(temporary, errno);
  return {target};
}

StoreResult place_snapshot(const fs::path& temporary, const RecordFolder& folder,
                           const SnapshotTime& time) {
  for (int number = 1; number <= kMaxSnapshotsPerSecond; ++number) {
    const fs::path target = folder.snapshot_path(time, number);
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      return {target};
    }
    int error = errno;
    if (error == EEXIST) continue;
    if (error == EINVAL || error == ENOSYS) {
      // A file system without renames that refuse to replace; this thread is the only one
      // that writes snapshot names.
      std::error_code ec;
      if (fs::exists(fs::symlink_status(target, ec))) continue;
      if (std::rename(temporary.c_str(), target.c_str()) == 0) return {target};
      error = errno;
    }
    return failed(temporary, error);
  }
  return failed(temporary, EEXIST);
}

}  // namespace scopemark
