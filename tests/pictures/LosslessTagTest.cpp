// The lossless bitmap body and its two tags: inflated sizes by format and item
// style, short bodies, writing back and cloning.
#include "swf/pictures/I_BitsLossLess.h"
#include "swf/pictures/T_BitsLossLess.h"
#include "swf/pictures/T_DefineBitsLossLess2.h"
#include "tests/pictures/PictureTestUtil.h"

namespace {

TBytes LosslessItemBody(uint8_t Format, uint16_t Width, uint16_t Height, uint8_t TableSize,
                        const TBytes& Pixels) {
  TBytes Body = Join({{Format}, UI16(Width), UI16(Height)});
  if (Format == 3) Body.push_back(TableSize);
  return Join({Body, Compressed(Pixels)});
}

class LosslessTest : public DiagnosticsTest {};

struct SizeCase {
  const char* Name;
  uint8_t Format;
  uint16_t Width, Height;
  uint8_t TableSize;
  uint8_t Style;
  size_t Inflated;  // what the data inflates to
};

// The record's data holds exactly the inflated size, except for 32-bit pixels
// without alpha, whose estimate rounds the width up to a multiple of 4.
TEST_F(LosslessTest, PixelDataInflatesToTheSizeOfItsLayout) {
  const SizeCase Cases[] = {
      {"colour-mapped 5x2, 2 colours", 3, 5, 2, 1, 255, 2 * 3 + 2 * 8},
      {"colour-mapped 5x2, 2 colours, alpha", 3, 5, 2, 1, 3, 2 * 4 + 16},
      {"colour-mapped, 256 colours", 3, 4, 1, 255, 255, 256 * 3 + 4},
      {"15-bit 5x3", 4, 5, 3, 0, 255, 3 * 6 * 2},
      {"32-bit 5x3, alpha", 5, 5, 3, 0, 3, 60},
      {"32-bit 5x3", 5, 5, 3, 0, 255, 3 * 8 * 4},
      {"32-bit 4x2", 5, 4, 2, 0, 255, 32},
      {"unknown format 7", 7, 5, 3, 0, 255, 15},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TBytes Pixels = Sequence(Case.Inflated);
    tSWFStream Body;
    Fill(Body, LosslessItemBody(Case.Format, Case.Width, Case.Height, Case.TableSize, Pixels));
    tBitsLossLessItem Item(0, Case.Style);
    EXPECT_TRUE(Item.Read(Body));
    EXPECT_EQ(Item.GetBitmapFormat(), Case.Format);
    EXPECT_EQ(Item.GetBitmapWidth(), Case.Width);
    EXPECT_EQ(Item.GetBitmapHeight(), Case.Height);
    EXPECT_EQ(Item.GetBitmapColorTableSize(), Case.Format == 3 ? Case.TableSize : 0);
    EXPECT_EQ(Item.GetBitmapData().GetOutEstimate(), int32_t(Case.Inflated));
    EXPECT_FALSE(Item.GetBitmapData().IsDeflated());
    EXPECT_EQ(Contents(Item.GetBitmapData().GetData()), Pixels);
  }
}

TEST_F(LosslessTest, TheColourTableByteCountsOnlyForColourMappedPictures) {
  tBitsLossLessItem Item(0, 255);
  EXPECT_EQ(Item.GetBitmapFormat(), 3);
  Item.SetBitmapColorTableSize(9);
  EXPECT_EQ(Item.GetBitmapColorTableSize(), 9);
  Item.SetBitmapFormat(5);
  EXPECT_EQ(Item.GetBitmapColorTableSize(), 0);
  tSWFStream Out;
  EXPECT_TRUE(Item.Write(Out));
  EXPECT_EQ(Contents(Out), (TBytes{5, 0, 0, 0, 0}));  // no table byte, empty data
}

TEST_F(LosslessTest, ABodyShorterThanItsFieldsGivesEmptyDataWithAWarning) {
  tSWFStream Body;
  Fill(Body, {5, 0x10});
  tBitsLossLessItem Item(0, 3);
  Item.Read(Body);
  EXPECT_EQ(Item.GetBitmapFormat(), 5);
  EXPECT_EQ(Item.GetBitmapWidth(), 0);
  EXPECT_EQ(Item.GetBitmapHeight(), 0);
  EXPECT_EQ(Item.GetBitmapData().GetData().Size(), 0u);
  EXPECT_EQ(CountReports(DumpCutText), 1u);
}

TEST_F(LosslessTest, AHugeDeclaredSizeForAFewBytesGivesEmptyData) {
  tSWFStream Body;
  Fill(Body, LosslessItemBody(5, 62525, 17173, 0, Sequence(40)));
  tBitsLossLessItem Item(0, 255);
  Item.Read(Body);
  EXPECT_EQ(Item.GetBitmapData().GetData().Size(), 0u);
}

// Zeros inflate a thousandfold, so a short record can justify a gigabyte:
// only the picture's own size can refuse it. Here the bytes are plenty for
// the ratio but the picture is larger than any player shows.
TEST_F(LosslessTest, APictureBeyondThePixelLimitIsNotInflated) {
  struct TCase {
    uint8_t Format;
    uint16_t Width, Height;
    uint8_t Style;
  } const Cases[] = {
      {5, 65535, 1025, 3}, {5, 8193, 8193, 255}, {4, 65535, 1025, 255}, {3, 65535, 1025, 255}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(std::to_string(Case.Width) + "x" + std::to_string(Case.Height));
    tSWFStream Body;
    Fill(Body, Join({{Case.Format},
                     UI16(Case.Width),
                     UI16(Case.Height),
                     Case.Format == 3 ? TBytes{255} : TBytes{},
                     Sequence(300'000)}));
    tBitsLossLessItem Item(0, Case.Style);
    Item.Read(Body);
    EXPECT_EQ(Item.GetBitmapData().GetData().Size(), 0u);
  }
  // The largest picture that is still read.
  tSWFStream Body;
  Fill(Body, LosslessItemBody(5, 8192, 8, 0, TBytes(8192 * 8 * 4, 0x5A)));
  tBitsLossLessItem Item(0, 3);
  Item.Read(Body);
  EXPECT_EQ(Item.GetBitmapData().GetData().Size(), 8192u * 8 * 4);
}

TEST_F(LosslessTest, TagsReadTheCharacterIdAndPassTheirStyleToTheItem) {
  TBytes Pixels = Sequence(2 * 4 + 16);
  TBytes Body = Join({UI16(0x1234), LosslessItemBody(3, 5, 2, 1, Pixels)});

  tBitsLossLessTag Plain(0, 255);
  tSWFStream Stream;
  Fill(Stream, Body);
  Plain.Read(Stream);
  EXPECT_EQ(Plain.GetCharacterId(), 0x1234);
  EXPECT_EQ(Plain.GetLossLessItem().GetItemStyle(), 255);
  EXPECT_EQ(Plain.GetLossLessItem().GetBitmapData().GetData().Size(), 22u);

  tDefineBitsLossLess2Tag WithAlpha(0, 255);
  EXPECT_EQ(WithAlpha.GetItemStyle(), 3);
  Fill(Stream, Body);
  WithAlpha.Read(Stream);
  EXPECT_EQ(WithAlpha.GetLossLessItem().GetItemStyle(), 3);
  EXPECT_EQ(Contents(WithAlpha.GetLossLessItem().GetBitmapData().GetData()), Pixels);
}

TEST_F(LosslessTest, TagStylesAreFixedButTheItemStyleCanChange) {
  tDefineBitsLossLess2Tag WithAlpha(0, 255);
  WithAlpha.SetItemStyle(255);
  EXPECT_EQ(WithAlpha.GetItemStyle(), 3);
  tBitsLossLessTag Plain(0, 255);
  Plain.SetItemStyle(3);
  EXPECT_EQ(Plain.GetItemStyle(), 255);

  WithAlpha.GetLossLessItem().SetItemStyle(3);
  EXPECT_EQ(WithAlpha.GetLossLessItem().GetItemStyle(), 3);
  Plain.GetLossLessItem().SetItemStyle(3);
  EXPECT_EQ(Plain.GetLossLessItem().GetItemStyle(), 3);
  EXPECT_EQ(Plain.GetItemStyle(), 255);

  std::unique_ptr<tSWFObject> Copy;
  WithAlpha.CloneInto(0, 255, Copy);
  ASSERT_NE(dynamic_cast<tDefineBitsLossLess2Tag*>(Copy.get()), nullptr);
  EXPECT_EQ(Copy->GetItemStyle(), 3);
}

TEST_F(LosslessTest, WritingATagThatWasReadGivesTheSameFieldsAndPixels) {
  TBytes Pixels = Sequence(60);
  tSWFStream Stream;
  Fill(Stream, Join({UI16(77), LosslessItemBody(5, 5, 3, 0, Pixels)}));
  tDefineBitsLossLess2Tag Tag(0, 255);
  Tag.Read(Stream);
  tSWFStream Written;
  ASSERT_TRUE(Tag.Write(Written));
  EXPECT_TRUE(Tag.GetLossLessItem().GetBitmapData().IsDeflated());

  Written.SetPosition(0);
  tDefineBitsLossLess2Tag Again(0, 255);
  Again.Read(Written);
  EXPECT_EQ(Again.GetCharacterId(), 77);
  EXPECT_EQ(Again.GetLossLessItem().GetBitmapFormat(), 5);
  EXPECT_EQ(Again.GetLossLessItem().GetBitmapWidth(), 5);
  EXPECT_EQ(Again.GetLossLessItem().GetBitmapHeight(), 3);
  EXPECT_EQ(Contents(Again.GetLossLessItem().GetBitmapData().GetData()), Pixels);
}

TEST_F(LosslessTest, CloneCopiesTheCharacterIdTheFieldsAndThePixels) {
  TBytes Pixels = Sequence(22);
  tSWFStream Stream;
  Fill(Stream, Join({UI16(5), LosslessItemBody(3, 5, 2, 1, Pixels)}));
  tBitsLossLessTag Tag(0, 255);
  Tag.SetTagCode(20);
  Tag.Read(Stream);

  std::unique_ptr<tSWFObject> Target;
  Tag.CloneInto(0, 255, Target);
  auto* Copy = dynamic_cast<tBitsLossLessTag*>(Target.get());
  ASSERT_NE(Copy, nullptr);
  EXPECT_EQ(Copy->GetTagCode(), 20);
  EXPECT_EQ(Copy->GetCharacterId(), 5);
  tBitsLossLessItem& Item = Copy->GetLossLessItem();
  EXPECT_NE(&Item, &Tag.GetLossLessItem());
  EXPECT_EQ(Item.GetBitmapFormat(), 3);
  EXPECT_EQ(Item.GetBitmapWidth(), 5);
  EXPECT_EQ(Item.GetBitmapHeight(), 2);
  EXPECT_EQ(Item.GetBitmapColorTableSize(), 1);
  EXPECT_EQ(Item.GetBitmapData().GetOutEstimate(), 22);
  EXPECT_EQ(Contents(Item.GetBitmapData().GetData()), Pixels);
}

}  // namespace
