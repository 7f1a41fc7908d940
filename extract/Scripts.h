// The picture core, by stage, for callers that use all of it. A picture
// travels down these headers in order: the walk (Extract.h) finds its record
// and lists it with its facts (PictureList.h), converting lossless pixels
// (Lossless.h) and repairing JPEG data (JPEGRepair.h) on the way; decoding
// (Decode.h, JPEGDecode.h) gives its pixels; the export (Export.h) writes its
// files, composing PNGs (AlphaPNG.h), on worker threads (Workers.h), and
// tells an observer (Observer.h).
#pragma once

#include "extract/AlphaPNG.h"
#include "extract/Decode.h"
#include "extract/Export.h"
#include "extract/Extract.h"
#include "extract/Image.h"
#include "extract/JPEGDecode.h"
#include "extract/JPEGRepair.h"
#include "extract/Lossless.h"
#include "extract/Numbers.h"
#include "extract/Observer.h"
#include "extract/PictureList.h"
#include "extract/Workers.h"
