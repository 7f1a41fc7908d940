// The picture list of the open movie and the facts of its pictures.
#include "extract/PictureList.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "extract/JPEGDecode.h"
#include "extract/JPEGRepair.h"
#include "extract/Numbers.h"
#include "swf/F_Macromedia.h"

namespace {

const uint8_t StartOfImage[2] = {0xFF, 0xD8};

// The logical screen of a GIF, widened to its first image where that reaches
// further: a reader paints a screen of 0 at the image's size.
TPictureSize GIFSize(const uint8_t* Data, size_t Size) {
  if (Size < 13) return {};
  TPictureSize Screen{ReadLE16(Data + 6), ReadLE16(Data + 8)};
  size_t At = 13;
  if (Data[10] & 0x80) At += size_t(3) << ((Data[10] & 7) + 1);  // the global colour table
  while (At < Size && Data[At] == 0x21) {  // extensions: label, then sub-blocks up to an empty one
    At += 2;
    while (At < Size && Data[At] != 0) At += size_t(Data[At]) + 1;
    ++At;
  }
  if (At + 9 <= Size && Data[At] == 0x2C) {
    Screen.Width = std::max<int32_t>(Screen.Width, ReadLE16(Data + At + 1) + ReadLE16(Data + At + 5));
    Screen.Height =
        std::max<int32_t>(Screen.Height, ReadLE16(Data + At + 3) + ReadLE16(Data + At + 7));
  }
  return Screen;
}

bool IsCarriedFile(int32_t TagCode) {
  return TagCode == stagDefineBinaryData;
}

// Where a JPEG record's file starts in its primary block: a DefineBitsJPEG2
// block is the whole body, the character ID first.
TBlock StoredFile(const TPictureList& Pictures, int32_t Number) {
  TBlock Block = Pictures.Primary(Number);
  if (Pictures.TagCode(Number) == stagDefineBitsJPEG2) {
    if (Block.Size < 2) return {};
    Block.Data += 2;
    Block.Size -= 2;
  }
  return Block;
}

// The size a JPEG declares. Its header lies in the first pieces, so a few
// kilobytes are enough, unless the check of a multi-scan picture against its
// data needs all of them. Repair: the pieces are cleaned as one stream first
// (a DefineBits picture's tables and block).
TPictureSize JPEGSize(const std::vector<TBlock>& Pieces, bool Repair) {
  constexpr size_t Head = 65536;
  std::vector<uint8_t> Bytes, Repaired;
  const auto Read = [&](size_t Limit, TPictureSize& Size) {
    Bytes.clear();
    for (const TBlock& Piece : Pieces) {
      const size_t Take = std::min<size_t>(Piece.Size, Limit - Bytes.size());
      Bytes.insert(Bytes.end(), Piece.Data, Piece.Data + Take);
      if (Bytes.size() >= Limit) break;
    }
    const std::vector<uint8_t>* Stream = &Bytes;
    if (Repair) {
      RepairJPEGBytes(Bytes.data(), uint32_t(Bytes.size()), Repaired);
      Stream = &Repaired;
    }
    std::string Ignored;
    ReadJPEGSize(Stream->data(), Stream->size(), Size.Width, Size.Height, Ignored);
    return Bytes.size() >= Limit;  // cut at the limit
  };
  TPictureSize Size;
  if (Pieces.size() == 1 && !Repair) {
    std::string Ignored;
    ReadJPEGSize(Pieces[0].Data, Pieces[0].Size, Size.Width, Size.Height, Ignored);
    return Size.Known() ? Size : TPictureSize();
  }
  try {
    if (Read(Head, Size) && !Size.Known()) Read(SIZE_MAX, Size);
  } catch (const std::bad_alloc&) {
    Size = {};  // unknown: the picture is still listed
  }
  if (!Size.Known()) Size = {};
  return Size;
}

TPictureSize BMPSize(const TBlock& Bmp) {
  if (Bmp.Size < 26) return {};
  const int32_t Height = int32_t(ReadLE32(Bmp.Data + 22));
  return {int32_t(ReadLE32(Bmp.Data + 18)), Height < 0 ? -Height : Height};
}

int BMPBitsPerPixel(const TBlock& Bmp) {
  if (Bmp.Size < 30) return 0;
  switch (ReadLE16(Bmp.Data + 28)) {
    case 8:
      return 8;
    case 16:
      return 15;  // the converters' 16-bit pictures are 5-5-5
    case 24:
      return 24;
    default:
      return 0;
  }
}

TPictureFacts MakeFacts(const TPictureList& Pictures, int32_t Number, int32_t CharacterID) {
  TPictureFacts Facts;
  Facts.TagCode = Pictures.TagCode(Number);
  Facts.CharacterID = CharacterID;
  const TBlock Primary = Pictures.Primary(Number);
  switch (Facts.TagCode) {
    case stagDefineBitsLossless:
    case stagDefineBitsLossless2:
      Facts.Format = sfBMP;
      Facts.Size = BMPSize(Primary);
      Facts.BitsPerPixel = BMPBitsPerPixel(Primary);
      Facts.HasAlpha = Facts.TagCode == stagDefineBitsLossless2;
      break;
    case stagDefineBinaryData:
    case stagDefineBitsJPEG2:
    case stagDefineBitsJPEG3:
    case stagDefineBitsJPEG4: {
      const TEmbeddedImage Embedded = EmbeddedImage(Pictures, Number);
      if (Embedded.Format != efNone) {
        Facts.Format = Embedded.Format == efPNG ? sfPNG : sfGIF;
        Facts.Size = EmbeddedImageSize(Embedded.Bytes.Data, Embedded.Bytes.Size);
        Facts.BitsPerPixel = EmbeddedBitsPerPixel(Embedded.Bytes.Data, Embedded.Bytes.Size);
        break;
      }
      Facts.HasAlpha = IsJPEGWithAlpha(Facts.TagCode);
      [[fallthrough]];
    }
    case stagDefineBits:
      Facts.Format = sfJPEG;
      Facts.BitsPerPixel = 24;  // every JPEG is decoded into 24-bit colour
      // A DefineBits picture's tables may still change: its size is read
      // once the walk is over.
      if (Facts.TagCode != stagDefineBits) Facts.Size = JPEGSize(JPEGPieces(Pictures, Number), false);
      break;
    default:
      break;
  }
  return Facts;
}

}  // namespace

