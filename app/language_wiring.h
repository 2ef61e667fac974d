#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "app/main_dialog.h"
#include "i18n/ui_texts.h"

namespace scopemark {

class ViewerApp;

// Code page 936 bytes as a widget text.
QString from_cp936(std::string_view text);

// Menu 129 texts: top-level items by position, command items by id.
void relabel_menu(MainDialog& dialog, const UiTexts& texts);
// Title and child control texts of the dialog template; an empty text leaves the control's
// text as it is.
void apply_dialog_captions(MainDialog& dialog, const UiTexts& texts, int template_number);
// Brightness, contrast, saturation and hue.
void set_slider_labels(MainDialog& dialog, const UiTexts& texts);
// Tooltips of the five toolbar buttons and the single tab of 1008.
void set_button_tooltips(MainDialog& dialog, const UiTexts& texts);
// The language combo 1014: the language files' names, the settings' language selected.
void fill_language_combo(MainDialog& dialog, const ViewerApp& app);

// The window's start-up language steps: combo, fresh menu, then every text of the window.
void apply_language(MainDialog& dialog, const ViewerApp& app);
// A language command: select `name` and show every text in it. Without a file for `name`
// the user is told so in the current language, which stays, as do the settings.
void change_language(MainDialog& dialog, ViewerApp& app, const std::string& name);
// A user's choice in the language combo (its shown text): select it and show its texts.
void select_combo_language(MainDialog& dialog, ViewerApp& app, const std::string& shown_name);

}  // namespace scopemark
