#pragma once

#include <QIcon>
#include <QImage>

namespace scopemark {

// Bitmaps compiled into the program, addressed by their numeric ids: 130-137 the toolbar
// button looks (even: hover, odd: normal), 156 the indicator.
QImage load_bitmap(int id);

// The application icon (icon 128) in all its sizes.
QIcon application_icon();

}  // namespace scopemark
