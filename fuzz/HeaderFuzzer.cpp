// Fuzz target: the movie header (which expands zlib and LZMA bodies) and the
// walk over the records, with the picture records taken apart by their tag
// classes, all in memory.
//
// The first byte of the input says how the rest becomes a movie:
//   bits 0-1  0: the rest is the movie as it stands; 1, 2, 3: the second byte
//             is the version and the rest the body after the first 8 bytes,
//             given plain ("FWS"), zlib-compressed ("CWS") or LZMA-compressed
//             ("ZWS"), so the fuzzer reaches past the decoders
//   bits 2-3  the declared length: exact, 1000 bytes longer, half of it, or
//             0xFFFFFFFF
//   bit 4     the movie is a view of memory the stream does not own
//   bit 5     the LZMA stream ends with an end marker
//   bits 6-7  the compressed data kept whole, cut to 3/4, to 1/2, or to 9 bytes
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "swf/D_Storages.h"
#include "swf/F_Debugger.h"
#include "swf/F_Macromedia.h"
#include "swf/I_Header.h"
#include "swf/pictures/T_BitsLossLess.h"
#include "swf/pictures/T_DefineBitsJPEG4.h"
#include "swf/pictures/T_DefineBitsLossLess2.h"

namespace {

void PutUI32(uint8_t* At, uint32_t Value) {
  for (int i = 0; i < 4; ++i) At[i] = uint8_t(Value >> (8 * i));
}

TFuzzBytes ZlibBytes(const uint8_t* Data, size_t Size) {
  uLongf Length = compressBound(uLong(Size));
  TFuzzBytes Out(Length);
  if (compress2(Out.data(), &Length, Data, uLong(Size), Z_DEFAULT_COMPRESSION) != Z_OK) return {};
  Out.resize(Length);
  return Out;
}

// The five property bytes and the raw LZMA1 stream, from the fastest preset
// with a small dictionary so that each input costs little.
TFuzzBytes LzmaBytes(const uint8_t* Data, size_t Size, bool EndMarker) {
  lzma_options_lzma Options{};
  if (lzma_lzma_preset(&Options, 0)) return {};
  Options.dict_size = 1 << 16;
  lzma_filter Filters[2] = {{EndMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &Options},
                            {LZMA_VLI_UNKNOWN, nullptr}};
  TFuzzBytes Out(5 + Size + Size / 2 + 4096);
  if (lzma_properties_encode(&Filters[0], Out.data()) != LZMA_OK) return {};
  lzma_stream Lz = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&Lz, Filters) != LZMA_OK) return {};
  Lz.next_in = Data;
  Lz.avail_in = Size;
  Lz.next_out = Out.data() + 5;
  Lz.avail_out = Out.size() - 5;
  const lzma_ret Result = lzma_code(&Lz, LZMA_FINISH);
  Out.resize(5 + Lz.total_out);
  lzma_end(&Lz);
  return Result == LZMA_STREAM_END ? Out : TFuzzBytes();
}

TFuzzBytes MovieFromInput(const uint8_t* Data, size_t Size) {
  TFuzzReader Reader(Data, Size);
  const uint8_t Selector = Reader.UI8();
  const int Wrap = Selector & 3;
  if (Wrap == 0) return TFuzzBytes(Reader.Rest(), Reader.Rest() + Reader.RestSize());
  const uint8_t Version = Reader.UI8();
  const uint8_t* Body = Reader.Rest();
  const size_t BodySize = Reader.RestSize();

  TFuzzBytes Movie = {uint8_t("FCZ"[Wrap - 1]), 'W', 'S', Version, 0, 0, 0, 0};
  TFuzzBytes Packed;
  if (Wrap == 1) {
    Packed.assign(Body, Body + BodySize);
  } else if (Wrap == 2) {
    Packed = ZlibBytes(Body, BodySize);
  } else {
    const TFuzzBytes Raw = LzmaBytes(Body, BodySize, Selector & 0x20);
    Packed.resize(4);
    PutUI32(Packed.data(), uint32_t(Raw.size() >= 5 ? Raw.size() - 5 : 0));
    Packed.insert(Packed.end(), Raw.begin(), Raw.end());
  }
  if (Wrap != 1) {
    switch (Selector >> 6) {
      case 1:
        Packed.resize(Packed.size() * 3 / 4);
        break;
      case 2:
        Packed.resize(Packed.size() / 2);
        break;
      case 3:
        Packed.resize(std::min<size_t>(Packed.size(), 9));
        break;
      default:
        break;
    }
  }
  const uint64_t Exact = 8 + uint64_t(BodySize);
  const uint64_t Declared[4] = {Exact, Exact + 1000, Exact / 2, 0xFFFFFFFF};
  PutUI32(Movie.data() + 4,
          uint32_t(std::min<uint64_t>(Declared[(Selector >> 2) & 3], UINT32_MAX)));
  Movie.insert(Movie.end(), Packed.begin(), Packed.end());
  return Movie;
}

