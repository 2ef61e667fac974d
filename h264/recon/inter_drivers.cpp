// Inter macroblock drivers: partitions, read rectangles with edge fetches, and the tiling of each
// partition by the kernel shapes.
#include <algorithm>
#include <array>

#include "h264/recon/inter.h"
#include "h264/recon/recon_tables.h"

namespace {

// A partition or sub-macroblock partition: position and size in luma samples.
struct Partition {
  int8_t x, y, w, h;
};

constexpr Partition kPartitions[] = {
    {0, 0, 16, 16},                                                // 16x16
    {0, 0, 16, 8},  {0, 8, 16, 8},                                 // 16x8
    {0, 0, 8, 16},  {8, 0, 8, 16},                                 // 8x16
    {0, 0, 8, 8},   {8, 0, 8, 8},  {0, 8, 8, 8},  {8, 8, 8, 8},    // 8x8
    {0, 0, 8, 4},   {0, 4, 8, 4},  {8, 0, 8, 4},  {8, 4, 8, 4},    // 8x4
    {0, 8, 8, 4},   {0, 12, 8, 4}, {8, 8, 8, 4},  {8, 12, 8, 4},   //
    {0, 0, 4, 8},   {4, 0, 4, 8},  {8, 0, 4, 8},  {12, 0, 4, 8},   // 4x8
    {0, 8, 4, 8},   {4, 8, 4, 8},  {8, 8, 4, 8},  {12, 8, 4, 8},   //
    {0, 0, 4, 4},   {4, 0, 4, 4},  {0, 4, 4, 4},  {4, 4, 4, 4},    // 4x4
    {8, 0, 4, 4},   {12, 0, 4, 4}, {8, 4, 4, 4},  {12, 4, 4, 4},   //
    {0, 8, 4, 4},   {4, 8, 4, 4},  {0, 12, 4, 4}, {4, 12, 4, 4},   //
    {8, 8, 4, 4},   {12, 8, 4, 4}, {8, 12, 4, 4}, {12, 12, 4, 4},  //
};
constexpr int kPartitionCount = static_cast<int>(std::size(kPartitions));

constexpr int kPart16x16 = 0;
constexpr int kPart16x8 = 1;
constexpr int kPart8x16 = 3;
// First partition of each sub_mb_type for quadrant 0; quadrant q adds q x (count).
constexpr int kSubFirst[4] = {5, 9, 17, 25};
constexpr int kSubCount[4] = {1, 2, 2, 4};

// Read rectangle: width, height and the offset of its top-left sample from the macroblock's
// integer position.
using Rect = std::array<int8_t, 4>;

// Luma rectangles by partition and fraction class (xFrac != 0) x 2 + (yFrac != 0): the partition,
// 5 samples wider and 2 to the left where the 6-tap filter runs horizontally, likewise
// vertically.
constexpr auto kLumaRects = [] {
  std::array<std::array<Rect, 4>, kPartitionCount> t{};
  for (int p = 0; p < kPartitionCount; ++p) {
    const Partition& part = kPartitions[p];
    for (int c = 0; c < 4; ++c) {
      const int fx = c >> 1, fy = c & 1;
      t[p][c] = {static_cast<int8_t>(part.w + 5 * fx), static_cast<int8_t>(part.h + 5 * fy),
                 static_cast<int8_t>(part.x - 2 * fx), static_cast<int8_t>(part.y - 2 * fy)};
    }
  }
  return t;
}();

// Chroma rectangles by partition and class (xFracC != 0) x 2 + (yFracC != 0): the half-size
// block, one sample wider or taller where the fraction weights the next sample.
constexpr auto kChromaRects = [] {
  std::array<std::array<Rect, 4>, kPartitionCount> t{};
  for (int p = 0; p < kPartitionCount; ++p) {
    const Partition& part = kPartitions[p];
    for (int c = 0; c < 4; ++c) {
      t[p][c] = {static_cast<int8_t>(part.w / 2 + (c >> 1)),
                 static_cast<int8_t>(part.h / 2 + (c & 1)), static_cast<int8_t>(part.x / 2),
                 static_cast<int8_t>(part.y / 2)};
    }
  }
  return t;
}();

// A rectangle of one plane to fetch: (x, y) its top-left sample, which may lie anywhere.
struct FetchRect {
  const uint8_t* plane;
  int stride;
  int width;  // of the plane
  int height;
  int x;
  int y;
  int w;
  int h;
};

// Returns the rectangle's top-left sample and sets stride: in the plane itself (entry 0), or in
// scratch (stride 24) as a copy with every coordinate beyond the flagged sides (1 left, 2 right,
// 4 top, 8 bottom) replaced by the nearest one inside the plane.
using FetchFn = const uint8_t* (*)(const FetchRect& f, uint8_t* scratch, int32_t* stride);

constexpr int kScratchStride = 24;

template <int kSides>
const uint8_t* fetch(const FetchRect& f, uint8_t* scratch, int32_t* stride) {
  if constexpr (kSides == 0) {
    *stride = f.stride;
    return f.plane + f.y * f.stride + f.x;
  } else {
    for (int i = 0; i < f.h; ++i) {
      int sy = f.y + i;
      if constexpr ((kSides & 4) != 0) sy = std::max(sy, 0);
      if constexpr ((kSides & 8) != 0) sy = std::min(sy, f.height - 1);
      const uint8_t* row = f.plane + sy * f.stride;
      uint8_t* out = scratch + kScratchStride * i;
      for (int j = 0; j < f.w; ++j) {
        int sx = f.x + j;
        if constexpr ((kSides & 1) != 0) sx = std::max(sx, 0);
        if constexpr ((kSides & 2) != 0) sx = std::min(sx, f.width - 1);
        out[j] = row[sx];
      }
    }
    *stride = kScratchStride;
    return scratch;
  }
}

// Indexed by bottom x 8 + top x 4 + right x 2 + left. A rectangle wider (taller) than a small
// picture crosses both sides and gets both clamps.
constexpr FetchFn kFetch[16] = {fetch<0>,  fetch<1>,  fetch<2>,  fetch<3>, fetch<4>,  fetch<5>,
                                fetch<6>,  fetch<7>,  fetch<8>,  fetch<9>, fetch<10>, fetch<11>,
                                fetch<12>, fetch<13>, fetch<14>, fetch<15>};

const uint8_t* fetch_rect(const FetchRect& f, uint8_t* scratch, int32_t* stride) {
  const int sides =
      (f.x < 0) | (f.x + f.w > f.width) << 1 | (f.y < 0) << 2 | (f.y + f.h > f.height) << 3;
  return kFetch[sides](f, scratch, stride);
}

// Predicts partition p with the vector of its first 4x4 block and the reference of its quadrant.
void predict_partition(const InterSlice* s, MbWorkArea* wa, int p) {
  const Partition& part = kPartitions[p];
  const int blk =
      ((part.y >> 3) * 2 + (part.x >> 3)) * 4 + ((part.y >> 2) & 1) * 2 + ((part.x >> 2) & 1);
  const int ref_idx = wa->ref_idx_l0[blk >> 2];
  const InterReference& ref = s->refs[ref_idx];
  const ReconKernels* k = s->kernels;
  const int mv_x = wa->mv_l0[blk][0], mv_y = wa->mv_l0[blk][1];
  McBlockRequest r;
  r.mv_x = static_cast<int16_t>(mv_x);
  r.mv_y = static_cast<int16_t>(mv_y);
  r.ref_idx = static_cast<int8_t>(ref_idx);
  r.ref_field_parity = static_cast<uint8_t>(ref.bottom);

  // Luma: one fetch for the partition, then kernel calls tiling it.
  const int x_frac = mv_x & 3, y_frac = mv_y & 3;
  const int mb_x = 16 * wa->mb_x + (mv_x >> 2), mb_y = 16 * wa->mb_y + (mv_y >> 2);
  const Rect& lr = kLumaRects[p][(x_frac != 0) * 2 + (y_frac != 0)];
  const FetchRect luma{ref.luma,     s->luma_stride, s->width, s->height,
                       mb_x + lr[2], mb_y + lr[3],   lr[0],    lr[1]};
  int32_t luma_stride;
  const uint8_t* luma_src = fetch_rect(luma, r.scratch_luma, &luma_stride);
  luma_src += (part.y - lr[3]) * luma_stride + (part.x - lr[2]);
  r.src_luma_stride = luma_stride;
  const int call_w = part.w >= 8 && part.h >= 8 ? 8 : 4;
  const McKernel* luma_table =
      part.h == 16
          ? k->mc_luma_8x16
          : (part.h == 8 ? (call_w == 8 ? k->mc_luma_8x8 : k->mc_luma_4x8) : k->mc_luma_4x4);
  const McKernel luma_kernel = luma_table[(x_frac << 2) | y_frac];
  for (int dx = 0; dx < part.w; dx += call_w) {
    r.src_luma = luma_src + dx;
    r.dst_luma = wa->luma + luma_sample_offset(part.x + dx, part.y);
    luma_kernel(&r);
  }

  // Chroma: the vector in eighth samples, its vertical part shifted by a quarter chroma sample
  // between fields of opposite parity (clause 8.4.1.4).
  int chroma_mv_y = mv_y;
  if (s->field_pic_flag) {
    if (ref.bottom && !s->bottom_field_flag) chroma_mv_y -= 2;
    if (!ref.bottom && s->bottom_field_flag) chroma_mv_y += 2;
  }
  r.chroma_frac_x = static_cast<uint8_t>(mv_x & 7);
  r.chroma_frac_y = static_cast<uint8_t>(chroma_mv_y & 7);
  const int chroma_class = (r.chroma_frac_x != 0) * 2 + (r.chroma_frac_y != 0);
  const Rect& cr = kChromaRects[p][chroma_class];
  const int cx = 8 * wa->mb_x + (mv_x >> 3) + cr[2], cy = 8 * wa->mb_y + (chroma_mv_y >> 3) + cr[3];
  const int chroma_width = s->width / 2, chroma_height = s->height / 2;
  const FetchRect fetch_cb{ref.cb, s->chroma_stride, chroma_width, chroma_height, cx, cy, cr[0],
                           cr[1]};
  FetchRect fetch_cr = fetch_cb;
  fetch_cr.plane = ref.cr;
  int32_t chroma_stride;
  const uint8_t* cb_src = fetch_rect(fetch_cb, r.scratch_cb, &chroma_stride);
  const uint8_t* cr_src = fetch_rect(fetch_cr, r.scratch_cr, &chroma_stride);
  r.src_chroma_stride = chroma_stride;
  const int cw = part.w / 2, ch = part.h / 2;
  const int index = (r.chroma_frac_x != 0) | ((r.chroma_frac_y != 0) << 1);
  const McKernel chroma_kernel =
      cw == 8   ? (ch == 8 ? k->mc_chroma_8x8[index] : k->mc_chroma_8x4[index])
      : cw == 4 ? (ch >= 4 ? k->mc_chroma_4x4[index] : k->mc_chroma_4x2[index])
                : decoder_mc_chroma_2x2[index];
  const int call_h = cw == 8 ? ch : (cw == 4 && ch >= 4 ? 4 : 2);
  const int dst_offset = 8 * cr[3] + cr[2];
  for (int dy = 0; dy < ch; dy += call_h) {
    r.src_cb = cb_src + dy * chroma_stride;
    r.src_cr = cr_src + dy * chroma_stride;
    r.dst_cb = wa->cb + dst_offset + 8 * dy;
    r.dst_cr = wa->cr + dst_offset + 8 * dy;
    chroma_kernel(&r);
  }
}

void combine_all(const InterSlice* s, MbWorkArea* wa) {
  for (int q = 0; q < 4; ++q) s->kernels->combine(wa, q);
}

}  // namespace

void decoder_inter_p16x16(const InterSlice* s, MbWorkArea* wa) {
  predict_partition(s, wa, kPart16x16);
  combine_all(s, wa);
}

void decoder_inter_p16x8(const InterSlice* s, MbWorkArea* wa) {
  predict_partition(s, wa, kPart16x8);
  predict_partition(s, wa, kPart16x8 + 1);
  combine_all(s, wa);
}

void decoder_inter_p8x16(const InterSlice* s, MbWorkArea* wa) {
  predict_partition(s, wa, kPart8x16);
  predict_partition(s, wa, kPart8x16 + 1);
  combine_all(s, wa);
}

void decoder_inter_p8x8(const InterSlice* s, MbWorkArea* wa) {
  for (int q = 0; q < 4; ++q) {
    const int sub = wa->sub_mb_type[q] & 3;
    const int first = kSubFirst[sub] + q * kSubCount[sub];
    for (int i = 0; i < kSubCount[sub]; ++i) predict_partition(s, wa, first + i);
  }
  combine_all(s, wa);
}

void decoder_inter_p_skip(const InterSlice* s, MbWorkArea* wa) {
  predict_partition(s, wa, kPart16x16);
}
