#pragma once

#include <QObject>
#include <QRect>

#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "album/video_area_switch.h"
#include "i18n/ui_texts.h"

class QWidget;

namespace scopemark {

class PictureView;

// The one owner of what the video area shows: the live video (control 1000), one picture
// (1018) or the compare quarters (1019, 1022, 1020, 1021). The album, the camera's commands,
// the window's clicks and full screen all switch through it. Whether live video is frozen is
// the session's display flag. The picture views follow the video area's place and size. GUI
// thread only.
class VideoArea : public QObject, public VideoAreaSwitch {
  Q_OBJECT

 public:
  enum class Mode { live, picture, compare };

  struct Views {
    QWidget* video = nullptr;
    PictureView* picture = nullptr;
    std::array<PictureView*, 4> compare{};  // top left to bottom right
  };

  // `texts`: the texts in the user's current language, asked for when a picture is shown.
  explicit VideoArea(
      const Views& views, std::function<UiTexts()> texts = [] { return UiTexts(); },
      QObject* parent = nullptr);

  Mode mode() const { return mode_; }
  const Views& views() const { return views_; }
  // The picture files shown: one in picture mode, up to four in compare mode, none live.
  const std::vector<std::filesystem::path>& shown_pictures() const { return shown_; }

  void show_live() override;
  // The whole picture, fitted to the video area (a file that cannot be read: "cannot open").
  void show_picture(const std::filesystem::path& path) override;
  // Each picture fitted to its quarter under its file name; the quarters left over are emptied
  // and hidden.
  void show_compare(const std::vector<std::filesystem::path>& paths) override;

 signals:
  // After every switch, also to the same mode.
  void mode_changed(scopemark::VideoArea::Mode mode);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void hide_all();
  void set_mode(Mode mode);
  void show_file(PictureView& view, const std::filesystem::path& path, bool named) const;
  // The views' places as they were to the video area's first place, kept to its current one.
  void follow_video_area();

  Views views_;
  std::function<UiTexts()> texts_;
  QObject* video_parent_;  // only compared in eventFilter: it may be on its way out
  Mode mode_ = Mode::live;
  std::vector<std::filesystem::path> shown_;
  QRect video_start_;
  QRect picture_start_;
  std::array<QRect, 4> compare_start_{};
};

}  // namespace scopemark
