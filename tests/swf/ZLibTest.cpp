#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <string>

#include "SwfTestUtil.h"
#include "swf/D_ZLib2SWF.h"

namespace {

const std::string Text =
    "The quick brown fox jumps over the lazy dog, and then it runs far away from the "
    "barn at noon, today.";  // 100 bytes

Bytes Zipped(const Bytes& Plain) {
  uLongf Length = compressBound(uLong(Plain.size()));
  Bytes Out(Length);
  EXPECT_EQ(compress2(Out.data(), &Length, Plain.data(), uLong(Plain.size()), 9), Z_OK);
  Out.resize(Length);
  return Out;
}

// A stream of Head + Region + Tail, positioned at the region.
void Layout(tSWFStream& Stream, const Bytes& Head, const Bytes& Region, const Bytes& Tail) {
  Bytes All = Head;
  All.insert(All.end(), Region.begin(), Region.end());
  All.insert(All.end(), Tail.begin(), Tail.end());
  Fill(Stream, All);
  Stream.SetPosition(uint32_t(Head.size()));
}

TEST(ZLibBridge, InflateCutsOrZeroFillsToTheExpectedSize) {
  ASSERT_EQ(Text.size(), 100u);
  const Bytes Plain(Text.begin(), Text.end());
  const Bytes Head = {0xA1, 0xA2}, Tail = {0xB1, 0xB2, 0xB3};
  struct Case {
    uint32_t Expected;
    Bytes Result;
  };
  Bytes Padded = Plain;
  Padded.resize(120, 0);
  const Case Cases[] = {
      {100, Plain},
      {60, Bytes(Plain.begin(), Plain.begin() + 60)},
      {120, Padded},
      {0, {}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Expected);
    tSWFStream Stream;
    Bytes Region = Zipped(Plain);
    Layout(Stream, Head, Region, Tail);
    ASSERT_TRUE(DecompressInPlace(Stream, int32_t(Region.size()), C.Expected));
    Bytes Expected = Head;
    Expected.insert(Expected.end(), C.Result.begin(), C.Result.end());
    Expected.insert(Expected.end(), Tail.begin(), Tail.end());
    EXPECT_EQ(Content(Stream), Expected);
    EXPECT_EQ(Stream.Position(), Head.size());
    EXPECT_TRUE(Stream.IsOk());
  }
}

// The inflated region replaces the old one in new storage: the stream still
// owns it, keeps its cursor and bit offset, and goes on growing normally.
TEST(ZLibBridge, InflatedStreamKeepsItsStateAndStaysWritable) {
  const Bytes Plain(Text.begin(), Text.end());
  Bytes Region = Zipped(Plain);
  tSWFStream Stream;
  Layout(Stream, {0xA1}, Region, {0xB1});
  Stream.SetBitsLeft(5);
  ASSERT_TRUE(DecompressInPlace(Stream, int32_t(Region.size()), 100));
  EXPECT_TRUE(Stream.OwnsBuffer());
  EXPECT_EQ(Stream.Size(), 102u);
  EXPECT_EQ(Stream.Position(), 1u);
  EXPECT_EQ(Stream.BitsLeft(), 5);
  EXPECT_TRUE(Stream.IsOk());
  Stream.SetBitsLeft(8);
  Stream.SetPosition(Stream.Size());
  const uint8_t More[2] = {0xC1, 0xC2};
  ASSERT_TRUE(Stream.WriteBytes(More, 2));
  Bytes Expected = {0xA1};
  Expected.insert(Expected.end(), Plain.begin(), Plain.end());
  Expected.insert(Expected.end(), {0xB1, 0xC1, 0xC2});
  EXPECT_EQ(Content(Stream), Expected);

  // The whole stream inflated to nothing leaves it empty and owning.
  Layout(Stream, {}, Region, {});
  ASSERT_TRUE(DecompressInPlace(Stream, int32_t(Region.size()), 0));
  EXPECT_EQ(Stream.Size(), 0u);
  EXPECT_EQ(Stream.Buffer(), nullptr);
  EXPECT_TRUE(Stream.OwnsBuffer());
  EXPECT_TRUE(Stream.IsOk());
}

TEST(ZLibBridge, DamagedDataIsTolerated) {
  const Bytes Plain(Text.begin(), Text.end());
  struct Case {
    const char* Name;
    Bytes Region;
    uint32_t Expected;
    size_t GoodPrefix;  // bytes that must match the text
  };
  Bytes Cut = Zipped(Plain);
  Cut.resize(Cut.size() / 2);
  Bytes Corrupt = Zipped(Plain);
  Corrupt.back() ^= 0xFF;  // bad checksum: all data is there
  const Case Cases[] = {
      {"not zlib", {1, 2, 3, 4, 5}, 10, 0},
      {"cut stream", Cut, 100, 0},
      {"bad checksum", Corrupt, 100, 100},
      {"single byte", {0x78}, 8, 0},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    tSWFStream Stream;
    Layout(Stream, {}, C.Region, {0xEE});
    ASSERT_TRUE(DecompressInPlace(Stream, int32_t(C.Region.size()), C.Expected));
    ASSERT_EQ(Stream.Size(), C.Expected + 1);
    EXPECT_EQ(Stream.Buffer()[C.Expected], 0xEE);
    EXPECT_TRUE(std::equal(Plain.begin(), Plain.begin() + C.GoodPrefix, Stream.Buffer()));
    if (C.GoodPrefix == 0 && std::string(C.Name) != "cut stream") {
      for (uint32_t Index = 0; Index < C.Expected; ++Index) EXPECT_EQ(Stream.Buffer()[Index], 0);
    }
  }
}

TEST(ZLibBridge, HostileExpectedSizesFailCleanlyAndQuickly) {
  struct Case {
    uint32_t Count;
    uint32_t Expected;
  };
  const Case Cases[] = {
      {5, 0xFFFFFFFF},            // a movie declaring 4 GiB
      {5, 1u << 31},              // far beyond what 5 bytes can hold
      {5, 5 * 1032 + 1025},       // just past what deflate could expand to
      {2000000, (1u << 30) + 1},  // past the ceiling although the ratio allows it
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Expected);
    tSWFStream Stream;
    Bytes Data(C.Count, 0x78);
    Fill(Stream, Data);
    auto Start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DecompressInPlace(Stream, int32_t(C.Count), C.Expected));
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(2));
    EXPECT_EQ(Stream.Size(), C.Count);
    EXPECT_EQ(Stream.Position(), 0u);
    EXPECT_EQ(Content(Stream), Data);
  }
  // The largest size the rule allows for a few bytes still works.
  tSWFStream Stream;
  Fill(Stream, {1, 2, 3, 4, 5});
  EXPECT_TRUE(DecompressInPlace(Stream, 5, 5 * 1032 + 1024));
  EXPECT_EQ(Stream.Size(), 5u * 1032 + 1024);
}

