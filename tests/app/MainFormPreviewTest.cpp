// The main window's grid and preview: clicks, the information pane, the
// keyboard, the wheel, shortcuts, Copy, and the preview's zoom.
#include "MainFormFixture.h"

namespace {

// ---------------------------------------------------------------------------
// Clicks and preview

TEST_F(MainFormTest, ClickOnTheThirdCellOfTheSecondRowSelectsPictureFive) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  const QModelIndex Cell = VDT()->model()->index(1, 2);
  QTest::mouseClick(VDT()->viewport(), Qt::LeftButton, {}, VDT()->visualRect(Cell).center());
  EXPECT_EQ(F.Workspace().SelectedPicture, 5);
  EXPECT_EQ(F.Workspace().CurrentRow, 1);
  EXPECT_EQ(Label("Label1")->text(), "5");
  EXPECT_EQ(Label("Label2")->text(), "PNG");
  EXPECT_EQ(Label("Label3")->text(), "4x4");
  EXPECT_TRUE(InfoShown());
  EXPECT_TRUE(Action("ASave")->isEnabled());
  EXPECT_TRUE(Action("menuSave")->isEnabled());
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
  EXPECT_FALSE(ProgressBar1()->isVisible());
  // The preview keeps the picture's size; its transparent corner shows the board.
  const QImage Preview = Image1()->Picture();
  ASSERT_EQ(Preview.size(), QSize(4, 4));
  EXPECT_EQ(Preview.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Preview.pixel(3, 3), qRgb(255, 0, 0));
  // The preview is drawn in memory: no scratch folder, no file.
  EXPECT_FALSE(fs::exists(Program + "TEMP"));
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
    EXPECT_EQ(Label("Label1")->text(), QString::number(N));
    EXPECT_EQ(Label("Label2")->text(), Cases[N].Kind) << N;
    EXPECT_EQ(Label("Label3")->text(), Cases[N].Size) << N;
    EXPECT_EQ(Label("Label4")->text(), Cases[N].Mode) << N;
    const QStringList Sides = QString(Cases[N].Size).split('x');
    EXPECT_EQ(Image1()->Picture().size(), QSize(Sides[0].toInt(), Sides[1].toInt())) << N;
  }
  // DefineBitsJPEG3: the top row is transparent, the others opaque red.
  F.VDTColumnClick(0, 2);
  const QImage Preview = Image1()->Picture();
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
  ASSERT_TRUE(Action("ASave")->isEnabled());
  F.VDTColumnClick(2, 2);  // picture 8 of 7
  EXPECT_EQ(F.Workspace().SelectedPicture, 8);
  EXPECT_FALSE(InfoShown());
  EXPECT_FALSE(Action("ASave")->isEnabled());
  EXPECT_FALSE(Button("buttonSave")->isEnabled());
  EXPECT_TRUE(Image1()->Picture().isNull());
  EXPECT_FALSE(ProgressBar1()->isVisible());
  EXPECT_FALSE(VDT()->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(F.PanelText(0), Lang(mesReady));
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
// Keyboard and selection

TEST_F(MainFormTest, NavigationKeysMoveTheCurrentPictureAndThePreviewFollows) {
  TMainForm& F = Start();
  ShowWithGrid(530);  // 3 columns: rows 0-2, 3-5, 6
  Open(Movie);
  VDT()->setFocus();
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
    QTest::keyClick(VDT(), Qt::Key(Step.Key));
    EXPECT_EQ(VDT()->Current(), Step.Want);
    EXPECT_EQ(F.Workspace().SelectedPicture, Step.Want);
    EXPECT_EQ(Label("Label1")->text(), QString::number(Step.Want));
    EXPECT_TRUE(InfoShown());
    EXPECT_FALSE(Image1()->Picture().isNull());
    EXPECT_TRUE(Action("ASave")->isEnabled());
  }
}

