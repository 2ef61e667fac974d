#include "video/frame_exchange.h"

#include <new>

namespace scopemark {

std::shared_ptr<FrameExchange> FrameExchange::create(int capacity) {
  if (capacity <= 0) return nullptr;
  std::unique_ptr<uint32_t[]> pixels(new (std::nothrow)
                                         uint32_t[3 * static_cast<size_t>(capacity)]);
  if (!pixels) return nullptr;
  return std::make_shared<FrameExchange>(capacity, std::move(pixels));
}

FrameExchange::FrameExchange(int capacity, std::unique_ptr<uint32_t[]> pixels)
    : capacity_(capacity), pixels_(std::move(pixels)) {
  for (int i = 0; i < 3; ++i) {
    frames_[i].pixels = pixels_.get() + static_cast<size_t>(i) * capacity;
    frames_[i].index = i;
  }
}

void FrameExchange::publish() {
  back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & ~kFresh;
}

const DisplayFrame* FrameExchange::acquire() {
  if (middle_.load(std::memory_order_relaxed) & kFresh) {
    front_ = middle_.exchange(front_, std::memory_order_acq_rel) & ~kFresh;
    front_valid_ = true;
  }
  return front_valid_ ? &frames_[front_] : nullptr;
}

}  // namespace scopemark
