#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace scopemark {

inline constexpr int kRingSlots = 1500;
inline constexpr int kChunkBytes = 4096;

// One chunk of the camera stream. `ready` is 1 while the chunk waits for the consumer;
// it is written with release and read with acquire semantics around `length` and `data`.
struct PacketSlot {
  std::atomic<int32_t> ready{0};
  int32_t length = 0;
  uint8_t data[kChunkBytes] = {};
};
static_assert(sizeof(PacketSlot) == 4104);

// Single-producer single-consumer ring of stream chunks. The producer alone writes
// `write_index`, the consumer alone `read_index`. About 6 MB: allocate it statically or on
// the heap, never on a stack.
struct PacketRing {
  PacketSlot entries[kRingSlots];
  int32_t write_index = 0;
  int32_t read_index = 0;
};

// Empties every slot and sets both indices to 0. No thread may use the ring meanwhile.
void ring_reset(PacketRing& ring);

// Producer: stores up to kChunkBytes bytes (longer input is cut there) in the slot at the
// write index and advances it. Returns false, dropping the chunk, when that slot is still full.
bool ring_put(PacketRing& ring, const void* bytes, size_t length);

// Consumer: copies the chunk at the read index into out (kChunkBytes bytes of room), empties
// the slot and advances the index. Returns the chunk's length, or -1 when the ring is empty.
int ring_take(PacketRing& ring, uint8_t* out);

}  // namespace scopemark
