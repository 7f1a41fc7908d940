// The main window driven as the user drives it: start and close, open and
// thumbnails, the grid's columns, a movie opened from outside the window
// (command line, drop, recent list, open dialog), and a sample movie.
#include "MainFormFixture.h"

#include <QAbstractButton>
#include <QTextEdit>
#include <QTimer>

namespace {

// ---------------------------------------------------------------------------
// Start and close

TEST_F(MainFormTest, FirstStartUsesDefaultsHeldAtTheMinimumSize) {
  TMainForm& F = Start();
  EXPECT_EQ(F.pos(), QPoint(10, 10));
  EXPECT_EQ(F.size(), QSize(600, 300));  // width 400 held at the minimum
  EXPECT_EQ(F.windowTitle(), Lang("MainForm"));
  EXPECT_EQ(F.PanelText(1), Total(0));
  EXPECT_EQ(F.PanelText(3), Lang(mesFileNotLoaded));
  EXPECT_EQ(F.PanelText(0), "");
  EXPECT_FALSE(fs::exists(Program + "TEMP"));  // pictures pass in memory: no working folder
  EXPECT_EQ(IniReadString(Program + "Config.ini", "Config", "ImageDir", ""), Program + "IMAGES/");
  for (QAction* Item :
       {Action("ASave"), Action("ASaveAll"), Action("menuSave"), Action("menuSaveAll")})
    EXPECT_FALSE(Item->isEnabled()) << Item->objectName().toStdString();
  EXPECT_FALSE(Button("buttonSave")->isEnabled());
  EXPECT_TRUE(Action("menuOpen")->isEnabled());
  EXPECT_FALSE(InfoShown());
  EXPECT_FALSE(FAbout()->isVisible());
}

TEST_F(MainFormTest, ToolbarAndMenuItemsOfOneCommandEachGetTheirOwnText) {
  TMainForm& F = Start();
  for (const char* Name : {"buttonOpen", "buttonSave", "buttonSaveAll", "buttonHelp", "menuOpen",
                           "menuSave", "menuSaveAll", "menuHelp", "menuExit", "menuOptions"}) {
    auto* Item = F.findChild<QAction*>(Name);
    ASSERT_NE(Item, nullptr) << Name;
    EXPECT_EQ(Item->text(), Lang(Name)) << Name;
    EXPECT_FALSE(Item->text().isEmpty()) << Name;
  }
  EXPECT_EQ(Button("buttonOpen")->text(), Lang("buttonOpen"));
  EXPECT_EQ(Button("buttonOpen")->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  EXPECT_EQ(Button("buttonOpen")->icon().actualSize(QSize(32, 32)), QSize(32, 32));
  EXPECT_EQ(Menu("submenuFile")->title(), Lang("submenuFile"));
  EXPECT_EQ(Label("labelPicNum")->text(), Lang("labelPicNum"));
  // Both items of a command follow it.
  Action("ASaveAll")->setEnabled(true);
  EXPECT_TRUE(Action("menuSaveAll")->isEnabled());
  EXPECT_TRUE(Button("buttonSaveAll")->isEnabled());
}

TEST_F(MainFormTest, ConfigBoundsAreAppliedAndAWindowCannotShrinkBelowTheMinimum) {
  TMainForm& F = Start("[Size]\nTop=40\nLeft=30\nWidth=900\nHeight=650\n");
  EXPECT_EQ(F.pos(), QPoint(30, 40));
  EXPECT_EQ(F.size(), QSize(900, 650));
  F.resize(100, 100);
  EXPECT_EQ(F.size(), QSize(600, 300));
}

TEST_F(MainFormTest, FailedFirstWriteKeepsTheDesignedBounds) {
  fs::create_directory(Program + "Config.ini");  // readable as nothing, never writable
  TMainForm& F = Start();
  EXPECT_EQ(F.pos(), QPoint(267, 200));
  EXPECT_EQ(F.size(), QSize(792, 521));
}

TEST_F(MainFormTest, CloseWritesTheBoundsAndTheLanguage) {
  TMainForm& F = Start();
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  F.setGeometry(QRect(F.geometry().topLeft(), QSize(720, 480)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return F.size() == QSize(720, 480); }));
  Action("menuFrench")->trigger();
  const QPoint At = F.pos();
  Action("menuExit")->trigger();
  EXPECT_FALSE(F.isVisible());
  const std::string Config = Program + "Config.ini";
  EXPECT_EQ(IniReadInteger(Config, "Size", "Left", -1), At.x());
  EXPECT_EQ(IniReadInteger(Config, "Size", "Top", -1), At.y());
  EXPECT_EQ(IniReadInteger(Config, "Size", "Width", -1), 720);
  EXPECT_EQ(IniReadInteger(Config, "Size", "Height", -1), 480);
  EXPECT_EQ(IniReadString(Config, "Config", "Language", ""), "FRA");
}

TEST_F(MainFormTest, CloseWhileMaximisedOrMinimised) {
  // Maximised: the bounds it has then; minimised: the bounds it comes back to.
  for (bool Maximised : {true, false}) {
    TMainForm& F = Start();
    F.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
    F.resize(700, 450);
    ASSERT_TRUE(QTest::qWaitFor([&] { return F.size() == QSize(700, 450); }));
    if (Maximised) {
      F.showMaximized();
      ASSERT_TRUE(QTest::qWaitFor([&] { return F.width() > 700; }));
    } else {
      F.showMinimized();
      ASSERT_TRUE(QTest::qWaitFor([&] { return F.isMinimized(); }));
    }
    const QSize Want = Maximised ? F.size() : QSize(700, 450);
    F.close();
    const std::string Config = Program + "Config.ini";
    EXPECT_EQ(IniReadInteger(Config, "Size", "Width", -1), Want.width()) << Maximised;
    EXPECT_EQ(IniReadInteger(Config, "Size", "Height", -1), Want.height()) << Maximised;
  }
}

// ---------------------------------------------------------------------------
// Open and thumbnails

TEST_F(MainFormTest, OpenBuildsEveryThumbnailAndEndsReady) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  TViewWorkspace& W = F.Workspace();
  ASSERT_EQ(W.Pictures.Count, 7);
  const std::vector<QImage> Thumbs = Thumbnails();
  ASSERT_EQ(Thumbs.size(), 7u);
  for (const QImage& Thumb : Thumbs) {
    EXPECT_FALSE(Thumb.isNull());
    EXPECT_TRUE(Thumb.width() == 150 || Thumb.height() == 150);
  }
  EXPECT_EQ(Thumbs[1].size(), QSize(75, 150));
  EXPECT_EQ(W.ColumnsPerRow, 3);
  EXPECT_EQ(VDT()->RootNodeCount(), 3);  // 3 + 3 + 1
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
  EXPECT_EQ(F.PanelText(1), Total(7));
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  EXPECT_TRUE(Action("ASaveAll")->isEnabled());
  EXPECT_TRUE(Action("menuSaveAll")->isEnabled());
  EXPECT_FALSE(Action("ASave")->isEnabled());  // nothing previewed yet
  EXPECT_TRUE(VDT()->isVisible());
  EXPECT_FALSE(Image2()->isVisible());
  // The splash is closed and keeps its single border from now on.
  EXPECT_FALSE(FAbout()->isVisible());
  EXPECT_EQ(FAbout()->Border(), TFAbout::TBorder::Single);
  EXPECT_FALSE(ProgressBar1()->isVisible());
  // The per-movie folders exist; the thumbnails were drawn in memory, with
  // no scratch folder.
  const std::string Output = Program + "IMAGES/movie.swf/";
  EXPECT_EQ(W.OutputDir, Output);
  for (const char* Sub : {"", "PNG", "JPEG", "BMP"}) EXPECT_TRUE(fs::is_directory(Output + Sub));
  EXPECT_FALSE(fs::exists(Program + "TEMP"));
}

