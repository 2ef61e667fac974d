#include "controls/bitmap_resources.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QMouseEvent>
#include <QWidget>

#include <cstdlib>

#include "controls/bitmap_button.h"

namespace scopemark {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;

int bits_per_pixel(int id) {
  QFile file(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray header = file.read(30);
  return header.size() == 30 ? static_cast<unsigned char>(header[28]) : -1;
}

int count_not_white(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += (image.pixel(x, y) | 0xFF000000u) != kWhite;
  }
  return count;
}

TEST(BitmapResources, ButtonBitmapsAre35By35TrueColourOnWhite) {
  for (int id = 130; id <= 137; ++id) {
    SCOPED_TRACE(id);
    const QImage image = load_bitmap(id);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(35, 35));
    EXPECT_EQ(bits_per_pixel(id), 24);
    for (QPoint corner : {QPoint(0, 0), QPoint(34, 0), QPoint(0, 34), QPoint(34, 34)}) {
      EXPECT_EQ(image.pixel(corner) | 0xFF000000u, kWhite);
    }
    EXPECT_GT(count_not_white(image), 35 * 35 / 5);
  }
  for (int id = 130; id <= 136; id += 2) EXPECT_NE(load_bitmap(id), load_bitmap(id + 1)) << id;
}

TEST(BitmapResources, IndicatorIconAndUnknownIds) {
  const QImage indicator = load_bitmap(156);
  ASSERT_FALSE(indicator.isNull());
  EXPECT_EQ(bits_per_pixel(156), 24);
  EXPECT_GT(count_not_white(indicator), 0);

  const QIcon icon = application_icon();
  ASSERT_FALSE(icon.isNull());
  for (int size : {16, 32, 48, 64}) {
    const QImage image = icon.pixmap(size, size).toImage();
    EXPECT_EQ(image.size(), QSize(size, size));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
  }
  EXPECT_TRUE(load_bitmap(129).isNull());
  EXPECT_TRUE(load_bitmap(0).isNull());
}

// The main window's toolbar in its normal (top row) and hover (bottom row) looks. With
// SCOPEMARK_SCREENSHOT_DIR set, the picture is also written there as toolbar.png, enlarged
// three times pixel for pixel.
TEST(Toolbar, NormalAndHoverLooks) {
  QWidget toolbar;
  auto* grid = new QGridLayout(&toolbar);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setSpacing(4);
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 4; ++column) {
      auto* button = new BitmapButton(&toolbar);
      button->setFixedSize(47, 39);
      const int hover_id = 130 + 2 * column;
      ASSERT_EQ(button->set_bitmaps(hover_id, Qt::white, hover_id + 1, Qt::white), BITMAPS_OK);
      grid->addWidget(button, row, column);
      if (row == 1) {
        const QPoint centre = button->rect().center();
        QMouseEvent move(QEvent::MouseMove, centre, button->mapToGlobal(centre), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(button, &move);
        ASSERT_TRUE(button->hovering());
      }
    }
  }
  toolbar.adjustSize();
  const QImage shot = toolbar.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(6 + 4 * 47 + 3 * 4 + 6, 6 + 2 * 39 + 4 + 6));
  for (int column = 0; column < 4; ++column) {
    const QRect normal(6 + column * 51, 6, 47, 39);
    const QImage top = shot.copy(normal);
    const QImage bottom = shot.copy(normal.translated(0, 43));
    EXPECT_NE(top, bottom) << column;
    EXPECT_EQ(top.pixel(0, 0), top.pixel(2, 2));
    EXPECT_NE(bottom.pixel(0, 0), bottom.pixel(2, 2));
  }
  if (const char* dir = std::getenv("SCOPEMARK_SCREENSHOT_DIR")) {
    const QImage enlarged =
        shot.scaled(shot.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_TRUE(enlarged.save(QString::fromLocal8Bit(dir) + "/toolbar.png"));
  }
}

}  // namespace
}  // namespace scopemark
