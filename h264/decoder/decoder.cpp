#include "h264/decoder/decoder.h"

#include <cstring>
#include <new>

#include "h264/decoder/cpu_features.h"
#include "h264/decoder/decoder_context.h"
#include "h264/decoder/decoder_memory.h"
#include "h264/decoder/decoder_workers.h"
#include "h264/decoder/kernel_select.h"
#include "h264/stream/slice_data.h"

namespace {

constexpr uint32_t kDefaultWidthMbs = 120;
constexpr uint32_t kDefaultHeightMbs = 68;
constexpr uint32_t kDefaultRefFrames = 4;

void clamp_config(const DecoderConfig& config, DecoderContext& ctx) {
  ctx.max_width_mbs = config.max_width_mbs;
  if (ctx.max_width_mbs < 2 || ctx.max_width_mbs > 352) ctx.max_width_mbs = kDefaultWidthMbs;
  ctx.max_height_mbs = config.max_height_mbs;
  if (ctx.max_height_mbs < 6 || ctx.max_height_mbs > 256) ctx.max_height_mbs = kDefaultHeightMbs;
  ctx.max_ref_frames = config.max_ref_frames;
  if (ctx.max_ref_frames == 0) ctx.max_ref_frames = kDefaultRefFrames;
  if (ctx.max_ref_frames > MAX_REF_FRAMES) ctx.max_ref_frames = MAX_REF_FRAMES;
  ctx.flags = config.flags;
}

// Takes every block of the instance; false when one allocation fails.
bool allocate_buffers(DecoderContext& ctx) {
  uint32_t mbs = ctx.max_width_mbs * ctx.max_height_mbs;
  ctx.frame_bytes = mbs * 384;
  ctx.sps_table = static_cast<SequenceParameterSet*>(
      decoder_alloc(SPS_TABLE_SIZE * sizeof(SequenceParameterSet)));
  ctx.pps_table = static_cast<PictureParameterSet*>(
      decoder_alloc(PPS_TABLE_SIZE * sizeof(PictureParameterSet)));
  ctx.nal_capacity = ctx.frame_bytes + NAL_BUFFER_SPARE;
  ctx.nal_buffer = static_cast<uint8_t*>(decoder_alloc(ctx.nal_capacity));
  if (!ctx.sps_table || !ctx.pps_table || !ctx.nal_buffer) return false;
  ctx.store_count = 2 * ctx.max_ref_frames + 4;
  for (uint32_t i = 0; i < ctx.store_count; ++i) {
    PictureStore& store = ctx.stores[i];
    store.buffer = static_cast<uint8_t*>(decoder_alloc(ctx.frame_bytes));
    if (!store.buffer) return false;
    store.status = STORE_FREE;
  }
  ctx.spare_frame = static_cast<uint8_t*>(decoder_alloc(ctx.frame_bytes));
  if (!ctx.spare_frame) return false;
  if (ctx.flags & DECODER_DEINTERLACE) {
    ctx.deinterlace_history = static_cast<uint8_t*>(decoder_alloc(ctx.frame_bytes));
    if (!ctx.deinterlace_history) return false;
  }
  ctx.mb_array = static_cast<uint8_t*>(decoder_alloc(mbs * MB_ARRAY_BYTES_PER_MB));
  uint32_t row_records = NEIGHBOUR_ROWS * ctx.max_width_mbs;
  ctx.mb_info_rows = static_cast<MbInfo*>(decoder_alloc(row_records * sizeof(MbInfo)));
  ctx.mb_motion_rows = static_cast<MbMotion*>(decoder_alloc(row_records * sizeof(MbMotion)));
  return ctx.mb_array && ctx.mb_info_rows && ctx.mb_motion_rows;
}

void release_buffers(DecoderContext& ctx) {
  decoder_free(ctx.sps_table);
  decoder_free(ctx.pps_table);
  decoder_free(ctx.nal_buffer);
  for (uint32_t i = 0; i < ctx.store_count; ++i) decoder_free(ctx.stores[i].buffer);
  decoder_free(ctx.spare_frame);
  decoder_free(ctx.deinterlace_history);
  decoder_free(ctx.mb_array);
  decoder_free(ctx.mb_info_rows);
  decoder_free(ctx.mb_motion_rows);
}

void reset_stream_state(DecoderContext& ctx) {
  scanner_reset(ctx.scanner);
  ctx.active_sps_id = -1;
  ctx.active_pps_id = -1;
  ctx.last_slice.pic_parameter_set_id = -1;
  ctx.last_slice.idr_pic_id = -1;
  ctx.current_store = -1;
  ctx.previous_store = -1;
  dpb_reset(ctx);
}

// Returns a picture still queued, else decodes pending units until a picture is ready (true)
// or the input is used up.
bool decode_pending(DecoderContext& ctx, DecodedPicture& out) {
  if (take_output_picture(ctx, out)) return true;
  uint32_t unit_bytes = 0;
  for (;;) {
    ScanResult scanned = scan_next_unit(ctx, unit_bytes);
    if (scanned == ScanResult::input_used_up) return false;
    if (scanned == ScanResult::unit_ready) {
      uint32_t result = dispatch_nal_unit(ctx, unit_bytes);
      if (result == NAL_RESULT_NEW_PICTURE || result == NAL_RESULT_SAME_PICTURE) {
        // SEI units answer "new picture" too; only slices carry slice data.
        if (ctx.nal_unit_type == 1 || ctx.nal_unit_type == 5) {
          if (ctx.workers) {
            hand_over_slice(ctx);
          } else {
            decode_slice_data(ctx);
            finish_complete_picture(ctx);
          }
        }
      }
    }
    if (take_output_picture(ctx, out)) return true;
  }
}

}  // namespace

