#include "app/language_wiring.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>

#include <array>
#include <vector>

#include "app/viewer_app.h"
#include "controls/dialog_units.h"
#include "controls/message_box.h"
#include "i18n/captions.h"
#include "i18n/code_page.h"
#include "i18n/language.h"

namespace scopemark {
namespace {

constexpr int kNoControlId = -1;

// What the platform calls a window's text: the visible text where the control has one,
// else its name.
void set_control_text(QWidget* control, const QString& text) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(text);
  } else {
    control->setAccessibleName(text);
  }
}

void set_tooltip(MainDialog& dialog, int id, const std::string& text) {
  if (QWidget* button = dialog.control(id)) button->setToolTip(QString::fromStdString(text));
}

// The four slider labels, the only controls without an id, in template order.
QList<QLabel*> labels_without_id(const MainDialog& dialog) {
  QList<QLabel*> labels;
  for (QLabel* label : dialog.client_area()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    if (control_id(label) == kNoControlId) labels.push_back(label);
  }
  return labels;
}

// Words longer than the template's get a smaller font, down to this size.
constexpr int kSmallestPointSize = 6;
constexpr int kButtonMargin = 6;

// Sets the text with the largest font, from the window's own size down, in which it fits the
// control's width.
void set_fitting_text(QWidget* control, const QString& text, int margin) {
  QFont font = control->parentWidget()->font();
  while (font.pointSize() > kSmallestPointSize &&
         QFontMetrics(font).horizontalAdvance(text) + margin > control->width()) {
    font.setPointSize(font.pointSize() - 1);
  }
  control->setFont(font);
  set_control_text(control, text);
}

// Every text of the window from the language file.
void apply_window_texts(MainDialog& dialog, const std::string& language_file) {
  const UiTexts texts(language_file);
  relabel_menu(dialog, texts);
  apply_dialog_captions(dialog, texts, kMainDialogTemplate);
  set_slider_labels(dialog, texts);
  set_button_tooltips(dialog, texts);
  dialog.relayout_menu_bar();
  dialog.update();
}

}  // namespace

QString from_cp936(std::string_view text) {
  return QString::fromStdString(cp936_to_utf8(text));
}

void relabel_menu(MainDialog& dialog, const UiTexts& texts) {
  for (const MenuText& entry : menu_texts(texts)) {
    const QString text = QString::fromStdString(entry.text);
    if (entry.item.by == MenuItemAddress::By::position) {
      if (QMenu* menu = dialog.top_menu(entry.item.value)) menu->setTitle(text);
    } else if (QAction* command = dialog.menu_command(entry.item.value)) {
      command->setText(text);
    }
  }
}

void apply_dialog_captions(MainDialog& dialog, const UiTexts& texts, int template_number) {
  const QList<QWidget*> children =
      dialog.client_area()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  std::vector<int> ids;
  for (const QWidget* child : children) ids.push_back(control_id(child));
  const DialogCaptions captions = dialog_captions(texts, template_number, ids);
  if (!captions.title.empty()) dialog.setWindowTitle(QString::fromStdString(captions.title));
  for (qsizetype i = 0; i < children.size(); ++i) {
    const std::string& text = captions.control_texts[static_cast<std::size_t>(i)];
    if (text.empty()) continue;
    if (qobject_cast<QPushButton*>(children[i])) {
      set_fitting_text(children[i], QString::fromStdString(text), kButtonMargin);
    } else {
      set_control_text(children[i], QString::fromStdString(text));
    }
  }
}

void set_slider_labels(MainDialog& dialog, const UiTexts& texts) {
  const std::array<std::string, 4> texts_of_labels = slider_labels(texts);
  const QList<QLabel*> labels = labels_without_id(dialog);
  for (std::size_t i = 0; i < texts_of_labels.size() && i < std::size_t(labels.size()); ++i) {
    set_fitting_text(labels[qsizetype(i)], QString::fromStdString(texts_of_labels[i]), 0);
  }
}

void set_button_tooltips(MainDialog& dialog, const UiTexts& texts) {
  const ButtonTooltips tips = button_tooltips(texts);
  set_tooltip(dialog, kCaptureButton, tips.snapshot);
  set_tooltip(dialog, kDeleteButton, tips.remove);
  set_tooltip(dialog, kCompareHidden, tips.compare);
  set_tooltip(dialog, kCompareButton, tips.compare);
  set_tooltip(dialog, kFullScreenButton, tips.full_screen);
  if (auto* tab = qobject_cast<QTabBar*>(dialog.control(kTab))) {
    while (tab->count() > 0) tab->removeTab(0);
    tab->insertTab(0, QString::fromStdString(tips.tab));
  }
}

void fill_language_combo(MainDialog& dialog, const ViewerApp& app) {
  QComboBox* combo = dialog.language_combo();
  if (!combo) return;
  const LanguageCombo languages =
      fill_language_combo(app.language_directory(), app.settings_path());
  combo->clear();
  for (const std::string& name : languages.entries) {
    combo->addItem(from_cp936(name), QByteArray::fromStdString(name));
  }
  combo->setCurrentIndex(languages.selected);
}

void apply_language(MainDialog& dialog, const ViewerApp& app) {
  fill_language_combo(dialog, app);
  dialog.load_menu();
  apply_window_texts(dialog, app.language_file());
}

void change_language(MainDialog& dialog, ViewerApp& app, const std::string& name) {
  const UiTexts current(app.language_file());
  const LanguageChange change =
      change_language(app.language_directory(), app.settings_path(), name, current);
  if (!change.selection) {
    show_message_box(change.message, current.text(text_key::kCaptionSorry), MessageIcon::Warning,
                     &dialog);
    return;
  }
  app.select_language(name);
  apply_window_texts(dialog, app.language_file());
}

void select_combo_language(MainDialog& dialog, ViewerApp& app, const std::string& shown_name) {
  // The combo shows the names converted; the settings and files hold their original bytes.
  std::string name = shown_name;
  if (QComboBox* combo = dialog.language_combo()) {
    const int index = combo->findText(QString::fromStdString(shown_name), Qt::MatchExactly);
    if (index >= 0) name = combo->itemData(index).toByteArray().toStdString();
  }
  app.select_language(name);
  apply_window_texts(dialog, app.language_file());
}

}  // namespace scopemark
