#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "QtTestApp.h"
#include "app/About.h"
#include "app/Help.h"
#include "app/HelpError.h"
#include "app/LinkLabel.h"
#include "app/Product.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string& Path, const std::string& Content) {
  std::ofstream Out(Path, std::ios::binary);
  Out << Content;
}

class ProgramDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Pattern = (fs::temp_directory_path() / "quillory-about-XXXXXX").string();
    ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
    Dir = Pattern + "/";
    Settings = std::make_unique<TSettings>(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string Dir;
  std::unique_ptr<TSettings> Settings;
};

// ---------------------------------------------------------------------------
// About box

using AboutTest = ProgramDirTest;

TEST_F(AboutTest, TitleFromLangIniAtEveryShowingWithItsOwnDefault) {
  TFAbout About(*Settings);
  About.show();
  EXPECT_EQ(About.windowTitle(), "About Quillory");  // no Lang.ini
  About.close();

  WriteFile(Dir + "LANG.ini", "[FAbout]\nENG=About the tool\nFRA=\xC3\x80 propos\nDEU=\n");
  const std::pair<const char*, QString> Cases[] = {
      {"ENG", "About the tool"},
      {"FRA", QString::fromUtf8("\xC3\x80 propos")},
      {"ITA", "About Quillory"},  // no text for the language
      {"DEU", ""},                // an empty text is a text
  };
  for (const auto& [Language, Title] : Cases) {
    Settings->Language = Language;
    About.show();
    EXPECT_EQ(About.windowTitle(), Title) << Language;
    About.close();
  }
}

TEST_F(AboutTest, LabelsAndButtonKeepTheirTextsWhateverLangIniHolds) {
  WriteFile(Dir + "Lang.ini", "[Label2]\nENG=x\n[Label4]\nENG=x\n[TBXButton1]\nENG=x\n");
  TFAbout About(*Settings);
  About.show();
  EXPECT_EQ(About.Label2->text(), "Build 1.6");
  EXPECT_EQ(About.Label4->text(), "Website:");
  EXPECT_EQ(About.Label5->text(), "Support");
  EXPECT_EQ(About.Label6->text(), Product::WebAddress);
  EXPECT_EQ(About.Label7->text(), Product::SupportMail);
  EXPECT_EQ(About.TBXButton1->text(), "Ok");
  EXPECT_TRUE(About.TBXButton1->isVisible());
  EXPECT_FALSE(About.TBXLabel1->isVisible());
  EXPECT_FALSE(About.SplashProgressBar->isVisible());
  EXPECT_EQ(About.size(), QSize(382, 264));
  EXPECT_EQ(About.PNGButton1->geometry(), QRect(16, 16, 350, 100));
  EXPECT_EQ(About.TBXButton1->geometry(), QRect(144, 232, 100, 21));
  EXPECT_EQ(About.SplashProgressBar->geometry(), QRect(8, 249, 369, 8));
  EXPECT_TRUE(About.windowFlags() & Qt::WindowStaysOnTopHint);
  QTest::mouseClick(About.TBXButton1, Qt::LeftButton);
  EXPECT_FALSE(About.isVisible());
}

TEST_F(AboutTest, OwnTextsFollowTheLanguageAndTheLinksMakeRoom) {
  WriteFile(Dir + "Lang.ini",
            "[mesAboutBuild]\nDEU=Ausgabe 1.6\n[mesAboutWebsite]\nDEU=Eine sehr lange Webseite:\n"
            "[mesAboutSupport]\nDEU=Hilfe:\n[mesAboutRights]\nDEU=Alle Rechte vorbehalten.\n");
  TFAbout About(*Settings);
  About.show();
  const int EnglishX = About.Label6->x();
  About.close();
  Settings->Language = "DEU";
  About.show();
  EXPECT_EQ(About.Label2->text(), "Ausgabe 1.6");
  EXPECT_EQ(About.Label3->text(), "Alle Rechte vorbehalten.");
  EXPECT_EQ(About.Label4->text(), "Eine sehr lange Webseite:");
  EXPECT_EQ(About.Label5->text(), "Hilfe:");
  EXPECT_GT(About.Label6->x(), About.Label4->geometry().right());
  EXPECT_EQ(About.Label7->x(), About.Label6->x());
  About.close();
  // Back in a language the file lacks: the English words again.
  Settings->Language = "ENG";
  About.show();
  EXPECT_EQ(About.Label4->text(), "Website:");
  EXPECT_EQ(About.Label6->x(), EnglishX);
}

