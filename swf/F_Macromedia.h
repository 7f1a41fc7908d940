// SWF-wide constants and pure helpers: tag names, bit widths, lossless sizes.
#pragma once

#include <cstdint>
#include <string>

constexpr int TagNameCount = 65;
extern const char* const TagNames[TagNameCount];  // indexed by tag code 0..64

enum : uint16_t {
  stagEnd = 0,
  stagDefineBits = 6,
  stagJPEGTables = 8,
  stagDefineBitsLossless = 20,
  stagDefineBitsJPEG2 = 21,
  stagDefineBitsJPEG3 = 35,
  stagDefineBitsLossless2 = 36,
  stagExportAssets = 56,
  stagSymbolClass = 76,
  stagDefineBinaryData = 87,
  stagDefineBitsJPEG4 = 90,
};

// Lossless bitmap formats
enum : uint8_t { BitmapColorMapped = 3, BitmapPix15 = 4, BitmapPix32 = 5 };

// No picture of a movie comes near this many pixels (8192 x 8192); a bitmap
// record that declares more is damaged or hostile.
constexpr uint64_t MaxBitmapPixels = uint64_t(1) << 26;
// No movie this program handles comes near this size once expanded (1 GiB).
constexpr uint64_t MaxExpandedMovie = uint64_t(1) << 30;

int32_t Max(int32_t A, int32_t B);     // the larger; B when equal
int32_t MaxAbs(int32_t A, int32_t B);  // Max of the absolute values
uint8_t SignedBitCount(int32_t Value, bool Signed);
int32_t LosslessDataSize(uint8_t Format, uint32_t Width, int32_t Height, uint8_t HasAlpha,
                         uint8_t ColorTableSize);
