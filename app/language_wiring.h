#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "app/main_dialog.h"

namespace scopemark {

class ViewerApp;

// Code page 936 bytes as a widget text.
QString from_cp936(std::string_view text);

// Menu 129 texts from the language file: top-level items by position, command items by id.
void relabel_menu(MainDialog& dialog, const std::string& language_file);
// Title and child control texts of the dialog template from the language file; an empty or
// missing value leaves the text as it is.
void apply_dialog_captions(MainDialog& dialog, const std::string& language_file,
                           int template_number);
// Tooltips of the five toolbar buttons and the single tab of 1008 from the language file.
void set_button_tooltips(MainDialog& dialog, const std::string& language_file);
// The language combo 1014: the language files' names, the settings' language selected.
void fill_language_combo(MainDialog& dialog, const ViewerApp& app);

// The window's start-up language steps: combo, fresh menu, menu texts, captions, tooltips.
void apply_language(MainDialog& dialog, const ViewerApp& app);
// A language command: select `name`, relabel, captions, repaint, tooltips.
void change_language(MainDialog& dialog, ViewerApp& app, const std::string& name);
// A user's choice in the language combo (its shown text): the steps of change_language
// without the tooltips.
void select_combo_language(MainDialog& dialog, ViewerApp& app, const std::string& shown_name);

// Fills the language hooks of the main window; `app` must outlive the window.
void install_language_hooks(MainDialogHooks& hooks, ViewerApp& app);

}  // namespace scopemark
