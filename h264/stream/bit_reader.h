// Bit-level reads over one NAL unit (its header first, emulation prevention removed).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

struct BitReader {
  const uint8_t* data;  // first byte of the NAL unit header
  uint32_t size;        // bytes that may be read; reads beyond them see zero bytes
  uint32_t rbsp_bits;   // bits in front of the byte that holds rbsp_stop_one_bit
  uint32_t position;    // next bit; the first header bit is 0
};

// Reader over `size` bytes; the RBSP length comes from the last non-zero byte.
void bit_reader_init(BitReader& br, const uint8_t* data, uint32_t size);

// 8 x index of the last non-zero byte of data[0..size); 0 when every byte is zero.
uint32_t rbsp_length_bits(const uint8_t* data, uint32_t size);

// The eight bytes from byte `index` on as one big-endian value, zeros beyond `size`.
uint64_t bit_reader_load_tail(const BitReader& br, uint32_t index);

// True when the eight bytes from the byte of bit `position` on lie inside the buffer.
inline bool bit_reader_window_inside(const BitReader& br, uint32_t position) {
  return uint64_t{position >> 3} + 8 <= br.size;
}

// At least 57 bits from bit `position` on, the first one in bit 63, where
// bit_reader_window_inside holds.
inline uint64_t bit_reader_window_unchecked(const BitReader& br, uint32_t position) {
  uint64_t word;
  std::memcpy(&word, br.data + (position >> 3), 8);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word << (position & 7);
}

// At least 57 bits from bit `position` on, the first one in bit 63.
inline uint64_t bit_reader_window_at(const BitReader& br, uint32_t position) {
  if (bit_reader_window_inside(br, position)) return bit_reader_window_unchecked(br, position);
  return bit_reader_load_tail(br, position >> 3) << (position & 7);
}

inline uint64_t bit_reader_window(const BitReader& br) {
  return bit_reader_window_at(br, br.position);
}

// The 32 bits at the position, most significant first, without advancing.
inline uint32_t show_bits32(const BitReader& br) {
  return static_cast<uint32_t>(bit_reader_window(br) >> 32);
}

// u(n) for 0 <= n <= 32.
inline uint32_t read_bits(BitReader& br, uint32_t n) {
  uint32_t value = static_cast<uint32_t>((bit_reader_window(br) >> 1) >> (63 - n));
  br.position += n;
  return value;
}

inline uint32_t read_flag(BitReader& br) {
  return read_bits(br, 1);
}

// ue(v) of more than 28 leading zeros.
uint32_t read_ue_long(BitReader& br);

// ue(v) with up to 31 leading zeros; 32 zero bits give 0xFFFFFFFF (never a valid value).
inline uint32_t read_ue(BitReader& br) {
  const uint64_t window = bit_reader_window(br);
  const uint32_t zeros = static_cast<uint32_t>(std::countl_zero(window));
  if (zeros > 28) return read_ue_long(br);
  br.position += 2 * zeros + 1;
  return static_cast<uint32_t>(window >> (63 - 2 * zeros)) - 1;
}

// se(v): k odd gives (k + 1) / 2, k even gives -(k / 2).
inline int32_t read_se(BitReader& br) {
  uint32_t k = read_ue(br);
  uint32_t half = (k >> 1) + (k & 1);
  return (k & 1) ? static_cast<int32_t>(half) : -static_cast<int32_t>(half);
}

bool more_rbsp_data(const BitReader& br);
