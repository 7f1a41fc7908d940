// quillory-bench: builds a large movie holding every kind of picture, then
// times the walk that fills the picture list and Save all, with the peak
// memory of each, against a floor measured in the same run: loading and
// inflating the movie's zlib data and writing the output bytes. An LZMA movie
// is also timed against liblzma's decoding of its body plus the walk of the
// same movie already expanded.
#include <fcntl.h>
#include <spawn.h>
#include <lzma.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <string>
#include <vector>

#include "extract/Scripts.h"
#include "extract/Workers.h"
#include "swf/D_Storages.h"
#include "swf/F_Macromedia.h"
#include "swf/I_Header.h"

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;
using TClock = std::chrono::steady_clock;

namespace {

// ---------------------------------------------------------------------------
// Picture content
// ---------------------------------------------------------------------------

struct TRandom {
  uint64_t State;
  uint32_t Next() {
    State ^= State << 13;
    State ^= State >> 7;
    State ^= State << 17;
    return uint32_t(State);
  }
};

// A photo-like RGB picture: smooth shapes with grain, which keeps JPEG and
// zlib output large, as camera pictures are.
TBytes PhotoRGB(int Width, int Height, uint32_t Seed, int Grain) {
  TBytes Rgb(size_t(Width) * Height * 3);
  TRandom R{0x9E3779B97F4A7C15ull ^ Seed};
  uint8_t* P = Rgb.data();
  for (int y = 0; y < Height; ++y) {
    for (int x = 0; x < Width; ++x) {
      uint32_t N = R.Next();
      int G = Grain ? int(N % uint32_t(2 * Grain + 1)) - Grain : 0;
      int Base[3] = {(x * 255 / Width + int(Seed) * 29), (y * 255 / Height + int(Seed) * 53),
                     ((x ^ y) & 0xFF)};
      for (int c = 0; c < 3; ++c) *P++ = uint8_t(std::clamp(Base[c] % 256 + G, 0, 255));
    }
  }
  return Rgb;
}

TBytes Deflate(const uint8_t* Data, size_t Size, int Level) {
  uLongf Length = compressBound(Size);
  TBytes Out(Length);
  if (compress2(Out.data(), &Length, Data, Size, Level) != Z_OK) {
    std::fprintf(stderr, "zlib refused to compress\n");
    std::exit(1);
  }
  Out.resize(Length);
  return Out;
}

struct TJpegError {
  jpeg_error_mgr Manager;
  jmp_buf Jump;
};

[[noreturn]] void JpegFail(j_common_ptr Info) {
  char Text[JMSG_LENGTH_MAX];
  Info->err->format_message(Info, Text);
  std::fprintf(stderr, "JPEG encoder: %s\n", Text);
  std::exit(1);
}

// libjpeg's compressor into memory. With Abbreviated, Tables receives the
// tables-only stream (as JPEGTables holds it) and the image omits them (as
// DefineBits holds it).
TBytes EncodeJPEG(const TBytes& Rgb, int Width, int Height, int Quality, bool Abbreviated,
                  TBytes* Tables = nullptr) {
  jpeg_compress_struct Info{};
  jpeg_error_mgr Error{};
  Info.err = jpeg_std_error(&Error);
  Error.error_exit = JpegFail;
  jpeg_create_compress(&Info);
  Info.image_width = JDIMENSION(Width);
  Info.image_height = JDIMENSION(Height);
  Info.input_components = 3;
  Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&Info);
  jpeg_set_quality(&Info, Quality, TRUE);
  unsigned char* Out = nullptr;
  unsigned long OutSize = 0;
  if (Abbreviated) {
    jpeg_mem_dest(&Info, &Out, &OutSize);
    jpeg_write_tables(&Info);
    if (Tables) Tables->assign(Out, Out + OutSize);
    free(Out);
    Out = nullptr;
    OutSize = 0;
  }
  jpeg_mem_dest(&Info, &Out, &OutSize);
  jpeg_start_compress(&Info, Abbreviated ? FALSE : TRUE);
  while (Info.next_scanline < Info.image_height) {
    JSAMPROW Row = const_cast<JSAMPROW>(&Rgb[size_t(Info.next_scanline) * Width * 3]);
    jpeg_write_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_compress(&Info);
  TBytes Result(Out, Out + OutSize);
  free(Out);
  jpeg_destroy_compress(&Info);
  return Result;
}

// ---------------------------------------------------------------------------
// The movie
// ---------------------------------------------------------------------------

enum TKind {
  kDefineBits,
  kJPEG2,
  kJPEG3,
  kLossless3,
  kLossless4,
  kLossless5,
  kLossless2_3,
  kLossless2_5,
  kKinds
};
const char* const KindNames[kKinds] = {
    "DefineBits",      "DefineBitsJPEG2", "DefineBitsJPEG3",         "Lossless colour-mapped",
    "Lossless 15-bit", "Lossless 32-bit", "Lossless2 colour-mapped", "Lossless2 32-bit"};

// How the movie's body is stored.
enum TPacking { kPlain, kZlib, kLZMA };
const char* const PackingNames[] = {"plain", "compressed", "LZMA"};

struct TMovieFacts {
  int Pictures = 0;
  int Big = 0;
  int PerKind[kKinds] = {};
  uint64_t FileSize = 0, Expanded = 0, LosslessInflated = 0;
};

// liblzma's LZMA1 compressor at a fast preset: an LZMA movie ("ZWS") with
// the first 8 bytes of the plain movie in Movie, the raw stream's length, its
// five property bytes, then the stream (no end marker).
bool SaveAsLZMA(const tSWFStream& Movie, const std::string& FileName) {
  lzma_options_lzma Options{};
  if (lzma_lzma_preset(&Options, 1)) return false;
  lzma_filter Filters[2] = {{LZMA_FILTER_LZMA1EXT, &Options}, {LZMA_VLI_UNKNOWN, nullptr}};
  TBytes Out(17);
  if (lzma_properties_encode(&Filters[0], Out.data() + 12) != LZMA_OK) return false;
  lzma_stream Lz = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&Lz, Filters) != LZMA_OK) return false;
  const uint8_t* Data = Movie.Buffer();
  std::memcpy(Out.data(), Data, 8);
  Out[0] = 'Z';
  Out.resize(17 + size_t(Movie.Size()) + Movie.Size() / 2 + 65536);
  Lz.next_in = Data + 8;
  Lz.avail_in = Movie.Size() - 8;
  Lz.next_out = Out.data() + 17;
  Lz.avail_out = Out.size() - 17;
  lzma_ret Result = lzma_code(&Lz, LZMA_FINISH);
  uint64_t Packed = Lz.total_out;
  lzma_end(&Lz);
  if (Result != LZMA_STREAM_END) return false;
  Out.resize(17 + Packed);
  for (int i = 0; i < 4; ++i) Out[8 + i] = uint8_t(Packed >> (8 * i));
  std::ofstream File(FileName, std::ios::binary);
  File.write(reinterpret_cast<const char*>(Out.data()), std::streamsize(Out.size()));
  return bool(File);
}

