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

void set_tooltip(MainDialog& dialog, int id, const std::string& text) {
  if (QWidget* button = dialog.control(id)) button->setToolTip(QString::fromStdString(text));
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
  for (const MenuText& entry : menu_texts(UiTexts(language_file))) {
    const QString text = QString::fromStdString(entry.text);
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
  const DialogCaptions captions = dialog_captions(UiTexts(language_file), template_number, ids);
  if (!captions.title.empty()) dialog.setWindowTitle(QString::fromStdString(captions.title));
  for (qsizetype i = 0; i < children.size(); ++i) {
    const std::string& text = captions.control_texts[static_cast<std::size_t>(i)];
    if (!text.empty()) set_control_text(children[i], QString::fromStdString(text));
  }
}

void set_button_tooltips(MainDialog& dialog, const std::string& language_file) {
  const ButtonTooltips texts = button_tooltips(UiTexts(language_file));
  set_tooltip(dialog, kSnapshotButton, texts.snapshot);
  set_tooltip(dialog, kDeleteButton, texts.remove);
  set_tooltip(dialog, kCompareButton, texts.compare);
  set_tooltip(dialog, kSecondCompareButton, texts.compare);
  set_tooltip(dialog, kFullScreenButton, texts.full_screen);
  if (auto* tab = qobject_cast<QTabBar*>(dialog.control(kPictureTab))) {
    while (tab->count() > 0) tab->removeTab(0);
    tab->insertTab(0, QString::fromStdString(texts.tab));
  }
}

void fill_language_combo(MainDialog& dialog, const ViewerApp& app) {
  auto* combo = qobject_cast<QComboBox*>(dialog.control(MainDialog::kLanguageCombo));
  if (!combo) return;
  const LanguageCombo languages = fill_language_combo(app.program_directory(), app.settings_path());
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
  set_button_tooltips(dialog, app.language_file());
}

void change_language(MainDialog& dialog, ViewerApp& app, const std::string& name) {
  select_and_relabel(dialog, app, name);
  set_button_tooltips(dialog, app.language_file());
}

void select_combo_language(MainDialog& dialog, ViewerApp& app, const std::string& shown_name) {
  // The combo shows the names converted; the settings and files hold their original bytes.
  std::string name = shown_name;
  if (auto* combo = qobject_cast<QComboBox*>(dialog.control(MainDialog::kLanguageCombo))) {
    const int index = combo->findText(QString::fromStdString(shown_name), Qt::MatchExactly);
    if (index >= 0) name = combo->itemData(index).toByteArray().toStdString();
  }
  select_and_relabel(dialog, app, name);
}

void install_language_hooks(MainDialogHooks& hooks, ViewerApp& app) {
  hooks.apply_language = [&app](MainDialog& dialog) { apply_language(dialog, app); };
  hooks.change_language = [&app](MainDialog& dialog, const std::string& name) {
    change_language(dialog, app, name);
  };
  hooks.select_combo_language = [&app](MainDialog& dialog, const std::string& name) {
    select_combo_language(dialog, app, name);
  };
}

}  // namespace scopemark
