// DefineBitsJPEG3 and DefineBitsJPEG4: the split into JPEG and compressed
// alpha, damaged counts, the byte-for-byte write of a tag just read, cloning.
#include "swf/pictures/T_DefineBitsJPEG3.h"
#include "swf/pictures/T_DefineBitsJPEG4.h"
#include "tests/pictures/PictureTestUtil.h"

namespace {

class JPEG3TagTest : public DiagnosticsTest {};

const TBytes Jpeg = {0xFF, 0xD8, 0xFF, 0xDA, 0x01, 0x02, 0xFF, 0xD9};

struct SplitCase {
  const char* Name;
  TBytes Body;
  TBytes JpegPart;
  TBytes AlphaPart;
  size_t Warnings;
};

TEST_F(JPEG3TagTest, TheBodySplitsIntoJPEGDataAndCompressedAlpha) {
  const TBytes Alpha = Compressed(Sequence(6));
  const SplitCase Cases[] = {
      {"usual", Join({UI16(9), UI32(8), Jpeg, Alpha}), Jpeg, Alpha, 0},
      {"N = 0", Join({UI16(9), UI32(0), Alpha}), {}, Alpha, 0},
      {"ends after the JPEG data", Join({UI16(9), UI32(8), Jpeg}), Jpeg, {}, 0},
      {"N too large", Join({UI16(9), UI32(100), Jpeg}), Jpeg, {}, 2},
      {"N far too large", Join({UI16(9), UI32(0xFFFFFFF0), Jpeg}), Jpeg, {}, 2},
      {"shorter than six bytes", {9, 0, 8}, {}, {}, 2},
      {"empty", {}, {}, {}, 2},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Debugger.ClearEntries();
    tSWFStream Body;
    Fill(Body, Case.Body);
    tDefineBitsJPEG3Tag Tag(0, 255);
    EXPECT_TRUE(Tag.Read(Body));
    EXPECT_EQ(Tag.GetCharacterId(), Case.Body.size() >= 2 ? 9 : 0);
    EXPECT_EQ(Contents(Tag.GetJPEGData().GetData()), Case.JpegPart);
    EXPECT_EQ(CountReports(DumpCutText), Case.Warnings);
    Debugger.ClearEntries();
    EXPECT_EQ(Contents(Tag.GetAlphaData().GetData()), Case.AlphaPart);
    EXPECT_TRUE(Tag.GetAlphaData().IsDeflated());
  }
}

TEST_F(JPEG3TagTest, TheAlphaStaysCompressedAndEveryLookReportsTheMissingEstimate) {
  const TBytes Alpha = Compressed(Sequence(6));
  tSWFStream Body;
  Fill(Body, Join({UI16(1), UI32(8), Jpeg, Alpha}));
  tDefineBitsJPEG3Tag Tag(0, 255);
  Tag.Read(Body);
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(Contents(Tag.GetAlphaData().GetData()), Alpha);
  EXPECT_EQ(Contents(Tag.GetAlphaData().GetData()), Alpha);
  EXPECT_EQ(CountReports(NoEstimateText), 2u);
  EXPECT_FALSE(Tag.GetAlphaData().GetInflateOnRead());
}

TEST_F(JPEG3TagTest, WritingATagJustReadReproducesTheBody) {
  const TBytes Bodies[] = {
      Join({UI16(0xBEEF), UI32(8), Jpeg, Compressed(Sequence(6))}),
      Join({UI16(3), UI32(0), Compressed(Sequence(6))}), Join({UI16(3), UI32(8), Jpeg}),
      Join({UI16(3), UI32(8), Jpeg, {1, 2, 3}}),  // alpha that is not zlib
  };
  for (const auto& Body : Bodies) {
    tSWFStream Source;
    Fill(Source, Body);
    tDefineBitsJPEG3Tag Tag(0, 255);
    Tag.Read(Source);
    tSWFStream Written;
    EXPECT_TRUE(Tag.Write(Written));
    EXPECT_EQ(Contents(Written), Body);
  }
}

TEST_F(JPEG3TagTest, AfterAnInflatedAlphaTheWriteDeflatesIt) {
  TBytes Plane = Sequence(6);
  tSWFStream Source;
  Fill(Source, Join({UI16(3), UI32(8), Jpeg, Compressed(Plane)}));
  tDefineBitsJPEG3Tag Tag(0, 255);
  Tag.Read(Source);
  Tag.GetAlphaData().SetOutEstimate(6);
  ASSERT_EQ(Contents(Tag.GetAlphaData().GetData()), Plane);

  tSWFStream Written;
  ASSERT_TRUE(Tag.Write(Written));
  TBytes Bytes = Contents(Written);
  ASSERT_GT(Bytes.size(), 14u);
  EXPECT_EQ(TBytes(Bytes.begin(), Bytes.begin() + 14), Join({UI16(3), UI32(8), Jpeg}));
  EXPECT_EQ(Inflated(TBytes(Bytes.begin() + 14, Bytes.end()), 6), Plane);
}

TEST_F(JPEG3TagTest, CloneCopiesEverythingAndKeepsTheAlphaCompressed) {
  const TBytes Body = Join({UI16(0x0102), UI32(8), Jpeg, Compressed(Sequence(6))});
  tSWFStream Source;
  Fill(Source, Body);
  tDefineBitsJPEG3Tag Tag(0, 255);
  Tag.SetTagCode(35);
  Tag.SetLongHeader(true);
  Tag.Read(Source);

  std::unique_ptr<tSWFObject> Target = std::make_unique<tDefineBitsJPEG3Tag>(0, 255);
  Tag.CloneInto(0, 255, Target);
  auto* Copy = dynamic_cast<tDefineBitsJPEG3Tag*>(Target.get());
  ASSERT_NE(Copy, nullptr);
  EXPECT_EQ(Copy->GetTagCode(), 35);
  EXPECT_TRUE(Copy->GetLongHeader());
  EXPECT_EQ(Copy->GetCharacterId(), 0x0102);
  EXPECT_STREQ(Copy->GetJPEGData().ClassName(), "tJPEGDataWithTableItem");
  EXPECT_TRUE(Copy->GetAlphaData().IsDeflated());
  tSWFStream Written;
  EXPECT_TRUE(Copy->Write(Written));
  EXPECT_EQ(Contents(Written), Body);
  EXPECT_TRUE(Reports().empty());
}

// DefineBitsJPEG4 keeps a deblocking value between the count and the JPEG.
TEST_F(JPEG3TagTest, JPEG4ReadsItsDeblockingValueAndSplitsTheRestAsJPEG3) {
  const TBytes Alpha = Compressed(Sequence(6));
  const SplitCase Cases[] = {
      {"usual", Join({UI16(9), UI32(8), UI16(0x0180), Jpeg, Alpha}), Jpeg, Alpha, 0},
      {"N = 0", Join({UI16(9), UI32(0), UI16(0x0180), Alpha}), {}, Alpha, 0},
      {"N too large", Join({UI16(9), UI32(100), UI16(0x0180), Jpeg}), Jpeg, {}, 2},
      {"cut inside the deblocking value", Join({UI16(9), UI32(0), {0x80}}), {}, {}, 2},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Debugger.ClearEntries();
    tSWFStream Body;
    Fill(Body, Case.Body);
    tDefineBitsJPEG4Tag Tag(0, 255);
    EXPECT_TRUE(Tag.Read(Body));
    EXPECT_EQ(Tag.GetCharacterId(), 9);
    EXPECT_EQ(Tag.GetDeblocking(), Case.Body.size() >= 10 ? 0x0180 : 0);
    EXPECT_EQ(Contents(Tag.GetJPEGData().GetData()), Case.JpegPart);
    EXPECT_EQ(CountReports(DumpCutText), Case.Warnings);
    Debugger.ClearEntries();
    EXPECT_EQ(Contents(Tag.GetAlphaData().GetData()), Case.AlphaPart);
  }
}

TEST_F(JPEG3TagTest, JPEG4WrittenOrClonedReproducesTheBody) {
  const TBytes Body = Join({UI16(7), UI32(8), UI16(0x0100), Jpeg, Compressed(Sequence(6))});
  tSWFStream Source;
  Fill(Source, Body);
  tDefineBitsJPEG4Tag Tag(0, 255);
  Tag.SetTagCode(90);
  Tag.Read(Source);
  tSWFStream Written;
  ASSERT_TRUE(Tag.Write(Written));
  EXPECT_EQ(Contents(Written), Body);

  std::unique_ptr<tSWFObject> Target = std::make_unique<tDefineBitsJPEG4Tag>(0, 255);
  Tag.CloneInto(0, 255, Target);
  auto* Copy = dynamic_cast<tDefineBitsJPEG4Tag*>(Target.get());
  ASSERT_NE(Copy, nullptr);
  EXPECT_EQ(Copy->GetTagCode(), 90);
  EXPECT_EQ(Copy->GetDeblocking(), 0x0100);
  tSWFStream Rewritten;
  EXPECT_TRUE(Copy->Write(Rewritten));
  EXPECT_EQ(Contents(Rewritten), Body);
}

}  // namespace
