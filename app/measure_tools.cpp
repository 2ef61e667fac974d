#include "app/measure_tools.h"

#include <QActionGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <future>
#include <utility>

#include "album/picture_view.h"
#include "app/main_dialog.h"
#include "app/store_messages.h"
#include "controls/message_box.h"
#include "controls/paint_cache.h"
#include "i18n/language.h"
#include "i18n/profile_file.h"
#include "records/picture_store.h"
#include "records/record_folder.h"
#include "video/video_widget.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using measure::Calibration;

constexpr char kSection[] = "Measure";
constexpr char kCountKey[] = "Calibrations";
constexpr char kCalibrationKey[] = "Calibration";  // followed by 1, 2, ...
constexpr char kChosenKey[] = "Chosen";
constexpr char kScaleBarKey[] = "ScaleBar";
constexpr char kStillWriter[] = "measure";
constexpr int kButtonInset = 6;  // pixels from the video area's corner

QString qtext(const UiTexts& texts, const char* key) {
  return QString::fromStdString(texts.text(key));
}

QString to_qstring(const fs::path& path) {
  return QFile::decodeName(path.c_str());
}

// Settings values stay ASCII whatever the settings file's code page: names are percent-encoded.
std::string setting_value(const std::string& text) {
  return QByteArray::fromStdString(text).toPercentEncoding().toStdString();
}

std::string setting_text(const std::string& value) {
  return QByteArray::fromPercentEncoding(QByteArray::fromStdString(value)).toStdString();
}

std::string read_setting(const std::string& path, const std::string& key) {
  return setting_text(profile_get_string(path, kSection, key, "", kProfileBufferSize));
}

PicturePlacement picture_placement(const PictureView* view) {
  return {view->picture().size(), QRectF(view->picture_rect())};
}

}  // namespace

MeasureTools::MeasureTools(MainDialog& window, VideoArea& area, std::string settings_path,
                           fs::path record_folder, std::function<UiTexts()> texts)
    : QObject(&window),
      window_(window),
      area_(area),
      settings_path_(std::move(settings_path)),
      record_folder_(std::move(record_folder)),
      texts_(std::move(texts)) {
  read_settings();
  add_overlays();
  button_ = new QToolButton(&window_);
  button_->setObjectName(QStringLiteral("measure_button"));
  button_->setPopupMode(QToolButton::InstantPopup);
  button_->setFocusPolicy(Qt::StrongFocus);
  menu_ = new QMenu(&window_);
  connect(menu_, &QMenu::aboutToShow, this, &MeasureTools::fill_menu);
  // While the menu is open, live frames come at full size, ready for a freeze or an export.
  auto* video = qobject_cast<VideoWidget*>(area_.views().video);
  connect(menu_, &QMenu::aboutToShow, this, [this, video] {
    if (area_.mode() == VideoArea::Mode::live) video->feed()->set_full_resolution(true);
  });
  connect(menu_, &QMenu::aboutToHide, this, [video] { video->feed()->set_full_resolution(false); });
  button_->setMenu(menu_);
  PaintCache::install(button_);
  button_->show();
  retext();
  area_.views().video->installEventFilter(this);
  window_.client_area()->installEventFilter(this);
  follow_video_area();
  connect(&area_, &VideoArea::mode_changed, this, &MeasureTools::show_shown_pictures);
  show_shown_pictures();
}

// What the user changed is written before the window goes.
MeasureTools::~MeasureTools() {
  std::promise<void> written;
  disk_.post([&written] { written.set_value(); });
  written.get_future().wait();
  disk_.stop();
}

