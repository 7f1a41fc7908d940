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
int TakeLock(const std::string& Folder) {
  const int Fd = ::open((Folder + LockName).c_str(), O_RDWR | O_CLOEXEC);
  if (Fd < 0) return -1;
  if (flock(Fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(Fd);
    return -1;
  }
  return Fd;
}

}  // namespace

void RemoveAbandonedWorkingFolders(const std::string& Parent) {
  std::error_code Error;
  fs::directory_iterator Entries(Parent, Error), End;
  for (; !Error && Entries != End; Entries.increment(Error)) {
    const fs::path Path = Entries->path();
    std::error_code Ignored;
    if (Path.filename().string().rfind(Prefix, 0) != 0 || !fs::is_directory(Path, Ignored))
      continue;
    const std::string Folder = Path.string() + "/";
    const int Fd = TakeLock(Folder);
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
  std::error_code Ignored;
  fs::remove(Parent, Ignored);  // only when empty: anything else in it stays
}