class TMovieWriter {
 public:
  explicit TMovieWriter(TPacking Packing) : FPacking(Packing), FHeader(0, 255) {
    FHeader.SetCompressed(Packing == kZlib);
    FHeader.SetVersion(10);
    FHeader.GetFrame().SetXmax(20 * 2000);
    FHeader.GetFrame().SetYmax(20 * 2000);
    FHeader.Write(FMovie);
    FMovie.WriteUI16(1);
  }

  // A record header written by hand, then the body in parts.
  void Record(uint16_t Code, std::initializer_list<const TBytes*> Parts) {
    uint64_t Length = 0;
    for (const TBytes* P : Parts) Length += P->size();
    FMovie.WriteUI16(uint16_t(Code << 6 | 63));
    FMovie.WriteUI32(uint32_t(Length));
    for (const TBytes* P : Parts)
      if (!P->empty()) FMovie.WriteBytes(P->data(), uint32_t(P->size()));
  }

  bool Finish(const std::string& FileName) {
    Record(0, {});
    if (!FHeader.MakeCompleteSWF(FMovie)) return false;
    return FPacking == kLZMA ? SaveAsLZMA(FMovie, FileName) : FMovie.SaveToFile(FileName);
  }

 private:
  TPacking FPacking;
  tHeaderItem FHeader;
  tSWFStream FMovie;
};

TBytes Le(uint32_t Value, int Bytes) {
  TBytes Out;
  for (int i = 0; i < Bytes; ++i) Out.push_back(uint8_t(Value >> (8 * i)));
  return Out;
}

// Inflated lossless data for a kind, from an RGB picture.
TBytes LosslessData(TKind Kind, const TBytes& Rgb, int W, int H, uint32_t Seed) {
  TBytes Data;
  TRandom R{Seed * 7919ull + 1};
  const uint8_t* P = Rgb.data();
  if (Kind == kLossless3 || Kind == kLossless2_3) {
    bool Alpha = Kind == kLossless2_3;
    for (int i = 0; i < 256; ++i) {
      Data.insert(Data.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
      if (Alpha) Data.push_back(uint8_t(i < 16 ? i * 16 : 255));
    }
    int Row = (W + 3) / 4 * 4;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < Row; ++x)
        Data.push_back(x < W ? uint8_t(P[(size_t(y) * W + x) * 3] ^ (R.Next() & 3)) : 0);
  } else if (Kind == kLossless4) {
    int Row = (W + 1) / 2 * 2;
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < Row; ++x) {
        const uint8_t* Px = &P[(size_t(y) * W + std::min(x, W - 1)) * 3];
        uint16_t V = uint16_t((Px[0] >> 3) << 10 | (Px[1] >> 3) << 5 | Px[2] >> 3);
        Data.push_back(uint8_t(V >> 8));
        Data.push_back(uint8_t(V));
      }
    }
  } else {
    bool Alpha = Kind == kLossless2_5;
    Data.resize(size_t(W) * H * 4);
    uint8_t* Out = Data.data();
    for (size_t i = 0; i < size_t(W) * H; ++i) {
      *Out++ = Alpha ? uint8_t((i / W) * 255 / H) : 0xFF;
      *Out++ = P[i * 3];
      *Out++ = P[i * 3 + 1];
      *Out++ = P[i * 3 + 2];
    }
  }
  return Data;
}

