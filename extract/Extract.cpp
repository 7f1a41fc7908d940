// The walk of an open: load the movie, read its header, go through its
// records once and turn every picture record into a picture of the list.
// Everything passes in memory: record bodies are views of the movie, and
// what a record is converted into goes straight to the list's stores.
#include "extract/Extract.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <map>
#include <new>

#include "extract/Export.h"
#include "extract/JPEGRepair.h"
#include "extract/Lossless.h"
#include "extract/Numbers.h"
#include "swf/F_Macromedia.h"
#include "swf/I_Header.h"
#include "swf/pictures/I_BitsLossLess.h"
#include "swf/pictures/T_DefineBitsJPEG4.h"
#include "swf/pictures/T_DefineBitsLossLess2.h"

namespace {

int ProgressPercent(uint32_t Position, uint32_t Size) {
  return Size == 0 ? 100 : int(RoundHalfEven(int64_t(Position) * 100, Size));
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

// Reads a movie's header, expanding its body, into Result.
void ReadHeader(tSWFStream& Movie, tHeaderItem& Header, TWalkResult& Result) {
  Result.HeaderRead = Header.Read(Movie);
  Result.Signature = Header.GetSignature();
  Result.BodyCut = Header.GetBodyCut();
  Result.BodyLost = Header.GetBodyLost();
  Result.BodyMemoryShort = Header.GetBodyMemoryShort();
  if (Header.GetCompressed() || Result.BodyLost) {
    Result.BodyDecoded = Header.GetBodyDecoded();
    Result.BodyDeclared = Header.GetFileLength() >= 8 ? Header.GetFileLength() - 8 : 0;
  }
  Movie.GetUI16();  // frame count, not used
}

// The record's first UI16, the character ID; -1 when the body is shorter.
int32_t CharacterID(const tSWFStream& Body) {
  return Body.Size() >= 2 ? ReadLE16(Body.Buffer()) : -1;
}

// The three records that need decoding first. TagBody is the record's body,
// a view of the movie.
class TRecordHandler {
 public:
  explicit TRecordHandler(TPictureList& Pictures) : FPictures(Pictures) {}

  // DefineBitsJPEG3 and DefineBitsJPEG4 (Tag tells which layout to read).
  void DefineBitsJPEG3(tSWFStream& TagBody, tDefineBitsJPEG3Tag& Tag, int32_t TagCode) {
    const int32_t ID = CharacterID(TagBody);
    TagBody.SetPosition(0);
    Tag.Read(TagBody);
    tSWFStream& Jpeg = Tag.GetJPEGData().GetData();
    Jpeg.SetPosition(0);
    if (EmbeddedFormat(Jpeg.Buffer(), Jpeg.Size()) != efNone) {
      // A whole PNG or GIF file: kept as stored, and its alpha data is
      // ignored, as the player ignores it.
      FPictures.Append(TagCode, Jpeg, Jpeg.Size(), nullptr, ID);
      return;
    }
    // Kept as stored: the tag cannot know the plane's inflated size.
    tSWFStream& Alpha = Tag.GetAlphaData().GetStoredData();
    Alpha.SetPosition(0);
    // The repaired stream goes into the store as the runs the repair keeps.
    std::vector<TJPEGRun> Runs;
    RepairJPEGRuns(Jpeg.Buffer(), Jpeg.Size(), Runs);
    std::vector<TBlock> Pieces;
    Pieces.reserve(Runs.size());
    for (const TJPEGRun& Run : Runs) Pieces.push_back({Jpeg.Buffer() + Run.Start, Run.Size});
    FPictures.AppendPieces(TagCode, Pieces, &Alpha, ID);
  }

  // The size the record being handled declares, for a refusal of memory.
  TPictureSize Declared;

  void DefineBitsLossless(tSWFStream& TagBody) {
    const int32_t ID = CharacterID(TagBody);
    tBitsLossLessItem Item(0, 255);
    TagBody.SetPosition(2);
    Item.Read(TagBody);
    Declared = {Item.GetBitmapWidth(), Item.GetBitmapHeight()};
    tSWFStream Bmp;
    TBlock Pixels;
    if (InflatedPixels(Item, Pixels)) {
      const uint16_t Width = Item.GetBitmapWidth(), Height = Item.GetBitmapHeight();
      const std::vector<uint8_t> Header =
          TLosslessConverter::BMPHeader(Width, Height, Item.GetBitmapFormat());
      switch (Item.GetBitmapFormat()) {
        case BitmapColorMapped:
          FConverter.ColorMappedToBMP(Pixels, Header, Width, Height,
                                      Item.GetBitmapColorTableSize(), Bmp, false);
          break;
        case BitmapPix15:
          FConverter.PIX15ToBMP(Pixels, Header, Width, Height, Bmp);
          break;
        case BitmapPix32:
          FConverter.ARGBToBMP(Pixels, Header, Width, Height, false, Bmp);
          break;
        default:
          break;
      }
    }
    Bmp.SetPosition(0);
    FPictures.Append(stagDefineBitsLossless, Bmp, Bmp.Size(), nullptr, ID);
  }

  void DefineBitsLossless2(tSWFStream& TagBody) {
    const int32_t ID = CharacterID(TagBody);
    tDefineBitsLossLess2Tag Tag(0, 255);
    tBitsLossLessItem& Item = Tag.GetLossLessItem();
    TagBody.SetPosition(2);
    Item.SetItemStyle(3);
    Item.Read(TagBody);
    Declared = {Item.GetBitmapWidth(), Item.GetBitmapHeight()};
    tSWFStream Bmp;
    tSWFStream* Side = nullptr;
    TBlock Pixels;
    if (InflatedPixels(Item, Pixels)) {
      const uint16_t Width = Item.GetBitmapWidth(), Height = Item.GetBitmapHeight();
      const std::vector<uint8_t> Header =
          TLosslessConverter::BMPHeader(Width, Height, Item.GetBitmapFormat());
      if (Item.GetBitmapFormat() == BitmapColorMapped)
        FConverter.ColorMappedToBMP(Pixels, Header, Width, Height,
                                    Item.GetBitmapColorTableSize(), Bmp, true);
      else
        FConverter.ARGBToBMP(Pixels, Header, Width, Height, true, Bmp);
      Side = &FConverter.ConverterAlpha();
    }
    Bmp.SetPosition(0);
    FPictures.Append(stagDefineBitsLossless2, Bmp, Bmp.Size(), Side, ID);
  }

  // A record that ran short of memory still takes its number, empty.
  void AppendEmpty(int32_t TagCode, const tSWFStream& TagBody) {
    tSWFStream Nothing;
    FPictures.Append(TagCode, Nothing, 0, nullptr, CharacterID(TagBody));
  }

 private:
  // The pixel data as inflated. False when it could not be inflated at all
  // (its declared size was refused): the converters would then lay out a
  // picture of that size from nothing, so the record becomes an empty
  // picture instead.
  static bool InflatedPixels(tBitsLossLessItem& Item, TBlock& Pixels) {
    tZDumpItem& Bitmap = Item.GetBitmapData();
    tSWFStream& Data = Bitmap.GetData();
    if (Bitmap.GetMemoryShort()) throw std::bad_alloc();  // not a damaged record
    const bool Refused = Data.Size() > 0 && (Bitmap.GetOutEstimate() < 0 ||
                                             Data.Size() != uint32_t(Bitmap.GetOutEstimate()));
    Pixels = {Data.Buffer(), Data.Size()};
    return !Refused;
  }

  TPictureList& FPictures;
  TLosslessConverter FConverter;
};

// A DefineBinaryData record's data: what follows its character ID and its
// reserved UI32.
struct TCarried {
  uint16_t ID = 0;
  TBlock Data;
};

// The names a SymbolClass or ExportAssets body gives characters: a UI16
// count, then that many pairs of a UI16 ID and a zero-terminated string.
// Each name is kept once per character, in record order; a pair cut short
// ends the record. A character keeps its first MaxNames names, each cut to
// MaxNameBytes at a character boundary: what is told of every picture of
// that character then stays small, however many records a file repeats.
constexpr size_t MaxNames = 16, MaxNameBytes = 256;

void ReadNames(const tSWFStream& Body, std::map<uint16_t, std::vector<std::string>>& Names) {
  const uint8_t* Data = Body.Buffer();
  const size_t Size = Body.Size();
  if (Size < 2) return;
  const uint32_t Count = ReadLE16(Data);
  size_t At = 2;
  for (uint32_t i = 0; i < Count && At + 2 <= Size; ++i) {
    const uint16_t ID = ReadLE16(Data + At);
    At += 2;
    const auto* End = static_cast<const uint8_t*>(std::memchr(Data + At, 0, Size - At));
    if (!End) return;
    size_t Length = std::min(size_t(End - (Data + At)), MaxNameBytes);
    if (Data + At + Length < End)
      while (Length > 0 && (Data[At + Length] & 0xC0) == 0x80) --Length;  // inside a character
    std::string Name(reinterpret_cast<const char*>(Data + At), Length);
    At = size_t(End - Data) + 1;
    std::vector<std::string>& Known = Names[ID];
    if (Known.size() < MaxNames && std::find(Known.begin(), Known.end(), Name) == Known.end())
      Known.push_back(std::move(Name));
  }
}

// One walk of an open: the movie's own records, then, depth first, the
// movies and picture files its DefineBinaryData records carry.
class TWalk {
 public:
  TWalk(TPictureList& Pictures, tDebugger& Log, TWalkResult& Result, TExtractObserver* Observer)
      : FPictures(Pictures), FLog(Log), FResult(Result), FObserver(Observer) {}

  // The open movie, read by its header: its records and what it carries.
  void Outer(tSWFStream& Movie, const tHeaderItem& Header) {
    FExpanded = Movie.Size();
    Movie_(Movie, Header, FResult, {}, FObserver);
  }

 private:
  // Carried movies are walked this many levels below the open one at most.
  static constexpr size_t MaxDepth = 4;

  void Movie_(tSWFStream& Movie, const tHeaderItem& Header, TWalkResult& Result,
              const std::vector<uint16_t>& Carrier, TExtractObserver* Observer) {
    std::vector<TCarried> Carried;
    std::map<uint16_t, std::vector<std::string>> Names;
    const int32_t First = FPictures.Count;
    Records(Movie, Header, Result, Observer, Carried, Names);
    std::map<uint16_t, TNames> Shared;
    for (auto& [ID, List] : Names) Shared.emplace(ID, TNames(std::move(List)));
    for (int32_t N = First; N < FPictures.Count; ++N) Name(N, Shared, Carrier);
    for (const TCarried& Item : Carried) {
      std::vector<uint16_t> Inner = Carrier;
      Inner.push_back(Item.ID);
      switch (CarriedKind(Item.Data.Data, Item.Data.Size)) {
        case ckMovie:
          if (Inner.size() <= MaxDepth) CarriedMovie(Item, Inner);
          break;
        case ckPNG:
        case ckGIF:
        case ckJPEG: {
          // A picture file, saved as stored.
          tSWFStream File;
          if (Item.Data.Size > 0)
            File.AttachBuffer(const_cast<uint8_t*>(Item.Data.Data), Item.Data.Size);
          try {
            FPictures.Append(stagDefineBinaryData, File, File.Size(), nullptr, Item.ID);
          } catch (const std::bad_alloc&) {
            tSWFStream Nothing;
            FPictures.Append(stagDefineBinaryData, Nothing, 0, nullptr, Item.ID);
            FPictures.SetMemoryShort(FPictures.Count - 1, {});
            FResult.MemoryShort.push_back({FPictures.Count - 1, {}});
          }
          FPictures.SetOrigin(FPictures.Count - 1, NamesOf(Item.ID, Shared), Inner);
          break;
        }
        default:
          break;  // data that is no picture
      }
    }
  }

  void Name(int32_t N, const std::map<uint16_t, TNames>& Names,
            const std::vector<uint16_t>& Carrier) {
    const int32_t ID = FPictures.Facts(N).CharacterID;
    FPictures.SetOrigin(N, ID >= 0 ? NamesOf(uint16_t(ID), Names) : TNames(), Carrier);
  }

  static TNames NamesOf(uint16_t ID, const std::map<uint16_t, TNames>& Names) {
    const auto Found = Names.find(ID);
    return Found == Names.end() ? TNames() : Found->second;
  }

  // A movie carried as binary data, read exactly as a movie file is read.
  // Every level's expansion counts against the one limit of the open movie.
  void CarriedMovie(const TCarried& Item, const std::vector<uint16_t>& Carrier) {
    TWalkResult Result;
    tSWFStream Movie;
    Result.Loaded = Movie.WriteBytes(Item.Data.Data, Item.Data.Size);
    if (!Result.Loaded) Result.LoadError = ENOMEM;  // the only way a copy fails
    Movie.SetPosition(0);
    tHeaderItem Header(0, 255);
    Header.SetExpansionLimit(MaxExpandedMovie > FExpanded ? MaxExpandedMovie - FExpanded : 0);
    ReadHeader(Movie, Header, Result);
    if (Header.GetCompressed()) FExpanded += Movie.Size();
    // Told before the movies it carries in turn.
    const size_t Index = FResult.Carried.size();
    FResult.Carried.push_back({Carrier, {}});
    FPictures.CarriedTables.emplace_back();  // none until its own JPEGTables record
    const uint32_t OuterTables = FTables;
    FTables = uint32_t(FPictures.CarriedTables.size());
    Movie_(Movie, Header, Result, Carrier, nullptr);
    FTables = OuterTables;
    FResult.Carried[Index].Walk = std::move(Result);
  }

  void Records(tSWFStream& Movie, const tHeaderItem& Header, TWalkResult& Result,
               TExtractObserver* Observer,
               std::vector<TCarried>& Carried,
               std::map<uint16_t, std::vector<std::string>>& Names) {
    TRecordHandler Handler(FPictures);
    for (;;) {
      if (SkipEndRecords(Movie) && Observer)
        Observer->WalkProgress(ProgressPercent(Movie.Position(), Movie.Size()));
      int32_t Before = Movie.Remaining();
      const uint32_t RecordStart = Movie.Position();
      FLog.SetPosition(RecordStart);
      uint16_t Code = 0;
      bool LongHeader = false;
      tSWFStream TagBody;
      if (!Movie.NextTag(Code, LongHeader, TagBody)) {
        // Fewer than 2 bytes left is the normal end; anything else is a
        // record that could not be read.
        Result.Complete = Before < 2 && !Result.BodyCut && !Result.BodyLost;
        if (Before >= 2) Result.DamagedAt = RecordStart;
        Result.MovieSize = Movie.Size();
        // Records may end cleanly where a plain movie was cut between two
        // of them; its declared length still tells.
        if (Result.Complete && !Header.GetCompressed() && Header.GetFileLength() > Movie.Size()) {
          Result.MovieCut = true;
          Result.MovieDeclared = Header.GetFileLength();
          Result.Complete = false;
        }
        break;
      }
      const int32_t Count = FPictures.Count;
      Handler.Declared = {};
      try {
        Record(Code, TagBody, Handler, Carried, Names, &Movie == FPictures.Movie.get());
      } catch (const std::bad_alloc&) {
        // The picture that needed the memory is listed empty; the walk goes on.
        if (IsPicture(Code) && FPictures.Count == Count) {
          Handler.AppendEmpty(Code, TagBody);
          FPictures.SetMemoryShort(Count, Handler.Declared);
          FResult.MemoryShort.push_back({Count, Handler.Declared});
        } else if (!IsPicture(Code)) {
          // Tables or names lost: the pictures that needed them are not
          // what the movie holds, so it is not read whole.
          Result.OutOfMemory = true;
        }
      }
      // A DefineBits picture is joined to the tables of the movie it lies in.
      for (int32_t N = Count; N < FPictures.Count; ++N)
        FPictures.PictureEntries[size_t(N)].Tables = FTables;
      if (Observer) Observer->WalkProgress(ProgressPercent(Movie.Position(), Movie.Size()));
    }
  }

  static bool IsPicture(uint16_t Code) {
    switch (Code) {
      case stagDefineBits:
      case stagDefineBitsJPEG2:
      case stagDefineBitsJPEG3:
      case stagDefineBitsJPEG4:
      case stagDefineBitsLossless:
      case stagDefineBitsLossless2:
        return true;
      default:
        return false;
    }
  }

  void Record(uint16_t Code, tSWFStream& TagBody, TRecordHandler& Handler,
              std::vector<TCarried>& Carried, std::map<uint16_t, std::vector<std::string>>& Names,
              bool InMovie) {
    switch (Code) {
      case stagJPEGTables: {
        TagBody.SetPosition(0);
        auto& Tables = FTables == 0 ? FPictures.JPEGTables : FPictures.CarriedTables[FTables - 1];
        Tables = std::make_unique<tSWFStream>();
        if (!Tables->CopyFrom(TagBody, TagBody.Size())) throw std::bad_alloc();
        break;
      }
      case stagDefineBits:
      case stagDefineBitsJPEG2: {
        // A DefineBits block starts past the character ID and the
        // start-of-image marker; a body too short for them gives an empty
        // block. The open movie's blocks stay where they lie in it.
        const uint32_t Skip =
            Code == stagDefineBits ? std::min<uint32_t>(4, TagBody.Size()) : 0;
        if (InMovie) {
          FPictures.AppendInMovie(Code, {TagBody.Buffer() + Skip, TagBody.Size() - Skip},
                                  CharacterID(TagBody));
        } else {
          TagBody.SetPosition(Skip);
          FPictures.Append(Code, TagBody, TagBody.Size() - Skip, nullptr, CharacterID(TagBody));
        }
        break;
      }
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
      case stagDefineBinaryData:
        // A view of this movie, which lives until what it carries is walked.
        if (TagBody.Size() >= 6)
          Carried.push_back({ReadLE16(TagBody.Buffer()),
                             {TagBody.Buffer() + 6, TagBody.Size() - 6}});
        break;
      case stagSymbolClass:
      case stagExportAssets:
        ReadNames(TagBody, Names);
        break;
      default:
        break;
    }
  }

  TPictureList& FPictures;
  tDebugger& FLog;
  TWalkResult& FResult;
  TExtractObserver* FObserver;
  uint64_t FExpanded = 0;  // bytes the movies walked so far expanded to
  uint32_t FTables = 0;    // the movie being walked, as TPictureEntry::Tables counts it
};

}  // namespace

void ResetWorkspace(TWorkspace& Workspace) {
  Workspace.Pictures.ClearEntries();
}

void DropPictureStores(TWorkspace& Workspace) {
  TPictureList& Pictures = Workspace.Pictures;
  Pictures.JPEGTables.reset();
  Pictures.CarriedTables.clear();
  Pictures.PictureData = std::make_unique<tSWFStream>();
  Pictures.SideData = std::make_unique<tSWFStream>();
  Pictures.Movie.reset();
}

TWalkProblem WalkProblem(const TWalkResult& Walk) {
  if (!Walk.Loaded) return wpCannotRead;
  if (Walk.Signature == 0) return wpNotAMovie;
  if (Walk.BodyMemoryShort) return wpBodyMemory;
  if (Walk.BodyLost) return Walk.Signature == 'Z' ? wpLZMALost : wpBodyLost;
  if (Walk.BodyCut) return wpBodyCut;
  if (!Walk.HeaderRead) return wpHeaderDamaged;
  if (Walk.OutOfMemory) return wpOutOfMemory;
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
    case wpBodyMemory:
      return "Not enough memory to expand the movie.";
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
    case wpOutOfMemory:
      return "There was not enough memory to read the whole movie.";
    default:
      return {};
  }
}

