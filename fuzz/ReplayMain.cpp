// The fuzz targets without libFuzzer: every file given, and every file of
// every folder given, is fed once to LLVMFuzzerTestOneInput, in name order.
// The normal test suites replay the regression inputs and the generated seeds
// this way, so a fault that was once found stays found in every build.
//
// Usage: <replay> FILE-OR-FOLDER...   (a folder that does not exist is an error)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

namespace {

bool Collect(const std::filesystem::path& Path, std::vector<std::filesystem::path>& Files) {
  std::error_code Error;
  if (std::filesystem::is_regular_file(Path, Error)) {
    Files.push_back(Path);
    return true;
  }
  if (!std::filesystem::is_directory(Path, Error)) {
    std::fprintf(stderr, "replay: %s: no such file or folder\n", Path.c_str());
    return false;
  }
  std::vector<std::filesystem::path> Found;
  for (const auto& Entry : std::filesystem::directory_iterator(Path, Error))
    if (Entry.is_regular_file()) Found.push_back(Entry.path());
  std::sort(Found.begin(), Found.end());
  Files.insert(Files.end(), Found.begin(), Found.end());
  std::printf("replay: %zu inputs in %s\n", Found.size(), Path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Usage: %s FILE-OR-FOLDER...\n", argv[0]);
    return 2;
  }
  std::vector<std::filesystem::path> Files;
  for (int i = 1; i < argc; ++i)
    if (!Collect(argv[i], Files)) return 1;
  for (const auto& File : Files) {
    std::ifstream Stream(File, std::ios::binary);
    if (!Stream) {
      std::fprintf(stderr, "replay: cannot read %s\n", File.c_str());
      return 1;
    }
    const std::vector<uint8_t> Bytes{std::istreambuf_iterator<char>(Stream),
                                     std::istreambuf_iterator<char>()};
    // Named before it runs, so a crash says which input it was.
    std::fprintf(stderr, "replay: %s\n", File.c_str());
    LLVMFuzzerTestOneInput(Bytes.data(), Bytes.size());
  }
  std::printf("replay: %zu inputs replayed, none failed\n", Files.size());
  return 0;
}
