#include "h264/decoder/decoder_workers.h"

#include <new>
#include <system_error>
#include <type_traits>

#include "h264/decoder/decoder_context.h"
#include "h264/decoder/decoder_memory.h"
#include "h264/stream/slice_data.h"

static_assert(std::is_trivially_copyable_v<DecoderContext>,
              "a hand-over copies the context byte for byte");

namespace {

void event_set(ManualEvent& e) {
  std::lock_guard lock(e.group->mutex);
  e.set = true;
  e.group->changed.notify_all();
}

void event_reset(ManualEvent& e) {
  std::lock_guard lock(e.group->mutex);
  e.set = false;
}

// Blocks until one of the events (all of `group`) is set; returns the first set one's index.
int event_wait_any(EventGroup& group, ManualEvent* const* events, int count) {
  std::unique_lock lock(group.mutex);
  for (;;) {
    for (int i = 0; i < count; ++i) {
      if (events[i]->set) return i;
    }
    group.changed.wait(lock);
  }
}

void worker_routine(DecoderWorker* w) {
  ManualEvent* const wake[2] = {&w->stop, &w->start};
  while (event_wait_any(w->wake, wake, 2) == 1) {
    event_reset(w->start);
    decode_slice_data(*w->copy);
    event_set(w->done);
  }
}

// The caller has seen w's done event: its slice counts towards the picture.
void collect(DecoderContext& ctx, DecoderWorker& w) {
  event_reset(w.done);
  ctx.mb_count += static_cast<uint32_t>(w.copy->work_area.mb_count);
}

DecoderWorker& choose_worker(DecoderContext& ctx) {
  DecoderWorkers& workers = *ctx.workers;
  for (DecoderWorker& w : workers.worker) {
    if (!w.busy) {
      w.busy = 1;
      return w;
    }
  }
  ManualEvent* done[WORKER_COUNT];
  for (int i = 0; i < WORKER_COUNT; ++i) done[i] = &workers.worker[i].done;
  DecoderWorker& w = workers.worker[event_wait_any(workers.finished, done, WORKER_COUNT)];
  collect(ctx, w);
  return w;
}

}  // namespace

bool decoder_workers_create(DecoderContext& ctx) {
  void* block = decoder_alloc(sizeof(DecoderWorkers));
  if (!block) return false;
  ctx.workers = new (block) DecoderWorkers();
  const uint32_t row_records = NEIGHBOUR_ROWS * ctx.max_width_mbs;
  for (DecoderWorker& w : ctx.workers->worker) {
    w.start.group = &w.wake;
    w.stop.group = &w.wake;
    w.done.group = &ctx.workers->finished;
    w.copy = static_cast<DecoderContext*>(decoder_alloc(sizeof(DecoderContext)));
    w.spare_buffer = static_cast<uint8_t*>(decoder_alloc(ctx.nal_capacity));
    w.mb_info_rows = static_cast<MbInfo*>(decoder_alloc(row_records * sizeof(MbInfo)));
    w.mb_motion_rows = static_cast<MbMotion*>(decoder_alloc(row_records * sizeof(MbMotion)));
    if (!w.copy || !w.spare_buffer || !w.mb_info_rows || !w.mb_motion_rows) return false;
  }
  for (DecoderWorker& w : ctx.workers->worker) {
    try {
      w.thread = std::thread(worker_routine, &w);
    } catch (const std::system_error&) {
      return false;
    }
  }
  return true;
}

void decoder_workers_destroy(DecoderContext& ctx) {
  DecoderWorkers* workers = ctx.workers;
  if (!workers) return;
  // A worker ends after its current slice at the latest; std::thread cannot be cut short.
  for (DecoderWorker& w : workers->worker) {
    if (w.thread.joinable()) event_set(w.stop);
  }
  for (DecoderWorker& w : workers->worker) {
    if (w.thread.joinable()) w.thread.join();
    decoder_free(w.copy);
    decoder_free(w.spare_buffer);
    decoder_free(w.mb_info_rows);
    decoder_free(w.mb_motion_rows);
  }
  workers->~DecoderWorkers();
  decoder_free(workers);
  ctx.workers = nullptr;
}

void hand_over_slice(DecoderContext& ctx) {
  DecoderWorker& w = choose_worker(ctx);
  DecoderContext* copy = w.copy;
  *copy = ctx;
  copy->workers = nullptr;
  copy->mb_info_rows = w.mb_info_rows;
  copy->mb_motion_rows = w.mb_motion_rows;
  ctx.nal_buffer = w.spare_buffer;
  w.spare_buffer = copy->nal_buffer;
  event_set(w.start);
}

void wait_all_workers(DecoderContext& ctx) {
  if (!ctx.workers) return;
  for (DecoderWorker& w : ctx.workers->worker) {
    if (!w.busy) continue;
    ManualEvent* const done = &w.done;
    event_wait_any(ctx.workers->finished, &done, 1);
    collect(ctx, w);
    w.busy = 0;
  }
}
