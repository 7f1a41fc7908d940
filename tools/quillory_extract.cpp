// quillory-extract: the pictures of SWF movies, saved as the program's Save all
// saves them, without a window.
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "extract/Scripts.h"
#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace {

const char* const Usage = "Usage: quillory-extract [--out DIR] [--prefix P] MOVIE.swf...\n";

const char* const Help =
    "Saves every picture of each SWF movie given, exactly as opening the movie in\n"
    "Quillory and choosing Save all does: JPEG pictures as .jpg, lossless pictures\n"
    "as .bmp, and the pictures with transparency also as .png, in\n"
    "DIR/<movie file name>/JPEG/, BMP/ and PNG/, named P + picture number.\n"
    "\n"
    "Options:\n"
    "  --out DIR      folder under which each movie gets its own folder (created\n"
    "                 if missing, one level); default: ImageDir of Config.ini\n"
    "                 beside this program, or its IMAGES/ folder\n"
    "  --prefix P     start of every file name; default: Prefix of Config.ini,\n"
    "                 or \"Image\"\n"
    "  --help         this text\n"
    "\n"
    "One line per movie tells how many pictures were saved; every problem is\n"
    "explained on the error output. Exit status: 0 when every movie was read\n"
    "whole and every picture saved, 1 otherwise, 2 for a wrong command line.\n";

// Messages about single files stop after this many per movie.
constexpr int MaxFileMessages = 10;

