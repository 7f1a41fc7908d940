#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Settings.h"
#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Pattern = (fs::temp_directory_path() / "quillory-settings-XXXXXX").string();
    ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
    Dir = Pattern + "/";
  }
  void TearDown() override { fs::remove_all(Dir); }

  void PutConfig(const std::string& Content, const std::string& Name = "Config.ini") {
    std::ofstream Out(Dir + Name, std::ios::binary);
    Out << Content;
  }
  std::string GetConfig(const std::string& Name = "Config.ini") const {
    std::ifstream In(Dir + Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  }

  std::string Dir;
};

TEST_F(SettingsTest, FirstStartCreatesTheFileInItsOrder) {
  TSettings Settings(Dir);
  TSettings::TWindowBounds Bounds{-1, -1, -1, -1};
  ASSERT_TRUE(Settings.StartupLoad(Bounds));

  const std::string Images = Dir + "IMAGES/";
  EXPECT_EQ(Settings.OutputDir, Images);
  EXPECT_TRUE(fs::is_directory(Images));
  EXPECT_EQ(Settings.Prefix, "Image");
  EXPECT_EQ(Settings.BGSquareSize, 10);
  EXPECT_EQ(Settings.BGColor, 13421772);
  EXPECT_EQ(Settings.PicSize, 150);
  EXPECT_EQ(Settings.CellSize, 170);
  EXPECT_EQ(Settings.Language, "ENG");
  EXPECT_EQ(Bounds.Top, 10);
  EXPECT_EQ(Bounds.Left, 10);
  EXPECT_EQ(Bounds.Width, 400);
  EXPECT_EQ(Bounds.Height, 300);
  EXPECT_EQ(GetConfig(), "[Config]\nImageDir=" + Images + "\n");

  Settings.CloseSave({12, 34, 600, 300});
  const std::string AfterClose = "[Config]\nImageDir=" + Images +
                                 "\nLanguage=ENG\n[Size]\nTop=12\nLeft=34\nWidth=600\nHeight=300\n";
  EXPECT_EQ(GetConfig(), AfterClose);

  Settings.SaveOptions({"/pictures/", "Pic", 20, 255, 100});
  EXPECT_EQ(GetConfig(),
            "[Config]\nImageDir=/pictures/\nLanguage=ENG\nPrefix=Pic\n"
            "BGSquareSize=20\nBGColor=255\nPicSize=100\nNamesInFiles=0\nPremultiplied=0\n"
            "[Size]\nTop=12\nLeft=34\nWidth=600\nHeight=300\n");

  // The second start reads everything back.
  TSettings Again(Dir);
  ASSERT_TRUE(Again.StartupLoad(Bounds));
  EXPECT_EQ(Again.OutputDir, "/pictures/");
  EXPECT_EQ(Again.Prefix, "Pic");
  EXPECT_EQ(Again.BGSquareSize, 20);
  EXPECT_EQ(Again.BGColor, 255);
  EXPECT_EQ(Again.PicSize, 100);
  EXPECT_EQ(Again.CellSize, 120);
  EXPECT_EQ(Bounds.Top, 12);
  EXPECT_EQ(Bounds.Left, 34);
  EXPECT_EQ(Bounds.Width, 600);
  EXPECT_EQ(Bounds.Height, 300);
}

TEST_F(SettingsTest, LoadsAHandWrittenFile) {
  PutConfig(
      "; settings\r\n[config]\r\nimagedir=/data/out\r\nPrefix = \"My pic\"\r\n"
      "BGSquareSize=0x1E\r\nBGColor=$FF\r\nPicSize=abc\r\nLanguage=DEU\r\n"
      "[SIZE]\r\nTop=-5\r\nLeft=12px\r\nWidth=0X10\r\n");
  TSettings Settings(Dir);
  TSettings::TWindowBounds Bounds{};
  ASSERT_TRUE(Settings.StartupLoad(Bounds));
  EXPECT_EQ(Settings.OutputDir, "/data/out");  // no trailing "/" added
  EXPECT_EQ(Settings.Prefix, "My pic");
  EXPECT_EQ(Settings.BGSquareSize, 30);
  EXPECT_EQ(Settings.BGColor, 255);
  EXPECT_EQ(Settings.PicSize, 150);
  EXPECT_EQ(Settings.Language, "DEU");
  EXPECT_EQ(Bounds.Top, -5);
  EXPECT_EQ(Bounds.Left, 10);
  EXPECT_EQ(Bounds.Width, 16);
  EXPECT_EQ(Bounds.Height, 300);
  EXPECT_FALSE(fs::exists(Dir + "IMAGES"));
}

