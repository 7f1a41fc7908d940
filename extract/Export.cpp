// Export of pictures as files: the JPEG or BMP the list holds, the PNG or GIF
// a JPEG record stores whole, and for the kinds with alpha a PNG composed from
// the picture and its plane. Nothing empty is ever written. Save all hands
// the pictures to worker threads and tells of them in picture order.
#include "extract/Export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "extract/AlphaPNG.h"
#include "extract/OutputFile.h"
#include "extract/Workers.h"
#include "swf/F_Macromedia.h"

namespace {

// A file made of pieces of the stores, written as they lie, without joining
// them first. One that cannot be written is passed over and noted; the
// export goes on.
bool SavePieces(const std::vector<TBlock>& Pieces, const std::string& FileName,
                TPictureOutcome& Outcome) {
  std::vector<TFilePiece> File;
  for (const TBlock& Piece : Pieces) File.push_back({Piece.Data, Piece.Size});
  std::string Reason;
  if (WriteOutputFile(FileName, File, Reason)) {
    Outcome.Written.push_back(FileName);
    return true;
  }
  Outcome.NotWritten.emplace_back(FileName, Reason.empty() ? "unknown error" : Reason);
  return false;
}

// The PNG of a picture with alpha, after its JPEG or BMP.
void SavePNG(const TPictureList& Pictures, int32_t Number, const std::string& PngFile,
             TPictureOutcome& Outcome, TWorkerPool* Pool, const TExportOptions& Options) {
  std::string Failure;
  if (ComposePicturePNG(Pictures, Number, PngFile, Failure, Pool, !Options.KeepPremultiplied))
    Outcome.Written.push_back(PngFile);
  else
    Outcome.PNGFailure = Failure.empty() ? "unknown error" : Failure;
}

// An outcome as the observer hears of it, in the order the files came.
void Tell(const TPictureList& Pictures, const TPictureOutcome& Outcome,
          TExtractObserver* Observer) {
  if (!Observer) return;
  for (const auto& [FileName, Reason] : Outcome.NotWritten)
    Observer->FileNotWritten(Outcome.Number, FileName, Reason);
  if (Outcome.Nothing) Observer->NothingToSave(Outcome.Number);
  if (Outcome.MemoryShort)
    Observer->NotEnoughMemory(Outcome.Number, Pictures.Facts(Outcome.Number).Size);
  else if (!Outcome.PNGFailure.empty())
    Observer->PictureFailed(Outcome.Number, Outcome.PNGFailure);
}

TPictureOutcome WriteFiles(const TPictureList& Pictures, int32_t Number, const std::string& Folder,
                           bool Sorted, const std::string& Prefix, TWorkerPool* Pool,
                           const TExportOptions& Options) {
  TPictureOutcome Outcome;
  Outcome.Number = Number;
  const TBlock Primary = Pictures.Primary(Number);
  // The end entry is no picture; an empty block has nothing a file could
  // hold, unless memory was too short to fill it.
  if (Number < 0 || Number >= Pictures.Count || Primary.Size == 0) {
    if (Pictures.Facts(Number).MemoryShort)
      Outcome.MemoryShort = true;
    else
      Outcome.Nothing = true;
    return Outcome;
  }
  const auto Dir = [&](const char* Sub) { return Sorted ? Folder + Sub : Folder; };
  const std::string Name = PictureFileName(Pictures, Number, Prefix, Options);

  const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
  if (Embedded.Format != efNone) {
    // As stored, byte for byte. The GIF folder only exists for movies that have one.
    if (Embedded.Format == efGIF && Sorted) mkdir(Dir("GIF/").c_str(), 0777);
    SavePieces({Embedded.Bytes},
               Dir(Embedded.Format == efPNG ? "PNG/" : "GIF/") + Name +
                   EmbeddedExtension(Embedded.Format),
               Outcome);
    return Outcome;
  }

  switch (Pictures.TagCode(Number)) {
    case stagDefineBits:
    case stagDefineBitsJPEG2: {
      // The tables and the block, or the repaired runs, written as they lie.
      const std::vector<TBlock> Pieces = JPEGPieces(Pictures, Number);
      if (Pieces.empty()) {
        Outcome.Nothing = true;
        break;
      }
      SavePieces(Pieces, Dir("JPEG/") + Name + ".jpg", Outcome);
      break;
    }
    case stagDefineBitsJPEG3:
    case stagDefineBitsJPEG4:
      SavePieces({Primary}, Dir("JPEG/") + Name + ".jpg", Outcome);
      SavePNG(Pictures, Number, Dir("PNG/") + Name + ".png", Outcome, Pool, Options);
      break;
    case stagDefineBinaryData:  // a JPEG file, as stored
      SavePieces({Primary}, Dir("JPEG/") + Name + ".jpg", Outcome);
      break;
    case stagDefineBitsLossless:
      SavePieces({Primary}, Dir("BMP/") + Name + ".bmp", Outcome);
      break;
    case stagDefineBitsLossless2:
      SavePieces({Primary}, Dir("BMP/") + Name + ".bmp", Outcome);
      SavePNG(Pictures, Number, Dir("PNG/") + Name + ".png", Outcome, Pool, Options);
      break;
    default:
      Outcome.Nothing = true;
      break;
  }
  return Outcome;
}

}  // namespace

