#include "swf/D_ZLib2SWF.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Deflate cannot expand data by more than about 1032:1, and no picture or
// movie this program handles comes near 1 GiB. An expected size beyond either
// limit is a hostile or broken declaration: it is refused before anything is
// allocated (errno EFBIG; memory that cannot be had gives ENOMEM).
constexpr uint64_t InflateRatio = 1032;
constexpr uint64_t InflateSlack = 1024;
constexpr uint64_t InflateCeiling = uint64_t(1) << 30;

// The region of Count bytes at Position, cut to what follows Position.
// False for a negative count.
bool Region(const tSWFStream& Stream, int32_t Count, uint32_t& Length) {
  if (Count < 0) return false;
  Length = std::min<uint32_t>(uint32_t(Count), Stream.Size() - Stream.Position());
  return true;
}

// A whole zlib stream expanded by libdeflate; false for anything libdeflate
// does not take whole, which zlib then reads again from the start, over
// whatever libdeflate left in Out, as far as it goes.
bool WholeStream(const uint8_t* In, uint32_t InSize, uint8_t* Out, uint32_t OutSize,
                 uint32_t& Produced) {
  libdeflate_decompressor* Decompressor = libdeflate_alloc_decompressor();
  if (!Decompressor) return false;
  size_t Used = 0, Made = 0;
  const libdeflate_result Result =
      libdeflate_zlib_decompress_ex(Decompressor, In, InSize, Out, OutSize, &Used, &Made);
  libdeflate_free_decompressor(Decompressor);
  if (Result != LIBDEFLATE_SUCCESS) return false;
  Produced = uint32_t(Made);
  return true;
}

}  // namespace

bool ReplaceRegion(tSWFStream& Stream, uint32_t Count, const uint8_t* Bytes, uint32_t Length) {
  uint32_t Start = Stream.Position();
  int64_t Delta = int64_t(Length) - int64_t(Count);
  if (Delta > INT32_MAX) return false;
  bool Shifted =
      Delta >= 0 ? Stream.ShiftTail(int32_t(Delta)) : Stream.DeleteBytes(uint32_t(-Delta));
  if (!Shifted) return false;
  bool Written = Stream.WriteBytes(Bytes, Length);
  Stream.SetPosition(Start);
  return Written;
}

bool CompressInPlace(tSWFStream& Stream, int32_t Count) {
  uint32_t Length = 0;
  if (!Region(Stream, Count, Length)) return false;
  if (Length == 0) return true;

  z_stream Zip{};
  if (deflateInit(&Zip, Z_BEST_COMPRESSION) != Z_OK) return false;
  uint64_t Capacity = (uint64_t(Length) + Length / 10 + 12 + 255) / 256 * 256;
  auto* Output = static_cast<uint8_t*>(AllocateBlock(size_t(Capacity)));
  bool Ok = Output != nullptr;
  Zip.next_in = const_cast<Bytef*>(Stream.Buffer() + Stream.Position());
  Zip.avail_in = Length;
  while (Ok) {
    Zip.next_out = Output + Zip.total_out;
    Zip.avail_out = uInt(Capacity - Zip.total_out);
    int Result = deflate(&Zip, Z_FINISH);
    if (Result == Z_STREAM_END) break;
    if (Result != Z_OK && Result != Z_BUF_ERROR) {
      Ok = false;
      break;
    }
    // Output full without finishing: grow (geometrically, in 256-byte steps).
    uint64_t Grown = (Capacity + Capacity / 2 + 255) / 256 * 256;
    if (Grown > UINT32_MAX) {
      Ok = false;
      break;
    }
    auto* Bigger = static_cast<uint8_t*>(ReallocateBlock(Output, size_t(Grown)));
    if (!Bigger) {
      Ok = false;
      break;
    }
    Output = Bigger;
    Capacity = Grown;
  }
  uint32_t Produced = uint32_t(Zip.total_out);
  deflateEnd(&Zip);
  if (Ok) Ok = ReplaceRegion(Stream, Length, Output, Produced);
  std::free(Output);
  return Ok;
}

bool DecompressInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize) {
  uint32_t Inflated = 0;
  return DecompressInPlace(Stream, Count, ExpectedSize, Inflated);
}

