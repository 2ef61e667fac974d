#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scopemark::camsim {

// An Annex B stream cut into pictures for pacing. frame_starts holds the byte offset of each
// picture (with the parameter sets and SEI that precede it); loop_frame is the picture holding
// the first IDR slice, where the stream starts again after its end (0 without an IDR).
struct StreamPlan {
  std::vector<size_t> frame_starts;
  size_t loop_frame = 0;
};

StreamPlan plan_stream(const std::vector<uint8_t>& stream);

}  // namespace scopemark::camsim
