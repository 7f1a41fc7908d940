// Output files replaced whole: links at a final name, temporary names,
// failures at every step, files abandoned by a dead program, and a process
// that must end at once.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "extract/OutputFile.h"
#include "extract/Scripts.h"
#include "extract/Workers.h"
#include "tests/support/MovieBuilder.h"

namespace fs = std::filesystem;

namespace {

std::string Text(const TBytes& Bytes) {
  return std::string(Bytes.begin(), Bytes.end());
}
TBytes Bytes(const std::string& Text) {
  return TBytes(Text.begin(), Text.end());
}

bool Write(const std::string& FileName, const std::string& Content, std::string* Reason = nullptr) {
  std::string Why;
  const bool Ok = WriteOutputFile(
      FileName, {{reinterpret_cast<const uint8_t*>(Content.data()), Content.size()}}, Why);
  if (Reason) *Reason = Why;
  return Ok;
}

// The names of everything in Folder and below, relative to it.
std::set<std::string> Names(const std::string& Folder) {
  std::set<std::string> Found;
  for (const auto& Entry : fs::recursive_directory_iterator(Folder))
    Found.insert(fs::relative(Entry.path(), Folder).string());
  return Found;
}

bool IsRegular(const std::string& Path) {
  struct stat St;
  return lstat(Path.c_str(), &St) == 0 && S_ISREG(St.st_mode);
}

TEST(OutputFile, ALinkAtTheFinalNameIsReplacedAndItsTargetNeverOpened) {
  TTempDir Dir;
  const std::string Target = Dir.Path() + "precious.txt", Final = Dir.Path() + "Image0.jpg";
  WriteFileBytes(Target, Bytes("precious"));
  fs::create_symlink(Target, Final);
  // A link to nothing must not make its target appear either.
  const std::string Nowhere = Dir.Path() + "nowhere.txt", Dangling = Dir.Path() + "Image1.bmp";
  fs::create_symlink(Nowhere, Dangling);

  EXPECT_TRUE(Write(Final, "picture"));
  EXPECT_TRUE(Write(Dangling, "other picture"));
  EXPECT_EQ(Text(ReadFileBytes(Target)), "precious");
  EXPECT_FALSE(fs::exists(Nowhere));
  EXPECT_TRUE(IsRegular(Final));
  EXPECT_TRUE(IsRegular(Dangling));
  EXPECT_EQ(Text(ReadFileBytes(Final)), "picture");
  EXPECT_EQ(Names(Dir.Path()), (std::set<std::string>{"precious.txt", "Image0.jpg", "Image1.bmp"}));
}

// Create-always: an existing file is replaced, not rewritten in place, so a
// reader of the old one (here another name of it) keeps what it had.
TEST(OutputFile, AnExistingFileIsReplacedWholeWithTheUsualPermissions) {
  TTempDir Dir;
  const std::string Final = Dir.Path() + "Image0.bmp", Other = Dir.Path() + "other-name";
  WriteFileBytes(Final, Bytes("an older and longer picture"));
  ASSERT_EQ(chmod(Final.c_str(), 0600), 0);
  fs::create_hard_link(Final, Other);
  const mode_t Mask = umask(027);
  const bool Ok = Write(Final, "new");
  umask(Mask);
  EXPECT_TRUE(Ok);
  EXPECT_EQ(Text(ReadFileBytes(Final)), "new");
  EXPECT_EQ(Text(ReadFileBytes(Other)), "an older and longer picture");
  struct stat St;
  ASSERT_EQ(stat(Final.c_str(), &St), 0);
  EXPECT_EQ(St.st_mode & 0777, 0640u);  // 0666 less the mask, as a new file
}

TEST(OutputFile, TheTemporaryFileIsHiddenBesideTheFinalOneAndNeverNamedLikeAPicture) {
  TTempDir Dir;
  const std::string Final = Dir.Path() + "Image7.png";
  TOutputFile First(Final), Second(Final);
  ASSERT_TRUE(First.Open()) << First.Reason();
  ASSERT_TRUE(Second.Open()) << Second.Reason();
  EXPECT_NE(First.TempName(), Second.TempName());
  for (const TOutputFile* File : {&First, &Second}) {
    const fs::path Temp = File->TempName();
    EXPECT_EQ(Temp.parent_path().string() + "/", Dir.Path());
    const std::string Name = Temp.filename().string();
    EXPECT_EQ(Name[0], '.') << Name;
    EXPECT_TRUE(IsOutputTemporaryName(Name)) << Name;
    for (const char* Picture : {".jpg", ".bmp", ".png", ".gif"})
      EXPECT_FALSE(Name.ends_with(Picture)) << Name;
    EXPECT_TRUE(IsRegular(Temp.string()));
  }
  EXPECT_FALSE(fs::exists(Final));  // nothing under the final name before the end
  ASSERT_TRUE(First.Write("first", 5));
  ASSERT_TRUE(Second.Write("second", 6));
  ASSERT_TRUE(First.Commit());
  EXPECT_EQ(Text(ReadFileBytes(Final)), "first");
  ASSERT_TRUE(Second.Commit());
  EXPECT_EQ(Text(ReadFileBytes(Final)), "second");
  EXPECT_EQ(First.TempName(), "");
  EXPECT_EQ(Names(Dir.Path()), std::set<std::string>{"Image7.png"});

  // A final name near the system's limit still gets a temporary name.
  const std::string Long = Dir.Path() + std::string(250, 'x') + ".png";
  EXPECT_TRUE(Write(Long, "long")) << Long;
  EXPECT_EQ(Text(ReadFileBytes(Long)), "long");
}

TEST(OutputFile, AFileGivenUpLeavesNothingBehindAndTheFinalFileAsItWas) {
  TTempDir Dir;
  const std::string Final = Dir.Path() + "Image0.jpg";
  WriteFileBytes(Final, Bytes("old"));
  {
    TOutputFile File(Final);
    ASSERT_TRUE(File.Open());
    ASSERT_TRUE(File.Write("new", 3));
    ASSERT_TRUE(IsRegular(File.TempName()));
  }  // never committed
  {
    TOutputFile File(Final);
    ASSERT_TRUE(File.Open());
    FILE* Stream = File.Stream();
    ASSERT_NE(Stream, nullptr);
    std::fputs("new", Stream);
    File.Discard();
    EXPECT_EQ(File.TempName(), "");
    EXPECT_FALSE(File.Commit());  // nothing left to commit
  }
  EXPECT_EQ(Names(Dir.Path()), std::set<std::string>{"Image0.jpg"});
  EXPECT_EQ(Text(ReadFileBytes(Final)), "old");
}

// A folder swapped for a link would send the picture out of the output folder.
TEST(OutputFile, AFolderThatIsALinkIsRefused) {
  TTempDir Dir;
  fs::create_directory(Dir.Path() + "elsewhere");
  fs::create_directory_symlink(Dir.Path() + "elsewhere", Dir.Path() + "JPEG");
  for (const std::string& Final :
       {Dir.Path() + "JPEG/Image0.jpg", Dir.Path() + "JPEG//Image0.jpg"}) {
    SCOPED_TRACE(Final);
    std::string Reason;
    EXPECT_FALSE(Write(Final, "picture", &Reason));
    EXPECT_EQ(Reason, "its folder is a symbolic link");
  }
  EXPECT_TRUE(fs::is_empty(Dir.Path() + "elsewhere"));

  // A folder that is missing, or a file, gives the system's reason.
  std::string Reason;
  EXPECT_FALSE(Write(Dir.Path() + "missing/Image0.jpg", "picture", &Reason));
  EXPECT_EQ(Reason, std::strerror(ENOENT));
  WriteFileBytes(Dir.Path() + "BMP", Bytes("a file"));
  EXPECT_FALSE(Write(Dir.Path() + "BMP/Image0.bmp", "picture", &Reason));
  EXPECT_EQ(Reason, std::strerror(ENOTDIR));
}

// ---------------------------------------------------------------------------
// Failures injected at each step, through the export itself
// ---------------------------------------------------------------------------

// Which step of which file fails, and with what.
struct TFault {
  TOutputStep Step = osCreate;
  int Nth = 1;  // the n-th such step of that file
  int Errno = 0;
  std::string Suffix;  // the file's name ends so
};
TFault Planned;
std::atomic<int> Seen{0};

int InjectFault(TOutputStep Step, const std::string& FileName) {
  if (Step != Planned.Step || !FileName.ends_with(Planned.Suffix)) return 0;
  return ++Seen == Planned.Nth ? Planned.Errno : 0;
}

struct TFaultGuard {
  explicit TFaultGuard(const TFault& Fault) {
    Planned = Fault;
    Seen = 0;
    SetOutputFault(InjectFault);
  }
  ~TFaultGuard() { SetOutputFault(nullptr); }
};

// One picture of each way of writing: JPEG pieces (tables and image), a BMP block, a small PNG
// (one deflate) and a large one (deflated in bands, on a pool's threads).
TMovieBuilder WritingWays() {
  std::vector<uint32_t> Small = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x40102030};
  std::vector<uint32_t> Large(1200 * 1000);
  uint32_t Seed = 7;
  for (auto& Pixel : Large) Pixel = (Seed = Seed * 1103515245u + 12345u) | 0x80000000u;
  const auto [Tables, Image] = EncodeJPEGTablesAndImage(Pattern(16, 8));
  TMovieBuilder Movie(true);
  Movie.JPEGTables(Tables)
      .DefineBits(1, Image)
      .DefineBitsLossless(2, 5, 2, 2, ARGBData(Small))
      .DefineBitsLossless2(3, 5, 2, 2, ARGBData(Small))
      .DefineBitsLossless2(4, 5, 1200, 1000, ARGBData(Large))
      .End();
  return Movie;
}

