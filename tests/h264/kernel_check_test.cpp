// Every slot of each vector kernel build this processor runs (SSE2, SSSE3) against the portable
// table, byte for byte, on many random inputs with the extremes mixed in. Each case runs the
// kernels on identical copies of its buffers and compares every byte the kernels could touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "h264/decoder/cpu_features.h"
#include "h264/decoder/decoder.h"
#include "h264/decoder/decoder_context.h"
#include "h264/decoder/kernel_select.h"
#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

// Random data whose character varies from case to case: noise, the two extremes, a flat area,
// or a smooth area with a little noise (which is what opens the deblocking filters).
class Samples {
 public:
  explicit Samples(uint32_t seed) : rng_(seed) {}

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int percent) { return uniform(0, 99) < percent; }

  void fill(uint8_t* p, size_t n) {
    const int kind = uniform(0, 4);
    const int base = uniform(0, 255), spread = uniform(1, 12);
    for (size_t i = 0; i < n; ++i) {
      switch (kind) {
        case 0:
          p[i] = static_cast<uint8_t>(uniform(0, 255));
          break;
        case 1:
          p[i] = chance(50) ? 0 : 255;
          break;
        case 2:
          p[i] = static_cast<uint8_t>(base);
          break;
        default:
          p[i] = static_cast<uint8_t>(std::clamp(base + uniform(-spread, spread), 0, 255));
      }
    }
  }
  template <size_t N>
  void fill(uint8_t (&p)[N]) {
    fill(p, N);
  }
  void fill(std::vector<uint8_t>& v) { fill(v.data(), v.size()); }

  // Coefficients and residual values: small, large, the 16-bit extremes, or zero.
  int16_t value16() {
    switch (uniform(0, 5)) {
      case 0:
        return static_cast<int16_t>(uniform(-32768, 32767));
      case 1:
        return chance(50) ? -32768 : 32767;
      case 2:
        return 0;
      case 3:
        return static_cast<int16_t>(uniform(-4096, 4095));
      default:
        return static_cast<int16_t>(uniform(-300, 300));
    }
  }
  void fill16(int16_t* p, size_t n) {
    const bool sparse = chance(30);
    for (size_t i = 0; i < n; ++i) p[i] = sparse && chance(80) ? 0 : value16();
  }

 private:
  std::mt19937 rng_;
};

struct Tables {
  Tables() {
    EXPECT_TRUE(decoder_fill_kernels(&portable, KERNELS_PORTABLE));
    for (int build = KERNELS_PORTABLE + 1; decoder_kernel_build_runs_here(build); ++build) {
      EXPECT_TRUE(decoder_fill_kernels(&vector[count], build));
      builds[count++] = build;
    }
    EXPECT_GT(count, 0);
  }
  ReconKernels portable;
  ReconKernels vector[KERNEL_BUILD_COUNT];
  int builds[KERNEL_BUILD_COUNT] = {};
  int count = 0;
};

// Runs `call(kernels, state)` on copies of `state` with each build and reports the first byte
// where a vector build differs from the portable one.
template <typename State, typename Call>
::testing::AssertionResult same_result(const Tables& t, const State& state, Call&& call) {
  State a;
  std::memcpy(&a, &state, sizeof a);
  call(t.portable, a);
  const auto* pa = reinterpret_cast<const uint8_t*>(&a);
  for (int v = 0; v < t.count; ++v) {
    State b;
    std::memcpy(&b, &state, sizeof b);
    call(t.vector[v], b);
    const auto* pb = reinterpret_cast<const uint8_t*>(&b);
    for (size_t i = 0; i < sizeof(State); ++i) {
      if (pa[i] != pb[i]) {
        return ::testing::AssertionFailure()
               << "byte " << i << ": portable " << int{pa[i]} << ", "
               << decoder_kernel_build_name(t.builds[v]) << " " << int{pb[i]};
      }
    }
  }
  return ::testing::AssertionSuccess();
}