// A record's body is a view of the movie's own memory.
void CheckInside(const tSWFStream& Movie, const tSWFStream& Body) {
  if (Body.Size() == 0) return;
  FUZZ_CHECK(!Body.OwnsBuffer());
  FUZZ_CHECK(Body.Buffer() >= Movie.Buffer());
  FUZZ_CHECK(Body.Buffer() + Body.Size() <= Movie.Buffer() + Movie.Size());
}

template <class TTagClass>
void ReadPictureTag(TTagClass& Tag, tSWFStream& Body) {
  Body.SetPosition(0);
  Tag.Read(Body);
  std::unique_ptr<tSWFObject> Copy;
  Tag.CloneInto(0, 255, Copy);
  FUZZ_CHECK(Copy != nullptr);
}

void ReadJPEG3(tDefineBitsJPEG3Tag& Tag, tSWFStream& Body) {
  ReadPictureTag(Tag, Body);
  // Both blocks come out of the body, never more.
  const uint32_t Jpeg = Tag.GetJPEGData().GetData().Size();
  const uint32_t Alpha = Tag.GetAlphaData().GetStoredData().Size();
  FUZZ_CHECK(uint64_t(Jpeg) + Alpha <= Body.Size());
}

void ReadLossless(tBitsLossLessTag& Tag, tSWFStream& Body) {
  ReadPictureTag(Tag, Body);
  tBitsLossLessItem& Item = Tag.GetLossLessItem();
  tZDumpItem& Bitmap = Item.GetBitmapData();
  const tSWFStream& Pixels = Bitmap.GetData();
  // Pixels inflate to the size the layout needs, or the block is empty.
  FUZZ_CHECK(Pixels.Size() == 0 || Bitmap.GetOutEstimate() < 0 ||
             Pixels.Size() <= uint32_t(Bitmap.GetOutEstimate()));
  FUZZ_CHECK(uint64_t(Pixels.Size()) <= uint64_t(Body.Size()) * 1032 + 1024);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > MaxFuzzInput) return 0;
  TFuzzBytes Bytes = MovieFromInput(Data, Size);
  const bool View = Size > 0 && (Data[0] & 0x10);
  Debugger.ClearEntries();

  tSWFStream Movie;
  if (View && !Bytes.empty())
    Movie.AttachBuffer(Bytes.data(), uint32_t(Bytes.size()));
  else if (!Bytes.empty())
    Movie.WriteBytes(Bytes.data(), uint32_t(Bytes.size()));
  Movie.SetPosition(0);

  tHeaderItem Header(0, 255);
  const bool Read = Header.Read(Movie);
  const char Signature = Header.GetSignature();
  FUZZ_CHECK(Signature == 0 || Signature == 'F' || Signature == 'C' || Signature == 'Z');
  if (Header.GetCompressed() && Header.GetFileLength() >= 8)
    FUZZ_CHECK(Header.GetBodyDecoded() <= Header.GetFileLength() - 8);
  FUZZ_CHECK(Debugger.Entries().size() <= tDebugger::MaxEntries);
  if (!Read && Signature == 0) return 0;
  Movie.GetUI16();  // frame count

  // Every record header takes at least two bytes, so the walk ends.
  const uint64_t MaxRecords = Movie.Size() / 2 + 2;
  uint64_t Records = 0;
  uint16_t Code = 0;
  bool LongHeader = false;
  for (;;) {
    tSWFStream Body;
    if (!Movie.NextTag(Code, LongHeader, Body)) break;
    FUZZ_CHECK(++Records <= MaxRecords);
    CheckInside(Movie, Body);
    switch (Code) {
      case stagDefineBitsJPEG3: {
        tDefineBitsJPEG3Tag Tag(0, 255);
        ReadJPEG3(Tag, Body);
        break;
      }
      case stagDefineBitsJPEG4: {
        tDefineBitsJPEG4Tag Tag(0, 255);
        ReadJPEG3(Tag, Body);
        break;
      }
      case stagDefineBitsLossless: {
        tBitsLossLessTag Tag(0, 255);
        ReadLossless(Tag, Body);
        break;
      }
      case stagDefineBitsLossless2: {
        tDefineBitsLossLess2Tag Tag(0, 255);
        ReadLossless(Tag, Body);
        break;
      }
      default:
        break;
    }
  }
  FUZZ_CHECK(Debugger.Entries().size() <= tDebugger::MaxEntries);
  return 0;
}
