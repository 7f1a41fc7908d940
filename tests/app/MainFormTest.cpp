// The main window driven as the user drives it: start, open, thumbnails,
// grid layout, clicks, Save and Save all, language, close. Every test runs
// in a program folder of its own with a copy of the shipped Lang.ini.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "QtTestApp.h"
#include "app/About.h"
#include "app/Artwork.h"
#include "app/Grid.h"
#include "app/GridArtwork.h"
#include "app/HelpError.h"
#include "app/Lang.h"
#include "app/Main.h"
#include "platform/IniFile.h"
#include "tests/support/MovieBuilder.h"

namespace fs = std::filesystem;

namespace {

const QRgb GreyPixel = qRgb(204, 204, 204);

// Room the window keeps beside the grid: the info pane (287), the gap
// between the panes (8) and the grid's own margins (8).
constexpr int GridMargin = 303;

TRgbPicture SolidRgb(int Width, int Height, uint8_t R, uint8_t G, uint8_t B) {
  TRgbPicture Picture{Width, Height, {}};
  for (int i = 0; i < Width * Height; ++i) Picture.Rgb.insert(Picture.Rgb.end(), {R, G, B});
  return Picture;
}

// Seven pictures, one of each kind and lossless format:
//  0 DefineBits 40x30, 1 DefineBitsJPEG2 30x60, 2 DefineBitsJPEG3 8x6 (top row
//  transparent), 3 DefineBitsLossless 32-bit 5x4, 4 DefineBitsLossless 15-bit
//  6x3, 5 DefineBitsLossless2 4x4 (top-left pixel transparent),
//  6 DefineBitsLossless colour-mapped 5x5.
void SaveMixedMovie(const std::string& FileName) {
  auto [Tables, Image] = EncodeJPEGTablesAndImage(Pattern(40, 30));
  TBytes Alpha(8 * 6, 255);
  std::fill(Alpha.begin(), Alpha.begin() + 8, 0);
  std::vector<uint32_t> Argb(16, 0xFFFF0000);
  Argb[0] = 0;
  TBytes Palette = {0, 0, 0, 255, 255, 255, 0, 128, 255};
  TBytes Indices(25);
  for (size_t i = 0; i < Indices.size(); ++i) Indices[i] = uint8_t(i % 3);
  TMovieBuilder(true)
      .JPEGTables(Tables)
      .DefineBits(1, Image)
      .DefineBitsJPEG2(2, EncodeJPEG(Pattern(30, 60, 1)))
      .DefineBitsJPEG3(3, EncodeJPEG(SolidRgb(8, 6, 255, 0, 0), 95), Alpha)
      .DefineBitsLossless(4, 5, 5, 4, ARGBData(std::vector<uint32_t>(20, 0xFF00FF00)))
      .DefineBitsLossless(5, 4, 6, 3, Pix15Data(std::vector<uint16_t>(18, 0x7C00), 6, 3))
      .DefineBitsLossless2(6, 5, 4, 4, ARGBData(Argb))
      .DefineBitsLossless(7, 3, 5, 5, ColorMappedData(Palette, Indices, 5, 5), 2)
      .End()
      .Save(FileName);
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(QUILLORY_LANG_INI, Program + "Lang.ini");
    Movie = Program + "movie.swf";
    SaveMixedMovie(Movie);
  }

  // Builds the window over the program folder, with Config.ini holding Config
  // (no file when empty). No modal box can block a test.
  TMainForm& Start(const std::string& Config = "") {
    Form.reset();
    if (!Config.empty())
      WriteFileBytes(Program + "Config.ini", TBytes(Config.begin(), Config.end()));
    Settings = std::make_unique<TSettings>(Program);
    Form = std::make_unique<TMainForm>(*Settings);
    Form->ErrorBox = [this](QWidget*, const QString& Text) { Errors << Text; };
    Form->HelpBoxes.ErrorBox = Form->ErrorBox;
    Form->HelpBoxes.ShowHelpError = [this](TFHelpError&) { Errors << "help-error box"; };
    Form->ShowModal = [](QDialog&) { return int(QDialog::Rejected); };
    Form->ShowMessage = [this](QMessageBox& Box) {
      Boxes << TShownBox{
          Box.windowTitle(), Box.text(), Box.informativeText(), {}, Box.detailedText()};
      for (QAbstractButton* Button : Box.buttons()) Boxes.back().Buttons << Button->text();
      if (AnswerBox) AnswerBox(Box);
    };
    Form->FolderOpener = [this](const QUrl& Url) {
      OpenedFolders << Url.toLocalFile();
      return true;
    };
    return *Form;
  }

  // Waits until the open the window started by itself is done.
  void WaitForOpen(int32_t Count) {
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Form->Workspace().Pictures.Count == Count && !Form->ThumbnailsPending(); },
        20000));
  }

  // Shows the window at a size that gives the grid GridWidth pixels.
  void ShowWithGrid(int GridWidth, int Height = 700) {
    Form->resize(GridWidth + GridMargin, Height);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->VDT->width() == GridWidth; }))
        << Form->VDT->width();
  }

  void Open(const std::string& Path) {
    Form->OpenDialog1 = [Path] { return QString::fromStdString(Path); };
    Form->AOpenExecute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form->ThumbnailsPending(); }, 20000));
  }

  QString Lang(const char* Key) { return LangText(Program, Key, Settings->Language); }
  QString Total(int Count) {
    return Lang(mesTotal) + " " + QString::number(Count) + " " + Lang(mesImages);
  }
  bool InfoShown() {
    return Form->Label1->isVisibleTo(Form.get()) && Form->labelColorMode->isVisibleTo(Form.get());
  }

  struct TShownBox {
    QString Title, Text, Informative;
    QStringList Buttons;
    QString Detailed;
  };

  TTempDir Dir;
  std::string Program = Dir.Path();
  std::string Movie;
  std::unique_ptr<TSettings> Settings;
  std::unique_ptr<TMainForm> Form;
  QStringList Errors;
  QList<TShownBox> Boxes;
  std::function<void(QMessageBox&)> AnswerBox;  // what the user does in a message box
  QStringList OpenedFolders;
};

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
  EXPECT_TRUE(fs::is_directory(Program + "TEMP"));
  EXPECT_EQ(IniReadString(Program + "Config.ini", "Config", "ImageDir", ""), Program + "IMAGES/");
  for (QAction* Item : {static_cast<QAction*>(F.ASave), static_cast<QAction*>(F.ASaveAll),
                        F.menuSave, F.menuSaveAll})
    EXPECT_FALSE(Item->isEnabled()) << Item->objectName().toStdString();
  EXPECT_FALSE(F.buttonSave->isEnabled());
  EXPECT_TRUE(F.menuOpen->isEnabled());
  EXPECT_FALSE(InfoShown());
  EXPECT_FALSE(F.FAbout->isVisible());
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
  EXPECT_EQ(F.buttonOpen->text(), Lang("buttonOpen"));
  EXPECT_EQ(F.buttonOpen->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  EXPECT_EQ(F.buttonOpen->icon().actualSize(QSize(32, 32)), QSize(32, 32));
  EXPECT_EQ(F.submenuFile->title(), Lang("submenuFile"));
  EXPECT_EQ(F.labelPicNum->text(), Lang("labelPicNum"));
  // Both items of a command follow it.
  F.ASaveAll->setEnabled(true);
  EXPECT_TRUE(F.menuSaveAll->isEnabled());
  EXPECT_TRUE(F.buttonSaveAll->isEnabled());
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
  F.menuFrench->trigger();
  const QPoint At = F.pos();
  F.menuExit->trigger();
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
  ASSERT_EQ(W.Thumbnails.size(), 7u);
  for (const QImage& Thumb : W.Thumbnails) {
    EXPECT_FALSE(Thumb.isNull());
    EXPECT_TRUE(Thumb.width() == 150 || Thumb.height() == 150);
  }
  EXPECT_EQ(W.Thumbnails[1].size(), QSize(75, 150));
  EXPECT_EQ(W.ColumnsPerRow, 3);
  EXPECT_EQ(F.VDT->RootNodeCount(), 3);  // 3 + 3 + 1
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
  EXPECT_EQ(F.PanelText(1), Total(7));
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  EXPECT_TRUE(F.ASaveAll->isEnabled());
  EXPECT_TRUE(F.menuSaveAll->isEnabled());
  EXPECT_FALSE(F.ASave->isEnabled());  // nothing previewed yet
  EXPECT_TRUE(F.VDT->isVisible());
  EXPECT_FALSE(F.Image2->isVisible());
  // The splash is closed and keeps its single border from now on.
  EXPECT_FALSE(F.FAbout->isVisible());
  EXPECT_EQ(F.FAbout->Border(), TFAbout::TBorder::Single);
  EXPECT_FALSE(F.ProgressBar1->isVisible());
  // The per-movie folders exist; the scratch files of the build are gone.
  const std::string Output = Program + "IMAGES/movie.swf/";
  EXPECT_EQ(W.OutputDir, Output);
  for (const char* Sub : {"", "PNG", "JPEG", "BMP"}) EXPECT_TRUE(fs::is_directory(Output + Sub));
  for (const char* Name : {"0.bmp", "0.jpeg", "test.alp", "test_JPEG.alp"})
    EXPECT_FALSE(fs::exists(W.WorkDir + Name)) << Name;
}