TEST_F(SettingsTest, EmptyImageDirIsReplacedWhereItStands) {
  PutConfig("[Config]\r\nImageDir=\r\nPrefix=P\r\n");
  TSettings Settings(Dir);
  TSettings::TWindowBounds Bounds{};
  ASSERT_TRUE(Settings.StartupLoad(Bounds));
  EXPECT_EQ(Settings.OutputDir, Dir + "IMAGES/");
  EXPECT_EQ(GetConfig(), "[Config]\r\nImageDir=" + Dir + "IMAGES/\r\nPrefix=P\r\n");
  EXPECT_EQ(Settings.Prefix, "P");
}

// A prefix with a "/" (written by hand, or by an older version) would save
// and delete files in other folders: the default is used instead.
TEST_F(SettingsTest, PrefixWithASlashFallsBackToTheDefault) {
  for (const char* Prefix : {"../../home/u/holiday", "a/b", "/"}) {
    SCOPED_TRACE(Prefix);
    PutConfig(std::string("[Config]\nImageDir=/x/\nPrefix=") + Prefix + "\n");
    TSettings Settings(Dir);
    TSettings::TWindowBounds Bounds{};
    ASSERT_TRUE(Settings.StartupLoad(Bounds));
    EXPECT_EQ(Settings.Prefix, "Image");
    // The options dialog shows the file as it stands; its OK refuses it.
    EXPECT_EQ(Settings.ReadOptions().Prefix, Prefix);
  }
}

TEST_F(SettingsTest, SizesOutOfReachFallBackToTheirDefaults) {
  struct TCase {
    const char* Square;
    const char* Pic;
    int32_t ExpectedSquare, ExpectedPic;
  } const Cases[] = {
      {"1", "1", 1, 1},         {"0", "0", 10, 150},         {"-3", "-1", 10, 150},
      {"50", "4096", 50, 4096}, {"1000", "4097", 1000, 150}, {"5", "2147483647", 5, 150},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Square) + " / " + Case.Pic);
    PutConfig(std::string("[Config]\nImageDir=/x/\nBGSquareSize=") + Case.Square +
              "\nPicSize=" + Case.Pic + "\n");
    TSettings Settings(Dir);
    TSettings::TWindowBounds Bounds{};
    ASSERT_TRUE(Settings.StartupLoad(Bounds));
    EXPECT_EQ(Settings.BGSquareSize, Case.ExpectedSquare);
    EXPECT_EQ(Settings.PicSize, Case.ExpectedPic);
    EXPECT_EQ(Settings.CellSize, Case.ExpectedPic + 20);
    EXPECT_EQ(Settings.ReadPicSize(), Case.ExpectedPic);
    // The options dialog sees the file as it stands and clamps itself.
    EXPECT_EQ(Settings.ReadOptions().PicSize, std::atoi(Case.Pic));
  }
}

// Installed where its folder cannot be written, the program keeps its
// settings in the user's config folder and its pictures in the user's
// pictures folder, both made with their parents; the rules of the file are
// the same.
TEST_F(SettingsTest, SystemWideTheFileAndThePicturesLiveInTheUsersFolders) {
  TFolderEnvironment Environment;
  Environment.ProgramDirWritable = false;
  Environment.Variables = {{"HOME", Dir + "home"}};
  fs::create_directories(Dir + "bin");
  TSettings Settings(ResolveFolders(Dir + "bin/", Environment));
  TSettings::TWindowBounds Bounds{-1, -1, -1, -1};
  ASSERT_TRUE(Settings.StartupLoad(Bounds));
  const std::string Images = Dir + "home/Pictures/Quillory/";
  const std::string File = Dir + "home/.config/quillory/Config.ini";
  EXPECT_EQ(Settings.OutputDir, Images);
  EXPECT_TRUE(fs::is_directory(Images));
  EXPECT_EQ(Settings.ConfigFile(), File);
  EXPECT_EQ(GetConfig("home/.config/quillory/Config.ini"), "[Config]\nImageDir=" + Images + "\n");
  Settings.CloseSave({12, 34, 600, 300});
  Settings.MovieOpened("/movies/a.swf");
  EXPECT_EQ(IniReadString(File, "Size", "Width", ""), "600");
  EXPECT_EQ(IniReadString(File, "Recent", "Movie1", ""), "/movies/a.swf");
  EXPECT_TRUE(fs::is_empty(Dir + "bin")) << "nothing beside the program";

  // Read back at the next start, written where it was found.
  TSettings Again(ResolveFolders(Dir + "bin/", Environment));
  ASSERT_TRUE(Again.StartupLoad(Bounds));
  EXPECT_EQ(Again.OutputDir, Images);
  EXPECT_EQ(Bounds.Left, 34);

  // XDG_CONFIG_HOME moves the file; the program's folder stays untouched.
  Environment.Variables["XDG_CONFIG_HOME"] = Dir + "xdg";
  TSettings Moved(ResolveFolders(Dir + "bin/", Environment));
  Moved.SaveOptions({"/p/", "P", 10, 1, 90});
  EXPECT_EQ(IniReadString(Dir + "xdg/quillory/Config.ini", "Config", "ImageDir", ""), "/p/");
  EXPECT_TRUE(fs::is_empty(Dir + "bin"));
}

