// scopemark-kernel-bench: nanoseconds per call of every reconstruction kernel slot with each
// build this processor runs (portable, SSE2, SSSE3), on random input (smooth areas, so that the
// edge filters filter). The last column is the speed-up of the best build over the one below it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "h264/decoder/cpu_features.h"
#include "h264/decoder/kernel_select.h"
#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"

namespace {

std::mt19937 rng(1);

void fill(uint8_t* p, size_t n) {
  int v = 128;
  for (size_t i = 0; i < n; ++i) {
    v = std::clamp(v + static_cast<int>(rng() % 7) - 3, 0, 255);
    p[i] = static_cast<uint8_t>(v);
  }
}

void fill16(int16_t* p, size_t n, int range) {
  for (size_t i = 0; i < n; ++i)
    p[i] = static_cast<int16_t>(static_cast<int>(rng() % (2 * range + 1)) - range);
}

// Everything a kernel call reads or writes; reset before each timed run.
struct Inputs {
  MbWorkArea wa;
  MbInfo cur, nb;
  MbMotion cur_motion, nb_motion;
  alignas(16) int16_t coeff[64];
  alignas(16) int16_t dst16[64];
  EdgeFilterParams cb_params, cr_params;
  std::vector<uint8_t> picture;  // 1280 x 64 luma-like plane
  std::vector<uint8_t> history, counter;
  std::vector<uint8_t> deinterlaced;  // an even and an odd output line
  McBlockRequest request;
  int8_t tc0[4];
};
constexpr int kPicStride = 1280;

void reset(Inputs& in) {
  std::mt19937 saved = rng;
  fill(in.wa.luma, kLumaArraySize);
  fill(in.wa.cb, kChromaArraySize);
  fill(in.wa.cr, kChromaArraySize);
  for (int i = kFlagOne; i < kLumaArraySize; ++i) in.wa.luma[i] = 1;
  fill16(in.wa.residual, kResidualSize, 20);
  in.wa.coded_block_pattern = 0x2F;
  fill16(in.coeff, 64, 300);
  for (MbInfo* m : {&in.cur, &in.nb}) {
    *m = MbInfo{};
    m->coded_blocks = 0x0421;
  }
  for (MbMotion* m : {&in.cur_motion, &in.nb_motion}) {
    *m = MbMotion{};
    for (auto& mv : m->mv) {
      mv[0] = static_cast<int16_t>(rng() % 9);
      mv[1] = static_cast<int16_t>(rng() % 5);
    }
  }
  in.cb_params = {40, 9, {1, 2, 0, 3}};
  in.cr_params = {40, 9, {2, 1, -1, 4}};
  const int8_t tc0[4] = {2, 3, 1, 4};
  std::memcpy(in.tc0, tc0, 4);
  in.picture.resize(kPicStride * 64);
  fill(in.picture.data(), in.picture.size());
  in.history = in.picture;
  for (size_t i = 0; i < in.history.size(); i += 3) in.history[i] ^= 0x10;
  in.counter.assign(in.picture.size(), 0);
  in.deinterlaced.assign(2 * kPicStride, 0);
  for (size_t i = 0; i < in.counter.size(); i += 5) in.counter[i] = 3;
  in.request = McBlockRequest{};
  McBlockRequest& r = in.request;
  r.src_luma = in.picture.data() + 8 * kPicStride + 40;
  r.src_luma_stride = kPicStride;
  r.src_cb = in.picture.data() + 30 * kPicStride + 100;
  r.src_cr = in.picture.data() + 40 * kPicStride + 200;
  r.src_chroma_stride = kPicStride;
  r.dst_luma = in.wa.luma;
  r.dst_cb = in.wa.cb;
  r.dst_cr = in.wa.cr;
  r.chroma_frac_x = 3;
  r.chroma_frac_y = 5;
  rng = saved;
}

struct Builds {
  ReconKernels tables[KERNEL_BUILD_COUNT];
  int count = 0;
};

// Best of 40 short runs of `calls` calls, in nanoseconds per call: short runs, so that on a
// busy machine some of them see no interruption.
template <typename Call>
double time_calls(const ReconKernels& k, Inputs& in, int calls, Call&& call) {
  double best = 1e30;
  reset(in);
  for (int run = 0; run < 40; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) call(k, in);
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    best = std::min(best, ns / calls);
  }
  return best;
}

