#include "app/Main.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/About.h"
#include "app/Grid.h"
#include "app/GridArtwork.h"
#include "app/HelpError.h"
#include "app/Lang.h"
#include "app/Options.h"
#include "extract/Workers.h"
#include "render/Thread.h"

namespace {

constexpr int InfoPanelHeight = 111;
constexpr int StatusBarHeight = 20;
// Room the grid keeps beside its columns for its scroll bar.
constexpr int GridSpare = 20;

QString FromStd(const std::string& Text) {
  return QString::fromStdString(Text);
}

bool FileExists(const std::string& FileName) {
  return QFile::exists(FromStd(FileName));
}

// Numerator / Denominator to the nearest integer, halves to the even one.
int RoundHalfEven(int64_t Numerator, int64_t Denominator) {
  int64_t Quotient = Numerator / Denominator;
  const int64_t Twice = 2 * (Numerator % Denominator);
  if (Twice > Denominator || (Twice == Denominator && (Quotient & 1))) ++Quotient;
  return int(Quotient);
}

// A command's items run it and follow its enabled state.
void BindItem(QAction* Item, QAction* Command) {
  QObject::connect(Item, &QAction::triggered, Command, &QAction::trigger);
  QObject::connect(Command, &QAction::changed, Item,
                   [Item, Command] { Item->setEnabled(Command->isEnabled()); });
  Item->setEnabled(Command->isEnabled());
}

QAction* NamedAction(const char* Name, QObject* Parent) {
  auto* Action = new QAction(Parent);
  Action->setObjectName(QLatin1String(Name));
  return Action;
}

QLabel* InfoLabel(const char* Name, const QString& Text, int X, int Y, int Width, QWidget* Parent) {
  auto* Label = new QLabel(Text, Parent);
  Label->setObjectName(QLatin1String(Name));
  Label->setGeometry(X, Y, Width, std::max(17, Label->sizeHint().height()));
  return Label;
}

}  // namespace

// ---------------------------------------------------------------------------
// Image controls, status panels, the left dock
// ---------------------------------------------------------------------------

TPictureView::TPictureView(bool Centered, QWidget* Parent) : QWidget(Parent), FCentered(Centered) {}

void TPictureView::SetPicture(const QImage& Picture) {
  FPicture = Picture;
  FitRoom();
  update();
}

void TPictureView::SetZoom(int Zoom) {
  FZoom = Zoom == 1 || Zoom == 2 || Zoom == 4 ? Zoom : 0;
  FitRoom();
  update();
}

void TPictureView::FitRoom() {
  // Zoomed, the picture needs all its pixels: the scroll area scrolls.
  setMinimumSize(FZoom > 0 && !FPicture.isNull() ? FPicture.size() * FZoom : QSize(0, 0));
}

QRect TPictureView::PictureRect() const {
  if (FPicture.isNull()) return {};
  if (!FCentered) return rect();
  QSize Size = FPicture.size();
  if (FZoom > 0) {
    Size *= FZoom;
  } else if (Size.width() > width() || Size.height() > height()) {
    Size = Size.scaled(size(), Qt::KeepAspectRatio);
  }
  return QRect(QPoint(std::max(0, (width() - Size.width()) / 2),
                      std::max(0, (height() - Size.height()) / 2)),
               Size);
}

void TPictureView::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter Painter(this);
  // Shrunk to fit, smoothly; at actual size and its multiples, every pixel
  // a sharp square.
  Painter.setRenderHint(QPainter::SmoothPixmapTransform, FZoom == 0);
  Painter.drawImage(PictureRect(), FPicture);
}

void TPictureView::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) {
    emit DoubleClicked();
    Event->accept();
    return;
  }
  QWidget::mouseDoubleClickEvent(Event);
}

TSaveAllBox::TSaveAllBox(const QStringList& Lines, const TSettings& Settings, QWidget* Owner)
    : QMessageBox(Owner) {
  const auto Text = [&Settings](const char* Key) {
    return LangText(Settings.ProgramDir, Key, Settings.Language);
  };
  setObjectName(QStringLiteral("SaveAllBox"));
  setIcon(QMessageBox::Warning);
  setWindowTitle(Text(mesSaveAllTitle));
  setText(Text(mesSaveAllFailed));
  // Every line is there: the first ones in view, all of them in the details.
  constexpr int InView = 10;
  QStringList Shown = Lines.mid(0, InView);
  if (Lines.size() > InView) {
    Shown << LangFormat(Settings.ProgramDir, mesMoreFailures, Settings.Language,
                        {QString::number(Lines.size() - InView)});
    setDetailedText(Lines.join(QLatin1Char('\n')));
  }
  setInformativeText(Shown.join(QLatin1Char('\n')));
  buttonOpenImageFolder = addButton(Text(LangName::menuOpenImageFolder), QMessageBox::ActionRole);
  buttonOpenImageFolder->setObjectName(QStringLiteral("buttonOpenImageFolder"));
  // Qt's own button, in Qt's own words of the language.
  setDefaultButton(addButton(QMessageBox::Close));
}

bool TSaveAllBox::OpenFolderChosen() const {
  return clickedButton() == buttonOpenImageFolder;
}

TStatusPanel::TStatusPanel(Qt::Alignment Alignment, bool Framed, int Width, bool Stretch,
                           QWidget* Parent)
    : QFrame(Parent), FAlignment(Alignment | Qt::AlignVCenter), FWidth(Width), FStretch(Stretch) {
  setFrameStyle(Framed ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  FitText();
}

void TStatusPanel::SetText(const QString& Text) {
  FText = Text;
  FitText();
  update();
}

void TStatusPanel::FitText() {
  // A count or a save message is worth more than the panel's design width.
  if (FStretch) {
    // The movie's path gives way first when the window is narrow; it is
    // elided from the left, so its file name stays in view.
    setMinimumWidth(40);
    return;
  }
  setFixedWidth(std::max(FWidth, fontMetrics().horizontalAdvance(FText) + 8));
}

void TStatusPanel::Host(QWidget* Control) {
  layout()->addWidget(Control);
}

void TStatusPanel::paintEvent(QPaintEvent* Event) {
  QFrame::paintEvent(Event);
  if (FText.isEmpty()) return;
  QPainter Painter(this);
  const QRect Area = contentsRect().adjusted(3, 0, -3, 0);
  Painter.drawText(Area, int(FAlignment),
                   fontMetrics().elidedText(FText, Qt::ElideLeft, Area.width()));
}

void TResizeDock::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  emit Resized();
}

