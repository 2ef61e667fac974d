#include "server_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "events/event_server.h"
#include "events/picture_server.h"

namespace scopemark::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "scopemark-events-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

LogFunction LogRecorder::sink() {
  return [this](std::string_view text) {
    {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(text);
    }
    changed_.notify_all();
  };
}

int LogRecorder::count(std::string_view text) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& line : lines_) n += line == text;
  return n;
}

int LogRecorder::count_prefix(std::string_view prefix) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& line : lines_) n += line.starts_with(prefix);
  return n;
}

bool LogRecorder::wait_prefix(std::string_view prefix, int n) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, kPatience, [&] {
    int found = 0;
    for (const auto& line : lines_) found += line.starts_with(prefix);
    return found >= n;
  });
}

EventActions ActionRecorder::actions() {
  return EventActions{
      .load_album = [this] { record("load_album"); },
      .update_picture =
          [this](const std::filesystem::path& path) { record("update_picture " + path.string()); },
      .show_video_area = [this] { record("show_video_area"); },
      .show_picture_view = [this] { record("show_picture_view"); },
      .show_single_picture =
          [this](const fs::path& path) { record("show_single_picture " + path.string()); },
      .decode_and_save_bmp =
          [this](std::span<const std::uint8_t> bytes, const fs::path& path) {
            record("decode_and_save_bmp");
            if (!decode_succeeds_) return StoreProblem::undecodable;
            std::ofstream out(path, std::ios::binary);
            out << kMarker;
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            return out ? StoreProblem::none : StoreProblem::write_failed;
          },
      .remove_picture =
          [this](const fs::path& path) {
            std::lock_guard lock(mutex_);
            std::error_code ec;
            if (trash_.empty()) return fs::remove(path, ec);
            fs::rename(path, trash_ / path.filename(), ec);
            return !ec;
          },
      .picture_not_stored =
          [this](const fs::path& path, StoreProblem problem) {
            record("picture_not_stored " + path.string() + " " +
                   std::to_string(static_cast<int>(problem)));
          },
  };
}

std::vector<std::string> ActionRecorder::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void ActionRecorder::record(std::string call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
}

EventServerConfig ServerHarness::loopback_config() {
  EventServerConfig config;
  config.camera_address = "127.0.0.1";
  config.listen_address = "127.0.0.1";
  config.event_port = 0;
  config.picture_port = 0;
  config.empty_read_pause = std::chrono::milliseconds(2);
  return config;
}

ServerHarness::ServerHarness(EventServerConfig config) {
  EventServerContext base{
      .config = config,
      .record_folder = RecordFolder(folder_.path()),
      .capture_requested = capture_requested,
      .display_frozen = display_frozen,
      .stop_requested = stop_requested,
      .received_picture_path = received_picture_path,
      .actions = actions.actions(),
  };
  EventServerContext event_ctx = base;
  event_ctx.log = event_log_.sink();
  event_ctx.listening = [this](std::uint16_t port) { event_port_ = port; };
  EventServerContext picture_ctx = base;
  picture_ctx.log = picture_log_.sink();
  picture_ctx.listening = [this](std::uint16_t port) { picture_port_ = port; };
  running_ = 2;
  event_thread_ = std::thread([this, event_ctx] {
    run_event_server(event_ctx);
    --running_;
  });
  picture_thread_ = std::thread([this, picture_ctx] {
    run_picture_server(picture_ctx);
    --running_;
  });
  event_log_.wait_prefix("tcpserver_thr", 1);
  picture_log_.wait_prefix("tcpserver_thr", 1);
}

ServerHarness::~ServerHarness() {
  stop();
  event_thread_.join();
  picture_thread_.join();
}

std::uint16_t ServerHarness::port(Server server) const {
  return server == Server::event ? event_port_.load() : picture_port_.load();
}

Socket ServerHarness::connect(Server server, const char* from) {
  ++(server == Server::event ? event_connections_ : picture_connections_);
  return connect_from(port(server), from);
}

void ServerHarness::fence(Server server) {
  Socket probe = connect(server);
  log(server).wait_prefix("[TCP Connection From",
                          server == Server::event ? event_connections_ : picture_connections_);
}

void ServerHarness::deliver(Server server, std::span<const std::uint8_t> bytes) {
  Socket client = connect(server);
  send_bytes(client.get(), bytes);
  client.close();
  fence(server);
}

bool ServerHarness::stop() {
  stop_requested = true;
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (running_.load() > 0 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return running_.load() == 0;
}

Socket connect_from(std::uint16_t port, const char* from) {
  Socket client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const timeval patience{static_cast<time_t>(kPatience.count()), 0};
  ::setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  ::setsockopt(client.get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &local.sin_addr);
  ::bind(client.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
  if (::connect(client.get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    client.close();
  }
  return client;
}

bool send_bytes(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(sent));
  }
  return true;
}

bool wait_closed_by_peer(int fd) {
  std::uint8_t byte;
  for (;;) {
    const ssize_t got = ::recv(fd, &byte, 1, 0);
    if (got == 0) return true;
    if (got < 0) return errno == ECONNRESET;
  }
}

std::vector<std::uint8_t> event_message(std::uint16_t command, std::size_t size) {
  std::vector<std::uint8_t> message(10, 0x5a);
  message[8] = static_cast<std::uint8_t>(command & 0xff);
  message[9] = static_cast<std::uint8_t>(command >> 8);
  message.resize(size, 0x5a);
  return message;
}

std::vector<std::uint8_t> sample_picture(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> picture(size);
  for (std::size_t i = 0; i < size; ++i) {
    picture[i] = static_cast<std::uint8_t>(i * 31 + i / 251 + seed);
  }
  return picture;
}

std::vector<std::uint8_t> picture_packet(std::uint16_t length, std::string_view name,
                                         std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> packet(8230, 0xee);
  packet[10] = static_cast<std::uint8_t>(length & 0xff);
  packet[11] = static_cast<std::uint8_t>(length >> 8);
  std::fill_n(packet.begin() + 19, 14, 0);
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 14), packet.begin() + 19);
  std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), 8192), packet.begin() + 38);
  return packet;
}

std::vector<std::uint8_t> picture_transfer(std::span<const std::uint8_t> picture,
                                           std::string_view name) {
  std::vector<std::uint8_t> stream;
  std::size_t offset = 0;
  for (;;) {
    const std::size_t length = std::min<std::size_t>(8192, picture.size() - offset);
    const auto packet = picture_packet(static_cast<std::uint16_t>(length),
                                       offset == 0 ? name : "ignored", picture.subspan(offset));
    stream.insert(stream.end(), packet.begin(), packet.end());
    offset += length;
    if (length < 8192) return stream;
  }
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, std::string_view content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace scopemark::testing
