// Scripts: turning picture records into stand-alone pictures, keeping them in
// the picture list and exporting them. This is the picture core: it needs no
// GUI toolkit, and never reaches for a window or a global path: callers pass
// the working folder, settings and an observer for progress and status
// texts. Drawing thumbnails and the preview is render/'s part.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "extract/Image.h"
#include "swf/D_Storages.h"

// An error that stops a composer or a decoder and must reach the caller
// (for instance a JPEG the decoder rejects, or alpha data that is not zlib).
class EPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The size of a picture composed or written, when it is known.
struct TPictureSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// ---------------------------------------------------------------------------
// JPEG stream repair
// ---------------------------------------------------------------------------

// Cleans stored JPEG bytes into one JPEG stream: one start-of-image marker,
// the header segments, then the scan and all after it unchanged. Source and
// Target are usually the same stream.
void RepairJPEGStream(tSWFStream& Source, tSWFStream& Target);
// The same repair as runs of the input: the repaired stream is, in order, the
// Size bytes from each run's Start. Answers where the repair stopped.
struct TJPEGRun {
  uint32_t Start = 0;
  uint32_t Size = 0;
};
uint32_t RepairJPEGRuns(const uint8_t* In, uint32_t Size, std::vector<TJPEGRun>& Runs);

// ---------------------------------------------------------------------------
// Lossless pixels to BMP
// ---------------------------------------------------------------------------

// The lossless converters and the state they share: the working folder they
// exchange files through ("test", "header", "0.bmp", "alpha"), the alpha plane
// of the last conversion and the palette table.
class TLosslessConverter {
 public:
  explicit TLosslessConverter(std::string WorkDir);

  const std::string& WorkDir() const { return FWorkDir; }
  void SetWorkDir(const std::string& WorkDir) { FWorkDir = WorkDir; }

  void WriteBMPHeader(uint16_t Width, uint16_t Height, uint8_t Format);
  void ColorMappedToBMP(uint16_t Width, uint16_t Height, uint8_t LastIndex, tSWFStream& Target,
                        bool WithAlpha);
  void ExpandPaletteAlpha(uint16_t Width, uint16_t Height);
  void PIX15ToBMP(uint16_t Width, uint16_t Height, tSWFStream& Target);
  void ARGBToBMP(uint16_t Width, uint16_t Height, bool WithAlpha, tSWFStream& Target);

  // Alpha plane of the last conversion with alpha (one byte per pixel, bottom row first).
  tSWFStream& ConverterAlpha() { return *FConverterAlpha; }
  void DropConverterAlpha() { FConverterAlpha = std::make_unique<tSWFStream>(); }

  // 256 entries of blue, green, red, alpha.
  uint8_t PaletteTable[256][4] = {};
  void ResetPaletteAlpha();  // every alpha byte := 255

  // The working files ("test", "header", "0.bmp", "alpha") kept in memory
  // instead of the working folder: the walk's way, since nothing else reads
  // them. PutFile makes a file that views Size bytes at Data, which must
  // stay until the file is removed or replaced.
  void KeepFilesInMemory(bool InMemory);
  void PutFile(const std::string& Name, const uint8_t* Data, uint32_t Size);
  void RemoveFile(const std::string& Name);
  // A working file, read whole (a view of it when it is in memory); false
  // and Into empty when it is missing.
  bool ReadFile(const std::string& Name, tSWFStream& Into) const;
  // The same, and a file kept in memory goes: its bytes move to Into.
  bool TakeFile(const std::string& Name, std::unique_ptr<tSWFStream>& Into);
  // Writes a working file; in memory, Bytes' storage is taken over.
  bool WriteFile(const std::string& Name, uint8_t*& Bytes, uint32_t Size);

 private:
  std::string FWorkDir;
  std::unique_ptr<tSWFStream> FConverterAlpha;
  bool FInMemory = false;
  std::map<std::string, std::unique_ptr<tSWFStream>> FFiles;
};

// ---------------------------------------------------------------------------
// Picture decoding and alpha composition
// ---------------------------------------------------------------------------

// A JPEG as decoded: RGB24 rows at the scale asked for, of which the top
// RealRows hold real data (the rest were not in the data: their bytes are
// undefined), and the picture's own size.
struct TDecodedJPEG {
  TImage Image;
  int32_t Width = 0;  // the picture's size as its header declares it
  int32_t Height = 0;
  int32_t RealRows = 0;
};
// The picture's size from its header alone; false with Failure set for data
// the decoder rejects, a size past the program's limit, or a multi-scan
// picture whose data is far too short for its size.
bool ReadJPEGSize(const uint8_t* Data, size_t Size, int32_t& Width, int32_t& Height,
                  std::string& Failure);
