// Fuzz target: the whole pipeline on one movie, as the program runs it. The
// input is the movie file. It is opened, every picture gets its thumbnail,
// the first 64 pictures are previewed as a click on the grid previews them, and
// Save all writes every picture; then the movie is opened again, which must
// find the same pictures whatever the first round left behind. A picture that
// cannot be decoded is expected; a crash, a sanitizer report or a leak is a
// finding.
#include <sys/stat.h>

#include <QSize>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "extract/Scripts.h"
#include "fuzz/FuzzSupport.h"
#include "render/Render.h"

namespace {

// Previews (one click each in the program) are made for this many pictures
// at most: a movie of many tiny records would otherwise spend the run on
// file traffic.
constexpr int32_t MaxPreviews = 64;
// The preview pane of a window of the designed size.
constexpr int PaneWidth = 400, PaneHeight = 300;

// Checks what the observer is told.
class TCheckingObserver : public TExtractObserver {
 public:
  void WalkProgress(int Percent) override { FUZZ_CHECK(Percent >= 0 && Percent <= 100); }
  void WalkEnded(int32_t Count) override { FCount = Count; }
  void SaveProgress(int32_t Done, int32_t Total) override {
    FUZZ_CHECK(Total == FCount && Done >= 0 && Done <= Total);
  }
  void PictureFailed(int32_t Number, const std::string&) override { CheckNumber(Number); }
  void FileNotWritten(int32_t Number, const std::string&, const std::string&) override {
    CheckNumber(Number);
  }
  void NothingToSave(int32_t Number) override { CheckNumber(Number); }

