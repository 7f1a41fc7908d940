// JPEG decoding and alpha composition: real PNGs written by the composers and
// read back with libpng; failures leave no PNG and tell why.
#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <filesystem>

#include <QBuffer>

// jpeglib.h relies on size_t and FILE being declared before it.
#include <jpeglib.h>

#include "extract/AlphaPNG.h"
#include "extract/JPEGDecode.h"
#include "extract/Lossless.h"
#include "extract/Workers.h"
#include "render/Render.h"
#include "tests/support/MovieBuilder.h"

namespace {

// A CMYK JPEG (libjpeg writes the Adobe marker, values inverted as Adobe does).
TBytes EncodeCMYK(int Width, int Height, const uint8_t Ink[4]) {
  jpeg_compress_struct Info{};
  jpeg_error_mgr Errors{};
  Info.err = jpeg_std_error(&Errors);
  jpeg_create_compress(&Info);
  unsigned char* Out = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Out, &Size);
  Info.image_width = JDIMENSION(Width);
  Info.image_height = JDIMENSION(Height);
  Info.input_components = 4;
  Info.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&Info);
  jpeg_set_quality(&Info, 95, TRUE);
  jpeg_start_compress(&Info, TRUE);
  TBytes Row;
  for (int x = 0; x < Width; ++x) Row.insert(Row.end(), Ink, Ink + 4);
  while (Info.next_scanline < Info.image_height) {
    JSAMPROW Line = Row.data();
    jpeg_write_scanlines(&Info, &Line, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  TBytes Result(Out, Out + Size);
  free(Out);
  return Result;
}

// The transparency table of a palette PNG.
TBytes ReadTRNS(const std::string& FileName) {
  FILE* File = std::fopen(FileName.c_str(), "rb");
  EXPECT_NE(File, nullptr);
  if (!File) return {};
  png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(Png);
  TBytes Table;
  if (setjmp(png_jmpbuf(Png)) == 0) {
    png_init_io(Png, File);
    png_read_info(Png, Info);
    png_bytep Alpha = nullptr;
    int Count = 0;
    if (png_get_tRNS(Png, Info, &Alpha, &Count, nullptr) & PNG_INFO_tRNS)
      Table.assign(Alpha, Alpha + Count);
  }
  png_destroy_read_struct(&Png, &Info, nullptr);
  std::fclose(File);
  return Table;
}

std::vector<std::string> FilesIn(const std::string& Folder) {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(Folder))
    Names.push_back(Entry.path().filename().string());
  std::sort(Names.begin(), Names.end());
  return Names;
}

// A JPEG's pixels as decoded for a file, at full size.
TDecodedJPEG Decoded(const TBytes& Jpeg) {
  TDecodedJPEG Out;
  std::string Failure;
  EXPECT_TRUE(DecodeJPEGImage(Jpeg.data(), Jpeg.size(), 0, Out, Failure)) << Failure;
  return Out;
}

const uint8_t* PixelAt(const TImage& Image, int x, int y) {
  return Image.Row(y) + 3 * x;
}

TBlock BlockOf(const TBytes& Bytes) {
  return {Bytes.data(), uint32_t(Bytes.size())};
}

// A list of one picture, appended as the walk appends it.
TPictureList OnePicture(int32_t TagCode, const TBytes& Primary, const TBytes* Side = nullptr) {
  TPictureList Pictures;
  tSWFStream Block, Alpha;
  if (!Primary.empty()) Block.WriteBytes(Primary.data(), uint32_t(Primary.size()));
  if (Side && !Side->empty()) Alpha.WriteBytes(Side->data(), uint32_t(Side->size()));
  Block.SetPosition(0);
  Pictures.Append(TagCode, Block, Block.Size(), Side ? &Alpha : nullptr, 1);
  Pictures.CompleteFacts();
  return Pictures;
}

// ---------------------------------------------------------------------------

