#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QThread>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "album_fixture.h"
#include "measure/measure.h"
#include "records/user_removal.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

using testing::AlbumFixture;
using testing::solid;

QString path_text(const std::filesystem::path& path) {
  return QFile::decodeName(path.c_str());
}

bool has_colour_below(const QImage& image, QRgb colour, int top) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) | 0xFF000000u) == colour) return y >= top;
    }
  }
  return false;
}

TEST(Thumbnail, PictureIsStretchedOverWhiteWithTheNameInBlueFrom110) {
  QImage picture(40, 20, QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 10; ++x) picture.setPixel(x, y, 0xFFFF0000);
    for (int x = 30; x < 40; ++x) picture.setPixel(x, y, 0xFF00FF00);
  }
  const QImage thumbnail = make_thumbnail(picture, "a.bmp");
  ASSERT_EQ(thumbnail.size(), QSize(180, 128));
  EXPECT_EQ(thumbnail.pixel(5, 5) | 0xFF000000u, 0xFFFF0000u);
  EXPECT_EQ(thumbnail.pixel(175, 100) | 0xFF000000u, 0xFF00FF00u);
  EXPECT_EQ(thumbnail.pixel(90, 50) | 0xFF000000u, 0xFFFFFFFFu);

  const QImage white = solid(QSize(8, 8), Qt::white);
  EXPECT_TRUE(has_colour_below(make_thumbnail(white, "20261207_101500.bmp"), 0xFF0000FF, 110));
}

TEST(Thumbnail, OnlyTheFirst19CharactersOfTheNameAreDrawn) {
  const QImage white = solid(QSize(8, 8), Qt::white);
  const QString name = "20261207_101500_left_eye.bmp";
  EXPECT_EQ(make_thumbnail(white, name), make_thumbnail(white, name.left(19) + "XYZ"));
  EXPECT_NE(make_thumbnail(white, name), make_thumbnail(white, name.left(18) + "X"));
}

TEST_F(AlbumFixture, ListsRegularBmpFilesOnlyByNameWithFullPaths) {
  write_picture("b.bmp", Qt::red);
  write_picture("A.BMP", Qt::green);
  write_picture("notes.txt", Qt::blue);
  std::filesystem::create_directory(folder / "x.bmp");
  album->load_album();
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(item_text(0), path_text(folder / "A.BMP"));
  EXPECT_EQ(item_text(1), path_text(folder / "b.bmp"));
  EXPECT_EQ(list->item(0, 0)->checkState(), Qt::Unchecked);
}

TEST_F(AlbumFixture, MissingFolderGivesAnEmptyAlbum) {
  write_picture("a.bmp", Qt::red);
  album->load_album();
  ASSERT_EQ(list->rowCount(), 1);
  std::filesystem::remove_all(folder);
  album->load_album();
  EXPECT_EQ(list->rowCount(), 0);
  EXPECT_EQ(album->pending_thumbnails(), 0);
}

TEST_F(AlbumFixture, LongNameIsCutOnTheThumbnailButNotInTheItem) {
  const auto path = write_picture("20261207_101500_left_eye.bmp", Qt::white);
  album->load_album();
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(item_text(0), path_text(path));
  ASSERT_TRUE(thumbnails_made());
  const QImage white = solid(QSize(64, 48), Qt::white);
  EXPECT_EQ(album->thumbnail(0).convertToFormat(QImage::Format_RGB32),
            make_thumbnail(white, "20261207_101500_lef"));
}

TEST_F(AlbumFixture, UnreadableBmpStaysListedWithAPlaceholder) {
  std::ofstream(folder / "broken.bmp") << "not a picture";
  write_picture("good.bmp", Qt::red);
  album->load_album();
  ASSERT_EQ(list->rowCount(), 2);
  ASSERT_TRUE(thumbnails_made());
  const QImage placeholder = make_thumbnail(QImage(), "broken.bmp");
  EXPECT_EQ(album->thumbnail(0).convertToFormat(QImage::Format_RGB32), placeholder);
  const QImage white = solid(QSize(1, 1), Qt::white);
  EXPECT_NE(placeholder, make_thumbnail(white, "broken.bmp"));
}

