#pragma once

#include <cstdint>
#include <functional>

#include "events/server_context.h"
#include "link/sockets.h"

namespace scopemark {

// Set-up and accept loop shared by both servers. Listens on `port` of the configured local
// address and hands each connection from the camera's address to `serve_connection`, which
// owns it from then on; one connection at a time, until stop is requested. Returns 0 after a
// normal end or a failed SO_REUSEADDR, -1 when the socket or the bind fails (an unusable
// address included), -2 when listen fails.
int run_server_loop(const EventServerContext& ctx, std::uint16_t port,
                    const std::function<void(Socket)>& serve_connection);

}  // namespace scopemark
