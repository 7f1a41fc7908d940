#include "tests/support/MovieBuilder.h"

#include <jpeglib.h>
#include <lzma.h>
#include <png.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "swf/D_Storages.h"
#include "swf/I_Header.h"

TBytes BmpHeader(uint32_t PixelOffset, uint32_t Width, uint32_t Height, uint16_t BitsPerPixel) {
  TBytes Out = {'B', 'M'};
  for (uint32_t Value :
       {0u, 0u, PixelOffset, 40u, Width, Height, 1u | uint32_t(BitsPerPixel) << 16})
    for (int i = 0; i < 4; ++i) Out.push_back(uint8_t(Value >> (8 * i)));
  Out.resize(54, 0);
  return Out;
}

TBytes Zlib(const TBytes& Data, int Level) {
  uLongf Length = compressBound(Data.size());
  TBytes Out(Length);
  if (compress2(Out.data(), &Length, Data.data(), Data.size(), Level) != Z_OK)
    throw std::runtime_error("zlib compression failed");
  Out.resize(Length);
  return Out;
}

TBytes ZlibWithZeros(const TBytes& Head, size_t Zeros) {
  TBytes Out;
  z_stream Z{};
  deflateInit(&Z, Z_BEST_SPEED);
  static const TBytes Chunk(1 << 20, 0);
  uint8_t Buffer[1 << 16];
  const auto Feed = [&](const uint8_t* Data, size_t Size, int Flush) {
    Z.next_in = const_cast<uint8_t*>(Data);
    Z.avail_in = uInt(Size);
    do {
      Z.next_out = Buffer;
      Z.avail_out = sizeof Buffer;
      deflate(&Z, Flush);
      Out.insert(Out.end(), Buffer, Buffer + (sizeof Buffer - Z.avail_out));
    } while (Z.avail_out == 0);
  };
  Feed(Head.data(), Head.size(), Zeros ? Z_NO_FLUSH : Z_FINISH);
  for (size_t Left = Zeros; Left > 0;) {
    const size_t Take = std::min(Left, Chunk.size());
    Left -= Take;
    Feed(Chunk.data(), Take, Left ? Z_NO_FLUSH : Z_FINISH);
  }
  deflateEnd(&Z);
  return Out;
}

TBytes ExpandingMovie(const TBytes& BodyStart, uint32_t Zeros) {
  TBytes Head = BodyStart;
  const uint8_t Record[6] = {uint8_t(63 | (1000 << 6)), uint8_t(1000 >> 2), uint8_t(Zeros),
                             uint8_t(Zeros >> 8), uint8_t(Zeros >> 16), uint8_t(Zeros >> 24)};
  Head.insert(Head.end(), Record, Record + 6);
  const uint32_t Length = uint32_t(8 + Head.size() + Zeros);
  TBytes Out = {'C', 'W', 'S', 10, uint8_t(Length), uint8_t(Length >> 8), uint8_t(Length >> 16),
                uint8_t(Length >> 24)};
  const TBytes Body = ZlibWithZeros(Head, Zeros);
  Out.insert(Out.end(), Body.begin(), Body.end());
  return Out;
}

namespace {

void PutUI16(TBytes& Out, uint16_t Value) {
  Out.push_back(uint8_t(Value));
  Out.push_back(uint8_t(Value >> 8));
}

void PutUI32(TBytes& Out, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Out.push_back(uint8_t(Value >> (8 * i)));
}

void Append(TBytes& Out, const TBytes& More) {
  Out.insert(Out.end(), More.begin(), More.end());
}

TBytes WithId(uint16_t Id, const TBytes& Data) {
  TBytes Body;
  PutUI16(Body, Id);
  Append(Body, Data);
  return Body;
}

}  // namespace

TMovieBuilder::TMovieBuilder(bool Compressed, uint8_t Version)
    : FCompressed(Compressed), FVersion(Version) {}

