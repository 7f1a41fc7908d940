#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "SwfTestUtil.h"
#include "swf/D_Storages.h"

namespace {

// One field read in a sequence: bit count, expected value and the cursor after it.
struct FieldStep {
  uint8_t Bits;
  uint32_t Value;
  uint32_t Position;
  uint8_t BitsLeft;
};

struct BitReadCase {
  const char* Name;
  Bytes Data;
  std::vector<FieldStep> Steps;
};

TEST(StreamBits, ReadsFieldsMostSignificantBitFirst) {
  const BitReadCase Cases[] = {
      {"five then three", {0xA8}, {{5, 21, 0, 3}, {3, 0, 1, 8}}},
      {"single bits", {0x80}, {{1, 1, 0, 7}, {1, 0, 0, 6}}},
      {"across bytes", {0x0F, 0xF0}, {{4, 0, 0, 4}, {8, 0xFF, 1, 4}, {4, 0, 2, 8}}},
      {"32 bits at offset 3",
       {0x1F, 0xFF, 0xFF, 0xFF, 0xE0},
       {{3, 0, 0, 5}, {32, 0xFFFFFFFF, 4, 5}, {5, 0, 5, 8}}},
      {"wide field keeps the last 32 bits",
       {0xAB, 0x12, 0x34, 0x56, 0x78},
       {{40, 0x12345678, 5, 8}}},
      {"zero bits move nothing", {0xFF}, {{0, 0, 0, 8}, {2, 3, 0, 6}, {0, 0, 0, 6}}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    tSWFStream Stream;
    Fill(Stream, Case.Data);
    for (const auto& Step : Case.Steps) {
      uint32_t Value = 99;
      EXPECT_TRUE(Stream.ReadUB(Value, Step.Bits));
      EXPECT_EQ(Value, Step.Value);
      EXPECT_EQ(Stream.Position(), Step.Position);
      EXPECT_EQ(Stream.BitsLeft(), Step.BitsLeft);
    }
    EXPECT_TRUE(Stream.IsOk());
  }
}

TEST(StreamBits, IntegersAreLittleEndianAtAnyBitOffset) {
  tSWFStream Stream;
  Fill(Stream, {0x34, 0x12});
  EXPECT_EQ(Stream.GetUI16(), 0x1234);

  Fill(Stream, {0xF1, 0x23, 0x4F});
  Stream.GetUB(4);
  uint16_t Value = 0;
  EXPECT_TRUE(Stream.ReadUI16(Value));
  EXPECT_EQ(Value, 0x3412);
  EXPECT_EQ(Stream.Position(), 2u);
  EXPECT_EQ(Stream.BitsLeft(), 4);

  Fill(Stream, {0x78, 0x56, 0x34, 0x12, 0x80, 0xFF});
  EXPECT_EQ(Stream.GetUI32(), 0x12345678u);
  int8_t Signed = 0;
  EXPECT_TRUE(Stream.ReadSI8(Signed));
  EXPECT_EQ(Signed, -128);
  EXPECT_EQ(Stream.GetUI8(), 0xFF);
}

TEST(StreamBits, SignedFields) {
  struct Case {
    Bytes Data;
    uint8_t Bits;
    int32_t Value;
    uint32_t Position;
    uint8_t BitsLeft;
  };
  const Case Cases[] = {
      {{0x80}, 1, -1, 0, 7},
      {{0x00}, 1, 0, 0, 7},
      {{0xFF}, 0, 0, 0, 8},
      {{0x70}, 4, 7, 0, 4},
      {{0x80}, 4, -8, 0, 4},
      {{0xE0}, 3, -1, 0, 5},
      {{0x80, 0x00}, 16, -32768, 2, 8},
      {{0x80, 0, 0, 0}, 32, INT32_MIN, 4, 8},
      {{0x7F, 0xFF, 0xFF, 0xFF}, 32, INT32_MAX, 4, 8},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(::testing::Message() << int(C.Bits) << " bits -> " << C.Value);
    tSWFStream Stream;
    Fill(Stream, C.Data);
    int32_t Value = 42;
    EXPECT_TRUE(Stream.ReadSB(Value, C.Bits));
    EXPECT_EQ(Value, C.Value);
    EXPECT_EQ(Stream.Position(), C.Position);
    EXPECT_EQ(Stream.BitsLeft(), C.BitsLeft);
  }
}

TEST(StreamBits, WritesFieldsAndAlignClosesTheByte) {
  tSWFStream Stream;
  EXPECT_TRUE(Stream.WriteUB(5, 3));
  EXPECT_TRUE(Stream.WriteUB(1, 1));
  Stream.AlignByte();
  EXPECT_EQ(Content(Stream), Bytes({0xB0}));
  EXPECT_EQ(Stream.Position(), 1u);
  EXPECT_EQ(Stream.BitsLeft(), 8);

  // A field at an odd offset keeps the other bits of the bytes it touches.
  Fill(Stream, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  Stream.SetBitsLeft(5);
  EXPECT_TRUE(Stream.WriteUB(0, 32));
  EXPECT_EQ(Content(Stream), Bytes({0xE0, 0x00, 0x00, 0x00, 0x1F}));
  EXPECT_EQ(Stream.Position(), 4u);
  EXPECT_EQ(Stream.BitsLeft(), 5);

  // Signed, 16/32-bit and 8.8 writers read back through the readers.
  Stream.Reset();
  EXPECT_TRUE(Stream.WriteUB(3, 2));
  EXPECT_TRUE(Stream.WriteSB(-300, 11));
  EXPECT_TRUE(Stream.WriteUI16(0xBEEF));
  EXPECT_TRUE(Stream.WriteUI32(0xDEADBEEF));
  EXPECT_TRUE(Stream.WriteSI8(-2));
  EXPECT_TRUE(Stream.WriteFixed8(24.5f));
  Stream.AlignByte();
  Stream.SetPosition(0);
  Stream.SetBitsLeft(8);
  EXPECT_EQ(Stream.GetUB(2), 3u);
  EXPECT_EQ(Stream.GetSB(11), -300);
  EXPECT_EQ(Stream.GetUI16(), 0xBEEF);
  EXPECT_EQ(Stream.GetUI32(), 0xDEADBEEFu);
  EXPECT_EQ(Stream.GetSB(8), -2);
  EXPECT_FLOAT_EQ(Stream.GetFixed8(), 24.5f);
  EXPECT_TRUE(Stream.IsOk());
}

TEST(StreamBits, FixedPointBytes) {
  struct Case {
    float Value;
    Bytes Data;
  };
  const Case Cases[] = {{12.0f, {0x00, 0x0C}},
                        {24.5f, {0x80, 0x18}},
                        {0.25f, {0x40, 0x00}},
                        {127.99609375f, {0xFF, 0x7F}}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Value);
    tSWFStream Stream;
    EXPECT_TRUE(Stream.WriteFixed8(C.Value));
    EXPECT_EQ(Content(Stream), C.Data);
    Stream.SetPosition(0);
    EXPECT_FLOAT_EQ(Stream.GetFixed8(), C.Value);
  }
  tSWFStream Stream;
  Fill(Stream, {0x80, 0xFF});
  EXPECT_FLOAT_EQ(Stream.GetFixed8(), -0.5f);
}

TEST(StreamShortfall, FailedReadsCountMissingBytes) {
  tSWFStream Stream;
  Fill(Stream, {0x12, 0x34, 0x56});
  Stream.SetPosition(2);
  uint32_t Value = 7;
  EXPECT_FALSE(Stream.ReadUB(Value, 16));
  EXPECT_EQ(Value, 0u);
  EXPECT_EQ(Stream.Position(), 3u);
  EXPECT_EQ(Stream.BitsLeft(), 8);
  EXPECT_EQ(Stream.Remaining(), -1);
  EXPECT_FALSE(Stream.IsOk());

  // Failures add up until the cursor next moves to a valid place.
  EXPECT_EQ(Stream.GetUI32(), 0u);
  EXPECT_EQ(Stream.Remaining(), -5);
  Stream.SetPosition(Stream.Position());  // same place: nothing changes
  EXPECT_EQ(Stream.Remaining(), -5);
  Stream.SetPosition(0);
  EXPECT_TRUE(Stream.IsOk());
  EXPECT_EQ(Stream.Remaining(), 3);

  Stream.SetPosition(3 + 10);
  EXPECT_EQ(Stream.Position(), 3u);
  EXPECT_EQ(Stream.Remaining(), -10);
  Stream.ClearShortfall();
  EXPECT_TRUE(Stream.IsOk());
}

TEST(StreamShortfall, FunctionFormsAnswerZeroAndOutParamsStay) {
  tSWFStream Empty;
  EXPECT_EQ(Empty.GetUI16(), 0);
  EXPECT_EQ(Empty.Remaining(), -2);
  EXPECT_EQ(Empty.Position(), 0u);
  EXPECT_EQ(Empty.BitsLeft(), 8);

  tSWFStream Stream;
  Fill(Stream, {0xFF});
  Stream.SetPosition(1);
  uint16_t U16 = 5;
  int32_t S = 6;
  bool Flag = true;
  float Fixed = 1.5f;
  EXPECT_FALSE(Stream.ReadUI16(U16));
  EXPECT_FALSE(Stream.ReadSB(S, 3));
  EXPECT_FALSE(Stream.ReadFlag(Flag));
  EXPECT_FALSE(Stream.ReadFixed8(Fixed));  // the second byte is not attempted
  EXPECT_EQ(U16, 5);
  EXPECT_EQ(S, 6);
  EXPECT_TRUE(Flag);
  EXPECT_FLOAT_EQ(Fixed, 1.5f);
  EXPECT_EQ(Stream.Remaining(), -2 - 1 - 1 - 1);
  EXPECT_EQ(Stream.GetSB(4), 0);
  EXPECT_FLOAT_EQ(Stream.GetFixed8(), 0.0f);
}

TEST(StreamShortfall, ReadBytesPastTheEndCopiesWhatRemains) {
  tSWFStream Stream;
  Fill(Stream, {1, 2, 3});
  Stream.SetPosition(1);
  uint8_t Out[5] = {9, 9, 9, 9, 9};
  EXPECT_FALSE(Stream.ReadBytes(Out, 5));
  EXPECT_EQ(Out[0], 2);
  EXPECT_EQ(Out[1], 3);
  EXPECT_EQ(Out[2], 9);
  EXPECT_EQ(Stream.Position(), 3u);
  EXPECT_EQ(Stream.Remaining(), -3);
  EXPECT_TRUE(Stream.ReadBytes(Out, 0));
}

TEST(StreamShortfall, HugeOvershootSaturatesInsteadOfWrapping) {
  tSWFStream Stream;
  Fill(Stream, {1});
  Stream.SetPosition(UINT32_MAX);
  Stream.SetPosition(UINT32_MAX - 1);
  EXPECT_EQ(Stream.Remaining(), INT32_MIN);
  EXPECT_FALSE(Stream.IsOk());
}

TEST(StreamSize, GrowthZeroFillsAndShrinkMovesTheCursor) {
  tSWFStream Stream;
  Fill(Stream, {7, 7, 7, 7});
  Stream.SetPosition(4);
  Stream.SetSize(2);
  EXPECT_EQ(Stream.Position(), 2u);
  Stream.SetSize(6);
  EXPECT_EQ(Content(Stream), Bytes({7, 7, 0, 0, 0, 0}));
  EXPECT_TRUE(Stream.TrySetSize(6));
  Stream.SetSize(0);
  EXPECT_EQ(Stream.Size(), 0u);
  EXPECT_EQ(Stream.Buffer(), nullptr);
  EXPECT_EQ(Stream.Capacity(), 0u);

  // Bytes exposed again by growth after a shrink are zero, not stale.
  Fill(Stream, {5, 5, 5, 5});
  Stream.SetSize(1);
  Stream.SetSize(4);
  EXPECT_EQ(Content(Stream), Bytes({5, 0, 0, 0}));
}

// Growth is cleared only where nothing writes it at once; stale bytes left
// in the capacity by a shrink must never show.
TEST(StreamSize, GrowthNotWrittenAtOnceStillReadsAsZero) {
  tSWFStream Stream;
  Fill(Stream, {1, 2, 7, 7, 7, 7});
  Stream.SetSize(2);
  Stream.SetPosition(1);
  ASSERT_TRUE(Stream.ShiftTail(3));  // the tail covers only the last new byte
  EXPECT_EQ(Content(Stream), Bytes({1, 2, 0, 0, 2}));

  Fill(Stream, {7, 7, 7, 7});
  Stream.SetSize(1);
  Stream.SetPosition(1);
  ASSERT_TRUE(Stream.WriteUB(1, 1));  // one bit of a new byte
  EXPECT_EQ(Content(Stream), Bytes({7, 0x80}));

  Fill(Stream, {7, 7, 7, 7});
  Stream.SetSize(1);
  Stream.SetPosition(1);
  const uint8_t Two[2] = {8, 9};
  ASSERT_TRUE(Stream.WriteBytes(Two, 2));
  EXPECT_EQ(Content(Stream), Bytes({7, 8, 9}));
  EXPECT_EQ(Stream.Position(), 3u);
  Stream.SetSize(5);
  EXPECT_EQ(Content(Stream), Bytes({7, 8, 9, 0, 0}));
}

TEST(StreamSize, WritingFieldByFieldGrowsGeometrically) {
  tSWFStream Stream;
  uint32_t Reallocations = 0;
  uint32_t LastCapacity = 0;
  for (uint32_t Index = 0; Index < 1000000; ++Index) {
    ASSERT_TRUE(Stream.WriteUI8(uint8_t(Index)));
    if (Stream.Capacity() != LastCapacity) {
      ++Reallocations;
      LastCapacity = Stream.Capacity();
    }
  }
  EXPECT_EQ(Stream.Size(), 1000000u);
  EXPECT_LE(Reallocations, 20u);
  EXPECT_LE(Stream.Capacity(), 2u * Stream.Size());
}

TEST(StreamView, NeverGrowsAndNeverFrees) {
  uint8_t Memory[4] = {1, 2, 3, 4};
  {
    tSWFStream View;
    EXPECT_TRUE(View.AttachBuffer(Memory, 2));
    EXPECT_FALSE(View.OwnsBuffer());
    EXPECT_EQ(View.Size(), 2u);
    EXPECT_EQ(View.Capacity(), 0u);

    const uint8_t Three[3] = {9, 9, 9};
    EXPECT_FALSE(View.WriteBytes(Three, 3));
    EXPECT_EQ(View.Position(), 0u);
    EXPECT_EQ(View.Remaining(), -3);
    EXPECT_EQ(Memory[0], 1);
    EXPECT_EQ(Memory[2], 3);

    View.SetPosition(1);
    View.SetBitsLeft(4);
    EXPECT_FALSE(View.WriteUB(0xFFF, 12));  // needs 2 bytes, 1 left
    EXPECT_EQ(View.Position(), 1u);
    EXPECT_EQ(View.BitsLeft(), 4);
    EXPECT_EQ(View.Remaining(), -2);
    EXPECT_EQ(Memory[1], 2);

    EXPECT_TRUE(View.WriteUB(0xF, 4));  // inside the view: allowed
    EXPECT_EQ(Memory[1], 0x0F);

    View.SetSize(10);
    EXPECT_FALSE(View.TrySetSize(10));
    EXPECT_EQ(View.Size(), 2u);
    View.SetPosition(0);
    EXPECT_FALSE(View.ShiftTail(1));
    EXPECT_FALSE(View.DeleteBytes(1));
    EXPECT_EQ(View.Size(), 2u);
    EXPECT_EQ(Memory[0], 1);

    View.SetBitsLeft(8);
    View.SetPosition(2);
    View.AlignByte();  // on a boundary: nothing to do
    EXPECT_EQ(View.Size(), 2u);
  }  // destroying the view leaves the memory alone (ASan would catch a free)
  EXPECT_EQ(Memory[3], 4);

  tSWFStream View;
  View.AttachBuffer(Memory, 4);
  View.Reset();
  EXPECT_TRUE(View.OwnsBuffer());
  EXPECT_EQ(View.Size(), 0u);
  EXPECT_TRUE(View.WriteUI8(1));
}

TEST(StreamView, AttachReleasesAnOwnedBuffer) {
  tSWFStream Stream;
  Fill(Stream, {1, 2, 3});
  Stream.SetPosition(3);
  Stream.GetUI8();
  uint8_t Memory[2] = {5, 6};
  Stream.AttachBuffer(Memory, 2);  // LeakSanitizer checks the old buffer went
  EXPECT_EQ(Stream.Position(), 0u);
  EXPECT_EQ(Stream.BitsLeft(), 8);
  EXPECT_TRUE(Stream.IsOk());
  EXPECT_EQ(Stream.GetUI16(), 0x0605);
}

TEST(StreamShiftTail, OpensAndClosesGaps) {
  struct Case {
    const char* Name;
    Bytes Data;
    uint32_t Position;
    int64_t Delta;  // DeleteBytes when below INT32_MIN
    Bytes Expected;
    uint32_t PositionAfter;
  };
  const Case Cases[] = {
      {"open two", {1, 2, 3}, 1, 2, {1, 2, 3, 2, 3}, 1},
      {"open at end", {1, 2}, 2, 2, {1, 2, 0, 0}, 2},
      {"remove one", {1, 2, 3}, 1, -1, {1, 3}, 1},
      {"remove all from start", {1, 2, 3}, 0, -3, {}, 0},
      {"remove more than the size", {1, 2, 3}, 1, -4, {}, 0},
      {"remove more than follows", {1, 2, 3}, 1, -3, {1}, 1},
      {"zero", {1, 2}, 1, 0, {1, 2}, 1},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    tSWFStream Stream;
    Fill(Stream, C.Data);
    Stream.SetPosition(C.Position);
    EXPECT_TRUE(Stream.ShiftTail(int32_t(C.Delta)));
    EXPECT_EQ(Content(Stream), C.Expected);
    EXPECT_EQ(Stream.Position(), C.PositionAfter);
    EXPECT_EQ(Stream.Size(), C.Expected.size());
  }
  tSWFStream Stream;
  Fill(Stream, {1, 2, 3});
  EXPECT_TRUE(Stream.DeleteBytes(3));
  EXPECT_EQ(Stream.Size(), 0u);
  Fill(Stream, {1, 2, 3});
  EXPECT_TRUE(Stream.DeleteBytes(UINT32_MAX));
  EXPECT_EQ(Stream.Size(), 0u);
}

TEST(StreamClone, ViewSharesOwningCopies) {
  tSWFStream Owner;
  Fill(Owner, {1, 2, 3, 4});
  Owner.SetPosition(2);
  Owner.SetBitsLeft(3);
  auto Copy = Owner.Clone();
  EXPECT_TRUE(Copy->OwnsBuffer());
  EXPECT_EQ(Copy->Position(), 2u);
  EXPECT_EQ(Copy->BitsLeft(), 3);
  EXPECT_NE(Copy->Buffer(), Owner.Buffer());
  Copy->Buffer()[0] = 9;
  EXPECT_EQ(Owner.Buffer()[0], 1);

  tSWFStream View;
  View.AttachBuffer(Owner.Buffer() + 1, 3);
  View.SetPosition(10);  // shortfall -7 travels with the clone
  auto Shared = View.Clone();
  EXPECT_FALSE(Shared->OwnsBuffer());
  EXPECT_EQ(Shared->Size(), 3u);
  EXPECT_EQ(Shared->Remaining(), -7);
  Shared->SetPosition(0);
  EXPECT_TRUE(Shared->WriteUI8(0x55));
  EXPECT_EQ(Owner.Buffer()[1], 0x55);

  tSWFStream Empty;
  auto EmptyCopy = Empty.Clone();
  EXPECT_EQ(EmptyCopy->Size(), 0u);
  EXPECT_TRUE(EmptyCopy->IsOk());
}

TEST(StreamCopy, CopyToAdvancesOnlyOnSuccess) {
  tSWFStream Source;
  Fill(Source, {1, 2, 3, 4, 5});
  Source.SetPosition(1);
  tSWFStream Target;
  EXPECT_TRUE(Source.CopyTo(Target, 3));
  EXPECT_EQ(Source.Position(), 4u);
  EXPECT_EQ(Content(Target), Bytes({2, 3, 4}));

  // Fewer bytes than asked: what there is gets copied, the answer is false.
  tSWFStream Short;
  EXPECT_FALSE(Source.CopyTo(Short, 3));
  EXPECT_EQ(Content(Short), Bytes({5}));
  EXPECT_EQ(Source.Position(), 4u);

  // A destination that cannot take the bytes: the source stays.
  uint8_t Memory[2] = {0, 0};
  tSWFStream View;
  View.AttachBuffer(Memory, 2);
  Source.SetPosition(0);
  EXPECT_FALSE(Source.CopyTo(View, 3));
  EXPECT_EQ(Source.Position(), 0u);
  EXPECT_EQ(Memory[0], 0);

  tSWFStream Into;
  Into.WriteUI8(0xAA);
  Source.SetPosition(3);
  EXPECT_TRUE(Into.CopyFrom(Source, 2));
  EXPECT_EQ(Content(Into), Bytes({0xAA, 4, 5}));
  EXPECT_EQ(Source.Position(), 5u);
}

TEST(StreamCopy, WritingAStreamsOwnBytesIntoItselfSurvivesGrowth) {
  tSWFStream Stream;
  for (int Index = 0; Index < 64; ++Index) Stream.WriteUI8(uint8_t(Index));
  ASSERT_EQ(Stream.Capacity(), 64u);
  // The source lies in the buffer that must grow (and may move) to take it.
  EXPECT_TRUE(Stream.WriteBytes(Stream.Buffer(), 64));
  ASSERT_EQ(Stream.Size(), 128u);
  for (int Index = 0; Index < 128; ++Index) EXPECT_EQ(Stream.Buffer()[Index], Index % 64);
}

TEST(StreamAlign, SkipsUnreadBitsAndClosesWrittenOnes) {
  tSWFStream Stream;
  Fill(Stream, {0xFF, 0x01});
  Stream.GetUB(3);
  Stream.AlignByte();
  EXPECT_EQ(Stream.Position(), 1u);
  EXPECT_EQ(Stream.GetUI8(), 1);

  // A cursor inside a byte at the very end grows the stream by a zero byte.
  Stream.Reset();
  Stream.WriteUI8(0xFF);
  Stream.SetBitsLeft(4);
  Stream.AlignByte();
  EXPECT_EQ(Content(Stream), Bytes({0xFF, 0x00}));
  EXPECT_EQ(Stream.Position(), 2u);

  Stream.SetBitsLeft(0);
  EXPECT_EQ(Stream.BitsLeft(), 8);
  Stream.SetBitsLeft(9);
  EXPECT_EQ(Stream.BitsLeft(), 8);
}

class StreamFile : public ::testing::Test {
 protected:
  void SetUp() override {
    Folder = std::filesystem::temp_directory_path() /
             ("swf_stream_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(Folder);
  }
  void TearDown() override { std::filesystem::remove_all(Folder); }
  std::string Path(const char* Name) const { return (Folder / Name).string(); }
  std::filesystem::path Folder;
};

TEST_F(StreamFile, SaveAndLoadRoundTrip) {
  tSWFStream Stream;
  Fill(Stream, {1, 2, 3, 4});
  Stream.SetPosition(3);
  ASSERT_TRUE(Stream.SaveToFile(Path("data")));
  EXPECT_EQ(std::filesystem::file_size(Path("data")), 4u);

  tSWFStream Loaded;
  ASSERT_TRUE(Loaded.LoadFromFile(Path("data")));
  EXPECT_EQ(Content(Loaded), Bytes({1, 2, 3, 4}));
  EXPECT_EQ(Loaded.Position(), 0u);
  EXPECT_EQ(Loaded.BitsLeft(), 8);

  // Saving over an existing longer file truncates it.
  Fill(Stream, {7});
  ASSERT_TRUE(Stream.SaveToFile(Path("data")));
  ASSERT_TRUE(Loaded.LoadFromFile(Path("data")));
  EXPECT_EQ(Content(Loaded), Bytes({7}));
}

TEST_F(StreamFile, EmptyFilesAndMissingFiles) {
  tSWFStream Empty;
  ASSERT_TRUE(Empty.SaveToFile(Path("empty")));
  EXPECT_EQ(std::filesystem::file_size(Path("empty")), 0u);

  tSWFStream Stream;
  Fill(Stream, {1, 2});
  ASSERT_TRUE(Stream.LoadFromFile(Path("empty")));
  EXPECT_EQ(Stream.Size(), 0u);

  Fill(Stream, {1, 2});
  Stream.SetPosition(1);
  EXPECT_FALSE(Stream.LoadFromFile(Path("missing")));
  EXPECT_EQ(Content(Stream), Bytes({1, 2}));
  EXPECT_EQ(Stream.Position(), 1u);
  EXPECT_FALSE(Stream.SaveToFile(Path("no/such/folder/file")));
}

TEST_F(StreamFile, LoadingIntoAViewLeavesTheBorrowedMemoryAlone) {
  tSWFStream Stream;
  Fill(Stream, {1, 2, 3});
  ASSERT_TRUE(Stream.SaveToFile(Path("three")));
  uint8_t Memory[3] = {0, 0, 0};
  tSWFStream View;
  View.AttachBuffer(Memory, 3);
  ASSERT_TRUE(View.LoadFromFile(Path("three")));
  EXPECT_TRUE(View.OwnsBuffer());
  EXPECT_EQ(Content(View), Bytes({1, 2, 3}));
  EXPECT_EQ(Memory[0], 0);
}

}  // namespace
