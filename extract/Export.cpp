// Export of pictures as files: the JPEG or BMP the list holds, the PNG or GIF
// a JPEG record stores whole, and for the kinds with alpha a PNG composed from
// the picture and its plane. Nothing empty is ever written. Save all hands
// the pictures to worker threads and tells of them in picture order.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "extract/Scripts.h"
#include "extract/Workers.h"
#include "swf/F_Macromedia.h"

namespace {

// A stream over a block of the stores, so it can be saved without a copy.
// It must not outlive the block.
void ViewBlock(tSWFStream& View, TPictureList::TBlock Block) {
  if (Block.Size > 0) View.AttachBuffer(const_cast<uint8_t*>(Block.Data), Block.Size);
}

// A file that cannot be created is passed over and noted; the export goes on.
bool SaveFile(const tSWFStream& Stream, const std::string& FileName, TPictureOutcome& Outcome) {
  errno = 0;
  if (Stream.SaveToFile(FileName)) {
    Outcome.Written.push_back(FileName);
    return true;
  }
  const int Error = errno;
  Outcome.NotWritten.emplace_back(FileName, Error ? std::strerror(Error) : "unknown error");
  return false;
}

// A file made of pieces of the stores, written as they lie, without joining
// them first.
struct TPiece {
  const uint8_t* Data;
  size_t Size;
};
bool SavePieces(const std::vector<TPiece>& Pieces, const std::string& FileName,
                TPictureOutcome& Outcome) {
  errno = 0;
  FILE* File = std::fopen(FileName.c_str(), "wb");
  bool Ok = File != nullptr;
  for (const TPiece& Piece : Pieces)
    if (Ok && Piece.Size > 0) Ok = std::fwrite(Piece.Data, 1, Piece.Size, File) == Piece.Size;
  int Error = Ok ? 0 : errno;
  if (File && std::fclose(File) != 0 && Ok) {
    Ok = false;
    Error = errno;
  }
  if (Ok) {
    Outcome.Written.push_back(FileName);
    return true;
  }
  Outcome.NotWritten.emplace_back(FileName, Error ? std::strerror(Error) : "unknown error");
  return false;
}

void CreateOutputFolders(const std::string& OutputDir) {
  for (const char* Sub : {"", "PNG/", "JPEG/", "BMP/"}) mkdir((OutputDir + Sub).c_str(), 0777);
}

uint32_t LittleEndian32(const uint8_t* At) {
  return uint32_t(At[0]) | uint32_t(At[1]) << 8 | uint32_t(At[2]) << 16 | uint32_t(At[3]) << 24;
}

TPictureSize BMPSize(const TPictureList::TBlock& Bmp) {
  if (Bmp.Size < 26) return {};
  const int32_t Height = int32_t(LittleEndian32(Bmp.Data + 22));
  return {int32_t(LittleEndian32(Bmp.Data + 18)), Height < 0 ? -Height : Height};
}

TPictureSize JPEGSize(const uint8_t* Data, size_t Size) {
  TPictureSize Picture;
  std::string Ignored;
  ReadJPEGSize(Data, Size, Picture.Width, Picture.Height, Ignored);
  return Picture;
}

// The size a JPEG made of pieces declares: its header lies in the first
// pieces, so a few kilobytes of them are enough.
TPictureSize JPEGSize(const std::vector<TPiece>& Pieces) {
  std::vector<uint8_t> Head;
  for (const TPiece& Piece : Pieces) {
    const size_t Take = std::min(Piece.Size, size_t(65536) - Head.size());
    Head.insert(Head.end(), Piece.Data, Piece.Data + Take);
    if (Head.size() >= 65536) break;
  }
  TPictureSize Size = JPEGSize(Head.data(), Head.size());
  if (Size.Width == 0 && Head.size() >= 65536) {  // a header past the first 64 KB
    Head.clear();
    for (const TPiece& Piece : Pieces) Head.insert(Head.end(), Piece.Data, Piece.Data + Piece.Size);
    Size = JPEGSize(Head.data(), Head.size());
  }
  return Size;
}

// An outcome as the observer hears of it, in the order the files came.
void Tell(const TPictureOutcome& Outcome, TExtractObserver* Observer) {
  if (!Observer) return;
  for (const auto& [FileName, Reason] : Outcome.NotWritten)
    Observer->FileNotWritten(Outcome.Number, FileName, Reason);
  if (Outcome.Nothing) Observer->NothingToSave(Outcome.Number);
}

}  // namespace