TEST(ZLibBridge, CompressThenInflateRestoresTheRegion) {
  Bytes Region;
  for (int Index = 0; Index < 5000; ++Index) Region.push_back(uint8_t(Index % 7 * 31));
  const Bytes Head = {1, 2, 3}, Tail = {4, 5};
  tSWFStream Stream;
  Layout(Stream, Head, Region, Tail);
  ASSERT_TRUE(CompressInPlace(Stream, int32_t(Region.size())));
  EXPECT_EQ(Stream.Position(), Head.size());
  uint32_t Packed = Stream.Size() - uint32_t(Head.size() + Tail.size());
  EXPECT_LT(Packed, Region.size());
  EXPECT_EQ(Stream.Buffer()[Head.size()], 0x78);  // a zlib header
  EXPECT_EQ(Stream.Buffer()[Stream.Size() - 1], 5);

  ASSERT_TRUE(DecompressInPlace(Stream, int32_t(Packed), uint32_t(Region.size())));
  EXPECT_EQ(Stream.Position(), Head.size());
  Bytes Expected = Head;
  Expected.insert(Expected.end(), Region.begin(), Region.end());
  Expected.insert(Expected.end(), Tail.begin(), Tail.end());
  EXPECT_EQ(Content(Stream), Expected);
}

TEST(ZLibBridge, IncompressibleDataGrowsTheRegion) {
  Bytes Noise(100000);
  uint32_t Seed = 7;
  for (auto& Byte : Noise) Byte = uint8_t((Seed = Seed * 1664525u + 1013904223u) >> 24);
  tSWFStream Stream;
  Layout(Stream, {}, Noise, {});
  ASSERT_TRUE(CompressInPlace(Stream, int32_t(Noise.size())));
  EXPECT_GT(Stream.Size(), Noise.size());
  ASSERT_TRUE(DecompressInPlace(Stream, int32_t(Stream.Size()), uint32_t(Noise.size())));
  EXPECT_EQ(Content(Stream), Noise);
}

