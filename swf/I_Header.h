// The SWF file header. Reading it expands a compressed movie (zlib "CWS" or
// LZMA "ZWS") in place, so the stream afterwards holds the uncompressed movie
// positioned at the frame count. Writing makes a plain or a zlib movie.
#pragma once

#include "F_Base.h"
#include "I_Rect.h"

class tHeaderItem : public tSWFItem {
 public:
  tHeaderItem(int32_t Context, uint8_t ItemStyle);
  const char* ClassName() const override { return "tHeaderItem"; }
  std::unique_ptr<tSWFObject> NewInstance(int32_t Context, uint8_t ItemStyle) const override;

  bool GetCompressed() const { return FCompressed; }
  void SetCompressed(bool Value);
  uint8_t GetVersion() const { return FVersion; }
  void SetVersion(uint8_t Value);
  uint32_t GetFileLength() const { return FFileLength; }
  tRectItem& GetFrame() { return *FFrame; }
  const tRectItem& GetFrame() const { return *FFrame; }
  float GetFrameRate() const { return FFrameRate; }
  void SetFrameRate(float Value);

  // What the last Read found. The signature is 'F', 'C' or 'Z' once "WS"
  // followed it, 0 otherwise.
  char GetSignature() const { return FSignature; }
  // A compressed body (zlib or LZMA) that ended before its declared length;
  // what it decoded to is GetBodyDecoded() of GetFileLength() - 8 bytes.
  bool GetBodyCut() const { return FBodyCut; }
  uint32_t GetBodyDecoded() const { return FBodyDecoded; }
  // A compressed body that could not be expanded at all, and whether that was
  // for lack of memory (the body is then not read as it stands either).
  bool GetBodyLost() const { return FBodyLost; }
  bool GetBodyMemoryShort() const { return FBodyMemoryShort; }
  // The most a compressed body may expand to (at most 1 GiB, the default):
  // a movie carried inside another shares its limit with it. A body that
  // declares more is not expanded.
  void SetExpansionLimit(uint64_t Bytes) { FExpansionLimit = Bytes; }

  bool Read(tSWFStream& Stream) override;
  bool Write(tSWFStream& Stream) override;
  bool MakeCompleteSWF(tSWFStream& Stream);

 protected:
  void CopyInto(tSWFObject& Target) const override;

 private:
  void NoteBody(uint32_t Decoded);

  bool FCompressed = true;
  uint8_t FVersion = 6;
  uint32_t FFileLength = 0;
  std::unique_ptr<tRectItem> FFrame;
  float FFrameRate = 12.0f;
  char FSignature = 0;
  bool FBodyCut = false;
  uint32_t FBodyDecoded = 0;
  bool FBodyLost = false;
  bool FBodyMemoryShort = false;
  uint64_t FExpansionLimit;
};
