#include "swf/D_Storages.h"

#include <cerrno>

#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "swf/F_ErrorCodes.h"

bool BlockRefused(size_t Size) {
  static const size_t RefusedFrom = [] {
    const char* Setting = std::getenv("QUILLORY_TEST_REFUSE_BLOCKS_FROM");
    char* End = nullptr;
    const unsigned long long Value = Setting ? std::strtoull(Setting, &End, 10) : 0;
    return Setting && End != Setting && Value > 0 ? size_t(Value) : SIZE_MAX;
  }();
  return Size >= RefusedFrom;
}

namespace {
thread_local bool MemoryWasShort = false;
}  // namespace

void NoteMemoryShort() {
  MemoryWasShort = true;
}

bool TakeMemoryShort() {
  const bool Short = MemoryWasShort;
  MemoryWasShort = false;
  return Short;
}

void* AllocateBlock(size_t Size) {
  void* Memory = BlockRefused(Size) ? nullptr : std::malloc(Size);
  if (!Memory) {
    errno = ENOMEM;
    NoteMemoryShort();
  }
  return Memory;
}

void* ReallocateBlock(void* Memory, size_t Size) {
  void* Moved = BlockRefused(Size) ? nullptr : std::realloc(Memory, Size);
  if (!Moved) {
    errno = ENOMEM;
    NoteMemoryShort();
  }
  return Moved;
}

void AdviseLargeBlock(void* Memory, size_t Size) {
  constexpr uintptr_t Huge = uintptr_t(2) << 20;
  if (!Memory || Size < 2 * Huge) return;
  const uintptr_t First = (reinterpret_cast<uintptr_t>(Memory) + Huge - 1) & ~(Huge - 1);
  const uintptr_t Last = (reinterpret_cast<uintptr_t>(Memory) + Size) & ~(Huge - 1);
  if (Last > First) madvise(reinterpret_cast<void*>(First), Last - First, MADV_HUGEPAGE);
}

void PrefaultBlock(void* Memory, size_t Size) {
#ifdef MADV_POPULATE_WRITE
  constexpr uintptr_t Page = 4096;
  if (!Memory || Size < 64 * Page) return;
  const uintptr_t First = (reinterpret_cast<uintptr_t>(Memory) + Page - 1) & ~(Page - 1);
  const uintptr_t Last = (reinterpret_cast<uintptr_t>(Memory) + Size) & ~(Page - 1);
  // An older kernel refuses it; the pages then come as they are written.
  if (Last > First) madvise(reinterpret_cast<void*>(First), Last - First, MADV_POPULATE_WRITE);
#else
  (void)Memory;
  (void)Size;
#endif
}

namespace {

// Bytes a field of Bits bits touches when it starts BitsLeft bits before the
// end of the current byte.
uint64_t BytesTouched(uint8_t BitsLeft, uint32_t Bits) {
  return (uint64_t(8 - BitsLeft) + Bits + 7) / 8;
}

std::string Format(const char* Pattern, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* Pattern, ...) {
  char Text[512];
  va_list Args;
  va_start(Args, Pattern);
  int Length = vsnprintf(Text, sizeof Text, Pattern, Args);
  va_end(Args);
  if (Length < 0) return std::string();
  return std::string(Text, std::min<size_t>(size_t(Length), sizeof Text - 1));
}

}  // namespace

tSWFStream::tSWFStream() = default;

tSWFStream::~tSWFStream() {
  ReleaseStorage();
}

void tSWFStream::ReleaseStorage() {
  if (FOwnsBuffer) std::free(FBuffer);
  FBuffer = nullptr;
  FSize = 0;
  FCapacity = 0;
  FPosition = 0;
  FBitsLeft = 8;
}

// A Shortfall that has run into the int32 limit stays there instead of wrapping.
void tSWFStream::AddShortfall(uint64_t Missing) {
  int64_t Value =
      int64_t(FShortfall) - int64_t(std::min<uint64_t>(Missing, uint64_t(INT32_MAX) + 1));
  FShortfall = Value < INT32_MIN ? INT32_MIN : int32_t(Value);
}

void tSWFStream::Reset() {
  ReleaseStorage();
  FOwnsBuffer = true;
  FShortfall = 0;
}

bool tSWFStream::AttachBuffer(uint8_t* Memory, uint32_t Count) {
  ReleaseStorage();
  FOwnsBuffer = false;
  FBuffer = Memory;
  FSize = Memory ? Count : 0;
  FShortfall = 0;
  return true;
}

