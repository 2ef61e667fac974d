#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scopemark {

// Longest record number accepted: the snapshot writer keeps at most 19 characters of it.
inline constexpr std::size_t max_record_id_length = 19;

// A record number is 1 to max_record_id_length of the digits 0 to 9, leading zeros kept.
bool is_valid_record_id(std::string_view id);

// program_directory (ending with a separator) followed by the record number.
std::string record_path(const std::string& program_directory, const std::string& id);

// True when any entry (folder, file or link) exists at path.
bool record_exists(const std::string& path);

// Creates the folder at path, one level only; an existing folder is left unchanged.
// True when a folder exists at path afterwards.
bool create_record(const std::string& path);

// Deletes the folder at path with everything in it, read-only entries included.
// Links are removed, never followed. An empty path does nothing. True when no entry is left at
// path (also when there was none); a file at path is not a folder and stays.
bool delete_folder_tree(const std::string& path);

}  // namespace scopemark
