// The command-line extractor, run as a separate process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "extract/OutputFile.h"
#include "extract/Scripts.h"
#include "tests/support/MovieBuilder.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& Text) {
  return ShellQuote(Text);
}

std::string ReadText(const std::string& FileName) {
  TBytes B = ReadFileBytes(FileName);
  return std::string(B.begin(), B.end());
}

// All files below Folder, by path relative to it, with their bytes.
std::map<std::string, TBytes> Tree(const std::string& Folder) {
  std::map<std::string, TBytes> Files;
  std::error_code Ignored;
  for (const auto& E : fs::recursive_directory_iterator(Folder, Ignored)) {
    std::string Rel = fs::relative(E.path(), Folder).string();
    Files[Rel] = E.is_regular_file() ? ReadFileBytes(E.path().string()) : TBytes{'/'};
  }
  return Files;
}

class ExtractToolTest : public ::testing::Test {
 protected:
  TRun Run(const std::vector<std::string>& Args, const std::string& Program = QUILLORY_EXTRACT,
           const std::string& Before = "") {
    return RunProgram(Program, Args, Temp.Path(), Before);
  }

  std::string Movie(const std::string& Name, const TMovieBuilder& Builder) {
    std::string Path = Temp.Path() + Name;
    Builder.Save(Path);
    return Path;
  }

  TTempDir Temp;
};

// The movie as it expands: a zlib-compressed body inflated after its
// 8-byte header. Empty when the file is not such a movie.
TBytes InflatedMovie(const std::string& FileName) {
  TBytes File = ReadFileBytes(FileName);
  if (File.size() < 8 || File[0] != 'C') return {};
  uLongf Length = File[4] | File[5] << 8 | File[6] << 16 | uLongf(File[7]) << 24;
  TBytes Movie(Length);
  if (Length < 8) return {};
  std::copy(File.begin(), File.begin() + 8, Movie.begin());
  uLongf Expanded = Length - 8;
  if (uncompress(Movie.data() + 8, &Expanded, File.data() + 8, uLong(File.size() - 8)) != Z_OK)
    return {};
  Movie.resize(8 + Expanded);
  return Movie;
}

// A small movie of every kind.
TMovieBuilder AllKinds(bool Compressed = true) {
  TRgbPicture Photo = Pattern(12, 6, 2);
  auto Split = EncodeJPEGTablesAndImage(Photo);
  TBytes Jpeg = EncodeJPEG(Photo);
  TBytes Alpha(12 * 6, 128);
  TBytes Cm = ColorMappedData({1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 1, 0, 1, 1}, 3, 2);
  std::vector<uint32_t> Argb = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x40102030};
  TMovieBuilder M(Compressed);
  M.JPEGTables(Split.first)
      .DefineBits(1, Split.second)
      .DefineBitsJPEG2(2, Jpeg)
      .DefineBitsJPEG3(3, Jpeg, Alpha)
      .DefineBitsLossless(4, 5, 2, 2, ARGBData(Argb))
      .DefineBitsLossless2(5, 3, 3, 2, Cm, 1)
      .DefineBitsLossless2(6, 5, 2, 2, ARGBData(Argb))
      .End();
  return M;
}

TEST_F(ExtractToolTest, WritesExactlyWhatSaveAllWrites) {
  std::string Path = Movie("scene.swf", AllKinds());
  std::string Out = Temp.Path() + "out";  // no trailing "/": the tool adds it
  TRun R = Run({"--out", Out, "--prefix", "Pic", Path});
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Out, Path + ": 6 pictures saved\n");
  EXPECT_EQ(R.Err, "");

  // The same movie through the core, as the program's Save all does it.
  std::string Images = Temp.Path() + "images/";
  ASSERT_EQ(mkdir(Images.c_str(), 0777), 0);
  TWorkspace W;
  ResetWorkspace(W);
  DropPictureStores(W);
  OpenAndExtract(W, Path, Images, nullptr);
  ASSERT_EQ(SaveAllPictures(W, "Pic", nullptr), 0);

  auto FromTool = Tree(Out), FromCore = Tree(Images);
  EXPECT_EQ(FromTool.size(), 3u + 1 + 9);  // folders and files
  EXPECT_TRUE(FromTool.count("scene.swf/PNG/Pic5.png"));
  EXPECT_TRUE(FromTool == FromCore);
}

TEST_F(ExtractToolTest, ExplainsEveryFailureAndGoesOnWithTheNextMovie) {
  std::string Good = Movie("good.swf", AllKinds());
  std::string Text = Temp.Path() + "notes.swf";
  WriteFileBytes(Text, {'#', ' ', 'n', 'o', 't', 'e', 's', '\n'});
  std::string Missing = Temp.Path() + "absent.swf";
  // A JPEG3 picture whose alpha is no zlib data: its PNG cannot be composed.
  TBytes Jpeg = EncodeJPEG(Pattern(4, 4));
  TBytes Body = JPEG3Body(1, Jpeg, TBytes(16, 255));
  Body.resize(6 + Jpeg.size());
  Body.insert(Body.end(), {9, 9, 9});
  std::string BadAlpha =
      Movie("badalpha.swf", TMovieBuilder().Tag(35, Body).DefineBitsJPEG2(2, Jpeg).End());
  TBytes CutBytes = TMovieBuilder().DefineBitsJPEG2(1, Jpeg).DefineBitsJPEG2(2, Jpeg).Build();
  CutBytes.resize(CutBytes.size() - 30);
  std::string Cut = Temp.Path() + "cut.swf";
  WriteFileBytes(Cut, CutBytes);

  std::string Out = Temp.Path() + "out/";
  TRun R = Run({"--out", Out, Missing, Text, BadAlpha, Cut, Good});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(
      R.Err.find(Missing + ": The file cannot be read: No such file or directory. Nothing was "
                           "extracted."),
      std::string::npos)
      << R.Err;
  EXPECT_NE(R.Err.find(Text + ": The file is not an SWF movie"), std::string::npos) << R.Err;
  EXPECT_NE(R.Err.find(BadAlpha + ": picture 0 could not be saved as PNG"), std::string::npos)
      << R.Err;
  EXPECT_NE(R.Err.find(Cut + ": The movie is damaged at byte "), std::string::npos) << R.Err;
  EXPECT_EQ(R.Err.find(Good), std::string::npos) << R.Err;
  EXPECT_EQ(R.Out, BadAlpha + ": 1 picture saved\n" + Cut + ": 1 picture saved\n" + Good +
                       ": 6 pictures saved\n");
  // What could be saved was saved.
  EXPECT_TRUE(FileExists(Out + "badalpha.swf/JPEG/Image0.jpg"));
  EXPECT_TRUE(FileExists(Out + "badalpha.swf/JPEG/Image1.jpg"));
  EXPECT_TRUE(FileExists(Out + "cut.swf/JPEG/Image0.jpg"));
  EXPECT_EQ(Tree(Out + "good.swf").size(), 3u + 9);
  EXPECT_FALSE(IsDirectory(Out + "absent.swf"));
  EXPECT_FALSE(IsDirectory(Out + "notes.swf"));
}

// With several workers the tool writes the same files and says the same, in
// the order the movies were given.
TEST_F(ExtractToolTest, WorkersChangeNothingButTheTimeItTakes) {
  std::vector<std::string> Args = {"--out", ""};
  for (int N = 0; N < 5; ++N)
    Args.push_back(Movie("scene" + std::to_string(N) + ".swf", AllKinds()));
  std::string Text = Temp.Path() + "notes.swf";
  WriteFileBytes(Text, {'#', ' ', 'n'});
  Args.push_back(Text);
  TBytes Cut = AllKinds().Build();
  Cut.resize(Cut.size() * 2 / 3);
  WriteFileBytes(Temp.Path() + "cut.swf", Cut);
  Args.push_back(Temp.Path() + "cut.swf");
  Args.push_back(Movie("empty.swf", TMovieBuilder().DefineBitsJPEG2(1, {1, 2}).End()));
  std::vector<TRun> Runs;
  std::vector<std::map<std::string, TBytes>> Trees;
  for (const char* Jobs : {"1", "2", "5"}) {
    SCOPED_TRACE(Jobs);
    const std::string Out = Temp.Path() + "out" + Jobs + "/";
    Args[1] = Out;
    std::vector<std::string> WithJobs = {"-j", Jobs};
    WithJobs.insert(WithJobs.end(), Args.begin(), Args.end());
    Runs.push_back(Run(WithJobs));
    EXPECT_EQ(Runs.back().Status, 1);
    Trees.push_back(Tree(Out));
  }
  for (size_t i = 1; i < Runs.size(); ++i) {
    EXPECT_EQ(Runs[i].Out, Runs[0].Out);
    EXPECT_EQ(Runs[i].Err, Runs[0].Err);
    EXPECT_TRUE(Trees[i] == Trees[0]);
  }
  EXPECT_EQ(Tree(Temp.Path() + "out5/scene4.swf").size(), 3u + 9);
}

// Movies of the same file name from different folders share their output
// folder: with any number of workers the later one's files replace the
// earlier one's whole, as with one. The pictures are large, so their files
// take a while to write and their PNGs are deflated in bands, which must not
// depend on the number of workers either.
TEST_F(ExtractToolTest, MoviesOfTheSameNameAreSavedOneAfterTheOther) {
  const auto Scene = [](uint32_t Seed) {
    std::vector<uint32_t> Argb(1100 * 1000);
    for (auto& Pixel : Argb) Pixel = (Seed = Seed * 1103515245u + 12345u) | 0x80000000u;
    return TMovieBuilder(true)
        .DefineBitsJPEG2(1, EncodeJPEG(Pattern(1600, 1200, int(Seed))))
        .DefineBitsLossless2(2, 5, 1100, 1000, ARGBData(Argb))
        .End();
  };
  fs::create_directories(Temp.Path() + "a");
  fs::create_directories(Temp.Path() + "b");
  const std::string First = Movie("a/scene.swf", Scene(1)), Second = Movie("b/scene.swf", Scene(2));
  const std::string Alone = Temp.Path() + "alone/";
  ASSERT_EQ(Run({"-j", "1", "--out", Alone, Second}).Status, 0);
  const auto Expected = Tree(Alone);
  ASSERT_EQ(Expected.size(), 7u);  // the folder, its three kinds and three files
  for (const char* Jobs : {"1", "2", "4"}) {
    SCOPED_TRACE(Jobs);
    const std::string Out = Temp.Path() + "out" + Jobs + "/";
    EXPECT_EQ(Run({"-j", Jobs, "--out", Out, First, Second}).Status, 0);
    EXPECT_TRUE(Tree(Out) == Expected);
  }
}

