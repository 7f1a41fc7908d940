// Preview rendering and thumbnails: target sizes, the checkerboard, the
// blend, both alpha layouts, and thumbnails of every picture kind.
#include "render/Render.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>

#include "render/Thread.h"
#include "tests/support/MovieBuilder.h"

namespace {

constexpr int32_t Grey = 13421772;  // 204, 204, 204
const QRgb GreyPixel = qRgb(204, 204, 204);
const QRgb WhitePixel = qRgb(255, 255, 255);

// Equal within a rounding step of the smooth scaling.
::testing::AssertionResult Near(QRgb Got, QRgb Want) {
  if (std::abs(qRed(Got) - qRed(Want)) <= 2 && std::abs(qGreen(Got) - qGreen(Want)) <= 2 &&
      std::abs(qBlue(Got) - qBlue(Want)) <= 2)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hex << Got << " is not near " << Want;
}

QImage Solid(int Width, int Height, QRgb Color) {
  QImage Image(Width, Height, QImage::Format_RGB32);
  Image.fill(Color);
  return Image;
}

class RenderTest : public ::testing::Test {
 protected:
  TTempDir Dir;
  std::string Work = Dir.Path();

  // Renders Source at its own size with the given alpha file content.
  QImage Render(const QImage& Source, const std::string& Label, const std::string& AlphaName,
                const TBytes* Alpha, int32_t Square = 10, int32_t Color = Grey) {
    if (Alpha) WriteFileBytes(Work + AlphaName, *Alpha);
    QImage Target;
    RenderPicture(Source, Target, Work + AlphaName, Source.height(), Source.width(), Label, Work,
                  Square, Color);
    return Target;
  }
};

TEST_F(RenderTest, TargetKeepsTheAspectRatioWithHalvesToEven) {
  struct TCase {
    int W, H, BoxW, BoxH, WantW, WantH;
  };
  const TCase Cases[] = {
      {300, 150, 150, 150, 150, 75},   // wide
      {150, 300, 150, 150, 75, 150},   // tall
      {99, 100, 150, 150, 148, 150},   // 148.5 goes to the even neighbour
      {101, 100, 150, 150, 150, 149},  // 148.51.. rounds up
      {100, 99, 150, 150, 150, 148},   // 148.5 again, the other way round
      {100, 100, 150, 120, 120, 120},  // square: the box height for both sides
      {10, 5, 150, 150, 150, 75},      // smaller pictures are enlarged
  };
  for (const TCase& C : Cases) {
    QImage Target;
    RenderPicture(Solid(C.W, C.H, qRgb(10, 20, 30)), Target, Work + "none", C.BoxH, C.BoxW, "",
                  Work, 10, Grey);
    EXPECT_EQ(Target.size(), QSize(C.WantW, C.WantH)) << C.W << "x" << C.H;
  }
}

TEST_F(RenderTest, WithoutAlphaTheSourceIsCopied) {
  QImage Source = Solid(3, 2, qRgb(10, 20, 30));
  Source.setPixel(2, 1, qRgb(200, 100, 50));
  const QImage Target = Render(Source, "BMP", "none", nullptr);
  ASSERT_EQ(Target.size(), Source.size());
  EXPECT_EQ(Target.pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(Target.pixel(2, 1), qRgb(200, 100, 50));
}

TEST_F(RenderTest, EmptySourceFailsAndDrawsNothing) {
  QImage Target = Solid(5, 5, 0);
  EXPECT_THROW(RenderPicture(QImage(), Target, Work + "none", 150, 150, "", Work, 10, Grey),
               EPictureError);
  EXPECT_EQ(Target.size(), QSize(5, 5));
}

TEST_F(RenderTest, BoardSquaresStartWithTheColourAndAreCutAtTheEdge) {
  // 25 x 12 with squares of 10: 3 x 2 squares, the last column and row cut.
  const TBytes Transparent(25 * 12, 0);
  // Red in the low byte.
  const QImage Target = Render(Solid(25, 12, 0), "BMP", "test.alp", &Transparent, 10, 0x332211);
  ASSERT_EQ(Target.size(), QSize(25, 12));
  const QRgb Dark = qRgb(0x11, 0x22, 0x33);
  struct TCase {
    int X, Y;
    QRgb Want;
  };
  const TCase Cases[] = {{0, 0, Dark},        {9, 9, Dark},   {10, 0, WhitePixel},
                         {19, 9, WhitePixel}, {20, 0, Dark},  {24, 9, Dark},
                         {0, 10, WhitePixel}, {10, 10, Dark}, {24, 11, WhitePixel},
                         {15, 11, Dark}};
  for (const TCase& C : Cases) EXPECT_EQ(Target.pixel(C.X, C.Y), C.Want) << C.X << "," << C.Y;
}

TEST_F(RenderTest, SquareSizeBelowOneStillDrawsABoard) {
  const TBytes Transparent(20, 0);
  for (int32_t Square : {0, -3}) {
    const QImage Target = Render(Solid(20, 1, 0), "BMP", "test.alp", &Transparent, Square);
    ASSERT_EQ(Target.size(), QSize(20, 1));
    EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  }
}

TEST_F(RenderTest, BlendIsTheFlooredWeightedMean) {
  // One row over the white square (columns 10..19): black source.
  struct TCase {
    uint8_t Alpha;
    int Want;
  };
  const TCase Cases[] = {{0, 255}, {255, 0}, {128, 127}, {1, 254}, {254, 1}};
  for (const TCase& C : Cases) {
    TBytes Alpha(20, C.Alpha);
    const QImage Target = Render(Solid(20, 1, qRgb(0, 0, 0)), "BMP", "test.alp", &Alpha);
    EXPECT_EQ(qRed(Target.pixel(15, 0)), C.Want) << int(C.Alpha);
    EXPECT_EQ(qBlue(Target.pixel(15, 0)), C.Want) << int(C.Alpha);
  }
  // Over the grey square: alpha 0 is the board, 255 the source.
  TBytes Half = {0, 255};
  const QImage Target = Render(Solid(2, 1, qRgb(9, 99, 199)), "BMP", "test.alp", &Half);
  EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 0), qRgb(9, 99, 199));
}

