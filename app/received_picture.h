#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace scopemark {

// Decodes a still picture in any format the image library reads and writes it to path as a
// 24-bit BMP. False when the picture cannot be decoded or the file not written; a file left
// half written is removed.
bool decode_and_save_bmp(std::span<const std::uint8_t> bytes, const std::filesystem::path& path);

}  // namespace scopemark
