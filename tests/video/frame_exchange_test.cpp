#include "video/frame_exchange.h"

#include <gtest/gtest.h>

#include <thread>

namespace scopemark {
namespace {

void fill(FrameExchange& frames, uint32_t id) {
  DisplayFrame& frame = frames.back();
  frame.width = static_cast<int>(id % 4) * 2 + 2;
  frame.height = 2;
  for (int i = 0; i < frame.width * frame.height; ++i) frame.pixels[i] = id;
  frames.publish();
}

TEST(FrameExchange, ConsumerGetsTheNewestFrameAndKeepsIt) {
  auto frames = FrameExchange::create(16);
  ASSERT_TRUE(frames);
  EXPECT_EQ(frames->acquire(), nullptr);
  fill(*frames, 1);
  fill(*frames, 2);
  fill(*frames, 3);
  const DisplayFrame* frame = frames->acquire();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->pixels[0], 3u);
  EXPECT_EQ(frames->acquire(), frame);
  EXPECT_EQ(frame->pixels[0], 3u);
  fill(*frames, 4);
  fill(*frames, 5);
  EXPECT_EQ(frame->pixels[0], 3u) << "the consumer's frame is never written";
  EXPECT_EQ(frames->acquire()->pixels[0], 5u);
}

// Vector stores that bypass the cache need every buffer aligned, whatever the capacity.
TEST(FrameExchange, EveryBufferStartsOnACacheLine) {
  auto frames = FrameExchange::create(13);
  ASSERT_TRUE(frames);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(frames->back().pixels) % 64, 0u);
    frames->publish();
  }
}

TEST(FrameExchange, ConcurrentFramesArriveWholeAndInOrder) {
  auto frames = FrameExchange::create(16);
  ASSERT_TRUE(frames);
  constexpr uint32_t kFrames = 20000;
  std::thread producer([&] {
    for (uint32_t id = 1; id <= kFrames; ++id) fill(*frames, id);
  });
  // A frame is whole when its size and every pixel match its id.
  auto whole = [](const DisplayFrame& frame, uint32_t id) {
    if (frame.width != static_cast<int>(id % 4) * 2 + 2) return false;
    for (int i = 0; i < frame.width * frame.height; ++i) {
      if (frame.pixels[i] != id) return false;
    }
    return true;
  };
  uint32_t last = 0;
  while (last < kFrames) {
    const DisplayFrame* frame = frames->acquire();
    if (frame == nullptr) continue;
    const uint32_t id = frame->pixels[0];
    if (id < last || !whole(*frame, id)) {
      ADD_FAILURE() << "frame " << id << " after " << last;
      break;
    }
    last = id;
  }
  producer.join();
}

}  // namespace
}  // namespace scopemark