int decoder_get_library_info(DecoderLibraryInfo* info) {
  if (!info) return -1;
  *info = DecoderLibraryInfo{2, 2, 5,    0,    "V2.2.5.0", "Scopemark H.264 decoder", 15909,
                             0, 0, 2048, 2048, 16,         decoder_cpu_feature_mask()};
  return 0;
}

DecoderContext* decoder_create(const DecoderConfig* config) {
  if (!config) return nullptr;
  uint32_t cpu_level = decoder_cpu_level();
  if (cpu_level < 2) return nullptr;
  void* block = decoder_alloc(sizeof(DecoderContext));
  if (!block) return nullptr;
  auto* ctx = new (block) DecoderContext();
  clamp_config(*config, *ctx);
  ctx->cpu_level = cpu_level;
  if (!allocate_buffers(*ctx) ||
      ((ctx->flags & DECODER_WORKER_THREADS) && !decoder_workers_create(*ctx))) {
    decoder_destroy(ctx);
    return nullptr;
  }
  reset_stream_state(*ctx);
  decoder_fill_kernels(&ctx->kernels, decoder_kernel_build_for_level(cpu_level));
  return ctx;
}

int decoder_decode(DecoderContext* ctx, const uint8_t* bytes, uint32_t length, uint32_t user0,
                   uint32_t user1, DecodedPicture* out, uint32_t flags) {
  if (!ctx || !out) return DECODE_BAD_ARGUMENT;
  out->luma = nullptr;
  out->cb = nullptr;
  out->cr = nullptr;
  bool end_of_stream = (flags & DECODE_END_OF_STREAM) != 0;
  if (bytes && length) {
    scanner_set_input(ctx->scanner, bytes, length);
    ctx->end_of_stream = EOS_NONE;
    end_of_stream = false;
  }
  ctx->user0 = user0;
  ctx->user1 = user1;
  for (;;) {
    if (decode_pending(*ctx, *out)) return DECODE_PICTURE_READY;
    if (!end_of_stream) return DECODE_NEED_INPUT;
    if (ctx->end_of_stream == EOS_NONE) {
      scanner_set_input(ctx->scanner, ctx->scanner.closing_start_code, 4);
      ctx->end_of_stream = EOS_CLOSING;
      continue;
    }
    if (ctx->end_of_stream == EOS_CLOSING) {
      ctx->scanner.window = SCAN_WINDOW_RESET;
      finish_current_picture(*ctx);
      flush_pictures(*ctx);
      ctx->end_of_stream = EOS_DONE;
    }
    return take_output_picture(*ctx, *out) ? DECODE_PICTURE_READY : DECODE_NO_PICTURE;
  }
}

