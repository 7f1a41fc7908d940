// quillory-extract: the pictures of SWF movies, saved as the program's Save all
// saves them, without a window. Movies and their pictures are spread over
// worker threads; what the tool says comes out in the order the movies were
// given, whatever order they finish in.
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "extract/Scripts.h"
#include "extract/Workers.h"
#include "platform/IniFile.h"
#include "swf/F_Macromedia.h"

namespace fs = std::filesystem;

namespace {

const char* const Usage =
    "Usage: quillory-extract [--out DIR] [--prefix P] [-j N] [--report FILE] MOVIE.swf...\n";

const char* const Help =
    "Saves every picture of each SWF movie given, exactly as opening the movie in\n"
    "Quillory and choosing Save all does: JPEG pictures as .jpg, lossless pictures\n"
    "as .bmp, and the pictures with transparency also as .png, in\n"
    "DIR/<movie file name>/JPEG/, BMP/ and PNG/ (and GIF/ for GIF pictures a movie\n"
    "stores whole), named P + picture number.\n"
    "\n"
    "Options:\n"
    "  --out DIR      folder under which each movie gets its own folder (created\n"
    "                 if missing, one level); default: ImageDir of Config.ini\n"
    "                 beside this program, or its IMAGES/ folder\n"
    "  --prefix P     start of every file name; default: Prefix of Config.ini,\n"
    "                 or \"Image\"\n"
    "  -j N, --jobs N number of worker threads for movies and pictures;\n"
    "                 default: one per core\n"
    "  --report FILE  writes one JSON line per movie into FILE: the movie, its\n"
    "                 signature, whether it was read whole, and for each picture\n"
    "                 its number, record kind, size, files written and errors\n"
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

// ---------------------------------------------------------------------------
// The report: one JSON line per movie
// ---------------------------------------------------------------------------

// Text as a JSON string. File names are bytes: a sequence that is not UTF-8
// becomes U+FFFD, so every line stays valid JSON.
std::string JSONString(const std::string& Text) {
  std::string Out = "\"";
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  const size_t N = Text.size();
  for (size_t i = 0; i < N;) {
    const unsigned char C = P[i];
    if (C == '"' || C == '\\') {
      Out += '\\';
      Out += char(C);
      ++i;
    } else if (C < 0x20) {
      char Escaped[8];
      std::snprintf(Escaped, sizeof Escaped, "\\u%04x", C);
      Out += Escaped;
      ++i;
    } else if (C < 0x80) {
      Out += char(C);
      ++i;
    } else {
      // The length of a well-formed sequence starting here, or 0.
      size_t Length = C >= 0xC2 && C <= 0xDF   ? 2
                      : C >= 0xE0 && C <= 0xEF ? 3
                      : C >= 0xF0 && C <= 0xF4 ? 4
                                               : 0;
      for (size_t k = 1; Length && k < Length; ++k)
        if (i + k >= N || (P[i + k] & 0xC0) != 0x80) Length = 0;
      if (Length == 3 && ((C == 0xE0 && P[i + 1] < 0xA0) || (C == 0xED && P[i + 1] > 0x9F)))
        Length = 0;  // overlong, or a surrogate
      if (Length == 4 && ((C == 0xF0 && P[i + 1] < 0x90) || (C == 0xF4 && P[i + 1] > 0x8F)))
        Length = 0;
      if (Length) {
        Out.append(Text, i, Length);
        i += Length;
      } else {
        Out += "\xEF\xBF\xBD";
        ++i;
      }
    }
  }
  return Out + "\"";
}

const char* RecordKind(int32_t TagCode) {
  switch (TagCode) {
    case stagDefineBits:
      return "DefineBits";
    case stagDefineBitsJPEG2:
      return "DefineBitsJPEG2";
    case stagDefineBitsJPEG3:
      return "DefineBitsJPEG3";
    case stagDefineBitsJPEG4:
      return "DefineBitsJPEG4";
    case stagDefineBitsLossless:
      return "DefineBitsLossless";
    case stagDefineBitsLossless2:
      return "DefineBitsLossless2";
    default:
      return "unknown";
  }
}

// ---------------------------------------------------------------------------
// One movie
// ---------------------------------------------------------------------------

// All a movie's output, kept until the movies given before it are told.
struct TMovieResult {
  std::string Out;     // its line on the standard output
  std::string Err;     // its messages
  std::string Report;  // its JSON line, without the line end
  bool Ok = false;
};

// Progress on a terminal for a movie that takes a while, the failures of
// single pictures and files, and the report's pictures.
class TConsole : public TExtractObserver {
 public:
  TConsole(const std::string& Movie, const TPictureList& Pictures, bool Progress)
      : FMovie(Movie), FPictures(Pictures), FProgress(Progress) {}
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
  void PictureDone(const TPictureOutcome& Outcome) override {
    std::string Line = "{\"number\":" + std::to_string(Outcome.Number);
    Line += ",\"kind\":" + JSONString(RecordKind(FPictures.TagCode(Outcome.Number)));
    const TEmbeddedFormat Stored = EmbeddedImage(FPictures, Outcome.Number).Format;
    const int32_t Code = FPictures.TagCode(Outcome.Number);
    const char* Format = Stored == efPNG   ? "PNG"
                         : Stored == efGIF ? "GIF"
                         : Code == stagDefineBitsLossless || Code == stagDefineBitsLossless2
                             ? "BMP"
                             : "JPEG";
    Line += ",\"format\":" + JSONString(Format);
    // Unknown (a header the decoder rejects): null.
    const bool Sized = Outcome.Size.Width > 0 && Outcome.Size.Height > 0;
    Line += ",\"width\":";
    Line += Sized ? std::to_string(Outcome.Size.Width) : "null";
    Line += ",\"height\":";
    Line += Sized ? std::to_string(Outcome.Size.Height) : "null";
    Line += ",\"files\":[";
    for (size_t i = 0; i < Outcome.Written.size(); ++i) {
      std::string File = Outcome.Written[i];
      if (File.rfind(FFolder, 0) == 0) File.erase(0, FFolder.size());
      if (i) Line += ',';
      Line += JSONString(File);
    }
    Line += "],\"errors\":[";
    std::vector<std::string> Errors;
    if (Outcome.Nothing) Errors.push_back("holds nothing that can be saved");
    for (const auto& [FileName, Reason] : Outcome.NotWritten)
      Errors.push_back("cannot write " + FileName + ": " + Reason);
    if (!Outcome.PNGFailure.empty())
      Errors.push_back("could not be saved as PNG: " + Outcome.PNGFailure);
    for (size_t i = 0; i < Errors.size(); ++i) {
      if (i) Line += ',';
      Line += JSONString(Errors[i]);
    }
    Line += "]}";
    FReportPictures.push_back(std::move(Line));
  }

