#pragma once

#include <atomic>

#include "link/link_config.h"
#include "link/packet_ring.h"

namespace scopemark {

// Body of the stream receiver thread: connects to the camera's stream port, sends the
// StreamRequest and puts the stream into ring in 4096-byte chunks until stop is set or the
// stream ends. Returns 0 after a normal end; -1 socket, -2 reuse-address, -3 send time-out
// failed; -5 no connection ("No Device" shown, title "Error", unless stop cut the connect
// short); -6 request not sent. A failed bind shows "bind error" and the connection goes on.
// Every wait (connect, receive) ends promptly on stop, so the owner can set stop and join;
// a chunk cut short by stop is dropped.
int run_stream_connection(PacketRing& ring, const LinkConfig& config, const std::atomic<bool>& stop,
                          const LinkHooks& hooks = {});

// The camera's picture adjustment values as 16-bit words.
struct VideoAdjustValues {
  int brightness = 0;
  int contrast = 0;
  int saturation = 0;
  int hue = 0;
};

// Sends a set request with the low 16 bits of the four values over a fresh connection to the
// adjustment port. Returns 0; -1 socket, option or send failure; -2 no connection;
// -3 receive time-out failed. Nothing is read back.
int send_video_adjust(int brightness, int contrast, int saturation, int hue,
                      const LinkConfig& config, const LinkHooks& hooks = {},
                      const std::atomic<bool>* stop = nullptr);

// Asks the camera for its four values over a fresh connection. Returns 0 with values filled
// from the reply; -1 on a socket, option, send or receive failure or a reply whose command
// word is not 10; -2 no connection. values changes only on 0. The socket binds to the get
// bind address (after reuse-address is set); a failed bind shows "bind error" and the
// exchange goes on. The reply is awaited at most config.connect_timeout. With stop given, the
// connect and the reply wait end (as failures) once it is set.
int get_video_adjust(VideoAdjustValues& values, const LinkConfig& config,
                     const LinkHooks& hooks = {}, const std::atomic<bool>* stop = nullptr);

}  // namespace scopemark
