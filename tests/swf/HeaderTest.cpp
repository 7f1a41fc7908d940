#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "SwfTestUtil.h"
#include "swf/D_ZLib2SWF.h"
#include "swf/F_Debugger.h"
#include "swf/I_Header.h"

namespace {

struct Tag {
  uint16_t Code;
  Bytes Body;
};

// A whole movie written with the framework's own writers.
Bytes WriteMovie(bool Compressed, uint8_t Version, const std::vector<Tag>& Tags,
                 uint16_t Frames = 1) {
  tHeaderItem Header(0, 255);
  Header.SetCompressed(Compressed);
  Header.SetVersion(Version);
  Header.GetFrame().SetXmax(11000);
  Header.GetFrame().SetYmax(8000);
  tSWFStream Stream;
  EXPECT_TRUE(Header.Write(Stream));
  Stream.WriteUI16(Frames);
  for (const auto& T : Tags) {
    if (T.Body.size() < 63) {
      Stream.WriteUI16(uint16_t(T.Code << 6 | T.Body.size()));
    } else {
      Stream.WriteUI16(uint16_t(T.Code << 6 | 63));
      Stream.WriteUI32(uint32_t(T.Body.size()));
    }
    if (!T.Body.empty()) Stream.WriteBytes(T.Body.data(), uint32_t(T.Body.size()));
  }
  EXPECT_TRUE(Header.MakeCompleteSWF(Stream));
  return Content(Stream);
}

const std::vector<Tag> SomeTags = {
    {9, {0xFF, 0xFF, 0xFF}}, {6, Bytes(200, 0x5A)}, {1, {}}, {0, {}}};

const std::vector<uint16_t> SomeCodes = {9, 6, 1, 0};

class HeaderRead : public ::testing::Test {
 protected:
  void SetUp() override { Debugger.ClearEntries(); }
};

const std::string Item = ", class name: \"tHeaderItem\"";

TEST_F(HeaderRead, PlainMovie) {
  Bytes Data = WriteMovie(false, 8, SomeTags);
  ASSERT_EQ(Data[0], 'F');
  tSWFStream Movie;
  Fill(Movie, Data);
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_TRUE(Debugger.Entries().empty());
  EXPECT_FALSE(Header.GetCompressed());
  EXPECT_EQ(Header.GetVersion(), 8);
  EXPECT_EQ(Header.GetFileLength(), Data.size());
  EXPECT_EQ(Header.GetFrame().GetXmax(), 11000);
  EXPECT_EQ(Header.GetFrame().GetYmax(), 8000);
  EXPECT_FLOAT_EQ(Header.GetFrameRate(), 12.0f);
  // n = 15: 5 + 4 * 15 bits = 9 bytes of RECT, then the frame rate.
  EXPECT_EQ(Movie.Position(), 8u + 9u + 2u);
  EXPECT_EQ(Movie.GetUI16(), 1);
  EXPECT_EQ(Walk(Movie), SomeCodes);
}

TEST_F(HeaderRead, CompressedMovieIsInflatedInPlace) {
  Bytes Plain = WriteMovie(false, 6, SomeTags);
  Bytes Data = WriteMovie(true, 6, SomeTags);
  ASSERT_EQ(Data[0], 'C');
  ASSERT_LT(Data.size(), Plain.size());
  // Bytes 4..7 hold the uncompressed length.
  EXPECT_EQ(Data[4] | Data[5] << 8 | Data[6] << 16 | Data[7] << 24, int(Plain.size()));

  tSWFStream Movie;
  Fill(Movie, Data);
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_TRUE(Debugger.Entries().empty());
  EXPECT_TRUE(Header.GetCompressed());
  EXPECT_EQ(Movie.Size(), Header.GetFileLength());
  EXPECT_EQ(Movie.Buffer()[0], 'C');
  EXPECT_TRUE(std::equal(Plain.begin() + 8, Plain.end(), Movie.Buffer() + 8));
  EXPECT_EQ(Movie.GetUI16(), 1);
  EXPECT_EQ(Walk(Movie), SomeCodes);
}

TEST_F(HeaderRead, CompressedVersionFiveWarnsAndGoesOn) {
  tSWFStream Movie;
  Fill(Movie, WriteMovie(true, 5, SomeTags));
  Debugger.ClearEntries();  // writing version 5 on a compressed header warned already
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_EQ(Texts(),
            std::vector<std::string>({"0 (Warning) Invalid file version flag" + Item + ", (5)"}));
  EXPECT_EQ(Header.GetVersion(), 5);
  Movie.GetUI16();
  EXPECT_EQ(Walk(Movie), SomeCodes);
}

TEST_F(HeaderRead, BrokenSignatures) {
  struct Case {
    const char* Name;
    Bytes Data;
    uint32_t Position;
    std::string Report;
  };
  const Case Cases[] = {
      {"G",
       {'G', 'W', 'S', 6},
       1,
       "0  Error  Invalid compression flag" + Item + " with message: \"#71\""},
      {"empty", {}, 0, "0  Error  Invalid compression flag" + Item + " with message: \"#0\""},
      {"FXY",
       {'F', 'X', 'Y', 6},
       3,
       "0  Error  Invalid file header" + Item + " with message: \"#88#89\""},
      {"F alone", {'F'}, 1, "0  Error  Invalid file header" + Item + " with message: \"#0#0\""},
      {"ZXY",
       {'Z', 'X', 'Y', 13},
       3,
       "0  Error  Invalid file header" + Item + " with message: \"#88#89\""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Debugger.ClearEntries();
    tSWFStream Movie;
    Fill(Movie, C.Data);
    tHeaderItem Header(0, 255);
    EXPECT_FALSE(Header.Read(Movie));
    EXPECT_EQ(Texts(), std::vector<std::string>({C.Report}));
    EXPECT_EQ(Movie.Position(), C.Position);
  }
}

TEST_F(HeaderRead, TrailingBytesAreWarnedAndWalked) {
  Bytes Data = WriteMovie(false, 8, SomeTags);
  uint32_t Declared = uint32_t(Data.size());
  for (int Index = 0; Index < 10; ++Index) Data.push_back(0);
  tSWFStream Movie;
  Fill(Movie, Data);
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_EQ(Texts(), std::vector<std::string>({"0 (Warning) Internal file size is missing" + Item +
                                               ", (" + std::to_string(Declared) + ")"}));
  Movie.GetUI16();
  std::vector<uint16_t> Codes = SomeCodes;
  Codes.insert(Codes.end(), 5, 0);
  EXPECT_EQ(Walk(Movie), Codes);
}

TEST_F(HeaderRead, NothingAfterTheFrameRate) {
  tHeaderItem Header(0, 255);
  Header.SetCompressed(false);
  tSWFStream Stream;
  Header.Write(Stream);
  Header.MakeCompleteSWF(Stream);
  Debugger.ClearEntries();
  tHeaderItem Back(0, 255);
  EXPECT_FALSE(Back.Read(Stream));
  EXPECT_EQ(Texts(), std::vector<std::string>({"0  Error  File is corrupted or missing" + Item}));
}

TEST_F(HeaderRead, CutRectLeavesANegativeRest) {
  tSWFStream Movie;
  Fill(Movie, {'F', 'W', 'S', 6, 10, 0, 0, 0, 0x78, 0x00});
  tHeaderItem Header(0, 255);
  EXPECT_FALSE(Header.Read(Movie));
  ASSERT_EQ(Debugger.Entries().size(), 1u);
  EXPECT_EQ(
      Debugger.Entries()[0].Text.rfind("0  Error  File is corrupted or missing" + Item + ", (-", 0),
      0u);
}

TEST_F(HeaderRead, TruncatedCompressedMovieKeepsWhatInflated) {
  // Noise does not compress, so cutting the zlib stream loses only its end.
  Bytes Noise(600);
  uint32_t Seed = 12345;
  for (auto& Byte : Noise) Byte = uint8_t((Seed = Seed * 1103515245u + 12345u) >> 24);
  const std::vector<Tag> Tags = {{9, {1, 2, 3}}, {6, Noise}, {0, {}}};
  Bytes Plain = WriteMovie(false, 6, Tags);
  Bytes Data = WriteMovie(true, 6, Tags);
  ASSERT_GT(Data.size(), 100u);
  Data.erase(Data.end() - 40, Data.end());
  tSWFStream Movie;
  Fill(Movie, Data);
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_TRUE(Debugger.Entries().empty());
  ASSERT_EQ(Movie.Size(), Plain.size());
  // A prefix matches the movie, and what could not be inflated is zero.
  EXPECT_TRUE(std::equal(Plain.begin() + 8, Plain.begin() + 400, Movie.Buffer() + 8));
  for (uint32_t Index = Movie.Size() - 16; Index < Movie.Size(); ++Index) {
    EXPECT_EQ(Movie.Buffer()[Index], 0) << Index;
  }
}

TEST_F(HeaderRead, FailedInflationReportsAndReadsTheBytesAsTheyAre) {
  struct Case {
    const char* Name;
    uint32_t Declared;
    int SystemCode;
  };
  const Case Cases[] = {
      {"declared length below 8", 4, EINVAL},
      {"hostile declared length", 0xFFFFFFFF, EFBIG},
      {"more than the data could inflate to", 8 + 40 * 1032 + 2048, EFBIG},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Debugger.ClearEntries();
    Bytes Data = {'C', 'W', 'S', 6};
    for (int Shift = 0; Shift < 32; Shift += 8) Data.push_back(uint8_t(C.Declared >> Shift));
    Data.insert(Data.end(), 40, 0x00);
    tSWFStream Movie;
    Fill(Movie, Data);
    tHeaderItem Header(0, 255);
    auto Start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Header.Read(Movie));  // 40 zero bytes: a zero RECT and records follow
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(5));
    EXPECT_FALSE(Header.GetCompressed());
    EXPECT_EQ(Movie.Size(), Data.size());
    std::string Code = std::to_string(C.SystemCode);
    std::vector<std::string> Expected = {
        "0 (Warning) Can't decompress" + Item + ", (" + Code + ")",
        "System error: " + std::string(6 - Code.size(), ' ') + Code + ", with message \"" +
            std::strerror(C.SystemCode) + "\", in class \"tHeaderItem\"",
        "0 (Warning) Internal file size is missing" + Item + ", (" +
            std::to_string(int32_t(C.Declared)) + ")",
    };
    EXPECT_EQ(Texts(), Expected);
  }
}

