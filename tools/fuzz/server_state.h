// What the command and picture servers work on, for one fuzz input: a record folder below the
// fuzz folder, cleared flags, and a context that logs nowhere.
#pragma once

#include <atomic>
#include <filesystem>
#include <string_view>
#include <utility>

#include "events/server_context.h"
#include "fuzz_folder.h"

namespace scopemark::fuzz {

struct ServerState {
  explicit ServerState(EventActions actions = {})
      : folder(fuzz_folder() / "record"),
        context{
            .record_folder = RecordFolder(folder),
            .capture_requested = capture_requested,
            .display_frozen = display_frozen,
            .stop_requested = stop_requested,
            .received_picture_path = received,
            .actions = std::move(actions),
            .log = [](std::string_view) {},
        } {
    std::filesystem::create_directories(folder);
  }

  const std::filesystem::path folder;
  std::atomic<bool> capture_requested{false};
  std::atomic<bool> display_frozen{false};
  const std::atomic<bool> stop_requested{false};
  ReceivedPicturePath received;
  const EventServerContext context;
};

}  // namespace scopemark::fuzz
