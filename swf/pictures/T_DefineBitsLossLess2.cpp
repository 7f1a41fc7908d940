#include "swf/pictures/T_DefineBitsLossLess2.h"

// Style 3 whatever the caller asks for; the inherited SetItemStyle is inert.
tDefineBitsLossLess2Tag::tDefineBitsLossLess2Tag(int32_t Context, uint8_t)
    : tBitsLossLessTag(Context, 3) {}

std::unique_ptr<tSWFObject> tDefineBitsLossLess2Tag::NewInstance(int32_t Context,
                                                                 uint8_t ItemStyle) const {
  return std::make_unique<tDefineBitsLossLess2Tag>(Context, ItemStyle);
}
