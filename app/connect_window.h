#pragma once

namespace scopemark {

class MainDialog;
class ViewerApp;
class ViewerSession;

// Binds a main window to a session and runs the window's start-up. Without a device the
// window shows "No Device" and stays without album, threads and video; otherwise it gets its
// language, bitmaps, layout, the video area's owner and the album, and the session starts its
// workers. Closing the window stops the session. Both must outlive nothing of the other:
// the window may go first (the session then stops) and the session's signals reach only a
// live window. `app` must outlive the window.
void connect_window(MainDialog& window, ViewerSession& session, ViewerApp& app);

}  // namespace scopemark
