#pragma once

#include <QObject>

#include <array>
#include <filesystem>
#include <vector>

#include "album/video_area_switch.h"

class QWidget;

namespace scopemark {

class PictureView;

// The one owner of what the video area shows: the live video (control 1000), one picture
// (1018) or the compare quarters (1019, 1022, 1020, 1021). The album, the camera's commands,
// the window's clicks and full screen all switch through it. Whether live video is frozen is
// the session's display flag. GUI thread only.
class VideoArea : public QObject, public VideoAreaSwitch {
  Q_OBJECT

 public:
  enum class Mode { live, picture, compare };

  struct Views {
    QWidget* video = nullptr;
    PictureView* picture = nullptr;
    std::array<PictureView*, 4> compare{};  // top left to bottom right
  };

  explicit VideoArea(const Views& views, QObject* parent = nullptr);

  Mode mode() const { return mode_; }

  void show_live() override;
  // The picture stretched over the video area's size (a file that cannot be read: none).
  void show_picture(const std::filesystem::path& path) override;
  // Each picture stretched over its quarter; the quarters left over are emptied and hidden.
  void show_compare(const std::vector<std::filesystem::path>& paths) override;

 signals:
  // After every switch, also to the same mode.
  void mode_changed(scopemark::VideoArea::Mode mode);

 private:
  void hide_all();
  void set_mode(Mode mode);

  Views views_;
  Mode mode_ = Mode::live;
};

}  // namespace scopemark
