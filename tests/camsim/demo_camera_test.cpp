#include "camsim/demo_camera.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camsim/access_units.h"
#include "link/camera_link.h"
#include "link/messages.h"
#include "link/packet_ring.h"
#include "link/sockets.h"

namespace scopemark::camsim {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> embedded() {
  const auto stream = demo_stream();
  return {stream.begin(), stream.end()};
}

// A small receive buffer makes the camera block in a send as soon as the reader stops.
Socket connect_to(uint16_t port, int receive_buffer = 0) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (receive_buffer > 0) {
    setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  }
  EXPECT_EQ(connect_with_timeout(socket.get(), *make_address(DemoCamera::kCameraAddress, port),
                                 std::chrono::milliseconds(3000)),
            0);
  return socket;
}

void send_request(const Socket& socket) {
  const StreamRequest request = make_stream_request();
  ASSERT_EQ(send_all(socket.get(), request.data(), request.size()), kStreamRequestSize);
}

// Receives until size bytes have come, the peer closes or deadline passes.
std::vector<uint8_t> receive_until(const Socket& socket, size_t size, Clock::time_point deadline) {
  std::vector<uint8_t> received;
  uint8_t buffer[4096];
  while (received.size() < size && Clock::now() < deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (wait_socket(socket.get(), POLLIN, nullptr, left) != 1) break;
    const ssize_t got =
        recv(socket.get(), buffer, std::min(sizeof buffer, size - received.size()), 0);
    if (got <= 0) break;
    received.insert(received.end(), buffer, buffer + got);
  }
  return received;
}

TEST(DemoCamera, LinkConfigLeadsToItsPortsOnLoopback) {
  DemoCamera camera;
  ASSERT_TRUE(camera.start());
  const LinkConfig config = camera.link_config();
  EXPECT_EQ(config.camera_address, "127.0.0.1");
  EXPECT_EQ(config.local_address, "127.0.0.2");
  EXPECT_TRUE(config.get_bind_address.empty());
  EXPECT_NE(camera.stream_port(), 0);
  EXPECT_NE(camera.adjust_port(), 0);
  EXPECT_EQ(config.stream_port, camera.stream_port());
  EXPECT_EQ(config.adjust_port, camera.adjust_port());
  EXPECT_EQ(config.event_port, 0);
  EXPECT_EQ(config.picture_port, 0);
  EXPECT_FALSE(config.discovery_wanted());
}

TEST(DemoCamera, AClientAskingForTheStreamGetsItsFirstBytes) {
  DemoCamera camera;
  ASSERT_TRUE(camera.start());
  const Socket socket = connect_to(camera.stream_port());
  send_request(socket);
  const std::vector<uint8_t> stream = embedded();
  const size_t size = 64 * 1024;
  const auto received = receive_until(socket, size, Clock::now() + std::chrono::seconds(10));
  ASSERT_EQ(received.size(), size);
  EXPECT_TRUE(std::equal(received.begin(), received.end(), stream.begin()));
}

// The viewer's own receiver, bound to the local address, fills its ring with the stream.
TEST(DemoCamera, TheViewersStreamConnectionReceivesTheStream) {
  DemoCamera camera;
  ASSERT_TRUE(camera.start());
  const auto ring = std::make_unique<PacketRing>();
  ring_reset(*ring);
  std::atomic<bool> stop{false};
  std::vector<std::string> messages;
  LinkHooks hooks;
  hooks.log = [](std::string_view) {};
  hooks.message = [&](const std::string& text, const std::string&) { messages.push_back(text); };
  std::thread receiver([&] { run_stream_connection(*ring, camera.link_config(), stop, hooks); });
  const std::vector<uint8_t> stream = embedded();
  std::vector<uint8_t> received;
  uint8_t chunk[kChunkBytes];
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (received.size() < 8 * kChunkBytes && Clock::now() < deadline) {
    const int length = ring_take(*ring, chunk);
    if (length < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } else {
      received.insert(received.end(), chunk, chunk + length);
    }
  }
  stop = true;
  receiver.join();
  EXPECT_TRUE(messages.empty()) << messages.front();
  ASSERT_GE(received.size(), 8u * kChunkBytes);
  EXPECT_TRUE(std::equal(received.begin(), received.begin() + 8 * kChunkBytes, stream.begin()));
}

TEST(DemoCamera, AnswersTheViewersAdjustmentExchanges) {
  DemoCamera camera;
  ASSERT_TRUE(camera.start());
  const LinkConfig config = camera.link_config();
  LinkHooks hooks;
  hooks.log = [](std::string_view) {};
  ASSERT_EQ(send_video_adjust(61, 62, 63, 64, config, hooks), 0);
  VideoAdjustValues values;
  ASSERT_EQ(get_video_adjust(values, config, hooks), 0);
  EXPECT_EQ(values.brightness, 61);
  EXPECT_EQ(values.contrast, 62);
  EXPECT_EQ(values.saturation, 63);
  EXPECT_EQ(values.hue, 64);
}

// Pictures go out at the demo's frame rate: by the time elapsed since the request, at most
// the pictures due by then (and one more) can have arrived.
TEST(DemoCamera, PacesTheStreamAtItsFrameRate) {
  DemoCamera camera;
  ASSERT_TRUE(camera.start());
  const Socket socket = connect_to(camera.stream_port());
  const auto start = Clock::now();
  send_request(socket);
  const auto received = receive_until(socket, SIZE_MAX, start + std::chrono::milliseconds(400));
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const StreamPlan plan = plan_stream(embedded());
  const auto due = static_cast<size_t>(elapsed * kDemoFrameRate) + 2;
  ASSERT_LT(due, plan.frame_starts.size());
  EXPECT_LE(received.size(), plan.frame_starts[due]);
  EXPECT_GT(received.size(), 0u);
}

// A viewer that stops reading leaves the camera blocked in a send; destruction still ends
// at once, and the ports close.
TEST(DemoCamera, DestructionStopsPromptly) {
  auto camera = std::make_unique<DemoCamera>();
  ASSERT_TRUE(camera->start());
  const uint16_t port = camera->stream_port();
  const Socket socket = connect_to(port, 4096);
  send_request(socket);
  ASSERT_FALSE(receive_until(socket, 1, Clock::now() + std::chrono::seconds(10)).empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = Clock::now();
  camera.reset();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  Socket again(::socket(AF_INET, SOCK_STREAM, 0));
  EXPECT_NE(connect_with_timeout(again.get(), *make_address(DemoCamera::kCameraAddress, port),
                                 std::chrono::milliseconds(1000)),
            0);
}

}  // namespace
}  // namespace scopemark::camsim
