#include "app/video_area.h"

#include <QWidget>

#include "album/picture_view.h"

namespace scopemark {

VideoArea::VideoArea(const Views& views, QObject* parent) : QObject(parent), views_(views) {}

void VideoArea::hide_all() {
  views_.video->hide();
  views_.picture->hide();
  for (PictureView* quarter : views_.compare) quarter->hide();
}

void VideoArea::show_live() {
  hide_all();
  views_.video->show();
  set_mode(Mode::live);
}

void VideoArea::show_picture(const std::filesystem::path& path) {
  const QSize size = views_.video->size();
  hide_all();
  views_.picture->show();
  views_.picture->show_picture_file(path, size);
  set_mode(Mode::picture);
}

void VideoArea::show_compare(const std::vector<std::filesystem::path>& paths) {
  hide_all();
  std::size_t next = 0;
  for (; next < paths.size() && next < views_.compare.size(); ++next) {
    PictureView* quarter = views_.compare[next];
    quarter->show();
    quarter->show_picture_file(paths[next], quarter->size());
  }
  for (; next < views_.compare.size(); ++next) views_.compare[next]->clear();
  set_mode(Mode::compare);
}

void VideoArea::set_mode(Mode mode) {
  mode_ = mode;
  emit mode_changed(mode);
}

}  // namespace scopemark
