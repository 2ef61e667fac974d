#pragma once

#include <memory>

#include "app/main_dialog.h"

namespace scopemark {

class DecoderApi;
class ViewerApp;

// Fills the video hooks of the main window. The decode thread takes the chunks of the
// window's packet ring, decodes them with `decoder` (empty: the program's own H.264 decoder)
// and shows the pictures through the window's display surface on control 1000; snapshots go
// into the application's record folder. The thread runs against the window's flags, reaches
// the window only through queued calls and is joined when the window closes or goes away.
// `app` must outlive the window.
void install_video_hooks(MainDialogHooks& hooks, const ViewerApp& app,
                         std::shared_ptr<DecoderApi> decoder = nullptr);

}  // namespace scopemark
