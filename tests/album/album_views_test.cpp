#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTest>

#include <cstdlib>

#include "album_fixture.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

using testing::AlbumFixture;

const QColor kColours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};

// Colour in the middle of a view's picture; invalid without a picture.
QColor shown_colour(const PictureView* view) {
  const QPixmap picture = view->pixmap();
  if (picture.isNull()) return QColor();
  return picture.toImage().pixelColor(picture.width() / 2, picture.height() / 2);
}

void click(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

class AlbumViewsTest : public AlbumFixture {
 protected:
  // Six pictures of six colours, loaded into the album.
  void load_six() {
    for (int i = 0; i < 6; ++i) write_picture(std::to_string(i) + ".bmp", kColours[i]);
    album->load_album();
    ASSERT_EQ(list->rowCount(), 6);
  }
  std::array<QColor, 4> slot_colours() const {
    std::array<QColor, 4> colours;
    for (int i = 0; i < 4; ++i)
      colours[i] = compare_slots[i]->isHidden() ? QColor() : shown_colour(compare_slots[i]);
    return colours;
  }
};

TEST_F(AlbumViewsTest, CompareWithNothingChosenOnlyShowsTheMessage) {
  ::scopemark::testing::MessageBoxRecorder boxes;
  album->compare_pictures();
  load_six();
  album->compare_pictures();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].text, "please select 1-4 pictures 'Compare'!");
  EXPECT_EQ(boxes.shown[1].caption, "Sorry");
  EXPECT_EQ(boxes.shown[1].owner, nullptr);
  EXPECT_FALSE(video->isHidden());
  for (auto* slot : compare_slots) EXPECT_TRUE(slot->isHidden());
}

TEST_F(AlbumViewsTest, OneTickedPictureFillsTheTopLeftSlot) {
  load_six();
  tick(4);
  album->compare_pictures();
  EXPECT_TRUE(video->isHidden());
  EXPECT_TRUE(single->isHidden());
  EXPECT_EQ(slot_colours(), (std::array<QColor, 4>{kColours[4], {}, {}, {}}));
  EXPECT_EQ(compare_slots[0]->pixmap().size(), compare_slots[0]->size());
}

TEST_F(AlbumViewsTest, SlotsFollowListOrderNotTheOrderOfChoosing) {
  load_six();
  tick(4);
  tick(1);
  list->selectRow(2);
  album->compare_pictures();
  EXPECT_EQ(slot_colours(), (std::array<QColor, 4>{kColours[1], kColours[2], kColours[4], {}}));
}

TEST_F(AlbumViewsTest, SixTickedShowTheFirstFour) {
  load_six();
  for (int row = 0; row < 6; ++row) tick(row);
  album->compare_pictures();
  EXPECT_EQ(slot_colours(),
            (std::array<QColor, 4>{kColours[0], kColours[1], kColours[2], kColours[3]}));
  for (int row = 0; row < 4; ++row) list->item(row, 0)->setCheckState(Qt::Unchecked);
  album->compare_pictures();
  EXPECT_EQ(slot_colours(), (std::array<QColor, 4>{kColours[4], kColours[5], {}, {}}));
  EXPECT_TRUE(compare_slots[2]->pixmap().isNull());
}

TEST_F(AlbumViewsTest, ClickOnAFilledSlotBringsTheVideoBack) {
  load_six();
  tick(0);
  tick(1);
  album->compare_pictures();
  click(compare_slots[1]);
  EXPECT_FALSE(video->isHidden());
  EXPECT_TRUE(single->isHidden());
  for (auto* slot : compare_slots) EXPECT_TRUE(slot->isHidden());
}

