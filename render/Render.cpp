// Preview rendering and thumbnails: a picture's pixels scaled into a box, over
// the checkerboard where it has an alpha plane. Pictures are decoded by the
// core no larger than the box needs and only as far as their data go: rows a
// cut picture does not hold are left blank, never made up.
#include "render/Render.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <new>

#include "extract/Numbers.h"
#include "swf/F_Macromedia.h"

namespace {

// The square size a hand-edited Config.ini may have put out of reach.
constexpr int32_t FallbackSquareSize = 10;
// Where a cut picture's data ends, the rest of its box is this plain grey.
const QRgb Blank = qRgb(215, 215, 215);

// A PNG or GIF decoded by Qt as the core's pixels: colour apart from alpha,
// as the records' pictures come; the colour is never adjusted for its alpha.
bool PixelsOfImage(const QImage& Picture, TPicturePixels& Out, std::string& Failure) {
  Out = TPicturePixels();
  const bool WithAlpha = Picture.hasAlphaChannel();
  const QImage Straight =
      Picture.convertToFormat(WithAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  const int W = Straight.width(), H = Straight.height();
  if (Straight.isNull() || !Out.Colour.Create(W, H, ifRGB24)) {
    Failure = "Not enough memory for the picture";
    return false;
  }
  try {
    if (WithAlpha) Out.Alpha.Owned.resize(size_t(W) * size_t(H));
  } catch (const std::bad_alloc&) {
    Failure = "Not enough memory for the picture";
    return false;
  }
  size_t Next = 0;
  for (int y = 0; y < H; ++y) {
    const auto* In = reinterpret_cast<const QRgb*>(Straight.constScanLine(y));
    uint8_t* Row = Out.Colour.MutableRow(y);
    for (int x = 0; x < W; ++x, Row += 3) {
      Row[0] = uint8_t(qRed(In[x]));
      Row[1] = uint8_t(qGreen(In[x]));
      Row[2] = uint8_t(qBlue(In[x]));
      if (WithAlpha) Out.Alpha.Owned[Next++] = uint8_t(qAlpha(In[x]));
    }
  }
  Out.Width = W;
  Out.Height = H;
  Out.RealRows = H;
  if (WithAlpha) {
    Out.Alpha.Present = true;
    Out.Alpha.Bytes = {Out.Alpha.Owned.data(), uint32_t(Out.Alpha.Owned.size())};
    Out.Alpha.PastEnd = 0;
  }
  return true;
}

// The real rows of Pixels' colour as a 32-bit picture.
QImage WorkingImage(const TPicturePixels& Pixels, int32_t Rows) {
  const TImage& Colour = Pixels.Colour;
  QImage Working(Colour.Width(), Rows, QImage::Format_RGB32);
  if (Working.isNull()) return Working;
  std::vector<uint8_t> Line(size_t(Colour.Width()) * 3);
  for (int32_t Y = 0; Y < Rows; ++Y) {
    Colour.RGBRow(Y, Line.data());
    auto* Out = reinterpret_cast<QRgb*>(Working.scanLine(Y));
    for (int32_t X = 0; X < Colour.Width(); ++X)
      Out[X] = qRgb(Line[3 * size_t(X)], Line[3 * size_t(X) + 1], Line[3 * size_t(X) + 2]);
  }
  return Working;
}

}  // namespace

void ResetWorkspace(TViewWorkspace& Workspace, int32_t PicSize) {
  Workspace.CellSize = PicSize + 20;
  Workspace.ChangeToggle = true;
  ResetWorkspace(static_cast<TWorkspace&>(Workspace));
}


QSize FittedSize(int32_t Width, int32_t Height, int32_t BoxHeight, int32_t BoxWidth) {
  if (Width <= 0 || Height <= 0) return {};
  if (Width > Height) return {BoxWidth, int(RoundHalfEven(int64_t(BoxWidth) * Height, Width))};
  return {int(RoundHalfEven(int64_t(BoxHeight) * Width, Height)), BoxHeight};
}

bool DecodeEmbeddedImage(const uint8_t* Data, size_t Size, QImage& Picture, std::string& Failure) {
  Picture = QImage();
  const TEmbeddedFormat Format = EmbeddedFormat(Data, Size);
  if (Format == efNone || Size > size_t(INT32_MAX)) {
    Failure = "Not a PNG or GIF file";
    return false;
  }
  // Pictures past the program's limit are not drawn, and neither are those
  // whose bytes could not hold the pixels they declare: at one bit a pixel
  // and deflate's or LZW's best, a byte holds a few thousand pixels at most.
  // The reader would otherwise paint the whole declared size.
  const TPictureSize Declared = EmbeddedImageSize(Data, Size);
  const uint64_t Pixels = uint64_t(Declared.Width) * uint64_t(Declared.Height);
  if (Pixels > MaxBitmapPixels || Pixels > 8256 * uint64_t(Size) + 65536) {
    Failure = "The picture is implausibly large for its data";
    return false;
  }
  QByteArray Bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(Data), qsizetype(Size));
  QBuffer Device(&Bytes);
  Device.open(QIODevice::ReadOnly);
  QImageReader Reader(&Device, Format == efPNG ? "png" : "gif");
  Picture = Reader.read();
  if (Picture.isNull()) {
    Failure = Reader.errorString().toStdString();
    return false;
  }
  return true;
}

