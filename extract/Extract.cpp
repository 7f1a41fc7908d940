// The walk of an open: load the movie, read its header, go through its
// records once and turn every picture record into a picture of the list.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "extract/Scripts.h"
#include "swf/F_Debugger.h"
#include "swf/F_Macromedia.h"
#include "swf/I_Header.h"
#include "swf/pictures/I_BitsLossLess.h"
#include "swf/pictures/T_DefineBitsJPEG4.h"
#include "swf/pictures/T_DefineBitsLossLess2.h"

namespace {

// 100 x Position / Size, halves to the even neighbour.
int ProgressPercent(uint32_t Position, uint32_t Size) {
  if (Size == 0) return 100;
  uint64_t Scaled = uint64_t(Position) * 100;
  uint64_t Quotient = Scaled / Size;
  uint64_t Twice = (Scaled % Size) * 2;
  if (Twice > Size || (Twice == Size && Quotient % 2 == 1)) ++Quotient;
  return int(Quotient);
}

// A run of zero bytes is a run of End records (code 0, no body), which the
// walk passes over; they are skipped at memory speed rather than one by one.
// An odd zero byte at the run's end still starts the next record header.
// True when it moved.
bool SkipEndRecords(tSWFStream& Movie) {
  static const uint8_t Zeros[4096] = {};
  if (Movie.BitsLeft() != 8 || Movie.Position() >= Movie.Size()) return false;
  const uint8_t* Start = Movie.Buffer() + Movie.Position();
  const uint8_t* End = Movie.Buffer() + Movie.Size();
  if (Start[0] != 0) return false;
  const uint8_t* At = Start;
  while (size_t(End - At) >= sizeof Zeros && std::memcmp(At, Zeros, sizeof Zeros) == 0)
    At += sizeof Zeros;
  while (At < End && *At == 0) ++At;
  const uint32_t Run = uint32_t(At - Start) & ~1u;
  if (Run == 0) return false;
  Movie.SetPosition(Movie.Position() + Run);
  return true;
}

// The handling of the three records that need decoding first. TagBody is
// the record's body, a view of the movie; the handlers reuse it as their
// scratch stream, as the converters expect.
class TRecordHandler {
 public:
  explicit TRecordHandler(TWorkspace& Workspace)
      : FPictures(Workspace.Pictures),
        FConverter(Workspace.Converter),
        FWorkDir(Workspace.WorkDir) {}

  // DefineBitsJPEG3 and DefineBitsJPEG4 (Tag tells which layout to read).
  void DefineBitsJPEG3(tSWFStream& TagBody, tDefineBitsJPEG3Tag& Tag, int32_t TagCode) {
    TagBody.SetPosition(0);
    Tag.Read(TagBody);
    tSWFStream& Jpeg = Tag.GetJPEGData().GetData();
    if (EmbeddedFormat(Jpeg.Buffer(), Jpeg.Size()) != efNone) {
      // A whole PNG or GIF file: kept as stored, and its alpha data is
      // ignored, as the player ignores it.
      Jpeg.SetPosition(0);
      FPictures.Append(TagCode, Jpeg, Jpeg.Size(), nullptr);
      return;
    }
    Jpeg.SaveToFile(FWorkDir + "jpegdata");
    // Kept as stored: the tag cannot know the plane's inflated size.
    tSWFStream& Alpha = Tag.GetAlphaData().GetStoredData();
    Alpha.SaveToFile(FWorkDir + "alpha");
    Alpha.SetPosition(0);
    TagBody.Reset();
    TagBody.LoadFromFile(FWorkDir + "jpegdata");
    RepairJPEGStream(TagBody, TagBody);
    TagBody.SetPosition(0);
    FPictures.Append(TagCode, TagBody, TagBody.Size(), &Alpha);
  }

  void DefineBitsLossless(tSWFStream& TagBody) {
    tBitsLossLessItem Item(0, 255);
    TagBody.SetPosition(2);
    Item.Read(TagBody);
    bool Inflated = PrepareConversion(Item);
    TagBody.Reset();
    if (Inflated) {
      uint16_t Width = Item.GetBitmapWidth(), Height = Item.GetBitmapHeight();
      switch (Item.GetBitmapFormat()) {
        case BitmapColorMapped:
          FConverter.ColorMappedToBMP(Width, Height, Item.GetBitmapColorTableSize(), TagBody,
                                      false);
          break;
        case BitmapPix15:
          FConverter.PIX15ToBMP(Width, Height, TagBody);
          break;
        case BitmapPix32:
          FConverter.ARGBToBMP(Width, Height, false, TagBody);
          break;
        default:
          break;
      }
    }
    TagBody.SetPosition(0);
    FPictures.Append(stagDefineBitsLossless, TagBody, TagBody.Size(), nullptr);
    RemoveScratch();
  }

