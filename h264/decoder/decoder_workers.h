// Worker threads that decode the slice data of up to four slices at once. The calling thread
// keeps scanning, parsing headers and managing pictures; a worker only runs the macroblock
// layer of one slice on a private copy of the context.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "h264/recon/mb_work_area.h"

struct DecoderContext;

constexpr int WORKER_COUNT = 4;

struct ManualEvent;

// Events that one thread waits on together share a group. The group knows what its blocked
// waiter needs, so that setting an event wakes the waiter only when its wait is over.
struct EventGroup {
  std::mutex mutex;
  std::condition_variable changed;
  // The blocked waiter's events and whether it needs all of them or any; guarded by mutex,
  // waited_count 0 while nobody is blocked.
  ManualEvent* const* waited;
  int waited_count;
  bool waits_for_all;
};

// Manual-reset event: stays set until reset; `set` is guarded by the group's mutex.
struct ManualEvent {
  EventGroup* group;
  bool set;
};

struct DecoderWorker {
  std::thread thread;
  EventGroup wake;  // start and stop
  ManualEvent start;
  ManualEvent stop;
  ManualEvent done;       // in DecoderWorkers::finished
  uint32_t busy;          // caller side: from hand-over until the caller has seen done
  DecoderContext* copy;   // the slice being decoded, with its own unit buffer and rows
  uint8_t* spare_buffer;  // a unit buffer the caller takes at the next hand-over
  MbInfo* mb_info_rows;
  MbMotion* mb_motion_rows;
};

struct DecoderWorkers {
  EventGroup finished;  // the done events of every worker
  DecoderWorker worker[WORKER_COUNT];
};

// Allocates the workers of ctx (after the context's own buffers) and starts their threads;
// false when an allocation or a thread start fails (ctx.workers then still needs
// decoder_workers_destroy).
bool decoder_workers_create(DecoderContext& ctx);

// Stops and joins the threads and frees everything of the workers; null workers are fine.
void decoder_workers_destroy(DecoderContext& ctx);

// Gives the context's current slice (header, lists and unit buffer) to an idle worker, waiting
// for one to finish when all are busy. The context gets a fresh unit buffer for the next unit.
void hand_over_slice(DecoderContext& ctx);

// Waits until every worker is idle and adds the macroblocks they decoded to the picture's
// count. Does nothing without workers.
void wait_all_workers(DecoderContext& ctx);
