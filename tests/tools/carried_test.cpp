// Movies and picture files carried in DefineBinaryData records, and the
// character IDs and symbol names of pictures: through the core's walk and
// through quillory-extract's files and report.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "extract/Export.h"
#include "extract/Extract.h"
#include "tests/support/MovieBuilder.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t BinaryDataCode = 87, SymbolClassCode = 76, ExportAssetsCode = 56;

TBytes Argb2x2() {
  return ARGBData({0xFF102030, 0x80405060, 0x00000000, 0xFFFFFFFF});
}

class CarriedTest : public ::testing::Test {
 protected:
  TRun Run(const std::vector<std::string>& Args) {
    return RunProgram(QUILLORY_EXTRACT, Args, Temp.Path());
  }
  std::string Save(const std::string& Name, const TBytes& Movie) {
    WriteFileBytes(Temp.Path() + Name, Movie);
    return Temp.Path() + Name;
  }
  TWalkResult Open(const std::string& Movie) {
    ResetWorkspace(W);
    DropPictureStores(W);
    return OpenAndExtract(W, Movie, Temp.Path() + "core/", nullptr);
  }

  TTempDir Temp;
  TWorkspace W;
};

// Outer (plain) carries a zlib movie, which carries an LZMA movie, which
// carries a PNG file: the movie's own pictures first, then depth first.
TEST_F(CarriedTest, NestedMoviesAndFilesComeAfterTheMoviesOwnPicturesDepthFirst) {
  const TBytes Png = EncodePNG(3, 2, TBytes(3 * 2 * 4, 0x7F));
  const TBytes Jpeg = EncodeJPEG(Pattern(8, 4));
  const TBytes Lzma = TMovieBuilder()
                          .DefineBitsLossless(7, 5, 2, 2, Argb2x2())
                          .Tag(BinaryDataCode, BinaryDataBody(9, Png))
                          .Tag(SymbolClassCode, NamesBody({{9, "PngInside"}, {7, "Deep"}}))
                          .BuildLzma();
  const TBytes Zlib = TMovieBuilder(true)
                          .DefineBitsJPEG2(3, Jpeg)
                          .Tag(BinaryDataCode, BinaryDataBody(8, Lzma))
                          .Build();
  const std::string Movie = Save("outer.swf", TMovieBuilder()
                                                  .DefineBitsJPEG2(1, Jpeg)
                                                  .Tag(BinaryDataCode, BinaryDataBody(5, Zlib))
                                                  .Tag(BinaryDataCode, BinaryDataBody(6, {1, 2, 3}))
                                                  .DefineBitsLossless(2, 5, 2, 2, Argb2x2())
                                                  .Tag(SymbolClassCode, NamesBody({{1, "Logo"}, {5, "Level"}}))
                                                  .Build());

  const TWalkResult Walk = Open(Movie);
  EXPECT_TRUE(ReadWhole(Walk));
  ASSERT_EQ(W.Pictures.Count, 5);
  struct TExpected {
    int32_t Code, Id;
    TStoredFormat Format;
    std::vector<std::string> Names;
    std::vector<uint16_t> Carrier;
  };
  const TExpected Expected[] = {{21, 1, sfJPEG, {"Logo"}, {}},
                                {20, 2, sfBMP, {}, {}},
                                {21, 3, sfJPEG, {}, {5}},
                                {20, 7, sfBMP, {"Deep"}, {5, 8}},
                                {87, 9, sfPNG, {"PngInside"}, {5, 8, 9}}};
  for (int32_t N = 0; N < 5; ++N) {
    SCOPED_TRACE(N);
    const TPictureFacts& Facts = W.Pictures.Facts(N);
    EXPECT_EQ(Facts.TagCode, Expected[N].Code);
    EXPECT_EQ(Facts.CharacterID, Expected[N].Id);
    EXPECT_EQ(Facts.Format, Expected[N].Format);
    EXPECT_EQ(Facts.Names.List(), Expected[N].Names);
    EXPECT_EQ(Facts.Carrier, Expected[N].Carrier);
  }
  EXPECT_EQ(W.Pictures.Facts(4).Size.Width, 3);
  ASSERT_EQ(Walk.Carried.size(), 2u);
  EXPECT_EQ(Walk.Carried[0].Carrier, std::vector<uint16_t>({5}));
  EXPECT_EQ(Walk.Carried[0].Walk.Signature, 'C');
  EXPECT_EQ(Walk.Carried[1].Carrier, std::vector<uint16_t>({5, 8}));
  EXPECT_EQ(Walk.Carried[1].Walk.Signature, 'Z');

  const std::string Out = Temp.Path() + "out/", Report = Temp.Path() + "report.jsonl";
  const TRun R = Run({"--out", Out, "--report", Report, Movie});
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Out, Movie + ": 5 pictures saved\n");
  const std::string Folder = Out + "outer.swf/";
  for (const char* File :
       {"JPEG/Image0.jpg", "BMP/Image1.bmp", "JPEG/Image2.jpg", "BMP/Image3.bmp", "PNG/Image4.png"})
    EXPECT_TRUE(FileExists(Folder + File)) << File;
  EXPECT_EQ(ReadFileBytes(Folder + "PNG/Image4.png"), Png);  // byte for byte
  const std::vector<std::string> Lines = ReadLines(Report);
  ASSERT_EQ(Lines.size(), 1u);
  for (const char* Part :
       {"\"number\":0,\"kind\":\"DefineBitsJPEG2\",\"format\":\"JPEG\",\"width\":8,\"height\":4,"
        "\"id\":1,\"names\":[\"Logo\"],\"carrier\":[]",
        "\"number\":3,\"kind\":\"DefineBitsLossless\",\"format\":\"BMP\",\"width\":2,\"height\":2,"
        "\"id\":7,\"names\":[\"Deep\"],\"carrier\":[5,8]",
        "\"number\":4,\"kind\":\"DefineBinaryData\",\"format\":\"PNG\",\"width\":3,\"height\":2,"
        "\"id\":9,\"names\":[\"PngInside\"],\"carrier\":[5,8,9],\"files\":[\"PNG/Image4.png\"]",
        "\"whole\":true"})
    EXPECT_NE(Lines[0].find(Part), std::string::npos) << Part << "\n" << Lines[0];

  // --list tells the same facts, one picture a line, and writes nothing but
  // the report, whose pictures then have no files.
  const std::string Listed = Temp.Path() + "listed/", ListReport = Temp.Path() + "list.jsonl";
  const TRun L = Run({"--list", "-q", "--out", Listed, "--report", ListReport, Movie});
  EXPECT_EQ(L.Status, 0) << L.Err;
  EXPECT_EQ(L.Err, "");
  EXPECT_EQ(L.Out, Movie + ": 0 DefineBitsJPEG2 JPEG 8x4 id 1 \"Logo\"\n" +
                       Movie + ": 1 DefineBitsLossless BMP 2x2 id 2\n" +
                       Movie + ": 2 DefineBitsJPEG2 JPEG 8x4 id 3 in binary data 5\n" +
                       Movie + ": 3 DefineBitsLossless BMP 2x2 id 7 \"Deep\" in binary data 5 > 8\n" +
                       Movie + ": 4 DefineBinaryData PNG 3x2 id 9 \"PngInside\" in binary data 5 > 8 > 9\n");
  EXPECT_FALSE(fs::exists(Listed));
  const std::vector<std::string> ListLines = ReadLines(ListReport);
  ASSERT_EQ(ListLines.size(), 1u);
  std::string WithoutFiles = Lines[0];
  const std::string Saved = "\"folder\":\"" + Folder + "\"";
  ASSERT_NE(WithoutFiles.find(Saved), std::string::npos);
  WithoutFiles.replace(WithoutFiles.find(Saved), Saved.size(), "\"folder\":null");
  for (size_t At; (At = WithoutFiles.find("\"files\":[\"")) != std::string::npos;)
    WithoutFiles.erase(At + 9, WithoutFiles.find(']', At) - At - 9);
  EXPECT_EQ(ListLines[0], WithoutFiles);
}

