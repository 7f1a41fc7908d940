// Straight colours: Flash stores the colour of pictures with alpha multiplied
// by the alpha; PNG files and the screen show it straight, and
// --premultiplied keeps the stored values.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>

#include "extract/Decode.h"
#include "extract/Extract.h"
#include "render/Render.h"
#include "tests/support/MovieBuilder.h"
#include "tests/support/ToolRun.h"

namespace {

// The rule, written out here apart from the program's table.
int Straight(int C, int A) {
  if (A == 0) return 0;
  if (A == 255) return C;
  return std::min(255, (C * 255 + A / 2) / A);
}

TEST(StraightColours, TableOfChannelAndAlpha) {
  // Worked out by hand: (channel, alpha) -> straight channel.
  const struct {
    int C, A, Expected;
  } Cases[] = {
      {0, 0, 0},       {10, 0, 0},      {0, 1, 0},        {1, 1, 255},     {2, 1, 255},
      {1, 2, 128},     {2, 2, 255},     {3, 2, 255},      {64, 127, 129},  {127, 127, 255},
      {200, 127, 255}, {1, 128, 2},     {64, 128, 128},   {128, 128, 255}, {100, 254, 100},
      {127, 254, 128}, {254, 254, 255}, {0, 255, 0},      {77, 255, 77},   {255, 255, 255},
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(StraightTable()[Case.A][Case.C], Case.Expected) << Case.C << " under " << Case.A;
  for (int A = 0; A < 256; ++A)
    for (int C = 0; C < 256; ++C) ASSERT_EQ(StraightTable()[A][C], Straight(C, A)) << C << "," << A;
}

class StraightColoursTest : public ::testing::Test {
 protected:
  // Saves Movie with the tool into its own folder; answers the movie's output folder.
  std::string Extract(const TMovieBuilder& Movie, bool Premultiplied) {
    const std::string Name = Premultiplied ? "stored" : "straight";
    const std::string File = Temp.Path() + "movie.swf";
    Movie.Save(File);
    std::vector<std::string> Args = {"--out", Temp.Path() + Name, File};
    if (Premultiplied) Args.insert(Args.begin(), "--premultiplied");
    const TRun R = RunProgram(QUILLORY_EXTRACT, Args, Temp.Path());
    EXPECT_EQ(R.Status, 0) << R.Err;
    return Temp.Path() + Name + "/movie.swf/";
  }
  // Every pixel of a PNG as RGBA.
  static std::vector<std::array<int, 4>> Pixels(const std::string& File) {
    const TPngImage Png = ReadPNG(File);
    EXPECT_EQ(Png.ColorType, 6);
    std::vector<std::array<int, 4>> Out;
    for (const TBytes& Row : Png.Rows)
      for (size_t x = 0; x + 3 < Row.size(); x += 4)
        Out.push_back({Row[x], Row[x + 1], Row[x + 2], Row[x + 3]});
    return Out;
  }
  // Both runs: the straight PNG is the rule applied to the stored one, and
  // every other file is the same in both.
  void ExpectStraightOfStored(const TMovieBuilder& Movie, const std::string& Png,
                              const std::vector<std::string>& Others) {
    const std::string Straightened = Extract(Movie, false), Stored = Extract(Movie, true);
    const auto S = Pixels(Straightened + Png), P = Pixels(Stored + Png);
    ASSERT_EQ(S.size(), P.size());
    for (size_t i = 0; i < S.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(S[i][3], P[i][3]);
      for (int c = 0; c < 3; ++c) EXPECT_EQ(S[i][c], Straight(P[i][c], P[i][3]));
    }
    for (const std::string& Other : Others) {
      EXPECT_FALSE(ReadFileBytes(Straightened + Other).empty()) << Other;
      EXPECT_EQ(ReadFileBytes(Straightened + Other), ReadFileBytes(Stored + Other)) << Other;
    }
  }
  TTempDir Temp;
};

TEST_F(StraightColoursTest, ThirtyTwoBitLossless2) {
  const TMovieBuilder Movie = TMovieBuilder().DefineBitsLossless2(
      1, 5, 2, 2, ARGBData({0xFF0A141E, 0x80408000, 0x00050505, 0x02010203}));
  const std::string Straightened = Extract(Movie, false), Stored = Extract(Movie, true);
  using TPixels = std::vector<std::array<int, 4>>;
  EXPECT_EQ(Pixels(Straightened + "PNG/Image0.png"),
            (TPixels{{10, 20, 30, 255}, {128, 255, 0, 128}, {0, 0, 0, 0}, {128, 255, 255, 2}}));
  EXPECT_EQ(Pixels(Stored + "PNG/Image0.png"),
            (TPixels{{10, 20, 30, 255}, {64, 128, 0, 128}, {5, 5, 5, 0}, {1, 2, 3, 2}}));
  // The BMP keeps the stored colours, bottom row first.
  const TBytes Bmp = ReadFileBytes(Straightened + "BMP/Image0.bmp");
  ASSERT_EQ(Bmp.size(), 54u + 2 * 8);
  EXPECT_EQ(TBytes(Bmp.begin() + 54, Bmp.begin() + 60), TBytes({5, 5, 5, 3, 2, 1}));
  EXPECT_EQ(Bmp, ReadFileBytes(Stored + "BMP/Image0.bmp"));
}

TEST_F(StraightColoursTest, ColourMappedLossless2WithPartialPaletteAlpha) {
  // Two pixels of a widened row of four: the padding indices are 0.
  const TBytes Palette = {200, 100, 50, 128, 0, 0, 0, 0, 255, 255, 255, 255};
  const TMovieBuilder Movie =
      TMovieBuilder().DefineBitsLossless2(1, 3, 2, 1, ColorMappedData(Palette, {0, 2}, 2, 1), 2);
  ExpectStraightOfStored(Movie, "PNG/Image0.png", {"BMP/Image0.bmp"});
  const auto S = Pixels(Extract(Movie, false) + "PNG/Image0.png");
  ASSERT_EQ(S.size(), 4u);
  EXPECT_EQ(S[0], (std::array<int, 4>{255, 199, 100, 128}));
  EXPECT_EQ(S[1], (std::array<int, 4>{255, 255, 255, 255}));
}

TEST_F(StraightColoursTest, JPEG3WithAGradedPlane) {
  TBytes Alpha;
  for (int i = 0; i < 16 * 8; ++i) Alpha.push_back(uint8_t(i * 2));
  const TMovieBuilder Movie =
      TMovieBuilder().DefineBitsJPEG3(1, EncodeJPEG(Pattern(16, 8, 3)), Alpha);
  ExpectStraightOfStored(Movie, "PNG/Image0.png", {"JPEG/Image0.jpg"});
}

// On screen: the board shows through by alpha under the straight colour.
TEST(StraightColoursOnScreen, AThumbnailPixelIsTheBlendOfTheStraightColour) {
  // 150 x 150, drawn into the 150 box as it is; the top-left pixel lies on a
  // dark square of 204.
  std::vector<uint32_t> Argb(150 * 150, 0xFF000000);
  Argb[0] = 0x80400080;  // alpha 128 over red 64, green 0, blue 128
  TTempDir Temp;
  TMovieBuilder().DefineBitsLossless2(1, 5, 150, 150, ARGBData(Argb)).Save(Temp.Path() + "m.swf");
  TWorkspace W;
  OpenAndExtract(W, Temp.Path() + "m.swf", Temp.Path(), nullptr);
  const auto Blend = [](int Board, int Colour, int A) { return (Board * (255 - A) + Colour * A) / 255; };
  for (const bool Keep : {false, true}) {
    SCOPED_TRACE(Keep ? "stored" : "straight");
    TPictureSettings Settings;
    Settings.KeepPremultiplied = Keep;
    QImage Thumbnail;
    std::string Failure;
    ASSERT_TRUE(BuildThumbnail(W.Pictures, 0, Settings, Thumbnail, Failure)) << Failure;
    ASSERT_EQ(Thumbnail.size(), QSize(150, 150));
    const QRgb P = Thumbnail.pixel(0, 0);
    EXPECT_EQ(qRed(P), Blend(204, Keep ? 64 : Straight(64, 128), 128));
    EXPECT_EQ(qGreen(P), Blend(204, 0, 128));
    EXPECT_EQ(qBlue(P), Blend(204, Keep ? 128 : Straight(128, 128), 128));
    // Copy holds the straight colour with its alpha.
    QImage Copied;
    ASSERT_TRUE(PictureWithAlpha(W.Pictures, 0, Copied, Failure, !Keep)) << Failure;
    EXPECT_EQ(Copied.pixel(0, 0),
              Keep ? qRgba(64, 0, 128, 128) : qRgba(Straight(64, 128), 0, 255, 128));
  }
}

}  // namespace
