// The picture list of the open movie: every picture's stored blocks, back to
// back in two stores, and one record of facts per picture, made once when the
// walk appends it. Whoever tells what a picture is (tooltips, the information
// pane, reports, the export) reads the facts; nobody works them out again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/D_Storages.h"

// Read-only bytes of the stores.
struct TBlock {
  const uint8_t* Data = nullptr;
  uint32_t Size = 0;
};

// A picture's size; 0 x 0 when its data do not tell.
struct TPictureSize {
  int32_t Width = 0;
  int32_t Height = 0;
  bool Known() const { return Width > 0 && Height > 0; }
};

// What a picture is stored as: the JPEG of a JPEG record, the BMP the
// lossless converters make, or a PNG or GIF file a JPEG record stores whole.
enum TStoredFormat : uint8_t { sfJPEG, sfPNG, sfGIF, sfBMP };
// "JPEG", "PNG", "GIF", "BMP".
const char* StoredFormatName(TStoredFormat Format);
// "DefineBits", "DefineBitsJPEG2", ... for a picture record's code; "unknown" otherwise.
const char* RecordKindName(int32_t TagCode);
// The colour mode of a picture with this many bits per pixel (15 for a 16-bit
// BMP of 5-5-5 pixels); empty when there is none.
std::string ColorModeText(int BitsPerPixel);

// A picture's symbol names, in record order. Every picture of one character
// in one movie shares the one list, however many pictures repeat its ID.
class TNames {
 public:
  TNames() = default;
  explicit TNames(std::vector<std::string> List)
      : FList(std::make_shared<const std::vector<std::string>>(std::move(List))) {}
  const std::vector<std::string>& List() const {
    static const std::vector<std::string> None;
    return FList ? *FList : None;
  }
  bool empty() const { return List().empty(); }
  size_t size() const { return List().size(); }
  const std::string& operator[](size_t I) const { return List()[I]; }
  std::vector<std::string>::const_iterator begin() const { return List().begin(); }
  std::vector<std::string>::const_iterator end() const { return List().end(); }

 private:
  std::shared_ptr<const std::vector<std::string>> FList;
};

struct TPictureFacts {
  int32_t TagCode = 0;                  // 6, 21, 35, 90, 20, 36, or 87 for a carried file
  TStoredFormat Format = sfJPEG;
  TPictureSize Size;                    // as the stored data declare it
  int BitsPerPixel = 0;                 // of the stored picture; 0 when unknown
  bool HasAlpha = false;                // saved with its alpha plane as a PNG
  int32_t CharacterID = -1;             // the record's first UI16; -1 when it is too short
  // The names the movie it lies in gives its character (SymbolClass and
  // ExportAssets records), each once, in record order.
  TNames Names;
  // The DefineBinaryData records it lies in, outermost first; empty for the
  // movie's own pictures.
  std::vector<uint16_t> Carrier;
  // Memory was too short to convert its record: it is listed empty, with the
  // size its record declares.
  bool MemoryShort = false;
  // The kind a person is shown: "PNG" for a picture saved with its alpha,
  // otherwise its stored format.
  const char* KindName() const { return HasAlpha ? "PNG" : StoredFormatName(Format); }
};

// One picture of the list: where its primary block starts in PictureData and
// the code of the record it came from. A block kept where it lies in the
// movie (MovieSize > 0) takes no room in PictureData.
struct TPictureEntry {
  uint32_t DataStart = 0;
  int32_t TagCode = 0;
  uint32_t MovieStart = 0;
  uint32_t MovieSize = 0;
  uint32_t Tables = 0;  // whose JPEGTables: 0 the open movie's, k the k-th carried movie's
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
  // The same for each movie carried as binary data, in the order walked:
  // each movie's DefineBits pictures use its own tables.
  std::vector<std::unique_ptr<tSWFStream>> CarriedTables;
  // The open movie as expanded, when blocks are kept where they lie in it.
  std::unique_ptr<tSWFStream> Movie;

