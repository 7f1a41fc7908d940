// quillory-fuzz-seeds: writes the starting inputs of the fuzz targets, made
// with the tests' own movie builder, so no sample output is ever kept in the
// repository. Sample movies cover every picture record kind, plain, zlib and
// LZMA, whole and damaged; the converter inputs are JPEGs, BMPs, PNG and GIF
// files and lossless pixel blocks behind the parameter bytes that target reads.
//
// Usage: quillory-fuzz-seeds OUT-FOLDER [SAMPLE-MOVIES-FOLDER]
// writes OUT-FOLDER/pipeline/, converters/ and header/. Files of the sample
// movies folder, when it exists, are added to the movie seeds as they are.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/MovieBuilder.h"

namespace {

namespace fs = std::filesystem;

struct TSeeds {
  fs::path Out;
  int Written = 0;

  void Write(const char* Target, const std::string& Name, const TBytes& Bytes) {
    WriteFileBytes((Out / Target / Name).string(), Bytes);
    ++Written;
  }
};

TBytes Concat(std::initializer_list<TBytes> Parts) {
  TBytes Out;
  for (const TBytes& Part : Parts) Out.insert(Out.end(), Part.begin(), Part.end());
  return Out;
}

TBytes Cut(const TBytes& Bytes, size_t Numerator, size_t Denominator) {
  return TBytes(Bytes.begin(), Bytes.begin() + ptrdiff_t(Bytes.size() * Numerator / Denominator));
}

void PutUI32(TBytes& Bytes, size_t At, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Bytes.at(At + size_t(i)) = uint8_t(Value >> (8 * i));
}

TBytes Indices(int Width, int Height, int Modulo) {
  TBytes Out(size_t(Width) * size_t(Height));
  for (size_t i = 0; i < Out.size(); ++i)
    Out[i] = uint8_t((i * 7 + i / size_t(Width)) % size_t(Modulo));
  return Out;
}

TBytes Palette(int Entries, bool WithAlpha) {
  TBytes Out;
  for (int i = 0; i < Entries; ++i) {
    Out.push_back(uint8_t(i * 40));
    Out.push_back(uint8_t(255 - i * 30));
    Out.push_back(uint8_t(i * 90));
    if (WithAlpha) Out.push_back(uint8_t(i * 255 / std::max(1, Entries - 1)));
  }
  return Out;
}

std::vector<uint32_t> ArgbPixels(int Width, int Height) {
  std::vector<uint32_t> Out;
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x)
      Out.push_back(uint32_t(x * 255 / Width) << 24 | uint32_t(x * 20) << 16 |
                    uint32_t(y * 30) << 8 | uint32_t((x + y) * 9));
  return Out;
}

std::vector<uint16_t> Pix15Pixels(int Width, int Height) {
  std::vector<uint16_t> Out;
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) Out.push_back(uint16_t((x & 31) << 10 | (y & 31) << 5 | 17));
  return Out;
}

TBytes Plane(int Width, int Height) {
  TBytes Out(size_t(Width) * size_t(Height));
  for (size_t i = 0; i < Out.size(); ++i) Out[i] = uint8_t(i * 13);
  return Out;
}

TBytes Rgba(int Width, int Height) {
  TBytes Out;
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x)
      for (uint8_t V : {uint8_t(x * 30), uint8_t(y * 40), uint8_t(90), uint8_t((x + y) * 20)})
        Out.push_back(V);
  return Out;
}

// A record body written by hand: the character ID, then Bytes.
TBytes WithId(uint16_t Id, const TBytes& Bytes) {
  return Concat({{uint8_t(Id), uint8_t(Id >> 8)}, Bytes});
}

