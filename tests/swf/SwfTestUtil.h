// Small helpers shared by the framework tests.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/D_Storages.h"

using Bytes = std::vector<uint8_t>;

inline void Fill(tSWFStream& Stream, const Bytes& Data) {
  Stream.Reset();
  if (!Data.empty()) Stream.WriteBytes(Data.data(), uint32_t(Data.size()));
  Stream.SetPosition(0);
}

inline Bytes Content(const tSWFStream& Stream) {
  const uint8_t* Data = Stream.Buffer();
  return Data ? Bytes(Data, Data + Stream.Size()) : Bytes();
}
