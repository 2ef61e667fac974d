#include "events/picture_server.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>
#include <utility>

#include "events/server_loop.h"
#include "link/sockets.h"
#include "measure/measure.h"

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

void store_received_picture(const EventServerContext& ctx, const PictureAssembler& assembler,
                            bool complete) {
  const std::filesystem::path target = ctx.record_folder.received_picture_path(assembler.name());
  ctx.received_picture_path.set(target);
  if (assembler.picture().size() <= kStoreThreshold) return;
  StoreProblem problem = StoreProblem::incomplete;
  if (complete) {
    const auto& save = ctx.actions.decode_and_save_bmp;
    const std::filesystem::path temporary = temporary_picture_path(ctx.record_folder, "received");
    problem = prepare_folder(ctx.record_folder);
    if (problem == StoreProblem::none) {
      problem = save ? save(assembler.picture(), temporary) : StoreProblem::undecodable;
    }
    if (problem == StoreProblem::none) {
      problem = place_replacing(temporary, target).problem;
      // The replaced picture's measurements do not describe the new one.
      if (problem == StoreProblem::none) measure::remove_sidecar(target);
    } else {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
    }
  }
  if (problem != StoreProblem::none) {
    write_log(ctx.log, "received picture not stored: " + target.filename().string() + "\n");
    run_action(ctx.actions.picture_not_stored, target, problem);
    return;
  }
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
      store_received_picture(ctx, assembler, step == PictureAssembler::Step::last);
    }
  });
}

}  // namespace scopemark
