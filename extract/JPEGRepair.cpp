// JPEG stream repair: the stored JPEG bytes of a picture record become one
// stream a standard decoder accepts. The stream only ever keeps bytes of the
// input, in their order, so the repair is worked out as runs of the input:
// a picture can be written out without a copy.
#include <algorithm>
#include <new>
#include <vector>

#include "extract/JPEGRepair.h"

namespace {

constexpr uint8_t MarkerPrefix = 0xFF;
constexpr uint8_t StartOfImage = 0xD8;
constexpr uint8_t EndOfImage = 0xD9;
constexpr uint8_t StartOfScan = 0xDA;

// The repaired stream being built: runs of the input, the last one growing
// while the bytes kept follow each other.
class TRuns {
 public:
  explicit TRuns(std::vector<TJPEGRun>& Runs) : FRuns(Runs) { FRuns.clear(); }

  // Keeps Count bytes of the input from At.
  void Keep(uint32_t At, uint32_t Count) {
    if (Count == 0) return;
    if (!FRuns.empty() && FRuns.back().Start + FRuns.back().Size == At)
      FRuns.back().Size += Count;
    else
      FRuns.push_back({At, Count});
    FSize += Count;
  }
  // Drops the last Count bytes kept.
  void Drop(uint32_t Count) {
    FSize -= std::min(Count, FSize);
    while (Count > 0 && !FRuns.empty()) {
      const uint32_t Taken = std::min(Count, FRuns.back().Size);
      FRuns.back().Size -= Taken;
      Count -= Taken;
      if (FRuns.back().Size == 0) FRuns.pop_back();
    }
  }
  void Clear() {
    FRuns.clear();
    FSize = 0;
  }
  bool Empty() const { return FSize == 0; }

 private:
  std::vector<TJPEGRun>& FRuns;
  uint32_t FSize = 0;
};

}  // namespace

uint32_t RepairJPEGRuns(const uint8_t* In, uint32_t Size, std::vector<TJPEGRun>& Runs) {
  TRuns Out(Runs);
  bool InImage = false;
  uint32_t At = 0;

  while (At < Size) {
    const uint8_t B = In[At];
    Out.Keep(At++, 1);
    if (B != MarkerPrefix) {
      if (!InImage) Out.Clear();
      continue;
    }
    if (At == Size) {  // cut inside a marker
      if (!InImage) Out.Clear();
      break;
    }
    const uint8_t M = In[At];
    Out.Keep(At++, 1);
    if (M == StartOfImage) {
      if (InImage) Out.Drop(2);
      InImage = true;
    } else if (M == EndOfImage) {
      Out.Drop(2);
    } else if (M == StartOfScan) {
      if (InImage) {
        // The scan and all after it are taken as they stand, in one block.
        Out.Keep(At, Size - At);
        At = Size;
      } else {
        Out.Drop(2);
      }
    } else if (!InImage) {
      Out.Clear();
    } else {
      // A marker segment: the length counts its own two bytes; the body is
      // copied unexamined. A length below 2 or one past the end ends the scan.
      const uint32_t LengthBytes = std::min<uint32_t>(2, Size - At);
      Out.Keep(At, LengthBytes);
      if (LengthBytes < 2) {
        At = Size;
        break;
      }
      const uint32_t Length = uint32_t(In[At]) << 8 | In[At + 1];
      At += 2;
      if (Length < 2) {
        At = Size;
        break;
      }
      const uint32_t Body = std::min<uint32_t>(Length - 2, Size - At);
      Out.Keep(At, Body);
      At += Body;
    }
  }
  return At;
}

uint32_t RepairJPEGBytes(const uint8_t* In, uint32_t Size, std::vector<uint8_t>& Out) {
  std::vector<TJPEGRun> Runs;
  const uint32_t End = RepairJPEGRuns(In, Size, Runs);
  uint64_t Total = 0;
  for (const TJPEGRun& Run : Runs) Total += Run.Size;
  Out.clear();
  Out.reserve(size_t(Total));
  for (const TJPEGRun& Run : Runs) Out.insert(Out.end(), In + Run.Start, In + Run.Start + Run.Size);
  return End;
}

bool RepairJPEGStream(tSWFStream& Source, tSWFStream& Target) {
  std::vector<uint8_t> Out;
  uint32_t End = 0;
  try {
    End = RepairJPEGBytes(Source.Buffer(), Source.Size(), Out);
  } catch (const std::bad_alloc&) {
    Target.Reset();
    return false;
  }
  Source.SetPosition(End);
  // Source and Target are usually one stream: it is rebuilt only now.
  Target.Reset();
  return Out.empty() || Target.WriteBytes(Out.data(), uint32_t(Out.size()));
}
