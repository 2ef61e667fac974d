#include "controls/dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QVariant>
#include <QWidget>

namespace scopemark {
namespace {

constexpr char kControlIdProperty[] = "control_id";

int scale(int value, int base, int divisor) {
  const long long product = static_cast<long long>(value) * base;
  const long long half = divisor / 2;
  return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

}  // namespace

DialogBaseUnits dialog_base_units(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect dialog_rect(const DialogBaseUnits& units, int x, int y, int width, int height) {
  return QRect(scale(x, units.x, 4), scale(y, units.y, 8), scale(width, units.x, 4),
               scale(height, units.y, 8));
}

void place_control(QWidget* control, const DialogBaseUnits& units, int id, int x, int y, int width,
                   int height) {
  control->setGeometry(dialog_rect(units, x, y, width, height));
  set_control_id(control, id);
}

void set_control_id(QObject* control, int id) {
  control->setProperty(kControlIdProperty, id);
}

int control_id(const QObject* control) {
  const QVariant id = control->property(kControlIdProperty);
  return id.isValid() ? id.toInt() : -1;
}

QWidget* find_control(const QWidget* parent, int id) {
  for (QWidget* child : parent->findChildren<QWidget*>()) {
    if (control_id(child) == id) return child;
  }
  return nullptr;
}

}  // namespace scopemark
