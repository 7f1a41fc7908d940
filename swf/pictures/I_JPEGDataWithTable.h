// tJPEGDataWithTableItem: JPEG data that carries its own encoding tables (the
// JPEG part of DefineBitsJPEG3).
#pragma once

#include "swf/pictures/I_JPEGData.h"

class tJPEGDataWithTableItem : public tJPEGDataItem {
 public:
  using tJPEGDataItem::tJPEGDataItem;
  const char* ClassName() const override { return "tJPEGDataWithTableItem"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;
};
