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
  const TSWFPictures& Row = Model->RowPictures(Index.row());
  const size_t Slot = size_t(Index.column());
  if (Slot >= Row.size() || Row[Slot].isNull()) return;
  const QImage& Thumb = Row[Slot];
  Painter->drawImage(ThumbnailOrigin(Option.rect, Thumb.size()), Thumb);
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
  FCurrent = Number;
  viewport()->update();
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

namespace {

uint32_t LE16(const uint8_t* P) {
  return uint32_t(P[0]) | uint32_t(P[1]) << 8;
}
uint32_t LE32(const uint8_t* P) {
  return LE16(P) | LE16(P + 2) << 16;
}
uint32_t BE16(const uint8_t* P) {
  return uint32_t(P[0]) << 8 | P[1];
}
uint32_t BE32(const uint8_t* P) {
  return BE16(P) << 16 | BE16(P + 2);
}

// The frame size of a JPEG stream: its first start-of-frame segment. The
// segments are walked by their lengths; bytes between them are skipped.
QSize JPEGFrameSize(const uint8_t* Data, uint32_t Size) {
  uint32_t At = 0;
  while (At + 1 < Size) {
    if (Data[At] != 0xFF) {
      ++At;
      continue;
    }
    const uint8_t Marker = Data[At + 1];
    if (Marker == 0xFF) {  // fill byte
      ++At;
      continue;
    }
    if (Marker == 0x00 || Marker == 0x01 || Marker == 0xD8 || Marker == 0xD9 ||
        (Marker >= 0xD0 && Marker <= 0xD7)) {  // no length of their own
      At += 2;
      continue;
    }
    if (At + 4 > Size) break;
    const uint32_t Length = BE16(Data + At + 2);
    const bool Frame =
        Marker >= 0xC0 && Marker <= 0xCF && Marker != 0xC4 && Marker != 0xC8 && Marker != 0xCC;
    if (Frame) {
      if (At + 9 > Size) break;
      return QSize(int(BE16(Data + At + 7)), int(BE16(Data + At + 5)));
    }
    if (Marker == 0xDA) break;  // the scan: no frame header came first
    At += 2 + Length;
  }
  return {};
}

}  // namespace

TPictureFacts PictureFacts(const TPictureList& Pictures, int32_t Number) {
  TPictureFacts Facts;
  const TPictureList::TBlock Block = Pictures.Primary(Number);
  const uint8_t* D = Block.Data;
  const uint32_t Size = D ? Block.Size : 0;
  static const uint8_t PNGSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (Size >= 26 && D[0] == 'B' && D[1] == 'M') {
    Facts.Kind = QStringLiteral("BMP");
    const int64_t Height = int32_t(LE32(D + 22));
    Facts.Size = QSize(int(int32_t(LE32(D + 18))), int(std::abs(Height)));
  } else if (Size >= 24 && std::equal(PNGSignature, PNGSignature + 8, D)) {
    Facts.Kind = QStringLiteral("PNG");
    Facts.Size = QSize(int(BE32(D + 16)), int(BE32(D + 20)));
  } else if (Size >= 10 && D[0] == 'G' && D[1] == 'I' && D[2] == 'F' && D[3] == '8') {
    Facts.Kind = QStringLiteral("GIF");
    Facts.Size = QSize(int(LE16(D + 6)), int(LE16(D + 8)));
  } else {
    Facts.Kind = QStringLiteral("JPEG");
    Facts.Size = JPEGFrameSize(D, Size);
  }
  const int32_t Tag = Pictures.TagCode(Number);
  if (Tag == 35 || Tag == 36) Facts.Kind = QStringLiteral("PNG");  // saved with their alpha
  if (Facts.Size.width() <= 0 || Facts.Size.height() <= 0) Facts.Size = QSize();
  return Facts;
}
