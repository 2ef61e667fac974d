#include <gtest/gtest.h>

#include <vector>

#include "events/picture_server.h"
#include "server_harness.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using testing::Server;
using testing::ServerHarness;

constexpr const char* kConnectionLine = "[TCP Connection From";

EventServerConfig quick_idle_config() {
  EventServerConfig config = ServerHarness::loopback_config();
  config.idle_timeout = std::chrono::milliseconds(1000);
  return config;
}

// Peers that break off, stay silent or come in a flood, from the camera's address and others.
void attack(ServerHarness& h, Server server) {
  const std::vector<std::uint8_t> half_packet(PicturePacket::kSize / 2, 0x11);
  auto broken = h.connect(server);
  testing::send_bytes(broken.get(), half_packet);
  broken.close();

  auto silent = h.connect(server);
  EXPECT_TRUE(testing::wait_closed_by_peer(silent.get()));
  silent.close();

  int connections = h.log(server).count_prefix(kConnectionLine);
  for (int batch = 0; batch < 25; ++batch) {
    std::vector<Socket> clients;
    for (int i = 0; i < 8; ++i) {
      clients.push_back(h.connect(server, i % 3 == 0 ? "127.0.0.3" : "127.0.0.1"));
      ASSERT_TRUE(clients.back().valid());
      if (i % 2 == 1)
        testing::send_bytes(clients.back().get(), std::span(half_packet).first(i * 7));
    }
    clients.clear();
    connections += 8;
    ASSERT_TRUE(h.log(server).wait_prefix(kConnectionLine, connections));
  }
}

TEST(FaultInjection, PictureServerServesTheNextGoodConnection) {
  ServerHarness h(quick_idle_config());
  attack(h, Server::picture);
  const auto picture = testing::sample_picture(120000);
  h.deliver(Server::picture, testing::picture_transfer(picture, "after"));
  EXPECT_TRUE(fs::exists(h.record_folder() / "after.bmp"));
  EXPECT_EQ(std::distance(fs::directory_iterator(h.record_folder()), {}), 1);
}

TEST(FaultInjection, EventServerServesTheNextGoodConnection) {
  ServerHarness h(quick_idle_config());
  attack(h, Server::event);
  EXPECT_FALSE(h.capture_requested);
  h.deliver(Server::event, testing::event_message(1));
  EXPECT_TRUE(h.capture_requested);
  EXPECT_TRUE(h.display_frozen);
}

}  // namespace
}  // namespace scopemark
