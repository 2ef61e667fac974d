#include "video/video_widget.h"

#include <QPainter>
#include <QSocketNotifier>
#include <utility>

namespace scopemark {

VideoWidget::VideoWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  show_feed(std::make_shared<FrameFeed>());
}

VideoWidget::~VideoWidget() {
  delete wake_notifier_;
}

void VideoWidget::show_feed(std::shared_ptr<FrameFeed> feed) {
  delete wake_notifier_;
  wake_notifier_ = nullptr;
  feed_ = std::move(feed);
  if (feed_->wake_fd() >= 0) {
    wake_notifier_ = new QSocketNotifier(feed_->wake_fd(), QSocketNotifier::Read, this);
    connect(wake_notifier_, &QSocketNotifier::activated, this, &VideoWidget::on_wake);
  }
  update();
}

void VideoWidget::showEvent(QShowEvent*) {
  feed_->set_display_size(width(), height());
}

void VideoWidget::hideEvent(QHideEvent*) {
  feed_->set_display_hidden();
}

void VideoWidget::on_wake() {
  feed_->drain_wake();
  update();
}

const QImage& VideoWidget::image_of(const DisplayFrame& frame) {
  QImage& image = images_[frame.index];
  if (image.constBits() != reinterpret_cast<const uchar*>(frame.pixels) ||
      image.width() != frame.width || image.height() != frame.height) {
    image = QImage(reinterpret_cast<const uchar*>(frame.pixels), frame.width, frame.height,
                   frame.width * 4, QImage::Format_RGB32);
  }
  return image;
}

void VideoWidget::paintEvent(QPaintEvent*) {
  feed_->set_display_size(width(), height());
  QPainter painter(this);
  std::shared_ptr<FrameExchange> frames = feed_->frames();
  const DisplayFrame* frame = frames ? frames->acquire() : nullptr;
  if (frame == nullptr) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  if (frames != painted_frames_) {
    for (QImage& image : images_) image = QImage();
    painted_frames_ = std::move(frames);
  }
  const QImage& image = image_of(*frame);
  // Frames converted for this size are a pixel wider or taller when a side is odd.
  if (image.size() == size() || image.size() == QSize((width() + 1) & ~1, (height() + 1) & ~1)) {
    painter.drawImage(QPoint(0, 0), image);
  } else {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), image);
  }
}

}  // namespace scopemark