const char* StoredFormatName(TStoredFormat Format) {
  switch (Format) {
    case sfPNG:
      return "PNG";
    case sfGIF:
      return "GIF";
    case sfBMP:
      return "BMP";
    default:
      return "JPEG";
  }
}

const char* RecordKindName(int32_t TagCode) {
  switch (TagCode) {
    case stagDefineBits:
      return "DefineBits";
    case stagDefineBitsJPEG2:
      return "DefineBitsJPEG2";
    case stagDefineBitsJPEG3:
      return "DefineBitsJPEG3";
    case stagDefineBitsJPEG4:
      return "DefineBitsJPEG4";
    case stagDefineBitsLossless:
      return "DefineBitsLossless";
    case stagDefineBitsLossless2:
      return "DefineBitsLossless2";
    case stagDefineBinaryData:
      return "DefineBinaryData";
    default:
      return "unknown";
  }
}

std::string ColorModeText(int BitsPerPixel) {
  switch (BitsPerPixel) {
    case 1:
      return "Grayscale";
    case 4:
      return "16 colors";
    case 8:
      return "256 colors";
    case 15:
      return "15 bpp (RGB compression)";
    case 16:
      return "16 bpp";
    case 24:
      return "24 bpp";
    case 32:
      return "32 bpp (RGB compression)";
    default:
      return {};
  }
}

TPictureList::TPictureList()
    : PictureData(std::make_unique<tSWFStream>()), SideData(std::make_unique<tSWFStream>()) {
  ClearEntries();
}

void TPictureList::ClearEntries() {
  PictureEntries.assign(1, TPictureEntry{});
  SideStarts.assign(1, 0);
  FFacts.clear();
  Count = 0;
}