TEST(ZLibBridge, CountsAreCutAndZeroChangesNothing) {
  const Bytes Plain(Text.begin(), Text.end());
  Bytes Region = Zipped(Plain);
  tSWFStream Stream;
  Layout(Stream, {9}, Region, {});
  EXPECT_TRUE(DecompressInPlace(Stream, 1000000, 100));
  EXPECT_EQ(Stream.Size(), 101u);

  Layout(Stream, {9}, Region, {});
  EXPECT_TRUE(DecompressInPlace(Stream, 0, 100));
  EXPECT_TRUE(CompressInPlace(Stream, 0));
  EXPECT_EQ(Stream.Size(), Region.size() + 1);

  Stream.SetPosition(Stream.Size());  // nothing follows the position
  EXPECT_TRUE(DecompressInPlace(Stream, 10, 100));
  EXPECT_EQ(Stream.Size(), Region.size() + 1);

  Stream.SetPosition(1);
  EXPECT_FALSE(DecompressInPlace(Stream, -1, 100));
  EXPECT_FALSE(CompressInPlace(Stream, -1));
  EXPECT_EQ(Stream.Size(), Region.size() + 1);
}

TEST(ZLibBridge, AViewCannotTakeALargerRegion) {
  const Bytes Plain(Text.begin(), Text.end());
  Bytes Region = Zipped(Plain);
  ASSERT_LT(Region.size(), Plain.size());
  tSWFStream View;
  View.AttachBuffer(Region.data(), uint32_t(Region.size()));
  Bytes Before = Region;
  EXPECT_FALSE(DecompressInPlace(View, int32_t(Region.size()), 100));
  EXPECT_EQ(Region, Before);
  EXPECT_EQ(View.Size(), Region.size());

  // Same size: it fits in place.
  EXPECT_TRUE(DecompressInPlace(View, int32_t(Region.size()), uint32_t(Region.size())));
  EXPECT_TRUE(std::equal(Region.begin(), Region.end(), Plain.begin()));
}

TEST(ZLibBridge, LooksLikeZlib) {
  const Bytes Plain(Text.begin(), Text.end());
  Bytes Good = Zipped(Plain);
  Bytes Cut(Good.begin(), Good.begin() + Good.size() / 2);
  struct Case {
    const char* Name;
    Bytes Data;
    bool Answer;
  };
  const Case Cases[] = {
      {"zlib", Good, true},
      {"cut zlib", Cut, true},
      {"valid header only", {0x78, 0x9C}, false},
      {"RECT-like bytes", {0x78, 0x00, 0x05, 0x5F, 0x00}, false},
      {"noise", {0x12, 0x34, 0x56, 0x78}, false},
      {"too short", {0x78}, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    tSWFStream Stream;
    Layout(Stream, {0}, C.Data, {});
    EXPECT_EQ(LooksLikeZlib(Stream, int32_t(C.Data.size())), C.Answer);
    EXPECT_EQ(Stream.Position(), 1u);
  }
}

}  // namespace
