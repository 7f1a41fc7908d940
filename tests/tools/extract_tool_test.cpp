// The command-line extractor, run as a separate process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

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

// A small movie of every kind.
TMovieBuilder AllKinds() {
  TRgbPicture Photo = Pattern(12, 6, 2);
  auto Split = EncodeJPEGTablesAndImage(Photo);
  TBytes Jpeg = EncodeJPEG(Photo);
  TBytes Alpha(12 * 6, 128);
  TBytes Cm = ColorMappedData({1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 1, 0, 1, 1}, 3, 2);
  std::vector<uint32_t> Argb = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x40102030};
  TMovieBuilder M(true);
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
  EXPECT_NE(R.Err.find(Missing + ": cannot be read: No such file or directory."), std::string::npos)
      << R.Err;
  EXPECT_NE(R.Err.find(Text + ": is not an SWF movie"), std::string::npos) << R.Err;
  EXPECT_NE(R.Err.find(BadAlpha + ": picture 0 could not be saved as PNG"), std::string::npos)
      << R.Err;
  EXPECT_NE(R.Err.find(Cut + ": the movie is damaged"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Err.find(Good), std::string::npos) << R.Err;
  EXPECT_EQ(R.Out, BadAlpha + ": 1 pictures saved\n" + Cut + ": 1 pictures saved\n" + Good +
                       ": 6 pictures saved\n");
  // What could be saved was saved.
  EXPECT_TRUE(FileExists(Out + "badalpha.swf/JPEG/Image0.jpg"));
  EXPECT_TRUE(FileExists(Out + "badalpha.swf/JPEG/Image1.jpg"));
  EXPECT_TRUE(FileExists(Out + "cut.swf/JPEG/Image0.jpg"));
  EXPECT_EQ(Tree(Out + "good.swf").size(), 3u + 9);
  EXPECT_FALSE(IsDirectory(Out + "absent.swf"));
  EXPECT_FALSE(IsDirectory(Out + "notes.swf"));
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
                                               {"lossless-huge-declared-size.swf", 1},
                                               {"no-pictures.swf", 0}};
  // Damaged on purpose: what their files hold is not a picture.
  const std::set<std::string> Damaged = {"jpeg2-broken-huffman.swf/JPEG/Image0.jpg",
                                         "jpeg2-with-png-payloads.swf/JPEG/Image0.jpg",
                                         "jpeg2-with-png-payloads.swf/JPEG/Image2.jpg",
                                         "lossless-huge-declared-size.swf/BMP/Image0.bmp"};

  std::vector<std::string> Movies;
  for (const auto& E : fs::directory_iterator(Corpus))
    if (E.path().extension() == ".swf") Movies.push_back(E.path().string());
  std::sort(Movies.begin(), Movies.end());
  std::string Out = Temp.Path() + "out/";
  std::vector<std::string> Args = {"--out", Out};
  Args.insert(Args.end(), Movies.begin(), Movies.end());
  TRun R = Run(Args);

  std::map<std::string, int> Counts;
  // Lines read "<path>/<movie>: N pictures saved".
  const std::string Tail = " pictures saved";
  std::istringstream Lines(R.Out);
  for (std::string L; std::getline(Lines, L);) {
    size_t Colon = L.rfind(": ");
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

  int Checked = 0;
  for (const auto& [Rel, Bytes] : Tree(Out)) {
    bool Jpeg = Rel.ends_with(".jpg"), Bmp = Rel.ends_with(".bmp");
    if (!Jpeg && !Bmp) continue;
    if (Damaged.count(Rel)) {
      if (Rel.find("payloads") != std::string::npos || Bmp) {
        EXPECT_TRUE(Bytes.empty()) << Rel;
      }
      continue;
    }
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
}

}  // namespace
