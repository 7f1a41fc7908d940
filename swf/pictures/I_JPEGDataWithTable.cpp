#include "swf/pictures/I_JPEGDataWithTable.h"

std::unique_ptr<tSWFObject> tJPEGDataWithTableItem::NewInstance(int32_t Context,
                                                                uint8_t ItemStyle) const {
  return std::make_unique<tJPEGDataWithTableItem>(Context, ItemStyle);
}
