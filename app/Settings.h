// Settings of the program, kept in Config.ini: beside the executable in a
// portable install, in ~/.config/quillory/ otherwise (platform/Folders.h).
//
// The file is read at start, when the options dialog opens, at every open of
// a movie and at the grid's first layout; it is written at start (only when
// no image folder is configured yet), when the options dialog is confirmed
// and when the main window closes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Folders.h"

class TSettings {
 public:
  // ProgramDir: the executable's folder, ending in "/"; the folders follow
  // from it and the process's environment.
  explicit TSettings(std::string ProgramDir);
  explicit TSettings(TFolders Folders);

  static constexpr const char* secConfig = "Config";
  static constexpr const char* secSize = "Size";
  static constexpr const char* secRecent = "Recent";

  // Movies File > Open Recent lists.
  static constexpr int MaxRecentMovies = 6;

  static constexpr const char* DefaultPrefix = "Image";
  static constexpr int32_t DefaultBGSquareSize = 10;
  static constexpr int32_t DefaultBGColor = 13421772;  // 0xCCCCCC, light grey
  static constexpr int32_t DefaultPicSize = 150;
  static constexpr const char* DefaultLanguage = "ENG";
  // Default image folder on a per-movie open and in the options dialog.
  static constexpr const char* DefaultRootDir = "/";

  // Largest thumbnail side accepted from a hand-edited file; beyond it the
  // default is used (thumbnails are PicSize x PicSize bitmaps, and CellSize
  // = PicSize + 20 must not overflow).
  static constexpr int32_t MaxPicSize = 4096;

  std::string ProgramDir;
  TFolders Folders;
  std::string OutputDir;
  std::string Prefix = DefaultPrefix;
  int32_t BGSquareSize = DefaultBGSquareSize;
  int32_t BGColor = DefaultBGColor;  // red in the low byte
  int32_t PicSize = DefaultPicSize;
  std::string Language = DefaultLanguage;
  int32_t CellSize = DefaultPicSize + 20;
  // Each file of a named picture gets its first symbol name too.
  bool NamesInFiles = false;
  // PNG files and the screen keep the colour as stored, multiplied by its
  // alpha, rather than straight.
  bool Premultiplied = false;

  // Folders.ConfigDir + "Config.ini", spelled as found on disk.
  std::string ConfigFile() const;

  struct TWindowBounds {
    int32_t Top, Left, Width, Height;
  };

  // The load when the main window is created. Answers false when writing
  // the default image folder back failed: then OutputDir holds that folder,
  // every other setting keeps its default, and Bounds are left untouched
  // (the window keeps its designed bounds).
  // Square and thumbnail sizes a hand edit put out of reach (below 1, or a
  // thumbnail larger than MaxPicSize) are replaced by their defaults.
  bool StartupLoad(TWindowBounds& Bounds);

  // "ImageDir" as it stands in the file (per-movie open: Default "/").
  std::string ReadImageDir(const std::string& Default) const;
  // "PicSize" for the grid's first layout, corrected like at start.
  int32_t ReadPicSize() const;

  struct TOptionValues {
    std::string ImageDir, Prefix;
    int32_t BGSquareSize, BGColor, PicSize;
    bool NamesInFiles = false, Premultiplied = false;
  };
  // What the options dialog shows, as the file holds it (the dialog clamps
  // the sizes to its own ranges). ImageDir defaults to "/".
  TOptionValues ReadOptions() const;
  // OK in the options dialog: the in-memory values change first (sizes
  // corrected like at start), OutputDir := ImageDir as typed; then
  // ImageDir, Prefix, BGSquareSize, BGColor, PicSize, NamesInFiles and
  // Premultiplied are written in that order. A refused write skips the rest,
  // with a note on the error output.
  void SaveOptions(const TOptionValues& Values);
  // Main window closes: "Size" Top, Left, Width, Height, then "Config"
  // Language. A refused write skips the rest, with a note on the error output.
  void CloseSave(const TWindowBounds& Bounds);

  // Folder of the last movie opened ("OpenDir" of section "Config", ending
  // in "/"); empty when the file has none, as older files do.
  std::string ReadOpenDir() const;
  // Section "Recent", "Movie1".."Movie6": newest first, without blanks.
  std::vector<std::string> ReadRecentMovies() const;
  // A movie was opened: its folder becomes OpenDir and it heads the recent
  // list (once). A refused write is ignored.
  void MovieOpened(const std::string& MoviePath);
  // Takes MoviePath off the recent list. A refused write is ignored.
  void ForgetRecentMovie(const std::string& MoviePath);

  // Sizes a drawing can rely on: values below 1 (and thumbnails above
  // MaxPicSize) give the default.
  static int32_t ValidBGSquareSize(int32_t Value);
  static int32_t ValidPicSize(int32_t Value);
  static std::string ValidPrefix(const std::string& Value);
  // A switch of the file: 1 is on, anything else off.
  static bool SwitchOn(int32_t Value) { return Value == 1; }

 private:
  // ConfigFile(), its folder made first when it is a standard one.
  std::string WritableConfigFile() const;
};
