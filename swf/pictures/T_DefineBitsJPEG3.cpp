#include "swf/pictures/T_DefineBitsJPEG3.h"

#include <algorithm>

tDefineBitsJPEG3Tag::tDefineBitsJPEG3Tag(int32_t Context, uint8_t ItemStyle)
    : tDefinePicture(Context, ItemStyle),
      FJPEGData(std::make_unique<tJPEGDataWithTableItem>(GetContext(), 255)),
      FAlphaData(std::make_unique<tZDumpItem>(GetContext(), 255)) {}

tDefineBitsJPEG3Tag::~tDefineBitsJPEG3Tag() {
  ReleaseItem(FJPEGData);
  ReleaseItem(FAlphaData);
}

std::unique_ptr<tSWFObject> tDefineBitsJPEG3Tag::NewInstance(int32_t Context,
                                                             uint8_t ItemStyle) const {
  return std::make_unique<tDefineBitsJPEG3Tag>(Context, ItemStyle);
}

bool tDefineBitsJPEG3Tag::Read(tSWFStream& Stream) {
  SetCharacterId(Stream.GetUI16());
  uint32_t Count = Stream.GetUI32();
  ReadAfterCount(Stream);
  uint64_t AlphaStart = uint64_t(Stream.Position()) + Count;
  FJPEGData->SetDataSize(Count);
  if (!FJPEGData->Read(Stream)) return false;
  // A count past the end leaves the stream failed, so the alpha block is read
  // empty with its own warning. The overshoot is kept within what the stream's
  // signed shortfall can express.
  AlphaStart = std::min<uint64_t>(AlphaStart, uint64_t(Stream.Size()) + INT32_MAX);
  Stream.SetPosition(uint32_t(std::min<uint64_t>(AlphaStart, UINT32_MAX)));
  FAlphaData->SetDataSize(uint32_t(Stream.Remaining()));
  FAlphaData->SetInflateOnRead(false);
  return FAlphaData->Read(Stream);
}

bool tDefineBitsJPEG3Tag::Write(tSWFStream& Stream) {
  Stream.WriteUI16(GetCharacterId());
  auto Scratch = std::make_unique<tSWFStream>();
  if (!FJPEGData->Write(*Scratch)) return false;
  uint32_t Count = Scratch->Size();
  Stream.WriteUI32(Count);
  WriteAfterCount(Stream);
  Scratch->SetPosition(0);
  bool Copied = Count == 0 ? Stream.IsOk() : Stream.CopyFrom(*Scratch, Count);
  if (!Copied) return false;
  return FAlphaData->Write(Stream);
}

void tDefineBitsJPEG3Tag::CopyInto(tSWFObject& Target) const {
  tDefinePicture::CopyInto(Target);
  auto& Copy = static_cast<tDefineBitsJPEG3Tag&>(Target);
  Copy.SetCharacterId(GetCharacterId());
  CloneItemInto(*FJPEGData, Copy.GetContext(), Copy.GetItemStyle(), Copy.FJPEGData);
  CloneItemInto(*FAlphaData, Copy.GetContext(), Copy.GetItemStyle(), Copy.FAlphaData);
}
