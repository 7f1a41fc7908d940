// tDefineBitsJPEG3Tag: DefineBitsJPEG3, split into its JPEG part and its
// zlib-compressed alpha plane. The alpha stays compressed: only the decoded
// JPEG knows the picture's size, so the consumers inflate it themselves.
#pragma once

#include "swf/pictures/I_JPEGDataWithTable.h"
#include "swf/pictures/I_ZDump.h"
#include "swf/pictures/T_DefinePicture.h"

class tDefineBitsJPEG3Tag : public tDefinePicture {
 public:
  tDefineBitsJPEG3Tag(int32_t Context, uint8_t ItemStyle);
  ~tDefineBitsJPEG3Tag() override;
  const char* ClassName() const override { return "tDefineBitsJPEG3Tag"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  tJPEGDataWithTableItem& GetJPEGData() { return *FJPEGData; }
  tZDumpItem& GetAlphaData() { return *FAlphaData; }

  bool Read(tSWFStream& Stream) override;
  bool Write(tSWFStream& Stream) override;

 protected:
  void CopyInto(tSWFObject& Target) const override;
  // The fields a later record kind keeps between the JPEG byte count and the
  // JPEG data (none here).
  virtual void ReadAfterCount(tSWFStream& /*Stream*/) {}
  virtual void WriteAfterCount(tSWFStream& /*Stream*/) {}

 private:
  std::unique_ptr<tJPEGDataWithTableItem> FJPEGData;
  std::unique_ptr<tZDumpItem> FAlphaData;
};
