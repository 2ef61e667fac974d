// Cached painting for small controls over the live video.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

class QWidget;

namespace scopemark {

// Every new video frame repaints the controls above it, and their styled frames and shaped
// text cost far more than the pixmap they make. PaintCache keeps that pixmap and paints it
// while nothing about the control changed: any event to the control other than a paint (hover,
// press, focus, size, style, font, language, ...) or a new text, icon, pressed or checked state
// has it paint itself again, and the pixmap is made anew after that paint. GUI thread only.
class PaintCache final : public QObject {
 public:
  // Caches the painting of `control` from now on; the cache belongs to the control.
  static void install(QWidget* control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit PaintCache(QWidget* control);
  // What the painting depends on beyond the events the control receives.
  struct State {
    QSize size;
    qreal pixel_ratio = 0;
    unsigned flags = 0;  // enabled, focus, under the mouse, active window, down, checked
    qint64 icon = 0;
    QString text;
    bool operator==(const State&) const = default;
  };
  State state() const;
  void refresh();

  QWidget* control_;
  QPixmap pixmap_;
  State state_;
  bool valid_ = false;
  bool refresh_queued_ = false;
  bool rendering_ = false;
};

}  // namespace scopemark
