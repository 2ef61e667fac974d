#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "events/server_context.h"

namespace scopemark {

// The camera's 10-byte command message; bytes 0-7 are not examined.
struct EventMessage {
  static constexpr std::size_t kSize = 10;
  std::uint16_t command = 0;
};

enum EventCommand : std::uint16_t {
  kStopCapture = 0,
  kStartCapture = 1,
  kDeleteLastPicture = 4,
  kShowNoPicture = 5,
  kDeleteAllPictures = 6,
};

// Size of the command server's receive buffer: one read per connection fills at most this.
inline constexpr std::size_t kEventReceiveSize = 10240;

// The message of one read, which counts only when it brought exactly 10 bytes.
std::optional<EventMessage> parse_event_message(std::span<const std::uint8_t> received);

// Logs the command's line and carries out its action; other commands are ignored.
void handle_event_command(const EventServerContext& ctx, std::uint16_t command);

// Body of the command server thread (port `config.event_port`): one message per connection.
// Returns as run_server_loop does.
int run_event_server(const EventServerContext& ctx);

}  // namespace scopemark
