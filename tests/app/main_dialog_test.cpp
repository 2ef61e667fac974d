#include "app/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

#include "album/album_list.h"
#include "controls/bitmap_button.h"
#include "controls/dialog_units.h"
#include "session_window.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

using testing::QuietCamera;
using testing::SessionWindow;
using testing::without_device;

QRect geometry_of(const MainDialog& dialog, int id) {
  return dialog.control(id)->geometry();
}

std::map<QWidget*, QRect> all_geometries(const MainDialog& dialog) {
  std::map<QWidget*, QRect> geometries;
  for (QWidget* child : dialog.client_area()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    geometries[child] = child->geometry();
  }
  return geometries;
}

TEST(MainDialog, WithoutAdapterShowsNoDeviceAndStaysWithoutVideo) {
  testing::MessageBoxRecorder boxes;
  SessionWindow run(without_device());
  MainDialog& dialog = *run.window;
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "No Device");
  EXPECT_EQ(boxes.shown[0].owner, &dialog);
  EXPECT_FALSE(dialog.video_running());
  EXPECT_FALSE(dialog.windowIcon().isNull()) << "the icon comes before the adapter search";
  EXPECT_EQ(dialog.windowTitle(), "Vistrel") << "no language applied";
  EXPECT_EQ(dialog.top_menu(2)->title(), "Language");
  EXPECT_EQ(dialog.menu_command(MainDialog::kMenuJapanese)->text(), "Japenese");
  EXPECT_EQ(run.session->event_port(), 0) << "no worker thread";
  EXPECT_EQ(qobject_cast<BitmapButton*>(dialog.control(1004)), nullptr) << "no bitmaps";
  EXPECT_EQ(qobject_cast<AlbumList*>(dialog.control(1010)), nullptr) << "no album";

  const QRect video = geometry_of(dialog, MainDialog::kVideoArea);
  dialog.run_command(MainDialog::kFullScreenButton);
  dialog.menu_command(MainDialog::kMenuFullScreen)->trigger();
  QTest::mouseDClick(dialog.control(MainDialog::kVideoArea), Qt::LeftButton);
  EXPECT_FALSE(dialog.full_screen()) << "full screen is refused without video";
  EXPECT_EQ(geometry_of(dialog, MainDialog::kVideoArea), video);
  EXPECT_FALSE(dialog.control(MainDialog::kAlbumList)->isHidden());
}

TEST(MainDialog, TemplateControlsAtTheirDialogUnitPositions) {
  MainDialog dialog;
  const DialogBaseUnits units = dialog_base_units(dialog.font());
  EXPECT_EQ(dialog.client_area()->size(), dialog_rect(units, 0, 0, 644, 339).size());
  EXPECT_EQ(geometry_of(dialog, MainDialog::kVideoArea), dialog_rect(units, 116, 4, 516, 328));
  EXPECT_EQ(geometry_of(dialog, MainDialog::kCompareBottomRight),
            dialog_rect(units, 376, 166, 259, 165));

  const std::vector<int> hidden = {1002, 1006, 1008, 1013, 1014, 1018, 1019, 1020, 1021, 1022};
  for (int id : hidden) EXPECT_TRUE(dialog.control(id)->isHidden()) << id;
  for (int id : {1002, 1006, 1008, 1014}) EXPECT_FALSE(dialog.control(id)->isEnabled()) << id;
  EXPECT_EQ(static_cast<QPushButton*>(dialog.control(1002))->text(), "启动视频");
  QStringList labels;
  for (QLabel* label : dialog.client_area()->findChildren<QLabel*>()) {
    if (!label->text().isEmpty()) labels << label->text();
  }
  EXPECT_EQ(labels, QStringList({"Brightness", "Contrast", "Saturation", "Hue"}));
  QStringList top;
  for (QAction* item : dialog.menu_bar()->actions()) top << item->text();
  EXPECT_EQ(top, QStringList({"File", "Edit", "Language", "Help"}));
  EXPECT_EQ(dialog.top_menu(2)->actions().size(), 8);
}

