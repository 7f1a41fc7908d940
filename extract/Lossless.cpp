// Lossless pixels to BMP, in memory: the record's inflated pixels and the
// header made for it in, one BMP file (and an alpha plane) out.
#include "extract/Lossless.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "extract/Numbers.h"

namespace {

constexpr uint32_t HeaderSize = 54;  // file header + 40-byte information header
constexpr uint32_t PaletteSize = 256 * 4;
constexpr uint32_t ColorMappedPixelOffset = HeaderSize + PaletteSize;

uint32_t RoundUp4(uint32_t Value) {
  return (Value + 3) & ~3u;
}

// Storage the converters fill completely, so nothing is cleared first.
// Memory refused throws, as a vector would.
class TBuffer {
 public:
  explicit TBuffer(uint64_t Count)
      : FData(static_cast<uint8_t*>(AllocateBlock(size_t(Count ? Count : 1)))), FSize(Count) {
    if (!FData) throw std::bad_alloc();
    AdviseLargeBlock(FData, size_t(Count));
  }
  ~TBuffer() { std::free(FData); }
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;
  uint8_t* data() { return FData; }
  const uint8_t* data() const { return FData; }
  size_t size() const { return FSize; }
  uint8_t* Release() { return std::exchange(FData, nullptr); }

 private:
  uint8_t* FData;
  size_t FSize;
};

// Appends Bytes to Target; an empty owning target takes the storage itself,
// which ends as a write would leave it: the cursor after the last byte.
void Hand(tSWFStream& Target, TBuffer& Bytes) {
  if (Bytes.size() == 0) return;
  if (!Target.OwnsBuffer() || Target.Size() != 0) {
    Target.WriteBytes(Bytes.data(), uint32_t(Bytes.size()));
    return;
  }
  const uint32_t Count = uint32_t(Bytes.size());
  Target.AdoptBuffer(Bytes.Release(), Count);
  Target.SetPosition(Count);
}

// A BMP must fit a stream; the layouts here are bounded by the pixel data anyway.
bool Fits(uint64_t Size) {
  return Size <= UINT32_MAX;
}

}  // namespace

TLosslessConverter::TLosslessConverter() : FConverterAlpha(std::make_unique<tSWFStream>()) {
  ResetPaletteAlpha();
}

void TLosslessConverter::ResetPaletteAlpha() {
  for (auto& Entry : PaletteTable) Entry[3] = 255;
}

std::vector<uint8_t> TLosslessConverter::BMPHeader(uint16_t Width, uint16_t Height,
                                                   uint8_t Format) {
  const bool Known = Format == 3 || Format == 4 || Format == 5;
  std::vector<uint8_t> Header(Known ? HeaderSize : HeaderSize - 6, 0);
  uint8_t* At = Header.data();
  At[0] = 'B';
  At[1] = 'M';
  At += 10;  // file size and reserved: 0
  if (Known) {
    WriteLE32(At, Format == 3 ? ColorMappedPixelOffset : HeaderSize);
    At += 4;
  }
  WriteLE32(At, 40);
  WriteLE32(At + 4, Width);
  WriteLE32(At + 8, Height);  // positive: rows bottom-up
  WriteLE16(At + 12, 1);      // planes
  At += 14;
  if (Known) WriteLE16(At, Format == 3 ? 8 : Format == 4 ? 16 : 24);
  return Header;  // the six fields after are 0
}

