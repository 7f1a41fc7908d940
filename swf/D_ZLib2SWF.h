// Compress or inflate a region of a stream in place, so the rest of the stream
// and its position stay meaningful.
#pragma once

#include <cstdint>

#include "D_Storages.h"

bool CompressInPlace(tSWFStream& Stream, int32_t Count);
bool DecompressInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize);
