#include <gtest/gtest.h>

#include "SwfTestUtil.h"
#include "swf/D_Storages.h"
#include "swf/F_Debugger.h"

namespace {

class Navigation : public ::testing::Test {
 protected:
  void SetUp() override { Debugger.ClearEntries(); }
};

// What one NextTag call is expected to deliver.
struct Record {
  bool Answer;
  uint16_t Code;
  bool LongHeader;
  Bytes Body;
};

struct WalkCase {
  const char* Name;
  Bytes Movie;
  std::vector<Record> Records;  // the last one answers false
  std::vector<std::string> Reports;
};

const char* const Fatal =
    "0  Fatal error  Read data is more than the file size, class name: \"tSWFStream\"";

TEST_F(Navigation, RecordHeaders) {
  const WalkCase Cases[] = {
      {"short header",
       {0x83, 0x01, 7, 8, 9, 0x00, 0x00},
       {{true, 6, false, {7, 8, 9}}, {true, 0, false, {}}, {false, 0, false, {}}},
       {}},
      {"long header", {0x7F, 0x05, 0x40, 0, 0, 0, /* 64 body bytes follow */}, {}, {}},
      {"long header with a small length",
       {0x3F, 0x03, 0x05, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5},
       {{true, 12, true, {1, 2, 3, 4, 5}}, {false, 0, false, {}}},
       {}},
      {"long header with length 0",
       {0xFF, 0x00, 0, 0, 0, 0, 0x40, 0x00},
       {{true, 3, true, {}}, {true, 1, false, {}}, {false, 0, false, {}}},
       {}},
      {"body that does not fit",
       {0x43, 0x01, 1, 2},
       {{false, 5, false, {}}},
       {std::string(Fatal) +
        " with message: \"Requied size: 3, from absolure rest: 2. Real data size: 4, Offset: 2, "
        "tag ID: 5, navigation terminated\""}},
      {"long length beyond 2 GiB prints signed",
       {0x7F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 1},
       {{false, 1, true, {}}},
       {std::string(Fatal) +
        " with message: \"Requied size: -1, from absolure rest: 1. Real data size: 7, Offset: 6, "
        "tag ID: 1, navigation terminated\""}},
      {"stray byte after the End record",
       {0x00, 0x00, 0x42},
       {{true, 0, false, {}}, {false, 0, false, {}}},
       {}},
      {"long length missing", {0x3F, 0x00, 0x01, 0x00}, {{false, 0, false, {}}}, {}},
      {"empty movie", {}, {{false, 0, false, {}}}, {}},
  };
  for (auto Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Debugger.ClearEntries();
    if (Case.Records.empty()) {  // the long header: build the 64-byte body here
      for (int Index = 0; Index < 64; ++Index) Case.Movie.push_back(uint8_t(Index));
      Bytes Body(Case.Movie.end() - 64, Case.Movie.end());
      Case.Records = {{true, 21, true, Body}, {false, 0, false, {}}};
    }
    tSWFStream Movie;
    Fill(Movie, Case.Movie);
    for (const auto& Expected : Case.Records) {
      uint16_t Code = 0xFFFF;
      bool Long = !Expected.LongHeader;
      tSWFStream Body;
      ASSERT_EQ(Movie.NextTag(Code, Long, Body), Expected.Answer);
      if (Expected.Answer || Expected.Code != 0) {
        EXPECT_EQ(Code, Expected.Code);
        EXPECT_EQ(Long, Expected.LongHeader);
      }
      EXPECT_EQ(Content(Body), Expected.Body);
      if (!Expected.Body.empty()) {
        EXPECT_FALSE(Body.OwnsBuffer());  // a view, not a copy
        EXPECT_GE(Body.Buffer(), Movie.Buffer());
        EXPECT_LE(Body.Buffer() + Body.Size(), Movie.Buffer() + Movie.Size());
      }
    }
    std::vector<std::string> Texts;
    for (const auto& Entry : Debugger.Entries()) Texts.push_back(Entry.Text);
    EXPECT_EQ(Texts, Case.Reports);
  }
}

TEST_F(Navigation, FailedHeaderLeavesCodeAndMovieAtItsEnd) {
  tSWFStream Movie;
  Fill(Movie, {0x42});
  uint16_t Code = 77;
  bool Long = true;
  tSWFStream Body;
  EXPECT_FALSE(Movie.NextTag(Code, Long, Body));
  EXPECT_EQ(Code, 77);
  EXPECT_EQ(Movie.Position(), 1u);
  EXPECT_EQ(Movie.Remaining(), -1);
  EXPECT_TRUE(Debugger.Entries().empty());
}

TEST_F(Navigation, BodyThatDoesNotFitLeavesTheMovieAfterTheHeader) {
  tSWFStream Movie;
  Fill(Movie, {0x00, 0x00, 0x7F, 0x01, 10, 0, 0, 0, 1, 2});
  uint16_t Code = 0;
  bool Long = false;
  tSWFStream First;
  ASSERT_TRUE(Movie.NextTag(Code, Long, First));
  EXPECT_EQ(Content(First), Bytes({}));
  tSWFStream Body;
  EXPECT_FALSE(Movie.NextTag(Code, Long, Body));
  EXPECT_EQ(Code, 5);
  EXPECT_EQ(Movie.Position(), 8u);
  EXPECT_EQ(Body.Size(), 0u);
  ASSERT_EQ(Debugger.Entries().size(), 1u);
  EXPECT_EQ(Debugger.Entries()[0].ClassName, "tSWFStream");
  EXPECT_NE(Debugger.Entries()[0].Text.find("Requied size: 10, from absolure rest: 2. Real data "
                                            "size: 10, Offset: 8, tag ID: 5"),
            std::string::npos);
}

TEST_F(Navigation, BodyViewSharesTheMoviesMemory) {
  tSWFStream Movie;
  Fill(Movie, {0x82, 0x00, 0xAA, 0xBB});
  uint16_t Code = 0;
  bool Long = false;
  {
    tSWFStream Body;
    ASSERT_TRUE(Movie.NextTag(Code, Long, Body));
    EXPECT_EQ(Code, 2);
    Body.WriteUI8(0x11);
  }  // the view goes; the movie's memory stays
  EXPECT_EQ(Content(Movie), Bytes({0x82, 0x00, 0x11, 0xBB}));
  EXPECT_EQ(Movie.Position(), 4u);
}

}  // namespace
