// Hand-over of converted pictures from the decode thread to the painting thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace scopemark {

// One converted picture: width x height words 0xFFRRGGBB, rows back to back. A picture
// converted straight to the display's size keeps its own size in picture_width x
// picture_height (the same as width x height otherwise).
struct DisplayFrame {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int picture_width = 0;
  int picture_height = 0;
  int index = 0;  // which of the three buffers
};

// Triple buffer for one producer and one consumer; the consumer always gets the newest
// published frame and neither side ever waits. All three buffers are allocated up front
// for `capacity` pixels.
// Memory order: the buffers change hands only through `middle_`. publish() exchanges with
// release, so every pixel and size written into back() before it is visible to the consumer
// whose acquire() (an acquire exchange) takes that buffer; each side then owns its buffer
// alone until it hands it back the same way, so no pixel is ever read while being written.
// A producer that fills the buffer with non-temporal stores fences them (sfence) before it
// publishes, as the display conversion does.
// Each buffer starts on a 64-byte boundary.
class FrameExchange {
 public:
  // Null when the buffers cannot be allocated.
  static std::shared_ptr<FrameExchange> create(int capacity);

  int capacity() const { return capacity_; }

  // Producer: the buffer to fill next; set its width and height before publishing.
  DisplayFrame& back() { return frames_[back_]; }
  // Producer: the back buffer becomes the newest frame.
  void publish();

  // Consumer: the newest frame (kept until a newer one is published), or null before the
  // first one. The frame stays untouched by the producer until the next acquire.
  const DisplayFrame* acquire();

  struct AlignedDelete {
    void operator()(uint32_t* pixels) const;
  };
  using Pixels = std::unique_ptr<uint32_t[], AlignedDelete>;
  static constexpr std::size_t kAlignment = 64;

  // Use create; public for make_shared.
  FrameExchange(int capacity, Pixels pixels);

 private:
  static constexpr int kFresh = 4;

  int capacity_;
  Pixels pixels_;
  DisplayFrame frames_[3];
  int back_ = 0;                // producer only
  int front_ = 1;               // consumer only
  bool front_valid_ = false;    // consumer only
  std::atomic<int> middle_{2};  // buffer index, plus kFresh while unread
};

}  // namespace scopemark