// Sample movies, each as records on a builder.
std::vector<std::pair<std::string, TMovieBuilder>> SampleMovies(bool Compressed) {
  std::vector<std::pair<std::string, TMovieBuilder>> Movies;
  const TBytes Jpeg = EncodeJPEG(Pattern(16, 12, 1));
  const TBytes OddJpeg = EncodeJPEG(Pattern(7, 5, 2), 70);
  const auto [Tables, Image] = EncodeJPEGTablesAndImage(Pattern(9, 14, 3));
  const TBytes Png = EncodePNG(4, 3, Rgba(4, 3));
  const TBytes Gif = EncodeGIF(5, 4, Palette(4, false), Indices(5, 4, 4), 2);

  TMovieBuilder All(Compressed);
  All.JPEGTables(Tables)
      .DefineBits(1, Image)
      .DefineBitsJPEG2(2, Jpeg)
      .DefineBitsJPEG3(3, OddJpeg, Plane(7, 5))
      .DefineBitsJPEG4(4, Jpeg, Plane(16, 12), 0x0180)
      .DefineBitsLossless(5, 3, 7, 5, ColorMappedData(Palette(6, false), Indices(7, 5, 6), 7, 5), 5)
      .DefineBitsLossless(6, 4, 5, 3, Pix15Data(Pix15Pixels(5, 3), 5, 3))
      .DefineBitsLossless(7, 5, 3, 4, ARGBData(ArgbPixels(3, 4)))
      .DefineBitsLossless2(8, 3, 6, 2, ColorMappedData(Palette(3, true), Indices(6, 2, 3), 6, 2), 2)
      .DefineBitsLossless2(9, 5, 5, 5, ARGBData(ArgbPixels(5, 5)))
      .DefineBitsJPEG2(10, Png)
      .DefineBitsJPEG2(11, Gif)
      .DefineBitsJPEG3(12, Png, Plane(4, 3))
      .End();
  Movies.emplace_back("all-kinds", All);

  TMovieBuilder Kinds(Compressed);
  Kinds.DefineBitsJPEG2(1, EncodeJPEG(Pattern(12, 10, 4), 80, true))
      .DefineBitsJPEG2(2, EncodeJPEG(Pattern(20, 9, 5), 75, false, true))
      .DefineBitsJPEG3(3, EncodeJPEG(Pattern(10, 10, 6), 60, false, true), Plane(10, 3))
      .DefineBitsJPEG4(4, EncodeJPEG(Pattern(3, 17, 7), 90, true), {})
      .DefineBitsJPEG3(5, Gif, Plane(5, 4))
      .End();
  Movies.emplace_back("gray-progressive", Kinds);

  // Records that are damaged in the ways real movies are.
  TMovieBuilder Damaged(Compressed);
  Damaged
      .DefineBits(1, Image)  // no tables before it
      .JPEGTables({0xFF, 0xD9})
      .DefineBits(2, Image)
      .DefineBitsJPEG2(3, Cut(Jpeg, 1, 2))
      .DefineBitsJPEG2(4, Concat({{0xFF, 0xD8, 0xFF, 0xD9}, Jpeg}))
      .Tag(35, Concat({WithId(5, {uint8_t(OddJpeg.size()), uint8_t(OddJpeg.size() >> 8), 0, 0}),
                       OddJpeg,
                       {1, 2, 3, 4, 5}}))                  // alpha that is not zlib
      .Tag(35, WithId(6, {0xFF, 0xFF, 0, 0, 0xFF, 0xD8}))  // JPEG count past the end
      .DefineBitsLossless(7, 5, 200, 200, ARGBData(ArgbPixels(3, 3)))
      .DefineBitsLossless(8, 3, 0, 4, ColorMappedData(Palette(2, false), {}, 0, 4), 1)
      .DefineBitsLossless(9, 5, 9000, 9000, TBytes(64, 0))
      .DefineBitsLossless(10, 3, 4, 4, Palette(2, false), 200)  // table past the data
      .DefineBitsLossless2(11, 4, 3, 3, Pix15Data(Pix15Pixels(3, 3), 3, 3))
      .Tag(20, WithId(12, {5, 4, 0, 4, 0, 0x78, 0x9C, 1, 2}))  // pixels that are not zlib
      .Tag(36, WithId(13, {3}))
      .Raw(TBytes(9, 0))  // a run of End records
      .DefineBitsJPEG2(14, OddJpeg)
      .Raw({0xBF, 0x08, 0x00, 0x10, 0x00, 0x00, 0xFF});  // a long record past the end
  Movies.emplace_back("damaged-records", Damaged);

  TMovieBuilder Empty(Compressed);
  Movies.emplace_back("no-records", Empty);
  return Movies;
}