// One JSON line per movie for pipelines: the movie, its signature, whether
// it was read whole, and each picture's number, kind, size, files and errors.
TEST_F(ExtractToolTest, TheReportHasALinePerMovieAndAnEntryPerPicture) {
  TBytes Jpeg = EncodeJPEG(Pattern(16, 8));
  std::vector<uint32_t> Argb = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x40102030, 0, 0};
  TBytes NotZlib = JPEG3Body(3, Jpeg, TBytes(128, 1));
  NotZlib.resize(6 + Jpeg.size());
  NotZlib.insert(NotZlib.end(), {7, 7});
  const std::string Scene = Movie("scene.swf", TMovieBuilder(true)
                                                   .DefineBitsJPEG2(1, Jpeg)
                                                   .DefineBitsLossless2(2, 5, 3, 2, ARGBData(Argb))
                                                   .Tag(35, NotZlib)
                                                   .DefineBitsJPEG2(4, {1, 2, 3})
                                                   .End());
  const std::string Odd = Temp.Path() + "caf\xE9 \"quoted\".swf";  // not UTF-8
  WriteFileBytes(Odd, ReadFileBytes(Scene));
  const std::string Text = Temp.Path() + "notes.swf";
  WriteFileBytes(Text, {'#'});
  const std::string Out = Temp.Path() + "out/", Report = Temp.Path() + "report.jsonl";
  TRun R = Run({"--out", Out, "--report", Report, "-j", "2", Scene, Text, Odd});
  EXPECT_EQ(R.Status, 1);
  const std::vector<std::string> L = ReadLines(Report);
  ASSERT_EQ(L.size(), 3u);
  const std::string Pictures =
      "\"pictures\":["
      "{\"number\":0,\"kind\":\"DefineBitsJPEG2\",\"format\":\"JPEG\",\"width\":16,"
      "\"height\":8,\"id\":1,\"names\":[],\"carrier\":[],\"files\":[\"JPEG/Image0.jpg\"],"
      "\"errors\":[]},"
      "{\"number\":1,\"kind\":\"DefineBitsLossless2\",\"format\":\"BMP\",\"width\":3,"
      "\"height\":2,\"id\":2,\"names\":[],\"carrier\":[],\"files\":[\"BMP/Image1.bmp\","
      "\"PNG/Image1.png\"],\"errors\":[]},"
      "{\"number\":2,\"kind\":\"DefineBitsJPEG3\",\"format\":\"JPEG\",\"width\":16,"
      "\"height\":8,\"id\":3,\"names\":[],\"carrier\":[],\"files\":[\"JPEG/Image2.jpg\"],"
      "\"errors\":[\"could not be saved as PNG: The alpha data is not a valid zlib stream\"]},"
      "{\"number\":3,\"kind\":\"DefineBitsJPEG2\",\"format\":\"JPEG\",\"width\":null,"
      "\"height\":null,\"id\":4,\"names\":[],\"carrier\":[],\"files\":[],"
      "\"errors\":[\"holds nothing that can be saved\"]}]}";
  EXPECT_EQ(L[0], "{\"movie\":\"" + Scene +
                      "\",\"signature\":\"CWS\",\"whole\":true,\"problem\":null,\"folder\":\"" +
                      Out + "scene.swf/\"," + Pictures);
  EXPECT_EQ(L[1], "{\"movie\":\"" + Text +
                      "\",\"signature\":null,\"whole\":false,\"problem\":\"The file is not an "
                      "SWF movie: it does not begin with FWS, CWS or ZWS.\",\"folder\":null,"
                      "\"pictures\":[]}");
  const std::string Shown = Temp.Path() + "caf\xEF\xBF\xBD \\\"quoted\\\".swf";
  EXPECT_EQ(L[2].rfind("{\"movie\":\"" + Shown + "\",\"signature\":\"CWS\"", 0), 0u) << L[2];

  // A report that cannot be written stops the run before anything is done.
  R = Run({"--out", Out, "--report", Temp.Path() + "missing/report.jsonl", Scene});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("cannot write the report"), std::string::npos) << R.Err;
}

// A report the disk refuses fails the run, said once, whether the pictures
// are saved or only listed.
TEST_F(ExtractToolTest, AReportThatCannotBeWrittenFailsTheRunAndSaysSo) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full is needed for a disk that is full";
  const std::string Path =
      Movie("scene.swf", TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4))).End());
  const std::string Out = Temp.Path() + "out/";
  const std::string Sentence =
      "quillory-extract: cannot write the report /dev/full: No space left on device.\n";
  const std::vector<std::string> Ways[] = {{"--out", Out},
                                           {"--out", Out, "-j", "1"},
                                           {"--list"},
                                           {"--quiet", "--out", Out, Path}};
  for (const auto& Way : Ways) {
    std::string Joined;
    for (const auto& A : Way) Joined += A + " ";
    SCOPED_TRACE(Joined);
    std::vector<std::string> Args = Way;
    Args.push_back(Path);
    // Without the report, the same run is a success.
    EXPECT_EQ(Run(Args).Status, 0);
    Args.insert(Args.end(), {"--report", "/dev/full"});
    const TRun R = Run(Args);
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Err, Sentence);
  }
}

// Pictures that give nothing to write get no file and are not counted as saved.
TEST_F(ExtractToolTest, PicturesWithNothingToSaveGetNoFileAndFailTheRun) {
  TBytes Jpeg = EncodeJPEG(Pattern(4, 4));
  std::string Path =
      Movie("empty.swf", TMovieBuilder()
                             .DefineBitsJPEG2(1, {1, 2, 3, 0xFF, 0xD9, 4})  // repair keeps nothing
                             .DefineBitsJPEG2(2, Jpeg)
                             .Tag(20, {3, 0, 5, 40, 0, 40, 0})  // no pixel data
                             .Tag(6, {1, 0})  // DefineBits too short for its layout
                             .End());
  std::string Out = Temp.Path() + "out/";
  TRun R = Run({"--out", Out, Path});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Out, Path + ": 1 picture saved\n");
  for (int N : {0, 2, 3})
    EXPECT_NE(
        R.Err.find(Path + ": picture " + std::to_string(N) + " holds nothing that can be saved"),
        std::string::npos)
        << N << "\n"
        << R.Err;
  EXPECT_EQ(R.Err.find("picture 1 "), std::string::npos) << R.Err;
  auto Files = Tree(Out + "empty.swf");
  EXPECT_EQ(Files.size(), 3u + 1) << "the three folders and Image1.jpg";
  EXPECT_EQ(Files["JPEG/Image1.jpg"], Jpeg);
}

TEST_F(ExtractToolTest, AFolderThatCannotBeCreatedIsExplained) {
  std::string Path = Movie("scene.swf", AllKinds());
  std::string Out = Temp.Path() + "out/";
  ASSERT_EQ(mkdir(Out.c_str(), 0777), 0);
  WriteFileBytes(Out + "scene.swf", {0});  // a file where the movie's folder goes
  TRun R = Run({"--out", Out, Path});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("cannot create the folder " + Out + "scene.swf/"), std::string::npos)
      << R.Err;
  EXPECT_EQ(R.Out, Path + ": 0 pictures saved\n");
}

// The tool starts fast: it needs zlib, liblzma, libjpeg and libpng, and no
// GUI toolkit at all.
TEST_F(ExtractToolTest, LoadsNoQtLibrary) {
  TRun R = Run({"--help"});
  ASSERT_EQ(R.Status, 0);
  const std::string Traced = Temp.Path() + "libraries.txt";
  const std::string Command =
      std::string("LD_TRACE_LOADED_OBJECTS=1 '") + QUILLORY_EXTRACT + "' >'" + Traced + "' 2>&1";
  ASSERT_EQ(std::system(Command.c_str()), 0);
  const std::string Libraries = ReadText(Traced);
  for (const char* Wanted : {"libz.so", "liblzma.so", "libjpeg.so", "libpng16.so"})
    EXPECT_NE(Libraries.find(Wanted), std::string::npos) << Wanted << "\n" << Libraries;
  for (const char* Unwanted :
       {"libQt", "libicu", "libX11", "libxcb", "libEGL", "libGL", "libfontconfig", "libdbus"})
    EXPECT_EQ(Libraries.find(Unwanted), std::string::npos) << Unwanted << "\n" << Libraries;
}

TEST_F(ExtractToolTest, UsageErrorsAndHelp) {
  struct TCase {
    std::vector<std::string> Args;
    int Status;
  } Cases[] = {{{}, 2},
               {{"--out"}, 2},
               {{"--prefix"}, 2},
               {{"--out", "x"}, 2},
               {{"--frobnicate", "a.swf"}, 2},
               {{"--out="}, 2},
               {{"-j", "0", "a.swf"}, 2},
               {{"-j"}, 2},
               {{"--jobs=x", "a.swf"}, 2},
               {{"-j-1", "a.swf"}, 2},
               {{"--report"}, 2},
               {{"--help"}, 0}};
  for (const TCase& C : Cases) {
    std::string Joined;
    for (const auto& A : C.Args) Joined += A + " ";
    SCOPED_TRACE(Joined);
    TRun R = Run(C.Args);
    EXPECT_EQ(R.Status, C.Status);
    if (C.Status == 2) {
      EXPECT_NE(R.Err.find("Usage: quillory-extract"), std::string::npos) << R.Err;
      EXPECT_EQ(R.Out, "");
    } else {
      EXPECT_NE(R.Out.find("Usage: quillory-extract"), std::string::npos);
      EXPECT_NE(R.Out.find("Exit status"), std::string::npos);
    }
  }
}