std::string MemoryShortText(int32_t Number, TPictureSize Size) {
  std::string Text = "Not enough memory for picture " + std::to_string(Number);
  if (Size.Known())
    Text += " (" + std::to_string(Size.Width) + " \u00D7 " + std::to_string(Size.Height) + ")";
  return Text + ".";
}

bool ReadWhole(const TWalkResult& Walk) {
  if (WalkProblem(Walk) != wpNone) return false;
  for (const TCarriedWalk& Carried : Walk.Carried)
    if (WalkProblem(Carried.Walk) != wpNone) return false;
  return true;
}

std::string CarrierText(const std::vector<uint16_t>& Carrier) {
  std::string Text;
  for (size_t i = Carrier.size(); i-- > 0;) {
    Text += std::to_string(Carrier[i]);
    if (i > 0) Text += i + 1 == Carrier.size() ? " (in binary data " : " in binary data ";
  }
  if (Carrier.size() > 1) Text += ")";
  return Text;
}

std::string CarriedProblemText(const TCarriedWalk& Carried) {
  return "Binary data " + CarrierText(Carried.Carrier) + " carries a movie that is not whole: " +
         WalkProblemText(Carried.Walk);
}

std::string LogEntryText(const tDebuggerEntry& Entry) {
  return "code " + std::to_string(Entry.Code) + " at byte " + std::to_string(Entry.Position) +
         ": " + Entry.Text;
}

