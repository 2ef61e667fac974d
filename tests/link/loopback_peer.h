#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/link_config.h"
#include "link/sockets.h"

namespace scopemark::testing {

// A one-connection TCP peer on 127.0.0.1 and an ephemeral port: accepts once and runs the
// handler on its own thread. The destructor still serves a connection already made, then
// joins.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(std::function<void(int connection)> handler)
      : listener_(listen_on("127.0.0.1", 0)), port_(local_port(listener_.get())) {
    thread_ = std::thread([this, handler = std::move(handler)] {
      if (wait_socket(listener_.get(), POLLIN, &stop_) != 1 &&
          wait_socket(listener_.get(), POLLIN, nullptr, std::chrono::milliseconds(0)) != 1) {
        return;
      }
      Socket connection(accept(listener_.get(), nullptr, nullptr));
      if (connection.valid()) handler(connection.get());
    });
  }
  ~LoopbackPeer() {
    stop_ = true;
    thread_.join();
  }
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  uint16_t port() const { return port_; }

 private:
  Socket listener_;
  uint16_t port_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Collects log lines and message boxes of the link functions.
struct LinkRecorder {
  std::string log;
  std::vector<std::pair<std::string, std::string>> messages;

  LinkHooks hooks() {
    LinkHooks hooks;
    hooks.log = [this](std::string_view line) { log += line; };
    hooks.message = [this](const std::string& text, const std::string& caption) {
      messages.emplace_back(text, caption);
    };
    return hooks;
  }
};

}  // namespace scopemark::testing
