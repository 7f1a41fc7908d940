// Preview rendering and thumbnails: target sizes, the checkerboard, the
// blend, both alpha layouts, reduced pictures, and thumbnails of every
// picture kind.
#include "render/Render.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <filesystem>
#include <set>

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

TBlock BlockOf(const TBytes& Bytes) {
  return {Bytes.data(), uint32_t(Bytes.size())};
}

// A picture as one of the program's BMPs (24 bits, rows bottom up), as Qt
// writes it.
TBytes AsBMP(const QImage& Picture) {
  QByteArray Bytes;
  QBuffer Device(&Bytes);
  Device.open(QIODevice::WriteOnly);
  EXPECT_TRUE(Picture.convertToFormat(QImage::Format_RGB888).save(&Device, "BMP"));
  return TBytes(Bytes.begin(), Bytes.end());
}

// A picture as a JPEG of high quality.
TBytes AsJPEG(const QImage& Picture) {
  TRgbPicture Rgb{Picture.width(), Picture.height(), {}};
  for (int y = 0; y < Picture.height(); ++y)
    for (int x = 0; x < Picture.width(); ++x) {
      const QRgb P = Picture.pixel(x, y);
      Rgb.Rgb.insert(Rgb.Rgb.end(), {uint8_t(qRed(P)), uint8_t(qGreen(P)), uint8_t(qBlue(P))});
    }
  return EncodeJPEG(Rgb, 95);
}

// The pixels of a picture as the two kinds of picture with alpha give them:
// a lossless picture's BMP with its plain plane (bottom row first), a JPEG
// with its zlib alpha data (top row first; bytes that are not zlib are taken
// as they stand). Without Alpha the picture has no plane.
enum TKind { kBMP, kJPEG };
TPicturePixels PixelsOf(const TBytes& File, TKind Kind, const TBytes* Alpha) {
  TPicturePixels Pixels;
  std::string Failure;
  const TBlock Plane = Alpha ? BlockOf(*Alpha) : TBlock{};
  const bool Ok =
      Kind == kBMP
          ? DecodeBMPPixels(BlockOf(File), Alpha ? &Plane : nullptr, 0, Pixels, Failure)
          : DecodeJPEGPixels(BlockOf(File), Alpha ? &Plane : nullptr, 0, duScreen, Pixels, Failure);
  EXPECT_TRUE(Ok) << Failure;
  return Pixels;
}

// Pixels drawn into a box; an empty image when they cannot be. The colours
// stay as stored: making them straight is the straight colours' tests' part.
QImage Draw(const TPicturePixels& Pixels, int32_t BoxHeight, int32_t BoxWidth, int32_t Square = 10,
            int32_t Color = Grey) {
  QImage Target;
  std::string Failure;
  EXPECT_TRUE(RenderPixels(Pixels, BoxHeight, BoxWidth, Square, Color, Target, Failure, false))
      << Failure;
  return Target;
}

// Source at its own size, with the given alpha data (none: no plane).
QImage Render(const QImage& Source, TKind Kind, const TBytes* Alpha, int32_t Square = 10,
              int32_t Color = Grey) {
  const TBytes File = Kind == kBMP ? AsBMP(Source) : AsJPEG(Source);
  return Draw(PixelsOf(File, Kind, Alpha), Source.height(), Source.width(), Square, Color);
}

// The pixels of Source itself, with no plane.
TPicturePixels Plain(const QImage& Source) {
  TPicturePixels Pixels;
  Pixels.Width = Source.width();
  Pixels.Height = Source.height();
  Pixels.RealRows = Source.height();
  if (!Pixels.Colour.Create(Source.width(), Source.height(), ifRGB24)) return Pixels;
  for (int y = 0; y < Source.height(); ++y)
    for (int x = 0; x < Source.width(); ++x) {
      uint8_t* Px = Pixels.Colour.MutableRow(y) + 3 * x;
      const QRgb P = Source.pixel(x, y);
      Px[0] = uint8_t(qRed(P)), Px[1] = uint8_t(qGreen(P)), Px[2] = uint8_t(qBlue(P));
    }
  return Pixels;
}

TEST(RenderTest, TargetKeepsTheAspectRatioWithHalvesToEven) {
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
    const QImage Target = Draw(Plain(Solid(C.W, C.H, qRgb(10, 20, 30))), C.BoxH, C.BoxW);
    EXPECT_EQ(Target.size(), QSize(C.WantW, C.WantH)) << C.W << "x" << C.H;
  }
}