bool LoadPicturePixels(const TPictureList& Pictures, int32_t Number, int32_t MinSide,
                       TPicturePixels& Out, std::string& Failure) {
  const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
  if (Embedded.Format == efNone)
    return DecodePicture(Pictures, Number, MinSide, duScreen, Out, Failure);
  QImage Picture;
  return DecodeEmbeddedImage(Embedded.Bytes.Data, Embedded.Bytes.Size, Picture, Failure) &&
         PixelsOfImage(Picture, Out, Failure);
}

bool RenderPixels(const TPicturePixels& Pixels, int32_t BoxHeight, int32_t BoxWidth,
                  int32_t BGSquareSize, int32_t BGColor, QImage& Target, std::string& Failure,
                  bool Straight) {
  const int32_t W = Pixels.Width, H = Pixels.Height;
  if (W <= 0 && H <= 0) {
    Failure = "The picture is empty";
    return false;
  }
  const QSize Fitted = FittedSize(W, H, BoxHeight, BoxWidth);
  const int32_t TargetWidth = Fitted.width(), TargetHeight = Fitted.height();
  const int32_t DW = Pixels.Colour.Width(), DH = Pixels.Colour.Height();
  if (TargetWidth <= 0 || TargetHeight <= 0 || W <= 0 || H <= 0 || DW <= 0 || DH <= 0) {
    Target = QImage();  // a zero side: nothing to draw
    return true;
  }
  const int32_t RealRows = std::clamp(Pixels.RealRows, 0, DH);
  if (RealRows == 0) {
    Failure = "The picture holds no row";
    return false;
  }
  QImage Working = WorkingImage(Pixels, RealRows);
  if (Working.isNull()) {
    Failure = "Not enough memory for the picture";
    return false;
  }

  if (Pixels.Alpha.Present) {
    const int32_t S = BGSquareSize >= 1 ? BGSquareSize : FallbackSquareSize;
    const QRgb Dark = qRgb(BGColor & 0xFF, (BGColor >> 8) & 0xFF, (BGColor >> 16) & 0xFF);
    const QRgb White = qRgb(255, 255, 255);
    // The board shows through by alpha, under the colour made straight.
    const TStraightTable* Table =
        Straight && Pixels.Alpha.Premultiplied ? &StraightTable() : nullptr;
    const auto Blend = [Table](int Board, int Picture, int A) {
      if (Table) Picture = (*Table)[A][Picture];
      return (Board * (255 - A) + Picture * A) / 255;
    };
    for (int32_t Y = 0; Y < RealRows; ++Y) {
      const int64_t SY = Pixels.SourceY(Y);
      auto* Line = reinterpret_cast<QRgb*>(Working.scanLine(Y));
      for (int32_t X = 0; X < DW; ++X) {
        const int64_t SX = Pixels.SourceX(X);
        const int A = Pixels.Alpha.At(SX, SY, W, H);
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
    if (Target.isNull()) {
      Failure = "Not enough memory for the picture";
      return false;
    }
    return true;
  }
  // A cut picture: its real rows in their place, the rest of the box blank.
  Target = QImage(TargetWidth, TargetHeight, QImage::Format_RGB32);
  if (Target.isNull()) {
    Failure = "Not enough memory for the picture";
    return false;
  }
  Target.fill(Blank);
  const int32_t RealTarget = int32_t(int64_t(TargetHeight) * RealRows / DH);
  if (RealTarget <= 0) return true;
  const QImage Part =
      Working.scaled(TargetWidth, RealTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  for (int32_t Y = 0; Y < Part.height(); ++Y)
    std::copy_n(reinterpret_cast<const QRgb*>(Part.constScanLine(Y)), TargetWidth,
                reinterpret_cast<QRgb*>(Target.scanLine(Y)));
  return true;
}

bool BuildThumbnail(const TPictureList& Pictures, int32_t Number, const TPictureSettings& Settings,
                    QImage& Thumbnail, std::string& Failure) {
  Thumbnail = QImage();
  TPicturePixels Pixels;
  const int32_t Box = Settings.PicSize;
  return LoadPicturePixels(Pictures, Number, Box, Pixels, Failure) &&
         RenderPixels(Pixels, Box, Box, Settings.BGSquareSize, Settings.BGColor, Thumbnail,
                      Failure, !Settings.KeepPremultiplied);
}

QImage TThumbnail::Painted() const {
  if (Image.isNull() || Shown == Image.size()) return Image;
  return Image.scaled(Shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool DrawThumbnail(const TPictureList& Pictures, int32_t Number, const TPictureSettings& Settings,
                   TThumbnail& Thumbnail, std::string& Failure) {
  Thumbnail = TThumbnail();
  TPicturePixels Pixels;
  const int32_t Box = Settings.PicSize;
  const bool Straight = !Settings.KeepPremultiplied;
  if (!LoadPicturePixels(Pictures, Number, Box, Pixels, Failure)) {
    Thumbnail.Failed = true;
    return false;
  }
  // Smaller than the box, and whole: drawn in its own box, enlarged when painted.
  const QSize Fitted = FittedSize(Pixels.Width, Pixels.Height, Box, Box);
  const TImage& Colour = Pixels.Colour;
  const bool Small = Fitted.isValid() && (Fitted.width() > Colour.Width() ||
                                          Fitted.height() > Colour.Height());
  const bool Whole = Colour.Width() == Pixels.Width && Colour.Height() == Pixels.Height &&
                     Pixels.RealRows == Colour.Height();
  const bool Ok = Small && Whole
                      ? RenderPixels(Pixels, Colour.Height(), Colour.Width(), Settings.BGSquareSize,
                                     Settings.BGColor, Thumbnail.Image, Failure, Straight)
                      : RenderPixels(Pixels, Box, Box, Settings.BGSquareSize, Settings.BGColor,
                                     Thumbnail.Image, Failure, Straight);
  if (!Ok || Thumbnail.Image.isNull()) {
    Thumbnail = TThumbnail();
    Thumbnail.Failed = true;
    if (Ok) Failure = "The picture has a side of 0";
    return false;
  }
  Thumbnail.Shown = Small && Whole ? Fitted : Thumbnail.Image.size();
  return true;
}

bool RenderPreview(const TPictureList& Pictures, int32_t Number, const TPictureSettings& Settings,
                   QSize Pane, TPreview& Preview, std::string& Failure) {
  Preview = TPreview();
  const bool Fit = Pane.isValid();
  TPicturePixels Pixels;
  if (!LoadPicturePixels(Pictures, Number, Fit ? std::max(Pane.width(), Pane.height()) : 0, Pixels,
                         Failure))
    return false;
  // The picture's own size, or smaller where the pane is smaller.
  QSize Box(Pixels.Width, Pixels.Height);
  if (Fit && (Box.width() > Pane.width() || Box.height() > Pane.height()))
    Box = Box.scaled(Pane, Qt::KeepAspectRatio);
  if (!RenderPixels(Pixels, Box.height(), Box.width(), Settings.BGSquareSize, Settings.BGColor,
                    Preview.Image, Failure, !Settings.KeepPremultiplied))
    return false;
  Preview.Width = Pixels.Width;
  Preview.Height = Pixels.Height;
  return true;
}

bool PictureWithAlpha(const TPictureList& Pictures, int32_t Number, QImage& Picture,
                      std::string& Failure, bool Straight) {
  Picture = QImage();
  const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
  if (Embedded.Format != efNone)
    return DecodeEmbeddedImage(Embedded.Bytes.Data, Embedded.Bytes.Size, Picture, Failure);
  // Where the picture has alpha its PNG's pixels, so only what makes a PNG
  // is copied.
  const bool WithAlpha = Pictures.Facts(Number).HasAlpha;
  TPicturePixels Pixels;
  if (!DecodePicture(Pictures, Number, 0, WithAlpha ? duFile : duScreen, Pixels, Failure))
    return false;
  const TImage& Colour = Pixels.Colour;
  // A PNG holds a cut picture's real rows; a JPEG file shows the rest blank.
  const int32_t Rows = WithAlpha ? std::min(Pixels.RealRows, Colour.Height()) : Colour.Height();
  Picture = QImage(Colour.Width(), Rows, WithAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (Picture.isNull()) {
    Failure = "Not enough memory for the picture";
    return false;
  }
  const TStraightTable* Table = Straight && Pixels.Alpha.Premultiplied ? &StraightTable() : nullptr;
  std::vector<uint8_t> Line(size_t(Colour.Width()) * 3);
  for (int32_t Y = 0; Y < Rows; ++Y) {
    auto* Out = reinterpret_cast<QRgb*>(Picture.scanLine(Y));
    if (Y >= Pixels.RealRows) {
      std::fill_n(Out, Colour.Width(), Blank);
      continue;
    }
    Colour.RGBRow(Y, Line.data());
    for (int32_t X = 0; X < Colour.Width(); ++X) {
      const uint8_t A = Pixels.AlphaAt(X, Y);
      const uint8_t* C = &Line[3 * size_t(X)];
      Out[X] = Table ? qRgba((*Table)[A][C[0]], (*Table)[A][C[1]], (*Table)[A][C[2]], A)
                     : qRgba(C[0], C[1], C[2], A);
    }
  }
  return true;
}
