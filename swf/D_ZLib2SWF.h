// Compress or inflate a region of a stream in place, so the rest of the stream
// and its position stay meaningful.
#pragma once

#include <cstdint>

#include "D_Storages.h"

bool CompressInPlace(tSWFStream& Stream, int32_t Count);
// Replaces the Count bytes at Position by Length new bytes and returns to the
// region's start; the bridges' way of putting a result in place of its input.
bool ReplaceRegion(tSWFStream& Stream, uint32_t Count, const uint8_t* Bytes, uint32_t Length);
bool DecompressInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize);
// The same; Inflated receives how many bytes really came out of the zlib
// stream (at most ExpectedSize): fewer means the result ends in zero fill.
bool DecompressInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize,
                       uint32_t& Inflated);

// Whether the region of Count bytes at Position starts a zlib stream that
// inflates to at least one byte without a data error (a cut end is fine).
bool LooksLikeZlib(const tSWFStream& Stream, int32_t Count);