  // Arrays back to one element at offset 0, Count 0, no facts (the stores
  // are left alone).
  void ClearEntries();
  // The append step: Count bytes of Primary from its position, and the whole
  // of Side (if any) from its start; the picture's facts are made from them.
  void Append(int32_t TagCode, tSWFStream& Primary, uint32_t Count, tSWFStream* Side,
              int32_t CharacterID = -1);
  // The same with the primary block given as pieces, joined in the store
  // (the runs a JPEG repair keeps, without a copy of their own).
  void AppendPieces(int32_t TagCode, const std::vector<TBlock>& Pieces, tSWFStream* Side,
                    int32_t CharacterID);
  // The same for a picture whose block is kept where it lies in Movie (a
  // JPEG record's data, written out as it stands): nothing is copied.
  void AppendInMovie(int32_t TagCode, TBlock Block, int32_t CharacterID);
  // DefineBits pictures are joined to the movie's last JPEGTables, which may
  // come after them: their facts are made once the walk is over.
  void CompleteFacts();
  // Where picture N comes from, once the movie it lies in is read whole.
  void SetOrigin(int32_t N, TNames Names, std::vector<uint16_t> Carrier);
  // Picture N is listed empty because memory was too short for its record.
  void SetMemoryShort(int32_t N, TPictureSize Declared);

  // Read-only access to picture N's blocks (empty for N outside 0..Count-1).
  TBlock Primary(int32_t N) const;
  TBlock Side(int32_t N) const;
  int32_t TagCode(int32_t N) const;  // 0 for N outside 0..Count-1
  // The last JPEGTables body of the movie picture N lies in; null when none.
  const tSWFStream* TablesOf(int32_t N) const;
  // The facts of picture N; those of no picture for N outside the list.
  const TPictureFacts& Facts(int32_t N) const;

 private:
  std::vector<TPictureFacts> FFacts;
};

// Whether a record of this code carries a JPEG with an alpha plane
// (DefineBitsJPEG3, DefineBitsJPEG4).
bool IsJPEGWithAlpha(int32_t TagCode);
// What the data a DefineBinaryData record carries starts with: a movie
// ("FWS", "CWS", "ZWS"), a picture file (the PNG signature, "GIF87a" or
// "GIF89a", a JPEG's FF D8 FF), or anything else.
enum TCarriedKind { ckNothing, ckMovie, ckPNG, ckGIF, ckJPEG };
TCarriedKind CarriedKind(const uint8_t* Data, size_t Size);

// A PNG or GIF file that a JPEG record (DefineBitsJPEG2, 3 or 4) stores whole
// where its JPEG data belongs, or that a DefineBinaryData record carries. It
// is saved exactly as stored, never repaired, and decoded only for display;
// the record's alpha data is ignored.
enum TEmbeddedFormat { efNone, efPNG, efGIF };
// The format Data starts with: the PNG signature, "GIF89a" or "GIF87a".
TEmbeddedFormat EmbeddedFormat(const uint8_t* Data, size_t Size);
struct TEmbeddedImage {
  TEmbeddedFormat Format = efNone;
  TBlock Bytes;  // the whole file
};
// Picture Number's stored file; Format efNone when it holds none.
TEmbeddedImage EmbeddedImage(const TPictureList& Pictures, int32_t Number);
// ".png" or ".gif" (empty for efNone).
const char* EmbeddedExtension(TEmbeddedFormat Format);
// The size a PNG or GIF file declares in its header (a GIF's logical screen,
// widened to its first image, as its reader paints it); 0 x 0 for anything else.
TPictureSize EmbeddedImageSize(const uint8_t* Data, size_t Size);
// Bits per pixel of a PNG as its header declares them (bit depth times
// channels), or of a GIF (8: every pixel an index of a colour table).
int EmbeddedBitsPerPixel(const uint8_t* Data, size_t Size);

// The pieces picture N's JPEG file is made of, where they lie in the stores:
// a DefineBits picture's tables without their end-of-image marker (or a
// start-of-image marker where there are none to join), then its block; the
// repaired runs of a DefineBitsJPEG2; the block of a DefineBitsJPEG3 or 4
// (repaired by the walk); a JPEG file carried as binary data, as stored.
// Empty for other kinds and for stored PNG or GIF files.
std::vector<TBlock> JPEGPieces(const TPictureList& Pictures, int32_t Number);
// The JPEG stream picture N is decoded from: its pieces as one stream (a
// DefineBits picture's repaired, like the others). A view of the stores when
// that is one piece, else gathered into Scratch; empty when there is none or
// memory for it was refused.
TBlock JPEGStream(const TPictureList& Pictures, int32_t Number, std::vector<uint8_t>& Scratch);
// A DefineBits picture as one JPEG (its pieces joined). Target's content is
// replaced; it ends positioned at its end.
void JoinDefineBits(const TPictureList& Pictures, int32_t Number, tSWFStream& Target);