void MeasureTools::add_overlays() {
  auto* video = qobject_cast<VideoWidget*>(area_.views().video);
  live_ = new MeasureOverlay(video, [video] {
    return PicturePlacement{video->frame_size(), QRectF(video->rect())};
  });
  const PictureView* view = area_.views().picture;
  picture_ = new MeasureOverlay(area_.views().picture, [view] { return picture_placement(view); });
  for (std::size_t i = 0; i < compare_.size(); ++i) {
    const PictureView* cell = area_.views().compare[i];
    compare_[i] =
        new MeasureOverlay(area_.views().compare[i], [cell] { return picture_placement(cell); });
  }
  for (MeasureOverlay* overlay : {live_, picture_}) {
    overlay->set_interactive(true);
    connect(overlay, &MeasureOverlay::menu_requested, this,
            [this](QPoint at) { menu()->popup(at); });
    connect(overlay, &MeasureOverlay::calibration_drawn, this, &MeasureTools::calibration_drawn);
  }
  connect(picture_, &MeasureOverlay::measurements_edited, this,
          &MeasureTools::save_picture_measurements);
  for (MeasureOverlay* overlay : compare_) overlay->set_scale_bar(scale_bar_);
  live_->set_scale_bar(scale_bar_);
  picture_->set_scale_bar(scale_bar_);
  live_->set_calibration(chosen() ? std::optional(*chosen()) : std::nullopt);
}

bool MeasureTools::eventFilter(QObject* watched, QEvent* event) {
  if ((event->type() == QEvent::Resize || event->type() == QEvent::Move) &&
      (watched == area_.views().video || watched == window_.client_area())) {
    follow_video_area();
  }
  return QObject::eventFilter(watched, event);
}

void MeasureTools::follow_video_area() {
  const QWidget* video = area_.views().video;
  button_->adjustSize();
  const QPoint corner = window_.client_area()->mapTo(&window_, video->geometry().topRight());
  button_->move(corner + QPoint(-button_->width() - kButtonInset + 1, kButtonInset));
  button_->raise();
}

const Calibration* MeasureTools::chosen() const {
  for (const Calibration& calibration : calibrations_) {
    if (calibration.name == chosen_) return &calibration;
  }
  return nullptr;
}

MeasureOverlay* MeasureTools::active_overlay() const {
  switch (area_.mode()) {
    case VideoArea::Mode::live:
      return live_;
    case VideoArea::Mode::picture:
      return picture_->placement().valid() ? picture_ : nullptr;
    case VideoArea::Mode::compare:
      break;
  }
  return nullptr;
}

// Opens the sidecars of what the video area now shows: the single picture's measurements and
// calibration, the compare cells' calibrations for their scale bars.
void MeasureTools::show_shown_pictures() {
  const auto& shown = area_.shown_pictures();
  const auto calibration_of = [this](const std::optional<measure::Sidecar>& sidecar) {
    if (sidecar && sidecar->calibration) return sidecar->calibration;
    return chosen() ? std::optional(*chosen()) : std::nullopt;
  };
  measured_picture_.clear();
  picture_->set_measurements({});
  if (area_.mode() == VideoArea::Mode::picture && !shown.empty()) {
    const std::optional<measure::Sidecar> sidecar = measure::load_sidecar(shown.front());
    picture_->set_calibration(calibration_of(sidecar));
    if (sidecar) {
      measured_picture_ = shown.front();
      picture_->set_measurements(sidecar->measurements);
    } else {
      tell(texts_().format(text_key::kMessageMeasurementsUnreadable,
                           shown.front().filename().string()));
    }
  }
  if (area_.mode() == VideoArea::Mode::compare) {
    for (std::size_t i = 0; i < compare_.size(); ++i) {
      compare_[i]->set_calibration(
          i < shown.size() ? calibration_of(measure::load_sidecar(shown[i])) : std::nullopt);
    }
  }
}

void MeasureTools::start_calibration() {
  MeasureOverlay* overlay = active_overlay();
  if (overlay == nullptr || !overlay->placement().valid()) {
    tell(texts_().text(text_key::kMessageNeedsPicture));
    return;
  }
  overlay->set_tool(Tool::calibrate);
  overlay->setFocus();
}

