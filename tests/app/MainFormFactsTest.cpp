// What the window tells of each picture: the thumbnail's tooltip, the
// information pane and quillory-extract's report all read one record of
// facts, so for every kind of picture record they say the same; and the
// pictures a movie carries in binary data say which data they lie in.
#include <sys/wait.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>

#include "MainFormFixture.h"
#include "tests/support/ToolRun.h"

namespace {

constexpr uint16_t BinaryDataCode = 87, ExportAssetsCode = 56, SymbolClassCode = 76;

TBytes Rgba(int Width, int Height) {
  TBytes Pixels;
  for (int i = 0; i < Width * Height; ++i)
    Pixels.insert(Pixels.end(), {uint8_t(i * 40), 90, 200, uint8_t(i % 2 ? 255 : 128)});
  return Pixels;
}

TBytes Gif(int Width, int Height) {
  TBytes Indices(size_t(Width * Height));
  for (size_t i = 0; i < Indices.size(); ++i) Indices[i] = uint8_t(i % 2);
  return EncodeGIF(Width, Height, {255, 0, 0, 0, 0, 255}, Indices);
}

// What a person and the report are told of one picture. Every picture has
// a size of its own, so facts taken from a neighbour show.
struct TKindCase {
  const char* Record;  // the report's kind
  const char* Format;  // the report's format: what the record stores
  const char* Shown;   // tooltip and pane: what the picture is saved as
  int Width, Height;   // 0 x 0: the data do not tell
  const char* Files;   // the folders of the files saved, in order
};

// Picture N has the character ID N + 1.
const TKindCase KindCases[] = {
    {"DefineBits", "JPEG", "JPEG", 40, 30, "JPEG"},
    {"DefineBitsJPEG2", "JPEG", "JPEG", 30, 20, "JPEG"},
    {"DefineBitsJPEG3", "JPEG", "PNG", 8, 6, "JPEG PNG"},
    {"DefineBitsJPEG4", "JPEG", "PNG", 12, 7, "JPEG PNG"},
    {"DefineBitsLossless", "BMP", "BMP", 5, 5, "BMP"},  // colour-mapped
    {"DefineBitsLossless", "BMP", "BMP", 6, 3, "BMP"},  // 15-bit
    {"DefineBitsLossless", "BMP", "BMP", 5, 4, "BMP"},  // 32-bit
    // Colour-mapped, 3 x 2: widened to its padded row of 4, and told so by all three.
    {"DefineBitsLossless2", "BMP", "PNG", 4, 2, "BMP PNG"},
    {"DefineBitsLossless2", "BMP", "PNG", 4, 4, "BMP PNG"},  // 32-bit
    {"DefineBitsJPEG2", "PNG", "PNG", 20, 10, "PNG"},        // PNG and GIF files stored whole
    {"DefineBitsJPEG3", "PNG", "PNG", 9, 11, "PNG"},
    {"DefineBitsJPEG4", "PNG", "PNG", 7, 5, "PNG"},
    {"DefineBitsJPEG2", "GIF", "GIF", 6, 4, "GIF"},
    {"DefineBitsJPEG3", "GIF", "GIF", 10, 3, "GIF"},
    {"DefineBitsJPEG4", "GIF", "GIF", 3, 9, "GIF"},
    {"DefineBitsJPEG2", "JPEG", "JPEG", 0, 0, "JPEG"},  // a frame header cut short
};

void SaveEveryKindMovie(const std::string& FileName) {
  auto [Tables, Image] = EncodeJPEGTablesAndImage(Pattern(40, 30));
  const TBytes Alpha86(8 * 6, 200), Alpha127(12 * 7, 100), Ignored(4, 0);
  const TBytes Palette = {0, 0, 0, 255, 255, 255, 0, 128, 255};
  const TBytes PaletteRgba = {0, 0, 0, 0, 255, 255, 255, 255, 0, 128, 255, 128};
  TBytes Indices25(25), Indices6(6);
  for (size_t i = 0; i < 25; ++i) Indices25[i] = uint8_t(i % 3);
  for (size_t i = 0; i < 6; ++i) Indices6[i] = uint8_t(i % 3);
  std::vector<uint32_t> Argb16(16, 0xFFFF0000);
  Argb16[0] = 0;
  TMovieBuilder(true)
      .JPEGTables(Tables)
      .DefineBits(1, Image)
      .DefineBitsJPEG2(2, EncodeJPEG(Pattern(30, 20, 1)))
      .DefineBitsJPEG3(3, EncodeJPEG(Pattern(8, 6, 2)), Alpha86)
      .DefineBitsJPEG4(4, EncodeJPEG(Pattern(12, 7, 3)), Alpha127)
      .DefineBitsLossless(5, 3, 5, 5, ColorMappedData(Palette, Indices25, 5, 5), 2)
      .DefineBitsLossless(6, 4, 6, 3, Pix15Data(std::vector<uint16_t>(18, 0x7C00), 6, 3))
      .DefineBitsLossless(7, 5, 5, 4, ARGBData(std::vector<uint32_t>(20, 0xFF00FF00)))
      .DefineBitsLossless2(8, 3, 3, 2, ColorMappedData(PaletteRgba, Indices6, 3, 2), 2)
      .DefineBitsLossless2(9, 5, 4, 4, ARGBData(Argb16))
      .DefineBitsJPEG2(10, EncodePNG(20, 10, Rgba(20, 10)))
      .DefineBitsJPEG3(11, EncodePNG(9, 11, Rgba(9, 11)), Ignored)
      .DefineBitsJPEG4(12, EncodePNG(7, 5, Rgba(7, 5)), Ignored)
      .DefineBitsJPEG2(13, Gif(6, 4))
      .DefineBitsJPEG3(14, Gif(10, 3), Ignored)
      .DefineBitsJPEG4(15, Gif(3, 9), Ignored)
      .DefineBitsJPEG2(16, {0xFF, 0xD8, 0xFF, 0xC0, 0, 11})
      .End()
      .Save(FileName);
}

// quillory-extract --report over Movie, files under Out: the report's
// pictures (none when the report holds no single line).
QJsonArray ReportedPictures(const std::string& Movie, const std::string& Out) {
  const std::string Report = Out + "report.jsonl";
  const TRun R = RunProgram(QUILLORY_EXTRACT,
                            {"-q", "--prefix", "Image", "--out", Out, "--report", Report, Movie},
                            Movie.substr(0, Movie.rfind('/') + 1));
  EXPECT_NE(R.Status, -1) << R.Err;
  const TBytes Bytes = ReadFileBytes(Report);
  const QList<QByteArray> Lines =
      QByteArray(reinterpret_cast<const char*>(Bytes.data()), qsizetype(Bytes.size()))
          .trimmed()
          .split('\n');
  if (Lines.size() != 1) return {};
  return QJsonDocument::fromJson(Lines[0]).object().value("pictures").toArray();
}

QString EnglishTip(int32_t Number, const char* Kind, int Width, int Height) {
  const auto Side = [](int Pixels) { return Pixels ? QString::number(Pixels) : QString("?"); };
  return QString("Picture %1: %2, %3 x %4 pixels")
      .arg(Number)
      .arg(Kind)
      .arg(Side(Width))
      .arg(Side(Height));
}

// Each kind of record once: the tooltip, the pane and the report agree on
// the kind and size, and with what the record holds. A PNG stored in a
// DefineBitsJPEG2 was once "JPEG ? x ?" in its tooltip and PNG 20x10 in the
// pane; a DefineBitsJPEG4 picture's tooltip said JPEG where the pane said PNG.
TEST_F(MainFormTest, TooltipPaneAndReportTellTheSameFactsForEveryKind) {
  const std::string Kinds = Program + "kinds.swf";
  SaveEveryKindMovie(Kinds);
  constexpr int32_t Count = int32_t(std::size(KindCases));
  TMainForm& F = Start();
  ShowWithGrid(530);  // three columns
  Open(Kinds);
  ASSERT_EQ(F.Workspace().Pictures.Count, Count);
  const QJsonArray Reported = ReportedPictures(Kinds, Program + "tool/");
  const auto Text = [&](const char* Name) { return Label(Name)->text().toStdString(); };
  ASSERT_EQ(Reported.size(), Count);

  for (int32_t N = 0; N < Count; ++N) {
    const TKindCase& C = KindCases[N];
    SCOPED_TRACE(std::to_string(N) + " " + C.Record + " " + C.Format);
    const bool Sized = C.Width > 0;
    const int Row = N / 3, Column = N % 3;

    // The tooltip: number, kind and size, then the character ID; not carried.
    const QString Tip = VDT()->model()->index(Row, Column).data(Qt::ToolTipRole).toString();
    EXPECT_EQ(Tip.toStdString(), (EnglishTip(N, C.Shown, C.Width, C.Height) + "\nCharacter ID " +
                                  QString::number(N + 1))
                                     .toStdString());

    // The pane, for a picture that can be shown, and the preview at that size.
    F.VDTColumnClick(Row, Column);
    EXPECT_EQ(InfoShown(), Sized);
    if (Sized) {
      EXPECT_EQ(Text("Label1"), std::to_string(N));
      EXPECT_EQ(Text("Label2"), C.Shown);
      EXPECT_EQ(Text("Label3"), std::to_string(C.Width) + "x" + std::to_string(C.Height));
      EXPECT_EQ(Text("Label7"), std::to_string(N + 1));
      EXPECT_EQ(Text("Label8"), "the movie itself");
      EXPECT_EQ(Image1()->Picture().size(), QSize(C.Width, C.Height));
    }

    // The report.
    const QJsonObject Line = Reported[N].toObject();
    EXPECT_EQ(Line.value("number").toInt(-1), N);
    EXPECT_EQ(Line.value("kind").toString().toStdString(), C.Record);
    EXPECT_EQ(Line.value("format").toString().toStdString(), C.Format);
    const auto Side = [&](const char* Key) {
      const QJsonValue Value = Line.value(Key);
      return Value.isNull() ? std::string("null") : std::to_string(Value.toInt(-1));
    };
    EXPECT_EQ(Side("width"), Sized ? std::to_string(C.Width) : "null");
    EXPECT_EQ(Side("height"), Sized ? std::to_string(C.Height) : "null");
    EXPECT_EQ(Line.value("id").toInt(-1), N + 1);
    EXPECT_EQ(Line.value("carrier").toArray(), QJsonArray());
    // The kind shown is the file a person finds.
    QStringList Files;
    for (const QString& Folder : QString(C.Files).split(' '))
      Files << Folder + "/Image" + QString::number(N) + "." +
                   (Folder == "JPEG" ? QString("jpg") : Folder.toLower());
    EXPECT_EQ(Line.value("files").toVariant().toStringList(), Files);
    EXPECT_TRUE(Files.last().startsWith(C.Shown));
  }
  EXPECT_FALSE(VDT()->model()->index(Count / 3, Count % 3).data(Qt::ToolTipRole).isValid());
}

// The movie's own pictures, a movie carried in binary data 5 that carries
// another in binary data 8, and a PNG file carried in binary data 6: the
// grid shows the movie's own first, then the carried ones depth first; a
// carried picture's tooltip and pane say its ID, name and where it lies.
TEST_F(MainFormTest, CarriedPicturesSayWhichBinaryDataTheyLieIn) {
  const TBytes Deep =
      TMovieBuilder()
          .DefineBitsLossless2(7, 5, 2, 2, ARGBData(std::vector<uint32_t>(4, 0x80FF0000)))
          .Tag(SymbolClassCode, NamesBody({{7, "Deep"}}))
          .End()
          .Build();
  const TBytes Level = TMovieBuilder(true)
                           .DefineBitsJPEG2(3, EncodeJPEG(Pattern(8, 4)))
                           .Tag(BinaryDataCode, BinaryDataBody(8, Deep))
                           .Tag(SymbolClassCode, NamesBody({{3, "InnerLogo"}, {8, "DeepMovie"}}))
                           .End()
                           .Build();
  const std::string Carrying = Program + "carrying.swf";
  TMovieBuilder()
      .DefineBitsLossless(2, 5, 3, 3, ARGBData(std::vector<uint32_t>(9, 0xFF00FF00)))
      .Tag(BinaryDataCode, BinaryDataBody(5, Level))
      .Tag(BinaryDataCode, BinaryDataBody(6, EncodePNG(5, 3, Rgba(5, 3))))
      .DefineBitsJPEG2(1, EncodeJPEG(Pattern(6, 4)))
      .Tag(SymbolClassCode, NamesBody({{1, "Logo"}, {5, "Level"}, {6, "Badge"}}))
      .Tag(ExportAssetsCode, NamesBody({{1, "LogoExported"}}))  // the first name is the one shown
      .End()
      .Save(Carrying);

  TMainForm& F = Start();
  ShowWithGrid(530);  // three columns
  Open(Carrying);
  const auto Text = [&](const char* Name) { return Label(Name)->text().toStdString(); };
  struct TCase {
    const char* Tip;
    QSize Thumbnail;
    const char* Character;  // in the pane
    const char* LiesIn;
  };
  const TCase Cases[] = {
      {"Picture 0: BMP, 3 x 3 pixels\nCharacter ID 2", {150, 150}, "2", "the movie itself"},
      {"Picture 1: JPEG, 6 x 4 pixels\nCharacter ID 1 Logo",
       {150, 100},
       "1 Logo",
       "the movie itself"},
      {"Picture 2: JPEG, 8 x 4 pixels\nCharacter ID 3 InnerLogo\nIn the binary data 5",
       {150, 75},
       "3 InnerLogo",
       "binary data 5"},
      {"Picture 3: PNG, 2 x 2 pixels\nCharacter ID 7 Deep\nIn the binary data 5 > 8",
       {150, 150},
       "7 Deep",
       "binary data 5 > 8"},
      {"Picture 4: PNG, 5 x 3 pixels\nCharacter ID 6 Badge\nIn the binary data 6",
       {150, 90},
       "6 Badge",
       "binary data 6"},
  };
  constexpr int32_t Count = int32_t(std::size(Cases));
  ASSERT_EQ(F.Workspace().Pictures.Count, Count);
  EXPECT_EQ(F.PanelText(1), Total(Count));
  EXPECT_EQ(VDT()->RootNodeCount(), 2);
  for (int32_t N = 0; N < Count; ++N) {
    const TCase& C = Cases[N];
    SCOPED_TRACE(N);
    EXPECT_EQ(F.ThumbnailImage(N).size(), C.Thumbnail);
    EXPECT_EQ(VDT()->model()->index(N / 3, N % 3).data(Qt::ToolTipRole).toString().toStdString(),
              C.Tip);
    F.VDTColumnClick(N / 3, N % 3);
    ASSERT_TRUE(InfoShown());
    EXPECT_TRUE(Label("labelCharacter")->isVisibleTo(&F));
    EXPECT_TRUE(Label("labelCarrier")->isVisibleTo(&F));
    EXPECT_EQ(Text("labelCharacter"), "Character ID:");
    EXPECT_EQ(Text("labelCarrier"), "Lies in:");
    EXPECT_EQ(Text("Label7"), C.Character);
    EXPECT_EQ(Label("Label7")->toolTip().toStdString(), C.Character);
    EXPECT_EQ(Text("Label8"), C.LiesIn);
  }

  // In French too (a no-break space before the colon).
  Action("menuFrench")->trigger();
  F.VDTColumnClick(1, 0);
  EXPECT_EQ(Text("Label8"), "données binaires 5 > 8");
  EXPECT_EQ(VDT()->model()->index(1, 0).data(Qt::ToolTipRole).toString().toStdString(),
            "Image 3\u00A0: PNG, 2 × 2 pixels\nIdentifiant 7 Deep\nDans les données binaires 5 > 8");
}

}  // namespace
