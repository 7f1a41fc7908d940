// Lossless pixels to BMP: exact bytes of the small pictures, the widened
// colour-mapped pictures with alpha, and damaged pixel data.
#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <memory>

#include "extract/Lossless.h"
#include "tests/support/MovieBuilder.h"

namespace {

TBytes Contents(const tSWFStream& Stream) {
  if (Stream.Size() == 0) return {};
  return TBytes(Stream.Buffer(), Stream.Buffer() + Stream.Size());
}

void Append(TBytes& Out, const TBytes& More) {
  Out.insert(Out.end(), More.begin(), More.end());
}

class LosslessConvertTest : public ::testing::Test {
 protected:
  TLosslessConverter Converter;
  // The record's inflated pixels, in storage of exactly their size so a read
  // past their end shows under AddressSanitizer.
  std::unique_ptr<uint8_t[]> PixelBytes;
  TBlock Pixels;
  std::vector<uint8_t> Header;

  void SetPixels(const TBytes& Bytes) {
    PixelBytes = std::make_unique<uint8_t[]>(Bytes.size() + 1);
    if (!Bytes.empty()) std::memcpy(PixelBytes.get(), Bytes.data(), Bytes.size());
    Pixels = {PixelBytes.get(), uint32_t(Bytes.size())};
  }
  void Prepare(const TBytes& Test, uint16_t Width, uint16_t Height, uint8_t Format) {
    SetPixels(Test);
    Header = TLosslessConverter::BMPHeader(Width, Height, Format);
  }
  void ColorMapped(uint16_t Width, uint16_t Height, uint8_t LastIndex, tSWFStream& Target,
                   bool WithAlpha) {
    Converter.ColorMappedToBMP(Pixels, Header, Width, Height, LastIndex, Target, WithAlpha);
  }
  TBytes Alpha() { return Contents(Converter.ConverterAlpha()); }
};

TEST_F(LosslessConvertTest, HeaderBytesByFormat) {
  const TBytes ColorMapped = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0, 40, 0, 0, 0,
                              5,   0,   0, 0, 2, 0, 0, 0, 1, 0, 8,    0,    0, 0, 0,  0, 0, 0,
                              0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0,    0,    0, 0, 0,  0, 0, 0};
  EXPECT_EQ(TLosslessConverter::BMPHeader(5, 2, 3), ColorMapped);
  EXPECT_EQ(TLosslessConverter::BMPHeader(0x1234, 0x0102, 4), BmpHeader(54, 0x1234, 0x0102, 16));
  EXPECT_EQ(TLosslessConverter::BMPHeader(7, 9, 5), BmpHeader(54, 7, 9, 24));

  // Unknown formats leave out the pixel offset and the bit count.
  TBytes Short = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0, 1, 0};
  Short.resize(48, 0);
  EXPECT_EQ(TLosslessConverter::BMPHeader(7, 9, 6), Short);
}

// 5 x 2, two colours; the first row's padding indices are 2, 4 and 9, past
// the colour table.
const TBytes Row0 = {0, 1, 0, 1, 0, 2, 4, 9};
const TBytes Row1 = {1, 1, 0, 0, 1, 0, 0, 0};

TEST_F(LosslessConvertTest, ColourMappedWithoutAlphaIsAn8BitBMPWithA256EntryPalette) {
  TBytes Test = {10, 20, 30, 40, 50, 60};
  Append(Test, Row0);
  Append(Test, Row1);
  Prepare(Test, 5, 2, 3);
  tSWFStream Target;
  ColorMapped(5, 2, 1, Target, false);

  TBytes Expected = BmpHeader(1078, 5, 2, 8);
  Append(Expected, {30, 20, 10, 0, 60, 50, 40, 0});
  Expected.resize(54 + 1024, 0);
  Append(Expected, Row1);  // bottom row first, padding as stored
  Append(Expected, Row0);
  ASSERT_EQ(Expected.size(), 1094u);
  EXPECT_EQ(Contents(Target), Expected);
  EXPECT_EQ(Converter.ConverterAlpha().Size(), 0u);  // a picture without alpha has no plane
  QImage Image = QImage::fromData(Expected.data(), int(Expected.size()), "BMP");
  EXPECT_EQ(Image.size(), QSize(5, 2));
}

