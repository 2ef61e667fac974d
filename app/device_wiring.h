#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "app/main_dialog.h"
#include "events/server_context.h"
#include "link/adapters.h"
#include "link/link_config.h"
#include "link/packet_ring.h"

namespace scopemark {

// Link hooks whose message boxes reach the user through the window's thread.
LinkHooks window_link_hooks(MainDialog& dialog, LinkHooks base = {});

// The device side of the main window: adapter discovery, the stream receiver (feeding the
// window's packet ring) and the camera's command and picture servers. Threads run against the
// window's flags, reach its widgets only through its thread, and are joined when it closes.
class DeviceWiring {
 public:
  struct Options {
    LinkConfig link;
    // Where the adapter list comes from; empty: the running system.
    std::shared_ptr<const AdapterSource> adapters;
    // Log and connect step of the link functions; messages always go to the window.
    LinkHooks link_hooks;
    // The record folder the servers store and delete pictures in, asked when they start.
    std::function<std::string()> record_folder;
    // Local address of the two servers; empty: as event_server_config decides.
    std::string server_listen_address;
    // Told each server's name ("command" or "picture") and port once it listens; runs on
    // that server's thread.
    std::function<void(const char* server, uint16_t port)> server_listening;
  };

  // The window that runs with these hooks must go before this object.
  explicit DeviceWiring(Options options);
  DeviceWiring(const DeviceWiring&) = delete;
  DeviceWiring& operator=(const DeviceWiring&) = delete;

  // Fills the device hooks of the main window with this object's steps.
  void install(MainDialogHooks& hooks);

  const LinkConfig& config() const { return options_.link; }
  // Ports the command and picture servers listen on; 0 until they do.
  uint16_t event_port() const { return event_port_.load(); }
  uint16_t picture_port() const { return picture_port_.load(); }

 private:
  std::optional<std::string> find_adapter();
  void start_stream_receiver(MainDialog& dialog);
  EventServerContext server_context(MainDialog& dialog, const char* server,
                                    std::atomic<uint16_t>& bound_port);
  void join_workers();

  Options options_;
  ReceivedPicturePath received_picture_path_;
  std::atomic<uint16_t> event_port_{0};
  std::atomic<uint16_t> picture_port_{0};
  std::thread receiver_;
  std::thread event_server_;
  std::thread picture_server_;
};

}  // namespace scopemark
