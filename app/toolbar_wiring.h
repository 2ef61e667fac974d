#pragma once

#include "app/main_dialog.h"

namespace scopemark {

class BitmapButton;

// Puts a BitmapButton in place of the main window's push button `id`: same place, id,
// visibility, state and tooltip, running the same command when clicked.
BitmapButton* install_bitmap_button(MainDialog& dialog, int id);
// The five toolbar buttons as BitmapButtons with their bitmaps, white transparent.
void set_button_bitmaps(MainDialog& dialog);
// The application icon (icon 128) on the window.
void set_window_icon(MainDialog& dialog);

}  // namespace scopemark