#define EXPECT_SAME(tables, state, call, what)            \
  do {                                                    \
    auto result_ = same_result(tables, state, call);      \
    if (!result_) {                                       \
      ADD_FAILURE() << what << ": " << result_.message(); \
      return;                                             \
    }                                                     \
  } while (0)

TEST(KernelCheck, InstanceGetsTheBestBuildOfItsProcessor) {
  EXPECT_EQ(decoder_kernel_build_for(4, 0), KERNELS_SSE2);
  EXPECT_EQ(decoder_kernel_build_for(4, CPU_VEC_SSSE3), KERNELS_SSSE3);
  EXPECT_EQ(decoder_kernel_build_for(4, CPU_VEC_SSSE3 | CPU_VEC_AVX | CPU_VEC_AVX2), KERNELS_SSSE3);
  EXPECT_EQ(decoder_kernel_build_for(3, CPU_VEC_SSSE3), KERNELS_PORTABLE);
  EXPECT_EQ(decoder_kernel_build_for_level(2), KERNELS_PORTABLE);
  ReconKernels k{};
  EXPECT_FALSE(decoder_fill_kernels(&k, 7));
  EXPECT_EQ(k.idct4x4, nullptr);
  EXPECT_FALSE(decoder_select_kernels(nullptr, KERNELS_SSE2));
  for (int build = 0; build < KERNEL_BUILD_COUNT; ++build)
    EXPECT_EQ(decoder_kernel_build_from_name(decoder_kernel_build_name(build)), build);
  EXPECT_EQ(decoder_kernel_build_from_name("avx2"), -1);
  EXPECT_EQ(decoder_kernel_build_from_name(nullptr), -1);

  Tables t;
  const DecoderConfig config{0, 0, 8, 8, 1, 0, nullptr};
  DecoderContext* ctx = decoder_create(&config);
  ASSERT_NE(ctx, nullptr);
  ASSERT_EQ(t.builds[t.count - 1], decoder_kernel_build_for_level(decoder_cpu_level()));
  const ReconKernels& expected = t.vector[t.count - 1];
  EXPECT_EQ(std::memcmp(&ctx->kernels, &expected, sizeof expected), 0);
  ASSERT_TRUE(decoder_select_kernels(ctx, KERNELS_PORTABLE));
  EXPECT_EQ(std::memcmp(&ctx->kernels, &t.portable, sizeof t.portable), 0);
  decoder_destroy(ctx);
}

// SSSE3 from leaf 1; AVX only with the system saving the YMM state (OSXSAVE, XCR0 bits 1 and 2);
// AVX2 from leaf 7 only on top of that.
TEST(KernelCheck, VectorExtensionsFromTheIdentificationWords) {
  constexpr uint32_t kSsse3 = 1u << 9, kOsxsave = 1u << 27, kAvx = 1u << 28, kAvx2 = 1u << 5;
  EXPECT_EQ(cpu_vector_extensions_from({0, 0, 0}), 0u);
  EXPECT_EQ(cpu_vector_extensions_from({kSsse3, 0, 0}), CPU_VEC_SSSE3);
  EXPECT_EQ(cpu_vector_extensions_from({kOsxsave | kAvx, kAvx2, 0x6}), CPU_VEC_AVX | CPU_VEC_AVX2);
  EXPECT_EQ(cpu_vector_extensions_from({kAvx, kAvx2, 0x6}), 0u);
  EXPECT_EQ(cpu_vector_extensions_from({kOsxsave | kAvx, kAvx2, 0x2}), 0u);
  EXPECT_EQ(cpu_vector_extensions_from({kOsxsave, kAvx2, 0x7}), 0u);
  EXPECT_EQ(cpu_vector_extensions_from({kSsse3 | kOsxsave | kAvx, 0, 0x7}),
            CPU_VEC_SSSE3 | CPU_VEC_AVX);
#if defined(__x86_64__) || defined(__i386__)
  const uint32_t here = decoder_cpu_vector_extensions();
  EXPECT_EQ((here & CPU_VEC_SSSE3) != 0, __builtin_cpu_supports("ssse3") != 0);
  EXPECT_EQ((here & CPU_VEC_AVX2) != 0, __builtin_cpu_supports("avx2") != 0);
#endif
}