TEST_F(SettingsTest, RefusedWriteBackKeepsDefaultsAndBounds) {
  // A portable program folder under a regular file: nothing can be created
  // there.
  PutConfig("", "plain");
  TFolderEnvironment Portable;
  Portable.ProgramDirWritable = true;
  TSettings Settings(ResolveFolders(Dir + "plain/", Portable));
  Settings.Prefix = "Stale";
  Settings.PicSize = 0;
  Settings.Language = "FRA";
  TSettings::TWindowBounds Bounds{200, 267, 792, 521};
  EXPECT_FALSE(Settings.StartupLoad(Bounds));
  EXPECT_EQ(Settings.OutputDir, Dir + "plain/IMAGES/");
  EXPECT_EQ(Settings.Prefix, "Image");
  EXPECT_EQ(Settings.BGSquareSize, 10);
  EXPECT_EQ(Settings.BGColor, 13421772);
  EXPECT_EQ(Settings.PicSize, 150);
  EXPECT_EQ(Settings.CellSize, 170);
  EXPECT_EQ(Settings.Language, "ENG");
  EXPECT_EQ(Bounds.Top, 200);
  EXPECT_EQ(Bounds.Left, 267);
  EXPECT_EQ(Bounds.Width, 792);
  EXPECT_EQ(Bounds.Height, 521);

  // Later writes fail silently; the in-memory values still change.
  Settings.SaveOptions({"/new/", "P", 0, 1, 90});
  EXPECT_EQ(Settings.OutputDir, "/new/");
  EXPECT_EQ(Settings.Prefix, "P");
  EXPECT_EQ(Settings.BGSquareSize, 10);
  EXPECT_EQ(Settings.BGColor, 1);
  EXPECT_EQ(Settings.PicSize, 90);
  EXPECT_EQ(Settings.CellSize, 170) << "the cell follows at the next workspace reset";
  EXPECT_NO_THROW(Settings.CloseSave({1, 2, 3, 4}));
  EXPECT_EQ(GetConfig("plain"), "");
}

TEST_F(SettingsTest, ReadersUseTheirOwnDefaults) {
  TSettings Settings(Dir);
  EXPECT_EQ(Settings.ReadImageDir("/"), "/");
  EXPECT_EQ(Settings.ReadPicSize(), 150);
  const TSettings::TOptionValues Defaults = Settings.ReadOptions();
  EXPECT_EQ(Defaults.ImageDir, "/");
  EXPECT_EQ(Defaults.Prefix, "Image");
  EXPECT_EQ(Defaults.BGSquareSize, 10);
  EXPECT_EQ(Defaults.BGColor, 13421772);
  EXPECT_EQ(Defaults.PicSize, 150);
  EXPECT_FALSE(fs::exists(Dir + "Config.ini")) << "reading creates nothing";

  PutConfig("[Config]\nImageDir=/movies\nPrefix=\nBGSquareSize=abc\nBGColor=-1\nPicSize=300\n");
  EXPECT_EQ(Settings.ReadImageDir("/"), "/movies");
  const TSettings::TOptionValues Values = Settings.ReadOptions();
  EXPECT_EQ(Values.ImageDir, "/movies");
  EXPECT_EQ(Values.Prefix, "");
  EXPECT_EQ(Values.BGSquareSize, 10);
  EXPECT_EQ(Values.BGColor, -1);
  EXPECT_EQ(Values.PicSize, 300);
}

