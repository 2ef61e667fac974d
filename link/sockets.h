#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/link_log.h"

namespace scopemark {

// Owns one socket descriptor and closes it on destruction.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { close(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release();
  void close();

 private:
  int fd_ = -1;
};

// Prepares the process for socket use: a peer that goes away must not raise SIGPIPE.
// Returns 1, or -1 after showing "InitSocket Err!".
int init_sockets(const MessageFunction& message = {}, const LogFunction& log = {});

// Dotted IPv4 text and port as a socket address; nullopt when the text is not an address.
std::optional<sockaddr_in> make_address(const std::string& dotted, uint16_t port);

// Whether the dotted IPv4 text lies in 127.0.0.0/8.
bool is_loopback_address(const std::string& dotted);

// New IPv4 stream socket with SO_REUSEADDR, bound to address:port and listening
// (port 0 picks an ephemeral port). Invalid on failure.
Socket listen_on(const std::string& address, uint16_t port, int backlog = 10);

// Port the socket is bound to, 0 on failure.
uint16_t local_port(int socket);

// Sets SO_SNDTIMEO or SO_RCVTIMEO; returns 0 or -1.
int set_socket_timeout(int socket, int option, std::chrono::milliseconds timeout);

// Waits until the socket is readable (events POLLIN) or writable (POLLOUT). Returns 1 when
// ready, 0 when stop was set or the time-out passed (negative: no time-out), -1 on error.
int wait_socket(int socket, short events, const std::atomic<bool>* stop,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));

// Receives what has arrived, 1 to n bytes, waiting for at least one. Returns the count, or
// -1 as receive_exact does (same log line, same stop and idle_timeout rules).
int receive_some(int socket, void* buffer, int n, const LogFunction& log = {},
                 const std::atomic<bool>* stop = nullptr,
                 std::chrono::milliseconds idle_timeout = std::chrono::milliseconds(-1));

// Receives exactly n bytes into buffer. Returns n, or -1 when the peer closed the connection
// or the receive failed (logging "net enviorment is so bad!\n"). With stop given, waiting
// ends with -1 (and no log line) once stop is set. With idle_timeout given, a peer silent
// that long counts as a failed receive.
int receive_exact(int socket, void* buffer, int n, const LogFunction& log = {},
                  const std::atomic<bool>* stop = nullptr,
                  std::chrono::milliseconds idle_timeout = std::chrono::milliseconds(-1));

// Sends all n bytes, waiting while the peer is slow. Returns n, or -1 on failure or stop.
int send_all(int socket, const void* data, size_t n, const std::atomic<bool>* stop = nullptr);

// Connects socket to address, waiting at most timeout (and ending early when stop is set).
// Returns 0 or -1. Tests replace it to keep the camera's real address off the network.
using ConnectFunction =
    std::function<int(int socket, const sockaddr_in& address, std::chrono::milliseconds timeout,
                      const std::atomic<bool>* stop)>;

int connect_with_timeout(int socket, const sockaddr_in& address, std::chrono::milliseconds timeout,
                         const std::atomic<bool>* stop = nullptr);

}  // namespace scopemark