TEST(DecodeJPEG, ColourAndGrayscalePicturesBecome24BitRGB) {
  TRgbPicture Picture = Pattern(19, 7);
  for (bool Gray : {false, true}) {
    SCOPED_TRACE(Gray ? "grayscale" : "colour");
    TBytes Jpeg = EncodeJPEG(Picture, 95, Gray);
    const TDecodedJPEG Image = Decoded(Jpeg);
    ASSERT_EQ(Image.Image.Width(), 19);
    ASSERT_EQ(Image.Image.Height(), 7);
    EXPECT_EQ(Image.Image.Format(), ifRGB24);
    const uint8_t* Corner = PixelAt(Image.Image, 18, 6);
    if (Gray) {
      EXPECT_EQ(Corner[0], Corner[1]);
      EXPECT_EQ(Corner[1], Corner[2]);
    } else {
      const uint8_t* Source = &Picture.Rgb[(6 * 19 + 18) * 3];
      EXPECT_NEAR(Corner[0], Source[0], 12);
      EXPECT_NEAR(Corner[1], Source[1], 12);
      EXPECT_NEAR(Corner[2], Source[2], 12);
    }
  }
}

TEST(DecodeJPEG, AdobeCMYKBecomesRGB) {
  const uint8_t Cyan[4] = {0, 255, 255, 255};  // inverted: full cyan ink, nothing else
  TBytes Jpeg = EncodeCMYK(8, 8, Cyan);
  const TDecodedJPEG Image = Decoded(Jpeg);
  ASSERT_EQ(Image.Image.Width(), 8);
  ASSERT_EQ(Image.Image.Height(), 8);
  const uint8_t* Pixel = PixelAt(Image.Image, 3, 3);
  EXPECT_LE(Pixel[0], 8);
  EXPECT_GE(Pixel[1], 247);
  EXPECT_GE(Pixel[2], 247);
}

TEST(DecodeJPEG, DataTheDecoderRejectsFailsWithItsMessage) {
  TBytes Jpeg = EncodeJPEG(Pattern(16, 16));
  const std::pair<const char*, TBytes> Cases[] = {
      {"not JPEG", {1, 2, 3, 4, 5, 6, 7, 8}},
      {"SOI only", {0xFF, 0xD8}},
      {"header cut", TBytes(Jpeg.begin(), Jpeg.begin() + 40)},
  };
  for (const auto& [Name, Data] : Cases) {
    SCOPED_TRACE(Name);
    TDecodedJPEG Out;
    std::string Failure;
    EXPECT_FALSE(DecodeJPEGImage(Data.data(), Data.size(), 0, Out, Failure)) << "decoded";
    EXPECT_NE(Failure, "");
  }
  TDecodedJPEG Out;
  std::string Failure;
  EXPECT_FALSE(DecodeJPEGImage(nullptr, 0, 0, Out, Failure));
  EXPECT_EQ(Failure, "The JPEG data is empty");
}

TEST(DecodeJPEG, AScanCutShortStillGivesAPictureOfItsSize) {
  TBytes Jpeg = EncodeJPEG(Pattern(64, 64));
  Jpeg.resize(Jpeg.size() * 2 / 3);
  const TDecodedJPEG Image = Decoded(Jpeg);
  EXPECT_EQ(Image.Image.Width(), 64);
  EXPECT_EQ(Image.Image.Height(), 64);
  EXPECT_LT(Image.RealRows, 64);
  // What the data did not reach is blank, not made up, in the picture Copy
  // hands over.
  TBytes Body = {1, 0};
  Body.insert(Body.end(), Jpeg.begin(), Jpeg.end());
  const TPictureList Pictures = OnePicture(21, Body);
  QImage Copied;
  std::string Failure;
  ASSERT_TRUE(PictureWithAlpha(Pictures, 0, Copied, Failure)) << Failure;
  EXPECT_EQ(Copied.size(), QSize(64, 64));
  EXPECT_EQ(Copied.pixel(32, 63), qRgb(215, 215, 215));
}

