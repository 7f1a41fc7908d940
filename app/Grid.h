// The thumbnail grid VDT: a list of rows, each holding ColumnsPerRow
// thumbnails side by side. Rows are made on demand when they are painted and
// keep their own copies of the thumbnails, so the workspace's Thumbnails can
// be replaced without touching them; releasing the rows releases the copies.
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <map>
#include <vector>

#include "extract/Scripts.h"

// Row data: the row's own thumbnails, one slot per column (null past the
// last picture).
using TSWFPictures = std::vector<QImage>;

class TThumbnailGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  TThumbnailGridModel(const TWorkspace& Workspace, QObject* Parent = nullptr);

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;

  // The root node count: growing adds rows not made yet, shrinking releases
  // the rows past the new count with their thumbnails.
  int RootNodeCount() const { return FRowCount; }
  void SetRootNodeCount(int Count);

  int ColumnCount() const { return FColumnCount; }
  void AddColumn();              // at the end
  void DeleteColumn(int Index);  // later columns move down one index

  // The row's thumbnails, made from the workspace the first time they are
  // asked for.
  const TSWFPictures& RowPictures(int Row) const;
  bool IsRowMade(int Row) const { return FRows.count(Row) > 0; }
  int MadeRowCount() const { return int(FRows.size()); }

 private:
  const TWorkspace& FWorkspace;
  int FRowCount = 0;
  int FColumnCount = 0;
  mutable std::map<int, TSWFPictures> FRows;
};

// Draws a row's thumbnail in its cell, unscaled and centred the way the
// grid always placed them.
class TThumbnailDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit TThumbnailDelegate(QObject* Parent = nullptr) : QStyledItemDelegate(Parent) {}

  // Margin of the grid, as the centring formula counts it.
  static constexpr int Margin = 4;
  // Where a Thumb-sized thumbnail starts in Cell.
  static QPoint ThumbnailOrigin(const QRect& Cell, const QSize& Thumb);

  void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
             const QModelIndex& Index) const override;
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;
};

class TThumbnailGrid : public QTableView {
  Q_OBJECT
 public:
  TThumbnailGrid(const TWorkspace& Workspace, QWidget* Parent = nullptr);

  TThumbnailGridModel* Model() const { return FModel; }

  int RootNodeCount() const { return FModel->RootNodeCount(); }
  void SetRootNodeCount(int Count) { FModel->SetRootNodeCount(Count); }
  int ColumnCount() const { return FModel->ColumnCount(); }
  void AddColumn(int Width);
  void DeleteColumn(int Index) { FModel->DeleteColumn(Index); }
  int DefaultNodeHeight() const;
  void SetDefaultNodeHeight(int Height);

 signals:
  // A cell was clicked: its row and column.
  void CellClicked(int Row, int Column);

 private:
  TThumbnailGridModel* FModel;
};
