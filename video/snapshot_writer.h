// Snapshots: one decoded picture as a 24-bit BMP file in the record folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "h264/decoder/decoder.h"
#include "records/picture_store.h"
#include "records/record_folder.h"

namespace scopemark {

// Writes a 24-bit BMP: the 54-byte header, then `height` rows of width x 3 bytes taken from
// `pixels` (already bottom-up, blue green red), each padded to a multiple of 4 bytes as the
// format requires. An existing file is replaced. Returns `path`, or an empty string when
// the arguments do not describe a picture, the file cannot be created or a write fails (a
// partly written file is removed; errno tells why).
std::string write_bmp(const std::string& path, const uint8_t* pixels, size_t byte_count, int width,
                      int height);

// Receives the picture the decode thread was asked to keep.
class SnapshotSink {
 public:
  virtual ~SnapshotSink() = default;
  // Called on the decode thread while the picture's planes are valid.
  virtual void save_snapshot(const DecodedPicture& picture) = 0;
};

// Writes each snapshot into the record folder (made again when it was deleted from outside),
// named by the local time, a second snapshot in the same second under the next free name; then
// tells `saved` the file written, or why there is none. The file appears whole under its name:
// it is written under a temporary name first. Used on the decode thread only.
class SnapshotWriter final : public SnapshotSink {
 public:
  using SavedAction = std::function<void(const StoreResult& result)>;
  SnapshotWriter(RecordFolder folder, SavedAction saved,
                 std::function<SnapshotTime()> clock = local_time_now);

  void save_snapshot(const DecodedPicture& picture) override;

  // Path of the last file written; empty before the first or after a failed write.
  const std::string& last_snapshot_path() const { return last_snapshot_path_; }

 private:
  StoreResult store(const DecodedPicture& picture);

  RecordFolder folder_;
  SavedAction saved_;
  std::function<SnapshotTime()> clock_;
  std::string last_snapshot_path_;
};

}  // namespace scopemark
