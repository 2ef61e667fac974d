#include "controls/paint_cache.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QToolButton>
#include <vector>

namespace scopemark {
namespace {

// A label that counts its own paintings.
class CountingLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    QLabel::paintEvent(event);
  }
};

// A styled, half-transparent label and a tool button over a red area, once with and once
// without the cache: both look alike after every change, and the cached label paints itself
// only after a change.
TEST(PaintCache, CachedControlsLookAsPaintedAndFollowChanges) {
  struct Scene {
    QWidget area;
    CountingLabel* label = new CountingLabel(QStringLiteral("Live"), &area);
    QToolButton* button = new QToolButton(&area);
    explicit Scene(bool cached) {
      area.resize(160, 60);
      area.setStyleSheet(QStringLiteral("QWidget#area { background: red; }"));
      area.setObjectName(QStringLiteral("area"));
      label->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0,0,0,160); }"));
      label->move(4, 4);
      button->setText(QStringLiteral("Measure"));
      button->move(80, 30);
      if (cached) {
        PaintCache::install(label);
        PaintCache::install(button);
      }
      area.show();
    }
    // The pixels of the area as painted now, row after row.
    std::vector<QRgb> picture() {
      QCoreApplication::processEvents();
      const QImage image = area.grab().toImage();
      std::vector<QRgb> pixels;
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) pixels.push_back(image.pixel(x, y));
      }
      return pixels;
    }
  };
  Scene cached(true), plain(false);
  ASSERT_TRUE(cached.picture() == plain.picture());
  const int paints = cached.label->paints;
  ASSERT_TRUE(cached.picture() == plain.picture());
  ASSERT_TRUE(cached.picture() == plain.picture());
  EXPECT_EQ(cached.label->paints, paints) << "painted again though nothing changed";

  for (Scene* scene : {&cached, &plain}) {
    scene->label->setText(QStringLiteral("No picture"));
    scene->button->setDown(true);
  }
  EXPECT_TRUE(cached.picture() == plain.picture()) << "new text or pressed state not shown";
  EXPECT_TRUE(cached.picture() == plain.picture());
  for (Scene* scene : {&cached, &plain}) {
    scene->label->adjustSize();
    scene->button->setEnabled(false);
  }
  EXPECT_TRUE(cached.picture() == plain.picture()) << "new size or disabled state not shown";
}

}  // namespace
}  // namespace scopemark
