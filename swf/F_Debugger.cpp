#include "swf/F_Debugger.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "swf/F_ErrorCodes.h"

tDebugger Debugger;

namespace {
thread_local tDebugger* ThreadLog = nullptr;
}  // namespace

tDebugger& CurrentDebugger() {
  return ThreadLog ? *ThreadLog : Debugger;
}

tDebuggerScope::tDebuggerScope(tDebugger& Log) : FOuter(ThreadLog) {
  ThreadLog = &Log;
}

tDebuggerScope::~tDebuggerScope() {
  ThreadLog = FOuter;
}

namespace {

const char* const KindTexts[] = {
    "",        " Message ",     "{Hint}",         "(Warning)",
    " Error ", " Fatal error ", " System error ", "(:Internal error:)",
};

std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}

std::string Decimal(const char* Pattern, long long Value) {
  char Text[64];
  int Length = std::snprintf(Text, sizeof Text, Pattern, Value);
  return Length < 0 ? std::string() : std::string(Text);
}

}  // namespace

std::string KindText(uint8_t Kind) {
  std::string Text = Kind < std::size(KindTexts) ? KindTexts[Kind] : "";
  return Text + " ";
}

tDebugger::tDebugger() = default;

bool tDebugger::Full() {
  if (FEntries.size() < MaxEntries) return false;
  ++FDropped;
  return true;
}

void tDebugger::Report(const tObject* Item, uint32_t Code, uint8_t Kind, int32_t Data,
                       const std::string& Message) {
  std::lock_guard<std::mutex> Hold(FLock);
  if (Full()) return;
  try {
    std::string ClassPart;
    if (Item) ClassPart = ", class name: " + Quoted(Item->ClassName());
    std::string MessagePart;
    if (!Message.empty()) MessagePart = " with message: " + Quoted(Message);
    if (Data != 0) MessagePart += Decimal(", (%lld)", Data);
    std::string Body = KindText(Kind) + ErrorText(Code) + ClassPart + MessagePart;
    FEntries.push_back({Decimal("%lld ", FPrefix) + Body, Item ? Item->ClassName() : "", Code, Kind,
                        Data, FPosition});
  } catch (const std::exception&) {
    // The collector must never hand a failure back to the reporter.
    try {
      FEntries.push_back({"Debugger AV", ""});
    } catch (const std::exception&) {
    }
  }
}

void tDebugger::ReportSystemError(const tObject* Item, int32_t Data, const std::string& Message) {
  int Code = errno;  // first, before anything below can change it
  std::lock_guard<std::mutex> Hold(FLock);
  if (Full()) return;
  try {
    std::string Tail;
    if (!Message.empty()) Tail = ", " + Message;
    std::string Detail;
    const char* SystemText = std::strerror(Code);
    if (SystemText && *SystemText) Detail = ", with message " + Quoted(SystemText + Tail);
    if (Item) Detail += ", in class " + Quoted(Item->ClassName());
    if (Data != 0) Detail += Decimal(", with data: %lld", Data);
    char Head[64];
    std::snprintf(Head, sizeof Head, "System error: %6.0d", Code);
    FEntries.push_back(
        {Head + Detail, Item ? Item->ClassName() : "", uint32_t(Code), mkSystemError, Data, FPosition});
  } catch (const std::exception&) {
  }
}

std::vector<tDebuggerEntry> tDebugger::TakeEntries() {
  std::lock_guard<std::mutex> Hold(FLock);
  std::vector<tDebuggerEntry> Taken = std::move(FEntries);
  FEntries.clear();
  return Taken;
}

bool tDebugger::Note(const tObject*, uint32_t, uint8_t, int32_t, const std::string&) {
  return true;
}
