#pragma once

#include <filesystem>
#include <vector>

namespace scopemark {

// What the album asks of the owner of the video area (live video, one picture or the compare
// view). Called on the GUI thread.
class VideoAreaSwitch {
 public:
  virtual ~VideoAreaSwitch() = default;
  virtual void show_live() = 0;
  virtual void show_picture(const std::filesystem::path& path) = 0;
  // At most four pictures, top left to bottom right.
  virtual void show_compare(const std::vector<std::filesystem::path>& paths) = 0;
};

}  // namespace scopemark