TEST(RenderTest, WithoutAlphaTheSourceIsCopied) {
  QImage Source = Solid(3, 2, qRgb(10, 20, 30));
  Source.setPixel(2, 1, qRgb(200, 100, 50));
  const QImage Target = Render(Source, kBMP, nullptr);
  ASSERT_EQ(Target.size(), Source.size());
  EXPECT_EQ(Target.pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(Target.pixel(2, 1), qRgb(200, 100, 50));
}

TEST(RenderTest, EmptySourceFailsAndDrawsNothing) {
  QImage Target = Solid(5, 5, 0);
  std::string Failure;
  EXPECT_FALSE(RenderPixels(TPicturePixels(), 150, 150, 10, Grey, Target, Failure));
  EXPECT_EQ(Failure, "The picture is empty");
  EXPECT_EQ(Target.size(), QSize(5, 5));
}

TEST(RenderTest, BoardSquaresStartWithTheColourAndAreCutAtTheEdge) {
  // 25 x 12 with squares of 10: 3 x 2 squares, the last column and row cut.
  const TBytes Transparent(25 * 12, 0);
  // Red in the low byte.
  const QImage Target = Render(Solid(25, 12, 0), kBMP, &Transparent, 10, 0x332211);
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

TEST(RenderTest, SquareSizeBelowOneStillDrawsABoard) {
  const TBytes Transparent(20, 0);
  for (int32_t Square : {0, -3}) {
    const QImage Target = Render(Solid(20, 1, 0), kBMP, &Transparent, Square);
    ASSERT_EQ(Target.size(), QSize(20, 1));
    EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  }
}

TEST(RenderTest, BlendIsTheFlooredWeightedMean) {
  // One row over the white square (columns 10..19): black source.
  struct TCase {
    uint8_t Alpha;
    int Want;
  };
  const TCase Cases[] = {{0, 255}, {255, 0}, {128, 127}, {1, 254}, {254, 1}};
  for (const TCase& C : Cases) {
    TBytes Alpha(20, C.Alpha);
    const QImage Target = Render(Solid(20, 1, qRgb(0, 0, 0)), kBMP, &Alpha);
    EXPECT_EQ(qRed(Target.pixel(15, 0)), C.Want) << int(C.Alpha);
    EXPECT_EQ(qBlue(Target.pixel(15, 0)), C.Want) << int(C.Alpha);
  }
  // Over the grey square: alpha 0 is the board, 255 the source.
  TBytes Half = {0, 255};
  const QImage Target = Render(Solid(2, 1, qRgb(9, 99, 199)), kBMP, &Half);
  EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 0), qRgb(9, 99, 199));
}

TEST(RenderTest, PlainAlphaRunsFromTheBottomRowUp) {
  const QRgb Red = qRgb(255, 0, 0);
  const TBytes Alpha = {255, 255, 0, 0};  // bottom row first
  const QImage Target = Render(Solid(2, 2, Red), kBMP, &Alpha);
  EXPECT_EQ(Target.pixel(0, 1), Red);
  EXPECT_EQ(Target.pixel(1, 1), Red);
  EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 0), GreyPixel);
}

TEST(RenderTest, PixelsAShortPlainPlaneDoesNotReachStayOpaque) {
  const QRgb Red = qRgb(255, 0, 0);
  const TBytes Alpha = {0, 255};  // the rest of the 4 x 2 picture stays opaque
  const QImage Target = Render(Solid(4, 2, Red), kBMP, &Alpha);
  EXPECT_EQ(Target.pixel(0, 1), GreyPixel);
  for (QPoint P : {QPoint(1, 1), QPoint(3, 1), QPoint(0, 0), QPoint(3, 0)})
    EXPECT_EQ(Target.pixel(P), Red) << P.x() << "," << P.y();
}

// A JPEG's own colours, as drawn without a plane.
QImage Colours(const QImage& Source) {
  return Render(Source, kJPEG, nullptr);
}