TEST_F(RenderTest, PlainAlphaRunsFromTheBottomRowUp) {
  const QRgb Red = qRgb(255, 0, 0);
  const TBytes Alpha = {255, 255, 0, 0};  // bottom row first
  const QImage Target = Render(Solid(2, 2, Red), "BMP", "test.alp", &Alpha);
  EXPECT_EQ(Target.pixel(0, 1), Red);
  EXPECT_EQ(Target.pixel(1, 1), Red);
  EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 0), GreyPixel);
}

TEST_F(RenderTest, ExhaustedAlphaRepeatsTheLastValue) {
  const QRgb Red = qRgb(255, 0, 0);
  const TBytes Alpha = {0, 255};  // the rest of the 4 x 2 picture stays opaque
  const QImage Target = Render(Solid(4, 2, Red), "BMP", "test.alp", &Alpha);
  EXPECT_EQ(Target.pixel(0, 1), GreyPixel);
  for (QPoint P : {QPoint(1, 1), QPoint(3, 1), QPoint(0, 0), QPoint(3, 0)})
    EXPECT_EQ(Target.pixel(P), Red) << P.x() << "," << P.y();
}

TEST_F(RenderTest, JpegAlphaIsZlibFromTheTopRowDown) {
  const QRgb Red = qRgb(255, 0, 0);
  const TBytes Packed = Zlib({255, 255, 0, 0});
  const QImage Target = Render(Solid(2, 2, Red), "JPEG", "test.alp", &Packed);
  EXPECT_EQ(Target.pixel(0, 0), Red);
  EXPECT_EQ(Target.pixel(1, 0), Red);
  EXPECT_EQ(Target.pixel(0, 1), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 1), GreyPixel);
  // The renderer's scratch files are gone afterwards.
  EXPECT_FALSE(FileExists(Work + "test.alp"));
  EXPECT_FALSE(FileExists(Work + "test_JPEG.alp"));
}