bool IsDirectory(const std::string& Path) {
  struct stat St;
  return stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

// A movie starts with "FWS" (plain), "CWS" (zlib) or "ZWS" (LZMA). Anything
// else is not one this program reads, and gets no folders: the answer tells
// what a walk would have found.
bool LooksLikeMovie(const std::string& Path, TWalkResult& Probe) {
  Probe = TWalkResult();
  FILE* File = std::fopen(Path.c_str(), "rb");
  if (!File) {
    Probe.LoadError = errno;
    return false;
  }
  Probe.Loaded = true;
  unsigned char Signature[3] = {0, 0, 0};
  size_t Got = std::fread(Signature, 1, 3, File);
  std::fclose(File);
  return Got == 3 && (Signature[0] == 'F' || Signature[0] == 'C' || Signature[0] == 'Z') &&
         Signature[1] == 'W' && Signature[2] == 'S';
}

// Progress on a terminal for movies that take a while, and the failures of
// single pictures and files.
class TConsole : public TExtractObserver {
 public:
  TConsole(const std::string& Movie, bool Terminal) : FMovie(Movie), FTerminal(Terminal) {}
  ~TConsole() override { ClearLine(); }

  void WalkProgress(int Percent) override {
    if (Percent != FLastShown && Due()) Show("reading " + std::to_string(Percent) + "%");
    FLastShown = Percent;
  }
  void SaveProgress(int32_t Done, int32_t Total) override {
    if (Due()) Show("saving " + std::to_string(Done) + "/" + std::to_string(Total));
  }
  void PictureFailed(int32_t Number, const std::string& Message) override {
    MarkFailed(Number);
    Say("picture " + std::to_string(Number) + " could not be saved as PNG (" + Message + ").");
  }
  void FileNotWritten(int32_t Number, const std::string& FileName,
                      const std::string& Reason) override {
    MarkFailed(Number);
    if (++FFileMessages > MaxFileMessages) return;
    Say("cannot write " + FileName + ": " + Reason + ".");
  }
  void NothingToSave(int32_t Number) override {
    MarkFailed(Number);
    Say("picture " + std::to_string(Number) +
        " holds nothing that can be saved (its record is damaged or empty); no file was "
        "written for it.");
  }

  void Say(const std::string& Sentence) {
    ClearLine();
    std::fprintf(stderr, "quillory-extract: %s: %s\n", FMovie.c_str(), Sentence.c_str());
  }
  // Pictures with at least one file missing.
  int32_t FailedPictures() const { return int32_t(FFailed.size()); }
  int FileMessages() const { return FFileMessages; }

 private:
  bool Due() {
    if (!FTerminal) return false;
    auto Now = std::chrono::steady_clock::now();
    if (Now - FStart < std::chrono::milliseconds(500) ||
        Now - FLastDraw < std::chrono::milliseconds(100))
      return false;
    FLastDraw = Now;
    return true;
  }
  void Show(const std::string& Text) {
    std::fprintf(stderr, "\r\033[K%s: %s", FMovie.c_str(), Text.c_str());
    std::fflush(stderr);
    FLineShown = true;
  }
  void ClearLine() {
    if (!FLineShown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    FLineShown = false;
  }
  void MarkFailed(int32_t Number) {
    if (FFailed.empty() || FFailed.back() != Number) FFailed.push_back(Number);
  }

  std::string FMovie;
  bool FTerminal;
  std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point FLastDraw{};
  bool FLineShown = false;
  int FLastShown = -1;
  int FFileMessages = 0;
  std::vector<int32_t> FFailed;  // in picture order, each once
};

// A private working folder, so two runs never share scratch files.
class TScratch {
 public:
  TScratch() {
    std::string Pattern =
        (std::filesystem::temp_directory_path() / "quillory-extract-XXXXXX").string();
    if (mkdtemp(Pattern.data())) FPath = Pattern + "/";
  }
  ~TScratch() {
    std::error_code Ignored;
    if (!FPath.empty()) std::filesystem::remove_all(FPath, Ignored);
  }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

// Saves one movie's pictures; false when anything went wrong.
bool ExtractMovie(TWorkspace& Workspace, const std::string& Movie, const std::string& ImageDir,
                  const std::string& Prefix, bool Terminal) {
  TConsole Console(Movie, Terminal);
  struct stat St;
  if (stat(Movie.c_str(), &St) == 0 && S_ISDIR(St.st_mode)) {
    Console.Say("This is a folder, not a movie.");
    return false;
  }
  TWalkResult Probe;
  if (!LooksLikeMovie(Movie, Probe)) {
    Console.Say(WalkProblemText(Probe) + " Nothing was extracted.");
    return false;
  }

  ResetWorkspace(Workspace, TPictureSettings().PicSize);
  DropPictureStores(Workspace);
  TWalkResult Walk = OpenAndExtract(Workspace, Movie, ImageDir, &Console);
  bool Ok = true;
  if (!Walk.Loaded) {
    Console.Say(WalkProblemText(Walk) + " Nothing was extracted.");
    return false;
  }
  for (const char* Sub : {"", "JPEG/", "BMP/", "PNG/"}) {
    std::string Folder = Workspace.OutputDir + Sub;
    if (IsDirectory(Folder)) continue;
    // Tried once more only to learn why it failed.
    int Error = mkdir(Folder.c_str(), 0777) == 0 ? 0 : errno;
    if (Error == 0) continue;
    Console.Say("cannot create the folder " + Folder + ": " + std::strerror(Error) + ".");
    Ok = false;
    break;
  }

  int32_t Count = Workspace.Pictures.Count;
  SaveAllPictures(Workspace, Prefix, &Console);
  if (Console.FileMessages() > MaxFileMessages)
    Console.Say(std::to_string(Console.FileMessages() - MaxFileMessages) +
                " more files could not be written.");
  if (Console.FailedPictures() > 0) Ok = false;
  // The same sentences the window shows, and what became of the pictures.
  switch (WalkProblem(Walk)) {
    case wpNone:
      break;
    case wpNotAMovie:
    case wpLZMALost:
      Console.Say(WalkProblemText(Walk) +
                  (Count > 0 ? " The pictures found in it were saved." : " No picture was found."));
      Ok = false;
      break;
    case wpBodyLost:
      Console.Say(WalkProblemText(Walk) + " The pictures found in it were saved.");
      Ok = false;
      break;
    default:
      Console.Say(WalkProblemText(Walk) + " The pictures found before the damage were saved.");
      Ok = false;
      break;
  }
  const int32_t Saved = Count - Console.FailedPictures();
  std::printf("%s: %d %s saved\n", Movie.c_str(), Saved, Saved == 1 ? "picture" : "pictures");
  std::fflush(stdout);
  return Ok;
}

// The folder of this program's own file, where Config.ini lives beside it.
std::string ProgramFolder(const char* Argument0) {
  std::error_code Error;
  fs::path Self = fs::read_symlink("/proc/self/exe", Error);
  if (Error) Self = fs::absolute(Argument0, Error);
  return Self.parent_path().string() + "/";
}

int UsageError(const std::string& Message) {
  std::fprintf(stderr, "quillory-extract: %s\n%sTry 'quillory-extract --help'.\n", Message.c_str(),
               Usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Args(argv + 1, argv + argc);
  const std::string ProgramDir = ProgramFolder(argv[0]);

  std::string OutDir, Prefix;
  bool HasOut = false, HasPrefix = false, OptionsDone = false;
  std::vector<std::string> Movies;
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& A = Args[i];
    auto Value = [&](const std::string& Name, std::string& Into, bool& Seen) -> bool {
      if (A == Name) {
        if (i + 1 >= Args.size()) return false;
        Into = Args[++i];
      } else {
        Into = A.substr(Name.size() + 1);
      }
      Seen = true;
      return true;
    };
    if (OptionsDone || A.empty() || A[0] != '-' || A == "-") {
      Movies.push_back(A);
    } else if (A == "--") {
      OptionsDone = true;
    } else if (A == "--help" || A == "-h") {
      std::fputs(Usage, stdout);
      std::fputs("\n", stdout);
      std::fputs(Help, stdout);
      return 0;
    } else if (A == "--out" || A.rfind("--out=", 0) == 0) {
      if (!Value("--out", OutDir, HasOut)) return UsageError("--out needs a folder.");
      if (OutDir.empty()) return UsageError("--out needs a folder.");
    } else if (A == "--prefix" || A.rfind("--prefix=", 0) == 0) {
      if (!Value("--prefix", Prefix, HasPrefix)) return UsageError("--prefix needs a text.");
      if (Prefix.find('/') != std::string::npos) return UsageError("the prefix cannot hold a '/'.");
    } else {
      return UsageError("unknown option " + A + ".");
    }
  }
  if (Movies.empty()) return UsageError("no movie given.");

  // The settings the program itself would use.
  std::string ConfigFile = FindFileNoCase(ProgramDir, "Config.ini");
  std::string ImageDir;
  if (HasOut) {
    ImageDir = OutDir.back() == '/' ? OutDir : OutDir + "/";
  } else {
    ImageDir = IniReadString(ConfigFile, "Config", "ImageDir", "");
    if (ImageDir.empty()) ImageDir = ProgramDir + "IMAGES/";
  }
  if (!HasPrefix) Prefix = IniReadString(ConfigFile, "Config", "Prefix", "Image");
  if (HasOut || ImageDir == ProgramDir + "IMAGES/") mkdir(ImageDir.c_str(), 0777);  // one level

  TScratch Scratch;
  if (Scratch.Path().empty()) {
    std::fprintf(stderr, "quillory-extract: cannot create a working folder in %s: %s.\n",
                 std::filesystem::temp_directory_path().c_str(), std::strerror(errno));
    return 1;
  }
  TWorkspace Workspace(Scratch.Path());
  bool Terminal = isatty(fileno(stderr));
  bool AllOk = true;
  for (const std::string& Movie : Movies) {
    if (!ExtractMovie(Workspace, Movie, ImageDir, Prefix, Terminal)) AllOk = false;
  }
  return AllOk ? 0 : 1;
}
