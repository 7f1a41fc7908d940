// Interface texts, kept in Lang.ini beside the executable: one section per
// text key, one key per language code ("ENG", "FRA", or any code Config.ini
// holds), the value being the text. The file is UTF-8; the INI reader is
// byte based, so the bytes pass through and are decoded here.
//
// Three kinds of text key: a window's title is stored under the window's
// objectName, a component's caption under the component's objectName, and
// messages under "mes..." keys. Every lookup has an empty default: a missing
// file, section or language key gives an empty text.
#pragma once

#include <QAction>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class QWidget;

// Message keys.
constexpr const char* mesFileNotLoaded = "mesFileNotLoaded";
constexpr const char* mesTotal = "mesTotal";
constexpr const char* mesImages = "mesImages";
constexpr const char* mesExtractingPictures = "mesExtractingPictures";
constexpr const char* mesDrawing = "mesDrawing";
constexpr const char* mesReady = "mesReady";
constexpr const char* mesSave = "mesSave";
constexpr const char* mesAllTheImagesWereSaved = "mesAllTheImagesWereSaved";
// Messages of the window's later features: where saves went, recent movies,
// the image folder, the Save all report, tooltips, the NO IMAGES sign.
constexpr const char* mesSavedIn = "mesSavedIn";  // "in %1"
constexpr const char* mesNoRecentMovies = "mesNoRecentMovies";
constexpr const char* mesRecentMissing = "mesRecentMissing";      // %1: the movie
constexpr const char* mesFolderNotOpened = "mesFolderNotOpened";  // %1: the folder
constexpr const char* mesSaveAllTitle = "mesSaveAllTitle";
constexpr const char* mesSaveAllFailed = "mesSaveAllFailed";
constexpr const char* mesMoreFailures = "mesMoreFailures";  // %1: how many more lines
constexpr const char* mesThumbnailTip = "mesThumbnailTip";  // %1 number, %2 kind, %3 x %4
constexpr const char* mesNoImages = "mesNoImages";
constexpr const char* mesSWFFiles = "mesSWFFiles";    // filter of the Open dialog
constexpr const char* mesCopied = "mesCopied";        // after Prefix + number
constexpr const char* mesNotCopied = "mesNotCopied";  // %1: the picture number
constexpr const char* mesNotShown = "mesNotShown";    // %1: the picture number, %2: why
constexpr const char* mesTipCharacter = "mesTipCharacter";  // %1: ID and first name
constexpr const char* mesTipCarrier = "mesTipCarrier";      // %1: binary data IDs, outermost first
constexpr const char* mesBinaryData = "mesBinaryData";      // %1: binary data IDs, in the pane
constexpr const char* mesOwnPicture = "mesOwnPicture";      // in the pane: not carried
constexpr const char* mesShowDetails = "mesShowDetails";    // the damaged-movie box's button
constexpr const char* mesHideDetails = "mesHideDetails";
constexpr const char* mesMoreLogEntries = "mesMoreLogEntries";  // %1: how many more
constexpr const char* mesCarriedProblem = "mesCarriedProblem";  // %1: binary data IDs, %2: why
constexpr const char* mesBodyMemory = "mesBodyMemory";
constexpr const char* mesWalkMemory = "mesWalkMemory";
constexpr const char* mesPictureMemory = "mesPictureMemory";  // %1 number, %2 x %3 size
constexpr const char* mesPictureMemoryNoSize = "mesPictureMemoryNoSize";  // %1 number
constexpr const char* mesStatusMemory = "mesStatusMemory";
// The About box's own texts.
constexpr const char* mesAboutTagline = "mesAboutTagline";  // in the banner
constexpr const char* mesAboutBuild = "mesAboutBuild";
constexpr const char* mesAboutRights = "mesAboutRights";
constexpr const char* mesAboutWebsite = "mesAboutWebsite";
constexpr const char* mesAboutSupport = "mesAboutSupport";
// Why the help document did not open.
constexpr const char* mesHelpFileMissing = "mesHelpFileMissing";
constexpr const char* mesHelpNoViewer = "mesHelpNoViewer";
// Options dialog: a root that cannot be shown, a folder that cannot take pictures.
constexpr const char* mesErrorSettingPath = "mesErrorSettingPath";  // %1: the path
constexpr const char* mesFolderNotWritable = "mesFolderNotWritable";
constexpr const char* mesPrefixRefused = "mesPrefixRefused";  // %1: the prefix typed
// Colour modes of the picture information, by bits per pixel.
constexpr const char* mesColorMode1 = "mesColorMode1";
constexpr const char* mesColorMode4 = "mesColorMode4";
constexpr const char* mesColorMode8 = "mesColorMode8";
constexpr const char* mesColorMode15 = "mesColorMode15";
constexpr const char* mesColorMode16 = "mesColorMode16";
constexpr const char* mesColorMode24 = "mesColorMode24";
constexpr const char* mesColorMode32 = "mesColorMode32";
constexpr const char* mesNothingToSave = "mesNothingToSave";
constexpr const char* mesFileNotWritten = "mesFileNotWritten";
constexpr const char* mesPNGNotComposed = "mesPNGNotComposed";
// Why a movie was not read whole: the sentences quillory-extract gives, and
// what the window shows of it.
constexpr const char* mesCannotRead = "mesCannotRead";  // %1: the system's reason
constexpr const char* mesNotAMovie = "mesNotAMovie";
constexpr const char* mesLZMALost = "mesLZMALost";
constexpr const char* mesBodyLost = "mesBodyLost";
constexpr const char* mesBodyCut = "mesBodyCut";  // %1 of %2 bytes
constexpr const char* mesHeaderDamaged = "mesHeaderDamaged";
constexpr const char* mesRecordDamaged = "mesRecordDamaged";  // at byte %1 of %2
constexpr const char* mesMovieCut = "mesMovieCut";            // %1 of %2 bytes
constexpr const char* mesPicturesBeforeDamage = "mesPicturesBeforeDamage";
constexpr const char* mesPicturesFoundShown = "mesPicturesFoundShown";
constexpr const char* mesStatusNotRead = "mesStatusNotRead";
constexpr const char* mesStatusNotAMovie = "mesStatusNotAMovie";
constexpr const char* mesStatusDamaged = "mesStatusDamaged";

