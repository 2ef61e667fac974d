// Inter macroblock drivers: partitions, read rectangles with edge fetches, and the tiling of each
// partition by the kernel shapes.
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

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

// Kernel calls tiling each partition: the kernel tables of its luma and chroma shapes (a null
// chroma table for 2x2 blocks), the number of calls and their destination offsets.
using LumaTable = McKernel (ReconKernels::*)[16];
using ChromaTable = McKernel (ReconKernels::*)[4];

struct PartitionPlan {
  LumaTable luma;
  ChromaTable chroma;
  int8_t blk;         // first 4x4 block, in luma4x4BlkIdx order
  int8_t luma_calls;  // side by side, luma_step columns apart
  int8_t luma_step;
  int8_t luma_dst_step;  // luma_step columns in the luma array
  int8_t chroma_calls;   // one above the other
  int8_t chroma_step;    // rows
  uint8_t chroma_dst;    // offset of the block in the chroma arrays
  uint16_t luma_dst;     // offset of the first call in the luma array
};

constexpr auto kPlans = [] {
  std::array<PartitionPlan, kPartitionCount> t{};
  for (int p = 0; p < kPartitionCount; ++p) {
    const Partition& part = kPartitions[p];
    PartitionPlan& plan = t[p];
    plan.blk = static_cast<int8_t>(((part.y >> 3) * 2 + (part.x >> 3)) * 4 +
                                   ((part.y >> 2) & 1) * 2 + ((part.x >> 2) & 1));
    const int call_w = part.w == 16 && part.h == 16 ? 16 : part.w >= 8 && part.h >= 8 ? 8 : 4;
    plan.luma = call_w == 16   ? &ReconKernels::mc_luma_16x16
                : part.h == 16 ? &ReconKernels::mc_luma_8x16
                : part.h == 4  ? &ReconKernels::mc_luma_4x4
                : call_w == 8  ? &ReconKernels::mc_luma_8x8
                               : &ReconKernels::mc_luma_4x8;
    plan.luma_calls = static_cast<int8_t>(part.w / call_w);
    plan.luma_step = static_cast<int8_t>(call_w);
    plan.luma_dst_step = static_cast<int8_t>(luma_sample_offset(call_w, 0));
    plan.luma_dst = static_cast<uint16_t>(luma_sample_offset(part.x, part.y));
    const int cw = part.w / 2, ch = part.h / 2;
    plan.chroma = cw == 8 ? (ch == 8 ? &ReconKernels::mc_chroma_8x8 : &ReconKernels::mc_chroma_8x4)
                  : cw == 4
                      ? (ch >= 4 ? &ReconKernels::mc_chroma_4x4 : &ReconKernels::mc_chroma_4x2)
                      : nullptr;
    plan.chroma_step = static_cast<int8_t>(cw == 8 ? ch : (cw == 4 && ch >= 4 ? 4 : 2));
    plan.chroma_calls = static_cast<int8_t>(ch / plan.chroma_step);
    plan.chroma_dst = static_cast<uint8_t>(8 * (part.y / 2) + part.x / 2);
  }
  return t;
}();

constexpr int kScratchStride = 24;

