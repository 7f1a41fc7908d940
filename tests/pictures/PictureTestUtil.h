// Small helpers for the picture item tests: byte blocks, streams over them,
// zlib data and the diagnostics recorded while a test runs.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "swf/D_Storages.h"
#include "swf/F_Debugger.h"

using TBytes = std::vector<uint8_t>;

inline TBytes Compressed(const TBytes& Data) {
  uLongf Length = compressBound(uLong(Data.size()));
  TBytes Out(Length);
  EXPECT_EQ(compress2(Out.data(), &Length, Data.data(), uLong(Data.size()), 9), Z_OK);
  Out.resize(Length);
  return Out;
}

inline TBytes Inflated(const TBytes& Data, size_t Size) {
  TBytes Out(Size);
  uLongf Length = uLongf(Size);
  EXPECT_EQ(uncompress(Out.data(), &Length, Data.data(), uLong(Data.size())), Z_OK);
  Out.resize(Length);
  return Out;
}

// A run of recognisable bytes.
inline TBytes Sequence(size_t Count, uint8_t Start = 1) {
  TBytes Out(Count);
  for (size_t i = 0; i < Count; ++i) Out[i] = uint8_t(Start + i * 7);
  return Out;
}

inline TBytes Join(std::initializer_list<TBytes> Parts) {
  TBytes Out;
  for (const auto& Part : Parts) Out.insert(Out.end(), Part.begin(), Part.end());
  return Out;
}

inline TBytes UI16(uint16_t Value) {
  return {uint8_t(Value), uint8_t(Value >> 8)};
}
inline TBytes UI32(uint32_t Value) {
  return {uint8_t(Value), uint8_t(Value >> 8), uint8_t(Value >> 16), uint8_t(Value >> 24)};
}

// An owning stream holding Bytes, positioned at 0.
inline void Fill(tSWFStream& Stream, const TBytes& Bytes) {
  Stream.Reset();
  if (!Bytes.empty()) Stream.WriteBytes(Bytes.data(), uint32_t(Bytes.size()));
  Stream.SetPosition(0);
}

inline TBytes Contents(const tSWFStream& Stream) {
  if (Stream.Size() == 0) return {};
  return TBytes(Stream.Buffer(), Stream.Buffer() + Stream.Size());
}

// Entries the collector received since the test began.
class DiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override { Debugger.ClearEntries(); }
  const std::vector<tDebuggerEntry>& Reports() const { return Debugger.Entries(); }
  size_t CountReports(const std::string& Fragment) const {
    size_t Count = 0;
    for (const auto& Entry : Debugger.Entries())
      if (Entry.Text.find(Fragment) != std::string::npos) ++Count;
    return Count;
  }
};

// Texts of the two codes the data blocks report.
inline const std::string DumpCutText = "The data in the memory dump was cut before reading";
inline const std::string NoEstimateText = "Nececarry ZLib parameter (outestimate) is not set";
