// Annex B byte-stream scanning: NAL units gathered across calls, emulation prevention
// removed while gathering, and the NAL unit dispatcher.
#pragma once

#include <cstdint>

struct DecoderContext;

constexpr uint32_t SCAN_WINDOW_RESET = 0x1010100;

struct NalScanner {
  const uint8_t* pending;  // caller's bytes or the closing start code; null when used up
  uint32_t pending_length;
  uint32_t read_position;
  uint32_t window;            // last three bytes, big-endian, shifted left by 8
  uint32_t start_codes_seen;  // 0 before the first start code, 1 gathering, 2 complete
  uint32_t write_position;    // bytes stored in the unit buffer
  uint32_t removed_bytes;     // emulation prevention bytes dropped from this unit
  uint8_t closing_start_code[4];
};

enum class ScanResult {
  input_used_up,
  unit_ready,    // the unit is in the BitReader, ready for the dispatcher
  unit_skipped,  // a unit too short to carry data (end of sequence, access unit delimiter)
};

// Result codes of this layer and of the dispatcher.
constexpr uint32_t NAL_UNSUPPORTED_TYPE = 0x10000001;
constexpr uint32_t NAL_RESULT_IGNORED = 1;
constexpr uint32_t NAL_RESULT_NEW_PICTURE = 2;
constexpr uint32_t NAL_RESULT_SAME_PICTURE = 3;
constexpr uint32_t NAL_RESULT_SPS = 7;
constexpr uint32_t NAL_RESULT_PPS = 8;
constexpr uint32_t NAL_RESULT_SKIPPED = 9;

constexpr uint32_t SEI_VIEW_FLAG = 224;
constexpr uint32_t SEI_USER_DATA = 240;

void scanner_reset(NalScanner& scanner);

// Makes `bytes` the pending input.
void scanner_set_input(NalScanner& scanner, const uint8_t* bytes, uint32_t length);

// Scans pending bytes until a unit completes or the input is used up. A completed unit
// leaves its size in bytes (stored plus removed) in `unit_bytes`.
ScanResult scan_next_unit(DecoderContext& ctx, uint32_t& unit_bytes);

// Reads the NAL unit header and hands the unit on; returns the dispatcher result.
uint32_t dispatch_nal_unit(DecoderContext& ctx, uint32_t unit_bytes);

void decode_sei(DecoderContext& ctx);
