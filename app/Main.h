// The main window: menus, toolbar, the thumbnail grid with its preview pane,
// the status bar, and the commands that open a movie, save its pictures,
// switch the language and show the other windows.
//
// Its definitions, by concern: Main.cpp (creation, status texts, commands,
// close), MainLayout.cpp (the components and their places), MainOpen.cpp
// (opening a movie and its thumbnails, from the dialog or from outside) and
// MainBrowse.cpp (the grid, the preview and its information, Copy). The
// observer of its long operations is in WindowObserver.h.
#pragma once

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
#include "extract/Export.h"
#include "render/Render.h"
#include "render/ThumbnailCache.h"

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
class TFAbout;
class TFHelpError;
class TOptionsForm;
class TPictureView;
class TResizeDock;
class TStatusPanel;
class TThumbnailGrid;
class TWorkerPool;

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
  // True while thumbnails the grid shows or will soon show are being made.
  bool ThumbnailsPending() { return !FThumbnails.Idle(); }
  // Thumbnail Number as the grid paints it: null while it is not made, the
  // mark of a picture that cannot be drawn when it cannot be.
  QImage ThumbnailImage(int32_t Number);
  TThumbnailCache& Thumbnails() { return FThumbnails; }

  // Opens Path as the Open command does once a movie is chosen.
  void OpenMovie(const QString& Path);
  // Opens Path as soon as the window is idle (after the current open or
  // Save all).
  void OpenWhenIdle(const QString& Path);
  // The program's command line: "quillory [MOVIE.swf]" opens the movie.
  void OpenFromCommandLine(const QStringList& Arguments);
  // The movie named by a command line (made absolute), or empty.
  static QString MovieArgument(const QStringList& Arguments);
  // The local .swf file a drag carries, or empty.
  static QString DroppedMovie(const QMimeData* Data);
  // True while an open or a Save all runs (thumbnails are made alongside
  // whatever the window does).
  bool Busy() const { return FWalking || FSaving; }

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
  // Asks for the thumbnails of the rows in view, then of the rows near them.
  void WantThumbnails();
  void LayoutGrid();
  // A click on the cell at Row, Column of the grid.
  void VDTColumnClick(int Row, int Column);
  // The information pane of picture Number, from its facts.
  void ShowPictureInfo(int32_t Number);
  void ShowInfoLabels(bool Visible);

  // Colour mode text of a picture with this many bits per pixel (15 for a
  // 16-bit BMP with 5-5-5 pixels); empty when there is none.
  static QString ColorModeText(int BitsPerPixel);
  // The same in the current language (the English text when Lang.ini has none).
  QString LocalColorModeText(int BitsPerPixel) const;
  // Tooltip of picture Number in the grid: its number, kind and size, its
  // character ID and first name, and the binary data it lies in.
  QString ThumbnailTip(int32_t Number) const;
  // The character ID and first name of picture Number ("12 Logo"), and the
  // binary data it lies in, outermost first ("5 > 9"; empty for the movie's
  // own pictures).
  static QString CharacterText(const TPictureFacts& Facts);
  static QString CarrierPath(const std::vector<uint16_t>& Carrier);
  // Why the movie of Walk was not read whole, in Language (empty when it
  // was): the sentence quillory-extract gives.
  static QString WalkProblemSentence(const std::string& ProgramDir, const std::string& Language,
                                     const TWalkResult& Walk);
  // Everything an open has to tell, in the interface's language: the
  // movie's problem, then each carried movie not read whole and each picture
  // memory was too short for, a sentence a line. Empty when there is nothing.
  QString WalkReport(const TWalkResult& Walk) const;
  // "Not enough memory for picture N (W x H)." in the interface's language.
  QString MemoryShortSentence(int32_t Number, TPictureSize Size) const;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  class TWindowObserver;

  // Components, by the names their texts are stored under; tests and other
  // code find them by these names (findChild).
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
  QLabel* labelCharacter;  // the character ID and its first name
  QLabel* labelCarrier;    // the binary data a carried picture lies in
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label7;
  QLabel* Label8;
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

  void BuildLayout();
  void BuildCommands();
  // Texts that are not captions: the NO IMAGES sign, the empty recent list.
  void ApplyTexts();
  void SetLanguage(const char* Language);
  void ShowNote(QMessageBox::Icon Icon, const QString& Text);
  // A warning with Details (one entry a line) behind a "Show details" button.
  void ShowProblem(const QString& Text, const QString& Details);
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
  // Rows the grid has for the pictures of the open movie.
  int ShowableRows() const;
  // The end of an open: the grid, the status bar and what the open has to tell.
  // AlreadyTold: the open failed with a message of its own, so its walk's
  // report (a default result, "cannot be read") is not shown on top of it.
  void ShowOpened(bool AlreadyTold = false);
  void Repaint(QWidget* Widget);
  TPictureSettings PictureSettings() const;
  TExportOptions ExportOptions() const;
  // The core's texts (paths, messages) are UTF-8.
  static QString FromStd(const std::string& Text) { return QString::fromStdString(Text); }

  TSettings& FSettings;
  TViewWorkspace FWorkspace;
  std::vector<TStatusPanel*> FPanels;
  std::array<std::function<QString()>, 5> FPanelMessages;
  bool FLayoutPending = true;
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
  // After the workspace: it reads the workspace's pictures, so it goes first.
  TThumbnailCache FThumbnails;
  QImage FMark;  // of pictures that cannot be drawn: one for all of them
};