TMovieBuilder& TMovieBuilder::Tag(uint16_t Code, const TBytes& Body, bool LongHeader) {
  if (Body.size() >= 63 || LongHeader) {
    PutUI16(FRecords, uint16_t(Code << 6 | 63));
    PutUI32(FRecords, uint32_t(Body.size()));
  } else {
    PutUI16(FRecords, uint16_t(Code << 6 | Body.size()));
  }
  Append(FRecords, Body);
  return *this;
}

TMovieBuilder& TMovieBuilder::Raw(const TBytes& Bytes) {
  Append(FRecords, Bytes);
  return *this;
}

TMovieBuilder& TMovieBuilder::JPEGTables(const TBytes& Tables) {
  return Tag(8, Tables);
}

TMovieBuilder& TMovieBuilder::DefineBits(uint16_t Id, const TBytes& Data) {
  return Tag(6, WithId(Id, Data));
}

TMovieBuilder& TMovieBuilder::DefineBitsJPEG2(uint16_t Id, const TBytes& Data) {
  return Tag(21, WithId(Id, Data));
}

TMovieBuilder& TMovieBuilder::DefineBitsJPEG3(uint16_t Id, const TBytes& Jpeg,
                                              const TBytes& Alpha) {
  return Tag(35, JPEG3Body(Id, Jpeg, Alpha));
}

TMovieBuilder& TMovieBuilder::DefineBitsJPEG4(uint16_t Id, const TBytes& Jpeg, const TBytes& Alpha,
                                              uint16_t Deblocking) {
  return Tag(90, JPEG4Body(Id, Jpeg, Alpha, Deblocking));
}

TMovieBuilder& TMovieBuilder::DefineBitsLossless(uint16_t Id, uint8_t Format, uint16_t Width,
                                                 uint16_t Height, const TBytes& Pixels,
                                                 uint8_t ColorTableSize) {
  return Tag(20, LosslessBody(Id, Format, Width, Height, Pixels, ColorTableSize));
}

TMovieBuilder& TMovieBuilder::DefineBitsLossless2(uint16_t Id, uint8_t Format, uint16_t Width,
                                                  uint16_t Height, const TBytes& Pixels,
                                                  uint8_t ColorTableSize) {
  return Tag(36, LosslessBody(Id, Format, Width, Height, Pixels, ColorTableSize));
}

TMovieBuilder& TMovieBuilder::End() {
  return Tag(0, {});
}

TBytes TMovieBuilder::Build() const {
  tSWFStream Movie;
  tHeaderItem Header(0, 255);
  Header.SetCompressed(FCompressed);
  Header.SetVersion(FVersion);
  Header.GetFrame().SetXmax(11000);
  Header.GetFrame().SetYmax(8000);
  Header.SetFrameRate(24.0f);
  Header.Write(Movie);
  Movie.WriteUI16(1);  // frame count
  if (!FRecords.empty()) Movie.WriteBytes(FRecords.data(), uint32_t(FRecords.size()));
  if (!Header.MakeCompleteSWF(Movie)) throw std::runtime_error("MakeCompleteSWF failed");
  const uint8_t* Data = Movie.Buffer();
  return TBytes(Data, Data + Movie.Size());
}

TBytes TMovieBuilder::BuildLzma(bool EndMarker) const {
  TMovieBuilder Plain(*this);
  Plain.FCompressed = false;
  return LzmaMovie(Plain.Build(), EndMarker);
}

