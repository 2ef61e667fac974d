#include "h264/decoder/decoder_workers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <system_error>
#include <type_traits>

#include "h264/decoder/decoder_context.h"
#include "h264/decoder/decoder_memory.h"
#include "h264/stream/slice_data.h"

static_assert(std::is_trivially_copyable_v<DecoderContext> &&
                  std::is_standard_layout_v<DecoderContext>,
              "a hand-over copies the context byte for byte");

namespace {

// A hand-over copies the context up to its picture stores; the copies keep the stores they got
// at creation, whose buffers never change.
constexpr size_t kCopiedBytes = offsetof(DecoderContext, stores);

bool wait_over(const EventGroup& group) {
  int set = 0;
  for (int i = 0; i < group.waited_count; ++i) set += group.waited[i]->set ? 1 : 0;
  return group.waits_for_all ? set == group.waited_count : set > 0;
}

void event_set(ManualEvent& e) {
  EventGroup& group = *e.group;
  bool wake;
  {
    std::lock_guard lock(group.mutex);
    e.set = true;
    wake = group.waited_count > 0 && wait_over(group);
  }
  // After unlocking, so that the waiter does not wake into a held mutex.
  if (wake) group.changed.notify_one();
}

void event_reset(ManualEvent& e) {
  std::lock_guard lock(e.group->mutex);
  e.set = false;
}

// Blocks until all of the events (all of `group`) are set, or any of them when !all; returns
// the index of the first set one.
int event_wait(EventGroup& group, ManualEvent* const* events, int count, bool all) {
  std::unique_lock lock(group.mutex);
  group.waited = events;
  group.waited_count = count;
  group.waits_for_all = all;
  group.changed.wait(lock, [&] { return wait_over(group); });
  group.waited_count = 0;
  int first = 0;
  while (!events[first]->set) ++first;
  return first;
}

void worker_routine(DecoderWorker* w) {
  ManualEvent* const wake[2] = {&w->stop, &w->start};
  while (event_wait(w->wake, wake, 2, false) == 1) {
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
  DecoderWorker& w = workers.worker[event_wait(workers.finished, done, WORKER_COUNT, false)];
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
    std::copy(ctx.stores, ctx.stores + MAX_PICTURE_STORES, w.copy->stores);
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
  // Every thread ends before any buffer goes.
  for (DecoderWorker& w : workers->worker) {
    if (w.thread.joinable()) w.thread.join();
  }
  for (DecoderWorker& w : workers->worker) {
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
  std::memcpy(static_cast<void*>(copy), &ctx, kCopiedBytes);
  copy->workers = nullptr;
  copy->mb_info_rows = w.mb_info_rows;
  copy->mb_motion_rows = w.mb_motion_rows;
  ctx.nal_buffer = w.spare_buffer;
  w.spare_buffer = copy->nal_buffer;
  event_set(w.start);
}

void wait_all_workers(DecoderContext& ctx) {
  if (!ctx.workers) return;
  ManualEvent* done[WORKER_COUNT];
  int count = 0;
  for (DecoderWorker& w : ctx.workers->worker) {
    if (w.busy) done[count++] = &w.done;
  }
  if (count == 0) return;
  event_wait(ctx.workers->finished, done, count, true);
  for (DecoderWorker& w : ctx.workers->worker) {
    if (!w.busy) continue;
    collect(ctx, w);
    w.busy = 0;
  }
}
