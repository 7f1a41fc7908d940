// Test support: small SWF movies built in the test with the framework's own
// writers, picture payloads, a JPEG encoder, an LZMA compressor, a PNG reader and
// scratch folders.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

using TBytes = std::vector<uint8_t>;

// zlib stream of Data at the given level.
TBytes Zlib(const TBytes& Data, int Level = 9);

// zlib of Head followed by Zeros zero bytes, compressed in steps, so no
// buffer of that size is ever held.
TBytes ZlibWithZeros(const TBytes& Head, size_t Zeros);

// A zlib movie (CWS, version 10) whose body is BodyStart (a frame header and
// any records) followed by one unknown record of Zeros zero bytes,
// compressed as it is made, so no buffer of that size is ever held.
TBytes ExpandingMovie(const TBytes& BodyStart, uint32_t Zeros);

// The 54 header bytes every BMP the converters write starts with, built
// independently of them.
TBytes BmpHeader(uint32_t PixelOffset, uint32_t Width, uint32_t Height, uint16_t BitsPerPixel);

// A movie: the header (tHeaderItem), the frame count, the records written
// in order with hand-made record headers, finished by MakeCompleteSWF.
class TMovieBuilder {
 public:
  explicit TMovieBuilder(bool Compressed = false, uint8_t Version = 8);

  // Any record; the long header form is used for bodies of 63 bytes or more,
  // or when asked.
  TMovieBuilder& Tag(uint16_t Code, const TBytes& Body, bool LongHeader = false);
  // Raw bytes after the records written so far (for damaged movies).
  TMovieBuilder& Raw(const TBytes& Bytes);

  TMovieBuilder& JPEGTables(const TBytes& Tables);
  // Body: the character ID, then Data (which normally starts with 0xFF 0xD8).
  TMovieBuilder& DefineBits(uint16_t Id, const TBytes& Data);
  TMovieBuilder& DefineBitsJPEG2(uint16_t Id, const TBytes& Data);
  // Alpha: the plain plane (top row first); it is compressed here.
  TMovieBuilder& DefineBitsJPEG3(uint16_t Id, const TBytes& Jpeg, const TBytes& Alpha);
  // As DefineBitsJPEG3, with a deblocking value (8.8 fixed point) after the count.
  TMovieBuilder& DefineBitsJPEG4(uint16_t Id, const TBytes& Jpeg, const TBytes& Alpha,
                                 uint16_t Deblocking = 0x0100);
  // Pixels: the bitmap data as it inflates (see the *Data helpers below).
  TMovieBuilder& DefineBitsLossless(uint16_t Id, uint8_t Format, uint16_t Width, uint16_t Height,
                                    const TBytes& Pixels, uint8_t ColorTableSize = 0);
  TMovieBuilder& DefineBitsLossless2(uint16_t Id, uint8_t Format, uint16_t Width, uint16_t Height,
                                     const TBytes& Pixels, uint8_t ColorTableSize = 0);
  TMovieBuilder& End();

  TBytes Build() const;
  // The same movie as an LZMA movie (see LzmaMovie), whatever the builder's
  // compression.
  TBytes BuildLzma(bool EndMarker = false) const;
  // Writes the movie; throws std::runtime_error when the file cannot be written.
  void Save(const std::string& FileName) const;

 private:
  bool FCompressed;
  uint8_t FVersion;
  TBytes FRecords;
};

// liblzma's LZMA1 compressor: an LZMA movie ("ZWS") from a plain one. The
// first 8 bytes stay as they are but for the signature; then come the length
// of the raw stream, the five property bytes and the raw stream, which ends
// with an end marker when asked.
TBytes LzmaMovie(const TBytes& Plain, bool EndMarker = false);

// Record bodies, for tests that look at blocks.
TBytes JPEG3Body(uint16_t Id, const TBytes& Jpeg, const TBytes& Alpha);
TBytes JPEG4Body(uint16_t Id, const TBytes& Jpeg, const TBytes& Alpha, uint16_t Deblocking);
TBytes LosslessBody(uint16_t Id, uint8_t Format, uint16_t Width, uint16_t Height,
                    const TBytes& Pixels, uint8_t ColorTableSize);
// A DefineBinaryData body: the character ID, a reserved UI32, the data.
TBytes BinaryDataBody(uint16_t Id, const TBytes& Data);
// A SymbolClass or ExportAssets body: a count, then ID and zero-terminated name pairs.
TBytes NamesBody(const std::vector<std::pair<uint16_t, std::string>>& Pairs);

// Inflated bitmap data.
// Colour-mapped: Palette holds RGB (or RGBA when WithAlpha) entries; Indices
// holds Width x Height indices, top row first; rows are padded to 4 bytes.
TBytes ColorMappedData(const TBytes& Palette, const TBytes& Indices, uint16_t Width,
                       uint16_t Height);
// 15-bit: Width x Height values 0RRRRRGGGGGBBBBB, stored big-endian, rows
// padded to an even number of pixels.
TBytes Pix15Data(const std::vector<uint16_t>& Pixels, uint16_t Width, uint16_t Height);
// 32-bit: Width x Height pixels as 0xAARRGGBB, stored A, R, G, B.
TBytes ARGBData(const std::vector<uint32_t>& Pixels);

// An RGB picture, 3 bytes per pixel, top row first.
struct TRgbPicture {
  int Width = 0, Height = 0;
  TBytes Rgb;
};
// A smooth test pattern of the given size.
TRgbPicture Pattern(int Width, int Height, int Seed = 0);

// libjpeg's compressor: a complete JPEG (baseline, 4:2:0 unless Gray).
TBytes EncodeJPEG(const TRgbPicture& Picture, int Quality = 85, bool Gray = false,
                  bool Progressive = false);
// The same picture split as DefineBits movies store it: the tables-only
// stream (SOI, tables, EOI) and the abbreviated image stream (SOI ... EOI).
std::pair<TBytes, TBytes> EncodeJPEGTablesAndImage(const TRgbPicture& Picture, int Quality = 85);

// libpng's compressor: a PNG of colour type 6 from Width x Height RGBA
// pixels, top row first.
TBytes EncodePNG(int Width, int Height, const TBytes& Rgba);
// A GIF89a file: a 256-entry colour table made from Palette (RGB triples,
// the rest black), Width x Height indices top row first, and one transparent
// index when Transparent is 0..255.
TBytes EncodeGIF(int Width, int Height, const TBytes& Palette, const TBytes& Indices,
                 int Transparent = -1);

// libjpeg's decoder, for checks: true when Data decodes without error.
bool DecodesAsJPEG(const TBytes& Data, int* Width = nullptr, int* Height = nullptr);

// libpng's reader: the image as stored (no transformation). Throws
// std::runtime_error when the file is not a readable PNG.
struct TPngImage {
  uint32_t Width = 0, Height = 0;
  int ColorType = -1, BitDepth = 0, Channels = 0;
  std::vector<TBytes> Rows;
  bool HasTRNS = false;
};
TPngImage ReadPNG(const std::string& FileName);

TBytes ReadFileBytes(const std::string& FileName);  // empty when missing
std::vector<std::string> ReadLines(const std::string& FileName);  // without their line ends
void WriteFileBytes(const std::string& FileName, const TBytes& Data);
bool FileExists(const std::string& FileName);
bool IsDirectory(const std::string& Path);
// Every file and folder below Folder, relative to it (folders end in "/"):
// what a step left behind shows as a difference.
std::set<std::string> FilesBelow(const std::string& Folder);

// A private scratch folder (mkdtemp), removed with everything in it.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return FPath; }  // ends in "/"

 private:
  std::string FPath;
};
