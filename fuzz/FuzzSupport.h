// What the fuzz targets share: one private scratch folder per process, the
// leading bytes of an input read as parameters, and checks that stop the run
// when something the program promises does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using TFuzzBytes = std::vector<uint8_t>;

// Inputs above this size are passed over: a run stays fast, and the work of
// any one input stays small next to the machine.
constexpr size_t MaxFuzzInput = 1 << 20;

// A folder made with mkdtemp under the temporary folder (TMPDIR), one per
// process, removed with everything in it when the process ends normally.
class TFuzzFolder {
 public:
  explicit TFuzzFolder(const char* Name);
  ~TFuzzFolder();
  TFuzzFolder(const TFuzzFolder&) = delete;
  TFuzzFolder& operator=(const TFuzzFolder&) = delete;

  const std::string& Path() const { return FPath; }  // ends in "/"
  // Empties the folder, so no input sees what the one before left.
  void Clear() const;

 private:
  std::string FPath;
};

// The process's folder for this target, made on first use.
const TFuzzFolder& ProcessFolder(const char* Name);

// Writes a whole file; stops the run when it cannot (the scratch folder
// itself is broken, not the input).
void WriteFuzzFile(const std::string& FileName, const uint8_t* Data, size_t Size);
TFuzzBytes ReadFuzzFile(const std::string& FileName);  // empty when missing
// Whether the temporary file of an output file lies anywhere under Folder:
// the writers must never leave one behind, even when they fail.
bool HasPartFiles(const std::string& Folder);

// Reads the parameter bytes an input starts with; past the end it answers 0.
class TFuzzReader {
 public:
  TFuzzReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  uint8_t UI8() { return FAt < FSize ? FData[FAt++] : 0; }
  uint16_t UI16() {
    const uint16_t Low = UI8();
    return uint16_t(Low | UI8() << 8);
  }
  // What is left after the parameters.
  const uint8_t* Rest() const { return FData + FAt; }
  size_t RestSize() const { return FSize - FAt; }

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FAt = 0;
};

[[noreturn]] void FuzzCheckFailed(const char* Condition, const char* File, int Line);

// A promise of the program that the input broke: a finding like a crash.
#define FUZZ_CHECK(Condition) \
  ((Condition) ? (void)0 : FuzzCheckFailed(#Condition, __FILE__, __LINE__))