void MeasureTools::choose_tool(Tool tool) {
  if (area_.mode() == VideoArea::Mode::live && tool != Tool::none && !frozen()) {
    set_frozen(true, [this, tool] {
      if (frozen()) choose_tool(tool);
    });
    return;
  }
  MeasureOverlay* overlay = active_overlay();
  const bool usable =
      overlay != nullptr && overlay->placement().valid() && (overlay == picture_ || frozen());
  if (!usable) {
    if (tool != Tool::none) tell(texts_().text(text_key::kMessageNeedsPicture));
    return;
  }
  overlay->set_tool(tool);
  overlay->setFocus();
}

bool MeasureTools::frozen() const {
  return !live_->still().isNull();
}

void MeasureTools::set_frozen(bool frozen, std::function<void()> then) {
  if (frozen == this->frozen()) return;
  if (!frozen) {
    live_->set_measurements({});
    live_->set_tool(Tool::none);
    live_->set_still(QImage());
    return;
  }
  with_full_frame(
      [this, then = std::move(then)](const QImage& still) {
        if (still.isNull() || area_.mode() != VideoArea::Mode::live) {
          tell(texts_().text(text_key::kMessageNeedsPicture));
          return;
        }
        live_->set_measurements({});
        live_->set_tool(Tool::none);
        live_->set_still(still);
        if (then) then();
      },
      kFullFrameAttempts);
}

// Live frames come converted at the video area's size; a still to measure or export needs the
// picture's own pixels, so the feed is asked for full-size frames until one has been painted.
void MeasureTools::with_full_frame(std::function<void(const QImage&)> use, int attempts) {
  auto* video = qobject_cast<VideoWidget*>(area_.views().video);
  const QImage frame = video->frame_copy();
  if (!frame.isNull() || video->frame_size().isEmpty() || attempts <= 0 ||
      area_.mode() != VideoArea::Mode::live) {
    if (!menu_->isVisible()) video->feed()->set_full_resolution(false);
    use(frame);
    return;
  }
  video->feed()->set_full_resolution(true);
  QTimer::singleShot(kFullFrameInterval, this, [this, use = std::move(use), attempts] {
    with_full_frame(use, attempts - 1);
  });
}

void MeasureTools::calibration_drawn(measure::Point a, measure::Point b) {
  const std::optional<CalibrationAnswer> answer = ask_calibration(measure::distance(a, b));
  if (!answer) return;
  std::optional<Calibration> made =
      measure::calibrate(answer->name, a, b, answer->length, answer->unit);
  if (!made) {
    tell(texts_().text(text_key::kMessageCalibrationRefused));
    return;
  }
  std::erase_if(calibrations_, [&](const Calibration& known) { return known.name == made->name; });
  calibrations_.push_back(*made);
  choose_calibration(made->name);
}

void MeasureTools::choose_calibration(const std::string& name) {
  chosen_ = name;
  if (chosen() == nullptr) chosen_.clear();
  write_settings();
  apply_calibration();
}

void MeasureTools::delete_calibration(const std::string& name) {
  std::erase_if(calibrations_, [&](const Calibration& known) { return known.name == name; });
  // A picture keeps the calibration it was measured with.
  if (name == chosen_) {
    choose_calibration("");
  } else {
    write_settings();
  }
}

// The chosen calibration holds for the live video and for the picture shown, which keeps it in
// its sidecar along with its measurements.
void MeasureTools::apply_calibration() {
  const std::optional<Calibration> calibration = chosen() ? std::optional(*chosen()) : std::nullopt;
  live_->set_calibration(calibration);
  if (area_.mode() == VideoArea::Mode::picture) {
    picture_->set_calibration(calibration);
    if (!picture_->measurements().empty()) save_picture_measurements();
  }
}

void MeasureTools::set_scale_bar(bool on) {
  scale_bar_ = on;
  for (MeasureOverlay* overlay : compare_) overlay->set_scale_bar(on);
  live_->set_scale_bar(on);
  picture_->set_scale_bar(on);
  write_settings();
}

void MeasureTools::delete_selected() {
  if (MeasureOverlay* overlay = active_overlay()) overlay->delete_selected();
}