TEST_F(MainFormTest, CurrentPictureIsDrawnHighlighted) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  // A point of a cell's margin: white, unless the cell is the current one.
  const auto Highlighted = [&](int Row, int Column) {
    const QImage Shot = VDT()->viewport()->grab().toImage();
    const QRect Cell = VDT()->visualRect(VDT()->model()->index(Row, Column));
    return Shot.pixelColor(Cell.left() + 8, Cell.center().y()) != QColor(Qt::white);
  };
  EXPECT_FALSE(Highlighted(0, 0));
  const QModelIndex Cell = VDT()->model()->index(1, 2);
  QTest::mouseClick(VDT()->viewport(), Qt::LeftButton, {}, VDT()->visualRect(Cell).center());
  EXPECT_EQ(VDT()->Current(), 5);
  EXPECT_TRUE(Highlighted(1, 2));
  EXPECT_FALSE(Highlighted(0, 0));
  EXPECT_FALSE(Highlighted(1, 1));
  QTest::keyClick(VDT(), Qt::Key_Left);
  EXPECT_TRUE(Highlighted(1, 1));
  EXPECT_FALSE(Highlighted(1, 2));
  // An empty slot is no picture: nothing is current.
  F.GridCellChosen(2, 2);
  EXPECT_EQ(VDT()->Current(), -1);
  // A new movie starts with nothing current.
  F.GridCellChosen(0, 0);
  Open(Movie);
  EXPECT_EQ(VDT()->Current(), -1);
  EXPECT_FALSE(Highlighted(0, 0));
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
    const TPictureFacts& Facts = Pictures.Facts(N);
    EXPECT_FALSE(Facts.Size.Known()) << N;
    EXPECT_NE(std::string(Facts.KindName()), "") << N;
  }
  EXPECT_FALSE(Pictures.Facts(99).Size.Known());
}

