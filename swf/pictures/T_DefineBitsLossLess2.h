// tDefineBitsLossLess2Tag: DefineBitsLossless2, the lossless tag fixed to item
// style 3 (colour entries and 32-bit pixels carry alpha).
#pragma once

#include "swf/pictures/T_BitsLossLess.h"

class tDefineBitsLossLess2Tag : public tBitsLossLessTag {
 public:
  tDefineBitsLossLess2Tag(int32_t Context, uint8_t ItemStyle);
  const char* ClassName() const override { return "tDefineBitsLossLess2Tag"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;
};
