#include <gtest/gtest.h>

#include <climits>

#include "swf/F_Macromedia.h"

namespace {

TEST(Macromedia, LosslessDataSize) {
  struct Case {
    uint8_t Format;
    uint32_t Width;
    int32_t Height;
    uint8_t HasAlpha;
    uint8_t ColorTableSize;
    int32_t Size;
  };
  const Case Cases[] = {
      {3, 10, 3, 0, 255, 12 * 3 + 3 * 256},
      {3, 10, 3, 1, 0, 12 * 3 + 4},
      {3, 10, 3, 2, 0, 12 * 3 + 3},  // only exactly 1 means alpha
      {3, 5, 2, 0, 1, 2 * 3 + 2 * 8},
      {3, 5, 2, 1, 1, 2 * 4 + 2 * 8},
      {4, 7, 1, 0, 0, 16},
      {4, 5, 3, 1, 0, 36},
      {5, 5, 2, 1, 0, 40},
      {5, 5, 2, 0, 0, 64},
      {5, 5, 3, 0, 0, 96},
      {5, 5, 3, 1, 0, 60},
      {7, 5, 3, 0, 0, 15},
      {5, 0, 3, 0, 0, 0},
      // Hostile sizes saturate instead of wrapping to a small number.
      {5, 62525, 17173, 1, 0, INT32_MAX},
      {5, 65535, 65535, 0, 0, INT32_MAX},
      {3, 65535, 65535, 1, 255, INT32_MAX},
      {5, 1, -1, 1, 0, 0},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(LosslessDataSize(C.Format, C.Width, C.Height, C.HasAlpha, C.ColorTableSize), C.Size)
        << int(C.Format) << " " << C.Width << "x" << C.Height << " alpha " << int(C.HasAlpha);
  }
}

TEST(Macromedia, SignedBitCount) {
  struct Case {
    int32_t Value;
    bool Signed;
    uint8_t Bits;
  };
  const Case Cases[] = {
      {0, true, 0},        {0, false, 0},          {5, false, 3},         {5, true, 4},
      {-5, true, 4},       {-1, true, 1},          {1, true, 2},          {1, false, 1},
      {1 << 30, true, 32}, {INT32_MIN, false, 32}, {INT32_MAX, true, 32}, {-8, true, 4},
      {11000, true, 15},   {INT32_MIN, true, 32},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(SignedBitCount(C.Value, C.Signed), C.Bits) << C.Value << (C.Signed ? " signed" : "");
  }
}

TEST(Macromedia, MaxAndMaxAbs) {
  EXPECT_EQ(MaxAbs(-7, 3), 7);
  EXPECT_EQ(MaxAbs(2, -3), 3);
  EXPECT_EQ(MaxAbs(INT32_MIN, 0), INT32_MAX);
  EXPECT_EQ(Max(-1, -2), -1);
  EXPECT_EQ(Max(4, 4), 4);
}

TEST(Macromedia, TagNames) {
  EXPECT_STREQ(TagNames[stagEnd], "stagEnd");
  EXPECT_STREQ(TagNames[stagDefineBits], "stagDefineBits");
  EXPECT_STREQ(TagNames[stagJPEGTables], "stagJPEGTables");
  EXPECT_STREQ(TagNames[stagDefineBitsLossless], "stagDefineBitsLossless");
  EXPECT_STREQ(TagNames[stagDefineBitsJPEG2], "stagDefineBitsJPEG2");
  EXPECT_STREQ(TagNames[stagDefineBitsJPEG3], "stagDefineBitsJPEG3");
  EXPECT_STREQ(TagNames[stagDefineBitsLossless2], "stagDefineBitsLossless2");
  EXPECT_STREQ(TagNames[45], "stagSoundStreamHead2");
  EXPECT_STREQ(TagNames[64], "stagEnableDebugger2");
  int Unnamed = 0;
  for (int Code = 0; Code < TagNameCount; ++Code) Unnamed += TagNames[Code][0] == 0;
  EXPECT_EQ(Unnamed, 8);  // 16, 27, 30, 44, 53, 54, 55, 63
  EXPECT_STREQ(TagNames[53], "");
}

}  // namespace
