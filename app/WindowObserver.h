// How the main window follows its long operations: the observer that shows
// the progress of an open or a save in the splash and the status bar and
// collects what was not saved, and the relay that brings a Save all's
// calls from its thread to the window's.
#pragma once

#include <QElapsedTimer>
#include <QStringList>
#include <atomic>
#include <functional>

#include "app/Main.h"

class TMainForm::TWindowObserver : public TExtractObserver {
 public:
  explicit TWindowObserver(TMainForm& Form) : F(Form) {}

  void WalkStarted(const std::string& MoviePath) override;
  void WalkProgress(int Percent) override;
  void SaveProgress(int32_t Done, int32_t Total) override;

  // One line per thing that was not saved, in the interface's language.
  void PictureFailed(int32_t Number, const std::string& Message) override;
  void FileNotWritten(int32_t Number, const std::string& FileName,
                      const std::string& Reason) override;
  void NothingToSave(int32_t Number) override;
  void NotEnoughMemory(int32_t Number, TPictureSize Size) override;

  QStringList Failures;

 private:
  TMainForm& F;
  QElapsedTimer FTimer;
  int FLastPercent = -1;
};

// Save all's observer on the thread that saves: every call goes on to the
// window's own observer on the window's thread, in the order it came.
class TSaveRelay : public TExtractObserver {
 public:
  TSaveRelay(QObject* Window, TExtractObserver& Target, const std::atomic<bool>& Stop)
      : FWindow(Window), FTarget(Target), FStop(Stop) {}

  void SaveProgress(int32_t Done, int32_t Total) override;
  void PictureFailed(int32_t Number, const std::string& Message) override;
  void FileNotWritten(int32_t Number, const std::string& FileName,
                      const std::string& Reason) override;
  void NothingToSave(int32_t Number) override;
  void NotEnoughMemory(int32_t Number, TPictureSize Size) override;
  bool Cancelled() override { return FStop; }

 private:
  void Post(std::function<void()> Call);

  QObject* FWindow;
  TExtractObserver& FTarget;
  const std::atomic<bool>& FStop;
};
