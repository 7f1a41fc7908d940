// Expand the LZMA body of a "ZWS" movie in place, beside the zlib bridge, so
// the rest of the stream and its position stay meaningful.
#pragma once

#include <cstdint>

#include "D_Storages.h"

// The region of Count bytes at Position holds what follows the first 8 bytes
// of an LZMA movie: the compressed length (UI32), the five LZMA property
// bytes, then the raw LZMA stream, with or without an end marker. The region
// is replaced by the ExpectedSize bytes the stream expands to, and the stream
// is left positioned at the region's start.
//
// The compressed length is not used: the stream ends itself at ExpectedSize
// bytes (or at its end marker), and the input never reaches past the file.
// Nor is the declared dictionary taken on trust: it is cut to the movie's
// size, and a small one is tried first (see the source).
//
// A stream that ends early (cut, damaged, or an end marker before
// ExpectedSize) keeps what it decoded, followed by zeros up to ExpectedSize
// when that many zeros are what a zlib body of the same size could stand for;
// beyond that only the decoded bytes are kept, so a small body that declares
// a large movie costs only what it decodes.
//
// False, with the stream unchanged and errno set, when nothing can be decoded
// at all: no property bytes, invalid properties, a stream that yields no byte
// of a non-empty movie, an expected size above 1 GiB (refused before anything
// is allocated), or memory that cannot be obtained.
bool DecompressLZMAInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize);
// The same; Decoded receives how many bytes really came out of the stream
// (at most ExpectedSize, before any zero fill).
bool DecompressLZMAInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize,
                           uint32_t& Decoded);