TEST(RenderTest, JpegAlphaIsZlibFromTheTopRowDown) {
  const QImage Red = Solid(2, 2, qRgb(255, 0, 0));
  const TBytes Packed = Zlib({255, 255, 0, 0});
  const QImage Target = Render(Red, kJPEG, &Packed);
  EXPECT_EQ(Target.pixel(0, 0), Colours(Red).pixel(0, 0));
  EXPECT_EQ(Target.pixel(1, 0), Colours(Red).pixel(1, 0));
  EXPECT_TRUE(Near(Target.pixel(0, 0), qRgb(255, 0, 0)));
  EXPECT_EQ(Target.pixel(0, 1), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 1), GreyPixel);
}

TEST(RenderTest, JpegAlphaThatIsNotZlibIsTakenAsItStands) {
  const QImage Red = Solid(2, 2, qRgb(255, 0, 0));
  const TBytes Raw = {255, 255, 0, 0};
  const QImage Target = Render(Red, kJPEG, &Raw);
  EXPECT_EQ(Target.pixel(0, 0), Colours(Red).pixel(0, 0));
  EXPECT_EQ(Target.pixel(1, 0), Colours(Red).pixel(1, 0));
  EXPECT_EQ(Target.pixel(0, 1), GreyPixel);
}

TEST(RenderTest, ShortZlibAlphaRepeatsItsLastValue) {
  const QImage Red = Solid(50, 80, qRgb(255, 0, 0));
  // A complete stream with too few bytes, and a stream cut short.
  TBytes Plane(4000, 255);
  std::fill(Plane.begin(), Plane.begin() + 1000, 0);
  TBytes Cut = Zlib(Plane, 0);  // stored blocks: the cut keeps the first 2000 bytes or so
  Cut.resize(Cut.size() / 2);
  const TBytes Short = Zlib({0, 255});
  const QImage Opaque = Colours(Red);
  for (const TBytes* Packed : {&Short, static_cast<const TBytes*>(&Cut)}) {
    const QImage Target = Render(Red, kJPEG, Packed);
    EXPECT_EQ(Target.pixel(49, 79), Opaque.pixel(49, 79));
    EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  }
  const QImage Target = Render(Red, kJPEG, &Short);
  EXPECT_EQ(Target.pixel(0, 0), GreyPixel);
  EXPECT_EQ(Target.pixel(1, 0), Opaque.pixel(1, 0));
}

TEST(RenderTest, ScaledBoardIsDrawnInSourcePixels) {
  // A 10 x 10 fully transparent picture in a 150 box is one grey square.
  const TBytes Transparent(100, 0);
  const QImage Target = Draw(PixelsOf(AsBMP(Solid(10, 10, 0)), kBMP, &Transparent), 150, 150);
  ASSERT_EQ(Target.size(), QSize(150, 150));
  EXPECT_EQ(Target.pixel(75, 75), GreyPixel);
  EXPECT_EQ(Target.pixel(149, 149), GreyPixel);
}

