#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include "link/link_config.h"
#include "link/packet_ring.h"

namespace scopemark {

// What a stream connection reports, on the receiver's thread.
struct StreamEvents {
  // The request went out: stream bytes may follow.
  std::function<void()> connected;
  // The connection failed or ended, with run_stream_connection's result.
  std::function<void(int result)> ended;
};

// One stream connection: connects to the camera's stream port, sends the StreamRequest and
// puts the stream into ring as it arrives (each piece at most 4096 bytes, handed on without
// waiting for more) until stop is set or the stream ends. A stream silent for
// config.stream_silence counts as ended. After a stream that put bytes, the ring gets the
// end-of-stream mark (waiting for room unless stop is set). Returns 0 after a normal end;
// -1 socket, -2 reuse-address, -3 send time-out failed; -5 no connection ("No Device" shown,
// title "Error", unless stop cut the connect short); -6 request not sent. A failed bind shows
// "bind error" and the connection goes on. Every wait (connect, receive) ends promptly on
// stop, so the owner can set stop and join.
int run_stream_connection(PacketRing& ring, const LinkConfig& config, const std::atomic<bool>& stop,
                          const LinkHooks& hooks = {}, const StreamEvents& events = {});

// Pauses between attempts: kReconnectPause after a connection was made or failed the first
// time, doubling with each further failure up to kReconnectPauseMax.
inline constexpr std::chrono::milliseconds kReconnectPause(1000);
inline constexpr std::chrono::milliseconds kReconnectPauseMax(5000);

// Body of the stream receiver thread: run_stream_connection again and again, with the pauses
// above, until stop is set. Each message text is shown once at most, so "No Device" appears
// at the first failed connect only. Ends within one stop slice (50 ms) of stop, beyond a
// connect or receive already under way, which end on stop too.
void run_stream_receiver(PacketRing& ring, const LinkConfig& config, const std::atomic<bool>& stop,
                         const LinkHooks& hooks = {}, const StreamEvents& events = {});

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
