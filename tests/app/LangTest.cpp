#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "QtTestApp.h"
#include "app/Lang.h"
#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace {

// Accented texts written as UTF-8 bytes, compared as Qt strings.
const char* const TestLang =
    "[MainForm]\nENG=Picture tool\nFRA=Outil d'images\n"
    "[submenuFile]\nENG=File\nFRA=Fichier\n"
    "[submenuRecent]\nENG=Recent\nFRA=R\xC3\xA9"
    "cents\n"
    "[menuOpen]\nENG=Open\nFRA=Ouvrir\n"
    "[menuOld]\nENG=Old movie\nFRA=Ancienne animation\n"
    "[buttonOpen]\nENG=Open it\nFRA=L'ouvrir\n"
    "[labelPicNum]\nENG=Picture number\nFRA=Num\xC3\xA9ro\n"
    "[labelAdobeLink]\nENG=get.example.com\nFRA=get.example.fr\n"
    "[buttonColor]\nENG=Color\n"  // no French text
    "[buttonCloseHelpError]\nENG=Close\nFRA=Fermer\n"
    "[editPrefix]\nENG=edit\nFRA=edit\n"
    "[spinPicSize]\nENG=spin\nFRA=spin\n"
    "[AOpen]\nENG=action\nFRA=action\n"
    "[toolHelp]\nENG=tool\nFRA=tool\n"
    "[OptionsForm]\nENG=Options\nFRA=Options\n"
    "[labelInDialog]\nENG=dialog\nFRA=dialog\n"
    "[mesReady]\nENG=Ready\nFRA=Pr\xC3\xAAt\nDEU=Bereit\n";

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Pattern = (fs::temp_directory_path() / "quillory-lang-XXXXXX").string();
    ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
    Dir = Pattern + "/";
    PutLang(TestLang);
  }
  void TearDown() override { fs::remove_all(Dir); }

  void PutLang(const std::string& Content, const std::string& Name = "Lang.ini") {
    std::ofstream Out(Dir + Name, std::ios::binary);
    Out << Content;
  }

  std::string Dir;
};

TEST_F(LangTest, LooksUpMessagesWhenAsked) {
  EXPECT_EQ(LangText(Dir, mesReady, "ENG"), QString("Ready"));
  EXPECT_EQ(LangText(Dir, mesReady, "FRA"), QString::fromUtf8(u8"Prêt"));
  EXPECT_EQ(LangText(Dir, mesReady, "DEU"), QString("Bereit"));
  EXPECT_EQ(LangText(Dir, mesReady, "ITA"), QString());
  EXPECT_EQ(LangText(Dir, "MESREADY", "fra"), QString::fromUtf8(u8"Prêt"));
  EXPECT_EQ(LangText(Dir, mesSave, "ENG"), QString());

  // No cache: an edit shows at the next lookup.
  PutLang("[mesReady]\nENG=Done\n");
  EXPECT_EQ(LangText(Dir, mesReady, "ENG"), QString("Done"));

  // The file is found whatever the case of its name; without it, texts are empty.
  fs::rename(Dir + "Lang.ini", Dir + "lang.INI");
  EXPECT_EQ(LangText(Dir, mesReady, "ENG"), QString("Done"));
  fs::remove(Dir + "lang.INI");
  EXPECT_EQ(LangText(Dir, mesReady, "ENG"), QString());
}

// Installed system-wide, Lang.ini lies in ../share/quillory/ from the program.
TEST_F(LangTest, FindsTheFileInTheShareFolderOfASystemInstall) {
  fs::create_directories(Dir + "usr/bin");
  fs::create_directories(Dir + "usr/share/quillory");
  fs::rename(Dir + "Lang.ini", Dir + "usr/share/quillory/Lang.ini");
  EXPECT_EQ(LangText(Dir + "usr/bin/", mesReady, "FRA"), QString::fromUtf8(u8"Prêt"));
  EXPECT_EQ(LangFormat(Dir + "usr/bin/", mesReady, "DEU", {}), QString("Bereit"));
}

TEST_F(LangTest, FormatFillsEachPlaceOnce) {
  PutLang("[mesSavedIn]\nENG=%2 then %1, 100% sure, %3 kept\n");
  // An argument holding "%2" is not read again.
  EXPECT_EQ(LangFormat(Dir, mesSavedIn, "ENG", {"/a%2/", "B"}), "B then /a%2/, 100% sure, %3 kept");
  EXPECT_EQ(LangFormat(Dir, mesSavedIn, "FRA", {"x"}), QString());
}