// Window and component names: each is the objectName of its object and the
// Lang.ini section of its text.
namespace LangName {
// Windows.
constexpr const char* MainForm = "MainForm";
constexpr const char* OptionsForm = "OptionsForm";
constexpr const char* FHelpError = "FHelpError";
constexpr const char* FAbout = "FAbout";

// Main window: menus and their items.
constexpr const char* submenuFile = "submenuFile";
constexpr const char* menuOpen = "menuOpen";
constexpr const char* menuSave = "menuSave";
constexpr const char* menuSaveAll = "menuSaveAll";
constexpr const char* menuExit = "menuExit";
constexpr const char* submenuRecent = "submenuRecent";
constexpr const char* menuOpenImageFolder = "menuOpenImageFolder";
constexpr const char* submenuEdit = "submenuEdit";
constexpr const char* menuCopy = "menuCopy";
constexpr const char* submenuView = "submenuView";
constexpr const char* menuEnglish = "menuEnglish";
constexpr const char* menuFrench = "menuFrench";
constexpr const char* menuOptions = "menuOptions";
constexpr const char* menuFitPreview = "menuFitPreview";
constexpr const char* menuActualSize = "menuActualSize";
constexpr const char* menuZoom2 = "menuZoom2";
constexpr const char* menuZoom4 = "menuZoom4";
constexpr const char* submenuHelp = "submenuHelp";
constexpr const char* menuHelp = "menuHelp";
constexpr const char* menuAbout = "menuAbout";
// Main window: toolbar items.
constexpr const char* buttonOpen = "buttonOpen";
constexpr const char* buttonSave = "buttonSave";
constexpr const char* buttonSaveAll = "buttonSaveAll";
constexpr const char* buttonHelp = "buttonHelp";
// Main window: picture information captions.
constexpr const char* labelPicNum = "labelPicNum";
constexpr const char* labelType = "labelType";
constexpr const char* labelDimensions = "labelDimensions";
constexpr const char* labelColorMode = "labelColorMode";
constexpr const char* labelCharacter = "labelCharacter";
constexpr const char* labelCarrier = "labelCarrier";

// Options dialog.
constexpr const char* buttonOk = "buttonOk";
constexpr const char* buttonCancel = "buttonCancel";
constexpr const char* buttonColor = "buttonColor";
constexpr const char* labelDestDir = "labelDestDir";
constexpr const char* labelPrefix = "labelPrefix";
constexpr const char* labelBGSquareSize = "labelBGSquareSize";
constexpr const char* labelColor = "labelColor";
constexpr const char* labelPicSize = "labelPicSize";
constexpr const char* labelChanges = "labelChanges";
constexpr const char* checkNamesInFiles = "checkNamesInFiles";
constexpr const char* checkPremultiplied = "checkPremultiplied";
constexpr const char* labelFolderWarning = "labelFolderWarning";

// Help-error box.
constexpr const char* labelHelp = "labelHelp";
constexpr const char* labelAdobeLink = "labelAdobeLink";
}  // namespace LangName