// GIF and JPEG files carried as binary data are saved as stored too.
TEST_F(CarriedTest, CarriedGIFAndJPEGFilesAreSavedAsStored) {
  const TBytes Gif = EncodeGIF(2, 2, {255, 0, 0, 0, 0, 255}, {0, 1, 1, 0});
  const TBytes Jpeg = EncodeJPEG(Pattern(5, 3));
  const std::string Movie = Save("files.swf", TMovieBuilder(true)
                                                  .Tag(BinaryDataCode, BinaryDataBody(3, Gif))
                                                  .Tag(BinaryDataCode, BinaryDataBody(4, Jpeg))
                                                  .Build());
  const TRun R = Run({"--out", Temp.Path() + "out", Movie});
  EXPECT_EQ(R.Status, 0) << R.Err;
  const std::string Folder = Temp.Path() + "out/files.swf/";
  EXPECT_EQ(ReadFileBytes(Folder + "GIF/Image0.gif"), Gif);
  EXPECT_EQ(ReadFileBytes(Folder + "JPEG/Image1.jpg"), Jpeg);
  Open(Movie);
  EXPECT_EQ(W.Pictures.Facts(1).Size.Width, 5);
  EXPECT_EQ(W.Pictures.Facts(1).Format, sfJPEG);
  EXPECT_FALSE(W.Pictures.Facts(1).HasAlpha);
}

