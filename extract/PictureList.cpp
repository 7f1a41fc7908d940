// The picture list of the open movie and the workspace it lives in.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "extract/Scripts.h"
#include "swf/F_Macromedia.h"

TPictureList::TPictureList()
    : PictureData(std::make_unique<tSWFStream>()), SideData(std::make_unique<tSWFStream>()) {
  ClearEntries();
}

void TPictureList::ClearEntries() {
  PictureEntries.assign(1, TPictureEntry{});
  SideStarts.assign(1, 0);
  Count = 0;
}

void TPictureList::Append(int32_t TagCode, tSWFStream& Primary, uint32_t Length, tSWFStream* Side) {
  // The stores only ever grow at their ends; a copy that cannot be made
  // (a source shorter than announced, memory refused) leaves whatever part
  // reached the store, and the end offsets below say exactly how much.
  PictureData->SetPosition(PictureData->Size());
  PictureEntries.back().DataStart = PictureData->Size();
  PictureEntries.back().TagCode = TagCode;
  uint32_t Available = Primary.Remaining() > 0 ? uint32_t(Primary.Remaining()) : 0;
  uint32_t Taken = std::min(Length, Available);
  if (Taken > 0) PictureData->CopyFrom(Primary, Taken);
  PictureEntries.push_back(TPictureEntry{PictureData->Size(), 0});

  SideData->SetPosition(SideData->Size());
  SideStarts.back() = SideData->Size();
  if (Side && Side->Size() > 0) {
    Side->SetPosition(0);
    SideData->CopyFrom(*Side, Side->Size());
  }
  SideStarts.push_back(SideData->Size());
  ++Count;
}

TPictureList::TBlock TPictureList::Primary(int32_t N) const {
  if (N < 0 || N >= Count || !PictureData) return {};
  uint32_t Start = PictureEntries[size_t(N)].DataStart;
  uint32_t End = PictureEntries[size_t(N) + 1].DataStart;
  if (End <= Start || End > PictureData->Size()) return {};
  return {PictureData->Buffer() + Start, End - Start};
}

TPictureList::TBlock TPictureList::Side(int32_t N) const {
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

bool IsJPEGWithAlpha(int32_t TagCode) {
  return TagCode == stagDefineBitsJPEG3 || TagCode == stagDefineBitsJPEG4;
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
  TPictureList::TBlock Block = Pictures.Primary(Number);
  const int32_t Code = Pictures.TagCode(Number);
  if (Code == stagDefineBitsJPEG2) {
    // Its block is the whole body: the file follows the character ID.
    if (Block.Size < 2) return Image;
    Block.Data += 2;
    Block.Size -= 2;
  } else if (!IsJPEGWithAlpha(Code)) {
    return Image;
  }
  Image.Format = EmbeddedFormat(Block.Data, Block.Size);
  if (Image.Format != efNone) Image.Bytes = Block;
  return Image;
}

namespace {

uint16_t GetUI16LE(const uint8_t* At) {
  return uint16_t(At[0] | At[1] << 8);
}

// The logical screen of a GIF, widened to its first image where that reaches
// further: a reader paints a screen of 0 at the image's size.
TPictureSize GIFSize(const uint8_t* Data, size_t Size) {
  if (Size < 13) return {};
  TPictureSize Screen{GetUI16LE(Data + 6), GetUI16LE(Data + 8)};
  size_t At = 13;
  if (Data[10] & 0x80) At += size_t(3) << ((Data[10] & 7) + 1);  // the global colour table
  while (At < Size && Data[At] == 0x21) {  // extensions: label, then sub-blocks up to an empty one
    At += 2;
    while (At < Size && Data[At] != 0) At += size_t(Data[At]) + 1;
    ++At;
  }
  if (At + 9 <= Size && Data[At] == 0x2C) {
    Screen.Width =
        std::max<int32_t>(Screen.Width, GetUI16LE(Data + At + 1) + GetUI16LE(Data + At + 5));
    Screen.Height =
        std::max<int32_t>(Screen.Height, GetUI16LE(Data + At + 3) + GetUI16LE(Data + At + 7));
  }
  return Screen;
}

}  // namespace

TPictureSize EmbeddedImageSize(const uint8_t* Data, size_t Size) {
  switch (EmbeddedFormat(Data, Size)) {
    case efPNG:  // IHDR follows the signature, width and height big-endian
      if (Size < 24) return {};
      return {
          int32_t((uint32_t(Data[16]) << 24 | uint32_t(Data[17]) << 16 | Data[18] << 8 | Data[19]) &
                  0x7FFFFFFF),
          int32_t((uint32_t(Data[20]) << 24 | uint32_t(Data[21]) << 16 | Data[22] << 8 | Data[23]) &
                  0x7FFFFFFF)};
    case efGIF:
      return GIFSize(Data, Size);
    default:
      return {};
  }
}

const char* EmbeddedExtension(TEmbeddedFormat Format) {
  return Format == efPNG ? ".png" : Format == efGIF ? ".gif" : "";
}

TWorkspace::TWorkspace(const std::string& WorkDir) : WorkDir(WorkDir), Converter(WorkDir) {}

void ResetWorkspace(TWorkspace& Workspace, int32_t PicSize) {
  Workspace.CellSize = PicSize + 20;
  Workspace.Pictures.ClearEntries();
  Workspace.Converter.ResetPaletteAlpha();
  Workspace.ChangeToggle = true;
  // One level only; an existing folder is fine, and a failure shows later as
  // scratch files that cannot be written.
  mkdir(Workspace.WorkDir.c_str(), 0777);
  Workspace.Converter.SetWorkDir(Workspace.WorkDir);
}

void DropPictureStores(TWorkspace& Workspace) {
  TPictureList& Pictures = Workspace.Pictures;
  Pictures.JPEGTables.reset();
  Pictures.PictureData = std::make_unique<tSWFStream>();
  Pictures.SideData = std::make_unique<tSWFStream>();
  Workspace.Converter.DropConverterAlpha();
}