TEST_F(MainFormTest, OneWheelNotchScrollsOneRow) {
  Start();
  ShowWithGrid(359, 600);  // one column: seven rows of 170 pixels
  Open(Movie);
  QScrollBar* Bar = VDT()->verticalScrollBar();
  // The view sets its scroll range when it lays the rows out, on a later
  // turn of the event loop than the open's.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Bar->maximum() > 2 * 170; })) << Bar->maximum();
  const auto Turn = [&](int Delta) {
    const QPointF At = VDT()->viewport()->rect().center();
    QWheelEvent Wheel(At, VDT()->viewport()->mapToGlobal(At), QPoint(), QPoint(0, Delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(VDT()->viewport(), &Wheel);
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
      {Action("menuOpen"), Menu("submenuFile"), QKeySequence("Ctrl+O")},
      {Action("menuSave"), Menu("submenuFile"), QKeySequence("Ctrl+S")},
      {Action("menuSaveAll"), Menu("submenuFile"), QKeySequence("Ctrl+Shift+S")},
      {Action("menuExit"), Menu("submenuFile"), QKeySequence("Ctrl+Q")},
      {Action("menuCopy"), Menu("submenuEdit"), QKeySequence("Ctrl+C")},
      {Action("menuHelp"), Menu("submenuHelp"), QKeySequence("F1")},
  };
  for (const auto& [Item, Menu, Key] : Items) {
    EXPECT_EQ(Item->shortcut(), Key) << Item->objectName().toStdString();
    EXPECT_TRUE(Menu->actions().contains(Item)) << Item->objectName().toStdString();
  }
  F.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&F));
  VDT()->setFocus();

  int Dialogs = 0;
  F.OpenDialog1 = [&] {
    ++Dialogs;
    return QString::fromStdString(Movie);
  };
  QTest::keyClick(VDT(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(Dialogs, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !F.ThumbnailsPending(); }, 20000));
  QTest::keyClick(VDT(), Qt::Key_Right);  // picture 0
  QTest::keyClick(VDT(), Qt::Key_S, Qt::ControlModifier);
  const std::string Output = Program + "IMAGES/movie.swf/";
  EXPECT_TRUE(fs::exists(Output + "JPEG/Image0.jpg"));
  EXPECT_FALSE(fs::exists(Output + "BMP/Image6.bmp"));
  QTest::keyClick(VDT(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(fs::exists(Output + "BMP/Image6.bmp"));
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(VDT(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(40, 30));
  QString Help;
  F.HelpOpener = [&](const QString& Path, QString&) {
    Help = Path;
    return true;
  };
  QTest::keyClick(VDT(), Qt::Key_F1);
  EXPECT_TRUE(Help.endsWith("Help_eng.pdf"));
  QTest::keyClick(VDT(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(F.isVisible());
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(MainFormTest, CopyPutsThePictureWithItsAlphaOnTheClipboard) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  EXPECT_FALSE(Action("ACopy")->isEnabled());  // nothing previewed yet
  QClipboard* Clipboard = QGuiApplication::clipboard();
  // DefineBitsLossless2 4x4, top-left pixel transparent; DefineBitsJPEG3 8x6,
  // top row transparent: the clipboard gets the transparency, not the board.
  F.GridCellChosen(1, 2);
  ASSERT_TRUE(Action("menuCopy")->isEnabled());
  Action("menuCopy")->trigger();
  QImage Copied = Clipboard->image();
  ASSERT_EQ(Copied.size(), QSize(4, 4));
  EXPECT_TRUE(Copied.hasAlphaChannel());
  EXPECT_EQ(qAlpha(Copied.pixel(0, 0)), 0);
  EXPECT_EQ(Copied.pixel(3, 3), qRgba(255, 0, 0, 255));
  EXPECT_EQ(F.PanelText(0), "Image 5 " + Lang(mesCopied));

  F.GridCellChosen(0, 2);
  Action("ACopy")->trigger();
  Copied = Clipboard->image();
  ASSERT_EQ(Copied.size(), QSize(8, 6));
  EXPECT_EQ(qAlpha(Copied.pixel(4, 0)), 0);
  EXPECT_EQ(qAlpha(Copied.pixel(4, 5)), 255);
  EXPECT_GT(qRed(Copied.pixel(4, 5)), 200);

  F.GridCellChosen(1, 1);  // a BMP without alpha
  Action("ACopy")->trigger();
  EXPECT_EQ(Clipboard->image().size(), QSize(6, 3));
  EXPECT_TRUE(Errors.isEmpty());
  EXPECT_FALSE(fs::exists(Program + "TEMP"));  // copied from memory
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
  QScrollBar* Across = ImageScroll()->horizontalScrollBar();

  // Fit: the large picture shrinks into the pane, drawn no larger than the
  // pane shows it; nothing scrolls.
  F.GridCellChosen(0, 0);
  EXPECT_TRUE(Action("menuFitPreview")->isChecked());
  EXPECT_LT(Image1()->Picture().width(), 400);
  EXPECT_EQ(Label("Label3")->text(), "400x300");
  EXPECT_LT(Image1()->PictureRect().width(), 400);
  QTest::qWait(20);
  EXPECT_EQ(Across->maximum(), 0);

  // A double-click: actual size, every pixel drawn, and the pane scrolls.
  QTest::mouseDClick(Image1(), Qt::LeftButton, {}, Image1()->rect().center());
  EXPECT_TRUE(Action("menuActualSize")->isChecked());
  EXPECT_EQ(Image1()->Picture().size(), QSize(400, 300));
  EXPECT_EQ(Image1()->PictureRect().size(), QSize(400, 300));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Across->maximum() > 0; }));
  EXPECT_EQ(Across->maximum(), 400 - ImageScroll()->viewport()->width());
  QTest::mouseDClick(Image1(), Qt::LeftButton, {}, Image1()->rect().center());
  EXPECT_TRUE(Action("menuFitPreview")->isChecked());

  // A small picture at four times its size, every pixel a sharp square.
  F.GridCellChosen(0, 1);
  Action("menuZoom4")->trigger();
  EXPECT_TRUE(Action("menuZoom4")->isChecked());
  const QRect Shown = Image1()->PictureRect();
  ASSERT_EQ(Shown.size(), QSize(12, 8));
  const QImage Shot = Image1()->grab().toImage();
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 12; ++X)
      EXPECT_EQ(Shot.pixel(Shown.x() + X, Shown.y() + Y), Image1()->Picture().pixel(X / 4, Y / 4))
          << X << "," << Y;
  Action("menuZoom2")->trigger();
  EXPECT_EQ(Image1()->PictureRect().size(), QSize(6, 4));
  // The double-click goes back to the zoom chosen last.
  QTest::mouseDClick(Image1(), Qt::LeftButton, {}, Image1()->rect().center());
  EXPECT_TRUE(Action("menuFitPreview")->isChecked());
  EXPECT_EQ(Image1()->PictureRect().size(), QSize(3, 2));  // fit never enlarges
  QTest::mouseDClick(Image1(), Qt::LeftButton, {}, Image1()->rect().center());
  EXPECT_TRUE(Action("menuZoom2")->isChecked());

  // A PNG the record stores whole fits the pane the same way, and its board
  // is drawn at the size shown.
  Action("menuFitPreview")->trigger();
  F.GridCellChosen(0, 2);
  EXPECT_EQ(Label("Label2")->text(), "PNG");
  EXPECT_EQ(Label("Label3")->text(), "400x300");
  EXPECT_LT(Image1()->Picture().width(), 400);
  EXPECT_EQ(Image1()->PictureRect().size(), Image1()->Picture().size());
  Action("menuActualSize")->trigger();
  EXPECT_EQ(Image1()->Picture().size(), QSize(400, 300));
}

}  // namespace