TEST_F(HeaderRead, CompressedBodyThatIsNotZlibBecomesZeros) {
  Bytes Data = {'C', 'W', 'S', 6, 8 + 30, 0, 0, 0};
  Data.insert(Data.end(), 10, 0xEE);
  tSWFStream Movie;
  Fill(Movie, Data);
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_TRUE(Debugger.Entries().empty());
  EXPECT_EQ(Movie.Size(), 38u);
  Bytes Expected = {'C', 'W', 'S', 6, 38, 0, 0, 0};
  Expected.insert(Expected.end(), 30, 0);
  EXPECT_EQ(Content(Movie), Expected);
}

TEST_F(HeaderRead, PlainSignatureOverACompressedBody) {
  Bytes Data = WriteMovie(true, 7, SomeTags);
  Data[0] = 'F';
  tSWFStream Movie;
  Fill(Movie, Data);
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_EQ(Texts(), std::vector<std::string>(
                         {"0 (Warning) File compressed, but compression flag is not set" + Item}));
  EXPECT_TRUE(Header.GetCompressed());
  EXPECT_EQ(Movie.Size(), Header.GetFileLength());
  Movie.GetUI16();
  EXPECT_EQ(Walk(Movie), SomeCodes);
}

TEST_F(HeaderRead, CutPlainMovieIsNotMistakenForACompressedOne) {
  Bytes Full = WriteMovie(false, 8, SomeTags);
  Bytes Data(Full.begin(), Full.end() - 30);
  tSWFStream Movie;
  Fill(Movie, Data);
  tHeaderItem Header(0, 255);
  EXPECT_TRUE(Header.Read(Movie));
  EXPECT_FALSE(Header.GetCompressed());
  EXPECT_EQ(Content(Movie), Data);  // the bytes stay as they were
  EXPECT_EQ(Texts(), std::vector<std::string>({"0 (Warning) Internal file size is missing" + Item +
                                               ", (" + std::to_string(Full.size()) + ")"}));
}

