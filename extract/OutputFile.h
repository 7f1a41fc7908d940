// Output files replaced whole: every picture file is written under a
// temporary name in its own folder and renamed over its final name only once
// it is complete and closed. No failure, full disk or kill leaves a part of a
// picture under a final name, and a link planted at that name is replaced,
// never followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class TOutputFile {
 public:
  explicit TOutputFile(std::string FileName);
  // Removes the temporary file unless it was committed.
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Creates the temporary file beside the final one. A folder that is a
  // symbolic link is refused. False with Reason() set.
  bool Open();
  // All of Data, or false with Reason() set; once a step failed, every later
  // one fails with the same reason.
  bool Write(const void* Data, size_t Size);
  // A buffered stream over Write, for writers that want a FILE (libpng). It
  // belongs to this object; nullptr with Reason() set when it cannot be made.
  FILE* Stream();
  // Closes the file and renames it over the final name. True when the file
  // is there whole; otherwise the temporary file is gone and the final name
  // is as it was.
  bool Commit();
  // Gives the file up: the temporary file is removed now.
  void Discard();

  const std::string& FileName() const { return FFileName; }
  // The temporary file's path while there is one, else empty.
  std::string TempName() const;
  int Error() const { return FError; }  // errno of the first failure, 0 if none
  std::string Reason() const;           // its text

 private:
  friend struct TOutputRegistry;
  bool Fail(int Error, const char* Reason = nullptr);
  void Close();

  std::string FFileName;
  std::string FFolder;  // of the final name, for its messages
  std::string FBase;    // final name within the folder
  std::string FTemp;    // temporary name within the folder
  int FDir = -1;        // the folder, opened without following a link
  int FFd = -1;         // written
  int FLock = -1;       // holds the lock that tells it is in use, past the close
  FILE* FStream = nullptr;
  int FError = 0;
  const char* FReason = nullptr;
};

// A piece of a file that lies in memory.
struct TFilePiece {
  const uint8_t* Data;
  size_t Size;
};
// Writes the pieces one after the other as FileName, replaced whole. False
// with Reason set to why not (the system's text).
bool WriteOutputFile(const std::string& FileName, const std::vector<TFilePiece>& Pieces,
                     std::string& Reason);

// Whether a file name is one of the temporary names an output file takes.
bool IsOutputTemporaryName(const std::string& Name);

// Removes the temporary files a program that ended before committing them
// (a crash, a kill) left in Folder. One in use by a running program is
// locked and stays; one older than a day may be another program's and stays.
void RemoveAbandonedOutputFiles(const std::string& Folder);

// For a process about to end at once: removes the temporary file of every
// output file in progress and holds every other output file back (no file
// is created or renamed any more) until the process is gone. It never
// returns the registry it locks.
void AbandonOutputFiles();

// Test seam: called before each step of every output file; a nonzero answer
// makes that step fail with that errno. nullptr (the default) for none.
enum TOutputStep { osCreate, osWrite, osClose, osRename };
using TOutputFault = int (*)(TOutputStep Step, const std::string& FileName);
void SetOutputFault(TOutputFault Fault);
