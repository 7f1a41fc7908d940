#include "swf/I_Rect.h"

#include "swf/F_Macromedia.h"

tRectItem::tRectItem(int32_t Context, uint8_t ItemStyle) : tSWFItem(Context, ItemStyle) {}

std::unique_ptr<tSWFObject> tRectItem::NewInstance(int32_t Context, uint8_t ItemStyle) const {
  return std::make_unique<tRectItem>(Context, ItemStyle);
}

void tRectItem::SetXmin(int32_t Value) {
  if (Value != FXmin) FXmin = Value;
}

void tRectItem::SetXmax(int32_t Value) {
  if (Value != FXmax) FXmax = Value;
}

void tRectItem::SetYmin(int32_t Value) {
  if (Value != FYmin) FYmin = Value;
}

void tRectItem::SetYmax(int32_t Value) {
  if (Value != FYmax) FYmax = Value;
}

bool tRectItem::Read(tSWFStream& Stream) {
  uint8_t Bits = uint8_t(Stream.GetUB(5));
  SetXmin(Stream.GetSB(Bits));
  SetXmax(Stream.GetSB(Bits));
  SetYmin(Stream.GetSB(Bits));
  SetYmax(Stream.GetSB(Bits));
  Stream.AlignByte();
  return Stream.IsOk();
}

bool tRectItem::Write(tSWFStream& Stream) {
  uint8_t Bits = SignedBitCount(MaxAbs(MaxAbs(FXmin, FXmax), MaxAbs(FYmin, FYmax)), true);
  // The 5-bit count holds at most 31: wider coordinates cannot be written
  // without corrupting every field after them.
  if (Bits > 31) return false;
  bool Ok = Stream.WriteUB(Bits, 5) && Stream.WriteSB(FXmin, Bits) && Stream.WriteSB(FXmax, Bits) &&
            Stream.WriteSB(FYmin, Bits) && Stream.WriteSB(FYmax, Bits);
  if (Ok) Stream.AlignByte();
  return Ok;
}

void tRectItem::CopyInto(tSWFObject& Target) const {
  tSWFItem::CopyInto(Target);
  auto& Copy = static_cast<tRectItem&>(Target);
  Copy.SetXmin(FXmin);
  Copy.SetXmax(FXmax);
  Copy.SetYmin(FYmin);
  Copy.SetYmax(FYmax);
}
