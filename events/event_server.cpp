#include "events/event_server.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

#include "events/server_loop.h"
#include "events/socket_io.h"

namespace scopemark {

std::optional<EventMessage> parse_event_message(std::span<const std::uint8_t> received) {
  if (received.size() != EventMessage::kSize) return std::nullopt;
  return EventMessage{static_cast<std::uint16_t>(received[8] | received[9] << 8)};
}

namespace {

// A folder of the picture's name is never removed.
void remove_picture(const EventServerContext& ctx, const std::filesystem::path& picture) {
  std::error_code ec;
  if (!ctx.actions.remove_picture) {
    ctx.record_folder.delete_picture(picture);
  } else if (!std::filesystem::is_directory(std::filesystem::symlink_status(picture, ec))) {
    ctx.actions.remove_picture(picture);
  }
}

}  // namespace

void handle_event_command(const EventServerContext& ctx, std::uint16_t command) {
  switch (command) {
    case kStopCapture:
      write_log(ctx.log, "haha  stop capture!");
      ctx.display_frozen.store(false);
      ctx.capture_requested.store(false);
      run_action(ctx.actions.show_video_area);
      break;
    case kStartCapture:
      write_log(ctx.log, "haha  start capture!");
      ctx.capture_requested.store(true);
      ctx.display_frozen.store(true);
      break;
    case kDeleteLastPicture: {
      write_log(ctx.log, "delete one jpg!");
      const std::filesystem::path last = ctx.received_picture_path.get();
      if (!last.empty()) {
        remove_picture(ctx, last);
        run_action(ctx.actions.update_picture, last);
      }
      break;
    }
    case kShowNoPicture:
      write_log(ctx.log, "show no jpg!");
      break;
    case kDeleteAllPictures:
      write_log(ctx.log, "delete all jpg!");
      ctx.record_folder.delete_all_pictures(ctx.actions.remove_picture);
      run_action(ctx.actions.load_album);
      run_action(ctx.actions.show_video_area);
      break;
    default:
      break;
  }
}

int run_event_server(const EventServerContext& ctx) {
  std::vector<std::uint8_t> buffer(kEventReceiveSize);
  const WaitLimits limits{ctx.stop_requested, ctx.config.idle_timeout};
  return run_server_loop(ctx, ctx.config.event_port, [&](Socket connection) {
    std::fill(buffer.begin(), buffer.end(), 0);
    const long received = receive_once(connection.get(), buffer, limits);
    connection.close();
    if (received <= 0) {
      pause_unless_stopped(ctx.config.empty_read_pause, ctx.stop_requested);
      return;
    }
    const auto message = parse_event_message(std::span(buffer).first(received));
    if (message) handle_event_command(ctx, message->command);
  });
}

}  // namespace scopemark
