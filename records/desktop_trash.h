// The desktop trash (Qt) behind remove_user_entry.
#pragma once

#include <filesystem>

namespace scopemark {

// Moves `path` into the desktop trash (QFile::moveToTrash); true when moved.
bool move_to_desktop_trash(const std::filesystem::path& path);

// Makes remove_user_entry use the desktop trash when the system has one (a user data folder
// to keep it in); otherwise removals stay permanent.
void install_desktop_trash();

}  // namespace scopemark
