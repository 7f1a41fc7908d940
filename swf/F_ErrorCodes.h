// Error codes of the diagnostics collector, each with its fixed English text.
#pragma once

#include <cstdint>
#include <string>

enum : uint32_t {
  errRestTooLarge = 32768,
  errReadMoreThanFileSize = 32769,
  errCantDecompress = 32770,
  errCompressedFlagNotSet = 32771,
  errFileSizeMissing = 32772,
  errInvalidCompressionFlag = 32773,
  errInvalidFileHeader = 32774,
  errCantReadTag = 32775,
  errUnknownError = 32776,
  errInvalidReservedFlag = 32777,
  errDumpCut = 32778,
  errOutEstimateNotSet = 32779,
  errObjectNotAssigned = 32780,
  errFileCorrupted = 32781,
  errInvalidVersion = 32782,
  errInvalidParameterObject = 32783,
  errUnknownTag = 32784,
  errUnknownAction = 32785,
  errCantReadAction = 32786,
  errMoreFrames = 32787,
  errLessFrames = 32788,
  errParameterMissingInVersion = 32789,
  errZlibNotApplied = 32790,
  errCantAllocate = 32791,
  errCantRead = 32792,
  errCantWrite = 32793,
  errFontBoundsTableAbsent = 32794,
  errBranchOffset = 32795,
  errDataSmallReadBigTag = 32796,
};

// The text of a code (32768..32796); empty for codes outside the table.
std::string ErrorText(uint32_t Code);
