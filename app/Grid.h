// The thumbnail grid VDT: a list of rows, each holding ColumnsPerRow
// thumbnails side by side. Rows are made on demand when they are painted and
// keep their own copies of the thumbnails, so the workspace's Thumbnails can
// be replaced without touching them; releasing the rows releases the copies.
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <map>
#include <vector>

#include "render/Render.h"

// Row data: the row's own thumbnails, one slot per column (null past the
// last picture).
using TSWFPictures = std::vector<QImage>;

class TThumbnailGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  TThumbnailGridModel(const TViewWorkspace& Workspace, QObject* Parent = nullptr);

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  // The thumbnails are drawn by the delegate; the model answers tooltips.
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;

  // Tooltip of a picture, by its number; none when unset.
  std::function<QString(int32_t Number)> ToolTipText;

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
  const TViewWorkspace& FWorkspace;
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

// Kind and size of picture Number as its stored bytes tell them, without
// decoding it: "PNG" for the two kinds with alpha, otherwise "BMP", "PNG",
// "GIF" or "JPEG" by the data. Size is empty when the data do not say.
struct TPictureFacts {
  QString Kind;
  QSize Size;
};
TPictureFacts PictureFacts(const TPictureList& Pictures, int32_t Number);

// The grid: one cell per picture, the current picture highlighted. The
// arrow keys, Home, End, Page Up and Page Down move the current picture
// and report the new cell as a click would; one notch of the mouse wheel
// scrolls one row.
class TThumbnailGrid : public QTableView {
  Q_OBJECT
 public:
  TThumbnailGrid(const TViewWorkspace& Workspace, QWidget* Parent = nullptr);

  // The picture drawn highlighted; -1 for none.
  int32_t Current() const { return FCurrent; }
  void SetCurrent(int32_t Number);
  // The cell of picture Number with the present columns.
  QModelIndex CellOf(int32_t Number) const;

  TThumbnailGridModel* Model() const { return FModel; }

  int RootNodeCount() const { return FModel->RootNodeCount(); }
  void SetRootNodeCount(int Count) { FModel->SetRootNodeCount(Count); }
  int ColumnCount() const { return FModel->ColumnCount(); }
  void AddColumn(int Width);
  void DeleteColumn(int Index) { FModel->DeleteColumn(Index); }
  int DefaultNodeHeight() const;
  void SetDefaultNodeHeight(int Height);

 signals:
  // A cell was clicked, or reached with the keyboard: its row and column.
  void CellClicked(int Row, int Column);

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;

 private:
  // Where a navigation key takes the current picture; -1 when it does not move.
  int32_t KeyTarget(int Key) const;

  const TViewWorkspace& FWorkspace;
  TThumbnailGridModel* FModel;
  int32_t FCurrent = -1;
  double FWheelRows = 0;  // part of a row the wheel has turned and not yet scrolled
};
