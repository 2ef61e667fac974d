#pragma once

#include <vector>

#include "controls/message_box.h"

namespace scopemark::testing {

// Records every message box shown while it lives instead of showing it.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder()
      : previous_(set_message_box_function(
            [this](const MessageBoxRequest& request) { shown.push_back(request); })) {}
  ~MessageBoxRecorder() { set_message_box_function(previous_); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<MessageBoxRequest> shown;

 private:
  MessageBoxFunction previous_;
};

}  // namespace scopemark::testing
