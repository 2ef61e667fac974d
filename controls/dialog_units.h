#pragma once

#include <QRect>

class QFont;
class QObject;
class QWidget;

namespace scopemark {

// Pixels per 4 horizontal and per 8 vertical dialog units of a dialog font.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// Base units of a font: the average width of the 52 Latin letters, rounded, and the line height.
DialogBaseUnits dialog_base_units(const QFont& font);

// A template rectangle in dialog units as pixels (each value rounded to the nearest pixel).
QRect dialog_rect(const DialogBaseUnits& units, int x, int y, int width, int height);

// Puts control at its template rectangle (dialog units) and gives it its id.
void place_control(QWidget* control, const DialogBaseUnits& units, int id, int x, int y, int width,
                   int height);

// Every control keeps its integer template id; -1 marks a control without id.
void set_control_id(QObject* control, int id);
int control_id(const QObject* control);
// The first descendant of parent carrying id, or nullptr.
QWidget* find_control(const QWidget* parent, int id);

}  // namespace scopemark
