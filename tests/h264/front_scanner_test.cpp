#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "h264/front_decoder_fixture.h"
#include "h264/front_stream_builder.h"
#include "h264/stream/nal_scanner.h"

namespace {

using front_test::annex_b;
using front_test::DecoderHandle;
using front_test::make_config;
using Bytes = std::vector<uint8_t>;

struct Unit {
  Bytes bytes;  // up to and including the byte with the stop bit
  uint32_t rbsp_bits;
  uint32_t unit_bytes;
  bool skipped;
};

// Scans the pieces one after the other, as separate calls would, and collects the units.
std::vector<Unit> scan(DecoderHandle& d, const std::vector<Bytes>& pieces) {
  std::vector<Unit> units;
  for (const Bytes& piece : pieces) {
    scanner_set_input(d.ctx->scanner, piece.data(), static_cast<uint32_t>(piece.size()));
    uint32_t unit_bytes = 0;
    for (;;) {
      ScanResult r = scan_next_unit(*d.ctx, unit_bytes);
      if (r == ScanResult::input_used_up) break;
      const BitReader& br = d.ctx->reader;
      Bytes bytes(br.data, br.data + br.rbsp_bits / 8 + 1);
      units.push_back({bytes, br.rbsp_bits, unit_bytes, r == ScanResult::unit_skipped});
    }
  }
  return units;
}

// The units of a byte stream as the scanner must gather them, read one byte at a time: after a
// start code 00 00 01 the bytes up to and including the next one, without each 03 that follows
// two zero bytes; units of fewer than five such bytes are dropped.
std::vector<Unit> model_units(const Bytes& stream) {
  std::vector<Unit> units;
  Bytes stored;
  uint32_t removed = 0;
  bool gathering = false;
  for (size_t i = 0; i < stream.size(); ++i) {
    const uint8_t b = stream[i];
    const bool two_zeros = i >= 2 && stream[i - 2] == 0 && stream[i - 1] == 0;
    if (gathering) {
      if (two_zeros && b == 3) {
        ++removed;
      } else {
        stored.push_back(b);
      }
    }
    if (!two_zeros || b != 1) continue;
    if (gathering && stored.size() >= 5) {
      uint32_t end = static_cast<uint32_t>(stored.size()) - 3;
      while (end > 0 && stored[end - 1] == 0) --end;
      const uint32_t rbsp_bits = end > 0 ? 8 * (end - 1) : 0;
      units.push_back({Bytes(stored.begin(), stored.begin() + rbsp_bits / 8 + 1), rbsp_bits,
                       end + removed, rbsp_bits <= 8});
    }
    gathering = true;
    stored.clear();
    removed = 0;
  }
  return units;
}

class FrontScanner : public ::testing::Test {
 protected:
  DecoderHandle d{make_config(2, 6, 1)};
};

TEST_F(FrontScanner, BytesBeforeTheFirstStartCodeAreDropped) {
  auto units = scan(d, {{0x67, 0x42, 0x00, 0x00, 0x01, 0x65, 0x88, 0x80, 0x00, 0x00, 0x01}});
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].bytes, (Bytes{0x65, 0x88, 0x80}));
  EXPECT_EQ(units[0].rbsp_bits, 16u);
  EXPECT_FALSE(units[0].skipped);
}

TEST_F(FrontScanner, StartCodeSplitAcrossCallsIsFound) {
  auto units = scan(d, {{0x00, 0x00, 0x01, 0x65, 0x11, 0x22, 0x80, 0x00},
                        {0x00, 0x01, 0x41, 0x33, 0x80},
                        {0x00},
                        {0x00},
                        {0x01}});
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].bytes, (Bytes{0x65, 0x11, 0x22, 0x80}));
  EXPECT_EQ(units[1].bytes, (Bytes{0x41, 0x33, 0x80}));
}

TEST_F(FrontScanner, EmulationPreventionIsRemovedWhileGathering) {
  auto units = scan(d, {{0,    0,    1,    0x65, 0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x03, 0x03,
                         0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x02, 0x80, 0,    0,    1}});
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].bytes, (Bytes{0x65, 0, 0, 0x01, 0, 0, 0x03, 0, 0, 0, 0, 0x02, 0x80}));
  EXPECT_EQ(units[0].unit_bytes, 13u + 4u);
}

TEST_F(FrontScanner, FourByteStartCodesAndTrailingZerosKeepTheRbspLength) {
  const Bytes body = {0x65, 0x12, 0x34, 0x80};
  Bytes three = {0, 0, 1};
  three.insert(three.end(), body.begin(), body.end());
  three.insert(three.end(), {0, 0, 1});
  Bytes padded = {0, 0, 0, 1};
  padded.insert(padded.end(), body.begin(), body.end());
  padded.insert(padded.end(), {0, 0, 0, 0, 0, 0, 0, 1});
  auto a = scan(d, {three});
  DecoderHandle other(make_config(2, 6, 1));
  auto b = scan(other, {padded});
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].rbsp_bits, 24u);
  EXPECT_EQ(b[0].rbsp_bits, 24u);
  EXPECT_EQ(a[0].unit_bytes, b[0].unit_bytes);
}

