#include "app/Settings.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/IniFile.h"

namespace {
constexpr const char* keyImageDir = "ImageDir";
constexpr const char* keyPrefix = "Prefix";
constexpr const char* keyBGSquareSize = "BGSquareSize";
constexpr const char* keyBGColor = "BGColor";
constexpr const char* keyPicSize = "PicSize";
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

TSettings::TSettings(std::string ProgramDir) : ProgramDir(std::move(ProgramDir)) {}

std::string TSettings::ConfigFile() const {
  return FindFileNoCase(ProgramDir, "Config.ini");
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
  const std::string File = ConfigFile();
  OutputDir = IniReadString(File, secConfig, keyImageDir, "");
  if (OutputDir.empty()) {
    OutputDir = ProgramDir + "IMAGES/";
    std::error_code Ignored;  // an existing folder, or one we may not create, is no error here
    std::filesystem::create_directory(OutputDir, Ignored);
    try {
      IniWriteString(File, secConfig, keyImageDir, OutputDir);
    } catch (const EIniWriteError&) {
      // Nothing more is read: the program runs on the defaults.
      Prefix = DefaultPrefix;
      BGSquareSize = DefaultBGSquareSize;
      BGColor = DefaultBGColor;
      PicSize = DefaultPicSize;
      Language = DefaultLanguage;
      CellSize = PicSize + 20;
      return false;
    }
  }
  Prefix = ValidPrefix(IniReadString(File, secConfig, keyPrefix, DefaultPrefix));
  BGSquareSize =
      ValidBGSquareSize(IniReadInteger(File, secConfig, keyBGSquareSize, DefaultBGSquareSize));
  BGColor = IniReadInteger(File, secConfig, keyBGColor, DefaultBGColor);
  PicSize = ValidPicSize(IniReadInteger(File, secConfig, keyPicSize, DefaultPicSize));
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
  return Values;
}

void TSettings::SaveOptions(const TOptionValues& Values) {
  OutputDir = Values.ImageDir;
  BGSquareSize = ValidBGSquareSize(Values.BGSquareSize);
  BGColor = Values.BGColor;
  PicSize = ValidPicSize(Values.PicSize);
  Prefix = Values.Prefix;
  const std::string File = ConfigFile();
  try {
    IniWriteString(File, secConfig, keyImageDir, Values.ImageDir);
    IniWriteString(File, secConfig, keyPrefix, Values.Prefix);
    IniWriteInteger(File, secConfig, keyBGSquareSize, BGSquareSize);
    IniWriteInteger(File, secConfig, keyBGColor, BGColor);
    IniWriteInteger(File, secConfig, keyPicSize, PicSize);
  } catch (const EIniWriteError&) {
    // The settings already hold in memory; the file catches up at the next OK.
  }
}

void TSettings::CloseSave(const TWindowBounds& Bounds) {
  const std::string File = ConfigFile();
  try {
    IniWriteInteger(File, secSize, keyTop, Bounds.Top);
    IniWriteInteger(File, secSize, keyLeft, Bounds.Left);
    IniWriteInteger(File, secSize, keyWidth, Bounds.Width);
    IniWriteInteger(File, secSize, keyHeight, Bounds.Height);
    IniWriteString(File, secConfig, keyLanguage, Language);
  } catch (const EIniWriteError&) {
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
  const std::string File = ConfigFile();
  try {
    if (Slash != std::string::npos)
      IniWriteString(File, secConfig, keyOpenDir, MoviePath.substr(0, Slash + 1));
    WriteRecentMovies(File, Movies);
  } catch (const EIniWriteError&) {
    // A convenience: the next Open starts elsewhere, nothing more.
  }
}

void TSettings::ForgetRecentMovie(const std::string& MoviePath) {
  std::vector<std::string> Movies = ReadRecentMovies();
  if (std::erase(Movies, MoviePath) == 0) return;
  try {
    WriteRecentMovies(ConfigFile(), Movies);
  } catch (const EIniWriteError&) {
    // The entry shows again next time and is taken off again.
  }
}