TEST_F(AlbumFixture, ReloadKeepsThumbnailsOfUnchangedFilesAndShowsThemInTheList) {
  window.show();
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) write_picture(name, Qt::red);
  album->load_album();
  EXPECT_GT(album->pending_thumbnails(), 0) << "thumbnails are made off the GUI thread";
  ASSERT_TRUE(thumbnails_made());
  write_picture("2.bmp", Qt::green, QSize(32, 32));
  album->load_album();
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_FALSE(album->thumbnail(0).isNull());
  EXPECT_TRUE(album->thumbnail(1).isNull()) << "a changed file gets a new thumbnail";
  EXPECT_EQ(album->pending_thumbnails(), 1);
  ASSERT_TRUE(thumbnails_made());
  EXPECT_EQ(album->thumbnail(1).pixelColor(90, 50), QColor(Qt::green));

  list->scrollToTop();
  const QImage shown = list->viewport()->grab().toImage();
  const QRect cell = list->visualItemRect(list->item(0, 0));
  int red = 0;
  for (int y = cell.top(); y <= cell.bottom(); ++y) {
    for (int x = cell.left(); x <= cell.right(); ++x) red += shown.pixelColor(x, y) == Qt::red;
  }
  EXPECT_GT(red, 100 * 100) << "the list paints the thumbnail";
}

TEST_F(AlbumFixture, AddedPicturesTakeTheirPlaceInListOrderAndVanishedOnesLeave) {
  write_picture("a.bmp", Qt::red);
  write_picture("C.bmp", Qt::red);
  album->load_album();
  ASSERT_TRUE(thumbnails_made());
  std::thread([&] { album->add_picture(write_picture("b.bmp", Qt::blue)); }).join();
  EXPECT_EQ(list->rowCount(), 2) << "a call from another thread is queued";
  QCoreApplication::sendPostedEvents();
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_EQ(item_text(1), path_text(folder / "b.bmp"));

  album->add_picture(write_picture("a.bmp", Qt::yellow));
  ASSERT_TRUE(thumbnails_made());
  EXPECT_EQ(list->rowCount(), 3);
  EXPECT_EQ(album->thumbnail(0).pixelColor(90, 50), QColor(Qt::yellow));
  EXPECT_EQ(album->thumbnail(1).pixelColor(90, 50), QColor(Qt::blue));

  std::filesystem::remove(folder / "C.bmp");
  album->add_picture(folder / "C.bmp");
  album->add_picture(write_picture("notes.txt", Qt::red));
  album->add_picture(temp.path().toStdString() + "/elsewhere.bmp");
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(item_text(1), path_text(folder / "b.bmp"));
}

TEST_F(AlbumFixture, ShortItemTextsResolveInsideTheRecordFolder) {
  EXPECT_EQ(album->item_picture_path("a.bmp"), folder / "a.bmp");
  EXPECT_EQ(album->item_picture_path("20261207_101500.bmp"), folder / "20261207_101500.bmp");
  EXPECT_EQ(album->item_picture_path("relative/to/work.bmp"),
            std::filesystem::path("relative/to/work.bmp"));
  EXPECT_EQ(album->item_picture_path("/tmp/1/a.bmp"), std::filesystem::path("/tmp/1/a.bmp"));
}

TEST_F(AlbumFixture, DeleteWithNothingChosenAsksNothingDeletesNothingAndReloads) {
  testing::MessageBoxRecorder boxes;
  write_picture("a.bmp", Qt::red);
  album->load_album();
  write_picture("b.bmp", Qt::red);
  album->delete_selected_pictures();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(list->rowCount(), 2);
  EXPECT_TRUE(std::filesystem::exists(folder / "a.bmp"));
}

TEST_F(AlbumFixture, DeleteAsksFirstAndRemovesTickedAndSelectedFilesForGoodWithoutATrash) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp", "4.bmp", "5.bmp"}) {
    write_picture(name, Qt::gray);
  }
  album->load_album();
  tick(0);
  tick(3);
  list->selectRow(2);
  auto* elsewhere = new QLineEdit(&window);
  elsewhere->show();
  elsewhere->setFocus();
  ASSERT_FALSE(list->hasFocus());
  testing::MessageBoxRecorder boxes;
  boxes.confirm = false;
  album->delete_selected_pictures();
  EXPECT_EQ(list->rowCount(), 5) << "Cancel removes nothing";
  EXPECT_TRUE(list->item(2, 0)->isSelected()) << "and keeps the choice";

  boxes.confirm = true;
  album->delete_selected_pictures();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].text,
            "Delete these 3 pictures permanently? This cannot be undone.\n\n1.bmp\n3.bmp\n4.bmp");
  EXPECT_EQ(boxes.shown[1].caption, "Delete");
  EXPECT_EQ(boxes.shown[1].confirm_button, "Delete");
  EXPECT_EQ(boxes.shown[1].cancel_button, "Cancel");
  EXPECT_EQ(boxes.shown[1].owner, &window);
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(item_text(0), path_text(folder / "2.bmp"));
  EXPECT_EQ(item_text(1), path_text(folder / "5.bmp"));
  for (const char* gone : {"1.bmp", "3.bmp", "4.bmp"})
    EXPECT_FALSE(std::filesystem::exists(folder / gone));
  EXPECT_TRUE(list->hasFocus());
}

