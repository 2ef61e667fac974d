// The command server's handling of what one connection delivers. The input is a series of
// reads, each a length byte followed by up to that many bytes; every read is parsed as a
// message and its command carried out against a record folder holding one picture.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string_view>

#include "events/event_server.h"
#include "fuzz_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopemark;
  const std::filesystem::path folder = fuzz::fuzz_folder() / "record";
  std::filesystem::create_directories(folder / "inner");
  const std::filesystem::path picture = folder / "inner" / "picture.bmp";
  std::ofstream(picture) << "picture";
  std::atomic<bool> capture_requested{false};
  std::atomic<bool> display_frozen{false};
  const std::atomic<bool> stop_requested{false};
  ReceivedPicturePath received;
  received.set(picture);
  const EventServerContext ctx{
      .record_folder = folder,
      .capture_requested = capture_requested,
      .display_frozen = display_frozen,
      .stop_requested = stop_requested,
      .received_picture_path = received,
      .log = [](std::string_view) {},
  };
  const std::span<const uint8_t> input(data, size);
  for (size_t offset = 0; offset < size;) {
    const size_t length = std::min<size_t>(input[offset], size - offset - 1);
    const auto message = parse_event_message(input.subspan(offset + 1, length));
    if (message) handle_event_command(ctx, message->command);
    offset += 1 + length;
  }
  return 0;
}
