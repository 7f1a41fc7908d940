// The main window: menus, toolbar, the thumbnail grid with its preview pane,
// the status bar, and the commands that open a movie, save its pictures,
// switch the language and show the other windows.
#pragma once

#include <QFrame>
#include <QMainWindow>
#include <QMessageBox>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "app/ErrorBox.h"
#include "app/Help.h"
#include "app/Settings.h"
#include "platform/WorkingFolder.h"
#include "render/Render.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QFileDialog;
class QMimeData;
class QLabel;
class QScrollArea;
class QMenu;
class QMenuBar;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class TCommandAction;
class TDrawThread;
class TFAbout;
class TFHelpError;
class TOptionsForm;
class TThumbnailGrid;
class TWorkerPool;

// A picture shown in an image control: Centered keeps the picture's size
// (shrinking it, in proportion, only when it does not fit); otherwise it is
// stretched over the whole control. A zoom of 1, 2 or 4 shows a centred
// picture at that many times its size instead, pixel for pixel (no
// smoothing), and asks for at least that much room, so a scroll area
// around it scrolls.
class TPictureView : public QWidget {
  Q_OBJECT
 public:
  explicit TPictureView(bool Centered, QWidget* Parent = nullptr);

  const QImage& Picture() const { return FPicture; }
  void SetPicture(const QImage& Picture);
  void Clear() { SetPicture(QImage()); }
  // Where the picture is drawn in the control (empty without a picture).
  QRect PictureRect() const;

  // 0: fit into the control; 1, 2, 4: actual size and its multiples.
  int Zoom() const { return FZoom; }
  void SetZoom(int Zoom);

 signals:
  void DoubleClicked();

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  void FitRoom();

  bool FCentered;
  int FZoom = 0;
  QImage FPicture;
};

// The box at the end of a Save all that did not write everything: the
// lines under a heading, a button that opens the image folder and a Close
// button, all in the current language. The caller shows it.
class TSaveAllBox : public QMessageBox {
  Q_OBJECT
 public:
  TSaveAllBox(const QStringList& Lines, const TSettings& Settings, QWidget* Owner = nullptr);

  QPushButton* buttonOpenImageFolder;
  bool OpenFolderChosen() const;
};

// One panel of the status bar: its own text, drawn under whatever control
// it hosts.
class TStatusPanel : public QFrame {
  Q_OBJECT
 public:
  // A panel of Width pixels, wider when its text needs more, unless it
  // takes the width left over (Stretch).
  TStatusPanel(Qt::Alignment Alignment, bool Framed, int Width, bool Stretch,
               QWidget* Parent = nullptr);

  const QString& Text() const { return FText; }
  void SetText(const QString& Text);
  // Makes Control fill the panel.
  void Host(QWidget* Control);

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  void FitText();

  Qt::Alignment FAlignment;
  int FWidth;
  bool FStretch;
  QString FText;
};

// The left dock: tells the window whenever its size changes.
class TResizeDock : public QWidget {
  Q_OBJECT
 public:
  explicit TResizeDock(QWidget* Parent = nullptr) : QWidget(Parent) {}

 signals:
  void Resized();