void TPictureList::Append(int32_t TagCode, tSWFStream& Primary, uint32_t Length, tSWFStream* Side,
                          int32_t CharacterID) {
  // The stores only ever grow at their ends. A source shorter than
  // announced gives what it has; a copy refused memory throws before the
  // picture is counted, so the walk lists it empty as short of memory
  // instead of as a picture with nothing to save.
  const uint32_t Available = Primary.Remaining() > 0 ? uint32_t(Primary.Remaining()) : 0;
  const uint32_t Taken = std::min(Length, Available);
  const TBlock Piece{Primary.Buffer() + Primary.Position(), Taken};
  Primary.SetPosition(Primary.Position() + Taken);
  AppendPieces(TagCode, {Piece}, Side, CharacterID);
}

void TPictureList::AppendPieces(int32_t TagCode, const std::vector<TBlock>& Pieces,
                                tSWFStream* Side, int32_t CharacterID) {
  PictureData->SetPosition(PictureData->Size());
  PictureEntries.back().DataStart = PictureData->Size();
  PictureEntries.back().TagCode = TagCode;
  for (const TBlock& Piece : Pieces)
    if (Piece.Size > 0 && !PictureData->WriteBytes(Piece.Data, Piece.Size))
      throw std::bad_alloc();
  PictureEntries.push_back(TPictureEntry{PictureData->Size(), 0});

  SideData->SetPosition(SideData->Size());
  SideStarts.back() = SideData->Size();
  if (Side && Side->Size() > 0) {
    Side->SetPosition(0);
    if (!SideData->CopyFrom(*Side, Side->Size())) {
      PictureEntries.pop_back();
      throw std::bad_alloc();
    }
  }
  SideStarts.push_back(SideData->Size());
  ++Count;
  FFacts.push_back(MakeFacts(*this, Count - 1, CharacterID));
}

void TPictureList::SetOrigin(int32_t N, TNames Names, std::vector<uint16_t> Carrier) {
  if (N < 0 || size_t(N) >= FFacts.size()) return;
  FFacts[size_t(N)].Names = std::move(Names);
  FFacts[size_t(N)].Carrier = std::move(Carrier);
}

void TPictureList::SetMemoryShort(int32_t N, TPictureSize Declared) {
  if (N < 0 || size_t(N) >= FFacts.size()) return;
  FFacts[size_t(N)].MemoryShort = true;
  FFacts[size_t(N)].Size = Declared;
}

void TPictureList::AppendInMovie(int32_t TagCode, TBlock Block, int32_t CharacterID) {
  const bool Inside = Movie && Block.Size > 0 && Block.Data >= Movie->Buffer() &&
                      Block.Data + Block.Size <= Movie->Buffer() + Movie->Size();
  tSWFStream Bytes;
  if (!Inside) {  // not the movie's bytes after all: copied as any block
    if (Block.Size > 0) Bytes.AttachBuffer(const_cast<uint8_t*>(Block.Data), Block.Size);
    Append(TagCode, Bytes, Block.Size, nullptr, CharacterID);
    return;
  }
  Append(TagCode, Bytes, 0, nullptr, CharacterID);
  TPictureEntry& Entry = PictureEntries[size_t(Count) - 1];
  Entry.MovieStart = uint32_t(Block.Data - Movie->Buffer());
  Entry.MovieSize = Block.Size;
  FFacts.back() = MakeFacts(*this, Count - 1, CharacterID);
}

void TPictureList::CompleteFacts() {
  for (int32_t N = 0; N < Count; ++N) {
    TPictureFacts& Facts = FFacts[size_t(N)];
    if (Facts.TagCode == stagDefineBits && !Facts.MemoryShort)
      Facts.Size = JPEGSize(JPEGPieces(*this, N), true);
  }
}