TEST_F(LosslessConvertTest, ColourMappedWithAlphaIsWidenedTo24BitsWithAPlane) {
  TBytes Test = {10, 20, 30, 128, 40, 50, 60, 255};
  Append(Test, Row0);
  Append(Test, Row1);
  Prepare(Test, 5, 2, 3);
  tSWFStream Target;
  ColorMapped(5, 2, 1, Target, true);

  // Entry alphas past the table come from the bytes that lie there: entry 2
  // from Row0[3] = 1, entry 4 from Row1[3] = 0; entry 9 lies past the data.
  const TBytes E0 = {30, 20, 10}, E1 = {60, 50, 40}, Black = {0, 0, 0};
  TBytes Expected = BmpHeader(54, 8, 2, 24);
  for (const TBytes* Entry : {&E1, &E1, &E0, &E0, &E1, &E0, &E0, &E0}) Append(Expected, *Entry);
  for (const TBytes* Entry : {&E0, &E1, &E0, &E1, &E0, &Black, &Black, &Black})
    Append(Expected, *Entry);
  ASSERT_EQ(Expected.size(), 102u);
  const TBytes Plane = {255, 255, 128, 128, 255, 128, 128, 128, 128, 255, 128, 255, 128, 1, 0, 255};

  EXPECT_EQ(Contents(Target), Expected);
  EXPECT_EQ(Alpha(), Plane);
  EXPECT_EQ(Converter.PaletteTable[1][2], 40);
  EXPECT_EQ(Converter.PaletteTable[1][3], 255);
  EXPECT_EQ(Converter.PaletteTable[3][3], 9);
  EXPECT_EQ(Converter.PaletteTable[200][3], 255);
  QImage Image = QImage::fromData(Expected.data(), int(Expected.size()), "BMP");
  EXPECT_EQ(Image.size(), QSize(8, 2));
}

TEST_F(LosslessConvertTest, AFullColourTableAddsNoZeroEntries) {
  TBytes Test;
  for (int i = 0; i < 256; ++i) Append(Test, {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
  const TBytes Row = {0, 255, 128, 7};  // width 4: no padding
  Append(Test, Row);
  Prepare(Test, 4, 1, 3);
  tSWFStream Target;
  ColorMapped(4, 1, 255, Target, false);

  TBytes Expected = BmpHeader(1078, 4, 1, 8);
  for (int i = 0; i < 256; ++i) Append(Expected, {uint8_t(i / 2), uint8_t(255 - i), uint8_t(i), 0});
  Append(Expected, Row);
  EXPECT_EQ(Contents(Target), Expected);
}

// Pixel (x, y) of the 32-bit test pictures, as alpha, red, green, blue.
uint32_t ARGB(int x, int y) {
  return uint32_t(x * 50 + y) << 24 | uint32_t(10 * y + x) << 16 | uint32_t(100 + x) << 8 |
         uint32_t(200 + y);
}

TBytes ARGBPicture(int Width, int Height) {
  std::vector<uint32_t> Pixels;
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) Pixels.push_back(ARGB(x, y));
  return ARGBData(Pixels);
}

TEST_F(LosslessConvertTest, ThirtyTwoBitPixelsBecome24BitRowsPaddedToFourBytes) {
  struct Case {
    int Width, Height;
    bool WithAlpha;
    size_t Size;
  };
  const Case Cases[] = {{5, 3, false, 54 + 3 * 16},
                        {5, 3, true, 54 + 3 * 16},
                        {4, 2, false, 54 + 2 * 12},
                        {4, 2, true, 54 + 2 * 12}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::to_string(C.Width) + "x" + std::to_string(C.Height) +
                 (C.WithAlpha ? " with alpha" : ""));
    TBytes Test = ARGBPicture(C.Width, C.Height);
    // Without alpha the record's data is sized for padded rows; the tail is not read.
    if (!C.WithAlpha) Test.resize((C.Width + 3) / 4 * 4 * C.Height * 4, 0xEE);
    Prepare(Test, uint16_t(C.Width), uint16_t(C.Height), 5);
    tSWFStream Target;
    Converter.ARGBToBMP(Pixels, Header, uint16_t(C.Width), uint16_t(C.Height), C.WithAlpha,
                        Target);

    TBytes Expected = BmpHeader(54, C.Width, C.Height, 24);
    TBytes Plane;
    for (int y = C.Height - 1; y >= 0; --y) {
      for (int x = 0; x < C.Width; ++x) {
        uint32_t P = ARGB(x, y);
        Append(Expected, {uint8_t(P), uint8_t(P >> 8), uint8_t(P >> 16)});
        Plane.push_back(uint8_t(P >> 24));
      }
      Expected.resize(Expected.size() + C.Width % 4, 0);
    }
    ASSERT_EQ(Expected.size(), C.Size);
    EXPECT_EQ(Contents(Target), Expected);
    if (C.WithAlpha) {
      EXPECT_EQ(Alpha(), Plane);
    }
  }
}