std::filesystem::path trash_folder;

// Moves into trash_folder; refuses "stuck.bmp".
bool fake_trash(const std::filesystem::path& path) {
  std::error_code error;
  if (path.filename() != "stuck.bmp")
    std::filesystem::rename(path, trash_folder / path.filename(), error);
  return path.filename() != "stuck.bmp" && !error;
}

TEST_F(AlbumFixture, WithATrashDeleteSaysSoMovesThereAndNamesWhatStayed) {
  trash_folder = folder.parent_path() / "trash";
  std::filesystem::create_directory(trash_folder);
  const TrashFunction previous = set_trash_function(fake_trash);
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp", "4.bmp", "5.bmp", "6.bmp", "stuck.bmp"}) {
    write_picture(name, Qt::gray);
  }
  // Measurement sidecars are no pictures, and follow theirs.
  for (const char* name : {"2.bmp", "stuck.bmp"}) {
    std::ofstream(folder / measure::sidecar_name(name)) << "sidecar\n";
  }
  album->load_album();
  ASSERT_EQ(list->rowCount(), 7);
  testing::MessageBoxRecorder boxes;
  list->selectRow(1);
  album->delete_selected_pictures();
  for (int row = 0; row < list->rowCount(); ++row) tick(row);
  album->delete_selected_pictures();
  set_trash_function(previous);

  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[0].text, "Move the picture 2.bmp to the trash?");
  EXPECT_EQ(boxes.shown[1].text,
            "Move these 6 pictures to the trash?\n\n1.bmp\n3.bmp\n4.bmp\n5.bmp\n6.bmp\n\u2026");
  EXPECT_EQ(boxes.shown[2].text, "These files could not be removed:\nstuck.bmp");
  EXPECT_EQ(boxes.shown[2].icon, MessageIcon::Warning);
  for (const char* name : {"1.bmp", "2.bmp", "6.bmp", "2.bmp.measure"})
    EXPECT_TRUE(std::filesystem::exists(trash_folder / name)) << name;
  EXPECT_TRUE(std::filesystem::exists(folder / measure::sidecar_name("stuck.bmp")));
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(item_text(0), path_text(folder / "stuck.bmp"));
}

TEST_F(AlbumFixture, LoadsFromOtherThreadsRunOnTheGuiThreadOneAtATime) {
  for (int i = 0; i < 6; ++i) write_picture(std::to_string(i) + ".bmp", Qt::gray);
  std::atomic<int> changes_elsewhere = 0;
  QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++changes_elsewhere;
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 3; ++i) album->load_album();
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(list->rowCount(), 0);
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(changes_elsewhere, 0);
  EXPECT_EQ(list->rowCount(), 6);
}

TEST_F(AlbumFixture, CallsQueuedFromAnotherThreadAreDroppedWithTheAlbum) {
  write_picture("a.bmp", Qt::red);
  std::thread([&] { album->load_album(); }).join();
  album.reset();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(list->rowCount(), 0);
}

TEST_F(AlbumFixture, ThumbnailsOfASupersededLoadOrADestroyedAlbumAreDropped) {
  for (int i = 0; i < 40; ++i) write_picture(std::to_string(i) + ".bmp", Qt::gray, {640, 360});
  album->load_album();
  std::filesystem::remove_all(folder);
  album->load_album();
  EXPECT_EQ(album->pending_thumbnails(), 0);
  QTest::qWait(50);
  EXPECT_EQ(list->rowCount(), 0);

  std::filesystem::create_directory(folder);
  for (int i = 0; i < 40; ++i) write_picture(std::to_string(i) + ".bmp", Qt::gray, {640, 360});
  album->load_album();
  EXPECT_TRUE(list->viewport()->rect().intersects(list->visualItemRect(list->item(39, 0))))
      << "a load shows the end of the list";
  album.reset();
  QTest::qWait(50);
  EXPECT_EQ(list->rowCount(), 40);
}

}  // namespace
}  // namespace scopemark
