#include "link/messages.h"

namespace scopemark {

StreamRequest make_stream_request() {
  return {0x5F, 0x6F, 0, 0, 'R', 'E', 'Q', 'U', 'E', 'S', 'T', 0};
}

uint16_t read_le16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

void write_le16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value & 0xFF);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

VideoAdjustBytes encode_video_adjust(const VideoAdjustMessage& message) {
  const uint16_t words[] = {message.command,    message.direction,  message.contrast,
                            message.brightness, message.saturation, message.hue,
                            message.reserved};
  VideoAdjustBytes bytes{};
  for (int i = 0; i < 7; ++i) write_le16(&bytes[2 * i], words[i]);
  return bytes;
}

VideoAdjustMessage decode_video_adjust(const VideoAdjustBytes& bytes) {
  VideoAdjustMessage message;
  message.command = read_le16(&bytes[0]);
  message.direction = read_le16(&bytes[2]);
  message.contrast = read_le16(&bytes[4]);
  message.brightness = read_le16(&bytes[6]);
  message.saturation = read_le16(&bytes[8]);
  message.hue = read_le16(&bytes[10]);
  message.reserved = read_le16(&bytes[12]);
  return message;
}

}  // namespace scopemark
