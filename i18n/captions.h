#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/control_ids.h"
#include "i18n/language.h"
#include "i18n/ui_texts.h"

namespace scopemark {

inline constexpr int kMainDialogTemplate = 102;

// Texts of a dialog made from template `template_number`: the title and one text per
// child control id, in the order given. An empty text means: leave it as it is.
struct DialogCaptions {
  std::string title;
  std::vector<std::string> control_texts;
};

DialogCaptions dialog_captions(const UiTexts& texts, int template_number,
                               const std::vector<int>& control_ids);

// An item of the main menu: a top-level item by its position, or a command item by its id
// inside the drop-down menus.
struct MenuItemAddress {
  enum class By { position, command };
  By by;
  int value;
  bool operator==(const MenuItemAddress&) const = default;
};

struct MenuLabel {
  const char* key;
  MenuItemAddress item;
};

extern const std::array<MenuLabel, 16> kMenuLabels;

struct MenuText {
  MenuItemAddress item;
  std::string text;
};

// The text of every item of kMenuLabels, in its order.
std::vector<MenuText> menu_texts(const UiTexts& texts);

// Tooltips of the toolbar buttons and the text of the tab control, code page 936 bytes.
struct ButtonTooltips {
  std::string snapshot;     // 1004
  std::string remove;       // 1005
  std::string compare;      // 1006 and 1039
  std::string full_screen;  // 1007
  std::string tab;          // the single item of tab control 1008
};

ButtonTooltips button_tooltips(const UiTexts& texts);

// Labels of the brightness, contrast, saturation and hue sliders.
std::array<std::string, 4> slider_labels(const UiTexts& texts);

// Commands of the Language menu and the language name each one selects.
inline constexpr int kFirstLanguageCommand = kMenuChinese;
inline constexpr int kLastLanguageCommand = kMenuSpanish;

struct LanguageCommand {
  int command_id;
  const char* menu_text;
  const char* name;
};

extern const std::array<LanguageCommand, 8> kLanguageCommands;

std::optional<std::string> language_for_command(int command_id);

// How a language is called in the texts' language: the text of its Language menu item, or
// the name itself for a language without one.
std::string language_display_name(const UiTexts& texts, std::string_view name);

// Everything the main window shows in its language: menu texts, title and control texts of
// template 102, tooltips and the labels of the brightness, contrast, saturation and hue
// sliders.
struct WindowTexts {
  std::vector<MenuText> menu;
  DialogCaptions captions;
  ButtonTooltips tooltips;
  std::array<std::string, 4> slider_labels;
};

WindowTexts window_texts(const UiTexts& texts, const std::vector<int>& control_ids);

// A language chosen from the menu. The shipped files are put back where missing first; then
// the file whose [Setting] Language is `name` is selected and the settings name it. Without
// such a file nothing changes: no selection, and a message in the current language.
struct LanguageChange {
  std::optional<LanguageSelection> selection;
  std::string message;
};

LanguageChange change_language(const std::string& program_directory,
                               const std::string& settings_path, const std::string& name,
                               const UiTexts& current);

}  // namespace scopemark
