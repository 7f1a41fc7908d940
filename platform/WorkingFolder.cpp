#include "platform/WorkingFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* Prefix = "run-";
constexpr const char* LockName = ".lock";
// A folder without its lock file may be one whose owner is still about to
// make it; only after this long is it taken for abandoned.
constexpr auto Grace = std::chrono::minutes(1);

// The lock of Folder, held: -1 when someone else holds it (or it cannot be
// opened).
int TakeLock(const std::string& Folder, bool Create) {
  const int Fd =
      ::open((Folder + LockName).c_str(), O_RDWR | O_CLOEXEC | (Create ? O_CREAT : 0), 0600);
  if (Fd < 0) return -1;
  if (flock(Fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(Fd);
    return -1;
  }
  return Fd;
}

}  // namespace

TWorkingFolder::TWorkingFolder(const std::string& Parent) {
  ::mkdir(Parent.c_str(), 0777);  // one level; an existing folder is fine
  RemoveAbandoned(Parent);
  std::string Pattern = Parent + Prefix + std::to_string(getpid()) + "-XXXXXX";
  if (!mkdtemp(Pattern.data())) return;
  const std::string Folder = Pattern + "/";
  FLock = TakeLock(Folder, true);
  if (FLock < 0) {
    std::error_code Ignored;
    fs::remove_all(Pattern, Ignored);
    return;
  }
  FPath = Folder;
}

TWorkingFolder::~TWorkingFolder() {
  if (FPath.empty()) return;
  std::error_code Ignored;
  fs::remove_all(FPath, Ignored);
  if (FLock >= 0) ::close(FLock);
}

void TWorkingFolder::RemoveAbandoned(const std::string& Parent) {
  std::error_code Error;
  fs::directory_iterator Entries(Parent, Error), End;
  for (; !Error && Entries != End; Entries.increment(Error)) {
    const fs::path Path = Entries->path();
    std::error_code Ignored;
    if (Path.filename().string().rfind(Prefix, 0) != 0 || !fs::is_directory(Path, Ignored))
      continue;
    const std::string Folder = Path.string() + "/";
    const int Fd = TakeLock(Folder, false);
    if (Fd < 0) {
      // Held by a running program, or without a lock file at all: then it is
      // abandoned only once it is old enough.
      struct stat St;
      if (::stat((Folder + LockName).c_str(), &St) == 0) continue;
      const auto Written = fs::last_write_time(Path, Ignored);
      if (Ignored || fs::file_time_type::clock::now() - Written < Grace) continue;
    }
    fs::remove_all(Path, Ignored);
    if (Fd >= 0) ::close(Fd);
  }
}
