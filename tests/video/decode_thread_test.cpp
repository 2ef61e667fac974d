#include "video/decode_thread.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "video/picture_of.h"
#include "video/yuv_convert.h"

namespace scopemark {
namespace {

using Log = std::vector<std::string>;

// Chunks are one byte long: the byte names the chunk. Idle ends the loop once all are taken.
class FakeChunks final : public ChunkSource {
 public:
  FakeChunks(Log& log, std::atomic<bool>& stop, std::vector<uint8_t> chunks)
      : log_(log), stop_(stop), chunks_(chunks.begin(), chunks.end()) {}
  int take(uint8_t* out) override {
    if (chunks_.empty()) return -1;
    out[0] = chunks_.front();
    chunks_.pop_front();
    log_.push_back("take " + std::to_string(out[0]));
    return 1;
  }
  void idle() override {
    log_.push_back("idle");
    stop_ = true;
  }

 private:
  Log& log_;
  std::atomic<bool>& stop_;
  std::deque<uint8_t> chunks_;
};

// Each chunk completes the listed pictures, returned one per call. A picture is 4 x 2 with
// a luma stride of 8; its luma samples hold its number, the bytes beyond its rows 0.
class FakeDecoder final : public DecoderApi {
 public:
  std::map<uint8_t, std::vector<int>> pictures_of_chunk;
  int result_after_pictures = DECODE_NEED_INPUT;
  bool fail_create = false;
  DecoderConfig config{};
  int decode_calls = 0;
  bool destroyed = false;

  int get_library_info(DecoderLibraryInfo*) override { return 0; }
  DecoderContext* create(const DecoderConfig* c) override {
    config = *c;
    return fail_create ? nullptr : reinterpret_cast<DecoderContext*>(this);
  }
  int decode(DecoderContext* decoder, const uint8_t* bytes, uint32_t length, uint32_t, uint32_t,
             DecodedPicture* out, uint32_t) override {
    EXPECT_EQ(decoder, reinterpret_cast<DecoderContext*>(this));
    ++decode_calls;
    if (bytes != nullptr && length > 0) {
      const std::vector<int>& list = pictures_of_chunk[bytes[0]];
      pending_.assign(list.begin(), list.end());
    }
    if (pending_.empty()) return result_after_pictures;
    for (int i = 0; i < 16; ++i) luma_[i] = i % 8 < 4 ? static_cast<uint8_t>(pending_.front()) : 0;
    pending_.pop_front();
    *out = picture_of(luma_, chroma_, chroma_, 4, 2, 8, 2);
    return DECODE_PICTURE_READY;
  }
  void destroy(DecoderContext*) override { destroyed = true; }

 private:
  std::deque<int> pending_;
  uint8_t luma_[16] = {};
  uint8_t chroma_[2] = {128, 128};
};

class FakeDisplay final : public FrameDisplay {
 public:
  explicit FakeDisplay(Log& log) : log_(log) {}
  std::function<void()> on_show;
  int initialise(DisplayTarget*, int width, int height) override {
    log_.push_back("init " + std::to_string(width) + "x" + std::to_string(height));
    return 0;
  }
  int show_frame(const Yuv420Planes& planes, int width, int height) override {
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(planes.luma_stride, 8) << "the decoder's own rows, not a copy";
    EXPECT_EQ(planes.chroma_stride, 2);
    log_.push_back("show " + std::to_string(planes.luma[0]));
    if (on_show) on_show();
    return 0;
  }
  void release() override { log_.push_back("release"); }

 private:
  Log& log_;
};

class FakeSnapshots final : public SnapshotSink {
 public:
  explicit FakeSnapshots(Log& log) : log_(log) {}
  void save_snapshot(const DecodedPicture& picture) override {
    log_.push_back("snapshot " + std::to_string(picture.luma[0]));
  }

 private:
  Log& log_;
};

class DecodeLoop : public ::testing::Test {
 protected:
  Log run(std::vector<uint8_t> chunk_names) {
    FakeChunks chunks(log_, stop_, std::move(chunk_names));
    DecodeThreadContext context{chunks,
                                decoder_,
                                display_,
                                nullptr,
                                snapshots_,
                                stop_,
                                frozen_,
                                capture_,
                                [this](const char* text) {
                                  log_.push_back(std::string("message ") + text); }};
    EXPECT_EQ(decode_thread(context), 1);
    return log_;
  }