// ---------------------------------------------------------------------------
// Progress of the long operations, shown in the splash and the status bar
// ---------------------------------------------------------------------------

class TMainForm::TWindowObserver : public TExtractObserver {
 public:
  explicit TWindowObserver(TMainForm& Form) : F(Form) {}

  void WalkStarted(const std::string& MoviePath) override {
    F.SetPanelText(3, FromStd(MoviePath));
    F.Image2->hide();
    F.Image3->hide();
    F.VDT->show();
    F.FAbout->BeginSplash(F.Lang(mesExtractingPictures));
    F.Repaint(F.FAbout);
    FTimer.start();
  }

  void WalkProgress(int Percent) override {
    F.FAbout->SetSplashProgress(Percent);
    // Movies can hold many thousands of records: the screen follows the
    // percentage, not every record.
    if (Percent == FLastPercent && FTimer.elapsed() < 100) return;
    FLastPercent = Percent;
    FTimer.restart();
    F.repaint();
    F.Repaint(F.FAbout);
  }

  void SaveProgress(int32_t Done, int32_t Total) override {
    F.ProgressBar1->setRange(0, std::max(1, Total));
    F.ProgressBar1->setValue(Done);
    F.Repaint(F.TBXStatusBar1);
  }

  // One line per thing that was not saved, in the interface's language.
  void PictureFailed(int32_t Number, const std::string& Message) override {
    Failures << F.Lang(mesPNGNotComposed).arg(Number).arg(FromStd(Message));
  }
  void FileNotWritten(int32_t Number, const std::string& FileName,
                      const std::string& Reason) override {
    Failures << F.Lang(mesFileNotWritten).arg(Number).arg(FromStd(FileName), FromStd(Reason));
  }
  void NothingToSave(int32_t Number) override { Failures << F.Lang(mesNothingToSave).arg(Number); }

  QStringList Failures;

 private:
  TMainForm& F;
  QElapsedTimer FTimer;
  int FLastPercent = -1;
};

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

TMainForm::TMainForm(TSettings& Settings, QWidget* Parent)
    : QMainWindow(Parent),
      FSettings(Settings),
      FWorkingFolder(Settings.ProgramDir + "TEMP/"),
      // Without a folder of its own (TEMP/ cannot be written), scratch files
      // go where they always went.
      FWorkspace(FWorkingFolder.Path().empty() ? Settings.ProgramDir + "TEMP/"
                                               : FWorkingFolder.Path()) {
  setObjectName(QLatin1String(LangName::MainForm));
  setWindowTitle(QStringLiteral("Quillory"));
  setMinimumSize(MinWidth, MinHeight);
  move(DesignedLeft, DesignedTop);
  resize(DesignedWidth, DesignedHeight);

  OpenDialog1 = [this] {
    const std::unique_ptr<QFileDialog> Dialog = MakeOpenDialog();
    return Dialog->exec() == QDialog::Accepted ? Dialog->selectedFiles().value(0) : QString();
  };
  ShowModal = [](QDialog& Dialog) { return Dialog.exec(); };
  ShowMessage = [](QMessageBox& Box) { Box.exec(); };
  HelpOpener = DefaultHelpOpener(&FSettings);
  setAcceptDrops(true);

  BuildCommands();
  BuildLayout();
  FormCreate();

  FAbout = new TFAbout(FSettings, this);
  OptionsForm = new TOptionsForm(FSettings, this);
  FHelpError = new TFHelpError(FSettings, this);
}

TMainForm::~TMainForm() {
  // A build still waiting for this window is delivered (and does nothing)
  // so its thread can end before the window goes.
  FClosing = true;
  const std::vector<TDrawThread*> Threads = FThreads;
  for (TDrawThread* Thread : Threads) {
    while (!Thread->wait(10)) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    delete Thread;
  }
}

void TMainForm::BuildCommands() {
  const auto Command = [this](const char* Name, void (TMainForm::*Handler)()) {
    auto* Action = new TCommandAction(this);
    Action->setObjectName(QLatin1String(Name));
    connect(Action, &QAction::triggered, this, Handler);
    return Action;
  };
  AOpen = Command("AOpen", &TMainForm::AOpenExecute);
  ASave = Command("ASave", &TMainForm::ASaveExecute);
  ASaveAll = Command("ASaveAll", &TMainForm::ASaveAllExecute);
  AHelp = Command("AHelp", &TMainForm::AHelpExecute);
  ACopy = Command("ACopy", &TMainForm::ACopyExecute);
  AOpenImageFolder = Command("AOpenImageFolder", &TMainForm::AOpenImageFolderExecute);
  ASave->setEnabled(false);
  ASaveAll->setEnabled(false);
  // Copy takes the picture Save would write: both need a preview.
  ACopy->setEnabled(false);
  connect(ASave, &QAction::changed, ACopy, [this] { ACopy->setEnabled(ASave->isEnabled()); });
}

