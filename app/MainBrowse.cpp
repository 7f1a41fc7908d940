// Browsing the pictures: the grid's columns, a chosen cell previewed with
// its information, the thumbnails' tooltips, the preview's zoom, and Copy.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QStatusBar>
#include <algorithm>

#include "app/Grid.h"
#include "app/Lang.h"
#include "app/Main.h"
#include "app/PictureView.h"

namespace {

// Room the grid keeps beside its columns for its scroll bar.
constexpr int GridSpare = 20;

}  // namespace

// ---------------------------------------------------------------------------
// Grid
// ---------------------------------------------------------------------------

bool TMainForm::FitColumns() {
  // A grid too narrow for one cell still shows one column.
  const int Columns = std::max(1, (VDT->width() - GridSpare) / FWorkspace.CellSize);
  FWorkspace.ColumnsPerRow = Columns;
  if (VDT->ColumnCount() == Columns) return false;
  VDT->SetRootNodeCount(0);
  while (VDT->ColumnCount() > Columns) VDT->DeleteColumn(1);
  while (VDT->ColumnCount() < Columns) VDT->AddColumn(FWorkspace.CellSize);
  FWorkspace.ChangeToggle = true;
  return true;
}

void TMainForm::LayoutGrid() {
  try {
    if (FLayoutPending) {
      FWorkspace.CellSize = FSettings.ReadPicSize() + 20;
      VDT->SetDefaultNodeHeight(FWorkspace.CellSize);
      FLayoutPending = false;
    }
    if (FitColumns()) {
      VDT->SetRootNodeCount(ShowableRows());
      TBXToolWindow2->update();
    }
  } catch (const std::exception& Error) {
    // A layout that fails keeps the grid as it was.
    qWarning("quillory: the grid was not laid out again: %s", Error.what());
  }
}

QString TMainForm::ColorModeText(int BitsPerPixel) {
  return QString::fromStdString(::ColorModeText(BitsPerPixel));
}

void TMainForm::ShowPictureInfo(int32_t Number) {
  const TPictureFacts& Facts = FWorkspace.Pictures.Facts(Number);
  Label1->setText(QString::number(Number));
  Label2->setText(QLatin1String(Facts.KindName()));
  Label3->setText(QStringLiteral("%1x%2").arg(Facts.Size.Width).arg(Facts.Size.Height));
  const QString Mode = LocalColorModeText(Facts.BitsPerPixel);
  if (!Mode.isEmpty()) Label4->setText(Mode);  // an unknown format keeps the old text
  // Names can be long: the whole text is the label's tooltip.
  const QString Character = CharacterText(Facts);
  Label7->setText(Label7->fontMetrics().elidedText(Character, Qt::ElideRight, Label7->width()));
  Label7->setToolTip(Character);
  Label8->setText(Facts.Carrier.empty() ? Lang(mesOwnPicture)
                                        : LangFormat(FSettings.ProgramDir, mesBinaryData,
                                                     FSettings.Language, {CarrierPath(Facts.Carrier)}));
}

QString TMainForm::CharacterText(const TPictureFacts& Facts) {
  QString Text = Facts.CharacterID >= 0 ? QString::number(Facts.CharacterID) : QStringLiteral("?");
  if (!Facts.Names.empty()) Text += QLatin1Char(' ') + QString::fromStdString(Facts.Names[0]);
  return Text;
}

QString TMainForm::CarrierPath(const std::vector<uint16_t>& Carrier) {
  QStringList IDs;
  for (const uint16_t ID : Carrier) IDs << QString::number(ID);
  return IDs.join(QStringLiteral(" > "));
}

void TMainForm::ShowInfoLabels(bool Visible) {
  for (QLabel* Label :
       {labelType, labelPicNum, labelDimensions, labelColorMode, labelCharacter, labelCarrier,
        Label1, Label2, Label3, Label4, Label7, Label8})
    Label->setVisible(Visible);
}

