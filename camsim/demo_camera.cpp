#include "camsim/demo_camera.h"

namespace scopemark::camsim {

namespace {

constexpr size_t kDemoSegment = 64 * 1024;

StreamServerOptions stream_options(std::span<const std::uint8_t> stream, const LogFunction& log) {
  StreamServerOptions options;
  options.address = DemoCamera::kCameraAddress;
  options.stream.assign(stream.begin(), stream.end());
  options.frame_rate = kDemoFrameRate;
  // Whole pictures per send: the small random pieces that test reassembly only cost both sides
  // system calls here.
  options.max_segment = kDemoSegment;
  options.log = log;
  return options;
}

AdjustServerOptions adjust_options(const LogFunction& log) {
  AdjustServerOptions options;
  options.address = DemoCamera::kCameraAddress;
  options.log = log;
  return options;
}

}  // namespace

DemoCamera::DemoCamera(std::span<const std::uint8_t> stream, const LogFunction& log)
    : stream_(stream_options(stream, log)), adjust_(adjust_options(log)) {}

bool DemoCamera::start() {
  if (stream_.start() && adjust_.start()) return true;
  stop();
  return false;
}

void DemoCamera::stop() {
  stream_.stop();
  adjust_.stop();
}

LinkConfig DemoCamera::link_config() const {
  LinkConfig config;
  config.camera_address = kCameraAddress;
  config.local_address = kLocalAddress;
  config.get_bind_address.clear();
  config.set_ports(stream_port(), 0, adjust_port(), 0);
  return config;
}

}  // namespace scopemark::camsim
