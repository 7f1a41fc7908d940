// JPEG stream repair: the stored JPEG bytes of a picture record become one
// stream a standard decoder accepts.
#include <algorithm>
#include <vector>

#include "extract/Scripts.h"

namespace {

constexpr uint8_t MarkerPrefix = 0xFF;
constexpr uint8_t StartOfImage = 0xD8;
constexpr uint8_t EndOfImage = 0xD9;
constexpr uint8_t StartOfScan = 0xDA;

}  // namespace

void RepairJPEGStream(tSWFStream& Source, tSWFStream& Target) {
  const uint8_t* In = Source.Buffer();
  const uint32_t Size = Source.Size();
  std::vector<uint8_t> Out;
  Out.reserve(Size);  // the output only ever keeps bytes of the input
  bool InImage = false;
  uint32_t At = 0;

  while (At < Size) {
    uint8_t B = In[At++];
    Out.push_back(B);
    if (B != MarkerPrefix) {
      if (!InImage) Out.clear();
      continue;
    }
    if (At == Size) {  // cut inside a marker
      if (!InImage) Out.clear();
      break;
    }
    uint8_t M = In[At++];
    Out.push_back(M);
    if (M == StartOfImage) {
      if (InImage) Out.resize(Out.size() - 2);
      InImage = true;
    } else if (M == EndOfImage) {
      Out.resize(Out.size() - 2);
    } else if (M == StartOfScan) {
      if (InImage) {
        // The scan and all after it are taken as they stand, in one block.
        Out.insert(Out.end(), In + At, In + Size);
        At = Size;
      } else {
        Out.resize(Out.size() - 2);
      }
    } else if (!InImage) {
      Out.clear();
    } else {
      // A marker segment: the length counts its own two bytes; the body is
      // copied unexamined. A length below 2 or one past the end ends the scan.
      uint32_t LengthBytes = std::min<uint32_t>(2, Size - At);
      Out.insert(Out.end(), In + At, In + At + LengthBytes);
      if (LengthBytes < 2) {
        At = Size;
        break;
      }
      uint32_t Length = uint32_t(In[At]) << 8 | In[At + 1];
      At += 2;
      if (Length < 2) {
        At = Size;
        break;
      }
      uint32_t Body = std::min<uint32_t>(Length - 2, Size - At);
      Out.insert(Out.end(), In + At, In + At + Body);
      At += Body;
    }
  }

  Source.SetPosition(At);
  // Source and Target are usually one stream: it is rebuilt only now.
  Target.Reset();
  if (!Out.empty()) Target.WriteBytes(Out.data(), uint32_t(Out.size()));
}
