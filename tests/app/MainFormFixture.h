// What the tests of the main window share: a movie with one picture of each
// kind, a way to find the window's components by name, and the fixture that
// starts the window in a program folder of its own with a copy of the
// shipped Lang.ini, with no modal box that could block a test.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "QtTestApp.h"
#include "app/About.h"
#include "app/Artwork.h"
#include "app/Grid.h"
#include "app/GridArtwork.h"
#include "app/HelpError.h"
#include "app/Lang.h"
#include "app/Main.h"
#include "app/PictureView.h"
#include "app/SaveAllBox.h"
#include "platform/IniFile.h"
#include "tests/support/MovieBuilder.h"

namespace fs = std::filesystem;

inline const QRgb GreyPixel = qRgb(204, 204, 204);

// The component of Window named Name, of kind T: the window's own, not one
// of its dialogs' (the About box has labels named like the information
// values). A name that finds none, or more than one, fails the test.
template <class T>
T* WindowComponent(QWidget& Window, const char* Name) {
  QList<T*> Found;
  for (T* Child : Window.findChildren<T*>(QLatin1String(Name))) {
    bool InDialog = false;
    for (QObject* Up = Child->parent(); Up && Up != &Window; Up = Up->parent())
      InDialog = InDialog || qobject_cast<QDialog*>(Up);
    if (!InDialog) Found << Child;
  }
  if (Found.size() != 1)
    throw std::logic_error(std::to_string(Found.size()) + " components named " + Name);
  return Found[0];
}

// Room the window keeps beside the grid: the info pane (287), the gap
// between the panes (8) and the grid's own margins (8).
constexpr int GridMargin = 303;

inline TRgbPicture SolidRgb(int Width, int Height, uint8_t R, uint8_t G, uint8_t B) {
  TRgbPicture Picture{Width, Height, {}};
  for (int i = 0; i < Width * Height; ++i) Picture.Rgb.insert(Picture.Rgb.end(), {R, G, B});
  return Picture;
}