template <typename Call>
void bench(const Builds& b, Inputs& in, const std::string& name, int calls, Call&& call) {
  double ns[KERNEL_BUILD_COUNT];
  std::printf("%-28s", name.c_str());
  for (int i = 0; i < b.count; ++i) {
    ns[i] = time_calls(b.tables[i], in, calls, call);
    std::printf(" %10.1f", ns[i]);
  }
  std::printf(" %8.2fx\n", ns[b.count - 2] / ns[b.count - 1]);
}

}  // namespace

int main() {
  if (!decoder_kernel_build_runs_here(KERNELS_SSE2)) {
    std::fprintf(stderr, "scopemark-kernel-bench: this processor has no SSE2\n");
    return 2;
  }
  Builds b;
  for (; decoder_kernel_build_runs_here(b.count); ++b.count)
    decoder_fill_kernels(&b.tables[b.count], b.count);
  static Inputs in;
  constexpr int kCalls = 500;
  std::printf("%-28s", "slot (ns/call)");
  for (int i = 0; i < b.count; ++i) std::printf(" %10s", decoder_kernel_build_name(i));
  std::printf(" %9s\n", "speed-up");
  using K = const ReconKernels&;
  using I = Inputs&;
  bench(b, in, "idct4x4", kCalls, [](K k, I x) { k.idct4x4(x.coeff, x.dst16); });
  bench(b, in, "idct8x8", kCalls, [](K k, I x) { k.idct8x8(x.coeff, x.dst16); });
  bench(b, in, "bs_left_edge", kCalls,
        [](K k, I x) { k.bs_left_edge(x.wa.bs, &x.cur, &x.cur_motion, &x.nb, &x.nb_motion, 4); });
  bench(b, in, "bs_top_edge", kCalls, [](K k, I x) {
    k.bs_top_edge(x.wa.bs + 4, &x.cur, &x.cur_motion, &x.nb, &x.nb_motion, 4);
  });
  bench(b, in, "bs_clear_internal", kCalls, [](K k, I x) { k.bs_clear_internal(x.wa.bs, 0); });
  bench(b, in, "bs_internal_16x16", kCalls,
        [](K k, I x) { k.bs_internal_16x16(x.wa.bs, x.cur.coded_blocks); });
  bench(b, in, "bs_internal_inter", kCalls,
        [](K k, I x) { k.bs_internal_inter(x.wa.bs, &x.cur, &x.cur_motion, 4); });
  const auto edge = [](I x) { return x.picture.data() + 8 * kPicStride + 16; };
  bench(b, in, "luma_normal_v", kCalls,
        [&](K k, I x) { k.luma_normal_v(edge(x), kPicStride, 40, 9, x.tc0); });
  bench(b, in, "luma_normal_h", kCalls,
        [&](K k, I x) { k.luma_normal_h(edge(x), kPicStride, 40, 9, x.tc0); });
  bench(b, in, "luma_strong_v", kCalls,
        [&](K k, I x) { k.luma_strong_v(edge(x), kPicStride, 40, 9); });
  bench(b, in, "luma_strong_h", kCalls,
        [&](K k, I x) { k.luma_strong_h(edge(x), kPicStride, 40, 9); });
  bench(b, in, "chroma_normal_v", kCalls, [&](K k, I x) {
    k.chroma_normal_v(edge(x), edge(x) + 32, kPicStride, &x.cb_params, &x.cr_params);
  });
  bench(b, in, "chroma_normal_h", kCalls, [&](K k, I x) {
    k.chroma_normal_h(edge(x), edge(x) + 32, kPicStride, &x.cb_params, &x.cr_params);
  });
  bench(b, in, "chroma_strong_v", kCalls, [&](K k, I x) {
    k.chroma_strong_v(edge(x), edge(x) + 32, kPicStride, &x.cb_params, &x.cr_params);
  });
  bench(b, in, "chroma_strong_h", kCalls, [&](K k, I x) {
    k.chroma_strong_h(edge(x), edge(x) + 32, kPicStride, &x.cb_params, &x.cr_params);
  });
  bench(b, in, "store_mb_luma", kCalls,
        [](K k, I x) { k.store_mb_luma(x.picture.data() + 16, kPicStride, x.wa.luma); });
  bench(b, in, "store_mb_chroma", kCalls, [](K k, I x) {
    k.store_mb_chroma(x.picture.data() + 16, x.picture.data() + 48, kPicStride, x.wa.cb, x.wa.cr);
  });
  for (int mode = 0; mode < 9; ++mode) {
    bench(b, in, "intra4x4[" + std::to_string(mode) + "]/block6", kCalls,
          [mode](K k, I x) { k.intra4x4[mode](6, x.wa.luma, x.wa.residual, 0xF); });
  }
  for (int mode = 0; mode < 9; ++mode) {
    bench(b, in, "intra8x8[" + std::to_string(mode) + "]/block3", kCalls,
          [mode](K k, I x) { k.intra8x8[mode](3, x.wa.luma, x.wa.residual, 0xF); });
  }
  for (int mode = 0; mode < 4; ++mode) {
    bench(b, in, "intra16x16[" + std::to_string(mode) + "]", kCalls,
          [mode](K k, I x) { k.intra16x16[mode](x.wa.luma, x.wa.residual); });
  }
  for (int mode = 0; mode < 4; ++mode) {
    bench(b, in, "intra_chroma[" + std::to_string(mode) + "]", kCalls, [mode](K k, I x) {
      k.intra_chroma[mode](&x.wa, x.wa.cb, x.wa.cr, x.wa.residual + kResidualCb,
                           x.wa.residual + kResidualCr, 1);
    });
  }
  const struct {
    McKernel (ReconKernels::*table)[16];
    const char* name;
  } luma[] = {{&ReconKernels::mc_luma_4x4, "mc_luma_4x4"},
              {&ReconKernels::mc_luma_4x8, "mc_luma_4x8"},
              {&ReconKernels::mc_luma_8x8, "mc_luma_8x8"},
              {&ReconKernels::mc_luma_8x16, "mc_luma_8x16"},
              {&ReconKernels::mc_luma_16x16, "mc_luma_16x16"}};
  for (const auto& shape : luma) {
    for (int index = 0; index < 16; ++index) {
      bench(b, in, std::string(shape.name) + "[" + std::to_string(index) + "]", kCalls,
            [&shape, index](K k, I x) { (k.*shape.table)[index](&x.request); });
    }
  }
  const struct {
    McKernel (ReconKernels::*table)[4];
    const char* name;
  } chroma[] = {{&ReconKernels::mc_chroma_4x2, "mc_chroma_4x2"},
                {&ReconKernels::mc_chroma_4x4, "mc_chroma_4x4"},
                {&ReconKernels::mc_chroma_8x4, "mc_chroma_8x4"},
                {&ReconKernels::mc_chroma_8x8, "mc_chroma_8x8"}};
  for (const auto& shape : chroma) {
    for (int index = 0; index < 4; ++index) {
      bench(b, in, std::string(shape.name) + "[" + std::to_string(index) + "]", kCalls,
            [&shape, index](K k, I x) { (k.*shape.table)[index](&x.request); });
    }
  }
  bench(b, in, "combine", kCalls, [](K k, I x) { k.combine(&x.wa); });
  bench(b, in, "deinterlace_line/1280", kCalls / 10, [](K k, I x) {
    k.deinterlace_line(x.deinterlaced.data(), x.deinterlaced.data() + kPicStride,
                       x.picture.data() + kPicStride, x.history.data() + kPicStride,
                       x.counter.data(), kPicStride, kPicStride);
  });
  return 0;
}
