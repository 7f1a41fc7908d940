#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

EIniWriteError::EIniWriteError(const std::string& FileName)
    : std::runtime_error("Unable to write to " + FileName), FFileName(FileName) {}

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

char LowerAscii(char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

bool EqualNoCase(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return LowerAscii(X) == LowerAscii(Y);
         });
}

bool IsBlank(char C) {
  return C == ' ' || C == '\t';
}

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

bool IsQuote(char C) {
  return C == '"' || C == '\'';
}

bool IsQuoted(std::string_view S) {
  return S.size() >= 2 && IsQuote(S.front()) && S.front() == S.back();
}

// One line of the file: [Begin, Begin + Length) is its text, [Begin + Length,
// End) its line ending ("\n", "\r\n" or nothing on a last line).
struct TLine {
  size_t Begin, Length, End;
};

std::vector<TLine> SplitLines(const std::string& Content) {
  std::vector<TLine> Lines;
  size_t Pos = Content.compare(0, Utf8Bom.size(), Utf8Bom) == 0 ? Utf8Bom.size() : 0;
  while (Pos < Content.size()) {
    const size_t NewLine = Content.find('\n', Pos);
    const size_t Stop = NewLine == std::string::npos ? Content.size() : NewLine;
    size_t Length = Stop - Pos;
    if (NewLine != std::string::npos && Length > 0 && Content[Stop - 1] == '\r') --Length;
    Lines.push_back({Pos, Length, NewLine == std::string::npos ? Stop : Stop + 1});
    Pos = Lines.back().End;
  }
  return Lines;
}

enum class TLineKind { Other, Section, Key };

struct TParsedLine {
  TLineKind Kind = TLineKind::Other;
  std::string_view Name;   // section or key name, trimmed
  size_t ValueOffset = 0;  // key lines: offset of the value within the line (after blanks)
  std::string_view Value;  // key lines: the value, trimmed
};

TParsedLine ParseLine(std::string_view Text) {
  TParsedLine Parsed;
  const std::string_view Lead = Trim(Text);
  if (Lead.empty() || Lead.front() == ';') return Parsed;
  if (Lead.front() == '[') {
    const size_t Close = Lead.find(']');
    Parsed.Kind = TLineKind::Section;
    Parsed.Name = Trim(Lead.substr(1, Close == std::string_view::npos ? Close : Close - 1));
    return Parsed;
  }
  const size_t Equal = Text.find('=');
  if (Equal == std::string_view::npos) return Parsed;
  Parsed.Kind = TLineKind::Key;
  Parsed.Name = Trim(Text.substr(0, Equal));
  size_t Offset = Equal + 1;
  while (Offset < Text.size() && IsBlank(Text[Offset])) ++Offset;
  Parsed.ValueOffset = Offset;
  Parsed.Value = Trim(Text.substr(Offset));
  return Parsed;
}

// Where a section and a key stand in the file. Only the first section of a
// name counts, and in it the first key of a name.
struct TLocation {
  bool SectionFound = false;
  size_t SectionLine = 0;
  bool KeyFound = false;
  size_t KeyLine = 0;
  bool HasKeys = false;
  size_t LastKeyLine = 0;
};

TLocation Locate(const std::string& Content, const std::vector<TLine>& Lines,
                 std::string_view Section, std::string_view Key,
                 TParsedLine* ParsedKeyLine = nullptr) {
  TLocation Where;
  for (size_t I = 0; I < Lines.size(); ++I) {
    const TParsedLine Parsed =
        ParseLine(std::string_view(Content).substr(Lines[I].Begin, Lines[I].Length));
    if (Parsed.Kind == TLineKind::Section) {
      if (Where.SectionFound) break;
      if (EqualNoCase(Parsed.Name, Section)) {
        Where.SectionFound = true;
        Where.SectionLine = I;
      }
    } else if (Parsed.Kind == TLineKind::Key && Where.SectionFound) {
      Where.HasKeys = true;
      Where.LastKeyLine = I;
      if (!Where.KeyFound && EqualNoCase(Parsed.Name, Key)) {
        Where.KeyFound = true;
        Where.KeyLine = I;
        if (ParsedKeyLine) *ParsedKeyLine = Parsed;
      }
    }
  }
  return Where;
}

bool ReadWholeFile(const std::string& FileName, std::string& Content) {
  std::error_code Error;
  if (fs::is_directory(FileName, Error)) return false;
  std::ifstream In(FileName, std::ios::binary);
  if (!In) return false;
  Content.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  return !In.bad();
}

