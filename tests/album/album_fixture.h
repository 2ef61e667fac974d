#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "album/album.h"
#include "album/album_list.h"
#include "album/video_area_switch.h"

namespace scopemark::testing {

inline QImage solid(QSize size, QColor colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// Records what the album asks of the video area: "live", "picture PATH", "compare PATH...".
struct RecordingVideoArea final : VideoAreaSwitch {
  std::vector<std::string> calls;
  void show_live() override { calls.push_back("live"); }
  void show_picture(const std::filesystem::path& path) override {
    calls.push_back("picture " + path.filename().string());
  }
  void show_compare(const std::vector<std::filesystem::path>& paths) override {
    std::string call = "compare";
    for (const auto& path : paths) call += " " + path.filename().string();
    calls.push_back(call);
  }
};

// A window with an album list, an album on a temporary record folder and a recording video
// area.
class AlbumFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp.isValid());
    folder = std::filesystem::path(temp.path().toStdString()) / "1234";
    std::filesystem::create_directory(folder);
    window.resize(900, 560);
    list = new AlbumList(&window);
    list->setGeometry(4, 4, 200, 552);
    album = std::make_unique<Album>(list, video_area, folder);
  }

  std::filesystem::path write_picture(const std::string& name, QColor colour,
                                      QSize size = QSize(64, 48)) {
    return write_image(name, solid(size, colour));
  }

  std::filesystem::path write_image(const std::string& name, const QImage& image) {
    const std::filesystem::path path = folder / name;
    EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "BMP"));
    return path;
  }

  // Processes events until every thumbnail has arrived.
  bool thumbnails_made() const {
    return QTest::qWaitFor([this] { return album->pending_thumbnails() == 0; }, 10000);
  }
  QString item_text(int row) const { return list->item(row, 0)->text(); }
  void tick(int row) const { list->item(row, 0)->setCheckState(Qt::Checked); }

  QTemporaryDir temp;
  std::filesystem::path folder;
  QWidget window;
  AlbumList* list = nullptr;
  RecordingVideoArea video_area;
  std::unique_ptr<Album> album;
};

}  // namespace scopemark::testing