TEST_F(LosslessConvertTest, FifteenBitPixelsAreByteSwappedRowsBottomUp) {
  // 5 x 3, rows padded to 6 pixels; the padding pixel holds 0x1234.
  TBytes Test;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      uint16_t Value = (x == 0 && y == 0) ? 0x7C00 : uint16_t(0x0100 * y + x + 1);
      Append(Test, {uint8_t(Value >> 8), uint8_t(Value)});
    }
    Append(Test, {0x12, 0x34});
  }
  ASSERT_EQ(Test.size(), 36u);
  Prepare(Test, 5, 3, 4);
  tSWFStream Target;
  Converter.PIX15ToBMP(Pixels, Header, 5, 3, Target);

  TBytes Expected = BmpHeader(54, 5, 3, 16);
  Append(Expected, {1, 2, 2, 2, 3, 2, 4, 2, 5, 2, 0x34, 0x12});
  Append(Expected, {1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 0x34, 0x12});
  Append(Expected, {0x00, 0x7C, 2, 0, 3, 0, 4, 0, 5, 0, 0x34, 0x12});  // pure red
  ASSERT_EQ(Expected.size(), 90u);
  EXPECT_EQ(Contents(Target), Expected);
  QImage Image = QImage::fromData(Expected.data(), int(Expected.size()), "BMP");
  ASSERT_EQ(Image.size(), QSize(5, 3));
  EXPECT_GE(Image.pixelColor(0, 0).red(), 248);  // 5 bits of red, scaled
  EXPECT_EQ(Image.pixelColor(0, 0).green(), 0);
}

TEST_F(LosslessConvertTest, TheBMPIsAppendedAtTheTargetPosition) {
  Prepare(ARGBPicture(4, 2), 4, 2, 5);
  tSWFStream Target;
  Target.WriteBytes("abc", 3);
  Converter.ARGBToBMP(Pixels, Header, 4, 2, true, Target);
  ASSERT_EQ(Target.Size(), 3u + 78u);
  EXPECT_EQ(Contents(Target)[0], 'a');
  EXPECT_EQ(Contents(Target)[3], 'B');
}

enum class Kind { ColorMapped, ColorMappedAlpha, Pix15, ARGB, ARGBAlpha };

struct DamagedCase {
  const char* Name;
  Kind Converter;
  uint16_t Width, Height;
  uint8_t LastIndex;
  long TestSize;     // bytes of pixel data; -1: none at all
  int HeaderFormat;  // format the header is made for; -1: no header
};

