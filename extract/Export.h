// Picture export: the files of a picture written into a folder. A JPEG
// picture is written as its JPEG, a lossless one as its BMP, a PNG or GIF
// file a record stores whole as stored, and the kinds with alpha also as a
// PNG composed from the picture and its plane. Nothing empty is ever written.
#pragma once

#include <cstdint>
#include <string>

#include "extract/Extract.h"
#include "extract/Observer.h"
#include "extract/PictureList.h"

class TWorkerPool;

// How a picture's files are made beyond the prefix.
struct TExportOptions {
  // Each file of a named picture called prefix + number + "_" + its first
  // name (made safe for a file name), so the number still keeps files apart.
  bool NamesInFiles = false;
  // PNG files keep the colour as the movie stores it, multiplied by its
  // alpha, instead of straight.
  bool KeepPremultiplied = false;
};

// A name as part of a file name: control characters and / \ : * ? " < > |
// become "_", and it is cut to 120 bytes at a character boundary.
std::string FileNamePart(const std::string& Name);
// The file name of picture Number without its extension.
std::string PictureFileName(const TPictureList& Pictures, int32_t Number, const std::string& Prefix,
                            const TExportOptions& Options);

// The folder a movie's pictures are saved into: ImageDir, the movie's file
// name and "/". Movies of the same file name share it.
std::string MovieOutputDir(const std::string& ImageDir, const std::string& MoviePath);
// The subfolders every movie's folder has; "GIF/" is made only when a GIF is saved.
extern const char* const OutputSubfolders[3];
// The folder and its subfolders, one level each; failures show when a file
// cannot be written.
void CreateOutputFolders(const std::string& OutputDir);

// The files of picture Number written into Folder, sorted into JPEG/, BMP/,
// PNG/ and GIF/ (made when a GIF comes) when Sorted. Touches no workspace,
// so pictures can be written side by side on several threads; tells what
// became of every file in the outcome.
TPictureOutcome WritePictureFiles(const TPictureList& Pictures, int32_t Number,
                                  const std::string& Folder, bool Sorted, const std::string& Prefix,
                                  TWorkerPool* Pool = nullptr, const TExportOptions& Options = {});
// Writes picture Number into Folder (sorted when it is the workspace's
// output folder); what was not written is told to the observer too.
TPictureOutcome ExportPicture(TWorkspace& Workspace, int32_t Number, const std::string& Folder,
                              const std::string& Prefix, TExtractObserver* Observer = nullptr,
                              const TExportOptions& Options = {});
// Save: folders, then the export of SelectedPicture into OutputDir.
TPictureOutcome SavePicture(TWorkspace& Workspace, const std::string& Prefix,
                            TExtractObserver* Observer = nullptr,
                            const TExportOptions& Options = {});
// Save all: folders, then every picture; a failing picture is reported to the
// observer and the rest are still saved. With a pool, the pictures are
// written by its threads, a few at a time, and the observer still hears of
// them in picture order, on the calling thread. Answers the number of
// pictures not saved whole.
int32_t SaveAllPictures(TWorkspace& Workspace, const std::string& Prefix,
                        TExtractObserver* Observer, TWorkerPool* Pool = nullptr,
                        const TExportOptions& Options = {});
