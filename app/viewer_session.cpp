#include "app/viewer_session.h"

#include <pthread.h>
#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <utility>

#include "app/received_picture.h"
#include "events/event_server.h"
#include "events/picture_server.h"
#include "link/system_adapters.h"
#include "measure/measure.h"
#include "records/user_removal.h"
#include "video/decode_thread.h"
#include "video/display_surface.h"
#include "video/snapshot_writer.h"

namespace scopemark {

using namespace std::chrono_literals;

namespace {

constexpr auto kWorkerStartPause = 100ms;
constexpr auto kCapturePause = 100ms;
constexpr auto kStateWatchPeriod = 200ms;
constexpr auto kCaptureWait = 1000ms;
constexpr int kStartSteps = 4;
constexpr char kGetFailure[] = "GetVideoBrightness";
constexpr char kGetFailureCaption[] = "Error";

}  // namespace

// What one decode thread works with, kept until it is joined.
struct ViewerSession::DecodeRun {
  DecodeRun(ViewerSession& session, DecoderApi& decoder)
      : chunks(*session.ring_),
        snapshots(RecordFolder(session.options_.record_folder),
                  [&session](const StoreResult& result) {
                    session.post([&session, result] {
                      if (result.problem != StoreProblem::none) {
                        emit session.snapshot_not_stored(result.problem);
                      } else {
                        emit session.picture_changed(result.path);
                      }
                    });
                  }),
        context{
            .chunks = chunks,
            .decoder = decoder,
            .display = surface,
            .video_area = session.feed_.get(),
            .snapshots = snapshots,
            .stop_requested = session.stop_requested_,
            .display_frozen = session.display_frozen_,
            .capture_requested = session.capture_requested_,
            .show_message =
                [&session](const char* text) {
                  session.post([&session, message = std::string(text)] {
                    emit session.message(message, "");
                  });
                },
        } {}

