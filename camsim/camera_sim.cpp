#include "camsim/camera_sim.h"

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "link/messages.h"

namespace scopemark::camsim {

namespace {

constexpr std::chrono::milliseconds kClientConnectTimeout(3000);
constexpr std::chrono::milliseconds kStopSlice(50);

// Sleeps until deadline; false when stop was set first.
bool sleep_until(std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& stop) {
  for (;;) {
    if (stop.load()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return true;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(deadline - now, kStopSlice));
  }
}

Socket connect_client(const ClientTarget& target) {
  if (!is_loopback_address(target.source_address) || !is_loopback_address(target.viewer_address)) {
    return {};
  }
  const auto source = make_address(target.source_address, 0);
  const auto viewer = make_address(target.viewer_address, target.port);
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (!socket.valid() ||
      bind(socket.get(), reinterpret_cast<const sockaddr*>(&*source), sizeof *source) != 0 ||
      connect_with_timeout(socket.get(), *viewer, kClientConnectTimeout) != 0) {
    return {};
  }
  return socket;
}

int send_whole(const ClientTarget& target, const uint8_t* bytes, size_t size) {
  Socket socket = connect_client(target);
  if (!socket.valid()) return -1;
  return send_all(socket.get(), bytes, size) == static_cast<int>(size) ? 0 : -1;
}

}  // namespace

bool ServerThread::start(const std::string& address, uint16_t port, Handler handler) {
  stop();
  if (!is_loopback_address(address)) return false;
  listener_ = listen_on(address, port);
  if (!listener_.valid()) return false;
  port_ = local_port(listener_.get());
  stop_.store(false);
  thread_ = std::thread(&ServerThread::serve, this, std::move(handler));
  return true;
}

void ServerThread::stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  listener_.close();
}

void ServerThread::serve(Handler handler) {
  // Named apart from the viewer's own threads, so that the CPU of an in-process camera shows.
  pthread_setname_np(pthread_self(), "camsim");
  while (wait_socket(listener_.get(), POLLIN, &stop_) == 1) {
    Socket connection(accept(listener_.get(), nullptr, nullptr));
    if (connection.valid()) handler(std::move(connection), stop_);
  }
}

StreamServer::StreamServer(StreamServerOptions options)
    : options_(std::move(options)), plan_(plan_stream(options_.stream)) {}

bool StreamServer::start() {
  if (!server_.start(options_.address, options_.port, handler())) return false;
  options_.port = server_.port();
  return true;
}

void StreamServer::set_stream(std::vector<uint8_t> stream) {
  options_.stream = std::move(stream);
  plan_ = plan_stream(options_.stream);
}

ServerThread::Handler StreamServer::handler() {
  return [this](Socket connection, const std::atomic<bool>& stop) {
    serve_connection(connection, stop);
  };
}

void StreamServer::serve_connection(const Socket& connection, const std::atomic<bool>& stop) const {
  StreamRequest request{};
  if (receive_exact(connection.get(), request.data(), kStreamRequestSize, options_.log, &stop) !=
      kStreamRequestSize) {
    return;
  }
  if (request != make_stream_request()) {
    write_log(options_.log, "camsim: not a stream request, connection closed\n");
    return;
  }
  if (plan_.frame_starts.empty()) return;
  std::minstd_rand random(options_.seed);
  std::uniform_int_distribution<size_t> segment_size(1, std::max<size_t>(options_.max_segment, 1));
  const auto start = std::chrono::steady_clock::now();
  const std::chrono::duration<double> period(options_.frame_rate > 0 ? 1 / options_.frame_rate : 0);
  uint64_t sent = 0;
  size_t frame = 0;
  for (uint64_t shown = 0;; ++shown) {
    const auto due =
        start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(period * shown);
    if (!sleep_until(due, stop)) return;
    size_t offset = plan_.frame_starts[frame];
    const size_t end = frame + 1 < plan_.frame_starts.size() ? plan_.frame_starts[frame + 1]
                                                             : options_.stream.size();
    while (offset < end) {
      size_t size = std::min(segment_size(random), end - offset);
      if (options_.close_after > 0) {
        size = static_cast<size_t>(std::min<uint64_t>(size, options_.close_after - sent));
      }
      if (send_all(connection.get(), &options_.stream[offset], size, &stop) !=
          static_cast<int>(size)) {
        return;
      }
      offset += size;
      sent += size;
      if (options_.close_after > 0 && sent == options_.close_after) return;
    }
    frame = frame + 1 < plan_.frame_starts.size() ? frame + 1 : plan_.loop_frame;
  }
}