void JoinDefineBits(const TPictureList& Pictures, int32_t Number, tSWFStream& Target) {
  Target.Reset();
  const tSWFStream* Tables = Pictures.JPEGTables.get();
  if (Tables && Tables->Size() > 2) {
    Target.WriteBytes(Tables->Buffer(), Tables->Size() - 2);  // without its end-of-image marker
  } else {
    // Nothing to join: the block still lacks the start-of-image marker that
    // the walk skipped.
    static const uint8_t StartOfImage[2] = {0xFF, 0xD8};
    Target.WriteBytes(StartOfImage, 2);
  }
  TPictureList::TBlock Block = Pictures.Primary(Number);
  if (Block.Size > 0) Target.WriteBytes(Block.Data, Block.Size);
}

TPictureOutcome WritePictureFiles(const TPictureList& Pictures, int32_t Number,
                                  const std::string& Folder, bool Sorted, const std::string& Prefix,
                                  tSWFStream* Expanded, TWorkerPool* Pool) {
  TPictureOutcome Outcome;
  Outcome.Number = Number;
  // The end entry is no picture; an empty block has nothing a file could hold.
  if (Number < 0 || Number >= Pictures.Count || Pictures.Primary(Number).Size == 0) {
    Outcome.Nothing = true;
    return Outcome;
  }
  const auto Dir = [&](const char* Sub) { return Sorted ? Folder + Sub : Folder; };
  const std::string Name = Prefix + std::to_string(Number);
  const TPictureList::TBlock PrimaryBlock = Pictures.Primary(Number);

  const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
  if (Embedded.Format != efNone) {
    // As stored, byte for byte. The GIF folder only exists for movies that have one.
    if (Embedded.Format == efGIF && Sorted) mkdir(Dir("GIF/").c_str(), 0777);
    tSWFStream File;
    ViewBlock(File, Embedded.Bytes);
    Outcome.Size = EmbeddedImageSize(Embedded.Bytes.Data, Embedded.Bytes.Size);
    SaveFile(
        File,
        Dir(Embedded.Format == efPNG ? "PNG/" : "GIF/") + Name + EmbeddedExtension(Embedded.Format),
        Outcome);
    return Outcome;
  }

  tSWFStream Primary;
  ViewBlock(Primary, PrimaryBlock);
  const TPictureList::TBlock Side = Pictures.Side(Number);
  try {
    switch (Pictures.TagCode(Number)) {
      case stagDefineBits: {
        // The tables without their end-of-image marker, then the block: what
        // JoinDefineBits joins, written as it lies.
        static const uint8_t StartOfImage[2] = {0xFF, 0xD8};
        const tSWFStream* Tables = Pictures.JPEGTables.get();
        std::vector<TPiece> Pieces;
        if (Tables && Tables->Size() > 2)
          Pieces.push_back({Tables->Buffer(), Tables->Size() - 2u});
        else
          Pieces.push_back({StartOfImage, 2});
        Pieces.push_back({PrimaryBlock.Data, PrimaryBlock.Size});
        Outcome.Size = JPEGSize(Pieces);
        SavePieces(Pieces, Dir("JPEG/") + Name + ".jpg", Outcome);
        break;
      }
      case stagDefineBitsJPEG2: {
        std::vector<TJPEGRun> Runs;
        RepairJPEGRuns(PrimaryBlock.Data, PrimaryBlock.Size, Runs);
        std::vector<TPiece> Pieces;
        for (const TJPEGRun& Run : Runs)
          Pieces.push_back({PrimaryBlock.Data + Run.Start, Run.Size});
        if (Pieces.empty()) {
          Outcome.Nothing = true;
          break;
        }
        Outcome.Size = JPEGSize(Pieces);
        SavePieces(Pieces, Dir("JPEG/") + Name + ".jpg", Outcome);
        break;
      }
      case stagDefineBitsJPEG3:
      case stagDefineBitsJPEG4: {
        SaveFile(Primary, Dir("JPEG/") + Name + ".jpg", Outcome);
        Outcome.Size = JPEGSize(PrimaryBlock.Data, PrimaryBlock.Size);
        const std::string Png = Dir("PNG/") + Name + ".png";
        ComposeJPEGAlphaPNG(PrimaryBlock.Data, PrimaryBlock.Size, Side.Data, Side.Size, Png,
                            Expanded, Pool);
        Outcome.Written.push_back(Png);
        break;
      }
      case stagDefineBitsLossless:
        Outcome.Size = BMPSize(PrimaryBlock);
        SaveFile(Primary, Dir("BMP/") + Name + ".bmp", Outcome);
        break;
      case stagDefineBitsLossless2: {
        Outcome.Size = BMPSize(PrimaryBlock);
        SaveFile(Primary, Dir("BMP/") + Name + ".bmp", Outcome);
        const std::string Png = Dir("PNG/") + Name + ".png";
        ComposeBMPAlphaPNG(PrimaryBlock.Data, PrimaryBlock.Size, Side.Data, Side.Size, Png, Pool);
        Outcome.Written.push_back(Png);
        break;
      }
      default:
        Outcome.Nothing = true;
        break;
    }
  } catch (const std::exception& Error) {
    // EPictureError from a composer, or memory refused for one.
    Outcome.PNGFailure = Error.what();
    if (Outcome.PNGFailure.empty()) Outcome.PNGFailure = "unknown error";
  }
  return Outcome;
}

