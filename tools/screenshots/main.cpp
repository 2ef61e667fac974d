// Screenshots of the record dialog, of the main window as it starts up with the camera's
// adapter found but no video yet, in English and in Chinese, of the main window showing the
// demo camera's live video, and of every connection state (state-*.png, and the corners of the
// video area with their state lines in connection-states.png) and of a calibrated measurement
// on a picture of a stage micrometer (measuring.png), into a folder:
// scopemark-screenshots DIR.
// Run with QT_QPA_PLATFORM=offscreen. The windows are wired as the program wires them.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "album/picture_view.h"
#include "app/connect_window.h"
#include "app/main_dialog.h"
#include "app/measure_tools.h"
#include "app/video_area.h"
#include "app/viewer_app.h"
#include "app/viewer_session.h"
#include "camsim/demo_camera.h"
#include "controls/message_box.h"
#include "link/sockets.h"
#include "records/record_dialog.h"

namespace {

void run_events_for(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A wireless adapter on the camera's subnet; nothing is sent: every connect fails at once
// and the servers listen on loopback.
scopemark::SessionOptions adapter_without_camera() {
  scopemark::SessionOptions options;
  scopemark::AdapterInfo wireless{
      "wlan0", "Wireless LAN", {}, {{"192.168.1.20", "255.255.255.0"}}, {}};
  options.adapters = std::make_shared<scopemark::FixedAdapterSource>(
      std::vector<scopemark::AdapterInfo>{wireless});
  options.link.set_ports(40003, 0, 0, 0);
  options.link_hooks.connect = [](int, const sockaddr_in&, std::chrono::milliseconds,
                                  const std::atomic<bool>*) { return -1; };
  options.link_hooks.log = [](std::string_view) {};
  options.server_listen_address = "127.0.0.1";
  return options;
}

// Link settings for the demo camera.
scopemark::SessionOptions demo_options(const scopemark::camsim::DemoCamera& camera) {
  scopemark::SessionOptions options;
  options.link = camera.link_config();
  options.link_hooks.log = [](std::string_view) {};
  return options;
}

// A session and its window, wired and shown as the program does it; closed at the end.
struct ShownWindow {
  scopemark::ViewerSession session;
  scopemark::MainDialog window;

  ShownWindow(scopemark::ViewerApp& app, scopemark::SessionOptions options)
      : session(app.session_options(std::move(options))) {
    scopemark::connect_window(window, session, app);
    window.show();
    QApplication::processEvents();
  }
  ~ShownWindow() { window.reject(); }
};

// The window on the demo camera after a few seconds of video; false when the video area did not
// change within a second (no live picture).
bool save_live_demo(scopemark::ViewerApp& app, const QString& file) {
  scopemark::camsim::DemoCamera camera;
  if (!camera.start()) return false;
  ShownWindow shown(app, demo_options(camera));
  run_events_for(3000);
  const QImage first = shown.window.grab().toImage();
  run_events_for(1000);
  const QImage second = shown.window.grab().toImage();
  return first != second && first.save(file);
}

// Collects one window picture per state and the top left corners of the video area, which
// hold the state line, for one overview picture.
class StateShots {
 public:
  explicit StateShots(QDir out) : out_(std::move(out)) {}

  bool take(scopemark::MainDialog& window, const char* name) {
    const QImage shot = window.grab().toImage();
    const QRect video = window.control(scopemark::MainDialog::kVideoArea)->geometry();
    corners_.push_back(
        shot.copy(QRect(window.client_area()->mapTo(&window, video.topLeft()), kCorner)));
    return shot.save(out_.filePath(QString("state-%1.png").arg(name)));
  }

  // The corners two by two, in the order taken.
  bool save_overview(const QString& file) const {
    constexpr int kGap = 4;
    const int rows = (static_cast<int>(corners_.size()) + 1) / 2;
    QImage overview(2 * kCorner.width() + kGap, rows * (kCorner.height() + kGap) - kGap,
                    QImage::Format_RGB32);
    overview.fill(Qt::white);
    QPainter painter(&overview);
    for (size_t i = 0; i < corners_.size(); ++i) {
      const int column = static_cast<int>(i % 2);
      const int row = static_cast<int>(i / 2);
      painter.drawImage(column * (kCorner.width() + kGap), row * (kCorner.height() + kGap),
                        corners_[i]);
    }
    painter.end();
    return overview.save(out_.filePath(file));
  }

 private:
  static constexpr QSize kCorner{360, 96};
  QDir out_;
  std::vector<QImage> corners_;
};

// The window over a session until `done` holds (at most `limit` ms of events).
bool run_events_until(const std::function<bool()>& done, int limit = 15000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limit) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// Every connection state: without a camera, connecting and without pictures on a camera that
// accepts and stays silent, then live, frozen, a still and reconnecting on the demo camera.
bool save_connection_states(scopemark::ViewerApp& app, const QDir& out) {
  using State = scopemark::ViewerSession::ConnectionState;
  StateShots shots(out);
  bool written = true;
  auto state_is = [](const scopemark::ViewerSession& session, State state) {
    return [&session, state] { return session.connection_state() == state; };
  };
  {
    const scopemark::Socket silent = scopemark::listen_on("127.0.0.1", 0);
    scopemark::SessionOptions options;
    scopemark::apply_link_options({"--camera-address", "127.0.0.1"}, options.link);
    options.link.set_ports(scopemark::local_port(silent.get()), 0, 0, 0);
    options.link_hooks.log = [](std::string_view) {};
    ShownWindow shown(app, std::move(options));
    written = shots.take(shown.window, "connecting") && written;
    written = run_events_until(state_is(shown.session, State::no_picture)) &&
              shots.take(shown.window, "no-picture") && written;
  }
  {
    ShownWindow shown(app, adapter_without_camera());
    written = run_events_until(state_is(shown.session, State::no_camera)) &&
              shots.take(shown.window, "no-camera") && written;
  }
  scopemark::camsim::DemoCamera camera;
  if (!camera.start()) return false;
  ShownWindow shown(app, demo_options(camera));
  scopemark::ViewerSession& session = shown.session;
  scopemark::MainDialog& window = shown.window;
  written = run_events_until(state_is(session, State::live)) && (run_events_for(1000), true) &&
            shots.take(window, "live") && written;
  const scopemark::camsim::ClientTarget commands{"127.0.0.1", "127.0.0.1", session.event_port()};
  written = scopemark::camsim::send_event(commands, 1) == 0 &&
            run_events_until(state_is(session, State::frozen)) && shots.take(window, "frozen") &&
            written;
  written = scopemark::camsim::send_event(commands, 0) == 0 &&
            run_events_until(state_is(session, State::live)) && written;
  const QStringList snapshots =
      QDir(QString::fromStdString(app.record_folder())).entryList({"*.bmp"}, QDir::Files);
  if (!snapshots.isEmpty()) {
    emit session.show_picture(app.record_folder() + "/" + snapshots.first().toStdString());
    QApplication::processEvents();
    written = shots.take(window, "still") && written;
    emit session.show_live();
  }
  camera.stop();
  written = run_events_until(state_is(session, State::reconnecting)) &&
            shots.take(window, "reconnecting") && written;
  return shots.save_overview("connection-states.png") && !snapshots.isEmpty() && written;
}

// A stage micrometer under the microscope: 1 mm in 100 divisions of 10 µm, 80 px each, and a
// few round cells.
constexpr QSize kSlideSize(1280, 720);
constexpr double kSlideZero = 240;
constexpr double kDivision = 8;  // pixels per 10 µm
constexpr double kScaleY = 560;

QImage stage_micrometer() {
  QImage image(kSlideSize, QImage::Format_RGB32);
  QPainter painter(&image);
  QRadialGradient light(QPointF(640, 360), 800);
  light.setColorAt(0, QColor(236, 228, 206));
  light.setColorAt(1, QColor(150, 138, 112));
  painter.fillRect(image.rect(), light);
  painter.setRenderHint(QPainter::Antialiasing);
  const struct {
    double x, y, r;
  } cells[] = {{420, 250, 92}, {690, 300, 64}, {930, 220, 110}, {560, 420, 48}};
  for (const auto& cell : cells) {
    painter.setPen(QPen(QColor(120, 60, 110), 5));
    painter.setBrush(QColor(196, 140, 186, 150));
    painter.drawEllipse(QPointF(cell.x, cell.y), cell.r, cell.r * 0.96);
    painter.setBrush(QColor(110, 50, 100, 200));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(cell.x + cell.r * 0.2, cell.y - cell.r * 0.1), cell.r * 0.28,
                        cell.r * 0.25);
  }
  painter.setPen(QPen(QColor(30, 30, 30), 2));
  painter.drawLine(QPointF(kSlideZero, kScaleY), QPointF(kSlideZero + 100 * kDivision, kScaleY));
  for (int mark = 0; mark <= 100; ++mark) {
    const double x = kSlideZero + mark * kDivision;
    const double height = mark % 10 == 0 ? 44 : (mark % 5 == 0 ? 30 : 18);
    painter.drawLine(QPointF(x, kScaleY - height), QPointF(x, kScaleY));
  }
  return image;
}

// The window showing the stage micrometer, calibrated on its whole scale (1 mm), with a line,
// a circle and an angle drawn by the mouse and the scale bar on.
bool save_measuring(scopemark::ViewerApp& app, const QString& file) {
  const std::string picture = app.record_folder() + "/micrometer.bmp";
  if (!stage_micrometer().save(QString::fromStdString(picture), "BMP")) return false;
  ShownWindow shown(app, adapter_without_camera());
  auto* tools = shown.window.findChild<scopemark::MeasureTools*>();
  auto* area = shown.window.findChild<scopemark::VideoArea*>();
  if (tools == nullptr || area == nullptr) return false;
  tools->set_dialogs({[](double) {
                        return std::optional(scopemark::CalibrationAnswer{
                            1, scopemark::measure::Unit::millimetre, "10x objective"});
                      },
                      {}});
  emit shown.session.show_picture(picture);
  QApplication::processEvents();
  scopemark::MeasureOverlay* overlay = tools->picture_overlay();
  const auto at = [&](double x, double y) {
    const QRect painted = area->views().picture->picture_rect();
    return QPointF(painted.left() + x * painted.width() / kSlideSize.width(),
                   painted.top() + y * painted.height() / kSlideSize.height());
  };
  const auto click = [&](QPointF point) {
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, point, overlay->mapToGlobal(point), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                        Qt::NoModifier);
      QApplication::sendEvent(overlay, &event);
    }
  };
  using Tool = scopemark::MeasureOverlay::Tool;
  tools->start_calibration();
  click(at(kSlideZero, kScaleY));
  click(at(kSlideZero + 100 * kDivision, kScaleY));
  tools->choose_tool(Tool::line);
  click(at(310, 330));
  click(at(528, 188));
  tools->choose_tool(Tool::circle);
  click(at(820, 220));
  click(at(930, 110));
  click(at(1040, 220));
  tools->choose_tool(Tool::angle);
  click(at(590, 420));
  click(at(690, 300));
  click(at(754, 300));
  tools->choose_tool(Tool::none);
  tools->set_scale_bar(true);
  QApplication::processEvents();
  const bool saved = shown.window.grab().save(file);
  tools->set_scale_bar(false);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::cerr << "usage: scopemark-screenshots DIR\n";
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir program_folder;
  const std::string program_directory = program_folder.path().toStdString() + "/";
  scopemark::set_message_box_function([](const scopemark::MessageBoxRequest&) { return false; });

  scopemark::RecordDialog record(program_directory);
  record.show();
  QApplication::processEvents();
  bool written = record.grab().save(out.filePath("record-dialog.png"));

  scopemark::use_dialog_colours();
  scopemark::ViewerApp app;
  app.prepare_settings(program_directory);
  app.open_record("1");
  struct Picture {
    const char* language;
    QStringList files;
  };
  for (const Picture& picture : {Picture{"English", {"main-window.png", "main-window-en.png"}},
                                 Picture{"Chinese", {"main-window-zh.png"}}}) {
    app.select_language(picture.language);
    ShownWindow shown(app, adapter_without_camera());
    const QPixmap shot = shown.window.grab();
    for (const QString& file : picture.files) written = shot.save(out.filePath(file)) && written;
  }
  app.select_language("English");
  written = save_live_demo(app, out.filePath("main-window-demo.png")) && written;
  written = save_connection_states(app, out) && written;
  written = save_measuring(app, out.filePath("measuring.png")) && written;
  return written ? 0 : 1;
}
