#include "app/picture_adjustment.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>

#include <array>
#include <atomic>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "camsim/camera_sim.h"
#include "link/loopback_peer.h"
#include "link/messages.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackPeer;
using testing::MessageBoxRecorder;

TEST(DecimalValue, ConvertsLikeTheStandardConversion) {
  EXPECT_EQ(decimal_value("abc"), 0);
  EXPECT_EQ(decimal_value(""), 0);
  EXPECT_EQ(decimal_value("120"), 120);
  EXPECT_EQ(decimal_value(" 7"), 7);
  EXPECT_EQ(decimal_value("\t\n-5x"), -5);
  EXPECT_EQ(decimal_value("+8 9"), 8);
  EXPECT_EQ(decimal_value("- 3"), 0);
  EXPECT_EQ(decimal_value("9999999999999999999"), INT_MAX);
  EXPECT_EQ(decimal_value("-9999999999999999999"), INT_MIN);
}

// Words of one adjustment message: command, direction, contrast, brightness, saturation, hue,
// reserved.
using Words = std::array<uint16_t, 7>;

Words words_of(const VideoAdjustBytes& bytes) {
  Words words{};
  for (int i = 0; i < 7; ++i) words[i] = read_le16(&bytes[2 * i]);
  return words;
}

// The main window and its session against a camera on 127.0.0.1.
struct AdjustWindow {
  testing::QuietCamera camera;
  std::unique_ptr<testing::SessionWindow> run;

  explicit AdjustWindow(bool device_found = true) {
    SessionOptions options = camera.options();
    if (!device_found) {
      options = testing::without_device();
    }
    run = std::make_unique<testing::SessionWindow>(std::move(options));
    // Without a device the exchanges still go to the camera: here, on loopback.
    apply_link_options({"--camera-address", "127.0.0.1"}, config());
    config().connect_timeout = 2s;
  }

  LinkConfig& config() const { return run->session->link_config(); }
  MainDialog& dialog() const { return *run->window; }
  QSlider* slider(int id) const { return dialog().slider(id); }
  std::string edit(int id) const { return dialog().edit(id)->text().toStdString(); }
  void set_edit(int id, const char* text) const {
    dialog().edit(id)->setText(QString::fromUtf8(text));
  }
  std::vector<int> sliders() const {
    return {slider(MainDialog::kBrightnessSlider)->value(),
            slider(MainDialog::kContrastSlider)->value(),
            slider(MainDialog::kSaturationSlider)->value(),
            slider(MainDialog::kHueSlider)->value()};
  }
  std::vector<std::string> edits() const {
    return {edit(MainDialog::kBrightnessEdit), edit(MainDialog::kContrastEdit),
            edit(MainDialog::kSaturationEdit), edit(MainDialog::kHueEdit)};
  }
  const VideoAdjustValues& values() const {
    return dialog().findChild<PictureAdjustment*>()->values();
  }

  // Runs command against an in-test camera that records the request and answers with reply
  // (without one it closes); waits until the camera got the request and a reply came back.
  Words exchange(int command, std::optional<VideoAdjustBytes> reply = std::nullopt) {
    VideoAdjustBytes request{};
    std::atomic<bool> served{false};
    QSignalSpy received(run->session.get(), &ViewerSession::adjustment_received);
    {
      LoopbackPeer camera([&](int connection) {
        if (receive_exact(connection, request.data(), kVideoAdjustSize, {}, nullptr, 2000ms) ==
                kVideoAdjustSize &&
            reply) {
          send_all(connection, reply->data(), reply->size());
        }
        served = true;
      });
      config().adjust_port = camera.port();
      dialog().run_command(command);
      EXPECT_TRUE(testing::process_events_until([&] { return served.load(); }));
    }
    if (reply) {
      EXPECT_TRUE(testing::process_events_until([&] { return received.count() > 0; }));
    }
    return words_of(request);
  }
};

VideoAdjustBytes reply_of(uint16_t command, uint16_t contrast, uint16_t brightness,
                          uint16_t saturation, uint16_t hue) {
  return encode_video_adjust({command, 0, contrast, brightness, saturation, hue, 0});
}

const std::vector<std::string> kEmptyEdits(4);

TEST(PictureAdjustment, StartsAtFiftyWithEmptyEdits) {
  MessageBoxRecorder boxes;
  AdjustWindow window;
  EXPECT_EQ(window.sliders(), std::vector<int>(4, 50));
  EXPECT_EQ(window.slider(MainDialog::kHueSlider)->maximum(), 100);
  EXPECT_EQ(window.edits(), kEmptyEdits);
}

