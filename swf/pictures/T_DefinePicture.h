// tDefinePicture: the base of every picture-defining tag; adds the character
// ID that opens every picture tag body.
#pragma once

#include "swf/F_Base.h"

class tDefinePicture : public tTag {
 public:
  using tTag::tTag;
  const char* ClassName() const override { return "tDefinePicture"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  uint16_t GetCharacterId() const { return FCharacterId; }
  void SetCharacterId(uint16_t Value) { FCharacterId = Value; }

 private:
  uint16_t FCharacterId = 0;
};
