// The extraction driver: the walk of an open. It loads the movie, reads its
// header, goes through its records once and turns every picture record into
// a picture of the list, with its facts; then, depth first, the same for the
// movies and picture files its DefineBinaryData records carry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "extract/Observer.h"
#include "extract/PictureList.h"
#include "swf/F_Debugger.h"

// The workspace of one run of the program: the picture list of the open
// movie, the folder its pictures are saved into and the picture Save writes.
class TWorkspace {
 public:
  std::string OutputDir;
  int32_t SelectedPicture = 0;
  TPictureList Pictures;
};

// Empties the picture list for the next open.
void ResetWorkspace(TWorkspace& Workspace);
// Releases the previous movie's stores.
void DropPictureStores(TWorkspace& Workspace);

struct TCarriedWalk;

// A picture that memory was too short for, with the size it declares (0 x 0
// when its record does not tell).
struct TMemoryShort {
  int32_t Number = 0;
  TPictureSize Size;
};
// "Not enough memory for picture N (W × H)." (without the size when unknown).
std::string MemoryShortText(int32_t Number, TPictureSize Size);

// How far an open got.
struct TWalkResult {
  bool Loaded = false;      // the movie file was read
  bool HeaderRead = false;  // its header was accepted
  // The walk ended at the end of the movie, not at a damaged record, and the
  // movie's compressed body, if any, expanded whole.
  bool Complete = false;
  char Signature = 0;         // 'F', 'C', 'Z', or 0 when the file has none of these
  bool BodyCut = false;       // the compressed body ended before its declared length
  bool BodyLost = false;      // the compressed body could not be expanded at all ...
  bool BodyMemoryShort = false;  // ... for lack of memory
  uint32_t BodyDecoded = 0;   // bytes the compressed body expanded to ...
  uint32_t BodyDeclared = 0;  // ... of those it declares (the movie's length less 8)
  int LoadError = 0;          // the system's error when the file could not be read
  uint32_t DamagedAt = 0;     // where the record that could not be read starts ...
  uint32_t MovieSize = 0;     // ... in the movie as expanded, of this many bytes
  // An uncompressed movie whose file is shorter than the length it declares
  // (MovieSize bytes of MovieDeclared), though its records end cleanly.
  bool MovieCut = false;
  uint32_t MovieDeclared = 0;
  bool OutOfMemory = false;  // memory ran short before the walk could end
  // Pictures whose record could not be converted for lack of memory: they
  // are listed empty, so the numbers of the others stay.
  std::vector<TMemoryShort> MemoryShort;
  // What the framework noticed on the way (error code, text, position),
  // this walk's own, and how many more it counted without keeping.
  std::vector<tDebuggerEntry> Log;
  size_t LogDropped = 0;
  // The movies its DefineBinaryData records carry, in the order their
  // pictures come (depth first), each with how its own walk went.
  std::vector<TCarriedWalk> Carried;
};

struct TCarriedWalk {
  std::vector<uint16_t> Carrier;  // the binary data IDs it lies in, outermost first
  TWalkResult Walk;
};

// What kept an open from reading a movie whole, most telling first.
enum TWalkProblem : uint8_t {
  wpNone,
  wpCannotRead,     // the file could not be read
  wpNotAMovie,      // it does not begin with FWS, CWS or ZWS
  wpBodyMemory,     // memory was too short to expand its compressed body
  wpLZMALost,       // its LZMA body could not be decoded at all
  wpBodyLost,       // its zlib body could not be expanded and was read as it stands
  wpBodyCut,        // its compressed body ends before its declared length
  wpHeaderDamaged,  // its header is cut short
  wpRecordDamaged,  // a record runs past the end of the movie
  wpMovieCut,       // an uncompressed movie ends before its declared length
  wpOutOfMemory,    // memory ran short during the walk
};
TWalkProblem WalkProblem(const TWalkResult& Walk);
// The plain sentence that tells the problem (empty for wpNone). The window
// shows the same sentences in the interface's language.
std::string WalkProblemText(const TWalkResult& Walk);
// Whether the movie and every movie it carries were read whole.
bool ReadWhole(const TWalkResult& Walk);
// "5", or "9 (in binary data 5)" for binary data 9 inside binary data 5.
std::string CarrierText(const std::vector<uint16_t>& Carrier);
// The sentence for a carried movie that was not read whole: its binary data
// and its own problem's sentence.
std::string CarriedProblemText(const TCarriedWalk& Carried);
// One log entry as a line: its error code, where its record starts, its text.
std::string LogEntryText(const tDebuggerEntry& Entry);

// The walk of an open, given the chosen movie: creates the per-movie output
// folders under ImageDir (none for an empty ImageDir), loads and walks the
// movie, fills the picture list (which it empties first).
TWalkResult OpenAndExtract(TWorkspace& Workspace, const std::string& MoviePath,
                           const std::string& ImageDir, TExtractObserver* Observer);
