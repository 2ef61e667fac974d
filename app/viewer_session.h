#pragma once

#include <QObject>

class QTimer;

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/task_thread.h"
#include "events/server_context.h"
#include "link/adapters.h"
#include "link/camera_link.h"
#include "link/link_config.h"
#include "link/packet_ring.h"
#include "video/frame_feed.h"

namespace scopemark {

class DecoderApi;

// What a session runs against.
struct SessionOptions {
  LinkConfig link;
  // Where the adapter list comes from; empty: the running system.
  std::shared_ptr<const AdapterSource> adapters;
  // Log and connect step of the link functions; their messages become message signals.
  LinkHooks link_hooks;
  // Where snapshots and received pictures go.
  std::string record_folder;
  // Local address of the command and picture servers; empty: as event_server_config decides.
  std::string server_listen_address;
  // Told each server's name ("command" or "picture") and port once it listens; runs on that
  // server's thread.
  std::function<void(const char* server, std::uint16_t port)> server_listening;
  // Empty: the program's own H.264 decoder.
  std::shared_ptr<DecoderApi> decoder;
};

// Everything of the viewer that runs, without any widget: the link settings, the packet ring,
// the display feed, the steering flags, the record folder and the worker threads (decode
// thread, stream receiver, command and picture servers, camera exchanges). Lives on the GUI
// thread; workers reach it only through queued calls that become its signals, and nothing
// the GUI thread runs here waits on the network, the disk or a sleep.
class ViewerSession : public QObject {
  Q_OBJECT

 public:
  // What the camera connection gives: connecting (no picture yet), live (pictures arrive),
  // frozen (the camera holds the display), no_picture (connected, but no picture for
  // kStallTime), reconnecting (the stream was lost; new attempts run) and no_camera (no
  // adapter, or no connection was ever made; attempts may still run).
  enum class ConnectionState { connecting, live, frozen, no_picture, reconnecting, no_camera };
  Q_ENUM(ConnectionState)

  static constexpr std::chrono::milliseconds kStallTime{2000};

  explicit ViewerSession(SessionOptions options, QObject* parent = nullptr);
  ~ViewerSession() override;

  // Starts the socket layer and looks for the camera's adapter; false: no device.
  bool find_device();

  // The link settings; an exchange takes a copy when it is posted.
  LinkConfig& link_config() { return options_.link; }
  const SessionOptions& options() const { return options_; }
  PacketRing& packet_ring() { return *ring_; }
  // What the decode thread draws into; the video area paints it.
  const std::shared_ptr<FrameFeed>& display_feed() const { return feed_; }

  bool display_frozen() const { return display_frozen_.load(); }
  bool capture_requested() const { return capture_requested_.load(); }
  bool stop_requested() const { return stop_requested_.load(); }
  // Ports the command and picture servers listen on; 0 until they do.
  std::uint16_t event_port() const { return event_port_.load(); }
  std::uint16_t picture_port() const { return picture_port_.load(); }
  ConnectionState connection_state() const { return state_; }

 public slots:
  // Empties the ring and starts the decode thread, the stream receiver, the command server
  // and the picture server in this order, each followed by a 100 ms pause (timers), then
  // emits started.
  void start();
  // Sets the stop flag and joins every worker; a second call does nothing more.
  void stop();
  // One snapshot of the next picture; the display stays frozen for 100 ms, then the
  // pictures change. When no picture comes within a second the request is withdrawn and
  // no_live_picture says so.
  void capture();
  // Sends the four values to the camera off the GUI thread.
  void set_adjustment(const scopemark::VideoAdjustValues& values);
  // Asks the camera for its values off the GUI thread: adjustment_received, or the message
  // "GetVideoBrightness".
  void request_adjustment();

 signals:
  void started();
  // The record folder's pictures changed: the whole folder, or one picture (written, received
  // or deleted).
  void pictures_changed();
  void picture_changed(const std::filesystem::path& path);
  // The camera's commands for the video area.
  void show_live();
  void show_picture(const std::filesystem::path& path);
  // A message box for the user.
  void message(const std::string& text, const std::string& caption);
  // Capture found no live picture and wrote nothing.
  void no_live_picture();
  // A snapshot, or a picture the camera sent under `path`, was not stored; nothing was lost.
  void snapshot_not_stored(scopemark::StoreProblem problem);
  void picture_not_stored(const std::filesystem::path& path, scopemark::StoreProblem problem);
  void adjustment_received(const scopemark::VideoAdjustValues& values);
  void connection_state_changed(scopemark::ViewerSession::ConnectionState state);

 private:
  struct DecodeRun;

  template <typename Function>
  void post(Function function);
  LinkHooks worker_link_hooks();
  void start_step(int step);
  void start_decode_thread();
  void start_stream_receiver();
  EventServerContext server_context(const char* server, std::atomic<std::uint16_t>& bound_port);
  void stream_connected();
  void stream_ended();
  // Derives the state from the link, the display flag and the pictures published.
  void watch_state();
  void set_state(ConnectionState state);

  SessionOptions options_;
  std::unique_ptr<PacketRing> ring_;
  std::shared_ptr<FrameFeed> feed_;
  std::atomic<bool> capture_requested_{false};
  std::atomic<bool> display_frozen_{false};
  std::atomic<bool> stop_requested_{false};
  std::atomic<std::uint16_t> event_port_{0};
  std::atomic<std::uint16_t> picture_port_{0};
  ReceivedPicturePath received_picture_path_;
  std::unique_ptr<DecodeRun> decode_;
  std::thread receiver_;
  std::thread event_server_;
  std::thread picture_server_;
  TaskThread exchanges_;

  ConnectionState state_ = ConnectionState::connecting;
  // Shown while no stream is connected, or connected before its first picture.
  ConnectionState waiting_state_ = ConnectionState::connecting;
  bool stream_connected_ = false;
  bool ever_connected_ = false;
  bool had_picture_ = false;
  bool capture_pause_ = false;
  std::uint64_t pictures_seen_ = 0;
  std::chrono::steady_clock::time_point picture_clock_;
  QTimer* state_watch_ = nullptr;
};

}  // namespace scopemark
