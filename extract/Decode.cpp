// Decoding: a picture's colour and alpha, for the screen or for a file.
#include "extract/Decode.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "extract/JPEGDecode.h"
#include "extract/Numbers.h"
#include "swf/F_Macromedia.h"

namespace {

// The scale (1 in Factor) at which a picture's longer side still reaches
// MinSide; 1 for MinSide 0.
int32_t ReductionFactor(int32_t Width, int32_t Height, int32_t MinSide) {
  if (MinSide <= 0) return 1;
  return std::max<int32_t>(1, std::max(Width, Height) / MinSide);
}

// Picture averaged down by a whole factor, so a large picture is never drawn whole.
bool AverageDown(const TImage& Picture, int32_t F, TImage& Out) {
  const int32_t W = Picture.Width(), H = Picture.Height();
  const int32_t DW = (W + F - 1) / F, DH = (H + F - 1) / F;
  if (!Out.Create(DW, DH, ifRGB24)) return false;
  std::vector<unsigned> Sums(size_t(DW) * 3);
  std::vector<uint8_t> Line(size_t(W) * 3);
  for (int32_t DY = 0; DY < DH; ++DY) {
    std::fill(Sums.begin(), Sums.end(), 0u);
    const int32_t Y0 = DY * F, Y1 = std::min(H, Y0 + F);
    for (int32_t Y = Y0; Y < Y1; ++Y) {
      Picture.RGBRow(Y, Line.data());
      for (int32_t X = 0; X < W; ++X) {
        unsigned* Sum = &Sums[size_t(X / F) * 3];
        const uint8_t* Rgb = &Line[size_t(X) * 3];
        Sum[0] += Rgb[0], Sum[1] += Rgb[1], Sum[2] += Rgb[2];
      }
    }
    uint8_t* Row = Out.MutableRow(DY);
    for (int32_t DX = 0; DX < DW; ++DX) {
      const unsigned Count = unsigned((std::min(W, DX * F + F) - DX * F) * (Y1 - Y0));
      const unsigned* Sum = &Sums[size_t(DX) * 3];
      for (int c = 0; c < 3; ++c) Row[3 * DX + c] = uint8_t(Sum[c] / Count);
    }
  }
  return true;
}

}  // namespace

const TStraightTable& StraightTable() {
  struct TTable {
    TStraightTable Values;
  };
  static const TTable Table = [] {
    TTable Made;
    for (unsigned A = 0; A < 256; ++A)
      for (unsigned C = 0; C < 256; ++C)
        Made.Values[A][C] = A == 0     ? 0
                            : A == 255 ? uint8_t(C)
                                       : uint8_t(std::min(255u, (C * 255 + A / 2) / A));
    return Made;
  }();
  return Table.Values;
}