TEST_F(FrontScanner, ShortUnitsAreSkippedWithoutReachingTheDispatcher) {
  // Access unit delimiter (header plus primary_pic_type and stop bit), end of sequence,
  // an empty unit between two start codes.
  auto units = scan(
      d, {{0, 0, 1, 0x09, 0xF0, 0, 0, 1, 0x0A, 0, 0, 1, 0, 0, 1, 0x65, 0x80, 0x00, 0x00, 0x01}});
  ASSERT_EQ(units.size(), 2u);
  EXPECT_TRUE(units[0].skipped);
  EXPECT_EQ(units[0].bytes, (Bytes{0x09, 0xF0}));
  EXPECT_TRUE(units[1].skipped);
  EXPECT_EQ(d.ctx->stream_state, 0u);
}

TEST_F(FrontScanner, OverlongUnitIsDroppedAndTheNextOneDecodes) {
  front_test::SpsFields first;
  first.sps_id = 1;
  first.width_mbs_minus1 = 1;
  first.height_map_units_minus1 = 5;
  front_test::SpsFields second = first;
  second.sps_id = 0;
  Bytes overlong = front_test::sps_unit(first);
  overlong.insert(overlong.end(), d.ctx->nal_capacity, 0x55);
  Bytes stream = annex_b({overlong, front_test::sps_unit(second)});
  stream.insert(stream.end(), {0, 0, 1});
  EXPECT_EQ(d.feed(stream), DECODE_NEED_INPUT);
  EXPECT_EQ(d.ctx->sps_table[1].valid, 0u);
  EXPECT_EQ(d.ctx->sps_table[0].valid, 1u);
}

TEST_F(FrontScanner, UnitOfExactlyTheBufferCapacityIsKept) {
  front_test::SpsFields f;
  f.width_mbs_minus1 = 1;
  f.height_map_units_minus1 = 5;
  Bytes unit = front_test::sps_unit(f);
  // The buffer also holds the three bytes of the closing start code.
  unit.insert(unit.end(), d.ctx->nal_capacity - 3 - unit.size(), 0x55);
  Bytes stream = annex_b({unit});
  stream.insert(stream.end(), {0, 0, 1});
  d.feed(stream);
  EXPECT_EQ(d.ctx->sps_table[0].valid, 1u);
}

TEST_F(FrontScanner, UserDataSeiOfSizeFiveIsKept) {
  Bytes stream = annex_b({{0x06, 240, 5, 0x10, 0x00, 0x00, 0x03, 0xFF, 0x80}});
  stream.insert(stream.end(), {0, 0, 1});
  EXPECT_EQ(d.feed(stream), DECODE_NEED_INPUT);
  ASSERT_EQ(d.ctx->user_data_seen, 1u);
  const UserDataRecord& record = d.ctx->user_data;
  EXPECT_EQ(record.payload_type, 240u);
  ASSERT_EQ(record.length, 5u);
  EXPECT_EQ(Bytes(record.bytes, record.bytes + 5), (Bytes{0x10, 0x00, 0x00, 0x03, 0xFF}));
  EXPECT_EQ(record.reserved, 0u);
}

TEST_F(FrontScanner, UserDataClaimingMoreBytesThanTheUnitHoldsGetsZeros) {
  d.feed({0, 0, 1, 0x06, 240, 200, 0x44, 0x80, 0, 0, 1, 0x77, 0x77, 0x77, 0x80, 0, 0, 1});
  ASSERT_EQ(d.ctx->user_data.length, 200u);
  EXPECT_EQ(d.ctx->user_data_bytes[0], 0x44);
  EXPECT_EQ(d.ctx->user_data_bytes[1], 0x80);
  for (int i = 2; i < 200; ++i) ASSERT_EQ(d.ctx->user_data_bytes[i], 0) << i;
}

TEST_F(FrontScanner, ViewSeiSetsTheViewFlagAndASequenceSetClearsIt) {
  d.feed({0, 0, 1, 0x06, 224, 1, 0x03, 0x80, 0, 0, 1});
  EXPECT_EQ(d.ctx->view_flag, 1u);
  d.feed({0x06, 224, 2, 0x01, 0x01, 0x80, 0, 0, 1});  // size 2: ignored
  EXPECT_EQ(d.ctx->view_flag, 1u);
  front_test::SpsFields f;
  f.width_mbs_minus1 = 1;
  f.height_map_units_minus1 = 5;
  Bytes stream = annex_b({front_test::sps_unit(f)});
  stream.insert(stream.end(), {0, 0, 1});
  d.feed(stream);
  EXPECT_EQ(d.ctx->view_flag, 0u);
}

