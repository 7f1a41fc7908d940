#include "app/Settings.h"

#include <algorithm>
#include <cstdio>

#include "platform/IniFile.h"

namespace {

// Settings that cannot be written never stop the program, but they are not
// lost in silence either.
void NoteNotWritten(const EIniWriteError& Error) {
  std::fprintf(stderr, "quillory: the settings were not saved: %s\n", Error.what());
}

constexpr const char* keyImageDir = "ImageDir";
constexpr const char* keyPrefix = "Prefix";
constexpr const char* keyBGSquareSize = "BGSquareSize";
constexpr const char* keyBGColor = "BGColor";
constexpr const char* keyPicSize = "PicSize";
constexpr const char* keyNamesInFiles = "NamesInFiles";
constexpr const char* keyPremultiplied = "Premultiplied";
constexpr const char* keyLanguage = "Language";
constexpr const char* keyTop = "Top";
constexpr const char* keyLeft = "Left";
constexpr const char* keyWidth = "Width";
constexpr const char* keyHeight = "Height";
constexpr const char* keyOpenDir = "OpenDir";

std::string RecentKey(int Index) {
  return "Movie" + std::to_string(Index + 1);
}

constexpr int32_t DefaultTop = 10;
constexpr int32_t DefaultLeft = 10;
constexpr int32_t DefaultWidth = 400;
constexpr int32_t DefaultHeight = 300;
}  // namespace

TSettings::TSettings(std::string ProgramDir) : TSettings(ResolveFolders(ProgramDir)) {}

TSettings::TSettings(TFolders Folders)
    : ProgramDir(Folders.ProgramDir), Folders(std::move(Folders)) {}

std::string TSettings::ConfigFile() const {
  return Folders.ConfigFile();
}

std::string TSettings::WritableConfigFile() const {
  Folders.MakeConfigDir();
  return ConfigFile();
}

int32_t TSettings::ValidBGSquareSize(int32_t Value) {
  return Value >= 1 ? Value : DefaultBGSquareSize;
}

int32_t TSettings::ValidPicSize(int32_t Value) {
  return Value >= 1 && Value <= MaxPicSize ? Value : DefaultPicSize;
}

std::string TSettings::ValidPrefix(const std::string& Value) {
  // A "/" would send the pictures and the preview's scratch files into other
  // folders, and the preview deletes what it wrote.
  return Value.find('/') == std::string::npos ? Value : DefaultPrefix;
}

bool TSettings::StartupLoad(TWindowBounds& Bounds) {
  std::string File = ConfigFile();
  OutputDir = IniReadString(File, secConfig, keyImageDir, "");
  if (OutputDir.empty()) {
    OutputDir = Folders.ImageDir;
    Folders.MakeImageDir();  // an existing folder, or one we may not create, is no error here
    try {
      File = WritableConfigFile();
      IniWriteString(File, secConfig, keyImageDir, OutputDir);
    } catch (const EIniWriteError& Error) {
      NoteNotWritten(Error);
      // Nothing more is read: the program runs on the defaults.
      Prefix = DefaultPrefix;
      BGSquareSize = DefaultBGSquareSize;
      BGColor = DefaultBGColor;
      PicSize = DefaultPicSize;
      Language = DefaultLanguage;
      CellSize = PicSize + 20;
      NamesInFiles = Premultiplied = false;
      return false;
    }
  }
  Prefix = ValidPrefix(IniReadString(File, secConfig, keyPrefix, DefaultPrefix));
  BGSquareSize =
      ValidBGSquareSize(IniReadInteger(File, secConfig, keyBGSquareSize, DefaultBGSquareSize));
  BGColor = IniReadInteger(File, secConfig, keyBGColor, DefaultBGColor);
  PicSize = ValidPicSize(IniReadInteger(File, secConfig, keyPicSize, DefaultPicSize));
  NamesInFiles = SwitchOn(IniReadInteger(File, secConfig, keyNamesInFiles, 0));
  Premultiplied = SwitchOn(IniReadInteger(File, secConfig, keyPremultiplied, 0));
  Bounds.Top = IniReadInteger(File, secSize, keyTop, DefaultTop);
  Bounds.Left = IniReadInteger(File, secSize, keyLeft, DefaultLeft);
  Bounds.Width = IniReadInteger(File, secSize, keyWidth, DefaultWidth);
  Bounds.Height = IniReadInteger(File, secSize, keyHeight, DefaultHeight);
  Language = IniReadString(File, secConfig, keyLanguage, DefaultLanguage);
  CellSize = PicSize + 20;
  return true;
}

std::string TSettings::ReadImageDir(const std::string& Default) const {
  return IniReadString(ConfigFile(), secConfig, keyImageDir, Default);
}

int32_t TSettings::ReadPicSize() const {
  return ValidPicSize(IniReadInteger(ConfigFile(), secConfig, keyPicSize, DefaultPicSize));
}

