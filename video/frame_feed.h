// The display target the decode thread draws into, apart from any widget.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "video/display_surface.h"

namespace scopemark {

// Holds the frames of a DisplaySurface and a wake-up descriptor that becomes readable when a
// frame is published. attach_frames and frame_published may be called from any thread; the
// painting side reads frames() and drains the descriptor. Shared between the session that
// runs the decode thread and the widget that paints, so neither outlives the other's use.
class FrameFeed final : public DisplayTarget {
 public:
  FrameFeed();
  FrameFeed(const FrameFeed&) = delete;
  FrameFeed& operator=(const FrameFeed&) = delete;
  ~FrameFeed() override;

  void attach_frames(std::shared_ptr<FrameExchange> frames) override;
  void frame_published() override;
  DisplaySize display_size() const override;
  // The painting side's size, asked of the display surface from the next picture on.
  void set_display_size(int width, int height);
  // The painting side shows nothing until the next set_display_size.
  void set_display_hidden();
  // While set, pictures are converted at their own size whatever the painting side's size
  // (for users of the frames that need every pixel of the picture).
  void set_full_resolution(bool full) { full_resolution_.store(full, std::memory_order_relaxed); }

  std::shared_ptr<FrameExchange> frames() const { return frames_.load(); }
  // Pictures published so far; any thread may read it to see whether pictures arrive.
  uint64_t published_count() const { return published_.load(std::memory_order_relaxed); }
  // Readable after a publish until drained; -1 when none could be made.
  int wake_fd() const { return wake_fd_; }
  void drain_wake();

 private:
  void wake();

  std::atomic<std::shared_ptr<FrameExchange>> frames_;
  std::atomic<uint64_t> published_{0};
  std::atomic<uint64_t> display_size_{0};  // width << 32 | height, or kHidden
  static constexpr uint64_t kHidden = ~uint64_t{0};
  std::atomic<bool> full_resolution_{false};
  int wake_fd_ = -1;
};

}  // namespace scopemark
