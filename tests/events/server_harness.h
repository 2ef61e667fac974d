#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "events/server_context.h"
#include "link/sockets.h"

namespace scopemark::testing {

// Longest any test waits for the servers; a healthy server answers in milliseconds.
inline constexpr std::chrono::seconds kPatience{10};

// A fresh folder below the system's temporary folder, removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Collects log texts from one server thread.
class LogRecorder {
 public:
  LogFunction sink();
  int count(std::string_view text) const;
  int count_prefix(std::string_view prefix) const;
  // Waits until at least `n` texts start with `prefix`; false when that takes too long.
  bool wait_prefix(std::string_view prefix, int n) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> lines_;
};

// Records which window actions ran; its picture saver writes a marker and the bytes it got.
class ActionRecorder {
 public:
  static constexpr std::string_view kMarker = "decoded:";
  EventActions actions();
  std::vector<std::string> calls() const;
  void set_decode_succeeds(bool succeeds) { decode_succeeds_ = succeeds; }
  // The camera's deletions move files into `folder` from now on; before, they delete.
  void set_trash(std::filesystem::path folder) {
    std::lock_guard lock(mutex_);
    trash_ = std::move(folder);
  }

 private:
  void record(std::string call);
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::atomic<bool> decode_succeeds_{true};
  std::filesystem::path trash_;
};

enum class Server { event, picture };

// Both servers on loopback with ephemeral ports, a temporary record folder and fakes for the
// window; stopped and joined on destruction.
class ServerHarness {
 public:
  explicit ServerHarness(EventServerConfig config = loopback_config());
  ~ServerHarness();

  static EventServerConfig loopback_config();

  std::uint16_t port(Server server) const;
  const std::filesystem::path& record_folder() const { return folder_.path(); }
  LogRecorder& log(Server server) { return server == Server::event ? event_log_ : picture_log_; }

  // Connects from `from` (a loopback address) and counts the connection for `fence`.
  Socket connect(Server server, const char* from = "127.0.0.1");
  // Returns once every earlier connection to `server` has been handled completely.
  void fence(Server server);
  // Sends `bytes` on a connection of its own and waits until the server has handled them.
  void deliver(Server server, std::span<const std::uint8_t> bytes);
  // Asks both servers to stop; true when both threads ended in time.
  bool stop();

  std::atomic<bool> capture_requested{false};
  std::atomic<bool> display_frozen{false};
  std::atomic<bool> stop_requested{false};
  ReceivedPicturePath received_picture_path;
  ActionRecorder actions;

 private:
  TempFolder folder_;
  LogRecorder event_log_;
  LogRecorder picture_log_;
  std::atomic<std::uint16_t> event_port_{0};
  std::atomic<std::uint16_t> picture_port_{0};
  std::atomic<int> running_{0};
  int event_connections_ = 0;
  int picture_connections_ = 0;
  std::thread event_thread_;
  std::thread picture_thread_;
};

// Client side helpers; every call is bounded by kPatience.
Socket connect_from(std::uint16_t port, const char* from);
bool send_bytes(int fd, std::span<const std::uint8_t> bytes);
bool wait_closed_by_peer(int fd);

// A command message cut to or padded up to `size` bytes.
std::vector<std::uint8_t> event_message(std::uint16_t command, std::size_t size = 10);
// A picture of `size` bytes in a recognisable pattern.
std::vector<std::uint8_t> sample_picture(std::size_t size, std::uint8_t seed = 1);
std::vector<std::uint8_t> picture_packet(std::uint16_t length, std::string_view name,
                                         std::span<const std::uint8_t> payload);
// The packets of a whole transfer of `picture` under `name`.
std::vector<std::uint8_t> picture_transfer(std::span<const std::uint8_t> picture,
                                           std::string_view name);
std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, std::string_view content);

}  // namespace scopemark::testing
