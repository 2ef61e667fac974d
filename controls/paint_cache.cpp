#include "controls/paint_cache.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QWidget>

namespace scopemark {

void PaintCache::install(QWidget* control) {
  control->installEventFilter(new PaintCache(control));
}

PaintCache::PaintCache(QWidget* control) : QObject(control), control_(control) {}

PaintCache::State PaintCache::state() const {
  State state;
  state.size = control_->size();
  state.pixel_ratio = control_->devicePixelRatioF();
  state.flags = unsigned{control_->isEnabled()} | unsigned{control_->hasFocus()} << 1 |
                unsigned{control_->underMouse()} << 2 | unsigned{control_->isActiveWindow()} << 3;
  if (const auto* button = qobject_cast<const QAbstractButton*>(control_)) {
    state.flags |= unsigned{button->isDown()} << 4 | unsigned{button->isChecked()} << 5;
    state.icon = button->icon().cacheKey();
    state.text = button->text();
  } else if (const auto* label = qobject_cast<const QLabel*>(control_)) {
    state.text = label->text();
  }
  return state;
}

bool PaintCache::eventFilter(QObject* watched, QEvent* event) {
  if (watched != control_ || rendering_) return false;
  if (event->type() != QEvent::Paint) {
    valid_ = false;
    return false;
  }
  if (valid_ && state() == state_) {
    QPainter(control_).drawPixmap(0, 0, pixmap_);
    return true;
  }
  // This paint runs as usual; the pixmap is made after it, outside any painting.
  valid_ = false;
  if (!refresh_queued_) {
    refresh_queued_ = true;
    QMetaObject::invokeMethod(this, &PaintCache::refresh, Qt::QueuedConnection);
  }
  return false;
}

void PaintCache::refresh() {
  refresh_queued_ = false;
  if (control_->size().isEmpty()) return;
  const qreal ratio = control_->devicePixelRatioF();
  QPixmap pixmap(control_->size() * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  // The window system paints a styled background before each paint event: the pixmap holds
  // only what the control paints over it.
  const bool no_background = control_->testAttribute(Qt::WA_NoSystemBackground);
  rendering_ = true;
  control_->setAttribute(Qt::WA_NoSystemBackground, true);
  control_->render(&pixmap, QPoint(), QRegion(), QWidget::RenderFlags());
  control_->setAttribute(Qt::WA_NoSystemBackground, no_background);
  rendering_ = false;
  pixmap_ = std::move(pixmap);
  state_ = state();
  valid_ = true;
}

}  // namespace scopemark
