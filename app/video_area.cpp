#include "app/video_area.h"

#include <QEvent>
#include <QFile>
#include <QWidget>

#include <algorithm>

#include "album/picture_view.h"

namespace scopemark {
namespace {

// `place` relative to `from`, moved and scaled as `from` became `to`.
QRect follow(const QRect& place, const QRect& from, const QRect& to) {
  const auto x = [&](int at) { return to.left() + (at - from.left()) * to.width() / from.width(); };
  const auto y = [&](int at) { return to.top() + (at - from.top()) * to.height() / from.height(); };
  return QRect(QPoint(x(place.left()), y(place.top())),
               QPoint(x(place.right() + 1) - 1, y(place.bottom() + 1) - 1));
}

}  // namespace

VideoArea::VideoArea(const Views& views, std::function<UiTexts()> texts, QObject* parent)
    : QObject(parent),
      views_(views),
      texts_(std::move(texts)),
      video_parent_(views.video->parentWidget()),
      video_start_(views.video->geometry()),
      picture_start_(views.picture->geometry()) {
  for (std::size_t i = 0; i < views_.compare.size(); ++i) {
    compare_start_[i] = views_.compare[i]->geometry();
  }
  views_.video->installEventFilter(this);
  // A hidden video area hears nothing of its new size: its parent's resize tells, once the
  // window has laid it out.
  if (video_parent_ != nullptr) video_parent_->installEventFilter(this);
}

bool VideoArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched == views_.video &&
      (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
    follow_video_area();
  } else if (watched == video_parent_ && event->type() == QEvent::Resize) {
    QMetaObject::invokeMethod(this, &VideoArea::follow_video_area, Qt::QueuedConnection);
  }
  return QObject::eventFilter(watched, event);
}

void VideoArea::follow_video_area() {
  const QRect video = views_.video->geometry();
  if (video_start_.isEmpty() || video.isEmpty()) return;
  views_.picture->setGeometry(follow(picture_start_, video_start_, video));
  for (std::size_t i = 0; i < views_.compare.size(); ++i) {
    views_.compare[i]->setGeometry(follow(compare_start_[i], video_start_, video));
  }
}

void VideoArea::hide_all() {
  views_.video->hide();
  views_.picture->hide();
  for (PictureView* quarter : views_.compare) quarter->hide();
}

void VideoArea::show_file(PictureView& view, const std::filesystem::path& path, bool named) const {
  const QString name = QFile::decodeName(path.filename().c_str());
  const std::string unreadable = texts_().format(text_key::kMessageCannotOpen, name.toStdString());
  view.show_picture_file(path, named ? name : QString(), QString::fromStdString(unreadable));
  view.show();
}

void VideoArea::show_live() {
  hide_all();
  views_.video->show();
  shown_.clear();
  set_mode(Mode::live);
}

void VideoArea::show_picture(const std::filesystem::path& path) {
  follow_video_area();
  hide_all();
  show_file(*views_.picture, path, false);
  shown_ = {path};
  set_mode(Mode::picture);
}

void VideoArea::show_compare(const std::vector<std::filesystem::path>& paths) {
  follow_video_area();
  hide_all();
  std::size_t next = 0;
  for (; next < paths.size() && next < views_.compare.size(); ++next) {
    show_file(*views_.compare[next], paths[next], true);
  }
  for (; next < views_.compare.size(); ++next) views_.compare[next]->clear();
  shown_.assign(paths.begin(), paths.begin() + std::min(paths.size(), views_.compare.size()));
  set_mode(Mode::compare);
}

void VideoArea::set_mode(Mode mode) {
  mode_ = mode;
  emit mode_changed(mode);
}

}  // namespace scopemark
