#pragma once

#include <cstdint>
#include <span>

#include "camsim/camera_sim.h"
#include "link/link_config.h"
#include "link/link_log.h"

namespace scopemark::camsim {

// The sample stream built into the program (camsim/data/demo.264): 1280 x 720 H.264,
// Main profile, I and P pictures, 300 pictures at kDemoFrameRate.
std::span<const std::uint8_t> demo_stream();
inline constexpr double kDemoFrameRate = 30;

// The camera of the demo mode, inside the viewer's process: the stream port (looping stream,
// paced at kDemoFrameRate) and the adjustment port on 127.0.0.1 with ephemeral ports.
// Destruction stops both servers and joins their threads.
class DemoCamera {
 public:
  static constexpr const char* kCameraAddress = "127.0.0.1";
  // The viewer's end: the stream socket binds to it with the stream port's number, which
  // must not collide with the camera's listening socket, so it is a different address.
  static constexpr const char* kLocalAddress = "127.0.0.2";

  explicit DemoCamera(std::span<const std::uint8_t> stream = demo_stream(),
                      const LogFunction& log = {});

  // Starts both servers; false when either cannot listen (then neither runs).
  bool start();
  void stop();

  uint16_t stream_port() const { return stream_.port(); }
  uint16_t adjust_port() const { return adjust_.port(); }

  // Link settings that lead the viewer to this camera: loopback addresses and the two ports.
  // The get exchange binds nowhere (a fixed source port could meet its own TIME_WAIT on a
  // second get), and the viewer's command and picture servers get ephemeral ports (0).
  // Adapter discovery is not wanted for these settings.
  LinkConfig link_config() const;

 private:
  StreamServer stream_;
  AdjustServer adjust_;
};

}  // namespace scopemark::camsim
