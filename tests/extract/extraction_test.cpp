// Opening movies built in the test, the picture list they give, the walk's
// own log, and what export and Save all write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>

#include "extract/Decode.h"
#include "extract/Export.h"
#include "extract/Extract.h"
#include "extract/Workers.h"
#include "swf/F_Debugger.h"
#include "tests/support/MovieBuilder.h"

namespace {

// ---------------------------------------------------------------------------
// Expected BMP files, built from the picture data independently of the
// converters: bottom-up, 14 + 40 header bytes.
// ---------------------------------------------------------------------------

// Colour-mapped without alpha: 8 bits, 256-entry palette, rows padded to 4.
TBytes Bmp8(uint16_t W, uint16_t H, const TBytes& PaletteRGB, const TBytes& Indices) {
  TBytes Out = BmpHeader(1078, W, H, 8);
  for (size_t i = 0; i < 256; ++i) {
    bool Used = i * 3 < PaletteRGB.size();
    Out.push_back(Used ? PaletteRGB[i * 3 + 2] : 0);
    Out.push_back(Used ? PaletteRGB[i * 3 + 1] : 0);
    Out.push_back(Used ? PaletteRGB[i * 3] : 0);
    Out.push_back(0);
  }
  size_t R = (W + 3u) / 4 * 4;
  for (int y = H - 1; y >= 0; --y)
    for (size_t x = 0; x < R; ++x) Out.push_back(x < W ? Indices[y * W + x] : 0);
  return Out;
}

// 15-bit: the record's big-endian values little-endian, rows of an even count.
TBytes Bmp16(uint16_t W, uint16_t H, const std::vector<uint16_t>& Pixels) {
  TBytes Out = BmpHeader(54, W, H, 16);
  size_t P = (W + 1u) / 2 * 2;
  for (int y = H - 1; y >= 0; --y) {
    for (size_t x = 0; x < P; ++x) {
      uint16_t V = x < W ? Pixels[y * W + x] : 0;
      Out.push_back(uint8_t(V)), Out.push_back(uint8_t(V >> 8));
    }
  }
  return Out;
}

// 32-bit pixels 0xAARRGGBB as a 24-bit BMP.
TBytes Bmp24(uint16_t W, uint16_t H, const std::vector<uint32_t>& Pixels) {
  TBytes Out = BmpHeader(54, W, H, 24);
  for (int y = H - 1; y >= 0; --y) {
    for (size_t x = 0; x < W; ++x) {
      uint32_t P = Pixels[y * W + x];
      Out.push_back(uint8_t(P)), Out.push_back(uint8_t(P >> 8)), Out.push_back(uint8_t(P >> 16));
    }
    for (size_t k = 0; k < W % 4u; ++k) Out.push_back(0);
  }
  return Out;
}

// ---------------------------------------------------------------------------
// Picture fixtures
// ---------------------------------------------------------------------------

// 5 x 2, colour-mapped, two colours.
const uint16_t CmW = 5, CmH = 2;
const TBytes CmIndices = {0, 1, 1, 0, 1, 1, 0, 0, 1, 0};
const TBytes CmPaletteRGB = {200, 10, 20, 30, 40, 250};
const TBytes CmPaletteRGBA = {200, 10, 20, 255, 30, 40, 250, 64};

// 5 x 3, 32-bit pixels with varied alpha.
const uint16_t ArgbW = 5, ArgbH = 3;
std::vector<uint32_t> ArgbPixels() {
  std::vector<uint32_t> P;
  for (uint32_t i = 0; i < ArgbW * ArgbH; ++i)
    P.push_back((i * 17) << 24 | (i * 13 % 256) << 16 | (255 - i) << 8 | i * 7);
  return P;
}

// 3 x 3, 15-bit.
const uint16_t P15W = 3, P15H = 3;
const std::vector<uint16_t> P15Pixels = {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x0000,
                                         0x4210, 0x1234, 0x7001, 0x0F0F};

const TRgbPicture& Photo() {
  static const TRgbPicture P = Pattern(16, 8, 1);
  return P;
}

TBytes Concat(std::initializer_list<TBytes> Parts) {
  TBytes Out;
  for (const TBytes& P : Parts) Out.insert(Out.end(), P.begin(), P.end());
  return Out;
}

TBytes Tail(const TBytes& Data, size_t From) {
  return From >= Data.size() ? TBytes{} : TBytes(Data.begin() + From, Data.end());
}

TBytes WithoutLast2(const TBytes& Data) {
  return Data.size() <= 2 ? TBytes{} : TBytes(Data.begin(), Data.end() - 2);
}

TBytes IdBytes(uint16_t Id) {
  return {uint8_t(Id), uint8_t(Id >> 8)};
}

std::set<std::string> FilesIn(const std::string& Folder) {
  std::set<std::string> Names;
  std::error_code Ignored;
  for (const auto& Entry : std::filesystem::directory_iterator(Folder, Ignored))
    Names.insert(Entry.path().filename().string());
  return Names;
}

// What appeared below Folder since Before.
std::set<std::string> Added(const std::string& Folder, const std::set<std::string>& Before) {
  std::set<std::string> New;
  for (const std::string& Name : FilesBelow(Folder))
    if (!Before.count(Name)) New.insert(Name);
  return New;
}

class TRecorder : public TExtractObserver {
 public:
  const TPictureList* Pictures = nullptr;  // whose facts tell the sizes
  std::string Started;
  std::vector<int> Progress;
  int32_t Ended = -1;
  std::vector<std::pair<int32_t, int32_t>> Saves;
  std::vector<int32_t> Failed;
  std::vector<std::string> NotWritten;
  std::vector<int32_t> Nothing;
  std::vector<std::string> Events;  // every call of a Save, in order
  int32_t CancelAfter = -1;         // Cancelled() once this many pictures are done
  int32_t Done = 0;

  void WalkStarted(const std::string& Path) override { Started = Path; }
  void WalkProgress(int Percent) override { Progress.push_back(Percent); }
  void WalkEnded(int32_t Count) override { Ended = Count; }
  void SaveProgress(int32_t Count, int32_t Total) override {
    Saves.emplace_back(Count, Total);
    Events.push_back("progress " + std::to_string(Count) + "/" + std::to_string(Total));
  }
  void PictureFailed(int32_t Number, const std::string& Message) override {
    EXPECT_FALSE(Message.empty());
    Failed.push_back(Number);
    Events.push_back("png " + std::to_string(Number) + " " + Message);
  }
  void PictureDone(const TPictureOutcome& Outcome) override {
    ++Done;
    const TPictureSize Size = Pictures ? Pictures->Facts(Outcome.Number).Size : TPictureSize();
    Events.push_back("done " + std::to_string(Outcome.Number) + " " +
                     std::to_string(Outcome.Written.size()) + " " + std::to_string(Size.Width) +
                     "x" + std::to_string(Size.Height));
  }
  bool Cancelled() override { return CancelAfter >= 0 && Done >= CancelAfter; }
  void FileNotWritten(int32_t Number, const std::string& FileName,
                      const std::string& Reason) override {
    EXPECT_FALSE(Reason.empty());
    NotWritten.push_back(FileName);
    Events.push_back("file " + std::to_string(Number) + " " + FileName);
  }
  void NothingToSave(int32_t Number) override {
    Nothing.push_back(Number);
    Events.push_back("nothing " + std::to_string(Number));
  }
};

class ExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir(ImageDir.c_str(), 0777), 0);
    ResetWorkspace(W);
    DropPictureStores(W);
  }

  TWalkResult Open(const TMovieBuilder& Movie, const std::string& Name = "movie.swf") {
    Movie.Save(Temp.Path() + Name);
    return OpenFile(Temp.Path() + Name);
  }

  TWalkResult OpenFile(const std::string& Path) {
    ResetWorkspace(W);
    DropPictureStores(W);
    Forget();
    return OpenAndExtract(W, Path, ImageDir, &Rec);
  }
  // A fresh recorder.
  void Forget() {
    Rec = TRecorder();
    Rec.Pictures = &W.Pictures;
  }

  TBytes Primary(int32_t N) const {
    auto B = W.Pictures.Primary(N);
    return B.Size ? TBytes(B.Data, B.Data + B.Size) : TBytes{};
  }
  TBytes Side(int32_t N) const {
    auto B = W.Pictures.Side(N);
    return B.Size ? TBytes(B.Data, B.Data + B.Size) : TBytes{};
  }
  std::string Out(const std::string& Sub, const std::string& Name) const {
    return W.OutputDir + Sub + Name;
  }

  TTempDir Temp;
  // A folder of the caller's own, outside the output folder (the preview's
  // and Copy's were such a folder).
  std::string Shown = Temp.Path() + "shown/";
  std::string ImageDir = Temp.Path() + "IMAGES/";
  TWorkspace W;
  TRecorder Rec;
};

