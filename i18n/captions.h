#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/control_ids.h"
#include "i18n/language.h"

namespace scopemark {

inline constexpr char kStringSection[] = "String";
inline constexpr char kNotFound[] = "Not found";
inline constexpr int kMainDialogTemplate = 102;

// The [String] value of `key` in the language file, "Not found" when missing; the two
// characters backslash and n become a line feed.
std::string load_string(const std::string& language_file, const std::string& key);

// Texts of a dialog made from template `template_number`: the title and one text per
// child control id, in the order given. An empty text means: leave it as it is.
struct DialogCaptions {
  std::string title;
  std::vector<std::string> control_texts;
};

DialogCaptions dialog_captions(const std::string& language_file, int template_number,
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

// The text of every item of kMenuLabels, in its order, "Not found" included.
std::vector<MenuText> menu_texts(const std::string& language_file);

// Tooltips of the toolbar buttons and the text of the tab control, code page 936 bytes.
struct ButtonTooltips {
  std::string_view snapshot;     // 1004
  std::string_view remove;       // 1005
  std::string_view compare;      // 1006 and 1039
  std::string_view full_screen;  // 1007
  std::string_view tab;          // the single item of tab control 1008
};

// The built-in texts for one of the eight language names (exact match), or nullopt.
std::optional<ButtonTooltips> find_button_tooltips(std::string_view language_name);

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

// Everything the main window shows in its language: menu texts, title and control texts of
// template 102, and the tooltips (nullopt: leave them as they are).
struct WindowTexts {
  std::vector<MenuText> menu;
  DialogCaptions captions;
  std::optional<ButtonTooltips> tooltips;
};

WindowTexts window_texts(const std::string& language_file, const std::vector<int>& control_ids,
                         std::string_view tooltip_language);

// Switching the language: select_language with `name`, then the texts of the newly chosen
// file with the tooltips of `name` itself (not of the language fallen back to).
struct LanguageChange {
  LanguageSelection selection;
  WindowTexts texts;
};

LanguageChange change_language(const std::string& program_directory,
                               const std::string& settings_path, const std::string& name,
                               const std::vector<int>& control_ids);

}  // namespace scopemark
