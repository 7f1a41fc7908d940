// quillory-extract: the pictures of SWF movies, saved as the program's Save all
// saves them, without a window. Movies and their pictures are spread over
// worker threads; what the tool says comes out in the order the movies were
// given, whatever order they finish in.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "extract/Export.h"
#include "extract/Extract.h"
#include "extract/OutputFile.h"
#include "extract/Workers.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/Version.h"
#include "swf/F_Macromedia.h"

namespace fs = std::filesystem;

namespace {

const char* const Usage = "Usage: quillory-extract [OPTION]... MOVIE.swf|FOLDER...\n";

const char* const Help =
    "Saves every picture of each SWF movie given, exactly as opening the movie in\n"
    "Quillory and choosing Save all does: JPEG pictures as .jpg, lossless pictures\n"
    "as .bmp, and the pictures with transparency also as .png, in\n"
    "DIR/<movie file name>/JPEG/, BMP/ and PNG/ (and GIF/ for GIF pictures a movie\n"
    "stores whole), named P + picture number. The pictures of the movies and the\n"
    "picture files a movie carries in DefineBinaryData records come after its own.\n"
    "\n"
    "A FOLDER is searched with all its subfolders for files whose names end in\n"
    ".swf, in any letter case, taken in sorted path order; links to folders are\n"
    "not followed. When a search brings a movie whose file name an earlier movie\n"
    "has, its pictures go to DIR/<parent folder>_<movie file name>/ instead (with\n"
    "the folders above added, one by one, while that name is taken too), so\n"
    "neither movie replaces the other's files. Movies named one by one share\n"
    "their folder, the later one's files replacing the earlier one's.\n"
    "\n"
    "Options:\n"
    "  --out DIR      folder under which each movie gets its own folder (created\n"
    "                 if missing, one level); default: ImageDir of Config.ini,\n"
    "                 else IMAGES/ beside this program in a portable install,\n"
    "                 ~/Pictures/Quillory/ otherwise\n"
    "  --prefix P     start of every file name; default: Prefix of Config.ini,\n"
    "                 or \"Image\"\n"
    "  --names        adds the picture's symbol name (from the movie's\n"
    "                 SymbolClass or ExportAssets records) to its file names:\n"
    "                 P + number + \"_\" + name; default: NamesInFiles of\n"
    "                 Config.ini\n"
    "  --premultiplied  keeps in the PNG files the colours as the movie stores\n"
    "                 them, multiplied by their alpha; without it, partly\n"
    "                 transparent pixels get straight colours, as Flash shows\n"
    "                 them and as PNG viewers expect; default: Premultiplied of\n"
    "                 Config.ini\n"
    "  -j N, --jobs N number of worker threads for movies and pictures;\n"
    "                 default: one per core\n"
    "  --report FILE  writes one JSON line per movie into FILE: the movie, its\n"
    "                 signature, whether it was read whole, and for each picture\n"
    "                 its number, record kind, size, character ID, names, the\n"
    "                 binary data it lies in, files written and errors\n"
    "  --files-from FILE\n"
    "                 takes more movies (or folders) from FILE, one path a line;\n"
    "                 - reads them from the standard input\n"
    "  -q, --quiet    no progress line and no line per movie; problems are still\n"
    "                 explained\n"
    "  -l, --list     writes nothing: prints each picture on a line of its own\n"
    "                 (movie: number, record kind, stored format, width x height,\n"
    "                 \"id\" and the character ID, its names, and the binary data\n"
    "                 it lies in); with --report, the same lines with no files\n"
    "  -v, --verbose  also prints what the reader noticed in each movie: one line\n"
    "                 per entry of its log, with its error code and the byte where\n"
    "                 the record it was reading starts\n"
    "  --help         this text\n"
    "  --version      the version of this program\n"
    "\n"
    "Config.ini lies beside this program when its folder can be written (a\n"
    "portable install), in $XDG_CONFIG_HOME/quillory/ (~/.config/quillory/)\n"
    "otherwise.\n"
    "\n"
    "On a terminal, a progress line on the error output tells how many movies are\n"
    "done, how many pictures were saved and the time taken. One line per movie\n"
    "tells how many pictures were saved; every problem is explained on the error\n"
    "output. Every file is written under a temporary name and renamed once whole,\n"
    "so a picture is never found half written. Exit status: 0 when every movie\n"
    "was read whole and every picture saved, 1 otherwise, 2 for a wrong command\n"
    "line.\n"
    "\n"
    "SIGINT (Ctrl+C) or SIGTERM stops the run: the pictures in hand are\n"
    "finished, no other is started, and the exit status is 130 or 143. A second\n"
    "signal ends it at once; no half-written file is left either way.\n";

// Messages about single files stop after this many per movie.
constexpr int MaxFileMessages = 10;

// ---------------------------------------------------------------------------
// Stopping: SIGINT and SIGTERM
// ---------------------------------------------------------------------------

// The first stop signal that came, 0 while none did. From then on no movie
// and no picture is started.
std::atomic<int> StopSignal{0};
// Held while a line of the report is written, so a run that ends at once
// leaves whole lines only.
std::mutex ReportLock;

const char* SignalName(int Signal) {
  return Signal == SIGINT ? "SIGINT" : "SIGTERM";
}

// The stop signals are blocked in every thread and taken here, so what they
// do runs as ordinary code: the first asks the run to stop, the second ends
// it at once, without a temporary file left.
void WatchStopSignals(sigset_t Signals) {
  for (;;) {
    int Signal = 0;
    if (sigwait(&Signals, &Signal) != 0) continue;
    int First = 0;
    if (StopSignal.compare_exchange_strong(First, Signal)) continue;
    ReportLock.lock();  // for good: a line being written is finished first
    AbandonOutputFiles();
    const std::string Text =
        std::string("quillory-extract: stopped at once by ") + SignalName(Signal) + ".\n";
    if (write(STDERR_FILENO, Text.data(), Text.size()) < 0) {
      // Nothing more to tell it with.
    }
    _exit(128 + First);
  }
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
  const int Error = std::ferror(File) ? errno : 0;
  std::fclose(File);
  if (Error) {  // opened, but its bytes cannot be read
    Probe.Loaded = false;
    Probe.LoadError = Error;
    return false;
  }
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

// ---------------------------------------------------------------------------
// The progress line
// ---------------------------------------------------------------------------

// "12 of 340 movies, 1520 pictures saved, 0:42" on the error output, a
// terminal, rewritten in place by a thread of its own a few times a second.
// The workers only count, so the line costs them nothing they would notice.
class TProgressLine {
 public:
  explicit TProgressLine(size_t Total) : FTotal(Total), FDrawer([this] { Run(); }) {}
  ~TProgressLine() {
    {
      std::lock_guard<std::mutex> Hold(FLock);
      FStop = true;
    }
    FWake.notify_all();
    FDrawer.join();
    Clear();
  }
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  void PictureSaved() { FPictures.fetch_add(1, std::memory_order_relaxed); }
  void MovieDone() { FMovies.fetch_add(1, std::memory_order_relaxed); }
  // Runs Write, which prints on the terminal, with the line out of the way,
  // then puts the line back under what it printed.
  template <typename TWrite>
  void Between(TWrite Write) {
    std::lock_guard<std::mutex> Hold(FLock);
    const bool Shown = FShown;
    Clear();
    Write();
    if (Shown) Draw();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> Hold(FLock);
    // A batch done in a blink shows no line at all.
    auto Next = FStart + std::chrono::milliseconds(300);
    while (!FWake.wait_until(Hold, Next, [this] { return FStop; })) {
      Next += std::chrono::milliseconds(250);
      Draw();
    }
  }
  void Draw() {
    const long Seconds = long(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - FStart)
            .count());
    char Elapsed[32];
    if (Seconds >= 3600)
      std::snprintf(Elapsed, sizeof Elapsed, "%ld:%02ld:%02ld", Seconds / 3600, Seconds / 60 % 60,
                    Seconds % 60);
    else
      std::snprintf(Elapsed, sizeof Elapsed, "%ld:%02ld", Seconds / 60, Seconds % 60);
    const size_t Pictures = FPictures.load(std::memory_order_relaxed);
    std::string Line = std::to_string(FMovies.load(std::memory_order_relaxed)) + " of " +
                       std::to_string(FTotal) + (FTotal == 1 ? " movie, " : " movies, ") +
                       std::to_string(Pictures) +
                       (Pictures == 1 ? " picture saved, " : " pictures saved, ") + Elapsed;
    // A line wider than the terminal would wrap, and only its last row would
    // be rewritten.
    winsize Size{};
    if (ioctl(fileno(stderr), TIOCGWINSZ, &Size) == 0 && Size.ws_col > 1 &&
        Line.size() >= Size.ws_col)
      Line.resize(Size.ws_col - 1);
    std::fprintf(stderr, "\r\033[K%s", Line.c_str());
    std::fflush(stderr);
    FShown = true;
  }
  void Clear() {
    if (!FShown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    FShown = false;
  }

  const size_t FTotal;
  const std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
  std::atomic<size_t> FMovies{0}, FPictures{0};
  std::mutex FLock;  // the terminal's last line, and FStop
  std::condition_variable FWake;
  bool FStop = false;
  bool FShown = false;
  std::thread FDrawer;  // last: it starts once everything above is ready
};

// ---------------------------------------------------------------------------
// One movie
// ---------------------------------------------------------------------------

// All a movie's output, kept until the movies given before it are told.
struct TMovieResult {
  std::string Out;     // its line on the standard output
  std::string Err;     // its messages
  std::string Report;  // its JSON line, without the line end
  bool Ok = false;
  bool Started = true;   // false: the run was stopped before it
  bool Finished = true;  // false: stopped before all its pictures were dealt with
};

// The pictures saved for the progress line, the failures of single pictures
// and files, and the report's pictures.
class TConsole : public TExtractObserver {
 public:
  TConsole(const std::string& Movie, const TPictureList& Pictures, TProgressLine* Progress)
      : FMovie(Movie), FPictures(Pictures), FProgress(Progress) {}

  void PictureFailed(int32_t Number, const std::string& Message) override {
    Say("picture " + std::to_string(Number) + " could not be saved as PNG (" + Message + ").");
  }
  void FileNotWritten(int32_t /*Number*/, const std::string& FileName,
                      const std::string& Reason) override {
    if (++FFileMessages > MaxFileMessages) return;
    Say("cannot write " + FileName + ": " + Reason + ".");
  }
  void NothingToSave(int32_t Number) override {
    Say("picture " + std::to_string(Number) +
        " holds nothing that can be saved (its record is damaged or empty); no file was "
        "written for it.");
  }
  void NotEnoughMemory(int32_t Number, TPictureSize Size) override {
    Say(MemoryShortText(Number, Size));
  }
  bool Cancelled() override { return StopSignal.load() != 0; }
  // Every picture dealt with comes here once, after what went wrong with it
  // was told.
  void PictureDone(const TPictureOutcome& Outcome) override {
    ++FTold;
    if (!Outcome.Whole())
      ++FFailed;
    else if (FProgress)
      FProgress->PictureSaved();
    AddReportPicture(Outcome);
  }

  // --list: picture Number told on its own line, and in the report with no
  // file. Nothing was saved, so the progress line does not count it.
  std::string ListLine(int32_t Number) {
    TPictureOutcome Outcome;
    Outcome.Number = Number;
    AddReportPicture(Outcome);
    const TPictureFacts& Facts = FPictures.Facts(Number);
    std::string Line = FMovie + ": " + std::to_string(Number) + " " +
                       RecordKindName(Facts.TagCode) + " " + StoredFormatName(Facts.Format) + " ";
    Line += Facts.Size.Known()
                ? std::to_string(Facts.Size.Width) + "x" + std::to_string(Facts.Size.Height)
                : std::string("?x?");
    Line += " id " + (Facts.CharacterID >= 0 ? std::to_string(Facts.CharacterID) : "?");
    for (const std::string& Name : Facts.Names) {
      Line += ' ';
      Line += JSONString(Name);
    }
    if (!Facts.Carrier.empty()) {
      Line += " in binary data";
      for (size_t i = 0; i < Facts.Carrier.size(); ++i) {
        Line += i ? " > " : " ";
        Line += std::to_string(Facts.Carrier[i]);
      }
    }
    return Line + "\n";
  }

  void Say(const std::string& Sentence) {
    FMessages += "quillory-extract: " + FMovie + ": " + Sentence + "\n";
  }
  void SetFolder(const std::string& Folder) { FFolder = Folder; }
  // Pictures with at least one file missing.
  int32_t FailedPictures() const { return FFailed; }
  // Pictures dealt with, saved or not.
  int32_t Told() const { return FTold; }
  int FileMessages() const { return FFileMessages; }
  std::string& Messages() { return FMessages; }
  const std::vector<std::string>& ReportPictures() const { return FReportPictures; }

 private:
  // The picture's entry in the report's line for the movie.
  void AddReportPicture(const TPictureOutcome& Outcome) {
    const TPictureFacts& Facts = FPictures.Facts(Outcome.Number);
    std::string Line = "{\"number\":" + std::to_string(Outcome.Number);
    Line += ",\"kind\":" + JSONString(RecordKindName(Facts.TagCode));
    Line += ",\"format\":" + JSONString(StoredFormatName(Facts.Format));
    // Unknown (a header the decoder rejects): null.
    const bool Sized = Facts.Size.Known();
    Line += ",\"width\":";
    Line += Sized ? std::to_string(Facts.Size.Width) : "null";
    Line += ",\"height\":";
    Line += Sized ? std::to_string(Facts.Size.Height) : "null";
    Line += ",\"id\":";
    Line += Facts.CharacterID >= 0 ? std::to_string(Facts.CharacterID) : "null";
    Line += ",\"names\":[";
    for (size_t i = 0; i < Facts.Names.size(); ++i) {
      if (i) Line += ',';
      Line += JSONString(Facts.Names[i]);
    }
    Line += "],\"carrier\":[";
    for (size_t i = 0; i < Facts.Carrier.size(); ++i) {
      if (i) Line += ',';
      Line += std::to_string(Facts.Carrier[i]);
    }
    Line += "]";
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
    if (Outcome.MemoryShort)
      Errors.push_back(MemoryShortText(Outcome.Number, Facts.Size));
    else if (!Outcome.PNGFailure.empty())
      Errors.push_back("could not be saved as PNG: " + Outcome.PNGFailure);
    for (size_t i = 0; i < Errors.size(); ++i) {
      if (i) Line += ',';
      Line += JSONString(Errors[i]);
    }
    Line += "]}";
    FReportPictures.push_back(std::move(Line));
  }

  std::string FMovie;
  const TPictureList& FPictures;
  TProgressLine* FProgress;
  std::string FFolder;
  int FFileMessages = 0;
  int32_t FTold = 0;
  int32_t FFailed = 0;
  std::string FMessages;
  std::vector<std::string> FReportPictures;
};

struct TJob {
  std::string OutDir;  // the folder each movie's folder is made in
  std::string Prefix;
  // The pool for the pictures, started the first time a movie has work for
  // it; null: one after the other.
  std::function<TWorkerPool*()> Pool;
  TProgressLine* Progress = nullptr;  // on the terminal
  bool Report = false;
  bool Verbose = false;  // the walk's log on the error output
  bool List = false;     // the pictures told, nothing written
  TExportOptions Options;
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

// Why no picture of a movie can be saved at all, in one sentence, or
// nothing when they can: its folders are made here, and each must be a
// folder of its own (not a link to one elsewhere) that can be written.
std::string OutputFolderProblem(const std::string& ImageDir, const std::string& Folder) {
  const auto WithoutSlash = [](const std::string& Path) {
    return Path.size() > 1 && Path.back() == '/' ? Path.substr(0, Path.size() - 1) : Path;
  };
  struct stat St;
  if (stat(WithoutSlash(ImageDir).c_str(), &St) == 0 && !S_ISDIR(St.st_mode))
    return "cannot save into " + WithoutSlash(ImageDir) + ": it is a file, not a folder.";
  std::vector<std::string> Folders{Folder};
  for (const char* Sub : OutputSubfolders) Folders.push_back(Folder + Sub);
  for (const std::string& Path : Folders) {
    if (lstat(WithoutSlash(Path).c_str(), &St) == 0) {
      if (S_ISLNK(St.st_mode))
        return "the folder " + Path + " is a symbolic link; nothing is saved through it.";
      if (!S_ISDIR(St.st_mode))
        return "cannot create the folder " + Path + ": a file of that name is in the way.";
    } else if (mkdir(Path.c_str(), 0777) != 0 && errno != EEXIST) {
      return "cannot create the folder " + Path + ": " + std::strerror(errno) + ".";
    }
  }
  // Asked of the system, as for this process: nothing is written to find out.
  for (const char* Sub : OutputSubfolders)
    if (faccessat(AT_FDCWD, (Folder + Sub).c_str(), W_OK | X_OK, AT_EACCESS) != 0)
      return "cannot write into the folder " + Folder + Sub + ": " + std::strerror(errno) + ".";
  return "";
}

// "picture 3" or "pictures 3 to 9".
std::string PictureRange(int32_t First, int32_t Last) {
  return First == Last ? "picture " + std::to_string(First)
                       : "pictures " + std::to_string(First) + " to " + std::to_string(Last);
}

// Whether the pictures give worker threads something to share: more than one
// picture, or a PNG large enough to be deflated in bands.
bool NeedsPool(const TPictureList& Pictures) {
  if (Pictures.Count > 1) return true;
  const TPictureFacts& Facts = Pictures.Facts(0);
  return Pictures.Count == 1 && Facts.HasAlpha &&
         uint64_t(Facts.Size.Width) * uint64_t(Facts.Size.Height) * 4 >= (uint64_t(4) << 20);
}

// Saves one movie's pictures into ImageDir + its file name.
TMovieResult ExtractMovieOnce(TWorkspace& Workspace, const std::string& Movie,
                              const std::string& ImageDir, const TJob& Job) {
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
  // Told once for the movie, before its walk, rather than for every picture.
  if (const std::string Problem =
          Job.List ? "" : OutputFolderProblem(Job.OutDir, MovieOutputDir(ImageDir, Movie));
      !Problem.empty()) {
    Console.Say(Problem + " Nothing was saved.");
    Result.Out = Movie + ": 0 pictures saved\n";
    return Finish(Probe, false, Problem, false);
  }

  ResetWorkspace(Workspace);
  DropPictureStores(Workspace);
  TWalkResult Walk = OpenAndExtract(Workspace, Movie, Job.List ? "" : ImageDir, &Console);
  Console.SetFolder(Workspace.OutputDir);
  if (!Walk.Loaded) {
    Console.Say(WalkProblemText(Walk) + " Nothing was extracted.");
    return Finish(Walk, false, WalkProblemText(Walk), true);
  }
  bool Ok = true;
  int32_t Count = Workspace.Pictures.Count;
  std::string Listed;
  if (Job.List)
    for (int32_t N = 0; N < Count; ++N) Listed += Console.ListLine(N);
  else
    SaveAllPictures(Workspace, Job.Prefix, &Console,
                    NeedsPool(Workspace.Pictures) ? Job.Pool() : nullptr, Job.Options);
  // A stop leaves the pictures after those in hand unsaved, and says so.
  const int32_t Told = Job.List ? Count : Console.Told();
  if (Told < Count) {
    Result.Finished = false;
    Ok = false;
    Console.Say("the run was stopped before " + PictureRange(Told, Count - 1) +
                (Count - Told == 1 ? "; it was not saved." : "; they were not saved."));
  }
  if (Console.FileMessages() > MaxFileMessages)
    Console.Say(std::to_string(Console.FileMessages() - MaxFileMessages) +
                " more files could not be written.");
  if (Console.FailedPictures() > 0) Ok = false;
  // The same sentences the window shows, and what became of the pictures.
  const TWalkProblem Problem = WalkProblem(Walk);
  switch (Job.List && Problem != wpNone ? wpRecordDamaged : Problem) {
    case wpNone:
      break;
    case wpRecordDamaged:
      if (Job.List) {  // nothing was saved to tell of
        Console.Say(WalkProblemText(Walk));
        break;
      }
      Console.Say(WalkProblemText(Walk) + " The pictures found before the damage were saved.");
      break;
    case wpBodyMemory:
      Console.Say(WalkProblemText(Walk) + " No picture was saved.");
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
  // A movie carried inside is told like a movie, by the binary data it lies in.
  for (const TCarriedWalk& Carried : Walk.Carried) {
    if (WalkProblem(Carried.Walk) == wpNone) continue;
    Console.Say(CarriedProblemText(Carried) +
                (Job.List ? "" : " The pictures found in it were saved."));
    Ok = false;
  }
  if (Problem != wpNone) Ok = false;
  if (Job.Verbose) {
    for (const tDebuggerEntry& Entry : Walk.Log) Console.Say("log: " + LogEntryText(Entry));
    if (Walk.LogDropped > 0)
      Console.Say("log: " + std::to_string(Walk.LogDropped) + " more entries were not kept.");
  }
  const int32_t Saved = Told - Console.FailedPictures();
  Result.Out = Job.List ? Listed
                        : Movie + ": " + std::to_string(Saved) +
                              (Saved == 1 ? " picture" : " pictures") + " saved\n";
  Result.Ok = Ok;
  return Finish(Walk, ReadWhole(Walk), WalkProblemText(Walk), true);
}

// Saves one movie's pictures; memory refused where the core could not tell
// it picture by picture ends this movie only, told, and the next goes on.
TMovieResult ExtractMovie(TWorkspace& Workspace, const std::string& Movie,
                          const std::string& ImageDir, const TJob& Job) {
  try {
    return ExtractMovieOnce(Workspace, Movie, ImageDir, Job);
  } catch (const std::bad_alloc&) {
    DropPictureStores(Workspace);
    ResetWorkspace(Workspace);
    const std::string Sentence = "Not enough memory to read the movie.";
    TMovieResult Result;
    Result.Err = "quillory-extract: " + Movie + ": " + Sentence + "\n";
    if (Job.Report)
      Result.Report = ReportLine(Movie, TWalkResult(), false,
                                 Job.List ? "" : MovieOutputDir(ImageDir, Movie), Sentence, {});
    return Result;
  }
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

// ---------------------------------------------------------------------------
// The movies: named, searched for in folders, read from lists
// ---------------------------------------------------------------------------

struct TMovie {
  std::string Path;
  bool Searched = false;  // found in a folder
  // Its output folder is ImageDir + its file name.
  std::string ImageDir;
};

// "*.swf" in any letter case.
bool IsMovieName(const std::string& Name) {
  if (Name.size() < 4) return false;
  std::string Tail = Name.substr(Name.size() - 4);
  for (char& C : Tail) C = char(std::tolower(static_cast<unsigned char>(C)));
  return Tail == ".swf";
}

class TMovieCollector {
 public:
  std::vector<TMovie> Movies;
  bool Ok = true;  // every folder searched whole and every list read

  // A path from the command line or a list: a folder is searched, anything
  // else is taken for a movie (and explained later if it is none).
  void Add(const std::string& Path) {
    struct stat St;
    if (stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode))
      Search(Path);
    else
      Movies.push_back({Path, false, {}});
  }
  // One path a line; "-" is the standard input. Empty lines are passed over.
  // A NUL ends a line too, so the lists of find -print0 are read, and the
  // "\r" of a CRLF list is no part of the path.
  bool AddList(const std::string& ListFile) {
    FILE* In = ListFile == "-" ? stdin : std::fopen(ListFile.c_str(), "r");
    if (!In) {
      Say(ListFile, std::string("cannot read this list of movies: ") + std::strerror(errno) + ".");
      return false;
    }
    std::string Line;
    const auto Take = [&] {
      if (!Line.empty() && Line.back() == '\r') Line.pop_back();
      if (!Line.empty()) Add(Line);
      Line.clear();
    };
    bool Read = true;
    for (int C; (C = std::getc(In)) != EOF;) {
      if (C == '\n' || C == '\0')
        Take();
      else
        Line += char(C);
    }
    if (std::ferror(In)) {
      Say(ListFile, std::string("cannot read this list of movies: ") + std::strerror(errno) + ".");
      Read = false;
    }
    Take();
    if (In != stdin) std::fclose(In);
    return Read;
  }

 private:
  void Search(const std::string& Folder) {
    const std::string Root = Folder.back() == '/' ? Folder : Folder + "/";
    std::vector<fs::path> Found;
    std::vector<fs::path> Pending = {fs::path(Root)};
    bool Whole = true;
    while (!Pending.empty()) {
      const fs::path Dir = std::move(Pending.back());
      Pending.pop_back();
      std::error_code Error;
      fs::directory_iterator Entries(Dir, Error), End;
      for (; !Error && Entries != End; Entries.increment(Error)) {
        std::error_code Ignored;
        const fs::file_status Own = Entries->symlink_status(Ignored);
        if (fs::is_directory(Own)) {
          Pending.push_back(Entries->path());
        } else if (IsMovieName(Entries->path().filename().string()) &&
                   fs::is_regular_file(Entries->status(Ignored))) {
          Found.push_back(Entries->path());  // a file, or a link to one
        }
      }
      if (Error) {
        Say(Dir.string(), "cannot search this folder: " + Error.message() + ".");
        Ok = Whole = false;
      }
    }
    if (Found.empty() && Whole) {
      Say(Folder, "no movie (*.swf) was found in this folder.");
      Ok = false;
    }
    // Path order, folder by folder: "a/z.swf" before "a-b/a.swf".
    std::sort(Found.begin(), Found.end());
    for (const fs::path& Path : Found) Movies.push_back({Path.string(), true, {}});
  }
  void Say(const std::string& Path, const std::string& Sentence) {
    std::fprintf(stderr, "quillory-extract: %s: %s\n", Path.c_str(), Sentence.c_str());
  }
};

// Each movie's output folder. Movies of the same file name share one, as the
// window's saves of them would; but a searched movie whose folder an earlier
// movie (another file) already has gets the name of its parent folder in
// front, DIR/<parent>_<name>/, and the folders above while that is taken too.
// That is the ImageDir joined to the file name without a separator.
void NameOutputFolders(std::vector<TMovie>& Movies, const std::string& ImageDir) {
  std::map<std::string, fs::path> Taken;  // folder -> the movie that has it
  for (TMovie& Movie : Movies) {
    Movie.ImageDir = ImageDir;
    std::error_code Ignored;
    const fs::path Self = fs::absolute(Movie.Path, Ignored).lexically_normal();
    std::string Folder = MovieOutputDir(ImageDir, Movie.Path);
    auto It = Taken.find(Folder);
    if (Movie.Searched && It != Taken.end() && It->second != Self) {
      std::string Parents;
      for (fs::path Up = Self.parent_path(); Up.has_filename(); Up = Up.parent_path()) {
        Parents = Up.filename().string() + "_" + Parents;
        Folder = MovieOutputDir(ImageDir + Parents, Movie.Path);
        It = Taken.find(Folder);
        if (It == Taken.end() || It->second == Self) {
          Movie.ImageDir = ImageDir + Parents;
          break;
        }
      }
      // Every folder above taken means the same movie again: it shares.
      if (Movie.ImageDir == ImageDir) Folder = MovieOutputDir(ImageDir, Movie.Path);
    }
    Taken.try_emplace(Folder, Self);
  }
}

}  // namespace

int main(int argc, char** argv) {
  KeepHeapSlack();
  std::vector<std::string> Args(argv + 1, argv + argc);
  const std::string ProgramDir = ProgramFolder(argv[0]);

  std::string OutDir, Prefix, ReportFile, JobsText, ListFile;
  bool HasOut = false, HasPrefix = false, HasReport = false, HasJobs = false;
  bool OptionsDone = false, Quiet = false, Verbose = false, Names = false, Premultiplied = false;
  bool List = false;
  // Movies and folders, and lists of them, in the order given.
  struct TSource {
    bool List;
    std::string Path;
  };
  std::vector<TSource> Sources;
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& A = Args[i];
    auto Value = [&](const std::string& Name, std::string& Into, bool* Seen) -> bool {
      if (A == Name) {
        if (i + 1 >= Args.size()) return false;
        Into = Args[++i];
      } else if (A.rfind(Name + "=", 0) == 0) {
        Into = A.substr(Name.size() + 1);
      } else {
        Into = A.substr(Name.size());  // -j4
      }
      if (Seen) *Seen = true;
      return true;
    };
    if (OptionsDone || A.empty() || A[0] != '-' || A == "-") {
      Sources.push_back({false, A});
    } else if (A == "--") {
      OptionsDone = true;
    } else if (A == "--help" || A == "-h") {
      std::fputs(Usage, stdout);
      std::fputs("\n", stdout);
      std::fputs(Help, stdout);
      return 0;
    } else if (A == "--version") {
      std::fputs("quillory-extract " QUILLORY_VERSION "\n", stdout);
      return 0;
    } else if (A == "--quiet" || A == "-q") {
      Quiet = true;
    } else if (A == "--verbose" || A == "-v") {
      Verbose = true;
    } else if (A == "--names") {
      Names = true;
    } else if (A == "--premultiplied") {
      Premultiplied = true;
    } else if (A == "--files-from" || A.rfind("--files-from=", 0) == 0) {
      if (!Value("--files-from", ListFile, nullptr) || ListFile.empty())
        return UsageError("--files-from needs a file, or - for the standard input.");
      Sources.push_back({true, ListFile});
    } else if (A == "--list" || A == "-l") {
      List = true;
    } else if (A == "--out" || A.rfind("--out=", 0) == 0) {
      if (!Value("--out", OutDir, &HasOut)) return UsageError("--out needs a folder.");
      if (OutDir.empty()) return UsageError("--out needs a folder.");
    } else if (A == "--prefix" || A.rfind("--prefix=", 0) == 0) {
      if (!Value("--prefix", Prefix, &HasPrefix)) return UsageError("--prefix needs a text.");
      if (Prefix.find('/') != std::string::npos) return UsageError("the prefix cannot hold a '/'.");
    } else if (A == "--report" || A.rfind("--report=", 0) == 0) {
      if (!Value("--report", ReportFile, &HasReport) || ReportFile.empty())
        return UsageError("--report needs a file.");
    } else if (A == "--jobs" || A.rfind("--jobs=", 0) == 0 || A.rfind("-j", 0) == 0) {
      const bool Long = A.rfind("--jobs", 0) == 0;
      if (!Value(Long ? "--jobs" : "-j", JobsText, &HasJobs))
        return UsageError("-j needs a number of workers.");
    } else {
      return UsageError("unknown option " + A + ".");
    }
  }
  if (Sources.empty()) return UsageError("no movie given.");
  unsigned Jobs = TWorkerPool::Cores();
  if (HasJobs && !ParseJobs(JobsText, Jobs))
    return UsageError("-j needs a number of workers of 1 or more, not '" + JobsText + "'.");

  // Started after the options, so --help and a usage error start no thread;
  // before any other thread, so every thread inherits the blocked signals and
  // only the watcher takes them.
  sigset_t Stops;
  sigemptyset(&Stops);
  sigaddset(&Stops, SIGINT);
  sigaddset(&Stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &Stops, nullptr);
  std::thread(WatchStopSignals, Stops).detach();

  // The settings the program itself would use, from the same folders.
  const TFolders Folders = ResolveFolders(ProgramDir);
  const TIniText Config = TIniText::Load(Folders.ConfigFile());
  const auto ConfigSwitch = [&](const char* Key) {
    return IniParseInteger(Config.ReadString("Config", Key, "")).value_or(0) == 1;
  };
  std::string ImageDir;
  if (HasOut) {
    ImageDir = OutDir.back() == '/' ? OutDir : OutDir + "/";
  } else {
    ImageDir = Config.ReadString("Config", "ImageDir", "");
    if (ImageDir.empty()) ImageDir = Folders.ImageDir;
  }
  if (!HasPrefix) {
    // A "/" would put the files outside the movie's folders: the window
    // falls back to its default then, and so does the tool.
    Prefix = Config.ReadString("Config", "Prefix", "Image");
    if (Prefix.find('/') != std::string::npos) Prefix = "Image";
  }
  if (!Names) Names = ConfigSwitch("NamesInFiles");
  if (!Premultiplied) Premultiplied = ConfigSwitch("Premultiplied");
  if (List)
    ;  // nothing is written
  else if (HasOut)
    mkdir(ImageDir.c_str(), 0777);  // one level
  else if (ImageDir == Folders.ImageDir)
    Folders.MakeImageDir();

  TMovieCollector Collector;
  for (const TSource& Source : Sources) {
    if (!Source.List)
      Collector.Add(Source.Path);
    else if (!Collector.AddList(Source.Path))
      return 1;  // before anything is done
  }
  std::vector<TMovie>& Movies = Collector.Movies;
  if (Movies.empty()) {
    if (Collector.Ok) std::fputs("quillory-extract: no movie to extract.\n", stderr);
    return 1;
  }
  NameOutputFolders(Movies, ImageDir);

  FILE* Report = nullptr;
  if (HasReport) {
    Report = std::fopen(ReportFile.c_str(), "w");
    if (!Report) {
      std::fprintf(stderr, "quillory-extract: cannot write the report %s: %s.\n",
                   ReportFile.c_str(), std::strerror(errno));
      return 1;
    }
  }
  // One pool for the pictures, started only when a movie has more than one
  // picture to write (or one large PNG); as many movies in hand at once as
  // workers, so a batch of small movies keeps every core busy too.
  std::unique_ptr<TWorkerPool> Pool;
  std::once_flag PoolStarted;
  const auto StartPool = [&]() -> TWorkerPool* {
    if (Jobs <= 1) return nullptr;
    std::call_once(PoolStarted, [&] { Pool = std::make_unique<TWorkerPool>(Jobs); });
    return Pool.get();
  };
  const size_t Walkers = std::min<size_t>(Jobs, Movies.size());
  std::optional<TProgressLine> Progress;
  if (!Quiet && isatty(fileno(stderr))) Progress.emplace(Movies.size());
  const bool OutOnTerminal = isatty(fileno(stdout));
  TJob Job{ImageDir, Prefix, StartPool, Progress ? &*Progress : nullptr, HasReport, Verbose,
           List, TExportOptions{Names, Premultiplied}};

  // Movies of the same file name save into the same folder: each waits for
  // the one before it, so their files are replaced whole, in the order given,
  // as one worker would, and never written by two at once.
  std::vector<size_t> SameFolderBefore(Movies.size(), SIZE_MAX);
  {
    std::map<std::string, size_t> Last;
    for (size_t N = 0; N < Movies.size(); ++N) {
      auto [It, New] = Last.try_emplace(MovieOutputDir(Movies[N].ImageDir, Movies[N].Path), N);
      if (!New) SameFolderBefore[N] = std::exchange(It->second, N);
    }
  }
  std::vector<std::optional<TMovieResult>> Results(Movies.size());
  std::vector<bool> Finished(Movies.size(), false);
  std::mutex Lock;
  std::condition_variable Ready;
  std::atomic<size_t> NextMovie{0};
  const auto Walk = [&] {
    TWorkspace Workspace;
    for (size_t N = NextMovie++; N < Movies.size(); N = NextMovie++) {
      // Movies are taken in order, so the one waited for is already in hand.
      if (const size_t Before = SameFolderBefore[N]; Before != SIZE_MAX) {
        std::unique_lock<std::mutex> Hold(Lock);
        Ready.wait(Hold, [&] { return bool(Finished[Before]); });
      }
      TMovieResult Result;
      if (StopSignal.load()) {
        Result.Started = false;
      } else {
        Result = ExtractMovie(Workspace, Movies[N].Path, Movies[N].ImageDir, Job);
        if (Progress) Progress->MovieDone();
      }
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
    for (size_t Slot = 0; Slot < Walkers; ++Slot) Threads.emplace_back(Walk);

  TWorkspace Sequential;
  bool AllOk = true;
  int ReportError = 0;  // the errno of the first report write that failed
  const auto TellReportError = [&] {
    std::fprintf(stderr, "quillory-extract: cannot write the report %s: %s.\n",
                 ReportFile.c_str(), std::strerror(ReportError));
  };
  size_t MoviesFinished = 0;
  for (size_t N = 0; N < Movies.size(); ++N) {
    TMovieResult Result;
    if (Walkers > 1) {
      std::unique_lock<std::mutex> Hold(Lock);
      Ready.wait(Hold, [&] { return Results[N].has_value(); });
      Result = std::move(*Results[N]);
      Results[N].reset();
    } else if (StopSignal.load()) {
      Result.Started = false;
    } else {
      Result = ExtractMovie(Sequential, Movies[N].Path, Movies[N].ImageDir, Job);
      if (Progress) Progress->MovieDone();
    }
    if (!Result.Started) continue;
    const auto Tell = [&] {
      std::fputs(Result.Err.c_str(), stderr);
      // A listing is what was asked for, quiet or not.
      if (!Quiet || List) std::fputs(Result.Out.c_str(), stdout);
      std::fflush(stdout);
    };
    // The line makes way only for what reaches the terminal.
    if (Progress && (!Result.Err.empty() || ((!Quiet || List) && OutOnTerminal)))
      Progress->Between(Tell);
    else
      Tell();
    // Only movies done with: the report holds no line that a stop cut short.
    // Once a line failed, the report is told of once and written no more.
    if (Report && Result.Finished && !ReportError) {
      std::lock_guard<std::mutex> Hold(ReportLock);
      const std::string Line = Result.Report + "\n";
      errno = 0;
      if (std::fwrite(Line.data(), 1, Line.size(), Report) != Line.size() ||
          std::fflush(Report) != 0) {
        ReportError = errno ? errno : EIO;
        if (Progress)
          Progress->Between(TellReportError);
        else
          TellReportError();
      }
    }
    if (Result.Finished) ++MoviesFinished;
    if (!Result.Ok) AllOk = false;
  }
  for (std::thread& Thread : Threads) Thread.join();
  Progress.reset();
  if (!Collector.Ok) AllOk = false;
  if (Report) {
    std::lock_guard<std::mutex> Hold(ReportLock);
    const bool Told = ReportError != 0;
    errno = 0;
    const bool Broken = std::ferror(Report) != 0;
    if (std::fclose(Report) != 0 || Broken) {
      if (!ReportError) ReportError = errno ? errno : EIO;
    }
    if (ReportError && !Told) TellReportError();
    if (ReportError) AllOk = false;
  }
  if (const int Signal = StopSignal.load()) {
    std::fprintf(stderr, "quillory-extract: the run was stopped by %s: %zu of %zu %s finished.\n",
                 SignalName(Signal), MoviesFinished, Movies.size(),
                 Movies.size() == 1 ? "movie" : "movies");
    return 128 + Signal;
  }
  return AllOk ? 0 : 1;
}
