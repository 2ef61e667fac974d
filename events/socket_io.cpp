#include "events/socket_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace scopemark {

SocketHandle& SocketHandle::operator=(SocketHandle&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void SocketHandle::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

WaitResult wait_readable(int fd, const std::atomic<bool>& stop_requested, Deadline deadline) {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  while (!stop_requested.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return WaitResult::timed_out;
    const auto slice =
        std::min(kStopCheckInterval, duration_cast<milliseconds>(deadline - now) + milliseconds(1));
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(slice.count()));
    if (ready > 0) return WaitResult::ready;
    if (ready < 0 && errno != EINTR) return WaitResult::failed;
  }
  return WaitResult::stopped;
}

long receive_once(int fd, std::span<std::uint8_t> buffer, const WaitLimits& limits) {
  const Deadline deadline = std::chrono::steady_clock::now() + limits.idle_timeout;
  for (;;) {
    if (wait_readable(fd, limits.stop_requested, deadline) != WaitResult::ready) return -1;
    const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (got >= 0) return got;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
  }
}

long receive_exact(int fd, std::span<std::uint8_t> buffer, const WaitLimits& limits,
                   const LogSink& log) {
  std::size_t count = 0;
  while (count < buffer.size()) {
    const long got = receive_once(fd, buffer.subspan(count), limits);
    if (got <= 0) {
      log_text(log, "net enviorment is so bad!\n");
      return -1;
    }
    count += static_cast<std::size_t>(got);
  }
  return static_cast<long>(count);
}

void pause_unless_stopped(std::chrono::milliseconds duration,
                          const std::atomic<bool>& stop_requested) {
  const Deadline end = std::chrono::steady_clock::now() + duration;
  while (!stop_requested.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kStopCheckInterval, end - now));
  }
}

}  // namespace scopemark
