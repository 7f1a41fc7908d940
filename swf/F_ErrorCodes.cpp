#include "swf/F_ErrorCodes.h"

#include <iterator>

namespace {

const char* const ErrorTexts[] = {
    "The rest of data is too large",
    "Read data is more than the file size",
    "Can't decompress",
    "File compressed, but compression flag is not set",
    "Internal file size is missing",
    "Invalid compression flag",
    "Invalid file header",
    "Can't read tag",
    "Unknown error; the code is: ",
    "Invalid reserved data flag",
    "The data in the memory dump was cut before reading",
    "Nececarry ZLib parameter (outestimate) is not set",
    "The object to access is not assigned",
    "File is corrupted or missing",
    "Invalid file version flag",
    "Trying to set invalid object as parameter",
    "Found unknown tag",
    "Found unknown action",
    "Can't read action",
    "The number of real frames is more than the specified one",
    "The number of real frames is less than the specified one",
    "Parameter is missing in this file version",
    "Zlib compression not applied",
    "Can't allocate memory to create object",
    "Can't execute reading process",
    "Can't execute writing process",
    "Mandatory field FontBoundsTable is absent",
    "Error count IndexBranchOffset BranchOffset",
    "Data small read big Tag",
};

static_assert(std::size(ErrorTexts) == errDataSmallReadBigTag - errRestTooLarge + 1);

}  // namespace

std::string ErrorText(uint32_t Code) {
  if (Code < errRestTooLarge || Code > errDataSmallReadBigTag) return std::string();
  return ErrorTexts[Code - errRestTooLarge];
}