TEST(KernelCheck, EverySlotIsFilled) {
  Tables t;
  for (int v = 0; v < t.count; ++v) {
    const auto* slots = reinterpret_cast<const void* const*>(&t.vector[v]);
    for (size_t i = 0; i < sizeof(ReconKernels) / sizeof(void*); ++i)
      EXPECT_NE(slots[i], nullptr) << decoder_kernel_build_name(t.builds[v]) << " slot " << i;
  }
}

TEST(KernelCheck, InverseTransforms) {
  Tables t;
  Samples s(1);
  struct State {
    int16_t coeff[64];
    int16_t dst[64];
  };
  for (int n = 0; n < 4000; ++n) {
    State st;
    s.fill16(st.coeff, 64);
    s.fill16(st.dst, 64);
    EXPECT_SAME(
        t, st, [](const ReconKernels& k, State& x) { k.idct4x4(x.coeff, x.dst); },
        "idct4x4 case " << n);
    EXPECT_SAME(
        t, st, [](const ReconKernels& k, State& x) { k.idct8x8(x.coeff, x.dst); },
        "idct8x8 case " << n);
  }
}

TEST(KernelCheck, BoundaryStrengths) {
  Tables t;
  Samples s(2);
  struct State {
    MbInfo cur, nb;
    MbMotion cur_motion, nb_motion;
    uint8_t bs[kBsSize];
  };
  for (int n = 0; n < 20000; ++n) {
    State st{};
    for (MbInfo* m : {&st.cur, &st.nb}) {
      m->coded_blocks = static_cast<uint16_t>(s.chance(40) ? 0 : s.uniform(0, 0xFFFF));
    }
    // Vectors near each other (around the thresholds), anywhere, or at the 16-bit extremes.
    const int kind = s.uniform(0, 2);
    const int base_x = s.uniform(-2000, 2000), base_y = s.uniform(-500, 500);
    for (MbMotion* m : {&st.cur_motion, &st.nb_motion}) {
      for (int q = 0; q < 4; ++q) {
        m->ref_idx[q] = static_cast<int8_t>(s.uniform(0, 2));
        m->ref_pic[q] =
            s.chance(80) ? 7 : (s.chance(50) ? s.uniform(0, 3) : s.uniform(INT32_MIN, INT32_MAX));
      }
      for (auto& mv : m->mv) {
        for (int c = 0; c < 2; ++c) {
          const int base = c == 0 ? base_x : base_y;
          mv[c] = static_cast<int16_t>(kind == 0   ? base + s.uniform(-5, 5)
                                       : kind == 1 ? s.uniform(-32768, 32767)
                                                   : (s.chance(50) ? -32768 : 32767));
        }
      }
    }
    s.fill(st.bs);
    const int mvy_limit = s.chance(50) ? 4 : 2;
    EXPECT_SAME(
        t, st,
        [&](const ReconKernels& k, State& x) {
          k.bs_left_edge(x.bs, &x.cur, &x.cur_motion, &x.nb, &x.nb_motion, mvy_limit);
        },
        "left edge case " << n);
    EXPECT_SAME(
        t, st,
        [&](const ReconKernels& k, State& x) {
          k.bs_top_edge(x.bs + 4, &x.cur, &x.cur_motion, &x.nb, &x.nb_motion, mvy_limit);
        },
        "top edge case " << n);
    EXPECT_SAME(
        t, st,
        [](const ReconKernels& k, State& x) { k.bs_internal_16x16(x.bs, x.cur.coded_blocks); },
        "internal 16x16 case " << n);
    EXPECT_SAME(
        t, st,
        [&](const ReconKernels& k, State& x) {
          k.bs_internal_inter(x.bs, &x.cur, &x.cur_motion, mvy_limit);
        },
        "internal inter case " << n);
    EXPECT_SAME(
        t, st,
        [](const ReconKernels& k, State& x) { k.bs_clear_internal(x.bs, x.cur.coded_blocks); },
        "clear internal case " << n);
  }
}

