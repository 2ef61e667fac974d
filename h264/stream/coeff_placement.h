// Where the entropy decoders put the levels of a residual block: scaled, at their raster
// position in the block's coefficient array.
#pragma once

#include <cstdint>

// ((c x scale) << shift + round) >> bits with 32-bit two's-complement wrap-around, so corrupt
// levels cannot overflow.
inline int16_t decoder_scale_level(int32_t c, uint32_t scale, int shift, int32_t round, int bits) {
  const uint32_t product = (static_cast<uint32_t>(c) * scale) << shift;
  return static_cast<int16_t>(static_cast<int32_t>(product + static_cast<uint32_t>(round)) >> bits);
}

// The level at scan index k of a block (k counted from its first coded index) goes to
// coeff[pos], pos = scan[k x step], as decoder_scale_level(level, scale[pos], shift, round,
// bits). The coefficient array is cleared before the block is read; the scan never leaves it.
struct CoeffPlacement {
  int16_t* coeff;
  const uint8_t* scan;
  const uint16_t* scale;  // by raster position
  int32_t step;
  int32_t shift;
  int32_t round;
  int32_t bits;
};

inline void decoder_place_level(const CoeffPlacement& p, int k, int32_t level) {
  const int pos = p.scan[k * p.step];
  p.coeff[pos] = decoder_scale_level(level, p.scale[pos], p.shift, p.round, p.bits);
}

// Levels in increasing scan order, level[i] after run[i] zeros, as the CAVLC block decoder
// returns them; indexes past `size` scan indexes are dropped.
inline void decoder_place_levels(const CoeffPlacement& p, const int32_t* level, const uint8_t* run,
                                 int count, int size) {
  int k = 0;
  for (int i = 0; i < count; ++i) {
    k += run[i];
    if (k >= size) return;
    decoder_place_level(p, k, level[i]);
    ++k;
  }
}