// The defaults come from Config.ini beside the executable, so the tool runs
// from a copy in a folder of its own.
TEST_F(ExtractToolTest, TakesTheImageFolderAndPrefixFromConfigIni) {
  std::string Bin = Temp.Path() + "bin/";
  ASSERT_EQ(mkdir(Bin.c_str(), 0777), 0);
  std::string Program = Bin + "quillory-extract";
  fs::copy_file(QUILLORY_EXTRACT, Program);
  fs::permissions(Program, fs::perms::owner_all);
  std::string Path =
      Movie("scene.swf", TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4))).End());

  // Without Config.ini: the IMAGES/ folder beside the program, prefix "Image".
  TRun R = Run({Path}, Program);
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_TRUE(FileExists(Bin + "IMAGES/scene.swf/JPEG/Image0.jpg"));

  // The name is found without regard to case.
  std::string Pics = Temp.Path() + "pics/";
  ASSERT_EQ(mkdir(Pics.c_str(), 0777), 0);
  std::string Ini = "[Config]\nImageDir=" + Pics + "\nPrefix=Shot\n";
  WriteFileBytes(Bin + "config.INI", TBytes(Ini.begin(), Ini.end()));
  R = Run({Path}, Program);
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_TRUE(FileExists(Pics + "scene.swf/JPEG/Shot0.jpg"));
  // Options win over the file.
  R = Run({"--prefix=Cut", Path}, Program);
  EXPECT_TRUE(FileExists(Pics + "scene.swf/JPEG/Cut0.jpg"));

  // A prefix with a "/" would lead out of the movie's folders: the default
  // is taken instead, as the window does.
  for (const char* Escaping : {"../../esc", "../esc", "sub/esc"}) {
    SCOPED_TRACE(Escaping);
    const std::string Into = Temp.Path() + "guarded/";
    fs::remove_all(Into);
    ASSERT_EQ(mkdir(Into.c_str(), 0777), 0);
    fs::create_directories(Into + "scene.swf/JPEG/sub");  // so "sub/" could be written into
    Ini = "[Config]\nImageDir=" + Into + "\nPrefix=" + Escaping + "\n";
    WriteFileBytes(Bin + "config.INI", TBytes(Ini.begin(), Ini.end()));
    R = Run({Path}, Program);
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    const auto Files = Tree(Into);
    EXPECT_TRUE(Files.count("scene.swf/JPEG/Image0.jpg"));
    for (const auto& [Name, Bytes] : Tree(Temp.Path()))
      EXPECT_EQ(fs::path(Name).filename().string().rfind("esc0.", 0), std::string::npos) << Name;
  }
}

// Installed system-wide, the tool cannot write its own folder: Config.ini
// comes from ~/.config/quillory/ and the pictures go to ~/Pictures/Quillory/.
// The folder is made unwritable by running as another user when the test
// runs as root, by taking its write permission away otherwise.
TEST_F(ExtractToolTest, TakesItsDefaultsFromTheStandardFoldersWhenItsFolderIsReadOnly) {
  const bool Root = geteuid() == 0;
  bool Skip = false;
  const std::string AsUser = AsUnprivilegedUser(Skip);
  if (Skip) GTEST_SKIP() << "setpriv is needed to run as another user";
  const std::string Bin = Temp.Path() + "bin/", Home = Temp.Path() + "home/";
  ASSERT_EQ(mkdir(Bin.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(Home.c_str(), 0755), 0);
  fs::permissions(Temp.Path(), fs::perms(0755));
  const std::string Program = Bin + "quillory-extract";
  fs::copy_file(QUILLORY_EXTRACT, Program);
  fs::permissions(Program, fs::perms(0755));
  const std::string Path =
      Movie("scene.swf", TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4))).End());
  fs::permissions(Path, fs::perms(0644));
  if (Root)
    ASSERT_EQ(chown(Home.c_str(), 65534, 65534), 0);
  else
    fs::permissions(Bin, fs::perms(0555));
  const auto RunThere = [&](const std::string& Environment) {
    const std::string Command =
        AsUser + std::string("env -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME=") + Quote(Home) + " " +
        Environment + " " + Quote(Program) + " " + Quote(Path) + " >/dev/null 2>&1 </dev/null";
    const int Raw = std::system(Command.c_str());
    return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
  };

  EXPECT_EQ(RunThere(""), 0);
  EXPECT_TRUE(FileExists(Home + "Pictures/Quillory/scene.swf/JPEG/Image0.jpg"));
  EXPECT_FALSE(fs::exists(Bin + "IMAGES"));

  // XDG_CONFIG_HOME's Config.ini, and its user-dirs.dirs for the default.
  const std::string Config = Home + "conf/";
  const std::string Ini = "[Config]\nPrefix=Shot\n";
  fs::create_directories(Config + "quillory");
  WriteFileBytes(Config + "quillory/Config.ini", TBytes(Ini.begin(), Ini.end()));
  const std::string Dirs = "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
  WriteFileBytes(Config + "user-dirs.dirs", TBytes(Dirs.begin(), Dirs.end()));
  if (Root) {
    ASSERT_EQ(std::system(("chown -R 65534:65534 " + Quote(Config)).c_str()), 0);
  }
  EXPECT_EQ(RunThere("XDG_CONFIG_HOME=" + Quote(Config)), 0);
  EXPECT_TRUE(FileExists(Home + "Bilder/Quillory/scene.swf/JPEG/Shot0.jpg"));
  if (!Root) fs::permissions(Bin, fs::perms(0755));
}

// Folders given are searched for movies, with all their subfolders.
TEST_F(ExtractToolTest, FoldersAreSearchedInPathOrder) {
  const TBytes Small = TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4))).Build();
  const std::string Archive = Temp.Path() + "archive/";
  for (const char* Name : {"b/two.swf", "a/one.SWF", "a/x/three.Swf", "a-b/four.swf", "notes.txt",
                           "a/swf", "elsewhere/linked.swf"}) {
    fs::create_directories(fs::path(Archive + Name).parent_path());
    WriteFileBytes(Archive + Name, Small);
  }
  fs::create_directory_symlink(Archive + "elsewhere", Archive + "a/link");  // not followed
  fs::create_symlink(Archive + "b/two.swf", Archive + "b/via-link.swf");    // a file: taken
  fs::create_directories(Archive + "empty");
  const std::string Out = Temp.Path() + "out/";
  TRun R = Run({"--out", Out, Archive + "a", Archive + "a-b", Archive + "b"});
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Out, Archive + "a/one.SWF: 1 picture saved\n" + Archive +
                       "a/x/three.Swf: 1 picture saved\n" + Archive +
                       "a-b/four.swf: 1 picture saved\n" + Archive +
                       "b/two.swf: 1 picture saved\n" + Archive +
                       "b/via-link.swf: 1 picture saved\n");
  // The whole archive: "a/..." before "a-b/...", path part by path part.
  R = Run({"--out", Out, Archive});
  EXPECT_EQ(R.Status, 0) << "an empty subfolder is no error";
  EXPECT_EQ(R.Out.find(Archive + "a/one.SWF"), 0u) << R.Out;
  EXPECT_LT(R.Out.find("a/x/three.Swf"), R.Out.find("a-b/four.swf"));
  EXPECT_LT(R.Out.find("a-b/four.swf"), R.Out.find("elsewhere/linked.swf"));
  // A folder without movies is said, and fails the run.
  R = Run({"--out", Out, Archive + "empty"});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Err,
            "quillory-extract: " + Archive + "empty: no movie (*.swf) was found in this folder.\n");
  EXPECT_EQ(R.Out, "");
}

// A search makes movies of one name from different folders common: each
// after the first gets its parent folder's name in front of its own.
TEST_F(ExtractToolTest, SearchedMoviesOfOneNameGetTheirParentFoldersName) {
  const auto Small = [](int Seed) {
    return TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4, Seed))).Build();
  };
  const std::string Archive = Temp.Path() + "archive/";
  int Seed = 0;
  for (const char* Name : {"2019/intro.swf", "2020/intro.swf", "old/2020/intro.swf", "x/y.swf"}) {
    fs::create_directories(fs::path(Archive + Name).parent_path());
    WriteFileBytes(Archive + Name, Small(++Seed));
  }
  const std::string Named = Temp.Path() + "named/";
  fs::create_directories(Named + "x");
  WriteFileBytes(Named + "y.swf", Small(10));
  WriteFileBytes(Named + "x/y.swf", Small(11));
  struct TCase {
    const char* Name;
    std::vector<std::string> Args;
    std::map<std::string, int> Folders;  // output folder -> seed of its picture
  } Cases[] = {
      {"a search",
       {Archive},
       {{"intro.swf", 1}, {"2020_intro.swf", 2}, {"old_2020_intro.swf", 3}, {"y.swf", 4}}},
      {"a named movie first: the searched one moves",
       {Named + "y.swf", Archive + "x"},
       {{"y.swf", 10}, {"x_y.swf", 4}}},
      {"movies named one by one share their folder, the last one's files staying",
       {Named + "y.swf", Named + "x/y.swf"},
       {{"y.swf", 11}}},
      {"the same movie found twice stays in its folder",
       {Archive + "x", Archive + "x/"},
       {{"y.swf", 4}}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    const std::string Out = Temp.Path() + "out/";
    fs::remove_all(Out);
    std::vector<std::string> Args = {"-j", "2", "--out", Out};
    Args.insert(Args.end(), C.Args.begin(), C.Args.end());
    TRun R = Run(Args);
    EXPECT_EQ(R.Status, 0) << R.Err;
    std::map<std::string, int> Folders;
    for (const auto& E : fs::directory_iterator(Out)) {
      const TBytes Jpeg = ReadFileBytes(E.path().string() + "/JPEG/Image0.jpg");
      for (int K = 1; K <= 11; ++K)
        if (Jpeg == EncodeJPEG(Pattern(4, 4, K))) Folders[E.path().filename().string()] = K;
    }
    EXPECT_EQ(Folders, C.Folders);
  }
  // The report names the folder each movie went to.
  const std::string Report = Temp.Path() + "report.jsonl";
  ASSERT_EQ(Run({"--out", Temp.Path() + "out/", "--report", Report, Archive}).Status, 0);
  EXPECT_NE(ReadText(Report).find("\"folder\":\"" + Temp.Path() + "out/2020_intro.swf/\""),
            std::string::npos);
}