// A picture decoded smaller than its own size: each decoded pixel stands for
// the picture's pixel at its scaled place, and takes that pixel's alpha and
// board square.
TEST(RenderTest, AReducedPictureTakesTheAlphaAndBoardOfThePixelsItStandsFor) {
  // 40 x 20, plane bottom row first: alpha = source column, 255 on the top row.
  TBytes Plane(40 * 20);
  for (int Row = 0; Row < 20; ++Row)
    for (int x = 0; x < 40; ++x) Plane[size_t(Row) * 40 + x] = Row == 19 ? 255 : uint8_t(x);
  const TBytes Bmp = AsBMP(Solid(40, 20, qRgb(0, 0, 0)));
  const TBlock PlaneBlock = BlockOf(Plane);
  TPicturePixels Pixels;
  std::string Failure;
  ASSERT_TRUE(DecodeBMPPixels(BlockOf(Bmp), &PlaneBlock, 10, Pixels, Failure)) << Failure;
  ASSERT_EQ(Pixels.Colour.Width(), 10);  // averaged down by 4
  ASSERT_EQ(Pixels.Colour.Height(), 5);
  EXPECT_EQ(Pixels.Width, 40);
  EXPECT_EQ(Pixels.Height, 20);
  for (int32_t x = 0; x < 10; ++x) {
    EXPECT_EQ(Pixels.SourceX(x), 4 * x);
    EXPECT_EQ(Pixels.AlphaAt(x, 0), 255) << x;  // the top row
    EXPECT_EQ(Pixels.AlphaAt(x, 1), 4 * x) << x;
  }
  for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(Pixels.SourceY(y), 4 * y);

  // Drawn at the decoded size: the squares of 10 are laid out in the
  // picture's pixels, so every 2.5 decoded pixels; a transparent pixel is
  // the board.
  TBytes Clear(40 * 20, 0);
  const TBlock ClearBlock = BlockOf(Clear);
  ASSERT_TRUE(DecodeBMPPixels(BlockOf(Bmp), &ClearBlock, 10, Pixels, Failure)) << Failure;
  const QImage Target = Draw(Pixels, 5, 10);
  ASSERT_EQ(Target.size(), QSize(10, 5));
  const QRgb Board[5][10] = {
      {GreyPixel, GreyPixel, GreyPixel, WhitePixel, WhitePixel, GreyPixel, GreyPixel, GreyPixel,
       WhitePixel, WhitePixel},
      {GreyPixel, GreyPixel, GreyPixel, WhitePixel, WhitePixel, GreyPixel, GreyPixel, GreyPixel,
       WhitePixel, WhitePixel},
      {GreyPixel, GreyPixel, GreyPixel, WhitePixel, WhitePixel, GreyPixel, GreyPixel, GreyPixel,
       WhitePixel, WhitePixel},
      {WhitePixel, WhitePixel, WhitePixel, GreyPixel, GreyPixel, WhitePixel, WhitePixel,
       WhitePixel, GreyPixel, GreyPixel},
      {WhitePixel, WhitePixel, WhitePixel, GreyPixel, GreyPixel, WhitePixel, WhitePixel,
       WhitePixel, GreyPixel, GreyPixel},
  };
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(Target.pixel(x, y), Board[y][x]) << x << "," << y;
}

// The thumbnail of picture N; an empty image when it cannot be built.
QImage Thumbnail(const TPictureList& Pictures, int32_t N,
                 const TPictureSettings& Settings = TPictureSettings()) {
  QImage Thumb;
  std::string Failure;
  EXPECT_TRUE(BuildThumbnail(Pictures, N, Settings, Thumb, Failure)) << N << ": " << Failure;
  return Thumb;
}

// Picture N gives no thumbnail, and says why.
void ExpectNoThumbnail(const TPictureList& Pictures, int32_t N) {
  QImage Thumb = Solid(3, 3, 0);
  std::string Failure;
  EXPECT_FALSE(BuildThumbnail(Pictures, N, TPictureSettings(), Thumb, Failure)) << N;
  EXPECT_FALSE(Failure.empty()) << N;
  EXPECT_TRUE(Thumb.isNull()) << N;
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
    ResetWorkspace(Workspace);
    OpenAndExtract(Workspace, Dir.Path() + "movie.swf", Dir.Path(), nullptr);
  }

  TTempDir Dir;
  TWorkspace Workspace;
  TPictureSettings Settings;
};

// Thumbnails write no file, and each belongs to its picture only: built in
// any order, they are the same.
TEST_F(ThumbnailTest, EveryKindFitsTheBoxWritesNothingAndCarriesNothingOver) {
  ASSERT_EQ(Workspace.Pictures.Count, 6);
  const std::set<std::string> Before = FilesBelow(Dir.Path());
  const QSize Want[] = {{150, 112}, {75, 150}, {150, 112}, {150, 1}, {150, 150}};
  std::vector<QImage> Forward;
  for (int32_t N = 0; N < 5; ++N) {
    Forward.push_back(Thumbnail(Workspace.Pictures, N, Settings));
    EXPECT_EQ(Forward.back().size(), Want[N]) << N;
  }
  for (int32_t N = 4; N >= 0; --N)
    EXPECT_TRUE(Thumbnail(Workspace.Pictures, N, Settings) == Forward[size_t(N)]) << N;
  EXPECT_EQ(FilesBelow(Dir.Path()), Before);
}