// Decoding stops where the data runs out: the rows before the cut are kept,
// none after it is made up, and no row at all is a failure.
TEST(DecodeJPEG, ACutScanKeepsTheRowsItReallyHolds) {
  const TBytes Whole = EncodeJPEG(Pattern(64, 256), 90);
  TDecodedJPEG Full;
  std::string Failure;
  ASSERT_TRUE(DecodeJPEGImage(Whole.data(), Whole.size(), 0, Full, Failure)) << Failure;
  EXPECT_EQ(Full.RealRows, 256);
  int64_t Previous = 0;
  for (size_t Keep : {Whole.size() / 4, Whole.size() / 2, Whole.size() * 3 / 4}) {
    SCOPED_TRACE(Keep);
    TDecodedJPEG Cut;
    ASSERT_TRUE(DecodeJPEGImage(Whole.data(), Keep, 0, Cut, Failure)) << Failure;
    EXPECT_EQ(Cut.Width, 64);
    EXPECT_EQ(Cut.Height, 256);
    EXPECT_EQ(Cut.Image.Height(), 256);
    EXPECT_GT(Cut.RealRows, Previous);
    EXPECT_LT(Cut.RealRows, 256);
    // The rows kept are the whole picture's rows.
    for (int32_t y = 0; y < Cut.RealRows; y += 7)
      EXPECT_TRUE(std::equal(Cut.Image.Row(y), Cut.Image.Row(y) + 64 * 3, Full.Image.Row(y))) << y;
    Previous = Cut.RealRows;
  }
  // Only the header and the start of the scan: nothing to keep.
  TDecodedJPEG None;
  EXPECT_FALSE(
      DecodeJPEGImage(Whole.data(), Whole.size() - (Whole.size() - 700), 0, None, Failure));
}

// Thumbnails and previews decode at the smallest DCT scale that still fills
// their box.
TEST(DecodeJPEG, TheSmallestScaleThatReachesTheBoxIsChosen) {
  const TBytes Jpeg = EncodeJPEG(Pattern(800, 400));
  const std::pair<int32_t, int32_t> Cases[] = {{0, 800},   {150, 200}, {100, 100}, {101, 200},
                                               {700, 700}, {701, 800}, {2000, 800}};
  for (const auto& [MinSide, Width] : Cases) {
    SCOPED_TRACE(MinSide);
    TDecodedJPEG Decoded;
    std::string Failure;
    ASSERT_TRUE(DecodeJPEGImage(Jpeg.data(), Jpeg.size(), MinSide, Decoded, Failure)) << Failure;
    EXPECT_EQ(Decoded.Image.Width(), Width);
    EXPECT_EQ(Decoded.Image.Height(), Width / 2);
    EXPECT_EQ(Decoded.Width, 800);
    EXPECT_EQ(Decoded.RealRows, Width / 2);
  }
}

// A progressive picture is read whole before any row comes out: one whose data
// could not cover its blocks at a bit each is refused from its header.
TEST(DecodeJPEG, AMultiScanPictureFarTooShortForItsSizeIsRefused) {
  TBytes Jpeg = EncodeJPEG(Pattern(16, 16), 85, false, true);
  int32_t W = 0, H = 0;
  std::string Failure;
  ASSERT_TRUE(ReadJPEGSize(Jpeg.data(), Jpeg.size(), W, H, Failure)) << Failure;
  EXPECT_EQ(W, 16);
  // The frame header made to claim 8000 x 8000.
  size_t Frame = 2;
  while (Frame + 1 < Jpeg.size() && !(Jpeg[Frame] == 0xFF && Jpeg[Frame + 1] == 0xC2))
    Frame += 2 + (size_t(Jpeg[Frame + 2]) << 8 | Jpeg[Frame + 3]);
  ASSERT_LT(Frame + 9, Jpeg.size());
  Jpeg[Frame + 5] = 0x1F, Jpeg[Frame + 6] = 0x40, Jpeg[Frame + 7] = 0x1F, Jpeg[Frame + 8] = 0x40;
  EXPECT_FALSE(ReadJPEGSize(Jpeg.data(), Jpeg.size(), W, H, Failure));
  EXPECT_NE(Failure.find("too short"), std::string::npos) << Failure;
  TDecodedJPEG Decoded;
  EXPECT_FALSE(DecodeJPEGImage(Jpeg.data(), Jpeg.size(), 150, Decoded, Failure));
}