TEST_F(ExtractToolTest, MoviesFromAListFileOrTheStandardInput) {
  const TBytes Small = TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4))).Build();
  const std::string A = Temp.Path() + "a.swf", B = Temp.Path() + "b.swf";
  WriteFileBytes(A, Small);
  WriteFileBytes(B, Small);
  fs::create_directories(Temp.Path() + "folder");
  WriteFileBytes(Temp.Path() + "folder/c.swf", Small);
  const std::string List = Temp.Path() + "list.txt";
  const std::string Lines = B + "\n\n" + Temp.Path() + "folder\n" + A;  // no last line end
  WriteFileBytes(List, TBytes(Lines.begin(), Lines.end()));
  const std::string Expected = A + ": 1 picture saved\n" + B + ": 1 picture saved\n" + Temp.Path() +
                               "folder/c.swf: 1 picture saved\n" + A + ": 1 picture saved\n";
  const std::string Out = Temp.Path() + "out/";
  // Its movies take the list's place among the arguments.
  TRun R = Run({"--out", Out, A, "--files-from", List});
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Out, Expected);

  // "-": the standard input.
  const std::string Command = "cat " + Quote(List) + " | " + Quote(QUILLORY_EXTRACT) + " --out " +
                              Quote(Out) + " " + Quote(A) + " --files-from=- >" +
                              Quote(Temp.Path() + "stdout.txt") + " 2>&1";
  const int Raw = std::system(Command.c_str());
  EXPECT_EQ(WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1, 0);
  EXPECT_EQ(ReadText(Temp.Path() + "stdout.txt"), Expected);

  // Lines that end in CR LF, or in a NUL as find -print0 writes them; an
  // empty line of either kind is passed over.
  const std::string Folder = Temp.Path() + "folder";
  const std::string FromList = B + ": 1 picture saved\n" + Folder + "/c.swf: 1 picture saved\n" +
                               A + ": 1 picture saved\n";
  struct TListCase {
    const char* Name;
    std::string Text;
  } ListCases[] = {
      {"CRLF", B + "\r\n\r\n" + Folder + "\r\n" + A + "\r\n"},
      {"CRLF, no last line end", B + "\r\n" + Folder + "\r\n" + A + "\r"},
      {"NUL", B + '\0' + '\0' + Folder + '\0' + A + '\0'},
      {"NUL, no last one", B + '\0' + Folder + '\0' + A},
      {"NUL and LF", B + "\n" + Folder + '\0' + "\n" + A},
  };
  for (const TListCase& C : ListCases) {
    SCOPED_TRACE(C.Name);
    WriteFileBytes(List, TBytes(C.Text.begin(), C.Text.end()));
    R = Run({"--out", Out, "--files-from", List});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, FromList);
  }
  // find -print0 through the standard input.
  const std::string Find = "find " + Quote(B) + " " + Quote(Folder) + " " + Quote(A) +
                           " -name '*.swf' -print0 | " + Quote(QUILLORY_EXTRACT) + " --out " +
                           Quote(Out) + " --files-from - >" + Quote(Temp.Path() + "stdout.txt") +
                           " 2>&1";
  const int Found = std::system(Find.c_str());
  EXPECT_EQ(WIFEXITED(Found) ? WEXITSTATUS(Found) : -1, 0);
  EXPECT_EQ(ReadText(Temp.Path() + "stdout.txt"), FromList);

  // A list that cannot be read stops the run before anything is done.
  fs::remove_all(Out);
  R = Run({"--out", Out, A, "--files-from", Temp.Path() + "absent.txt"});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Err, "quillory-extract: " + Temp.Path() +
                       "absent.txt: cannot read this list of movies: No such file or directory.\n");
  EXPECT_FALSE(fs::exists(Out + "a.swf"));
  // An empty list leaves nothing to do, which is said.
  WriteFileBytes(List, {});
  R = Run({"--files-from", List});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Err, "quillory-extract: no movie to extract.\n");
}

// The progress line is for a terminal watching: never in a file or a pipe,
// never with --quiet.
TEST_F(ExtractToolTest, AProgressLineOnATerminalOnly) {
  if (std::system("command -v script >/dev/null") != 0) GTEST_SKIP() << "script is needed";
  // Movies that take long enough for the line to show (after 0.3 s), with
  // room to spare on a fast machine.
  std::vector<uint32_t> Argb(1500 * 1500);
  uint32_t Seed = 5;
  for (auto& Pixel : Argb) Pixel = (Seed = Seed * 1103515245u + 12345u) | 0x80000000u;
  const TBytes Heavy =
      TMovieBuilder(true).DefineBitsLossless2(1, 5, 1500, 1500, ARGBData(Argb)).Build();
  std::vector<std::string> Args = {"-j", "1", "--out", Temp.Path() + "out/"};
  for (int N = 0; N < 3; ++N) {
    Args.push_back(Temp.Path() + "heavy" + std::to_string(N) + ".swf");
    WriteFileBytes(Args.back(), Heavy);
  }
  TRun R = Run(Args);
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Err, "") << "no terminal, no line";

  // On a pseudo-terminal: rewritten in place, and cleared at the end.
  std::string Inner = Quote(QUILLORY_EXTRACT);
  for (const std::string& A : Args) Inner += " " + Quote(A);
  const std::string Typed = Temp.Path() + "typescript.txt";
  const auto OnTerminal = [&](const std::string& Extra) {
    const std::string Command = "script -qec " + Quote(Inner + Extra + " >/dev/null") +
                                " /dev/null >" + Quote(Typed) + " 2>&1 </dev/null";
    const int Raw = std::system(Command.c_str());
    EXPECT_EQ(WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1, 0);
    return ReadText(Typed);
  };
  const std::string Shown = OnTerminal("");
  // Whichever moment the line was drawn at: "1 picture" is as right as "2 pictures".
  EXPECT_TRUE(std::regex_search(
      Shown, std::regex("\r\033\\[K[0-3] of 3 movies, [0-3] pictures? saved, 0:0[0-9]")))
      << Shown;
  EXPECT_TRUE(Shown.ends_with("\r\033[K")) << Shown;
  EXPECT_EQ(OnTerminal(" --quiet"), "");

  // A listing saves nothing, and the line counts nothing saved: the movies
  // given many times over, so that it is drawn.
  std::string Many = " --list";
  for (int Round = 0; Round < 20; ++Round)
    for (size_t N = 4; N < Args.size(); ++N) Many += " " + Quote(Args[N]);
  const std::string Listed = OnTerminal(Many);
  EXPECT_TRUE(std::regex_search(Listed, std::regex("\r\033\\[K[0-9]+ of 63 movies, ")))
      << Listed;
  EXPECT_FALSE(std::regex_search(Listed, std::regex("[1-9][0-9]* pictures? saved"))) << Listed;
}

TEST_F(ExtractToolTest, VersionAndQuiet) {
  TRun R = Run({"--version"});
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out, std::string("quillory-extract ") + QUILLORY_VERSION + "\n");
  const std::string Path =
      Movie("scene.swf", TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4))).End());
  const std::string Text = Temp.Path() + "notes.swf";
  WriteFileBytes(Text, {'#'});
  R = Run({"-q", "--out", Temp.Path() + "out/", Path, Text});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Out, "") << "no line per movie";
  EXPECT_NE(R.Err.find(Text + ": The file is not an SWF movie"), std::string::npos)
      << "problems are still told";
  EXPECT_TRUE(FileExists(Temp.Path() + "out/scene.swf/JPEG/Image0.jpg"));
}

// ---------------------------------------------------------------------------
// LZMA movies and cut compressed bodies
// ---------------------------------------------------------------------------

TEST_F(ExtractToolTest, LzmaMoviesSaveWhatTheirPlainAndZlibVersionsSave) {
  struct TVersion {
    const char* Name;
    TBytes Data;
    char Signature;
  };
  const TVersion Versions[] = {{"plain", AllKinds(false).Build(), 'F'},
                               {"zlib", AllKinds().Build(), 'C'},
                               {"lzma", AllKinds().BuildLzma(false), 'Z'},
                               {"lzma-end-marker", AllKinds().BuildLzma(true), 'Z'}};
  std::map<std::string, TBytes> Plain;
  for (const TVersion& V : Versions) {
    SCOPED_TRACE(V.Name);
    // The same file name for each, so the trees compare whole.
    std::string Folder = Temp.Path() + V.Name + "/";
    ASSERT_EQ(mkdir(Folder.c_str(), 0777), 0);
    WriteFileBytes(Folder + "scene.swf", V.Data);
    TRun R = Run({"--out", Folder + "out", Folder + "scene.swf"});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, Folder + "scene.swf: 6 pictures saved\n");
    auto Files = Tree(Folder + "out");
    EXPECT_EQ(Files.size(), 3u + 1 + 9);
    if (Plain.empty()) Plain = Files;
    EXPECT_TRUE(Files == Plain);

    std::string Images = Folder + "images/";
    ASSERT_EQ(mkdir(Images.c_str(), 0777), 0);
    TWorkspace W;
    ResetWorkspace(W);
    DropPictureStores(W);
    TWalkResult Walk = OpenAndExtract(W, Folder + "scene.swf", Images, nullptr);
    EXPECT_TRUE(Walk.Loaded && Walk.HeaderRead && Walk.Complete);
    EXPECT_EQ(Walk.Signature, V.Signature);
    EXPECT_FALSE(Walk.BodyCut);
    EXPECT_FALSE(Walk.BodyLost);
    EXPECT_EQ(SaveAllPictures(W, "Image", nullptr), 0);
    EXPECT_TRUE(Tree(Images) == Plain);
  }
}

