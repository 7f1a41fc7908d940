// The files quillory-extract writes for the sample movies stay what they
// were: JPEG, BMP and GIF files byte for byte, PNGs pixel for pixel (their
// compressed bytes may change with the encoder's settings). The expected
// fingerprints are in corpus-outputs.txt beside this file; running the test
// with QUILLORY_WRITE_MANIFEST=1 writes them anew from the current build.
//
// PNGs of pictures with partly transparent pixels have straight colours;
// with --premultiplied they have the stored ones, as they had before. The
// manifest keeps those earlier fingerprints under "premultiplied/" + file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/support/MovieBuilder.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace {

uint64_t Fingerprint(const TBytes& Data, uint64_t Hash = 14695981039346656037ull) {
  for (uint8_t B : Data) Hash = (Hash ^ B) * 1099511628211ull;
  return Hash;
}

// What must not change in a file: its bytes, or a PNG's size, colour type and
// rows as decoded.
std::string FileFingerprint(const std::string& Path) {
  char Text[96];
  if (Path.ends_with(".png")) {
    const TPngImage Png = ReadPNG(Path);
    uint64_t Hash = Fingerprint({});
    for (const TBytes& Row : Png.Rows) Hash = Fingerprint(Row, Hash);
    std::snprintf(Text, sizeof Text, "png %ux%u type %d depth %d %016llx", Png.Width, Png.Height,
                  Png.ColorType, Png.BitDepth, static_cast<unsigned long long>(Hash));
  } else {
    const TBytes Bytes = ReadFileBytes(Path);
    std::snprintf(Text, sizeof Text, "bytes %zu %016llx", Bytes.size(),
                  static_cast<unsigned long long>(Fingerprint(Bytes)));
  }
  return Text;
}

// The fingerprints of every file the tool writes for the sample movies.
std::map<std::string, std::string> Outputs(const std::string& Corpus, const std::string& Options) {
  TTempDir Temp;
  const std::string Out = Temp.Path() + "out/";
  std::vector<std::string> Args = {"--out", Out, "--prefix", "Image"};
  if (!Options.empty()) Args.push_back(Options);
  for (const auto& E : fs::directory_iterator(Corpus))
    if (E.path().extension() == ".swf") Args.push_back(E.path().string());
  const TRun R = RunProgram(QUILLORY_EXTRACT, Args, Temp.Path());
  EXPECT_NE(R.Status, -1) << R.Err;
  std::map<std::string, std::string> Found;
  for (const auto& E : fs::recursive_directory_iterator(Out))
    if (E.is_regular_file())
      Found[fs::relative(E.path(), Out).string()] = FileFingerprint(E.path().string());
  return Found;
}

std::map<std::string, std::string> Manifest() {
  std::map<std::string, std::string> Expected;
  std::ifstream File(QUILLORY_MANIFEST);
  for (std::string Line; std::getline(File, Line);) {
    if (Line.empty() || Line[0] == '#') continue;
    const size_t Tab = Line.find('\t');
    EXPECT_NE(Tab, std::string::npos) << Line;
    if (Tab != std::string::npos) Expected[Line.substr(0, Tab)] = Line.substr(Tab + 1);
  }
  return Expected;
}

void Compare(const std::map<std::string, std::string>& Expected,
             std::map<std::string, std::string>& Found) {
  ASSERT_FALSE(Expected.empty()) << "no manifest at " << QUILLORY_MANIFEST;
  for (const auto& [Name, Print] : Expected) {
    ASSERT_TRUE(Found.count(Name)) << Name << " was not written";
    EXPECT_EQ(Found[Name], Print) << Name;
  }
  for (const auto& [Name, Print] : Found) EXPECT_TRUE(Expected.count(Name)) << Name << " is new";
}

const std::string Earlier = "premultiplied/";

TEST(CorpusOutputs, EveryFileIsWhatItWas) {
  const std::string Corpus = QUILLORY_CORPUS_DIR;
  if (!IsDirectory(Corpus)) GTEST_SKIP() << "no sample movies in " << Corpus;
  std::map<std::string, std::string> Found = Outputs(Corpus, "");
  if (const char* Write = std::getenv("QUILLORY_WRITE_MANIFEST"); Write && *Write == '1') {
    const std::map<std::string, std::string> Old = Manifest();
    std::ofstream File(QUILLORY_MANIFEST);
    File << "# quillory-extract's output for ../shared/corpus: file, then its fingerprint\n";
    for (const auto& [Name, Print] : Found) File << Name << '\t' << Print << '\n';
    for (const auto& [Name, Print] : Old)
      if (Name.rfind(Earlier, 0) == 0) File << Name << '\t' << Print << '\n';
    GTEST_SKIP() << "wrote " << QUILLORY_MANIFEST;
  }
  std::map<std::string, std::string> Expected;
  for (const auto& [Name, Print] : Manifest())
    if (Name.rfind(Earlier, 0) != 0) Expected[Name] = Print;
  Compare(Expected, Found);
}

// The stored colours are one switch away: every file as it was before
// straight colours came.
TEST(CorpusOutputs, WithStoredColoursEveryFileIsWhatItWasBefore) {
  const std::string Corpus = QUILLORY_CORPUS_DIR;
  if (!IsDirectory(Corpus)) GTEST_SKIP() << "no sample movies in " << Corpus;
  std::map<std::string, std::string> Found = Outputs(Corpus, "--premultiplied");
  std::map<std::string, std::string> Expected = Manifest();
  for (auto It = Expected.begin(); It != Expected.end();) {
    if (It->first.rfind(Earlier, 0) != 0) {
      ++It;
      continue;
    }
    Expected[It->first.substr(Earlier.size())] = It->second;
    It = Expected.erase(It);
  }
  Compare(Expected, Found);
}

}  // namespace
