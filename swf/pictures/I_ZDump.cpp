#include "swf/pictures/I_ZDump.h"

#include <cerrno>

#include "swf/D_ZLib2SWF.h"
#include "swf/F_ErrorCodes.h"

tZDumpItem::tZDumpItem(int32_t Context, uint8_t ItemStyle) : tDumpItem(Context, ItemStyle) {}

std::unique_ptr<tSWFObject> tZDumpItem::NewInstance(int32_t Context, uint8_t ItemStyle) const {
  return std::make_unique<tZDumpItem>(Context, ItemStyle);
}

tSWFStream& tZDumpItem::GetData() {
  SetDeflated(false);
  return DataField();
}

void tZDumpItem::SetData(tSWFStream* Stream) {
  tDumpItem::SetData(Stream);
  FDeflated = false;
  FOutEstimate = -1;
}

void tZDumpItem::SetDeflated(bool Value) {
  if (Value == FDeflated) return;
  DataField().SetPosition(0);
  FDeflated = Value;
  if (!Value && FOutEstimate == -1) {
    CurrentDebugger().Report(this, errOutEstimateNotSet, mkError, 0, "");
    FDeflated = true;
    return;
  }
  if (DataField().Size() == 0) return;
  if (!DataField().OwnsBuffer()) {
    // Bytes set as a view borrow someone else's memory, which must neither be
    // overwritten nor resized: the block takes its own copy first.
    auto Own = std::make_unique<tSWFStream>();
    Own->WriteBytes(DataField().Buffer(), DataField().Size());
    Own->SetPosition(0);
    ReplaceDataField(std::move(Own));
  }
  tSWFStream& Data = DataField();
  if (Value) {
    CompressInPlace(Data, int32_t(Data.Size()));
    return;
  }
  FMemoryShort = false;
  if (!DecompressInPlace(Data, int32_t(Data.Size()), uint32_t(FOutEstimate))) {
    // The bridge refuses an estimate the data cannot justify (or memory ran
    // out). Compressed bytes must not pass for pixels: the block ends empty.
    FMemoryShort = errno == ENOMEM;
    CurrentDebugger().Report(this, errCantAllocate, mkError, FOutEstimate, "");
    Data.Reset();
  }
}

bool tZDumpItem::Read(tSWFStream& Stream) {
  bool Result = tDumpItem::Read(Stream);
  if (Result) {
    FDeflated = true;
    if (FInflateOnRead && FOutEstimate != -1) SetDeflated(false);
  }
  return Result;
}

bool tZDumpItem::Write(tSWFStream& Stream) {
  SetDeflated(true);
  return tDumpItem::Write(Stream);
}

void tZDumpItem::CopyInto(tSWFObject& Target) const {
  tDumpItem::CopyInto(Target);
  auto& Copy = static_cast<tZDumpItem&>(Target);
  Copy.FDeflated = FDeflated;
  Copy.FOutEstimate = FOutEstimate;
  Copy.FInflateOnRead = FInflateOnRead;
}
