// The connection state and the reconnection of the whole window against a loopback camera
// that goes away, comes back with another stream, stalls or holds the display.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QSignalSpy>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "camsim/camera_sim.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using State = ViewerSession::ConnectionState;
using testing::process_events_until;

std::vector<uint8_t> corpus_stream(const char* name) {
  std::ifstream file(std::string(SCOPEMARK_SOURCE_DIR) + "/tests/corpus/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A camera streaming `stream` at 25 pictures a second on an ephemeral loopback port.
camsim::StreamServerOptions camera_streaming(std::vector<uint8_t> stream) {
  camsim::StreamServerOptions options;
  options.stream = std::move(stream);
  options.frame_rate = 25;
  return options;
}

// The window in English on a camera, with the states the session went through (repeats left
// out).
class LiveStateTest : public ::testing::Test {
 protected:
  void open(uint16_t stream_port) { open(testing::loopback_camera(stream_port)); }
  void open(SessionOptions options) {
    run = std::make_unique<testing::SessionWindow>(
        std::move(options), [](ViewerApp& app) { app.select_language("English"); });
    states.push_back(run->session->connection_state());
    QObject::connect(run->session.get(), &ViewerSession::connection_state_changed,
                     [this](State state) { states.push_back(state); });
  }
  ViewerSession& session() const { return *run->session; }
  bool reaches(State state, std::chrono::seconds limit = 10s) const {
    return process_events_until([&] { return session().connection_state() == state; }, limit);
  }
  QString state_text() const { return run->window->state_line()->text(); }
  // Processes events for `period`.
  static void wait(Clock::duration period) {
    const auto end = Clock::now() + period;
    process_events_until([&] { return Clock::now() >= end; }, 60s);
  }
  // Asks for a snapshot; its picture once written, or a null image after 5 s.
  QImage snapshot() {
    QSignalSpy written(run->session.get(), &ViewerSession::picture_changed);
    session().capture();
    if (!process_events_until([&] { return !written.isEmpty(); })) return {};
    const auto path = written.first().first().value<std::filesystem::path>();
    return QImage(QString::fromStdString(path.string()));
  }
  std::set<fs::path> files() const {
    std::set<fs::path> found;
    for (const auto& entry : fs::directory_iterator(run->record_folder())) {
      if (entry.path().extension() == ".bmp") found.insert(entry.path());
    }
    return found;
  }
  Clock::duration close() {
    const auto start = Clock::now();
    run->window->reject();
    run->window.reset();
    return Clock::now() - start;
  }

  testing::MessageBoxRecorder boxes;
  std::unique_ptr<testing::SessionWindow> run;
  std::vector<State> states;
};

TEST_F(LiveStateTest, CameraGoneAndBackWithAnotherStreamIsLiveAgain) {
  const std::vector<uint8_t> qcif = corpus_stream("qcif_cavlc_p_baseline_refs.264");
  const std::vector<uint8_t> cif = corpus_stream("cif_cavlc_p_8x8_slices.264");
  ASSERT_FALSE(qcif.empty());
  ASSERT_FALSE(cif.empty());
  camsim::StreamServer camera(camera_streaming(qcif));
  ASSERT_TRUE(camera.start());
  open(camera.port());
  ASSERT_TRUE(reaches(State::live));
  EXPECT_EQ(state_text(), "Live");
  EXPECT_EQ(snapshot().width(), 176);

  camera.stop();  // switched off mid-stream
  ASSERT_TRUE(reaches(State::reconnecting));
  EXPECT_EQ(state_text(), "Stream lost, reconnecting");
  wait(3s);
  camera.set_stream(cif);
  ASSERT_TRUE(camera.start());
  const auto restarted = Clock::now();
  ASSERT_TRUE(reaches(State::live, 15s));
  EXPECT_EQ(snapshot().width(), 352) << "a picture of the new stream";
  EXPECT_LT(Clock::now() - restarted, 15s);
  EXPECT_EQ(states,
            (std::vector<State>{State::connecting, State::live, State::reconnecting, State::live}));
  ASSERT_EQ(boxes.shown.size(), 1u) << "at the first failed connect only";
  EXPECT_EQ(boxes.shown[0].text, "No Device");

  camera.stop();  // gone for good: the window closes while the receiver tries again
  ASSERT_TRUE(reaches(State::reconnecting));
  wait(1500ms);
  EXPECT_LT(close(), 1s);
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(LiveStateTest, NoCameraUntilOneAnswersThenLive) {
  camsim::StreamServer camera(camera_streaming(corpus_stream("qcif_cavlc_p_baseline_refs.264")));
  ASSERT_TRUE(camera.start());
  camera.stop();
  open(camera.port());
  ASSERT_TRUE(reaches(State::no_camera));
  EXPECT_EQ(state_text(), "No camera");
  wait(1500ms);  // a second attempt has failed
  ASSERT_TRUE(camera.start());
  ASSERT_TRUE(reaches(State::live, 15s));
  EXPECT_EQ(states, (std::vector<State>{State::connecting, State::no_camera, State::connecting,
                                        State::live}));
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(LiveStateTest, StallFrozenAndStillsAreShownAsSuch) {
  camsim::StreamServer camera(camera_streaming(corpus_stream("qcif_cavlc_p_baseline_refs.264")));
  ASSERT_TRUE(camera.start());
  open(camera.port());
  ASSERT_TRUE(reaches(State::live));
  // The event server starts after the video: live can come first.
  ASSERT_TRUE(process_events_until([&] { return session().event_port() != 0; }));

  const camsim::ClientTarget target{"127.0.0.1", "127.0.0.1", session().event_port()};
  ASSERT_EQ(camsim::send_event(target, 1), 0);
  ASSERT_TRUE(reaches(State::frozen));
  EXPECT_EQ(state_text(), "Frozen");
  wait(2500ms);
  EXPECT_EQ(session().connection_state(), State::frozen) << "a held display is no stall";
  ASSERT_EQ(camsim::send_event(target, 0), 0);
  ASSERT_TRUE(reaches(State::live));

  ASSERT_EQ(files().size(), 1u) << "the camera's capture command took a snapshot";
  emit session().show_picture(*files().begin());
  EXPECT_EQ(state_text(), QString::fromUtf8("Still picture \u00b7 Live"));
  emit session().show_live();
  EXPECT_EQ(state_text(), "Live");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LiveStateTest, ConnectedWithoutPicturesSaysSo) {
  testing::QuietCamera camera;
  open(camera.options());
  EXPECT_EQ(session().connection_state(), State::connecting);
  EXPECT_EQ(state_text(), "Connecting");
  EXPECT_TRUE(reaches(State::no_picture, 5s));
  EXPECT_EQ(state_text(), "Connected, no picture");
  EXPECT_LT(close(), 1s);
}

TEST_F(LiveStateTest, WithoutADeviceTheStateSaysNoCamera) {
  open(testing::without_device());
  EXPECT_EQ(session().connection_state(), State::no_camera);
  EXPECT_EQ(state_text(), "No camera");
  EXPECT_TRUE(run->window->state_line()->isVisible());
  emit run->window->language_chosen("German");
  EXPECT_EQ(state_text(), "Keine Kamera") << "the state line follows the language";
}

}  // namespace
}  // namespace scopemark
