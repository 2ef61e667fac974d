#pragma once

class QWidget;

namespace scopemark {

class MainDialog;

// Puts `replacement`, a new child of the dialog's client area, in place of control `id`:
// the id, place, visibility, enabled state, tooltip and stacking move over and the old
// control is deleted.
void replace_control(MainDialog& dialog, int id, QWidget* replacement);

}  // namespace scopemark