// Text of section Key, language key Language, from ProgramDir + "Lang.ini"
// (the name found without regard to case). ProgramDir ends in "/".
QString LangText(const std::string& ProgramDir, const std::string& Key,
                 const std::string& Language);

// A push button with an extra frame. ApplyLanguage leaves this kind alone,
// so it keeps the caption it was given (the help-error box's "Ok").
class TFrameButton : public QPushButton {
  Q_OBJECT
 public:
  explicit TFrameButton(const QString& Text, QWidget* Parent = nullptr);
};

// A command shared by several items (Open, Save, ...). ApplyLanguage leaves
// this kind alone: the items that show the command (menu item, toolbar
// button) carry their own names and texts.
class TCommandAction : public QAction {
  Q_OBJECT
 public:
  explicit TCommandAction(QObject* Parent = nullptr);
};

// Puts the captions and the title of Window into Language, reading Lang.ini
// once. Every object the window owns, at any depth, is looked up by its
// objectName; the kinds translated are:
//   QLabel (plain and link labels)  -> text
//   QPushButton, not TFrameButton    -> text
//   QAction, not TCommandAction      -> text (menu and toolbar items)
//   QMenu                            -> title (submenus)
// Everything else (edit and spin fields, combo boxes, tool buttons, bars,
// docks, images, the grid, ...) is left alone, and so are the toolkit's
// own objects (no objectName, or one starting with "qt_"). A name without a
// section gives an empty text. The window's title comes from the section of
// its own objectName. A status bar the window holds is repainted.
//
// Toolbar and menu items are therefore QActions named after the item
// (buttonOpen, menuOpen); when both run one command, connect both actions to
// the handler (or to a TCommandAction).
void ApplyLanguage(QWidget* Window, const std::string& ProgramDir, const std::string& Language);

// A text of Lang.ini with its %1, %2, ... filled in (QString::arg order).
QString LangFormat(const std::string& ProgramDir, const std::string& Key,
                   const std::string& Language, const QStringList& Arguments);

// Qt's own texts (file and colour dialogs, standard buttons, edit menus)
// follow Language: French loads qtbase's French catalogue, any other code
// drops it. Widgets already shown are told through a LanguageChange event.
// The default locale follows too (French or English; other codes leave it).
// False when French was asked for and the catalogue is not installed.
bool SetQtLanguage(const std::string& Language);
// Folder of Qt's catalogues; tests may point it elsewhere.
QString QtTranslationsDir();

// Every section of Lang.ini the program reads and expects to find: window
// names, component names and message keys.
std::vector<std::string> LangKeys();

// Sections ApplyLanguage reads that are meant to be absent, so that their
// labels are blanked: the picture information values "Label1".."Label4" and
// the status bar labels "Label5", "Label6".
std::vector<std::string> LangBlankedKeys();