// The value as a line can hold it so that it reads back the same.
std::string EncodeValue(const std::string& Value) {
  std::string Encoded = Value;
  std::replace_if(
      Encoded.begin(), Encoded.end(), [](char C) { return C == '\r' || C == '\n'; }, ' ');
  if (!Encoded.empty() &&
      (IsBlank(Encoded.front()) || IsBlank(Encoded.back()) || IsQuoted(Encoded)))
    Encoded = '"' + Encoded + '"';
  return Encoded;
}

std::string ReplaceOrInsert(const std::string& Content, const std::string& Section,
                            const std::string& Key, const std::string& Value) {
  const std::vector<TLine> Lines = SplitLines(Content);
  const size_t FirstNewLine = Content.find('\n');
  const std::string Eol =
      FirstNewLine != std::string::npos && FirstNewLine > 0 && Content[FirstNewLine - 1] == '\r'
          ? "\r\n"
          : "\n";
  const std::string Encoded = EncodeValue(Value);

  TParsedLine KeyLine;
  const TLocation Where = Locate(Content, Lines, Section, Key, &KeyLine);
  std::string Result;
  if (Where.KeyFound) {
    const TLine& Line = Lines[Where.KeyLine];
    const size_t ValueBegin = Line.Begin + KeyLine.ValueOffset;
    Result = Content.substr(0, ValueBegin) + Encoded + Content.substr(Line.Begin + Line.Length);
  } else if (Where.SectionFound) {
    const TLine& After = Lines[Where.HasKeys ? Where.LastKeyLine : Where.SectionLine];
    Result = Content.substr(0, After.End);
    if (After.End == After.Begin + After.Length) Result += Eol;  // last line had no line ending
    Result += Key + "=" + Encoded + Eol;
    Result += Content.substr(After.End);
  } else {
    Result = Content;
    if (!Result.empty() && Result.back() != '\n' && Result != Utf8Bom) Result += Eol;
    Result += "[" + Section + "]" + Eol + Key + "=" + Encoded + Eol;
  }
  return Result;
}

// The file a write lands in: a symbolic link is followed so that the link
// itself stays in place.
std::string WriteTarget(const std::string& FileName) {
  fs::path Path = FileName;
  std::error_code Error;
  for (int Hops = 0; Hops < 40 && fs::is_symlink(Path, Error); ++Hops) {
    const fs::path Target = fs::read_symlink(Path, Error);
    if (Error) break;
    Path = Target.is_absolute() ? Target : Path.parent_path() / Target;
  }
  return Path.string();
}

bool WriteAll(int Handle, const std::string& Data) {
  size_t Done = 0;
  while (Done < Data.size()) {
    const ssize_t Written = ::write(Handle, Data.data() + Done, Data.size() - Done);
    if (Written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Done += static_cast<size_t>(Written);
  }
  return true;
}

// Replaces the file with Content through a temporary file in the same
// folder, so the old file stays whole until the new one is complete.
bool ReplaceFile(const std::string& Path, const std::string& Content) {
  struct stat Old {};
  const bool Exists = ::stat(Path.c_str(), &Old) == 0;
  if (Exists) {
    if (!S_ISREG(Old.st_mode)) return false;
    const int Probe = ::open(Path.c_str(), O_WRONLY | O_CLOEXEC);
    if (Probe < 0) return false;
    ::close(Probe);
  }

  const fs::path Target = Path;
  std::string Temp =
      (Target.parent_path() / ("." + Target.filename().string() + ".XXXXXX")).string();
  const int Handle = ::mkstemp(Temp.data());
  if (Handle < 0) return false;

  mode_t Mode;
  if (Exists) {
    Mode = Old.st_mode & 07777;
  } else {
    // A new file gets the usual mode; reading the mask means setting it
    // (settings are written from the interface thread only).
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    Mode = 0666 & ~Mask;
  }
  bool Ok = WriteAll(Handle, Content) && ::fchmod(Handle, Mode) == 0;
  if (Ok && Exists && (Old.st_uid != ::geteuid() || Old.st_gid != ::getegid())) {
    // Keep the owner when we may; a failure leaves the file ours, still readable.
    [[maybe_unused]] const int Ignored = ::fchown(Handle, Old.st_uid, Old.st_gid);
  }
  Ok = Ok && ::fsync(Handle) == 0;
  Ok = (::close(Handle) == 0) && Ok;
  Ok = Ok && ::rename(Temp.c_str(), Path.c_str()) == 0;
  if (!Ok) ::unlink(Temp.c_str());
  return Ok;
}

}  // namespace

