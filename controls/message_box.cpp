#include "controls/message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <utility>

namespace scopemark {
namespace {

bool show_qt_message_box(const MessageBoxRequest& request) {
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
  if (request.confirm_button.empty()) {
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return true;
  }
  QPushButton* confirm =
      box.addButton(QString::fromStdString(request.confirm_button), QMessageBox::AcceptRole);
  QPushButton* cancel =
      box.addButton(QString::fromStdString(request.cancel_button), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == confirm;
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

bool ask_message_box(const std::string& text, const std::string& caption,
                     const std::string& confirm_button, const std::string& cancel_button,
                     QWidget* owner) {
  return current_function()(
      MessageBoxRequest{text, caption, MessageIcon::Warning, owner, confirm_button, cancel_button});
}

MessageBoxFunction set_message_box_function(MessageBoxFunction function) {
  if (!function) function = show_qt_message_box;
  return std::exchange(current_function(), std::move(function));
}

}  // namespace scopemark
