#include "controls/bitmap_resources.h"

#include <QString>

static void register_bitmaps() {
  Q_INIT_RESOURCE(bitmaps);
}

namespace scopemark {
namespace {

void ensure_registered() {
  static const bool registered = (register_bitmaps(), true);
  (void)registered;
}

}  // namespace

QImage load_bitmap(int id) {
  ensure_registered();
  return QImage(QStringLiteral(":/bitmaps/%1.bmp").arg(id), "BMP");
}

QIcon application_icon() {
  ensure_registered();
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    icon.addFile(QStringLiteral(":/bitmaps/128-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace scopemark