  void DefineBitsLossless2(tSWFStream& TagBody) {
    tDefineBitsLossLess2Tag Tag(0, 255);
    tBitsLossLessItem& Item = Tag.GetLossLessItem();
    TagBody.SetPosition(2);
    Item.SetItemStyle(3);
    Item.Read(TagBody);
    bool Inflated = PrepareConversion(Item);
    TagBody.Reset();
    tSWFStream* Side = nullptr;
    if (Inflated) {
      uint16_t Width = Item.GetBitmapWidth(), Height = Item.GetBitmapHeight();
      if (Item.GetBitmapFormat() == BitmapColorMapped)
        FConverter.ColorMappedToBMP(Width, Height, Item.GetBitmapColorTableSize(), TagBody, true);
      else
        FConverter.ARGBToBMP(Width, Height, true, TagBody);
      Side = &FConverter.ConverterAlpha();
    }
    RemoveScratch();
    TagBody.SetPosition(0);
    FPictures.Append(stagDefineBitsLossless2, TagBody, TagBody.Size(), Side);
  }

 private:
  // Leaves "test" and "header" for the converters. False when the pixel
  // data could not be inflated at all (its declared size was refused): the
  // converters would then lay out a picture of that size from nothing, so
  // the record becomes an empty picture instead.
  bool PrepareConversion(tBitsLossLessItem& Item) {
    tZDumpItem& Bitmap = Item.GetBitmapData();
    tSWFStream& Pixels = Bitmap.GetData();
    bool Refused = Pixels.Size() > 0 && (Bitmap.GetOutEstimate() < 0 ||
                                         Pixels.Size() != uint32_t(Bitmap.GetOutEstimate()));
    // Kept in memory for the converters, as a view: the item lives on
    // until the record is done.
    FConverter.PutFile("test", Pixels.Buffer(), Pixels.Size());
    FConverter.WriteBMPHeader(Item.GetBitmapWidth(), Item.GetBitmapHeight(),
                              Item.GetBitmapFormat());
    return !Refused;
  }

  void RemoveScratch() {
    FConverter.RemoveFile("test");
    FConverter.RemoveFile("header");
  }

  TPictureList& FPictures;
  TLosslessConverter& FConverter;
  const std::string& FWorkDir;
};

}  // namespace

TWalkProblem WalkProblem(const TWalkResult& Walk) {
  if (!Walk.Loaded) return wpCannotRead;
  if (Walk.Signature == 0) return wpNotAMovie;
  if (Walk.BodyLost) return Walk.Signature == 'Z' ? wpLZMALost : wpBodyLost;
  if (Walk.BodyCut) return wpBodyCut;
  if (!Walk.HeaderRead) return wpHeaderDamaged;
  if (Walk.MovieCut) return wpMovieCut;
  if (!Walk.Complete) return wpRecordDamaged;
  return wpNone;
}

std::string WalkProblemText(const TWalkResult& Walk) {
  switch (WalkProblem(Walk)) {
    case wpCannotRead:
      return std::string("The file cannot be read: ") + std::strerror(Walk.LoadError) + ".";
    case wpNotAMovie:
      return "The file is not an SWF movie: it does not begin with FWS, CWS or ZWS.";
    case wpLZMALost:
      return "The movie is damaged: its LZMA-compressed body could not be decoded.";
    case wpBodyLost:
      return "The movie is damaged: its compressed body could not be expanded and was read as "
             "it stands.";
    case wpBodyCut:
      return "The movie is damaged: its compressed body ends after " +
             std::to_string(Walk.BodyDecoded) + " of the " + std::to_string(Walk.BodyDeclared) +
             " bytes it declares.";
    case wpHeaderDamaged:
      return "The movie is damaged: its header is cut short.";
    case wpRecordDamaged:
      return "The movie is damaged at byte " + std::to_string(Walk.DamagedAt) + " of " +
             std::to_string(Walk.MovieSize) + ": the record there runs past the end of the movie.";
    case wpMovieCut:
      return "The movie is damaged: it ends after " + std::to_string(Walk.MovieSize) + " of the " +
             std::to_string(Walk.MovieDeclared) + " bytes it declares.";
    default:
      return {};
  }
}

std::string MovieOutputDir(const std::string& ImageDir, const std::string& MoviePath) {
  const size_t Slash = MoviePath.find_last_of('/');
  return ImageDir + (Slash == std::string::npos ? MoviePath : MoviePath.substr(Slash + 1)) + "/";
}