template <typename Work>
void MeasureTools::on_disk(Work work) {
  ++disk_pending_;
  disk_.post([this, work = std::move(work)]() mutable {
    auto done = work();
    QMetaObject::invokeMethod(
        this,
        [this, done = std::move(done)]() mutable {
          --disk_pending_;
          done();
        },
        Qt::QueuedConnection);
  });
}

void MeasureTools::save_picture_measurements() {
  if (measured_picture_.empty()) return;
  measure::Sidecar sidecar;
  sidecar.measurements = picture_->measurements();
  if (!sidecar.measurements.empty()) sidecar.calibration = picture_->calibration();
  on_disk([this, picture = measured_picture_, sidecar] {
    const bool saved = measure::save_sidecar(picture, sidecar, nullptr);
    return [this, picture, saved] {
      if (!saved) {
        tell(texts_().format(text_key::kMessageMeasurementsNotSaved, picture.filename().string()));
      }
    };
  });
}

bool MeasureTools::store_still() {
  if (!frozen() || area_.mode() != VideoArea::Mode::live) return false;
  measure::Sidecar sidecar;
  sidecar.measurements = live_->measurements();
  if (!sidecar.measurements.empty()) sidecar.calibration = live_->calibration();
  on_disk([this, still = live_->still(), sidecar, folder = RecordFolder(record_folder_)] {
    StoreResult result{{}, prepare_folder(folder)};
    bool sidecar_saved = true;
    if (result.problem == StoreProblem::none) {
      const fs::path temporary = temporary_picture_path(folder, kStillWriter);
      if (still.convertToFormat(QImage::Format_RGB888).save(to_qstring(temporary), "BMP")) {
        result = place_snapshot(temporary, folder, local_time_now());
      } else {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        result.problem = StoreProblem::write_failed;
      }
      if (result.problem == StoreProblem::none) {
        sidecar_saved = measure::save_sidecar(result.path, sidecar, nullptr);
      }
    }
    return [this, result, sidecar_saved] {
      if (result.problem != StoreProblem::none) {
        tell(not_saved_message(texts_(), {}, result.problem));
        return;
      }
      emit picture_stored(result.path);
      if (!sidecar_saved) {
        tell(texts_().format(text_key::kMessageMeasurementsNotSaved,
                             result.path.filename().string()));
      }
    };
  });
  return true;
}

void MeasureTools::write_file(const QString& path, std::function<bool(QIODevice&)> write) {
  on_disk([this, path, write = std::move(write)] {
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && write(file) && file.commit();
    return [this, path, written] {
      if (!written) {
        tell(
            texts_().format(text_key::kMessageExportFailed, QFile::encodeName(path).toStdString()));
      }
    };
  });
}

void MeasureTools::export_picture() {
  MeasureOverlay* overlay = active_overlay();
  QImage picture;
  QString name = QStringLiteral("picture");
  if (overlay == picture_) {
    picture = area_.views().picture->picture();
    name = to_qstring(area_.shown_pictures().front().stem());
  } else if (overlay == live_ && !frozen()) {
    with_full_frame(
        [this](const QImage& frame) {
          if (!frame.isNull())
            export_image(live_, frame, QStringLiteral("picture"));
          else
            tell(texts_().text(text_key::kMessageNeedsPicture));
        },
        kFullFrameAttempts);
    return;
  } else if (overlay == live_) {
    picture = live_->still();
  }
  export_image(overlay, picture, name);
}

void MeasureTools::export_image(MeasureOverlay* overlay, const QImage& picture,
                                const QString& name) {
  if (picture.isNull()) {
    tell(texts_().text(text_key::kMessageNeedsPicture));
    return;
  }
  const QString path = ask_save_file(to_qstring(record_folder_ / "") + name + ".png",
                                     qtext(texts_(), text_key::kMeasurePngFiles) + " (*.png)");
  if (path.isEmpty()) return;
  write_file(path, [image = overlay->rendered(picture)](QIODevice& file) {
    QImageWriter writer(&file, "png");
    return writer.write(image);
  });
}