bool DecompressInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize,
                       uint32_t& Inflated) {
  Inflated = 0;
  uint32_t Length = 0;
  if (!Region(Stream, Count, Length)) {
    errno = EINVAL;
    return false;
  }
  if (Length == 0) return true;
  if (ExpectedSize > InflateCeiling || ExpectedSize > Length * InflateRatio + InflateSlack) {
    errno = EFBIG;
    return false;
  }

  // An owning stream gets a new buffer, its bytes before and after the region
  // copied around the inflated ones, and adopts it: no scratch copy, no gap to
  // open. A view keeps its memory, so it goes through a scratch result.
  const uint32_t Start = Stream.Position();
  const bool Adopt = Stream.OwnsBuffer();
  const uint32_t Tail = Stream.Size() - Start - Length;
  const uint64_t NewSize = uint64_t(Start) + ExpectedSize + Tail;
  if (Adopt && NewSize > UINT32_MAX) return false;
  const uint64_t Allocated = Adopt ? NewSize : ExpectedSize;
  uint8_t Spare = 0;
  uint8_t* Memory = &Spare;
  if (Allocated > 0) {
    Memory = static_cast<uint8_t*>(AllocateBlock(size_t(Allocated)));
    if (!Memory) return false;  // errno ENOMEM
    AdviseLargeBlock(Memory, size_t(Allocated));
    // Filled whole: by the inflation, the rest by zeros, the edges by copies.
    PrefaultBlock(Memory, size_t(Allocated));
  }
  auto Release = [&] {
    if (Memory != &Spare) std::free(Memory);
  };
  uint8_t* Result = Adopt ? Memory + Start : Memory;

  // Inflate straight into a result of exactly the expected size. A whole,
  // sound stream goes through libdeflate in one call (measured faster than
  // zlib on the same bytes); anything else (an error, a cut stream, data that
  // is not zlib) through zlib, which keeps what it inflated, the rest zero.
  const uint8_t* Region = Stream.Buffer() + Start;
  uint32_t Produced = 0;
  if (!WholeStream(Region, Length, Result, ExpectedSize, Produced)) {
    z_stream Zip{};
    if (inflateInit(&Zip) != Z_OK) {
      Release();
      errno = ENOMEM;
      return false;
    }
    Zip.next_in = const_cast<Bytef*>(Region);
    Zip.avail_in = Length;
    Zip.next_out = Result;
    Zip.avail_out = ExpectedSize;
    inflate(&Zip, Z_FINISH);  // errors are tolerated: what was inflated stays
    Produced = uint32_t(Zip.total_out);
    inflateEnd(&Zip);
  }
  if (Produced < ExpectedSize) std::memset(Result + Produced, 0, ExpectedSize - Produced);

  if (!Adopt) {
    bool Ok = ReplaceRegion(Stream, Length, Result, ExpectedSize);
    Release();
    if (Ok) Inflated = Produced;
    return Ok;
  }
  Inflated = Produced;
  if (Start > 0) std::memcpy(Memory, Stream.Buffer(), Start);
  if (Tail > 0) std::memcpy(Result + ExpectedSize, Region + Length, Tail);
  const uint8_t BitsLeft = Stream.BitsLeft();
  if (NewSize == 0) {
    Stream.Reset();  // as a region deleted to nothing leaves it
    return true;
  }
  Stream.AdoptBuffer(Memory, uint32_t(NewSize));
  Stream.SetPosition(Start);
  Stream.SetBitsLeft(BitsLeft);
  return true;
}

bool LooksLikeZlib(const tSWFStream& Stream, int32_t Count) {
  uint32_t Length = 0;
  if (!Region(Stream, Count, Length) || Length < 2) return false;
  z_stream Zip{};
  if (inflateInit(&Zip) != Z_OK) return false;
  Zip.next_in = const_cast<Bytef*>(Stream.Buffer() + Stream.Position());
  Zip.avail_in = Length;
  // A sample of the output is enough: random bytes rarely survive that far.
  uint8_t Sample[16384];
  bool Sound = true;
  while (Sound && Zip.total_out < 4 * sizeof Sample) {
    Zip.next_out = Sample;
    Zip.avail_out = sizeof Sample;
    int Result = inflate(&Zip, Z_NO_FLUSH);
    if (Result == Z_STREAM_END || Result == Z_BUF_ERROR) break;  // ended, or cut short
    if (Result != Z_OK) Sound = false;
  }
  Sound = Sound && Zip.total_out > 0;
  inflateEnd(&Zip);
  return Sound;
}
