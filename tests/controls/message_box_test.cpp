#include <gtest/gtest.h>

#include "support/message_box_recorder.h"

namespace scopemark {

TEST(MessageBox, RecorderSeesEveryBoxAndRestoresThePreviousFunction) {
  int outer_calls = 0;
  auto original = set_message_box_function([&](const MessageBoxRequest&) { ++outer_calls; });
  {
    testing::MessageBoxRecorder recorder;
    show_message_box("No Device", "", MessageIcon::None);
    show_message_box("Success!", "OK", MessageIcon::Information);
    ASSERT_EQ(recorder.shown.size(), 2u);
    EXPECT_EQ(recorder.shown[0].text, "No Device");
    EXPECT_EQ(recorder.shown[1].caption, "OK");
    EXPECT_EQ(recorder.shown[1].icon, MessageIcon::Information);
    EXPECT_EQ(outer_calls, 0);
  }
  show_message_box("after", "");
  EXPECT_EQ(outer_calls, 1);
  set_message_box_function(original);
}

}  // namespace scopemark