// Pictures pass in memory: windows running at once write nothing beside the
// program, and a start removes the working folders older versions left, as
// long as nobody holds them.
TEST_F(MainFormTest, WindowsKeepNoWorkingFolderAndRemoveThoseLeftBehind) {
  const std::string Left = Program + "TEMP/run-1-aaaaaa/";
  fs::create_directories(Left);
  WriteFileBytes(Left + ".lock", {});
  WriteFileBytes(Left + "alpha", {1});
  TMainForm& F = Start();
  EXPECT_FALSE(fs::exists(Program + "TEMP"));
  auto Second = std::make_unique<TMainForm>(*Settings);
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 2);
  EXPECT_TRUE(InfoShown());
  EXPECT_FALSE(fs::exists(Program + "TEMP"));
  Second.reset();
}

TEST_F(MainFormTest, MovieWithoutPicturesShowsThePlaceholder) {
  TMovieBuilder().End().Save(Program + "empty.swf");
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Program + "empty.swf");
  EXPECT_EQ(F.Workspace().Pictures.Count, 0);
  EXPECT_EQ(F.PanelText(1), Total(0));
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
  EXPECT_FALSE(Action("ASaveAll")->isEnabled());
  EXPECT_FALSE(Button("buttonSaveAll")->isEnabled());
  EXPECT_EQ(VDT()->RootNodeCount(), 0);
  EXPECT_FALSE(VDT()->isVisible());
  EXPECT_TRUE(Image2()->isVisible());
  EXPECT_TRUE(Image3()->isVisible());
  EXPECT_EQ(Image2()->Picture().size(), QSize(300, 225));
  EXPECT_FALSE(FAbout()->isVisible());
  EXPECT_TRUE(Boxes.isEmpty());
}