  Log log_;
  std::atomic<bool> stop_{false}, frozen_{false}, capture_{false};
  FakeDecoder decoder_;
  DecoderApi* api_ = &decoder_;
  FakeDisplay display_{log_};
  FakeSnapshots snapshots_{log_};
};

TEST_F(DecodeLoop, EveryPictureOfAChunkIsShownBeforeTheNextChunk) {
  decoder_.pictures_of_chunk = {{1, {10, 11, 12}}, {2, {13}}};
  EXPECT_EQ(run({1, 2}), (Log{"init 1280x720", "take 1", "show 10", "show 11", "show 12", "take 2",
                              "show 13", "idle", "release"}));
  EXPECT_TRUE(decoder_.destroyed);
  EXPECT_EQ(decoder_.config.max_width_mbs, 80u);
  EXPECT_EQ(decoder_.config.max_height_mbs, 45u);
  EXPECT_EQ(decoder_.config.max_ref_frames, 16u);
  EXPECT_EQ(decoder_.config.flags, 17u);
}

TEST_F(DecodeLoop, ChunkWithoutPictureIsFollowedAtOnceByTheNext) {
  decoder_.pictures_of_chunk = {{2, {20}}};
  EXPECT_EQ(run({1, 2}), (Log{"init 1280x720", "take 1", "take 2", "show 20", "idle", "release"}));
  EXPECT_EQ(decoder_.decode_calls, 3);
}

TEST_F(DecodeLoop, StopBetweenTwoPicturesOfOneChunkEndsBeforeTheSecond) {
  decoder_.pictures_of_chunk = {{1, {10, 11}}, {2, {12}}};
  display_.on_show = [this] { stop_ = true; };
  EXPECT_EQ(run({1, 2}), (Log{"init 1280x720", "take 1", "show 10", "release"}));
  EXPECT_EQ(decoder_.decode_calls, 1);
  EXPECT_TRUE(decoder_.destroyed);
}

TEST_F(DecodeLoop, CaptureGivesOneSnapshotOfTheNextPictureAfterShowingIt) {
  decoder_.pictures_of_chunk = {{1, {10, 11}}};
  capture_ = true;
  EXPECT_EQ(run({1}), (Log{"init 1280x720", "take 1", "show 10", "snapshot 10", "show 11", "idle",
                           "release"}));
  EXPECT_FALSE(capture_);
}

TEST_F(DecodeLoop, CaptureWhileFrozenStillTakesOneSnapshot) {
  decoder_.pictures_of_chunk = {{1, {10, 11}}};
  frozen_ = true;
  capture_ = true;
  EXPECT_EQ(run({1}), (Log{"init 1280x720", "take 1", "snapshot 10", "idle", "release"}));
  EXPECT_FALSE(capture_);
}

TEST_F(DecodeLoop, NoPictureResultStopsTheVideoChainWithAMessage) {
  decoder_.pictures_of_chunk = {{1, {10}}};
  decoder_.result_after_pictures = DECODE_NO_PICTURE;
  EXPECT_EQ(run({1, 2}), (Log{"init 1280x720", "take 1", "show 10",
                              "message ZQ_H264DEC_NO_PICTURE<0", "release"}));
  EXPECT_TRUE(stop_);
  EXPECT_TRUE(decoder_.destroyed);
}

TEST_F(DecodeLoop, FailedDecoderCreationOnlyReleasesTheDisplay) {
  decoder_.fail_create = true;
  EXPECT_EQ(run({1}), (Log{"init 1280x720", "release"}));
  EXPECT_EQ(decoder_.decode_calls, 0);
  EXPECT_FALSE(decoder_.destroyed);
}

TEST_F(DecodeLoop, RunsOnTheProgramsDecoder) {
  H264Decoder decoder;
  api_ = &decoder;
  EXPECT_EQ(run({1, 2}), (Log{"init 1280x720", "take 1", "take 2", "idle", "release"}));
}

// Keeps what a DisplaySurface hands to the video area.
class RecordingTarget final : public DisplayTarget {
 public:
  std::shared_ptr<FrameExchange> frames;
  int published = 0;
  void attach_frames(std::shared_ptr<FrameExchange> f) override {
    if (f) frames = std::move(f);
  }
  void frame_published() override { ++published; }
};

// The loop over one chunk with a real DisplaySurface and the given snapshot sink.
struct RealDisplayLoop {
  std::atomic<bool> stop{false}, frozen{false}, capture{false};
  Log log;
  FakeDecoder decoder;
  RecordingTarget target;

  void run(SnapshotSink& snapshots) {
    FakeChunks chunks(log, stop, {1});
    DisplaySurface surface;
    DecodeThreadContext context{chunks,    decoder, surface, &target,
                                snapshots, stop,    frozen,  capture};
    decode_thread(context);
  }
};

TEST(DecodeThread, CaptureWhileFrozenWritesOneFileAndShowsNothing) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("scopemark_loop_" + std::to_string(getpid()));
  fs::create_directories(root / "7");
  RealDisplayLoop loop;
  loop.frozen = true;
  loop.capture = true;
  loop.decoder.pictures_of_chunk = {{1, {81, 82}}};
  int album_loads = 0;
  SnapshotWriter writer(
      RecordFolder(root / "7"), [&](const std::string&) { ++album_loads; },
      [] { return SnapshotTime{2024, 3, 2, 9, 5, 3}; });
  loop.run(writer);

  EXPECT_EQ(loop.target.published, 0);
  EXPECT_EQ(album_loads, 1);
  EXPECT_FALSE(loop.capture);
  ASSERT_EQ(std::distance(fs::directory_iterator(root / "7"), fs::directory_iterator()), 1);
  const uint8_t luma[8] = {81, 81, 81, 81, 81, 81, 81, 81}, chroma[2] = {128, 128};
  std::vector<uint8_t> bgr(24);
  yuv420_to_bgr24(bgr.data(), luma, chroma, chroma, 4, 2);
  const std::string reference = (root / "reference.bmp").string();
  ASSERT_EQ(write_bmp(reference, bgr.data(), bgr.size(), 4, 2), reference);
  std::ifstream shot(root / "7" / "20240302_090503.bmp", std::ios::binary);
  std::ifstream expected(reference, std::ios::binary);
  EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(shot), std::istreambuf_iterator<char>(),
                         std::istreambuf_iterator<char>(expected),
                         std::istreambuf_iterator<char>()));
  fs::remove_all(root);
}

TEST(DecodeThread, ShownPicturesReachTheVideoAreaConverted) {
  RealDisplayLoop loop;
  loop.decoder.pictures_of_chunk = {{1, {16, 235}}};
  FakeSnapshots snapshots(loop.log);
  loop.run(snapshots);

  EXPECT_EQ(loop.target.published, 2);
  ASSERT_TRUE(loop.target.frames);
  const DisplayFrame* frame = loop.target.frames->acquire();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->width, 4);
  EXPECT_EQ(frame->height, 2);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(frame->pixels[i], 0xFFFEFEFEu) << i;
}

}  // namespace
}  // namespace scopemark
