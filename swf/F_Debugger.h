// The diagnostics collector. The framework never shows or throws an error: it
// reports to the log of the work in hand and answers false; callers decide
// from the Booleans. A walk gives its thread a log of its own (see
// tDebuggerScope), so walks on several threads never mix or clear each
// other's entries; reports made outside any walk go to the fallback log
// Debugger.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Root of everything that can report: SWF items and streams name their class.
class tObject {
 public:
  virtual ~tObject() = default;
  virtual const char* ClassName() const = 0;
};

// Report kinds
enum : uint8_t {
  mkNone = 0,
  mkMessage = 1,
  mkHint = 2,
  mkWarning = 3,
  mkError = 4,
  mkFatalError = 5,
  mkSystemError = 6,
  mkInternalError = 7,
};

// KindText: the kind's text followed by one more space.
std::string KindText(uint8_t Kind);

struct tDebuggerEntry {
  std::string Text;
  std::string ClassName;  // empty when no item reported
  uint32_t Code = 0;      // the error code (the system's errno for a system error)
  uint8_t Kind = mkNone;
  int32_t Data = 0;
  uint32_t Position = 0;  // where the record being read starts in the movie
};

class tDebugger {
 public:
  tDebugger();
  void Report(const tObject* Item, uint32_t Code, uint8_t Kind, int32_t Data,
              const std::string& Message);
  void ReportSystemError(const tObject* Item, int32_t Data, const std::string& Message);
  bool Note(const tObject* Item, uint32_t Code, uint8_t Kind, int32_t Data,
            const std::string& Message);

  // Reports past this many are counted, not kept: a damaged movie of many
  // thousand records must not grow the log without end.
  static constexpr size_t MaxEntries = 1000;

  const std::vector<tDebuggerEntry>& Entries() const { return FEntries; }
  size_t Dropped() const { return FDropped; }
  // The entries, handed over; the log ends empty.
  std::vector<tDebuggerEntry> TakeEntries();
  // Where the record now being read starts, given to the entries that follow.
  void SetPosition(uint32_t Position) { FPosition = Position; }
  // Every open starts a fresh log.
  void ClearEntries() {
    std::lock_guard<std::mutex> Hold(FLock);
    FEntries.clear();
    FDropped = 0;
  }

 private:
  bool Full();

  // Pictures are saved on several threads at once; each report is one step.
  std::mutex FLock;
  std::vector<tDebuggerEntry> FEntries;
  size_t FDropped = 0;
  int32_t FPrefix = 0;
  uint32_t FPosition = 0;
};

// Where reports go when no walk has given its thread a log.
extern tDebugger Debugger;
// The log of this thread's work: the innermost scope's, or Debugger.
tDebugger& CurrentDebugger();

// Makes Log this thread's log while it lives.
class tDebuggerScope {
 public:
  explicit tDebuggerScope(tDebugger& Log);
  ~tDebuggerScope();
  tDebuggerScope(const tDebuggerScope&) = delete;
  tDebuggerScope& operator=(const tDebuggerScope&) = delete;

 private:
  tDebugger* FOuter;
};
