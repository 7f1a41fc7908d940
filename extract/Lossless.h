// Lossless pixels to BMP: the inflated pixel data of DefineBitsLossless and
// DefineBitsLossless2 records become bottom-up Windows BMP files, and for the
// latter a separate alpha plane, one byte per pixel, bottom row first.
//
// Pixel data shorter than the picture's layout, a header that does not
// describe a known layout, or a width or height of 0 yields no picture at
// all: the target stays as it was and the alpha plane empty, rather than a
// picture the data cannot justify.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "extract/PictureList.h"
#include "swf/D_Storages.h"

class TLosslessConverter {
 public:
  TLosslessConverter();

  // The BMP header of a picture of this size and record format: 54 bytes
  // (file header and 40-byte information header, the file size left 0) for
  // formats 3, 4 and 5; for any other format the pixel offset and the bit
  // count are left out (48 bytes), which no converter takes.
  static std::vector<uint8_t> BMPHeader(uint16_t Width, uint16_t Height, uint8_t Format);

  // Each converter appends one complete BMP file to Target (an empty owning
  // Target takes the storage over), made of Header (from BMPHeader, for the
  // record's own format) and Pixels, the record's inflated pixel data.
  void ColorMappedToBMP(TBlock Pixels, const std::vector<uint8_t>& Header, uint16_t Width,
                        uint16_t Height, uint8_t LastIndex, tSWFStream& Target, bool WithAlpha);
  void PIX15ToBMP(TBlock Pixels, const std::vector<uint8_t>& Header, uint16_t Width,
                  uint16_t Height, tSWFStream& Target);
  void ARGBToBMP(TBlock Pixels, const std::vector<uint8_t>& Header, uint16_t Width,
                 uint16_t Height, bool WithAlpha, tSWFStream& Target);

  // Alpha plane of the last conversion with alpha (one byte per pixel, bottom
  // row first); empty when it gave no picture.
  tSWFStream& ConverterAlpha() { return *FConverterAlpha; }
  void DropConverterAlpha() { FConverterAlpha = std::make_unique<tSWFStream>(); }

  // 256 entries of blue, green, red, alpha: the last colour-mapped picture
  // with alpha's palette.
  uint8_t PaletteTable[256][4] = {};
  void ResetPaletteAlpha();  // every alpha byte := 255

 private:
  std::unique_ptr<tSWFStream> FConverterAlpha;
};
