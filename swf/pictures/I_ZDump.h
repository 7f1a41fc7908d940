// tZDumpItem: a data block stored zlib-compressed. It inflates in place into a
// size fixed beforehand (OutEstimate) and deflates again before it is written.
#pragma once

#include "swf/pictures/I_Dump.h"

class tZDumpItem : public tDumpItem {
 public:
  tZDumpItem(int32_t Context, uint8_t ItemStyle);
  const char* ClassName() const override { return "tZDumpItem"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  // Inflates first; hands out the compressed bytes when OutEstimate is unknown.
  tSWFStream& GetData() override;
  // The bytes as they stand, compressed while the block is deflated; nothing
  // is inflated and nothing reported.
  tSWFStream& GetStoredData() { return DataField(); }
  // The given bytes count as inflated, of unknown estimate.
  void SetData(tSWFStream* Stream) override;

  bool Read(tSWFStream& Stream) override;
  bool Write(tSWFStream& Stream) override;

  int32_t GetOutEstimate() const { return FOutEstimate; }
  void SetOutEstimate(int32_t Value) { FOutEstimate = Value; }
  bool GetInflateOnRead() const { return FInflateOnRead; }
  void SetInflateOnRead(bool Value) { FInflateOnRead = Value; }
  bool IsDeflated() const { return FDeflated; }
  // The last inflation failed for lack of memory, not for its estimate.
  bool GetMemoryShort() const { return FMemoryShort; }
  void SetDeflated(bool Value);

 protected:
  void CopyInto(tSWFObject& Target) const override;

 private:
  bool FDeflated = true;
  int32_t FOutEstimate = -1;
  bool FInflateOnRead = true;
  bool FMemoryShort = false;
};
