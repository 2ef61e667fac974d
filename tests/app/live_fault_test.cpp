// The live path of the whole window (stream receiver, real decoder, decode thread, command and
// picture servers) against cameras that misbehave, all on loopback.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "camsim/camera_sim.h"
#include "link/messages.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::process_events_until;

// Longest pass through the window's event loop that still counts as responsive; a window
// blocked on a worker thread or socket stays unresponsive for seconds.
constexpr auto kResponsive = 500ms;

std::vector<uint8_t> corpus_stream(const char* name) {
  std::ifstream file(std::string(SCOPEMARK_SOURCE_DIR) + "/tests/corpus/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const std::vector<uint8_t>& qcif_stream() {
  static const std::vector<uint8_t> stream = corpus_stream("qcif_cavlc_p_baseline_refs.264");
  return stream;
}

// A camera whose stream port runs `send` after the viewer's request and once released, until
// the test stops it.
class FaultyCamera {
 public:
  using Sender = std::function<void(int socket, const std::atomic<bool>& stop)>;
  FaultyCamera(const char* address, Sender send) {
    started_ =
        server_.start(address, 0, [this, send](Socket connection, const std::atomic<bool>& stop) {
          StreamRequest request{};
          if (receive_exact(connection.get(), request.data(), kStreamRequestSize, {}, &stop) !=
              kStreamRequestSize) {
            return;
          }
          while (!released_.load() && !stop.load()) std::this_thread::sleep_for(2ms);
          send(connection.get(), stop);
        });
  }
  bool started() const { return started_; }
  uint16_t port() const { return server_.port(); }
  void release() { released_ = true; }

 private:
  std::atomic<bool> released_{false};
  camsim::ServerThread server_;
  bool started_ = false;
};

// Holds the connection open without sending until stopped.
void stay_silent(const std::atomic<bool>& stop) {
  while (!stop.load()) std::this_thread::sleep_for(5ms);
}

// The viewer's window and session on a record of their own, as the program wires them.
class LiveWindow {
 public:
  LiveWindow(const std::string& camera_address, uint16_t stream_port)
      : run_(options(camera_address, stream_port)) {}

  ViewerSession& session() { return *run_.session; }
  fs::path record_folder() const { return run_.record_folder(); }
  size_t files(const std::string& extension) const {
    return std::count_if(
        fs::directory_iterator(record_folder()), fs::directory_iterator(),
        [&](const fs::directory_entry& e) { return e.path().extension() == extension; });
  }

  // Asks for a snapshot of the next picture, lets `camera` send, and waits for the decode
  // thread to write the snapshot: proof that pictures come through.
  bool snapshot_written(FaultyCamera& camera) {
    run_.session->capture();
    camera.release();
    return process_events_until([&] { return files(".bmp") > 0; });
  }

  // Runs the window's events for `period`; the longest single pass through the event loop.
  Clock::duration longest_event_pass(Clock::duration period) {
    Clock::duration longest{};
    for (const auto end = Clock::now() + period; Clock::now() < end;) {
      const auto start = Clock::now();
      QCoreApplication::processEvents();
      longest = std::max(longest, Clock::now() - start);
      std::this_thread::sleep_for(2ms);
    }
    return longest;
  }

  // Closes the window as the user does; the time until every worker thread was joined.
  Clock::duration close() {
    const auto start = Clock::now();
    run_.window->reject();
    run_.window.reset();
    return Clock::now() - start;
  }

 private:
  static SessionOptions options(const std::string& camera_address, uint16_t stream_port) {
    SessionOptions options = testing::loopback_camera(stream_port);
    apply_link_options({"--camera-address", camera_address}, options.link);
    return options;
  }

  testing::SessionWindow run_;
};

TEST(LiveFault, CameraClosingMidPictureLeavesTheWindowWorking) {
  testing::MessageBoxRecorder boxes;
  const std::vector<uint8_t>& stream = qcif_stream();
  // Forty chunks and a part of the next one: the connection ends inside a picture, after
  // more pictures than the decoder holds back for display order.
  const size_t cut = 40 * kChunkBytes + 1500;
  ASSERT_GT(stream.size(), cut + kChunkBytes);
  FaultyCamera camera("127.0.0.1", [&](int socket, const std::atomic<bool>& stop) {
    send_all(socket, stream.data(), cut, &stop);
  });
  ASSERT_TRUE(camera.started());
  LiveWindow window("127.0.0.1", camera.port());
  EXPECT_TRUE(window.snapshot_written(camera)) << "pictures before the cut are decoded";
  EXPECT_LT(window.longest_event_pass(500ms), kResponsive);
  EXPECT_FALSE(window.session().stop_requested());
  EXPECT_LT(window.close(), 1s);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(LiveFault, RandomBytesWithStartCodesNeitherCrashNorBlockTheWindow) {
  testing::MessageBoxRecorder boxes;
  FaultyCamera camera("127.0.0.1", [](int socket, const std::atomic<bool>& stop) {
    std::mt19937 random(11);
    std::vector<uint8_t> piece(1400);
    constexpr uint8_t kUnitHeaders[] = {0x67, 0x68, 0x65, 0x41, 0x06, 0x09};
    for (int sent = 0; sent < 1500 && !stop.load(); ++sent) {
      for (uint8_t& byte : piece) byte = static_cast<uint8_t>(random());
      // Start codes with unit headers now and then, so the parsers get to see the noise.
      for (int i = 0; i < 4; ++i) {
        const size_t at = random() % (piece.size() - 4);
        piece[at] = 0;
        piece[at + 1] = 0;
        piece[at + 2] = 1;
        piece[at + 3] = kUnitHeaders[random() % std::size(kUnitHeaders)];
      }
      if (send_all(socket, piece.data(), piece.size(), &stop) < 0) return;
      if (sent % 16 == 0) std::this_thread::sleep_for(1ms);
    }
    stay_silent(stop);
  });
  ASSERT_TRUE(camera.started());
  LiveWindow window("127.0.0.1", camera.port());
  camera.release();
  EXPECT_LT(window.longest_event_pass(1500ms), kResponsive);
  EXPECT_LT(window.close(), 1s);
}

TEST(LiveFault, SilentCameraLeavesTheWindowResponsiveAndItClosesWithinASecond) {
  testing::MessageBoxRecorder boxes;
  const std::vector<uint8_t>& stream = qcif_stream();
  FaultyCamera camera("127.0.0.1", [&](int socket, const std::atomic<bool>& stop) {
    // Most of the stream and half a chunk, then nothing more on an open connection.
    send_all(socket, stream.data(), 40 * kChunkBytes + 2000, &stop);
    stay_silent(stop);
  });
  ASSERT_TRUE(camera.started());
  LiveWindow window("127.0.0.1", camera.port());
  EXPECT_TRUE(window.snapshot_written(camera));
  EXPECT_LT(window.longest_event_pass(1500ms), kResponsive);
  EXPECT_LT(window.close(), 1s);
  EXPECT_TRUE(boxes.shown.empty());
}

// A 24-bit BMP of 200 x 200 pixels: above the size below which pictures are dropped.
std::vector<uint8_t> bmp_picture() {
  QImage image(200, 200, QImage::Format_RGB888);
  image.fill(QColor(30, 140, 200));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "BMP");
  return {bytes.begin(), bytes.end()};
}

TEST(LiveFault, FloodFromAnotherAddressLeavesTheCameraServed) {
  testing::MessageBoxRecorder boxes;
  camsim::StreamServerOptions stream;
  stream.address = "127.0.0.2";
  stream.stream = qcif_stream();
  camsim::StreamServer camera(stream);
  ASSERT_TRUE(camera.start());
  LiveWindow window("127.0.0.2", camera.port());
  ASSERT_TRUE(process_events_until(
      [&] { return window.session().event_port() != 0 && window.session().picture_port() != 0; }));
  const uint16_t event_port = window.session().event_port();
  const uint16_t picture_port = window.session().picture_port();
  const std::vector<uint8_t> picture = bmp_picture();
  ASSERT_GT(picture.size(), 102400u);

  // Commands and pictures that would take effect from the camera, from 127.0.0.3 instead.
  std::atomic<int> flooded{0};
  // 300 connections take seconds on a loaded machine; the flood's pace is not under test.
  std::jthread flood([&] {
    const std::vector<uint8_t> small(300, 0x5a);
    for (int i = 0; i < 150; ++i) {
      camsim::send_event({"127.0.0.3", "127.0.0.1", event_port}, i % 2 ? 1 : 6);
      camsim::send_picture({"127.0.0.3", "127.0.0.1", picture_port}, i % 10 ? small : picture,
                           "flood" + std::to_string(i));
      ++flooded;
    }
  });
  EXPECT_LT(window.longest_event_pass(300ms), kResponsive);
  ASSERT_TRUE(process_events_until([&] { return flooded == 150; }, 120s));
  flood.join();
  EXPECT_FALSE(window.session().display_frozen()) << "no command from the other address counted";
  EXPECT_EQ(window.files(".bmp"), 0u) << "no picture from the other address was stored";

  const auto from_camera = [](uint16_t port) {
    return camsim::ClientTarget{"127.0.0.2", "127.0.0.1", port};
  };
  EXPECT_EQ(camsim::send_picture(from_camera(picture_port), picture, "fromcamera"), 0);
  EXPECT_TRUE(
      process_events_until([&] { return fs::exists(window.record_folder() / "fromcamera.bmp"); }));
  EXPECT_EQ(camsim::send_event(from_camera(event_port), 1), 0);
  EXPECT_TRUE(process_events_until([&] { return window.session().display_frozen(); }));
  EXPECT_LT(window.close(), 1s);
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace scopemark
