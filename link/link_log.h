#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace scopemark {

// Receives one diagnostic line (with its own line feed when it has one).
using LogFunction = std::function<void(std::string_view line)>;

// Shows a message box to the user: text and caption (empty caption: the program's default).
using MessageFunction = std::function<void(const std::string& text, const std::string& caption)>;

// Writes a line through log, or to standard output when log is empty.
void write_log(const LogFunction& log, std::string_view line);

// Shows a message through message; when that is empty the text goes to the log instead.
void show_message(const MessageFunction& message, const LogFunction& log, const std::string& text,
                  const std::string& caption = {});

}  // namespace scopemark
