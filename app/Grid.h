// The thumbnail grid VDT: a list of rows, each holding ColumnsPerRow
// thumbnails side by side. It paints the thumbnails the cache holds, leaves
// the cells of those not made yet empty, and says whenever the rows in view
// change, so the thumbnails of the rows in view (and near them) are made.
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <vector>

#include "render/Render.h"

// Row data: the row's thumbnails as painted, one slot per column (null past
// the last picture, and for those not made yet).
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
  // The thumbnail of a picture as painted in its cell, by its number: null
  // while it is not made (the mark of a picture that cannot be drawn when it
  // cannot be).
  std::function<QImage(int32_t Number)> Thumbnail;

  // The root node count: the rows the grid has.
  int RootNodeCount() const { return FRowCount; }
  void SetRootNodeCount(int Count);

  int ColumnCount() const { return FColumnCount; }
  int32_t PictureCount() const { return FWorkspace.Pictures.Count; }
  void AddColumn();              // at the end
  void DeleteColumn(int Index);  // later columns move down one index

  // The row's thumbnails as painted now.
  TSWFPictures RowPictures(int Row) const;

 private:
  const TViewWorkspace& FWorkspace;
  int FRowCount = 0;
  int FColumnCount = 0;
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
  // The pictures of the rows in view, row by row, then those of the rows
  // within Reach screens below and above them; InView tells how many of
  // them are in view.
  std::vector<int32_t> PicturesToShow(int Reach, size_t& InView) const;

 signals:
  // A cell was clicked, or reached with the keyboard: its row and column.
  void CellClicked(int Row, int Column);
  // The rows in view may have changed (scrolled, resized, rows added).
  void ViewChanged();

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

 private:
  // Where a navigation key takes the current picture; -1 when it does not move.
  int32_t KeyTarget(int Key) const;

  const TViewWorkspace& FWorkspace;
  TThumbnailGridModel* FModel;
  int32_t FCurrent = -1;
  double FWheelRows = 0;  // part of a row the wheel has turned and not yet scrolled
};
