// Alpha composition: the PNG file of a picture with alpha, made from its
// pixels as decoded for a file.
#pragma once

#include <cstdint>
#include <string>

#include "extract/Decode.h"
#include "extract/PictureList.h"

class TWorkerPool;

// Writes Pixels (its real rows, at the picture's own size) as a PNG of colour
// type 6 (4 for grey) whose alpha comes from its plane, opaque without one,
// and whose colour is straight (Straight, the default) or as stored where the
// plane says it is premultiplied. A palette picture is written as colour
// type 3 with every entry opaque and the plane unused. The file appears whole
// or not at all. With a pool, a large picture is deflated in bands on its
// threads. False with Failure set.
bool WritePNGWithAlpha(const TPicturePixels& Pixels, const std::string& PngFile,
                       std::string& Failure, TWorkerPool* Pool = nullptr, bool Straight = true);

// The PNG of picture Number, a DefineBitsJPEG3/4 or DefineBitsLossless2.
bool ComposePicturePNG(const TPictureList& Pictures, int32_t Number, const std::string& PngFile,
                       std::string& Failure, TWorkerPool* Pool = nullptr, bool Straight = true);
// The same on bytes: a JPEG with its zlib alpha data, or one of the
// program's BMPs with its plain plane, bottom row first.
bool ComposeJPEGAlphaPNG(TBlock Jpeg, TBlock Alpha, const std::string& PngFile,
                         std::string& Failure, TWorkerPool* Pool = nullptr, bool Straight = true);
bool ComposeBMPAlphaPNG(TBlock Bmp, TBlock Plane, const std::string& PngFile,
                        std::string& Failure, TWorkerPool* Pool = nullptr, bool Straight = true);
