#pragma once

#include <QCoreApplication>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/connect_window.h"
#include "app/main_dialog.h"
#include "app/viewer_app.h"
#include "app/viewer_session.h"
#include "link/sockets.h"
#include "records/temp_folder.h"

namespace scopemark::testing {

// Runs the window's events until done() holds; false after `limit`.
inline bool process_events_until(const std::function<bool()>& done,
                                 std::chrono::seconds limit = std::chrono::seconds(5)) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// A loopback port nobody listens on.
inline uint16_t unused_port() {
  const Socket probe = listen_on("127.0.0.1", 0);
  return local_port(probe.get());
}

// A camera on 127.0.0.1 with its stream on stream_port; the servers listen on loopback with
// ephemeral ports and the link logs nowhere.
inline SessionOptions loopback_camera(uint16_t stream_port, uint16_t adjust_port = 0) {
  SessionOptions options;
  apply_link_options({"--camera-address", "127.0.0.1"}, options.link);
  options.link.set_ports(stream_port, 0, adjust_port, 0);
  options.link.connect_timeout = std::chrono::milliseconds(2000);
  options.link_hooks.log = [](std::string_view) {};
  return options;
}

// Without a wireless adapter on the camera's subnet: "No Device".
inline SessionOptions without_device() {
  SessionOptions options;
  options.adapters = std::make_shared<FixedAdapterSource>(std::vector<AdapterInfo>{});
  options.link_hooks.log = [](std::string_view) {};
  return options;
}

// A camera whose stream port accepts (in the backlog) and never sends: no message, no video.
class QuietCamera {
 public:
  SessionOptions options(uint16_t adjust_port = 0) const {
    return loopback_camera(local_port(listener_.get()), adjust_port);
  }

 private:
  Socket listener_ = listen_on("127.0.0.1", 0);
};

// A program folder with record "42", a session over it with `options` and the main window
// connected to it, shown.
struct SessionWindow {
  TempFolder folder;
  ViewerApp app;
  std::unique_ptr<ViewerSession> session;
  std::unique_ptr<MainDialog> window;

  explicit SessionWindow(SessionOptions options,
                         const std::function<void(ViewerApp&)>& prepare = {}) {
    app.prepare_settings(folder.program_directory());
    app.open_record("42");
    if (prepare) prepare(app);
    session = std::make_unique<ViewerSession>(app.session_options(std::move(options)));
    window = std::make_unique<MainDialog>();
    connect_window(*window, *session, app);
    window->show();
    QCoreApplication::processEvents();
  }
  ~SessionWindow() {
    window.reset();
    session.reset();
  }
  std::string record_folder() const { return app.record_folder(); }
};

}  // namespace scopemark::testing
