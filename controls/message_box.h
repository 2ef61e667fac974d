#pragma once

#include <functional>
#include <string>

class QWidget;

namespace scopemark {

enum class MessageIcon { None, Information, Warning, Error };

// What the user is shown by a message box: UTF-8 texts, icon and owner window. A question has
// the texts of its two buttons; a plain box has none and only an OK button.
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::None;
  QWidget* owner = nullptr;
  std::string confirm_button;
  std::string cancel_button;
};

// Shows the box; true when the user confirmed a question (always true for a plain box).
using MessageBoxFunction = std::function<bool(const MessageBoxRequest&)>;

// Every message box of the program goes through here: a modal box with an OK button.
void show_message_box(const std::string& text, const std::string& caption,
                      MessageIcon icon = MessageIcon::None, QWidget* owner = nullptr);

// A modal question with a confirm and a cancel button; Cancel is the default and Escape's
// answer. True only when the user pressed the confirm button.
bool ask_message_box(const std::string& text, const std::string& caption,
                     const std::string& confirm_button, const std::string& cancel_button,
                     QWidget* owner = nullptr);

// Replaces the function that shows message boxes (tests record the requests);
// an empty function restores the real QMessageBox. Returns the previous one.
MessageBoxFunction set_message_box_function(MessageBoxFunction function);

}  // namespace scopemark
