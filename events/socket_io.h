#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>

namespace scopemark {

// Longest time a blocked server waits before it looks at its stop flag again.
inline constexpr std::chrono::milliseconds kStopCheckInterval{50};

// What ends a wait early: the stop flag, and for reads from a peer the silence allowed.
struct WaitLimits {
  const std::atomic<bool>& stop_requested;
  std::chrono::milliseconds idle_timeout;
};

// One receive of at most buffer.size() bytes once data arrive. Returns the count, 0 when the
// peer closed, -1 on failure, on stop, or after `idle_timeout` without data.
long receive_once(int fd, std::span<std::uint8_t> buffer, const WaitLimits& limits);

// Sleeps for `duration`, waking early when stop is requested.
void pause_unless_stopped(std::chrono::milliseconds duration,
                          const std::atomic<bool>& stop_requested);

}  // namespace scopemark
