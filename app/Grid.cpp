#include "app/Grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

TThumbnailGridModel::TThumbnailGridModel(const TViewWorkspace& Workspace, QObject* Parent)
    : QAbstractTableModel(Parent), FWorkspace(Workspace) {}

int TThumbnailGridModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : FRowCount;
}

int TThumbnailGridModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : FColumnCount;
}

QVariant TThumbnailGridModel::data(const QModelIndex& Index, int Role) const {
  if (Role != Qt::ToolTipRole || !ToolTipText || !Index.isValid()) return {};
  const int64_t N = int64_t(Index.row()) * std::max(1, FColumnCount) + Index.column();
  if (N >= FWorkspace.Pictures.Count) return {};  // an empty slot
  return ToolTipText(int32_t(N));
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

TSWFPictures TThumbnailGridModel::RowPictures(int Row) const {
  const int32_t Columns = std::max(0, FWorkspace.ColumnsPerRow);
  const int32_t Count = FWorkspace.Pictures.Count;
  TSWFPictures Pictures(static_cast<size_t>(Columns));
  for (int32_t J = 0; J < Columns && Thumbnail; ++J) {
    const int64_t N = int64_t(Row) * Columns + J;
    if (N < Count) Pictures[size_t(J)] = Thumbnail(int32_t(N));
  }
  return Pictures;
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
  // The current picture sits on a highlighted tile, so the cell whose
  // picture the preview shows stands out from its neighbours.
  const auto* Grid = qobject_cast<const TThumbnailGrid*>(Option.widget);
  if (Grid && Grid->Current() >= 0 && Grid->CellOf(Grid->Current()) == Index) {
    const QColor Highlight = Option.palette.color(QPalette::Highlight);
    QColor Fill = Highlight;
    Fill.setAlpha(90);
    Painter->save();
    Painter->setRenderHint(QPainter::Antialiasing);
    Painter->setPen(QPen(Highlight.darker(130), 3));
    Painter->setBrush(Fill);
    Painter->drawRoundedRect(QRectF(Option.rect).adjusted(3.5, 1.5, -1.5, -3.5), 6, 6);
    Painter->restore();
  }
  const int64_t N = int64_t(Index.row()) * std::max(1, Model->ColumnCount()) + Index.column();
  if (!Model->Thumbnail || N >= Model->PictureCount()) return;
  // A thumbnail not made yet leaves its cell empty until it comes.
  const QImage Thumb = Model->Thumbnail(int32_t(N));
  if (!Thumb.isNull()) Painter->drawImage(ThumbnailOrigin(Option.rect, Thumb.size()), Thumb);
}

QSize TThumbnailDelegate::sizeHint(const QStyleOptionViewItem& Option, const QModelIndex&) const {
  return Option.rect.size();
}

TThumbnailGrid::TThumbnailGrid(const TViewWorkspace& Workspace, QWidget* Parent)
    : QTableView(Parent), FWorkspace(Workspace), FModel(new TThumbnailGridModel(Workspace, this)) {
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
  // Takes the keys that move through the pictures; the delegate draws no
  // focus frame, the highlight shows where the keys are.
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  QFont Bold = font();
  Bold.setPixelSize(13);
  Bold.setBold(true);
  setFont(Bold);
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& Index) { emit CellClicked(Index.row(), Index.column()); });
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TThumbnailGrid::ViewChanged);
  connect(FModel, &QAbstractItemModel::rowsInserted, this, &TThumbnailGrid::ViewChanged);
  connect(FModel, &QAbstractItemModel::columnsInserted, this, &TThumbnailGrid::ViewChanged);
  connect(FModel, &QAbstractItemModel::columnsRemoved, this, &TThumbnailGrid::ViewChanged);
}

void TThumbnailGrid::resizeEvent(QResizeEvent* Event) {
  QTableView::resizeEvent(Event);
  emit ViewChanged();
}