// Windows running at once never share scratch files: each has its own
// working folder below TEMP/, gone with the window.
TEST_F(MainFormTest, EachWindowHasAWorkingFolderOfItsOwn) {
  TMainForm& F = Start();
  auto Second = std::make_unique<TMainForm>(*Settings);
  const std::string Mine = F.Workspace().WorkDir, Theirs = Second->Workspace().WorkDir;
  EXPECT_NE(Mine, Theirs);
  for (const std::string& Folder : {Mine, Theirs}) {
    EXPECT_EQ(Folder.rfind(Program + "TEMP/", 0), 0u) << Folder;
    EXPECT_TRUE(fs::is_directory(Folder)) << Folder;
  }
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 2);
  EXPECT_TRUE(fs::exists(Mine + "alpha"));
  EXPECT_FALSE(fs::exists(Theirs + "alpha"));
  Second.reset();
  EXPECT_FALSE(fs::exists(Theirs));
  EXPECT_TRUE(fs::is_directory(Mine));
  Form.reset();
  EXPECT_FALSE(fs::exists(Mine));
}

TEST_F(MainFormTest, MovieWithoutPicturesShowsThePlaceholder) {
  TMovieBuilder().End().Save(Program + "empty.swf");
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Program + "empty.swf");
  EXPECT_EQ(F.Workspace().Pictures.Count, 0);
  EXPECT_EQ(F.PanelText(1), Total(0));
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
  EXPECT_FALSE(F.ASaveAll->isEnabled());
  EXPECT_FALSE(F.buttonSaveAll->isEnabled());
  EXPECT_EQ(F.VDT->RootNodeCount(), 0);
  EXPECT_FALSE(F.VDT->isVisible());
  EXPECT_TRUE(F.Image2->isVisible());
  EXPECT_TRUE(F.Image3->isVisible());
  EXPECT_EQ(F.Image2->Picture().size(), QSize(300, 225));
  EXPECT_FALSE(F.FAbout->isVisible());
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
      if (std::string(Language) == "FRA") F.menuFrench->trigger();
      Boxes.clear();
      const std::string Path = Program + C.Name;
      Open(Path);
      ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes.isEmpty(); }));
      EXPECT_EQ(F.Workspace().Pictures.Count, C.Pictures);
      EXPECT_EQ(F.PanelText(0), LangText(Program, C.Status, Language));
      EXPECT_FALSE(F.Image2->isVisible());  // not the sign of an empty movie
      EXPECT_TRUE(F.VDT->isVisible());
      TWalkResult Walk;
      {
        TWorkspace W(Program + "probe/");
        ResetWorkspace(W, 150);
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

// A record of two bytes must not cost a thumbnail's worth of memory: a movie
// of a million empty records would otherwise hold gigabytes of marks.
TEST_F(MainFormTest, UndecodablePicturesShareOneMark) {
  TMovieBuilder Builder;
  for (uint16_t Id = 1; Id <= 40; ++Id) Builder.Tag(6, {});
  Builder.DefineBitsJPEG2(41, {0xFF, 0xD8, 0xFF, 0xDB, 0, 3, 9}).End().Save(Program + "marks.swf");
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Program + "marks.swf");
  const std::vector<QImage>& Thumbnails = F.Workspace().Thumbnails;
  ASSERT_EQ(Thumbnails.size(), 41u);
  for (const QImage& Thumbnail : Thumbnails) {
    EXPECT_EQ(Thumbnail.size(), QSize(150, 150));
    EXPECT_EQ(Thumbnail.constBits(), Thumbnails[0].constBits());
  }
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
  ASSERT_EQ(F.Workspace().Thumbnails.size(), 2u);
  EXPECT_EQ(F.Workspace().Thumbnails[0].size(), QSize(150, 150));
  EXPECT_EQ(F.Workspace().Thumbnails[1].size(), QSize(150, 150));
  EXPECT_FALSE(F.FAbout->isVisible());
  EXPECT_TRUE(F.ASaveAll->isEnabled());
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));

  // Clicking it previews nothing and leaves the window usable.
  F.VDTColumnClick(0, 1);
  EXPECT_TRUE(F.ASave->isEnabled());
  F.VDTColumnClick(0, 0);
  EXPECT_FALSE(F.ASave->isEnabled());
  EXPECT_FALSE(InfoShown());
  EXPECT_TRUE(F.Image1->Picture().isNull());
  EXPECT_FALSE(F.ProgressBar1->isVisible());
  EXPECT_FALSE(F.VDT->testAttribute(Qt::WA_SetCursor));
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
  EXPECT_EQ(F.Workspace().Thumbnails.size(), 0u);
  EXPECT_TRUE(F.Image2->isVisible());
  EXPECT_FALSE(F.ASaveAll->isEnabled());

  F.AOpenExecute();  // the empty movie again, replaced at once
  Open(Movie);
  EXPECT_EQ(F.Workspace().Thumbnails.size(), 7u);
  EXPECT_EQ(F.VDT->RootNodeCount(), 3);
  EXPECT_TRUE(F.VDT->isVisible());
  EXPECT_TRUE(F.ASaveAll->isEnabled());
}

TEST_F(MainFormTest, CancelledOpenChangesNothing) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 0);
  Open("");
  EXPECT_EQ(F.Workspace().Pictures.Count, 7);
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  EXPECT_FALSE(F.Image1->Picture().isNull());
  EXPECT_TRUE(InfoShown());
}

