#include "swf/I_Header.h"

#include <cerrno>
#include <climits>
#include <string>

#include "swf/D_LZMA2SWF.h"
#include "swf/D_ZLib2SWF.h"
#include "swf/F_ErrorCodes.h"
#include "swf/F_Macromedia.h"

namespace {

constexpr uint8_t SignaturePlain = 'F';
constexpr uint8_t SignatureCompressed = 'C';
constexpr uint8_t SignatureLZMA = 'Z';
constexpr uint16_t SignatureWS = 0x5357;  // "W", "S" read little-endian
constexpr uint32_t HeaderFixedSize = 8;

// Expands everything after the fixed header part so that the movie holds
// FileLength bytes; Decoded is what really came out of the compressed data.
// A declared length below the fixed part cannot be right.
bool ExpandBody(tSWFStream& Stream, uint32_t FileLength, bool LZMA, uint64_t Limit,
                uint32_t& Decoded) {
  Decoded = 0;
  if (FileLength < HeaderFixedSize) {
    errno = EINVAL;
    return false;
  }
  uint32_t Expected = FileLength - HeaderFixedSize;
  if (Expected > Limit) {  // more than a movie may expand to
    errno = EFBIG;
    return false;
  }
  return LZMA ? DecompressLZMAInPlace(Stream, Stream.Remaining(), Expected, Decoded)
              : DecompressInPlace(Stream, Stream.Remaining(), Expected, Decoded);
}

}  // namespace

tHeaderItem::tHeaderItem(int32_t Context, uint8_t ItemStyle)
    : tSWFItem(Context, ItemStyle),
      FFrame(std::make_unique<tRectItem>(GetContext(), 255)),
      FExpansionLimit(MaxExpandedMovie) {}

std::unique_ptr<tSWFObject> tHeaderItem::NewInstance(int32_t Context, uint8_t ItemStyle) const {
  return std::make_unique<tHeaderItem>(Context, ItemStyle);
}

void tHeaderItem::SetCompressed(bool Value) {
  if (Value != FCompressed) FCompressed = Value;
}

void tHeaderItem::SetVersion(uint8_t Value) {
  if (Value == FVersion) return;
  if (FCompressed && Value < 6) CurrentDebugger().Report(this, errInvalidVersion, mkWarning, Value, "");
  FVersion = Value;
}

void tHeaderItem::SetFrameRate(float Value) {
  if (Value != FFrameRate) FFrameRate = Value;
}

void tHeaderItem::NoteBody(uint32_t Decoded) {
  FBodyDecoded = Decoded;
  FBodyCut = Decoded < FFileLength - HeaderFixedSize;
}

