// Alpha composition: a decoded picture and its alpha plane become one PNG with
// an alpha channel. Colour samples are written as decoded; alpha never alters
// them. A PNG is written to a temporary file beside the target and renamed
// only once complete, so a failure leaves no half-written picture behind.
// Pictures are read in place (a BMP's own rows), never through a toolkit's
// image reader, so every picture the program accepts gets its PNG.
#include <fcntl.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "extract/Scripts.h"
#include "swf/F_Macromedia.h"

namespace {

// Names of temporary files differ within one process as well.
std::atomic<unsigned> TempCounter{0};

struct tPNGTarget {
  const TImage* Image = nullptr;
  int ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
  int Width = 0;
  int Height = 0;
  const uint8_t* Plane = nullptr;
  size_t PlaneSize = 0;
  bool BottomUp = false;
  TShortPlane ShortPlane = spOpaque;
  std::vector<uint8_t> Row;  // the samples of one row, composed just before it is written
  std::vector<png_color> Palette;
  std::vector<png_byte> Opaque;  // transparency table: every entry opaque
  std::string Failure;
};

void OnPNGError(png_structp Png, png_const_charp Message) {
  auto* Target = static_cast<tPNGTarget*>(png_get_error_ptr(Png));
  Target->Failure = Message ? Message : "PNG error";
  png_longjmp(Png, 1);
}

void OnPNGWarning(png_structp, png_const_charp) {}

// The samples of row y: colour unchanged, alpha from the plane. Pixel (x, y)
// takes plane byte y * W + x, or (H - 1 - y) * W + x for a bottom-up plane.
// Pixels the plane does not reach are opaque, or repeat its last byte. A
// palette row is the picture's own row.
const uint8_t* ComposeRow(tPNGTarget& Target, int y) {
  const uint8_t* In = Target.Image->Row(y);
  if (Target.ColorType == PNG_COLOR_TYPE_PALETTE) return In;
  const size_t W = size_t(Target.Width);
  const size_t PlaneRow = size_t(Target.BottomUp ? Target.Height - 1 - y : y) * W;
  // Alphas this row finds in the plane; the rest take Beyond.
  const size_t Reached =
      !Target.Plane || PlaneRow >= Target.PlaneSize ? 0 : std::min(W, Target.PlaneSize - PlaneRow);
  const uint8_t* Alphas = Reached ? Target.Plane + PlaneRow : nullptr;
  const uint8_t Beyond = Target.ShortPlane == spRepeatLast && Target.PlaneSize > 0
                             ? Target.Plane[Target.PlaneSize - 1]
                             : 255;
  const auto Alpha = [&](size_t x) { return x < Reached ? Alphas[x] : Beyond; };
  uint8_t* Out = Target.Row.data();
  switch (Target.Image->Format()) {
    case ifGray8:
      for (size_t x = 0; x < W; ++x) {
        *Out++ = In[x];
        *Out++ = Alpha(x);
      }
      break;
    case ifRGB24:
      for (size_t x = 0; x < W; ++x, In += 3) {
        *Out++ = In[0];
        *Out++ = In[1];
        *Out++ = In[2];
        *Out++ = Alpha(x);
      }
      break;
    case ifBGR24:
      for (size_t x = 0; x < W; ++x, In += 3) {
        *Out++ = In[2];
        *Out++ = In[1];
        *Out++ = In[0];
        *Out++ = Alpha(x);
      }
      break;
    case ifRGB555:
      // Each 5-bit sample times 8, as the preview's BMP reader shows it.
      for (size_t x = 0; x < W; ++x, In += 2) {
        const unsigned V = unsigned(In[0]) | unsigned(In[1]) << 8;
        *Out++ = uint8_t(((V >> 10) & 31) << 3);
        *Out++ = uint8_t(((V >> 5) & 31) << 3);
        *Out++ = uint8_t((V & 31) << 3);
        *Out++ = Alpha(x);
      }
      break;
    case ifRGBA32:
      for (size_t x = 0; x < W; ++x, In += 4) {
        *Out++ = In[0];
        *Out++ = In[1];
        *Out++ = In[2];
        *Out++ = Alpha(x);
      }
      break;
    default:
      break;
  }
  return Target.Row.data();
}

// libpng's part; answers false with Target.Failure set.
bool EncodePNG(tPNGTarget& Target, FILE* File) {
  png_structp Png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &Target, OnPNGError, OnPNGWarning);
  if (!Png) {
    Target.Failure = "Cannot start the PNG encoder";
    return false;
  }
  png_infop Info = png_create_info_struct(Png);
  if (!Info) {
    png_destroy_write_struct(&Png, nullptr);
    Target.Failure = "Cannot start the PNG encoder";
    return false;
  }
  if (setjmp(png_jmpbuf(Png))) {
    png_destroy_write_struct(&Png, &Info);
    return false;
  }
  png_init_io(Png, File);
  png_set_IHDR(Png, Info, png_uint_32(Target.Width), png_uint_32(Target.Height), 8,
               Target.ColorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (Target.ColorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(Png, Info, Target.Palette.data(), int(Target.Palette.size()));
    png_set_tRNS(Png, Info, Target.Opaque.data(), int(Target.Opaque.size()), nullptr);
  }
  png_set_compression_level(Png, Z_BEST_SPEED);  // photos barely shrink at higher levels
  png_write_info(Png, Info);
  for (int y = 0; y < Target.Height; ++y)
    png_write_row(Png, const_cast<png_bytep>(ComposeRow(Target, y)));
  png_write_end(Png, Info);
  png_destroy_write_struct(&Png, &Info);
  return true;
}

// Removes the temporary file unless it was handed over.
struct tTempFile {
  std::string Name;
  FILE* File = nullptr;
  bool Kept = false;
  ~tTempFile() {
    if (File) std::fclose(File);
    if (!Kept && !Name.empty()) std::remove(Name.c_str());
  }
};

uint32_t GetU32(const uint8_t* At) {
  return uint32_t(At[0]) | uint32_t(At[1]) << 8 | uint32_t(At[2]) << 16 | uint32_t(At[3]) << 24;
}

// Up to Count bytes inflated from one zlib stream into Plane; more are not
// looked at. Fewer is fine (a short plane); none at all, or data that is not
// zlib, is not.
void InflateAlpha(const tSWFStream& Compressed, size_t Count, tSWFStream& Plane) {
  uint8_t* Memory = Count ? static_cast<uint8_t*>(std::malloc(Count)) : nullptr;
  if (Count && !Memory) throw EPictureError("Not enough memory for the alpha plane");
  z_stream Zip{};
  if (inflateInit(&Zip) != Z_OK) {
    std::free(Memory);
    throw EPictureError("Cannot start inflating the alpha data");
  }
  Zip.next_in = const_cast<Bytef*>(Compressed.Buffer());
  Zip.avail_in = uInt(Compressed.Size());
  Zip.next_out = Memory;
  Zip.avail_out = uInt(Count);
  int Result = Z_OK;
  while (Zip.avail_out > 0 && Result == Z_OK) Result = inflate(&Zip, Z_NO_FLUSH);
  const size_t Produced = Count - Zip.avail_out;
  inflateEnd(&Zip);
  if (Produced == 0) {
    std::free(Memory);
    if (Result == Z_DATA_ERROR || Result == Z_NEED_DICT || Result == Z_STREAM_ERROR)
      throw EPictureError("The alpha data is not a valid zlib stream");
    throw EPictureError("The alpha data holds no alpha value");
  }
  Plane.AdoptBuffer(Memory, uint32_t(Produced));
}

}  // namespace