// Decodes a JPEG (any colour space libjpeg accepts, grayscale and CMYK
// included) into RGB24, at full size or, for MinSide > 0, at the smallest
// scale of 1/8 to 8/8 whose longer side is at least MinSide. Decoding stops
// where the data runs out. False with Failure set when not even one row
// could be decoded.
bool DecodeJPEGImage(const uint8_t* Data, size_t Size, int32_t MinSide, TDecodedJPEG& Out,
                     std::string& Failure);

// What a PNG's pixels take where its alpha plane runs out: opaque, or the
// plane's last value (an empty plane: opaque).
enum TShortPlane { spOpaque, spRepeatLast };
// Writes Image as a PNG of colour type 6 (4 for grey) whose alpha comes from
// Plane (Width x Height bytes, top row first unless BottomUp). A palette
// image is written as colour type 3 with every entry opaque and the plane
// unused. Throws EPictureError; never leaves a half-written file behind.
// With a pool, a large picture is deflated in bands on its threads.
class TWorkerPool;
void WritePNGWithAlpha(const TImage& Image, const uint8_t* Plane, size_t PlaneSize, bool BottomUp,
                       TShortPlane ShortPlane, const std::string& PngFile,
                       TWorkerPool* Pool = nullptr);
// The pixels of a BMP file (8-bit with its colour table, 15-bit or 24-bit,
// uncompressed) viewed in place; false with Failure set for anything else or
// a file cut short. Image must not outlive Data.
bool ViewBMP(const uint8_t* Data, size_t Size, TImage& Image, std::string& Failure);

// The composers on bytes in memory: a JPEG with its zlib alpha (Expanded, if
// given, receives the plane as inflated), and one of the program's BMPs with
// its plain plane, bottom row first. They touch no working folder, so several
// can run at once. Throw EPictureError.
TPictureSize ComposeJPEGAlphaPNG(const uint8_t* Jpeg, size_t JpegSize, const uint8_t* Alpha,
                                 size_t AlphaSize, const std::string& PngFile,
                                 tSWFStream* Expanded = nullptr, TWorkerPool* Pool = nullptr);
TPictureSize ComposeBMPAlphaPNG(const uint8_t* Bmp, size_t BmpSize, const uint8_t* Plane,
                                size_t PlaneSize, const std::string& PngFile,
                                TWorkerPool* Pool = nullptr);
// DefineBitsJPEG3 and 4: WorkDir + SourceName (JPEG) with the zlib alpha in
// WorkDir + "alpha"; rewrites "alpha" expanded. The header and the plane are
// checked before the picture is decoded; a plane shorter than the picture
// repeats its last value; a cut picture gives the rows it holds. Throws
// EPictureError.
void JPEGAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                    const std::string& PngFile);
// DefineBitsLossless2: WorkDir + SourceName (BMP) with the plain alpha in
// WorkDir + "alpha", bottom row first. Throws EPictureError.
void BMPAlphaToPNG(const std::string& WorkDir, const std::string& SourceName,
                   const std::string& PngFile);

// ---------------------------------------------------------------------------
// Picture list, workspace, extraction, export, rendering
// (declared below by the extraction driver)
// ---------------------------------------------------------------------------

// One picture of the list: where its primary block starts in PictureData and
// the code of the record it came from (6, 21, 35, 90, 20 or 36).
struct TPictureEntry {
  uint32_t DataStart = 0;
  int32_t TagCode = 0;
};

// The pictures of the open movie. Both offset arrays hold Count + 1 elements:
// the last marks the current end of its store.
class TPictureList {
 public:
  TPictureList();

  int32_t Count = 0;
  std::vector<TPictureEntry> PictureEntries;
  std::vector<uint32_t> SideStarts;
  std::unique_ptr<tSWFStream> PictureData;  // primary blocks, back to back
  std::unique_ptr<tSWFStream> SideData;     // alpha blocks, back to back
  std::unique_ptr<tSWFStream> JPEGTables;   // last JPEGTables body; null until one is seen

  // Arrays back to one element at offset 0, Count 0 (the stores are left alone).
  void ClearEntries();
  // The append step: Count bytes of Primary from its position, and the whole
  // of Side (if any) from its start.
  void Append(int32_t TagCode, tSWFStream& Primary, uint32_t Count, tSWFStream* Side);

  // Read-only access to picture N's blocks (empty for N outside 0..Count-1).
  struct TBlock {
    const uint8_t* Data = nullptr;
    uint32_t Size = 0;
  };
  TBlock Primary(int32_t N) const;
  TBlock Side(int32_t N) const;
  int32_t TagCode(int32_t N) const;  // 0 for N outside 0..Count-1
};

