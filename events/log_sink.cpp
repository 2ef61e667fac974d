#include "events/log_sink.h"

#include <cstdio>

namespace scopemark {

void log_text(const LogSink& sink, std::string_view text) {
  if (sink) {
    sink(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace scopemark
