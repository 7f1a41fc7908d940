// Raw and compressed data blocks: reading a declared length, cut blocks, the
// deflated/inflated states of tZDumpItem, cloning and writing.
#include "swf/pictures/I_Dump.h"
#include "swf/pictures/I_JPEGDataWithTable.h"
#include "swf/pictures/I_ZDump.h"
#include "tests/pictures/PictureTestUtil.h"

namespace {

class DumpItemTest : public DiagnosticsTest {};

struct DumpReadCase {
  const char* Name;
  uint32_t DataSize;
  size_t Available;      // bytes after the source position
  bool SourceFailed;     // the source is already in a failed state
  uint32_t KeptSize;     // DataSize and size of Data afterwards
  size_t Warnings;       // warnings 32778
  const char* DataPart;  // the data number the warning carries, if any
};

TEST_F(DumpItemTest, ReadTakesTheDeclaredLengthOrWhatRemains) {
  const DumpReadCase Cases[] = {
      {"size 0", 0, 5, false, 0, 0, nullptr},
      {"exact", 5, 5, false, 5, 0, nullptr},
      {"less than remains", 3, 5, false, 3, 0, nullptr},
      {"cut", 10, 4, false, 4, 1, ", (4)"},
      {"failed source", 3, 5, true, 0, 1, nullptr},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Debugger.ClearEntries();
    TBytes Body = Join({{0xEE, 0xEE}, Sequence(Case.Available)});
    tSWFStream Source;
    Fill(Source, Body);
    Source.SetPosition(Case.SourceFailed ? uint32_t(Body.size()) + 3 : 2);
    tDumpItem Item(0, 255);
    Item.SetDataSize(Case.DataSize);

    EXPECT_TRUE(Item.Read(Source));
    EXPECT_EQ(Item.GetDataSize(), Case.KeptSize);
    TBytes Expected(Body.begin() + (Case.SourceFailed ? 0 : 2),
                    Body.begin() + (Case.SourceFailed ? 0 : 2 + Case.KeptSize));
    EXPECT_EQ(Contents(Item.GetData()), Expected);
    EXPECT_EQ(Item.GetData().Position(), Case.KeptSize);
    if (!Case.SourceFailed) {
      EXPECT_EQ(Source.Position(), 2 + Case.KeptSize);
    }
    ASSERT_EQ(Reports().size(), Case.Warnings);
    if (Case.Warnings) {
      const auto& Entry = Reports()[0];
      EXPECT_NE(Entry.Text.find("(Warning)"), std::string::npos) << Entry.Text;
      EXPECT_NE(Entry.Text.find(DumpCutText), std::string::npos) << Entry.Text;
      EXPECT_NE(Entry.Text.find("with message: \"New size follow\""), std::string::npos);
      EXPECT_EQ(Entry.ClassName, "tDumpItem");
      if (Case.DataPart) {
        EXPECT_NE(Entry.Text.find(Case.DataPart), std::string::npos) << Entry.Text;
      } else {
        EXPECT_EQ(Entry.Text.find(", ("), std::string::npos) << Entry.Text;
      }
    }
  }
}

TEST_F(DumpItemTest, ASecondShorterReadLeavesNoTail) {
  tSWFStream Source;
  Fill(Source, Sequence(8));
  tDumpItem Item(0, 255);
  Item.SetDataSize(8);
  ASSERT_TRUE(Item.Read(Source));
  Fill(Source, {9, 8, 7});
  Item.SetDataSize(3);
  ASSERT_TRUE(Item.Read(Source));
  EXPECT_EQ(Contents(Item.GetData()), (TBytes{9, 8, 7}));
}

TEST_F(DumpItemTest, WriteCopiesTheBytesAndAnEmptyBlockWritesNothing) {
  tDumpItem Item(0, 255);
  tSWFStream Target;
  Fill(Target, {1});
  Target.SetPosition(1);
  EXPECT_TRUE(Item.Write(Target));
  EXPECT_EQ(Target.Size(), 1u);

  tSWFStream Failed;
  Failed.SetPosition(4);  // past the end: failed state
  EXPECT_FALSE(Item.Write(Failed));

  tSWFStream Bytes;
  Fill(Bytes, {4, 5, 6});
  Item.SetData(&Bytes);
  Item.SetDataSize(99);  // not consulted by Write
  EXPECT_TRUE(Item.Write(Target));
  EXPECT_EQ(Contents(Target), (TBytes{1, 4, 5, 6}));
}

TEST_F(DumpItemTest, SetDataClonesOrEmptiesAndKeepsTheDeclaredSize) {
  tDumpItem Item(0, 255);
  Item.SetDataSize(7);
  tSWFStream Bytes;
  Fill(Bytes, {1, 2, 3});
  Item.SetData(&Bytes);
  Bytes.SetPosition(0);
  Bytes.WriteUI8(99);  // the item holds its own copy of an owning stream
  EXPECT_EQ(Contents(Item.GetData()), (TBytes{1, 2, 3}));
  EXPECT_FALSE(Item.IsEmpty());

  Item.SetData(nullptr);
  EXPECT_TRUE(Item.IsEmpty());
  EXPECT_EQ(Item.GetDataSize(), 7u);

  // A view stays a view of the same memory; emptying it still empties the block.
  TBytes Memory = {5, 6};
  tSWFStream View;
  View.AttachBuffer(Memory.data(), 2);
  Item.SetData(&View);
  EXPECT_EQ(Item.GetData().Buffer(), Memory.data());
  Item.Clear();
  EXPECT_TRUE(Item.IsEmpty());
  EXPECT_EQ(Memory, (TBytes{5, 6}));
}

TEST_F(DumpItemTest, CloneKeepsTheClassTheBytesAndTheDeclaredSize) {
  tJPEGDataWithTableItem Item(0, 255);
  tSWFStream Bytes;
  Fill(Bytes, {0xFF, 0xD8, 0xFF, 0xD9});
  Item.SetData(&Bytes);
  Item.SetDataSize(12);

  std::unique_ptr<tSWFObject> Target = std::make_unique<tDumpItem>(0, 255);
  Item.CloneInto(0, 255, Target);
  auto* Copy = dynamic_cast<tJPEGDataWithTableItem*>(Target.get());
  ASSERT_NE(Copy, nullptr);
  EXPECT_STREQ(Copy->ClassName(), "tJPEGDataWithTableItem");
  EXPECT_EQ(Copy->GetDataSize(), 12u);
  EXPECT_EQ(Contents(Copy->GetData()), Contents(Item.GetData()));
  EXPECT_NE(Copy->GetData().Buffer(), Item.GetData().Buffer());

  tSWFObject* Held = Target.get();
  Copy->CloneInto(0, 255, Target);  // the target holds the object itself
  EXPECT_EQ(Target.get(), Held);
}

class ZDumpItemTest : public DiagnosticsTest {
 protected:
  // A block read from a body that holds exactly Data compressed.
  void ReadCompressed(tZDumpItem& Item, const TBytes& Data, int32_t Estimate) {
    TBytes Packed = Data.empty() ? TBytes{} : Compressed(Data);
    tSWFStream Source;
    Fill(Source, Packed);
    Item.SetDataSize(uint32_t(Packed.size()));
    Item.SetOutEstimate(Estimate);
    ASSERT_TRUE(Item.Read(Source));
  }
};

TEST_F(ZDumpItemTest, ReadInflatesToTheEstimateZeroFillingAShortStream) {
  TBytes Text = Sequence(600);
  tZDumpItem Item(0, 255);
  ReadCompressed(Item, Text, 1000);
  EXPECT_FALSE(Item.IsDeflated());
  TBytes Expected = Text;
  Expected.resize(1000, 0);
  EXPECT_EQ(Contents(Item.GetData()), Expected);
  EXPECT_TRUE(Reports().empty());

  ReadCompressed(Item, Text, 100);  // longer output is cut to the estimate
  EXPECT_EQ(Contents(Item.GetData()), TBytes(Text.begin(), Text.begin() + 100));
}

TEST_F(ZDumpItemTest, WithoutAnEstimateTheCompressedBytesComeOutWithAnErrorEveryTime) {
  TBytes Packed = Compressed(Sequence(50));
  tZDumpItem Item(0, 255);
  ReadCompressed(Item, Sequence(50), -1);
  EXPECT_TRUE(Item.IsDeflated());
  EXPECT_TRUE(Reports().empty());  // reading alone does not inflate

  EXPECT_EQ(Contents(Item.GetData()), Packed);
  EXPECT_EQ(Contents(Item.GetData()), Packed);
  EXPECT_FALSE(Item.IsEmpty());
  EXPECT_TRUE(Item.IsDeflated());
  EXPECT_EQ(CountReports(NoEstimateText), 3u);
  ASSERT_EQ(Reports().size(), 3u);
  EXPECT_NE(Reports()[0].Text.find(" Error "), std::string::npos);
  EXPECT_EQ(Reports()[0].ClassName, "tZDumpItem");
}

TEST_F(ZDumpItemTest, InflateOnReadOffKeepsTheBlockCompressed) {
  tZDumpItem Item(0, 255);
  Item.SetInflateOnRead(false);
  ReadCompressed(Item, Sequence(40), 40);
  EXPECT_TRUE(Item.IsDeflated());
  EXPECT_EQ(Contents(Item.GetData()), Sequence(40));  // inflated on first look
  EXPECT_FALSE(Item.IsDeflated());
}

TEST_F(ZDumpItemTest, AnEmptyBlockStaysEmptyWhenInflated) {
  tZDumpItem Item(0, 255);
  ReadCompressed(Item, {}, 100);
  EXPECT_FALSE(Item.IsDeflated());
  EXPECT_EQ(Item.GetData().Size(), 0u);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(ZDumpItemTest, DataThatIsNotZlibInflatesToZeros) {
  tZDumpItem Item(0, 255);
  tSWFStream Source;
  Fill(Source, {1, 2, 3, 4, 5});
  Item.SetDataSize(5);
  Item.SetOutEstimate(10);
  ASSERT_TRUE(Item.Read(Source));
  EXPECT_EQ(Contents(Item.GetData()), TBytes(10, 0));
}

// An estimate a few bytes of zlib data cannot possibly fill is not honoured
// with gigabytes of zeros: the block ends empty and the refusal is reported.
TEST_F(ZDumpItemTest, AnEstimateTheDataCannotJustifyLeavesTheBlockEmpty) {
  const int32_t Estimates[] = {INT32_MAX, 200'000'000, -5};
  for (int32_t Estimate : Estimates) {
    SCOPED_TRACE(Estimate);
    Debugger.ClearEntries();
    tZDumpItem Item(0, 255);
    ReadCompressed(Item, Sequence(16), Estimate);
    EXPECT_FALSE(Item.IsDeflated());
    EXPECT_EQ(Item.GetData().Size(), 0u);
    EXPECT_EQ(CountReports("Can't allocate memory to create object"), 1u);
  }
}

TEST_F(ZDumpItemTest, SetDataCountsAsInflatedWithUnknownEstimate) {
  tZDumpItem Item(0, 255);
  ReadCompressed(Item, Sequence(30), 30);
  tSWFStream Bytes;
  Fill(Bytes, {7, 7, 7});
  Item.SetData(&Bytes);
  EXPECT_FALSE(Item.IsDeflated());
  EXPECT_EQ(Item.GetOutEstimate(), -1);
  EXPECT_EQ(Contents(Item.GetData()), (TBytes{7, 7, 7}));
  EXPECT_TRUE(Reports().empty());

  // Emptying a deflated block of unknown estimate looks at it first.
  tZDumpItem Deflated(0, 255);
  ReadCompressed(Deflated, Sequence(30), -1);
  Deflated.SetData(nullptr);
  EXPECT_EQ(CountReports(NoEstimateText), 1u);
  EXPECT_EQ(Deflated.GetData().Size(), 0u);
  EXPECT_FALSE(Deflated.IsDeflated());
}

TEST_F(ZDumpItemTest, WriteDeflatesInflatedBytes) {
  TBytes Text = Sequence(300);
  tZDumpItem Item(0, 255);
  ReadCompressed(Item, Text, 300);
  tSWFStream Target;
  ASSERT_TRUE(Item.Write(Target));
  EXPECT_TRUE(Item.IsDeflated());
  EXPECT_EQ(Inflated(Contents(Target), 300), Text);
}

// Bytes handed over as a view of someone else's memory are compressed into a
// copy; the borrowed memory stays as it was.
TEST_F(ZDumpItemTest, DeflatingBytesSetAsAViewLeavesTheirMemoryAlone) {
  TBytes Memory(200, 'a');
  tSWFStream View;
  View.AttachBuffer(Memory.data(), uint32_t(Memory.size()));
  tZDumpItem Item(0, 255);
  Item.SetData(&View);
  tSWFStream Target;
  ASSERT_TRUE(Item.Write(Target));
  EXPECT_EQ(Memory, TBytes(200, 'a'));
  EXPECT_EQ(Inflated(Contents(Target), 200), Memory);
  Item.SetOutEstimate(200);
  EXPECT_EQ(Contents(Item.GetData()), Memory);
}

TEST_F(ZDumpItemTest, CloneOfAnInflatedBlockIsInflatedWithTheSameEstimate) {
  TBytes Text = Sequence(64);
  tZDumpItem Item(0, 255);
  ReadCompressed(Item, Text, 64);
  std::unique_ptr<tZDumpItem> Copy;
  CloneItemInto(Item, 0, 255, Copy);
  ASSERT_TRUE(Copy);
  EXPECT_FALSE(Copy->IsDeflated());
  EXPECT_EQ(Copy->GetOutEstimate(), 64);
  EXPECT_EQ(Contents(Copy->GetData()), Text);

  // And a deflated one stays deflated, estimate unknown, bytes untouched.
  tZDumpItem Packed(0, 255);
  ReadCompressed(Packed, Text, -1);
  Packed.SetInflateOnRead(false);
  std::unique_ptr<tZDumpItem> PackedCopy;
  CloneItemInto(Packed, 0, 255, PackedCopy);
  EXPECT_TRUE(PackedCopy->IsDeflated());
  EXPECT_EQ(PackedCopy->GetOutEstimate(), -1);
  EXPECT_FALSE(PackedCopy->GetInflateOnRead());
  EXPECT_TRUE(Reports().empty());
}

}  // namespace
