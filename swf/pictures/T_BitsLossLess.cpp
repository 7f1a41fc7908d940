#include "swf/pictures/T_BitsLossLess.h"

tBitsLossLessTag::tBitsLossLessTag(int32_t Context, uint8_t ItemStyle)
    : tDefinePicture(Context, ItemStyle),
      FLossLessItem(std::make_unique<tBitsLossLessItem>(GetContext(), 255)) {}

tBitsLossLessTag::~tBitsLossLessTag() = default;

std::unique_ptr<tSWFObject> tBitsLossLessTag::NewInstance(int32_t Context,
                                                          uint8_t ItemStyle) const {
  return std::make_unique<tBitsLossLessTag>(Context, ItemStyle);
}

bool tBitsLossLessTag::Read(tSWFStream& Stream) {
  SetCharacterId(Stream.GetUI16());
  FLossLessItem->SetItemStyle(GetItemStyle());
  return FLossLessItem->Read(Stream);
}

bool tBitsLossLessTag::Write(tSWFStream& Stream) {
  Stream.WriteUI16(GetCharacterId());
  FLossLessItem->SetItemStyle(GetItemStyle());
  return FLossLessItem->Write(Stream);
}

void tBitsLossLessTag::CopyInto(tSWFObject& Target) const {
  tDefinePicture::CopyInto(Target);
  auto& Copy = static_cast<tBitsLossLessTag&>(Target);
  Copy.SetCharacterId(GetCharacterId());
  CloneItemInto(*FLossLessItem, Copy.GetContext(), Copy.GetItemStyle(), Copy.FLossLessItem);
}
