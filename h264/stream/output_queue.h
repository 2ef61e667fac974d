// Ring of store indices waiting to be returned to the caller.
#pragma once

#include <cstdint>

struct DecoderContext;
struct DecodedPicture;

constexpr uint32_t OUTPUT_QUEUE_SLOTS = 64;
constexpr uint8_t OUTPUT_SLOT_EMPTY = 0xFF;

struct OutputQueue {
  uint8_t slots[OUTPUT_QUEUE_SLOTS];
  uint32_t read;  // both positions are 6-bit
  uint32_t write;
};

void output_queue_put(OutputQueue& queue, uint32_t store_index);

// Fills `out` from the next queued picture and frees its store; false when none waits.
bool take_output_picture(DecoderContext& ctx, DecodedPicture& out);
