#include "app/toolbar_wiring.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>
#include <string>
#include <vector>

#include "app/viewer_app.h"
#include "controls/bitmap_button.h"
#include "controls/dialog_units.h"
#include "records/temp_folder.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

struct Toolbar {
  int id;
  int hover;
  int normal;
};

constexpr Toolbar kButtons[] = {
    {1004, 130, 131}, {1005, 132, 133}, {1006, 134, 135}, {1039, 134, 135}, {1007, 136, 137}};

class ToolbarWiringTest : public ::testing::Test {
 protected:
  MainDialog& open() {
    app.prepare_settings(dir.program_directory());
    session = std::make_unique<ViewerSession>(camera.options());
    dialog = std::make_unique<MainDialog>();
    connect_window(*dialog, *session, app);
    dialog->show();
    QApplication::processEvents();
    return *dialog;
  }
  BitmapButton* button(int id) const { return qobject_cast<BitmapButton*>(dialog->control(id)); }

  testing::MessageBoxRecorder boxes;
  testing::TempFolder dir;
  ViewerApp app;
  testing::QuietCamera camera;
  std::unique_ptr<ViewerSession> session;
  std::unique_ptr<MainDialog> dialog;
};

TEST_F(ToolbarWiringTest, ToolbarButtonsGetTheirBitmapsInPlace) {
  open();
  EXPECT_TRUE(dialog->windowIcon().availableSizes().contains(QSize(32, 32)));
  const DialogBaseUnits units = dialog_base_units(dialog->font());
  for (const Toolbar& entry : kButtons) {
    BitmapButton* installed = button(entry.id);
    ASSERT_NE(installed, nullptr) << entry.id;
    BitmapButton reference;
    ASSERT_EQ(reference.set_bitmaps(entry.hover, Qt::white, entry.normal, Qt::white), BITMAPS_OK);
    for (int look : {BitmapButton::kHoverLook, BitmapButton::kNormalLook}) {
      EXPECT_EQ(installed->look(look).bitmap, reference.look(look).bitmap) << entry.id;
      EXPECT_EQ(installed->look(look).transparent, QColor(Qt::white)) << entry.id;
    }
    EXPECT_TRUE(installed->text().isEmpty()) << "no placeholder word beside the bitmap";
    int with_id = 0;
    for (QWidget* child : dialog->client_area()->findChildren<QWidget*>()) {
      if (control_id(child) == entry.id) ++with_id;
    }
    EXPECT_EQ(with_id, 1) << "the placeholder is gone: " << entry.id;
  }
  EXPECT_EQ(button(1004)->geometry(), dialog_rect(units, 0, 0, 27, 17));
  EXPECT_EQ(button(1039)->geometry(), dialog_rect(units, 84, 0, 27, 17));
  EXPECT_TRUE(button(1006)->isHidden());
  EXPECT_FALSE(button(1006)->isEnabled());
  EXPECT_FALSE(button(1007)->isHidden());
  EXPECT_EQ(button(1004)->toolTip(), "拍照") << "tooltips set before the bitmaps stay";
  EXPECT_EQ(button(1039)->toolTip(), "对比");

  dialog->menu_command(MainDialog::kMenuEnglish)->trigger();
  EXPECT_EQ(button(1005)->toolTip(), "Delete") << "a language change reaches the new buttons";
}

TEST_F(ToolbarWiringTest, BitmapButtonsRunTheirCommands) {
  open();
  QSignalSpy deleted(dialog.get(), &MainDialog::delete_clicked);
  QSignalSpy compared(dialog.get(), &MainDialog::compare_clicked);
  button(1005)->click();
  button(1039)->click();
  dialog->run_command(MainDialog::kCompareHidden);
  EXPECT_EQ(deleted.count(), 1);
  EXPECT_EQ(compared.count(), 2);
  button(1004)->click();
  EXPECT_TRUE(session->capture_requested());

  button(1007)->click();
  EXPECT_TRUE(dialog->full_screen());
  EXPECT_TRUE(button(1039)->isHidden());
  button(1007)->click();
  EXPECT_FALSE(dialog->full_screen());
  EXPECT_FALSE(button(1039)->isHidden());
}

}  // namespace
}  // namespace scopemark
