// The command server's handling of what one connection delivers. The input is a series of
// reads, each a length byte followed by up to that many bytes; every read is parsed as a
// message and its command carried out against a record folder holding one picture.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>

#include "events/event_server.h"
#include "server_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopemark;
  fuzz::ServerState state;
  std::filesystem::create_directories(state.folder / "inner");
  const std::filesystem::path picture = state.folder / "inner" / "picture.bmp";
  std::ofstream(picture) << "picture";
  state.received.set(picture);
  const std::span<const uint8_t> input(data, size);
  for (size_t offset = 0; offset < size;) {
    const size_t length = std::min<size_t>(input[offset], size - offset - 1);
    const auto message = parse_event_message(input.subspan(offset + 1, length));
    if (message) handle_event_command(state.context, message->command);
    offset += 1 + length;
  }
  return 0;
}