void MeasureTools::export_csv() {
  const fs::path folder = record_folder_;
  const QString path = ask_save_file(to_qstring(folder / (folder.filename().string() + ".csv")),
                                     qtext(texts_(), text_key::kMeasureCsvFiles) + " (*.csv)");
  if (path.isEmpty()) return;
  write_file(path, [folder](QIODevice& file) {
    std::vector<measure::CsvRow> rows;
    for (const fs::path& picture : RecordFolder(folder).pictures()) {
      if (const auto sidecar = measure::load_sidecar(picture)) {
        for (auto& row : measure::csv_rows(picture.filename().string(), *sidecar)) {
          rows.push_back(std::move(row));
        }
      }
    }
    const std::string csv = measure::measurements_csv(rows);
    return file.write(csv.data(), static_cast<qint64>(csv.size())) ==
           static_cast<qint64>(csv.size());
  });
}

void MeasureTools::tell(const std::string& text) const {
  show_message_box(text, texts_().text(text_key::kCaptionSorry), MessageIcon::Warning, &window_);
}

void MeasureTools::read_settings() {
  const int count = std::atoi(read_setting(settings_path_, kCountKey).c_str());
  for (int i = 1; i <= count; ++i) {
    const std::string key = kCalibrationKey + std::to_string(i);
    if (auto calibration = measure::decode_calibration(read_setting(settings_path_, key))) {
      calibrations_.push_back(std::move(*calibration));
    }
  }
  chosen_ = read_setting(settings_path_, kChosenKey);
  if (chosen() == nullptr) chosen_.clear();
  scale_bar_ = read_setting(settings_path_, kScaleBarKey) == "1";
}

// Keys of calibrations deleted since are left behind: the count tells how many hold.
void MeasureTools::write_settings() const {
  const auto write = [this](const std::string& key, const std::string& text) {
    profile_write_string(settings_path_, kSection, key, setting_value(text));
  };
  for (std::size_t i = 0; i < calibrations_.size(); ++i) {
    write(kCalibrationKey + std::to_string(i + 1), measure::encode_calibration(calibrations_[i]));
  }
  write(kCountKey, std::to_string(calibrations_.size()));
  write(kChosenKey, chosen_);
  write(kScaleBarKey, scale_bar_ ? "1" : "0");
}

QMenu* MeasureTools::menu() {
  fill_menu();
  return menu_;
}

void MeasureTools::retext() {
  button_->setText(qtext(texts_(), text_key::kMeasureButton));
  follow_video_area();
}