TBytes LzmaMovie(const TBytes& Plain, bool EndMarker) {
  if (Plain.size() < 8 || Plain[0] != 'F') throw std::runtime_error("not a plain movie");
  lzma_options_lzma Options{};
  if (lzma_lzma_preset(&Options, LZMA_PRESET_DEFAULT)) throw std::runtime_error("no LZMA preset");
  // LZMA1 always writes the end marker; LZMA1EXT without flags never does.
  lzma_filter Filters[2] = {{EndMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &Options},
                            {LZMA_VLI_UNKNOWN, nullptr}};
  uint8_t Properties[5];
  if (lzma_properties_encode(&Filters[0], Properties) != LZMA_OK)
    throw std::runtime_error("LZMA properties not encoded");
  lzma_stream Lz = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&Lz, Filters) != LZMA_OK) throw std::runtime_error("no LZMA encoder");
  TBytes Raw(Plain.size() + Plain.size() / 2 + 4096);
  Lz.next_in = Plain.data() + 8;
  Lz.avail_in = Plain.size() - 8;
  Lz.next_out = Raw.data();
  Lz.avail_out = Raw.size();
  lzma_ret Result = lzma_code(&Lz, LZMA_FINISH);
  Raw.resize(Lz.total_out);
  lzma_end(&Lz);
  if (Result != LZMA_STREAM_END) throw std::runtime_error("LZMA compression failed");

  TBytes Movie(Plain.begin(), Plain.begin() + 8);
  Movie[0] = 'Z';
  PutUI32(Movie, uint32_t(Raw.size()));
  Movie.insert(Movie.end(), Properties, Properties + 5);
  Append(Movie, Raw);
  return Movie;
}

void TMovieBuilder::Save(const std::string& FileName) const {
  WriteFileBytes(FileName, Build());
}

TBytes JPEG4Body(uint16_t Id, const TBytes& Jpeg, const TBytes& Alpha, uint16_t Deblocking) {
  TBytes Body;
  PutUI16(Body, Id);
  PutUI32(Body, uint32_t(Jpeg.size()));
  PutUI16(Body, Deblocking);
  Append(Body, Jpeg);
  Append(Body, Zlib(Alpha));
  return Body;
}

TBytes JPEG3Body(uint16_t Id, const TBytes& Jpeg, const TBytes& Alpha) {
  TBytes Body;
  PutUI16(Body, Id);
  PutUI32(Body, uint32_t(Jpeg.size()));
  Append(Body, Jpeg);
  Append(Body, Zlib(Alpha));
  return Body;
}

TBytes BinaryDataBody(uint16_t Id, const TBytes& Data) {
  TBytes Body;
  PutUI16(Body, Id);
  PutUI32(Body, 0);
  Append(Body, Data);
  return Body;
}

TBytes NamesBody(const std::vector<std::pair<uint16_t, std::string>>& Pairs) {
  TBytes Body;
  PutUI16(Body, uint16_t(Pairs.size()));
  for (const auto& [Id, Name] : Pairs) {
    PutUI16(Body, Id);
    Body.insert(Body.end(), Name.begin(), Name.end());
    Body.push_back(0);
  }
  return Body;
}

TBytes LosslessBody(uint16_t Id, uint8_t Format, uint16_t Width, uint16_t Height,
                    const TBytes& Pixels, uint8_t ColorTableSize) {
  TBytes Body;
  PutUI16(Body, Id);
  Body.push_back(Format);
  PutUI16(Body, Width);
  PutUI16(Body, Height);
  if (Format == 3) Body.push_back(ColorTableSize);
  Append(Body, Zlib(Pixels));
  return Body;
}

TBytes ColorMappedData(const TBytes& Palette, const TBytes& Indices, uint16_t Width,
                       uint16_t Height) {
  TBytes Out = Palette;
  size_t Row = (Width + 3u) / 4 * 4;
  for (size_t y = 0; y < Height; ++y) {
    for (size_t x = 0; x < Row; ++x) Out.push_back(x < Width ? Indices.at(y * Width + x) : 0);
  }
  return Out;
}

TBytes Pix15Data(const std::vector<uint16_t>& Pixels, uint16_t Width, uint16_t Height) {
  TBytes Out;
  size_t Row = (Width + 1u) / 2 * 2;
  for (size_t y = 0; y < Height; ++y) {
    for (size_t x = 0; x < Row; ++x) {
      uint16_t Value = x < Width ? Pixels.at(y * Width + x) : 0;
      Out.push_back(uint8_t(Value >> 8));
      Out.push_back(uint8_t(Value));
    }
  }
  return Out;
}

