// The observer: progress and results of the long operations, so the core runs
// without any window. The program binds it to the splash and the status bar,
// the command-line tool to its terminal, tests to a recorder.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "extract/PictureList.h"

// What became of one picture's files.
struct TPictureOutcome {
  int32_t Number = 0;
  bool Nothing = false;  // it held nothing a file could hold
  // Files that could not be written, each with the system's reason.
  std::vector<std::pair<std::string, std::string>> NotWritten;
  std::string PNGFailure;            // why its PNG could not be made; empty when it was
  std::vector<std::string> Written;  // the files written, in the order written
  // Memory was too short for it (its record in the walk, or a file it needs):
  // the files it could have were not all made.
  bool MemoryShort = false;
  bool Whole() const {
    return !Nothing && !MemoryShort && NotWritten.empty() && PNGFailure.empty();
  }
};

class TExtractObserver {
 public:
  virtual ~TExtractObserver() = default;
  virtual void WalkStarted(const std::string& /*MoviePath*/) {}  // splash up, path shown
  virtual void WalkProgress(int /*Percent*/) {}                  // after every record
  virtual void WalkEnded(int32_t /*Count*/) {}                   // picture count known
  virtual void SaveProgress(int32_t /*Done*/, int32_t /*Total*/) {}
  // The PNG of a picture with alpha could not be composed or written.
  virtual void PictureFailed(int32_t /*Number*/, const std::string& /*Message*/) {}
  // A JPEG, BMP, PNG or GIF file the list holds whole could not be written
  // (Reason: the system's text); the export goes on without it.
  virtual void FileNotWritten(int32_t /*Number*/, const std::string& /*FileName*/,
                              const std::string& /*Reason*/) {}
  // The picture holds nothing that could become a file (a record too short
  // for its layout, JPEG data its repair empties, lossless pixels that cannot
  // fill their size): no file was written for it.
  virtual void NothingToSave(int32_t /*Number*/) {}
  // Memory was too short for picture Number, of this size (0 x 0 unknown):
  // what it needed was not made, and the rest goes on.
  virtual void NotEnoughMemory(int32_t /*Number*/, TPictureSize /*Size*/) {}
  // Everything about one picture of Save all, after the calls above.
  virtual void PictureDone(const TPictureOutcome& /*Outcome*/) {}
  // Asked before each picture of Save all: true stops it there.
  virtual bool Cancelled() { return false; }
};
