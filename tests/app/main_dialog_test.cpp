#include "app/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "controls/dialog_units.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

using Clock = std::chrono::steady_clock;

// Hooks that record the order of the calls made into the other modules.
struct HookLog {
  std::vector<std::string> calls;
  std::vector<Clock::time_point> worker_starts;
  bool adapter_found = true;

  MainDialogHooks hooks() {
    auto step = [this](const char* name) {
      return [this, name](MainDialog&) { calls.push_back(name); };
    };
    auto worker = [this](const char* name) {
      return [this, name](MainDialog&) {
        calls.push_back(name);
        worker_starts.push_back(Clock::now());
      };
    };
    MainDialogHooks h;
    h.find_wireless_adapter = [this]() -> std::optional<std::string> {
      calls.push_back("find_wireless_adapter");
      if (!adapter_found) return std::nullopt;
      return std::string("192.168.1.20");
    };
    h.set_window_icon = step("set_window_icon");
    h.build_yuv_tables = [this] { calls.push_back("build_yuv_tables"); };
    h.apply_language = step("apply_language");
    h.set_button_bitmaps = step("set_button_bitmaps");
    h.setup_album = step("setup_album");
    h.load_album = step("load_album");
    h.delete_selected_pictures = step("delete_selected_pictures");
    h.compare = step("compare");
    h.return_to_video = step("return_to_video");
    h.adjust_picture = [this](MainDialog&, int id) {
      calls.push_back("adjust_picture " + std::to_string(id));
    };
    h.change_language = [this](MainDialog&, const std::string& name) {
      calls.push_back("change_language " + name);
    };
    h.select_combo_language = [this](MainDialog&, const std::string& name) {
      calls.push_back("select_combo_language " + name);
    };
    h.ring_reset = [this] { calls.push_back("ring_reset"); };
    h.start_decode_thread = worker("decode");
    h.start_stream_receiver = worker("receiver");
    h.start_event_server = worker("event_server");
    h.start_picture_server = worker("picture_server");
    return h;
  }
};

class MainDialogTest : public ::testing::Test {
 protected:
  std::unique_ptr<MainDialog> open(bool adapter_found) {
    log.adapter_found = adapter_found;
    auto dialog = std::make_unique<MainDialog>("/tmp/program/", log.hooks());
    dialog->show();
    QApplication::processEvents();
    log.calls.clear();
    return dialog;
  }
  static QRect geometry_of(const MainDialog& dialog, int id) {
    return dialog.control(id)->geometry();
  }
  static std::map<QWidget*, QRect> all_geometries(const MainDialog& dialog) {
    std::map<QWidget*, QRect> geometries;
    for (QWidget* child : dialog.client_area()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      geometries[child] = child->geometry();
    }
    return geometries;
  }

  testing::MessageBoxRecorder boxes;
  HookLog log;
};

TEST_F(MainDialogTest, WithoutAdapterShowsNoDeviceAndStaysWithoutVideo) {
  log.adapter_found = false;
  MainDialog dialog("/tmp/program/", log.hooks());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "No Device");
  EXPECT_EQ(boxes.shown[0].owner, &dialog);
  EXPECT_EQ(log.calls,
            (std::vector<std::string>{"set_window_icon", "build_yuv_tables", "find_wireless_adapter"}))
      << "no language, album, ring or worker thread without a device";
  EXPECT_FALSE(dialog.video_running);
  EXPECT_EQ(dialog.camera_address(), "192.168.1.1");
  EXPECT_EQ(dialog.windowTitle(), "Vistrel");
  EXPECT_EQ(dialog.top_menu(2)->title(), "Language");
  EXPECT_EQ(dialog.menu_command(MainDialog::kMenuJapanese)->text(), "Japenese");

  dialog.show();
  const QRect video = geometry_of(dialog, MainDialog::kVideoArea);
  dialog.run_command(MainDialog::kFullScreenButton);
  dialog.menu_command(MainDialog::kMenuFullScreen)->trigger();
  QTest::mouseDClick(dialog.control(MainDialog::kVideoArea), Qt::LeftButton);
  EXPECT_FALSE(dialog.full_screen) << "full screen is refused without video";
  EXPECT_EQ(geometry_of(dialog, MainDialog::kVideoArea), video);
  EXPECT_FALSE(dialog.control(MainDialog::kAlbumList)->isHidden());
}

