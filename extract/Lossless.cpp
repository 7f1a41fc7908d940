// Lossless pixels to BMP: the inflated pixel data of DefineBitsLossless and
// DefineBitsLossless2 records become bottom-up Windows BMP files, and for the
// latter a separate alpha plane, one byte per pixel, bottom row first.
//
// The converters exchange files through the working folder. A "test" or
// "header" shorter than the picture's layout, or a width or height of 0,
// yields no picture at all: the target stays as it was (empty for the driver)
// and the alpha plane empty, rather than a picture the data cannot justify.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "extract/Scripts.h"

namespace {

constexpr uint32_t HeaderSize = 54;  // file header + 40-byte information header
constexpr uint32_t PaletteSize = 256 * 4;
constexpr uint32_t ColorMappedPixelOffset = HeaderSize + PaletteSize;

uint32_t RoundUp4(uint32_t Value) {
  return (Value + 3) & ~3u;
}

void PutUI16(uint8_t* At, uint16_t Value) {
  At[0] = uint8_t(Value);
  At[1] = uint8_t(Value >> 8);
}

void PutUI32(uint8_t* At, uint32_t Value) {
  for (int i = 0; i < 4; ++i) At[i] = uint8_t(Value >> (8 * i));
}

// A whole working file, read once into memory (or viewed where it is kept in
// memory); empty when it is missing or unreadable.
class TFileBytes {
 public:
  TFileBytes(const TLosslessConverter& Converter, const std::string& Name) {
    Converter.ReadFile(Name, FStream);
  }
  const uint8_t* data() const { return FStream.Buffer(); }
  size_t size() const { return FStream.Size(); }
  uint8_t operator[](size_t Index) const { return FStream.Buffer()[Index]; }