TSettings::TOptionValues TSettings::ReadOptions() const {
  const std::string File = ConfigFile();
  TOptionValues Values;
  Values.ImageDir = IniReadString(File, secConfig, keyImageDir, DefaultRootDir);
  Values.Prefix = IniReadString(File, secConfig, keyPrefix, DefaultPrefix);
  Values.BGSquareSize = IniReadInteger(File, secConfig, keyBGSquareSize, DefaultBGSquareSize);
  Values.BGColor = IniReadInteger(File, secConfig, keyBGColor, DefaultBGColor);
  Values.PicSize = IniReadInteger(File, secConfig, keyPicSize, DefaultPicSize);
  Values.NamesInFiles = SwitchOn(IniReadInteger(File, secConfig, keyNamesInFiles, 0));
  Values.Premultiplied = SwitchOn(IniReadInteger(File, secConfig, keyPremultiplied, 0));
  return Values;
}

void TSettings::SaveOptions(const TOptionValues& Values) {
  OutputDir = Values.ImageDir;
  BGSquareSize = ValidBGSquareSize(Values.BGSquareSize);
  BGColor = Values.BGColor;
  PicSize = ValidPicSize(Values.PicSize);
  Prefix = Values.Prefix;
  NamesInFiles = Values.NamesInFiles;
  Premultiplied = Values.Premultiplied;
  const std::string File = WritableConfigFile();
  try {
    IniWriteString(File, secConfig, keyImageDir, Values.ImageDir);
    IniWriteString(File, secConfig, keyPrefix, Values.Prefix);
    IniWriteInteger(File, secConfig, keyBGSquareSize, BGSquareSize);
    IniWriteInteger(File, secConfig, keyBGColor, BGColor);
    IniWriteInteger(File, secConfig, keyPicSize, PicSize);
    IniWriteInteger(File, secConfig, keyNamesInFiles, NamesInFiles ? 1 : 0);
    IniWriteInteger(File, secConfig, keyPremultiplied, Premultiplied ? 1 : 0);
  } catch (const EIniWriteError& Error) {
    NoteNotWritten(Error);
    // The settings already hold in memory; the file catches up at the next OK.
  }
}

void TSettings::CloseSave(const TWindowBounds& Bounds) {
  const std::string File = WritableConfigFile();
  try {
    IniWriteInteger(File, secSize, keyTop, Bounds.Top);
    IniWriteInteger(File, secSize, keyLeft, Bounds.Left);
    IniWriteInteger(File, secSize, keyWidth, Bounds.Width);
    IniWriteInteger(File, secSize, keyHeight, Bounds.Height);
    IniWriteString(File, secConfig, keyLanguage, Language);
  } catch (const EIniWriteError& Error) {
    NoteNotWritten(Error);
    // Closing goes on; the next start uses what the file still holds.
  }
}

std::string TSettings::ReadOpenDir() const {
  return IniReadString(ConfigFile(), secConfig, keyOpenDir, "");
}

std::vector<std::string> TSettings::ReadRecentMovies() const {
  const std::string File = ConfigFile();
  std::vector<std::string> Movies;
  for (int I = 0; I < MaxRecentMovies; ++I) {
    std::string Movie = IniReadString(File, secRecent, RecentKey(I), "");
    if (!Movie.empty() && std::find(Movies.begin(), Movies.end(), Movie) == Movies.end())
      Movies.push_back(std::move(Movie));
  }
  return Movies;
}

namespace {

void WriteRecentMovies(const std::string& File, const std::vector<std::string>& Movies) {
  for (int I = 0; I < TSettings::MaxRecentMovies; ++I)
    IniWriteString(File, TSettings::secRecent, RecentKey(I),
                   size_t(I) < Movies.size() ? Movies[size_t(I)] : std::string());
}

}  // namespace

void TSettings::MovieOpened(const std::string& MoviePath) {
  std::vector<std::string> Movies = ReadRecentMovies();
  std::erase(Movies, MoviePath);
  Movies.insert(Movies.begin(), MoviePath);
  if (Movies.size() > size_t(MaxRecentMovies)) Movies.resize(size_t(MaxRecentMovies));
  const size_t Slash = MoviePath.find_last_of('/');
  const std::string File = WritableConfigFile();
  try {
    if (Slash != std::string::npos)
      IniWriteString(File, secConfig, keyOpenDir, MoviePath.substr(0, Slash + 1));
    WriteRecentMovies(File, Movies);
  } catch (const EIniWriteError& Error) {
    NoteNotWritten(Error);
    // A convenience: the next Open starts elsewhere, nothing more.
  }
}

void TSettings::ForgetRecentMovie(const std::string& MoviePath) {
  std::vector<std::string> Movies = ReadRecentMovies();
  if (std::erase(Movies, MoviePath) == 0) return;
  try {
    WriteRecentMovies(WritableConfigFile(), Movies);
  } catch (const EIniWriteError& Error) {
    NoteNotWritten(Error);
    // The entry shows again next time and is taken off again.
  }
}
