#include "records/desktop_trash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "records/user_removal.h"

namespace scopemark {
namespace {

// The folder that holds the user's trash, created when missing (Qt needs it to exist); empty
// when there is none.
QString trash_parent() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return !data.isEmpty() && QDir().mkpath(data) ? data : QString();
}

}  // namespace

bool move_to_desktop_trash(const std::filesystem::path& path) {
  if (trash_parent().isEmpty()) return false;
  const QString source = QFile::decodeName(path.c_str());
  QString in_trash;
  if (!QFile::moveToTrash(source, &in_trash)) return false;
  // A trash Qt could not set up takes the entry relative to the working folder: bring it back.
  if (QDir::isRelativePath(in_trash)) return !QFile::rename(in_trash, source);
  return true;
}

void install_desktop_trash() {
  set_trash_function(trash_parent().isEmpty() ? nullptr : move_to_desktop_trash);
}

}  // namespace scopemark
