// Frame buffers that hold decoded pictures, with the attributes handed to the caller.
#pragma once

#include <cstdint>

#include "h264/decoder/decoder.h"

constexpr uint32_t STORE_IN_USE = 0;
constexpr uint32_t STORE_FREE = 1;
constexpr uint32_t STORE_QUEUED = 2;

constexpr uint32_t STATISTICS_WORDS = 10;

// Attributes handed to the caller (planes and store index are set on output).
struct PictureRecord {
  DecodedPicture info;
  uint32_t statistics[STATISTICS_WORDS];
};

struct PictureStore {
  uint8_t* buffer;  // Y at 0, Cb at W x H x 256, Cr at W x H x 320
  uint32_t status;
  PictureRecord frame;
};