TEST(OutputFile, AFailureAtAnyStepRemovesTheTemporaryFileAndLeavesTheFinalOne) {
  TTempDir Dir;
  WritingWays().Save(Dir.Path() + "ways.swf");
  fs::create_directory(Dir.Path() + "out");
  TWorkspace W;
  ResetWorkspace(W);
  DropPictureStores(W);
  OpenAndExtract(W, Dir.Path() + "ways.swf", Dir.Path() + "out/", nullptr);
  ASSERT_EQ(W.Pictures.Count, 4);
  TWorkerPool Pool(3);
  struct TCase {
    int Number;
    const char* File;  // below the movie's folder
    TOutputStep Step;
    int Nth;
    int Errno;
  };
  const TCase Cases[] = {
      {0, "JPEG/Image0.jpg", osCreate, 1, EMFILE}, {0, "JPEG/Image0.jpg", osWrite, 1, EIO},
      {0, "JPEG/Image0.jpg", osWrite, 2, ENOSPC},  // its second piece
      {0, "JPEG/Image0.jpg", osClose, 1, EDQUOT},  {0, "JPEG/Image0.jpg", osRename, 1, EXDEV},
      {1, "BMP/Image1.bmp", osWrite, 1, ENOSPC},   {1, "BMP/Image1.bmp", osClose, 1, EIO},
      {1, "BMP/Image1.bmp", osRename, 1, EACCES},  {2, "PNG/Image2.png", osCreate, 1, EACCES},
      {2, "PNG/Image2.png", osWrite, 1, ENOSPC},   {2, "PNG/Image2.png", osClose, 1, EIO},
      {2, "PNG/Image2.png", osRename, 1, EXDEV},   {3, "PNG/Image3.png", osWrite, 1, ENOSPC},
      {3, "PNG/Image3.png", osWrite, 10, EIO},  // well into its bands
      {3, "PNG/Image3.png", osRename, 1, EXDEV},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(std::string(C.File) + " step " + std::to_string(C.Step) + " #" +
                 std::to_string(C.Nth));
    const std::string Folder = Dir.Path() + "out/ways.swf/", Final = Folder + C.File;
    WriteFileBytes(Final, Bytes("the file of an earlier save"));
    const TFault Fault{C.Step, C.Nth, C.Errno, C.File};
    TPictureOutcome Outcome;
    {
      TFaultGuard Guard(Fault);
      Outcome = WritePictureFiles(W.Pictures, C.Number, Folder, true, "Image", &Pool);
      EXPECT_GE(Seen.load(), C.Nth) << "the step was never taken";
    }
    EXPECT_FALSE(Outcome.Whole());
    const std::string Reason = std::strerror(C.Errno);
    if (std::string(C.File).starts_with("PNG/")) {
      EXPECT_NE(Outcome.PNGFailure.find(Reason), std::string::npos) << Outcome.PNGFailure;
      EXPECT_NE(Outcome.PNGFailure.find(Final), std::string::npos) << Outcome.PNGFailure;
    } else {
      ASSERT_EQ(Outcome.NotWritten.size(), 1u);
      EXPECT_EQ(Outcome.NotWritten[0], std::make_pair(Final, Reason));
    }
    for (const std::string& Written : Outcome.Written) EXPECT_NE(Written, Final);
    EXPECT_TRUE(Text(ReadFileBytes(Final)) == "the file of an earlier save");
    for (const std::string& Name : Names(Folder))
      EXPECT_FALSE(IsOutputTemporaryName(fs::path(Name).filename().string())) << Name;
  }
  // Without a fault the same pictures are written whole.
  for (int N = 0; N < 4; ++N)
    EXPECT_TRUE(WritePictureFiles(W.Pictures, N, Dir.Path() + "out/ways.swf/", true, "Image",
                                  &Pool)
                    .Whole());
  EXPECT_NO_THROW(ReadPNG(Dir.Path() + "out/ways.swf/PNG/Image3.png"));
}

