#pragma once

#include "app/main_dialog.h"

namespace scopemark {

class Album;
class ViewerApp;

// The album list 1010 as an AlbumList and the single picture and compare views 1018 to
// 1022 as PictureViews in place of the template's controls, and the window's Album over
// the application's record folder, a child of the window.
Album* setup_album(MainDialog& dialog, const ViewerApp& app);

// Fills the album hooks of the main window: set-up, loading, delete, compare and the return
// to video. `app` must outlive the window.
void install_album_hooks(MainDialogHooks& hooks, const ViewerApp& app);

}  // namespace scopemark
