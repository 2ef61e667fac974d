#pragma once

#include <array>
#include <cstdint>

namespace scopemark {

inline constexpr int kStreamRequestSize = 12;
inline constexpr int kVideoAdjustSize = 14;
inline constexpr uint16_t kVideoAdjustCommand = 10;
inline constexpr uint16_t kAdjustSet = 0;
inline constexpr uint16_t kAdjustGet = 1;

using StreamRequest = std::array<uint8_t, kStreamRequestSize>;

// The 12 bytes that ask the camera for its stream: 5F 6F 00 00 "REQUEST" 00.
StreamRequest make_stream_request();

// Picture adjustment exchange on the adjustment port: seven little-endian 16-bit words.
struct VideoAdjustMessage {
  uint16_t command = kVideoAdjustCommand;
  uint16_t direction = kAdjustSet;
  uint16_t contrast = 0;
  uint16_t brightness = 0;
  uint16_t saturation = 0;
  uint16_t hue = 0;
  uint16_t reserved = 0;
};

using VideoAdjustBytes = std::array<uint8_t, kVideoAdjustSize>;

VideoAdjustBytes encode_video_adjust(const VideoAdjustMessage& message);
VideoAdjustMessage decode_video_adjust(const VideoAdjustBytes& bytes);

uint16_t read_le16(const uint8_t* bytes);
void write_le16(uint8_t* bytes, uint16_t value);

}  // namespace scopemark
