#include "app/replace_control.h"

#include <QWidget>

#include "app/main_dialog.h"
#include "controls/dialog_units.h"

namespace scopemark {

void replace_control(MainDialog& dialog, int id, QWidget* replacement) {
  QWidget* old = dialog.control(id);
  set_control_id(replacement, id);
  if (!old) return;
  replacement->setGeometry(old->geometry());
  replacement->setToolTip(old->toolTip());
  replacement->setEnabled(old->isEnabled());
  replacement->setVisible(!old->isHidden());
  replacement->stackUnder(old);
  delete old;
}

}  // namespace scopemark
