#include "swf/D_LZMA2SWF.h"

#include <lzma.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "swf/D_ZLib2SWF.h"

namespace {

// The zlib bridge's ceiling. LZMA has no useful expansion bound (runs of
// zeros shrink far more than deflate's 1032:1), so below it the output grows
// only as the decoder really produces bytes.
constexpr uint64_t DecodeCeiling = uint64_t(1) << 30;
// Zeros standing for a cut end are never more than a zlib body of the same
// size could inflate to.
constexpr uint64_t FillRatio = 1032;
constexpr uint64_t FillSlack = 1024;
// What comes before the raw stream: the compressed length and the properties.
constexpr uint32_t LengthFieldSize = 4;
constexpr uint32_t PropertiesSize = 5;
// The output starts at a few times the input and doubles from there.
constexpr uint64_t InputFactor = 4;
constexpr uint64_t FirstCapacity = uint64_t(1) << 16;
// The first dictionary tried: enough for the whole of most movies.
constexpr uint64_t TrialFactor = 16;
constexpr uint64_t FirstTrialDictionary = uint64_t(1) << 20;

// The decoder's options from the five property bytes, for a raw LZMA1 stream
// of known expanded size that may or may not end with an end marker. False
// when the bytes are no valid properties.
bool ReadProperties(const uint8_t* Properties, uint32_t ExpectedSize, lzma_options_lzma& Options) {
  lzma_filter Filter = {LZMA_FILTER_LZMA1EXT, nullptr};
  if (lzma_properties_decode(&Filter, nullptr, Properties, PropertiesSize) != LZMA_OK) return false;
  Options = *static_cast<lzma_options_lzma*>(Filter.options);
  std::free(Filter.options);  // liblzma's default allocator is malloc
  Options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
  Options.ext_size_low = ExpectedSize;
  Options.ext_size_high = 0;
  return true;
}

// The output: Prefix bytes kept free in front, then Capacity bytes.
struct TOutput {
  uint8_t* Memory = nullptr;
  uint64_t Prefix = 0, Capacity = 0;
};

struct TDecoded {
  lzma_ret Started = LZMA_OK;  // the decoder's set-up
  lzma_ret Ended = LZMA_OK;    // its last answer
  uint32_t Count = 0;          // bytes that came out
  bool Obtained = true;        // false when the output could not grow
};

// Decodes Input from its start into Output, with the given dictionary,
// growing Output geometrically up to ExpectedSize. The decoder stops on its
// own at the end, at a cut or at damaged data; what came out until then stays.
TDecoded Decode(lzma_options_lzma Options, uint32_t Dictionary, const uint8_t* Input,
                size_t InputSize, uint32_t ExpectedSize, TOutput& Output) {
  TDecoded Result;
  Options.dict_size = Dictionary;
  lzma_filter Filters[2] = {{LZMA_FILTER_LZMA1EXT, &Options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream Lz = LZMA_STREAM_INIT;
  Result.Started = lzma_raw_decoder(&Lz, Filters);
  if (Result.Started != LZMA_OK) {
    lzma_end(&Lz);
    return Result;
  }
  Lz.next_in = Input;
  Lz.avail_in = InputSize;
  Lz.next_out = Output.Memory + Output.Prefix;
  Lz.avail_out = size_t(Output.Capacity);
  while (Lz.total_out < ExpectedSize) {
    if (Lz.avail_out == 0) {
      uint64_t Grown = std::min<uint64_t>(ExpectedSize, Output.Capacity * 2);
      auto* Bigger =
          static_cast<uint8_t*>(ReallocateBlock(Output.Memory, size_t(Output.Prefix + Grown)));
      if (!Bigger) {
        Result.Obtained = false;
        break;
      }
      Output.Memory = Bigger;
      Output.Capacity = Grown;
      AdviseLargeBlock(Output.Memory, size_t(Output.Prefix + Grown));
      Lz.next_out = Output.Memory + Output.Prefix + Lz.total_out;
      Lz.avail_out = size_t(Output.Capacity - Lz.total_out);
    }
    Result.Ended = lzma_code(&Lz, LZMA_FINISH);
    if (Result.Ended != LZMA_OK) break;
  }
  Result.Count = uint32_t(Lz.total_out);
  lzma_end(&Lz);
  return Result;
}

}  // namespace

bool DecompressLZMAInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize) {
  uint32_t Decoded = 0;
  return DecompressLZMAInPlace(Stream, Count, ExpectedSize, Decoded);
}

bool DecompressLZMAInPlace(tSWFStream& Stream, int32_t Count, uint32_t ExpectedSize,
                           uint32_t& Decoded) {
  Decoded = 0;
  if (Count < 0) {
    errno = EINVAL;
    return false;
  }
  const uint32_t Start = Stream.Position();
  const uint32_t Length = std::min<uint32_t>(uint32_t(Count), Stream.Size() - Start);
  if (Length < LengthFieldSize + PropertiesSize) {
    errno = EINVAL;
    return false;
  }
  if (ExpectedSize > DecodeCeiling) {
    errno = EFBIG;  // a declaration no movie makes, not a lack of memory
    return false;
  }
  const uint8_t* Region = Stream.Buffer() + Start;
  lzma_options_lzma Options{};
  if (!ReadProperties(Region + LengthFieldSize, ExpectedSize, Options)) {
    errno = EINVAL;
    return false;
  }

  // An owning stream gets a new buffer, its bytes before and after the region
  // copied around the decoded ones, and adopts it. A view keeps its memory, so
  // it goes through a scratch result.
  const bool Adopt = Stream.OwnsBuffer();
  const uint32_t Tail = Stream.Size() - Start - Length;
  TOutput Output;
  Output.Prefix = Adopt ? Start : 0;
  Output.Capacity =
      std::min<uint64_t>(ExpectedSize, std::max(uint64_t(Length) * InputFactor, FirstCapacity));
  Output.Memory = static_cast<uint8_t*>(
      AllocateBlock(size_t(std::max<uint64_t>(Output.Prefix + Output.Capacity, 1))));
  AdviseLargeBlock(Output.Memory, size_t(Output.Prefix + Output.Capacity));
  if (!Output.Memory) {
    errno = ENOMEM;
    return false;
  }
  auto Fail = [&](int Code) {
    std::free(Output.Memory);
    Decoded = 0;
    errno = Code;
    return false;
  };

  // The dictionary never needs to exceed the movie. Nor is the one the file
  // declares taken on trust at first: a smaller one decodes the same bytes
  // until a match reaches beyond it, which the decoder refuses as damage, and
  // only then is the stream decoded again with the whole dictionary.
  const uint8_t* Input = Region + LengthFieldSize + PropertiesSize;
  const size_t InputSize = Length - LengthFieldSize - PropertiesSize;
  const uint32_t Dictionary =
      std::min(Options.dict_size, std::max<uint32_t>(ExpectedSize, LZMA_DICT_SIZE_MIN));
  const uint32_t Trial = uint32_t(std::min<uint64_t>(
      Dictionary, std::max(uint64_t(Length) * TrialFactor, FirstTrialDictionary)));
  TDecoded Run = Decode(Options, Trial, Input, InputSize, ExpectedSize, Output);
  if (Run.Started == LZMA_OK && Run.Obtained && Run.Ended == LZMA_DATA_ERROR &&
      Trial < Dictionary && Run.Count >= Trial)
    Run = Decode(Options, Dictionary, Input, InputSize, ExpectedSize, Output);
  Decoded = Run.Count;
  if (Run.Started != LZMA_OK) return Fail(Run.Started == LZMA_MEM_ERROR ? ENOMEM : EINVAL);
  if (!Run.Obtained) return Fail(ENOMEM);
  if (Decoded == 0 && ExpectedSize > 0) return Fail(EINVAL);  // no LZMA stream at all

  uint64_t Result = ExpectedSize;
  if (Decoded < ExpectedSize && ExpectedSize > uint64_t(Length) * FillRatio + FillSlack)
    Result = Decoded;
  const uint64_t NewSize = Output.Prefix + Result + (Adopt ? Tail : 0);
  if (NewSize > UINT32_MAX) return Fail(EFBIG);
  if (NewSize != Output.Prefix + Output.Capacity) {
    auto* Resized =
        static_cast<uint8_t*>(ReallocateBlock(Output.Memory, size_t(std::max<uint64_t>(NewSize, 1))));
    if (!Resized) return Fail(ENOMEM);
    Output.Memory = Resized;
  }
  uint8_t* Memory = Output.Memory;
  uint8_t* Body = Memory + Output.Prefix;
  if (Result > Decoded) std::memset(Body + Decoded, 0, size_t(Result - Decoded));

  if (!Adopt) {
    bool Ok = ReplaceRegion(Stream, Length, Body, uint32_t(Result));
    std::free(Memory);
    if (!Ok) Decoded = 0;
    return Ok;
  }
  if (Start > 0) std::memcpy(Memory, Stream.Buffer(), Start);
  if (Tail > 0) std::memcpy(Body + Result, Region + Length, Tail);
  const uint8_t BitsLeft = Stream.BitsLeft();
  if (NewSize == 0) {
    std::free(Memory);
    Stream.Reset();  // as a region deleted to nothing leaves it
    return true;
  }
  Stream.AdoptBuffer(Memory, uint32_t(NewSize));
  Stream.SetPosition(Start);
  Stream.SetBitsLeft(BitsLeft);
  return true;
}
