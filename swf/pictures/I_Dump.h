// tDumpItem: an uninterpreted run of bytes out of a tag body (JPEG data, a
// compressed pixel block, a compressed alpha plane) whose length the owner
// knows before reading.
#pragma once

#include <cstdint>
#include <memory>

#include "swf/F_Base.h"

class tDumpItem : public tSWFItem {
 public:
  tDumpItem(int32_t Context, uint8_t ItemStyle);
  ~tDumpItem() override;
  const char* ClassName() const override { return "tDumpItem"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  virtual uint32_t GetDataSize() const { return FDataSize; }
  virtual void SetDataSize(uint32_t Value);
  // The block's own stream, not a copy.
  virtual tSWFStream& GetData();
  // Replaces the bytes by a clone of Stream (the caller keeps Stream); with no
  // stream, empties the bytes. DataSize is not touched.
  virtual void SetData(tSWFStream* Stream);

  bool Read(tSWFStream& Stream) override;
  bool Write(tSWFStream& Stream) override;
  bool IsEmpty() const override;
  void Clear() override;

 protected:
  void CopyInto(tSWFObject& Target) const override;
  // The field itself, for subclasses that must not go through GetData.
  tSWFStream& DataField() { return *FData; }
  const tSWFStream& DataField() const { return *FData; }
  void ReplaceDataField(std::unique_ptr<tSWFStream> Stream) { FData = std::move(Stream); }

 private:
  uint32_t FDataSize = 0;
  std::unique_ptr<tSWFStream> FData;
};
