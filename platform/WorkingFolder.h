// TWorkingFolder: a scratch folder of its own for each running window, below
// a shared parent (the program's TEMP/ folder). Each is made at start,
// locked while it is in use and removed when it is done; folders left by a
// program that ended without removing its own (a crash, a kill) are removed
// by the next one to start, since nobody holds their lock any more.
#pragma once

#include <string>

class TWorkingFolder {
 public:
  // Makes Parent (one level) and a fresh folder in it. Path() is empty when
  // that was not possible; the window then works without scratch files.
  explicit TWorkingFolder(const std::string& Parent);
  ~TWorkingFolder();
  TWorkingFolder(const TWorkingFolder&) = delete;
  TWorkingFolder& operator=(const TWorkingFolder&) = delete;

  const std::string& Path() const { return FPath; }  // ends in "/"

  // Removes the folders of Parent that no running program holds.
  static void RemoveAbandoned(const std::string& Parent);

 private:
  std::string FPath;
  int FLock = -1;
};