TEST_F(ThumbnailTest, AlphaShowsTheBoardWhereThePictureIsTransparent) {
  // DefineBitsJPEG3: the top row is transparent, the rest opaque red.
  const QImage Jpeg3 = Thumbnail(Workspace.Pictures, 2, Settings);
  EXPECT_TRUE(Near(Jpeg3.pixel(75, 2), GreyPixel));
  EXPECT_GT(qRed(Jpeg3.pixel(75, 100)), 200);
  EXPECT_LT(qGreen(Jpeg3.pixel(75, 100)), 60);
  // DefineBitsLossless2: the top-left pixel is transparent.
  const QImage Lossless2 = Thumbnail(Workspace.Pictures, 4, Settings);
  EXPECT_TRUE(Near(Lossless2.pixel(5, 5), GreyPixel));
  EXPECT_TRUE(Near(Lossless2.pixel(140, 140), qRgb(255, 0, 0)));
}

TEST_F(ThumbnailTest, UndecodablePicturesFailCleanly) {
  const std::set<std::string> Before = FilesBelow(Dir.Path());
  for (int32_t N : {5, 6, -1}) ExpectNoThumbnail(Workspace.Pictures, N);
  std::string Failure;
  QImage Thumb;
  EXPECT_FALSE(BuildThumbnail(Workspace.Pictures, 6, Settings, Thumb, Failure));
  EXPECT_EQ(Failure, "No picture number 6");
  EXPECT_EQ(FilesBelow(Dir.Path()), Before);
}

// Each JPEG3 picture's alpha is its own: bytes that are not zlib are taken
// as they stand, never another picture's plane.
TEST(JPEG3ThumbnailTest, AlphaThatIsNotZlibIsThePicturesOwn) {
  TTempDir Dir;
  TRgbPicture Red{8, 6, {}};
  for (int i = 0; i < 8 * 6; ++i) Red.Rgb.insert(Red.Rgb.end(), {255, 0, 0});
  const TBytes Jpeg = EncodeJPEG(Red, 95);
  // A body whose alpha data is the plane itself, all opaque.
  TBytes Raw(6 + Jpeg.size() + 8 * 6, 255);
  const uint8_t Head[6] = {2, 0, uint8_t(Jpeg.size()), uint8_t(Jpeg.size() >> 8), 0, 0};
  std::copy_n(Head, 6, Raw.begin());
  std::copy(Jpeg.begin(), Jpeg.end(), Raw.begin() + 6);
  TMovieBuilder()
      .DefineBitsJPEG3(1, Jpeg, TBytes(8 * 6, 0))  // wholly transparent
      .Tag(35, Raw)
      .End()
      .Save(Dir.Path() + "movie.swf");
  TWorkspace Workspace;
  OpenAndExtract(Workspace, Dir.Path() + "movie.swf", Dir.Path(), nullptr);
  ASSERT_EQ(Workspace.Pictures.Count, 2);
  const QImage Clear = Thumbnail(Workspace.Pictures, 0);
  const QImage Opaque = Thumbnail(Workspace.Pictures, 1);
  EXPECT_TRUE(Near(Clear.pixel(140, 100), GreyPixel));
  EXPECT_GT(qRed(Opaque.pixel(140, 100)), 200);
  EXPECT_LT(qGreen(Opaque.pixel(140, 100)), 60);
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
  TWorkspace Workspace;
  ResetWorkspace(Workspace);
  OpenAndExtract(Workspace, Dir.Path() + "movie.swf", Dir.Path(), nullptr);
  ASSERT_EQ(Workspace.Pictures.Count, 2);
  const QImage Thumb = Thumbnail(Workspace.Pictures, 0);
  ASSERT_EQ(Thumb.size(), QSize(19, 150));  // the declared 256 x 2048
  EXPECT_GT(qRed(Thumb.pixel(9, 1)), 200);
  EXPECT_LT(qGreen(Thumb.pixel(9, 1)), 60);
  EXPECT_EQ(Thumb.pixel(9, 149), qRgb(215, 215, 215));
  EXPECT_EQ(Thumb.pixel(9, 20), qRgb(215, 215, 215));
  ExpectNoThumbnail(Workspace.Pictures, 1);
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
  TWorkspace Workspace;
  ResetWorkspace(Workspace);
  OpenAndExtract(Workspace, Dir.Path() + "movie.swf", Dir.Path(), nullptr);
  ASSERT_EQ(Workspace.Pictures.Count, 4);

  const QImage FromPng = Thumbnail(Workspace.Pictures, 0);
  ASSERT_EQ(FromPng.size(), QSize(150, 75));
  EXPECT_TRUE(Near(FromPng.pixel(5, 5), GreyPixel));
  EXPECT_TRUE(Near(FromPng.pixel(140, 40), qRgb(0, 0, 255)));

  const QImage FromGif = Thumbnail(Workspace.Pictures, 1);
  ASSERT_EQ(FromGif.size(), QSize(75, 150));
  EXPECT_TRUE(Near(FromGif.pixel(40, 20), qRgb(0, 255, 0)));
  EXPECT_TRUE(Near(FromGif.pixel(5, 145), qRgb(255, 255, 255)) ||
              Near(FromGif.pixel(5, 145), GreyPixel));
  EXPECT_FALSE(Near(FromGif.pixel(5, 145), qRgb(9, 9, 9)));

  const QImage Jpeg4 = Thumbnail(Workspace.Pictures, 2);
  ASSERT_EQ(Jpeg4.size(), QSize(150, 112));
  EXPECT_TRUE(Near(Jpeg4.pixel(75, 2), GreyPixel));
  EXPECT_GT(qRed(Jpeg4.pixel(75, 100)), 200);

  ExpectNoThumbnail(Workspace.Pictures, 3);
}

