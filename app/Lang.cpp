#include "app/Lang.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QCheckBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>
#include <QTranslator>
#include <QWidget>

#include "platform/Folders.h"
#include "platform/IniFile.h"

namespace {

std::string LangFile(const std::string& ProgramDir) {
  return FindResourceFile(ProgramDir, "Lang.ini");
}

// The toolkit's own objects (menu actions of submenus, scroll area
// viewports, toolbar extension buttons, ...) are not components.
bool IsComponent(const QObject* Object) {
  const QString Name = Object->objectName();
  return !Name.isEmpty() && !Name.startsWith(QLatin1String("qt_"));
}

// A top-level widget inside the window's tree (a dialog or another window
// created with this one as parent) is a window of its own: its texts are
// its own business. Popup menus, toolbars and docks belong to the window.
bool IsOtherWindow(const QObject* Object) {
  const auto* Widget = qobject_cast<const QWidget*>(Object);
  return Widget && Widget->isWindow() && !qobject_cast<const QMenu*>(Widget) &&
         !qobject_cast<const QToolBar*>(Widget) && !qobject_cast<const QDockWidget*>(Widget);
}

// The one place that says which kinds of component carry a translated text.
// Text is asked for only when the kind takes one.
template <typename TTextFn>
void Translate(QObject* Object, TTextFn Text) {
  if (auto* Label = qobject_cast<QLabel*>(Object)) {
    Label->setText(Text());  // plain and link labels
  } else if (auto* Button = qobject_cast<QPushButton*>(Object)) {
    if (!qobject_cast<TFrameButton*>(Button)) Button->setText(Text());
  } else if (auto* Check = qobject_cast<QCheckBox*>(Object)) {
    Check->setText(Text());  // switches
  } else if (auto* Action = qobject_cast<QAction*>(Object)) {
    if (!qobject_cast<TCommandAction*>(Action)) Action->setText(Text());  // menu, toolbar items
  } else if (auto* Menu = qobject_cast<QMenu*>(Object)) {
    Menu->setTitle(Text());  // submenus
  }
  // Every other kind keeps its text.
}

void TranslateTree(QObject* Parent, const TIniText& Texts, const std::string& Language) {
  for (QObject* Child : Parent->children()) {
    if (IsOtherWindow(Child)) continue;
    if (IsComponent(Child))
      Translate(Child, [&] {
        return QString::fromUtf8(Texts.ReadString(Child->objectName().toStdString(), Language, ""));
      });
    TranslateTree(Child, Texts, Language);
  }
}

}  // namespace

TFrameButton::TFrameButton(const QString& Text, QWidget* Parent) : QPushButton(Text, Parent) {}

TCommandAction::TCommandAction(QObject* Parent) : QAction(Parent) {}

QString LangText(const std::string& ProgramDir, const std::string& Key,
                 const std::string& Language) {
  return QString::fromUtf8(IniReadString(LangFile(ProgramDir), Key, Language, ""));
}

QString LangFormat(const std::string& ProgramDir, const std::string& Key,
                   const std::string& Language, const QStringList& Arguments) {
  // One pass, so a "%2" inside the first argument stays as it is.
  const QString Text = LangText(ProgramDir, Key, Language);
  QString Result;
  for (qsizetype I = 0; I < Text.size(); ++I) {
    if (Text[I] == QLatin1Char('%') && I + 1 < Text.size() && Text[I + 1].isDigit()) {
      const int N = Text[I + 1].digitValue();
      if (N >= 1 && N <= Arguments.size()) {
        Result += Arguments[N - 1];
        ++I;
        continue;
      }
    }
    Result += Text[I];
  }
  return Result;
}

