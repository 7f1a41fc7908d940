// Small helpers shared by the framework tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/D_Storages.h"
#include "swf/F_Debugger.h"

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

// The codes of the records after the header, in order.
inline std::vector<uint16_t> Walk(tSWFStream& Movie) {
  std::vector<uint16_t> Codes;
  uint16_t Code = 0;
  bool Long = false;
  for (;;) {
    tSWFStream Body;
    if (!Movie.NextTag(Code, Long, Body)) break;
    Codes.push_back(Code);
  }
  return Codes;
}

// What the debugger has been told, oldest first.
inline std::vector<std::string> Texts() {
  std::vector<std::string> Result;
  for (const auto& Entry : Debugger.Entries()) Result.push_back(Entry.Text);
  return Result;
}
