// The picture server's handling of one connection: the input is cut into packets as the
// server reads them (a short rest is a connection closed mid-packet), and an accepted
// transfer is stored. The stored path must stay a direct child of the record folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "events/picture_server.h"
#include "server_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scopemark;
  static PictureAssembler assembler;
  const std::filesystem::path folder = fuzz::fuzz_folder() / "record";
  const fuzz::ServerState state(EventActions{
      .decode_and_save_bmp =
          [&folder](std::span<const std::uint8_t> picture, const std::filesystem::path& path) {
            if (path.parent_path() != folder || picture.size() > kMaxPictureSize) std::abort();
            return StoreProblem::undecodable;
          },
  });
  assembler.reset();
  auto step = PictureAssembler::Step::more;
  for (size_t offset = 0; offset + PicturePacket::kSize <= size; offset += PicturePacket::kSize) {
    step = assembler.add(parse_picture_packet(
        std::span<const uint8_t, PicturePacket::kSize>(data + offset, PicturePacket::kSize)));
    if (step != PictureAssembler::Step::more) break;
  }
  if (step != PictureAssembler::Step::refused && assembler.named()) {
    store_received_picture(state.context, assembler, step == PictureAssembler::Step::last);
    if (state.received.get().parent_path() != folder) std::abort();
  }
  return 0;
}
