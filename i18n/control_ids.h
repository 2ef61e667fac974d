// Control and command ids of the main window (dialog template 102, menu 129).
#pragma once

namespace scopemark {

enum ControlId : int {
  kVideoArea = 1000,
  kStartButton = 1002,
  kAutoButton = 1003,
  kCaptureButton = 1004,
  kDeleteButton = 1005,
  kCompareHidden = 1006,  // hidden twin of kCompareButton, same command
  kFullScreenButton = 1007,
  kTab = 1008,
  kAlbumList = 1010,
  kIndicator = 1013,
  kLanguageCombo = 1014,
  kBrightnessEdit = 1015,
  kPictureView = 1018,
  kCompareTopLeft = 1019,
  kCompareBottomLeft = 1020,
  kCompareBottomRight = 1021,
  kCompareTopRight = 1022,
  kBrightnessSlider = 1030,
  kContrastSlider = 1031,
  kSaturationSlider = 1032,
  kHueSlider = 1033,
  kContrastEdit = 1034,
  kSaturationEdit = 1035,
  kHueEdit = 1036,
  kSetButton = 1037,
  kGetButton = 1038,
  kCompareButton = 1039,
};

enum CommandId : int {
  kMenuExit = 32789,
  kMenuAbout = 32792,
  kMenuChinese = 32801,
  kMenuEnglish = 32802,
  kMenuFrench = 32803,
  kMenuGerman = 32804,
  kMenuRussian = 32805,
  kMenuKorean = 32806,
  kMenuJapanese = 32808,
  kMenuSpanish = 32810,
  kMenuFullScreen = 32816,
  kMenuCapture = 32817,
};

}  // namespace scopemark
