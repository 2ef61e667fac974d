#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "camsim/access_units.h"
#include "link/camera_link.h"
#include "link/link_log.h"
#include "link/messages.h"
#include "link/sockets.h"

namespace scopemark::camsim {

inline constexpr int kEventMessageSize = 10;
inline constexpr int kPicturePacketSize = 8230;
inline constexpr int kPicturePayloadSize = 8192;
inline constexpr int kPictureNameSize = 14;

// Accepts connections on a loopback address, one at a time, on a thread of its own, and
// hands each to the handler. stop() ends waits promptly and joins.
class ServerThread {
 public:
  using Handler = std::function<void(Socket connection, const std::atomic<bool>& stop)>;

  ServerThread() = default;
  ServerThread(const ServerThread&) = delete;
  ServerThread& operator=(const ServerThread&) = delete;
  ~ServerThread() { stop(); }

  // Listens on address:port (0: ephemeral). False when the address is not in 127.0.0.0/8 or
  // the socket cannot be set up.
  bool start(const std::string& address, uint16_t port, Handler handler);
  void stop();
  uint16_t port() const { return port_; }

 private:
  void serve(Handler handler);

  Socket listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct StreamServerOptions {
  std::string address = "127.0.0.1";
  uint16_t port = 0;
  std::vector<uint8_t> stream;  // Annex B bytes, sent in a loop
  double frame_rate = 25;       // pictures per second; 0 sends as fast as the peer reads
  uint64_t close_after = 0;     // close each connection after this many bytes; 0: never
  size_t max_segment = 1400;    // each send carries 1..max_segment bytes
  uint32_t seed = 1;            // segment sizes are pseudo-random from this seed
  LogFunction log;
};

// The camera's stream port: checks the 12-byte request, then sends the stream paced by
// pictures, looping from the first IDR picture. It can be stopped (the connection in progress
// is cut, as when the camera is switched off) and started again on the same port.
class StreamServer {
 public:
  explicit StreamServer(StreamServerOptions options);
  // Listens (again); a restart uses the port of the first start.
  bool start();
  void stop() { server_.stop(); }
  // The stream of the next start; only while stopped.
  void set_stream(std::vector<uint8_t> stream);
  uint16_t port() const { return server_.port(); }

 private:
  ServerThread::Handler handler();
  void serve_connection(const Socket& connection, const std::atomic<bool>& stop) const;

  StreamServerOptions options_;
  StreamPlan plan_;
  ServerThread server_;
};

struct AdjustServerOptions {
  std::string address = "127.0.0.1";
  uint16_t port = 0;
  uint16_t reply_command = kVideoAdjustCommand;  // other values imitate a faulty camera
  VideoAdjustValues initial{50, 50, 50, 50};
  LogFunction log;
};

// The camera's adjustment port: a set stores the four values, a get replies with them.
class AdjustServer {
 public:
  explicit AdjustServer(AdjustServerOptions options);
  bool start() { return server_.start(options_.address, options_.port, handler()); }
  void stop() { server_.stop(); }
  uint16_t port() const { return server_.port(); }
  VideoAdjustValues values() const;
  int sets_received() const { return sets_.load(); }

 private:
  ServerThread::Handler handler();

  AdjustServerOptions options_;
  std::atomic<uint16_t> brightness_;
  std::atomic<uint16_t> contrast_;
  std::atomic<uint16_t> saturation_;
  std::atomic<uint16_t> hue_;
  std::atomic<int> sets_{0};
  ServerThread server_;
};

// Wire forms of the camera's client messages.
std::array<uint8_t, kEventMessageSize> make_event_message(uint16_t command);
// The picture in 8230-byte packets: full packets of 8192 payload bytes, then one shorter
// (possibly empty) packet; every packet carries the name (cut to 14 bytes).
std::vector<uint8_t> make_picture_packets(const std::vector<uint8_t>& picture,
                                          const std::string& name);

// Where a client command goes: connections are made from source_address (the camera's
// address as the viewer sees it) to viewer_address:port. Both must be loopback addresses.
struct ClientTarget {
  std::string source_address = "127.0.0.1";
  std::string viewer_address = "127.0.0.1";
  uint16_t port = 0;
};

// One connection carrying one EventMessage. Returns 0 or -1.
int send_event(const ClientTarget& target, uint16_t command);

// One connection carrying one picture. Returns 0 or -1.
int send_picture(const ClientTarget& target, const std::vector<uint8_t>& picture,
                 const std::string& name);

}  // namespace scopemark::camsim
