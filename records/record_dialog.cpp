#include "records/record_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

#include "controls/dialog_units.h"
#include "controls/message_box.h"
#include "records/record_folder.h"

namespace scopemark {
namespace {

constexpr int kNoId = -1;
constexpr int kDialogWidth = 210;
constexpr int kDialogHeight = 82;
constexpr int kDialogPointSize = 10;

}  // namespace

RecordDialog::RecordDialog(std::string program_directory, QWidget* parent)
    : QDialog(parent), program_directory_(std::move(program_directory)) {
  setWindowTitle(QStringLiteral("Record"));
  QFont dialog_font = font();
  dialog_font.setPointSize(kDialogPointSize);
  setFont(dialog_font);
  build_controls();
  id_edit_->setText(QStringLiteral("10000"));
}

void RecordDialog::build_controls() {
  const DialogBaseUnits units = dialog_base_units(font());
  setFixedSize(dialog_rect(units, 0, 0, kDialogWidth, kDialogHeight).size());

  auto add_label = [&](const char* text, int x, int y, int width, bool visible) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    place_control(label, units, kNoId, x, y, width, 8);
    label->setVisible(visible);
  };
  auto add_edit = [&](int id, int y, bool enabled) {
    auto* edit = new QLineEdit(this);
    place_control(edit, units, id, 79, y, 72, 14);
    edit->setVisible(enabled);
    edit->setEnabled(enabled);
    return edit;
  };
  auto add_button = [&](int id, const char* text, int x, int y, int width, int height) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    place_control(button, units, id, x, y, width, height);
    button->setAutoDefault(false);
    return button;
  };

  QPushButton* enter = add_button(kEnter, "Enter", 159, 56, 42, 14);
  enter->setDefault(true);
  QPushButton* cancel = add_button(kCancel, "取消", 7, 2, 8, 11);
  cancel->hide();
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  add_label("ID:", 47, 9, 10, true);
  id_edit_ = add_edit(kIdEdit, 8, true);
  add_label("Name:", 35, 25, 22, true);
  add_edit(kNameEdit, 24, true);
  add_label("Sex:", 41, 43, 16, false);
  add_edit(kSexEdit, 40, false);
  add_label("Age:", 42, 58, 15, false);
  add_edit(kAgeEdit, 56, false);

  add_button(kAdd, "Add", 18, 56, 42, 14);
  add_button(kSearch, "Search", 65, 56, 42, 14);
  add_button(kDelete, "Delete", 112, 56, 42, 14);
  for (int id : {kEnter, kAdd, kSearch, kDelete}) {
    connect(static_cast<QPushButton*>(control(id)), &QPushButton::clicked, this,
            [this, id] { run_button(id); });
  }
  id_edit_->setFocus();
}

QWidget* RecordDialog::control(int id) const {
  return find_control(this, id);
}

bool RecordDialog::read_record_id(int button, std::string& id) {
  id = id_edit_->text().toStdString();
  if (is_valid_record_id(id)) return true;
  if (button == kDelete) {
    show_message_box("No. :please input number!", "sorry", MessageIcon::Information);
  } else {
    show_message_box("No.  please input number!", "sorry", MessageIcon::Information, this);
  }
  return false;
}

void RecordDialog::run_button(int button) {
  std::string id;
  if (!read_record_id(button, id)) return;
  const RecordFolder record = RecordFolder::of_record(program_directory_, id);
  switch (button) {
    case kEnter:
      if (record.exists()) {
        record_folder_ = record.path().string();
        record_id_ = id;
        accept();
      } else {
        show_message_box("please press 'Add'", "sorry");
      }
      break;
    case kAdd:
      record.create();
      break;
    case kSearch:
      if (record.exists()) {
        show_message_box("user exist", "OK");
      } else {
        show_message_box("no user", "Sorry");
      }
      break;
    case kDelete:
      if (record.remove()) {
        show_message_box("Success!", "OK", MessageIcon::Information);
      } else {
        show_message_box("Delete failed", "Sorry", MessageIcon::Warning);
      }
      break;
  }
}

}  // namespace scopemark
