#pragma once

#include <QDialog>

#include <string>

#include "controls/message_box.h"
#include "i18n/ui_texts.h"

class QLineEdit;

namespace scopemark {

class RecordFolder;

// Asks for the record number before the main window opens (template 158). Enter with an
// existing record accepts; Cancel, Esc and closing reject. Add, Search and Delete keep it open.
// The ID field takes 1 to max_record_id_length digits; Delete asks first, naming the record, its
// number of pictures and whether it goes to the trash or for good.
class RecordDialog : public QDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kEnter = 1,
    kCancel = 2,
    kIdEdit = 1015,
    kNameEdit = 1023,
    kSexEdit = 1024,
    kAgeEdit = 1025,
    kAdd = 1026,
    kDelete = 1027,
    kSearch = 1029,
  };

  // `texts`: the captions and messages in the user's language.
  explicit RecordDialog(std::string program_directory, UiTexts texts = UiTexts(),
                        QWidget* parent = nullptr);

  // The control with a template id (labels have -1), or nullptr.
  QWidget* control(int id) const;

  // Set when the dialog ended with OK.
  const std::string& record_id() const { return record_id_; }
  const std::string& record_folder() const { return record_folder_; }

 private:
  void build_controls();
  // The ID text when it is a valid record number; otherwise shows the refusal of that button.
  bool read_record_id(int button, std::string& id);
  void run_button(int button);
  void delete_record(const RecordFolder& record, const std::string& id);
  // A message box with the texts of the two keys; no owner unless given.
  void show_message(const char* key, const char* caption_key, MessageIcon icon = MessageIcon::None,
                    QWidget* owner = nullptr) const;

  std::string program_directory_;
  UiTexts texts_;
  std::string record_id_;
  std::string record_folder_;
  QLineEdit* id_edit_ = nullptr;
};

}  // namespace scopemark
