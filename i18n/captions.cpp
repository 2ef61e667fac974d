#include "i18n/captions.h"

#include <algorithm>

#include "i18n/code_page.h"
#include "i18n/profile_file.h"

namespace scopemark {

namespace {

using By = MenuItemAddress::By;

struct TooltipRow {
  std::string_view name;
  ButtonTooltips texts;
};

// Code page 936 bytes; the comments show the texts.
constexpr TooltipRow kTooltipRows[] = {
    {"English", {"Snap", "Delete", "Compare", "FullScreen", "Picture"}},
    // 拍照 | 删除 | 对比 | 全屏 | 图片
    {"Chinese",
     {"\xC5\xC4\xD5\xD5", "\xC9\xBE\xB3\xFD", "\xB6\xD4\xB1\xC8", "\xC8\xAB\xC6\xC1",
      "\xCD\xBC\xC6\xAC"}},
    {"German", {"Foto", "Delete", "Im Vergleich", "Vollbildansicht", "Bild"}},
    // Capture d 'écran | Vidéo | Comparaison | Plein écran | Photo
    {"French",
     {"Capture d '\xA8\xA6"
      "cran",
      "Vid\xA8\xA6o", "Comparaison",
      "Plein \xA8\xA6"
      "cran",
      "Photo"}},
    // "снимок " | Удалить | контраст | "полный экран " | картина
    {"Russian",
     {"\xA7\xE3\xA7\xDF\xA7\xDA\xA7\xDE\xA7\xE0\xA7\xDC ",
      "\xA7\xB5\xA7\xD5\xA7\xD1\xA7\xDD\xA7\xDA\xA7\xE4\xA7\xEE",
      "\xA7\xDC\xA7\xE0\xA7\xDF\xA7\xE4\xA7\xE2\xA7\xD1\xA7\xE3\xA7\xE4",
      "\xA7\xE1\xA7\xE0\xA7\xDD\xA7\xDF\xA7\xED\xA7\xDB \xA7\xEF\xA7\xDC\xA7\xE2\xA7\xD1\xA7\xDF ",
      "\xA7\xDC\xA7\xD1\xA7\xE2\xA7\xE4\xA7\xDA\xA7\xDF\xA7\xD1"}},
    {"Korean", {"Snap", "Delete", "Compare", "FullScreen", "Picture"}},
    // 抓图 | 削除 | コントラスト | フルスクリーン | 画像
    {"Japanese",
     {"\xD7\xA5\xCD\xBC", "\xCF\xF7\xB3\xFD", "\xA5\xB3\xA5\xF3\xA5\xC8\xA5\xE9\xA5\xB9\xA5\xC8",
      "\xA5\xD5\xA5\xEB\xA5\xB9\xA5\xAF\xA5\xEA\xA9`\xA5\xF3", "\xBB\xAD\xCF\xF1"}},
    {"Spanish", {"Captura de pantalla", "Borrar", "Contraste", "Pantalla completa", "Fotos"}},
};

std::string string_value(const std::string& language_file, const std::string& key,
                         const std::string& default_value) {
  return profile_get_string(language_file, kStringSection, key, default_value, kProfileBufferSize);
}

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

std::string load_string(const std::string& language_file, const std::string& key) {
  const std::string value = string_value(language_file, key, kNotFound);
  std::string text;
  for (std::size_t pos = 0; pos < value.size();) {
    if (value[pos] == '\\' && pos + 1 < value.size() && value[pos + 1] == 'n') {
      text += '\n';
      pos += 2;
      continue;
    }
    const std::size_t length = cp936_char_length(value, pos);
    text.append(value, pos, length);
    pos += length;
  }
  return text;
}

DialogCaptions dialog_captions(const std::string& language_file, int template_number,
                               const std::vector<int>& control_ids) {
  DialogCaptions captions;
  captions.title = string_value(language_file, dialog_key(template_number, "Title"), "");
  for (const int id : control_ids) {
    captions.control_texts.push_back(
        string_value(language_file, dialog_key(template_number, std::to_string(id)), ""));
  }
  return captions;
}

std::vector<MenuText> menu_texts(const std::string& language_file) {
  std::vector<MenuText> texts;
  for (const MenuLabel& label : kMenuLabels) {
    texts.push_back({label.item, load_string(language_file, label.key)});
  }
  return texts;
}

std::optional<ButtonTooltips> find_button_tooltips(std::string_view language_name) {
  for (const TooltipRow& row : kTooltipRows) {
    if (row.name == language_name) return row.texts;
  }
  return std::nullopt;
}

std::optional<std::string> language_for_command(int command_id) {
  const auto command =
      std::find_if(kLanguageCommands.begin(), kLanguageCommands.end(),
                   [command_id](const LanguageCommand& c) { return c.command_id == command_id; });
  if (command == kLanguageCommands.end()) return std::nullopt;
  return command->name;
}

WindowTexts window_texts(const std::string& language_file, const std::vector<int>& control_ids,
                         std::string_view tooltip_language) {
  return {menu_texts(language_file),
          dialog_captions(language_file, kMainDialogTemplate, control_ids),
          find_button_tooltips(tooltip_language)};
}

LanguageChange change_language(const std::string& program_directory,
                               const std::string& settings_path, const std::string& name,
                               const std::vector<int>& control_ids) {
  LanguageSelection selection = select_language(program_directory, settings_path, name);
  WindowTexts texts = window_texts(selection.language_file, control_ids, name);
  return {std::move(selection), std::move(texts)};
}

}  // namespace scopemark
