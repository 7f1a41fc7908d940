// The picture records of real movies, taken out with the framework's walk and
// the picture tag classes, then repaired, decoded and converted.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <map>
#include <set>

#include "extract/AlphaPNG.h"
#include "extract/JPEGDecode.h"
#include "extract/JPEGRepair.h"
#include "extract/Lossless.h"
#include "swf/I_Header.h"
#include "swf/pictures/I_BitsLossLess.h"
#include "swf/pictures/T_DefineBitsJPEG3.h"
#include "swf/pictures/T_DefineBitsLossLess2.h"
#include "tests/support/MovieBuilder.h"

namespace {

const std::string CorpusDir = QUILLORY_CORPUS_DIR;

struct TRecord {
  uint16_t Code;
  TBytes Body;
};

std::vector<TRecord> Records(const std::string& Movie) {
  tSWFStream Stream;
  EXPECT_TRUE(Stream.LoadFromFile(Movie));
  tHeaderItem Header(0, 255);
  Header.Read(Stream);
  Stream.GetUI16();  // frame count
  std::vector<TRecord> Found;
  uint16_t Code = 0;
  bool LongHeader = false;
  auto Body = std::make_unique<tSWFStream>();
  while (Stream.NextTag(Code, LongHeader, *Body)) {
    TBytes Bytes;
    if (Body->Size()) Bytes.assign(Body->Buffer(), Body->Buffer() + Body->Size());
    Found.push_back({Code, std::move(Bytes)});
    Body = std::make_unique<tSWFStream>();
  }
  return Found;
}

void Load(tSWFStream& Stream, const TBytes& Bytes) {
  Stream.Reset();
  if (!Bytes.empty()) Stream.WriteBytes(Bytes.data(), uint32_t(Bytes.size()));
  Stream.SetPosition(0);
}

TBytes Contents(const tSWFStream& Stream) {
  if (Stream.Size() == 0) return {};
  return TBytes(Stream.Buffer(), Stream.Buffer() + Stream.Size());
}

TBytes Repaired(const TBytes& Bytes) {
  tSWFStream Stream;
  Load(Stream, Bytes);
  EXPECT_TRUE(RepairJPEGStream(Stream, Stream));
  return Contents(Stream);
}

class PictureCorpus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(CorpusDir))
      GTEST_SKIP() << "no sample movies in " << CorpusDir;
    for (const auto& Entry : std::filesystem::directory_iterator(CorpusDir))
      if (Entry.path().extension() == ".swf") Movies.push_back(Entry.path().filename().string());
    std::sort(Movies.begin(), Movies.end());
  }
  std::string Path(const std::string& Movie) const { return CorpusDir + "/" + Movie; }

  std::vector<std::string> Movies;
  TTempDir Work;
};

