#include "link/camera_link.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

#include "camsim/camera_sim.h"
#include "link/loopback_peer.h"
#include "link/messages.h"

namespace scopemark {
namespace {

using testing::LinkRecorder;
using testing::LoopbackPeer;

// Stream bytes without start codes, so the simulator sends them as one picture.
std::vector<uint8_t> pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(1 + (i * 13) % 250);
  return bytes;
}

// The camera on 127.0.0.1, this computer on 127.0.0.2 (the stream binds to the camera's port).
LinkConfig loopback_config() {
  LinkConfig config;
  config.camera_address = "127.0.0.1";
  config.local_address = "127.0.0.2";
  config.get_bind_address.clear();
  return config;
}

// A port on 127.0.0.1 where nothing listens, held for the socket's lifetime.
class ClosedPort {
 public:
  ClosedPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    const auto address = make_address("127.0.0.1", 0);
    bind(socket_.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
  }
  uint16_t port() const { return local_port(socket_.get()); }

 private:
  Socket socket_;
};

class StreamConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { ring_reset(*ring); }

  std::vector<std::vector<uint8_t>> drain() {
    std::vector<std::vector<uint8_t>> chunks;
    uint8_t chunk[kChunkBytes];
    for (int length; (length = ring_take(*ring, chunk)) >= 0;) {
      chunks.emplace_back(chunk, chunk + length);
    }
    return chunks;
  }

  int run_against(camsim::StreamServerOptions options) {
    camsim::StreamServer camera(std::move(options));
    EXPECT_TRUE(camera.start());
    LinkConfig config = loopback_config();
    config.stream_port = camera.port();
    return run_stream_connection(*ring, config, stop, recorder.hooks());
  }

  std::unique_ptr<PacketRing> ring = std::make_unique<PacketRing>();
  std::atomic<bool> stop{false};
  LinkRecorder recorder;
};

TEST_F(StreamConnectionTest, EveryByteIsHandedOnAndTheEndIsMarked) {
  const std::vector<uint8_t> stream = pattern(3 * 4096 + 100);
  for (const size_t segment : {size_t{7}, size_t{10000}}) {
    camsim::StreamServerOptions options;
    options.stream = stream;
    options.frame_rate = 0;
    options.max_segment = segment;
    options.close_after = 10000;
    recorder.log.clear();
    EXPECT_EQ(run_against(options), 0);
    auto chunks = drain();
    ASSERT_FALSE(chunks.empty());
    EXPECT_TRUE(chunks.back().empty()) << "the end of the stream is marked";
    chunks.pop_back();
    std::vector<uint8_t> received;
    for (const auto& chunk : chunks) {
      EXPECT_FALSE(chunk.empty());
      EXPECT_LE(chunk.size(), size_t{kChunkBytes});
      received.insert(received.end(), chunk.begin(), chunk.end());
    }
    EXPECT_TRUE(received == std::vector<uint8_t>(stream.begin(), stream.begin() + 10000));
    EXPECT_EQ(recorder.log, "net enviorment is so bad!\n");
    EXPECT_TRUE(recorder.messages.empty());
  }
}

