#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "records/picture_store.h"

namespace scopemark {

// Received pictures larger than this are refused before they are decoded.
constexpr int kMaxReceivedSide = 8192;
constexpr std::int64_t kMaxReceivedPixels = 40'000'000;

// Decodes a still picture in any format the image library reads and writes it to path as a
// 24-bit BMP. undecodable when the picture cannot be decoded, else why the file could not be
// written (a file left half written is removed). A picture whose header declares more than
// kMaxReceivedSide pixels a side or kMaxReceivedPixels in all is refused unread, with a log
// line, and nothing is written.
StoreProblem decode_and_save_bmp(std::span<const std::uint8_t> bytes,
                                 const std::filesystem::path& path);

}  // namespace scopemark
