// tBitsLossLessItem: the body of a lossless bitmap record after the character
// ID: format, width, height, colour-table size and the zlib-packed pixels.
// Item style 3 means the pixels carry alpha (DefineBitsLossless2); it must be
// set before Read, since it decides the colour-entry size and the format-5 row
// rule of the inflated size.
#pragma once

#include "swf/pictures/I_ZDump.h"

class tBitsLossLessItem : public tSWFItem {
 public:
  tBitsLossLessItem(int32_t Context, uint8_t ItemStyle);
  ~tBitsLossLessItem() override;
  const char* ClassName() const override { return "tBitsLossLessItem"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  uint8_t GetBitmapFormat() const { return FBitmapFormat; }
  void SetBitmapFormat(uint8_t Value);
  uint16_t GetBitmapWidth() const { return FBitmapWidth; }
  void SetBitmapWidth(uint16_t Value);
  uint16_t GetBitmapHeight() const { return FBitmapHeight; }
  void SetBitmapHeight(uint16_t Value);
  // The stored byte for colour-mapped pictures, 0 for the others.
  uint8_t GetBitmapColorTableSize() const;
  void SetBitmapColorTableSize(uint8_t Value);
  tZDumpItem& GetBitmapData() { return *FBitmapData; }

  bool Read(tSWFStream& Stream) override;
  bool Write(tSWFStream& Stream) override;

 protected:
  void CopyInto(tSWFObject& Target) const override;

 private:
  uint8_t FBitmapFormat = 3;
  uint16_t FBitmapWidth = 0;
  uint16_t FBitmapHeight = 0;
  uint8_t FBitmapColorTableSize = 0;
  std::unique_ptr<tZDumpItem> FBitmapData;
};