void TMainForm::VDTColumnClick(int Row, int Column) {
  setCursor(Qt::BusyCursor);
  VDT->setCursor(Qt::BusyCursor);
  ProgressBar1->setRange(0, 0);  // busy sign
  ProgressBar1->show();
  Repaint(TBXStatusBar1);
  Image1->Clear();

  FWorkspace.CurrentRow = Row;
  FWorkspace.SelectedPicture = Column + Row * std::max(1, FWorkspace.ColumnsPerRow);
  const int32_t Number = FWorkspace.SelectedPicture;

  // Fitted into the pane, decoded no larger than the pane can show; zoomed,
  // at its full size. An empty slot shows nothing; a picture that cannot be
  // shown says why in the status bar.
  const bool Fit = Image1->Zoom() == 0;
  const QSize Pane = ImageScroll->viewport()->size().expandedTo(QSize(1, 1));
  TPreview Preview;
  std::string Failure;
  const bool Slot = Number < FWorkspace.Pictures.Count;
  const bool Shown = Slot && RenderPreview(FWorkspace.Pictures, Number, PictureSettings(),
                                           Fit ? Pane : QSize(), Preview, Failure);
  if (Shown) {
    Image1->SetPicture(Preview.Image);
    FPreviewReduced =
        Preview.Image.width() < Preview.Width || Preview.Image.height() < Preview.Height;
    ShowPictureInfo(Number);
  }
  ShowInfoLabels(Shown);
  FPreviewShown = Shown;
  ASave->setEnabled(Shown && !FSaving);
  if (!Shown) Image1->Clear();

  unsetCursor();
  VDT->unsetCursor();
  ProgressBar1->hide();
  if (Slot && !Shown)
    SetPanelMessage(0, [this, Number, Failure] {
      return LangFormat(FSettings.ProgramDir, mesNotShown, FSettings.Language,
                        {QString::number(Number), FromStd(Failure)});
    });
  else
    SetPanelMessage(0, [this] { return Lang(mesReady); });
}

// ---------------------------------------------------------------------------
// Grid keys, tooltips, preview zoom, clipboard
// ---------------------------------------------------------------------------

void TMainForm::GridCellChosen(int Row, int Column) {
  const int64_t Number = int64_t(Row) * std::max(1, FWorkspace.ColumnsPerRow) + Column;
  VDT->SetCurrent(Number < FWorkspace.Pictures.Count ? int32_t(Number) : -1);
  VDTColumnClick(Row, Column);
}

QString TMainForm::LocalColorModeText(int BitsPerPixel) const {
  const QString English = ColorModeText(BitsPerPixel);
  if (English.isEmpty()) return English;
  const QString Local = LangText(FSettings.ProgramDir,
                                 "mesColorMode" + std::to_string(BitsPerPixel), FSettings.Language);
  return Local.isEmpty() ? English : Local;
}

QString TMainForm::ThumbnailTip(int32_t Number) const {
  const TPictureFacts& Facts = FWorkspace.Pictures.Facts(Number);
  const bool Known = Facts.Size.Known();
  QString Tip = LangFormat(FSettings.ProgramDir, mesThumbnailTip, FSettings.Language,
                           {QString::number(Number), QLatin1String(Facts.KindName()),
                            Known ? QString::number(Facts.Size.Width) : QStringLiteral("?"),
                            Known ? QString::number(Facts.Size.Height) : QStringLiteral("?")});
  Tip += QLatin1Char('\n') + LangFormat(FSettings.ProgramDir, mesTipCharacter, FSettings.Language,
                                        {CharacterText(Facts)});
  if (!Facts.Carrier.empty())
    Tip += QLatin1Char('\n') + LangFormat(FSettings.ProgramDir, mesTipCarrier, FSettings.Language,
                                          {CarrierPath(Facts.Carrier)});
  return Tip;
}

void TMainForm::SetPreviewZoom(int Zoom) {
  Image1->SetZoom(Zoom);
  Zoom = Image1->Zoom();
  // A preview drawn to fit the pane is drawn again with all its pixels.
  if (Zoom > 0 && FPreviewReduced && ASave->isEnabled()) {
    const int Columns = std::max(1, FWorkspace.ColumnsPerRow);
    VDTColumnClick(FWorkspace.SelectedPicture / Columns, FWorkspace.SelectedPicture % Columns);
  }
  if (Zoom > 0) FLastZoom = Zoom;
  for (const auto& [Item, ItemZoom] : {std::pair{menuFitPreview, 0}, std::pair{menuActualSize, 1},
                                       std::pair{menuZoom2, 2}, std::pair{menuZoom4, 4}})
    Item->setChecked(ItemZoom == Zoom);
}

void TMainForm::TogglePreviewZoom() {
  SetPreviewZoom(Image1->Zoom() == 0 ? FLastZoom : 0);
}

QImage TMainForm::PictureWithAlpha(int32_t Number) {
  // The picture as its files hold it: the PNG's pixels where there is
  // transparency, else the JPEG's or the BMP's.
  QImage Picture;
  std::string Failure;
  if (!::PictureWithAlpha(FWorkspace.Pictures, Number, Picture, Failure, !FSettings.Premultiplied))
    Picture = QImage();
  return Picture;
}

void TMainForm::ACopyExecute() {
  const int32_t Number = FWorkspace.SelectedPicture;
  const QImage Picture = PictureWithAlpha(Number);
  if (Picture.isNull()) {
    ErrorBox(this, LangFormat(FSettings.ProgramDir, mesNotCopied, FSettings.Language,
                              {QString::number(Number)}));
    return;
  }
  QGuiApplication::clipboard()->setImage(Picture);
  SetPanelMessage(0, [this, Number] {
    return FromStd(FSettings.Prefix) + QLatin1Char(' ') + QString::number(Number) +
           QLatin1Char(' ') + Lang(mesCopied);
  });
}
