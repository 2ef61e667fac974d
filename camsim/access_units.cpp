#include "camsim/access_units.h"

namespace scopemark::camsim {

namespace {

constexpr int kNalSlice = 1;
constexpr int kNalIdrSlice = 5;

bool is_slice(int type) {
  return type == kNalSlice || type == kNalIdrSlice;
}

// NAL types that open a new access unit when they follow a slice: SEI, SPS, PPS, access
// unit delimiter and the types 14 to 18.
bool starts_picture_prefix(int type) {
  return (type >= 6 && type <= 9) || (type >= 14 && type <= 18);
}

}  // namespace

StreamPlan plan_stream(const std::vector<uint8_t>& stream) {
  StreamPlan plan;
  if (stream.empty()) return plan;
  plan.frame_starts.push_back(0);
  bool slice_seen = false;
  bool idr_seen = false;
  for (size_t i = 0; i + 3 < stream.size(); ++i) {
    if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1) continue;
    const size_t start = (i > 0 && stream[i - 1] == 0) ? i - 1 : i;
    const int type = stream[i + 3] & 0x1F;
    const bool first_slice_of_picture =
        is_slice(type) && i + 4 < stream.size() && (stream[i + 4] & 0x80) != 0;
    if (slice_seen && (starts_picture_prefix(type) || first_slice_of_picture)) {
      plan.frame_starts.push_back(start);
      slice_seen = false;
    }
    if (is_slice(type)) slice_seen = true;
    if (type == kNalIdrSlice && !idr_seen) {
      idr_seen = true;
      plan.loop_frame = plan.frame_starts.size() - 1;
    }
    i += 2;
  }
  return plan;
}

}  // namespace scopemark::camsim
