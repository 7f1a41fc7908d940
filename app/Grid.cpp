#include "app/Grid.h"

#include <QHeaderView>
#include <QPainter>

TThumbnailGridModel::TThumbnailGridModel(const TWorkspace& Workspace, QObject* Parent)
    : QAbstractTableModel(Parent), FWorkspace(Workspace) {}

int TThumbnailGridModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : FRowCount;
}

int TThumbnailGridModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : FColumnCount;
}

QVariant TThumbnailGridModel::data(const QModelIndex&, int) const {
  return {};  // the delegate draws the thumbnails
}

void TThumbnailGridModel::SetRootNodeCount(int Count) {
  Count = std::max(0, Count);
  if (Count == FRowCount) return;
  if (Count > FRowCount) {
    beginInsertRows(QModelIndex(), FRowCount, Count - 1);
    FRowCount = Count;
    endInsertRows();
  } else {
    beginRemoveRows(QModelIndex(), Count, FRowCount - 1);
    FRows.erase(FRows.lower_bound(Count), FRows.end());
    FRowCount = Count;
    endRemoveRows();
  }
}

void TThumbnailGridModel::AddColumn() {
  beginInsertColumns(QModelIndex(), FColumnCount, FColumnCount);
  ++FColumnCount;
  endInsertColumns();
}

void TThumbnailGridModel::DeleteColumn(int Index) {
  if (Index < 0 || Index >= FColumnCount) return;
  beginRemoveColumns(QModelIndex(), Index, Index);
  --FColumnCount;
  endRemoveColumns();
}

const TSWFPictures& TThumbnailGridModel::RowPictures(int Row) const {
  auto Found = FRows.find(Row);
  if (Found != FRows.end()) return Found->second;
  // The row is made now: its own copies of the thumbnails it shows.
  const int32_t Columns = std::max(0, FWorkspace.ColumnsPerRow);
  const int32_t Count = FWorkspace.Pictures.Count;
  TSWFPictures Pictures(static_cast<size_t>(Columns));
  for (int32_t J = 0; J < Columns; ++J) {
    const int64_t N = int64_t(Row) * Columns + J;
    if (N < Count && N < int64_t(FWorkspace.Thumbnails.size()))
      Pictures[size_t(J)] = FWorkspace.Thumbnails[size_t(N)];
  }
  return FRows.emplace(Row, std::move(Pictures)).first->second;
}

QPoint TThumbnailDelegate::ThumbnailOrigin(const QRect& Cell, const QSize& Thumb) {
  // Integer division truncating toward zero, as the grid always did.
  return {Cell.x() + (Cell.width() - Thumb.width() - Margin) / 2 + Margin,
          Cell.y() + (Cell.height() - Thumb.height() - Margin) / 2};
}

void TThumbnailDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                               const QModelIndex& Index) const {
  const auto* Model = qobject_cast<const TThumbnailGridModel*>(Index.model());
  if (!Model) return;
  const TSWFPictures& Row = Model->RowPictures(Index.row());
  const size_t Slot = size_t(Index.column());
  if (Slot >= Row.size() || Row[Slot].isNull()) return;
  const QImage& Thumb = Row[Slot];
  Painter->drawImage(ThumbnailOrigin(Option.rect, Thumb.size()), Thumb);
}

QSize TThumbnailDelegate::sizeHint(const QStyleOptionViewItem& Option, const QModelIndex&) const {
  return Option.rect.size();
}

TThumbnailGrid::TThumbnailGrid(const TWorkspace& Workspace, QWidget* Parent)
    : QTableView(Parent), FModel(new TThumbnailGridModel(Workspace, this)) {
  setModel(FModel);
  setItemDelegate(new TThumbnailDelegate(this));
  horizontalHeader()->hide();
  verticalHeader()->hide();
  horizontalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setShowGrid(false);
  // Clicks select pictures through the click handler; the grid itself
  // neither keeps nor draws a selection.
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFocusPolicy(Qt::NoFocus);  // no focus frame over a thumbnail
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  QFont Bold = font();
  Bold.setPixelSize(13);
  Bold.setBold(true);
  setFont(Bold);
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& Index) { emit CellClicked(Index.row(), Index.column()); });
}

void TThumbnailGrid::AddColumn(int Width) {
  FModel->AddColumn();
  setColumnWidth(FModel->ColumnCount() - 1, Width);
}

int TThumbnailGrid::DefaultNodeHeight() const {
  return verticalHeader()->defaultSectionSize();
}

void TThumbnailGrid::SetDefaultNodeHeight(int Height) {
  verticalHeader()->setDefaultSectionSize(std::max(1, Height));
}
