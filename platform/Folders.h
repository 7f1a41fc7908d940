// Where the programs keep their files. A portable install, whose own folder
// accepts new files, keeps everything beside the executable: Config.ini,
// IMAGES/, TEMP/. An install into a folder the user cannot write (/usr/bin)
// uses the user's standard folders instead: ~/.config/quillory/Config.ini,
// ~/Pictures/Quillory/, and the runtime or temporary folder for working
// files. Lang.ini and the help PDFs are found beside the executable or in
// ../share/quillory/ either way.
//
// Qt-free: the window and quillory-extract share it.
#pragma once

#include <map>
#include <string>

// What the folder rules look at, so they can be tried in any environment.
struct TFolderEnvironment {
  // HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR, TMPDIR; an absent name is unset.
  std::map<std::string, std::string> Variables;
  // Whether the program's folder accepts new files.
  bool ProgramDirWritable = true;
  unsigned UserId = 0;

  // The running process's: its environment (HOME from the password database
  // when unset), its user and ProgramDirAcceptsFiles(ProgramDir).
  static TFolderEnvironment Current(const std::string& ProgramDir);
};

struct TFolders {
  bool Portable = true;
  std::string ProgramDir;  // the executable's folder
  std::string ConfigDir;   // holds Config.ini
  std::string ImageDir;    // the default image folder
  std::string WorkDir;     // where older versions kept their working folders
  // Every folder text ends in "/".

  // ConfigDir + "Config.ini", spelled as found on disk.
  std::string ConfigFile() const;
  // Before a write of Config.ini: makes ConfigDir with its missing parents,
  // readable by the user alone. Nothing to do in a portable install.
  void MakeConfigDir() const;
  // Makes ImageDir: its last level only in a portable install (as always),
  // every missing level in the standard folders. Failures are left to the
  // saves that need the folder.
  void MakeImageDir() const;
};

TFolders ResolveFolders(const std::string& ProgramDir, const TFolderEnvironment& Environment);
inline TFolders ResolveFolders(const std::string& ProgramDir) {
  return ResolveFolders(ProgramDir, TFolderEnvironment::Current(ProgramDir));
}

// A file shipped with the programs (Lang.ini, Help_eng.pdf, ...): ProgramDir
// + Name, else ProgramDir/../share/quillory/ + Name, each found without
// regard to case. When neither exists: the place it belongs, the share folder
// when the install has one, beside the executable otherwise.
std::string FindResourceFile(const std::string& ProgramDir, const std::string& Name);

// Whether the user may add files to Dir. A folder below /usr/ never does,
// even for root: programs installed there are the system's.
bool ProgramDirAcceptsFiles(const std::string& Dir);

// XDG_PICTURES_DIR of a user-dirs.dirs file ("$HOME/..." or an absolute
// path, in double quotes with backslash escapes), ending in "/"; empty when
// the file has none, or one that is disabled (the home folder itself).
std::string ReadPicturesDir(const std::string& UserDirsFile, const std::string& Home);