// Two pictures, then a record of noise in which the cuts fall.
TMovieBuilder TwoPicturesThenNoise(bool Compressed) {
  TBytes Noise(20000);
  uint32_t Seed = 99;
  for (auto& Byte : Noise) Byte = uint8_t((Seed = Seed * 1103515245u + 12345u) >> 24);
  std::vector<uint32_t> Argb = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x40102030};
  TMovieBuilder M(Compressed);
  M.DefineBitsJPEG2(1, EncodeJPEG(Pattern(12, 6, 1)))
      .DefineBitsLossless2(2, 5, 2, 2, ARGBData(Argb))
      .Tag(2, Noise)
      .End();
  return M;
}

TEST_F(ExtractToolTest, CutCompressedMoviesKeepThePicturesBeforeTheCutAndSayTheyAreDamaged) {
  auto Cut = [](TBytes Data) {
    Data.resize(Data.size() * 6 / 10);
    return Data;
  };
  // A whole LZMA body under a declared length of 1 GiB ends long before it.
  TBytes Huge = TwoPicturesThenNoise(false).BuildLzma();
  const uint32_t Gib = 1u << 30;
  for (int i = 0; i < 4; ++i) Huge[4 + i] = uint8_t(Gib >> (8 * i));
  struct TCase {
    const char* Name;
    TBytes Data;
    char Signature;
  };
  const TCase Cases[] = {
      {"zlib-cut.swf", Cut(TwoPicturesThenNoise(true).Build()), 'C'},
      {"lzma-cut.swf", Cut(TwoPicturesThenNoise(false).BuildLzma()), 'Z'},
      {"lzma-end-marker-cut.swf", Cut(TwoPicturesThenNoise(false).BuildLzma(true)), 'Z'},
      {"lzma-declaring-1-GiB.swf", Huge, 'Z'}};
  const uint32_t Declared = uint32_t(TwoPicturesThenNoise(false).Build().size() - 8);
  std::string Out = Temp.Path() + "out/";
  std::string Whole = Movie("whole.swf", TwoPicturesThenNoise(true));
  ASSERT_EQ(Run({"--out", Out, Whole}).Status, 0);
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::string Path = Temp.Path() + C.Name;
    WriteFileBytes(Path, C.Data);
    TRun R = Run({"--out", Out, Path});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Out, Path + ": 2 pictures saved\n");

    // How much decoded, as the core tells it.
    std::string Images = Temp.Path() + "images/";
    mkdir(Images.c_str(), 0777);
    TWorkspace W;
    ResetWorkspace(W);
    DropPictureStores(W);
    TWalkResult Walk = OpenAndExtract(W, Path, Images, nullptr);
    EXPECT_EQ(Walk.Signature, C.Signature);
    EXPECT_TRUE(Walk.HeaderRead);
    EXPECT_TRUE(Walk.BodyCut);
    EXPECT_FALSE(Walk.Complete);
    EXPECT_EQ(Walk.BodyDeclared, C.Data == Huge ? Gib - 8 : Declared);
    EXPECT_GT(Walk.BodyDecoded, 200u);
    EXPECT_LT(Walk.BodyDecoded, C.Data == Huge ? Declared + 1 : Declared);
    EXPECT_EQ(W.Pictures.Count, 2);
    EXPECT_EQ(R.Err, "quillory-extract: " + Path +
                         ": The movie is damaged: its compressed body ends after " +
                         std::to_string(Walk.BodyDecoded) + " of the " +
                         std::to_string(Walk.BodyDeclared) +
                         " bytes it declares. The pictures found before the damage were saved.\n");
    EXPECT_TRUE(Tree(Out + C.Name) == Tree(Out + "whole.swf"));
  }
}

TEST_F(ExtractToolTest, BodiesThatCannotBeExpandedAndFilesThatAreNoMovies) {
  TBytes Lzma = AllKinds().BuildLzma();
  Lzma[12] = 0xFF;  // no valid LZMA properties
  TBytes Zlib = AllKinds().Build();
  for (int i = 0; i < 4; ++i) Zlib[4 + i] = 0xFF;  // a length no body of its size can have
  struct TCase {
    const char* Name;
    TBytes Data;
    std::string Sentence;
  };
  const TCase Cases[] = {
      {"lzma.swf", Lzma,
       "The movie is damaged: its LZMA-compressed body could not be decoded. No picture was "
       "found."},
      {"zlib.swf", Zlib,
       "The movie is damaged: its compressed body could not be expanded and was read as it "
       "stands. The pictures found in it were saved."},
      {"zip.swf",
       {'P', 'K', 3, 4, 20, 0},
       "The file is not an SWF movie: it does not begin with FWS, CWS or ZWS. Nothing was "
       "extracted."},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::string Path = Temp.Path() + C.Name;
    WriteFileBytes(Path, C.Data);
    TRun R = Run({"--out", Temp.Path() + "out/", Path});
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Err.find("quillory-extract: " + Path + ": " + C.Sentence + "\n"), std::string::npos)
        << R.Err;
  }
}

// ---------------------------------------------------------------------------
// Files replaced whole, stopped runs, outputs that cannot be written
// ---------------------------------------------------------------------------

// The temporary files of output files below Folder: none may be left.
std::vector<std::string> Temporaries(const std::string& Folder) {
  std::vector<std::string> Found;
  std::error_code Ignored;
  for (const auto& E : fs::recursive_directory_iterator(Folder, Ignored))
    if (IsOutputTemporaryName(E.path().filename().string())) Found.push_back(E.path().string());
  return Found;
}

TEST_F(ExtractToolTest, APlantedLinkIsReplacedByThePictureAndItsTargetKept) {
  const std::string Path = Movie("scene.swf", AllKinds());
  const std::string Fresh = Temp.Path() + "fresh/", Out = Temp.Path() + "out/";
  ASSERT_EQ(Run({"--out", Fresh, Path}).Status, 0);
  const std::string Precious = Temp.Path() + "precious.txt";
  const TBytes Kept = {'k', 'e', 'e', 'p'};
  WriteFileBytes(Precious, Kept);
  const char* Planted[] = {"JPEG/Image0.jpg", "BMP/Image3.bmp", "PNG/Image4.png"};
  for (const char* Sub : {"JPEG", "BMP", "PNG"}) fs::create_directories(Out + "scene.swf/" + Sub);
  for (const char* File : Planted) fs::create_symlink(Precious, Out + "scene.swf/" + File);

  TRun R = Run({"--out", Out, Path});
  EXPECT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(ReadFileBytes(Precious), Kept);
  for (const char* File : Planted) EXPECT_FALSE(fs::is_symlink(Out + "scene.swf/" + File)) << File;
  EXPECT_TRUE(Tree(Out + "scene.swf") == Tree(Fresh + "scene.swf"));
}

// A small file system of its own for a test; only root can mount one.
class TSmallFileSystem {
 public:
  TSmallFileSystem(const std::string& Path, const char* Options) : FPath(Path) {
    fs::create_directories(Path);
    Mounted = geteuid() == 0 && mount("tmpfs", Path.c_str(), "tmpfs", 0, Options) == 0;
  }
  ~TSmallFileSystem() {
    if (Mounted) umount2(FPath.c_str(), MNT_DETACH);
  }
  bool Mounted = false;

 private:
  std::string FPath;
};

TEST_F(ExtractToolTest, AFullDiskLeavesNoPartOfAPictureAndTheSmallerOnesAreStillSaved) {
  const std::string Out = Temp.Path() + "full/";
  TSmallFileSystem Disk(Out, "size=2m");
  if (!Disk.Mounted) GTEST_SKIP() << "mounting a 2 MB tmpfs needs root; not tried or refused";
  std::vector<uint32_t> Large(1500 * 1500);
  for (size_t i = 0; i < Large.size(); ++i) Large[i] = 0xFF000000u | uint32_t(i % 1500) * 0x010101u;
  std::vector<uint32_t> Small = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x40102030};
  const TBytes Jpeg = EncodeJPEG(Pattern(16, 8));
  const std::string Path =
      Movie("disk.swf", TMovieBuilder(true)
                            .DefineBitsLossless(1, 5, 1500, 1500, ARGBData(Large))
                            .DefineBitsJPEG2(2, Jpeg)
                            .DefineBitsLossless2(3, 5, 2, 2, ARGBData(Small))
                            .End());
  // One picture after the other: side by side, the large one's temporary
  // file could fill the disk while a small one is being written.
  TRun R = Run({"--out", Out, "-j", "1", Path});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Out, Path + ": 2 pictures saved\n");
  EXPECT_EQ(R.Err, "quillory-extract: " + Path + ": cannot write " + Out +
                       "disk.swf/BMP/Image0.bmp: No space left on device.\n");
  // Nothing of the 6.75 MB picture, and the two small ones whole.
  const auto Files = Tree(Out + "disk.swf");
  std::set<std::string> Names;
  for (const auto& [Name, Bytes] : Files) Names.insert(Name);
  EXPECT_EQ(Names, (std::set<std::string>{"BMP", "JPEG", "PNG", "JPEG/Image1.jpg", "BMP/Image2.bmp",
                                          "PNG/Image2.png"}));
  EXPECT_EQ(Files.at("JPEG/Image1.jpg"), Jpeg);
  EXPECT_NO_THROW(ReadPNG(Out + "disk.swf/PNG/Image2.png"));
}