TEST(QtLanguage, FrenchLoadsQtsCatalogueAndEnglishDropsIt) {
  ASSERT_TRUE(QFile::exists(QtTranslationsDir() + "/qtbase_fr.qm"))
      << "Qt's French catalogue is missing: install qt6-translations-l10n (scripts/setup.sh)";
  const auto Close = [] { return QCoreApplication::translate("QPlatformTheme", "Close"); };
  EXPECT_TRUE(SetQtLanguage("FRA"));
  EXPECT_EQ(Close(), "Fermer");
  EXPECT_TRUE(SetQtLanguage("FRA"));  // twice: still one catalogue
  EXPECT_EQ(Close(), "Fermer");
  EXPECT_TRUE(SetQtLanguage("ENG"));
  EXPECT_EQ(Close(), "Close");
  EXPECT_TRUE(SetQtLanguage("DEU"));  // no catalogue of ours for other codes
  EXPECT_EQ(Close(), "Close");
}

// A small main window with every kind ApplyLanguage meets.
struct TTestWindow {
  TTestWindow() {
    Window.setObjectName("MainForm");
    Window.setWindowTitle("design title");

    File = Window.menuBar()->addMenu("design File");
    File->setObjectName("submenuFile");
    MenuOpen = File->addAction("design Open");
    MenuOpen->setObjectName("menuOpen");
    Recent = File->addMenu("design Recent");
    Recent->setObjectName("submenuRecent");
    MenuOld = Recent->addAction("design Old");
    MenuOld->setObjectName("menuOld");
    Unnamed = File->addAction("unnamed item");

    Bar = Window.addToolBar("Toolbar");
    Bar->setObjectName("Toolbar");
    ButtonOpen = Bar->addAction("design Open it");
    ButtonOpen->setObjectName("buttonOpen");
    Command = new TCommandAction(&Window);
    Command->setObjectName("AOpen");
    Command->setText("Open command");
    Tool = new QToolButton(Bar);
    Tool->setObjectName("toolHelp");
    Tool->setText("tool design");
    Bar->addWidget(Tool);

    auto* Central = new QWidget;
    auto* Inner = new QWidget(Central);  // nesting: labels two levels down
    auto* Layout = new QVBoxLayout(Inner);
    PicNum = new QLabel("design PicNum");
    PicNum->setObjectName("labelPicNum");
    Value = new QLabel("42");
    Value->setObjectName("Label1");
    Link = new QLabel("design link");
    Link->setObjectName("labelAdobeLink");
    Plain = new QLabel("no name");
    Color = new QPushButton("design Color");
    Color->setObjectName("buttonColor");
    Ok = new TFrameButton("Ok");
    Ok->setObjectName("buttonCloseHelpError");
    Edit = new QLineEdit("typed text");
    Edit->setObjectName("editPrefix");
    Spin = new QSpinBox;
    Spin->setObjectName("spinPicSize");
    Spin->setValue(7);
    for (QWidget* W :
         {static_cast<QWidget*>(PicNum), static_cast<QWidget*>(Value), static_cast<QWidget*>(Link),
          static_cast<QWidget*>(Plain), static_cast<QWidget*>(Color), static_cast<QWidget*>(Ok),
          static_cast<QWidget*>(Edit), static_cast<QWidget*>(Spin)})
      Layout->addWidget(W);
    Window.setCentralWidget(Central);

    Status = Window.statusBar();
    Status->setObjectName("TBXStatusBar1");

    // Another window owned by this one keeps its own texts.
    Dialog = new QDialog(&Window);
    Dialog->setObjectName("OptionsForm");
    Dialog->setWindowTitle("dialog title");
    DialogLabel = new QLabel("dialog design", Dialog);
    DialogLabel->setObjectName("labelInDialog");
  }

  QMainWindow Window;
  QMenu *File, *Recent;
  QAction *MenuOpen, *MenuOld, *Unnamed, *ButtonOpen;
  TCommandAction* Command;
  QToolBar* Bar;
  QToolButton* Tool;
  QLabel *PicNum, *Value, *Link, *Plain, *DialogLabel;
  QPushButton* Color;
  TFrameButton* Ok;
  QLineEdit* Edit;
  QSpinBox* Spin;
  QStatusBar* Status;
  QDialog* Dialog;
};