const char* const OutputSubfolders[3] = {"PNG/", "JPEG/", "BMP/"};

std::string FileNamePart(const std::string& Name) {
  constexpr size_t MaxBytes = 120;
  std::string Part;
  const auto* P = reinterpret_cast<const unsigned char*>(Name.data());
  for (size_t i = 0; i < Name.size();) {
    // One character: a well-formed UTF-8 sequence, or a single byte.
    size_t Length = P[i] >= 0xC2 && P[i] <= 0xDF   ? 2
                    : P[i] >= 0xE0 && P[i] <= 0xEF ? 3
                    : P[i] >= 0xF0 && P[i] <= 0xF4 ? 4
                                                   : 1;
    for (size_t k = 1; k < Length; ++k)
      if (i + k >= Name.size() || (P[i + k] & 0xC0) != 0x80) Length = 1;
    if (Part.size() + Length > MaxBytes) break;
    const unsigned char C = P[i];
    if (Length == 1 && (C < 0x20 || C == 0x7F || std::strchr("/\\:*?\"<>|", C)))
      Part += '_';
    else
      Part.append(Name, i, Length);
    i += Length;
  }
  return Part;
}

std::string PictureFileName(const TPictureList& Pictures, int32_t Number, const std::string& Prefix,
                            const TExportOptions& Options) {
  std::string Name = Prefix + std::to_string(Number);
  const TPictureFacts& Facts = Pictures.Facts(Number);
  if (Options.NamesInFiles && !Facts.Names.empty()) {
    Name += '_';
    Name += FileNamePart(Facts.Names[0]);
  }
  return Name;
}

std::string MovieOutputDir(const std::string& ImageDir, const std::string& MoviePath) {
  const size_t Slash = MoviePath.find_last_of('/');
  return ImageDir + (Slash == std::string::npos ? MoviePath : MoviePath.substr(Slash + 1)) + "/";
}

namespace {

// Whether Folder was swept for what a killed program left not long ago in
// this process, noting that it now is. Once a process is enough: files a
// program killed since then leaves are the next one's to clear, and every
// Save, and the open before Save all, would read each folder again.
bool SweptLately(const std::string& Folder) {
  static std::mutex Lock;
  static std::deque<std::string> Recent;  // a few movies' folders
  std::lock_guard<std::mutex> Hold(Lock);
  if (std::find(Recent.begin(), Recent.end(), Folder) != Recent.end()) return true;
  if (Recent.size() == 32) Recent.pop_front();
  Recent.push_back(Folder);
  return false;
}

}  // namespace

void CreateOutputFolders(const std::string& OutputDir) {
  mkdir(OutputDir.c_str(), 0777);
  for (const char* Sub : OutputSubfolders) {
    const std::string Folder = OutputDir + Sub;
    const bool Made = mkdir(Folder.c_str(), 0777) == 0;
    // Also clears what an earlier program that was killed left half
    // written; a folder just made holds nothing.
    if (!SweptLately(Folder) && !Made) RemoveAbandonedOutputFiles(Folder);
  }
  if (!SweptLately(OutputDir + "GIF/")) RemoveAbandonedOutputFiles(OutputDir + "GIF/");
}

TPictureOutcome WritePictureFiles(const TPictureList& Pictures, int32_t Number,
                                  const std::string& Folder, bool Sorted, const std::string& Prefix,
                                  TWorkerPool* Pool, const TExportOptions& Options) {
  TakeMemoryShort();  // what this thread noted before is not this picture's
  TPictureOutcome Outcome;
  try {
    Outcome = WriteFiles(Pictures, Number, Folder, Sorted, Prefix, Pool, Options);
  } catch (const std::bad_alloc&) {
    Outcome = TPictureOutcome();
    Outcome.Number = Number;
    NoteMemoryShort();
  }
  if (TakeMemoryShort()) Outcome.MemoryShort = true;
  return Outcome;
}