TEST_F(FrontScanner, DispatcherResults) {
  struct Case {
    uint8_t header;
    uint32_t result;
  };
  const Case cases[] = {{0x06, 2},          {0x09, 9},          {0x0A, 9},
                        {0x0C, 9},          {0x0B, 1},          {0x02, 0x10000001},
                        {0x03, 0x10000001}, {0x04, 0x10000001}, {0x00, 0x10000001},
                        {0x0D, 0x10000001}, {0x1F, 0x10000001}, {0x68, 0x20000011},
                        {0x67, 0x20000001}, {0x65, 0x10000004}, {0x01, 0x10000004}};
  for (const Case& c : cases) {
    d.load_unit({c.header, 0x00, 0x00, 0x80});
    d.ctx->reader.position = 0;
    EXPECT_EQ(dispatch_nal_unit(*d.ctx, 4), c.result) << int{c.header};
  }
  d.load_unit({0x65, 0x80});
  d.ctx->reader.position = 0;
  dispatch_nal_unit(*d.ctx, 4);
  EXPECT_EQ(d.ctx->nal_ref_idc, 3u);
  EXPECT_EQ(d.ctx->nal_unit_type, 5u);
}

TEST_F(FrontScanner, AnySplitOfAStreamGivesTheSameUnits) {
  front_test::SpsFields f;
  f.width_mbs_minus1 = 1;
  f.height_map_units_minus1 = 5;
  Bytes stream = annex_b({front_test::sps_unit(f),
                          front_test::pps_unit({}),
                          {0x06, 240, 3, 0, 0, 1, 0x80},
                          {0x09, 0x10},
                          {0x65, 0, 0, 0, 0x80}});
  stream.insert(stream.end(), {0, 0, 1});
  auto whole = scan(d, {stream});
  ASSERT_EQ(whole.size(), 5u);
  for (size_t piece = 1; piece <= 7; ++piece) {
    DecoderHandle other(make_config(2, 6, 1));
    std::vector<Bytes> pieces;
    for (size_t at = 0; at < stream.size(); at += piece) {
      pieces.emplace_back(stream.begin() + at,
                          stream.begin() + std::min(stream.size(), at + piece));
    }
    auto split = scan(other, pieces);
    ASSERT_EQ(split.size(), whole.size()) << piece;
    for (size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(split[i].bytes, whole[i].bytes) << piece;
      EXPECT_EQ(split[i].rbsp_bits, whole[i].rbsp_bits);
      EXPECT_EQ(split[i].unit_bytes, whole[i].unit_bytes);
    }
  }
}

TEST_F(FrontScanner, RandomStreamsInRandomPiecesGiveTheUnitsOfAByteByByteReading) {
  // Runs of zeros, ones and threes make start codes, emulation prevention bytes and trailing
  // zeros frequent; long non-zero runs are gathered in one piece by the scanner.
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    Bytes stream = {0, 0, 1};
    const uint32_t size = 200 + rng() % 2800;  // below the unit buffer's capacity
    const int zeros = static_cast<int>(rng() % 60);
    while (stream.size() < size) {
      const int kind = static_cast<int>(rng() % 100);
      stream.push_back(kind < zeros        ? 0
                       : kind < zeros + 8  ? 1
                       : kind < zeros + 16 ? 3
                                           : static_cast<uint8_t>(1 + rng() % 255));
    }
    stream.insert(stream.end(), {0, 0, 1});
    const std::vector<Unit> expected = model_units(stream);
    std::vector<Bytes> pieces;
    for (size_t at = 0; at < stream.size();) {
      const size_t length = std::min<size_t>(stream.size() - at, 1 + rng() % 300);
      pieces.emplace_back(stream.begin() + at, stream.begin() + at + length);
      at += length;
    }
    DecoderHandle whole(make_config(2, 6, 1));
    DecoderHandle split(make_config(2, 6, 1));
    for (const std::vector<Unit>& got : {scan(whole, {stream}), scan(split, pieces)}) {
      ASSERT_EQ(got.size(), expected.size()) << round;
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].bytes, expected[i].bytes) << round << " " << i;
        EXPECT_EQ(got[i].rbsp_bits, expected[i].rbsp_bits) << round << " " << i;
        EXPECT_EQ(got[i].unit_bytes, expected[i].unit_bytes) << round << " " << i;
        EXPECT_EQ(got[i].skipped, expected[i].skipped) << round << " " << i;
      }
    }
  }
}

}  // namespace
