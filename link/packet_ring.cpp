#include "link/packet_ring.h"

#include <algorithm>
#include <cstring>

namespace scopemark {

void ring_reset(PacketRing& ring) {
  for (PacketSlot& slot : ring.entries) {
    slot.ready.store(0, std::memory_order_relaxed);
    slot.length = 0;
    std::memset(slot.data, 0, sizeof slot.data);
  }
  ring.write_index = 0;
  ring.read_index = 0;
}

bool ring_put(PacketRing& ring, const void* bytes, size_t length) {
  PacketSlot& slot = ring.entries[ring.write_index];
  if (slot.ready.load(std::memory_order_acquire) == 1) return false;
  const size_t stored = std::min(length, static_cast<size_t>(kChunkBytes));
  if (stored > 0) std::memcpy(slot.data, bytes, stored);
  slot.length = static_cast<int32_t>(stored);
  slot.ready.store(1, std::memory_order_release);
  ring.write_index = ring.write_index + 1 == kRingSlots ? 0 : ring.write_index + 1;
  return true;
}

int ring_take(PacketRing& ring, uint8_t* out) {
  PacketSlot& slot = ring.entries[ring.read_index];
  if (slot.ready.load(std::memory_order_acquire) != 1) return -1;
  const int length = slot.length;
  std::memcpy(out, slot.data, static_cast<size_t>(length));
  slot.ready.store(0, std::memory_order_release);
  ring.read_index = ring.read_index + 1 == kRingSlots ? 0 : ring.read_index + 1;
  return length;
}

}  // namespace scopemark
