#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "SwfTestUtil.h"
#include "swf/D_LZMA2SWF.h"
#include "swf/D_ZLib2SWF.h"
#include "swf/F_Debugger.h"
#include "swf/I_Header.h"
#include "tests/support/MovieBuilder.h"

namespace {

// Noise does not compress, so a cut stream loses about as much movie as it
// loses bytes.
TBytes Noise(size_t Size, uint32_t Seed) {
  TBytes Out(Size);
  for (auto& Byte : Out) Byte = uint8_t((Seed = Seed * 1103515245u + 12345u) >> 24);
  return Out;
}

TMovieBuilder SomeMovie(bool Compressed = false) {
  TMovieBuilder M(Compressed);
  M.Tag(9, {0xFF, 0xFF, 0xFF}).Tag(2, Noise(3000, 7)).Tag(6, TBytes(500, 0x5A)).Tag(1, {}).End();
  return M;
}
const std::vector<uint16_t> SomeCodes = {9, 2, 6, 1, 0};

void PutUI32At(TBytes& Data, size_t At, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Data[At + i] = uint8_t(Value >> (8 * i));
}

// The peak resident size of this process, in KiB, and a way to bring it back
// to the current size (Linux 4.0 and later).
uint64_t Status(const std::string& Key) {
  std::ifstream In("/proc/self/status");
  for (std::string Line; std::getline(In, Line);)
    if (Line.rfind(Key + ":", 0) == 0) return std::stoull(Line.substr(Key.size() + 1));
  return 0;
}
bool ResetPeak() {
  std::ofstream Out("/proc/self/clear_refs");
  Out << "5";
  Out.close();
  return bool(Out) && Status("VmHWM") <= Status("VmRSS") + 1024;
}

// ---------------------------------------------------------------------------
// The bridge
// ---------------------------------------------------------------------------

TEST(LZMABridge, BodyExpandsInPlaceWithOrWithoutEndMarker) {
  const TBytes Plain = SomeMovie().Build();
  const TBytes Expanded(Plain.begin() + 8, Plain.end());
  for (bool EndMarker : {false, true}) {
    SCOPED_TRACE(EndMarker ? "end marker" : "no end marker");
    TBytes Movie = SomeMovie().BuildLzma(EndMarker);
    ASSERT_LT(Movie.size(), Plain.size());
    // The body between two bytes before and three after, which stay.
    TBytes Data = {'a', 'b'};
    Data.insert(Data.end(), Movie.begin() + 8, Movie.end());
    Data.insert(Data.end(), {'x', 'y', 'z'});
    tSWFStream Stream;
    Fill(Stream, Data);
    Stream.SetPosition(2);
    uint32_t Decoded = 0;
    ASSERT_TRUE(DecompressLZMAInPlace(Stream, int32_t(Movie.size() - 8), uint32_t(Expanded.size()),
                                      Decoded));
    EXPECT_EQ(Decoded, Expanded.size());
    EXPECT_EQ(Stream.Position(), 2u);
    TBytes Want = {'a', 'b'};
    Want.insert(Want.end(), Expanded.begin(), Expanded.end());
    Want.insert(Want.end(), {'x', 'y', 'z'});
    EXPECT_EQ(Content(Stream), Want);
  }
}

TEST(LZMABridge, CutStreamKeepsWhatDecodedThenZeros) {
  const TBytes Plain = SomeMovie().Build();
  const uint32_t Expected = uint32_t(Plain.size() - 8);
  TBytes Movie = SomeMovie().BuildLzma();
  Movie.resize(Movie.size() / 2);
  tSWFStream Stream;
  Fill(Stream, TBytes(Movie.begin() + 8, Movie.end()));
  uint32_t Decoded = 0;
  ASSERT_TRUE(DecompressLZMAInPlace(Stream, int32_t(Stream.Size()), Expected, Decoded));
  EXPECT_GT(Decoded, 0u);
  EXPECT_LT(Decoded, Expected);
  ASSERT_EQ(Stream.Size(), Expected);
  EXPECT_TRUE(std::equal(Plain.begin() + 8, Plain.begin() + 8 + Decoded, Stream.Buffer()));
  EXPECT_EQ(std::count(Stream.Buffer() + Decoded, Stream.Buffer() + Expected, 0),
            int64_t(Expected - Decoded));
}

TEST(LZMABridge, WhatCannotBeDecodedFailsAndLeavesTheStream) {
  const TBytes Movie = SomeMovie().BuildLzma();
  const TBytes Body(Movie.begin() + 8, Movie.end());
  const uint32_t Expected = Movie[4] | Movie[5] << 8 | Movie[6] << 16 | Movie[7] << 24;
  struct Case {
    const char* Name;
    TBytes Data;
    int32_t Count;
    uint32_t Expected;
    int Code;
  };
  TBytes BadProperties = Body, NotLzma = Body;
  BadProperties[4] = 9 * 5 * 5;  // lc, lp and pb out of range
  NotLzma[9] = 0xFF;             // a range coder never starts with a non-zero byte
  const Case Cases[] = {
      {"no property bytes", TBytes(Body.begin(), Body.begin() + 8), 8, Expected, EINVAL},
      {"invalid properties", BadProperties, int32_t(Body.size()), Expected, EINVAL},
      {"not LZMA data", NotLzma, int32_t(Body.size()), Expected, EINVAL},
      {"above 1 GiB", Body, int32_t(Body.size()), (1u << 30) + 1, EFBIG},
      {"negative count", Body, -1, Expected, EINVAL},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    tSWFStream Stream;
    Fill(Stream, C.Data);
    errno = 0;
    uint32_t Decoded = 7;
    EXPECT_FALSE(DecompressLZMAInPlace(Stream, C.Count, C.Expected, Decoded));
    EXPECT_EQ(errno, C.Code);
    EXPECT_EQ(Decoded, 0u);
    EXPECT_EQ(Content(Stream), C.Data);
    EXPECT_EQ(Stream.Position(), 0u);
  }
}

// A small dictionary is tried first; a match reaching farther back than it
// must still decode, with the dictionary the file declares.
TEST(LZMABridge, AMatchBeyondTheFirstDictionaryStillDecodes) {
  TBytes Far = Noise(64 * 1024, 3);
  TBytes Record = Far;
  Record.resize(Far.size() + 2 * 1024 * 1024, 0);
  Record.insert(Record.end(), Far.begin(), Far.end());
  const TBytes Plain = TMovieBuilder().Tag(2, Record).End().Build();
  const TBytes Movie = LzmaMovie(Plain);
  ASSERT_LT(Movie.size(), Far.size() + 4096);  // the copy is one match, 2 MiB back
  tSWFStream Stream;
  Fill(Stream, TBytes(Movie.begin() + 8, Movie.end()));
  uint32_t Decoded = 0;
  ASSERT_TRUE(
      DecompressLZMAInPlace(Stream, int32_t(Stream.Size()), uint32_t(Plain.size() - 8), Decoded));
  EXPECT_EQ(Decoded, Plain.size() - 8);
  EXPECT_TRUE(Content(Stream) == TBytes(Plain.begin() + 8, Plain.end()));
}

// LZMA has no expansion bound worth the name, so only the 1 GiB ceiling is
// refused up front: below it the output must grow with what really decodes,
// and zeros beyond a cut are not laid out for a length the body cannot stand
// for. Nor is a huge declared dictionary set up for a small body.
TEST(LZMABridge, ASmallBodyDeclaringAHugeMovieCostsOnlyWhatItDecodes) {
  const TBytes Plain = TMovieBuilder().Tag(9, {1, 2, 3}).End().Build();
  const uint32_t Real = uint32_t(Plain.size() - 8);
  for (bool HugeDictionary : {false, true}) {
    SCOPED_TRACE(HugeDictionary ? "dictionary of 4 GiB" : "dictionary as written");
    TBytes Movie = LzmaMovie(Plain);
    ASSERT_LT(Movie.size(), 100u);
    if (HugeDictionary) PutUI32At(Movie, 13, 0xFFFFFFFF);
    tSWFStream Stream;
    Fill(Stream, TBytes(Movie.begin() + 8, Movie.end()));
    if (!ResetPeak()) GTEST_SKIP() << "the peak memory cannot be reset here";
    uint64_t Before = Status("VmHWM");
    uint32_t Decoded = 0;
    ASSERT_TRUE(DecompressLZMAInPlace(Stream, int32_t(Stream.Size()), 1u << 30, Decoded));
    uint64_t Growth = Status("VmHWM") - Before;
    EXPECT_EQ(Decoded, Real);
    EXPECT_EQ(Content(Stream), TBytes(Plain.begin() + 8, Plain.end()));
    EXPECT_LT(Growth, 64u * 1024) << "KiB";  // 1 GiB of zeros would be 16 times that
  }
}

// ---------------------------------------------------------------------------
// The header of an LZMA movie
// ---------------------------------------------------------------------------

class LZMAHeader : public ::testing::Test {
 protected:
  void SetUp() override { Debugger.ClearEntries(); }
};

TEST_F(LZMAHeader, MovieIsExpandedInPlaceWithOrWithoutEndMarker) {
  const TBytes Plain = SomeMovie().Build();
  tSWFStream PlainMovie;
  Fill(PlainMovie, Plain);
  tHeaderItem PlainHeader(0, 255);
  ASSERT_TRUE(PlainHeader.Read(PlainMovie));
  for (bool EndMarker : {false, true}) {
    SCOPED_TRACE(EndMarker ? "end marker" : "no end marker");
    Debugger.ClearEntries();
    tSWFStream Movie;
    Fill(Movie, SomeMovie().BuildLzma(EndMarker));
    tHeaderItem Header(0, 255);
    EXPECT_TRUE(Header.Read(Movie));
    EXPECT_EQ(Texts(), std::vector<std::string>());
    EXPECT_EQ(Header.GetSignature(), 'Z');
    EXPECT_TRUE(Header.GetCompressed());
    EXPECT_FALSE(Header.GetBodyCut());
    EXPECT_FALSE(Header.GetBodyLost());
    EXPECT_EQ(Header.GetBodyDecoded(), Plain.size() - 8);
    EXPECT_EQ(Header.GetFileLength(), Plain.size());
    EXPECT_EQ(Header.GetVersion(), PlainHeader.GetVersion());
    EXPECT_EQ(Header.GetFrame().GetXmax(), 11000);
    EXPECT_FLOAT_EQ(Header.GetFrameRate(), 24.0f);
    // As after a zlib movie's header: the first 8 bytes as they were, then
    // the expanded movie, positioned at the frame count.
    ASSERT_EQ(Movie.Size(), Plain.size());
    EXPECT_EQ(Movie.Buffer()[0], 'Z');
    EXPECT_TRUE(std::equal(Plain.begin() + 1, Plain.end(), Movie.Buffer() + 1));
    EXPECT_EQ(Movie.Position(), PlainMovie.Position());
    EXPECT_EQ(Movie.GetUI16(), 1);
    EXPECT_EQ(Walk(Movie), SomeCodes);
  }
}

// What the header tells of a compressed body: whether it ran out before its
// declared length, and how much of it decoded. A cut body is kept, zero
// filled, as a cut zlib movie always was, and reports nothing by itself.
TEST_F(LZMAHeader, CompressedBodiesTellWhetherTheyEndedEarly) {
  const TBytes Plain = SomeMovie().Build();
  const uint32_t Expected = uint32_t(Plain.size() - 8);
  const TBytes ZlibMovie = SomeMovie(true).Build(), LzmaWhole = SomeMovie().BuildLzma();
  ASSERT_EQ(ZlibMovie[0], 'C');
  auto Cut = [](TBytes Data) {
    Data.resize(Data.size() / 2);
    return Data;
  };
  TBytes PlainOverZlib = Cut(ZlibMovie);
  PlainOverZlib[0] = 'F';
  struct Case {
    const char* Name;
    TBytes Data;
    char Signature;
    bool Cut;
    std::vector<std::string> Reports;
  };
  const std::string Flag =
      "0 (Warning) File compressed, but compression flag is not set, class name: \"tHeaderItem\"";
  const Case Cases[] = {
      {"plain", Plain, 'F', false, {}},
      {"zlib", ZlibMovie, 'C', false, {}},
      {"zlib, cut", Cut(ZlibMovie), 'C', true, {}},
      {"zlib under F, cut", PlainOverZlib, 'F', true, {Flag}},
      {"LZMA", LzmaWhole, 'Z', false, {}},
      {"LZMA, cut", Cut(LzmaWhole), 'Z', true, {}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Debugger.ClearEntries();
    tSWFStream Movie;
    Fill(Movie, C.Data);
    tHeaderItem Header(0, 255);
    EXPECT_TRUE(Header.Read(Movie));
    EXPECT_EQ(Texts(), C.Reports);
    EXPECT_EQ(Header.GetSignature(), C.Signature);
    EXPECT_EQ(Header.GetBodyCut(), C.Cut);
    EXPECT_FALSE(Header.GetBodyLost());
    ASSERT_EQ(Movie.Size(), Plain.size());
    uint32_t Decoded = Header.GetBodyDecoded();
    if (C.Signature == 'F' && !C.Cut) {
      EXPECT_EQ(Decoded, 0u);  // nothing was compressed
      continue;
    }
    if (C.Cut) {
      EXPECT_GT(Decoded, 0u);
      EXPECT_LT(Decoded, Expected);
    } else {
      EXPECT_EQ(Decoded, Expected);
    }
    EXPECT_TRUE(std::equal(Plain.begin() + 8, Plain.begin() + 8 + Decoded, Movie.Buffer() + 8));
    EXPECT_EQ(std::count(Movie.Buffer() + 8 + Decoded, Movie.Buffer() + Movie.Size(), 0),
              int64_t(Expected - Decoded));
  }
}

// An LZMA body that cannot be decoded at all is reported as a zlib body that
// cannot be inflated is, and none of its bytes is walked as records.
TEST_F(LZMAHeader, UndecodableBodyIsReportedAndNotWalked) {
  const TBytes Movie = SomeMovie().BuildLzma();
  const uint32_t Declared = uint32_t(SomeMovie().Build().size());
  auto With = [&](size_t At, uint8_t Value) {
    TBytes Data = Movie;
    Data[At] = Value;
    return Data;
  };
  auto Declaring = [&](uint32_t Length) {
    TBytes Data = Movie;
    PutUI32At(Data, 4, Length);
    return Data;
  };
  struct Case {
    const char* Name;
    TBytes Data;
    uint32_t Declared;
    int Code;
  };
  const Case Cases[] = {
      {"header alone", {'Z', 'W', 'S', 13}, 0, EINVAL},
      {"no property bytes", TBytes(Movie.begin(), Movie.begin() + 16), Declared, EINVAL},
      {"invalid properties", With(12, 0xFF), Declared, EINVAL},
      {"not LZMA data", With(17, 0xFF), Declared, EINVAL},
      {"declared length below 8", Declaring(4), 4, EINVAL},
      {"declared length above 1 GiB", Declaring(0xFFFFFFFF), 0xFFFFFFFF, EFBIG},
  };
  const std::string Item = ", class name: \"tHeaderItem\"";
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Debugger.ClearEntries();
    tSWFStream Stream;
    Fill(Stream, C.Data);
    tHeaderItem Header(0, 255);
    EXPECT_FALSE(Header.Read(Stream));
    EXPECT_EQ(Header.GetSignature(), 'Z');
    EXPECT_FALSE(Header.GetCompressed());
    EXPECT_TRUE(Header.GetBodyLost());
    EXPECT_FALSE(Header.GetBodyCut());
    EXPECT_EQ(Content(Stream), C.Data);  // the bytes stay as they were
    std::string Code = std::to_string(C.Code);
    std::vector<std::string> Expected = {
        "0 (Warning) Can't decompress" + Item + ", (" + Code + ")",
        "System error: " + std::string(6 - Code.size(), ' ') + Code + ", with message \"" +
            std::strerror(C.Code) + "\", in class \"tHeaderItem\"",
    };
    if (C.Declared != C.Data.size())
      Expected.push_back("0 (Warning) Internal file size is missing" + Item +
                         (C.Declared ? ", (" + std::to_string(int32_t(C.Declared)) + ")" : ""));
    std::vector<std::string> Reports = Texts();
    ASSERT_EQ(Reports.size(), Expected.size() + 1);
    EXPECT_EQ(std::vector<std::string>(Reports.begin(), Reports.end() - 1), Expected);
    EXPECT_EQ(Reports.back().rfind("0  Error  File is corrupted or missing" + Item + ", (-", 0), 0u)
        << Reports.back();
    Stream.GetUI16();
    EXPECT_EQ(Walk(Stream), std::vector<uint16_t>());
  }
}

}  // namespace
