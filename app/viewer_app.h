#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/app_folders.h"
#include "app/viewer_session.h"

namespace scopemark {

// What the command line asks for.
struct CommandLine {
  bool help = false;
  bool version = false;
  bool demo = false;  // the built-in demo camera instead of the real one
  std::optional<std::string> program_dir;
  std::optional<std::string> record;
  std::string error;  // not empty when the arguments were not understood
};

// A --record value that is no record number is an error, like an unknown argument.
CommandLine parse_command_line(const std::vector<std::string>& arguments);
// Why `id` is refused as a record number.
std::string record_id_error(const std::string& id);
std::string usage_text();

// A folder given by the user as a program directory: absolute, with a trailing '/'.
std::string as_program_directory(const std::string& folder);

// The dialogs' background and text colours, for the whole application.
void use_dialog_colours();

// Writes the built-in default settings when nothing exists at settings_path; true when written.
bool ensure_settings_file(const std::string& settings_path);

// The application: start-up, settings and language, the record, then the main window.
class ViewerApp {
 public:
  // The folder of the record folders (with --program-dir, that folder).
  const std::string& program_directory() const { return program_directory_; }
  // The folder that holds the "Language" folder.
  const std::string& language_directory() const { return language_directory_; }
  const std::string& settings_path() const { return settings_path_; }
  const std::string& language_name() const { return language_name_; }
  const std::string& language_file() const { return language_file_; }
  const std::string& record_folder() const { return record_folder_; }
  const std::string& record_id() const { return record_id_; }

  // The whole start-up; the program's exit code. Cancel in the record dialog ends it before
  // any window or network activity. A --program-dir that cannot be created, or a --record that
  // cannot be opened, ends it with the reason on standard error and exit code 2.
  int run(const CommandLine& options, SessionOptions session);

  // Settings file (created from the built-in block when missing) and language selection.
  // Settings that cannot be read, or that name a language without a file, give the defaults
  // and a message box that says so.
  void prepare_settings(const AppFolders& folders);
  // The same with everything in one program directory.
  void prepare_settings(const std::string& program_directory);
  // Chooses the language file for `name` (empty: the settings' language) and writes the
  // settings; see scopemark::select_language.
  void select_language(const std::string& name);
  // The record dialog; false when it was cancelled.
  bool choose_record();
  // A record named on the command line, created when missing; false when refused, with the
  // reason on standard error (no message box: the command line's user reads the terminal).
  bool open_record(const std::string& id);
  // The main window, modal, in the dialog colours, over a session on the chosen record.
  void run_main_window(SessionOptions session);
  // The session's options completed with the program directory and the chosen record.
  SessionOptions session_options(SessionOptions session) const;

 private:
  void tell_default_settings(bool settings_readable) const;

  std::string program_directory_;
  std::string language_directory_;
  std::string settings_path_;
  std::string language_name_;
  std::string language_file_;
  std::string record_folder_;
  std::string record_id_;
};

}  // namespace scopemark