TEST_F(RenderTest, JpegAlphaThatIsNotZlibIsTakenAsItStands) {
  // What the preview meets: the export has already expanded "alpha".
  const QRgb Red = qRgb(255, 0, 0);
  const TBytes Raw = {255, 255, 0, 0};
  const QImage Target = Render(Solid(2, 2, Red), "JPEG", "alpha", &Raw);
  EXPECT_EQ(Target.pixel(0, 0), Red);
  EXPECT_EQ(Target.pixel(1, 0), Red);
  EXPECT_EQ(Target.pixel(0, 1), GreyPixel);
  EXPECT_TRUE(FileExists(Work + "alpha"));  // the caller's file stays
}

TEST_F(RenderTest, JpegAlphaFallsBackToItsOwnBytesNotToAnotherPicturesAlpha) {
  const QRgb Red = qRgb(255, 0, 0);
  WriteFileBytes(Work + "alpha", TBytes(4, 0));  // left by some other picture
  const TBytes Raw = {255, 255, 255, 255};
  const QImage Target = Render(Solid(2, 2, Red), "JPEG", "test.alp", &Raw);
  EXPECT_EQ(Target.pixel(1, 1), Red);
}

TEST_F(RenderTest, ShortZlibAlphaRepeatsItsLastValue) {
  const QRgb Red = qRgb(255, 0, 0);
  // A complete stream with too few bytes, and a stream cut short.
  TBytes Plane(4000, 255);
  std::fill(Plane.begin(), Plane.begin() + 1000, 0);
  TBytes Cut = Zlib(Plane, 0);  // stored blocks: the cut keeps the first 2000 bytes or so
  Cut.resize(Cut.size() / 2);
  const TBytes Short = Zlib({0, 255});
  for (const TBytes* Packed : {&Short, static_cast<const TBytes*>(&Cut)}) {
    const QImage Target = Render(Solid(50, 80, Red), "JPEG", "test.alp", Packed);
    EXPECT_EQ(Target.pixel(49, 79), Red);
    EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  }
  const QImage Target = Render(Solid(50, 80, Red), "JPEG", "test.alp", &Short);
  EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 0), Red);
}

TEST_F(RenderTest, ScaledBoardIsDrawnInSourcePixels) {
  // A 10 x 10 fully transparent picture in a 150 box is one grey square.
  const TBytes Transparent(100, 0);
  WriteFileBytes(Work + "test.alp", Transparent);
  QImage Target;
  RenderPicture(Solid(10, 10, 0), Target, Work + "test.alp", 150, 150, "BMP", Work, 10, Grey);
  ASSERT_EQ(Target.size(), QSize(150, 150));
  EXPECT_EQ(Target.pixel(75, 75), GreyPixel);
  EXPECT_EQ(Target.pixel(149, 149), GreyPixel);
}

// Thumbnails of a movie holding every kind of picture record.
class ThumbnailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TRgbPicture Red{8, 6, {}};
    for (int i = 0; i < 8 * 6; ++i) Red.Rgb.insert(Red.Rgb.end(), {255, 0, 0});
    auto [Tables, Image] = EncodeJPEGTablesAndImage(Pattern(40, 30));
    TBytes Alpha(8 * 6, 255);
    std::fill(Alpha.begin(), Alpha.begin() + 8, 0);  // top row transparent
    std::vector<uint32_t> Argb(4 * 4, 0xFFFF0000);
    Argb[0] = 0x00000000;  // top-left transparent
    TMovieBuilder()
        .JPEGTables(Tables)
        .DefineBits(1, Image)
        .DefineBitsJPEG2(2, EncodeJPEG(Pattern(30, 60, 1)))
        .DefineBitsJPEG3(3, EncodeJPEG(Red, 95), Alpha)
        .DefineBitsLossless(4, 5, 300, 2, ARGBData(std::vector<uint32_t>(600, 0xFF00FF00)))
        .DefineBitsLossless2(5, 5, 4, 4, ARGBData(Argb))
        .DefineBitsJPEG2(6, {0xFF, 0xD8, 1, 2, 3, 4})  // not decodable
        .End()
        .Save(Dir.Path() + "movie.swf");
    ResetWorkspace(Workspace, 150);
    OpenAndExtract(Workspace, Dir.Path() + "movie.swf", Dir.Path(), nullptr);
  }

  TTempDir Dir;
  TWorkspace Workspace{Dir.Path() + "TEMP/"};
  TPictureSettings Settings;
};

