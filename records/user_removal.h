// How files the user stored leave: to the desktop trash where the system has one, otherwise
// for good. The GUI installs the trash (this core stays free of Qt); tests install a fake or
// none.
#pragma once

#include <filesystem>

namespace scopemark {

// Moves a file, link or folder (with everything in it) into the trash; true when it is there.
using TrashFunction = bool (*)(const std::filesystem::path& path);

// The trash that remove_user_entry uses; nullptr: the system has none. Returns the previous one.
// Safe on any thread.
TrashFunction set_trash_function(TrashFunction trash);

// Whether removals go to a trash; a confirmation says so, or that the removal is permanent.
bool removals_go_to_trash();

// Removes a picture or a record folder of the user: into the trash when there is one, else
// permanently (a folder with everything in it, read-only entries included; links are removed,
// never followed). A trash that refuses leaves the entry where it is. True when nothing is left
// at the path.
bool remove_user_entry(const std::filesystem::path& path);

}  // namespace scopemark
