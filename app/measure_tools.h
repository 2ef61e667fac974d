#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/measure_overlay.h"
#include "app/task_thread.h"
#include "app/video_area.h"
#include "i18n/ui_texts.h"
#include "measure/measure.h"

class QAction;
class QIODevice;
class QMenu;
class QToolButton;

namespace scopemark {

class MainDialog;

// What the user types for a calibration line.
struct CalibrationAnswer {
  double length = 0;
  measure::Unit unit = measure::Unit::micrometre;
  std::string name;
};

// The measuring tools of the main window: a "Measure" button over the video area's top right
// corner and the same menu on a right click (or the menu key) over the live video or the
// single picture. Calibrations (named, chosen from a list, kept in the settings' [Measure]
// section with the scale bar switch), the scale bar over the live video, the single picture and
// the compare cells, measurements on the single picture (kept in its sidecar file) and on a
// frozen live picture (stored with it by Snap), export as PNG and CSV. Files are written on a
// worker thread; failures are told in the user's language. GUI thread only.
class MeasureTools : public QObject {
  Q_OBJECT

 public:
  using Tool = MeasureOverlay::Tool;

  // The dialogs, replaceable for tests.
  struct Dialogs {
    // The known length, unit and name for a line of `pixels` picture pixels; nullopt: cancelled.
    std::function<std::optional<CalibrationAnswer>(double pixels)> calibration;
    // The file to write (the user confirmed replacing an existing one); empty: cancelled.
    std::function<QString(const QString& suggested, const QString& filter)> save_file;
  };

  MeasureTools(MainDialog& window, VideoArea& area, std::string settings_path,
               std::filesystem::path record_folder, std::function<UiTexts()> texts);
  ~MeasureTools() override;

  void set_dialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }

  QToolButton* button() const { return button_; }
  // The menu, filled for what is shown now in the current language.
  QMenu* menu();
  // The button's text in the current language.
  void retext();
  MeasureOverlay* live_overlay() const { return live_; }
  MeasureOverlay* picture_overlay() const { return picture_; }
  const std::array<MeasureOverlay*, 4>& compare_overlays() const { return compare_; }

  const std::vector<measure::Calibration>& calibrations() const { return calibrations_; }
  // The chosen calibration; nullptr: pixels.
  const measure::Calibration* chosen() const;

  // Draw the calibration line on the live video or the single picture.
  void start_calibration();
  // A measuring tool on the single picture or the live video (frozen for it).
  void choose_tool(Tool tool);
  // Freezing takes the next live frame that holds the whole picture (asking the feed for one
  // when frames come converted smaller), then runs `then`; it never waits on the GUI thread.
  void set_frozen(bool frozen, std::function<void()> then = {});
  bool frozen() const;
  // Chooses a calibration by name (empty: none) and applies it to what is shown.
  void choose_calibration(const std::string& name);
  void delete_calibration(const std::string& name);
  void set_scale_bar(bool on);
  bool scale_bar() const { return scale_bar_; }
  void delete_selected();
  void export_picture();
  void export_csv();
  // Snap while the live video is frozen here: stores the still and its measurements; false
  // when nothing is frozen (Snap captures as usual).
  bool store_still();
  // Files being written.
  int disk_work_pending() const { return disk_pending_; }

 signals:
  // A still was stored as a new picture of the record.
  void picture_stored(const std::filesystem::path& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  MeasureOverlay* active_overlay() const;
  void fill_menu();
  void add_overlays();
  void show_shown_pictures();
  void follow_video_area();
  void calibration_drawn(measure::Point a, measure::Point b);
  void apply_calibration();
  void save_picture_measurements();
  void read_settings();
  void write_settings() const;
  void tell(const std::string& text) const;
  void with_full_frame(std::function<void(const QImage&)> use, int attempts);
  void export_image(MeasureOverlay* overlay, const QImage& picture, const QString& name);
  static constexpr int kFullFrameAttempts = 25;  // a second at most
  static constexpr int kFullFrameInterval = 40;  // ms
  void write_file(const QString& path, std::function<bool(QIODevice&)> write);
  template <typename Work>
  void on_disk(Work work);
  std::optional<CalibrationAnswer> ask_calibration(double pixels) const;
  QString ask_save_file(const QString& suggested, const QString& filter) const;

  MainDialog& window_;
  VideoArea& area_;
  std::string settings_path_;
  std::filesystem::path record_folder_;
  std::function<UiTexts()> texts_;
  Dialogs dialogs_;
  QToolButton* button_ = nullptr;
  QMenu* menu_ = nullptr;
  QObject* menu_items_ = nullptr;  // the menu's actions and groups
  std::vector<QMenu*> submenus_;
  MeasureOverlay* live_ = nullptr;
  MeasureOverlay* picture_ = nullptr;
  std::array<MeasureOverlay*, 4> compare_{};
  std::vector<measure::Calibration> calibrations_;
  std::string chosen_;  // name; empty: none
  bool scale_bar_ = false;
  // The picture whose measurements the single view shows; empty when its sidecar could not be
  // read (nothing is written over it then).
  std::filesystem::path measured_picture_;
  int disk_pending_ = 0;
  TaskThread disk_;  // last: stopped before the rest goes
};

}  // namespace scopemark
