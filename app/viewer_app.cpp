#include "app/viewer_app.h"

#include <QApplication>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>
#include <utility>

#include "app/connect_window.h"
#include "app/main_dialog.h"
#include "controls/message_box.h"
#include "i18n/code_page.h"
#include "i18n/default_tables.h"
#include "i18n/language.h"
#include "i18n/ui_texts.h"
#include "records/record_dialog.h"
#include "records/record_folder.h"

namespace scopemark {
namespace fs = std::filesystem;
namespace {

constexpr char kSettingsFileName[] = "setting.ini";
constexpr char kDialogStyle[] = "QDialog { background-color: rgb(0, 192, 192); color: black; }";

std::string with_trailing_separator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine result;
  for (std::size_t i = 0; i < arguments.size() && result.error.empty(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      result.help = true;
    } else if (argument == "--version") {
      result.version = true;
    } else if (argument == "--demo") {
      result.demo = true;
    } else if (argument == "--program-dir" || argument == "--record") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        result.error = argument + " needs a value";
        break;
      }
      (argument == "--record" ? result.record : result.program_dir) = arguments[++i];
      if (argument == "--record" && !is_valid_record_id(*result.record)) {
        result.error = record_id_error(*result.record);
      }
    } else {
      result.error = "unknown argument: " + argument;
    }
  }
  return result;
}

std::string usage_text() {
  return "Usage: scopemark [options]\n"
         "Viewer for the Wi-Fi digital microscope camera.\n"
         "\n"
         "  --help                 show this text and exit\n"
         "  --version              show the version and exit\n"
         "  --program-dir DIR      keep settings, language files and records together in DIR\n"
         "                         (default: settings in ~/.config/scopemark, language files\n"
         "                         in ~/.local/share/scopemark, records in ~/Pictures/Scopemark)\n"
         "  --record ID            open record ID (1 to 19 digits) without asking,\n"
         "                         creating it when missing\n"
         "  --demo                 show the built-in demo camera (on this computer only)\n"
         "  --camera-address ADDR  reach the camera at ADDR instead of 192.168.1.1\n"
         "                         (no wireless adapter needed)\n"
         "  --local-address ADDR   local address of the stream connection\n";
}

std::string as_program_directory(const std::string& folder) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(folder, ec);
  return with_trailing_separator((ec ? fs::path(folder) : absolute.lexically_normal()).string());
}

std::string record_id_error(const std::string& id) {
  return "--record " + id + ": a record number is 1 to " + std::to_string(max_record_id_length) +
         " digits (0-9)";
}

bool ensure_settings_file(const std::string& settings_path) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(settings_path, ec))) return false;
  return extract_default_table(kSettingsTable, settings_path);
}

int ViewerApp::run(const CommandLine& options, SessionOptions session) {
  const AppFolders folders = choose_app_folders(options.program_dir);
  const std::string failed = create_app_folders(folders);
  if (!failed.empty()) {
    std::error_code reason;
    fs::create_directories(failed, reason);
    const std::string where = failed + ": " + reason.message();
    std::cerr << "scopemark: cannot create the folder " << where << "\n";
    if (options.program_dir) return 2;
    const UiTexts texts(find_language_file(folders.languages,
                                           settings_language(folders.settings + kSettingsFileName))
                            .value_or(""));
    show_message_box(texts.format(text_key::kMessageCannotCreateFolder, where), "Scopemark");
    return 1;
  }
  prepare_settings(folders);
  const bool have_record = options.record ? open_record(*options.record) : choose_record();
  if (!have_record) return options.record ? 2 : 0;
  run_main_window(std::move(session));
  return 0;
}

void ViewerApp::prepare_settings(const AppFolders& folders) {
  program_directory_ = folders.records;
  language_directory_ = folders.languages;
  settings_path_ = folders.settings + kSettingsFileName;
  ensure_settings_file(settings_path_);
  std::error_code ec;
  const bool settings_readable =
      fs::is_regular_file(settings_path_, ec) && std::ifstream(settings_path_).good();
  select_language("");
  tell_default_settings(settings_readable);
}

void ViewerApp::tell_default_settings(bool settings_readable) const {
  const UiTexts texts(language_file_);
  std::string message;
  if (!settings_readable || language_name_.empty()) {
    message = texts.format(text_key::kMessageSettingsUnreadable, settings_path_);
  } else if (!find_language_file(language_directory_, language_name_)) {
    message = texts.format(text_key::kMessageLanguageMissing, cp936_to_utf8(language_name_));
  } else {
    return;
  }
  show_message_box(message, texts.text(text_key::kCaptionSorry), MessageIcon::Warning);
}

void ViewerApp::prepare_settings(const std::string& program_directory) {
  prepare_settings(AppFolders{program_directory, program_directory, program_directory});
}

void ViewerApp::select_language(const std::string& name) {
  LanguageSelection language =
      scopemark::select_language(language_directory_, settings_path_, name);
  language_name_ = std::move(language.language_name);
  language_file_ = std::move(language.language_file);
  set_current_texts(UiTexts(language_file_));
}

bool ViewerApp::choose_record() {
  RecordDialog dialog(program_directory_, UiTexts(language_file_));
  if (dialog.exec() != QDialog::Accepted) return false;
  record_id_ = dialog.record_id();
  record_folder_ = dialog.record_folder();
  return true;
}

bool ViewerApp::open_record(const std::string& id) {
  if (!is_valid_record_id(id)) {
    std::cerr << "scopemark: " << record_id_error(id) << "\n";
    return false;
  }
  const RecordFolder record = RecordFolder::of_record(program_directory_, id);
  std::error_code reason;
  fs::create_directory(record.path(), reason);
  if (reason) {
    std::cerr << "scopemark: cannot create the record folder " << record.path().string() << ": "
              << reason.message() << "\n";
    return false;
  }
  record_id_ = id;
  record_folder_ = record.path().string();
  return true;
}

SessionOptions ViewerApp::session_options(SessionOptions session) const {
  session.record_folder = record_folder_;
  return session;
}

void use_dialog_colours() {
  qApp->setStyleSheet(QString::fromLatin1(kDialogStyle));
}

void ViewerApp::run_main_window(SessionOptions options) {
  use_dialog_colours();
  ViewerSession session(session_options(std::move(options)));
  MainDialog dialog;
  connect_window(dialog, session, *this);
  dialog.exec();
}

}  // namespace scopemark
