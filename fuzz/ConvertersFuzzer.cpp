// Fuzz target: the picture converters fed directly, without a movie around
// them. The input starts with ten parameter bytes:
//
//   0-1  width (little-endian)      4  lossless format    6  flags
//   2-3  height                     5  last colour index  7  MinSide choice
//   8-9  split: where the payload's first part ends (clamped to its size)
//
// and the payload follows. The whole payload is the JPEG to repair and
// decode, the BMP to view, the file to decode as PNG or GIF and the pixels of
// the lossless converters; its two parts are the picture and the alpha data
// of the alpha composers, and the rows and plane handed to the PNG writer.
// Flags: bit 0 with alpha, bit 1 plane bottom up, bit 2 a short plane
// repeats its last value, bits 3-5 the pixel layout of the rows.
#include <QImage>
#include <algorithm>
#include <string>

#include "extract/Scripts.h"
#include "render/Render.h"
#include "fuzz/FuzzSupport.h"
#include "swf/F_Macromedia.h"

namespace {

constexpr int32_t MinSides[8] = {0, 1, 7, 16, 150, 400, 1000, 9000};

// Image (viewed, not copied) with the plane as its alpha, written as a PNG.
void WritePNG(const TImage& Image, const uint8_t* Plane, size_t PlaneSize, bool BottomUp,
              bool RepeatLast, const std::string& PngFile) {
  TPicturePixels Pixels;
  Pixels.Colour.View(Image.Row(0), Image.Width(), Image.Height(), Image.Stride(), Image.Format());
  Pixels.Colour.Palette = Image.Palette;
  Pixels.Width = Image.Width();
  Pixels.Height = Pixels.RealRows = Image.Height();
  Pixels.Alpha.Present = true;
  Pixels.Alpha.Bytes = {Plane, uint32_t(PlaneSize)};
  Pixels.Alpha.BottomUp = BottomUp;
  Pixels.Alpha.PastEnd = RepeatLast && PlaneSize > 0 ? Plane[PlaneSize - 1] : 255;
  std::string Failure;
  if (WritePNGWithAlpha(Pixels, PngFile, Failure)) FUZZ_CHECK(!ReadFuzzFile(PngFile).empty());
}

void RepairAndDecode(const uint8_t* Data, size_t Size, int32_t MinSide) {
  tSWFStream Stream;
  if (Size > 0) Stream.WriteBytes(Data, uint32_t(Size));
  RepairJPEGStream(Stream, Stream);
  // The repair only ever keeps bytes of its input.
  FUZZ_CHECK(Stream.Size() <= Size);

  int32_t Width = 0, Height = 0;
  std::string Failure;
  const bool Sized = ReadJPEGSize(Data, Size, Width, Height, Failure);
  FUZZ_CHECK(!Sized || uint64_t(Width) * uint64_t(Height) <= MaxBitmapPixels);

  for (const int32_t Side : {0, MinSide}) {
    TDecodedJPEG Decoded;
    if (!DecodeJPEGImage(Stream.Buffer(), Stream.Size(), Side, Decoded, Failure)) continue;
    FUZZ_CHECK(!Decoded.Image.IsNull() && Decoded.Image.Format() == ifRGB24);
    FUZZ_CHECK(Decoded.RealRows > 0 && Decoded.RealRows <= Decoded.Image.Height());
    FUZZ_CHECK(Decoded.Image.Width() <= Decoded.Width && Decoded.Image.Height() <= Decoded.Height);
    if (Side == 0) {
      FUZZ_CHECK(Decoded.Image.Width() == Decoded.Width);
      FUZZ_CHECK(Decoded.Image.Height() == Decoded.Height);
    }
  }
}

void ViewAndWriteBMP(const uint8_t* Data, size_t Size, const uint8_t* Plane, size_t PlaneSize,
                     bool BottomUp, bool Short, int32_t MinSide, const std::string& Dir) {
  TImage Bmp;
  std::string Failure;
  if (ViewBMP(Data, Size, Bmp, Failure)) {
    FUZZ_CHECK(!Bmp.IsNull());
    FUZZ_CHECK(uint64_t(Bmp.Width()) * uint64_t(Bmp.Height()) <= MaxBitmapPixels);
    WritePNG(Bmp, Plane, PlaneSize, BottomUp, Short, Dir + "bmp.png");
  }
  TPicturePixels Pixels;
  const TBlock PlaneBlock{Plane, uint32_t(PlaneSize)};
  if (DecodeBMPPixels({Data, uint32_t(Size)}, &PlaneBlock, MinSide, Pixels, Failure)) {
    FUZZ_CHECK(Pixels.RealRows == Pixels.Colour.Height());
    QImage Thumbnail;
    RenderPixels(Pixels, 150, 150, 10, 13421772, Thumbnail, Failure);
    FUZZ_CHECK(Thumbnail.width() <= 150 && Thumbnail.height() <= 150);
  }
}

// The rows of the first part as a picture of the given layout, as many rows
// of Width pixels as it holds (Height at most), written with the second part
// as its plane.
void WriteRows(const uint8_t* Data, size_t Size, uint16_t Width, uint16_t Height,
               TImageFormat Format, const uint8_t* Plane, size_t PlaneSize, bool BottomUp,
               bool Short, const std::string& Dir) {
  const int Bytes = TImage::BytesPerPixel(Format);
  if (Bytes == 0 || Width == 0) return;
  const size_t Row = size_t(Width) * size_t(Bytes);
  const size_t Rows = std::min<size_t>(Height, Size / Row);
  if (Rows == 0) return;
  TImage Image;
  Image.View(Data, Width, int32_t(Rows), ptrdiff_t(Row), Format);
  if (Format == ifIndexed8) {
    // A short table: the writer gives the indices past it black.
    for (size_t i = 0; i < std::min<size_t>(PlaneSize / 3, 256); ++i)
      Image.Palette.push_back({Plane[3 * i], Plane[3 * i + 1], Plane[3 * i + 2], 255});
  }
  WritePNG(Image, Plane, PlaneSize, BottomUp, Short, Dir + "rows.png");
}

// The lossless converters on the payload as pixel data, as the walk calls them.
void Lossless(TLosslessConverter& Converter, const uint8_t* Data, size_t Size, uint16_t Width,
              uint16_t Height, uint8_t Format, uint8_t LastIndex, bool WithAlpha,
              const std::string& Dir) {
  const TBlock Pixels{Data, uint32_t(Size)};
  const std::vector<uint8_t> Header = TLosslessConverter::BMPHeader(Width, Height, Format);
  tSWFStream Target;
  switch (Format % 3) {
    case 0:
      Converter.ColorMappedToBMP(Pixels, Header, Width, Height, LastIndex, Target, WithAlpha);
      break;
    case 1:
      Converter.PIX15ToBMP(Pixels, Header, Width, Height, Target);
      break;
    default:
      Converter.ARGBToBMP(Pixels, Header, Width, Height, WithAlpha, Target);
      break;
  }
  if (Target.Size() == 0) return;
  // What a converter gives is a BMP the program reads back at its size.
  TImage Bmp;
  std::string Failure;
  const bool Known = Format >= 3 && Format <= 5;
  if (Known && uint64_t((Width + 3) & ~3) * Height <= MaxBitmapPixels) {
    FUZZ_CHECK(ViewBMP(Target.Buffer(), Target.Size(), Bmp, Failure));
    FUZZ_CHECK(Bmp.Height() == Height);
    FUZZ_CHECK(Bmp.Width() >= Width);
  }
  if (!WithAlpha) return;
  // As the walk keeps it: the BMP and its plane, composed into a PNG.
  const tSWFStream& Plane = Converter.ConverterAlpha();
  ComposeBMPAlphaPNG({Target.Buffer(), Target.Size()}, {Plane.Buffer(), Plane.Size()},
                     Dir + "lossless.png", Failure);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > MaxFuzzInput) return 0;
  const TFuzzFolder& Folder = ProcessFolder("converters");
  Folder.Clear();
  const std::string& Dir = Folder.Path();