TMovieFacts GenerateMovie(const std::string& FileName, int Pictures, TPacking Packing) {
  TMovieFacts Facts;
  TMovieWriter Movie(Packing);
  const int JpegQuality = 90;
  TBytes Tables;
  EncodeJPEG(TBytes(8 * 8 * 3), 8, 8, JpegQuality, true, &Tables);
  Movie.Record(stagJPEGTables, {&Tables});
  for (int i = 0; i < Pictures; ++i) {
    bool Big = i % 50 == 0;
    // Every kind large once in a while; the others at sizes that exercise padding.
    TKind Kind = Big ? TKind((i / 50) % kKinds) : TKind(i % kKinds);
    int W = Big ? 2000 : 480 + i % 5, H = Big ? 2000 : 352 - i % 3;
    uint32_t Seed = uint32_t(i + 1);
    TBytes Rgb = PhotoRGB(W, H, Seed, Big ? 40 : 24);
    TBytes Id = Le(uint32_t(i + 1), 2);
    switch (Kind) {
      case kDefineBits: {
        TBytes Image = EncodeJPEG(Rgb, W, H, JpegQuality, true);
        Movie.Record(stagDefineBits, {&Id, &Image});
        break;
      }
      case kJPEG2: {
        TBytes Jpeg = EncodeJPEG(Rgb, W, H, JpegQuality, false);
        Movie.Record(stagDefineBitsJPEG2, {&Id, &Jpeg});
        break;
      }
      case kJPEG3: {
        TBytes Jpeg = EncodeJPEG(Rgb, W, H, JpegQuality, false);
        TBytes Plane(size_t(W) * H);
        for (size_t p = 0; p < Plane.size(); ++p) Plane[p] = uint8_t((p % W) * 255 / W);
        TBytes Alpha = Deflate(Plane.data(), Plane.size(), 6);
        TBytes Size = Le(uint32_t(Jpeg.size()), 4);
        Movie.Record(stagDefineBitsJPEG3, {&Id, &Size, &Jpeg, &Alpha});
        break;
      }
      default: {
        TBytes Data = LosslessData(Kind, Rgb, W, H, Seed);
        Facts.LosslessInflated += Data.size();
        bool Mapped = Kind == kLossless3 || Kind == kLossless2_3;
        uint8_t Format = Mapped ? 3 : Kind == kLossless4 ? 4 : 5;
        TBytes Fields = {Format};
        TBytes Size = Le(uint32_t(W) | uint32_t(H) << 16, 4);
        Fields.insert(Fields.end(), Size.begin(), Size.end());
        if (Mapped) Fields.push_back(255);
        TBytes Packed = Deflate(Data.data(), Data.size(), 6);
        bool Alpha = Kind == kLossless2_3 || Kind == kLossless2_5;
        Movie.Record(Alpha ? stagDefineBitsLossless2 : stagDefineBitsLossless,
                     {&Id, &Fields, &Packed});
        break;
      }
    }
    ++Facts.Pictures;
    Facts.Big += Big;
    ++Facts.PerKind[Kind];
  }
  if (!Movie.Finish(FileName)) {
    std::fprintf(stderr, "cannot write the movie %s\n", FileName.c_str());
    std::exit(1);
  }
  return Facts;
}

// The movies quillory-extract is timed on from one change to the next:
// start-up dominated and work dominated, one picture kind each, and a batch
// of small banner movies.
bool WriteMovieSet(const std::string& Folder) {
  const int Quality = 90;
  const auto Lossless2 = [](TMovieWriter& Movie, uint16_t Id, TKind Kind, int W, int H) {
    TBytes Rgb = PhotoRGB(W, H, Id, 24);
    TBytes Data = LosslessData(Kind, Rgb, W, H, Id);
    const bool Mapped = Kind == kLossless2_3;
    TBytes Fields = {uint8_t(Mapped ? 3 : 5)};
    TBytes Size = Le(uint32_t(W) | uint32_t(H) << 16, 4);
    Fields.insert(Fields.end(), Size.begin(), Size.end());
    if (Mapped) Fields.push_back(255);
    TBytes Packed = Deflate(Data.data(), Data.size(), 6);
    TBytes IdBytes = Le(Id, 2);
    Movie.Record(stagDefineBitsLossless2, {&IdBytes, &Fields, &Packed});
  };
  const auto Jpeg2 = [&](TMovieWriter& Movie, uint16_t Id, int W, int H) {
    TBytes Jpeg = EncodeJPEG(PhotoRGB(W, H, Id, 24), W, H, Quality, false);
    TBytes IdBytes = Le(Id, 2);
    Movie.Record(stagDefineBitsJPEG2, {&IdBytes, &Jpeg});
  };
  bool Ok = true;
  {
    TMovieWriter Movie(kZlib);
    Lossless2(Movie, 1, kLossless2_5, 1840, 1840);
    Ok = Ok && Movie.Finish(Folder + "lossless-alpha-1840.swf");
  }
  {
    TMovieWriter Movie(kZlib);
    Lossless2(Movie, 1, kLossless2_5, 1200, 900);
    Lossless2(Movie, 2, kLossless2_3, 1200, 900);
    Ok = Ok && Movie.Finish(Folder + "lossless-alpha-two.swf");
  }
  {
    TMovieWriter Movie(kZlib);
    for (uint16_t Id = 1; Id <= 6; ++Id) Jpeg2(Movie, Id, 1024, 768);
    Ok = Ok && Movie.Finish(Folder + "jpeg2-six.swf");
  }
  {
    TMovieWriter Movie(kZlib);
    Jpeg2(Movie, 1, 4000, 3000);
    Ok = Ok && Movie.Finish(Folder + "jpeg2-large.swf");
  }
  {
    TMovieWriter Movie(kZlib);
    TBytes Tables;
    TBytes Image = EncodeJPEG(PhotoRGB(4000, 3000, 7, 24), 4000, 3000, Quality, true, &Tables);
    TBytes IdBytes = Le(1, 2);
    Movie.Record(stagJPEGTables, {&Tables});
    Movie.Record(stagDefineBits, {&IdBytes, &Image});
    Ok = Ok && Movie.Finish(Folder + "definebits-large.swf");
  }
  fs::create_directories(Folder + "small");
  for (int N = 0; N < 30; ++N) {
    TMovieWriter Movie(kZlib);
    Jpeg2(Movie, uint16_t(1 + 3 * N), 300, 250);
    Jpeg2(Movie, uint16_t(2 + 3 * N), 160, 600);
    Lossless2(Movie, uint16_t(3 + 3 * N), kLossless2_5, 120, 90);
    char Name[32];
    std::snprintf(Name, sizeof Name, "small/banner%02d.swf", N);
    Ok = Ok && Movie.Finish(Folder + Name);
  }
  return Ok;
}