// One picture of every kind, with JPEGTables and records that are no pictures.
struct TAllKinds {
  std::pair<TBytes, TBytes> Split = EncodeJPEGTablesAndImage(Photo());
  TBytes Jpeg = EncodeJPEG(Photo());
  TBytes Alpha = [] {
    TBytes A;
    for (int i = 0; i < 16 * 8; ++i) A.push_back(uint8_t(i * 2));
    return A;
  }();
  // JPEG2 data as movies store it: the tables part, EOI/SOI, the image part.
  TBytes Jpeg2Data = Concat({WithoutLast2(Split.first), {0xFF, 0xD9}, Split.second});

  TMovieBuilder Movie(bool Compressed) const {
    TMovieBuilder M(Compressed);
    M.Tag(9, {1, 2, 3})  // SetBackgroundColor: passed over
        .JPEGTables(Split.first)
        .DefineBits(1, Split.second)
        .DefineBitsJPEG2(2, Jpeg2Data)
        .DefineBitsJPEG3(3, Concat({{0xFF, 0xD8, 0xFF, 0xD9}, Jpeg}), Alpha)
        .DefineBitsLossless(4, 3, CmW, CmH, ColorMappedData(CmPaletteRGB, CmIndices, CmW, CmH), 1)
        .DefineBitsLossless(5, 4, P15W, P15H, Pix15Data(P15Pixels, P15W, P15H))
        .DefineBitsLossless(6, 5, ArgbW, ArgbH, ARGBData(ArgbPixels()))
        .DefineBitsLossless2(7, 3, CmW, CmH, ColorMappedData(CmPaletteRGBA, CmIndices, CmW, CmH), 1)
        .DefineBitsLossless2(8, 5, ArgbW, ArgbH, ARGBData(ArgbPixels()))
        .Tag(1, {})  // ShowFrame
        .End();
    return M;
  }
};

// ---------------------------------------------------------------------------
// The picture list
// ---------------------------------------------------------------------------

TEST_F(ExtractionTest, EveryKindIsNumberedInRecordOrderPlainAndCompressed) {
  TAllKinds K;
  for (bool Compressed : {false, true}) {
    SCOPED_TRACE(Compressed ? "compressed" : "plain");
    TWalkResult R = Open(K.Movie(Compressed));
    EXPECT_TRUE(R.Loaded && R.HeaderRead && R.Complete);
    const TPictureList& P = W.Pictures;
    ASSERT_EQ(P.Count, 8);
    ASSERT_EQ(P.PictureEntries.size(), 9u);
    ASSERT_EQ(P.SideStarts.size(), 9u);
    const int32_t Codes[] = {6, 21, 35, 20, 20, 20, 36, 36};
    for (int32_t N = 0; N < 8; ++N) EXPECT_EQ(P.TagCode(N), Codes[N]) << N;
    EXPECT_EQ(P.TagCode(8), 0);
    EXPECT_EQ(P.PictureEntries.back().DataStart, P.PictureData->Size());
    EXPECT_EQ(P.SideStarts.back(), P.SideData->Size());

    ASSERT_TRUE(P.JPEGTables);
    EXPECT_EQ(TBytes(P.JPEGTables->Buffer(), P.JPEGTables->Buffer() + P.JPEGTables->Size()),
              K.Split.first);
    EXPECT_EQ(Primary(0), Tail(K.Split.second, 2));  // 4 bytes into the body
    EXPECT_EQ(Primary(1), Concat({IdBytes(2), K.Jpeg2Data}));
    EXPECT_EQ(Primary(2), K.Jpeg);  // repaired: the leading SOI/EOI pair is gone
    EXPECT_EQ(Side(2), Zlib(K.Alpha));
    EXPECT_EQ(Primary(3), Bmp8(CmW, CmH, CmPaletteRGB, CmIndices));
    EXPECT_EQ(Primary(4), Bmp16(P15W, P15H, P15Pixels));
    EXPECT_EQ(Primary(5), Bmp24(ArgbW, ArgbH, ArgbPixels()));
    // Colour-mapped with alpha: 24 bits, 8 pixels wide, one alpha byte per pixel.
    EXPECT_EQ(Primary(6).size(), 54u + 2 * 8 * 3);
    EXPECT_EQ(Side(6).size(), 16u);
    EXPECT_EQ(Primary(7), Bmp24(ArgbW, ArgbH, ArgbPixels()));
    TBytes Plane;
    for (int y = ArgbH - 1; y >= 0; --y)
      for (int x = 0; x < ArgbW; ++x) Plane.push_back(uint8_t(ArgbPixels()[y * ArgbW + x] >> 24));
    EXPECT_EQ(Side(7), Plane);
    for (int32_t N : {0, 1, 3, 4, 5}) EXPECT_TRUE(Side(N).empty()) << N;

    EXPECT_EQ(Rec.Started, Temp.Path() + "movie.swf");
    EXPECT_EQ(Rec.Ended, 8);
    ASSERT_FALSE(Rec.Progress.empty());
    EXPECT_TRUE(std::is_sorted(Rec.Progress.begin(), Rec.Progress.end()));
    EXPECT_EQ(Rec.Progress.back(), 100);
  }
}

TEST_F(ExtractionTest, ALaterJPEGTablesReplacesTheEarlierForEveryDefineBits) {
  auto A = EncodeJPEGTablesAndImage(Photo(), 50);
  auto B = EncodeJPEGTablesAndImage(Photo(), 90);
  ASSERT_NE(A.first, B.first);
  Open(TMovieBuilder()
           .JPEGTables(A.first)
           .DefineBits(1, B.second)
           .JPEGTables(B.first)
           .DefineBits(2, B.second)
           .End());
  ASSERT_EQ(W.Pictures.Count, 2);
  ASSERT_TRUE(W.Pictures.JPEGTables);
  EXPECT_EQ(W.Pictures.JPEGTables->Size(), B.first.size());
  SaveAllPictures(W, "Image", &Rec);
  for (const char* Name : {"Image0.jpg", "Image1.jpg"}) {
    TBytes File = ReadFileBytes(Out("JPEG/", Name));
    EXPECT_EQ(File, Concat({WithoutLast2(B.first), Tail(B.second, 2)})) << Name;
    int Wd = 0, Ht = 0;
    EXPECT_TRUE(DecodesAsJPEG(File, &Wd, &Ht)) << Name;
    EXPECT_EQ(Wd, 16);
    EXPECT_EQ(Ht, 8);
  }
}

