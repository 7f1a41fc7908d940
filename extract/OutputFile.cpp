#include "extract/OutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

// Every temporary file in progress, so a process that must end at once can
// remove them all. Creating, renaming and removing one happen under its
// lock, so none is ever missed.
struct TOutputRegistry {
  std::mutex Lock;
  std::set<TOutputFile*> Files;

  // Never destroyed: a stop signal may come while the process exits.
  static TOutputRegistry& Get() {
    static auto* Registry = new TOutputRegistry;
    return *Registry;
  }
  static void Abandon() {
    TOutputRegistry& Registry = Get();
    Registry.Lock.lock();  // for good
    for (TOutputFile* File : Registry.Files) ::unlinkat(File->FDir, File->FTemp.c_str(), 0);
  }
};

namespace {

constexpr const char* TempMarker = ".quillory-";
constexpr const char* TempEnd = ".part";
// Temporary names keep this much of the final name, so they stay within
// the system's limit on a name.
constexpr size_t TempStemBytes = 200;
// Temporary files older than this are not ours to remove.
constexpr time_t AbandonedFor = 24 * 60 * 60;

std::atomic<TOutputFault> Fault{nullptr};

int Injected(TOutputStep Step, const std::string& FileName) {
  const TOutputFault Hook = Fault.load();
  return Hook ? Hook(Step, FileName) : 0;
}

// A folder name as open() must see it to refuse a link: without the
// trailing slashes that would make it follow one.
std::string WithoutTrailingSlashes(std::string Folder) {
  while (Folder.size() > 1 && Folder.back() == '/') Folder.pop_back();
  return Folder;
}

bool SameFile(const struct stat& A, const struct stat& B) {
  return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

ssize_t WriteThrough(void* Cookie, const char* Data, size_t Size) {
  return static_cast<TOutputFile*>(Cookie)->Write(Data, Size) ? ssize_t(Size) : 0;
}

}  // namespace

TOutputFile::TOutputFile(std::string FileName) : FFileName(std::move(FileName)) {
  const size_t Slash = FFileName.find_last_of('/');
  if (Slash == std::string::npos) {
    FFolder = ".";
    FBase = FFileName;
  } else {
    FFolder = WithoutTrailingSlashes(Slash == 0 ? "/" : FFileName.substr(0, Slash));
    FBase = FFileName.substr(Slash + 1);
  }
}

TOutputFile::~TOutputFile() {
  Discard();
}

bool TOutputFile::Fail(int Error, const char* Reason) {
  if (!FError) {
    FError = Error ? Error : EIO;
    FReason = Reason;
  }
  return false;
}

std::string TOutputFile::Reason() const {
  if (FReason) return FReason;
  return FError ? std::strerror(FError) : "";
}

std::string TOutputFile::TempName() const {
  if (FTemp.empty()) return "";
  return FFolder.back() == '/' ? FFolder + FTemp : FFolder + "/" + FTemp;
}

bool TOutputFile::Open() {
  if (FError) return false;
  if (FDir >= 0) return true;
  if (FBase.empty() || FBase == "." || FBase == "..") return Fail(EISDIR);
  // O_NOFOLLOW: a folder swapped for a link would send the picture elsewhere.
  FDir = ::open(FFolder.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (FDir < 0) {
    const int Error = errno;
    struct stat St;
    if (::lstat(FFolder.c_str(), &St) == 0 && S_ISLNK(St.st_mode))
      return Fail(ELOOP, "its folder is a symbolic link");
    return Fail(Error);
  }
  static std::atomic<unsigned> Counter{0};
  // Hidden, and never ending like a picture, so nobody takes it for one.
  const std::string Stem =
      "." + FBase.substr(0, TempStemBytes) + TempMarker + std::to_string(getpid()) + "-";
  TOutputRegistry& Registry = TOutputRegistry::Get();
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    const std::string Temp = Stem + std::to_string(++Counter) + TempEnd;
    int Fd = -1, Error = 0;
    {
      std::lock_guard<std::mutex> Hold(Registry.Lock);
      Error = Injected(osCreate, FFileName);
      if (!Error) {
        Fd = ::openat(FDir, Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0666);
        Error = Fd < 0 ? errno : 0;
      }
      if (Fd >= 0) {
        FTemp = Temp;
        Registry.Files.insert(this);
      }
    }
    if (Fd < 0) {
      if (Error == EEXIST) continue;
      Close();
      return Fail(Error);
    }
    FFd = Fd;
    // Locked while in use: the sweep for abandoned files leaves it alone. A
    // sweep that took it just before the lock leaves its name to nobody:
    // take another one.
    if (::flock(Fd, LOCK_EX) == 0) {
      struct stat Mine, Named;
      if (::fstat(Fd, &Mine) != 0 ||
          ::fstatat(FDir, Temp.c_str(), &Named, AT_SYMLINK_NOFOLLOW) != 0 ||
          !SameFile(Mine, Named)) {
        {
          std::lock_guard<std::mutex> Hold(Registry.Lock);
          Registry.Files.erase(this);
          FTemp.clear();
        }
        ::close(FFd);
        FFd = -1;
        continue;
      }
      // The lock outlives the close that comes before the rename.
      FLock = ::fcntl(Fd, F_DUPFD_CLOEXEC, 0);
      if (FLock < 0) {
        Fail(errno);
        Discard();
        return false;
      }
    }
    return true;
  }
  Close();
  return Fail(EEXIST);
}

bool TOutputFile::Write(const void* Data, size_t Size) {
  if (FError) return false;
  if (FFd < 0) return Fail(EBADF);
  if (Size == 0) return true;
  if (const int Error = Injected(osWrite, FFileName)) return Fail(Error);
  const auto* At = static_cast<const uint8_t*>(Data);
  while (Size > 0) {
    const ssize_t Done = ::write(FFd, At, std::min(Size, size_t(1) << 30));
    if (Done < 0 && errno == EINTR) continue;
    if (Done < 0) return Fail(errno);
    if (Done == 0) return Fail(EIO);
    At += Done;
    Size -= size_t(Done);
  }
  return true;
}

FILE* TOutputFile::Stream() {
  if (FStream || FError) return FStream;
  if (FFd < 0) {
    Fail(EBADF);
    return nullptr;
  }
  cookie_io_functions_t Calls{};
  Calls.write = WriteThrough;
  FStream = fopencookie(this, "w", Calls);
  if (!FStream) Fail(errno ? errno : ENOMEM);
  return FStream;
}

bool TOutputFile::Commit() {
  if (!FError && FFd < 0) Fail(EBADF);
  if (FStream) {
    if (!FError && std::fflush(FStream) != 0) Fail(errno);
    __fpurge(FStream);  // after a failure, nothing more to try
    std::fclose(FStream);
    FStream = nullptr;
  }
  // Closed before the rename: a file system may only tell of a failed
  // write at its close.
  if (!FError) {
    const int Error = Injected(osClose, FFileName);
    const int Closed = ::close(FFd);
    FFd = -1;
    if (Error) Fail(Error);
    if (Closed != 0) Fail(errno);
  }
  if (!FError) {
    TOutputRegistry& Registry = TOutputRegistry::Get();
    std::lock_guard<std::mutex> Hold(Registry.Lock);
    int Error = Injected(osRename, FFileName);
    if (!Error && ::renameat(FDir, FTemp.c_str(), FDir, FBase.c_str()) != 0) Error = errno;
    if (Error) {
      Fail(Error);
    } else {
      Registry.Files.erase(this);
      FTemp.clear();
    }
  }
  if (FError) {
    Discard();
    return false;
  }
  Close();
  return true;
}

void TOutputFile::Discard() {
  if (FStream) {
    __fpurge(FStream);
    std::fclose(FStream);
    FStream = nullptr;
  }
  if (!FTemp.empty()) {
    TOutputRegistry& Registry = TOutputRegistry::Get();
    std::lock_guard<std::mutex> Hold(Registry.Lock);
    ::unlinkat(FDir, FTemp.c_str(), 0);
    Registry.Files.erase(this);
    FTemp.clear();
  }
  Close();
}

void TOutputFile::Close() {
  for (int* Fd : {&FFd, &FLock, &FDir}) {
    if (*Fd >= 0) ::close(*Fd);
    *Fd = -1;
  }
}

bool WriteOutputFile(const std::string& FileName, const std::vector<TFilePiece>& Pieces,
                     std::string& Reason) {
  TOutputFile File(FileName);
  bool Ok = File.Open();
  for (const TFilePiece& Piece : Pieces)
    if (Ok) Ok = File.Write(Piece.Data, Piece.Size);
  if (Ok) Ok = File.Commit();
  if (!Ok) Reason = File.Reason();
  return Ok;
}

bool IsOutputTemporaryName(const std::string& Name) {
  const size_t EndSize = std::strlen(TempEnd), MarkerSize = std::strlen(TempMarker);
  if (Name.size() < 2 + MarkerSize + 3 + EndSize || Name[0] != '.' ||
      Name.compare(Name.size() - EndSize, EndSize, TempEnd) != 0)
    return false;
  const size_t Marker = Name.rfind(TempMarker);
  if (Marker == std::string::npos || Marker < 2) return false;
  // The process number and the counter: digits, a dash, digits.
  const std::string Numbers =
      Name.substr(Marker + MarkerSize, Name.size() - EndSize - Marker - MarkerSize);
  const size_t Dash = Numbers.find('-');
  return Dash != std::string::npos && Dash > 0 && Dash + 1 < Numbers.size() &&
         Numbers.find_first_not_of("0123456789-") == std::string::npos &&
         Numbers.find('-', Dash + 1) == std::string::npos;
}

void RemoveAbandonedOutputFiles(const std::string& Folder) {
  const int Dir = ::open(WithoutTrailingSlashes(Folder).c_str(),
                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (Dir < 0) return;
  DIR* Entries = ::fdopendir(Dir);
  if (!Entries) {
    ::close(Dir);
    return;
  }
  const time_t Now = std::time(nullptr);
  while (const dirent* Entry = ::readdir(Entries)) {
    const char* Name = Entry->d_name;
    if (!IsOutputTemporaryName(Name)) continue;
    struct stat Named, Held;
    if (::fstatat(Dir, Name, &Named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(Named.st_mode) ||
        Named.st_mtime < Now - AbandonedFor)
      continue;
    const int Fd = ::openat(Dir, Name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0) continue;
    // Whoever writes it holds its lock; nobody does once its program is gone.
    if (::flock(Fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(Fd, &Held) == 0 && SameFile(Held, Named))
      ::unlinkat(Dir, Name, 0);
    ::close(Fd);
  }
  ::closedir(Entries);
}

void AbandonOutputFiles() {
  TOutputRegistry::Abandon();
}

void SetOutputFault(TOutputFault Hook) {
  Fault.store(Hook);
}
