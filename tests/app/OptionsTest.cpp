#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "QtTestApp.h"
#include "app/Options.h"
#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

void WriteFile(const std::string& Path, const std::string& Content) {
  std::ofstream Out(Path, std::ios::binary);
  Out << Content;
}

// A program folder of its own per test, with the dialog over it.
class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Pattern = (fs::temp_directory_path() / "quillory-options-XXXXXX").string();
    ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
    Dir = Pattern + "/";
    Settings = std::make_unique<TSettings>(Dir);
    Form = std::make_unique<TOptionsForm>(*Settings);
    Form->ErrorBox = [this](QWidget*, const QString& Text) {
      Errors << Text;
      FieldAtError = Form->editDestDir->text();
    };
  }
  void TearDown() override {
    Form.reset();
    fs::remove_all(Dir);
  }

  std::string ConfigFile() const { return Dir + "Config.ini"; }
  void PutConfig(const std::string& Content) { WriteFile(ConfigFile(), Content); }

  // What the user sees when opening the dialog; not modal, so the test
  // goes on.
  void Open() {
    Form->show();
    ASSERT_TRUE(Form->isVisible());
  }
  void ClickOk() {
    QTest::mouseClick(Form->buttonOk, Qt::LeftButton);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->result(), QDialog::Accepted);
  }
  QString Dir_() const { return QString::fromStdString(Dir); }

  std::string Dir;
  std::unique_ptr<TSettings> Settings;
  std::unique_ptr<TOptionsForm> Form;
  QStringList Errors;
  QString FieldAtError;
};

// ---------------------------------------------------------------------------
// Filling from Config.ini and saving on OK

struct TFillCase {
  const char* Name;
  const char* Config;  // nullptr: no Config.ini at all
  const char* DestDir;
  const char* Prefix;
  int BGSquareSize, PicSize;
  int32_t BGColor;
};

TEST_F(OptionsTest, FillsEveryShowingFromConfigIni) {
  const TFillCase Cases[] = {
      {"no file", nullptr, "/", "Image", 10, 150, 13421772},
      {"all keys",
       "[Config]\nImageDir=/data/pics/\nPrefix=Pic\nBGSquareSize=20\nBGColor=255\n"
       "PicSize=120\n",
       "/data/pics/", "Pic", 20, 120, 255},
      {"square size missing", "[Config]\nPicSize=60\n", "/", "Image", 10, 60, 13421772},
      {"square size unreadable", "[Config]\nBGSquareSize=abc\n", "/", "Image", 10, 150, 13421772},
      {"sizes above range", "[Config]\nBGSquareSize=51\nPicSize=300\n", "/", "Image", 50, 200,
       13421772},
      {"sizes below range", "[Config]\nBGSquareSize=-4\nPicSize=0\n", "/", "Image", 5, 50,
       13421772},
      {"hexadecimal", "[Config]\nBGSquareSize=0x1E\nBGColor=$FF00\n", "/", "Image", 30, 150,
       0xFF00},
      {"empty folder", "[Config]\nImageDir=\n", "", "Image", 10, 150, 13421772},
  };
  for (const TFillCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    fs::remove(ConfigFile());
    if (Case.Config) PutConfig(Case.Config);
    // Leftovers of an earlier showing are replaced.
    Form->editPrefix->setText("leftover");
    Form->spinBGSSize->SetValue(33);
    Open();
    EXPECT_EQ(Form->editDestDir->text(), QString::fromUtf8(Case.DestDir));
    EXPECT_EQ(Form->editPrefix->text(), QString::fromUtf8(Case.Prefix));
    EXPECT_EQ(Form->spinBGSSize->text(), QString::number(Case.BGSquareSize));
    EXPECT_EQ(Form->spinPicSize->text(), QString::number(Case.PicSize));
    EXPECT_EQ(BGColorFromColor(Form->PickerColor()), Case.BGColor);
    Form->reject();
  }
}

