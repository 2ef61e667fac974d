#pragma once

#include <QLabel>

#include <filesystem>

namespace scopemark {

// A picture over the video area (the single picture view and the four compare slots): black
// until it shows a picture, reports a left click with `clicked`.
class PictureView : public QLabel {
  Q_OBJECT

 public:
  explicit PictureView(QWidget* parent = nullptr);

  // Shows the picture file stretched to exactly `size` (proportions not kept); a file that
  // cannot be read leaves the view without a picture. Replaces the previous picture.
  void show_picture_file(const std::filesystem::path& path, QSize size);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace scopemark
