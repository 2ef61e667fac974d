#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/device_wiring.h"
#include "app/received_picture.h"
#include "camsim/camera_sim.h"
#include "support/message_box_recorder.h"
#include "wiring_support.h"

namespace scopemark {
namespace {

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

// The window with the device wiring on loopback; its album hooks record their calls.
struct ServedWindow {
  QTemporaryDir record;
  std::vector<std::string> album_calls;
  std::unique_ptr<DeviceWiring> wiring;
  std::unique_ptr<MainDialog> dialog;

  ServedWindow() {
    DeviceWiring::Options device = testing::loopback_device(testing::unused_port());
    device.record_folder = [this] { return record.path().toStdString(); };
    wiring = std::make_unique<DeviceWiring>(std::move(device));
    MainDialogHooks hooks;
    wiring->install(hooks);
    hooks.load_album = [this](MainDialog&) { album_calls.push_back("load_album"); };
    hooks.show_single_picture = [this](MainDialog&, const std::string& path) {
      album_calls.push_back("show " + path);
    };
    dialog = std::make_unique<MainDialog>("/tmp/", hooks);
    album_calls.clear();
  }
  ~ServedWindow() { dialog.reset(); }

  camsim::ClientTarget target(uint16_t port) const { return {"127.0.0.1", "127.0.0.1", port}; }
  bool video_shown() const {
    return !dialog->control(MainDialog::kVideoArea)->isHidden() &&
           dialog->control(MainDialog::kPictureView)->isHidden();
  }
};

TEST(DeviceServers, JpegAndPngArriveAsTheSame24BitBmpAndAreShown) {
  testing::MessageBoxRecorder boxes;  // the stream port has no listener: "No Device"
  ServedWindow window;
  ASSERT_TRUE(process_events_until([&] { return window.wiring->picture_port() != 0; }));
  for (const char* format : {"JPG", "PNG"}) {
    SCOPED_TRACE(format);
    const std::vector<uint8_t> sent = picture_file(format);
    window.album_calls.clear();
    ASSERT_EQ(
        camsim::send_picture(window.target(window.wiring->picture_port()), sent, "20261207221500"),
        0);
    ASSERT_TRUE(process_events_until([&] { return window.album_calls.size() == 2; }));
    const std::string path = window.record.filePath("20261207221500.bmp").toStdString();
    EXPECT_EQ(window.album_calls, (std::vector<std::string>{"load_album", "show " + path}));
    EXPECT_FALSE(window.video_shown());

    const std::vector<uint8_t> bmp = file_bytes(path);
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 24) << "bits per pixel";
    const QImage stored(QString::fromStdString(path), "BMP");
    ASSERT_FALSE(decoded(sent).isNull());
    EXPECT_EQ(stored.convertToFormat(QImage::Format_RGB888), decoded(sent));
  }
}

TEST(DeviceServers, CameraCommandsSteerTheWindowFlagsAndViews) {
  testing::MessageBoxRecorder boxes;
  ServedWindow window;
  ASSERT_TRUE(process_events_until([&] { return window.wiring->event_port() != 0; }));
  const auto target = window.target(window.wiring->event_port());
  window.dialog->control(MainDialog::kVideoArea)->hide();
  window.dialog->control(MainDialog::kPictureView)->show();

  ASSERT_EQ(camsim::send_event(target, 1), 0);
  ASSERT_TRUE(process_events_until([&] { return window.dialog->display_frozen.load(); }));
  EXPECT_TRUE(window.dialog->capture_requested);
  EXPECT_FALSE(window.video_shown()) << "start capture leaves the views";

  ASSERT_EQ(camsim::send_event(target, 0), 0);
  ASSERT_TRUE(process_events_until([&] { return window.video_shown(); }));
  EXPECT_FALSE(window.dialog->display_frozen);
  EXPECT_FALSE(window.dialog->capture_requested);

  std::ofstream(window.record.filePath("old.bmp").toStdString()) << "x";
  ASSERT_EQ(camsim::send_event(target, 6), 0);
  ASSERT_TRUE(process_events_until([&] { return !window.album_calls.empty(); }));
  EXPECT_EQ(window.album_calls, std::vector<std::string>{"load_album"});
  EXPECT_FALSE(QFile::exists(window.record.filePath("old.bmp")));
}

TEST(DecodeAndSaveBmp, UndecodableBytesLeaveNoFile) {
  QTemporaryDir folder;
  const std::string path = folder.filePath("x.bmp").toStdString();
  const std::vector<uint8_t> junk(200000, 0x42);
  EXPECT_FALSE(decode_and_save_bmp(junk, path));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

TEST(DeviceServers, ClosingTheWindowEndsBothServers) {
  testing::MessageBoxRecorder boxes;
  ServedWindow window;
  ASSERT_TRUE(process_events_until(
      [&] { return window.wiring->event_port() != 0 && window.wiring->picture_port() != 0; }));
  const auto closing = std::chrono::steady_clock::now();
  window.dialog->reject();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(1));
  EXPECT_NE(camsim::send_event(window.target(window.wiring->event_port()), 1), 0)
      << "nobody listens any more";
  EXPECT_NE(camsim::send_event(window.target(window.wiring->picture_port()), 1), 0);
}

}  // namespace
}  // namespace scopemark