TEST_F(OptionsTest, OkStoresClampedSizesInMemoryAndFile) {
  PutConfig("[Config]\nImageDir=/old/\nPicSize=300\n");
  Open();
  EXPECT_EQ(Form->spinPicSize->Value(), 200);
  ClickOk();
  EXPECT_EQ(IniReadInteger(ConfigFile(), "Config", "PicSize", 0), 200);
  EXPECT_EQ(Settings->PicSize, 200);
  EXPECT_EQ(Settings->OutputDir, "/old/");
}

TEST_F(OptionsTest, EmptiedSquareSizeStoresTheMinimum) {
  Open();
  Form->spinBGSSize->lineEdit()->clear();
  ClickOk();
  EXPECT_EQ(IniReadString(ConfigFile(), "Config", "BGSquareSize", ""), "5");
  EXPECT_EQ(Settings->BGSquareSize, 5);
}

TEST_F(OptionsTest, OkWritesTheSevenKeysInOrderAndTakesTheFolderAtOnce) {
  PutConfig("[Config]\nLanguage=FRA\n[Size]\nTop=10\n");
  Settings->OutputDir = "/before/";
  Open();
  Form->editDestDir->setText("/elsewhere");  // stored as typed, no separator added
  Form->editPrefix->setText("Shot");
  Form->spinBGSSize->SetValue(12);
  Form->SetPickerColor(QColor(0x12, 0x34, 0x56));
  Form->spinPicSize->SetValue(80);
  ClickOk();
  EXPECT_EQ(ReadFile(ConfigFile()),
            "[Config]\nLanguage=FRA\nImageDir=/elsewhere\nPrefix=Shot\nBGSquareSize=12\n"
            "BGColor=5649426\nPicSize=80\nNamesInFiles=0\nPremultiplied=0\n[Size]\nTop=10\n");
  EXPECT_EQ(Settings->OutputDir, "/elsewhere");
  EXPECT_EQ(Settings->Prefix, "Shot");
  EXPECT_EQ(Settings->BGSquareSize, 12);
  EXPECT_EQ(Settings->BGColor, 0x563412);  // red in the low byte
  EXPECT_EQ(Settings->PicSize, 80);
}

TEST_F(OptionsTest, CancelAndCloseBoxDiscardEdits) {
  const std::string Config = "[Config]\nImageDir=/keep/\nPrefix=Keep\nBGSquareSize=7\n";
  PutConfig(Config);
  Settings->OutputDir = "/keep/";
  for (bool UseCloseBox : {false, true}) {
    SCOPED_TRACE(UseCloseBox ? "close box" : "Cancel");
    Open();
    Form->editDestDir->setText("/changed/");
    Form->editPrefix->setText("Changed");
    Form->spinBGSSize->SetValue(40);
    Form->SetPickerColor(Qt::red);
    if (UseCloseBox)
      Form->close();
    else
      QTest::mouseClick(Form->buttonCancel, Qt::LeftButton);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->result(), QDialog::Rejected);
    EXPECT_EQ(ReadFile(ConfigFile()), Config);
    EXPECT_EQ(Settings->OutputDir, "/keep/");
    EXPECT_EQ(Settings->Prefix, "Image");
    EXPECT_EQ(Settings->BGSquareSize, 10);
    // The next showing starts from the file again.
    Open();
    EXPECT_EQ(Form->editPrefix->text(), "Keep");
    EXPECT_EQ(Form->spinBGSSize->Value(), 7);
    EXPECT_EQ(BGColorFromColor(Form->PickerColor()), TSettings::DefaultBGColor);
    Form->reject();
  }
}

TEST_F(OptionsTest, CaptionsAndTitleComeFromLangIni) {
  WriteFile(Dir + "lang.INI",
            "[OptionsForm]\nENG=Settings\n[labelPrefix]\nENG=Name start:\n"
            "[buttonOk]\nENG=Fine\n");
  Open();
  EXPECT_EQ(Form->windowTitle(), "Settings");
  EXPECT_EQ(Form->labelPrefix->text(), "Name start:");
  EXPECT_EQ(Form->buttonOk->text(), "Fine");
  EXPECT_EQ(Form->buttonCancel->text(), "");  // no fallback to a built-in text
  EXPECT_EQ(Form->editPrefix->text(), "Image");
}