bool ExportPicture(TWorkspace& Workspace, int32_t Number, const std::string& Folder,
                   const std::string& Prefix, TExtractObserver* Observer) {
  const std::string& WorkDir = Workspace.WorkDir;
  unlink((WorkDir + "alpha").c_str());
  Workspace.FormatLabel = "JPEG";
  const TPictureList& Pictures = Workspace.Pictures;
  const int32_t Code = Pictures.TagCode(Number);
  const bool Lossless = Code == stagDefineBitsLossless || Code == stagDefineBitsLossless2;
  // Set before composing, so a picture whose PNG fails is still known as a BMP.
  if (Lossless) Workspace.FormatLabel = "BMP";

  // The working folder keeps the picture with alpha and its plane, for the
  // preview: a JPEG3/4 plane expanded once its picture decoded, as stored
  // otherwise.
  const bool WithAlpha = (IsJPEGWithAlpha(Code) || Code == stagDefineBitsLossless2) &&
                         Pictures.Primary(Number).Size &&
                         EmbeddedImage(Pictures, Number).Format == efNone;
  tSWFStream Primary, Side, Expanded;
  ViewBlock(Primary, Pictures.Primary(Number));
  ViewBlock(Side, Pictures.Side(Number));
  if (WithAlpha) Primary.SaveToFile(WorkDir + (Lossless ? "0.bmp" : "0.jpeg"));

  const TPictureOutcome Outcome =
      WritePictureFiles(Pictures, Number, Folder, Folder == Workspace.OutputDir, Prefix,
                        WithAlpha && !Lossless ? &Expanded : nullptr);
  if (WithAlpha) (Expanded.Size() > 0 ? Expanded : Side).SaveToFile(WorkDir + "alpha");
  Tell(Outcome, Observer);
  if (!Outcome.PNGFailure.empty()) throw EPictureError(Outcome.PNGFailure);
  return Outcome.Whole();
}

bool SavePicture(TWorkspace& Workspace, const std::string& Prefix, TExtractObserver* Observer) {
  CreateOutputFolders(Workspace.OutputDir);
  return ExportPicture(Workspace, Workspace.SelectedPicture, Workspace.OutputDir, Prefix, Observer);
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
                        TExtractObserver* Observer, TWorkerPool* Pool) {
  CreateOutputFolders(Workspace.OutputDir);
  const TPictureList& Pictures = Workspace.Pictures;
  const std::string& Folder = Workspace.OutputDir;
  const int32_t Total = Pictures.Count;
  int32_t Failures = 0;
  if (Observer) Observer->SaveProgress(0, Total);
  const auto Report = [&](const TPictureOutcome& Outcome) {
    Tell(Outcome, Observer);
    if (Observer && !Outcome.PNGFailure.empty())
      Observer->PictureFailed(Outcome.Number, Outcome.PNGFailure);
    if (!Outcome.Whole()) ++Failures;
    if (Observer) {
      Observer->PictureDone(Outcome);
      Observer->SaveProgress(Outcome.Number + 1, Total);
    }
  };
  const auto Stopped = [Observer] { return Observer && Observer->Cancelled(); };

  if (!Pool || Pool->Size() <= 1) {
    for (int32_t N = 0; N < Total && !Stopped(); ++N)
      Report(WritePictureFiles(Pictures, N, Folder, true, Prefix));
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
      Pool->Run([Queue, &Pictures, &Folder, &Prefix, Pool, N = Next] {
        TPictureOutcome Outcome;
        try {
          Outcome = WritePictureFiles(Pictures, N, Folder, true, Prefix, nullptr, Pool);
        } catch (const std::exception& Error) {  // memory refused, at worst
          Outcome = TPictureOutcome();
          Outcome.PNGFailure = Error.what();
        }
        Outcome.Number = N;
        Queue->Done(std::move(Outcome));
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