// A file that is no movie, one that cannot be read and a movie cut short each
// say what is wrong, in a box and in the status bar, in the sentences of
// quillory-extract; the NO IMAGES sign is kept for movies read whole.
TEST_F(MainFormTest, MoviesNotReadWholeSayWhatIsWrong) {
  WriteFileBytes(Program + "notes.swf", {'#', ' ', 'n', 'o', 't', 'e', 's', '\n'});
  const TBytes Jpeg = EncodeJPEG(Pattern(16, 16));
  TBytes Cut = TMovieBuilder(true)
                   .DefineBitsJPEG2(1, Jpeg)
                   .DefineBitsJPEG2(2, EncodeJPEG(Pattern(400, 400, 3)))
                   .End()
                   .Build();
  Cut.resize(Cut.size() / 2);
  WriteFileBytes(Program + "cut.swf", Cut);
  struct TCase {
    const char* Name;
    const char* Status;
    int Pictures;
  } Cases[] = {{"notes.swf", mesStatusNotAMovie, 0},
               {"missing.swf", mesStatusNotRead, 0},
               {"cut.swf", mesStatusDamaged, 2}};  // the second cut, zero-filled
  for (const char* Language : {"ENG", "FRA"}) {
    for (const TCase& C : Cases) {
      SCOPED_TRACE(std::string(Language) + " " + C.Name);
      TMainForm& F = Start();
      ShowWithGrid(530);
      if (std::string(Language) == "FRA") Action("menuFrench")->trigger();
      Boxes.clear();
      const std::string Path = Program + C.Name;
      Open(Path);
      ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes.isEmpty(); }));
      EXPECT_EQ(F.Workspace().Pictures.Count, C.Pictures);
      EXPECT_EQ(F.PanelText(0), LangText(Program, C.Status, Language));
      EXPECT_FALSE(Image2()->isVisible());  // not the sign of an empty movie
      EXPECT_TRUE(VDT()->isVisible());
      TWalkResult Walk;
      {
        TWorkspace W;
        ResetWorkspace(W);
        fs::create_directories(Program + "probe-images");
        Walk = OpenAndExtract(W, Path, Program + "probe-images/", nullptr);
      }
      const QString Sentence = TMainForm::WalkProblemSentence(Program, Language, Walk);
      ASSERT_FALSE(Sentence.isEmpty());
      EXPECT_TRUE(Boxes[0].Text.contains(Sentence)) << Boxes[0].Text.toStdString() << "\n"
                                                    << Sentence.toStdString();
      EXPECT_TRUE(Boxes[0].Text.startsWith(QString::fromStdString(Path)));
      EXPECT_EQ(Boxes[0].Text.contains(LangText(Program, mesPicturesBeforeDamage, Language)),
                C.Pictures > 0);
      // In English, word for word what quillory-extract says.
      if (std::string(Language) == "ENG") {
        EXPECT_EQ(Sentence.toStdString(), WalkProblemText(Walk));
      }
    }
  }
}

