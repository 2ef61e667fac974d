#pragma once

#include <filesystem>
#include <string_view>

namespace scopemark {

// A picture name from the camera may become a file name: not empty, no path separator, no
// "..", no control characters.
bool is_safe_picture_name(std::string_view name);

// Deletes the entry at `path` unless it is a directory (a link is removed, not followed).
// Returns whether something was deleted.
bool delete_file(const std::filesystem::path& path);

// Deletes every file in `folder` and in all folders below it; the folders stay. Links to
// folders are removed like files and never followed.
void delete_all_pictures(const std::filesystem::path& folder);

}  // namespace scopemark
