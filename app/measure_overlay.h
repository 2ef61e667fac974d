#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

#include "measure/measure.h"

class QPainter;

namespace scopemark {

// Where a picture is painted in a view: the picture's full size and the rectangle it fills.
struct PicturePlacement {
  QSize picture;
  QRectF painted;
  bool valid() const { return !picture.isEmpty() && !painted.isEmpty(); }
  QPointF to_view(measure::Point point) const;
  measure::Point to_picture(QPointF point) const;
};

// What is drawn over a picture: its measurements (one of them selected), the line or points of
// one being drawn, and the scale bar.
struct MeasureLayer {
  const measure::Calibration* calibration = nullptr;
  const std::vector<measure::Measurement>* measurements = nullptr;
  int selected = -1;
  std::vector<measure::Point> drawing;  // points of the measurement being drawn
  bool scale_bar = false;
};

// Draws `layer` over a picture placed at `placement`; `scale` enlarges lines, handles and
// texts (1 on screen).
void draw_measure_layer(QPainter& painter, const PicturePlacement& placement,
                        const MeasureLayer& layer, double scale = 1);

// The text of a measurement's values, e.g. "12.3 µm" or "⌀ 40.0 µm · A 1257 µm²".
QString values_text(const measure::Measurement& measurement,
                    const measure::Calibration* calibration);

// A transparent layer over a picture view or the live video, as large as it: draws the scale
// bar and the measurements in picture coordinates, and lets the user draw, select, move and
// delete them. Without a tool, a press that takes no handle passes to the view below (its click
// still counts); with one, every press is the tool's. A still (a frozen live picture) covers
// the view below. GUI thread only.
class MeasureOverlay : public QWidget {
  Q_OBJECT

 public:
  enum class Tool { none, calibrate, line, polyline, circle, angle };

  // `placement` tells where the view paints its picture, in this widget's coordinates.
  MeasureOverlay(QWidget* view, std::function<PicturePlacement()> placement);

  PicturePlacement placement() const;

  // Takes interaction: with false only the scale bar is drawn and every event passes.
  void set_interactive(bool interactive);
  void set_tool(Tool tool);
  Tool tool() const { return tool_; }
  void set_calibration(std::optional<measure::Calibration> calibration);
  const std::optional<measure::Calibration>& calibration() const { return calibration_; }
  void set_scale_bar(bool on);
  // Replaces the measurements (and drops the selection and any drawing).
  void set_measurements(std::vector<measure::Measurement> measurements);
  const std::vector<measure::Measurement>& measurements() const { return measurements_; }
  int selected() const { return selected_; }
  // Removes the selected measurement; false when none is selected.
  bool delete_selected();

  void set_still(QImage still);
  const QImage& still() const { return still_; }

  // The picture with the layer drawn over it at its full size.
  QImage rendered(const QImage& picture) const;

 signals:
  // A measurement was added, moved or deleted.
  void measurements_edited();
  // The calibration line was drawn from `a` to `b` (picture pixels).
  void calibration_drawn(scopemark::measure::Point a, scopemark::measure::Point b);
  // A right click or the menu key: where the tool menu should open (global position).
  void menu_requested(QPoint global);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Handle {
    int measurement = -1;
    int point = -1;  // -1: the measurement as a whole
  };
  std::optional<Handle> handle_at(QPointF at) const;
  void add_point(measure::Point point);
  void finish_drawing();
  std::size_t points_needed() const;
  void update_mouse_transparency();

  std::function<PicturePlacement()> placement_;
  bool interactive_ = false;
  Tool tool_ = Tool::none;
  std::optional<measure::Calibration> calibration_;
  bool scale_bar_ = false;
  std::vector<measure::Measurement> measurements_;
  int selected_ = -1;
  std::vector<measure::Point> drawing_;
  std::optional<measure::Point> hover_;  // where the next point of a drawing would go
  std::optional<Handle> dragging_;
  QPointF press_at_;
  bool moved_ = false;
  QImage still_;
};

}  // namespace scopemark
