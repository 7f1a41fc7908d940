// Memory that runs short is told, not a crash: quillory-extract on movies
// whose blocks a small machine would refuse. Most cases refuse every block of
// at least a given size (QUILLORY_TEST_REFUSE_BLOCKS_FROM), which works under
// the sanitizers too; one runs the tool under a real address-space limit.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "tests/support/MovieBuilder.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool AddressSanitizer = true;
#else
constexpr bool AddressSanitizer = false;
#endif
#else
constexpr bool AddressSanitizer = false;
#endif

#if defined(__SANITIZE_THREAD__)
constexpr bool ThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool ThreadSanitizer = true;
#else
constexpr bool ThreadSanitizer = false;
#endif
#else
constexpr bool ThreadSanitizer = false;
#endif

void PutUI16(TBytes& Out, uint16_t Value) {
  Out.push_back(uint8_t(Value));
  Out.push_back(uint8_t(Value >> 8));
}

// A DefineBitsLossless2 body of a 32-bit picture whose pixels are all zero.
TBytes BlankLossless2(uint16_t Id, uint16_t Width, uint16_t Height) {
  TBytes Body;
  PutUI16(Body, Id);
  Body.push_back(5);
  PutUI16(Body, Width);
  PutUI16(Body, Height);
  const TBytes Pixels = ZlibWithZeros({}, size_t(Width) * Height * 4);
  Body.insert(Body.end(), Pixels.begin(), Pixels.end());
  return Body;
}

// A zlib movie whose body is its frame header and then Zeros bytes of an
// unknown record.
TBytes ZerosMovie(uint32_t Zeros) {
  return ExpandingMovie({0x00, 0x00, 24, 1, 0}, Zeros);  // an empty frame, 24 a second, one frame
}