TEST(AboutBanner, OriginalArtworkWithTransparency) {
  const QImage Banner = AboutBanner();
  ASSERT_EQ(Banner.size(), QSize(300, 100));
  ASSERT_TRUE(Banner.hasAlphaChannel());
  EXPECT_EQ(qAlpha(Banner.pixel(299, 0)), 0);    // background
  EXPECT_EQ(qAlpha(Banner.pixel(50, 50)), 255);  // the icon tile
  const QImage Icon = ProgramIcon(256);
  EXPECT_EQ(Icon.size(), QSize(256, 256));
  EXPECT_EQ(qAlpha(Icon.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(Icon.pixel(128, 230)), 255);
}

TEST_F(AboutTest, LinksOpenTheWebSiteAndAMail) {
  TFAbout About(*Settings);
  QList<QUrl> Opened;
  About.UrlOpener = [&](const QUrl& Url) {
    Opened << Url;
    return false;  // a failure is never reported
  };
  About.show();
  QTest::mouseClick(About.Label6, Qt::LeftButton);
  QTest::mouseClick(About.PNGButton1, Qt::LeftButton);
  QTest::mouseClick(About.Label7, Qt::LeftButton);
  QTest::mouseClick(About.Label7, Qt::RightButton);  // not a click on a link
  ASSERT_EQ(Opened.size(), 3);
  EXPECT_EQ(Opened[0].toString(), "https://quillory.example.org/");
  EXPECT_EQ(Opened[1].toString(), "https://quillory.example.org/");
  EXPECT_EQ(Opened[2].toString(), "mailto:support@quillory.example.org?subject=Quillory");
  EXPECT_TRUE(About.isVisible());
}

TEST_F(AboutTest, SplashShowsProgressThenLeavesASingleBorderForGood) {
  WriteFile(Dir + "Lang.ini", "[FAbout]\nENG=About\n");
  TFAbout About(*Settings);
  EXPECT_EQ(About.Border(), TFAbout::TBorder::Dialog);

  for (int Round = 0; Round < 2; ++Round) {
    SCOPED_TRACE(Round);
    About.BeginSplash("Extracting");
    EXPECT_TRUE(About.isVisible());
    EXPECT_FALSE(About.isModal());
    EXPECT_EQ(About.windowTitle(), "About");
    EXPECT_FALSE(About.TBXButton1->isVisible());
    EXPECT_TRUE(About.TBXLabel1->isVisible());
    EXPECT_EQ(About.TBXLabel1->text(), "Extracting");
    EXPECT_TRUE(About.SplashProgressBar->isVisible());
    EXPECT_EQ(About.SplashProgress(), 0);
    EXPECT_TRUE(About.windowFlags() & Qt::WindowStaysOnTopHint);

    About.SetSplashMessage("Drawing");
    EXPECT_EQ(About.TBXLabel1->text(), "Drawing");
    const std::pair<int, int> Positions[] = {{42, 42}, {150, 100}, {-3, 0}, {100, 100}};
    for (const auto& [Set, Stored] : Positions) {
      About.SetSplashProgress(Set);
      EXPECT_EQ(About.SplashProgress(), Stored) << Set;
    }

    About.EndSplash();
    EXPECT_FALSE(About.isVisible());
    EXPECT_EQ(About.Border(), TFAbout::TBorder::Single);
    EXPECT_TRUE(About.TBXButton1->isVisibleTo(&About));
    EXPECT_FALSE(About.TBXLabel1->isVisibleTo(&About));
    EXPECT_FALSE(About.SplashProgressBar->isVisibleTo(&About));
  }

  // The About role afterwards keeps the single border, still on top.
  About.show();
  EXPECT_EQ(About.Border(), TFAbout::TBorder::Single);
  EXPECT_FALSE((About.windowFlags() & Qt::WindowType_Mask) == Qt::Dialog);
  EXPECT_TRUE(About.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(About.TBXButton1->isVisible());
  EXPECT_FALSE(About.SplashProgressBar->isVisible());
  About.close();
}

// ---------------------------------------------------------------------------
// Help-error box

using HelpErrorTest = ProgramDirTest;

TEST_F(HelpErrorTest, TextsFromLangIniButTheLinkAndOkAreFixed) {
  WriteFile(Dir + "Lang.ini",
            "[FHelpError]\nENG=No help\n[labelHelp]\nENG=Get a reader from:\n"
            "[labelAdobeLink]\nENG=somewhere.example.com\n"
            "[buttonCloseHelpError]\nENG=Close\n");
  TFHelpError Box(*Settings);
  Box.show();
  EXPECT_EQ(Box.windowTitle(), "No help");
  EXPECT_EQ(Box.labelHelp->text(), "Get a reader from:");
  EXPECT_EQ(Box.labelAdobeLink->text(), "get.adobe.com/reader");
  EXPECT_EQ(Box.buttonCloseHelpError->text(), "Ok");
  EXPECT_EQ(Box.size(), QSize(436, 110));
  EXPECT_EQ(Box.labelHelp->geometry(), QRect(8, 8, 417, 33));
  EXPECT_EQ(Box.buttonCloseHelpError->geometry(), QRect(176, 72, 81, 25));
  EXPECT_EQ(Box.labelAdobeLink->pos(), QPoint(176, 48));
  EXPECT_FALSE(Box.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(Box.windowFlags() & Qt::WindowSystemMenuHint);
}

TEST_F(HelpErrorTest, WithoutLangIniTitleAndTextAreEmpty) {
  TFHelpError Box(*Settings);
  Box.show();
  EXPECT_EQ(Box.windowTitle(), "");
  EXPECT_EQ(Box.labelHelp->text(), "");
  EXPECT_EQ(Box.labelAdobeLink->text(), "get.adobe.com/reader");
  EXPECT_EQ(Box.buttonCloseHelpError->text(), "Ok");
}

TEST_F(HelpErrorTest, OnlySpaceOrAClickOnOkCloses) {
  TFHelpError Box(*Settings);
  struct TKey {
    const char* Name;
    Qt::Key Key;
    bool Closes;
  };
  const TKey Keys[] = {{"Escape", Qt::Key_Escape, false},
                       {"Enter", Qt::Key_Enter, false},
                       {"Return", Qt::Key_Return, false},
                       {"Space", Qt::Key_Space, true}};
  for (const TKey& Key : Keys) {
    SCOPED_TRACE(Key.Name);
    Box.show();
    QApplication::setActiveWindow(&Box);
    Box.buttonCloseHelpError->setFocus();
    QTest::keyClick(Box.buttonCloseHelpError, Key.Key);
    QTest::keyClick(&Box, Key.Key);
    EXPECT_EQ(Box.isVisible(), !Key.Closes);
    Box.hide();
  }
  Box.show();
  QTest::mouseClick(Box.buttonCloseHelpError, Qt::RightButton);
  EXPECT_TRUE(Box.isVisible());
  QTest::mouseClick(Box.buttonCloseHelpError, Qt::LeftButton);
  EXPECT_FALSE(Box.isVisible());
}

TEST_F(HelpErrorTest, LinkOpensTheVendorSite) {
  TFHelpError Box(*Settings);
  QList<QUrl> Opened;
  Box.UrlOpener = [&](const QUrl& Url) {
    Opened << Url;
    return true;
  };
  Box.show();
  QTest::mouseClick(Box.labelAdobeLink, Qt::LeftButton);
  ASSERT_EQ(Opened.size(), 1);
  EXPECT_EQ(Opened[0].toString(), "https://get.adobe.com/reader");
  EXPECT_TRUE(Box.isVisible());
}

// ---------------------------------------------------------------------------
// Help command

class HelpTest : public ProgramDirTest {
 protected:
  void SetUp() override {
    ProgramDirTest::SetUp();
    Box = std::make_unique<TFHelpError>(*Settings);
    Boxes.ErrorBox = [this](QWidget* Owner, const QString& Text) {
      Events << "error: " + Text;
      ErrorOwner = Owner;
    };
    Boxes.ShowHelpError = [this](TFHelpError& Shown) {
      Events << "help-error box";
      EXPECT_EQ(&Shown, Box.get());
    };
  }

  // An opener that records its calls and answers like the real one when the
  // file is missing.
  THelpOpener RecordingOpener(bool ViewerPresent = true) {
    return [this, ViewerPresent](const QString& Path, QString& ErrorText) {
      Events << "open: " + Path;
      if (!fs::exists(Path.toStdString())) {
        ErrorText = QString::fromLocal8Bit(std::strerror(ENOENT));
        return false;
      }
      if (!ViewerPresent) ErrorText = "No application is registered to open this file";
      return ViewerPresent;
    };
  }

  QString InDir(const char* Name) const { return QString::fromStdString(Dir) + Name; }

  std::unique_ptr<TFHelpError> Box;
  THelpBoxes Boxes;
  QStringList Events;
  QWidget* ErrorOwner = nullptr;
};

TEST_F(HelpTest, OutcomesByLanguageAndFile) {
  struct TCase {
    const char* Name;
    const char* Language;
    const char* FileOnDisk;  // nullptr: none
    bool ViewerPresent;
    QStringList Events;
  };
  const QString NoFile = QString::fromLocal8Bit(std::strerror(ENOENT));
  const TCase Cases[] = {
      {"English, file present", "ENG", "Help_eng.pdf", true, {"open: " + InDir("Help_eng.pdf")}},
      {"French, other case on disk",
       "FRA",
       "HELP_FRA.PDF",
       true,
       {"open: " + InDir("HELP_FRA.PDF")}},
      {"French, file missing",
       "FRA",
       "Help_eng.pdf",
       true,
       {"open: " + InDir("Help_fra.pdf"), "error: " + NoFile, "help-error box"}},
      {"English, no viewer",
       "ENG",
       "Help_eng.pdf",
       false,
       {"open: " + InDir("Help_eng.pdf"), "error: No application is registered to open this file",
        "help-error box"}},
      {"lower-case code", "eng", "Help_eng.pdf", true, {"help-error box"}},
      {"other code", "DEU", "Help_eng.pdf", true, {"help-error box"}},
      {"longer code", "ENGL", "Help_eng.pdf", true, {"help-error box"}},
  };
  QWidget Owner;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    for (const auto& Entry : fs::directory_iterator(Dir)) fs::remove(Entry.path());
    WriteFile(Dir + Case.FileOnDisk, "%PDF-1.4\n");
    Settings->Language = Case.Language;
    Events.clear();
    ErrorOwner = nullptr;
    RunHelp(*Settings, &Owner, *Box, RecordingOpener(Case.ViewerPresent), Boxes);
    EXPECT_EQ(Events, Case.Events);
    if (Events.size() == 3) {
      EXPECT_EQ(ErrorOwner, &Owner);
    }
  }
}

TEST_F(HelpTest, AnErrorInsideIsSwallowed) {
  Settings->Language = "ENG";
  RunHelp(
      *Settings, nullptr, *Box,
      [](const QString&, QString&) -> bool { throw std::runtime_error("viewer crashed"); }, Boxes);
  EXPECT_TRUE(Events.isEmpty());
}

TEST_F(HelpTest, DefaultOpenerReportsAMissingFileWithTheSystemText) {
  QString ErrorText;
  EXPECT_FALSE(DefaultHelpOpener()(InDir("Help_eng.pdf"), ErrorText));
  EXPECT_EQ(ErrorText, "No such file or directory");
}

TEST_F(HelpTest, DefaultOpenerExplainsAMissingFileInTheLanguage) {
  WriteFile(Dir + "Lang.ini", "[mesHelpFileMissing]\nFRA=Le fichier %1 manque\n");
  Settings->Language = "FRA";
  QString ErrorText;
  const QString Missing = InDir("Help_fra.pdf");
  EXPECT_FALSE(DefaultHelpOpener(Settings.get())(Missing, ErrorText));
  EXPECT_EQ(ErrorText, "Le fichier " + Missing + " manque");
  // A language the file has no text for keeps the system's words.
  Settings->Language = "ENG";
  EXPECT_FALSE(DefaultHelpOpener(Settings.get())(Missing, ErrorText));
  EXPECT_EQ(ErrorText, "No such file or directory");
}

TEST_F(HelpTest, RealHelpErrorBoxShownByTheCommandIsTranslated) {
  WriteFile(Dir + "Lang.ini", "[labelHelp]\nDEU=Kein Hilfetext\n");
  Settings->Language = "DEU";
  Boxes.ShowHelpError = [](TFHelpError& Shown) { Shown.show(); };  // not modal in a test
  RunHelp(*Settings, nullptr, *Box, RecordingOpener(), Boxes);
  EXPECT_TRUE(Box->isVisible());
  EXPECT_EQ(Box->labelHelp->text(), "Kein Hilfetext");
}

TEST(HelpFile, OnlyTheTwoExactCodesHaveOne) {
  EXPECT_EQ(HelpFileName("ENG"), "Help_eng.pdf");
  EXPECT_EQ(HelpFileName("FRA"), "Help_fra.pdf");
  for (const char* Code : {"eng", "Fra", "DEU", "", "EN", "ENG "})
    EXPECT_TRUE(HelpFileName(Code).isEmpty()) << Code;
}

}  // namespace
