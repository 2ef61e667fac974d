#include "records/record_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "controls/dialog_units.h"
#include "i18n/language.h"
#include "records/temp_folder.h"
#include "records/user_removal.h"
#include "support/message_box_recorder.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

class RecordDialogTest : public ::testing::Test {
 protected:
  void type_id(const char* text) {
    static_cast<QLineEdit*>(dialog.control(RecordDialog::kIdEdit))
        ->setText(QString::fromUtf8(text));
  }
  void press(int id) { static_cast<QPushButton*>(dialog.control(id))->click(); }
  // Types text, presses button and returns the last message box it showed, after
  // `questions` questions answered with `confirm`.
  MessageBoxRequest press_with_message(int button, const char* text, std::size_t questions = 0,
                                       bool confirm = true) {
    testing::MessageBoxRecorder recorder;
    recorder.confirm = confirm;
    type_id(text);
    press(button);
    EXPECT_EQ(recorder.shown.size(), questions + 1);
    return recorder.shown.empty() ? MessageBoxRequest{} : recorder.shown.back();
  }
  fs::path record(const char* id) const { return folder.path() / id; }

  testing::TempFolder folder;
  RecordDialog dialog{folder.program_directory()};
};

TEST_F(RecordDialogTest, OpensWithTheTemplateControls) {
  EXPECT_EQ(static_cast<QLineEdit*>(dialog.control(RecordDialog::kIdEdit))->text(), "10000");
  for (int id : {RecordDialog::kEnter, RecordDialog::kAdd, RecordDialog::kSearch,
                 RecordDialog::kDelete, RecordDialog::kIdEdit, RecordDialog::kNameEdit}) {
    EXPECT_FALSE(dialog.control(id)->isHidden()) << id;
  }
  EXPECT_TRUE(dialog.control(RecordDialog::kCancel)->isHidden());
  for (int id : {RecordDialog::kSexEdit, RecordDialog::kAgeEdit}) {
    EXPECT_TRUE(dialog.control(id)->isHidden()) << id;
    EXPECT_FALSE(dialog.control(id)->isEnabled()) << id;
  }
  EXPECT_EQ(static_cast<QPushButton*>(dialog.control(RecordDialog::kEnter))->text(), "Enter");
  EXPECT_EQ(static_cast<QPushButton*>(dialog.control(RecordDialog::kCancel))->text(), "Cancel");
  EXPECT_TRUE(static_cast<QPushButton*>(dialog.control(RecordDialog::kEnter))->isDefault());

  const DialogBaseUnits units = dialog_base_units(dialog.font());
  EXPECT_EQ(dialog.size(), dialog_rect(units, 0, 0, 210, 82).size());
  EXPECT_EQ(dialog.control(RecordDialog::kDelete)->geometry(), dialog_rect(units, 112, 56, 42, 14));
  EXPECT_EQ(dialog.control(RecordDialog::kIdEdit)->geometry(), dialog_rect(units, 79, 8, 72, 14));
  QStringList visible_labels;
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (!label->isHidden()) visible_labels << label->text();
  }
  EXPECT_EQ(visible_labels, QStringList({"ID:", "Name:"}));
}

TEST_F(RecordDialogTest, InvalidIdsAreRefusedByEveryButtonAndTheTextIsKept) {
  for (const char* text : {"12a", "", " 1"}) {
    for (int button : {RecordDialog::kEnter, RecordDialog::kAdd, RecordDialog::kSearch}) {
      const MessageBoxRequest box = press_with_message(button, text);
      EXPECT_EQ(box.text, "No.  please input number! (1 to 19 digits, 0-9 only)");
      EXPECT_EQ(box.caption, "Sorry");
      EXPECT_EQ(box.icon, MessageIcon::Information);
      EXPECT_EQ(box.owner, &dialog);
      EXPECT_EQ(static_cast<QLineEdit*>(dialog.control(RecordDialog::kIdEdit))->text(), text);
    }
    const MessageBoxRequest box = press_with_message(RecordDialog::kDelete, text);
    EXPECT_EQ(box.text, "No.  please input number! (1 to 19 digits, 0-9 only)");
    EXPECT_EQ(box.caption, "Sorry");
    EXPECT_EQ(box.icon, MessageIcon::Information);
    EXPECT_EQ(box.owner, nullptr);
  }
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(fs::is_empty(folder.path())) << "nothing was created";
}

