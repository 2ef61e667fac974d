#pragma once

#include <functional>
#include <string>

class QWidget;

namespace scopemark {

enum class MessageIcon { None, Information, Warning, Error };

// What the user is shown by a message box: UTF-8 texts, icon and owner window.
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::None;
  QWidget* owner = nullptr;
};

using MessageBoxFunction = std::function<void(const MessageBoxRequest&)>;

// Every message box of the program goes through here: a modal box with an OK button.
void show_message_box(const std::string& text, const std::string& caption,
                      MessageIcon icon = MessageIcon::None, QWidget* owner = nullptr);

// Replaces the function that shows message boxes (tests record the requests);
// an empty function restores the real QMessageBox. Returns the previous one.
MessageBoxFunction set_message_box_function(MessageBoxFunction function);

}  // namespace scopemark