TBytes ARGBData(const std::vector<uint32_t>& Pixels) {
  TBytes Out;
  for (uint32_t P : Pixels) {
    Out.push_back(uint8_t(P >> 24));
    Out.push_back(uint8_t(P >> 16));
    Out.push_back(uint8_t(P >> 8));
    Out.push_back(uint8_t(P));
  }
  return Out;
}

TRgbPicture Pattern(int Width, int Height, int Seed) {
  TRgbPicture P{Width, Height, TBytes(size_t(Width) * Height * 3)};
  for (int y = 0; y < Height; ++y) {
    for (int x = 0; x < Width; ++x) {
      uint8_t* Px = &P.Rgb[(size_t(y) * Width + x) * 3];
      Px[0] = uint8_t(x * 255 / (Width > 1 ? Width - 1 : 1) + Seed * 37);
      Px[1] = uint8_t(y * 255 / (Height > 1 ? Height - 1 : 1) + Seed * 11);
      Px[2] = uint8_t((x + y) * 4 + Seed * 71);
    }
  }
  return P;
}

namespace {

struct TJpegError {
  jpeg_error_mgr Manager;
  jmp_buf Jump;
};

void JpegFail(j_common_ptr Info) {
  longjmp(reinterpret_cast<TJpegError*>(Info->err)->Jump, 1);
}

void JpegSilent(j_common_ptr, int) {}

// A compressor writing into memory; the caller configures and finishes it.
struct TCompressor {
  jpeg_compress_struct Info{};
  TJpegError Error{};
  unsigned char* Out = nullptr;
  unsigned long OutSize = 0;

  TCompressor() {
    Info.err = jpeg_std_error(&Error.Manager);
    Error.Manager.error_exit = JpegFail;
    jpeg_create_compress(&Info);
  }
  ~TCompressor() {
    jpeg_destroy_compress(&Info);
    free(Out);
  }
  TBytes Take() {
    TBytes Result(Out, Out + OutSize);
    free(Out);
    Out = nullptr;
    OutSize = 0;
    return Result;
  }
};

void Setup(TCompressor& C, const TRgbPicture& Picture, int Quality, bool Gray) {
  C.Info.image_width = JDIMENSION(Picture.Width);
  C.Info.image_height = JDIMENSION(Picture.Height);
  C.Info.input_components = 3;
  C.Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&C.Info);
  if (Gray) jpeg_set_colorspace(&C.Info, JCS_GRAYSCALE);
  jpeg_set_quality(&C.Info, Quality, TRUE);
}

void WriteScanlines(TCompressor& C, const TRgbPicture& Picture) {
  while (C.Info.next_scanline < C.Info.image_height) {
    JSAMPROW Row =
        const_cast<JSAMPROW>(&Picture.Rgb[size_t(C.Info.next_scanline) * Picture.Width * 3]);
    jpeg_write_scanlines(&C.Info, &Row, 1);
  }
  jpeg_finish_compress(&C.Info);
}

}  // namespace

TBytes EncodeJPEG(const TRgbPicture& Picture, int Quality, bool Gray, bool Progressive) {
  TCompressor C;
  if (setjmp(C.Error.Jump)) throw std::runtime_error("JPEG encoding failed");
  jpeg_mem_dest(&C.Info, &C.Out, &C.OutSize);
  Setup(C, Picture, Quality, Gray);
  if (Progressive) jpeg_simple_progression(&C.Info);
  jpeg_start_compress(&C.Info, TRUE);
  WriteScanlines(C, Picture);
  return C.Take();
}

