#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "h264/entropy_cabac_writer.h"
#include "h264/stream/cabac.h"

using entropy_test::CabacWriter;

namespace {

constexpr uint32_t kTerminateCtx = 276;

// A random bin stream: decisions on random contexts with a per-context bias, bypass bins and
// terminate bins equal to 0.
struct Bin {
  int kind;  // 0 decision, 1 bypass, 2 terminate
  uint32_t ctx;
  uint32_t value;
};

std::vector<Bin> random_bins(std::mt19937& rng, int count) {
  std::vector<double> bias(kCabacContextCount);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (double& b : bias) b = unit(rng) < 0.5 ? unit(rng) * 0.1 : unit(rng);
  std::uniform_int_distribution<uint32_t> ctx_dist(0, kCabacContextCount - 1);
  std::vector<Bin> bins;
  for (int i = 0; i < count; ++i) {
    double kind = unit(rng);
    if (kind < 0.8) {
      uint32_t ctx = ctx_dist(rng);
      if (ctx == kTerminateCtx) ctx = 0;
      bins.push_back({0, ctx, unit(rng) < bias[ctx] ? 1u : 0u});
    } else if (kind < 0.97) {
      bins.push_back({1, 0, unit(rng) < 0.5 ? 1u : 0u});
    } else {
      bins.push_back({2, 0, 0});
    }
  }
  return bins;
}

void encode(CabacWriter& w, const std::vector<Bin>& bins) {
  for (const Bin& b : bins) {
    if (b.kind == 0) w.decision(b.ctx, b.value);
    if (b.kind == 1) w.bypass(b.value);
    if (b.kind == 2) w.terminate(b.value);
  }
}

void expect_decoded(CabacDecoder& d, const std::vector<Bin>& bins) {
  for (size_t i = 0; i < bins.size(); ++i) {
    const Bin& b = bins[i];
    uint32_t got = b.kind == 0   ? cabac_decode_decision(d, b.ctx)
                   : b.kind == 1 ? cabac_decode_bypass(d)
                                 : cabac_decode_terminate(d);
    ASSERT_EQ(got, b.value) << "bin " << i << " kind " << b.kind;
  }
}

// The slice data behind a few header bytes, as the decoder sees it in a NAL unit.
std::vector<uint8_t> with_header(const std::vector<uint8_t>& body, size_t header_bytes) {
  std::vector<uint8_t> data(header_bytes, 0xA5);
  data.insert(data.end(), body.begin(), body.end());
  return data;
}

}  // namespace

TEST(EntropyCabacContexts, InitialStatesFollowMnAndSliceQp) {
  CabacDecoder d{};
  // ctxIdx 0 (m 20, n -15) at QP 26: preCtxState 17, so pStateIdx 46 with valMPS 0.
  cabac_init_contexts(d, 26, 0);
  EXPECT_EQ(d.state[0], 46 << 1);
  // ctxIdx 6 (m -28, n 127): at QP 51 the product shifts to -90 (rounded down), giving 37.
  cabac_init_contexts(d, 51, 0);
  EXPECT_EQ(d.state[6], (63 - 37) << 1);
  // At QP 0 it is clipped to 126: pStateIdx 62, valMPS 1.
  cabac_init_contexts(d, 0, 0);
  EXPECT_EQ(d.state[6], 62 << 1 | 1);
  // ctxIdx 11 with cabac_init_idc 1 (m 22, n 25) at QP 30: 41 + 25 = 66.
  cabac_init_contexts(d, 30, 2);
  EXPECT_EQ(d.state[11], 2 << 1 | 1);
  // A QP beyond 51 acts as 51.
  CabacDecoder clipped{};
  cabac_init_contexts(clipped, 60, 1);
  cabac_init_contexts(d, 51, 1);
  EXPECT_EQ(0, std::memcmp(clipped.state, d.state, sizeof(d.state)));
}

TEST(EntropyCabacContexts, NoContextStartsInTheNonAdaptingState) {
  CabacDecoder d{};
  for (int column = 0; column < 4; ++column) {
    for (int qp = 0; qp <= 51; ++qp) {
      cabac_init_contexts(d, qp, column);
      for (int i = 0; i < kCabacContextCount; ++i) ASSERT_LE(d.state[i] >> 1, 62) << i;
    }
  }
}

