// Builds bit strings for decoder tests: u(n), ue(v), se(v) and the RBSP trailing bits.
#pragma once

#include <cstdint>
#include <vector>

namespace front_test {

class BitWriter {
 public:
  BitWriter& bits(uint64_t value, int n) {
    for (int i = n - 1; i >= 0; --i) bit((value >> i) & 1);
    return *this;
  }
  BitWriter& bit(uint32_t b) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
    ++count_;
    return *this;
  }
  BitWriter& ue(uint64_t value) {
    uint64_t code = value + 1;
    int length = 0;
    while ((code >> length) > 1) ++length;
    bits(0, length);
    return bits(code, length + 1);
  }
  BitWriter& se(int64_t value) {
    return ue(value > 0 ? static_cast<uint64_t>(2 * value - 1) : static_cast<uint64_t>(-2 * value));
  }
  // rbsp_stop_one_bit and alignment zeros.
  BitWriter& trailing() {
    bit(1);
    while (count_ % 8) bit(0);
    return *this;
  }
  size_t bit_count() const { return count_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t count_ = 0;
};

}  // namespace front_test
