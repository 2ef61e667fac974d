#include "app/measure_overlay.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <string>

namespace scopemark {
namespace {

using measure::Kind;
using measure::Point;

constexpr double kGrab = 7;              // view pixels around a point or a line that take a press
constexpr double kDragStart = 4;         // view pixels a press moves before it draws a line
constexpr double kScaleBarShare = 0.25;  // the scale bar is at most this share of the width
constexpr double kMargin = 12;
constexpr double kFontPixels = 13;
constexpr double kExportWidthPerScale = 640;  // an exported picture this wide draws at scale 1
const QColor kMeasureColour(255, 214, 0);
const QColor kSelectedColour(0, 224, 255);
const QColor kShadow(0, 0, 0, 200);
const QColor kLabelBand(0, 0, 0, 170);

QString format_number(double value) {
  const double magnitude = std::fabs(value);
  const int digits = magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
  return QString::number(value, 'f', std::clamp(3 - digits, 0, 3));
}

// Line, then outline drawn under it so that it shows on light and dark pictures.
void stroke(QPainter& painter, const QPainterPath& path, const QColor& colour, double scale) {
  painter.strokePath(path, QPen(kShadow, 3.5 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.strokePath(path, QPen(colour, 1.5 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void draw_label(QPainter& painter, const QString& text, QPointF at, double scale,
                const QRectF& bounds) {
  QFont font = painter.font();
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(kFontPixels * scale))));
  painter.setFont(font);
  const QFontMetricsF metrics(font);
  const double pad = 3 * scale;
  QRectF box(at, QSizeF(metrics.horizontalAdvance(text) + 2 * pad, metrics.height() + 2 * pad));
  // Kept inside the picture.
  box.moveLeft(
      std::clamp(box.left(), bounds.left(), std::max(bounds.left(), bounds.right() - box.width())));
  box.moveTop(
      std::clamp(box.top(), bounds.top(), std::max(bounds.top(), bounds.bottom() - box.height())));
  painter.fillRect(box, kLabelBand);
  painter.setPen(Qt::white);
  painter.drawText(box, Qt::AlignCenter, text);
}

QPainterPath measurement_path(const measure::Measurement& m, const PicturePlacement& placement) {
  QPainterPath path;
  if (m.points.empty()) return path;
  if (m.kind == Kind::circle && m.points.size() == 3) {
    if (const auto circle = measure::circle_through(m.points[0], m.points[1], m.points[2])) {
      const QPointF centre = placement.to_view(circle->centre);
      const QPointF edge =
          placement.to_view({circle->centre.x + circle->radius, circle->centre.y + circle->radius});
      path.addEllipse(centre, edge.x() - centre.x(), edge.y() - centre.y());
      return path;
    }
  }
  path.moveTo(placement.to_view(m.points.front()));
  for (std::size_t i = 1; i < m.points.size(); ++i) path.lineTo(placement.to_view(m.points[i]));
  return path;
}

void draw_points(QPainter& painter, const std::vector<Point>& points,
                 const PicturePlacement& placement, const QColor& colour, double scale) {
  const double half = 3 * scale;
  for (const Point& point : points) {
    const QPointF at = placement.to_view(point);
    const QRectF box(at - QPointF(half, half), QSizeF(2 * half, 2 * half));
    painter.fillRect(box.adjusted(-scale, -scale, scale, scale), kShadow);
    painter.fillRect(box, colour);
  }
}

void draw_scale_bar(QPainter& painter, const PicturePlacement& placement,
                    const measure::Calibration* calibration, double scale) {
  const auto bar = measure::scale_bar(calibration, placement.picture.width() * kScaleBarShare);
  if (!bar) return;
  const double per_pixel = placement.painted.width() / placement.picture.width();
  const double length = bar->pixels * per_pixel;
  const double thickness = 4 * scale;
  const QRectF& area = placement.painted;
  const QRectF rect(area.right() - kMargin * scale - length,
                    area.bottom() - kMargin * scale - thickness, length, thickness);
  painter.fillRect(rect.adjusted(-scale, -scale, scale, scale), kShadow);
  painter.fillRect(rect, Qt::white);
  const QString label = QString::fromStdString(bar->label);
  QFont font = painter.font();
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(kFontPixels * scale))));
  font.setBold(true);
  painter.setFont(font);
  const QFontMetricsF metrics(font);
  const QRectF text(rect.center().x() - metrics.horizontalAdvance(label) / 2 - 3 * scale,
                    rect.top() - metrics.height() - 4 * scale,
                    metrics.horizontalAdvance(label) + 6 * scale, metrics.height() + 2 * scale);
  painter.fillRect(text, kLabelBand);
  painter.setPen(Qt::white);
  painter.drawText(text, Qt::AlignCenter, label);
}

}  // namespace

QPointF PicturePlacement::to_view(Point point) const {
  return {painted.left() + point.x * painted.width() / picture.width(),
          painted.top() + point.y * painted.height() / picture.height()};
}

