#include "controls/bitmap_button.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include "controls/bitmap_resources.h"

namespace scopemark {
namespace {

constexpr QRgb kRgbMask = 0x00FFFFFF;
constexpr int kBitmapMargin = 3;  // left of the bitmap and between bitmap and caption

// Fills `look` from `picture`; the pixels of exactly the transparent colour get alpha 0.
BitmapsResult install_look(ButtonBitmap& look, const QImage& picture, QColor transparent) {
  look.transparent = transparent;
  look.width = picture.width();
  look.height = picture.height();
  if (look.width <= 0 || look.height <= 0) return BITMAPS_BAD_RESOURCE;
  QImage masked = picture.convertToFormat(QImage::Format_ARGB32);
  if (masked.isNull()) return BITMAPS_MASK_FAILED;
  const QRgb key = transparent.rgb() & kRgbMask;
  for (int y = 0; y < masked.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
    for (int x = 0; x < masked.width(); ++x) {
      line[x] = (line[x] & kRgbMask) == key ? 0 : (line[x] | 0xFF000000u);
    }
  }
  look.bitmap = std::move(masked);
  return BITMAPS_OK;
}

// One-pixel 3-D frame: top and left in `top_left`, right and bottom in `bottom_right`.
void draw_3d_rect(QPainter& painter, const QRect& r, const QColor& top_left,
                  const QColor& bottom_right) {
  painter.fillRect(r.x(), r.y(), r.width() - 1, 1, top_left);
  painter.fillRect(r.x(), r.y(), 1, r.height() - 1, top_left);
  painter.fillRect(r.x() + r.width() - 1, r.y(), 1, r.height(), bottom_right);
  painter.fillRect(r.x(), r.y() + r.height() - 1, r.width(), 1, bottom_right);
}

// `colour` wherever the picture composed over white is not white, clear elsewhere.
QImage ink_of(const QImage& composed, const QColor& colour) {
  QImage ink(composed.size(), QImage::Format_ARGB32);
  ink.fill(Qt::transparent);
  for (int y = 0; y < composed.height(); ++y) {
    for (int x = 0; x < composed.width(); ++x) {
      if ((composed.pixel(x, y) & kRgbMask) != kRgbMask) ink.setPixel(x, y, colour.rgba());
    }
  }
  return ink;
}

}  // namespace

BitmapButton::BitmapButton(QWidget* parent) : BitmapButton(QString(), parent) {}

BitmapButton::BitmapButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  setMouseTracking(true);
  connect(this, &QAbstractButton::clicked, this, [this] { setFocus(Qt::OtherFocusReason); });
}

BitmapsResult BitmapButton::set_bitmaps(int hover_id, QColor hover_transparent, int normal_id,
                                        QColor normal_transparent) {
  const QImage hover = hover_id != 0 ? load_bitmap(hover_id) : QImage();
  const QImage normal = normal_id != 0 ? load_bitmap(normal_id) : QImage();
  if ((hover_id != 0 && hover.isNull()) || (normal_id != 0 && normal.isNull())) {
    looks_ = {};
    update();
    return BITMAPS_BAD_RESOURCE;
  }
  return set_bitmaps(hover, hover_transparent, normal, normal_transparent);
}

BitmapsResult BitmapButton::set_bitmaps(const QImage& hover, QColor hover_transparent,
                                        const QImage& normal, QColor normal_transparent) {
  looks_ = {};
  BitmapsResult result = BITMAPS_OK;
  if (!hover.isNull()) {
    result = install_look(looks_[kHoverLook], hover, hover_transparent);
    if (result == BITMAPS_OK && !normal.isNull()) {
      result = install_look(looks_[kNormalLook], normal, normal_transparent);
    }
    if (result != BITMAPS_OK) looks_ = {};
  }
  update();
  return result;
}

void BitmapButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& colours = palette();
  const QRect area = rect();
  const bool pressed = isDown();
  painter.fillRect(area, colours.color(QPalette::Button));
  if (pressed) {
    draw_3d_rect(painter, area, colours.color(QPalette::Dark), colours.color(QPalette::Light));
  } else if (hovering_) {
    draw_3d_rect(painter, area, colours.color(QPalette::Light), colours.color(QPalette::Dark));
  }

  const ButtonBitmap& chosen = !pressed && !hovering_ && !looks_[kNormalLook].empty()
                                   ? looks_[kNormalLook]
                                   : looks_[kHoverLook];
  const QPoint shift = pressed ? QPoint(1, 1) : QPoint(0, 0);
  const QString caption = text();
  QRect caption_area = area;
  if (!chosen.empty()) {
    QPoint at((area.width() - chosen.width) / 2, (area.height() - chosen.height) / 2);
    if (!caption.isEmpty()) {
      at.setX(kBitmapMargin);
      caption_area.setLeft(kBitmapMargin + chosen.width + kBitmapMargin);
    }
    draw_bitmap(painter, at + shift, chosen);
  }
  if (caption.isEmpty()) return;

  caption_area.translate(shift);
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  if (isEnabled()) {
    painter.setPen(colours.color(QPalette::ButtonText));
  } else {
    painter.setPen(colours.color(QPalette::Light));
    painter.drawText(caption_area.translated(1, 1), flags, caption);
    painter.setPen(colours.color(QPalette::Dark));
  }
  painter.drawText(caption_area, flags, caption);
}

void BitmapButton::draw_bitmap(QPainter& painter, QPoint at, const ButtonBitmap& look) const {
  if (isEnabled()) {
    painter.drawImage(at, look.bitmap);
    return;
  }
  QImage composed(look.width, look.height, QImage::Format_RGB32);
  composed.fill(Qt::white);
  QPainter(&composed).drawImage(0, 0, look.bitmap);
  painter.drawImage(at + QPoint(1, 1), ink_of(composed, palette().color(QPalette::Light)));
  painter.drawImage(at, ink_of(composed, palette().color(QPalette::Dark)));
}

void BitmapButton::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  if ((event->buttons() & Qt::LeftButton) && !hovering_) return;
  if (!rect().contains(event->position().toPoint())) {
    end_hover();
  } else if (!hovering_) {
    hovering_ = true;
    update();
  }
}

void BitmapButton::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  end_hover();
}

void BitmapButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  end_hover();
}

void BitmapButton::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  // Disabling a focused widget already moves the focus on to the next one in the chain.
  if ((event->type() == QEvent::ActivationChange && !isActiveWindow()) ||
      (event->type() == QEvent::EnabledChange && !isEnabled())) {
    end_hover();
  }
}

bool BitmapButton::event(QEvent* event) {
  const bool handled = QPushButton::event(event);
  if (event->type() == QEvent::WindowBlocked) end_hover();
  return handled;
}

void BitmapButton::end_hover() {
  if (!hovering_) return;
  hovering_ = false;
  update();
}

}  // namespace scopemark