void tSWFStream::AdoptBuffer(uint8_t* Memory, uint32_t Count) {
  ReleaseStorage();
  FOwnsBuffer = true;
  FBuffer = Memory;
  FSize = Memory ? Count : 0;
  FCapacity = FSize;
  FShortfall = 0;
}

std::unique_ptr<tSWFStream> tSWFStream::Clone() const {
  auto Copy = std::make_unique<tSWFStream>();
  if (FOwnsBuffer) {
    Copy->WriteBytes(Buffer(), Size());
  } else {
    Copy->AttachBuffer(FBuffer, FSize);
  }
  Copy->SetPosition(Position());
  Copy->SetBitsLeft(BitsLeft());
  Copy->FShortfall = FShortfall;
  return Copy;
}

uint32_t tSWFStream::Size() const {
  return FBuffer ? FSize : 0;
}

uint32_t tSWFStream::Position() const {
  return FBuffer ? FPosition : 0;
}

uint8_t tSWFStream::BitsLeft() const {
  return Size() == 0 ? 8 : FBitsLeft;
}

void tSWFStream::SetBitsLeft(uint8_t Count) {
  FBitsLeft = (Count >= 1 && Count <= 8) ? Count : 8;
}

// Capacity grows at least by doubling so writers that append field by field
// stay linear overall.
bool tSWFStream::Reserve(uint32_t NewCapacity) {
  if (!FOwnsBuffer) return false;
  if (FBuffer && NewCapacity <= FCapacity) return true;
  uint64_t Wanted = std::max<uint64_t>(NewCapacity, uint64_t(FCapacity) * 2);
  Wanted = std::max<uint64_t>(Wanted, 64);
  Wanted = std::min<uint64_t>(Wanted, UINT32_MAX);
  void* Grown = ReallocateBlock(FBuffer, size_t(Wanted));
  if (!Grown && Wanted > NewCapacity) {
    Wanted = NewCapacity;
    Grown = ReallocateBlock(FBuffer, size_t(Wanted));
  }
  if (!Grown) return false;  // the old storage is still intact
  FBuffer = static_cast<uint8_t*>(Grown);
  FCapacity = uint32_t(Wanted);
  AdviseLargeBlock(FBuffer, FCapacity);
  return true;
}

void tSWFStream::SetSize(uint32_t NewSize) {
  if (!FOwnsBuffer || NewSize == Size()) return;
  if (NewSize == 0) {
    ReleaseStorage();
    FShortfall = 0;
    return;
  }
  uint32_t OldSize = Size();
  if (NewSize > OldSize) {
    if (!Reserve(NewSize)) return;
    std::memset(FBuffer + OldSize, 0, NewSize - OldSize);
  } else if (FCapacity > 65536 && NewSize < FCapacity / 4) {
    // Give most of a large buffer back once it has shrunk well below it.
    if (void* Shrunk = std::realloc(FBuffer, NewSize)) {
      FBuffer = static_cast<uint8_t*>(Shrunk);
      FCapacity = NewSize;
    }
  }
  FShortfall = 0;
  if (NewSize < FPosition) {
    FPosition = NewSize;
    FBitsLeft = 8;
  }
  FSize = NewSize;
}

// Bytes it exposes hold anything until written, so every caller covers them
// at once (or zeroes what it leaves).
bool tSWFStream::GrowUnfilled(uint32_t NewSize) {
  if (NewSize <= Size()) return NewSize == Size();
  const uint32_t OldSize = Size();
  if (!Reserve(NewSize)) return false;
  FShortfall = 0;
  FSize = NewSize;
  PrefaultBlock(FBuffer + OldSize, NewSize - OldSize);  // written at once by the caller
  return true;
}

bool tSWFStream::TrySetSize(uint32_t NewSize) {
  SetSize(NewSize);
  return Size() == NewSize;
}

void tSWFStream::SetPosition(uint32_t Index) {
  if (Index == Position()) return;
  if (Index > Size()) {
    AddShortfall(uint64_t(Index) - Size());
    FPosition = Size();
    return;
  }
  FShortfall = 0;
  FPosition = Index;
}

void tSWFStream::AlignByte() {
  if (BitsLeft() == 8) return;
  FBitsLeft = 8;
  if (Position() == Size()) TrySetSize(Size() + 1);
  SetPosition(Position() + 1);
}

int32_t tSWFStream::Remaining() const {
  if (FShortfall < 0) return FShortfall;
  return int32_t(std::min<uint32_t>(Size() - Position(), INT32_MAX));
}

void tSWFStream::AdvanceBits(uint32_t Bits) {
  SetPosition(Position() + Bits / 8);
  uint8_t Rest = Bits % 8;
  if (FBitsLeft > Rest) {
    FBitsLeft -= Rest;
  } else {
    SetPosition(Position() + 1);
    FBitsLeft = FBitsLeft - Rest + 8;
  }
}

