#include "link/link_log.h"

#include <cstdio>

namespace scopemark {

void write_log(const LogFunction& log, std::string_view line) {
  if (log) {
    log(line);
    return;
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void show_message(const MessageFunction& message, const LogFunction& log, const std::string& text,
                  const std::string& caption) {
  if (message) {
    message(text, caption);
    return;
  }
  write_log(log, caption.empty() ? text + "\n" : caption + ": " + text + "\n");
}

}  // namespace scopemark
