// The album and the video area's owner inside the window: what the video area shows and who
// switches it.
#include "app/video_area.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <string>

#include "album/album.h"
#include "album/album_list.h"
#include "album/picture_view.h"
#include "controls/dialog_units.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

constexpr int kViews[] = {1018, 1019, 1020, 1021, 1022};

// The main window on a quiet camera with three pictures in its record.
class VideoAreaTest : public ::testing::Test {
 protected:
  VideoAreaTest()
      : run(camera.options(), [](ViewerApp& app) {
          for (const char* name :
               {"20260101_100000.bmp", "20260101_100001.bmp", "20260101_100002.bmp"}) {
            add_picture(app.record_folder(), name);
          }
        }) {}

  static void add_picture(const std::string& folder, const std::string& name) {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(QString::fromStdString(folder + "/" + name), "BMP"));
  }
  MainDialog& dialog() const { return *run.window; }
  AlbumList* list() const { return qobject_cast<AlbumList*>(dialog().control(kAlbumList)); }
  PictureView* view(int id) const { return qobject_cast<PictureView*>(dialog().control(id)); }
  VideoArea& area() const { return *dialog().findChild<VideoArea*>(); }
  void click(int id) const { static_cast<QPushButton*>(dialog().control(id))->click(); }
  void tick(int row) const { list()->item(row, 0)->setCheckState(Qt::Checked); }
  bool shown(int id) const { return !dialog().control(id)->isHidden(); }
  void expect_live() const {
    EXPECT_EQ(area().mode(), VideoArea::Mode::live);
    EXPECT_TRUE(shown(kVideoArea));
    for (int id : kViews) EXPECT_FALSE(shown(id)) << id;
  }

  testing::MessageBoxRecorder boxes;
  testing::QuietCamera camera;
  testing::SessionWindow run;
};

TEST_F(VideoAreaTest, StartUpPutsTheAlbumInPlaceAndLoadsTheRecord) {
  const DialogBaseUnits units = dialog_base_units(dialog().font());
  ASSERT_NE(list(), nullptr);
  EXPECT_EQ(list()->geometry(), dialog_rect(units, 2, 76, 104, 256));
  ASSERT_EQ(list()->rowCount(), 3);
  EXPECT_EQ(list()->item_text(2).toStdString(), run.record_folder() + "/20260101_100002.bmp");
  for (int id : kViews) ASSERT_NE(view(id), nullptr) << id;
  EXPECT_EQ(view(1018)->geometry(), dialog_rect(units, 116, 4, 516, 328));
  EXPECT_EQ(view(1022)->geometry(), dialog_rect(units, 376, 0, 259, 165));
  expect_live();

  add_picture(run.record_folder(), "20260101_100003.bmp");
  click(kCaptureButton);
  EXPECT_TRUE(testing::process_events_until([&] { return list()->rowCount() == 4; }))
      << "capture reloads the album after its pause";
}