bool ViewBMP(const uint8_t* Data, size_t Size, TImage& Image, std::string& Failure) {
  Image.Reset();
  if (!Data || Size < 54 || Data[0] != 'B' || Data[1] != 'M') {
    Failure = "Not a BMP file";
    return false;
  }
  const uint32_t PixelOffset = GetU32(Data + 10);
  const uint32_t InfoSize = GetU32(Data + 14);
  const int32_t Width = int32_t(GetU32(Data + 18));
  const int32_t Height = int32_t(GetU32(Data + 22));
  const unsigned Bits = unsigned(Data[28]) | unsigned(Data[29]) << 8;
  const uint32_t Compression = GetU32(Data + 30);
  const bool TopDown = Height < 0;
  const int64_t Rows = TopDown ? -int64_t(Height) : Height;
  TImageFormat Format = ifNone;
  if (Bits == 8 && Compression == 0) Format = ifIndexed8;
  if (Bits == 16 && Compression == 0) Format = ifRGB555;
  if (Bits == 24 && Compression == 0) Format = ifBGR24;
  if (Format == ifNone || InfoSize < 40 || Width <= 0 || Rows <= 0 ||
      uint64_t(Width) * uint64_t(Rows) > MaxBitmapPixels) {
    Failure = "The BMP picture cannot be read";
    return false;
  }
  const uint64_t RowBytes = (uint64_t(Width) * Bits / 8 + 3) / 4 * 4;
  if (PixelOffset > Size || RowBytes * uint64_t(Rows) > Size - PixelOffset) {
    Failure = "The BMP file is cut short";
    return false;
  }
  if (Format == ifIndexed8) {
    // 256 entries of blue, green, red and a reserved byte after the header.
    const uint64_t TableAt = 14 + uint64_t(InfoSize);
    const uint32_t Used = GetU32(Data + 46);
    const uint64_t Entries = std::min<uint64_t>(Used ? Used : 256, 256);
    if (TableAt + 4 * Entries > PixelOffset) {
      Failure = "The BMP colour table is cut short";
      return false;
    }
    Image.Palette.resize(size_t(Entries));
    for (uint64_t i = 0; i < Entries; ++i) {
      const uint8_t* Entry = Data + TableAt + 4 * i;
      Image.Palette[size_t(i)] = {Entry[2], Entry[1], Entry[0], 255};
    }
  }
  const uint8_t* Pixels = Data + PixelOffset;
  const uint8_t* First = TopDown ? Pixels : Pixels + RowBytes * uint64_t(Rows - 1);
  const ptrdiff_t Stride = TopDown ? ptrdiff_t(RowBytes) : -ptrdiff_t(RowBytes);
  std::vector<std::array<uint8_t, 4>> Palette = std::move(Image.Palette);
  Image.View(First, Width, int32_t(Rows), Stride, Format);
  Image.Palette = std::move(Palette);
  return true;
}