Point PicturePlacement::to_picture(QPointF point) const {
  return {(point.x() - painted.left()) * picture.width() / painted.width(),
          (point.y() - painted.top()) * picture.height() / painted.height()};
}

QString values_text(const measure::Measurement& measurement,
                    const measure::Calibration* calibration) {
  QStringList parts;
  for (const measure::Value& value : measure::values_of(measurement, calibration)) {
    QString prefix;
    if (value.quantity == "diameter") prefix = QStringLiteral("\u2300 ");
    if (value.quantity == "area") prefix = QStringLiteral("A ");
    const QString unit = QString::fromStdString(value.unit);
    parts << prefix + format_number(value.value) +
                 (unit == QStringLiteral("\u00b0") ? unit : QStringLiteral(" ") + unit);
  }
  return parts.join(QStringLiteral(" \u00b7 "));
}

void draw_measure_layer(QPainter& painter, const PicturePlacement& placement,
                        const MeasureLayer& layer, double scale) {
  if (!placement.valid()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipRect(placement.painted);
  if (layer.measurements != nullptr) {
    for (std::size_t i = 0; i < layer.measurements->size(); ++i) {
      const measure::Measurement& m = (*layer.measurements)[i];
      const QColor colour =
          static_cast<int>(i) == layer.selected ? kSelectedColour : kMeasureColour;
      stroke(painter, measurement_path(m, placement), colour, scale);
      draw_points(painter, m.points, placement, colour, scale);
      if (!measure::complete(m)) continue;
      const Point anchor = m.kind == Kind::angle ? m.points[1] : m.points.back();
      draw_label(painter, values_text(m, layer.calibration),
                 placement.to_view(anchor) + QPointF(8 * scale, 6 * scale), scale,
                 placement.painted);
    }
  }
  if (!layer.drawing.empty()) {
    QPainterPath path(placement.to_view(layer.drawing.front()));
    for (std::size_t i = 1; i < layer.drawing.size(); ++i) {
      path.lineTo(placement.to_view(layer.drawing[i]));
    }
    stroke(painter, path, kSelectedColour, scale);
    draw_points(painter, layer.drawing, placement, kSelectedColour, scale);
  }
  if (layer.scale_bar) draw_scale_bar(painter, placement, layer.calibration, scale);
  painter.restore();
}

MeasureOverlay::MeasureOverlay(QWidget* view, std::function<PicturePlacement()> placement)
    : QWidget(view), placement_(std::move(placement)) {
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
  setGeometry(view->rect());
  view->installEventFilter(this);
  update_mouse_transparency();
  show();
}

PicturePlacement MeasureOverlay::placement() const {
  if (!still_.isNull()) return {still_.size(), QRectF(rect())};
  return placement_();
}

bool MeasureOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
  }
  return QWidget::eventFilter(watched, event);
}

void MeasureOverlay::update_mouse_transparency() {
  setAttribute(Qt::WA_TransparentForMouseEvents, !interactive_);
}

void MeasureOverlay::set_interactive(bool interactive) {
  interactive_ = interactive;
  if (!interactive) set_tool(Tool::none);
  update_mouse_transparency();
}

void MeasureOverlay::set_tool(Tool tool) {
  tool_ = tool;
  drawing_.clear();
  hover_.reset();
  setCursor(tool == Tool::none ? Qt::ArrowCursor : Qt::CrossCursor);
  update();
}

void MeasureOverlay::set_calibration(std::optional<measure::Calibration> calibration) {
  calibration_ = std::move(calibration);
  update();
}

void MeasureOverlay::set_scale_bar(bool on) {
  scale_bar_ = on;
  update();
}

void MeasureOverlay::set_measurements(std::vector<measure::Measurement> measurements) {
  measurements_ = std::move(measurements);
  selected_ = -1;
  dragging_.reset();
  drawing_.clear();
  update();
}

bool MeasureOverlay::delete_selected() {
  if (selected_ < 0 || selected_ >= static_cast<int>(measurements_.size())) return false;
  measurements_.erase(measurements_.begin() + selected_);
  selected_ = -1;
  update();
  emit measurements_edited();
  return true;
}

void MeasureOverlay::set_still(QImage still) {
  still_ = std::move(still);
  setAttribute(Qt::WA_NoSystemBackground, still_.isNull());
  update();
}

QImage MeasureOverlay::rendered(const QImage& picture) const {
  QImage out = picture.convertToFormat(QImage::Format_RGB32);
  QPainter painter(&out);
  const PicturePlacement whole{out.size(), QRectF(out.rect())};
  MeasureLayer layer{calibration_ ? &*calibration_ : nullptr, &measurements_, -1, {}, scale_bar_};
  draw_measure_layer(painter, whole, layer, std::max(1.0, out.width() / kExportWidthPerScale));
  return out;
}