  RingChunkSource chunks;
  SnapshotWriter snapshots;
  DisplaySurface surface;
  DecodeThreadContext context;
  std::thread thread;
};

ViewerSession::ViewerSession(SessionOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      ring_(std::make_unique<PacketRing>()),
      feed_(std::make_shared<FrameFeed>()) {
  if (!options_.adapters) options_.adapters = std::make_shared<SystemAdapterSource>();
  if (!options_.decoder) options_.decoder = std::make_shared<H264Decoder>();
  state_watch_ = new QTimer(this);
  state_watch_->setInterval(kStateWatchPeriod);
  connect(state_watch_, &QTimer::timeout, this, &ViewerSession::watch_state);
}

ViewerSession::~ViewerSession() {
  stop();
}

template <typename Function>
void ViewerSession::post(Function function) {
  QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
}

LinkHooks ViewerSession::worker_link_hooks() {
  LinkHooks hooks = options_.link_hooks;
  hooks.message = [this](const std::string& text, const std::string& caption) {
    post([this, text, caption] { emit message(text, caption); });
  };
  return hooks;
}

bool ViewerSession::find_device() {
  init_sockets(
      [this](const std::string& text, const std::string& caption) { emit message(text, caption); });
  if (prepare_link(options_.link, *options_.adapters, options_.link_hooks.log)) return true;
  waiting_state_ = ConnectionState::no_camera;
  set_state(ConnectionState::no_camera);
  return false;
}

void ViewerSession::start() {
  stop_requested_ = false;
  display_frozen_ = false;
  capture_requested_ = false;
  ring_reset(*ring_);
  state_watch_->start();
  start_step(0);
}

void ViewerSession::start_step(int step) {
  if (stop_requested_) return;
  switch (step) {
    case 0:
      start_decode_thread();
      break;
    case 1:
      start_stream_receiver();
      break;
    case 2:
      event_server_ = std::thread([context = server_context("command", event_port_)] {
        pthread_setname_np(pthread_self(), "command server");
        run_event_server(context);
      });
      break;
    case 3:
      picture_server_ = std::thread([context = server_context("picture", picture_port_)] {
        pthread_setname_np(pthread_self(), "picture server");
        run_picture_server(context);
      });
      break;
  }
  QTimer::singleShot(kWorkerStartPause, this, [this, step] {
    if (step + 1 < kStartSteps) {
      start_step(step + 1);
    } else if (!stop_requested_) {
      emit started();
    }
  });
}

void ViewerSession::start_decode_thread() {
  decode_ = std::make_unique<DecodeRun>(*this, *options_.decoder);
  decode_->thread = std::thread([run = decode_.get()] {
    pthread_setname_np(pthread_self(), "decode");
    decode_thread(run->context);
  });
}

void ViewerSession::start_stream_receiver() {
  StreamEvents events{
      .connected = [this] { post([this] { stream_connected(); }); },
      .ended = [this](int) { post([this] { stream_ended(); }); },
  };
  receiver_ = std::thread([this, hooks = worker_link_hooks(), events = std::move(events)] {
    pthread_setname_np(pthread_self(), "stream receiver");
    run_stream_receiver(*ring_, options_.link, stop_requested_, hooks, events);
  });
}

void ViewerSession::stream_connected() {
  stream_connected_ = true;
  ever_connected_ = true;
  had_picture_ = false;
  pictures_seen_ = feed_->published_count();
  picture_clock_ = std::chrono::steady_clock::now();
  if (waiting_state_ == ConnectionState::no_camera) waiting_state_ = ConnectionState::connecting;
  watch_state();
}

void ViewerSession::stream_ended() {
  stream_connected_ = false;
  waiting_state_ = ever_connected_ ? ConnectionState::reconnecting : ConnectionState::no_camera;
  watch_state();
}

void ViewerSession::watch_state() {
  if (!stream_connected_) {
    set_state(waiting_state_);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  const std::uint64_t published = feed_->published_count();
  if (published != pictures_seen_) {
    pictures_seen_ = published;
    picture_clock_ = now;
    had_picture_ = true;
  }
  if (display_frozen_ && !capture_pause_) {
    // The stall clock starts again when the camera lets the display go.
    picture_clock_ = now;
    set_state(ConnectionState::frozen);
  } else if (now - picture_clock_ >= kStallTime) {
    set_state(ConnectionState::no_picture);
  } else {
    set_state(had_picture_ ? ConnectionState::live : waiting_state_);
  }
}

void ViewerSession::set_state(ConnectionState state) {
  if (state == state_) return;
  state_ = state;
  emit connection_state_changed(state);
}

EventServerContext ViewerSession::server_context(const char* server,
                                                 std::atomic<std::uint16_t>& bound_port) {
  EventServerConfig config = event_server_config(options_.link);
  if (!options_.server_listen_address.empty()) {
    config.listen_address = options_.server_listen_address;
  }
  // The picture view follows with show_single_picture: nothing to do for show_picture_view.
  EventActions actions{
      .load_album = [this] { post([this] { emit pictures_changed(); }); },
      .update_picture =
          [this](const std::filesystem::path& path) {
            post([this, path] { emit picture_changed(path); });
          },
      .show_video_area = [this] { post([this] { emit show_live(); }); },
      .show_picture_view = {},
      .show_single_picture =
          [this](const std::filesystem::path& path) {
            post([this, path] { emit show_picture(path); });
          },
      .decode_and_save_bmp = decode_and_save_bmp,
      .remove_picture = measure::remove_picture_and_sidecar,
      .picture_not_stored =
          [this](const std::filesystem::path& path, StoreProblem problem) {
            // A transfer cut short by stop happens while the window closes: no message then.
            if (stop_requested_) return;
            post([this, path, problem] { emit picture_not_stored(path, problem); });
          },
  };
  return EventServerContext{
      .config = config,
      .record_folder = RecordFolder(options_.record_folder),
      .capture_requested = capture_requested_,
      .display_frozen = display_frozen_,
      .stop_requested = stop_requested_,
      .received_picture_path = received_picture_path_,
      .actions = std::move(actions),
      .log = options_.link_hooks.log,
      .listening =
          [&bound_port, server, told = options_.server_listening](std::uint16_t port) {
            bound_port = port;
            if (told) told(server, port);
          },
  };
}

void ViewerSession::stop() {
  stop_requested_ = true;
  state_watch_->stop();
  exchanges_.stop();
  for (std::thread* worker : {&receiver_, &event_server_, &picture_server_}) {
    if (worker->joinable()) worker->join();
  }
  if (decode_) {
    decode_->thread.join();
    decode_.reset();
  }
}

void ViewerSession::capture() {
  capture_requested_ = true;
  display_frozen_ = true;
  capture_pause_ = true;
  QTimer::singleShot(kCapturePause, this, [this] {
    display_frozen_ = false;
    capture_pause_ = false;
    emit pictures_changed();
  });
  // A request no picture took by then is withdrawn: nothing is coming to capture.
  QTimer::singleShot(kCaptureWait, this, [this] {
    if (capture_requested_.exchange(false)) emit no_live_picture();
  });
}

void ViewerSession::set_adjustment(const VideoAdjustValues& values) {
  exchanges_.post([this, values, config = options_.link, hooks = worker_link_hooks()] {
    send_video_adjust(values.brightness, values.contrast, values.saturation, values.hue, config,
                      hooks, &stop_requested_);
  });
}

void ViewerSession::request_adjustment() {
  exchanges_.post([this, config = options_.link, hooks = worker_link_hooks()] {
    VideoAdjustValues reply;
    if (get_video_adjust(reply, config, hooks, &stop_requested_) != 0) {
      // An exchange cut short by stop happens while the window closes: no message then.
      if (!stop_requested_) post([this] { emit message(kGetFailure, kGetFailureCaption); });
      return;
    }
    post([this, reply] { emit adjustment_received(reply); });
  });
}

}  // namespace scopemark
