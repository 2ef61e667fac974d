#include "album/picture_view.h"

#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

namespace scopemark {
namespace {

constexpr int kCaptionMargin = 4;
const QColor kCaptionBand(0, 0, 0, 160);

}  // namespace

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::show_picture_file(const std::filesystem::path& path, const QString& caption,
                                    const QString& unreadable) {
  QImageReader reader(QFile::decodeName(path.c_str()));
  reader.setAutoTransform(true);
  picture_ = reader.read();
  scaled_ = QPixmap();
  caption_ = caption;
  message_ = picture_.isNull() ? unreadable : QString();
  update();
}

void PictureView::clear() {
  picture_ = QImage();
  scaled_ = QPixmap();
  caption_.clear();
  message_.clear();
  update();
}

QRect PictureView::picture_rect() const {
  if (picture_.isNull()) return QRect();
  const QSize fitted = picture_.size().scaled(size(), Qt::KeepAspectRatio);
  return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QRect target = picture_rect();
  if (!target.isEmpty()) {
    if (scaled_.size() != target.size()) {
      scaled_ = QPixmap::fromImage(
          picture_.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    painter.drawPixmap(target.topLeft(), scaled_);
  }
  painter.setPen(Qt::white);
  if (!message_.isEmpty()) {
    painter.drawText(rect().adjusted(kCaptionMargin, 0, -kCaptionMargin, 0),
                     Qt::AlignCenter | Qt::TextWordWrap, message_);
  }
  if (!caption_.isEmpty()) {
    const QRect band(0, 0, width(), fontMetrics().height() + 2 * kCaptionMargin);
    painter.fillRect(band, kCaptionBand);
    painter.drawText(
        band.adjusted(kCaptionMargin, 0, -kCaptionMargin, 0),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        fontMetrics().elidedText(caption_, Qt::ElideMiddle, width() - 2 * kCaptionMargin));
  }
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

}  // namespace scopemark
