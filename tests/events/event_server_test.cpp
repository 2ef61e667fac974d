#include "events/event_server.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/picture_server.h"
#include "server_harness.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using testing::event_message;
using testing::Server;
using testing::ServerHarness;
using testing::write_file;
using Calls = std::vector<std::string>;

class EventServerTest : public ::testing::Test {
 protected:
  void send_command(std::uint16_t command) { h.deliver(Server::event, event_message(command)); }
  int command_lines() {
    auto& log = h.log(Server::event);
    return log.count("haha  stop capture!") + log.count("haha  start capture!") +
           log.count("delete one jpg!") + log.count("show no jpg!") + log.count("delete all jpg!");
  }

  ServerHarness h;
};

TEST_F(EventServerTest, StartCommandSetsBothCaptureFlagsAndLeavesTheWindows) {
  send_command(1);
  EXPECT_TRUE(h.capture_requested);
  EXPECT_TRUE(h.display_frozen);
  EXPECT_EQ(h.log(Server::event).count("haha  start capture!"), 1);
  EXPECT_EQ(h.actions.calls(), Calls{});
}

TEST_F(EventServerTest, StopCommandClearsTheFlagsAndBringsTheVideoBack) {
  send_command(1);
  send_command(0);
  EXPECT_FALSE(h.capture_requested);
  EXPECT_FALSE(h.display_frozen);
  EXPECT_EQ(h.log(Server::event).count("haha  stop capture!"), 1);
  EXPECT_EQ(h.actions.calls(), Calls{"show_video_area"});
}

TEST_F(EventServerTest, ShowNoPictureOnlyLogs) {
  send_command(5);
  EXPECT_EQ(h.log(Server::event).count("show no jpg!"), 1);
  EXPECT_FALSE(h.capture_requested);
  EXPECT_EQ(h.actions.calls(), Calls{});
}

TEST_F(EventServerTest, MessagesThatAreNotOneTenByteReadAreIgnored) {
  send_command(256);
  h.deliver(Server::event, event_message(1, 11));
  h.deliver(Server::event, event_message(1, 9));

  const auto message = event_message(1);
  auto client = h.connect(Server::event);
  ASSERT_TRUE(testing::send_bytes(client.get(), std::span(message).first(5)));
  EXPECT_TRUE(testing::wait_closed_by_peer(client.get()));
  testing::send_bytes(client.get(), std::span(message).subspan(5));
  client.close();
  h.fence(Server::event);

  EXPECT_FALSE(h.capture_requested);
  EXPECT_FALSE(h.display_frozen);
  EXPECT_EQ(command_lines(), 0);
  EXPECT_EQ(h.actions.calls(), Calls{});
}

TEST_F(EventServerTest, LogsStartAndEachConnectionWithThePeersAddress) {
  auto client = h.connect(Server::event);
  sockaddr_in local{};
  socklen_t size = sizeof local;
  ::getsockname(client.get(), reinterpret_cast<sockaddr*>(&local), &size);
  client.close();
  h.fence(Server::event);
  auto& log = h.log(Server::event);
  EXPECT_EQ(log.count("tcpserver_thr=====: start receive!\n"), 1);
  EXPECT_EQ(
      log.count("[TCP Connection From 127.0.0.1:" + std::to_string(ntohs(local.sin_port)) + "].\n"),
      1);
}

TEST_F(EventServerTest, OtherAddressesAreClosedAtOnce) {
  const auto message = event_message(1);
  auto stranger = h.connect(Server::event, "127.0.0.2");
  testing::send_bytes(stranger.get(), message);
  EXPECT_TRUE(testing::wait_closed_by_peer(stranger.get()));
  h.fence(Server::event);
  EXPECT_FALSE(h.capture_requested);
  EXPECT_EQ(command_lines(), 0);
}

TEST_F(EventServerTest, DeleteLastBeforeAnyPictureDeletesNothing) {
  write_file(h.record_folder() / "keep.bmp", "k");
  send_command(4);
  EXPECT_TRUE(fs::exists(h.record_folder() / "keep.bmp"));
  EXPECT_EQ(h.log(Server::event).count("delete one jpg!"), 1);
  EXPECT_EQ(h.actions.calls(), Calls{});
}

