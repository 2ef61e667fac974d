#include "h264/stream/bit_reader.h"

uint32_t rbsp_length_bits(const uint8_t* data, uint32_t size) {
  uint32_t index = size;
  while (index > 0 && data[index - 1] == 0) --index;
  return index == 0 ? 0 : 8 * (index - 1);
}

void bit_reader_init(BitReader& br, const uint8_t* data, uint32_t size) {
  br.data = data;
  br.size = size;
  br.rbsp_bits = rbsp_length_bits(data, size);
  br.position = 0;
}

uint64_t bit_reader_load_tail(const BitReader& br, uint32_t index) {
  uint64_t value = 0;
  for (uint32_t i = 0; i < 8; ++i) {
    uint64_t byte = (index < br.size && i < br.size - index) ? br.data[index + i] : 0;
    value = (value << 8) | byte;
  }
  return value;
}

uint32_t read_ue_long(BitReader& br) {
  uint32_t window = show_bits32(br);
  if (window == 0) {
    br.position += 32;
    return 0xFFFFFFFFu;
  }
  uint32_t zeros = static_cast<uint32_t>(__builtin_clz(window));
  br.position += zeros;
  return read_bits(br, zeros + 1) - 1;
}

bool more_rbsp_data(const BitReader& br) {
  if (br.position < br.rbsp_bits) return true;
  if (br.position >= br.rbsp_bits + 8) return false;
  uint32_t index = br.rbsp_bits >> 3;
  uint32_t last = index < br.size ? br.data[index] : 0;
  uint32_t left = 8 - (br.position & 7);
  uint32_t rest = last & ((1u << left) - 1);
  return rest != (1u << (left - 1));
}
