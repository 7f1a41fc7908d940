// JPEG decoding through libjpeg into 24-bit RGB rows, bounded by the bytes a
// picture really holds: decoding stops where the data runs out, and nothing
// is made up for the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/Image.h"

// A JPEG as decoded: RGB24 rows at the scale asked for, of which the top
// RealRows hold real data (the rest were not in the data: their bytes are
// undefined), and the picture's own size.
struct TDecodedJPEG {
  TImage Image;
  int32_t Width = 0;  // the picture's size as its header declares it
  int32_t Height = 0;
  int32_t RealRows = 0;
};

// The picture's size from its header alone; false with Failure set for data
// the decoder rejects, a size past the program's limit, or a multi-scan
// picture whose data is far too short for its size.
bool ReadJPEGSize(const uint8_t* Data, size_t Size, int32_t& Width, int32_t& Height,
                  std::string& Failure);

// Decodes a JPEG (any colour space libjpeg accepts, grayscale and CMYK
// included) into RGB24, at full size or, for MinSide > 0, at the smallest
// scale of 1/8 to 8/8 whose longer side is at least MinSide. Decoding stops
// where the data runs out. False with Failure set when not even one row
// could be decoded.
bool DecodeJPEGImage(const uint8_t* Data, size_t Size, int32_t MinSide, TDecodedJPEG& Out,
                     std::string& Failure);
