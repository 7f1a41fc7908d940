#include <gtest/gtest.h>

#include "SwfTestUtil.h"
#include "swf/F_Base.h"
#include "swf/I_Header.h"
#include "swf/I_Rect.h"

namespace {

// A concrete tag that counts its destructions.
class tCountedTag : public tTag {
 public:
  tCountedTag(int32_t Context, uint8_t ItemStyle) : tTag(Context, ItemStyle) {}
  ~tCountedTag() override { ++Destroyed; }
  const char* ClassName() const override { return "tCountedTag"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override {
    return std::make_unique<tCountedTag>(Context, ItemStyle);
  }
  static inline int Destroyed = 0;
};

TEST(ItemModel, ItemStyleAndEmptiness) {
  tCountedTag Tag(0, 255);
  EXPECT_EQ(Tag.GetContext(), 0);
  EXPECT_EQ(Tag.GetItemStyle(), 255);
  Tag.SetItemStyle(255);
  EXPECT_EQ(Tag.GetItemStyle(), 255);
  Tag.SetItemStyle(3);
  EXPECT_EQ(Tag.GetItemStyle(), 3);

  EXPECT_TRUE(Tag.IsEmpty());
  Tag.SetTagCode(6);
  EXPECT_FALSE(Tag.IsEmpty());
  Tag.Clear();
  EXPECT_TRUE(Tag.IsEmpty());

  tRectItem Rect(0, 255);
  EXPECT_FALSE(Rect.IsEmpty());
}

TEST(ItemModel, DefaultReadAndWriteAnswerTheStreamState) {
  tCountedTag Tag(0, 255);
  tSWFStream Stream;
  Fill(Stream, {1, 2});
  EXPECT_TRUE(Tag.Read(Stream));
  Stream.SetPosition(5);  // shortfall -3
  ASSERT_EQ(Stream.Remaining(), -3);
  EXPECT_FALSE(Tag.Read(Stream));
  EXPECT_FALSE(Tag.Write(Stream));
  EXPECT_EQ(Stream.Position(), 2u);
}

TEST(ItemModel, CloneIntoMakesAFreshObjectOfTheSameClass) {
  tCountedTag Tag(0, 255);
  Tag.SetTagCode(6);
  Tag.SetLongHeader(true);

  std::unique_ptr<tSWFObject> Target = std::make_unique<tCountedTag>(0, 255);
  int Before = tCountedTag::Destroyed;
  Tag.CloneInto(9, 3, Target);
  EXPECT_EQ(tCountedTag::Destroyed, Before + 1);  // the former target is gone
  auto* Copy = dynamic_cast<tCountedTag*>(Target.get());
  ASSERT_NE(Copy, nullptr);
  EXPECT_EQ(Copy->GetTagCode(), 6);
  EXPECT_TRUE(Copy->GetLongHeader());
  EXPECT_EQ(Copy->GetContext(), 9);
  EXPECT_EQ(Copy->GetItemStyle(), 3);

  // A target that already holds the object itself is left alone.
  std::unique_ptr<tSWFObject> Self(Copy);
  Target.release();
  Before = tCountedTag::Destroyed;
  Copy->CloneInto(0, 255, Self);
  EXPECT_EQ(Self.get(), Copy);
  EXPECT_EQ(tCountedTag::Destroyed, Before);

  std::unique_ptr<tSWFObject> Empty;
  Tag.CloneInto(0, 255, Empty);
  EXPECT_NE(Empty, nullptr);
  ReleaseItem(Empty);
  EXPECT_EQ(Empty, nullptr);
}

TEST(ItemModel, CloneItemIntoKeepsTheTypedReference) {
  tRectItem Rect(0, 255);
  Rect.SetXmin(-4);
  Rect.SetYmax(99);
  auto Target = std::make_unique<tRectItem>(0, 255);
  CloneItemInto(Rect, 1, 2, Target);
  EXPECT_EQ(Target->GetXmin(), -4);
  EXPECT_EQ(Target->GetYmax(), 99);
  EXPECT_EQ(Target->GetContext(), 1);
  EXPECT_EQ(Target->GetItemStyle(), 2);
}

TEST(Rect, WriteAndReadBack) {
  struct Case {
    int32_t Xmin, Xmax, Ymin, Ymax;
    uint8_t Bits;
    Bytes Data;  // empty: only the size is checked
  };
  const Case Cases[] = {
      {0, 0, 0, 0, 0, {0x00}},
      {0, 11000, 0, 8000, 15, {}},
      {-8, 0, 0, 0, 5, {0x2E, 0x00, 0x00, 0x00}},  // MaxAbs counts -8 as 8: 5 bits
      {-1, 1, -2, 2, 3, {}},
      {1 - (1 << 30), (1 << 30) - 1, 0, 0, 31, {}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(::testing::Message() << C.Xmin << "," << C.Xmax << "," << C.Ymin << "," << C.Ymax);
    tRectItem Rect(0, 255);
    Rect.SetXmin(C.Xmin);
    Rect.SetXmax(C.Xmax);
    Rect.SetYmin(C.Ymin);
    Rect.SetYmax(C.Ymax);
    tSWFStream Stream;
    ASSERT_TRUE(Rect.Write(Stream));
    EXPECT_EQ(Stream.Size(), (5u + 4u * C.Bits + 7) / 8);
    EXPECT_EQ(Stream.BitsLeft(), 8);
    if (!C.Data.empty()) {
      EXPECT_EQ(Content(Stream), C.Data);
    }
    Stream.SetPosition(0);
    EXPECT_EQ(Stream.GetUB(5), C.Bits);
    Stream.SetPosition(0);
    Stream.SetBitsLeft(8);
    tRectItem Back(0, 255);
    EXPECT_TRUE(Back.Read(Stream));
    EXPECT_EQ(Back.GetXmin(), C.Xmin);
    EXPECT_EQ(Back.GetXmax(), C.Xmax);
    EXPECT_EQ(Back.GetYmin(), C.Ymin);
    EXPECT_EQ(Back.GetYmax(), C.Ymax);
    EXPECT_EQ(Stream.Position(), Stream.Size());
  }
}

TEST(Rect, CoordinatesBeyondThirtyOneBitsAreRefused) {
  tRectItem Rect(0, 255);
  Rect.SetXmax(1 << 30);
  tSWFStream Stream;
  EXPECT_FALSE(Rect.Write(Stream));
  EXPECT_EQ(Stream.Size(), 0u);
}

TEST(Rect, ReadPastTheEndGivesZerosAndAShortfall) {
  tSWFStream Stream;
  Fill(Stream, {0x78, 0x00});  // n = 15, then far too few bits
  tRectItem Rect(0, 255);
  Rect.SetXmin(5);
  EXPECT_FALSE(Rect.Read(Stream));
  EXPECT_EQ(Rect.GetXmin(), 0);
  EXPECT_EQ(Rect.GetYmax(), 0);
  EXPECT_LT(Stream.Remaining(), 0);
}

TEST(Header, WriteProducesAPlainHeader) {
  tHeaderItem Header(0, 255);
  Header.SetVersion(8);
  Header.SetFrameRate(24.5f);
  tSWFStream Stream;
  ASSERT_TRUE(Header.Write(Stream));
  EXPECT_EQ(Content(Stream), Bytes({'F', 'W', 'S', 8, 0, 0, 0, 0, 0x00, 0x80, 0x18}));

  tHeaderItem Default(0, 255);
  Stream.Reset();
  ASSERT_TRUE(Default.Write(Stream));
  EXPECT_EQ(Content(Stream), Bytes({'F', 'W', 'S', 6, 0, 0, 0, 0, 0x00, 0x00, 0x0C}));
}

TEST(Header, CloneIntoCopiesEverythingAndOwnsItsOwnFrame) {
  tHeaderItem Header(0, 255);
  Header.SetCompressed(false);
  Header.SetVersion(4);
  Header.SetFrameRate(30.0f);
  Header.GetFrame().SetXmax(11000);
  std::unique_ptr<tSWFObject> Target;
  Header.CloneInto(0, 255, Target);
  auto* Copy = dynamic_cast<tHeaderItem*>(Target.get());
  ASSERT_NE(Copy, nullptr);
  EXPECT_FALSE(Copy->GetCompressed());
  EXPECT_EQ(Copy->GetVersion(), 4);
  EXPECT_FLOAT_EQ(Copy->GetFrameRate(), 30.0f);
  EXPECT_EQ(Copy->GetFrame().GetXmax(), 11000);
  EXPECT_NE(&Copy->GetFrame(), &Header.GetFrame());
  EXPECT_EQ(Copy->GetFileLength(), Header.GetFileLength());
}

}  // namespace
