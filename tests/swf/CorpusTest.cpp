#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "swf/D_Storages.h"
#include "swf/F_Debugger.h"
#include "swf/F_ErrorCodes.h"
#include "swf/I_Header.h"

namespace {

// What walking one sample movie the way the extraction driver does yields.
struct Walked {
  bool HeaderOk = false;
  bool Compressed = false;
  uint8_t Signature = 0;
  uint32_t ExpandedSize = 0;
  int Records = 0;
  std::map<uint16_t, int> Codes;
  std::vector<tDebuggerEntry> Reports;
  std::vector<uint32_t> BodySizes;
};

Walked WalkMovie(const std::filesystem::path& File) {
  Walked Result;
  Debugger.ClearEntries();
  tSWFStream Movie;
  EXPECT_TRUE(Movie.LoadFromFile(File.string()));
  if (Movie.Size()) Result.Signature = Movie.Buffer()[0];
  tHeaderItem Header(0, 255);
  Result.HeaderOk = Header.Read(Movie);
  Result.Compressed = Header.GetCompressed();
  Result.ExpandedSize = Movie.Size();
  Movie.GetUI16();  // the frame count, read and ignored
  uint16_t Code = 0;
  bool Long = false;
  for (;;) {
    tSWFStream Body;
    if (!Movie.NextTag(Code, Long, Body)) break;
    ++Result.Records;
    ++Result.Codes[Code];
    Result.BodySizes.push_back(Body.Size());
    // Touch every body byte: a view outside the movie shows up under ASan.
    uint32_t Sum = 0;
    for (uint32_t Index = 0; Index < Body.Size(); ++Index) Sum += Body.Buffer()[Index];
    (void)Sum;
  }
  Result.Reports = Debugger.Entries();
  return Result;
}

struct Expectation {
  const char* File;
  char Signature;
  int Records;
  std::map<uint16_t, int> Codes;  // only the codes listed are checked
};

const Expectation Expected[] = {
    {"definebits-with-jpegtables.swf", 'F', 7, {{8, 1}, {6, 1}}},
    {"jpeg2-1x1.swf", 'C', 5, {{21, 1}}},
    {"jpeg2-broken-huffman.swf", 'C', 6, {{21, 1}}},
    {"jpeg2-photo.swf", 'F', 7, {{21, 1}}},
    {"jpeg2-with-png-payloads.swf", 'C', 29, {{21, 4}}},
    {"jpeg3-alpha-small.swf", 'C', 6, {{35, 1}}},
    {"jpeg3.swf", 'F', 10, {{35, 1}}},
    {"lossless-argb-and-palette.swf", 'C', 28, {{20, 2}}},
    {"lossless-huge-declared-size.swf", 'C', 5, {{20, 1}}},
    {"lossless2-argb-small.swf", 'F', 6, {{36, 1}}},
    {"mixed-all-kinds.swf", 'C', 39, {{6, 1}, {8, 1}, {20, 1}, {35, 1}, {36, 9}}},
    {"no-pictures.swf", 'F', 11, {{6, 0}, {8, 0}, {20, 0}, {21, 0}, {35, 0}, {36, 0}}},
    {"palette-lossless-and-lossless2.swf", 'C', 8, {{20, 1}, {36, 1}}},
};

class Corpus : public ::testing::Test {
 protected:
  void SetUp() override {
    Folder = QUILLORY_CORPUS_DIR;
    if (!std::filesystem::is_directory(Folder)) {
      GTEST_SKIP() << "sample movies not found in " << Folder;
    }
  }
  std::filesystem::path Folder;
};

TEST_F(Corpus, EveryMovieWalksToTheEnd) {
  int Movies = 0;
  for (const auto& Entry : std::filesystem::directory_iterator(Folder)) {
    if (Entry.path().extension() != ".swf") continue;
    SCOPED_TRACE(Entry.path().filename().string());
    ++Movies;
    Walked Result = WalkMovie(Entry.path());
    // Its body is never walked: see below.
    if (Entry.path().filename() == "lzma-malformed.swf") continue;
    EXPECT_GT(Result.Records, 0);
  }
  EXPECT_GE(Movies, 14);
}

TEST_F(Corpus, RecordCountsAndPictureRecords) {
  for (const auto& E : Expected) {
    SCOPED_TRACE(E.File);
    Walked Result = WalkMovie(Folder / E.File);
    EXPECT_EQ(Result.Signature, uint8_t(E.Signature));
    EXPECT_TRUE(Result.HeaderOk);
    EXPECT_EQ(Result.Compressed, E.Signature == 'C');
    EXPECT_EQ(Result.Records, E.Records);
    for (const auto& [Code, Count] : E.Codes) {
      EXPECT_EQ(Result.Codes.count(Code) ? Result.Codes.at(Code) : 0, Count) << "code " << Code;
    }
    for (const auto& Report : Result.Reports) {
      EXPECT_EQ(Report.Text.find("Fatal error"), std::string::npos) << Report.Text;
    }
  }
}

TEST_F(Corpus, MixedMovieExpandsToItsDeclaredSize) {
  Walked Result = WalkMovie(Folder / "mixed-all-kinds.swf");
  EXPECT_EQ(Result.Signature, 'C');
  EXPECT_TRUE(Result.Compressed);
  EXPECT_EQ(Result.ExpandedSize, 17385u);
  EXPECT_EQ(Result.Records, 39);
  EXPECT_TRUE(Result.Reports.empty());
}

TEST_F(Corpus, NoPicturesMovieIsPlain) {
  Walked Result = WalkMovie(Folder / "no-pictures.swf");
  EXPECT_EQ(Result.Signature, 'F');
  EXPECT_FALSE(Result.Compressed);
  EXPECT_EQ(Result.Records, 11);
  EXPECT_TRUE(Result.Reports.empty());
}

// It declares a length of 1, which no movie can have, so its LZMA body is
// not decoded; its bytes are left as they are and none of them is walked.
TEST_F(Corpus, LzmaMovieDeclaringAnImpossibleLengthIsADamagedLzmaMovie) {
  Walked Result = WalkMovie(Folder / "lzma-malformed.swf");
  EXPECT_EQ(Result.Signature, 'Z');
  EXPECT_FALSE(Result.HeaderOk);
  EXPECT_FALSE(Result.Compressed);
  EXPECT_EQ(Result.ExpandedSize, 66u);
  EXPECT_EQ(Result.Records, 0);
  const std::string Item = ", class name: \"tHeaderItem\"";
  std::vector<std::string> Texts;
  for (const auto& Report : Result.Reports) Texts.push_back(Report.Text);
  EXPECT_EQ(Texts, std::vector<std::string>({
                       "0 (Warning) Can't decompress" + Item + ", (22)",
                       "System error:     22, with message \"Invalid argument\", in class "
                       "\"tHeaderItem\"",
                       "0 (Warning) Internal file size is missing" + Item + ", (1)",
                       "0  Error  File is corrupted or missing" + Item + ", (-2)",
                   }));
}

}  // namespace
