#include "video/video_widget.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QPainter>
#include <QSocketNotifier>
#include <cstdint>

namespace scopemark {

VideoWidget::VideoWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ >= 0) {
    wake_notifier_ = new QSocketNotifier(wake_fd_, QSocketNotifier::Read, this);
    connect(wake_notifier_, &QSocketNotifier::activated, this, &VideoWidget::on_wake);
  }
}

VideoWidget::~VideoWidget() {
  delete wake_notifier_;
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void VideoWidget::attach_frames(std::shared_ptr<FrameExchange> frames) {
  frames_.store(std::move(frames));
  frame_published();
}

void VideoWidget::frame_published() {
  if (wake_fd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
}

void VideoWidget::on_wake() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(wake_fd_, &count, sizeof count);
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
  QPainter painter(this);
  std::shared_ptr<FrameExchange> frames = frames_.load();
  const DisplayFrame* frame = frames ? frames->acquire() : nullptr;
  if (frame == nullptr) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  if (frames != painted_frames_) {
    for (QImage& image : images_) image = QImage();
    painted_frames_ = std::move(frames);
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), image_of(*frame));
}

}  // namespace scopemark
