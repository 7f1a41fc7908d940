#include "swf/pictures/T_DefinePicture.h"

std::unique_ptr<tSWFObject> tDefinePicture::NewInstance(int32_t Context, uint8_t ItemStyle) const {
  return std::make_unique<tDefinePicture>(Context, ItemStyle);
}
