#include "link/camera_link.h"

#include <sys/socket.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>

#include "link/messages.h"

namespace scopemark {

namespace {

constexpr std::chrono::milliseconds kStreamSendTimeout(20);
constexpr std::chrono::milliseconds kControlTimeout(8);
constexpr std::chrono::milliseconds kStopSlice(50);
constexpr std::chrono::milliseconds kRingFullPause(10);

int set_reuse_address(int socket) {
  const int one = 1;
  return setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 ? 0 : -1;
}

// Binds to address:port unless address is empty; a failure shows "bind error".
void bind_local(int socket, const std::string& address, uint16_t port, const LinkHooks& hooks) {
  if (address.empty()) return;
  const auto local = make_address(address, port);
  if (!local || bind(socket, reinterpret_cast<const sockaddr*>(&*local), sizeof *local) != 0) {
    show_message(hooks.message, hooks.log, "bind error");
  }
}

int connect_camera(int socket, const LinkConfig& config, uint16_t port, const LinkHooks& hooks,
                   const std::atomic<bool>* stop) {
  const auto camera = make_address(config.camera_address, port);
  if (!camera) return -1;
  const ConnectFunction& connect = hooks.connect ? hooks.connect : connect_with_timeout;
  return connect(socket, *camera, config.connect_timeout, stop);
}

// Sends one whole message in a single call, as the camera expects it.
bool send_message(int socket, const uint8_t* bytes, size_t size) {
  return send(socket, bytes, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

// Socket for one adjustment exchange with reuse-address set and the 8 ms send time-out;
// invalid (after its log line) when a step fails.
Socket open_control_socket(const LinkHooks& hooks) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (!socket.valid()) {
    write_log(hooks.log, "socket");
    return {};
  }
  if (set_reuse_address(socket.get()) != 0) {
    write_log(hooks.log, "SO_REUSEADDR error!");
    return {};
  }
  if (set_socket_timeout(socket.get(), SO_SNDTIMEO, kControlTimeout) != 0) {
    write_log(hooks.log, "SO_SNDTIMEO error!");
    return {};
  }
  return socket;
}

// Connects to the adjustment port and sends message: 0, -2 without a connection, -1 when
// the message did not go out whole (logging send_failure).
int exchange_request(int socket, const VideoAdjustMessage& message, const LinkConfig& config,
                     const LinkHooks& hooks, const char* send_failure,
                     const std::atomic<bool>* stop) {
  if (connect_camera(socket, config, config.adjust_port, hooks, stop) != 0) {
    write_log(hooks.log, "connect error111!\n");
    return -2;
  }
  const VideoAdjustBytes bytes = encode_video_adjust(message);
  write_log(hooks.log, "now start!\n");
  if (!send_message(socket, bytes.data(), bytes.size())) {
    write_log(hooks.log, send_failure);
    return -1;
  }
  return 0;
}

// Sleeps for pause in short slices; false when stop was set first.
bool sleep_unless_stopped(std::chrono::milliseconds pause, const std::atomic<bool>& stop) {
  const auto until = std::chrono::steady_clock::now() + pause;
  while (!stop.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(until - now, kStopSlice));
  }
  return false;
}

// Puts the end-of-stream mark, waiting while the ring is full; false when stop came first.
bool put_end_of_stream(PacketRing& ring, const std::atomic<bool>& stop) {
  while (!ring_put(ring, nullptr, 0)) {
    if (!sleep_unless_stopped(kRingFullPause, stop)) return false;
  }
  return true;
}

int stream_connection(PacketRing& ring, const LinkConfig& config, const std::atomic<bool>& stop,
                      const LinkHooks& hooks, const std::function<void()>& connected) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (!socket.valid()) return -1;
  if (set_reuse_address(socket.get()) != 0) return -2;
  if (set_socket_timeout(socket.get(), SO_SNDTIMEO, kStreamSendTimeout) != 0) return -3;
  bind_local(socket.get(), config.local_address, config.stream_port, hooks);
  if (connect_camera(socket.get(), config, config.stream_port, hooks, &stop) != 0) {
    // A connect cut short by stop happens while the window closes: no message then.
    if (!stop.load()) show_message(hooks.message, hooks.log, "No Device", "Error");
    return -5;
  }
  const StreamRequest request = make_stream_request();
  if (!send_message(socket.get(), request.data(), request.size())) return -6;
  if (connected) connected();
  uint8_t piece[kChunkBytes];
  bool put_any = false;
  while (!stop.load()) {
    const int got =
        receive_some(socket.get(), piece, kChunkBytes, hooks.log, &stop, config.stream_silence);
    if (got < 0) break;
    ring_put(ring, piece, static_cast<size_t>(got));
    put_any = true;
  }
  socket.close();
  if (put_any) put_end_of_stream(ring, stop);
  return 0;
}

}  // namespace

