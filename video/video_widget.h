// The video area: paints the newest frame of a DisplaySurface stretched over the widget.
#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <memory>

#include "video/display_surface.h"

class QSocketNotifier;

namespace scopemark {

// attach_frames and frame_published may be called from any thread; everything else runs on
// the GUI thread. A published frame wakes the widget through an eventfd, so nothing is
// allocated per frame; repaints take the newest frame (earlier ones are skipped). Black until
// the first frame and after the frames are detached.
class VideoWidget final : public QWidget, public DisplayTarget {
  Q_OBJECT

 public:
  explicit VideoWidget(QWidget* parent = nullptr);
  ~VideoWidget() override;

  void attach_frames(std::shared_ptr<FrameExchange> frames) override;
  void frame_published() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void on_wake();
  const QImage& image_of(const DisplayFrame& frame);

  std::atomic<std::shared_ptr<FrameExchange>> frames_;
  std::shared_ptr<FrameExchange> painted_frames_;  // keeps images_' pixels alive
  QImage images_[3];                               // wrappers over the three buffers
  int wake_fd_ = -1;
  QSocketNotifier* wake_notifier_ = nullptr;
};

}  // namespace scopemark
