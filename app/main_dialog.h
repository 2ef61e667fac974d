#pragma once

#include <QDialog>
#include <QRect>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QMenu;
class QMenuBar;

namespace scopemark {

class DisplaySurface;
class MainDialog;
struct PacketRing;

// The parts of the main window that other modules provide. Every member may stay empty.
struct MainDialogHooks {
  using Step = std::function<void(MainDialog&)>;

  // Local IPv4 address of the wireless adapter on the camera's subnet, or nothing.
  std::function<std::optional<std::string>()> find_wireless_adapter;
  Step set_window_icon;
  std::function<void()> build_yuv_tables;
  // Language combo, menu texts, dialog captions, tooltips.
  Step apply_language;
  Step set_button_bitmaps;
  Step setup_album;
  Step load_album;
  Step delete_selected_pictures;
  Step compare;
  Step return_to_video;
  // Picture adjustment: Auto, Set, Get and the released sliders, by control id.
  std::function<void(MainDialog&, int control_id)> adjust_picture;
  // Language menu commands and the language combo.
  std::function<void(MainDialog&, const std::string& name)> change_language;
  std::function<void(MainDialog&, const std::string& name)> select_combo_language;
  std::function<void()> ring_reset;
  // Started in this order when video starts, each followed by a 100 ms pause.
  Step start_decode_thread;
  Step start_stream_receiver;
  Step start_event_server;
  Step start_picture_server;
  // Joins the worker threads once stop_requested is set (the window closes or goes away).
  Step stop_workers;
  // Shows one picture file in the single picture view.
  std::function<void(MainDialog&, const std::string& path)> show_single_picture;
  // Joins the decode thread once stop_requested is set (the window closes or goes away).
  Step stop_decode_thread;
};

// Runs fn on the window's thread: at once when called there, otherwise queued without
// waiting. A call still queued when the window goes away is dropped.
void post_to_window(MainDialog& dialog, std::function<void()> fn);

// The main window (template 102): video area, album list, picture adjustment and toolbar.
class MainDialog : public QDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kVideoArea = 1000,
    kStartButton = 1002,
    kAutoButton = 1003,
    kCaptureButton = 1004,
    kDeleteButton = 1005,
    kCompareHidden = 1006,
    kFullScreenButton = 1007,
    kTab = 1008,
    kAlbumList = 1010,
    kIndicator = 1013,
    kLanguageCombo = 1014,
    kBrightnessEdit = 1015,
    kPictureView = 1018,
    kCompareTopLeft = 1019,
    kCompareBottomLeft = 1020,
    kCompareBottomRight = 1021,
    kCompareTopRight = 1022,
    kBrightnessSlider = 1030,
    kContrastSlider = 1031,
    kSaturationSlider = 1032,
    kHueSlider = 1033,
    kContrastEdit = 1034,
    kSaturationEdit = 1035,
    kHueEdit = 1036,
    kSetButton = 1037,
    kGetButton = 1038,
    kCompareButton = 1039,
  };
  enum CommandId {
    kMenuExit = 32789,
    kMenuAbout = 32792,
    kMenuChinese = 32801,
    kMenuEnglish = 32802,
    kMenuFrench = 32803,
    kMenuGerman = 32804,
    kMenuRussian = 32805,
    kMenuKorean = 32806,
    kMenuJapanese = 32808,
    kMenuSpanish = 32810,
    kMenuFullScreen = 32816,
    kMenuCapture = 32817,
  };

  // Builds the window and runs its start-up: without an adapter it shows "No Device" and
  // stays without video; otherwise it starts the video chain through the hooks.
  MainDialog(std::string program_directory, MainDialogHooks hooks, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Control or menu command by id; nullptr when there is none.
  QWidget* control(int id) const;
  QAction* menu_command(int id) const;
  QMenuBar* menu_bar() const { return menu_bar_; }
  // Top-level menu item 0 to 3 (File, Edit, Language, Help).
  QMenu* top_menu(int position) const;
  // Menu 129 as the template has it, replacing the current one.
  void load_menu();
  // After the menu texts changed: the menu bar gets the height they need, and the window
  // grows or shrinks with it so that the client area keeps its size.
  void relayout_menu_bar();

  // Runs the handler bound to a control or command id.
  void run_command(int id);
  void toggle_full_screen();
  // Album operations the device servers ask for (window thread only).
  void load_album();
  void show_single_picture(const std::string& path);

  const std::string& program_directory() const { return program_directory_; }
  const std::string& camera_address() const { return camera_address_; }
  const std::string& local_address() const { return local_address_; }
  QWidget* client_area() const { return client_; }
  // Stream chunks from the receiver (producer) to the decode thread (consumer).
  PacketRing& packet_ring() { return *packet_ring_; }
  // The video display on control 1000, driven by the decode thread while it runs.
  DisplaySurface& display_surface() { return *display_surface_; }

  // Steering flags shared with the worker threads.
  std::atomic<bool> capture_requested{false};
  std::atomic<bool> display_frozen{false};
  std::atomic<bool> stop_requested{false};
  std::atomic<std::uint8_t> video_running{0};
  std::atomic<std::uint8_t> full_screen{0};

  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct LayoutMargins {
    int video_left, video_top, video_right_margin, video_bottom_margin;
    int tab_left, tab_top, tab_width, tab_bottom_margin;
  };

  void build_controls();
  void bind_commands();
  void initialise();
  // Menu bar on top at its height (none while hidden), the client area below.
  int menu_bar_height() const;
  void layout_menu_bar();
  void record_layout_margins();
  void apply_layout();
  void show_video_views();
  void start_video();
  void capture();
  void enter_full_screen();
  void leave_full_screen();
  void show_about_box();
  void run_hook(const MainDialogHooks::Step& step);

  std::string program_directory_;
  MainDialogHooks hooks_;
  std::unique_ptr<PacketRing> packet_ring_;
  std::unique_ptr<DisplaySurface> display_surface_;
  std::string camera_address_;
  std::string local_address_;
  QMenuBar* menu_bar_ = nullptr;
  QWidget* client_ = nullptr;
  std::map<int, std::function<void()>> commands_;
  std::optional<LayoutMargins> layout_margins_;
  QRect video_area_rect_;
  QRect saved_placement_;
};

}  // namespace scopemark