std::vector<int32_t> TThumbnailGrid::PicturesToShow(int Reach, size_t& InView) const {
  std::vector<int32_t> Numbers;
  InView = 0;
  const int Rows = FModel->RootNodeCount(), Columns = FModel->ColumnCount();
  if (Rows <= 0 || Columns <= 0) return Numbers;
  const int Height = std::max(1, DefaultNodeHeight());
  int First = rowAt(0), Last = rowAt(std::max(0, viewport()->height() - 1));
  if (First < 0) First = 0;
  if (Last < 0) Last = std::min(Rows - 1, First + viewport()->height() / Height);
  const auto AddRow = [&](int Row) {
    for (int J = 0; J < Columns; ++J) {
      const int64_t N = int64_t(Row) * Columns + J;
      if (N < FWorkspace.Pictures.Count) Numbers.push_back(int32_t(N));
    }
  };
  for (int Row = First; Row <= Last; ++Row) AddRow(Row);
  InView = Numbers.size();
  // Below first, where a reader goes next, then above.
  const int Screen = std::max(1, Last - First + 1);
  for (int Row = Last + 1; Row <= std::min(Rows - 1, Last + Reach * Screen); ++Row) AddRow(Row);
  for (int Row = First - 1; Row >= std::max(0, First - Reach * Screen); --Row) AddRow(Row);
  return Numbers;
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

void TThumbnailGrid::SetCurrent(int32_t Number) {
  if (Number == FCurrent) return;
  // Only the two cells whose frame changes are painted again.
  const QModelIndex Old = CellOf(FCurrent);
  FCurrent = Number;
  if (Old.isValid()) viewport()->update(visualRect(Old));
  const QModelIndex New = CellOf(Number);
  if (New.isValid()) viewport()->update(visualRect(New));
}

QModelIndex TThumbnailGrid::CellOf(int32_t Number) const {
  const int Columns = FModel->ColumnCount();
  if (Number < 0 || Columns <= 0) return {};
  return FModel->index(Number / Columns, Number % Columns);
}

int32_t TThumbnailGrid::KeyTarget(int Key) const {
  const int Columns = std::max(1, FModel->ColumnCount());
  // Only pictures that have a cell can be reached.
  const int64_t Cells = int64_t(FModel->RootNodeCount()) * Columns;
  const int32_t Last = int32_t(std::min<int64_t>(FWorkspace.Pictures.Count, Cells)) - 1;
  if (Last < 0) return -1;
  const int32_t From = FCurrent;
  if (From < 0 || From > Last) return Key == Qt::Key_End ? Last : 0;  // keys start at the first
  const int Page = Columns * std::max(1, viewport()->height() / std::max(1, DefaultNodeHeight()));
  int64_t To = From;
  switch (Key) {
    case Qt::Key_Left:
      To = From - 1;
      break;
    case Qt::Key_Right:
      To = From + 1;
      break;
    case Qt::Key_Up:
      To = From - Columns;
      break;
    case Qt::Key_Down:
      // Into the last row, short of pictures: its last picture.
      To = From / Columns < Last / Columns ? std::min<int64_t>(From + Columns, Last) : From;
      break;
    case Qt::Key_PageUp:
      To = From - Page;
      if (To < 0) To = From % Columns;  // the same column of the first row
      break;
    case Qt::Key_PageDown:
      To = From + Page;
      if (To > Last) To = From / Columns < Last / Columns ? Last : From;
      break;
    case Qt::Key_Home:
      To = 0;
      break;
    case Qt::Key_End:
      To = Last;
      break;
    default:
      return -1;
  }
  if (To < 0 || To > Last) return -1;
  return To == From ? -1 : int32_t(To);
}

void TThumbnailGrid::keyPressEvent(QKeyEvent* Event) {
  switch (Event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      break;
    default:
      QTableView::keyPressEvent(Event);
      return;
  }
  Event->accept();
  const int32_t To = KeyTarget(Event->key());
  if (To < 0) return;
  SetCurrent(To);
  const QModelIndex Cell = CellOf(To);
  scrollTo(Cell);
  emit CellClicked(Cell.row(), Cell.column());
}

void TThumbnailGrid::wheelEvent(QWheelEvent* Event) {
  // A touchpad scrolls by its own pixels; a wheel by rows, a notch (120)
  // being one row, however the toolkit sizes its scroll steps.
  if (!Event->pixelDelta().isNull() || Event->angleDelta().y() == 0) {
    QTableView::wheelEvent(Event);
    return;
  }
  Event->accept();
  FWheelRows += Event->angleDelta().y() / 120.0;
  const int RowHeight = std::max(1, DefaultNodeHeight());
  const int Pixels = int(std::trunc(FWheelRows * RowHeight));
  if (Pixels == 0) return;  // less than a pixel waits for the rest
  FWheelRows -= double(Pixels) / RowHeight;
  QScrollBar* Bar = verticalScrollBar();
  Bar->setValue(Bar->value() - Pixels);
}
