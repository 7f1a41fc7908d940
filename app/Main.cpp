// The main window's creation, its status bar texts, its commands (Save,
// Save all, Help, the languages, Options, About), its close, and the folder
// its pictures are saved in.
#include "app/Main.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextEdit>
#include <QUrl>
#include <atomic>
#include <thread>

#include "app/About.h"
#include "app/GridArtwork.h"
#include "app/HelpError.h"
#include "app/Lang.h"
#include "app/Options.h"
#include "app/PictureView.h"
#include "app/SaveAllBox.h"
#include "app/StatusPanel.h"
#include "app/WindowObserver.h"
#include "extract/Workers.h"
#include "platform/WorkingFolder.h"

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

TMainForm::TMainForm(TSettings& Settings, QWidget* Parent)
    : QMainWindow(Parent), FSettings(Settings) {
  // Pictures pass in memory; working folders that older versions left behind
  // go.
  RemoveAbandonedWorkingFolders(Settings.Folders.WorkDir);
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
  // The thumbnails in hand are finished before the pictures they are made
  // from go.
  FClosing = true;
  FThumbnails.End();
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
  return {FSettings.BGSquareSize, FSettings.BGColor, FSettings.PicSize, FSettings.Premultiplied};
}

TExportOptions TMainForm::ExportOptions() const {
  return {FSettings.NamesInFiles, FSettings.Premultiplied};
}

void TMainForm::ShowNote(QMessageBox::Icon Icon, const QString& Text) {
  QMessageBox Box(Icon, QGuiApplication::applicationDisplayName(), Text, QMessageBox::Ok, this);
  ShowMessage(Box);
}

void TMainForm::ShowProblem(const QString& Text, const QString& Details) {
  QMessageBox Box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), Text,
                  QMessageBox::Ok, this);
  if (!Details.isEmpty()) {
    Box.setDetailedText(Details);
    // The box's own button, in this program's words; it says what it will do
    // each time it is pressed. The box connects its own handler again when
    // it is shown, after this one, and names the button in Qt's words: ours
    // is put back once that has run.
    for (QAbstractButton* Button : Box.buttons()) {
      if (Box.buttonRole(Button) != QMessageBox::ActionRole) continue;
      Button->setObjectName(QStringLiteral("buttonShowDetails"));
      Button->setText(Lang(mesShowDetails));
      connect(
          Button, &QAbstractButton::clicked, &Box,
          [this, &Box, Button] {
            const QWidget* Shown = Box.findChild<QTextEdit*>();
            Button->setText(Lang(Shown && Shown->isVisible() ? mesHideDetails : mesShowDetails));
          },
          Qt::QueuedConnection);
    }
  }
  ShowMessage(Box);
}

void TMainForm::ApplyTexts() {
  QString Sign = Lang(mesNoImages);
  if (Sign.isEmpty()) Sign = QStringLiteral("NO IMAGES");
  Image2->SetPicture(NoImagesPicture(Sign));
  RebuildRecentMenu();
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void TMainForm::ASaveExecute() {
  if (Busy()) return;  // Save all may be writing the same file
  TWindowObserver Observer(*this);
  if (SavePicture(FWorkspace, FSettings.Prefix, &Observer, ExportOptions()).Whole()) {
    SetPanelMessage(
        0, [this, Number = FWorkspace.SelectedPicture, Folder = FromStd(FWorkspace.OutputDir)] {
          return FromStd(FSettings.Prefix) + QLatin1Char(' ') + QString::number(Number) +
                 QLatin1Char(' ') + Lang(mesSave) + QLatin1Char(' ') +
                 LangFormat(FSettings.ProgramDir, mesSavedIn, FSettings.Language, {Folder});
        });
    return;
  }
  ErrorBox(this, Observer.Failures.join(QLatin1Char('\n')));
}

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
      Failures =
          SaveAllPictures(FWorkspace, FSettings.Prefix, &Relay, FPool.get(), ExportOptions());
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
  } catch (const std::exception& Error) {
    // Settings that cannot be written are not worth keeping the window for.
    qWarning("quillory: the settings were not saved: %s", Error.what());
  }
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