// The tool as a process of its own that the test stops itself, with the
// signals' default handling and none blocked, as a terminal or a service
// manager would have it (a shell's background job would ignore SIGINT).
class TChild {
 public:
  TChild(const std::vector<std::string>& Args, const std::string& Folder, const std::string& TmpDir)
      : FFolder(Folder) {
    std::vector<std::string> Argv = {QUILLORY_EXTRACT};
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    std::vector<char*> ArgvP;
    for (std::string& A : Argv) ArgvP.push_back(A.data());
    ArgvP.push_back(nullptr);
    // Its working folder goes into TmpDir, where the test looks for it.
    std::vector<std::string> Env;
    for (char** E = environ; *E; ++E)
      if (std::string(*E).rfind("TMPDIR=", 0) != 0) Env.push_back(*E);
    Env.push_back("TMPDIR=" + TmpDir);
    std::vector<char*> EnvP;
    for (std::string& E : Env) EnvP.push_back(E.data());
    EnvP.push_back(nullptr);

    posix_spawn_file_actions_t Files;
    posix_spawn_file_actions_init(&Files);
    posix_spawn_file_actions_addopen(&Files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Files, 1, (Folder + "child-out.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Files, 2, (Folder + "child-err.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t Attributes;
    posix_spawnattr_init(&Attributes);
    sigset_t Stops, None;
    sigemptyset(&Stops);
    sigaddset(&Stops, SIGINT);
    sigaddset(&Stops, SIGTERM);
    sigemptyset(&None);
    posix_spawnattr_setsigdefault(&Attributes, &Stops);
    posix_spawnattr_setsigmask(&Attributes, &None);
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&FPid, QUILLORY_EXTRACT, &Files, &Attributes, ArgvP.data(), EnvP.data()) != 0)
      FPid = -1;
    posix_spawn_file_actions_destroy(&Files);
    posix_spawnattr_destroy(&Attributes);
  }
  ~TChild() {
    if (FPid > 0) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
  }

  // Waits, while it runs, until Condition holds; false when it ended first.
  template <typename TCondition>
  bool RunningUntil(TCondition Condition) {
    const auto Give = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (FPid > 0 && std::chrono::steady_clock::now() < Give) {
      if (Condition()) return true;
      if (waitpid(FPid, &FStatus, WNOHANG) == FPid) {
        FPid = -FPid;
        return false;
      }
      usleep(1000);
    }
    return false;
  }
  void Signal(int Number) { kill(FPid, Number); }
  // Sends SIGSTOP and returns once it has stopped; false when it ended.
  bool Stop() {
    if (FPid <= 0) return false;
    kill(FPid, SIGSTOP);
    int Status = 0;
    if (waitpid(FPid, &Status, WUNTRACED) != FPid) return false;
    if (WIFSTOPPED(Status)) return true;
    FStatus = Status;
    FPid = -FPid;
    return false;
  }
  // Its exit status, or minus the signal that ended it.
  TRun Wait() {
    if (FPid > 0 && waitpid(FPid, &FStatus, 0) == FPid) FPid = -FPid;
    TRun R;
    R.Status = WIFEXITED(FStatus) ? WEXITSTATUS(FStatus) : -WTERMSIG(FStatus);
    R.Out = ReadText(FFolder + "child-out.txt");
    R.Err = ReadText(FFolder + "child-err.txt");
    return R;
  }

 private:
  std::string FFolder;
  pid_t FPid = -1;
  int FStatus = 0;
};

// 24 large pictures with alpha, all alike, so a run takes a while and every
// file it writes is known; and one of them alone.
constexpr int BigCount = 24;
TBytes BigPictureBody() {
  std::vector<uint32_t> Argb(1024 * 1024);
  for (size_t i = 0; i < Argb.size(); ++i) Argb[i] = 0x80000000u | uint32_t(i % 1021) * 0x010203u;
  return LosslessBody(1, 5, 1024, 1024, ARGBData(Argb), 0);
}

class StoppedRunTest : public ExtractToolTest {
 protected:
  void SetUp() override {
    const TBytes Body = BigPictureBody();
    TMovieBuilder Big(true);
    for (int N = 0; N < BigCount; ++N) Big.Tag(36, Body);
    BigMovie = Movie("big.swf", Big.End());
    fs::create_directory(Temp.Path() + "one");
    const std::string One = Movie("one/big.swf", TMovieBuilder(true).Tag(36, Body).End());
    ASSERT_EQ(Run({"--out", Temp.Path() + "ref/", One}).Status, 0);
    Bmp = ReadFileBytes(Temp.Path() + "ref/big.swf/BMP/Image0.bmp");
    Png = ReadFileBytes(Temp.Path() + "ref/big.swf/PNG/Image0.png");
    ASSERT_GT(Bmp.size(), 3000000u);
    ASSERT_FALSE(Png.empty());
  }

  // Every file under the big movie's folder with a final name whole: a
  // folder, or exactly the picture's BMP or PNG.
  void ExpectEveryFileWhole(const std::string& Folder) {
    for (const auto& [Name, Bytes] : Tree(Folder)) {
      if (Bytes == TBytes{'/'} || IsOutputTemporaryName(fs::path(Name).filename().string()))
        continue;
      EXPECT_TRUE(Bytes == (Name.ends_with(".bmp") ? Bmp : Png)) << Name << " " << Bytes.size();
    }
  }

  std::string BigMovie;
  TBytes Bmp, Png;
};

std::string NotSaved(int32_t First, int32_t Last) {
  return First == Last ? "picture " + std::to_string(First) + "; it was not saved."
                       : "pictures " + std::to_string(First) + " to " + std::to_string(Last) +
                             "; they were not saved.";
}

// Past the walk of the big movie and into its pictures: one is written, and
// another is in hand.
bool WritingPictures(const std::string& Folder) {
  return fs::exists(Folder + "BMP/Image0.bmp") && !Temporaries(Folder).empty();
}

TEST_F(StoppedRunTest, AStopSignalFinishesThePicturesInHandAndSaysTheRunWasStopped) {
  const std::string First = Movie("first.swf", AllKinds()), After = Movie("after.swf", AllKinds());
  // With two workers the movie after the big one is in hand beside it, and
  // small enough to be finished before the signal.
  struct TCase {
    int Signal;
    const char* Name;
    const char* Jobs;
    bool AfterFinished;
  } Cases[] = {{SIGTERM, "SIGTERM", "1", false}, {SIGINT, "SIGINT", "2", true}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    const std::string Run = Temp.Path() + C.Name + "/";
    const std::string Out = Run + "out/", TmpDir = Run + "tmp/", Report = Run + "report.jsonl";
    fs::create_directories(TmpDir);
    TChild Child({"-j", C.Jobs, "--out", Out, "--report", Report, First, BigMovie, After}, Run,
                 TmpDir);
    // The movie after the big one told as finished only when it is: all its
    // files in place before the signal.
    const auto AfterDone = [&] {
      const auto Files = Tree(Out + "after.swf");
      return Files.size() == 3u + 9 && Files == Tree(Out + "first.swf") &&
             Temporaries(Out + "after.swf").empty();
    };
    ASSERT_TRUE(Child.RunningUntil(
        [&] { return WritingPictures(Out + "big.swf/") && (!C.AfterFinished || AfterDone()); }))
        << "the run ended before the pictures of big.swf were being written";
    Child.Signal(C.Signal);
    const TRun R = Child.Wait();
    EXPECT_EQ(R.Status, 128 + C.Signal) << R.Err;

    // The usual lines for the movies it dealt with, none for one not started.
    const std::string Head = First + ": 6 pictures saved\n" + BigMovie + ": ";
    ASSERT_EQ(R.Out.rfind(Head, 0), 0u) << R.Out;
    const int32_t Saved = std::atoi(R.Out.c_str() + Head.size());
    EXPECT_GT(Saved, 0);
    EXPECT_LT(Saved, BigCount);
    EXPECT_EQ(R.Out, Head + std::to_string(Saved) + (Saved == 1 ? " picture" : " pictures") +
                         " saved\n" + (C.AfterFinished ? After + ": 6 pictures saved\n" : ""));
    EXPECT_EQ(R.Err, "quillory-extract: " + BigMovie + ": the run was stopped before " +
                         NotSaved(Saved, BigCount - 1) +
                         "\nquillory-extract: the run was stopped by " + C.Name + ": " +
                         (C.AfterFinished ? "2" : "1") + " of 3 movies finished.\n");

    // Exactly the pictures it told of, each whole, and nothing else.
    std::map<std::string, TBytes> Expected = {{"BMP", {'/'}}, {"JPEG", {'/'}}, {"PNG", {'/'}}};
    for (int32_t N = 0; N < Saved; ++N) {
      Expected["BMP/Image" + std::to_string(N) + ".bmp"] = Bmp;
      Expected["PNG/Image" + std::to_string(N) + ".png"] = Png;
    }
    const auto Files = Tree(Out + "big.swf");
    EXPECT_TRUE(Files == Expected) << Files.size() << " files for " << Expected.size();
    EXPECT_TRUE(Temporaries(Out).empty());
    EXPECT_TRUE(C.AfterFinished ? Tree(Out + "after.swf") == Tree(Out + "first.swf")
                                : !fs::exists(Out + "after.swf"));
    EXPECT_TRUE(fs::is_empty(TmpDir)) << "its working folder is left";

    // A whole line for each movie finished, none for the one stopped.
    const std::vector<std::string> L = ReadLines(Report);
    ASSERT_EQ(L.size(), C.AfterFinished ? 2u : 1u) << ReadText(Report);
    EXPECT_EQ(L[0].rfind("{\"movie\":\"" + First + "\"", 0), 0u) << L[0];
    if (C.AfterFinished) {
      EXPECT_EQ(L[1].rfind("{\"movie\":\"" + After + "\"", 0), 0u) << L[1];
    }
    for (const std::string& Line : L) EXPECT_TRUE(Line.ends_with("]}")) << Line;
    EXPECT_TRUE(ReadText(Report).ends_with("\n"));
  }
}

