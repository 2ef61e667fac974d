#include "app/app_folders.h"

#include <QDir>
#include <QStandardPaths>

#include "app/viewer_app.h"

namespace scopemark {
namespace {

// A standard location (the home folder when the system names none) plus `leaf`.
std::string user_folder(QStandardPaths::StandardLocation location, const char* fallback,
                        const char* leaf) {
  QString base = QStandardPaths::writableLocation(location);
  if (base.isEmpty()) base = QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
  return as_program_directory((base + QLatin1Char('/') + QLatin1String(leaf)).toStdString());
}

}  // namespace

AppFolders choose_app_folders(const std::optional<std::string>& program_dir) {
  if (program_dir) {
    const std::string folder = as_program_directory(*program_dir);
    return {folder, folder, folder};
  }
  return {user_folder(QStandardPaths::GenericConfigLocation, ".config", "scopemark"),
          user_folder(QStandardPaths::GenericDataLocation, ".local/share", "scopemark"),
          user_folder(QStandardPaths::PicturesLocation, "Pictures", "Scopemark")};
}

std::string create_app_folders(const AppFolders& folders) {
  for (const std::string* folder : {&folders.settings, &folders.languages, &folders.records}) {
    if (!QDir().mkpath(QString::fromStdString(*folder))) return *folder;
  }
  return {};
}

}  // namespace scopemark