TEST_F(MainFormTest, EveryOpenReappliesTheLanguageAndDisablesSave) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 0);
  ASSERT_TRUE(F.ASave->isEnabled());
  IniWriteString(Program + "Lang.ini", "menuOpen", "ENG", "Open a movie now");
  Open(Movie);
  EXPECT_EQ(F.menuOpen->text(), "Open a movie now");
  EXPECT_FALSE(F.ASave->isEnabled());  // until a picture of this movie is clicked
  EXPECT_FALSE(F.menuSave->isEnabled());
  EXPECT_FALSE(InfoShown());
  EXPECT_TRUE(F.Image1->Picture().isNull());
  F.VDTColumnClick(0, 0);
  EXPECT_TRUE(F.ASave->isEnabled());
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
  ASSERT_EQ(F.VDT->Model()->RowPictures(0).size(), 3u);
  const TCase Cases[] = {{530, 3, 3}, {700, 4, 2}, {359, 1, 7}, {360, 2, 4}};
  for (const TCase& C : Cases) {
    F.resize(C.GridWidth + GridMargin, F.height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return F.VDT->width() == C.GridWidth; }));
    EXPECT_EQ(W.ColumnsPerRow, C.Columns) << C.GridWidth;
    EXPECT_EQ(F.VDT->ColumnCount(), C.Columns) << C.GridWidth;
    EXPECT_EQ(F.VDT->RootNodeCount(), C.Rows) << C.GridWidth;
    for (int J = 0; J < C.Columns; ++J) EXPECT_EQ(F.VDT->columnWidth(J), 170);
    // Rows are made again, from the thumbnails, with the new columns.
    EXPECT_EQ(F.VDT->Model()->RowPictures(0).size(), size_t(C.Columns));
  }
  const TSWFPictures& Last = F.VDT->Model()->RowPictures(3);
  ASSERT_EQ(Last.size(), 2u);
  EXPECT_EQ(Last[0].size(), W.Thumbnails[6].size());
  EXPECT_TRUE(Last[1].isNull());
}

TEST_F(MainFormTest, GridTooNarrowForOneCellShowsOneColumn) {
  TMainForm& F = Start("[Config]\nPicSize=400\n");
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  Open(Movie);
  EXPECT_LT(F.VDT->width() - 20, 420);
  EXPECT_EQ(F.Workspace().ColumnsPerRow, 1);
  EXPECT_EQ(F.VDT->ColumnCount(), 1);
  EXPECT_EQ(F.VDT->RootNodeCount(), 7);
  EXPECT_EQ(F.VDT->DefaultNodeHeight(), 420);
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
// Clicks and preview

TEST_F(MainFormTest, ClickOnTheThirdCellOfTheSecondRowSelectsPictureFive) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const QModelIndex Cell = F.VDT->model()->index(1, 2);
  QTest::mouseClick(F.VDT->viewport(), Qt::LeftButton, {}, F.VDT->visualRect(Cell).center());
  EXPECT_EQ(F.Workspace().SelectedPicture, 5);
  EXPECT_EQ(F.Workspace().CurrentRow, 1);
  EXPECT_EQ(F.Label1->text(), "5");
  EXPECT_EQ(F.Label2->text(), "PNG");
  EXPECT_EQ(F.Label3->text(), "4x4");
  EXPECT_TRUE(InfoShown());
  EXPECT_TRUE(F.ASave->isEnabled());
  EXPECT_TRUE(F.menuSave->isEnabled());
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
  EXPECT_FALSE(F.ProgressBar1->isVisible());
  // The preview keeps the picture's size; its transparent corner shows the board.
  const QImage Preview = F.Image1->Picture();
  ASSERT_EQ(Preview.size(), QSize(4, 4));
  EXPECT_EQ(Preview.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Preview.pixel(3, 3), qRgb(255, 0, 0));
  // The exported files are gone again.
  for (const char* Extension : {".jpg", ".bmp", ".png"})
    EXPECT_FALSE(fs::exists(F.Workspace().WorkDir + "Image5" + Extension));
}

TEST_F(MainFormTest, PreviewDescribesEveryKind) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  struct TCase {
    const char* Kind;
    const char* Size;
    const char* Mode;
  };
  const TCase Cases[] = {
      {"JPEG", "40x30", "24 bpp"},
      {"JPEG", "30x60", "24 bpp"},
      {"PNG", "8x6", "24 bpp"},
      {"BMP", "5x4", "24 bpp"},
      {"BMP", "6x3", "15 bpp (RGB compression)"},
      {"PNG", "4x4", "24 bpp"},
      {"BMP", "5x5", "256 colors"},
  };
  for (int N = 0; N < 7; ++N) {
    F.VDTColumnClick(N / 3, N % 3);
    EXPECT_EQ(F.Label1->text(), QString::number(N));
    EXPECT_EQ(F.Label2->text(), Cases[N].Kind) << N;
    EXPECT_EQ(F.Label3->text(), Cases[N].Size) << N;
    EXPECT_EQ(F.Label4->text(), Cases[N].Mode) << N;
    const QStringList Sides = QString(Cases[N].Size).split('x');
    EXPECT_EQ(F.Image1->Picture().size(), QSize(Sides[0].toInt(), Sides[1].toInt())) << N;
  }
  // DefineBitsJPEG3: the top row is transparent, the others opaque red.
  F.VDTColumnClick(0, 2);
  const QImage Preview = F.Image1->Picture();
  ASSERT_EQ(Preview.size(), QSize(8, 6));
  EXPECT_EQ(Preview.pixel(4, 0), GreyPixel);
  EXPECT_GT(qRed(Preview.pixel(4, 5)), 200);
  EXPECT_LT(qGreen(Preview.pixel(4, 5)), 60);
}

TEST_F(MainFormTest, ClickOnAnEmptySlotShowsNothing) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(1, 1);
  ASSERT_TRUE(F.ASave->isEnabled());
  F.VDTColumnClick(2, 2);  // picture 8 of 7
  EXPECT_EQ(F.Workspace().SelectedPicture, 8);
  EXPECT_FALSE(InfoShown());
  EXPECT_FALSE(F.ASave->isEnabled());
  EXPECT_FALSE(F.buttonSave->isEnabled());
  EXPECT_TRUE(F.Image1->Picture().isNull());
  EXPECT_FALSE(F.ProgressBar1->isVisible());
  EXPECT_FALSE(F.VDT->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
}

TEST(SplashShare, TheBarMovesSteadilyToEightyFiveForAnyCount) {
  const struct {
    int32_t Done, Count;
    int Want;
  } Cases[] = {{1, 1, 85},  {1, 2, 42},     {2, 2, 85},     {1, 3, 28},        {1, 300, 0},
               {2, 300, 1}, {150, 300, 42}, {300, 300, 85}, {5000, 10000, 42}, {0, 0, 0}};
  for (const auto& C : Cases) EXPECT_EQ(TMainForm::SplashShare(C.Done, C.Count), C.Want) << C.Done;
  int Last = 0;
  for (int32_t Done = 1; Done <= 1000; ++Done) {
    const int Share = TMainForm::SplashShare(Done, 1000);
    EXPECT_GE(Share, Last);
    Last = Share;
  }
  EXPECT_EQ(Last, 85);
}

TEST(ColorModes, TextsByBitsPerPixel) {
  const std::pair<int, const char*> Cases[] = {{1, "Grayscale"},
                                               {4, "16 colors"},
                                               {8, "256 colors"},
                                               {15, "15 bpp (RGB compression)"},
                                               {16, "16 bpp"},
                                               {24, "24 bpp"},
                                               {32, "32 bpp (RGB compression)"},
                                               {0, ""},
                                               {2, ""}};
  for (const auto& [Bits, Text] : Cases) EXPECT_EQ(TMainForm::ColorModeText(Bits), Text) << Bits;
}

// ---------------------------------------------------------------------------
// Save and Save all

