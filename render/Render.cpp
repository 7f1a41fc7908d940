// Preview rendering and thumbnails: a decoded picture scaled into a box, over
// the checkerboard where it has an alpha plane. Pictures are decoded no larger
// than the box needs (JPEGs through libjpeg's DCT scaling, BMPs averaged down),
// and only as far as their data goes: rows a cut picture does not hold are
// left blank, never made up.
#include "render/Render.h"

#include <zlib.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "swf/F_Macromedia.h"

namespace {

// The square size a hand-edited Config.ini may have put out of reach.
constexpr int32_t FallbackSquareSize = 10;
// Where a cut picture's data ends, the rest of its box is this plain grey.
const QRgb Blank = qRgb(215, 215, 215);

bool FileExists(const std::string& FileName) {
  return QFile::exists(QString::fromStdString(FileName));
}

void DeleteFile(const std::string& FileName) {
  std::remove(FileName.c_str());
}

std::vector<uint8_t> LoadBytes(const std::string& FileName) {
  tSWFStream Stream;
  std::vector<uint8_t> Bytes;
  if (Stream.LoadFromFile(FileName) && Stream.Size() > 0)
    Bytes.assign(Stream.Buffer(), Stream.Buffer() + Stream.Size());
  return Bytes;
}

void SaveBytes(const std::string& FileName, const std::vector<uint8_t>& Bytes) {
  tSWFStream Stream;
  if (!Bytes.empty()) Stream.WriteBytes(Bytes.data(), uint32_t(Bytes.size()));
  Stream.SaveToFile(FileName);
}

// Expands up to Wanted bytes of a zlib stream. False when the data is not
// zlib (a bad header, corrupt data met before Wanted bytes came out, or
// nothing at all came out); a stream that simply ends early gives what it
// held. Storage grows with what really comes out, not with Wanted.
bool InflateAlpha(const uint8_t* Packed, size_t PackedSize, size_t Wanted,
                  std::vector<uint8_t>& Out) {
  Out.clear();
  z_stream Z{};
  if (inflateInit(&Z) != Z_OK) return false;
  Z.next_in = const_cast<Bytef*>(Packed);
  Z.avail_in = uInt(std::min<size_t>(PackedSize, UINT32_MAX));
  size_t Done = 0;
  bool Valid = true;
  while (Done < Wanted) {
    const size_t Grown = std::min(Wanted, std::max<size_t>(Done * 2, 65536));
    Out.resize(Grown);
    const size_t Chunk = std::min<size_t>(Grown - Done, 1u << 30);
    Z.next_out = Out.data() + Done;
    Z.avail_out = uInt(Chunk);
    const int Result = inflate(&Z, Z_NO_FLUSH);
    Done += Chunk - Z.avail_out;
    if (Result == Z_STREAM_END) break;
    if (Result == Z_BUF_ERROR && Z.avail_in == 0) break;  // input ran out
    if (Result != Z_OK && Result != Z_BUF_ERROR) {
      Valid = false;
      break;
    }
  }
  inflateEnd(&Z);
  Out.resize(Done);
  return Valid && Done > 0;
}

bool InflateAlpha(const std::vector<uint8_t>& Packed, size_t Wanted, std::vector<uint8_t>& Out) {
  return InflateAlpha(Packed.data(), Packed.size(), Wanted, Out);
}

// Rounds Numerator / Denominator (both >= 0, Denominator > 0) to the nearest
// integer, halves to the even neighbour.
int32_t DivRoundHalfEven(int64_t Numerator, int64_t Denominator) {
  int64_t Quotient = Numerator / Denominator;
  const int64_t Twice = 2 * (Numerator % Denominator);
  if (Twice > Denominator || (Twice == Denominator && (Quotient & 1))) ++Quotient;
  return int32_t(Quotient);
}

// Deletes the renderer's scratch files however the rendering ends.
struct TScratchCleanup {
  std::string WorkDir;
  ~TScratchCleanup() {
    DeleteFile(WorkDir + "test.alp");
    DeleteFile(WorkDir + "test_JPEG.alp");
  }
};

// An RGB24 core picture as a QImage that takes its storage over.
QImage AdoptRGB24(TImage&& Image) {
  const int W = Image.Width(), H = Image.Height();
  const qsizetype Stride = qsizetype(Image.Stride());
  uint8_t* Bytes = Image.Release();
  if (!Bytes) return {};
  QImage Adopted(
      Bytes, W, H, Stride, QImage::Format_RGB888, [](void* Info) { std::free(Info); }, Bytes);
  if (Adopted.isNull()) std::free(Bytes);
  return Adopted;
}

// The alpha plane of a drawing: present or not, and the order of its rows.
struct TAlpha {
  bool Present = false;
  const std::vector<uint8_t>* Bytes = nullptr;
  bool TopDown = true;
};

// Draws a picture of PictureWidth x PictureHeight, given as Decoded (at its
// own size or scaled down) of which the top RealRows rows are real, into a
// box: over the checkerboard where Alpha says it is transparent, then scaled
// keeping the picture's proportions. Board and plane are laid out in the
// picture's own pixels, whatever the decoded scale.
void Compose(const QImage& Decoded, int32_t PictureWidth, int32_t PictureHeight, int32_t RealRows,
             const TAlpha& Alpha, int32_t BoxHeight, int32_t BoxWidth, int32_t BGSquareSize,
             int32_t BGColor, QImage& Target) {
  const int32_t W = PictureWidth, H = PictureHeight;
  if (W <= 0 && H <= 0) throw EPictureError("The picture is empty");

  int32_t TargetWidth, TargetHeight;
  if (W > H) {
    TargetWidth = BoxWidth;
    TargetHeight = DivRoundHalfEven(int64_t(BoxWidth) * H, W);
  } else {
    TargetHeight = BoxHeight;
    TargetWidth = DivRoundHalfEven(int64_t(BoxHeight) * W, H);
  }
  const int32_t DW = Decoded.width(), DH = Decoded.height();
  if (TargetWidth <= 0 || TargetHeight <= 0 || W <= 0 || H <= 0 || DW <= 0 || DH <= 0) {
    Target = QImage();  // a zero side: nothing to draw
    return;
  }
  RealRows = std::clamp(RealRows, 0, DH);
  if (RealRows == 0) throw EPictureError("The picture holds no row");

  QImage Working = (RealRows == DH ? Decoded : Decoded.copy(0, 0, DW, RealRows))
                       .convertToFormat(QImage::Format_RGB32);
  if (Working.isNull()) throw EPictureError("Not enough memory for the picture");

  if (Alpha.Present) {
    const std::vector<uint8_t>& Plane = *Alpha.Bytes;
    const int32_t S = BGSquareSize >= 1 ? BGSquareSize : FallbackSquareSize;
    const QRgb Dark = qRgb(BGColor & 0xFF, (BGColor >> 8) & 0xFF, (BGColor >> 16) & 0xFF);
    const QRgb White = qRgb(255, 255, 255);
    const auto Blend = [](int Board, int Picture, int A) {
      return (Board * (255 - A) + Picture * A) / 255;
    };
    // Pixels past the plane keep the last value read, 0 before any.
    const int Last = Plane.empty() ? 0 : Plane.back();
    for (int32_t Y = 0; Y < RealRows; ++Y) {
      const int64_t SY = DH == H ? Y : int64_t(Y) * H / DH;
      const int64_t RowStart = (Alpha.TopDown ? SY : H - 1 - SY) * int64_t(W);
      auto* Line = reinterpret_cast<QRgb*>(Working.scanLine(Y));
      for (int32_t X = 0; X < DW; ++X) {
        const int64_t SX = DW == W ? X : int64_t(X) * W / DW;
        const uint64_t At = uint64_t(RowStart + SX);
        const int A = At < Plane.size() ? Plane[At] : Last;
        const QRgb B = ((SX / S + SY / S) % 2 == 0) ? Dark : White;
        const QRgb P = Line[X];
        Line[X] = qRgb(Blend(qRed(B), qRed(P), A), Blend(qGreen(B), qGreen(P), A),
                       Blend(qBlue(B), qBlue(P), A));
      }
    }
  }

  if (RealRows == DH) {
    if (TargetWidth == DW && TargetHeight == DH)
      Target = Working;
    else
      Target = Working.scaled(TargetWidth, TargetHeight, Qt::IgnoreAspectRatio,
                              Qt::SmoothTransformation);
    if (Target.isNull()) throw EPictureError("Not enough memory for the picture");
    return;
  }
  // A cut picture: its real rows in their place, the rest of the box blank.
  Target = QImage(TargetWidth, TargetHeight, QImage::Format_RGB32);
  if (Target.isNull()) throw EPictureError("Not enough memory for the picture");
  Target.fill(Blank);
  const int32_t RealTarget = int32_t(int64_t(TargetHeight) * RealRows / DH);
  if (RealTarget <= 0) return;
  const QImage Part =
      Working.scaled(TargetWidth, RealTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  for (int32_t Y = 0; Y < Part.height(); ++Y)
    std::copy_n(reinterpret_cast<const QRgb*>(Part.constScanLine(Y)), TargetWidth,
                reinterpret_cast<QRgb*>(Target.scanLine(Y)));
}

// The alpha bytes a rendering reads from its alpha file, as RenderPicture
// describes: an expanded zlib stream for "JPEG", the bytes themselves
// otherwise. Wanted bounds the expansion.
std::vector<uint8_t> AlphaFromFile(const std::string& AlphaFile, bool TopDown, size_t Wanted,
                                   const std::string& WorkDir) {
  std::vector<uint8_t> Alpha;
  if (!TopDown) return LoadBytes(AlphaFile);
  // Valid zlib data that ends early is used as far as it goes; the blend
  // repeats its last value.
  std::vector<uint8_t> Expanded;
  if (InflateAlpha(LoadBytes(AlphaFile), Wanted, Expanded)) {
    SaveBytes(WorkDir + "test_JPEG.alp", Expanded);
    return Expanded;
  }
  // Already expanded: the export rewrites "alpha" that way before the preview
  // draws from it. The file's own bytes are taken, never those another
  // picture left in "alpha".
  return LoadBytes(AlphaFile);
}

// The scale (1 in Factor) at which a picture's longer side still reaches
// MinSide; 1 for MinSide 0.
int32_t ReductionFactor(int32_t Width, int32_t Height, int32_t MinSide) {
  if (MinSide <= 0) return 1;
  return std::max<int32_t>(1, std::max(Width, Height) / MinSide);
}

// Bits per pixel of a PNG as its header declares them (bit depth times
// channels), or of a GIF (8: every GIF pixel is an index of a colour table).
int EmbeddedBitsPerPixel(const std::vector<uint8_t>& File) {
  if (EmbeddedFormat(File.data(), File.size()) == efGIF) return 8;
  // Signature, IHDR length and type, width, height, then depth and colour type.
  if (File.size() < 26) return 0;
  const int Depth = File[24];
  switch (File[25]) {
    case 0:  // grey
    case 3:  // palette
      return Depth;
    case 2:  // RGB
      return 3 * Depth;
    case 4:  // grey and alpha
      return 2 * Depth;
    case 6:  // RGB and alpha
      return 4 * Depth;
    default:
      return 0;
  }
}

}  // namespace

void DropPictureStores(TViewWorkspace& Workspace) {
  DropPictureStores(static_cast<TWorkspace&>(Workspace));
  Workspace.Thumbnails.clear();
}

QImage DecodeJPEG(const uint8_t* Data, size_t Size) {
  TDecodedJPEG Decoded;
  std::string Failure;
  if (!DecodeJPEGImage(Data, Size, 0, Decoded, Failure)) throw EPictureError(Failure);
  const int32_t Real = Decoded.RealRows;
  QImage Image = AdoptRGB24(std::move(Decoded.Image));
  if (Image.isNull()) throw EPictureError("Not enough memory for the picture");
  // Rows the data did not reach are blank, not whatever the memory held.
  for (int32_t Y = Real; Y < Image.height(); ++Y) {
    uint8_t* Line = Image.scanLine(Y);
    for (int32_t X = 0; X < Image.width(); ++X, Line += 3)
      Line[0] = uint8_t(qRed(Blank)), Line[1] = uint8_t(qGreen(Blank)),
      Line[2] = uint8_t(qBlue(Blank));
  }
  return Image;
}

QImage DecodeJPEGFile(const std::string& FileName) {
  tSWFStream File;
  if (!File.LoadFromFile(FileName)) throw EPictureError("Cannot open the file " + FileName);
  return DecodeJPEG(File.Buffer(), File.Size());
}

TShownPicture LoadPictureForBox(const uint8_t* Data, size_t Size, bool Jpeg, int32_t MinSide) {
  TShownPicture Shown;
  std::string Failure;
  if (Jpeg) {
    TDecodedJPEG Decoded;
    if (!DecodeJPEGImage(Data, Size, MinSide, Decoded, Failure)) throw EPictureError(Failure);
    Shown.Width = Decoded.Width;
    Shown.Height = Decoded.Height;
    Shown.RealRows = Decoded.RealRows;
    Shown.BitsPerPixel = 24;
    Shown.Image = AdoptRGB24(std::move(Decoded.Image));
    if (Shown.Image.isNull()) throw EPictureError("Not enough memory for the picture");
    return Shown;
  }
  TImage Bmp;
  if (!ViewBMP(Data, Size, Bmp, Failure)) throw EPictureError(Failure);
  Shown.Width = Bmp.Width();
  Shown.Height = Bmp.Height();
  Shown.BitsPerPixel = Bmp.Format() == ifIndexed8 ? 8 : Bmp.Format() == ifRGB555 ? 15 : 24;
  // Averaged down by a whole factor, so a large picture is never drawn whole.
  const int32_t F = ReductionFactor(Bmp.Width(), Bmp.Height(), MinSide);
  const int32_t DW = (Bmp.Width() + F - 1) / F, DH = (Bmp.Height() + F - 1) / F;
  QImage Image(DW, DH, QImage::Format_RGB32);
  if (Image.isNull()) throw EPictureError("Not enough memory for the picture");
  const auto Colour = [&Bmp](const uint8_t* Row, int32_t X, unsigned Rgb[3]) {
    switch (Bmp.Format()) {
      case ifIndexed8: {
        const size_t I = Row[X];
        const auto& E = I < Bmp.Palette.size() ? Bmp.Palette[I] : std::array<uint8_t, 4>{};
        Rgb[0] = E[0], Rgb[1] = E[1], Rgb[2] = E[2];
        break;
      }
      case ifRGB555: {
        const unsigned V = unsigned(Row[2 * X]) | unsigned(Row[2 * X + 1]) << 8;
        Rgb[0] = ((V >> 10) & 31) << 3, Rgb[1] = ((V >> 5) & 31) << 3, Rgb[2] = (V & 31) << 3;
        break;
      }
      default:
        Rgb[0] = Row[3 * X + 2], Rgb[1] = Row[3 * X + 1], Rgb[2] = Row[3 * X];
        break;
    }
  };
  std::vector<unsigned> Sums(size_t(DW) * 3);
  for (int32_t DY = 0; DY < DH; ++DY) {
    std::fill(Sums.begin(), Sums.end(), 0u);
    const int32_t Y0 = DY * F, Y1 = std::min(Bmp.Height(), Y0 + F);
    for (int32_t Y = Y0; Y < Y1; ++Y) {
      const uint8_t* Row = Bmp.Row(Y);
      for (int32_t X = 0; X < Bmp.Width(); ++X) {
        unsigned Rgb[3];
        Colour(Row, X, Rgb);
        unsigned* Sum = &Sums[size_t(X / F) * 3];
        Sum[0] += Rgb[0], Sum[1] += Rgb[1], Sum[2] += Rgb[2];
      }
    }
    auto* Out = reinterpret_cast<QRgb*>(Image.scanLine(DY));
    for (int32_t DX = 0; DX < DW; ++DX) {
      const unsigned Count = unsigned((std::min(Bmp.Width(), DX * F + F) - DX * F) * (Y1 - Y0));
      const unsigned* Sum = &Sums[size_t(DX) * 3];
      Out[DX] = qRgb(int(Sum[0] / Count), int(Sum[1] / Count), int(Sum[2] / Count));
    }
  }
  Shown.Image = std::move(Image);
  Shown.RealRows = DH;
  return Shown;
}

void RenderPicture(const QImage& Source, QImage& Target, const std::string& AlphaFile,
                   int32_t BoxHeight, int32_t BoxWidth, const std::string& FormatLabel,
                   const std::string& WorkDir, int32_t BGSquareSize, int32_t BGColor) {
  TShownPicture Shown;
  Shown.Image = Source;
  Shown.Width = Source.width();
  Shown.Height = Source.height();
  Shown.RealRows = Source.height();
  RenderShownPicture(Shown, Target, AlphaFile, BoxHeight, BoxWidth, FormatLabel, WorkDir,
                     BGSquareSize, BGColor);
}

void RenderShownPicture(const TShownPicture& Shown, QImage& Target, const std::string& AlphaFile,
                        int32_t BoxHeight, int32_t BoxWidth, const std::string& FormatLabel,
                        const std::string& WorkDir, int32_t BGSquareSize, int32_t BGColor) {
  TScratchCleanup Cleanup{WorkDir};
  if (Shown.Width <= 0 && Shown.Height <= 0) throw EPictureError("The picture is empty");
  TAlpha Alpha;
  Alpha.Present = FileExists(AlphaFile);
  Alpha.TopDown = FormatLabel == "JPEG";
  std::vector<uint8_t> Bytes;
  if (Alpha.Present) {
    const size_t Pixels = size_t(std::max(0, Shown.Width)) * size_t(std::max(0, Shown.Height));
    Bytes = AlphaFromFile(AlphaFile, Alpha.TopDown, Pixels, WorkDir);
  }
  Alpha.Bytes = &Bytes;
  Compose(Shown.Image, Shown.Width, Shown.Height, Shown.RealRows, Alpha, BoxHeight, BoxWidth,
          BGSquareSize, BGColor, Target);
}

void RenderImage(const QImage& Picture, QImage& Target, int32_t BoxHeight, int32_t BoxWidth,
                 int32_t BGSquareSize, int32_t BGColor) {
  std::vector<uint8_t> Plane;
  TAlpha Alpha;
  Alpha.Bytes = &Plane;
  if (!Picture.hasAlphaChannel()) {
    Compose(Picture, Picture.width(), Picture.height(), Picture.height(), Alpha, BoxHeight,
            BoxWidth, BGSquareSize, BGColor, Target);
    return;
  }
  // Colour and alpha apart, as the records' pictures come: the colour is
  // never adjusted for its alpha.
  const QImage Straight = Picture.convertToFormat(QImage::Format_ARGB32);
  QImage Colour(Straight.size(), QImage::Format_RGB32);
  if (Straight.isNull() || Colour.isNull())
    throw EPictureError("Not enough memory for the picture");
  Plane.resize(size_t(Straight.width()) * size_t(Straight.height()));
  size_t Next = 0;
  for (int y = 0; y < Straight.height(); ++y) {
    const auto* In = reinterpret_cast<const QRgb*>(Straight.constScanLine(y));
    auto* Out = reinterpret_cast<QRgb*>(Colour.scanLine(y));
    for (int x = 0; x < Straight.width(); ++x) {
      Out[x] = In[x] | 0xFF000000u;
      Plane[Next++] = uint8_t(qAlpha(In[x]));
    }
  }
  Alpha.Present = true;
  Compose(Colour, Colour.width(), Colour.height(), Colour.height(), Alpha, BoxHeight, BoxWidth,
          BGSquareSize, BGColor, Target);
}

QImage DecodeEmbeddedImage(const uint8_t* Data, size_t Size) {
  const TEmbeddedFormat Format = EmbeddedFormat(Data, Size);
  if (Format == efNone || Size > size_t(INT32_MAX)) throw EPictureError("Not a PNG or GIF file");
  QByteArray Bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(Data), qsizetype(Size));
  QBuffer Device(&Bytes);
  Device.open(QIODevice::ReadOnly);
  QImageReader Reader(&Device, Format == efPNG ? "png" : "gif");
  // Pictures past the program's limit are not drawn, and neither are those
  // whose bytes could not hold the pixels they declare: at one bit a pixel
  // and deflate's or LZW's best, a byte holds a few thousand pixels at most.
  // The reader would otherwise paint the whole declared size.
  const TPictureSize Declared = EmbeddedImageSize(Data, Size);
  const uint64_t Pixels = uint64_t(Declared.Width) * uint64_t(Declared.Height);
  if (Pixels > MaxBitmapPixels || Pixels > 8256 * uint64_t(Size) + 65536)
    throw EPictureError("The picture is implausibly large for its data");
  QImage Picture = Reader.read();
  if (Picture.isNull()) throw EPictureError(Reader.errorString().toStdString());
  return Picture;
}