// Every JPEG part decodes once repaired, except the known damaged ones, which
// fail cleanly. Numbers count the movie's DefineBitsJPEG2 records from 0.
TEST_F(PictureCorpus, JPEGPicturesDecodeOnceRepaired) {
  const std::set<std::pair<std::string, int>> Broken = {
      {"jpeg2-broken-huffman.swf", 0},
      {"jpeg2-with-png-payloads.swf", 0},
      {"jpeg2-with-png-payloads.swf", 2},
  };
  int Decoded = 0, Failed = 0;
  for (const auto& Movie : Movies) {
    SCOPED_TRACE(Movie);
    int Jpeg2 = 0;
    TBytes Tables;
    for (const auto& Record : Records(Path(Movie))) {
      TBytes Jpeg;
      bool Expected = true;
      if (Record.Code == 8) {
        Tables = Record.Body;
        continue;
      } else if (Record.Code == 6 && Record.Body.size() >= 4 && Tables.size() >= 2) {
        Jpeg.assign(Tables.begin(), Tables.end() - 2);
        Jpeg.insert(Jpeg.end(), Record.Body.begin() + 4, Record.Body.end());
      } else if (Record.Code == 21) {
        Jpeg = Record.Body;
        Expected = !Broken.count({Movie, Jpeg2++});
      } else if (Record.Code == 35) {
        tSWFStream Body;
        Load(Body, Record.Body);
        tDefineBitsJPEG3Tag Tag(0, 255);
        Tag.Read(Body);
        Jpeg = Contents(Tag.GetJPEGData().GetData());
      } else {
        continue;
      }
      SCOPED_TRACE("record " + std::to_string(Record.Code));
      TBytes Clean = Repaired(Jpeg);
      if (Expected) {
        ASSERT_GE(Clean.size(), 2u);
        EXPECT_EQ(Clean[0], 0xFF);
        EXPECT_EQ(Clean[1], 0xD8);
        TDecodedJPEG Image;
        std::string Failure;
        EXPECT_TRUE(DecodeJPEGImage(Clean.data(), Clean.size(), 0, Image, Failure)) << Failure;
        EXPECT_GT(Image.Image.Width(), 0);
        EXPECT_GT(Image.Image.Height(), 0);
        ++Decoded;
        continue;
      }
      ++Failed;
      if (Movie == "jpeg2-with-png-payloads.swf") {
        EXPECT_TRUE(Clean.empty()) << "PNG data holds no start-of-image marker";
      }
      TDecodedJPEG Image;
      std::string Failure;
      EXPECT_FALSE(DecodeJPEGImage(Clean.data(), Clean.size(), 0, Image, Failure))
          << "a damaged picture decoded";
      EXPECT_FALSE(Failure.empty());
      if (Movie == "jpeg2-broken-huffman.swf") {
        EXPECT_NE(Failure.find("Huffman"), std::string::npos) << Failure;
      }
    }
  }
  EXPECT_EQ(Failed, 3);
  EXPECT_GE(Decoded, 8);
}

// The alpha plane of every DefineBitsJPEG3 picture covers its decoded size.
TEST_F(PictureCorpus, JPEG3PicturesComposeIntoPNGs) {
  int Composed = 0;
  for (const auto& Movie : Movies) {
    for (const auto& Record : Records(Path(Movie))) {
      if (Record.Code != 35) continue;
      SCOPED_TRACE(Movie);
      tSWFStream Body;
      Load(Body, Record.Body);
      tDefineBitsJPEG3Tag Tag(0, 255);
      Tag.Read(Body);
      const TBytes Jpeg = Repaired(Contents(Tag.GetJPEGData().GetData()));
      const TBytes Alpha = Contents(Tag.GetAlphaData().GetStoredData());
      const TBlock JpegBlock{Jpeg.data(), uint32_t(Jpeg.size())};
      const TBlock AlphaBlock{Alpha.data(), uint32_t(Alpha.size())};
      std::string Png = Work.Path() + "out.png", Failure;
      ASSERT_TRUE(ComposeJPEGAlphaPNG(JpegBlock, AlphaBlock, Png, Failure)) << Failure;
      TDecodedJPEG Decoded;
      ASSERT_TRUE(DecodeJPEGImage(Jpeg.data(), Jpeg.size(), 0, Decoded, Failure)) << Failure;
      TPngImage Image = ReadPNG(Png);
      EXPECT_EQ(Image.Width, uint32_t(Decoded.Image.Width()));
      EXPECT_EQ(Image.Height, uint32_t(Decoded.Image.Height()));
      EXPECT_EQ(Image.ColorType, 6);
      // The plane the PNG is made from covers the picture.
      TPicturePixels Pixels;
      ASSERT_TRUE(DecodeJPEGPixels(JpegBlock, &AlphaBlock, 0, duFile, Pixels, Failure)) << Failure;
      EXPECT_EQ(size_t(Pixels.Alpha.Bytes.Size),
                size_t(Decoded.Image.Width()) * size_t(Decoded.Image.Height()));
      ++Composed;
    }
  }
  EXPECT_EQ(Composed, 3);
}