TEST_F(MainFormTest, SaveWritesTheSelectedPicture) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(1, 2);
  F.buttonSave->click();
  const std::string Output = Program + "IMAGES/movie.swf/";
  EXPECT_TRUE(fs::exists(Output + "BMP/Image5.bmp"));
  EXPECT_TRUE(fs::exists(Output + "PNG/Image5.png"));
  EXPECT_FALSE(fs::exists(Output + "JPEG/Image5.jpg"));
  // The status bar names the folder written to.
  EXPECT_EQ(F.PanelText(0), "Image 5 " + Lang(mesSave) + " " +
                                Lang(mesSavedIn).replace("%1", QString::fromStdString(Output)));
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(MainFormTest, SaveAllWritesEveryPicture) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.menuSaveAll->trigger();
  const std::string Output = Program + "IMAGES/movie.swf/";
  for (const char* File :
       {"JPEG/Image0.jpg", "JPEG/Image1.jpg", "JPEG/Image2.jpg", "PNG/Image2.png", "BMP/Image3.bmp",
        "BMP/Image4.bmp", "BMP/Image5.bmp", "PNG/Image5.png", "BMP/Image6.bmp"})
    EXPECT_TRUE(fs::exists(Output + File)) << File;
  EXPECT_FALSE(fs::exists(Output + "PNG/Image3.png"));
  EXPECT_EQ(F.PanelText(0), Lang(mesAllTheImagesWereSaved) + " " +
                                Lang(mesSavedIn).replace("%1", QString::fromStdString(Output)));
  EXPECT_FALSE(F.ProgressBar1->isVisible());
  EXPECT_EQ(F.ProgressBar1->value(), 7);
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(MainFormTest, PngThatCannotBeWrittenIsReportedAndSaveAllGoesOn) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const std::string Output = Program + "IMAGES/movie.swf/";
  fs::remove(Output + "PNG");
  WriteFileBytes(Output + "PNG", {1});  // a file where the folder should be

  F.VDTColumnClick(1, 2);
  F.ASave->trigger();
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));  // unchanged

  Errors.clear();
  F.ASaveAll->trigger();
  EXPECT_TRUE(Errors.isEmpty());
  ASSERT_EQ(Boxes.size(), 1);  // one box for every picture that failed
  const QString Lines = Boxes[0].Informative;
  const QString Png = Lang(mesPNGNotComposed);
  EXPECT_TRUE(Lines.startsWith(Png.arg(2).section("%2", 0, 0))) << Lines.toStdString();
  EXPECT_TRUE(Lines.contains("\n" + Png.arg(5).section("%2", 0, 0))) << Lines.toStdString();
  EXPECT_EQ(Boxes[0].Title, Lang(mesSaveAllTitle));
  EXPECT_EQ(Boxes[0].Text, Lang(mesSaveAllFailed));
  EXPECT_TRUE(OpenedFolders.isEmpty());  // closed without asking for the folder
  for (const char* File :
       {"JPEG/Image0.jpg", "JPEG/Image2.jpg", "BMP/Image5.bmp", "BMP/Image6.bmp"})
    EXPECT_TRUE(fs::exists(Output + File)) << File;
  EXPECT_FALSE(F.ProgressBar1->isVisible());
  EXPECT_NE(F.PanelText(0), Lang(mesAllTheImagesWereSaved));
}

// Save all writes on worker threads while the window goes on with its
// events; what would change the list or its folders waits; a close asked
// for meanwhile comes once the pictures in hand are written.
TEST_F(MainFormTest, SaveAllLeavesTheWindowResponsiveAndACloseWaitsForIt) {
  TRgbPicture Photo = Pattern(300, 300, 4);
  TBytes Alpha(300 * 300, 200);
  TMovieBuilder Many;
  for (uint16_t Id = 1; Id <= 40; ++Id) Many.DefineBitsJPEG3(Id, EncodeJPEG(Photo), Alpha);
  Many.End().Save(Program + "many.swf");
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Program + "many.swf");
  bool SeenBusy = false, OpenRefused = false;
  int Ticks = 0;
  QTimer Ticker;
  QObject::connect(&Ticker, &QTimer::timeout, [&] {
    ++Ticks;
    if (!F.Busy()) return;
    SeenBusy = true;
    OpenRefused = !F.AOpen->isEnabled() && !F.menuOptions->isEnabled();
    F.OpenDialog1 = [] {
      ADD_FAILURE() << "an Open during Save all";
      return QString();
    };
    F.AOpenExecute();
  });
  Ticker.start(5);
  F.ASaveAll->trigger();
  Ticker.stop();
  EXPECT_TRUE(SeenBusy);
  EXPECT_TRUE(OpenRefused);
  EXPECT_GT(Ticks, 0);
  EXPECT_FALSE(F.Busy());
  EXPECT_TRUE(F.AOpen->isEnabled());
  EXPECT_TRUE(F.ASaveAll->isEnabled());
  EXPECT_EQ(fs::exists(Program + "IMAGES/many.swf/PNG/Image39.png"), true);
  EXPECT_EQ(F.PanelText(0).startsWith(Lang(mesAllTheImagesWereSaved)), true);

  // A close during Save all: the window stays until the save stops.
  fs::remove_all(Program + "IMAGES/many.swf");
  bool Closed = false;
  QTimer::singleShot(0, [&] {
    F.close();
    Closed = !F.isVisible();
  });
  F.ASaveAll->trigger();
  EXPECT_FALSE(Closed);
  EXPECT_FALSE(F.isVisible());
  EXPECT_EQ(IniReadString(Program + "Config.ini", "Config", "Language", ""), "ENG");
  EXPECT_LT(std::distance(fs::directory_iterator(Program + "IMAGES/many.swf/PNG"),
                          fs::directory_iterator()),
            40);
}

TEST_F(MainFormTest, SaveAllListsEveryFileThatWasNotWritten) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const std::string Output = Program + "IMAGES/movie.swf/";
  fs::remove(Output + "JPEG");
  WriteFileBytes(Output + "JPEG", {1});
  F.ASaveAll->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  const QStringList Lines = Boxes[0].Informative.split('\n');
  for (int N : {0, 1, 2}) {
    const QString File = QString::fromStdString(Output + "JPEG/Image" + std::to_string(N) + ".jpg");
    EXPECT_TRUE(Lines.contains(Lang(mesFileNotWritten).arg(N).arg(File, "Not a directory")))
        << Boxes[0].Informative.toStdString();
  }
  EXPECT_EQ(Lines.size(), 3);
  EXPECT_TRUE(Boxes[0].Detailed.isEmpty());
  EXPECT_TRUE(fs::exists(Output + "PNG/Image2.png"));  // its other file is there
  EXPECT_NE(F.PanelText(0), Lang(mesAllTheImagesWereSaved));

  // Past ten lines, the box says how many more and its details list them all.
  TMovieBuilder Many;
  for (uint16_t Id = 1; Id <= 14; ++Id) Many.DefineBitsJPEG2(Id, EncodeJPEG(Pattern(4, 4)));
  Many.End().Save(Program + "many.swf");
  Open(Program + "many.swf");
  const std::string ManyOutput = Program + "IMAGES/many.swf/";
  fs::remove(ManyOutput + "JPEG");
  WriteFileBytes(ManyOutput + "JPEG", {1});
  Boxes.clear();
  F.ASaveAll->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  const QStringList InView = Boxes[0].Informative.split('\n');
  ASSERT_EQ(InView.size(), 11);
  EXPECT_EQ(InView.back(), Lang(mesMoreFailures).arg(4));
  const QStringList All = Boxes[0].Detailed.split('\n');
  ASSERT_EQ(All.size(), 14);
  for (int N = 0; N < 14; ++N)
    EXPECT_TRUE(All[N].startsWith(Lang(mesFileNotWritten).arg(N).section("%2", 0, 0))) << N;
}

