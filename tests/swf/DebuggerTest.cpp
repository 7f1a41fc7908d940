#include <gtest/gtest.h>

#include <cerrno>

#include "swf/F_Debugger.h"
#include "swf/F_ErrorCodes.h"

namespace {

class NamedItem : public tObject {
 public:
  const char* ClassName() const override { return "tHeaderItem"; }
};

class Collector : public ::testing::Test {
 protected:
  void SetUp() override { Debugger.ClearEntries(); }
  std::string Only() const {
    EXPECT_EQ(Debugger.Entries().size(), 1u);
    return Debugger.Entries().empty() ? std::string() : Debugger.Entries().back().Text;
  }
};

TEST_F(Collector, ReportLines) {
  NamedItem Item;
  struct Case {
    const tObject* Item;
    uint32_t Code;
    uint8_t Kind;
    int32_t Data;
    std::string Message;
    std::string Line;
  };
  const Case Cases[] = {
      {nullptr, errReadMoreThanFileSize, mkFatalError, 0, "",
       "0  Fatal error  Read data is more than the file size"},
      {nullptr, errRestTooLarge, mkNone, 0, "", "0  The rest of data is too large"},
      {nullptr, errCantDecompress, mkWarning, 5, "", "0 (Warning) Can't decompress, (5)"},
      {nullptr, errDumpCut, mkMessage, 0, "x",
       "0  Message  The data in the memory dump was cut before reading with message: \"x\""},
      {nullptr, errCantReadTag, mkHint, -3, "m",
       "0 {Hint} Can't read tag with message: \"m\", (-3)"},
      {nullptr, errUnknownError, mkSystemError, 0, "",
       "0  System error  Unknown error; the code is: "},
      {nullptr, errCantAllocate, mkInternalError, 0, "",
       "0 (:Internal error:) Can't allocate memory to create object"},
      {nullptr, errUnknownTag, 200, 0, "", "0  Found unknown tag"},
      {nullptr, 1, mkError, 0, "", "0  Error  "},
      // The reports the framework makes, composed as they appear.
      {&Item, errInvalidCompressionFlag, mkError, 0, "#71",
       "0  Error  Invalid compression flag, class name: \"tHeaderItem\" with message: \"#71\""},
      {&Item, errInvalidFileHeader, mkError, 0, "#88#89",
       "0  Error  Invalid file header, class name: \"tHeaderItem\" with message: \"#88#89\""},
      {&Item, errCantDecompress, mkWarning, 12, "",
       "0 (Warning) Can't decompress, class name: \"tHeaderItem\", (12)"},
      {&Item, errCompressedFlagNotSet, mkWarning, 0, "",
       "0 (Warning) File compressed, but compression flag is not set, class name: "
       "\"tHeaderItem\""},
      {&Item, errFileSizeMissing, mkWarning, 1000, "",
       "0 (Warning) Internal file size is missing, class name: \"tHeaderItem\", (1000)"},
      {&Item, errFileCorrupted, mkError, -2, "",
       "0  Error  File is corrupted or missing, class name: \"tHeaderItem\", (-2)"},
      {&Item, errInvalidVersion, mkWarning, 5, "",
       "0 (Warning) Invalid file version flag, class name: \"tHeaderItem\", (5)"},
      {&Item, errZlibNotApplied, mkWarning, 0, "",
       "0 (Warning) Zlib compression not applied, class name: \"tHeaderItem\""},
      {&Item, errDumpCut, mkWarning, 7, "New size follow",
       "0 (Warning) The data in the memory dump was cut before reading, class name: "
       "\"tHeaderItem\" with message: \"New size follow\", (7)"},
      {&Item, errOutEstimateNotSet, mkError, 0, "",
       "0  Error  Nececarry ZLib parameter (outestimate) is not set, class name: "
       "\"tHeaderItem\""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Line);
    Debugger.ClearEntries();
    Debugger.Report(C.Item, C.Code, C.Kind, C.Data, C.Message);
    EXPECT_EQ(Only(), C.Line);
    EXPECT_EQ(Debugger.Entries().back().ClassName, C.Item ? "tHeaderItem" : "");
  }
}

TEST_F(Collector, SystemErrorLines) {
  NamedItem Item;
  errno = ENOENT;
  Debugger.ReportSystemError(&Item, 7, "opening");
  EXPECT_EQ(Only(),
            "System error:      2, with message \"No such file or directory, opening\", in class "
            "\"tHeaderItem\", with data: 7");
  EXPECT_EQ(Debugger.Entries().back().ClassName, "tHeaderItem");

  Debugger.ClearEntries();
  errno = ENOMEM;
  Debugger.ReportSystemError(nullptr, 0, "");
  EXPECT_EQ(Only(), "System error:     12, with message \"Cannot allocate memory\"");

  // %6.0d prints no digit at all for 0.
  Debugger.ClearEntries();
  errno = 0;
  Debugger.ReportSystemError(&Item, 0, "");
  EXPECT_EQ(Only(), "System error:       , with message \"Success\", in class \"tHeaderItem\"");
}

TEST_F(Collector, NoteRecordsNothingAndLetsGoOn) {
  EXPECT_TRUE(
      Debugger.Note(nullptr, errDataSmallReadBigTag, mkMessage, 0, "Read Tag= 12, Size= 5. "));
  EXPECT_TRUE(Debugger.Entries().empty());
}

TEST_F(Collector, EntriesAccumulateInOrder) {
  Debugger.Report(nullptr, errCantReadTag, mkError, 0, "");
  Debugger.Report(nullptr, errCantRead, mkError, 0, "");
  ASSERT_EQ(Debugger.Entries().size(), 2u);
  EXPECT_EQ(Debugger.Entries()[0].Text, "0  Error  Can't read tag");
  EXPECT_EQ(Debugger.Entries()[1].Text, "0  Error  Can't execute reading process");
}

TEST_F(Collector, TheLogIsBoundedAndAClearStartsItAfresh) {
  NamedItem Item;
  for (size_t i = 0; i < tDebugger::MaxEntries + 500; ++i) {
    Debugger.Report(&Item, errCantReadTag, mkError, 0, "");
    Debugger.ReportSystemError(&Item, 0, "");
  }
  EXPECT_EQ(Debugger.Entries().size(), tDebugger::MaxEntries);
  EXPECT_EQ(Debugger.Dropped(), 2 * (tDebugger::MaxEntries + 500) - tDebugger::MaxEntries);
  Debugger.ClearEntries();
  EXPECT_TRUE(Debugger.Entries().empty());
  EXPECT_EQ(Debugger.Dropped(), 0u);
  Debugger.Report(&Item, errCantReadTag, mkError, 0, "");
  EXPECT_EQ(Debugger.Entries().size(), 1u);
}

TEST(ErrorTexts, EveryCodeHasItsTextAndKindsTheirs) {
  EXPECT_EQ(ErrorText(32768), "The rest of data is too large");
  EXPECT_EQ(ErrorText(32779), "Nececarry ZLib parameter (outestimate) is not set");
  EXPECT_EQ(ErrorText(32790), "Zlib compression not applied");
  EXPECT_EQ(ErrorText(32796), "Data small read big Tag");
  for (uint32_t Code = 32768; Code <= 32796; ++Code) EXPECT_FALSE(ErrorText(Code).empty()) << Code;
  EXPECT_EQ(ErrorText(32767), "");
  EXPECT_EQ(ErrorText(32797), "");

  EXPECT_EQ(KindText(mkNone), " ");
  EXPECT_EQ(KindText(mkFatalError), " Fatal error  ");
  EXPECT_EQ(KindText(mkWarning), "(Warning) ");
  EXPECT_EQ(KindText(mkInternalError), "(:Internal error:) ");
}

}  // namespace
