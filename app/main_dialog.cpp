#include "app/main_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QThread>

#include <initializer_list>
#include <utility>

#include "app/about_box.h"
#include "controls/dialog_units.h"
#include "controls/paint_cache.h"
#include "video/video_widget.h"

namespace scopemark {
namespace {

constexpr int kNoId = -1;
constexpr int kDialogWidth = 644;
constexpr int kDialogHeight = 339;
constexpr int kDialogPointSize = 9;
constexpr int kToolbarPointSize = 7;  // the toolbar words until the buttons get their bitmaps
constexpr int kStateLineInset = 6;    // pixels from the video area's corner

enum class Kind { kVideo, kStatic, kText, kButton, kTab, kList, kCombo, kSlider, kEdit };

struct ControlTemplate {
  int id;
  Kind kind;
  const char* text;
  int x, y, width, height;
  bool visible;
  bool enabled;
};

// Template 102. The toolbar buttons carry their tooltip words until they get their bitmaps.
constexpr ControlTemplate kControls[] = {
    {MainDialog::kVideoArea, Kind::kVideo, "", 116, 4, 516, 328, true, true},
    {MainDialog::kStartButton, Kind::kButton, "启动视频", 589, 27, 50, 18, false, false},
    {MainDialog::kAutoButton, Kind::kButton, "Auto", 88, 58, 21, 8, true, true},
    {MainDialog::kCaptureButton, Kind::kButton, "Snap", 0, 0, 27, 17, true, true},
    {MainDialog::kDeleteButton, Kind::kButton, "Delete", 56, 0, 27, 17, true, true},
    {MainDialog::kCompareHidden, Kind::kButton, "", 93, 69, 6, 6, false, false},
    {MainDialog::kFullScreenButton, Kind::kButton, "Full\nscreen", 28, 0, 27, 17, true, true},
    {MainDialog::kTab, Kind::kTab, "Tab1", 432, 7, 6, 6, false, false},
    {MainDialog::kAlbumList, Kind::kList, "List1", 2, 76, 104, 256, true, true},
    {MainDialog::kIndicator, Kind::kStatic, "", 7, 300, 32, 32, false, true},
    {MainDialog::kLanguageCombo, Kind::kCombo, "", 376, 1, 88, 86, false, false},
    {MainDialog::kPictureView, Kind::kStatic, "", 116, 4, 516, 328, false, true},
    {MainDialog::kCompareTopLeft, Kind::kStatic, "", 116, 0, 259, 165, false, true},
    {MainDialog::kCompareTopRight, Kind::kStatic, "", 376, 0, 259, 165, false, true},
    {MainDialog::kCompareBottomLeft, Kind::kStatic, "", 116, 167, 259, 165, false, true},
    {MainDialog::kCompareBottomRight, Kind::kStatic, "", 376, 166, 259, 165, false, true},
    {MainDialog::kBrightnessSlider, Kind::kSlider, "", 1, 20, 52, 8, true, true},
    {MainDialog::kContrastSlider, Kind::kSlider, "", 1, 32, 51, 8, true, true},
    {MainDialog::kSaturationSlider, Kind::kSlider, "", 1, 44, 51, 8, true, true},
    {MainDialog::kHueSlider, Kind::kSlider, "", 1, 55, 51, 8, true, true},
    {kNoId, Kind::kText, "Brightness", 71, 19, 37, 8, true, true},
    {kNoId, Kind::kText, "Contrast", 71, 32, 37, 8, true, true},
    {kNoId, Kind::kText, "Saturation", 71, 43, 37, 8, true, true},
    {kNoId, Kind::kText, "Hue", 71, 57, 17, 8, true, true},  // up to Auto: room for longer words
    {MainDialog::kBrightnessEdit, Kind::kEdit, "", 51, 18, 16, 12, true, true},
    {MainDialog::kContrastEdit, Kind::kEdit, "", 51, 29, 16, 12, true, true},
    {MainDialog::kSaturationEdit, Kind::kEdit, "", 51, 41, 16, 12, true, true},
    {MainDialog::kHueEdit, Kind::kEdit, "", 51, 55, 16, 12, true, true},
    {MainDialog::kSetButton, Kind::kButton, "Set", 4, 64, 21, 8, true, true},
    {MainDialog::kGetButton, Kind::kButton, "Get", 25, 64, 21, 8, true, true},
    {MainDialog::kCompareButton, Kind::kButton, "Compare", 84, 0, 27, 17, true, true},
};

constexpr int kSingleAndCompareViews[] = {
    MainDialog::kPictureView, MainDialog::kCompareTopLeft, MainDialog::kCompareBottomLeft,
    MainDialog::kCompareBottomRight, MainDialog::kCompareTopRight};
constexpr int kSliders[] = {MainDialog::kBrightnessSlider, MainDialog::kContrastSlider,
                            MainDialog::kSaturationSlider, MainDialog::kHueSlider};

struct MenuItem {
  int id;  // 0 starts a drop-down with this text
  const char* text;
};

// Menu 129.
constexpr MenuItem kMenu[] = {
    {0, "File"},
    {MainDialog::kMenuExit, "Exit"},
    {0, "Edit"},
    {MainDialog::kMenuFullScreen, "FullScreen"},
    {MainDialog::kMenuCapture, "Capture"},
    {0, "Language"},
    {MainDialog::kMenuChinese, "Chinese"},
    {MainDialog::kMenuEnglish, "English"},
    {MainDialog::kMenuFrench, "French"},
    {MainDialog::kMenuGerman, "German"},
    {MainDialog::kMenuRussian, "Russian"},
    {MainDialog::kMenuKorean, "Korean"},
    {MainDialog::kMenuJapanese, "Japenese"},
    {MainDialog::kMenuSpanish, "Spanish"},
    {0, "Help"},
    {MainDialog::kMenuAbout, "About"},
};

// Language commands and the name each passes on.
const std::map<int, std::string>& language_commands() {
  static const std::map<int, std::string> names = {
      {MainDialog::kMenuChinese, "Chinese"},   {MainDialog::kMenuEnglish, "English"},
      {MainDialog::kMenuFrench, "French"},     {MainDialog::kMenuGerman, "German"},
      {MainDialog::kMenuRussian, "Russian"},   {MainDialog::kMenuKorean, "Korean"},
      {MainDialog::kMenuJapanese, "Japanese"}, {MainDialog::kMenuSpanish, "Spanish"},
  };
  return names;
}

QWidget* create_control(const ControlTemplate& entry, QWidget* parent) {
  const QString text = QString::fromUtf8(entry.text);
  switch (entry.kind) {
    case Kind::kVideo:
      return new VideoWidget(parent);
    case Kind::kStatic:
      return new QLabel(parent);
    case Kind::kText:
      return new QLabel(text, parent);
    case Kind::kButton: {
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(false);
      return button;
    }
    case Kind::kTab: {
      auto* tab = new QTabBar(parent);
      tab->setAccessibleName(text);
      return tab;
    }
    case Kind::kList: {
      auto* list = new QListWidget(parent);
      list->setAccessibleName(text);
      return list;
    }
    case Kind::kCombo:
      return new QComboBox(parent);
    case Kind::kSlider: {
      // A trackbar's own range, which the window keeps when it runs without a device.
      auto* slider = new QSlider(Qt::Horizontal, parent);
      slider->setRange(0, 100);
      return slider;
    }
    case Kind::kEdit:
      return new QLineEdit(parent);
  }
  return nullptr;
}

}  // namespace

MainDialog::MainDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Vistrel"));
  QFont dialog_font = font();
  dialog_font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("DejaVu Sans")});
  dialog_font.setPointSize(kDialogPointSize);
  setFont(dialog_font);
  menu_bar_ = new QMenuBar(this);
  client_ = new QWidget(this);
  load_menu();
  build_controls();
  bind_commands();
  video_area_rect_ = control(kVideoArea)->geometry();
}