int run_stream_connection(PacketRing& ring, const LinkConfig& config, const std::atomic<bool>& stop,
                          const LinkHooks& hooks, const StreamEvents& events) {
  const int result = stream_connection(ring, config, stop, hooks, events.connected);
  if (events.ended) events.ended(result);
  return result;
}

void run_stream_receiver(PacketRing& ring, const LinkConfig& config, const std::atomic<bool>& stop,
                         const LinkHooks& hooks, const StreamEvents& events) {
  LinkHooks once = hooks;
  std::set<std::string> shown;
  once.message = [&shown, &hooks](const std::string& text, const std::string& caption) {
    if (shown.insert(text).second) show_message(hooks.message, hooks.log, text, caption);
  };
  std::chrono::milliseconds pause = kReconnectPause;
  while (!stop.load()) {
    bool made = false;
    StreamEvents watched = events;
    watched.connected = [&made, &events] {
      made = true;
      if (events.connected) events.connected();
    };
    run_stream_connection(ring, config, stop, once, watched);
    if (made) pause = kReconnectPause;
    if (!sleep_unless_stopped(pause, stop)) break;
    pause = std::min(pause * 2, kReconnectPauseMax);
  }
}

int send_video_adjust(int brightness, int contrast, int saturation, int hue,
                      const LinkConfig& config, const LinkHooks& hooks,
                      const std::atomic<bool>* stop) {
  const Socket socket = open_control_socket(hooks);
  if (!socket.valid()) return -1;
  if (set_socket_timeout(socket.get(), SO_RCVTIMEO, kControlTimeout) != 0) {
    write_log(hooks.log, "SO_RCVTIMEO error!");
    return -3;
  }
  VideoAdjustMessage message;
  message.direction = kAdjustSet;
  message.contrast = static_cast<uint16_t>(contrast);
  message.brightness = static_cast<uint16_t>(brightness);
  message.saturation = static_cast<uint16_t>(saturation);
  message.hue = static_cast<uint16_t>(hue);
  return exchange_request(socket.get(), message, config, hooks, "send VIDEO_ADJUST failed.\n",
                          stop);
}

int get_video_adjust(VideoAdjustValues& values, const LinkConfig& config, const LinkHooks& hooks,
                     const std::atomic<bool>* stop) {
  Socket socket = open_control_socket(hooks);
  if (!socket.valid()) return -1;
  bind_local(socket.get(), config.get_bind_address, config.adjust_port, hooks);
  // The reply wait is bounded like the connect, so a silent camera cannot hang the window.
  if (set_socket_timeout(socket.get(), SO_RCVTIMEO, config.connect_timeout) != 0) {
    write_log(hooks.log, "SO_RCVTIMEO error!");
    return -1;
  }
  VideoAdjustMessage request;
  request.direction = kAdjustGet;
  const int sent =
      exchange_request(socket.get(), request, config, hooks, "send m_mediainfo failed.\n", stop);
  if (sent != 0) return sent;
  VideoAdjustBytes reply{};
  const int received = receive_exact(socket.get(), reply.data(), kVideoAdjustSize, hooks.log, stop,
                                     config.connect_timeout);
  if (received < 0) {
    write_log(hooks.log, "recv error.\n");
    return -1;
  }
  write_log(hooks.log, "nByteRecv:" + std::to_string(received) + ".\n");
  socket.close();
  const VideoAdjustMessage answer = decode_video_adjust(reply);
  if (answer.command != kVideoAdjustCommand) return -1;
  values.contrast = answer.contrast;
  values.brightness = answer.brightness;
  values.saturation = answer.saturation;
  values.hue = answer.hue;
  return 0;
}

}  // namespace scopemark