TEST_F(EventServerTest, DeleteLastRemovesTheLastReceivedPicture) {
  write_file(h.record_folder() / "keep.bmp", "k");
  h.deliver(Server::picture,
            testing::picture_transfer(testing::sample_picture(kStoreThreshold + 1), "received"));
  const fs::path received = h.record_folder() / "received.bmp";
  ASSERT_TRUE(fs::exists(received));

  send_command(4);
  EXPECT_FALSE(fs::exists(received));
  EXPECT_TRUE(fs::exists(h.record_folder() / "keep.bmp"));
  EXPECT_EQ(h.actions.calls().back(), "update_picture " + received.string());
}

TEST_F(EventServerTest, DeleteAllEmptiesTheRecordFolderButKeepsSubfolders) {
  const fs::path sub = h.record_folder() / "sub";
  fs::create_directory(sub);
  write_file(h.record_folder() / "a.bmp", "a");
  write_file(sub / "b.bmp", "b");
  send_command(6);
  EXPECT_EQ(h.log(Server::event).count("delete all jpg!"), 1);
  EXPECT_TRUE(fs::is_directory(sub));
  EXPECT_TRUE(fs::is_empty(sub));
  EXPECT_EQ(std::distance(fs::directory_iterator(h.record_folder()), {}), 1);
  EXPECT_EQ(h.actions.calls(), (Calls{"load_album", "show_video_area"}));
}

TEST_F(EventServerTest, DeletionsGoThroughTheRemovalActionAndNeverTakeAFolder) {
  testing::TempFolder trash;
  h.actions.set_trash(trash.path());
  fs::create_directory(h.record_folder() / "folder.bmp");
  h.deliver(Server::picture,
            testing::picture_transfer(testing::sample_picture(kStoreThreshold + 1), "folder"));
  send_command(4);
  EXPECT_TRUE(fs::is_directory(h.record_folder() / "folder.bmp"));

  write_file(h.record_folder() / "a.bmp", "a");
  write_file(h.record_folder() / "folder.bmp" / "b.bmp", "b");
  send_command(6);
  EXPECT_EQ(testing::read_file(trash.path() / "a.bmp"), "a");
  EXPECT_EQ(testing::read_file(trash.path() / "b.bmp"), "b");
  EXPECT_TRUE(fs::is_empty(h.record_folder() / "folder.bmp"));
}

TEST_F(EventServerTest, StopsPromptlyWhileWaitingForAConnection) {
  EXPECT_TRUE(h.stop());
}

TEST_F(EventServerTest, StopsPromptlyWhileAPeerStaysSilent) {
  auto silent_event = h.connect(Server::event);
  auto silent_picture = h.connect(Server::picture);
  ASSERT_TRUE(h.log(Server::event).wait_prefix("[TCP Connection From", 1));
  ASSERT_TRUE(h.log(Server::picture).wait_prefix("[TCP Connection From", 1));
  EXPECT_TRUE(h.stop());
}

TEST(EventServerSetUp, FailedBindEndsWithMinusOneBeforeServing) {
  ServerHarness running;
  std::atomic<bool> flag{false};
  std::atomic<bool> stop{false};
  ReceivedPicturePath path;
  testing::LogRecorder log;
  EventServerContext ctx{
      .config = ServerHarness::loopback_config(),
      .capture_requested = flag,
      .display_frozen = flag,
      .stop_requested = stop,
      .received_picture_path = path,
      .log = log.sink(),
  };
  ctx.config.event_port = running.port(Server::event);
  EXPECT_EQ(run_event_server(ctx), -1);
  ctx.config.event_port = 0;
  ctx.config.listen_address = "not an address";
  EXPECT_EQ(run_event_server(ctx), -1);
  ctx.config.listen_address = "127.0.0.1";
  ctx.config.camera_address = "camera";
  EXPECT_EQ(run_picture_server(ctx), -1);
  EXPECT_EQ(log.count_prefix("tcpserver_thr"), 0);
}

TEST(EventServerConfigFromLink, CameraAddressPortsAndListenAddress) {
  LinkConfig link;
  link.set_ports(1, 2, 3, 4);
  EventServerConfig servers = event_server_config(link);
  EXPECT_EQ(servers.camera_address, "192.168.1.1");
  EXPECT_EQ(servers.listen_address, "0.0.0.0");
  EXPECT_EQ(servers.event_port, 2);
  EXPECT_EQ(servers.picture_port, 4);
  link.camera_address = "127.0.0.5";
  servers = event_server_config(link);
  EXPECT_EQ(servers.camera_address, "127.0.0.5");
  EXPECT_EQ(servers.listen_address, "127.0.0.1") << "a loopback camera is served on loopback";
}

}  // namespace
}  // namespace scopemark