// ---------------------------------------------------------------------------
// Measuring
// ---------------------------------------------------------------------------

// Wall-clock and CPU time together: the CPU time is the steadier figure on
// a machine that other work shares.
struct TSpan {
  double Wall = 0, Cpu = 0;
  TSpan& operator+=(TSpan Other) {
    Wall += Other.Wall;
    Cpu += Other.Cpu;
    return *this;
  }
  TSpan operator+(TSpan Other) const { return TSpan(*this) += Other; }
};

double CpuSeconds() {
  timespec T{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
  return double(T.tv_sec) + double(T.tv_nsec) / 1e9;
}

struct TMark {
  TClock::time_point Wall = TClock::now();
  double Cpu = CpuSeconds();
};

TSpan Since(const TMark& From) {
  return {std::chrono::duration<double>(TClock::now() - From.Wall).count(),
          CpuSeconds() - From.Cpu};
}

// Peak resident memory of this process so far, in bytes.
uint64_t PeakMemory() {
  std::ifstream Status("/proc/self/status");
  for (std::string Line; std::getline(Status, Line);)
    if (Line.rfind("VmHWM:", 0) == 0) return std::stoull(Line.substr(6)) * 1024;
  return 0;
}

double MiB(uint64_t Bytes) {
  return double(Bytes) / (1024.0 * 1024.0);
}

// Inflates Size bytes into Target (which has room for Limit bytes); what it
// produced.
uint64_t Inflate(const uint8_t* Data, size_t Size, uint8_t* Target, size_t Limit) {
  z_stream Zip{};
  inflateInit(&Zip);
  Zip.next_in = const_cast<Bytef*>(Data);
  Zip.avail_in = uInt(Size);
  Zip.next_out = Target;
  Zip.avail_out = uInt(Limit);
  inflate(&Zip, Z_FINISH);
  uint64_t Produced = Zip.total_out;
  inflateEnd(&Zip);
  return Produced;
}

// Decodes the raw LZMA stream of a ZWS movie's file into Target (Limit
// bytes); what it produced.
uint64_t DecodeLZMA(const uint8_t* File, size_t Size, uint8_t* Target, size_t Limit) {
  if (Size < 17) return 0;
  lzma_filter Filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_properties_decode(&Filters[0], nullptr, File + 12, 5) != LZMA_OK) return 0;
  auto* Options = static_cast<lzma_options_lzma*>(Filters[0].options);
  Options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
  Options->ext_size_low = uint32_t(Limit);
  Options->ext_size_high = 0;
  lzma_stream Lz = LZMA_STREAM_INIT;
  lzma_ret Started = lzma_raw_decoder(&Lz, Filters);
  std::free(Options);
  if (Started != LZMA_OK) return 0;
  Lz.next_in = File + 17;
  Lz.avail_in = Size - 17;
  Lz.next_out = Target;
  Lz.avail_out = Limit;
  lzma_ret Ended = lzma_code(&Lz, LZMA_FINISH);
  uint64_t Produced = Ended == LZMA_OK || Ended == LZMA_STREAM_END ? Lz.total_out : 0;
  lzma_end(&Lz);
  return Produced;
}

struct TFloor {
  TSpan Walk, Save, Compose;
  TSpan Decode;  // LZMA movies: liblzma's decoding of the body alone
  uint64_t Inflated = 0, Written = 0, Samples = 0;
};

// libjpeg's decoder into RGB; empty when the data is no JPEG.
TBytes DecodeRGB(const uint8_t* Data, size_t Size, int& Width, int& Height) {
  jpeg_decompress_struct Info{};
  TJpegError Error{};
  Info.err = jpeg_std_error(&Error.Manager);
  Error.Manager.error_exit = [](j_common_ptr I) {
    longjmp(reinterpret_cast<TJpegError*>(I->err)->Jump, 1);
  };
  TBytes Rgb;
  if (setjmp(Error.Jump)) {
    jpeg_destroy_decompress(&Info);
    return {};
  }
  jpeg_create_decompress(&Info);
  jpeg_mem_src(&Info, Data, (unsigned long)Size);
  jpeg_read_header(&Info, TRUE);
  Info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&Info);
  Width = int(Info.output_width);
  Height = int(Info.output_height);
  Rgb.resize(size_t(Width) * Height * 3);
  while (Info.output_scanline < Info.output_height) {
    JSAMPROW Row = &Rgb[size_t(Info.output_scanline) * Width * 3];
    jpeg_read_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_decompress(&Info);
  jpeg_destroy_decompress(&Info);
  return Rgb;
}

// Deflates a picture's RGBA samples at zlib's fastest level, as the least
// a PNG of them costs.
void DeflateSamples(const TBytes& Rgba, TBytes& Scratch) {
  uLongf Length = compressBound(Rgba.size());
  Scratch.resize(Length);
  compress2(Scratch.data(), &Length, Rgba.data(), Rgba.size(), Z_BEST_SPEED);
}

