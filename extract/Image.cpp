#include "extract/Image.h"

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
  auto* Memory = static_cast<uint8_t*>(std::malloc(Stride * size_t(Height)));
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