// Thresholds as the filter tables produce them, their limits included.
int pick_alpha(Samples& s) {
  return s.chance(20) ? (s.chance(50) ? 0 : 255) : s.uniform(0, 255);
}
int pick_beta(Samples& s) {
  return s.chance(20) ? (s.chance(50) ? 0 : 18) : s.uniform(0, 18);
}
int8_t pick_tc0(Samples& s) {
  return static_cast<int8_t>(s.chance(20) ? (s.chance(50) ? -1 : 25) : s.uniform(-1, 25));
}

TEST(KernelCheck, EdgeFilters) {
  Tables t;
  Samples s(3);
  // Planes with room for 16 lines across an edge in either direction (pix at (8, 8)) and the
  // samples around them, which must stay.
  constexpr int kStride = 32;
  struct State {
    uint8_t luma[kStride * 28];
    uint8_t cb[kStride * 20], cr[kStride * 20];
    EdgeFilterParams pcb, pcr;
  };
  const int at = 8 * kStride + 8;
  // Two levels with a little noise, split at both edges (x = 8 and y = 8): steps of any height,
  // where the filter's delta reaches its limits.
  const auto step = [&s](uint8_t* p, size_t n) {
    const int level[2] = {s.uniform(0, 255), s.uniform(0, 255)};
    const int spread = s.uniform(0, 8);
    for (size_t i = 0; i < n; ++i) {
      const bool side = (i % kStride < 8) == (i / kStride < 8);
      p[i] = static_cast<uint8_t>(std::clamp(level[side] + s.uniform(-spread, spread), 0, 255));
    }
  };
  for (int n = 0; n < 30000; ++n) {
    State st;
    const auto fill = [&](uint8_t* p, size_t n) { s.chance(30) ? step(p, n) : s.fill(p, n); };
    fill(st.luma, sizeof st.luma);
    fill(st.cb, sizeof st.cb);
    fill(st.cr, sizeof st.cr);
    for (EdgeFilterParams* e : {&st.pcb, &st.pcr}) {
      e->alpha = pick_alpha(s);
      e->beta = pick_beta(s);
      for (int8_t& v : e->tc0) v = pick_tc0(s);
    }
    const int alpha = pick_alpha(s), beta = pick_beta(s);
    const int8_t tc0[4] = {pick_tc0(s), pick_tc0(s), pick_tc0(s), pick_tc0(s)};
    for (bool vertical : {true, false}) {
      const char* dir = vertical ? "vertical" : "horizontal";
      EXPECT_SAME(
          t, st,
          [&](const ReconKernels& k, State& x) {
            (vertical ? k.luma_normal_v : k.luma_normal_h)(x.luma + at, kStride, alpha, beta, tc0);
          },
          dir << " luma normal case " << n);
      EXPECT_SAME(
          t, st,
          [&](const ReconKernels& k, State& x) {
            (vertical ? k.luma_strong_v : k.luma_strong_h)(x.luma + at, kStride, alpha, beta);
          },
          dir << " luma strong case " << n);
      EXPECT_SAME(
          t, st,
          [&](const ReconKernels& k, State& x) {
            (vertical ? k.chroma_normal_v : k.chroma_normal_h)(x.cb + at, x.cr + at, kStride,
                                                               &x.pcb, &x.pcr);
          },
          dir << " chroma normal case " << n);
      EXPECT_SAME(
          t, st,
          [&](const ReconKernels& k, State& x) {
            (vertical ? k.chroma_strong_v : k.chroma_strong_h)(x.cb + at, x.cr + at, kStride,
                                                               &x.pcb, &x.pcr);
          },
          dir << " chroma strong case " << n);
    }
  }
}

