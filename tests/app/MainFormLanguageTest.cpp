// The main window's languages, options and help, and a French window
// that shows no English text.
#include "MainFormFixture.h"

namespace {

// ---------------------------------------------------------------------------
// Language, options, help

TEST_F(MainFormTest, LanguageSwitchAppliesAtOnceAndBlanksTheValues) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  F.VDTColumnClick(0, 0);
  ASSERT_EQ(Label("Label1")->text(), "0");
  const QString EnglishTotal = F.PanelText(1);

  Action("menuFrench")->trigger();
  EXPECT_EQ(Settings->Language, "FRA");
  EXPECT_EQ(Action("menuOpen")->text(), LangText(Program, "menuOpen", "FRA"));
  EXPECT_EQ(F.findChild<QAction*>("buttonOpen")->text(), LangText(Program, "buttonOpen", "FRA"));
  EXPECT_EQ(Menu("submenuView")->title(), LangText(Program, "submenuView", "FRA"));
  EXPECT_EQ(Label("labelType")->text(), LangText(Program, "labelType", "FRA"));
  EXPECT_NE(Action("menuOpen")->text(), LangText(Program, "menuOpen", "ENG"));
  // The messages in the status bar follow at once as well; the movie's path stays.
  EXPECT_NE(F.PanelText(1), EnglishTotal);
  EXPECT_EQ(F.PanelText(1),
            LangText(Program, mesTotal, "FRA") + " 7 " + LangText(Program, mesImages, "FRA"));
  EXPECT_EQ(F.PanelText(0), LangText(Program, mesReady, "FRA"));
  EXPECT_EQ(F.PanelText(3), QString::fromStdString(Movie));
  for (QLabel* Value : {Label("Label1"), Label("Label2"), Label("Label3"), Label("Label4")})
    EXPECT_EQ(Value->text(), "");
  // Nothing is written before the window closes.
  EXPECT_EQ(IniReadString(Program + "Config.ini", "Config", "Language", "none"), "none");

  Action("menuEnglish")->trigger();
  EXPECT_EQ(Settings->Language, "ENG");
  EXPECT_EQ(Action("menuOpen")->text(), LangText(Program, "menuOpen", "ENG"));
}

TEST_F(MainFormTest, ConfirmedOptionsSendSavesToTheImageFolder) {
  TMainForm& F = Start();
  ShowWithGrid(530);
  Open(Movie);
  ASSERT_EQ(F.Workspace().OutputDir, Program + "IMAGES/movie.swf/");
  Action("menuOptions")->trigger();  // cancelled
  EXPECT_EQ(F.Workspace().OutputDir, Program + "IMAGES/movie.swf/");
  F.ShowModal = [](QDialog&) { return int(QDialog::Accepted); };
  Action("menuOptions")->trigger();
  EXPECT_EQ(F.Workspace().OutputDir, Settings->OutputDir + "movie.swf/");
}

TEST_F(MainFormTest, HelpOpensTheDocumentOfTheLanguage) {
  TMainForm& F = Start();
  QString Opened;
  F.HelpOpener = [&](const QString& Path, QString&) {
    Opened = Path;
    return true;
  };
  Button("buttonHelp")->click();
  EXPECT_TRUE(Opened.endsWith("/Help_eng.pdf")) << Opened.toStdString();
  EXPECT_TRUE(Errors.isEmpty());
  Settings->Language = "DEU";
  Opened.clear();
  Action("menuHelp")->trigger();
  EXPECT_TRUE(Opened.isEmpty());
  EXPECT_EQ(Errors, QStringList{"help-error box"});
}

// ---------------------------------------------------------------------------
// All French

// Every text a window shows: captions, titles, menu items, status panels.
QStringList ShownTexts(QWidget* Window) {
  QStringList Texts{Window->windowTitle()};
  for (QAction* Action : Window->findChildren<QAction*>()) Texts << Action->text();
  for (QMenu* Menu : Window->findChildren<QMenu*>()) Texts << Menu->title();
  for (QLabel* Label : Window->findChildren<QLabel*>()) Texts << Label->text();
  for (QAbstractButton* Button : Window->findChildren<QAbstractButton*>()) Texts << Button->text();
  return Texts;
}