  TFuzzReader Reader(Data, Size);
  const uint16_t Width = Reader.UI16();
  const uint16_t Height = Reader.UI16();
  const uint8_t Format = Reader.UI8();
  const uint8_t LastIndex = Reader.UI8();
  const uint8_t Flags = Reader.UI8();
  const int32_t MinSide = MinSides[Reader.UI8() % 8];
  const size_t Split = std::min<size_t>(Reader.UI16(), Reader.RestSize());
  const uint8_t* Payload = Reader.Rest();
  const size_t PayloadSize = Reader.RestSize();
  const uint8_t* Second = Payload + Split;
  const size_t SecondSize = PayloadSize - Split;
  const bool WithAlpha = Flags & 1;
  const bool BottomUp = Flags & 2;
  const bool Short = Flags & 4;  // a short plane repeats its last value
  const auto Layout = TImageFormat((Flags >> 3) % 7);

  RepairAndDecode(Payload, PayloadSize, MinSide);
  ViewAndWriteBMP(Payload, PayloadSize, Second, SecondSize, BottomUp, Short, MinSide, Dir);
  WriteRows(Payload, Split, Width, Height, Layout, Second, SecondSize, BottomUp, Short, Dir);

  TLosslessConverter Converter;
  Lossless(Converter, Payload, PayloadSize, Width, Height, Format, LastIndex, WithAlpha, Dir);

  // The alpha composers on the two parts.
  std::string Failure;
  ComposeJPEGAlphaPNG({Payload, uint32_t(Split)}, {Second, uint32_t(SecondSize)},
                      Dir + "jpeg.png", Failure);
  ComposeBMPAlphaPNG({Payload, uint32_t(Split)}, {Second, uint32_t(SecondSize)},
                     Dir + "bmp-alpha.png", Failure);
  // The JPEG with its alpha for the screen, at the scale asked for.
  TPicturePixels Pixels;
  const TBlock Alpha{Second, uint32_t(SecondSize)};
  if (DecodeJPEGPixels({Payload, uint32_t(Split)}, &Alpha, MinSide, duScreen, Pixels, Failure)) {
    FUZZ_CHECK(Pixels.RealRows > 0 && Pixels.RealRows <= Pixels.Colour.Height());
    QImage Thumbnail;
    RenderPixels(Pixels, 150, 150, 10, 13421772, Thumbnail, Failure);
    FUZZ_CHECK(Thumbnail.width() <= 150 && Thumbnail.height() <= 150);
  }

  QImage Picture;
  if (DecodeEmbeddedImage(Payload, PayloadSize, Picture, Failure)) {
    FUZZ_CHECK(!Picture.isNull());
    TPictureList Pictures;
    QImage Thumbnail;
    // Drawn as a thumbnail of a JPEG2 record that stores it.
    tSWFStream Record;
    Record.WriteUI16(1);
    Record.WriteBytes(Payload, uint32_t(PayloadSize));
    Record.SetPosition(0);
    Pictures.Append(21, Record, Record.Size(), nullptr, 1);
    if (BuildThumbnail(Pictures, 0, TPictureSettings(), Thumbnail, Failure))
      FUZZ_CHECK(Thumbnail.width() <= 150 && Thumbnail.height() <= 150);
  }

  // Whatever failed, no temporary part of a PNG is left behind.
  FUZZ_CHECK(!HasPartFiles(Dir));
  Folder.Clear();
  return 0;
}
