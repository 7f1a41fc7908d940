// tJPEGDataItem: a data block that holds JPEG image data.
#pragma once

#include "swf/pictures/I_Dump.h"

class tJPEGDataItem : public tDumpItem {
 public:
  using tDumpItem::tDumpItem;
  const char* ClassName() const override { return "tJPEGDataItem"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;
};
