#pragma once

#include <QTableWidget>
#include <QTimer>

namespace scopemark {

// The album list (control 1010): a report view with one 180-pixel column under an empty
// heading, grid lines, a check box per item, several items selectable at once, 180 x 128
// thumbnails, and track-select (resting the mouse on an item selects it).
class AlbumList : public QTableWidget {
  Q_OBJECT

 public:
  static constexpr int kThumbnailWidth = 180;
  static constexpr int kThumbnailHeight = 128;
  static constexpr int kHoverTimeMs = 400;  // rest time before track-select picks an item

  explicit AlbumList(QWidget* parent = nullptr);

  // Inserts an item at `row`: check box clear, `text`, `thumbnail` as its image.
  QTableWidgetItem* insert_item(int row, const QString& text, const QImage& thumbnail);
  // Scrolls the last item into view, also right after items were added.
  void show_last_item();
  bool is_selected_or_ticked(int row) const;
  QString item_text(int row) const;

 signals:
  // A double click anywhere on the list.
  void double_clicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  QTimer hover_timer_;
  int hover_row_ = -1;
};

}  // namespace scopemark
