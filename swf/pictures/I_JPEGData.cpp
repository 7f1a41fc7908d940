#include "swf/pictures/I_JPEGData.h"

std::unique_ptr<tSWFObject> tJPEGDataItem::NewInstance(int32_t Context, uint8_t ItemStyle) const {
  return std::make_unique<tJPEGDataItem>(Context, ItemStyle);
}
