#include "controls/bitmap_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace scopemark {
namespace {

constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kGreen = 0xFF00FF00;
constexpr int kSide = 41;  // button side; a 35 x 35 bitmap sits at (3, 3)
constexpr int kOrigin = 3;

QImage filled(QRgb colour, int side = 35) {
  QImage image(side, side, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

QRgb at(const QImage& image, int x, int y) {
  return image.pixel(x, y) | 0xFF000000u;
}
QRgb role(const QWidget& widget, QPalette::ColorRole r) {
  return widget.palette().color(r).rgb();
}

void send_mouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons,
                Qt::MouseButton button = Qt::NoButton) {
  QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void hover(QWidget* widget) {
  send_mouse(widget, QEvent::MouseMove, widget->rect().center(), Qt::NoButton);
}

class BitmapButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    button = std::make_unique<BitmapButton>();
    button->resize(kSide, kSide);
    QImage hover = filled(kRed);
    hover.setPixel(10, 10, kGreen);
    ASSERT_EQ(button->set_bitmaps(hover, Qt::white, filled(kBlue), Qt::white), BITMAPS_OK);
  }
  QImage render() const { return button->grab().toImage(); }
  QRgb face() const { return role(*button, QPalette::Button); }
  QRgb light() const { return role(*button, QPalette::Light); }
  QRgb dark() const { return role(*button, QPalette::Dark); }

  std::unique_ptr<BitmapButton> button;
};

TEST_F(BitmapButtonTest, NormalLookIsTheNormalBitmapWithoutBorder) {
  ASSERT_NE(face(), light());
  ASSERT_NE(face(), dark());
  const QImage image = render();
  EXPECT_EQ(at(image, kOrigin, kOrigin), kBlue);
  EXPECT_EQ(at(image, kOrigin + 34, kOrigin + 34), kBlue);
  EXPECT_EQ(at(image, kOrigin - 1, kOrigin), face());
  for (QPoint corner : {QPoint(0, 0), QPoint(kSide - 1, kSide - 1), QPoint(0, kSide - 1)}) {
    EXPECT_EQ(at(image, corner.x(), corner.y()), face());
  }
}

TEST_F(BitmapButtonTest, HoverShowsTheHoverBitmapWithRaisedBorder) {
  hover(button.get());
  ASSERT_TRUE(button->hovering());
  const QImage image = render();
  EXPECT_EQ(at(image, kOrigin, kOrigin), kRed);
  EXPECT_EQ(at(image, kOrigin + 10, kOrigin + 10), kGreen);
  EXPECT_EQ(at(image, 0, 0), light());
  EXPECT_EQ(at(image, 0, kSide / 2), light());
  EXPECT_EQ(at(image, kSide / 2, 0), light());
  EXPECT_EQ(at(image, kSide - 1, kSide / 2), dark());
  EXPECT_EQ(at(image, kSide / 2, kSide - 1), dark());
  EXPECT_EQ(at(image, kSide - 1, 0), dark());
  EXPECT_EQ(at(image, 1, 1), face());
}

TEST_F(BitmapButtonTest, PressedShowsHoverBitmapMovedByOnePixelWithSunkenBorder) {
  QTest::mousePress(button.get(), Qt::LeftButton, {}, button->rect().center());
  ASSERT_TRUE(button->isDown());
  const QImage image = render();
  EXPECT_EQ(at(image, kOrigin + 11, kOrigin + 11), kGreen);
  EXPECT_EQ(at(image, kOrigin + 10, kOrigin + 10), kRed);
  EXPECT_EQ(at(image, kOrigin, kOrigin), face());
  EXPECT_EQ(at(image, kOrigin + 1, kOrigin + 1), kRed);
  EXPECT_EQ(at(image, kOrigin + 35, kOrigin + 35), kRed);
  EXPECT_EQ(at(image, 0, 0), dark());
  EXPECT_EQ(at(image, 0, kSide / 2), dark());
  EXPECT_EQ(at(image, kSide - 1, kSide / 2), light());
  EXPECT_EQ(at(image, kSide / 2, kSide - 1), light());
  QTest::mouseRelease(button.get(), Qt::LeftButton, {}, button->rect().center());
}

TEST_F(BitmapButtonTest, OnlyExactlyTheTransparentColourShowsTheFace) {
  QImage picture = filled(kRed);
  picture.setPixel(0, 0, 0xFFFFFFFF);
  picture.setPixel(1, 0, 0xFFFEFFFF);
  picture.setPixel(2, 0, 0xFFFFFFFE);
  picture.setPixel(3, 0, 0xFF000000);
  picture.setPixel(4, 0, 0xFFFF00FF);
  ASSERT_EQ(button->set_bitmaps(picture, Qt::white, QImage(), Qt::white), BITMAPS_OK);
  QImage image = render();
  EXPECT_EQ(at(image, kOrigin, kOrigin), face());
  EXPECT_EQ(at(image, kOrigin + 1, kOrigin), 0xFFFEFFFFu);
  EXPECT_EQ(at(image, kOrigin + 2, kOrigin), 0xFFFFFFFEu);
  EXPECT_EQ(at(image, kOrigin + 3, kOrigin), 0xFF000000u);
  EXPECT_EQ(at(image, kOrigin + 4, kOrigin), 0xFFFF00FFu);
  EXPECT_EQ(at(image, kOrigin + 5, kOrigin), kRed);

  ASSERT_EQ(button->set_bitmaps(picture, QColor(255, 0, 255), QImage(), Qt::white), BITMAPS_OK);
  image = render();
  EXPECT_EQ(at(image, kOrigin, kOrigin), 0xFFFFFFFFu);
  EXPECT_EQ(at(image, kOrigin + 4, kOrigin), face());
}

TEST_F(BitmapButtonTest, WithoutNormalBitmapTheHoverBitmapIsShownAlways) {
  ASSERT_EQ(button->set_bitmaps(filled(kRed), Qt::white, QImage(), Qt::white), BITMAPS_OK);
  EXPECT_TRUE(button->look(BitmapButton::kNormalLook).empty());
  EXPECT_EQ(at(render(), kOrigin, kOrigin), kRed);
}

TEST_F(BitmapButtonTest, DisabledLookIsEmbossedInHighlightAndShadow) {
  QImage picture = filled(0xFFFFFFFF);
  for (int y = 10; y < 15; ++y) {
    for (int x = 10; x < 15; ++x) picture.setPixel(x, y, kRed);
  }
  ASSERT_EQ(button->set_bitmaps(picture, Qt::white, picture, Qt::white), BITMAPS_OK);
  button->setEnabled(false);
  const QImage image = render();
  EXPECT_EQ(at(image, kOrigin + 10, kOrigin + 10), dark());
  EXPECT_EQ(at(image, kOrigin + 14, kOrigin + 14), dark());
  EXPECT_EQ(at(image, kOrigin + 15, kOrigin + 15), light());
  EXPECT_EQ(at(image, kOrigin + 15, kOrigin + 9), face());
  EXPECT_EQ(at(image, kOrigin + 5, kOrigin + 5), face());
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_NE(at(image, x, y), kRed) << x << "," << y;
  }
}

