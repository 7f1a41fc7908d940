// Export of pictures as files: the JPEG or BMP the list holds, the PNG or GIF
// a JPEG record stores whole, and for the kinds with alpha a PNG composed from
// the picture and its plane. Nothing empty is ever written.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "extract/Scripts.h"
#include "swf/F_Macromedia.h"

namespace {

// A stream over a block of the stores, so it can be saved without a copy.
// It must not outlive the block.
void ViewBlock(tSWFStream& View, TPictureList::TBlock Block) {
  if (Block.Size > 0) View.AttachBuffer(const_cast<uint8_t*>(Block.Data), Block.Size);
}

// A file that cannot be created is passed over and told; the export goes on.
bool SaveFile(const tSWFStream& Stream, const std::string& FileName, int32_t Number,
              TExtractObserver* Observer) {
  errno = 0;
  if (Stream.SaveToFile(FileName)) return true;
  const int Error = errno;
  if (Observer)
    Observer->FileNotWritten(Number, FileName, Error ? std::strerror(Error) : "unknown error");
  return false;
}

void CreateOutputFolders(const std::string& OutputDir) {
  for (const char* Sub : {"", "PNG/", "JPEG/", "BMP/"}) mkdir((OutputDir + Sub).c_str(), 0777);
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

bool ExportPicture(TWorkspace& Workspace, int32_t Number, const std::string& Folder,
                   const std::string& Prefix, TExtractObserver* Observer) {
  const bool Sorted = Folder == Workspace.OutputDir;
  std::string JpegDir = Folder, BmpDir = Folder, PngDir = Folder, GifDir = Folder;
  if (Sorted) {
    JpegDir += "JPEG/";
    BmpDir += "BMP/";
    PngDir += "PNG/";
    GifDir += "GIF/";
  }
  const std::string& WorkDir = Workspace.WorkDir;
  unlink((WorkDir + "alpha").c_str());
  Workspace.FormatLabel = "JPEG";

  const auto NothingToSave = [&] {
    if (Observer) Observer->NothingToSave(Number);
    return false;
  };
  const TPictureList& Pictures = Workspace.Pictures;
  // The end entry is no picture; an empty block has nothing a file could hold.
  if (Number < 0 || Number >= Pictures.Count || Pictures.Primary(Number).Size == 0)
    return NothingToSave();
  const int32_t Code = Pictures.TagCode(Number);
  const std::string Name = Prefix + std::to_string(Number);

  const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
  if (Embedded.Format != efNone) {
    // As stored, byte for byte. The GIF folder only exists for movies that have one.
    if (Embedded.Format == efGIF && Sorted) mkdir(GifDir.c_str(), 0777);
    tSWFStream File;
    ViewBlock(File, Embedded.Bytes);
    const std::string& Dir = Embedded.Format == efPNG ? PngDir : GifDir;
    return SaveFile(File, Dir + Name + EmbeddedExtension(Embedded.Format), Number, Observer);
  }

  tSWFStream Primary, Side;
  ViewBlock(Primary, Pictures.Primary(Number));
  ViewBlock(Side, Pictures.Side(Number));
  switch (Code) {
    case stagDefineBits: {
      tSWFStream Joined;
      JoinDefineBits(Pictures, Number, Joined);
      return SaveFile(Joined, JpegDir + Name + ".jpg", Number, Observer);
    }
    case stagDefineBitsJPEG2: {
      tSWFStream Jpeg;
      RepairJPEGStream(Primary, Jpeg);
      if (Jpeg.Size() == 0) return NothingToSave();
      return SaveFile(Jpeg, JpegDir + Name + ".jpg", Number, Observer);
    }
    case stagDefineBitsJPEG3:
    case stagDefineBitsJPEG4: {
      Primary.SaveToFile(WorkDir + "0.jpeg");
      const bool Saved = SaveFile(Primary, JpegDir + Name + ".jpg", Number, Observer);
      Side.SaveToFile(WorkDir + "alpha");
      JPEGAlphaToPNG(WorkDir, "0.jpeg", PngDir + Name + ".png");
      return Saved;
    }
    case stagDefineBitsLossless:
      Workspace.FormatLabel = "BMP";
      return SaveFile(Primary, BmpDir + Name + ".bmp", Number, Observer);
    case stagDefineBitsLossless2: {
      // Set before composing, so a picture whose PNG fails is still known as a BMP.
      Workspace.FormatLabel = "BMP";
      Primary.SaveToFile(WorkDir + "0.bmp");
      const bool Saved = SaveFile(Primary, BmpDir + Name + ".bmp", Number, Observer);
      Side.SaveToFile(WorkDir + "alpha");
      BMPAlphaToPNG(WorkDir, "0.bmp", PngDir + Name + ".png");
      return Saved;
    }
    default:
      return NothingToSave();
  }
}

bool SavePicture(TWorkspace& Workspace, const std::string& Prefix, TExtractObserver* Observer) {
  CreateOutputFolders(Workspace.OutputDir);
  return ExportPicture(Workspace, Workspace.SelectedPicture, Workspace.OutputDir, Prefix, Observer);
}

int32_t SaveAllPictures(TWorkspace& Workspace, const std::string& Prefix,
                        TExtractObserver* Observer) {
  CreateOutputFolders(Workspace.OutputDir);
  int32_t Total = Workspace.Pictures.Count;
  int32_t Failures = 0;
  if (Observer) Observer->SaveProgress(0, Total);
  for (int32_t N = 0; N < Total; ++N) {
    // A picture that cannot be saved whole does not cost the ones after it.
    bool Whole = false;
    try {
      Whole = ExportPicture(Workspace, N, Workspace.OutputDir, Prefix, Observer);
    } catch (const std::exception& Error) {
      if (Observer) Observer->PictureFailed(N, Error.what());
    }
    if (!Whole) ++Failures;
    if (Observer) Observer->SaveProgress(N + 1, Total);
  }
  return Failures;
}