bool tSWFStream::ReadBytes(void* Destination, uint32_t Count) {
  if (Count == 0) return true;
  uint32_t Available = Size() - Position();
  if (Count > Available) {
    if (Available) std::memcpy(Destination, FBuffer + Position(), Available);
    FPosition = Size();
    AddShortfall(Count - Available);
    return false;
  }
  std::memcpy(Destination, FBuffer + Position(), Count);
  SetPosition(Position() + Count);
  return true;
}

bool tSWFStream::WriteBytes(const void* Source, uint32_t Count) {
  if (Count == 0) return true;
  uint64_t End = uint64_t(Position()) + Count;
  const uint8_t* From = static_cast<const uint8_t*>(Source);
  if (End > Size()) {
    // The source may lie in our own storage, which growing can move.
    // Writing covers the whole growth, since Position never passes Size.
    bool Inside = FBuffer && From >= FBuffer && From < FBuffer + FCapacity;
    size_t Offset = Inside ? size_t(From - FBuffer) : 0;
    bool Grown =
        End <= UINT32_MAX && (Inside ? TrySetSize(uint32_t(End)) : GrowUnfilled(uint32_t(End)));
    if (!Grown) {
      AddShortfall(Count);
      return false;
    }
    if (Inside) From = FBuffer + Offset;
  }
  std::memmove(FBuffer + Position(), From, Count);
  SetPosition(uint32_t(End));
  return true;
}

bool tSWFStream::CopyTo(tSWFStream& Destination, uint32_t Count) {
  uint32_t Available = Size() - Position();
  uint32_t Taken = std::min(Count, Available);
  const uint8_t* From = Taken ? FBuffer + Position() : nullptr;
  if (!Destination.WriteBytes(From, Taken) || Taken < Count) return false;
  // The destination may be this very stream, which has moved on already.
  if (&Destination != this) SetPosition(Position() + Count);
  return true;
}

bool tSWFStream::CopyFrom(tSWFStream& Source, uint32_t Count) {
  return Source.CopyTo(*this, Count);
}

bool tSWFStream::ShiftTail(int32_t Delta) {
  return Shift(Delta);
}

bool tSWFStream::DeleteBytes(uint32_t Count) {
  return Shift(-int64_t(Count));
}

// Opens (Delta > 0) or closes (Delta < 0) a gap at Position. A view cannot
// change its size, and refused memory leaves the stream as it was; both
// answer false so that callers never write over the tail they meant to keep.
bool tSWFStream::Shift(int64_t Delta) {
  if (Delta == 0) return true;
  if (!FOwnsBuffer) return false;
  uint32_t At = Position();
  uint32_t OldSize = Size();
  if (Delta > 0) {
    uint64_t NewSize = uint64_t(OldSize) + uint64_t(Delta);
    if (NewSize > UINT32_MAX || !GrowUnfilled(uint32_t(NewSize))) return false;
    std::memmove(FBuffer + At + Delta, FBuffer + At, OldSize - At);
    // Growth the moved tail did not cover lies in the gap: zero, as always.
    if (uint64_t(At) + uint64_t(Delta) > OldSize)
      std::memset(FBuffer + OldSize, 0, size_t(uint64_t(At) + uint64_t(Delta) - OldSize));
    FShortfall = 0;
    return true;
  }
  uint64_t Gone = uint64_t(-Delta);
  if (Gone > OldSize) {
    SetSize(0);
    return true;
  }
  if (Gone > OldSize - At) {
    // Fewer bytes follow than asked for: everything after Position goes.
    SetSize(At);
    FShortfall = 0;
    return true;
  }
  std::memmove(FBuffer + At, FBuffer + At + Gone, OldSize - At - Gone);
  SetSize(uint32_t(OldSize - Gone));
  FShortfall = 0;
  return true;
}

bool tSWFStream::ReadUB(uint32_t& Value, uint8_t Bits) {
  Value = 0;
  if (Bits == 0) return true;
  uint64_t Need = BytesTouched(BitsLeft(), Bits);
  if (Position() + Need > Size()) {
    AddShortfall(Position() + Need - Size());
    FPosition = Size();
    FBitsLeft = 8;
    return false;
  }
  uint32_t Result = 0;
  uint32_t At = Position();
  uint8_t Left = FBitsLeft;
  uint32_t ToGo = Bits;
  while (ToGo > 0) {
    uint8_t Take = uint8_t(std::min<uint32_t>(Left, ToGo));
    uint32_t Group = (uint32_t(FBuffer[At]) >> (Left - Take)) & ((1u << Take) - 1);
    Result = uint32_t((uint64_t(Result) << Take) | Group);
    ToGo -= Take;
    Left -= Take;
    if (Left == 0) {
      ++At;
      Left = 8;
    }
  }
  Value = Result;
  AdvanceBits(Bits);
  return true;
}