TEST_F(StreamConnectionTest, APieceIsHandedOnWithoutWaitingForMore) {
  std::atomic<bool> release_camera{false};
  LoopbackPeer camera([&](int connection) {
    uint8_t bytes[kStreamRequestSize];
    recv(connection, bytes, kStreamRequestSize, MSG_WAITALL);
    const uint8_t small_picture[300] = {0, 0, 0, 1, 0x41};
    send(connection, small_picture, sizeof small_picture, MSG_NOSIGNAL);
    while (!release_camera) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  LinkConfig config = loopback_config();
  config.stream_port = camera.port();
  std::thread receiver([&] { run_stream_connection(*ring, config, stop); });
  uint8_t piece[kChunkBytes];
  int length = -1;
  for (int i = 0; i < 2000 && length < 0; ++i) {
    length = ring_take(*ring, piece);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stop = true;
  release_camera = true;
  receiver.join();
  EXPECT_EQ(length, 300) << "the piece waits for no more bytes while the connection is open";
}

TEST_F(StreamConnectionTest, ASilentStreamCountsAsEnded) {
  std::atomic<bool> release_camera{false};
  LoopbackPeer camera([&](int connection) {
    uint8_t bytes[kStreamRequestSize];
    recv(connection, bytes, kStreamRequestSize, MSG_WAITALL);
    send(connection, bytes, 5, MSG_NOSIGNAL);
    while (!release_camera) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  LinkConfig config = loopback_config();
  config.stream_port = camera.port();
  config.stream_silence = std::chrono::milliseconds(200);
  int ended = 1;
  const StreamEvents events{.connected = {}, .ended = [&](int result) { ended = result; }};
  EXPECT_EQ(run_stream_connection(*ring, config, stop, recorder.hooks(), events), 0);
  release_camera = true;
  EXPECT_EQ(ended, 0);
  const auto chunks = drain();
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].size(), 5u);
  EXPECT_TRUE(chunks[1].empty());
}

TEST_F(StreamConnectionTest, ConformanceStreamArrivesWholeAndLoopsFromItsIdr) {
  const std::string path = std::string(SCOPEMARK_SHARED_DIR) + "/conformance/streams/BA_MW_D.264";
  std::ifstream file(path, std::ios::binary);
  if (!file) GTEST_SKIP() << "shared conformance stream missing: " << path;
  const std::vector<uint8_t> stream{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
  const uint8_t idr_start[] = {0, 0, 1, 0x65};
  const size_t idr = static_cast<size_t>(
      std::search(stream.begin(), stream.end(), std::begin(idr_start), std::end(idr_start)) -
      stream.begin());
  ASSERT_LT(idr, stream.size());
  camsim::StreamServerOptions options;
  options.stream = stream;
  options.frame_rate = 0;
  options.close_after = stream.size() * 2 + 1234;
  EXPECT_EQ(run_against(options), 0);
  std::vector<uint8_t> received;
  for (const auto& chunk : drain()) received.insert(received.end(), chunk.begin(), chunk.end());
  // The stream again from the start of the IDR picture's parameter sets, which precede it.
  const camsim::StreamPlan plan = camsim::plan_stream(stream);
  const size_t loop_start = plan.frame_starts[plan.loop_frame];
  EXPECT_LE(loop_start, idr);
  std::vector<uint8_t> expected = stream;
  while (expected.size() < options.close_after) {
    expected.insert(expected.end(), stream.begin() + static_cast<std::ptrdiff_t>(loop_start),
                    stream.end());
  }
  expected.resize(options.close_after);
  EXPECT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
}

TEST_F(StreamConnectionTest, SendsTheExactRequestBytes) {
  std::vector<uint8_t> received(kStreamRequestSize);
  int count = 0;
  {
    LoopbackPeer camera([&](int connection) {
      count = static_cast<int>(recv(connection, received.data(), received.size(), MSG_WAITALL));
    });
    LinkConfig config = loopback_config();
    config.stream_port = camera.port();
    EXPECT_EQ(run_stream_connection(*ring, config, stop, recorder.hooks()), 0);
  }
  EXPECT_EQ(count, kStreamRequestSize);
  EXPECT_EQ(received,
            (std::vector<uint8_t>{0x5F, 0x6F, 0, 0, 'R', 'E', 'Q', 'U', 'E', 'S', 'T', 0}));
  EXPECT_TRUE(drain().empty());
}

TEST_F(StreamConnectionTest, NoListenerShowsNoDevice) {
  ClosedPort closed;
  LinkConfig config = loopback_config();
  config.stream_port = closed.port();
  config.local_address.clear();
  EXPECT_EQ(run_stream_connection(*ring, config, stop, recorder.hooks()), -5);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0], std::make_pair(std::string("No Device"), std::string("Error")));
}

TEST_F(StreamConnectionTest, BindErrorIsShownAndTheConnectionGoesOn) {
  camsim::StreamServerOptions options;
  options.stream = pattern(4096);
  options.frame_rate = 0;
  options.close_after = 4096;
  camsim::StreamServer camera(options);
  ASSERT_TRUE(camera.start());
  LinkConfig config = loopback_config();
  config.stream_port = camera.port();
  config.local_address = "192.0.2.1";  // not an address of this computer: bind fails locally
  EXPECT_EQ(run_stream_connection(*ring, config, stop, recorder.hooks()), 0);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].first, "bind error");
  size_t bytes = 0;
  for (const auto& chunk : drain()) bytes += chunk.size();
  EXPECT_EQ(bytes, 4096u);
}

