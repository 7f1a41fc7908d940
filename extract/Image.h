// TImage: a picture in memory as the picture core handles it, without any
// GUI toolkit: width, height, a pixel layout and rows of bytes. It either owns
// its storage or views rows someone else owns (a BMP in the picture list).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// Pixel layouts, one byte per sample.
enum TImageFormat : uint8_t {
  ifNone,
  ifGray8,     // grey
  ifRGB24,     // red, green, blue
  ifBGR24,     // blue, green, red (the rows of a 24-bit BMP)
  ifRGB555,    // 16 bits little-endian, 0RRRRRGGGGGBBBBB (the rows of a 15-bit BMP)
  ifIndexed8,  // an index into the palette
  ifRGBA32,    // red, green, blue, alpha; colour not premultiplied
};

class TImage {
 public:
  TImage() = default;
  TImage(TImage&&) noexcept = default;
  TImage& operator=(TImage&&) noexcept = default;
  TImage(const TImage&) = delete;
  TImage& operator=(const TImage&) = delete;

  // Owned storage for Width x Height pixels, rows top down, not cleared.
  // False (and an empty image) for a size of 0 or memory refused.
  bool Create(int32_t Width, int32_t Height, TImageFormat Format);
  // Rows that stay someone else's: row y starts at First + y * Stride (a
  // negative stride for rows stored bottom up). The image must not outlive them.
  void View(const uint8_t* First, int32_t Width, int32_t Height, ptrdiff_t Stride,
            TImageFormat Format);
  void Reset() { *this = TImage(); }

  bool IsNull() const { return FWidth <= 0 || FHeight <= 0 || !FFirst; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  TImageFormat Format() const { return FFormat; }
  ptrdiff_t Stride() const { return FStride; }
  bool OwnsStorage() const { return bool(FOwned); }

  const uint8_t* Row(int32_t y) const { return FFirst + y * FStride; }
  // Only owned rows may be written.
  uint8_t* MutableRow(int32_t y) { return FOwned ? FFirst + y * FStride : nullptr; }
  // Keeps the top Rows rows (a cut picture's real part).
  void KeepRows(int32_t Rows);
  // Hands the owned storage over (the first row's address, rows top down,
  // released with std::free); the image ends empty.
  uint8_t* Release();

  static int BytesPerPixel(TImageFormat Format);
  // Row y as red, green, blue bytes, one pixel every Step bytes of Out (3:
  // packed; 4 leaves room for an alpha byte): a 5-bit sample times 8, an
  // index past the palette black, grey repeated.
  void RGBRow(int32_t y, uint8_t* Out, int Step = 3) const;

  // Red, green, blue, alpha of each index of an ifIndexed8 picture.
  std::vector<std::array<uint8_t, 4>> Palette;

 private:
  struct TFree {
    void operator()(uint8_t* Bytes) const { std::free(Bytes); }
  };
  std::unique_ptr<uint8_t, TFree> FOwned;
  uint8_t* FFirst = nullptr;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  ptrdiff_t FStride = 0;
  TImageFormat FFormat = ifNone;
};
