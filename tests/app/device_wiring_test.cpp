#include "app/device_wiring.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "camsim/camera_sim.h"
#include "support/message_box_recorder.h"
#include "wiring_support.h"

namespace scopemark {
namespace {

using namespace std::chrono_literals;
using testing::loopback_device;
using testing::MessageBoxRecorder;
using testing::process_events_until;
using testing::unused_port;

// A stream of distinct bytes behind one IDR start code, so chunks can be located in it.
std::vector<uint8_t> sample_stream() {
  std::vector<uint8_t> stream = {0, 0, 0, 1, 0x65, 0x88};
  for (int i = 0; stream.size() < 3 * kChunkBytes; ++i) {
    stream.push_back(static_cast<uint8_t>(1 + i % 251));
  }
  return stream;
}

TEST(DeviceWiring, LoopbackCameraStreamReachesTheRingAndCloseJoinsPromptly) {
  const std::vector<uint8_t> stream = sample_stream();
  camsim::StreamServerOptions camera_options;
  camera_options.stream = stream;
  camera_options.frame_rate = 0;
  camsim::StreamServer camera(camera_options);
  ASSERT_TRUE(camera.start());

  DeviceWiring wiring(loopback_device(camera.port()));
  MainDialogHooks hooks;
  wiring.install(hooks);
  MessageBoxRecorder boxes;
  auto dialog = std::make_unique<MainDialog>("/tmp/", hooks);
  EXPECT_TRUE(dialog->video_running);

  std::vector<uint8_t> chunk(kChunkBytes);
  int length = -1;
  ASSERT_TRUE(process_events_until([&] {
    length = ring_take(dialog->packet_ring(), chunk.data());
    return length >= 0;
  }));
  EXPECT_EQ(length, kChunkBytes);
  EXPECT_EQ(0, std::memcmp(chunk.data(), stream.data(), kChunkBytes))
      << "first chunk: stream start";
  ASSERT_TRUE(process_events_until([&] { return ring_take(dialog->packet_ring(), chunk.data()) >= 0; }));
  EXPECT_EQ(0, std::memcmp(chunk.data(), stream.data() + kChunkBytes, kChunkBytes));

  const auto closing = std::chrono::steady_clock::now();
  dialog->reject();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, 1s) << "threads stop and join at once";
  EXPECT_TRUE(dialog->stop_requested);
  dialog.reset();
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(DeviceWiring, NoListenerShowsNoDeviceTitledError) {
  DeviceWiring wiring(loopback_device(unused_port()));
  MainDialogHooks hooks;
  wiring.install(hooks);
  MessageBoxRecorder boxes;
  MainDialog dialog("/tmp/", hooks);
  ASSERT_TRUE(process_events_until([&] { return !boxes.shown.empty(); }));
  EXPECT_EQ(boxes.shown[0].text, "No Device");
  EXPECT_EQ(boxes.shown[0].caption, "Error");
  EXPECT_EQ(boxes.shown[0].owner, &dialog);
  EXPECT_TRUE(dialog.video_running) << "the window itself started the video chain";
}

// The camera's own address is never contacted: connect is stubbed.
struct StubbedCamera {
  std::vector<std::string> connects;
  DeviceWiring::Options options(std::vector<AdapterInfo> adapters) {
    DeviceWiring::Options device;
    device.link.set_ports(40003, 0, 0, 0);
    device.server_listen_address = "127.0.0.1";
    device.adapters = std::make_shared<FixedAdapterSource>(std::move(adapters));
    device.link_hooks.log = [](std::string_view) {};
    device.link_hooks.connect = [this](int, const sockaddr_in& address, std::chrono::milliseconds,
                                       const std::atomic<bool>*) {
      char dotted[16] = {};
      inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
      connects.push_back(std::string(dotted) + ":" + std::to_string(ntohs(address.sin_port)));
      return -1;
    };
    return device;
  }
};

TEST(DeviceWiring, WithoutWirelessAdapterNoDeviceAndNoThreads) {
  StubbedCamera camera;
  AdapterInfo wired{"eth0", "Ethernet", {}, {{"192.168.1.7", "255.255.255.0"}}, {}};
  DeviceWiring wiring(camera.options({wired}));
  MainDialogHooks hooks;
  wiring.install(hooks);
  MessageBoxRecorder boxes;
  MainDialog dialog("/tmp/", hooks);
  QCoreApplication::processEvents();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "No Device");
  EXPECT_EQ(boxes.shown[0].caption, "");
  EXPECT_FALSE(dialog.video_running);
  EXPECT_TRUE(camera.connects.empty());
}

TEST(DeviceWiring, WirelessAdapterBindsItsAddressAndConnectsToTheCamera) {
  StubbedCamera camera;
  AdapterInfo wireless{"wlan0", "Wireless LAN", {}, {{"192.168.1.77", "255.255.255.0"}}, {}};
  DeviceWiring wiring(camera.options({wireless}));
  MainDialogHooks hooks;
  wiring.install(hooks);
  MessageBoxRecorder boxes;
  MainDialog dialog("/tmp/", hooks);
  EXPECT_EQ(dialog.local_address(), "192.168.1.77");
  ASSERT_TRUE(process_events_until([&] { return boxes.shown.size() >= 2; }));
  // This computer does not own the adapter's address: the bind fails and the connect goes on.
  EXPECT_EQ(boxes.shown[0].text, "bind error");
  EXPECT_EQ(boxes.shown[1].text, "No Device");
  EXPECT_EQ(boxes.shown[1].caption, "Error");
  dialog.reject();
  EXPECT_EQ(camera.connects, std::vector<std::string>{"192.168.1.1:40003"});
}

}  // namespace
}  // namespace scopemark
