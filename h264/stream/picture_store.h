// Frame buffers that hold decoded pictures, with their attributes and reference marks.
#pragma once

#include <cstdint>

#include "h264/decoder/decoder.h"

constexpr uint32_t STORE_IN_USE = 0;
constexpr uint32_t STORE_FREE = 1;
constexpr uint32_t STORE_QUEUED = 2;

constexpr uint32_t STATISTICS_WORDS = 10;
constexpr uint32_t MAX_MMCO = 33;

// Picture structure; as a field mask, 1 top, 2 bottom, 3 both.
constexpr uint32_t PICTURE_FRAME = 0;
constexpr uint32_t PICTURE_TOP = 1;
constexpr uint32_t PICTURE_BOTTOM = 2;
constexpr uint32_t BOTH_FIELDS = 3;

struct MmcoOperation {
  uint32_t operation;
  uint32_t difference_of_pic_nums_minus1;
  uint32_t long_term_pic_num;
  uint32_t long_term_frame_idx;
  uint32_t max_long_term_frame_idx_plus1;
};

// Marking syntax of one picture's slice header.
struct RefPicMarking {
  uint32_t no_output_of_prior_pics_flag;
  uint32_t long_term_reference_flag;
  uint32_t adaptive_ref_pic_marking_mode_flag;
  uint32_t count;
  MmcoOperation operations[MAX_MMCO];
};

// Attributes handed to the caller (planes and store index are set on output).
struct PictureRecord {
  DecodedPicture info;
  uint32_t statistics[STATISTICS_WORDS];
};

struct PictureStore {
  uint8_t* buffer;  // Y at 0, Cb at W x H x 256, Cr at W x H x 320
  uint32_t status;
  PictureRecord frame;

  uint32_t fields;      // decoded fields (mask); a frame has both
  uint32_t reference;   // nal_ref_idc != 0 for the picture's fields
  uint32_t short_term;  // field mask of short-term references
  uint32_t long_term;   // field mask of long-term references
  uint32_t long_term_frame_idx;
  uint32_t frame_num;
  int32_t frame_num_wrap;
  int32_t top_poc;
  int32_t bottom_poc;
  int32_t poc;
  uint32_t in_buffer;      // held by the decoded picture buffer
  uint32_t output_needed;  // not yet output
  uint32_t non_existing;   // inferred for a frame_num gap: never output
  uint32_t interlace_mark;
  uint32_t idr;
  uint32_t mmco5;
  uint32_t prepared;  // the buffer has been given its initial content
  RefPicMarking marking;
};

inline bool store_is_free(const PictureStore& store) {
  return store.status == STORE_FREE && !store.in_buffer && !store.short_term && !store.long_term;
}