class MemoryTest : public ::testing::Test {
 protected:
  // The tool in a child process: every block of RefuseFrom bytes or more
  // refused (0: none), or its address space limited to Limit bytes (0: none).
  TRun Run(const std::vector<std::string>& Args, size_t RefuseFrom, size_t Limit = 0) {
    const std::string OutFile = Temp.Path() + "stdout.txt", ErrFile = Temp.Path() + "stderr.txt";
    const pid_t Child = fork();
    if (Child == 0) {
      const int Out = open(OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int Err = open(ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(Out, 1);
      dup2(Err, 2);
      if (RefuseFrom) setenv("QUILLORY_TEST_REFUSE_BLOCKS_FROM", std::to_string(RefuseFrom).c_str(), 1);
      if (Limit) {
        const rlimit Space{Limit, Limit};
        setrlimit(RLIMIT_AS, &Space);
      }
      std::vector<char*> Argv{const_cast<char*>(QUILLORY_EXTRACT)};
      for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
      Argv.push_back(nullptr);
      execv(QUILLORY_EXTRACT, Argv.data());
      _exit(127);
    }
    int Raw = 0;
    waitpid(Child, &Raw, 0);
    TRun R;
    R.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : 128 + WTERMSIG(Raw);
    const TBytes Out = ReadFileBytes(OutFile), Err = ReadFileBytes(ErrFile);
    R.Out.assign(Out.begin(), Out.end());
    R.Err.assign(Err.begin(), Err.end());
    return R;
  }
  std::string Save(const std::string& Name, const TBytes& Movie) {
    WriteFileBytes(Temp.Path() + Name, Movie);
    return Temp.Path() + Name;
  }
  // The report's lines, each a whole JSON object.
  std::vector<std::string> Report() {
    const std::vector<std::string> Lines = ReadLines(ReportFile());
    for (const std::string& Line : Lines) {
      EXPECT_EQ(Line.front(), '{');
      EXPECT_EQ(Line.substr(Line.size() - 2), "]}");
    }
    return Lines;
  }
  std::string ReportFile() const { return Temp.Path() + "report.jsonl"; }
  std::string Out() const { return Temp.Path() + "out/"; }
  // Every file below the output folder, relative to it.
  std::vector<std::string> Files() {
    std::vector<std::string> Names;
    for (const auto& E : fs::recursive_directory_iterator(Out()))
      if (E.is_regular_file()) Names.push_back(fs::relative(E.path(), Out()).string());
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  TTempDir Temp;
};

TEST_F(MemoryTest, ABodyMemoryCannotHoldIsToldSoAndTheNextMovieIsSaved) {
  const std::string Big = Save("big.swf", ZerosMovie(300u << 20));
  const std::string Small =
      Save("small.swf", TMovieBuilder(true).DefineBitsJPEG2(1, EncodeJPEG(Pattern(8, 8))).Build());
  const TRun R = Run({"--out", Out(), "--report", ReportFile(), Big, Small}, 100u << 20);
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find(Big + ": Not enough memory to expand the movie."), std::string::npos)
      << R.Err;
  EXPECT_EQ(R.Err.find("damaged"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Out, Big + ": 0 pictures saved\n" + Small + ": 1 picture saved\n");
  const std::vector<std::string> Lines = Report();
  ASSERT_EQ(Lines.size(), 2u);
  EXPECT_NE(Lines[0].find("\"problem\":\"Not enough memory to expand the movie.\""),
            std::string::npos);
  EXPECT_EQ(Files(), std::vector<std::string>({"small.swf/JPEG/Image0.jpg"}));
}

TEST_F(MemoryTest, ALossless2PictureMemoryCannotHoldIsToldByItsNumberAndSize) {
  const std::string Movie = Save("lossless.swf", TMovieBuilder()
                                                     .Tag(36, BlankLossless2(1, 4096, 4096))
                                                     .DefineBitsJPEG2(2, EncodeJPEG(Pattern(8, 8)))
                                                     .Build());
  const TRun R = Run({"--out", Out(), "--report", ReportFile(), Movie}, 32u << 20);
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find(Movie + ": Not enough memory for picture 0 (4096 \u00D7 4096)."),
            std::string::npos)
      << R.Err;
  EXPECT_EQ(R.Err.find("holds nothing"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Out, Movie + ": 1 picture saved\n");
  const std::vector<std::string> Lines = Report();
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_NE(Lines[0].find("\"errors\":[\"Not enough memory for picture 0 (4096 \u00D7 4096).\"]"),
            std::string::npos)
      << Lines[0];
  EXPECT_EQ(Files(), std::vector<std::string>({"lossless.swf/JPEG/Image1.jpg"}));
}

// The PNG of a JPEG3 needs the decoded picture; its JPEG does not. Saved on
// worker threads, the pictures around it are saved all the same.
TEST_F(MemoryTest, AJPEG3WhosePNGMemoryCannotHoldKeepsItsJPEGOnWorkersToo) {
  const TBytes Small = EncodeJPEG(Pattern(8, 8));
  const std::string Movie =
      Save("jpeg3.swf", TMovieBuilder(true)
                            .DefineBitsJPEG2(1, Small)
                            .DefineBitsJPEG3(2, EncodeJPEG(Pattern(1200, 1200), 50), TBytes(1200 * 1200, 99))
                            .DefineBitsJPEG3(3, Small, TBytes(64, 7))
                            .Build());
  for (const char* Jobs : {"1", "2"}) {
    SCOPED_TRACE(Jobs);
    fs::remove_all(Out());
    const TRun R = Run({"--out", Out(), "--report", ReportFile(), "-j", Jobs, Movie}, 3u << 20);
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Err.find(Movie + ": Not enough memory for picture 1 (1200 \u00D7 1200)."),
              std::string::npos)
        << R.Err;
    EXPECT_EQ(R.Out, Movie + ": 2 pictures saved\n");
    EXPECT_EQ(Files(), std::vector<std::string>({"jpeg3.swf/JPEG/Image0.jpg", "jpeg3.swf/JPEG/Image1.jpg",
                                                 "jpeg3.swf/JPEG/Image2.jpg", "jpeg3.swf/PNG/Image2.png"}));
    ASSERT_EQ(Report().size(), 1u);
  }
}

// Under a real limit of the address space (about 390 MB), a 8192 x 8192
// Lossless2 picture: its pixels alone take 256 MB, its BMP 192 MB more.
TEST_F(MemoryTest, UnderARealMemoryLimitTheLargestPictureIsToldAndTheRunEnds) {
  if (AddressSanitizer) GTEST_SKIP() << "the address sanitizer reserves its shadow memory";
  if (ThreadSanitizer) GTEST_SKIP() << "the thread sanitizer reserves its shadow memory";
  const std::string Movie = Save("huge.swf", TMovieBuilder(true)
                                                 .Tag(36, BlankLossless2(1, 8192, 8192))
                                                 .DefineBitsJPEG2(2, EncodeJPEG(Pattern(8, 8)))
                                                 .Build());
  const TRun R = Run({"--out", Out(), "--report", ReportFile(), "-j", "1", Movie}, 0, 400000u << 10);
  EXPECT_EQ(R.Status, 1) << R.Err;
  EXPECT_NE(R.Err.find("Not enough memory"), std::string::npos) << R.Err;
  EXPECT_NE(R.Out.find(Movie + ": "), std::string::npos);
  EXPECT_EQ(Report().size(), 1u);
  EXPECT_TRUE(FileExists(Out() + "huge.swf/JPEG/Image1.jpg"));
  for (const std::string& File : Files())
    EXPECT_TRUE(File.ends_with(".jpg") || File.ends_with(".bmp") || File.ends_with(".png")) << File;
}

}  // namespace