TEST_F(AlbumViewsTest, DoubleClickOpensTheFirstSelectedPictureOverTheVideoArea) {
  load_six();
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(-5, -5));
  EXPECT_TRUE(single->isHidden());
  EXPECT_FALSE(video->isHidden());

  tick(0);
  album->compare_pictures();
  list->selectRow(5);
  list->selectionModel()->select(list->model()->index(3, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  emit list->double_clicked();
  EXPECT_TRUE(video->isHidden());
  EXPECT_FALSE(single->isHidden());
  for (auto* slot : compare_slots) EXPECT_TRUE(slot->isHidden());
  EXPECT_EQ(shown_colour(single), kColours[3]);
  EXPECT_EQ(single->pixmap().size(), video->size());

  click(single);
  EXPECT_FALSE(video->isHidden());
  EXPECT_TRUE(single->isHidden());
}

TEST_F(AlbumViewsTest, UnreadablePictureLeavesTheViewEmpty) {
  const auto path = write_picture("a.bmp", Qt::red);
  album->show_single_picture(path);
  EXPECT_EQ(shown_colour(single), QColor(Qt::red));
  album->show_single_picture(folder / "missing.bmp");
  EXPECT_FALSE(single->isHidden());
  EXPECT_TRUE(single->pixmap().isNull());
}

TEST_F(AlbumViewsTest, RestingTheMouseOnAnItemSelectsIt) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  load_six();
  list->selectRow(0);
  const QPoint over_row_one = list->visualItemRect(list->item(1, 0)).center();
  QTest::mouseMove(list->viewport(), over_row_one);
  EXPECT_TRUE(list->item(0, 0)->isSelected());
  QTest::qWait(AlbumList::kHoverTimeMs + 200);
  EXPECT_TRUE(list->item(1, 0)->isSelected());
  EXPECT_FALSE(list->item(0, 0)->isSelected());
}

// A picture like one from the microscope: cells of varied colour on a bright field.
QImage micrograph(int seed) {
  QRandomGenerator random(seed);
  QImage image(640, 480, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QRadialGradient field(320, 240, 420);
  field.setColorAt(0, QColor::fromHsv(30 + seed * 40, 30, 250));
  field.setColorAt(1, QColor::fromHsv(30 + seed * 40, 90, 150));
  painter.fillRect(image.rect(), field);
  for (int i = 0; i < 28; ++i) {
    const QPointF centre(random.bounded(640), random.bounded(480));
    const double radius = 18 + random.bounded(40);
    QRadialGradient cell(centre, radius);
    cell.setColorAt(0, QColor::fromHsv((seed * 70 + i * 5) % 360, 200, 120));
    cell.setColorAt(0.35, QColor::fromHsv((seed * 70 + i * 5) % 360, 120, 220, 220));
    cell.setColorAt(1, QColor::fromHsv((seed * 70 + i * 5) % 360, 160, 170, 160));
    painter.setBrush(cell);
    painter.setPen(QPen(QColor::fromHsv((seed * 70) % 360, 180, 90), 2));
    painter.drawEllipse(centre, radius, radius * (0.7 + random.bounded(0.5)));
  }
  return image;
}

// Album with a few pictures beside the single picture view and beside the compare view.
// With SCOPEMARK_SCREENSHOT_DIR set, both are written there (album.png, compare.png).
TEST_F(AlbumViewsTest, Screenshots) {
  for (int i = 0; i < 5; ++i) {
    write_image("20261207_10" + std::to_string(1000 + i * 37) + ".bmp", micrograph(i));
  }
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  album->load_album();
  ASSERT_TRUE(thumbnails_made());
  list->scrollToTop();
  list->selectRow(1);
  emit list->double_clicked();
  const QImage single_shot = window.grab().toImage();
  tick(0);
  tick(2);
  tick(3);
  album->compare_pictures();
  const QImage compare_shot = window.grab().toImage();
  EXPECT_NE(single_shot, compare_shot);
  if (const char* dir = std::getenv("SCOPEMARK_SCREENSHOT_DIR")) {
    EXPECT_TRUE(single_shot.save(QString::fromLocal8Bit(dir) + "/album.png"));
    EXPECT_TRUE(compare_shot.save(QString::fromLocal8Bit(dir) + "/compare.png"));
  }
}

}  // namespace
}  // namespace scopemark
