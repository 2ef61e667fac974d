#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace scopemark {

inline constexpr int kRingSlots = 1500;
inline constexpr int kChunkBytes = 4096;

// One piece of the camera stream: the bytes as they arrived, 1 to kChunkBytes of them, or
// none to mark the end of one connection's stream (what follows belongs to a new stream).
// `ready` is 1 while the slot waits for the consumer. The producer writes `length` and `data`,
// then stores `ready` = 1 with release; the consumer loads `ready` with acquire before it reads
// `length` and `data`, and stores `ready` = 0 with release only after its copy is complete, so
// the producer (which loads `ready` with acquire) never overwrites a slot still being read.
struct PacketSlot {
  std::atomic<int32_t> ready{0};
  int32_t length = 0;
  uint8_t data[kChunkBytes] = {};
};
static_assert(sizeof(PacketSlot) == 4104);

// Single-producer single-consumer ring of stream pieces: exactly one thread puts and exactly
// one thread takes. The producer alone writes `write_index`, the consumer alone `read_index`;
// neither index is read by the other side. About 6 MB: allocate it statically or on the heap,
// never on a stack.
struct PacketRing {
  PacketSlot entries[kRingSlots];
  int32_t write_index = 0;
  int32_t read_index = 0;
};

// Empties every slot and sets both indices to 0. No thread may use the ring meanwhile.
void ring_reset(PacketRing& ring);

// Producer: stores up to kChunkBytes bytes (longer input is cut there; length 0 puts the
// end-of-stream mark) in the slot at the write index and advances it. Returns false, dropping
// the piece, when that slot is still full.
bool ring_put(PacketRing& ring, const void* bytes, size_t length);

// Consumer: copies the piece at the read index into out (kChunkBytes bytes of room), empties
// the slot and advances the index. Returns the piece's length (0: end of a stream), or -1 when
// the ring is empty.
int ring_take(PacketRing& ring, uint8_t* out);

}  // namespace scopemark
