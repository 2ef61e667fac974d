// Measuring in the main window: a calibration and a measurement drawn with the mouse on a picture
// of a ruler, the sidecar and the settings that keep them, and the exports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "album/picture_view.h"
#include "app/measure_tools.h"
#include "app/video_area.h"
#include "records/record_folder.h"
#include "session_window.h"
#include "support/message_box_recorder.h"
#include "video/frame_exchange.h"
#include "video/video_widget.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using testing::process_events_until;
using Tool = MeasureOverlay::Tool;

// A ruler picture larger than the view shows it: a mark every millimetre, 130 px apart.
constexpr QSize kRulerSize(1600, 400);
constexpr double kZero = 100;
constexpr double kMillimetre = 130;
constexpr double kMarkY = 200;

QImage ruler() {
  QImage image(kRulerSize, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setPen(QPen(Qt::black, 1));
  for (int mark = 0; mark <= 10; ++mark) {
    const double x = kZero + mark * kMillimetre;
    painter.drawLine(QPointF(x, kMarkY - (mark % 5 == 0 ? 80 : 40)), QPointF(x, kMarkY + 40));
  }
  return image;
}

std::string file_text(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class MeasureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(tools, nullptr);
    ASSERT_TRUE(ruler().save(QString::fromStdString(picture.string()), "BMP"));
    tools->set_dialogs(
        {[this](double pixels) {
           drawn_pixels = pixels;
           return std::optional(CalibrationAnswer{10, measure::Unit::millimetre, "Ruler 10x"});
         },
         [this](const QString&, const QString&) { return export_path; }});
    open_picture();
  }

  void open_picture() {
    emit shown.session->show_picture(picture);
    QCoreApplication::processEvents();
  }

  // Where the view shows the ruler's mark `millimetres`, from the rectangle it paints.
  QPointF mark(double millimetres) const {
    const QRect painted = area->views().picture->picture_rect();
    return {
        painted.left() + (kZero + millimetres * kMillimetre) * painted.width() / kRulerSize.width(),
        painted.top() + kMarkY * painted.height() / kRulerSize.height()};
  }

  void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  void click(QPointF at) {
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
  }
  void drag(QPointF from, QPointF to) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
  }

  // Calibrates on the marks 0 and 10 mm by two clicks, then draws a line from 2 to 7 mm.
  void calibrate_and_measure() {
    tools->start_calibration();
    click(mark(0));
    click(mark(10));
    tools->choose_tool(Tool::line);
    drag(mark(2), mark(7));
  }

  bool disk_idle() const {
    return process_events_until([this] { return tools->disk_work_pending() == 0; });
  }

  testing::QuietCamera camera;
  testing::SessionWindow shown{camera.options()};
  MeasureTools* tools = shown.window->findChild<MeasureTools*>();
  VideoArea* area = shown.window->findChild<VideoArea*>();
  fs::path picture = fs::path(shown.record_folder()) / "ruler.bmp";
  fs::path sidecar = fs::path(shown.record_folder()) / measure::sidecar_name("ruler.bmp");
  MeasureOverlay* target = tools->picture_overlay();  // where the mouse acts
  double drawn_pixels = 0;
  QString export_path;
};

TEST_F(MeasureTest, ARulerMeasuresWithinOnePixelAndKeepsItsMeasurements) {
  ASSERT_NE(area->views().picture->picture_rect().size(), kRulerSize) << "the view scales";
  calibrate_and_measure();
  EXPECT_NEAR(drawn_pixels, 10 * kMillimetre, 1);
  ASSERT_NE(tools->chosen(), nullptr);
  EXPECT_EQ(tools->chosen()->name, "Ruler 10x");
  const double millimetre_per_pixel = tools->chosen()->units_per_pixel;
  ASSERT_EQ(tools->picture_overlay()->measurements().size(), 1u);
  const measure::Measurement line = tools->picture_overlay()->measurements()[0];
  const auto values = measure::values_of(line, tools->chosen());
  ASSERT_EQ(values.size(), 1u);
  EXPECT_NEAR(values[0].value, 5, millimetre_per_pixel);
  EXPECT_EQ(values_text(line, tools->chosen()), "5.00 mm");
  ASSERT_TRUE(disk_idle());
  ASSERT_TRUE(fs::exists(sidecar));

  // Shown again when the picture is opened again, also in a new window over the same settings.
  emit shown.session->show_live();
  open_picture();
  EXPECT_EQ(tools->picture_overlay()->measurements(), std::vector{line});
  ViewerSession session(shown.app.session_options(camera.options()));
  MainDialog window;
  connect_window(window, session, shown.app);
  auto* again = window.findChild<MeasureTools*>();
  ASSERT_EQ(again->calibrations().size(), 1u);
  EXPECT_EQ(again->chosen()->name, "Ruler 10x");

  // A selected measurement is deleted, and with the last one the sidecar goes.
  click(mark(4.5));
  EXPECT_EQ(tools->picture_overlay()->selected(), 0);
  tools->delete_selected();
  ASSERT_TRUE(disk_idle());
  EXPECT_FALSE(fs::exists(sidecar));

  // Without a tool, a click that takes no measurement returns to the live video as before.
  tools->choose_tool(Tool::none);
  QTest::mouseClick(area->views().picture, Qt::LeftButton, {}, mark(3).toPoint());
  EXPECT_EQ(area->mode(), VideoArea::Mode::live);
}