void WritePNGWithAlpha(const TImage& Image, const uint8_t* Plane, size_t PlaneSize, bool BottomUp,
                       TShortPlane ShortPlane, const std::string& PngFile) {
  if (Image.IsNull() || TImage::BytesPerPixel(Image.Format()) == 0)
    throw EPictureError("There is no picture to write as PNG");
  auto Target = std::make_unique<tPNGTarget>();
  Target->Image = &Image;
  Target->Width = Image.Width();
  Target->Height = Image.Height();
  if (Image.Format() == ifIndexed8) {
    // A palette picture stays indexed; its entries are all opaque and the
    // plane is not applied.
    Target->ColorType = PNG_COLOR_TYPE_PALETTE;
    const size_t Entries = std::min<size_t>(Image.Palette.size(), 256);
    for (size_t i = 0; i < Entries; ++i) {
      const auto& E = Image.Palette[i];
      Target->Palette.push_back(png_color{E[0], E[1], E[2]});
    }
    // Indices past a short table would make libpng fail: give them black.
    int Highest = 0;
    for (int y = 0; y < Image.Height(); ++y) {
      const uint8_t* Line = Image.Row(y);
      for (int x = 0; x < Image.Width(); ++x) Highest = std::max<int>(Highest, Line[x]);
    }
    while (int(Target->Palette.size()) <= Highest) Target->Palette.push_back(png_color{0, 0, 0});
    Target->Opaque.assign(Target->Palette.size(), 255);
  } else {
    Target->ColorType =
        Image.Format() == ifGray8 ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_RGB_ALPHA;
    Target->Row.resize(size_t(Target->Width) * (Image.Format() == ifGray8 ? 2 : 4));
  }
  Target->Plane = Plane;
  Target->PlaneSize = PlaneSize;
  Target->BottomUp = BottomUp;
  Target->ShortPlane = ShortPlane;

  tTempFile Temp;
  int Descriptor = -1;
  for (int Attempt = 0; Descriptor < 0 && Attempt < 100; ++Attempt) {
    Temp.Name = PngFile + ".part-" + std::to_string(getpid()) + "-" + std::to_string(++TempCounter);
    Descriptor = ::open(Temp.Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Descriptor < 0 && errno != EEXIST) break;
  }
  if (Descriptor < 0) {
    Temp.Name.clear();
    throw EPictureError("Cannot create " + PngFile + ": " + std::strerror(errno));
  }
  Temp.File = fdopen(Descriptor, "wb");
  if (!Temp.File) {
    ::close(Descriptor);
    throw EPictureError("Cannot create " + PngFile + ": " + std::strerror(errno));
  }
  if (!EncodePNG(*Target, Temp.File))
    throw EPictureError("Cannot write " + PngFile + ": " + Target->Failure);
  int Closed = std::fclose(Temp.File);
  Temp.File = nullptr;
  if (Closed != 0) throw EPictureError("Cannot write " + PngFile + ": " + std::strerror(errno));
  if (std::rename(Temp.Name.c_str(), PngFile.c_str()) != 0)
    throw EPictureError("Cannot write " + PngFile + ": " + std::strerror(errno));
  Temp.Kept = true;
}

