#include "swf/pictures/I_Dump.h"

#include "swf/F_ErrorCodes.h"

tDumpItem::tDumpItem(int32_t Context, uint8_t ItemStyle)
    : tSWFItem(Context, ItemStyle), FData(std::make_unique<tSWFStream>()) {}

tDumpItem::~tDumpItem() = default;

std::unique_ptr<tSWFObject> tDumpItem::NewInstance(int32_t Context, uint8_t ItemStyle) const {
  return std::make_unique<tDumpItem>(Context, ItemStyle);
}

void tDumpItem::SetDataSize(uint32_t Value) {
  if (Value != FDataSize) FDataSize = Value;
}

tSWFStream& tDumpItem::GetData() {
  return *FData;
}

void tDumpItem::SetData(tSWFStream* Stream) {
  if (Stream == FData.get()) return;
  if (Stream) {
    FData = Stream->Clone();
  } else {
    GetData().Reset();  // a view cannot shrink; emptied, it owns again
  }
}

bool tDumpItem::Read(tSWFStream& Stream) {
  // A fresh owning stream: the block may have been a view after SetData, and
  // a shorter second block must leave no tail of the first.
  FData->Reset();
  int32_t Remaining = Stream.Remaining();
  if (Remaining < 0 || uint32_t(Remaining) < FDataSize) {
    FDataSize = Remaining < 0 ? 0 : uint32_t(Remaining);
    CurrentDebugger().Report(this, errDumpCut, mkWarning, int32_t(FDataSize), "New size follow");
  }
  bool Result = true;
  if (FDataSize >= 1) Result = FData->CopyFrom(Stream, FDataSize);
  FData->SetSize(FDataSize);
  return Result;
}

bool tDumpItem::Write(tSWFStream& Stream) {
  uint32_t Size = FData->Size();
  if (Size == 0) return Stream.IsOk();
  FData->SetPosition(0);
  return Stream.CopyFrom(*FData, Size);
}

// A compressed block inflates when its bytes are looked at, so the answer goes
// through the overridable GetData of an item that is never const itself.
bool tDumpItem::IsEmpty() const {
  return const_cast<tDumpItem*>(this)->GetData().Size() == 0;
}

void tDumpItem::Clear() {
  GetData().Reset();
}

void tDumpItem::CopyInto(tSWFObject& Target) const {
  tSWFItem::CopyInto(Target);
  auto& Copy = static_cast<tDumpItem&>(Target);
  Copy.SetData(FData.get());
  Copy.SetDataSize(FDataSize);
}