std::pair<TBytes, TBytes> EncodeJPEGTablesAndImage(const TRgbPicture& Picture, int Quality) {
  TCompressor C;
  if (setjmp(C.Error.Jump)) throw std::runtime_error("JPEG encoding failed");
  Setup(C, Picture, Quality, false);
  jpeg_mem_dest(&C.Info, &C.Out, &C.OutSize);
  jpeg_write_tables(&C.Info);  // marks the tables as sent
  TBytes Tables = C.Take();
  jpeg_mem_dest(&C.Info, &C.Out, &C.OutSize);
  jpeg_start_compress(&C.Info, FALSE);  // abbreviated image: no tables
  WriteScanlines(C, Picture);
  return {Tables, C.Take()};
}

bool DecodesAsJPEG(const TBytes& Data, int* Width, int* Height) {
  if (Data.empty()) return false;
  jpeg_decompress_struct Info{};
  TJpegError Error{};
  Info.err = jpeg_std_error(&Error.Manager);
  Error.Manager.error_exit = JpegFail;
  Error.Manager.emit_message = JpegSilent;
  std::vector<uint8_t> Row;
  if (setjmp(Error.Jump)) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  jpeg_create_decompress(&Info);
  jpeg_mem_src(&Info, Data.data(), Data.size());
  jpeg_read_header(&Info, TRUE);
  jpeg_start_decompress(&Info);
  Row.resize(size_t(Info.output_width) * Info.output_components);
  while (Info.output_scanline < Info.output_height) {
    JSAMPROW P = Row.data();
    jpeg_read_scanlines(&Info, &P, 1);
  }
  if (Width) *Width = int(Info.output_width);
  if (Height) *Height = int(Info.output_height);
  jpeg_finish_decompress(&Info);
  jpeg_destroy_decompress(&Info);
  return true;
}