// A wide picture, green on the left and red on the right, shows whole, fitted and centred.
TEST_F(VideoAreaTest, SinglePictureShowsTheWholePictureFittedAndFollowsTheWindow) {
  QImage wide(1600, 400, QImage::Format_RGB32);
  wide.fill(Qt::red);
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 800; ++x) wide.setPixel(x, y, 0xFF00FF00);
  }
  ASSERT_TRUE(wide.save(QString::fromStdString(run.record_folder() + "/wide.bmp"), "BMP"));
  area().show_picture(run.record_folder() + "/wide.bmp");
  EXPECT_EQ(area().mode(), VideoArea::Mode::picture);
  EXPECT_FALSE(shown(kVideoArea));
  PictureView& single = *view(1018);
  QWidget& video = *dialog().control(kVideoArea);
  EXPECT_EQ(single.geometry(), video.geometry());
  EXPECT_EQ(single.picture().size(), QSize(1600, 400));
  auto expect_fitted = [&] {
    const QRect fitted = single.picture_rect();
    EXPECT_EQ(fitted.width(), single.width());
    EXPECT_NEAR(fitted.height(), single.width() / 4, 1);
    EXPECT_NEAR(fitted.center().y(), single.height() / 2, 1);
    const QImage screen = single.grab().toImage();
    EXPECT_EQ(screen.pixelColor(fitted.right() - 2, fitted.center().y()), QColor(Qt::red));
    EXPECT_EQ(screen.pixelColor(2, fitted.center().y()), QColor(Qt::green));
    EXPECT_EQ(screen.pixelColor(2, 2), QColor(Qt::black));
  };
  expect_fitted();

  const QSize before = video.size();
  dialog().resize(dialog().size() + QSize(240, 120));
  QApplication::processEvents();
  EXPECT_NE(video.size(), before);
  EXPECT_EQ(single.geometry(), video.geometry());
  expect_fitted();

  QTest::mouseClick(&single, Qt::LeftButton);
  expect_live();

  area().show_picture(run.record_folder() + "/missing.bmp");
  EXPECT_TRUE(shown(1018));
  EXPECT_TRUE(single.picture().isNull());
  EXPECT_EQ(single.message(), "无法打开 missing.bmp") << "in the window's language";
  const QImage screen = single.grab().toImage();
  bool lettered = false;
  for (int x = 0; x < screen.width() && !lettered; ++x) {
    lettered = screen.pixelColor(x, screen.height() / 2).lightness() > 128;
  }
  EXPECT_TRUE(lettered) << "the message is on screen, not a black view";
}

TEST_F(VideoAreaTest, CompareFillsTheQuartersInListOrderUnderTheirNamesAndEmptiesTheRest) {
  click(kCompareButton);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "请选择 1 到 4 张图片进行对比。");
  expect_live();

  for (int row = 0; row < 3; ++row) tick(row);
  click(kCompareButton);
  EXPECT_EQ(view(1020)->caption(), "20260101_100002.bmp");
  list()->item(1, 0)->setCheckState(Qt::Unchecked);
  list()->item(2, 0)->setCheckState(Qt::Unchecked);
  list()->selectRow(2);
  dialog().run_command(kCompareHidden);
  EXPECT_EQ(area().mode(), VideoArea::Mode::compare);
  EXPECT_FALSE(shown(kVideoArea));
  EXPECT_TRUE(shown(1019));
  EXPECT_TRUE(shown(1022));
  EXPECT_FALSE(shown(1020));
  EXPECT_TRUE(view(1020)->picture().isNull()) << "a quarter left over is emptied";
  EXPECT_EQ(view(1019)->caption(), "20260101_100000.bmp");
  EXPECT_EQ(view(1022)->caption(), "20260101_100002.bmp");
  const QRect fitted = view(1022)->picture_rect();
  EXPECT_TRUE(view(1022)->rect().contains(fitted));
  EXPECT_NEAR(fitted.width() * 48, fitted.height() * 64, 64) << "the aspect ratio is kept";

  QTest::mouseClick(view(1022), Qt::LeftButton);
  expect_live();
}

TEST_F(VideoAreaTest, TheCamerasCommandsSwitchThroughTheSameOwner) {
  const fs::path picture = run.record_folder() + "/20260101_100001.bmp";
  emit run.session->show_picture(picture);
  EXPECT_EQ(area().mode(), VideoArea::Mode::picture);
  EXPECT_FALSE(view(1018)->picture().isNull());
  emit run.session->show_live();
  expect_live();
}

TEST_F(VideoAreaTest, DeleteAsksThenRemovesTickedAndSelectedPictures) {
  tick(0);
  list()->selectRow(2);
  click(kDeleteButton);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].owner, &dialog());
  EXPECT_FALSE(fs::exists(run.record_folder() + "/20260101_100000.bmp"));
  EXPECT_TRUE(fs::exists(run.record_folder() + "/20260101_100001.bmp"));
  EXPECT_FALSE(fs::exists(run.record_folder() + "/20260101_100002.bmp"));
  EXPECT_EQ(list()->rowCount(), 1);
}

}  // namespace
}  // namespace scopemark