// What the reader noticed is behind the box's Show details button, which
// keeps this program's words each time it is pressed (Qt names it again in
// its own when the box is shown).
TEST_F(MainFormTest, TheLogOfAMovieNotReadWholeIsBehindShowDetails) {
  TBytes Movie = TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(8, 8))).Build();
  const TBytes PastTheEnd = {0x3F, 0x05, 0x88, 0x13, 0, 0, 1, 2, 3};  // 5000 bytes declared
  Movie.insert(Movie.end(), PastTheEnd.begin(), PastTheEnd.end());
  const uint32_t Length = uint32_t(Movie.size());
  for (int I = 0; I < 4; ++I) Movie[4 + I] = uint8_t(Length >> (8 * I));
  WriteFileBytes(Program + "past.swf", Movie);
  for (const char* Language : {"ENG", "FRA"}) {
    SCOPED_TRACE(Language);
    TMainForm& F = Start();
    ShowWithGrid(530);
    if (std::string(Language) == "FRA") Action("menuFrench")->trigger();
    Boxes.clear();
    QStringList Said;  // the button's text: before, after one press, after two
    bool DetailsShown = false;
    AnswerBox = [&](QMessageBox& Box) {
      QTimer::singleShot(0, &Box, [&] {
        auto* Button = Box.findChild<QAbstractButton*>(QStringLiteral("buttonShowDetails"));
        if (!Button) return Box.reject();
        Said << Button->text();
        Button->click();
        QCoreApplication::processEvents();
        Said << Button->text();
        const QTextEdit* Text = Box.findChild<QTextEdit*>();
        DetailsShown = Text && Text->isVisible();
        Button->click();
        QCoreApplication::processEvents();
        Said << Button->text();
        Box.accept();
      });
      Box.exec();
    };
    Open(Program + "past.swf");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes.isEmpty(); }));
    AnswerBox = nullptr;
    EXPECT_EQ(F.Workspace().Pictures.Count, 1);
    EXPECT_TRUE(Boxes[0].Detailed.startsWith(QStringLiteral("code ")))
        << Boxes[0].Detailed.toStdString();
    EXPECT_TRUE(Boxes[0].Detailed.contains(QStringLiteral("5000"))) << Boxes[0].Detailed.toStdString();
    EXPECT_TRUE(DetailsShown);
    const QString Show = LangText(Program, mesShowDetails, Language),
                  Hide = LangText(Program, mesHideDetails, Language);
    EXPECT_EQ(Said.join(QStringLiteral(" | ")).toStdString(),
              QStringList({Show, Hide, Show}).join(QStringLiteral(" | ")).toStdString());
  }
}

// A record of two bytes must not cost a thumbnail's worth of memory: a movie
// of a million empty records would otherwise hold gigabytes of marks.
TEST_F(MainFormTest, UndecodablePicturesShareOneMark) {
  TMovieBuilder Builder;
  for (uint16_t Id = 1; Id <= 40; ++Id) Builder.Tag(6, {});
  Builder.DefineBitsJPEG2(41, {0xFF, 0xD8, 0xFF, 0xDB, 0, 3, 9}).End().Save(Program + "marks.swf");
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Program + "marks.swf");
  ASSERT_EQ(F.Workspace().Pictures.Count, 41);
  const QImage First = F.ThumbnailImage(0);
  ASSERT_FALSE(First.isNull());
  int Made = 0;
  for (const QImage& Thumbnail : Thumbnails()) {
    if (Thumbnail.isNull()) continue;  // rows far from the view are not made
    ++Made;
    EXPECT_EQ(Thumbnail.size(), QSize(150, 150));
    EXPECT_EQ(Thumbnail.constBits(), First.constBits());
  }
  EXPECT_GE(Made, 9);                     // the rows in view and more
  EXPECT_EQ(F.Thumbnails().Bytes(), 0u);  // and none of them costs a byte
}