// Each movie's DefineBits pictures are joined to that movie's last tables:
// a carried movie's tables neither replace the open movie's nor borrow them.
TEST_F(CarriedTest, EachMoviesDefineBitsUseThatMoviesOwnTables) {
  const auto A = EncodeJPEGTablesAndImage(Pattern(16, 8, 1), 50);
  const auto B = EncodeJPEGTablesAndImage(Pattern(8, 16, 2), 90);
  ASSERT_NE(A.first, B.first);
  const TBytes WithTables = TMovieBuilder().JPEGTables(B.first).DefineBits(2, B.second).Build();
  const TBytes WithoutTables = TMovieBuilder().DefineBits(3, B.second).Build();
  const std::string Movie = Save("tables.swf", TMovieBuilder(true)
                                                   .JPEGTables(A.first)
                                                   .DefineBits(1, A.second)
                                                   .Tag(BinaryDataCode, BinaryDataBody(5, WithTables))
                                                   .Tag(BinaryDataCode, BinaryDataBody(6, WithoutTables))
                                                   .Build());
  const TRun R = Run({"--out", Temp.Path() + "out", Movie});
  EXPECT_EQ(R.Status, 0) << R.Err;
  const auto Joined = [](const TBytes& Tables, const TBytes& Image) {
    TBytes File(Tables.begin(), Tables.end() - 2);  // without the tables' end marker
    File.insert(File.end(), Image.begin() + 2, Image.end());  // the image past its start marker
    return File;
  };
  const std::string Folder = Temp.Path() + "out/tables.swf/JPEG/";
  EXPECT_EQ(ReadFileBytes(Folder + "Image0.jpg"), Joined(A.first, A.second));
  EXPECT_EQ(ReadFileBytes(Folder + "Image1.jpg"), Joined(B.first, B.second));
  EXPECT_EQ(ReadFileBytes(Folder + "Image2.jpg"), B.second) << "no tables: its own start marker";
  Open(Movie);
  ASSERT_EQ(W.Pictures.Count, 3);
  EXPECT_EQ(W.Pictures.Facts(0).Size.Width, 16);
  EXPECT_EQ(W.Pictures.Facts(1).Size.Width, 8);
}

// A character keeps its first 16 names, each at most 256 bytes, cut at a
// character boundary; every picture of it shares the one list.
TEST_F(CarriedTest, NamesAreBoundedPerCharacterAndShared) {
  std::string Long = "a";
  for (int i = 0; i < 150; ++i) Long += "\xC3\xA9";  // 301 bytes of UTF-8
  std::vector<std::pair<uint16_t, std::string>> Pairs = {{1, Long}};
  for (int i = 0; i < 19; ++i) Pairs.push_back({1, "n" + std::to_string(i)});
  const TBytes Jpeg = EncodeJPEG(Pattern(4, 4));
  Open(Save("names.swf", TMovieBuilder()
                             .DefineBitsJPEG2(1, Jpeg)
                             .DefineBitsJPEG2(1, Jpeg)
                             .Tag(SymbolClassCode, NamesBody(Pairs))
                             .Build()));
  ASSERT_EQ(W.Pictures.Count, 2);
  const std::vector<std::string>& Names = W.Pictures.Facts(0).Names.List();
  ASSERT_EQ(Names.size(), 16u);
  EXPECT_EQ(Names[0], Long.substr(0, 255)) << "cut before the character that crosses 256 bytes";
  EXPECT_EQ(Names[1], "n0");
  EXPECT_EQ(Names[15], "n14");
  EXPECT_EQ(&W.Pictures.Facts(1).Names.List(), &Names);
}