TEST_F(MainDialogTest, TemplateControlsAtTheirDialogUnitPositions) {
  log.adapter_found = false;
  MainDialog dialog("/tmp/program/", log.hooks());
  const DialogBaseUnits units = dialog_base_units(dialog.font());
  EXPECT_EQ(dialog.client_area()->size(), dialog_rect(units, 0, 0, 644, 339).size());
  EXPECT_EQ(geometry_of(dialog, MainDialog::kVideoArea), dialog_rect(units, 116, 4, 516, 328));
  EXPECT_EQ(geometry_of(dialog, MainDialog::kAlbumList), dialog_rect(units, 2, 76, 104, 256));
  EXPECT_EQ(geometry_of(dialog, MainDialog::kCompareBottomRight),
            dialog_rect(units, 376, 166, 259, 165));
  EXPECT_EQ(geometry_of(dialog, MainDialog::kHueEdit), dialog_rect(units, 51, 55, 16, 12));

  const std::vector<int> hidden = {1002, 1006, 1008, 1013, 1014, 1018, 1019, 1020, 1021, 1022};
  const std::vector<int> shown = {1000, 1003, 1004, 1005, 1007, 1010, 1015, 1030, 1031,
                                  1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039};
  for (int id : hidden) EXPECT_TRUE(dialog.control(id)->isHidden()) << id;
  for (int id : shown) EXPECT_FALSE(dialog.control(id)->isHidden()) << id;
  for (int id : {1002, 1006, 1008, 1014}) EXPECT_FALSE(dialog.control(id)->isEnabled()) << id;
  EXPECT_EQ(static_cast<QPushButton*>(dialog.control(1002))->text(), "启动视频");
  for (auto [id, text] : std::map<int, const char*>{{1003, "Auto"}, {1037, "Set"}, {1038, "Get"}}) {
    EXPECT_EQ(static_cast<QPushButton*>(dialog.control(id))->text(), text);
  }
  QStringList labels;
  for (QLabel* label : dialog.client_area()->findChildren<QLabel*>()) {
    if (!label->text().isEmpty()) labels << label->text();
  }
  EXPECT_EQ(labels, QStringList({"Brightness", "Contrast", "Saturation", "Hue"}));

  QStringList top;
  for (QAction* item : dialog.menu_bar()->actions()) top << item->text();
  EXPECT_EQ(top, QStringList({"File", "Edit", "Language", "Help"}));
  for (int id : {32789, 32816, 32817, 32801, 32802, 32803, 32804, 32805, 32806, 32808, 32810,
                 32792}) {
    EXPECT_NE(dialog.menu_command(id), nullptr) << id;
  }
  EXPECT_EQ(dialog.top_menu(0)->actions().size(), 1);
  EXPECT_EQ(dialog.top_menu(2)->actions().size(), 8);
}

TEST_F(MainDialogTest, StartUpWithAdapterRunsTheVideoChainInOrder) {
  log.adapter_found = true;
  MainDialog dialog("/tmp/program/", log.hooks());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(log.calls, (std::vector<std::string>{
                           "set_window_icon", "build_yuv_tables", "find_wireless_adapter",
                           "apply_language", "set_button_bitmaps", "setup_album", "load_album",
                           "ring_reset", "decode", "receiver", "event_server",
                           "picture_server"}));
  ASSERT_EQ(log.worker_starts.size(), 4u);
  for (std::size_t i = 1; i < log.worker_starts.size(); ++i) {
    EXPECT_GE(log.worker_starts[i] - log.worker_starts[i - 1], std::chrono::milliseconds(100));
  }
  EXPECT_EQ(dialog.local_address(), "192.168.1.20");
  EXPECT_TRUE(dialog.video_running);
  EXPECT_EQ(dialog.stop_requested, 0u);
  EXPECT_FALSE(dialog.control(MainDialog::kStartButton)->isEnabled());
  EXPECT_TRUE(dialog.control(MainDialog::kAutoButton)->isEnabled());
  EXPECT_TRUE(dialog.control(MainDialog::kIndicator)->isHidden());
  for (int id : {1030, 1031, 1032, 1033}) {
    auto* slider = static_cast<QSlider*>(dialog.control(id));
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->value(), 50);
  }
}

