#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "camsim/access_units.h"
#include "camsim/camera_sim.h"
#include "link/loopback_peer.h"
#include "link/messages.h"

namespace scopemark::camsim {
namespace {

using testing::LoopbackPeer;

// Appends one NAL unit with a 3- or 4-byte start code and two payload bytes.
void nal(std::vector<uint8_t>& stream, uint8_t header, uint8_t first_payload, bool long_code) {
  if (long_code) stream.push_back(0);
  stream.insert(stream.end(), {0, 0, 1, header, first_payload, 0x55});
}

constexpr uint8_t kSps = 0x67, kPps = 0x68, kIdr = 0x65, kSlice = 0x41, kAud = 0x09, kSei = 0x06;
constexpr uint8_t kFirstMb = 0x80;  // first_mb_in_slice = 0
constexpr uint8_t kLaterMb = 0x40;  // first_mb_in_slice = 1

TEST(PlanStream, CutsPicturesAndLoopsFromTheFirstIdr) {
  std::vector<uint8_t> stream;
  nal(stream, kSlice, kFirstMb, true);  // picture 0: a P picture before any IDR
  const size_t sps = stream.size();
  nal(stream, kSps, 0x42, true);  // picture 1: parameter sets and the IDR
  nal(stream, kPps, 0xCE, false);
  nal(stream, kIdr, kFirstMb, false);
  nal(stream, kIdr, kLaterMb, false);  // second slice of the same picture
  const size_t p2 = stream.size();
  nal(stream, kSlice, kFirstMb, false);  // picture 2
  const size_t aud = stream.size();
  nal(stream, kAud, 0x10, true);  // picture 3: delimiter, SEI, slice
  nal(stream, kSei, 0x05, false);
  nal(stream, kSlice, kFirstMb, false);
  const StreamPlan plan = plan_stream(stream);
  EXPECT_EQ(plan.frame_starts, (std::vector<size_t>{0, sps, p2, aud}));
  EXPECT_EQ(plan.loop_frame, 1u);
}

TEST(PlanStream, BytesWithoutStartCodesAreOnePicture) {
  EXPECT_EQ(plan_stream({1, 2, 3, 4, 5}).frame_starts, (std::vector<size_t>{0}));
  EXPECT_EQ(plan_stream({}).frame_starts.size(), 0u);
}

// Connects to the stream server, sends request and reads until the server closes.
std::vector<uint8_t> read_stream(uint16_t port, const std::vector<uint8_t>& request) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  EXPECT_EQ(connect_with_timeout(socket.get(), *make_address("127.0.0.1", port),
                                 std::chrono::milliseconds(3000)),
            0);
  send_all(socket.get(), request.data(), request.size());
  std::vector<uint8_t> received;
  uint8_t buffer[1024];
  for (ssize_t got; (got = recv(socket.get(), buffer, sizeof buffer, 0)) > 0;) {
    received.insert(received.end(), buffer, buffer + got);
  }
  return received;
}

TEST(StreamServer, SendsTheFileThenLoopsFromTheFirstIdr) {
  std::vector<uint8_t> stream;
  nal(stream, kSlice, kFirstMb, true);
  const size_t idr = stream.size();
  nal(stream, kSps, 0x42, true);
  nal(stream, kIdr, kFirstMb, false);
  nal(stream, kSlice, kFirstMb, false);
  StreamServerOptions options;
  options.stream = stream;
  options.frame_rate = 0;
  options.max_segment = 3;
  options.close_after = stream.size() + 2 * (stream.size() - idr) + 5;
  StreamServer camera(options);
  ASSERT_TRUE(camera.start());
  const StreamRequest request = make_stream_request();
  const auto received = read_stream(camera.port(), {request.begin(), request.end()});
  std::vector<uint8_t> expected = stream;
  for (int turn = 0; turn < 3; ++turn)
    expected.insert(expected.end(), stream.begin() + idr, stream.end());
  expected.resize(options.close_after);
  EXPECT_EQ(received, expected);
}

TEST(StreamServer, AWrongRequestGetsNoStream) {
  StreamServerOptions options;
  options.stream = {1, 2, 3};
  options.log = [](std::string_view) {};
  StreamServer camera(options);
  ASSERT_TRUE(camera.start());
  EXPECT_TRUE(read_stream(camera.port(), std::vector<uint8_t>(12, 'x')).empty());
}

TEST(CameraClient, MessageLayouts) {
  EXPECT_EQ(make_event_message(0x0106),
            (std::array<uint8_t, 10>{0, 0, 0, 0, 0, 0, 0, 0, 0x06, 0x01}));

  std::vector<uint8_t> picture(2 * kPicturePayloadSize + 300);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
  const auto packets = make_picture_packets(picture, "20261207123456789");
  ASSERT_EQ(packets.size(), 3u * kPicturePacketSize);
  for (size_t p = 0; p < 3; ++p) {
    const uint8_t* packet = &packets[p * kPicturePacketSize];
    EXPECT_EQ(read_le16(packet + 10), p < 2 ? 8192 : 300);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet + 19), 14), "20261207123456");
    EXPECT_TRUE(std::equal(packet + 38, packet + 38 + read_le16(packet + 10),
                           picture.begin() + static_cast<std::ptrdiff_t>(p * kPicturePayloadSize)));
  }
  const auto exact = make_picture_packets(std::vector<uint8_t>(kPicturePayloadSize, 1), "a");
  ASSERT_EQ(exact.size(), 2u * kPicturePacketSize);
  EXPECT_EQ(read_le16(&exact[kPicturePacketSize + 10]), 0);
  EXPECT_EQ(exact[19], 'a');
  EXPECT_EQ(exact[20], 0);
}