// Copies n (0 .. 24) bytes, reading only src[0 .. n - 1].
inline void copy_short(uint8_t* dst, const uint8_t* src, int n) {
  if (n >= 8) {
    for (int i = 0; i + 8 < n; i += 8) std::memcpy(dst + i, src + i, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else {
    for (int i = 0; i < n; ++i) dst[i] = src[i];
  }
}

// Sets bytes 0 .. 8 n - 1 to v.
inline void fill_words(uint8_t* dst, uint8_t v, int n) {
  const uint64_t word = v * 0x0101010101010101ull;
  for (int i = 0; i < n; ++i) std::memcpy(dst + 8 * i, &word, 8);
}

// Copies the w x h rectangle at (x, y), which reaches beyond the plane, into scratch (stride 24)
// with every coordinate outside the plane replaced by the nearest one inside. A row is the
// samples left of the plane (its first sample repeated), the plane's own samples and those right
// of it (its last sample repeated). When both sides are clamped the middle part is the whole
// plane row, at least 8 samples, so the rounded-up fill of the left part stays clear of the right.
[[gnu::noinline]] void fetch_edges(const uint8_t* plane, int stride, int width, int height, int x,
                                   int y, int w, int h, uint8_t* scratch) {
  const int left = std::clamp(-x, 0, w);
  const int right = std::clamp(x + w - width, 0, w);
  const int middle = w - left - right;
  const int first = std::clamp(x, 0, width);
  for (int i = 0; i < h; ++i) {
    const uint8_t* row = plane + std::clamp(y + i, 0, height - 1) * stride;
    uint8_t* out = scratch + kScratchStride * i;
    if (right > 0) fill_words(out, row[width - 1], kScratchStride / 8);
    if (left > 0) fill_words(out, row[0], (left + 7) / 8);
    copy_short(out + left, row + first, middle);
  }
}

inline bool inside(int width, int height, int x, int y, int w, int h) {
  return x >= 0 && y >= 0 && x + w <= width && y + h <= height;
}

// Predicts partition p with the vector of its first 4x4 block and the reference of its quadrant.
template <int p>
void predict_partition(const InterSlice* s, MbWorkArea* wa) {
  constexpr PartitionPlan plan = kPlans[p];
  const int ref_idx = wa->ref_idx_l0[plan.blk >> 2];
  const InterReference& ref = s->refs[ref_idx];
  const ReconKernels* k = s->kernels;
  const int mv_x = wa->mv_l0[plan.blk][0], mv_y = wa->mv_l0[plan.blk][1];
  McBlockRequest r;

  // Luma: one fetch for the partition, then kernel calls tiling it.
  const int x_frac = mv_x & 3, y_frac = mv_y & 3;
  const Rect& lr = kLumaRects[p][(x_frac != 0) * 2 + (y_frac != 0)];
  const int lx = 16 * wa->mb_x + (mv_x >> 2) + lr[2], ly = 16 * wa->mb_y + (mv_y >> 2) + lr[3];
  const uint8_t* luma_src = r.scratch_luma;
  int32_t luma_stride = kScratchStride;
  if (inside(s->width, s->height, lx, ly, lr[0], lr[1])) [[likely]] {
    luma_src = ref.luma + ly * s->luma_stride + lx;
    luma_stride = s->luma_stride;
  } else {
    fetch_edges(ref.luma, s->luma_stride, s->width, s->height, lx, ly, lr[0], lr[1],
                r.scratch_luma);
  }
  luma_src += (2 * (y_frac != 0)) * luma_stride + 2 * (x_frac != 0);
  r.src_luma_stride = luma_stride;
  const McKernel luma_kernel = (k->*plan.luma)[(x_frac << 2) | y_frac];
  r.src_luma = luma_src;
  r.dst_luma = wa->luma + plan.luma_dst;
  luma_kernel(&r);
  if constexpr (plan.luma_calls == 2) {
    r.src_luma = luma_src + plan.luma_step;
    r.dst_luma = wa->luma + plan.luma_dst + plan.luma_dst_step;
    luma_kernel(&r);
  }

  // Chroma: the vector in eighth samples, its vertical part shifted by a quarter chroma sample
  // between fields of opposite parity (clause 8.4.1.4).
  int chroma_mv_y = mv_y;
  if (s->field_pic_flag) [[unlikely]] {
    if (ref.bottom && !s->bottom_field_flag) chroma_mv_y -= 2;
    if (!ref.bottom && s->bottom_field_flag) chroma_mv_y += 2;
  }
  r.chroma_frac_x = static_cast<uint8_t>(mv_x & 7);
  r.chroma_frac_y = static_cast<uint8_t>(chroma_mv_y & 7);
  const int index = (r.chroma_frac_x != 0) | ((r.chroma_frac_y != 0) << 1);
  const Rect& cr = kChromaRects[p][(r.chroma_frac_x != 0) * 2 + (r.chroma_frac_y != 0)];
  const int cx = 8 * wa->mb_x + (mv_x >> 3) + cr[2], cy = 8 * wa->mb_y + (chroma_mv_y >> 3) + cr[3];
  const int chroma_width = s->width >> 1, chroma_height = s->height >> 1;
  const uint8_t* cb_src = r.scratch_cb;
  const uint8_t* cr_src = r.scratch_cr;
  int32_t chroma_stride = kScratchStride;
  if (inside(chroma_width, chroma_height, cx, cy, cr[0], cr[1])) [[likely]] {
    const int offset = cy * s->chroma_stride + cx;
    cb_src = ref.cb + offset;
    cr_src = ref.cr + offset;
    chroma_stride = s->chroma_stride;
  } else {
    fetch_edges(ref.cb, s->chroma_stride, chroma_width, chroma_height, cx, cy, cr[0], cr[1],
                r.scratch_cb);
    fetch_edges(ref.cr, s->chroma_stride, chroma_width, chroma_height, cx, cy, cr[0], cr[1],
                r.scratch_cr);
  }
  r.src_chroma_stride = chroma_stride;
  McKernel chroma_kernel;
  if constexpr (plan.chroma != nullptr) {
    chroma_kernel = (k->*plan.chroma)[index];
  } else {
    chroma_kernel = decoder_mc_chroma_2x2[index];
  }
  constexpr int step = plan.chroma_step;
  for (int i = 0; i < plan.chroma_calls; ++i) {
    r.src_cb = cb_src + i * step * chroma_stride;
    r.src_cr = cr_src + i * step * chroma_stride;
    r.dst_cb = wa->cb + plan.chroma_dst + 8 * step * i;
    r.dst_cr = wa->cr + plan.chroma_dst + 8 * step * i;
    chroma_kernel(&r);
  }
}

using PredictFn = void (*)(const InterSlice* s, MbWorkArea* wa);

constexpr auto kPredict = []<int... p>(std::integer_sequence<int, p...>) {
  return std::array<PredictFn, kPartitionCount>{predict_partition<p>...};
}
(std::make_integer_sequence<int, kPartitionCount>());

// Adds the residual, if the macroblock has one.
void combine_coded(const InterSlice* s, MbWorkArea* wa) {
  if (wa->coded_block_pattern != 0) s->kernels->combine(wa);
}

}  // namespace

void decoder_inter_p16x16(const InterSlice* s, MbWorkArea* wa) {
  predict_partition<kPart16x16>(s, wa);
  combine_coded(s, wa);
}

void decoder_inter_p16x8(const InterSlice* s, MbWorkArea* wa) {
  predict_partition<kPart16x8>(s, wa);
  predict_partition<kPart16x8 + 1>(s, wa);
  combine_coded(s, wa);
}

void decoder_inter_p8x16(const InterSlice* s, MbWorkArea* wa) {
  predict_partition<kPart8x16>(s, wa);
  predict_partition<kPart8x16 + 1>(s, wa);
  combine_coded(s, wa);
}

void decoder_inter_p8x8(const InterSlice* s, MbWorkArea* wa) {
  for (int q = 0; q < 4; ++q) {
    const int sub = wa->sub_mb_type[q] & 3;
    const int first = kSubFirst[sub] + q * kSubCount[sub];
    for (int i = 0; i < kSubCount[sub]; ++i) kPredict[first + i](s, wa);
  }
  combine_coded(s, wa);
}

void decoder_inter_p_skip(const InterSlice* s, MbWorkArea* wa) {
  predict_partition<kPart16x16>(s, wa);
}
