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

#include "album/album.h"
#include "album/album_list.h"
#include "album/picture_view.h"

namespace scopemark::testing {

inline QImage solid(QSize size, QColor colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// A window laid out like the main window's left and video parts, with an album on a
// temporary record folder.
class AlbumFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp.isValid());
    folder = std::filesystem::path(temp.path().toStdString()) / "1234";
    std::filesystem::create_directory(folder);
    window.resize(900, 560);
    list = new AlbumList(&window);
    list->setGeometry(4, 4, 200, 552);
    video = new QWidget(&window);
    video->setGeometry(210, 4, 686, 552);
    single = new PictureView(&window);
    single->setGeometry(video->geometry());
    single->hide();
    const QRect quarters[4] = {
        {210, 4, 342, 275}, {554, 4, 342, 275}, {210, 281, 342, 275}, {554, 281, 342, 275}};
    for (int i = 0; i < 4; ++i) {
      compare_slots[i] = new PictureView(&window);
      compare_slots[i]->setGeometry(quarters[i]);
      compare_slots[i]->hide();
    }
    album = std::make_unique<Album>(list, AlbumViews{video, single, compare_slots}, folder);
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
  QWidget* video = nullptr;
  PictureView* single = nullptr;
  std::array<PictureView*, 4> compare_slots{};
  std::unique_ptr<Album> album;
};

}  // namespace scopemark::testing
