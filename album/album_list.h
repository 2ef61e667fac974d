#pragma once

#include <QTableWidget>

namespace scopemark {

// The album list (control 1010): a report view with one 180-pixel column under an empty
// heading, grid lines, a check box per item, several items selectable at once and 180 x 128
// thumbnails. The pointer only highlights the item under it: the selection changes by a click or
// the keyboard alone.
class AlbumList : public QTableWidget {
  Q_OBJECT

 public:
  static constexpr int kThumbnailWidth = 180;
  static constexpr int kThumbnailHeight = 128;

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
};

}  // namespace scopemark
