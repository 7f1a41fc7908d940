#include "fuzz/FuzzSupport.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "extract/OutputFile.h"

TFuzzFolder::TFuzzFolder(const char* Name) {
  std::error_code Error;
  std::filesystem::path Temp = std::filesystem::temp_directory_path(Error);
  if (Error) Temp = "/tmp";
  std::string Pattern = (Temp / (std::string("quillory-fuzz-") + Name + "-XXXXXX")).string();
  if (!mkdtemp(Pattern.data())) {
    std::perror("quillory fuzz: cannot create a scratch folder");
    std::abort();
  }
  FPath = Pattern + "/";
}

TFuzzFolder::~TFuzzFolder() {
  std::error_code Ignored;
  std::filesystem::remove_all(FPath, Ignored);
}

void TFuzzFolder::Clear() const {
  std::error_code Ignored;
  for (const auto& Entry : std::filesystem::directory_iterator(FPath, Ignored))
    std::filesystem::remove_all(Entry.path(), Ignored);
}

const TFuzzFolder& ProcessFolder(const char* Name) {
  static const TFuzzFolder Folder(Name);
  return Folder;
}

void WriteFuzzFile(const std::string& FileName, const uint8_t* Data, size_t Size) {
  std::FILE* File = std::fopen(FileName.c_str(), "wb");
  bool Ok = File != nullptr;
  if (Ok && Size > 0) Ok = std::fwrite(Data, 1, Size, File) == Size;
  if (File && std::fclose(File) != 0) Ok = false;
  if (!Ok) {
    std::perror(("quillory fuzz: cannot write " + FileName).c_str());
    std::abort();
  }
}

TFuzzBytes ReadFuzzFile(const std::string& FileName) {
  std::ifstream File(FileName, std::ios::binary);
  if (!File) return {};
  return TFuzzBytes(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

bool HasPartFiles(const std::string& Folder) {
  std::error_code Error;
  for (auto It = std::filesystem::recursive_directory_iterator(Folder, Error);
       !Error && It != std::filesystem::recursive_directory_iterator(); It.increment(Error)) {
    if (IsOutputTemporaryName(It->path().filename().string())) return true;
  }
  return false;
}

void FuzzCheckFailed(const char* Condition, const char* File, int Line) {
  std::fprintf(stderr, "quillory fuzz: check failed: %s (%s:%d)\n", Condition, File, Line);
  std::fflush(stderr);
  std::abort();
}
