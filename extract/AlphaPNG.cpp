// Alpha composition: a decoded picture and its alpha plane become one PNG with
// an alpha channel. Colour samples are written as decoded; alpha never alters
// them. A PNG is written to a temporary file beside the target and renamed
// only once complete, so a failure leaves no half-written picture behind.
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
#include <new>
#include <string>
#include <vector>

#include "extract/Scripts.h"

namespace {

// Names of temporary files differ within one process as well.
std::atomic<unsigned> TempCounter{0};

struct tPNGTarget {
  QImage Image;  // RGB888, RGB32, Grayscale8 or Indexed8
  int ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
  int Width = 0;
  int Height = 0;
  const uint8_t* Plane = nullptr;
  size_t PlaneSize = 0;
  bool BottomUp = false;
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
// takes plane byte y * W + x, or (H - 1 - y) * W + x for a bottom-up plane;
// pixels the plane does not reach stay opaque. A palette row is the
// picture's own scanline.
const uint8_t* ComposeRow(tPNGTarget& Target, int y) {
  const uint8_t* In = Target.Image.constScanLine(y);
  if (Target.ColorType == PNG_COLOR_TYPE_PALETTE) return In;
  const size_t W = size_t(Target.Width);
  const size_t PlaneRow = size_t(Target.BottomUp ? Target.Height - 1 - y : y) * W;
  // Alphas this row finds in the plane; the rest are opaque.
  const size_t Reached =
      !Target.Plane || PlaneRow >= Target.PlaneSize ? 0 : std::min(W, Target.PlaneSize - PlaneRow);
  const uint8_t* Alphas = Reached ? Target.Plane + PlaneRow : nullptr;
  uint8_t* Out = Target.Row.data();
  if (Target.ColorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    for (size_t x = 0; x < W; ++x) {
      *Out++ = In[x];
      *Out++ = x < Reached ? Alphas[x] : 255;
    }
  } else if (Target.Image.format() == QImage::Format_RGB32) {
    // 0xffRRGGBB in native order: the bytes an RGB888 conversion would keep.
    const auto* Pixels = reinterpret_cast<const QRgb*>(In);
    for (size_t x = 0; x < W; ++x) {
      QRgb Pixel = Pixels[x];
      *Out++ = uint8_t(qRed(Pixel));
      *Out++ = uint8_t(qGreen(Pixel));
      *Out++ = uint8_t(qBlue(Pixel));
      *Out++ = x < Reached ? Alphas[x] : 255;
    }
  } else {
    for (size_t x = 0; x < W; ++x) {
      *Out++ = In[3 * x];
      *Out++ = In[3 * x + 1];
      *Out++ = In[3 * x + 2];
      *Out++ = x < Reached ? Alphas[x] : 255;
    }
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
  for (int y = 0; y < Target.Height; ++y) png_write_row(Png, ComposeRow(Target, y));
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

// The plane inflated from the "alpha" file, held by a stream so it can be
// saved back without a copy.
struct tPlane {
  tSWFStream Bytes;
  const uint8_t* data() const { return Bytes.Buffer(); }
  size_t size() const { return Bytes.Size(); }
};

// Exactly Count bytes inflated from one zlib stream; more are not looked at.
void InflateAlpha(const tSWFStream& Compressed, size_t Count, tPlane& Plane) {
  // Every byte is written before the plane is used, so none is cleared first.
  uint8_t* Memory = Count ? static_cast<uint8_t*>(std::malloc(Count)) : nullptr;
  if (Count && !Memory) throw std::bad_alloc();
  Plane.Bytes.AdoptBuffer(Memory, uint32_t(Count));
  z_stream Zip{};
  if (inflateInit(&Zip) != Z_OK) throw EPictureError("Cannot start inflating the alpha data");
  Zip.next_in = const_cast<Bytef*>(Compressed.Buffer());
  Zip.avail_in = uInt(Compressed.Size());
  Zip.next_out = Memory;
  Zip.avail_out = uInt(Count);
  int Result = Z_OK;
  while (Zip.avail_out > 0 && Result == Z_OK) Result = inflate(&Zip, Z_NO_FLUSH);
  size_t Produced = Count - Zip.avail_out;
  inflateEnd(&Zip);
  if (Produced < Count) {
    if (Result == Z_DATA_ERROR || Result == Z_NEED_DICT || Result == Z_STREAM_ERROR ||
        Result == Z_MEM_ERROR)
      throw EPictureError("The alpha data is not a valid zlib stream");
    throw EPictureError("The alpha data holds " + std::to_string(Produced) + " bytes for " +
                        std::to_string(Count) + " pixels");
  }
}

}  // namespace

void WritePNGWithAlpha(const QImage& Image, const uint8_t* Plane, size_t PlaneSize, bool BottomUp,
                       const std::string& PngFile) {
  if (Image.isNull() || Image.width() <= 0 || Image.height() <= 0)
    throw EPictureError("There is no picture to write as PNG");
  auto Target = std::make_unique<tPNGTarget>();
  Target->Width = Image.width();
  Target->Height = Image.height();
  if (Image.format() == QImage::Format_Indexed8) {
    // A palette picture stays indexed; its entries are all opaque and the
    // plane is not applied.
    Target->Image = Image;
    Target->ColorType = PNG_COLOR_TYPE_PALETTE;
    const QList<QRgb> Table = Image.colorTable();
    int Entries = int(std::min<qsizetype>(Table.size(), 256));
    for (int i = 0; i < Entries; ++i)
      Target->Palette.push_back(png_color{png_byte(qRed(Table[i])), png_byte(qGreen(Table[i])),
                                          png_byte(qBlue(Table[i]))});
    // Indices past a short table would make libpng fail: give them black.
    int Highest = 0;
    for (int y = 0; y < Image.height(); ++y) {
      const uint8_t* Line = Image.constScanLine(y);
      for (int x = 0; x < Image.width(); ++x) Highest = std::max<int>(Highest, Line[x]);
    }
    while (int(Target->Palette.size()) <= Highest) Target->Palette.push_back(png_color{0, 0, 0});
    Target->Opaque.assign(Target->Palette.size(), 255);
  } else if (Image.format() == QImage::Format_Grayscale8) {
    Target->Image = Image;
    Target->ColorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  } else if (Image.format() == QImage::Format_RGB32 || Image.format() == QImage::Format_RGB888) {
    Target->Image = Image;  // read in place, no converted copy
    Target->ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
  } else {
    Target->Image = Image.convertToFormat(QImage::Format_RGB888);
    Target->ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
    if (Target->Image.isNull()) throw EPictureError("Not enough memory to compose the PNG");
  }
  Target->Plane = Plane;
  Target->PlaneSize = PlaneSize;
  Target->BottomUp = BottomUp;
  if (Target->ColorType != PNG_COLOR_TYPE_PALETTE)
    Target->Row.resize(size_t(Target->Width) *
                       (Target->ColorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 4));

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

void JPEGAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                    const std::string& PngFile) {
  QImage Picture = DecodeJPEGFile(WorkDir + SourceName);
  const size_t Count = size_t(Picture.width()) * size_t(Picture.height());
  tSWFStream Compressed;
  if (!Compressed.LoadFromFile(WorkDir + "alpha"))
    throw EPictureError("Cannot read the alpha data " + WorkDir + "alpha");
  tPlane Plane;
  InflateAlpha(Compressed, Count, Plane);
  // Later readers of "alpha" (the preview) find the plane expanded.
  Plane.Bytes.SaveToFile(WorkDir + "alpha");
  WritePNGWithAlpha(Picture, Plane.data(), Plane.size(), false, PngFile);
}

void BMPAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                   const std::string& PngFile) {
  QImage Picture;
  if (!Picture.load(QString::fromStdString(WorkDir + SourceName), "BMP"))
    throw EPictureError("Cannot read the picture " + WorkDir + SourceName);
  tSWFStream Plane;  // a missing file is an empty plane
  if (!Plane.LoadFromFile(WorkDir + "alpha")) Plane.Reset();
  WritePNGWithAlpha(Picture, Plane.Buffer(), Plane.Size(), true, PngFile);
}