// A frame header that claims 60000 x 60000 over a few hundred bytes of data.
TEST(DecodeJPEG, ImplausibleDimensionsFailWithoutAllocating) {
  TBytes Jpeg = EncodeJPEG(Pattern(8, 8));
  size_t Frame = 2;
  while (Frame + 1 < Jpeg.size() && !(Jpeg[Frame] == 0xFF && Jpeg[Frame + 1] == 0xC0)) {
    Frame += 2 + (size_t(Jpeg[Frame + 2]) << 8 | Jpeg[Frame + 3]);
  }
  ASSERT_LT(Frame + 9, Jpeg.size());
  Jpeg[Frame + 5] = 0xEA;  // height 60000
  Jpeg[Frame + 6] = 0x60;
  Jpeg[Frame + 7] = 0xEA;  // width 60000
  Jpeg[Frame + 8] = 0x60;
  auto Start = std::chrono::steady_clock::now();
  TDecodedJPEG Out;
  std::string Failure;
  EXPECT_FALSE(DecodeJPEGImage(Jpeg.data(), Jpeg.size(), 0, Out, Failure)) << "decoded";
  EXPECT_NE(Failure.find("60000"), std::string::npos) << Failure;
  EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(5));
}

// ---------------------------------------------------------------------------

class AlphaPNGTest : public ::testing::Test {
 protected:
  TTempDir Out;
  std::string Png = Out.Path() + "pic7.png";
  std::string Failure;

  // A JPEG and its zlib alpha data composed into Png, and a BMP with its
  // plane, keeping the colours as stored: how they are made straight is
  // pinned by the straight colours' own tests.
  bool ComposeJPEG(const TBytes& Jpeg, const TBytes& Alpha) {
    Failure.clear();
    return ComposeJPEGAlphaPNG(BlockOf(Jpeg), BlockOf(Alpha), Png, Failure, nullptr, false);
  }
  bool ComposeBMP(const TBytes& Bmp, const TBytes& Plane) {
    Failure.clear();
    return ComposeBMPAlphaPNG(BlockOf(Bmp), BlockOf(Plane), Png, Failure, nullptr, false);
  }
  // The plane a JPEG's PNG is made from, as decoded for a file.
  TBytes PlaneFor(const TBytes& Jpeg, const TBytes& Alpha, uint8_t* PastEnd = nullptr) {
    TPicturePixels Pixels;
    const TBlock Packed = BlockOf(Alpha);
    std::string Why;
    EXPECT_TRUE(DecodeJPEGPixels(BlockOf(Jpeg), &Packed, 0, duFile, Pixels, Why)) << Why;
    EXPECT_TRUE(Pixels.Alpha.Present);
    EXPECT_FALSE(Pixels.Alpha.BottomUp);
    if (PastEnd) *PastEnd = Pixels.Alpha.PastEnd;
    const TBlock& Plane = Pixels.Alpha.Bytes;
    return Plane.Size ? TBytes(Plane.Data, Plane.Data + Plane.Size) : TBytes{};
  }
};

// Pixels of a picture in memory: Colour owned, at its own size.
TPicturePixels Owned(TImage&& Colour) {
  TPicturePixels Pixels;
  Pixels.Width = Colour.Width();
  Pixels.Height = Colour.Height();
  Pixels.RealRows = Colour.Height();
  Pixels.Colour = std::move(Colour);
  return Pixels;
}

TEST_F(AlphaPNGTest, JPEGAlphaIsAppliedTopRowFirstFromThePlaneAsInflated) {
  const TBytes Plane = {0, 64, 128, 192, 255, 10};
  for (bool Gray : {false, true}) {
    SCOPED_TRACE(Gray ? "grayscale" : "colour");
    const TBytes Jpeg = EncodeJPEG(Pattern(3, 2, 1), 90, Gray);
    ASSERT_TRUE(ComposeJPEG(Jpeg, Zlib(Plane))) << Failure;

    TPngImage Image = ReadPNG(Png);
    EXPECT_EQ(Image.Width, 3u);
    EXPECT_EQ(Image.Height, 2u);
    EXPECT_EQ(Image.ColorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(Image.BitDepth, 8);
    const TDecodedJPEG Colours = Decoded(Jpeg);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        const uint8_t* Pixel = &Image.Rows[y][x * 4];
        EXPECT_EQ(Pixel[3], Plane[y * 3 + x]);
        // Colours as decoded, not premultiplied.
        const uint8_t* Colour = PixelAt(Colours.Image, x, y);
        EXPECT_EQ(Pixel[0], Colour[0]);
        EXPECT_EQ(Pixel[1], Colour[1]);
        EXPECT_EQ(Pixel[2], Colour[2]);
      }
    }
    EXPECT_EQ(PlaneFor(Jpeg, Zlib(Plane)), Plane);
    EXPECT_EQ(FilesIn(Out.Path()), std::vector<std::string>{"pic7.png"});
  }
}

