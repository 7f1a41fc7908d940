// tDefineBitsJPEG4Tag: DefineBitsJPEG4, a DefineBitsJPEG3 body with a
// deblocking value between the JPEG byte count and the JPEG data. The value
// is a display filter of the player; it is kept, never applied.
#pragma once

#include "swf/pictures/T_DefineBitsJPEG3.h"

class tDefineBitsJPEG4Tag : public tDefineBitsJPEG3Tag {
 public:
  using tDefineBitsJPEG3Tag::tDefineBitsJPEG3Tag;
  const char* ClassName() const override { return "tDefineBitsJPEG4Tag"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  // 8.8 fixed point, as stored.
  uint16_t GetDeblocking() const { return FDeblocking; }
  void SetDeblocking(uint16_t Value) { FDeblocking = Value; }

 protected:
  void CopyInto(tSWFObject& Target) const override;
  void ReadAfterCount(tSWFStream& Stream) override;
  void WriteAfterCount(tSWFStream& Stream) override;

 private:
  uint16_t FDeblocking = 0;
};
