// Render: what needs Qt to draw a picture of the core's list: thumbnails,
// the preview over the checkerboard, and PNG or GIF files decoded for display.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "extract/Scripts.h"

// The workspace as the window shows it: the core's, and one thumbnail per
// picture.
class TViewWorkspace : public TWorkspace {
 public:
  using TWorkspace::TWorkspace;
  std::vector<QImage> Thumbnails;
};
// The core's release of the previous movie's stores, and its thumbnails.
void DropPictureStores(TViewWorkspace& Workspace);

// A JPEG as a 24-bit QImage of its full size, rows the data did not reach
// left blank. Throws EPictureError with the decoder's message on failure.
QImage DecodeJPEG(const uint8_t* Data, size_t Size);
QImage DecodeJPEGFile(const std::string& FileName);

// Draws Source scaled into a box, over the checkerboard where AlphaFile exists.
// Throws EPictureError for an empty source.
void RenderPicture(const QImage& Source, QImage& Target, const std::string& AlphaFile,
                   int32_t BoxHeight, int32_t BoxWidth, const std::string& FormatLabel,
                   const std::string& WorkDir, int32_t BGSquareSize, int32_t BGColor);

// A picture decoded for showing: Image (no larger than asked for) stands for a
// picture of Width x Height pixels, of which the top RealRows rows of Image
// are real (a cut picture's rest is not in its data).
struct TShownPicture {
  QImage Image;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t RealRows = 0;
  int BitsPerPixel = 0;  // of the stored picture: 24 for a JPEG, the BMP's own
};
// A JPEG (Jpeg true) or one of the program's BMP files, decoded at the
// smallest scale whose longer side still reaches MinSide (0: full size).
// Throws EPictureError.
TShownPicture LoadPictureForBox(const uint8_t* Data, size_t Size, bool Jpeg, int32_t MinSide);
// RenderPicture for a picture decoded at any scale.
void RenderShownPicture(const TShownPicture& Shown, QImage& Target, const std::string& AlphaFile,
                        int32_t BoxHeight, int32_t BoxWidth, const std::string& FormatLabel,
                        const std::string& WorkDir, int32_t BGSquareSize, int32_t BGColor);

// Draws a picture that carries its own alpha channel (a PNG or GIF a record
// stores whole) as RenderPicture draws the others: scaled into the box, over
// the checkerboard where it is transparent.
void RenderImage(const QImage& Picture, QImage& Target, int32_t BoxHeight, int32_t BoxWidth,
                 int32_t BGSquareSize, int32_t BGColor);
// A PNG or GIF file, decoded for display through Qt's image reader (a GIF's
// first frame). Throws EPictureError when it cannot be decoded.
QImage DecodeEmbeddedImage(const uint8_t* Data, size_t Size);

// The preview of picture Number, as a click shows it: exported into the
// working folder, loaded back and drawn over the checkerboard. A valid Pane
// fits it into that size, decoded no larger than the pane can show; an empty
// one gives it at its full size. Kind is "JPEG", "PNG", "BMP" or "GIF". The
// files written for it are removed again. Throws EPictureError for an empty
// slot or a picture that cannot be shown.
struct TPreview {
  QImage Image;
  std::string Kind;
  int32_t Width = 0;   // the picture's own size, which Image may be
  int32_t Height = 0;  // smaller than
  int BitsPerPixel = 0;
};
TPreview RenderPreview(TWorkspace& Workspace, int32_t Number, const TPictureSettings& Settings,
                       QSize Pane);

// The thumbnail of picture Number, built through the working folder as the
// thumbnail builder does. Throws EPictureError when the picture cannot be decoded.
QImage BuildThumbnail(TWorkspace& Workspace, int32_t Number, const TPictureSettings& Settings);
