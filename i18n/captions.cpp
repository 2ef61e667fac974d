#include "i18n/captions.h"

#include <algorithm>

#include "i18n/profile_file.h"

namespace scopemark {

namespace {

using By = MenuItemAddress::By;

std::string dialog_key(int template_number, const std::string& item) {
  return "IDD" + std::to_string(template_number) + "_" + item;
}

}  // namespace

const std::array<MenuLabel, 16> kMenuLabels = {{
    {"IDS_MENU_FILE", {By::position, 0}},
    {"IDS_MENU_EXIT", {By::command, 32789}},
    {"IDS_MENU_EDIT", {By::position, 1}},
    {"IDS_MENU_EDIT_FULLSCREEN", {By::command, 32816}},
    {"IDS_MENU_EDIT_CAPTURE", {By::command, 32817}},
    {"IDS_MENU_LANGUAGE", {By::position, 2}},
    {"IDS_LANGUAGE_C", {By::command, 32801}},
    {"IDS_LANGUAGE_E", {By::command, 32802}},
    {"IDS_LANGUAGE_F", {By::command, 32803}},
    {"IDS_LANGUAGE_G", {By::command, 32804}},
    {"IDS_LANGUAGE_R", {By::command, 32805}},
    {"IDS_LANGUAGE_K", {By::command, 32806}},
    {"IDS_LANGUAGE_J", {By::command, 32808}},
    {"IDS_LANGUAGE_S", {By::command, 32810}},
    {"IDS_MENU_HELP", {By::position, 3}},
    {"IDS_HELP_ABOUT", {By::command, 32792}},
}};

const std::array<LanguageCommand, 8> kLanguageCommands = {{
    {32801, "Chinese", "Chinese"},
    {32802, "English", "English"},
    {32803, "French", "French"},
    {32804, "German", "German"},
    {32805, "Russian", "Russian"},
    {32806, "Korean", "Korean"},
    {32808, "Japenese", "Japanese"},
    {32810, "Spanish", "Spanish"},
}};

DialogCaptions dialog_captions(const UiTexts& texts, int template_number,
                               const std::vector<int>& control_ids) {
  DialogCaptions captions;
  captions.title = texts.text(dialog_key(template_number, "Title"));
  for (const int id : control_ids) {
    captions.control_texts.push_back(texts.text(dialog_key(template_number, std::to_string(id))));
  }
  return captions;
}

std::vector<MenuText> menu_texts(const UiTexts& texts) {
  std::vector<MenuText> menu;
  for (const MenuLabel& label : kMenuLabels) menu.push_back({label.item, texts.text(label.key)});
  return menu;
}

ButtonTooltips button_tooltips(const UiTexts& texts) {
  return {texts.text(text_key::kTipSnap), texts.text(text_key::kTipDelete),
          texts.text(text_key::kTipCompare), texts.text(text_key::kTipFullScreen),
          texts.text(text_key::kTabPicture)};
}

std::array<std::string, 4> slider_labels(const UiTexts& texts) {
  return {texts.text(text_key::kBrightness), texts.text(text_key::kContrast),
          texts.text(text_key::kSaturation), texts.text(text_key::kHue)};
}

std::optional<std::string> language_for_command(int command_id) {
  const auto command =
      std::find_if(kLanguageCommands.begin(), kLanguageCommands.end(),
                   [command_id](const LanguageCommand& c) { return c.command_id == command_id; });
  if (command == kLanguageCommands.end()) return std::nullopt;
  return command->name;
}

std::string language_display_name(const UiTexts& texts, std::string_view name) {
  for (const LanguageCommand& command : kLanguageCommands) {
    if (command.name != name) continue;
    for (const MenuLabel& label : kMenuLabels) {
      if (label.item == MenuItemAddress{By::command, command.command_id}) {
        return texts.text(label.key);
      }
    }
  }
  return std::string(name);
}

WindowTexts window_texts(const UiTexts& texts, const std::vector<int>& control_ids) {
  return {menu_texts(texts), dialog_captions(texts, kMainDialogTemplate, control_ids),
          button_tooltips(texts), slider_labels(texts)};
}

LanguageChange change_language(const std::string& program_directory,
                               const std::string& settings_path, const std::string& name,
                               const UiTexts& current) {
  install_language_files(program_directory);
  const std::optional<std::string> file = find_language_file(program_directory, name);
  if (!file) {
    return {std::nullopt, current.format(text_key::kMessageLanguageMissing,
                                         language_display_name(current, name))};
  }
  profile_write_string(settings_path, kSettingSection, kLanguageKey, name);
  return {LanguageSelection{name, *file}, {}};
}

}  // namespace scopemark
