// The session's device side: stream receiver, command and picture servers, adapter discovery.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "app/received_picture.h"
#include "camsim/camera_sim.h"
#include "session_window.h"
#include "support/message_box_recorder.h"
#include "video/decode_thread.h"

namespace scopemark {
namespace {

using namespace std::chrono_literals;
using testing::process_events_until;

constexpr size_t kTransferSize = 14 * 8192 + 100;

std::vector<uint8_t> file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A noise picture encoded as format, grown until the file passes the store threshold, then
// padded after its end marker to exactly 14 full packets and 100 bytes.
std::vector<uint8_t> picture_file(const char* format) {
  QRandomGenerator random(7);
  for (int side = 120;; side += 8) {
    QImage image(side, side, QImage::Format_RGB888);
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) image.setPixel(x, y, random.generate() | 0xFF000000u);
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    if (encoded.size() <= 102400) continue;
    EXPECT_LE(static_cast<size_t>(encoded.size()), kTransferSize);
    std::vector<uint8_t> bytes(encoded.begin(), encoded.end());
    bytes.resize(kTransferSize, 0);
    return bytes;
  }
}

QImage decoded(const std::vector<uint8_t>& bytes) {
  QImage image;
  image.loadFromData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return image.convertToFormat(QImage::Format_RGB888);
}

// A started session on a quiet loopback camera, storing into a temporary record folder.
struct ServedSession {
  QTemporaryDir record;
  testing::QuietCamera camera;
  std::unique_ptr<ViewerSession> session;

  ServedSession() {
    SessionOptions options = camera.options();
    options.record_folder = record.path().toStdString();
    session = std::make_unique<ViewerSession>(std::move(options));
    EXPECT_TRUE(session->find_device());
    session->start();
    EXPECT_TRUE(process_events_until(
        [&] { return session->event_port() != 0 && session->picture_port() != 0; }));
  }
  camsim::ClientTarget target(uint16_t port) const { return {"127.0.0.1", "127.0.0.1", port}; }
};

TEST(SessionServers, JpegAndPngArriveAsTheSame24BitBmpAndAreShown) {
  ServedSession served;
  QSignalSpy changed(served.session.get(), &ViewerSession::picture_changed);
  QSignalSpy shown(served.session.get(), &ViewerSession::show_picture);
  for (const char* format : {"JPG", "PNG"}) {
    SCOPED_TRACE(format);
    const std::vector<uint8_t> sent = picture_file(format);
    changed.clear();
    shown.clear();
    ASSERT_EQ(
        camsim::send_picture(served.target(served.session->picture_port()), sent, "20261207221500"),
        0);
    ASSERT_TRUE(process_events_until([&] { return shown.count() == 1; }));
    const std::string path = served.record.filePath("20261207221500.bmp").toStdString();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<std::filesystem::path>(), path);
    EXPECT_EQ(shown[0][0].value<std::filesystem::path>(), path);

    const std::vector<uint8_t> bmp = file_bytes(path);
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[28], 24) << "bits per pixel";
    ASSERT_FALSE(decoded(sent).isNull());
    EXPECT_EQ(QImage(QString::fromStdString(path), "BMP").convertToFormat(QImage::Format_RGB888),
              decoded(sent));
  }
}

TEST(SessionServers, CameraCommandsSteerTheFlagsAndTheVideoArea) {
  ServedSession served;
  ViewerSession& session = *served.session;
  QSignalSpy live(&session, &ViewerSession::show_live);
  QSignalSpy changed(&session, &ViewerSession::pictures_changed);
  const auto target = served.target(session.event_port());

  ASSERT_EQ(camsim::send_event(target, 1), 0);
  ASSERT_TRUE(process_events_until([&] { return session.display_frozen(); }));
  EXPECT_TRUE(session.capture_requested());
  EXPECT_EQ(live.count(), 0) << "start capture leaves the views";

  ASSERT_EQ(camsim::send_event(target, 0), 0);
  ASSERT_TRUE(process_events_until([&] { return live.count() == 1; }));
  EXPECT_FALSE(session.display_frozen());
  EXPECT_FALSE(session.capture_requested());

  std::ofstream(served.record.filePath("old.bmp").toStdString()) << "x";
  ASSERT_EQ(camsim::send_event(target, 6), 0);
  ASSERT_TRUE(process_events_until([&] { return live.count() == 2; }));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_FALSE(QFile::exists(served.record.filePath("old.bmp")));
}