TEST_F(ThumbnailTest, EveryKindFitsTheBoxAndLeavesNoScratchFiles) {
  ASSERT_EQ(Workspace.Pictures.Count, 6);
  const QSize Want[] = {{150, 112}, {75, 150}, {150, 112}, {150, 1}, {150, 150}};
  for (int32_t N = 0; N < 5; ++N) {
    const QImage Thumb = BuildThumbnail(Workspace, N, Settings);
    EXPECT_EQ(Thumb.size(), Want[N]) << N;
    EXPECT_TRUE(Workspace.FormatLabel.empty());
    for (const char* Name : {"0.bmp", "0.jpeg", "test.alp", "test_JPEG.alp"})
      EXPECT_FALSE(FileExists(Workspace.WorkDir + Name)) << N << " " << Name;
  }
}

TEST_F(ThumbnailTest, AlphaShowsTheBoardWhereThePictureIsTransparent) {
  // DefineBitsJPEG3: the top row is transparent, the rest opaque red.
  const QImage Jpeg3 = BuildThumbnail(Workspace, 2, Settings);
  EXPECT_TRUE(Near(Jpeg3.pixel(75, 2), GreyPixel));
  EXPECT_GT(qRed(Jpeg3.pixel(75, 100)), 200);
  EXPECT_LT(qGreen(Jpeg3.pixel(75, 100)), 60);
  // DefineBitsLossless2: the top-left pixel is transparent.
  const QImage Lossless2 = BuildThumbnail(Workspace, 4, Settings);
  EXPECT_TRUE(Near(Lossless2.pixel(5, 5), GreyPixel));
  EXPECT_TRUE(Near(Lossless2.pixel(140, 140), qRgb(255, 0, 0)));
}

TEST_F(ThumbnailTest, UndecodablePicturesFailCleanly) {
  for (int32_t N : {5, 6, -1}) {
    EXPECT_THROW(BuildThumbnail(Workspace, N, Settings), EPictureError) << N;
    EXPECT_TRUE(Workspace.FormatLabel.empty());
    EXPECT_FALSE(FileExists(Workspace.WorkDir + "0.jpeg"));
  }
}

// The frame header of a baseline JPEG made to declare another height.
TBytes WithHeight(TBytes Jpeg, uint16_t Height) {
  size_t Frame = 2;
  while (Frame + 1 < Jpeg.size() && !(Jpeg[Frame] == 0xFF && Jpeg[Frame + 1] == 0xC0))
    Frame += 2 + (size_t(Jpeg[Frame + 2]) << 8 | Jpeg[Frame + 3]);
  EXPECT_LT(Frame + 9, Jpeg.size());
  Jpeg[Frame + 5] = uint8_t(Height >> 8);
  Jpeg[Frame + 6] = uint8_t(Height);
  return Jpeg;
}