TEST_F(OptionsTest, ComponentsSitAtTheirPlaces) {
  Open();
  EXPECT_EQ(Form->size(), QSize(550, 404));
  EXPECT_EQ(Form->editDestDir->geometry(), QRect(8, 32, 265, 21));
  EXPECT_EQ(Form->comboDrives->geometry(), QRect(8, 56, 265, 21));
  EXPECT_EQ(Form->ShellTreeView1->geometry(), QRect(8, 80, 265, 201));
  EXPECT_EQ(Form->editPrefix->geometry(), QRect(304, 32, 233, 21));
  EXPECT_EQ(Form->spinBGSSize->geometry(), QRect(304, 112, 234, 22));
  EXPECT_EQ(Form->buttonColor->geometry(), QRect(304, 192, 236, 21));
  EXPECT_EQ(Form->spinPicSize->geometry(), QRect(304, 256, 233, 22));
  EXPECT_EQ(Form->checkNamesInFiles->geometry(), QRect(8, 292, 534, 22));
  EXPECT_EQ(Form->checkPremultiplied->geometry(), QRect(8, 314, 534, 22));
  EXPECT_EQ(Form->buttonOk->geometry(), QRect(328, 364, 100, 21));
  EXPECT_EQ(Form->buttonCancel->geometry(), QRect(440, 364, 100, 21));
  EXPECT_TRUE(Form->editPrefix->alignment() & Qt::AlignRight);
  EXPECT_TRUE(Form->spinPicSize->alignment() & Qt::AlignRight);
  EXPECT_TRUE(Form->comboDrives->isEditable());
  for (const char* Name :
       {"labelDestDir", "editDestDir", "comboDrives", "ShellTreeView1", "labelPrefix", "editPrefix",
        "labelBGSquareSize", "spinBGSSize", "labelColor", "buttonColor", "labelPicSize",
        "spinPicSize", "labelChanges", "buttonOk", "buttonCancel", "ColorDialog1"})
    EXPECT_NE(Form->findChild<QObject*>(Name), nullptr) << Name;
}

TEST_F(OptionsTest, LongNoteKeepsItsRightEdgeAndShowsWhole) {
  WriteFile(Dir + "Lang.ini", "[labelChanges]\nENG=" + std::string(90, 'w') + "\n");
  Open();
  const QRect Place = Form->labelChanges->geometry();
  EXPECT_EQ(Place.x() + Place.width(), 192 + 345);
  EXPECT_GE(
      Place.width(),
      std::min(Form->labelChanges->fontMetrics().horizontalAdvance(Form->labelChanges->text()),
               192 + 345 - 8));
}

// ---------------------------------------------------------------------------
// Colour picker

