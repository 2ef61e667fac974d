// Where the viewer keeps its settings, language tables and records.
#pragma once

#include <optional>
#include <string>

namespace scopemark {

// Absolute folders, each with a trailing '/'. Inside them the layout is always the same:
// "setting.ini" in settings, the "Language" folder in languages, one folder per record in
// records.
struct AppFolders {
  std::string settings;
  std::string languages;
  std::string records;
};

// With `program_dir` everything lives in that one folder. Otherwise in the user's own folders:
// settings in the config folder ($XDG_CONFIG_HOME/scopemark), language tables in the data
// folder ($XDG_DATA_HOME/scopemark), records in "Scopemark" inside the pictures folder.
AppFolders choose_app_folders(const std::optional<std::string>& program_dir);

// Creates the three folders with their parents; the first that could not be created, or empty.
std::string create_app_folders(const AppFolders& folders);

}  // namespace scopemark