TEST_F(BitmapButtonTest, CaptionSitsCentredRightOfTheBitmap) {
  button->setText("Go");
  button->resize(140, kSide);
  const auto caption_box = [&](const QImage& image) {
    QRect box;
    for (int y = 1; y < image.height() - 1; ++y) {
      for (int x = kOrigin + 36; x < image.width() - 1; ++x) {
        if (at(image, x, y) != face()) box |= QRect(x, y, 1, 1);
      }
    }
    return box;
  };
  const QImage normal = render();
  EXPECT_EQ(at(normal, kOrigin, kSide / 2), kBlue);
  EXPECT_EQ(at(normal, kOrigin - 1, kSide / 2), face());
  const QRect box = caption_box(normal);
  ASSERT_FALSE(box.isEmpty());
  const int area_left = kOrigin + 35 + kOrigin;
  EXPECT_GE(box.left(), area_left);
  EXPECT_NEAR(box.left() - area_left, 140 - 1 - box.right(), 2);
  EXPECT_NEAR(box.top(), kSide - 1 - box.bottom(), 3);

  QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(70, 20));
  EXPECT_EQ(caption_box(render()), box.translated(1, 1));
  QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(70, 20));
}

TEST_F(BitmapButtonTest, MovingOverWithTheMouseButtonHeldDoesNotStartHover) {
  send_mouse(button.get(), QEvent::MouseMove, QPoint(20, 20), Qt::LeftButton);
  EXPECT_FALSE(button->hovering());
  EXPECT_EQ(at(render(), kOrigin, kOrigin), kBlue);
  hover(button.get());
  EXPECT_TRUE(button->hovering());
  send_mouse(button.get(), QEvent::MouseMove, QPoint(20, 20), Qt::LeftButton);
  EXPECT_TRUE(button->hovering());
}