TEST(BGColor, RedInTheLowByte) {
  const QColor Color = ColorFromBGColor(0x00563412);
  EXPECT_EQ(Color, QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(BGColorFromColor(Color), 0x00563412);
  EXPECT_EQ(ColorFromBGColor(TSettings::DefaultBGColor), QColor(0xCC, 0xCC, 0xCC));
  // A stray high byte from a hand-edited file is not part of the colour.
  EXPECT_EQ(BGColorFromColor(ColorFromBGColor(0x7F0000FF)), 0xFF);
}

TEST_F(OptionsTest, ColorPickerConfirmedOrCancelled) {
  Open();
  for (bool Confirm : {false, true}) {
    SCOPED_TRACE(Confirm ? "confirmed" : "cancelled");
    QTimer::singleShot(0, Form->ColorDialog1, [this, Confirm] {
      Form->ColorDialog1->setCurrentColor(QColor(0x10, 0x20, 0x30));
      if (Confirm)
        Form->ColorDialog1->accept();
      else
        Form->ColorDialog1->reject();
    });
    QTest::mouseClick(Form->buttonColor, Qt::LeftButton);
    EXPECT_EQ(BGColorFromColor(Form->PickerColor()),
              Confirm ? 0x302010 : TSettings::DefaultBGColor);
    // Nothing reaches the file before OK.
    EXPECT_FALSE(fs::exists(ConfigFile()));
  }
  ClickOk();
  EXPECT_EQ(IniReadInteger(ConfigFile(), "Config", "BGColor", 0), 0x302010);
}

// ---------------------------------------------------------------------------
// Spin fields

TEST(SpinField, SetValueClampsToTheRange) {
  TSpinField Spin(50, 200, 100);
  const std::pair<int, const char*> Cases[] = {{100, "100"}, {300, "200"}, {49, "50"},
                                               {-7, "50"},   {200, "200"}, {50, "50"}};
  for (const auto& [Value, Shown] : Cases) {
    Spin.SetValue(Value);
    EXPECT_EQ(Spin.text(), Shown) << Value;
  }
}

TEST(SpinField, ReadingTextThatIsNoWholeNumberGivesTheMinimum) {
  TSpinField Spin(5, 50, 10);
  const std::pair<const char*, int> Cases[] = {{"12", 12},  {"+12", 12}, {"", 5},    {"-", 5},
                                               {"12.5", 5}, {"1-2", 5},  {"99", 50}, {"-3", 5}};
  for (const auto& [Text, Value] : Cases) {
    Spin.lineEdit()->setText(Text);
    EXPECT_EQ(Spin.Value(), Value) << Text;
  }
}

TEST(SpinField, TypingAcceptsDigitsSignsAndSeparatorOnly) {
  TSpinField Spin(5, 50, 10);
  Spin.show();
  Spin.lineEdit()->clear();
  QTest::keyClicks(&Spin, "1a2 b-x+.");
  EXPECT_EQ(Spin.text(), "12-+.");
  Spin.lineEdit()->clear();
  QTest::keyClicks(&Spin, "12345678901");
  EXPECT_EQ(Spin.text(), "123456789");  // at most 9 characters
}

TEST(SpinField, ArrowsStepByOneWithinTheRange) {
  TSpinField Spin(5, 50, 10);
  Spin.show();
  QTest::keyClick(&Spin, Qt::Key_Up);
  EXPECT_EQ(Spin.Value(), 11);
  QTest::keyClick(&Spin, Qt::Key_Down);
  QTest::keyClick(&Spin, Qt::Key_Down);
  EXPECT_EQ(Spin.Value(), 9);
  Spin.SetValue(50);
  QTest::keyClick(&Spin, Qt::Key_Up);
  EXPECT_EQ(Spin.Value(), 50);
  Spin.SetValue(5);
  QTest::keyClick(&Spin, Qt::Key_Down);
  EXPECT_EQ(Spin.Value(), 5);
  // From unreadable text the step starts at the minimum.
  Spin.lineEdit()->setText("x");
  Spin.stepBy(1);
  EXPECT_EQ(Spin.text(), "6");
}

TEST(SpinField, TypedValueOutsideTheRangeIsClampedWhenLeavingTheField) {
  QWidget Window;
  auto* Spin = new TSpinField(50, 200, 100, &Window);
  auto* Other = new QLineEdit(&Window);
  Window.show();
  QApplication::setActiveWindow(&Window);
  const std::pair<const char*, const char*> Cases[] = {
      {"300", "200"}, {"7", "50"}, {"120", "120"}, {"", ""}, {"1.5", "1.5"}};
  for (const auto& [Typed, Left] : Cases) {
    Spin->setFocus();
    Spin->lineEdit()->setText(Typed);
    Other->setFocus();
    EXPECT_EQ(Spin->text(), Left) << Typed;
  }
}

// ---------------------------------------------------------------------------
// Drives and the folder tree

TEST(DriveList, MountedVolumeRootsInPathOrderEachOnce) {
  const QStringList Roots = FillDriveList();
  ASSERT_FALSE(Roots.isEmpty());
  EXPECT_TRUE(Roots.contains("/"));
  QStringList Sorted = Roots;
  Sorted.sort();
  Sorted.removeDuplicates();
  EXPECT_EQ(Roots, Sorted);
  for (const QString& Root : Roots) EXPECT_TRUE(QFileInfo(Root).isDir()) << Root.toStdString();
}

TEST(FolderField, PathPlusSeparator) {
  EXPECT_EQ(FolderFieldText("/home/user/Pictures"), "/home/user/Pictures/");
  EXPECT_EQ(FolderFieldText("/"), "//");  // a root already ends in one
  EXPECT_EQ(FolderFieldText(""), "/");    // an item without a path
}

TEST_F(OptionsTest, ShowingListsTheDrivesAndKeepsTheDriveText) {
  Open();
  EXPECT_EQ(Form->comboDrives->currentText(), "/");
  EXPECT_EQ(Form->TreeRoot(), "/");
  QStringList Listed;
  for (int Item = 0; Item < Form->comboDrives->count(); ++Item)
    Listed << Form->comboDrives->itemText(Item);
  EXPECT_EQ(Listed, FillDriveList());
  Form->reject();

  Form->comboDrives->setEditText(Dir_());
  Open();
  EXPECT_EQ(Form->comboDrives->currentText(), Dir_());
  EXPECT_EQ(Form->TreeRoot(), Dir_());
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(OptionsTest, ChoosingADriveRootsTheTreeAndFillsTheFolderField) {
  Open();
  const QString Folder = QDir::cleanPath(Dir_());
  Form->comboDrives->setEditText(Folder);
  EXPECT_EQ(Form->TreeRoot(), Folder);
  EXPECT_EQ(Form->editDestDir->text(), Folder + "/");
  // The root is the only top item, and it is selected.
  const QModelIndex Top = Form->ShellTreeView1->rootIndex();
  EXPECT_EQ(Form->ShellTreeView1->model()->rowCount(Top), 1);
  EXPECT_EQ(Form->ShellTreeView1->currentIndex(), Form->ShellTreeView1->model()->index(0, 0, Top));

  Form->comboDrives->setEditText("/");
  EXPECT_EQ(Form->editDestDir->text(), "//");
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(OptionsTest, PickingAFolderInTheTreeFillsTheFolderField) {
  fs::create_directories(Dir + "movies/space");
  Open();
  const QString Folder = QDir::cleanPath(Dir_());
  Form->comboDrives->setEditText(Folder);
  auto* Filter = static_cast<QSortFilterProxyModel*>(Form->ShellTreeView1->model());
  auto* Files = static_cast<QFileSystemModel*>(Filter->sourceModel());
  const QModelIndex Item = Filter->mapFromSource(Files->index(Folder + "/movies/space"));
  ASSERT_TRUE(Item.isValid());
  Form->ShellTreeView1->setCurrentIndex(Item);
  EXPECT_EQ(Form->editDestDir->text(), Folder + "/movies/space/");
  // The user may still type anything; OK stores it as it stands.
  Form->editDestDir->setText("no/separator");
  ClickOk();
  EXPECT_EQ(IniReadString(ConfigFile(), "Config", "ImageDir", ""), "no/separator");
}

TEST_F(OptionsTest, UnreadableRootKeepsThePreviousOneThenReportsIt) {
  Open();
  const QString Folder = QDir::cleanPath(Dir_());
  Form->comboDrives->setEditText(Folder);
  Form->editDestDir->setText("typed by hand");
  const QString Missing = Folder + "/no such folder";
  const QString File = Folder + "/a file";
  WriteFile(File.toStdString(), "x");
  for (const QString& Bad : {Missing, File, QString("relative"), QString()}) {
    SCOPED_TRACE(Bad.toStdString());
    Errors.clear();
    FieldAtError.clear();
    Form->comboDrives->setEditText(Bad);
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0], "Error setting path: \"" + Bad + "\"");
    // The tree was rebuilt at its previous root before the message.
    EXPECT_EQ(FieldAtError, Folder + "/");
    EXPECT_EQ(Form->TreeRoot(), Folder);
    EXPECT_EQ(Form->comboDrives->currentText(), Bad);
    Form->comboDrives->setEditText(Folder);
  }
}

TEST_F(OptionsTest, UnreadableDriveTextAtShowingIsSilentAndFieldsStillFill) {
  PutConfig("[Config]\nPrefix=FromFile\n");
  Form->comboDrives->setEditText("/no/such/folder");  // before the first showing: no box
  Errors.clear();
  Form->editPrefix->setText("cancelled edit");
  Open();
  EXPECT_TRUE(Errors.isEmpty());
  EXPECT_EQ(Form->editPrefix->text(), "FromFile");
  EXPECT_EQ(Form->comboDrives->currentText(), "/no/such/folder");
}

TEST_F(OptionsTest, FolderThatCannotTakePicturesIsWarnedAtOnce) {
  Open();
  const std::string File = Dir + "a file";
  WriteFile(File, "x");
  const std::pair<std::string, bool> Cases[] = {
      {Dir, false}, {Dir + "missing/", true}, {File, true}, {"", true}, {Dir + "a file/", true}};
  for (const auto& [Folder, Warned] : Cases) {
    Form->editDestDir->setText(QString::fromStdString(Folder));
    EXPECT_EQ(Form->labelFolderWarning->isVisibleTo(Form.get()), Warned) << Folder;
  }
  if (geteuid() != 0) {  // permissions do not stop root
    fs::create_directory(Dir + "locked");
    fs::permissions(Dir + "locked", fs::perms::owner_read | fs::perms::owner_exec);
    Form->editDestDir->setText(QString::fromStdString(Dir + "locked/"));
    EXPECT_TRUE(Form->labelFolderWarning->isVisibleTo(Form.get()));
  }
  // OK with such a folder warns, then keeps it as typed (it may be a disk
  // not mounted yet).
  Errors.clear();
  Form->editDestDir->setText(QString::fromStdString(Dir + "missing/"));
  ClickOk();
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_TRUE(Errors[0].contains(QString::fromStdString(Dir + "missing/")))
      << Errors[0].toStdString();
  EXPECT_EQ(IniReadString(ConfigFile(), "Config", "ImageDir", ""), Dir + "missing/");
  // Shown again with the same folder, the note follows the folder as it is
  // now, not as it was.
  Open();
  EXPECT_TRUE(Form->labelFolderWarning->isVisibleTo(Form.get()));
  Form->close();
  fs::create_directory(Dir + "missing");
  Open();
  EXPECT_FALSE(Form->labelFolderWarning->isVisibleTo(Form.get()));
  Form->close();
  fs::remove(Dir + "missing");
  Open();
  EXPECT_TRUE(Form->labelFolderWarning->isVisibleTo(Form.get()));
  // A good folder: no word.
  Errors.clear();
  Form->editDestDir->setText(QString::fromStdString(Dir));
  ClickOk();
  EXPECT_TRUE(Errors.isEmpty());
}

// A prefix with a "/" would put the pictures into other folders.
TEST_F(OptionsTest, APrefixWithASlashIsRefusedAndTheOldOneKept) {
  PutConfig("[Config]\nPrefix=Shot\n");
  Settings = std::make_unique<TSettings>(Dir);
  Settings->Prefix = "Shot";
  Form = std::make_unique<TOptionsForm>(*Settings);
  Form->ErrorBox = [this](QWidget*, const QString& Text) { Errors << Text; };
  for (const char* Typed : {"../up", "a/b", "/"}) {
    SCOPED_TRACE(Typed);
    Open();
    Errors.clear();
    Form->editPrefix->setText(Typed);
    QTest::mouseClick(Form->buttonOk, Qt::LeftButton);
    EXPECT_TRUE(Form->isVisible());  // still open, for another try
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].contains(Typed)) << Errors[0].toStdString();
    EXPECT_EQ(Form->editPrefix->text(), "Shot");
    EXPECT_EQ(Settings->Prefix, "Shot");
    EXPECT_EQ(IniReadString(ConfigFile(), "Config", "Prefix", ""), "Shot");
    Form->hide();
  }
  Open();
  Form->editPrefix->setText("Frame.");
  ClickOk();
  EXPECT_EQ(Settings->Prefix, "Frame.");
}

TEST_F(OptionsTest, MessagesFollowTheLanguage) {
  WriteFile(Dir + "Lang.ini",
            "[mesErrorSettingPath]\nFRA=Dossier introuvable : %1\n"
            "[labelFolderWarning]\nFRA=Pas ici\n");
  Settings->Language = "FRA";
  Open();
  EXPECT_EQ(Form->labelFolderWarning->text(), "Pas ici");
  Errors.clear();
  Form->comboDrives->setEditText("/no/such/folder");
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_EQ(Errors[0], "Dossier introuvable : /no/such/folder");
}

}  // namespace
