#include "app/toolbar_wiring.h"

#include "app/replace_control.h"
#include "controls/bitmap_button.h"
#include "controls/bitmap_resources.h"

namespace scopemark {
namespace {

struct ToolbarBitmaps {
  int id;
  int hover;
  int normal;
};

constexpr ToolbarBitmaps kToolbar[] = {
    {MainDialog::kCaptureButton, 130, 131},    {MainDialog::kDeleteButton, 132, 133},
    {MainDialog::kCompareHidden, 134, 135},    {MainDialog::kCompareButton, 134, 135},
    {MainDialog::kFullScreenButton, 136, 137},
};

}  // namespace

BitmapButton* install_bitmap_button(MainDialog& dialog, int id) {
  auto* button = new BitmapButton(dialog.client_area());
  button->setAutoDefault(false);
  replace_control(dialog, id, button);
  QObject::connect(button, &QPushButton::clicked, &dialog,
                   [&dialog, id] { dialog.run_command(id); });
  return button;
}

void set_button_bitmaps(MainDialog& dialog) {
  for (const ToolbarBitmaps& entry : kToolbar) {
    install_bitmap_button(dialog, entry.id)
        ->set_bitmaps(entry.hover, Qt::white, entry.normal, Qt::white);
  }
}

void set_window_icon(MainDialog& dialog) {
  dialog.setWindowIcon(application_icon());
}

}  // namespace scopemark