TEST_F(StoppedRunTest, ASecondSignalEndsTheRunAtOnceWithNoFileTornOrLeftBehind) {
  const std::string After = Movie("after.swf", AllKinds());
  for (const char* Jobs : {"1", "2"}) {
    SCOPED_TRACE(Jobs);
    const std::string Run = Temp.Path() + "jobs" + Jobs + "/";
    const std::string Out = Run + "out/", TmpDir = Run + "tmp/", Report = Run + "report.jsonl";
    fs::create_directories(TmpDir);
    TChild Child({"-j", Jobs, "--out", Out, "--report", Report, BigMovie, After}, Run, TmpDir);
    ASSERT_TRUE(Child.RunningUntil([&] { return WritingPictures(Out + "big.swf/"); }));
    // Two different signals, so they cannot merge into one; SIGINT is taken first.
    Child.Signal(SIGINT);
    Child.Signal(SIGTERM);
    const TRun R = Child.Wait();
    EXPECT_EQ(R.Status, 128 + SIGINT) << R.Err;
    EXPECT_EQ(R.Err, "quillory-extract: stopped at once by SIGTERM.\n");
    EXPECT_EQ(R.Out, "");
    ExpectEveryFileWhole(Out + "big.swf");
    EXPECT_TRUE(Temporaries(Out).empty());
    EXPECT_TRUE(fs::is_empty(TmpDir)) << "its working folder is left";
    EXPECT_EQ(ReadText(Report), "");  // the big movie, first, was not finished
  }
}

// A kill leaves its temporary file; the next run into that folder removes it.
TEST_F(StoppedRunTest, WhatAKilledRunLeftIsRemovedByTheNextRunIntoTheSameFolder) {
  const std::string Out = Temp.Path() + "out/", TmpDir = Temp.Path() + "tmp/";
  fs::create_directories(TmpDir);
  {
    TChild Child({"-j", "1", "--out", Out, BigMovie}, Temp.Path(), TmpDir);
    // Stopped, it cannot rename the temporary file between the look and the
    // kill; one renamed just before the stop is looked for again.
    bool Left = false;
    for (int Try = 0; Try < 100 && !Left; ++Try) {
      ASSERT_TRUE(Child.RunningUntil([&] { return WritingPictures(Out + "big.swf/"); }));
      ASSERT_TRUE(Child.Stop());
      Left = !Temporaries(Out).empty();
      if (!Left) Child.Signal(SIGCONT);
    }
    ASSERT_TRUE(Left) << "no temporary file was ever caught in a stopped run";
    Child.Signal(SIGKILL);
    EXPECT_EQ(Child.Wait().Status, -SIGKILL);
  }
  ASSERT_FALSE(Temporaries(Out).empty());
  ExpectEveryFileWhole(Out + "big.swf");

  fs::create_directory(Temp.Path() + "again");
  const std::string Again =
      Movie("again/big.swf", TMovieBuilder().DefineBitsJPEG2(1, EncodeJPEG(Pattern(4, 4))).End());
  EXPECT_EQ(Run({"--out", Out, Again}).Status, 0);
  EXPECT_TRUE(Temporaries(Out).empty());
}

// Outputs that cannot take any picture get one sentence per movie instead of
// one per picture; movies that cannot be read are passed over. As an
// ordinary user, for whom permissions hold.
TEST_F(ExtractToolTest, OutputsThatCannotBeWrittenAndMoviesThatCannotBeReadGetOneSentenceEach) {
  bool Skip = false;
  const std::string AsUser = AsUnprivilegedUser(Skip);
  if (Skip) GTEST_SKIP() << "needs setpriv to run as a user";
  fs::permissions(Temp.Path(), fs::perms(0755));
  const auto Writable = [](const std::string& Folder) {
    fs::create_directories(Folder);
    fs::permissions(Folder, fs::perms(0777));
  };
  const std::string A = Movie("a.swf", AllKinds()), B = Movie("b.swf", AllKinds());
  const std::string C = Movie("c.swf", AllKinds());
  const auto Say = [](const std::string& Movie, const std::string& Sentence) {
    return "quillory-extract: " + Movie + ": " + Sentence + "\n";
  };

  // The output folder is a file.
  const std::string File = Temp.Path() + "file.txt";
  WriteFileBytes(File, {'x'});
  TRun R = Run({"--out", File, A, B}, QUILLORY_EXTRACT, AsUser);
  EXPECT_EQ(R.Status, 1);
  for (const std::string& M : {A, B})
    EXPECT_NE(R.Err.find(Say(M, "cannot save into " + File +
                                    ": it is a file, not a folder. Nothing was saved.")),
              std::string::npos)
        << R.Err;
  EXPECT_EQ(R.Err.size(),
            Say(A, "cannot save into " + File + ": it is a file, not a folder. Nothing was saved.")
                    .size() *
                2);
  EXPECT_EQ(R.Out, A + ": 0 pictures saved\n" + B + ": 0 pictures saved\n");

  // An output folder the user may not write into.
  const std::string Locked = Temp.Path() + "locked/";
  fs::create_directory(Locked);
  fs::permissions(Locked, fs::perms(0555));
  R = Run({"--out", Locked, A, B}, QUILLORY_EXTRACT, AsUser);
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Err, Say(A, "cannot create the folder " + Locked +
                              "a.swf/: Permission denied. Nothing was saved.") +
                       Say(B, "cannot create the folder " + Locked +
                                  "b.swf/: Permission denied. Nothing was saved."));

  // A movie's folder with a JPEG/ the user may not write, one that is a link
  // to elsewhere, and a good one after them.
  const std::string Out = Temp.Path() + "out/", Elsewhere = Temp.Path() + "elsewhere/";
  Writable(Out);
  for (const char* Sub : {"", "BMP", "PNG"}) Writable(Out + "a.swf/" + Sub);
  fs::create_directory(Out + "a.swf/JPEG");
  fs::permissions(Out + "a.swf/JPEG", fs::perms(0555));
  Writable(Elsewhere);
  fs::create_directory_symlink(Elsewhere, Out + "b.swf");
  R = Run({"--out", Out, A, B, C}, QUILLORY_EXTRACT, AsUser);
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Err, Say(A, "cannot write into the folder " + Out +
                              "a.swf/JPEG/: Permission denied. Nothing was saved.") +
                       Say(B, "the folder " + Out +
                                  "b.swf/ is a symbolic link; nothing is saved through it. "
                                  "Nothing was saved."));
  EXPECT_EQ(R.Out,
            A + ": 0 pictures saved\n" + B + ": 0 pictures saved\n" + C + ": 6 pictures saved\n");
  EXPECT_TRUE(fs::is_empty(Elsewhere));
  EXPECT_TRUE(Temporaries(Out).empty());

  // A folder named like a movie (searched, and found to hold none), and a
  // movie the user may not read.
  const std::string Folder = Temp.Path() + "folder.swf";
  fs::create_directory(Folder);
  const std::string Secret = Movie("secret.swf", AllKinds());
  fs::permissions(Secret, fs::perms::none);
  R = Run({"--out", Out, Folder, Secret, C}, QUILLORY_EXTRACT, AsUser);
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Err,
            Say(Folder, "no movie (*.swf) was found in this folder.") +
                Say(Secret, "The file cannot be read: Permission denied. Nothing was extracted."));
  EXPECT_EQ(R.Out, C + ": 6 pictures saved\n");
}

// ---------------------------------------------------------------------------
// The sample movies
// ---------------------------------------------------------------------------

