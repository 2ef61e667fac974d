#pragma once

#include <QImage>
#include <QObject>
#include <QPixmap>

#include <array>
#include <filesystem>
#include <vector>

#include "records/record_folder.h"

namespace scopemark {

class AlbumList;
class PictureView;

// The views over the video area, owned by the main window.
struct AlbumViews {
  QWidget* video_area = nullptr;                // 1000
  PictureView* single_picture = nullptr;        // 1018
  std::array<PictureView*, 4> compare_slots{};  // 1019, 1022, 1020, 1021 (top left to bottom right)
};

// The thumbnail of one album picture: `picture` stretched to 180 x 128 over white (a grey
// crossed placeholder when `picture` is null) with the first 19 characters of `file_name`
// at (0, 110) in blue.
QImage make_thumbnail(const QImage& picture, const QString& file_name);

// The picture album of one record folder: fills the album list from the folder's .bmp files,
// opens a picture over the video area on a double click, deletes and compares the selected
// or ticked pictures. load_album, show_single_picture and return_to_video may be called from
// any thread: from another thread the call is queued to the GUI thread and returns at once;
// queued calls run there in call order, one at a time, and are dropped when the album is
// destroyed first.
class Album : public QObject {
  Q_OBJECT

 public:
  Album(AlbumList* list, const AlbumViews& views, std::filesystem::path record_folder,
        QObject* parent = nullptr);

  // Empties the album and fills it from the record folder.
  void load_album();
  // The file an item text names: a text of 20 or more bytes or an absolute path is the path
  // itself, any other text a file name inside the record folder.
  std::filesystem::path item_picture_path(const QString& text) const;
  // Shows the picture file stretched over the video area's size in the single picture view.
  void show_single_picture(const std::filesystem::path& path);
  // Shows the video area again and hides the single picture view and the compare slots.
  void return_to_video();
  // Deletes the files of all selected or ticked items without asking, then reloads.
  void delete_selected_pictures();
  // Shows the first four selected or ticked pictures in the compare slots, in list order.
  void compare_pictures();

  // The thumbnail image list: image n belongs to item n.
  const std::vector<QPixmap>& thumbnails() const { return thumbnails_; }

 private:
  template <typename Function>
  void run_on_gui_thread(Function function);
  void fill_from_folder();
  void open_selected_picture();

  AlbumList* list_;
  AlbumViews views_;
  RecordFolder record_folder_;
  std::vector<QPixmap> thumbnails_;
};

}  // namespace scopemark