TEST_F(ExtractionTest, DefineBitsWithoutTablesToJoinGetsItsStartOfImageBack) {
  TBytes Jpeg = EncodeJPEG(Photo());
  struct TCase {
    const char* Name;
    bool WithTables;
    TBytes Tables;
  } Cases[] = {{"no JPEGTables record", false, {}},
               {"empty JPEGTables", true, {}},
               {"one byte", true, {0xFF}},
               {"two bytes", true, {0xFF, 0xD9}}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TMovieBuilder M;
    if (C.WithTables) M.JPEGTables(C.Tables);
    Open(M.DefineBits(1, Jpeg).End());
    ASSERT_EQ(W.Pictures.Count, 1);
    tSWFStream Joined;
    JoinDefineBits(W.Pictures, 0, Joined);
    EXPECT_EQ(TBytes(Joined.Buffer(), Joined.Buffer() + Joined.Size()), Jpeg);
    ExportPicture(W, 0, W.OutputDir, "Image");
    TBytes File = ReadFileBytes(Out("JPEG/", "Image0.jpg"));
    EXPECT_EQ(File, Jpeg);
    EXPECT_TRUE(DecodesAsJPEG(File));
  }
}

TEST_F(ExtractionTest, ShortBodiesGiveEmptyPicturesAndDisturbNoOther) {
  TBytes Jpeg = EncodeJPEG(Photo());
  struct TCase {
    const char* Name;
    uint16_t Code;
    TBytes Body;
  } Cases[] = {
      {"DefineBits of 3 bytes", 6, {1, 0, 0xFF}},
      {"DefineBits of 0 bytes", 6, {}},
      {"DefineBitsJPEG2 of 0 bytes", 21, {}},
      {"DefineBitsJPEG3 of 3 bytes", 35, {1, 0, 9}},
      {"DefineBitsJPEG3 with a JPEG size past the end", 35, {1, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xD8}},
      {"DefineBitsLossless of 1 byte", 20, {1}},
      {"DefineBitsLossless without pixel data", 20, {1, 0, 5, 4, 0, 4, 0}},
      {"DefineBitsLossless2 of 0 bytes", 36, {}},
      {"DefineBitsLossless2 colour-mapped without pixel data", 36, {1, 0, 3, 4, 0, 4, 0, 1}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    Open(TMovieBuilder()
             .DefineBitsJPEG2(1, Jpeg)
             .Tag(C.Code, C.Body)
             .DefineBitsLossless2(3, 5, ArgbW, ArgbH, ARGBData(ArgbPixels()))
             .End());
    ASSERT_EQ(W.Pictures.Count, 3);
    EXPECT_EQ(W.Pictures.TagCode(1), C.Code);
    EXPECT_EQ(Primary(0), Concat({IdBytes(1), Jpeg}));
    EXPECT_LE(Primary(1).size(), C.Body.size() > 8 ? C.Body.size() : 8u);
    EXPECT_EQ(Primary(2), Bmp24(ArgbW, ArgbH, ArgbPixels()));
    EXPECT_EQ(Side(2).size(), size_t(ArgbW * ArgbH));
    EXPECT_EQ(Rec.Progress.back(), 100);
  }
}

TEST_F(ExtractionTest, AbsurdDeclaredLosslessSizeGivesAnEmptyPictureQuickly) {
  TBytes Small = ARGBData(ArgbPixels());
  auto Start = std::chrono::steady_clock::now();
  Open(TMovieBuilder()
           .DefineBitsLossless(1, 5, 65535, 65535, Small)
           .DefineBitsLossless2(2, 3, 65535, 65535, Small, 255)
           .DefineBitsLossless(3, 5, ArgbW, ArgbH, Small)
           .End());
  // Generous: the point is that nothing of the declared size is built.
  EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(20));
  ASSERT_EQ(W.Pictures.Count, 3);
  EXPECT_TRUE(Primary(0).empty());
  EXPECT_TRUE(Primary(1).empty());
  EXPECT_TRUE(Side(1).empty());
  EXPECT_EQ(Primary(2), Bmp24(ArgbW, ArgbH, ArgbPixels()));
}

TEST_F(ExtractionTest, AMovieWithoutPicturesEndsWithNone) {
  TWalkResult R = Open(TMovieBuilder().Tag(9, {0, 0, 0}).Tag(1, {}).End());
  EXPECT_TRUE(R.Complete);
  EXPECT_EQ(W.Pictures.Count, 0);
  EXPECT_EQ(Rec.Ended, 0);
  EXPECT_EQ(W.Pictures.PictureEntries.size(), 1u);
}

TEST_F(ExtractionTest, ACutMovieKeepsThePicturesBeforeTheCut) {
  TBytes Jpeg = EncodeJPEG(Photo());
  TBytes Movie = TMovieBuilder().DefineBitsJPEG2(1, Jpeg).DefineBitsJPEG2(2, Jpeg).End().Build();
  Movie.resize(Movie.size() - 2 - 40);  // the second record loses its end
  WriteFileBytes(Temp.Path() + "cut.swf", Movie);
  TWalkResult R = OpenFile(Temp.Path() + "cut.swf");
  EXPECT_TRUE(R.Loaded);
  EXPECT_FALSE(R.Complete);
  ASSERT_EQ(W.Pictures.Count, 1);
  EXPECT_EQ(Primary(0), Concat({IdBytes(1), Jpeg}));
  ASSERT_FALSE(Rec.Progress.empty());
  EXPECT_LT(Rec.Progress.back(), 100);
}

// Runs of zero bytes are End records; what follows them is still walked.
TEST_F(ExtractionTest, RunsOfEndRecordsArePassedOverAndWhatFollowsIsRead) {
  TBytes Jpeg = EncodeJPEG(Photo());
  for (bool Compressed : {false, true}) {
    SCOPED_TRACE(Compressed);
    TWalkResult R = Open(TMovieBuilder(Compressed)
                             .DefineBitsJPEG2(1, Jpeg)
                             .Raw(TBytes(200000, 0))
                             .DefineBitsJPEG2(2, Jpeg)
                             .Raw(TBytes(9001, 0)));  // the odd last byte is no record
    EXPECT_TRUE(R.Complete);
    ASSERT_EQ(W.Pictures.Count, 2);
    EXPECT_EQ(Primary(1), Concat({IdBytes(2), Jpeg}));
    EXPECT_EQ(Rec.Progress.back(), 100);
  }
}