TBytes EncodePNG(int Width, int Height, const TBytes& Rgba) {
  if (Rgba.size() != size_t(Width) * size_t(Height) * 4)
    throw std::runtime_error("EncodePNG: wrong pixel count");
  png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = Png ? png_create_info_struct(Png) : nullptr;
  TBytes Out;
  if (!Png || !Info || setjmp(png_jmpbuf(Png))) {
    png_destroy_write_struct(&Png, &Info);
    throw std::runtime_error("EncodePNG failed");
  }
  png_set_write_fn(
      Png, &Out,
      [](png_structp P, png_bytep Data, png_size_t Length) {
        auto* Bytes = static_cast<TBytes*>(png_get_io_ptr(P));
        Bytes->insert(Bytes->end(), Data, Data + Length);
      },
      nullptr);
  png_set_IHDR(Png, Info, png_uint_32(Width), png_uint_32(Height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(Png, Info);
  for (int y = 0; y < Height; ++y)
    png_write_row(Png, const_cast<png_bytep>(Rgba.data() + size_t(y) * size_t(Width) * 4));
  png_write_end(Png, Info);
  png_destroy_write_struct(&Png, &Info);
  return Out;
}

TBytes EncodeGIF(int Width, int Height, const TBytes& Palette, const TBytes& Indices,
                 int Transparent) {
  TBytes Out = {'G', 'I', 'F', '8', '9', 'a'};
  PutUI16(Out, uint16_t(Width));
  PutUI16(Out, uint16_t(Height));
  Out.insert(Out.end(), {0xF7, 0, 0});  // a global table of 256 entries
  for (size_t i = 0; i < 256 * 3; ++i) Out.push_back(i < Palette.size() ? Palette[i] : 0);
  if (Transparent >= 0 && Transparent < 256)
    Out.insert(Out.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(Transparent), 0});
  Out.push_back(0x2C);
  PutUI16(Out, 0);
  PutUI16(Out, 0);
  PutUI16(Out, uint16_t(Width));
  PutUI16(Out, uint16_t(Height));
  Out.push_back(0);
  // LZW of literals only: 9-bit codes, the table cleared long before it
  // would need wider ones.
  Out.push_back(8);
  TBytes Codes;
  uint32_t Bits = 0, Held = 0;
  const auto Emit = [&](uint32_t Code) {
    Bits |= Code << Held;
    Held += 9;
    while (Held >= 8) {
      Codes.push_back(uint8_t(Bits));
      Bits >>= 8;
      Held -= 8;
    }
  };
  for (size_t i = 0; i < Indices.size(); ++i) {
    if (i % 250 == 0) Emit(256);
    Emit(Indices[i]);
  }
  Emit(257);
  if (Held > 0) Codes.push_back(uint8_t(Bits));
  for (size_t At = 0; At < Codes.size(); At += 255) {
    const size_t Count = std::min<size_t>(255, Codes.size() - At);
    Out.push_back(uint8_t(Count));
    Out.insert(Out.end(), Codes.begin() + long(At), Codes.begin() + long(At + Count));
  }
  Out.push_back(0);
  Out.push_back(0x3B);
  return Out;
}

TPngImage ReadPNG(const std::string& FileName) {
  FILE* File = std::fopen(FileName.c_str(), "rb");
  if (!File) throw std::runtime_error("cannot open " + FileName);
  png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = Png ? png_create_info_struct(Png) : nullptr;
  TPngImage Image;
  if (!Png || !Info || setjmp(png_jmpbuf(Png))) {
    png_destroy_read_struct(&Png, &Info, nullptr);
    std::fclose(File);
    throw std::runtime_error("not a readable PNG: " + FileName);
  }
  png_init_io(Png, File);
  png_read_png(Png, Info, PNG_TRANSFORM_IDENTITY, nullptr);
  Image.Width = png_get_image_width(Png, Info);
  Image.Height = png_get_image_height(Png, Info);
  Image.ColorType = png_get_color_type(Png, Info);
  Image.BitDepth = png_get_bit_depth(Png, Info);
  Image.Channels = png_get_channels(Png, Info);
  Image.HasTRNS = png_get_valid(Png, Info, PNG_INFO_tRNS) != 0;
  png_bytepp Rows = png_get_rows(Png, Info);
  size_t RowBytes = png_get_rowbytes(Png, Info);
  for (uint32_t y = 0; y < Image.Height; ++y) Image.Rows.emplace_back(Rows[y], Rows[y] + RowBytes);
  png_destroy_read_struct(&Png, &Info, nullptr);
  std::fclose(File);
  return Image;
}

TBytes ReadFileBytes(const std::string& FileName) {
  std::ifstream In(FileName, std::ios::binary);
  if (!In) return {};
  return TBytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const std::string& FileName) {
  std::ifstream In(FileName, std::ios::binary);
  std::vector<std::string> Lines;
  for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
  return Lines;
}

void WriteFileBytes(const std::string& FileName, const TBytes& Data) {
  std::ofstream Out(FileName, std::ios::binary | std::ios::trunc);
  Out.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
  if (!Out) throw std::runtime_error("cannot write " + FileName);
}

bool FileExists(const std::string& FileName) {
  struct stat St;
  return stat(FileName.c_str(), &St) == 0 && S_ISREG(St.st_mode);
}

bool IsDirectory(const std::string& Path) {
  struct stat St;
  return stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

std::set<std::string> FilesBelow(const std::string& Folder) {
  std::set<std::string> Names;
  for (const auto& E : std::filesystem::recursive_directory_iterator(Folder)) {
    std::string Name = std::filesystem::relative(E.path(), Folder).string();
    Names.insert(E.is_directory() ? Name + "/" : Name);
  }
  return Names;
}

TTempDir::TTempDir() {
  std::string Pattern = (std::filesystem::temp_directory_path() / "quillory-test-XXXXXX").string();
  if (!mkdtemp(Pattern.data())) throw std::runtime_error("mkdtemp failed");
  FPath = Pattern + "/";
}

TTempDir::~TTempDir() {
  std::error_code Ignored;
  std::filesystem::remove_all(FPath, Ignored);
}