TPreview RenderPreview(TWorkspace& Workspace, int32_t Number, const TPictureSettings& Settings,
                       QSize Pane) {
  const std::string& WorkDir = Workspace.WorkDir;
  const std::string Name = WorkDir + Settings.Prefix + std::to_string(Number);
  DeleteFile(WorkDir + "0.bmp");
  DeleteFile(WorkDir + "0.jpeg");
  struct TCleanup {
    const std::string& Name;
    ~TCleanup() {
      for (const char* Extension : {".jpg", ".bmp", ".png", ".gif"}) DeleteFile(Name + Extension);
    }
  } Cleanup{Name};

  ExportPicture(Workspace, Number, WorkDir, Settings.Prefix);
  const bool Fit = Pane.isValid();
  const int32_t PaneSide = Fit ? std::max(Pane.width(), Pane.height()) : 0;
  TShownPicture Picture;
  TPreview Preview;
  const auto Load = [&](const std::string& File, bool Jpeg) {
    const std::vector<uint8_t> Stored = LoadBytes(File);
    Picture = LoadPictureForBox(Stored.data(), Stored.size(), Jpeg, PaneSide);
  };
  if (FileExists(Name + ".bmp")) {
    Load(Name + ".bmp", false);
    Preview.Kind = "BMP";
  }
  if (FileExists(Name + ".jpg")) {
    Load(Name + ".jpg", true);
    Preview.Kind = "JPEG";
  }
  if (FileExists(WorkDir + "alpha")) Preview.Kind = "PNG";

  // The picture's own size, or smaller where the pane is smaller.
  const auto FittedBox = [&] {
    QSize Box(Picture.Width, Picture.Height);
    if (Fit && (Box.width() > Pane.width() || Box.height() > Pane.height()))
      Box = Box.scaled(Pane, Qt::KeepAspectRatio);
    return Box;
  };
  if (Preview.Kind.empty()) {
    // A PNG or GIF file the record stores whole, drawn with its own alpha.
    for (const char* Extension : {".png", ".gif"}) {
      const std::vector<uint8_t> Stored = LoadBytes(Name + Extension);
      if (Stored.empty()) continue;
      Picture.Image = DecodeEmbeddedImage(Stored.data(), Stored.size());
      Picture.Width = Picture.Image.width();
      Picture.Height = Picture.Image.height();
      Picture.BitsPerPixel = EmbeddedBitsPerPixel(Stored);
      Preview.Kind = Extension == std::string(".png") ? "PNG" : "GIF";
      const QSize Box = FittedBox();
      RenderImage(Picture.Image, Preview.Image, Box.height(), Box.width(), Settings.BGSquareSize,
                  Settings.BGColor);
      break;
    }
    if (Preview.Kind.empty()) throw EPictureError("Nothing to show");
  } else {
    const QSize Box = FittedBox();
    RenderShownPicture(Picture, Preview.Image, WorkDir + "alpha", Box.height(), Box.width(),
                       Workspace.FormatLabel, WorkDir, Settings.BGSquareSize, Settings.BGColor);
  }
  Preview.Width = Picture.Width;
  Preview.Height = Picture.Height;
  Preview.BitsPerPixel = Picture.BitsPerPixel;
  return Preview;
}

