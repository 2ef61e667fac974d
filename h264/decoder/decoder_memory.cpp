#include "h264/decoder/decoder_memory.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {
std::atomic<int> failure_countdown{-1};

bool injected_failure() {
  int left = failure_countdown.load();
  while (left >= 0) {
    if (failure_countdown.compare_exchange_weak(left, left - 1)) return left == 0;
  }
  return false;
}
}  // namespace

void* decoder_alloc(size_t size) {
  if (size > SIZE_MAX - 16 || injected_failure()) return nullptr;
  auto* raw = static_cast<uint8_t*>(std::calloc(size + 16, 1));
  if (!raw) return nullptr;
  uint8_t* aligned = raw + 16 - (reinterpret_cast<uintptr_t>(raw) & 15);
  aligned[-1] = static_cast<uint8_t>(aligned - raw);
  return aligned;
}

void decoder_free(void* block) {
  if (!block) return;
  auto* aligned = static_cast<uint8_t*>(block);
  std::free(aligned - aligned[-1]);
}

void decoder_alloc_fail_after(int successes) {
  failure_countdown.store(successes);
}