TInflateEnd InflateZlib(const uint8_t* Data, size_t Size, size_t Wanted, std::vector<uint8_t>& Out) {
  Out.clear();
  z_stream Z{};
  if (inflateInit(&Z) != Z_OK) return ieNoStart;
  Z.next_in = const_cast<Bytef*>(Data);
  Z.avail_in = uInt(std::min<size_t>(Data ? Size : 0, UINT32_MAX));
  size_t Done = 0;
  TInflateEnd End = ieDone;
  try {
    while (Done < Wanted) {
      const size_t Grown = std::min(Wanted, std::max<size_t>(Done * 2, 65536));
      if (BlockRefused(Grown)) throw std::bad_alloc();
      Out.resize(Grown);
      const size_t Chunk = std::min<size_t>(Grown - Done, 1u << 30);
      Z.next_out = Out.data() + Done;
      Z.avail_out = uInt(Chunk);
      const int Result = inflate(&Z, Z_NO_FLUSH);
      Done += Chunk - Z.avail_out;
      if (Result == Z_STREAM_END || Result == Z_BUF_ERROR) break;  // the end, or no more input
      if (Result != Z_OK) {
        End = ieCorrupt;
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    End = ieNoMemory;
    NoteMemoryShort();
  }
  inflateEnd(&Z);
  Out.resize(std::min(Done, Out.size()));
  return End;
}

bool ViewBMP(const uint8_t* Data, size_t Size, TImage& Image, std::string& Failure) {
  Image.Reset();
  if (!Data || Size < 54 || Data[0] != 'B' || Data[1] != 'M') {
    Failure = "Not a BMP file";
    return false;
  }
  const uint32_t PixelOffset = ReadLE32(Data + 10);
  const uint32_t InfoSize = ReadLE32(Data + 14);
  const int32_t Width = int32_t(ReadLE32(Data + 18));
  const int32_t Height = int32_t(ReadLE32(Data + 22));
  const unsigned Bits = ReadLE16(Data + 28);
  const uint32_t Compression = ReadLE32(Data + 30);
  const bool TopDown = Height < 0;
  const int64_t Rows = TopDown ? -int64_t(Height) : Height;
  TImageFormat Format = ifNone;
  if (Bits == 8 && Compression == 0) Format = ifIndexed8;
  if (Bits == 16 && Compression == 0) Format = ifRGB555;
  if (Bits == 24 && Compression == 0) Format = ifBGR24;
  if (Format == ifNone || InfoSize < 40 || Width <= 0 || Rows <= 0 ||
      uint64_t(Width) * uint64_t(Rows) > MaxBitmapPixels) {
    Failure = "The BMP picture cannot be read";
    return false;
  }
  const uint64_t RowBytes = (uint64_t(Width) * Bits / 8 + 3) / 4 * 4;
  if (PixelOffset > Size || RowBytes * uint64_t(Rows) > Size - PixelOffset) {
    Failure = "The BMP file is cut short";
    return false;
  }
  std::vector<std::array<uint8_t, 4>> Palette;
  if (Format == ifIndexed8) {
    // 256 entries of blue, green, red and a reserved byte after the header.
    const uint64_t TableAt = 14 + uint64_t(InfoSize);
    const uint32_t Used = ReadLE32(Data + 46);
    const uint64_t Entries = std::min<uint64_t>(Used ? Used : 256, 256);
    if (TableAt + 4 * Entries > PixelOffset) {
      Failure = "The BMP colour table is cut short";
      return false;
    }
    Palette.resize(size_t(Entries));
    for (uint64_t i = 0; i < Entries; ++i) {
      const uint8_t* Entry = Data + TableAt + 4 * i;
      Palette[size_t(i)] = {Entry[2], Entry[1], Entry[0], 255};
    }
  }
  const uint8_t* Pixels = Data + PixelOffset;
  const uint8_t* First = TopDown ? Pixels : Pixels + RowBytes * uint64_t(Rows - 1);
  const ptrdiff_t Stride = TopDown ? ptrdiff_t(RowBytes) : -ptrdiff_t(RowBytes);
  Image.View(First, Width, int32_t(Rows), Stride, Format);
  Image.Palette = std::move(Palette);
  return true;
}

bool DecodeJPEGPixels(TBlock Jpeg, const TBlock* Alpha, int32_t MinSide, TDecodeUse Use,
                      TPicturePixels& Out, std::string& Failure) {
  Out = TPicturePixels();
  std::vector<uint8_t> Plane;
  if (Alpha && Use == duFile) {
    // The header and the plane first: a picture whose alpha cannot be used
    // is not decoded at all, whatever size it declares.
    int32_t Width = 0, Height = 0;
    if (!ReadJPEGSize(Jpeg.Data, Jpeg.Size, Width, Height, Failure)) return false;
    switch (InflateZlib(Alpha->Data, Alpha->Size, size_t(Width) * size_t(Height), Plane)) {
      case ieNoStart:
        Failure = "Cannot start inflating the alpha data";
        return false;
      case ieNoMemory:
        Failure = "Not enough memory for the alpha plane";
        return false;
      case ieCorrupt:
        if (Plane.empty()) {
          Failure = "The alpha data is not a valid zlib stream";
          return false;
        }
        break;  // the part before the damage is a short plane
      default:
        if (Plane.empty()) {
          Failure = "The alpha data holds no alpha value";
          return false;
        }
        break;
    }
  }
  TDecodedJPEG Decoded;
  if (!DecodeJPEGImage(Jpeg.Data, Jpeg.Size, Use == duFile ? 0 : MinSide, Decoded, Failure))
    return false;
  Out.Width = Decoded.Width;
  Out.Height = Decoded.Height;
  Out.RealRows = Decoded.RealRows;
  Out.Colour = std::move(Decoded.Image);
  if (!Alpha) return true;
  if (Use == duScreen) {
    // Only the plane's rows the decoded part covers are expanded.
    const int64_t Rows = int64_t(Out.RealRows) * Out.Height / Out.Colour.Height();
    const size_t Wanted = size_t(Out.Width) * size_t(std::min<int64_t>(Out.Height, Rows + 1));
    // Data that is not zlib at all is taken as the plane's own bytes; a
    // plane cut short or refused memory keeps what was expanded.
    const TInflateEnd Inflated = InflateZlib(Alpha->Data, Alpha->Size, Wanted, Plane);
    if (Inflated == ieNoMemory) {
      NoteMemoryShort();
      Failure = "Not enough memory for the alpha plane";
      return false;
    }
    if (Plane.empty()) Plane.assign(Alpha->Data, Alpha->Data + Alpha->Size);
  }
  Out.Alpha.Present = true;
  Out.Alpha.Premultiplied = true;
  Out.Alpha.Owned = std::move(Plane);
  Out.Alpha.Bytes = {Out.Alpha.Owned.data(), uint32_t(Out.Alpha.Owned.size())};
  // A short plane repeats its last value; an empty one shows nothing.
  Out.Alpha.PastEnd = Out.Alpha.Owned.empty() ? 0 : Out.Alpha.Owned.back();
  return true;
}

bool DecodeBMPPixels(TBlock Bmp, const TBlock* Plane, int32_t MinSide, TPicturePixels& Out,
                     std::string& Failure) {
  Out = TPicturePixels();
  TImage Picture;
  if (!ViewBMP(Bmp.Data, Bmp.Size, Picture, Failure)) return false;
  Out.Width = Picture.Width();
  Out.Height = Picture.Height();
  const int32_t F = ReductionFactor(Out.Width, Out.Height, MinSide);
  if (F == 1) {
    Out.Colour = std::move(Picture);
  } else if (!AverageDown(Picture, F, Out.Colour)) {
    Failure = "Not enough memory for the picture";
    return false;
  }
  Out.RealRows = Out.Colour.Height();
  if (Plane) {
    Out.Alpha.Present = true;
    Out.Alpha.Premultiplied = true;
    Out.Alpha.Bytes = *Plane;
    Out.Alpha.BottomUp = true;
    Out.Alpha.PastEnd = 255;  // the converters' planes cover the picture
  }
  return true;
}

bool DecodePicture(const TPictureList& Pictures, int32_t Number, int32_t MinSide, TDecodeUse Use,
                   TPicturePixels& Out, std::string& Failure) {
  Out = TPicturePixels();
  if (Number < 0 || Number >= Pictures.Count) {
    Failure = "No picture number " + std::to_string(Number);
    return false;
  }
  const TPictureFacts& Facts = Pictures.Facts(Number);
  const TBlock Side = Pictures.Side(Number);
  switch (Facts.Format) {
    case sfBMP:
      return DecodeBMPPixels(Pictures.Primary(Number), Facts.HasAlpha ? &Side : nullptr, MinSide,
                             Out, Failure);
    case sfJPEG: {
      std::vector<uint8_t> Scratch;
      const TBlock Jpeg = JPEGStream(Pictures, Number, Scratch);
      return DecodeJPEGPixels(Jpeg, Facts.HasAlpha ? &Side : nullptr, MinSide, Use, Out, Failure);
    }
    default:
      Failure = "The picture is a stored file";
      return false;
  }
}