TEST_F(CarriedTest, ACarriedMovieCutShortIsToldByItsBinaryDataAndItsPicturesAreSaved) {
  const TBytes Jpeg = EncodeJPEG(Pattern(8, 4));
  TBytes Inner = TMovieBuilder(true)
                     .DefineBitsJPEG2(3, Jpeg)
                     .DefineBitsLossless(4, 5, 2, 2, Argb2x2())
                     .Build();
  Inner.resize(Inner.size() - 20);  // the zlib body ends early
  const std::string Movie = Save("cut.swf", TMovieBuilder()
                                                .DefineBitsJPEG2(1, Jpeg)
                                                .Tag(BinaryDataCode, BinaryDataBody(12, Inner))
                                                .Build());
  const TWalkResult Walk = Open(Movie);
  EXPECT_EQ(WalkProblem(Walk), wpNone);  // the outer movie itself is whole ...
  EXPECT_FALSE(ReadWhole(Walk));         // ... but not what it carries
  ASSERT_EQ(Walk.Carried.size(), 1u);
  EXPECT_EQ(WalkProblem(Walk.Carried[0].Walk), wpBodyCut);
  ASSERT_GE(W.Pictures.Count, 2);
  EXPECT_EQ(W.Pictures.Facts(1).Carrier, std::vector<uint16_t>({12}));

  const std::string Report = Temp.Path() + "report.jsonl";
  const TRun R = Run({"--out", Temp.Path() + "out", "--report", Report, Movie});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find(Movie + ": Binary data 12 carries a movie that is not whole: The movie is "
                               "damaged: its compressed body ends after "),
            std::string::npos)
      << R.Err;
  EXPECT_TRUE(FileExists(Temp.Path() + "out/cut.swf/JPEG/Image1.jpg"));
  const std::vector<std::string> Lines = ReadLines(Report);
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_NE(Lines[0].find("\"whole\":false"), std::string::npos);
}

// Carried movies are walked four levels down, no further; a movie that
// carries a copy of itself stops there too, without an error.
TEST_F(CarriedTest, NestingStopsFourLevelsDownWithoutError) {
  const TBytes Jpeg = EncodeJPEG(Pattern(4, 4));
  TBytes Level = TMovieBuilder(true).DefineBitsJPEG2(6, Jpeg).Build();  // level 5
  for (uint16_t Depth = 4; Depth >= 1; --Depth)
    Level = TMovieBuilder(true)
                .DefineBitsJPEG2(Depth, Jpeg)
                .Tag(BinaryDataCode, BinaryDataBody(uint16_t(100 + Depth), Level))
                .Build();
  const std::string Movie = Save("deep.swf", TMovieBuilder()
                                                 .DefineBitsJPEG2(0, Jpeg)
                                                 .Tag(BinaryDataCode, BinaryDataBody(100, Level))
                                                 .Build());
  const TWalkResult Walk = Open(Movie);
  EXPECT_TRUE(ReadWhole(Walk));
  ASSERT_EQ(W.Pictures.Count, 5);  // the movie's own, then levels 1 to 4
  for (int32_t N = 0; N < 5; ++N) EXPECT_EQ(W.Pictures.Facts(N).CharacterID, N);
  EXPECT_EQ(W.Pictures.Facts(4).Carrier, std::vector<uint16_t>({100, 101, 102, 103}));
  EXPECT_EQ(Run({"--out", Temp.Path() + "out", Movie}).Status, 0);

  // A movie whose binary data holds the movie itself.
  const TBytes Self = TMovieBuilder(true).DefineBitsJPEG2(1, Jpeg).Build();
  const std::string Loop =
      Save("loop.swf", TMovieBuilder(true)
                           .DefineBitsJPEG2(1, Jpeg)
                           .Tag(BinaryDataCode,
                                BinaryDataBody(2, TMovieBuilder(true)
                                                  .DefineBitsJPEG2(1, Jpeg)
                                                  .Tag(BinaryDataCode, BinaryDataBody(2, Self))
                                                  .Build()))
                           .Build());
  EXPECT_TRUE(ReadWhole(Open(Loop)));
  EXPECT_EQ(W.Pictures.Count, 3);
}

// A movie's records (from its plain form) followed by a record of Zeros
// zero bytes.
TBytes ExpandingAfter(const TBytes& PrefixMovie, uint32_t Zeros) {
  return ExpandingMovie(TBytes(PrefixMovie.begin() + 8, PrefixMovie.end()), Zeros);
}