TEST_F(MainDialogTest, CommandsReachTheirHandlers) {
  auto dialog = open(true);
  static_cast<QPushButton*>(dialog->control(MainDialog::kDeleteButton))->click();
  static_cast<QPushButton*>(dialog->control(MainDialog::kCompareButton))->click();
  dialog->run_command(MainDialog::kCompareHidden);
  for (int id : {1003, 1037, 1038}) static_cast<QPushButton*>(dialog->control(id))->click();
  emit static_cast<QSlider*>(dialog->control(MainDialog::kHueSlider))->sliderReleased();
  dialog->menu_command(MainDialog::kMenuJapanese)->trigger();
  dialog->menu_command(MainDialog::kMenuSpanish)->trigger();
  dialog->control(MainDialog::kPictureView)->show();
  QTest::mouseClick(dialog->control(MainDialog::kPictureView), Qt::LeftButton);
  dialog->run_command(MainDialog::kTab);
  auto* combo = static_cast<QComboBox*>(dialog->control(MainDialog::kLanguageCombo));
  combo->addItems({"Chinese", "English"});
  combo->setCurrentIndex(1);
  combo->setCurrentIndex(0);
  emit combo->activated(0);

  EXPECT_EQ(log.calls, (std::vector<std::string>{
                           "delete_selected_pictures", "compare", "compare",
                           "adjust_picture 1003", "adjust_picture 1037", "adjust_picture 1038",
                           "adjust_picture 1033", "change_language Japanese",
                           "change_language Spanish", "return_to_video",
                           "select_combo_language Chinese"}));
}

TEST_F(MainDialogTest, MenuReloadedByItsOwnCommandIsFresh) {
  log.adapter_found = false;
  MainDialogHooks hooks = log.hooks();
  hooks.change_language = [](MainDialog& dialog, const std::string&) { dialog.load_menu(); };
  MainDialog dialog("/tmp/program/", hooks);
  dialog.menu_command(MainDialog::kMenuEnglish)->setText("Anglais");
  dialog.menu_command(MainDialog::kMenuEnglish)->trigger();
  QApplication::processEvents();
  EXPECT_EQ(dialog.menu_command(MainDialog::kMenuEnglish)->text(), "English");
  EXPECT_EQ(dialog.menu_bar()->actions().size(), 4);
  EXPECT_EQ(dialog.top_menu(3)->actions().size(), 1);
}

TEST_F(MainDialogTest, CaptureFreezesTheDisplayWhileTheSnapshotIsTaken) {
  auto dialog = open(true);
  std::atomic<bool> saw_frozen{false};
  std::atomic<bool> done{false};
  std::thread decode([&] {
    const auto give_up = Clock::now() + std::chrono::seconds(5);
    while (!done && Clock::now() < give_up) {
      if (dialog->capture_requested && dialog->display_frozen) saw_frozen = true;
    }
  });
  static_cast<QPushButton*>(dialog->control(MainDialog::kCaptureButton))->click();
  done = true;
  decode.join();
  EXPECT_TRUE(saw_frozen);
  EXPECT_EQ(dialog->capture_requested, 1) << "left for the decode thread to take";
  EXPECT_EQ(dialog->display_frozen, 0);
  EXPECT_EQ(log.calls, std::vector<std::string>{"load_album"});

  dialog->capture_requested = 0;
  dialog->menu_command(MainDialog::kMenuCapture)->trigger();
  EXPECT_EQ(dialog->capture_requested, 1);
}