TEST_F(StreamConnectionTest, StopEndsAWaitingReceiver) {
  std::atomic<bool> request_seen{false};
  std::atomic<bool> release_camera{false};
  LoopbackPeer camera([&](int connection) {
    uint8_t bytes[100] = {};
    recv(connection, bytes, kStreamRequestSize, MSG_WAITALL);
    send(connection, bytes, sizeof bytes, MSG_NOSIGNAL);
    request_seen = true;
    while (!release_camera) std::this_thread::yield();
  });
  LinkConfig config = loopback_config();
  config.stream_port = camera.port();
  int result = 1;
  std::thread receiver([&] { result = run_stream_connection(*ring, config, stop); });
  while (!request_seen) std::this_thread::yield();
  stop = true;
  receiver.join();
  release_camera = true;
  EXPECT_EQ(result, 0);
}

TEST_F(StreamConnectionTest, StopDuringTheConnectShowsNoMessage) {
  LinkHooks hooks = recorder.hooks();
  std::atomic<bool> connecting{false};
  // Stands for a connect that is still waiting when the window closes.
  hooks.connect = [&](int, const sockaddr_in&, std::chrono::milliseconds,
                      const std::atomic<bool>* stop_flag) {
    connecting = true;
    while (!stop_flag->load()) std::this_thread::yield();
    return -1;
  };
  int result = 1;
  std::thread receiver([&] { result = run_stream_connection(*ring, LinkConfig{}, stop, hooks); });
  while (!connecting) std::this_thread::yield();
  stop = true;
  receiver.join();
  EXPECT_EQ(result, -5);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(StreamConnectionTest, DefaultCameraAddressWithStubbedConnect) {
  const LinkConfig config;
  std::string connected_to;
  LinkHooks hooks = recorder.hooks();
  hooks.connect = [&](int, const sockaddr_in& address, std::chrono::milliseconds,
                      const std::atomic<bool>*) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    connected_to = std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
    return -1;
  };
  EXPECT_EQ(run_stream_connection(*ring, config, stop, hooks), -5);
  EXPECT_EQ(connected_to, "192.168.1.1:40003");
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].first, "No Device");
}

// Waits up to 10 s for done().
bool wait_for(const std::function<bool()>& done) {
  for (int i = 0; i < 1000 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

TEST_F(StreamConnectionTest, ReceiverTriesAgainShowsNoDeviceOnceAndMarksEachStreamsEnd) {
  const std::vector<uint8_t> stream = pattern(5000);
  camsim::StreamServerOptions options;
  options.stream = stream;
  options.frame_rate = 0;
  options.close_after = stream.size();
  camsim::StreamServer camera(options);
  ASSERT_TRUE(camera.start());
  camera.stop();  // the camera is off: nothing listens on its port
  LinkConfig config = loopback_config();
  config.stream_port = camera.port();
  config.local_address.clear();
  std::atomic<int> failures{0};
  std::atomic<int> connections{0};
  const StreamEvents events{.connected = [&] { ++connections; },
                            .ended = [&](int result) { failures += result == -5; }};
  std::thread receiver([&] { run_stream_receiver(*ring, config, stop, recorder.hooks(), events); });
  EXPECT_TRUE(wait_for([&] { return failures >= 2; }));
  ASSERT_TRUE(camera.start());
  EXPECT_TRUE(wait_for([&] { return connections >= 2; })) << "a stream that ends is asked again";
  const auto stopping = std::chrono::steady_clock::now();
  stop = true;
  receiver.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1));
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].first, "No Device");
  // Each connection's stream whole, each followed by the mark.
  std::vector<std::vector<uint8_t>> streams(1);
  for (const auto& chunk : drain()) {
    if (chunk.empty()) {
      streams.emplace_back();
    } else {
      streams.back().insert(streams.back().end(), chunk.begin(), chunk.end());
    }
  }
  ASSERT_GE(streams.size(), 3u);
  EXPECT_TRUE(streams[0] == stream);
  EXPECT_TRUE(streams[1] == stream);
}