void decoder_reset(DecoderContext* ctx) {
  if (!ctx) return;
  wait_all_workers(*ctx);
  // Everything but the configuration and the blocks goes back to its state after creation.
  DecoderContext& c = *ctx;
  const DecoderConfig config{0,       0,      c.max_width_mbs, c.max_height_mbs, c.max_ref_frames,
                             c.flags, nullptr};
  const uint32_t cpu_level = c.cpu_level;
  const uint32_t frame_bytes = c.frame_bytes;
  const uint32_t nal_capacity = c.nal_capacity;
  const uint32_t nal_bytes_written = c.nal_bytes_written;
  const uint32_t store_count = c.store_count;
  uint8_t* store_buffers[MAX_PICTURE_STORES];
  // A store's luma starts as the zeros of its allocation; chroma is filled when it is taken.
  const size_t luma_bytes = size_t{c.max_width_mbs} * c.max_height_mbs * 256;
  for (uint32_t i = 0; i < store_count; ++i) {
    store_buffers[i] = c.stores[i].buffer;
    if (c.stores[i].prepared) std::memset(store_buffers[i], 0, luma_bytes);
  }
  SequenceParameterSet* sps_table = c.sps_table;
  PictureParameterSet* pps_table = c.pps_table;
  uint8_t* nal_buffer = c.nal_buffer;
  uint8_t* spare_frame = c.spare_frame;
  uint8_t* deinterlace_history = c.deinterlace_history;
  uint8_t* mb_array = c.mb_array;
  MbInfo* mb_info_rows = c.mb_info_rows;
  MbMotion* mb_motion_rows = c.mb_motion_rows;
  DecoderWorkers* workers = c.workers;
  const ReconKernels kernels = c.kernels;

  new (ctx) DecoderContext();
  clamp_config(config, c);
  c.cpu_level = cpu_level;
  c.frame_bytes = frame_bytes;
  c.nal_capacity = nal_capacity;
  c.store_count = store_count;
  for (uint32_t i = 0; i < store_count; ++i) {
    c.stores[i].buffer = store_buffers[i];
    c.stores[i].status = STORE_FREE;
  }
  c.sps_table = sps_table;
  c.pps_table = pps_table;
  c.nal_buffer = nal_buffer;
  c.spare_frame = spare_frame;
  c.deinterlace_history = deinterlace_history;
  c.mb_array = mb_array;
  c.mb_info_rows = mb_info_rows;
  c.mb_motion_rows = mb_motion_rows;
  c.workers = workers;
  c.kernels = kernels;
  // Slice data that runs short reads on past its unit into whatever the buffer holds. Only the
  // scanner writes the unit buffers; beyond its mark they still hold the zeros of creation.
  std::memset(nal_buffer, 0, nal_bytes_written);
  if (workers) {
    for (DecoderWorker& w : workers->worker) std::memset(w.spare_buffer, 0, nal_bytes_written);
  }
  // Parameter sets are stored whole and valid; an entry that is not valid was never written.
  for (uint32_t i = 0; i < SPS_TABLE_SIZE; ++i) {
    if (sps_table[i].valid) std::memset(&sps_table[i], 0, sizeof *sps_table);
  }
  for (uint32_t i = 0; i < PPS_TABLE_SIZE; ++i) {
    if (pps_table[i].valid) std::memset(&pps_table[i], 0, sizeof *pps_table);
  }
  std::memset(mb_array, 0, luma_bytes / 256 * MB_ARRAY_BYTES_PER_MB);
  if (deinterlace_history) {
    std::memset(deinterlace_history, 0, frame_bytes);
    std::memset(spare_frame, 0, frame_bytes);
  }
  reset_stream_state(c);
}

void decoder_destroy(DecoderContext* ctx) {
  if (!ctx) return;
  decoder_workers_destroy(*ctx);
  release_buffers(*ctx);
  decoder_free(ctx);
}
