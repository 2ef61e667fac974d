// Levels with their preceding zero runs, as the block decoders return them, spread out into a
// plain coefficient list.
#pragma once

#include <cstdint>
#include <vector>

namespace entropy_test {

// An index beyond `size` yields a list one longer than the block, which no expectation matches.
inline std::vector<int> expand_levels(const int32_t* level, const uint8_t* run, int count,
                                      int size) {
  std::vector<int> coeff(size, 0);
  int index = -1;
  for (int i = 0; i < count; ++i) {
    index += run[i] + 1;
    if (index >= size) return std::vector<int>(size + 1, 0);
    coeff[index] = level[i];
  }
  return coeff;
}

}  // namespace entropy_test
