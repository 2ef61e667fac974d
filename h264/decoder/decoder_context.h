// All state of one decoder instance.
#pragma once

#include <cstdint>

#include "h264/decoder/decoder.h"
#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"
#include "h264/stream/bit_reader.h"
#include "h264/stream/nal_scanner.h"
#include "h264/stream/output_queue.h"
#include "h264/stream/parameter_sets.h"
#include "h264/stream/picture_store.h"

constexpr uint32_t MAX_REF_FRAMES = 16;
constexpr uint32_t MAX_PICTURE_STORES = 2 * MAX_REF_FRAMES + 4;
constexpr uint32_t NAL_BUFFER_SPARE = 4096;
constexpr uint32_t MB_ARRAY_BYTES_PER_MB = 64;
constexpr uint32_t USER_DATA_CAPACITY = 256;
constexpr uint32_t NEIGHBOUR_ROWS = 4;

// End-of-stream progress of decoder_decode.
constexpr uint32_t EOS_NONE = 0;
constexpr uint32_t EOS_CLOSING = 1;  // the closing start code is being scanned
constexpr uint32_t EOS_DONE = 2;

struct DecoderContext {
  // Configuration after the clamps.
  uint32_t max_width_mbs;
  uint32_t max_height_mbs;
  uint32_t max_ref_frames;
  uint32_t flags;
  uint32_t frame_bytes;  // one 4:2:0 frame at the maximum size
  uint32_t cpu_level;

  NalScanner scanner;
  uint8_t* nal_buffer;
  uint32_t nal_capacity;
  BitReader reader;
  uint32_t nal_ref_idc;
  uint32_t nal_unit_type;

  uint32_t stream_state;
  SequenceParameterSet* sps_table;
  PictureParameterSet* pps_table;

  uint32_t view_flag;
  uint32_t user_data_seen;
  UserDataRecord user_data;
  uint8_t user_data_bytes[USER_DATA_CAPACITY];
  uint32_t user0;
  uint32_t user1;
  uint32_t end_of_stream;

  uint32_t store_count;
  PictureStore stores[MAX_PICTURE_STORES];
  uint8_t* spare_frame;
  uint8_t* deinterlace_history;
  uint8_t* mb_array;  // MB_ARRAY_BYTES_PER_MB per macroblock
  MbInfo* mb_info_rows;  // NEIGHBOUR_ROWS rows of max_width_mbs records
  MbMotion* mb_motion_rows;
  OutputQueue output;

  MbWorkArea work_area;
  ReconKernels kernels;
};