// PNG and GIF files stored whole in JPEG records, and DefineBitsJPEG4.
TEST_F(MainFormTest, StoredPNGAndGIFAndJPEG4PicturesAreShownWithTheirKind) {
  TBytes Rgba;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) Rgba.insert(Rgba.end(), {0, 0, 255, uint8_t(x < 10 ? 0 : 255)});
  TBytes Alpha(8 * 6, 255);
  std::fill(Alpha.begin(), Alpha.begin() + 8, 0);
  const std::string Stored = Program + "stored.swf";
  TMovieBuilder(true)
      .DefineBitsJPEG2(1, EncodePNG(20, 10, Rgba))
      .DefineBitsJPEG4(2, EncodeJPEG(SolidRgb(8, 6, 255, 0, 0), 95), Alpha)
      .DefineBitsJPEG2(3, EncodeGIF(4, 2, {0, 255, 0}, TBytes(8, 0)))
      .DefineBitsJPEG2(4, {9, 9, 9})  // nothing a file could hold
      .End()
      .Save(Stored);
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Stored);
  ASSERT_EQ(F.Workspace().Thumbnails.size(), 4u);
  const QImage Mark = F.Workspace().Thumbnails[3];
  for (int N = 0; N < 3; ++N) {
    const QImage& Thumb = F.Workspace().Thumbnails[size_t(N)];
    EXPECT_FALSE(Thumb.isNull()) << N;
    EXPECT_NE(Thumb, Mark) << N;  // drawn, not the mark of undecodable pictures
  }
  struct TCase {
    const char* Kind;
    const char* Size;
    const char* Mode;
  };
  const TCase Cases[] = {{"PNG", "20x10", "32 bpp (RGB compression)"},
                         {"PNG", "8x6", "24 bpp"},
                         {"GIF", "4x2", "256 colors"}};
  for (int N = 0; N < 3; ++N) {
    F.VDTColumnClick(0, N);
    EXPECT_TRUE(InfoShown()) << N;
    EXPECT_TRUE(F.ASave->isEnabled()) << N;
    EXPECT_EQ(F.Label2->text(), Cases[N].Kind) << N;
    EXPECT_EQ(F.Label3->text(), Cases[N].Size) << N;
    EXPECT_EQ(F.Label4->text(), Cases[N].Mode) << N;
  }
  // The PNG over the board where it is transparent, the JPEG4 likewise.
  F.VDTColumnClick(0, 0);
  EXPECT_EQ(F.Image1->Picture().pixel(2, 2), GreyPixel);
  EXPECT_EQ(F.Image1->Picture().pixel(15, 5), qRgb(0, 0, 255));
  F.VDTColumnClick(0, 1);
  EXPECT_EQ(F.Image1->Picture().pixel(4, 0), GreyPixel);
  for (const char* Extension : {".png", ".gif", ".jpg"})
    EXPECT_FALSE(fs::exists(F.Workspace().WorkDir + "Image0" + Extension));

  // Saved as stored; the picture with nothing to save is told, not saved.
  F.VDTColumnClick(0, 0);
  F.ASave->trigger();
  EXPECT_TRUE(Errors.isEmpty());
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/PNG/Image0.png"));
  F.Workspace().SelectedPicture = 3;
  F.ASave->trigger();
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_EQ(Errors[0], Lang(mesNothingToSave).arg(3));
  F.ASaveAll->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Informative, Lang(mesNothingToSave).arg(3));
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/GIF/Image2.gif"));
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/PNG/Image1.png"));
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/JPEG/Image1.jpg"));
}

// ---------------------------------------------------------------------------
// Language, options, help

TEST_F(MainFormTest, LanguageSwitchAppliesAtOnceAndBlanksTheValues) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 0);
  ASSERT_EQ(F.Label1->text(), "0");
  const QString EnglishTotal = F.PanelText(1);

  F.menuFrench->trigger();
  EXPECT_EQ(Settings->Language, "FRA");
  EXPECT_EQ(F.menuOpen->text(), LangText(Program, "menuOpen", "FRA"));
  EXPECT_EQ(F.findChild<QAction*>("buttonOpen")->text(), LangText(Program, "buttonOpen", "FRA"));
  EXPECT_EQ(F.submenuView->title(), LangText(Program, "submenuView", "FRA"));
  EXPECT_EQ(F.labelType->text(), LangText(Program, "labelType", "FRA"));
  EXPECT_NE(F.menuOpen->text(), LangText(Program, "menuOpen", "ENG"));
  // The messages in the status bar follow at once as well; the movie's path stays.
  EXPECT_NE(F.PanelText(1), EnglishTotal);
  EXPECT_EQ(F.PanelText(1),
            LangText(Program, mesTotal, "FRA") + " 7 " + LangText(Program, mesImages, "FRA"));
  EXPECT_EQ(F.PanelText(0), LangText(Program, mesReady, "FRA"));
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  for (QLabel* Value : {F.Label1, F.Label2, F.Label3, F.Label4}) EXPECT_EQ(Value->text(), "");
  // Nothing is written before the window closes.
  EXPECT_EQ(IniReadString(Program + "Config.ini", "Config", "Language", "none"), "none");

  F.menuEnglish->trigger();
  EXPECT_EQ(Settings->Language, "ENG");
  EXPECT_EQ(F.menuOpen->text(), LangText(Program, "menuOpen", "ENG"));
}

TEST_F(MainFormTest, ConfirmedOptionsSendSavesToTheImageFolder) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  ASSERT_EQ(F.Workspace().OutputDir, Program + "IMAGES/movie.swf/");
  F.menuOptions->trigger();  // cancelled
  EXPECT_EQ(F.Workspace().OutputDir, Program + "IMAGES/movie.swf/");
  F.ShowModal = [](QDialog&) { return int(QDialog::Accepted); };
  F.menuOptions->trigger();
  EXPECT_EQ(F.Workspace().OutputDir, Settings->OutputDir + "movie.swf/");
}

TEST_F(MainFormTest, HelpOpensTheDocumentOfTheLanguage) {
  TMainForm& F = Start();
  QString Opened;
  F.HelpOpener = [&](const QString& Path, QString&) {
    Opened = Path;
    return true;
  };
  F.buttonHelp->click();
  EXPECT_TRUE(Opened.endsWith("/Help_eng.pdf")) << Opened.toStdString();
  EXPECT_TRUE(Errors.isEmpty());
  Settings->Language = "DEU";
  Opened.clear();
  F.menuHelp->trigger();
  EXPECT_TRUE(Opened.isEmpty());
  EXPECT_EQ(Errors, QStringList{"help-error box"});
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
  EXPECT_EQ(F.VDT->RootNodeCount(), 3);
  EXPECT_TRUE(F.ASaveAll->isEnabled());
}

TEST_F(MainFormTest, DroppedMovieOpensAndOtherFilesAreRefused) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  const std::string Text = Program + "notes.txt";
  WriteFileBytes(Text, {'x'});
  const auto Drag = [&](const std::string& File, bool Drop) {
    QMimeData Data;
    Data.setUrls({QUrl::fromLocalFile(QString::fromStdString(File))});
    const QPoint At = F.VDT->geometry().center();
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
    for (QAction* Item : F.submenuRecent->actions()) Paths << Item->data().toString();
    return Paths;
  };
  ASSERT_EQ(RecentItems(), QStringList({QString::fromStdString(Other),
                                        QString::fromStdString(Movie)}));  // newest first
  // A recent movie opens from the list.
  F.submenuRecent->actions()[1]->trigger();
  WaitForOpen(7);
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  EXPECT_EQ(RecentItems().value(0), QString::fromStdString(Movie));

  // One that is gone is taken off the list, with a message naming it.
  fs::remove(Other);
  F.RebuildRecentMenu();
  F.submenuRecent->actions()[1]->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Text, Lang(mesRecentMissing).replace("%1", QString::fromStdString(Other)));
  EXPECT_EQ(RecentItems(), QStringList({QString::fromStdString(Movie)}));
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));  // nothing else opened
  fs::remove(Movie);
  F.RebuildRecentMenu();
  F.submenuRecent->actions()[0]->trigger();
  ASSERT_EQ(F.submenuRecent->actions().size(), 1);
  EXPECT_EQ(F.submenuRecent->actions()[0]->text(), Lang(mesNoRecentMovies));
  EXPECT_FALSE(F.submenuRecent->actions()[0]->isEnabled());
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
// Keyboard and selection