TEST(KernelCheck, MacroblockStores) {
  Tables t;
  Samples s(4);
  struct State {
    uint8_t pic[40 * 20];
    uint8_t luma[kLumaArraySize];
    uint8_t cb[kChromaArraySize], cr[kChromaArraySize];
  };
  for (int n = 0; n < 3000; ++n) {
    State st;
    s.fill(st.pic);
    s.fill(st.luma);
    s.fill(st.cb);
    s.fill(st.cr);
    const int stride = s.uniform(16, 40);
    const int x = s.uniform(0, stride - 16), y = s.uniform(0, 20 - 16);
    const int at = y * stride + x;
    EXPECT_SAME(
        t, st,
        [&](const ReconKernels& k, State& v) { k.store_mb_luma(v.pic + at, stride, v.luma); },
        "macroblock luma store case " << n);
    EXPECT_SAME(
        t, st,
        [&](const ReconKernels& k, State& v) {
          k.store_mb_chroma(v.pic + at, v.pic + at + 8 * stride + 1, stride, v.cb, v.cr);
        },
        "macroblock chroma store case " << n);
  }
}

// A work area with random samples, border, availability flags and residual.
MbWorkArea random_work_area(Samples& s) {
  MbWorkArea wa{};
  s.fill(wa.luma);
  s.fill(wa.cb);
  s.fill(wa.cr);
  for (int i = kFlagOne; i < kLumaArraySize; ++i) wa.luma[i] = s.chance(70) ? 1 : 0;
  wa.luma[kFlagOne] = 1;
  s.fill16(wa.residual, kResidualSize);
  return wa;
}

TEST(KernelCheck, IntraPredictors) {
  Tables t;
  Samples s(5);
  for (int n = 0; n < 1500; ++n) {
    const MbWorkArea wa = random_work_area(s);
    const int cbp = s.uniform(0, 15);
    for (int mode = 0; mode < 9; ++mode) {
      for (int blk = 0; blk < 16; ++blk) {
        EXPECT_SAME(
            t, wa,
            [&](const ReconKernels& k, MbWorkArea& x) {
              k.intra4x4[mode](blk, x.luma, x.residual, cbp);
            },
            "intra 4x4 mode " << mode << " block " << blk << " case " << n);
      }
      for (int blk = 0; blk < 4; ++blk) {
        EXPECT_SAME(
            t, wa,
            [&](const ReconKernels& k, MbWorkArea& x) {
              k.intra8x8[mode](blk, x.luma, x.residual, cbp);
            },
            "intra 8x8 mode " << mode << " block " << blk << " case " << n);
      }
    }
    const int chroma_pattern = s.uniform(0, 2);
    for (int mode = 0; mode < 4; ++mode) {
      EXPECT_SAME(
          t, wa,
          [&](const ReconKernels& k, MbWorkArea& x) { k.intra16x16[mode](x.luma, x.residual); },
          "intra 16x16 mode " << mode << " case " << n);
      EXPECT_SAME(
          t, wa,
          [&](const ReconKernels& k, MbWorkArea& x) {
            k.intra_chroma[mode](&x, x.cb, x.cr, x.residual + kResidualCb, x.residual + kResidualCr,
                                 chroma_pattern);
          },
          "intra chroma mode " << mode << " case " << n);
    }
  }
}

// Reference samples in a buffer of exactly the rectangle the kernel may read, so that a read
// outside it leaves the allocation (and trips the address sanitizer).
struct Reference {
  std::vector<uint8_t> bytes;
  int stride;
  const uint8_t* origin;  // the block's integer sample
};

Reference make_reference(Samples& s, int width, int height, int before_x, int before_y, int after_x,
                         int after_y) {
  Reference r;
  const int w = before_x + width + after_x, h = before_y + height + after_y;
  r.stride = w + (s.chance(50) ? 0 : s.uniform(1, 20));
  // The last row holds only the readable samples.
  r.bytes.resize(static_cast<size_t>(r.stride) * (h - 1) + w);
  s.fill(r.bytes);
  r.origin = r.bytes.data() + before_y * r.stride + before_x;
  return r;
}

