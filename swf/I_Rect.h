#pragma once

#include "F_Base.h"

class tRectItem : public tSWFItem {
 public:
  tRectItem(int32_t Context, uint8_t ItemStyle);
  const char* ClassName() const override { return "tRectItem"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  int32_t GetXmin() const { return FXmin; }
  void SetXmin(int32_t Value);
  int32_t GetXmax() const { return FXmax; }
  void SetXmax(int32_t Value);
  int32_t GetYmin() const { return FYmin; }
  void SetYmin(int32_t Value);
  int32_t GetYmax() const { return FYmax; }
  void SetYmax(int32_t Value);

  bool Read(tSWFStream& Stream) override;
  bool Write(tSWFStream& Stream) override;

 protected:
  void CopyInto(tSWFObject& Target) const override;

 private:
  int32_t FXmin = 0, FXmax = 0, FYmin = 0, FYmax = 0;
};
