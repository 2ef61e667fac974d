#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <utility>

#include "events/log_sink.h"

namespace scopemark {

// Owns one socket descriptor and closes it when destroyed.
class SocketHandle {
 public:
  SocketHandle() = default;
  explicit SocketHandle(int fd) : fd_(fd) {}
  SocketHandle(SocketHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  SocketHandle& operator=(SocketHandle&& other) noexcept;
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;
  ~SocketHandle() { close(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void close();

 private:
  int fd_ = -1;
};

using Deadline = std::chrono::steady_clock::time_point;

// Longest time a blocked server waits before it looks at its stop flag again.
inline constexpr std::chrono::milliseconds kStopCheckInterval{50};

// What ends a wait early: the stop flag, and for reads from a peer the silence allowed.
struct WaitLimits {
  const std::atomic<bool>& stop_requested;
  std::chrono::milliseconds idle_timeout;
};

enum class WaitResult { ready, stopped, timed_out, failed };

// Waits until `fd` has data, a pending connection, an error or an orderly close to report.
WaitResult wait_readable(int fd, const std::atomic<bool>& stop_requested, Deadline deadline);

// One receive of at most buffer.size() bytes once data arrive. Returns the count, 0 when the
// peer closed, -1 on failure, on stop, or after `idle_timeout` without data.
long receive_once(int fd, std::span<std::uint8_t> buffer, const WaitLimits& limits);

// Fills `buffer` completely. Returns its size, or -1 after logging
// "net enviorment is so bad!\n" when the peer closes, fails or stays silent first, or stop
// is requested.
long receive_exact(int fd, std::span<std::uint8_t> buffer, const WaitLimits& limits,
                   const LogSink& log);

// Sleeps for `duration`, waking early when stop is requested.
void pause_unless_stopped(std::chrono::milliseconds duration,
                          const std::atomic<bool>& stop_requested);

}  // namespace scopemark