struct McState {
  uint8_t luma[256];
  uint8_t cb[64];
  uint8_t cr[64];
};

TEST(KernelCheck, Interpolation) {
  Tables t;
  Samples s(6);
  struct Shape {
    McKernel (ReconKernels::*table)[16];
    int w, h;
    const char* name;
  };
  const Shape luma[] = {{&ReconKernels::mc_luma_4x4, 4, 4, "luma 4x4"},
                        {&ReconKernels::mc_luma_4x8, 4, 8, "luma 4x8"},
                        {&ReconKernels::mc_luma_8x8, 8, 8, "luma 8x8"},
                        {&ReconKernels::mc_luma_8x16, 8, 16, "luma 8x16"},
                        {&ReconKernels::mc_luma_16x16, 16, 16, "luma 16x16"}};
  for (const auto& shape : luma) {
    for (int index = 0; index < 16; ++index) {
      const bool wide = (index >> 2) != 0, tall = (index & 3) != 0;
      for (int n = 0; n < 300; ++n) {
        // Kernels of a fraction read 2 samples before and 3 after the block in its direction.
        const Reference ref = make_reference(s, shape.w, shape.h, wide ? 2 : 0, tall ? 2 : 0,
                                             wide ? 3 : 0, tall ? 3 : 0);
        McState st;
        s.fill(st.luma);
        McBlockRequest req{};
        req.src_luma = ref.origin;
        req.src_luma_stride = ref.stride;
        const int dst = shape.w == 16 ? 0
                        : shape.h == 16
                            ? 64 * s.uniform(0, 1)
                            : luma_sample_offset(shape.w * s.uniform(0, 16 / shape.w - 1),
                                                 8 * s.uniform(0, 1)) +
                                  8 * s.uniform(0, 8 - shape.h);
        EXPECT_SAME(
            t, st,
            [&](const ReconKernels& k, McState& x) {
              McBlockRequest r = req;
              r.dst_luma = x.luma + dst;
              (k.*shape.table)[index](&r);
            },
            shape.name << " fraction " << index << " case " << n);
      }
    }
  }
  struct ChromaShape {
    McKernel (ReconKernels::*table)[4];
    int w, h;
    const char* name;
  };
  const ChromaShape chroma[] = {{&ReconKernels::mc_chroma_4x2, 4, 2, "chroma 4x2"},
                                {&ReconKernels::mc_chroma_4x4, 4, 4, "chroma 4x4"},
                                {&ReconKernels::mc_chroma_8x4, 8, 4, "chroma 8x4"},
                                {&ReconKernels::mc_chroma_8x8, 8, 8, "chroma 8x8"}};
  for (const auto& shape : chroma) {
    for (int index = 0; index < 4; ++index) {
      for (int n = 0; n < 800; ++n) {
        const int right = index & 1, below = (index >> 1) & 1;
        const Reference cb = make_reference(s, shape.w, shape.h, 0, 0, right, below);
        std::vector<uint8_t> cr_bytes(cb.bytes.size());
        s.fill(cr_bytes);
        McState st;
        s.fill(st.cb);
        s.fill(st.cr);
        McBlockRequest req{};
        req.src_cb = cb.origin;
        req.src_cr = cr_bytes.data();
        req.src_chroma_stride = cb.stride;
        req.chroma_frac_x = static_cast<uint8_t>(s.uniform(0, 7));
        req.chroma_frac_y = static_cast<uint8_t>(s.uniform(0, 7));
        const int dst = 4 * s.uniform(0, 8 / shape.w - 1) + 8 * s.uniform(0, 8 - shape.h);
        EXPECT_SAME(
            t, st,
            [&](const ReconKernels& k, McState& x) {
              McBlockRequest r = req;
              r.dst_cb = x.cb + dst;
              r.dst_cr = x.cr + dst;
              (k.*shape.table)[index](&r);
            },
            shape.name << " fraction " << index << " case " << n);
      }
    }
  }
}