// A picture whose data ends before the size it declares: its thumbnail shows
// the rows it holds and leaves the rest blank; one that holds no row at all
// is not drawn, however large it claims to be.
TEST(CutThumbnailTest, ThePartTheDataHoldsIsDrawnAndNothingIsMadeUp) {
  TTempDir Dir;
  TRgbPicture Red{256, 64, {}};
  for (int i = 0; i < 256 * 64; ++i) Red.Rgb.insert(Red.Rgb.end(), {250, 0, 0});
  const TBytes Jpeg = EncodeJPEG(Red, 90);
  TBytes Headerless = WithHeight(EncodeJPEG(Pattern(64, 64), 90), 8192);
  // Keep the header, drop the scan.
  size_t Scan = 2;
  while (Scan + 1 < Headerless.size() &&
         !(Headerless[Scan] == 0xFF && Headerless[Scan + 1] == 0xDA))
    Scan += 2 + (size_t(Headerless[Scan + 2]) << 8 | Headerless[Scan + 3]);
  Headerless.resize(Scan + 14);
  TMovieBuilder()
      .DefineBitsJPEG2(1, WithHeight(Jpeg, 2048))
      .DefineBitsJPEG2(2, Headerless)
      .End()
      .Save(Dir.Path() + "movie.swf");
  TWorkspace Workspace{Dir.Path() + "TEMP/"};
  ResetWorkspace(Workspace, 150);
  OpenAndExtract(Workspace, Dir.Path() + "movie.swf", Dir.Path(), nullptr);
  ASSERT_EQ(Workspace.Pictures.Count, 2);
  const TPictureSettings Settings;
  const QImage Thumb = BuildThumbnail(Workspace, 0, Settings);
  ASSERT_EQ(Thumb.size(), QSize(19, 150));  // the declared 256 x 2048
  EXPECT_GT(qRed(Thumb.pixel(9, 1)), 200);
  EXPECT_LT(qGreen(Thumb.pixel(9, 1)), 60);
  EXPECT_EQ(Thumb.pixel(9, 149), qRgb(215, 215, 215));
  EXPECT_EQ(Thumb.pixel(9, 20), qRgb(215, 215, 215));
  EXPECT_THROW(BuildThumbnail(Workspace, 1, Settings), EPictureError);
}

// PNG and GIF files stored whole in JPEG records, and DefineBitsJPEG4.
TEST(EmbeddedThumbnailTest, PNGAndGIFFilesAndJPEG4ShowTheBoardWhereTransparent) {
  TTempDir Dir;
  // 20 x 10 PNG: the left half transparent, the right half opaque blue.
  TBytes Rgba;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) Rgba.insert(Rgba.end(), {0, 0, 255, uint8_t(x < 10 ? 0 : 255)});
  const TBytes Png = EncodePNG(20, 10, Rgba);
  // 10 x 20 GIF: the top half green, the bottom half transparent.
  TBytes Indices(200, 1);
  std::fill(Indices.begin() + 100, Indices.end(), 2);
  const TBytes Gif = EncodeGIF(10, 20, {0, 0, 0, 0, 255, 0, 9, 9, 9}, Indices, 2);
  TRgbPicture Red{8, 6, {}};
  for (int i = 0; i < 8 * 6; ++i) Red.Rgb.insert(Red.Rgb.end(), {255, 0, 0});
  TBytes Alpha(8 * 6, 255);
  std::fill(Alpha.begin(), Alpha.begin() + 8, 0);  // top row transparent
  TBytes CutPng(Png.begin(), Png.begin() + 40);
  TMovieBuilder()
      .DefineBitsJPEG2(1, Png)
      .DefineBitsJPEG3(2, Gif, TBytes(200, 255))
      .DefineBitsJPEG4(3, EncodeJPEG(Red, 95), Alpha)
      .DefineBitsJPEG2(4, CutPng)
      .End()
      .Save(Dir.Path() + "movie.swf");
  TWorkspace Workspace{Dir.Path() + "TEMP/"};
  ResetWorkspace(Workspace, 150);
  OpenAndExtract(Workspace, Dir.Path() + "movie.swf", Dir.Path(), nullptr);
  ASSERT_EQ(Workspace.Pictures.Count, 4);
  const TPictureSettings Settings;

  const QImage FromPng = BuildThumbnail(Workspace, 0, Settings);
  ASSERT_EQ(FromPng.size(), QSize(150, 75));
  EXPECT_TRUE(Near(FromPng.pixel(5, 5), GreyPixel));
  EXPECT_TRUE(Near(FromPng.pixel(140, 40), qRgb(0, 0, 255)));

  const QImage FromGif = BuildThumbnail(Workspace, 1, Settings);
  ASSERT_EQ(FromGif.size(), QSize(75, 150));
  EXPECT_TRUE(Near(FromGif.pixel(40, 20), qRgb(0, 255, 0)));
  EXPECT_TRUE(Near(FromGif.pixel(5, 145), qRgb(255, 255, 255)) ||
              Near(FromGif.pixel(5, 145), GreyPixel));
  EXPECT_FALSE(Near(FromGif.pixel(5, 145), qRgb(9, 9, 9)));

  const QImage Jpeg4 = BuildThumbnail(Workspace, 2, Settings);
  ASSERT_EQ(Jpeg4.size(), QSize(150, 112));
  EXPECT_TRUE(Near(Jpeg4.pixel(75, 2), GreyPixel));
  EXPECT_GT(qRed(Jpeg4.pixel(75, 100)), 200);

  EXPECT_THROW(BuildThumbnail(Workspace, 3, Settings), EPictureError);
}