TEST_F(SettingsTest, UsesTheConfigFileWhateverItsCase) {
  PutConfig("[CONFIG]\nIMAGEDIR=/a/\nLANGUAGE=FRA\n", "config.INI");
  TSettings Settings(Dir);
  EXPECT_EQ(Settings.ConfigFile(), Dir + "config.INI");
  TSettings::TWindowBounds Bounds{};
  ASSERT_TRUE(Settings.StartupLoad(Bounds));
  EXPECT_EQ(Settings.Language, "FRA");
  Settings.Language = "ENG";
  Settings.CloseSave({1, 2, 3, 4});
  EXPECT_FALSE(fs::exists(Dir + "Config.ini"));
  EXPECT_EQ(GetConfig("config.INI"),
            "[CONFIG]\nIMAGEDIR=/a/\nLANGUAGE=ENG\n[Size]\nTop=1\nLeft=2\nWidth=3\nHeight=4\n");
}

TEST_F(SettingsTest, EveryReadSeesTheFileAsItIsNow) {
  TSettings Settings(Dir);
  PutConfig("[Config]\nImageDir=/one/\nPicSize=60\n");
  EXPECT_EQ(Settings.ReadImageDir("/"), "/one/");
  EXPECT_EQ(Settings.ReadPicSize(), 60);
  PutConfig("[Config]\nImageDir=/two/\nPicSize=70\n");
  EXPECT_EQ(Settings.ReadImageDir("/"), "/two/");
  EXPECT_EQ(Settings.ReadPicSize(), 70);
}

TEST_F(SettingsTest, RecentMoviesNewestFirstOnceEachAtMostSix) {
  TSettings Settings(Dir);
  EXPECT_TRUE(Settings.ReadRecentMovies().empty());
  EXPECT_EQ(Settings.ReadOpenDir(), "");
  for (int I = 1; I <= 8; ++I) Settings.MovieOpened("/m/" + std::to_string(I) + ".swf");
  using TList = std::vector<std::string>;
  EXPECT_EQ(Settings.ReadRecentMovies(),
            TList({"/m/8.swf", "/m/7.swf", "/m/6.swf", "/m/5.swf", "/m/4.swf", "/m/3.swf"}));
  Settings.MovieOpened("/m/5.swf");
  EXPECT_EQ(Settings.ReadRecentMovies(),
            TList({"/m/5.swf", "/m/8.swf", "/m/7.swf", "/m/6.swf", "/m/4.swf", "/m/3.swf"}));
  Settings.ForgetRecentMovie("/m/7.swf");
  Settings.ForgetRecentMovie("/m/not listed.swf");
  EXPECT_EQ(Settings.ReadRecentMovies(),
            TList({"/m/5.swf", "/m/8.swf", "/m/6.swf", "/m/4.swf", "/m/3.swf"}));
  EXPECT_EQ(Settings.ReadOpenDir(), "/m/");
  // Names the INI rules would trim or unquote come back as they were.
  const std::string Odd = "/other folder/ 'odd' name.swf ";
  Settings.MovieOpened(Odd);
  EXPECT_EQ(Settings.ReadRecentMovies().front(), Odd);
  EXPECT_EQ(Settings.ReadOpenDir(), "/other folder/");
}

TEST_F(SettingsTest, OpenFolderJoinsAnOlderFileAtTheEndOfItsSection) {
  const std::string Old = "[Config]\nImageDir=/pictures/\nPicSize=90\n[Size]\nTop=5\n";
  PutConfig(Old);
  TSettings Settings(Dir);
  TSettings::TWindowBounds Bounds{-1, -1, -1, -1};
  ASSERT_TRUE(Settings.StartupLoad(Bounds));
  EXPECT_EQ(Settings.PicSize, 90);
  EXPECT_EQ(Bounds.Top, 5);
  EXPECT_EQ(Settings.ReadOpenDir(), "");
  Settings.MovieOpened("/films/a.swf");
  EXPECT_EQ(GetConfig(),
            "[Config]\nImageDir=/pictures/\nPicSize=90\nOpenDir=/films/\n[Size]\nTop=5\n"
            "[Recent]\nMovie1=/films/a.swf\nMovie2=\nMovie3=\nMovie4=\nMovie5=\nMovie6=\n");
}

TEST_F(SettingsTest, RefusedRecentWritesAreIgnored) {
  fs::create_directory(Dir + "Config.ini");  // never writable
  TSettings Settings(Dir);
  Settings.MovieOpened("/films/a.swf");
  Settings.ForgetRecentMovie("/films/a.swf");
  EXPECT_TRUE(Settings.ReadRecentMovies().empty());
}

}  // namespace