void TMainForm::BuildLayout() {
  using namespace LangName;

  // Top dock: the menu bar above the toolbar.
  TBXDock1 = new QWidget(this);
  TBXDock1->setObjectName(QStringLiteral("TBXDock1"));
  auto* TopLayout = new QVBoxLayout(TBXDock1);
  TopLayout->setContentsMargins(0, 0, 0, 0);
  TopLayout->setSpacing(0);
  MainMenu = new QMenuBar(TBXDock1);
  MainMenu->setObjectName(QStringLiteral("MainMenu"));
  Toolbar = new QToolBar(TBXDock1);
  Toolbar->setObjectName(QStringLiteral("Toolbar"));
  Toolbar->setMovable(false);
  Toolbar->setFloatable(false);
  Toolbar->setIconSize(QSize(32, 32));
  Toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  TopLayout->addWidget(MainMenu);
  TopLayout->addWidget(Toolbar);
  setMenuWidget(TBXDock1);

  const auto ToolButton = [this](const char* Name, TToolbarImage Image, QAction* Command) {
    QAction* Item = NamedAction(Name, this);
    Item->setIcon(ToolbarIcon(Image));
    BindItem(Item, Command);
    auto* Button = new QToolButton(Toolbar);
    Button->setObjectName(QLatin1String(Name));
    Button->setDefaultAction(Item);
    Button->setIconSize(QSize(32, 32));
    Button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Button->setAutoRaise(true);
    Button->setMinimumWidth(56);
    Toolbar->addWidget(Button);
    return Button;
  };
  buttonOpen = ToolButton(LangName::buttonOpen, TToolbarImage::Open, AOpen);
  Toolbar->addSeparator();
  buttonSave = ToolButton(LangName::buttonSave, TToolbarImage::Save, ASave);
  buttonSaveAll = ToolButton(LangName::buttonSaveAll, TToolbarImage::SaveAll, ASaveAll);
  Toolbar->addSeparator();
  buttonHelp = ToolButton(LangName::buttonHelp, TToolbarImage::Help, AHelp);

  // Menus. The language shows through the texts, not through check marks.
  const auto Menu = [this](const char* Name) {
    auto* Submenu = new QMenu(MainMenu);
    Submenu->setObjectName(QLatin1String(Name));
    MainMenu->addMenu(Submenu);
    return Submenu;
  };
  const auto Item = [this](QMenu* Submenu, const char* Name) {
    QAction* Action = NamedAction(Name, this);
    Submenu->addAction(Action);
    return Action;
  };
  submenuFile = Menu(LangName::submenuFile);
  menuOpen = Item(submenuFile, LangName::menuOpen);
  submenuRecent = new QMenu(submenuFile);
  submenuRecent->setObjectName(QLatin1String(LangName::submenuRecent));
  submenuFile->addMenu(submenuRecent);
  // The list is read from Config.ini each time it opens.
  connect(submenuRecent, &QMenu::aboutToShow, this, &TMainForm::RebuildRecentMenu);
  menuOpenImageFolder = Item(submenuFile, LangName::menuOpenImageFolder);
  submenuFile->addSeparator();
  menuSave = Item(submenuFile, LangName::menuSave);
  menuSaveAll = Item(submenuFile, LangName::menuSaveAll);
  submenuFile->addSeparator();
  menuExit = Item(submenuFile, LangName::menuExit);
  submenuEdit = Menu(LangName::submenuEdit);
  menuCopy = Item(submenuEdit, LangName::menuCopy);
  submenuView = Menu(LangName::submenuView);
  menuEnglish = Item(submenuView, LangName::menuEnglish);
  menuFrench = Item(submenuView, LangName::menuFrench);
  submenuView->addSeparator();
  menuFitPreview = Item(submenuView, LangName::menuFitPreview);
  menuActualSize = Item(submenuView, LangName::menuActualSize);
  menuZoom2 = Item(submenuView, LangName::menuZoom2);
  menuZoom4 = Item(submenuView, LangName::menuZoom4);
  auto* Zooms = new QActionGroup(this);
  const std::pair<QAction*, int> ZoomItems[] = {
      {menuFitPreview, 0}, {menuActualSize, 1}, {menuZoom2, 2}, {menuZoom4, 4}};
  for (const auto& [ZoomItem, Zoom] : ZoomItems) {
    ZoomItem->setCheckable(true);
    Zooms->addAction(ZoomItem);
    connect(ZoomItem, &QAction::triggered, this, [this, Zoom = Zoom] { SetPreviewZoom(Zoom); });
  }
  menuFitPreview->setChecked(true);
  submenuView->addSeparator();
  menuOptions = Item(submenuView, LangName::menuOptions);
  submenuHelp = Menu(LangName::submenuHelp);
  menuHelp = Item(submenuHelp, LangName::menuHelp);
  menuAbout = Item(submenuHelp, LangName::menuAbout);
  BindItem(menuOpen, AOpen);
  BindItem(menuSave, ASave);
  BindItem(menuSaveAll, ASaveAll);
  BindItem(menuHelp, AHelp);
  connect(menuExit, &QAction::triggered, this, &TMainForm::menuExitClick);
  connect(menuEnglish, &QAction::triggered, this, &TMainForm::menuEnglishClick);
  connect(menuFrench, &QAction::triggered, this, &TMainForm::menuFrenchClick);
  connect(menuOptions, &QAction::triggered, this, &TMainForm::menuOptionsClick);
  connect(menuAbout, &QAction::triggered, this, &TMainForm::menuAboutClick);
  BindItem(menuCopy, ACopy);
  BindItem(menuOpenImageFolder, AOpenImageFolder);

  // The usual keys. The items also belong to the window, so their keys work
  // whichever part of it has the focus.
  const std::pair<QAction*, QKeySequence> Keys[] = {
      {menuOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {menuSave, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {menuSaveAll, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {menuHelp, QKeySequence(Qt::Key_F1)},
      {menuExit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {menuCopy, QKeySequence(Qt::CTRL | Qt::Key_C)},
  };
  for (const auto& [KeyItem, Key] : Keys) {
    KeyItem->setShortcut(Key);
    addAction(KeyItem);
  }
  // Left dock: the grid, and the preview pane with the picture information.
  TBXDock2 = new TResizeDock(this);
  TBXDock2->setObjectName(QStringLiteral("TBXDock2"));
  setCentralWidget(TBXDock2);
  connect(TBXDock2, &TResizeDock::Resized, this, &TMainForm::FormResize);

  TBXToolWindow1 = new QWidget(TBXDock2);
  TBXToolWindow1->setObjectName(QStringLiteral("TBXToolWindow1"));
  VDT = new TThumbnailGrid(FWorkspace, TBXToolWindow1);
  VDT->setObjectName(QStringLiteral("VDT"));
  connect(VDT, &TThumbnailGrid::CellClicked, this, &TMainForm::GridCellChosen);
  VDT->Model()->ToolTipText = [this](int32_t Number) { return ThumbnailTip(Number); };
  Image3 = new TPictureView(false, TBXToolWindow1);
  Image3->setObjectName(QStringLiteral("Image3"));
  QImage White(1, 1, QImage::Format_RGB32);
  White.fill(Qt::white);
  Image3->SetPicture(White);
  Image3->hide();
  Image2 = new TPictureView(true, TBXToolWindow1);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->SetPicture(NoImagesPicture());
  Image2->hide();

  TBXToolWindow2 = new QWidget(TBXDock2);
  TBXToolWindow2->setObjectName(QStringLiteral("TBXToolWindow2"));
  auto* PaneLayout = new QVBoxLayout(TBXToolWindow2);
  PaneLayout->setContentsMargins(0, 4, 4, 0);
  PaneLayout->setSpacing(0);
  ImageScroll = new QScrollArea(TBXToolWindow2);
  ImageScroll->setObjectName(QStringLiteral("ImageScroll"));
  ImageScroll->setFrameShape(QFrame::NoFrame);
  ImageScroll->setWidgetResizable(true);
  ImageScroll->setAlignment(Qt::AlignCenter);
  ImageScroll->setFocusPolicy(Qt::NoFocus);  // the keys belong to the grid
  ImageScroll->setBackgroundRole(QPalette::Window);
  Image1 = new TPictureView(true);
  Image1->setObjectName(QStringLiteral("Image1"));
  ImageScroll->setWidget(Image1);
  connect(Image1, &TPictureView::DoubleClicked, this, &TMainForm::TogglePreviewZoom);
  PaneLayout->addWidget(ImageScroll, 1);
  auto* InfoPanel = new QWidget(TBXToolWindow2);
  InfoPanel->setFixedHeight(InfoPanelHeight);
  PaneLayout->addWidget(InfoPanel);
  labelPicNum = InfoLabel(LangName::labelPicNum, "Picture number", 5, 12, 100, InfoPanel);
  labelType = InfoLabel(LangName::labelType, "Type of picture", 5, 36, 100, InfoPanel);
  labelDimensions = InfoLabel(LangName::labelDimensions, "Dimensions", 5, 60, 100, InfoPanel);
  labelColorMode = InfoLabel(LangName::labelColorMode, "Color mode", 5, 84, 100, InfoPanel);
  // Room for the longest colour mode, "32 bpp (RGB compression)".
  constexpr int ValueLeft = 112;
  const int ValueWidth = InfoPanelWidth - ValueLeft - 4;
  Label1 = InfoLabel("Label1", QString(), ValueLeft, 12, ValueWidth, InfoPanel);
  Label2 = InfoLabel("Label2", QString(), ValueLeft, 36, ValueWidth, InfoPanel);
  Label3 = InfoLabel("Label3", QString(), ValueLeft, 60, ValueWidth, InfoPanel);
  Label4 = InfoLabel("Label4", QString(), ValueLeft, 84, ValueWidth, InfoPanel);

  // Status bar: five panels; 0 hosts the progress bar, 1 and 3 a label.
  TBXStatusBar1 = new QStatusBar(this);
  TBXStatusBar1->setObjectName(QStringLiteral("TBXStatusBar1"));
  TBXStatusBar1->setSizeGripEnabled(false);
  TBXStatusBar1->setFixedHeight(StatusBarHeight);
  // The framed last panel keeps clear of the window edge.
  TBXStatusBar1->setContentsMargins(0, 0, 4, 0);
  setStatusBar(TBXStatusBar1);
  const auto Panel = [this](Qt::Alignment Alignment, bool Framed, int Width, int Stretch) {
    auto* P = new TStatusPanel(Alignment, Framed, Width, Stretch > 0, TBXStatusBar1);
    P->setObjectName(QStringLiteral("StatusPanel%1").arg(FPanels.size()));
    TBXStatusBar1->addWidget(P, Stretch);
    FPanels.push_back(P);
    return P;
  };
  Panel(Qt::AlignLeft, false, 200, 0);
  Panel(Qt::AlignLeft, false, 100, 0);
  Panel(Qt::AlignLeft, false, 20, 0);
  Panel(Qt::AlignRight, false, 300, 3);
  Panel(Qt::AlignLeft, true, 20, 0);
  ProgressBar1 = new QProgressBar(FPanels[0]);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setTextVisible(false);
  FPanels[0]->Host(ProgressBar1);
  ProgressBar1->hide();
  const auto PanelLabel = [](const char* Name, TStatusPanel* Host) {
    auto* Label = new QLabel(Host);
    Label->setObjectName(QLatin1String(Name));
    Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label->setAttribute(Qt::WA_TranslucentBackground);
    Label->setAttribute(Qt::WA_TransparentForMouseEvents);
    Host->Host(Label);
    return Label;
  };
  Label5 = PanelLabel("Label5", FPanels[1]);
  Label6 = PanelLabel("Label6", FPanels[3]);
}

void TMainForm::FormCreate() {
  TSettings::TWindowBounds Bounds{DesignedTop, DesignedLeft, DesignedWidth, DesignedHeight};
  FSettings.StartupLoad(Bounds);  // keeps the designed bounds when it fails
  // One at a time, each held at the minimum size.
  move(x(), Bounds.Top);
  move(Bounds.Left, y());
  resize(Bounds.Width, height());
  resize(width(), Bounds.Height);
  FWorkspace.OutputDir = FSettings.OutputDir;
  SetQtLanguage(FSettings.Language);

  UpdateTotal(0);
  SetPanelMessage(3, [this] { return Lang(mesFileNotLoaded); });
  ResetWorkspace();
}

// ---------------------------------------------------------------------------
// Status bar and texts
// ---------------------------------------------------------------------------

QString TMainForm::Lang(const char* Key) const {
  return LangText(FSettings.ProgramDir, Key, FSettings.Language);
}

QString TMainForm::PanelText(int Panel) const {
  return Panel >= 0 && Panel < int(FPanels.size()) ? FPanels[size_t(Panel)]->Text() : QString();
}

void TMainForm::SetPanelText(int Panel, const QString& Text) {
  if (Panel < 0 || Panel >= int(FPanels.size())) return;
  FPanels[size_t(Panel)]->SetText(Text);
  FPanels[size_t(Panel)]->setToolTip(Text);  // the whole text where the panel cuts it
  FPanelMessages[size_t(Panel)] = nullptr;
}

void TMainForm::SetPanelMessage(int Panel, std::function<QString()> Message) {
  if (Panel < 0 || Panel >= int(FPanels.size()) || !Message) return;
  SetPanelText(Panel, Message());
  FPanelMessages[size_t(Panel)] = std::move(Message);
}

void TMainForm::RetranslatePanels() {
  for (int Panel = 0; Panel < int(FPanels.size()); ++Panel)
    if (auto Message = FPanelMessages[size_t(Panel)]) SetPanelMessage(Panel, std::move(Message));
}

void TMainForm::UpdateTotal(int32_t Count) {
  SetPanelMessage(1, [this, Count] {
    return Lang(mesTotal) + QLatin1Char(' ') + QString::number(Count) + QLatin1Char(' ') +
           Lang(mesImages);
  });
}

void TMainForm::Repaint(QWidget* Widget) {
  // Long operations take no input: only painting (and the system's own
  // events) goes on while they run.
  if (Widget) Widget->repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

TPictureSettings TMainForm::PictureSettings() const {
  return {FSettings.Prefix, FSettings.BGSquareSize, FSettings.BGColor, FSettings.PicSize};
}

// ---------------------------------------------------------------------------
// Workspace, open and thumbnails
// ---------------------------------------------------------------------------

void TMainForm::ResetWorkspace() {
  ShowInfoLabels(false);
  VDT->SetRootNodeCount(0);
  FThumbnailsDone = 0;
  ::ResetWorkspace(FWorkspace, FSettings.PicSize);
  FSettings.CellSize = FWorkspace.CellSize;
  Image1->Clear();
  VDT->SetDefaultNodeHeight(FWorkspace.CellSize);
  VDT->SetCurrent(-1);
  for (int J = 0; J < std::min(FWorkspace.ColumnsPerRow, VDT->ColumnCount()); ++J)
    VDT->setColumnWidth(J, FWorkspace.CellSize);
  ApplyLanguage(this, FSettings.ProgramDir, FSettings.Language);
  ApplyTexts();
}

void TMainForm::AOpenExecute() {
  if (Busy()) return;
  OpenMovie(OpenDialog1 ? OpenDialog1() : QString());
}

void TMainForm::OpenMovie(const QString& Path) {
  if (Path.isEmpty() || Busy()) return;

  ResetWorkspace();
  ::DropPictureStores(FWorkspace);
  // The preview that chose the picture to save is gone with the old movie:
  // Save would write a picture of the new movie nobody clicked, or nothing.
  ASave->setEnabled(false);
  const uint64_t Generation = ++FGeneration;
  FPendingBuild = 0;
  TWindowObserver Observer(*this);
  FMoviePath = Path;
  FWalking = true;
  TWalkResult Walk;
  try {
    Walk = ::OpenAndExtract(FWorkspace, Path.toStdString(),
                            FSettings.ReadImageDir(TSettings::DefaultRootDir), &Observer);
  } catch (const std::exception& Error) {
    ErrorBox(this, QString::fromUtf8(Error.what()));
  }
  FWalking = false;
  FWalk = Walk;
  // A movie worth opening again is worth listing, and its folder is where
  // the next Open starts.
  if (Walk.HeaderRead) FSettings.MovieOpened(Path.toStdString());
  RebuildRecentMenu();
  VDT->setFocus();
  FitColumns();
  UpdateTotal(FWorkspace.Pictures.Count);
  VDT->SetRootNodeCount(0);
  FPendingBuild = Generation;
  StartDrawThread(Generation);
}

void TMainForm::StartDrawThread(uint64_t Generation) {
  auto* Thread = new TDrawThread(this, [this, Generation] { DrawPictures(Generation); });
  FThreads.push_back(Thread);
  connect(Thread, &QThread::finished, this, [this, Thread] { std::erase(FThreads, Thread); });
  Thread->start();
}

void TMainForm::DrawPictures(uint64_t Generation) {
  if (FClosing || FBuilding || Generation != FGeneration || Generation != FPendingBuild) return;
  FBuilding = true;
  FAbout->SetSplashProgress(0);
  FAbout->SetSplashMessage(Lang(mesDrawing));
  Repaint(FAbout);

  const int32_t Count = FWorkspace.Pictures.Count;
  const TPictureSettings Settings = PictureSettings();
  FWorkspace.Thumbnails.assign(size_t(Count), QImage());
  // One mark for every picture that cannot be drawn: each costs a thumbnail
  // only when it is shared, however many empty records a movie holds.
  QImage Undecodable;
  for (int32_t I = 0; I < Count; ++I) {
    QImage Thumbnail;
    try {
      Thumbnail = BuildThumbnail(FWorkspace, I, Settings);
    } catch (const std::exception&) {
      // Marked below; the other pictures are still built.
    }
    if (Thumbnail.isNull()) {
      if (Undecodable.isNull()) Undecodable = UndecodablePicture(Settings.PicSize);
      Thumbnail = Undecodable;
    }
    FWorkspace.Thumbnails[size_t(I)] = Thumbnail;
    FThumbnailsDone = I + 1;
    const int Columns = std::max(1, FWorkspace.ColumnsPerRow);
    // The row of the pictures before this one is complete.
    if (I != 0 && I % Columns == 0)
      VDT->SetRootNodeCount(std::max(VDT->RootNodeCount(), I / Columns));
    Repaint(VDT);
    FAbout->SetSplashProgress(SplashShare(I + 1, Count));
    Repaint(FAbout);
  }
  FBuilding = false;
  FPendingBuild = 0;
  VDT->SetRootNodeCount(ShowableRows());  // the last, possibly partial, row

  ProgressBar1->hide();
  // The keys go back to the window once the splash is gone (when the
  // program still had them).
  const QWidget* Active = QApplication::activeWindow();
  const bool Ours = Active == this || Active == FAbout;
  FAbout->EndSplash();
  if (Ours && isVisible()) activateWindow();
  // A movie not read whole says what is wrong, in the status bar and in a
  // box; the NO IMAGES sign is for movies read whole that hold no picture.
  const TWalkProblem Problem = WalkProblem(FWalk);
  const char* Status = Problem == wpNone         ? mesReady
                       : Problem == wpCannotRead ? mesStatusNotRead
                       : Problem == wpNotAMovie  ? mesStatusNotAMovie
                                                 : mesStatusDamaged;
  SetPanelMessage(0, [this, Status] { return Lang(Status); });
  if (Count == 0) {
    VDT->SetRootNodeCount(0);
    ASaveAll->setEnabled(false);
    if (Problem == wpNone) {
      Image3->show();
      Image2->show();
      VDT->hide();
    }
  } else {
    ASaveAll->setEnabled(true);
  }
  if (Problem == wpNone) return;
  QString Text = WalkProblemSentence(FSettings.ProgramDir, FSettings.Language, FWalk);
  if (Count > 0)
    Text += QLatin1Char(' ') + Lang(Problem == wpNotAMovie || Problem == wpBodyLost
                                        ? mesPicturesFoundShown
                                        : mesPicturesBeforeDamage);
  ShowNote(QMessageBox::Warning, FMoviePath + QLatin1String("\n\n") + Text);
}

int TMainForm::ShowableRows() const {
  const int Columns = std::max(1, FWorkspace.ColumnsPerRow);
  if (FBuilding) return FThumbnailsDone > 0 ? (FThumbnailsDone - 1) / Columns : 0;
  return (FThumbnailsDone + Columns - 1) / Columns;
}

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
  } catch (const std::exception&) {
    // A layout that fails keeps the grid as it was.
  }
}

void TMainForm::FormResize() {
  const int DockHeight = TBXDock2->height();
  TBXToolWindow1->setGeometry(0, 0, std::max(0, width() - InfoPanelWidth - 8), DockHeight);
  const int PaneWidth = TBXToolWindow1->width();
  VDT->setGeometry(4, 4, std::max(0, PaneWidth - 8), std::max(0, DockHeight - 13));
  Image3->setGeometry(0, 0, PaneWidth, DockHeight);
  Image2->setGeometry(0, 0, PaneWidth, DockHeight);
  TBXToolWindow2->setGeometry(TBXDock2->width() - InfoPanelWidth, 0, InfoPanelWidth, DockHeight);
  LayoutGrid();
  update();
}

QString TMainForm::WalkProblemSentence(const std::string& ProgramDir, const std::string& Language,
                                       const TWalkResult& Walk) {
  const auto Text = [&](const char* Key, QStringList Arguments = {}) {
    return LangFormat(ProgramDir, Key, Language, Arguments);
  };
  switch (WalkProblem(Walk)) {
    case wpCannotRead:
      return Text(mesCannotRead, {QString::fromLocal8Bit(std::strerror(Walk.LoadError))});
    case wpNotAMovie:
      return Text(mesNotAMovie);
    case wpLZMALost:
      return Text(mesLZMALost);
    case wpBodyLost:
      return Text(mesBodyLost);
    case wpBodyCut:
      return Text(mesBodyCut,
                  {QString::number(Walk.BodyDecoded), QString::number(Walk.BodyDeclared)});
    case wpHeaderDamaged:
      return Text(mesHeaderDamaged);
    case wpRecordDamaged:
      return Text(mesRecordDamaged,
                  {QString::number(Walk.DamagedAt), QString::number(Walk.MovieSize)});
    case wpMovieCut:
      return Text(mesMovieCut,
                  {QString::number(Walk.MovieSize), QString::number(Walk.MovieDeclared)});
    default:
      return {};
  }
}

int TMainForm::SplashShare(int32_t Done, int32_t Count) {
  return Count > 0 ? RoundHalfEven(int64_t(85) * Done, Count) : 0;
}

QString TMainForm::ColorModeText(int BitsPerPixel) {
  switch (BitsPerPixel) {
    case 1:
      return QStringLiteral("Grayscale");
    case 4:
      return QStringLiteral("16 colors");
    case 8:
      return QStringLiteral("256 colors");
    case 15:
      return QStringLiteral("15 bpp (RGB compression)");
    case 16:
      return QStringLiteral("16 bpp");
    case 24:
      return QStringLiteral("24 bpp");
    case 32:
      return QStringLiteral("32 bpp (RGB compression)");
    default:
      return {};
  }
}

void TMainForm::ShowPictureInfo(const QString& Kind, int32_t Number, int Width, int BitsPerPixel,
                                int Height) {
  Label1->setText(QString::number(Number));
  Label2->setText(Kind);
  Label3->setText(QStringLiteral("%1x%2").arg(Width).arg(Height));
  const QString Mode = LocalColorModeText(BitsPerPixel);
  if (!Mode.isEmpty()) Label4->setText(Mode);  // an unknown format keeps the old text
}

void TMainForm::ShowInfoLabels(bool Visible) {
  for (QLabel* Label :
       {labelType, labelPicNum, labelDimensions, labelColorMode, Label1, Label2, Label3, Label4})
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

  bool Shown = false;
  try {
    // Fitted into the pane, decoded no larger than the pane can show; zoomed,
    // at its full size.
    const bool Fit = Image1->Zoom() == 0;
    const QSize Pane = ImageScroll->viewport()->size().expandedTo(QSize(1, 1));
    const TPreview Preview =
        RenderPreview(FWorkspace, Number, PictureSettings(), Fit ? Pane : QSize());
    Image1->SetPicture(Preview.Image);
    FPreviewReduced =
        Preview.Image.width() < Preview.Width || Preview.Image.height() < Preview.Height;
    ShowPictureInfo(QString::fromStdString(Preview.Kind), Number, Preview.Width,
                    Preview.BitsPerPixel, Preview.Height);
    Shown = true;
  } catch (const std::exception&) {
    // An empty slot or a picture that cannot be shown: nothing is previewed.
  }
  ShowInfoLabels(Shown);
  FPreviewShown = Shown;
  ASave->setEnabled(Shown && !FSaving);
  if (!Shown) Image1->Clear();

  unsetCursor();
  VDT->unsetCursor();
  ProgressBar1->hide();
  SetPanelMessage(0, [this] { return Lang(mesReady); });
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void TMainForm::ASaveExecute() {
  if (Busy()) return;  // Save all may be writing the same file
  TWindowObserver Observer(*this);
  try {
    if (SavePicture(FWorkspace, FSettings.Prefix, &Observer)) {
      SetPanelMessage(
          0, [this, Number = FWorkspace.SelectedPicture, Folder = FromStd(FWorkspace.OutputDir)] {
            return FromStd(FSettings.Prefix) + QLatin1Char(' ') + QString::number(Number) +
                   QLatin1Char(' ') + Lang(mesSave) + QLatin1Char(' ') +
                   LangFormat(FSettings.ProgramDir, mesSavedIn, FSettings.Language, {Folder});
          });
      return;
    }
  } catch (const std::exception& Error) {
    Observer.PictureFailed(FWorkspace.SelectedPicture, Error.what());
  }
  ErrorBox(this, Observer.Failures.join(QLatin1Char('\n')));
}

namespace {

// Save all's observer on the thread that saves: every call goes on to the
// window's own observer on the window's thread, in the order it came.
class TSaveRelay : public TExtractObserver {
 public:
  TSaveRelay(QObject* Window, TExtractObserver& Target, const std::atomic<bool>& Stop)
      : FWindow(Window), FTarget(Target), FStop(Stop) {}

  void SaveProgress(int32_t Done, int32_t Total) override {
    Post([this, Done, Total] { FTarget.SaveProgress(Done, Total); });
  }
  void PictureFailed(int32_t Number, const std::string& Message) override {
    Post([this, Number, Message] { FTarget.PictureFailed(Number, Message); });
  }
  void FileNotWritten(int32_t Number, const std::string& FileName,
                      const std::string& Reason) override {
    Post([this, Number, FileName, Reason] { FTarget.FileNotWritten(Number, FileName, Reason); });
  }
  void NothingToSave(int32_t Number) override {
    Post([this, Number] { FTarget.NothingToSave(Number); });
  }
  bool Cancelled() override { return FStop; }

 private:
  void Post(std::function<void()> Call) {
    QMetaObject::invokeMethod(FWindow, std::move(Call), Qt::QueuedConnection);
  }

  QObject* FWindow;
  TExtractObserver& FTarget;
  const std::atomic<bool>& FStop;
};

}  // namespace

void TMainForm::ASaveAllExecute() {
  if (Busy()) return;
  // Busy from the first repaint on: events are delivered from here.
  FSaving = true;
  FStopSaving = false;
  ProgressBar1->setRange(0, std::max(1, FWorkspace.Pictures.Count));
  ProgressBar1->setValue(0);
  ProgressBar1->show();
  Repaint(TBXStatusBar1);
  TWindowObserver Observer(*this);
  int32_t Failures = 0;
  // The pictures are written on every core while the window goes on
  // painting; what would change the list or the folders waits till the end.
  for (QAction* Command : {static_cast<QAction*>(AOpen), static_cast<QAction*>(ASave),
                           static_cast<QAction*>(ASaveAll), menuOptions})
    Command->setEnabled(false);
  if (!FPool) FPool = std::make_unique<TWorkerPool>();
  TSaveRelay Relay(this, Observer, FStopSaving);
  QEventLoop Waiting;
  std::thread Saver([&] {
    try {
      Failures = SaveAllPictures(FWorkspace, FSettings.Prefix, &Relay, FPool.get());
    } catch (const std::exception& Error) {
      const QString Text = QString::fromUtf8(Error.what());
      QMetaObject::invokeMethod(
          this, [&Observer, Text] { Observer.Failures << Text; }, Qt::QueuedConnection);
      ++Failures;
    }
    // Delivered after every call the relay posted.
    QMetaObject::invokeMethod(&Waiting, &QEventLoop::quit, Qt::QueuedConnection);
  });
  Waiting.exec();
  Saver.join();
  FSaving = false;
  AOpen->setEnabled(true);
  ASaveAll->setEnabled(FWorkspace.Pictures.Count > 0);
  ASave->setEnabled(FPreviewShown);
  menuOptions->setEnabled(true);
  ProgressBar1->hide();
  if (FCloseAfterSave) {
    close();
    return;
  }
  if (Failures == 0) {
    SetPanelMessage(0, [this, Folder = FromStd(FWorkspace.OutputDir)] {
      return Lang(mesAllTheImagesWereSaved) + QLatin1Char(' ') +
             LangFormat(FSettings.ProgramDir, mesSavedIn, FSettings.Language, {Folder});
    });
    return;
  }
  // The other pictures were saved; one box tells what was not.
  ReportSaveAllFailures(Observer.Failures);
}

void TMainForm::AHelpExecute() {
  RunHelp(FSettings, this, *FHelpError, HelpOpener, HelpBoxes);
}

void TMainForm::menuExitClick() {
  close();
}

void TMainForm::menuEnglishClick() {
  SetLanguage("ENG");
}

void TMainForm::menuFrenchClick() {
  SetLanguage("FRA");
}

void TMainForm::SetLanguage(const char* Language) {
  FSettings.Language = Language;
  SetQtLanguage(FSettings.Language);
  ApplyLanguage(this, FSettings.ProgramDir, FSettings.Language);
  ApplyTexts();
  // The messages standing in the status bar too, not only the captions.
  RetranslatePanels();
}

void TMainForm::menuOptionsClick() {
  if (Busy()) return;  // Save all reads the folder it writes into
  // Saves follow a new image folder at once, into the open movie's own
  // folder there: straight into the image folder, the next movie's
  // pictures would overwrite this one's.
  if (ShowModal(*OptionsForm) == QDialog::Accepted) FWorkspace.OutputDir = MovieOutputDir();
}

void TMainForm::menuAboutClick() {
  ShowModal(*FAbout);
}

// ---------------------------------------------------------------------------
// Close
// ---------------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* Event) {
  if (FSaving) {
    // The pictures in the workers' hands are finished first; then it closes.
    FStopSaving = true;
    FCloseAfterSave = true;
    Event->ignore();
    return;
  }
  FormClose();
  QMainWindow::closeEvent(Event);
}

void TMainForm::FormClose() {
  TSettings::TWindowBounds Bounds{y(), x(), width(), height()};
  if (isMinimized()) {
    // The bounds it will have once restored, placed by its frame like the
    // bounds of a window on screen.
    const QRect Normal = normalGeometry();
    const QPoint Frame = geometry().topLeft() - pos();
    Bounds = {Normal.y() - Frame.y(), Normal.x() - Frame.x(), Normal.width(), Normal.height()};
  }
  try {
    FSettings.CloseSave(Bounds);
  } catch (const std::exception&) {
    // Settings that cannot be written are not worth keeping the window for.
  }
}

// ---------------------------------------------------------------------------
// Opening from outside: command line, drag and drop, recent movies
// ---------------------------------------------------------------------------

QString TMainForm::MovieArgument(const QStringList& Arguments) {
  bool Options = true;
  for (qsizetype I = 1; I < Arguments.size(); ++I) {
    const QString& Argument = Arguments[I];
    if (Options && Argument == QLatin1String("--")) {
      Options = false;
      continue;
    }
    if (Options && Argument.startsWith(QLatin1Char('-'))) continue;
    if (Argument.isEmpty()) continue;
    // Some file managers hand over a URL even for a local file.
    const QString Path =
        Argument.startsWith(QLatin1String("file:")) ? QUrl(Argument).toLocalFile() : Argument;
    return Path.isEmpty() ? QString() : QFileInfo(Path).absoluteFilePath();
  }
  return {};
}

void TMainForm::OpenFromCommandLine(const QStringList& Arguments) {
  OpenWhenIdle(MovieArgument(Arguments));
}

void TMainForm::OpenWhenIdle(const QString& Path) {
  if (Path.isEmpty()) return;
  // From the event loop, so the window is up first and a drop's sender is
  // not kept waiting; a long operation in progress finishes first.
  QTimer::singleShot(Busy() ? 50 : 0, this, [this, Path] {
    if (FClosing) return;
    if (Busy())
      OpenWhenIdle(Path);
    else
      OpenMovie(Path);
  });
}

QString TMainForm::DroppedMovie(const QMimeData* Data) {
  if (!Data || !Data->hasUrls()) return {};
  for (const QUrl& Url : Data->urls()) {
    if (!Url.isLocalFile()) continue;
    const QFileInfo File(Url.toLocalFile());
    if (File.suffix().compare(QLatin1String("swf"), Qt::CaseInsensitive) == 0 && File.isFile())
      return File.absoluteFilePath();
  }
  return {};
}

void TMainForm::dragEnterEvent(QDragEnterEvent* Event) {
  if (!DroppedMovie(Event->mimeData()).isEmpty())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TMainForm::dropEvent(QDropEvent* Event) {
  const QString Movie = DroppedMovie(Event->mimeData());
  if (Movie.isEmpty()) {
    Event->ignore();
    return;
  }
  Event->acceptProposedAction();
  activateWindow();  // the movie dropped is the one to work on now
  OpenWhenIdle(Movie);
}

std::unique_ptr<QFileDialog> TMainForm::MakeOpenDialog() {
  QString Start = FromStd(FSettings.ReadOpenDir());
  if (Start.isEmpty() || !QFileInfo(Start).isDir()) Start = QDir::homePath();
  QString Filter = Lang(mesSWFFiles);
  if (Filter.isEmpty()) Filter = QStringLiteral("SWF files");
  auto Dialog =
      std::make_unique<QFileDialog>(this, QString(), Start, Filter + QStringLiteral(" (*.swf)"));
  Dialog->setObjectName(QStringLiteral("OpenDialog1"));
  // Qt's own dialog speaks the language chosen here; the desktop's would
  // speak the desktop's.
  Dialog->setOption(QFileDialog::DontUseNativeDialog);
  Dialog->setAcceptMode(QFileDialog::AcceptOpen);
  Dialog->setFileMode(QFileDialog::ExistingFile);
  return Dialog;
}

void TMainForm::RebuildRecentMenu() {
  submenuRecent->clear();
  const std::vector<std::string> Movies = FSettings.ReadRecentMovies();
  if (Movies.empty()) {
    submenuRecent->addAction(Lang(mesNoRecentMovies))->setEnabled(false);
    return;
  }
  int Number = 0;
  for (const std::string& Movie : Movies) {
    const QString Path = FromStd(Movie);
    QString Text = Path;
    Text.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* Item = submenuRecent->addAction(QStringLiteral("&%1 %2").arg(++Number).arg(Text));
    Item->setData(Path);
    connect(Item, &QAction::triggered, this, [this, Path] { OpenRecent(Path); });
  }
}

void TMainForm::OpenRecent(const QString& Path) {
  if (QFileInfo(Path).isFile()) {
    OpenMovie(Path);
    return;
  }
  FSettings.ForgetRecentMovie(Path.toStdString());
  RebuildRecentMenu();
  ShowNote(QMessageBox::Warning,
           LangFormat(FSettings.ProgramDir, mesRecentMissing, FSettings.Language, {Path}));
}

void TMainForm::ShowNote(QMessageBox::Icon Icon, const QString& Text) {
  QMessageBox Box(Icon, QGuiApplication::applicationDisplayName(), Text, QMessageBox::Ok, this);
  ShowMessage(Box);
}

void TMainForm::ApplyTexts() {
  QString Sign = Lang(mesNoImages);
  if (Sign.isEmpty()) Sign = QStringLiteral("NO IMAGES");
  Image2->SetPicture(NoImagesPicture(Sign));
  RebuildRecentMenu();
}

// ---------------------------------------------------------------------------
// Where the pictures go
// ---------------------------------------------------------------------------

std::string TMainForm::MovieOutputDir() const {
  if (FMoviePath.isEmpty()) return FSettings.OutputDir;
  const std::string Movie = FMoviePath.toStdString();
  const size_t Slash = Movie.find_last_of('/');
  return FSettings.OutputDir + (Slash == std::string::npos ? Movie : Movie.substr(Slash + 1)) + "/";
}

void TMainForm::AOpenImageFolderExecute() {
  const QString Folder = FromStd(FWorkspace.OutputDir);
  if (QFileInfo(Folder).isDir() && FolderOpener && FolderOpener(QUrl::fromLocalFile(Folder)))
    return;
  ShowNote(QMessageBox::Warning,
           LangFormat(FSettings.ProgramDir, mesFolderNotOpened, FSettings.Language, {Folder}));
}

void TMainForm::ReportSaveAllFailures(const QStringList& Lines) {
  TSaveAllBox Box(Lines, FSettings, this);
  ShowMessage(Box);
  if (Box.OpenFolderChosen()) AOpenImageFolderExecute();
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
  const TPictureFacts Facts = PictureFacts(FWorkspace.Pictures, Number);
  const bool Known = Facts.Size.isValid();
  return LangFormat(FSettings.ProgramDir, mesThumbnailTip, FSettings.Language,
                    {QString::number(Number), Facts.Kind,
                     Known ? QString::number(Facts.Size.width()) : QStringLiteral("?"),
                     Known ? QString::number(Facts.Size.height()) : QStringLiteral("?")});
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
  // The picture as Save writes it, into a folder of its own: the PNG where
  // there is transparency, else the JPEG or BMP.
  const std::string Folder = FWorkspace.WorkDir + "clipboard/";
  std::error_code Ignored;
  std::filesystem::create_directory(Folder, Ignored);
  const std::string Name = Folder + FSettings.Prefix + std::to_string(Number);
  QImage Picture;
  try {
    ExportPicture(FWorkspace, Number, Folder, FSettings.Prefix);
    if (FileExists(Name + ".png"))
      Picture = QImage(FromStd(Name + ".png"), "PNG");
    else if (FileExists(Name + ".gif"))
      Picture = QImage(FromStd(Name + ".gif"), "GIF");
    else if (FileExists(Name + ".jpg"))
      Picture = DecodeJPEGFile(Name + ".jpg");
    else if (FileExists(Name + ".bmp"))
      Picture = QImage(FromStd(Name + ".bmp"), "BMP");
  } catch (const std::exception&) {
    Picture = QImage();
  }
  std::filesystem::remove_all(Folder, Ignored);
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