void MovieSeeds(TSeeds& Seeds) {
  const auto Movies = SampleMovies(false);
  const auto Packed = SampleMovies(true);
  for (size_t m = 0; m < Movies.size(); ++m) {
    const auto& [Name, Builder] = Movies[m];
    const TBytes Plain = Builder.Build();
    std::vector<std::pair<std::string, TBytes>> Variants = {
        {"plain", Plain},
        {"zlib", Packed[m].second.Build()},
        {"lzma", Builder.BuildLzma(false)},
        {"lzma-end-marker", Builder.BuildLzma(true)},
    };
    // Cut bodies, and lengths that are not the movie's.
    const size_t Whole = Variants.size();
    for (size_t i = 0; i < Whole; ++i) {
      const auto [Kind, Bytes] = Variants[i];  // a copy: the list grows below
      Variants.emplace_back(Kind + "-cut-half", Cut(Bytes, 1, 2));
      Variants.emplace_back(Kind + "-cut-most", Cut(Bytes, 9, 10));
      TBytes Longer = Bytes;
      PutUI32(Longer, 4, uint32_t(Plain.size() + 5000));
      Variants.emplace_back(Kind + "-declared-longer", Longer);
    }
    for (const auto& [Kind, Bytes] : Variants) {
      Seeds.Write("pipeline", Name + "-" + Kind + ".swf", Bytes);
      Seeds.Write("header", Name + "-" + Kind, Concat({{0x00}, Bytes}));
    }
    // The header target's own wrapping of a movie body (see HeaderFuzzer.cpp).
    const TBytes Body(Plain.begin() + 8, Plain.end());
    const std::pair<const char*, uint8_t> Wrapped[] = {
        {"fws", 0x01},         {"cws", 0x02},
        {"zws", 0x03},         {"zws-end-marker", 0x23},
        {"cws-view", 0x12},    {"zws-longer", 0x07},
        {"cws-cut", 0x42},     {"zws-cut-half", 0x83},
        {"fws-shorter", 0x09}, {"cws-huge-length", 0x0E},
    };
    for (const auto& [Kind, Selector] : Wrapped)
      Seeds.Write("header", Name + "-wrapped-" + Kind, Concat({{Selector, 8}, Body}));
  }
  // A header alone, and signatures that are no movie's.
  Seeds.Write("pipeline", "signature-only.swf", {'F', 'W', 'S'});
  Seeds.Write("pipeline", "wrong-signature.swf", {'G', 'W', 'S', 8, 30, 0, 0, 0, 0x50, 0});
  Seeds.Write("header", "signature-only", {0x00, 'C', 'W', 'S', 10, 0xFF, 0, 0, 0});
}

// The converters target's parameter bytes (see ConvertersFuzzer.cpp).
TBytes Parameters(uint16_t Width, uint16_t Height, uint8_t Format, uint8_t LastIndex, uint8_t Flags,
                  uint8_t MinSide, size_t Split) {
  return {uint8_t(Width), uint8_t(Width >> 8), uint8_t(Height), uint8_t(Height >> 8),
          Format,         LastIndex,           Flags,           MinSide,
          uint8_t(Split), uint8_t(Split >> 8)};
}

TBytes BmpRows(int Width, int Height, int Bits) {
  const size_t Row = (size_t(Width) * size_t(Bits) / 8 + 3) / 4 * 4;
  TBytes Out(Row * size_t(Height));
  for (size_t i = 0; i < Out.size(); ++i) Out[i] = uint8_t(i * 5 % 251);
  return Out;
}