AdjustServer::AdjustServer(AdjustServerOptions options)
    : options_(std::move(options)),
      brightness_(static_cast<uint16_t>(options_.initial.brightness)),
      contrast_(static_cast<uint16_t>(options_.initial.contrast)),
      saturation_(static_cast<uint16_t>(options_.initial.saturation)),
      hue_(static_cast<uint16_t>(options_.initial.hue)) {}

VideoAdjustValues AdjustServer::values() const {
  return {brightness_.load(), contrast_.load(), saturation_.load(), hue_.load()};
}

ServerThread::Handler AdjustServer::handler() {
  return [this](Socket connection, const std::atomic<bool>& stop) {
    VideoAdjustBytes bytes{};
    if (receive_exact(connection.get(), bytes.data(), kVideoAdjustSize, options_.log, &stop) !=
        kVideoAdjustSize) {
      return;
    }
    const VideoAdjustMessage request = decode_video_adjust(bytes);
    if (request.command != kVideoAdjustCommand) return;
    if (request.direction == kAdjustSet) {
      brightness_.store(request.brightness);
      contrast_.store(request.contrast);
      saturation_.store(request.saturation);
      hue_.store(request.hue);
      sets_.fetch_add(1);
    } else if (request.direction == kAdjustGet) {
      VideoAdjustMessage reply;
      reply.command = options_.reply_command;
      reply.direction = kAdjustGet;
      reply.contrast = contrast_.load();
      reply.brightness = brightness_.load();
      reply.saturation = saturation_.load();
      reply.hue = hue_.load();
      const VideoAdjustBytes reply_bytes = encode_video_adjust(reply);
      send_all(connection.get(), reply_bytes.data(), reply_bytes.size(), &stop);
    }
  };
}

std::array<uint8_t, kEventMessageSize> make_event_message(uint16_t command) {
  std::array<uint8_t, kEventMessageSize> message{};
  write_le16(&message[8], command);
  return message;
}

std::vector<uint8_t> make_picture_packets(const std::vector<uint8_t>& picture,
                                          const std::string& name) {
  std::vector<uint8_t> packets;
  size_t offset = 0;
  for (;;) {
    const size_t length = std::min(picture.size() - offset, size_t{kPicturePayloadSize});
    const size_t at = packets.size();
    packets.resize(at + kPicturePacketSize, 0);
    uint8_t* packet = &packets[at];
    write_le16(packet + 10, static_cast<uint16_t>(length));
    std::copy_n(name.begin(), std::min(name.size(), size_t{kPictureNameSize}), packet + 19);
    std::copy_n(picture.begin() + static_cast<std::ptrdiff_t>(offset), length, packet + 38);
    offset += length;
    if (length != kPicturePayloadSize) return packets;
  }
}

int send_event(const ClientTarget& target, uint16_t command) {
  const auto message = make_event_message(command);
  return send_whole(target, message.data(), message.size());
}

int send_picture(const ClientTarget& target, const std::vector<uint8_t>& picture,
                 const std::string& name) {
  const std::vector<uint8_t> packets = make_picture_packets(picture, name);
  return send_whole(target, packets.data(), packets.size());
}

}  // namespace scopemark::camsim
