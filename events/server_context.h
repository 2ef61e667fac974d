#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <utility>

#include "link/link_config.h"
#include "link/link_log.h"
#include "records/picture_store.h"
#include "records/record_folder.h"

namespace scopemark {

// Addresses, ports and time limits of the two servers.
struct EventServerConfig {
  // Only connections from this IPv4 address are served; all others are closed at once.
  std::string camera_address = kDefaultCameraAddress;
  // Local address both servers listen on; the any-address by default.
  std::string listen_address = "0.0.0.0";
  std::uint16_t event_port = 40004;
  std::uint16_t picture_port = 40013;
  // A connection whose peer sends nothing for this long is dropped.
  std::chrono::milliseconds idle_timeout{5000};
  // Pause of the command server after a connection that delivered nothing.
  std::chrono::milliseconds empty_read_pause{1000};
};

// The servers' settings for a camera reached as config says: its address and the two
// ports. A camera on loopback is served on loopback only, any other on every address.
EventServerConfig event_server_config(const LinkConfig& config);

// What the servers ask of the window. Each runs on a server thread; an action that is not
// set is skipped.
struct EventActions {
  // Rebuild the album from the record folder.
  std::function<void()> load_album;
  // Bring the album's item of one picture file up to date: added, replaced or gone.
  std::function<void(const std::filesystem::path&)> update_picture;
  // Show the video area (1000) and hide the single picture view (1018).
  std::function<void()> show_video_area;
  // Hide the video area (1000) and show the single picture view (1018).
  std::function<void()> show_picture_view;
  // Show one picture file in the single picture view.
  std::function<void(const std::filesystem::path&)> show_single_picture;
  // Decode a still picture of any supported format and save it as BMP: none, undecodable,
  // or why the file could not be written.
  std::function<StoreProblem(std::span<const std::uint8_t>, const std::filesystem::path&)>
      decode_and_save_bmp;
  // Remove one picture for the camera's delete commands (the desktop trash where there is
  // one); unset: deleted for good.
  FileRemover remove_picture;
  // A picture the camera sent under this path was not stored, and why; the older picture of
  // its name, if any, is kept.
  std::function<void(const std::filesystem::path&, StoreProblem)> picture_not_stored;
};

// Full path of the last picture named by the picture server; read by the command server.
class ReceivedPicturePath {
 public:
  std::filesystem::path get() const {
    std::lock_guard lock(mutex_);
    return path_;
  }
  void set(std::filesystem::path path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
  }

 private:
  mutable std::mutex mutex_;
  std::filesystem::path path_;
};

// Runs `action` with `args` when it is set.
template <typename Action, typename... Args>
void run_action(const Action& action, Args&&... args) {
  if (action) action(std::forward<Args>(args)...);
}

// Everything both server threads work on. The referenced objects outlive the threads.
struct EventServerContext {
  EventServerConfig config{};
  RecordFolder record_folder{};
  std::atomic<bool>& capture_requested;
  std::atomic<bool>& display_frozen;
  const std::atomic<bool>& stop_requested;
  ReceivedPicturePath& received_picture_path;
  EventActions actions{};
  LogFunction log{};
  // Told the bound port once a server listens (useful with port 0).
  std::function<void(std::uint16_t)> listening{};
};

}  // namespace scopemark
