#include "album/album.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <limits>
#include <string>
#include <system_error>

#include "album/album_list.h"
#include "album/video_area_switch.h"
#include "controls/message_box.h"
#include "i18n/ui_texts.h"
#include "measure/measure.h"
#include "records/user_removal.h"

namespace scopemark {
namespace {

constexpr int kThumbnailNameLength = 19;  // characters of the file name on a thumbnail
constexpr int kShortTextLimit = 20;
constexpr int kNameTop = 110;
constexpr std::size_t kCompareSlots = 4;
// Item data: the ticket of the thumbnail being made (0 when none is) and the state of the file
// its thumbnail shows.
constexpr int kTicketRole = Qt::UserRole;
constexpr int kFileStampRole = Qt::UserRole + 1;
constexpr int kAddedPicturePriority = 1;     // ahead of the thumbnails of a load
constexpr std::size_t kNamesInQuestion = 5;  // a deletion of more names the first ones

QString to_qstring(const std::filesystem::path& path) {
  return QFile::decodeName(path.c_str());
}

std::filesystem::path item_path(const QTableWidgetItem* item) {
  return QFile::encodeName(item->text()).toStdString();
}

// Size and modification time: a file that changed needs a new thumbnail.
QString file_stamp(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  const auto time = std::filesystem::last_write_time(path, error);
  return QStringLiteral("%1 %2").arg(size).arg(time.time_since_epoch().count());
}

// Shown until an item's thumbnail has been made.
const QImage& blank_thumbnail() {
  static const QImage blank = [] {
    QImage image(AlbumList::kThumbnailWidth, AlbumList::kThumbnailHeight, QImage::Format_RGB888);
    image.fill(Qt::white);
    return image;
  }();
  return blank;
}

void draw_placeholder(QPainter& painter, const QRect& area) {
  painter.fillRect(area, QColor(224, 224, 224));
  painter.setPen(QPen(QColor(128, 128, 128), 2));
  painter.drawRect(area.adjusted(1, 1, -1, -1));
  painter.drawLine(area.topLeft(), area.bottomRight());
  painter.drawLine(area.topRight(), area.bottomLeft());
}

std::string file_name(const std::filesystem::path& path) {
  return path.filename().string();
}

// The question before `pictures` leave: where they go, one by name or the count and the first
// few names.
std::string removal_question(const UiTexts& texts,
                             const std::vector<std::filesystem::path>& pictures) {
  const bool trash = removals_go_to_trash();
  if (pictures.size() == 1) {
    return texts.format(trash ? text_key::kMessageTrashPicture : text_key::kMessageErasePicture,
                        file_name(pictures.front()));
  }
  std::string question =
      texts.format(trash ? text_key::kMessageTrashPictures : text_key::kMessageErasePictures,
                   std::to_string(pictures.size())) +
      "\n";
  for (std::size_t i = 0; i < pictures.size() && i < kNamesInQuestion; ++i) {
    question += "\n" + file_name(pictures[i]);
  }
  if (pictures.size() > kNamesInQuestion) question += "\n\u2026";
  return question;
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

QImage read_thumbnail(const std::filesystem::path& path) {
  QImageReader reader(to_qstring(path));
  if (reader.supportsOption(QImageIOHandler::ScaledSize)) {
    reader.setScaledSize(QSize(AlbumList::kThumbnailWidth, AlbumList::kThumbnailHeight));
  }
  // Three bytes a pixel hold the thumbnail exactly and take a quarter less than four.
  return make_thumbnail(reader.read(), to_qstring(path.filename()))
      .convertToFormat(QImage::Format_RGB888);
}

Album::Album(AlbumList* list, VideoAreaSwitch& video_area, std::filesystem::path record_folder,
             QObject* parent)
    : QObject(parent),
      list_(list),
      video_area_(video_area),
      record_folder_(std::move(record_folder)) {
  connect(list_, &AlbumList::double_clicked, this, &Album::open_selected_picture);
}

template <typename Function>
void Album::run_on_gui_thread(Function function) {
  if (QThread::currentThread() == thread()) {
    function();
  } else {
    QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
  }
}

Album::~Album() {
  ++load_generation_;
  thumbnail_pool_.clear();
  thumbnail_pool_.waitForDone();
}

void Album::load_album() {
  run_on_gui_thread([this] { fill_from_folder(); });
}

void Album::add_picture(const std::filesystem::path& path) {
  run_on_gui_thread([this, path] { update_picture(path); });
}

void Album::fill_from_folder() {
  QHash<QString, std::pair<QString, QImage>> made;  // by path: file stamp and thumbnail
  for (QTableWidgetItem* item : std::as_const(items_)) {
    if (item->data(kTicketRole).toULongLong() == 0) {
      made.insert(item->text(), {item->data(kFileStampRole).toString(),
                                 item->data(Qt::DecorationRole).value<QImage>()});
    }
  }
  ++load_generation_;
  thumbnail_pool_.clear();
  items_.clear();
  pending_ = 0;
  list_->setUpdatesEnabled(false);
  list_->setRowCount(0);
  std::vector<QTableWidgetItem*> to_make;
  for (const std::filesystem::path& file : record_folder_.pictures()) {
    const QString stamp = file_stamp(file);
    const auto earlier = made.constFind(to_qstring(file));
    const bool unchanged = earlier != made.cend() && earlier->first == stamp;
    QTableWidgetItem* item =
        insert_item(file, unchanged ? earlier->second : blank_thumbnail(), list_->rowCount());
    item->setData(kFileStampRole, stamp);
    if (!unchanged) to_make.push_back(item);
  }
  // The list shows its end: those thumbnails first.
  for (auto item = to_make.rbegin(); item != to_make.rend(); ++item) request_thumbnail(*item, 0);
  list_->setUpdatesEnabled(true);
  list_->show_last_item();
  if (pending_ == 0) emit thumbnails_loaded();
}

void Album::update_picture(const std::filesystem::path& path) {
  QTableWidgetItem* item = items_.value(to_qstring(path));
  if (!record_folder_.holds_picture(path)) {
    if (item != nullptr) remove_item(item);
    if (pending_ == 0) emit thumbnails_loaded();
    return;
  }
  if (item == nullptr) {
    int row = 0;
    for (int end = list_->rowCount(); row < end; ++row) {
      if (RecordFolder::lists_before(path, item_path(list_->item(row, 0)))) break;
    }
    item = insert_item(path, blank_thumbnail(), row);
  }
  item->setData(kFileStampRole, file_stamp(path));
  request_thumbnail(item, kAddedPicturePriority);
  list_->show_last_item();
}

QTableWidgetItem* Album::insert_item(const std::filesystem::path& path, const QImage& thumbnail,
                                     int row) {
  QTableWidgetItem* item = list_->insert_item(row, to_qstring(path), thumbnail);
  item->setData(kTicketRole, quint64{0});
  items_.insert(item->text(), item);
  return item;
}

void Album::remove_item(QTableWidgetItem* item) {
  if (item->data(kTicketRole).toULongLong() != 0) --pending_;
  items_.remove(item->text());
  list_->removeRow(item->row());
}

void Album::request_thumbnail(QTableWidgetItem* item, int priority) {
  if (item->data(kTicketRole).toULongLong() == 0) ++pending_;
  const std::uint64_t ticket = next_ticket_++;
  item->setData(kTicketRole, quint64{ticket});
  thumbnail_pool_.start(
      [this, key = item->text(), path = item_path(item), ticket, load = load_generation_.load()] {
        if (load != load_generation_.load()) return;
        QImage thumbnail = read_thumbnail(path);
        QMetaObject::invokeMethod(
            this, [this, key, ticket, thumbnail] { take_thumbnail(key, ticket, thumbnail); },
            Qt::QueuedConnection);
      },
      priority);
}

void Album::take_thumbnail(const QString& key, std::uint64_t ticket, const QImage& thumbnail) {
  QTableWidgetItem* item = items_.value(key);
  if (item == nullptr || item->data(kTicketRole).toULongLong() != ticket) return;
  item->setData(kTicketRole, quint64{0});
  item->setData(Qt::DecorationRole, thumbnail);
  if (--pending_ == 0) emit thumbnails_loaded();
}

QImage Album::thumbnail(int row) const {
  const QTableWidgetItem* item = list_->item(row, 0);
  if (item == nullptr || item->data(kTicketRole).toULongLong() != 0) return QImage();
  return item->data(Qt::DecorationRole).value<QImage>();
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
  video_area_.show_picture(item_picture_path((*first)->text()));
}

std::vector<std::filesystem::path> Album::chosen_pictures(std::size_t limit) const {
  std::vector<std::filesystem::path> paths;
  for (int row = 0; row < list_->rowCount() && paths.size() < limit; ++row) {
    if (list_->is_selected_or_ticked(row))
      paths.push_back(item_picture_path(list_->item_text(row)));
  }
  return paths;
}

void Album::delete_selected_pictures() {
  const std::vector<std::filesystem::path> chosen =
      chosen_pictures(std::numeric_limits<std::size_t>::max());
  std::string not_removed;
  if (!chosen.empty()) {
    const UiTexts texts = texts_();
    if (!ask_message_box(removal_question(texts, chosen), texts.text(text_key::kTipDelete),
                         texts.text(text_key::kTipDelete), texts.text(text_key::kButtonCancel),
                         list_->window())) {
      list_->setFocus();
      return;
    }
    for (const std::filesystem::path& path : chosen) {
      if (!measure::remove_picture_and_sidecar(path)) not_removed += "\n" + file_name(path);
    }
    if (!not_removed.empty()) not_removed.insert(0, texts.text(text_key::kMessageNotRemoved));
  }
  fill_from_folder();
  list_->setFocus();
  if (!not_removed.empty()) {
    show_message_box(not_removed, texts_().text(text_key::kCaptionSorry), MessageIcon::Warning,
                     list_->window());
  }
}

void Album::compare_pictures() {
  const std::vector<std::filesystem::path> paths = chosen_pictures(kCompareSlots);
  if (paths.empty()) {
    show_message_box(current_texts()->text(text_key::kMessageCompare),
                     current_texts()->text(text_key::kCaptionSorry), MessageIcon::None, nullptr);
    return;
  }
  video_area_.show_compare(paths);
}

}  // namespace scopemark
