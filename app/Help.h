// The Help command: opens the help document of the current language with
// the desktop's PDF viewer, or explains why it cannot.
#pragma once

#include <QString>
#include <functional>

#include "app/ErrorBox.h"
#include "app/Settings.h"

class QWidget;
class TFHelpError;

// Opens FilePath with the desktop's viewer. On failure answers false and
// sets ErrorText to the system's text for it.
using THelpOpener = std::function<bool(const QString& FilePath, QString& ErrorText)>;

// A missing file and a file the desktop cannot hand to any program are
// explained in the current language of Settings (Lang.ini "mesHelpFileMissing"
// and "mesHelpNoViewer"); without Settings, or without those texts, by
// "No such file or directory" and "No application is registered to open
// this file".
THelpOpener DefaultHelpOpener(const TSettings* Settings = nullptr);

// "Help_eng.pdf" for "ENG", "Help_fra.pdf" for "FRA" (compared exactly),
// empty for every other code.
QString HelpFileName(const std::string& Language);

// How RunHelp shows its boxes; tests replace them so no modal box blocks.
struct THelpBoxes {
  TErrorBox ErrorBox = ShowStandardError;
  std::function<void(TFHelpError& Box)> ShowHelpError;  // default: Box.exec()
};

// The language's help file beside the executable (found without regard to
// case) goes to Opener. When Opener fails its text is shown in the standard
// error box, then the help-error box; a language without a help file gives
// the help-error box alone. Nothing else escapes.
void RunHelp(const TSettings& Settings, QWidget* Owner, TFHelpError& Box, const THelpOpener& Opener,
             const THelpBoxes& Boxes = THelpBoxes());