TWalkResult OpenAndExtract(TWorkspace& Workspace, const std::string& MoviePath,
                           const std::string& ImageDir, TExtractObserver* Observer) {
  TWalkResult Result;
  tDebugger Log;  // this walk's own, whichever thread it runs on
  tDebuggerScope Scope(Log);
  TPictureList& Pictures = Workspace.Pictures;
  // The list starts empty whoever called us, so an open never mixes movies.
  Pictures.ClearEntries();
  DropPictureStores(Workspace);

  // Once each; failures show at export. Without an image folder (a listing)
  // nothing is made.
  Workspace.OutputDir = ImageDir.empty() ? std::string() : MovieOutputDir(ImageDir, MoviePath);
  if (!ImageDir.empty()) CreateOutputFolders(Workspace.OutputDir);

  try {
    // The list keeps the movie: JPEG records' blocks are written from it.
    Pictures.Movie = std::make_unique<tSWFStream>();
    tSWFStream* Movie = Pictures.Movie.get();
    errno = 0;
    Result.Loaded = Movie->LoadFromFile(MoviePath);
    if (!Result.Loaded) Result.LoadError = errno ? errno : EIO;
    if (Observer) Observer->WalkStarted(MoviePath);

    tHeaderItem Header(0, 255);
    ReadHeader(*Movie, Header, Result);
    TWalk(Pictures, Log, Result, Observer).Outer(*Movie, Header);
  } catch (const std::bad_alloc&) {
    Result.OutOfMemory = true;
  }
  try {
    Pictures.CompleteFacts();
  } catch (const std::bad_alloc&) {
    Result.OutOfMemory = true;
  }
  Result.LogDropped = Log.Dropped();
  Result.Log = Log.TakeEntries();
  if (Observer) Observer->WalkEnded(Pictures.Count);
  return Result;
}
