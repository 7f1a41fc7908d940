// Opening a movie: the workspace reset, the walk, the thumbnail build and
// what is said about a movie not read whole; and the ways a movie comes in
// from outside: the open dialog, the command line, a drop, the recent list.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>
#include <cstring>

#include "app/About.h"
#include "app/Grid.h"
#include "app/GridArtwork.h"
#include "app/Lang.h"
#include "app/Main.h"
#include "app/PictureView.h"
#include "app/WindowObserver.h"

// ---------------------------------------------------------------------------
// Workspace, open and thumbnails
// ---------------------------------------------------------------------------

void TMainForm::ResetWorkspace() {
  ShowInfoLabels(false);
  VDT->SetRootNodeCount(0);
  FThumbnails.End();  // before the pictures it draws from change
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
  TWindowObserver Observer(*this);
  FMoviePath = Path;
  FWalking = true;
  TWalkResult Walk;
  bool Told = false;
  try {
    Walk = ::OpenAndExtract(FWorkspace, Path.toStdString(),
                            FSettings.ReadImageDir(TSettings::DefaultRootDir), &Observer);
  } catch (const std::exception& Error) {
    ErrorBox(this, QString::fromUtf8(Error.what()));
    Told = true;
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
  ShowOpened(Told);
}

void TMainForm::ShowOpened(bool AlreadyTold) {
  const int32_t Count = FWorkspace.Pictures.Count;
  // Ready as soon as the walk is over: the thumbnails of the rows in view
  // come first, as they are made, and every command works without them.
  FThumbnails.Begin(FWorkspace.Pictures, PictureSettings());
  FMark = UndecodablePicture(FSettings.PicSize);
  VDT->SetRootNodeCount(ShowableRows());
  WantThumbnails();

  ProgressBar1->hide();
  // The keys go back to the window once the splash is gone (when the
  // program still had them).
  const QWidget* Active = QApplication::activeWindow();
  const bool Ours = Active == this || Active == FAbout;
  FAbout->EndSplash();
  if (Ours && isVisible()) activateWindow();
  // A movie not read whole says what is wrong, in the status bar and in a
  // box, with what the reader noticed behind "Show details"; the NO IMAGES
  // sign is for movies read whole that hold no picture.
  const TWalkProblem Problem = WalkProblem(FWalk);
  const char* Status = Problem == wpNone         ? (ReadWhole(FWalk) ? mesReady : mesStatusDamaged)
                       : Problem == wpCannotRead ? mesStatusNotRead
                       : Problem == wpNotAMovie  ? mesStatusNotAMovie
                       : Problem == wpBodyMemory || Problem == wpOutOfMemory ? mesStatusMemory
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
  const QString Report = WalkReport(FWalk);
  if (Report.isEmpty() || AlreadyTold) return;
  QStringList Details;
  for (const tDebuggerEntry& Entry : FWalk.Log) Details << FromStd(LogEntryText(Entry));
  if (FWalk.LogDropped > 0)
    Details << LangFormat(FSettings.ProgramDir, mesMoreLogEntries, FSettings.Language,
                          {QString::number(FWalk.LogDropped)});
  ShowProblem(FMoviePath + QLatin1String("\n\n") + Report, Details.join(QLatin1Char('\n')));
}

int TMainForm::ShowableRows() const {
  const int Columns = std::max(1, FWorkspace.ColumnsPerRow);
  return int((int64_t(FWorkspace.Pictures.Count) + Columns - 1) / Columns);
}

void TMainForm::WantThumbnails() {
  size_t InView = 0;
  const std::vector<int32_t> Numbers = VDT->PicturesToShow(2, InView);
  FThumbnails.Want(Numbers, InView);
}

QImage TMainForm::ThumbnailImage(int32_t Number) {
  const std::optional<TThumbnail> Thumbnail = FThumbnails.Find(Number);
  if (!Thumbnail) return {};
  return Thumbnail->Failed ? FMark : Thumbnail->Painted();
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
    case wpBodyMemory:
      return Text(mesBodyMemory);
    case wpOutOfMemory:
      return Text(mesWalkMemory);
    default:
      return {};
  }
}

QString TMainForm::MemoryShortSentence(int32_t Number, TPictureSize Size) const {
  if (!Size.Known()) return LangFormat(FSettings.ProgramDir, mesPictureMemoryNoSize, FSettings.Language,
                                       {QString::number(Number)});
  return LangFormat(FSettings.ProgramDir, mesPictureMemory, FSettings.Language,
                    {QString::number(Number), QString::number(Size.Width),
                     QString::number(Size.Height)});
}

QString TMainForm::WalkReport(const TWalkResult& Walk) const {
  QStringList Lines;
  const TWalkProblem Problem = WalkProblem(Walk);
  if (Problem != wpNone) {
    QString Text = WalkProblemSentence(FSettings.ProgramDir, FSettings.Language, Walk);
    if (FWorkspace.Pictures.Count > 0 && Problem != wpBodyMemory)
      Text += QLatin1Char(' ') + Lang(Problem == wpNotAMovie || Problem == wpBodyLost
                                          ? mesPicturesFoundShown
                                          : mesPicturesBeforeDamage);
    Lines << Text;
  }
  for (const TCarriedWalk& Carried : Walk.Carried)
    if (WalkProblem(Carried.Walk) != wpNone)
      Lines << LangFormat(FSettings.ProgramDir, mesCarriedProblem, FSettings.Language,
                          {CarrierPath(Carried.Carrier),
                           WalkProblemSentence(FSettings.ProgramDir, FSettings.Language,
                                               Carried.Walk)});
  for (const TMemoryShort& Short : Walk.MemoryShort)
    Lines << MemoryShortSentence(Short.Number, Short.Size);
  return Lines.join(QLatin1Char('\n'));
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