// Whether a record of this code carries a JPEG with an alpha plane
// (DefineBitsJPEG3, DefineBitsJPEG4).
bool IsJPEGWithAlpha(int32_t TagCode);

// A PNG or GIF file that a JPEG record (DefineBitsJPEG2, 3 or 4) stores whole
// where its JPEG data belongs. It is saved exactly as stored, never repaired,
// and decoded only for display; the record's alpha data is ignored.
enum TEmbeddedFormat { efNone, efPNG, efGIF };
// The format Data starts with: the PNG signature, "GIF89a" or "GIF87a".
TEmbeddedFormat EmbeddedFormat(const uint8_t* Data, size_t Size);
struct TEmbeddedImage {
  TEmbeddedFormat Format = efNone;
  TPictureList::TBlock Bytes;  // the whole file
};
// Picture Number's embedded file; Format efNone when it holds none.
TEmbeddedImage EmbeddedImage(const TPictureList& Pictures, int32_t Number);
// ".png" or ".gif" (empty for efNone).
const char* EmbeddedExtension(TEmbeddedFormat Format);
// The size a PNG or GIF file declares in its header (a GIF's logical screen,
// which its reader paints whole); 0 x 0 for anything else.
TPictureSize EmbeddedImageSize(const uint8_t* Data, size_t Size);

// What became of one picture's files.
struct TPictureOutcome {
  int32_t Number = 0;
  bool Nothing = false;  // it held nothing a file could hold
  // Files that could not be written, each with the system's reason.
  std::vector<std::pair<std::string, std::string>> NotWritten;
  std::string PNGFailure;            // why its PNG could not be made; empty when it was
  std::vector<std::string> Written;  // the files written, in the order written
  TPictureSize Size;                 // its size, when it is known
  bool Whole() const { return !Nothing && NotWritten.empty() && PNGFailure.empty(); }
};

// Progress and results of the long operations, so the core runs without any
// window: the program binds it to the splash and the status bar, the
// command-line tool to its terminal, tests to a recorder.
class TExtractObserver {
 public:
  virtual ~TExtractObserver() = default;
  virtual void WalkStarted(const std::string& /*MoviePath*/) {}  // splash up, path shown
  virtual void WalkProgress(int /*Percent*/) {}                  // after every record
  virtual void WalkEnded(int32_t /*Count*/) {}                   // picture count known
  virtual void SaveProgress(int32_t /*Done*/, int32_t /*Total*/) {}
  // The PNG of a picture with alpha could not be composed or written.
  virtual void PictureFailed(int32_t /*Number*/, const std::string& /*Message*/) {}
  // A JPEG, BMP, PNG or GIF file the list holds whole could not be written
  // (Reason: the system's text); the export goes on without it.
  virtual void FileNotWritten(int32_t /*Number*/, const std::string& /*FileName*/,
                              const std::string& /*Reason*/) {}
  // The picture holds nothing that could become a file (a record too short
  // for its layout, JPEG data its repair empties, lossless pixels that cannot
  // fill their size): no file was written for it.
  virtual void NothingToSave(int32_t /*Number*/) {}
  // Everything about one picture of Save all, after the calls above.
  virtual void PictureDone(const TPictureOutcome& /*Outcome*/) {}
  // Asked before each picture of Save all: true stops it there.
  virtual bool Cancelled() { return false; }
};

// The workspace of one run of the program: the picture list and the
// variables shared by extraction, thumbnails, grid, preview and export.
class TWorkspace {
 public:
  explicit TWorkspace(const std::string& WorkDir);  // ends in "/"

  std::string WorkDir;
  std::string OutputDir;
  std::string FormatLabel;
  int32_t SelectedPicture = 0;
  int32_t CurrentRow = 0;
  int32_t ColumnsPerRow = 0;
  int32_t CellSize = 170;
  bool ChangeToggle = true;
  TPictureList Pictures;
  TLosslessConverter Converter;  // holds ConverterAlpha and PaletteTable
};

// The settings the core reads (copies of the in-memory settings).
struct TPictureSettings {
  std::string Prefix = "Image";
  int32_t BGSquareSize = 10;
  int32_t BGColor = 13421772;  // red in the low byte
  int32_t PicSize = 150;
};

