#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "h264/front_bit_writer.h"
#include "h264/stream/bit_reader.h"

namespace {

using front_test::BitWriter;

// Copies the bytes into a heap block of exactly their size, so that any read past the end
// is seen by AddressSanitizer.
struct ExactBuffer {
  explicit ExactBuffer(const std::vector<uint8_t>& bytes)
      : data(new uint8_t[bytes.size()]), size(static_cast<uint32_t>(bytes.size())) {
    std::copy(bytes.begin(), bytes.end(), data.get());
  }
  BitReader reader() const {
    BitReader br;
    bit_reader_init(br, data.get(), size);
    return br;
  }
  std::unique_ptr<uint8_t[]> data;
  uint32_t size;
};

TEST(FrontBitReader, ReadBitsMatchesBitByBitReadingAtEveryOffsetAndWidth) {
  std::mt19937 rng(7);
  std::vector<uint8_t> bytes(64);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  ExactBuffer buffer(bytes);
  auto bit_at = [&](uint32_t pos) { return (bytes[pos / 8] >> (7 - pos % 8)) & 1u; };
  for (uint32_t start = 0; start < 16; ++start) {
    for (uint32_t n = 0; n <= 32; ++n) {
      BitReader br = buffer.reader();
      br.position = start;
      uint64_t expected = 0;
      for (uint32_t i = 0; i < n; ++i) expected = (expected << 1) | bit_at(start + i);
      EXPECT_EQ(read_bits(br, n), expected) << "start " << start << " n " << n;
      EXPECT_EQ(br.position, start + n);
    }
  }
}

TEST(FrontBitReader, ExpGolombCodesUpToThirtyOneLeadingZeros) {
  BitWriter w;
  std::vector<uint32_t> values;
  for (int zeros = 0; zeros <= 31; ++zeros) {
    uint64_t smallest = (uint64_t{1} << zeros) - 1;
    uint64_t largest = (uint64_t{1} << (zeros + 1)) - 2;
    for (uint64_t v : {smallest, largest}) {
      w.ue(v);
      values.push_back(static_cast<uint32_t>(v));
    }
  }
  w.bits(0x5A, 8).trailing();
  ExactBuffer buffer(w.bytes());
  BitReader br = buffer.reader();
  for (uint32_t v : values) EXPECT_EQ(read_ue(br), v);
  EXPECT_EQ(read_bits(br, 8), 0x5Au);
}

TEST(FrontBitReader, SignedExpGolombMapping) {
  BitWriter w;
  const std::vector<int32_t> values = {0,   1,     -1,     2,          -2,         25,
                                       -26, 32767, -32768, 1073741823, -1073741823};
  for (int32_t v : values) w.se(v);
  w.trailing();
  ExactBuffer buffer(w.bytes());
  BitReader br = buffer.reader();
  for (int32_t v : values) EXPECT_EQ(read_se(br), v);
  BitWriter k;
  k.ue(3).ue(4).ue(0xFFFFFFFEu).trailing();
  ExactBuffer raw(k.bytes());
  br = raw.reader();
  EXPECT_EQ(read_se(br), 2);
  EXPECT_EQ(read_se(br), -2);
  EXPECT_EQ(read_se(br), -2147483647);
}

TEST(FrontBitReader, ThirtyTwoZeroBitsAreAnInvalidCodeNotAHang) {
  ExactBuffer buffer(std::vector<uint8_t>(6, 0));
  BitReader br = buffer.reader();
  EXPECT_EQ(read_ue(br), 0xFFFFFFFFu);
  EXPECT_EQ(br.position, 32u);
}

TEST(FrontBitReader, ReadsPastTheEndStayInsideTheBufferAndSeeZeros) {
  for (uint32_t size = 1; size <= 6; ++size) {
    ExactBuffer buffer(std::vector<uint8_t>(size, 0xFF));
    BitReader br = buffer.reader();
    br.position = size * 8 - 3;
    EXPECT_EQ(read_bits(br, 8), 0xE0u) << size;
    EXPECT_EQ(read_bits(br, 32), 0u);
    EXPECT_EQ(read_ue(br), 0xFFFFFFFFu);
    EXPECT_FALSE(more_rbsp_data(br));
    br.position = 0xFFFFFFC0u;
    EXPECT_EQ(read_bits(br, 32), 0u);
  }
}

TEST(FrontBitReader, RbspLengthCountsBitsBeforeTheStopByte) {
  const std::vector<uint8_t> unit = {0x67, 0x42, 0x80, 0x00, 0x00};
  EXPECT_EQ(rbsp_length_bits(unit.data(), 5), 16u);
  EXPECT_EQ(rbsp_length_bits(unit.data(), 3), 16u);
  const std::vector<uint8_t> zeros = {0, 0};
  EXPECT_EQ(rbsp_length_bits(zeros.data(), 2), 0u);
}

TEST(FrontBitReader, MoreRbspDataFollowsTheStopBit) {
  // Header byte, then 101 and the stop bit in the last byte: 1011 0000.
  ExactBuffer buffer({0x68, 0xB0, 0x00});
  BitReader br = buffer.reader();
  EXPECT_EQ(br.rbsp_bits, 8u);
  br.position = 7;
  EXPECT_TRUE(more_rbsp_data(br));
  br.position = 8;
  EXPECT_TRUE(more_rbsp_data(br));
  br.position = 10;
  EXPECT_TRUE(more_rbsp_data(br));  // "1 1 0000" left: not only the stop bit
  br.position = 11;
  EXPECT_FALSE(more_rbsp_data(br));  // "1 0000" left: the stop bit
  br.position = 16;
  EXPECT_FALSE(more_rbsp_data(br));
  // A byte of data followed by a stop byte: data remains until the stop byte.
  ExactBuffer two({0x68, 0x01, 0x80});
  br = two.reader();
  br.position = 15;
  EXPECT_TRUE(more_rbsp_data(br));
  br.position = 16;
  EXPECT_FALSE(more_rbsp_data(br));
}

}  // namespace
