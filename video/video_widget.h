// The video area: paints the newest frame of a FrameFeed stretched over the widget (1:1 when
// the sizes agree; each paint tells the feed its size, so later frames come converted at it; none
// are while the widget is hidden).
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "video/frame_feed.h"

class QSocketNotifier;

namespace scopemark {

// Paints the feed it shows (one of its own until show_feed gives another). A published frame
// wakes the widget through the feed's descriptor, so nothing is allocated per frame; repaints
// take the newest frame (earlier ones are skipped). Black until the first frame and after the
// frames are detached. GUI thread only.
class VideoWidget final : public QWidget {
  Q_OBJECT

 public:
  explicit VideoWidget(QWidget* parent = nullptr);
  ~VideoWidget() override;

  void show_feed(std::shared_ptr<FrameFeed> feed);
  const std::shared_ptr<FrameFeed>& feed() const { return feed_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void on_wake();
  const QImage& image_of(const DisplayFrame& frame);

  std::shared_ptr<FrameFeed> feed_;
  std::shared_ptr<FrameExchange> painted_frames_;  // keeps images_' pixels alive
  QImage images_[3];                               // wrappers over the three buffers
  QSocketNotifier* wake_notifier_ = nullptr;
};

}  // namespace scopemark