QImage BuildThumbnail(TWorkspace& Workspace, int32_t Number, const TPictureSettings& Settings) {
  const std::string& WorkDir = Workspace.WorkDir;
  const std::string JpegFile = WorkDir + "0.jpeg";
  const std::string BmpFile = WorkDir + "0.bmp";
  const std::string AlphaFile = WorkDir + "test.alp";

  // The scratch files and the alpha encoding belong to this picture only.
  struct TCleanup {
    TWorkspace& Workspace;
    std::string Jpeg, Bmp, Alpha;
    ~TCleanup() {
      Workspace.FormatLabel.clear();
      DeleteFile(Jpeg);
      DeleteFile(Bmp);
      DeleteFile(Alpha);
    }
  } Cleanup{Workspace, JpegFile, BmpFile, AlphaFile};

  const TPictureList& Pictures = Workspace.Pictures;
  const TPictureList::TBlock Primary = Pictures.Primary(Number);
  const TPictureList::TBlock Side = Pictures.Side(Number);
  const int32_t TagCode = Pictures.TagCode(Number);
  const int32_t Box = Settings.PicSize;

  const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
  if (Embedded.Format != efNone) {
    QImage Thumbnail;
    RenderImage(DecodeEmbeddedImage(Embedded.Bytes.Data, Embedded.Bytes.Size), Thumbnail, Box, Box,
                Settings.BGSquareSize, Settings.BGColor);
    return Thumbnail;
  }

  tSWFStream Scratch;
  const auto CopyBlock = [&Scratch](const TPictureList::TBlock& Block) {
    if (Block.Size > 0 && !Scratch.WriteBytes(Block.Data, Block.Size))
      throw EPictureError("Not enough memory for the picture");
  };

  TShownPicture Shown;
  TAlpha Alpha;
  std::vector<uint8_t> Plane;
  Alpha.Bytes = &Plane;
  switch (TagCode) {
    case stagDefineBits:
    case stagDefineBitsJPEG2:
    case stagDefineBitsJPEG3:
    case stagDefineBitsJPEG4:
      if (TagCode == stagDefineBits)
        JoinDefineBits(Pictures, Number, Scratch);
      else
        CopyBlock(Primary);
      RepairJPEGStream(Scratch, Scratch);
      Workspace.FormatLabel = "JPEG";
      Scratch.SaveToFile(JpegFile);
      Shown = LoadPictureForBox(Scratch.Buffer(), Scratch.Size(), true, Box);
      if (IsJPEGWithAlpha(TagCode)) {
        // Only the plane's rows the decoded part covers are expanded.
        Alpha.Present = true;
        const int64_t Rows = int64_t(Shown.RealRows) * Shown.Height / Shown.Image.height();
        const size_t Wanted =
            size_t(Shown.Width) * size_t(std::min<int64_t>(Shown.Height, Rows + 1));
        if (!InflateAlpha(Side.Data, Side.Size, Wanted, Plane))
          Plane.assign(Side.Data, Side.Data + Side.Size);  // not zlib: its own bytes
      }
      break;
    case stagDefineBitsLossless:
    case stagDefineBitsLossless2:
      CopyBlock(Primary);
      Scratch.SaveToFile(BmpFile);
      Workspace.FormatLabel = "BMP";
      Shown = LoadPictureForBox(Scratch.Buffer(), Scratch.Size(), false, Box);
      if (TagCode == stagDefineBitsLossless2) {
        Alpha.Present = true;
        Alpha.TopDown = false;
        if (Side.Size > 0) Plane.assign(Side.Data, Side.Data + Side.Size);
      }
      break;
    default:
      throw EPictureError("No picture number " + std::to_string(Number));
  }

  QImage Thumbnail;
  Compose(Shown.Image, Shown.Width, Shown.Height, Shown.RealRows, Alpha, Box, Box,
          Settings.BGSquareSize, Settings.BGColor, Thumbnail);
  return Thumbnail;
}
