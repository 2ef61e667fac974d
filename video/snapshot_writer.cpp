#include "video/snapshot_writer.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "video/yuv_convert.h"

namespace scopemark {
namespace {

constexpr uint32_t kBmpHeaderBytes = 54;

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

}  // namespace

std::string write_bmp(const std::string& path, const uint8_t* pixels, size_t byte_count, int width,
                      int height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return {};
  const size_t row_bytes = static_cast<size_t>(width) * 3;
  const size_t padded_row = (row_bytes + 3) & ~size_t{3};
  if (byte_count < row_bytes * static_cast<size_t>(height)) return {};
  const uint64_t image_bytes = uint64_t{padded_row} * static_cast<uint64_t>(height);
  if (image_bytes + kBmpHeaderBytes > UINT32_MAX) return {};

  uint8_t header[kBmpHeaderBytes] = {};
  header[0] = 'B';
  header[1] = 'M';
  put32(header + 2, static_cast<uint32_t>(image_bytes) + kBmpHeaderBytes);
  put32(header + 10, kBmpHeaderBytes);
  put32(header + 14, 40);
  put32(header + 18, static_cast<uint32_t>(width));
  put32(header + 22, static_cast<uint32_t>(height));
  put16(header + 26, 1);
  put16(header + 28, 24);

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {};
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
  if (padded_row == row_bytes) {
    ok = ok && std::fwrite(pixels, 1, row_bytes * height, file) == row_bytes * height;
  } else {
    const uint8_t zeros[3] = {};
    for (int r = 0; ok && r < height; ++r) {
      ok = std::fwrite(pixels + r * row_bytes, 1, row_bytes, file) == row_bytes &&
           std::fwrite(zeros, 1, padded_row - row_bytes, file) == padded_row - row_bytes;
    }
  }
  if (const int error = close_picture_file(file, ok, path); error != 0) {
    errno = error;
    return {};
  }
  return path;
}

SnapshotWriter::SnapshotWriter(RecordFolder folder, SavedAction saved,
                               std::function<SnapshotTime()> clock)
    : folder_(std::move(folder)), saved_(std::move(saved)), clock_(std::move(clock)) {}

StoreResult SnapshotWriter::store(const DecodedPicture& picture) {
  const int width = static_cast<int>(picture.width);
  const int height = static_cast<int>(picture.height);
  if (picture.luma == nullptr || picture.cb == nullptr || picture.cr == nullptr || width <= 0 ||
      height <= 0 || width % 2 != 0 || height % 2 != 0) {
    return {{}, StoreProblem::undecodable};
  }
  std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
  const Yuv420Planes planes{picture.luma, picture.cb, picture.cr,
                            static_cast<int>(picture.luma_stride),
                            static_cast<int>(picture.chroma_stride)};
  yuv420_to_bgr24(bgr.data(), planes, width, height);
  const SnapshotTime time = clock_();
  if (const StoreProblem problem = prepare_folder(folder_); problem != StoreProblem::none) {
    return {{}, problem};
  }
  const std::filesystem::path temporary = temporary_picture_path(folder_, "snapshot");
  errno = 0;
  if (write_bmp(temporary.string(), bgr.data(), bgr.size(), width, height).empty()) {
    return {{}, store_problem_of(errno != 0 ? errno : EIO)};
  }
  return place_snapshot(temporary, folder_, time);
}

void SnapshotWriter::save_snapshot(const DecodedPicture& picture) {
  const StoreResult result = store(picture);
  last_snapshot_path_ = result.path.string();
  if (saved_) saved_(result);
}

}  // namespace scopemark
