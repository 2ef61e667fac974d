#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

namespace scopemark {

// Asks for the record number before the main window opens (template 158). Enter with an
// existing record accepts; Cancel, Esc and closing reject. Add, Search and Delete keep it open.
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

  explicit RecordDialog(std::string program_directory, QWidget* parent = nullptr);

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

  std::string program_directory_;
  std::string record_id_;
  std::string record_folder_;
  QLineEdit* id_edit_ = nullptr;
};

}  // namespace scopemark