TEST_F(LangTest, ApplyLanguageTranslatesOnlyTheTranslatedKinds) {
  TTestWindow T;
  T.Window.show();
  ApplyLanguage(&T.Window, Dir, "ENG");

  EXPECT_EQ(T.Window.windowTitle(), QString("Picture tool"));
  EXPECT_EQ(T.File->title(), QString("File"));
  EXPECT_EQ(T.File->menuAction()->text(), QString("File"));  // what the menu bar shows
  EXPECT_EQ(T.MenuOpen->text(), QString("Open"));
  EXPECT_EQ(T.Recent->title(), QString("Recent"));
  EXPECT_EQ(T.MenuOld->text(), QString("Old movie"));
  EXPECT_EQ(T.ButtonOpen->text(), QString("Open it"));
  EXPECT_EQ(T.PicNum->text(), QString("Picture number"));
  EXPECT_EQ(T.Link->text(), QString("get.example.com"));
  EXPECT_EQ(T.Color->text(), QString("Color"));
  EXPECT_EQ(T.Value->text(), QString()) << "a name without a section is blanked";

  // Left alone, though their sections exist.
  EXPECT_EQ(T.Ok->text(), QString("Ok"));
  EXPECT_EQ(T.Edit->text(), QString("typed text"));
  EXPECT_EQ(T.Spin->value(), 7);
  EXPECT_EQ(T.Command->text(), QString("Open command"));
  EXPECT_EQ(T.Tool->text(), QString("tool design"));
  EXPECT_EQ(T.Dialog->windowTitle(), QString("dialog title"));
  EXPECT_EQ(T.DialogLabel->text(), QString("dialog design"));
  // The toolkit's own objects have no names and keep their texts.
  EXPECT_EQ(T.Unnamed->text(), QString("unnamed item"));
  EXPECT_EQ(T.Plain->text(), QString("no name"));
}

TEST_F(LangTest, ApplyLanguageFollowsTheLanguageCode) {
  TTestWindow T;
  ApplyLanguage(&T.Window, Dir, "FRA");
  EXPECT_EQ(T.Window.windowTitle(), QString("Outil d'images"));
  EXPECT_EQ(T.Recent->title(), QString::fromUtf8(u8"Récents"));
  EXPECT_EQ(T.PicNum->text(), QString::fromUtf8(u8"Numéro"));
  EXPECT_EQ(T.ButtonOpen->text(), QString("L'ouvrir"));
  EXPECT_EQ(T.Color->text(), QString()) << "no French text: empty, not the English one";

  // A code the file does not know empties every translated text.
  ApplyLanguage(&T.Window, Dir, "DEU");
  EXPECT_EQ(T.Window.windowTitle(), QString());
  EXPECT_EQ(T.File->title(), QString());
  EXPECT_EQ(T.MenuOpen->text(), QString());
  EXPECT_EQ(T.ButtonOpen->text(), QString());
  EXPECT_EQ(T.PicNum->text(), QString());
  EXPECT_EQ(T.Ok->text(), QString("Ok"));
  EXPECT_EQ(T.Edit->text(), QString("typed text"));

  // Back to English restores the texts.
  ApplyLanguage(&T.Window, Dir, "ENG");
  EXPECT_EQ(T.MenuOpen->text(), QString("Open"));
}

TEST_F(LangTest, ApplyLanguageWithoutTheFileEmptiesTheTexts) {
  fs::remove(Dir + "Lang.ini");
  TTestWindow T;
  ApplyLanguage(&T.Window, Dir, "ENG");
  EXPECT_EQ(T.Window.windowTitle(), QString());
  EXPECT_EQ(T.Recent->title(), QString());
  EXPECT_EQ(T.Link->text(), QString());
  EXPECT_EQ(T.Ok->text(), QString("Ok"));
  ApplyLanguage(nullptr, Dir, "ENG");  // nothing to do, no crash
}

TEST(LangFileTest, ShippedFileHasEveryTextInBothLanguages) {
  const std::string Path = QUILLORY_LANG_INI;
  ASSERT_TRUE(fs::exists(Path)) << Path;
  const TIniText Texts = TIniText::Load(Path);
  const std::string Missing(1, '\0');

  const std::vector<std::string> Keys = LangKeys();
  EXPECT_EQ(std::set<std::string>(Keys.begin(), Keys.end()).size(), Keys.size())
      << "a key listed twice";
  for (const std::string& Key : Keys) {
    for (const char* Language : {"ENG", "FRA"}) {
      SCOPED_TRACE(Key + " / " + Language);
      const std::string Text = Texts.ReadString(Key, Language, Missing);
      EXPECT_NE(Text, Missing) << "missing";
      EXPECT_FALSE(Text.empty()) << "empty";
      const QString Decoded = QString::fromUtf8(Text);
      EXPECT_EQ(Decoded.toUtf8().toStdString(), Text) << "not UTF-8";
      EXPECT_FALSE(Decoded.contains(QChar::ReplacementCharacter)) << "not UTF-8";
    }
  }
  for (const std::string& Key : LangBlankedKeys()) {
    for (const char* Language : {"ENG", "FRA"})
      EXPECT_EQ(Texts.ReadString(Key, Language, Missing), Missing) << Key << " must stay absent";
  }
  // Spot checks of the two languages.
  EXPECT_EQ(Texts.ReadString(LangName::FAbout, "ENG", ""), "About Quillory");
  EXPECT_EQ(QString::fromUtf8(Texts.ReadString(mesReady, "FRA", "")), QString::fromUtf8(u8"Prêt"));
}

}  // namespace
