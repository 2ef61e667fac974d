#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QTableWidgetItem>
#include <QThreadPool>

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "i18n/ui_texts.h"
#include "records/record_folder.h"

namespace scopemark {

class AlbumList;
class VideoAreaSwitch;

// The thumbnail of one album picture: `picture` stretched to 180 x 128 over white (a grey
// crossed placeholder when `picture` is null) with the first 19 characters of `file_name`
// at (0, 110) in blue.
QImage make_thumbnail(const QImage& picture, const QString& file_name);

// The thumbnail of a picture file, read at no more than the thumbnail's size where the format
// allows; a file that cannot be read gives the placeholder. Safe on any thread.
QImage read_thumbnail(const std::filesystem::path& path);

// The picture album of one record folder: lists the folder's pictures, has the video area show
// a picture on a double click, deletes (after the user confirmed) and compares the selected or
// ticked pictures.
// Thumbnails are made on worker threads, the rows on screen first, and fill in as they come; an
// item shows a blank thumbnail until then. load_album and add_picture may be called from any
// thread: from another thread the call is queued to the GUI thread and returns at once; queued
// calls run there in call order, one at a time, and are dropped when the album is destroyed
// first.
class Album : public QObject {
  Q_OBJECT

 public:
  Album(AlbumList* list, VideoAreaSwitch& video_area, std::filesystem::path record_folder,
        QObject* parent = nullptr);
  ~Album() override;

  // Where the texts in the user's current language come from, asked when a message is shown;
  // English until set.
  void set_texts(std::function<UiTexts()> texts) { texts_ = std::move(texts); }

  // Empties the album and fills it from the record folder. Thumbnails of files unchanged since
  // they were made are kept; the others are made anew.
  void load_album();
  // Brings the item of one picture file up to date: adds it in list order, makes its thumbnail
  // anew, or removes it when the file is no longer a picture of the record folder.
  void add_picture(const std::filesystem::path& path);
  // The file an item text names: a text of 20 or more bytes or an absolute path is the path
  // itself, any other text a file name inside the record folder.
  std::filesystem::path item_picture_path(const QString& text) const;
  // Asks the user to confirm, naming the pictures and whether they go to the trash or for good,
  // then removes the files of all selected or ticked items (see remove_user_entry), reloads and
  // names the files that could not be removed. Cancel removes nothing and keeps the selection.
  void delete_selected_pictures();
  // Has the video area compare the first four selected or ticked pictures, in list order.
  void compare_pictures();

  // The thumbnail of item `row`; null while it is being made.
  QImage thumbnail(int row) const;
  // Thumbnails still being made.
  int pending_thumbnails() const { return pending_; }

 signals:
  // The last pending thumbnail has arrived.
  void thumbnails_loaded();

 private:
  template <typename Function>
  void run_on_gui_thread(Function function);
  void fill_from_folder();
  void update_picture(const std::filesystem::path& path);
  QTableWidgetItem* insert_item(const std::filesystem::path& path, const QImage& thumbnail,
                                int row);
  void remove_item(QTableWidgetItem* item);
  void request_thumbnail(QTableWidgetItem* item, int priority);
  void take_thumbnail(const QString& key, std::uint64_t ticket, const QImage& thumbnail);
  void open_selected_picture();
  // The pictures of the selected or ticked items in list order, at most `limit`.
  std::vector<std::filesystem::path> chosen_pictures(std::size_t limit) const;

  AlbumList* list_;
  VideoAreaSwitch& video_area_;
  RecordFolder record_folder_;
  std::function<UiTexts()> texts_ = [] { return UiTexts(); };
  QHash<QString, QTableWidgetItem*> items_;  // by item text (the picture's path)
  int pending_ = 0;
  std::uint64_t next_ticket_ = 1;
  // Requests of a superseded load are skipped by the workers.
  std::atomic<std::uint64_t> load_generation_ = 0;
  QThreadPool thumbnail_pool_;
};

}  // namespace scopemark
