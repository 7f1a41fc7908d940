#include "swf/F_Macromedia.h"

#include <climits>

const char* const TagNames[TagNameCount] = {
    "stagEnd",
    "stagShowFrame",
    "stagDefineShape",
    "stagFreeCharacter",
    "stagPlaceObject",
    "stagRemoveObject",
    "stagDefineBits",
    "stagDefineButton",
    "stagJPEGTables",
    "stagSetBackgroundColor",
    "stagDefineFont",
    "stagDefineText",
    "stagDoAction",
    "stagDefineFontInfo",
    "stagDefineSound",
    "stagStartSound",
    "",
    "stagDefineButtonSound",
    "stagSoundStreamHead",
    "stagSoundStreamBlock",
    "stagDefineBitsLossless",
    "stagDefineBitsJPEG2",
    "stagDefineShape2",
    "stagDefineButtonCxform",
    "stagProtect",
    "stagPathsArePostScript",
    "stagPlaceObject2",
    "",
    "stagRemoveObject2",
    "stagSyncFrame",
    "",
    "stagFreeAll",
    "stagDefineShape3",
    "stagDefineText2",
    "stagDefineButton2",
    "stagDefineBitsJPEG3",
    "stagDefineBitsLossless2",
    "stagDefineEditText",
    "stagDefineVideo",
    "stagDefineSprite",
    "stagNameCharacter",
    "stagSerialNumber",
    "stagDefineTextFormat",
    "stagFrameLabel",
    "",
    "stagSoundStreamHead2",
    "stagDefineMorphShape",
    "stagFrameTag",
    "stagDefineFont2",
    "stagGenCommand",
    "stagDefineCommandObj",
    "stagCharacterSet",
    "stagFontRef",
    "",
    "",
    "",
    "stagExportAssets",
    "stagImportAssets",
    "stagEnableDebugger",
    "stagDoInitActions",
    "stagDefineVideoStream",
    "stagVideoFrame",
    "stagDefineFontInfo2",
    "",
    "stagEnableDebugger2",
};

int32_t Max(int32_t A, int32_t B) {
  return A > B ? A : B;
}

// |INT32_MIN| does not fit; it counts as INT32_MAX rather than wrapping negative.
int32_t MaxAbs(int32_t A, int32_t B) {
  auto Abs = [](int32_t V) { return V == INT32_MIN ? INT32_MAX : (V < 0 ? -V : V); };
  return Max(Abs(A), Abs(B));
}

uint8_t SignedBitCount(int32_t Value, bool Signed) {
  if (Value == 0) return 0;
  // In signed mode the bits that matter are those differing from the sign bit.
  uint32_t Bits = uint32_t(Value);
  if (Signed && Value < 0) Bits = ~Bits;
  uint8_t Count = 0;
  while (Bits) {
    ++Count;
    Bits >>= 1;
  }
  return Signed ? Count + 1 : Count;
}

// Computed wide and saturated: a hostile width and height must give a huge
// size that the inflater refuses, never a small wrapped one.
int32_t LosslessDataSize(uint8_t Format, uint32_t Width, int32_t Height, uint8_t HasAlpha,
                         uint8_t ColorTableSize) {
  int64_t Padded = Width;
  if (Format == BitmapColorMapped || (Format == BitmapPix32 && HasAlpha == 0)) {
    Padded = (Padded + 3) / 4 * 4;
  } else if (Format == BitmapPix15) {
    Padded = (Padded + 1) / 2 * 2;
  }
  int64_t Pixels = Padded * int64_t(Height);
  int64_t Result = Pixels;
  if (Format == BitmapColorMapped) {
    Result = Pixels + int64_t(HasAlpha == 1 ? 4 : 3) * (int64_t(ColorTableSize) + 1);
  } else if (Format == BitmapPix15) {
    Result = Pixels * 2;
  } else if (Format == BitmapPix32) {
    Result = Pixels * 4;
  }
  if (Result > INT32_MAX) return INT32_MAX;
  if (Result < 0) return 0;
  return int32_t(Result);
}
