#pragma once

#include <vector>

#include "controls/message_box.h"

namespace scopemark::testing {

// Records every message box shown while it lives instead of showing it, and answers questions
// with `confirm` (true: the confirm button, false: Cancel).
class MessageBoxRecorder {
 public:
  MessageBoxRecorder()
      : previous_(set_message_box_function([this](const MessageBoxRequest& request) {
          shown.push_back(request);
          return request.confirm_button.empty() || confirm;
        })) {}
  ~MessageBoxRecorder() { set_message_box_function(previous_); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<MessageBoxRequest> shown;
  bool confirm = true;

 private:
  MessageBoxFunction previous_;
};

}  // namespace scopemark::testing
