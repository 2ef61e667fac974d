#pragma once

#include <functional>
#include <string_view>

namespace scopemark {

// Receives diagnostic lines exactly as written (each carries its own line feed, if any).
using LogSink = std::function<void(std::string_view)>;

// Writes `text` to `sink`, or to the standard output when no sink is set.
void log_text(const LogSink& sink, std::string_view text);

}  // namespace scopemark