TBlock TPictureList::Primary(int32_t N) const {
  if (N < 0 || N >= Count || !PictureData) return {};
  const TPictureEntry& Entry = PictureEntries[size_t(N)];
  if (Entry.MovieSize > 0)
    return Movie && uint64_t(Entry.MovieStart) + Entry.MovieSize <= Movie->Size()
               ? TBlock{Movie->Buffer() + Entry.MovieStart, Entry.MovieSize}
               : TBlock{};
  uint32_t Start = Entry.DataStart;
  uint32_t End = PictureEntries[size_t(N) + 1].DataStart;
  if (End <= Start || End > PictureData->Size()) return {};
  return {PictureData->Buffer() + Start, End - Start};
}

TBlock TPictureList::Side(int32_t N) const {
  if (N < 0 || N >= Count || !SideData) return {};
  uint32_t Start = SideStarts[size_t(N)];
  uint32_t End = SideStarts[size_t(N) + 1];
  if (End <= Start || End > SideData->Size()) return {};
  return {SideData->Buffer() + Start, End - Start};
}

int32_t TPictureList::TagCode(int32_t N) const {
  if (N < 0 || N >= Count) return 0;
  return PictureEntries[size_t(N)].TagCode;
}

const tSWFStream* TPictureList::TablesOf(int32_t N) const {
  if (N < 0 || N >= Count) return nullptr;
  const uint32_t Movie = PictureEntries[size_t(N)].Tables;
  if (Movie == 0) return JPEGTables.get();
  return Movie <= CarriedTables.size() ? CarriedTables[Movie - 1].get() : nullptr;
}

const TPictureFacts& TPictureList::Facts(int32_t N) const {
  static const TPictureFacts None;
  if (N < 0 || N >= Count || size_t(N) >= FFacts.size()) return None;
  return FFacts[size_t(N)];
}

bool IsJPEGWithAlpha(int32_t TagCode) {
  return TagCode == stagDefineBitsJPEG3 || TagCode == stagDefineBitsJPEG4;
}

TCarriedKind CarriedKind(const uint8_t* Data, size_t Size) {
  if (!Data || Size < 3) return ckNothing;
  if ((Data[0] == 'F' || Data[0] == 'C' || Data[0] == 'Z') && Data[1] == 'W' && Data[2] == 'S')
    return ckMovie;
  if (Data[0] == 0xFF && Data[1] == 0xD8 && Data[2] == 0xFF) return ckJPEG;
  switch (EmbeddedFormat(Data, Size)) {
    case efPNG:
      return ckPNG;
    case efGIF:
      return ckGIF;
    default:
      return ckNothing;
  }
}

TEmbeddedFormat EmbeddedFormat(const uint8_t* Data, size_t Size) {
  static const uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!Data) return efNone;
  if (Size >= 8 && std::memcmp(Data, PngSignature, 8) == 0) return efPNG;
  if (Size >= 6 && (std::memcmp(Data, "GIF89a", 6) == 0 || std::memcmp(Data, "GIF87a", 6) == 0))
    return efGIF;
  return efNone;
}

TEmbeddedImage EmbeddedImage(const TPictureList& Pictures, int32_t Number) {
  TEmbeddedImage Image;
  const int32_t Code = Pictures.TagCode(Number);
  if (Code != stagDefineBitsJPEG2 && !IsJPEGWithAlpha(Code) && !IsCarriedFile(Code)) return Image;
  const TBlock File = StoredFile(Pictures, Number);
  Image.Format = EmbeddedFormat(File.Data, File.Size);
  if (Image.Format != efNone) Image.Bytes = File;
  return Image;
}

TPictureSize EmbeddedImageSize(const uint8_t* Data, size_t Size) {
  switch (EmbeddedFormat(Data, Size)) {
    case efPNG:  // IHDR follows the signature, width and height big-endian
      if (Size < 24) return {};
      return {int32_t(ReadBE32(Data + 16) & 0x7FFFFFFF), int32_t(ReadBE32(Data + 20) & 0x7FFFFFFF)};
    case efGIF:
      return GIFSize(Data, Size);
    default:
      return {};
  }
}