TEST_F(AlphaPNGTest, ExtraAlphaBytesAreDroppedAndAnOldPNGIsReplaced) {
  WriteFileBytes(Png, {'o', 'l', 'd'});
  const TBytes Jpeg = EncodeJPEG(Pattern(2, 2));
  const TBytes Alpha = Zlib({1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_TRUE(ComposeJPEG(Jpeg, Alpha)) << Failure;
  TPngImage Image = ReadPNG(Png);
  EXPECT_EQ(Image.Rows[1][7], 4);
  EXPECT_EQ(PlaneFor(Jpeg, Alpha), (TBytes{1, 2, 3, 4}));
}

// A plane shorter than the picture repeats its last value, as the thumbnail
// and the preview draw it.
TEST_F(AlphaPNGTest, AShortJPEGPlaneRepeatsItsLastValue) {
  const TBytes Jpeg = EncodeJPEG(Pattern(4, 3));
  const TBytes Alpha = Zlib({10, 20, 30, 40, 50});
  ASSERT_TRUE(ComposeJPEG(Jpeg, Alpha)) << Failure;
  TPngImage Image = ReadPNG(Png);
  ASSERT_EQ(Image.Height, 3u);
  EXPECT_EQ(Image.Rows[0][3], 10);
  EXPECT_EQ(Image.Rows[1][3], 50);
  EXPECT_EQ(Image.Rows[1][7], 50);
  EXPECT_EQ(Image.Rows[2][15], 50);
  uint8_t PastEnd = 0;
  EXPECT_EQ(PlaneFor(Jpeg, Alpha, &PastEnd), (TBytes{10, 20, 30, 40, 50}));
  EXPECT_EQ(PastEnd, 50);
}

// The plane is looked at before the picture is decoded: unusable alpha fails
// at once, whatever size the header declares; a cut picture gives the rows it
// really holds.
TEST_F(AlphaPNGTest, TheAlphaIsCheckedFirstAndACutPictureGivesItsRealRows) {
  TBytes Jpeg = EncodeJPEG(Pattern(64, 256), 90);
  size_t Frame = 2;
  while (Frame + 1 < Jpeg.size() && !(Jpeg[Frame] == 0xFF && Jpeg[Frame + 1] == 0xC0))
    Frame += 2 + (size_t(Jpeg[Frame + 2]) << 8 | Jpeg[Frame + 3]);
  ASSERT_LT(Frame + 9, Jpeg.size());
  TBytes Huge = Jpeg;
  Huge[Frame + 5] = 0x20, Huge[Frame + 6] = 0x00, Huge[Frame + 7] = 0x20, Huge[Frame + 8] = 0x00;
  // 8192 x 8192 over a few hundred bytes
  EXPECT_FALSE(ComposeJPEG(Huge, {7})) << "composed";
  EXPECT_NE(Failure.find("alpha"), std::string::npos) << Failure;
  EXPECT_TRUE(FilesIn(Out.Path()).empty());

  Jpeg.resize(Jpeg.size() * 3 / 4);
  ASSERT_TRUE(ComposeJPEG(Jpeg, Zlib(TBytes(64 * 256, 99)))) << Failure;
  TPngImage Image = ReadPNG(Png);
  EXPECT_EQ(Image.Width, 64u);
  EXPECT_GT(Image.Height, 64u);
  EXPECT_LT(Image.Height, 256u);
}

struct ComposeFailure {
  const char* Name;
  bool ValidJPEG;
  TBytes Alpha;
  bool AlphaGiven;      // false: no alpha data at all
  const char* Message;  // empty: the decoder's own
};

TEST_F(AlphaPNGTest, AFailingJPEGComposerWritesNoPNGAndTellsWhy) {
  TBytes Good = Zlib(TBytes(12, 200));
  const ComposeFailure Cases[] = {
      {"alpha not zlib", true, {1, 2, 3, 4, 5, 6, 7, 8}, true,
       "The alpha data is not a valid zlib stream"},
      {"alpha stream cut", true, {Good.begin(), Good.begin() + 2}, true,
       "The alpha data holds no alpha value"},
      {"alpha empty", true, {}, true, "The alpha data holds no alpha value"},
      {"no alpha data", true, {}, false, "The alpha data holds no alpha value"},
      {"JPEG not decodable", false, Good, true, ""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TBytes Jpeg =
        Case.ValidJPEG ? EncodeJPEG(Pattern(4, 3)) : TBytes{0xFF, 0xD8, 0xFF, 0xC4, 0, 3, 1};
    // An empty block that points somewhere, or none at all.
    const uint8_t Somewhere = 0;
    const TBlock Alpha = !Case.AlphaGiven        ? TBlock{}
                         : Case.Alpha.empty()    ? TBlock{&Somewhere, 0}
                                                 : BlockOf(Case.Alpha);
    EXPECT_FALSE(ComposeJPEGAlphaPNG(BlockOf(Jpeg), Alpha, Png, Failure));
    if (*Case.Message) {
      EXPECT_EQ(Failure, Case.Message);
    } else {
      EXPECT_FALSE(Failure.empty());
    }
    EXPECT_TRUE(FilesIn(Out.Path()).empty());
    Failure.clear();
  }
}

TEST_F(AlphaPNGTest, APNGFolderThatIsMissingFailsCleanly) {
  const std::string Missing = Out.Path() + "missing/p.png";
  EXPECT_FALSE(ComposeJPEGAlphaPNG(BlockOf(EncodeJPEG(Pattern(2, 2))), BlockOf(Zlib(TBytes(4, 1))),
                                   Missing, Failure));
  EXPECT_EQ(Failure.rfind("Cannot create " + Missing + ": ", 0), 0u) << Failure;
  EXPECT_FALSE(WritePNGWithAlpha(TPicturePixels(), Png, Failure));
  EXPECT_EQ(Failure, "There is no picture to write as PNG");
  EXPECT_TRUE(FilesIn(Out.Path()).empty());
}

// The PNG is finished in a temporary file beside the target; when it cannot
// take the target's place, the temporary file goes too.
TEST_F(AlphaPNGTest, APNGThatCannotTakeItsPlaceLeavesNoFileBehind) {
  std::filesystem::create_directory(Png);  // the name is taken by a folder
  TImage Picture;
  ASSERT_TRUE(Picture.Create(4, 4, ifRGB24));
  for (int y = 0; y < 4; ++y) std::fill_n(Picture.MutableRow(y), 12, uint8_t(200));
  EXPECT_FALSE(WritePNGWithAlpha(Owned(std::move(Picture)), Png, Failure));
  EXPECT_EQ(Failure.rfind("Cannot write " + Png + ": ", 0), 0u) << Failure;
  EXPECT_EQ(FilesIn(Out.Path()), std::vector<std::string>{"pic7.png"});
  EXPECT_TRUE(std::filesystem::is_directory(Png));
}

// A cut picture is written as far as its real rows go; pixels past a plane's
// end take the value it says.
TEST_F(AlphaPNGTest, APictureIsWrittenToItsRealRowsWithItsPlanesEndValue) {
  TImage Picture;
  ASSERT_TRUE(Picture.Create(4, 4, ifRGB24));
  for (int y = 0; y < 4; ++y) std::fill_n(Picture.MutableRow(y), 12, uint8_t(10 * y));
  TPicturePixels Pixels = Owned(std::move(Picture));
  Pixels.RealRows = 3;
  const TBytes Plane = {1, 2, 3, 4, 5};
  Pixels.Alpha.Present = true;
  Pixels.Alpha.Bytes = BlockOf(Plane);
  Pixels.Alpha.PastEnd = 77;
  ASSERT_TRUE(WritePNGWithAlpha(Pixels, Png, Failure)) << Failure;
  TPngImage Image = ReadPNG(Png);
  EXPECT_EQ(Image.Width, 4u);
  ASSERT_EQ(Image.Height, 3u);
  EXPECT_EQ(Image.Rows[2][0], 20);
  EXPECT_EQ(Image.Rows[0][3], 1);
  EXPECT_EQ(Image.Rows[1][3], 5);
  EXPECT_EQ(Image.Rows[1][7], 77);
  EXPECT_EQ(Image.Rows[2][15], 77);
  // Without a plane the picture is opaque.
  Pixels.Alpha.Present = false;
  ASSERT_TRUE(WritePNGWithAlpha(Pixels, Png, Failure)) << Failure;
  Image = ReadPNG(Png);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Image.Rows[y][4 * x + 3], 255) << x << "," << y;
}

// The colour-mapped DefineBitsLossless2 picture 5 x 2 is widened to 8 x 2.
TEST_F(AlphaPNGTest, LosslessAlphaIsAppliedBottomRowFirst) {
  TLosslessConverter Converter;
  TBytes Test = {10, 20, 30, 0, 40, 50, 60, 200};
  const TBytes Indices = {0, 1, 0, 1, 0, 1, 1, 0, 0, 1};
  TBytes Data = ColorMappedData(Test, Indices, 5, 2);
  tSWFStream Bmp;
  Converter.ColorMappedToBMP(BlockOf(Data), TLosslessConverter::BMPHeader(5, 2, 3), 5, 2, 1, Bmp,
                             true);
  ASSERT_EQ(Bmp.Size(), 102u);
  const tSWFStream& Alpha = Converter.ConverterAlpha();
  const TBytes Plane(Alpha.Buffer(), Alpha.Buffer() + Alpha.Size());
  ASSERT_EQ(Plane.size(), 16u);

  ASSERT_TRUE(ComposeBMP(TBytes(Bmp.Buffer(), Bmp.Buffer() + Bmp.Size()), Plane)) << Failure;
  TPngImage Image = ReadPNG(Png);
  EXPECT_EQ(Image.Width, 8u);
  EXPECT_EQ(Image.Height, 2u);
  EXPECT_EQ(Image.ColorType, PNG_COLOR_TYPE_RGB_ALPHA);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 8; ++x) {
      const uint8_t* Pixel = &Image.Rows[y][x * 4];
      uint8_t Index = x < 5 ? Indices[y * 5 + x] : 0;
      EXPECT_EQ(Pixel[3], Plane[(1 - y) * 8 + x]);
      EXPECT_EQ(Pixel[3], Index ? 200 : 0);
      EXPECT_EQ(Pixel[0], Index ? 40 : 10);  // colour unchanged by alpha 0
      EXPECT_EQ(Pixel[2], Index ? 60 : 30);
    }
  }
}

