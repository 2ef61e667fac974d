#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/message_box_recorder.h"

namespace scopemark {

TEST(MessageBox, RecorderSeesEveryBoxAndRestoresThePreviousFunction) {
  int outer_calls = 0;
  auto original = set_message_box_function([&](const MessageBoxRequest&) {
    ++outer_calls;
    return true;
  });
  {
    testing::MessageBoxRecorder recorder;
    show_message_box("No Device", "", MessageIcon::None);
    show_message_box("Success!", "OK", MessageIcon::Information);
    EXPECT_TRUE(ask_message_box("Delete a.bmp?", "Delete", "Delete", "Cancel"));
    recorder.confirm = false;
    EXPECT_FALSE(ask_message_box("Delete a.bmp?", "Delete", "Delete", "Cancel"));
    ASSERT_EQ(recorder.shown.size(), 4u);
    EXPECT_EQ(recorder.shown[0].text, "No Device");
    EXPECT_EQ(recorder.shown[1].caption, "OK");
    EXPECT_EQ(recorder.shown[1].icon, MessageIcon::Information);
    EXPECT_EQ(recorder.shown[3].cancel_button, "Cancel");
    EXPECT_EQ(outer_calls, 0);
  }
  show_message_box("after", "");
  EXPECT_EQ(outer_calls, 1);
  set_message_box_function(original);
}

// The real box: Escape and Return (Cancel is the default) answer no; only the confirm button
// answers yes.
TEST(MessageBox, QuestionsAreConfirmedOnlyByTheirConfirmButton) {
  auto ask_and = [](std::function<void(QMessageBox&)> answer) {
    QTimer::singleShot(0, [answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      answer(*box);
    });
    return ask_message_box("Move a.bmp to the trash?", "Delete", "Delete", "Cancel");
  };
  EXPECT_FALSE(ask_and([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }));
  EXPECT_FALSE(ask_and([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }));
  EXPECT_TRUE(ask_and([](QMessageBox& box) {
    for (QAbstractButton* button : box.buttons()) {
      if (button->text() == "Delete") button->click();
    }
  }));
}

}  // namespace scopemark