bool tHeaderItem::Read(tSWFStream& Stream) {
  bool Ok = Stream.IsOk();
  FSignature = 0;
  FBodyCut = false;
  FBodyDecoded = 0;
  FBodyLost = false;
  FBodyMemoryShort = false;

  uint32_t Start = Stream.Position();
  uint8_t Signature = Stream.GetUI8();
  const bool LZMA = Signature == SignatureLZMA;
  if (Signature == SignatureCompressed || LZMA) {
    SetCompressed(true);
  } else if (Signature == SignaturePlain) {
    SetCompressed(false);
  } else {
    Ok = false;
    Stream.SetPosition(Start);
    Signature = Stream.GetUI8();
    // Appended, not "#" + ...: GCC 12 at -O3 warns falsely about that form.
    std::string Text = "#";
    Text += std::to_string(Signature);
    CurrentDebugger().Report(this, errInvalidCompressionFlag, mkError, 0, Text);
  }
  if (!Ok) return false;

  Start = Stream.Position();
  if (Stream.GetUI16() != SignatureWS) {
    Stream.SetPosition(Start);
    uint8_t First = Stream.GetUI8();
    uint8_t Second = Stream.GetUI8();
    std::string Text = "#";
    Text += std::to_string(First);
    Text += '#';
    Text += std::to_string(Second);
    CurrentDebugger().Report(this, errInvalidFileHeader, mkError, 0, Text);
    return false;
  }
  FSignature = char(Signature);

  SetVersion(Stream.GetUI8());
  FFileLength = Stream.GetUI32();

  uint32_t Decoded = 0;
  if (FCompressed) {
    if (ExpandBody(Stream, FFileLength, LZMA, FExpansionLimit, Decoded)) {
      NoteBody(Decoded);
    } else {
      int SystemCode = errno;
      SetCompressed(false);
      FBodyLost = true;
      FBodyMemoryShort = SystemCode == ENOMEM;
      CurrentDebugger().Report(this, errCantDecompress, mkWarning, SystemCode, "");
      errno = SystemCode;
      CurrentDebugger().ReportSystemError(this, 0, "");
      // Unlike a zlib body, whose bytes may still be a plain movie under the
      // wrong signature, an LZMA body starts with its own fields: none of it
      // is a record, so nothing of it is walked. Nor is a body that memory
      // was too short for: it is not damaged, only not expanded.
      if (LZMA || FBodyMemoryShort) Stream.SetPosition(Stream.Size());
    }
  } else if (Stream.Size() < FFileLength) {
    // A plain movie shorter than it declares may be a compressed body under
    // the wrong signature. Only a body that really inflates is taken as one:
    // inflation would otherwise replace a merely cut movie by zero bytes.
    if (LooksLikeZlib(Stream, Stream.Remaining()) &&
        ExpandBody(Stream, FFileLength, false, FExpansionLimit, Decoded)) {
      SetCompressed(true);
      NoteBody(Decoded);
      CurrentDebugger().Report(this, errCompressedFlagNotSet, mkWarning, 0, "");
    }
  }

  if (FFileLength != Stream.Size()) {
    CurrentDebugger().Report(this, errFileSizeMissing, mkWarning, int32_t(FFileLength), "");
  }

  FFrame->Read(Stream);
  SetFrameRate(Stream.GetFixed8());

  int32_t Rest = Stream.Remaining();
  Ok = Rest > 0;
  if (!Ok) CurrentDebugger().Report(this, errFileCorrupted, mkError, Rest, "");
  return Ok;
}

bool tHeaderItem::Write(tSWFStream& Stream) {
  uint32_t Signature =
      (uint32_t(FVersion) << 24) | (uint32_t('S') << 16) | (uint32_t('W') << 8) | SignaturePlain;
  return Stream.WriteUI32(Signature) && Stream.WriteUI32(0) && FFrame->Write(Stream) &&
         Stream.WriteFixed8(FFrameRate);
}

bool tHeaderItem::MakeCompleteSWF(tSWFStream& Stream) {
  Stream.SetPosition(4);
  Stream.SetBitsLeft(8);
  Stream.WriteUI32(Stream.Size());
  if (FCompressed) {
    int64_t Body = int64_t(Stream.Size()) - HeaderFixedSize;
    bool Packed = Stream.Position() == HeaderFixedSize && Body <= INT32_MAX &&
                  CompressInPlace(Stream, int32_t(Body));
    if (Packed) {
      Stream.SetPosition(0);
      Stream.WriteUI8(SignatureCompressed);
    } else {
      CurrentDebugger().Report(this, errZlibNotApplied, mkWarning, 0, "");
    }
  }
  Stream.SetPosition(0);
  Stream.SetBitsLeft(8);
  return Stream.IsOk();
}

void tHeaderItem::CopyInto(tSWFObject& Target) const {
  tSWFItem::CopyInto(Target);
  auto& Copy = static_cast<tHeaderItem&>(Target);
  Copy.SetCompressed(FCompressed);
  Copy.SetVersion(FVersion);
  Copy.FFileLength = FFileLength;
  CloneItemInto(*FFrame, Copy.GetContext(), Copy.GetItemStyle(), Copy.FFrame);
  Copy.SetFrameRate(FFrameRate);
  Copy.FSignature = FSignature;
  Copy.FBodyCut = FBodyCut;
  Copy.FBodyDecoded = FBodyDecoded;
  Copy.FBodyLost = FBodyLost;
  Copy.FBodyMemoryShort = FBodyMemoryShort;
}