 protected:
  void resizeEvent(QResizeEvent* Event) override;
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the window and runs its creation handler (settings, status
  // texts, workspace reset), then creates the About box, the options dialog
  // and the help-error box, in this order, all hidden.
  explicit TMainForm(TSettings& Settings, QWidget* Parent = nullptr);
  ~TMainForm() override;

  static constexpr int DesignedLeft = 267, DesignedTop = 200;
  static constexpr int DesignedWidth = 792, DesignedHeight = 521;
  static constexpr int MinWidth = 600, MinHeight = 300;
  static constexpr int InfoPanelWidth = 287;  // TBXToolWindow2's client width

  // Components, by the names their texts are stored under.
  QWidget* TBXDock1;
  QMenuBar* MainMenu;
  QToolBar* Toolbar;
  TResizeDock* TBXDock2;
  QWidget* TBXToolWindow1;
  TThumbnailGrid* VDT;
  TPictureView* Image2;  // NO IMAGES
  TPictureView* Image3;  // white background behind it
  QWidget* TBXToolWindow2;
  QScrollArea* ImageScroll;  // scrolls the preview at actual size
  TPictureView* Image1;      // the preview
  QLabel* labelPicNum;
  QLabel* labelType;
  QLabel* labelDimensions;
  QLabel* labelColorMode;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QStatusBar* TBXStatusBar1;
  QProgressBar* ProgressBar1;
  QLabel* Label5;
  QLabel* Label6;
  QToolButton* buttonOpen;
  QToolButton* buttonSave;
  QToolButton* buttonSaveAll;
  QToolButton* buttonHelp;
  QMenu* submenuFile;
  QAction* menuOpen;
  QAction* menuSave;
  QAction* menuSaveAll;
  QAction* menuExit;
  QMenu* submenuRecent;
  QAction* menuOpenImageFolder;
  QMenu* submenuEdit;
  QAction* menuCopy;
  QMenu* submenuView;
  QAction* menuEnglish;
  QAction* menuFrench;
  QAction* menuFitPreview;
  QAction* menuActualSize;
  QAction* menuZoom2;
  QAction* menuZoom4;
  QAction* menuOptions;
  QMenu* submenuHelp;
  QAction* menuHelp;
  QAction* menuAbout;
  // The commands; each toolbar button and menu item of a command is an
  // item of its own (named like the button or menu item, so its text is
  // translated) that runs the command and follows its enabled state.
  TCommandAction* AOpen;
  TCommandAction* ASave;
  TCommandAction* ASaveAll;
  TCommandAction* AHelp;
  TCommandAction* ACopy;
  TCommandAction* AOpenImageFolder;

  TFAbout* FAbout = nullptr;
  TOptionsForm* OptionsForm = nullptr;
  TFHelpError* FHelpError = nullptr;

  // The open dialog: answers the chosen movie, or empty when cancelled.
  std::function<QString()> OpenDialog1;
  // The dialog OpenDialog1 shows: Qt's own (so it speaks the chosen
  // language), starting in the folder of the last movie opened.
  std::unique_ptr<QFileDialog> MakeOpenDialog();
  // The standard error box.
  TErrorBox ErrorBox = ShowStandardError;
  // How the window's other message boxes are shown (modally).
  std::function<void(QMessageBox& Box)> ShowMessage;
  // Opens a folder in the desktop's file manager.
  TUrlOpener FolderOpener = OpenUrlWithDesktop;
  // How the Help command opens the document and shows its boxes.
  THelpOpener HelpOpener = DefaultHelpOpener();
  THelpBoxes HelpBoxes;
  // How the About box and the options dialog are shown (modally).
  std::function<int(QDialog& Dialog)> ShowModal;

  TSettings& Settings() { return FSettings; }
  TViewWorkspace& Workspace() { return FWorkspace; }

  QString PanelText(int Panel) const;
  // True from the end of an open until its thumbnails are built.
  bool ThumbnailsPending() const { return FPendingBuild != 0; }

  // Opens Path as the Open command does once a movie is chosen.
  void OpenMovie(const QString& Path);
  // Opens Path as soon as the window is idle (after the current open,
  // thumbnail build or Save all).
  void OpenWhenIdle(const QString& Path);
  // The program's command line: "quillory [MOVIE.swf]" opens the movie.
  void OpenFromCommandLine(const QStringList& Arguments);
  // The movie named by a command line (made absolute), or empty.
  static QString MovieArgument(const QStringList& Arguments);
  // The local .swf file a drag carries, or empty.
  static QString DroppedMovie(const QMimeData* Data);
  // True while an open, a thumbnail build or a Save all runs.
  bool Busy() const { return FWalking || FBuilding || FSaving; }

  // The folder Save and Save all write into: the image folder + the movie's
  // file name + "/" once a movie was opened, the image folder before.
  std::string MovieOutputDir() const;
  // Preview zoom: 0 fits the pane; 1, 2, 4 show actual size and multiples.
  void SetPreviewZoom(int Zoom);
  void TogglePreviewZoom();
  // The picture of the current preview with its own transparency (not
  // the checkerboard rendering); null when it cannot be had.
  QImage PictureWithAlpha(int32_t Number);
  // The Save all box for Lines; asks to open the folder when its button is chosen.
  void ReportSaveAllFailures(const QStringList& Lines);
  void RebuildRecentMenu();
  void OpenRecent(const QString& Path);

  // Handlers.
  void AOpenExecute();
  void ASaveExecute();
  void ASaveAllExecute();
  void AHelpExecute();
  void menuExitClick();
  void menuEnglishClick();
  void menuFrenchClick();
  void menuOptionsClick();
  void menuAboutClick();
  void ACopyExecute();
  void AOpenImageFolderExecute();
  // A cell chosen with the mouse or the keyboard: it becomes the current
  // picture and is previewed.
  void GridCellChosen(int Row, int Column);

  // The window's part of a workspace reset, around the core's.
  void ResetWorkspace();
  // Builds every thumbnail of the open whose number is Generation; a build
  // whose open was replaced by a newer one does nothing.
  void DrawPictures(uint64_t Generation);
  void LayoutGrid();
  // A click on the cell at Row, Column of the grid.
  void VDTColumnClick(int Row, int Column);
  void ShowPictureInfo(const QString& Kind, int32_t Number, int Width, int BitsPerPixel,
                       int Height);
  void ShowInfoLabels(bool Visible);

  // Colour mode text of a picture with this many bits per pixel (15 for a
  // 16-bit BMP with 5-5-5 pixels); empty when there is none.
  static QString ColorModeText(int BitsPerPixel);
  // The same in the current language (the English text when Lang.ini has none).
  QString LocalColorModeText(int BitsPerPixel) const;
  // Tooltip of picture Number in the grid: its number, kind and size.
  QString ThumbnailTip(int32_t Number) const;
  // The splash bar's position once Done of Count thumbnails are built: the
  // exact share of 85, so the bar moves for any count.
  static int SplashShare(int32_t Done, int32_t Count);
  // Why the movie of Walk was not read whole, in Language (empty when it
  // was): the sentence quillory-extract gives.
  static QString WalkProblemSentence(const std::string& ProgramDir, const std::string& Language,
                                     const TWalkResult& Walk);

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  class TWindowObserver;

  void BuildLayout();
  void BuildCommands();
  // Texts that are not captions: the NO IMAGES sign, the empty recent list.
  void ApplyTexts();
  void SetLanguage(const char* Language);
  void ShowNote(QMessageBox::Icon Icon, const QString& Text);
  void FormCreate();
  void FormResize();
  void FormClose();
  void SetPanelText(int Panel, const QString& Text);
  // A panel text made of language texts, made again when the language changes.
  void SetPanelMessage(int Panel, std::function<QString()> Message);
  void RetranslatePanels();
  QString Lang(const char* Key) const;
  void UpdateTotal(int32_t Count);
  // ColumnsPerRow from the grid's width, with the grid's columns made to
  // match; true when the number of columns changed.
  bool FitColumns();
  // Rows the grid may show now: complete rows while thumbnails are still
  // being built, every row once they are done.
  int ShowableRows() const;
  void StartDrawThread(uint64_t Generation);
  void Repaint(QWidget* Widget);
  TPictureSettings PictureSettings() const;

  TSettings& FSettings;
  TWorkingFolder FWorkingFolder;  // this window's own, below TEMP/
  TViewWorkspace FWorkspace;
  std::vector<TStatusPanel*> FPanels;
  std::array<std::function<QString()>, 5> FPanelMessages;
  bool FLayoutPending = true;
  uint64_t FGeneration = 0;    // number of the latest open
  uint64_t FPendingBuild = 0;  // open whose thumbnails are awaited, 0 for none
  bool FBuilding = false;
  int32_t FThumbnailsDone = 0;  // thumbnails of the current movie built so far
  bool FClosing = false;
  bool FWalking = false;
  bool FSaving = false;
  std::atomic<bool> FStopSaving{false};  // Save all stops after the pictures in hand
  bool FCloseAfterSave = false;          // a close asked for during Save all
  bool FPreviewShown = false;            // the preview shows the picture Save writes
  std::unique_ptr<TWorkerPool> FPool;    // Save all's threads, made at the first
  QString FMoviePath;                    // the movie opened last, empty before the first
  TWalkResult FWalk;                     // how the open of the movie shown went
  bool FPreviewReduced = false;          // the preview shows fewer pixels than its picture has
  int FLastZoom = 1;                     // the zoom a double-click goes back to
  std::vector<TDrawThread*> FThreads;    // threads not finished yet
};
