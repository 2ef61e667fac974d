// Screenshots of the record dialog, of the main window as it starts up with the camera's
// adapter found but no video yet, in English and in Chinese, and of the main window showing the
// demo camera's live video, into a folder: scopemark-screenshots DIR.
// Run with QT_QPA_PLATFORM=offscreen. The windows are wired as the program wires them.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QTemporaryDir>

#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "app/connect_window.h"
#include "app/main_dialog.h"
#include "app/viewer_app.h"
#include "app/viewer_session.h"
#include "camsim/demo_camera.h"
#include "controls/message_box.h"
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

// The window on the demo camera after a few seconds of video; false when the video area did not
// change within a second (no live picture).
bool save_live_demo(scopemark::ViewerApp& app, const QString& file) {
  scopemark::camsim::DemoCamera camera;
  if (!camera.start()) return false;
  scopemark::SessionOptions options;
  options.link = camera.link_config();
  options.link_hooks.log = [](std::string_view) {};
  scopemark::ViewerSession session(app.session_options(std::move(options)));
  scopemark::MainDialog window;
  scopemark::connect_window(window, session, app);
  window.show();
  run_events_for(3000);
  const QImage first = window.grab().toImage();
  run_events_for(1000);
  const QImage second = window.grab().toImage();
  window.reject();
  return first != second && first.save(file);
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
    scopemark::ViewerSession session(app.session_options(adapter_without_camera()));
    scopemark::MainDialog window;
    scopemark::connect_window(window, session, app);
    window.show();
    QApplication::processEvents();
    const QPixmap shot = window.grab();
    for (const QString& file : picture.files) written = shot.save(out.filePath(file)) && written;
  }
  app.select_language("English");
  written = save_live_demo(app, out.filePath("main-window-demo.png")) && written;
  return written ? 0 : 1;
}