QString QtTranslationsDir() {
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool SetQtLanguage(const std::string& Language) {
  // Owned by the application, so it goes with it; the guard notices that.
  static QPointer<QTranslator> Installed;
  if (Installed) {
    QCoreApplication::removeTranslator(Installed);
    delete Installed;
  }
  // Dates, sizes and file kinds in Qt's dialogs follow the same language.
  if (Language == "FRA")
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  else if (Language == "ENG")
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  if (Language != "FRA") return true;
  auto* Translator = new QTranslator(QCoreApplication::instance());
  if (!Translator->load(QStringLiteral("qtbase_fr"), QtTranslationsDir())) {
    delete Translator;
    return false;
  }
  QCoreApplication::installTranslator(Translator);
  Installed = Translator;
  return true;
}

void ApplyLanguage(QWidget* Window, const std::string& ProgramDir, const std::string& Language) {
  if (!Window) return;
  const TIniText Texts = TIniText::Load(LangFile(ProgramDir));
  TranslateTree(Window, Texts, Language);
  Window->setWindowTitle(
      QString::fromUtf8(Texts.ReadString(Window->objectName().toStdString(), Language, "")));
  for (QStatusBar* Bar : Window->findChildren<QStatusBar*>()) {
    if (Bar->window() == Window) Bar->repaint();
  }
}

std::vector<std::string> LangKeys() {
  using namespace LangName;
  return {// Window titles.
          MainForm, OptionsForm, FHelpError, FAbout,
          // Main window.
          submenuFile, menuOpen, menuSave, menuSaveAll, menuExit, submenuView, menuEnglish,
          menuFrench, menuOptions, submenuHelp, menuHelp, menuAbout, buttonOpen, buttonSave,
          buttonSaveAll, buttonHelp, labelPicNum, labelType, labelDimensions, labelColorMode,
          submenuRecent, menuOpenImageFolder, submenuEdit, menuCopy, menuFitPreview, menuActualSize,
          menuZoom2, menuZoom4, labelCharacter, labelCarrier,
          // Options dialog.
          buttonOk, buttonCancel, buttonColor, labelDestDir, labelPrefix, labelBGSquareSize,
          labelColor, labelPicSize, labelChanges, labelFolderWarning, checkNamesInFiles,
          checkPremultiplied,
          // Help-error box.
          labelHelp, labelAdobeLink,
          // Messages.
          mesFileNotLoaded, mesTotal, mesImages, mesExtractingPictures, mesDrawing, mesReady,
          mesSave, mesAllTheImagesWereSaved, mesSavedIn, mesNoRecentMovies, mesRecentMissing,
          mesFolderNotOpened, mesSaveAllTitle, mesSaveAllFailed, mesMoreFailures, mesThumbnailTip,
          mesNoImages, mesSWFFiles, mesCopied, mesNotCopied, mesAboutTagline, mesAboutBuild,
          mesAboutRights, mesAboutWebsite, mesAboutSupport, mesHelpFileMissing, mesHelpNoViewer,
          mesErrorSettingPath, mesFolderNotWritable, mesPrefixRefused, mesColorMode1, mesColorMode4,
          mesColorMode8, mesColorMode15, mesColorMode16, mesColorMode24, mesColorMode32,
          mesNothingToSave, mesFileNotWritten, mesPNGNotComposed, mesNotShown, mesTipCharacter,
          mesTipCarrier, mesBinaryData, mesOwnPicture, mesShowDetails, mesHideDetails,
          mesMoreLogEntries, mesPictureMemory, mesPictureMemoryNoSize,
          // Why a movie was not read whole.
          mesCannotRead, mesNotAMovie, mesLZMALost, mesBodyLost, mesBodyCut, mesHeaderDamaged,
          mesRecordDamaged, mesMovieCut, mesPicturesBeforeDamage, mesPicturesFoundShown,
          mesStatusNotRead, mesStatusNotAMovie, mesStatusDamaged, mesCarriedProblem, mesBodyMemory,
          mesWalkMemory, mesStatusMemory};
}

std::vector<std::string> LangBlankedKeys() {
  return {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"};
}