TEST_F(MainFormTest, NavigationKeysMoveTheCurrentPictureAndThePreviewFollows) {
  TMainForm& F = Start();
  ShowWithGrid(530);  // 3 columns: rows 0-2, 3-5, 6
  Open(Movie);
  F.VDT->setFocus();
  struct TStep {
    int Key;
    int32_t Want;
  };
  const TStep Steps[] = {
      {Qt::Key_Right, 0},  // the first key starts at the first picture
      {Qt::Key_Right, 1}, {Qt::Key_Down, 4},   {Qt::Key_Down, 6},  // short last row: its last
      {Qt::Key_Down, 6},  {Qt::Key_Right, 6},  {Qt::Key_Up, 3},
      {Qt::Key_Left, 2},  {Qt::Key_Home, 0},   {Qt::Key_Left, 0},
      {Qt::Key_End, 6},   {Qt::Key_PageUp, 0}, {Qt::Key_PageDown, 6},
  };
  for (const TStep& Step : Steps) {
    SCOPED_TRACE(QKeySequence(Step.Key).toString().toStdString() + " -> " +
                 std::to_string(Step.Want));
    QTest::keyClick(F.VDT, Qt::Key(Step.Key));
    EXPECT_EQ(F.VDT->Current(), Step.Want);
    EXPECT_EQ(F.Workspace().SelectedPicture, Step.Want);
    EXPECT_EQ(F.Label1->text(), QString::number(Step.Want));
    EXPECT_TRUE(InfoShown());
    EXPECT_FALSE(F.Image1->Picture().isNull());
    EXPECT_TRUE(F.ASave->isEnabled());
  }
}

TEST_F(MainFormTest, CurrentPictureIsDrawnHighlighted) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  // A point of a cell's margin: white, unless the cell is the current one.
  const auto Highlighted = [&](int Row, int Column) {
    const QImage Shot = F.VDT->viewport()->grab().toImage();
    const QRect Cell = F.VDT->visualRect(F.VDT->model()->index(Row, Column));
    return Shot.pixelColor(Cell.left() + 8, Cell.center().y()) != QColor(Qt::white);
  };
  EXPECT_FALSE(Highlighted(0, 0));
  const QModelIndex Cell = F.VDT->model()->index(1, 2);
  QTest::mouseClick(F.VDT->viewport(), Qt::LeftButton, {}, F.VDT->visualRect(Cell).center());
  EXPECT_EQ(F.VDT->Current(), 5);
  EXPECT_TRUE(Highlighted(1, 2));
  EXPECT_FALSE(Highlighted(0, 0));
  EXPECT_FALSE(Highlighted(1, 1));
  QTest::keyClick(F.VDT, Qt::Key_Left);
  EXPECT_TRUE(Highlighted(1, 1));
  EXPECT_FALSE(Highlighted(1, 2));
  // An empty slot is no picture: nothing is current.
  F.GridCellChosen(2, 2);
  EXPECT_EQ(F.VDT->Current(), -1);
  // A new movie starts with nothing current.
  F.GridCellChosen(0, 0);
  Open(Movie);
  EXPECT_EQ(F.VDT->Current(), -1);
  EXPECT_FALSE(Highlighted(0, 0));
}

TEST_F(MainFormTest, ThumbnailTooltipsGiveNumberKindAndSize) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const QString Format = Lang(mesThumbnailTip);
  const auto Tip = [&](int Row, int Column) {
    return F.VDT->model()->index(Row, Column).data(Qt::ToolTipRole);
  };
  const auto Want = [&](int N, const char* Kind, int W, int H) {
    return QString(Format)
        .replace("%1", QString::number(N))
        .replace("%2", Kind)
        .replace("%3", QString::number(W))
        .replace("%4", QString::number(H));
  };
  EXPECT_EQ(Tip(0, 0).toString(), Want(0, "JPEG", 40, 30));  // DefineBits
  EXPECT_EQ(Tip(0, 1).toString(), Want(1, "JPEG", 30, 60));
  EXPECT_EQ(Tip(0, 2).toString(), Want(2, "PNG", 8, 6));  // JPEG with alpha
  EXPECT_EQ(Tip(1, 1).toString(), Want(4, "BMP", 6, 3));
  EXPECT_EQ(Tip(1, 2).toString(), Want(5, "PNG", 4, 4));
  EXPECT_EQ(Tip(2, 0).toString(), Want(6, "BMP", 5, 5));
  EXPECT_FALSE(Tip(2, 1).isValid());  // an empty slot
}

TEST(PictureFactsTest, DamagedDataGivesNoSize) {
  TPictureList Pictures;
  const std::vector<TBytes> Blocks = {
      {},                               // nothing at all
      {0xFF, 0xD8, 0xFF, 0xC0, 0, 11},  // a frame header cut short
      {0xFF, 0xE0, 0xFF, 0xFF, 1, 2},   // a segment longer than the data
      {'B', 'M', 1, 2, 3},              // a BMP header cut short
  };
  for (const TBytes& Block : Blocks) {
    tSWFStream Stream;
    if (!Block.empty()) Stream.WriteBytes(Block.data(), uint32_t(Block.size()));
    Stream.SetPosition(0);
    Pictures.Append(21, Stream, uint32_t(Block.size()), nullptr);
  }
  for (int32_t N = 0; N < Pictures.Count; ++N) {
    const TPictureFacts Facts = PictureFacts(Pictures, N);
    EXPECT_FALSE(Facts.Size.isValid()) << N;
    EXPECT_FALSE(Facts.Kind.isEmpty()) << N;
  }
  EXPECT_FALSE(PictureFacts(Pictures, 99).Size.isValid());
}