// A BMP as Qt writes it.
TBytes QtBMP(const QImage& Picture) {
  QByteArray Bytes;
  QBuffer Device(&Bytes);
  Device.open(QIODevice::WriteOnly);
  EXPECT_TRUE(Picture.save(&Device, "BMP"));
  return TBytes(Bytes.begin(), Bytes.end());
}

TEST_F(AlphaPNGTest, PixelsAShortLosslessPlaneDoesNotReachStayOpaque) {
  QImage Picture(3, 2, QImage::Format_RGB888);
  Picture.fill(QColor(1, 2, 3));
  ASSERT_TRUE(ComposeBMP(QtBMP(Picture), {9, 8, 7, 6})) << Failure;
  TPngImage Image = ReadPNG(Png);
  // Plane bytes 0..3 cover the bottom row and the first pixel of the top one.
  EXPECT_EQ(Image.Rows[1][3], 9);
  EXPECT_EQ(Image.Rows[1][11], 7);
  EXPECT_EQ(Image.Rows[0][3], 6);
  EXPECT_EQ(Image.Rows[0][7], 255);
  EXPECT_EQ(Image.Rows[0][11], 255);
  EXPECT_EQ(Image.Rows[0][0], 1);
}

TEST_F(AlphaPNGTest, APaletteBitmapStaysIndexedWithEveryEntryOpaque) {
  TLosslessConverter Converter;
  const TBytes Data = ColorMappedData({10, 20, 30, 40, 50, 60}, {0, 1, 1, 0}, 2, 2);
  tSWFStream Bmp;
  Converter.ColorMappedToBMP(BlockOf(Data), TLosslessConverter::BMPHeader(2, 2, 3), 2, 2, 1, Bmp,
                             false);
  ASSERT_EQ(Bmp.Size(), 54u + 1024u + 8u);

  ASSERT_TRUE(ComposeBMP(TBytes(Bmp.Buffer(), Bmp.Buffer() + Bmp.Size()), {0, 0, 0, 0}))
      << Failure;
  TPngImage Image = ReadPNG(Png);
  EXPECT_EQ(Image.ColorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(Image.Width, 2u);
  TBytes Transparency = ReadTRNS(Png);
  ASSERT_FALSE(Transparency.empty());
  for (uint8_t Alpha : Transparency) EXPECT_EQ(Alpha, 255);
  EXPECT_EQ(Image.Rows[0][0], 0);  // indices as stored, top row first
  EXPECT_EQ(Image.Rows[0][1], 1);
}

// Read in place, not through an image reader with a size limit: a picture
// well past 128 MB of pixels gets its PNG like any other.
TEST_F(AlphaPNGTest, ALargeLosslessPictureGetsItsPNG) {
  const uint32_t W = 5900, H = 5900;
  const uint32_t RowBytes = (W * 3 + 3) / 4 * 4;
  TBytes Bmp = BmpHeader(54, W, H, 24);
  Bmp.resize(54 + size_t(RowBytes) * H, 0x40);
  TBytes Plane(size_t(W) * H, 128);
  Plane[0] = 7;  // bottom-left
  ASSERT_TRUE(ComposeBMP(Bmp, Plane)) << Failure;
  Bmp = TBytes();
  Plane = TBytes();
  TPngImage Image = ReadPNG(Png);
  EXPECT_EQ(Image.Width, W);
  EXPECT_EQ(Image.Height, H);
  EXPECT_EQ(Image.Rows[H - 1][3], 7);
  EXPECT_EQ(Image.Rows[0][3], 128);
  EXPECT_EQ(Image.Rows[0][0], 0x40);
}

// Deflated in bands on several threads, a large picture gives the same
// pixels as deflated in one piece.
TEST_F(AlphaPNGTest, ALargePictureDeflatedInBandsHasTheSamePixels) {
  const int W = 1501, H = 1000;  // past the size worth spreading; a short last band
  TImage Picture;
  ASSERT_TRUE(Picture.Create(W, H, ifRGB24));
  TRgbPicture Source = Pattern(W, H, 5);
  for (int y = 0; y < H; ++y)
    std::copy_n(Source.Rgb.data() + size_t(y) * W * 3, size_t(W) * 3, Picture.MutableRow(y));
  TBytes Plane(size_t(W) * H);
  for (size_t i = 0; i < Plane.size(); ++i) Plane[i] = uint8_t(i * 7 / 3);
  Plane.resize(Plane.size() - 5000);  // a short plane repeats its last value
  TPicturePixels Pixels = Owned(std::move(Picture));
  Pixels.Alpha.Present = true;
  Pixels.Alpha.Bytes = BlockOf(Plane);
  Pixels.Alpha.PastEnd = Plane.back();
  const std::string One = Out.Path() + "one.png", Banded = Out.Path() + "banded.png";
  ASSERT_TRUE(WritePNGWithAlpha(Pixels, One, Failure)) << Failure;
  for (unsigned Threads : {2u, 3u}) {
    SCOPED_TRACE(Threads);
    TWorkerPool Pool(Threads);
    ASSERT_TRUE(WritePNGWithAlpha(Pixels, Banded, Failure, &Pool)) << Failure;
    const TPngImage A = ReadPNG(One), B = ReadPNG(Banded);
    ASSERT_EQ(B.Width, unsigned(W));
    ASSERT_EQ(B.Height, unsigned(H));
    EXPECT_EQ(B.ColorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_TRUE(A.Rows == B.Rows);
    EXPECT_EQ(B.Rows[H - 1][4 * (W - 1) + 3], Plane.back());
  }
  // Into a place that cannot take it: no file, and every band waited for.
  TWorkerPool Pool(2);
  EXPECT_FALSE(WritePNGWithAlpha(Pixels, Out.Path() + "missing/p.png", Failure, &Pool));
  EXPECT_FALSE(Failure.empty());
}

TEST_F(AlphaPNGTest, ABMPThatCannotBeReadWritesNoPNG) {
  EXPECT_FALSE(ComposeBMP({'B', 'M', 1, 2, 3}, {1}));
  EXPECT_EQ(Failure, "Cannot read the picture: Not a BMP file");
  // No picture at all.
  EXPECT_FALSE(ComposeBMPAlphaPNG(TBlock{}, BlockOf({1}), Png, Failure));
  EXPECT_EQ(Failure.rfind("Cannot read the picture: ", 0), 0u) << Failure;
  EXPECT_TRUE(FilesIn(Out.Path()).empty());
}

}  // namespace