TEST_F(BitmapButtonTest, HoverEndsOnLeaveAndOnDraggingOut) {
  hover(button.get());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button.get(), &leave);
  EXPECT_FALSE(button->hovering());
  const QImage image = render();
  EXPECT_EQ(at(image, kOrigin, kOrigin), kBlue);
  EXPECT_EQ(at(image, 0, 0), face());

  hover(button.get());
  QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(20, 20));
  send_mouse(button.get(), QEvent::MouseMove, QPoint(kSide + 10, 20), Qt::LeftButton);
  EXPECT_FALSE(button->hovering());
  send_mouse(button.get(), QEvent::MouseMove, QPoint(20, 20), Qt::LeftButton);
  EXPECT_FALSE(button->hovering());
  QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(20, 20));
}

TEST_F(BitmapButtonTest, HoverEndsWhenDisabledOrBlockedByAModalWindow) {
  hover(button.get());
  button->setEnabled(false);
  EXPECT_FALSE(button->hovering());

  button->setEnabled(true);
  hover(button.get());
  QEvent blocked(QEvent::WindowBlocked);
  QApplication::sendEvent(button.get(), &blocked);
  EXPECT_FALSE(button->hovering());
}

TEST_F(BitmapButtonTest, DoubleClickGivesTwoClicks) {
  QSignalSpy clicks(button.get(), &QAbstractButton::clicked);
  const QPoint c = button->rect().center();
  send_mouse(button.get(), QEvent::MouseButtonPress, c, Qt::LeftButton, Qt::LeftButton);
  send_mouse(button.get(), QEvent::MouseButtonRelease, c, Qt::NoButton, Qt::LeftButton);
  send_mouse(button.get(), QEvent::MouseButtonDblClick, c, Qt::LeftButton, Qt::LeftButton);
  send_mouse(button.get(), QEvent::MouseButtonRelease, c, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 2);
}

TEST(BitmapButtonBitmaps, ProgramBitmapsInstallAndBadIdsLeaveTheButtonEmpty) {
  BitmapButton button;
  EXPECT_EQ(button.set_bitmaps(130, Qt::white, 131, Qt::white), BITMAPS_OK);
  for (int look : {BitmapButton::kHoverLook, BitmapButton::kNormalLook}) {
    EXPECT_EQ(button.look(look).width, 35);
    EXPECT_EQ(button.look(look).height, 35);
    EXPECT_EQ(button.look(look).transparent, QColor(Qt::white));
    EXPECT_EQ(qAlpha(button.look(look).bitmap.pixel(0, 0)), 0);
  }
  EXPECT_EQ(button.set_bitmaps(130, Qt::white, 999, Qt::white), BITMAPS_BAD_RESOURCE);
  EXPECT_TRUE(button.look(BitmapButton::kHoverLook).empty());
  EXPECT_TRUE(button.look(BitmapButton::kNormalLook).empty());

  EXPECT_EQ(button.set_bitmaps(136, Qt::white, 0, Qt::white), BITMAPS_OK);
  EXPECT_FALSE(button.look(BitmapButton::kHoverLook).empty());
  EXPECT_TRUE(button.look(BitmapButton::kNormalLook).empty());

  EXPECT_EQ(button.set_bitmaps(0, Qt::white, 137, Qt::white), BITMAPS_OK);
  EXPECT_TRUE(button.look(BitmapButton::kHoverLook).empty());
  EXPECT_TRUE(button.look(BitmapButton::kNormalLook).empty());
}

// Tests that need a shown, active window: focus and activation.
class BitmapButtonWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QHBoxLayout(&dialog);
    for (auto*& b : buttons) {
      b = new BitmapButton(&dialog);
      b->setFixedSize(kSide, kSide);
      layout->addWidget(b);
    }
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }

  QDialog dialog;
  BitmapButton* buttons[3] = {};
};

TEST_F(BitmapButtonWindowTest, HoverEndsOnFocusLossAndDeactivation) {
  buttons[0]->setFocus();
  hover(buttons[0]);
  buttons[1]->setFocus();
  EXPECT_FALSE(buttons[0]->hovering());

  hover(buttons[1]);
  QDialog other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_FALSE(buttons[1]->hovering());
}

TEST_F(BitmapButtonWindowTest, ClickTakesTheFocusAndDisablingPassesItOn) {
  buttons[1]->click();
  EXPECT_TRUE(buttons[1]->hasFocus());
  buttons[1]->setEnabled(false);
  EXPECT_TRUE(buttons[2]->hasFocus());
}

TEST_F(BitmapButtonWindowTest, EnterClicksTheDefaultButton) {
  QSignalSpy first(buttons[0], &QAbstractButton::clicked);
  QSignalSpy second(buttons[1], &QAbstractButton::clicked);
  buttons[2]->setAutoDefault(false);
  buttons[0]->setDefault(true);
  buttons[2]->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(first.count(), 1);
  buttons[1]->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(second.count(), 1);
  EXPECT_EQ(first.count(), 1);
}

}  // namespace
}  // namespace scopemark