int EmbeddedBitsPerPixel(const uint8_t* Data, size_t Size) {
  const TEmbeddedFormat Format = EmbeddedFormat(Data, Size);
  if (Format == efGIF) return 8;
  // Signature, IHDR length and type, width, height, then depth and colour type.
  if (Format != efPNG || Size < 26) return 0;
  const int Depth = Data[24];
  switch (Data[25]) {
    case 0:  // grey
    case 3:  // palette
      return Depth;
    case 2:  // RGB
      return 3 * Depth;
    case 4:  // grey and alpha
      return 2 * Depth;
    case 6:  // RGB and alpha
      return 4 * Depth;
    default:
      return 0;
  }
}

const char* EmbeddedExtension(TEmbeddedFormat Format) {
  return Format == efPNG ? ".png" : Format == efGIF ? ".gif" : "";
}

// What comes before a DefineBits block: its movie's tables without their
// end-of-image marker, or the start-of-image marker the walk skipped.
static TBlock DefineBitsHead(const TPictureList& Pictures, int32_t Number) {
  const tSWFStream* Tables = Pictures.TablesOf(Number);
  if (Tables && Tables->Size() > 2) return {Tables->Buffer(), Tables->Size() - 2u};
  return {StartOfImage, 2};
}

std::vector<TBlock> JPEGPieces(const TPictureList& Pictures, int32_t Number) {
  std::vector<TBlock> Pieces;
  const TBlock Block = Pictures.Primary(Number);
  if (Block.Size == 0 || EmbeddedImage(Pictures, Number).Format != efNone) return Pieces;
  switch (Pictures.TagCode(Number)) {
    case stagDefineBits: {
      // The tables without their end-of-image marker, then the block.
      Pieces.push_back(DefineBitsHead(Pictures, Number));
      Pieces.push_back(Block);
      break;
    }
    case stagDefineBitsJPEG2: {
      std::vector<TJPEGRun> Runs;
      RepairJPEGRuns(Block.Data, Block.Size, Runs);
      for (const TJPEGRun& Run : Runs) Pieces.push_back({Block.Data + Run.Start, Run.Size});
      break;
    }
    case stagDefineBitsJPEG3:
    case stagDefineBitsJPEG4:
    case stagDefineBinaryData:
      Pieces.push_back(Block);
      break;
    default:
      break;
  }
  return Pieces;
}

TBlock JPEGStream(const TPictureList& Pictures, int32_t Number, std::vector<uint8_t>& Scratch) {
  Scratch.clear();
  const std::vector<TBlock> Pieces = JPEGPieces(Pictures, Number);
  const bool Joined = Pictures.TagCode(Number) == stagDefineBits;
  if (Pieces.size() == 1 && !Joined) return Pieces[0];
  try {
    size_t Total = 0;
    for (const TBlock& Piece : Pieces) Total += Piece.Size;
    if (BlockRefused(Total)) throw std::bad_alloc();
    std::vector<uint8_t> Gathered;
    Gathered.reserve(Total);
    for (const TBlock& Piece : Pieces) Gathered.insert(Gathered.end(), Piece.Data, Piece.Data + Piece.Size);
    if (!Joined) {
      Scratch = std::move(Gathered);
    } else {
      // Tables and block cleaned as one stream, as for the other records.
      RepairJPEGBytes(Gathered.data(), uint32_t(Gathered.size()), Scratch);
    }
  } catch (const std::bad_alloc&) {
    NoteMemoryShort();
    Scratch.clear();
    return {};
  }
  if (Scratch.empty()) return {};
  return {Scratch.data(), uint32_t(Scratch.size())};
}

void JoinDefineBits(const TPictureList& Pictures, int32_t Number, tSWFStream& Target) {
  Target.Reset();
  std::vector<TBlock> Pieces = JPEGPieces(Pictures, Number);
  if (Pieces.empty() && Pictures.TagCode(Number) == stagDefineBits) {
    // An empty block still gets its tables or marker.
    Pieces.push_back(DefineBitsHead(Pictures, Number));
  }
  for (const TBlock& Piece : Pieces)
    if (Piece.Size > 0) Target.WriteBytes(Piece.Data, Piece.Size);
}
