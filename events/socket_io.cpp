#include "events/socket_io.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "link/sockets.h"

namespace scopemark {

long receive_once(int fd, std::span<std::uint8_t> buffer, const WaitLimits& limits) {
  for (;;) {
    if (wait_socket(fd, POLLIN, &limits.stop_requested, limits.idle_timeout) != 1) return -1;
    const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (got >= 0) return got;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
  }
}

void pause_unless_stopped(std::chrono::milliseconds duration,
                          const std::atomic<bool>& stop_requested) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (!stop_requested.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kStopCheckInterval, end - now));
  }
}

}  // namespace scopemark