TEST_F(ExtractToolTest, CorpusPicturesAreCountedAndDecode) {
  std::string Corpus = QUILLORY_CORPUS_DIR;
  if (!IsDirectory(Corpus)) GTEST_SKIP() << "no sample movies in " << Corpus;
  const std::map<std::string, int> Expected = {{"mixed-all-kinds.swf", 12},
                                               {"lossless-argb-and-palette.swf", 2},
                                               {"palette-lossless-and-lossless2.swf", 2},
                                               {"jpeg2-with-png-payloads.swf", 4},
                                               {"definebits-with-jpegtables.swf", 1},
                                               {"jpeg3.swf", 1},
                                               {"jpeg3-alpha-small.swf", 1},
                                               {"lossless2-argb-small.swf", 1},
                                               {"jpeg2-photo.swf", 1},
                                               {"jpeg2-1x1.swf", 1},
                                               {"lossless-huge-declared-size.swf", 0},
                                               {"no-pictures.swf", 0}};
  // Damaged on purpose: what its file holds is not a picture.
  const std::set<std::string> Damaged = {"jpeg2-broken-huffman.swf/JPEG/Image0.jpg"};
  // Stored whole in JPEG records: saved as they are, nothing else for them.
  const std::set<std::string> Payloads = {"jpeg2-with-png-payloads.swf/PNG/Image0.png",
                                          "jpeg2-with-png-payloads.swf/PNG/Image2.png"};

  std::vector<std::string> Movies;
  for (const auto& E : fs::directory_iterator(Corpus))
    if (E.path().extension() == ".swf") Movies.push_back(E.path().string());
  std::sort(Movies.begin(), Movies.end());
  std::string Out = Temp.Path() + "out/";
  std::vector<std::string> Args = {"--out", Out};
  Args.insert(Args.end(), Movies.begin(), Movies.end());
  TRun R = Run(Args);

  std::map<std::string, int> Counts;
  // Lines read "<path>/<movie>: N pictures saved" ("1 picture saved").
  std::istringstream Lines(R.Out);
  for (std::string L; std::getline(Lines, L);) {
    size_t Colon = L.rfind(": ");
    const std::string Tail = L.ends_with(" 1 picture saved") ? " picture saved" : " pictures saved";
    if (Colon == std::string::npos || !L.ends_with(Tail)) continue;
    std::string Number = L.substr(Colon + 2, L.size() - Tail.size() - Colon - 2);
    if (Number.empty() || Number.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string Path = L.substr(0, Colon);
    Counts[Path.substr(Path.find_last_of('/') + 1)] = std::stoi(Number);
  }
  for (const auto& [Name, Count] : Expected) {
    ASSERT_TRUE(Counts.count(Name)) << Name << " missing from\n" << R.Out;
    EXPECT_EQ(Counts[Name], Count) << Name;
  }

  // The huge lossless picture has nothing a file could hold; it is told.
  EXPECT_NE(R.Err.find("lossless-huge-declared-size.swf: picture 0 holds nothing"),
            std::string::npos)
      << R.Err;
  EXPECT_EQ(R.Status, 1);

  int Checked = 0;
  const auto Files = Tree(Out);
  for (const auto& [Rel, Bytes] : Files) {
    if (Bytes == TBytes{'/'}) continue;  // a folder
    EXPECT_FALSE(Bytes.empty()) << Rel;
    bool Jpeg = Rel.ends_with(".jpg"), Bmp = Rel.ends_with(".bmp");
    if (Damaged.count(Rel) || (!Jpeg && !Bmp)) continue;
    ++Checked;
    if (Jpeg) {
      EXPECT_TRUE(DecodesAsJPEG(Bytes)) << Rel;
    } else {
      QImage Image;
      EXPECT_TRUE(Image.loadFromData(Bytes.data(), int(Bytes.size()), "BMP")) << Rel;
    }
  }
  EXPECT_GE(Checked, 20);
  for (const std::string& Rel : Damaged) EXPECT_TRUE(FileExists(Out + Rel)) << Rel;
  EXPECT_FALSE(Files.count("lossless-huge-declared-size.swf/BMP/Image0.bmp"));

  // The payload movie: two PNG files exactly as the movie stores them, and
  // JPEGs for the two real JPEG pictures only.
  EXPECT_FALSE(Files.count("jpeg2-with-png-payloads.swf/JPEG/Image0.jpg"));
  EXPECT_FALSE(Files.count("jpeg2-with-png-payloads.swf/JPEG/Image2.jpg"));
  EXPECT_TRUE(Files.count("jpeg2-with-png-payloads.swf/JPEG/Image1.jpg"));
  EXPECT_TRUE(Files.count("jpeg2-with-png-payloads.swf/JPEG/Image3.jpg"));
  EXPECT_FALSE(Files.count("jpeg2-with-png-payloads.swf/GIF"));
  const TBytes Body = InflatedMovie(Corpus + "/jpeg2-with-png-payloads.swf");
  ASSERT_FALSE(Body.empty());
  for (const std::string& Rel : Payloads) {
    SCOPED_TRACE(Rel);
    ASSERT_TRUE(Files.count(Rel));
    const TBytes& Png = Files.at(Rel);
    ASSERT_GT(Png.size(), 8u);
    EXPECT_EQ(Png[0], 0x89);
    // Byte for byte the bytes of its record: the record's body is the
    // character ID and then exactly this file.
    auto At = std::search(Body.begin(), Body.end(), Png.begin(), Png.end());
    ASSERT_NE(At, Body.end());
    const size_t Offset = size_t(At - Body.begin());
    ASSERT_GE(Offset, 8u);
    // The record header just before: a long header of code 21 whose length
    // is the character ID plus the file.
    const uint16_t Code = uint16_t(Body[Offset - 8] | Body[Offset - 7] << 8);
    const uint32_t Length = uint32_t(Body[Offset - 6] | Body[Offset - 5] << 8 |
                                     Body[Offset - 4] << 16 | uint32_t(Body[Offset - 3]) << 24);
    EXPECT_EQ(Code >> 6, 21);
    EXPECT_EQ(Code & 0x3F, 0x3F);
    EXPECT_EQ(Length, Png.size() + 2);
    QImage Image;
    EXPECT_TRUE(Image.loadFromData(Png.data(), int(Png.size()), "PNG"));
  }
}

// The zlib movie cut after 7,000 of its 13,928 bytes, and the LZMA movie that
// declares a length of 1.
TEST_F(ExtractToolTest, CorpusCutAndLzmaMoviesAreSaidToBeDamaged) {
  std::string Corpus = QUILLORY_CORPUS_DIR;
  if (!IsDirectory(Corpus)) GTEST_SKIP() << "no sample movies in " << Corpus;
  TBytes Mixed = ReadFileBytes(Corpus + "/mixed-all-kinds.swf");
  ASSERT_EQ(Mixed.size(), 13928u);
  std::string Cut = Temp.Path() + "mixed-cut.swf";
  WriteFileBytes(Cut, TBytes(Mixed.begin(), Mixed.begin() + 7000));
  std::string Lzma = Corpus + "/lzma-malformed.swf";
  std::string Out = Temp.Path() + "out/";

  TRun R = Run({"--out", Out, Cut});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Out, Cut + ": 4 pictures saved\n");
  EXPECT_EQ(R.Err, "quillory-extract: " + Cut +
                       ": The movie is damaged: its compressed body ends after 9786 of the 17377 "
                       "bytes it declares. The pictures found before the damage were saved.\n");
  // The pictures wholly before the cut are those of the whole movie; the
  // fourth keeps its JPEG, its alpha plane runs into the cut.
  ASSERT_EQ(Run({"--out", Out, Corpus + "/mixed-all-kinds.swf"}).Status, 0);
  auto FromCut = Tree(Out + "mixed-cut.swf"), FromWhole = Tree(Out + "mixed-all-kinds.swf");
  for (const char* Name : {"JPEG/Image0.jpg", "BMP/Image1.bmp", "PNG/Image1.png", "BMP/Image2.bmp",
                           "JPEG/Image3.jpg"}) {
    ASSERT_TRUE(FromCut.count(Name)) << Name;
    EXPECT_TRUE(FromCut[Name] == FromWhole[Name]) << Name;
  }
  EXPECT_TRUE(FromCut.count("PNG/Image3.png"));
  EXPECT_EQ(FromCut.size(), 3u + 6);

  R = Run({"--out", Out, Lzma});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Out, Lzma + ": 0 pictures saved\n");
  EXPECT_EQ(R.Err, "quillory-extract: " + Lzma +
                       ": The movie is damaged: its LZMA-compressed body could not be decoded. "
                       "No picture was found.\n");
}

// What the reader notices in a movie belongs to that movie's walk: --verbose
// prints it, and movies walked side by side never take or clear each other's
// entries.
TEST_F(ExtractToolTest, VerbosePrintsEachMoviesOwnLog) {
  // A compressed movie of version 5 makes the header warn (32782); a lossless
  // record declaring 65535 x 65535 pixels over a few bytes has its block
  // refused (32791) in the record that starts after the 21-byte header.
  std::vector<std::string> Args = {"--out", Temp.Path() + "out", "-j", "2", "--verbose"};
  for (int i = 0; i < 8; ++i) {
    const std::string Name = (i % 2 ? "huge" : "old") + std::to_string(i) + ".swf";
    if (i % 2)
      Args.push_back(Movie(Name, TMovieBuilder(true).DefineBitsLossless(1, 5, 65535, 65535,
                                                                          TBytes(16))));
    else
      Args.push_back(Movie(Name, TMovieBuilder(true, 5).DefineBitsJPEG2(
                                     1, EncodeJPEG(Pattern(4, 4)))));
  }
  const TRun R = Run(Args);
  EXPECT_EQ(R.Status, 1) << R.Err;  // the huge pictures are not saved
  std::map<std::string, std::vector<std::string>> Logs;
  std::istringstream Lines(R.Err);
  for (std::string Line; std::getline(Lines, Line);) {
    const size_t At = Line.find(": log: ");
    if (At == std::string::npos) continue;
    const std::string Path = Line.substr(std::string("quillory-extract: ").size(),
                                         At - std::string("quillory-extract: ").size());
    Logs[fs::path(Path).filename().string()].push_back(Line.substr(At + 7));
  }
  ASSERT_EQ(Logs.size(), 8u) << R.Err;
  for (const auto& [Name, Entries] : Logs) {
    SCOPED_TRACE(Name);
    ASSERT_EQ(Entries.size(), 1u);
    if (Name.rfind("old", 0) == 0)
      EXPECT_EQ(Entries[0].rfind("code 32782 at byte 0: ", 0), 0u) << Entries[0];
    else
      EXPECT_EQ(Entries[0].rfind("code 32791 at byte 21: ", 0), 0u) << Entries[0];
  }

  // Without the switch the log stays quiet.
  Args.erase(Args.begin() + 4);
  EXPECT_EQ(Run(Args).Err.find(": log: "), std::string::npos);
}

TEST_F(ExtractToolTest, VerbosePrintsTheLogOfADamagedCorpusMovie) {
  const std::string Movie = std::string(QUILLORY_CORPUS_DIR) + "/lzma-malformed.swf";
  if (!FileExists(Movie)) GTEST_SKIP() << "the sample movies are not in " << QUILLORY_CORPUS_DIR;
  const TRun R = Run({"--out", Temp.Path() + "out", "--verbose", Movie});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find(Movie + ": log: code 32770 at byte 0: "), std::string::npos) << R.Err;
  EXPECT_NE(R.Err.find(Movie + ": log: code 32781 at byte 0: "), std::string::npos) << R.Err;
}

}  // namespace