TPictureOutcome ExportPicture(TWorkspace& Workspace, int32_t Number, const std::string& Folder,
                              const std::string& Prefix, TExtractObserver* Observer,
                              const TExportOptions& Options) {
  const TPictureOutcome Outcome = WritePictureFiles(
      Workspace.Pictures, Number, Folder, Folder == Workspace.OutputDir, Prefix, nullptr, Options);
  Tell(Workspace.Pictures, Outcome, Observer);
  return Outcome;
}

TPictureOutcome SavePicture(TWorkspace& Workspace, const std::string& Prefix,
                            TExtractObserver* Observer, const TExportOptions& Options) {
  CreateOutputFolders(Workspace.OutputDir);
  return ExportPicture(Workspace, Workspace.SelectedPicture, Workspace.OutputDir, Prefix, Observer,
                       Options);
}

namespace {

// The pictures handed to the pool and not yet told, in order: at most a few
// per thread, so only a few pictures' worth of memory is in use at once.
class TSaveQueue {
 public:
  explicit TSaveQueue(int32_t First) : FFirst(First) {}

  void Done(TPictureOutcome&& Outcome) {
    {
      std::lock_guard<std::mutex> Hold(FLock);
      FSlots[size_t(Outcome.Number - FFirst)] = std::move(Outcome);
    }
    FReady.notify_all();
  }
  void Add() {
    std::lock_guard<std::mutex> Hold(FLock);
    FSlots.emplace_back();
  }
  // The outcome of the oldest picture, once it is there.
  TPictureOutcome Next() {
    std::unique_lock<std::mutex> Hold(FLock);
    FReady.wait(Hold, [this] { return FSlots.front().has_value(); });
    TPictureOutcome Outcome = std::move(*FSlots.front());
    FSlots.pop_front();
    ++FFirst;
    return Outcome;
  }
  size_t InFlight() {
    std::lock_guard<std::mutex> Hold(FLock);
    return FSlots.size();
  }

 private:
  std::mutex FLock;
  std::condition_variable FReady;
  std::deque<std::optional<TPictureOutcome>> FSlots;
  int32_t FFirst;
};

}  // namespace

int32_t SaveAllPictures(TWorkspace& Workspace, const std::string& Prefix,
                        TExtractObserver* Observer, TWorkerPool* Pool,
                        const TExportOptions& Options) {
  CreateOutputFolders(Workspace.OutputDir);
  const TPictureList& Pictures = Workspace.Pictures;
  const std::string& Folder = Workspace.OutputDir;
  const int32_t Total = Pictures.Count;
  int32_t Failures = 0;
  if (Observer) Observer->SaveProgress(0, Total);
  const auto Report = [&](const TPictureOutcome& Outcome) {
    Tell(Pictures, Outcome, Observer);
    if (!Outcome.Whole()) ++Failures;
    if (Observer) {
      Observer->PictureDone(Outcome);
      Observer->SaveProgress(Outcome.Number + 1, Total);
    }
  };
  const auto Stopped = [Observer] { return Observer && Observer->Cancelled(); };

  if (!Pool || Pool->Size() <= 1) {
    for (int32_t N = 0; N < Total && !Stopped(); ++N)
      Report(WritePictureFiles(Pictures, N, Folder, true, Prefix, nullptr, Options));
    return Failures;
  }
  // A picture in each thread's hands and one more waiting for each.
  const size_t Window = 2 * size_t(Pool->Size());
  auto Queue = std::make_shared<TSaveQueue>(0);
  int32_t Next = 0, Told = 0;
  while (Told < Next || (Next < Total && !Stopped())) {
    while (Next < Total && Queue->InFlight() < Window && !Stopped()) {
      Queue->Add();
      // The references stay valid: every picture handed over is told below
      // before this returns.
      Pool->Run([Queue, &Pictures, &Folder, &Prefix, &Options, Pool, N = Next] {
        Queue->Done(WritePictureFiles(Pictures, N, Folder, true, Prefix, Pool, Options));
      });
      ++Next;
    }
    if (Told < Next) {
      Report(Queue->Next());
      ++Told;
    }
  }
  return Failures;
}