TEST_F(MainFormTest, OneWheelNotchScrollsOneRow) {
  TMainForm& F = Start();
  ShowWithGrid(359, 600);  // one column: seven rows of 170 pixels
  Open(Movie);
  QScrollBar* Bar = F.VDT->verticalScrollBar();
  ASSERT_GT(Bar->maximum(), 2 * 170);
  const auto Turn = [&](int Delta) {
    const QPointF At = F.VDT->viewport()->rect().center();
    QWheelEvent Wheel(At, F.VDT->viewport()->mapToGlobal(At), QPoint(), QPoint(0, Delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(F.VDT->viewport(), &Wheel);
  };
  Turn(-120);
  EXPECT_EQ(Bar->value(), 170);
  Turn(-60);  // a fine wheel's half notch: half a row
  Turn(-60);
  EXPECT_EQ(Bar->value(), 340);
  Turn(120);
  EXPECT_EQ(Bar->value(), 170);
}

TEST_F(MainFormTest, ShortcutsTriggerTheirCommandsAndMenusShowThem) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  const std::tuple<QAction*, QMenu*, QKeySequence> Items[] = {
      {F.menuOpen, F.submenuFile, QKeySequence("Ctrl+O")},
      {F.menuSave, F.submenuFile, QKeySequence("Ctrl+S")},
      {F.menuSaveAll, F.submenuFile, QKeySequence("Ctrl+Shift+S")},
      {F.menuExit, F.submenuFile, QKeySequence("Ctrl+Q")},
      {F.menuCopy, F.submenuEdit, QKeySequence("Ctrl+C")},
      {F.menuHelp, F.submenuHelp, QKeySequence("F1")},
  };
  for (const auto& [Item, Menu, Key] : Items) {
    EXPECT_EQ(Item->shortcut(), Key) << Item->objectName().toStdString();
    EXPECT_TRUE(Menu->actions().contains(Item)) << Item->objectName().toStdString();
  }
  F.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&F));
  F.VDT->setFocus();

  int Dialogs = 0;
  F.OpenDialog1 = [&] {
    ++Dialogs;
    return QString::fromStdString(Movie);
  };
  QTest::keyClick(F.VDT, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(Dialogs, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !F.ThumbnailsPending(); }, 20000));
  QTest::keyClick(F.VDT, Qt::Key_Right);  // picture 0
  QTest::keyClick(F.VDT, Qt::Key_S, Qt::ControlModifier);
  const std::string Output = Program + "IMAGES/movie.swf/";
  EXPECT_TRUE(fs::exists(Output + "JPEG/Image0.jpg"));
  EXPECT_FALSE(fs::exists(Output + "BMP/Image6.bmp"));
  QTest::keyClick(F.VDT, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(fs::exists(Output + "BMP/Image6.bmp"));
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(F.VDT, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(40, 30));
  QString Help;
  F.HelpOpener = [&](const QString& Path, QString&) {
    Help = Path;
    return true;
  };
  QTest::keyClick(F.VDT, Qt::Key_F1);
  EXPECT_TRUE(Help.endsWith("Help_eng.pdf"));
  QTest::keyClick(F.VDT, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(F.isVisible());
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(MainFormTest, CopyPutsThePictureWithItsAlphaOnTheClipboard) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  EXPECT_FALSE(F.ACopy->isEnabled());  // nothing previewed yet
  QClipboard* Clipboard = QGuiApplication::clipboard();
  // DefineBitsLossless2 4x4, top-left pixel transparent; DefineBitsJPEG3 8x6,
  // top row transparent: the clipboard gets the transparency, not the board.
  F.GridCellChosen(1, 2);
  ASSERT_TRUE(F.menuCopy->isEnabled());
  F.menuCopy->trigger();
  QImage Copied = Clipboard->image();
  ASSERT_EQ(Copied.size(), QSize(4, 4));
  EXPECT_TRUE(Copied.hasAlphaChannel());
  EXPECT_EQ(qAlpha(Copied.pixel(0, 0)), 0);
  EXPECT_EQ(Copied.pixel(3, 3), qRgba(255, 0, 0, 255));
  EXPECT_EQ(F.PanelText(0), "Image 5 " + Lang(mesCopied));

  F.GridCellChosen(0, 2);
  F.ACopy->trigger();
  Copied = Clipboard->image();
  ASSERT_EQ(Copied.size(), QSize(8, 6));
  EXPECT_EQ(qAlpha(Copied.pixel(4, 0)), 0);
  EXPECT_EQ(qAlpha(Copied.pixel(4, 5)), 255);
  EXPECT_GT(qRed(Copied.pixel(4, 5)), 200);

  F.GridCellChosen(1, 1);  // a BMP without alpha
  F.ACopy->trigger();
  EXPECT_EQ(Clipboard->image().size(), QSize(6, 3));
  EXPECT_TRUE(Errors.isEmpty());
  EXPECT_FALSE(fs::exists(F.Workspace().WorkDir + "clipboard"));
}

// ---------------------------------------------------------------------------
// Where files went

TEST_F(MainFormTest, SavesAfterAFolderChangeGoIntoTheMovieFolderThere) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const std::string Chosen = Program + "chosen/";
  fs::create_directory(Chosen);
  F.ShowModal = [&](QDialog&) {
    Settings->SaveOptions({Chosen, "Image", 10, 13421772, 150});
    return int(QDialog::Accepted);
  };
  F.menuOptions->trigger();
  F.GridCellChosen(1, 2);
  F.ASave->trigger();
  EXPECT_TRUE(fs::exists(Chosen + "movie.swf/BMP/Image5.bmp"));
  EXPECT_TRUE(fs::exists(Chosen + "movie.swf/PNG/Image5.png"));
  F.ASaveAll->trigger();
  EXPECT_TRUE(fs::exists(Chosen + "movie.swf/JPEG/Image0.jpg"));
  EXPECT_FALSE(fs::exists(Chosen + "BMP"));
  EXPECT_FALSE(fs::exists(Chosen + "JPEG"));
  EXPECT_TRUE(F.PanelText(0).contains(QString::fromStdString(Chosen + "movie.swf/")));
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(MainFormTest, ImageFolderOpensFromTheMenuAndFromTheSaveAllBox) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const QString Output = QString::fromStdString(Program + "IMAGES/movie.swf/");
  F.menuOpenImageFolder->trigger();
  EXPECT_EQ(OpenedFolders, QStringList{Output});
  EXPECT_TRUE(Boxes.isEmpty());

  // The Save all box's button.
  OpenedFolders.clear();
  fs::remove(Program + "IMAGES/movie.swf/PNG");
  WriteFileBytes(Program + "IMAGES/movie.swf/PNG", {1});
  AnswerBox = [](QMessageBox& Box) {
    static_cast<TSaveAllBox&>(Box).buttonOpenImageFolder->click();
  };
  F.ASaveAll->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Buttons.size(), 2);
  EXPECT_TRUE(Boxes[0].Buttons.contains(Lang("menuOpenImageFolder")));
  EXPECT_EQ(OpenedFolders, QStringList{Output});

  // A folder the desktop cannot show is said so.
  AnswerBox = nullptr;
  Boxes.clear();
  F.FolderOpener = [](const QUrl&) { return false; };
  F.menuOpenImageFolder->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Text, Lang(mesFolderNotOpened).replace("%1", Output));
}

TEST_F(MainFormTest, StatusBarPanelsStayInsideTheWindow) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  const auto* Last = F.findChild<QWidget*>("StatusPanel4");
  ASSERT_NE(Last, nullptr);
  const QRect InBar = Last->geometry();
  EXPECT_LE(InBar.right(), F.TBXStatusBar1->width() - 3);  // room beside the edge
  EXPECT_LE(InBar.bottom(), F.TBXStatusBar1->height() - 1);
  EXPECT_GE(InBar.top(), 0);
}

// ---------------------------------------------------------------------------
// Preview

// One picture 400 x 300, its left half red, its right half blue; one of 3 x 2.
void SaveZoomMovie(const std::string& FileName) {
  std::vector<uint32_t> Big(400 * 300);
  for (int Y = 0; Y < 300; ++Y)
    for (int X = 0; X < 400; ++X) Big[size_t(Y * 400 + X)] = X < 200 ? 0xFFFF0000 : 0xFF0000FF;
  std::vector<uint32_t> Small = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                 0xFFFFFFFF, 0xFF000000, 0xFFFFFF00};
  TBytes BigRgba;
  for (uint32_t Pixel : Big)
    BigRgba.insert(BigRgba.end(),
                   {uint8_t(Pixel >> 16), uint8_t(Pixel >> 8), uint8_t(Pixel), 0x80});
  TMovieBuilder()
      .DefineBitsLossless(1, 5, 400, 300, ARGBData(Big))
      .DefineBitsLossless(2, 5, 3, 2, ARGBData(Small))
      .DefineBitsJPEG2(3, EncodePNG(400, 300, BigRgba))
      .End()
      .Save(FileName);
}

