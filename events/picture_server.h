#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/server_context.h"

namespace scopemark {

// One 8230-byte packet of a picture transfer, read in place.
struct PicturePacket {
  static constexpr std::size_t kSize = 8230;
  static constexpr std::size_t kPayloadSize = 8192;
  // Payload bytes used; kPayloadSize means another packet follows.
  std::uint16_t length = 0;
  // File name stem up to the first NUL of its 14 bytes.
  std::string_view name;
  std::span<const std::uint8_t> payload;
};

PicturePacket parse_picture_packet(std::span<const std::uint8_t, PicturePacket::kSize> bytes);

// Largest picture held; a transfer that would exceed it is refused.
inline constexpr std::size_t kMaxPictureSize = 512000;
// Pictures of at most this many bytes are dropped.
inline constexpr std::size_t kStoreThreshold = 102400;

// Collects the packets of one transfer in a buffer fixed at construction.
class PictureAssembler {
 public:
  enum class Step { more, last, refused };

  PictureAssembler() : buffer_(kMaxPictureSize) {}

  // Starts a new transfer.
  void reset();
  // Takes the name from the first packet and appends the payload. A refused transfer (unsafe
  // name, `length` above 8192, picture above kMaxPictureSize) keeps nothing further.
  Step add(const PicturePacket& packet);

  bool named() const { return named_; }
  const std::string& name() const { return name_; }
  std::span<const std::uint8_t> picture() const { return std::span(buffer_).first(size_); }

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t size_ = 0;
  std::string name_;
  bool named_ = false;
};

// Stores an accepted transfer: names `received_picture_path`, and above kStoreThreshold saves
// a `complete` picture as BMP under a temporary name, renames it over an older file of its
// name and shows it. Nothing is deleted: a transfer cut off, too small, undecodable or not
// written keeps the older file, and all but the too small ones are told to
// `picture_not_stored`.
void store_received_picture(const EventServerContext& ctx, const PictureAssembler& assembler,
                            bool complete);

// Body of the picture server thread (port `config.picture_port`): one picture per connection.
// Returns as run_server_loop does.
int run_picture_server(const EventServerContext& ctx);

}  // namespace scopemark