// Rows alternating the patterns 255 0 255 255 0 255 (horizontal sum 10710, the largest) and its
// inverse (-2550, the smallest) in the orders that drive the centre samples' vertical sum to
// either extreme, at every phase.
TEST(KernelCheck, CentreSamplesAtTheExtremesOfTheVerticalSum) {
  Tables t;
  constexpr int kPattern[6] = {1, 0, 1, 1, 0, 1};
  constexpr int kRowOrders[2][6] = {{0, 1, 0, 0, 1, 0}, {1, 0, 1, 1, 0, 1}};  // 1: inverted
  const struct {
    McKernel (ReconKernels::*table)[16];
    int w, h;
  } shapes[] = {{&ReconKernels::mc_luma_4x4, 4, 4},
                {&ReconKernels::mc_luma_8x16, 8, 16},
                {&ReconKernels::mc_luma_16x16, 16, 16}};
  for (const auto& [table, w, h] : shapes) {
    const int stride = w + 5;
    for (const auto& order : kRowOrders) {
      for (int phase = 0; phase < 36; ++phase) {
        std::vector<uint8_t> ref(static_cast<size_t>(stride * (h + 5)));
        for (int y = 0; y < h + 5; ++y)
          for (int x = 0; x < stride; ++x)
            ref[y * stride + x] =
                (kPattern[(x + phase) % 6] ^ order[(y + phase / 6) % 6]) != 0 ? 255 : 0;
        for (const int index : {6, 9, 10, 11, 14}) {
          McState st{};
          EXPECT_SAME(
              t, st,
              [&](const ReconKernels& k, McState& x) {
                McBlockRequest r{};
                r.src_luma = ref.data() + 2 * stride + 2;
                r.src_luma_stride = stride;
                r.dst_luma = x.luma;
                (k.*table)[index](&r);
              },
              "width " << w << " fraction " << index << " phase " << phase);
        }
      }
    }
  }
}

TEST(KernelCheck, Combine) {
  Tables t;
  Samples s(7);
  for (int n = 0; n < 5000; ++n) {
    MbWorkArea wa = random_work_area(s);
    wa.coded_block_pattern = s.uniform(0, 15) | (s.uniform(0, 2) << 4);
    EXPECT_SAME(
        t, wa, [&](const ReconKernels& k, MbWorkArea& x) { k.combine(&x); },
        "combine pattern " << wa.coded_block_pattern << " case " << n);
  }
}

TEST(KernelCheck, DeinterlaceLine) {
  Tables t;
  Samples s(8);
  for (int n = 0; n < 3000; ++n) {
    const int width = s.chance(50) ? 16 * s.uniform(1, 6) : s.uniform(1, 100);
    const int stride = width + (s.chance(50) ? 0 : s.uniform(1, 16));
    // Picture rows 2k - 1 .. 2k + 2, history near the picture, counters around 3.
    std::vector<uint8_t> pic(static_cast<size_t>(stride) * 3 + width);
    s.fill(pic);
    std::vector<uint8_t> history(pic);
    for (uint8_t& h : history) h = static_cast<uint8_t>(std::clamp(h + s.uniform(-12, 12), 0, 255));
    std::vector<uint8_t> counter(width);
    for (uint8_t& c : counter) c = static_cast<uint8_t>(s.uniform(0, 5));
    struct State {
      uint8_t even[100], odd[100];
    } st;
    s.fill(st.even);
    s.fill(st.odd);
    EXPECT_SAME(
        t, st,
        [&](const ReconKernels& k, State& x) {
          k.deinterlace_line(x.even, x.odd, pic.data() + stride, history.data() + stride,
                             counter.data(), stride, width);
        },
        "de-interlace width " << width << " case " << n);
  }
}

}  // namespace
