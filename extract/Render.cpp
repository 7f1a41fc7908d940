// Preview rendering and thumbnails: a decoded picture scaled into a box, over
// the checkerboard where it has an alpha plane.
#include <zlib.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cstdio>
#include <vector>

#include "extract/Scripts.h"
#include "swf/F_Macromedia.h"

namespace {

// The square size a hand-edited Config.ini may have put out of reach.
constexpr int32_t FallbackSquareSize = 10;

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
// held.
bool InflateAlpha(const std::vector<uint8_t>& Packed, size_t Wanted, std::vector<uint8_t>& Out) {
  Out.assign(Wanted, 0);
  z_stream Z{};
  if (inflateInit(&Z) != Z_OK) return false;
  Z.next_in = const_cast<Bytef*>(Packed.data());
  Z.avail_in = uInt(Packed.size());
  size_t Done = 0;
  bool Valid = true;
  while (Done < Wanted) {
    const size_t Chunk = std::min<size_t>(Wanted - Done, 1u << 30);
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

}  // namespace

namespace {

// The drawing of RenderPicture, given the alpha bytes themselves (HasAlpha
// false: no board), top row first or bottom row first.
void RenderWithPlane(const QImage& Source, QImage& Target, bool HasAlpha,
                     const std::vector<uint8_t>& Alpha, bool TopDown, int32_t BoxHeight,
                     int32_t BoxWidth, int32_t BGSquareSize, int32_t BGColor) {
  const int32_t W = Source.width();
  const int32_t H = Source.height();
  if (W <= 0 && H <= 0) throw EPictureError("The picture is empty");

  int32_t TargetWidth, TargetHeight;
  if (W > H) {
    TargetWidth = BoxWidth;
    TargetHeight = DivRoundHalfEven(int64_t(BoxWidth) * H, W);
  } else {
    TargetHeight = BoxHeight;
    TargetWidth = DivRoundHalfEven(int64_t(BoxHeight) * W, H);
  }
  if (TargetWidth <= 0 || TargetHeight <= 0 || W <= 0 || H <= 0) {
    Target = QImage();  // a zero side: nothing to draw
    return;
  }

  QImage Working = Source.convertToFormat(QImage::Format_RGB32);
  if (Working.isNull()) throw EPictureError("Not enough memory for the picture");

  if (HasAlpha) {
    const int32_t S = BGSquareSize >= 1 ? BGSquareSize : FallbackSquareSize;
    const QRgb Dark = qRgb(BGColor & 0xFF, (BGColor >> 8) & 0xFF, (BGColor >> 16) & 0xFF);
    const QRgb White = qRgb(255, 255, 255);
    const auto Blend = [](int Board, int Picture, int A) {
      return (Board * (255 - A) + Picture * A) / 255;
    };
    size_t Next = 0;
    int A = 0;
    for (int32_t Step = 0; Step < H; ++Step) {
      const int32_t Y = TopDown ? Step : H - 1 - Step;
      auto* Line = reinterpret_cast<QRgb*>(Working.scanLine(Y));
      for (int32_t X = 0; X < W; ++X) {
        if (Next < Alpha.size()) A = Alpha[Next++];
        const QRgb B = ((X / S + Y / S) % 2 == 0) ? Dark : White;
        const QRgb P = Line[X];
        Line[X] = qRgb(Blend(qRed(B), qRed(P), A), Blend(qGreen(B), qGreen(P), A),
                       Blend(qBlue(B), qBlue(P), A));
      }
    }
  }

  if (TargetWidth == W && TargetHeight == H)
    Target = Working;
  else
    Target =
        Working.scaled(TargetWidth, TargetHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (Target.isNull()) throw EPictureError("Not enough memory for the picture");
}

}  // namespace

void RenderPicture(const QImage& Source, QImage& Target, const std::string& AlphaFile,
                   int32_t BoxHeight, int32_t BoxWidth, const std::string& FormatLabel,
                   const std::string& WorkDir, int32_t BGSquareSize, int32_t BGColor) {
  TScratchCleanup Cleanup{WorkDir};
  const int32_t W = Source.width();
  const int32_t H = Source.height();
  if (W <= 0 && H <= 0) throw EPictureError("The picture is empty");

  const bool HasAlpha = FileExists(AlphaFile);
  const bool TopDown = FormatLabel == "JPEG";
  const size_t PixelCount = size_t(W) * size_t(H);
  std::vector<uint8_t> Alpha;
  if (HasAlpha) {
    if (TopDown) {
      // Valid zlib data that ends early is used as far as it goes; the
      // blend repeats its last value.
      std::vector<uint8_t> Expanded;
      if (InflateAlpha(LoadBytes(AlphaFile), PixelCount, Expanded)) {
        SaveBytes(WorkDir + "test_JPEG.alp", Expanded);
        Alpha = std::move(Expanded);
      } else {
        // Already expanded: the export rewrites "alpha" that way before the
        // preview draws from it. The file's own bytes are taken, never those
        // another picture left in "alpha".
        Alpha = LoadBytes(AlphaFile);
      }
    } else {
      Alpha = LoadBytes(AlphaFile);
    }
  }
  RenderWithPlane(Source, Target, HasAlpha, Alpha, TopDown, BoxHeight, BoxWidth, BGSquareSize,
                  BGColor);
}

void RenderImage(const QImage& Picture, QImage& Target, int32_t BoxHeight, int32_t BoxWidth,
                 int32_t BGSquareSize, int32_t BGColor) {
  if (!Picture.hasAlphaChannel()) {
    RenderWithPlane(Picture, Target, false, {}, true, BoxHeight, BoxWidth, BGSquareSize, BGColor);
    return;
  }
  // Colour and alpha apart, as the records' pictures come: the colour is
  // never adjusted for its alpha.
  const QImage Straight = Picture.convertToFormat(QImage::Format_ARGB32);
  QImage Colour(Straight.size(), QImage::Format_RGB32);
  if (Straight.isNull() || Colour.isNull())
    throw EPictureError("Not enough memory for the picture");
  std::vector<uint8_t> Alpha(size_t(Straight.width()) * size_t(Straight.height()));
  size_t Next = 0;
  for (int y = 0; y < Straight.height(); ++y) {
    const auto* In = reinterpret_cast<const QRgb*>(Straight.constScanLine(y));
    auto* Out = reinterpret_cast<QRgb*>(Colour.scanLine(y));
    for (int x = 0; x < Straight.width(); ++x) {
      Out[x] = In[x] | 0xFF000000u;
      Alpha[Next++] = uint8_t(qAlpha(In[x]));
    }
  }
  RenderWithPlane(Colour, Target, true, Alpha, true, BoxHeight, BoxWidth, BGSquareSize, BGColor);
}

QImage DecodeEmbeddedImage(const uint8_t* Data, size_t Size) {
  const TEmbeddedFormat Format = EmbeddedFormat(Data, Size);
  if (Format == efNone || Size > size_t(INT32_MAX)) throw EPictureError("Not a PNG or GIF file");
  QByteArray Bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(Data), qsizetype(Size));
  QBuffer Device(&Bytes);
  Device.open(QIODevice::ReadOnly);
  QImageReader Reader(&Device, Format == efPNG ? "png" : "gif");
  const QSize Declared = Reader.size();
  // Pictures past the program's limit are not drawn, whatever they declare.
  if (Declared.isValid() &&
      uint64_t(Declared.width()) * uint64_t(Declared.height()) > MaxBitmapPixels)
    throw EPictureError("The picture is implausibly large");
  QImage Picture = Reader.read();
  if (Picture.isNull()) throw EPictureError(Reader.errorString().toStdString());
  return Picture;
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

  const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
  if (Embedded.Format != efNone) {
    QImage Thumbnail;
    RenderImage(DecodeEmbeddedImage(Embedded.Bytes.Data, Embedded.Bytes.Size), Thumbnail,
                Settings.PicSize, Settings.PicSize, Settings.BGSquareSize, Settings.BGColor);
    return Thumbnail;
  }

  tSWFStream Scratch;
  const auto CopyBlock = [&Scratch](const TPictureList::TBlock& Block) {
    if (Block.Size > 0 && !Scratch.WriteBytes(Block.Data, Block.Size))
      throw EPictureError("Not enough memory for the picture");
  };
  const auto SaveSide = [&] {
    Scratch.Reset();
    CopyBlock(Side);
    Scratch.SaveToFile(AlphaFile);
  };

  QImage Decoded;
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
      if (IsJPEGWithAlpha(TagCode)) SaveSide();
      Decoded = DecodeJPEGFile(JpegFile);
      break;
    case stagDefineBitsLossless:
    case stagDefineBitsLossless2:
      CopyBlock(Primary);
      Scratch.SaveToFile(BmpFile);
      Workspace.FormatLabel = "BMP";
      if (TagCode == stagDefineBitsLossless2) SaveSide();
      Decoded = QImage(QString::fromStdString(BmpFile), "BMP");
      if (Decoded.isNull()) throw EPictureError("The BMP picture cannot be read");
      break;
    default:
      throw EPictureError("No picture number " + std::to_string(Number));
  }

  QImage Thumbnail;
  RenderPicture(Decoded, Thumbnail, AlphaFile, Settings.PicSize, Settings.PicSize,
                Workspace.FormatLabel, WorkDir, Settings.BGSquareSize, Settings.BGColor);
  return Thumbnail;
}