TEST_F(ExtractionTest, MissingFileAndNonMovieGiveNoPicturesButTheFolders) {
  WriteFileBytes(Temp.Path() + "notes.swf",
                 {'H', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  struct TCase {
    const char* Name;
    bool Loaded;
  } Cases[] = {{"absent.swf", false}, {"notes.swf", true}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TWalkResult R = OpenFile(Temp.Path() + C.Name);
    EXPECT_EQ(R.Loaded, C.Loaded);
    EXPECT_FALSE(R.HeaderRead);
    EXPECT_EQ(W.Pictures.Count, 0);
    EXPECT_EQ(W.OutputDir, ImageDir + C.Name + "/");
    for (const char* Sub : {"", "PNG/", "JPEG/", "BMP/"})
      EXPECT_TRUE(IsDirectory(W.OutputDir + Sub));
  }
}

// What kept a movie from being read whole, in the sentence the tool and the
// window both show.
TEST_F(ExtractionTest, EveryProblemOfAnOpenHasItsSentence) {
  TBytes Jpeg = EncodeJPEG(Photo());
  TMovieBuilder Two;
  Two.DefineBitsJPEG2(1, Jpeg).DefineBitsJPEG2(2, Jpeg).End();
  TBytes Plain = Two.Build(), Zlibbed = TMovieBuilder(true).DefineBitsJPEG2(1, Jpeg).End().Build();
  TBytes RecordCut = Plain;
  RecordCut.resize(Plain.size() - 2 - 40);
  // Cut between the two pictures: every record left ends cleanly.
  const uint32_t Second = uint32_t(Plain.size() - 2 - (2 + 4 + 2 + Jpeg.size()));
  const TBytes BetweenRecords(Plain.begin(), Plain.begin() + Second);
  TBytes BodyCut = Zlibbed;
  BodyCut.resize(Zlibbed.size() / 2);
  TBytes Lzma = Two.BuildLzma();
  Lzma[12] = 0xFF;  // no valid LZMA properties
  struct TCase {
    const char* Name;
    TBytes Data;  // none: the file is missing
    TWalkProblem Problem;
    std::string Sentence;  // empty: it starts so, the rest depends on the data
  } Cases[] = {
      {"whole.swf", Plain, wpNone, ""},
      {"missing.swf", {}, wpCannotRead, "The file cannot be read: No such file or directory."},
      {"notes.swf",
       {'#', ' ', 'h', 'i'},
       wpNotAMovie,
       "The file is not an SWF movie: it does not begin with FWS, CWS or ZWS."},
      {"header.swf",
       {'F', 'W', 'S', 8, 40, 0, 0, 0, 0x50},
       wpHeaderDamaged,
       "The movie is damaged: its header is cut short."},
      {"record.swf", RecordCut, wpRecordDamaged, "The movie is damaged at byte "},
      {"body.swf", BodyCut, wpBodyCut, "The movie is damaged: its compressed body ends after "},
      {"between.swf", BetweenRecords, wpMovieCut,
       "The movie is damaged: it ends after " + std::to_string(Second) + " of the " +
           std::to_string(Plain.size()) + " bytes it declares."},
      {"lzma.swf", Lzma, wpLZMALost,
       "The movie is damaged: its LZMA-compressed body could not be decoded."},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    if (!C.Data.empty()) WriteFileBytes(Temp.Path() + C.Name, C.Data);
    TWalkResult R = OpenFile(Temp.Path() + C.Name);
    EXPECT_EQ(WalkProblem(R), C.Problem);
    if (C.Problem == wpMovieCut) {
      EXPECT_EQ(W.Pictures.Count, 1);  // the picture before the cut
    }
    const std::string Text = WalkProblemText(R);
    if (C.Problem == wpNone) {
      EXPECT_EQ(Text, "");
    } else if (C.Problem == wpRecordDamaged || C.Problem == wpBodyCut) {
      EXPECT_EQ(Text.rfind(C.Sentence, 0), 0u) << Text;
    } else {
      EXPECT_EQ(Text, C.Sentence);
    }
  }
  // The damaged record's place in the movie.
  WriteFileBytes(Temp.Path() + "record.swf", RecordCut);
  TWalkResult R = OpenFile(Temp.Path() + "record.swf");
  EXPECT_EQ(R.DamagedAt, Second);
  EXPECT_EQ(WalkProblemText(R), "The movie is damaged at byte " + std::to_string(Second) + " of " +
                                    std::to_string(RecordCut.size()) +
                                    ": the record there runs past the end of the movie.");
}

TEST_F(ExtractionTest, ReopeningEmptiesTheListAndReusesTheOutputFolder) {
  TBytes Jpeg = EncodeJPEG(Photo());
  Open(TMovieBuilder().DefineBitsJPEG2(1, Jpeg).DefineBitsJPEG2(2, Jpeg).End(), "intro.swf");
  ASSERT_EQ(W.Pictures.Count, 2);
  EXPECT_EQ(W.OutputDir, ImageDir + "intro.swf/");
  SaveAllPictures(W, "Image", nullptr);
  // Same name, other folder: the same output folder, a fresh list.
  ASSERT_EQ(mkdir((Temp.Path() + "other").c_str(), 0777), 0);
  TBytes Jpeg3 = EncodeJPEG(Pattern(4, 4));
  Open(TMovieBuilder(true).DefineBitsJPEG2(7, Jpeg3).End(), "other/intro.swf");
  ASSERT_EQ(W.Pictures.Count, 1);
  EXPECT_EQ(Primary(0), Concat({IdBytes(7), Jpeg3}));
  EXPECT_FALSE(W.Pictures.JPEGTables);
  EXPECT_EQ(W.OutputDir, ImageDir + "intro.swf/");
  EXPECT_EQ(FilesIn(W.OutputDir + "JPEG"), (std::set<std::string>{"Image0.jpg", "Image1.jpg"}));
}

// ---------------------------------------------------------------------------
// PNG and GIF files stored whole, DefineBitsJPEG4, and pictures that hold
// nothing to save
// ---------------------------------------------------------------------------

// A 3 x 2 PNG with a transparent, a half and an opaque column, and a GIF of
// the same size whose index 2 is transparent.
TBytes SmallPng() {
  TBytes Rgba;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      Rgba.insert(Rgba.end(), {200, 30, uint8_t(60 * y), uint8_t(x * 127)});
  return EncodePNG(3, 2, Rgba);
}
TBytes SmallGif() {
  return EncodeGIF(3, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255}, {0, 1, 2, 2, 1, 0}, 2);
}

TEST_F(ExtractionTest, PNGAndGIFFilesInJPEGRecordsAreSavedAsStoredAndJPEG4AsJPEG3) {
  TAllKinds K;
  const TBytes Png = SmallPng(), Gif = SmallGif();
  Open(TMovieBuilder(true)
           .DefineBitsJPEG2(1, Png)
           .DefineBitsJPEG3(2, Gif, K.Alpha)  // its alpha data is ignored
           .DefineBitsJPEG4(3, Concat({{0xFF, 0xD8, 0xFF, 0xD9}, K.Jpeg}), K.Alpha)
           .DefineBitsJPEG2(4, Gif)
           .DefineBitsJPEG4(5, Png, K.Alpha)
           .End());
  const TPictureList& P = W.Pictures;
  ASSERT_EQ(P.Count, 5);
  const int32_t Codes[] = {21, 35, 90, 21, 90};
  const TEmbeddedFormat Formats[] = {efPNG, efGIF, efNone, efGIF, efPNG};
  for (int32_t N = 0; N < 5; ++N) {
    EXPECT_EQ(P.TagCode(N), Codes[N]) << N;
    EXPECT_EQ(EmbeddedImage(P, N).Format, Formats[N]) << N;
  }
  EXPECT_EQ(Primary(0), Concat({IdBytes(1), Png}));
  EXPECT_EQ(Primary(1), Gif);  // not repaired
  EXPECT_TRUE(Side(1).empty());
  EXPECT_EQ(Primary(2), K.Jpeg);  // repaired as a JPEG3's
  EXPECT_EQ(Side(2), Zlib(K.Alpha));
  EXPECT_EQ(Primary(4), Png);
  EXPECT_TRUE(Side(4).empty());

  EXPECT_EQ(SaveAllPictures(W, "Image", &Rec), 0);
  EXPECT_TRUE(Rec.Failed.empty());
  EXPECT_TRUE(Rec.Nothing.empty());
  EXPECT_EQ(FilesIn(W.OutputDir), (std::set<std::string>{"JPEG", "BMP", "PNG", "GIF"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "JPEG"), (std::set<std::string>{"Image2.jpg"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "PNG"),
            (std::set<std::string>{"Image0.png", "Image2.png", "Image4.png"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "GIF"), (std::set<std::string>{"Image1.gif", "Image3.gif"}));
  EXPECT_EQ(ReadFileBytes(Out("PNG/", "Image0.png")), Png);
  EXPECT_EQ(ReadFileBytes(Out("PNG/", "Image4.png")), Png);
  EXPECT_EQ(ReadFileBytes(Out("GIF/", "Image1.gif")), Gif);
  EXPECT_EQ(ReadFileBytes(Out("GIF/", "Image3.gif")), Gif);
  EXPECT_EQ(ReadFileBytes(Out("JPEG/", "Image2.jpg")), K.Jpeg);
  // The JPEG4's PNG: the JPEG's size, its alpha plane top row first.
  TPngImage Composed = ReadPNG(Out("PNG/", "Image2.png"));
  ASSERT_EQ(Composed.ColorType, 6);
  ASSERT_EQ(Composed.Width, 16u);
  for (uint32_t y = 0; y < 8; ++y)
    for (uint32_t x = 0; x < 16; ++x) ASSERT_EQ(Composed.Rows[y][x * 4 + 3], K.Alpha[y * 16 + x]);

  // Into another folder: every file lands there directly, and nowhere else.
  ASSERT_EQ(mkdir(Shown.c_str(), 0777), 0);
  const std::set<std::string> Before = FilesBelow(Temp.Path());
  for (int32_t N = 0; N < 5; ++N) EXPECT_TRUE(ExportPicture(W, N, Shown, "Shown").Whole()) << N;
  EXPECT_EQ(Added(Temp.Path(), Before),
            (std::set<std::string>{"shown/Shown0.png", "shown/Shown1.gif", "shown/Shown2.jpg",
                                   "shown/Shown2.png", "shown/Shown3.gif", "shown/Shown4.png"}));
  EXPECT_FALSE(IsDirectory(Shown + "GIF"));
}

TEST_F(ExtractionTest, PicturesWithNothingToWriteGetNoFileAndAreTold) {
  TBytes Jpeg = EncodeJPEG(Photo());
  Open(TMovieBuilder()
           .Tag(6, {1, 0, 0xFF})                          // 0: DefineBits too short
           .DefineBitsJPEG2(2, {9, 9, 0xFF, 0xD9, 9})     // 1: repair leaves nothing
           .Tag(35, {1, 0, 0, 0, 0, 0})                   // 2: JPEG3 without JPEG data
           .Tag(20, {1, 0, 5, 4, 0, 4, 0})                // 3: lossless without pixels
           .DefineBitsLossless2(5, 5, 65535, 65535, {1})  // 4: size refused
           .DefineBitsJPEG2(6, Jpeg)                      // 5: a picture
           .Tag(90, {1, 0})                               // 6: JPEG4 too short
           .End());
  ASSERT_EQ(W.Pictures.Count, 7);
  EXPECT_EQ(SaveAllPictures(W, "Image", &Rec), 6);
  EXPECT_EQ(Rec.Nothing, (std::vector<int32_t>{0, 1, 2, 3, 4, 6}));
  EXPECT_TRUE(Rec.Failed.empty());
  EXPECT_TRUE(Rec.NotWritten.empty());
  EXPECT_EQ(FilesIn(W.OutputDir + "JPEG"), (std::set<std::string>{"Image5.jpg"}));
  EXPECT_TRUE(FilesIn(W.OutputDir + "BMP").empty());
  EXPECT_TRUE(FilesIn(W.OutputDir + "PNG").empty());
  // A single Save says so too.
  for (int32_t N : {1, 5}) {
    SCOPED_TRACE(N);
    Forget();
    W.SelectedPicture = N;
    const TPictureOutcome Outcome = SavePicture(W, "Image", &Rec);
    EXPECT_EQ(Outcome.Whole(), N == 5);
    EXPECT_EQ(Outcome.Nothing, N != 5);
    EXPECT_EQ(Rec.Nothing.size(), N == 5 ? 0u : 1u);
  }
}

// ---------------------------------------------------------------------------
// What an open leaves, the walk's log, the facts of the pictures
// ---------------------------------------------------------------------------

// The walk passes everything in memory: it writes nothing but the output
// folders, whatever kind of picture it converts.
TEST_F(ExtractionTest, AnOpenWritesNothingButTheOutputFolders) {
  const std::set<std::string> Folders = {"movie.swf",
                                         "IMAGES/",
                                         "IMAGES/movie.swf/",
                                         "IMAGES/movie.swf/BMP/",
                                         "IMAGES/movie.swf/JPEG/",
                                         "IMAGES/movie.swf/PNG/"};
  TAllKinds K;
  for (uint16_t Code : {20, 36}) {
    for (uint8_t Format : {3, 4, 5}) {
      if (Code == 36 && Format == 4) continue;
      SCOPED_TRACE(testing::Message() << Code << " format " << int(Format));
      TBytes Data = Format == 3 ? ColorMappedData(Code == 36 ? CmPaletteRGBA : CmPaletteRGB,
                                                  CmIndices, CmW, CmH)
                    : Format == 4 ? Pix15Data(P15Pixels, P15W, P15H)
                                  : ARGBData(ArgbPixels());
      uint16_t Wd = Format == 3 ? CmW : Format == 4 ? P15W : ArgbW;
      uint16_t Ht = Format == 3 ? CmH : Format == 4 ? P15H : ArgbH;
      std::filesystem::remove_all(ImageDir + "movie.swf");
      Open(TMovieBuilder().Tag(Code, LosslessBody(1, Format, Wd, Ht, Data, 1)).End());
      ASSERT_EQ(W.Pictures.Count, 1);
      EXPECT_FALSE(Primary(0).empty());
      EXPECT_EQ(FilesBelow(Temp.Path()), Folders);
    }
  }
  std::filesystem::remove_all(ImageDir + "movie.swf");
  Open(K.Movie(true));
  ASSERT_EQ(W.Pictures.Count, 8);
  EXPECT_EQ(FilesBelow(Temp.Path()), Folders);
}

// Sound pictures log nothing; each walk's log tells of its own movie only,
// and the process-wide log is neither written nor cleared by a walk.
TEST_F(ExtractionTest, SoundPicturesLogNothingAndEveryOpenKeepsItsOwnLog) {
  TAllKinds K;
  Debugger.ClearEntries();
  Debugger.Report(nullptr, 32769, 4, 0, "left from before");
  TWalkResult R = Open(TMovieBuilder()
                           .DefineBitsJPEG3(1, K.Jpeg, K.Alpha)
                           .DefineBitsJPEG4(2, K.Jpeg, K.Alpha)
                           .DefineBitsLossless2(3, 5, ArgbW, ArgbH, ARGBData(ArgbPixels()))
                           .End());
  ASSERT_EQ(W.Pictures.Count, 3);
  EXPECT_TRUE(R.Log.empty()) << R.Log[0].Text;
  EXPECT_EQ(R.LogDropped, 0u);
  // A damaged movie's reports are bounded.
  TMovieBuilder Damaged;
  for (int i = 0; i < 3000; ++i) Damaged.Tag(35, {1, 0, 0xFF, 0, 0, 0});
  R = Open(Damaged);
  EXPECT_FALSE(R.Log.empty());
  EXPECT_LE(R.Log.size(), tDebugger::MaxEntries);
  EXPECT_GT(R.LogDropped, 0u);
  // Each entry tells where its record starts: after the header and in the movie.
  for (const tDebuggerEntry& Entry : R.Log) {
    EXPECT_GT(Entry.Position, 0u);
    EXPECT_LT(Entry.Position, R.MovieSize);
  }
  R = Open(TMovieBuilder().DefineBitsJPEG3(1, K.Jpeg, K.Alpha).End());
  EXPECT_TRUE(R.Log.empty());
  EXPECT_EQ(R.LogDropped, 0u);
  ASSERT_EQ(Debugger.Entries().size(), 1u);
  EXPECT_NE(Debugger.Entries()[0].Text.find("left from before"), std::string::npos);
  Debugger.ClearEntries();
}

// A JPEG3 or JPEG4 picture's primary block is its JPEG as repaired, its side
// block the alpha data as stored.
TEST_F(ExtractionTest, JPEG3And4KeepTheRepairedJPEGAndTheStoredAlpha) {
  TAllKinds K;
  const TBytes Damaged = Concat({{0xFF, 0xD8, 0xFF, 0xD9}, K.Jpeg});
  Open(TMovieBuilder()
           .DefineBitsJPEG3(1, Damaged, K.Alpha)
           .DefineBitsJPEG4(2, Damaged, K.Alpha)
           .End());
  ASSERT_EQ(W.Pictures.Count, 2);
  for (int32_t N : {0, 1}) {
    SCOPED_TRACE(N);
    EXPECT_EQ(Primary(N), K.Jpeg);
    EXPECT_EQ(Side(N), Zlib(K.Alpha));
  }
}

// The facts tell which kinds have alpha; the export writes a PNG for exactly
// those, and the plane it is made from is the stored one inflated.
TEST_F(ExtractionTest, ThePNGIsWrittenExactlyForTheKindsWithAlpha) {
  TAllKinds K;
  Open(K.Movie(false));
  ASSERT_EQ(mkdir(Shown.c_str(), 0777), 0);
  for (int32_t N = 0; N < W.Pictures.Count; ++N) {
    SCOPED_TRACE(N);
    const int32_t Code = W.Pictures.TagCode(N);
    const TPictureFacts& Facts = W.Pictures.Facts(N);
    const bool WithAlpha = Code == 35 || Code == 36;
    const bool Lossless = Code == 20 || Code == 36;
    EXPECT_EQ(Facts.TagCode, Code);
    EXPECT_EQ(Facts.HasAlpha, WithAlpha);
    EXPECT_EQ(Facts.Format, Lossless ? sfBMP : sfJPEG);
    EXPECT_STREQ(Facts.KindName(), WithAlpha ? "PNG" : Lossless ? "BMP" : "JPEG");
    const TPictureOutcome Outcome = ExportPicture(W, N, Shown, "Image");
    EXPECT_TRUE(Outcome.Whole());
    const std::string Name = Shown + "Image" + std::to_string(N);
    EXPECT_TRUE(FileExists(Name + (Lossless ? ".bmp" : ".jpg")));
    EXPECT_EQ(FileExists(Name + ".png"), WithAlpha);
    EXPECT_EQ(Outcome.Written.size(), WithAlpha ? 2u : 1u);
  }
  // The JPEG3's plane, as its PNG is made from it.
  TPicturePixels Pixels;
  std::string Failure;
  ASSERT_TRUE(DecodePicture(W.Pictures, 2, 0, duFile, Pixels, Failure)) << Failure;
  ASSERT_TRUE(Pixels.Alpha.Present);
  EXPECT_EQ(TBytes(Pixels.Alpha.Bytes.Data, Pixels.Alpha.Bytes.Data + Pixels.Alpha.Bytes.Size),
            K.Alpha);
}

TEST_F(ExtractionTest, ResetAndDropPrepareAnEmptyWorkspace) {
  TAllKinds K;
  Open(K.Movie(false));
  ResetWorkspace(W);
  EXPECT_EQ(W.Pictures.Count, 0);
  EXPECT_EQ(W.Pictures.PictureEntries.size(), 1u);
  EXPECT_EQ(W.Pictures.PictureEntries[0].DataStart, 0u);
  EXPECT_EQ(W.Pictures.SideStarts, std::vector<uint32_t>{0});
  EXPECT_EQ(W.Pictures.Facts(0).TagCode, 0);  // no facts are left either
  DropPictureStores(W);
  EXPECT_FALSE(W.Pictures.JPEGTables);
  EXPECT_EQ(W.Pictures.PictureData->Size(), 0u);
  EXPECT_EQ(W.Pictures.SideData->Size(), 0u);
}

// Nothing of one open reaches the next: a movie opened after another (whose
// colour-mapped picture set every palette alpha) gives the same pictures as
// opened first.
TEST_F(ExtractionTest, AnOpenGivesTheSamePicturesWhateverWasOpenedBefore) {
  TAllKinds K;
  const auto Pictures = [this] {
    std::vector<std::pair<TBytes, TBytes>> Blocks;
    for (int32_t N = 0; N < W.Pictures.Count; ++N) Blocks.emplace_back(Primary(N), Side(N));
    return Blocks;
  };
  Open(K.Movie(false), "first.swf");
  const auto First = Pictures();
  ASSERT_EQ(First.size(), 8u);
  TBytes Palette;
  for (int i = 0; i < 256; ++i) Palette.insert(Palette.end(), {1, 2, 3, uint8_t(i)});
  Open(TMovieBuilder()
           .DefineBitsLossless2(1, 3, 4, 1, ColorMappedData(Palette, {0, 100, 200, 255}, 4, 1),
                                255)
           .End(),
       "other.swf");
  ASSERT_EQ(W.Pictures.Count, 1);
  Open(K.Movie(false), "first.swf");
  EXPECT_TRUE(Pictures() == First);
}

// ---------------------------------------------------------------------------
// Export and Save all
// ---------------------------------------------------------------------------

// PNG colours are checked as stored here; how they are made straight is
// pinned by the straight colours' own tests.
TEST_F(ExtractionTest, SaveAllWritesEveryPictureByteForByte) {
  TAllKinds K;
  Open(K.Movie(true));
  ASSERT_EQ(W.Pictures.Count, 8);
  TExportOptions Stored;
  Stored.KeepPremultiplied = true;
  EXPECT_EQ(SaveAllPictures(W, "Pic", &Rec, nullptr, Stored), 0);
  EXPECT_TRUE(Rec.Failed.empty());
  EXPECT_TRUE(Rec.NotWritten.empty());
  ASSERT_EQ(Rec.Saves.size(), 9u);
  EXPECT_EQ(Rec.Saves.front(), std::make_pair(0, 8));
  EXPECT_EQ(Rec.Saves.back(), std::make_pair(8, 8));

  EXPECT_EQ(FilesIn(W.OutputDir), (std::set<std::string>{"JPEG", "BMP", "PNG"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "JPEG"),
            (std::set<std::string>{"Pic0.jpg", "Pic1.jpg", "Pic2.jpg"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "BMP"),
            (std::set<std::string>{"Pic3.bmp", "Pic4.bmp", "Pic5.bmp", "Pic6.bmp", "Pic7.bmp"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "PNG"),
            (std::set<std::string>{"Pic2.png", "Pic6.png", "Pic7.png"}));

  // JPEGs: DefineBits joined, JPEG2 repaired, JPEG3 as extracted.
  TBytes Joined = Concat({WithoutLast2(K.Split.first), Tail(K.Split.second, 2)});
  EXPECT_EQ(ReadFileBytes(Out("JPEG/", "Pic0.jpg")), Joined);
  TBytes Jpeg2 = ReadFileBytes(Out("JPEG/", "Pic1.jpg"));
  EXPECT_EQ(Jpeg2, Concat({WithoutLast2(K.Split.first), Tail(K.Split.second, 2)}));
  EXPECT_EQ(ReadFileBytes(Out("JPEG/", "Pic2.jpg")), K.Jpeg);
  for (const char* Name : {"Pic0.jpg", "Pic1.jpg", "Pic2.jpg"})
    EXPECT_TRUE(DecodesAsJPEG(ReadFileBytes(Out("JPEG/", Name)))) << Name;

  // BMPs are the primary blocks.
  EXPECT_EQ(ReadFileBytes(Out("BMP/", "Pic3.bmp")), Bmp8(CmW, CmH, CmPaletteRGB, CmIndices));
  EXPECT_EQ(ReadFileBytes(Out("BMP/", "Pic4.bmp")), Bmp16(P15W, P15H, P15Pixels));
  EXPECT_EQ(ReadFileBytes(Out("BMP/", "Pic5.bmp")), Bmp24(ArgbW, ArgbH, ArgbPixels()));
  EXPECT_EQ(ReadFileBytes(Out("BMP/", "Pic6.bmp")), Primary(6));
  EXPECT_EQ(ReadFileBytes(Out("BMP/", "Pic7.bmp")), Bmp24(ArgbW, ArgbH, ArgbPixels()));

  // JPEG3: the JPEG's size, alpha from the plane, top row first.
  TPngImage Png = ReadPNG(Out("PNG/", "Pic2.png"));
  EXPECT_EQ(Png.Width, 16u);
  EXPECT_EQ(Png.Height, 8u);
  ASSERT_EQ(Png.ColorType, 6);
  for (uint32_t y = 0; y < 8; ++y)
    for (uint32_t x = 0; x < 16; ++x) ASSERT_EQ(Png.Rows[y][x * 4 + 3], K.Alpha[y * 16 + x]);

  // Lossless2 colour-mapped: widened to 8 pixels, padding pixels take entry 0.
  Png = ReadPNG(Out("PNG/", "Pic6.png"));
  EXPECT_EQ(Png.Width, 8u);
  EXPECT_EQ(Png.Height, 2u);
  ASSERT_EQ(Png.ColorType, 6);
  for (uint32_t y = 0; y < 2; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      uint8_t Index = x < CmW ? CmIndices[y * CmW + x] : 0;
      const uint8_t* Px = &Png.Rows[y][x * 4];
      const uint8_t* Entry = &CmPaletteRGBA[Index * 4];
      EXPECT_EQ(TBytes(Px, Px + 4), TBytes(Entry, Entry + 4)) << x << "," << y;
    }
  }

  // Lossless2 32-bit: colours and alpha exactly as stored.
  Png = ReadPNG(Out("PNG/", "Pic7.png"));
  EXPECT_EQ(Png.Width, ArgbW);
  EXPECT_EQ(Png.Height, ArgbH);
  ASSERT_EQ(Png.ColorType, 6);
  for (uint32_t y = 0; y < ArgbH; ++y) {
    for (uint32_t x = 0; x < ArgbW; ++x) {
      uint32_t P = ArgbPixels()[y * ArgbW + x];
      const uint8_t* Px = &Png.Rows[y][x * 4];
      EXPECT_EQ(TBytes(Px, Px + 4),
                (TBytes{uint8_t(P >> 16), uint8_t(P >> 8), uint8_t(P), uint8_t(P >> 24)}));
    }
  }
}

// All files below Folder with their bytes.
std::map<std::string, TBytes> Tree(const std::string& Folder) {
  std::map<std::string, TBytes> Files;
  for (const auto& E : std::filesystem::recursive_directory_iterator(Folder))
    Files[std::filesystem::relative(E.path(), Folder).string()] =
        E.is_regular_file() ? ReadFileBytes(E.path().string()) : TBytes{'/'};
  return Files;
}

// Save all on worker threads writes what it writes on one, and tells of the
// pictures in the same order with the same words.
TEST_F(ExtractionTest, SaveAllOnSeveralThreadsWritesTheSameAndTellsInPictureOrder) {
  TAllKinds K;
  TBytes NotZlib = JPEG3Body(2, K.Jpeg, K.Alpha);
  NotZlib.resize(6 + K.Jpeg.size());
  NotZlib.insert(NotZlib.end(), {1, 2, 3, 4, 5});
  TMovieBuilder M(true);
  for (int Round = 0; Round < 3; ++Round) {
    M.DefineBitsJPEG2(1, K.Jpeg)
        .Tag(35, NotZlib)  // its PNG cannot be made
        .DefineBitsJPEG3(3, K.Jpeg, K.Alpha)
        .DefineBitsJPEG2(4, {1, 2, 3})  // nothing to save
        .DefineBitsLossless2(5, 5, ArgbW, ArgbH, ARGBData(ArgbPixels()))
        .DefineBitsJPEG2(6, SmallGif());
  }
  Open(M.End());
  ASSERT_EQ(W.Pictures.Count, 18);
  EXPECT_EQ(SaveAllPictures(W, "Image", &Rec), 6);
  const auto Serial = Tree(W.OutputDir);
  const auto SerialEvents = Rec.Events;
  for (unsigned Threads : {2u, 3u, 8u}) {
    SCOPED_TRACE(Threads);
    std::filesystem::remove_all(W.OutputDir);
    Forget();
    TWorkerPool Pool(Threads);
    EXPECT_EQ(SaveAllPictures(W, "Image", &Rec, &Pool), 6);
    EXPECT_TRUE(Tree(W.OutputDir) == Serial);
    EXPECT_EQ(Rec.Events, SerialEvents);
  }
  // The sizes the facts tell are the pictures' own.
  EXPECT_NE(std::find(SerialEvents.begin(), SerialEvents.end(), "done 0 1 16x8"),
            SerialEvents.end());
  EXPECT_NE(std::find(SerialEvents.begin(), SerialEvents.end(), "done 4 2 5x3"),
            SerialEvents.end());
  EXPECT_NE(std::find(SerialEvents.begin(), SerialEvents.end(), "done 5 1 3x2"),
            SerialEvents.end());
}

TEST_F(ExtractionTest, ACancelledSaveAllStopsAfterThePicturesInHand) {
  TBytes Jpeg = EncodeJPEG(Photo());
  TMovieBuilder M;
  for (uint16_t Id = 1; Id <= 40; ++Id) M.DefineBitsJPEG2(Id, Jpeg);
  Open(M.End());
  for (unsigned Threads : {1u, 2u}) {
    SCOPED_TRACE(Threads);
    std::filesystem::remove_all(W.OutputDir);
    Forget();
    Rec.CancelAfter = 5;
    TWorkerPool Pool(Threads);
    SaveAllPictures(W, "Image", &Rec, &Pool);
    ASSERT_FALSE(Rec.Saves.empty());
    EXPECT_GE(Rec.Saves.back().first, 5);
    EXPECT_LT(Rec.Saves.back().first, 40);
    // Every picture told was written, and no other.
    EXPECT_EQ(FilesIn(W.OutputDir + "JPEG").size(), size_t(Rec.Saves.back().first));
  }
}

TEST_F(ExtractionTest, AFolderOtherThanTheOutputFolderTakesAllFilesDirectly) {
  TAllKinds K;
  Open(K.Movie(false));
  std::string Elsewhere = Temp.Path() + "elsewhere/";
  ASSERT_EQ(mkdir(Elsewhere.c_str(), 0777), 0);
  // Equality is exact: the same folder spelled without its "/" is another folder.
  for (int32_t N : {2, 7}) ExportPicture(W, N, Elsewhere, "Image");
  EXPECT_EQ(FilesIn(Elsewhere),
            (std::set<std::string>{"Image2.jpg", "Image2.png", "Image7.bmp", "Image7.png"}));
  std::string Unslashed = W.OutputDir.substr(0, W.OutputDir.size() - 1);
  ExportPicture(W, 3, Unslashed, "X");
  EXPECT_TRUE(FileExists(Unslashed + "X3.bmp"));
  EXPECT_TRUE(FilesIn(W.OutputDir + "BMP").empty());
}

TEST_F(ExtractionTest, ExportingAgainReplacesAndANewPrefixAddsFiles) {
  TBytes Jpeg = EncodeJPEG(Photo());
  Open(TMovieBuilder().DefineBitsJPEG2(1, Jpeg).End());
  WriteFileBytes(Out("JPEG/", "Image0.jpg"), TBytes(50000, 7));
  W.SelectedPicture = 0;
  SavePicture(W, "Image");
  SavePicture(W, "Image");
  EXPECT_EQ(ReadFileBytes(Out("JPEG/", "Image0.jpg")), Jpeg);
  SavePicture(W, "Other");
  EXPECT_EQ(FilesIn(W.OutputDir + "JPEG"), (std::set<std::string>{"Image0.jpg", "Other0.jpg"}));
}

TEST_F(ExtractionTest, ANumberOutsideTheListWritesNothing) {
  TBytes Jpeg = EncodeJPEG(Photo());
  Open(TMovieBuilder().DefineBitsJPEG2(1, Jpeg).End());
  const std::set<std::string> Before = FilesBelow(Temp.Path());
  for (int32_t N : {1, 2, -1}) {
    SCOPED_TRACE(N);
    TPictureOutcome Outcome = ExportPicture(W, N, W.OutputDir, "Image");
    EXPECT_TRUE(Outcome.Nothing);
    EXPECT_TRUE(Outcome.Written.empty());
    EXPECT_FALSE(Outcome.Whole());
    W.SelectedPicture = N;
    Outcome = SavePicture(W, "Image");
    EXPECT_TRUE(Outcome.Nothing);
    EXPECT_TRUE(Outcome.Written.empty());
  }
  EXPECT_TRUE(Added(Temp.Path(), Before).empty());
  for (const char* Sub : {"JPEG", "BMP", "PNG"}) EXPECT_TRUE(FilesIn(W.OutputDir + Sub).empty());
}

TEST_F(ExtractionTest, SaveAllGoesOnAfterAPictureWhosePNGCannotBeComposed) {
  TAllKinds K;
  TBytes Body = JPEG3Body(2, K.Jpeg, K.Alpha);
  TBytes NotZlib = Concat({Tail(Body, 0)});
  NotZlib.resize(6 + K.Jpeg.size());
  NotZlib.insert(NotZlib.end(), {1, 2, 3, 4, 5});  // alpha data that is no zlib stream
  Open(TMovieBuilder()
           .DefineBitsJPEG2(1, K.Jpeg)
           .Tag(35, NotZlib)
           .DefineBitsJPEG3(3, K.Jpeg, K.Alpha)
           .DefineBitsLossless2(4, 5, ArgbW, ArgbH, ARGBData(ArgbPixels()))
           .End());
  ASSERT_EQ(W.Pictures.Count, 4);
  EXPECT_EQ(SaveAllPictures(W, "Image", &Rec), 1);
  EXPECT_EQ(Rec.Failed, std::vector<int32_t>{1});
  EXPECT_EQ(Rec.Saves.back(), std::make_pair(4, 4));
  EXPECT_EQ(FilesIn(W.OutputDir + "JPEG"),
            (std::set<std::string>{"Image0.jpg", "Image1.jpg", "Image2.jpg"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "PNG"), (std::set<std::string>{"Image2.png", "Image3.png"}));
  EXPECT_EQ(FilesIn(W.OutputDir + "BMP"), (std::set<std::string>{"Image3.bmp"}));
  // Save of that one picture reports the error to its caller, and to the
  // observer.
  Forget();
  W.SelectedPicture = 1;
  const TPictureOutcome Outcome = SavePicture(W, "Image", &Rec);
  EXPECT_EQ(Outcome.PNGFailure, "The alpha data is not a valid zlib stream");
  EXPECT_FALSE(Outcome.Whole());
  EXPECT_EQ(Outcome.Written, std::vector<std::string>{Out("JPEG/", "Image1.jpg")});
  EXPECT_EQ(Rec.Failed, std::vector<int32_t>{1});
  EXPECT_EQ(Rec.Events, std::vector<std::string>{
                            "png 1 The alpha data is not a valid zlib stream"});
}

TEST_F(ExtractionTest, FilesThatCannotBeCreatedArePassedOverAndReported) {
  TAllKinds K;
  Open(K.Movie(false));
  // The output folder becomes a file: nothing can be written below it.
  std::filesystem::remove_all(W.OutputDir);
  std::string Blocked = W.OutputDir.substr(0, W.OutputDir.size() - 1);
  WriteFileBytes(Blocked, {0});
  int32_t Failures = SaveAllPictures(W, "Image", &Rec);
  EXPECT_EQ(Rec.NotWritten.size(), 8u);                    // every JPEG and BMP
  EXPECT_EQ(Failures, 8);                                  // so no picture is saved
  EXPECT_EQ(Rec.Failed, (std::vector<int32_t>{2, 6, 7}));  // and no PNG
  EXPECT_TRUE(Rec.Nothing.empty());
  EXPECT_EQ(Rec.Saves.back(), std::make_pair(8, 8));
}

}  // namespace
