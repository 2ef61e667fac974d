#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "events/picture_server.h"
#include "server_harness.h"

namespace scopemark {
namespace {

using Step = PictureAssembler::Step;
using testing::picture_packet;
using testing::sample_picture;

PicturePacket parse(const std::vector<std::uint8_t>& bytes) {
  return parse_picture_packet(
      std::span<const std::uint8_t, PicturePacket::kSize>(bytes.data(), bytes.size()));
}

TEST(PicturePacketParse, ReadsLengthNameAndPayloadAtTheirOffsets) {
  const auto payload = sample_picture(8192);
  const auto bytes = picture_packet(0x1234, "12345678901234", payload);
  const PicturePacket packet = parse(bytes);
  EXPECT_EQ(packet.length, 0x1234);
  EXPECT_EQ(packet.name, "12345678901234");
  ASSERT_EQ(packet.payload.size(), 8192u);
  EXPECT_TRUE(std::equal(packet.payload.begin(), packet.payload.end(), payload.begin()));
}

TEST(PicturePacketParse, NameEndsAtFirstNulOrAfterFourteenBytes) {
  EXPECT_EQ(parse(picture_packet(0, "abc", {})).name, "abc");
  auto bytes = picture_packet(0, "12345678901234", {});
  bytes[33] = 'X';  // first byte after the name field
  EXPECT_EQ(parse(bytes).name, "12345678901234");
}

TEST(PictureAssembler, FullPacketsAskForMoreAndAnyOtherLengthEnds) {
  PictureAssembler assembler;
  const auto data = sample_picture(8192);
  EXPECT_EQ(assembler.add(parse(picture_packet(8192, "pic", data))), Step::more);
  EXPECT_EQ(assembler.add(parse(picture_packet(0, "", {}))), Step::last);
  EXPECT_EQ(assembler.picture().size(), 8192u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), assembler.picture().begin()));
}

TEST(PictureAssembler, ResetForgetsNameAndBytes) {
  PictureAssembler assembler;
  assembler.add(parse(picture_packet(10, "first", sample_picture(10))));
  assembler.reset();
  EXPECT_FALSE(assembler.named());
  EXPECT_TRUE(assembler.picture().empty());
  assembler.add(parse(picture_packet(3, "second", sample_picture(3))));
  EXPECT_EQ(assembler.name(), "second");
  EXPECT_EQ(assembler.picture().size(), 3u);
}

TEST(PictureAssembler, HoldsExactly512000BytesAndRefusesMore) {
  const auto full = sample_picture(8192);
  PictureAssembler assembler;
  for (int i = 0; i < 62; ++i)
    ASSERT_EQ(assembler.add(parse(picture_packet(8192, "p", full))), Step::more);
  EXPECT_EQ(assembler.add(parse(picture_packet(4096, "p", full))), Step::last);
  EXPECT_EQ(assembler.picture().size(), kMaxPictureSize);

  PictureAssembler over;
  for (int i = 0; i < 62; ++i) over.add(parse(picture_packet(8192, "p", full)));
  EXPECT_EQ(over.add(parse(picture_packet(8192, "p", full))), Step::refused);
  EXPECT_EQ(over.picture().size(), 62u * 8192u);
}

}  // namespace
}  // namespace scopemark
