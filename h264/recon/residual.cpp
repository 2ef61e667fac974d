#include "h264/recon/residual.h"

#include "h264/recon/recon_tables.h"

namespace {

// normAdjust4x4 / normAdjust8x8 of clause 8.5.9 (v by qP % 6; position classes below).
constexpr uint8_t kNormAdjust4x4[6][3] = {{10, 16, 13}, {11, 18, 14}, {13, 20, 16},
                                          {14, 23, 18}, {16, 25, 20}, {18, 29, 23}};
constexpr uint8_t kNormAdjust8x8[6][6] = {{20, 18, 32, 19, 25, 24}, {22, 19, 35, 21, 28, 26},
                                          {26, 23, 42, 24, 33, 31}, {28, 25, 45, 26, 35, 33},
                                          {32, 28, 51, 30, 40, 38}, {36, 32, 58, 34, 46, 43}};

int norm_class_4x4(int x, int y) {
  if (x % 2 == 0 && y % 2 == 0) return 0;
  if (x % 2 == 1 && y % 2 == 1) return 1;
  return 2;
}

int norm_class_8x8(int x, int y) {
  if (x % 4 == 0 && y % 4 == 0) return 0;
  if (x % 2 == 1 && y % 2 == 1) return 1;
  if (x % 4 == 2 && y % 4 == 2) return 2;
  if ((x % 4 == 0 && y % 2 == 1) || (x % 2 == 1 && y % 4 == 0)) return 3;
  if ((x % 4 == 0 && y % 4 == 2) || (x % 4 == 2 && y % 4 == 0)) return 4;
  return 5;
}

}  // namespace

void decoder_build_level_scale(LevelScaleTables* tables, const uint8_t lists4x4[6][16],
                               const uint8_t lists8x8[2][64]) {
  for (int m = 0; m < 6; ++m) {
    for (int idx = 0; idx < 16; ++idx) {
      const int pos = decoder_scan4x4[0][idx];
      const int norm = kNormAdjust4x4[m][norm_class_4x4(pos & 3, pos >> 2)];
      for (int list = 0; list < 6; ++list)
        tables->scale4x4[list][m][pos] = static_cast<uint16_t>(lists4x4[list][idx] * norm);
    }
    for (int idx = 0; idx < 64; ++idx) {
      const int pos = decoder_scan8x8[0][idx];
      const int norm = kNormAdjust8x8[m][norm_class_8x8(pos & 7, pos >> 3)];
      for (int list = 0; list < 2; ++list)
        tables->scale8x8[list][m][pos] = static_cast<uint16_t>(lists8x8[list][idx] * norm);
    }
  }
}

void decoder_luma_dc_transform(int16_t* dc, const uint16_t scale[6][16], int qp) {
  int32_t t[16];
  for (int r = 0; r < 4; ++r) {
    const int32_t a = dc[4 * r] + dc[4 * r + 1], b = dc[4 * r] - dc[4 * r + 1];
    const int32_t c = dc[4 * r + 2] + dc[4 * r + 3], d = dc[4 * r + 2] - dc[4 * r + 3];
    t[4 * r] = a + c;
    t[4 * r + 1] = a - c;
    t[4 * r + 2] = b - d;
    t[4 * r + 3] = b + d;
  }
  const uint32_t level_scale = scale[decoder_qp_split[qp] & 15][0];
  const int shift = decoder_qp_split[qp] >> 4;
  for (int col = 0; col < 4; ++col) {
    const int32_t a = t[col] + t[4 + col], b = t[col] - t[4 + col];
    const int32_t c = t[8 + col] + t[12 + col], d = t[8 + col] - t[12 + col];
    const int32_t f[4] = {a + c, a - c, b - d, b + d};
    for (int r = 0; r < 4; ++r)
      dc[4 * r + col] = decoder_scale_level(f[r], level_scale, shift, 32, 6);
  }
}

void decoder_chroma_dc_transform(int16_t* dc, const uint16_t scale[6][16], int qp) {
  const int32_t f[4] = {dc[0] + dc[1] + dc[2] + dc[3], dc[0] - dc[1] + dc[2] - dc[3],
                        dc[0] + dc[1] - dc[2] - dc[3], dc[0] - dc[1] - dc[2] + dc[3]};
  const uint32_t level_scale = scale[decoder_qp_split[qp] & 15][0];
  const int shift = decoder_qp_split[qp] >> 4;
  for (int i = 0; i < 4; ++i) dc[i] = decoder_scale_level(f[i], level_scale, shift, 0, 5);
}
