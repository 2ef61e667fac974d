#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <filesystem>

namespace scopemark {

// A picture over the video area (the single picture view and the four compare cells): black,
// with the whole picture scaled to fit, its aspect ratio kept, centred, at any size the view
// takes. A caption (a compare cell's file name) runs along the top; a file that cannot be read
// shows a message instead. Reports a left click with `clicked`.
class PictureView : public QWidget {
  Q_OBJECT

 public:
  explicit PictureView(QWidget* parent = nullptr);

  // Replaces what the view shows with the picture file and `caption` (empty: none); when the
  // file cannot be read, with `unreadable` in its middle.
  void show_picture_file(const std::filesystem::path& path, const QString& caption,
                         const QString& unreadable);
  // Black, nothing shown.
  void clear();

  const QImage& picture() const { return picture_; }
  const QString& caption() const { return caption_; }
  // The text shown in place of an unreadable picture; empty otherwise.
  const QString& message() const { return message_; }
  // Where the picture is drawn; empty without a picture.
  QRect picture_rect() const;

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
  QPixmap scaled_;  // the picture at picture_rect's size, made when the size changes
  QString caption_;
  QString message_;
};

}  // namespace scopemark
