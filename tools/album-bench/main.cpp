// scopemark-album-bench: opens a record of many snapshots in the album and reports how soon
// the thumbnails in view are painted, how soon all are made, and the peak resident memory.
//   scopemark-album-bench [--pictures N] [--folder DIR | --keep]
// Without --folder the pictures (1280 x 720 BMPs) are made in a temporary folder first, which
// --keep leaves in place for later runs.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "album/album.h"
#include "album/album_list.h"
#include "album/picture_view.h"

namespace {

using scopemark::Album;
using scopemark::AlbumList;

long peak_resident_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Snapshot-like pictures: one 1280 x 720 BMP written under a different name and with a
// different band of colour each time.
void make_pictures(const std::filesystem::path& folder, int count) {
  QImage picture(1280, 720, QImage::Format_RGB888);
  QPainter painter(&picture);
  painter.fillRect(picture.rect(), QColor(40, 60, 80));
  painter.setBrush(QColor(200, 180, 120));
  painter.drawEllipse(picture.rect().adjusted(200, 100, -200, -100));
  painter.end();
  const std::string sample = (folder / "sample.bmp").string();
  picture.save(QString::fromStdString(sample), "BMP");
  std::ifstream in(sample, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(sample);
  const std::size_t row = 1280 * 3;
  for (int i = 0; i < count; ++i) {
    const std::size_t band = 54 + row * (i % 720);
    for (std::size_t x = 0; x < row; ++x) bytes[band + x] = static_cast<char>(i * 7 + x);
    char name[32];
    std::snprintf(name, sizeof name, "20261208_%06d.bmp", i);
    std::ofstream(folder / name, std::ios::binary).write(bytes.data(), bytes.size());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  int count = 2000;
  std::filesystem::path folder;
  QTemporaryDir temp;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--keep") temp.setAutoRemove(false);
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--pictures") {
      count = std::atoi(argv[i + 1]);
    } else if (option == "--folder") {
      folder = argv[i + 1];
    }
  }
  if (folder.empty()) {
    folder = temp.path().toStdString();
    QElapsedTimer making;
    making.start();
    make_pictures(folder, count);
    std::printf("made %d pictures of 1280x720 in %.1f s in %s\n", count, making.elapsed() / 1000.0,
                folder.c_str());
  }
  const long before_kib = peak_resident_kib();

  QWidget window;
  window.resize(900, 560);
  auto* list = new AlbumList(&window);
  list->setGeometry(4, 4, 200, 552);
  auto* video = new QWidget(&window);
  video->setGeometry(210, 4, 686, 552);
  auto* single = new scopemark::PictureView(&window);
  single->hide();
  std::array<scopemark::PictureView*, 4> compare_slots{};
  for (auto*& slot : compare_slots) {
    slot = new scopemark::PictureView(&window);
    slot->hide();
  }
  window.show();

  QElapsedTimer clock;
  double first_painted = -1;
  double all_made = -1;
  Album* album = nullptr;
  struct PaintWatch : QObject {
    std::function<void()> on_paint;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) on_paint();
      return false;
    }
  } watch;
  watch.on_paint = [&] {
    if (first_painted >= 0 || album == nullptr || list->rowCount() == 0) return;
    const QRect view = list->viewport()->rect();
    for (int row = 0; row < list->rowCount(); ++row) {
      if (view.intersects(list->visualItemRect(list->item(row, 0))) &&
          album->thumbnail(row).isNull()) {
        return;
      }
    }
    first_painted = clock.nsecsElapsed() / 1e6;
  };
  list->viewport()->installEventFilter(&watch);

  clock.start();
  album = new Album(list, {video, single, compare_slots}, folder, &window);
  QObject::connect(album, &Album::thumbnails_loaded, [&] {
    if (all_made < 0) all_made = clock.nsecsElapsed() / 1e6;
    QTimer::singleShot(100, &app, &QApplication::quit);
  });
  album->load_album();
  const double listed = clock.nsecsElapsed() / 1e6;
  app.exec();

  clock.restart();
  album->load_album();
  const double reloaded = clock.nsecsElapsed() / 1e6;

  std::printf("pictures: %d\n", list->rowCount());
  std::printf("listed (items shown, thumbnails pending): %.1f ms\n", listed);
  std::printf("first thumbnails painted: %.1f ms\n", first_painted);
  std::printf("all thumbnails made: %.1f ms\n", all_made);
  std::printf("reload with every thumbnail kept: %.1f ms\n", reloaded);
  std::printf("peak resident memory: %.1f MB (%.1f MB before the album)\n",
              peak_resident_kib() / 1024.0, before_kib / 1024.0);
  return 0;
}
