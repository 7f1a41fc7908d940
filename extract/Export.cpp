// Export of pictures as files: the JPEG or BMP the list holds and, for the
// two kinds with alpha, a PNG composed from the picture and its plane.
#include <sys/stat.h>
#include <unistd.h>

#include "extract/Scripts.h"
#include "swf/F_Macromedia.h"

namespace {

// A stream over a block of the stores, so it can be saved without a copy.
// It must not outlive the block.
void ViewBlock(tSWFStream& View, TPictureList::TBlock Block) {
  if (Block.Size > 0) View.AttachBuffer(const_cast<uint8_t*>(Block.Data), Block.Size);
}

void SaveFile(const tSWFStream& Stream, const std::string& FileName, int32_t Number,
              TExtractObserver* Observer) {
  // A file that cannot be created is passed over; the export goes on.
  if (!Stream.SaveToFile(FileName) && Observer) Observer->FileNotWritten(Number, FileName);
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

void ExportPicture(TWorkspace& Workspace, int32_t Number, const std::string& Folder,
                   const std::string& Prefix, TExtractObserver* Observer) {
  std::string JpegDir = Folder, BmpDir = Folder, PngDir = Folder;
  if (Folder == Workspace.OutputDir) {
    JpegDir += "JPEG/";
    BmpDir += "BMP/";
    PngDir += "PNG/";
  }
  const std::string& WorkDir = Workspace.WorkDir;
  unlink((WorkDir + "alpha").c_str());
  Workspace.FormatLabel = "JPEG";

  const TPictureList& Pictures = Workspace.Pictures;
  if (Number < 0 || Number >= Pictures.Count) return;  // the end entry is no picture
  std::string Name = Prefix + std::to_string(Number);
  tSWFStream Primary, Side;
  ViewBlock(Primary, Pictures.Primary(Number));
  ViewBlock(Side, Pictures.Side(Number));

  switch (Pictures.TagCode(Number)) {
    case stagDefineBits: {
      tSWFStream Joined;
      JoinDefineBits(Pictures, Number, Joined);
      SaveFile(Joined, JpegDir + Name + ".jpg", Number, Observer);
      break;
    }
    case stagDefineBitsJPEG2: {
      tSWFStream Jpeg;
      RepairJPEGStream(Primary, Jpeg);
      SaveFile(Jpeg, JpegDir + Name + ".jpg", Number, Observer);
      break;
    }
    case stagDefineBitsJPEG3:
      Primary.SaveToFile(WorkDir + "0.jpeg");
      SaveFile(Primary, JpegDir + Name + ".jpg", Number, Observer);
      Side.SaveToFile(WorkDir + "alpha");
      JPEGAlphaToPNG(WorkDir, "0.jpeg", PngDir + Name + ".png");
      break;
    case stagDefineBitsLossless:
      SaveFile(Primary, BmpDir + Name + ".bmp", Number, Observer);
      Workspace.FormatLabel = "BMP";
      break;
    case stagDefineBitsLossless2:
      // Set before composing, so a picture whose PNG fails is still known as a BMP.
      Workspace.FormatLabel = "BMP";
      Primary.SaveToFile(WorkDir + "0.bmp");
      SaveFile(Primary, BmpDir + Name + ".bmp", Number, Observer);
      Side.SaveToFile(WorkDir + "alpha");
      BMPAlphaToPNG(WorkDir, "0.bmp", PngDir + Name + ".png");
      break;
    default:
      break;
  }
}

void SavePicture(TWorkspace& Workspace, const std::string& Prefix) {
  CreateOutputFolders(Workspace.OutputDir);
  ExportPicture(Workspace, Workspace.SelectedPicture, Workspace.OutputDir, Prefix);
}

int32_t SaveAllPictures(TWorkspace& Workspace, const std::string& Prefix,
                        TExtractObserver* Observer) {
  CreateOutputFolders(Workspace.OutputDir);
  int32_t Total = Workspace.Pictures.Count;
  int32_t Failures = 0;
  if (Observer) Observer->SaveProgress(0, Total);
  for (int32_t N = 0; N < Total; ++N) {
    // A picture whose PNG cannot be composed does not cost the ones after it.
    try {
      ExportPicture(Workspace, N, Workspace.OutputDir, Prefix, Observer);
    } catch (const std::exception& Error) {
      ++Failures;
      if (Observer) Observer->PictureFailed(N, Error.what());
    }
    if (Observer) Observer->SaveProgress(N + 1, Total);
  }
  return Failures;
}
