// tBitsLossLessTag: DefineBitsLossless, the character ID plus one lossless
// bitmap body. The tag keeps the item style it was created with.
#pragma once

#include "swf/pictures/I_BitsLossLess.h"
#include "swf/pictures/T_DefinePicture.h"

class tBitsLossLessTag : public tDefinePicture {
 public:
  tBitsLossLessTag(int32_t Context, uint8_t ItemStyle);
  ~tBitsLossLessTag() override;
  const char* ClassName() const override { return "tBitsLossLessTag"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  void SetItemStyle(uint8_t) override {}
  tBitsLossLessItem& GetLossLessItem() { return *FLossLessItem; }

  bool Read(tSWFStream& Stream) override;
  bool Write(tSWFStream& Stream) override;

 protected:
  void CopyInto(tSWFObject& Target) const override;

 private:
  std::unique_ptr<tBitsLossLessItem> FLossLessItem;
};