TEST_F(MainFormTest, PreviewSwitchesBetweenFitAndActualSizeAndZooms) {
  SaveZoomMovie(Program + "zoom.swf");
  TMainForm& F = Start();
  ShowWithGrid(530, 600);
  Open(Program + "zoom.swf");
  QScrollBar* Across = F.ImageScroll->horizontalScrollBar();

  // Fit: the large picture shrinks into the pane, drawn no larger than the
  // pane shows it; nothing scrolls.
  F.GridCellChosen(0, 0);
  EXPECT_TRUE(F.menuFitPreview->isChecked());
  EXPECT_LT(F.Image1->Picture().width(), 400);
  EXPECT_EQ(F.Label3->text(), "400x300");
  EXPECT_LT(F.Image1->PictureRect().width(), 400);
  QTest::qWait(20);
  EXPECT_EQ(Across->maximum(), 0);

  // A double-click: actual size, every pixel drawn, and the pane scrolls.
  QTest::mouseDClick(F.Image1, Qt::LeftButton, {}, F.Image1->rect().center());
  EXPECT_TRUE(F.menuActualSize->isChecked());
  EXPECT_EQ(F.Image1->Picture().size(), QSize(400, 300));
  EXPECT_EQ(F.Image1->PictureRect().size(), QSize(400, 300));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Across->maximum() > 0; }));
  EXPECT_EQ(Across->maximum(), 400 - F.ImageScroll->viewport()->width());
  QTest::mouseDClick(F.Image1, Qt::LeftButton, {}, F.Image1->rect().center());
  EXPECT_TRUE(F.menuFitPreview->isChecked());

  // A small picture at four times its size, every pixel a sharp square.
  F.GridCellChosen(0, 1);
  F.menuZoom4->trigger();
  EXPECT_TRUE(F.menuZoom4->isChecked());
  const QRect Shown = F.Image1->PictureRect();
  ASSERT_EQ(Shown.size(), QSize(12, 8));
  const QImage Shot = F.Image1->grab().toImage();
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 12; ++X)
      EXPECT_EQ(Shot.pixel(Shown.x() + X, Shown.y() + Y), F.Image1->Picture().pixel(X / 4, Y / 4))
          << X << "," << Y;
  F.menuZoom2->trigger();
  EXPECT_EQ(F.Image1->PictureRect().size(), QSize(6, 4));
  // The double-click goes back to the zoom chosen last.
  QTest::mouseDClick(F.Image1, Qt::LeftButton, {}, F.Image1->rect().center());
  EXPECT_TRUE(F.menuFitPreview->isChecked());
  EXPECT_EQ(F.Image1->PictureRect().size(), QSize(3, 2));  // fit never enlarges
  QTest::mouseDClick(F.Image1, Qt::LeftButton, {}, F.Image1->rect().center());
  EXPECT_TRUE(F.menuZoom2->isChecked());

  // A PNG the record stores whole fits the pane the same way, and its board
  // is drawn at the size shown.
  F.menuFitPreview->trigger();
  F.GridCellChosen(0, 2);
  EXPECT_EQ(F.Label2->text(), "PNG");
  EXPECT_EQ(F.Label3->text(), "400x300");
  EXPECT_LT(F.Image1->Picture().width(), 400);
  EXPECT_EQ(F.Image1->PictureRect().size(), F.Image1->Picture().size());
  F.menuActualSize->trigger();
  EXPECT_EQ(F.Image1->Picture().size(), QSize(400, 300));
}

// ---------------------------------------------------------------------------
// All French

// Every text a window shows: captions, titles, menu items, status panels.
QStringList ShownTexts(QWidget* Window) {
  QStringList Texts{Window->windowTitle()};
  for (QAction* Action : Window->findChildren<QAction*>()) Texts << Action->text();
  for (QMenu* Menu : Window->findChildren<QMenu*>()) Texts << Menu->title();
  for (QLabel* Label : Window->findChildren<QLabel*>()) Texts << Label->text();
  for (QAbstractButton* Button : Window->findChildren<QAbstractButton*>()) Texts << Button->text();
  return Texts;
}

TEST_F(MainFormTest, FrenchWindowShowsNoEnglishText) {
  ASSERT_TRUE(fs::exists(QtTranslationsDir().toStdString() + "/qtbase_fr.qm"))
      << "Qt's French catalogue is missing: install qt6-translations-l10n (scripts/setup.sh)";
  TMainForm& F = Start("[Config]\nLanguage=FRA\n");
  ShowWithGrid(530);
  TMovieBuilder().End().Save(Program + "empty.swf");
  Open(Program + "empty.swf");  // the NO IMAGES sign
  Open(Movie);
  F.GridCellChosen(1, 2);
  F.ASave->trigger();
  const auto English = [&](const char* Key) { return LangText(Program, Key, "ENG"); };
  const auto French = [&](const char* Key) { return LangText(Program, Key, "FRA"); };

  // English texts that are not also French (proper names, "Options", ...).
  QStringList EnglishOnly;
  for (const std::string& Key : LangKeys()) {
    const QString Eng = LangText(Program, Key, "ENG"), Fra = LangText(Program, Key, "FRA");
    if (Eng != Fra) EnglishOnly << Eng;
  }
  const auto NoEnglish = [&](const QStringList& Texts, const char* Where) {
    for (const QString& Text : Texts)
      for (const QString& Eng : EnglishOnly)
        EXPECT_FALSE(!Eng.isEmpty() && (Text == Eng || (Eng.size() > 8 && Text.contains(Eng))))
            << Where << ": " << Text.toStdString();
  };

  // The window, its status bar and its tooltips.
  QStringList Window = ShownTexts(&F);
  for (int Panel = 0; Panel < 5; ++Panel) Window << F.PanelText(Panel);
  Window << F.VDT->model()->index(0, 0).data(Qt::ToolTipRole).toString();
  Window << F.Label4->text();
  NoEnglish(Window, "window");
  EXPECT_EQ(F.submenuRecent->title(), French("submenuRecent"));
  EXPECT_EQ(F.menuZoom4->text(), French("menuZoom4"));
  EXPECT_EQ(F.Label4->text(), French("mesColorMode24"));
  EXPECT_TRUE(F.PanelText(0).contains(French("mesSave")));

  // The NO IMAGES sign.
  Open(Program + "empty.swf");
  EXPECT_EQ(F.Image2->Picture(), NoImagesPicture(French("mesNoImages")));
  EXPECT_NE(F.Image2->Picture(), NoImagesPicture(English("mesNoImages")));

  // The About box.
  F.FAbout->show();
  QStringList About = ShownTexts(F.FAbout);
  NoEnglish(About, "About");
  EXPECT_EQ(F.FAbout->Label4->text(), French("mesAboutWebsite"));
  EXPECT_EQ(F.FAbout->Label3->text(), French("mesAboutRights"));
  // The banner's tagline too.
  const auto Banner = [&](const QString& Tagline) {
    return QPixmap::fromImage(AboutBanner(Tagline)).toImage();
  };
  const QImage Shown = F.FAbout->PNGButton1->icon().pixmap(QSize(300, 100)).toImage();
  EXPECT_EQ(Shown, Banner(French("mesAboutTagline")));
  EXPECT_NE(Shown, Banner(English("mesAboutTagline")));
  F.FAbout->close();

  // The help error, with the French guide missing.
  F.buttonHelp->click();
  ASSERT_EQ(Errors.size(), 2);  // the reason, then the help-error box
  EXPECT_TRUE(Errors[0].startsWith(French("mesHelpFileMissing").section("%1", 0, 0)))
      << Errors[0].toStdString();
  NoEnglish(Errors, "help error");

  // The Save all box, Qt's Close button included.
  TSaveAllBox Box({"2: failed"}, *Settings, &F);
  QStringList Report{Box.windowTitle(), Box.text()};
  for (QAbstractButton* Button : Box.buttons()) Report << Button->text();
  NoEnglish(Report, "Save all box");
  EXPECT_TRUE(Report.contains("Fermer")) << Report.join('|').toStdString();
  EXPECT_EQ(Box.buttonOpenImageFolder->text(), French("menuOpenImageFolder"));

  // Qt's own file dialog, and back to English.
  const auto OpenButton = [&] {
    const std::unique_ptr<QFileDialog> Dialog = F.MakeOpenDialog();
    auto* Buttons = Dialog->findChild<QDialogButtonBox*>();
    return Buttons && Buttons->button(QDialogButtonBox::Open)
               ? Buttons->button(QDialogButtonBox::Open)->text()
               : QString();
  };
  EXPECT_EQ(OpenButton(), "&Ouvrir");
  const std::unique_ptr<QFileDialog> Dialog = F.MakeOpenDialog();
  EXPECT_TRUE(Dialog->nameFilters().value(0).startsWith(French("mesSWFFiles")));
  F.menuEnglish->trigger();
  EXPECT_EQ(OpenButton(), "&Open");
  EXPECT_EQ(F.submenuRecent->title(), English("submenuRecent"));
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
  EXPECT_EQ(F.VDT->RootNodeCount(), 3);
  for (int N = 0; N < 12; ++N) {
    F.VDTColumnClick(N / 4, N % 4);
    EXPECT_TRUE(InfoShown()) << N;
  }
}

}  // namespace
