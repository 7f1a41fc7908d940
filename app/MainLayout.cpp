// The main window's components: the commands, the menu bar and the toolbar,
// the grid and the preview pane with its information, the status bar, and
// where each goes when the window is resized.
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Grid.h"
#include "app/GridArtwork.h"
#include "app/Lang.h"
#include "app/Main.h"
#include "app/PictureView.h"
#include "app/ResizeDock.h"
#include "app/StatusPanel.h"

namespace {

constexpr int InfoPanelHeight = 159;
constexpr int StatusBarHeight = 20;

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
  VDT->Model()->Thumbnail = [this](int32_t Number) { return ThumbnailImage(Number); };
  // Thumbnails are made for the rows in view and near them, and painted as
  // they come.
  connect(VDT, &TThumbnailGrid::ViewChanged, this, &TMainForm::WantThumbnails);
  connect(&FThumbnails, &TThumbnailCache::Built, this, [this](int32_t Number) {
    VDT->viewport()->update(VDT->visualRect(VDT->CellOf(Number)));
  });
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
  labelCharacter = InfoLabel(LangName::labelCharacter, "Character ID", 5, 108, 100, InfoPanel);
  labelCarrier = InfoLabel(LangName::labelCarrier, "Lies in", 5, 132, 100, InfoPanel);
  // Room for the longest colour mode, "32 bpp (RGB compression)".
  constexpr int ValueLeft = 112;
  const int ValueWidth = InfoPanelWidth - ValueLeft - 4;
  Label1 = InfoLabel("Label1", QString(), ValueLeft, 12, ValueWidth, InfoPanel);
  Label2 = InfoLabel("Label2", QString(), ValueLeft, 36, ValueWidth, InfoPanel);
  Label3 = InfoLabel("Label3", QString(), ValueLeft, 60, ValueWidth, InfoPanel);
  Label4 = InfoLabel("Label4", QString(), ValueLeft, 84, ValueWidth, InfoPanel);
  Label7 = InfoLabel("Label7", QString(), ValueLeft, 108, ValueWidth, InfoPanel);
  Label8 = InfoLabel("Label8", QString(), ValueLeft, 132, ValueWidth, InfoPanel);

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