TEST(PictureAdjustment, SliderReleaseSendsAllFourWithTheNewValueThenShowsIt) {
  MessageBoxRecorder boxes;
  AdjustWindow window;
  window.slider(MainDialog::kBrightnessSlider)->setValue(73);
  EXPECT_EQ(window.exchange(MainDialog::kBrightnessSlider), (Words{10, 0, 50, 73, 50, 50, 0}));
  EXPECT_EQ(window.edits(), (std::vector<std::string>{"73", "", "", ""}));
  window.slider(MainDialog::kHueSlider)->setValue(4);
  EXPECT_EQ(window.exchange(MainDialog::kHueSlider), (Words{10, 0, 50, 73, 50, 4, 0}))
      << "the stored brightness goes along";
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(PictureAdjustment, AutoSendsFiftiesAndShowsThem) {
  MessageBoxRecorder boxes;
  AdjustWindow window;
  window.slider(MainDialog::kContrastSlider)->setValue(90);
  window.exchange(MainDialog::kContrastSlider);
  EXPECT_EQ(window.exchange(MainDialog::kAutoButton), (Words{10, 0, 50, 50, 50, 50, 0}));
  EXPECT_EQ(window.sliders(), std::vector<int>(4, 50));
  EXPECT_EQ(window.edits(), std::vector<std::string>(4, "50"));
}

TEST(PictureAdjustment, SetSendsTheEditTextsAndLeavesSlidersAndValues) {
  MessageBoxRecorder boxes;
  AdjustWindow window;
  window.set_edit(MainDialog::kBrightnessEdit, "abc");
  window.set_edit(MainDialog::kContrastEdit, "120");
  window.set_edit(MainDialog::kSaturationEdit, "");
  window.set_edit(MainDialog::kHueEdit, " 7");
  EXPECT_EQ(window.exchange(MainDialog::kSetButton), (Words{10, 0, 120, 0, 0, 7, 0}));
  EXPECT_EQ(window.sliders(), std::vector<int>(4, 50));

  window.set_edit(MainDialog::kBrightnessEdit, "70000");                 // low 16 bits: 4464
  window.set_edit(MainDialog::kContrastEdit, "-1");                      // 65535
  window.set_edit(MainDialog::kSaturationEdit, "00000000000000000012");  // 19 characters used
  EXPECT_EQ(window.exchange(MainDialog::kSetButton), (Words{10, 0, 65535, 4464, 1, 7, 0}));
  EXPECT_EQ(window.values().brightness, 50);
  EXPECT_EQ(window.exchange(MainDialog::kAutoButton), (Words{10, 0, 50, 50, 50, 50, 0}));
}

TEST(PictureAdjustment, GetShowsTheCameraValues) {
  MessageBoxRecorder boxes;
  AdjustWindow window;
  EXPECT_EQ(window.exchange(MainDialog::kGetButton, reply_of(10, 10, 20, 30, 40)),
            (Words{10, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(window.sliders(), (std::vector<int>{20, 10, 30, 40}));
  EXPECT_EQ(window.edits(), (std::vector<std::string>{"20", "10", "30", "40"}));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(PictureAdjustment, GetAgainstTheSimulatorAndItsFaultyReply) {
  MessageBoxRecorder boxes;
  AdjustWindow window;
  camsim::AdjustServerOptions options;
  options.initial = {7, 8, 9, 11};
  options.log = [](std::string_view) {};
  {
    camsim::AdjustServer camera(options);
    ASSERT_TRUE(camera.start());
    window.config().adjust_port = camera.port();
    window.dialog().run_command(MainDialog::kGetButton);
    ASSERT_TRUE(testing::process_events_until([&] { return window.sliders()[0] == 7; }));
  }
  EXPECT_EQ(window.sliders(), (std::vector<int>{7, 8, 9, 11}));

  options.reply_command = 11;
  options.initial = {1, 2, 3, 4};
  camsim::AdjustServer faulty(options);
  ASSERT_TRUE(faulty.start());
  window.config().adjust_port = faulty.port();
  window.dialog().run_command(MainDialog::kGetButton);
  ASSERT_TRUE(testing::process_events_until([&] { return !boxes.shown.empty(); }));
  EXPECT_EQ(boxes.shown[0].text, "无法读取摄像头的图像设置");
  EXPECT_EQ(boxes.shown[0].caption, "错误");
  EXPECT_EQ(window.sliders(), (std::vector<int>{7, 8, 9, 11})) << "nothing changed";
  EXPECT_EQ(window.values().hue, 11);
}

TEST(PictureAdjustment, WithoutDeviceGetTriesAndFailsVisibly) {
  MessageBoxRecorder boxes;
  AdjustWindow window(false);
  window.config().adjust_port = 1;  // nobody listens on loopback port 1
  window.dialog().run_command(MainDialog::kGetButton);
  ASSERT_TRUE(testing::process_events_until([&] { return boxes.shown.size() == 2; }));
  EXPECT_EQ(boxes.shown[0].text, "未找到设备");
  EXPECT_EQ(boxes.shown[1].text, "无法读取摄像头的图像设置");
  EXPECT_EQ(window.edits(), kEmptyEdits);
  window.slider(MainDialog::kHueSlider)->setValue(100);
  EXPECT_EQ(window.exchange(MainDialog::kHueSlider), (Words{10, 0, 50, 50, 50, 100, 0}))
      << "sliders reach 100 without a device too";
}

TEST(PictureAdjustment, SilentCameraTimesOutWhileTheWindowStaysUsable) {
  MessageBoxRecorder boxes;
  AdjustWindow window;
  window.config().connect_timeout = 200ms;
  std::atomic<bool> release{false};
  LoopbackPeer camera([&](int) {
    while (!release) std::this_thread::sleep_for(1ms);
  });
  window.config().adjust_port = camera.port();
  const auto start = std::chrono::steady_clock::now();
  window.dialog().run_command(MainDialog::kGetButton);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms) << "the exchange runs elsewhere";
  ASSERT_TRUE(testing::process_events_until([&] { return !boxes.shown.empty(); }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms) << "the reply was awaited";
  EXPECT_EQ(boxes.shown[0].text, "无法读取摄像头的图像设置");
  release = true;
  window.slider(MainDialog::kSaturationSlider)->setValue(33);
  EXPECT_EQ(window.exchange(MainDialog::kSaturationSlider), (Words{10, 0, 50, 50, 33, 50, 0}));
  EXPECT_EQ(window.edit(MainDialog::kSaturationEdit), "33");
}

}  // namespace
}  // namespace scopemark