// The menu is made anew each time it opens: in the current language, for what is shown.
void MeasureTools::fill_menu() {
  const UiTexts texts = texts_();
  menu_->clear();
  for (QMenu* submenu : submenus_) delete submenu;
  submenus_.clear();
  delete menu_items_;
  menu_items_ = new QObject(this);
  const auto add = [&](const char* key, auto slot) {
    auto* action = new QAction(qtext(texts, key), menu_items_);
    menu_->addAction(action);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  if (area_.mode() == VideoArea::Mode::live) {
    QAction* freeze = add(text_key::kMeasureFreeze, [this](bool on) { set_frozen(on); });
    freeze->setCheckable(true);
    freeze->setChecked(frozen());
  }
  add(text_key::kMeasureCalibrate, [this] { start_calibration(); });
  menu_->addSeparator();
  auto* tools = new QActionGroup(menu_items_);
  const MeasureOverlay* overlay = active_overlay();
  for (const auto& [tool, key] : {std::pair{Tool::none, text_key::kMeasureNoTool},
                                  std::pair{Tool::line, text_key::kMeasureLine},
                                  std::pair{Tool::polyline, text_key::kMeasurePolyline},
                                  std::pair{Tool::circle, text_key::kMeasureCircle},
                                  std::pair{Tool::angle, text_key::kMeasureAngle}}) {
    QAction* action = add(key, [this, tool] { choose_tool(tool); });
    action->setCheckable(true);
    action->setChecked(overlay != nullptr && overlay->tool() == tool);
    action->setObjectName(QStringLiteral("tool%1").arg(static_cast<int>(tool)));
    tools->addAction(action);
  }
  add(text_key::kMeasureDelete, [this] {
    delete_selected();
  })->setEnabled(overlay != nullptr && overlay->selected() >= 0);
  menu_->addSeparator();
  QMenu* list =
      submenus_.emplace_back(menu_->addMenu(qtext(texts, text_key::kMeasureCalibrations)));
  auto* choices = new QActionGroup(menu_items_);
  const auto add_choice = [&](const QString& text, const std::string& name) {
    QAction* action = list->addAction(text);
    action->setCheckable(true);
    action->setChecked(name == chosen_);
    choices->addAction(action);
    connect(action, &QAction::triggered, this, [this, name] { choose_calibration(name); });
  };
  add_choice(qtext(texts, text_key::kMeasureNoCalibration), "");
  for (const Calibration& calibration : calibrations_) {
    add_choice(QString::fromStdString(calibration.name), calibration.name);
  }
  QMenu* removal =
      submenus_.emplace_back(menu_->addMenu(qtext(texts, text_key::kMeasureDeleteCalibration)));
  removal->setEnabled(!calibrations_.empty());
  for (const Calibration& calibration : calibrations_) {
    connect(removal->addAction(QString::fromStdString(calibration.name)), &QAction::triggered, this,
            [this, name = calibration.name] { delete_calibration(name); });
  }
  QAction* bar = add(text_key::kMeasureScaleBar, [this](bool on) { set_scale_bar(on); });
  bar->setCheckable(true);
  bar->setChecked(scale_bar_);
  menu_->addSeparator();
  add(text_key::kMeasureExportPicture, [this] { export_picture(); });
  add(text_key::kMeasureExportCsv, [this] { export_csv(); });
}

std::optional<CalibrationAnswer> MeasureTools::ask_calibration(double pixels) const {
  if (dialogs_.calibration) return dialogs_.calibration(pixels);
  const UiTexts texts = texts_();
  QDialog dialog(&window_);
  dialog.setWindowTitle(qtext(texts, text_key::kMeasureCalibrationTitle));
  auto* form = new QFormLayout(&dialog);
  form->addRow(new QLabel(QString::fromStdString(texts.format(
      text_key::kMeasureCalibrationLine, QString::number(pixels, 'f', 1).toStdString()))));
  auto* length = new QDoubleSpinBox(&dialog);
  length->setRange(0.001, 1e6);
  length->setDecimals(3);
  length->setValue(1);
  auto* unit = new QComboBox(&dialog);
  for (const measure::Unit choice : {measure::Unit::micrometre, measure::Unit::millimetre}) {
    const std::string_view symbol = measure::unit_symbol(choice);
    unit->addItem(QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size())));
  }
  auto* length_row = new QHBoxLayout;
  length_row->addWidget(length, 1);
  length_row->addWidget(unit);
  form->addRow(qtext(texts, text_key::kMeasureCalibrationLength), length_row);
  auto* name = new QLineEdit(&dialog);
  form->addRow(qtext(texts, text_key::kMeasureCalibrationName), name);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(qtext(texts, text_key::kButtonOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(qtext(texts, text_key::kButtonCancel));
  buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
  connect(name, &QLineEdit::textChanged, buttons, [buttons](const QString& text) {
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!text.trimmed().isEmpty());
  });
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return CalibrationAnswer{
      length->value(),
      unit->currentIndex() == 0 ? measure::Unit::micrometre : measure::Unit::millimetre,
      name->text().trimmed().toStdString()};
}

QString MeasureTools::ask_save_file(const QString& suggested, const QString& filter) const {
  if (dialogs_.save_file) return dialogs_.save_file(suggested, filter);
  // The dialog asks before it lets an existing file be replaced.
  return QFileDialog::getSaveFileName(&window_, QString(), suggested, filter);
}

}  // namespace scopemark