TEST(ViewWorkspace, DroppingTheStoresDropsTheThumbnailsToo) {
  TTempDir Dir;
  TViewWorkspace W(Dir.Path() + "TEMP/");
  W.Thumbnails.resize(3);
  DropPictureStores(W);
  EXPECT_TRUE(W.Thumbnails.empty());
  EXPECT_EQ(W.Pictures.PictureData->Size(), 0u);
}

// A GIF or PNG whose few bytes declare a huge picture is not painted at
// that size.
TEST(EmbeddedThumbnailTest, AFileDeclaringFarMoreThanItsBytesHoldIsNotDrawn) {
  TBytes Gif = EncodeGIF(1, 1, {255, 0, 0}, {0});
  Gif[6] = Gif[8] = uint8_t(5792 & 0xFF), Gif[7] = Gif[9] = uint8_t(5792 >> 8);  // the screen
  EXPECT_THROW(DecodeEmbeddedImage(Gif.data(), Gif.size()), EPictureError);
  // A screen of 0 is painted at the first image's size, which counts instead
  // (here behind a transparency extension).
  TBytes NoScreen = EncodeGIF(1, 1, {255, 0, 0}, {0}, 0);
  const size_t Image = 13 + 768 + 8;
  ASSERT_EQ(NoScreen[Image], 0x2C);
  NoScreen[6] = NoScreen[7] = NoScreen[8] = NoScreen[9] = 0;
  NoScreen[Image + 5] = NoScreen[Image + 7] = uint8_t(5000 & 0xFF);
  NoScreen[Image + 6] = NoScreen[Image + 8] = uint8_t(5000 >> 8);
  EXPECT_THROW(DecodeEmbeddedImage(NoScreen.data(), NoScreen.size()), EPictureError);
  const TBytes Small = EncodeGIF(300, 200, {0, 255, 0}, TBytes(300 * 200, 0));
  const QImage Drawn = DecodeEmbeddedImage(Small.data(), Small.size());
  EXPECT_EQ(Drawn.size(), QSize(300, 200));
}

TEST(DrawThread, HandsTheJobToTheReceiversThreadAndReleasesItself) {
  int Argc = 1;
  char Name[] = "render_test";
  char* Argv[] = {Name, nullptr};
  QCoreApplication Application(Argc, Argv);
  QObject Receiver;
  QThread* RanOn = nullptr;
  QPointer<TDrawThread> Thread =
      new TDrawThread(&Receiver, [&] { RanOn = QThread::currentThread(); });
  Thread->start();
  QElapsedTimer Waited;
  Waited.start();
  while (Thread && Waited.elapsed() < 10000) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  EXPECT_EQ(RanOn, QThread::currentThread());
  EXPECT_TRUE(Thread.isNull());
}

}  // namespace
