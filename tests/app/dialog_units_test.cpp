#include "controls/dialog_units.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QLabel>
#include <QWidget>

namespace scopemark {
namespace {

TEST(DialogUnits, ScaleByFourAndEightWithRounding) {
  const DialogBaseUnits units{6, 12};
  EXPECT_EQ(dialog_rect(units, 0, 0, 644, 339), QRect(0, 0, 966, 509));
  EXPECT_EQ(dialog_rect(units, 1, 1, 2, 2), QRect(2, 2, 3, 3));
  EXPECT_EQ(dialog_rect(DialogBaseUnits{7, 17}, 116, 4, 516, 328), QRect(203, 9, 903, 697));
}

TEST(DialogUnits, BaseUnitsFollowTheFont) {
  QFont small;
  small.setPointSize(8);
  QFont large = small;
  large.setPointSize(16);
  const DialogBaseUnits a = dialog_base_units(small);
  const DialogBaseUnits b = dialog_base_units(large);
  EXPECT_GT(a.x, 0);
  EXPECT_GT(a.y, a.x);
  EXPECT_GT(b.x, a.x);
  EXPECT_GT(b.y, a.y);
}

TEST(DialogUnits, ControlsAreFoundByTheirIds) {
  QWidget parent;
  auto* inner = new QWidget(&parent);
  auto* label = new QLabel(inner);
  place_control(label, DialogBaseUnits{4, 8}, 1015, 10, 20, 30, 40);
  EXPECT_EQ(label->geometry(), QRect(10, 20, 30, 40));
  EXPECT_EQ(control_id(label), 1015);
  EXPECT_EQ(control_id(inner), -1);
  EXPECT_EQ(find_control(&parent, 1015), label);
  EXPECT_EQ(find_control(&parent, 1016), nullptr);
}

}  // namespace
}  // namespace scopemark
