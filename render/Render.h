// Render: what needs Qt to draw a picture of the core's list. The core's
// decode path gives the pixels; this layer decodes the PNG and GIF files a
// record stores whole (through Qt's reader), scales pictures into boxes and
// paints them over the checkerboard.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <string>
#include <vector>

#include "extract/Decode.h"
#include "extract/Extract.h"
#include "extract/PictureList.h"

// The settings drawing reads (copies of the in-memory settings).
struct TPictureSettings {
  int32_t BGSquareSize = 10;
  int32_t BGColor = 13421772;  // red in the low byte
  int32_t PicSize = 150;
  // Pictures shown with the colour the movie stores, multiplied by its
  // alpha, instead of straight.
  bool KeepPremultiplied = false;
};

// The workspace as the window shows it: the core's, and the grid's layout.
class TViewWorkspace : public TWorkspace {
 public:
  int32_t CurrentRow = 0;
  int32_t ColumnsPerRow = 0;
  int32_t CellSize = 170;
  bool ChangeToggle = true;
};
// The view's part of a reset around the core's: the cell size follows PicSize.
void ResetWorkspace(TViewWorkspace& Workspace, int32_t PicSize);

// A PNG or GIF file, decoded for display through Qt's image reader (a GIF's
// first frame). False with Failure set when it cannot be decoded, or when it
// declares far more pixels than its bytes could hold.
bool DecodeEmbeddedImage(const uint8_t* Data, size_t Size, QImage& Picture, std::string& Failure);

// Picture Number's pixels for the screen, at the smallest scale whose longer
// side still reaches MinSide (0: full size): the core's decode path, or a
// PNG or GIF file a record stores whole, with its own alpha. Out may view
// the list's stores and must not outlive them.
bool LoadPicturePixels(const TPictureList& Pictures, int32_t Number, int32_t MinSide,
                       TPicturePixels& Out, std::string& Failure);

// Draws Pixels scaled into a box, keeping the picture's proportions, over the
// checkerboard where it has alpha: the board is laid out in the picture's
// own pixels, whatever scale it was decoded at. Rows a cut picture does not
// hold are plain grey. A premultiplied colour is made straight first, unless
// Straight is false. A picture with one side of 0 gives an empty Target.
// False with Failure set for a picture with no size or no row.
bool RenderPixels(const TPicturePixels& Pixels, int32_t BoxHeight, int32_t BoxWidth,
                  int32_t BGSquareSize, int32_t BGColor, QImage& Target, std::string& Failure,
                  bool Straight = true);

// The size a picture of Width x Height is drawn at in a box, keeping its
// proportions (rounded halves to the even neighbour).
QSize FittedSize(int32_t Width, int32_t Height, int32_t BoxHeight, int32_t BoxWidth);

// The thumbnail of picture Number: decoded no larger than the thumbnail box
// needs and drawn into it.
bool BuildThumbnail(const TPictureList& Pictures, int32_t Number, const TPictureSettings& Settings,
                    QImage& Thumbnail, std::string& Failure);

// A thumbnail as the grid keeps it: only the pixels it holds. A picture
// smaller than the box is kept at its own size, over its board, and
// enlarged to Shown when it is painted (Painted), exactly as BuildThumbnail
// draws it; a larger one is kept as drawn. Failed: it cannot be drawn.
struct TThumbnail {
  QImage Image;
  QSize Shown;
  bool Failed = false;
  QImage Painted() const;
};
bool DrawThumbnail(const TPictureList& Pictures, int32_t Number, const TPictureSettings& Settings,
                   TThumbnail& Thumbnail, std::string& Failure);

// The preview of picture Number. A valid Pane fits it into that size,
// decoded no larger than the pane can show; an empty one gives it at its full
// size. Width and Height are the picture's own size, which Image may be
// smaller than.
struct TPreview {
  QImage Image;
  int32_t Width = 0;
  int32_t Height = 0;
};
bool RenderPreview(const TPictureList& Pictures, int32_t Number, const TPictureSettings& Settings,
                   QSize Pane, TPreview& Preview, std::string& Failure);

// Picture Number at its full size with its own transparency, as its files
// hold it (the PNG's pixels where it has alpha), for the clipboard.
bool PictureWithAlpha(const TPictureList& Pictures, int32_t Number, QImage& Picture,
                      std::string& Failure, bool Straight = true);
