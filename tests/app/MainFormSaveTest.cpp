// The main window's Save and Save all: the files written, what is said
// about the ones that were not, and the folders they go to.
#include "MainFormFixture.h"

namespace {

// ---------------------------------------------------------------------------
// Save and Save all

TEST_F(MainFormTest, SaveWritesTheSelectedPicture) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(1, 2);
  Button("buttonSave")->click();
  const std::string Output = Program + "IMAGES/movie.swf/";
  EXPECT_TRUE(fs::exists(Output + "BMP/Image5.bmp"));
  EXPECT_TRUE(fs::exists(Output + "PNG/Image5.png"));
  EXPECT_FALSE(fs::exists(Output + "JPEG/Image5.jpg"));
  // The status bar names the folder written to.
  EXPECT_EQ(F.PanelText(0), "Image 5 " + Lang(mesSave) + " " +
                                Lang(mesSavedIn).replace("%1", QString::fromStdString(Output)));
  EXPECT_TRUE(Errors.isEmpty());
}

// Save and Save all write as the tool does: a link planted at a picture's
// name is replaced by the picture, and its target keeps what it holds.
TEST_F(MainFormTest, SaveAndSaveAllReplaceALinkAtAPicturesNameWithThePicture) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const std::string Output = Program + "IMAGES/movie.swf/", Precious = Program + "precious.txt";
  const TBytes Kept = {'k', 'e', 'e', 'p'};
  WriteFileBytes(Precious, Kept);
  for (const char* File : {"BMP/Image5.bmp", "PNG/Image5.png", "JPEG/Image0.jpg"})
    fs::create_symlink(Precious, Output + File);

  F.VDTColumnClick(1, 2);
  Button("buttonSave")->click();
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();
  EXPECT_EQ(ReadFileBytes(Precious), Kept);
  for (const char* File : {"BMP/Image5.bmp", "PNG/Image5.png"}) {
    EXPECT_FALSE(fs::is_symlink(Output + File)) << File;
    EXPECT_TRUE(fs::is_regular_file(Output + File)) << File;
  }
  EXPECT_NO_THROW(ReadPNG(Output + "PNG/Image5.png"));
  EXPECT_TRUE(fs::is_symlink(Output + "JPEG/Image0.jpg"));  // not saved yet

  Action("ASaveAll")->trigger();
  EXPECT_TRUE(Boxes.isEmpty());
  EXPECT_EQ(ReadFileBytes(Precious), Kept);
  EXPECT_FALSE(fs::is_symlink(Output + "JPEG/Image0.jpg"));
  EXPECT_TRUE(DecodesAsJPEG(ReadFileBytes(Output + "JPEG/Image0.jpg")));
  EXPECT_EQ(F.PanelText(0), Lang(mesAllTheImagesWereSaved) + " " +
                                Lang(mesSavedIn).replace("%1", QString::fromStdString(Output)));
}

