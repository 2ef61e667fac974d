#include "h264/recon/recon_tables.h"

#include <array>

#include "h264/recon/mb_work_area.h"

namespace {

constexpr int blk4x4_x(int blk) {
  return (blk & 4) * 2 + (blk & 1) * 4;
}
constexpr int blk4x4_y(int blk) {
  return (blk & 8) + (blk & 2) * 2;
}
constexpr int blk4x4_at(int x, int y) {
  return ((y >> 3) * 2 + (x >> 3)) * 4 + ((y >> 2) & 1) * 2 + ((x >> 2) & 1);
}

// Position in the luma sample array of the sample (x, y), -1 <= x < 24, -1 <= y < 16, relative
// to the macroblock.
constexpr uint16_t border_position(int x, int y) {
  if (x < 0) return y < 0 ? kLumaTopLeft : kLumaLeft + y;
  if (y < 0) return x < 16 ? kLumaTop + x : kLumaTopRight + x - 16;
  return luma_sample_offset(x, y);
}

// Whether the size x size block at (x, y) may use the samples above-right of it: they lie above
// the macroblock, or belong to an earlier block of the macroblock (decoding order equals
// luma4x4BlkIdx order, whose 8x8 groups are those of the 8x8 blocks).
constexpr bool top_right_decoded(int x, int y, int size) {
  if (y == 0) return true;
  if (x + size >= 16) return false;
  return blk4x4_at(x + size, y - 1) < blk4x4_at(x, y);
}

constexpr uint16_t left_flag(int x, int y) {
  return x == 0 ? kFlagLeft + (y >> 2) : kFlagOne;
}
constexpr uint16_t top_flag(int y) {
  return y == 0 ? kFlagTop : kFlagOne;
}
constexpr uint16_t top_left_flag(int x, int y) {
  if (x == 0) return y == 0 ? kFlagTopLeft : left_flag(0, y - 1);
  return top_flag(y);
}

template <typename Neighbours, int size>
constexpr Neighbours block_neighbours(int x, int y) {
  Neighbours n{};
  const bool top_right = top_right_decoded(x, y, size);
  for (int i = 0; i < size; ++i) {
    n.left[i] = border_position(x - 1, y + i);
    n.top[i] = border_position(x + i, y - 1);
    n.top_right[i] =
        top_right ? border_position(x + size + i, y - 1) : border_position(x + size - 1, y - 1);
  }
  n.top_left = border_position(x - 1, y - 1);
  n.flag_left = left_flag(x, y);
  n.flag_top = top_flag(y);
  n.flag_top_left = top_left_flag(x, y);
  return n;
}

constexpr std::array<Intra4x4Neighbours, 16> make_intra4x4_neighbours() {
  std::array<Intra4x4Neighbours, 16> t{};
  for (int blk = 0; blk < 16; ++blk)
    t[blk] = block_neighbours<Intra4x4Neighbours, 4>(blk4x4_x(blk), blk4x4_y(blk));
  return t;
}

constexpr std::array<Intra8x8Neighbours, 4> make_intra8x8_neighbours() {
  std::array<Intra8x8Neighbours, 4> t{};
  for (int blk = 0; blk < 4; ++blk)
    t[blk] = block_neighbours<Intra8x8Neighbours, 8>((blk & 1) * 8, (blk >> 1) * 8);
  return t;
}

}  // namespace

const uint16_t decoder_luma4x4_offset[16] = {0,   4,   32,  36,  64,  68,  96,  100,
                                             128, 132, 160, 164, 192, 196, 224, 228};
const uint8_t decoder_chroma4x4_offset[4] = {0, 4, 32, 36};

const uint8_t decoder_chroma_qp[52] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
    18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 29, 30, 31, 32, 32, 33,
    34, 34, 35, 35, 36, 36, 37, 37, 37, 38, 38, 38, 39, 39, 39, 39,
};

const uint8_t decoder_qp_split[52] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x20,
    0x21, 0x22, 0x23, 0x24, 0x25, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x40, 0x41,
    0x42, 0x43, 0x44, 0x45, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x60, 0x61, 0x62,
    0x63, 0x64, 0x65, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x80, 0x81, 0x82, 0x83,
};

const uint8_t decoder_scan4x4[2][16] = {{0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15},
                                        {0, 4, 1, 8, 12, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15}};

