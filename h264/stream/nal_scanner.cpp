#include "h264/stream/nal_scanner.h"

#include <algorithm>
#include <cstring>

#include "h264/decoder/decoder_context.h"
#include "h264/decoder/decoder_workers.h"

void scanner_reset(NalScanner& scanner) {
  scanner = NalScanner{};
  scanner.window = SCAN_WINDOW_RESET;
  const uint8_t closing[4] = {0, 0, 0, 1};
  std::memcpy(scanner.closing_start_code, closing, sizeof closing);
}

void scanner_set_input(NalScanner& scanner, const uint8_t* bytes, uint32_t length) {
  scanner.pending = bytes;
  scanner.pending_length = length;
  scanner.read_position = 0;
}

ScanResult scan_next_unit(DecoderContext& ctx, uint32_t& unit_bytes) {
  NalScanner& s = ctx.scanner;
  uint8_t* buffer = ctx.nal_buffer;
  while (s.pending && s.read_position < s.pending_length) {
    if (s.start_codes_seen == 1 && (s.window & 0xFF00) != 0) {
      // After a non-zero byte, a start code or emulation prevention byte needs two new zero
      // bytes: everything up to the next zero byte is unit data.
      const uint8_t* from = s.pending + s.read_position;
      const uint32_t room =
          ctx.nal_capacity > s.write_position ? ctx.nal_capacity - s.write_position : 0;
      const uint32_t limit = std::min(s.pending_length - s.read_position, room);
      const void* zero = std::memchr(from, 0, limit);
      const uint32_t n =
          zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - from) : limit;
      if (n > 0) {
        std::memcpy(buffer + s.write_position, from, n);
        s.write_position += n;
        s.read_position += n;
        for (uint32_t i = n > 3 ? n - 3 : 0; i < n; ++i)
          s.window = ((s.window | from[i]) & 0xFFFFFF) << 8;
        continue;
      }
    }
    uint32_t byte = s.pending[s.read_position++];
    if (s.write_position >= ctx.nal_capacity) {
      ctx.nal_bytes_written = ctx.nal_capacity;
      s.write_position = 0;
      s.removed_bytes = 0;
      s.start_codes_seen = 0;
    }
    s.window = (s.window | byte) & 0xFFFFFF;
    if (s.start_codes_seen == 1) {
      if (s.window == 0x000003) {
        ++s.removed_bytes;
      } else {
        buffer[s.write_position++] = static_cast<uint8_t>(byte);
      }
    }
    if (s.window == 0x000001) ++s.start_codes_seen;
    s.window <<= 8;
    if (s.start_codes_seen < 2) continue;

    uint32_t length = s.write_position;
    ctx.nal_bytes_written = std::max(ctx.nal_bytes_written, length);
    uint32_t removed = s.removed_bytes;
    s.start_codes_seen = 1;
    s.write_position = 0;
    s.removed_bytes = 0;
    if (length < 5) continue;
    uint32_t end = length - 3;
    while (end > 0 && buffer[end - 1] == 0) --end;
    uint32_t rbsp_bits = end > 0 ? 8 * (end - 1) : 0;
    ctx.reader = BitReader{buffer, ctx.nal_capacity, rbsp_bits, 0};
    unit_bytes = end + removed;
    return rbsp_bits > 8 ? ScanResult::unit_ready : ScanResult::unit_skipped;
  }
  ctx.nal_bytes_written = std::max(ctx.nal_bytes_written, s.write_position);
  s.pending = nullptr;
  return ScanResult::input_used_up;
}

void decode_sei(DecoderContext& ctx) {
  const uint8_t* unit = ctx.nal_buffer;
  uint32_t unit_end = ctx.reader.rbsp_bits / 8 + 1;
  uint32_t payload_type = unit[1];
  uint32_t payload_size = unit[2];
  if (payload_type == SEI_VIEW_FLAG && payload_size == 1) {
    ctx.view_flag = unit[3] & 1;
  } else if (payload_type == SEI_USER_DATA) {
    for (uint32_t i = 0; i < payload_size; ++i) {
      ctx.user_data_bytes[i] = 3 + i < unit_end ? unit[3 + i] : 0;
    }
    ctx.user_data = UserDataRecord{SEI_USER_DATA, payload_size, ctx.user_data_bytes, 0};
    ctx.user_data_seen = 1;
  }
}

uint32_t dispatch_nal_unit(DecoderContext& ctx, uint32_t unit_bytes) {
  BitReader& br = ctx.reader;
  read_bits(br, 1);
  ctx.nal_ref_idc = read_bits(br, 2);
  ctx.nal_unit_type = read_bits(br, 5);
  switch (ctx.nal_unit_type) {
    case 1:
    case 5:
      return decode_slice_nal(ctx, unit_bytes);
    case 6:
      wait_all_workers(ctx);
      decode_sei(ctx);
      return NAL_RESULT_NEW_PICTURE;
    case 7: {
      wait_all_workers(ctx);
      uint32_t result = parse_sequence_parameter_set(ctx);
      return result ? result : NAL_RESULT_SPS;
    }
    case 8: {
      wait_all_workers(ctx);
      uint32_t result = parse_picture_parameter_set(ctx);
      return result ? result : NAL_RESULT_PPS;
    }
    case 9:
    case 10:
    case 12:
      return NAL_RESULT_SKIPPED;
    case 11:
      return NAL_RESULT_IGNORED;
    default:
      return NAL_UNSUPPORTED_TYPE;
  }
}
