// Writes pictures of the record dialog, of the main window as after start-up with the camera's
// adapter found but no video yet, in English and in Chinese, and of the main window showing the
// demo camera's live video, into a folder: scopemark-screenshots DIR.
// Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QTemporaryDir>

#include <iostream>
#include <optional>
#include <string>
#include <utility>

#include "app/album_wiring.h"
#include "app/device_wiring.h"
#include "app/language_wiring.h"
#include "app/main_dialog.h"
#include "app/toolbar_wiring.h"
#include "app/video_wiring.h"
#include "app/viewer_app.h"
#include "camsim/demo_camera.h"
#include "controls/message_box.h"
#include "records/record_dialog.h"

namespace {

void run_events_for(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The window on the demo camera after a few seconds of video; false when the video area did not
// change within a second (no live picture).
bool save_live_demo(scopemark::ViewerApp& app, const std::string& program_directory,
                    const QString& file) {
  scopemark::camsim::DemoCamera camera;
  if (!camera.start()) return false;
  scopemark::DeviceWiring::Options device;
  device.link = camera.link_config();
  device.record_folder = [&app] { return app.record_folder(); };
  scopemark::DeviceWiring wiring(std::move(device));
  scopemark::MainDialogHooks hooks;
  scopemark::install_language_hooks(hooks, app);
  scopemark::install_toolbar_hooks(hooks);
  scopemark::install_album_hooks(hooks, app);
  wiring.install(hooks);
  scopemark::install_video_hooks(hooks, app);
  scopemark::MainDialog window(program_directory, std::move(hooks));
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
  scopemark::set_message_box_function([](const scopemark::MessageBoxRequest&) {});

  scopemark::RecordDialog record(program_directory);
  record.show();
  QApplication::processEvents();
  bool written = record.grab().save(out.filePath("record-dialog.png"));

  application.setStyleSheet("QDialog { background-color: rgb(0, 192, 192); color: black; }");
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
    scopemark::MainDialogHooks hooks;
    hooks.find_wireless_adapter = [] { return std::optional<std::string>("192.168.1.20"); };
    scopemark::install_language_hooks(hooks, app);
    scopemark::install_toolbar_hooks(hooks);
    scopemark::install_album_hooks(hooks, app);
    scopemark::MainDialog window(program_directory, std::move(hooks));
    window.show();
    QApplication::processEvents();
    const QPixmap shot = window.grab();
    for (const QString& file : picture.files) written = shot.save(out.filePath(file)) && written;
  }
  app.select_language("English");
  written = save_live_demo(app, program_directory, out.filePath("main-window-demo.png")) && written;
  return written ? 0 : 1;
}
