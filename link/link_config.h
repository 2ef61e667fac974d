#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "link/adapters.h"
#include "link/link_log.h"
#include "link/sockets.h"

namespace scopemark {

inline constexpr const char* kDefaultCameraAddress = "192.168.1.1";
inline constexpr const char* kDefaultGetBindAddress = "192.168.1.20";

// Where the camera and this computer are reached. The defaults are the camera's fixed
// values; tests and the demo override them.
struct LinkConfig {
  std::string camera_address = kDefaultCameraAddress;
  // Local end of the stream connection; empty: no bind, the system picks it.
  std::string local_address;
  // Local end of the get exchange; empty: no bind.
  std::string get_bind_address = kDefaultGetBindAddress;
  uint16_t stream_port = 40003;
  uint16_t event_port = 40004;
  uint16_t adjust_port = 40006;
  uint16_t picture_port = 40013;
  std::chrono::milliseconds connect_timeout{3000};
  // A stream connection that brings no byte for this long is taken as lost (a camera out of
  // range leaves its connection open).
  std::chrono::milliseconds stream_silence{10000};

  // Adapter discovery runs only for the camera's default address.
  bool discovery_wanted() const { return camera_address == kDefaultCameraAddress; }

  // Sets the four ports at once (tests use ephemeral ones).
  void set_ports(uint16_t stream, uint16_t event, uint16_t adjust, uint16_t picture);
};

// What the link functions report to and call on: log lines, message boxes, and the connect
// step, which tests replace so that the camera's real address is never contacted.
struct LinkHooks {
  LogFunction log;          // empty: standard output
  MessageFunction message;  // empty: the text goes to the log
  ConnectFunction connect;  // empty: connect_with_timeout
};

// Applies "--camera-address ADDR" and "--local-address ADDR" (also written "--opt=ADDR") to
// config. With the camera address given, the get exchange binds to the local address.
// Other arguments are returned in order. On a missing or invalid address, error names it.
struct LinkOptions {
  std::vector<std::string> other_arguments;
  std::string error;
};
LinkOptions apply_link_options(const std::vector<std::string>& arguments, LinkConfig& config);

// Decides whether the video chain may start. For the default camera address this runs
// find_wireless_adapter; the adapter's address becomes local_address unless one was given.
// An overridden camera address needs no adapter.
bool prepare_link(LinkConfig& config, const AdapterSource& source, const LogFunction& log = {});

}  // namespace scopemark