TEST_F(RecordDialogTest, TheIdFieldTakesOnlyDigitsUpToTheSnapshotPathsLength) {
  auto* edit = static_cast<QLineEdit*>(dialog.control(RecordDialog::kIdEdit));
  edit->clear();
  QTest::keyClicks(edit, "12a-3 4");
  EXPECT_EQ(edit->text(), "1234");
  edit->clear();
  QTest::keyClicks(edit, std::string(60, '7').c_str());
  EXPECT_EQ(edit->text().toStdString(), std::string(19, '7'));
}

TEST_F(RecordDialogTest, EmptyIdNeverActsOnTheProgramFolder) {
  std::ofstream(folder.path() / "setting.ini") << "[Setting]\r\n";
  fs::create_directory(folder.path() / "Language");
  press_with_message(RecordDialog::kDelete, "");
  EXPECT_TRUE(fs::exists(folder.path() / "setting.ini"));
  EXPECT_TRUE(fs::exists(folder.path() / "Language"));
}

TEST_F(RecordDialogTest, AddSearchDeleteCycle) {
  MessageBoxRequest box = press_with_message(RecordDialog::kSearch, "42");
  EXPECT_EQ(box.text, "no user");
  EXPECT_EQ(box.caption, "Sorry");

  {
    testing::MessageBoxRecorder recorder;
    press(RecordDialog::kAdd);
    press(RecordDialog::kAdd);
    EXPECT_TRUE(recorder.shown.empty()) << "Add is silent, also on an existing record";
  }
  EXPECT_TRUE(fs::is_directory(record("42")));

  box = press_with_message(RecordDialog::kSearch, "42");
  EXPECT_EQ(box.text, "user exist");
  EXPECT_EQ(box.caption, "OK");
  EXPECT_EQ(box.owner, nullptr);

  fs::create_directories(record("42") / "sub");
  std::ofstream(record("42") / "20240101_120000.bmp") << "BM";
  std::ofstream(record("42") / "20240101_120001.bmp") << "BM";
  std::ofstream(record("42") / "sub" / "locked") << "x";
  fs::permissions(record("42") / "sub" / "locked", fs::perms::owner_read);
  {
    testing::MessageBoxRecorder recorder;
    recorder.confirm = false;
    press(RecordDialog::kDelete);
    ASSERT_EQ(recorder.shown.size(), 1u) << "Cancel shows nothing more";
    EXPECT_EQ(recorder.shown[0].text,
              "Delete record 42 with all its files permanently? This cannot be undone.\n"
              "Pictures in this record: 2");
    EXPECT_EQ(recorder.shown[0].confirm_button, "Delete");
    EXPECT_EQ(recorder.shown[0].cancel_button, "Cancel");
    EXPECT_EQ(recorder.shown[0].owner, &dialog);
    EXPECT_TRUE(fs::exists(record("42") / "20240101_120000.bmp"));
  }
  box = press_with_message(RecordDialog::kDelete, "42", 1);
  EXPECT_EQ(box.text, "Success!");
  EXPECT_EQ(box.caption, "OK");
  EXPECT_EQ(box.icon, MessageIcon::Information);
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_FALSE(fs::exists(record("42")));

  box = press_with_message(RecordDialog::kSearch, "42");
  EXPECT_EQ(box.text, "no user");
  box = press_with_message(RecordDialog::kDelete, "42");
  EXPECT_EQ(box.text, "no user") << "nothing to delete, nothing to ask";
  EXPECT_EQ(dialog.result(), QDialog::Rejected) << "Add, Search and Delete keep the dialog open";
}

fs::path trash_folder;

bool fake_trash(const fs::path& path) {
  std::error_code error;
  fs::rename(path, trash_folder / path.filename(), error);
  return !error;
}