const uint8_t decoder_scan8x8[2][64] = {
    {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
     41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
     30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63},
    {0,  8,  16, 1,  9,  24, 32, 17, 2, 25, 40, 48, 56, 33, 10, 3,  18, 41, 49, 57, 26, 11,
     4,  19, 34, 42, 50, 58, 27, 12, 5, 20, 35, 43, 51, 59, 28, 13, 6,  21, 36, 44, 52, 60,
     29, 14, 22, 37, 45, 53, 61, 30, 7, 15, 38, 46, 54, 62, 23, 31, 39, 47, 55, 63},
};

const uint8_t decoder_default_4x4_intra[16] = {6,  13, 13, 20, 20, 20, 28, 28,
                                               28, 28, 32, 32, 32, 37, 37, 42};
const uint8_t decoder_default_4x4_inter[16] = {10, 14, 14, 20, 20, 20, 24, 24,
                                               24, 24, 27, 27, 27, 30, 30, 34};
const uint8_t decoder_default_8x8_intra[64] = {
    6,  10, 10, 13, 11, 13, 16, 16, 16, 16, 18, 18, 18, 18, 18, 23, 23, 23, 23, 23, 23, 25,
    25, 25, 25, 25, 25, 25, 27, 27, 27, 27, 27, 27, 27, 27, 29, 29, 29, 29, 29, 29, 29, 31,
    31, 31, 31, 31, 31, 33, 33, 33, 33, 33, 36, 36, 36, 36, 38, 38, 38, 40, 40, 42};
const uint8_t decoder_default_8x8_inter[64] = {
    9,  13, 13, 15, 13, 15, 17, 17, 17, 17, 19, 19, 19, 19, 19, 21, 21, 21, 21, 21, 21, 22,
    22, 22, 22, 22, 22, 22, 24, 24, 24, 24, 24, 24, 24, 24, 25, 25, 25, 25, 25, 25, 25, 27,
    27, 27, 27, 27, 27, 28, 28, 28, 28, 28, 30, 30, 30, 30, 32, 32, 32, 33, 33, 35};

const uint8_t decoder_alpha[52] = {
    0,  0,  0,  0,  0,  0,  0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   4,  4,
    5,  6,  7,  8,  9,  10, 12,  13,  15,  17,  20,  22,  25,  28,  32,  36,  40, 45,
    50, 56, 63, 71, 80, 90, 101, 113, 127, 144, 162, 182, 203, 226, 255, 255,
};
const uint8_t decoder_beta[52] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0,  0,  0,  2,  2,  2,  3,  3,  3,  3,  4,  4,  4,
    6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18,
};
const uint8_t decoder_tc0[52][3] = {
    {0, 0, 0},    {0, 0, 0},    {0, 0, 0},    {0, 0, 0},  {0, 0, 0},   {0, 0, 0},   {0, 0, 0},
    {0, 0, 0},    {0, 0, 0},    {0, 0, 0},    {0, 0, 0},  {0, 0, 0},   {0, 0, 0},   {0, 0, 0},
    {0, 0, 0},    {0, 0, 0},    {0, 0, 0},    {0, 0, 1},  {0, 0, 1},   {0, 0, 1},   {0, 0, 1},
    {0, 1, 1},    {0, 1, 1},    {1, 1, 1},    {1, 1, 1},  {1, 1, 1},   {1, 1, 1},   {1, 1, 2},
    {1, 1, 2},    {1, 1, 2},    {1, 1, 2},    {1, 2, 3},  {1, 2, 3},   {2, 2, 3},   {2, 2, 4},
    {2, 3, 4},    {2, 3, 4},    {3, 3, 5},    {3, 4, 6},  {3, 4, 6},   {4, 5, 7},   {4, 5, 8},
    {4, 6, 9},    {5, 7, 10},   {6, 8, 11},   {6, 8, 13}, {7, 10, 14}, {8, 11, 16}, {9, 12, 18},
    {10, 13, 20}, {11, 15, 23}, {13, 17, 25},
};

const std::array<Intra4x4Neighbours, 16> decoder_intra4x4_neighbours = make_intra4x4_neighbours();
const std::array<Intra8x8Neighbours, 4> decoder_intra8x8_neighbours = make_intra8x8_neighbours();

const uint8_t decoder_intra4x4_mode_left[16] = {21, 0, 23, 2,  1, 4,  3,  6,
                                                29, 8, 31, 10, 9, 12, 11, 14};
const uint8_t decoder_intra4x4_mode_top[16] = {26, 27, 0, 1, 30, 31, 4,  5,
                                               2,  3,  8, 9, 6,  7,  12, 13};
const uint8_t decoder_intra8x8_mode_left[4] = {21, 1, 29, 9};
const uint8_t decoder_intra8x8_mode_top[4] = {26, 30, 2, 6};