class VideoAdjustTest : public ::testing::Test {
 protected:
  LinkConfig config = loopback_config();
  LinkRecorder recorder;
};

TEST_F(VideoAdjustTest, SetPutsTheRightBytesOnTheWire) {
  std::vector<uint8_t> received(kVideoAdjustSize + 1);
  int count = 0;
  {
    LoopbackPeer camera([&](int connection) {
      count = static_cast<int>(recv(connection, received.data(), received.size(), MSG_WAITALL));
    });
    config.adjust_port = camera.port();
    EXPECT_EQ(send_video_adjust(73, 50, 40, 70000, config, recorder.hooks()), 0);
  }
  EXPECT_EQ(recorder.log, "now start!\n");
  ASSERT_EQ(count, kVideoAdjustSize);
  received.resize(kVideoAdjustSize);
  // command 10, direction 0, contrast 50, brightness 73, saturation 40, hue 70000 & 0xFFFF
  EXPECT_EQ(received, (std::vector<uint8_t>{10, 0, 0, 0, 50, 0, 73, 0, 40, 0, 0x70, 0x11, 0, 0}));
}

// A camera that reads the get request and answers with reply (or closes when it is empty).
std::unique_ptr<LoopbackPeer> get_camera(std::vector<uint8_t>& request,
                                         std::vector<uint8_t> reply) {
  return std::make_unique<LoopbackPeer>([&request, reply](int connection) {
    request.resize(kVideoAdjustSize);
    recv(connection, request.data(), request.size(), MSG_WAITALL);
    if (!reply.empty()) send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
  });
}

TEST_F(VideoAdjustTest, GetSendsTheRequestAndReadsTheReply) {
  std::vector<uint8_t> request;
  VideoAdjustValues values{1, 2, 3, 4};
  {
    auto camera = get_camera(request, {10, 0, 1, 0, 10, 0, 20, 0, 30, 0, 0x28, 0x01, 9, 9});
    config.adjust_port = camera->port();
    EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), 0);
  }
  EXPECT_EQ(request, (std::vector<uint8_t>{10, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(values.contrast, 10);
  EXPECT_EQ(values.brightness, 20);
  EXPECT_EQ(values.saturation, 30);
  EXPECT_EQ(values.hue, 296);
  EXPECT_EQ(recorder.log, "now start!\nnByteRecv:14.\n");
}

TEST_F(VideoAdjustTest, GetFailuresChangeNoValue) {
  const VideoAdjustValues before{1, 2, 3, 4};
  const auto unchanged = [&](const VideoAdjustValues& values) {
    return values.brightness == before.brightness && values.contrast == before.contrast &&
           values.saturation == before.saturation && values.hue == before.hue;
  };
  {
    SCOPED_TRACE("reply whose first word is not 10");
    std::vector<uint8_t> request;
    VideoAdjustValues values = before;
    {
      auto camera = get_camera(request, {11, 0, 1, 0, 10, 0, 20, 0, 30, 0, 40, 0, 0, 0});
      config.adjust_port = camera->port();
      EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), -1);
    }
    EXPECT_TRUE(unchanged(values));
  }
  {
    SCOPED_TRACE("camera closes without a reply");
    recorder.log.clear();
    std::vector<uint8_t> request;
    VideoAdjustValues values = before;
    {
      auto camera = get_camera(request, {});
      config.adjust_port = camera->port();
      EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), -1);
    }
    EXPECT_TRUE(unchanged(values));
    EXPECT_EQ(recorder.log, "now start!\nnet enviorment is so bad!\nrecv error.\n");
  }
  {
    SCOPED_TRACE("no listener");
    recorder.log.clear();
    ClosedPort closed;
    config.adjust_port = closed.port();
    VideoAdjustValues values = before;
    EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), -2);
    EXPECT_TRUE(unchanged(values));
    EXPECT_EQ(recorder.log, "connect error111!\n");
    EXPECT_EQ(send_video_adjust(5, 6, 7, 8, config, recorder.hooks()), -2);
    EXPECT_TRUE(recorder.messages.empty());
  }
}