TEST(SessionServers, UndecodablePictureBytesLeaveNoFile) {
  QTemporaryDir folder;
  const std::string path = folder.filePath("x.bmp").toStdString();
  EXPECT_EQ(decode_and_save_bmp(std::vector<uint8_t>(200000, 0x42), path),
            StoreProblem::undecodable);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

// The camera's bytes on one connection that ends without a word.
void send_raw(uint16_t port, const std::vector<uint8_t>& bytes) {
  const Socket connection(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in viewer{};
  viewer.sin_family = AF_INET;
  viewer.sin_port = htons(port);
  viewer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(connection.get(), reinterpret_cast<const sockaddr*>(&viewer), sizeof viewer),
            0);
  ASSERT_EQ(::send(connection.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(bytes.size()));
}

TEST(SessionServers, FailedTransfersKeepTheOlderPictureByteForByteAndAGoodOneReplacesIt) {
  ServedSession served;
  ViewerSession& session = *served.session;
  QSignalSpy not_stored(&session, &ViewerSession::picture_not_stored);
  QSignalSpy shown(&session, &ViewerSession::show_picture);
  const std::string keep1 = served.record.filePath("keep1.bmp").toStdString();
  const std::vector<uint8_t> good = picture_file("PNG");
  std::ofstream(keep1, std::ios::binary) << "BM the user's earlier picture";
  const std::vector<uint8_t> before = file_bytes(keep1);
  const auto target = served.target(session.picture_port());

  std::vector<uint8_t> cut = camsim::make_picture_packets(good, "keep1");
  cut.resize(13 * 8230 + 4000);
  send_raw(session.picture_port(), cut);
  ASSERT_EQ(camsim::send_picture(target, {good.begin(), good.begin() + 100000}, "keep1"), 0);
  ASSERT_EQ(camsim::send_picture(target, std::vector<uint8_t>(200000, 0x42), "keep1"), 0);
  ASSERT_TRUE(process_events_until([&] { return not_stored.count() == 2; }));
  EXPECT_EQ(not_stored[0][1].value<StoreProblem>(), StoreProblem::incomplete);
  EXPECT_EQ(not_stored[1][1].value<StoreProblem>(), StoreProblem::undecodable);
  EXPECT_EQ(file_bytes(keep1), before);
  EXPECT_EQ(QDir(served.record.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"keep1.bmp"});
  EXPECT_EQ(shown.count(), 0);

  ASSERT_EQ(camsim::send_picture(target, good, "keep1"), 0);
  ASSERT_TRUE(process_events_until([&] { return shown.count() == 1; }));
  EXPECT_EQ(QImage(QString::fromStdString(keep1), "BMP").convertToFormat(QImage::Format_RGB888),
            decoded(good));
  EXPECT_EQ(QDir(served.record.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"keep1.bmp"});
}

TEST(SessionServers, StopEndsBothServersPromptly) {
  ServedSession served;
  const auto stopping = std::chrono::steady_clock::now();
  served.session->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1s);
  EXPECT_NE(camsim::send_event(served.target(served.session->event_port()), 1), 0);
  EXPECT_NE(camsim::send_event(served.target(served.session->picture_port()), 1), 0);
}

// Keeps the chunks the decode thread hands over; never completes a picture.
class RecordingDecoder final : public DecoderApi {
 public:
  std::vector<uint8_t> received() {
    std::lock_guard lock(mutex_);
    return bytes_;
  }
  int get_library_info(DecoderLibraryInfo*) override { return 0; }
  DecoderContext* create(const DecoderConfig*) override {
    return reinterpret_cast<DecoderContext*>(this);
  }
  int decode(DecoderContext*, const uint8_t* bytes, uint32_t length, uint32_t, uint32_t,
             DecodedPicture*, uint32_t) override {
    std::lock_guard lock(mutex_);
    if (bytes) bytes_.insert(bytes_.end(), bytes, bytes + length);
    return DECODE_NEED_INPUT;
  }
  void destroy(DecoderContext*) override {}

 private:
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
};

TEST(SessionStream, LoopbackCameraStreamReachesTheDecoderAndStopJoinsPromptly) {
  std::vector<uint8_t> stream = {0, 0, 0, 1, 0x65, 0x88};
  for (int i = 0; stream.size() < 3 * kChunkBytes; ++i) stream.push_back(1 + i % 251);
  camsim::StreamServerOptions camera_options;
  camera_options.stream = stream;
  camera_options.frame_rate = 0;
  camsim::StreamServer camera(camera_options);
  ASSERT_TRUE(camera.start());

  testing::MessageBoxRecorder boxes;
  auto decoder = std::make_shared<RecordingDecoder>();
  SessionOptions options = testing::loopback_camera(camera.port());
  options.decoder = decoder;
  testing::SessionWindow run(std::move(options));
  ASSERT_TRUE(process_events_until([&] { return decoder->received().size() >= 2 * kChunkBytes; }));
  const std::vector<uint8_t> received = decoder->received();
  EXPECT_TRUE(std::equal(stream.begin(), stream.begin() + 2 * kChunkBytes, received.begin()))
      << "the stream's first chunks, whole and in order";

  const auto closing = std::chrono::steady_clock::now();
  run.window->reject();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, 1s) << "threads stop and join at once";
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(SessionStream, NoListenerShowsNoDeviceTitledErrorOverTheWindow) {
  testing::MessageBoxRecorder boxes;
  testing::SessionWindow run(testing::loopback_camera(testing::unused_port()));
  ASSERT_TRUE(process_events_until([&] { return !boxes.shown.empty(); }));
  EXPECT_EQ(boxes.shown[0].text, "未找到设备");
  EXPECT_EQ(boxes.shown[0].caption, "错误");
  EXPECT_EQ(boxes.shown[0].owner, run.window.get());
  EXPECT_TRUE(run.window->video_running()) << "the window itself started the video chain";
}

// The camera's own address is never contacted: connect is stubbed.
struct StubbedCamera {
  std::vector<std::string> connects;
  SessionOptions options(std::vector<AdapterInfo> adapters) {
    SessionOptions session;
    session.link.set_ports(40003, 0, 0, 0);
    session.server_listen_address = "127.0.0.1";
    session.adapters = std::make_shared<FixedAdapterSource>(std::move(adapters));
    session.link_hooks.log = [](std::string_view) {};
    session.link_hooks.connect = [this](int, const sockaddr_in& address, std::chrono::milliseconds,
                                        const std::atomic<bool>*) {
      char dotted[16] = {};
      inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
      connects.push_back(std::string(dotted) + ":" + std::to_string(ntohs(address.sin_port)));
      return -1;
    };
    return session;
  }
};

TEST(SessionStream, OnlyAWirelessAdapterLeadsToTheCamerasAddress) {
  StubbedCamera camera;
  {
    testing::MessageBoxRecorder boxes;
    AdapterInfo wired{"eth0", "Ethernet", {}, {{"192.168.1.7", "255.255.255.0"}}, {}};
    testing::SessionWindow run(camera.options({wired}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "未找到设备");
    EXPECT_EQ(boxes.shown[0].caption, "");
    EXPECT_FALSE(run.window->video_running());
  }
  EXPECT_TRUE(camera.connects.empty());

  testing::MessageBoxRecorder boxes;
  AdapterInfo wireless{"wlan0", "Wireless LAN", {}, {{"192.168.1.77", "255.255.255.0"}}, {}};
  testing::SessionWindow run(camera.options({wireless}));
  EXPECT_EQ(run.session->link_config().local_address, "192.168.1.77");
  ASSERT_TRUE(process_events_until([&] { return boxes.shown.size() >= 2; }));
  // This computer does not own the adapter's address: the bind fails and the connect goes on.
  EXPECT_EQ(boxes.shown[0].text, "无法打开网络端口");
  EXPECT_EQ(boxes.shown[1].text, "未找到设备");
  EXPECT_EQ(boxes.shown[1].caption, "错误");
  run.window->reject();
  ASSERT_FALSE(camera.connects.empty());
  for (const std::string& connect : camera.connects) EXPECT_EQ(connect, "192.168.1.1:40003");
}

}  // namespace
}  // namespace scopemark
