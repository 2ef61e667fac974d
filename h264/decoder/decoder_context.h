// All state of one decoder instance.
#pragma once

#include <cstdint>

#include "h264/decoder/decoder.h"
#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"
#include "h264/recon/residual.h"
#include "h264/stream/bit_reader.h"
#include "h264/stream/nal_scanner.h"
#include "h264/stream/output_queue.h"
#include "h264/stream/parameter_sets.h"
#include "h264/stream/picture_store.h"
#include "h264/stream/reference_pictures.h"
#include "h264/stream/slice_header.h"

struct DecoderWorkers;

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
  uint32_t nal_bytes_written;  // unit buffer bytes ever written (every buffer) since the reset
  BitReader reader;
  uint32_t nal_ref_idc;
  uint32_t nal_unit_type;

  uint32_t stream_state;
  SequenceParameterSet* sps_table;
  PictureParameterSet* pps_table;
  int64_t active_sps_id;  // -1 before the first activation
  int64_t active_pps_id;
  SequenceParameterSet active_sps;
  PictureParameterSet active_pps;

  SliceHeader slice;
  LastSliceValues last_slice;
  LevelScaleTables level_scale;
  ScalingLists level_scale_lists;  // the lists level_scale was built from
  uint32_t level_scale_built;

  // The picture being decoded.
  int32_t current_store;   // -1: none
  int32_t previous_store;  // the last finished picture, for pairing a second field
  uint32_t current_structure;
  uint32_t current_second_field;
  uint32_t current_frame_num;
  uint32_t current_pic_size;  // PicSizeInMbs
  uint32_t mb_count;          // macroblocks decoded in the current picture
  uint32_t slice_num;         // number of the current slice within its picture
  int32_t current_poc_msb;
  uint32_t current_poc_lsb;
  uint32_t current_frame_num_offset;
  uint32_t finished_complete;  // the last picture was finished at its last macroblock

  // Picture order count and frame_num state of earlier pictures.
  uint32_t prev_ref_frame_num;
  int32_t prev_poc_msb;
  uint32_t prev_poc_lsb;
  uint32_t prev_frame_num;
  uint32_t prev_frame_num_offset;
  uint32_t prev_mmco5;

  DecodedPictureBuffer dpb;
  RefPicture ref_list0[MAX_REF_LIST];
  uint32_t ref_list0_size;

  uint32_t view_flag;
  uint32_t user_data_seen;
  UserDataRecord user_data;
  uint8_t user_data_bytes[USER_DATA_CAPACITY];
  uint32_t user0;
  uint32_t user1;
  uint32_t end_of_stream;

  uint32_t store_count;
  uint8_t* spare_frame;
  uint8_t* deinterlace_history;
  uint8_t* mb_array;     // MB_ARRAY_BYTES_PER_MB per macroblock
  MbInfo* mb_info_rows;  // NEIGHBOUR_ROWS rows of max_width_mbs records
  MbMotion* mb_motion_rows;
  OutputQueue output;

  MbWorkArea work_area;
  ReconKernels kernels;

  DecoderWorkers* workers;  // null without DECODER_WORKER_THREADS

  // Last, so that a worker's copy can leave them out: the slice layer reads only their buffers.
  PictureStore stores[MAX_PICTURE_STORES];
};
