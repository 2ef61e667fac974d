#pragma once

#include <QDialog>
#include <QRect>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "i18n/control_ids.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSlider;

namespace scopemark {

class VideoWidget;

// The main window (template 102): video area, album list, picture adjustment and toolbar.
class MainDialog : public QDialog {
  Q_OBJECT

 public:
  using enum ControlId;
  using enum CommandId;

  // The window with its template controls and menu; connect_window starts it up.
  explicit MainDialog(QWidget* parent = nullptr);
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

  VideoWidget* video_area() const;
  QSlider* slider(int id) const;
  QLineEdit* edit(int id) const;
  QComboBox* language_combo() const;
  QWidget* client_area() const { return client_; }

  // Runs the handler bound to a control or command id.
  void run_command(int id);
  void toggle_full_screen();
  bool full_screen() const { return full_screen_; }
  // Set once the video chain runs; full screen is refused without it.
  bool video_running() const { return video_running_; }
  void set_video_running(bool running) { video_running_ = running; }
  // Records the layout margins of the video area and the tab, then lays them out.
  void prepare_layout();
  // The state line: a small label over the top left corner of the video area, in the window
  // and in full screen, above whatever the area shows. An empty text hides it.
  void set_state_text(const QString& text);
  QLabel* state_line() const { return state_line_; }

  void done(int result) override;

 signals:
  void capture_clicked();
  void delete_clicked();
  void compare_clicked();
  // A click on the single picture view or a compare quarter.
  void picture_clicked();
  void auto_clicked();
  void set_clicked();
  void get_clicked();
  void slider_released(int id);
  // A Language menu command, with the name it selects.
  void language_chosen(const std::string& name);
  // The user's choice in the language combo, as shown.
  void combo_language_chosen(const std::string& shown_name);
  // Before the window goes full screen.
  void entering_full_screen();
  // The window closes or goes away: the workers must stop.
  void closing();

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
  // Menu bar on top at its height (none while hidden), the client area below.
  int menu_bar_height() const;
  void layout_menu_bar();
  void record_layout_margins();
  void apply_layout();
  void enter_full_screen();
  void leave_full_screen();
  void show_about_box();
  void close_down();
  void place_state_line();

  QMenuBar* menu_bar_ = nullptr;
  QWidget* client_ = nullptr;
  QLabel* state_line_ = nullptr;
  std::map<int, std::function<void()>> commands_;
  std::optional<LayoutMargins> layout_margins_;
  QRect video_area_rect_;
  QRect saved_placement_;
  bool video_running_ = false;
  bool full_screen_ = false;
  bool closed_ = false;
};

}  // namespace scopemark
