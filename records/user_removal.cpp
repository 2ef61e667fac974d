#include "records/user_removal.h"

#include <atomic>
#include <system_error>

#include "records/record_folder.h"

namespace scopemark {
namespace fs = std::filesystem;
namespace {

std::atomic<TrashFunction> current_trash = nullptr;

bool nothing_at(const fs::path& path) {
  std::error_code ec;
  return !fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

TrashFunction set_trash_function(TrashFunction trash) {
  return current_trash.exchange(trash);
}

bool removals_go_to_trash() {
  return current_trash.load() != nullptr;
}

bool remove_user_entry(const fs::path& path) {
  if (path.empty()) return false;
  if (nothing_at(path)) return true;
  if (const TrashFunction trash = current_trash.load()) return trash(path) && nothing_at(path);
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec))) return RecordFolder(path).remove();
  RecordFolder(path.parent_path()).delete_picture(path);
  return nothing_at(path);
}

}  // namespace scopemark
