#include "album/album_list.h"

#include <QHeaderView>

namespace scopemark {
namespace {

const QColor kListBackground(236, 241, 253);
const QColor kTextBackground(254, 255, 198);

}  // namespace

AlbumList::AlbumList(QWidget* parent) : QTableWidget(0, 1, parent) {
  setHorizontalHeaderItem(0, new QTableWidgetItem(QString()));
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setColumnWidth(0, kThumbnailWidth);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(kThumbnailHeight + 2);
  setIconSize(QSize(kThumbnailWidth, kThumbnailHeight));
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, kListBackground);
  colours.setColor(QPalette::Text, Qt::black);
  setPalette(colours);

  setMouseTracking(true);  // the style highlights the item under the pointer
}

QTableWidgetItem* AlbumList::insert_item(int row, const QString& text, const QImage& thumbnail) {
  auto* entry = new QTableWidgetItem(text);
  entry->setData(Qt::DecorationRole, thumbnail);
  entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  entry->setCheckState(Qt::Unchecked);
  entry->setBackground(kTextBackground);
  insertRow(row);
  setItem(row, 0, entry);
  return entry;
}

void AlbumList::show_last_item() {
  if (rowCount() == 0) return;
  doItemsLayout();  // the scroll range follows the rows only after a layout
  scrollToItem(item(rowCount() - 1, 0));
}

bool AlbumList::is_selected_or_ticked(int row) const {
  const QTableWidgetItem* entry = item(row, 0);
  return entry != nullptr && (entry->isSelected() || entry->checkState() == Qt::Checked);
}

QString AlbumList::item_text(int row) const {
  const QTableWidgetItem* entry = item(row, 0);
  return entry != nullptr ? entry->text() : QString();
}

void AlbumList::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableWidget::mouseDoubleClickEvent(event);
  emit double_clicked();
}

}  // namespace scopemark
