// INI profile files: Config.ini and Lang.ini beside the executable.
//
// Plain 8-bit text, byte based (UTF-8 passes through untouched). Every call
// opens the file by its path and releases it before returning; nothing is
// cached, so an edit made while the program runs shows at the next read.
//
// Reading rules:
// - "[Name]" opens a section; "Key=Value" lines follow it. The first
//   matching section and the first matching key in it win.
// - Section and key names match without regard to (ASCII) case.
// - A value is the text after the first "=", blanks (space, tab) trimmed at
//   both ends; one enclosing pair of double or single quotes is removed.
// - At most 2047 characters of a value are seen.
// - A missing file, section or key gives the caller's default; "Key=" gives
//   an empty text, not the default.
// - Integers: "0x"/"0X" followed by hexadecimal digits, "$" followed by
//   hexadecimal digits, or an optionally signed decimal number. Anything
//   else (including "12px", "0x" alone and an empty value) and a number
//   outside the 32-bit range give the default. Up to eight hexadecimal
//   digits are taken as a 32-bit pattern, so 0xFFFFFFFF reads as -1.
//
// Writing rules:
// - A key is replaced where it stands (its name and everything before "="
//   kept as written); a new key goes right after the last key line of its
//   section (or after the section line when it has no keys); a new section
//   goes at the end of the file; a missing file is created.
// - Every other line is kept byte for byte; new lines use the file's own
//   line ending (CRLF when its first line ends in CRLF, LF otherwise).
// - Line breaks inside a value become spaces (a value can never add lines);
//   a value that would not read back as written (leading or trailing blanks,
//   or enclosed in matching quotes) is written inside double quotes.
// - The new content goes to a temporary file in the same folder that then
//   replaces the old one, so a failed write leaves the old file whole. A file
//   that exists but cannot be opened for writing, or a folder that refuses
//   the temporary file, makes the write fail with EIniWriteError.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

// A write the file system refused: "Unable to write to <path>".
class EIniWriteError : public std::runtime_error {
 public:
  explicit EIniWriteError(const std::string& FileName);
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
};

// Longest value a reader sees.
constexpr size_t IniMaxValueLength = 2047;

std::string IniReadString(const std::string& FileName, const std::string& Section,
                          const std::string& Key, const std::string& Default);
int32_t IniReadInteger(const std::string& FileName, const std::string& Section,
                       const std::string& Key, int32_t Default);
void IniWriteString(const std::string& FileName, const std::string& Section, const std::string& Key,
                    const std::string& Value);
void IniWriteInteger(const std::string& FileName, const std::string& Section,
                     const std::string& Key, int32_t Value);

// The integer rules above applied to a value text; nullopt when it is not one.
std::optional<int32_t> IniParseInteger(const std::string& Value);

// One reading of a whole INI file, for an operation that looks up many
// values at once (e.g. translating a window). Load it, look up, drop it:
// holding it longer would be a cache.
class TIniText {
 public:
  // A missing or unreadable file gives an empty text.
  static TIniText Load(const std::string& FileName);
  explicit TIniText(std::string Content);

  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;

 private:
  std::string FContent;
};

// Folder + the entry of Folder whose name matches Name without regard to
// case (the exact spelling preferred), or Folder + Name when there is none.
// Folder ends in "/".
std::string FindFileNoCase(const std::string& Folder, const std::string& Name);
