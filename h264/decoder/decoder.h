// Public interface of the H.264 decoder: four plain calls on an opaque instance.
#pragma once

#include <cstdint>

struct DecoderContext;

struct DecoderLibraryInfo {
  uint32_t major_version;
  uint32_t minor_version;
  uint32_t build_number;
  uint32_t revision;
  const char* version_text;
  const char* notice_text;
  uint32_t info_code;
  uint32_t reserved0;
  uint32_t reserved1;
  uint32_t info_max_width;
  uint32_t info_max_height;
  uint32_t info_max_refs;
  uint32_t cpu_feature_mask;
};

struct DecoderConfig {
  uint32_t reserved0;
  uint32_t reserved1;
  uint32_t max_width_mbs;
  uint32_t max_height_mbs;
  uint32_t max_ref_frames;
  uint32_t flags;
  void* reserved_pointer;
};

// DecoderConfig::flags
constexpr uint32_t DECODER_DISPLAY_ORDER = 1u << 0;
constexpr uint32_t DECODER_DEINTERLACE = 1u << 4;
constexpr uint32_t DECODER_WORKER_THREADS = 1u << 5;

struct UserDataRecord {
  uint32_t payload_type;
  uint32_t length;
  const uint8_t* bytes;
  uint32_t reserved;
};

struct DecodedPicture {
  const uint8_t* luma;
  const uint8_t* cb;
  const uint8_t* cr;
  uint32_t width;
  uint32_t height;
  uint32_t luma_stride;
  uint32_t chroma_stride;
  uint32_t crop_left;
  uint32_t crop_right;
  uint32_t crop_top;
  uint32_t crop_bottom;
  int32_t store_index;
  uint32_t view_flag;
  uint32_t incomplete;
  uint32_t idr;
  uint32_t reserved0;
  uint32_t user0;
  uint32_t user1;
  int32_t picture_order_count;
  uint32_t queued_after;  // pictures already waiting behind this one; 0: the newest one out
  const UserDataRecord* user_data;
  const uint32_t* statistics;
};

constexpr int DECODE_PICTURE_READY = 0;
constexpr int DECODE_NEED_INPUT = -1;
constexpr int DECODE_NO_PICTURE = -2;
constexpr int DECODE_BAD_ARGUMENT = -3;

// decoder_decode flags
constexpr uint32_t DECODE_END_OF_STREAM = 1u << 0;

// Returns -1 for a null record, else fills it and returns 0.
int decoder_get_library_info(DecoderLibraryInfo* info);

// A new instance for the (clamped) configuration, or null.
DecoderContext* decoder_create(const DecoderConfig* config);

// Feeds bytes (or nothing) and returns one of the DECODE_ results; on DECODE_PICTURE_READY
// `out` points into the instance until its next decode or destroy.
int decoder_decode(DecoderContext* decoder, const uint8_t* bytes, uint32_t length, uint32_t user0,
                   uint32_t user1, DecodedPicture* out, uint32_t flags);

// Returns the instance to its state after decoder_create, keeping its configuration and
// memory and kernels: queued pictures are dropped, parameter sets and references forgotten.
// Allocates nothing; a null instance is ignored.
void decoder_reset(DecoderContext* decoder);

void decoder_destroy(DecoderContext* decoder);
