// Decoding with worker threads: whole streams bit-exact against lists made with slice edges
// left unfiltered (tests/corpus/workers, tools/corpus/make-worker-md5), the hand-over of slices
// to the four workers, and their life cycle.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "h264/decoder/decoder_workers.h"
#include "h264/stream_cases.h"

namespace {

using front_test::DecoderHandle;
using front_test::make_config;
using stream_cases::StreamCase;
using stream_cases::fs::path;
using Bytes = std::vector<uint8_t>;

// The worker-mode list of a stream when its pictures change without filtering across slice
// edges, else its own list.
std::vector<StreamCase> with_worker_lists(std::vector<StreamCase> cases) {
  for (StreamCase& c : cases) {
    const path list =
        stream_cases::corpus_dir() / "workers" / (c.stream.filename().string() + ".md5");
    if (stream_cases::fs::exists(list)) c.md5_list = list;
  }
  return cases;
}

TEST(WorkerStreams, EveryCorpusPictureIsExact) {
  stream_cases::check_streams(with_worker_lists(stream_cases::corpus_cases()),
                              DECODER_WORKER_THREADS);
}

// Display order only: the output order does not depend on the workers, and the corpus covers
// both orders.
void check_conformance_folder(const path& folder) {
  if (!stream_cases::fs::exists(folder / "MANIFEST.tsv")) {
    GTEST_SKIP() << "conformance streams absent: " << folder;
  }
  stream_cases::check_streams(with_worker_lists(stream_cases::conformance_cases(folder)),
                              DECODER_WORKER_THREADS, stream_cases::Orders::display);
}

TEST(WorkerStreams, EveryConformancePictureIsExact) {
  check_conformance_folder(path(SCOPEMARK_SHARED_DIR) / "conformance");
}

TEST(WorkerStreams, EverySupplementalConformancePictureIsExact) {
  check_conformance_folder(path(SCOPEMARK_SHARED_DIR) / "conformance/supplemental");
}

Bytes corpus_stream(const std::string& name) {
  return stream_files::read_file(stream_cases::corpus_dir() / name);
}

std::vector<std::string> worker_list(const std::string& name) {
  return stream_files::read_md5_list(stream_cases::corpus_dir() / "workers" / (name + ".md5"));
}

// Offsets of the first byte after each start code whose unit is a slice (types 1 and 5).
std::vector<size_t> slice_offsets(const Bytes& stream) {
  std::vector<size_t> offsets;
  for (size_t i = 0; i + 3 < stream.size(); ++i) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
      const int type = stream[i + 3] & 31;
      if (type == 1 || type == 5) offsets.push_back(i + 3);
      i += 2;
    }
  }
  return offsets;
}

int busy_workers(const DecoderContext* ctx) {
  int busy = 0;
  for (const DecoderWorker& w : ctx->workers->worker) busy += w.busy != 0;
  return busy;
}

// Feeds stream[from, to) and expects no picture yet.
void feed_range(DecoderHandle& d, const Bytes& stream, size_t from, size_t to) {
  EXPECT_EQ(decoder_decode(d.ctx, stream.data() + from, static_cast<uint32_t>(to - from), 0, 0,
                           &d.out, 0),
            DECODE_NEED_INPUT);
}

// Feeds stream[from, end) and ends the stream; returns every picture's MD5.
std::vector<std::string> finish(DecoderHandle& d, const Bytes& stream, size_t from) {
  std::vector<std::string> digests;
  int result = decoder_decode(d.ctx, stream.data() + from,
                              static_cast<uint32_t>(stream.size() - from), 0, 0, &d.out, 0);
  while (result == DECODE_PICTURE_READY) {
    digests.push_back(stream_cases::picture_md5(d.out));
    result = decoder_decode(d.ctx, nullptr, 0, 0, 0, &d.out, 0);
  }
  while (d.end_of_stream() == DECODE_PICTURE_READY) {
    digests.push_back(stream_cases::picture_md5(d.out));
  }
  return digests;
}

TEST(Workers, OneSlicePictureRunsOnOneWorkerWhileTheCallerScansOn) {
  const Bytes stream = corpus_stream("hd720_cabac_p_8x8.264");
  const std::vector<size_t> slices = slice_offsets(stream);
  ASSERT_GE(slices.size(), 2u);
  DecoderHandle d(make_config(80, 45, 4, DECODER_WORKER_THREADS));
  ASSERT_NE(d.ctx, nullptr);
  ASSERT_NE(d.ctx->workers, nullptr);
  // Up to the second picture's slice unit: the first slice is complete and handed over.
  feed_range(d, stream, 0, slices[1] + 1);
  EXPECT_EQ(d.ctx->workers->worker[0].busy, 1u);
  EXPECT_EQ(busy_workers(d.ctx), 1);
  EXPECT_EQ(d.ctx->mb_count, 0u) << "the caller has not waited for the worker";
  std::vector<std::string> expected =
      stream_files::read_md5_list(stream_cases::corpus_dir() / "hd720_cabac_p_8x8.md5");
  EXPECT_EQ(finish(d, stream, slices[1] + 1), expected);
  EXPECT_EQ(busy_workers(d.ctx), 0);
}