uint32_t tSWFStream::GetUB(uint8_t Bits) {
  uint32_t Value = 0;
  ReadUB(Value, Bits);
  return Value;
}

bool tSWFStream::WriteUB(uint32_t Value, uint8_t Bits) {
  if (Bits == 0) return true;
  uint64_t Need = BytesTouched(BitsLeft(), Bits);
  uint64_t End = Position() + Need;
  if (End > Size() && (End > UINT32_MAX || !TrySetSize(uint32_t(End)))) {
    AddShortfall(Need);
    return false;
  }
  uint32_t At = Position();
  uint8_t Left = FBitsLeft;
  uint32_t ToGo = Bits;
  while (ToGo > 0) {
    uint8_t Take = uint8_t(std::min<uint32_t>(Left, ToGo));
    uint32_t Shift = ToGo - Take;
    uint32_t Group = Shift >= 32 ? 0 : (Value >> Shift) & ((1u << Take) - 1);
    uint8_t Low = uint8_t(Left - Take);
    uint8_t Mask = uint8_t(((1u << Take) - 1) << Low);
    FBuffer[At] = uint8_t((FBuffer[At] & ~Mask) | (Group << Low));
    ToGo -= Take;
    Left -= Take;
    if (Left == 0) {
      ++At;
      Left = 8;
    }
  }
  AdvanceBits(Bits);
  return true;
}

bool tSWFStream::ReadSB(int32_t& Value, uint8_t Bits) {
  if (Bits == 0) {
    Value = 0;
    return true;
  }
  bool Negative = false;
  if (!ReadFlag(Negative)) return false;
  uint32_t Magnitude = 0;
  if (!ReadUB(Magnitude, Bits - 1)) return false;
  if (Bits > 32) {
    Value = int32_t(Magnitude);  // wider fields carry no value
  } else {
    Value = int32_t(int64_t(Magnitude) - (Negative ? (int64_t(1) << (Bits - 1)) : 0));
  }
  return true;
}

int32_t tSWFStream::GetSB(uint8_t Bits) {
  int32_t Value = 0;
  return ReadSB(Value, Bits) ? Value : 0;
}

bool tSWFStream::WriteSB(int32_t Value, uint8_t Bits) {
  return WriteUB(uint32_t(Value), Bits);
}

bool tSWFStream::ReadFlag(bool& Value) {
  uint32_t Bit = 0;
  if (!ReadUB(Bit, 1)) return false;
  Value = Bit != 0;
  return true;
}

bool tSWFStream::ReadUI8(uint8_t& Value) {
  uint32_t Byte = 0;
  if (!ReadUB(Byte, 8)) return false;
  Value = uint8_t(Byte);
  return true;
}

bool tSWFStream::WriteUI8(uint8_t Value) {
  return WriteUB(Value, 8);
}

uint8_t tSWFStream::GetUI8() {
  uint8_t Value = 0;
  return ReadUI8(Value) ? Value : 0;
}

bool tSWFStream::ReadSI8(int8_t& Value) {
  int32_t Signed = 0;
  if (!ReadSB(Signed, 8)) return false;
  Value = int8_t(Signed);
  return true;
}

bool tSWFStream::WriteSI8(int8_t Value) {
  return WriteUB(uint8_t(Value), 8);
}

// Both bytes are always attempted, so a failed read counts every missing byte.
bool tSWFStream::ReadUI16(uint16_t& Value) {
  uint32_t Low = 0, High = 0;
  bool LowOk = ReadUB(Low, 8);
  bool HighOk = ReadUB(High, 8);
  if (!LowOk || !HighOk) return false;
  Value = uint16_t(Low | (High << 8));
  return true;
}

bool tSWFStream::WriteUI16(uint16_t Value) {
  return WriteUB(Value & 0xFF, 8) && WriteUB(Value >> 8, 8);
}

uint16_t tSWFStream::GetUI16() {
  uint16_t Value = 0;
  return ReadUI16(Value) ? Value : 0;
}

bool tSWFStream::ReadUI32(uint32_t& Value) {
  uint32_t Result = 0;
  bool Ok = true;
  for (int Index = 0; Index < 4; ++Index) {
    uint32_t Byte = 0;
    Ok = ReadUB(Byte, 8) && Ok;
    Result |= Byte << (8 * Index);
  }
  if (!Ok) return false;
  Value = Result;
  return true;
}