// Seven pictures, one of each kind and lossless format:
//  0 DefineBits 40x30, 1 DefineBitsJPEG2 30x60, 2 DefineBitsJPEG3 8x6 (top row
//  transparent), 3 DefineBitsLossless 32-bit 5x4, 4 DefineBitsLossless 15-bit
//  6x3, 5 DefineBitsLossless2 4x4 (top-left pixel transparent),
//  6 DefineBitsLossless colour-mapped 5x5.
inline void SaveMixedMovie(const std::string& FileName) {
  auto [Tables, Image] = EncodeJPEGTablesAndImage(Pattern(40, 30));
  TBytes Alpha(8 * 6, 255);
  std::fill(Alpha.begin(), Alpha.begin() + 8, 0);
  std::vector<uint32_t> Argb(16, 0xFFFF0000);
  Argb[0] = 0;
  TBytes Palette = {0, 0, 0, 255, 255, 255, 0, 128, 255};
  TBytes Indices(25);
  for (size_t i = 0; i < Indices.size(); ++i) Indices[i] = uint8_t(i % 3);
  TMovieBuilder(true)
      .JPEGTables(Tables)
      .DefineBits(1, Image)
      .DefineBitsJPEG2(2, EncodeJPEG(Pattern(30, 60, 1)))
      .DefineBitsJPEG3(3, EncodeJPEG(SolidRgb(8, 6, 255, 0, 0), 95), Alpha)
      .DefineBitsLossless(4, 5, 5, 4, ARGBData(std::vector<uint32_t>(20, 0xFF00FF00)))
      .DefineBitsLossless(5, 4, 6, 3, Pix15Data(std::vector<uint16_t>(18, 0x7C00), 6, 3))
      .DefineBitsLossless2(6, 5, 4, 4, ARGBData(Argb))
      .DefineBitsLossless(7, 3, 5, 5, ColorMappedData(Palette, Indices, 5, 5), 2)
      .End()
      .Save(FileName);
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(QUILLORY_LANG_INI, Program + "Lang.ini");
    Movie = Program + "movie.swf";
    SaveMixedMovie(Movie);
  }

  // Builds the window over the program folder, with Config.ini holding Config
  // (no file when empty). No modal box can block a test.
  TMainForm& Start(const std::string& Config = "") {
    Form.reset();
    if (!Config.empty())
      WriteFileBytes(Program + "Config.ini", TBytes(Config.begin(), Config.end()));
    Settings = std::make_unique<TSettings>(Program);
    Form = std::make_unique<TMainForm>(*Settings);
    Form->ErrorBox = [this](QWidget*, const QString& Text) { Errors << Text; };
    Form->HelpBoxes.ErrorBox = Form->ErrorBox;
    Form->HelpBoxes.ShowHelpError = [this](TFHelpError&) { Errors << "help-error box"; };
    Form->ShowModal = [](QDialog&) { return int(QDialog::Rejected); };
    Form->ShowMessage = [this](QMessageBox& Box) {
      Boxes << TShownBox{
          Box.windowTitle(), Box.text(), Box.informativeText(), {}, Box.detailedText()};
      for (QAbstractButton* Button : Box.buttons()) Boxes.back().Buttons << Button->text();
      if (AnswerBox) AnswerBox(Box);
    };
    Form->FolderOpener = [this](const QUrl& Url) {
      OpenedFolders << Url.toLocalFile();
      return true;
    };
    return *Form;
  }

  // Waits until the open the window started by itself is done.
  void WaitForOpen(int32_t Count) {
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Form->Workspace().Pictures.Count == Count && !Form->ThumbnailsPending(); },
        20000));
  }

  // Shows the window at a size that gives the grid GridWidth pixels.
  void ShowWithGrid(int GridWidth, int Height = 700) {
    Form->resize(GridWidth + GridMargin, Height);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return VDT()->width() == GridWidth; })) << VDT()->width();
  }

  void Open(const std::string& Path) {
    Form->OpenDialog1 = [Path] { return QString::fromStdString(Path); };
    Form->AOpenExecute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form->ThumbnailsPending(); }, 20000));
  }

  // The window's components, by their names.
  TThumbnailGrid* VDT() { return WindowComponent<TThumbnailGrid>(*Form, "VDT"); }
  TPictureView* Image1() { return WindowComponent<TPictureView>(*Form, "Image1"); }  // the preview
  TPictureView* Image2() { return WindowComponent<TPictureView>(*Form, "Image2"); }  // NO IMAGES
  TPictureView* Image3() { return WindowComponent<TPictureView>(*Form, "Image3"); }
  QScrollArea* ImageScroll() { return WindowComponent<QScrollArea>(*Form, "ImageScroll"); }
  QProgressBar* ProgressBar1() { return WindowComponent<QProgressBar>(*Form, "ProgressBar1"); }
  QStatusBar* TBXStatusBar1() { return WindowComponent<QStatusBar>(*Form, "TBXStatusBar1"); }
  TFAbout* FAbout() { return WindowComponent<TFAbout>(*Form, "FAbout"); }
  // Commands and menu items.
  QAction* Action(const char* Name) { return WindowComponent<QAction>(*Form, Name); }
  QMenu* Menu(const char* Name) { return WindowComponent<QMenu>(*Form, Name); }
  QLabel* Label(const char* Name) { return WindowComponent<QLabel>(*Form, Name); }
  QToolButton* Button(const char* Name) { return WindowComponent<QToolButton>(*Form, Name); }

  QString Lang(const char* Key) { return LangText(Program, Key, Settings->Language); }
  QString Total(int Count) {
    return Lang(mesTotal) + " " + QString::number(Count) + " " + Lang(mesImages);
  }
  // Every thumbnail of the open movie as the grid paints it (null where one
  // is not made).
  std::vector<QImage> Thumbnails() {
    std::vector<QImage> All;
    for (int32_t N = 0; N < Form->Workspace().Pictures.Count; ++N)
      All.push_back(Form->ThumbnailImage(N));
    return All;
  }
  bool InfoShown() {
    return Label("Label1")->isVisibleTo(Form.get()) &&
           Label("labelColorMode")->isVisibleTo(Form.get());
  }

  struct TShownBox {
    QString Title, Text, Informative;
    QStringList Buttons;
    QString Detailed;
  };

  TTempDir Dir;
  std::string Program = Dir.Path();
  std::string Movie;
  std::unique_ptr<TSettings> Settings;
  std::unique_ptr<TMainForm> Form;
  QStringList Errors;
  QList<TShownBox> Boxes;
  std::function<void(QMessageBox&)> AnswerBox;  // what the user does in a message box
  QStringList OpenedFolders;
};