MainDialog::~MainDialog() {
  close_down();
}

void MainDialog::close_down() {
  if (closed_) return;
  closed_ = true;
  emit closing();
}

void MainDialog::build_controls() {
  const DialogBaseUnits units = dialog_base_units(font());
  const QSize client_size = dialog_rect(units, 0, 0, kDialogWidth, kDialogHeight).size();
  resize(client_size.width(), client_size.height() + menu_bar_height());
  layout_menu_bar();

  for (const ControlTemplate& entry : kControls) {
    QWidget* widget = create_control(entry, client_);
    place_control(widget, units, entry.id, entry.x, entry.y, entry.width, entry.height);
    widget->setVisible(entry.visible);
    widget->setEnabled(entry.enabled);
  }
  for (int id : {kCaptureButton, kDeleteButton, kFullScreenButton, kCompareButton}) {
    QFont small = font();
    small.setPointSize(kToolbarPointSize);
    control(id)->setFont(small);
  }
  QWidget* video = control(kVideoArea);
  video->setAutoFillBackground(true);
  QPalette black = video->palette();
  black.setColor(QPalette::Window, Qt::black);
  video->setPalette(black);

  // A child of the window, not of the client area, whose children are the template's controls.
  state_line_ = new QLabel(this);
  state_line_->setObjectName(QStringLiteral("state_line"));
  state_line_->setAttribute(Qt::WA_TransparentForMouseEvents);
  state_line_->setStyleSheet(QStringLiteral(
      "QLabel { color: white; background-color: rgba(0, 0, 0, 160); padding: 2px 6px; }"));
  state_line_->hide();
  PaintCache::install(state_line_);
  qApp->installEventFilter(this);
}

