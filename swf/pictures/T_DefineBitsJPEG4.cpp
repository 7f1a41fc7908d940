#include "swf/pictures/T_DefineBitsJPEG4.h"

std::unique_ptr<tSWFObject> tDefineBitsJPEG4Tag::NewInstance(int32_t Context,
                                                             uint8_t ItemStyle) const {
  return std::make_unique<tDefineBitsJPEG4Tag>(Context, ItemStyle);
}

void tDefineBitsJPEG4Tag::CopyInto(tSWFObject& Target) const {
  tDefineBitsJPEG3Tag::CopyInto(Target);
  static_cast<tDefineBitsJPEG4Tag&>(Target).SetDeblocking(FDeblocking);
}

void tDefineBitsJPEG4Tag::ReadAfterCount(tSWFStream& Stream) {
  FDeblocking = Stream.GetUI16();
}

void tDefineBitsJPEG4Tag::WriteAfterCount(tSWFStream& Stream) {
  Stream.WriteUI16(FDeblocking);
}
