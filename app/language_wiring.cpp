#include "app/language_wiring.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>

#include <vector>

#include "app/viewer_app.h"
#include "controls/dialog_units.h"
#include "i18n/captions.h"
#include "i18n/code_page.h"
#include "i18n/language.h"

namespace scopemark {
namespace {

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

void set_tooltip(MainDialog& dialog, int id, std::string_view text) {
  if (QWidget* button = dialog.control(id)) button->setToolTip(from_cp936(text));
}

// Steps 1 to 4 of a language change.
void select_and_relabel(MainDialog& dialog, ViewerApp& app, const std::string& name) {
  app.select_language(name);
  relabel_menu(dialog, app.language_file());
  apply_dialog_captions(dialog, app.language_file(), kMainDialogTemplate);
  dialog.update();
}

}  // namespace

QString from_cp936(std::string_view text) {
  return QString::fromStdString(cp936_to_utf8(text));
}

void relabel_menu(MainDialog& dialog, const std::string& language_file) {
  for (const MenuText& entry : menu_texts(language_file)) {
    const QString text = from_cp936(entry.text);
    if (entry.item.by == MenuItemAddress::By::position) {
      if (QMenu* menu = dialog.top_menu(entry.item.value)) menu->setTitle(text);
    } else if (QAction* command = dialog.menu_command(entry.item.value)) {
      command->setText(text);
    }
  }
}

void apply_dialog_captions(MainDialog& dialog, const std::string& language_file,
                           int template_number) {
  const QList<QWidget*> children =
      dialog.client_area()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  std::vector<int> ids;
  for (const QWidget* child : children) ids.push_back(control_id(child));
  const DialogCaptions captions = dialog_captions(language_file, template_number, ids);
  if (!captions.title.empty()) dialog.setWindowTitle(from_cp936(captions.title));
  for (qsizetype i = 0; i < children.size(); ++i) {
    const std::string& text = captions.control_texts[static_cast<std::size_t>(i)];
    if (!text.empty()) set_control_text(children[i], from_cp936(text));
  }
}

void set_button_tooltips(MainDialog& dialog, std::string_view language_name) {
  const std::optional<ButtonTooltips> texts = find_button_tooltips(language_name);
  if (!texts) return;
  set_tooltip(dialog, kCaptureButton, texts->snapshot);
  set_tooltip(dialog, kDeleteButton, texts->remove);
  set_tooltip(dialog, kCompareHidden, texts->compare);
  set_tooltip(dialog, kCompareButton, texts->compare);
  set_tooltip(dialog, kFullScreenButton, texts->full_screen);
  if (auto* tab = qobject_cast<QTabBar*>(dialog.control(kTab))) {
    while (tab->count() > 0) tab->removeTab(0);
    tab->insertTab(0, from_cp936(texts->tab));
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
  relabel_menu(dialog, app.language_file());
  apply_dialog_captions(dialog, app.language_file(), kMainDialogTemplate);
  set_button_tooltips(dialog, app.language_name());
}

void change_language(MainDialog& dialog, ViewerApp& app, const std::string& name) {
  select_and_relabel(dialog, app, name);
  set_button_tooltips(dialog, name);
}

void select_combo_language(MainDialog& dialog, ViewerApp& app, const std::string& shown_name) {
  // The combo shows the names converted; the settings and files hold their original bytes.
  std::string name = shown_name;
  if (QComboBox* combo = dialog.language_combo()) {
    const int index = combo->findText(QString::fromStdString(shown_name), Qt::MatchExactly);
    if (index >= 0) name = combo->itemData(index).toByteArray().toStdString();
  }
  select_and_relabel(dialog, app, name);
}

}  // namespace scopemark
