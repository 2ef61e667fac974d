#include "link/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

namespace scopemark {

namespace {

// Waits are cut into slices so a stop request is seen promptly.
constexpr std::chrono::milliseconds kStopSlice(50);

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.release();
  }
  return *this;
}

int Socket::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void Socket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int init_sockets(const MessageFunction& message, const LogFunction& log) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  if (sigaction(SIGPIPE, &ignore, nullptr) != 0) {
    show_message(message, log, "InitSocket Err!");
    return -1;
  }
  return 1;
}

std::optional<sockaddr_in> make_address(const std::string& dotted, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) return std::nullopt;
  return address;
}

bool is_loopback_address(const std::string& dotted) {
  const auto address = make_address(dotted, 0);
  return address && (ntohl(address->sin_addr.s_addr) >> 24) == 127;
}

Socket listen_on(const std::string& address, uint16_t port, int backlog) {
  const auto where = make_address(address, port);
  if (!where) return {};
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  const int one = 1;
  if (!socket.valid() ||
      setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      bind(socket.get(), reinterpret_cast<const sockaddr*>(&*where), sizeof *where) != 0 ||
      listen(socket.get(), backlog) != 0) {
    return {};
  }
  return socket;
}

uint16_t local_port(int socket) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

int set_socket_timeout(int socket, int option, std::chrono::milliseconds timeout) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  return setsockopt(socket, SOL_SOCKET, option, &value, sizeof value) == 0 ? 0 : -1;
}

int wait_socket(int socket, short events, const std::atomic<bool>* stop,
                std::chrono::milliseconds timeout) {
  const bool bounded = timeout.count() >= 0;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (stop && stop->load()) return 0;
    auto slice = stop ? kStopSlice : std::chrono::milliseconds(-1);
    if (bounded) {
      const auto left = std::max(std::chrono::milliseconds(0),
                                 std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now()));
      if (slice.count() < 0 || left < slice) slice = left;
    }
    pollfd entry{socket, events, 0};
    const int ready = poll(&entry, 1, static_cast<int>(slice.count()));
    if (ready > 0) return 1;
    if (ready < 0 && errno != EINTR) return -1;
    if (bounded && std::chrono::steady_clock::now() >= deadline) return 0;
  }
}

int receive_some(int socket, void* buffer, int n, const LogFunction& log,
                 const std::atomic<bool>* stop, std::chrono::milliseconds idle_timeout) {
  if (stop || idle_timeout.count() >= 0) {
    if (wait_socket(socket, POLLIN, stop, idle_timeout) == 0) {
      if (!stop || !stop->load()) write_log(log, "net enviorment is so bad!\n");
      return -1;
    }
  }
  for (;;) {
    const ssize_t got = recv(socket, buffer, static_cast<size_t>(n), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      write_log(log, "net enviorment is so bad!\n");
      return -1;
    }
    return static_cast<int>(got);
  }
}

int receive_exact(int socket, void* buffer, int n, const LogFunction& log,
                  const std::atomic<bool>* stop, std::chrono::milliseconds idle_timeout) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int count = 0;
  while (count < n) {
    const int got = receive_some(socket, bytes + count, n - count, log, stop, idle_timeout);
    if (got < 0) return -1;
    count += got;
  }
  return count;
}

int send_all(int socket, const void* data, size_t n, const std::atomic<bool>* stop) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t sent = 0;
  while (sent < n) {
    if (wait_socket(socket, POLLOUT, stop) != 1) return -1;
    const ssize_t done = send(socket, bytes + sent, n - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (done < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (done <= 0) return -1;
    sent += static_cast<size_t>(done);
  }
  return static_cast<int>(sent);
}

int connect_with_timeout(int socket, const sockaddr_in& address, std::chrono::milliseconds timeout,
                         const std::atomic<bool>* stop) {
  const int flags = fcntl(socket, F_GETFL);
  if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) return -1;
  int result = connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (result != 0 && errno == EINPROGRESS) {
    result = -1;
    if (wait_socket(socket, POLLOUT, stop, timeout) == 1) {
      int error = 0;
      socklen_t size = sizeof error;
      if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) result = 0;
    }
  }
  if (fcntl(socket, F_SETFL, flags) != 0) return -1;
  return result == 0 ? 0 : -1;
}

}  // namespace scopemark
