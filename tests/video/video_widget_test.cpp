#include "video/video_widget.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QTest>
#include <thread>
#include <vector>

namespace scopemark {
namespace {

// Planes of a width x height picture whose left half has luma `left`, the right half
// `right`; chroma 90 / 240, so luma 81 is red (254, 0, 0) and luma 16 dark red (178, 0, 0).
struct Planes {
  std::vector<uint8_t> luma, cb, cr;
  Planes(int width, int height, uint8_t left, uint8_t right)
      : luma(width * height), cb(width * height / 4, 90), cr(width * height / 4, 240) {
    for (int i = 0; i < width * height; ++i) luma[i] = i % width < width / 2 ? left : right;
  }
  // Rows of `width` bytes.
  Yuv420Planes packed(int width) const {
    return {luma.data(), cb.data(), cr.data(), width, width / 2};
  }
};

// A 64 x 36 picture of varied luma and blue difference.
Planes pattern_64x36() {
  Planes pattern(64, 36, 0, 0);
  for (size_t i = 0; i < pattern.luma.size(); ++i) pattern.luma[i] = static_cast<uint8_t>(i * 37);
  for (size_t i = 0; i < pattern.cb.size(); ++i) pattern.cb[i] = static_cast<uint8_t>(i * 11);
  return pattern;
}

constexpr QRgb kRed = qRgb(254, 0, 0);
constexpr QRgb kDarkRed = qRgb(178, 0, 0);
constexpr QRgb kBlack = qRgb(0, 0, 0);

// True when every pixel of the grab in a grid over the whole widget is `colour`.
::testing::AssertionResult filled_with(VideoWidget& widget, QRgb colour) {
  const QImage image = widget.grab().toImage();
  if (image.size() != widget.size()) return ::testing::AssertionFailure() << "grab size";
  for (int y = 0; y < image.height(); y += std::max(1, image.height() / 10)) {
    for (int x = 0; x < image.width(); x += std::max(1, image.width() / 10)) {
      if (image.pixel(x, y) != colour) {
        return ::testing::AssertionFailure()
               << "pixel " << x << "," << y << " is " << std::hex << image.pixel(x, y);
      }
    }
  }
  const QRgb corner = image.pixel(image.width() - 1, image.height() - 1);
  if (corner != colour)
    return ::testing::AssertionFailure() << "bottom right " << std::hex << corner;
  return ::testing::AssertionSuccess();
}

TEST(VideoWidget, ShownFrameFillsTheWholeWidgetAtAnySize) {
  VideoWidget widget;
  widget.resize(200, 150);
  EXPECT_TRUE(filled_with(widget, kBlack));

  DisplaySurface surface;
  ASSERT_EQ(surface.initialise(widget.feed().get(), 64, 36), kSurfaceOk);
  const Planes red(64, 36, 81, 81);
  ASSERT_EQ(surface.show_frame(red.packed(64), 64, 36), kSurfaceOk);
  EXPECT_TRUE(filled_with(widget, kRed));

  widget.resize(333, 77);
  EXPECT_TRUE(filled_with(widget, kRed));

  const Planes small(16, 8, 81, 81);
  ASSERT_EQ(surface.show_frame(small.packed(16), 16, 8), kSurfaceOk);
  EXPECT_TRUE(filled_with(widget, kRed));
}

TEST(VideoWidget, PictureIsStretchedNotCroppedOrMirrored) {
  VideoWidget widget;
  widget.resize(400, 100);
  DisplaySurface surface;
  ASSERT_EQ(surface.initialise(widget.feed().get(), 32, 32), kSurfaceOk);
  const Planes halves(32, 32, 81, 16);
  ASSERT_EQ(surface.show_frame(halves.packed(32), 32, 32), kSurfaceOk);
  const QImage image = widget.grab().toImage();
  for (int y : {0, 50, 99}) {
    EXPECT_EQ(image.pixel(10, y), kRed);
    EXPECT_EQ(image.pixel(180, y), kRed);
    EXPECT_EQ(image.pixel(220, y), kDarkRed);
    EXPECT_EQ(image.pixel(399, y), kDarkRed);
  }
}

// A picture of the widget's size is painted pixel for pixel. Once painted at another size, the
// widget gets frames converted at that size (an odd side rounded up to even; the frame keeps
// the picture's size) and paints those pixel for pixel, unless full resolution is asked for.
TEST(VideoWidget, FramesOfTheWidgetsSizeArePaintedPixelForPixel) {
  VideoWidget widget;
  widget.resize(64, 36);
  DisplaySurface surface;
  ASSERT_EQ(surface.initialise(widget.feed().get(), 64, 36), kSurfaceOk);
  const Planes pattern = pattern_64x36();
  const auto painted_as = [&widget](const std::vector<uint32_t>& expected, int stride) {
    const QImage image = widget.grab().toImage();
    for (int y = 0; y < widget.height(); ++y) {
      for (int x = 0; x < widget.width(); ++x)
        ASSERT_EQ(image.pixel(x, y), expected[y * stride + x]) << x << "," << y;
    }
  };
  ASSERT_EQ(surface.show_frame(pattern.packed(64), 64, 36), kSurfaceOk);
  std::vector<uint32_t> expected(64 * 36);
  yuv420_to_xrgb32(expected.data(), pattern.packed(64), 64, 36);
  painted_as(expected, 64);

  widget.resize(41, 23);
  widget.grab();
  ASSERT_EQ(surface.show_frame(pattern.packed(64), 64, 36), kSurfaceOk);
  ScaledConversion scaled;
  scaled.prepare(64, 36, 42, 24);
  scaled.convert(expected.data(), pattern.packed(64));
  painted_as(expected, 42);
  const DisplayFrame* frame = widget.feed()->frames()->acquire();
  EXPECT_EQ(frame->picture_width, 64);
  EXPECT_EQ(frame->picture_height, 36);

  widget.feed()->set_full_resolution(true);
  ASSERT_EQ(surface.show_frame(pattern.packed(64), 64, 36), kSurfaceOk);
  frame = widget.feed()->frames()->acquire();
  EXPECT_EQ(frame->width, 64);
  EXPECT_EQ(frame->height, 36);
}

// Pictures that arrive while the widget is hidden are counted but not converted.
TEST(VideoWidget, HiddenWidgetGetsNoConvertedFrames) {
  VideoWidget widget;
  widget.resize(64, 36);
  widget.show();
  DisplaySurface surface;
  ASSERT_EQ(surface.initialise(widget.feed().get(), 64, 36), kSurfaceOk);
  const Planes red(64, 36, 81, 81), dark(64, 36, 16, 16);
  ASSERT_EQ(surface.show_frame(red.packed(64), 64, 36), kSurfaceOk);
  EXPECT_TRUE(filled_with(widget, kRed));
  widget.hide();
  ASSERT_EQ(surface.show_frame(dark.packed(64), 64, 36), kSurfaceOk);
  EXPECT_EQ(widget.feed()->published_count(), 2u);
  widget.show();
  EXPECT_TRUE(filled_with(widget, kRed));
  ASSERT_EQ(surface.show_frame(dark.packed(64), 64, 36), kSurfaceOk);
  EXPECT_TRUE(filled_with(widget, kDarkRed));
}

TEST(VideoWidget, NewestFrameWinsAndReleaseLeavesBlack) {
  VideoWidget widget;
  widget.resize(64, 64);
  DisplaySurface surface;
  const Planes red(16, 16, 81, 81), dark(16, 16, 16, 16);
  EXPECT_EQ(surface.show_frame(red.packed(16), 16, 16), kSurfaceNotReady);
  ASSERT_EQ(surface.initialise(widget.feed().get(), 16, 16), kSurfaceOk);
  EXPECT_EQ(surface.show_frame(red.packed(18), 18, 16), kSurfaceBadPicture);
  Yuv420Planes short_rows = red.packed(16);
  short_rows.chroma_stride = 7;
  EXPECT_EQ(surface.show_frame(short_rows, 16, 16), kSurfaceBadPicture);
  for (int i = 0; i < 4; ++i) {
    const Planes& p = i % 2 ? red : dark;
    ASSERT_EQ(surface.show_frame(p.packed(16), 16, 16), kSurfaceOk);
  }
  EXPECT_TRUE(filled_with(widget, kRed));
  EXPECT_TRUE(filled_with(widget, kRed)) << "repaint keeps the newest frame";

  surface.release();
  surface.release();
  EXPECT_TRUE(filled_with(widget, kBlack));
  EXPECT_EQ(surface.show_frame(red.packed(16), 16, 16), kSurfaceNotReady);
}

// Counts the widget's paint events.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST(VideoWidget, PublishedFrameFromAnotherThreadTriggersARepaint) {
  VideoWidget widget;
  widget.resize(64, 36);
  widget.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  DisplaySurface surface;
  ASSERT_EQ(surface.initialise(widget.feed().get(), 64, 36), kSurfaceOk);
  QCoreApplication::processEvents();
  PaintCounter counter;
  widget.installEventFilter(&counter);

  const Planes red(64, 36, 81, 81);
  std::thread decode([&] { surface.show_frame(red.packed(64), 64, 36); });
  decode.join();
  QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, 5000);
  EXPECT_TRUE(filled_with(widget, kRed));
}

}  // namespace
}  // namespace scopemark
