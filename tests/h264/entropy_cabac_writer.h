// A CABAC arithmetic encoder written from the standard's encoding process (clause 9.3.4), used to
// produce streams for the decoder tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "h264/front_bit_writer.h"
#include "h264/stream/cabac.h"

namespace entropy_test {

class CabacWriter {
 public:
  // Contexts start as the decoder's do for the same slice.
  CabacWriter(int slice_qp, int init_column) {
    CabacDecoder reference{};
    cabac_init_contexts(reference, slice_qp, init_column);
    std::memcpy(state_, reference.state, sizeof(state_));
  }

  void decision(uint32_t ctx_idx, uint32_t bin) {
    uint32_t p_state = state_[ctx_idx] >> 1;
    uint32_t mps = state_[ctx_idx] & 1;
    uint32_t lps = kRangeTabLps[p_state][(range_ >> 6) & 3];
    range_ -= lps;
    if (bin != mps) {
      low_ += range_;
      range_ = lps;
      if (p_state == 0) mps = 1 - mps;
      p_state = kTransIdxLps[p_state];
    } else {
      p_state = kTransIdxMps[p_state];
    }
    state_[ctx_idx] = static_cast<uint8_t>(p_state << 1 | mps);
    renormalise();
  }

  void bypass(uint32_t bin) {
    low_ <<= 1;
    if (bin) low_ += range_;
    if (low_ >= 1024) {
      put_bit(1);
      low_ -= 1024;
    } else if (low_ < 512) {
      put_bit(0);
    } else {
      low_ -= 512;
      ++outstanding_;
    }
  }

  // A bin of 1 flushes the encoder: the last bit written is the final 1 of the codeword.
  void terminate(uint32_t bin) {
    range_ -= 2;
    if (!bin) {
      renormalise();
      return;
    }
    low_ += range_;
    range_ = 2;
    renormalise();
    put_bit((low_ >> 9) & 1);
    out_.bits(((low_ >> 7) & 3) | 1, 2);
  }

  // Starts a new codeword (after I_PCM samples), keeping the contexts.
  void restart() {
    low_ = 0;
    range_ = 510;
    outstanding_ = 0;
    first_bit_ = true;
  }

  front_test::BitWriter& out() { return out_; }

  void align_zero() {
    while (out_.bit_count() % 8) out_.bit(0);
  }

  const uint8_t* state() const { return state_; }

 private:
  void renormalise() {
    while (range_ < 256) {
      if (low_ < 256) {
        put_bit(0);
      } else if (low_ >= 512) {
        low_ -= 512;
        put_bit(1);
      } else {
        low_ -= 256;
        ++outstanding_;
      }
      range_ <<= 1;
      low_ <<= 1;
    }
  }

  void put_bit(uint32_t b) {
    if (first_bit_) {
      first_bit_ = false;
    } else {
      out_.bit(b);
    }
    for (; outstanding_ > 0; --outstanding_) out_.bit(1 - b);
  }

  uint32_t low_ = 0;
  uint32_t range_ = 510;
  uint32_t outstanding_ = 0;
  bool first_bit_ = true;
  uint8_t state_[kCabacContextCount];
  front_test::BitWriter out_;
};

}  // namespace entropy_test