void MeasureOverlay::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const PicturePlacement where = placement();
  if (!still_.isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), still_);
  }
  MeasureLayer layer{calibration_ ? &*calibration_ : nullptr, &measurements_, selected_, drawing_,
                     scale_bar_};
  if (hover_ && !drawing_.empty()) layer.drawing.push_back(*hover_);
  draw_measure_layer(painter, where, layer);
}

std::optional<MeasureOverlay::Handle> MeasureOverlay::handle_at(QPointF at) const {
  const PicturePlacement where = placement();
  for (int i = static_cast<int>(measurements_.size()) - 1; i >= 0; --i) {
    const auto& points = measurements_[i].points;
    for (int p = 0; p < static_cast<int>(points.size()); ++p) {
      const QPointF d = where.to_view(points[p]) - at;
      if (std::hypot(d.x(), d.y()) <= kGrab) return Handle{i, p};
    }
  }
  for (int i = static_cast<int>(measurements_.size()) - 1; i >= 0; --i) {
    const QPainterPath path = measurement_path(measurements_[i], where);
    QPainterPathStroker stroker;
    stroker.setWidth(2 * kGrab);
    if (stroker.createStroke(path).contains(at)) return Handle{i, -1};
  }
  return std::nullopt;
}

std::size_t MeasureOverlay::points_needed() const {
  switch (tool_) {
    case Tool::calibrate:
    case Tool::line:
      return 2;
    case Tool::circle:
    case Tool::angle:
      return 3;
    case Tool::polyline:
    case Tool::none:
      break;
  }
  return 0;  // until the user ends it
}

void MeasureOverlay::add_point(Point point) {
  drawing_.push_back(point);
  if (drawing_.size() == points_needed()) finish_drawing();
  update();
}

void MeasureOverlay::finish_drawing() {
  std::vector<Point> points = std::move(drawing_);
  drawing_.clear();
  hover_.reset();
  update();
  if (tool_ == Tool::calibrate) {
    set_tool(Tool::none);
    emit calibration_drawn(points[0], points[1]);
    return;
  }
  static constexpr Kind kKinds[] = {Kind::line,     Kind::line,   Kind::line,
                                    Kind::polyline, Kind::circle, Kind::angle};
  measure::Measurement m{kKinds[static_cast<int>(tool_)], std::move(points)};
  if (!measure::complete(m)) return;
  measurements_.push_back(std::move(m));
  selected_ = static_cast<int>(measurements_.size()) - 1;
  emit measurements_edited();
}

void MeasureOverlay::mousePressEvent(QMouseEvent* event) {
  const PicturePlacement where = placement();
  const QPointF at = event->position();
  if (event->button() != Qt::LeftButton || !where.valid()) {
    event->ignore();
    return;
  }
  press_at_ = at;
  moved_ = false;
  if (drawing_.empty()) {
    if (const auto handle = handle_at(at)) {
      selected_ = handle->measurement;
      dragging_ = handle;
      update();
      return;
    }
    if (tool_ == Tool::none) {
      if (selected_ >= 0) {
        selected_ = -1;
        update();
      }
      event->ignore();
      return;
    }
  }
  if (!where.painted.contains(at)) return;
  add_point(where.to_picture(at));
}

void MeasureOverlay::mouseMoveEvent(QMouseEvent* event) {
  const PicturePlacement where = placement();
  if (!where.valid()) return;
  const QPointF at = event->position();
  const QPointF d = at - press_at_;
  if (std::hypot(d.x(), d.y()) > kDragStart) moved_ = true;
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    auto& points = measurements_[dragging_->measurement].points;
    const Point now = where.to_picture(at);
    if (dragging_->point >= 0) {
      points[dragging_->point] = now;
    } else {
      const Point before = where.to_picture(press_at_);
      for (Point& p : points) p = {p.x + now.x - before.x, p.y + now.y - before.y};
      press_at_ = at;
    }
    update();
    return;
  }
  if (!drawing_.empty()) {
    hover_ = where.to_picture(at);
    update();
  }
}

void MeasureOverlay::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (dragging_) {
    dragging_.reset();
    if (moved_) emit measurements_edited();
    return;
  }
  // A line drawn by dragging: the release ends it.
  const PicturePlacement where = placement();
  if (moved_ && drawing_.size() == 1 && points_needed() == 2 && where.valid()) {
    add_point(where.to_picture(event->position()));
  }
}

void MeasureOverlay::mouseDoubleClickEvent(QMouseEvent* event) {
  if (tool_ == Tool::polyline && drawing_.size() >= 2) {
    finish_drawing();
    return;
  }
  if (tool_ == Tool::none) event->ignore();
}

void MeasureOverlay::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && delete_selected()) {
    return;
  }
  QWidget::keyPressEvent(event);
}

void MeasureOverlay::contextMenuEvent(QContextMenuEvent* event) {
  // A right click ends a polyline; otherwise it opens the tool menu.
  if (tool_ == Tool::polyline && drawing_.size() >= 2) {
    finish_drawing();
    return;
  }
  emit menu_requested(event->globalPos());
}

}  // namespace scopemark
