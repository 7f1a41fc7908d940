#include "extract/Image.h"

#include <algorithm>
#include <utility>

#include "swf/D_Storages.h"

int TImage::BytesPerPixel(TImageFormat Format) {
  switch (Format) {
    case ifGray8:
    case ifIndexed8:
      return 1;
    case ifRGB555:
      return 2;
    case ifRGB24:
    case ifBGR24:
      return 3;
    case ifRGBA32:
      return 4;
    default:
      return 0;
  }
}

bool TImage::Create(int32_t Width, int32_t Height, TImageFormat Format) {
  Reset();
  const int Bytes = BytesPerPixel(Format);
  if (Width <= 0 || Height <= 0 || Bytes == 0) return false;
  const size_t Stride = size_t(Width) * size_t(Bytes);
  // Pages past the rows really written are never touched.
  auto* Memory = static_cast<uint8_t*>(AllocateBlock(Stride * size_t(Height)));
  // No huge pages: a cut picture writes its first rows only, and a huge page
  // would clear two megabytes for the first of them.
  if (!Memory) return false;
  FOwned.reset(Memory);
  FFirst = Memory;
  FWidth = Width;
  FHeight = Height;
  FStride = ptrdiff_t(Stride);
  FFormat = Format;
  return true;
}

void TImage::View(const uint8_t* First, int32_t Width, int32_t Height, ptrdiff_t Stride,
                  TImageFormat Format) {
  Reset();
  if (!First || Width <= 0 || Height <= 0) return;
  FFirst = const_cast<uint8_t*>(First);  // never written through: MutableRow refuses views
  FWidth = Width;
  FHeight = Height;
  FStride = Stride;
  FFormat = Format;
}

void TImage::KeepRows(int32_t Rows) {
  if (Rows >= 0 && Rows < FHeight) FHeight = Rows;
}

uint8_t* TImage::Release() {
  uint8_t* Bytes = FOwned.release();
  Reset();
  return Bytes;
}

void TImage::RGBRow(int32_t y, uint8_t* Out, int Step) const {
  const uint8_t* In = Row(y);
  const int32_t W = FWidth;
  const auto Put = [&Out, Step](uint8_t R, uint8_t G, uint8_t B) {
    Out[0] = R;
    Out[1] = G;
    Out[2] = B;
    Out += Step;
  };
  switch (FFormat) {
    case ifGray8:
      for (int32_t x = 0; x < W; ++x) Put(In[x], In[x], In[x]);
      break;
    case ifRGB24:
      if (Step == 3) {
        std::copy_n(In, size_t(W) * 3, Out);
        break;
      }
      for (int32_t x = 0; x < W; ++x, In += 3) Put(In[0], In[1], In[2]);
      break;
    case ifBGR24:
      for (int32_t x = 0; x < W; ++x, In += 3) Put(In[2], In[1], In[0]);
      break;
    case ifRGB555:
      for (int32_t x = 0; x < W; ++x, In += 2) {
        const unsigned V = unsigned(In[0]) | unsigned(In[1]) << 8;
        Put(uint8_t(((V >> 10) & 31) << 3), uint8_t(((V >> 5) & 31) << 3), uint8_t((V & 31) << 3));
      }
      break;
    case ifIndexed8:
      for (int32_t x = 0; x < W; ++x) {
        const size_t I = In[x];
        const std::array<uint8_t, 4> E = I < Palette.size() ? Palette[I] : std::array<uint8_t, 4>{};
        Put(E[0], E[1], E[2]);
      }
      break;
    case ifRGBA32:
      for (int32_t x = 0; x < W; ++x, In += 4) Put(In[0], In[1], In[2]);
      break;
    default:
      for (int32_t x = 0; x < W; ++x) Put(0, 0, 0);
      break;
  }
}
