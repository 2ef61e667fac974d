// Decoded picture buffer: reference marking, output order and reference lists.
#pragma once

#include <climits>
#include <cstdint>

struct DecoderContext;

constexpr uint32_t DPB_ENTRIES = 16;
constexpr uint32_t MAX_REF_LIST = 33;
constexpr int32_t NO_POC = INT32_MIN;

struct DecodedPictureBuffer {
  int32_t entries[DPB_ENTRIES];  // store indices, packed at the front
  uint32_t fullness;
  uint32_t size;
  int32_t max_long_term_frame_idx;  // -1: no long-term frame indices
  int32_t last_output_poc;
  int32_t last_stored;    // store of the previous picture, for pairing a second field
  int32_t pending_field;  // store of a field output directly, waiting for its partner
};

// One entry of a reference list: a frame or one field of a store.
struct RefPicture {
  int32_t store;  // -1: no picture
  uint32_t structure;
  uint32_t long_term;
};

void dpb_reset(DecoderContext& ctx);

// Marking, storing and output of the finished current picture.
void store_picture(DecoderContext& ctx);

// Every picture unused for reference; every waiting picture queued in POC order.
void flush_pictures(DecoderContext& ctx);

// Queues the store's picture (or frees it when it is never output).
void output_store(DecoderContext& ctx, int32_t store);

// Short-term reference marking of an inferred frame by the sliding window.
void store_inferred_frame(DecoderContext& ctx, int32_t store);

// List 0 of a P slice; returns 0 or the code of a missing picture.
uint32_t init_reference_lists(DecoderContext& ctx);
uint32_t reorder_reference_lists(DecoderContext& ctx);