// The non-window steps of a workspace reset; creates the working folder.
void ResetWorkspace(TWorkspace& Workspace, int32_t PicSize);
// Releases the previous movie's stores.
void DropPictureStores(TWorkspace& Workspace);
// How far an open got. The program shows no error of its own for any of
// these; the command-line tool explains them.
struct TWalkResult {
  bool Loaded = false;      // the movie file was read
  bool HeaderRead = false;  // its header was accepted
  // The walk ended at the end of the movie, not at a damaged record, and the
  // movie's compressed body, if any, expanded whole.
  bool Complete = false;
  char Signature = 0;         // 'F', 'C', 'Z', or 0 when the file has none of these
  bool BodyCut = false;       // the compressed body ended before its declared length
  bool BodyLost = false;      // the compressed body could not be expanded at all
  uint32_t BodyDecoded = 0;   // bytes the compressed body expanded to ...
  uint32_t BodyDeclared = 0;  // ... of those it declares (the movie's length less 8)
  int LoadError = 0;          // the system's error when the file could not be read
  uint32_t DamagedAt = 0;     // where the record that could not be read starts ...
  uint32_t MovieSize = 0;     // ... in the movie as expanded, of this many bytes
  // An uncompressed movie whose file is shorter than the length it declares
  // (MovieSize bytes of MovieDeclared), though its records end cleanly.
  bool MovieCut = false;
  uint32_t MovieDeclared = 0;
};

// What kept an open from reading a movie whole, most telling first.
enum TWalkProblem : uint8_t {
  wpNone,
  wpCannotRead,     // the file could not be read
  wpNotAMovie,      // it does not begin with FWS, CWS or ZWS
  wpLZMALost,       // its LZMA body could not be decoded at all
  wpBodyLost,       // its zlib body could not be expanded and was read as it stands
  wpBodyCut,        // its compressed body ends before its declared length
  wpHeaderDamaged,  // its header is cut short
  wpRecordDamaged,  // a record runs past the end of the movie
  wpMovieCut,       // an uncompressed movie ends before its declared length
};
TWalkProblem WalkProblem(const TWalkResult& Walk);
// The plain sentence that tells the problem (empty for wpNone). The window
// shows the same sentences in the interface's language.
std::string WalkProblemText(const TWalkResult& Walk);
// The folder a movie's pictures are saved into: ImageDir, the movie's file
// name and "/". Movies of the same file name share it.
std::string MovieOutputDir(const std::string& ImageDir, const std::string& MoviePath);
// The walk of an open, given the chosen movie: creates the per-movie output
// folders under ImageDir, loads and walks the movie, fills the picture list
// (which it empties first).
TWalkResult OpenAndExtract(TWorkspace& Workspace, const std::string& MoviePath,
                           const std::string& ImageDir, TExtractObserver* Observer);
// A DefineBits picture as one JPEG: the movie's JPEGTables without their last
// 2 bytes, then the picture's block. Without tables to join (no JPEGTables
// record, or one of 2 bytes or fewer) a start-of-image marker opens the block
// instead. Target's content is replaced; it ends positioned at its end.
void JoinDefineBits(const TPictureList& Pictures, int32_t Number, tSWFStream& Target);
// Writes picture Number into Folder (the per-movie folder gets JPEG/, BMP/,
// PNG/ subfolders, and GIF/ when a GIF is written). Answers true when every
// file of the picture was written; what was not is told to the observer.
// Throws EPictureError when a PNG cannot be composed.
bool ExportPicture(TWorkspace& Workspace, int32_t Number, const std::string& Folder,
                   const std::string& Prefix, TExtractObserver* Observer = nullptr);
// Save: folders, then the export of SelectedPicture into OutputDir; answers
// as ExportPicture. Throws EPictureError.
bool SavePicture(TWorkspace& Workspace, const std::string& Prefix,
                 TExtractObserver* Observer = nullptr);
// The files of picture Number written into Folder, sorted into JPEG/, BMP/,
// PNG/ and GIF/ (made when a GIF comes) when Sorted. Touches no working
// folder and no workspace, so pictures can be written side by side on
// several threads; never throws (a PNG that cannot be made is told in the
// outcome). Expanded, if given, receives a JPEG3/4 picture's plane inflated.
TPictureOutcome WritePictureFiles(const TPictureList& Pictures, int32_t Number,
                                  const std::string& Folder, bool Sorted, const std::string& Prefix,
                                  tSWFStream* Expanded = nullptr, TWorkerPool* Pool = nullptr);
// Save all: folders, then every picture; a failing picture is reported to the
// observer and the rest are still saved. With a pool, the pictures are
// written by its threads, a few at a time, and the observer still hears of
// them in picture order, on the calling thread. Answers the number of
// pictures not saved whole.
int32_t SaveAllPictures(TWorkspace& Workspace, const std::string& Prefix,
                        TExtractObserver* Observer, TWorkerPool* Pool = nullptr);