TIniText::TIniText(std::string Content) : FContent(std::move(Content)) {}

TIniText TIniText::Load(const std::string& FileName) {
  std::string Content;
  if (!ReadWholeFile(FileName, Content)) Content.clear();
  return TIniText(std::move(Content));
}

std::string TIniText::ReadString(const std::string& Section, const std::string& Key,
                                 const std::string& Default) const {
  const std::vector<TLine> Lines = SplitLines(FContent);
  TParsedLine KeyLine;
  const TLocation Where = Locate(FContent, Lines, Section, Key, &KeyLine);
  if (!Where.KeyFound) return Default;
  std::string_view Value = KeyLine.Value;
  if (IsQuoted(Value)) Value = Value.substr(1, Value.size() - 2);
  return std::string(Value.substr(0, IniMaxValueLength));
}

std::optional<int32_t> IniParseInteger(const std::string& Value) {
  auto HexDigit = [](char C) -> int {
    if (C >= '0' && C <= '9') return C - '0';
    C = LowerAscii(C);
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    return -1;
  };

  size_t HexStart = 0;
  if (Value.size() > 2 && Value[0] == '0' && (Value[1] == 'x' || Value[1] == 'X'))
    HexStart = 2;
  else if (!Value.empty() && Value[0] == '$')
    HexStart = 1;
  if (HexStart > 0) {
    if (Value.size() == HexStart) return std::nullopt;
    uint64_t Number = 0;
    for (size_t I = HexStart; I < Value.size(); ++I) {
      const int Digit = HexDigit(Value[I]);
      if (Digit < 0) return std::nullopt;
      Number = Number * 16 + static_cast<uint64_t>(Digit);
      if (Number > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(Number));
  }

  size_t Pos = 0;
  const bool Negative = !Value.empty() && Value[0] == '-';
  if (!Value.empty() && (Value[0] == '-' || Value[0] == '+')) Pos = 1;
  if (Pos == Value.size()) return std::nullopt;
  int64_t Number = 0;
  for (; Pos < Value.size(); ++Pos) {
    const char C = Value[Pos];
    if (C < '0' || C > '9') return std::nullopt;
    Number = Number * 10 + (C - '0');
    if (Number > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (Negative) Number = -Number;
  if (Number > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(Number);
}

std::string IniReadString(const std::string& FileName, const std::string& Section,
                          const std::string& Key, const std::string& Default) {
  return TIniText::Load(FileName).ReadString(Section, Key, Default);
}

int32_t IniReadInteger(const std::string& FileName, const std::string& Section,
                       const std::string& Key, int32_t Default) {
  // A default that cannot be a value: a missing key must give Default too.
  static const std::string Missing(1, '\0');
  const std::string Value = IniReadString(FileName, Section, Key, Missing);
  if (Value == Missing) return Default;
  return IniParseInteger(Value).value_or(Default);
}

void IniWriteString(const std::string& FileName, const std::string& Section, const std::string& Key,
                    const std::string& Value) {
  try {
    const std::string Path = WriteTarget(FileName);
    std::string Content;
    std::error_code Error;
    const bool Exists = fs::exists(fs::symlink_status(Path, Error));
    if (Exists && !ReadWholeFile(Path, Content)) throw EIniWriteError(FileName);
    if (!ReplaceFile(Path, ReplaceOrInsert(Content, Section, Key, Value)))
      throw EIniWriteError(FileName);
  } catch (const EIniWriteError&) {
    throw;
  } catch (const std::exception&) {
    throw EIniWriteError(FileName);
  }
}

void IniWriteInteger(const std::string& FileName, const std::string& Section,
                     const std::string& Key, int32_t Value) {
  IniWriteString(FileName, Section, Key, std::to_string(Value));
}

std::string FindFileNoCase(const std::string& Folder, const std::string& Name) {
  std::error_code Error;
  fs::directory_iterator Entries(Folder.empty() ? fs::path(".") : fs::path(Folder), Error);
  if (Error) return Folder + Name;
  std::string Best;
  for (auto It = Entries; It != fs::directory_iterator(); It.increment(Error)) {
    if (Error) break;
    const std::string Entry = It->path().filename().string();
    if (Entry == Name) return Folder + Entry;
    // Several spellings: the smallest, so the choice does not depend on listing order.
    if (EqualNoCase(Entry, Name) && (Best.empty() || Entry < Best)) Best = Entry;
  }
  return Folder + (Best.empty() ? Name : Best);
}