TEST_F(MainFormTest, UndecodablePictureIsMarkedAndTheBuildGoesOn) {
  TMovieBuilder()
      .DefineBitsJPEG2(1, {0xFF, 0xD8, 0xFF, 0xDB, 0, 3, 9})
      .DefineBitsLossless(2, 5, 2, 2, ARGBData(std::vector<uint32_t>(4, 0xFF0000FF)))
      .End()
      .Save(Program + "broken.swf");
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Program + "broken.swf");
  ASSERT_EQ(Thumbnails().size(), 2u);
  EXPECT_EQ(Thumbnails()[0].size(), QSize(150, 150));
  EXPECT_EQ(Thumbnails()[1].size(), QSize(150, 150));
  EXPECT_FALSE(FAbout()->isVisible());
  EXPECT_TRUE(Action("ASaveAll")->isEnabled());
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));

  // Clicking it previews nothing and leaves the window usable.
  F.VDTColumnClick(0, 1);
  EXPECT_TRUE(Action("ASave")->isEnabled());
  F.VDTColumnClick(0, 0);
  EXPECT_FALSE(Action("ASave")->isEnabled());
  EXPECT_FALSE(InfoShown());
  EXPECT_TRUE(Image1()->Picture().isNull());
  EXPECT_FALSE(ProgressBar1()->isVisible());
  EXPECT_FALSE(VDT()->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(F.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MainFormTest, ABuildWaitingForAReplacedOpenDoesNothing) {
  TMovieBuilder().End().Save(Program + "empty.swf");
  TMainForm& F = Start();
  ShowWithGrid(530);
  // Two opens before the first one's thumbnails are drawn, both ways round.
  F.OpenDialog1 = [&] { return QString::fromStdString(Movie); };
  F.AOpenExecute();
  F.OpenDialog1 = [&] { return QString::fromStdString(Program + "empty.swf"); };
  F.AOpenExecute();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !F.ThumbnailsPending(); }, 20000));
  EXPECT_EQ(F.Thumbnails().Count(), 0u);
  EXPECT_TRUE(Image2()->isVisible());
  EXPECT_FALSE(Action("ASaveAll")->isEnabled());

  F.AOpenExecute();  // the empty movie again, replaced at once
  Open(Movie);
  EXPECT_EQ(F.Thumbnails().Count(), 7u);
  EXPECT_EQ(VDT()->RootNodeCount(), 3);
  EXPECT_TRUE(VDT()->isVisible());
  EXPECT_TRUE(Action("ASaveAll")->isEnabled());
}

TEST_F(MainFormTest, CancelledOpenChangesNothing) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 0);
  Open("");
  EXPECT_EQ(F.Workspace().Pictures.Count, 7);
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  EXPECT_FALSE(Image1()->Picture().isNull());
  EXPECT_TRUE(InfoShown());
}

TEST_F(MainFormTest, EveryOpenReappliesTheLanguageAndDisablesSave) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 0);
  ASSERT_TRUE(Action("ASave")->isEnabled());
  IniWriteString(Program + "Lang.ini", "menuOpen", "ENG", "Open a movie now");
  Open(Movie);
  EXPECT_EQ(Action("menuOpen")->text(), "Open a movie now");
  EXPECT_FALSE(Action("ASave")->isEnabled());  // until a picture of this movie is clicked
  EXPECT_FALSE(Action("menuSave")->isEnabled());
  EXPECT_FALSE(InfoShown());
  EXPECT_TRUE(Image1()->Picture().isNull());
  F.VDTColumnClick(0, 0);
  EXPECT_TRUE(Action("ASave")->isEnabled());
}

// ---------------------------------------------------------------------------
// Grid

TEST_F(MainFormTest, ColumnsFollowTheGridWidth) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  TViewWorkspace& W = F.Workspace();
  struct TCase {
    int GridWidth, Columns, Rows;
  };
  ASSERT_EQ(VDT()->Model()->RowPictures(0).size(), 3u);
  const TCase Cases[] = {{530, 3, 3}, {700, 4, 2}, {359, 1, 7}, {360, 2, 4}};
  for (const TCase& C : Cases) {
    F.resize(C.GridWidth + GridMargin, F.height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return VDT()->width() == C.GridWidth; }));
    EXPECT_EQ(W.ColumnsPerRow, C.Columns) << C.GridWidth;
    EXPECT_EQ(VDT()->ColumnCount(), C.Columns) << C.GridWidth;
    EXPECT_EQ(VDT()->RootNodeCount(), C.Rows) << C.GridWidth;
    for (int J = 0; J < C.Columns; ++J) EXPECT_EQ(VDT()->columnWidth(J), 170);
    // The rows show the same thumbnails with the new columns.
    EXPECT_EQ(VDT()->Model()->RowPictures(0).size(), size_t(C.Columns));
  }
  const TSWFPictures Last = VDT()->Model()->RowPictures(3);
  ASSERT_EQ(Last.size(), 2u);
  EXPECT_EQ(Last[0].size(), F.ThumbnailImage(6).size());
  EXPECT_TRUE(Last[1].isNull());
}

