#include "app/toolbar_wiring.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <memory>
#include <string>
#include <vector>

#include "app/language_wiring.h"
#include "app/viewer_app.h"
#include "controls/bitmap_button.h"
#include "controls/dialog_units.h"
#include "records/temp_folder.h"
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
  MainDialog& open(bool adapter_found) {
    app.prepare_settings(dir.program_directory());
    MainDialogHooks hooks;
    if (adapter_found) {
      hooks.find_wireless_adapter = [] { return std::optional<std::string>("192.168.1.20"); };
    }
    hooks.delete_selected_pictures = [this](MainDialog&) { calls.push_back("delete"); };
    hooks.compare = [this](MainDialog&) { calls.push_back("compare"); };
    hooks.load_album = [this](MainDialog&) { calls.push_back("load_album"); };
    install_language_hooks(hooks, app);
    install_toolbar_hooks(hooks);
    dialog = std::make_unique<MainDialog>(app.program_directory(), std::move(hooks));
    dialog->show();
    QApplication::processEvents();
    calls.clear();
    return *dialog;
  }
  BitmapButton* button(int id) const { return qobject_cast<BitmapButton*>(dialog->control(id)); }

  testing::MessageBoxRecorder boxes;
  testing::TempFolder dir;
  ViewerApp app;
  std::unique_ptr<MainDialog> dialog;
  std::vector<std::string> calls;
};

TEST_F(ToolbarWiringTest, ToolbarButtonsGetTheirBitmapsInPlace) {
  open(true);
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
  open(true);
  button(1005)->click();
  button(1039)->click();
  dialog->run_command(MainDialog::kCompareHidden);
  EXPECT_EQ(calls, (std::vector<std::string>{"delete", "compare", "compare"}));

  calls.clear();
  button(1004)->click();
  EXPECT_EQ(dialog->capture_requested, 1);
  EXPECT_EQ(calls, std::vector<std::string>{"load_album"});

  button(1007)->click();
  EXPECT_TRUE(dialog->full_screen);
  EXPECT_TRUE(button(1039)->isHidden());
  button(1007)->click();
  EXPECT_FALSE(dialog->full_screen);
  EXPECT_FALSE(button(1039)->isHidden());
}

TEST_F(ToolbarWiringTest, IconWithAndWithoutDevice) {
  open(true);
  EXPECT_FALSE(dialog->windowIcon().isNull());
  EXPECT_TRUE(dialog->windowIcon().availableSizes().contains(QSize(32, 32)));

  open(false);
  EXPECT_FALSE(dialog->windowIcon().isNull()) << "the icon comes before the adapter search";
  EXPECT_EQ(button(1004), nullptr) << "no bitmaps without a device";
}

}  // namespace
}  // namespace scopemark
