#include "swf/pictures/I_BitsLossLess.h"

#include <climits>

#include "swf/F_Macromedia.h"

tBitsLossLessItem::tBitsLossLessItem(int32_t Context, uint8_t ItemStyle)
    : tSWFItem(Context, ItemStyle), FBitmapData(std::make_unique<tZDumpItem>(GetContext(), 255)) {}

tBitsLossLessItem::~tBitsLossLessItem() = default;

std::unique_ptr<tSWFObject> tBitsLossLessItem::NewInstance(int32_t Context,
                                                           uint8_t ItemStyle) const {
  return std::make_unique<tBitsLossLessItem>(Context, ItemStyle);
}

void tBitsLossLessItem::SetBitmapFormat(uint8_t Value) {
  if (Value != FBitmapFormat) FBitmapFormat = Value;
}

void tBitsLossLessItem::SetBitmapWidth(uint16_t Value) {
  if (Value != FBitmapWidth) FBitmapWidth = Value;
}

void tBitsLossLessItem::SetBitmapHeight(uint16_t Value) {
  if (Value != FBitmapHeight) FBitmapHeight = Value;
}

uint8_t tBitsLossLessItem::GetBitmapColorTableSize() const {
  return FBitmapFormat == BitmapColorMapped ? FBitmapColorTableSize : 0;
}

void tBitsLossLessItem::SetBitmapColorTableSize(uint8_t Value) {
  if (Value != GetBitmapColorTableSize()) FBitmapColorTableSize = Value;
}

bool tBitsLossLessItem::Read(tSWFStream& Stream) {
  SetBitmapFormat(Stream.GetUI8());
  SetBitmapWidth(Stream.GetUI16());
  SetBitmapHeight(Stream.GetUI16());
  if (FBitmapFormat == BitmapColorMapped) {
    SetBitmapColorTableSize(Stream.GetUI8());
  } else {
    SetBitmapColorTableSize(0);
  }
  // The compressed pixels run to the end of the body; a failed stream gives a
  // negative count, which the block's own reader turns into an empty block.
  FBitmapData->SetDataSize(uint32_t(Stream.Remaining()));
  // Zeros inflate a thousandfold, so the data alone cannot refuse a huge
  // picture: beyond the limit the estimate is one the bridge never grants.
  bool Plausible = uint64_t(FBitmapWidth) * FBitmapHeight <= MaxBitmapPixels;
  FBitmapData->SetOutEstimate(
      Plausible ? LosslessDataSize(FBitmapFormat, FBitmapWidth, FBitmapHeight,
                                   GetItemStyle() == 3 ? 1 : 0, GetBitmapColorTableSize())
                : INT32_MAX);
  return FBitmapData->Read(Stream);
}

bool tBitsLossLessItem::Write(tSWFStream& Stream) {
  Stream.WriteUI8(FBitmapFormat);
  Stream.WriteUI16(FBitmapWidth);
  Stream.WriteUI16(FBitmapHeight);
  if (FBitmapFormat == BitmapColorMapped) Stream.WriteUI8(FBitmapColorTableSize);
  return FBitmapData->Write(Stream);
}

void tBitsLossLessItem::CopyInto(tSWFObject& Target) const {
  tSWFItem::CopyInto(Target);
  auto& Copy = static_cast<tBitsLossLessItem&>(Target);
  Copy.SetBitmapFormat(FBitmapFormat);
  Copy.SetBitmapWidth(FBitmapWidth);
  Copy.SetBitmapHeight(FBitmapHeight);
  Copy.SetBitmapColorTableSize(GetBitmapColorTableSize());
  CloneItemInto(*FBitmapData, Copy.GetContext(), Copy.GetItemStyle(), Copy.FBitmapData);
}
