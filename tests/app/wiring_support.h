#pragma once

#include <QCoreApplication>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "app/device_wiring.h"
#include "link/sockets.h"

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
inline DeviceWiring::Options loopback_device(uint16_t stream_port, uint16_t adjust_port = 0) {
  DeviceWiring::Options device;
  apply_link_options({"--camera-address", "127.0.0.1"}, device.link);
  device.link.set_ports(stream_port, 0, adjust_port, 0);
  device.link.connect_timeout = std::chrono::milliseconds(2000);
  device.link_hooks.log = [](std::string_view) {};
  return device;
}

}  // namespace scopemark::testing
