#include "platform/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string Folder) {
  if (Folder.empty() || Folder.back() != '/') Folder += '/';
  return Folder;
}

// A variable the XDG rules accept: set, and an absolute path.
std::string AbsoluteVariable(const TFolderEnvironment& Environment, const std::string& Name) {
  const auto It = Environment.Variables.find(Name);
  if (It == Environment.Variables.end() || It->second.empty() || It->second[0] != '/') return {};
  return It->second;
}

std::string Variable(const TFolderEnvironment& Environment, const std::string& Name) {
  const auto It = Environment.Variables.find(Name);
  return It == Environment.Variables.end() ? std::string() : It->second;
}

bool Exists(const std::string& Path) {
  struct stat St;
  return stat(Path.c_str(), &St) == 0;
}

std::string ShareDir(const std::string& ProgramDir) {
  return WithSlash(
      (fs::path(ProgramDir) / ".." / "share" / "quillory").lexically_normal().string());
}

void MakeFolders(const std::string& Folder, mode_t Mode) {
  // mkdir -p: each missing level in turn, so the mode applies to all of them.
  std::string Path;
  for (size_t At = 1; At <= Folder.size(); ++At)
    if (At == Folder.size() || Folder[At] == '/') {
      Path = Folder.substr(0, At);
      if (!Path.empty()) ::mkdir(Path.c_str(), Mode);  // an existing level is fine
    }
}

}  // namespace

TFolderEnvironment TFolderEnvironment::Current(const std::string& ProgramDir) {
  TFolderEnvironment Environment;
  for (const char* Name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "TMPDIR"})
    if (const char* Value = std::getenv(Name)) Environment.Variables[Name] = Value;
  if (Variable(Environment, "HOME").empty()) {
    // A service or a cleared environment: the account's own home.
    if (const passwd* Account = getpwuid(getuid()); Account && Account->pw_dir)
      Environment.Variables["HOME"] = Account->pw_dir;
  }
  Environment.UserId = unsigned(getuid());
  Environment.ProgramDirWritable = ProgramDirAcceptsFiles(ProgramDir);
  return Environment;
}

bool ProgramDirAcceptsFiles(const std::string& Dir) {
  const std::string Folder = WithSlash(fs::path(Dir).lexically_normal().string());
  if (Folder.rfind("/usr/", 0) == 0) return false;
  return ::access(Folder.c_str(), W_OK | X_OK) == 0;
}

std::string ReadPicturesDir(const std::string& UserDirsFile, const std::string& Home) {
  // A few lines in practice; whatever the path names, no more than this is read.
  constexpr std::streamsize MaxSize = 64 * 1024;
  std::ifstream File(UserDirsFile, std::ios::binary);
  std::string Text(size_t(MaxSize), '\0');
  File.read(Text.data(), MaxSize);
  Text.resize(size_t(File.gcount()));
  std::istringstream In(Text);
  std::string Found;
  const std::string Key = "XDG_PICTURES_DIR=";
  for (std::string Line; std::getline(In, Line);) {
    const size_t Start = Line.find_first_not_of(" \t");
    if (Start == std::string::npos || Line.compare(Start, Key.size(), Key) != 0) continue;
    std::string Value;
    size_t At = Start + Key.size();
    if (At < Line.size() && Line[At] == '"') {
      bool Closed = false;
      for (++At; At < Line.size(); ++At) {
        if (Line[At] == '"') {
          Closed = true;
          break;
        }
        if (Line[At] == '\\' && At + 1 < Line.size()) ++At;
        Value += Line[At];
      }
      if (!Closed) continue;
    } else {
      Value = Line.substr(At);
      while (!Value.empty() &&
             (Value.back() == ' ' || Value.back() == '\t' || Value.back() == '\r'))
        Value.pop_back();
    }
    // "$HOME" only at the start; otherwise the path must be absolute.
    if (Value.rfind("$HOME", 0) == 0 && (Value.size() == 5 || Value[5] == '/'))
      Value = Home + Value.substr(5);
    else if (Value.empty() || Value[0] != '/')
      continue;
    Found = Value;  // as the shell reads it: the last one counts
  }
  if (Found.empty()) return {};
  const std::string Folder = WithSlash(fs::path(Found).lexically_normal().string());
  if (Folder == WithSlash(fs::path(Home).lexically_normal().string())) return {};
  return Folder;
}

TFolders ResolveFolders(const std::string& ProgramDir, const TFolderEnvironment& Environment) {
  TFolders Folders;
  Folders.ProgramDir = WithSlash(ProgramDir);
  Folders.Portable = Environment.ProgramDirWritable;
  if (Folders.Portable) {
    Folders.ConfigDir = Folders.ProgramDir;
    Folders.ImageDir = Folders.ProgramDir + "IMAGES/";
    Folders.WorkDir = Folders.ProgramDir + "TEMP/";
    return Folders;
  }
  const std::string Home = WithSlash(Variable(Environment, "HOME"));
  std::string ConfigHome = AbsoluteVariable(Environment, "XDG_CONFIG_HOME");
  ConfigHome = ConfigHome.empty() ? Home + ".config/" : WithSlash(ConfigHome);
  Folders.ConfigDir = ConfigHome + "quillory/";

  std::string Pictures =
      ReadPicturesDir(ConfigHome + "user-dirs.dirs", Home.substr(0, Home.size() - 1));
  if (Pictures.empty()) Pictures = Home + "Pictures/";
  Folders.ImageDir = Pictures + "Quillory/";

  // The runtime folder is the user's own; the shared temporary folder gets
  // a name of the user's.
  if (const std::string Runtime = AbsoluteVariable(Environment, "XDG_RUNTIME_DIR");
      !Runtime.empty()) {
    Folders.WorkDir = WithSlash(Runtime) + "quillory/";
  } else {
    std::string Temp = AbsoluteVariable(Environment, "TMPDIR");
    if (Temp.empty()) Temp = "/tmp";
    Folders.WorkDir = WithSlash(Temp) + "quillory-" + std::to_string(Environment.UserId) + "/";
  }
  return Folders;
}

std::string TFolders::ConfigFile() const {
  return FindFileNoCase(ConfigDir, "Config.ini");
}

void TFolders::MakeConfigDir() const {
  if (!Portable) MakeFolders(ConfigDir, 0700);
}

void TFolders::MakeImageDir() const {
  if (Portable)
    ::mkdir(ImageDir.c_str(), 0777);  // one level; an existing folder is fine
  else
    MakeFolders(ImageDir, 0777);
}

std::string FindResourceFile(const std::string& ProgramDir, const std::string& Name) {
  const std::string Beside = FindFileNoCase(ProgramDir, Name);
  if (Exists(Beside)) return Beside;
  const std::string Share = ShareDir(ProgramDir);
  const std::string Shared = FindFileNoCase(Share, Name);
  if (Exists(Shared)) return Shared;
  return Exists(Share) ? Shared : Beside;
}