TEST(ViewWorkspace, DroppingTheStoresEmptiesThem) {
  TViewWorkspace W;
  tSWFStream Block;
  Block.WriteBytes("abc", 3);
  Block.SetPosition(0);
  W.Pictures.Append(21, Block, 3, nullptr);
  DropPictureStores(W);
  EXPECT_EQ(W.Pictures.PictureData->Size(), 0u);
  EXPECT_FALSE(W.Pictures.Movie);
}

TEST(ViewWorkspace, AResetEmptiesTheListAndSizesTheCellsByThePictureSize) {
  TTempDir Dir;
  TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(8, 8))).End().Save(Dir.Path() + "m.swf");
  TViewWorkspace W;
  OpenAndExtract(W, Dir.Path() + "m.swf", Dir.Path(), nullptr);
  ASSERT_EQ(W.Pictures.Count, 1);
  W.ChangeToggle = false;
  ResetWorkspace(W, 80);
  EXPECT_EQ(W.CellSize, 100);
  EXPECT_TRUE(W.ChangeToggle);
  EXPECT_EQ(W.Pictures.Count, 0);
  EXPECT_EQ(W.Pictures.PictureEntries.size(), 1u);
  EXPECT_EQ(W.Pictures.SideStarts, std::vector<uint32_t>{0});
}

// A GIF or PNG whose few bytes declare a huge picture is not painted at
// that size.
TEST(EmbeddedThumbnailTest, AFileDeclaringFarMoreThanItsBytesHoldIsNotDrawn) {
  TBytes Gif = EncodeGIF(1, 1, {255, 0, 0}, {0});
  Gif[6] = Gif[8] = uint8_t(5792 & 0xFF), Gif[7] = Gif[9] = uint8_t(5792 >> 8);  // the screen
  QImage Drawn;
  std::string Failure;
  EXPECT_FALSE(DecodeEmbeddedImage(Gif.data(), Gif.size(), Drawn, Failure));
  EXPECT_EQ(Failure, "The picture is implausibly large for its data");
  // A screen of 0 is painted at the first image's size, which counts instead
  // (here behind a transparency extension).
  TBytes NoScreen = EncodeGIF(1, 1, {255, 0, 0}, {0}, 0);
  const size_t Image = 13 + 768 + 8;
  ASSERT_EQ(NoScreen[Image], 0x2C);
  NoScreen[6] = NoScreen[7] = NoScreen[8] = NoScreen[9] = 0;
  NoScreen[Image + 5] = NoScreen[Image + 7] = uint8_t(5000 & 0xFF);
  NoScreen[Image + 6] = NoScreen[Image + 8] = uint8_t(5000 >> 8);
  Failure.clear();
  EXPECT_FALSE(DecodeEmbeddedImage(NoScreen.data(), NoScreen.size(), Drawn, Failure));
  EXPECT_EQ(Failure, "The picture is implausibly large for its data");
  const TBytes Small = EncodeGIF(300, 200, {0, 255, 0}, TBytes(300 * 200, 0));
  ASSERT_TRUE(DecodeEmbeddedImage(Small.data(), Small.size(), Drawn, Failure)) << Failure;
  EXPECT_EQ(Drawn.size(), QSize(300, 200));
}

}  // namespace
