#include "events/picture_server.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "events/server_loop.h"
#include "link/sockets.h"

namespace scopemark {

namespace {

constexpr std::size_t kLengthOffset = 10;
constexpr std::size_t kNameOffset = 19;
constexpr std::size_t kNameSize = 14;
constexpr std::size_t kPayloadOffset = 38;

}  // namespace

PicturePacket parse_picture_packet(std::span<const std::uint8_t, PicturePacket::kSize> bytes) {
  const char* name = reinterpret_cast<const char*>(bytes.data() + kNameOffset);
  return PicturePacket{
      .length = static_cast<std::uint16_t>(bytes[kLengthOffset] | bytes[kLengthOffset + 1] << 8),
      .name = std::string_view(name, ::strnlen(name, kNameSize)),
      .payload = bytes.subspan<kPayloadOffset, PicturePacket::kPayloadSize>(),
  };
}

void PictureAssembler::reset() {
  size_ = 0;
  name_.clear();
  named_ = false;
}

PictureAssembler::Step PictureAssembler::add(const PicturePacket& packet) {
  if (!named_) {
    if (!is_safe_picture_name(packet.name)) return Step::refused;
    name_.assign(packet.name);
    named_ = true;
  }
  if (packet.length > PicturePacket::kPayloadSize || packet.length > kMaxPictureSize - size_) {
    return Step::refused;
  }
  std::copy_n(packet.payload.begin(), packet.length, buffer_.begin() + size_);
  size_ += packet.length;
  return packet.length == PicturePacket::kPayloadSize ? Step::more : Step::last;
}

void store_received_picture(const EventServerContext& ctx, const PictureAssembler& assembler) {
  const std::filesystem::path target = ctx.record_folder.received_picture_path(assembler.name());
  ctx.received_picture_path.set(target);
  ctx.record_folder.delete_picture(target);
  if (assembler.picture().size() <= kStoreThreshold) return;
  const auto& save = ctx.actions.decode_and_save_bmp;
  if (!save || !save(assembler.picture(), target)) ctx.record_folder.delete_picture(target);
  run_action(ctx.actions.show_picture_view);
  run_action(ctx.actions.update_picture, target);
  run_action(ctx.actions.show_single_picture, target);
}

int run_picture_server(const EventServerContext& ctx) {
  PictureAssembler assembler;
  std::array<std::uint8_t, PicturePacket::kSize> packet{};
  return run_server_loop(ctx, ctx.config.picture_port, [&](Socket connection) {
    assembler.reset();
    auto step = PictureAssembler::Step::more;
    while (receive_exact(connection.get(), packet.data(), static_cast<int>(packet.size()), ctx.log,
                         &ctx.stop_requested, ctx.config.idle_timeout) > 0) {
      step = assembler.add(parse_picture_packet(packet));
      if (step != PictureAssembler::Step::more || ctx.stop_requested.load()) break;
    }
    connection.close();
    if (step != PictureAssembler::Step::refused && assembler.named()) {
      store_received_picture(ctx, assembler);
    }
  });
}

}  // namespace scopemark