void ConverterSeeds(TSeeds& Seeds) {
  const auto Write = [&](const std::string& Name, const TBytes& Parameters, const TBytes& Payload) {
    Seeds.Write("converters", Name, Concat({Parameters, Payload}));
  };
  const TBytes Jpeg = EncodeJPEG(Pattern(16, 12, 1));
  const TBytes Gray = EncodeJPEG(Pattern(11, 7, 2), 80, true);
  const TBytes Progressive = EncodeJPEG(Pattern(24, 18, 3), 70, false, true);
  const auto [Tables, Image] = EncodeJPEGTablesAndImage(Pattern(9, 14, 4));

  Write("jpeg", Parameters(16, 12, 5, 0, 0, 4, Jpeg.size()), Jpeg);
  Write("jpeg-gray", Parameters(11, 7, 5, 0, 0, 2, Gray.size()), Gray);
  Write("jpeg-progressive", Parameters(24, 18, 5, 0, 0, 3, Progressive.size()), Progressive);
  Write("jpeg-cut", Parameters(16, 12, 5, 0, 0, 1, Jpeg.size() / 2), Cut(Jpeg, 1, 2));
  Write("jpeg-tables-and-image", Parameters(9, 14, 5, 0, 0, 5, 0), Concat({Tables, Image}));
  Write("jpeg-with-alpha", Parameters(16, 12, 5, 0, 0, 0, Jpeg.size()),
        Concat({Jpeg, Zlib(Plane(16, 12))}));
  Write("jpeg-with-short-alpha", Parameters(16, 12, 5, 0, 0, 0, Jpeg.size()),
        Concat({Jpeg, Zlib(Plane(16, 2))}));

  for (const int Bits : {8, 16, 24}) {
    const uint32_t Offset = Bits == 8 ? 54 + 1024 : 54;
    TBytes Bmp = Concat({BmpHeader(Offset, 5, 3, uint16_t(Bits)),
                         Bits == 8 ? TBytes(1024, 0x40) : TBytes(), BmpRows(5, 3, Bits)});
    const std::string Name = "bmp-" + std::to_string(Bits);
    Write(Name, Parameters(5, 3, 3, 0, 2, 0, Bmp.size()), Bmp);
    Write(Name + "-with-alpha", Parameters(5, 3, 3, 0, 2 | 4, 6, Bmp.size()),
          Concat({Bmp, Plane(5, 2)}));
  }

  const TBytes Mapped = ColorMappedData(Palette(5, false), Indices(7, 3, 5), 7, 3);
  const TBytes MappedAlpha = ColorMappedData(Palette(4, true), Indices(6, 4, 4), 6, 4);
  Write("lossless-colormapped", Parameters(7, 3, 3, 4, 0, 0, 0), Mapped);
  Write("lossless-colormapped-alpha", Parameters(6, 4, 3, 3, 1, 0, 0), MappedAlpha);
  Write("lossless-pix15", Parameters(5, 3, 4, 0, 0, 0, 0), Pix15Data(Pix15Pixels(5, 3), 5, 3));
  Write("lossless-argb", Parameters(3, 4, 5, 0, 0, 0, 0), ARGBData(ArgbPixels(3, 4)));
  Write("lossless-argb-alpha", Parameters(5, 2, 5, 0, 1, 0, 0), ARGBData(ArgbPixels(5, 2)));

  // Rows of every layout with a plane after them.
  for (uint8_t Layout = 1; Layout <= 6; ++Layout) {
    const TBytes Rows = BmpRows(4, 3, 32);
    Write("rows-layout-" + std::to_string(Layout),
          Parameters(4, 3, 0, 0, uint8_t(Layout << 3 | (Layout & 1 ? 2 : 4)), 0, Rows.size()),
          Concat({Rows, Plane(4, 2)}));
  }

  Write("png", Parameters(4, 3, 0, 0, 0, 0, 0), EncodePNG(4, 3, Rgba(4, 3)));
  Write("gif", Parameters(5, 4, 0, 0, 0, 0, 0),
        EncodeGIF(5, 4, Palette(4, false), Indices(5, 4, 4), 1));
}

void CorpusSeeds(TSeeds& Seeds, const fs::path& Corpus) {
  std::error_code Error;
  if (!fs::is_directory(Corpus, Error)) {
    std::printf("quillory-fuzz-seeds: %s is absent: no sample movies added\n", Corpus.c_str());
    return;
  }
  std::vector<fs::path> Files;
  for (const auto& Entry : fs::directory_iterator(Corpus, Error))
    if (Entry.is_regular_file() && Entry.path().extension() == ".swf")
      Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  for (const fs::path& File : Files) {
    const TBytes Movie = ReadFileBytes(File.string());
    Seeds.Write("pipeline", "corpus-" + File.filename().string(), Movie);
    Seeds.Write("header", "corpus-" + File.stem().string(), Concat({{0x00}, Movie}));
  }
  std::printf("quillory-fuzz-seeds: %zu sample movies added from %s\n", Files.size(),
              Corpus.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "Usage: %s OUT-FOLDER [SAMPLE-MOVIES-FOLDER]\n", argv[0]);
    return 2;
  }
  try {
    TSeeds Seeds{argv[1]};
    for (const char* Target : {"pipeline", "converters", "header"}) {
      fs::remove_all(Seeds.Out / Target);
      fs::create_directories(Seeds.Out / Target);
    }
    MovieSeeds(Seeds);
    ConverterSeeds(Seeds);
    if (argc == 3) CorpusSeeds(Seeds, argv[2]);
    std::printf("quillory-fuzz-seeds: %d seeds written to %s\n", Seeds.Written, argv[1]);
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "quillory-fuzz-seeds: %s\n", Error.what());
    return 1;
  }
  return 0;
}
