// Inverse transforms of clauses 8.5.12.2 and 8.5.13.2 in 16-bit arithmetic: every intermediate
// value is held as int16_t, as the vector build holds it.
#include "h264/recon/portable_kernels.h"

namespace {

void idct4x4(const int16_t* coeff, int16_t* dst) {
  int16_t t[16];
  for (int i = 0; i < 4; ++i) {
    const int16_t* d = coeff + 4 * i;
    const int16_t e = d[0] + d[2], f = d[0] - d[2];
    const int16_t g = (d[1] >> 1) - d[3], h = d[1] + (d[3] >> 1);
    t[4 * i] = e + h;
    t[4 * i + 1] = f + g;
    t[4 * i + 2] = f - g;
    t[4 * i + 3] = e - h;
  }
  for (int j = 0; j < 4; ++j) {
    const int16_t e = t[j] + t[8 + j], f = t[j] - t[8 + j];
    const int16_t g = (t[4 + j] >> 1) - t[12 + j], h = t[4 + j] + (t[12 + j] >> 1);
    const int16_t r[4] = {static_cast<int16_t>(e + h + 32), static_cast<int16_t>(f + g + 32),
                          static_cast<int16_t>(f - g + 32), static_cast<int16_t>(e - h + 32)};
    for (int i = 0; i < 4; ++i) dst[8 * i + j] = static_cast<int16_t>(r[i] >> 6);
  }
}

// One 8-point pass over d[0], d[step], ..., d[7 step] into out[0..7].
void idct8_pass(const int16_t* d, int step, int16_t* out) {
  const int16_t d0 = d[0], d1 = d[step], d2 = d[2 * step], d3 = d[3 * step];
  const int16_t d4 = d[4 * step], d5 = d[5 * step], d6 = d[6 * step], d7 = d[7 * step];
  const int16_t a0 = d0 + d4, a4 = d0 - d4;
  const int16_t a2 = (d2 >> 1) - d6, a6 = d2 + (d6 >> 1);
  const int16_t b0 = a0 + a6, b2 = a4 + a2, b4 = a4 - a2, b6 = a0 - a6;
  const int16_t a1 = -d3 + d5 - d7 - (d7 >> 1);
  const int16_t a3 = d1 + d7 - d3 - (d3 >> 1);
  const int16_t a5 = -d1 + d7 + d5 + (d5 >> 1);
  const int16_t a7 = d3 + d5 + d1 + (d1 >> 1);
  const int16_t b1 = a1 + (a7 >> 2), b7 = a7 - (a1 >> 2);
  const int16_t b3 = a3 + (a5 >> 2), b5 = (a3 >> 2) - a5;
  out[0] = b0 + b7;
  out[1] = b2 + b5;
  out[2] = b4 + b3;
  out[3] = b6 + b1;
  out[4] = b6 - b1;
  out[5] = b4 - b3;
  out[6] = b2 - b5;
  out[7] = b0 - b7;
}

void idct8x8(const int16_t* coeff, int16_t* dst) {
  int16_t t[64];
  for (int i = 0; i < 8; ++i) idct8_pass(coeff + 8 * i, 1, t + 8 * i);
  for (int j = 0; j < 8; ++j) {
    int16_t column[8];
    idct8_pass(t + j, 8, column);
    for (int i = 0; i < 8; ++i) {
      const int16_t rounded = static_cast<int16_t>(column[i] + 32);
      dst[8 * i + j] = static_cast<int16_t>(rounded >> 6);
    }
  }
}

}  // namespace

void decoder_install_portable_transforms(ReconKernels* kernels) {
  kernels->idct4x4 = idct4x4;
  kernels->idct8x8 = idct8x8;
}