TPictureSize ComposeJPEGAlphaPNG(const uint8_t* Jpeg, size_t JpegSize, const uint8_t* Alpha,
                                 size_t AlphaSize, const std::string& PngFile,
                                 tSWFStream* Expanded) {
  // The header and the plane first: a picture whose alpha cannot be used is
  // not decoded at all, whatever size it declares.
  TPictureSize Size;
  std::string Failure;
  if (!ReadJPEGSize(Jpeg, JpegSize, Size.Width, Size.Height, Failure)) throw EPictureError(Failure);
  tSWFStream Compressed;
  if (AlphaSize > 0) Compressed.AttachBuffer(const_cast<uint8_t*>(Alpha), uint32_t(AlphaSize));
  tSWFStream Plane;
  InflateAlpha(Compressed, size_t(Size.Width) * size_t(Size.Height), Plane);

  TDecodedJPEG Decoded;
  if (!DecodeJPEGImage(Jpeg, JpegSize, 0, Decoded, Failure)) throw EPictureError(Failure);
  if (Expanded) Expanded->WriteBytes(Plane.Buffer(), Plane.Size());
  // A cut picture gives the rows it really holds.
  Decoded.Image.KeepRows(Decoded.RealRows);
  WritePNGWithAlpha(Decoded.Image, Plane.Buffer(), Plane.Size(), false, spRepeatLast, PngFile);
  return Size;
}

TPictureSize ComposeBMPAlphaPNG(const uint8_t* Bmp, size_t BmpSize, const uint8_t* Plane,
                                size_t PlaneSize, const std::string& PngFile) {
  TImage Picture;
  std::string Failure;
  if (!ViewBMP(Bmp, BmpSize, Picture, Failure))
    throw EPictureError("Cannot read the picture: " + Failure);
  WritePNGWithAlpha(Picture, Plane, PlaneSize, true, spOpaque, PngFile);
  return {Picture.Width(), Picture.Height()};
}

void JPEGAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                    const std::string& PngFile) {
  tSWFStream Jpeg, Compressed;
  if (!Jpeg.LoadFromFile(WorkDir + SourceName))
    throw EPictureError("Cannot read the picture " + WorkDir + SourceName);
  if (!Compressed.LoadFromFile(WorkDir + "alpha"))
    throw EPictureError("Cannot read the alpha data " + WorkDir + "alpha");
  tSWFStream Plane;
  // Later readers of "alpha" (the preview) find the plane expanded, once the
  // picture has decoded.
  try {
    ComposeJPEGAlphaPNG(Jpeg.Buffer(), Jpeg.Size(), Compressed.Buffer(), Compressed.Size(), PngFile,
                        &Plane);
  } catch (const EPictureError&) {
    if (Plane.Size() > 0) Plane.SaveToFile(WorkDir + "alpha");
    throw;
  }
  Plane.SaveToFile(WorkDir + "alpha");
}

void BMPAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                   const std::string& PngFile) {
  tSWFStream Bmp;
  if (!Bmp.LoadFromFile(WorkDir + SourceName))
    throw EPictureError("Cannot read the picture " + WorkDir + SourceName);
  tSWFStream Plane;  // a missing file is an empty plane
  if (!Plane.LoadFromFile(WorkDir + "alpha")) Plane.Reset();
  try {
    ComposeBMPAlphaPNG(Bmp.Buffer(), Bmp.Size(), Plane.Buffer(), Plane.Size(), PngFile);
  } catch (const EPictureError& Error) {
    throw EPictureError(std::string(Error.what()) + " (" + WorkDir + SourceName + ")");
  }
}
