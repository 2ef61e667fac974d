// Neighbouring 4x4 blocks inside a macroblock and across its left and upper edges (clauses
// 6.4.11.4 and 6.4.11.5, 4:2:0, no MBAFF), shared by the context selection of both entropy coders.
#pragma once

#include <array>

// A neighbouring block: in the current macroblock, or in macroblock A (left) or B (above).
struct NeighbourBlock {
  bool inside;
  int blk;
};

constexpr int luma4x4_x(int blk) {
  return 2 * ((blk >> 2) & 1) + (blk & 1);
}
constexpr int luma4x4_y(int blk) {
  return 2 * (blk >> 3) + ((blk >> 1) & 1);
}
constexpr int luma4x4_at(int x, int y) {
  return 8 * (y >> 1) + 4 * (x >> 1) + 2 * (y & 1) + (x & 1);
}

// Left and upper neighbours of luma block blk (luma4x4BlkIdx).
constexpr NeighbourBlock luma4x4_left(int blk) {
  int x = luma4x4_x(blk);
  int y = luma4x4_y(blk);
  return x > 0 ? NeighbourBlock{true, luma4x4_at(x - 1, y)}
               : NeighbourBlock{false, luma4x4_at(3, y)};
}

constexpr NeighbourBlock luma4x4_up(int blk) {
  int x = luma4x4_x(blk);
  int y = luma4x4_y(blk);
  return y > 0 ? NeighbourBlock{true, luma4x4_at(x, y - 1)}
               : NeighbourBlock{false, luma4x4_at(x, 3)};
}

// Left and upper neighbours of chroma block c (chroma4x4BlkIdx) of the same component.
constexpr NeighbourBlock chroma4x4_left(int c) {
  return (c & 1) ? NeighbourBlock{true, c - 1} : NeighbourBlock{false, c + 1};
}

constexpr NeighbourBlock chroma4x4_up(int c) {
  return c >= 2 ? NeighbourBlock{true, c - 2} : NeighbourBlock{false, c + 2};
}

// The same neighbours as tables by luma4x4BlkIdx.
inline constexpr std::array<NeighbourBlock, 16> kLuma4x4Left = [] {
  std::array<NeighbourBlock, 16> t{};
  for (int blk = 0; blk < 16; ++blk) t[blk] = luma4x4_left(blk);
  return t;
}();
inline constexpr std::array<NeighbourBlock, 16> kLuma4x4Up = [] {
  std::array<NeighbourBlock, 16> t{};
  for (int blk = 0; blk < 16; ++blk) t[blk] = luma4x4_up(blk);
  return t;
}();