TEST_F(MainFormTest, SaveAllWritesEveryPicture) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  Action("menuSaveAll")->trigger();
  const std::string Output = Program + "IMAGES/movie.swf/";
  for (const char* File :
       {"JPEG/Image0.jpg", "JPEG/Image1.jpg", "JPEG/Image2.jpg", "PNG/Image2.png", "BMP/Image3.bmp",
        "BMP/Image4.bmp", "BMP/Image5.bmp", "PNG/Image5.png", "BMP/Image6.bmp"})
    EXPECT_TRUE(fs::exists(Output + File)) << File;
  EXPECT_FALSE(fs::exists(Output + "PNG/Image3.png"));
  EXPECT_EQ(F.PanelText(0), Lang(mesAllTheImagesWereSaved) + " " +
                                Lang(mesSavedIn).replace("%1", QString::fromStdString(Output)));
  EXPECT_FALSE(ProgressBar1()->isVisible());
  EXPECT_EQ(ProgressBar1()->value(), 7);
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
  Action("ASave")->trigger();
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));  // unchanged

  Errors.clear();
  Action("ASaveAll")->trigger();
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
  EXPECT_FALSE(ProgressBar1()->isVisible());
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
    OpenRefused = !Action("AOpen")->isEnabled() && !Action("menuOptions")->isEnabled();
    F.OpenDialog1 = [] {
      ADD_FAILURE() << "an Open during Save all";
      return QString();
    };
    F.AOpenExecute();
  });
  Ticker.start(5);
  Action("ASaveAll")->trigger();
  Ticker.stop();
  EXPECT_TRUE(SeenBusy);
  EXPECT_TRUE(OpenRefused);
  EXPECT_GT(Ticks, 0);
  EXPECT_FALSE(F.Busy());
  EXPECT_TRUE(Action("AOpen")->isEnabled());
  EXPECT_TRUE(Action("ASaveAll")->isEnabled());
  EXPECT_EQ(fs::exists(Program + "IMAGES/many.swf/PNG/Image39.png"), true);
  EXPECT_EQ(F.PanelText(0).startsWith(Lang(mesAllTheImagesWereSaved)), true);

  // A close during Save all: the window stays until the save stops.
  fs::remove_all(Program + "IMAGES/many.swf");
  bool Closed = false;
  QTimer::singleShot(0, [&] {
    F.close();
    Closed = !F.isVisible();
  });
  Action("ASaveAll")->trigger();
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
  Action("ASaveAll")->trigger();
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
  Action("ASaveAll")->trigger();
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
  ASSERT_EQ(Thumbnails().size(), 4u);
  const QImage Mark = F.ThumbnailImage(3);
  for (int N = 0; N < 3; ++N) {
    const QImage Thumb = F.ThumbnailImage(N);
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
    EXPECT_TRUE(Action("ASave")->isEnabled()) << N;
    EXPECT_EQ(Label("Label2")->text(), Cases[N].Kind) << N;
    EXPECT_EQ(Label("Label3")->text(), Cases[N].Size) << N;
    EXPECT_EQ(Label("Label4")->text(), Cases[N].Mode) << N;
  }
  // The PNG over the board where it is transparent, the JPEG4 likewise.
  F.VDTColumnClick(0, 0);
  EXPECT_EQ(Image1()->Picture().pixel(2, 2), GreyPixel);
  EXPECT_EQ(Image1()->Picture().pixel(15, 5), qRgb(0, 0, 255));
  F.VDTColumnClick(0, 1);
  EXPECT_EQ(Image1()->Picture().pixel(4, 0), GreyPixel);
  EXPECT_FALSE(fs::exists(Program + "TEMP"));

  // Saved as stored; the picture with nothing to save is told, not saved.
  F.VDTColumnClick(0, 0);
  Action("ASave")->trigger();
  EXPECT_TRUE(Errors.isEmpty());
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/PNG/Image0.png"));
  F.Workspace().SelectedPicture = 3;
  Action("ASave")->trigger();
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_EQ(Errors[0], Lang(mesNothingToSave).arg(3));
  Action("ASaveAll")->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Informative, Lang(mesNothingToSave).arg(3));
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/GIF/Image2.gif"));
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/PNG/Image1.png"));
  EXPECT_TRUE(fs::exists(Program + "IMAGES/stored.swf/JPEG/Image1.jpg"));
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
  Action("menuOptions")->trigger();
  F.GridCellChosen(1, 2);
  Action("ASave")->trigger();
  EXPECT_TRUE(fs::exists(Chosen + "movie.swf/BMP/Image5.bmp"));
  EXPECT_TRUE(fs::exists(Chosen + "movie.swf/PNG/Image5.png"));
  Action("ASaveAll")->trigger();
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
  Action("menuOpenImageFolder")->trigger();
  EXPECT_EQ(OpenedFolders, QStringList{Output});
  EXPECT_TRUE(Boxes.isEmpty());

  // The Save all box's button.
  OpenedFolders.clear();
  fs::remove(Program + "IMAGES/movie.swf/PNG");
  WriteFileBytes(Program + "IMAGES/movie.swf/PNG", {1});
  AnswerBox = [](QMessageBox& Box) {
    static_cast<TSaveAllBox&>(Box).buttonOpenImageFolder->click();
  };
  Action("ASaveAll")->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Buttons.size(), 2);
  EXPECT_TRUE(Boxes[0].Buttons.contains(Lang("menuOpenImageFolder")));
  EXPECT_EQ(OpenedFolders, QStringList{Output});

  // A folder the desktop cannot show is said so.
  AnswerBox = nullptr;
  Boxes.clear();
  F.FolderOpener = [](const QUrl&) { return false; };
  Action("menuOpenImageFolder")->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0].Text, Lang(mesFolderNotOpened).replace("%1", Output));
}

TEST_F(MainFormTest, StatusBarPanelsStayInsideTheWindow) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  const auto* Last = F.findChild<QWidget*>("StatusPanel4");
  ASSERT_NE(Last, nullptr);
  const QRect InBar = Last->geometry();
  EXPECT_LE(InBar.right(), TBXStatusBar1()->width() - 3);  // room beside the edge
  EXPECT_LE(InBar.bottom(), TBXStatusBar1()->height() - 1);
  EXPECT_GE(InBar.top(), 0);
}

}  // namespace