TEST_F(RecordDialogTest, WithATrashDeleteSaysSoAndTheRecordLandsThere) {
  trash_folder = folder.path() / "trash";
  fs::create_directories(trash_folder);
  fs::create_directory(record("7"));
  std::ofstream(record("7") / "a.bmp") << "BM";
  const TrashFunction previous = set_trash_function(fake_trash);
  testing::MessageBoxRecorder recorder;
  type_id("7");
  press(RecordDialog::kDelete);
  set_trash_function(previous);
  ASSERT_EQ(recorder.shown.size(), 2u);
  EXPECT_EQ(recorder.shown[0].text,
            "Move record 7 with all its files to the trash?\nPictures in this record: 1");
  EXPECT_EQ(recorder.shown[1].text, "Success!");
  EXPECT_TRUE(fs::exists(trash_folder / "7" / "a.bmp"));
  EXPECT_FALSE(fs::exists(record("7")));
}

TEST_F(RecordDialogTest, DeleteThatLeavesTheRecordIsNotReportedAsSuccess) {
  std::ofstream(record("42")) << "not a folder";
  const MessageBoxRequest box = press_with_message(RecordDialog::kDelete, "42");
  EXPECT_EQ(box.text, "Delete failed");
  EXPECT_EQ(box.icon, MessageIcon::Warning);
  EXPECT_TRUE(fs::exists(record("42")));
}

TEST_F(RecordDialogTest, EnterNeedsAnExistingRecord) {
  const MessageBoxRequest box = press_with_message(RecordDialog::kEnter, "42");
  EXPECT_EQ(box.text, "please press 'Add'");
  EXPECT_EQ(box.caption, "Sorry");
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(dialog.record_id().empty());

  static_cast<QLineEdit*>(dialog.control(RecordDialog::kNameEdit))->setText("../../etc");
  press(RecordDialog::kAdd);
  testing::MessageBoxRecorder recorder;
  press(RecordDialog::kEnter);
  EXPECT_TRUE(recorder.shown.empty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.record_id(), "42");
  EXPECT_EQ(dialog.record_folder(), folder.program_directory() + "42");
}

TEST_F(RecordDialogTest, LeadingZerosNameTheirOwnRecord) {
  type_id("042");
  press(RecordDialog::kAdd);
  press(RecordDialog::kEnter);
  EXPECT_EQ(dialog.record_id(), "042");
  EXPECT_TRUE(fs::is_directory(record("042")));
  EXPECT_FALSE(fs::exists(record("42")));
}

TEST_F(RecordDialogTest, ReturnKeyEntersAndEscapeCancels) {
  fs::create_directory(record("7"));
  type_id("7");
  dialog.show();
  QTest::keyClick(dialog.control(RecordDialog::kIdEdit), Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  RecordDialog second(folder.program_directory());
  second.show();
  QTest::keyClick(&second, Qt::Key_Escape);
  EXPECT_EQ(second.result(), QDialog::Rejected);
  EXPECT_FALSE(second.isVisible());
  EXPECT_TRUE(second.record_id().empty());

  RecordDialog third(folder.program_directory());
  third.show();
  static_cast<QPushButton*>(third.control(RecordDialog::kCancel))->click();
  EXPECT_FALSE(third.isVisible());
  EXPECT_EQ(third.result(), QDialog::Rejected);
}

TEST(RecordDialogLanguage, CaptionsAndMessagesComeFromTheLanguageFile) {
  testing::TempFolder folder;
  install_language_files(folder.program_directory());
  RecordDialog dialog(folder.program_directory(),
                      UiTexts(*find_language_file(folder.program_directory(), "French")));
  EXPECT_EQ(dialog.windowTitle(), "Fiche");
  EXPECT_EQ(static_cast<QPushButton*>(dialog.control(RecordDialog::kEnter))->text(), "Ouvrir");
  EXPECT_EQ(static_cast<QPushButton*>(dialog.control(RecordDialog::kDelete))->text(), "Supprimer");
  const DialogBaseUnits units = dialog_base_units(dialog.font());
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    EXPECT_EQ(label->geometry().right(), dialog_rect(units, 2, 0, 55, 8).right());
  }
  testing::MessageBoxRecorder recorder;
  static_cast<QLineEdit*>(dialog.control(RecordDialog::kIdEdit))->setText("x");
  static_cast<QPushButton*>(dialog.control(RecordDialog::kSearch))->click();
  ASSERT_EQ(recorder.shown.size(), 1u);
  EXPECT_EQ(recorder.shown[0].text, "Saisissez un numéro de 1 à 19 chiffres (0-9 uniquement).");
  EXPECT_EQ(recorder.shown[0].caption, "Attention");
}

}  // namespace
}  // namespace scopemark
