#include "swf/F_Base.h"

tSWFObject::tSWFObject(int32_t Context, uint8_t ItemStyle)
    : FContext(Context), FItemStyle(ItemStyle) {}

void tSWFObject::SetItemStyle(uint8_t Value) {
  if (Value != GetItemStyle()) FItemStyle = Value;
}

void tSWFObject::CloneInto(int32_t Context, uint8_t ItemStyle,
                           std::unique_ptr<tSWFObject>& Target) const {
  if (Target.get() == this) return;
  ReleaseItem(Target);
  Target = NewInstance(Context, ItemStyle);
  if (Target) CopyInto(*Target);
}

// Context and ItemStyle come from the constructor of the copy, not from here.
void tSWFObject::CopyInto(tSWFObject&) const {}

void tTag::CopyInto(tSWFObject& Target) const {
  tSWFItem::CopyInto(Target);
  auto& Copy = static_cast<tTag&>(Target);
  Copy.FTagCode = FTagCode;
  Copy.FLongHeader = FLongHeader;
}