TWalkResult OpenAndExtract(TWorkspace& Workspace, const std::string& MoviePath,
                           const std::string& ImageDir, TExtractObserver* Observer) {
  TWalkResult Result;
  Debugger.ClearEntries();  // the log tells of this movie only
  TPictureList& Pictures = Workspace.Pictures;
  // The list starts empty whoever called us, so an open never mixes movies.
  Pictures.ClearEntries();
  Pictures.JPEGTables.reset();
  Pictures.PictureData = std::make_unique<tSWFStream>();
  auto Movie = std::make_unique<tSWFStream>();

  Workspace.OutputDir = MovieOutputDir(ImageDir, MoviePath);
  for (const char* Sub : {"", "PNG/", "JPEG/", "BMP/"})
    mkdir((Workspace.OutputDir + Sub).c_str(), 0777);  // once each; failures show at export

  errno = 0;
  Result.Loaded = Movie->LoadFromFile(MoviePath);
  if (!Result.Loaded) Result.LoadError = errno ? errno : EIO;
  if (Observer) Observer->WalkStarted(MoviePath);

  tHeaderItem Header(0, 255);
  Result.HeaderRead = Header.Read(*Movie);
  Result.Signature = Header.GetSignature();
  Result.BodyCut = Header.GetBodyCut();
  Result.BodyLost = Header.GetBodyLost();
  if (Header.GetCompressed() || Result.BodyLost) {
    Result.BodyDecoded = Header.GetBodyDecoded();
    Result.BodyDeclared = Header.GetFileLength() >= 8 ? Header.GetFileLength() - 8 : 0;
  }
  Movie->GetUI16();  // frame count, not used

  Pictures.SideData = std::make_unique<tSWFStream>();
  TRecordHandler Handler(Workspace);
  Workspace.Converter.SetWorkDir(Workspace.WorkDir);
  // The converters' files never leave the walk: no need to write them out.
  Workspace.Converter.KeepFilesInMemory(true);
  struct TBackToFiles {
    TLosslessConverter& Converter;
    ~TBackToFiles() { Converter.KeepFilesInMemory(false); }
  } BackToFiles{Workspace.Converter};
  for (;;) {
    if (SkipEndRecords(*Movie) && Observer)
      Observer->WalkProgress(ProgressPercent(Movie->Position(), Movie->Size()));
    int32_t Before = Movie->Remaining();
    const uint32_t RecordStart = Movie->Position();
    uint16_t Code = 0;
    bool LongHeader = false;
    tSWFStream TagBody;
    if (!Movie->NextTag(Code, LongHeader, TagBody)) {
      // Fewer than 2 bytes left is the normal end; anything else is a record
      // that could not be read.
      Result.Complete = Before < 2 && !Result.BodyCut && !Result.BodyLost;
      if (Before >= 2) Result.DamagedAt = RecordStart;
      Result.MovieSize = Movie->Size();
      // Records may end cleanly where a plain movie was cut between two of
      // them; its declared length still tells.
      if (Result.Complete && !Header.GetCompressed() && Header.GetFileLength() > Movie->Size()) {
        Result.MovieCut = true;
        Result.MovieDeclared = Header.GetFileLength();
        Result.Complete = false;
      }
      break;
    }
    switch (Code) {
      case stagJPEGTables:
        TagBody.SetPosition(0);
        Pictures.JPEGTables = std::make_unique<tSWFStream>();
        Pictures.JPEGTables->CopyFrom(TagBody, TagBody.Size());
        break;
      case stagDefineBits:
        // Past the character ID and the start-of-image marker; a body too
        // short for them gives an empty block.
        TagBody.SetPosition(TagBody.Size() >= 4 ? 4 : TagBody.Size());
        Pictures.Append(stagDefineBits, TagBody, TagBody.Size() - TagBody.Position(), nullptr);
        break;
      case stagDefineBitsJPEG2:
        TagBody.SetPosition(0);
        Pictures.Append(stagDefineBitsJPEG2, TagBody, TagBody.Size(), nullptr);
        break;
      case stagDefineBitsJPEG3: {
        tDefineBitsJPEG3Tag Tag(0, 255);
        Handler.DefineBitsJPEG3(TagBody, Tag, Code);
        break;
      }
      case stagDefineBitsJPEG4: {
        tDefineBitsJPEG4Tag Tag(0, 255);
        Handler.DefineBitsJPEG3(TagBody, Tag, Code);
        break;
      }
      case stagDefineBitsLossless:
        Handler.DefineBitsLossless(TagBody);
        break;
      case stagDefineBitsLossless2:
        Handler.DefineBitsLossless2(TagBody);
        break;
      default:
        break;
    }
    if (Observer) Observer->WalkProgress(ProgressPercent(Movie->Position(), Movie->Size()));
  }
  Movie.reset();

  if (Observer) Observer->WalkEnded(Pictures.Count);
  return Result;
}
