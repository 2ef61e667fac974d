#include "records/record_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <filesystem>
#include <string>
#include <utility>

#include "controls/dialog_units.h"
#include "controls/message_box.h"
#include "records/record_folder.h"
#include "records/user_removal.h"

namespace scopemark {
namespace {

constexpr int kNoId = -1;
constexpr int kDialogWidth = 210;
constexpr int kDialogHeight = 82;
constexpr int kDialogPointSize = 10;
// The labels end where the template's do, right-aligned, with room for longer words.
constexpr int kLabelLeft = 2;
constexpr int kLabelRight = 57;

QString text_of(const UiTexts& texts, const char* key) {
  return QString::fromStdString(texts.text(key));
}

}  // namespace

RecordDialog::RecordDialog(std::string program_directory, UiTexts texts, QWidget* parent)
    : QDialog(parent), program_directory_(std::move(program_directory)), texts_(std::move(texts)) {
  setWindowTitle(text_of(texts_, text_key::kRecordTitle));
  QFont dialog_font = font();
  dialog_font.setPointSize(kDialogPointSize);
  setFont(dialog_font);
  build_controls();
  id_edit_->setText(QStringLiteral("10000"));
}

void RecordDialog::build_controls() {
  const DialogBaseUnits units = dialog_base_units(font());
  setFixedSize(dialog_rect(units, 0, 0, kDialogWidth, kDialogHeight).size());

  auto add_label = [&](const char* key, int y, bool visible) {
    auto* label = new QLabel(text_of(texts_, key), this);
    place_control(label, units, kNoId, kLabelLeft, y, kLabelRight - kLabelLeft, 8);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setVisible(visible);
  };
  auto add_edit = [&](int id, int y, bool enabled) {
    auto* edit = new QLineEdit(this);
    place_control(edit, units, id, 79, y, 72, 14);
    edit->setVisible(enabled);
    edit->setEnabled(enabled);
    return edit;
  };
  auto add_button = [&](int id, const char* key, int x, int y, int width, int height) {
    auto* button = new QPushButton(text_of(texts_, key), this);
    place_control(button, units, id, x, y, width, height);
    button->setAutoDefault(false);
    return button;
  };

  QPushButton* enter = add_button(kEnter, text_key::kRecordEnter, 159, 56, 42, 14);
  enter->setDefault(true);
  QPushButton* cancel = add_button(kCancel, text_key::kButtonCancel, 7, 2, 8, 11);
  cancel->hide();
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  add_label(text_key::kRecordId, 9, true);
  id_edit_ = add_edit(kIdEdit, 8, true);
  id_edit_->setMaxLength(static_cast<int>(max_record_id_length));
  id_edit_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(max_record_id_length)), id_edit_));
  add_label(text_key::kRecordName, 25, true);
  add_edit(kNameEdit, 24, true);
  add_label(text_key::kRecordSex, 43, false);
  add_edit(kSexEdit, 40, false);
  add_label(text_key::kRecordAge, 58, false);
  add_edit(kAgeEdit, 56, false);

  add_button(kAdd, text_key::kRecordAdd, 18, 56, 42, 14);
  add_button(kSearch, text_key::kRecordSearch, 65, 56, 42, 14);
  add_button(kDelete, text_key::kRecordDelete, 112, 56, 42, 14);
  for (int id : {kEnter, kAdd, kSearch, kDelete}) {
    connect(static_cast<QPushButton*>(control(id)), &QPushButton::clicked, this,
            [this, id] { run_button(id); });
  }
  id_edit_->setFocus();
}

QWidget* RecordDialog::control(int id) const {
  return find_control(this, id);
}

void RecordDialog::show_message(const char* key, const char* caption_key, MessageIcon icon,
                                QWidget* owner) const {
  show_message_box(texts_.text(key), texts_.text(caption_key), icon, owner);
}

bool RecordDialog::read_record_id(int button, std::string& id) {
  id = id_edit_->text().toStdString();
  if (is_valid_record_id(id)) return true;
  show_message(text_key::kMessageRecordIdRule, text_key::kCaptionSorry, MessageIcon::Information,
               button == kDelete ? nullptr : this);
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
        show_message(text_key::kMessagePressAdd, text_key::kCaptionSorry);
      }
      break;
    case kAdd:
      record.create();
      break;
    case kSearch:
      if (record.exists()) {
        show_message(text_key::kMessageUserExists, text_key::kCaptionOk);
      } else {
        show_message(text_key::kMessageNoUser, text_key::kCaptionSorry);
      }
      break;
    case kDelete:
      delete_record(record, id);
      break;
  }
}

void RecordDialog::delete_record(const RecordFolder& record, const std::string& id) {
  if (!record.exists()) {
    show_message(text_key::kMessageNoUser, text_key::kCaptionSorry);
    return;
  }
  std::error_code ec;
  if (std::filesystem::is_directory(record.path(), ec)) {
    const std::string question =
        texts_.format(
            removals_go_to_trash() ? text_key::kMessageTrashRecord : text_key::kMessageEraseRecord,
            id) +
        "\n" +
        texts_.format(text_key::kMessageRecordPictures, std::to_string(record.pictures().size()));
    if (!ask_message_box(question, texts_.text(text_key::kRecordDelete),
                         texts_.text(text_key::kRecordDelete), texts_.text(text_key::kButtonCancel),
                         this)) {
      return;
    }
    if (remove_user_entry(record.path())) {
      show_message(text_key::kMessageDeleted, text_key::kCaptionOk, MessageIcon::Information);
      return;
    }
  }
  show_message(text_key::kMessageDeleteFailed, text_key::kCaptionSorry, MessageIcon::Warning);
}

}  // namespace scopemark