void TLosslessConverter::ColorMappedToBMP(TBlock Pixels, const std::vector<uint8_t>& Header,
                                          uint16_t Width, uint16_t Height, uint8_t LastIndex,
                                          tSWFStream& Target, bool WithAlpha) {
  if (WithAlpha) DropConverterAlpha();
  const uint32_t RowBytes = RoundUp4(Width);
  const uint32_t EntrySize = WithAlpha ? 4 : 3;
  const uint32_t Entries = uint32_t(LastIndex) + 1;
  const uint64_t Rows = uint64_t(Height) * RowBytes;
  if (Width == 0 || Height == 0 || Header.size() < HeaderSize) return;
  if (Pixels.Size < Entries * EntrySize + Rows) return;  // colour table or rows cut
  if (!Fits(ColorMappedPixelOffset + Rows) || (WithAlpha && !Fits(HeaderSize + 3 * Rows))) return;

  TBuffer Bmp(ColorMappedPixelOffset + Rows);
  std::memcpy(Bmp.data(), Header.data(), HeaderSize);
  uint8_t* Palette = Bmp.data() + HeaderSize;
  std::memset(Palette, 0, PaletteSize);  // entries past the table, and every fourth byte
  for (uint32_t i = 0; i < Entries; ++i) {
    const uint8_t* Entry = Pixels.Data + i * EntrySize;
    Palette[4 * i] = Entry[2];  // blue
    Palette[4 * i + 1] = Entry[1];
    Palette[4 * i + 2] = Entry[0];
  }
  // The record's rows run top down and are padded like the BMP's.
  const uint8_t* Indices = Pixels.Data + Entries * EntrySize;
  uint8_t* Out = Bmp.data() + ColorMappedPixelOffset;
  for (uint32_t k = 0; k < Height; ++k)
    std::memcpy(Out + uint64_t(k) * RowBytes, Indices + uint64_t(Height - 1 - k) * RowBytes,
                RowBytes);
  if (!WithAlpha) {
    Hand(Target, Bmp);
    return;
  }

  // Alphas of all 256 entries; past the colour table they are whatever bytes
  // lie there, and opaque where the data ends first.
  for (uint32_t i = 0; i < 256; ++i) {
    const uint64_t At = 4 * uint64_t(i) + 3;
    PaletteTable[i][0] = Palette[4 * i];
    PaletteTable[i][1] = Palette[4 * i + 1];
    PaletteTable[i][2] = Palette[4 * i + 2];
    PaletteTable[i][3] = At < Pixels.Size ? Pixels.Data[At] : 255;
  }
  // Widened to 24 bits, rows still in file order (bottom row first). R x 3
  // bytes is a multiple of 4, so no padding: the index row's padding bytes
  // become real pixels, and the picture's width is the padded row's.
  TBuffer Wide(HeaderSize + 3 * Rows);
  TBuffer Plane(Rows);
  std::memcpy(Wide.data(), Bmp.data(), HeaderSize);
  WriteLE32(Wide.data() + 18, RowBytes);
  WriteLE32(Wide.data() + 10, HeaderSize);
  WriteLE16(Wide.data() + 28, 24);
  uint8_t* Colour = Wide.data() + HeaderSize;
  for (uint64_t p = 0; p < Rows; ++p) {
    const uint8_t* Entry = PaletteTable[Out[p]];
    Colour[3 * p] = Entry[0];
    Colour[3 * p + 1] = Entry[1];
    Colour[3 * p + 2] = Entry[2];
    Plane.data()[p] = Entry[3];
  }
  Hand(*FConverterAlpha, Plane);
  Hand(Target, Wide);
}

void TLosslessConverter::PIX15ToBMP(TBlock Pixels, const std::vector<uint8_t>& Header,
                                    uint16_t Width, uint16_t Height, tSWFStream& Target) {
  const uint32_t RowPixels = (uint32_t(Width) + 1) & ~1u;
  const uint64_t RowBytes = uint64_t(RowPixels) * 2;
  if (Width == 0 || Height == 0 || Header.size() < HeaderSize) return;
  if (Pixels.Size < Height * RowBytes || !Fits(HeaderSize + Height * RowBytes)) return;

  TBuffer Bmp(HeaderSize + Height * RowBytes);
  std::memcpy(Bmp.data(), Header.data(), HeaderSize);
  uint8_t* Out = Bmp.data() + HeaderSize;
  for (uint32_t k = 0; k < Height; ++k) {
    const uint8_t* Row = Pixels.Data + (Height - 1 - k) * RowBytes;
    // Big-endian 0RRRRRGGGGGBBBBB in the record, little-endian 5-5-5 in a BMP.
    for (uint64_t b = 0; b < RowBytes; b += 2) {
      *Out++ = Row[b + 1];
      *Out++ = Row[b];
    }
  }
  Hand(Target, Bmp);
}

void TLosslessConverter::ARGBToBMP(TBlock Pixels, const std::vector<uint8_t>& Header,
                                   uint16_t Width, uint16_t Height, bool WithAlpha,
                                   tSWFStream& Target) {
  if (WithAlpha) DropConverterAlpha();
  const uint64_t SourceRow = uint64_t(Width) * 4;
  const uint32_t Padding = Width % 4;
  const uint64_t BmpRow = uint64_t(Width) * 3 + Padding;
  if (Width == 0 || Height == 0 || Header.size() < HeaderSize) return;
  if (Pixels.Size < Height * SourceRow || !Fits(HeaderSize + Height * BmpRow)) return;

  TBuffer Bmp(HeaderSize + Height * BmpRow);
  TBuffer Plane(WithAlpha ? uint64_t(Width) * Height : 0);
  std::memcpy(Bmp.data(), Header.data(), HeaderSize);
  uint8_t* Out = Bmp.data() + HeaderSize;
  uint8_t* Alpha = Plane.data();
  for (uint32_t k = 0; k < Height; ++k) {
    const uint8_t* Pixel = Pixels.Data + (Height - 1 - k) * SourceRow;
    for (uint32_t x = 0; x < Width; ++x, Pixel += 4) {
      if (WithAlpha) *Alpha++ = Pixel[0];
      *Out++ = Pixel[3];  // blue
      *Out++ = Pixel[2];
      *Out++ = Pixel[1];
    }
    for (uint32_t Pad = 0; Pad < Padding; ++Pad) *Out++ = 0;
  }
  if (WithAlpha) Hand(*FConverterAlpha, Plane);  // fresh since the drop above
  Hand(Target, Bmp);
}