void MainDialog::set_state_text(const QString& text) {
  state_line_->setText(text);
  state_line_->setVisible(!text.isEmpty());
  state_line_->adjustSize();
  place_state_line();
}

void MainDialog::place_state_line() {
  const QPoint corner = client_->mapTo(this, control(kVideoArea)->geometry().topLeft());
  state_line_->move(corner + QPoint(kStateLineInset, kStateLineInset));
  state_line_->raise();
}

void MainDialog::load_menu() {
  menu_bar_->clear();
  // The old menus may be running the command that reloads them: detach now, delete later.
  for (QMenu* old : menu_bar_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
    old->setParent(nullptr);
    old->deleteLater();
  }
  QMenu* menu = nullptr;
  for (const MenuItem& item : kMenu) {
    if (item.id == 0) {
      menu = menu_bar_->addMenu(QString::fromUtf8(item.text));
      continue;
    }
    QAction* action = menu->addAction(QString::fromUtf8(item.text));
    set_control_id(action, item.id);
    connect(action, &QAction::triggered, this, [this, id = item.id] { run_command(id); });
  }
}

QMenu* MainDialog::top_menu(int position) const {
  const QList<QAction*> items = menu_bar_->actions();
  return position >= 0 && position < items.size() ? items[position]->menu() : nullptr;
}

QAction* MainDialog::menu_command(int id) const {
  for (QAction* action : menu_bar_->findChildren<QAction*>()) {
    if (control_id(action) == id) return action;
  }
  return nullptr;
}

QWidget* MainDialog::control(int id) const {
  return find_control(client_, id);
}

VideoWidget* MainDialog::video_area() const {
  return qobject_cast<VideoWidget*>(control(kVideoArea));
}

QSlider* MainDialog::slider(int id) const {
  return qobject_cast<QSlider*>(control(id));
}

QLineEdit* MainDialog::edit(int id) const {
  return qobject_cast<QLineEdit*>(control(id));
}

QComboBox* MainDialog::language_combo() const {
  return qobject_cast<QComboBox*>(control(kLanguageCombo));
}

void MainDialog::bind_commands() {
  auto signal = [this](void (MainDialog::*notify)()) {
    return [this, notify] { emit(this->*notify)(); };
  };
  commands_ = {
      {kCaptureButton, signal(&MainDialog::capture_clicked)},
      {kMenuCapture, signal(&MainDialog::capture_clicked)},
      {kDeleteButton, signal(&MainDialog::delete_clicked)},
      {kFullScreenButton, [this] { toggle_full_screen(); }},
      {kMenuFullScreen, [this] { toggle_full_screen(); }},
      {kMenuExit, [this] { reject(); }},
      {kMenuAbout, [this] { show_about_box(); }},
      {kCompareHidden, signal(&MainDialog::compare_clicked)},
      {kCompareButton, signal(&MainDialog::compare_clicked)},
      {kAutoButton, signal(&MainDialog::auto_clicked)},
      {kSetButton, signal(&MainDialog::set_clicked)},
      {kGetButton, signal(&MainDialog::get_clicked)},
      {kLanguageCombo,
       [this] { emit combo_language_chosen(language_combo()->currentText().toStdString()); }},
  };
  for (int id : kSingleAndCompareViews) commands_[id] = signal(&MainDialog::picture_clicked);
  for (int id : kSliders) commands_[id] = [this, id] { emit slider_released(id); };
  for (const auto& [id, name] : language_commands()) {
    commands_[id] = [this, name = name] { emit language_chosen(name); };
  }

  for (QPushButton* button : client_->findChildren<QPushButton*>()) {
    connect(button, &QPushButton::clicked, this,
            [this, id = control_id(button)] { run_command(id); });
  }
  for (int id : kSliders) {
    connect(static_cast<QSlider*>(control(id)), &QSlider::sliderReleased, this,
            [this, id] { run_command(id); });
  }
  // Only the user's choice counts: filling and selecting from code is no selection change.
  connect(static_cast<QComboBox*>(control(kLanguageCombo)), &QComboBox::activated, this,
          [this] { run_command(kLanguageCombo); });
}

