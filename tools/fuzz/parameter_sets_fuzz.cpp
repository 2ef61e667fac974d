// The sequence and picture parameter set parsers alone. The input is a byte stream; every
// unit after a 00 00 01 start code whose type is 7 or 8 goes to its parser, in order, in the
// unit buffer of a decoder instance as the scanner leaves it. The instance is made once; its
// tables and stream state start empty for every input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "h264/decoder/decoder.h"
#include "h264/decoder/decoder_context.h"
#include "h264/stream/parameter_sets.h"

namespace {

// Start of the next unit after a start code at or after `from`, or `size`.
size_t next_unit(const uint8_t* data, size_t size, size_t from) {
  for (size_t i = from; i + 3 <= size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return i + 3;
  }
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DecoderContext* const decoder = [] {
    DecoderConfig config{};
    config.max_width_mbs = 22;
    config.max_height_mbs = 18;
    config.max_ref_frames = 4;
    return decoder_create(&config);
  }();
  if (!decoder) return 0;
  std::memset(decoder->sps_table, 0, SPS_TABLE_SIZE * sizeof(SequenceParameterSet));
  std::memset(decoder->pps_table, 0, PPS_TABLE_SIZE * sizeof(PictureParameterSet));
  std::memset(decoder->nal_buffer, 0, decoder->nal_capacity);
  decoder->stream_state = 0;
  uint32_t previous = 0;
  for (size_t begin = next_unit(data, size, 0); begin < size;) {
    const size_t following = next_unit(data, size, begin);
    const size_t end = following == size ? size : following - 3;
    const uint32_t length =
        static_cast<uint32_t>(std::min<size_t>(end - begin, decoder->nal_capacity));
    std::memset(decoder->nal_buffer, 0, previous);
    std::memcpy(decoder->nal_buffer, data + begin, length);
    previous = length;
    uint32_t last = length;
    while (last > 0 && decoder->nal_buffer[last - 1] == 0) --last;
    const uint32_t rbsp_bits = last > 0 ? 8 * (last - 1) : 0;
    decoder->reader = BitReader{decoder->nal_buffer, decoder->nal_capacity, rbsp_bits, 8};
    const uint32_t type = length > 0 ? decoder->nal_buffer[0] & 31 : 0;
    if (type == 7) parse_sequence_parameter_set(*decoder);
    if (type == 8) parse_picture_parameter_set(*decoder);
    begin = following;
  }
  return 0;
}