  void Say(const std::string& Sentence) {
    FMessages += "quillory-extract: " + FMovie + ": " + Sentence + "\n";
  }
  void SetFolder(const std::string& Folder) { FFolder = Folder; }
  // Pictures with at least one file missing.
  int32_t FailedPictures() const { return int32_t(FFailed.size()); }
  int FileMessages() const { return FFileMessages; }
  std::string& Messages() { return FMessages; }
  const std::vector<std::string>& ReportPictures() const { return FReportPictures; }

 private:
  bool Due() {
    if (!FProgress) return false;
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
  const TPictureList& FPictures;
  bool FProgress;
  std::string FFolder;
  std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point FLastDraw{};
  bool FLineShown = false;
  int FLastShown = -1;
  int FFileMessages = 0;
  std::vector<int32_t> FFailed;  // in picture order, each once
  std::string FMessages;
  std::vector<std::string> FReportPictures;
};

// A private working folder, so two runs never share scratch files; each
// movie thread has a folder of its own in it.
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

struct TJob {
  std::string ImageDir;
  std::string Prefix;
  TWorkerPool* Pool = nullptr;  // for the pictures; none: one after the other
  bool Progress = false;        // a progress line on the terminal
  bool Report = false;
};

// The report's line for a movie.
std::string ReportLine(const std::string& Movie, const TWalkResult& Walk, bool Whole,
                       const std::string& Folder, const std::string& Problem,
                       const std::vector<std::string>& Pictures) {
  std::string Line = "{\"movie\":" + JSONString(Movie);
  Line += ",\"signature\":";
  Line += Walk.Signature ? JSONString(std::string(1, Walk.Signature) + "WS") : "null";
  Line += ",\"whole\":";
  Line += Whole ? "true" : "false";
  Line += ",\"problem\":" + (Problem.empty() ? std::string("null") : JSONString(Problem));
  Line += ",\"folder\":" + (Folder.empty() ? std::string("null") : JSONString(Folder));
  Line += ",\"pictures\":[";
  for (size_t i = 0; i < Pictures.size(); ++i) {
    if (i) Line += ',';
    Line += Pictures[i];
  }
  return Line + "]}";
}

// Saves one movie's pictures.
TMovieResult ExtractMovie(TWorkspace& Workspace, const std::string& Movie, const TJob& Job) {
  TMovieResult Result;
  TConsole Console(Movie, Workspace.Pictures, Job.Progress);
  const auto Finish = [&](const TWalkResult& Walk, bool Whole, const std::string& Problem,
                          bool Folder) {
    Result.Err = std::move(Console.Messages());
    if (Job.Report)
      Result.Report = ReportLine(Movie, Walk, Whole, Folder ? Workspace.OutputDir : "", Problem,
                                 Console.ReportPictures());
    return Result;
  };
  struct stat St;
  if (stat(Movie.c_str(), &St) == 0 && S_ISDIR(St.st_mode)) {
    Console.Say("This is a folder, not a movie.");
    return Finish(TWalkResult(), false, "This is a folder, not a movie.", false);
  }
  TWalkResult Probe;
  if (!LooksLikeMovie(Movie, Probe)) {
    Console.Say(WalkProblemText(Probe) + " Nothing was extracted.");
    return Finish(Probe, false, WalkProblemText(Probe), false);  // no folder was made
  }

  ResetWorkspace(Workspace, TPictureSettings().PicSize);
  DropPictureStores(Workspace);
  TWalkResult Walk = OpenAndExtract(Workspace, Movie, Job.ImageDir, &Console);
  Console.SetFolder(Workspace.OutputDir);
  if (!Walk.Loaded) {
    Console.Say(WalkProblemText(Walk) + " Nothing was extracted.");
    return Finish(Walk, false, WalkProblemText(Walk), true);
  }
  bool Ok = true;
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
  SaveAllPictures(Workspace, Job.Prefix, &Console, Job.Pool);
  if (Console.FileMessages() > MaxFileMessages)
    Console.Say(std::to_string(Console.FileMessages() - MaxFileMessages) +
                " more files could not be written.");
  if (Console.FailedPictures() > 0) Ok = false;
  // The same sentences the window shows, and what became of the pictures.
  const TWalkProblem Problem = WalkProblem(Walk);
  switch (Problem) {
    case wpNone:
      break;
    case wpNotAMovie:
    case wpLZMALost:
      Console.Say(WalkProblemText(Walk) +
                  (Count > 0 ? " The pictures found in it were saved." : " No picture was found."));
      break;
    case wpBodyLost:
      Console.Say(WalkProblemText(Walk) + " The pictures found in it were saved.");
      break;
    default:
      Console.Say(WalkProblemText(Walk) + " The pictures found before the damage were saved.");
      break;
  }
  if (Problem != wpNone) Ok = false;
  const int32_t Saved = Count - Console.FailedPictures();
  Result.Out =
      Movie + ": " + std::to_string(Saved) + (Saved == 1 ? " picture" : " pictures") + " saved\n";
  Result.Ok = Ok;
  return Finish(Walk, Problem == wpNone, WalkProblemText(Walk), true);
}

int UsageError(const std::string& Message) {
  std::fprintf(stderr, "quillory-extract: %s\n%sTry 'quillory-extract --help'.\n", Message.c_str(),
               Usage);
  return 2;
}

// The folder of this program's own file, where Config.ini lives beside it.
std::string ProgramFolder(const char* Argument0) {
  std::error_code Error;
  fs::path Self = fs::read_symlink("/proc/self/exe", Error);
  if (Error) Self = fs::absolute(Argument0, Error);
  return Self.parent_path().string() + "/";
}

// A number of workers: a whole number of at least 1.
bool ParseJobs(const std::string& Text, unsigned& Jobs) {
  if (Text.empty() || Text.size() > 4 || Text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  Jobs = unsigned(std::stoul(Text));
  return Jobs >= 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Args(argv + 1, argv + argc);
  const std::string ProgramDir = ProgramFolder(argv[0]);

  std::string OutDir, Prefix, ReportFile, JobsText;
  bool HasOut = false, HasPrefix = false, HasReport = false, HasJobs = false;
  bool OptionsDone = false;
  std::vector<std::string> Movies;
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& A = Args[i];
    auto Value = [&](const std::string& Name, std::string& Into, bool& Seen) -> bool {
      if (A == Name) {
        if (i + 1 >= Args.size()) return false;
        Into = Args[++i];
      } else if (A.rfind(Name + "=", 0) == 0) {
        Into = A.substr(Name.size() + 1);
      } else {
        Into = A.substr(Name.size());  // -j4
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
    } else if (A == "--report" || A.rfind("--report=", 0) == 0) {
      if (!Value("--report", ReportFile, HasReport) || ReportFile.empty())
        return UsageError("--report needs a file.");
    } else if (A == "--jobs" || A.rfind("--jobs=", 0) == 0 || A.rfind("-j", 0) == 0) {
      const bool Long = A.rfind("--jobs", 0) == 0;
      if (!Value(Long ? "--jobs" : "-j", JobsText, HasJobs))
        return UsageError("-j needs a number of workers.");
    } else {
      return UsageError("unknown option " + A + ".");
    }
  }
  if (Movies.empty()) return UsageError("no movie given.");
  unsigned Jobs = TWorkerPool::Cores();
  if (HasJobs && !ParseJobs(JobsText, Jobs))
    return UsageError("-j needs a number of workers of 1 or more, not '" + JobsText + "'.");

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

  FILE* Report = nullptr;
  if (HasReport) {
    Report = std::fopen(ReportFile.c_str(), "w");
    if (!Report) {
      std::fprintf(stderr, "quillory-extract: cannot write the report %s: %s.\n",
                   ReportFile.c_str(), std::strerror(errno));
      return 1;
    }
  }
  TScratch Scratch;
  if (Scratch.Path().empty()) {
    std::fprintf(stderr, "quillory-extract: cannot create a working folder in %s: %s.\n",
                 std::filesystem::temp_directory_path().c_str(), std::strerror(errno));
    if (Report) std::fclose(Report);
    return 1;
  }

  // One pool for the pictures; as many movies in hand at once as workers, so
  // a batch of small movies keeps every core busy too.
  std::unique_ptr<TWorkerPool> Pool;
  if (Jobs > 1) Pool = std::make_unique<TWorkerPool>(Jobs);
  const size_t Walkers = std::min<size_t>(Jobs, Movies.size());
  TJob Job{ImageDir, Prefix, Pool.get(), Walkers == 1 && isatty(fileno(stderr)), HasReport};

  // Movies of the same file name save into the same folder: each waits for
  // the one before it, so their files are replaced whole, in the order given,
  // as one worker would, and never written by two at once.
  std::vector<size_t> SameFolderBefore(Movies.size(), SIZE_MAX);
  {
    std::map<std::string, size_t> Last;
    for (size_t N = 0; N < Movies.size(); ++N) {
      auto [It, New] = Last.try_emplace(MovieOutputDir(ImageDir, Movies[N]), N);
      if (!New) SameFolderBefore[N] = std::exchange(It->second, N);
    }
  }
  std::vector<std::optional<TMovieResult>> Results(Movies.size());
  std::vector<bool> Finished(Movies.size(), false);
  std::mutex Lock;
  std::condition_variable Ready;
  std::atomic<size_t> NextMovie{0};
  const auto Walk = [&](size_t Slot) {
    TWorkspace Workspace(Scratch.Path() + "w" + std::to_string(Slot) + "/");
    for (size_t N = NextMovie++; N < Movies.size(); N = NextMovie++) {
      // Movies are taken in order, so the one waited for is already in hand.
      if (const size_t Before = SameFolderBefore[N]; Before != SIZE_MAX) {
        std::unique_lock<std::mutex> Hold(Lock);
        Ready.wait(Hold, [&] { return bool(Finished[Before]); });
      }
      TMovieResult Result = ExtractMovie(Workspace, Movies[N], Job);
      {
        std::lock_guard<std::mutex> Hold(Lock);
        Results[N] = std::move(Result);
        Finished[N] = true;
      }
      Ready.notify_all();
    }
  };
  std::vector<std::thread> Threads;
  if (Walkers > 1)
    for (size_t Slot = 0; Slot < Walkers; ++Slot) Threads.emplace_back(Walk, Slot);

  TWorkspace Sequential(Scratch.Path() + "w0/");
  bool AllOk = true;
  for (size_t N = 0; N < Movies.size(); ++N) {
    TMovieResult Result;
    if (Walkers > 1) {
      std::unique_lock<std::mutex> Hold(Lock);
      Ready.wait(Hold, [&] { return Results[N].has_value(); });
      Result = std::move(*Results[N]);
      Results[N].reset();
    } else {
      Result = ExtractMovie(Sequential, Movies[N], Job);
    }
    std::fputs(Result.Err.c_str(), stderr);
    std::fputs(Result.Out.c_str(), stdout);
    std::fflush(stdout);
    if (Report) std::fprintf(Report, "%s\n", Result.Report.c_str());
    if (!Result.Ok) AllOk = false;
  }
  for (std::thread& Thread : Threads) Thread.join();
  if (Report && std::fclose(Report) != 0) {
    std::fprintf(stderr, "quillory-extract: cannot write the report %s: %s.\n", ReportFile.c_str(),
                 std::strerror(errno));
    return 1;
  }
  return AllOk ? 0 : 1;
}