TEST_F(MeasureTest, ExportsThePictureAsDrawnAndTheRecordAsCsv) {
  calibrate_and_measure();
  tools->set_scale_bar(true);
  export_path = QString::fromStdString((fs::path(shown.record_folder()) / "out.png").string());
  tools->export_picture();
  ASSERT_TRUE(disk_idle());
  const QImage exported(export_path);
  EXPECT_EQ(exported.size(), kRulerSize);
  EXPECT_NE(exported.pixel(kZero + 4.5 * kMillimetre, kMarkY), qRgb(255, 255, 255))
      << "the line is drawn";
  EXPECT_EQ(exported.pixel(5, 5), qRgb(255, 255, 255)) << "the picture is kept";

  const fs::path csv = fs::path(shown.record_folder()) / "all.csv";
  export_path = QString::fromStdString(csv.string());
  tools->export_csv();
  ASSERT_TRUE(disk_idle());
  const std::string text = file_text(csv);
  EXPECT_NE(text.find("picture,kind,value,unit,calibration\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ruler.bmp,line,"), std::string::npos) << text;

  testing::MessageBoxRecorder boxes;
  export_path = QString::fromStdString((fs::path(shown.record_folder()) / "no/out.png").string());
  tools->export_picture();
  ASSERT_TRUE(disk_idle());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            UiTexts(shown.app.language_file())
                .format(text_key::kMessageExportFailed, export_path.toStdString()));
}

TEST_F(MeasureTest, SnapOfAFrozenLivePictureStoresThatPictureWithItsMeasurements) {
  emit shown.session->show_live();
  constexpr int kWidth = 320;
  constexpr int kHeight = 240;
  const std::shared_ptr<FrameExchange> frames = FrameExchange::create(kWidth * kHeight);
  DisplayFrame& frame = frames->back();
  frame.width = kWidth;
  frame.height = kHeight;
  std::fill_n(frame.pixels, kWidth * kHeight, 0xFF336699u);
  frames->publish();
  shown.session->display_feed()->attach_frames(frames);
  shown.window->video_area()->grab();
  ASSERT_EQ(shown.window->video_area()->frame_size(), QSize(kWidth, kHeight));

  tools->choose_tool(Tool::line);
  ASSERT_TRUE(tools->frozen()) << "a measuring tool freezes the live video";
  target = tools->live_overlay();
  drag(QPointF(target->width() * 0.1, target->height() * 0.5),
       QPointF(target->width() * 0.9, target->height() * 0.5));
  ASSERT_EQ(target->measurements().size(), 1u);
  EXPECT_NEAR(measure::values_of(target->measurements()[0], tools->chosen())[0].value, kWidth * 0.8,
              1);
  shown.window->run_command(MainDialog::kCaptureButton);
  EXPECT_FALSE(shown.session->capture_requested()) << "no other picture is asked for";
  ASSERT_TRUE(disk_idle());

  const auto pictures = RecordFolder(shown.record_folder()).pictures();
  ASSERT_EQ(pictures.size(), 2u);
  const fs::path stored = pictures[0] == picture ? pictures[1] : pictures[0];
  const QImage still(QString::fromStdString(stored.string()));
  EXPECT_EQ(still.size(), QSize(kWidth, kHeight));
  EXPECT_EQ(still.pixel(5, 5), 0xFF336699u);
  const auto sidecar_of_still = measure::load_sidecar(stored);
  ASSERT_TRUE(sidecar_of_still.has_value());
  EXPECT_EQ(sidecar_of_still->measurements, target->measurements());
}

TEST_F(MeasureTest, FreezingWaitsForAFrameOfThePicturesOwnSize) {
  emit shown.session->show_live();
  const std::shared_ptr<FrameExchange> frames = FrameExchange::create(320 * 240);
  const auto publish = [&](int width, int height, uint32_t colour) {
    DisplayFrame& frame = frames->back();
    frame.width = width;
    frame.height = height;
    frame.picture_width = 320;
    frame.picture_height = 240;
    std::fill_n(frame.pixels, width * height, colour);
    frames->publish();
  };
  auto* video = shown.window->video_area();
  publish(160, 120, 0xFF000000u);  // converted at a smaller area's size
  shown.session->display_feed()->attach_frames(frames);
  video->grab();
  ASSERT_EQ(video->frame_size(), QSize(320, 240)) << "positions stay in picture pixels";
  EXPECT_TRUE(video->frame_copy().isNull());

  tools->choose_tool(Tool::line);
  EXPECT_FALSE(tools->frozen()) << "not on a frame converted smaller";
  EXPECT_EQ(video->feed()->display_size().width, 0) << "full-size frames asked for";
  publish(320, 240, 0xFF336699u);
  video->update();
  ASSERT_TRUE(process_events_until([&] { return tools->frozen(); }));
  EXPECT_EQ(tools->live_overlay()->still().size(), QSize(320, 240));
  EXPECT_EQ(tools->live_overlay()->still().pixel(5, 5), 0xFF336699u);
  EXPECT_EQ(tools->live_overlay()->tool(), Tool::line) << "the chosen tool follows the freeze";
  EXPECT_GT(video->feed()->display_size().width, 0) << "back to frames of the area's size";
}

}  // namespace
}  // namespace scopemark