TEST(MainDialog, StartUpRunsTheVideoChainWithPausesBetweenTheWorkers) {
  testing::MessageBoxRecorder boxes;
  QuietCamera camera;
  QElapsedTimer since;
  since.start();
  SessionWindow run(camera.options());
  // Sleeping pauses would emit started() inside the constructor, before the spy exists.
  QSignalSpy started(run.session.get(), &ViewerSession::started);
  ASSERT_TRUE(started.wait(5000)) << "the pauses are timers, not sleeps";
  EXPECT_GE(since.elapsed(), 400) << "four workers, each followed by 100 ms";
  EXPECT_NE(run.session->event_port(), 0);
  EXPECT_NE(run.session->picture_port(), 0);
  MainDialog& dialog = *run.window;
  EXPECT_TRUE(dialog.video_running());
  EXPECT_FALSE(dialog.control(MainDialog::kStartButton)->isEnabled());
  EXPECT_TRUE(dialog.control(MainDialog::kAutoButton)->isEnabled());
  for (int id : {1030, 1031, 1032, 1033}) {
    EXPECT_EQ(dialog.slider(id)->maximum(), 100);
    EXPECT_EQ(dialog.slider(id)->value(), 50);
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(MainDialog, CommandsBecomeTheWindowsSignals) {
  MainDialog dialog;
  QSignalSpy deleted(&dialog, &MainDialog::delete_clicked);
  QSignalSpy compared(&dialog, &MainDialog::compare_clicked);
  QSignalSpy captured(&dialog, &MainDialog::capture_clicked);
  QSignalSpy adjusted_auto(&dialog, &MainDialog::auto_clicked);
  QSignalSpy set(&dialog, &MainDialog::set_clicked);
  QSignalSpy get(&dialog, &MainDialog::get_clicked);
  QSignalSpy released(&dialog, &MainDialog::slider_released);
  QSignalSpy language(&dialog, &MainDialog::language_chosen);
  QSignalSpy combo_language(&dialog, &MainDialog::combo_language_chosen);
  QSignalSpy picture(&dialog, &MainDialog::picture_clicked);
  for (int id : {1005, 1039, 1004, 1003, 1037, 1038}) {
    static_cast<QPushButton*>(dialog.control(id))->click();
  }
  dialog.run_command(MainDialog::kCompareHidden);
  dialog.menu_command(MainDialog::kMenuCapture)->trigger();
  emit dialog.slider(MainDialog::kHueSlider)->sliderReleased();
  dialog.menu_command(MainDialog::kMenuJapanese)->trigger();
  dialog.control(MainDialog::kPictureView)->show();
  QTest::mouseClick(dialog.control(MainDialog::kPictureView), Qt::LeftButton);
  dialog.run_command(MainDialog::kTab);
  dialog.language_combo()->addItems({"Chinese", "English"});
  dialog.language_combo()->setCurrentIndex(1);
  emit dialog.language_combo()->activated(1);

  EXPECT_EQ(deleted.count(), 1);
  EXPECT_EQ(compared.count(), 2);
  EXPECT_EQ(captured.count(), 2);
  EXPECT_EQ(adjusted_auto.count() + set.count() + get.count(), 3);
  ASSERT_EQ(released.count(), 1);
  EXPECT_EQ(released[0][0].toInt(), MainDialog::kHueSlider);
  ASSERT_EQ(language.count(), 1);
  EXPECT_EQ(language[0][0].value<std::string>(), "Japanese");
  ASSERT_EQ(combo_language.count(), 1) << "only the user's choice counts";
  EXPECT_EQ(combo_language[0][0].value<std::string>(), "English");
  EXPECT_EQ(picture.count(), 1);
}

TEST(MainDialog, MenuReloadedByItsOwnCommandIsFresh) {
  MainDialog dialog;
  QObject::connect(&dialog, &MainDialog::language_chosen, &dialog, [&] { dialog.load_menu(); });
  dialog.menu_command(MainDialog::kMenuEnglish)->setText("Anglais");
  dialog.menu_command(MainDialog::kMenuEnglish)->trigger();
  QApplication::processEvents();
  EXPECT_EQ(dialog.menu_command(MainDialog::kMenuEnglish)->text(), "English");
  EXPECT_EQ(dialog.menu_bar()->actions().size(), 4);
}

TEST(MainDialog, CaptureFreezesTheDisplayForAPauseThenReloadsTheAlbum) {
  QuietCamera camera;
  SessionWindow run(camera.options());
  QSignalSpy changed(run.session.get(), &ViewerSession::pictures_changed);
  static_cast<QPushButton*>(run.window->control(MainDialog::kCaptureButton))->click();
  EXPECT_TRUE(run.session->capture_requested());
  EXPECT_TRUE(run.session->display_frozen()) << "the pause runs on a timer";
  EXPECT_EQ(changed.count(), 0);
  QElapsedTimer pause;
  pause.start();
  ASSERT_TRUE(changed.wait(2000));
  EXPECT_GE(pause.elapsed(), 90);
  EXPECT_FALSE(run.session->display_frozen());
  EXPECT_TRUE(run.session->capture_requested()) << "left for the decode thread to take";
}

TEST(MainDialog, ResizeMovesOnlyTheVideoAreaAndTheTab) {
  QuietCamera camera;
  SessionWindow run(camera.options());
  MainDialog& dialog = *run.window;
  std::map<QWidget*, QRect> before = all_geometries(dialog);
  dialog.resize(dialog.size() + QSize(120, 80));
  QApplication::processEvents();
  std::map<QWidget*, QRect> after = all_geometries(dialog);
  QWidget* video = dialog.control(MainDialog::kVideoArea);
  QWidget* tab = dialog.control(MainDialog::kTab);
  EXPECT_EQ(after[video], before[video].adjusted(0, 0, 120, 80));
  EXPECT_EQ(after[tab], before[tab].adjusted(0, 0, 0, 80));
  before.erase(video);
  before.erase(tab);
  for (const auto& [widget, rect] : before) EXPECT_EQ(after[widget], rect) << control_id(widget);
}

TEST(MainDialog, FullScreenShowsLiveVideoAndEscapeLeavesItButNeverCloses) {
  QuietCamera camera;
  SessionWindow run(camera.options());
  MainDialog& dialog = *run.window;
  const QRect video = geometry_of(dialog, MainDialog::kVideoArea);
  const QRect placement = dialog.geometry();
  QTest::keyClick(dialog.edit(MainDialog::kBrightnessEdit), Qt::Key_Escape);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(run.session->stop_requested());

  dialog.control(MainDialog::kCompareTopLeft)->show();
  dialog.control(MainDialog::kVideoArea)->hide();
  static_cast<QPushButton*>(dialog.control(MainDialog::kFullScreenButton))->click();
  QApplication::processEvents();
  ASSERT_TRUE(dialog.full_screen());
  const QSize screen = dialog.screen()->geometry().size();
  EXPECT_EQ(geometry_of(dialog, MainDialog::kVideoArea), QRect(QPoint(0, 0), screen));
  EXPECT_EQ(dialog.client_area()->size(), screen);
  EXPECT_FALSE(dialog.control(MainDialog::kVideoArea)->isHidden());
  for (int id : {1010, 1018, 1019, 1020, 1021, 1022, 1039}) {
    EXPECT_TRUE(dialog.control(id)->isHidden()) << id;
  }

  QTest::keyClick(dialog.control(MainDialog::kVideoArea), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_FALSE(dialog.full_screen());
  EXPECT_EQ(dialog.geometry(), placement);
  EXPECT_EQ(geometry_of(dialog, MainDialog::kVideoArea), video);
  EXPECT_FALSE(dialog.control(MainDialog::kAlbumList)->isHidden());
  EXPECT_FALSE(dialog.control(MainDialog::kCompareButton)->isHidden());

  QTest::mouseDClick(dialog.control(MainDialog::kVideoArea), Qt::LeftButton);
  EXPECT_TRUE(dialog.full_screen());
  QTest::mouseDClick(dialog.control(MainDialog::kVideoArea), Qt::LeftButton);
  EXPECT_FALSE(dialog.full_screen());
  EXPECT_TRUE(dialog.isVisible());
}

TEST(MainDialog, EnterIsConsumed) {
  MainDialog dialog;
  dialog.show();
  bool returned = false;
  QObject::connect(dialog.edit(MainDialog::kHueEdit), &QLineEdit::returnPressed,
                   [&] { returned = true; });
  QTest::keyClick(dialog.edit(MainDialog::kHueEdit), Qt::Key_Return);
  QTest::keyClick(dialog.edit(MainDialog::kHueEdit), Qt::Key_Enter);
  EXPECT_FALSE(returned);
  EXPECT_TRUE(dialog.isVisible());
}

TEST(MainDialog, CloseExitOrDestructionStopTheSession) {
  QuietCamera camera;
  SessionWindow closed(camera.options());
  closed.window->close();
  EXPECT_TRUE(closed.session->stop_requested());
  EXPECT_EQ(closed.window->result(), QDialog::Rejected);

  SessionWindow exited(camera.options());
  exited.window->menu_command(MainDialog::kMenuExit)->trigger();
  EXPECT_FALSE(exited.window->isVisible());
  EXPECT_TRUE(exited.session->stop_requested());

  SessionWindow destroyed(camera.options());
  destroyed.window.reset();
  EXPECT_TRUE(destroyed.session->stop_requested());
}

TEST(MainDialog, AboutBoxIsModalAndEscapeClosesItNotTheWindow) {
  MainDialog dialog;
  dialog.show();
  QString title;
  QTimer::singleShot(0, [&] {
    QWidget* about = QApplication::activeModalWidget();
    ASSERT_NE(about, nullptr);
    title = about->windowTitle();
    QTest::keyClick(about, Qt::Key_Escape);
  });
  dialog.menu_command(MainDialog::kMenuAbout)->trigger();
  EXPECT_EQ(title, "About Vistrel");
  EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace scopemark
