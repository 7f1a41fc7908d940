// Scripts: turning picture records into stand-alone pictures, keeping them in
// the picture list, exporting and rendering them. The core never reaches for a
// window or a global path: callers pass the working folder, settings and an
// observer for progress and status texts.
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "swf/D_Storages.h"

// An error that stops a composer or a decoder and must reach the caller
// (for instance a JPEG the decoder rejects, or alpha data that is not zlib).
class EPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// JPEG stream repair
// ---------------------------------------------------------------------------

// Cleans stored JPEG bytes into one JPEG stream: one start-of-image marker,
// the header segments, then the scan and all after it unchanged. Source and
// Target are usually the same stream.
void RepairJPEGStream(tSWFStream& Source, tSWFStream& Target);

// ---------------------------------------------------------------------------
// Lossless pixels to BMP
// ---------------------------------------------------------------------------

// The lossless converters and the state they share: the working folder they
// exchange files through ("test", "header", "0.bmp", "alpha"), the alpha plane
// of the last conversion and the palette table.
class TLosslessConverter {
 public:
  explicit TLosslessConverter(std::string WorkDir);

  const std::string& WorkDir() const { return FWorkDir; }
  void SetWorkDir(const std::string& WorkDir) { FWorkDir = WorkDir; }

  void WriteBMPHeader(uint16_t Width, uint16_t Height, uint8_t Format);
  void ColorMappedToBMP(uint16_t Width, uint16_t Height, uint8_t LastIndex, tSWFStream& Target,
                        bool WithAlpha);
  void ExpandPaletteAlpha(uint16_t Width, uint16_t Height);
  void PIX15ToBMP(uint16_t Width, uint16_t Height, tSWFStream& Target);
  void ARGBToBMP(uint16_t Width, uint16_t Height, bool WithAlpha, tSWFStream& Target);

  // Alpha plane of the last conversion with alpha (one byte per pixel, bottom row first).
  tSWFStream& ConverterAlpha() { return *FConverterAlpha; }
  void DropConverterAlpha() { FConverterAlpha = std::make_unique<tSWFStream>(); }

  // 256 entries of blue, green, red, alpha.
  uint8_t PaletteTable[256][4] = {};
  void ResetPaletteAlpha();  // every alpha byte := 255

 private:
  std::string FWorkDir;
  std::unique_ptr<tSWFStream> FConverterAlpha;
};

// ---------------------------------------------------------------------------
// Picture decoding and alpha composition
// ---------------------------------------------------------------------------

// Decodes a JPEG (any colour space libjpeg accepts, grayscale included) into a
// 24-bit RGB image. Throws EPictureError with the decoder's message on failure.
QImage DecodeJPEG(const uint8_t* Data, size_t Size);
QImage DecodeJPEGFile(const std::string& FileName);

// Writes Image (RGB) as a PNG of colour type 6 whose alpha comes from Plane
// (Width x Height bytes, top row first unless BottomUp). A palette image is
// written as colour type 3 with every entry opaque and the plane unused.
// Throws EPictureError; never leaves a half-written file behind.
void WritePNGWithAlpha(const QImage& Image, const uint8_t* Plane, size_t PlaneSize, bool BottomUp,
                       const std::string& PngFile);

// DefineBitsJPEG3: WorkDir + SourceName (JPEG) with the zlib alpha in
// WorkDir + "alpha"; rewrites "alpha" expanded. Throws EPictureError.
void JPEGAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                    const std::string& PngFile);
// DefineBitsLossless2: WorkDir + SourceName (BMP) with the plain alpha in
// WorkDir + "alpha", bottom row first. Throws EPictureError.
void BMPAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                   const std::string& PngFile);

// ---------------------------------------------------------------------------
// Picture list, workspace, extraction, export, rendering
// (declared below by the extraction driver)
// ---------------------------------------------------------------------------