TEST_F(MainFormTest, GridTooNarrowForOneCellShowsOneColumn) {
  TMainForm& F = Start("[Config]\nPicSize=400\n");
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  Open(Movie);
  EXPECT_LT(VDT()->width() - 20, 420);
  EXPECT_EQ(F.Workspace().ColumnsPerRow, 1);
  EXPECT_EQ(VDT()->ColumnCount(), 1);
  EXPECT_EQ(VDT()->RootNodeCount(), 7);
  EXPECT_EQ(VDT()->DefaultNodeHeight(), 420);
}

TEST(GridDrawing, ThumbnailsAreCentredInTheirCellsAsTheGridAlwaysDid) {
  struct TCase {
    QRect Cell;
    QSize Thumb;
    QPoint Want;
  };
  const TCase Cases[] = {
      {{0, 0, 170, 170}, {150, 150}, {12, 8}},        // 12 right, 8 down
      {{340, 170, 170, 170}, {150, 75}, {352, 215}},  // (170-75-4)/2 = 45
      {{0, 0, 170, 170}, {75, 150}, {49, 8}},
      {{0, 0, 170, 170}, {169, 169}, {3, -1}},  // -3 div 2 truncates to -1
  };
  for (const TCase& C : Cases)
    EXPECT_EQ(TThumbnailDelegate::ThumbnailOrigin(C.Cell, C.Thumb), C.Want);
}

// ---------------------------------------------------------------------------
// Opening from anywhere

TEST(CommandLine, MovieArgument) {
  const QString Here = QDir::currentPath();
  const std::pair<QStringList, QString> Cases[] = {
      {{"quillory"}, ""},
      {{"quillory", "/movies/a.swf"}, "/movies/a.swf"},
      {{"quillory", "--unknown", "/movies/a.swf", "/movies/b.swf"}, "/movies/a.swf"},
      {{"quillory", "--", "-dash.swf"}, Here + "/-dash.swf"},
      {{"quillory", "sub/b.swf"}, Here + "/sub/b.swf"},
      {{"quillory", "file:///movies/with%20blank.swf"}, "/movies/with blank.swf"},
  };
  for (const auto& [Arguments, Want] : Cases)
    EXPECT_EQ(TMainForm::MovieArgument(Arguments), Want) << Arguments.join(' ').toStdString();
}

TEST_F(MainFormTest, MovieGivenOnTheCommandLineOpens) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  F.OpenFromCommandLine({"quillory", QString::fromStdString(Movie)});
  WaitForOpen(7);
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  EXPECT_EQ(VDT()->RootNodeCount(), 3);
  EXPECT_TRUE(Action("ASaveAll")->isEnabled());
}

TEST_F(MainFormTest, DroppedMovieOpensAndOtherFilesAreRefused) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  const std::string Text = Program + "notes.txt";
  WriteFileBytes(Text, {'x'});
  const auto Drag = [&](const std::string& File, bool Drop) {
    QMimeData Data;
    Data.setUrls({QUrl::fromLocalFile(QString::fromStdString(File))});
    const QPoint At = VDT()->geometry().center();
    QDragEnterEvent Enter(At, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&F, &Enter);
    if (Drop && Enter.isAccepted()) {
      QDropEvent DropEvent(At, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(&F, &DropEvent);
    }
    return Enter.isAccepted();
  };
  EXPECT_FALSE(Drag(Text, true));
  EXPECT_FALSE(Drag(Program + "missing.swf", true));
  QTest::qWait(50);
  EXPECT_EQ(F.PanelText(3), Lang(mesFileNotLoaded));
  EXPECT_TRUE(Drag(Movie, true));
  WaitForOpen(7);
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
}

