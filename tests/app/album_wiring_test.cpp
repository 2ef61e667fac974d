#include "app/album_wiring.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>

#include "album/album.h"
#include "album/album_list.h"
#include "album/picture_view.h"
#include "app/toolbar_wiring.h"
#include "app/viewer_app.h"
#include "controls/dialog_units.h"
#include "records/temp_folder.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

constexpr int kViews[] = {1018, 1019, 1020, 1021, 1022};

// A record with three pictures and the main window with album and toolbar hooks.
class AlbumWiringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.prepare_settings(dir.program_directory());
    ASSERT_TRUE(app.open_record("42"));
    for (const char* name : {"20260101_100000.bmp", "20260101_100001.bmp", "20260101_100002.bmp"}) {
      add_picture(name);
    }
  }
  void add_picture(const std::string& name) {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(QString::fromStdString(app.record_folder() + "/" + name), "BMP"));
  }
  MainDialog& open(bool adapter_found) {
    MainDialogHooks hooks;
    if (adapter_found) {
      hooks.find_wireless_adapter = [] { return std::optional<std::string>("192.168.1.20"); };
    }
    install_toolbar_hooks(hooks);
    install_album_hooks(hooks, app);
    dialog = std::make_unique<MainDialog>(app.program_directory(), std::move(hooks));
    dialog->show();
    QApplication::processEvents();
    return *dialog;
  }
  AlbumList* list() const { return qobject_cast<AlbumList*>(dialog->control(1010)); }
  PictureView* view(int id) const { return qobject_cast<PictureView*>(dialog->control(id)); }
  void click(int id) const { static_cast<QPushButton*>(dialog->control(id))->click(); }
  void tick(int row) const { list()->item(row, 0)->setCheckState(Qt::Checked); }
  bool shown(int id) const { return !dialog->control(id)->isHidden(); }

  testing::MessageBoxRecorder boxes;
  testing::TempFolder dir;
  ViewerApp app;
  std::unique_ptr<MainDialog> dialog;
};

TEST_F(AlbumWiringTest, StartUpPutsTheAlbumInPlaceAndLoadsTheRecord) {
  open(true);
  const DialogBaseUnits units = dialog_base_units(dialog->font());
  ASSERT_NE(list(), nullptr);
  EXPECT_EQ(list()->geometry(), dialog_rect(units, 2, 76, 104, 256));
  ASSERT_EQ(list()->rowCount(), 3);
  EXPECT_EQ(list()->item_text(2).toStdString(), app.record_folder() + "/20260101_100002.bmp");
  EXPECT_EQ(dialog->findChildren<Album*>().size(), 1);
  for (int id : kViews) {
    ASSERT_NE(view(id), nullptr) << id;
    EXPECT_TRUE(view(id)->isHidden()) << id;
  }
  EXPECT_EQ(view(1018)->geometry(), dialog_rect(units, 116, 4, 516, 328));
  EXPECT_EQ(view(1022)->geometry(), dialog_rect(units, 376, 0, 259, 165));
  EXPECT_TRUE(shown(1000));

  add_picture("20260101_100003.bmp");
  click(MainDialog::kCaptureButton);
  EXPECT_EQ(list()->rowCount(), 4) << "capture reloads the album";
}

TEST_F(AlbumWiringTest, SinglePictureOpensAndAClickReturnsToVideo) {
  open(true);
  list()->selectRow(1);
  emit list()->double_clicked();
  EXPECT_TRUE(shown(1018));
  EXPECT_FALSE(shown(1000));
  EXPECT_EQ(view(1018)->pixmap().size(), dialog->control(1000)->size());

  QTest::mouseClick(view(1018), Qt::LeftButton);
  EXPECT_TRUE(shown(1000));
  for (int id : kViews) EXPECT_FALSE(shown(id)) << id;
}

TEST_F(AlbumWiringTest, CompareButtonsFillTheSlotsInListOrder) {
  open(true);
  click(MainDialog::kCompareButton);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "please select 1-4 pictures 'Compare'!");
  EXPECT_TRUE(shown(1000));

  tick(2);
  list()->selectRow(0);
  click(MainDialog::kCompareButton);
  EXPECT_FALSE(shown(1000));
  EXPECT_TRUE(shown(1019));
  EXPECT_TRUE(shown(1022));
  EXPECT_FALSE(shown(1020));
  EXPECT_FALSE(view(1022)->pixmap().isNull());

  QTest::mouseClick(view(1022), Qt::LeftButton);
  EXPECT_TRUE(shown(1000));
  for (int id : kViews) EXPECT_FALSE(shown(id)) << id;

  dialog->run_command(MainDialog::kCompareHidden);
  EXPECT_TRUE(shown(1019)) << "the hidden 1006 runs the same compare";
}

TEST_F(AlbumWiringTest, DeleteRemovesTickedAndSelectedPictures) {
  open(true);
  tick(0);
  list()->selectRow(2);
  click(MainDialog::kDeleteButton);
  EXPECT_FALSE(fs::exists(app.record_folder() + "/20260101_100000.bmp"));
  EXPECT_TRUE(fs::exists(app.record_folder() + "/20260101_100001.bmp"));
  EXPECT_FALSE(fs::exists(app.record_folder() + "/20260101_100002.bmp"));
  EXPECT_EQ(list()->rowCount(), 1);
}

TEST_F(AlbumWiringTest, WithoutDeviceThereIsNoAlbum) {
  open(false);
  EXPECT_EQ(list(), nullptr);
  EXPECT_TRUE(dialog->findChildren<Album*>().isEmpty());
  click(MainDialog::kDeleteButton);
  click(MainDialog::kCompareButton);
  click(MainDialog::kCaptureButton);
  EXPECT_EQ(boxes.shown.size(), 1u) << "only No Device";
  EXPECT_TRUE(fs::exists(app.record_folder() + "/20260101_100000.bmp"));
}

}  // namespace
}  // namespace scopemark
