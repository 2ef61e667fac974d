// Writes pictures of the record dialog and the main window (as after start-up without a
// camera, and with an adapter found in English and in Chinese) into a folder:
// scopemark-screenshots DIR. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <iostream>
#include <optional>
#include <string>
#include <utility>

#include "app/language_wiring.h"
#include "app/main_dialog.h"
#include "app/viewer_app.h"
#include "controls/message_box.h"
#include "records/record_dialog.h"

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
  scopemark::MainDialog main_window(program_directory, scopemark::MainDialogHooks{});
  main_window.show();
  QApplication::processEvents();
  written = main_window.grab().save(out.filePath("main-window.png")) && written;

  scopemark::ViewerApp app;
  app.prepare_settings(program_directory);
  for (const char* language : {"English", "Chinese"}) {
    app.select_language(language);
    scopemark::MainDialogHooks hooks;
    hooks.find_wireless_adapter = [] { return std::optional<std::string>("192.168.1.20"); };
    scopemark::install_language_hooks(hooks, app);
    scopemark::MainDialog window(program_directory, std::move(hooks));
    window.show();
    QApplication::processEvents();
    const QString name =
        language == std::string("English") ? "main-window-en.png" : "main-window-zh.png";
    written = window.grab().save(out.filePath(name)) && written;
  }
  return written ? 0 : 1;
}
