#include "album/picture_view.h"

#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

namespace scopemark {

PictureView::PictureView(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
}

void PictureView::show_picture_file(const std::filesystem::path& path, QSize size) {
  const QImage picture(QFile::decodeName(path.c_str()));
  if (picture.isNull() || size.isEmpty()) {
    clear();
    return;
  }
  setPixmap(
      QPixmap::fromImage(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

}  // namespace scopemark