TEST(Workers, EightSlicePictureKeepsFourWorkersBusy) {
  for (const char* name : {"nhd_cabac_p_8slices.264", "nhd_cavlc_p_8slices.264"}) {
    SCOPED_TRACE(name);
    const Bytes stream = corpus_stream(name);
    const std::vector<size_t> slices = slice_offsets(stream);
    ASSERT_GE(slices.size(), 9u);
    DecoderHandle d(make_config(40, 23, 4, DECODER_WORKER_THREADS));
    ASSERT_NE(d.ctx, nullptr);
    feed_range(d, stream, 0, slices[8] + 1);
    EXPECT_EQ(busy_workers(d.ctx), 4);
    // Slices 5 to 8 went to workers as they finished; the four last slices handed over carry
    // distinct numbers, the eighth among them.
    std::set<uint32_t> numbers;
    for (const DecoderWorker& w : d.ctx->workers->worker) numbers.insert(w.copy->slice_num);
    EXPECT_EQ(numbers.size(), 4u);
    EXPECT_EQ(*numbers.rbegin(), 7u);
    EXPECT_EQ(finish(d, stream, slices[8] + 1), worker_list(name));
  }
}

TEST(Workers, SlicesAreFilteredInsideOnly) {
  // Several slices with idc 0: the slice edges stay unfiltered, so every picture differs from
  // the fully filtered one (a picture of one slice is filtered as without workers: above).
  const std::string name = "nhd_cavlc_p_4slices";
  const std::vector<std::string> filtered =
      stream_files::read_md5_list(stream_cases::corpus_dir() / (name + ".md5"));
  const std::vector<std::string> within =
      stream_cases::decode_digests(corpus_stream(name + ".264"), DECODER_WORKER_THREADS);
  ASSERT_EQ(within, worker_list(name + ".264"));
  ASSERT_EQ(within.size(), filtered.size());
  for (size_t i = 0; i < within.size(); ++i) EXPECT_NE(within[i], filtered[i]) << "picture " << i;
}

TEST(Workers, LostSliceMarksPictureIncomplete) {
  Bytes stream = corpus_stream("nhd_cabac_p_4slices.264");
  const std::vector<size_t> slices = slice_offsets(stream);
  ASSERT_GE(slices.size(), 4u);
  // Drops the third slice of the first picture (its unit up to the next start code).
  stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(slices[2]),
               stream.begin() + static_cast<std::ptrdiff_t>(slices[3]) - 3);
  for (uint32_t flags : {0u, DECODER_WORKER_THREADS}) {
    SCOPED_TRACE(flags);
    DecoderHandle d(make_config(40, 23, 4, flags));
    std::vector<uint32_t> incomplete;
    front_test::decode_all(d.ctx, stream, 4096, [&](const DecodedPicture& pic) {
      incomplete.push_back(pic.incomplete);
    });
    ASSERT_EQ(incomplete.size(), 8u);
    EXPECT_EQ(incomplete[0], 1u);
    for (size_t i = 1; i < incomplete.size(); ++i) EXPECT_EQ(incomplete[i], 0u) << i;
  }
}

TEST(Workers, DestroyEndsIdleAndBusyWorkers) {
  using Clock = std::chrono::steady_clock;
  const Bytes stream = corpus_stream("nhd_cavlc_p_8slices.264");
  const std::vector<size_t> slices = slice_offsets(stream);
  ASSERT_GE(slices.size(), 9u);
  for (bool in_flight : {false, true}) {
    SCOPED_TRACE(in_flight);
    const DecoderConfig config = make_config(40, 23, 4, DECODER_WORKER_THREADS);
    DecoderContext* ctx = decoder_create(&config);
    ASSERT_NE(ctx, nullptr);
    DecodedPicture out{};
    const uint32_t length = static_cast<uint32_t>(in_flight ? slices[8] + 1 : stream.size());
    int result = decoder_decode(ctx, stream.data(), length, 0, 0, &out, 0);
    while (!in_flight && result != DECODE_NO_PICTURE) {
      result = decoder_decode(ctx, nullptr, 0, 0, 0, &out, DECODE_END_OF_STREAM);
    }
    EXPECT_EQ(busy_workers(ctx), in_flight ? 4 : 0);
    const Clock::time_point start = Clock::now();
    decoder_destroy(ctx);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(5000));
  }
}

TEST(Workers, CreationFailureReleasesEverything) {
  // The worker block and, per worker, a context copy, a unit buffer and two row blocks.
  EXPECT_EQ(front_test::allocations_of_create(make_config(40, 23, 1, DECODER_WORKER_THREADS)),
            front_test::allocations_of_create(make_config(40, 23, 1)) + 1 + WORKER_COUNT * 4);
}

}  // namespace