// Every lossless record becomes a BMP of the size its header announces (a
// colour-mapped picture with alpha widened to a multiple of 4), except the
// one that declares 62525 x 17173 pixels for a few bytes.
TEST_F(PictureCorpus, LosslessPicturesConvertToBMPsOfTheirSize) {
  std::map<std::string, std::vector<std::pair<uint16_t, int>>> Kinds;  // code, format
  TLosslessConverter Converter;
  for (const auto& Movie : Movies) {
    for (const auto& Record : Records(Path(Movie))) {
      if (Record.Code != 20 && Record.Code != 36) continue;
      SCOPED_TRACE(Movie);
      bool WithAlpha = Record.Code == 36;
      tSWFStream Body;
      Load(Body, Record.Body);
      Body.SetPosition(2);
      tDefineBitsLossLess2Tag Tag(0, 255);
      tBitsLossLessItem Plain(0, 255);
      tBitsLossLessItem& Item = WithAlpha ? Tag.GetLossLessItem() : Plain;
      if (WithAlpha) Item.SetItemStyle(3);
      Item.Read(Body);
      const uint8_t Format = Item.GetBitmapFormat();
      const uint16_t Width = Item.GetBitmapWidth(), Height = Item.GetBitmapHeight();
      Kinds[Movie].push_back({Record.Code, Format});

      const tSWFStream& Data = Item.GetBitmapData().GetData();
      const TBlock Pixels{Data.Buffer(), Data.Size()};
      const std::vector<uint8_t> Header = TLosslessConverter::BMPHeader(Width, Height, Format);
      tSWFStream Bmp;
      if (Format == 3) {
        Converter.ColorMappedToBMP(Pixels, Header, Width, Height, Item.GetBitmapColorTableSize(),
                                   Bmp, WithAlpha);
      } else if (Format == 4 && !WithAlpha) {
        Converter.PIX15ToBMP(Pixels, Header, Width, Height, Bmp);
      } else if (Format == 5 || WithAlpha) {
        Converter.ARGBToBMP(Pixels, Header, Width, Height, WithAlpha, Bmp);
      }
      if (Movie == "lossless-huge-declared-size.swf") {
        EXPECT_EQ(Bmp.Size(), 0u);
        continue;
      }
      const int Expected = Format == 3 && WithAlpha ? (Width + 3) / 4 * 4 : Width;
      TBytes Bytes = Contents(Bmp);
      QImage Image = QImage::fromData(Bytes.data(), int(Bytes.size()), "BMP");
      EXPECT_EQ(Image.width(), Expected);
      EXPECT_EQ(Image.height(), int(Height));
      if (!WithAlpha) continue;
      EXPECT_EQ(Converter.ConverterAlpha().Size(), uint32_t(Expected) * Height);
      const tSWFStream& Plane = Converter.ConverterAlpha();
      std::string Failure;
      ASSERT_TRUE(ComposeBMPAlphaPNG({Bytes.data(), uint32_t(Bytes.size())},
                                     {Plane.Buffer(), Plane.Size()}, Work.Path() + "out.png",
                                     Failure))
          << Failure;
      TPngImage Png = ReadPNG(Work.Path() + "out.png");
      EXPECT_EQ(Png.Width, uint32_t(Expected));
      EXPECT_EQ(Png.ColorType, 6);
    }
  }
  using Kind = std::vector<std::pair<uint16_t, int>>;
  EXPECT_EQ(Kinds["palette-lossless-and-lossless2.swf"], (Kind{{20, 3}, {36, 3}}));
  EXPECT_EQ(Kinds["lossless-argb-and-palette.swf"], (Kind{{20, 5}, {20, 3}}));
  EXPECT_EQ(Kinds["mixed-all-kinds.swf"].size(), 10u);
  EXPECT_EQ(std::count(Kinds["mixed-all-kinds.swf"].begin(), Kinds["mixed-all-kinds.swf"].end(),
                       std::pair<uint16_t, int>{36, 5}),
            9);
  EXPECT_EQ(Kinds["lossless-huge-declared-size.swf"], (Kind{{20, 5}}));
}

}  // namespace
