#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/Folders.h"
#include "tests/support/MovieBuilder.h"

namespace fs = std::filesystem;

namespace {

void Put(const std::string& File, const std::string& Content) {
  fs::create_directories(fs::path(File).parent_path());
  std::ofstream(File, std::ios::binary) << Content;
}

// Where each kind of file goes, for a program in /opt/q/bin/ whose folder is
// writable or not, under every combination of the variables that matter.
TEST(FoldersTest, PortableBesideTheProgramStandardFoldersOtherwise) {
  TTempDir Temp;
  const std::string Home = Temp.Path() + "home";
  const std::string Xdg = Temp.Path() + "xdg";
  // A user-dirs.dirs in each config home: the one that is read tells.
  Put(Home + "/.config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
  Put(Xdg + "/user-dirs.dirs", "# moved\nXDG_PICTURES_DIR=\"/srv/photos\"\n");
  struct TCase {
    const char* Name;
    bool Writable;
    std::map<std::string, std::string> Variables;
    std::string ConfigDir, ImageDir, WorkDir;
  } Cases[] = {
      {"portable, whatever the variables say",
       true,
       {{"HOME", Home}, {"XDG_CONFIG_HOME", Xdg}, {"XDG_RUNTIME_DIR", "/run/user/7"}},
       "/opt/q/bin/",
       "/opt/q/bin/IMAGES/",
       "/opt/q/bin/TEMP/"},
      {"system-wide, no XDG variables",
       false,
       {{"HOME", Home}},
       Home + "/.config/quillory/",
       Home + "/Bilder/Quillory/",
       "/tmp/quillory-7/"},
      {"system-wide, every XDG variable",
       false,
       {{"HOME", Home}, {"XDG_CONFIG_HOME", Xdg}, {"XDG_RUNTIME_DIR", "/run/user/7/"}},
       Xdg + "/quillory/",
       "/srv/photos/Quillory/",
       "/run/user/7/quillory/"},
      {"system-wide, relative or empty variables are ignored",
       false,
       {{"HOME", Home}, {"XDG_CONFIG_HOME", "conf"}, {"XDG_RUNTIME_DIR", ""}, {"TMPDIR", "tmp"}},
       Home + "/.config/quillory/",
       Home + "/Bilder/Quillory/",
       "/tmp/quillory-7/"},
      {"system-wide, TMPDIR without a runtime folder",
       false,
       {{"HOME", Home}, {"TMPDIR", "/var/tmp/"}},
       Home + "/.config/quillory/",
       Home + "/Bilder/Quillory/",
       "/var/tmp/quillory-7/"},
      {"system-wide, a config home without user-dirs.dirs",
       false,
       {{"HOME", Home}, {"XDG_CONFIG_HOME", Temp.Path() + "bare"}},
       Temp.Path() + "bare/quillory/",
       Home + "/Pictures/Quillory/",
       "/tmp/quillory-7/"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TFolderEnvironment Environment;
    Environment.Variables = C.Variables;
    Environment.ProgramDirWritable = C.Writable;
    Environment.UserId = 7;
    const TFolders Folders = ResolveFolders("/opt/q/bin", Environment);
    EXPECT_EQ(Folders.Portable, C.Writable);
    EXPECT_EQ(Folders.ProgramDir, "/opt/q/bin/");
    EXPECT_EQ(Folders.ConfigDir, C.ConfigDir);
    EXPECT_EQ(Folders.ImageDir, C.ImageDir);
    EXPECT_EQ(Folders.WorkDir, C.WorkDir);
    EXPECT_EQ(Folders.ConfigFile(), C.ConfigDir + "Config.ini");
  }
}

TEST(FoldersTest, PicturesFolderOfUserDirsDirs) {
  TTempDir Temp;
  const std::string File = Temp.Path() + "user-dirs.dirs";
  struct TCase {
    const char* Content;
    std::string Expected;
  } Cases[] = {
      {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", "/home/u/Pictures/"},
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Mes images\"\n",
       "/home/u/Mes images/"},
      {"XDG_PICTURES_DIR=\"/data/pics/\"\n", "/data/pics/"},
      {"  XDG_PICTURES_DIR=\"$HOME/a\\\"b\\\\c\"\r\n", "/home/u/a\"b\\c/"},
      {"XDG_PICTURES_DIR=\"$HOME/one\"\nXDG_PICTURES_DIR=\"$HOME/two\"\n", "/home/u/two/"},
      {"XDG_PICTURES_DIR=$HOME/bare\n", "/home/u/bare/"},
      // Disabled, relative, unclosed, commented out, not quite $HOME:
      {"XDG_PICTURES_DIR=\"$HOME/\"\n", ""},
      {"XDG_PICTURES_DIR=\"Pictures\"\n", ""},
      {"XDG_PICTURES_DIR=\"$HOME/open\n", ""},
      {"# XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", ""},
      {"XDG_PICTURES_DIR=\"$HOMER/x\"\n", ""},
      {"", ""},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Content);
    Put(File, C.Content);
    EXPECT_EQ(ReadPicturesDir(File, "/home/u"), C.Expected);
  }
  EXPECT_EQ(ReadPicturesDir(Temp.Path() + "absent", "/home/u"), "");
}

// Lang.ini and the help PDFs beside the program (portable) or in
// ../share/quillory/ (system-wide), found without regard to case.
TEST(FoldersTest, ResourcesBesideTheProgramOrInItsShareFolder) {
  TTempDir Temp;
  const std::string Bin = Temp.Path() + "usr/bin/";
  const std::string Share = Temp.Path() + "usr/share/quillory/";
  fs::create_directories(Bin);
  // Without a share folder a missing file belongs beside the program.
  EXPECT_EQ(FindResourceFile(Bin, "Lang.ini"), Bin + "Lang.ini");
  fs::create_directories(Share);
  EXPECT_EQ(FindResourceFile(Bin, "Lang.ini"), Share + "Lang.ini");
  Put(Share + "lang.INI", "");
  EXPECT_EQ(FindResourceFile(Bin, "Lang.ini"), Share + "lang.INI");
  Put(Bin + "Lang.ini", "");
  EXPECT_EQ(FindResourceFile(Bin, "Lang.ini"), Bin + "Lang.ini") << "beside the program wins";
  Put(Share + "Help_fra.pdf", "");
  EXPECT_EQ(FindResourceFile(Bin, "Help_fra.pdf"), Share + "Help_fra.pdf");
}

TEST(FoldersTest, StandardFoldersAreMadeWithTheirParents) {
  TTempDir Temp;
  TFolderEnvironment Environment;
  Environment.Variables = {{"HOME", Temp.Path() + "home"}};
  Environment.ProgramDirWritable = false;
  const TFolders Folders = ResolveFolders(Temp.Path() + "bin/", Environment);
  Folders.MakeConfigDir();
  Folders.MakeImageDir();
  EXPECT_TRUE(fs::is_directory(Temp.Path() + "home/.config/quillory"));
  EXPECT_TRUE(fs::is_directory(Temp.Path() + "home/Pictures/Quillory"));
  struct stat St;
  ASSERT_EQ(stat((Temp.Path() + "home/.config/quillory").c_str(), &St), 0);
  EXPECT_EQ(St.st_mode & 0777, 0700u) << "settings are the user's own";

  // Portable: the image folder's last level only, as always, and no
  // config folder to make.
  Environment.ProgramDirWritable = true;
  const TFolders Portable = ResolveFolders(Temp.Path() + "missing/bin/", Environment);
  Portable.MakeConfigDir();
  Portable.MakeImageDir();
  EXPECT_FALSE(fs::exists(Temp.Path() + "missing"));
}

TEST(FoldersTest, WhetherTheProgramFolderTakesFiles) {
  TTempDir Temp;
  EXPECT_TRUE(ProgramDirAcceptsFiles(Temp.Path()));
  EXPECT_FALSE(ProgramDirAcceptsFiles(Temp.Path() + "absent/"));
  // The package manager's folders, even for root.
  EXPECT_FALSE(ProgramDirAcceptsFiles("/usr/bin/"));
  EXPECT_FALSE(ProgramDirAcceptsFiles("/usr/local/bin"));
  EXPECT_FALSE(ProgramDirAcceptsFiles("/opt/../usr/bin/"));
}

}  // namespace
