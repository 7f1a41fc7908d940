// Decoding: the one way from a picture of the list to its pixels. A picture
// gives its colour, decoded no larger than the caller needs (JPEGs through
// libjpeg's DCT scaling, BMPs averaged down), only as far as its data go, and
// its alpha plane where it has one. Thumbnails, the preview, Copy and the PNG
// files all start here; the render layer only scales and paints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "extract/Image.h"
#include "extract/PictureList.h"

// Flash keeps the colour of its pictures with alpha multiplied by the alpha;
// PNG files and screens take colour straight. Row A of the table gives the
// straight value of every stored channel value C under alpha A: 0 for A = 0,
// C for A = 255, otherwise min(255, (C x 255 + A / 2) / A), which also clamps
// a channel above its alpha, as the player does.
using TStraightTable = uint8_t[256][256];
const TStraightTable& StraightTable();

// The alpha of a picture: one byte per pixel of the picture's own size, rows
// from the top or (BottomUp) from the bottom row, each row left to right.
// Pixels past its end take PastEnd.
struct TAlphaPlane {
  bool Present = false;
  bool Premultiplied = false;  // the colour is stored multiplied by it
  TBlock Bytes;                // a view of the stores, or of Owned
  std::vector<uint8_t> Owned;  // an inflated plane (a move keeps Bytes valid)
  bool BottomUp = false;
  uint8_t PastEnd = 255;
  // The alpha of pixel (X, Y) of a picture of Width x Height.
  uint8_t At(int64_t X, int64_t Y, int32_t Width, int32_t Height) const {
    const int64_t Row = BottomUp ? Height - 1 - Y : Y;
    const uint64_t Index = uint64_t(Row * Width + X);
    return Index < Bytes.Size ? Bytes.Data[Index] : PastEnd;
  }
};

// A picture's pixels: Colour (top row first) at the picture's own size or
// smaller, of which the top RealRows rows hold real data (a cut picture's
// rest is not in its data), and its alpha at the picture's own size.
struct TPicturePixels {
  TImage Colour;
  TAlphaPlane Alpha;
  int32_t Width = 0;  // the picture's own size
  int32_t Height = 0;
  int32_t RealRows = 0;

  // The picture's pixel that pixel (x, y) of Colour stands for.
  int64_t SourceX(int32_t x) const {
    return Colour.Width() == Width ? x : int64_t(x) * Width / Colour.Width();
  }
  int64_t SourceY(int32_t y) const {
    return Colour.Height() == Height ? y : int64_t(y) * Height / Colour.Height();
  }
  // The alpha of pixel (x, y) of Colour; 255 without a plane.
  uint8_t AlphaAt(int32_t x, int32_t y) const {
    return Alpha.Present ? Alpha.At(SourceX(x), SourceY(y), Width, Height) : 255;
  }
};

// What the pixels are for. A file is made only from what its data really
// hold: its JPEG header is checked and its alpha plane inflated before the
// picture is decoded, and alpha data that is not zlib fails it. On screen,
// alpha data that is not zlib is shown as the bytes it holds.
enum TDecodeUse : uint8_t { duScreen, duFile };

// Picture Number's pixels, at full size for MinSide 0, else at the smallest
// scale whose longer side still reaches MinSide. False with Failure set when
// nothing can be shown, and for a PNG or GIF file a record stores whole,
// which only the render layer decodes.
bool DecodePicture(const TPictureList& Pictures, int32_t Number, int32_t MinSide, TDecodeUse Use,
                   TPicturePixels& Out, std::string& Failure);

// The same on bytes: a JPEG with, for a JPEG3/4 picture, its zlib alpha data
// (top row first); one of the program's BMPs with its plain plane (bottom row
// first) for a Lossless2 picture.
bool DecodeJPEGPixels(TBlock Jpeg, const TBlock* Alpha, int32_t MinSide, TDecodeUse Use,
                      TPicturePixels& Out, std::string& Failure);
bool DecodeBMPPixels(TBlock Bmp, const TBlock* Plane, int32_t MinSide, TPicturePixels& Out,
                     std::string& Failure);

// The pixels of a BMP file (8-bit with its colour table, 15-bit or 24-bit,
// uncompressed) viewed in place; false with Failure set for anything else or
// a file cut short. Image must not outlive Data.
bool ViewBMP(const uint8_t* Data, size_t Size, TImage& Image, std::string& Failure);

// Inflates up to Wanted bytes of one zlib stream into Out, which grows with
// what really comes out. Ends at Wanted bytes, at the stream's end, or where
// the data run out.
enum TInflateEnd : uint8_t {
  ieDone,       // Wanted reached, the stream ended, or its data ran out
  ieCorrupt,    // data that is not zlib met (Out holds what came before)
  ieNoStart,    // the inflater could not start
  ieNoMemory,   // memory for Out was refused
};
TInflateEnd InflateZlib(const uint8_t* Data, size_t Size, size_t Wanted, std::vector<uint8_t>& Out);
