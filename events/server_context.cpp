#include "events/server_context.h"

#include "link/sockets.h"

namespace scopemark {

EventServerConfig event_server_config(const LinkConfig& config) {
  EventServerConfig servers;
  servers.camera_address = config.camera_address;
  servers.listen_address = is_loopback_address(config.camera_address) ? "127.0.0.1" : "0.0.0.0";
  servers.event_port = config.event_port;
  servers.picture_port = config.picture_port;
  return servers;
}

}  // namespace scopemark