TEST_F(HeaderRead, CompressedHeaderWithNothingAfterIt) {
  tSWFStream Movie;
  Fill(Movie, {'C', 'W', 'S', 6, 8, 0, 0, 0});
  tHeaderItem Header(0, 255);
  EXPECT_FALSE(Header.Read(Movie));
  EXPECT_TRUE(Header.GetCompressed());
  ASSERT_EQ(Debugger.Entries().size(), 1u);
  EXPECT_EQ(Debugger.Entries()[0].Text.rfind("0  Error  File is corrupted or missing", 0), 0u);
}

TEST(MakeCompleteSWF, PlainAndCompressedRoundTrip) {
  for (bool Compressed : {false, true}) {
    SCOPED_TRACE(Compressed);
    Debugger.ClearEntries();
    std::vector<Tag> Tags = SomeTags;
    Tags.insert(Tags.begin(), {36, Bytes(5000, 0x11)});
    Bytes Data = WriteMovie(Compressed, 10, Tags, 3);
    EXPECT_TRUE(Debugger.Entries().empty());
    EXPECT_EQ(Data[0], Compressed ? 'C' : 'F');
    tSWFStream Movie;
    Fill(Movie, Data);
    tHeaderItem Header(0, 255);
    ASSERT_TRUE(Header.Read(Movie));
    EXPECT_EQ(Header.GetCompressed(), Compressed);
    EXPECT_EQ(Header.GetVersion(), 10);
    EXPECT_EQ(Movie.GetUI16(), 3);
    std::vector<uint16_t> Codes = SomeCodes;
    Codes.insert(Codes.begin(), 36);
    EXPECT_EQ(Walk(Movie), Codes);
    EXPECT_TRUE(Debugger.Entries().empty());
  }
}

TEST(MakeCompleteSWF, LeavesTheStreamAtTheStart) {
  tHeaderItem Header(0, 255);
  tSWFStream Stream;
  Header.Write(Stream);
  Stream.WriteUI16(1);
  Stream.SetBitsLeft(3);
  EXPECT_TRUE(Header.MakeCompleteSWF(Stream));
  EXPECT_EQ(Stream.Position(), 0u);
  EXPECT_EQ(Stream.BitsLeft(), 8);
  EXPECT_EQ(Stream.Buffer()[0], 'C');
}

}  // namespace