 private:
  void CheckNumber(int32_t Number) const { FUZZ_CHECK(Number >= 0 && Number < FCount); }
  int32_t FCount = 0;
};

// The list's offsets stay inside its stores and never run backwards.
void CheckPictureList(const TPictureList& Pictures) {
  const int32_t Count = Pictures.Count;
  FUZZ_CHECK(Count >= 0);
  FUZZ_CHECK(Pictures.PictureEntries.size() == size_t(Count) + 1);
  FUZZ_CHECK(Pictures.SideStarts.size() == size_t(Count) + 1);
  FUZZ_CHECK(Pictures.PictureData && Pictures.SideData);
  for (int32_t N = 0; N < Count; ++N) {
    FUZZ_CHECK(Pictures.PictureEntries[size_t(N)].DataStart <=
               Pictures.PictureEntries[size_t(N) + 1].DataStart);
    FUZZ_CHECK(Pictures.SideStarts[size_t(N)] <= Pictures.SideStarts[size_t(N) + 1]);
  }
  FUZZ_CHECK(Pictures.PictureEntries.back().DataStart <= Pictures.PictureData->Size());
  FUZZ_CHECK(Pictures.SideStarts.back() <= Pictures.SideData->Size());
}

// What a click on picture Number does: the preview drawn into a pane of the
// window's size, which it never outgrows. A picture that cannot be shown
// leaves the pane empty.
void Preview(const TPictureList& Pictures, int32_t Number, const TPictureSettings& Settings) {
  const QSize Pane(PaneWidth, PaneHeight);
  TPreview Shown;
  std::string Failure;
  if (!RenderPreview(Pictures, Number, Settings, Pane, Shown, Failure)) return;
  // The box is cut down and the drawing rounded to the nearest pixel, so
  // one pixel more is fine.
  QSize Box(Shown.Width, Shown.Height);
  if (Box.width() > PaneWidth || Box.height() > PaneHeight)
    Box = Box.scaled(Pane, Qt::KeepAspectRatio);
  FUZZ_CHECK(Shown.Image.isNull() || (Shown.Image.width() <= Box.width() + 1 &&
                                      Shown.Image.height() <= Box.height() + 1));
  // The facts tell the size the picture is shown at.
  const TPictureFacts& Facts = Pictures.Facts(Number);
  if (Facts.Format != sfGIF) FUZZ_CHECK(Facts.Size.Width == Shown.Width && Facts.Size.Height == Shown.Height);
}

// One open, as the program's Open does it after resetting the workspace.
TWalkResult Open(TViewWorkspace& Workspace, const std::string& Movie, const std::string& ImageDir,
                 const TPictureSettings& Settings, TCheckingObserver& Observer) {
  ResetWorkspace(Workspace, Settings.PicSize);
  DropPictureStores(Workspace);
  TWalkResult Walk = OpenAndExtract(Workspace, Movie, ImageDir, &Observer);
  CheckPictureList(Workspace.Pictures);
  FUZZ_CHECK(Walk.Loaded);
  FUZZ_CHECK(Walk.BodyDecoded <= Walk.BodyDeclared || Walk.BodyLost);
  return Walk;
}

// Save all never writes an empty file.
void CheckNoEmptyFiles(const std::string& Folder) {
  std::error_code Error;
  for (auto It = std::filesystem::recursive_directory_iterator(Folder, Error);
       !Error && It != std::filesystem::recursive_directory_iterator(); It.increment(Error)) {
    if (It->is_regular_file()) FUZZ_CHECK(It->file_size() > 0);
  }
}

bool SameStore(const tSWFStream& A, const tSWFStream& B) {
  return A.Size() == B.Size() &&
         (A.Size() == 0 || std::memcmp(A.Buffer(), B.Buffer(), A.Size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > MaxFuzzInput) return 0;
  const TFuzzFolder& Folder = ProcessFolder("pipeline");
  Folder.Clear();
  const std::string Root = Folder.Path();
  const std::string Movie = Root + "movie.swf";
  const std::string ImageDir = Root + "IMAGES/";
  WriteFuzzFile(Movie, Data, Size);
  mkdir(ImageDir.c_str(), 0777);

  const TPictureSettings Settings;
  TViewWorkspace Workspace;
  TCheckingObserver Observer;
  const TWalkResult First = Open(Workspace, Movie, ImageDir, Settings, Observer);
  const int32_t Count = Workspace.Pictures.Count;

  for (int32_t N = 0; N < Count; ++N) {
    // A picture that cannot be drawn gets the mark of one.
    QImage Thumbnail;
    std::string Failure;
    if (BuildThumbnail(Workspace.Pictures, N, Settings, Thumbnail, Failure))
      FUZZ_CHECK(Thumbnail.width() <= Settings.PicSize && Thumbnail.height() <= Settings.PicSize);
  }
  for (int32_t N = 0; N < std::min(Count, MaxPreviews); ++N)
    Preview(Workspace.Pictures, N, Settings);
  // Save all on worker threads too, for every other input.
  static TWorkerPool Pool(2);
  const int32_t NotSaved =
      SaveAllPictures(Workspace, "Image", &Observer, Size % 2 ? &Pool : nullptr);
  FUZZ_CHECK(NotSaved >= 0 && NotSaved <= Count);
  FUZZ_CHECK(!HasPartFiles(Root));
  CheckNoEmptyFiles(ImageDir);

  // A second open of the same movie, after all the first one did.
  const TPictureList Before = std::move(Workspace.Pictures);
  Workspace.Pictures = TPictureList();
  const TWalkResult Second = Open(Workspace, Movie, ImageDir, Settings, Observer);
  const TPictureList& After = Workspace.Pictures;
  FUZZ_CHECK(Second.Complete == First.Complete && Second.HeaderRead == First.HeaderRead);
  FUZZ_CHECK(After.Count == Before.Count);
  for (int32_t N = 0; N <= Count; ++N) {
    FUZZ_CHECK(After.PictureEntries[size_t(N)].DataStart ==
               Before.PictureEntries[size_t(N)].DataStart);
    FUZZ_CHECK(After.PictureEntries[size_t(N)].TagCode == Before.PictureEntries[size_t(N)].TagCode);
    FUZZ_CHECK(After.SideStarts[size_t(N)] == Before.SideStarts[size_t(N)]);
  }
  FUZZ_CHECK(SameStore(*After.PictureData, *Before.PictureData));
  FUZZ_CHECK(SameStore(*After.SideData, *Before.SideData));

  Folder.Clear();
  return 0;
}