TEST(EntropyCabacEngine, RandomBinStreamsRoundTrip) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 40; ++round) {
    int qp = static_cast<int>(rng() % 52);
    int column = static_cast<int>(rng() % 4);
    std::vector<Bin> bins = random_bins(rng, 3000);
    CabacWriter w(qp, column);
    encode(w, bins);
    w.terminate(1);
    size_t codeword_end = w.out().bit_count();
    w.align_zero();
    std::vector<uint8_t> data = with_header(w.out().bytes(), round % 5);

    CabacDecoder d{};
    cabac_init_contexts(d, qp, column);
    cabac_start_engine(d, data.data(), static_cast<uint32_t>(data.size()), round % 5);
    ASSERT_EQ(d.error, 0u);
    expect_decoded(d, bins);
    EXPECT_EQ(cabac_decode_terminate(d), 1u);
    EXPECT_EQ(cabac_bit_position(d), 8 * (round % 5) + codeword_end);
    EXPECT_EQ(0, std::memcmp(d.state, w.state(), sizeof(d.state)));
  }
}

TEST(EntropyCabacEngine, LongRunsOfLikelyBinsAndOfBypassBins) {
  std::vector<Bin> bins;
  for (int i = 0; i < 5000; ++i) bins.push_back({0, 60, 0});
  for (int i = 0; i < 3000; ++i) bins.push_back({1, 0, static_cast<uint32_t>(i % 3 == 0)});
  for (int i = 0; i < 2000; ++i) bins.push_back({0, 105, 1});
  CabacWriter w(12, 0);
  encode(w, bins);
  w.terminate(1);
  size_t codeword_end = w.out().bit_count();
  w.align_zero();
  CabacDecoder d{};
  cabac_init_contexts(d, 12, 0);
  cabac_start_engine(d, w.out().bytes().data(), static_cast<uint32_t>(w.out().bytes().size()), 0);
  expect_decoded(d, bins);
  EXPECT_EQ(cabac_decode_terminate(d), 1u);
  EXPECT_EQ(cabac_bit_position(d), codeword_end);
}

TEST(EntropyCabacEngine, RestartsAfterPcmSamples) {
  std::mt19937 rng(99);
  std::vector<Bin> before = random_bins(rng, 500);
  std::vector<Bin> after = random_bins(rng, 500);
  CabacWriter w(30, 1);
  encode(w, before);
  w.terminate(1);
  w.align_zero();
  std::vector<uint8_t> samples(384);
  for (uint8_t& s : samples) s = static_cast<uint8_t>(rng());
  for (uint8_t s : samples) w.out().bits(s, 8);
  w.restart();
  encode(w, after);
  w.terminate(1);
  size_t codeword_end = w.out().bit_count();
  w.align_zero();
  std::vector<uint8_t> data = with_header(w.out().bytes(), 2);

  CabacDecoder d{};
  cabac_init_contexts(d, 30, 1);
  cabac_start_engine(d, data.data(), static_cast<uint32_t>(data.size()), 2);
  expect_decoded(d, before);
  ASSERT_EQ(cabac_decode_terminate(d), 1u);
  uint32_t pcm = (cabac_bit_position(d) + 7) / 8;
  ASSERT_LE(pcm + samples.size(), data.size());
  EXPECT_TRUE(std::equal(samples.begin(), samples.end(), data.begin() + pcm));
  cabac_start_engine(d, data.data(), static_cast<uint32_t>(data.size()), pcm + 384);
  expect_decoded(d, after);
  EXPECT_EQ(cabac_decode_terminate(d), 1u);
  EXPECT_EQ(cabac_bit_position(d), 16 + codeword_end);
}

TEST(EntropyCabacEngine, RejectsAnInitialOffsetOf510Or511) {
  const uint8_t bad[2] = {0xFF, 0x00};
  CabacDecoder d{};
  cabac_start_engine(d, bad, 2, 0);
  EXPECT_NE(d.error, 0u);
  const uint8_t good[2] = {0xFE, 0xFF};  // 509
  cabac_start_engine(d, good, 2, 0);
  EXPECT_EQ(d.error, 0u);
}

TEST(EntropyCabacEngine, ReadsNothingBeyondItsBuffer) {
  // Exactly sized heap buffers: the sanitizer build sees any read past them.
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> data(rng() % 6);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    uint32_t start = data.empty() ? 0 : static_cast<uint32_t>(rng() % (data.size() + 1));
    CabacDecoder d{};
    cabac_init_contexts(d, 26, 0);
    cabac_start_engine(d, data.data(), static_cast<uint32_t>(data.size()), start);
    for (int i = 0; i < 400; ++i) {
      cabac_decode_decision(d, rng() % 276);
      cabac_decode_bypass(d);
      cabac_decode_terminate(d);
    }
    EXPECT_GE(cabac_bit_position(d), 8 * start);
  }
}
