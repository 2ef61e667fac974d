// Storing a picture file in a record folder without ever leaving a partly written picture or
// losing an older one: written under a temporary name, then renamed into place.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "records/record_folder.h"

namespace scopemark {

// Why a picture was not stored.
enum class StoreProblem {
  none,
  disk_full,
  folder_missing,
  not_allowed,
  write_failed,
  incomplete,
  undecodable,
};

// The problem behind the errno value of a failed file operation.
StoreProblem store_problem_of(int error);

// What storing a picture gave: the file written, or why there is none.
struct StoreResult {
  std::filesystem::path path;
  StoreProblem problem = StoreProblem::none;
};

// Closes a picture file written with stdio (`written`: every write succeeded). Returns 0, or
// the errno of the failed write or close (EIO when none was set) after removing the file.
int close_picture_file(std::FILE* file, bool written, const std::filesystem::path& path);

// Where one writer (named by `writer`, one per thread) writes a picture before it is placed:
// a hidden file in the folder that is not listed as a picture.
std::filesystem::path temporary_picture_path(const RecordFolder& folder, std::string_view writer);

// Makes sure the folder exists: a folder deleted from outside is made again (one level, as the
// record dialog makes it). folder_missing when it cannot be.
StoreProblem prepare_folder(const RecordFolder& folder);

// Renames a fully written temporary file over `target`, replacing a file of that name. On
// failure the temporary file is removed and the target left as it was.
StoreResult place_replacing(const std::filesystem::path& temporary,
                            const std::filesystem::path& target);

// Renames a fully written temporary file to the first snapshot name of `time` that is not
// taken, so that no snapshot ever replaces another. On failure the temporary file is removed.
StoreResult place_snapshot(const std::filesystem::path& temporary, const RecordFolder& folder,
                           const SnapshotTime& time);

}  // namespace scopemark