bool tSWFStream::WriteUI32(uint32_t Value) {
  for (int Index = 0; Index < 4; ++Index) {
    if (!WriteUB((Value >> (8 * Index)) & 0xFF, 8)) return false;
  }
  return true;
}

uint32_t tSWFStream::GetUI32() {
  uint32_t Value = 0;
  return ReadUI32(Value) ? Value : 0;
}

bool tSWFStream::ReadFixed8(float& Value) {
  uint8_t Fraction = 0;
  if (!ReadUI8(Fraction)) return false;
  int8_t Whole = 0;
  if (!ReadSI8(Whole)) return false;
  Value = float(Whole) + float(Fraction) / 256.0f;
  return true;
}

bool tSWFStream::WriteFixed8(float Value) {
  double Whole = std::trunc(double(Value));
  if (!std::isfinite(Whole)) Whole = 0;
  Whole = std::clamp(Whole, double(INT32_MIN), double(INT32_MAX));
  double Fraction = std::trunc((double(Value) - Whole) * 256.0);
  if (!std::isfinite(Fraction)) Fraction = 0;
  return WriteUI8(uint8_t(int32_t(Fraction))) && WriteUI8(uint8_t(int64_t(Whole)));
}

float tSWFStream::GetFixed8() {
  float Value = 0;
  return ReadFixed8(Value) ? Value : 0.0f;
}

bool tSWFStream::LoadFromFile(const std::string& FileName) {
  FILE* File = std::fopen(FileName.c_str(), "rb");
  if (!File) return false;
  bool Ok = false;
  long Length = -1;
  if (std::fseek(File, 0, SEEK_END) == 0) Length = std::ftell(File);
  if (Length >= 0 && uint64_t(Length) <= UINT32_MAX && std::fseek(File, 0, SEEK_SET) == 0) {
    if (!FOwnsBuffer) Reset();  // a view cannot take the file's size
    if (Length == 0) {
      SetSize(0);
      Ok = true;
    } else {
      uint32_t OldSize = Size();
      bool Sized = uint32_t(Length) <= OldSize ? TrySetSize(uint32_t(Length))
                                               : GrowUnfilled(uint32_t(Length));
      if (Sized) {
        size_t Got = std::fread(FBuffer, 1, size_t(Length), File);
        Ok = Got == size_t(Length);
        // A short read leaves the old bytes, and zeros where there were none.
        size_t Fresh = std::max<size_t>(Got, OldSize);
        if (Fresh < size_t(Length)) std::memset(FBuffer + Fresh, 0, size_t(Length) - Fresh);
      }
    }
    FPosition = 0;
    FBitsLeft = 8;
    FShortfall = 0;
  }
  std::fclose(File);
  return Ok;
}

bool tSWFStream::SaveToFile(const std::string& FileName) const {
  FILE* File = std::fopen(FileName.c_str(), "wb");
  if (!File) return false;
  bool Ok = Size() == 0 || std::fwrite(FBuffer, 1, Size(), File) == Size();
  if (std::fclose(File) != 0) Ok = false;
  return Ok;
}

bool tSWFStream::NextTag(uint16_t& Code, bool& LongHeader, tSWFStream& Body) {
  uint16_t Word = 0;
  if (!ReadUI16(Word)) return false;
  uint32_t Length = Word & 0x3F;
  Code = uint16_t(Word >> 6);
  LongHeader = Length == 0x3F;
  if (Length == 0) {
    Body.Reset();
    return true;
  }
  if (LongHeader) {
    if (!ReadUI32(Length)) return false;
    if (Length <= 63 &&
        !CurrentDebugger().Note(this, errDataSmallReadBigTag, mkMessage, 0,
                       Format("Read Tag= %d, Size= %d. ", int(Code), int(Length)))) {
      return false;
    }
  }
  int32_t Rest = Remaining();
  // 64-bit so that a negative rest never passes as a large unsigned number.
  bool Fits = Rest >= 0 && int64_t(Length) <= int64_t(Rest);
  if (!Fits) {
    CurrentDebugger().Report(this, errReadMoreThanFileSize, mkFatalError, 0,
                    Format("Requied size: %d, from absolure rest: %d. Real data size: %d, "
                           "Offset: %d, tag ID: %d, navigation terminated",
                           int32_t(Length), Rest, int32_t(Size()), int32_t(Position()), int(Code)));
    return false;
  }
  Body.AttachBuffer(FBuffer + Position(), Length);
  SetPosition(Position() + Length);
  return true;
}
