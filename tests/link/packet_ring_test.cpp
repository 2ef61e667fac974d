#include "link/packet_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace scopemark {
namespace {

// Chunk number n: its length and bytes are derived from n.
size_t chunk_length(uint32_t n) {
  return 1 + (n * 7919u) % kChunkBytes;
}

void fill_chunk(uint32_t n, uint8_t* bytes) {
  for (size_t i = 0; i < chunk_length(n); ++i) bytes[i] = static_cast<uint8_t>(n * 31 + i * 7);
}

class PacketRingTest : public ::testing::Test {
 protected:
  void SetUp() override { ring_reset(*ring); }

  bool put(uint32_t n) {
    fill_chunk(n, in);
    return ring_put(*ring, in, chunk_length(n));
  }

  // Takes one chunk and checks that it is chunk n.
  void expect_take(uint32_t n) {
    ASSERT_EQ(ring_take(*ring, out), static_cast<int>(chunk_length(n))) << "chunk " << n;
    fill_chunk(n, in);
    ASSERT_EQ(std::memcmp(in, out, chunk_length(n)), 0) << "chunk " << n;
  }

  std::unique_ptr<PacketRing> ring = std::make_unique<PacketRing>();
  uint8_t in[kChunkBytes];
  uint8_t out[kChunkBytes];
};

TEST_F(PacketRingTest, EmptyAfterReset) {
  EXPECT_EQ(ring_take(*ring, out), -1);
  ASSERT_TRUE(put(1));
  ASSERT_TRUE(put(2));
  expect_take(1);
  ring_reset(*ring);
  EXPECT_EQ(ring->write_index, 0);
  EXPECT_EQ(ring->read_index, 0);
  EXPECT_EQ(ring_take(*ring, out), -1);
  ASSERT_TRUE(put(3));
  expect_take(3);
}

TEST_F(PacketRingTest, FullRingDropsUntilTheWriteSlotIsTaken) {
  for (uint32_t n = 0; n < kRingSlots; ++n) ASSERT_TRUE(put(n));
  EXPECT_EQ(ring->write_index, 0);
  EXPECT_FALSE(put(9999));
  EXPECT_EQ(ring->write_index, 0);
  expect_take(0);
  ASSERT_TRUE(put(kRingSlots));
  EXPECT_EQ(ring->write_index, 1);
  for (uint32_t n = 1; n <= kRingSlots; ++n) expect_take(n);
  EXPECT_EQ(ring_take(*ring, out), -1);
}

TEST_F(PacketRingTest, OrderKeptAcrossTheWrap) {
  uint32_t next_put = 0;
  uint32_t next_take = 0;
  // Keep a varying distance between the two indices over several turns of the ring.
  for (int round = 0; round < 40; ++round) {
    const uint32_t puts = 100 + static_cast<uint32_t>(round * 37) % 300;
    for (uint32_t i = 0; i < puts; ++i) ASSERT_TRUE(put(next_put++));
    const uint32_t takes = puts - static_cast<uint32_t>(round % 5);
    for (uint32_t i = 0; i < takes; ++i) expect_take(next_take++);
  }
  while (next_take < next_put) expect_take(next_take++);
  EXPECT_GT(next_put, 3u * kRingSlots);
  EXPECT_EQ(ring_take(*ring, out), -1);
}

TEST_F(PacketRingTest, OverlongChunkIsCutAt4096Bytes) {
  std::vector<uint8_t> big(kChunkBytes + 900, 0xAB);
  ASSERT_TRUE(put(5));
  ASSERT_TRUE(ring_put(*ring, big.data(), big.size()));
  EXPECT_EQ(ring->entries[1].length, kChunkBytes);
  expect_take(5);
  EXPECT_EQ(ring_take(*ring, out), kChunkBytes);
  EXPECT_EQ(ring->entries[2].length, 0);
  EXPECT_EQ(ring->entries[2].data[0], 0);
}

TEST_F(PacketRingTest, EndMarkKeepsItsPlaceBetweenStreams) {
  ASSERT_TRUE(put(1));
  ASSERT_TRUE(ring_put(*ring, nullptr, 0));
  ASSERT_TRUE(put(2));
  expect_take(1);
  EXPECT_EQ(ring_take(*ring, out), 0);
  expect_take(2);
  EXPECT_EQ(ring_take(*ring, out), -1);
}

// One producer and one consumer move 100 000 chunks; the consumer checks the order and both
// keep a running checksum of the bytes. The producer retries a full ring instead of dropping.
TEST_F(PacketRingTest, TwoThreadStress) {
  constexpr uint32_t kChunks = 100000;
  uint64_t produced_sum = 0;
  std::thread producer([&] {
    uint8_t chunk[kChunkBytes];
    for (uint32_t n = 0; n < kChunks; ++n) {
      fill_chunk(n, chunk);
      for (size_t i = 0; i < chunk_length(n); ++i) produced_sum = produced_sum * 131 + chunk[i];
      while (!ring_put(*ring, chunk, chunk_length(n))) std::this_thread::yield();
    }
  });
  uint64_t consumed_sum = 0;
  uint32_t mismatches = 0;
  uint8_t expected[kChunkBytes];
  for (uint32_t n = 0; n < kChunks; ++n) {
    int length;
    while ((length = ring_take(*ring, out)) < 0) std::this_thread::yield();
    fill_chunk(n, expected);
    if (length != static_cast<int>(chunk_length(n)) ||
        std::memcmp(expected, out, static_cast<size_t>(length)) != 0) {
      ++mismatches;
    }
    for (int i = 0; i < length; ++i) consumed_sum = consumed_sum * 131 + out[i];
  }
  producer.join();
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(consumed_sum, produced_sum);
  EXPECT_EQ(ring_take(*ring, out), -1);
}

}  // namespace
}  // namespace scopemark