TEST(CameraClient, ConnectsFromTheCameraAddress) {
  std::string peer_address;
  std::vector<uint8_t> received(kEventMessageSize + 1);
  ssize_t count = 0;
  {
    LoopbackPeer viewer([&](int connection) {
      sockaddr_in peer{};
      socklen_t size = sizeof peer;
      getpeername(connection, reinterpret_cast<sockaddr*>(&peer), &size);
      char text[INET_ADDRSTRLEN];
      inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
      peer_address = text;
      count = recv(connection, received.data(), received.size(), MSG_WAITALL);
    });
    ClientTarget target{"127.0.0.3", "127.0.0.1", viewer.port()};
    EXPECT_EQ(send_event(target, 1), 0);
  }
  EXPECT_EQ(peer_address, "127.0.0.3");
  ASSERT_EQ(count, kEventMessageSize);
  EXPECT_EQ(received[8], 1);
  EXPECT_EQ(received[9], 0);
}

TEST(CameraClient, SendsAWholePicture) {
  std::vector<uint8_t> picture(110000, 0x5A);
  std::vector<uint8_t> received;
  {
    LoopbackPeer viewer([&](int connection) {
      uint8_t buffer[4096];
      for (ssize_t got; (got = recv(connection, buffer, sizeof buffer, 0)) > 0;) {
        received.insert(received.end(), buffer, buffer + got);
      }
    });
    EXPECT_EQ(send_picture({"127.0.0.1", "127.0.0.1", viewer.port()}, picture, "pic"), 0);
  }
  EXPECT_EQ(received, make_picture_packets(picture, "pic"));
}

TEST(CameraClient, RefusesAddressesOutsideLoopback) {
  EXPECT_EQ(send_event({"127.0.0.1", "192.0.2.1", 40004}, 1), -1);
  EXPECT_EQ(send_event({"192.168.1.1", "127.0.0.1", 40004}, 1), -1);
  ServerThread server;
  EXPECT_FALSE(server.start("192.168.1.1", 0, [](Socket, const std::atomic<bool>&) {}));
}

}  // namespace
}  // namespace scopemark::camsim