// ---------------------------------------------------------------------------
// Leftovers of programs that ended before their rename
// ---------------------------------------------------------------------------

TEST(OutputFile, AbandonedTemporaryFilesAreRemovedAndEveryOtherFileKept) {
  TTempDir Dir;
  const std::string& F = Dir.Path();
  const std::string Abandoned = ".Image0.jpg.quillory-99999-1.part";
  const std::string Old = ".Image1.jpg.quillory-99999-2.part";
  const std::vector<std::string> NotOurs = {
      ".Image0.jpg.part",   "Image0.jpg.quillory-1-2.part", ".Image0.jpg.quillory-x-2.part",
      ".quillory-1-2.part", ".Image0.jpg.quillory-12.part", ".Image0.jpg.quillory-1-2.part~",
      "Image0.jpg"};
  for (const std::string& Name : NotOurs) {
    EXPECT_FALSE(IsOutputTemporaryName(Name)) << Name;
    WriteFileBytes(F + Name, Bytes("someone's"));
  }
  EXPECT_TRUE(IsOutputTemporaryName(Abandoned));
  WriteFileBytes(F + Abandoned, Bytes("half a picture"));
  WriteFileBytes(F + Old, Bytes("another program's, perhaps"));
  fs::last_write_time(F + Old, fs::file_time_type::clock::now() - std::chrono::hours(25));
  fs::create_directory(F + ".Image2.jpg.quillory-99999-3.part");
  // One in use, by this process.
  TOutputFile InUse(F + "Image3.jpg");
  ASSERT_TRUE(InUse.Open());
  ASSERT_TRUE(InUse.Write("in use", 6));

  RemoveAbandonedOutputFiles(F);
  std::set<std::string> Expected(NotOurs.begin(), NotOurs.end());
  Expected.insert(
      {Old, ".Image2.jpg.quillory-99999-3.part", fs::path(InUse.TempName()).filename().string()});
  EXPECT_EQ(Names(F), Expected);
  ASSERT_TRUE(InUse.Commit());
  EXPECT_EQ(Text(ReadFileBytes(F + "Image3.jpg")), "in use");

  // Save all sweeps the folders it writes into.
  const std::string Out = F + "out/";
  for (const char* Sub : {"", "JPEG/", "BMP/", "PNG/", "GIF/"}) fs::create_directory(Out + Sub);
  for (const char* Sub : {"JPEG/", "BMP/", "PNG/", "GIF/"})
    WriteFileBytes(Out + Sub + Abandoned, Bytes("half a picture"));
  TWorkspace W;
  ResetWorkspace(W);
  W.OutputDir = Out;
  EXPECT_EQ(SaveAllPictures(W, "Image", nullptr), 0);
  EXPECT_EQ(Names(Out), (std::set<std::string>{"JPEG", "BMP", "PNG", "GIF"}));
}

// What a second stop signal does in the command-line tool, in a child that
// then ends at once.
TEST(OutputFile, AProcessEndingAtOnceRemovesEveryTemporaryFileInProgress) {
  TTempDir Dir;
  WriteFileBytes(Dir.Path() + "Image1.png", Bytes("the earlier picture"));
  const pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    TOutputFile* Files[3];
    const char* FileNames[3] = {"Image0.jpg", "Image1.png", "Image2.bmp"};
    for (int i = 0; i < 3; ++i) {
      Files[i] = new TOutputFile(Dir.Path() + FileNames[i]);
      if (!Files[i]->Open() || !Files[i]->Write("part", 4)) _exit(2);
    }
    AbandonOutputFiles();
    _exit(0);
  }
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 0);
  EXPECT_EQ(Names(Dir.Path()), std::set<std::string>{"Image1.png"});
  EXPECT_EQ(Text(ReadFileBytes(Dir.Path() + "Image1.png")), "the earlier picture");
}

}  // namespace