// The least any walk must do: load the file, expand the movie and inflate
// every lossless pixel block. The least any Save all must do: inflate the
// alpha planes and write the output bytes. Beyond that floor, the PNGs cost
// at least decoding the JPEG3 pictures and deflating every PNG's samples.
TFloor MeasureFloor(const std::string& MovieFile, const std::vector<uint64_t>& OutputSizes,
                    const std::string& Folder) {
  TFloor Floor;
  TMark Start;
  TBytes File;
  {
    std::ifstream In(MovieFile, std::ios::binary);
    In.seekg(0, std::ios::end);
    File.resize(size_t(In.tellg()));
    In.seekg(0);
    In.read(reinterpret_cast<char*>(File.data()), std::streamsize(File.size()));
  }
  uint32_t Length = File[4] | File[5] << 8 | File[6] << 16 | uint32_t(File[7]) << 24;
  TBytes Movie(Length);
  std::memcpy(Movie.data(), File.data(), 8);
  if (File[0] == 'C') {
    Floor.Inflated += Inflate(File.data() + 8, File.size() - 8, Movie.data() + 8, Length - 8);
  } else if (File[0] == 'Z') {
    TMark Decoding;
    Floor.Inflated += DecodeLZMA(File.data(), File.size(), Movie.data() + 8, Length - 8);
    Floor.Decode = Since(Decoding);
  } else {
    std::memcpy(Movie.data() + 8, File.data() + 8, Length - 8);
  }
  File = TBytes();

  // Records after the header (RECT, rate, count).
  size_t At = 8 + (((Movie[8] >> 3) * 4 + 5 + 7) / 8) + 4;
  struct TRecord {
    uint16_t Code;
    size_t Start, Size;
  };
  std::vector<TRecord> WithAlpha;
  TBytes Pixels;
  while (At + 2 <= Movie.size()) {
    uint16_t Word = Movie[At] | Movie[At + 1] << 8;
    At += 2;
    uint32_t Size = Word & 63;
    if (Size == 63) {
      if (At + 4 > Movie.size()) break;
      Size = Movie[At] | Movie[At + 1] << 8 | Movie[At + 2] << 16 | uint32_t(Movie[At + 3]) << 24;
      At += 4;
    }
    if (Size > Movie.size() - At) break;
    uint16_t Code = Word >> 6;
    const uint8_t* Body = Movie.data() + At;
    if (Code == stagDefineBitsLossless || Code == stagDefineBitsLossless2) {
      uint8_t Format = Body[2];
      uint16_t W = Body[3] | Body[4] << 8, H = Body[5] | Body[6] << 8;
      size_t Skip = Format == 3 ? 8 : 7;
      int32_t Estimate = LosslessDataSize(Format, W, H, Code == stagDefineBitsLossless2,
                                          Format == 3 ? Body[7] : 0);
      Pixels.resize(size_t(Estimate));
      Floor.Inflated += Inflate(Body + Skip, Size - Skip, Pixels.data(), Pixels.size());
    }
    if (Code == stagDefineBitsJPEG3 || Code == stagDefineBitsLossless2)
      WithAlpha.push_back({Code, At, Size});
    At += Size;
  }
  Floor.Walk = Since(Start);

  // Inflating the JPEG3 alpha planes, then the output bytes.
  Start = TMark();
  TBytes Plane;
  for (const TRecord& R : WithAlpha) {
    if (R.Code != stagDefineBitsJPEG3) continue;
    const uint8_t* Body = Movie.data() + R.Start;
    uint32_t N = Body[2] | Body[3] << 8 | Body[4] << 16 | uint32_t(Body[5]) << 24;
    Plane.resize(2000 * 2000);
    Floor.Inflated += Inflate(Body + 6 + N, R.Size - 6 - N, Plane.data(), Plane.size());
  }
  mkdir(Folder.c_str(), 0777);
  size_t Index = 0;
  for (uint64_t Size : OutputSizes) {
    std::string Name = Folder + std::to_string(Index++);
    int Fd = open(Name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (Fd < 0) continue;
    uint64_t Done = 0;
    while (Done < Size) {
      ssize_t N = write(Fd, Movie.data() + (Done % (Movie.size() / 2)),
                        size_t(std::min<uint64_t>(Size - Done, Movie.size() / 2)));
      if (N <= 0) break;
      Done += uint64_t(N);
    }
    close(Fd);
    Floor.Written += Done;
  }
  Floor.Save = Since(Start);

  // The PNGs' samples: JPEG3 decoded with its plane, Lossless2 from its
  // pixels (the inflation is not timed again).
  TBytes Rgba, Scratch;
  for (const TRecord& R : WithAlpha) {
    const uint8_t* Body = Movie.data() + R.Start;
    if (R.Code == stagDefineBitsJPEG3) {
      uint32_t N = Body[2] | Body[3] << 8 | Body[4] << 16 | uint32_t(Body[5]) << 24;
      Plane.resize(2000 * 2000);
      Inflate(Body + 6 + N, R.Size - 6 - N, Plane.data(), Plane.size());
      Start = TMark();
      int W = 0, H = 0;
      TBytes Rgb = DecodeRGB(Body + 6, N, W, H);
      Rgba.resize(size_t(W) * H * 4);
      for (size_t p = 0; p < size_t(W) * H; ++p) {
        std::memcpy(&Rgba[p * 4], &Rgb[p * 3], 3);
        Rgba[p * 4 + 3] = Plane[p];
      }
    } else {
      uint8_t Format = Body[2];
      uint16_t W = Body[3] | Body[4] << 8, H = Body[5] | Body[6] << 8;
      size_t Skip = Format == 3 ? 8 : 7;
      Pixels.resize(size_t(LosslessDataSize(Format, W, H, 1, Format == 3 ? Body[7] : 0)));
      Inflate(Body + Skip, R.Size - Skip, Pixels.data(), Pixels.size());
      Start = TMark();
      if (Format == 3) {
        size_t Row = (W + 3u) / 4 * 4, Table = (Body[7] + 1u) * 4;
        Rgba.resize(Row * H * 4);
        for (size_t p = 0; p < Row * H; ++p)
          std::memcpy(&Rgba[p * 4], &Pixels[size_t(Pixels[Table + p]) * 4], 4);
      } else {
        Rgba.resize(size_t(W) * H * 4);
        for (size_t p = 0; p < size_t(W) * H; ++p) {
          std::memcpy(&Rgba[p * 4], &Pixels[p * 4 + 1], 3);
          Rgba[p * 4 + 3] = Pixels[p * 4];
        }
      }
    }
    DeflateSamples(Rgba, Scratch);
    Floor.Samples += Rgba.size();
    Floor.Compose += Since(Start);
  }
  return Floor;
}

// Sizes of every file below Folder.
std::vector<uint64_t> FileSizes(const std::string& Folder) {
  std::vector<uint64_t> Sizes;
  for (const auto& E : fs::recursive_directory_iterator(Folder))
    if (E.is_regular_file()) Sizes.push_back(E.file_size());
  return Sizes;
}

// The files below Folder by name, with the size of each JPEG and BMP: what
// Save all on workers must write alike (its PNGs are deflated in bands, so
// only their pixels are the same).
std::map<std::string, uint64_t> FileList(const std::string& Folder) {
  std::map<std::string, uint64_t> Files;
  for (const auto& E : fs::recursive_directory_iterator(Folder))
    if (E.is_regular_file())
      Files[fs::relative(E.path(), Folder).string()] =
          E.path().extension() == ".png" ? 0 : E.file_size();
  return Files;
}

// Builds the movie in a child process; its facts come back through a pipe.
bool BuildInChild(const std::string& MovieFile, int Pictures, TPacking Packing,
                  TMovieFacts& Facts) {
  std::printf("Building %d pictures into %s ...\n", Pictures, MovieFile.c_str());
  std::fflush(stdout);
  int FactsPipe[2];
  if (pipe(FactsPipe) != 0) return false;
  pid_t Child = fork();
  if (Child < 0) return false;
  if (Child == 0) {
    close(FactsPipe[0]);
    TMovieFacts Built = GenerateMovie(MovieFile, Pictures, Packing);
    ssize_t Sent = write(FactsPipe[1], &Built, sizeof Built);
    _exit(Sent == ssize_t(sizeof Built) ? 0 : 1);
  }
  close(FactsPipe[1]);
  ssize_t Got = read(FactsPipe[0], &Facts, sizeof Facts);
  close(FactsPipe[0]);
  int Status = 0;
  waitpid(Child, &Status, 0);
  return Got == ssize_t(sizeof Facts) && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

// Runs Work in a child process, so that neither its memory nor the heap it
// leaves behind touch this process; its time comes back through a pipe.
template <class TWork>
bool TimeInChild(TWork Work, TSpan& Span) {
  int SpanPipe[2];
  if (pipe(SpanPipe) != 0) return false;
  std::fflush(stdout);
  pid_t Child = fork();
  if (Child < 0) return false;
  if (Child == 0) {
    close(SpanPipe[0]);
    TSpan Took;
    bool Done = Work(Took);
    ssize_t Sent = write(SpanPipe[1], &Took, sizeof Took);
    _exit(Done && Sent == ssize_t(sizeof Took) ? 0 : 1);
  }
  close(SpanPipe[1]);
  ssize_t Got = read(SpanPipe[0], &Span, sizeof Span);
  close(SpanPipe[0]);
  int Status = 0;
  waitpid(Child, &Status, 0);
  return Got == ssize_t(sizeof Span) && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

// Writes the LZMA movie MovieFile expanded, as a plain movie.
bool WriteExpanded(const std::string& MovieFile, const std::string& Expanded) {
  std::ifstream In(MovieFile, std::ios::binary);
  TBytes File((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  if (File.size() < 17) return false;
  uint32_t Length = File[4] | File[5] << 8 | File[6] << 16 | uint32_t(File[7]) << 24;
  TBytes Movie(Length);
  std::memcpy(Movie.data(), File.data(), 8);
  Movie[0] = 'F';
  if (DecodeLZMA(File.data(), File.size(), Movie.data() + 8, Length - 8) != Length - 8)
    return false;
  std::ofstream Out(Expanded, std::ios::binary);
  Out.write(reinterpret_cast<const char*>(Movie.data()), std::streamsize(Movie.size()));
  return bool(Out);
}

// The walk of an open, as the program runs it; false unless it ended at the
// end of the movie with Pictures pictures (any number when negative).
bool TimedWalk(const std::string& MovieFile, const std::string& Root, int32_t Pictures,
               TSpan& Took) {
  TWorkspace Workspace;
  std::string ImageDir = Root + "images-expanded/";
  mkdir(ImageDir.c_str(), 0777);
  TMark Start;
  ResetWorkspace(Workspace);
  DropPictureStores(Workspace);
  TWalkResult Walk = OpenAndExtract(Workspace, MovieFile, ImageDir, nullptr);
  Took = Since(Start);
  return Walk.Complete && (Pictures < 0 || Workspace.Pictures.Count == Pictures);
}

// The median wall time of starting Program with --help.
double StartupSeconds(const fs::path& Program) {
  if (!fs::exists(Program)) return 0;
  std::vector<double> Times;
  for (int Run = 0; Run < 21; ++Run) {
    // Spawned, not forked: a copy of this large process would be timed too.
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    char* Arguments[] = {const_cast<char*>(Program.c_str()), const_cast<char*>("--help"),
                         nullptr};
    TMark Start;
    pid_t Child = 0;
    const int Spawned =
        posix_spawn(&Child, Program.c_str(), &Actions, nullptr, Arguments, environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Spawned != 0) return 0;
    int Status = 0;
    waitpid(Child, &Status, 0);
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) return 0;
    Times.push_back(Since(Start).Wall);
  }
  std::sort(Times.begin(), Times.end());
  return Times[Times.size() / 2];
}

int Usage() {
  std::fputs(
      "Usage: quillory-bench [--pictures N] [--plain | --lzma] [--keep] [--movie FILE]\n"
      "                      [--premultiplied]\n"
      "Builds a large movie (N pictures, default 306, every 50th one 2000 x 2000;\n"
      "zlib-compressed unless --plain, LZMA-compressed with --lzma) in a private\n"
      "temporary folder, then times the walk that fills the picture list and Save\n"
      "all, with their peak memory, against a floor: expanding the movie and its\n"
      "zlib data and writing the output bytes. The walk of an LZMA movie is also\n"
      "timed against liblzma's decoding of its body plus the walk of the same\n"
      "movie already expanded. --keep leaves the folder behind; --movie measures\n"
      "a movie built and kept before instead of building one. Save all is timed\n"
      "with one worker and with one per core, and quillory-extract's start-up;\n"
      "--premultiplied saves the PNGs with their stored colours, to weigh the\n"
      "cost of straight ones.\n"
      "--write-set DIR only writes the movies scripts/bench-extract.sh times.\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  KeepHeapSlack();  // as quillory-extract does
  int Pictures = 306;
  TPacking Packing = kZlib;
  bool Keep = false;
  TExportOptions Export;
  std::string Given;
  for (int i = 1; i < argc; ++i) {
    std::string A = argv[i];
    if (A == "--pictures" && i + 1 < argc)
      Pictures = std::max(1, std::atoi(argv[++i]));
    else if (A == "--plain")
      Packing = kPlain;
    else if (A == "--lzma")
      Packing = kLZMA;
    else if (A == "--keep")
      Keep = true;
    else if (A == "--premultiplied")
      Export.KeepPremultiplied = true;
    else if (A == "--movie" && i + 1 < argc)
      Given = argv[++i];
    else if (A == "--write-set" && i + 1 < argc) {
      std::string Folder = argv[++i];
      if (Folder.back() != '/') Folder += '/';
      fs::create_directories(Folder);
      return WriteMovieSet(Folder) ? 0 : 1;
    } else
      return Usage();
  }

  std::string Pattern = (fs::temp_directory_path() / "quillory-bench-XXXXXX").string();
  if (!mkdtemp(Pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  std::string Root = Pattern + "/", MovieFile = Given.empty() ? Root + "large.swf" : Given;

  // The movie is built in a child process, so its memory does not count
  // against the measured peaks.
  TMark Start;
  TMovieFacts Facts;
  if (Given.empty() && !BuildInChild(MovieFile, Pictures, Packing, Facts)) {
    std::fprintf(stderr, "building the movie failed\n");
    return 1;
  }
  double BuildTime = Since(Start).Wall;

  {
    std::ifstream In(MovieFile, std::ios::binary);
    uint8_t H[8] = {};
    In.read(reinterpret_cast<char*>(H), 8);
    Facts.Expanded = H[4] | H[5] << 8 | H[6] << 16 | uint64_t(H[7]) << 24;
    Facts.FileSize = fs::file_size(MovieFile);
  }

  // An LZMA movie's own floor: liblzma's decoding of its body alone (timed
  // with the other floors below), plus the same record work, which is the
  // walk of the movie already expanded. That walk runs in a child started
  // from the state this process is in before its own walk, so both start
  // alike.
  bool LZMA = false;
  {
    std::ifstream In(MovieFile, std::ios::binary);
    LZMA = In.get() == 'Z';
  }
  std::string ExpandedFile = Root + "expanded.swf";
  TSpan PlainWalkTime;
  if (LZMA) {
    TSpan Unused;
    bool Ok = TimeInChild([&](TSpan&) { return WriteExpanded(MovieFile, ExpandedFile); }, Unused) &&
              TimeInChild(
                  [&](TSpan& Took) {
                    return TimedWalk(ExpandedFile, Root, Given.empty() ? Facts.Pictures : -1, Took);
                  },
                  PlainWalkTime);
    if (!Ok) {
      std::fprintf(stderr, "the expanded movie could not be written or walked whole\n");
      return 1;
    }
  }

  // The walk, as an open runs it.
  uint64_t PeakBefore = PeakMemory();
  TWorkspace Workspace;
  std::string ImageDir = Root + "images/";
  mkdir(ImageDir.c_str(), 0777);
  Start = TMark();
  ResetWorkspace(Workspace);
  DropPictureStores(Workspace);
  TWalkResult Walk = OpenAndExtract(Workspace, MovieFile, ImageDir, nullptr);
  TSpan WalkTime = Since(Start);
  uint64_t WalkPeak = PeakMemory();
  uint64_t Stored = Workspace.Pictures.PictureData->Size() + Workspace.Pictures.SideData->Size();

  // Save all, on one worker, then on one per core into a fresh folder.
  Start = TMark();
  int32_t Failures = SaveAllPictures(Workspace, "Image", nullptr, nullptr, Export);
  TSpan SaveTime = Since(Start);
  uint64_t SavePeak = PeakMemory();
  const auto SerialOutputs = FileList(Workspace.OutputDir);
  {
    std::error_code Ignored;
    fs::remove_all(Workspace.OutputDir, Ignored);
  }
  TWorkerPool Pool;
  Start = TMark();
  int32_t PoolFailures = SaveAllPictures(Workspace, "Image", nullptr, &Pool, Export);
  TSpan PoolTime = Since(Start);
  uint64_t PoolPeak = PeakMemory();
  int32_t Count = Workspace.Pictures.Count;
  DropPictureStores(Workspace);

  std::vector<uint64_t> Outputs = FileSizes(Workspace.OutputDir);
  uint64_t OutputBytes = 0;
  for (uint64_t S : Outputs) OutputBytes += S;
  TFloor Floor = MeasureFloor(MovieFile, Outputs, Root + "floor/");

  if (Given.empty()) {
    std::printf("\nMovie: %s, %d pictures (%d of 2000 x 2000)\n", PackingNames[Packing],
                Facts.Pictures, Facts.Big);
    for (int k = 0; k < kKinds; ++k) std::printf("  %-24s %d\n", KindNames[k], Facts.PerKind[k]);
    std::printf("  lossless pixels inflated %.1f MiB, built in %.1f s\n",
                MiB(Facts.LosslessInflated), BuildTime);
  } else {
    std::printf("\nMovie: %s\n", MovieFile.c_str());
  }
  std::printf("  file %.1f MiB, expanded %.1f MiB\n", MiB(Facts.FileSize), MiB(Facts.Expanded));
  // Ratios of CPU time (wall-clock in brackets).
  auto Ratio = [](TSpan A, TSpan B) { return TSpan{A.Wall / B.Wall, A.Cpu / B.Cpu}; };
  TSpan WalkRatio = Ratio(WalkTime, Floor.Walk), SaveRatio = Ratio(SaveTime, Floor.Save),
        ComposedRatio = Ratio(SaveTime, Floor.Save + Floor.Compose);
  std::printf("\nTimes in CPU seconds (wall-clock seconds in brackets)\n");
  std::printf("Walk:     %5.2f (%5.2f)  floor %5.2f (%5.2f): load + %s %.1f MiB\n", WalkTime.Cpu,
              WalkTime.Wall, Floor.Walk.Cpu, Floor.Walk.Wall,
              LZMA ? "decode and inflate" : "inflate", MiB(Floor.Inflated));
  std::printf("          ratio %.2f (%.2f), target 2\n", WalkRatio.Cpu, WalkRatio.Wall);
  TSpan LZMAFloor = Floor.Decode + PlainWalkTime, LZMARatio = Ratio(WalkTime, LZMAFloor);
  if (LZMA) {
    std::printf(
        "          LZMA floor %5.2f (%5.2f): liblzma decoding the body %5.2f (%5.2f)"
        " + the walk of the expanded movie %5.2f (%5.2f)\n",
        LZMAFloor.Cpu, LZMAFloor.Wall, Floor.Decode.Cpu, Floor.Decode.Wall, PlainWalkTime.Cpu,
        PlainWalkTime.Wall);
    std::printf("          ratio %.2f (%.2f), target 1.3\n", LZMARatio.Cpu, LZMARatio.Wall);
  }
  std::printf("Save all: %5.2f (%5.2f)  floor %5.2f (%5.2f): alpha + write %zu files, %.1f MiB\n",
              SaveTime.Cpu, SaveTime.Wall, Floor.Save.Cpu, Floor.Save.Wall, Outputs.size(),
              MiB(OutputBytes));
  std::printf("          ratio %.2f (%.2f), target 3\n", SaveRatio.Cpu, SaveRatio.Wall);
  std::printf(
      "Save all on %u workers: %5.2f (%5.2f), %.2f times as fast as on one by the clock;"
      " files alike: %s\n",
      Pool.Size(), PoolTime.Cpu, PoolTime.Wall, SaveTime.Wall / PoolTime.Wall,
      FileList(Workspace.OutputDir) == SerialOutputs ? "yes" : "NO");
  const double Startup = StartupSeconds(fs::path(argv[0]).parent_path() / "quillory-extract");
  if (Startup > 0)
    std::printf("quillory-extract --help: %.1f ms (median of 21 starts)\n", Startup * 1000);
  std::printf(
      "          composing the PNGs at the least (JPEG decode, fastest deflate of %.1f MiB"
      " of samples) adds %.2f (%.2f) to the floor: ratio %.2f (%.2f)\n",
      MiB(Floor.Samples), Floor.Compose.Cpu, Floor.Compose.Wall, ComposedRatio.Cpu,
      ComposedRatio.Wall);
  uint64_t Limit = 3 * Facts.Expanded + Stored;
  std::printf(
      "Peak memory: %.1f MiB before, %.1f MiB after the walk, %.1f MiB after Save all, "
      "%.1f MiB after Save all on workers\n",
      MiB(PeakBefore), MiB(WalkPeak), MiB(SavePeak), MiB(PoolPeak));
  std::printf("  limit 3 x expanded movie + stored blocks (%.1f MiB) = %.1f MiB\n", MiB(Stored),
              MiB(Limit));
  std::printf("Pictures found %d, PNG failures %d, walk %s\n", Count, Failures,
              Walk.Complete ? "complete" : "INCOMPLETE");

  bool Met = WalkRatio.Cpu <= 2 && SaveRatio.Cpu <= 3 && PoolPeak < Limit &&
             PoolFailures == Failures && (!LZMA || LZMARatio.Cpu <= 1.3) &&
             (!Given.empty() || Count == Facts.Pictures) && Failures == 0 && Walk.Complete;
  std::printf("\n%s\n", Met ? "All targets met." : "Some targets missed.");
  if (!Keep) {
    std::error_code Ignored;
    fs::remove_all(Root, Ignored);
  } else {
    std::printf("Kept %s\n", Root.c_str());
  }
  return Met ? 0 : 1;
}