// Data that cannot fill the picture's layout gives no picture at all, and
// no alpha plane either.
TEST_F(LosslessConvertTest, DamagedPixelDataGivesAnEmptyTarget) {
  const DamagedCase Cases[] = {
      {"colour-mapped, one byte short", Kind::ColorMapped, 5, 2, 1, 21, 3},
      {"colour-mapped with alpha, one byte short", Kind::ColorMappedAlpha, 5, 2, 1, 23, 3},
      {"colour table runs past the data", Kind::ColorMapped, 4, 1, 255, 100, 3},
      {"colour table with alpha runs past the data", Kind::ColorMappedAlpha, 4, 1, 255, 100, 3},
      {"15-bit, one byte short", Kind::Pix15, 5, 3, 0, 35, 4},
      {"32-bit, one byte short", Kind::ARGB, 5, 3, 0, 59, 5},
      {"32-bit with alpha, one byte short", Kind::ARGBAlpha, 5, 3, 0, 59, 5},
      {"empty pixel data", Kind::ARGBAlpha, 5, 3, 0, 0, 5},
      {"empty pixel data, colour-mapped", Kind::ColorMappedAlpha, 5, 3, 0, 0, 3},
      {"no pixel data", Kind::Pix15, 5, 3, 0, -1, 4},
      {"no header", Kind::ARGB, 5, 3, 0, 60, -1},
      {"48-byte header of an unknown format", Kind::ARGBAlpha, 5, 3, 0, 60, 7},
      {"header without its palette offset", Kind::ColorMapped, 4, 1, 0, 10, 9},
      {"width 0", Kind::ARGBAlpha, 0, 3, 0, 4000, 5},
      {"height 0", Kind::ColorMappedAlpha, 5, 0, 0, 4000, 3},
      {"width 0, 15-bit", Kind::Pix15, 0, 3, 0, 4000, 4},
      {"huge picture, a few bytes", Kind::ARGB, 62525, 17173, 0, 40, 5},
      {"huge colour-mapped picture, a few bytes", Kind::ColorMappedAlpha, 65535, 65535, 0, 40, 3},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    SetPixels(TBytes(size_t(std::max(0L, C.TestSize)), 1));
    if (C.TestSize < 0) Pixels = {};
    Header.clear();
    if (C.HeaderFormat >= 0)
      Header = TLosslessConverter::BMPHeader(C.Width, C.Height, uint8_t(C.HeaderFormat));
    Converter.ConverterAlpha().WriteBytes("old", 3);  // from an earlier picture
    tSWFStream Target;
    switch (C.Converter) {
      case Kind::ColorMapped:
        ColorMapped(C.Width, C.Height, C.LastIndex, Target, false);
        break;
      case Kind::ColorMappedAlpha:
        ColorMapped(C.Width, C.Height, C.LastIndex, Target, true);
        break;
      case Kind::Pix15:
        Converter.PIX15ToBMP(Pixels, Header, C.Width, C.Height, Target);
        break;
      case Kind::ARGB:
        Converter.ARGBToBMP(Pixels, Header, C.Width, C.Height, false, Target);
        break;
      case Kind::ARGBAlpha:
        Converter.ARGBToBMP(Pixels, Header, C.Width, C.Height, true, Target);
        break;
    }
    EXPECT_EQ(Target.Size(), 0u);
    if (C.Converter == Kind::ColorMappedAlpha || C.Converter == Kind::ARGBAlpha) {
      EXPECT_EQ(Converter.ConverterAlpha().Size(), 0u);
    }
  }
}

// The plane of a picture converted earlier must not pass for the plane of
// one that gives no picture.
TEST_F(LosslessConvertTest, ADamagedPictureAfterAGoodOneLeavesNoStalePlane) {
  const TBytes Data =
      ColorMappedData({10, 20, 30, 128, 40, 50, 60, 255}, {0, 1, 0, 1, 0, 1, 1, 0, 0, 1}, 5, 2);
  for (bool ColourMapped : {true, false}) {
    SCOPED_TRACE(ColourMapped ? "colour-mapped" : "32-bit");
    Prepare(Data, 5, 2, 3);
    tSWFStream Good;
    ColorMapped(5, 2, 1, Good, true);
    ASSERT_EQ(Good.Size(), 102u);
    ASSERT_EQ(Converter.ConverterAlpha().Size(), 16u);

    // The colour table is there, the rows are not.
    Pixels.Size = 8 + 3;
    tSWFStream Target;
    if (ColourMapped)
      ColorMapped(5, 2, 1, Target, true);
    else
      Converter.ARGBToBMP(Pixels, TLosslessConverter::BMPHeader(5, 2, 5), 5, 2, true, Target);
    EXPECT_EQ(Target.Size(), 0u);
    EXPECT_EQ(Converter.ConverterAlpha().Size(), 0u);
  }
}

TEST_F(LosslessConvertTest, PaletteAlphaDefaultsToOpaque) {
  for (int i = 0; i < 256; ++i) EXPECT_EQ(Converter.PaletteTable[i][3], 255);
  Converter.PaletteTable[4][3] = 0;
  Converter.ResetPaletteAlpha();
  EXPECT_EQ(Converter.PaletteTable[4][3], 255);
}

}  // namespace
