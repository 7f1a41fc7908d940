// JPEG stream repair: the stored bytes of a picture record cleaned into one
// JPEG stream a standard decoder accepts (one start-of-image marker, the
// header segments, then the scan and all after it unchanged).
#pragma once

#include <cstdint>
#include <vector>

#include "swf/D_Storages.h"

// The repair keeps bytes of the input in their order only, so it is worked
// out as runs of the input: the repaired stream is, in order, the Size bytes
// from each run's Start. Answers where the repair stopped.
struct TJPEGRun {
  uint32_t Start = 0;
  uint32_t Size = 0;
};
uint32_t RepairJPEGRuns(const uint8_t* In, uint32_t Size, std::vector<TJPEGRun>& Runs);
// The repaired stream of In as bytes, in Out (emptied first); throws
// std::bad_alloc when Out cannot hold them. Answers where the repair ended.
uint32_t RepairJPEGBytes(const uint8_t* In, uint32_t Size, std::vector<uint8_t>& Out);

// The same repair made into bytes. Source and Target are usually the same
// stream. False when memory for the repaired bytes was refused (Target is
// then empty).
bool RepairJPEGStream(tSWFStream& Source, tSWFStream& Target);