// Each level expands about 1000 times; together they may expand no further
// than one movie could (1 GiB): the level that would pass that is refused.
TEST_F(CarriedTest, AChainOfExpandingMoviesStopsWithinOneMoviesLimit) {
  const TBytes Jpeg = EncodeJPEG(Pattern(4, 4));
  constexpr uint32_t Zeros = 400u << 20;
  const TBytes Level2 = ExpandingAfter(TMovieBuilder().DefineBitsJPEG2(3, Jpeg).Build(), Zeros);
  const TBytes Level1 = ExpandingAfter(
      TMovieBuilder().DefineBitsJPEG2(2, Jpeg).Tag(BinaryDataCode, BinaryDataBody(20, Level2)).Build(),
      Zeros);
  const std::string Movie = Save(
      "bomb.swf",
      ExpandingAfter(
          TMovieBuilder().DefineBitsJPEG2(1, Jpeg).Tag(BinaryDataCode, BinaryDataBody(10, Level1)).Build(),
          Zeros));
  EXPECT_LT(ReadFileBytes(Movie).size(), 2u << 20);

  const TWalkResult Walk = Open(Movie);
  EXPECT_EQ(WalkProblem(Walk), wpNone);
  ASSERT_EQ(Walk.Carried.size(), 2u);
  EXPECT_EQ(WalkProblem(Walk.Carried[0].Walk), wpNone);        // 800 MB so far
  EXPECT_EQ(WalkProblem(Walk.Carried[1].Walk), wpBodyLost);    // 1.2 GB would pass the limit
  ASSERT_GE(W.Pictures.Count, 2);
  EXPECT_EQ(W.Pictures.Facts(0).CharacterID, 1);
  EXPECT_EQ(W.Pictures.Facts(1).CharacterID, 2);
  // Whatever the refused body's bytes hold, read as they stand, lies in it.
  for (int32_t N = 2; N < W.Pictures.Count; ++N)
    EXPECT_EQ(W.Pictures.Facts(N).Carrier, std::vector<uint16_t>({10, 20}));
  EXPECT_FALSE(ReadWhole(Walk));
}

TEST_F(CarriedTest, SymbolNamesGoIntoFileNamesOnRequestMadeSafe) {
  const TBytes Jpeg = EncodeJPEG(Pattern(4, 4));
  std::string Long;
  for (int i = 0; i < 67; ++i) Long += "\xE2\x82\xAC";  // 201 bytes of euro signs
  const std::string Movie = Save(
      "named.swf",
      TMovieBuilder()
          .DefineBitsJPEG2(1, Jpeg)
          .DefineBitsJPEG2(2, Jpeg)
          .DefineBitsJPEG2(3, Jpeg)
          .DefineBitsJPEG2(4, Jpeg)
          .Tag(ExportAssetsCode, NamesBody({{1, "hero/run"}, {2, "a\x01:b*c?\"<|>\\"}, {1, "hero/run"}}))
          .Tag(SymbolClassCode, NamesBody({{1, "Hero"}, {3, Long}, {1, "hero/run"}}))
          .Build());
  Open(Movie);
  EXPECT_EQ(W.Pictures.Facts(0).Names.List(), std::vector<std::string>({"hero/run", "Hero"}));
  EXPECT_EQ(W.Pictures.Facts(3).Names.List(), std::vector<std::string>());
  EXPECT_EQ(FileNamePart(Long), Long.substr(0, 120));  // 40 whole signs

  // Without the switch, the names stay out of the file names.
  const std::string Out = Temp.Path() + "out/";
  EXPECT_EQ(Run({"--out", Out, Movie}).Status, 0);
  EXPECT_TRUE(FileExists(Out + "named.swf/JPEG/Image0.jpg"));
  fs::remove_all(Out);
  EXPECT_EQ(Run({"--out", Out, "--names", Movie}).Status, 0);
  const std::string Folder = Out + "named.swf/JPEG/";
  for (const std::string& File :
       {std::string("Image0_hero_run.jpg"), std::string("Image1_a__b_c______.jpg"),
        "Image2_" + Long.substr(0, 120) + ".jpg", std::string("Image3.jpg")})
    EXPECT_TRUE(FileExists(Folder + File)) << File;
  EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 4);
}

}  // namespace
