#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/profile_file.h"

namespace scopemark {

inline constexpr char kStringSection[] = "String";

// Keys of the texts the program shows, besides the menu keys (kMenuLabels) and the dialog
// caption keys "IDD<template>_<control id>".
namespace text_key {
inline constexpr char kBrightness[] = "IDS_BRIGHTNESS";
inline constexpr char kContrast[] = "IDS_CONTRAST";
inline constexpr char kSaturation[] = "IDS_SATURATION";
inline constexpr char kHue[] = "IDS_HUE";
inline constexpr char kTipSnap[] = "IDS_TIP_SNAP";
inline constexpr char kTipDelete[] = "IDS_TIP_DELETE";
inline constexpr char kTipCompare[] = "IDS_TIP_COMPARE";
inline constexpr char kTipFullScreen[] = "IDS_TIP_FULLSCREEN";
inline constexpr char kTabPicture[] = "IDS_TAB_PICTURE";
// Connection states.
inline constexpr char kStateConnecting[] = "IDS_STATE_CONNECTING";
inline constexpr char kStateLive[] = "IDS_STATE_LIVE";
inline constexpr char kStateFrozen[] = "IDS_STATE_FROZEN";
inline constexpr char kStateReconnecting[] = "IDS_STATE_RECONNECTING";
inline constexpr char kStateNoCamera[] = "IDS_STATE_NO_CAMERA";
inline constexpr char kStateStill[] = "IDS_STATE_STILL";
// About box; kAboutVersion holds %1 for the version.
inline constexpr char kAboutMenu[] = "IDS_ABOUT_MENU";
inline constexpr char kAboutTitle[] = "IDS_ABOUT_TITLE";
inline constexpr char kAboutVersion[] = "IDS_ABOUT_VERSION";
inline constexpr char kAboutText[] = "IDS_ABOUT_TEXT";
inline constexpr char kButtonOk[] = "IDS_BUTTON_OK";
inline constexpr char kButtonCancel[] = "IDS_BUTTON_CANCEL";
// Record dialog.
inline constexpr char kRecordTitle[] = "IDS_RECORD_TITLE";
inline constexpr char kRecordId[] = "IDS_RECORD_ID";
inline constexpr char kRecordName[] = "IDS_RECORD_NAME";
inline constexpr char kRecordSex[] = "IDS_RECORD_SEX";
inline constexpr char kRecordAge[] = "IDS_RECORD_AGE";
inline constexpr char kRecordEnter[] = "IDS_RECORD_ENTER";
inline constexpr char kRecordAdd[] = "IDS_RECORD_ADD";
inline constexpr char kRecordSearch[] = "IDS_RECORD_SEARCH";
inline constexpr char kRecordDelete[] = "IDS_RECORD_DELETE";
// Message boxes: captions, then texts; kMessageLanguageMissing holds %1 for the language.
inline constexpr char kCaptionError[] = "IDS_CAPTION_ERROR";
inline constexpr char kCaptionSorry[] = "IDS_CAPTION_SORRY";
inline constexpr char kCaptionOk[] = "IDS_CAPTION_OK";
inline constexpr char kMessageNoDevice[] = "IDS_MSG_NO_DEVICE";
inline constexpr char kMessageSocketError[] = "IDS_MSG_SOCKET_ERROR";
inline constexpr char kMessageBindError[] = "IDS_MSG_BIND_ERROR";
inline constexpr char kMessageAdjustError[] = "IDS_MSG_ADJUST_ERROR";
inline constexpr char kMessageDecodeError[] = "IDS_MSG_DECODE_ERROR";
inline constexpr char kMessageCompare[] = "IDS_MSG_COMPARE";
inline constexpr char kMessageEnterNumber[] = "IDS_MSG_ENTER_NUMBER";
inline constexpr char kMessagePressAdd[] = "IDS_MSG_PRESS_ADD";
inline constexpr char kMessageUserExists[] = "IDS_MSG_USER_EXISTS";
inline constexpr char kMessageNoUser[] = "IDS_MSG_NO_USER";
inline constexpr char kMessageDeleted[] = "IDS_MSG_DELETED";
inline constexpr char kMessageDeleteFailed[] = "IDS_MSG_DELETE_FAILED";
inline constexpr char kMessageLanguageMissing[] = "IDS_MSG_LANGUAGE_MISSING";
// Safe deletions and whole-picture views: %1 is a file name, a record number or a count.
inline constexpr char kMessageTrashPicture[] = "IDS_MSG_TRASH_PICTURE";
inline constexpr char kMessageTrashPictures[] = "IDS_MSG_TRASH_PICTURES";
inline constexpr char kMessageErasePicture[] = "IDS_MSG_ERASE_PICTURE";
inline constexpr char kMessageErasePictures[] = "IDS_MSG_ERASE_PICTURES";
inline constexpr char kMessageTrashRecord[] = "IDS_MSG_TRASH_RECORD";
inline constexpr char kMessageEraseRecord[] = "IDS_MSG_ERASE_RECORD";
inline constexpr char kMessageRecordPictures[] = "IDS_MSG_RECORD_PICTURES";
inline constexpr char kMessageNotRemoved[] = "IDS_MSG_NOT_REMOVED";
inline constexpr char kMessageCannotOpen[] = "IDS_MSG_CANNOT_OPEN";
inline constexpr char kMessageRecordIdRule[] = "IDS_MSG_RECORD_ID_RULE";
// %1 is the folder.
inline constexpr char kMessageCannotCreateFolder[] = "IDS_MSG_CANNOT_CREATE_FOLDER";
// Pictures safe: capture without a live picture, a snapshot or a camera picture (%1 its file
// name) not saved, then the reason.
inline constexpr char kMessageNoLivePicture[] = "IDS_MSG_NO_LIVE_PICTURE";
inline constexpr char kMessageSnapshotNotSaved[] = "IDS_MSG_SNAPSHOT_NOT_SAVED";
inline constexpr char kMessagePictureNotSaved[] = "IDS_MSG_PICTURE_NOT_SAVED";
inline constexpr char kMessageDiskFull[] = "IDS_MSG_DISK_FULL";
inline constexpr char kMessageFolderMissing[] = "IDS_MSG_FOLDER_MISSING";
inline constexpr char kMessageNotAllowed[] = "IDS_MSG_NOT_ALLOWED";
inline constexpr char kMessageWriteFailed[] = "IDS_MSG_WRITE_FAILED";
inline constexpr char kMessageTransferCut[] = "IDS_MSG_TRANSFER_CUT";
inline constexpr char kMessageUnreadablePicture[] = "IDS_MSG_UNREADABLE_PICTURE";
// Settings that cannot be read at start-up; %1 is the file.
inline constexpr char kMessageSettingsUnreadable[] = "IDS_MSG_SETTINGS_UNREADABLE";
// Live camera: connected, but no picture comes.
inline constexpr char kStateNoPicture[] = "IDS_STATE_NO_PICTURE";
// Measuring: the tool menu, the calibration dialog, export; %1 is a file name or a length.
inline constexpr char kMeasureButton[] = "IDS_MEASURE_BUTTON";
inline constexpr char kMeasureFreeze[] = "IDS_MEASURE_FREEZE";
inline constexpr char kMeasureCalibrate[] = "IDS_MEASURE_CALIBRATE";
inline constexpr char kMeasureNoTool[] = "IDS_MEASURE_NO_TOOL";
inline constexpr char kMeasureLine[] = "IDS_MEASURE_LINE";
inline constexpr char kMeasurePolyline[] = "IDS_MEASURE_POLYLINE";
inline constexpr char kMeasureCircle[] = "IDS_MEASURE_CIRCLE";
inline constexpr char kMeasureAngle[] = "IDS_MEASURE_ANGLE";
inline constexpr char kMeasureDelete[] = "IDS_MEASURE_DELETE";
inline constexpr char kMeasureCalibrations[] = "IDS_MEASURE_CALIBRATIONS";
inline constexpr char kMeasureNoCalibration[] = "IDS_MEASURE_NO_CALIBRATION";
inline constexpr char kMeasureDeleteCalibration[] = "IDS_MEASURE_DELETE_CALIBRATION";
inline constexpr char kMeasureScaleBar[] = "IDS_MEASURE_SCALE_BAR";
inline constexpr char kMeasureExportPicture[] = "IDS_MEASURE_EXPORT_PICTURE";
inline constexpr char kMeasureExportCsv[] = "IDS_MEASURE_EXPORT_CSV";
inline constexpr char kMeasurePngFiles[] = "IDS_MEASURE_PNG_FILES";
inline constexpr char kMeasureCsvFiles[] = "IDS_MEASURE_CSV_FILES";
inline constexpr char kMeasureCalibrationTitle[] = "IDS_MEASURE_CAL_TITLE";
inline constexpr char kMeasureCalibrationLine[] = "IDS_MEASURE_CAL_LINE";
inline constexpr char kMeasureCalibrationLength[] = "IDS_MEASURE_CAL_LENGTH";
inline constexpr char kMeasureCalibrationName[] = "IDS_MEASURE_CAL_NAME";
inline constexpr char kMessageCalibrationRefused[] = "IDS_MSG_CALIBRATION_REFUSED";
inline constexpr char kMessageNeedsPicture[] = "IDS_MSG_MEASURE_NEEDS_PICTURE";
inline constexpr char kMessageMeasurementsNotSaved[] = "IDS_MSG_MEASUREMENTS_NOT_SAVED";
inline constexpr char kMessageMeasurementsUnreadable[] = "IDS_MSG_MEASUREMENTS_UNREADABLE";
inline constexpr char kMessageExportFailed[] = "IDS_MSG_EXPORT_FAILED";
}  // namespace text_key

// Every text of the user interface in one language, as UTF-8. A key comes from the language
// file's [String] section (code page 936, or UTF-8 after a byte-order mark); when the file
// lacks it or leaves it empty, from the shipped file of the language the file names; then
// from the shipped English file. The two characters backslash and n become a line feed.
// A built-in file missing from the language folder reads as built in (read_language_file).
class UiTexts {
 public:
  // English only.
  UiTexts();
  explicit UiTexts(const std::string& language_file);

  // The text of `key`; empty only for a key that no shipped file has.
  std::string text(std::string_view key) const;
  // The text with %1 replaced by `argument`.
  std::string format(std::string_view key, std::string_view argument) const;
  // A message or message box caption given by its English text (as the camera link, the
  // decode thread and the session word them) in this language; any other text as it is.
  std::string message(std::string_view english) const;
  // [Setting] Language of the language file; empty without one.
  const std::string& language() const { return language_; }

 private:
  std::string language_;
  std::vector<std::shared_ptr<const ProfileSection>> sources_;  // first match wins
};

// The texts of the language in use, for code that shows a text and has no UiTexts of its own
// (the About box, the album, message boxes). English until the first set_current_texts.
// Both may be called from any thread.
std::shared_ptr<const UiTexts> current_texts();
void set_current_texts(UiTexts texts);

}  // namespace scopemark