TEST_F(MainFormTest, OpenRecentListsMoviesAndTakesAMissingOneOff) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  const std::string Other = Program + "other.swf";
  fs::copy_file(Movie, Other);
  Open(Movie);
  Open(Other);
  const auto RecentItems = [&] {
    F.RebuildRecentMenu();
    QStringList Paths;
    for (QAction* Item : Menu("submenuRecent")->actions()) Paths << Item->data().toString();
    return Paths;
  };
  ASSERT_EQ(RecentItems(), QStringList({QString::fromStdString(Other),
                                        QString::fromStdString(Movie)}));  // newest first
  // A recent movie opens from the list.
  Menu("submenuRecent")->actions()[1]->trigger();
  WaitForOpen(7);
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  EXPECT_EQ(RecentItems().value(0), QString::fromStdString(Movie));

  // One that is gone is taken off the list, with a message naming it.
  fs::remove(Other);
  F.RebuildRecentMenu();
  Menu("submenuRecent")->actions()[1]->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Text, Lang(mesRecentMissing).replace("%1", QString::fromStdString(Other)));
  EXPECT_EQ(RecentItems(), QStringList({QString::fromStdString(Movie)}));
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));  // nothing else opened
  fs::remove(Movie);
  F.RebuildRecentMenu();
  Menu("submenuRecent")->actions()[0]->trigger();
  ASSERT_EQ(Menu("submenuRecent")->actions().size(), 1);
  EXPECT_EQ(Menu("submenuRecent")->actions()[0]->text(), Lang(mesNoRecentMovies));
  EXPECT_FALSE(Menu("submenuRecent")->actions()[0]->isEnabled());
}

TEST_F(MainFormTest, OpenDialogStartsInTheFolderOfTheLastMovie) {
  // An older Config.ini, without the key: it reads as before, and the
  // dialog starts in the home folder.
  const std::string Old = "[Config]\nImageDir=" + Program + "IMAGES/\nPrefix=Old\nPicSize=120\n" +
                          "[Size]\nTop=40\nLeft=30\nWidth=900\nHeight=650\n";
  TMainForm& F = Start(Old);
  EXPECT_EQ(Settings->Prefix, "Old");
  EXPECT_EQ(Settings->PicSize, 120);
  EXPECT_EQ(F.size(), QSize(900, 650));
  EXPECT_EQ(F.MakeOpenDialog()->directory().absolutePath(), QDir::homePath());
  EXPECT_TRUE(F.MakeOpenDialog()->testOption(QFileDialog::DontUseNativeDialog));

  fs::create_directory(Program + "films");
  const std::string InFolder = Program + "films/movie.swf";
  fs::copy_file(Movie, InFolder);
  Open(InFolder);
  EXPECT_EQ(F.MakeOpenDialog()->directory().absolutePath().toStdString(), Program + "films");
  // The key went to the end of its section; the rest of the file is untouched.
  std::string Config;
  for (uint8_t Byte : ReadFileBytes(Program + "Config.ini")) Config += char(Byte);
  const std::string WantStart = "[Config]\nImageDir=" + Program + "IMAGES/\nPrefix=Old\n" +
                                "PicSize=120\nOpenDir=" + Program + "films/\n[Size]\n";
  EXPECT_EQ(Config.substr(0, WantStart.size()), WantStart);
  // And the next start finds it.
  TMainForm& Again = Start();
  EXPECT_EQ(Again.MakeOpenDialog()->directory().absolutePath().toStdString(), Program + "films");
}

// ---------------------------------------------------------------------------
// The real thing

TEST_F(MainFormTest, SampleMovieWithEveryKind) {
  const std::string Sample = std::string(QUILLORY_CORPUS_DIR) + "/mixed-all-kinds.swf";
  if (!fs::exists(Sample)) GTEST_SKIP() << "sample movies not found in " << QUILLORY_CORPUS_DIR;
  TMainForm& F = Start();
  ShowWithGrid(700);
  Open(Sample);
  EXPECT_EQ(F.Workspace().Pictures.Count, 12);
  EXPECT_EQ(F.PanelText(1), Total(12));
  EXPECT_EQ(VDT()->RootNodeCount(), 3);
  for (int N = 0; N < 12; ++N) {
    F.VDTColumnClick(N / 4, N % 4);
    EXPECT_TRUE(InfoShown()) << N;
  }
}

}  // namespace
