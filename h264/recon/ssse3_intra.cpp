// Intra_4x4 directional modes with SSSE3's byte shuffle. The neighbours form one line (left
// column bottom to top, corner, top row, top right, its last sample repeated), as in the SSE2
// kernels; its pair averages and [1 2 1] filtered samples are taken in registers and one shuffle
// picks all sixteen predicted samples of the mode from them.
#include <tmmintrin.h>

#include <array>
#include <utility>

#include "h264/recon/recon_tables.h"
#include "h264/recon/sse2_kernels.h"
#include "h264/recon/ssse3_kernels.h"

namespace {

using namespace sse2;

// line[4 - k] = p[-1, k], line[0] = line[1], line[5] = p[-1, -1], line[6 + x] = p[x, -1] (x < 8),
// then p[7, -1] repeated. avg[i] averages line[i] and line[i + 1]; filt[i] filters line[i + 1]
// with its two neighbours.
struct Sample {
  bool filtered;
  int i;
};

// The sample of mode (3 .. 8) at (x, y), as the SSE2 kernels derive it.
constexpr Sample mode_sample(int mode, int x, int y) {
  switch (mode) {
    case 3:  // Diagonal_Down_Left
      return {true, 6 + x + y};
    case 4:  // Diagonal_Down_Right
      return {true, 4 - y + x};
    case 5: {  // Vertical_Right: rows 0 and 1 shifted right by one per two rows, the left
               // column's filtered samples entering at the left
      if (y < 2) return {y == 1, (y == 0 ? 5 : 4) + x};
      if (x == 0) return {true, 5 - y};
      return mode_sample(5, x - 1, y - 2);
    }
    case 6: {  // Horizontal_Down: averages and filtered samples of the left column alternate,
               // the filtered top row follows
      const int k = 6 - 2 * y + x;
      if (k >= 8) return {true, k - 3};
      return {(k & 1) != 0, k / 2 + 1};
    }
    case 7:  // Vertical_Left
      return {(y & 1) != 0, 6 + x + (y >> 1)};
    default: {  // Horizontal_Up: the left column downwards, its last sample repeated
      const int k = 2 * y + x;
      if (k >= 6) return {false, 0};  // avg[0] is p[-1, 3], as line[0] repeats line[1]
      return {(k & 1) != 0, (k & 1) ? 2 - k / 2 : 3 - k / 2};
    }
  }
}

// The lowest avg and filt index each mode reads: the shuffle sees avg from it in bytes 0..7 and
// filt from it in bytes 8..15.
constexpr int kAvgFrom[9] = {0, 0, 0, 0, 0, 5, 0, 6, 0};
constexpr int kFiltFrom[9] = {0, 0, 0, 6, 0, 0, 0, 6, 0};

constexpr std::array<int8_t, 16> shuffle_for(int mode) {
  std::array<int8_t, 16> m{};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const Sample s = mode_sample(mode, x, y);
      m[4 * y + x] =
          static_cast<int8_t>(s.filtered ? 8 + s.i - kFiltFrom[mode] : s.i - kAvgFrom[mode]);
    }
  }
  return m;
}

template <int kMode>
void intra4x4(int blk, uint8_t* luma, const int16_t* residual, int cbp) {
  static_assert(kMode >= 3 && kMode <= 8);
  alignas(16) static constexpr std::array<int8_t, 16> kShuffle = shuffle_for(kMode);
  const Intra4x4Neighbours& n = decoder_intra4x4_neighbours[blk];
  alignas(16) uint8_t line[16];
  line[5] = luma[n.top_left];
  for (int i = 0; i < 4; ++i) {
    line[4 - i] = luma[n.left[i]];
    line[6 + i] = luma[n.top[i]];
    line[10 + i] = luma[n.top_right[i]];
  }
  line[0] = line[1];
  line[14] = line[15] = line[13];
  const __m128i l = load128(line), l1 = _mm_srli_si128(l, 1);
  const __m128i avg = _mm_avg_epu8(l, l1);
  const __m128i filt = filter3(l, l1, _mm_srli_si128(l, 2));
  constexpr int kAvgShift = kAvgFrom[kMode], kFiltShift = kFiltFrom[kMode];
  const __m128i from =
      _mm_unpacklo_epi64(_mm_srli_si128(avg, kAvgShift), _mm_srli_si128(filt, kFiltShift));
  __m128i pred = _mm_shuffle_epi8(from, load128(kShuffle.data()));
  const int offset = decoder_luma4x4_offset[blk];
  if ((cbp >> (blk >> 2)) & 1) {
    const int16_t* r = residual + offset;
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo =
        _mm_adds_epi16(_mm_unpacklo_epi8(pred, zero), _mm_unpacklo_epi64(load64(r), load64(r + 8)));
    const __m128i hi = _mm_adds_epi16(_mm_unpackhi_epi8(pred, zero),
                                      _mm_unpacklo_epi64(load64(r + 16), load64(r + 24)));
    pred = _mm_packus_epi16(lo, hi);
  }
  uint8_t* dst = luma + offset;
  store32(dst, pred);
  store32(dst + 8, _mm_srli_si128(pred, 4));
  store32(dst + 16, _mm_srli_si128(pred, 8));
  store32(dst + 24, _mm_srli_si128(pred, 12));
}

template <int... kModes>
void fill_directional(IntraBlockKernel* four, std::integer_sequence<int, kModes...>) {
  ((four[3 + kModes] = intra4x4<3 + kModes>), ...);
}

}  // namespace

void decoder_install_ssse3_intra(ReconKernels* kernels) {
  fill_directional(kernels->intra4x4, std::make_integer_sequence<int, 6>());
}
