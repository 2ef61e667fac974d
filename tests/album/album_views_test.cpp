#include <gtest/gtest.h>

#include <QTest>

#include <string>
#include <vector>

#include "album_fixture.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

using testing::AlbumFixture;

const QColor kColours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};

class AlbumViewsTest : public AlbumFixture {
 protected:
  // Six pictures of six colours, loaded into the album.
  void load_six() {
    for (int i = 0; i < 6; ++i) write_picture(std::to_string(i) + ".bmp", kColours[i]);
    album->load_album();
    ASSERT_EQ(list->rowCount(), 6);
  }
  using Calls = std::vector<std::string>;
};

TEST_F(AlbumViewsTest, CompareWithNothingChosenOnlyShowsTheMessage) {
  ::scopemark::testing::MessageBoxRecorder boxes;
  album->compare_pictures();
  load_six();
  album->compare_pictures();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].text, "please select 1-4 pictures 'Compare'!");
  EXPECT_EQ(boxes.shown[1].caption, "Sorry");
  EXPECT_EQ(boxes.shown[1].owner, nullptr);
  EXPECT_TRUE(video_area.calls.empty());
}

TEST_F(AlbumViewsTest, CompareTakesTheFirstFourChosenInListOrder) {
  load_six();
  tick(4);
  album->compare_pictures();
  tick(1);
  list->selectRow(2);
  album->compare_pictures();
  for (int row = 0; row < 6; ++row) tick(row);
  album->compare_pictures();
  EXPECT_EQ(video_area.calls, (Calls{"compare 4.bmp", "compare 1.bmp 2.bmp 4.bmp",
                                     "compare 0.bmp 1.bmp 2.bmp 3.bmp"}));
}

TEST_F(AlbumViewsTest, DoubleClickShowsTheFirstSelectedPicture) {
  load_six();
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(-5, -5));
  EXPECT_TRUE(video_area.calls.empty()) << "nothing selected";
  list->selectRow(5);
  list->selectionModel()->select(list->model()->index(3, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  emit list->double_clicked();
  EXPECT_EQ(video_area.calls, Calls{"picture 3.bmp"});
}

// The pointer resting on another picture on its way to Delete changes nothing that Delete, the
// single view or Compare act on.
TEST_F(AlbumViewsTest, RestingThePointerOnAnItemNeverSelectsIt) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  load_six();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(0, 0)).center());
  ASSERT_TRUE(list->item(0, 0)->isSelected());
  QTest::mouseMove(list->viewport(), list->visualItemRect(list->item(1, 0)).center());
  QTest::qWait(600);
  EXPECT_TRUE(list->item(0, 0)->isSelected());
  EXPECT_FALSE(list->item(1, 0)->isSelected());

  emit list->double_clicked();
  album->compare_pictures();
  ::scopemark::testing::MessageBoxRecorder boxes;
  album->delete_selected_pictures();
  EXPECT_EQ(video_area.calls, (Calls{"picture 0.bmp", "compare 0.bmp"}));
  EXPECT_FALSE(std::filesystem::exists(folder / "0.bmp"));
  EXPECT_TRUE(std::filesystem::exists(folder / "1.bmp"));
}

}  // namespace
}  // namespace scopemark