TEST_F(MainDialogTest, ResizeMovesOnlyTheVideoAreaAndTheTab) {
  auto dialog = open(true);
  std::map<QWidget*, QRect> before = all_geometries(*dialog);
  dialog->resize(dialog->size() + QSize(120, 80));
  QApplication::processEvents();
  std::map<QWidget*, QRect> after = all_geometries(*dialog);

  QWidget* video = dialog->control(MainDialog::kVideoArea);
  QWidget* tab = dialog->control(MainDialog::kTab);
  EXPECT_EQ(after[video], before[video].adjusted(0, 0, 120, 80));
  EXPECT_EQ(after[tab], before[tab].adjusted(0, 0, 0, 80));
  before.erase(video);
  before.erase(tab);
  for (const auto& [widget, rect] : before) {
    EXPECT_EQ(after[widget], rect) << control_id(widget);
  }
}

TEST_F(MainDialogTest, EscapeNeverClosesAndLeavesFullScreen) {
  auto dialog = open(true);
  const QRect video = geometry_of(*dialog, MainDialog::kVideoArea);
  const QRect placement = dialog->geometry();
  QTest::keyClick(dialog->control(MainDialog::kBrightnessEdit), Qt::Key_Escape);
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(dialog->stop_requested, 0u);

  static_cast<QPushButton*>(dialog->control(MainDialog::kFullScreenButton))->click();
  QApplication::processEvents();
  ASSERT_TRUE(dialog->full_screen);
  const QSize screen = dialog->screen()->geometry().size();
  EXPECT_EQ(geometry_of(*dialog, MainDialog::kVideoArea), QRect(QPoint(0, 0), screen));
  EXPECT_EQ(dialog->geometry().topLeft() + dialog->client_area()->pos(),
            dialog->screen()->geometry().topLeft());
  EXPECT_EQ(dialog->client_area()->size(), screen);
  for (int id : {1010, 1018, 1019, 1020, 1021, 1022, 1039}) {
    EXPECT_TRUE(dialog->control(id)->isHidden()) << id;
  }

  QTest::keyClick(dialog->control(MainDialog::kVideoArea), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_FALSE(dialog->full_screen);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->geometry(), placement);
  EXPECT_EQ(geometry_of(*dialog, MainDialog::kVideoArea), video);
  EXPECT_FALSE(dialog->control(MainDialog::kAlbumList)->isHidden());
  EXPECT_FALSE(dialog->control(MainDialog::kCompareButton)->isHidden());

  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(MainDialogTest, DoubleClickOnTheVideoAreaTogglesFullScreen) {
  auto dialog = open(true);
  QTest::mouseDClick(dialog->control(MainDialog::kVideoArea), Qt::LeftButton);
  EXPECT_TRUE(dialog->full_screen);
  QTest::mouseDClick(dialog->control(MainDialog::kVideoArea), Qt::LeftButton);
  EXPECT_FALSE(dialog->full_screen);
  dialog->menu_command(MainDialog::kMenuFullScreen)->trigger();
  EXPECT_TRUE(dialog->full_screen);
}

TEST_F(MainDialogTest, EnterIsConsumed) {
  auto dialog = open(true);
  auto* edit = static_cast<QLineEdit*>(dialog->control(MainDialog::kHueEdit));
  bool returned = false;
  QObject::connect(edit, &QLineEdit::returnPressed, [&] { returned = true; });
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Enter);
  EXPECT_FALSE(returned);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(log.calls.empty());
}

TEST_F(MainDialogTest, ClosingOrExitStopsTheWorkers) {
  auto dialog = open(true);
  dialog->close();
  EXPECT_EQ(dialog->stop_requested, 1u);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);

  auto second = open(true);
  second->menu_command(MainDialog::kMenuExit)->trigger();
  EXPECT_FALSE(second->isVisible());
  EXPECT_EQ(second->result(), QDialog::Rejected);
  EXPECT_EQ(second->stop_requested, 1u);
}

TEST_F(MainDialogTest, AboutBoxIsModalAndEscapeClosesItNotTheWindow) {
  auto dialog = open(false);
  QString title;
  QTimer::singleShot(0, [&] {
    QWidget* about = QApplication::activeModalWidget();
    ASSERT_NE(about, nullptr);
    title = about->windowTitle();
    QTest::keyClick(about, Qt::Key_Escape);
  });
  dialog->menu_command(MainDialog::kMenuAbout)->trigger();
  EXPECT_EQ(title, "About Vistrel");
  EXPECT_TRUE(dialog->isVisible());
}

}  // namespace
}  // namespace scopemark