 private:
  tSWFStream FStream;
};

// Storage the converters fill completely, so nothing is cleared first.
// Memory refused throws, as a vector would.
class TBuffer {
 public:
  explicit TBuffer(uint64_t Count)
      : FData(static_cast<uint8_t*>(std::malloc(size_t(Count ? Count : 1)))), FSize(Count) {
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

// Written into the working files; kept in memory, the bytes move there.
bool SaveFile(TLosslessConverter& Converter, const std::string& Name, TBuffer& Bytes) {
  uint8_t* Data = Bytes.data();
  const bool Written = Converter.WriteFile(Name, Data, uint32_t(Bytes.size()));
  if (!Data) Bytes.Release();  // taken over
  return Written;
}

template <class TBytes>
bool Append(tSWFStream& Target, const TBytes& Bytes) {
  return Bytes.size() == 0 || Target.WriteBytes(Bytes.data(), uint32_t(Bytes.size()));
}

// As Append, but an empty owning target takes the storage itself, which ends
// as a write would leave it: the cursor after the last byte.
void Hand(tSWFStream& Target, TBuffer& Bytes) {
  if (!Target.OwnsBuffer() || Target.Size() != 0 || Bytes.size() == 0) {
    Append(Target, Bytes);
    return;
  }
  uint32_t Count = uint32_t(Bytes.size());
  Target.AdoptBuffer(Bytes.Release(), Count);
  Target.SetPosition(Count);
}

// A BMP must fit a stream; the layouts here are bounded by "test" anyway.
bool Fits(uint64_t Size) {
  return Size <= UINT32_MAX;
}

}  // namespace

TLosslessConverter::TLosslessConverter(std::string WorkDir)
    : FWorkDir(std::move(WorkDir)), FConverterAlpha(std::make_unique<tSWFStream>()) {
  ResetPaletteAlpha();
}

void TLosslessConverter::ResetPaletteAlpha() {
  for (auto& Entry : PaletteTable) Entry[3] = 255;
}

void TLosslessConverter::KeepFilesInMemory(bool InMemory) {
  FInMemory = InMemory;
  FFiles.clear();
}

void TLosslessConverter::PutFile(const std::string& Name, const uint8_t* Data, uint32_t Size) {
  auto View = std::make_unique<tSWFStream>();
  if (Size > 0) View->AttachBuffer(const_cast<uint8_t*>(Data), Size);
  FFiles[Name] = std::move(View);
}

void TLosslessConverter::RemoveFile(const std::string& Name) {
  if (FInMemory)
    FFiles.erase(Name);
  else
    std::remove((FWorkDir + Name).c_str());
}

bool TLosslessConverter::ReadFile(const std::string& Name, tSWFStream& Into) const {
  Into.Reset();
  if (!FInMemory) {
    if (Into.LoadFromFile(FWorkDir + Name)) return true;
    Into.Reset();
    return false;
  }
  const auto Found = FFiles.find(Name);
  if (Found == FFiles.end()) return false;
  if (Found->second->Size() > 0)
    Into.AttachBuffer(const_cast<uint8_t*>(Found->second->Buffer()), Found->second->Size());
  return true;
}

bool TLosslessConverter::TakeFile(const std::string& Name, std::unique_ptr<tSWFStream>& Into) {
  Into = std::make_unique<tSWFStream>();
  if (!FInMemory) return ReadFile(Name, *Into);
  const auto Found = FFiles.find(Name);
  if (Found == FFiles.end()) return false;
  if (Found->second->OwnsBuffer()) {
    Into = std::move(Found->second);
    Into->SetPosition(0);
  } else if (Found->second->Size() > 0) {
    // A view: its bytes are not ours to take.
    Into->WriteBytes(Found->second->Buffer(), Found->second->Size());
    Into->SetPosition(0);
  }
  FFiles.erase(Found);
  return true;
}

bool TLosslessConverter::WriteFile(const std::string& Name, uint8_t*& Bytes, uint32_t Size) {
  if (!FInMemory) {
    tSWFStream View;
    if (Size > 0) View.AttachBuffer(Bytes, Size);
    return View.SaveToFile(FWorkDir + Name);
  }
  auto File = std::make_unique<tSWFStream>();
  if (Size > 0) File->AdoptBuffer(std::exchange(Bytes, nullptr), Size);
  FFiles[Name] = std::move(File);
  return true;
}

void TLosslessConverter::WriteBMPHeader(uint16_t Width, uint16_t Height, uint8_t Format) {
  bool Known = Format == 3 || Format == 4 || Format == 5;
  tSWFStream Header;
  Header.WriteUI8('B');
  Header.WriteUI8('M');
  Header.WriteUI32(0);  // file size
  Header.WriteUI32(0);  // reserved
  if (Known) Header.WriteUI32(Format == 3 ? ColorMappedPixelOffset : HeaderSize);
  Header.WriteUI32(40);
  Header.WriteUI32(Width);
  Header.WriteUI32(Height);  // positive: rows bottom-up
  Header.WriteUI16(1);       // planes
  if (Known) Header.WriteUI16(Format == 3 ? 8 : Format == 4 ? 16 : 24);
  for (int Field = 0; Field < 6; ++Field) Header.WriteUI32(0);
  TBuffer Bytes(Header.Size());
  std::memcpy(Bytes.data(), Header.Buffer(), Header.Size());
  SaveFile(*this, "header", Bytes);
}

void TLosslessConverter::ColorMappedToBMP(uint16_t Width, uint16_t Height, uint8_t LastIndex,
                                          tSWFStream& Target, bool WithAlpha) {
  if (WithAlpha) DropConverterAlpha();
  const uint32_t RowBytes = RoundUp4(Width);
  const uint32_t EntrySize = WithAlpha ? 4 : 3;
  const uint32_t Entries = uint32_t(LastIndex) + 1;
  const uint64_t Rows = uint64_t(Height) * RowBytes;
  TFileBytes Source(*this, "test");
  TFileBytes Header(*this, "header");
  if (Width == 0 || Height == 0 || Header.size() < HeaderSize) return;
  if (Source.size() < Entries * EntrySize + Rows) return;  // colour table or rows cut
  if (!Fits(ColorMappedPixelOffset + Rows)) return;

  TBuffer Bmp(ColorMappedPixelOffset + Rows);
  std::memcpy(Bmp.data(), Header.data(), HeaderSize);
  uint8_t* Palette = Bmp.data() + HeaderSize;
  std::memset(Palette, 0, PaletteSize);  // entries past the table, and every fourth byte
  for (uint32_t i = 0; i < Entries; ++i) {
    const uint8_t* Entry = Source.data() + i * EntrySize;
    Palette[4 * i] = Entry[2];  // blue
    Palette[4 * i + 1] = Entry[1];
    Palette[4 * i + 2] = Entry[0];
  }
  // The record's rows run top down and are padded like the BMP's.
  const uint8_t* Indices = Source.data() + Entries * EntrySize;
  uint8_t* Out = Bmp.data() + ColorMappedPixelOffset;
  for (uint32_t k = 0; k < Height; ++k)
    std::memcpy(Out + uint64_t(k) * RowBytes, Indices + uint64_t(Height - 1 - k) * RowBytes,
                RowBytes);
  if (!SaveFile(*this, "0.bmp", Bmp)) return;

  if (WithAlpha) {
    // Alphas of all 256 entries; past the colour table they are whatever bytes
    // lie there, and opaque where the data ends first.
    std::vector<uint8_t> PaletteAlpha(256);
    for (uint32_t i = 0; i < 256; ++i) {
      uint64_t At = 4 * uint64_t(i) + 3;
      PaletteAlpha[i] = At < Source.size() ? Source[At] : 255;
    }
    FConverterAlpha->WriteBytes(PaletteAlpha.data(), 256);
    ExpandPaletteAlpha(Width, Height);
    std::unique_ptr<tSWFStream> Plane;
    bool Loaded = TakeFile("alpha", Plane);
    FConverterAlpha = std::move(Plane);
    // Without the widened picture and its plane there is no picture to give.
    if (!Loaded || FConverterAlpha->Size() != uint64_t(Height) * RowBytes) {
      DropConverterAlpha();
      return;
    }
  }

  TFileBytes Finished(*this, "0.bmp");
  uint64_t Expected =
      WithAlpha ? HeaderSize + uint64_t(Height) * RowBytes * 3 : ColorMappedPixelOffset + Rows;
  if (Finished.size() != Expected) {
    if (WithAlpha) DropConverterAlpha();
    return;
  }
  Append(Target, Finished);
}

void TLosslessConverter::ExpandPaletteAlpha(uint16_t Width, uint16_t Height) {
  const uint32_t RowBytes = RoundUp4(Width);
  const uint64_t Pixels = uint64_t(Height) * RowBytes;
  TFileBytes Indexed(*this, "0.bmp");
  tSWFStream& PaletteAlpha = *FConverterAlpha;

  // An 8-bit picture that is not all there gives no picture; an old plane
  // must not pass for this one's.
  if (Width == 0 || Height == 0 || Indexed.size() < ColorMappedPixelOffset + Pixels ||
      !Fits(HeaderSize + 3 * Pixels)) {
    RemoveFile("alpha");
    DropConverterAlpha();
    return;
  }

  TBuffer Bmp(HeaderSize + 3 * Pixels);
  std::memcpy(Bmp.data(), Indexed.data(), HeaderSize);
  PutUI32(Bmp.data() + 18, RowBytes);
  PutUI32(Bmp.data() + 10, HeaderSize);
  PutUI16(Bmp.data() + 28, 24);

  const uint8_t* Palette = Indexed.data() + HeaderSize;
  const uint8_t* Alphas = PaletteAlpha.Buffer();
  const uint32_t AlphaCount = PaletteAlpha.Size();
  for (uint32_t i = 0; i < 256; ++i) {
    PaletteTable[i][0] = Palette[4 * i];
    PaletteTable[i][1] = Palette[4 * i + 1];
    PaletteTable[i][2] = Palette[4 * i + 2];
    PaletteTable[i][3] = i < AlphaCount ? Alphas[i] : 255;
  }

  // Rows stay in file order (bottom row first). R x 3 bytes is a multiple of
  // 4, so no padding: the index row's padding bytes become real pixels.
  TBuffer Plane(Pixels);
  const uint8_t* Index = Indexed.data() + ColorMappedPixelOffset;
  uint8_t* Out = Bmp.data() + HeaderSize;
  for (uint64_t p = 0; p < Pixels; ++p) {
    const uint8_t* Entry = PaletteTable[Index[p]];
    Out[3 * p] = Entry[0];
    Out[3 * p + 1] = Entry[1];
    Out[3 * p + 2] = Entry[2];
    Plane.data()[p] = Entry[3];
  }

  SaveFile(*this, "alpha", Plane);
  DropConverterAlpha();
  if (!SaveFile(*this, "0.bmp", Bmp)) RemoveFile("0.bmp");
}

void TLosslessConverter::PIX15ToBMP(uint16_t Width, uint16_t Height, tSWFStream& Target) {
  const uint32_t RowPixels = (uint32_t(Width) + 1) & ~1u;
  const uint64_t RowBytes = uint64_t(RowPixels) * 2;
  TFileBytes Source(*this, "test");
  TFileBytes Header(*this, "header");
  if (Width == 0 || Height == 0 || Header.size() < HeaderSize) return;
  if (Source.size() < Height * RowBytes || !Fits(HeaderSize + Height * RowBytes)) return;

  TBuffer Bmp(HeaderSize + Height * RowBytes);
  std::memcpy(Bmp.data(), Header.data(), HeaderSize);
  uint8_t* Out = Bmp.data() + HeaderSize;
  for (uint32_t k = 0; k < Height; ++k) {
    const uint8_t* Row = Source.data() + (Height - 1 - k) * RowBytes;
    // Big-endian 0RRRRRGGGGGBBBBB in the record, little-endian 5-5-5 in a BMP.
    for (uint64_t b = 0; b < RowBytes; b += 2) {
      *Out++ = Row[b + 1];
      *Out++ = Row[b];
    }
  }
  Hand(Target, Bmp);
}

void TLosslessConverter::ARGBToBMP(uint16_t Width, uint16_t Height, bool WithAlpha,
                                   tSWFStream& Target) {
  if (WithAlpha) DropConverterAlpha();
  const uint64_t SourceRow = uint64_t(Width) * 4;
  const uint32_t Padding = Width % 4;
  const uint64_t BmpRow = uint64_t(Width) * 3 + Padding;
  TFileBytes Source(*this, "test");
  TFileBytes Header(*this, "header");
  if (Width == 0 || Height == 0 || Header.size() < HeaderSize) return;
  if (Source.size() < Height * SourceRow || !Fits(HeaderSize + Height * BmpRow)) return;

  TBuffer Bmp(HeaderSize + Height * BmpRow);
  TBuffer Plane(WithAlpha ? uint64_t(Width) * Height : 0);
  std::memcpy(Bmp.data(), Header.data(), HeaderSize);
  uint8_t* Out = Bmp.data() + HeaderSize;
  uint8_t* Alpha = Plane.data();
  for (uint32_t k = 0; k < Height; ++k) {
    const uint8_t* Pixel = Source.data() + (Height - 1 - k) * SourceRow;
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