void MainDialog::run_command(int id) {
  const auto handler = commands_.find(id);
  if (handler != commands_.end()) handler->second();
}

void MainDialog::prepare_layout() {
  record_layout_margins();
  apply_layout();
}

void MainDialog::record_layout_margins() {
  const QRect client = client_->rect();
  const QRect video = control(kVideoArea)->geometry();
  const QRect tab = control(kTab)->geometry();
  layout_margins_ = LayoutMargins{video.left(),
                                  video.top(),
                                  client.right() - video.right(),
                                  client.bottom() - video.bottom(),
                                  tab.left(),
                                  tab.top(),
                                  tab.width(),
                                  client.bottom() - tab.bottom()};
}

void MainDialog::apply_layout() {
  if (!layout_margins_) return;
  const QRect client = client_->rect();
  if (full_screen_) {
    control(kVideoArea)->setGeometry(client);
    return;
  }
  const LayoutMargins& m = *layout_margins_;
  control(kVideoArea)
      ->setGeometry(QRect(
          QPoint(m.video_left, m.video_top),
          QPoint(client.right() - m.video_right_margin, client.bottom() - m.video_bottom_margin)));
  control(kTab)->setGeometry(
      QRect(QPoint(m.tab_left, m.tab_top),
            QPoint(m.tab_left + m.tab_width - 1, client.bottom() - m.tab_bottom_margin)));
  update();
}

void MainDialog::toggle_full_screen() {
  if (!video_running_) return;
  full_screen_ = !full_screen_;
  if (full_screen_) {
    enter_full_screen();
  } else {
    leave_full_screen();
  }
}

void MainDialog::enter_full_screen() {
  saved_placement_ = geometry();
  emit entering_full_screen();
  for (int id : {kCompareButton, kAlbumList}) control(id)->hide();

  // The client area covers the whole screen: no frame, no menu bar.
  const QRect screen =
      (this->screen() ? this->screen() : QGuiApplication::primaryScreen())->geometry();
  menu_bar_->hide();
  showFullScreen();
  setGeometry(screen);
  control(kVideoArea)->setGeometry(0, 0, screen.width(), screen.height());
}

void MainDialog::leave_full_screen() {
  control(kAlbumList)->show();
  control(kCompareButton)->show();
  menu_bar_->show();
  showNormal();
  setGeometry(saved_placement_);
  control(kVideoArea)->setGeometry(video_area_rect_);
  apply_layout();
}

void MainDialog::show_about_box() {
  AboutBox about(this);
  about.exec();
}

void MainDialog::done(int result) {
  close_down();
  QDialog::done(result);
}

void MainDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layout_menu_bar();
}

int MainDialog::menu_bar_height() const {
  return menu_bar_->isHidden() ? 0 : menu_bar_->sizeHint().height();
}

void MainDialog::layout_menu_bar() {
  const int menu_height = menu_bar_height();
  menu_bar_->setGeometry(0, 0, width(), menu_height);
  client_->setGeometry(0, menu_height, width(), height() - menu_height);
}

void MainDialog::relayout_menu_bar() {
  const int change = menu_bar_height() - client_->y();
  if (change != 0 && !full_screen_) resize(width(), height() + change);
  layout_menu_bar();
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (!widget || widget->window() != this) break;
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape) {
        if (full_screen_) toggle_full_screen();
        return true;
      }
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
      break;
    }
    case QEvent::MouseButtonDblClick:
      if (watched == control(kVideoArea) &&
          static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        toggle_full_screen();
      }
      break;
    case QEvent::MouseButtonRelease:
      if (watched->parent() == client_ &&
          static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const int id = control_id(watched);
        for (int view : kSingleAndCompareViews) {
          if (id == view) run_command(id);
        }
      }
      break;
    case QEvent::Resize:
      if (watched == client_) apply_layout();
      if (watched == control(kVideoArea)) place_state_line();
      break;
    case QEvent::Move:
      if (watched == client_ || watched == control(kVideoArea)) place_state_line();
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace scopemark
