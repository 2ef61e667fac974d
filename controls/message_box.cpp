#include "controls/message_box.h"

#include <QMessageBox>
#include <QString>

#include <utility>

namespace scopemark {
namespace {

void show_qt_message_box(const MessageBoxRequest& request) {
  QMessageBox box(request.owner);
  box.setWindowTitle(QString::fromStdString(request.caption));
  box.setText(QString::fromStdString(request.text));
  switch (request.icon) {
    case MessageIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case MessageIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageIcon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

MessageBoxFunction& current_function() {
  static MessageBoxFunction function = show_qt_message_box;
  return function;
}

}  // namespace

void show_message_box(const std::string& text, const std::string& caption, MessageIcon icon,
                      QWidget* owner) {
  current_function()(MessageBoxRequest{text, caption, icon, owner});
}

MessageBoxFunction set_message_box_function(MessageBoxFunction function) {
  if (!function) function = show_qt_message_box;
  return std::exchange(current_function(), std::move(function));
}

}  // namespace scopemark