TEST_F(VideoAdjustTest, SetAndGetAgainstTheSimulator) {
  camsim::AdjustServerOptions options;
  camsim::AdjustServer camera(options);
  ASSERT_TRUE(camera.start());
  config.adjust_port = camera.port();
  VideoAdjustValues values;
  EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), 0);
  EXPECT_EQ(values.brightness, 50);
  EXPECT_EQ(send_video_adjust(73, 12, 99, 0, config, recorder.hooks()), 0);
  EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), 0);
  EXPECT_EQ(values.brightness, 73);
  EXPECT_EQ(values.contrast, 12);
  EXPECT_EQ(values.saturation, 99);
  EXPECT_EQ(values.hue, 0);
  EXPECT_EQ(camera.sets_received(), 1);
}

TEST_F(VideoAdjustTest, SimulatorWithAWrongReplyCommand) {
  camsim::AdjustServerOptions options;
  options.reply_command = 12;
  camsim::AdjustServer camera(options);
  ASSERT_TRUE(camera.start());
  config.adjust_port = camera.port();
  VideoAdjustValues values{7, 7, 7, 7};
  EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), -1);
  EXPECT_EQ(values.brightness, 7);
  EXPECT_EQ(values.hue, 7);
}

TEST_F(VideoAdjustTest, GetBindErrorIsShownAndTheExchangeGoesOn) {
  camsim::AdjustServer camera(camsim::AdjustServerOptions{});
  ASSERT_TRUE(camera.start());
  config.adjust_port = camera.port();
  config.get_bind_address = "192.0.2.1";  // not an address of this computer: bind fails locally
  VideoAdjustValues values;
  EXPECT_EQ(get_video_adjust(values, config, recorder.hooks()), 0);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].first, "bind error");
  EXPECT_EQ(values.saturation, 50);
}

TEST_F(VideoAdjustTest, DefaultCameraAddressWithStubbedConnect) {
  camsim::AdjustServer camera(camsim::AdjustServerOptions{});
  ASSERT_TRUE(camera.start());
  const LinkConfig defaults;
  std::vector<std::string> connected_to;
  LinkHooks hooks = recorder.hooks();
  // Records where the camera would be reached and goes to the simulator instead.
  hooks.connect = [&](int socket, const sockaddr_in& address, std::chrono::milliseconds timeout,
                      const std::atomic<bool>* stop) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    connected_to.push_back(std::string(text) + ":" + std::to_string(ntohs(address.sin_port)));
    return connect_with_timeout(socket, *make_address("127.0.0.1", camera.port()), timeout, stop);
  };
  EXPECT_EQ(send_video_adjust(60, 61, 62, 63, defaults, hooks), 0);
  VideoAdjustValues values;
  EXPECT_EQ(get_video_adjust(values, defaults, hooks), 0);
  EXPECT_EQ(connected_to, (std::vector<std::string>{"192.168.1.1:40006", "192.168.1.1:40006"}));
  EXPECT_EQ(values.brightness, 60);
  EXPECT_EQ(values.hue, 63);
}

}  // namespace
}  // namespace scopemark

namespace scopemark {
namespace {

// A peer that sends a few bytes and then stays silent until the test is done with it.
TEST(ReceiveExactIdleTimeout, SilenceFailsWithTheLogLineButStopFailsQuietly) {
  std::atomic<bool> release{false};
  LoopbackPeer peer([&](int connection) {
    send(connection, "abc", 3, MSG_NOSIGNAL);
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  Socket client(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(connect_with_timeout(client.get(), *make_address("127.0.0.1", peer.port()),
                                 std::chrono::milliseconds(2000)),
            0);
  LinkRecorder recorder;
  uint8_t buffer[8];
  EXPECT_EQ(receive_exact(client.get(), buffer, 8, recorder.hooks().log, nullptr,
                          std::chrono::milliseconds(100)),
            -1);
  EXPECT_EQ(recorder.log, "net enviorment is so bad!\n");
  const std::atomic<bool> stop{true};
  EXPECT_EQ(receive_exact(client.get(), buffer, 8, recorder.hooks().log, &stop,
                          std::chrono::milliseconds(100)),
            -1);
  EXPECT_EQ(recorder.log, "net enviorment is so bad!\n") << "stop adds no line";
  release = true;
}

}  // namespace
}  // namespace scopemark
