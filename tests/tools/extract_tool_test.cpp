// The command-line extractor, run as a separate process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "extract/Scripts.h"
#include "tests/support/MovieBuilder.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

std::string Quote(const std::string& Text) {
  std::string Q = "'";
  for (char C : Text) Q += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Q + "'";
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
  TRun Run(const std::vector<std::string>& Args, const std::string& Program = QUILLORY_EXTRACT) {
    std::string Command = Quote(Program);
    for (const std::string& A : Args) Command += " " + Quote(A);
    std::string OutFile = Temp.Path() + "stdout.txt", ErrFile = Temp.Path() + "stderr.txt";
    Command += " >" + Quote(OutFile) + " 2>" + Quote(ErrFile) + " </dev/null";
    TRun R;
    int Raw = std::system(Command.c_str());
    R.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    R.Out = ReadText(OutFile);
    R.Err = ReadText(ErrFile);
    return R;
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
  TWorkspace W(Temp.Path() + "work/");
  ResetWorkspace(W, 150);
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
  std::istringstream Lines(ReadText(Report));
  std::vector<std::string> L;
  for (std::string Line; std::getline(Lines, Line);) L.push_back(Line);
  ASSERT_EQ(L.size(), 3u);
  const std::string Pictures =
      "\"pictures\":["
      "{\"number\":0,\"kind\":\"DefineBitsJPEG2\",\"format\":\"JPEG\",\"width\":16,"
      "\"height\":8,\"files\":[\"JPEG/Image0.jpg\"],\"errors\":[]},"
      "{\"number\":1,\"kind\":\"DefineBitsLossless2\",\"format\":\"BMP\",\"width\":3,"
      "\"height\":2,\"files\":[\"BMP/Image1.bmp\",\"PNG/Image1.png\"],\"errors\":[]},"
      "{\"number\":2,\"kind\":\"DefineBitsJPEG3\",\"format\":\"JPEG\",\"width\":16,"
      "\"height\":8,\"files\":[\"JPEG/Image2.jpg\"],\"errors\":[\"could not be saved as "
      "PNG: The alpha data is not a valid zlib stream\"]},"
      "{\"number\":3,\"kind\":\"DefineBitsJPEG2\",\"format\":\"JPEG\",\"width\":null,"
      "\"height\":null,\"files\":[],\"errors\":[\"holds nothing that can be saved\"]}]}";
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
    TWorkspace W(Folder + "work/");
    ResetWorkspace(W, 150);
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
    TWorkspace W(Temp.Path() + "work/");
    ResetWorkspace(W, 150);
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

}  // namespace
