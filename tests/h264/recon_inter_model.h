// Per-sample model of clause 8.4.2.2 for the inter kernel and driver tests.
#pragma once

#include <algorithm>

namespace inter_model {

inline int clip(int v) {
  return std::clamp(v, 0, 255);
}

// Luma prediction at integer position (x, y) and fraction (xf, yf) in quarter samples, written
// out from the standard's equations; g(x, y) gives an integer sample.
template <typename Samples>
int luma(const Samples& g, int x, int y, int xf, int yf) {
  const auto b1 = [&](int px, int py) {
    return g(px - 2, py) - 5 * g(px - 1, py) + 20 * g(px, py) + 20 * g(px + 1, py) -
           5 * g(px + 2, py) + g(px + 3, py);
  };
  const auto h1 = [&](int px, int py) {
    return g(px, py - 2) - 5 * g(px, py - 1) + 20 * g(px, py) + 20 * g(px, py + 1) -
           5 * g(px, py + 2) + g(px, py + 3);
  };
  const auto b = [&](int px, int py) { return clip((b1(px, py) + 16) >> 5); };
  const auto h = [&](int px, int py) { return clip((h1(px, py) + 16) >> 5); };
  const int j1 = b1(x, y - 2) - 5 * b1(x, y - 1) + 20 * b1(x, y) + 20 * b1(x, y + 1) -
                 5 * b1(x, y + 2) + b1(x, y + 3);
  const int G = g(x, y), H = g(x + 1, y), M = g(x, y + 1);
  const int bb = b(x, y), hh = h(x, y), jj = clip((j1 + 512) >> 10), m = h(x + 1, y),
            s = b(x, y + 1);
  const int table[4][4] = {
      // [yf][xf]: G a b c / d e f g / h i j k / n p q r
      {G, (G + bb + 1) >> 1, bb, (H + bb + 1) >> 1},
      {(G + hh + 1) >> 1, (bb + hh + 1) >> 1, (bb + jj + 1) >> 1, (bb + m + 1) >> 1},
      {hh, (hh + jj + 1) >> 1, jj, (jj + m + 1) >> 1},
      {(M + hh + 1) >> 1, (hh + s + 1) >> 1, (jj + s + 1) >> 1, (m + s + 1) >> 1},
  };
  return table[yf][xf];
}

}  // namespace inter_model
