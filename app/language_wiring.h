#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "app/main_dialog.h"

namespace scopemark {

class ViewerApp;

// Code page 936 bytes as a widget text.
QString from_cp936(std::string_view text);

// Menu 129 texts from the language file: top-level items by position, command items by id,
// each text as it comes ("Not found" included).
void relabel_menu(MainDialog& dialog, const std::string& language_file);
// Title and child control texts of the dialog template from the language file; an empty or
// missing value leaves the text as it is.
void apply_dialog_captions(MainDialog& dialog, const std::string& language_file,
                           int template_number);
// Tooltips of the five toolbar buttons and the single tab of 1008 from the built-in table;
// a name outside the table changes nothing.
void set_button_tooltips(MainDialog& dialog, std::string_view language_name);
// The language combo 1014: the language files' names, the settings' language selected.
void fill_language_combo(MainDialog& dialog, const ViewerApp& app);

// The window's start-up language steps: combo, fresh menu, menu texts, captions, tooltips
// of the application's language name.
void apply_language(MainDialog& dialog, const ViewerApp& app);
// A language command: select `name`, relabel, captions, repaint, then the tooltips of
// `name` itself, also when the selection fell back to English.
void change_language(MainDialog& dialog, ViewerApp& app, const std::string& name);
// A user's choice in the language combo (its shown text): the steps of change_language
// without the tooltips.
void select_combo_language(MainDialog& dialog, ViewerApp& app, const std::string& shown_name);

}  // namespace scopemark
