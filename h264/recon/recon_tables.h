// Constant tables of sample reconstruction.
#pragma once

#include <array>
#include <cstdint>

// Position of luma sample (x, y), 0 <= x, y < 16, in the quadrant layout of the luma sample and
// residual arrays.
inline constexpr int luma_sample_offset(int x, int y) {
  return 64 * ((y >> 3) * 2 + (x >> 3)) + (y & 7) * 8 + (x & 7);
}

// Offset of 4x4 block luma4x4BlkIdx in the luma arrays; chroma 4x4 block n (0..3) starts at
// decoder_chroma4x4_offset[n].
extern const uint16_t decoder_luma4x4_offset[16];
extern const uint8_t decoder_chroma4x4_offset[4];

// Table 8-15: QP'C for qPI 0..51.
extern const uint8_t decoder_chroma_qp[52];
// qP / 6 in the high four bits, qP % 6 in the low four, for qP 0..51.
extern const uint8_t decoder_qp_split[52];

// Inverse scans: [field][scan index] raster position.
extern const uint8_t decoder_scan4x4[2][16];
extern const uint8_t decoder_scan8x8[2][64];

// Tables 7-3 and 7-4 in zig-zag order, as scaling lists are sent.
extern const uint8_t decoder_default_4x4_intra[16];
extern const uint8_t decoder_default_4x4_inter[16];
extern const uint8_t decoder_default_8x8_intra[64];
extern const uint8_t decoder_default_8x8_inter[64];

// Tables 8-16 and 8-17 by indexA / indexB 0..51; tC0 for bS 1..3.
extern const uint8_t decoder_alpha[52];
extern const uint8_t decoder_beta[52];
extern const uint8_t decoder_tc0[52][3];

// Where a 4x4 or 8x8 block finds its neighbour samples and availability flags in the luma
// sample array of MbWorkArea. Top-right samples that the standard declares not available inside
// the macroblock point at the block's last top sample.
struct Intra4x4Neighbours {
  uint16_t left[4];
  uint16_t top[4];
  uint16_t top_right[4];
  uint16_t top_left;
  uint16_t flag_left;
  uint16_t flag_top;
  uint16_t flag_top_left;
};
struct Intra8x8Neighbours {
  uint16_t left[8];
  uint16_t top[8];
  uint16_t top_right[8];
  uint16_t top_left;
  uint16_t flag_left;
  uint16_t flag_top;
  uint16_t flag_top_left;
};
extern const std::array<Intra4x4Neighbours, 16> decoder_intra4x4_neighbours;
extern const std::array<Intra8x8Neighbours, 4> decoder_intra8x8_neighbours;

// Neighbouring 4x4 block whose prediction mode enters the mode prediction (clauses 8.3.1.1 and
// 8.3.2.1): the 4x4 mode entry (luma4x4BlkIdx), plus kNeighbourMb when it lies in the left (A)
// or upper (B) macroblock rather than in the current one.
inline constexpr uint8_t kNeighbourMb = 16;
extern const uint8_t decoder_intra4x4_mode_left[16];
extern const uint8_t decoder_intra4x4_mode_top[16];
extern const uint8_t decoder_intra8x8_mode_left[4];
extern const uint8_t decoder_intra8x8_mode_top[4];
