#include "video/frame_feed.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <utility>

namespace scopemark {

FrameFeed::FrameFeed() : wake_fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

FrameFeed::~FrameFeed() {
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void FrameFeed::attach_frames(std::shared_ptr<FrameExchange> frames) {
  frames_.store(std::move(frames));
  wake();
}

void FrameFeed::frame_published() {
  published_.fetch_add(1, std::memory_order_relaxed);
  wake();
}

DisplaySize FrameFeed::display_size() const {
  const uint64_t size = display_size_.load(std::memory_order_relaxed);
  if (size == kHidden) return {.hidden = true};
  if (full_resolution_.load(std::memory_order_relaxed)) return {};
  return {static_cast<int>(size >> 32), static_cast<int>(size & 0xFFFFFFFFu)};
}

void FrameFeed::set_display_hidden() {
  display_size_.store(kHidden, std::memory_order_relaxed);
}

void FrameFeed::set_display_size(int width, int height) {
  if (width < 0 || height < 0) width = height = 0;
  display_size_.store(uint64_t{static_cast<uint32_t>(width)} << 32 | static_cast<uint32_t>(height),
                      std::memory_order_relaxed);
}

void FrameFeed::wake() {
  if (wake_fd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
}

void FrameFeed::drain_wake() {
  if (wake_fd_ < 0) return;
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(wake_fd_, &count, sizeof count);
}

}  // namespace scopemark
