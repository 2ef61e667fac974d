#include "events/server_loop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <utility>

namespace scopemark {

namespace {

bool parse_ipv4(const std::string& text, in_addr& address) {
  return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

void log_connection(const EventServerContext& ctx, const sockaddr_in& peer) {
  char dotted[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
  char line[96];
  std::snprintf(line, sizeof line, "[TCP Connection From %s:%d].\n", dotted, ntohs(peer.sin_port));
  log_text(ctx.log, line);
}

}  // namespace

int run_server_loop(const EventServerContext& ctx, std::uint16_t port,
                    const std::function<void(SocketHandle)>& serve_connection) {
  in_addr camera{};
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (!parse_ipv4(ctx.config.camera_address, camera) ||
      !parse_ipv4(ctx.config.listen_address, local.sin_addr)) {
    return -1;
  }

  SocketHandle listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!listener.valid()) return -1;
  const int reuse = 1;
  if (::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0) return 0;
  if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    return -1;
  }
  if (::listen(listener.get(), 10) != 0) return -2;

  sockaddr_in bound{};
  socklen_t bound_size = sizeof bound;
  ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&bound), &bound_size);
  if (ctx.listening) ctx.listening(ntohs(bound.sin_port));
  log_text(ctx.log, "tcpserver_thr=====: start receive!\n");

  while (!ctx.stop_requested.load()) {
    if (wait_readable(listener.get(), ctx.stop_requested, Deadline::max()) != WaitResult::ready) {
      continue;
    }
    sockaddr_in peer{};
    socklen_t peer_size = sizeof peer;
    SocketHandle connection(
        ::accept4(listener.get(), reinterpret_cast<sockaddr*>(&peer), &peer_size, SOCK_CLOEXEC));
    if (!connection.valid()) {
      // Out of descriptors or similar: do not spin on a listener that stays readable.
      pause_unless_stopped(kStopCheckInterval, ctx.stop_requested);
      continue;
    }
    log_connection(ctx, peer);
    if (peer.sin_addr.s_addr != camera.s_addr) continue;
    serve_connection(std::move(connection));
  }
  return 0;
}

}  // namespace scopemark
