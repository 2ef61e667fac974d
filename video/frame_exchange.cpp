#include "video/frame_exchange.h"

#include <new>

namespace scopemark {

namespace {

constexpr size_t kAlignedWords = FrameExchange::kAlignment / sizeof(uint32_t);

// Words from one buffer's start to the next one's.
size_t buffer_step(int capacity) {
  return (static_cast<size_t>(capacity) + kAlignedWords - 1) / kAlignedWords * kAlignedWords;
}

}  // namespace

void FrameExchange::AlignedDelete::operator()(uint32_t* pixels) const {
  ::operator delete[](pixels, std::align_val_t{kAlignment});
}

std::shared_ptr<FrameExchange> FrameExchange::create(int capacity) {
  if (capacity <= 0) return nullptr;
  Pixels pixels(static_cast<uint32_t*>(::operator new[](
      3 * buffer_step(capacity) * sizeof(uint32_t), std::align_val_t{kAlignment}, std::nothrow)));
  if (!pixels) return nullptr;
  return std::make_shared<FrameExchange>(capacity, std::move(pixels));
}

FrameExchange::FrameExchange(int capacity, Pixels pixels)
    : capacity_(capacity), pixels_(std::move(pixels)) {
  for (int i = 0; i < 3; ++i) {
    frames_[i].pixels = pixels_.get() + i * buffer_step(capacity);
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
