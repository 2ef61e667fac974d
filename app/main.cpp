#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/viewer_app.h"
#include "app/viewer_session.h"
#include "camsim/demo_camera.h"
#include "link/link_config.h"
#include "records/desktop_trash.h"

int main(int argc, char** argv) {
  scopemark::SessionOptions session;
  const scopemark::LinkOptions link_options =
      scopemark::apply_link_options(std::vector<std::string>(argv + 1, argv + argc), session.link);
  scopemark::CommandLine options = scopemark::parse_command_line(link_options.other_arguments);
  if (!link_options.error.empty()) options.error = link_options.error;
  if (!options.error.empty()) {
    std::cerr << "scopemark: " << options.error << "\n" << scopemark::usage_text();
    return 2;
  }
  if (options.help) {
    std::cout << scopemark::usage_text();
    return 0;
  }
  if (options.version) {
    std::cout << "scopemark " SCOPEMARK_VERSION "\n";
    return 0;
  }
  QApplication application(argc, argv);
  scopemark::install_desktop_trash();
  // The demo camera outlives the window and its threads: declared first, destroyed last.
  std::unique_ptr<scopemark::camsim::DemoCamera> demo_camera;
  if (options.demo) {
    demo_camera = std::make_unique<scopemark::camsim::DemoCamera>();
    if (!demo_camera->start()) {
      std::cerr << "scopemark: the demo camera could not start on 127.0.0.1\n";
      return 1;
    }
    session.link = demo_camera->link_config();
    // Camera tools (scopemark-camsim event/picture) need the servers' ephemeral ports.
    session.server_listening = [](const char* server, uint16_t port) {
      std::printf("scopemark: demo %s server on %s port %u\n", server,
                  scopemark::camsim::DemoCamera::kCameraAddress, port);
      std::fflush(stdout);
    };
  }
  scopemark::ViewerApp viewer;
  return viewer.run(options, std::move(session));
}