TEST_F(MainFormTest, FrenchWindowShowsNoEnglishText) {
  ASSERT_TRUE(fs::exists(QtTranslationsDir().toStdString() + "/qtbase_fr.qm"))
      << "Qt's French catalogue is missing: install qt6-translations-l10n (scripts/setup.sh)";
  TMainForm& F = Start("[Config]\nLanguage=FRA\n");
  ShowWithGrid(530);
  TMovieBuilder().End().Save(Program + "empty.swf");
  Open(Program + "empty.swf");  // the NO IMAGES sign
  Open(Movie);
  F.GridCellChosen(1, 2);
  Action("ASave")->trigger();
  const auto English = [&](const char* Key) { return LangText(Program, Key, "ENG"); };
  const auto French = [&](const char* Key) { return LangText(Program, Key, "FRA"); };

  // English texts that are not also French (proper names, "Options", ...).
  QStringList EnglishOnly;
  for (const std::string& Key : LangKeys()) {
    const QString Eng = LangText(Program, Key, "ENG"), Fra = LangText(Program, Key, "FRA");
    if (Eng != Fra) EnglishOnly << Eng;
  }
  const auto NoEnglish = [&](const QStringList& Texts, const char* Where) {
    for (const QString& Text : Texts)
      for (const QString& Eng : EnglishOnly)
        EXPECT_FALSE(!Eng.isEmpty() && (Text == Eng || (Eng.size() > 8 && Text.contains(Eng))))
            << Where << ": " << Text.toStdString();
  };

  // The window, its status bar and its tooltips.
  QStringList Window = ShownTexts(&F);
  for (int Panel = 0; Panel < 5; ++Panel) Window << F.PanelText(Panel);
  Window << VDT()->model()->index(0, 0).data(Qt::ToolTipRole).toString();
  Window << Label("Label4")->text();
  NoEnglish(Window, "window");
  EXPECT_EQ(Menu("submenuRecent")->title(), French("submenuRecent"));
  EXPECT_EQ(Action("menuZoom4")->text(), French("menuZoom4"));
  EXPECT_EQ(Label("Label4")->text(), French("mesColorMode24"));
  EXPECT_TRUE(F.PanelText(0).contains(French("mesSave")));

  // The NO IMAGES sign.
  Open(Program + "empty.swf");
  EXPECT_EQ(Image2()->Picture(), NoImagesPicture(French("mesNoImages")));
  EXPECT_NE(Image2()->Picture(), NoImagesPicture(English("mesNoImages")));

  // The About box.
  FAbout()->show();
  QStringList About = ShownTexts(FAbout());
  NoEnglish(About, "About");
  EXPECT_EQ(FAbout()->Label4->text(), French("mesAboutWebsite"));
  EXPECT_EQ(FAbout()->Label3->text(), French("mesAboutRights"));
  // The banner's tagline too.
  const auto Banner = [&](const QString& Tagline) {
    return QPixmap::fromImage(AboutBanner(Tagline)).toImage();
  };
  const QImage Shown = FAbout()->PNGButton1->icon().pixmap(QSize(300, 100)).toImage();
  EXPECT_EQ(Shown, Banner(French("mesAboutTagline")));
  EXPECT_NE(Shown, Banner(English("mesAboutTagline")));
  FAbout()->close();

  // The help error, with the French guide missing.
  Button("buttonHelp")->click();
  ASSERT_EQ(Errors.size(), 2);  // the reason, then the help-error box
  EXPECT_TRUE(Errors[0].startsWith(French("mesHelpFileMissing").section("%1", 0, 0)))
      << Errors[0].toStdString();
  NoEnglish(Errors, "help error");

  // The Save all box, Qt's Close button included.
  TSaveAllBox Box({"2: failed"}, *Settings, &F);
  QStringList Report{Box.windowTitle(), Box.text()};
  for (QAbstractButton* Button : Box.buttons()) Report << Button->text();
  NoEnglish(Report, "Save all box");
  EXPECT_TRUE(Report.contains("Fermer")) << Report.join('|').toStdString();
  EXPECT_EQ(Box.buttonOpenImageFolder->text(), French("menuOpenImageFolder"));

  // Qt's own file dialog, and back to English.
  const auto OpenButton = [&] {
    const std::unique_ptr<QFileDialog> Dialog = F.MakeOpenDialog();
    auto* Buttons = Dialog->findChild<QDialogButtonBox*>();
    return Buttons && Buttons->button(QDialogButtonBox::Open)
               ? Buttons->button(QDialogButtonBox::Open)->text()
               : QString();
  };
  EXPECT_EQ(OpenButton(), "&Ouvrir");
  const std::unique_ptr<QFileDialog> Dialog = F.MakeOpenDialog();
  EXPECT_TRUE(Dialog->nameFilters().value(0).startsWith(French("mesSWFFiles")));
  Action("menuEnglish")->trigger();
  EXPECT_EQ(OpenButton(), "&Open");
  EXPECT_EQ(Menu("submenuRecent")->title(), English("submenuRecent"));
}

}  // namespace
