#include "events/server_loop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdio>
#include <utility>

#include "events/socket_io.h"

namespace scopemark {

namespace {

void log_connection(const EventServerContext& ctx, const sockaddr_in& peer) {
  char dotted[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
  char line[96];
  std::snprintf(line, sizeof line, "[TCP Connection From %s:%d].\n", dotted, ntohs(peer.sin_port));
  write_log(ctx.log, line);
}

}  // namespace

int run_server_loop(const EventServerContext& ctx, std::uint16_t port,
                    const std::function<void(Socket)>& serve_connection) {
  const auto camera = make_address(ctx.config.camera_address, 0);
  const auto local = make_address(ctx.config.listen_address, port);
  if (!camera || !local) return -1;

  Socket listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!listener.valid()) return -1;
  const int reuse = 1;
  if (::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0) return 0;
  if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&*local), sizeof *local) != 0) {
    return -1;
  }
  if (::listen(listener.get(), 10) != 0) return -2;

  if (ctx.listening) ctx.listening(local_port(listener.get()));
  write_log(ctx.log, "tcpserver_thr=====: start receive!\n");

  while (!ctx.stop_requested.load()) {
    if (wait_socket(listener.get(), POLLIN, &ctx.stop_requested) != 1) continue;
    sockaddr_in peer{};
    socklen_t peer_size = sizeof peer;
    Socket connection(
        ::accept4(listener.get(), reinterpret_cast<sockaddr*>(&peer), &peer_size, SOCK_CLOEXEC));
    if (!connection.valid()) {
      // Out of descriptors or similar: do not spin on a listener that stays readable.
      pause_unless_stopped(kStopCheckInterval, ctx.stop_requested);
      continue;
    }
    log_connection(ctx, peer);
    if (peer.sin_addr.s_addr != camera->sin_addr.s_addr) continue;
    serve_connection(std::move(connection));
  }
  return 0;
}

}  // namespace scopemark
