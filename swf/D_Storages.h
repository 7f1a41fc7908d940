// tSWFStream: the one container of bytes. An in-memory, bit-addressed buffer
// that never throws: every operation answers a success flag, and a failed read,
// seek or write leaves a negative Shortfall that readers test once at the end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "F_Debugger.h"

// Asks for huge pages behind a large block, where the system offers them on
// request: a movie of hundreds of megabytes is then faulted in far fewer
// steps. Harmless anywhere else.
void AdviseLargeBlock(void* Memory, size_t Size);
// Memory for a block sized by what a movie holds or declares: malloc and
// realloc, except that a test may have every block of at least a given size
// refused, as a small machine would refuse it (the environment variable
// QUILLORY_TEST_REFUSE_BLOCKS_FROM, in bytes). Null, with errno ENOMEM, when
// the memory is not there.
bool BlockRefused(size_t Size);
void* AllocateBlock(size_t Size);
void* ReallocateBlock(void* Memory, size_t Size);
// Each thread notes when memory was refused to it (AllocateBlock does, and so
// does whoever meets a refusal another way); TakeMemoryShort answers whether
// it happened since it was last asked.
void NoteMemoryShort();
bool TakeMemoryShort();

// Maps in at once the pages of a block that is about to be written whole,
// instead of one fault per page as the writing reaches them. Only for
// blocks the data really fills.
void PrefaultBlock(void* Memory, size_t Size);

class tSWFStream : public tObject {
 public:
  tSWFStream();            // Create: empty, owning
  ~tSWFStream() override;  // Destroy: frees an owned buffer, leaves a view's memory alone
  tSWFStream(const tSWFStream&) = delete;
  tSWFStream& operator=(const tSWFStream&) = delete;

  const char* ClassName() const override { return "tSWFStream"; }

  // Lifecycle and state
  void Reset();
  bool AttachBuffer(uint8_t* Memory, uint32_t Count);  // becomes a view; always true
  // Takes over Count bytes from std::malloc as owned storage, cursor at 0.
  void AdoptBuffer(uint8_t* Memory, uint32_t Count);
  virtual std::unique_ptr<tSWFStream> Clone() const;

  uint32_t Size() const;
  void SetSize(uint32_t NewSize);
  bool TrySetSize(uint32_t NewSize);
  uint32_t Position() const;
  void SetPosition(uint32_t Index);
  uint8_t BitsLeft() const;
  void SetBitsLeft(uint8_t Count);
  void AlignByte();
  int32_t Remaining() const;
  bool IsOk() const { return FShortfall == 0; }
  void ClearShortfall() { FShortfall = 0; }
  int32_t Shortfall() const { return FShortfall; }
  bool OwnsBuffer() const { return FOwnsBuffer; }
  uint32_t Capacity() const { return FOwnsBuffer ? FCapacity : 0; }

  // Direct access to the bytes (nullptr when there is no storage).
  uint8_t* Buffer() { return Size() ? FBuffer : nullptr; }
  const uint8_t* Buffer() const { return Size() ? FBuffer : nullptr; }

  // Byte blocks: use Position only, never BitsLeft.
  bool ReadBytes(void* Destination, uint32_t Count);
  bool WriteBytes(const void* Source, uint32_t Count);
  bool CopyTo(tSWFStream& Destination, uint32_t Count);
  bool CopyFrom(tSWFStream& Source, uint32_t Count);
  bool ShiftTail(int32_t Delta);
  bool DeleteBytes(uint32_t Count);

  // Fields, at any bit offset.
  bool ReadUB(uint32_t& Value, uint8_t Bits);
  uint32_t GetUB(uint8_t Bits);
  bool WriteUB(uint32_t Value, uint8_t Bits);
  bool ReadSB(int32_t& Value, uint8_t Bits);
  int32_t GetSB(uint8_t Bits);
  bool WriteSB(int32_t Value, uint8_t Bits);
  bool ReadFlag(bool& Value);
  bool ReadUI8(uint8_t& Value);
  bool WriteUI8(uint8_t Value);
  uint8_t GetUI8();
  bool ReadSI8(int8_t& Value);
  bool WriteSI8(int8_t Value);
  bool ReadUI16(uint16_t& Value);
  bool WriteUI16(uint16_t Value);
  uint16_t GetUI16();
  bool ReadUI32(uint32_t& Value);
  bool WriteUI32(uint32_t Value);
  uint32_t GetUI32();
  bool ReadFixed8(float& Value);
  bool WriteFixed8(float Value);
  float GetFixed8();

  // Files: whole-file load and save.
  bool LoadFromFile(const std::string& FileName);
  bool SaveToFile(const std::string& FileName) const;

  // Tag navigation: delivers the next record's code and its body as a view of
  // this stream's memory. False when navigation ends.
  bool NextTag(uint16_t& Code, bool& LongHeader, tSWFStream& Body);

 private:
  bool Reserve(uint32_t NewCapacity);   // owning streams only; false when memory is refused
  bool GrowUnfilled(uint32_t NewSize);  // growth the caller writes at once, so no zeroing
  void ReleaseStorage();
  void AdvanceBits(uint32_t Bits);
  void AddShortfall(uint64_t Missing);  // saturates at INT32_MIN
  bool Shift(int64_t Delta);            // ShiftTail/DeleteBytes without the int32 limit

  uint8_t* FBuffer = nullptr;
  uint32_t FSize = 0;
  uint32_t FCapacity = 0;
  uint32_t FPosition = 0;
  uint8_t FBitsLeft = 8;
  int32_t FShortfall = 0;
  bool FOwnsBuffer = true;
};
