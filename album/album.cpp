#include "album/album.h"

#include <QFile>
#include <QPainter>
#include <QThread>

#include <algorithm>

#include "album/album_list.h"
#include "album/picture_view.h"
#include "controls/message_box.h"

namespace scopemark {
namespace {

constexpr char kCompareMessage[] = "please select 1-4 pictures 'Compare'!";
constexpr char kCompareCaption[] = "Sorry";
constexpr int kThumbnailNameLength = 19;  // characters of the file name on a thumbnail
constexpr int kShortTextLimit = 20;
constexpr int kNameTop = 110;

QString to_qstring(const std::filesystem::path& path) {
  return QFile::decodeName(path.c_str());
}

void draw_placeholder(QPainter& painter, const QRect& area) {
  painter.fillRect(area, QColor(224, 224, 224));
  painter.setPen(QPen(QColor(128, 128, 128), 2));
  painter.drawRect(area.adjusted(1, 1, -1, -1));
  painter.drawLine(area.topLeft(), area.bottomRight());
  painter.drawLine(area.topRight(), area.bottomLeft());
}

}  // namespace

QImage make_thumbnail(const QImage& picture, const QString& file_name) {
  QImage thumbnail(AlbumList::kThumbnailWidth, AlbumList::kThumbnailHeight, QImage::Format_RGB32);
  thumbnail.fill(Qt::white);
  QPainter painter(&thumbnail);
  if (picture.isNull()) {
    draw_placeholder(painter, thumbnail.rect());
  } else {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(thumbnail.rect(), picture);
  }
  painter.setPen(QColor(0, 0, 255));
  painter.drawText(QRect(0, kNameTop, thumbnail.width(), thumbnail.height() - kNameTop),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   file_name.left(kThumbnailNameLength));
  return thumbnail;
}

Album::Album(AlbumList* list, const AlbumViews& views, std::filesystem::path record_folder,
             QObject* parent)
    : QObject(parent), list_(list), views_(views), record_folder_(std::move(record_folder)) {
  connect(list_, &AlbumList::double_clicked, this, &Album::open_selected_picture);
  connect(views_.single_picture, &PictureView::clicked, this, &Album::return_to_video);
  for (PictureView* slot : views_.compare_slots) {
    connect(slot, &PictureView::clicked, this, &Album::return_to_video);
  }
}

template <typename Function>
void Album::run_on_gui_thread(Function function) {
  if (QThread::currentThread() == thread()) {
    function();
  } else {
    QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
  }
}

void Album::load_album() {
  run_on_gui_thread([this] { fill_from_folder(); });
}

void Album::fill_from_folder() {
  list_->setUpdatesEnabled(false);
  thumbnails_.clear();
  list_->setRowCount(0);
  for (const std::filesystem::path& file : record_folder_.pictures()) {
    const QImage picture(to_qstring(file));
    thumbnails_.push_back(QPixmap::fromImage(make_thumbnail(picture, to_qstring(file.filename()))));
    list_->append_item(to_qstring(file), thumbnails_.back());
  }
  list_->setUpdatesEnabled(true);
  if (list_->rowCount() > 0) list_->scrollToItem(list_->item(list_->rowCount() - 1, 0));
}

std::filesystem::path Album::item_picture_path(const QString& text) const {
  const QByteArray bytes = QFile::encodeName(text);
  const std::filesystem::path named(bytes.toStdString());
  return bytes.size() >= kShortTextLimit || named.is_absolute() ? named
                                                                : record_folder_.path() / named;
}

void Album::open_selected_picture() {
  const QList<QTableWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  const auto first = std::min_element(
      selected.begin(), selected.end(),
      [](const QTableWidgetItem* a, const QTableWidgetItem* b) { return a->row() < b->row(); });
  for (PictureView* slot : views_.compare_slots) slot->hide();
  views_.video_area->hide();
  views_.single_picture->show();
  show_single_picture(item_picture_path((*first)->text()));
}

void Album::show_single_picture(const std::filesystem::path& path) {
  run_on_gui_thread([this, path] {
    const QSize size = views_.video_area->size();
    views_.video_area->hide();
    views_.single_picture->show();
    views_.single_picture->show_picture_file(path, size);
  });
}

void Album::return_to_video() {
  run_on_gui_thread([this] {
    views_.video_area->show();
    views_.single_picture->hide();
    for (PictureView* slot : views_.compare_slots) slot->hide();
  });
}

void Album::delete_selected_pictures() {
  std::vector<std::filesystem::path> doomed;
  for (int row = 0; row < list_->rowCount(); ++row) {
    if (list_->is_selected_or_ticked(row))
      doomed.push_back(item_picture_path(list_->item_text(row)));
  }
  for (const std::filesystem::path& path : doomed) record_folder_.delete_picture(path);
  load_album();
  list_->setFocus();
}

void Album::compare_pictures() {
  int chosen = 0;
  for (int row = 0; row < list_->rowCount(); ++row) chosen += list_->is_selected_or_ticked(row);
  if (chosen < 1) {
    show_message_box(kCompareMessage, kCompareCaption, MessageIcon::None, nullptr);
    return;
  }
  views_.video_area->hide();
  views_.single_picture->hide();
  for (PictureView* slot : views_.compare_slots) slot->hide();
  std::size_t next = 0;
  for (int row = 0; row < list_->rowCount() && next < views_.compare_slots.size(); ++row) {
    if (!list_->is_selected_or_ticked(row)) continue;
    PictureView* slot = views_.compare_slots[next++];
    slot->show();
    slot->show_picture_file(item_picture_path(list_->item_text(row)), slot->size());
  }
  for (; next < views_.compare_slots.size(); ++next) views_.compare_slots[next]->clear();
}

}  // namespace scopemark
